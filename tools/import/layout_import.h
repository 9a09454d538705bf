// Turning a Hangul keyboard into a kbeval layout: for every jamo the shortest
// key sequence that types it, for every digit, sign and symbol the key that
// types it, and the layout file text that records them.
#pragma once

#include <string>
#include <vector>

#include "hangul_keyboard.h"
#include "layouts/layout_record.h"
#include "text/encodings.h"

namespace kbeval::import {

// One layout as imported: the layout record (its set type and key strings;
// the fingering is the command line's) and what the import found missing.
struct ImportedLayout : LayoutRecord {
  std::string untypedSigns;           // signs of SignChars that no key types
  std::vector<std::string> problems;  // what the layout file cannot hold, one entry each
};

struct ImportResult {
  ImportedLayout layout;
  std::string refusal;  // set when the keyboard cannot be converted at all
};

// Converts `keyboard`. Keys that the layout file cannot express and jamo that
// no key sequence types end up in `layout.problems`; a keyboard type without
// a fixed key-to-jamo map (romaja) or an unknown one is refused.
ImportResult importKeyboard(const HangulKeyboard& keyboard);

struct LayoutFileOptions {
  std::string source;     // what the file was generated from, for the first comment line
  std::string fingering;  // "Pyojun", "Gong", "Gong3", or empty for no fingering line
  OutputEncoding encoding = OutputEncoding::cp949;  // of the jamo and symbols
};

// The layout file text, written by the core's layout writer: a "//" comment
// (and one naming the signs no key types), "set type:", "fingering: " when
// given, then one tab-separated category line per key string that is not
// empty. Jamo and symbols are written as KS X 1001 bytes, or in UTF-8; lines
// end in a line feed.
std::string formatLayoutFile(const ImportedLayout& layout, const LayoutFileOptions& options);

}  // namespace kbeval::import
