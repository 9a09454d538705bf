#include "text/utf8_sample.h"

#include <algorithm>
#include <cstring>

#include "text/utf8.h"

namespace kbeval {

namespace {

constexpr std::uint64_t kEveryByte = 0x0101010101010101;
constexpr std::uint64_t kHighBits = 0x8080808080808080;

// Writes the code of `codePoint` (one byte, two bytes or none) and returns
// the next free byte. `out` has room for two bytes whatever the code.
inline unsigned char* writeCode(const std::uint32_t* writes, char32_t codePoint,
                                unsigned char* out) {
  const std::uint32_t write = codePoint < 0x10000 ? writes[codePoint] : 0;
  out[0] = static_cast<unsigned char>(write);
  out[1] = static_cast<unsigned char>(write >> 8);
  return out + (write >> 16);
}

// Finishes a character cut at the end of the last piece with the bytes at the
// start of this one; returns how many of them it took.
std::size_t finishPending(Utf8SampleState& state, const unsigned char* bytes, std::size_t length,
                          unsigned char*& out) {
  unsigned char joined[4];
  const std::size_t had = static_cast<std::size_t>(state.pendingLength);
  std::memcpy(joined, state.pending, had);
  const std::size_t added = std::min(length, sizeof joined - had);
  std::memcpy(joined + had, bytes, added);
  const Utf8Char c = decodeUtf8Char(joined, had + added);
  switch (c.status) {
    case Utf8Status::ok:
      state.pendingLength = 0;
      out = writeCode(state.johab->writes.data(), c.codePoint, out);
      return static_cast<std::size_t>(c.length) - had;
    case Utf8Status::incomplete:  // still cut: every byte of the piece joins it
      std::memcpy(state.pending, joined, had + added);
      state.pendingLength = static_cast<int>(had + added);
      return added;
    case Utf8Status::invalid:
      break;
  }
  // The lead byte and the continuation bytes after it begin no character;
  // the piece's own bytes are read afresh.
  state.invalidBytes += had;
  state.pendingLength = 0;
  return 0;
}

}  // namespace

void convertUtf8Sample(Utf8SampleState& state, const char* piece, std::size_t length,
                       std::string& out) {
  const auto* in = reinterpret_cast<const unsigned char*>(piece);
  const unsigned char* const end = in + length;
  // Johab never takes more bytes than UTF-8 for the same character; one byte
  // more leaves room for writeCode's second byte.
  const std::size_t start = out.size();
  out.resize(start + length + static_cast<std::size_t>(state.pendingLength) + 1);
  unsigned char* o = reinterpret_cast<unsigned char*>(out.data()) + start;

  if (state.pendingLength > 0) in += finishPending(state, in, length, o);

  const std::uint32_t* const writes = state.johab->writes.data();
  const int exception = state.johab->asciiException;
  // Eight ASCII bytes, none of them the exception, are copied whole.
  const bool asciiShortcut = exception >= -1;
  const std::uint64_t exceptionBytes =
      exception >= 0 ? kEveryByte * static_cast<std::uint64_t>(exception) : kHighBits;
  while (in < end) {
    // Three-byte characters (all of Hangul, the bulk of a Korean text) one
    // after the other, with the checks that keep out overlong forms and
    // surrogates.
    while (end - in >= 3) {
      const char32_t codePoint = (in[0] & 0x0Fu) << 12 | (in[1] & 0x3Fu) << 6 | (in[2] & 0x3Fu);
      if ((in[0] & 0xF0u) != 0xE0u || ((in[1] ^ 0x80u) | (in[2] ^ 0x80u)) >= 0x40u ||
          codePoint < 0x800 || codePoint - 0xD800u < 0x800u)
        break;
      o = writeCode(writes, codePoint, o);
      in += 3;
      // One ASCII byte after it (a space between words, a full stop) is
      // taken without a branch: such a change of kind is too frequent and
      // too irregular to predict.
      if (end == in) break;
      const unsigned ascii = *in < 0x80;
      const std::uint32_t write = writes[*in & 0x7F] & (0u - ascii);
      o[0] = static_cast<unsigned char>(write);
      o[1] = static_cast<unsigned char>(write >> 8);
      o += write >> 16;
      in += ascii;
    }
    if (in == end) break;
    if (*in < 0x80) {
      // An ASCII byte; then a run of
      // them a word at a time, and the bytes of a word that stopped that.
      o = writeCode(writes, *in++, o);
      if (asciiShortcut && in < end && *in < 0x80) {
        while (end - in >= 8) {
          std::uint64_t word;
          std::memcpy(&word, in, 8);
          const std::uint64_t other = word ^ exceptionBytes;
          if ((word & kHighBits) != 0 || ((other - kEveryByte) & ~other & kHighBits) != 0) break;
          std::memcpy(o, &word, 8);
          in += 8;
          o += 8;
        }
        const unsigned char* const stop = end - in > 8 ? in + 8 : end;
        while (in < stop && *in < 0x80) o = writeCode(writes, *in++, o);
      }
      continue;
    }
    const Utf8Char c = decodeUtf8Char(in, static_cast<std::size_t>(end - in));
    if (c.status == Utf8Status::ok) {
      o = writeCode(writes, c.codePoint, o);
      in += c.length;
    } else if (c.status == Utf8Status::incomplete) {
      state.pendingLength = static_cast<int>(end - in);
      std::memcpy(state.pending, in, static_cast<std::size_t>(state.pendingLength));
      break;
    } else {
      ++state.invalidBytes;
      ++in;
    }
  }
  out.resize(static_cast<std::size_t>(o - reinterpret_cast<unsigned char*>(out.data())));
}

void finishUtf8Sample(Utf8SampleState& state) {
  state.invalidBytes += static_cast<std::uint64_t>(state.pendingLength);
  state.pendingLength = 0;
}

bool looksLikeUtf16(std::string_view start) {
  if (start.starts_with("\xFF\xFE") || start.starts_with("\xFE\xFF")) return true;
  const std::string_view head = start.substr(0, 1024);
  const auto zeros = static_cast<std::size_t>(std::count(head.begin(), head.end(), '\0'));
  return zeros >= 8 && zeros * 16 >= head.size();
}

bool isPlainlyKoreanUtf8(std::string_view start) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(start.data());
  bool hangul = false;
  std::size_t at = 0;
  while (at < start.size()) {
    const Utf8Char c = decodeUtf8Char(bytes + at, start.size() - at);
    if (c.status == Utf8Status::incomplete) break;
    if (c.status == Utf8Status::invalid) return false;
    hangul = hangul || (c.codePoint >= 0xAC00 && c.codePoint <= 0xD7A3);
    at += static_cast<std::size_t>(c.length);
  }
  return hangul;
}

}  // namespace kbeval
