#include "keystrokes/board.h"

#include <sys/stat.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "text/utf8.h"

namespace kbeval {

// The shipped boards' texts, made from the files in boards/ at build time.
extern const char kShippedAnsiBoard[];
extern const char kShippedOrthoBoard[];
extern const char kShippedSplitBoard[];

#ifndef KBEVAL_BOARD_DIR
#define KBEVAL_BOARD_DIR "/usr/local/share/kbeval/boards"
#endif

namespace {

// Longer lines are no board line: a bound on what one error may quote.
constexpr std::size_t kLongestLine = 4096;
// A board file is small: one far bigger is no board, and is not read whole.
constexpr std::size_t kLargestFile = std::size_t{64} << 20;

struct NamedFinger {
  std::string_view name;
  std::int8_t finger;
};
constexpr NamedFinger kFingers[] = {{"L5", -5}, {"L4", -4}, {"L3", -3}, {"L2", -2}, {"thumb", 1},
                                    {"R2", 2},  {"R3", 3},  {"R4", 4},  {"R5", 5}};
struct NamedRow {
  std::string_view name;
  std::int8_t row;
};
constexpr NamedRow kRowNames[] = {{"number", kNumberRow},
                                  {"top", kTopRow},
                                  {"home", kHomeRow},
                                  {"bottom", kBottomRow},
                                  {"thumb", kThumbRow}};

int keyNamed(std::string_view name) {
  if (name == "space") return physicalKeyOf(' ');
  if (name == "enter") return physicalKeyOf('\n');
  if (name == "lshift") return kLeftShiftKey;
  if (name == "rshift") return kRightShiftKey;
  if (name.size() != 1) return -1;
  const unsigned char c = static_cast<unsigned char>(name[0]);
  const int key = physicalKeyOf(c);
  // Keys are named by what they type unshifted.
  if (key < 0 || physicalKeyCharacters(key).unshifted != c || c == ' ' || c == '\n') return -1;
  return key;
}

bool readNumber(std::string_view text, double& number) {
  const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), number);
  return status == std::errc{} && end == text.data() + text.size() && std::isfinite(number);
}

// Up to 8 fields split at blanks and tabs; returns their number (9 for more).
int splitFields(std::string_view line, std::string_view (&fields)[8]) {
  int n = 0;
  std::size_t p = 0;
  while (p < line.size()) {
    while (p < line.size() && (line[p] == ' ' || line[p] == '\t')) ++p;
    if (p == line.size()) break;
    std::size_t end = p;
    while (end < line.size() && line[end] != ' ' && line[end] != '\t') ++end;
    if (n == 8) return 9;
    fields[n++] = line.substr(p, end - p);
    p = end;
  }
  return n;
}

// A field quoted in an error, cut short and kept printable.
std::string shown(std::string_view field) {
  std::string text;
  for (const char c : field.substr(0, 40)) {
    const auto u = static_cast<unsigned char>(c);
    text += u >= 0x20 && u < 0x7F ? c : '?';
  }
  if (field.size() > 40) text += "...";
  return "'" + text + "'";
}

bool validUtf8(std::string_view line) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(line.data());
  for (std::size_t p = 0; p < line.size();) {
    const Utf8Char c = decodeUtf8Char(bytes + p, line.size() - p);
    if (c.status != Utf8Status::ok) return false;
    p += static_cast<std::size_t>(c.length);
  }
  return true;
}

