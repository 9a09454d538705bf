// One layout's keystroke statistics, and the evaluation that fills them from
// its key stream.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "keystrokes/key_table.h"
#include "layouts/layout_record.h"

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

// Everything that crosses a keystroke boundary, so that a key stream
// evaluated in pieces counts exactly as the stream evaluated whole.
struct EvaluationState {
  int previousFinger = -1;     // finger slot of the last keystroke
  int previousShiftSlot = -1;  // 0 or 9 when the last keystroke used Shift
  int previousShiftHand = 0;   // -1, +1, or 0 without Shift
  int previousByte = -1;       // the stream byte before, whatever it was
  Count leftRunLength = 0, rightRunLength = 0;
  Count leftSameFingerRun = 0, rightSameFingerRun = 0;
  Count sameKeyRepeat = 0;  // repeats of the current same-key run

  bool operator==(const EvaluationState&) const = default;
};

// Evaluates a piece of key stream against `table` (set up for the layout).
void evaluateKeys(const KeyTable& table, EvaluationState& state, const unsigned char* keys,
                  std::size_t length, KeystrokeCounts& counts);

// Evaluates a whole key stream from a fresh state.
KeystrokeCounts evaluateKeyStream(const KeyTable& table, std::string_view stream);

}  // namespace kbeval
