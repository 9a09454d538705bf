// What a run shows beside or instead of the keystroke reports: the comparison
// table with the worst pairs (--compare), the JSON document (--json) and the
// HTML report (--html).
//
// The driver hands every pass over to them as it ends; they keep only what
// they still need at the end (a table row and a few pairs per layout) and
// write the JSON layout by layout, so memory does not grow with thousands of
// layouts. The HTML report's layout sections wait in a temporary file until
// the comparison table that heads the page is known. Both files are opened
// before the sample is read, so that a path that cannot be written fails at
// once, and take their names only at the end.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "command_line.h"
#include "sample/sample_analysis.h"
#include "shell/output_file.h"
#include "views/comparison_table.h"
#include "views/html_report.h"
#include "views/json_report.h"
#include "views/layout_findings.h"

namespace kbeval {

// Pairs of each kind --compare shows per layout.
inline constexpr std::size_t kComparedPairs = 3;

struct RunViews {
  const Board* board = nullptr;  // --board: the pair and triple figures are counted
  bool compare = false;
  OutputEncoding encoding = OutputEncoding::cp949;
  std::vector<ComparisonRow> rows;  // one per layout, for every view
  std::string baseline;             // its name as asked for; empty: the first layout
  std::size_t baselineRow = 0;      // found at the end
  std::vector<LayoutPairs> pairs;

  bool json = false;
  bool jsonToStandardOutput = false;  // then standard output holds the JSON alone
  std::string jsonPath;
  OutputFile jsonFile;
  std::FILE* jsonStream = nullptr;
  JsonSample sample;
  bool jsonStarted = false;
  bool firstJsonLayout = true;

  bool html = false;
  std::string htmlPath;
  OutputFile htmlFile;
  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<std::FILE, Closer> htmlSections;  // the layouts' sections so far
  std::string htmlDate;                             // of the run, as the page shows it
  std::string htmlText;                             // the text's section, from the first pass
  Count syllables = 0;
  std::size_t htmlLayouts = 0;
  std::vector<KeyboardPicture> pictures;  // per layout, for the difference view
  std::vector<LoadShares> loads;          // per layout, for the loads on one scale
};

// Sets the views up as `options` ask. False, with `error` set to one line,
// when the JSON or the HTML file cannot be written.
bool startRunViews(const RunOptions& options, long long sampleBytes, std::FILE* out,
                   RunViews& views, std::string& error);

// Everything the views show about layout `index` of a finished pass.
LayoutFindings layoutFindings(const SampleAnalysis& analysis, std::size_t index);

// Takes the results of a finished pass.
void addPassToRunViews(RunViews& views, const SampleAnalysis& analysis);

// Prints the comparison to `out`, ends the JSON document and writes the HTML
// report. False, with `error` set, when either could not be written.
bool finishRunViews(RunViews& views, std::FILE* out, std::string& error);

}  // namespace kbeval
