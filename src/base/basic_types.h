// The two things every room counts with: the counter type, and the key-stream
// byte that stands for a character a layout cannot type.
#pragma once

namespace kbeval {

// Counters are 64-bit so that gigabyte corpora never overflow them.
using Count = long long;

// The key-stream byte that stands for a digit, sign or symbol a layout has no
// keys for: it breaks the stroke sequence and is counted as untreated.
inline constexpr unsigned char kUntreatedMarker = 0x18;

}  // namespace kbeval
