// The analysis of the sample as its bytes are read, in two stages: reading
// (the conversion of a UTF-8 sample to Johab, text mode, the scan, which
// tallies the text, and the cut of each piece's characters into tokens) and
// walking (each layout walks the tokens of every piece, in order). The stages touch disjoint state:
// the reading stage only the text's, each layout's walk only its own, so the walks of different
// layouts may run on different threads while the next piece is read. Any cut
// of the file into pieces gives the counts of the file fed whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "analysis/scanner.h"
#include "analysis/text_counts.h"
#include "analysis/tokens.h"
#include "keystrokes/board.h"
#include "keystrokes/keystroke_counts.h"
#include "keystrokes/stroke_walk.h"
#include "keystrokes/token_walk.h"
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
  TokenWalk walk;  // knows the tokens this layout has walked so far
  // Its pair counts are made when the walk ends; until then the walk counts.
  std::unique_ptr<EvaluationState> state =
      std::make_unique<EvaluationState>(EvaluationState{.pairCounts = {}});
  Count untreatedCount = 0;  // worked out at the end
  // The pair and triple figures' walk, when they are asked for.
  std::shared_ptr<const StrokeTables> strokeTables;
  std::unique_ptr<StrokeWalk> strokes;
};

// The board the layouts are typed on, and whether the pair and triple
// figures are counted. Without a board, today's key table (ansi).
struct BoardChoice {
  const Board* board = nullptr;
  bool figures = false;
};

struct SampleAnalysis {
  Utf8SampleState utf8;  // a UTF-8 sample becomes Johab first (utf8.johab set)
  TextModeState mode;
  ScanState scan;
  std::unique_ptr<ScanTally> tally = std::make_unique<ScanTally>();
  std::unique_ptr<TokenDictionary> tokens = std::make_unique<TokenDictionary>();
  TokenState tokenState;
  // Worked out from the tally by endSampleReading.
  TextCounts textCounts;
  std::unique_ptr<CombinationCounts> combinations = std::make_unique<CombinationCounts>();
  std::vector<LayoutEvaluation> evaluations;
  std::string converted;      // scratch: the current piece of a UTF-8 sample in Johab
  std::string text;           // scratch: the current piece after text mode
  CharacterPiece characters;  // scratch: its characters that type something
  TokenPiece piece;           // where a reading pass puts its tokens unless told otherwise
  // Bytes of the sample read as text: all of them, or up to and including
  // the 0x1A or zero byte that ended the text.
  std::uint64_t textBytes = 0;
  bool looksLikeUtf8 = false;   // a Johab sample whose first piece is plainly Korean UTF-8
  bool looksLikeUtf16 = false;  // a sample whose first piece looks like UTF-16
};

// Sets up the analysis for the layouts to be evaluated (which must outlive
// it). With `utf8ToJohab` (johabTable()) the sample is read as UTF-8.
SampleAnalysis startSampleAnalysis(const std::vector<const LayoutRecord*>& layouts,
                                   const CharsetTable* utf8ToJohab = nullptr,
                                   BoardChoice board = {});

// Empties the analysis for another sample with the same layouts, keeping the
// layouts' tables and the memory.
void restartSampleAnalysis(SampleAnalysis& analysis);

// Reading stage: the next `length` bytes of the sample file, whose tokens
// replace those in `tokens`. Returns false once the text has ended (a 0x1A or
// zero byte): the rest of the file is not text, and the bytes after the one
// that ended it are not looked at.
bool readSampleBytes(SampleAnalysis& analysis, const char* bytes, std::size_t length,
                     TokenPiece& tokens);

// Reading stage at the end of the file: the last tokens (if any).
void readSampleEnd(SampleAnalysis& analysis, TokenPiece& tokens);

// Walking stage: layout `index` walks the next piece's tokens.
void walkSampleTokens(SampleAnalysis& analysis, std::size_t index, const TokenPiece& tokens);

// Walking stage after the last piece: adds layout `index`'s keystrokes
// inside tokens, and counts its untreated characters.
void endLayoutWalk(SampleAnalysis& analysis, std::size_t index);

// Works out the text's counts once all pieces have been read.
void endSampleReading(SampleAnalysis& analysis);

// The keystroke counts of layout `index`, and its untreated characters.
KeystrokeCounts layoutKeystrokeCounts(const SampleAnalysis& analysis, std::size_t index);
Count layoutUntreatedCount(const SampleAnalysis& analysis, std::size_t index);

// How often each keystroke of layout `index` followed each other one, indexed
// previous * 256 + current (previous is kNoKey at the start of the text and
// after an untreated marker), and the key table it was typed on. Every
// counter but the run histograms is worked out from these pairs.
std::vector<Count> layoutKeyPairCounts(const SampleAnalysis& analysis, std::size_t index);
const KeyTable& layoutKeyTable(const SampleAnalysis& analysis, std::size_t index);

// The pair and triple figures of layout `index`, when they were counted.
bool hasStrokeFigures(const SampleAnalysis& analysis, std::size_t index);
StrokeFigures layoutStrokeFigures(const SampleAnalysis& analysis, std::size_t index);

}  // namespace kbeval
