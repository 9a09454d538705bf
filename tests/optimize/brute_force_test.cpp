// The search against brute force: on a layout small enough that every
// arrangement its move set reaches can be scored one by one, the search
// must end on the best score from any seed, in both move modes, and
// kbeval-optimize --show=N must list the best scores the restarts reached,
// distinct and best first, and never the start layout when something beats it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/hangul_text.h"
#include "keystrokes/board.h"
#include "keystrokes/key_table.h"
#include "layouts/layout_loader.h"
#include "optimize/layout_objective.h"
#include "optimize/layout_search.h"
#include "optimize/permutation_score.h"
#include "optimize/sample_passes.h"
#include "temp_directory.h"

namespace kbeval {
namespace {

using testing::johab;
using testing::TempDirectory;

// A 3-set layout of six jamo, all on left-hand letter keys: initials ㄱ q and
// ㄴ w, medials ㅏ a and ㅓ s, finals ㄱ z and ㄴ X (shifted x), and the sign
// "?" on c. In jamo mode the six key levels are the units; moving whole keys,
// the keys q w a s z x are (c types no jamo). Either way one hand, no number
// row: 6! = 720 arrangements, all reachable by swaps.
const char* const kTinyLayout =
    "set type:3\n"
    "1\t\xA4\xA1\tq\n1\t\xA4\xA4\tw\n"
    "2\t\xA4\xBF\ta\n2\t\xA4\xC3\ts\n"
    "3\t\xA4\xA1\tz\n3\t\xA4\xA4\tX\n"
    "4\t?\tc\n";

// Johab codes: initials ㄱ 2, ㄴ 4; medials ㅏ 3, ㅓ 7; finals none 1, ㄱ 2, ㄴ 5.
std::string tinyText() {
  std::mt19937 random(11);
  std::string text;
  const int initials[] = {2, 4}, medials[] = {3, 7}, finals[] = {1, 2, 5};
  for (int i = 0; i < 60; ++i) {
    text += johab(initials[random() % 2], medials[random() % 2], finals[random() % 3]);
    if (random() % 4 == 0) text += random() % 3 == 0 ? "?\n" : " ";
  }
  return text;
}

struct Tiny {
  TempDirectory directory;
  LayoutRecord start;
  KeyTable keys{};
  SymbolCounts symbols;
  ObjectiveBoard board;  // the default board's, as kbeval-optimize scores on it
};

// Reads layout file `name` of the tiny directory and counts how it types the text.
void readAndCount(const Tiny& tiny, const std::string& name, LayoutRecord& layout, KeyTable& keys,
                  SymbolCounts& symbols) {
  std::string error;
  layout.fileName = name;
  ASSERT_TRUE(readLayoutFile((tiny.directory.path() / name).string(), layout, error)) << error;
  setupKeyTable(layout, keys);
  ASSERT_TRUE(countSymbols((tiny.directory.path() / "text.txt").string(), SampleEncoding::johab,
                           layout, quoteStandIns(layout, keys), symbols, error))
      << error;
}

void makeBoard(Tiny& tiny) {
  std::string error;
  ASSERT_TRUE(makeObjectiveBoard(ansiBoard(), tiny.keys, tiny.board, error)) << error;
}

void setUp(Tiny& tiny) {
  tiny.directory.write("tiny.txt", kTinyLayout);
  tiny.directory.write("text.txt", tinyText());
  readAndCount(tiny, "tiny.txt", tiny.start, tiny.keys, tiny.symbols);
  makeBoard(tiny);
}

double scoreOf(const Tiny& tiny, const KeyPermutation& sigma) {
  return objectiveScore(permutedObjectiveCounts(tiny.keys, tiny.symbols, sigma, &tiny.board),
                        kDefaultWeights);
}

// The score of a layout file of the tiny directory, as the layout itself types the text.
double scoreOfFile(const Tiny& tiny, const std::string& name) {
  Tiny other;
  readAndCount(tiny, name, other.start, other.keys, other.symbols);
  makeBoard(other);
  return scoreOf(other, identityPermutation());
}

// Units are given by their bytes, one per level, as the layout file writes them.
using Units = std::vector<std::string>;
const Units kJamoUnits = {"q", "w", "a", "s", "z", "X"};
const Units kKeyUnits = {"qQ", "wW", "aA", "sS", "zZ", "xX"};

// The arrangement p of the units: what unit i typed, unit p[i] types.
KeyPermutation arrangement(const Units& units, const std::vector<int>& p) {
  KeyPermutation sigma = identityPermutation();
  for (std::size_t i = 0; i < p.size(); ++i) {
    for (std::size_t level = 0; level < units[i].size(); ++level) {
      sigma[static_cast<unsigned char>(units[i][level])] =
          static_cast<unsigned char>(units[p[i]][level]);
    }
  }
  return sigma;
}

// The arrangement whose permutation is sigma: unit i's first byte now types
// unit p[i]'s.
std::vector<int> arrangementOf(const Units& units, const KeyPermutation& sigma) {
  std::vector<int> p(units.size(), -1);
  for (std::size_t i = 0; i < units.size(); ++i) {
    const unsigned char now = sigma[static_cast<unsigned char>(units[i][0])];
    for (std::size_t j = 0; j < units.size(); ++j) {
      if (static_cast<unsigned char>(units[j][0]) == now) p[i] = static_cast<int>(j);
    }
  }
  return p;
}

// The tiny layout file with arrangement p made: each jamo line names the key
// byte that types it now.
std::string arrangedLayout(const Units& units, const std::vector<int>& p) {
  std::string text = kTinyLayout;
  const KeyPermutation sigma = arrangement(units, p);
  for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1)) {
    if (text[at - 2] == '\t')
      text[at - 1] = static_cast<char>(sigma[static_cast<unsigned char>(text[at - 1])]);
  }
  return text;
}

