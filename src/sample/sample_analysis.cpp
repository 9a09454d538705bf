#include "sample/sample_analysis.h"

#include <algorithm>
#include <utility>

#include "analysis/combinations.h"
#include "keystrokes/key_table.h"

namespace kbeval {

namespace {

// The keys token `token` types on the layout.
void tokenKeys(const SampleAnalysis& analysis, const LayoutRecord& layout, std::size_t token,
               std::string& keys) {
  keys.clear();
  for (const std::uint16_t code : tokenCharacters(*analysis.tokens, token)) {
    appendKeys(layout, code, keys);
  }
}

}  // namespace

SampleAnalysis startSampleAnalysis(const std::vector<const LayoutRecord*>& layouts,
                                   const CharsetTable* utf8ToJohab, BoardChoice choice) {
  SampleAnalysis analysis;
  analysis.utf8.johab = utf8ToJohab;
  // Only the set type and fingering shape the key table, so a handful of
  // tables serve any number of layouts.
  std::vector<std::pair<KeyTable, std::shared_ptr<const EvaluationTables>>> shared;
  for (const LayoutRecord* layout : layouts) {
    LayoutEvaluation& e = analysis.evaluations.emplace_back();
    e.layout = layout;
    KeyTable keys{};
    if (choice.board != nullptr) {
      setupBoardKeyTable(*choice.board, *layout, keys);
    } else {
      setupKeyTable(*layout, keys);
    }
    const auto same = std::find_if(shared.begin(), shared.end(),
                                   [&keys](const auto& entry) { return entry.first == keys; });
    if (same != shared.end()) {
      e.tables = same->second;
    } else {
      e.tables = std::make_shared<const EvaluationTables>(makeEvaluationTables(keys));
      shared.emplace_back(keys, e.tables);
    }
    e.walk = makeTokenWalk(*e.tables);
    if (choice.figures) {
      e.strokeTables = std::make_shared<const StrokeTables>(
          makeStrokeTables(choice.board != nullptr ? *choice.board : ansiBoard(), keys));
      e.strokes = std::make_unique<StrokeWalk>();
    }
  }
  return analysis;
}

void restartSampleAnalysis(SampleAnalysis& analysis) {
  analysis.utf8 = Utf8SampleState{.johab = analysis.utf8.johab};
  analysis.textBytes = 0;
  analysis.looksLikeUtf8 = false;
  analysis.looksLikeUtf16 = false;
  analysis.mode = TextModeState{};
  analysis.scan = ScanState{};
  restartScanTally(*analysis.tally);
  restartTokens(*analysis.tokens, analysis.tokenState);
  analysis.textCounts = TextCounts{};
  *analysis.combinations = CombinationCounts{};
  for (LayoutEvaluation& e : analysis.evaluations) {
    restartEvaluation(*e.state);
    e.untreatedCount = 0;
    restartTokenWalk(e.walk);
    if (e.strokes) *e.strokes = StrokeWalk{};
  }
}

namespace {

// Scans the text translated so far and, when there are layouts to walk
// them, cuts its characters into tokens. Returns whether the text goes on.
bool scanAndCut(SampleAnalysis& analysis, bool fileEnds, TokenPiece& tokens) {
  scanText(analysis.scan, reinterpret_cast<const unsigned char*>(analysis.text.data()),
           analysis.text.size(), *analysis.tally, analysis.characters);
  const bool textEnds = fileEnds || analysis.mode.ended || analysis.scan.stopped;
  tokens.count = 0;
  if (!analysis.evaluations.empty()) {
    // Words pay when two layouts or more walk them.
    const bool words = analysis.evaluations.size() > 1;
    cutTokens(*analysis.tokens, analysis.tokenState, analysis.characters, textEnds, words, tokens);
  }
  return !textEnds;
}

}  // namespace

bool readSampleBytes(SampleAnalysis& analysis, const char* bytes, std::size_t length,
                     TokenPiece& tokens) {
  tokens.count = 0;
  if (analysis.mode.ended || analysis.scan.stopped) return false;
  // In Johab and in UTF-8 alike, the text ends at the first 0x1A (text mode)
  // or zero byte (the scan), and both bytes only ever stand for themselves.
  const std::size_t textLength = lengthThroughTextEnd(bytes, length);
  if (analysis.textBytes == 0) analysis.looksLikeUtf16 |= looksLikeUtf16({bytes, length});
  if (analysis.textBytes == 0 && analysis.utf8.johab == nullptr) {
    constexpr std::size_t kLookedAt = 1 << 16;
    analysis.looksLikeUtf8 = isPlainlyKoreanUtf8({bytes, std::min(textLength, kLookedAt)});
  }
  analysis.textBytes += textLength;
  analysis.text.clear();
  if (analysis.utf8.johab != nullptr) {
    analysis.converted.clear();
    convertUtf8Sample(analysis.utf8, bytes, textLength, analysis.converted);
    translateTextMode(analysis.mode, analysis.converted.data(), analysis.converted.size(),
                      analysis.text);
  } else {
    translateTextMode(analysis.mode, bytes, textLength, analysis.text);
  }
  return scanAndCut(analysis, false, tokens);
}

void readSampleEnd(SampleAnalysis& analysis, TokenPiece& tokens) {
  if (analysis.utf8.johab != nullptr) finishUtf8Sample(analysis.utf8);
  analysis.text.clear();
  finishTextMode(analysis.mode, analysis.text);
  scanAndCut(analysis, true, tokens);
}

void walkSampleTokens(SampleAnalysis& analysis, std::size_t index, const TokenPiece& tokens) {
  LayoutEvaluation& e = analysis.evaluations[index];
  std::string keys;
  for (std::size_t token = e.walk.tokens.size(); token < tokens.knownTokens; ++token) {
    tokenKeys(analysis, *e.layout, token, keys);
    addToken(e.walk, *e.tables, keys);
    if (e.strokes) addStrokeToken(*e.strokes, *e.strokeTables, keys);
  }
  walkTokens(e.walk, *e.tables, *e.state, tokens.tokens.data(), tokens.count);
  if (e.strokes) walkStrokeTokens(*e.strokes, *e.strokeTables, tokens.tokens.data(), tokens.count);
}

void endLayoutWalk(SampleAnalysis& analysis, std::size_t index) {
  LayoutEvaluation& e = analysis.evaluations[index];
  const TokenDictionary& dictionary = *analysis.tokens;
  e.state->pairCounts.resize(kKeyPairs);
  std::string keys;
  for (std::size_t token = 0; token < dictionary.count; ++token) {
    const Count times = dictionary.tokenCounts[token];
    if (times == 0) continue;
    tokenKeys(analysis, *e.layout, token, keys);
    addKeystrokesInside(*e.tables, keys, times, *e.state);
    if (e.strokes) addStrokeRest(*e.strokes, *e.strokeTables, token, keys, times);
  }
  if (e.strokes) releaseStrokeTokens(*e.strokes);
  addFirstKeystrokes(e.walk, *e.state);
  // The tokens' summaries are done with: let other layouts have the memory.
  releaseTokens(e.walk);
  e.untreatedCount = untreatedCount(*e.layout, *analysis.tally);
}

void endSampleReading(SampleAnalysis& analysis) {
  analysis.textCounts = textCounts(*analysis.tally);
  *analysis.combinations = CombinationCounts{};
  countTalliedCombinations(*analysis.tally, *analysis.combinations);
}

KeystrokeCounts layoutKeystrokeCounts(const SampleAnalysis& analysis, std::size_t index) {
  const LayoutEvaluation& e = analysis.evaluations[index];
  return keystrokeCounts(*e.tables, *e.state);
}

Count layoutUntreatedCount(const SampleAnalysis& analysis, std::size_t index) {
  return analysis.evaluations[index].untreatedCount;
}

std::vector<Count> layoutKeyPairCounts(const SampleAnalysis& analysis, std::size_t index) {
  return analysis.evaluations[index].state->pairCounts;
}

const KeyTable& layoutKeyTable(const SampleAnalysis& analysis, std::size_t index) {
  return analysis.evaluations[index].tables->keys;
}

bool hasStrokeFigures(const SampleAnalysis& analysis, std::size_t index) {
  return analysis.evaluations[index].strokes != nullptr;
}

StrokeFigures layoutStrokeFigures(const SampleAnalysis& analysis, std::size_t index) {
  const LayoutEvaluation& e = analysis.evaluations[index];
  if (!e.strokes) return {};
  StrokeCounts counts = e.strokes->counts;
  addKeyPairStrokes(*e.strokeTables, e.tables->keys, e.state->pairCounts, e.state->pairRows,
                    counts);
  return strokeFigures(e.strokeTables->board, counts);
}

}  // namespace kbeval
