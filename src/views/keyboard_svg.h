// A drawing of the keyboard as one layout uses it: the four rows of a US
// keyboard, both Shift keys and the space bar. Every key is labelled with
// what it types by itself on the layout (the Shift level above, the plain
// level below), its QWERTY name, the finger that presses it under the
// layout's fingering and its share of keystrokes, and is filled on the heat
// scale by that share; its tooltip gives the exact counts.
//
// Where a key lies follows its row in the layout's key table and its place
// among the physical keys of that row, so the picture and the counts share
// one model of the board. On a board given with --board every key lies at
// the board's centre for it instead, so that a grid looks like a grid and a
// split board like two halves.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "base/basic_types.h"
#include "keystrokes/board.h"
#include "keystrokes/key_table.h"

namespace kbeval {

struct KeyCap {
  KeyCharacters characters;  // what the key types on QWERTY, plain and shifted
  KeyInfo info;              // its plain character's entry in the layout's key table
  Count presses = 0;         // strokes of the plain character
  Count shiftedPresses = 0;  // strokes of the shifted character (Shift presses apart)
  std::string label;         // what the plain level types by itself, as the cap shows it
  std::string shiftedLabel;
  bool labelIsFinal = false;  // a jamo typed only as a final: underlined on the cap
  bool shiftedLabelIsFinal = false;
  std::string types;  // what each level types, in full, for the tooltip ("ㄱ(final)")
  std::string shiftedTypes;
};

struct KeyboardPicture {
  std::array<KeyCap, kPhysicalKeys> keys;  // in the order of physicalKeyCharacters
  Count leftShiftPresses = 0;
  Count rightShiftPresses = 0;
  Count keystrokes = 0;  // the shares' denominator: key presses plus Shift presses
  // --board: the keys lie at its centres; none: the US board as the key table places it.
  const Board* board = nullptr;
};

inline constexpr int kKeyboardWidth = 912;  // without a board
inline constexpr int kKeyboardHeight = 308;

// Where a board puts a key in the drawing, in key widths from the drawing's
// top left corner (its margin apart): the key's left and top edges and its
// width (every key is one unit high).
struct KeyPlace {
  bool drawn = false;  // the board has the key
  double left = 0, top = 0, width = 1;
};

// The places of the board's keys (board key numbers: the physical keys,
// then the left and the right Shift), moved so that the leftmost and the
// topmost edges are at 0. A key is one unit wide, but Shift, Enter, the
// backslash and the space bar keep their width on the US board while the
// board puts them on that board's row for them and the keys beside them
// leave room: on a grid they shrink to one unit.
std::array<KeyPlace, kBoardKeys> keyPlaces(const Board& board);

// The shape of a key one unit wide, with the id "key": once per page, in
// the <defs> of an SVG before any keyboard.
void appendKeyShape(std::string& out);

// The keyboard with its keys coloured by share of keystrokes, `darkestShare`
// (a percentage) and above taking the darkest colour. The space bar stays
// off the scale (it would take its top from the character keys): it is
// drawn apart, with its share as text.
void appendKeyboard(std::string& out, const KeyboardPicture& picture, double darkestShare,
                    std::string_view caption);

// A key's share of keystrokes, both levels together, in percent; slot
// kPhysicalKeys is the left Shift, kPhysicalKeys + 1 the right one.
double keyShare(const KeyboardPicture& picture, std::size_t slot);

// The keyboard of `picture` with its keys coloured by how their shares
// differ from those of the same keys in `baseline`, in percentage points, on
// a diverging scale from -`widestDifference` to +`widestDifference`; each
// key shows its difference as text.
void appendDifferenceKeyboard(std::string& out, const KeyboardPicture& picture,
                              const KeyboardPicture& baseline, double widestDifference,
                              std::string_view caption);

}  // namespace kbeval
