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
#include "views/utf8_text.h"

namespace kbeval {

namespace {

// Steps of the heat tables' colours: each cell names its step as a class, so
// that a table of a thousand cells stays small.
constexpr int kHeatSteps = 16;

// Runs this long or longer share the one-hand run charts' last bar.
constexpr int kLongestRunBar = 10;

constexpr const char* kStyle = R"(
body{font-family:"NanumGothic","NanumBarunGothic","Noto Sans CJK KR","Noto Sans KR","Malgun Gothic","Apple SD Gothic Neo",sans-serif;margin:20px 28px;color:#1d1d1d;background:#fff;max-width:1480px}
h1{font-size:26px;margin:0 0 4px;overflow-wrap:anywhere}h2{font-size:21px;margin:0 0 10px;border-bottom:2px solid #3b0f70;padding-bottom:4px;overflow-wrap:anywhere}
h3{font-size:14px;margin:0 0 6px;color:#333}
h2 small{font-size:14px;font-weight:normal;color:#555;margin-left:10px}
.meta{color:#444;margin:0 0 14px;overflow-wrap:anywhere}.meta b{color:#111}
nav{margin:0 0 16px;font-size:14px;display:flex;flex-wrap:wrap;gap:4px 12px}nav a{overflow-wrap:anywhere}
section{margin:0 0 30px}
.scroll{overflow:auto;max-width:100%;max-height:85vh}
table{border-collapse:collapse;font-size:13px}
th,td{padding:3px 7px;border:1px solid #d6d6d6;text-align:right;white-space:nowrap}
th{background:#f3f1f6}td.t,th.t{text-align:left}
.cmp thead th{position:sticky;top:0;z-index:1}.cmp th button{all:unset;cursor:pointer}
.cmp td.d{color:#444;font-size:12px}.cmp sup{color:#555;font-size:10px;margin-left:2px}
td.best{background:#c9ecd0;font-weight:bold}
.note{background:#fff4d6;border-left:4px solid #b35806;padding:4px 8px;font-size:13px;max-width:900px}
.legend{font-size:12px;color:#444;margin:6px 0 0}
.legend dt{display:inline;font-weight:bold}.legend dd{display:inline;margin:0 0 0 4px}
.wrap{display:flex;flex-wrap:wrap;gap:14px 28px;align-items:flex-start}
.wrap>*{min-width:0;max-width:100%}
figure{margin:0}figcaption{font-size:12px;color:#555;max-width:400px;margin-top:2px}
svg{max-width:100%;height:auto}
svg text{font-size:11px;fill:#222}
svg .v{font-size:10.5px;fill:#333}svg .l{font-size:11.5px}
.cc rect,.bc rect{fill:#7b2a82}svg .axis{stroke:#888;stroke-width:1}
.cc text,.lg text{text-anchor:middle}.bc .l{text-anchor:end}
.kb text{fill:#000}.kb text.n{font-size:10px}.kb text.f{font-size:9.5px;word-spacing:5px}
.kb .n{text-anchor:end}.kb .i{font-size:10px;fill:#444}
.kb text.u{font-size:18px}.kb text.s{font-size:13px}.kb text.d{font-size:11px;font-weight:bold}
.kb .fin{text-decoration:underline}
.kb rect{rx:5px}.kb .dk text{fill:#fff}.kb .in rect{fill:#eceaef}
.kb .off rect{stroke:#555;stroke-dasharray:4 3}
.heat td{padding:2px 4px;font-size:11px;min-width:26px;border:1px solid #fff}
.heat th{padding:2px 4px;font-size:13px;border:1px solid #fff}
.pairs td,.pairs th{font-size:12.5px}
.side{display:grid;grid-template-columns:minmax(0,1fr);gap:14px}
.side figure{break-inside:avoid}
@media (min-width:1200px){.side{grid-template-columns:minmax(0,1fr) minmax(0,1fr)}
.vs>figure{display:none}.vs>figure:target{display:block}.vs:not(:has(:target))>figure:first-child{display:block}}
@media (max-width:600px){body{margin:10px}}
.bars td{text-align:left;min-width:70px}.bars i{display:inline-block;height:9px;background:#7b2a82;margin-right:4px;vertical-align:middle}
@media print{body{margin:0;max-width:none}nav,.cmp button{display:none}.scroll{overflow:visible;max-height:none}
.layout,.side figure,.kbf{break-inside:avoid;page-break-inside:avoid}section.layout{break-before:page}
.vs>figure{display:block!important}svg.kb{width:100%}}
)";

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
                 wantsLightText(colour) ? ";color:#fff" : ";color:#000");
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

const char* betterMark(Better better) {
  switch (better) {
    case Better::lower:
      return "\xE2\x86\x93 lower is better";  // ↓
    case Better::higher:
      return "\xE2\x86\x91 higher is better";  // ↑
    case Better::nearerEven:
      return "\xE2\x86\x94 nearer 50/50 is better";  // ↔
    case Better::notRanked:
      break;
  }
  return "";
}

// Sorts the comparison by a column when its header is pressed: by the rank
// (or the name) each cell carries in data-k. The table reads the same
// without it, in result order.
constexpr const char* kSortScript =
    "<script>document.querySelectorAll('table.cmp').forEach(function(t){"
    "t.querySelectorAll('thead th[data-c]').forEach(function(h){"
    "var b=document.createElement('button');b.textContent=h.firstChild.textContent;"
    "h.replaceChild(b,h.firstChild);var up=false;b.onclick=function(){"
    "var c=+h.dataset.c,rows=[].slice.call(t.tBodies[0].rows);up=!up;"
    "rows.sort(function(x,y){var a=x.cells[c].dataset.k,z=y.cells[c].dataset.k;"
    "var r=isNaN(a)?a.localeCompare(z):a-z;return up?r:-r});"
    "rows.forEach(function(r){t.tBodies[0].appendChild(r)})}})})</script>";

// A stroke figure's count, or its sum in the figure's decimals.
// One column's line in a table's legend: its header, what it counts and
// which way is better.
void appendLegendEntry(std::string& out, std::string_view header, std::string_view legend,
                       Better better) {
  out += "<dt>";
  appendHtmlEscaped(out, header);
  out += "</dt> <dd>";
  appendHtmlEscaped(out, legend);
  if (better != Better::notRanked) appendFormat(out, " (%s)", betterMark(better) + 4);
  out += "</dd><br>";
}

std::string strokeAmountText(const StrokeColumn& column, const StrokeFigures& figures) {
  if (!column.amountIsSum) return countText(static_cast<Count>(column.amount(figures)));
  char text[48];
  std::snprintf(text, sizeof text, "%.*f", column.decimals, column.amount(figures));
  return text;
}

// The figures of pairs and triples of strokes of the rows that have them,
// a column per figure: its share (with its rank) over the count or the sum
// it is made of; the best share of each column marked as in the table above.
void appendStrokeComparison(std::string& out, std::span<const ComparisonRow> rows,
                            std::size_t baseline, const std::string& boardName) {
  const std::span<const StrokeColumn> columns = strokeColumns();
  const std::vector<std::vector<std::size_t>> best = bestStrokeRows(rows);
  const std::vector<std::vector<int>> ranks = strokeRanks(rows);
  out += "<h3 id=\"stroke-figures\">Pairs and triples of strokes on the board <span lang=\"ko\">";
  appendHtmlEscaped(out, decodedName(boardName));
  out +=
      "</span></h3><div class=\"scroll\"><table class=\"cmp\" id=\"stroke-table\"><thead><tr>"
      "<th data-c=\"0\" class=\"t\" title=\"name of the layout file\">Layout</th>";
  for (std::size_t k = 0; k < columns.size(); ++k) {
    appendFormat(out, "<th data-c=\"%zu\" title=\"", k + 1);
    appendHtmlEscaped(out, columns[k].legend);
    out += "\">";
    appendHtmlEscaped(out, columns[k].header);
    appendFormat(out, "<br><small>%s</small></th>", betterMark(columns[k].better));
  }
  out += "</tr></thead><tbody>";
  for (std::size_t r = 0; r < rows.size(); ++r) {
    if (!rows[r].hasStrokes) continue;
    const std::string name = decodedName(rows[r].name);
    out += r == baseline ? "<tr class=\"base\">" : "<tr>";
    out += "<td class=\"t\" data-k=\"";
    appendHtmlEscaped(out, name);
    appendFormat(out, "\"><a href=\"#%s\" lang=\"ko\">", anchorOf(r).c_str());
    appendHtmlEscaped(out, name);
    out += "</a></td>";
    for (std::size_t k = 0; k < columns.size(); ++k) {
      const StrokeColumn& column = columns[k];
      const bool isBest = std::find(best[k].begin(), best[k].end(), r) != best[k].end();
      appendFormat(out, "<td data-f=\"%s\" data-k=\"%d\"%s>", column.jsonName, ranks[k][r],
                   isBest ? " class=\"best\" title=\"best of the column\"" : "");
      out += strokeFigureText(column, rows[r].strokes);
      appendFormat(out, "<sup title=\"rank\">%d</sup><br><small title=\"%s\">", ranks[k][r],
                   column.amountIsSum ? "the sum" : "the count");
      out += strokeAmountText(column, rows[r].strokes);
      out += "</small></td>";
    }
    out += "</tr>";
  }
  out +=
      "</tbody></table></div><p class=\"legend\">Each cell: the figure's share (of the pairs "
      "or the triples of consecutive strokes, or a mean per same-finger pair or per stroke), "
      "its rank, and below it the count (for SFDist the summed distance, for Effort the summed "
      "effort) the share is made of. A pair or triple with a thumb stroke counts only in the "
      "totals. Bold on green: the best share of its column (none where every layout shows "
      "the same, nor when the layouts leave different characters untreated).</p><dl "
      "class=\"legend\">";
  for (const StrokeColumn& column : columns)
    appendLegendEntry(out, column.header, column.legend, column.better);
  out += "</dl>";
}

// "Layout", then per figure its value (with its rank) and its difference
// from the baseline; the baseline's row is marked.
void appendComparison(std::string& out, std::span<const ComparisonRow> rows, std::size_t baseline,
                      const std::string& boardName) {
  const std::span<const ComparisonColumn> columns = comparisonColumns();
  const std::vector<std::vector<std::size_t>> best = bestRows(rows);
  const std::vector<std::vector<int>> ranks = columnRanks(rows);
  const bool comparable = sameCoverage(rows);
  const std::string baselineName = decodedName(rows[baseline].name);
  out += "<section id=\"comparison\"><h2>Comparison</h2>";
  if (!comparable) {
    Count fewest = rows[0].figures.untreated, most = fewest;
    for (const ComparisonRow& row : rows) {
      fewest = std::min(fewest, row.figures.untreated);
      most = std::max(most, row.figures.untreated);
    }
    appendFormat(out,
                 "<p class=\"note\" id=\"coverage-note\">The layouts do not type the same text: "
                 "they leave from %lld to %lld characters untreated (see the Untreated column and "
                 "each layout's list). So no value is marked best except in the Untreated column; "
                 "the ranks compare figures of texts that differ by those characters.</p>",
                 fewest, most);
  }
  out += "<div class=\"scroll\"><table class=\"cmp\"><thead><tr>";
  int columnNumber = 0;
  for (const ComparisonColumn& column : columns) {
    appendFormat(out, "<th data-c=\"%d\" class=\"%s\" title=\"", columnNumber++,
                 column.leftAligned ? "t" : "");
    appendHtmlEscaped(out, column.legend);
    out += "\">";
    appendHtmlEscaped(out, column.header);
    if (column.better != Better::notRanked) {
      appendFormat(out, "<br><small>%s</small>", betterMark(column.better));
    }
    out += "</th>";
    if (column.value != nullptr) {
      out += "<th class=\"d\" title=\"this layout's figure minus the baseline's\">\xCE\x94</th>";
      ++columnNumber;
    }
  }
  out += "</tr></thead><tbody>";
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const std::vector<std::string> cells = comparisonCells(rows[r]);
    out += r == baseline ? "<tr class=\"base\">" : "<tr>";
    for (std::size_t k = 0; k < columns.size(); ++k) {
      const ComparisonColumn& column = columns[k];
      const bool isBest = std::find(best[k].begin(), best[k].end(), r) != best[k].end();
      std::string classes = column.leftAligned ? "t" : "";
      if (isBest) classes += classes.empty() ? "best" : " best";
      out += "<td";
      if (!classes.empty()) appendFormat(out, " class=\"%s\"", classes.c_str());
      if (isBest) out += " title=\"best of the column\"";
      if (ranks[k][r] > 0) {
        appendFormat(out, " data-k=\"%d\"", ranks[k][r]);
      } else {
        out += " data-k=\"";
        appendHtmlEscaped(out, k == 0 ? decodedName(cells[k]) : cells[k]);
        out += '"';
      }
      out += '>';
      if (k == 0) {
        appendFormat(out, "<a href=\"#%s\" lang=\"ko\">", anchorOf(r).c_str());
        appendHtmlEscaped(out, decodedName(cells[k]));
        out += "</a>";
        if (r == baseline) {
          out += " <small>(baseline)</small>";
        } else {
          appendFormat(out, " <small><a href=\"#vs-%zu\">beside the baseline</a></small>", r);
        }
      } else {
        appendHtmlEscaped(out, cells[k]);
      }
      if (ranks[k][r] > 0) appendFormat(out, "<sup title=\"rank\">%d</sup>", ranks[k][r]);
      out += "</td>";
      if (column.value != nullptr) {
        const double d = figureDifference(column, rows[r], rows[baseline]);
        appendFormat(out, "<td class=\"d\" data-k=\"%d\">", ranks[k][r]);
        if (r != baseline) appendHtmlEscaped(out, differenceText(d, column.decimals));
        out += "</td>";
      }
    }
    out += "</tr>";
  }
  out += "</tbody></table></div><p class=\"legend\">";
  if (comparable)
    out += "Bold on green: the best value of its column (none where every layout shows the same). ";
  out +=
      "Small numbers: each layout's rank in the column (1 the best; figures that print alike "
      "share a rank). \xCE\x94: the layout's figure minus that of the baseline, <b lang=\"ko\">";
  appendHtmlEscaped(out, baselineName);
  out +=
      "</b> (Left/Right: the left hand's share; Busiest: the busiest finger's share, whichever "
      "finger it is). Press a header to sort by it.</p><dl class=\"legend\">";
  for (const ComparisonColumn& column : columns)
    appendLegendEntry(out, column.header, column.legend, column.better);
  out += "</dl>";
  const bool anyStrokes = std::any_of(rows.begin(), rows.end(),
                                      [](const ComparisonRow& row) { return row.hasStrokes; });
  if (anyStrokes) appendStrokeComparison(out, rows, baseline, boardName);
  out += kSortScript;
  out += "</section>";
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

// What a key shows beyond what it types by itself: the jamo that the key
// starts when it is the first of a compound's keys (ㅗ on the key that begins
// ㅘ), and a quote that the layout file puts on it while the quote is typed
// as the plain quote key. Only for keys that type nothing by themselves.
std::array<std::string, 256> extraLabels(const LayoutRecord& layout,
                                         const KeyOutputTable& outputs) {
  std::array<std::string, 256> extra;
  const auto add = [&](unsigned char key, std::string_view ksx1001, bool finalOnly) {
    std::string& label = extra[key];
    const std::string text = utf8Jamo(ksx1001) + (finalOnly ? "(final)" : "");
    if (!outputs[key].empty() || label.find(text) != std::string::npos) return;
    if (!label.empty()) label += ' ';
    label += text;
  };
  const auto starts = [&](const auto& keyStrings, const auto& names, bool finalOnly) {
    for (std::size_t i = 0; i < keyStrings.size(); ++i) {
      if (keyStrings[i].size() < 2) continue;
      for (const CompoundJamo& compound : CompoundJamoParts) {
        if (compound.jamo == names[i]) {
          add(static_cast<unsigned char>(keyStrings[i][0]), compound.first, finalOnly);
        }
      }
    }
  };
  starts(layout.initialKeys, InitialNames, false);
  starts(layout.medialKeys, MedialNames, false);
  starts(layout.finalKeys, FinalNames, true);
  for (int row = 0; row < kSymbolCount; ++row) {
    const std::string& keys = layout.symbolKeys[row];
    if (keys.size() == 1) add(static_cast<unsigned char>(keys[0]), SymbolNames[row], false);
  }
  return extra;
}

}  // namespace

KeyboardPicture keyboardPicture(const LayoutFindings& f) {
  const KeyOutputTable outputs = keyOutputTable(*f.layout);
  const std::array<std::string, 256> extra = extraLabels(*f.layout, outputs);
  const auto typesOf = [&](unsigned char key) {
    std::string types = keyLabel(outputs[key], OutputEncoding::utf8);
    return types.empty() ? extra[key] : types;
  };
  KeyboardPicture picture;
  for (int k = 0; k < kPhysicalKeys; ++k) {
    KeyCap& cap = picture.keys[static_cast<std::size_t>(k)];
    cap.characters = physicalKeyCharacters(k);
    const unsigned char plain = cap.characters.unshifted;
    const unsigned char shifted = cap.characters.shifted;
    cap.info = f.keys[plain];
    cap.presses = f.keyUse[plain].presses;
    cap.types = typesOf(plain);
    const CapText plainCap = capTextOf(cap.types);
    cap.label = plainCap.text;
    cap.labelIsFinal = plainCap.finalOnly;
    if (shifted != 0) {
      cap.shiftedPresses = f.keyUse[shifted].presses;
      cap.shiftedTypes = typesOf(shifted);
      const CapText shiftedCap = capTextOf(cap.shiftedTypes);
      cap.shiftedLabel = shiftedCap.text;
      cap.shiftedLabelIsFinal = shiftedCap.finalOnly;
    }
  }
  picture.leftShiftPresses = f.counts.leftShifts;
  picture.rightShiftPresses = f.counts.rightShifts;
  picture.keystrokes = f.figures.keystrokes;
  picture.board = f.board;
  return picture;
}

namespace {

// The charts' fixed axes: one scale for every layout, so that bars of one
// height mean one share on every chart of the page.
constexpr double kFingerAxis = 40.0;  // % of all strokes
constexpr double kShareAxis = 100.0;  // rows and runs: % of what they divide

void appendRunChart(std::string& out, const KeystrokeCounts& c, int hand) {
  const char* handName = hand == 0 ? "left" : "right";
  const auto& runs = c.oneHandRuns[static_cast<std::size_t>(hand)];
  int longest = 0;
  // The strokes the hand's runs hold, the space bar's and the Shift presses
  // for the other hand's keys included: what the shares divide.
  Count total = 0;
  for (int length = 1; length <= kRunBuckets; ++length) {
    const Count n = runs[static_cast<std::size_t>(length - 1)];
    if (n != 0) longest = length;
    total += length * n;
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
    bar.value = shareOf(strokes, total);
    const std::string share = shareText(bar.value);
    bar.valueText = share;
    bar.title = bar.label + ": " + countText(runCount) + " runs, " + countText(strokes) +
                " strokes, " + share;
    bars.push_back(std::move(bar));
  }
  appendFormat(out, "<figure><h3>One-hand runs, %s hand, %% of its run strokes</h3>", handName);
  appendColumnChart(
      out, bars, 400, 170, {kShareAxis},
      std::string("one-hand runs of the ") + handName + " hand, % of its run strokes");
  appendFormat(out,
               "<figcaption>The %lld strokes of the %s hand's one-hand runs (its keys, the Shift "
               "presses it makes for the other hand and, on the right, the space bar) by the "
               "length of the run they were made in; the shares add up to 100%%, the axis runs "
               "to 100%%. Hover for the runs and the strokes.</figcaption></figure>",
               total, handName);
}

void appendPairTable(std::string& out, const char* title, const std::vector<KeyPairCount>& pairs,
                     const KeyOutputTable& outputs, Count keystrokes, bool bothKeys) {
  appendFormat(out, "<figure><h3>%s</h3>", title);
  if (pairs.empty()) {
    out += "<p class=\"legend\">none</p></figure>";
    return;
  }
  out +=
      "<div class=\"scroll\"><table class=\"pairs\"><thead><tr><th "
      "class=\"t\">Keys</th><th>Times</th>"
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
  out += "</tbody></table></div></figure>";
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

// A code without a name gets a row only when the text uses it.
template <std::size_t N, std::size_t M>
HeatAxis heatAxis(const std::array<std::string_view, N>& names, int first,
                  const std::array<Count, M>& used) {
  HeatAxis axis;
  for (int code = first; code < static_cast<int>(N); ++code) {
    const std::string_view name = names[static_cast<std::size_t>(code)];
    if (name.empty() && used[static_cast<std::size_t>(code)] == 0) continue;
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
  appendFormat(out,
               "<figure id=\"%s\"><h3>%s</h3><div class=\"scroll\"><table "
               "class=\"heat\"><thead><tr><th>%s</th>",
               id, title, corner);
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
  out += "</tbody></table></div>";
  const std::vector<LegendTick> ticks = ticksUpTo(static_cast<double>(largest), "%.0f", false);
  appendColourLegend(out, 420, ticks, "times (each cell's colour: its count, in 16 steps)");
  out += "</figure>";
}

}  // namespace

std::string htmlHead(const HtmlSample& sample, std::span<const ComparisonRow> rows,
                     std::size_t baseline) {
  std::string out;
  out.reserve(16384);
  out +=
      "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
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
  const std::string path = decodedName(sample.path);
  out += "<header><h1>Keyboard layouts on <span lang=\"ko\">";
  appendHtmlEscaped(out, path);
  out += "</span></h1><p class=\"meta\" id=\"sample\">Sample <b lang=\"ko\">";
  appendHtmlEscaped(out, path);
  appendFormat(out,
               "</b> \xC2\xB7 <b>%lld</b> bytes \xC2\xB7 <b>%lld</b> Hangul syllables \xC2\xB7 "
               "read as %s",
               sample.bytes, sample.syllables, sample.encoding == "utf-8" ? "UTF-8" : "Johab");
  if (!sample.boardName.empty()) {
    out += " \xC2\xB7 typed on the board <b lang=\"ko\">";
    appendHtmlEscaped(out, decodedName(sample.boardName));
    out += "</b> (file <span lang=\"ko\">";
    appendHtmlEscaped(out, decodedName(sample.boardFile));
    out += "</span>)";
  }
  out += "<br>Made ";
  appendHtmlEscaped(out, sample.runDate);
  out += " by kbeval ";
  appendHtmlEscaped(out, sample.version);
  out += "</p><nav>";
  if (!rows.empty()) out += "<a href=\"#comparison\">Comparison</a>";
  if (!rows.empty()) out += "<a href=\"#loads\">Loads</a>";
  if (rows.size() > 1) out += "<a href=\"#difference\">Beside the baseline</a>";
  for (std::size_t r = 0; r < rows.size(); ++r) {
    appendFormat(out, "<a href=\"#%s\" lang=\"ko\">", anchorOf(r).c_str());
    appendHtmlEscaped(out, decodedName(rows[r].name));
    out += "</a>";
  }
  out += "<a href=\"#text\">The text</a></nav></header>";
  if (rows.empty()) {
    out +=
        "<p id=\"no-layouts\">No layout was evaluated: there is no layout file of the set "
        "type asked for. The text's counts follow.</p>";
  } else {
    appendComparison(out, rows, std::min(baseline, rows.size() - 1), sample.boardName);
  }
  return out;
}

LoadShares loadShares(const KeystrokeCounts& c) {
  LoadShares loads;
  constexpr int kSlots[] = {0, 1, 2, 3, 5, 6, 7, 8, 9};
  Count all = 0;
  for (int slot : kSlots) all += c.fingerCount[static_cast<std::size_t>(slot)];
  for (std::size_t i = 0; i < std::size(kSlots); ++i) {
    loads.fingers[i] = shareOf(c.fingerCount[static_cast<std::size_t>(kSlots[i])], all);
  }
  std::array<Count, 4> perRow{};
  Count fourRows = 0;
  for (const auto& rows : c.generalKeyTable) {
    for (int row = 5; row >= 2; --row) {
      perRow[static_cast<std::size_t>(5 - row)] += rows[static_cast<std::size_t>(row)];
      fourRows += rows[static_cast<std::size_t>(row)];
    }
  }
  for (std::size_t i = 0; i < perRow.size(); ++i) loads.rows[i] = shareOf(perRow[i], fourRows);
  for (std::size_t hand = 0; hand < 2; ++hand) {
    std::array<Count, 4> strokes{};
    Count total = 0;
    for (int length = 1; length <= kRunBuckets; ++length) {
      const Count n = length * c.oneHandRuns[hand][static_cast<std::size_t>(length - 1)];
      strokes[static_cast<std::size_t>(std::min(length, 4) - 1)] += n;
      total += n;
    }
    for (std::size_t i = 0; i < strokes.size(); ++i)
      loads.runs[hand][i] = shareOf(strokes[i], total);
  }
  return loads;
}

namespace {

// One table of a load for every layout: a row per layout, a column per
// part, each cell a bar on the table's one scale (`full` percent fills
// kLoadBar pixels) and its value as text.
template <std::size_t N, typename Get>
void appendLoadTable(std::string& out, const char* title, const char* unit,
                     std::span<const ComparisonRow> rows, const char* const (&parts)[N],
                     double full, Get get) {
  constexpr double kLoadBar = 48;
  appendFormat(out,
               "<figure><h3>%s</h3><div class=\"scroll\"><table class=\"bars\"><thead><tr>"
               "<th class=\"t\">Layout</th>",
               title);
  for (const char* part : parts) appendFormat(out, "<th class=\"t\">%s</th>", part);
  out += "</tr></thead><tbody>";
  for (std::size_t r = 0; r < rows.size(); ++r) {
    out += "<tr><th class=\"t\" lang=\"ko\">";
    appendHtmlEscaped(out, decodedName(rows[r].name));
    out += "</th>";
    for (std::size_t i = 0; i < N; ++i) {
      const double share = get(r, i);
      appendFormat(out, "<td><i style=\"width:%.0fpx\"></i>%.1f",
                   std::clamp(share / full, 0.0, 1.0) * kLoadBar, share);
    }
    out += "</tr>";
  }
  appendFormat(out, "</tbody></table></div><figcaption>%s</figcaption></figure>", unit);
}

}  // namespace

std::string htmlLoadsSection(std::span<const ComparisonRow> rows,
                             std::span<const LoadShares> loads) {
  if (rows.empty() || loads.size() != rows.size()) return {};
  std::string out;
  out.reserve(2048 * rows.size());
  out += "<section id=\"loads\"><h2>Loads on one scale</h2><div class=\"wrap\">";
  static constexpr const char* kFingers[] = {"L5", "L4", "L3", "L2", "thumb",
                                             "R2", "R3", "R4", "R5"};
  static constexpr const char* kRowParts[] = {"number", "top", "home", "bottom"};
  static constexpr const char* kRunParts[] = {"1", "2", "3", "4+"};
  appendLoadTable(out, "Fingers, % of all strokes",
                  "Each finger's strokes (Shift presses included, the thumbs' on the space bar) "
                  "as % of all of them; a full bar is 40%, on every row.",
                  rows, kFingers, kFingerAxis,
                  [&](std::size_t r, std::size_t i) { return loads[r].fingers[i]; });
  appendLoadTable(out, "Rows, % of key presses",
                  "Key presses per row as % of the four rows' (Shift and the space bar apart); "
                  "a full bar is 100%.",
                  rows, kRowParts, kShareAxis,
                  [&](std::size_t r, std::size_t i) { return loads[r].rows[i]; });
  appendLoadTable(out, "One-hand runs, left hand, % of its run strokes",
                  "The left hand's run strokes by the length of their run; each row adds up to "
                  "100%, a full bar is 100%.",
                  rows, kRunParts, kShareAxis,
                  [&](std::size_t r, std::size_t i) { return loads[r].runs[0][i]; });
  appendLoadTable(out, "One-hand runs, right hand, % of its run strokes",
                  "The right hand's run strokes by the length of their run; each row adds up to "
                  "100%, a full bar is 100%.",
                  rows, kRunParts, kShareAxis,
                  [&](std::size_t r, std::size_t i) { return loads[r].runs[1][i]; });
  out += "</div></section>\n";
  return out;
}

std::string htmlDifferenceSection(std::span<const ComparisonRow> rows,
                                  std::span<const KeyboardPicture> pictures, std::size_t baseline) {
  if (rows.size() < 2 || pictures.size() != rows.size() || baseline >= rows.size()) return {};
  const std::string baseName = decodedName(rows[baseline].name);
  std::string out;
  out.reserve(16384 * pictures.size());
  out += "<section id=\"difference\"><h2>Beside the baseline <small lang=\"ko\">";
  appendHtmlEscaped(out, baseName);
  out +=
      "</small></h2><p class=\"legend\">On the left the baseline's keyboard, on the right "
      "another layout's keyboard coloured by how much more (orange) or less (purple) of "
      "the keystrokes each of its keys takes than the same key on the baseline, in "
      "percentage points, both levels together. Choose the layout:";
  for (std::size_t r = 0; r < rows.size(); ++r) {
    if (r == baseline) continue;
    appendFormat(out, " <a href=\"#vs-%zu\" lang=\"ko\">", r);
    appendHtmlEscaped(out, decodedName(rows[r].name));
    out += "</a>";
  }
  out += "</p><div class=\"side\"><figure class=\"kbf\"><h3 lang=\"ko\">";
  appendHtmlEscaped(out, baseName);
  out += " <small lang=\"en\">(baseline)</small></h3>";
  appendKeyboard(out, pictures[baseline], kDarkestKeyShare, "keyboard of the baseline " + baseName);
  appendColourLegend(out, 420, ticksUpTo(kDarkestKeyShare, "%g%%", true),
                     "share of keystrokes (the space bar, dashed, is apart)");
  out += "</figure><div class=\"vs\">";
  for (std::size_t r = 0; r < rows.size(); ++r) {
    if (r == baseline) continue;
    const std::string name = decodedName(rows[r].name);
    appendFormat(out, "<figure class=\"kbf\" id=\"vs-%zu\"><h3><span lang=\"ko\">", r);
    appendHtmlEscaped(out, name);
    appendFormat(out,
                 "</span> against the baseline <small><a href=\"#%s\">its section</a>"
                 "</small></h3>",
                 anchorOf(r).c_str());
    appendDifferenceKeyboard(out, pictures[r], pictures[baseline], kWidestKeyDifference,
                             "difference of " + name + " from " + baseName);
    out += "</figure>";
  }
  out += "</div></div>";
  std::vector<LegendTick> ticks;
  for (int step = -2; step <= 2; ++step) {
    std::string text = step == -2 ? "\xE2\x89\xA4" : step == 2 ? "\xE2\x89\xA5" : "";  // ≤ ≥
    text += differenceText(kWidestKeyDifference * step / 2, 1);
    ticks.push_back({(step + 2) / 4.0, text});
  }
  appendDivergingLegend(out, 420, ticks,
                        "difference in percentage points of keystrokes (layout minus baseline)");
  out += "</section>\n";
  return out;
}

namespace {

// A layout's figures of pairs and triples of strokes: the totals, then per
// figure its count (or sum) and its share.
void appendStrokeFigures(std::string& out, const StrokeFigures& figures,
                         const std::string& boardName) {
  out +=
      "<figure class=\"strokes\"><h3>Pairs and triples of strokes on the board <span lang=\"ko\">";
  appendHtmlEscaped(out, decodedName(boardName));
  out +=
      "</span></h3><table class=\"pairs\"><thead><tr><th class=\"t\">Figure</th><th>Count</th>"
      "<th>Share</th></tr></thead><tbody>";
  appendFormat(out,
               "<tr data-f=\"strokes\"><th class=\"t\">strokes</th><td>%lld</td><td></td></tr>"
               "<tr data-f=\"pairs\"><th class=\"t\">pairs</th><td>%lld</td><td></td></tr>"
               "<tr data-f=\"triples\"><th class=\"t\">triples</th><td>%lld</td><td></td></tr>",
               figures.strokes, figures.pairs, figures.triples);
  for (const StrokeColumn& column : strokeColumns()) {
    appendFormat(out, "<tr data-f=\"%s\"><th class=\"t\" title=\"", column.jsonName);
    appendHtmlEscaped(out, column.legend);
    appendFormat(out, "\">%s</th><td>", column.name);
    out += strokeAmountText(column, figures);
    out += "</td><td>";
    out += strokeFigureText(column, figures);
    appendFormat(out, "%s %s</td></tr>", column.amountIsSum ? "" : "%", column.per);
  }
  out +=
      "</tbody></table><figcaption>Counted on the stroke sequence: every key press and each "
      "Shift press before the key that needs it; a pair or triple with a thumb stroke counts "
      "only in the totals. The comparison's legend defines each figure.</figcaption></figure>";
}

}  // namespace

std::string htmlLayoutSection(const LayoutFindings& f, std::size_t number) {
  const LayoutRecord& layout = *f.layout;
  const std::string name = decodedName(displayName(layout.fileName));
  const KeyOutputTable outputs = keyOutputTable(layout);
  std::string out;
  out.reserve(40000);
  appendFormat(out, "<section class=\"layout\" id=\"%s\" data-name=\"", anchorOf(number).c_str());
  appendHtmlEscaped(out, name);
  out += "\"><h2><span lang=\"ko\">";
  appendHtmlEscaped(out, name);
  appendFormat(out, "</span><small>%d-set \xC2\xB7 ", layout.setType);
  // Off the shipped US board the board's fingers count, whatever the file says.
  const bool boardFingers = f.board != nullptr && !fingeringApplies(*f.board);
  appendHtmlEscaped(out, boardFingers ? "board" : layout.fingering);
  out += " fingering \xC2\xB7 ";
  if (f.board != nullptr) {
    out += "board <span lang=\"ko\">";
    appendHtmlEscaped(out, decodedName(f.board->name));
    out += "</span> \xC2\xB7 ";
  }
  out += "file <span lang=\"ko\">";
  appendHtmlEscaped(out, decodedName(layout.fileName));
  out += "</span>";
  appendFormat(out,
               "</small></h2><p class=\"meta\"><b>%lld</b> keystrokes (%lld key presses, %lld "
               "Shift presses) \xC2\xB7 <b>%.3f</b> per syllable \xC2\xB7 %lld untreated "
               "characters</p>",
               f.figures.keystrokes, f.counts.keyStrokes, f.counts.shiftStrokes,
               f.figures.keystrokesPerSyllable, f.untreated);
  if (!f.untreatedCharacters.empty()) {
    const std::size_t shown = std::min(f.untreatedCharacters.size(), kUntreatedKept);
    appendFormat(out,
                 "<p class=\"meta untreated\">Untreated: the characters of the text this layout "
                 "has no keys for%s, with how often the text holds them: <span lang=\"ko\">",
                 shown < f.untreatedCharacters.size() ? " (the 20 most frequent)" : "");
    for (std::size_t i = 0; i < shown; ++i) {
      const UntreatedCharacter& c = f.untreatedCharacters[i];
      out += i == 0 ? "<b>" : ", <b>";
      appendHtmlEscaped(out, utf8Jamo(c.text));
      appendFormat(out, "</b>&nbsp;%lld", c.count);
    }
    out += "</span></p>";
  }
  out += "<div class=\"wrap\"><figure class=\"kbf\" lang=\"ko\">";
  appendKeyboard(out, keyboardPicture(f), kDarkestKeyShare, "keyboard of " + name);
  out += "<div class=\"wrap\">";
  appendColourLegend(out, 420, ticksUpTo(kDarkestKeyShare, "%g%%", true),
                     "share of keystrokes (the same scale on every keyboard)");
  out +=
      "<figcaption lang=\"en\" style=\"max-width:470px\">Each key shows what it types by itself, "
      "shifted above and plain below (a jamo underlined is typed only as a final), its "
      "QWERTY name, its finger ";
  out += boardFingers ? "on the board" : "under this layout's fingering";
  out +=
      " and its share of keystrokes, "
      "both levels together (\"L2 5.4%\"); a key that types nothing by itself shows the "
      "jamo it starts, or a quote its file puts there. The space bar (dashed) is kept off "
      "the colour scale, so that the scale spans the character keys. Hover over a key for "
      "the strokes of each level.";
  if (f.board != nullptr) out += " Each key lies where the board puts it.";
  out += "</figcaption></div></figure>";
  // The fingers' and rows' loads stand in the loads section, every layout
  // on one scale; the runs' lengths in full stay here.
  appendRunChart(out, f.counts, 0);
  appendRunChart(out, f.counts, 1);
  appendPairTable(out, "Worst same-finger pairs", f.worstPairs.sameFinger, outputs,
                  f.figures.keystrokes, true);
  appendPairTable(out, "Worst same-key repeats", f.worstPairs.sameKey, outputs,
                  f.figures.keystrokes, false);
  if (f.hasStrokes) appendStrokeFigures(out, f.strokes, f.board != nullptr ? f.board->name : "");
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
               "<section id=\"text\" lang=\"ko\"><h2 lang=\"en\">The text</h2><p "
               "class=\"meta\"><b>%lld</b> Hangul "
               "syllables \xC2\xB7 %lld digits \xC2\xB7 %lld signs \xC2\xB7 %lld line feeds "
               "\xC2\xB7 %lld spaces</p><div class=\"wrap\">",
               text.natnaeCount, text.digitCount, signs, text.enterCount, text.spaceCount);
  appendJamoChart(out, "Initial jamo", text.initialCount, InitialNames, 2);
  appendJamoChart(out, "Medial jamo", text.medialCount, MedialNames, 3);
  appendJamoChart(out, "Final jamo", text.finalCount, FinalNames, 2);
  out += "</div><div class=\"wrap\">";
  const HeatAxis initials = heatAxis(InitialNames, 2, text.initialCount);
  const HeatAxis medials = heatAxis(MedialNames, 3, text.medialCount);
  const HeatAxis finals = heatAxis(FinalNames, 2, text.finalCount);
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
