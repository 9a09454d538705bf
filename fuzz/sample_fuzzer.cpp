// A sample file from arbitrary bytes, typed on the fixed layouts. The scan
// must count and transcribe exactly as the plain character-by-character rules
// do, each key stream must evaluate as the keystroke-by-keystroke rules say,
// and every report must print.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "analysis/scanner.h"
#include "analysis/text_reports.h"
#include "text/text_mode.h"
#include "fuzz_check.h"
#include "fuzz_support.h"
#include "keystrokes/key_table.h"
#include "keystrokes/keystroke_counts.h"
#include "keystrokes/keystroke_report.h"
#include "keystrokes/reference_evaluation.h"

namespace {

using namespace kbeval;

struct Typist {
  std::vector<const LayoutRecord*> layouts = fuzz::fixedLayoutPointers();
  std::vector<Transcriber> transcribers;
  std::vector<KeyTable> keys;
  std::vector<EvaluationTables> tables;
  std::vector<EvaluationState> states;
};

Typist& typist() {
  static Typist t = [] {
    Typist made;
    for (const LayoutRecord* layout : made.layouts) {
      made.transcribers.push_back(makeTranscriber(*layout));
      KeyTable& keys = made.keys.emplace_back();
      setupKeyTable(*layout, keys);
      made.tables.push_back(makeEvaluationTables(keys));
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

  for (Transcriber& transcriber : t.transcribers) {
    transcriber.keyStreamLength = 0;
    transcriber.untreatedCount = 0;
  }
  ScanState scan;
  TextCounts counts;
  auto combinations = std::make_unique<CombinationCounts>();
  scanText(scan, reinterpret_cast<const unsigned char*>(text.data()), text.size(), counts,
           *combinations, t.transcribers);

  const fuzz::PlainScan plain = fuzz::plainScan(text, t.layouts);
  FUZZ_CHECK(counts == plain.counts);
  printJamoReport(counts, fuzz::nullSink());
  printCombinationReport(*combinations, fuzz::nullSink());

  for (std::size_t i = 0; i < t.layouts.size(); ++i) {
    const Transcriber& transcriber = t.transcribers[i];
    const std::string stream = keyStreamText(transcriber);
    FUZZ_CHECK(stream == plain.keyStreams[i]);
    FUZZ_CHECK(transcriber.untreatedCount == plain.untreated[i]);

    EvaluationState& state = t.states[i];
    restartEvaluation(state);
    evaluateKeys(t.tables[i], state, transcriber.keyStream.data(), transcriber.keyStreamLength);
    const KeystrokeCounts keystrokes = keystrokeCounts(t.tables[i], state);
    FUZZ_CHECK(keystrokes == reference::referenceEvaluate(t.keys[i], stream));
    fuzz::checkKeystrokeCounts(keystrokes);
    printKeystrokeReport(keystrokes, transcriber.untreatedCount, fuzz::nullSink());
  }
  return 0;
}
