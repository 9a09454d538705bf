#include "layouts/layout_writer.h"

#include <cstdio>

namespace kbeval {

namespace {

// The loader reads a line in pieces of at most this many bytes.
constexpr std::size_t kLinePiece = 299;
// Comment lines stay well inside one piece, so no tail of one is read as a line.
constexpr std::size_t kLongestComment = 200;

void renameAll(std::string& keys, const std::array<unsigned char, 256>& rename) {
  for (char& c : keys) c = static_cast<char>(rename[static_cast<unsigned char>(c)]);
}

template <std::size_t N>
void renameTable(std::array<std::string, N>& table, const std::array<unsigned char, 256>& rename) {
  for (std::string& keys : table) renameAll(keys, rename);
}

// One category line. Keys that end in a carriage return cannot stand before a
// line feed (text mode would take the pair for a line end), so such a line
// fills a whole piece instead: tabs after the number, which the loader skips,
// and no line feed.
void appendCategoryLine(std::string& text, int category, std::string_view name,
                        const std::string& keys, OutputEncoding encoding) {
  if (keys.empty() || name.empty()) return;
  std::string line = std::to_string(category);
  line += '\t';
  std::string rest(displayText(name, encoding));
  rest += '\t';
  rest += keys;
  if (keys.back() == '\r' && line.size() + rest.size() < kLinePiece) {
    line.append(kLinePiece - line.size() - rest.size(), '\t');
    text += line + rest;
    return;
  }
  text += line + rest + '\n';
}

// Which entries of a table are the first of their name: the loader gives a
// name to its first entry only. Worked out when compiling, not per layout.
template <std::size_t N>
constexpr std::array<bool, N> firstOfName(const std::array<std::string_view, N>& names) {
  std::array<bool, N> first{};
  for (std::size_t i = 0; i < N; ++i) {
    first[i] = true;
    for (std::size_t j = 0; j < i; ++j) first[i] = first[i] && names[j] != names[i];
  }
  return first;
}

// Under category 4 a name of one byte is a sign's, never a symbol's.
template <std::size_t N>
void appendTable(std::string& text, int category, const std::array<std::string_view, N>& names,
                 const std::array<bool, N>& first, const std::array<std::string, N>& keys,
                 OutputEncoding encoding) {
  for (std::size_t i = 0; i < N; ++i) {
    if (first[i] && !(category == 4 && names[i].size() == 1)) {
      appendCategoryLine(text, category, names[i], keys[i], encoding);
    }
  }
}

constexpr auto kFirstInitials = firstOfName(InitialNames);
constexpr auto kFirstMedials = firstOfName(MedialNames);
constexpr auto kFirstFinals = firstOfName(FinalNames);
constexpr auto kFirstSymbols = firstOfName(SymbolNames);

}  // namespace

LayoutRecord renamedKeys(const LayoutRecord& layout, const std::array<unsigned char, 256>& rename) {
  LayoutRecord renamed = layout;
  renameTable(renamed.initialKeys, rename);
  renameTable(renamed.medialKeys, rename);
  renameTable(renamed.finalKeys, rename);
  renameTable(renamed.signKeys, rename);
  renameTable(renamed.symbolKeys, rename);
  return renamed;
}

std::string layoutFileText(const LayoutRecord& layout, const std::vector<std::string>& comments,
                           const LayoutFileStyle& style) {
  std::string text;
  for (const std::string& comment : comments) {
    std::string line = "// ";
    for (const char c : comment.substr(0, kLongestComment)) {
      const unsigned char byte = static_cast<unsigned char>(c);
      line += byte < 0x20 || byte == 0x7F ? '?' : c;
    }
    text += line + '\n';
  }
  text += "set type:" + std::to_string(layout.setType) + '\n';
  // An empty value, or no line, is what the loader names "Qwerty"; written
  // out, Qwerty would read as "Unknown".
  const bool qwerty = layout.fingering == "Qwerty";
  if (!style.spacedFingering) {
    text += "fingering:" + (qwerty ? std::string() : layout.fingering) + '\n';
  } else if (!qwerty) {
    text += "fingering: " + layout.fingering + '\n';
  }
  const OutputEncoding encoding = style.encoding;
  appendTable(text, 1, InitialNames, kFirstInitials, layout.initialKeys, encoding);
  appendTable(text, 2, MedialNames, kFirstMedials, layout.medialKeys, encoding);
  appendTable(text, 3, FinalNames, kFirstFinals, layout.finalKeys, encoding);
  for (int s = 0; s < kSignCount; ++s) {
    appendCategoryLine(text, 4, SignChars.substr(s, 1), layout.signKeys[s], encoding);
  }
  appendTable(text, 4, SymbolNames, kFirstSymbols, layout.symbolKeys, encoding);
  return text;
}

}  // namespace kbeval
