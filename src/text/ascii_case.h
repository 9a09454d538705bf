// Case-insensitive comparison that folds ASCII letters only, whatever the locale.
#pragma once

#include <string_view>

namespace kbeval {

constexpr char foldAsciiCase(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (foldAsciiCase(a[i]) != foldAsciiCase(b[i])) return false;
  }
  return true;
}

}  // namespace kbeval
