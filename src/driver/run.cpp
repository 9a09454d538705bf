#include "driver/run.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <vector>

#include "analysis/scanner.h"
#include "analysis/text_reports.h"
#include "driver/text_mode.h"
#include "keystrokes/key_table.h"
#include "keystrokes/keystroke_counts.h"
#include "keystrokes/keystroke_report.h"
#include "layouts/layout_loader.h"

namespace kbeval {

namespace {

// One layout being evaluated while the text streams by.
struct Evaluation {
  const LayoutRecord* layout = nullptr;
  EvaluationTables tables;
  std::unique_ptr<EvaluationState> state = std::make_unique<EvaluationState>();
};

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

void evaluatePiece(std::vector<Transcriber>& transcribers, std::vector<Evaluation>& evaluations) {
  for (std::size_t i = 0; i < transcribers.size(); ++i) {
    Transcriber& t = transcribers[i];
    Evaluation& e = evaluations[i];
    evaluateKeys(e.tables, *e.state, t.keyStream.data(), t.keyStreamLength);
    t.keyStreamLength = 0;
  }
}

}  // namespace

RunOptions parseCommandLine(int argc, const char* const* argv) {
  RunOptions options;
  if (argc >= 2) options.samplePath = argv[1];
  bool sawSwitch = false;
  for (int i = 2; i < argc; ++i) {
    const char* argument = argv[i];
    if (argument[0] != '/') continue;
    sawSwitch = true;
    switch (argument[1]) {
      case '2':
        options.twoSetResults = true;
        break;
      case '3':
        options.threeSetResults = true;
        break;
      case 'i':
        options.combinationReport = true;
        break;
      case 'j':
        options.jamoReport = true;
        break;
      default:
        break;
    }
  }
  if (!sawSwitch) {
    options.twoSetResults = options.threeSetResults = true;
    options.combinationReport = options.jamoReport = true;
  }
  return options;
}

int runKbeval(const RunOptions& options, const std::string& keyboardDirectory, std::FILE* out,
              std::size_t pieceSize) {
  if (pieceSize == 0) pieceSize = 1;
  const OpenFile sample{::open(options.samplePath.c_str(), O_RDONLY | O_CLOEXEC)};
  const int fd = sample.fd;
  if (fd < 0) return cannotOpenSample(out);
  struct stat info {};
  if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) return cannotOpenSample(out);

  HeldOutput held;
  if (held.stream == nullptr) return cannotOpenSample(out);
  std::fprintf(held.stream, "Reading %lld bytes\n", static_cast<long long>(info.st_size));
  const std::vector<LayoutRecord> layouts = loadLayouts(keyboardDirectory, held.stream);

  std::vector<Transcriber> transcribers;
  std::vector<Evaluation> evaluations;
  for (const LayoutRecord& layout : layouts) {
    if (!isEvaluated(layout, options)) continue;
    transcribers.push_back(makeTranscriber(layout));
    Evaluation& e = evaluations.emplace_back();
    e.layout = &layout;
    KeyTable keys{};
    setupKeyTable(layout, keys);
    e.tables = makeEvaluationTables(keys);
  }

  // Layouts with very long key strings read the sample in smaller pieces, so
  // that no key stream buffer outgrows its budget.
  constexpr std::size_t kKeyStreamBudget = std::size_t{4} << 20;
  for (const Transcriber& t : transcribers) {
    pieceSize = std::min(pieceSize, std::max<std::size_t>(256, kKeyStreamBudget / t.longestPiece));
  }

  TextCounts textCounts;
  auto combinations = std::make_unique<CombinationCounts>();
  ScanState scan;
  TextModeState mode;
  std::vector<char> buffer(pieceSize);
  std::string text;
  text.reserve(pieceSize + 1);
  for (;;) {
    const ssize_t got = ::read(fd, buffer.data(), buffer.size());
    if (got < 0) {
      if (errno == EINTR) continue;
      return cannotOpenSample(out);
    }
    text.clear();
    if (got == 0) {
      finishTextMode(mode, text);
    } else {
      translateTextMode(mode, buffer.data(), static_cast<std::size_t>(got), text);
    }
    scanText(scan, reinterpret_cast<const unsigned char*>(text.data()), text.size(), textCounts,
             *combinations, transcribers);
    evaluatePiece(transcribers, evaluations);
    if (got == 0 || mode.ended || scan.stopped) break;
  }

  std::fflush(held.stream);
  std::fwrite(held.data, 1, held.size, out);
  if (options.jamoReport) printJamoReport(textCounts, out);
  if (options.combinationReport) printCombinationReport(*combinations, out);
  for (int setType : {2, 3}) {
    for (std::size_t i = 0; i < evaluations.size(); ++i) {
      const LayoutRecord& layout = *evaluations[i].layout;
      if (layout.setType != setType) continue;
      std::fprintf(out, "\n*** Result of %s (%d Sets, %s Fingering) ***\n\n",
                   displayName(layout.fileName).c_str(), layout.setType, layout.fingering.c_str());
      const KeystrokeCounts counts = keystrokeCounts(evaluations[i].tables, *evaluations[i].state);
      printKeystrokeReport(counts, transcribers[i].untreatedCount, out);
    }
  }
  // A report that could not be written (a full disk, say) is no success.
  if (std::fflush(out) != 0 || std::ferror(out)) {
    std::fputs("kbeval: cannot write the output.\n", stderr);
    return 1;
  }
  return 0;
}

}  // namespace kbeval
