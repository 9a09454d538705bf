// Helpers shared by the importer tests: small keyboards built in memory,
// temporary files, and reading a generated layout back with the real loader.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "hangul_keyboard.h"
#include "layouts/layout_loader.h"
#include "layouts/layout_record.h"

namespace kbeval::import::testing {

// A keyboard XML of the given type with `items` (XML <item> lines) in map 0
// and `rules` (XML <item> lines) in an inline combination.
inline std::string keyboardXml(const std::string& type, const std::string& items,
                               const std::string& rules = "") {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<hangul-keyboard id=\"t\" type=\"" + type +
         "\">\n<name>Test</name>\n<map id=\"0\">\n" + items + "</map>\n<combination id=\"0\">\n" +
         rules + "</combination>\n</hangul-keyboard>\n";
}

inline std::string item(unsigned key, unsigned value) {
  std::ostringstream out;
  out << std::hex << "<item key=\"0x" << key << "\" value=\"0x" << value << "\"/>\n";
  return out.str();
}

inline std::string rule(unsigned first, unsigned second, unsigned result) {
  std::ostringstream out;
  out << std::hex << "<item first=\"0x" << first << "\" second=\"0x" << second << "\" result=\"0x"
      << result << "\"/>\n";
  return out.str();
}

// Parses keyboard XML that includes nothing.
inline HangulKeyboard parsed(const std::string& xml) {
  const auto result = parseHangulKeyboard(
      xml, [](const std::string&, std::string&, std::string&) { return false; });
  return result.keyboard.value();
}

// A fresh directory under the system's temporary directory, removed at scope end.
struct TempDir {
  std::filesystem::path path;
  TempDir() {
    path =
        std::filesystem::temp_directory_path() /
        ("kbeval-import-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
  }
  ~TempDir() { std::filesystem::remove_all(path); }
  std::string write(const std::string& name, const std::string& content) const {
    const auto file = path / name;
    std::ofstream(file, std::ios::binary) << content;
    return file.string();
  }
};

inline std::string fileContent(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// What the layout loader makes of a layout file's text.
inline LayoutRecord loadedLayout(const std::string& text) {
  LayoutRecord record;
  record.fileName = "test.txt";
  applyLayoutText(text, record);
  return record;
}

}  // namespace kbeval::import::testing
