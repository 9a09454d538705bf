#include "analysis/text_reports.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "analysis/combinations.h"
#include "analysis/hangul_text.h"

namespace kbeval {
namespace {

using testing::capture;
using testing::ks;
using testing::ksWords;

std::string jamoReport(const TextCounts& counts) {
  return capture([&](std::FILE* out) { printJamoReport(counts, out); });
}

std::string combinationReport(const CombinationCounts& counts) {
  return capture([&](std::FILE* out) { printCombinationReport(counts, out); });
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    result.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return result;
}

bool hasLine(const std::string& text, const std::string& line) {
  return ("\n" + text).find("\n" + line + "\n") != std::string::npos;
}

// The report for the one syllable 간 (ㄱ ㅏ ㄴ), up to the symbol list.
const char* const kGanReport = R"X(
Hangeul Natnae: 1
 (Cheot-sori: 1, Gaunget-sori: 1, Ggeut-sori: 1)

Digits: 0
Signs: 0
Enter : 0
Space : 0

Cheot-sori Frequency: 1
ㄱ:        1 (100.00%)
ㄲ:        0 (0.00%)
ㄴ:        0 (0.00%)
ㄷ:        0 (0.00%)
ㄸ:        0 (0.00%)
ㄹ:        0 (0.00%)
ㅁ:        0 (0.00%)
ㅂ:        0 (0.00%)
ㅃ:        0 (0.00%)
ㅅ:        0 (0.00%)
ㅆ:        0 (0.00%)
ㅇ:        0 (0.00%)
ㅈ:        0 (0.00%)
ㅉ:        0 (0.00%)
ㅊ:        0 (0.00%)
ㅋ:        0 (0.00%)
ㅌ:        0 (0.00%)
ㅍ:        0 (0.00%)
ㅎ:        0 (0.00%)

Gaundet-sori Frequency: 1
ㅏ:        1 (100.00%)
ㅐ:        0 (0.00%)
ㅑ:        0 (0.00%)
ㅒ:        0 (0.00%)
ㅓ:        0 (0.00%)
ㅔ:        0 (0.00%)
ㅕ:        0 (0.00%)
ㅖ:        0 (0.00%)
ㅗ:        0 (0.00%)
ㅘ:        0 (0.00%)
ㅙ:        0 (0.00%)
ㅚ:        0 (0.00%)
ㅛ:        0 (0.00%)
ㅜ:        0 (0.00%)
ㅝ:        0 (0.00%)
ㅞ:        0 (0.00%)
ㅟ:        0 (0.00%)
ㅠ:        0 (0.00%)
ㅡ:        0 (0.00%)
ㅢ:        0 (0.00%)
ㅣ:        0 (0.00%)

Ggeut-sori Frequency: 1
ㄱ:        0 (0.00%)
ㄲ:        0 (0.00%)
ㄳ:        0 (0.00%)
ㄴ:        1 (100.00%)
ㄵ:        0 (0.00%)
ㄶ:        0 (0.00%)
ㄷ:        0 (0.00%)
ㄹ:        0 (0.00%)
ㄺ:        0 (0.00%)
ㄻ:        0 (0.00%)
ㄼ:        0 (0.00%)
ㄽ:        0 (0.00%)
ㄾ:        0 (0.00%)
ㄿ:        0 (0.00%)
ㅀ:        0 (0.00%)
ㅁ:        0 (0.00%)
ㅂ:        0 (0.00%)
ㅄ:        0 (0.00%)
ㅅ:        0 (0.00%)
ㅆ:        0 (0.00%)
ㅇ:        0 (0.00%)
ㅈ:        0 (0.00%)
ㅊ:        0 (0.00%)
ㅋ:        0 (0.00%)
ㅌ:        0 (0.00%)
ㅍ:        0 (0.00%)
ㅎ:        0 (0.00%)

Digits: 0
 0:0  1:0  2:0  3:0  4:0  5:0  6:0  7:0  8:0  9:0 

` : 0
~ : 0
! : 0
@ : 0
# : 0
$ : 0
% : 0
^ : 0
& : 0
* : 0
( : 0
) : 0
- : 0
_ : 0
= : 0
+ : 0
[ : 0
] : 0
{ : 0
} : 0
\ : 0
| : 0
; : 0
: : 0
' : 0
" : 0
, : 0
. : 0
< : 0
> : 0
/ : 0
? : 0
)X";

TEST(JamoReport, OneSyllablePrintsEveryNamedRow) {
  TextCounts counts;
  counts.natnaeCount = 1;
  counts.initialCount[2] = 1;  // ㄱ
  counts.medialCount[3] = 1;   // ㅏ
  counts.finalCount[5] = 1;    // ㄴ
  const std::string report = jamoReport(counts);
  const std::string expectedHead = ks(kGanReport);
  ASSERT_EQ(report.substr(0, expectedHead.size()), expectedHead);

  // Then the 50 symbols in table order, zero counts included.
  const std::vector<std::string> symbols = lines(report.substr(expectedHead.size()));
  ASSERT_EQ(symbols.size(), 50u);
  EXPECT_EQ(report.back(), '\n');
  EXPECT_EQ(symbols[0], "\xA1\xA4 : 0");
  EXPECT_EQ(symbols[8], "\xA1\xD8 : 0");  // ※
  EXPECT_EQ(symbols[48], "? : 0");
  EXPECT_EQ(symbols[49], "\xA8\xCF : 0");
}

TEST(JamoReport, TotalsCountOnlyNamedJamo) {
  // 가: the final fill code is not a final consonant.
  TextCounts counts;
  counts.natnaeCount = 1;
  counts.initialCount[2] = 1;
  counts.medialCount[3] = 1;
  counts.finalCount[1] = 1;
  const std::string report = jamoReport(counts);
  EXPECT_TRUE(hasLine(report, " (Cheot-sori: 1, Gaunget-sori: 1, Ggeut-sori: 0)"));
  EXPECT_TRUE(hasLine(report, "Ggeut-sori Frequency: 0"));
  // A zero total prints 0.00 rather than a NaN.
  EXPECT_TRUE(hasLine(report, ks("ㄱ:        0 (0.00%)")));
  EXPECT_EQ(report.find("nan"), std::string::npos);

  // Fill codes, and codes 0, are never printed, whatever their counts.
  TextCounts fills;
  fills.natnaeCount = 3;
  fills.initialCount[0] = 1;
  fills.initialCount[1] = 2;
  fills.medialCount[0] = 1;
  fills.medialCount[1] = 1;
  fills.medialCount[2] = 1;
  fills.finalCount[0] = 1;
  fills.finalCount[1] = 2;
  const std::string fillReport = jamoReport(fills);
  EXPECT_TRUE(hasLine(fillReport, "Hangeul Natnae: 3"));
  EXPECT_TRUE(hasLine(fillReport, " (Cheot-sori: 0, Gaunget-sori: 0, Ggeut-sori: 0)"));
  EXPECT_EQ(fillReport, jamoReport([] {
              TextCounts c;
              c.natnaeCount = 3;
              return c;
            }()));
}

TEST(JamoReport, UnnamedCodeTheTextProducedGetsAnEmptyRow) {
  // A malformed medial code 8 next to ㅏ: its row stands between ㅓ and ㅔ,
  // outside the total.
  TextCounts counts;
  counts.natnaeCount = 2;
  counts.initialCount[2] = 2;
  counts.medialCount[3] = 1;
  counts.medialCount[8] = 1;
  counts.finalCount[1] = 2;
  const std::string report = jamoReport(counts);
  EXPECT_TRUE(hasLine(report, "Gaundet-sori Frequency: 1"));
  EXPECT_NE(report.find(ks("ㅓ:        0 (0.00%)\n:        1 (100.00%)\nㅔ:        0 (0.00%)\n")),
            std::string::npos);

  // Alone, its total is 0: still no NaN or infinity.
  TextCounts alone;
  alone.natnaeCount = 1;
  alone.medialCount[8] = 1;
  const std::string aloneReport = jamoReport(alone);
  EXPECT_TRUE(hasLine(aloneReport, ":        1 (0.00%)"));
  EXPECT_EQ(aloneReport.find("inf"), std::string::npos);

  // The final code 18 and the unassigned initial code 0 are never printed
  // unless counted; counted, 18 gets its row after ㅁ.
  TextCounts final18;
  final18.finalCount[17] = 1;
  final18.finalCount[18] = 3;
  EXPECT_NE(jamoReport(final18).find(ks("ㅁ:        1 (100.00%)\n:        3 (300.00%)\nㅂ:")),
            std::string::npos);
}

TEST(JamoReport, DigitsSignsAndSymbols) {
  // The text "12a!" as the scanner counts it.
  TextCounts counts;
  counts.digitCount = 2;
  counts.signCount[1] = 1;
  counts.signCount[2] = 1;
  counts.signCount[12] = 1;  // "!"
  const std::string report = jamoReport(counts);
  EXPECT_NE(report.find("\nDigits: 2\nSigns: 1\nEnter : 0\nSpace : 0\n\n"), std::string::npos);
  EXPECT_NE(
      report.find("\nDigits: 2\n 0:0  1:1  2:1  3:0  4:0  5:0  6:0  7:0  8:0  9:0 \n\n` : 0\n"),
      std::string::npos);
  EXPECT_TRUE(hasLine(report, "! : 1"));

