#include "views/comparison_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>

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
// columns), and a name of 24 columns, which sizes the first column: two
// CP949 syllables (not UTF-8: a column per byte), 19 ASCII characters and a
// control byte that shows as "?"; its layout typed nothing.
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
  const ComparisonRow rows[] = {
      {"한글자판", 2, "Pyojun", f, false, {}, {}},
      {"\xB0\xA1\xB3\xAA-longer-layout-name\x01", 3, "Gong3", {}, false, {}, {}}};
  const std::vector<std::string> table =
      lines(printed([&](std::FILE* out) { printComparisonTable(rows, out); }));
  ASSERT_GE(table.size(), 5u);
  EXPECT_EQ(table[0],
            "Layout                    Set  Fingering  Keys/syl  Keys/100  Shift%  Left/Right  "
            "Home%  NumRow%  SameFgr%  SameKey%  Run4+%   Busiest  Untreated");
  EXPECT_EQ(table[1],
            "------------------------  ---  ---------  --------  --------  ------  ----------  "
            "-----  -------  --------  --------  ------  --------  ---------");
  EXPECT_EQ(table[2],
            "한글자판                    2  Pyojun         2.35     180.0    3.20   54.7/45.3  "
            " 47.4      1.3      2.64      1.05    3.86  L2 20.3%         83");
  EXPECT_EQ(table[3],
            "\xB0\xA1\xB3\xAA-longer-layout-name?    3  Gong3          0.00       0.0    0.00     "
            "0.0/0.0  "
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

// Ranks and best marks of each column, worked out by hand from the figures
// as printed: figures that print alike share a rank, Left/Right ranks by the
// distance from an even split (not by the left share), Home% is best highest,
// a column where every row shows the same has no best, descriptive columns
// have no rank; and when the layouts leave different numbers of characters
// untreated, only the Untreated column has a best (the ranks stay).
TEST(ComparisonTable, RanksAndBestByColumnAsPrinted) {
  ComparisonFigures a, b, c;
  a.keystrokesPerSyllable = 2.3456;  // "2.35"
  b.keystrokesPerSyllable = 2.3449;  // "2.34"
  c.keystrokesPerSyllable = 2.3351;  // "2.34"
  a.leftHandShare = 54.71, a.rightHandShare = 45.29;
  b.leftHandShare = 49.0, b.rightHandShare = 51.0;
  c.leftHandShare = 50.6, c.rightHandShare = 49.4;
  a.homeRowShare = 47.44, b.homeRowShare = 52.0, c.homeRowShare = 40.0;
  a.shiftShare = b.shiftShare = c.shiftShare = 3.2;
  a.busiestFinger = 3, a.busiestFingerLoad = 20.33;
  b.busiestFinger = 2, b.busiestFingerLoad = 19.0;
  c.busiestFinger = 6, c.busiestFingerLoad = 25.0;
  using Rows = std::vector<std::size_t>;
  using Ranks = std::vector<int>;
  struct Expected {
    const char* header;
    Ranks ranks;
    Rows best;  // with the same coverage
    Rows bestWhenCoverageDiffers;
  };
  const Expected table[] = {
      {"Layout", {0, 0, 0}, {}, {}},       {"Set", {0, 0, 0}, {}, {}},
      {"Keys/syl", {3, 1, 1}, {1, 2}, {}}, {"Left/Right", {3, 2, 1}, {2}, {}},
      {"Home%", {2, 1, 3}, {1}, {}},       {"Shift%", {1, 1, 1}, {}, {}},
      {"Busiest", {2, 1, 3}, {1}, {}},     {"Untreated", {1, 1, 1}, {}, {}},
  };
  const std::span<const ComparisonColumn> columns = comparisonColumns();
  const auto columnOf = [&](std::string_view header) {
    for (std::size_t k = 0; k < columns.size(); ++k) {
      if (header == columns[k].header) return k;
    }
    ADD_FAILURE() << "no column " << header;
    return std::size_t{0};
  };
  for (const bool sameText : {true, false}) {
    a.untreated = sameText ? 0 : 83;
    const ComparisonRow rows[] = {{"a", 2, "Pyojun", a, false, {}, {}},
                                  {"b", 3, "Gong3", b, false, {}, {}},
                                  {"c", 3, "Gong3", c, false, {}, {}}};
    EXPECT_EQ(sameCoverage(rows), sameText);
    const std::vector<std::vector<int>> ranks = columnRanks(rows);
    const std::vector<std::vector<std::size_t>> best = bestRows(rows);
    ASSERT_EQ(best.size(), columns.size());
    for (const Expected& e : table) {
      const std::size_t k = columnOf(e.header);
      const bool untreatedColumn = std::string_view(e.header) == "Untreated";
      const Ranks expectedRanks = untreatedColumn && !sameText ? Ranks{3, 1, 1} : e.ranks;
      const Rows expectedBest = sameText          ? e.best
                                : untreatedColumn ? Rows{1, 2}
                                                  : e.bestWhenCoverageDiffers;
      EXPECT_EQ(ranks[k], expectedRanks) << e.header << (sameText ? "" : ", coverage differs");
      EXPECT_EQ(best[k], expectedBest) << e.header << (sameText ? "" : ", coverage differs");
    }
  }
  EXPECT_EQ(bestRows({}), std::vector<Rows>(columns.size()));
}

// The differences as the tables print them: signed, rounded as the figure
// is, no "-0.00" for a difference that rounds to nothing, "-" for none.
TEST(ComparisonTable, DifferenceText) {
  struct Case {
    double difference;
    int decimals;
    const char* text;
  };
  const Case cases[] = {{0.5, 2, "+0.50"},  {-1.1111, 2, "-1.11"}, {-0.004, 2, "0.00"},
                        {0.004, 2, "0.00"}, {16.6667, 1, "+16.7"}, {-1, 0, "-1"},
                        {0, 0, "0"},        {NAN, 1, "-"}};
  for (const Case& c : cases) {
    EXPECT_EQ(differenceText(c.difference, c.decimals), c.text) << c.difference;
  }
}

// The untreated list of a layout, worked out by hand: what the text holds and
// the layout has no keys for, the most frequent first, ties in table order
// (signs before symbols); what it has keys for never, quotes included.
TEST(ComparisonFigures, UntreatedCharactersWorkedByHand) {
  LayoutRecord layout;
  layout.signKeys[SignChars.find('?')] = "?";
  layout.symbolKeys[0] = "Q";
  layout.symbolKeys[6] = "&";  // “: typed as the " key, but typed
  TextCounts text;
  text.signCount[SignChars.find('7')] = 1;
  text.signCount[SignChars.find('?')] = 5;
  text.signCount[SignChars.find('!')] = 2;
  text.symbolCount[0] = 4;
  text.symbolCount[1] = 2;
  text.symbolCount[6] = 3;
  const std::vector<UntreatedCharacter> expected = {{"!", 2}, {SymbolNames[1], 2}, {"7", 1}};
  EXPECT_EQ(untreatedCharacters(layout, text), expected);
}

}  // namespace
}  // namespace kbeval
