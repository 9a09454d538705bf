#include "base/format.h"

#include <cstdarg>
#include <cstdio>

namespace kbeval {

namespace {

// Most texts fit the buffer on the stack; a longer one is formatted again
// straight into the string, at the length the first attempt measured.
void appendFormatList(std::string& out, const char* format, va_list arguments) {
  char buffer[256];
  va_list again;
  va_copy(again, arguments);
  const int needed = std::vsnprintf(buffer, sizeof buffer, format, arguments);
  if (needed >= 0 && static_cast<std::size_t>(needed) < sizeof buffer) {
    out.append(buffer, static_cast<std::size_t>(needed));
  } else if (needed >= 0) {
    const std::size_t at = out.size();
    out.resize(at + static_cast<std::size_t>(needed) + 1);
    std::vsnprintf(out.data() + at, static_cast<std::size_t>(needed) + 1, format, again);
    out.pop_back();
  }
  va_end(again);
}

}  // namespace

void appendFormat(std::string& out, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  appendFormatList(out, format, arguments);
  va_end(arguments);
}

std::string formatText(const char* format, ...) {
  std::string text;
  va_list arguments;
  va_start(arguments, format);
  appendFormatList(text, format, arguments);
  va_end(arguments);
  return text;
}

std::string printable(std::string_view text) {
  std::string shown(text);
  for (char& c : shown) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) c = '?';
  }
  return shown;
}

}  // namespace kbeval
