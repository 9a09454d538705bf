#include "layout_import.h"

#include <gtest/gtest.h>

#include "import_test_support.h"

namespace kbeval::import {
namespace {

using testing::item;
using testing::keyboardXml;
using testing::parsed;
using testing::rule;

// KS X 1001 names used below.
constexpr std::string_view kKiyeok = "\xA4\xA1";       // ㄱ
constexpr std::string_view kSsangKiyeok = "\xA4\xA2";  // ㄲ
constexpr std::string_view kKiyeokSios = "\xA4\xA3";   // ㄳ (final only)
constexpr std::string_view kWa = "\xA4\xC8";           // ㅘ
constexpr std::string_view kO = "\xA4\xC7";            // ㅗ

// The layout imported from `keyboard`, which must not be refused.
ImportedLayout imported(const HangulKeyboard& keyboard) {
  ImportedLayout layout;
  std::string error;
  EXPECT_TRUE(importKeyboard(keyboard, layout, error)) << error;
  return layout;
}

// Why `keyboard` is refused; empty when it is imported.
std::string refusal(const HangulKeyboard& keyboard) {
  ImportedLayout layout;
  std::string error;
  return importKeyboard(keyboard, layout, error) ? std::string() : error;
}

int initialCode(std::string_view name) {
  return *findName(InitialNames, name);
}
int medialCode(std::string_view name) {
  return *findName(MedialNames, name);
}
int finalCode(std::string_view name) {
  return *findName(FinalNames, name);
}
int signIndex(char c) {
  return *findSign(static_cast<unsigned char>(c));
}

// A small 2-set keyboard: consonants as choseong, shifted R the double one.
const std::string kTwoSetItems = item('r', 0x1100) + item('R', 0x1101) + item('t', 0x1109) +
                                 item('h', 0x1169) + item('k', 0x1161);
const std::string kTwoSetRules =
    rule(0x1169, 0x1161, 0x116A) + rule(0x11A8, 0x11BA, 0x11AA) + rule(0x1100, 0x1100, 0x1101);

TEST(ImportKeyboard, TwoSetConsonantKeysServeInitialAndFinal) {
  const ImportedLayout layout = imported(parsed(keyboardXml("jamo", kTwoSetItems, kTwoSetRules)));
  EXPECT_EQ(layout.setType, 2);
  EXPECT_EQ(layout.initialKeys[initialCode(kKiyeok)], "r");
  EXPECT_EQ(layout.initialKeys[initialCode(kSsangKiyeok)], "R");  // one key beats r r
  EXPECT_EQ(layout.finalKeys[finalCode(kKiyeok)], "r");
  EXPECT_EQ(layout.finalKeys[finalCode(kSsangKiyeok)], "R");
  EXPECT_EQ(layout.finalKeys[finalCode(kKiyeokSios)], "rt");  // through the final rule
  EXPECT_EQ(layout.medialKeys[medialCode(kWa)], "hk");
}

TEST(ImportKeyboard, ThreeSetKeepsSlotsApartAndCombinesWithinOne) {
  // k types the initial ㄱ, x the final ㄱ; q the final ㅅ.
  const std::string items = item('k', 0x1100) + item('x', 0x11A8) + item('q', 0x11BA);
  const std::string rules = rule(0x1100, 0x1100, 0x1101) + rule(0x11A8, 0x11A8, 0x11A9) +
                            rule(0x11A8, 0x11BA, 0x11AA) + rule(0x1100, 0x1109, 0x11AA);
  const ImportedLayout layout = imported(parsed(keyboardXml("jaso", items, rules)));
  EXPECT_EQ(layout.setType, 3);
  EXPECT_EQ(layout.initialKeys[initialCode(kKiyeok)], "k");
  EXPECT_EQ(layout.initialKeys[initialCode(kSsangKiyeok)], "kk");
  EXPECT_EQ(layout.finalKeys[finalCode(kKiyeok)], "x");  // not k: a 3-set initial stays initial
  EXPECT_EQ(layout.finalKeys[finalCode(kSsangKiyeok)], "xx");
  EXPECT_EQ(layout.finalKeys[finalCode(kKiyeokSios)], "xq");
}

TEST(ImportKeyboard, TiesGoToFewerShiftsThenAlternatingHandsThenLetterKeys) {
  // ㅗ on v (left letter) and / (right sign key), ㅏ on f (left), ㄱ on r and R.
  const std::string items = item('v', 0x1169) + item('/', 0x1169) + item('f', 0x1161) +
                            item('R', 0x1100) + item('r', 0x1100);
  const ImportedLayout layout =
      imported(parsed(keyboardXml("jaso", items, rule(0x1169, 0x1161, 0x116A))));
  EXPECT_EQ(layout.initialKeys[initialCode(kKiyeok)], "r");
  EXPECT_EQ(layout.medialKeys[medialCode(kO)], "v");
  EXPECT_EQ(layout.medialKeys[medialCode(kWa)], "/f");
}

TEST(ImportKeyboard, ChainsLongerThanFourKeysAreNotKept) {
  // ㅡ + ㅡ -> ㅡ loops; a chain never grows past the 4 bytes a key string holds,
  // and the one-key sequence wins anyway.
  const ImportedLayout layout =
      imported(parsed(keyboardXml("jaso", item('g', 0x1173), rule(0x1173, 0x1173, 0x1173))));
  EXPECT_EQ(layout.medialKeys[*findName(MedialNames, "\xA4\xD1")], "g");
}

TEST(ImportKeyboard, SignsFollowTheKeysThatTypeThem) {
  // '2' types a final, '<' types the digit 2, '!' types a final, 'B' types '!'
  // and '"' is typed both by itself and by 'M'.
  const std::string items = item('2', 0x11BB) + item('<', '2') + item('!', 0x11BD) +
                            item('B', '!') + item('M', '"') + item('H', '\'') + item('\'', 0x1110);
  const ImportedLayout layout = imported(parsed(keyboardXml("jaso", items)));
  EXPECT_EQ(layout.signKeys[signIndex('2')], "<");
  EXPECT_EQ(layout.signKeys[signIndex('!')], "B");
  EXPECT_EQ(layout.signKeys[signIndex('"')], "\"");  // its own key before another shifted one
  EXPECT_EQ(layout.signKeys[signIndex('\'')], "H");
  EXPECT_EQ(layout.signKeys[signIndex('7')], "7");  // unmapped keys type themselves
  EXPECT_EQ(layout.untypedSigns, "<");              // '<' is only on a key that types 2
  EXPECT_TRUE(layout.signKeys[signIndex('<')].empty());
}

TEST(ImportKeyboard, QuotesTakeTheirOwnKeyOrTheAsciiQuoteKey) {
  // & types “ directly; nothing types ” so it falls back to the key typing '"'.
  const std::string items =
      item('&', 0x201C) + item('H', '\'') + item('\'', 0x1110) + item('~', 0x203B);
  const ImportedLayout layout = imported(parsed(keyboardXml("jaso", items)));
  EXPECT_EQ(layout.symbolKeys[4], "H");   // ‘ like '
  EXPECT_EQ(layout.symbolKeys[5], "H");   // ’ like '
  EXPECT_EQ(layout.symbolKeys[6], "&");   // “ has its own key
  EXPECT_EQ(layout.symbolKeys[7], "\"");  // ” like "
  EXPECT_EQ(layout.symbolKeys[8], "~");   // ※
  EXPECT_TRUE(layout.symbolKeys[0].empty());
  EXPECT_TRUE(layout.signKeys[signIndex('&')].empty());
  EXPECT_TRUE(layout.signKeys[signIndex('~')].empty());
}

TEST(ImportKeyboard, WhatTheLayoutFileCannotHoldIsListed) {
  const std::string xml =
      "<hangul-keyboard type=\"jaso-yet\"><map id=\"0\">" + item('W', 0x1140) /* old jamo */ +
      item(0xE9, 0x1100) /* key outside ASCII */ + item('Q', 0x20A9) /* no such symbol */ +
      item('k', 0x1100) + "</map><map id=\"1\">" + item('z', 0x1100) + "</map></hangul-keyboard>";
  const ImportedLayout layout = imported(parsed(xml));
  auto mentions = [&layout](const std::string& text) {
    for (const std::string& problem : layout.problems) {
      if (problem.find(text) != std::string::npos) return true;
    }
    return false;
  };
  EXPECT_TRUE(mentions("key 'W' -> U+1140: old Hangul jamo"));
  EXPECT_TRUE(mentions("key 0xE9 -> U+1100: not a printable ASCII key"));
  EXPECT_TRUE(mentions("key 'Q' -> U+20A9"));
  EXPECT_TRUE(mentions("key 'z' -> U+1100: only map 0 is read"));
  EXPECT_TRUE(mentions("the medial U+1161"));  // no key for ㅏ
  EXPECT_FALSE(mentions("initial U+1100"));    // k types ㄱ
  EXPECT_EQ(layout.initialKeys[initialCode(kKiyeok)], "k");
}

TEST(ImportKeyboard, RomajaAndUnknownTypesAreRefused) {
  EXPECT_NE(refusal(parsed(keyboardXml("romaja", item('a', 0x1161)))).find("romaja"),
            std::string::npos);
  EXPECT_NE(refusal(parsed(keyboardXml("chord", item('a', 0x1161)))).find("chord"),
            std::string::npos);
  EXPECT_TRUE(refusal(parsed(keyboardXml("jamo-yet", item('a', 0x1161)))).empty());
}

TEST(FormatLayoutFile, HeaderLinesAndFingering) {
  const ImportedLayout layout = imported(parsed(keyboardXml("jamo", kTwoSetItems, kTwoSetRules)));
  const std::string withFingering =
      formatLayoutFile(layout, {"kb.xml (Test, type jamo)", "Pyojun"});
  EXPECT_EQ(withFingering.rfind("// Generated by kbeval-import from kb.xml (Test, type jamo)\n"
                                "set type:2\nfingering: Pyojun\n1\t\xA4\xA1\tr\n",
                                0),
            0u);
  const std::string without = formatLayoutFile(layout, {"kb.xml", ""});
  EXPECT_EQ(without.find("fingering"), std::string::npos);
  EXPECT_NE(without.find("\n3\t\xA4\xA3\trt\n"), std::string::npos);
  EXPECT_NE(without.find("\n2\t\xA4\xC8\thk\n"), std::string::npos);
}

TEST(FormatLayoutFile, UntypedSignsAreNamedInAComment) {
  const ImportedLayout layout =
      imported(parsed(keyboardXml("jaso", item('<', '2') + item('2', 0x11BB))));
  const std::string text = formatLayoutFile(layout, {"x", ""});
  EXPECT_NE(text.find("\n// No key types: <\n"), std::string::npos);
}

// The loader must read back exactly the key strings that were written.
TEST(FormatLayoutFile, TheLayoutLoaderReadsBackEveryKeyString) {
  const std::string items = kTwoSetItems + item('<', '2') + item('2', 0x11BB) + item('&', 0x201C) +
                            item('H', '\'') + item('\'', 0x1110) + item('"', 0xB7);
  const ImportedLayout layout = imported(parsed(keyboardXml("jamo", items, kTwoSetRules)));
  for (const std::string fingering : {"", "Gong3"}) {
    const LayoutRecord record = testing::loadedLayout(formatLayoutFile(layout, {"x", fingering}));
    EXPECT_EQ(record.setType, 2);
    EXPECT_EQ(record.fingering, fingering.empty() ? "Qwerty" : fingering);
    EXPECT_EQ(record.initialKeys, layout.initialKeys);
    EXPECT_EQ(record.medialKeys, layout.medialKeys);
    EXPECT_EQ(record.finalKeys, layout.finalKeys);
    EXPECT_EQ(record.signKeys, layout.signKeys);
    EXPECT_EQ(record.symbolKeys, layout.symbolKeys);
  }
}

}  // namespace
}  // namespace kbeval::import
