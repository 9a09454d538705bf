// The optimiser's objective: a weighted sum of figures of how a layout types
// a text, lower being better. The first figures come from the keystroke
// report's counts; every one but the first is a share of the keystrokes (0 to
// 1), so that weights compare like with like:
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
// The others are the stroke figures on the board (keystrokes/stroke_figures.h:
// the stroke sequence, where a Shift press is a stroke of its Shift key). The
// pair figures are shares of the sequence's pairs, so they too run from 0 to 1:
//
//   alternation   pairs on one hand (or a thumb's): 1 - the alternating share
//   roll-in       pairs on one hand, the second finger nearer the index
//   roll-out      pairs on one hand, the second finger farther from it
//   same-finger-distance  key widths travelled by same-finger pairs, per pair
//                 of all pairs (their share times their mean distance: a
//                 mean over same-finger pairs alone would reward adding
//                 short ones)
//   scissor       adjacent fingers two rows or more apart
//   lateral       adjacent fingers two key widths or more apart
//   effort        the board's effort per stroke
//
// The triple figures are shares of the sequence's triples:
//
//   redirect      one-hand triples that change direction, no finger twice
//   bad-redirect  redirects without an index-finger stroke
//
// The figures are worked out from exact counts only, so a candidate scored
// from pair counts and the same layout evaluated in full score the same.
// Efforts and distances are counted in millionths (of an effort unit, of a
// key width), whole numbers, for that reason.
#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "keystrokes/board.h"
#include "keystrokes/keystroke_counts.h"
#include "keystrokes/stroke_walk.h"

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
  kAlternationTerm,
  kRollInTerm,
  kRollOutTerm,
  kSameFingerDistanceTerm,
  kScissorTerm,
  kLateralTerm,
  kEffortTerm,
  kRedirectTerm,
  kBadRedirectTerm,
  kObjectiveTerms
};

// The first of the stroke figures' terms.
inline constexpr int kFirstStrokeTerm = kAlternationTerm;

inline constexpr std::array<std::string_view, kObjectiveTerms> kObjectiveTermNames = {
    "keystrokes",   "shift",   "same-finger", "same-key", "skipgram",    "finger-load",
    "hand-balance", "rows",    "alternation", "roll-in",  "roll-out",    "same-finger-distance",
    "scissor",      "lateral", "effort",      "redirect", "bad-redirect"};

using ObjectiveWeights = std::array<double, kObjectiveTerms>;

// The default weights: the cost of each event against one plain keystroke
// (the README explains each).
inline constexpr ObjectiveWeights kDefaultWeights = {0.1, 1.0,  6.0, 0.5, 2.0, 1.0, 0.5, 0.5, 0.5,
                                                     0.0, 0.25, 1.0, 1.0, 1.0, 0.5, 0.0, 0.0};

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
  // The stroke figures on the board (all 0 for an objective without one).
  Count strokes = 0;      // strokes of the sequence
  Count strokePairs = 0;  // its pairs (none across a break)
  Count alternation = 0, rollIn = 0, rollOut = 0, scissor = 0, lateral = 0;
  Count distanceUnits = 0;  // same-finger pairs' distances, in millionths of a key width
  Count effortUnits = 0;    // the strokes' effort, in millionths
  Count strokeTriples = 0;  // its triples (none across a break)
  Count redirect = 0, badRedirect = 0;

  bool operator==(const ObjectiveCounts&) const = default;
};

ObjectiveCounts objectiveCounts(const KeystrokeCounts& counts, Count skipgrams, Count syllables);

// Efforts and distances count in millionths, as whole numbers.
inline constexpr double kStrokeUnitsPerOne = 1e6;
// The largest effort and distance from the origin the stroke figures take,
// so that their sums in millionths stay far from overflowing.
inline constexpr double kMostObjectiveEffort = 100, kMostObjectivePosition = 100;

// A board as the objective's stroke figures read it: the strokes of every key
// byte (on ansi with the layout's fingering), and each key's effort in millionths.
struct ObjectiveBoard {
  StrokeTables tables;
  std::array<Count, kStrokeIds> effortUnits{};
};

// False, with `error` naming the key, for an effort or a position beyond the
// bounds above.
bool makeObjectiveBoard(const Board& board, const KeyTable& keys, ObjectiveBoard& objective,
                        std::string& error);

// The distance between the centres of two keys, in millionths of a key width.
Count distanceUnits(const ObjectiveBoard& board, int a, int b);

// Adds `n` stroke pairs: stroke `a` (kBreakId after a break) then stroke `b`.
void addStrokePair(const ObjectiveBoard& board, int a, int b, Count n, ObjectiveCounts& counts);

// Adds the stroke figures of a table of key-pair counts (previous * 256 +
// current, as the keystroke walk counts them) typed with `keys`.
void addKeyPairStrokeCounts(const ObjectiveBoard& board, const KeyTable& keys,
                            std::span<const Count> pairCounts, ObjectiveCounts& counts);
// The same, visiting only the rows marked in `rows` (the others must be zero),
// each key pair added where it stands rather than through a table of stroke pairs.
void addKeyPairStrokeCounts(const ObjectiveBoard& board, const KeyTable& keys,
                            std::span<const Count> pairCounts, const PairRows& rows,
                            ObjectiveCounts& counts);
// Adds the stroke figures of `n` key pairs: `current` after `previous`.
void addKeyPairStrokeFigures(const ObjectiveBoard& board, const KeyTable& keys, int previous,
                             int current, Count n, ObjectiveCounts& counts);
// The same from the pair's stroke ids: the Shift press it needs, then its key.
void addKeyPairStrokeFigures(const ObjectiveBoard& board, const KeyPairStrokeIds& ids, Count n,
                             ObjectiveCounts& counts);
// The same from the stroke pairs (StrokeCounts::pairs) those key pairs stroke.
void addStrokePairCounts(const ObjectiveBoard& board, const StrokeCounts& strokes,
                         ObjectiveCounts& counts);

// The unweighted figures, by ObjectiveTerm.
std::array<double, kObjectiveTerms> objectiveFigures(const ObjectiveCounts& counts);

double objectiveScore(const ObjectiveCounts& counts, const ObjectiveWeights& weights);

// Reads "name=value,..." over `weights`. False, with `error` naming the first
// bad item (unknown name, value not a number, negative, infinite or NaN).
bool parseObjectiveWeights(std::string_view text, ObjectiveWeights& weights, std::string& error);

// "keystrokes=0.1,shift=1,...": weights as --weights reads them.
std::string formatObjectiveWeights(const ObjectiveWeights& weights);

}  // namespace kbeval
