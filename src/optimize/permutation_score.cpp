#include "optimize/permutation_score.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "optimize/skip_pairs.h"

namespace kbeval {

namespace {

enum FeatureKind { kPressLeft, kPressRight, kSameFingerPairs, kSameKeyPairs, kSkipgrams };

bool hasKeyData(const KeyTable& keys, int byte) {
  return keys[byte] != KeyInfo{};
}

bool isLeftHand(const KeyTable& keys, int byte) {
  return keys[byte].finger < 0;
}

std::string shownCharacter(unsigned char c) {
  char text[8];
  if (c >= 0x21 && c < 0x7F) {
    std::snprintf(text, sizeof text, "'%c'", c);
  } else {
    std::snprintf(text, sizeof text, "\\x%02X", c);
  }
  return text;
}

// The physical keys named by the characters of an option, or an error.
bool namedKeys(const std::string& characters, const char* option, std::vector<bool>& keys,
               std::string& error) {
  keys.assign(kPhysicalKeys, false);
  for (const char c : characters) {
    const unsigned char byte = static_cast<unsigned char>(c);
    const int key = physicalKeyOf(byte);
    if (key < 0 || byte == ' ' || byte == '\n') {
      error = shownCharacter(byte) + " in " + option + " is no key that can move";
      return false;
    }
    keys[key] = true;
  }
  return true;
}

void addCounts(ObjectiveCounts& to, const ObjectiveCounts& from, Count times) {
  to.keyStrokes += times * from.keyStrokes;
  to.shiftStrokes += times * from.shiftStrokes;
  to.sameFinger += times * from.sameFinger;
  to.sameKey += times * from.sameKey;
  to.skipgrams += times * from.skipgrams;
  to.leftTotal += times * from.leftTotal;
  to.rightTotal += times * from.rightTotal;
  for (int i = 0; i < kFingerSlots; ++i) to.fingers[i] += times * from.fingers[i];
  for (int i = 0; i < kRows; ++i) to.rowKeys[i] += times * from.rowKeys[i];
}

// Adds `delta` to the count a pair feature of this kind feeds.
void addFeature(ObjectiveCounts& counts, int kind, Count delta) {
  switch (kind) {
    case kPressLeft:
      counts.shiftStrokes += delta;
      counts.leftTotal += delta;
      counts.fingers[0] += delta;
      break;
    case kPressRight:
      counts.shiftStrokes += delta;
      counts.rightTotal += delta;
      counts.fingers[kFingerSlots - 1] += delta;
      break;
    case kSameFingerPairs:
      counts.sameFinger += delta;
      break;
    case kSameKeyPairs:
      counts.sameKey += delta;
      break;
    default:
      counts.skipgrams += delta;
      break;
  }
}

// The doubles hold whole numbers, so the conversion is exact.
Count exactCount(double value) {
  return static_cast<Count>(value);
}

// sum of flow[t.slot] * t.difference over the terms: integers, so exact.
inline __attribute__((always_inline)) double sparseSum(const double* flow, const SparseTerm* begin,
                                                       const SparseTerm* end) {
  double sum0 = 0, sum1 = 0;
  const SparseTerm* t = begin;
  for (; t + 2 <= end; t += 2) {
    sum0 += flow[t[0].slot] * t[0].difference;
    sum1 += flow[t[1].slot] * t[1].difference;
  }
  if (t < end) sum0 += flow[t->slot] * t->difference;
  return sum0 + sum1;
}

void swapRows(std::vector<double>& m, int stride, int x, int y) {
  std::swap_ranges(m.begin() + static_cast<std::ptrdiff_t>(x) * stride,
                   m.begin() + static_cast<std::ptrdiff_t>(x + 1) * stride,
                   m.begin() + static_cast<std::ptrdiff_t>(y) * stride);
}

void swapColumns(std::vector<double>& m, int stride, int rows, int x, int y) {
  for (int r = 0; r < rows; ++r) {
    std::swap(m[static_cast<std::size_t>(r) * stride + x],
              m[static_cast<std::size_t>(r) * stride + y]);
  }
}

}  // namespace

KeyPermutation identityPermutation() {
  KeyPermutation sigma{};
  for (int b = 0; b < 256; ++b) sigma[b] = static_cast<unsigned char>(b);
  return sigma;
}

std::optional<QuoteStandIns> quoteStandIns(const LayoutRecord& layout, const KeyTable& keys) {
  std::array<bool, 256> used{};
  auto mark = [&used](const auto& table) {
    for (const std::string& keyString : table) {
      for (const char c : keyString) used[static_cast<unsigned char>(c)] = true;
    }
  };
  mark(layout.initialKeys);
  mark(layout.medialKeys);
  mark(layout.finalKeys);
  mark(layout.signKeys);
  mark(layout.symbolKeys);
  std::vector<unsigned char> free;
  for (int b = 255; b > 0 && free.size() < 2; --b) {
    if (b == '\n' || b == ' ' || b == kUntreatedMarker || used[b] || hasKeyData(keys, b)) continue;
    free.push_back(static_cast<unsigned char>(b));
  }
  if (free.size() < 2) return std::nullopt;
  return QuoteStandIns{free[0], free[1]};
}

std::vector<Count> permutedPairCounts(const SymbolCounts& counts, const KeyPermutation& sigma) {
  std::vector<Count> pairs(kKeyPairs);
  for (int previous = 0; previous <= kNoKey; ++previous) {
    for (int current = 0; current < 256; ++current) {
      const Count n = counts.pairs[static_cast<std::size_t>(previous) * 256 + current];
      if (n == 0) continue;
      const int a = symbolByte(counts, sigma, previous);
      const int b = symbolByte(counts, sigma, current);
      pairs[static_cast<std::size_t>(a) * 256 + b] += n;
    }
  }
  return pairs;
}

std::vector<Count> permutedSkipPairs(const SymbolCounts& counts, const KeyPermutation& sigma) {
  std::vector<Count> skips(256 * 256);
  for (int first = 0; first < 256; ++first) {
    for (int third = 0; third < 256; ++third) {
      const Count n = counts.skipPairs[static_cast<std::size_t>(first) * 256 + third];
      if (n == 0) continue;
      const int a = symbolByte(counts, sigma, first);
      const int b = symbolByte(counts, sigma, third);
      skips[static_cast<std::size_t>(a) * 256 + b] += n;
    }
  }
  return skips;
}

ObjectiveCounts permutedObjectiveCounts(const KeyTable& keys, const SymbolCounts& counts,
                                        const KeyPermutation& sigma) {
  const KeystrokeCounts keystrokes =
      keyPairKeystrokeCounts(keys, permutedPairCounts(counts, sigma));
  const Count skipgrams = sameFingerSkipgrams(keys, permutedSkipPairs(counts, sigma));
  return objectiveCounts(keystrokes, skipgrams, counts.syllables);
}

bool makeKeyMoveSet(const LayoutRecord& layout, const KeyTable& keys, const KeyMoveOptions& options,
                    KeyMoveSet& moves, std::string& error) {
  moves = KeyMoveSet{};
  std::vector<bool> pinned, candidates;
  if (!namedKeys(options.pinned, "--pin", pinned, error)) return false;
  if (options.allowed) {
    if (!namedKeys(*options.allowed, "--allow", candidates, error)) return false;
    for (int k = 0; k < kPhysicalKeys; ++k) {
      if (candidates[k] && pinned[k]) {
        error = "key " + shownCharacter(physicalKeyCharacters(k).unshifted) +
                " is both pinned (--pin) and allowed (--allow)";
        return false;
      }
    }
  } else {
    // By default the keys that type a jamo move, with whatever else they type.
    candidates.assign(kPhysicalKeys, false);
    auto mark = [&candidates](const auto& table) {
      for (const std::string& keyString : table) {
        for (const char c : keyString) {
          const unsigned char byte = static_cast<unsigned char>(c);
          const int key = physicalKeyOf(byte);
          if (key >= 0 && byte != ' ' && byte != '\n') candidates[key] = true;
        }
      }
    };
    mark(layout.initialKeys);
    mark(layout.medialKeys);
    mark(layout.finalKeys);
  }
  int movable = 0;
  for (int k = 0; k < kPhysicalKeys; ++k) {
    if (!candidates[k] || pinned[k]) continue;
    ++movable;
    const KeyCharacters c = physicalKeyCharacters(k);
    if (options.swapLevels) {
      moves.units.push_back({c.unshifted, 0});
      if (c.shifted != 0) moves.units.push_back({c.shifted, 0});
    } else {
      moves.units.push_back({c.unshifted, c.shifted});
    }
  }
  const auto& units = moves.units;
  for (int i = 0; i < static_cast<int>(units.size()); ++i) {
    for (int j = i + 1; j < static_cast<int>(units.size()); ++j) {
      if (options.keepHands && isLeftHand(keys, units[i][0]) != isLeftHand(keys, units[j][0]))
        continue;
      moves.swaps.push_back({i, j});
    }
  }
  if (movable == 0) {
    if (options.allowed && options.allowed->empty()) {
      error = "--allow names no key";
    } else if (!options.pinned.empty()) {
      error = "--pin leaves no key to move";
    } else {
      error = options.allowed ? "--allow names no key that can move"
                              : "the start layout types no jamo on a key that can move";
    }
    return false;
  }
  if (moves.swaps.empty()) {
    error = movable == 1 && !options.swapLevels
                ? "only one key may move: there is nothing to swap it with"
                : "no two keys that may move are on the same hand (--no-keep-hands lifts that)";
    return false;
  }
  return true;
}

bool makePermutationScorer(const KeyTable& keys, const SymbolCounts& counts,
                           const KeyMoveSet& moves, const ObjectiveWeights& weights,
                           PermutationScorer& s, std::string& error) {
  s = PermutationScorer{};
  s.weights = weights;
  // Slots: "no keystroke before", every symbol the start pass met, and the
  // bytes of every unit, used or not (a key may move onto an unused one).
  s.slotByte.push_back(kNoKey);
  s.symbolSlot.assign(256, -1);
  std::array<bool, 256> used{};
  for (int a = 0; a <= kNoKey; ++a) {
    for (int b = 0; b < 256; ++b) {
      if (counts.pairs[static_cast<std::size_t>(a) * 256 + b] != 0) {
        if (a < 256) used[a] = true;
        used[b] = true;
      }
      if (a < 256 && counts.skipPairs[static_cast<std::size_t>(a) * 256 + b] != 0) {
        used[a] = used[b] = true;
      }
    }
  }
  for (const auto& unit : moves.units) {
    for (const unsigned char b : unit) {
      if (b != 0) used[b] = true;
    }
  }
  for (int b = 0; b < 256; ++b) {
    if (!used[b]) continue;
    s.symbolSlot[b] = static_cast<int>(s.slotByte.size());
    s.slotByte.push_back(counts.fixedByte[b] >= 0 ? counts.fixedByte[b] : b);
  }
  s.slots = static_cast<int>(s.slotByte.size());
  s.stride = (s.slots + 3) / 4 * 4;
  const int n = s.slots;
  const std::size_t cells = static_cast<std::size_t>(s.stride) * s.stride;

  for (const auto& swap : moves.swaps) {
    std::array<int, 4> slots{};
    int count = 0;
    for (int level = 0; level < 2; ++level) {
      const unsigned char x = moves.units[swap[0]][level];
      const unsigned char y = moves.units[swap[1]][level];
      if (x == 0 || y == 0) continue;
      slots[count++] = s.symbolSlot[x];
      slots[count++] = s.symbolSlot[y];
    }
    s.swapSlots.push_back(slots);
    s.swapSlotCount.push_back(count);
  }

  // What each slot pair counts, worked out by the evaluation's own rule.
  constexpr int kKinds = 5;
  std::vector<std::vector<double>> byRow(kKinds, std::vector<double>(cells));
  s.unigram.assign(n, ObjectiveCounts{});
  KeystrokeCounts scratch;
  for (int a = 0; a < n; ++a) {
    for (int b = 1; b < n; ++b) {
      const int previous = s.slotByte[a];
      const int current = s.slotByte[b];
      countKeyPair(keys, previous, current, 1, scratch);
      const Count pressLeft = scratch.leftShifts, pressRight = scratch.rightShifts;
      ObjectiveCounts alone = objectiveCounts(scratch, 0, 0);
      countKeyPair(keys, previous, current, -1, scratch);
      const std::size_t cell = static_cast<std::size_t>(a) * s.stride + b;
      byRow[kPressLeft][cell] = static_cast<double>(pressLeft);
      byRow[kPressRight][cell] = static_cast<double>(pressRight);
      byRow[kSameFingerPairs][cell] = static_cast<double>(alone.sameFinger);
      byRow[kSameKeyPairs][cell] = static_cast<double>(alone.sameKey);
      if (a != 0 && isSameFingerSkipgram(keys, previous, current)) byRow[kSkipgrams][cell] = 1;
      // What is left depends on the current keystroke alone.
      alone.sameFinger = alone.sameKey = 0;
      addFeature(alone, kPressLeft, -pressLeft);
      addFeature(alone, kPressRight, -pressRight);
      if (a == 0) {
        s.unigram[b] = alone;
      } else if (!(alone == s.unigram[b])) {
        error = "a keystroke's own counts depend on the keystroke before";
        return false;
      }
    }
  }

  // Start flows in slot space.
  s.startPairs.assign(cells, 0);
  s.startSkipPairs.assign(cells, 0);
  for (int a = 0; a <= kNoKey; ++a) {
    const int slotA = a == kNoKey ? 0 : s.symbolSlot[a];
    for (int b = 0; b < 256; ++b) {
      const std::size_t index = static_cast<std::size_t>(a) * 256 + b;
      if (counts.pairs[index] != 0) {
        s.startPairs[static_cast<std::size_t>(slotA) * s.stride + s.symbolSlot[b]] +=
            static_cast<double>(counts.pairs[index]);
      }
      if (a < 256 && counts.skipPairs[index] != 0) {
        s.startSkipPairs[static_cast<std::size_t>(slotA) * s.stride + s.symbolSlot[b]] +=
            static_cast<double>(counts.skipPairs[index]);
      }
    }
  }

  // The start counts, from the slot tables: they must equal the plain ones.
  ObjectiveCounts start;
  start.syllables = counts.syllables;
  for (int a = 0; a < n; ++a) {
    for (int b = 1; b < n; ++b) {
      const std::size_t cell = static_cast<std::size_t>(a) * s.stride + b;
      const Count pairs = exactCount(s.startPairs[cell]);
      const Count skips = exactCount(s.startSkipPairs[cell]);
      addCounts(start, s.unigram[b], pairs);
      for (int kind = 0; kind < kKinds; ++kind) {
        const Count flow = kind == kSkipgrams ? skips : pairs;
        addFeature(start, kind, flow * static_cast<Count>(byRow[kind][cell]));
      }
    }
  }
  if (!(start == permutedObjectiveCounts(keys, counts, identityPermutation()))) {
    error = "slot tables disagree with the pair counts";
    return false;
  }
  s.startCounts = start;

  for (int kind = 0; kind < kKinds; ++kind) {
    const std::vector<double>& f = byRow[kind];
    PermutationScorer::Feature feature;
    feature.kind = kind;
    feature.onSkipPairs = kind == kSkipgrams;
    feature.byRow = f;
    const auto at = [&f, &s](int a, int b) {
      return f[static_cast<std::size_t>(a) * s.stride + b];
    };
    // A feature no swap changes (same-key strokes, say: a permutation keeps
    // equal keys equal) keeps its start total; the rest get their terms.
    bool changes = false;
    for (std::size_t m = 0; m < s.swapSlots.size(); ++m) {
      const auto& slots = s.swapSlots[m];
      const int count = s.swapSlotCount[m];
      auto image = [&slots, count](int slot) {
        for (int i = 0; i < count; ++i) {
          if (slots[i] == slot) return slots[i ^ 1];
        }
        return slot;
      };
      for (int i = 0; i < 4; ++i) {
        const bool moved = i < count;
        const int a = slots[i];
        const int to = moved ? slots[i ^ 1] : a;
        feature.termStart.push_back(static_cast<std::uint32_t>(feature.terms.size()));
        for (int b = 0; moved && b < n; ++b) {
          if (at(to, b) != at(a, b)) {
            feature.terms.push_back(
                {static_cast<std::uint16_t>(b), static_cast<std::int16_t>(at(to, b) - at(a, b))});
          }
          changes = changes || at(to, image(b)) != at(a, b) || at(image(b), to) != at(b, a);
        }
        feature.termStart.push_back(static_cast<std::uint32_t>(feature.terms.size()));
        for (int b = 0; moved && b < n; ++b) {
          if (at(b, to) != at(b, a)) {
            feature.terms.push_back(
                {static_cast<std::uint16_t>(b), static_cast<std::int16_t>(at(b, to) - at(b, a))});
          }
        }
      }
    }
    feature.termStart.push_back(static_cast<std::uint32_t>(feature.terms.size()));
    if (changes) s.features.push_back(std::move(feature));
  }
  return true;
}

ScorerState startScorerState(const PermutationScorer& s) {
  ScorerState state;
  const int stride = s.stride;
  state.pairs = s.startPairs;
  state.skips = s.startSkipPairs;
  state.pairsT.assign(state.pairs.size(), 0);
  state.skipsT.assign(state.skips.size(), 0);
  state.strokes.assign(s.slots, 0);
  for (int a = 0; a < s.slots; ++a) {
    for (int b = 0; b < s.slots; ++b) {
      const std::size_t cell = static_cast<std::size_t>(a) * stride + b;
      const std::size_t transposed = static_cast<std::size_t>(b) * stride + a;
      state.pairsT[transposed] = state.pairs[cell];
      state.skipsT[transposed] = state.skips[cell];
      state.strokes[b] += state.pairs[cell];
    }
  }
  state.occupant.resize(s.slots);
  std::iota(state.occupant.begin(), state.occupant.end(), 0);
  state.counts = s.startCounts;
  state.score = objectiveScore(state.counts, s.weights);
  return state;
}

double swapScore(const PermutationScorer& s, const ScorerState& state, int swap,
                 ObjectiveCounts& counts) {
  const auto& slots = s.swapSlots[swap];
  const int moved = s.swapSlotCount[swap];
  // The slot each moved slot's content goes to.
  std::array<int, 4> target{};
  for (int i = 0; i < moved; i += 2) {
    target[i] = slots[i + 1];
    target[i + 1] = slots[i];
  }
  const std::size_t stride = static_cast<std::size_t>(s.stride);

  counts = state.counts;
  for (const PermutationScorer::Feature& f : s.features) {
    const std::vector<double>& flow = f.onSkipPairs ? state.skips : state.pairs;
    const std::vector<double>& flowT = f.onSkipPairs ? state.skipsT : state.pairsT;
    double delta = 0;
    const std::uint32_t* start = f.termStart.data() + static_cast<std::size_t>(swap) * 8;
    for (int i = 0; i < moved; ++i) {
      const int a = slots[i];
      if (state.strokes[a] == 0) continue;  // keys never typed carry no flow
      // Row a: the keystrokes after the moved one; column a: those before it.
      delta += sparseSum(flow.data() + a * stride, f.terms.data() + start[2 * i],
                         f.terms.data() + start[2 * i + 1]);
      delta += sparseSum(flowT.data() + a * stride, f.terms.data() + start[2 * i + 1],
                         f.terms.data() + start[2 * i + 2]);
    }
    // Pairs of two moved slots were counted in both sums, each time as if the
    // other had stayed: put in what they really become.
    for (int i = 0; i < moved; ++i) {
      const int a = slots[i];
      for (int j = 0; j < moved; ++j) {
        const int b = slots[j];
        const double flowAB = flow[a * stride + b];
        if (flowAB == 0) continue;
        const auto at = [&](int x, int y) { return f.byRow[x * stride + y]; };
        delta +=
            flowAB * (at(target[i], target[j]) - at(target[i], b) - at(a, target[j]) + at(a, b));
      }
    }
    addFeature(counts, f.kind, exactCount(delta));
  }
  for (int i = 0; i < moved; ++i) {
    const int a = slots[i];
    const Count strokes = exactCount(state.strokes[a]);
    if (strokes == 0) continue;
    addCounts(counts, s.unigram[target[i]], strokes);
    addCounts(counts, s.unigram[a], -strokes);
  }
  return objectiveScore(counts, s.weights);
}

void applySwap(const PermutationScorer& s, ScorerState& state, int swap,
               const ObjectiveCounts& counts) {
  const auto& slots = s.swapSlots[swap];
  for (int i = 0; i < s.swapSlotCount[swap]; i += 2) {
    const int x = slots[i], y = slots[i + 1];
    // Keys never typed have empty rows and columns: nothing to exchange.
    if (state.strokes[x] == 0 && state.strokes[y] == 0) {
      std::swap(state.occupant[x], state.occupant[y]);
      continue;
    }
    for (std::vector<double>* m : {&state.pairs, &state.pairsT, &state.skips, &state.skipsT}) {
      swapRows(*m, s.stride, x, y);
      swapColumns(*m, s.stride, s.slots, x, y);
    }
    std::swap(state.strokes[x], state.strokes[y]);
    std::swap(state.occupant[x], state.occupant[y]);
  }
  state.counts = counts;
  state.score = objectiveScore(counts, s.weights);
}

KeyPermutation scorerPermutation(const PermutationScorer& s, const std::vector<int>& occupant) {
  KeyPermutation sigma = identityPermutation();
  for (int slot = 1; slot < s.slots; ++slot) {
    const int from = occupant[slot];
    if (from != slot) sigma[s.slotByte[from]] = static_cast<unsigned char>(s.slotByte[slot]);
  }
  return sigma;
}

}  // namespace kbeval
