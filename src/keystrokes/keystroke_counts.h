// One layout's keystroke statistics, and the evaluation that gathers them
// from its key stream.
//
// The walk over the stream does as little as possible per keystroke: it
// counts each keystroke under the pair (keystroke before, this keystroke) and
// follows the lengths of the running one-hand, same-finger and same-key runs.
// Every other counter depends only on that pair, so the full KeystrokeCounts
// are worked out from the pair counts once, when the report needs them.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "base/basic_types.h"
#include "keystrokes/key_table.h"

namespace kbeval {

// Run histograms keep this many buckets; longer runs share the last one.
inline constexpr int kRunBuckets = 100;
inline constexpr int kFingerSlots = 10;
inline constexpr int kRows = 6;

struct KeystrokeCounts {
  Count keyStrokes = 0;
  Count leftKeys = 0, rightKeys = 0;
  Count shiftStrokes = 0, leftShifts = 0, rightShifts = 0;
  Count enterStrokes = 0, spaceStrokes = 0;
  std::array<Count, kFingerSlots> fingerCount{};
  std::array<std::array<Count, kRows>, kFingerSlots> totalKeyTable{};    // finger slot, row
  std::array<std::array<Count, kRows>, kFingerSlots> generalKeyTable{};  // column slot, row
  std::array<Count, kFingerSlots> sameFingerCount{};
  Count leftSameFinger = 0, rightSameFinger = 0;
  Count leftShiftSameFinger = 0, rightShiftSameFinger = 0;
  Count sameKeyStrokes = 0, leftSameKey = 0, rightSameKey = 0;
  std::array<std::array<Count, kRunBuckets>, 2> oneHandRuns{};  // hand, run length - 1
  std::array<std::array<Count, kRunBuckets>, kFingerSlots> sameFingerRuns{};  // slot, repeats
  std::array<std::array<Count, kRunBuckets>, kFingerSlots> sameKeyRuns{};     // slot, repeats

  bool operator==(const KeystrokeCounts&) const = default;
};

inline Count leftTotal(const KeystrokeCounts& c) {
  return c.leftShifts + c.leftKeys;
}
inline Count rightTotal(const KeystrokeCounts& c) {
  return c.rightShifts + c.rightKeys + c.enterStrokes;
}

// "No keystroke before": the start of the stream, and after an untreated marker.
inline constexpr int kNoKey = 256;
inline constexpr std::size_t kKeyPairs = (kNoKey + 1) * 256;

// What a keystroke does to the runs, given the keystroke before it.
struct KeyTransition {
  std::uint8_t flags = 0;       // the k... bits below
  std::int8_t leftFinger = 0;   // finger slot of the left hand's same-finger stroke
  std::int8_t rightFinger = 0;  // finger slot of the right hand's same-finger stroke
  std::int8_t keyFinger = 0;    // finger slot of the key itself
};
inline constexpr std::uint8_t kLeftRunGoesOn = 1, kRightRunGoesOn = 2, kLeftSameFinger = 4,
                              kRightSameFinger = 8, kSameKey = 16,
                              kNoStroke = 32;  // a repeated space or line feed, or the marker

// A layout's key table and the transitions of every pair of keystrokes.
struct EvaluationTables {
  KeyTable keys{};
  std::vector<KeyTransition> transitions;  // index previous * 256 + current
};

EvaluationTables makeEvaluationTables(const KeyTable& keys);
// The same into `tables`, keeping the memory of its transitions.
void makeEvaluationTables(const KeyTable& keys, EvaluationTables& tables);

// One bit per row of a pair table (by the keystroke before, kNoKey
// included): the rows that hold a count.
using PairRows = std::array<std::uint64_t, (kNoKey + 64) / 64>;

inline void markPairRow(PairRows& rows, int row) {
  rows[static_cast<unsigned>(row) / 64] |= std::uint64_t{1} << (static_cast<unsigned>(row) % 64);
}

// Calls `visit(row)` for every row marked in `rows`, in increasing order.
template <typename Visit>
void forEachPairRow(const PairRows& rows, Visit visit) {
  for (std::size_t word = 0; word < rows.size(); ++word) {
    for (std::uint64_t bits = rows[word]; bits != 0; bits &= bits - 1) {
      visit(static_cast<int>(word * 64 + static_cast<unsigned>(std::countr_zero(bits))));
    }
  }
}

// Zeroes the rows of `table` (rows of 256 counts) marked in `rows`, one
// memset each: a table of half a megabyte costs what the text typed, and a
// sanitizer build checks a memset once, not store by store.
void clearMarkedRows(std::vector<Count>& table, const PairRows& rows);

// Everything the walk carries from one keystroke to the next, so that a key
// stream evaluated in pieces counts exactly as the stream evaluated whole.
struct EvaluationState {
  int previous = kNoKey;  // the keystroke before, or kNoKey
  Count leftRunLength = 0, rightRunLength = 0;
  Count leftSameFingerRun = 0, rightSameFingerRun = 0;
  int leftRunFinger = 0, rightRunFinger = 0;
  Count sameKeyRepeat = 0;
  int sameKeyFinger = 0;
  std::vector<Count> pairCounts = std::vector<Count>(kKeyPairs);
  // The rows of pairCounts that hold a count; every other row is zero. Most
  // texts put keystrokes after a few dozen keys only, so a restart, a sweep
  // or a comparison of the table visits these rows instead of all 257.
  // Whatever adds to pairCounts marks the row.
  PairRows pairRows{};
  // Runs already ended, in the buckets of KeystrokeCounts.
  std::array<std::array<Count, kRunBuckets>, 2> endedOneHandRuns{};
  std::array<std::array<Count, kRunBuckets>, kFingerSlots> endedSameFingerRuns{};
  std::array<std::array<Count, kRunBuckets>, kFingerSlots> endedSameKeyRuns{};

