// Skip pairs: how often each keystroke came two strokes after each other one,
// whatever stroke stood between them. They give the same-finger skipgrams
// (in Hangul typically an initial and a final around a vowel), which no pair
// of neighbouring keystrokes shows.
//
// The strokes are those the walk counts: a repeated space or line feed is no
// stroke, and an untreated marker breaks the sequence, so no skip pair spans
// it. Any cut of a key stream into pieces counts as the stream fed whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "keystrokes/keystroke_counts.h"

namespace kbeval {

inline constexpr std::size_t kSkipPairs = 256 * 256;

struct SkipPairState {
  int twoBefore = kNoKey;  // the stroke two strokes back, or kNoKey
  int before = kNoKey;     // the stroke just before, or kNoKey
  std::vector<Count> counts = std::vector<Count>(kSkipPairs);  // first * 256 + third
  // The rows (first strokes) that hold a count: a short text fills a few
  // dozen of 256, and a restart or a sweep visits these alone.
  PairRows rows{};
};

// Empties `state` for a new stream, keeping its memory.
void restartSkipPairs(SkipPairState& state);

// Counts the skip pairs of a piece of key stream.
void countSkipPairs(SkipPairState& state, const unsigned char* keys, std::size_t length);

// How many skip pairs are same-finger skipgrams on `keys`: both strokes on one
// finger (not the thumb, not a key without data) but on different keys.
Count sameFingerSkipgrams(const KeyTable& keys, const std::vector<Count>& skipPairs);
// The same, visiting the marked rows of `state` alone.
Count sameFingerSkipgrams(const KeyTable& keys, const SkipPairState& state);

// Whether the keystroke `first` and the keystroke `third` make a same-finger skipgram.
bool isSameFingerSkipgram(const KeyTable& keys, int first, int third);

// Key triples: how often each keystroke came after each two, for the
// redirects, whose triples of strokes span up to three keystrokes. Counted on
// the same strokes as the skip pairs; kNoKey stands for the strokes before a
// break. A triple whose middle is a break strokes no triple and is not kept.
struct KeyTriple {
  std::uint16_t first = kNoKey, second = kNoKey, third = 0;
  Count count = 0;
};

struct KeyTripleState {
  int twoBefore = kNoKey, before = kNoKey;
  // Open addressing: key (first * 257 + second) * 256 + third + 1, 0 empty;
  // key and count side by side, so that a look-up reads one cache line.
  struct Cell {
    std::uint32_t key = 0;
    Count count = 0;
  };
  std::vector<Cell> cells = std::vector<Cell>(std::size_t{1} << 8);  // grows as it fills
  std::size_t used = 0;
};

void countKeyTriples(KeyTripleState& state, const unsigned char* keys, std::size_t length);

// The triples counted, in order of (first, second, third).
std::vector<KeyTriple> keyTriples(const KeyTripleState& state);

}  // namespace kbeval
