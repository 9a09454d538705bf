// Writing layouts back as layout files: a layout with its keys renamed, and
// the text of a file that the loader reads back as exactly that layout.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "layouts/layout_record.h"
#include "text/encodings.h"

namespace kbeval {

// The layout with every byte b of every key string replaced by rename[b].
LayoutRecord renamedKeys(const LayoutRecord& layout, const std::array<unsigned char, 256>& rename);

// How a layout file spells what the loader reads alike either way.
struct LayoutFileStyle {
  OutputEncoding encoding = OutputEncoding::cp949;  // of the jamo and symbol names
  // "fingering: NAME", and no line at all for Qwerty, as kbeval-import has
  // always written; otherwise "fingering:NAME", with no name for Qwerty.
  bool spacedFingering = false;
};

// A layout file: the comment lines (each made safe to read as a comment: no
// control bytes, cut short), the set type, the fingering and every key
// string the layout has. Read back, it gives the same set type, fingering
// and key strings.
std::string layoutFileText(const LayoutRecord& layout, const std::vector<std::string>& comments,
                           const LayoutFileStyle& style = {});

}  // namespace kbeval
