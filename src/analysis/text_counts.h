// What the scan counts in the text itself, independent of any layout.
#pragma once

#include <array>

#include "base/basic_types.h"
#include "layouts/character_tables.h"

namespace kbeval {

struct TextCounts {
  Count natnaeCount = 0;  // decoded two-byte Hangul codes (syllables)
  std::array<Count, kInitialCodes> initialCount{};
  std::array<Count, kMedialCodes> medialCount{};
  std::array<Count, kFinalCodes> finalCount{};
  std::array<Count, kSignCount> signCount{};
  std::array<Count, kSymbolCount> symbolCount{};
  Count digitCount = 0;  // "0" to "9", also in signCount[0..9]
  Count enterCount = 0;
  Count spaceCount = 0;

  bool operator==(const TextCounts&) const = default;
};

// The six pair tables of the combination report, [row][column].
struct CombinationCounts {
  std::array<std::array<Count, kMedialCodes>, kInitialCodes> cheotGaundeIeum{};
  std::array<std::array<Count, kFinalCodes>, kMedialCodes> gaundeGgeutFreq{};
  std::array<std::array<Count, kInitialCodes>, kFinalCodes> ggeutCheotIeum{};
  std::array<std::array<Count, kKeyListSize>, kKeyListSize> dahKeyFreq{};
  std::array<std::array<Count, kKeyListSize>, kKeyListSize> dahHolKeyFreq{};
  std::array<std::array<Count, kKeyListSize>, kKeyListSize> holDahKeyFreq{};

  bool operator==(const CombinationCounts&) const = default;
};

}  // namespace kbeval
