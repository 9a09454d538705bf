// The board a layout is typed on, as data: for every physical key its
// centre, row, finger, inner-column flag and effort. Boards are read from
// plain text files (docs/boards.md); three ship with kbeval and are found by
// name: ansi (the row-staggered US board, the default), ortho (a 4x12 grid)
// and split (two column-staggered halves).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "keystrokes/key_table.h"
#include "layouts/layout_record.h"

namespace kbeval {

// The keys of a board: the physical keys of the key table (their numbers),
// then the two Shift keys.
inline constexpr int kLeftShiftKey = kPhysicalKeys;
inline constexpr int kRightShiftKey = kPhysicalKeys + 1;
inline constexpr int kBoardKeys = kPhysicalKeys + 2;

// Rows and fingers in the key table's numbers (KeyInfo::row, KeyInfo::finger).
inline constexpr std::int8_t kThumbRow = 1, kBottomRow = 2, kHomeRow = 3, kTopRow = 4,
                             kNumberRow = 5;
inline constexpr std::int8_t kThumbFinger = 1;

struct BoardKey {
  bool present = false;
  double x = 0, y = 0;     // centre, in key widths; y grows downwards
  std::int8_t row = 0;     // kThumbRow..kNumberRow
  std::int8_t finger = 0;  // -5..-2 left little..index, 1 thumb, 2..5 right index..little
  bool inner = false;      // the inner column of an index finger
  double effort = 0;       // cost of pressing it from rest

  bool operator==(const BoardKey&) const = default;
};

struct Board {
  std::string name;  // "ansi", or the file's name without directory and extension
  std::string file;  // the file it was read from (for a shipped board, its installed copy)
  bool shipped = false;
  std::array<BoardKey, kBoardKeys> keys{};

  bool operator==(const Board&) const = default;
};

// A board key's name in files and messages: "q", "1", ";", "space", "enter",
// "lshift", "rshift".
std::string boardKeyName(int key);

// Reads a board from the text of a file; `fileName` names it in errors,
// which are one line "FILE:LINE: what is wrong".
bool parseBoard(std::string_view text, std::string_view fileName, Board& board, std::string& error);

// The text of a shipped board, or an empty view for another name.
std::string_view shippedBoardText(std::string_view name);

// A shipped board by name, or a board file by path (anything that is not a
// shipped board's name). Errors name the file.
bool loadBoard(std::string_view nameOrFile, Board& board, std::string& error);

// The default board: the shipped ansi.
const Board& ansiBoard();

// Whether a layout's `fingering:` line picks its fingers (on ansi only).
inline bool fingeringApplies(const Board& board) {
  return board.shipped && board.name == "ansi";
}

// The key table of `layout` on `board`: on ansi the fingering model of the
// layout's line, elsewhere every key's finger, row and column from the board
// (the column follows the finger and the inner flag, as the reports count it).
void setupBoardKeyTable(const Board& board, const LayoutRecord& layout, KeyTable& table);

// The first key `layout` types that `board` lacks (Shift keys included when
// it types a shifted character; space and Enter always), or -1.
int missingBoardKey(const Board& board, const LayoutRecord& layout);

// The board key a stroke of key-stream byte `character` presses, or -1.
inline int boardKeyOf(unsigned char character) {
  return physicalKeyOf(character);
}

}  // namespace kbeval
