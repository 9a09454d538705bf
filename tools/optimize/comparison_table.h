// The comparison table of kbeval-optimize: one row of comparison figures per
// layout, with a legend. (Its columns are those of kbeval's comparison.)
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "views/comparison_figures.h"

namespace kbeval {

using ComparisonRow = std::pair<std::string, ComparisonFigures>;

// The table and its legend, each line ended by a line feed.
std::string comparisonTable(const std::vector<ComparisonRow>& rows);

}  // namespace kbeval