  // Equal walks: the same runs, and the same pair counts (compared in the
  // marked rows only, the rest being zero on both sides).
  bool operator==(const EvaluationState& other) const;
};

// Whether two states hold the same pair counts (their marked rows alike and
// equal). Tables of different sizes differ.
bool samePairCounts(const EvaluationState& a, const EvaluationState& b);

// Empties `state` for a new walk, keeping its memory.
void restartEvaluation(EvaluationState& state);

// Walks a piece of key stream.
void evaluateKeys(const EvaluationTables& tables, EvaluationState& state, const unsigned char* keys,
                  std::size_t length);

// The counts of everything walked so far (runs still open count as they stand).
KeystrokeCounts keystrokeCounts(const EvaluationTables& tables, const EvaluationState& state);

// Sets the run histograms of `counts` to those of `state` (the part of
// keystrokeCounts that does not come from the pair counts).
void setRunCounts(const EvaluationState& state, KeystrokeCounts& counts);

// Evaluates a whole key stream.
KeystrokeCounts evaluateKeyStream(const KeyTable& keys, std::string_view stream);

// Adds `n` keystrokes `current` typed right after `previous` (or kNoKey): every
// counter but the run histograms, which no single pair decides.
void countKeyPair(const KeyTable& keys, int previous, int current, Count n,
                  KeystrokeCounts& counts);

// Calls `visit(previous, current, count)` for every pair of a table of pair
// counts (index previous * 256 + current) typed at least once.
template <typename Visit>
void forEachTypedPair(std::span<const Count> pairCounts, Visit visit) {
  for (int previous = 0; previous <= kNoKey; ++previous) {
    const Count* row = pairCounts.data() + static_cast<std::size_t>(previous) * 256;
    // Most keys never come before most others: skip empty rows in one sweep.
    Count any = 0;
    for (int current = 0; current < 256; ++current) any |= row[current];
    if (any == 0) continue;
    for (int current = 0; current < 256; ++current) {
      if (row[current] != 0) visit(previous, current, row[current]);
    }
  }
}

// The same, visiting only the rows marked in `rows` (the others must be zero).
template <typename Visit>
void forEachTypedPair(std::span<const Count> pairCounts, const PairRows& rows, Visit visit) {
  forEachPairRow(rows, [&](int previous) {
    const Count* row = pairCounts.data() + static_cast<std::size_t>(previous) * 256;
    for (int current = 0; current < 256; ++current) {
      if (row[current] != 0) visit(previous, current, row[current]);
    }
  });
}

// The counts of a whole table of pair counts (index previous * 256 + current,
// kKeyPairs entries), run histograms left empty.
KeystrokeCounts keyPairKeystrokeCounts(const KeyTable& keys, const std::vector<Count>& pairCounts);

// What one keystroke `current` typed right after `previous` (kNoKey at the
// start and after an untreated marker) adds to the same-finger, same-key and
// Shift counters: the rules of the walk, for one pair.
struct PairStrokes {
  int sameFinger = 0;         // same-finger strokes, one per hand at most (same-key included)
  bool sameKey = false;       // the very key again
  bool shiftPressed = false;  // a new Shift press is made for `current`
  int shiftHand = 0;          // its hand, -1 left or +1 right, when pressed
  bool viaShift = false;      // a Shift key takes part in a same-finger stroke
};
PairStrokes pairStrokes(const KeyTable& keys, int previous, int current);

}  // namespace kbeval
