// The analysis of the sample as its bytes are read: text mode, the scan, and
// the evaluation of every layout's key stream, piece by piece. Any cut of the
// file into pieces gives the counts of the file fed whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "analysis/scanner.h"
#include "analysis/text_counts.h"
#include "keystrokes/keystroke_counts.h"
#include "keystrokes/skip_pairs.h"
#include "layouts/layout_record.h"
#include "text/charset_tables.h"
#include "text/text_mode.h"
#include "text/utf8_sample.h"

namespace kbeval {

// One layout being evaluated while the text streams by.
struct LayoutEvaluation {
  const LayoutRecord* layout = nullptr;
  // Layouts with the same key geometry share one set of tables.
  std::shared_ptr<const EvaluationTables> tables;
  std::unique_ptr<EvaluationState> state = std::make_unique<EvaluationState>();
  std::unique_ptr<SkipPairState> skipPairs;  // counted as well where the caller sets it
};

struct SampleAnalysis {
  Utf8SampleState utf8;  // a UTF-8 sample becomes Johab first (utf8.johab set)
  TextModeState mode;
  ScanState scan;
  TextCounts textCounts;
  std::unique_ptr<CombinationCounts> combinations = std::make_unique<CombinationCounts>();
  // transcribers[i] writes the key stream that evaluations[i] walks.
  std::vector<Transcriber> transcribers;
  std::vector<LayoutEvaluation> evaluations;
  std::string text;       // scratch: the current piece after text mode
  std::string converted;  // scratch: the current piece of a UTF-8 sample in Johab
  // Bytes of the sample read as text: all of them, or up to and including
  // the 0x1A or zero byte that ended the text.
  std::uint64_t textBytes = 0;
  bool looksLikeUtf8 = false;  // a Johab sample whose first piece is plainly Korean UTF-8
};

// Sets up the analysis for the layouts to be evaluated (which must outlive
// it). With `utf8ToJohab` (johabTable()) the sample is read as UTF-8.
SampleAnalysis startSampleAnalysis(const std::vector<const LayoutRecord*>& layouts,
                                   const CharsetTable* utf8ToJohab = nullptr);

// Empties the analysis for another sample with the same layouts, keeping the
// layouts' tables and the memory.
void restartSampleAnalysis(SampleAnalysis& analysis);

// The piece size to read with, at most `wanted`: layouts with very long key
// strings take smaller pieces, so that no key stream buffer outgrows its budget.
std::size_t samplePieceSize(const SampleAnalysis& analysis, std::size_t wanted);

// Analyses the next `length` bytes of the sample file. Returns false once the
// text has ended (a 0x1A or zero byte): the rest of the file is not text, and
// the bytes after the one that ended it are not looked at.
bool analyseSampleBytes(SampleAnalysis& analysis, const char* bytes, std::size_t length);

// Ends the analysis at the end of the file.
void finishSampleAnalysis(SampleAnalysis& analysis);

// The keystroke counts of layout `index`, and its untreated characters.
KeystrokeCounts layoutKeystrokeCounts(const SampleAnalysis& analysis, std::size_t index);
Count layoutUntreatedCount(const SampleAnalysis& analysis, std::size_t index);

// How often each keystroke of layout `index` followed each other one, indexed
// previous * 256 + current (previous is kNoKey at the start of the text and
// after an untreated marker), and the key table it was typed on. Every
// counter but the run histograms is worked out from these pairs.
std::vector<Count> layoutKeyPairCounts(const SampleAnalysis& analysis, std::size_t index);
const KeyTable& layoutKeyTable(const SampleAnalysis& analysis, std::size_t index);

}  // namespace kbeval
