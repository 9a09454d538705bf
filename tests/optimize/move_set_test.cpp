// What the default move set keeps: on every shipped layout a search moves
// jamo only, so the digits, signs and symbols stay on their keys and levels,
// no jamo goes onto the number row or off it, --max-moved bounds the keys
// that differ, and the search's counts stay exact.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <set>
#include <string>

#include "keyboard_rows.h"
#include "keystrokes/key_table.h"
#include "layouts/layout_loader.h"
#include "layouts/layout_writer.h"
#include "optimize/layout_search.h"
#include "optimize/permutation_score.h"
#include "optimize/sample_passes.h"

namespace kbeval {
namespace {

// What each key byte types on a layout: every (table, entry, position) whose
// key string holds it.
using Typing = std::array<std::vector<int>, 256>;
Typing typing(const LayoutRecord& layout) {
  Typing t;
  int table = 0;
  auto add = [&](const auto& strings) {
    for (std::size_t i = 0; i < strings.size(); ++i) {
      for (std::size_t at = 0; at < strings[i].size(); ++at) {
        t[static_cast<unsigned char>(strings[i][at])].push_back(
            (table * 100 + static_cast<int>(i)) * 8 + static_cast<int>(at));
      }
    }
    ++table;
  };
  add(layout.initialKeys);
  add(layout.medialKeys);
  add(layout.finalKeys);
  add(layout.signKeys);
  add(layout.symbolKeys);
  return t;
}

// Board keys (by the board written out once) that type something else on
// `after` than on `before`.
int keysDiffering(const LayoutRecord& before, const LayoutRecord& after) {
  const Typing a = typing(before), b = typing(after);
  int n = 0;
  for (const testing::BoardRow& row : testing::kBoardRows) {
    for (std::size_t i = 0; i < row.unshifted.size(); ++i) {
      const auto lower = static_cast<unsigned char>(row.unshifted[i]);
      const auto upper = static_cast<unsigned char>(row.shifted[i]);
      n += a[lower] != b[lower] || (upper != ' ' && a[upper] != b[upper]);
    }
  }
  return n;
}

TEST(MoveSet, DigitsSignsAndSymbolsNeverMoveByDefault) {
  const std::string sample = std::string(KBEVAL_EXAMPLES) + "/sample.txt";
  int searched = 0;
  for (const auto& entry : std::filesystem::directory_iterator(KBEVAL_SHIPPED_LAYOUTS)) {
    SCOPED_TRACE(entry.path().string());
    LayoutRecord start;
    start.fileName = entry.path().filename();
    std::string error;
    ASSERT_TRUE(readLayoutFile(entry.path(), start, error)) << error;
    KeyTable keys{};
    setupKeyTable(start, keys);
    for (const int maxMoved : {0, 3}) {
      KeyMoveSet moves;
      ASSERT_TRUE(makeKeyMoveSet(start, keys, {}, moves, error)) << error;
      SymbolCounts symbols;
      ASSERT_TRUE(countSymbols(sample, SampleEncoding::johab, start, quoteStandIns(start, keys),
                               symbols, error));
      PermutationScorer scorer;
      ASSERT_TRUE(makePermutationScorer(keys, symbols, moves, kDefaultWeights, scorer, error));
      SearchSettings settings;
      settings.iterations = 3000;
      settings.restarts = 3;
      settings.maxMoved = maxMoved;
      for (const RestartResult& r : searchLayouts(scorer, settings)) {
        const KeyPermutation& sigma = r.permutation;
        const LayoutRecord best = renamedKeys(start, sigma);
        EXPECT_EQ(best.signKeys, start.signKeys);
        EXPECT_EQ(best.symbolKeys, start.symbolKeys);
        const std::array<bool, 256> signs = signBytes(start);
        for (int b = 0; b < 256; ++b) {
          if (signs[b]) {
            EXPECT_EQ(sigma[b], b) << "byte " << b;
          }
          // No jamo onto the number row or off it.
          EXPECT_EQ(keys[b].row == 5, keys[sigma[b]].row == 5) << "byte " << b;
        }
        if (maxMoved > 0) {
          EXPECT_LE(keysDiffering(start, best), maxMoved);
        }
        EXPECT_GT(keysDiffering(start, best), 0);  // it did move something
        EXPECT_EQ(r.counts, permutedObjectiveCounts(keys, symbols, sigma));
        ++searched;
      }
    }
  }
  EXPECT_GE(searched, 12);
}

// The default move set of each shipped layout, read off its file by hand:
// the key levels that type a jamo and no digit, sign or symbol, by hand
// (from the fingering and set type: Pyojun on a 2-set layout puts b on the
// right; Gong3 on a 3-set layout puts 6 on the left) and by number row or
// not. A unit swaps with every other unit of its group and with no other.
// Moving whole keys, every key that types a jamo is a unit, and keys swap
// within a hand.
struct StatedMoves {
  const char* file;
  std::string_view leftLetters, leftNumbers, rightLetters, rightNumbers;
  std::size_t jamoSwaps;  // the pairs within each group, counted by hand
  std::string_view keys;  // moving whole keys: the keys, by their unshifted byte
  std::size_t keySwaps;
};

constexpr StatedMoves kShippedMoves[] = {
    {"2-standard.txt", "EQRTWacdefgqrstvwxz", "", "OPbhijklmnopuy", "", 171 + 91,
     "abcdefghijklmnopqrstuvwxyz", 91 + 66},
    {"3-390.txt", "ACDEFQRSVWXZabcdefgqrstvwxz", "!123456", "'/;hijklmnopuy", "0789",
     351 + 21 + 91 + 6, "'/0123456789;abcdefghijklmnopqrstuvwxyz", 210 + 153},
    {"3-final.txt", "ACDEFGQRSTVWXZabcdefgqrstvwxz", "!#$%123456@", "'/;hijklmnopuy", "0789",
     406 + 55 + 91 + 6, "'/0123456789;abcdefghijklmnopqrstuvwxyz", 210 + 153},
    {"3-noshift.txt", "abcdefgqrstvwxz", "123456", "'/;[\\]hijklmnopuy",
     "-0789=", 105 + 15 + 136 + 15, "'-/0123456789;=[\\]abcdefghijklmnopqrstuvwxyz", 210 + 253},
    {"3-on-2set.txt", "ACDEFGQRSTVWXZabcdefgqrstvwxz", "", "OPhijklmnopuy", "", 406 + 78,
     "abcdefghijklmnopqrstuvwxyz", 105 + 55},
};

TEST(MoveSet, DefaultMovesOfEveryShippedLayoutAsStated) {
  int checked = 0;
  for (const StatedMoves& stated : kShippedMoves) {
    SCOPED_TRACE(stated.file);
    const std::filesystem::path path = std::filesystem::path(KBEVAL_SHIPPED_LAYOUTS) / stated.file;
    LayoutRecord start;
    start.fileName = stated.file;
    std::string error;
    ASSERT_TRUE(readLayoutFile(path, start, error)) << error;
    KeyTable keys{};
    setupKeyTable(start, keys);

    // Jamo mode: one-byte units, in the stated groups.
    KeyMoveSet moves;
    ASSERT_TRUE(makeKeyMoveSet(start, keys, {}, moves, error)) << error;
    std::array<int, 256> group;
    group.fill(-1);
    const std::string_view groups[] = {stated.leftLetters, stated.leftNumbers, stated.rightLetters,
                                       stated.rightNumbers};
    std::size_t statedUnits = 0;
    for (int g = 0; g < 4; ++g) {
      for (const char c : groups[g]) group[static_cast<unsigned char>(c)] = g;
      statedUnits += groups[g].size();
    }
    std::set<unsigned char> units;
    for (const auto& unit : moves.units) {
      EXPECT_EQ(unit[1], 0) << "a unit of two bytes";
      EXPECT_GE(group[unit[0]], 0) << "unit '" << static_cast<char>(unit[0]) << "' not stated";
      units.insert(unit[0]);
    }
    EXPECT_EQ(units.size(), moves.units.size()) << "a byte in two units";
    EXPECT_EQ(moves.units.size(), statedUnits);
    EXPECT_EQ(moves.swaps.size(), stated.jamoSwaps);
    std::set<std::pair<int, int>> swaps;
    for (const auto& swap : moves.swaps) {
      const unsigned char a = moves.units[swap[0]][0], b = moves.units[swap[1]][0];
      EXPECT_EQ(group[a], group[b]) << "swap '" << a << "' with '" << b << "'";
      swaps.insert({std::min(a, b), std::max(a, b)});
    }
    EXPECT_EQ(swaps.size(), moves.swaps.size()) << "a swap listed twice";

    // Whole keys.
    KeyMoveOptions whole;
    whole.moveKeys = true;
    ASSERT_TRUE(makeKeyMoveSet(start, keys, whole, moves, error)) << error;
    std::string keyUnits;
    for (const auto& unit : moves.units) keyUnits += static_cast<char>(unit[0]);
    std::sort(keyUnits.begin(), keyUnits.end());
    EXPECT_EQ(keyUnits, stated.keys);
    EXPECT_EQ(moves.swaps.size(), stated.keySwaps);
    ++checked;
  }
  // Every shipped layout is stated.
  int shipped = 0;
  for (const auto& entry : std::filesystem::directory_iterator(KBEVAL_SHIPPED_LAYOUTS)) {
    shipped += entry.path().extension() == ".txt";
  }
  EXPECT_EQ(checked, shipped);
}

}  // namespace
}  // namespace kbeval
