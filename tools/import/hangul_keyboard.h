// Reading a Hangul keyboard description in the XML format of libhangul-data
// (/usr/share/libhangul/keyboards/hangul-keyboard-*.xml): the root element
// <hangul-keyboard id=".." type="..">, its <name>, one <map> of
// <item key=".." value=".."/> and its jamo combination rules, given inline in
// <combination> or in a file named by <include file=".."/>.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kbeval::import {

// One key of the map: the key's character code and what it types, a Unicode
// character (a conjoining jamo, an ASCII sign or any other character).
struct KeyMapping {
  char32_t key = 0;
  char32_t value = 0;
};

// first followed by second combines into result (all Unicode conjoining jamo).
struct CombinationRule {
  char32_t first = 0;
  char32_t second = 0;
  char32_t result = 0;
};

struct HangulKeyboard {
  std::string id;                // the root's id attribute, e.g. "39"
  std::string type;              // the root's type attribute: "jamo", "jaso", "jamo-yet", ...
  std::string name;              // the first <name> without xml:lang, e.g. "Sebeolsik 390"
  std::vector<KeyMapping> keys;  // map id 0, later items for a key replace earlier
  std::vector<KeyMapping> otherMapKeys;  // items of maps other than id 0, which are not used
  std::vector<CombinationRule> rules;    // inline and included rules, in file order
};

enum class ReadFailure {
  None,
  Unreadable,   // the keyboard file or an included file cannot be read
  NotKeyboard,  // not XML, or XML that is not a Hangul keyboard
};

struct KeyboardReadResult {
  std::optional<HangulKeyboard> keyboard;  // set when failure is None
  ReadFailure failure = ReadFailure::None;
  std::string message;  // what went wrong, without the file name
};

// Reads an included file, by the name its <include> gives, into `text`; false,
// with `error` saying why, when it cannot or may not be read.
using IncludeReader =
    std::function<bool(const std::string& name, std::string& text, std::string& error)>;

// The most bytes a keyboard file or an included file may hold (libhangul's
// own are a few kilobytes); a larger one is refused whole.
inline constexpr std::size_t kMostKeyboardFileBytes = 16 << 20;

// Parses keyboard XML held in memory; includes are fetched by `readInclude`.
KeyboardReadResult parseHangulKeyboard(std::string_view xml, const IncludeReader& readInclude);

// Reads the keyboard file at `path` (any file that can be read, a pipe
// too). An included file is read only from the keyboard file's own
// directory (no absolute name, no ".." in it) and only when it is a regular
// file; either file at most kMostKeyboardFileBytes long.
KeyboardReadResult readHangulKeyboard(const std::string& path);

// Reads the whole of `path` into `content`, at most kMostKeyboardFileBytes;
// with `regularOnly` anything but a regular file is refused before it is
// read (a FIFO is opened without waiting for a writer). False, with `error`
// saying why, when it cannot be read or is too large.
bool readWholeFile(const std::string& path, bool regularOnly, std::string& content,
                   std::string& error);

}  // namespace kbeval::import
