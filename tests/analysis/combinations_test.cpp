#include "analysis/combinations.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace kbeval {
namespace {

// Consonant keys (positions in the consonant list) and vowel keys.
enum Consonant { G = 1, N, D, R, M, B, S, SS, NG, J, CH, K, T, P, H };
enum Vowel { A = 1, AE, YA, YAE, EO, E, YEO, YE, O, YO, U, YU, EU, UI, I };

struct Syllable {
  int initial;
  int medial;
  int final;
};
// Stands for any character between syllables that is not one.
constexpr Syllable kBreak{-1, -1, -1};

// Feeds syllables the way the scanner does: the final code of the syllable
// before, reset to 0 by anything that is not a syllable.
CombinationCounts countSyllables(const std::vector<Syllable>& text) {
  CombinationCounts counts;
  int previousFinal = 0;
  for (const Syllable& s : text) {
    if (s.initial < 0) {
      previousFinal = 0;
      continue;
    }
    countCombinations(counts, s.initial, s.medial, s.final, previousFinal);
    previousFinal = s.final;
  }
  return counts;
}

template <typename Table>
void listCells(const char* name, const Table& table, std::vector<std::string>& cells) {
  for (std::size_t r = 0; r < table.size(); ++r) {
    for (std::size_t k = 0; k < table[r].size(); ++k) {
      if (table[r][k] != 0) {
        cells.push_back(std::string(name) + "[" + std::to_string(r) + "][" + std::to_string(k) +
                        "]=" + std::to_string(table[r][k]));
      }
    }
  }
}

// Every non-zero counter, so a test sees stray counts as well as missing ones.
std::vector<std::string> nonZero(const CombinationCounts& c) {
  std::vector<std::string> cells;
  listCells("cheotGaunde", c.cheotGaundeIeum, cells);
  listCells("gaundeGgeut", c.gaundeGgeutFreq, cells);
  listCells("ggeutCheot", c.ggeutCheotIeum, cells);
  listCells("dah", c.dahKeyFreq, cells);
  listCells("dahHol", c.dahHolKeyFreq, cells);
  listCells("holDah", c.holDahKeyFreq, cells);
  std::sort(cells.begin(), cells.end());
  return cells;
}

std::string cell(const char* name, int r, int k, int n = 1) {
  return std::string(name) + "[" + std::to_string(r) + "][" + std::to_string(k) +
         "]=" + std::to_string(n);
}

std::vector<std::string> sorted(std::vector<std::string> cells) {
  std::sort(cells.begin(), cells.end());
  return cells;
}

TEST(CountCombinations, SyllableWithoutFinalCountsAgainstTheFillCode) {
  // 가 (2, 3, 1)
  EXPECT_EQ(nonZero(countSyllables({{2, 3, 1}})),
            sorted({cell("cheotGaunde", 2, 3), cell("dahHol", G, A), cell("gaundeGgeut", 3, 1),
                    cell("holDah", A, 0)}));
}

TEST(CountCombinations, DoubleInitialAndCompoundVowelAddNoInnerPairs) {
  // 꽈 (3, 14, 1): ㄲ counts as ㄱ, ㅘ begins with ㅗ and ends with ㅏ.
  EXPECT_EQ(nonZero(countSyllables({{3, 14, 1}})),
            sorted({cell("cheotGaunde", 3, 14), cell("dahHol", G, O), cell("gaundeGgeut", 14, 1),
                    cell("holDah", A, 0)}));
}

TEST(CountCombinations, CompoundFinalAddsItsInnerPair) {
  // 닭 (5, 3, 10)
  const std::vector<std::string> dak = {cell("cheotGaunde", 5, 3), cell("dahHol", D, A),
                                        cell("gaundeGgeut", 3, 10), cell("holDah", A, R),
                                        cell("dah", R, G)};
  EXPECT_EQ(nonZero(countSyllables({{5, 3, 10}})), sorted(dak));

  // 값 (2, 3, 20): ㅄ is ㅂ then ㅅ.
  EXPECT_EQ(nonZero(countSyllables({{2, 3, 20}})),
            sorted({cell("cheotGaunde", 2, 3), cell("dahHol", G, A), cell("gaundeGgeut", 3, 20),
                    cell("holDah", A, B), cell("dah", B, S)}));
}

TEST(CountCombinations, FinalTouchingTheNextInitialIsAJunction) {
  // 닭이: 이 (13, 29, 1) follows ㄺ, which ends with ㄱ.
  std::vector<std::string> expected = {
      cell("cheotGaunde", 5, 3),  cell("dahHol", D, A),       cell("gaundeGgeut", 3, 10),
      cell("holDah", A, R),       cell("dah", R, G),          cell("cheotGaunde", 13, 29),
      cell("dahHol", NG, I),      cell("gaundeGgeut", 29, 1), cell("holDah", I, 0),
      cell("ggeutCheot", 10, 13), cell("dah", G, NG)};
  EXPECT_EQ(nonZero(countSyllables({{5, 3, 10}, {13, 29, 1}})), sorted(expected));

  // 닭 이: the space breaks the junction, and only the junction.
  expected.resize(expected.size() - 2);
  EXPECT_EQ(nonZero(countSyllables({{5, 3, 10}, kBreak, {13, 29, 1}})), sorted(expected));
}

TEST(CountCombinations, SsangSiotStaysItsOwnKey) {
  // 있다: 있 (13, 29, 22), 다 (5, 3, 1)
  EXPECT_EQ(nonZero(countSyllables({{13, 29, 22}, {5, 3, 1}})),
            sorted({cell("cheotGaunde", 13, 29), cell("dahHol", NG, I), cell("gaundeGgeut", 29, 22),
                    cell("holDah", I, SS), cell("cheotGaunde", 5, 3), cell("dahHol", D, A),
                    cell("gaundeGgeut", 3, 1), cell("holDah", A, 0), cell("dah", SS, D),
                    cell("ggeutCheot", 22, 5)}));
}

TEST(CountCombinations, DoubleFinalHasNoInnerPairButEndsWithItsConsonant) {
  // 밖에: 밖 (9, 3, 3), 에 (13, 10, 1)
  EXPECT_EQ(nonZero(countSyllables({{9, 3, 3}, {13, 10, 1}})),
            sorted({cell("cheotGaunde", 9, 3), cell("dahHol", B, A), cell("gaundeGgeut", 3, 3),
                    cell("holDah", A, G), cell("cheotGaunde", 13, 10), cell("dahHol", NG, E),
                    cell("gaundeGgeut", 10, 1), cell("holDah", E, 0), cell("dah", G, NG),
                    cell("ggeutCheot", 3, 13)}));
}

TEST(CountCombinations, CompoundVowelsUseFirstKeyBeforeAndLastKeyAfter) {
  // 왼 (13, 18, 5): ㅚ is ㅗ then ㅣ.
  EXPECT_EQ(nonZero(countSyllables({{13, 18, 5}})),
            sorted({cell("cheotGaunde", 13, 18), cell("dahHol", NG, O), cell("gaundeGgeut", 18, 5),
                    cell("holDah", I, N)}));
  // 윗 (13, 23, 21): ㅟ is ㅜ then ㅣ.
  EXPECT_EQ(nonZero(countSyllables({{13, 23, 21}})),
            sorted({cell("cheotGaunde", 13, 23), cell("dahHol", NG, U), cell("gaundeGgeut", 23, 21),
                    cell("holDah", I, S)}));
  // 의 (13, 28, 1): ㅢ is a key of its own, not ㅡ then ㅣ.
  EXPECT_EQ(nonZero(countSyllables({{13, 28, 1}})),
            sorted({cell("cheotGaunde", 13, 28), cell("dahHol", NG, UI), cell("gaundeGgeut", 28, 1),
                    cell("holDah", UI, 0)}));
}

TEST(CountCombinations, SameKeyAcrossSyllablesIsCountedOnce) {
  // 막고: 막 (8, 3, 2), 고 (2, 13, 1)
  const CombinationCounts counts = countSyllables({{8, 3, 2}, {2, 13, 1}});
  EXPECT_EQ(counts.dahKeyFreq[G][G], 1);
  EXPECT_EQ(counts.ggeutCheotIeum[2][2], 1);
  // 없어: ㅄ gives its inner pair and then meets ㅇ with its last key.
  const CombinationCounts eopseo = countSyllables({{13, 7, 20}, {13, 7, 1}});
  EXPECT_EQ(eopseo.dahKeyFreq[B][S], 1);
  EXPECT_EQ(eopseo.dahKeyFreq[S][NG], 1);
  EXPECT_EQ(eopseo.ggeutCheotIeum[20][13], 1);
}

TEST(CountCombinations, NoJunctionWithoutARealPreviousFinal) {
  // First syllable of the text, then one after a syllable without final.
  const CombinationCounts counts = countSyllables({{2, 3, 1}, {2, 3, 1}});
  for (const auto& row : counts.ggeutCheotIeum) {
    for (Count n : row) EXPECT_EQ(n, 0);
  }
  for (const auto& row : counts.dahKeyFreq) {
    for (Count n : row) EXPECT_EQ(n, 0);
  }
  // Final code 18 names no consonant, so it touches nothing either.
  EXPECT_EQ(
      nonZero(countSyllables({{2, 3, 18}, {2, 3, 1}})),
      sorted({cell("cheotGaunde", 2, 3, 2), cell("dahHol", G, A, 2), cell("gaundeGgeut", 3, 18),
              cell("gaundeGgeut", 3, 1), cell("holDah", A, 0, 2)}));
}

TEST(CountCombinations, FillAndUnassignedCodesCountOnlyWhereTheRulesSay) {
  // ㄱ final before an initial fill code: the junction table counts it, the
  // key table has no key to count.
  EXPECT_EQ(nonZero(countSyllables({{8, 3, 2}, {1, 3, 1}})),
            sorted({cell("cheotGaunde", 8, 3), cell("dahHol", M, A), cell("gaundeGgeut", 3, 2),
                    cell("holDah", A, G), cell("cheotGaunde", 1, 3), cell("dahHol", 0, A),
                    cell("gaundeGgeut", 3, 1), cell("holDah", A, 0), cell("ggeutCheot", 2, 1)}));
  // Medial 0 and final 0 skip their steps; the unassigned medial 8 has key 0.
  EXPECT_EQ(nonZero(countSyllables({{2, 0, 0}})), std::vector<std::string>{});
  EXPECT_EQ(nonZero(countSyllables({{2, 8, 2}})),
            sorted({cell("cheotGaunde", 2, 8), cell("dahHol", G, 0), cell("gaundeGgeut", 8, 2),
                    cell("holDah", 0, G)}));
}

template <typename Table>
Count sum(const Table& table) {
  Count total = 0;
  for (const auto& row : table) {
    for (Count n : row) total += n;
  }
  return total;
}

// Every code triple the scanner can pass, after every previous final code:
// indexes stay in their tables (run under ASan/UBSan) and each step fires
// exactly as often as its condition holds.
TEST(CountCombinations, EveryValidCodeCombinationStaysInBounds) {
  CombinationCounts counts;
  for (int p = 0; p < kFinalCodes; ++p) {
    for (int i = 0; i < kInitialCodes; ++i) {
      for (int m = 0; m < kMedialCodes; ++m) {
        for (int f = 0; f < kFinalCodes; ++f) countCombinations(counts, i, m, f, p);
      }
    }
  }
  const Count perPrevious = Count{kInitialCodes} * kMedialCodes * kFinalCodes;
  const Count calls = perPrevious * kFinalCodes;
  EXPECT_EQ(sum(counts.cheotGaundeIeum), calls / kMedialCodes * (kMedialCodes - 1));
  EXPECT_EQ(sum(counts.dahHolKeyFreq), calls / kMedialCodes * (kMedialCodes - 1));
  EXPECT_EQ(sum(counts.gaundeGgeutFreq), calls / kFinalCodes * (kFinalCodes - 1));
  EXPECT_EQ(sum(counts.holDahKeyFreq), calls / kFinalCodes * (kFinalCodes - 1));
  // 27 previous finals name a consonant (not 0, 1 or 18).
  EXPECT_EQ(sum(counts.ggeutCheotIeum), perPrevious * 27);
  for (Count n : counts.ggeutCheotIeum[18]) EXPECT_EQ(n, 0);
  for (Count n : counts.ggeutCheotIeum[1]) EXPECT_EQ(n, 0);
}

TEST(CountCombinations, CodesOutsideTheTablesAreIgnored) {
  CombinationCounts counts;
  countCombinations(counts, 21, 3, 1, 0);
  countCombinations(counts, 2, 30, 1, 0);
  countCombinations(counts, 2, 3, 31, 0);
  countCombinations(counts, 2, 3, 1, 30);
  countCombinations(counts, -1, 3, 1, 0);
  EXPECT_EQ(nonZero(counts), std::vector<std::string>{});
}

}  // namespace
}  // namespace kbeval
