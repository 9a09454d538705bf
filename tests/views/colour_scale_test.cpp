#include "views/colour_scale.h"

#include <gtest/gtest.h>

#include <algorithm>
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

// Every label on a key reaches 4.5:1 (WCAG AA): keys take their colour from
// the heat scale or the diverging scale, anywhere along them, and their
// labels are black, or white where wantsLightText says so. The ratio itself
// is checked against one worked by hand: white on #3b0f70, luminance
// 0.2126 * 0.04374 + 0.7152 * 0.004776 + 0.0722 * 0.16203 = 0.024413, so
// (1 + 0.05) / (0.024413 + 0.05) = 14.11.
TEST(ColourScale, LabelsReachAaContrastOnEveryKeyColour) {
  constexpr Rgb kWhite{255, 255, 255}, kBlack{0, 0, 0};
  EXPECT_NEAR(contrastRatio(kWhite, {0x3b, 0x0f, 0x70}), 14.11, 0.005);
  EXPECT_NEAR(contrastRatio({0x3b, 0x0f, 0x70}, kWhite), 14.11, 0.005);
  EXPECT_DOUBLE_EQ(contrastRatio(kWhite, kBlack), 21.0);
  double lowest = 21;
  for (int i = 0; i <= 2000; ++i) {
    const double at = i / 2000.0;
    for (const Rgb fill : {heatColour(at), divergingColour(2 * at - 1)}) {
      const double ratio = contrastRatio(wantsLightText(fill) ? kWhite : kBlack, fill);
      lowest = std::min(lowest, ratio);
      EXPECT_GE(ratio, 4.5) << cssColour(fill);
    }
  }
  // Where black and white contrast alike (luminance 0.179), both give 4.58.
  EXPECT_GT(lowest, 4.57);
  // The diverging scale: near white in the middle, its ends apart in lightness.
  EXPECT_GT(luminance(divergingColour(0)), 0.9);
  EXPECT_LT(luminance(divergingColour(-1)), 0.1);
  EXPECT_LT(luminance(divergingColour(1)), luminance(divergingColour(0.5)));
}

}  // namespace
}  // namespace kbeval
