// The evaluation walked token by token instead of keystroke by keystroke. A
// token is whatever the text is cut into whose keys are fixed for a layout: a
// character, or a word with its separator; tokens are numbered, and a walk
// learns each number's keys once.
//
// Of all a token's keys do, only their first keystroke depends on the text
// before: its pair with the keystroke before it, and whether it carries on
// the runs going. So, per layout and token, what the keystrokes after the
// first do is worked out once: how each run going into them (one-hand,
// same-finger, same-key) grows or ends, what run is left going at the
// token's end, and which keystroke the next token follows. The walk does the
// first keystroke's transition and applies that summary. The pairs of
// keystrokes inside a token, and the runs that begin and end inside one,
// depend on nothing else, so they are added once at the end from how often
// each token came.
//
// The counts equal those of walking, keystroke by keystroke, the key stream
// the tokens type (collapsed spaces and line feeds, untreated markers,
// tokens without keys and key strings of any length included), and any cut
// of the tokens into pieces gives the counts of the whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "keystrokes/keystroke_counts.h"

namespace kbeval {

// What a token's keystrokes after its first do to one run.
struct RunInside {
  std::uint16_t grow = 0;       // keystrokes that carry on the run going in (saturating)
  std::uint16_t trail = 0;      // when that run ends inside: the run going at the end
  std::int8_t growFinger = 0;   // finger slot of a same-finger or same-key run they begin
  std::int8_t trailFinger = 0;  // finger slot of the trailing run
  std::uint8_t ends = 0;        // the run going in ends inside the token
};

struct FingerRunsInside {
  RunInside left, right, sameKey;  // same-finger runs by hand, and the same-key run
};

// One token on one layout: what the walk reads for every token.
// The one-hand runs are held side by side in one 32-bit word, the left run's
// length in the low half and the right run's in the high half, so that one
// addition moves both.
struct TokenStrokes {
  std::uint8_t first = 0;           // its first key, as TokenWalk numbers them
  std::uint8_t flags = 1;           // the kToken... bits below
  std::uint16_t lastRow = 0;        // the row of the keystroke the next token follows
  std::uint32_t runsGrow = 0;       // how much each run going in grows (RunInside::grow)
  std::uint32_t runsEndInside = 0;  // all ones in the half of each run that ends inside
  std::uint32_t runsTrail = 0;      // there: the run going at the end (RunInside::trail)
};
inline constexpr std::uint8_t kTokenTypesNothing = 1,
                              kTokenEndsRun = 2,  // a one-hand run ends inside
    kTokenLeavesFingerRun = 8,                    // a same-finger or same-key run
                                                  // begun inside goes on after it
    kTokenStrokesInside = 16;                     // keystrokes after the first

// Halves of the word of one-hand runs, and the length a run is held below:
// histograms stop at kRunBuckets - 1, so all longer runs count alike.
inline constexpr std::uint32_t kLeftHalf = 0xFFFF, kRightHalf = 0xFFFF0000;
inline constexpr Count kHeldRunLength = 1024;

// One layout's walk: the summaries of the tokens it knows, and the pairs of
// first keystrokes it has counted. The keys tokens begin with, and those
// they leave behind, are numbered as they come, so that the pairs fill a
// small table: entry row + first, row = (number of the key before) * width.
struct TokenWalk {
  std::vector<TokenStrokes> tokens;
  std::vector<std::uint16_t> fingerRunsIndex;  // by token, into fingerRunsInside
  // Entry 0: keystrokes inside that end every same-finger and same-key run.
  std::vector<FingerRunsInside> fingerRunsInside;
  std::vector<std::int16_t> firstNumber;  // by key: its number as a first key, or -1
  std::vector<std::int16_t> lastNumber;   // by key or kNoKey: its number as a key before, or -1
  std::vector<std::uint8_t> firstKeys;    // by number
  std::vector<std::uint16_t> lastKeys;    // by number
  std::size_t width = 0;                  // a power of two, at least firstKeys.size()
  // By row + first: the transition in the form the walk reads (the kStep...
  // bits below), and how often it was taken.
  std::vector<std::uint8_t> steps;
  std::vector<Count> pairs;
  // By row number (of lastKeys): the rows of `pairs` the walk may have
  // counted in, those of the keys the known tokens leave behind and of the
  // keys walks began after. Every other row is zero, so the end of a walk
  // and a restart visit only these.
  PairRows rowsUsed{};
};
// A keystroke that counts (not a repeated space or line feed, nor a marker),
// ends the left or the right one-hand run, or is a same-finger or same-key
// stroke. The last bit is kTokenLeavesFingerRun's, so that one test looks at
// both.
inline constexpr std::uint8_t kStepCounts = 1, kStepEndsLeftRun = 2, kStepEndsRightRun = 4,
                              kStepFingers = kTokenLeavesFingerRun;

// A walk that knows no token yet.
TokenWalk makeTokenWalk(const EvaluationTables& tables);

// Numbers the next token, whose keys are `keys`.
void addToken(TokenWalk& walk, const EvaluationTables& tables, std::string_view keys);

// Walks a piece of tokens (all numbered).
void walkTokens(TokenWalk& walk, const EvaluationTables& tables, EvaluationState& state,
                const std::uint16_t* tokens, std::size_t count);

// Adds the keystrokes inside a token with keys `keys` that came `times`
// times: their pairs and the runs wholly among them. Called once per token,
// after the last piece.
void addKeystrokesInside(const EvaluationTables& tables, std::string_view keys, Count times,
                         EvaluationState& state);

// Moves the pairs of first keystrokes the walk counted into the state's pairs.
void addFirstKeystrokes(TokenWalk& walk, EvaluationState& state);

// Empties the walk's counts for another text; it forgets its tokens.
void restartTokenWalk(TokenWalk& walk);

// Forgets the tokens and gives their memory back (but for a few hundred
// tokens' worth, which the next short text would only ask for again).
void releaseTokens(TokenWalk& walk);

}  // namespace kbeval
