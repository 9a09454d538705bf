#include "text/utf8_sample.h"

#include <gtest/gtest.h>

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
      {"\xEA\xB0\x80 a\n", "\x88\x61 a\n", 0},          // 가: initial 2, medial 3, final 1
      {"\xEF\xBB\xBF\xEA\xB0\x80", "\x88\x61", 0},      // a byte-order mark gives nothing
      {"a\xEF\xBB\xBF\x62", "ab", 0},                   // nor does one in the middle (0x62 is b)
      {"\xE3\x84\xB1", "\x88\x41", 0},                  // ㄱ: initial 2 and two fill codes
      {"\\\xE2\x82\xA9", "\\", 0},                      // Johab's 0x5C is the won sign
      {"\xC2\xB7\xE2\x80\xA6", "\xD9\x34\xD9\x36", 0},  // · and … are symbols
      {"x\xF0\x9F\x98\x80y\xC3\xA9", "xy", 0},          // an emoji and é: no Johab form
      {"\xC0\xAF\xE0\x80\xAF", "", 5},                  // overlong forms
      {"\xED\xA0\x80\xED\xBF\xBF", "", 6},              // surrogates
      {"\xF4\x90\x80\x80\xF8\x88\x80\x80\x80", "", 9},  // beyond U+10FFFF, five bytes
      {"\x80\xBF\xFE\xFF", "", 4},                      // no lead byte
      {"\xEA\xB0\xEA\xB0\x80", "\x88\x61", 2},          // a cut character, then a whole one
      {"\xE1\x80\x61\xEA\xB0", "a", 4},                 // cut before an ASCII a, and at the end
      {"\xE1\x00\x61"s, "\x00\x61"s, 1},                // a zero byte is a character of its own
      {"\xF0\x9F\x98\x1A", "\x1A", 3},                  // and so is 0x1A
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

}  // namespace
}  // namespace kbeval
