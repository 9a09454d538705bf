// One keyboard layout as read from its description file.
#pragma once

#include <array>
#include <string>

#include "base/basic_types.h"
#include "layouts/character_tables.h"

namespace kbeval {

struct LayoutRecord {
  std::string fileName;  // entry name without "keyboard/"; empty when the file failed to open
  int setType = 0;       // 2 or 3 for an evaluated layout
  std::string fingering = "Qwerty";  // what a file without a "fingering" line gets
  std::array<std::string, kInitialCodes> initialKeys;
  std::array<std::string, kMedialCodes> medialKeys;
  std::array<std::string, kFinalCodes> finalKeys;
  std::array<std::string, kSignCount> signKeys;
  std::array<std::string, kSymbolCount> symbolKeys;

  bool operator==(const LayoutRecord&) const = default;
};

// The heading's name of a layout: the first dot-free run of its file name
// ("abc.txt" -> "abc", ".x.txt" -> "x").
std::string displayName(const std::string& fileName);

}  // namespace kbeval