// Every arrangement of the units, scored one by one.
struct Enumerated {
  int arrangements = 0;
  double best = 0;
  std::vector<int> bestArrangement;
};

Enumerated enumerate(const Tiny& tiny, const Units& units) {
  Enumerated e;
  std::vector<int> p(units.size());
  std::iota(p.begin(), p.end(), 0);
  e.best = scoreOf(tiny, identityPermutation());
  e.bestArrangement = p;
  do {
    const double score = scoreOf(tiny, arrangement(units, p));
    if (score < e.best) {
      e.best = score;
      e.bestArrangement = p;
    }
    ++e.arrangements;
  } while (std::next_permutation(p.begin(), p.end()));
  return e;
}

TEST(BruteForce, SearchFindsTheBestArrangementFromEverySeed) {
  Tiny tiny;
  setUp(tiny);
  struct Mode {
    const char* what;
    bool moveKeys;
    const Units& units;
  };
  const Mode modes[] = {{"jamo", false, kJamoUnits}, {"keys", true, kKeyUnits}};
  for (const Mode& mode : modes) {
    SCOPED_TRACE(mode.what);
    KeyMoveOptions options;
    options.moveKeys = mode.moveKeys;
    KeyMoveSet moves;
    std::string error;
    ASSERT_TRUE(makeKeyMoveSet(tiny.start, tiny.keys, options, moves, error)) << error;
    std::multiset<std::string> units;
    for (const auto& unit : moves.units) {
      std::string bytes(1, static_cast<char>(unit[0]));
      if (unit[1] != 0) bytes += static_cast<char>(unit[1]);
      units.insert(bytes);
    }
    EXPECT_EQ(units, std::multiset<std::string>(mode.units.begin(), mode.units.end()));
    EXPECT_EQ(moves.swaps.size(), 15u);  // every pair of the six

    const Enumerated all = enumerate(tiny, mode.units);
    EXPECT_EQ(all.arrangements, 720);
    ASSERT_LT(all.best, scoreOf(tiny, identityPermutation()));  // the case is worth searching

    PermutationScorer scorer;
    ASSERT_TRUE(makePermutationScorer(tiny.keys, &tiny.board, tiny.symbols, moves, kDefaultWeights,
                                      scorer, error))
        << error;
    // Annealing is a heuristic: a single restart may end in the basin of a
    // near-best arrangement, but never where one swap would still lower the
    // score. The best of a few restarts is the best there is.
    for (const std::uint64_t seed : {1, 2, 3, 5, 8, 13, 21, 1234567}) {
      SCOPED_TRACE("seed " + std::to_string(seed));
      SearchSettings settings;
      settings.seed = seed;
      settings.iterations = 2000;
      settings.restarts = 6;
      const std::vector<RestartResult> results = searchLayouts(scorer, settings);
      ASSERT_EQ(results.size(), 6u);
      double bestFound = results[0].score;
      for (const RestartResult& r : results) {
        const double score = scoreOf(tiny, r.permutation);
        EXPECT_DOUBLE_EQ(r.score, score) << "restart " << r.restart;
        EXPECT_EQ(r.counts,
                  permutedObjectiveCounts(tiny.keys, tiny.symbols, r.permutation, &tiny.board));
        bestFound = std::min(bestFound, r.score);
        const std::vector<int> p = arrangementOf(mode.units, r.permutation);
        for (std::size_t i = 0; i < p.size(); ++i) {
          for (std::size_t j = i + 1; j < p.size(); ++j) {
            std::vector<int> swapped = p;
            std::swap(swapped[i], swapped[j]);
            EXPECT_GE(scoreOf(tiny, arrangement(mode.units, swapped)), r.score - 1e-12)
                << "restart " << r.restart << " is improved by swapping units " << i << ", " << j;
          }
        }
      }
      EXPECT_DOUBLE_EQ(bestFound, all.best);
    }
    // The random start's length: eight swaps per slot unless set.
    SearchSettings byDefault;
    byDefault.iterations = 200;
    SearchSettings eightPerSlot = byDefault, none = byDefault, many = byDefault;
    eightPerSlot.shuffleSwaps = 8 * scorer.slots;
    none.shuffleSwaps = 0;
    many.shuffleSwaps = 100000;
    const RestartResult usual = searchOnce(scorer, byDefault, 0);
    const RestartResult same = searchOnce(scorer, eightPerSlot, 0);
    EXPECT_EQ(usual.permutation, same.permutation);
    EXPECT_EQ(usual.candidates, same.candidates);
    EXPECT_LT(searchOnce(scorer, none, 0).candidates, 100000);
    EXPECT_GT(searchOnce(scorer, many, 0).candidates, 100000);
  }
}

