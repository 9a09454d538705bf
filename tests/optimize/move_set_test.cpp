// What the default move set keeps: on every shipped layout a search moves
// jamo only, so the digits, signs and symbols stay on their keys and levels,
// no jamo goes onto the number row or off it, --max-moved bounds the keys
// that differ, and the search's counts stay exact.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "keystrokes/key_table.h"
#include "layouts/layout_loader.h"
#include "layouts/layout_writer.h"
#include "optimize/layout_search.h"
#include "optimize/permutation_score.h"
#include "optimize/sample_passes.h"

namespace kbeval {
namespace {

// Physical keys whose levels type something else than on the start layout.
int keysDiffering(const KeyPermutation& sigma) {
  std::array<bool, kPhysicalKeys> differs{};
  for (int b = 0; b < 256; ++b) {
    if (sigma[b] == b) continue;
    for (const int c : {b, static_cast<int>(sigma[b])}) {
      const int key = physicalKeyOf(static_cast<unsigned char>(c));
      if (key >= 0) differs[key] = true;
    }
  }
  int n = 0;
  for (const bool d : differs) n += d;
  return n;
}

TEST(MoveSet, DigitsSignsAndSymbolsNeverMoveByDefault) {
  const std::string sample = std::string(KBEVAL_EXAMPLES) + "/sample.txt";
  int searched = 0;
  for (const auto& entry : std::filesystem::directory_iterator(KBEVAL_SHIPPED_LAYOUTS)) {
    SCOPED_TRACE(entry.path().string());
    LayoutRecord start;
    start.fileName = entry.path().filename();
    std::string error;
    ASSERT_TRUE(readLayoutFile(entry.path(), start, error)) << error;
    KeyTable keys{};
    setupKeyTable(start, keys);
    for (const int maxMoved : {0, 3}) {
      KeyMoveSet moves;
      ASSERT_TRUE(makeKeyMoveSet(start, keys, {}, moves, error)) << error;
      SymbolCounts symbols;
      ASSERT_TRUE(countSymbols(sample, SampleEncoding::johab, start, quoteStandIns(start, keys),
                               symbols, error));
      PermutationScorer scorer;
      ASSERT_TRUE(makePermutationScorer(keys, symbols, moves, kDefaultWeights, scorer, error));
      SearchSettings settings;
      settings.iterations = 3000;
      settings.restarts = 3;
      settings.maxMoved = maxMoved;
      for (const RestartResult& r : searchLayouts(scorer, settings)) {
        const KeyPermutation& sigma = r.permutation;
        const LayoutRecord best = renamedKeys(start, sigma);
        EXPECT_EQ(best.signKeys, start.signKeys);
        EXPECT_EQ(best.symbolKeys, start.symbolKeys);
        const std::array<bool, 256> signs = signBytes(start);
        for (int b = 0; b < 256; ++b) {
          if (signs[b]) {
            EXPECT_EQ(sigma[b], b) << "byte " << b;
          }
          // No jamo onto the number row or off it.
          EXPECT_EQ(keys[b].row == 5, keys[sigma[b]].row == 5) << "byte " << b;
        }
        if (maxMoved > 0) {
          EXPECT_LE(keysDiffering(sigma), maxMoved);
        }
        EXPECT_GT(keysDiffering(sigma), 0);  // it did move something
        EXPECT_EQ(r.counts, permutedObjectiveCounts(keys, symbols, sigma));
        ++searched;
      }
    }
  }
  EXPECT_GE(searched, 12);
}

}  // namespace
}  // namespace kbeval
