// The heat scale and the text colour on it, against values worked out by hand.
#include "views/colour_scale.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

namespace kbeval {
namespace {

// Light text where white contrasts more than black. By hand, with the sRGB
// relative luminance L and contrast (lighter + 0.05) / (darker + 0.05):
//   grey 117 (#757575): L = 0.1779, white 4.61 : black 4.56, light text;
//   grey 118 (#767676): L = 0.1812, white 4.54 : black 4.62, dark text;
//   #707586: L = 0.1789, white 4.587 : black 4.578, light text;
//   #707589: L = 0.1797, white 4.570 : black 4.595, dark text
//   (the two meet at L = sqrt(1.05 * 0.05) - 0.05 = 0.1791);
//   pure red: L = 0.2126, white 4.00 : black 5.25, dark text;
//   pure blue: L = 0.0722, white 8.59 : black 2.44, light text;
//   pure green: L = 0.7152, white 1.37 : black 15.3, dark text.
TEST(ColourScale, TextTakesTheColourThatContrastsMore) {
  struct Case {
    Rgb colour;
    bool light;
  };
  const Case cases[] = {
      {{117, 117, 117}, true},    {{118, 118, 118}, false},    {{112, 117, 134}, true},
      {{112, 117, 137}, false},   {{255, 0, 0}, false},        {{0, 0, 255}, true},
      {{0, 255, 0}, false},       {{0, 0, 0}, true},           {{255, 255, 255}, false},
      {{0x14, 0x0e, 0x36}, true}, {{0xfc, 0xfd, 0xbf}, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(wantsLightText(c.colour), c.light) << cssColour(c.colour);
  }
}

// The scale runs from cream to deep purple, mixing its stops in between
// (halfway, between #de4968 and #b73779, is #cb4071 with halves rounded up).
// It reads without colour only if it darkens all the way: the simple luma
// 0.299 R + 0.587 G + 0.114 B falls at every step, and the text colour flips
// once. Out-of-range positions, and NaN, take the nearer end (NaN the start).
TEST(ColourScale, DarkensSteadilyBetweenItsEndsAndClamps) {
  EXPECT_EQ(cssColour(heatColour(0)), "#fcfdbf");
  EXPECT_EQ(cssColour(heatColour(1.0 / 9)), "#fecf92");
  EXPECT_EQ(cssColour(heatColour(0.5)), "#cb4071");
  EXPECT_EQ(cssColour(heatColour(1)), "#140e36");
  double previous = 256;
  int flips = 0;
  bool light = false;
  for (int i = 0; i <= 100; ++i) {
    const Rgb colour = heatColour(i / 100.0);
    const double luma = 0.299 * colour.red + 0.587 * colour.green + 0.114 * colour.blue;
    EXPECT_LT(luma, previous) << i;
    previous = luma;
    if (wantsLightText(colour) != light) ++flips, light = !light;
  }
  EXPECT_EQ(flips, 1);
  EXPECT_EQ(heatColour(-3), heatColour(0));
  EXPECT_EQ(heatColour(std::numeric_limits<double>::quiet_NaN()), heatColour(0));
  EXPECT_EQ(heatColour(7), heatColour(1));
  EXPECT_EQ(heatColour(std::numeric_limits<double>::infinity()), heatColour(1));
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
  // The diverging scale: near white in the middle (luminance above 0.9, so
  // black on it above 19:1), its ends apart in lightness (below 0.1: 3:1).
  EXPECT_GT(contrastRatio(kBlack, divergingColour(0)), 19.0);
  EXPECT_LT(contrastRatio(kBlack, divergingColour(-1)), 3.0);
  EXPECT_LT(contrastRatio(kBlack, divergingColour(1)), contrastRatio(kBlack, divergingColour(0.5)));
}

}  // namespace
}  // namespace kbeval