// The score table of kbeval-optimize's report: the rows' names and scores.
std::vector<std::pair<std::string, std::string>> scoreRows(const std::string& report) {
  std::vector<std::pair<std::string, std::string>> rows;
  std::istringstream lines(report);
  std::string line;
  bool inTable = false;
  while (std::getline(lines, line)) {
    if (!inTable) {
      inTable = line.rfind("layout ", 0) == 0 && line.find(" score ") != std::string::npos;
      continue;
    }
    std::istringstream fields(line);
    std::string name, score;
    if (!(fields >> name >> score) || (name != "start" && name.rfind("best-", 0) != 0)) break;
    rows.emplace_back(name, score);
  }
  return rows;
}

std::string sixDecimals(double score) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6f", score);
  return text;
}

testing::Outcome optimizeTiny(const Tiny& tiny, const std::vector<std::string>& extra) {
  std::vector<std::string> arguments = {"--quiet", "--start=tiny.txt", "--output=best.txt"};
  arguments.insert(arguments.end(), extra.begin(), extra.end());
  arguments.push_back("text.txt");
  return testing::runProgram(tiny.directory, KBEVAL_OPTIMIZE_BINARY, arguments);
}

TEST(BruteForce, ShowListsDistinctScoresBestFirstAndNeverTheStart) {
  Tiny tiny;
  setUp(tiny);
  // One annealing step and many restarts end on several local optima.
  const std::vector<std::string> spread = {"--iterations=1", "--restarts=40", "--seed=3"};
  std::vector<std::string> all = spread;
  all.push_back("--show=100");
  const testing::Outcome everything = optimizeTiny(tiny, all);
  ASSERT_EQ(everything.exitStatus, 0) << everything.errors;
  const auto listed = scoreRows(everything.output);
  ASSERT_GE(listed.size(), 3u) << everything.output;  // start and at least two
  EXPECT_EQ(listed[0].first, "start");
  EXPECT_EQ(listed[0].second, sixDecimals(scoreOf(tiny, identityPermutation())));
  EXPECT_EQ(listed[1].second, sixDecimals(enumerate(tiny, kJamoUnits).best));
  const double startScore = std::strtod(listed[0].second.c_str(), nullptr);
  for (std::size_t i = 1; i < listed.size(); ++i) {
    EXPECT_EQ(listed[i].first, "best-" + std::to_string(i));
    const double score = std::strtod(listed[i].second.c_str(), nullptr);
    EXPECT_LT(score, startScore) << listed[i].first;
    if (i > 1) {
      EXPECT_GT(score, std::strtod(listed[i - 1].second.c_str(), nullptr)) << listed[i].first;
    }
  }
  const std::size_t found = listed.size() - 1;
  for (std::size_t n = 1; n <= found + 1; ++n) {
    SCOPED_TRACE("--show=" + std::to_string(n));
    std::vector<std::string> arguments = spread;
    arguments.push_back("--show=" + std::to_string(n));
    const testing::Outcome outcome = optimizeTiny(tiny, arguments);
    ASSERT_EQ(outcome.exitStatus, 0) << outcome.errors;
    const auto rows = scoreRows(outcome.output);
    ASSERT_EQ(rows.size(), std::min(n, found) + 1) << outcome.output;
    for (std::size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i], listed[i]);
    // The layout written is the best one, as it types the text itself.
    EXPECT_EQ(sixDecimals(scoreOfFile(tiny, "best.txt")), listed[1].second);
  }
}

// A start that nothing beats, the best arrangement of all: every restart
// ends on its score, and it is the one layout listed besides the start.
TEST(BruteForce, ShowListsTheStartScoreOnlyWhenNothingBeatsIt) {
  Tiny tiny;
  setUp(tiny);
  const Enumerated all = enumerate(tiny, kJamoUnits);
  tiny.directory.write("tiny.txt", arrangedLayout(kJamoUnits, all.bestArrangement));
  EXPECT_DOUBLE_EQ(scoreOfFile(tiny, "tiny.txt"), all.best);
  const testing::Outcome outcome =
      optimizeTiny(tiny, {"--iterations=400", "--restarts=3", "--show=5"});
  ASSERT_EQ(outcome.exitStatus, 0) << outcome.errors;
  const auto rows = scoreRows(outcome.output);
  ASSERT_EQ(rows.size(), 2u) << outcome.output;
  EXPECT_EQ(rows[0], std::make_pair(std::string("start"), sixDecimals(all.best)));
  EXPECT_EQ(rows[1], std::make_pair(std::string("best-1"), sixDecimals(all.best)));
  EXPECT_NE(outcome.output.find("\nbest-1       none (3)\n"), std::string::npos) << outcome.output;
}

}  // namespace
}  // namespace kbeval
