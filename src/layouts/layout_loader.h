// Reading layout description files into LayoutRecords.
//
// A file is read in text mode and cut into lines as a 300-byte line reader
// would: at most 299 bytes a piece, a piece ending after its line feed. A zero
// byte ends a piece's content. Each piece is a category line ("N<TAB>JAMO<TAB>KEYS"),
// a "//" comment, a "set type:" or "fingering:" keyword line, or ignored.
//
// Files are CP949 (jamo and symbols as KS X 1001 codes) or UTF-8, line by
// line: a line that is well-formed UTF-8 with other than ASCII in it is first
// turned into CP949, character by character (a character CP949 lacks keeps
// its UTF-8 bytes), and then cut and read like any other. So a file that
// `iconv -f CP949 -t UTF-8` made reads exactly as the file it came from, and
// a file may mix both. Lines longer than kLongestUtf8Line bytes are read as
// they stand. A UTF-8 byte-order mark at the start of a file is skipped.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "layouts/layout_record.h"
#include "text/text_mode.h"

namespace kbeval {

// Applies one line piece (its line feed included, if it has one) to `layout`.
void applyLayoutLine(std::string_view line, LayoutRecord& layout);

// Applies a whole file's content, already translated from text mode.
void applyLayoutText(std::string_view text, LayoutRecord& layout);

// The longest line, line feed aside, that can be read as UTF-8.
inline constexpr std::size_t kLongestUtf8Line = 1 << 16;

// A line as it is read: unchanged, or, when it is well-formed UTF-8 with
// other than ASCII in it, turned into CP949 in `scratch`.
std::string_view lineAsCp949(std::string_view line, std::string& scratch);

// The fingering name stored for a "fingering:" value.
std::string normaliseFingering(std::string_view value);

// A layout file read as its bytes arrive: the text-mode translation and the
// start of a line piece that is not complete yet.
struct LayoutFileReader {
  TextModeState mode;
  std::string pending;
  bool started = false;   // the byte-order mark, if any, is behind
  bool longLine = false;  // inside a line too long to be read as UTF-8
  std::string scratch;    // a line turned into CP949
};

// Applies the lines completed by the next `length` bytes of the file. Returns
// false once the file's text has ended (a 0x1A byte): what follows is ignored.
bool readLayoutBytes(LayoutFileReader& reader, const char* bytes, std::size_t length,
                     LayoutRecord& layout);

// Applies what is left when the file ends.
void finishLayoutBytes(LayoutFileReader& reader, LayoutRecord& layout);

// Reads the layout file at `path` into `layout`. False, with `error` saying
// why ("No such file or directory", "not a regular file"), when it cannot be
// opened or read, or is no regular file; nothing is printed.
bool readLayoutFile(const std::string& path, LayoutRecord& layout, std::string& error);

// Lists "<directory>/*.txt", reads every file and returns the records in
// byte-wise name order. Listing failures and unopenable files are reported on
// `messages`; a record whose file failed keeps an empty fileName.
std::vector<LayoutRecord> loadLayouts(const std::string& directory, std::FILE* messages);

}  // namespace kbeval
