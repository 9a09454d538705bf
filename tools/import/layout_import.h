// Turning a Hangul keyboard into a kbeval layout: for every jamo the shortest
// key sequence that types it, for every digit, sign and symbol the key that
// types it, and the layout file text that records them.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "hangul_keyboard.h"
#include "layouts/character_tables.h"
#include "text/encodings.h"

namespace kbeval::import {

// The key strings of one layout, indexed like the tables of character_tables.h.
struct ImportedLayout {
  int setType = 0;  // 2 for a jamo (2-set) keyboard, 3 for a jaso (3-set) one
  std::array<std::string, kInitialCodes> initialKeys;
  std::array<std::string, kMedialCodes> medialKeys;
  std::array<std::string, kFinalCodes> finalKeys;
  std::array<std::string, kSignCount> signKeys;
  std::array<std::string, kSymbolCount> symbolKeys;
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

// The layout file text: a "//" comment, "set type:", "fingering:" when given,
// then one tab-separated category line per key string that is not empty.
// Jamo and symbols are written as KS X 1001 bytes, or in UTF-8; lines end in
// a line feed.
std::string formatLayoutFile(const ImportedLayout& layout, const LayoutFileOptions& options);

}  // namespace kbeval::import
