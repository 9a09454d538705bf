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
// figure can be checked against the report. Each figure column is one entry:
// header, alignment, legend, better direction, value, decimals, JSON name and,
// where the value alone does not make the cell, how the cell reads.
constexpr ComparisonColumn kColumns[] = {
    {"Layout", true, "name of the layout file", Better::notRanked, nullptr, 0, nullptr,
     [](const ComparisonRow& r) { return printable(r.name); }},
    {"Set", false, "2-set or 3-set layout", Better::notRanked, nullptr, 0, nullptr,
     [](const ComparisonRow& r) { return formatText("%d", r.setType); }},
    {"Fingering", true, "fingering model of the layout file", Better::notRanked, nullptr, 0,
     nullptr, [](const ComparisonRow& r) { return printable(r.fingering); }},
    {"Keys/syl", false,
     "keystrokes per Hangul syllable; keystrokes = \"General-key stokes\" + \"Shift-key strokes\"",
     Better::lower, [](const ComparisonFigures& f) { return f.keystrokesPerSyllable; }, 2,
     "keystrokesPerSyllable", nullptr},
    {"Keys/100", false,
     "keystrokes per 100 characters (syllables, digits, signs, symbols, spaces, line feeds)",
     Better::lower, [](const ComparisonFigures& f) { return f.keystrokesPer100Characters; }, 1,
     "keystrokesPer100Characters", nullptr},
    {"Shift%", false, "\"Shift-key strokes\", % of keystrokes", Better::lower,
     [](const ComparisonFigures& f) { return f.shiftShare; }, 2, "shiftShare", nullptr},
    {"Left/Right", false, "\"Total keystrokes except space\" of the left and the right hand, %",
     Better::nearerEven, [](const ComparisonFigures& f) { return f.leftHandShare; }, 1,
     "leftHandShare",
     [](const ComparisonRow& r) {
       return formatText("%.1f/%.1f", r.figures.leftHandShare, r.figures.rightHandShare);
     }},
    {"Home%", false, "home row, % of the four rows of \"Finger/Line frequency (General key)\"",
     Better::higher, [](const ComparisonFigures& f) { return f.homeRowShare; }, 1, "homeRowShare",
     nullptr},
    {"NumRow%", false, "number row, % of the four rows of \"Finger/Line frequency (General key)\"",
     Better::lower, [](const ComparisonFigures& f) { return f.numberRowShare; }, 1,
     "numberRowShare", nullptr},
    {"SameFgr%", false,
     "one-finger strokes on two different keys (one-finger - same-key), % of keystrokes",
     Better::lower, [](const ComparisonFigures& f) { return f.sameFingerShare; }, 2,
     "sameFingerShare", nullptr},
    {"SameKey%", false, "\"Continuous same-key strokes\", % of keystrokes", Better::lower,
     [](const ComparisonFigures& f) { return f.sameKeyShare; }, 2, "sameKeyShare", nullptr},
    {"Run4+%", false, "keystrokes in one-hand runs of 4 or more strokes, % of keystrokes",
     Better::lower, [](const ComparisonFigures& f) { return f.longOneHandRunShare; }, 2,
     "longOneHandRunShare", nullptr},
    {"Busiest", false, "finger with the most strokes (L5..L2, R2..R5), % of the L: and R: lines",
     Better::lower,
     [](const ComparisonFigures& f) {
       return f.busiestFingerLoad == 0 ? NAN : f.busiestFingerLoad;
     },
     1, "busiestFingerLoad",
     [](const ComparisonRow& r) {
       const ComparisonFigures& f = r.figures;
       return f.busiestFingerLoad == 0 ? std::string("-")
                                       : std::string(fingerName(f.busiestFinger)) +
                                             formatText(" %.1f%%", f.busiestFingerLoad);
     }},
    {"Untreated", false, "\"Untreated characters\": digits, signs, symbols the layout lacks",
     Better::lower, [](const ComparisonFigures& f) { return static_cast<double>(f.untreated); }, 0,
     "untreated", nullptr},
};
constexpr std::size_t kColumnCount = std::size(kColumns);
using Cells = std::array<std::string, kColumnCount>;

