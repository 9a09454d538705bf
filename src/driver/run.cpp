#include "driver/run.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <vector>

#include "analysis/text_reports.h"
#include "driver/sample_analysis.h"
#include "driver/walk_pipeline.h"
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

// Every evaluated layout costs about 1 MB while the sample streams by (the
// summaries of the tokens it has met, and its pair counts). More layouts than this are
// evaluated in further passes over the sample, so that thousands of layout
// files need no more memory than a few dozen.
constexpr std::size_t kLayoutsPerPass = 32;

// The threads to walk layouts on: as asked, else every CPU this process may
// run on.
unsigned jobsFor(const RunOptions& options) {
  if (options.jobs != 0) return options.jobs;
  cpu_set_t cpus;
  if (::sched_getaffinity(0, sizeof cpus, &cpus) != 0) return 1;
  return static_cast<unsigned>(std::max(CPU_COUNT(&cpus), 1));
}

// Reads the sample from its start through the analysis, the layouts walked on
// `jobs` threads. False on a read error.
bool analyseSampleFile(int fd, SampleAnalysis& analysis, std::size_t pieceSize, unsigned jobs) {
  WalkPipeline walks(analysis, jobs);
  std::vector<char> buffer(std::max<std::size_t>(pieceSize, 1));
  for (;;) {
    const ssize_t got = ::read(fd, buffer.data(), buffer.size());
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (got == 0) break;
    const bool more =
        readSampleBytes(analysis, buffer.data(), static_cast<std::size_t>(got), pieceToFill(walks));
    publishPiece(walks);
    if (!more) break;
  }
  readSampleEnd(analysis, pieceToFill(walks));
  publishPiece(walks);
  finishWalks(walks);
  endSampleReading(analysis);
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
  const OpenFile sample{::open(options.samplePath.c_str(), O_RDONLY | O_CLOEXEC)};
  const int fd = sample.fd;
  if (fd < 0) return cannotOpenSample(out);
  struct stat info {};
  if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) return cannotOpenSample(out);

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

  const unsigned jobs = jobsFor(options);
  std::size_t done = std::min(perPass, evaluated.size());
  SampleAnalysis analysis = startSampleAnalysis({evaluated.begin(), evaluated.begin() + done});
  if (!analyseSampleFile(fd, analysis, pieceSize, jobs)) return cannotOpenSample(out);
  std::fflush(held.stream);
  std::fwrite(held.data, 1, held.size, out);
  if (options.jamoReport) printJamoReport(analysis.textCounts, out);
  if (options.combinationReport) printCombinationReport(*analysis.combinations, out);
  printLayoutResults(analysis, out);

  while (done < evaluated.size()) {
    const std::size_t end = std::min(done + perPass, evaluated.size());
    analysis = SampleAnalysis{};  // the last pass's tables go before the next one's come
    analysis = startSampleAnalysis({evaluated.begin() + done, evaluated.begin() + end});
    if (::lseek(fd, 0, SEEK_SET) != 0 || !analyseSampleFile(fd, analysis, pieceSize, jobs)) {
      std::fputs("kbeval: cannot read the sample file again.\n", stderr);
      return 1;
    }
    printLayoutResults(analysis, out);
    done = end;
  }

  // A report that could not be written (a full disk, say) is no success.
  if (std::fflush(out) != 0 || std::ferror(out)) {
    std::fputs("kbeval: cannot write the output.\n", stderr);
    return 1;
  }
  return 0;
}

}  // namespace kbeval
