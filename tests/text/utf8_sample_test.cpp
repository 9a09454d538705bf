#include "text/utf8_sample.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "iconv_model.h"
#include "text/utf8.h"

namespace kbeval {
namespace {

using namespace std::string_literals;

struct Converted {
  std::string johab;
  std::uint64_t invalidBytes = 0;
};

// Converts `text` in pieces that end at `cuts` (ascending), then at its end.
Converted convert(const std::string& text, const std::vector<std::size_t>& cuts = {}) {
  Utf8SampleState state;
  state.johab = johabTable();
  Converted result;
  std::size_t begin = 0;
  for (std::size_t cut : cuts) {
    convertUtf8Sample(state, text.data() + begin, cut - begin, result.johab);
    begin = cut;
  }
  convertUtf8Sample(state, text.data() + begin, text.size() - begin, result.johab);
  finishUtf8Sample(state);
  result.invalidBytes = state.invalidBytes;
  return result;
}

// Hand-worked cases; each must also come out the same when cut anywhere.
TEST(Utf8Sample, CharactersAndBrokenBytes) {
  ASSERT_NE(johabTable(), nullptr);
  const struct {
    std::string utf8;
    std::string johab;
    std::uint64_t invalid;
  } cases[] = {
      {"\xEA\xB0\x80 a\n", "\x88\x61 a\n", 0},      // 가: initial 2, medial 3, final 1
      {"\xEF\xBB\xBF\xEA\xB0\x80", "\x88\x61", 0},  // a byte-order mark gives nothing
      {"a\xEF\xBB\xBF"
       "b",
       "ab", 0},                                        // nor does one in the middle
      {"\xE3\x84\xB1", "\x88\x41", 0},                  // ㄱ: initial 2 and two fill codes
      {"\\\xE2\x82\xA9", "\\", 0},                      // Johab's 0x5C is the won sign
      {"\xC2\xB7\xE2\x80\xA6", "\xD9\x34\xD9\x36", 0},  // · and … are symbols
      {"x\xF0\x9F\x98\x80y\xC3\xA9", "xy", 0},          // an emoji and é: no Johab form
      {"\xC0\xAF\xE0\x80\xAF", "", 5},                  // overlong forms
      {"\xED\xA0\x80\xED\xBF\xBF", "", 6},              // surrogates
      {"\xF4\x90\x80\x80\xF8\x88\x80\x80\x80", "", 9},  // beyond U+10FFFF, five bytes
      {"\x80\xBF\xFE\xFF", "", 4},                      // no lead byte
      {"\xEA\xB0\xEA\xB0\x80", "\x88\x61", 2},          // a cut character, then a whole one
      {"\xE1\x80"
       "a\xEA\xB0",
       "a", 4},  // cut before an ASCII byte, and at the end
      {"\xE1\x00"
       "a"s,
       "\x00"
       "a"s,
       1},                              // a zero byte is a character of its own
      {"\xF0\x9F\x98\x1A", "\x1A", 3},  // and so is 0x1A
  };
  for (const auto& c : cases) {
    const Converted whole = convert(c.utf8);
    EXPECT_EQ(whole.johab, c.johab) << c.utf8;
    EXPECT_EQ(whole.invalidBytes, c.invalid) << c.utf8;
    for (std::size_t cut = 0; cut <= c.utf8.size(); ++cut) {
      const Converted cutOnce = convert(c.utf8, {cut});
      EXPECT_EQ(cutOnce.johab, c.johab) << c.utf8 << " cut at " << cut;
      EXPECT_EQ(cutOnce.invalidBytes, c.invalid) << c.utf8 << " cut at " << cut;
    }
  }
}

// Every code point, as the iconv program converts it with -c, the sample cut
// into pieces of an odd size so that characters of every length are cut.
TEST(Utf8Sample, EveryCodePointAsIconvConvertsIt) {
  if (!testing::haveIconvProgram()) GTEST_SKIP() << "no iconv program";
  std::string text;
  for (char32_t c = 0; c <= 0x10FFFF; ++c) {
    if (c < 0xD800 || c > 0xDFFF) appendUtf8(c, text);
  }
  std::vector<std::size_t> cuts;
  for (std::size_t at = 4093; at < text.size(); at += 4093) cuts.push_back(at);
  const Converted converted = convert(text, cuts);
  EXPECT_EQ(converted.invalidBytes, 0u);
  EXPECT_TRUE(converted.johab == testing::iconvProgram({"-c", "-f", "UTF-8", "-t", "JOHAB"}, text));
}

// Korean text with ASCII runs, symbols, characters Johab lacks and broken
// bytes of every kind: the output is what `iconv -c -f UTF-8 -t JOHAB` makes,
// the invalid bytes are those that no character glibc decodes took, and
// pieces of any length give the same.
TEST(Utf8Sample, RandomTextAgainstIconv) {
  if (!testing::haveIconvProgram()) GTEST_SKIP() << "no iconv program";
  const std::vector<std::string> tokens = {
      "\xEA\xB0\x80",
      "\xED\x9E\xA3",
      "\xEB\x8B\xAD",
      " ",
      "\n",
      "\r\n",
      "abcdefghijk",
      "\\",
      "7?",
      "\xE2\x80\x9C",
      "\xE2\x82\xA9",
      "\xE3\x84\xB1",
      "\xE4\xB8\x80",
      "\xEF\xBC\xA1",
      "\xC2\xB7",
      "\xC3\xA9",
      "\xF0\x9F\x98\x80",
      "\xEF\xBB\xBF",
      "\x80",
      "\xFF",
      "\xC0\xAF",
      "\xED\xA0\x80",
      "\xE1\x80",
      "\xF0\x9F",
      "\xF4\x90\x80\x80",
      "\xEA",
  };
  std::mt19937 random(10);
  for (int round = 0; round < 4; ++round) {
    std::string text;
    while (text.size() < 50000) text += tokens[random() % tokens.size()];
    std::vector<std::size_t> cuts;
    for (std::size_t at = random() % 20; at < text.size(); at += 1 + random() % 20)
      cuts.push_back(at);
    const Converted converted = convert(text, cuts);
    EXPECT_TRUE(converted.johab ==
                testing::iconvProgram({"-c", "-f", "UTF-8", "-t", "JOHAB"}, text));
    // glibc's decoder takes what it decodes to UTF-32; the rest is invalid.
    const std::string decoded =
        testing::iconvProgram({"-c", "-f", "UTF-8", "-t", "UTF-32LE"}, text);
    std::size_t validBytes = 0;
    for (std::size_t at = 0; at + 4 <= decoded.size(); at += 4) {
      std::string utf8;
      appendUtf8(static_cast<unsigned char>(decoded[at]) |
                     static_cast<unsigned char>(decoded[at + 1]) << 8 |
                     static_cast<unsigned char>(decoded[at + 2]) << 16,
                 utf8);
      validBytes += utf8.size();
    }
    EXPECT_EQ(converted.invalidBytes, text.size() - validBytes);
  }
}

TEST(Utf8Sample, PlainlyKoreanUtf8) {
  EXPECT_TRUE(isPlainlyKoreanUtf8("abc \xEA\xB0\x80\n"));
  EXPECT_TRUE(isPlainlyKoreanUtf8("\xEA\xB0\x80 \xEA\xB0"));       // cut at the end of the start
  EXPECT_FALSE(isPlainlyKoreanUtf8("abc \xE3\x84\xB1 \xC2\xB7"));  // no syllable
  EXPECT_FALSE(isPlainlyKoreanUtf8("\xEA\xB0\x80 \xFF"));          // not UTF-8
  EXPECT_FALSE(isPlainlyKoreanUtf8("\x88\x61\x88\x62 \xD9\x34"));  // Johab 가각 ·
  EXPECT_FALSE(isPlainlyKoreanUtf8(""));
}

}  // namespace
}  // namespace kbeval
