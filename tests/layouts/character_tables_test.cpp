// The character tables checked whole against sources that do not come from
// them: glibc's JOHAB and CP949 conversions, and the names Unicode gives the
// compound jamo.
#include "layouts/character_tables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>

#include "iconv_model.h"
#include "text/encodings.h"
#include "text/utf8.h"

namespace kbeval {
namespace {

using testing::iconvConvert;

std::optional<std::string> cp949ToUtf8(std::string_view name) {
  return iconvConvert("CP949", "UTF-8", name);
}

std::string johabBytes(int initial, int medial, int final) {
  return {static_cast<char>(0x80 | initial << 2 | medial >> 3),
          static_cast<char>((medial & 7) << 5 | final)};
}

TEST(CharacterTables, SymbolCodesAreTheJohabCodesOfTheirNames) {
  for (int row = 0; row < kSymbolCount; ++row) {
    const std::string code = {static_cast<char>(SymbolCodes[row] >> 8),
                              static_cast<char>(SymbolCodes[row] & 0xFF)};
    if (row == 48) {  // named "?", it shares the code of the row after it
      EXPECT_EQ(SymbolNames[row], "?");
      EXPECT_EQ(SymbolCodes[row], SymbolCodes[49]);
      continue;
    }
    const auto unicode = cp949ToUtf8(SymbolNames[row]);
    ASSERT_TRUE(unicode) << row;
    EXPECT_EQ(iconvConvert("UTF-8", "JOHAB", *unicode), code) << row;
  }
}

std::string cp949Of(char32_t c) {
  std::string utf8;
  appendUtf8(c, utf8);
  return iconvConvert("UTF-8", "CP949", utf8).value_or("?");
}

// A Johab code whose other two fields are fill codes is the jamo alone: its
// name is the CP949 form of the character glibc gives that code; no name
// where glibc gives none, or the Hangul filler (all three fields fill).
template <std::size_t N>
void checkJamoNames(const std::array<std::string_view, N>& names, bool initial) {
  for (int code = 0; code < static_cast<int>(N); ++code) {
    const auto unicode =
        iconvConvert("JOHAB", "UTF-8", initial ? johabBytes(code, 2, 1) : johabBytes(1, code, 1));
    std::string expected;
    if (unicode && *unicode != "\xE3\x85\xA4")
      expected = iconvConvert("UTF-8", "CP949", *unicode).value_or("?");
    EXPECT_EQ(names[code], expected) << (initial ? "initial " : "medial ") << code;
  }
}

// glibc gives a final alone no character unless no initial has its form, so
// each final is found in the syllable 아 + final: Unicode's syllable
// algorithm gives its final index T (code point - U+AC00, modulo 28), and
// the compatibility jamo of each T, in Unicode's jongseong order, is below.
TEST(CharacterTables, JamoNamesAreWhatTheirJohabCodesStandFor) {
  checkJamoNames(InitialNames, true);
  checkJamoNames(MedialNames, false);
  constexpr char32_t kFinalOfIndex[28] = {0,      0x3131, 0x3132, 0x3133, 0x3134, 0x3135, 0x3136,
                                          0x3137, 0x3139, 0x313A, 0x313B, 0x313C, 0x313D, 0x313E,
                                          0x313F, 0x3140, 0x3141, 0x3142, 0x3144, 0x3145, 0x3146,
                                          0x3147, 0x3148, 0x314A, 0x314B, 0x314C, 0x314D, 0x314E};
  for (int code = 0; code < kFinalCodes; ++code) {
    const auto syllable = iconvConvert("JOHAB", "UTF-32BE", johabBytes(13, 3, code));
    std::string expected;
    if (syllable) {
      const auto* b = reinterpret_cast<const unsigned char*>(syllable->data());
      const char32_t c = static_cast<char32_t>(b[0] << 24 | b[1] << 16 | b[2] << 8 | b[3]);
      ASSERT_GE(c, 0xAC00u) << code;
      const char32_t index = (c - 0xAC00) % 28;
      if (index != 0) expected = cp949Of(kFinalOfIndex[index]);
    }
    EXPECT_EQ(FinalNames[code], expected) << "final " << code;
  }
}

TEST(CharacterTables, Utf8FormsAreIconvsCp949Conversion) {
  for (int column = 0xA1; column <= 0xFE; ++column) {
    const std::string jamo = {'\xA4', static_cast<char>(column)};
    EXPECT_EQ(ksx1001ToUtf8(jamo), cp949ToUtf8(jamo)) << column;
  }
  for (std::string_view name : SymbolNames) {
    EXPECT_EQ(ksx1001ToUtf8(name), cp949ToUtf8(name));
    EXPECT_EQ(displayText(name, OutputEncoding::utf8), cp949ToUtf8(name));
    EXPECT_EQ(displayText(name, OutputEncoding::cp949), name);
  }
  for (char sign : SignChars) {
    EXPECT_EQ(displayText({&sign, 1}, OutputEncoding::utf8), std::string(1, sign));
  }
}

// Unicode names the double consonants SSANG-X (X twice) and the compound
// finals X-Y (X, then Y), in the Hangul Compatibility Jamo block; the compound
// vowels WA, WAE, OE, WEO, WE and WI are written O+A, O+AE, O+I, U+EO, U+E and
// U+I (which is also how the 2-set standard layout types them).
TEST(CharacterTables, CompoundJamoSplitAsUnicodeNamesThem) {
  const struct {
    char32_t jamo, first, second;
  } facts[] = {
      {0x3132, 0x3131, 0x3131}, {0x3138, 0x3137, 0x3137}, {0x3143, 0x3142, 0x3142},
      {0x3149, 0x3148, 0x3148}, {0x3158, 0x3157, 0x314F}, {0x3159, 0x3157, 0x3150},
      {0x315A, 0x3157, 0x3163}, {0x315D, 0x315C, 0x3153}, {0x315E, 0x315C, 0x3154},
      {0x315F, 0x315C, 0x3163}, {0x3133, 0x3131, 0x3145}, {0x3135, 0x3134, 0x3148},
      {0x3136, 0x3134, 0x314E}, {0x313A, 0x3139, 0x3131}, {0x313B, 0x3139, 0x3141},
      {0x313C, 0x3139, 0x3142}, {0x313D, 0x3139, 0x3145}, {0x313E, 0x3139, 0x314C},
      {0x313F, 0x3139, 0x314D}, {0x3140, 0x3139, 0x314E}, {0x3144, 0x3142, 0x3145},
  };
  ASSERT_EQ(CompoundJamoParts.size(), std::size(facts));
  for (const CompoundJamo& compound : CompoundJamoParts) {
    const auto* fact = std::find_if(std::begin(facts), std::end(facts), [&](const auto& f) {
      return cp949Of(f.jamo) == compound.jamo;
    });
    ASSERT_NE(fact, std::end(facts)) << compound.jamo;
    EXPECT_EQ(compound.first, cp949Of(fact->first)) << compound.jamo;
    EXPECT_EQ(compound.second, cp949Of(fact->second)) << compound.jamo;
  }
}

}  // namespace
}  // namespace kbeval
