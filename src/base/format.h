// printf into std::string: the one formatting helper of every room. The
// result is never cut short, however long the values make it.
#pragma once

#include <string>

namespace kbeval {

// printf onto the end of `out`.
void appendFormat(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));

// printf into a new string.
std::string formatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace kbeval
