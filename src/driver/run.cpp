#include "driver/run.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <vector>

#include "analysis/text_reports.h"
#include "driver/run_views.h"
#include "driver/sample_analysis.h"
#include "keystrokes/keystroke_report.h"
#include "layouts/layout_loader.h"

namespace kbeval {

namespace {

struct OpenFile {
  int fd;
  explicit OpenFile(int descriptor) : fd(descriptor) {}
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  ~OpenFile() {
    if (fd >= 0) ::close(fd);
  }
};

// Output held back until the sample has been read through, so that a sample
// that fails half-way prints its one error line and nothing else.
struct HeldOutput {
  char* data = nullptr;
  std::size_t size = 0;
  std::FILE* stream = open_memstream(&data, &size);
  ~HeldOutput() {
    if (stream != nullptr) std::fclose(stream);
    std::free(data);
  }
};

bool isEvaluated(const LayoutRecord& layout, const RunOptions& options) {
  if (layout.fileName.empty()) return false;
  return (layout.setType == 2 && options.twoSetResults) ||
         (layout.setType == 3 && options.threeSetResults);
}

int cannotOpenSample(std::FILE* out) {
  std::fputs("Cannot open sample file.\n", out);
  std::fflush(out);
  return 1;
}

// Every evaluated layout costs about 1.3 MB while the sample streams by (its
// transcription table and its pair counts). More layouts than this are
// evaluated in further passes over the sample, so that thousands of layout
// files need no more memory than a few dozen.
constexpr std::size_t kLayoutsPerPass = 32;

// Reads the sample from its start through the analysis. False on a read error.
bool analyseSampleFile(int fd, SampleAnalysis& analysis, std::size_t pieceSize) {
  std::vector<char> buffer(samplePieceSize(analysis, pieceSize));
  for (;;) {
    const ssize_t got = ::read(fd, buffer.data(), buffer.size());
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (got == 0) break;
    if (!analyseSampleBytes(analysis, buffer.data(), static_cast<std::size_t>(got))) break;
  }
  finishSampleAnalysis(analysis);
  return true;
}

void printLayoutResults(const SampleAnalysis& analysis, std::FILE* out) {
  for (std::size_t i = 0; i < analysis.evaluations.size(); ++i) {
    const LayoutRecord& layout = *analysis.evaluations[i].layout;
    std::fprintf(out, "\n*** Result of %s (%d Sets, %s Fingering) ***\n\n",
                 displayName(layout.fileName).c_str(), layout.setType, layout.fingering.c_str());
    printKeystrokeReport(layoutKeystrokeCounts(analysis, i), layoutUntreatedCount(analysis, i),
                         out);
  }
}

}  // namespace

int runKbeval(const RunOptions& options, std::FILE* out, std::size_t pieceSize) {
  // With the JSON on standard output, the messages go to standard error and
  // the reports, whose numbers the JSON holds, are not printed.
  const bool reports = options.jsonPath != "-";
  std::FILE* messages = reports ? out : stderr;
  const OpenFile sample{::open(options.samplePath.c_str(), O_RDONLY | O_CLOEXEC)};
  const int fd = sample.fd;
  if (fd < 0) return cannotOpenSample(messages);
  struct stat info {};
  if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) return cannotOpenSample(messages);
  RunViews views;
  std::string viewError;
  if (!startRunViews(options, static_cast<long long>(info.st_size), out, views, viewError)) {
    std::fprintf(stderr, "kbeval: %s\n", viewError.c_str());
    return 1;
  }

  HeldOutput held;
  if (held.stream == nullptr) return cannotOpenSample(out);
  std::fprintf(held.stream, "Reading %lld bytes\n", static_cast<long long>(info.st_size));
  const std::vector<LayoutRecord> layouts = loadLayouts(options.keyboardDirectory, held.stream);

  // In the order of the results: every 2-set layout, then every 3-set one.
  std::vector<const LayoutRecord*> evaluated;
  for (int setType : {2, 3}) {
    for (const LayoutRecord& layout : layouts) {
      if (layout.setType == setType && isEvaluated(layout, options)) evaluated.push_back(&layout);
    }
  }
  // A sample that cannot be read again (a pipe) is read once, with every layout.
  const bool rereadable = ::lseek(fd, 0, SEEK_CUR) == 0;
  const std::size_t perPass = rereadable ? kLayoutsPerPass : evaluated.size();

  std::size_t done = std::min(perPass, evaluated.size());
  SampleAnalysis analysis = startSampleAnalysis({evaluated.begin(), evaluated.begin() + done});
  if (!analyseSampleFile(fd, analysis, pieceSize)) return cannotOpenSample(messages);
  std::fflush(held.stream);
  std::fwrite(held.data, 1, held.size, messages);
  if (reports && options.jamoReport) printJamoReport(analysis.textCounts, out);
  if (reports && options.combinationReport) printCombinationReport(*analysis.combinations, out);
  if (reports && !options.compare) printLayoutResults(analysis, out);
  addPassToRunViews(views, analysis);

  while (done < evaluated.size()) {
    const std::size_t end = std::min(done + perPass, evaluated.size());
    analysis = SampleAnalysis{};  // the last pass's tables go before the next one's come
    analysis = startSampleAnalysis({evaluated.begin() + done, evaluated.begin() + end});
    if (::lseek(fd, 0, SEEK_SET) != 0 || !analyseSampleFile(fd, analysis, pieceSize)) {
      std::fputs("kbeval: cannot read the sample file again.\n", stderr);
      return 1;
    }
    if (reports && !options.compare) printLayoutResults(analysis, out);
    addPassToRunViews(views, analysis);
    done = end;
  }
  if (!finishRunViews(views, out, viewError)) {
    std::fprintf(stderr, "kbeval: %s\n", viewError.c_str());
    return 1;
  }

  // A report that could not be written (a full disk, say) is no success.
  if (std::fflush(out) != 0 || std::ferror(out)) {
    std::fputs("kbeval: cannot write the output.\n", stderr);
    return 1;
  }
  return 0;
}

}  // namespace kbeval