  // A two-byte symbol is a sign too: ※ (row 8), and 0xDCCF under "?" (row 48).
  TextCounts symbols;
  symbols.symbolCount[8] = 2;
  symbols.symbolCount[48] = 1;
  symbols.signCount[41] = 4;  // "?"
  const std::string symbolReport = jamoReport(symbols);
  EXPECT_TRUE(hasLine(symbolReport, "Signs: 7"));
  EXPECT_TRUE(hasLine(symbolReport, "\xA1\xD8 : 2"));
  EXPECT_TRUE(hasLine(symbolReport, "? : 4"));
  EXPECT_TRUE(hasLine(symbolReport, "? : 1"));

  TextCounts lineEnds;
  lineEnds.enterCount = 3;
  lineEnds.spaceCount = 5'000'000'000;  // beyond 32 bits
  const std::string lineReport = jamoReport(lineEnds);
  EXPECT_TRUE(hasLine(lineReport, "Enter : 3"));
  EXPECT_TRUE(hasLine(lineReport, "Space : 5000000000"));
}

TEST(JamoReport, PercentagesAndWideCounts) {
  TextCounts counts;
  counts.initialCount[2] = 1;
  counts.initialCount[4] = 2;
  counts.initialCount[20] = 12'345'678'900;
  const std::string report = jamoReport(counts);
  EXPECT_TRUE(hasLine(report, "Cheot-sori Frequency: 12345678903"));
  EXPECT_TRUE(hasLine(report, ks("ㄴ:        2 (0.00%)")));
  EXPECT_TRUE(hasLine(report, ks("ㅎ:12345678900 (100.00%)")));

  TextCounts thirds;
  thirds.medialCount[3] = 1;
  thirds.medialCount[29] = 2;
  const std::string thirdsReport = jamoReport(thirds);
  EXPECT_TRUE(hasLine(thirdsReport, ks("ㅏ:        1 (33.33%)")));
  EXPECT_TRUE(hasLine(thirdsReport, ks("ㅣ:        2 (66.67%)")));
}

