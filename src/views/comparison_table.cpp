#include "views/comparison_table.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "base/format.h"
#include "layouts/key_outputs.h"
#include "views/key_labels.h"
#include "views/utf8_text.h"

namespace kbeval {

namespace {

// The keystroke report's own names are quoted in the legend, so that every
// figure can be checked against the report.
constexpr ComparisonColumn kColumns[] = {
    {"Layout", true, "name of the layout file", Better::notRanked},
    {"Set", false, "2-set or 3-set layout", Better::notRanked},
    {"Fingering", true, "fingering model of the layout file", Better::notRanked},
    {"Keys/syl", false,
     "keystrokes per Hangul syllable; keystrokes = \"General-key stokes\" + \"Shift-key strokes\"",
     Better::lower},
    {"Keys/100", false,
     "keystrokes per 100 characters (syllables, digits, signs, symbols, spaces, line feeds)",
     Better::lower},
    {"Shift%", false, "\"Shift-key strokes\", % of keystrokes", Better::lower},
    {"Left/Right", false, "\"Total keystrokes except space\" of the left and the right hand, %",
     Better::nearerEven},
    {"Home%", false, "home row, % of the four rows of \"Finger/Line frequency (General key)\"",
     Better::higher},
    {"NumRow%", false, "number row, % of the four rows of \"Finger/Line frequency (General key)\"",
     Better::lower},
    {"SameFgr%", false,
     "one-finger strokes on two different keys (one-finger - same-key), % of keystrokes",
     Better::lower},
    {"SameKey%", false, "\"Continuous same-key strokes\", % of keystrokes", Better::lower},
    {"Run4+%", false, "keystrokes in one-hand runs of 4 or more strokes, % of keystrokes",
     Better::lower},
    {"Busiest", false, "finger with the most strokes (L5..L2, R2..R5), % of the L: and R: lines",
     Better::lower},
    {"Untreated", false, "\"Untreated characters\": digits, signs, symbols the layout lacks",
     Better::lower},
};
constexpr std::size_t kColumnCount = std::size(kColumns);
using Cells = std::array<std::string, kColumnCount>;

Cells cellsOf(const ComparisonRow& row) {
  const ComparisonFigures& f = row.figures;
  return {
      printable(row.name),
      formatText("%d", row.setType),
      printable(row.fingering),
      formatText("%.2f", f.keystrokesPerSyllable),
      formatText("%.1f", f.keystrokesPer100Characters),
      formatText("%.2f", f.shiftShare),
      formatText("%.1f/%.1f", f.leftHandShare, f.rightHandShare),
      formatText("%.1f", f.homeRowShare),
      formatText("%.1f", f.numberRowShare),
      formatText("%.2f", f.sameFingerShare),
      formatText("%.2f", f.sameKeyShare),
      formatText("%.2f", f.longOneHandRunShare),
      f.busiestFingerLoad == 0
          ? std::string("-")
          : std::string(fingerName(f.busiestFinger)) + formatText(" %.1f%%", f.busiestFingerLoad),
      formatText("%lld", f.untreated),
  };
}

void printPadded(const std::string& cell, std::size_t width, bool leftAligned, std::FILE* out) {
  const std::string padding(width - std::min(width, displayWidth(cell)), ' ');
  if (!leftAligned) std::fputs(padding.c_str(), out);
  std::fputs(cell.c_str(), out);
  if (leftAligned) std::fputs(padding.c_str(), out);
}

void printLine(const Cells& cells, const std::array<std::size_t, kColumnCount>& widths,
               std::FILE* out) {
  for (std::size_t k = 0; k < kColumnCount; ++k) {
    if (k > 0) std::fputs("  ", out);
    printPadded(cells[k], widths[k], kColumns[k].leftAligned, out);
  }
  std::fputc('\n', out);
}

// A cell's merit for ranking, larger being better, read back from the cell
// as printed so that figures that print alike tie: "54.7/45.3" by how far
// it is from an even split, "L2 20.3%" by its share, "-" (no finger used)
// lowest of all.
double printedMerit(const std::string& cell, Better better) {
  if (better == Better::nearerEven) {
    double left = 0, right = 0;
    if (std::sscanf(cell.c_str(), "%lf/%lf", &left, &right) != 2) return -HUGE_VAL;
    return -std::abs(left - right);
  }
  const std::size_t space = cell.rfind(' ');
  const char* number = cell.c_str() + (space == std::string::npos ? 0 : space + 1);
  char* end = nullptr;
  const double value = std::strtod(number, &end);
  if (end == number) return -HUGE_VAL;
  return better == Better::lower ? -value : value;
}

}  // namespace

void printComparisonTable(std::span<const ComparisonRow> rows, std::FILE* out) {
  Cells header;
  std::array<std::size_t, kColumnCount> widths{};
  for (std::size_t k = 0; k < kColumnCount; ++k) {
    header[k] = kColumns[k].header;
    widths[k] = header[k].size();
  }
  std::vector<Cells> lines;
  lines.reserve(rows.size());
  for (const ComparisonRow& row : rows) {
    lines.push_back(cellsOf(row));
    for (std::size_t k = 0; k < kColumnCount; ++k) {
      widths[k] = std::max(widths[k], displayWidth(lines.back()[k]));
    }
  }
  printLine(header, widths, out);
  Cells rules;
  for (std::size_t k = 0; k < kColumnCount; ++k) rules[k] = std::string(widths[k], '-');
  printLine(rules, widths, out);
  for (const Cells& line : lines) printLine(line, widths, out);

  std::fputc('\n', out);
  std::size_t headerWidth = 0;
  for (const ComparisonColumn& column : kColumns) {
    headerWidth = std::max(headerWidth, std::string_view(column.header).size());
  }
  for (const ComparisonColumn& column : kColumns) {
    std::fprintf(out, "%-*s  %s\n", static_cast<int>(headerWidth), column.header, column.legend);
  }
}

void printWorstPairs(std::span<const LayoutPairs> layouts, std::size_t howMany,
                     OutputEncoding encoding, std::FILE* out) {
  std::fprintf(out,
               "\nMost frequent same-finger pairs of different keys and same-key repeats (top "
               "%zu):\nstrokes, %% of keystrokes, the keys in typing order and what each types\n",
               howMany);
  // The arrow between two keys is the character table's own, so it prints in
  // either encoding.
  std::string arrow = " ";
  arrow.append(displayText("\xA1\xE6", encoding)).append(" ");
  for (const LayoutPairs& layout : layouts) {
    const auto key = [&](unsigned char k) {
      return keyWithLabel(k, keyOutputs(*layout.layout, k), encoding);
    };
    const auto printList = [&](const char* title, const std::vector<KeyPairCount>& pairs,
                               bool bothKeys) {
      std::fprintf(out, "  %-12s", title);
      if (pairs.empty()) std::fputs("  none\n", out);
      for (std::size_t i = 0; i < std::min(howMany, pairs.size()); ++i) {
        const KeyPairCount& p = pairs[i];
        if (i > 0) std::fprintf(out, "  %-12s", "");
        std::fprintf(out, "%9lld %6.2f%%  ", p.strokes, pairShare(p, layout.keystrokes));
        std::string keys = key(p.first);
        if (bothKeys) keys += arrow + key(p.second);
        if (p.viaShift) keys += "  (with Shift)";
        std::fprintf(out, "%s\n", keys.c_str());
      }
    };
    std::fprintf(out, "\n%s\n", printable(layout.name).c_str());
    printList("same finger", layout.pairs.sameFinger, true);
    printList("same key", layout.pairs.sameKey, false);
  }
}

std::span<const ComparisonColumn> comparisonColumns() {
  return kColumns;
}

std::vector<std::string> comparisonCells(const ComparisonRow& row) {
  const Cells cells = cellsOf(row);
  std::vector<std::string> shown(cells.begin(), cells.end());
  shown[0] = row.name;  // as it is: the caller shows control bytes its own way
  shown[2] = row.fingering;
  return shown;
}

std::vector<std::vector<std::size_t>> bestRows(std::span<const ComparisonRow> rows) {
  std::vector<std::vector<std::size_t>> best(kColumnCount);
  std::vector<Cells> cells;
  cells.reserve(rows.size());
  for (const ComparisonRow& row : rows) cells.push_back(cellsOf(row));
  for (std::size_t k = 0; k < kColumnCount; ++k) {
    const Better better = kColumns[k].better;
    if (better == Better::notRanked || cells.empty()) continue;
    // Each cell's merit, larger being better, from the figure as printed.
    std::vector<double> merit;
    for (const Cells& line : cells) merit.push_back(printedMerit(line[k], better));
    const double top = *std::max_element(merit.begin(), merit.end());
    const bool allAlike =
        std::all_of(merit.begin(), merit.end(), [top](double m) { return m == top; });
    if (allAlike || top == -HUGE_VAL) continue;
    for (std::size_t r = 0; r < merit.size(); ++r) {
      if (merit[r] == top) best[k].push_back(r);
    }
  }
  return best;
}

}  // namespace kbeval
