// Exact scores of every layout that moves the keys of a start layout.
//
// A layout that differs from the start layout by a permutation of its keys
// (what key b typed, key sigma[b] now types) types the text as the start
// layout's key stream with every key byte renamed. Every counter of the
// keystroke report but the run histograms depends only on (previous,
// current) keystroke pairs, and the same-finger skipgrams only on skip
// pairs, so one pass over the sample with the start layout gives the exact
// counts of every candidate.
//
// Some stream bytes do not come from the layout's keys and never move:
// space, line feed, the untreated marker, bytes without key data, and the
// plain quote keys typed for the typographic quotes. The start pass types
// those quotes as stand-in bytes of their own, so that a fixed quote is never
// taken for the layout's own quote key; each stand-in is then scored as the
// byte it stands for.
//
// The stroke figures on a board (layout_objective.h) are pair counts too: a
// key pair is one or two pairs of strokes (a Shift press between), each
// counted by the keys and fingers it strokes, so they join the features below;
// their efforts and distances are whole numbers of millionths, summed in
// integers where they outgrow a double's exact range. The triple figures are
// not counted: a triple of strokes spans up to three key bytes.
//
// A swap of two keys changes only the rows and columns of the slots they
// touch, so a candidate is scored in time linear in the number of keys used,
// whatever the sample's size. Counts are held as doubles holding integers,
// exact while the sample has fewer than 2^52 keystrokes.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "keystrokes/key_table.h"
#include "keystrokes/keystroke_counts.h"
#include "layouts/layout_record.h"
#include "optimize/layout_objective.h"
#include "optimize/skip_pairs.h"

