// The fixed alphabet of kbeval: jamo by Johab code, the ASCII digits and signs,
// the two-byte symbols, and the short consonant and vowel lists of the
// combination tables. Jamo are KS X 1001 two-byte strings; "" means no jamo.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace kbeval {

inline constexpr int kInitialCodes = 21;
inline constexpr int kMedialCodes = 30;
inline constexpr int kFinalCodes = 30;
inline constexpr int kSignCount = 42;
inline constexpr int kSymbolCount = 50;
inline constexpr int kKeyListSize = 16;  // DahsoriNames, HolsoriNames

// Index = Johab initial code (0 unassigned, 1 fill).
inline constexpr std::array<std::string_view, kInitialCodes> InitialNames = {
    "",         "",         "\xA4\xA1", "\xA4\xA2", "\xA4\xA4", "\xA4\xA7", "\xA4\xA8",
    "\xA4\xA9", "\xA4\xB1", "\xA4\xB2", "\xA4\xB3", "\xA4\xB5", "\xA4\xB6", "\xA4\xB7",
    "\xA4\xB8", "\xA4\xB9", "\xA4\xBA", "\xA4\xBB", "\xA4\xBC", "\xA4\xBD", "\xA4\xBE",
};

// Index = Johab medial code (2 fill; 0, 1, 8, 9, 16, 17, 24, 25 unassigned).
inline constexpr std::array<std::string_view, kMedialCodes> MedialNames = {
    "", "", "",         "\xA4\xBF", "\xA4\xC0", "\xA4\xC1", "\xA4\xC2", "\xA4\xC3",
    "", "", "\xA4\xC4", "\xA4\xC5", "\xA4\xC6", "\xA4\xC7", "\xA4\xC8", "\xA4\xC9",
    "", "", "\xA4\xCA", "\xA4\xCB", "\xA4\xCC", "\xA4\xCD", "\xA4\xCE", "\xA4\xCF",
    "", "", "\xA4\xD0", "\xA4\xD1", "\xA4\xD2", "\xA4\xD3",
};

// Index = Johab final code (1 fill; 0 and 18 unassigned).
inline constexpr std::array<std::string_view, kFinalCodes> FinalNames = {
    "",         "",         "\xA4\xA1", "\xA4\xA2", "\xA4\xA3", "\xA4\xA4", "\xA4\xA5", "\xA4\xA6",
    "\xA4\xA7", "\xA4\xA9", "\xA4\xAA", "\xA4\xAB", "\xA4\xAC", "\xA4\xAD", "\xA4\xAE", "\xA4\xAF",
    "\xA4\xB0", "\xA4\xB1", "",         "\xA4\xB2", "\xA4\xB4", "\xA4\xB5", "\xA4\xB6", "\xA4\xB7",
    "\xA4\xB8", "\xA4\xBA", "\xA4\xBB", "\xA4\xBC", "\xA4\xBD", "\xA4\xBE",
};

// The digits and ASCII signs; a sign's index is its position here.
inline constexpr std::string_view SignChars = "0123456789`~!@#$%^&*()-_=+[]{}\\|;:'\",.<>/?";
static_assert(SignChars.size() == kSignCount);

// Johab code of each recognised symbol, high byte first. Rows 48 and 49 share
// 0xDCCF; the first row found wins, so row 49 is never counted.
inline constexpr std::array<std::uint16_t, kSymbolCount> SymbolCodes = {
    0xD934, 0xD936, 0xD938, 0xD93A, 0xD93E, 0xD93F, 0xD940, 0xD941, 0xD968, 0xD944,
    0xD945, 0xD946, 0xD947, 0xD948, 0xD949, 0xD94A, 0xD94B, 0xD94C, 0xD94D, 0xD94E,
    0xD94F, 0xD950, 0xD951, 0xD956, 0xD957, 0xD958, 0xD959, 0xD9B5, 0xD9E2, 0xD96B,
    0xD970, 0xD972, 0xD974, 0xD9B7, 0xD9B9, 0xD976, 0xD977, 0xD978, 0xD979, 0xD97A,
    0xD969, 0xD9BD, 0xD9CF, 0xD9D0, 0xD9D1, 0xD95D, 0xD9E6, 0xD9E7, 0xDCCF, 0xDCCF,
};

// KS X 1001 string of each symbol, same rows as SymbolCodes.
inline constexpr std::array<std::string_view, kSymbolCount> SymbolNames = {
    "\xA1\xA4", "\xA1\xA6", "\xA1\xA8", "\xA1\xAA", "\xA1\xAE", "\xA1\xAF", "\xA1\xB0", "\xA1\xB1",
    "\xA1\xD8", "\xA1\xB4", "\xA1\xB5", "\xA1\xB6", "\xA1\xB7", "\xA1\xB8", "\xA1\xB9", "\xA1\xBA",
    "\xA1\xBB", "\xA1\xBC", "\xA1\xBD", "\xA1\xBE", "\xA1\xBF", "\xA1\xC0", "\xA1\xC1", "\xA1\xC6",
    "\xA1\xC7", "\xA1\xC8", "\xA1\xC9", "\xA2\xB5", "\xA2\xE2", "\xA1\xDB", "\xA1\xE0", "\xA1\xE2",
    "\xA1\xE4", "\xA2\xB7", "\xA2\xB9", "\xA1\xE6", "\xA1\xE7", "\xA1\xE8", "\xA1\xE9", "\xA1\xEA",
    "\xA1\xD9", "\xA2\xBD", "\xA2\xCF", "\xA2\xD0", "\xA2\xD1", "\xA1\xCD", "\xA2\xE6", "\xA2\xE7",
    "?",        "\xA8\xCF",
};

