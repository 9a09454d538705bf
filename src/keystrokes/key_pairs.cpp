#include "keystrokes/key_pairs.h"

#include <algorithm>

namespace kbeval {

namespace {

void keepMost(std::vector<KeyPairCount>& pairs, std::size_t howMany) {
  const auto before = [](const KeyPairCount& a, const KeyPairCount& b) {
    if (a.strokes != b.strokes) return a.strokes > b.strokes;
    if (a.first != b.first) return a.first < b.first;
    return a.second < b.second;
  };
  const std::size_t kept = std::min(howMany, pairs.size());
  std::partial_sort(pairs.begin(), pairs.begin() + static_cast<std::ptrdiff_t>(kept), pairs.end(),
                    before);
  pairs.resize(kept);
}

}  // namespace

KeyUseTable keyUse(const KeyTable& keys, std::span<const Count> pairCounts) {
  KeyUseTable use{};
  forEachTypedPair(pairCounts, [&](int previous, int current, Count n) {
    use[current].presses += n;
    if (pairStrokes(keys, previous, current).shiftPressed) use[current].shiftPresses += n;
  });
  return use;
}

WorstPairs worstPairs(const KeyTable& keys, std::span<const Count> pairCounts,
                      std::size_t howMany) {
  WorstPairs worst;
  forEachTypedPair(pairCounts, [&](int previous, int current, Count n) {
    if (previous == kNoKey) return;
    const PairStrokes p = pairStrokes(keys, previous, current);
    const KeyPairCount pair{static_cast<unsigned char>(previous),
                            static_cast<unsigned char>(current), n, 0, p.viaShift};
    if (p.sameKey) worst.sameKey.push_back({pair.first, pair.second, n, n, false});
    // A repeat is also a same-finger stroke; the other list holds the rest.
    const int otherStrokes = p.sameFinger - (p.sameKey ? 1 : 0);
    if (otherStrokes > 0) {
      KeyPairCount other = pair;
      other.strokes = otherStrokes * n;
      worst.sameFinger.push_back(other);
    }
  });
  keepMost(worst.sameFinger, howMany);
  keepMost(worst.sameKey, howMany);
  return worst;
}

}  // namespace kbeval
