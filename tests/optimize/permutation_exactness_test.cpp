// The fact the optimiser rests on: a layout whose keys are permuted counts,
// from the start layout's pair and skip-pair counts, exactly what the
// permuted layout counts when its file is written, read back and typed on the
// text in full. Random layouts, random move sets, random walks of swaps and
// random texts; the search's own counts must agree too.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "analysis/hangul_text.h"
#include "analysis/scanner.h"
#include "keystrokes/key_table.h"
#include "keystrokes/reference_evaluation.h"
#include "layouts/layout_loader.h"
#include "layouts/layout_writer.h"
#include "optimize/layout_search.h"
#include "optimize/permutation_score.h"
#include "optimize/sample_passes.h"
#include "optimize/skip_pairs.h"
#include "temp_directory.h"
#include "text/text_mode.h"

namespace kbeval {
namespace {

using testing::johab;
using testing::TempDirectory;

// Key bytes a random layout draws from: mostly keys, and now and then the
// bytes that never move (space, tab, the marker, bytes without key data, a
// carriage return) and the quote keys the typographic quotes share.
std::string randomKeys(std::mt19937& random) {
  static const std::string common = "qwertyuiopasdfghjklzxcvbnmQWERTOP1234567890;',./[]-=!@#$%";
  static const std::string rare = " \t\x18\x7f\x80\xfe\r'\"`~\\|";
  std::string keys;
  const int length = 1 + static_cast<int>(random() % 3);
  for (int i = 0; i < length; ++i) {
    const std::string& pool = random() % 8 == 0 ? rare : common;
    keys += pool[random() % pool.size()];
  }
  return keys;
}

template <std::size_t N>
void fill(std::mt19937& random, std::array<std::string, N>& table, int percent) {
  for (std::string& keys : table) {
    if (static_cast<int>(random() % 100) < percent) keys = randomKeys(random);
  }
}

template <std::size_t N>
void clearUnnamed(const std::array<std::string_view, N>& names, std::array<std::string, N>& keys) {
  for (std::size_t i = 0; i < N; ++i) {
    if (names[i].size() != 2 || findName(names, names[i]) != static_cast<int>(i)) keys[i].clear();
  }
}

LayoutRecord randomLayout(std::mt19937& random) {
  LayoutRecord layout;
  layout.fileName = "random.txt";
  layout.setType = 2 + static_cast<int>(random() % 2);
  static const char* fingerings[] = {"Qwerty", "Pyojun", "Gong", "Gong3", "Unknown"};
  layout.fingering = fingerings[random() % 5];
  fill(random, layout.initialKeys, 90);
  fill(random, layout.medialKeys, 90);
  fill(random, layout.finalKeys, 70);
  fill(random, layout.signKeys, 60);
  fill(random, layout.symbolKeys, 40);
  // The typographic quotes, typed as the plain quote keys, are what the
  // stand-ins are for: give them keys most of the time.
  for (int k = 0; k < kSymbolCount; ++k) {
    const auto name = SymbolNames[k];
    if ((name == "\xA1\xAE" || name == "\xA1\xB0") && random() % 4 != 0) {
      layout.symbolKeys[k] = randomKeys(random);
    }
  }
  // No layout file gives a key to a nameless entry (a fill code), to the
  // second of two entries of one name, or to a symbol named by one byte (a sign's name).
  clearUnnamed(InitialNames, layout.initialKeys);
  clearUnnamed(MedialNames, layout.medialKeys);
  clearUnnamed(FinalNames, layout.finalKeys);
  clearUnnamed(SymbolNames, layout.symbolKeys);
  return layout;
}

std::string randomText(std::mt19937& random, int characters) {
  std::string text;
  for (int i = 0; i < characters; ++i) {
    const int kind = static_cast<int>(random() % 20);
    if (kind < 12) {
      text += johab(2 + static_cast<int>(random() % 19), 3 + static_cast<int>(random() % 26),
                    1 + static_cast<int>(random() % 29));
    } else if (kind < 14) {
      text += ' ';
    } else if (kind < 15) {
      text += random() % 2 ? "\n" : "  ";
    } else if (kind < 17) {
      text += SignChars[random() % SignChars.size()];
    } else if (kind < 19) {
      const std::uint16_t code = SymbolCodes[random() % kSymbolCount];
      text += static_cast<char>(code >> 8);
      text += static_cast<char>(code & 0xFF);
    } else {
      text += "\xA1\xAE";  // not Johab: skipped as a two-byte code
    }
  }
  return text;
}

// The key stream of a layout typed on a text, plainly.
std::string keyStreamOf(const LayoutRecord& layout, const std::string& text) {
  TextModeState mode;
  std::string translated;
  translateTextMode(mode, text.data(), text.size(), translated);
  finishTextMode(mode, translated);
  ScanState scan;
  auto tally = std::make_unique<ScanTally>();
  CharacterPiece characters;
  scanText(scan, reinterpret_cast<const unsigned char*>(translated.data()), translated.size(),
           *tally, characters);
  std::string stream;
  transcribe(layout, characters, stream);
  return stream;
}

// Same-finger skipgrams of a key stream, stroke by stroke.
Count plainSkipgrams(const KeyTable& keys, const std::string& stream) {
  std::vector<int> strokes;  // -1 for a break
  int previous = -1;
  for (const char c : stream) {
    const int b = static_cast<unsigned char>(c);
    if (b == kUntreatedMarker) {
      strokes.push_back(-1);
      previous = -1;
      continue;
    }
    if (b == previous && (b == ' ' || b == '\n')) continue;
    strokes.push_back(b);
    previous = b;
  }
  Count n = 0;
  for (std::size_t i = 2; i < strokes.size(); ++i) {
    if (strokes[i - 2] < 0 || strokes[i - 1] < 0 || strokes[i] < 0) continue;
    n += isSameFingerSkipgram(keys, strokes[i - 2], strokes[i]);
  }
  return n;
}

// Where two layouts differ, for a readable failure.
std::string difference(const LayoutRecord& a, const LayoutRecord& b) {
  std::string text;
  auto table = [&text](const char* name, const auto& x, const auto& y) {
    for (std::size_t i = 0; i < x.size(); ++i) {
      if (x[i] != y[i]) text += std::string(name) + "[" + std::to_string(i) + "] ";
    }
  };
  table("initial", a.initialKeys, b.initialKeys);
  table("medial", a.medialKeys, b.medialKeys);
  table("final", a.finalKeys, b.finalKeys);
  table("sign", a.signKeys, b.signKeys);
  table("symbol", a.symbolKeys, b.symbolKeys);
  if (a.setType != b.setType || a.fingering != b.fingering) text += "set type or fingering";
  return text;
}

KeystrokeCounts withoutRuns(KeystrokeCounts counts) {
  counts.oneHandRuns = {};
  counts.sameFingerRuns = {};
  counts.sameKeyRuns = {};
  return counts;
}

TEST(PermutationExactness, PermutedCountsEqualTheRewrittenLayoutTypedInFull) {
  std::mt19937 random(20240607);
  const TempDirectory directory;
  int checkedSwaps = 0;
  for (int trial = 0; trial < 40; ++trial) {
    SCOPED_TRACE("trial " + std::to_string(trial));
    const LayoutRecord start = randomLayout(random);
    KeyTable keys{};
    setupKeyTable(start, keys);
    KeyMoveOptions options;
    options.keepHands = random() % 2 == 0;
    options.swapLevels = random() % 3 == 0;
    if (random() % 3 == 0) options.allowed = "qwertasdfgzxcv;'\"yuiophjklbnm1234567890";
    KeyMoveSet moves;
    std::string error;
    if (!makeKeyMoveSet(start, keys, options, moves, error)) continue;

    const std::string text = randomText(random, 150 + static_cast<int>(random() % 400));
    const std::string samplePath = directory.write("sample.txt", text);
    const auto standIns = quoteStandIns(start, keys);
    ASSERT_TRUE(standIns.has_value());
    SymbolCounts symbols;
    ASSERT_TRUE(countSymbols(samplePath, SampleEncoding::johab, start, standIns, symbols, error));

    PermutationScorer scorer;
    ASSERT_TRUE(makePermutationScorer(keys, symbols, moves, kDefaultWeights, scorer, error))
        << error;
    ScorerState state = startScorerState(scorer);
    ObjectiveCounts counts;
    const int swaps = 1 + static_cast<int>(random() % 12);
    for (int i = 0; i < swaps; ++i) {
      const int swap = static_cast<int>(random() % scorer.swapSlots.size());
      swapScore(scorer, state, swap, counts);
      applySwap(scorer, state, swap, counts);
      ++checkedSwaps;
    }
    const KeyPermutation sigma = scorerPermutation(scorer, state.occupant);

    // The layout file of the permuted layout reads back as that layout.
    const LayoutRecord permuted = renamedKeys(start, sigma);
    const std::string layoutPath =
        directory.write("permuted.txt", layoutFileText(permuted, {"a comment"}));
    LayoutRecord reread;
    reread.fileName = "random.txt";
    ASSERT_TRUE(readLayoutFile(layoutPath, reread, error));
    ASSERT_EQ(difference(reread, permuted), "");

    // Typed in full: the walk over the real key stream, and the streaming analysis.
    const std::string stream = keyStreamOf(reread, text);
    const KeystrokeCounts full = withoutRuns(reference::referenceEvaluate(keys, stream));
    EXPECT_EQ(keyPairKeystrokeCounts(keys, permutedPairCounts(symbols, sigma)), full);
    ExactEvaluation exact;
    ASSERT_TRUE(evaluateExactly(samplePath, SampleEncoding::johab, {&reread}, exact, error));
    EXPECT_EQ(withoutRuns(exact.layouts[0].keystrokes), full);

    const Count skipgrams = plainSkipgrams(keys, stream);
    EXPECT_EQ(sameFingerSkipgrams(keys, permutedSkipPairs(symbols, sigma)), skipgrams);
    EXPECT_EQ(exact.layouts[0].skipgrams, skipgrams);

    // The search's running counts, built from deltas, are the same counts.
    const ObjectiveCounts expected = objectiveCounts(full, skipgrams, exact.text.natnaeCount);
    EXPECT_EQ(state.counts, expected);
    EXPECT_EQ(state.score, objectiveScore(expected, kDefaultWeights));
  }
  EXPECT_GT(checkedSwaps, 100);  // the move sets were not all refused
}

// A short search on a random layout: its result is exact, and the same on
// any number of threads.
TEST(PermutationExactness, SearchResultsAreExactAndIndependentOfThreads) {
  std::mt19937 random(7);
  const TempDirectory directory;
  for (int trial = 0; trial < 6; ++trial) {
    const LayoutRecord start = randomLayout(random);
    KeyTable keys{};
    setupKeyTable(start, keys);
    KeyMoveSet moves;
    std::string error;
    if (!makeKeyMoveSet(start, keys, {}, moves, error)) continue;
    const std::string samplePath = directory.write("s.txt", randomText(random, 300));
    SymbolCounts symbols;
    ASSERT_TRUE(countSymbols(samplePath, SampleEncoding::johab, start, quoteStandIns(start, keys),
                             symbols, error));
    PermutationScorer scorer;
    ASSERT_TRUE(makePermutationScorer(keys, symbols, moves, kDefaultWeights, scorer, error))
        << error;
    SearchSettings settings;
    settings.seed = 99 + static_cast<unsigned>(trial);
    settings.iterations = 2000;
    settings.restarts = 5;
    settings.jobs = 1;
    const std::vector<RestartResult> one = searchLayouts(scorer, settings);
    settings.jobs = 3;
    const std::vector<RestartResult> three = searchLayouts(scorer, settings);
    ASSERT_EQ(one.size(), three.size());
    for (std::size_t r = 0; r < one.size(); ++r) {
      EXPECT_EQ(one[r].permutation, three[r].permutation);
      EXPECT_EQ(one[r].score, three[r].score);
      EXPECT_EQ(one[r].counts, permutedObjectiveCounts(keys, symbols, one[r].permutation));
      // The start layout is a candidate too: no restart ends worse than it.
      EXPECT_LE(one[r].score, objectiveScore(scorer.startCounts, kDefaultWeights));
    }
  }
}

}  // namespace
}  // namespace kbeval
