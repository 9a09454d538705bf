// UTF-8 as the views need it: whether a name is valid UTF-8, and how many
// terminal columns it takes.
#pragma once

#include <cstddef>
#include <string_view>

namespace kbeval {

// Well-formed UTF-8: no stray or missing continuation bytes, no overlong
// forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(std::string_view text);

// Terminal columns: code points of valid UTF-8 (Hangul, CJK and fullwidth
// forms count two, combining marks none), else one per byte (so a CP949
// syllable, two bytes, counts two).
std::size_t displayWidth(std::string_view text);

}  // namespace kbeval
