// Unicode side of the importer: how the conjoining jamo and symbols that a
// Hangul keyboard XML names map onto the Johab codes and KS X 1001 strings of
// the layout file.
#pragma once

#include <array>
#include <optional>

namespace kbeval::import {

// Which part of a syllable a jamo fills; the layout file keeps one table each.
enum class Slot { Initial, Medial, Final };

// The Johab code (index into InitialNames, MedialNames or FinalNames) of a
// modern conjoining jamo: choseong U+1100..U+1112, jungseong U+1161..U+1175,
// jongseong U+11A8..U+11C2. Anything else, old Hangul included, gives nothing.
struct JohabJamo {
  Slot slot;
  int code;
};
std::optional<JohabJamo> johabJamo(char32_t jamo);

// True for any conjoining jamo, modern or old (U+1100..U+11FF, U+A960..U+A97F,
// U+D7B0..U+D7FF), so that old jamo can be told apart from other characters.
bool isConjoiningJamo(char32_t c);

// The final that a choseong becomes when a 2-set keyboard types it after a
// vowel (U+1100 becomes U+11A8); nothing for those without a final (U+1104).
std::optional<char32_t> choseongAsJongseong(char32_t choseong);

// The Unicode character of each SymbolNames row; 0 for row 48, whose name is
// the ASCII "?" and which a layout can never give keys.
extern const std::array<char32_t, 50> SymbolUnicode;

// The row of SymbolNames that stands for `c`, if any.
std::optional<int> symbolRow(char32_t c);

}  // namespace kbeval::import
