// The optimiser's objective: a weighted sum of figures of how a layout types
// a text, lower being better. Every figure but the first is a share of the
// keystrokes (0 to 1), so that weights compare like with like:
//
//   keystrokes    key presses and Shift presses per Hangul syllable
//   shift         Shift presses
//   same-finger   one finger pressing two different keys in a row
//   same-key      a key pressed again
//   skipgram      one finger on two different keys with one stroke between
//   finger-load   strokes of each finger beyond its comfort band (of the
//                 eight fingers' strokes; little fingers get the smallest band)
//   hand-balance  |left - right| over both hands' strokes
//   rows          strokes off the home row (the number row counting twice)
//
// The figures are worked out from exact counts only, so a candidate scored
// from pair counts and the same layout evaluated in full score the same.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "keystrokes/keystroke_counts.h"

namespace kbeval {

enum ObjectiveTerm {
  kKeystrokesTerm,
  kShiftTerm,
  kSameFingerTerm,
  kSameKeyTerm,
  kSkipgramTerm,
  kFingerLoadTerm,
  kHandBalanceTerm,
  kRowsTerm,
  kObjectiveTerms
};

inline constexpr std::array<std::string_view, kObjectiveTerms> kObjectiveTermNames = {
    "keystrokes", "shift",       "same-finger",  "same-key",
    "skipgram",   "finger-load", "hand-balance", "rows"};

using ObjectiveWeights = std::array<double, kObjectiveTerms>;

// The default weights: the cost of each event against one plain keystroke.
inline constexpr ObjectiveWeights kDefaultWeights = {0.1, 1.0, 6.0, 0.5, 2.0, 1.0, 0.5, 0.5};

// The comfort band of each finger slot: its largest share of the eight
// fingers' strokes that costs nothing (thumb slots unused).
inline constexpr std::array<double, kFingerSlots> kFingerComfortBands = {
    0.08, 0.11, 0.16, 0.20, 1.0, 1.0, 0.20, 0.16, 0.11, 0.08};

// The counts the figures are made of.
struct ObjectiveCounts {
  Count keyStrokes = 0;
  Count shiftStrokes = 0;
  Count sameFinger = 0;  // same-finger strokes on different keys
  Count sameKey = 0;
  Count skipgrams = 0;
  Count leftTotal = 0, rightTotal = 0;        // as the keystroke report sums them
  std::array<Count, kFingerSlots> fingers{};  // keystrokes plus Shift presses
  std::array<Count, kRows> rowKeys{};         // character keys by row
  Count syllables = 0;

  bool operator==(const ObjectiveCounts&) const = default;
};

ObjectiveCounts objectiveCounts(const KeystrokeCounts& counts, Count skipgrams, Count syllables);

// The unweighted figures, by ObjectiveTerm.
std::array<double, kObjectiveTerms> objectiveFigures(const ObjectiveCounts& counts);

double objectiveScore(const ObjectiveCounts& counts, const ObjectiveWeights& weights);

// Reads "name=value,..." over `weights`. False, with `error` naming the first
// bad item (unknown name, value not a number, negative, infinite or NaN).
bool parseObjectiveWeights(std::string_view text, ObjectiveWeights& weights, std::string& error);

// "keystrokes=0.1,shift=1,...": weights as --weights reads them.
std::string formatObjectiveWeights(const ObjectiveWeights& weights);

}  // namespace kbeval
