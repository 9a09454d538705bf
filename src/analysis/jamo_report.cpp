#include <array>
#include <cstddef>
#include <string_view>

#include "analysis/text_reports.h"
#include "layouts/character_tables.h"

namespace kbeval {
namespace {

// Sum of the counts from `firstCode` on whose code names a jamo.
template <std::size_t N>
Count namedTotal(const std::array<Count, N>& counts, const std::array<std::string_view, N>& names,
                 int firstCode) {
  Count total = 0;
  for (int code = firstCode; code < static_cast<int>(N); ++code) {
    if (!names[code].empty()) total += counts[code];
  }
  return total;
}

// A text without Hangul has zero totals; print 0.00 there rather than NaN.
double percentage(Count count, Count total) {
  return total == 0 ? 0.0 : static_cast<double>(count) * 100.0 / static_cast<double>(total);
}

// One row per named code, and one for an unnamed code the text produced.
template <std::size_t N>
void printJamoRows(const std::array<Count, N>& counts, const std::array<std::string_view, N>& names,
                   int firstCode, Count total, OutputEncoding encoding, std::FILE* out) {
  for (int code = firstCode; code < static_cast<int>(N); ++code) {
    if (names[code].empty() && counts[code] == 0) continue;
    const std::string_view name = displayText(names[code], encoding);
    std::fprintf(out, "%.*s:%9lld (%2.2f%%)\n", static_cast<int>(name.size()), name.data(),
                 counts[code], percentage(counts[code], total));
  }
}

}  // namespace

void printJamoReport(const TextCounts& counts, std::FILE* out, OutputEncoding encoding) {
  const Count initialTotal = namedTotal(counts.initialCount, InitialNames, 2);
  const Count medialTotal = namedTotal(counts.medialCount, MedialNames, 3);
  const Count finalTotal = namedTotal(counts.finalCount, FinalNames, 2);
  // Digits are listed on their own, so the sign total leaves them out and
  // takes the two-byte symbols in.
  Count signTotal = -counts.digitCount;
  for (Count count : counts.signCount) signTotal += count;
  for (Count count : counts.symbolCount) signTotal += count;

  std::fprintf(out, "\n");
  std::fprintf(out, "Hangeul Natnae: %lld\n", counts.natnaeCount);
  std::fprintf(out, " (Cheot-sori: %lld, Gaunget-sori: %lld, Ggeut-sori: %lld)\n", initialTotal,
               medialTotal, finalTotal);
  std::fprintf(out, "\n");
  std::fprintf(out, "Digits: %lld\n", counts.digitCount);
  std::fprintf(out, "Signs: %lld\n", signTotal);
  std::fprintf(out, "Enter : %lld\n", counts.enterCount);
  std::fprintf(out, "Space : %lld\n", counts.spaceCount);
  std::fprintf(out, "\n");

  std::fprintf(out, "Cheot-sori Frequency: %lld\n", initialTotal);
  printJamoRows(counts.initialCount, InitialNames, 2, initialTotal, encoding, out);
  std::fprintf(out, "\n");
  std::fprintf(out, "Gaundet-sori Frequency: %lld\n", medialTotal);
  printJamoRows(counts.medialCount, MedialNames, 3, medialTotal, encoding, out);
  std::fprintf(out, "\n");
  std::fprintf(out, "Ggeut-sori Frequency: %lld\n", finalTotal);
  printJamoRows(counts.finalCount, FinalNames, 2, finalTotal, encoding, out);
  std::fprintf(out, "\n");

  std::fprintf(out, "Digits: %lld\n", counts.digitCount);
  for (int digit = 0; digit <= 9; ++digit) {
    std::fprintf(out, " %d:%lld ", digit, counts.signCount[digit]);
  }
  std::fprintf(out, "\n");
  std::fprintf(out, "\n");
  for (int sign = 10; sign < kSignCount; ++sign) {
    std::fprintf(out, "%c : %lld\n", SignChars[sign], counts.signCount[sign]);
  }
  for (int symbol = 0; symbol < kSymbolCount; ++symbol) {
    const std::string_view name = displayText(SymbolNames[symbol], encoding);
    std::fprintf(out, "%.*s : %lld\n", static_cast<int>(name.size()), name.data(),
                 counts.symbolCount[symbol]);
  }
}

}  // namespace kbeval