std::string cellOf(const ComparisonColumn& column, const ComparisonRow& row) {
  if (column.cell != nullptr) return column.cell(row);
  return formatText("%.*f", column.decimals, column.value(row.figures));
}

Cells cellsOf(const ComparisonRow& row) {
  Cells cells;
  for (std::size_t k = 0; k < kColumnCount; ++k) cells[k] = cellOf(kColumns[k], row);
  return cells;
}

const char* betterWords(Better better) {
  switch (better) {
    case Better::lower:
      return "; lower is better";
    case Better::higher:
      return "; higher is better";
    case Better::nearerEven:
      return "; nearer 50/50 is better";
    case Better::notRanked:
      break;
  }
  return "";
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

// A figure's merit for ranking, larger being better, from the figure rounded
// as printed so that figures that print alike tie: Left/Right by how far it
// is from an even split; a missing figure ("-") lowest of all.
double printedMerit(const ComparisonColumn& column, const ComparisonRow& row) {
  const double value = column.value(row.figures);
  if (std::isnan(value)) return -HUGE_VAL;
  const double scale = std::pow(10.0, column.decimals);
  const double printed = std::nearbyint(value * scale) / scale;
  switch (column.better) {
    case Better::lower:
      return -printed;
    case Better::higher:
      return printed;
    case Better::nearerEven:
      return -std::abs(printed - 50.0);
    case Better::notRanked:
      break;
  }
  return 0;
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
    std::fprintf(out, "%-*s  %s%s\n", static_cast<int>(headerWidth), column.header, column.legend,
                 betterWords(column.better));
  }
}

