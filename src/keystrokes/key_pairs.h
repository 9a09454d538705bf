// Per-key stroke counts and the most frequent same-finger and same-key pairs
// of one layout, worked out from the walk's (previous, current) pair counts
// (see keystroke_counts.h), so no second walk over the key stream is needed.
//
// They agree with the KeystrokeCounts of the same walk: the presses of all
// keys add up to keyStrokes and their Shift presses to shiftStrokes; over all
// pairs, the same-key strokes add up to sameKeyStrokes and the other
// same-finger strokes to leftSameFinger + rightSameFinger - sameKeyStrokes.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <vector>

#include "keystrokes/keystroke_counts.h"

namespace kbeval {

struct KeyUse {
  Count presses = 0;       // keystrokes of this key byte
  Count shiftPresses = 0;  // Shift presses made for it (a Shift held from before is not one)

  bool operator==(const KeyUse&) const = default;
};
using KeyUseTable = std::array<KeyUse, 256>;  // by key byte

// A pair of keystrokes typed one right after the other.
struct KeyPairCount {
  unsigned char first = 0;
  unsigned char second = 0;
  Count times = 0;        // how often `second` followed `first`
  Count strokes = 0;      // the same-finger (or same-key) strokes those made
  bool viaShift = false;  // the finger moved between a key and a Shift key

  bool operator==(const KeyPairCount&) const = default;
};

struct WorstPairs {
  std::vector<KeyPairCount> sameFinger;  // different keys, most strokes first
  std::vector<KeyPairCount> sameKey;     // one key repeated, most strokes first
};

// `pairCounts` is indexed previous * 256 + current (kKeyPairs entries).
KeyUseTable keyUse(const KeyTable& keys, std::span<const Count> pairCounts);

// The `howMany` pairs of each kind with the most strokes; ties go to the
// lower first key, then the lower second key.
WorstPairs worstPairs(const KeyTable& keys, std::span<const Count> pairCounts, std::size_t howMany);

}  // namespace kbeval
