// Counting the stroke sequence's pairs, strokes one apart and finger triples
// (stroke_figures.h) on the token walk. Only the first keystrokes of a token
// depend on what came before it (the two strokes before, the byte before for
// a held Shift and a collapsed space); once two of its keys have stroked (or
// a marker has broken the sequence), the rest of the token counts the same
// wherever it stands. So the walk follows each token's head with the real
// context, jumps to the state the token leaves, and the strokes of the rest
// are added once at the end from how often the token came.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "keystrokes/keystroke_counts.h"
#include "keystrokes/stroke_figures.h"

namespace kbeval {

// A byte of the key stream as strokes.
struct ByteStrokes {
  std::uint8_t id = kNoBoardKey;  // the key it presses
  std::int8_t shiftHand = 0;      // the hand of the Shift it needs, or 0
};

struct StrokeTables {
  StrokeBoard board;
  std::array<ByteStrokes, 256> bytes{};
  std::array<std::uint8_t, kStrokeStates> fingerCodes{};  // by stroke id; kBreakId too
};

StrokeTables makeStrokeTables(const Board& board, const KeyTable& table);

// Where the stroke sequence stands.
struct StrokeState {
  int beforeLast = kBreakId, last = kBreakId;  // the two strokes before
  int previous = kNoKey;                       // the byte of the last key press
  int previousShiftHand = 0;
};

// One token's head: its bytes up to where the state no longer depends on
// what came before, and the state it leaves when it has a rest. Small, and
// the bytes of most heads inside, since the walk reads one per token.
inline constexpr std::size_t kInlineHead = 8;
struct StrokeTokenHead {
  std::uint8_t bytes[kInlineHead] = {};  // the head, when it is this short
  std::uint32_t offset = 0;              // else its place in StrokeWalk::headBytes
  std::uint8_t length = 0;
  std::uint8_t hasRest = 0;
  std::uint8_t afterBeforeLast = kBreakId, afterLast = kBreakId;  // the state it leaves
  std::uint16_t afterPrevious = kNoKey;
  std::int8_t afterShiftHand = 0;
};

struct StrokeWalk {
  std::vector<StrokeTokenHead> heads;  // by token
  std::vector<std::uint8_t> headBytes;
  StrokeState state;
  StrokeCounts counts;  // all but the pairs (addKeyPairStrokes)
};

// Walks a piece of key stream, byte by byte.
void walkStrokeBytes(const StrokeTables& tables, StrokeState& state, StrokeCounts& counts,
                     std::string_view keys, Count weight = 1);

// The same without the pairs (which the keystroke walk's pairs give).
void walkStrokeTriples(const StrokeTables& tables, StrokeState& state, StrokeCounts& counts,
                       std::string_view keys);

// Numbers the next token, whose keys are `keys`.
void addStrokeToken(StrokeWalk& walk, const StrokeTables& tables, std::string_view keys);

// Walks a piece of tokens (all numbered).
void walkStrokeTokens(StrokeWalk& walk, const StrokeTables& tables, const std::uint16_t* tokens,
                      std::size_t count);

// Adds the strokes of the rest of a token with keys `keys` that came `times`
// times. Called once per token, after the last piece.
void addStrokeRest(StrokeWalk& walk, const StrokeTables& tables, std::size_t token,
                   std::string_view keys, Count times);

// The strokes of key byte `current` typed right after key byte `previous`
// (kNoKey after a break): the stroke before it (kBreakId after a break), the
// Shift press made for it (-1 for none) and the stroke of its own key.
struct KeyPairStrokeIds {
  int before = kBreakId;
  int shift = -1;
  int key = kNoBoardKey;
};
KeyPairStrokeIds keyPairStrokeIds(const StrokeTables& tables, const KeyTable& keys, int previous,
                                  int current);
// The same, for a caller that has the pair's strokes already.
KeyPairStrokeIds keyPairStrokeIds(const StrokeTables& tables, const PairStrokes& pair, int previous,
                                  int current);

// The triples of strokes that end in the strokes of key byte `c`, typed
// after `b` and, before that, `a` (kNoKey for a break; no byte between them
// collapsed): whatever came before `a` changes none of them, so a stream's
// triples are the sum of this over its byte triples.
struct KeyTripleStrokes {
  int triples = 0, redirect = 0, badRedirect = 0;
};
KeyTripleStrokes keyTripleStrokes(const StrokeTables& tables, int a, int b, int c);
// The same in two steps, for tables of many triples: where the strokes of
// `a` and `b` leave the walk, then the triples `c` ends from there.
struct TripleStart {
  int beforeLast = kBreakId, last = kBreakId, heldShift = 0;
};
TripleStart tripleStart(const StrokeTables& tables, int a, int b);
KeyTripleStrokes keyTripleStrokes(const StrokeTables& tables, const TripleStart& start, int c);

// The walk of tokens counts no pairs: they are the keystroke walk's pairs of
// key bytes (`pairCounts`, index previous * 256 + current), as strokes.
void addKeyPairStrokes(const StrokeTables& tables, const KeyTable& keys,
                       std::span<const Count> pairCounts, StrokeCounts& counts);
// The same, visiting only the rows marked in `rows` (the others must be zero).
void addKeyPairStrokes(const StrokeTables& tables, const KeyTable& keys,
                       std::span<const Count> pairCounts, const PairRows& rows,
                       StrokeCounts& counts);
// The same for `n` of one pair of key bytes.
void addKeyPairStroke(const StrokeTables& tables, const KeyTable& keys, int previous, int current,
                      Count n, StrokeCounts& counts);

// Forgets the tokens (the counts stay).
void releaseStrokeTokens(StrokeWalk& walk);

}  // namespace kbeval
