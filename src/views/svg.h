// Pieces of inline SVG for the HTML report, appended to a string: text,
// tooltips, bar charts and the colour legend. Every text they are handed
// (labels, values, titles) is written through appendHtmlEscaped, so callers
// pass plain UTF-8, never markup. Every mark of a chart carries its exact
// numbers as text: its value beside it, and a <title> with the rest where
// the value does not say all.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "base/format.h"  // appendFormat, which the charts are written with

namespace kbeval {

enum class TextAnchor { start, middle, end };

// <text x y class>text</text>; `cssClass` may be empty.
void appendSvgText(std::string& out, double x, double y, std::string_view cssClass,
                   std::string_view text, TextAnchor anchor = TextAnchor::start);

// <title>text</title>: the tooltip and accessible name of the element it is in.
void appendSvgTitle(std::string& out, std::string_view text);

struct Bar {
  std::string label;      // what the bar stands for
  double value = 0;       // its length on the chart's scale
  std::string valueText;  // shown at the bar's end
  std::string title;      // the mark's exact numbers in words; empty when valueText says all
};

struct ChartScale {
  double full = 0;  // the value a full-length bar stands for; 0: the largest bar's
};

// Bars standing side by side, each label under its bar and value above it.
// The chart is `width` by `height` pixels.
void appendColumnChart(std::string& out, std::span<const Bar> bars, int width, int height,
                       ChartScale scale, std::string_view caption);

// Bars lying one under the other, labels on the left and values on the
// right, `width` pixels wide and as high as the bars need.
void appendBarChart(std::string& out, std::span<const Bar> bars, int width, ChartScale scale,
                    std::string_view caption);

// The colour scales as gradients with the ids "heat" and "diff" (the
// diverging scale of differences), in an SVG of no size: once per page,
// before any legend.
void appendHeatGradient(std::string& out);

// The colour scale as a strip `width` pixels wide, with `ticks` under it at
// their places (0 to 1 along the strip).
struct LegendTick {
  double position = 0;
  std::string text;
};
void appendColourLegend(std::string& out, int width, std::span<const LegendTick> ticks,
                        std::string_view caption);

// The same for the diverging scale, -1 at the strip's left end, +1 at its right.
void appendDivergingLegend(std::string& out, int width, std::span<const LegendTick> ticks,
                           std::string_view caption);

}  // namespace kbeval
