#include "analysis/scanner.h"

#include <algorithm>
#include <cstring>

#include "analysis/combinations.h"

namespace kbeval {

namespace {

// Every piece is copied with one fixed-size move when it fits, so the pool
// and the key stream keep this much slack behind their last byte.
constexpr std::size_t kCopyWidth = 16;

constexpr unsigned char kApostrophe = 0x27;
constexpr unsigned char kDoubleQuote = 0x22;

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
  piece.length = static_cast<std::uint32_t>(bytes.size());
  piece.untreated = untreated ? 1 : 0;
  pool.append(bytes);
  return piece;
}

// A key string, or the untreated marker where the layout has none.
KeyPiece addKeysOrMarker(std::string& pool, const std::string& keys) {
  if (keys.empty()) return addPiece(pool, std::string_view("\x18", 1), true);
  return addPiece(pool, keys, false);
}

struct Appender {
  unsigned char* out;
  const char* pool;

  void append(const KeyPiece& piece) {
    const char* from = pool + piece.offset;
    if (piece.length <= kCopyWidth) {
      std::memcpy(out, from, kCopyWidth);
    } else {
      std::memcpy(out, from, piece.length);
    }
    out += piece.length;
  }
};

// Room for `textLength` more text bytes in the transcriber's key stream.
void reserveKeyStream(Transcriber& t, std::size_t textLength) {
  // A two-byte character appends at most three pieces, a one-byte character one.
  const std::size_t perByte = (3 * t.longestPiece + 1) / 2 + 1;
  const std::size_t needed = t.keyStreamLength + textLength * perByte + kCopyWidth;
  if (t.keyStream.size() < needed) t.keyStream.resize(std::max(needed, 2 * t.keyStream.size()));
}

}  // namespace

Transcriber makeTranscriber(const LayoutRecord& layout) {
  Transcriber t;
  std::string& pool = t.pool;
  for (int c = 0; c < 128; ++c) t.asciiPieces[c] = addPiece(pool, {}, false);
  t.asciiPieces[' '] = addPiece(pool, " ", false);
  t.asciiPieces['\n'] = addPiece(pool, "\n", false);
  for (int s = 0; s < kSignCount; ++s) {
    t.asciiPieces[static_cast<unsigned char>(SignChars[s])] =
        addKeysOrMarker(pool, layout.signKeys[s]);
  }
  for (int i = 0; i < kInitialCodes; ++i)
    t.initialPieces[i] = addPiece(pool, layout.initialKeys[i], false);
  for (int m = 0; m < kMedialCodes; ++m)
    t.medialPieces[m] = addPiece(pool, layout.medialKeys[m], false);
  for (int f = 0; f < kFinalCodes; ++f)
    t.finalPieces[f] = addPiece(pool, layout.finalKeys[f], false);
  for (int k = 0; k < kSymbolCount; ++k) {
    const std::string& keys = layout.symbolKeys[k];
    // Typographic quotes are typed as the plain quote key, whatever the layout names.
    if (!keys.empty() && isQuote(k, "\xA1\xAE", "\xA1\xAF")) {
      t.symbolPieces[k] = addPiece(pool, "'", false);
    } else if (!keys.empty() && isQuote(k, "\xA1\xB0", "\xA1\xB1")) {
      t.symbolPieces[k] = addPiece(pool, "\"", false);
    } else {
      t.symbolPieces[k] = addKeysOrMarker(pool, keys);
    }
  }
  t.longestPiece = 1;
  auto widen = [&t](const auto& keys) {
    for (const std::string& k : keys) t.longestPiece = std::max(t.longestPiece, k.size());
  };
  widen(layout.initialKeys);
  widen(layout.medialKeys);
  widen(layout.finalKeys);
  widen(layout.signKeys);
  widen(layout.symbolKeys);
  pool.append(kCopyWidth, '\0');
  t.transcribesSyllables = !layout.fileName.empty();
  return t;
}

void scanText(ScanState& state, const unsigned char* text, std::size_t length, TextCounts& counts,
              CombinationCounts& combinations, std::vector<Transcriber>& transcribers) {
  if (state.stopped || length == 0) return;
  for (Transcriber& t : transcribers) reserveKeyStream(t, length + 1);

  std::size_t i = 0;
  int lead = state.pendingLeadByte;
  state.pendingLeadByte = -1;
  int previousFinal = state.previousFinalCode;

  while (i < length || lead >= 0) {
    unsigned b1;
    unsigned b2;
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
        } else if (b1 == '\n') {
          ++counts.enterCount;
        } else {
          const int sign = kSignIndex[b1];
          if (sign >= 0) {
            ++counts.signCount[sign];
            counts.digitCount += sign < 10;
          }
        }
        for (Transcriber& t : transcribers) {
          const KeyPiece& piece = t.asciiPieces[b1];
          Appender out{t.keyStream.data() + t.keyStreamLength, t.pool.data()};
          out.append(piece);
          t.keyStreamLength += piece.length;
          t.untreatedCount += piece.untreated;
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
    b2 = text[i++];
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
        for (Transcriber& t : transcribers) {
          const KeyPiece& piece = t.symbolPieces[symbol];
          Appender out{t.keyStream.data() + t.keyStreamLength, t.pool.data()};
          out.append(piece);
          t.keyStreamLength += piece.length;
          t.untreatedCount += piece.untreated;
        }
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
    for (Transcriber& t : transcribers) {
      if (!t.transcribesSyllables) continue;
      Appender out{t.keyStream.data() + t.keyStreamLength, t.pool.data()};
      out.append(t.initialPieces[initial]);
      out.append(t.medialPieces[medial]);
      out.append(t.finalPieces[final]);
      t.keyStreamLength = static_cast<std::size_t>(out.out - t.keyStream.data());
    }
    previousFinal = final;
  }
  state.previousFinalCode = previousFinal;
}

std::string keyStreamText(const Transcriber& transcriber) {
  return std::string(reinterpret_cast<const char*>(transcriber.keyStream.data()),
                     transcriber.keyStreamLength);
}

}  // namespace kbeval
