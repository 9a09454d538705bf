#include "keystrokes/key_table.h"

#include "text/ascii_case.h"

namespace kbeval {

namespace {

struct KeyPlace {
  char unshifted;
  char shifted;  // 0 for a key without a shifted character
  std::int8_t finger;
  std::int8_t column;
};

// The base QWERTY fingering, by row.
constexpr KeyPlace kNumberRow[] = {
    {'`', '~', -5, -6}, {'1', '!', -5, -5}, {'2', '@', -4, -4}, {'3', '#', -3, -3},
    {'4', '$', -2, -2}, {'5', '%', -2, -1}, {'6', '^', 2, 1},   {'7', '&', 2, 2},
    {'8', '*', 3, 3},   {'9', '(', 4, 4},   {'0', ')', 5, 5},   {'-', '_', 5, 6},
    {'=', '+', 5, 7},
};
constexpr KeyPlace kTopRow[] = {
    {'q', 'Q', -5, -5}, {'w', 'W', -4, -4}, {'e', 'E', -3, -3}, {'r', 'R', -2, -2},
    {'t', 'T', -2, -1}, {'y', 'Y', 2, 1},   {'u', 'U', 2, 2},   {'i', 'I', 3, 3},
    {'o', 'O', 4, 4},   {'p', 'P', 5, 5},   {'[', '{', 5, 6},   {']', '}', 5, 7},
    {'\\', '|', 5, 8},
};
constexpr KeyPlace kHomeRow[] = {
    {'a', 'A', -5, -5}, {'s', 'S', -4, -4}, {'d', 'D', -3, -3}, {'f', 'F', -2, -2},
    {'g', 'G', -2, -1}, {'h', 'H', 2, 1},   {'j', 'J', 2, 2},   {'k', 'K', 3, 3},
    {'l', 'L', 4, 4},   {';', ':', 5, 5},   {'\'', '"', 5, 6},  {'\n', 0, 5, 7},
};
constexpr KeyPlace kBottomRow[] = {
    {'z', 'Z', -5, -5}, {'x', 'X', -4, -4}, {'c', 'C', -3, -3}, {'v', 'V', -2, -2},
    {'b', 'B', -2, -1}, {'n', 'N', 2, 1},   {'m', 'M', 2, 2},   {',', '<', 3, 3},
    {'.', '>', 4, 4},   {'/', '?', 5, 5},
};
constexpr KeyPlace kSpaceRow[] = {{' ', 0, 1, 0}};

// Under the Gong fingerings the bottom row is played one finger further in.
constexpr KeyPlace kGongBottomRow[] = {
    {'z', 'Z', -4, -4}, {'x', 'X', -3, -3}, {'c', 'C', -2, -2}, {'v', 'V', -2, -2}};
// Gong3 on a 3-set layout: the left index finger reaches over to 6.
constexpr KeyPlace kGong3Six = {'6', '^', -2, 1};
// Pyojun on a 2-set layout: B goes to the right index finger.
constexpr KeyPlace kPyojunB = {'b', 'B', 2, 1};

template <std::size_t N>
void place(const KeyPlace (&keys)[N], std::int8_t row, KeyTable& table) {
  for (const KeyPlace& key : keys) {
    table[static_cast<unsigned char>(key.unshifted)] = {0, key.finger, row, key.column};
    if (key.shifted != 0) {
      table[static_cast<unsigned char>(key.shifted)] = {1, key.finger, row, key.column};
    }
  }
}

void place(const KeyPlace& key, std::int8_t row, KeyTable& table) {
  const KeyPlace keys[] = {key};
  place(keys, row, table);
}

}  // namespace

void setupKeyTable(int setType, std::string_view fingering, KeyTable& table) {
  const bool gong3 = equalsIgnoringCase(fingering, "Gong3");
  const bool gong = gong3 || equalsIgnoringCase(fingering, "Gong");
  place(kNumberRow, 5, table);
  place(kTopRow, 4, table);
  place(kHomeRow, 3, table);
  place(kBottomRow, 2, table);
  place(kSpaceRow, 1, table);
  if (gong) place(kGongBottomRow, 2, table);
  if (gong3 && setType == 3) place(kGong3Six, 5, table);
  if (setType == 2 && equalsIgnoringCase(fingering, "Pyojun")) place(kPyojunB, 2, table);
}

namespace {

constexpr std::array<KeyCharacters, kPhysicalKeys> makePhysicalKeys() {
  std::array<KeyCharacters, kPhysicalKeys> keys{};
  int n = 0;
  auto add = [&keys, &n](const auto& row) {
    for (const KeyPlace& key : row) {
      keys[n++] = {static_cast<unsigned char>(key.unshifted),
                   static_cast<unsigned char>(key.shifted)};
    }
  };
  add(kNumberRow);
  add(kTopRow);
  add(kHomeRow);
  add(kBottomRow);
  add(kSpaceRow);
  return keys;
}
constexpr std::array<KeyCharacters, kPhysicalKeys> kPhysicalKeyCharacters = makePhysicalKeys();

constexpr std::array<signed char, 256> makePhysicalKeyIndex() {
  std::array<signed char, 256> index{};
  for (auto& i : index) i = -1;
  for (int k = 0; k < kPhysicalKeys; ++k) {
    index[kPhysicalKeyCharacters[k].unshifted] = static_cast<signed char>(k);
    if (kPhysicalKeyCharacters[k].shifted != 0)
      index[kPhysicalKeyCharacters[k].shifted] = static_cast<signed char>(k);
  }
  return index;
}
constexpr std::array<signed char, 256> kPhysicalKeyIndex = makePhysicalKeyIndex();

}  // namespace

int physicalKeyOf(unsigned char character) {
  return kPhysicalKeyIndex[character];
}

KeyCharacters physicalKeyCharacters(int key) {
  return key >= 0 && key < kPhysicalKeys ? kPhysicalKeyCharacters[key] : KeyCharacters{};
}

void setupKeyTable(const LayoutRecord& layout, KeyTable& table) {
  setupKeyTable(layout.setType, layout.fingering, table);
}

}  // namespace kbeval
