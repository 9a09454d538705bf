#include "optimize/skip_pairs.h"

#include <algorithm>
#include <tuple>

namespace kbeval {

namespace {

// Calls visit(twoBefore, before, current) for each stroke of a piece of key
// stream, the two strokes before it carried across pieces: a repeated space
// or line feed is no stroke, and after an untreated marker both are kNoKey.
template <typename Visit>
void forEachStroke(int& twoBefore, int& before, const unsigned char* keys, std::size_t length,
                   Visit visit) {
  for (std::size_t p = 0; p < length; ++p) {
    const int current = keys[p];
    if (current == kUntreatedMarker) {
      twoBefore = before = kNoKey;
      continue;
    }
    if (current == before && (current == ' ' || current == '\n')) continue;
    visit(twoBefore, before, current);
    twoBefore = before;
    before = current;
  }
}

}  // namespace

void restartSkipPairs(SkipPairState& state) {
  std::vector<Count> counts = std::move(state.counts);
  if (counts.size() == kSkipPairs) {
    clearMarkedRows(counts, state.rows);
  } else {
    counts.assign(kSkipPairs, 0);
  }
  state = SkipPairState{.counts = std::move(counts)};
}

void countSkipPairs(SkipPairState& state, const unsigned char* keys, std::size_t length) {
  Count* counts = state.counts.data();
  PairRows& rows = state.rows;
  forEachStroke(state.twoBefore, state.before, keys, length,
                [counts, &rows](int twoBefore, int, int current) {
                  if (twoBefore == kNoKey) return;
                  ++counts[static_cast<std::size_t>(twoBefore) * 256 + current];
                  markPairRow(rows, twoBefore);
                });
}

namespace {

std::size_t tripleSlot(std::uint32_t key, std::size_t mask) {
  return (static_cast<std::size_t>(key) * 0x9E3779B97F4A7C15ULL >> 20) & mask;
}

void addTriple(KeyTripleState& state, std::uint32_t key, Count n) {
  std::vector<KeyTripleState::Cell>& cells = state.cells;
  if (2 * (state.used + 1) > cells.size()) {
    // Half full: twice the cells, everything placed anew.
    std::vector<KeyTripleState::Cell> grown(cells.size() * 2);
    for (const KeyTripleState::Cell& cell : cells) {
      if (cell.key == 0) continue;
      std::size_t at = tripleSlot(cell.key, grown.size() - 1);
      while (grown[at].key != 0) at = (at + 1) & (grown.size() - 1);
      grown[at] = cell;
    }
    cells = std::move(grown);
  }
  const std::size_t mask = cells.size() - 1;
  std::size_t at = tripleSlot(key, mask);
  while (cells[at].key != 0 && cells[at].key != key) at = (at + 1) & mask;
  if (cells[at].key == 0) {
    cells[at].key = key;
    ++state.used;
  }
  cells[at].count += n;
}

}  // namespace

void countKeyTriples(KeyTripleState& state, const unsigned char* keys, std::size_t length) {
  // The same triple often comes again at once (a run of one syllable): add
  // runs in one go.
  std::uint32_t pending = 0;
  Count pendingCount = 0;
  forEachStroke(
      state.twoBefore, state.before, keys, length, [&](int twoBefore, int before, int current) {
        if (before == kNoKey) return;
        const auto key = static_cast<std::uint32_t>((twoBefore * 257 + before) * 256 + current + 1);
        if (key != pending) {
          if (pendingCount != 0) addTriple(state, pending, pendingCount);
          pending = key;
          pendingCount = 0;
        }
        ++pendingCount;
      });
  if (pendingCount != 0) addTriple(state, pending, pendingCount);
}

std::vector<KeyTriple> keyTriples(const KeyTripleState& state) {
  std::vector<KeyTriple> triples;
  triples.reserve(state.used);
  for (const KeyTripleState::Cell& cell : state.cells) {
    if (cell.key == 0) continue;
    const std::uint32_t key = cell.key - 1;
    triples.push_back({static_cast<std::uint16_t>(key / 256 / 257),
                       static_cast<std::uint16_t>(key / 256 % 257),
                       static_cast<std::uint16_t>(key % 256), cell.count});
  }
  std::sort(triples.begin(), triples.end(), [](const KeyTriple& x, const KeyTriple& y) {
    return std::tie(x.first, x.second, x.third) < std::tie(y.first, y.second, y.third);
  });
  return triples;
}

bool isSameFingerSkipgram(const KeyTable& keys, int first, int third) {
  const KeyInfo& a = keys[first];
  const KeyInfo& b = keys[third];
  // finger 0 is a byte without key data, finger 1 the thumb on the space bar.
  if (a.finger == 0 || a.finger == 1 || a.finger != b.finger) return false;
  return physicalKeyOf(static_cast<unsigned char>(first)) !=
         physicalKeyOf(static_cast<unsigned char>(third));
}

Count sameFingerSkipgrams(const KeyTable& keys, const std::vector<Count>& skipPairs) {
  Count n = 0;
  for (int first = 0; first < 256; ++first) {
    for (int third = 0; third < 256; ++third) {
      const Count c = skipPairs[static_cast<std::size_t>(first) * 256 + third];
      if (c != 0 && isSameFingerSkipgram(keys, first, third)) n += c;
    }
  }
  return n;
}

Count sameFingerSkipgrams(const KeyTable& keys, const SkipPairState& state) {
  Count n = 0;
  forEachPairRow(state.rows, [&](int first) {
    const Count* row = state.counts.data() + static_cast<std::size_t>(first) * 256;
    for (int third = 0; third < 256; ++third) {
      if (row[third] != 0 && isSameFingerSkipgram(keys, first, third)) n += row[third];
    }
  });
  return n;
}

}  // namespace kbeval
