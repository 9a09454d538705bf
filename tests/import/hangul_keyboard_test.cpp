#include "hangul_keyboard.h"

#include <gtest/gtest.h>

#include <map>

#include "import_test_support.h"

namespace kbeval::import {
namespace {

using testing::item;
using testing::keyboardXml;
using testing::rule;

KeyboardReadResult parseWith(const std::string& xml,
                             const std::map<std::string, std::string>& includes = {}) {
  return parseHangulKeyboard(xml,
                             [&includes](const std::string& name, std::string& text, std::string&) {
                               const auto found = includes.find(name);
                               if (found == includes.end()) return false;
                               text = found->second;
                               return true;
                             });
}

TEST(ParseHangulKeyboard, ReadsTypeNameMapAndInlineRules) {
  const std::string xml =
      "<hangul-keyboard id=\"x\" type=\"jaso\">"
      "<name xml:lang=\"ko\">K</name><name>Plain</name>"
      "<map id=\"0\">" +
      item(0x6B, 0x1100) + item(0x30, 0x110F) + "</map>" + "<combination id=\"0\">" +
      rule(0x1100, 0x1100, 0x1101) + "</combination></hangul-keyboard>";
  const auto result = parseWith(xml);
  ASSERT_EQ(result.failure, ReadFailure::None) << result.message;
  const HangulKeyboard& keyboard = *result.keyboard;
  EXPECT_EQ(keyboard.id, "x");
  EXPECT_EQ(keyboard.type, "jaso");
  EXPECT_EQ(keyboard.name, "Plain");  // the <name> without a language
  ASSERT_EQ(keyboard.keys.size(), 2u);
  EXPECT_EQ(keyboard.keys[0].key, char32_t{'k'});
  EXPECT_EQ(keyboard.keys[0].value, char32_t{0x1100});
  EXPECT_EQ(keyboard.keys[1].key, char32_t{'0'});
  ASSERT_EQ(keyboard.rules.size(), 1u);
  EXPECT_EQ(keyboard.rules[0].result, char32_t{0x1101});
}

TEST(ParseHangulKeyboard, IncludedRulesFollowInlineOnesAndDecimalCodesAreRead) {
  const std::string combination =
      "<?xml version=\"1.0\"?><combination id=\"0\">" + rule(0x1169, 0x1161, 0x116A) +
      "<item first=\"4457\" second=\"4469\" result=\"4460\"/></combination>";
  const std::string xml = keyboardXml("jamo", item('h', 0x1169), rule(0x1100, 0x1100, 0x1101));
  const std::string withInclude = xml.substr(0, xml.rfind("</hangul-keyboard>")) +
                                  "<include file=\"c.xml\"/></hangul-keyboard>";
  const auto result = parseWith(withInclude, {{"c.xml", combination}});
  ASSERT_EQ(result.failure, ReadFailure::None) << result.message;
  ASSERT_EQ(result.keyboard->rules.size(), 3u);
  EXPECT_EQ(result.keyboard->rules[0].first, char32_t{0x1100});
  EXPECT_EQ(result.keyboard->rules[1].result, char32_t{0x116A});
  EXPECT_EQ(result.keyboard->rules[2].first, char32_t{0x1169});  // 4457 decimal
  EXPECT_EQ(result.keyboard->rules[2].result, char32_t{0x116C});
}

TEST(ParseHangulKeyboard, LaterItemForAKeyReplacesTheEarlierAndOtherMapsAreKeptApart) {
  const std::string xml = "<hangul-keyboard type=\"jamo\"><map id=\"0\">" + item('r', 0x1100) +
                          item('r', 0x1101) + "</map><map id=\"1\">" + item('q', 0x1107) +
                          "</map></hangul-keyboard>";
  const auto result = parseWith(xml);
  ASSERT_EQ(result.failure, ReadFailure::None) << result.message;
  ASSERT_EQ(result.keyboard->keys.size(), 1u);
  EXPECT_EQ(result.keyboard->keys[0].value, char32_t{0x1101});
  ASSERT_EQ(result.keyboard->otherMapKeys.size(), 1u);
  EXPECT_EQ(result.keyboard->otherMapKeys[0].key, char32_t{'q'});
}

TEST(ParseHangulKeyboard, RejectsWhatIsNotAKeyboard) {
  struct Case {
    const char* what;
    std::string xml;
  };
  const Case cases[] = {
      {"plain text", "this is not XML at all"},
      {"empty input", ""},
      {"unclosed element", "<hangul-keyboard type=\"jamo\"><map id=\"0\">"},
      {"a combination file",
       "<combination id=\"0\">" + rule(0x1100, 0x1100, 0x1101) + "</combination>"},
      {"another XML document", "<html><body>keyboard</body></html>"},
      {"no type",
       "<hangul-keyboard id=\"2\"><map id=\"0\">" + item('r', 0x1100) + "</map></hangul-keyboard>"},
      {"no map 0", "<hangul-keyboard type=\"jamo\"><map id=\"1\">" + item('r', 0x1100) +
                       "</map></hangul-keyboard>"},
      {"item without value",
       "<hangul-keyboard type=\"jamo\"><map><item key=\"0x72\"/></map></hangul-keyboard>"},
      {"item with a word for a key", "<hangul-keyboard type=\"jamo\"><map>" +
                                         std::string("<item key=\"r\" value=\"0x1100\"/>") +
                                         "</map></hangul-keyboard>"},
      {"rule with trailing junk",
       keyboardXml("jamo", item('r', 0x1100),
                   "<item first=\"0x1100x\" second=\"0x1100\" result=\"0x1101\"/>")},
  };
  for (const Case& c : cases) {
    const auto result = parseWith(c.xml);
    EXPECT_EQ(result.failure, ReadFailure::NotKeyboard) << c.what;
    EXPECT_FALSE(result.keyboard) << c.what;
    EXPECT_FALSE(result.message.empty()) << c.what;
  }
}

TEST(ParseHangulKeyboard, MissingOrBadIncludeIsReported) {
  const std::string xml = "<hangul-keyboard type=\"jamo\"><map>" + item('r', 0x1100) +
                          "</map><include file=\"gone.xml\"/></hangul-keyboard>";
  const auto missing = parseWith(xml);
  EXPECT_EQ(missing.failure, ReadFailure::Unreadable);
  EXPECT_NE(missing.message.find("gone.xml"), std::string::npos);

  const auto notCombination = parseWith(xml, {{"gone.xml", "<hangul-keyboard type=\"jamo\"/>"}});
  EXPECT_EQ(notCombination.failure, ReadFailure::NotKeyboard);
  const auto notXml = parseWith(xml, {{"gone.xml", "garbage"}});
  EXPECT_EQ(notXml.failure, ReadFailure::NotKeyboard);
}

TEST(ReadHangulKeyboard, UnreadablePathsAndIncludesBesideTheFile) {
  testing::TempDir dir;
  EXPECT_EQ(readHangulKeyboard((dir.path / "missing.xml").string()).failure,
            ReadFailure::Unreadable);
  EXPECT_EQ(readHangulKeyboard(dir.path.string()).failure, ReadFailure::Unreadable);  // a directory

  dir.write("rules.xml", "<combination>" + rule(0x1100, 0x1100, 0x1101) + "</combination>");
  const std::string path =
      dir.write("kb.xml", "<hangul-keyboard type=\"jamo\"><map>" + item('r', 0x1100) +
                              "</map><include file=\"rules.xml\"/></hangul-keyboard>");
  const auto result = readHangulKeyboard(path);
  ASSERT_EQ(result.failure, ReadFailure::None) << result.message;
  EXPECT_EQ(result.keyboard->rules.size(), 1u);
}

}  // namespace
}  // namespace kbeval::import
