// The analysis of the sample as its bytes are read, in two stages: reading
// (text mode and the scan, which tallies the text and hands out each piece's
// characters) and walking (each layout walks the characters of every piece,
// in order). The stages touch disjoint state: the reading stage only the
// text's, each layout's walk only its own, so the walks of different layouts
// may run on different threads while the next piece is read. Any cut of the
// file into pieces gives the counts of the file fed whole.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "analysis/scanner.h"
#include "analysis/text_counts.h"
#include "keystrokes/character_walk.h"
#include "keystrokes/keystroke_counts.h"
#include "layouts/layout_record.h"
#include "text/text_mode.h"

namespace kbeval {

// One layout being evaluated while the text streams by.
struct LayoutEvaluation {
  const LayoutRecord* layout = nullptr;
  // Layouts with the same key geometry share one set of tables.
  std::shared_ptr<const EvaluationTables> tables;
  CharacterWalk walk;
  std::unique_ptr<EvaluationState> state = std::make_unique<EvaluationState>();
  Count untreatedCount = 0;  // worked out by endSampleAnalysis
};

struct SampleAnalysis {
  TextModeState mode;
  ScanState scan;
  std::unique_ptr<ScanTally> tally = std::make_unique<ScanTally>();
  // Worked out from the tally by endSampleAnalysis.
  TextCounts textCounts;
  std::unique_ptr<CombinationCounts> combinations = std::make_unique<CombinationCounts>();
  std::vector<LayoutEvaluation> evaluations;
  std::string text;           // scratch: the current piece after text mode
  CharacterPiece characters;  // scratch of analyseSampleBytes
};

// Sets up the analysis for the layouts to be evaluated (which must outlive it).
SampleAnalysis startSampleAnalysis(const std::vector<const LayoutRecord*>& layouts);

// Empties the analysis for another sample with the same layouts, keeping the
// layouts' tables and the memory.
void restartSampleAnalysis(SampleAnalysis& analysis);

// Reading stage: the next `length` bytes of the sample file, whose characters
// replace those in `characters`. Returns false once the text has ended (a 0x1A
// or zero byte): the rest of the file is not text.
bool readSampleBytes(SampleAnalysis& analysis, const char* bytes, std::size_t length,
                     CharacterPiece& characters);

// Reading stage at the end of the file: the last characters (if any).
void readSampleEnd(SampleAnalysis& analysis, CharacterPiece& characters);

// Walking stage: layout `index` walks the next piece's characters.
void walkSampleCharacters(SampleAnalysis& analysis, std::size_t index,
                          const CharacterPiece& characters);

// Works out every count once all pieces have been read and walked.
void endSampleAnalysis(SampleAnalysis& analysis);

// Both stages on the calling thread: analyses the next `length` bytes of the
// sample file. Returns false once the text has ended.
bool analyseSampleBytes(SampleAnalysis& analysis, const char* bytes, std::size_t length);

// Both stages at the end of the file, then endSampleAnalysis.
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
