#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <utility>

#include "keystrokes/keystroke_counts.h"

namespace kbeval {

namespace {

constexpr int kLeftShiftSlot = 0;
constexpr int kRightShiftSlot = 9;
constexpr int kShiftRow = 2;
constexpr int kNoFinger = -1;

// A keystroke's key data in the form the counters use.
struct Stroke {
  int hand;        // -1 left, +1 right (thumb, Enter and keys without data too)
  int finger;      // finger slot 0..9
  int columnSlot;  // 0..9
  int row;         // 0..5
  int shiftHand;   // hand of the Shift key pressed for it, or 0
  int shiftSlot;   // 0 or 9, or -1 without Shift
};

Stroke strokeOf(const KeyInfo& key) {
  Stroke s;
  s.hand = key.finger < 0 ? -1 : 1;
  s.finger = fingerSlotOf(key);
  s.columnSlot = std::clamp(key.column < 0 ? key.column + 5 : key.column + 4, 0, 9);
  s.row = std::clamp<int>(key.row, 0, kRows - 1);
  s.shiftHand = key.shift != 0 ? -s.hand : 0;
  s.shiftSlot = s.shiftHand == 0 ? -1 : (s.shiftHand > 0 ? kRightShiftSlot : kLeftShiftSlot);
  return s;
}

// What the key before leaves behind for the next keystroke.
struct Before {
  int finger = kNoFinger;
  int shiftSlot = -1;
  int shiftHand = 0;
};

Before beforeOf(const KeyTable& keys, int previous) {
  if (previous == kNoKey) return {};
  const Stroke s = strokeOf(keys[previous]);
  return {s.finger, s.shiftSlot, s.shiftHand};
}

// Everything one keystroke counts, given the keystroke before it.
struct Step {
  Stroke key;
  bool shiftPressed = false;        // a new press, not a Shift held from before
  int leftSameFinger = kNoFinger;   // finger slot, if the left hand repeats a finger
  int rightSameFinger = kNoFinger;  // likewise for the right hand
  int keyAfterShiftHand = 0;        // Shift hand, when the key follows Shift on one finger
  bool shiftAfterKey = false;       // Shift follows the key before on one finger
  bool sameKey = false;
  bool leftRunGoesOn = false;
  bool rightRunGoesOn = false;
};

// The step of keystroke `current`, whose stroke is `key`, after `previous`,
// which left `before`.
Step stepFrom(const Stroke& key, const Before& before, int previous, int current) {
  Step step;
  const Stroke& s = step.key = key;
  auto sameFinger = [&step](int hand, int finger) {
    (hand < 0 ? step.leftSameFinger : step.rightSameFinger) = finger;
  };
  // Key after key on one finger, and perhaps on one key.
  if (before.finger == s.finger) {
    sameFinger(s.hand, s.finger);
    step.sameKey = previous == current;
  }
  // Key after Shift: the little finger leaves Shift for the key.
  if (before.shiftHand != 0 && s.finger == before.shiftSlot) {
    step.keyAfterShiftHand = before.shiftHand;
    sameFinger(s.hand, s.finger);
  }
  if (s.shiftHand != 0) {
    // Shift after key: the little finger leaves the key for Shift.
    if (before.finger == s.shiftSlot) {
      step.shiftAfterKey = true;
      sameFinger(s.shiftHand, before.finger);
    }
    // A Shift still held from the character before is not pressed again.
    step.shiftPressed = before.shiftHand != s.shiftHand;
  }
  // A hand's run goes on with its keys and with its new Shift presses.
  step.leftRunGoesOn = s.hand < 0 || (s.shiftHand < 0 && before.shiftHand >= 0);
  step.rightRunGoesOn = s.hand > 0 || (s.shiftHand > 0 && before.shiftHand <= 0);
  return step;
}

Step stepOf(const KeyTable& keys, int previous, int current) {
  return stepFrom(strokeOf(keys[current]), beforeOf(keys, previous), previous, current);
}

}  // namespace

void countKeyPair(const KeyTable& keys, int previous, int current, Count n, KeystrokeCounts& c) {
  const Step step = stepOf(keys, previous, current);
  const Stroke& s = step.key;
  const bool isSpace = current == ' ';
  const bool isEnter = current == '\n';
  if (isSpace) c.spaceStrokes += n;
  if (isEnter) c.enterStrokes += n;
  if (!isEnter) c.generalKeyTable[s.columnSlot][s.row] += n;
  c.fingerCount[s.finger] += n;
  c.keyStrokes += n;
  c.totalKeyTable[s.finger][s.row] += n;
  if (!isSpace && !isEnter) (s.hand < 0 ? c.leftKeys : c.rightKeys) += n;
  if (step.shiftPressed) {
    c.shiftStrokes += n;
    (s.shiftHand < 0 ? c.leftShifts : c.rightShifts) += n;
    c.fingerCount[s.shiftSlot] += n;
    c.totalKeyTable[s.shiftSlot][kShiftRow] += n;
  }
  if (step.leftSameFinger != kNoFinger) {
    c.leftSameFinger += n;
    c.sameFingerCount[step.leftSameFinger] += n;
  }
  if (step.rightSameFinger != kNoFinger) {
    c.rightSameFinger += n;
    c.sameFingerCount[step.rightSameFinger] += n;
  }
  if (step.keyAfterShiftHand != 0) {
    (step.keyAfterShiftHand < 0 ? c.leftShiftSameFinger : c.rightShiftSameFinger) += n;
  }
  if (step.shiftAfterKey) (s.shiftHand < 0 ? c.leftShiftSameFinger : c.rightShiftSameFinger) += n;
  if (step.sameKey) {
    c.sameKeyStrokes += n;
    (s.hand < 0 ? c.leftSameKey : c.rightSameKey) += n;
  }
}

namespace {

int bucket(Count n) {
  return static_cast<int>(std::min<Count>(n, kRunBuckets - 1));
}

}  // namespace

EvaluationTables makeEvaluationTables(const KeyTable& keys) {
  EvaluationTables tables;
  makeEvaluationTables(keys, tables);
  return tables;
}

void makeEvaluationTables(const KeyTable& keys, EvaluationTables& tables) {
  tables.keys = keys;
  tables.transitions.resize(kKeyPairs);
  // Each key's stroke, worked out once rather than once per pair it is in.
  std::array<Stroke, 256> strokes;
  std::array<Before, kNoKey + 1> befores;
  for (int key = 0; key <= kNoKey; ++key) {
    if (key < 256) strokes[key] = strokeOf(keys[key]);
    befores[key] = beforeOf(keys, key);
  }
  KeyTransition* transitions = tables.transitions.data();
  // The cell of `current` after `previous`; previous -1 works out what any
  // other keystroke before, leaving the same, gives.
  const auto cell = [&](int previous, const Before& before, int current) {
    const Step step = stepFrom(strokes[current], before, previous, current);
    KeyTransition t;
    t.flags = static_cast<std::uint8_t>(
        (step.leftRunGoesOn ? kLeftRunGoesOn : 0) | (step.rightRunGoesOn ? kRightRunGoesOn : 0) |
        (step.leftSameFinger != kNoFinger ? kLeftSameFinger : 0) |
        (step.rightSameFinger != kNoFinger ? kRightSameFinger : 0) | (step.sameKey ? kSameKey : 0) |
        ((current == kUntreatedMarker ||
          (current == previous && (current == ' ' || current == '\n')))
             ? kNoStroke
             : 0));
    t.leftFinger = static_cast<std::int8_t>(step.leftSameFinger);
    t.rightFinger = static_cast<std::int8_t>(step.rightSameFinger);
    t.keyFinger = static_cast<std::int8_t>(step.key.finger);
    return t;
  };
  const auto transition = [&](int previous, int current) {
    transitions[previous * 256 + current] = cell(previous, befores[previous], current);
  };
  // Likewise a cell depends on the keystroke itself only through its hand,
  // finger and Shift, and whether it is the marker, but for the cell of the
  // very key before: the columns fall into a few dozen kinds, and a row is
  // worked out kind by kind.
  std::array<std::uint8_t, 256> columnKind;
  std::array<int, 256> kindColumn;  // a column of each kind
  int kinds = 0;
  {
    std::array<int, 128> kindOf;
    kindOf.fill(-1);
    for (int current = 0; current < 256; ++current) {
      const Stroke& k = strokes[current];
      const int tag = ((k.finger * 3 + k.shiftHand + 1) * 2 + (k.hand > 0 ? 1 : 0)) * 2 +
                      (current == kUntreatedMarker ? 1 : 0);
      if (kindOf[tag] < 0) {
        kindOf[tag] = kinds;
        kindColumn[kinds++] = current;
      }
      columnKind[current] = static_cast<std::uint8_t>(kindOf[tag]);
    }
  }
  std::array<KeyTransition, 256> kindCells;
  // A row depends on the keystroke before only through what it leaves
  // (finger and Shift) and, in the cell of that very key, through the same
  // key and a repeated space or line feed. Most rows share what they leave
  // with an earlier one (every byte without key data, every key of a finger
  // and Shift), so such a row is the earlier row copied, with the two cells
  // that name either key worked out afresh.
  std::array<int, kNoKey + 1> shapes{};  // the rows worked out whole
  int shapeCount = 0;
  for (int previous = 0; previous <= kNoKey; ++previous) {
    const Before& before = befores[previous];
    int like = -1;
    for (int i = 0; i < shapeCount && like < 0; ++i) {
      const Before& other = befores[shapes[i]];
      if (other.finger == before.finger && other.shiftSlot == before.shiftSlot &&
          other.shiftHand == before.shiftHand) {
        like = shapes[i];
      }
    }
    if (like < 0) {
      shapes[shapeCount++] = previous;
      for (int kind = 0; kind < kinds; ++kind) kindCells[kind] = cell(-1, before, kindColumn[kind]);
      KeyTransition* row = transitions + previous * 256;
      for (int current = 0; current < 256; ++current) row[current] = kindCells[columnKind[current]];
      if (previous < 256) transition(previous, previous);
      continue;
    }
    std::memcpy(transitions + previous * 256, transitions + like * 256,
                256 * sizeof(KeyTransition));
    transition(previous, like);
    if (previous < 256) transition(previous, previous);
  }
}

bool samePairCounts(const EvaluationState& a, const EvaluationState& b) {
  if (a.pairCounts.size() != b.pairCounts.size() || a.pairRows != b.pairRows) return false;
  if (a.pairCounts.size() != kKeyPairs) return a.pairCounts == b.pairCounts;
  bool same = true;
  forEachPairRow(a.pairRows, [&](int row) {
    const std::size_t at = static_cast<std::size_t>(row) * 256;
    same = same && std::memcmp(a.pairCounts.data() + at, b.pairCounts.data() + at,
                               256 * sizeof(Count)) == 0;
  });
  return same;
}

bool EvaluationState::operator==(const EvaluationState& other) const {
  return previous == other.previous && leftRunLength == other.leftRunLength &&
         rightRunLength == other.rightRunLength && leftSameFingerRun == other.leftSameFingerRun &&
         rightSameFingerRun == other.rightSameFingerRun && leftRunFinger == other.leftRunFinger &&
         rightRunFinger == other.rightRunFinger && sameKeyRepeat == other.sameKeyRepeat &&
         sameKeyFinger == other.sameKeyFinger && endedOneHandRuns == other.endedOneHandRuns &&
         endedSameFingerRuns == other.endedSameFingerRuns &&
         endedSameKeyRuns == other.endedSameKeyRuns && samePairCounts(*this, other);
}

void clearMarkedRows(std::vector<Count>& table, const PairRows& rows) {
  forEachPairRow(rows, [&table](int row) {
    std::memset(table.data() + static_cast<std::size_t>(row) * 256, 0, 256 * sizeof(Count));
  });
}

void restartEvaluation(EvaluationState& state) {
  std::vector<Count> pairCounts = std::move(state.pairCounts);
  // Only the rows that hold a count (a table that is not whole, such as one
  // moved away, is cleared whole).
  if (pairCounts.size() == kKeyPairs) {
    clearMarkedRows(pairCounts, state.pairRows);
  } else if (!pairCounts.empty()) {
    std::memset(pairCounts.data(), 0, pairCounts.size() * sizeof(Count));
  }
  state = EvaluationState{.pairCounts = std::move(pairCounts)};
}

void evaluateKeys(const EvaluationTables& tables, EvaluationState& state, const unsigned char* keys,
                  std::size_t length) {
  const KeyTransition* transitions = tables.transitions.data();
  Count* pairs = state.pairCounts.data();
  // The run state lives in locals: the pair counts must not be thought to alias it.
  int previous = state.previous;
  Count leftRun = state.leftRunLength, rightRun = state.rightRunLength;
  Count leftFingerRun = state.leftSameFingerRun, rightFingerRun = state.rightSameFingerRun;
  int leftFinger = state.leftRunFinger, rightFinger = state.rightRunFinger;
  Count keyRepeat = state.sameKeyRepeat;
  int keyFinger = state.sameKeyFinger;
  bool fingerRunsGoing = (leftFingerRun | rightFingerRun | keyRepeat) != 0;
  auto& fingerRuns = state.endedSameFingerRuns;
  auto& keyRuns = state.endedSameKeyRuns;

  // Hands alternate too irregularly for a branch to guess where a one-hand run
  // ends. So at every stroke at which a hand's run does not go on, the length
  // the run had is logged (255 when there was none), and the log is sorted
  // into the histogram after each chunk, in four lanes so that runs of equal
  // length (most are one or two strokes long) do not wait on each other.
  constexpr std::size_t kChunk = 4096;
  constexpr int kNoRun = 255;
  std::uint8_t leftEnds[kChunk];
  std::uint8_t rightEnds[kChunk];
  auto sortRunEnds = [&state](const std::uint8_t* ends, std::size_t count, int hand) {
    std::uint32_t lanes[4][256] = {};
    std::size_t i = 0;
    for (; i + 4 <= count; i += 4) {
      ++lanes[0][ends[i]];
      ++lanes[1][ends[i + 1]];
      ++lanes[2][ends[i + 2]];
      ++lanes[3][ends[i + 3]];
    }
    for (; i < count; ++i) ++lanes[0][ends[i]];
    for (int b = 0; b < kRunBuckets; ++b) {
      state.endedOneHandRuns[hand][b] += lanes[0][b] + lanes[1][b] + lanes[2][b] + lanes[3][b];
    }
  };
  constexpr std::uint8_t kFingerFlags = kLeftSameFinger | kRightSameFinger | kSameKey;
  static_assert(kRunBuckets <= kNoRun);
  // The rows counted in, marked with one store per keystroke and folded into
  // the state's row bits at the end.
  std::uint8_t rowCounted[kNoKey + 1] = {};

  for (std::size_t chunk = 0; chunk < length; chunk += kChunk) {
    const std::size_t chunkEnd = std::min(length, chunk + kChunk);
    std::size_t leftEnded = 0, rightEnded = 0;
    for (std::size_t p = chunk; p < chunkEnd; ++p) {
      const int current = keys[p];
      const std::size_t pair = static_cast<std::size_t>(previous) * 256 + current;
      const KeyTransition& t = transitions[pair];
      const std::uint8_t flags = t.flags;
      if (flags & kNoStroke) {
        // A marker breaks the stroke sequence; a repeated space or line feed
        // is no stroke at all.
        if (current == kUntreatedMarker) previous = kNoKey;
        continue;
      }
      ++pairs[pair];
      rowCounted[previous] = 1;
      previous = current;

      const unsigned leftOn = flags & kLeftRunGoesOn;
      const unsigned rightOn = (flags >> 1) & 1;
      leftEnds[leftEnded] =
          static_cast<std::uint8_t>(std::min<Count>(leftRun - 1, kRunBuckets - 1));
      leftEnded += leftOn ^ 1;
      leftRun = (leftRun + 1) & -static_cast<Count>(leftOn);
      rightEnds[rightEnded] =
          static_cast<std::uint8_t>(std::min<Count>(rightRun - 1, kRunBuckets - 1));
      rightEnded += rightOn ^ 1;
      rightRun = (rightRun + 1) & -static_cast<Count>(rightOn);

      // Same-finger and same-key strokes are few: skip their bookkeeping
      // unless this keystroke is one or ends a run of them.
      if ((flags & kFingerFlags) == 0 && !fingerRunsGoing) continue;
      if (flags & kLeftSameFinger) {
        if (leftFingerRun++ == 0) leftFinger = t.leftFinger;
      } else if (leftFingerRun != 0) {
        ++fingerRuns[leftFinger][bucket(leftFingerRun)];
        leftFingerRun = 0;
      }
      if (flags & kRightSameFinger) {
        if (rightFingerRun++ == 0) rightFinger = t.rightFinger;
      } else if (rightFingerRun != 0) {
        ++fingerRuns[rightFinger][bucket(rightFingerRun)];
        rightFingerRun = 0;
      }
      if (flags & kSameKey) {
        if (keyRepeat++ == 0) keyFinger = t.keyFinger;
      } else if (keyRepeat != 0) {
        ++keyRuns[keyFinger][bucket(keyRepeat)];
        keyRepeat = 0;
      }
      fingerRunsGoing = (leftFingerRun | rightFingerRun | keyRepeat) != 0;
    }
    sortRunEnds(leftEnds, leftEnded, 0);
    sortRunEnds(rightEnds, rightEnded, 1);
  }
  for (int row = 0; row <= kNoKey; ++row) {
    if (rowCounted[row] != 0) markPairRow(state.pairRows, row);
  }
  state.previous = previous;
  state.leftRunLength = leftRun;
  state.rightRunLength = rightRun;
  state.leftSameFingerRun = leftFingerRun;
  state.rightSameFingerRun = rightFingerRun;
  state.leftRunFinger = leftFinger;
  state.rightRunFinger = rightFinger;
  state.sameKeyRepeat = keyRepeat;
  state.sameKeyFinger = keyFinger;
}

KeystrokeCounts keyPairKeystrokeCounts(const KeyTable& keys, const std::vector<Count>& pairCounts) {
  KeystrokeCounts c;
  forEachTypedPair(pairCounts, [&](int previous, int current, Count n) {
    countKeyPair(keys, previous, current, n, c);
  });
  return c;
}

KeystrokeCounts keystrokeCounts(const EvaluationTables& tables, const EvaluationState& state) {
  KeystrokeCounts c;
  // (A table moved away, or not yet made, holds no pairs.)
  if (state.pairCounts.size() == kKeyPairs) {
    forEachTypedPair(state.pairCounts, state.pairRows, [&](int previous, int current, Count n) {
      countKeyPair(tables.keys, previous, current, n, c);
    });
  }
  setRunCounts(state, c);
  return c;
}

void setRunCounts(const EvaluationState& state, KeystrokeCounts& c) {
  // Runs still open at the end count at the length they reached.
  c.oneHandRuns = state.endedOneHandRuns;
  c.sameFingerRuns = state.endedSameFingerRuns;
  c.sameKeyRuns = state.endedSameKeyRuns;
  if (state.leftRunLength != 0) ++c.oneHandRuns[0][bucket(state.leftRunLength - 1)];
  if (state.rightRunLength != 0) ++c.oneHandRuns[1][bucket(state.rightRunLength - 1)];
  if (state.leftSameFingerRun != 0)
    ++c.sameFingerRuns[state.leftRunFinger][bucket(state.leftSameFingerRun)];
  if (state.rightSameFingerRun != 0)
    ++c.sameFingerRuns[state.rightRunFinger][bucket(state.rightSameFingerRun)];
  if (state.sameKeyRepeat != 0) ++c.sameKeyRuns[state.sameKeyFinger][bucket(state.sameKeyRepeat)];
}

PairStrokes pairStrokes(const KeyTable& keys, int previous, int current) {
  const Step step = stepOf(keys, previous, current);
  PairStrokes p;
  p.sameFinger =
      (step.leftSameFinger != kNoFinger ? 1 : 0) + (step.rightSameFinger != kNoFinger ? 1 : 0);
  p.sameKey = step.sameKey;
  p.shiftPressed = step.shiftPressed;
  p.shiftHand = step.shiftPressed ? step.key.shiftHand : 0;
  p.viaShift = step.keyAfterShiftHand != 0 || step.shiftAfterKey;
  return p;
}

KeystrokeCounts evaluateKeyStream(const KeyTable& keys, std::string_view stream) {
  const EvaluationTables tables = makeEvaluationTables(keys);
  EvaluationState state;
  evaluateKeys(tables, state, reinterpret_cast<const unsigned char*>(stream.data()), stream.size());
  return keystrokeCounts(tables, state);
}

}  // namespace kbeval
