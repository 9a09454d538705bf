// The colour scale of the report's heat pictures (keyboards, heat tables):
// magma, from pale cream for nothing through orange and red to deep purple
// for the most. Its lightness falls steadily from end to end, so its steps
// look even and it still reads as a scale without colour vision.
#pragma once

#include <cstdint>
#include <string>

namespace kbeval {

struct Rgb {
  std::uint8_t red = 0, green = 0, blue = 0;

  bool operator==(const Rgb&) const = default;
};

// The scale at `position`, 0 (least) to 1 (most); outside that range, and
// for NaN, the nearer end (NaN: the start).
Rgb heatColour(double position);

// The diverging scale of differences at `position`, -1 (purple: much less)
// through 0 (near white: no change) to +1 (orange: much more); outside that
// range, and for NaN, as heatColour does.
Rgb divergingColour(double position);

// WCAG contrast ratio of two colours, 1 to 21.
double contrastRatio(Rgb a, Rgb b);

// "#rrggbb".
std::string cssColour(Rgb colour);

// Whether text on this colour should be white rather than black: white
// contrasts more. Either way the contrast is at least 4.58:1.
bool wantsLightText(Rgb colour);

}  // namespace kbeval
