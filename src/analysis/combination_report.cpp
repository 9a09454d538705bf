#include <array>
#include <cstddef>
#include <cstdio>
#include <string_view>

#include "analysis/text_reports.h"
#include "layouts/character_tables.h"

namespace kbeval {
namespace {

// The codes or keys a table shows along one side, with their labels.
struct Axis {
  std::array<int, 32> index{};
  std::array<std::string_view, 32> label{};
  int size = 0;
};

template <std::size_t N>
constexpr Axis makeAxis(const std::array<std::string_view, N>& names, int first, int last,
                        bool namedOnly) {
  Axis axis;
  for (int i = first; i <= last; ++i) {
    if (namedOnly && names[i].empty()) continue;
    axis.index[axis.size] = i;
    axis.label[axis.size] = names[i];
    ++axis.size;
  }
  return axis;
}

// Medials without a jamo are left out; final code 18 keeps its unlabelled row.
constexpr Axis kMedialAxis = makeAxis(MedialNames, 0, kMedialCodes - 1, true);
constexpr Axis kInitialAxis = makeAxis(InitialNames, 2, kInitialCodes - 1, false);
constexpr Axis kFinalAxis = makeAxis(FinalNames, 2, kFinalCodes - 1, false);
constexpr Axis kConsonantAxis = makeAxis(DahsoriNames, 1, kKeyListSize - 1, false);
constexpr Axis kVowelAxis = makeAxis(HolsoriNames, 1, kKeyListSize - 1, false);

static_assert(kMedialAxis.size == 21 && kInitialAxis.size == 19 && kFinalAxis.size == 28);

void printLabel(std::string_view label, OutputEncoding encoding, std::FILE* out) {
  label = displayText(label, encoding);
  std::fwrite(label.data(), 1, label.size(), out);
}

// Appends " n" in decimal, as " %lld" prints it: the tables hold thousands of
// cells, and formatting each through printf was most of the report's time.
char* appendCount(char* at, long long n) {
  *at++ = ' ';
  unsigned long long magnitude = static_cast<unsigned long long>(n);
  if (n < 0) {
    *at++ = '-';
    magnitude = 0 - magnitude;
  }
  char digits[20];
  int length = 0;
  do {
    digits[length++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  while (length > 0) *at++ = digits[--length];
  return at;
}

// Title, corner and column labels, then one line per row: its label and its
// counts, each after one space, then an empty line.
template <typename Cell>
void printTable(const char* title, const char* corner, const Axis& rows, const Axis& columns,
                Cell cell, OutputEncoding encoding, std::FILE* out) {
  std::fputs(title, out);
  std::fputs(corner, out);
  for (int k = 0; k < columns.size; ++k) {
    std::fputc(' ', out);
    printLabel(columns.label[k], encoding, out);
  }
  std::fputc('\n', out);
  // One row's counts: at most 32 of a space, a sign and 19 digits.
  char line[32 * 21 + 1];
  for (int r = 0; r < rows.size; ++r) {
    printLabel(rows.label[r], encoding, out);
    char* end = line;
    for (int k = 0; k < columns.size; ++k) {
      end = appendCount(end, static_cast<long long>(cell(rows.index[r], columns.index[k])));
    }
    *end++ = '\n';
    std::fwrite(line, 1, static_cast<std::size_t>(end - line), out);
  }
  std::fputc('\n', out);
}

}  // namespace

void printCombinationReport(const CombinationCounts& counts, std::FILE* out,
                            OutputEncoding encoding) {
  printTable(
      "\nCheotsori-Gaungetsori ieum\n", "**", kInitialAxis, kMedialAxis,
      [&](int r, int k) { return counts.cheotGaundeIeum[r][k]; }, encoding, out);
  printTable(
      "Dah-Hol sori key combination frequency\n", "+", kConsonantAxis, kVowelAxis,
      [&](int r, int k) { return counts.dahHolKeyFreq[r][k]; }, encoding, out);
  printTable(
      "\nGgeutsori-Cheotsori ieum\n", "**", kFinalAxis, kInitialAxis,
      [&](int r, int k) { return counts.ggeutCheotIeum[r][k]; }, encoding, out);
  printTable(
      "Dahsori Key Combination Frequncy\n", "*", kConsonantAxis, kConsonantAxis,
      [&](int r, int k) { return counts.dahKeyFreq[r][k]; }, encoding, out);
  // Without order a pair and its reverse are one; the diagonal is not doubled.
  printTable(
      "Dahsori key combination frequency (no order)\n", "x", kConsonantAxis, kConsonantAxis,
      [&](int r, int k) {
        return r == k ? counts.dahKeyFreq[r][r] : counts.dahKeyFreq[r][k] + counts.dahKeyFreq[k][r];
      },
      encoding, out);
  // The last two are stored medial by final and vowel by consonant, and
  // printed turned so that consonants run down and vowels across.
  printTable(
      "Gaunde-Ggeut sori combination frequency\n", "++", kFinalAxis, kMedialAxis,
      [&](int r, int k) { return counts.gaundeGgeutFreq[k][r]; }, encoding, out);
  printTable(
      "Hol-Dah sori key combination frequency\n", "+", kConsonantAxis, kVowelAxis,
      [&](int r, int k) { return counts.holDahKeyFreq[k][r]; }, encoding, out);
}

}  // namespace kbeval
