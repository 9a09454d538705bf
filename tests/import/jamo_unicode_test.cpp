// The importer's Unicode facts against independent sources: the system's
// Johab and CP949 converters and the Hangul alphabet in Unicode order. (The
// key facts it orders key sequences by come from the core's key table,
// checked against the board in tests/keystrokes/key_table_test.cpp.)
#include "jamo_unicode.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <string>
#include <utility>
#include <vector>

#include "layouts/character_tables.h"

namespace kbeval::import {
namespace {

// `c` converted from UTF-32LE to `encoding` by iconv; empty if it cannot be.
std::string converted(iconv_t cd, char32_t c) {
  char32_t in[1] = {c};
  char out[8] = {};
  char* inPtr = reinterpret_cast<char*>(in);
  char* outPtr = out;
  std::size_t inLeft = sizeof in, outLeft = sizeof out;
  if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) return "";
  return std::string(out, sizeof out - outLeft);
}

// Every conjoining jamo, and a few characters near them: a modern one lands
// in its block's slot with the Johab code that the system's converter gives
// the syllable made of it (the other parts ㄱ, ㅏ and no final); every other
// character has no code.
TEST(JohabJamo, ModernJamoTakeTheCodesOfTheSystemsJohab) {
  iconv_t cd = iconv_open("JOHAB", "UTF-32LE");
  if (cd == reinterpret_cast<iconv_t>(-1)) GTEST_SKIP() << "no Johab converter";
  std::vector<char32_t> characters = {0x41, 0x3131, 0xAC00, 0xA960, 0xA97F, 0xD7B0, 0xD7FF};
  for (char32_t c = 0x10F0; c <= 0x1200; ++c) characters.push_back(c);
  for (char32_t c : characters) {
    SCOPED_TRACE(std::to_string(static_cast<unsigned>(c)));
    int initial = 0, medial = 0, final = 0;
    Slot slot{};
    if (c >= 0x1100 && c < 0x1100 + 19) {
      initial = static_cast<int>(c - 0x1100), slot = Slot::Initial;
    } else if (c >= 0x1161 && c < 0x1161 + 21) {
      medial = static_cast<int>(c - 0x1161), slot = Slot::Medial;
    } else if (c >= 0x11A8 && c < 0x11A8 + 27) {
      final = static_cast<int>(c - 0x11A8) + 1, slot = Slot::Final;
    } else {
      EXPECT_FALSE(johabJamo(c));
      continue;
    }
    const std::string johab = converted(cd, 0xAC00 + (initial * 21 + medial) * 28 + final);
    ASSERT_EQ(johab.size(), 2u);
    const int word =
        (static_cast<unsigned char>(johab[0]) << 8) | static_cast<unsigned char>(johab[1]);
    const int fields[] = {(word >> 10) & 31, (word >> 5) & 31, word & 31};
    const auto got = johabJamo(c);
    ASSERT_TRUE(got);
    EXPECT_EQ(got->slot, slot);
    EXPECT_EQ(got->code, fields[static_cast<int>(slot)]);
  }
  iconv_close(cd);
}

TEST(JohabJamo, ConjoiningBlocksEndWhereUnicodeEndsThem) {
  const std::pair<char32_t, bool> cases[] = {
      {0x10FF, false}, {0x1100, true},  {0x11FF, true},  {0x1200, false}, {0xA95F, false},
      {0xA960, true},  {0xA97F, true},  {0xA980, false}, {0xD7AF, false}, {0xD7B0, true},
      {0xD7FF, true},  {0xD800, false}, {0x3131, false}, {0xAC00, false}};
  for (const auto& [c, conjoining] : cases) {
    EXPECT_EQ(isConjoiningJamo(c), conjoining) << std::hex << static_cast<unsigned>(c);
  }
}

// The consonants in Unicode's order of choseong and of jongseong: a choseong
// becomes the jongseong of the same letter, and nothing where there is none.
TEST(ChoseongAsJongseong, GivesTheFinalOfTheSameLetter) {
  const std::u32string initials = U"ㄱㄲㄴㄷㄸㄹㅁㅂㅃㅅㅆㅇㅈㅉㅊㅋㅌㅍㅎ";
  const std::u32string finals = U"ㄱㄲㄳㄴㄵㄶㄷㄹㄺㄻㄼㄽㄾㄿㅀㅁㅂㅄㅅㅆㅇㅈㅊㅋㅌㅍㅎ";
  for (char32_t c = 0x10FF; c <= 0x11C3; ++c) {
    std::optional<char32_t> want;
    if (c >= 0x1100 && c < 0x1100 + initials.size()) {
      const std::size_t at = finals.find(initials[c - 0x1100]);
      if (at != std::u32string::npos) want = static_cast<char32_t>(0x11A8 + at);
    }
    EXPECT_EQ(choseongAsJongseong(c), want) << std::hex << static_cast<unsigned>(c);
  }
}

// Every symbol's Unicode character is what its KS X 1001 name decodes to,
// and the character finds its row again.
TEST(SymbolUnicode, AgreesWithSymbolNamesDecodedBySystemIconv) {
  iconv_t cd = iconv_open("UTF-32LE", "CP949");
  if (cd == reinterpret_cast<iconv_t>(-1)) GTEST_SKIP() << "no CP949 converter";
  for (int row = 0; row < kSymbolCount; ++row) {
    if (row == 48) {
      EXPECT_EQ(SymbolUnicode[row], char32_t{0});  // the ASCII "?" row
      continue;
    }
    std::string in(SymbolNames[row]);
    char32_t out[4] = {};
    char* inPtr = in.data();
    char* outPtr = reinterpret_cast<char*>(out);
    std::size_t inLeft = in.size(), outLeft = sizeof out;
    ASSERT_NE(iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft), static_cast<std::size_t>(-1)) << row;
    EXPECT_EQ(sizeof out - outLeft, 4u) << row;
    EXPECT_EQ(out[0], SymbolUnicode[row]) << "row " << row;
    EXPECT_EQ(symbolRow(out[0]), row);
  }
  EXPECT_FALSE(symbolRow(0));
  EXPECT_FALSE(symbolRow('?'));
  iconv_close(cd);
}

}  // namespace
}  // namespace kbeval::import
