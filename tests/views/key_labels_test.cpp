#include "views/key_labels.h"

#include <gtest/gtest.h>

namespace kbeval {
namespace {

// Only entries whose key string is exactly the one key count; the quotes
// belong to the ' and " keys, which the key stream types for them.
TEST(KeyLabels, WhatAKeyTypesInEitherEncoding) {
  LayoutRecord layout;
  layout.initialKeys[2] = "r";   // ㄱ, as an initial
  layout.finalKeys[2] = "r";     // and as a final: one label
  layout.initialKeys[11] = "t";  // ㅅ
  layout.finalKeys[4] = "t";     // ㄳ only as a final
  layout.finalKeys[23] = "x";    // ㅇ only as a final
  layout.medialKeys[14] = "/f";  // ㅘ on two keys: neither
  layout.signKeys[*findSign('?')] = "?";
  layout.signKeys[*findSign('!')] = "x";
  layout.symbolKeys[0] = "M";  // ·
  layout.symbolKeys[6] = "Y";  // “, typed as "
  struct Case {
    unsigned char key;
    const char* cp949;
    const char* utf8;
  };
  const Case cases[] = {
      {'r', "\xA4\xA1", "ㄱ"},
      {'t', "\xA4\xB5 \xA4\xA3(final)", "ㅅ ㄳ(final)"},
      {'x', "\xA4\xB7(final) !", "ㅇ(final) !"},
      {'?', "?", "?"},
      {'M', "\xA1\xA4", "·"},
      {'"', "\xA1\xB0", "“"},
      {'Y', "", ""},
      {'/', "", ""},
      {'q', "", ""},
  };
  const KeyOutputTable table = keyOutputTable(layout);
  for (const Case& c : cases) {
    const std::vector<KeyOutput> outputs = keyOutputs(layout, c.key);
    EXPECT_EQ(keyLabel(outputs, OutputEncoding::cp949), c.cp949) << c.key;
    EXPECT_EQ(keyLabel(table[c.key], OutputEncoding::utf8), c.utf8) << c.key;
  }
}

}  // namespace
}  // namespace kbeval
