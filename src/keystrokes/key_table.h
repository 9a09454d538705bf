// The keyboard model: for every key-stream character, its Shift state and the
// finger, row and column of its key on a QWERTY board, for a layout's set type
// and fingering name.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "layouts/layout_record.h"

namespace kbeval {

struct KeyInfo {
  std::int8_t shift = 0;   // 1: typed with the other hand's Shift held
  std::int8_t finger = 0;  // -5..-2 left little..index, 1 thumb, 2..5 right index..little
  std::int8_t row = 0;     // 1 space bar .. 5 number row; 0 never set
  std::int8_t column = 0;  // counted outward from the middle, left negative

  bool operator==(const KeyInfo&) const = default;
};

// The finger slot the counts file a key under: 0-3 the left little to index
// finger, 4 a key without data, 5 the thumb on the space bar, 6-9 the right
// index to little finger.
constexpr int fingerSlotOf(const KeyInfo& key) {
  return key.finger < 0 ? key.finger + 5 : key.finger + 4;
}

// Indexed by byte. Entries 128-255, control bytes other than the line feed,
// and DEL stay all zero: a key without data.
using KeyTable = std::array<KeyInfo, 256>;

// Rewrites the 96 entries of the printable characters and the line feed for
// the layout's set type and fingering ("Gong", "Gong3", "Pyojun" or any other).
void setupKeyTable(const LayoutRecord& layout, KeyTable& table);
void setupKeyTable(int setType, std::string_view fingering, KeyTable& table);

// The physical keys of the board, whatever the fingering: 0..kPhysicalKeys-1,
// a key's unshifted and shifted characters sharing one number.
inline constexpr int kPhysicalKeys = 49;

// The physical key that types `character`, or -1 for a byte no key types.
int physicalKeyOf(unsigned char character);

// The unshifted and the shifted character of a physical key (0 where it has none).
struct KeyCharacters {
  unsigned char unshifted = 0;
  unsigned char shifted = 0;
};
KeyCharacters physicalKeyCharacters(int key);

}  // namespace kbeval
