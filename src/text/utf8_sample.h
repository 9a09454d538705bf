// The first stage of reading a UTF-8 sample: its characters become the Johab
// codes that the scan reads, as `iconv -c -f UTF-8 -t JOHAB` writes them, so
// that every later stage (text mode, the scan) sees what it would see in the
// Johab file iconv makes.
//
// A character that Johab lacks (an emoji, a byte-order mark anywhere) gives
// nothing; so does every byte that is not part of a well-formed character,
// and those bytes are counted. A character cut at the end of a piece is
// finished with the next one: any cut into pieces gives the output and the
// count of the whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "text/charset_tables.h"

namespace kbeval {

struct Utf8SampleState {
  const CharsetTable* johab = nullptr;  // johabTable()
  unsigned char pending[3] = {};        // the start of a character cut at the end of a piece
  int pendingLength = 0;
  std::uint64_t invalidBytes = 0;  // bytes skipped as no part of a well-formed character
};

// Appends the Johab form of the next `length` bytes of the sample to `out`.
void convertUtf8Sample(Utf8SampleState& state, const char* piece, std::size_t length,
                       std::string& out);

// Ends the sample: a character cut by the end of the file is invalid.
void finishUtf8Sample(Utf8SampleState& state);

// Whether the start of a sample is plainly Korean text in UTF-8: well-formed
// (a character cut at the end of `start` aside) and holding at least one
// Hangul syllable (U+AC00..U+D7A3). Johab text with Hangul practically never
// is: most of its syllables begin with a byte from 0x84 to 0xBF, which cannot
// begin a UTF-8 character.
bool isPlainlyKoreanUtf8(std::string_view start);

// Whether the start of a sample looks like UTF-16, which neither Johab nor
// UTF-8 reading makes sense of: a byte-order mark (FF FE or FE FF), or at
// least 8 zero bytes making up at least a sixteenth of the first KiB (in
// UTF-16 every ASCII character and many others hold one; Johab and UTF-8
// text holds none, a zero byte ending it).
bool looksLikeUtf16(std::string_view start);

}  // namespace kbeval