// --- Combination report ---------------------------------------------------

// One table as the report lays it out, with the cells given by their row
// and column labels (UTF-8) and every other cell 0.
struct Grid {
  const char* title;
  const char* corner;
  std::vector<std::string> rows;
  std::vector<std::string> columns;
  std::map<std::pair<std::string, std::string>, long long> cells;
};

std::string render(const Grid& grid) {
  std::string text = std::string(grid.title) + grid.corner;
  for (const std::string& column : grid.columns) {
    text += ' ';
    text += column;
  }
  text += "\n";
  for (const std::string& row : grid.rows) {
    text += row;
    for (const std::string& column : grid.columns) {
      auto found = grid.cells.find({row, column});
      text += ' ';
      text += std::to_string(found == grid.cells.end() ? 0 : found->second);
    }
    text += "\n";
  }
  return text + "\n";
}

using Cells = std::map<std::pair<std::string, std::string>, long long>;

Cells ksCells(std::initializer_list<std::tuple<const char*, const char*, long long>> cells) {
  Cells result;
  for (const auto& [row, column, n] : cells) result[{ks(row), ks(column)}] = n;
  return result;
}

const std::vector<std::string> kMedials =
    ksWords("ㅏ ㅐ ㅑ ㅒ ㅓ ㅔ ㅕ ㅖ ㅗ ㅘ ㅙ ㅚ ㅛ ㅜ ㅝ ㅞ ㅟ ㅠ ㅡ ㅢ ㅣ");
