// How many terminal columns a name takes, so that tables of names line up.
#pragma once

#include <cstddef>
#include <string_view>

namespace kbeval {

// Terminal columns: code points of valid UTF-8 (Hangul, CJK and fullwidth
// forms count two, combining marks none), else one per byte (so a CP949
// syllable, two bytes, counts two).
std::size_t displayWidth(std::string_view text);

}  // namespace kbeval
