// What a run shows beside or instead of the keystroke reports: the comparison
// table with the worst pairs (--compare) and the JSON document (--json).
//
// The driver hands every pass over to them as it ends; they keep only what
// they still need at the end (a table row and a few pairs per layout) and
// write the JSON layout by layout, so memory does not grow with thousands of
// layouts. A JSON file is opened before the sample is read, so that a path
// that cannot be written fails at once, and takes its name only at the end.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "driver/command_line.h"
#include "driver/output_file.h"
#include "driver/sample_analysis.h"
#include "views/comparison_table.h"
#include "views/json_report.h"
#include "views/layout_findings.h"

namespace kbeval {

// Pairs of each kind --compare shows per layout.
inline constexpr std::size_t kComparedPairs = 3;

struct RunViews {
  bool compare = false;
  OutputEncoding encoding = OutputEncoding::cp949;
  std::vector<ComparisonRow> rows;
  std::vector<LayoutPairs> pairs;

  bool json = false;
  bool jsonToStandardOutput = false;  // then standard output holds the JSON alone
  std::string jsonPath;
  OutputFile jsonFile;
  std::FILE* jsonStream = nullptr;
  JsonSample sample;
  bool jsonStarted = false;
  bool firstJsonLayout = true;
};

// Sets the views up as `options` ask. False, with `error` set to one line,
// when the JSON file cannot be written.
bool startRunViews(const RunOptions& options, long long sampleBytes, std::FILE* out,
                   RunViews& views, std::string& error);

// Everything the views show about layout `index` of a finished pass.
LayoutFindings layoutFindings(const SampleAnalysis& analysis, std::size_t index);

// Takes the results of a finished pass.
void addPassToRunViews(RunViews& views, const SampleAnalysis& analysis);

// Prints the comparison to `out` and ends the JSON document. False, with
// `error` set, when the JSON could not be written.
bool finishRunViews(RunViews& views, std::FILE* out, std::string& error);

}  // namespace kbeval
