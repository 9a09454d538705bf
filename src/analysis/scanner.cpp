#include "analysis/scanner.h"

#include <algorithm>
#include <cstring>
#include <span>

#include "analysis/combinations.h"

namespace kbeval {

namespace {

// Every piece is copied with one fixed-size move when it fits, so the pool
// and the key stream keep this much slack behind their last byte.
constexpr std::size_t kCopyWidth = 16;

// Sign index of each ASCII byte, or -1.
constexpr std::array<signed char, 128> makeSignIndex() {
  std::array<signed char, 128> index{};
  for (int c = 0; c < 128; ++c) {
    const auto sign = findSign(static_cast<unsigned char>(c));
    index[c] = sign ? static_cast<signed char>(*sign) : -1;
  }
  return index;
}
constexpr std::array<signed char, 128> kSignIndex = makeSignIndex();

// Symbol row of every code with lead byte 0xD9 (first half) or 0xDC (second
// half), or -1; no other lead byte carries a symbol.
constexpr std::array<signed char, 512> makeSymbolIndex() {
  std::array<signed char, 512> index{};
  for (int b2 = 0; b2 < 256; ++b2) {
    const auto d9 = findSymbol(0xD9, static_cast<unsigned char>(b2));
    const auto dc = findSymbol(0xDC, static_cast<unsigned char>(b2));
    index[b2] = d9 ? static_cast<signed char>(*d9) : -1;
    index[256 + b2] = dc ? static_cast<signed char>(*dc) : -1;
  }
  return index;
}
constexpr std::array<signed char, 512> kSymbolIndex = makeSymbolIndex();

bool isQuote(int symbol, std::string_view a, std::string_view b) {
  return SymbolNames[symbol] == a || SymbolNames[symbol] == b;
}

KeyPiece addPiece(std::string& pool, std::string_view bytes, bool untreated) {
  KeyPiece piece;
  piece.offset = static_cast<std::uint32_t>(pool.size());
  piece.length = static_cast<std::uint16_t>(bytes.size());
  piece.untreated = untreated ? 1 : 0;
  pool.append(bytes);
  return piece;
}

// A key string, or the untreated marker where the layout has none.
KeyPiece addKeysOrMarker(std::string& pool, const std::string& keys) {
  if (keys.empty()) return addPiece(pool, std::string_view("\x18", 1), true);
  return addPiece(pool, keys, false);
}

std::uint16_t twoByteCode(unsigned b1, unsigned b2) {
  return static_cast<std::uint16_t>((b1 << 8) | b2);
}

// Room for `characters` more characters in the transcriber's key stream.
void reserveKeyStream(Transcriber& t, std::size_t characters) {
  const std::size_t needed = t.keyStreamLength + characters * t.longestPiece + kCopyWidth;
  if (t.keyStream.size() < needed) t.keyStream.resize(std::max(needed, 2 * t.keyStream.size()));
}

// Appends the keys of every character to the transcriber's key stream.
void transcribe(std::span<const std::uint16_t> characters, Transcriber& t) {
  reserveKeyStream(t, characters.size());
  const KeyPiece* pieces = t.pieces.data();
  const char* pool = t.pool.data();
  unsigned char* const begin = t.keyStream.data() + t.keyStreamLength;
  unsigned char* out = begin;
  Count untreated = 0;
  for (const std::uint16_t character : characters) {
    const KeyPiece piece = pieces[character];
    // One fixed-size move when the piece fits: no call, no branch on its length.
    if (piece.length <= kCopyWidth) {
      std::memcpy(out, pool + piece.offset, kCopyWidth);
    } else {
      std::memcpy(out, pool + piece.offset, piece.length);
    }
    out += piece.length;
    untreated += piece.untreated;
  }
  t.keyStreamLength += static_cast<std::size_t>(out - begin);
  t.untreatedCount += untreated;
}

}  // namespace

Transcriber makeTranscriber(const LayoutRecord& layout) {
  return makeTranscriber(layout, '\'', '"');
}

Transcriber makeTranscriber(const LayoutRecord& layout, unsigned char singleQuote,
                            unsigned char doubleQuote) {
  Transcriber t;
  std::string& pool = t.pool;
  t.pieces.assign(kCharacterCodes, addPiece(pool, {}, false));
  t.pieces[' '] = addPiece(pool, " ", false);
  t.pieces['\n'] = addPiece(pool, "\n", false);
  for (int s = 0; s < kSignCount; ++s) {
    t.pieces[static_cast<unsigned char>(SignChars[s])] = addKeysOrMarker(pool, layout.signKeys[s]);
  }
  // Symbols, the first row winning where two share a code.
  for (int k = kSymbolCount - 1; k >= 0; --k) {
    const std::string& keys = layout.symbolKeys[k];
    KeyPiece piece;
    // Typographic quotes are typed as the plain quote key, whatever the layout names.
    if (!keys.empty() && isQuote(k, "\xA1\xAE", "\xA1\xAF")) {
      piece =
          addPiece(pool, std::string_view(reinterpret_cast<const char*>(&singleQuote), 1), false);
    } else if (!keys.empty() && isQuote(k, "\xA1\xB0", "\xA1\xB1")) {
      piece =
          addPiece(pool, std::string_view(reinterpret_cast<const char*>(&doubleQuote), 1), false);
    } else {
      piece = addKeysOrMarker(pool, keys);
    }
    t.pieces[SymbolCodes[k]] = piece;
  }
  // Syllables: the initial, medial and final keys, one after the other. A
  // layout whose file failed to open types no syllable.
  if (!layout.fileName.empty()) {
    std::string keys;
    for (unsigned b1 = 0x80; b1 < 0xD4; ++b1) {
      for (unsigned b2 = 0; b2 < 256; ++b2) {
        const unsigned initial = (b1 >> 2) & 31;
        const unsigned medial = ((b1 & 3) << 3) | (b2 >> 5);
        const unsigned final = b2 & 31;
        if (initial >= kInitialCodes || medial >= kMedialCodes || final >= kFinalCodes) continue;
        keys = layout.initialKeys[initial];
        keys += layout.medialKeys[medial];
        keys += layout.finalKeys[final];
        if (!keys.empty()) t.pieces[twoByteCode(b1, b2)] = addPiece(pool, keys, false);
      }
    }
  }
  for (const KeyPiece& piece : t.pieces) {
    t.longestPiece = std::max<std::size_t>(t.longestPiece, piece.length);
  }
  pool.append(kCopyWidth, '\0');
  return t;
}

void scanText(ScanState& state, const unsigned char* text, std::size_t length, TextCounts& counts,
              CombinationCounts& combinations, std::vector<Transcriber>& transcribers) {
  if (state.stopped || length == 0) return;
  // Written through a pointer: a push_back per character was a call per
  // character in the scan's hot loop. The buffer only ever grows, so it is
  // not cleared again for every piece.
  std::vector<std::uint16_t>& characters = state.characters;
  if (characters.size() < length + 1) characters.resize(length + 1);
  std::uint16_t* next = characters.data();

  std::size_t i = 0;
  int lead = state.pendingLeadByte;
  state.pendingLeadByte = -1;
  int previousFinal = state.previousFinalCode;

  while (i < length || lead >= 0) {
    unsigned b1;
    if (lead >= 0) {
      b1 = static_cast<unsigned>(lead);
      lead = -1;
    } else {
      b1 = text[i++];
      if (b1 == 0) {
        state.stopped = true;
        break;
      }
      if (b1 < 0x80) {
        if (b1 == ' ') {
          ++counts.spaceCount;
          *next++ = ' ';
        } else if (b1 == '\n') {
          ++counts.enterCount;
          *next++ = '\n';
        } else {
          const int sign = kSignIndex[b1];
          if (sign >= 0) {
            ++counts.signCount[sign];
            counts.digitCount += sign < 10;
            *next++ = static_cast<std::uint16_t>(b1);
          }
        }
        previousFinal = 0;
        continue;
      }
    }
    // A two-byte code: its trail byte may lie in the next piece.
    if (i == length) {
      state.pendingLeadByte = static_cast<int>(b1);
      break;
    }
    const unsigned b2 = text[i++];
    if (b2 == 0) {  // the text ends inside the code; the lead byte is dropped
      state.stopped = true;
      break;
    }
    if (b1 >= 0xD4) {  // no syllable: a symbol, or skipped
      int symbol = -1;
      if (b1 == 0xD9) symbol = kSymbolIndex[b2];
      if (b1 == 0xDC) symbol = kSymbolIndex[256 + b2];
      if (symbol >= 0) {
        ++counts.symbolCount[symbol];
        *next++ = twoByteCode(b1, b2);
      }
      previousFinal = 0;
      continue;
    }
    const int initial = static_cast<int>((b1 >> 2) & 31);
    const int medial = static_cast<int>(((b1 & 3) << 3) | (b2 >> 5));
    const int final = static_cast<int>(b2 & 31);
    if (initial >= kInitialCodes || medial >= kMedialCodes || final >= kFinalCodes) {
      previousFinal = 0;
      continue;
    }
    ++counts.natnaeCount;
    ++counts.initialCount[initial];
    ++counts.medialCount[medial];
    ++counts.finalCount[final];
    countCombinations(combinations, initial, medial, final, previousFinal);
    *next++ = twoByteCode(b1, b2);
    previousFinal = final;
  }
  state.previousFinalCode = previousFinal;
  const std::span<const std::uint16_t> typed(characters.data(),
                                             static_cast<std::size_t>(next - characters.data()));
  for (Transcriber& t : transcribers) transcribe(typed, t);
}

std::string keyStreamText(const Transcriber& transcriber) {
  return std::string(reinterpret_cast<const char*>(transcriber.keyStream.data()),
                     transcriber.keyStreamLength);
}

}  // namespace kbeval
