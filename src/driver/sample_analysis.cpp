#include "driver/sample_analysis.h"

#include <algorithm>
#include <utility>

#include "analysis/combinations.h"
#include "keystrokes/key_table.h"

namespace kbeval {

namespace {

std::vector<std::string_view> keysByCode(const Transcriber& transcriber) {
  std::vector<std::string_view> keys(kCharacterCodes);
  for (std::size_t code = 0; code < kCharacterCodes; ++code) {
    keys[code] = keysOf(transcriber, static_cast<std::uint16_t>(code));
  }
  return keys;
}

}  // namespace

SampleAnalysis startSampleAnalysis(const std::vector<const LayoutRecord*>& layouts) {
  SampleAnalysis analysis;
  // Only the set type and fingering shape the key table, so a handful of
  // tables serve any number of layouts.
  std::vector<std::pair<KeyTable, std::shared_ptr<const EvaluationTables>>> shared;
  for (const LayoutRecord* layout : layouts) {
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
    e.walk = makeCharacterWalk(*e.tables, keysByCode(makeTranscriber(*layout)));
  }
  return analysis;
}

void restartSampleAnalysis(SampleAnalysis& analysis) {
  analysis.mode = TextModeState{};
  analysis.scan = ScanState{};
  std::fill(analysis.tally->characterCounts.begin(), analysis.tally->characterCounts.end(), 0);
  analysis.tally->junctionCounts = {};
  analysis.textCounts = TextCounts{};
  *analysis.combinations = CombinationCounts{};
  for (LayoutEvaluation& e : analysis.evaluations) {
    restartEvaluation(*e.state);
    e.untreatedCount = 0;
  }
}

bool readSampleBytes(SampleAnalysis& analysis, const char* bytes, std::size_t length,
                     CharacterPiece& characters) {
  characters.count = 0;
  if (analysis.mode.ended || analysis.scan.stopped) return false;
  analysis.text.clear();
  translateTextMode(analysis.mode, bytes, length, analysis.text);
  scanText(analysis.scan, reinterpret_cast<const unsigned char*>(analysis.text.data()),
           analysis.text.size(), *analysis.tally, characters);
  return !analysis.mode.ended && !analysis.scan.stopped;
}

void readSampleEnd(SampleAnalysis& analysis, CharacterPiece& characters) {
  analysis.text.clear();
  finishTextMode(analysis.mode, analysis.text);
  scanText(analysis.scan, reinterpret_cast<const unsigned char*>(analysis.text.data()),
           analysis.text.size(), *analysis.tally, characters);
}

void walkSampleCharacters(SampleAnalysis& analysis, std::size_t index,
                          const CharacterPiece& characters) {
  LayoutEvaluation& e = analysis.evaluations[index];
  walkCharacters(e.walk, *e.tables, *e.state, characters.codes.data(), characters.count);
}

void endSampleAnalysis(SampleAnalysis& analysis) {
  const ScanTally& tally = *analysis.tally;
  analysis.textCounts = textCounts(tally);
  *analysis.combinations = CombinationCounts{};
  countTalliedCombinations(tally, *analysis.combinations);
  for (LayoutEvaluation& e : analysis.evaluations) {
    const Transcriber transcriber = makeTranscriber(*e.layout);
    addKeystrokesInside(*e.tables, keysByCode(transcriber), tally.characterCounts, *e.state);
    e.untreatedCount = untreatedCount(transcriber, tally);
  }
}

bool analyseSampleBytes(SampleAnalysis& analysis, const char* bytes, std::size_t length) {
  const bool more = readSampleBytes(analysis, bytes, length, analysis.characters);
  for (std::size_t i = 0; i < analysis.evaluations.size(); ++i) {
    walkSampleCharacters(analysis, i, analysis.characters);
  }
  return more;
}

void finishSampleAnalysis(SampleAnalysis& analysis) {
  readSampleEnd(analysis, analysis.characters);
  for (std::size_t i = 0; i < analysis.evaluations.size(); ++i) {
    walkSampleCharacters(analysis, i, analysis.characters);
  }
  endSampleAnalysis(analysis);
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

}  // namespace kbeval