// Reads one key line into `board`; false with `what` set.
bool readKeyLine(std::string_view line, Board& board, std::string& what) {
  std::string_view f[8];
  const int n = splitFields(line, f);
  if (n != 7) {
    what = "a key line has 7 fields (key x y row finger inner effort), this one " +
           (n > 7 ? std::string("more") : std::to_string(n));
    return false;
  }
  const int key = keyNamed(f[0]);
  if (key < 0) {
    what = "unknown key " + shown(f[0]);
    return false;
  }
  BoardKey& k = board.keys[static_cast<std::size_t>(key)];
  if (k.present) {
    what = "key " + shown(f[0]) + " given twice";
    return false;
  }
  BoardKey read;
  read.present = true;
  if (!readNumber(f[1], read.x) || !readNumber(f[2], read.y)) {
    what = "position " + shown(f[1]) + " " + shown(f[2]) + " is not two finite numbers";
    return false;
  }
  for (const NamedRow& r : kRowNames)
    if (f[3] == r.name) read.row = r.row;
  if (read.row == 0) {
    what = "row " + shown(f[3]) + " is not number, top, home, bottom or thumb";
    return false;
  }
  for (const NamedFinger& g : kFingers)
    if (f[4] == g.name) read.finger = g.finger;
  if (read.finger == 0) {
    what = "finger " + shown(f[4]) + " is not L5, L4, L3, L2, thumb, R2, R3, R4 or R5";
    return false;
  }
  if (f[5] != "inner" && f[5] != "-") {
    what = "inner flag " + shown(f[5]) + " is not 'inner' or '-'";
    return false;
  }
  read.inner = f[5] == "inner";
  if (read.inner && read.finger != -2 && read.finger != 2) {
    what = "only an index finger (L2, R2) has an inner column";
    return false;
  }
  if (!readNumber(f[6], read.effort) || read.effort < 0) {
    what = "effort " + shown(f[6]) + " is not a finite number of 0 or more";
    return false;
  }
  for (int other = 0; other < kBoardKeys; ++other) {
    const BoardKey& o = board.keys[static_cast<std::size_t>(other)];
    if (o.present && o.x == read.x && o.y == read.y) {
      what = "key " + shown(f[0]) + " is at the position of key " + shown(boardKeyName(other));
      return false;
    }
  }
  k = read;
  return true;
}

}  // namespace

std::string boardKeyName(int key) {
  if (key == kLeftShiftKey) return "lshift";
  if (key == kRightShiftKey) return "rshift";
  const unsigned char c = physicalKeyCharacters(key).unshifted;
  if (c == ' ') return "space";
  if (c == '\n') return "enter";
  return c == 0 ? "?" : std::string(1, static_cast<char>(c));
}

bool parseBoard(std::string_view text, std::string_view fileName, Board& board,
                std::string& error) {
  Board read;
  read.name = board.name;
  read.file = board.file;
  read.shipped = board.shipped;
  std::size_t lineNumber = 0;
  bool anyKey = false;
  auto fail = [&](std::size_t line, const std::string& what) {
    error = std::string(fileName) + ":" + std::to_string(line) + ": " + what;
    return false;
  };
  std::size_t p = 0;
  while (p < text.size()) {
    ++lineNumber;
    std::size_t end = text.find('\n', p);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(p, end - p);
    p = end + 1;
    if (line.size() > kLongestLine) return fail(lineNumber, "line longer than 4096 bytes");
    if (line.find('\0') != std::string_view::npos) return fail(lineNumber, "NUL byte");
    if (!validUtf8(line)) return fail(lineNumber, "not UTF-8");
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::size_t hash = line.find('#');
    const std::size_t slashes = line.find("//");
    line = line.substr(0, std::min(hash, slashes));
    std::string_view probe[8];
    if (splitFields(line, probe) == 0) continue;
    std::string what;
    if (!readKeyLine(line, read, what)) return fail(lineNumber, what);
    anyKey = true;
  }
  if (!anyKey) return fail(lineNumber == 0 ? 1 : lineNumber, "no keys");
  for (const char* needed : {"space", "enter"}) {
    if (!read.keys[static_cast<std::size_t>(keyNamed(needed))].present) {
      return fail(lineNumber, std::string("no key '") + needed + "' (every text types it)");
    }
  }
  board = std::move(read);
  return true;
}

std::string_view shippedBoardText(std::string_view name) {
  if (name == "ansi") return kShippedAnsiBoard;
  if (name == "ortho") return kShippedOrthoBoard;
  if (name == "split") return kShippedSplitBoard;
  return {};
}

