#include "views/colour_scale.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

namespace kbeval {

namespace {

// Magma sampled at tenths, from its light end (1.0) down to 0.1: its last
// tenth is so near black that labels on it would hardly differ.
constexpr std::array<Rgb, 10> kStops = {{
    {0xfc, 0xfd, 0xbf},
    {0xfe, 0xcf, 0x92},
    {0xfe, 0x9f, 0x6d},
    {0xf7, 0x70, 0x5c},
    {0xde, 0x49, 0x68},
    {0xb7, 0x37, 0x79},
    {0x8c, 0x29, 0x81},
    {0x64, 0x1a, 0x80},
    {0x3b, 0x0f, 0x70},
    {0x14, 0x0e, 0x36},
}};

// Purple to orange through near white (ColorBrewer's PuOr, five classes),
// from -1 to +1: the two ends differ in lightness and hue alike.
constexpr std::array<Rgb, 5> kDivergingStops = {{
    {0x54, 0x27, 0x88},
    {0x99, 0x8e, 0xc3},
    {0xf7, 0xf7, 0xf7},
    {0xf1, 0xa3, 0x40},
    {0xb3, 0x58, 0x06},
}};

double linear(std::uint8_t channel) {
  const double c = channel / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double luminance(Rgb colour) {
  return 0.2126 * linear(colour.red) + 0.7152 * linear(colour.green) + 0.0722 * linear(colour.blue);
}

template <std::size_t N>
Rgb along(const std::array<Rgb, N>& stops, double position) {
  if (!(position > 0)) return stops.front();
  if (position >= 1) return stops.back();
  const double scaled = position * (N - 1);
  const auto below = static_cast<std::size_t>(scaled);
  const double towards = scaled - static_cast<double>(below);
  const Rgb& a = stops[below];
  const Rgb& b = stops[below + 1];
  const auto mix = [towards](std::uint8_t from, std::uint8_t to) {
    return static_cast<std::uint8_t>(std::lround(from + (to - from) * towards));
  };
  return {mix(a.red, b.red), mix(a.green, b.green), mix(a.blue, b.blue)};
}

}  // namespace

Rgb heatColour(double position) {
  return along(kStops, position);
}

Rgb divergingColour(double position) {
  return along(kDivergingStops, std::isnan(position) ? 0.5 : (position + 1) / 2);
}

double contrastRatio(Rgb a, Rgb b) {
  const double la = luminance(a), lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

std::string cssColour(Rgb colour) {
  char hex[8];
  std::snprintf(hex, sizeof hex, "#%02x%02x%02x", colour.red, colour.green, colour.blue);
  return hex;
}

bool wantsLightText(Rgb colour) {
  // Contrast with white, (1.05) / (L + 0.05), beats contrast with black,
  // (L + 0.05) / 0.05, below this luminance; where they meet both are 4.58.
  return luminance(colour) < 0.179;
}

}  // namespace kbeval