namespace {

double pairPercent(const StrokeFigures& f, Count n) {
  return 100 * shareOf(static_cast<double>(n), f.pairs);
}

double triplePercent(const StrokeFigures& f, Count n) {
  return 100 * shareOf(static_cast<double>(n), f.triples);
}

// The figures of pairs and triples, in the order of the tables. Each is a
// share of what it divides (pairs, triples, same-finger pairs, strokes) and
// the count or the sum that share is made of.
constexpr StrokeColumn kStrokeColumns[] = {
    {"Alt%", "alternation: consecutive strokes on different hands, % of pairs", Better::higher,
     "alternation", [](const StrokeFigures& f) { return pairPercent(f, f.alternation); },
     [](const StrokeFigures& f) { return static_cast<double>(f.alternation); }, 2, false,
     "alternation", "of pairs"},
    {"RollIn%", "one hand, different fingers, the second nearer the index finger, % of pairs",
     Better::lower, "rollIn", [](const StrokeFigures& f) { return pairPercent(f, f.rollIn); },
     [](const StrokeFigures& f) { return static_cast<double>(f.rollIn); }, 2, false, "roll in",
     "of pairs"},
    {"RollOut%", "one hand, different fingers, the second farther from the index, % of pairs",
     Better::lower, "rollOut", [](const StrokeFigures& f) { return pairPercent(f, f.rollOut); },
     [](const StrokeFigures& f) { return static_cast<double>(f.rollOut); }, 2, false, "roll out",
     "of pairs"},
    {"SFP%", "same finger, different keys, % of pairs", Better::lower, "sameFinger",
     [](const StrokeFigures& f) { return pairPercent(f, f.sameFinger); },
     [](const StrokeFigures& f) { return static_cast<double>(f.sameFinger); }, 2, false,
     "same finger", "of pairs"},
    {"SFDist", "mean distance of a same-finger pair's keys, key widths", Better::lower,
     "sameFingerDistance",
     [](const StrokeFigures& f) { return shareOf(f.sameFingerDistance, f.sameFinger); },
     [](const StrokeFigures& f) { return f.sameFingerDistance; }, 2, true, "same-finger distance",
     "key widths per same-finger pair"},
    {"Sciss%", "scissor: adjacent fingers of one hand, rows 2 or more apart, % of pairs",
     Better::lower, "scissor", [](const StrokeFigures& f) { return pairPercent(f, f.scissor); },
     [](const StrokeFigures& f) { return static_cast<double>(f.scissor); }, 2, false, "scissor",
     "of pairs"},
    {"LSB%", "lateral stretch: adjacent fingers, centres 2 key widths or more apart, % of pairs",
     Better::lower, "lateralStretch",
     [](const StrokeFigures& f) { return pairPercent(f, f.lateral); },
     [](const StrokeFigures& f) { return static_cast<double>(f.lateral); }, 2, false,
     "lateral stretch", "of pairs"},
    {"Redir%",
     "redirect: one-hand triple changing direction, no finger twice in a row, % of "
     "triples",
     Better::lower, "redirect", [](const StrokeFigures& f) { return triplePercent(f, f.redirect); },
     [](const StrokeFigures& f) { return static_cast<double>(f.redirect); }, 2, false, "redirect",
     "of triples"},
    {"BadRed%", "bad redirect: a redirect without the index finger, % of triples", Better::lower,
     "badRedirect", [](const StrokeFigures& f) { return triplePercent(f, f.badRedirect); },
     [](const StrokeFigures& f) { return static_cast<double>(f.badRedirect); }, 2, false,
     "bad redirect", "of triples"},
    {"Roll3%", "one-hand roll: one-hand triple keeping its direction, % of triples", Better::lower,
     "oneHandRoll", [](const StrokeFigures& f) { return triplePercent(f, f.oneHandRoll); },
     [](const StrokeFigures& f) { return static_cast<double>(f.oneHandRoll); }, 2, false,
     "one-hand roll", "of triples"},
    {"Skip%", "skipgram: first and third stroke on one finger, different keys, % of triples",
     Better::lower, "skipgram", [](const StrokeFigures& f) { return triplePercent(f, f.skipgram); },
     [](const StrokeFigures& f) { return static_cast<double>(f.skipgram); }, 2, false, "skipgram",
     "of triples"},
    {"Effort", "board effort per stroke (a Shift press is a stroke of its Shift key)",
     Better::lower, "effort", [](const StrokeFigures& f) { return shareOf(f.effort, f.strokes); },
     [](const StrokeFigures& f) { return f.effort; }, 3, true, "effort", "per stroke"},
};
constexpr std::size_t kStrokeFigureCount = std::size(kStrokeColumns);
constexpr std::size_t kStrokeColumnCount = kStrokeFigureCount + 1;  // the name first

std::array<std::string, kStrokeColumnCount> strokeCells(const ComparisonRow& row) {
  std::array<std::string, kStrokeColumnCount> cells;
  cells[0] = printable(row.name);
  for (std::size_t k = 0; k < kStrokeFigureCount; ++k) {
    cells[k + 1] = strokeFigureText(kStrokeColumns[k], row.strokes);
  }
  return cells;
}

}  // namespace

void printStrokeFigureTable(std::span<const ComparisonRow> rows, const std::string& boardName,
                            std::FILE* out) {
  std::fprintf(out, "\nPairs and triples of strokes on the board %s:\n",
               printable(boardName).c_str());
  using StrokeCells = std::array<std::string, kStrokeColumnCount>;
  StrokeCells header;
  std::array<std::size_t, kStrokeColumnCount> widths{};
  for (std::size_t k = 0; k < kStrokeColumnCount; ++k) {
    header[k] = k == 0 ? "Layout" : kStrokeColumns[k - 1].header;
    widths[k] = header[k].size();
  }
  std::vector<StrokeCells> lines;
  for (const ComparisonRow& row : rows) {
    if (!row.hasStrokes) continue;
    lines.push_back(strokeCells(row));
    for (std::size_t k = 0; k < kStrokeColumnCount; ++k) {
      widths[k] = std::max(widths[k], displayWidth(lines.back()[k]));
    }
  }
  auto print = [&](const StrokeCells& cells) {
    for (std::size_t k = 0; k < kStrokeColumnCount; ++k) {
      if (k > 0) std::fputs("  ", out);
      printPadded(cells[k], widths[k], k == 0, out);
    }
    std::fputc('\n', out);
  };
  print(header);
  StrokeCells rules;
  for (std::size_t k = 0; k < kStrokeColumnCount; ++k) rules[k] = std::string(widths[k], '-');
  print(rules);
  for (const StrokeCells& line : lines) print(line);
  std::fputc('\n', out);
  std::fprintf(out, "%-8s  %s\n", "Layout", "name of the layout file");
  for (const StrokeColumn& column : kStrokeColumns) {
    std::fprintf(out, "%-8s  %s\n", column.header, column.legend);
  }
}

