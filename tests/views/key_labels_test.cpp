#include "views/key_labels.h"

#include <gtest/gtest.h>

namespace kbeval {
namespace {

TEST(KeyLabels, KeyNames) {
  const std::pair<unsigned char, const char*> cases[] = {
      {'a', "a"},     {'~', "~"},     {' ', "Space"}, {'\n', "Enter"},
      {0x18, "0x18"}, {0x7F, "0x7F"}, {0xFE, "0xFE"}, {'\t', "0x09"},
  };
  for (const auto& [key, name] : cases) EXPECT_EQ(keyName(key), name) << int{key};
}

TEST(KeyLabels, WhatAKeyTypesInEitherEncoding) {
  LayoutRecord twoSet;
  twoSet.initialKeys[2] = "r";  // ㄱ
  twoSet.finalKeys[2] = "r";
  twoSet.finalKeys[4] = "t";     // ㄳ only as a final...
  twoSet.initialKeys[11] = "t";  // ...on the key of initial ㅅ
  twoSet.signKeys[*findSign('?')] = "?";
  twoSet.symbolKeys[0] = "M";  // ·
  struct Case {
    unsigned char key;
    const char* cp949;
    const char* utf8;
  };
  const Case cases[] = {
      {'r', "\xA4\xA1", "ㄱ"}, {'t', "\xA4\xB5 \xA4\xA3(final)", "ㅅ ㄳ(final)"},
      {'?', "?", "?"},         {'M', "\xA1\xA4", "·"},
      {'q', "", ""},
  };
  for (const Case& c : cases) {
    const std::vector<KeyOutput> outputs = keyOutputs(twoSet, c.key);
    EXPECT_EQ(keyLabel(outputs, OutputEncoding::cp949), c.cp949) << c.key;
    EXPECT_EQ(keyLabel(outputs, OutputEncoding::utf8), c.utf8) << c.key;
  }
}

}  // namespace
}  // namespace kbeval
