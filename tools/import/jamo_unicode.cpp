#include "jamo_unicode.h"

namespace kbeval::import {

namespace {

// Johab medial code of each jungseong U+1161..U+1175.
constexpr std::array<int, 21> MedialCodes = {3,  4,  5,  6,  7,  10, 11, 12, 13, 14, 15,
                                             18, 19, 20, 21, 22, 23, 26, 27, 28, 29};

// Jongseong of each choseong U+1100..U+1112; 0 where the consonant has no final.
constexpr std::array<char32_t, 19> JongseongOfChoseong = {
    0x11A8, 0x11A9, 0x11AB, 0x11AE, 0,      0x11AF, 0x11B7, 0x11B8, 0,      0x11BA,
    0x11BB, 0x11BC, 0x11BD, 0,      0x11BE, 0x11BF, 0x11C0, 0x11C1, 0x11C2,
};

}  // namespace

const std::array<char32_t, 50> SymbolUnicode = {
    0x00B7, 0x2026, 0x3003, 0x2015, 0x2018, 0x2019, 0x201C, 0x201D, 0x203B, 0x3008,
    0x3009, 0x300A, 0x300B, 0x300C, 0x300D, 0x300E, 0x300F, 0x3010, 0x3011, 0x00B1,
    0x00D7, 0x00F7, 0x2260, 0x00B0, 0x2032, 0x2033, 0x2103, 0x2109, 0x2122, 0x25CB,
    0x25A1, 0x25B3, 0x25BD, 0x25C1, 0x25B7, 0x2192, 0x2190, 0x2191, 0x2193, 0x2194,
    0x2606, 0x2661, 0x260E, 0x261C, 0x261E, 0xFFE5, 0x20AC, 0x00AE, 0,      0x24D2,
};

std::optional<JohabJamo> johabJamo(char32_t jamo) {
  if (jamo >= 0x1100 && jamo <= 0x1112) return JohabJamo{Slot::Initial, int(jamo - 0x1100) + 2};
  if (jamo >= 0x1161 && jamo <= 0x1175) return JohabJamo{Slot::Medial, MedialCodes[jamo - 0x1161]};
  if (jamo >= 0x11A8 && jamo <= 0x11C2) {
    // Johab leaves final code 18 unassigned, between U+11B7 and U+11B8.
    const int index = int(jamo - 0x11A8);
    return JohabJamo{Slot::Final, index <= 15 ? index + 2 : index + 3};
  }
  return std::nullopt;
}

bool isConjoiningJamo(char32_t c) {
  return (c >= 0x1100 && c <= 0x11FF) || (c >= 0xA960 && c <= 0xA97F) ||
         (c >= 0xD7B0 && c <= 0xD7FF);
}

std::optional<char32_t> choseongAsJongseong(char32_t choseong) {
  if (choseong < 0x1100 || choseong > 0x1112) return std::nullopt;
  const char32_t jongseong = JongseongOfChoseong[choseong - 0x1100];
  if (jongseong == 0) return std::nullopt;
  return jongseong;
}

std::optional<int> symbolRow(char32_t c) {
  if (c == 0) return std::nullopt;
  for (int row = 0; row < int(SymbolUnicode.size()); ++row) {
    if (SymbolUnicode[row] == c) return row;
  }
  return std::nullopt;
}

}  // namespace kbeval::import
