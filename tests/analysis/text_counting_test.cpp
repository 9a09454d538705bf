// The text counts and combination counts as the scan produces them from
// Johab bytes, whole and in pieces, and for arbitrary bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "analysis/combinations.h"
#include "analysis/hangul_text.h"
#include "analysis/scanner.h"
#include "analysis/text_reports.h"

namespace kbeval {
namespace {

using testing::capture;
using testing::johab;
using testing::ks;

// Heap-held: the combination tables are a few kilobytes each.
struct Scanned {
  TextCounts text;
  std::unique_ptr<CombinationCounts> combinations = std::make_unique<CombinationCounts>();
};

// Scans `bytes` cut at the given offsets (ascending), with no layout.
Scanned scan(const std::string& bytes, const std::vector<std::size_t>& cuts = {}) {
  Scanned result;
  ScanState state;
  auto tally = std::make_unique<ScanTally>();
  CharacterPiece characters;
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  std::size_t start = 0;
  for (std::size_t cut : cuts) {
    scanText(state, data + start, cut - start, *tally, characters);
    start = cut;
  }
  scanText(state, data + start, bytes.size() - start, *tally, characters);
  result.text = textCounts(*tally);
  countTalliedCombinations(*tally, *result.combinations);
  return result;
}

const std::string kDak = johab(5, 3, 10);  // 닭
const std::string kI = johab(13, 29, 1);   // 이

TEST(TextCounting, AdjacentSyllablesMeetAndAnythingBetweenThemBreaksTheJunction) {
  const Scanned together = scan(kDak + kI);
  EXPECT_EQ(together.text.natnaeCount, 2);
  EXPECT_EQ(together.combinations->ggeutCheotIeum[10][13], 1);
  EXPECT_EQ(together.combinations->dahKeyFreq[1][9], 1);  // ㄱ ㅇ
  EXPECT_EQ(together.combinations->dahKeyFreq[4][1], 1);  // ㄹ ㄱ inside ㄺ

  // A space, line feed, sign, letter, symbol, or a two-byte code that is no
  // syllable: each leaves the two syllables' own counts and drops the junction.
  const std::string breaks[] = {" ", "\n", "!", "a", "\xD9\x68", "\xE0\xA1", "\x88\x5E"};
  for (const std::string& between : breaks) {
    const Scanned apart = scan(kDak + between + kI);
    EXPECT_EQ(apart.text.natnaeCount, 2) << between;
    EXPECT_EQ(apart.combinations->ggeutCheotIeum[10][13], 0) << between;
    EXPECT_EQ(apart.combinations->dahKeyFreq[1][9], 0) << between;
    EXPECT_EQ(apart.combinations->dahKeyFreq[4][1], 1) << between;
  }
}

TEST(TextCounting, JunctionCrossesPieceBoundaries) {
  // 닭이 있다 밖에: junctions inside words only.
  const std::string text = kDak + kI + " " + johab(13, 29, 22) + johab(5, 3, 1) + "\n" +
                           johab(9, 3, 3) + johab(13, 10, 1);
  const Scanned whole = scan(text);
  EXPECT_EQ(whole.combinations->ggeutCheotIeum[10][13], 1);
  EXPECT_EQ(whole.combinations->ggeutCheotIeum[22][5], 1);
  EXPECT_EQ(whole.combinations->ggeutCheotIeum[3][13], 1);
  EXPECT_EQ(whole.combinations->dahKeyFreq[1][9], 2);  // ㄺ-ㅇ and ㄲ-ㅇ
  for (std::size_t first = 0; first <= text.size(); ++first) {
    for (std::size_t second = first; second <= text.size(); ++second) {
      const Scanned pieces = scan(text, {first, second});
      ASSERT_EQ(pieces.text, whole.text) << first << " " << second;
      ASSERT_EQ(*pieces.combinations, *whole.combinations) << first << " " << second;
    }
  }
}

TEST(TextCounting, ScannedTextPrintsItsCounts) {
  // "12a!" then 간 and a syllable with a malformed medial code 8.
  const Scanned scanned = scan("12a!" + johab(2, 3, 5) + johab(2, 8, 1));
  const std::string report = capture([&](std::FILE* out) { printJamoReport(scanned.text, out); });
  EXPECT_NE(report.find("\nHangeul Natnae: 2\n (Cheot-sori: 2, Gaunget-sori: 1, Ggeut-sori: 1)\n"
                        "\nDigits: 2\nSigns: 1\n"),
            std::string::npos);
  EXPECT_NE(report.find("\n 0:0  1:1  2:1  3:0  4:0  5:0  6:0  7:0  8:0  9:0 \n\n"),
            std::string::npos);
  EXPECT_NE(report.find("\n! : 1\n"), std::string::npos);
  EXPECT_NE(report.find(ks("\nㅓ:        0 (0.00%)\n:        1 (100.00%)\nㅔ:")),
            std::string::npos);
}

// Random bytes as a sample: nothing crashes or leaves its table (run under
// ASan/UBSan), the counts agree with each other, and pieces change nothing.
TEST(TextCounting, RandomBytesKeepEveryCountInItsTable) {
  std::mt19937 rng(20240607);
  for (int round = 0; round < 200; ++round) {
    std::string bytes(1 + rng() % 600, '\0');
    for (char& c : bytes) {
      // Mostly non-zero so the scan goes on; high bytes are frequent.
      c = static_cast<char>(rng() % 8 == 0 ? 0x80 + rng() % 0x54 : 1 + rng() % 255);
    }
    const Scanned whole = scan(bytes);
    const TextCounts& t = whole.text;
    Count initials = 0, medials = 0, finals = 0, cheotGaunde = 0, gaundeGgeut = 0;
    for (Count n : t.initialCount) initials += n;
    for (Count n : t.medialCount) medials += n;
    for (Count n : t.finalCount) finals += n;
    for (const auto& row : whole.combinations->cheotGaundeIeum) {
      for (Count n : row) cheotGaunde += n;
    }
    for (const auto& row : whole.combinations->gaundeGgeutFreq) {
      for (Count n : row) gaundeGgeut += n;
    }
    ASSERT_EQ(initials, t.natnaeCount);
    ASSERT_EQ(medials, t.natnaeCount);
    ASSERT_EQ(finals, t.natnaeCount);
    ASSERT_EQ(cheotGaunde, t.natnaeCount - t.medialCount[0]);
    ASSERT_EQ(gaundeGgeut, t.natnaeCount - t.finalCount[0]);

    std::vector<std::size_t> cuts;
    for (std::size_t at = rng() % 7; at < bytes.size(); at += 1 + rng() % 40) {
      cuts.push_back(at);
    }
    const Scanned pieces = scan(bytes, cuts);
    ASSERT_EQ(pieces.text, whole.text) << "round " << round;
    ASSERT_EQ(*pieces.combinations, *whole.combinations) << "round " << round;

    const std::string jamo = capture([&](std::FILE* out) { printJamoReport(t, out); });
    ASSERT_EQ(jamo.find("nan"), std::string::npos);
    ASSERT_EQ(jamo.find("inf"), std::string::npos);
    const std::string tables =
        capture([&](std::FILE* out) { printCombinationReport(*whole.combinations, out); });
    ASSERT_EQ(std::count(tables.begin(), tables.end(), '\n'), 158);
  }
}

}  // namespace
}  // namespace kbeval
