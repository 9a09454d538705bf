#include "keystrokes/key_table.h"

#include <gtest/gtest.h>

#include <string>

namespace kbeval {
namespace {

KeyTable tableFor(int setType, const char* fingering) {
  KeyTable table{};
  setupKeyTable(setType, fingering, table);
  return table;
}

void expectKey(const KeyTable& table, char c, int shift, int finger, int row, int column) {
  const KeyInfo& k = table[static_cast<unsigned char>(c)];
  EXPECT_EQ(k.shift, shift) << "key " << c;
  EXPECT_EQ(k.finger, finger) << "key " << c;
  EXPECT_EQ(k.row, row) << "key " << c;
  EXPECT_EQ(k.column, column) << "key " << c;
}

TEST(KeyTable, BaseEntriesOfSpecialKeys) {
  const KeyTable t = tableFor(2, "Qwerty");
  expectKey(t, 'A', 1, -5, 3, -5);
  expectKey(t, ' ', 0, 1, 1, 0);
  expectKey(t, '\n', 0, 5, 3, 7);
  expectKey(t, '\t', 0, 0, 0, 0);
  expectKey(t, '\r', 0, 0, 0, 0);
  expectKey(t, '\x18', 0, 0, 0, 0);
  expectKey(t, '\x7f', 0, 0, 0, 0);
  expectKey(t, '`', 0, -5, 5, -6);
  expectKey(t, '\\', 0, 5, 4, 8);
  expectKey(t, '|', 1, 5, 4, 8);
  expectKey(t, '"', 1, 5, 3, 6);
  expectKey(t, '?', 1, 5, 2, 5);
  expectKey(t, 'b', 0, -2, 2, -1);
  expectKey(t, '6', 0, 2, 5, 1);
}

TEST(KeyTable, EveryPrintableCharacterAndLineFeedIsSetAndNothingElse) {
  const KeyTable t = tableFor(3, "Gong3");
  for (int c = 0; c < 256; ++c) {
    const bool written = (c >= 0x20 && c <= 0x7e) || c == '\n';
    EXPECT_EQ(t[c].row != 0, written) << "code " << c;
  }
}

TEST(KeyTable, ShiftedCharactersShareTheirKeyWithTheUnshiftedOne) {
  const std::string unshifted = "`1234567890-=qwertyuiop[]\\asdfghjkl;'zxcvbnm,./";
  const std::string shifted = "~!@#$%^&*()_+QWERTYUIOP{}|ASDFGHJKL:\"ZXCVBNM<>?";
  ASSERT_EQ(unshifted.size(), shifted.size());
  for (const char* fingering : {"Qwerty", "Gong", "Gong3", "Pyojun"}) {
    for (int setType : {2, 3}) {
      const KeyTable t = tableFor(setType, fingering);
      for (std::size_t i = 0; i < unshifted.size(); ++i) {
        const KeyInfo& low = t[static_cast<unsigned char>(unshifted[i])];
        const KeyInfo& high = t[static_cast<unsigned char>(shifted[i])];
        EXPECT_EQ(low.shift, 0);
        EXPECT_EQ(high.shift, 1);
        EXPECT_EQ(low.finger, high.finger) << fingering << " " << unshifted[i];
        EXPECT_EQ(low.row, high.row);
        EXPECT_EQ(low.column, high.column);
      }
    }
  }
}

TEST(KeyTable, GongPlaysTheBottomRowOneFingerIn) {
  for (const char* name : {"Gong", "gong", "GONG", "Gong3"}) {
    const KeyTable t = tableFor(2, name);
    expectKey(t, 'z', 0, -4, 2, -4);
    expectKey(t, 'X', 1, -3, 2, -3);
    expectKey(t, 'c', 0, -2, 2, -2);
    expectKey(t, 'V', 1, -2, 2, -2);
    expectKey(t, 'b', 0, -2, 2, -1);
  }
}

TEST(KeyTable, Gong3MovesSixToTheLeftIndexOnlyOnThreeSetLayouts) {
  const KeyTable three = tableFor(3, "gong3");
  expectKey(three, '6', 0, -2, 5, 1);
  expectKey(three, '^', 1, -2, 5, 1);
  expectKey(three, 'z', 0, -4, 2, -4);
  const KeyTable two = tableFor(2, "Gong3");
  expectKey(two, '6', 0, 2, 5, 1);
  expectKey(two, 'z', 0, -4, 2, -4);
  // Plain Gong never moves the 6.
  expectKey(tableFor(3, "Gong"), '6', 0, 2, 5, 1);
}

TEST(KeyTable, PyojunMovesBToTheRightIndexOnlyOnTwoSetLayouts) {
  expectKey(tableFor(2, "Pyojun"), 'b', 0, 2, 2, 1);
  expectKey(tableFor(2, "PYOJUN"), 'B', 1, 2, 2, 1);
  expectKey(tableFor(3, "Pyojun"), 'b', 0, -2, 2, -1);
}

TEST(KeyTable, ASetUpNeverKeepsTheLayoutBefore) {
  KeyTable t{};
  setupKeyTable(3, "Gong3", t);
  setupKeyTable(2, "Pyojun", t);
  setupKeyTable(3, "Qwerty", t);
  expectKey(t, 'z', 0, -5, 2, -5);
  expectKey(t, 'Z', 1, -5, 2, -5);
  expectKey(t, 'x', 0, -4, 2, -4);
  expectKey(t, 'c', 0, -3, 2, -3);
  expectKey(t, 'b', 0, -2, 2, -1);
  expectKey(t, '6', 0, 2, 5, 1);
}

TEST(KeyTable, UnknownAndUnsetFingeringsUseTheBaseTable) {
  const KeyTable base = tableFor(2, "Qwerty");
  for (const char* name : {"Unknown", "", "Gong 3", "Dvorak"}) {
    const KeyTable t = tableFor(2, name);
    for (int c = 0; c < 256; ++c) {
      EXPECT_EQ(t[c].finger, base[c].finger) << name << " " << c;
      EXPECT_EQ(t[c].column, base[c].column) << name << " " << c;
    }
  }
}

}  // namespace
}  // namespace kbeval