// Vowel keys of the combination tables: ㅢ is one, no other compound vowel.
inline constexpr std::array<std::string_view, kKeyListSize> HolsoriNames = {
    "",         "\xA4\xBF", "\xA4\xC0", "\xA4\xC1", "\xA4\xC2", "\xA4\xC3", "\xA4\xC4", "\xA4\xC5",
    "\xA4\xC6", "\xA4\xC7", "\xA4\xCB", "\xA4\xCC", "\xA4\xD0", "\xA4\xD1", "\xA4\xD2", "\xA4\xD3",
};

// Consonant keys of the combination tables: ㅆ is one, no other double consonant.
inline constexpr std::array<std::string_view, kKeyListSize> DahsoriNames = {
    "",         "\xA4\xA1", "\xA4\xA4", "\xA4\xA7", "\xA4\xA9", "\xA4\xB1", "\xA4\xB2", "\xA4\xB5",
    "\xA4\xB6", "\xA4\xB7", "\xA4\xB8", "\xA4\xBA", "\xA4\xBB", "\xA4\xBC", "\xA4\xBD", "\xA4\xBE",
};

struct CompoundJamo {
  std::string_view jamo;
  std::string_view first;
  std::string_view second;
};

// Double consonants, compound vowels and compound finals, split in two.
inline constexpr std::array<CompoundJamo, 21> CompoundJamoParts = {{
    {"\xA4\xA2", "\xA4\xA1", "\xA4\xA1"},  // ㄲ
    {"\xA4\xA8", "\xA4\xA7", "\xA4\xA7"},  // ㄸ
    {"\xA4\xB3", "\xA4\xB2", "\xA4\xB2"},  // ㅃ
    {"\xA4\xB9", "\xA4\xB8", "\xA4\xB8"},  // ㅉ
    {"\xA4\xC8", "\xA4\xC7", "\xA4\xBF"},  // ㅘ
    {"\xA4\xC9", "\xA4\xC7", "\xA4\xC0"},  // ㅙ
    {"\xA4\xCA", "\xA4\xC7", "\xA4\xD3"},  // ㅚ
    {"\xA4\xCD", "\xA4\xCC", "\xA4\xC3"},  // ㅝ
    {"\xA4\xCE", "\xA4\xCC", "\xA4\xC4"},  // ㅞ
    {"\xA4\xCF", "\xA4\xCC", "\xA4\xD3"},  // ㅟ
    {"\xA4\xA3", "\xA4\xA1", "\xA4\xB5"},  // ㄳ
    {"\xA4\xA5", "\xA4\xA4", "\xA4\xB8"},  // ㄵ
    {"\xA4\xA6", "\xA4\xA4", "\xA4\xBE"},  // ㄶ
    {"\xA4\xAA", "\xA4\xA9", "\xA4\xA1"},  // ㄺ
    {"\xA4\xAB", "\xA4\xA9", "\xA4\xB1"},  // ㄻ
    {"\xA4\xAC", "\xA4\xA9", "\xA4\xB2"},  // ㄼ
    {"\xA4\xAD", "\xA4\xA9", "\xA4\xB5"},  // ㄽ
    {"\xA4\xAE", "\xA4\xA9", "\xA4\xBC"},  // ㄾ
    {"\xA4\xAF", "\xA4\xA9", "\xA4\xBD"},  // ㄿ
    {"\xA4\xB0", "\xA4\xA9", "\xA4\xBE"},  // ㅀ
    {"\xA4\xB4", "\xA4\xB2", "\xA4\xB5"},  // ㅄ
}};

// Position of `name` among the first `count` entries of `table`, first match wins.
template <std::size_t N>
constexpr std::optional<int> findName(const std::array<std::string_view, N>& table,
                                      std::string_view name, int count = static_cast<int>(N)) {
  for (int i = 0; i < count; ++i) {
    // Most names differ in their last byte: a cheap test before the whole.
    if (!name.empty() && !table[i].empty() && table[i].back() != name.back()) continue;
    if (table[i] == name) return i;
  }
  return std::nullopt;
}

// Position of an ASCII byte in SignChars.
constexpr std::optional<int> findSign(unsigned char c) {
  if (c == 0) return std::nullopt;
  auto pos = SignChars.find(static_cast<char>(c));
  if (pos == std::string_view::npos) return std::nullopt;
  return static_cast<int>(pos);
}

// Row of the first SymbolCodes entry equal to the two bytes b1 b2.
constexpr std::optional<int> findSymbol(unsigned char b1, unsigned char b2) {
  const std::uint16_t code = static_cast<std::uint16_t>((b1 << 8) | b2);
  for (int k = 0; k < kSymbolCount; ++k) {
    if (SymbolCodes[k] == code) return k;
  }
  return std::nullopt;
}

}  // namespace kbeval
