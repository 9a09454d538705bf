#include "text/text_mode.h"

#include <cstring>

namespace kbeval {

namespace {
constexpr char kEndOfFile = 0x1A;
}

void translateTextMode(TextModeState& state, const char* piece, std::size_t length,
                       std::string& out) {
  if (state.ended || length == 0) return;
  std::size_t begin = 0;
  if (state.pendingCarriageReturn) {
    state.pendingCarriageReturn = false;
    if (piece[0] != '\n') out.push_back('\r');  // a lone CR stays
  }
  const void* eof = std::memchr(piece, kEndOfFile, length);
  std::size_t end = length;
  if (eof != nullptr) {
    end = static_cast<std::size_t>(static_cast<const char*>(eof) - piece);
    state.ended = true;
  }
  // Copy runs between carriage returns; a CR directly before LF is dropped.
  while (begin < end) {
    const void* found = std::memchr(piece + begin, '\r', end - begin);
    if (found == nullptr) {
      out.append(piece + begin, end - begin);
      break;
    }
    const std::size_t cr = static_cast<std::size_t>(static_cast<const char*>(found) - piece);
    out.append(piece + begin, cr - begin);
    if (cr + 1 < end) {
      if (piece[cr + 1] != '\n') out.push_back('\r');
    } else if (state.ended) {
      out.push_back('\r');  // the text ends at 0x1A right after it
    } else {
      state.pendingCarriageReturn = true;
    }
    begin = cr + 1;
  }
}

void finishTextMode(TextModeState& state, std::string& out) {
  if (state.pendingCarriageReturn) out.push_back('\r');
  state.pendingCarriageReturn = false;
  state.ended = true;
}

std::size_t lengthThroughTextEnd(const char* bytes, std::size_t length) {
  if (length == 0) return 0;
  const void* endOfFile = std::memchr(bytes, kEndOfFile, length);
  if (endOfFile != nullptr)
    length = static_cast<std::size_t>(static_cast<const char*>(endOfFile) - bytes) + 1;
  const void* zero = std::memchr(bytes, '\0', length);
  if (zero != nullptr)
    length = static_cast<std::size_t>(static_cast<const char*>(zero) - bytes) + 1;
  return length;
}

}  // namespace kbeval
