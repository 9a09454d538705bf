// The layouts shipped in examples/keyboard: hand-checked key strings read
// with the real loader, and a regression guard that they are still what the
// importer makes of the installed libhangul-data keyboards.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "import_command.h"
#include "import_test_support.h"
#include "jamo_unicode.h"
#include "keystrokes/key_table.h"
#include "layout_import.h"

namespace kbeval::import {
namespace {

struct Shipped {
  std::string keyboardId;
  std::string fingering;
  std::string file;
};

std::vector<Shipped> shippedList() {
  std::ifstream in(KBEVAL_SHIPPED_LIST);
  std::vector<Shipped> list;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    Shipped entry;
    if (fields >> entry.keyboardId >> entry.fingering >> entry.file) list.push_back(entry);
  }
  return list;
}

std::string shippedPath(const std::string& file) {
  return std::string(KBEVAL_SHIPPED_LAYOUTS) + "/" + file;
}

LayoutRecord shipped(const std::string& file) {
  const std::string text = testing::fileContent(shippedPath(file));
  EXPECT_FALSE(text.empty()) << file;
  return testing::loadedLayout(text);
}

const std::string& initial(const LayoutRecord& r, std::string_view jamo) {
  return r.initialKeys[*findName(InitialNames, jamo)];
}
const std::string& medial(const LayoutRecord& r, std::string_view jamo) {
  return r.medialKeys[*findName(MedialNames, jamo)];
}
const std::string& final_(const LayoutRecord& r, std::string_view jamo) {
  return r.finalKeys[*findName(FinalNames, jamo)];
}
const std::string& sign(const LayoutRecord& r, char c) {
  return r.signKeys[*findSign(static_cast<unsigned char>(c))];
}

// Jamo used below, as KS X 1001 strings.
constexpr std::string_view G = "\xA4\xA1", GG = "\xA4\xA2", GS = "\xA4\xA3", NJ = "\xA4\xA5",
                           LB = "\xA4\xAC", K = "\xA4\xBB", T = "\xA4\xBC", B = "\xA4\xB2",
                           SS = "\xA4\xB6", J = "\xA4\xB8", H = "\xA4\xBE", O = "\xA4\xC7",
                           WA = "\xA4\xC8", U = "\xA4\xCC", WO = "\xA4\xCD", YAE = "\xA4\xC2",
                           YU = "\xA4\xD0", UI = "\xA4\xD2";

// Worked out from hangul-keyboard-2.xml and the default combination rules.
TEST(ShippedLayouts, TwoSetStandard) {
  const LayoutRecord r = shipped("2-standard.txt");
  EXPECT_EQ(r.setType, 2);
  EXPECT_EQ(r.fingering, "Pyojun");
  EXPECT_EQ(initial(r, GG), "R");
  EXPECT_EQ(initial(r, G), "r");
  EXPECT_EQ(final_(r, G), "r");  // the same key as the initial
  EXPECT_EQ(final_(r, GG), "R");
  EXPECT_EQ(final_(r, GS), "rt");
  EXPECT_EQ(final_(r, LB), "fq");
  EXPECT_EQ(final_(r, SS), "T");
  EXPECT_EQ(medial(r, WA), "hk");
  EXPECT_EQ(medial(r, UI), "ml");
  EXPECT_EQ(medial(r, YAE), "O");
  EXPECT_EQ(medial(r, YU), "b");
  EXPECT_EQ(sign(r, '7'), "7");
  EXPECT_EQ(sign(r, '?'), "?");
  EXPECT_EQ(r.symbolKeys[4], "'");   // ‘ typed as '
  EXPECT_EQ(r.symbolKeys[7], "\"");  // ” typed as "
}

// Worked out from hangul-keyboard-39.xml: k ㄱ, 0 ㅋ, ' ㅌ; v and / ㅗ, b and 9
// ㅜ, f ㅏ, t ㅓ, 8 ㅢ, R ㅒ; x ㄱ, F ㄲ, q ㅅ, s ㄴ, ! ㅈ, 1 ㅎ, 2 ㅆ; N..O digits.
TEST(ShippedLayouts, ThreeSet390) {
  const LayoutRecord r = shipped("3-390.txt");
  EXPECT_EQ(r.setType, 3);
  EXPECT_EQ(r.fingering, "Gong3");
  EXPECT_EQ(initial(r, G), "k");
  EXPECT_EQ(initial(r, GG), "kk");
  EXPECT_EQ(initial(r, K), "0");
  EXPECT_EQ(initial(r, T), "'");
  EXPECT_EQ(medial(r, O), "v");
  EXPECT_EQ(medial(r, WA), "/f");  // the right-hand ㅗ, then ㅏ on the left
  EXPECT_EQ(medial(r, WO), "9t");
  EXPECT_EQ(medial(r, UI), "8");
  EXPECT_EQ(medial(r, YAE), "R");
  EXPECT_EQ(final_(r, G), "x");
  EXPECT_EQ(final_(r, GG), "F");
  EXPECT_EQ(final_(r, GS), "xq");
  EXPECT_EQ(final_(r, NJ), "s!");
  EXPECT_EQ(final_(r, H), "1");
  EXPECT_EQ(final_(r, SS), "2");
  EXPECT_EQ(sign(r, '0'), "N");
  EXPECT_EQ(sign(r, '1'), "M");
  EXPECT_EQ(sign(r, '2'), "<");
  EXPECT_EQ(sign(r, '7'), "U");
  EXPECT_EQ(sign(r, '!'), "B");
  EXPECT_EQ(sign(r, '\''), "H");
  EXPECT_EQ(sign(r, '/'), "G");
  EXPECT_EQ(r.symbolKeys[4], "H");  // ‘ where ' is
}

// Worked out from hangul-keyboard-3f.xml: ; ㅂ, G ㅒ; ! ㄲ, V ㄳ, E ㄵ, # ㅈ;
// H 0, J 1, : 4, U 6; & “, * ”, " ·; nothing types @.
TEST(ShippedLayouts, ThreeSetFinal) {
  const LayoutRecord r = shipped("3-final.txt");
  EXPECT_EQ(r.setType, 3);
  EXPECT_EQ(r.fingering, "Gong3");
  EXPECT_EQ(initial(r, B), ";");
  EXPECT_EQ(initial(r, K), "0");
  EXPECT_EQ(medial(r, YAE), "G");
  EXPECT_EQ(medial(r, WA), "/f");
  EXPECT_EQ(final_(r, GG), "!");
  EXPECT_EQ(final_(r, GS), "V");
  EXPECT_EQ(final_(r, NJ), "E");
  EXPECT_EQ(final_(r, J), "#");
  EXPECT_EQ(sign(r, '0'), "H");
  EXPECT_EQ(sign(r, '1'), "J");
  EXPECT_EQ(sign(r, '4'), ":");
  EXPECT_EQ(sign(r, '6'), "U");
  EXPECT_EQ(sign(r, '!'), "?");
  EXPECT_EQ(sign(r, '"'), "M");
  EXPECT_TRUE(sign(r, '@').empty());
  EXPECT_EQ(r.symbolKeys[0], "\"");  // ·
  EXPECT_EQ(r.symbolKeys[6], "&");   // “
  EXPECT_EQ(r.symbolKeys[7], "*");   // ”
}

// Worked out from hangul-keyboard-3s.xml: no final or vowel needs Shift.
TEST(ShippedLayouts, ThreeSetNoShift) {
  const LayoutRecord r = shipped("3-noshift.txt");
  EXPECT_EQ(r.setType, 3);
  EXPECT_EQ(final_(r, GG), "xx");
  EXPECT_EQ(final_(r, J), "-");
  EXPECT_EQ(medial(r, YAE), "0");
  EXPECT_EQ(medial(r, WA), "vf");
  EXPECT_EQ(sign(r, '2'), "<");
  EXPECT_EQ(sign(r, '-'), "Z");
  KeyTable qwerty{};
  setupKeyTable(3, "Qwerty", qwerty);
  auto noShift = [&qwerty](const auto& table) {
    for (const std::string& keys : table) {
      for (char c : keys) EXPECT_EQ(qwerty[static_cast<unsigned char>(c)].shift, 0) << keys;
    }
  };
  noShift(r.initialKeys);
  noShift(r.medialKeys);
  noShift(r.finalKeys);
}

TEST(ShippedLayouts, EveryShippedFileIsListedForRegeneration) {
  std::set<std::string> listed;
  for (const Shipped& entry : shippedList()) listed.insert(entry.file);
  EXPECT_GE(listed.size(), 4u);
  std::set<std::string> present;
  for (const auto& entry : std::filesystem::directory_iterator(KBEVAL_SHIPPED_LAYOUTS)) {
    if (entry.path().extension() == ".txt") present.insert(entry.path().filename().string());
  }
  EXPECT_EQ(present, listed);
}

// Regression guard: the shipped files are exactly the importer's output for
// the installed libhangul-data keyboards (run `make layouts` after a change).
TEST(ShippedLayouts, MatchTheImporterOutputForInstalledKeyboards) {
  if (!std::filesystem::exists(LIBHANGUL_KEYBOARDS)) GTEST_SKIP() << "libhangul-data not installed";
  for (const Shipped& entry : shippedList()) {
    const std::string xml =
        std::string(LIBHANGUL_KEYBOARDS) + "/hangul-keyboard-" + entry.keyboardId + ".xml";
    const auto read = readHangulKeyboard(xml);
    ASSERT_EQ(read.failure, ReadFailure::None) << xml << ": " << read.message;
    const ImportResult imported = importKeyboard(*read.keyboard);
    EXPECT_TRUE(imported.refusal.empty()) << xml;
    EXPECT_TRUE(imported.layout.problems.empty()) << xml;
    const std::string expected = formatLayoutFile(
        imported.layout, {describeSource(xml, *read.keyboard), *fingeringOption(entry.fingering)});
    EXPECT_EQ(testing::fileContent(shippedPath(entry.file)), expected) << entry.file;
  }
}

}  // namespace
}  // namespace kbeval::import
