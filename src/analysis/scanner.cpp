#include "analysis/scanner.h"

#include <algorithm>
#include <cstring>

namespace kbeval {

namespace {

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

constexpr int symbolOf(unsigned code) {
  if (code >> 8 == 0xD9) return kSymbolIndex[code & 0xFF];
  if (code >> 8 == 0xDC) return kSymbolIndex[256 + (code & 0xFF)];
  return -1;
}

constexpr bool isSyllable(unsigned code) {
  return code >= 0x8000 && code < 0xD400 && (code >> 5 & 31) < kMedialCodes &&
         (code & 31) < kFinalCodes;
}

// What a character code is to the scan: whether it types something, and
// whether it is a syllable (which meets the syllable before it).
constexpr std::uint8_t kTypes = 1, kSyllable = 2, kSeparator = 4;

struct CodeKinds {
  std::array<std::uint8_t, kCharacterCodes> kind{};
};

constexpr CodeKinds makeCodeKinds() {
  CodeKinds kinds;
  for (unsigned code = 0; code < 128; ++code) {
    if (kSignIndex[code] >= 0) kinds.kind[code] = kTypes;
    if (code == ' ' || code == '\n') kinds.kind[code] = kTypes | kSeparator;
  }
  for (unsigned code = 0x8000; code < kCharacterCodes; ++code) {
    if (isSyllable(code)) kinds.kind[code] = kTypes | kSyllable;
    if (symbolOf(code) >= 0) kinds.kind[code] = kTypes;
  }
  return kinds;
}
constexpr CodeKinds kCodeKinds = makeCodeKinds();
static_assert(std::count_if(kCodeKinds.kind.begin(), kCodeKinds.kind.end(), [](std::uint8_t kind) {
                return kind & kTypes;
              }) == kMostTypingCharacters);

// A junction cell that no syllable uses: characters that are no syllable
// count there, so that the loop needs no branch.
constexpr std::size_t kNoJunction = kJunctionCells - 1;
static_assert(kFinalCodes * 32 <= kNoJunction);

bool isQuote(int symbol, std::string_view a, std::string_view b) {
  return SymbolNames[symbol] == a || SymbolNames[symbol] == b;
}

}  // namespace

void scanText(ScanState& state, const unsigned char* text, std::size_t length, ScanTally& tally,
              CharacterPiece& characters) {
  characters.count = 0;
  characters.separatorCount = 0;
  if (state.stopped) return;
  // A zero byte ends the text: scan up to it, then stop for good (a lead byte
  // right before it has lost its trail byte and is dropped).
  if (const void* zero = std::memchr(text, 0, length); zero != nullptr) {
    length = static_cast<std::size_t>(static_cast<const unsigned char*>(zero) - text);
    state.stopped = true;
  }
  if (characters.codes.size() < length + kCharacterPadding) {
    characters.codes.resize(length + kCharacterPadding);
    characters.separators.resize(length + 1);
  }

  std::uint16_t* const out = characters.codes.data();
  std::uint32_t* const separators = characters.separators.data();
  std::size_t separatorCount = 0;
  Count* const counts = tally.characterCounts.data();
  std::uint8_t* const rowsCounted = tally.rowsCounted.data();
  Count* const junctions = tally.junctionCounts.data();
  std::size_t n = 0;
  unsigned previousFinal = static_cast<unsigned>(state.previousFinalCode);
  // Counts one character; the same steps for every kind of character, so
  // that a text mixing one- and two-byte codes costs no mispredicted branch.
  auto count = [&](unsigned code) {
    const unsigned kind = kCodeKinds.kind[code];
    ++counts[code];
    rowsCounted[code >> 8] = 1;
    separators[separatorCount] = static_cast<std::uint32_t>(n);
    separatorCount += (kind / kSeparator) & 1;
    out[n] = static_cast<std::uint16_t>(code);
    n += kind & kTypes;
    // Masks, not conditions: the compiler would turn these into branches.
    const unsigned syllable = 0u - ((kind / kSyllable) & 1);
    ++junctions[((previousFinal << 5 | (code >> 10 & 31)) & syllable) | (kNoJunction & ~syllable)];
    previousFinal = code & 31 & syllable;
  };

  std::size_t i = 0;
  if (state.pendingLeadByte >= 0 && length > 0) {
    count(static_cast<unsigned>(state.pendingLeadByte) << 8 | text[0]);
    state.pendingLeadByte = -1;
    i = 1;
  }
  // Both bytes of a two-byte code lie inside the piece here.
  for (; i + 1 < length;) {
    const unsigned b1 = text[i];
    const unsigned twoBytes = b1 >> 7;
    const unsigned both = 0u - twoBytes;
    const unsigned code = ((b1 << 8 | text[i + 1]) & both) | (b1 & ~both);
    i += 1 + twoBytes;
    count(code);
  }
  if (i < length) {
    if (text[i] < 0x80) {
      count(text[i]);
    } else {
      state.pendingLeadByte = text[i];
    }
  }
  if (state.stopped) state.pendingLeadByte = -1;
  state.previousFinalCode = static_cast<int>(previousFinal);
  characters.count = n;
  characters.separatorCount = separatorCount;
}

TextCounts textCounts(const ScanTally& tally) {
  TextCounts counts;
  const Count* n = tally.characterCounts.data();  // kCharacterCodes counts
  counts.spaceCount = n[static_cast<unsigned char>(' ')];
  counts.enterCount = n[static_cast<unsigned char>('\n')];
  for (unsigned code = 0; code < 128; ++code) {
    const int sign = kSignIndex[code];
    if (sign < 0) continue;
    counts.signCount[sign] += n[code];
    if (sign < 10) counts.digitCount += n[code];
  }
  // The two-byte codes, in the rows the text used.
  for (unsigned row = 0x80; row < 0x100; ++row) {
    if (tally.rowsCounted[row] == 0) continue;
    for (unsigned code = row << 8; code < (row + 1) << 8; ++code) {
      if (n[code] == 0) continue;
      if (const int symbol = symbolOf(code); symbol >= 0) counts.symbolCount[symbol] += n[code];
      if (!isSyllable(code)) continue;
      counts.natnaeCount += n[code];
      counts.initialCount[code >> 10 & 31] += n[code];
      counts.medialCount[code >> 5 & 31] += n[code];
      counts.finalCount[code & 31] += n[code];
    }
  }
  return counts;
}

void restartScanTally(ScanTally& tally) {
  // The rows used, one memset each: a sanitizer build would otherwise check
  // every element's store.
  for (std::size_t row = 0; row < tally.rowsCounted.size(); ++row) {
    if (tally.rowsCounted[row] == 0) continue;
    std::memset(tally.characterCounts.data() + row * 256, 0, 256 * sizeof(Count));
    tally.rowsCounted[row] = 0;
  }
  tally.junctionCounts = {};
}

bool appendKeys(const LayoutRecord& layout, std::uint16_t code, std::string& keys, char singleQuote,
                char doubleQuote) {
  // A digit, sign or symbol without keys writes the untreated marker.
  auto keysOrMarker = [&keys](const std::string& keyString) {
    if (!keyString.empty()) {
      keys += keyString;
      return false;
    }
    keys += static_cast<char>(kUntreatedMarker);
    return true;
  };
  if (code == ' ' || code == '\n') {
    keys += static_cast<char>(code);
    return false;
  }
  if (code < 128) {
    const int sign = kSignIndex[code];
    return sign >= 0 && keysOrMarker(layout.signKeys[sign]);
  }
  if (const int symbol = symbolOf(code); symbol >= 0) {
    const std::string& keyString = layout.symbolKeys[symbol];
    // Typographic quotes are typed as the plain quote key, whatever the layout names.
    if (!keyString.empty() && isQuote(symbol, "\xA1\xAE", "\xA1\xAF")) {
      keys += singleQuote;
      return false;
    }
    if (!keyString.empty() && isQuote(symbol, "\xA1\xB0", "\xA1\xB1")) {
      keys += doubleQuote;
      return false;
    }
    return keysOrMarker(keyString);
  }
  // A syllable: the initial, medial and final keys, one after the other. A
  // layout whose file failed to open types no syllable.
  if (isSyllable(code) && !layout.fileName.empty()) {
    keys += layout.initialKeys[code >> 10 & 31];
    keys += layout.medialKeys[code >> 5 & 31];
    keys += layout.finalKeys[code & 31];
  }
  return false;
}

void transcribe(const LayoutRecord& layout, const CharacterPiece& characters,
                std::string& keyStream) {
  for (std::size_t i = 0; i < characters.count; ++i) {
    appendKeys(layout, characters.codes[i], keyStream);
  }
}

Count untreatedCount(const LayoutRecord& layout, const ScanTally& tally) {
  // Only digits, signs and symbols can be untreated: the ASCII codes, and the
  // two rows of two-byte codes that hold every symbol. The rest of the
  // 65,536 codes need not be looked at (a sweep of them per layout was the
  // slowest part of short samples).
  Count untreated = 0;
  std::string keys;
  const Count* counts = tally.characterCounts.data();
  auto add = [&](unsigned code) {
    if (counts[code] != 0 && appendKeys(layout, static_cast<std::uint16_t>(code), keys)) {
      untreated += counts[code];
    }
  };
  for (unsigned code = 0; code < 128; ++code) add(code);
  for (const unsigned row : {0xD900u, 0xDC00u}) {
    for (unsigned code = row; code < row + 256; ++code) {
      if (symbolOf(code) >= 0) add(code);
    }
  }
  return untreated;
}

}  // namespace kbeval
