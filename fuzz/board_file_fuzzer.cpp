// A board file from arbitrary bytes. The parser never crashes and either
// names a file and line or gives a board; a board it accepts evaluates: its
// key table and stroke tables build, and the stroke sequence of a stream of
// every key counts consistently with the keystroke counts.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "fuzz_support.h"
#include "keystrokes/board.h"
#include "keystrokes/keystroke_counts.h"
#include "keystrokes/stroke_walk.h"

using namespace kbeval;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  Board board;
  std::string error;
  if (!parseBoard(text, "f.board", board, error)) {
    FUZZ_CHECK(error.rfind("f.board:", 0) == 0);
    FUZZ_CHECK(error.find('\n') == std::string::npos);
    return 0;
  }
  FUZZ_CHECK(error.empty());
  for (int key = 0; key < kBoardKeys; ++key) {
    const BoardKey& k = board.keys[static_cast<std::size_t>(key)];
    if (!k.present) continue;
    FUZZ_CHECK(std::isfinite(k.x) && std::isfinite(k.y) && std::isfinite(k.effort));
    FUZZ_CHECK(k.effort >= 0);
  }
  // Every printable character, the line feed, repeats and a marker.
  std::string stream;
  for (int c = 0x20; c < 0x7F; ++c) stream += static_cast<char>(c);
  stream += "\n\n  aA\x18Pq\x7F\x80 z";
  for (const LayoutRecord& layout : fuzz::fixedLayouts()) {
    KeyTable keys{};
    setupBoardKeyTable(board, layout, keys);
    const StrokeTables tables = makeStrokeTables(board, keys);
    StrokeState state;
    StrokeCounts counts;
    walkStrokeBytes(tables, state, counts, stream);
    const StrokeFigures f = strokeFigures(tables.board, counts);
    const KeystrokeCounts report = evaluateKeyStream(keys, stream);
    FUZZ_CHECK(f.strokes == report.keyStrokes + report.shiftStrokes);
    FUZZ_CHECK(f.pairs <= f.strokes && f.triples <= f.pairs);
    FUZZ_CHECK(f.alternation + f.rollIn + f.rollOut + f.sameFinger <= f.pairs);
    FUZZ_CHECK(f.scissor <= f.rollIn + f.rollOut && f.lateral <= f.rollIn + f.rollOut);
    FUZZ_CHECK(f.redirect + f.oneHandRoll <= f.triples && f.badRedirect <= f.redirect);
    FUZZ_CHECK(f.skipgram <= f.triples);
    FUZZ_CHECK(std::isfinite(f.effort) && f.effort >= 0);
    FUZZ_CHECK(std::isfinite(f.sameFingerDistance) && f.sameFingerDistance >= 0);
  }
  return 0;
}
