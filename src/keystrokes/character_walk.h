// The evaluation walked character by character instead of keystroke by
// keystroke.
//
// A character's keys are fixed for a layout, and of all they do only their
// first keystroke depends on the text before: its pair with the keystroke
// before it, and whether it carries on the runs going. So, per layout and
// character code, what the keystrokes after the first do is worked out once:
// how each run going into them (one-hand, same-finger, same-key) grows or
// ends, what run is left going at the character's end, and which keystroke
// the next character follows. The walk does the first keystroke's transition
// and applies that summary. The pairs of keystrokes inside a character, and
// the runs that begin and end inside one, depend on nothing else, so they are
// added once at the end from how often each character came.
//
// The counts equal those of walking, keystroke by keystroke, the key stream
// the characters type (collapsed spaces and line feeds, untreated markers,
// characters without keys and key strings of any length included), and any
// cut of the characters into pieces gives the counts of the whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "keystrokes/keystroke_counts.h"

namespace kbeval {

// What a character's keystrokes after its first do to one run.
struct RunInside {
  std::uint16_t grow = 0;       // keystrokes that carry on the run going in (saturating)
  std::uint16_t trail = 0;      // when that run ends inside: the run going at the end
  std::int8_t growFinger = 0;   // finger slot of a same-finger or same-key run they begin
  std::int8_t trailFinger = 0;  // finger slot of the trailing run
  std::uint8_t ends = 0;        // the run going in ends inside the character
};

struct FingerRunsInside {
  RunInside left, right, sameKey;  // same-finger runs by hand, and the same-key run
};

// One character code on one layout: what the walk reads for every character.
// The one-hand runs are held side by side in one 32-bit word, the left run's
// length in the low half and the right run's in the high half, so that one
// addition moves both.
struct CharacterStrokes {
  std::uint8_t first = 0;           // its first key
  std::uint8_t flags = 1;           // the kCharacter... bits below
  std::uint16_t last = kNoKey;      // the keystroke the next character follows
  std::uint32_t runsGrow = 0;       // how much each run going in grows (RunInside::grow)
  std::uint32_t runsEndInside = 0;  // all ones in the half of each run that ends inside
  std::uint32_t runsTrail = 0;      // there: the run going at the end (RunInside::trail)
};
inline constexpr std::uint8_t kCharacterTypesNothing = 1,
                              kCharacterEndsRun = 2,  // a one-hand run ends inside
    kCharacterFingersInside = 8,                      // same-finger or same-key strokes
    kCharacterStrokesInside = 16;                     // keystrokes after the first

// Halves of the word of one-hand runs, and the length a run is held below:
// histograms stop at kRunBuckets - 1, so all longer runs count alike.
inline constexpr std::uint32_t kLeftHalf = 0xFFFF, kRightHalf = 0xFFFF0000;
inline constexpr Count kHeldRunLength = 1024;

// Character codes as the scan makes them: below 0x80, or from 0x8000 on (a
// code in between, which no character has, reads some other code's entry).
inline constexpr std::size_t kWalkCodes = 0x80 + 0x8000;
inline std::size_t walkIndex(std::uint16_t code) {
  return code - ((0 - (std::size_t{code} >> 15)) & (0x8000 - 0x80));
}

// One layout's summaries, by walkIndex of the character code.
struct CharacterWalk {
  std::vector<CharacterStrokes> characters;
  std::vector<std::uint16_t> fingerRunsIndex;  // into fingerRunsInside
  // Entry 0: keystrokes inside that end every same-finger and same-key run.
  std::vector<FingerRunsInside> fingerRunsInside;
  // The transitions in the form the walk reads, by previous * 256 + current:
  // the kStep... bits below.
  std::vector<std::uint8_t> steps;
};
// A keystroke that counts (not a repeated space or line feed, nor a marker),
// ends the left or the right one-hand run, or is a same-finger or same-key
// stroke. The last bit is kCharacterFingersInside's, so that one test looks
// at both.
inline constexpr std::uint8_t kStepCounts = 1, kStepEndsLeftRun = 2, kStepEndsRightRun = 4,
                              kStepFingers = kCharacterFingersInside;

// Works out the summaries from the keys of every character code
// (keysByCode[code]; codes beyond its end type nothing).
CharacterWalk makeCharacterWalk(const EvaluationTables& tables,
                                const std::vector<std::string_view>& keysByCode);

// Walks a piece of characters, given as character codes.
void walkCharacters(const CharacterWalk& walk, const EvaluationTables& tables,
                    EvaluationState& state, const std::uint16_t* codes, std::size_t count);

// Adds the keystrokes inside the characters: characterCounts[code] times the
// pairs and the wholly inside runs of each code's keys. Called once, after
// the last piece.
void addKeystrokesInside(const EvaluationTables& tables,
                         const std::vector<std::string_view>& keysByCode,
                         const std::vector<Count>& characterCounts, EvaluationState& state);

}  // namespace kbeval
