#include "optimize/skip_pairs.h"

namespace kbeval {

void countSkipPairs(SkipPairState& state, const unsigned char* keys, std::size_t length) {
  int twoBefore = state.twoBefore;
  int before = state.before;
  Count* counts = state.counts.data();
  for (std::size_t p = 0; p < length; ++p) {
    const int current = keys[p];
    if (current == kUntreatedMarker) {
      twoBefore = before = kNoKey;
      continue;
    }
    if (current == before && (current == ' ' || current == '\n')) continue;
    if (twoBefore != kNoKey) ++counts[static_cast<std::size_t>(twoBefore) * 256 + current];
    twoBefore = before;
    before = current;
  }
  state.twoBefore = twoBefore;
  state.before = before;
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

}  // namespace kbeval
