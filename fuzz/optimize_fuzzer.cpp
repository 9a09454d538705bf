// Short searches on an arbitrary layout and sample. The input is a layout
// file, a separator line, and the sample; the first byte also picks the move
// options (move mode, levels, hands, number row, pins, a bound on the keys
// moved, and which few keys move). The separator "====" searches without a
// board, as the layout's fingering line has it; "===a", "===o" and "===s"
// type on the shipped ansi, ortho and split boards, so that the stroke
// figures (alternation, rolls, scissors, distance, effort) count too.
// Whatever the search finds, the written layout must read back as itself,
// its full evaluation must give exactly the counts (stroke figures included)
// and score the search reported for it, and in the jamo mode no digit, sign
// or symbol key moves.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fuzz_check.h"
#include "fuzz_support.h"
#include "keystrokes/board.h"
#include "keystrokes/key_table.h"
#include "layouts/layout_loader.h"
#include "layouts/layout_writer.h"
#include "optimize/layout_objective.h"
#include "optimize/layout_search.h"
#include "optimize/permutation_score.h"
#include "optimize/sample_passes.h"

namespace {

// The shipped board a separator's letter names, loaded once; null for
// another letter.
const kbeval::Board* shippedBoard(char letter) {
  using kbeval::Board;
  static const std::array<Board, 3> boards = [] {
    std::array<Board, 3> loaded;
    std::string error;
    const char* names[] = {"ansi", "ortho", "split"};
    for (std::size_t i = 0; i < loaded.size(); ++i) {
      FUZZ_CHECK(kbeval::loadBoard(names[i], loaded[i], error));
    }
    return loaded;
  }();
  switch (letter) {
    case 'a':
      return &boards[0];
    case 'o':
      return &boards[1];
    case 's':
      return &boards[2];
    default:
      return nullptr;
  }
}

}  // namespace

constexpr std::size_t kMostSwaps = 6;

// Each input allocates and frees a few hundred kilobytes of tables. Behind
// the address sanitizer's default quarantine of 256 MB every input's tables
// land on memory not touched for hundreds of inputs: faulting it in again took
// a quarter of the target's time, and at 32 MB reading it cold from memory
// still took a seventh. 8 MB holds the freed memory of the last dozen inputs,
// so a use after free within an input is caught as before.
extern "C" const char* __asan_default_options() {
  return "quarantine_size_mb=8";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kbeval;
  if (size < 1) return 0;
  const unsigned flags = data[0];
  const std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::size_t cut = input.find("\n===");
  if (cut == std::string_view::npos || input.size() < cut + 6 || input[cut + 5] != '\n') return 0;
  const Board* board = nullptr;
  if (input[cut + 4] != '=') {
    board = shippedBoard(input[cut + 4]);
    if (board == nullptr) return 0;
  }
  LayoutRecord start;
  start.fileName = "start.txt";
  applyLayoutText(input.substr(0, cut + 1), start);
  if (start.setType != 2 && start.setType != 3) start.setType = 2 + (flags & 1);
  // The sample's first 40 bytes: every slot pair it types costs the scorer's
  // build, and a score of syllables reach the same code as a page. One file
  // is kept and its bytes replaced for each input.
  static fuzz::MemoryFile sample("");
  sample.replace(input.substr(cut + 6, 40));

  KeyTable keys{};
  ObjectiveBoard strokeBoard;
  std::string error;
  if (board != nullptr) {
    if (missingBoardKey(*board, start) >= 0) return 0;
    setupBoardKeyTable(*board, start, keys);
    // The shipped boards lie within the objective's bounds.
    FUZZ_CHECK(makeObjectiveBoard(*board, keys, strokeBoard, error));
  } else {
    setupKeyTable(start, keys);
  }
  KeyMoveOptions options;
  options.keepHands = (flags & 2) == 0;
  options.moveKeys = (flags & 16) != 0;
  options.swapLevels = options.moveKeys && (flags & 4) != 0;
  options.numberRow = (flags & 32) != 0;
  // A few keys move, 5 or 8 of them from a place in the board's list the
  // flags pick: the scorer's tables and the search's swaps grow with the
  // square of the keys that move (with 8 instead of 12 the seeds reach the
  // same edges, and an input takes a fifth less time).
  static constexpr std::string_view kBoard = "qwertasdfgzxcvbyuiophjklnm;'\",./1234567890`[]\\=-";
  const std::size_t first = (flags >> 3) * 3, count = (flags & 8) ? 8 : 5;
  std::string allowed;
  for (std::size_t i = 0; i < count; ++i) allowed += kBoard[(first + i) % kBoard.size()];
  options.allowed = allowed;
  if (flags & 64) options.pinned = "k";
  if (flags & 128) options.pinnedJamo = "ㅇ,ㅏ";
  KeyMoveSet moves;
  if (!makeKeyMoveSet(start, keys, options, moves, error)) return 0;
  if (board != nullptr) {
    keepMovesOnBoard(*board, moves);
    if (moves.swaps.empty()) return 0;
  }
  // At most 6 swaps, spread over the move set: the scorer's terms and each
  // descent round grow with the swaps, and 6 reach the same code as 150.
  if (moves.swaps.size() > kMostSwaps) {
    const std::size_t step = (moves.swaps.size() + kMostSwaps - 1) / kMostSwaps;
    std::vector<std::array<int, 2>> kept;
    for (std::size_t i = flags % step; i < moves.swaps.size(); i += step) {
      kept.push_back(moves.swaps[i]);
    }
    moves.swaps = std::move(kept);
  }
  const auto standIns = quoteStandIns(start, keys);
  if (!standIns) return 0;

  // The passes' memory and the symbol counts' tables are kept between
  // inputs: cleared where they were used, not allocated afresh (under the
  // sanitizer every large allocation maps fresh pages).
  static SamplePassWorkspace workspace;
  static SymbolCounts symbols;
  FUZZ_CHECK(
      countSymbols(workspace, sample.path, SampleEncoding::johab, start, standIns, symbols, error));
  PermutationScorer scorer;
  FUZZ_CHECK(makePermutationScorer(keys, board != nullptr ? &strokeBoard : nullptr, symbols, moves,
                                   kDefaultWeights, scorer, error));
  SearchSettings settings;
  settings.seed = flags;
  settings.iterations = 16;
  settings.restarts = 1;
  settings.shuffleSwaps = 8;
  settings.heatSamples = 8;
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
    FUZZ_CHECK(evaluateExactly(workspace, sample.path, SampleEncoding::johab, {&reread}, exact,
                               error, board));
    const ObjectiveCounts counts = exactObjectiveCounts(exact.layouts[0], exact.text);
    FUZZ_CHECK(counts == result.counts);
    FUZZ_CHECK(objectiveScore(counts, kDefaultWeights) == result.score);
    for (int b = 0; b < 256 && !options.moveKeys; ++b) {
      FUZZ_CHECK(!signs[b] || result.permutation[b] == b);
    }
    if (settings.maxMoved > 0) FUZZ_CHECK(keysMoved(result.permutation) <= settings.maxMoved);
  }
  return 0;
}
