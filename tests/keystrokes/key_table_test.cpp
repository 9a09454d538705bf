// The key table against the board written out in keyboard_rows.h, with the
// few keys each fingering plays differently stated here once.
#include "keystrokes/key_table.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "keyboard_rows.h"

namespace kbeval {
namespace {

// A key a fingering gives to another finger (and so another column).
struct Moved {
  char key;
  int finger, column;
};
// Gong plays the bottom row's left keys one finger further in.
const std::vector<Moved> kGong = {{'z', -4, -4}, {'x', -3, -3}, {'c', -2, -2}, {'v', -2, -2}};
// Gong3 on a 3-set layout: the left index finger reaches over to 6.
const Moved kGong3Six = {'6', -2, 1};
// Pyojun on a 2-set layout: B goes to the right index finger.
const Moved kPyojunB = {'b', 2, 1};

KeyInfo expectedKey(unsigned char c, int setType, const std::string& fingering) {
  const auto key = testing::boardKey(static_cast<char>(c));
  if (!key) return {};
  KeyInfo info{static_cast<std::int8_t>(key->shifted), static_cast<std::int8_t>(key->finger),
               static_cast<std::int8_t>(key->row), static_cast<std::int8_t>(key->column)};
  std::string lower;
  for (char f : fingering) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(f)));
  std::vector<Moved> moved;
  if (lower == "gong" || lower == "gong3") moved = kGong;
  if (lower == "gong3" && setType == 3) moved.push_back(kGong3Six);
  if (lower == "pyojun" && setType == 2) moved.push_back(kPyojunB);
  for (const Moved& m : moved) {
    if (testing::boardKey(m.key)->row == key->row &&
        testing::boardKey(m.key)->column == key->column) {
      info.finger = static_cast<std::int8_t>(m.finger);
      info.column = static_cast<std::int8_t>(m.column);
    }
  }
  return info;
}

// Every byte under every fingering and set type, set up one after another in
// the same table so that nothing of the layout before may stay behind.
TEST(KeyTable, EveryByteSitsWhereTheBoardAndItsFingeringPutIt) {
  KeyTable table{};
  for (int pass = 0; pass < 2; ++pass) {
    for (const char* fingering : {"Qwerty", "Gong", "gong", "GONG", "Gong3", "gONG3", "Pyojun",
                                  "PYOJUN", "", "Unknown", "Gong 3", "Gong33", "Pyojun2"}) {
      for (int setType : {2, 3}) {
        setupKeyTable(setType, fingering, table);
        for (int c = 0; c < 256; ++c) {
          const KeyInfo want = expectedKey(static_cast<unsigned char>(c), setType, fingering);
          const KeyInfo& got = table[c];
          EXPECT_TRUE(got == want)
              << fingering << " set " << setType << " byte " << c << ": got shift "
              << int(got.shift) << " finger " << int(got.finger) << " row " << int(got.row)
              << " column " << int(got.column) << ", want " << int(want.shift) << " "
              << int(want.finger) << " " << int(want.row) << " " << int(want.column);
        }
      }
    }
  }
}

// The physical keys: one number per key of the board, shared by its two
// characters, and -1 for every byte no key types.
TEST(KeyTable, PhysicalKeysAreTheKeysOfTheBoard) {
  std::set<int> numbers;
  for (int c = 0; c < 256; ++c) {
    const auto key = testing::boardKey(static_cast<char>(c));
    const int number = physicalKeyOf(static_cast<unsigned char>(c));
    if (!key) {
      EXPECT_EQ(number, -1) << c;
      continue;
    }
    ASSERT_GE(number, 0) << c;
    ASSERT_LT(number, kPhysicalKeys) << c;
    const KeyCharacters chars = physicalKeyCharacters(number);
    EXPECT_EQ(key->shifted ? chars.shifted : chars.unshifted, c);
    const auto other =
        testing::boardKey(static_cast<char>(key->shifted ? chars.unshifted : chars.shifted));
    if (chars.shifted != 0) {
      ASSERT_TRUE(other) << c;
      EXPECT_EQ(other->row, key->row);
      EXPECT_EQ(other->column, key->column);
    }
    numbers.insert(number);
  }
  EXPECT_EQ(static_cast<int>(numbers.size()), kPhysicalKeys);
  EXPECT_EQ(physicalKeyCharacters(-1).unshifted, 0);
  EXPECT_EQ(physicalKeyCharacters(kPhysicalKeys).unshifted, 0);
}

}  // namespace
}  // namespace kbeval