std::span<const StrokeColumn> strokeColumns() {
  return kStrokeColumns;
}

std::string strokeFigureText(const StrokeColumn& column, const StrokeFigures& figures) {
  return formatText("%.*f", column.decimals, column.value(figures));
}

std::vector<std::vector<int>> strokeRanks(std::span<const ComparisonRow> rows) {
  std::vector<std::vector<int>> ranks(kStrokeFigureCount, std::vector<int>(rows.size(), 0));
  for (std::size_t k = 0; k < kStrokeFigureCount; ++k) {
    const StrokeColumn& column = kStrokeColumns[k];
    // Ranked by the share as printed, so that shares that print alike tie.
    const double scale = std::pow(10.0, column.decimals);
    std::vector<double> merit(rows.size(), -HUGE_VAL);
    for (std::size_t r = 0; r < rows.size(); ++r) {
      if (!rows[r].hasStrokes) continue;
      const double printed = std::nearbyint(column.value(rows[r].strokes) * scale) / scale;
      merit[r] = column.better == Better::higher ? printed : -printed;
    }
    for (std::size_t r = 0; r < rows.size(); ++r) {
      if (!rows[r].hasStrokes) continue;
      ranks[k][r] = 1 + static_cast<int>(std::count_if(merit.begin(), merit.end(),
                                                       [&](double m) { return m > merit[r]; }));
    }
  }
  return ranks;
}

std::vector<std::vector<std::size_t>> bestStrokeRows(std::span<const ComparisonRow> rows) {
  std::vector<std::vector<std::size_t>> best(kStrokeFigureCount);
  if (!sameCoverage(rows)) return best;
  const std::vector<std::vector<int>> ranks = strokeRanks(rows);
  for (std::size_t k = 0; k < kStrokeFigureCount; ++k) {
    const bool allAlike = std::all_of(ranks[k].begin(), ranks[k].end(),
                                      [](int rank) { return rank == 0 || rank == 1; });
    if (allAlike) continue;
    for (std::size_t r = 0; r < rows.size(); ++r) {
      if (ranks[k][r] == 1) best[k].push_back(r);
    }
  }
  return best;
}

