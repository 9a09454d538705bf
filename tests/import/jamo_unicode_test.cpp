#include "jamo_unicode.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

#include "keystrokes/key_table.h"
#include "layouts/character_tables.h"

namespace kbeval::import {
namespace {

std::string_view nameOf(char32_t jamo) {
  const auto johab = johabJamo(jamo);
  if (!johab) return "(none)";
  switch (johab->slot) {
    case Slot::Initial:
      return InitialNames[johab->code];
    case Slot::Medial:
      return MedialNames[johab->code];
    case Slot::Final:
      return FinalNames[johab->code];
  }
  return "(none)";
}

TEST(JohabJamo, EndsOfEachRangeLandOnTheRightKsX1001Jamo) {
  EXPECT_EQ(nameOf(0x1100), "\xA4\xA1");  // choseong kiyeok -> initial code 2
  EXPECT_EQ(nameOf(0x1112), "\xA4\xBE");  // choseong hieuh -> initial code 20
  EXPECT_EQ(nameOf(0x1161), "\xA4\xBF");  // jungseong a -> medial code 3
  EXPECT_EQ(nameOf(0x1166), "\xA4\xC4");  // jungseong e -> medial code 10, after the gap
  EXPECT_EQ(nameOf(0x1175), "\xA4\xD3");  // jungseong i -> medial code 29
  EXPECT_EQ(nameOf(0x11A8), "\xA4\xA1");  // jongseong kiyeok -> final code 2
  EXPECT_EQ(nameOf(0x11B7), "\xA4\xB1");  // jongseong mieum -> final code 17
  EXPECT_EQ(nameOf(0x11B8), "\xA4\xB2");  // jongseong pieup -> final code 19, after the gap
  EXPECT_EQ(nameOf(0x11C2), "\xA4\xBE");  // jongseong hieuh -> final code 29
}

TEST(JohabJamo, SlotsFollowTheUnicodeBlock) {
  EXPECT_EQ(johabJamo(0x1109)->slot, Slot::Initial);
  EXPECT_EQ(johabJamo(0x116A)->slot, Slot::Medial);
  EXPECT_EQ(johabJamo(0x11AA)->slot, Slot::Final);
  EXPECT_EQ(johabJamo(0x11AA)->code, 4);  // the compound final ㄳ
}

TEST(JohabJamo, OldAndNonJamoHaveNoCode) {
  for (char32_t c : {0x1113u, 0x1140u, 0x1160u, 0x1176u, 0x119Eu, 0x11A7u, 0x11C3u, 0x11F9u,
                     0xA960u, 0x3131u, 0x41u}) {
    EXPECT_FALSE(johabJamo(c)) << std::hex << static_cast<unsigned>(c);
  }
  EXPECT_TRUE(isConjoiningJamo(0x1140));
  EXPECT_TRUE(isConjoiningJamo(0xD7B0));
  EXPECT_FALSE(isConjoiningJamo(0x3131));  // compatibility jamo are plain characters
}

TEST(ChoseongAsJongseong, ConsonantsWithAFinalMapAndDoublesWithoutOneDoNot) {
  EXPECT_EQ(choseongAsJongseong(0x1100), char32_t{0x11A8});
  EXPECT_EQ(choseongAsJongseong(0x1101), char32_t{0x11A9});  // ㄲ
  EXPECT_EQ(choseongAsJongseong(0x110A), char32_t{0x11BB});  // ㅆ
  EXPECT_EQ(choseongAsJongseong(0x1112), char32_t{0x11C2});
  EXPECT_FALSE(choseongAsJongseong(0x1104));  // ㄸ
  EXPECT_FALSE(choseongAsJongseong(0x1108));  // ㅃ
  EXPECT_FALSE(choseongAsJongseong(0x110D));  // ㅉ
  EXPECT_FALSE(choseongAsJongseong(0x11A8));  // already a final
}

// Every symbol's Unicode character must be what its KS X 1001 name decodes to.
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
  }
  iconv_close(cd);
}

TEST(SymbolRow, FindsTheQuotesAndNotZero) {
  EXPECT_EQ(symbolRow(0x2018), 4);
  EXPECT_EQ(symbolRow(0x201D), 7);
  EXPECT_EQ(symbolRow(0x203B), 8);
  EXPECT_FALSE(symbolRow(0));
  EXPECT_FALSE(symbolRow('?'));
}

// The importer orders key sequences by the QWERTY board's Shift, hand and
// row, as the core's key table gives them.
TEST(KeyFacts, ShiftHandAndRowOfSampleKeys) {
  KeyTable keys{};
  setupKeyTable(2, "Qwerty", keys);
  auto at = [&keys](char key) { return keys[static_cast<unsigned char>(key)]; };
  EXPECT_EQ(at('R').shift, 1);
  EXPECT_EQ(at('<').shift, 1);
  EXPECT_EQ(at('r').shift, 0);
  EXPECT_EQ(at('\'').shift, 0);
  EXPECT_LT(at('b').finger, 0);
  EXPECT_LT(at('%').finger, 0);
  EXPECT_GT(at('6').finger, 0);
  EXPECT_GT(at('/').finger, 0);
  EXPECT_EQ(at('/').row, 2);
  EXPECT_EQ(at('9').row, 5);
  EXPECT_EQ(at('^').row, 5);
}

}  // namespace
}  // namespace kbeval::import
