// The single pass over the sample text: classify every character, tally it,
// and collect the characters that type something for the layouts to walk.
//
// The pass itself only counts each character code and each junction of two
// adjacent syllables; every text and combination count is worked out from
// that tally once, at the end, because a syllable's jamo and their pairs are
// fixed by its code. The text may be fed in pieces of any size; everything
// that crosses a character boundary lives in ScanState, so the tally and the
// characters equal those of feeding the text whole.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/text_counts.h"
#include "layouts/layout_record.h"

namespace kbeval {

// Character codes: an ASCII byte as itself, a two-byte code as b1 << 8 | b2.
inline constexpr std::size_t kCharacterCodes = 1 << 16;

// Junction cells: previous final code * 32 + initial code.
inline constexpr std::size_t kJunctionCells = 32 * 32;

struct ScanState {
  int previousFinalCode = 0;  // final code of the syllable just before, else 0
  int pendingLeadByte = -1;   // a lead byte whose trail byte is in the next piece
  bool stopped = false;       // a zero byte ends the text
};

// What the scan has counted so far, independent of any layout.
struct ScanTally {
  // By character code, every character read (also those that type nothing).
  std::vector<Count> characterCounts = std::vector<Count>(kCharacterCodes);
  // By the high byte of the code (0 for one-byte codes): whether a code of
  // that row of 256 was counted. A text meets a few dozen rows, so what
  // reads the counts, and a restart, visits these rows instead of all
  // 65,536 codes.
  std::array<std::uint8_t, 256> rowsCounted{};
  // Syllables by the final code of the syllable right before them and their
  // own initial code; a syllable after anything else counts in row 0, and
  // the last cell counts the characters that are no syllable.
  std::array<Count, kJunctionCells> junctionCounts{};
};

// Empties the tally for another text, keeping its memory.
void restartScanTally(ScanTally& tally);

// The characters of one piece that type something (spaces, line feeds,
// digits and signs, symbols, syllables), as character codes, and where among
// them the spaces and line feeds are (which end words).
struct CharacterPiece {
  std::vector<std::uint16_t> codes;  // buffer; only the first `count` are the piece's
  std::size_t count = 0;
  std::vector<std::uint32_t> separators;  // buffer; positions in `codes`
  std::size_t separatorCount = 0;
};

// Room `codes` keeps after its last character, so that a reader may load a
// few characters at once past it.
inline constexpr std::size_t kCharacterPadding = 16;

// Scans one piece of text: tallies it, and replaces `characters` with the
// piece's characters that type something. Stops for good at a zero byte.
void scanText(ScanState& state, const unsigned char* text, std::size_t length, ScanTally& tally,
              CharacterPiece& characters);

// The text counts of everything tallied.
TextCounts textCounts(const ScanTally& tally);

// How many character codes type something (and so may come in a piece).
inline constexpr std::size_t kMostTypingCharacters =
    2 + kSignCount + kSymbolCount - 1 + kInitialCodes * kMedialCodes * kFinalCodes;

// Appends the keys character `code` types on `layout` to `keys`: its key
// string, or the untreated marker for a digit, sign or symbol without one.
// The typographic quotes are typed as the plain quote keys, or as the bytes
// given (a caller that must tell them from the layout's own quote keys).
// Returns whether it was the marker.
bool appendKeys(const LayoutRecord& layout, std::uint16_t code, std::string& keys,
                char singleQuote = '\'', char doubleQuote = '"');

// Appends the keys the characters type to `keyStream` (for tests and small texts).
void transcribe(const LayoutRecord& layout, const CharacterPiece& characters,
                std::string& keyStream);

// How many untreated markers the tallied characters write on `layout`.
Count untreatedCount(const LayoutRecord& layout, const ScanTally& tally);

}  // namespace kbeval
