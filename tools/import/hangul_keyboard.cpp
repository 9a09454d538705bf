#include "hangul_keyboard.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <pugixml.hpp>

namespace kbeval::import {

namespace {

// Reads "0x41" (hex) or "65" (decimal) as a Unicode scalar; nothing for
// anything else, so that a malformed item is reported rather than guessed.
std::optional<char32_t> parseCode(const char* text) {
  std::string_view s(text);
  int base = 10;
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    base = 16;
    s.remove_prefix(2);
  }
  if (s.empty() || s.size() > 8) return std::nullopt;
  unsigned long value = 0;
  for (char c : s) {
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return std::nullopt;
    }
    value = value * base + digit;
  }
  if (value == 0 || value > 0x10FFFF) return std::nullopt;
  return static_cast<char32_t>(value);
}

std::string xmlError(const pugi::xml_parse_result& result) {
  return std::string("not XML: ") + result.description() + " at byte " +
         std::to_string(result.offset);
}

KeyboardReadResult fail(ReadFailure failure, std::string message) {
  KeyboardReadResult result;
  result.failure = failure;
  result.message = std::move(message);
  return result;
}

// Appends the rules of one <combination> element; false on a malformed item.
bool readRules(const pugi::xml_node& combination, std::vector<CombinationRule>& rules) {
  for (const pugi::xml_node& item : combination.children("item")) {
    const auto first = parseCode(item.attribute("first").value());
    const auto second = parseCode(item.attribute("second").value());
    const auto result = parseCode(item.attribute("result").value());
    if (!first || !second || !result) return false;
    rules.push_back({*first, *second, *result});
  }
  return true;
}

// Reads one map's items into `keys`, a later item for the same key replacing
// the earlier one; false on a malformed item.
bool readMap(const pugi::xml_node& map, std::vector<KeyMapping>& keys) {
  for (const pugi::xml_node& item : map.children("item")) {
    const auto key = parseCode(item.attribute("key").value());
    const auto value = parseCode(item.attribute("value").value());
    if (!key || !value) return false;
    bool replaced = false;
    for (KeyMapping& known : keys) {
      if (known.key == *key) {
        known.value = *value;
        replaced = true;
      }
    }
    if (!replaced) keys.push_back({*key, *value});
  }
  return true;
}

// Whether an included file's name stays in the including file's directory:
// not absolute, and no ".." part that could climb out of it.
bool besideTheKeyboard(std::string_view name) {
  if (name.empty() || name.front() == '/') return false;
  for (std::size_t start = 0; start <= name.size();) {
    const std::size_t slash = std::min(name.find('/', start), name.size());
    if (name.substr(start, slash - start) == "..") return false;
    start = slash + 1;
  }
  return true;
}

std::string directoryOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

bool readWholeFile(const std::string& path, bool regularOnly, std::string& content,
                   std::string& error) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | (regularOnly ? O_NONBLOCK : 0));
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  struct stat info {};
  bool readable = ::fstat(fd, &info) == 0;
  if (!readable) {
    error = std::strerror(errno);
  } else if (S_ISDIR(info.st_mode)) {
    error = std::strerror(EISDIR);
    readable = false;
  } else if (regularOnly && !S_ISREG(info.st_mode)) {
    error = "not a regular file";
    readable = false;
  }
  content.clear();
  char buffer[1 << 16];
  while (readable) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      error = std::strerror(errno);
      readable = false;
    } else if (got == 0) {
      break;
    } else if (content.size() + static_cast<std::size_t>(got) > kMostKeyboardFileBytes) {
      error = "larger than " + std::to_string(kMostKeyboardFileBytes >> 20) + " MB";
      readable = false;
    } else {
      content.append(buffer, static_cast<std::size_t>(got));
    }
  }
  ::close(fd);
  if (!readable) content.clear();
  return readable;
}

KeyboardReadResult parseHangulKeyboard(std::string_view xml, const IncludeReader& readInclude) {
  pugi::xml_document doc;
  const auto parsed =
      doc.load_buffer(xml.data(), xml.size(), pugi::parse_default, pugi::encoding_utf8);
  if (!parsed) return fail(ReadFailure::NotKeyboard, xmlError(parsed));
  const pugi::xml_node root = doc.document_element();
  if (std::strcmp(root.name(), "hangul-keyboard") != 0) {
    return fail(ReadFailure::NotKeyboard,
                std::string("root element is <") + root.name() + ">, not <hangul-keyboard>");
  }

  HangulKeyboard keyboard;
  keyboard.id = root.attribute("id").value();
  keyboard.type = root.attribute("type").value();
  if (keyboard.type.empty()) {
    return fail(ReadFailure::NotKeyboard, "<hangul-keyboard> has no type attribute");
  }
  for (const pugi::xml_node& name : root.children("name")) {
    if (name.attribute("xml:lang").empty()) {
      keyboard.name = name.text().get();
      break;
    }
  }

  bool hasMainMap = false;
  for (const pugi::xml_node& node : root.children()) {
    const std::string_view element = node.name();
    if (element == "map") {
      const std::string_view id = node.attribute("id").value();
      const bool main = id.empty() || id == "0";
      hasMainMap = hasMainMap || main;
      if (!readMap(node, main ? keyboard.keys : keyboard.otherMapKeys)) {
        return fail(ReadFailure::NotKeyboard, "a <map> item lacks a valid key or value");
      }
    } else if (element == "combination") {
      if (!readRules(node, keyboard.rules)) {
        return fail(ReadFailure::NotKeyboard,
                    "a <combination> item lacks a valid first, second or result");
      }
    } else if (element == "include") {
      const std::string file = node.attribute("file").value();
      std::string includedText;
      std::string why;
      if (!readInclude(file, includedText, why)) {
        return fail(ReadFailure::Unreadable,
                    "cannot read included file " + file + (why.empty() ? "" : ": " + why));
      }
      pugi::xml_document included;
      const auto includedParsed = included.load_buffer(includedText.data(), includedText.size(),
                                                       pugi::parse_default, pugi::encoding_utf8);
      if (!includedParsed) {
        return fail(ReadFailure::NotKeyboard,
                    "included file " + file + " is " + xmlError(includedParsed));
      }
      const pugi::xml_node combination = included.document_element();
      if (std::strcmp(combination.name(), "combination") != 0 ||
          !readRules(combination, keyboard.rules)) {
        return fail(ReadFailure::NotKeyboard,
                    "included file " + file + " is not a valid <combination>");
      }
    }
  }
  if (!hasMainMap) return fail(ReadFailure::NotKeyboard, "no <map id=\"0\">");

  KeyboardReadResult result;
  result.keyboard = std::move(keyboard);
  return result;
}

KeyboardReadResult readHangulKeyboard(const std::string& path) {
  std::string xml;
  std::string error;
  if (!readWholeFile(path, false, xml, error)) {
    return fail(ReadFailure::Unreadable, "cannot read: " + error);
  }
  const std::string directory = directoryOf(path);
  const IncludeReader readInclude = [&directory](const std::string& name, std::string& text,
                                                 std::string& why) {
    if (!besideTheKeyboard(name)) {
      why = "not a file beside the keyboard file";
      return false;
    }
    return readWholeFile(directory + name, true, text, why);
  };
  return parseHangulKeyboard(xml, readInclude);
}

}  // namespace kbeval::import
