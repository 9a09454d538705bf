// The passes of kbeval-optimize over a sample file: the start pass that
// counts the start layout's symbol pairs, and the full streaming evaluation
// of finished layouts, skip pairs included.
#pragma once

#include <sys/stat.h>

#include <optional>
#include <string>
#include <vector>

#include "analysis/text_counts.h"
#include "keystrokes/board.h"
#include "keystrokes/keystroke_counts.h"
#include "keystrokes/stroke_walk.h"
#include "layouts/layout_record.h"
#include "optimize/layout_objective.h"
#include "optimize/permutation_score.h"
#include "optimize/skip_pairs.h"
#include "sample/sample_analysis.h"
#include "text/encodings.h"

namespace kbeval {

// The error of a pass that found the sample changed: while it was read, or
// since the pass it was checked against.
inline constexpr const char* kSampleChanged = "it changed while it was read";

// One layout typed as a key stream and walked keystroke by keystroke, its
// skip pairs counted on the way: the pairs two strokes apart are beyond what
// kbeval's own walk keeps.
struct KeyStreamWalk {
  const LayoutRecord* layout = nullptr;
  EvaluationTables tables;
  EvaluationState state;
  SkipPairState skipPairs;
  std::optional<KeyTripleState> triples;  // the start pass's
  // On a board: the stroke sequence walked for its triples.
  std::optional<StrokeTables> strokeTables;
  StrokeState strokeState;
  StrokeCounts strokeCounts;
  char singleQuote = '\'';  // what the typographic quotes are typed as
  char doubleQuote = '"';
};

// The memory of the passes: the reading stage's tables and the walks'. A
// caller that runs many passes over small samples keeps one between them, so
// that the tables of half a megabyte each are cleared where they were used
// instead of being allocated (and faulted in page by page) for every pass.
struct SamplePassWorkspace {
  SampleAnalysis analysis = startSampleAnalysis({});
  std::vector<KeyStreamWalk> walks;
};

// Counts how the start layout types the sample file at `path`, the
// typographic quotes typed as `standIns` when given. False, with `error`
// saying why, when the sample cannot be read. `read`, when given, describes
// the file read, for later passes to check against.
bool countSymbols(const std::string& path, SampleEncoding encoding, const LayoutRecord& start,
                  const std::optional<QuoteStandIns>& standIns, SymbolCounts& counts,
                  std::string& error, struct stat* read = nullptr);
// The same with the memory of `workspace`.
bool countSymbols(SamplePassWorkspace& workspace, const std::string& path, SampleEncoding encoding,
                  const LayoutRecord& start, const std::optional<QuoteStandIns>& standIns,
                  SymbolCounts& counts, std::string& error, struct stat* read = nullptr);

// One layout evaluated in full.
struct ExactResult {
  KeystrokeCounts keystrokes;
  Count untreated = 0;
  Count skipgrams = 0;
  ObjectiveCounts strokes;  // on a board: the stroke figures' counts (the rest 0)
};

struct ExactEvaluation {
  TextCounts text;
  std::vector<ExactResult> layouts;
};

// Evaluates every layout on the sample file at `path` by the full streaming
// evaluation, on `board` when given (else by the layouts' fingering lines,
// without stroke figures). False, with `error` saying why, when the sample
// cannot be read or the board is beyond the objective's bounds, or when
// `expected` is given and the file is no longer the one it describes
// (`error` is then kSampleChanged).
bool evaluateExactly(const std::string& path, SampleEncoding encoding,
                     const std::vector<const LayoutRecord*>& layouts, ExactEvaluation& evaluation,
                     std::string& error, const Board* board = nullptr,
                     const struct stat* expected = nullptr);
// The same with the memory of `workspace`.
bool evaluateExactly(SamplePassWorkspace& workspace, const std::string& path,
                     SampleEncoding encoding, const std::vector<const LayoutRecord*>& layouts,
                     ExactEvaluation& evaluation, std::string& error, const Board* board = nullptr,
                     const struct stat* expected = nullptr);

// The objective's counts of one layout evaluated in full.
ObjectiveCounts exactObjectiveCounts(const ExactResult& result, const TextCounts& text);

}  // namespace kbeval
