#include "views/html_report.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string_view>
#include <vector>

#include "layouts/key_outputs.h"
#include "text/encodings.h"
#include "views/colour_scale.h"
#include "views/comparison_figures.h"
#include "views/html_escape.h"
#include "views/key_labels.h"
#include "views/keyboard_svg.h"
#include "views/svg.h"

namespace kbeval {

namespace {

// Steps of the heat tables' colours: each cell names its step as a class, so
// that a table of a thousand cells stays small.
constexpr int kHeatSteps = 16;

// Runs this long or longer share the one-hand run charts' last bar.
constexpr int kLongestRunBar = 10;

constexpr const char* kStyle = R"(
body{font-family:"NanumGothic","NanumBarunGothic","Noto Sans CJK KR","Noto Sans KR","Malgun Gothic","Apple SD Gothic Neo",sans-serif;margin:20px 28px;color:#1d1d1d;background:#fff;max-width:1480px}
h1{font-size:26px;margin:0 0 4px}h2{font-size:21px;margin:0 0 10px;border-bottom:2px solid #3b0f70;padding-bottom:4px}
h3{font-size:14px;margin:0 0 6px;color:#333}
h2 small{font-size:14px;font-weight:normal;color:#555;margin-left:10px}
.meta{color:#444;margin:0 0 14px}.meta b{color:#111}
nav{margin:0 0 16px;font-size:14px}nav a{margin-right:12px}
section{margin:0 0 30px}
table{border-collapse:collapse;font-size:13px}
th,td{padding:3px 7px;border:1px solid #d6d6d6;text-align:right;white-space:nowrap}
th{background:#f3f1f6}td.t,th.t{text-align:left}
td.best{background:#c9ecd0;font-weight:bold}
.legend{font-size:12px;color:#444;margin:6px 0 0}
.legend dt{display:inline;font-weight:bold}.legend dd{display:inline;margin:0 0 0 4px}
.wrap{display:flex;flex-wrap:wrap;gap:14px 28px;align-items:flex-start}
figure{margin:0}figcaption{font-size:12px;color:#555;max-width:400px;margin-top:2px}
svg text{font-size:11px;fill:#222}
svg .v{font-size:10.5px;fill:#333}svg .l{font-size:11.5px}
.cc rect,.bc rect{fill:#7b2a82}svg .axis{stroke:#888;stroke-width:1}
.cc text,.lg text{text-anchor:middle}.bc .l{text-anchor:end}
.kb text.n{font-size:10px;fill:#555}.kb text.f{font-size:9.5px;fill:#444;word-spacing:5px}
.kb .n{text-anchor:end}.kb .i{font-size:10px;fill:#888}
.kb text.u{font-size:18px;fill:#111}.kb text.s{font-size:13px;fill:#333}
.kb .fin{text-decoration:underline}
.kb rect{rx:5px}.kb .dk text{fill:#fff}.kb .in rect{fill:#eceaef}
.heat td{padding:2px 4px;font-size:11px;min-width:26px;border:1px solid #fff}
.heat th{padding:2px 4px;font-size:13px;border:1px solid #fff}
.pairs td,.pairs th{font-size:12.5px}
)";

const char* const kRowNames[6] = {"", "space", "bottom", "home", "top", "number"};

std::string countText(Count n) {
  char text[32];
  std::snprintf(text, sizeof text, "%lld", n);
  return text;
}

std::string shareText(double share, const char* format = "%.1f%%") {
  char text[32];
  std::snprintf(text, sizeof text, format, share);
  return text;
}

double shareOf(Count part, Count whole) {
  return whole == 0 ? 0.0 : 100.0 * static_cast<double>(part) / static_cast<double>(whole);
}

std::string utf8Jamo(std::string_view ksx1001) {
  return std::string(displayText(ksx1001, OutputEncoding::utf8));
}

// "layout-3": the anchor of a layout's section.
std::string anchorOf(std::size_t number) {
  return "layout-" + std::to_string(number);
}

std::string heatStyles() {
  std::string css;
  for (int step = 0; step < kHeatSteps; ++step) {
    const Rgb colour = heatColour((step + 0.5) / kHeatSteps);
    appendFormat(css, ".h%d{background:%s%s}", step, cssColour(colour).c_str(),
                 wantsLightText(colour) ? ";color:#fff" : "");
  }
  return css;
}

int heatStep(Count value, Count largest) {
  if (largest <= 0 || value <= 0) return 0;
  const double position = static_cast<double>(value) / static_cast<double>(largest);
  return std::clamp(static_cast<int>(position * kHeatSteps), 0, kHeatSteps - 1);
}

// Legend ticks at 0, a quarter, half, three quarters and all of `full`.
std::vector<LegendTick> ticksUpTo(double full, const char* format, bool lastIsAtLeast) {
  std::vector<LegendTick> ticks;
  for (int quarter = 0; quarter <= 4; ++quarter) {
    std::string text = lastIsAtLeast && quarter == 4 ? "\xE2\x89\xA5" : "";  // ≥
    text += shareText(full * quarter / 4, format);
    ticks.push_back({quarter / 4.0, text});
  }
  return ticks;
}

// ---- The comparison table ----

void appendComparison(std::string& out, std::span<const ComparisonRow> rows) {
  const std::span<const ComparisonColumn> columns = comparisonColumns();
  const std::vector<std::vector<std::size_t>> best = bestRows(rows);
  out += "<section id=\"comparison\"><h2>Comparison</h2><table class=\"cmp\"><thead><tr>";
  for (const ComparisonColumn& column : columns) {
    out += column.leftAligned ? "<th class=\"t\" title=\"" : "<th title=\"";
    appendHtmlEscaped(out, column.legend);
    out += "\">";
    appendHtmlEscaped(out, column.header);
    out += "</th>";
  }
  out += "</tr></thead><tbody>";
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const std::vector<std::string> cells = comparisonCells(rows[r]);
    out += "<tr>";
    for (std::size_t k = 0; k < columns.size(); ++k) {
      const bool isBest = std::find(best[k].begin(), best[k].end(), r) != best[k].end();
      out += "<td";
      if (isBest) {
        out += columns[k].leftAligned ? " class=\"t best\"" : " class=\"best\"";
        out += " title=\"best of the column\"";
      } else if (columns[k].leftAligned) {
        out += " class=\"t\"";
      }
      out += '>';
      if (k == 0) {
        appendFormat(out, "<a href=\"#%s\">", anchorOf(r).c_str());
        appendHtmlEscaped(out, cells[k]);
        out += "</a>";
      } else {
        appendHtmlEscaped(out, cells[k]);
      }
      out += "</td>";
    }
    out += "</tr>";
  }
  out +=
      "</tbody></table><p class=\"legend\">Bold on green: the best value of its column "
      "(none where every layout shows the same).</p><dl class=\"legend\">";
  for (const ComparisonColumn& column : columns) {
    out += "<dt>";
    appendHtmlEscaped(out, column.header);
    out += "</dt> <dd>";
    appendHtmlEscaped(out, column.legend);
    out += "</dd><br>";
  }
  out += "</dl></section>";
}

// ---- One layout ----

// What a key's level shows on its cap: its label without "(final)", the
// final marked by underlining instead.
struct CapText {
  std::string text;
  bool finalOnly = false;
};

CapText capTextOf(const std::string& label) {
  static constexpr std::string_view kFinal = "(final)";
  CapText cap;
  cap.text = label;
  for (std::size_t at; (at = cap.text.find(kFinal)) != std::string::npos;) {
    cap.text.erase(at, kFinal.size());
    cap.finalOnly = true;
  }
  return cap;
}

KeyboardPicture pictureOf(const LayoutFindings& f, const KeyOutputTable& outputs) {
  KeyboardPicture picture;
  for (int k = 0; k < kPhysicalKeys; ++k) {
    KeyCap& cap = picture.keys[static_cast<std::size_t>(k)];
    cap.characters = physicalKeyCharacters(k);
    const unsigned char plain = cap.characters.unshifted;
    const unsigned char shifted = cap.characters.shifted;
    cap.info = f.keys[plain];
    cap.presses = f.keyUse[plain].presses;
    cap.types = keyLabel(outputs[plain], OutputEncoding::utf8);
    const CapText plainCap = capTextOf(cap.types);
    cap.label = plainCap.text;
    cap.labelIsFinal = plainCap.finalOnly;
    if (shifted != 0) {
      cap.shiftedPresses = f.keyUse[shifted].presses;
      cap.shiftedTypes = keyLabel(outputs[shifted], OutputEncoding::utf8);
      const CapText shiftedCap = capTextOf(cap.shiftedTypes);
      cap.shiftedLabel = shiftedCap.text;
      cap.shiftedLabelIsFinal = shiftedCap.finalOnly;
    }
  }
  picture.leftShiftPresses = f.counts.leftShifts;
  picture.rightShiftPresses = f.counts.rightShifts;
  picture.keystrokes = f.figures.keystrokes;
  return picture;
}

void appendFingerChart(std::string& out, const KeystrokeCounts& c) {
  constexpr int kSlots[] = {0, 1, 2, 3, 5, 6, 7, 8, 9};
  Count eightFingers = 0;
  for (int slot : kSlots) {
    if (slot != 5) eightFingers += c.fingerCount[slot];
  }
  std::vector<Bar> bars;
  for (int slot : kSlots) {
    Bar bar;
    const Count n = c.fingerCount[slot];
    bar.value = static_cast<double>(n);
    if (slot == 5) {
      bar.label = "thumb";
      bar.valueText = countText(n);
      bar.title = "thumbs on the space bar: " + countText(n) + " strokes";
    } else {
      bar.label = std::string(fingerName(slot));
      const std::string share = shareText(shareOf(n, eightFingers));
      bar.valueText = share;
      bar.title = bar.label + ": " + countText(n) + " strokes";
    }
    bars.push_back(std::move(bar));
  }
  out += "<figure><h3>Fingers</h3>";
  appendColumnChart(out, bars, 390, 190, {}, "strokes per finger");
  out +=
      "<figcaption>Strokes per finger, Shift presses included; the shares are of the eight "
      "fingers, as in the keystroke report. Hover for the counts.</figcaption></figure>";
}

void appendRowChart(std::string& out, const KeystrokeCounts& c) {
  std::array<Count, kRows> perRow{};
  Count fourRows = 0;
  for (const auto& rows : c.generalKeyTable) {
    for (int row = 2; row <= 5; ++row) {
      perRow[static_cast<std::size_t>(row)] += rows[static_cast<std::size_t>(row)];
      fourRows += rows[static_cast<std::size_t>(row)];
    }
  }
  std::vector<Bar> bars;
  for (int row = 5; row >= 2; --row) {
    Bar bar;
    const Count n = perRow[static_cast<std::size_t>(row)];
    bar.label = kRowNames[row];
    bar.value = static_cast<double>(n);
    const std::string share = shareText(shareOf(n, fourRows));
    bar.valueText = countText(n) + " (" + share + ")";
    bars.push_back(std::move(bar));
  }
  out += "<figure><h3>Rows</h3>";
  appendBarChart(out, bars, 330, {}, "key presses per row");
  out +=
      "<figcaption>Key presses per row (Shift presses and the space bar apart).</figcaption>"
      "</figure>";
}

void appendRunChart(std::string& out, const KeystrokeCounts& c, int hand) {
  const Count total = hand == 0 ? leftTotal(c) : rightTotal(c);
  const char* handName = hand == 0 ? "left" : "right";
  const auto& runs = c.oneHandRuns[static_cast<std::size_t>(hand)];
  int longest = 0;
  for (int length = 1; length <= kRunBuckets; ++length) {
    if (runs[static_cast<std::size_t>(length - 1)] != 0) longest = length;
  }
  std::vector<Bar> bars;
  const int shown = std::clamp(longest, 4, kLongestRunBar);
  for (int length = 1; length <= shown; ++length) {
    const bool last = length == kLongestRunBar && longest > kLongestRunBar;
    Count runCount = 0, strokes = 0;
    for (int l = length; l <= (last ? kRunBuckets : length); ++l) {
      runCount += runs[static_cast<std::size_t>(l - 1)];
      strokes += l * runs[static_cast<std::size_t>(l - 1)];
    }
    Bar bar;
    bar.label = std::to_string(length) + (last ? "+" : "");
    bar.value = static_cast<double>(strokes);
    const std::string share = shareText(shareOf(strokes, total));
    bar.valueText = share;
    bar.title = bar.label + ": " + countText(runCount) + " runs, " + countText(strokes) +
                " strokes, " + share;
    bars.push_back(std::move(bar));
  }
  appendFormat(out, "<figure><h3>One-hand runs, %s hand</h3>", handName);
  appendColumnChart(out, bars, 400, 170, {},
                    std::string("one-hand runs of the ") + handName + " hand");
  appendFormat(out,
               "<figcaption>The %s hand's %lld keystrokes by the length of the one-hand "
               "run they were made in, as shares. Hover for the runs and the strokes."
               "</figcaption></figure>",
               handName, total);
}

void appendPairTable(std::string& out, const char* title, const std::vector<KeyPairCount>& pairs,
                     const KeyOutputTable& outputs, Count keystrokes, bool bothKeys) {
  appendFormat(out, "<figure><h3>%s</h3>", title);
  if (pairs.empty()) {
    out += "<p class=\"legend\">none</p></figure>";
    return;
  }
  out +=
      "<table class=\"pairs\"><thead><tr><th class=\"t\">Keys</th><th>Times</th>"
      "<th>Strokes</th><th>% of keystrokes</th><th class=\"t\">Via Shift</th></tr></thead>"
      "<tbody>";
  for (const KeyPairCount& p : pairs) {
    std::string keys = keyWithLabel(p.first, outputs[p.first], OutputEncoding::utf8);
    if (bothKeys) {
      keys += " \xE2\x86\x92 ";
      keys += keyWithLabel(p.second, outputs[p.second], OutputEncoding::utf8);
    }
    // The end tags of cells and rows may go: the next cell or row ends them.
    out += "<tr><td class=\"t\">";
    appendHtmlEscaped(out, keys);
    appendFormat(out, "<td>%lld<td>%lld<td>%.2f<td class=\"t\">%s", p.times, p.strokes,
                 pairShare(p, keystrokes), p.viaShift ? "yes" : "");
  }
  out += "</tbody></table></figure>";
}

// ---- The text ----

template <std::size_t N>
void appendJamoChart(std::string& out, const char* title, const std::array<Count, N>& counts,
                     const std::array<std::string_view, N>& names, int firstCode) {
  Count total = 0;
  for (int code = firstCode; code < static_cast<int>(N); ++code) {
    if (!names[static_cast<std::size_t>(code)].empty())
      total += counts[static_cast<std::size_t>(code)];
  }
  std::vector<Bar> bars;
  for (int code = firstCode; code < static_cast<int>(N); ++code) {
    const std::string_view name = names[static_cast<std::size_t>(code)];
    const Count n = counts[static_cast<std::size_t>(code)];
    if (name.empty() && n == 0) continue;
    Bar bar;
    bar.label = name.empty() ? "#" + std::to_string(code) : utf8Jamo(name);
    bar.value = static_cast<double>(n);
    const std::string share = shareText(shareOf(n, total), "%.2f%%");
    bar.valueText = countText(n) + " (" + share + ")";
    bars.push_back(std::move(bar));
  }
  appendFormat(out, "<figure><h3>%s: %lld</h3>", title, total);
  appendBarChart(out, bars, 300, {}, title);
  out += "</figure>";
}

struct HeatAxis {
  std::vector<int> codes;
  std::vector<std::string> labels;
};

template <std::size_t N>
HeatAxis heatAxis(const std::array<std::string_view, N>& names, int first, bool namedOnly) {
  HeatAxis axis;
  for (int code = first; code < static_cast<int>(N); ++code) {
    const std::string_view name = names[static_cast<std::size_t>(code)];
    if (namedOnly && name.empty()) continue;
    axis.codes.push_back(code);
    axis.labels.push_back(name.empty() ? "#" + std::to_string(code) : utf8Jamo(name));
  }
  return axis;
}

template <typename Cell>
void appendHeatTable(std::string& out, const char* id, const char* title, const char* corner,
                     const HeatAxis& rows, const HeatAxis& columns, Cell cell) {
  Count largest = 0;
  for (int r : rows.codes) {
    for (int k : columns.codes) largest = std::max(largest, cell(r, k));
  }
  appendFormat(out, "<figure id=\"%s\"><h3>%s</h3><table class=\"heat\"><thead><tr><th>%s</th>", id,
               title, corner);
  for (const std::string& label : columns.labels) {
    out += "<th>";
    appendHtmlEscaped(out, label);
    out += "</th>";
  }
  out += "</tr></thead><tbody>";
  for (std::size_t r = 0; r < rows.codes.size(); ++r) {
    out += "<tr><th>";
    appendHtmlEscaped(out, rows.labels[r]);
    out += "</th>";
    for (int k : columns.codes) {
      const Count n = cell(rows.codes[r], k);
      if (n == 0) {
        out += "<td>0";
      } else {
        appendFormat(out, "<td class=h%d>%lld", heatStep(n, largest), n);  // </td> may go
      }
    }
    out += "</tr>";
  }
  out += "</tbody></table>";
  const std::vector<LegendTick> ticks = ticksUpTo(static_cast<double>(largest), "%.0f", false);
  appendColourLegend(out, 420, ticks, "times (each cell's colour: its count, in 16 steps)");
  out += "</figure>";
}

}  // namespace

std::string htmlHead(const HtmlSample& sample, std::span<const ComparisonRow> rows) {
  std::string out;
  out.reserve(16384);
  out +=
      "<!DOCTYPE html>\n<html lang=\"ko\"><head><meta charset=\"utf-8\">"
      "<meta name=\"viewport\" content=\"width=device-width,initial-scale=1\">"
      "<title>kbeval: ";
  appendHtmlEscaped(out, sample.path);
  out += "</title><style>";
  out += kStyle;
  out += heatStyles();
  out += "</style></head><body>";
  // Shapes every picture of the page uses, in an SVG that takes no room.
  out += "<svg width=\"0\" height=\"0\" style=\"position:absolute\" aria-hidden=\"true\"><defs>";
  appendHeatGradient(out);
  appendKeyShape(out);
  out += "</defs></svg>";
  out += "<header><h1>Keyboard layouts on ";
  appendHtmlEscaped(out, sample.path);
  out += "</h1><p class=\"meta\" id=\"sample\">Sample <b>";
  appendHtmlEscaped(out, sample.path);
  appendFormat(out,
               "</b> \xC2\xB7 <b>%lld</b> bytes \xC2\xB7 <b>%lld</b> Hangul syllables \xC2\xB7 "
               "read as %s<br>Made ",
               sample.bytes, sample.syllables, sample.encoding == "utf-8" ? "UTF-8" : "Johab");
  appendHtmlEscaped(out, sample.runDate);
  out += " by kbeval ";
  appendHtmlEscaped(out, sample.version);
  out += "</p><nav>";
  if (!rows.empty()) out += "<a href=\"#comparison\">Comparison</a>";
  for (std::size_t r = 0; r < rows.size(); ++r) {
    appendFormat(out, "<a href=\"#%s\">", anchorOf(r).c_str());
    appendHtmlEscaped(out, rows[r].name);
    out += "</a>";
  }
  out += "<a href=\"#text\">The text</a></nav></header>";
  if (rows.empty()) {
    out +=
        "<p id=\"no-layouts\">No layout was evaluated: there is no layout file of the set "
        "type asked for. The text's counts follow.</p>";
  } else {
    appendComparison(out, rows);
  }
  return out;
}

std::string htmlLayoutSection(const LayoutFindings& f, std::size_t number) {
  const LayoutRecord& layout = *f.layout;
  const std::string name = displayName(layout.fileName);
  const KeyOutputTable outputs = keyOutputTable(layout);
  std::string out;
  out.reserve(40000);
  appendFormat(out, "<section class=\"layout\" id=\"%s\" data-name=\"", anchorOf(number).c_str());
  appendHtmlEscaped(out, name);
  out += "\"><h2>";
  appendHtmlEscaped(out, name);
  appendFormat(out, "<small>%d-set \xC2\xB7 ", layout.setType);
  appendHtmlEscaped(out, layout.fingering);
  out += " fingering \xC2\xB7 file ";
  appendHtmlEscaped(out, layout.fileName);
  appendFormat(out,
               "</small></h2><p class=\"meta\"><b>%lld</b> keystrokes (%lld key presses, %lld "
               "Shift presses) \xC2\xB7 <b>%.3f</b> per syllable \xC2\xB7 %lld untreated "
               "characters</p>",
               f.figures.keystrokes, f.counts.keyStrokes, f.counts.shiftStrokes,
               f.figures.keystrokesPerSyllable, f.untreated);

  out += "<div class=\"wrap\"><figure>";
  appendKeyboard(out, pictureOf(f, outputs), kDarkestKeyShare, "keyboard of " + name);
  out += "<div class=\"wrap\">";
  appendColourLegend(out, 420, ticksUpTo(kDarkestKeyShare, "%g%%", true),
                     "share of keystrokes (the same scale on every keyboard)");
  out +=
      "<figcaption style=\"max-width:470px\">Each key shows what it types by itself, "
      "shifted above and plain below (a jamo underlined is typed only as a final), its "
      "QWERTY name, its finger under this layout's fingering and its share of keystrokes, "
      "both levels together (\"L2 5.4%\"). Hover over a key for the strokes of each "
      "level.</figcaption></div></figure>";
  appendFingerChart(out, f.counts);
  appendRowChart(out, f.counts);
  appendRunChart(out, f.counts, 0);
  appendRunChart(out, f.counts, 1);
  appendPairTable(out, "Worst same-finger pairs", f.worstPairs.sameFinger, outputs,
                  f.figures.keystrokes, true);
  appendPairTable(out, "Worst same-key repeats", f.worstPairs.sameKey, outputs,
                  f.figures.keystrokes, false);
  out += "</div></section>\n";
  return out;
}

std::string htmlTextSection(const TextCounts& text, const CombinationCounts& combinations) {
  std::string out;
  out.reserve(40000);
  Count signs = -text.digitCount;
  for (Count n : text.signCount) signs += n;
  for (Count n : text.symbolCount) signs += n;
  appendFormat(out,
               "<section id=\"text\"><h2>The text</h2><p class=\"meta\"><b>%lld</b> Hangul "
               "syllables \xC2\xB7 %lld digits \xC2\xB7 %lld signs \xC2\xB7 %lld line feeds "
               "\xC2\xB7 %lld spaces</p><div class=\"wrap\">",
               text.natnaeCount, text.digitCount, signs, text.enterCount, text.spaceCount);
  appendJamoChart(out, "Initial jamo", text.initialCount, InitialNames, 2);
  appendJamoChart(out, "Medial jamo", text.medialCount, MedialNames, 3);
  appendJamoChart(out, "Final jamo", text.finalCount, FinalNames, 2);
  out += "</div><div class=\"wrap\">";
  const HeatAxis initials = heatAxis(InitialNames, 2, false);
  const HeatAxis medials = heatAxis(MedialNames, 0, true);
  const HeatAxis finals = heatAxis(FinalNames, 2, false);
  appendHeatTable(out, "initial-medial", "Initial (rows) followed by medial (columns)", "",
                  initials, medials,
                  [&](int r, int k) { return combinations.cheotGaundeIeum[r][k]; });
  appendHeatTable(out, "final-initial",
                  "Final (rows) followed by the next syllable's initial (columns)", "", finals,
                  initials, [&](int r, int k) { return combinations.ggeutCheotIeum[r][k]; });
  out += "</div></section>\n";
  return out;
}

std::string htmlTail() {
  return "<footer class=\"legend\">Every figure is the exact count of this run; colours only "
         "repeat them.</footer></body></html>\n";
}

}  // namespace kbeval
