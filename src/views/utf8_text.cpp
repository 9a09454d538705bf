#include "views/utf8_text.h"

#include <optional>
#include <utility>

namespace kbeval {

namespace {

// The code point at the start of `text` and its length in bytes, if `text`
// starts with a well-formed UTF-8 sequence.
std::optional<std::pair<char32_t, std::size_t>> decodeUtf8(std::string_view text) {
  const auto byte = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return std::pair{char32_t{lead}, std::size_t{1}};
  std::size_t length = 0;
  char32_t c = 0, least = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, c = lead & 0x1F, least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, c = lead & 0x0F, least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, c = lead & 0x07, least = 0x10000;
  } else {
    return std::nullopt;
  }
  if (text.size() < length) return std::nullopt;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return std::nullopt;
    c = (c << 6) | (byte(i) & 0x3F);
  }
  if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
  return std::pair{c, length};
}

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

bool isValidUtf8(std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    const auto decoded = decodeUtf8(text.substr(at));
    if (!decoded) return false;
    at += decoded->second;
  }
  return true;
}

std::size_t displayWidth(std::string_view text) {
  std::size_t width = 0;
  for (std::size_t at = 0; at < text.size();) {
    const auto decoded = decodeUtf8(text.substr(at));
    if (!decoded) return text.size();
    width += static_cast<std::size_t>(columnsOf(decoded->first));
    at += decoded->second;
  }
  return width;
}

}  // namespace kbeval
