// Times what --compare, --json and --html add to a run: for every evaluated
// layout (the layouts of DIR repeated up to N), the findings worked out from
// the counts, the comparison table with the worst pairs, and the JSON
// document, all through the run's own code, written to /dev/null; then the
// HTML report alone, written to a file, and the size of the page for the
// first 10 of the layouts. The sample is analysed once beforehand and is not
// timed; the keystroke reports the views replace are timed beside them for
// scale. The fastest of 5 rounds.
//
// Usage: kbeval-bench-views SAMPLE DIR [N]     (N defaults to 32)
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "keystrokes/keystroke_report.h"
#include "layouts/layout_loader.h"
#include "run_views.h"
#include "sample_on_one_thread.h"

namespace {

using namespace kbeval;

template <typename Work>
double fastestMilliseconds(Work work) {
  double best = 1e300;
  for (int round = 0; round < 5; ++round) {
    const auto start = std::chrono::steady_clock::now();
    work();
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count());
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fputs("usage: kbeval-bench-views SAMPLE DIR [N]\n", stderr);
    return 2;
  }
  const std::size_t wanted = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 32;
  const std::vector<LayoutRecord> layouts = loadLayouts(argv[2], stderr);
  std::vector<const LayoutRecord*> evaluated;
  for (const LayoutRecord& layout : layouts) {
    if (!layout.fileName.empty() && (layout.setType == 2 || layout.setType == 3)) {
      evaluated.push_back(&layout);
    }
  }
  if (evaluated.empty() || wanted == 0) {
    std::fputs("kbeval-bench-views: no layout to evaluate\n", stderr);
    return 1;
  }
  for (std::size_t i = 0; evaluated.size() < wanted; ++i) evaluated.push_back(evaluated[i]);
  evaluated.resize(wanted);

  SampleAnalysis analysis = startSampleAnalysis(evaluated);
  const int fd = ::open(argv[1], O_RDONLY);
  if (fd < 0) {
    std::perror(argv[1]);
    return 1;
  }
  std::vector<char> buffer(1 << 16);
  for (ssize_t got; (got = ::read(fd, buffer.data(), buffer.size())) > 0;) {
    if (!analyseSampleBytes(analysis, buffer.data(), static_cast<std::size_t>(got))) break;
  }
  finishSampleAnalysis(analysis);
  ::close(fd);

  std::FILE* devNull = std::fopen("/dev/null", "w");
  RunOptions options;
  options.compare = true;
  options.jsonPath = "/dev/null";
  bool failed = false;
  const double views = fastestMilliseconds([&] {
    RunViews run;
    std::string error;
    failed |= !startRunViews(options, 0, devNull, run, error);
    addPassToRunViews(run, analysis);
    failed |= !finishRunViews(run, devNull, error);
  });
  const double reports = fastestMilliseconds([&] {
    for (std::size_t i = 0; i < evaluated.size(); ++i) {
      printKeystrokeReport(layoutKeystrokeCounts(analysis, i), layoutUntreatedCount(analysis, i),
                           devNull);
    }
  });
  // The HTML report goes to a real file: it is written beside it and renamed.
  char directory[] = "/tmp/kbeval-bench-html-XXXXXX";
  if (::mkdtemp(directory) == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  RunOptions htmlOptions;
  htmlOptions.htmlPath = std::string(directory) + "/report.html";
  const auto writeHtml = [&](const SampleAnalysis& passes) {
    RunViews run;
    std::string error;
    failed |= !startRunViews(htmlOptions, 0, devNull, run, error);
    addPassToRunViews(run, passes);
    failed |= !finishRunViews(run, devNull, error);
    if (!error.empty()) std::fprintf(stderr, "kbeval-bench-views: %s\n", error.c_str());
  };
  const double html = fastestMilliseconds([&] { writeHtml(analysis); });
  const std::size_t tenLayouts = std::min<std::size_t>(10, evaluated.size());
  SampleAnalysis ten = startSampleAnalysis({evaluated.begin(), evaluated.begin() + tenLayouts});
  const int again = ::open(argv[1], O_RDONLY);
  for (ssize_t got; again >= 0 && (got = ::read(again, buffer.data(), buffer.size())) > 0;) {
    if (!analyseSampleBytes(ten, buffer.data(), static_cast<std::size_t>(got))) break;
  }
  if (again >= 0) ::close(again);
  finishSampleAnalysis(ten);
  writeHtml(ten);
  std::error_code ignored;
  const auto pageBytes = std::filesystem::file_size(htmlOptions.htmlPath, ignored);
  std::filesystem::remove_all(directory, ignored);

  std::fclose(devNull);
  std::printf(
      "HTML report for %zu layouts: %.1f ms (target < 100 ms); page for %zu layouts: %.0f KB "
      "(target < 300 KB)\n",
      evaluated.size(), html, tenLayouts, static_cast<double>(pageBytes) / 1000.0);
  std::printf(
      "Views for %zu layouts: %.1f ms (table, worst pairs and JSON; target < 50 ms); "
      "their keystroke reports: %.1f ms\n",
      evaluated.size(), views, reports);
  return failed ? 1 : 0;
}
