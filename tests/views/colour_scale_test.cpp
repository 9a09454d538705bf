#include "views/colour_scale.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace kbeval {
namespace {

double luminance(Rgb c) {
  const auto linear = [](std::uint8_t v) {
    const double x = v / 255.0;
    return x <= 0.04045 ? x / 12.92 : std::pow((x + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * linear(c.red) + 0.7152 * linear(c.green) + 0.0722 * linear(c.blue);
}

// A sequential scale reads without colour only if its lightness falls all
// the way from "nothing" to "most": a stop out of order, or the table read
// backwards, breaks that. Out-of-range positions take the nearer end, and
// the text colour flips from dark to light once along the scale.
TEST(ColourScale, DarkensSteadilyAndClampsAtItsEnds) {
  double previous = 2;
  int flips = 0;
  bool light = false;
  for (int i = 0; i <= 100; ++i) {
    const Rgb colour = heatColour(i / 100.0);
    const double l = luminance(colour);
    EXPECT_LT(l, previous) << i;
    previous = l;
    if (wantsLightText(colour) != light) ++flips, light = !light;
  }
  EXPECT_EQ(flips, 1);
  EXPECT_FALSE(wantsLightText(heatColour(0)));
  EXPECT_TRUE(wantsLightText(heatColour(1)));
  EXPECT_EQ(heatColour(-3), heatColour(0));
  EXPECT_EQ(heatColour(std::numeric_limits<double>::quiet_NaN()), heatColour(0));
  EXPECT_EQ(heatColour(7), heatColour(1));
  EXPECT_EQ(cssColour({0xfc, 0x0d, 0xbf}), "#fc0dbf");
}

}  // namespace
}  // namespace kbeval
