#include "views/utf8_text.h"

#include <vector>

#include "text/charset_tables.h"
#include "text/utf8.h"

namespace kbeval {

namespace {

int columnsOf(char32_t c) {
  if (c >= 0x0300 && c <= 0x036F) return 0;
  if ((c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) ||
      (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
      (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
      (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD)) {
    return 2;
  }
  return 1;
}

// CP949 two-byte codes back to code points, from the table that maps the
// other way: built once, then only read.
const std::vector<char32_t>& cp949CodePoints() {
  static const std::vector<char32_t> codePoints = [] {
    std::vector<char32_t> table(0x10000, 0);
    if (const CharsetTable* cp949 = cp949Table()) {
      for (char32_t c = 0x80; c < 0x10000; ++c) {
        const std::uint16_t code = cp949->codes[c];
        if (code != kNoCode && code > 0xFF && table[code] == 0) table[code] = c;
      }
    }
    return table;
  }();
  return codePoints;
}

}  // namespace

std::string decodedName(std::string_view name) {
  if (isValidUtf8(name)) return std::string(name);
  const std::vector<char32_t>& codePoints = cp949CodePoints();
  std::string decoded;
  for (std::size_t at = 0; at < name.size(); ++at) {
    const auto byte = static_cast<unsigned char>(name[at]);
    if (byte < 0x80) {
      decoded += static_cast<char>(byte);
      continue;
    }
    if (at + 1 == name.size()) return std::string(name);
    const auto code =
        static_cast<std::uint16_t>(byte << 8 | static_cast<unsigned char>(name[at + 1]));
    if (codePoints[code] == 0) return std::string(name);
    appendUtf8(codePoints[code], decoded);
    ++at;
  }
  return decoded;
}

std::size_t displayWidth(std::string_view text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t width = 0;
  for (std::size_t at = 0; at < text.size();) {
    const Utf8Char c = decodeUtf8Char(bytes + at, text.size() - at);
    if (c.status != Utf8Status::ok) return text.size();
    width += static_cast<std::size_t>(columnsOf(c.codePoint));
    at += static_cast<std::size_t>(c.length);
  }
  return width;
}

}  // namespace kbeval