const std::vector<std::string> kInitials =
    ksWords("ㄱ ㄲ ㄴ ㄷ ㄸ ㄹ ㅁ ㅂ ㅃ ㅅ ㅆ ㅇ ㅈ ㅉ ㅊ ㅋ ㅌ ㅍ ㅎ");
// Final codes 2 to 29; code 18 has no jamo and an empty label.
const std::vector<std::string> kFinals = [] {
  std::vector<std::string> finals = ksWords("ㄱ ㄲ ㄳ ㄴ ㄵ ㄶ ㄷ ㄹ ㄺ ㄻ ㄼ ㄽ ㄾ ㄿ ㅀ ㅁ");
  finals.push_back("");
  for (std::string& f : ksWords("ㅂ ㅄ ㅅ ㅆ ㅇ ㅈ ㅊ ㅋ ㅌ ㅍ ㅎ")) finals.push_back(f);
  return finals;
}();
const std::vector<std::string> kConsonants =
    ksWords("ㄱ ㄴ ㄷ ㄹ ㅁ ㅂ ㅅ ㅆ ㅇ ㅈ ㅊ ㅋ ㅌ ㅍ ㅎ");
const std::vector<std::string> kVowels = ksWords("ㅏ ㅐ ㅑ ㅒ ㅓ ㅔ ㅕ ㅖ ㅗ ㅛ ㅜ ㅠ ㅡ ㅢ ㅣ");

// The seven tables with the given non-zero cells, in report order.
struct ReportCells {
  Cells cheotGaunde{};
  Cells dahHol{};
  Cells ggeutCheot{};
  Cells dah{};
  Cells dahNoOrder{};
  Cells ggeutGaunde{};
  Cells dahHolTurned{};
};

std::string expectedReport(const ReportCells& c) {
  return render({"\nCheotsori-Gaungetsori ieum\n", "**", kInitials, kMedials, c.cheotGaunde}) +
         render({"Dah-Hol sori key combination frequency\n", "+", kConsonants, kVowels, c.dahHol}) +
         render({"\nGgeutsori-Cheotsori ieum\n", "**", kFinals, kInitials, c.ggeutCheot}) +
         render({"Dahsori Key Combination Frequncy\n", "*", kConsonants, kConsonants, c.dah}) +
         render({"Dahsori key combination frequency (no order)\n", "x", kConsonants, kConsonants,
                 c.dahNoOrder}) +
         render({"Gaunde-Ggeut sori combination frequency\n", "++", kFinals, kMedials,
                 c.ggeutGaunde}) +
         render({"Hol-Dah sori key combination frequency\n", "+", kConsonants, kVowels,
                 c.dahHolTurned});
}

