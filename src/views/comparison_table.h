// The comparison of layouts at a glance: one table row of comparison figures
// per layout with a one-line legend per column, and per layout the pairs of
// keystrokes that cost the most same-finger and same-key strokes.
//
// Columns are as wide as their widest cell, so long layout names and any
// number of rows stay aligned; names are measured in terminal columns (a
// Hangul syllable in UTF-8 takes two), and control bytes in them show as "?".
#pragma once

#include <cstddef>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "keystrokes/key_pairs.h"
#include "keystrokes/stroke_figures.h"
#include "layouts/layout_record.h"
#include "text/encodings.h"
#include "views/comparison_figures.h"

namespace kbeval {

struct ComparisonRow {
  std::string name;
  int setType = 0;
  std::string fingering;
  ComparisonFigures figures;
  bool hasStrokes = false;  // the pair and triple figures were counted (--board)
  StrokeFigures strokes{};
  std::vector<UntreatedCharacter> untreated;  // the most frequent first, at most kUntreatedKept
};

// The table, in the order of `rows`, then its legend.
void printComparisonTable(std::span<const ComparisonRow> rows, std::FILE* out);

// Which way a column's figure is better, so that the layouts can be ranked:
// lower, higher, or nearer an even split (Left/Right).
enum class Better { notRanked, lower, higher, nearerEven };

// One column of the comparison. The table is data: a new figure is one more
// entry of comparisonColumns(), and the text table, its differences, the
// ranks, the JSON's differences and the HTML table all follow from it.
struct ComparisonColumn {
  const char* header;
  bool leftAligned;
  const char* legend;  // one line defining the column
  Better better;
  // The figure the column ranks and subtracts (NaN where the layout has none);
  // nullptr for a descriptive column (name, set, fingering).
  double (*value)(const ComparisonFigures&);
  int decimals;          // of the figure and its difference, as printed
  const char* jsonName;  // the figure's name among the JSON's "figures"
  // The cell as printed; nullptr: the value with `decimals` decimals.
  std::string (*cell)(const ComparisonRow&);
};

// The table, in the order of `rows`, then its legend.
void printComparisonTable(std::span<const ComparisonRow> rows, std::FILE* out);

// Every other row's figures minus those of row `baseline`, one column per
// figure, in the order of `rows`; nothing when there is no other row.
void printDifferenceTable(std::span<const ComparisonRow> rows, std::size_t baseline,
                          std::FILE* out);

// The table's columns, in order.
std::span<const ComparisonColumn> comparisonColumns();

// A row's cells as the table prints them, one per column; names as they are.
std::vector<std::string> comparisonCells(const ComparisonRow& row);

// `row`'s figure of `column` minus `baseline`'s (NaN where either has none,
// 0 for a descriptive column).
double figureDifference(const ComparisonColumn& column, const ComparisonRow& row,
                        const ComparisonRow& baseline);

// A difference as the tables print it: "+0.25", "-3", "0.00" for one that
// rounds to nothing, "-" for NaN.
std::string differenceText(double difference, int decimals);

// Whether every row leaves the same number of characters untreated, so that
// all of them type the same text.
bool sameCoverage(std::span<const ComparisonRow> rows);

// Per column, each row's rank (1 the best; rows whose figures print alike
// share a rank), by the figures as printed; 0 in a column that is not ranked.
std::vector<std::vector<int>> columnRanks(std::span<const ComparisonRow> rows);

// Per column, the rows (indices into `rows`) that show its best value, as
// printed (rounded figures that print alike tie). Empty for a column that is
// not ranked, for one where every row shows the same value, and, when the
// rows do not all have the same coverage, for every column but Untreated:
// a layout that leaves part of the text untyped is not better for it.
std::vector<std::vector<std::size_t>> bestRows(std::span<const ComparisonRow> rows);

// The pair and triple figures of the rows on board `boardName`, one line a
// layout, then a legend line a column.
void printStrokeFigureTable(std::span<const ComparisonRow> rows, const std::string& boardName,
                            std::FILE* out);

// One figure of pairs and triples of strokes (--board), as the text table and
// the HTML report show it: a share of what it divides (in percent of pairs or
// of triples, or a mean per same-finger pair or per stroke) and the count or
// sum it is made of.
struct StrokeColumn {
  const char* header;
  const char* legend;                      // one line defining it
  Better better;                           // alternation higher, the others lower
  const char* jsonName;                    // its object among the JSON's "strokeFigures"
  double (*value)(const StrokeFigures&);   // the share as ranked and printed
  double (*amount)(const StrokeFigures&);  // the count (or the sum) it divides
  int decimals;                            // of the share, as printed
  bool amountIsSum;                        // a sum of real numbers (distance, effort), not a count
  const char* name;                        // in words: "roll in"
  const char* per;                         // what the share is of: "of pairs", "per stroke"
};

// The figures of pairs and triples, in the tables' order.
std::span<const StrokeColumn> strokeColumns();

// A figure's share as the tables print it ("12.34").
std::string strokeFigureText(const StrokeColumn& column, const StrokeFigures& figures);

// Per stroke figure, the rows (indices into `rows`) that show its best share
// as printed, by the rules of bestRows: none where every row with the figures
// shows the same, and none when the rows do not all have the same coverage.
// Rows without the figures take no part.
std::vector<std::vector<std::size_t>> bestStrokeRows(std::span<const ComparisonRow> rows);

// Per stroke figure, each row's rank among the rows with the figures (1 the
// best, shares that print alike share a rank); 0 for a row without them.
std::vector<std::vector<int>> strokeRanks(std::span<const ComparisonRow> rows);

// The index of the row named `name`, or rows.size() when there is none.
std::size_t rowNamed(std::span<const ComparisonRow> rows, std::string_view name);

// Per layout that leaves any character untreated, one line: its name and its
// first `howMany` untreated characters with their counts, in `encoding`.
void printUntreatedCharacters(std::span<const ComparisonRow> rows, std::size_t howMany,
                              OutputEncoding encoding, std::FILE* out);

struct LayoutPairs {
  std::string name;
  const LayoutRecord* layout = nullptr;  // what its keys type
  Count keystrokes = 0;                  // the figures' keystrokes, for the shares
  WorstPairs pairs;
};

// Per layout, the first `howMany` pairs of each kind, with what their keys
// type printed in `encoding`.
void printWorstPairs(std::span<const LayoutPairs> layouts, std::size_t howMany,
                     OutputEncoding encoding, std::FILE* out);

}  // namespace kbeval
