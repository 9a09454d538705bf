// Everything the views show about one evaluated layout, gathered once after
// its evaluation: its counts as the keystroke report prints them, the figures
// worked out from them, its per-key counts and its worst pairs.
#pragma once

#include <vector>

#include "keystrokes/board.h"
#include "keystrokes/key_pairs.h"
#include "keystrokes/keystroke_counts.h"
#include "keystrokes/stroke_figures.h"
#include "layouts/layout_record.h"
#include "views/comparison_figures.h"

namespace kbeval {

// Pairs of each kind kept per layout: the JSON holds them all, --compare shows the first few.
inline constexpr std::size_t kWorstPairsKept = 10;

struct LayoutFindings {
  const LayoutRecord* layout = nullptr;  // file name, set type, fingering, key strings
  KeystrokeCounts counts;
  Count untreated = 0;
  ComparisonFigures figures;
  KeyTable keys{};  // the key table it was evaluated on: which finger and row each key has
  KeyUseTable keyUse{};
  const Board* board = nullptr;  // --board: the board it was typed on
  bool hasStrokes = false;       // the pair and triple figures were counted (--board)
  StrokeFigures strokes{};
  WorstPairs worstPairs;                                // at most kWorstPairsKept of each kind
  std::vector<UntreatedCharacter> untreatedCharacters;  // all of them, the most frequent first
};

}  // namespace kbeval
