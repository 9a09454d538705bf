#include "views/comparison_table.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

#include "layouts/key_outputs.h"
#include "views/key_labels.h"
#include "views/utf8_text.h"

namespace kbeval {

namespace {

struct Column {
  const char* header;
  bool leftAligned;
  const char* legend;
};

// The keystroke report's own names are quoted in the legend, so that every
// figure can be checked against the report.
constexpr Column kColumns[] = {
    {"Layout", true, "name of the layout file"},
    {"Set", false, "2-set or 3-set layout"},
    {"Fingering", true, "fingering model of the layout file"},
    {"Keys/syl", false,
     "keystrokes per Hangul syllable; keystrokes = \"General-key stokes\" + \"Shift-key strokes\""},
    {"Keys/100", false,
     "keystrokes per 100 characters (syllables, digits, signs, symbols, spaces, line feeds)"},
    {"Shift%", false, "\"Shift-key strokes\", % of keystrokes"},
    {"Left/Right", false, "\"Total keystrokes except space\" of the left and the right hand, %"},
    {"Home%", false, "home row, % of the four rows of \"Finger/Line frequency (General key)\""},
    {"NumRow%", false, "number row, % of the four rows of \"Finger/Line frequency (General key)\""},
    {"SameFgr%", false,
     "one-finger strokes on two different keys (one-finger - same-key), % of keystrokes"},
    {"SameKey%", false, "\"Continuous same-key strokes\", % of keystrokes"},
    {"Run4+%", false, "keystrokes in one-hand runs of 4 or more strokes, % of keystrokes"},
    {"Busiest", false, "finger with the most strokes (L5..L2, R2..R5), % of the L: and R: lines"},
    {"Untreated", false, "\"Untreated characters\": digits, signs, symbols the layout lacks"},
};
constexpr std::size_t kColumnCount = std::size(kColumns);
using Cells = std::array<std::string, kColumnCount>;

std::string formatted(const char* format, auto... values) {
  char cell[64];
  std::snprintf(cell, sizeof cell, format, values...);
  return cell;
}

// A name as the table shows it: control bytes would break the rows.
std::string printable(std::string_view name) {
  std::string shown(name);
  for (char& c : shown) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) c = '?';
  }
  return shown;
}

Cells cellsOf(const ComparisonRow& row) {
  const ComparisonFigures& f = row.figures;
  return {
      printable(row.name),
      formatted("%d", row.setType),
      printable(row.fingering),
      formatted("%.2f", f.keystrokesPerSyllable),
      formatted("%.1f", f.keystrokesPer100Characters),
      formatted("%.2f", f.shiftShare),
      formatted("%.1f/%.1f", f.leftHandShare, f.rightHandShare),
      formatted("%.1f", f.homeRowShare),
      formatted("%.1f", f.numberRowShare),
      formatted("%.2f", f.sameFingerShare),
      formatted("%.2f", f.sameKeyShare),
      formatted("%.2f", f.longOneHandRunShare),
      f.busiestFingerLoad == 0
          ? std::string("-")
          : std::string(fingerName(f.busiestFinger)) + formatted(" %.1f%%", f.busiestFingerLoad),
      formatted("%lld", f.untreated),
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
  for (const Column& column : kColumns) {
    headerWidth = std::max(headerWidth, std::string_view(column.header).size());
  }
  for (const Column& column : kColumns) {
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
    // A key that types its own sign needs no label: "0", not "0 0".
    const auto key = [&](unsigned char k) {
      const std::string name = keyName(k);
      const std::string label = keyLabel(keyOutputs(*layout.layout, k), encoding);
      return label.empty() || label == name ? name : name + " " + label;
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

}  // namespace kbeval
