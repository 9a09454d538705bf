#include "driver/sample_analysis.h"

#include <algorithm>
#include <utility>

#include "keystrokes/key_table.h"

namespace kbeval {

namespace {

// Scans the translated piece, then walks and empties every key stream.
void analyseText(SampleAnalysis& analysis) {
  scanText(analysis.scan, reinterpret_cast<const unsigned char*>(analysis.text.data()),
           analysis.text.size(), analysis.textCounts, *analysis.combinations,
           analysis.transcribers);
  for (std::size_t i = 0; i < analysis.transcribers.size(); ++i) {
    Transcriber& t = analysis.transcribers[i];
    LayoutEvaluation& e = analysis.evaluations[i];
    evaluateKeys(*e.tables, *e.state, t.keyStream.data(), t.keyStreamLength);
    if (e.skipPairs) countSkipPairs(*e.skipPairs, t.keyStream.data(), t.keyStreamLength);
    t.keyStreamLength = 0;
  }
}

}  // namespace

SampleAnalysis startSampleAnalysis(const std::vector<const LayoutRecord*>& layouts,
                                   const CharsetTable* utf8ToJohab) {
  SampleAnalysis analysis;
  analysis.utf8.johab = utf8ToJohab;
  // Only the set type and fingering shape the key table, so a handful of
  // tables serve any number of layouts.
  std::vector<std::pair<KeyTable, std::shared_ptr<const EvaluationTables>>> shared;
  for (const LayoutRecord* layout : layouts) {
    analysis.transcribers.push_back(makeTranscriber(*layout));
    LayoutEvaluation& e = analysis.evaluations.emplace_back();
    e.layout = layout;
    KeyTable keys{};
    setupKeyTable(*layout, keys);
    const auto same = std::find_if(shared.begin(), shared.end(),
                                   [&keys](const auto& entry) { return entry.first == keys; });
    if (same != shared.end()) {
      e.tables = same->second;
    } else {
      e.tables = std::make_shared<const EvaluationTables>(makeEvaluationTables(keys));
      shared.emplace_back(keys, e.tables);
    }
  }
  return analysis;
}

void restartSampleAnalysis(SampleAnalysis& analysis) {
  analysis.utf8 = Utf8SampleState{.johab = analysis.utf8.johab};
  analysis.textBytes = 0;
  analysis.looksLikeUtf8 = false;
  analysis.mode = TextModeState{};
  analysis.scan = ScanState{.characters = std::move(analysis.scan.characters)};
  analysis.textCounts = TextCounts{};
  *analysis.combinations = CombinationCounts{};
  for (Transcriber& t : analysis.transcribers) {
    t.keyStreamLength = 0;
    t.untreatedCount = 0;
  }
  for (LayoutEvaluation& e : analysis.evaluations) {
    restartEvaluation(*e.state);
    if (e.skipPairs) *e.skipPairs = SkipPairState{};
  }
}

std::size_t samplePieceSize(const SampleAnalysis& analysis, std::size_t wanted) {
  constexpr std::size_t kKeyStreamBudget = std::size_t{4} << 20;
  std::size_t size = std::max<std::size_t>(wanted, 1);
  for (const Transcriber& t : analysis.transcribers) {
    size = std::min(size, std::max<std::size_t>(256, kKeyStreamBudget / t.longestPiece));
  }
  return size;
}

bool analyseSampleBytes(SampleAnalysis& analysis, const char* bytes, std::size_t length) {
  if (analysis.mode.ended || analysis.scan.stopped) return false;
  // In Johab and in UTF-8 alike, the text ends at the first 0x1A (text mode)
  // or zero byte (the scan), and both bytes only ever stand for themselves.
  const std::size_t textLength = lengthThroughTextEnd(bytes, length);
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
  analyseText(analysis);
  return !analysis.mode.ended && !analysis.scan.stopped;
}

void finishSampleAnalysis(SampleAnalysis& analysis) {
  if (analysis.utf8.johab != nullptr) finishUtf8Sample(analysis.utf8);
  analysis.text.clear();
  finishTextMode(analysis.mode, analysis.text);
  analyseText(analysis);
}

KeystrokeCounts layoutKeystrokeCounts(const SampleAnalysis& analysis, std::size_t index) {
  const LayoutEvaluation& e = analysis.evaluations[index];
  return keystrokeCounts(*e.tables, *e.state);
}

Count layoutUntreatedCount(const SampleAnalysis& analysis, std::size_t index) {
  return analysis.transcribers[index].untreatedCount;
}

std::vector<Count> layoutKeyPairCounts(const SampleAnalysis& analysis, std::size_t index) {
  return analysis.evaluations[index].state->pairCounts;
}

const KeyTable& layoutKeyTable(const SampleAnalysis& analysis, std::size_t index) {
  return analysis.evaluations[index].tables->keys;
}

}  // namespace kbeval
