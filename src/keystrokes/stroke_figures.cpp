#include "keystrokes/stroke_figures.h"

namespace kbeval {

StrokeBoard makeStrokeBoard(const Board& board, const KeyTable& table) {
  StrokeBoard strokes;
  for (int key = 0; key < kBoardKeys; ++key) {
    const BoardKey& b = board.keys[static_cast<std::size_t>(key)];
    StrokeKey& s = strokes.keys[static_cast<std::size_t>(key)];
    s.x = b.x;
    s.y = b.y;
    s.effort = b.effort;
    s.row = b.row;
    s.finger = b.present ? b.finger : 0;
    // A character key's finger is the key table's: on ansi the layout's
    // fingering model moves some.
    if (key < kPhysicalKeys) {
      const KeyInfo& info = table[physicalKeyCharacters(key).unshifted];
      s.finger = info.finger;
      s.row = info.row;
    }
  }
  return strokes;
}

StrokeFigures strokeFigures(const StrokeBoard& board, const StrokeCounts& counts) {
  StrokeFigures f;
  for (int a = 0; a < kStrokeStates; ++a) {
    for (int b = 0; b < kStrokeIds; ++b) {
      const Count n = counts.pairs[static_cast<std::size_t>(a * kStrokeStates + b)];
      if (n == 0) continue;
      f.strokes += n;
      f.effort += static_cast<double>(n) * board.keys[static_cast<std::size_t>(b)].effort;
      if (a == kBreakId) continue;
      f.pairs += n;
      const unsigned bits = classifyPair(board, a, b);
      if (bits & kAlternation) f.alternation += n;
      if (bits & kRollIn) f.rollIn += n;
      if (bits & kRollOut) f.rollOut += n;
      if (bits & kScissor) f.scissor += n;
      if (bits & kLateral) f.lateral += n;
      if (bits & kSameFinger) {
        f.sameFinger += n;
        f.sameFingerDistance += static_cast<double>(n) * keyDistance(board, a, b);
      }
    }
  }
  for (int a = 0; a < kStrokeIds; ++a) {
    for (int c = 0; c < kStrokeIds; ++c) {
      const Count n = counts.skips[static_cast<std::size_t>(a * kStrokeStates + c)];
      if (n != 0 && isSkipgram(board, a, c)) f.skipgram += n;
    }
  }
  for (int a = 0; a < kBreakFingerCode; ++a) {
    for (int b = 0; b < kBreakFingerCode; ++b) {
      for (int c = 0; c < kBreakFingerCode; ++c) {
        const Count n =
            counts
                .fingerTriples[static_cast<std::size_t>((a * kFingerCodes + b) * kFingerCodes + c)];
        if (n == 0) continue;
        f.triples += n;
        // Back from codes to fingers: 0-3 left little..index, 4-7 right index..little.
        auto finger = [](int code) { return code < 4 ? code - 5 : (code < 8 ? code - 2 : 1); };
        const unsigned bits = classifyFingerTriple(finger(a), finger(b), finger(c));
        if (bits & kRedirect) f.redirect += n;
        if (bits & kBadRedirect) f.badRedirect += n;
        if (bits & kOneHandRoll) f.oneHandRoll += n;
      }
    }
  }
  return f;
}

}  // namespace kbeval
