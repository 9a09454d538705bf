// The US QWERTY board as a touch typist sees it, written out once for the
// tests: each row's keys unshifted and shifted, and how many of them the left
// hand plays. Columns count outward from the split between the hands (left
// negative), and a column's finger follows from it: the index finger takes the
// two inner columns, then middle, ring, and the little finger everything
// further out. The line feed is the Enter key at the end of the home row.
#pragma once

#include <cstdlib>
#include <optional>
#include <string_view>

namespace kbeval::testing {

struct BoardRow {
  std::string_view unshifted;
  std::string_view shifted;  // a space where the key has no shifted character
  int row;                   // 5 the number row .. 1 the space bar
  int leftKeys;              // keys played by the left hand
};

inline constexpr BoardRow kBoardRows[] = {
    {"`1234567890-=", "~!@#$%^&*()_+", 5, 6},
    {"qwertyuiop[]\\", "QWERTYUIOP{}|", 4, 5},
    {"asdfghjkl;'\n", "ASDFGHJKL:\" ", 3, 5},
    {"zxcvbnm,./", "ZXCVBNM<>?", 2, 5},
};

// Where a character's key is on the board.
struct BoardKey {
  int row = 0;
  int column = 0;  // the space bar: 0
  bool shifted = false;
  int finger = 0;  // -5..-2 left little..index, 1 thumb, 2..5 right index..little
};

inline int fingerOfColumn(int column) {
  const int reach = std::abs(column);
  const int finger = reach <= 2 ? 2 : reach >= 5 ? 5 : reach;
  return column < 0 ? -finger : finger;
}

inline std::optional<BoardKey> boardKey(char c) {
  if (c == ' ') return BoardKey{1, 0, false, 1};
  for (const BoardRow& r : kBoardRows) {
    for (int i = 0; i < static_cast<int>(r.unshifted.size()); ++i) {
      const bool shifted = r.shifted[i] == c && c != ' ';
      if (r.unshifted[i] != c && !shifted) continue;
      const int column = i < r.leftKeys ? i - r.leftKeys : i - r.leftKeys + 1;
      return BoardKey{r.row, column, shifted, fingerOfColumn(column)};
    }
  }
  return std::nullopt;
}

}  // namespace kbeval::testing
