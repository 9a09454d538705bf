#include "views/svg.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "views/colour_scale.h"
#include "views/html_escape.h"

namespace kbeval {

namespace {

constexpr const char* kAnchors[] = {"start", "middle", "end"};

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

void openSvg(std::string& out, int width, int height, std::string_view caption) {
  appendFormat(out, "<svg width=\"%d\" height=\"%d\" viewBox=\"0 0 %d %d\" role=\"img\"", width,
               height, width, height);
  out += " aria-label=\"";
  appendHtmlEscaped(out, caption);
  out += "\">";
}

}  // namespace

void appendFormat(std::string& out, const char* format, ...) {
  char buffer[256];
  va_list arguments;
  va_start(arguments, format);
  const int needed = std::vsnprintf(buffer, sizeof buffer, format, arguments);
  va_end(arguments);
  if (needed < 0) return;
  if (static_cast<std::size_t>(needed) < sizeof buffer) {
    out.append(buffer, static_cast<std::size_t>(needed));
    return;
  }
  const std::size_t at = out.size();
  out.resize(at + static_cast<std::size_t>(needed) + 1);
  va_start(arguments, format);
  std::vsnprintf(out.data() + at, static_cast<std::size_t>(needed) + 1, format, arguments);
  va_end(arguments);
  out.pop_back();
}

void appendSvgText(std::string& out, double x, double y, std::string_view cssClass,
                   std::string_view text, TextAnchor anchor) {
  appendFormat(out, "<text x=\"%.1f\" y=\"%.1f\"", x, y);
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
  openSvg(out, width, height, caption);
  const double full = scale.full > 0 ? scale.full : largestValue(bars);
  const double slot = bars.empty() ? 0 : (width - 2 * kSide) / static_cast<double>(bars.size());
  const double barWidth = slot * 0.72;
  const double base = height - kBottom;
  appendFormat(out, "<line class=\"axis\" x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\"/>",
               kSide, base + 0.5, width - kSide, base + 0.5);
  for (std::size_t i = 0; i < bars.size(); ++i) {
    const Bar& bar = bars[i];
    const double middle = kSide + slot * (static_cast<double>(i) + 0.5);
    const double length = fillOf(bar.value, full) * (base - kTop);
    out += "<g>";
    appendSvgTitle(out, bar.title);
    appendFormat(out, "<rect class=\"bar\" x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\"/>",
                 middle - barWidth / 2, base - length, barWidth, length);
    appendSvgText(out, middle, base - length - 3, "v", bar.valueText, TextAnchor::middle);
    appendSvgText(out, middle, base + 14, "l", bar.label, TextAnchor::middle);
    out += "</g>";
  }
  out += "</svg>";
}

void appendBarChart(std::string& out, std::span<const Bar> bars, int width, ChartScale scale,
                    std::string_view caption) {
  constexpr double kRow = 17, kLabel = 44, kValue = 92, kBar = 12;
  const int height = static_cast<int>(kRow * static_cast<double>(bars.size())) + 4;
  openSvg(out, width, height, caption);
  const double full = scale.full > 0 ? scale.full : largestValue(bars);
  const double room = width - kLabel - kValue;
  for (std::size_t i = 0; i < bars.size(); ++i) {
    const Bar& bar = bars[i];
    const double top = 2 + kRow * static_cast<double>(i);
    const double length = fillOf(bar.value, full) * room;
    out += "<g>";
    appendSvgTitle(out, bar.title);
    appendSvgText(out, kLabel - 6, top + 12, "l", bar.label, TextAnchor::end);
    appendFormat(out, "<rect class=\"bar\" x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\"/>",
                 kLabel, top + (kRow - kBar) / 2, length, kBar);
    appendSvgText(out, kLabel + length + 4, top + 12, "v", bar.valueText);
    out += "</g>";
  }
  out += "</svg>";
}

void appendColourLegend(std::string& out, int width, std::span<const LegendTick> ticks,
                        std::string_view caption) {
  constexpr int kSteps = 40;
  constexpr double kSide = 10, kStrip = 14;
  openSvg(out, width, 44, caption);
  const double step = (width - 2 * kSide) / kSteps;
  for (int i = 0; i < kSteps; ++i) {
    const double middle = (i + 0.5) / kSteps;
    // Overlapping by half a pixel leaves no hairline between the steps.
    appendFormat(out, "<rect x=\"%.1f\" y=\"0\" width=\"%.1f\" height=\"%.0f\" fill=\"%s\"/>",
                 kSide + step * i, step + 0.5, kStrip, cssColour(heatColour(middle)).c_str());
  }
  for (const LegendTick& tick : ticks) {
    const double x = kSide + (width - 2 * kSide) * std::clamp(tick.position, 0.0, 1.0);
    appendFormat(out, "<line class=\"axis\" x1=\"%.1f\" y1=\"%.0f\" x2=\"%.1f\" y2=\"%.0f\"/>", x,
                 kStrip, x, kStrip + 4);
    appendSvgText(out, x, kStrip + 16, "l", tick.text, TextAnchor::middle);
  }
  appendSvgText(out, width / 2.0, kStrip + 29, "l", caption, TextAnchor::middle);
  out += "</svg>";
}

}  // namespace kbeval
