#include "text/charset_tables.h"

#include <iconv.h>

#include <optional>
#include <string>

#include "text/utf8.h"

namespace kbeval {

namespace {

std::optional<CharsetTable> buildTable(const char* charset) {
  const iconv_t converter = iconv_open(charset, "UTF-8");
  if (converter == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  CharsetTable table;
  table.codes.assign(0x10000, kNoCode);
  std::string in;
  for (char32_t c = 0; c < 0x10000; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;  // surrogates are no characters
    in.clear();
    appendUtf8(c, in);
    char* inPointer = in.data();
    std::size_t inLeft = in.size();
    char out[8];
    char* outPointer = out;
    std::size_t outLeft = sizeof out;
    if (iconv(converter, &inPointer, &inLeft, &outPointer, &outLeft) ==
        static_cast<std::size_t>(-1)) {
      iconv(converter, nullptr, nullptr, nullptr, nullptr);
      continue;
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(out);
    const std::size_t length = sizeof out - outLeft;
    if (length == 1) {
      table.codes[c] = bytes[0];
    } else if (length == 2) {
      table.codes[c] = static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]);
    }
    // Anything else (a character converted to nothing) has no code.
  }
  iconv_close(converter);
  table.writes.assign(0x10000, 0);
  for (std::size_t c = 0; c < 0x10000; ++c) {
    const std::uint32_t code = table.codes[c];
    if (code == kNoCode) continue;
    table.writes[c] = code < 0x100 ? code | 1u << 16 : (code >> 8) | (code & 0xFF) << 8 | 2u << 16;
  }
  for (int c = 0; c < 0x80; ++c) {
    if (table.codes[c] == c) continue;
    table.asciiException = table.asciiException == -1 ? c : -2;
  }
  return table;
}

}  // namespace

const CharsetTable* johabTable() {
  static const std::optional<CharsetTable> table = buildTable("JOHAB");
  return table ? &*table : nullptr;
}

const CharsetTable* cp949Table() {
  static const std::optional<CharsetTable> table = buildTable("CP949");
  return table ? &*table : nullptr;
}

}  // namespace kbeval
