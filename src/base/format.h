// printf into std::string: the one formatting helper of every room. The
// result is never cut short, however long the values make it.
#pragma once

#include <string>
#include <string_view>

namespace kbeval {

// printf onto the end of `out`.
void appendFormat(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));

// printf into a new string.
std::string formatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

// `text` with every control byte (below 0x20, and 0x7F) shown as '?', so that
// a name from the file system cannot move the cursor, ring, or start a line
// of its own on a terminal; bytes 0x80 and above stay as they are.
std::string printable(std::string_view text);

}  // namespace kbeval
