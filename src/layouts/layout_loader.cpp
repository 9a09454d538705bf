#include "layouts/layout_loader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>

#include "base/format.h"
#include "layouts/keyboard_directory.h"
#include "text/ascii_case.h"
#include "text/charset_tables.h"
#include "text/text_mode.h"
#include "text/utf8.h"

namespace kbeval {

namespace {

// A line read by a 300-byte line reader holds at most this many characters.
constexpr std::size_t kLinePieceLength = 299;

bool isCSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The leading decimal number of `text` as the standard conversion reads it
// (white space, sign, digits). Values beyond int saturate, so a huge number
// never wraps round to a small one.
int leadingNumber(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && isCSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

std::string_view withoutLineFeed(std::string_view text) {
  const std::size_t lineFeed = text.find('\n');
  return lineFeed == std::string_view::npos ? text : text.substr(0, lineFeed);
}

// "N<TAB>JAMO<TAB>KEYS": tabs before N and between N and JAMO may repeat;
// KEYS is everything after the one tab that ends JAMO.
void applyCategoryLine(int category, std::string_view line, LayoutRecord& layout) {
  std::size_t i = 0;
  while (i < line.size() && line[i] == '\t') ++i;
  const std::size_t numberEnd = line.find('\t', i);
  if (numberEnd == std::string_view::npos) return;
  i = numberEnd;
  while (i < line.size() && line[i] == '\t') ++i;
  const std::size_t jamoEnd = line.find('\t', i);
  if (jamoEnd == std::string_view::npos || jamoEnd == i) return;
  const std::string_view jamo = line.substr(i, jamoEnd - i);
  const std::string_view keys = withoutLineFeed(line.substr(jamoEnd + 1));
  if (keys.empty()) return;

  std::string* target = nullptr;
  std::optional<int> index;
  switch (category) {
    case 1:
      if ((index = findName(InitialNames, jamo))) target = &layout.initialKeys[*index];
      break;
    case 2:
      if ((index = findName(MedialNames, jamo))) target = &layout.medialKeys[*index];
      break;
    case 3:
      if ((index = findName(FinalNames, jamo))) target = &layout.finalKeys[*index];
      break;
    case 4:
      if (jamo.size() == 1) {
        if ((index = findSign(static_cast<unsigned char>(jamo[0]))))
          target = &layout.signKeys[*index];
      } else if ((index = findName(SymbolNames, jamo))) {
        target = &layout.symbolKeys[*index];
      }
      break;
    default:
      break;
  }
  if (target != nullptr) target->assign(keys);
}

void applyKeywordLine(std::string_view line, LayoutRecord& layout) {
  std::size_t begin = 0;
  while (begin < line.size() && line[begin] == ':') ++begin;
  const std::size_t colon = line.find(':', begin);
  if (colon == std::string_view::npos) return;
  const std::string_view keyword = line.substr(begin, colon - begin);
  const std::string_view value = withoutLineFeed(line.substr(colon + 1));
  if (equalsIgnoringCase(keyword, "set type")) {
    layout.setType = leadingNumber(value);
  } else if (equalsIgnoringCase(keyword, "fingering")) {
    layout.fingering = normaliseFingering(value);
  }
}

}  // namespace

std::string normaliseFingering(std::string_view value) {
  std::string name;
  for (char c : value) {
    if (c != ' ') name.push_back(c);
  }
  if (name.empty()) {
    name = "Qwerty";
  } else if (!equalsIgnoringCase(name, "Pyojun") && !equalsIgnoringCase(name, "Gong") &&
             !equalsIgnoringCase(name, "Gong3")) {
    name = "Unknown";
  }
  if (name[0] >= 'a' && name[0] <= 'z') name[0] = static_cast<char>(name[0] - 'a' + 'A');
  return name;
}

void applyLayoutLine(std::string_view line, LayoutRecord& layout) {
  const std::size_t zero = line.find('\0');
  if (zero != std::string_view::npos) line = line.substr(0, zero);
  const int number = leadingNumber(line);
  if (number != 0) {
    applyCategoryLine(number, line, layout);
  } else if (line.starts_with("//")) {
    return;
  } else {
    applyKeywordLine(line, layout);
  }
}

std::string_view lineAsCp949(std::string_view line, std::string& scratch) {
  const bool allAscii = std::all_of(line.begin(), line.end(),
                                    [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (allAscii || !isValidUtf8(line)) return line;
  const CharsetTable* cp949 = cp949Table();
  if (cp949 == nullptr) return line;
  scratch.clear();
  const auto* bytes = reinterpret_cast<const unsigned char*>(line.data());
  for (std::size_t at = 0; at < line.size();) {
    const Utf8Char c = decodeUtf8Char(bytes + at, line.size() - at);
    const std::uint16_t code = charsetCode(*cp949, c.codePoint);
    if (c.codePoint < 0x80 || code == kNoCode) {
      scratch.append(line.substr(at, static_cast<std::size_t>(c.length)));
    } else if (code < 0x100) {
      scratch += static_cast<char>(code);
    } else {
      scratch += static_cast<char>(code >> 8);
      scratch += static_cast<char>(code & 0xFF);
    }
    at += static_cast<std::size_t>(c.length);
  }
  return scratch;
}

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Applies one line in pieces of at most 299 bytes; the last piece may lack
// a line feed only at the end of the file.
void applyLinePieces(std::string_view line, LayoutRecord& layout) {
  while (!line.empty()) {
    const std::size_t length = std::min(kLinePieceLength, line.size());
    applyLayoutLine(line.substr(0, length), layout);
    line.remove_prefix(length);
  }
}

// Applies the lines at the start of `text` that are complete (or all of it
// at the end of the file) and returns the bytes they took.
std::size_t applyLines(LayoutFileReader& reader, std::string_view text, bool atEnd,
                       LayoutRecord& layout) {
  std::size_t begin = 0;
  if (!reader.started) {
    if (text.size() < kByteOrderMark.size() && kByteOrderMark.starts_with(text) && !atEnd) return 0;
    if (text.starts_with(kByteOrderMark)) begin = kByteOrderMark.size();
    reader.started = true;
  }
  while (begin < text.size()) {
    const std::string_view rest = text.substr(begin);
    if (reader.longLine) {
      // Pieces of 299 bytes as they stand, up to the line feed that ends the line.
      std::size_t length = std::min(kLinePieceLength, rest.size());
      const std::size_t lineFeed = rest.substr(0, length).find('\n');
      if (lineFeed != std::string_view::npos) {
        length = lineFeed + 1;
        reader.longLine = false;
      } else if (length < kLinePieceLength && !atEnd) {
        break;
      }
      applyLayoutLine(rest.substr(0, length), layout);
      begin += length;
      continue;
    }
    const std::size_t lineFeed = rest.substr(0, kLongestUtf8Line + 1).find('\n');
    if (lineFeed == std::string_view::npos) {
      if (rest.size() > kLongestUtf8Line) {
        reader.longLine = true;
        continue;
      }
      if (!atEnd) break;
      applyLinePieces(lineAsCp949(rest, reader.scratch), layout);
      begin = text.size();
      break;
    }
    applyLinePieces(lineAsCp949(rest.substr(0, lineFeed + 1), reader.scratch), layout);
    begin += lineFeed + 1;
  }
  return begin;
}

}  // namespace

void applyLayoutText(std::string_view text, LayoutRecord& layout) {
  LayoutFileReader reader;
  applyLines(reader, text, true, layout);
}

bool readLayoutBytes(LayoutFileReader& reader, const char* bytes, std::size_t length,
                     LayoutRecord& layout) {
  if (reader.mode.ended) return false;
  // Lines are applied as they complete, so a huge file needs no more memory
  // than one line of kLongestUtf8Line bytes.
  translateTextMode(reader.mode, bytes, length, reader.pending);
  reader.pending.erase(0, applyLines(reader, reader.pending, false, layout));
  return !reader.mode.ended;
}

void finishLayoutBytes(LayoutFileReader& reader, LayoutRecord& layout) {
  finishTextMode(reader.mode, reader.pending);
  applyLines(reader, reader.pending, true, layout);
  reader.pending.clear();
}

bool readLayoutFile(const std::string& path, LayoutRecord& layout, std::string& error) {
  // Without O_NONBLOCK a FIFO named *.txt would wait for a writer forever;
  // only regular files (or links to them) are layout files.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  struct stat info {};
  const bool described = ::fstat(fd, &info) == 0;
  if (!described || !S_ISREG(info.st_mode)) {
    error = described ? "not a regular file" : std::strerror(errno);
    ::close(fd);
    return false;
  }
  LayoutFileReader reader;
  char buffer[1 << 14];
  bool ok = true;
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      error = std::strerror(errno);
      ok = false;
      break;
    }
    if (got == 0 || !readLayoutBytes(reader, buffer, static_cast<std::size_t>(got), layout)) break;
  }
  ::close(fd);
  if (!ok) return false;
  finishLayoutBytes(reader, layout);
  return true;
}

std::vector<LayoutRecord> loadLayouts(const std::string& directory, std::FILE* messages) {
  const Listing listing = listLayoutFiles(directory);
  std::vector<LayoutRecord> layouts;
  if (const char* message = listingMessage(listing.status)) {
    std::fputs(message, messages);
    return layouts;
  }
  layouts.reserve(listing.names.size());
  for (const std::string& name : listing.names) {
    LayoutRecord& layout = layouts.emplace_back();
    layout.fileName = name;
    const std::string path = directory + (directory.ends_with('/') ? "" : "/") + name;
    LayoutRecord filled;
    filled.fileName = name;
    std::string unread;  // the message below is all the report says
    if (readLayoutFile(path, filled, unread)) {
      layout = std::move(filled);
    } else {
      std::fprintf(messages, "Cannot open keyboard layout file: %s\n", printable(path).c_str());
      layout.fileName.clear();
    }
  }
  return layouts;
}

}  // namespace kbeval
