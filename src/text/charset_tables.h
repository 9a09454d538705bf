// Johab and CP949 seen from Unicode: for every code point of the Basic
// Multilingual Plane, the code that glibc's iconv gives it in that charset.
//
// The tables are made with iconv(3) itself, one character at a time, the
// first time they are asked for (a few milliseconds), so that kbeval converts
// exactly as `iconv -f UTF-8 -t JOHAB` (or `-t CP949`) does on the same
// system. No character beyond the Basic Multilingual Plane has a code in
// either charset.
#pragma once

#include <cstdint>
#include <vector>

namespace kbeval {

// A code in the table: one byte (below 0x100), two bytes (b1 << 8 | b2), or none.
inline constexpr std::uint16_t kNoCode = 0xFFFF;

struct CharsetTable {
  std::vector<std::uint16_t> codes;  // 0x10000 entries, by code point
  // The same codes ready to be written: the first byte, the second byte, and
  // their number (0 to 2) above them. Writing two bytes and advancing by the
  // number needs no branch.
  std::vector<std::uint32_t> writes;
  // The one ASCII character whose code is not its own byte, or -1 when every
  // one keeps its byte, or -2 when several do not (then no ASCII shortcut).
  int asciiException = -1;
};

// The tables, or nullptr when this system's iconv cannot convert UTF-8 into
// that charset. They are built once and never change.
const CharsetTable* johabTable();
const CharsetTable* cp949Table();

// The code of `codePoint`, kNoCode when the charset lacks it.
inline std::uint16_t charsetCode(const CharsetTable& table, char32_t codePoint) {
  return codePoint < 0x10000 ? table.codes[codePoint] : kNoCode;
}

}  // namespace kbeval
