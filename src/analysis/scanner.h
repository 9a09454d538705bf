// The single pass over the sample text: classify every character, count it,
// and transcribe it into the key stream of every layout being evaluated.
//
// The text may be fed in pieces of any size; everything that crosses a
// character boundary lives in ScanState, so the counts and key streams equal
// those of feeding the text whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/text_counts.h"
#include "layouts/layout_record.h"

namespace kbeval {

struct ScanState {
  int previousFinalCode = 0;  // final code of the syllable just before, else 0
  int pendingLeadByte = -1;   // a lead byte whose trail byte is in the next piece
  bool stopped = false;       // a zero byte ends the text
  // Scratch: the characters of the current piece that type something, as
  // character codes (an ASCII byte as itself, a two-byte code as b1 << 8 | b2);
  // it only grows, and only its start holds the current piece's.
  std::vector<std::uint16_t> characters;
};

// What one character appends to a key stream: `length` bytes at `offset` in
// the transcriber's byte pool, and whether that is an untreated marker.
struct KeyPiece {
  std::uint32_t offset = 0;
  std::uint16_t length = 0;
  std::uint16_t untreated = 0;
};

inline constexpr std::size_t kCharacterCodes = 1 << 16;

// One layout's transcription: the keys of every character code, worked out
// once, and the key stream produced so far (the caller empties it after
// consuming it).
struct Transcriber {
  std::string pool;              // all piece bytes, padded at the end
  std::vector<KeyPiece> pieces;  // by character code
  std::size_t longestPiece = 1;

  std::vector<unsigned char> keyStream;  // buffer; only the first keyStreamLength bytes count
  std::size_t keyStreamLength = 0;
  Count untreatedCount = 0;
};

Transcriber makeTranscriber(const LayoutRecord& layout);

// The same, typing the typographic quotes as the given bytes instead of the
// plain quote keys, so that a caller can tell them from the layout's own keys.
Transcriber makeTranscriber(const LayoutRecord& layout, unsigned char singleQuote,
                            unsigned char doubleQuote);

// Scans one piece of text: counts it, and appends its keys to every
// transcriber's key stream. Stops for good at a zero byte.
void scanText(ScanState& state, const unsigned char* text, std::size_t length, TextCounts& counts,
              CombinationCounts& combinations, std::vector<Transcriber>& transcribers);

// The key stream appended so far, as a string (for tests and small texts).
std::string keyStreamText(const Transcriber& transcriber);

}  // namespace kbeval
