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
};

// The table, in the order of `rows`, then its legend.
void printComparisonTable(std::span<const ComparisonRow> rows, std::FILE* out);

// Which way a column's figure is better, so that the best of a column can be
// marked: lower, higher, or nearer an even split (Left/Right).
enum class Better { notRanked, lower, higher, nearerEven };

struct ComparisonColumn {
  const char* header;
  bool leftAligned;
  const char* legend;  // one line defining the column
  Better better;
};

// The table's columns, in order.
std::span<const ComparisonColumn> comparisonColumns();

// A row's cells as the table prints them, one per column; names as they are.
std::vector<std::string> comparisonCells(const ComparisonRow& row);

// Per column, the rows (indices into `rows`) that show its best value, as
// printed (rounded figures that print alike tie). Empty for a column that is
// not ranked and for one where every row shows the same value.
std::vector<std::vector<std::size_t>> bestRows(std::span<const ComparisonRow> rows);

// The pair and triple figures of the rows on board `boardName`, one line a
// layout, then a legend line a column.
void printStrokeFigureTable(std::span<const ComparisonRow> rows, const std::string& boardName,
                            std::FILE* out);

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
