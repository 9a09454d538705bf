#include "analysis/combinations.h"

#include <array>
#include <string_view>

#include "layouts/character_tables.h"

namespace kbeval {
namespace {

// The keys a jamo begins and ends with (0 = no key), and whether it is a
// compound final whose two different consonants form an inner pair.
struct JamoKeys {
  int first = 0;
  int last = 0;
  bool innerPair = false;
};

// Position 1..15 of `name` in a 16-entry key list, else 0.
constexpr int keyIn(const std::array<std::string_view, kKeyListSize>& keys, std::string_view name) {
  if (name.empty()) return 0;
  return findName(keys, name).value_or(0);
}

// A jamo in the key list is its own key; otherwise it is split into the two
// parts CompoundJamoParts gives it. A double consonant repeats one consonant,
// so only parts that differ make an inner pair.
constexpr JamoKeys keysOf(const std::array<std::string_view, kKeyListSize>& keys,
                          std::string_view name) {
  if (const int key = keyIn(keys, name); key != 0) return {key, key, false};
  if (name.empty()) return {};
  for (const CompoundJamo& compound : CompoundJamoParts) {
    if (compound.jamo == name) {
      return {keyIn(keys, compound.first), keyIn(keys, compound.second),
              compound.first != compound.second};
    }
  }
  return {};
}

template <std::size_t N>
constexpr std::array<JamoKeys, N> keysByCode(
    const std::array<std::string_view, N>& names,
    const std::array<std::string_view, kKeyListSize>& keys) {
  std::array<JamoKeys, N> result{};
  for (std::size_t code = 0; code < N; ++code) result[code] = keysOf(keys, names[code]);
  return result;
}

// Computed once, at compile time, so a syllable costs three table reads.
constexpr auto kInitialKeys = keysByCode(InitialNames, DahsoriNames);
constexpr auto kMedialKeys = keysByCode(MedialNames, HolsoriNames);
constexpr auto kFinalKeys = keysByCode(FinalNames, DahsoriNames);

// Consonant keys: 1 ㄱ, 2 ㄴ, 3 ㄷ, 4 ㄹ, 6 ㅂ, 7 ㅅ, 8 ㅆ. Vowel keys: 9 ㅗ, 11 ㅜ, 14 ㅢ, 15 ㅣ.
static_assert(kInitialKeys[3].first == 1 && kInitialKeys[3].last == 1);    // ㄲ counts as ㄱ
static_assert(kInitialKeys[12].first == 8);                                // ㅆ stays ㅆ
static_assert(kMedialKeys[14].first == 9 && kMedialKeys[14].last == 1);    // ㅘ: ㅗ ... ㅏ
static_assert(kMedialKeys[28].first == 14 && kMedialKeys[28].last == 14);  // ㅢ is its own key
static_assert(kFinalKeys[10].first == 4 && kFinalKeys[10].last == 1 && kFinalKeys[10].innerPair);
static_assert(kFinalKeys[3].first == 1 && !kFinalKeys[3].innerPair);   // final ㄲ: no pair
static_assert(kFinalKeys[20].first == 6 && kFinalKeys[20].last == 7);  // ㅄ
static_assert(kFinalKeys[18].first == 0 && kFinalKeys[1].first == 0);  // unnamed, fill

// Final codes that name a consonant (not 0, the fill code 1, or 18).
constexpr std::array<bool, kFinalCodes> makeRealFinals() {
  std::array<bool, kFinalCodes> real{};
  for (int code = 2; code < kFinalCodes; ++code) real[code] = !FinalNames[code].empty();
  return real;
}
constexpr std::array<bool, kFinalCodes> kIsRealFinal = makeRealFinals();

constexpr bool inRange(int code, int size) {
  return static_cast<unsigned>(code) < static_cast<unsigned>(size);
}

}  // namespace

void countSyllables(CombinationCounts& counts, int initial, int medial, int final, Count n) {
  // The scanner only passes codes it has range-checked; anything else is
  // dropped rather than indexed.
  if (!inRange(initial, kInitialCodes) || !inRange(medial, kMedialCodes) ||
      !inRange(final, kFinalCodes)) {
    return;
  }
  const JamoKeys& initialKeys = kInitialKeys[initial];
  const JamoKeys& medialKeys = kMedialKeys[medial];
  const JamoKeys& finalKeys = kFinalKeys[final];
  if (medial != 0) {
    counts.dahHolKeyFreq[initialKeys.first][medialKeys.first] += n;
    counts.cheotGaundeIeum[initial][medial] += n;
  }
  // The fill code 1 (no final) passes: the vowel then meets key 0.
  if (final != 0) {
    counts.holDahKeyFreq[medialKeys.last][finalKeys.first] += n;
    counts.gaundeGgeutFreq[medial][final] += n;
  }
  // Only the eleven compound finals have an inner pair.
  if (finalKeys.innerPair) counts.dahKeyFreq[finalKeys.first][finalKeys.last] += n;
}

void countJunctions(CombinationCounts& counts, int previousFinal, int initial, Count n) {
  if (!inRange(initial, kInitialCodes) || !inRange(previousFinal, kFinalCodes)) return;
  // Only a real final consonant touches the next initial.
  if (!kIsRealFinal[previousFinal]) return;
  const int before = kFinalKeys[previousFinal].last;
  const int after = kInitialKeys[initial].first;
  if (before != 0 && after != 0) counts.dahKeyFreq[before][after] += n;
  counts.ggeutCheotIeum[previousFinal][initial] += n;
}

void countCombinations(CombinationCounts& counts, int initial, int medial, int final,
                       int previousFinal) {
  if (!inRange(initial, kInitialCodes) || !inRange(medial, kMedialCodes) ||
      !inRange(final, kFinalCodes) || !inRange(previousFinal, kFinalCodes)) {
    return;
  }
  countSyllables(counts, initial, medial, final, 1);
  countJunctions(counts, previousFinal, initial, 1);
}

void countTalliedCombinations(const ScanTally& tally, CombinationCounts& counts) {
  // Syllable codes are 0x8000..0xD3FF; the scan counted only valid ones as
  // syllables, and so does countSyllables.
  // Only the rows of codes the text used.
  const Count* tallied = tally.characterCounts.data();  // kCharacterCodes counts
  for (std::size_t row = 0x80; row < 0xD4; ++row) {
    if (tally.rowsCounted[row] == 0) continue;
    for (std::size_t code = row << 8; code < (row + 1) << 8; ++code) {
      const Count n = tallied[code];
      if (n == 0) continue;
      countSyllables(counts, static_cast<int>(code >> 10 & 31), static_cast<int>(code >> 5 & 31),
                     static_cast<int>(code & 31), n);
    }
  }
  for (std::size_t cell = 0; cell < kJunctionCells; ++cell) {
    const Count n = tally.junctionCounts[cell];
    if (n != 0) countJunctions(counts, static_cast<int>(cell >> 5), static_cast<int>(cell & 31), n);
  }
}

}  // namespace kbeval
