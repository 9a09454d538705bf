#include "views/utf8_text.h"

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

}  // namespace

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