// The part of the report from `title` through the empty line that ends it.
std::string tableAfter(const std::string& report, const std::string& title) {
  const std::size_t start = report.find(title);
  if (start == std::string::npos) return "";
  return report.substr(start, report.find("\n\n", start) + 2 - start);
}

TEST(CombinationReport, EmptyCountsPrintAllSevenTablesWithZeros) {
  const std::string report = combinationReport(CombinationCounts{});
  EXPECT_EQ(report, expectedReport({}));
  // Per table: title (tables 1 and 3 after an extra line feed), header, one
  // line per row, empty line. Rows: 19, 15, 28, 15, 15, 28, 15.
  EXPECT_EQ(std::count(report.begin(), report.end(), '\n'),
            (1 + 22) + 18 + (1 + 31) + 18 + 18 + 31 + 18);
}

TEST(CombinationReport, DakFillsSixTablesAndTableFiveAddsBothOrders) {
  // 닭 (ㄷ ㅏ ㄺ) counted as the scan counts it.
  CombinationCounts counts;
  countCombinations(counts, 5, 3, 10, 0);
  const std::string report = combinationReport(counts);

  EXPECT_EQ(report, expectedReport({.cheotGaunde = ksCells({{"ㄷ", "ㅏ", 1}}),
                                    .dahHol = ksCells({{"ㄷ", "ㅏ", 1}}),
                                    .ggeutCheot = {},
                                    .dah = ksCells({{"ㄹ", "ㄱ", 1}}),
                                    .dahNoOrder = ksCells({{"ㄹ", "ㄱ", 1}, {"ㄱ", "ㄹ", 1}}),
                                    .ggeutGaunde = ksCells({{"ㄺ", "ㅏ", 1}}),
                                    .dahHolTurned = ksCells({{"ㄹ", "ㅏ", 1}})}));

  // The ordered consonant table in full.
  EXPECT_EQ(tableAfter(report, "Dahsori Key Combination Frequncy"),
            ks(R"(Dahsori Key Combination Frequncy
* ㄱ ㄴ ㄷ ㄹ ㅁ ㅂ ㅅ ㅆ ㅇ ㅈ ㅊ ㅋ ㅌ ㅍ ㅎ
ㄱ 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0
ㄴ 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0
ㄷ 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0
ㄹ 1 0 0 0 0 0 0 0 0 0 0 0 0 0 0
ㅁ 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0
ㅂ 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0
ㅅ 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0
ㅆ 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0
ㅇ 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0
ㅈ 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0
ㅊ 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0
ㅋ 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0
ㅌ 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0
ㅍ 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0
ㅎ 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0

)"));
}

TEST(CombinationReport, TableFiveDoesNotDoubleTheDiagonal) {
  // 막고: ㄱ then ㄱ across the two syllables.
  CombinationCounts counts;
  countCombinations(counts, 8, 3, 2, 0);
  countCombinations(counts, 2, 13, 1, 2);
  const std::string report = combinationReport(counts);
  EXPECT_EQ(tableAfter(report, "Dahsori Key Combination Frequncy"),
            render({"Dahsori Key Combination Frequncy\n", "*", kConsonants, kConsonants,
                    ksCells({{"ㄱ", "ㄱ", 1}})}));
  EXPECT_EQ(tableAfter(report, "Dahsori key combination frequency (no order)"),
            render({"Dahsori key combination frequency (no order)\n", "x", kConsonants, kConsonants,
                    ksCells({{"ㄱ", "ㄱ", 1}})}));
  EXPECT_EQ(tableAfter(report, "\nGgeutsori-Cheotsori ieum"),
            render({"\nGgeutsori-Cheotsori ieum\n", "**", kFinals, kInitials,
                    ksCells({{"ㄱ", "ㄱ", 1}})}));
}

TEST(CombinationReport, SyllableWithoutFinalShowsOnlyInTheFirstTwoTables) {
  CombinationCounts counts;
  countCombinations(counts, 2, 3, 1, 0);  // 가
  EXPECT_EQ(combinationReport(counts), expectedReport({.cheotGaunde = ksCells({{"ㄱ", "ㅏ", 1}}),
                                                       .dahHol = ksCells({{"ㄱ", "ㅏ", 1}})}));
}

TEST(CombinationReport, TurnedTablesAndUnlabelledFinalRow) {
  // Distinct values at asymmetric cells, so a table printed the wrong way
  // round shows them in the wrong places.
  CombinationCounts counts;
  counts.cheotGaundeIeum[3][14] = 2;  // ㄲ ㅘ
  counts.dahHolKeyFreq[1][9] = 3;     // ㄱ ㅗ
  counts.ggeutCheotIeum[10][13] = 4;  // ㄺ ㅇ
  counts.gaundeGgeutFreq[14][2] = 5;  // ㅘ ㄱ
  counts.gaundeGgeutFreq[3][18] = 6;  // ㅏ, final code 18
  counts.holDahKeyFreq[9][1] = 7;     // ㅗ ㄱ
  counts.dahKeyFreq[2][15] = 8;       // ㄴ ㅎ
  counts.dahKeyFreq[15][2] = 9;       // ㅎ ㄴ
  const std::string report = combinationReport(counts);
  EXPECT_EQ(report, expectedReport({.cheotGaunde = ksCells({{"ㄲ", "ㅘ", 2}}),
                                    .dahHol = ksCells({{"ㄱ", "ㅗ", 3}}),
                                    .ggeutCheot = ksCells({{"ㄺ", "ㅇ", 4}}),
                                    .dah = ksCells({{"ㄴ", "ㅎ", 8}, {"ㅎ", "ㄴ", 9}}),
                                    .dahNoOrder = ksCells({{"ㄴ", "ㅎ", 17}, {"ㅎ", "ㄴ", 17}}),
                                    .ggeutGaunde =
                                        [] {
                                          Cells cells = ksCells({{"ㄱ", "ㅘ", 5}});
                                          cells[{"", ks("ㅏ")}] = 6;
                                          return cells;
                                        }(),
                                    .dahHolTurned = ksCells({{"ㄱ", "ㅗ", 7}})}));
  // The row of final code 18 begins with the space of its first count.
  EXPECT_TRUE(hasLine(report, " 6 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0"));
}

TEST(CombinationReport, CodesAndKeysWithoutLabelsAreNeverPrinted) {
  CombinationCounts counts;
  counts.cheotGaundeIeum[1][3] = 1;  // initial fill code
  counts.cheotGaundeIeum[2][8] = 1;  // unassigned medial
  counts.cheotGaundeIeum[2][2] = 1;  // medial fill code
  counts.gaundeGgeutFreq[3][1] = 1;  // final fill code
  counts.gaundeGgeutFreq[3][0] = 1;
  counts.ggeutCheotIeum[2][1] = 1;  // initial fill code after ㄱ
  counts.dahKeyFreq[0][1] = 1;      // key 0
  counts.dahHolKeyFreq[1][0] = 1;
  counts.holDahKeyFreq[1][0] = 1;  // ㅏ before no final
  EXPECT_EQ(combinationReport(counts), expectedReport({}));
}

TEST(CombinationReport, WideCountsPrintInFull) {
  CombinationCounts counts;
  counts.dahKeyFreq[1][2] = 3'000'000'000;
  counts.dahKeyFreq[2][1] = 3'000'000'000;
  const std::string table =
      tableAfter(combinationReport(counts), "Dahsori key combination frequency (no order)");
  EXPECT_TRUE(hasLine(table, ks("ㄱ 0 6000000000 0 0 0 0 0 0 0 0 0 0 0 0 0")));
}

}  // namespace
}  // namespace kbeval
