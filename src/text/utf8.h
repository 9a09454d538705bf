// Reading UTF-8 one character at a time, strictly: no overlong forms, no
// surrogates, nothing above U+10FFFF, and no 5- or 6-byte forms. A byte that
// does not begin a well-formed character is invalid on its own, so a decoder
// that skips it and goes on at the next byte never loses a character that
// follows a broken one.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kbeval {

enum class Utf8Status {
  ok,          // a whole character of `length` bytes
  incomplete,  // the bytes given are the start of a character, but not all of it
  invalid,     // the first byte begins no character that the next bytes complete
};

struct Utf8Char {
  Utf8Status status = Utf8Status::invalid;
  int length = 0;          // bytes of the character, for ok
  char32_t codePoint = 0;  // for ok
};

// Decodes the character at the start of `bytes` (of which `available` may be read).
constexpr Utf8Char decodeUtf8Char(const unsigned char* bytes, std::size_t available) {
  const unsigned char lead = bytes[0];
  if (lead < 0x80) return {Utf8Status::ok, 1, lead};
  int length = 0;
  char32_t codePoint = 0;
  // The second byte's range excludes overlong forms (E0, F0), surrogates
  // (ED) and code points above U+10FFFF (F4).
  unsigned char low = 0x80, high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    codePoint = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    codePoint = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    codePoint = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return {};
  }
  for (int i = 1; i < length; ++i) {
    if (static_cast<std::size_t>(i) >= available) return {Utf8Status::incomplete, 0, 0};
    const unsigned char next = bytes[i];
    if (next < low || next > high) return {};
    low = 0x80;
    high = 0xBF;
    codePoint = codePoint << 6 | (next & 0x3F);
  }
  return {Utf8Status::ok, length, codePoint};
}

// Whether `text` is well-formed UTF-8 from start to end.
bool isValidUtf8(std::string_view text);

// Appends the UTF-8 form of `codePoint` (which must be a scalar value).
void appendUtf8(char32_t codePoint, std::string& out);

}  // namespace kbeval
