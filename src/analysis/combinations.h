// Jamo junction and key-combination counts of syllables.
#pragma once

#include "analysis/scanner.h"
#include "analysis/text_counts.h"

namespace kbeval {

// Counts the syllable (initial, medial, final: Johab codes that passed the
// range check) and its junction with the syllable before, whose final code is
// `previousFinal` (0 when the character before was no syllable).
void countCombinations(CombinationCounts& counts, int initial, int medial, int final,
                       int previousFinal);

// The two halves of that: `n` syllables on their own, and `n` junctions of a
// syllable ending in `previousFinal` with one beginning with `initial`.
void countSyllables(CombinationCounts& counts, int initial, int medial, int final, Count n);
void countJunctions(CombinationCounts& counts, int previousFinal, int initial, Count n);

// Adds the combinations of every syllable and junction the scan tallied.
void countTalliedCombinations(const ScanTally& tally, CombinationCounts& counts);

}  // namespace kbeval
