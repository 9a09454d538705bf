// The passes of kbeval-optimize over a sample file: the start pass that
// counts the start layout's symbol pairs, and the full streaming evaluation
// of finished layouts, skip pairs included.
#pragma once

#include <string>
#include <vector>

#include "analysis/text_counts.h"
#include "keystrokes/keystroke_counts.h"
#include "layouts/layout_record.h"
#include "optimize/layout_objective.h"
#include "optimize/permutation_score.h"
#include "text/encodings.h"

namespace kbeval {

// A sample: a file, or bytes already in memory (for tests and fuzzing).
struct SampleSource {
  std::string path;
  const std::string* bytes = nullptr;  // when set, the sample itself; path only names it
};

// Counts how the start layout types the sample, the typographic quotes typed
// as `standIns` when given. Returns an error ("why") when the sample cannot be read.
std::string countSymbols(const SampleSource& sample, SampleEncoding encoding,
                         const LayoutRecord& start, const std::optional<QuoteStandIns>& standIns,
                         SymbolCounts& counts);

// One layout evaluated in full.
struct ExactResult {
  KeystrokeCounts keystrokes;
  Count untreated = 0;
  Count skipgrams = 0;
};

struct ExactEvaluation {
  TextCounts text;
  std::vector<ExactResult> layouts;
};

// Evaluates every layout on the sample by the full streaming evaluation.
// Returns an error ("why") when the sample cannot be read.
std::string evaluateExactly(const SampleSource& sample, SampleEncoding encoding,
                            const std::vector<const LayoutRecord*>& layouts,
                            ExactEvaluation& evaluation);

}  // namespace kbeval