void printDifferenceTable(std::span<const ComparisonRow> rows, std::size_t baseline,
                          std::FILE* out) {
  if (rows.size() < 2 || baseline >= rows.size()) return;
  std::vector<std::size_t> shown;  // the columns: the name and every figure
  for (std::size_t k = 0; k < kColumnCount; ++k) {
    if (k == 0 || kColumns[k].value != nullptr) shown.push_back(k);
  }
  std::vector<std::vector<std::string>> lines;
  std::vector<std::size_t> widths;
  for (std::size_t k : shown) {
    lines.resize(1);
    lines[0].push_back(kColumns[k].header);
    widths.push_back(std::string_view(kColumns[k].header).size());
  }
  for (std::size_t r = 0; r < rows.size(); ++r) {
    if (r == baseline) continue;
    std::vector<std::string> line;
    for (std::size_t k : shown) {
      line.push_back(k == 0 ? printable(rows[r].name)
                            : differenceText(figureDifference(kColumns[k], rows[r], rows[baseline]),
                                             kColumns[k].decimals));
    }
    lines.push_back(std::move(line));
  }
  for (const auto& line : lines) {
    for (std::size_t c = 0; c < line.size(); ++c) {
      widths[c] = std::max(widths[c], displayWidth(line[c]));
    }
  }
  std::fprintf(out,
               "\nDifference from the baseline %s (the layout's figure minus the baseline's)\n",
               printable(rows[baseline].name).c_str());
  for (std::size_t n = 0; n < lines.size(); ++n) {
    for (std::size_t c = 0; c < shown.size(); ++c) {
      if (c > 0) std::fputs("  ", out);
      printPadded(lines[n][c], widths[c], kColumns[shown[c]].leftAligned, out);
    }
    std::fputc('\n', out);
    if (n == 0) {
      for (std::size_t c = 0; c < shown.size(); ++c) {
        if (c > 0) std::fputs("  ", out);
        std::fputs(std::string(widths[c], '-').c_str(), out);
      }
      std::fputc('\n', out);
    }
  }
  std::fputs("Left/Right: the left hand's share; Busiest: its finger's share, whichever finger\n",
             out);
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

double figureDifference(const ComparisonColumn& column, const ComparisonRow& row,
                        const ComparisonRow& baseline) {
  if (column.value == nullptr) return 0;
  return column.value(row.figures) - column.value(baseline.figures);
}

std::string differenceText(double difference, int decimals) {
  if (std::isnan(difference)) return "-";
  const double scale = std::pow(10.0, decimals);
  if (std::nearbyint(difference * scale) == 0) return formatText("%.*f", decimals, 0.0);
  return formatText("%+.*f", decimals, difference);
}

bool sameCoverage(std::span<const ComparisonRow> rows) {
  return std::all_of(rows.begin(), rows.end(), [&rows](const ComparisonRow& row) {
    return row.figures.untreated == rows.front().figures.untreated;
  });
}

std::vector<std::vector<int>> columnRanks(std::span<const ComparisonRow> rows) {
  std::vector<std::vector<int>> ranks(kColumnCount, std::vector<int>(rows.size(), 0));
  for (std::size_t k = 0; k < kColumnCount; ++k) {
    if (kColumns[k].better == Better::notRanked) continue;
    std::vector<double> merit;
    for (const ComparisonRow& row : rows) merit.push_back(printedMerit(kColumns[k], row));
    for (std::size_t r = 0; r < rows.size(); ++r) {
      ranks[k][r] = 1 + static_cast<int>(std::count_if(merit.begin(), merit.end(),
                                                       [&](double m) { return m > merit[r]; }));
    }
  }
  return ranks;
}

std::vector<std::vector<std::size_t>> bestRows(std::span<const ComparisonRow> rows) {
  std::vector<std::vector<std::size_t>> best(kColumnCount);
  const bool comparable = sameCoverage(rows);
  const std::vector<std::vector<int>> ranks = columnRanks(rows);
  for (std::size_t k = 0; k < kColumnCount; ++k) {
    const ComparisonColumn& column = kColumns[k];
    if (column.better == Better::notRanked || rows.empty()) continue;
    if (!comparable && std::string_view(column.header) != "Untreated") continue;
    const bool allAlike =
        std::all_of(ranks[k].begin(), ranks[k].end(), [](int r) { return r == 1; });
    if (allAlike) continue;
    for (std::size_t r = 0; r < rows.size(); ++r) {
      if (ranks[k][r] == 1) best[k].push_back(r);
    }
  }
  return best;
}

std::size_t rowNamed(std::span<const ComparisonRow> rows, std::string_view name) {
  for (std::size_t r = 0; r < rows.size(); ++r) {
    if (rows[r].name == name) return r;
  }
  return rows.size();
}

void printUntreatedCharacters(std::span<const ComparisonRow> rows, std::size_t howMany,
                              OutputEncoding encoding, std::FILE* out) {
  bool any = false;
  for (const ComparisonRow& row : rows) {
    if (row.untreated.empty()) continue;
    if (!any) {
      std::fprintf(out,
                   "\nUntreated characters: what each layout has no keys for (the first %zu, "
                   "with how often the text holds them)\n",
                   howMany);
      any = true;
    }
    std::fprintf(out, "  %s:", printable(row.name).c_str());
    for (std::size_t i = 0; i < std::min(howMany, row.untreated.size()); ++i) {
      const UntreatedCharacter& c = row.untreated[i];
      std::fprintf(out, " %s %lld", std::string(displayText(c.text, encoding)).c_str(), c.count);
    }
    std::fputc('\n', out);
  }
}

}  // namespace kbeval
