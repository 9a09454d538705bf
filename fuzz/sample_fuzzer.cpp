// A sample file from arbitrary bytes, typed on the fixed layouts. The scan
// must count and transcribe exactly as the plain character-by-character rules
// do, each key stream and each layout's walk over the characters must count
// as the keystroke-by-keystroke rules say, and every report must print.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "analysis/combinations.h"
#include "analysis/scanner.h"
#include "analysis/text_reports.h"
#include "fuzz_check.h"
#include "fuzz_support.h"
#include "keystrokes/character_walk.h"
#include "keystrokes/key_table.h"
#include "keystrokes/keystroke_counts.h"
#include "keystrokes/keystroke_report.h"
#include "keystrokes/reference_evaluation.h"
#include "text/text_mode.h"

namespace {

using namespace kbeval;

struct Typist {
  std::vector<const LayoutRecord*> layouts = fuzz::fixedLayoutPointers();
  std::vector<Transcriber> transcribers;
  std::vector<std::vector<std::string_view>> keysByCode;
  std::vector<KeyTable> keys;
  std::vector<EvaluationTables> tables;
  std::vector<CharacterWalk> walks;
  std::vector<EvaluationState> states;
  ScanTally tally;
};

Typist& typist() {
  static Typist t = [] {
    Typist made;
    made.transcribers.reserve(made.layouts.size());
    for (const LayoutRecord* layout : made.layouts) {
      const Transcriber& transcriber = made.transcribers.emplace_back(makeTranscriber(*layout));
      std::vector<std::string_view>& keys = made.keysByCode.emplace_back(kCharacterCodes);
      for (std::size_t code = 0; code < kCharacterCodes; ++code) {
        keys[code] = keysOf(transcriber, static_cast<std::uint16_t>(code));
      }
      KeyTable& table = made.keys.emplace_back();
      setupKeyTable(*layout, table);
      made.tables.push_back(makeEvaluationTables(table));
      made.walks.push_back(makeCharacterWalk(made.tables.back(), keys));
      made.states.emplace_back();
    }
    return made;
  }();
  return t;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Typist& t = typist();
  TextModeState mode;
  std::string text;
  translateTextMode(mode, reinterpret_cast<const char*>(data), size, text);
  finishTextMode(mode, text);

  ScanState scan;
  ScanTally& tally = t.tally;
  std::fill(tally.characterCounts.begin(), tally.characterCounts.end(), 0);
  tally.junctionCounts = {};
  CharacterPiece characters;
  scanText(scan, reinterpret_cast<const unsigned char*>(text.data()), text.size(), tally,
           characters);
  const TextCounts counts = textCounts(tally);
  auto combinations = std::make_unique<CombinationCounts>();
  countTalliedCombinations(tally, *combinations);

  const fuzz::PlainScan plain = fuzz::plainScan(text, t.layouts);
  FUZZ_CHECK(counts == plain.counts);
  printJamoReport(counts, fuzz::nullSink());
  printCombinationReport(*combinations, fuzz::nullSink());

  for (std::size_t i = 0; i < t.layouts.size(); ++i) {
    std::string stream;
    transcribe(t.transcribers[i], characters, stream);
    FUZZ_CHECK(stream == plain.keyStreams[i]);
    const Count untreated = untreatedCount(t.transcribers[i], tally);
    FUZZ_CHECK(untreated == plain.untreated[i]);

    // The key stream walked keystroke by keystroke, and the characters walked
    // one by one, both against the rules.
    const KeystrokeCounts expected = reference::referenceEvaluate(t.keys[i], stream);
    EvaluationState& state = t.states[i];
    restartEvaluation(state);
    evaluateKeys(t.tables[i], state, reinterpret_cast<const unsigned char*>(stream.data()),
                 stream.size());
    FUZZ_CHECK(keystrokeCounts(t.tables[i], state) == expected);
    restartEvaluation(state);
    walkCharacters(t.walks[i], t.tables[i], state, characters.codes.data(), characters.count);
    addKeystrokesInside(t.tables[i], t.keysByCode[i], tally.characterCounts, state);
    const KeystrokeCounts keystrokes = keystrokeCounts(t.tables[i], state);
    FUZZ_CHECK(keystrokes == expected);
    fuzz::checkKeystrokeCounts(keystrokes);
    printKeystrokeReport(keystrokes, untreated, fuzz::nullSink());
  }
  return 0;
}
