// Jamo junction and key-combination counts, raised once per decoded syllable.
#pragma once

#include "analysis/text_counts.h"

namespace kbeval {

// Counts the syllable (initial, medial, final: Johab codes that passed the
// range check) and its junction with the syllable before, whose final code is
// `previousFinal` (0 when the character before was no syllable).
void countCombinations(CombinationCounts& counts, int initial, int medial, int final,
                       int previousFinal);

}  // namespace kbeval
