#include "views/colour_scale.h"

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

double linear(std::uint8_t channel) {
  const double c = channel / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

}  // namespace

Rgb heatColour(double position) {
  if (!(position > 0)) return kStops.front();
  if (position >= 1) return kStops.back();
  const double scaled = position * (kStops.size() - 1);
  const auto below = static_cast<std::size_t>(scaled);
  const double towards = scaled - static_cast<double>(below);
  const Rgb& a = kStops[below];
  const Rgb& b = kStops[below + 1];
  const auto mix = [towards](std::uint8_t from, std::uint8_t to) {
    return static_cast<std::uint8_t>(std::lround(from + (to - from) * towards));
  };
  return {mix(a.red, b.red), mix(a.green, b.green), mix(a.blue, b.blue)};
}

std::string cssColour(Rgb colour) {
  char hex[8];
  std::snprintf(hex, sizeof hex, "#%02x%02x%02x", colour.red, colour.green, colour.blue);
  return hex;
}

bool wantsLightText(Rgb colour) {
  const double luminance =
      0.2126 * linear(colour.red) + 0.7152 * linear(colour.green) + 0.0722 * linear(colour.blue);
  // Contrast with white, (1.05) / (L + 0.05), beats contrast with black,
  // (L + 0.05) / 0.05, below this luminance.
  return luminance < 0.179;
}

}  // namespace kbeval