namespace kbeval {

// sigma[b]: the key byte that types what key byte b typed on the start layout.
using KeyPermutation = std::array<unsigned char, 256>;

KeyPermutation identityPermutation();

// The start layout's typing of the sample, over symbols: key bytes, and the
// stand-ins of the fixed quotes.
struct SymbolCounts {
  std::vector<Count> pairs = std::vector<Count>(kKeyPairs);      // previous * 256 + current
  std::vector<Count> skipPairs = std::vector<Count>(256 * 256);  // first * 256 + third
  // The rows of each table that hold a count; every other row is zero.
  PairRows pairRows{}, skipRows{};
  std::vector<KeyTriple> triples;
  std::array<int, 256> fixedByte{};  // per stand-in: the byte it stands for; -1 for others
  Count syllables = 0;
};

// Stand-in bytes for the typographic quotes: bytes without key data that no
// key string of the layout holds. nullopt when the layout leaves none free.
struct QuoteStandIns {
  unsigned char single = 0;
  unsigned char double_ = 0;
};
std::optional<QuoteStandIns> quoteStandIns(const LayoutRecord& layout, const KeyTable& keys);

// The byte a symbol types under sigma.
inline int symbolByte(const SymbolCounts& counts, const KeyPermutation& sigma, int symbol) {
  if (symbol == kNoKey) return kNoKey;
  return counts.fixedByte[symbol] >= 0 ? counts.fixedByte[symbol] : sigma[symbol];
}

// Calls `visit(first, second, count)` for every pair (or skip pair) of
// symbols the start layout typed.
template <typename Visit>
void forEachSymbolPair(const SymbolCounts& counts, Visit visit) {
  forEachTypedPair(counts.pairs, counts.pairRows, visit);
}
template <typename Visit>
void forEachSymbolSkipPair(const SymbolCounts& counts, Visit visit) {
  forEachTypedPair(counts.skipPairs, counts.skipRows, visit);
}

// The pair counts (kKeyPairs) and skip pairs the permuted layout types, in key bytes.
std::vector<Count> permutedPairCounts(const SymbolCounts& counts, const KeyPermutation& sigma);
std::vector<Count> permutedSkipPairs(const SymbolCounts& counts, const KeyPermutation& sigma);

// What the permuted layout counts, worked out plainly from those tables;
// with a board, the stroke figures too.
ObjectiveCounts permutedObjectiveCounts(const KeyTable& keys, const SymbolCounts& counts,
                                        const KeyPermutation& sigma,
                                        const ObjectiveBoard* board = nullptr);

// The moves a search may make: units of key bytes that move together, and
// the pairs of units that may swap (a unit's k-th byte trades places with
// the other's k-th byte).
//
// By default what moves is the jamo: every key byte (a key's level) that
// types a jamo and no digit, sign or symbol is a unit of its own, so jamo
// trade places, across Shift levels too, while digits, signs and symbols keep
// their keys and levels. With `moveKeys`, keys move whole with both levels
// (or as single characters with `swapLevels`), whatever they type.
struct KeyMoveOptions {
  std::string pinned;                  // characters of keys that never move
  std::optional<std::string> allowed;  // when set: only these keys move
  bool keepHands = true;               // swap only keys of the same hand
  bool swapLevels = false;             // with moveKeys: single characters, across levels
  bool moveKeys = false;               // move keys whole, not jamo
  std::string pinnedJamo;              // UTF-8 compatibility jamo, comma-separated
  bool numberRow = false;              // jamo may move onto and off the number row
};

struct KeyMoveSet {
  std::vector<std::array<unsigned char, 2>> units;  // second byte 0 for a one-byte unit
  std::vector<std::array<int, 2>> swaps;            // unit indices
};

// The key bytes that type a jamo (in the jamo tables), and those that type a
// digit, sign or symbol.
std::array<bool, 256> jamoBytes(const LayoutRecord& layout);
std::array<bool, 256> signBytes(const LayoutRecord& layout);

// The move set of a layout. False, with `error` set, for a key named that no
// board key is, a key both pinned and allowed, or nothing left to swap.
bool makeKeyMoveSet(const LayoutRecord& layout, const KeyTable& keys, const KeyMoveOptions& options,
                    KeyMoveSet& moves, std::string& error);

// Drops the swaps that would put a character on a key `board` lacks, or on a
// shifted level whose Shift key it lacks.
void keepMovesOnBoard(const Board& board, KeyMoveSet& moves);

struct SparseTerm {
  std::uint16_t slot = 0;
  std::int16_t difference = 0;
};
// For features whose values outgrow SparseTerm (distances in millionths).
struct WideTerm {
  std::uint32_t slot = 0;
  std::int32_t difference = 0;
};

// The tables shared by every search over one start layout.
struct PermutationScorer {
  int slots = 0;  // slot 0 is "no keystroke before"
  // Slots of one class (one finger, one Shift) count alike against most
  // others, so a row of flows ends with its sums by class: a swap's change
  // reads one sum where it would read every slot of a finger.
  int classes = 0;
  std::vector<int> slotClass;   // by slot
  int stride = 0;               // row length of the matrices: slots, then class sums, rounded up
  std::vector<int> slotByte;    // the key byte a slot types (kNoKey for slot 0)
  std::vector<int> slotKey;     // its physical key, or -1
  std::vector<int> symbolSlot;  // by symbol byte; -1 for symbols never used
  // Per swap: the slots it exchanges, in pairs (at most two pairs).
  std::vector<std::array<int, 4>> swapSlots;
  std::vector<int> swapSlotCount;
  // Pair features (what a pair of slots counts); only those that some swap
  // can change are kept (the others keep their start totals).
  struct Feature {
    int kind = 0;  // which count it adds to
    bool onSkipPairs = false;
    // Per swap, moved slot and side (its row, then its column): where the
    // feature differs between the slot and its target, by class (an index
    // past the slots: the class's sum) or by slot where a slot differs from
    // its class. A swap's change is a sum over these alone, which are few.
    std::vector<SparseTerm> terms;
    std::vector<std::uint32_t> termStart;  // (swap * 4 + moved slot) * 2 + side
    // Per swap and pair (i, j) of its moved slots (swap * 16 + i * 4 + j):
    // how the pair's value changes when both move, beyond the sums' account.
    std::vector<double> movedPairChange;
  };
  std::vector<Feature> features;
  // Their movedPairChange, swap by swap ((swap * features + feature) * 16 +
  // i * 4 + j): small whole numbers, close together for the caches.
  std::vector<std::int8_t> movedPairChanges;
  // Their terms, swap by swap: a swap's terms of every feature lie together.
  // packedStart[(swap * features + feature) * 8 + k] begins segment k
  // ((moved slot) * 2 + side); the next entry ends it.
  std::vector<SparseTerm> packedTerms;
  std::vector<std::uint32_t> packedStart;
  // The same for features of large values: their sums are taken in integers.
  struct WideFeature {
    int kind = 0;
    std::vector<WideTerm> terms;
    std::vector<std::uint32_t> termStart;
    std::vector<Count> movedPairChange;
  };
  std::vector<WideFeature> wideFeatures;
  // With a board: the stroke figures are counted, a Shift press adding its
  // key's effort (millionths; left, right).
  bool strokeFigures = false;
  std::array<Count, 2> shiftEffortUnits{};
  // Counts that depend on the current keystroke alone, by slot.
  std::vector<ObjectiveCounts> unigram;
  // Per swap and pair of slots it exchanges (x, y): unigram[y] - unigram[x].
  std::vector<ObjectiveCounts> unigramChange;
  // With a board, the triple figures (redirects). A triple of strokes spans
  // up to three keystrokes, so they come from the sample's key triples, in
  // start slots, each listed under the slots it holds. What a triple counts
  // depends only on each slot's class for triples (its key's finger and the
  // Shift it needs), so a table by classes gives it. A swap's change sums the
  // triples of the keys it moves: too many to sum for every candidate, so
  // with both triple weights at 0 the search leaves them out and counts them
  // afresh for the layouts it returns (countTriples).
  struct TripleTables {
    int classes = 0;                                  // class 0: a break (slot 0)
    std::vector<std::uint8_t> slotClass;              // by slot
    std::vector<std::array<std::uint16_t, 3>> slots;  // by triple: its start slots
    std::vector<Count> counts;                        // by triple
    // What a triple of classes counts, (a * classes + b) * classes + c, packed
    // in a byte (triples | redirects << 2 | bad redirects << 4, none above
    // 2), small enough for the first-level cache. Only the class triples a
    // search can meet are worked out; the rest stay 0, never read.
    std::vector<std::uint8_t> packed;
    // Per start slot, the triples holding it, copied in a row: a swap reads
    // them in order.
    struct Record {
      std::array<std::uint16_t, 3> slots{};
      Count count = 0;
    };
    std::vector<std::uint32_t> recordStart;
    std::vector<Record> records;
    bool scored = false;  // in every candidate's score
  };
  TripleTables triples;
  std::vector<double> startPairs, startSkipPairs;  // slot-space flows at the start
  ObjectiveCounts startCounts;
  ObjectiveWeights weights{};
};

// Builds the tables into `scorer`. The stand-ins in `counts` must lie
// outside the move set. The tables check themselves against the plain
// counts; false, with `error` saying which check failed, when they disagree
// (a fault of this code, never of the input).
bool makePermutationScorer(const KeyTable& keys, const SymbolCounts& counts,
                           const KeyMoveSet& moves, const ObjectiveWeights& weights,
                           PermutationScorer& scorer, std::string& error);
// The same with the stroke figures of `board` (none when null).
bool makePermutationScorer(const KeyTable& keys, const ObjectiveBoard* board,
                           const SymbolCounts& counts, const KeyMoveSet& moves,
                           const ObjectiveWeights& weights, PermutationScorer& scorer,
                           std::string& error);

// One search's current candidate: the flows permuted by the swaps made so far.
struct ScorerState {
  // Slot-space flows and their transposes, each row followed by its sums by class.
  std::vector<double> pairs, pairsT, skips, skipsT;
  std::vector<double> strokes;            // per slot: keystrokes typed there
  std::vector<int> occupant;              // per slot: the start slot whose keys it holds
  std::vector<int> displaced;             // per physical key: its slots holding another's keys
  std::vector<std::uint8_t> tripleClass;  // per start slot: the class of the slot holding it
  int movedKeys = 0;                      // physical keys that differ from the start
  // The candidate's counts; the triple figures only while they are scored,
  // else the start layout's (countTriples gives the candidate's).
  ObjectiveCounts counts;
  double score = 0;
};

ScorerState startScorerState(const PermutationScorer& scorer);

// The counts of the candidate after swap `swap`, and its score.
double swapScore(const PermutationScorer& scorer, const ScorerState& state, int swap,
                 ObjectiveCounts& counts);

// How many physical keys differ from the start after swap `swap`.
int movedKeysAfterSwap(const PermutationScorer& scorer, const ScorerState& state, int swap);

// Makes swap `swap`, whose counts swapScore gave.
void applySwap(const PermutationScorer& scorer, ScorerState& state, int swap,
               const ObjectiveCounts& counts);

// Sets the triple figures of `counts` to those of the candidate whose slots
// hold `occupant` (ScorerState::occupant), counted afresh.
void countTriples(const PermutationScorer& scorer, const std::vector<int>& occupant,
                  ObjectiveCounts& counts);

// How many physical keys type something else under sigma than at the start.
int keysMoved(const KeyPermutation& sigma);

// The permutation of key bytes of a candidate whose slots hold `occupant`
// (ScorerState::occupant).
KeyPermutation scorerPermutation(const PermutationScorer& scorer, const std::vector<int>& occupant);

}  // namespace kbeval
