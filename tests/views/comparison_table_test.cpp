#include "views/comparison_table.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "views/utf8_text.h"

namespace kbeval {
namespace {

template <typename Print>
std::string printed(Print print) {
  char* data = nullptr;
  std::size_t size = 0;
  std::FILE* out = open_memstream(&data, &size);
  print(out);
  std::fclose(out);
  std::string text(data, size);
  std::free(data);
  return text;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> all;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) all.push_back(line);
  return all;
}

// Two rows worked out by hand: a UTF-8 name of four syllables (eight
// columns), a name of 26 bytes whose control byte shows as "?", which sizes
// the first column, and a layout that typed nothing.
TEST(ComparisonTable, ColumnsAsWideAsTheirWidestCell) {
  ComparisonFigures f;
  f.keystrokesPerSyllable = 2.3456;
  f.keystrokesPer100Characters = 180.04;
  f.shiftShare = 3.2;
  f.leftHandShare = 54.71;
  f.rightHandShare = 45.29;
  f.homeRowShare = 47.44;
  f.numberRowShare = 1.26;
  f.sameFingerShare = 2.641;
  f.sameKeyShare = 1.052;
  f.longOneHandRunShare = 3.861;
  f.busiestFinger = 3;
  f.busiestFingerLoad = 20.33;
  f.untreated = 83;
  const ComparisonRow rows[] = {{"한글자판", 2, "Pyojun", f},
                                {"a-much-longer-layout-name\x01", 3, "Gong3", {}}};
  const std::vector<std::string> table =
      lines(printed([&](std::FILE* out) { printComparisonTable(rows, out); }));
  ASSERT_GE(table.size(), 5u);
  EXPECT_EQ(table[0],
            "Layout                      Set  Fingering  Keys/syl  Keys/100  Shift%  Left/Right  "
            "Home%  NumRow%  SameFgr%  SameKey%  Run4+%   Busiest  Untreated");
  EXPECT_EQ(table[1],
            "--------------------------  ---  ---------  --------  --------  ------  ----------  "
            "-----  -------  --------  --------  ------  --------  ---------");
  EXPECT_EQ(table[2],
            "한글자판                      2  Pyojun         2.35     180.0    3.20   54.7/45.3  "
            " 47.4      1.3      2.64      1.05    3.86  L2 20.3%         83");
  EXPECT_EQ(table[3],
            "a-much-longer-layout-name?    3  Gong3          0.00       0.0    0.00     0.0/0.0  "
            "  0.0      0.0      0.00      0.00    0.00         -          0");
  // An empty line, then one legend line per column, led by its header.
  EXPECT_EQ(table[4], "");
  const char* headers[] = {"Layout",   "Set",        "Fingering", "Keys/syl", "Keys/100",
                           "Shift%",   "Left/Right", "Home%",     "NumRow%",  "SameFgr%",
                           "SameKey%", "Run4+%",     "Busiest",   "Untreated"};
  ASSERT_EQ(table.size(), 5u + std::size(headers));
  for (std::size_t k = 0; k < std::size(headers); ++k) {
    EXPECT_TRUE(table[5 + k].starts_with(std::string(headers[k]) + " ")) << table[5 + k];
  }
}

TEST(ComparisonTable, WorstPairsWithWhatTheKeysType) {
  LayoutRecord layout;
  layout.initialKeys[2] = "k";  // ㄱ
  layout.finalKeys[2] = "x";    // ㄱ as a final only
  layout.medialKeys[29] = "d";  // ㅣ
  layout.signKeys[*findSign('-')] = "-";
  LayoutPairs pairs{"three", &layout, 200, {}};
  pairs.pairs.sameFinger = {{'x', 'd', 5, 5, false}, {'P', 'Q', 1, 2, true}};
  pairs.pairs.sameKey = {{'-', '-', 3, 3, false}, {'k', 'k', 1, 1, false}};
  LayoutPairs none{"none", &layout, 0, {}};
  const LayoutPairs layouts[] = {pairs, none};
  const std::string text =
      printed([&](std::FILE* out) { printWorstPairs(layouts, 1, OutputEncoding::utf8, out); });
  EXPECT_EQ(text,
            "\nMost frequent same-finger pairs of different keys and same-key repeats (top 1):\n"
            "strokes, % of keystrokes, the keys in typing order and what each types\n"
            "\nthree\n"
            "  same finger         5   2.50%  x ㄱ(final) → d ㅣ\n"
            "  same key            3   1.50%  -\n"
            "\nnone\n"
            "  same finger   none\n"
            "  same key      none\n");
  const std::string withShift = printed([&](std::FILE* out) {
    printWorstPairs({&pairs, 1}, 2, OutputEncoding::cp949, out);
  });
  EXPECT_NE(withShift.find("        2   1.00%  P \xA1\xE6 Q  (with Shift)\n"), std::string::npos)
      << withShift;
}

TEST(Utf8Text, ValidityAndWidth) {
  struct Case {
    std::string text;
    bool valid;
    std::size_t width;
  };
  const Case cases[] = {
      {"", true, 0},
      {"abc", true, 3},
      {"한글", true, 4},
      {"ㄱ·", true, 3},                // a compatibility jamo is wide, the middle dot not
      {"e\xCC\x81", true, 1},          // e and a combining acute accent
      {"\xF0\x9F\x98\x80", true, 1},   // outside the wide ranges counted
      {"\xC0\x80", false, 2},          // overlong
      {"\xED\xA0\x80", false, 3},      // surrogate
      {"\xF4\x90\x80\x80", false, 4},  // above U+10FFFF
      {"\xE1\x80", false, 2},          // cut short
      {"\x80", false, 1},              // stray continuation byte
      {"\xB0\xA1\xB3\xAA", false, 4},  // two CP949 syllables: two columns each
  };
  for (const Case& c : cases) {
    EXPECT_EQ(isValidUtf8(c.text), c.valid) << c.text;
    EXPECT_EQ(displayWidth(c.text), c.width) << c.text;
  }
}

}  // namespace
}  // namespace kbeval
