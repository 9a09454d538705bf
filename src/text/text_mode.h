// DOS text-mode reading: a CR LF pair becomes LF, a lone CR stays, and the
// byte 0x1A ends the file. The translation carries its state across pieces so
// that a file read in pieces gives exactly the text read whole.
#pragma once

#include <cstddef>
#include <string>

namespace kbeval {

struct TextModeState {
  bool pendingCarriageReturn = false;
  bool ended = false;  // 0x1A seen: everything after it is not text
};

// Appends the translation of `piece` to `out` (which it does not clear).
void translateTextMode(TextModeState& state, const char* piece, std::size_t length,
                       std::string& out);

// Flushes a carriage return held back at the very end of the file.
void finishTextMode(TextModeState& state, std::string& out);

// The length of `bytes` up to and including the first byte that ends a
// sample's text (0x1A, or a zero byte, which ends the scan), or all of it.
std::size_t lengthThroughTextEnd(const char* bytes, std::size_t length);

}  // namespace kbeval
