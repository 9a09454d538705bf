#include "optimize/permutation_score.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <numeric>
#include <optional>
#include <utility>

#include "layouts/character_tables.h"
#include "optimize/skip_pairs.h"
#include "text/encodings.h"

namespace kbeval {

namespace {

enum FeatureKind {
  kPressLeft,
  kPressRight,
  kSameFingerPairs,
  kSameKeyPairs,
  kSkipgrams,
  // The stroke figures' pair counts.
  kAlternationPairs,
  kRollInPairs,
  kRollOutPairs,
  kScissorPairs,
  kLateralPairs,
  kLeadPairs,  // a stroke pair whose first stroke is the key before (none after a break)
  kDistanceUnits,
  kKinds
};

// What a Shift press adds besides the keystroke counts: with the stroke
// figures, a stroke, a pair and its key's effort.
struct ShiftStrokes {
  bool counted = false;
  std::array<Count, 2> effortUnits{};  // left, right
};

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
  to.strokes += times * from.strokes;
  to.strokePairs += times * from.strokePairs;
  to.alternation += times * from.alternation;
  to.rollIn += times * from.rollIn;
  to.rollOut += times * from.rollOut;
  to.scissor += times * from.scissor;
  to.lateral += times * from.lateral;
  to.distanceUnits += times * from.distanceUnits;
  to.effortUnits += times * from.effortUnits;
}

// Adds `delta` to the count a pair feature of this kind feeds.
void addFeature(ObjectiveCounts& counts, int kind, Count delta, const ShiftStrokes& shift) {
  switch (kind) {
    case kPressLeft:
    case kPressRight:
      counts.shiftStrokes += delta;
      if (kind == kPressLeft) {
        counts.leftTotal += delta;
        counts.fingers[0] += delta;
      } else {
        counts.rightTotal += delta;
        counts.fingers[kFingerSlots - 1] += delta;
      }
      if (shift.counted) {
        counts.strokes += delta;
        counts.strokePairs += delta;
        counts.effortUnits += delta * shift.effortUnits[kind == kPressLeft ? 0 : 1];
      }
      break;
    case kAlternationPairs:
      counts.alternation += delta;
      break;
    case kRollInPairs:
      counts.rollIn += delta;
      break;
    case kRollOutPairs:
      counts.rollOut += delta;
      break;
    case kScissorPairs:
      counts.scissor += delta;
      break;
    case kLateralPairs:
      counts.lateral += delta;
      break;
    case kLeadPairs:
      counts.strokePairs += delta;
      break;
    case kDistanceUnits:
      counts.distanceUnits += delta;
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

// The same over wide terms, in integers: flows times millionths outgrow a
// double's exact range.
inline Count wideSum(const double* flow, const WideTerm* begin, const WideTerm* end) {
  Count sum = 0;
  for (const WideTerm* t = begin; t < end; ++t) {
    if (flow[t->slot] != 0) sum += exactCount(flow[t->slot]) * t->difference;
  }
  return sum;
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

// The triple tables of `s` (its slots made), and the start's triple counts.
bool makeTripleTables(const StrokeTables& strokes, const SymbolCounts& counts,
                      const ObjectiveWeights& weights, PermutationScorer& s, ObjectiveCounts& start,
                      std::string& error) {
  PermutationScorer::TripleTables& t = s.triples;
  // Classes: the break, then one per finger code and Shift hand met.
  std::array<int, kFingerCodes * 3> classOf;
  classOf.fill(-1);
  std::vector<int> representative = {kNoKey};
  t.slotClass.assign(static_cast<std::size_t>(s.slots), 0);
  for (int slot = 1; slot < s.slots; ++slot) {
    const ByteStrokes& k = strokes.bytes[static_cast<std::size_t>(s.slotByte[slot])];
    const int tag = strokes.fingerCodes[k.id] * 3 + k.shiftHand + 1;
    if (classOf[tag] < 0) {
      classOf[tag] = static_cast<int>(representative.size());
      representative.push_back(s.slotByte[slot]);
    }
    t.slotClass[slot] = static_cast<std::uint8_t>(classOf[tag]);
  }
  t.classes = static_cast<int>(representative.size());
  // Only the class triples a search can meet are worked out: a key moves
  // among the slots its swaps join, so each place of a counted triple takes
  // the classes of its group. The rest are never read.
  const std::size_t k = representative.size();
  std::vector<int> group(static_cast<std::size_t>(s.slots));
  std::iota(group.begin(), group.end(), 0);
  const auto groupOf = [&group](int slot) {
    while (group[slot] != slot) slot = group[slot] = group[group[slot]];
    return slot;
  };
  for (std::size_t m = 0; m < s.swapSlots.size(); ++m) {
    for (int i = 0; i < s.swapSlotCount[m]; i += 2) {
      group[groupOf(s.swapSlots[m][i])] = groupOf(s.swapSlots[m][i + 1]);
    }
  }
  std::vector<std::uint32_t> groupClasses(static_cast<std::size_t>(s.slots), 0);
  for (int slot = 0; slot < s.slots; ++slot) {
    groupClasses[groupOf(slot)] |= 1u << t.slotClass[slot];
  }
  // A class triple's figures, packed in a byte; 0x80 marks one worked out.
  constexpr std::uint8_t kMade = 0x80;
  t.packed.assign(k * k * k, 0);
  std::vector<std::uint32_t> made;
  const auto makeClassTriples = [&](const std::array<std::uint16_t, 3>& slots) {
    const std::uint32_t first = groupClasses[groupOf(slots[0])];
    const std::uint32_t second = groupClasses[groupOf(slots[1])];
    const std::uint32_t third = groupClasses[groupOf(slots[2])];
    for (std::size_t a = 0; a < k; ++a) {
      if ((first >> a & 1) == 0) continue;
      for (std::size_t b = 0; b < k; ++b) {
        if ((second >> b & 1) == 0) continue;
        std::optional<TripleStart> after;
        for (std::size_t c = 1; c < k; ++c) {  // class 0, the break, strokes nothing
          const std::size_t cell = (a * k + b) * k + c;
          if ((third >> c & 1) == 0 || t.packed[cell] != 0) continue;
          if (!after) after = tripleStart(strokes, representative[a], representative[b]);
          const KeyTripleStrokes f = keyTripleStrokes(strokes, *after, representative[c]);
          if (f.triples > 3 || f.redirect > 3 || f.badRedirect > 3) return false;
          t.packed[cell] =
              static_cast<std::uint8_t>(kMade | f.triples | f.redirect << 2 | f.badRedirect << 4);
          made.push_back(static_cast<std::uint32_t>(cell));
        }
      }
    }
    return true;
  };
  // Each moving slot's triples follow one another in `records`.
  std::vector<std::uint32_t> listed(static_cast<std::size_t>(s.slots) + 1, 0);
  const auto listedIn = [](const std::array<std::uint16_t, 3>& slots, int i) {
    // Slot 0 never moves; a slot twice in a triple lists it once.
    return slots[i] != 0 && (i == 0 || slots[i] != slots[0]) && (i < 2 || slots[i] != slots[1]);
  };
  t.slots.reserve(counts.triples.size());
  t.counts.reserve(counts.triples.size());
  made.reserve(256);
  for (const KeyTriple& triple : counts.triples) {
    std::array<std::uint16_t, 3> slots{};
    const int symbols[] = {triple.first, triple.second, triple.third};
    for (int i = 0; i < 3; ++i) {
      const int slot = symbols[i] == kNoKey ? 0 : s.symbolSlot[symbols[i]];
      if (slot < 0) {
        error = "a key triple holds a keystroke without a slot";
        return false;
      }
      slots[i] = static_cast<std::uint16_t>(slot);
    }
    if (!makeClassTriples(slots)) {
      error = "a key triple strokes more triples than a byte holds";
      return false;
    }
    t.slots.push_back(slots);
    t.counts.push_back(triple.count);
    for (int i = 0; i < 3; ++i) listed[slots[i] + 1u] += listedIn(slots, i) ? 1 : 0;
    const int f =
        t.packed[(static_cast<std::size_t>(t.slotClass[slots[0]]) * k + t.slotClass[slots[1]]) * k +
                 t.slotClass[slots[2]]];
    start.strokeTriples += triple.count * (f & 3);
    start.redirect += triple.count * (f >> 2 & 3);
    start.badRedirect += triple.count * (f >> 4 & 3);
  }
  for (const std::uint32_t cell : made) t.packed[cell] &= static_cast<std::uint8_t>(~kMade);
  std::partial_sum(listed.begin(), listed.end(), listed.begin());
  t.recordStart = listed;
  t.records.resize(listed.back());
  for (std::size_t i = 0; i < t.slots.size(); ++i) {
    for (int j = 0; j < 3; ++j) {
      const int slot = t.slots[i][j];
      if (listedIn(t.slots[i], j)) t.records[listed[slot]++] = {t.slots[i], t.counts[i]};
    }
  }
  t.scored = weights[kRedirectTerm] > 0 || weights[kBadRedirectTerm] > 0;
  return true;
}

// Adds to `counts` how the triple figures change with swap `swap`: every
// triple holding a key that moves to a slot of another class, once.
void addTripleChange(const PermutationScorer& s, const ScorerState& state, int swap,
                     ObjectiveCounts& counts) {
  const PermutationScorer::TripleTables& t = s.triples;
  if (t.slots.empty()) return;
  const auto& slots = s.swapSlots[swap];
  std::array<int, 4> content{};
  int changing = 0;
  // The classes after the swap, by start slot.
  std::array<std::uint8_t, kNoKey + 1> after;
  std::copy(state.tripleClass.begin(), state.tripleClass.end(), after.begin());
  for (int i = 0; i < s.swapSlotCount[swap]; ++i) {
    const int c = state.occupant[slots[i]];
    const std::uint8_t to = t.slotClass[slots[i ^ 1]];
    if (to == state.tripleClass[c]) continue;
    content[changing++] = c;
    after[c] = to;
  }
  if (changing == 0) return;
  const std::size_t k = static_cast<std::size_t>(t.classes);
  const std::uint8_t* was = state.tripleClass.data();
  const std::uint8_t* packed = t.packed.data();
  Count triples = 0, redirect = 0, badRedirect = 0;
  for (int i = 0; i < changing; ++i) {
    const PermutationScorer::TripleTables::Record* end =
        t.records.data() + t.recordStart[content[i] + 1];
    for (const auto* r = t.records.data() + t.recordStart[content[i]]; r != end; ++r) {
      const int a = r->slots[0], b = r->slots[1], c = r->slots[2];
      // A triple holding a key counted before is counted there.
      bool counted = false;
      for (int m = 0; m < i; ++m)
        counted = counted || a == content[m] || b == content[m] || c == content[m];
      if (counted) continue;
      const int before = packed[(was[a] * k + was[b]) * k + was[c]];
      const int later = packed[(after[a] * k + after[b]) * k + after[c]];
      if (before == later) continue;
      const Count n = r->count;
      triples += n * ((later & 3) - (before & 3));
      redirect += n * ((later >> 2 & 3) - (before >> 2 & 3));
      badRedirect += n * ((later >> 4) - (before >> 4));
    }
  }
  counts.strokeTriples += triples;
  counts.redirect += redirect;
  counts.badRedirect += badRedirect;
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
  forEachSymbolPair(counts, [&](int previous, int current, Count n) {
    const int a = symbolByte(counts, sigma, previous);
    const int b = symbolByte(counts, sigma, current);
    pairs[static_cast<std::size_t>(a) * 256 + b] += n;
  });
  return pairs;
}

std::vector<Count> permutedSkipPairs(const SymbolCounts& counts, const KeyPermutation& sigma) {
  std::vector<Count> skips(256 * 256);
  forEachSymbolSkipPair(counts, [&](int first, int third, Count n) {
    const int a = symbolByte(counts, sigma, first);
    const int b = symbolByte(counts, sigma, third);
    skips[static_cast<std::size_t>(a) * 256 + b] += n;
  });
  return skips;
}

ObjectiveCounts permutedObjectiveCounts(const KeyTable& keys, const SymbolCounts& counts,
                                        const KeyPermutation& sigma, const ObjectiveBoard* board) {
  // Every count adds up pair by pair, so each pair the start layout typed
  // counts under its renamed bytes where it stands, without building the
  // permuted tables (permutedPairCounts, permutedSkipPairs) it would add to.
  KeystrokeCounts keystrokes;
  ObjectiveCounts strokes;  // the stroke figures alone
  forEachSymbolPair(counts, [&](int previous, int current, Count n) {
    const int a = symbolByte(counts, sigma, previous);
    const int b = symbolByte(counts, sigma, current);
    countKeyPair(keys, a, b, n, keystrokes);
    if (board != nullptr) addKeyPairStrokeFigures(*board, keys, a, b, n, strokes);
  });
  Count skipgrams = 0;
  forEachSymbolSkipPair(counts, [&](int first, int third, Count n) {
    if (isSameFingerSkipgram(keys, symbolByte(counts, sigma, first),
                             symbolByte(counts, sigma, third))) {
      skipgrams += n;
    }
  });
  ObjectiveCounts o = objectiveCounts(keystrokes, skipgrams, counts.syllables);
  if (board != nullptr) {
    addCounts(o, strokes, 1);
    for (const KeyTriple& t : counts.triples) {
      const KeyTripleStrokes k =
          keyTripleStrokes(board->tables, symbolByte(counts, sigma, t.first),
                           symbolByte(counts, sigma, t.second), symbolByte(counts, sigma, t.third));
      o.strokeTriples += t.count * k.triples;
      o.redirect += t.count * k.redirect;
      o.badRedirect += t.count * k.badRedirect;
    }
  }
  return o;
}

std::array<bool, 256> jamoBytes(const LayoutRecord& layout) {
  std::array<bool, 256> bytes{};
  auto mark = [&bytes](const auto& table) {
    for (const std::string& keyString : table) {
      for (const char c : keyString) bytes[static_cast<unsigned char>(c)] = true;
    }
  };
  mark(layout.initialKeys);
  mark(layout.medialKeys);
  mark(layout.finalKeys);
  return bytes;
}

std::array<bool, 256> signBytes(const LayoutRecord& layout) {
  std::array<bool, 256> bytes{};
  auto mark = [&bytes](const auto& table) {
    for (const std::string& keyString : table) {
      for (const char c : keyString) bytes[static_cast<unsigned char>(c)] = true;
    }
  };
  mark(layout.signKeys);
  mark(layout.symbolKeys);
  return bytes;
}

namespace {

// The key bytes that type the jamo named in `list` ("ㅇ,ㅏ": UTF-8
// compatibility jamo, comma-separated), or an error.
bool pinnedJamoBytes(const LayoutRecord& layout, std::string_view list,
                     std::array<bool, 256>& bytes, std::string& error) {
  bytes = {};
  for (std::size_t begin = 0, comma = 0; comma != std::string_view::npos; begin = comma + 1) {
    comma = list.find(',', begin);
    const std::string_view name = list.substr(begin, comma - begin);
    if (name.empty()) {
      error = "--pin-jamo has an empty item";
      return false;
    }
    bool known = false, typed = false;
    auto look = [&](const auto& names, const auto& table) {
      for (std::size_t i = 0; i < names.size(); ++i) {
        const std::optional<std::string_view> utf8 = ksx1001ToUtf8(names[i]);
        if (names[i].empty() || !utf8 || *utf8 != name) continue;
        known = true;
        for (const char c : table[i]) {
          bytes[static_cast<unsigned char>(c)] = true;
          typed = true;
        }
      }
    };
    look(InitialNames, layout.initialKeys);
    look(MedialNames, layout.medialKeys);
    look(FinalNames, layout.finalKeys);
    if (!known) {
      error = "--pin-jamo: '" + std::string(name) +
              "' is no jamo (give compatibility jamo such as ㅇ,ㅏ)";
      return false;
    }
    if (!typed) {
      error = "--pin-jamo: the start layout has no key for '" + std::string(name) + "'";
      return false;
    }
  }
  return true;
}

bool isNumberRow(const KeyTable& keys, unsigned char byte) {
  return keys[byte].row == 5;
}

}  // namespace

bool makeKeyMoveSet(const LayoutRecord& layout, const KeyTable& keys, const KeyMoveOptions& options,
                    KeyMoveSet& moves, std::string& error) {
  moves = KeyMoveSet{};
  std::vector<bool> pinned, candidates;
  if (!namedKeys(options.pinned, "--pin", pinned, error)) return false;
  std::array<bool, 256> pinnedBytes{};
  if (!options.pinnedJamo.empty() &&
      !pinnedJamoBytes(layout, options.pinnedJamo, pinnedBytes, error)) {
    return false;
  }
  const std::array<bool, 256> jamo = jamoBytes(layout);
  const std::array<bool, 256> signs = signBytes(layout);
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
    // By default the keys that type a jamo move.
    candidates.assign(kPhysicalKeys, false);
    for (int b = 0; b < 256; ++b) {
      const int key = physicalKeyOf(static_cast<unsigned char>(b));
      if (jamo[b] && key >= 0 && b != ' ' && b != '\n') candidates[key] = true;
    }
  }
  int movable = 0;
  moves.units.reserve(2 * kPhysicalKeys);
  for (int k = 0; k < kPhysicalKeys; ++k) {
    if (!candidates[k] || pinned[k]) continue;
    const KeyCharacters c = physicalKeyCharacters(k);
    if (options.moveKeys) {
      if (pinnedBytes[c.unshifted] || (c.shifted != 0 && pinnedBytes[c.shifted])) continue;
      ++movable;
      if (options.swapLevels) {
        moves.units.push_back({c.unshifted, 0});
        if (c.shifted != 0) moves.units.push_back({c.shifted, 0});
      } else {
        moves.units.push_back({c.unshifted, c.shifted});
      }
      continue;
    }
    // Jamo: each level that types a jamo and nothing else; with --allow, a
    // level that types nothing may receive one.
    bool any = false;
    for (const unsigned char b : {c.unshifted, c.shifted}) {
      if (b == 0 || b == ' ' || b == '\n' || pinnedBytes[b] || signs[b]) continue;
      if (!jamo[b] && !options.allowed) continue;
      moves.units.push_back({b, 0});
      any = true;
    }
    movable += any;
  }
  const auto& units = moves.units;
  moves.swaps.reserve(units.size() * (units.size() - (units.empty() ? 0 : 1)) / 2);
  for (int i = 0; i < static_cast<int>(units.size()); ++i) {
    for (int j = i + 1; j < static_cast<int>(units.size()); ++j) {
      if (options.keepHands && isLeftHand(keys, units[i][0]) != isLeftHand(keys, units[j][0]))
        continue;
      // Jamo keep off the number row (and on it) unless it is allowed.
      if (!options.moveKeys && !options.numberRow &&
          isNumberRow(keys, units[i][0]) != isNumberRow(keys, units[j][0]))
        continue;
      // Two free levels trading places change nothing.
      if (!options.moveKeys && !jamo[units[i][0]] && !jamo[units[j][0]]) continue;
      moves.swaps.push_back({i, j});
    }
  }
  if (movable == 0) {
    if (options.allowed && options.allowed->empty()) {
      error = "--allow names no key";
    } else if (!options.pinned.empty() || !options.pinnedJamo.empty()) {
      error = options.pinnedJamo.empty() ? "--pin leaves no key to move"
                                         : "--pin and --pin-jamo leave no key to move";
    } else {
      error = options.allowed ? "--allow names no key that can move"
                              : "the start layout types no jamo on a key that can move";
    }
    return false;
  }
  if (moves.swaps.empty()) {
    error = movable == 1 && units.size() == 1
                ? "only one key may move: there is nothing to swap it with"
                : "no two keys that may move are on the same hand and row class "
                  "(--no-keep-hands, --number-row=allow lift that)";
    return false;
  }
  return true;
}

void keepMovesOnBoard(const Board& board, KeyMoveSet& moves) {
  auto present = [&board](int key) { return board.keys[static_cast<std::size_t>(key)].present; };
  // A level is on the board when its key is, and for a shifted level the
  // Shift key of the other hand too (as missingBoardKey has it).
  auto onBoard = [&](const std::array<unsigned char, 2>& unit) {
    for (const unsigned char b : unit) {
      if (b == 0) continue;
      const int key = physicalKeyOf(b);
      if (key < 0 || !present(key)) return false;
      if (physicalKeyCharacters(key).shifted == b &&
          !present(board.keys[static_cast<std::size_t>(key)].finger < 0 ? kRightShiftKey
                                                                        : kLeftShiftKey)) {
        return false;
      }
    }
    return true;
  };
  std::erase_if(moves.swaps, [&](const std::array<int, 2>& swap) {
    return !onBoard(moves.units[static_cast<std::size_t>(swap[0])]) ||
           !onBoard(moves.units[static_cast<std::size_t>(swap[1])]);
  });
}

bool makePermutationScorer(const KeyTable& keys, const SymbolCounts& counts,
                           const KeyMoveSet& moves, const ObjectiveWeights& weights,
                           PermutationScorer& s, std::string& error) {
  return makePermutationScorer(keys, nullptr, counts, moves, weights, s, error);
}

bool makePermutationScorer(const KeyTable& keys, const ObjectiveBoard* board,
                           const SymbolCounts& counts, const KeyMoveSet& moves,
                           const ObjectiveWeights& weights, PermutationScorer& s,
                           std::string& error) {
  s = PermutationScorer{};
  s.weights = weights;
  ShiftStrokes shift;
  if (board != nullptr) {
    shift.counted = true;
    shift.effortUnits = {board->effortUnits[kLeftShiftKey], board->effortUnits[kRightShiftKey]};
  }
  s.strokeFigures = shift.counted;
  s.shiftEffortUnits = shift.effortUnits;
  // Slots: "no keystroke before", every symbol the start pass met, and the
  // bytes of every unit, used or not (a key may move onto an unused one).
  s.slotByte.reserve(257);
  s.slotByte.push_back(kNoKey);
  s.symbolSlot.assign(256, -1);
  // The typed pairs and skip pairs, gathered in one sweep of their tables each.
  struct TypedPair {
    int a, b;
    Count n;
  };
  std::vector<TypedPair> typedPairs, typedSkips;
  typedPairs.reserve(256);
  typedSkips.reserve(256);
  forEachSymbolPair(counts, [&](int a, int b, Count n) { typedPairs.push_back({a, b, n}); });
  forEachSymbolSkipPair(counts, [&](int a, int b, Count n) { typedSkips.push_back({a, b, n}); });
  std::array<bool, 256> used{};
  for (const TypedPair& p : typedPairs) {
    if (p.a < 256) used[p.a] = true;
    used[p.b] = true;
  }
  for (const TypedPair& p : typedSkips) used[p.a] = used[p.b] = true;
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
  const int n = s.slots;
  s.slotKey.assign(n, -1);
  for (int slot = 1; slot < n; ++slot) {
    if (s.slotByte[slot] < 256)
      s.slotKey[slot] = physicalKeyOf(static_cast<unsigned char>(s.slotByte[slot]));
  }
  // Classes: slot 0 alone, then one per finger and Shift.
  {
    std::array<int, 64> classOf;
    classOf.fill(-1);
    s.slotClass.assign(n, 0);
    s.classes = 1;
    for (int slot = 1; slot < n; ++slot) {
      const KeyInfo& key = keys[s.slotByte[slot]];
      const int tag = (key.finger + 8) * 2 + (key.shift != 0 ? 1 : 0);
      if (classOf[tag] < 0) classOf[tag] = s.classes++;
      s.slotClass[slot] = classOf[tag];
    }
  }
  s.stride = (n + s.classes + 3) / 4 * 4;
  const std::size_t cells = static_cast<std::size_t>(s.stride) * s.stride;

  s.swapSlots.reserve(moves.swaps.size());
  s.swapSlotCount.reserve(moves.swaps.size());
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

  // Start flows in slot space.
  s.startPairs.assign(cells, 0);
  s.startSkipPairs.assign(cells, 0);
  const auto slotOf = [&s](int symbol) { return symbol == kNoKey ? 0 : s.symbolSlot[symbol]; };
  for (const TypedPair& p : typedPairs) {
    s.startPairs[static_cast<std::size_t>(slotOf(p.a)) * s.stride + s.symbolSlot[p.b]] +=
        static_cast<double>(p.n);
  }
  for (const TypedPair& p : typedSkips) {
    s.startSkipPairs[static_cast<std::size_t>(slotOf(p.a)) * s.stride + s.symbolSlot[p.b]] +=
        static_cast<double>(p.n);
  }

  // What each slot pair counts, worked out by the evaluation's own rule.
  // Without a board the stroke figures' kinds stay empty: nothing counts them.
  const int kinds = board != nullptr ? kKinds : kAlternationPairs;
  // Whole numbers of a pair count (one pair typed once): bytes, but for the
  // distances (millionths of a key width), a quarter of the memory of ints,
  // which every input's scorer would take fresh. Each kind apart (one block
  // of all would outgrow what the allocator keeps at hand), zeroed in one go.
  std::array<std::unique_ptr<std::int8_t[]>, kKinds> byRow;
  std::unique_ptr<std::int32_t[]> distanceByRow;
  for (int kind = 0; kind < kinds; ++kind) {
    if (kind == kDistanceUnits) {
      distanceByRow.reset(new std::int32_t[cells]());
    } else {
      byRow[kind].reset(new std::int8_t[cells]());
    }
  }
  const auto valueAt = [&](int kind, std::size_t cell) -> std::int32_t {
    return kind == kDistanceUnits ? distanceByRow[cell] : byRow[kind][cell];
  };
  s.unigram.assign(n, ObjectiveCounts{});
  // Only some slot pairs are ever read: those of a slot a swap moves (the
  // terms), the typed ones (the start counts), and those after no keystroke
  // (each slot's own counts). The rest keep 0 unread.
  std::vector<char> movedSlot(static_cast<std::size_t>(n), 0);
  for (std::size_t m = 0; m < s.swapSlots.size(); ++m) {
    for (int i = 0; i < s.swapSlotCount[m]; ++i) movedSlot[s.swapSlots[m][i]] = 1;
  }
  KeystrokeCounts scratch;
  std::array<bool, kKinds> kindUsed{};  // a kind that counts 0 on every pair read has no terms
  for (int a = 0; a < n; ++a) {
    for (int b = 1; b < n; ++b) {
      const std::size_t cell = static_cast<std::size_t>(a) * s.stride + b;
      if (a != 0 && !movedSlot[a] && !movedSlot[b] && s.startPairs[cell] == 0 &&
          s.startSkipPairs[cell] == 0) {
        continue;
      }
      const int previous = s.slotByte[a];
      const int current = s.slotByte[b];
      const auto set = [&](int kind, std::int64_t value) {
        if (kind == kDistanceUnits) {
          distanceByRow[cell] = static_cast<std::int32_t>(value);
        } else {
          byRow[kind][cell] = static_cast<std::int8_t>(value);
        }
        kindUsed[kind] = kindUsed[kind] || value != 0;
      };
      // The pair's own counts, by the walk's rule for a pair.
      const PairStrokes pair = pairStrokes(keys, previous, current);
      const int pressLeft = pair.shiftHand < 0 ? 1 : 0, pressRight = pair.shiftHand > 0 ? 1 : 0;
      set(kPressLeft, pressLeft);
      set(kPressRight, pressRight);
      set(kSameFingerPairs, pair.sameFinger - (pair.sameKey ? 1 : 0));
      set(kSameKeyPairs, pair.sameKey ? 1 : 0);
      if (a != 0 && isSameFingerSkipgram(keys, previous, current)) set(kSkipgrams, 1);
      // What the pair's strokes count: the Shift press it needs, then its key.
      ObjectiveCounts strokes;
      if (board != nullptr) {
        addKeyPairStrokeFigures(*board, keyPairStrokeIds(board->tables, pair, previous, current), 1,
                                strokes);
        if (strokes.distanceUnits < 0 ||
            strokes.distanceUnits > std::numeric_limits<std::int32_t>::max()) {
          error = "a pair's distance outgrows the scorer's tables";
          return false;
        }
        set(kAlternationPairs, strokes.alternation);
        set(kRollInPairs, strokes.rollIn);
        set(kRollOutPairs, strokes.rollOut);
        set(kScissorPairs, strokes.scissor);
        set(kLateralPairs, strokes.lateral);
        set(kDistanceUnits, strokes.distanceUnits);
        set(kLeadPairs, a != 0 ? 1 : 0);
      }
      // What is left depends on the current keystroke alone: taken after no
      // keystroke by the full rule of the counts, and checked on every typed
      // pair (whose sum the closing check compares with the plain counts),
      // where the two rules must agree.
      if (a == 0 || s.startPairs[cell] != 0 || s.startSkipPairs[cell] != 0) {
        countKeyPair(keys, previous, current, 1, scratch);
        ObjectiveCounts alone = objectiveCounts(scratch, 0, 0);
        countKeyPair(keys, previous, current, -1, scratch);
        alone.sameFinger = alone.sameKey = 0;
        addFeature(alone, kPressLeft, -pressLeft, shift);
        addFeature(alone, kPressRight, -pressRight, shift);
        strokes.alternation = strokes.rollIn = strokes.rollOut = strokes.scissor = 0;
        strokes.lateral = strokes.distanceUnits = 0;
        strokes.strokePairs -= board != nullptr && a != 0 ? 1 : 0;
        addCounts(alone, strokes, 1);
        if (a == 0) {
          s.unigram[b] = alone;
        } else if (!(alone == s.unigram[b])) {
          error = "a keystroke's own counts depend on the keystroke before";
          return false;
        }
      }
    }
  }

  s.unigramChange.reserve(s.swapSlots.size() * 2);
  for (std::size_t m = 0; m < s.swapSlots.size(); ++m) {
    for (int i = 0; i < 4; i += 2) {
      ObjectiveCounts change;
      if (i < s.swapSlotCount[m]) {
        addCounts(change, s.unigram[s.swapSlots[m][i + 1]], 1);
        addCounts(change, s.unigram[s.swapSlots[m][i]], -1);
      }
      s.unigramChange.push_back(change);
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
      if (pairs == 0 && skips == 0) continue;  // most slot pairs are never typed
      addCounts(start, s.unigram[b], pairs);
      for (int kind = 0; kind < kinds; ++kind) {
        const Count flow = kind == kSkipgrams ? skips : pairs;
        addFeature(start, kind, flow * static_cast<Count>(valueAt(kind, cell)), shift);
      }
    }
  }
  if (board != nullptr && !makeTripleTables(board->tables, counts, weights, s, start, error)) {
    return false;
  }
  if (!(start == permutedObjectiveCounts(keys, counts, identityPermutation(), board))) {
    error = "slot tables disagree with the pair counts";
    return false;
  }
  s.startCounts = start;

  // The terms of one side of one moved slot, from the feature's change by
  // slot: per class, its sum times the change most of its slots share, when
  // that takes fewer terms, and the slots that differ from it.
  // The slots of each class, class after class (memberStart[c] begins class
  // c): these loops run per feature, swap and moved slot, so they read plain
  // arrays.
  std::vector<int> memberSlots, memberStart(static_cast<std::size_t>(s.classes) + 1, 0);
  memberSlots.reserve(static_cast<std::size_t>(n));
  for (int c = 0; c < s.classes; ++c) {
    memberStart[c] = static_cast<int>(memberSlots.size());
    for (int b = 0; b < n; ++b) {
      if (s.slotClass[b] == c) memberSlots.push_back(b);
    }
  }
  memberStart[s.classes] = static_cast<int>(memberSlots.size());
  std::vector<int> difference(n);
  std::vector<std::pair<int, int>> values;  // a class's distinct changes and their counts
  const auto addTerms = [&](const int* change, auto& terms) {
    using Term = typename std::decay_t<decltype(terms)>::value_type;
    using Slot = decltype(Term::slot);
    using Difference = decltype(Term::difference);
    for (int c = 0; c < s.classes; ++c) {
      const int* first = memberSlots.data() + memberStart[c];
      const int* last = memberSlots.data() + memberStart[c + 1];
      // The class's most common nonzero change (the first to reach the
      // highest count, in member order): its distinct values are few.
      values.clear();
      int nonzero = 0;
      for (const int* b = first; b < last; ++b) {
        if (change[*b] == 0) continue;
        ++nonzero;
        auto value = std::find_if(values.begin(), values.end(),
                                  [&](const auto& v) { return v.first == change[*b]; });
        if (value == values.end()) {
          values.push_back({change[*b], 1});
        } else {
          ++value->second;
        }
      }
      int shared = 0, sharedCount = 0;
      for (const auto& [value, count] : values) {
        if (count > sharedCount) {
          shared = value;
          sharedCount = count;
        }
      }
      const int withClass = 1 + static_cast<int>(last - first) - sharedCount;
      const int base = withClass < nonzero ? shared : 0;
      if (base != 0) terms.push_back({static_cast<Slot>(n + c), static_cast<Difference>(base)});
      for (const int* b = first; b < last; ++b) {
        if (change[*b] != base) {
          terms.push_back({static_cast<Slot>(*b), static_cast<Difference>(change[*b] - base)});
        }
      }
    }
  };

  const auto makeFeature = [&](int kind, const auto* f, auto& feature) {
    const std::size_t stride = static_cast<std::size_t>(s.stride);
    feature.kind = kind;
    // Sized up front: grown push by push, every feature's tables would be
    // allocated over and over.
    feature.termStart.reserve(s.swapSlots.size() * 8 + 1);
    feature.movedPairChange.reserve(s.swapSlots.size() * 16);
    feature.terms.reserve(s.swapSlots.size() * 8 * static_cast<std::size_t>(s.classes + 4));
    const auto at = [f, stride](int a, int b) {
      return static_cast<double>(f[static_cast<std::size_t>(a) * stride + b]);
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
      // Pairs of two moved slots are counted in both sums, each time as if
      // the other had stayed: what they really become.
      for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
          double change = 0;
          if (i < count && j < count) {
            const int a = slots[i], b = slots[j], ta = slots[i ^ 1], tb = slots[j ^ 1];
            change = at(ta, tb) - at(ta, b) - at(a, tb) + at(a, b);
          }
          feature.movedPairChange.push_back(
              static_cast<typename decltype(feature.movedPairChange)::value_type>(change));
        }
      }
      for (int i = 0; i < 4; ++i) {
        const bool moved = i < count;
        const int a = slots[i];
        const int to = moved ? slots[i ^ 1] : a;
        feature.termStart.push_back(static_cast<std::uint32_t>(feature.terms.size()));
        if (!moved) {
          feature.termStart.push_back(static_cast<std::uint32_t>(feature.terms.size()));
          continue;
        }
        for (int b = 0; b < n && !changes; ++b) {
          changes = f[static_cast<std::size_t>(to) * stride + image(b)] !=
                        f[static_cast<std::size_t>(a) * stride + b] ||
                    at(image(b), to) != at(b, a);
        }
        if (i % 2 == 1) {
          // The slot moves where its partner came from: each side's change
          // is its partner's negated, and so are the terms that sum it.
          const std::size_t partner = feature.termStart.size() - 3;
          for (int side = 0; side < 2; ++side) {
            if (side == 1) {
              feature.termStart.push_back(static_cast<std::uint32_t>(feature.terms.size()));
            }
            for (std::uint32_t t = feature.termStart[partner + side];
                 t < feature.termStart[partner + side + 1]; ++t) {
              auto term = feature.terms[t];
              term.difference = static_cast<decltype(term.difference)>(-term.difference);
              feature.terms.push_back(term);
            }
          }
          continue;
        }
        int* d = difference.data();
        const auto* rowTo = f + static_cast<std::size_t>(to) * stride;
        const auto* rowA = f + static_cast<std::size_t>(a) * stride;
        bool any = false;
        for (int b = 0; b < n; ++b) {
          d[b] = static_cast<int>(rowTo[b] - rowA[b]);
          any = any || d[b] != 0;
        }
        // A side whose change is 0 throughout adds no terms.
        if (any) addTerms(d, feature.terms);
        feature.termStart.push_back(static_cast<std::uint32_t>(feature.terms.size()));
        any = false;
        const auto* columnTo = f + to;
        const auto* columnA = f + a;
        for (int b = 0; b < n; ++b, columnTo += stride, columnA += stride) {
          d[b] = static_cast<int>(*columnTo - *columnA);
          any = any || d[b] != 0;
        }
        if (any) addTerms(d, feature.terms);
      }
    }
    feature.termStart.push_back(static_cast<std::uint32_t>(feature.terms.size()));
    return changes;
  };
  s.features.reserve(kKinds);
  for (int kind = 0; kind < kKinds; ++kind) {
    if (board == nullptr && kind >= kAlternationPairs) break;
    if (!kindUsed[kind]) continue;
    if (kind == kDistanceUnits) {
      PermutationScorer::WideFeature feature;
      if (makeFeature(kind, distanceByRow.get(), feature))
        s.wideFeatures.push_back(std::move(feature));
    } else {
      PermutationScorer::Feature feature;
      feature.onSkipPairs = kind == kSkipgrams;
      if (makeFeature(kind, byRow[kind].get(), feature)) s.features.push_back(std::move(feature));
    }
  }
  s.movedPairChanges.reserve(s.swapSlots.size() * s.features.size() * 16);
  for (std::size_t m = 0; m < s.swapSlots.size(); ++m) {
    for (const PermutationScorer::Feature& feature : s.features) {
      for (int k = 0; k < 16; ++k) {
        const double change = feature.movedPairChange[m * 16 + static_cast<std::size_t>(k)];
        if (change < -128 || change > 127) {
          error = "a pair feature's change outgrows its table";
          return false;
        }
        s.movedPairChanges.push_back(static_cast<std::int8_t>(change));
      }
    }
  }
  for (PermutationScorer::Feature& feature : s.features) feature.movedPairChange = {};
  std::size_t allTerms = 0;
  for (const PermutationScorer::Feature& feature : s.features) allTerms += feature.terms.size();
  s.packedTerms.reserve(allTerms);
  s.packedStart.reserve(s.swapSlots.size() * s.features.size() * 8 + 1);
  for (std::size_t m = 0; m < s.swapSlots.size(); ++m) {
    for (const PermutationScorer::Feature& feature : s.features) {
      for (std::size_t k = 0; k < 8; ++k) {
        s.packedStart.push_back(static_cast<std::uint32_t>(s.packedTerms.size()));
        s.packedTerms.insert(s.packedTerms.end(),
                             feature.terms.begin() + feature.termStart[m * 8 + k],
                             feature.terms.begin() + feature.termStart[m * 8 + k + 1]);
      }
    }
  }
  s.packedStart.push_back(static_cast<std::uint32_t>(s.packedTerms.size()));
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
  // Plain pointers: these loops run over every slot pair for each restart.
  const double* pairs = state.pairs.data();
  const double* skips = state.skips.data();
  double* pairsT = state.pairsT.data();
  double* skipsT = state.skipsT.data();
  double* strokes = state.strokes.data();
  for (int a = 0; a < s.slots; ++a) {
    const double* pairRow = pairs + static_cast<std::size_t>(a) * stride;
    const double* skipRow = skips + static_cast<std::size_t>(a) * stride;
    for (int b = 0; b < s.slots; ++b) {
      const std::size_t transposed = static_cast<std::size_t>(b) * stride + a;
      pairsT[transposed] = pairRow[b];
      skipsT[transposed] = skipRow[b];
      strokes[b] += pairRow[b];
    }
  }
  const int* slotClass = s.slotClass.data();
  for (std::vector<double>* m : {&state.pairs, &state.pairsT, &state.skips, &state.skipsT}) {
    for (int a = 0; a < s.slots; ++a) {
      double* row = m->data() + static_cast<std::size_t>(a) * stride;
      double* classSums = row + s.slots;
      for (int b = 0; b < s.slots; ++b) classSums[slotClass[b]] += row[b];
    }
  }
  state.occupant.resize(s.slots);
  std::iota(state.occupant.begin(), state.occupant.end(), 0);
  state.displaced.assign(kPhysicalKeys, 0);
  state.tripleClass = s.triples.slotClass;
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
  const ShiftStrokes shift{s.strokeFigures, s.shiftEffortUnits};

  counts = state.counts;
  const std::int8_t* pairChanges =
      s.movedPairChanges.data() + static_cast<std::size_t>(swap) * s.features.size() * 16;
  const std::uint32_t* packedStart =
      s.packedStart.data() + static_cast<std::size_t>(swap) * s.features.size() * 8;
  const SparseTerm* terms = s.packedTerms.data();
  for (const PermutationScorer::Feature& f : s.features) {
    const std::vector<double>& flow = f.onSkipPairs ? state.skips : state.pairs;
    const std::vector<double>& flowT = f.onSkipPairs ? state.skipsT : state.pairsT;
    double delta = 0;
    const std::size_t feature = static_cast<std::size_t>(&f - s.features.data());
    const std::uint32_t* start = packedStart + feature * 8;
    for (int i = 0; i < moved; ++i) {
      const int a = slots[i];
      if (state.strokes[a] == 0) continue;  // keys never typed carry no flow
      // Row a: the keystrokes after the moved one; column a: those before it.
      delta += sparseSum(flow.data() + a * stride, terms + start[2 * i], terms + start[2 * i + 1]);
      delta +=
          sparseSum(flowT.data() + a * stride, terms + start[2 * i + 1], terms + start[2 * i + 2]);
    }
    // Pairs of two moved slots were counted in both sums, each time as if the
    // other had stayed: put in what they really become.
    const std::int8_t* change = pairChanges + feature * 16;
    for (int i = 0; i < moved; ++i) {
      const double* row = flow.data() + slots[i] * stride;
      for (int j = 0; j < moved; ++j) delta += row[slots[j]] * change[i * 4 + j];
    }
    addFeature(counts, f.kind, exactCount(delta), shift);
  }
  for (const PermutationScorer::WideFeature& f : s.wideFeatures) {
    Count delta = 0;
    const std::uint32_t* start = f.termStart.data() + static_cast<std::size_t>(swap) * 8;
    for (int i = 0; i < moved; ++i) {
      const int a = slots[i];
      if (state.strokes[a] == 0) continue;
      delta += wideSum(state.pairs.data() + a * stride, f.terms.data() + start[2 * i],
                       f.terms.data() + start[2 * i + 1]);
      delta += wideSum(state.pairsT.data() + a * stride, f.terms.data() + start[2 * i + 1],
                       f.terms.data() + start[2 * i + 2]);
    }
    const Count* change = f.movedPairChange.data() + static_cast<std::size_t>(swap) * 16;
    for (int i = 0; i < moved; ++i) {
      const double* row = state.pairs.data() + slots[i] * stride;
      for (int j = 0; j < moved; ++j) {
        if (change[i * 4 + j] != 0) delta += exactCount(row[slots[j]]) * change[i * 4 + j];
      }
    }
    addFeature(counts, f.kind, delta, shift);
  }
  // Slot x's strokes go to y and y's to x: the own counts change by
  // (strokes at x - strokes at y) * (counts at y - counts at x).
  for (int i = 0; i < moved; i += 2) {
    const Count strokes = exactCount(state.strokes[slots[i]] - state.strokes[slots[i + 1]]);
    if (strokes != 0) addCounts(counts, s.unigramChange[swap * 2 + i / 2], strokes);
  }
  if (s.triples.scored) addTripleChange(s, state, swap, counts);
  return objectiveScore(counts, s.weights);
}

int movedKeysAfterSwap(const PermutationScorer& s, const ScorerState& state, int swap) {
  const auto& slots = s.swapSlots[swap];
  const int count = s.swapSlotCount[swap];
  std::array<int, 4> keys{}, after{};
  int distinct = 0;
  for (int i = 0; i < count; ++i) {
    const int key = s.slotKey[slots[i]];
    if (key < 0) continue;
    const int was = state.occupant[slots[i]] != slots[i];
    const int will = state.occupant[slots[i ^ 1]] != slots[i];
    int k = 0;
    while (k < distinct && keys[k] != key) ++k;
    if (k == distinct) {
      keys[distinct] = key;
      after[distinct++] = state.displaced[key];
    }
    after[k] += will - was;
  }
  int moved = state.movedKeys;
  for (int k = 0; k < distinct; ++k) {
    moved += (after[k] > 0) - (state.displaced[keys[k]] > 0);
  }
  return moved;
}

void applySwap(const PermutationScorer& s, ScorerState& state, int swap,
               const ObjectiveCounts& counts) {
  const auto& slots = s.swapSlots[swap];
  state.movedKeys = movedKeysAfterSwap(s, state, swap);
  for (int i = 0; i < s.swapSlotCount[swap]; ++i) {
    const int key = s.slotKey[slots[i]];
    if (key < 0) continue;
    state.displaced[key] +=
        (state.occupant[slots[i ^ 1]] != slots[i]) - (state.occupant[slots[i]] != slots[i]);
  }
  for (int i = 0; i < s.swapSlotCount[swap]; i += 2) {
    const int x = slots[i], y = slots[i + 1];
    // Keys never typed have empty rows and columns: nothing to exchange.
    if (state.strokes[x] == 0 && state.strokes[y] == 0) {
      std::swap(state.occupant[x], state.occupant[y]);
      continue;
    }
    const int classX = s.slots + s.slotClass[x], classY = s.slots + s.slotClass[y];
    for (std::vector<double>* m : {&state.pairs, &state.pairsT, &state.skips, &state.skipsT}) {
      swapRows(*m, s.stride, x, y);
      if (classX == classY) {
        swapColumns(*m, s.stride, s.slots, x, y);
        continue;
      }
      // Row sums by class: x's class gains what now stands at x and loses
      // what went to y, and y's the other way round.
      for (int r = 0; r < s.slots; ++r) {
        double* row = m->data() + static_cast<std::size_t>(r) * s.stride;
        std::swap(row[x], row[y]);
        const double change = row[x] - row[y];
        row[classX] += change;
        row[classY] -= change;
      }
    }
    std::swap(state.strokes[x], state.strokes[y]);
    std::swap(state.occupant[x], state.occupant[y]);
  }
  if (!s.triples.slotClass.empty()) {
    for (int i = 0; i < s.swapSlotCount[swap]; ++i) {
      state.tripleClass[state.occupant[slots[i]]] = s.triples.slotClass[slots[i]];
    }
  }
  state.counts = counts;
  state.score = objectiveScore(counts, s.weights);
}

int keysMoved(const KeyPermutation& sigma) {
  std::array<bool, kPhysicalKeys> differs{};
  for (int b = 0; b < 256; ++b) {
    if (sigma[b] == b) continue;
    for (const int c : {b, static_cast<int>(sigma[b])}) {
      const int key = physicalKeyOf(static_cast<unsigned char>(c));
      if (key >= 0) differs[key] = true;
    }
  }
  return static_cast<int>(std::count(differs.begin(), differs.end(), true));
}

void countTriples(const PermutationScorer& s, const std::vector<int>& occupant,
                  ObjectiveCounts& counts) {
  const PermutationScorer::TripleTables& t = s.triples;
  if (t.slotClass.empty()) return;
  std::vector<std::size_t> classOf(occupant.size());
  for (std::size_t slot = 0; slot < occupant.size(); ++slot) {
    classOf[static_cast<std::size_t>(occupant[slot])] = t.slotClass[slot];
  }
  const std::size_t k = static_cast<std::size_t>(t.classes);
  counts.strokeTriples = counts.redirect = counts.badRedirect = 0;
  for (std::size_t i = 0; i < t.slots.size(); ++i) {
    const std::array<std::uint16_t, 3>& slot = t.slots[i];
    const int f = t.packed[(classOf[slot[0]] * k + classOf[slot[1]]) * k + classOf[slot[2]]];
    counts.strokeTriples += t.counts[i] * (f & 3);
    counts.redirect += t.counts[i] * (f >> 2 & 3);
    counts.badRedirect += t.counts[i] * (f >> 4 & 3);
  }
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