namespace {

bool readWholeFile(const std::string& path, std::string& text, std::string& error) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    error = path + ": " + std::strerror(errno);
    return false;
  }
  if (S_ISDIR(info.st_mode)) {
    error = path + ": " + std::strerror(EISDIR);
    return false;
  }
  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<std::FILE, Closer> file(std::fopen(path.c_str(), "rb"));
  if (file == nullptr) {
    error = path + ": " + std::strerror(errno);
    return false;
  }
  char buffer[1 << 14];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
    if (text.size() + got > kLargestFile) {
      error = path + ": larger than 64 MiB, no board file";
      return false;
    }
    text.append(buffer, got);
  }
  if (std::ferror(file.get())) {
    error = path + ": " + std::strerror(EIO);
    return false;
  }
  return true;
}

}  // namespace

bool loadBoard(std::string_view nameOrFile, Board& board, std::string& error) {
  Board read;
  if (const std::string_view shipped = shippedBoardText(nameOrFile); !shipped.empty()) {
    read.name = nameOrFile;
    read.file = std::string(KBEVAL_BOARD_DIR "/") + std::string(nameOrFile) + ".board";
    read.shipped = true;
    if (!parseBoard(shipped, read.file, read, error)) return false;
    board = std::move(read);
    return true;
  }
  const std::string path(nameOrFile);
  std::string text;
  if (!readWholeFile(path, text, error)) return false;
  const std::size_t slash = path.rfind('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (const std::size_t dot = name.find('.'); dot != std::string::npos && dot > 0) name.resize(dot);
  read.name = name;
  read.file = path;
  if (!parseBoard(text, path, read, error)) return false;
  board = std::move(read);
  return true;
}

const Board& ansiBoard() {
  static const Board board = [] {
    Board b;
    std::string error;
    loadBoard("ansi", b, error);
    return b;
  }();
  return board;
}

namespace {

std::int8_t columnOf(const BoardKey& key) {
  if (key.finger == kThumbFinger) return 0;
  if (key.inner) return static_cast<std::int8_t>(key.finger < 0 ? -1 : 1);
  return key.finger;
}

}  // namespace

void setupBoardKeyTable(const Board& board, const LayoutRecord& layout, KeyTable& table) {
  if (fingeringApplies(board)) {
    setupKeyTable(layout, table);
    return;
  }
  for (int key = 0; key < kPhysicalKeys; ++key) {
    const BoardKey& k = board.keys[static_cast<std::size_t>(key)];
    const KeyCharacters c = physicalKeyCharacters(key);
    const KeyInfo info = k.present ? KeyInfo{0, k.finger, k.row, columnOf(k)} : KeyInfo{};
    table[c.unshifted] = info;
    if (c.shifted != 0) {
      KeyInfo shifted = info;
      shifted.shift = k.present ? 1 : 0;
      table[c.shifted] = shifted;
    }
  }
}

int missingBoardKey(const Board& board, const LayoutRecord& layout) {
  auto present = [&board](int key) { return board.keys[static_cast<std::size_t>(key)].present; };
  for (const char c : {' ', '\n'}) {
    if (!present(physicalKeyOf(static_cast<unsigned char>(c))))
      return physicalKeyOf(static_cast<unsigned char>(c));
  }
  bool needsLeft = false, needsRight = false;
  auto check = [&](const auto& strings) {
    for (const std::string& keys : strings) {
      for (const char c : keys) {
        const auto u = static_cast<unsigned char>(c);
        const int key = physicalKeyOf(u);
        if (key < 0) continue;  // a byte no key types is counted as keyless
        if (!present(key)) return key;
        if (physicalKeyCharacters(key).shifted == u) {
          // The Shift key of the other hand.
          (board.keys[static_cast<std::size_t>(key)].finger < 0 ? needsRight : needsLeft) = true;
        }
      }
    }
    return -1;
  };
  for (const int missing :
       {check(layout.initialKeys), check(layout.medialKeys), check(layout.finalKeys),
        check(layout.signKeys), check(layout.symbolKeys)}) {
    if (missing >= 0) return missing;
  }
  if (needsLeft && !present(kLeftShiftKey)) return kLeftShiftKey;
  if (needsRight && !present(kRightShiftKey)) return kRightShiftKey;
  return -1;
}

}  // namespace kbeval
