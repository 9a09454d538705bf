// A key stream from arbitrary bytes, evaluated under a set type and fingering
// chosen by its first byte. The fast walk must count exactly what the
// keystroke-by-keystroke rules count, the counts must be consistent, and the
// report must print.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "fuzz_support.h"
#include "keystrokes/keystroke_counts.h"
#include "keystrokes/keystroke_report.h"
#include "keystrokes/reference_evaluation.h"

namespace {

using namespace kbeval;

struct Keyboard {
  KeyTable keys{};
  EvaluationTables tables;
};

// Every fingering name the key table tells apart, under both set types.
const std::vector<Keyboard>& keyboards() {
  static const std::vector<Keyboard> all = [] {
    std::vector<Keyboard> list;
    for (int setType : {2, 3}) {
      for (const char* fingering : {"Qwerty", "Pyojun", "Gong", "Gong3", "Unknown"}) {
        Keyboard& k = list.emplace_back();
        setupKeyTable(setType, fingering, k.keys);
        k.tables = makeEvaluationTables(k.keys);
      }
    }
    return list;
  }();
  return all;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const Keyboard& keyboard = keyboards()[data[0] % keyboards().size()];
  const std::string_view stream(reinterpret_cast<const char*>(data) + 1, size - 1);

  static EvaluationState state;
  restartEvaluation(state);
  evaluateKeys(keyboard.tables, state, data + 1, size - 1);
  const KeystrokeCounts counts = keystrokeCounts(keyboard.tables, state);

  FUZZ_CHECK(counts == reference::referenceEvaluate(keyboard.keys, stream));
  fuzz::checkKeystrokeCounts(counts);
  printKeystrokeReport(counts, static_cast<Count>(size), fuzz::nullSink());
  return 0;
}
