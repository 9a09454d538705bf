// The figures of pairs and triples of strokes on a board: alternation, rolls,
// same-finger pairs and their distance, scissors, lateral stretches,
// redirects, one-hand rolls, skipgrams and effort.
//
// The stroke sequence is what the keystroke report counts, in order: each
// key press, and before it the Shift press the report counts for it (a Shift
// held from the character before is not pressed again). A collapsed space or
// line feed is no stroke; an untreated marker breaks the sequence. Strokes
// are numbered by board key (board.h), with kNoBoardKey for a byte that no
// key types. Thumb strokes (and kNoBoardKey ones) are on neither hand, and a
// pair or triple holding one counts only in the totals (a skipgram's middle
// stroke excepted).
//
// The classifiers are free functions of a StrokeBoard and key numbers, so
// that a search over layouts can score pairs and triples the same way.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "base/basic_types.h"
#include "keystrokes/board.h"
#include "keystrokes/key_table.h"

namespace kbeval {

inline constexpr int kNoBoardKey = kBoardKeys;  // a stroke of a byte no key types
inline constexpr int kStrokeIds = kBoardKeys + 1;
inline constexpr int kBreakId = kStrokeIds;  // "no stroke before"
inline constexpr int kStrokeStates = kStrokeIds + 1;

// What the figures need of a key.
struct StrokeKey {
  std::int8_t finger = 0;  // -5..-2 left, 2..5 right; 1 thumb, 0 no key: neither hand
  std::int8_t row = 0;     // kThumbRow..kNumberRow
  double x = 0, y = 0;
  double effort = 0;
};

// A board as one layout types on it: the fingers of its key table (on ansi
// the layout's fingering model), the positions, rows and efforts of the board.
struct StrokeBoard {
  std::array<StrokeKey, kStrokeIds> keys{};
};

StrokeBoard makeStrokeBoard(const Board& board, const KeyTable& table);

// The hand of a finger: -1 left, +1 right, 0 neither (thumb, no key).
constexpr int handOf(int finger) {
  return finger <= -2 ? -1 : (finger >= 2 ? 1 : 0);
}

// Pair figures, as bits.
inline constexpr unsigned kAlternation = 1, kRollIn = 2, kRollOut = 4, kSameFinger = 8,
                          kScissor = 16, kLateral = 32;

// The figures of the pair of strokes `a` then `b` (stroke ids).
constexpr unsigned classifyPair(const StrokeBoard& board, int a, int b) {
  const StrokeKey& ka = board.keys[static_cast<std::size_t>(a)];
  const StrokeKey& kb = board.keys[static_cast<std::size_t>(b)];
  const int ha = handOf(ka.finger), hb = handOf(kb.finger);
  if (ha == 0 || hb == 0) return 0;
  if (ha != hb) return kAlternation;
  if (ka.finger == kb.finger) return a != b ? kSameFinger : 0;
  const int da = ka.finger < 0 ? -ka.finger : ka.finger;  // 2 index .. 5 little
  const int db = kb.finger < 0 ? -kb.finger : kb.finger;
  unsigned bits = db < da ? kRollIn : kRollOut;
  if (da - db == 1 || db - da == 1) {
    const int rows = ka.row - kb.row;
    if (rows >= 2 || rows <= -2) bits |= kScissor;
    const double dx = ka.x - kb.x;
    if (dx >= 2 || dx <= -2) bits |= kLateral;
  }
  return bits;
}

// The distance between the centres of two keys, in key widths.
inline double keyDistance(const StrokeBoard& board, int a, int b) {
  const StrokeKey& ka = board.keys[static_cast<std::size_t>(a)];
  const StrokeKey& kb = board.keys[static_cast<std::size_t>(b)];
  return std::hypot(ka.x - kb.x, ka.y - kb.y);
}

// Triple figures, as bits.
inline constexpr unsigned kRedirect = 1, kBadRedirect = 2, kOneHandRoll = 4, kSkipgram = 8;

// The triple figures of fingers fa, fb, fc (key table finger values): all
// but the skipgram, which needs the keys.
constexpr unsigned classifyFingerTriple(int fa, int fb, int fc) {
  const int h = handOf(fa);
  if (h == 0 || handOf(fb) != h || handOf(fc) != h) return 0;
  if (fa == fb || fb == fc) return 0;
  const int da = fa < 0 ? -fa : fa, db = fb < 0 ? -fb : fb, dc = fc < 0 ? -fc : fc;
  const bool firstIn = db < da, secondIn = dc < db;
  if (firstIn == secondIn) return kOneHandRoll;
  return (da == 2 || db == 2 || dc == 2) ? kRedirect : (kRedirect | kBadRedirect);
}

// Whether strokes `a` and `c`, one apart, are a skipgram.
constexpr bool isSkipgram(const StrokeBoard& board, int a, int c) {
  const int fa = board.keys[static_cast<std::size_t>(a)].finger;
  return a != c && handOf(fa) != 0 && fa == board.keys[static_cast<std::size_t>(c)].finger;
}

// The triple figures of strokes a, b, c.
constexpr unsigned classifyTriple(const StrokeBoard& board, int a, int b, int c) {
  unsigned bits = classifyFingerTriple(board.keys[static_cast<std::size_t>(a)].finger,
                                       board.keys[static_cast<std::size_t>(b)].finger,
                                       board.keys[static_cast<std::size_t>(c)].finger);
  if (isSkipgram(board, a, c)) bits |= kSkipgram;
  return bits;
}

// A stroke's finger as the triple table indexes it: 0-3 left little..index,
// 4-7 right index..little, 8 neither hand, 9 no stroke before.
inline constexpr int kFingerCodes = 10;
constexpr int fingerCode(int finger) {
  if (finger <= -2) return finger + 5;
  if (finger >= 2) return finger + 2;
  return 8;
}
inline constexpr int kBreakFingerCode = 9;

// The counts the figures are made from: pairs of strokes and strokes one
// apart by stroke id (row kBreakId: nothing before), triples by finger code.
struct StrokeCounts {
  std::vector<Count> pairs = std::vector<Count>(kStrokeStates * kStrokeStates);
  std::vector<Count> skips = std::vector<Count>(kStrokeStates * kStrokeStates);
  std::vector<Count> fingerTriples = std::vector<Count>(kFingerCodes * kFingerCodes * kFingerCodes);

  bool operator==(const StrokeCounts&) const = default;
};

// The figures of one layout's stroke sequence.
struct StrokeFigures {
  Count strokes = 0, pairs = 0, triples = 0;
  Count alternation = 0, rollIn = 0, rollOut = 0, sameFinger = 0, scissor = 0, lateral = 0;
  double sameFingerDistance = 0;  // key widths, summed over same-finger pairs
  Count redirect = 0, badRedirect = 0, oneHandRoll = 0, skipgram = 0;
  double effort = 0;  // summed over strokes

  bool operator==(const StrokeFigures&) const = default;
};

StrokeFigures strokeFigures(const StrokeBoard& board, const StrokeCounts& counts);

// count / total, 0 for an empty total.
inline double shareOf(double count, Count total) {
  return total == 0 ? 0.0 : count / static_cast<double>(total);
}

}  // namespace kbeval
