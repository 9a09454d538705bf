// How many terminal columns a name takes, so that tables of names line up.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kbeval {

// Terminal columns: code points of valid UTF-8 (Hangul, CJK and fullwidth
// forms count two, combining marks none), else one per byte (so a CP949
// syllable, two bytes, counts two).
std::size_t displayWidth(std::string_view text);

// A name (a file name, say) as a page shows it: valid UTF-8 as it is; else
// decoded as CP949, as layout files are, when every byte decodes; else as it
// is (the page's escaping then shows its bad bytes as U+FFFD).
std::string decodedName(std::string_view name);

}  // namespace kbeval
