// A plain, keystroke-by-keystroke evaluation written straight from the
// counting rules: every counter and histogram bucket is raised (and moved) at
// the keystroke that causes it. The fast evaluation must agree with it on
// every stream.
#pragma once

#include <algorithm>
#include <string_view>

#include "keystrokes/keystroke_counts.h"

namespace kbeval::reference {

struct ReferenceState {
  int previousFinger = -1;
  int previousShiftSlot = -1;
  int previousShiftHand = 0;
  int previousByte = -1;
  Count leftRunLength = 0, rightRunLength = 0;
  Count leftSameFingerRun = 0, rightSameFingerRun = 0;
  Count sameKeyRepeat = 0;
};

inline constexpr int kLeftShiftSlot = 0;
inline constexpr int kRightShiftSlot = 9;
inline constexpr int kShiftRow = 2;
inline constexpr int kNoFinger = -1;

// What a keystroke means for the counters, worked out once per byte value.
struct Stroke {
  int hand;        // -1 left, +1 right (thumb, Enter and keys without data too)
  int finger;      // finger slot 0..9
  int columnSlot;  // 0..9
  int row;         // 0..5
  int shiftHand;   // hand of the Shift key pressed for it, or 0
  int shiftSlot;   // 0 or 9, or -1 without Shift
};

inline Stroke strokeOf(const KeyInfo& key) {
  Stroke s;
  s.hand = key.finger < 0 ? -1 : 1;
  s.finger = key.finger < 0 ? key.finger + 5 : key.finger + 4;
  s.columnSlot = std::clamp(key.column < 0 ? key.column + 5 : key.column + 4, 0, 9);
  s.row = std::clamp<int>(key.row, 0, kRows - 1);
  s.shiftHand = key.shift != 0 ? -s.hand : 0;
  s.shiftSlot = s.shiftHand == 0 ? -1 : (s.shiftHand > 0 ? kRightShiftSlot : kLeftShiftSlot);
  return s;
}

inline int bucket(Count n) {
  return static_cast<int>(std::min<Count>(n, kRunBuckets - 1));
}

// A run that grows moves from the bucket before `index` into `index`; a run
// that starts (index == firstIndex) only enters it.
inline void growRun(std::array<Count, kRunBuckets>& histogram, Count index, Count firstIndex) {
  ++histogram[bucket(index)];
  if (index > firstIndex) --histogram[bucket(index - 1)];
}

// The rules walked keystroke by keystroke, every counter raised as it comes.
inline KeystrokeCounts referenceEvaluate(const KeyTable& table, std::string_view stream) {
  KeystrokeCounts c;
  ReferenceState state;
  const auto* keys = reinterpret_cast<const unsigned char*>(stream.data());
  const std::size_t length = stream.size();
  std::array<Stroke, 256> strokes;
  for (int b = 0; b < 256; ++b) strokes[b] = strokeOf(table[b]);

  for (std::size_t p = 0; p < length; ++p) {
    const int byte = keys[p];
    const bool isSpace = byte == ' ';
    const bool isEnter = byte == '\n';
    const int previousByte = state.previousByte;
    state.previousByte = byte;
    // Runs of spaces or of line feeds count as one stroke.
    if ((isSpace || isEnter) && byte == previousByte) continue;
    if (byte == kUntreatedMarker) {
      state.previousFinger = kNoFinger;
      state.previousShiftSlot = -1;
      state.previousShiftHand = 0;
      state.sameKeyRepeat = 0;
      continue;
    }
    c.spaceStrokes += isSpace;
    c.enterStrokes += isEnter;

    const Stroke& s = strokes[byte];
    const int f = s.finger;
    if (!isEnter) ++c.generalKeyTable[s.columnSlot][s.row];
    ++c.fingerCount[f];
    ++c.keyStrokes;
    ++c.totalKeyTable[f][s.row];
    if (!isSpace && !isEnter) (s.hand < 0 ? c.leftKeys : c.rightKeys) += 1;

    if (s.shiftHand != 0) {
      ++c.shiftStrokes;
      (s.shiftHand < 0 ? c.leftShifts : c.rightShifts) += 1;
      ++c.fingerCount[s.shiftSlot];
      ++c.totalKeyTable[s.shiftSlot][kShiftRow];
    }

    // The finger each hand repeats at this keystroke, if any.
    int leftRunFinger = kNoFinger;
    int rightRunFinger = kNoFinger;
    auto sameFingerStroke = [&](int hand, int finger) {
      if (hand < 0) {
        ++state.leftSameFingerRun;
        ++c.leftSameFinger;
        leftRunFinger = finger;
      } else {
        ++state.rightSameFingerRun;
        ++c.rightSameFinger;
        rightRunFinger = finger;
      }
      ++c.sameFingerCount[finger];
    };

    // Key after key on one finger, and perhaps on one key.
    bool sameKey = false;
    if (state.previousFinger == f) {
      sameFingerStroke(s.hand, f);
      if (byte == previousByte) {
        sameKey = true;
        ++c.sameKeyStrokes;
        (s.hand < 0 ? c.leftSameKey : c.rightSameKey) += 1;
        growRun(c.sameKeyRuns[f], state.sameKeyRepeat + 1, 1);
      }
    }
    // Key after Shift on one finger: the little finger leaves Shift for the key.
    if (state.previousShiftHand != 0 && f == state.previousShiftSlot) {
      (state.previousShiftHand < 0 ? c.leftShiftSameFinger : c.rightShiftSameFinger) += 1;
      sameFingerStroke(s.hand, f);
    }
    if (s.shiftHand != 0) {
      // Shift after key on one finger: the little finger leaves the key for Shift.
      if (state.previousFinger == s.shiftSlot) {
        (s.shiftHand < 0 ? c.leftShiftSameFinger : c.rightShiftSameFinger) += 1;
        sameFingerStroke(s.shiftHand, state.previousFinger);
      }
      // A Shift still held from the character before is not pressed again.
      if (state.previousShiftHand == s.shiftHand) {
        --c.shiftStrokes;
        (s.shiftHand < 0 ? c.leftShifts : c.rightShifts) -= 1;
        --c.fingerCount[s.shiftSlot];
        --c.totalKeyTable[s.shiftSlot][kShiftRow];
      }
    }

    // One-hand runs: a hand's run goes on with its keys and its new Shift presses.
    const bool leftGoesOn = s.hand < 0 || (s.shiftHand < 0 && state.previousShiftHand >= 0);
    const bool rightGoesOn = s.hand > 0 || (s.shiftHand > 0 && state.previousShiftHand <= 0);
    if (leftGoesOn) {
      growRun(c.oneHandRuns[0], state.leftRunLength, 0);
      ++state.leftRunLength;
    } else {
      state.leftRunLength = 0;
    }
    if (rightGoesOn) {
      growRun(c.oneHandRuns[1], state.rightRunLength, 0);
      ++state.rightRunLength;
    } else {
      state.rightRunLength = 0;
    }

    if (leftRunFinger != kNoFinger) {
      growRun(c.sameFingerRuns[leftRunFinger], state.leftSameFingerRun, 1);
    } else {
      state.leftSameFingerRun = 0;
    }
    if (rightRunFinger != kNoFinger) {
      growRun(c.sameFingerRuns[rightRunFinger], state.rightSameFingerRun, 1);
    } else {
      state.rightSameFingerRun = 0;
    }

    state.previousShiftSlot = s.shiftSlot;
    state.previousFinger = f;
    state.previousShiftHand = s.shiftHand;
    state.sameKeyRepeat = sameKey ? state.sameKeyRepeat + 1 : 0;
  }
  return c;
}

}  // namespace kbeval::reference
