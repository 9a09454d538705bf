#include "layouts/key_outputs.h"

#include <gtest/gtest.h>

namespace kbeval {
namespace {

// Initial ㄱ (code 2) on k, final ㄱ (code 2) on x, medial ㅘ (code 14) on two
// keys, "7" on 6, "!" on k as well, the middle dot (symbol row 0) on M, and
// “ (row 6) written as Y: a quote is always typed as the " key.
LayoutRecord threeSetLayout() {
  LayoutRecord layout;
  layout.setType = 3;
  layout.initialKeys[2] = "k";
  layout.finalKeys[2] = "x";
  layout.medialKeys[14] = "/f";
  layout.signKeys[*findSign('7')] = "6";
  layout.signKeys[*findSign('!')] = "k";
  layout.symbolKeys[0] = "M";
  layout.symbolKeys[6] = "Y";
  return layout;
}

TEST(KeyOutputs, EveryEntryWhoseKeysAreExactlyThatKey) {
  const LayoutRecord layout = threeSetLayout();
  struct Case {
    unsigned char key;
    std::vector<std::pair<KeyOutputKind, int>> outputs;
  };
  const Case cases[] = {
      {'k', {{KeyOutputKind::initial, 2}, {KeyOutputKind::sign, *findSign('!')}}},
      {'x', {{KeyOutputKind::final, 2}}},
      {'6', {{KeyOutputKind::sign, *findSign('7')}}},
      {'M', {{KeyOutputKind::symbol, 0}}},
      {'"', {{KeyOutputKind::symbol, 6}}},
      {'Y', {}},
      {'/', {}},  // only the first of two keys
      {'f', {}},
  };
  for (const Case& c : cases) {
    const std::vector<KeyOutput> outputs = keyOutputs(layout, c.key);
    ASSERT_EQ(outputs.size(), c.outputs.size()) << c.key;
    for (std::size_t i = 0; i < outputs.size(); ++i) {
      EXPECT_EQ(outputs[i].kind, c.outputs[i].first) << c.key;
      EXPECT_EQ(outputs[i].index, c.outputs[i].second) << c.key;
    }
  }
  EXPECT_EQ(keyOutputs(layout, 'k')[0].text, "\xA4\xA1");
  EXPECT_EQ(keyOutputs(layout, 'k')[1].text, "!");
}

}  // namespace
}  // namespace kbeval
