#include "views/svg.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "views/colour_scale.h"
#include "views/html_escape.h"

namespace kbeval {

namespace {

constexpr const char* kAnchors[] = {"start", "middle", "end"};

// A coordinate to a tenth of a pixel, printed without a trailing ".0": the
// pictures hold thousands of them.
double tenth(double value) {
  return std::round(value * 10) / 10;
}

double largestValue(std::span<const Bar> bars) {
  double largest = 0;
  for (const Bar& bar : bars) largest = std::max(largest, bar.value);
  return largest;
}

// The share of a full bar that `value` fills, 0 to 1.
double fillOf(double value, double full) {
  if (!(full > 0) || !(value > 0)) return 0;
  return std::min(value / full, 1.0);
}

// `cssClass` sets how the chart's texts are anchored (see the page's style).
// A chart is one image to a screen reader: its accessible name carries every
// bar's label and value, "caption: L5 8.1%, L4 10.2%, ...".
void openSvg(std::string& out, const char* cssClass, int width, int height,
             std::string_view caption, std::span<const Bar> bars = {}) {
  appendFormat(out,
               "<svg class=\"%s\" width=\"%d\" height=\"%d\" viewBox=\"0 0 %d %d\" role=\"img\"",
               cssClass, width, height, width, height);
  std::string name(caption);
  for (std::size_t i = 0; i < bars.size(); ++i) {
    name.append(i == 0 ? ": " : ", ").append(bars[i].label).append(" ").append(bars[i].valueText);
  }
  out += " aria-label=\"";
  appendHtmlEscaped(out, name);
  out += "\">";
}

}  // namespace

void appendSvgText(std::string& out, double x, double y, std::string_view cssClass,
                   std::string_view text, TextAnchor anchor) {
  // x is 0 unless it is given: most key labels start at their group's origin.
  if (tenth(x) == 0) {
    appendFormat(out, "<text y=\"%g\"", tenth(y));
  } else {
    appendFormat(out, "<text x=\"%g\" y=\"%g\"", tenth(x), tenth(y));
  }
  if (!cssClass.empty()) {
    out += " class=\"";
    appendHtmlEscaped(out, cssClass);
    out += '"';
  }
  if (anchor != TextAnchor::start) {
    appendFormat(out, " text-anchor=\"%s\"", kAnchors[static_cast<int>(anchor)]);
  }
  out += '>';
  appendHtmlEscaped(out, text);
  out += "</text>";
}

void appendSvgTitle(std::string& out, std::string_view text) {
  out += "<title>";
  appendHtmlEscaped(out, text);
  out += "</title>";
}

void appendColumnChart(std::string& out, std::span<const Bar> bars, int width, int height,
                       ChartScale scale, std::string_view caption) {
  constexpr double kTop = 16, kBottom = 20, kSide = 4;
  openSvg(out, "cc", width, height, caption, bars);
  const double full = scale.full > 0 ? scale.full : largestValue(bars);
  const double slot = bars.empty() ? 0 : (width - 2 * kSide) / static_cast<double>(bars.size());
  const double barWidth = slot * 0.72;
  const double base = height - kBottom;
  appendFormat(out, "<line class=\"axis\" x1=\"%g\" y1=\"%g\" x2=\"%g\" y2=\"%g\"/>", tenth(kSide),
               tenth(base + 0.5), tenth(width - kSide), tenth(base + 0.5));
  for (std::size_t i = 0; i < bars.size(); ++i) {
    const Bar& bar = bars[i];
    const double middle = kSide + slot * (static_cast<double>(i) + 0.5);
    const double length = fillOf(bar.value, full) * (base - kTop);
    if (!bar.title.empty()) {
      out += "<g>";
      appendSvgTitle(out, bar.title);
    }
    appendFormat(out, "<rect x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\"/>",
                 tenth(middle - barWidth / 2), tenth(base - length), tenth(barWidth),
                 tenth(length));
    appendSvgText(out, middle, base - length - 3, "v", bar.valueText);
    appendSvgText(out, middle, base + 14, "l", bar.label);
    if (!bar.title.empty()) out += "</g>";
  }
  out += "</svg>";
}

void appendBarChart(std::string& out, std::span<const Bar> bars, int width, ChartScale scale,
                    std::string_view caption) {
  constexpr double kRow = 17, kLabel = 58, kBar = 12;
  // Room for the longest value at the bars' ends (about 6.2 pixels a character).
  std::size_t longest = 0;
  for (const Bar& bar : bars) longest = std::max(longest, bar.valueText.size());
  const double valueRoom = 6.2 * static_cast<double>(longest) + 8;
  const int height = static_cast<int>(kRow * static_cast<double>(bars.size())) + 4;
  openSvg(out, "bc", width, height, caption, bars);
  const double full = scale.full > 0 ? scale.full : largestValue(bars);
  const double room = width - kLabel - valueRoom;
  for (std::size_t i = 0; i < bars.size(); ++i) {
    const Bar& bar = bars[i];
    const double top = 2 + kRow * static_cast<double>(i);
    const double length = fillOf(bar.value, full) * room;
    if (!bar.title.empty()) {
      out += "<g>";
      appendSvgTitle(out, bar.title);
    }
    appendSvgText(out, kLabel - 6, top + 12, "l", bar.label);
    appendFormat(out, "<rect x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\"/>", tenth(kLabel),
                 tenth(top + (kRow - kBar) / 2), tenth(length), kBar);
    appendSvgText(out, kLabel + length + 4, top + 12, "v", bar.valueText);
    if (!bar.title.empty()) out += "</g>";
  }
  out += "</svg>";
}

void appendHeatGradient(std::string& out) {
  constexpr int kStops = 10;
  out +=
      "<svg width=\"0\" height=\"0\" style=\"position:absolute\" aria-hidden=\"true\"><defs>"
      "<linearGradient id=\"heat\">";
  for (int i = 0; i <= kStops; ++i) {
    const double at = static_cast<double>(i) / kStops;
    appendFormat(out, "<stop offset=\"%g\" stop-color=\"%s\"/>", at,
                 cssColour(heatColour(at)).c_str());
  }
  out += "</linearGradient><linearGradient id=\"diff\">";
  for (int i = 0; i <= kStops; ++i) {
    const double at = static_cast<double>(i) / kStops;
    appendFormat(out, "<stop offset=\"%g\" stop-color=\"%s\"/>", at,
                 cssColour(divergingColour(2 * at - 1)).c_str());
  }
  out += "</linearGradient></defs></svg>";
}

namespace {

void appendLegend(std::string& out, const char* gradient, int width,
                  std::span<const LegendTick> ticks, std::string_view caption) {
  constexpr double kSide = 20, kStrip = 14;
  openSvg(out, "lg", width, 44, caption);
  appendFormat(out, "<rect x=\"%g\" y=\"0\" width=\"%g\" height=\"%g\" fill=\"url(#%s)\"/>", kSide,
               width - 2 * kSide, kStrip, gradient);
  for (const LegendTick& tick : ticks) {
    const double x = kSide + (width - 2 * kSide) * std::clamp(tick.position, 0.0, 1.0);
    appendFormat(out, "<line class=\"axis\" x1=\"%g\" y1=\"%g\" x2=\"%g\" y2=\"%g\"/>", tenth(x),
                 kStrip, tenth(x), kStrip + 4);
    appendSvgText(out, x, kStrip + 16, "l", tick.text);
  }
  appendSvgText(out, width / 2.0, kStrip + 29, "l", caption);
  out += "</svg>";
}

}  // namespace

void appendColourLegend(std::string& out, int width, std::span<const LegendTick> ticks,
                        std::string_view caption) {
  appendLegend(out, "heat", width, ticks, caption);
}

void appendDivergingLegend(std::string& out, int width, std::span<const LegendTick> ticks,
                           std::string_view caption) {
  appendLegend(out, "diff", width, ticks, caption);
}

}  // namespace kbeval
