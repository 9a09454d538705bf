// Short searches on an arbitrary layout and sample. The input is a layout
// file, a line "====", and the sample; the first byte also picks the move
// options (move mode, levels, hands, number row, pins, a bound on the keys
// moved, and which few keys move). Whatever the search finds, the written
// layout must read back as itself, its full evaluation must give exactly the
// counts and score the search reported for it, and in the jamo mode no digit,
// sign or symbol key moves.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "fuzz_support.h"
#include "keystrokes/key_table.h"
#include "layouts/layout_loader.h"
#include "layouts/layout_writer.h"
#include "optimize/layout_search.h"
#include "optimize/permutation_score.h"
#include "optimize/sample_passes.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kbeval;
  if (size < 1) return 0;
  const unsigned flags = data[0];
  const std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::size_t cut = input.find("\n====\n");
  if (cut == std::string_view::npos) return 0;
  LayoutRecord start;
  start.fileName = "start.txt";
  applyLayoutText(input.substr(0, cut + 1), start);
  if (start.setType != 2 && start.setType != 3) start.setType = 2 + (flags & 1);
  const fuzz::MemoryFile sample(input.substr(cut + 6));

  KeyTable keys{};
  setupKeyTable(start, keys);
  KeyMoveOptions options;
  options.keepHands = (flags & 2) == 0;
  options.moveKeys = (flags & 16) != 0;
  options.swapLevels = options.moveKeys && (flags & 4) != 0;
  options.numberRow = (flags & 32) != 0;
  // A few keys move, 6 or 12 of them from a place in the board's list the
  // flags pick: the scorer's tables and the search's swaps grow with the
  // square of the keys that move.
  static constexpr std::string_view kBoard = "qwertasdfgzxcvbyuiophjklnm;'\",./1234567890`[]\\=-";
  const std::size_t first = (flags >> 3) * 3, count = (flags & 8) ? 12 : 6;
  std::string allowed;
  for (std::size_t i = 0; i < count; ++i) allowed += kBoard[(first + i) % kBoard.size()];
  options.allowed = allowed;
  if (flags & 64) options.pinned = "k";
  if (flags & 128) options.pinnedJamo = "ㅇ,ㅏ";
  KeyMoveSet moves;
  std::string error;
  if (!makeKeyMoveSet(start, keys, options, moves, error)) return 0;
  const auto standIns = quoteStandIns(start, keys);
  if (!standIns) return 0;

  SymbolCounts symbols;
  FUZZ_CHECK(countSymbols(sample.path, SampleEncoding::johab, start, standIns, symbols, error));
  PermutationScorer scorer;
  FUZZ_CHECK(makePermutationScorer(keys, symbols, moves, kDefaultWeights, scorer, error));
  SearchSettings settings;
  settings.seed = flags;
  settings.iterations = 40;
  settings.restarts = 1;
  settings.maxMoved = (flags & 4) != 0 && !options.moveKeys ? 3 : 0;
  const std::vector<RestartResult> results = searchLayouts(scorer, settings);
  const std::array<bool, 256> signs = signBytes(start);

  for (const RestartResult& result : results) {
    const LayoutRecord best = renamedKeys(start, result.permutation);
    LayoutRecord reread;
    reread.fileName = start.fileName;
    applyLayoutText(layoutFileText(best, {"found by a fuzzed search"}), reread);
    FUZZ_CHECK(reread == best);

    ExactEvaluation exact;
    FUZZ_CHECK(evaluateExactly(sample.path, SampleEncoding::johab, {&reread}, exact, error));
    const ExactResult& r = exact.layouts[0];
    const ObjectiveCounts counts =
        objectiveCounts(r.keystrokes, r.skipgrams, exact.text.natnaeCount);
    FUZZ_CHECK(counts == result.counts);
    FUZZ_CHECK(objectiveScore(counts, kDefaultWeights) == result.score);
    for (int b = 0; b < 256 && !options.moveKeys; ++b) {
      FUZZ_CHECK(!signs[b] || result.permutation[b] == b);
    }
    if (settings.maxMoved > 0) FUZZ_CHECK(keysMoved(result.permutation) <= settings.maxMoved);
  }
  return 0;
}
