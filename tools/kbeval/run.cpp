#include "run.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "analysis/text_reports.h"
#include "base/format.h"
#include "keystrokes/keystroke_report.h"
#include "layouts/layout_loader.h"
#include "progress.h"
#include "run_views.h"
#include "sample/sample_analysis.h"
#include "sample/sample_file.h"
#include "sample/walk_pipeline.h"
#include "shell/interrupts.h"
#include "shell/jobs.h"
#include "text/charset_tables.h"

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

// Every evaluated layout costs about 0.6 MB while the sample streams by (the
// summaries of the tokens it has met, and its pair counts). More layouts
// than this are evaluated in further passes over the sample (or over its
// copy, for a pipe), so that thousands of layout files need no more memory
// than a few dozen.
constexpr std::size_t kLayoutsPerPass = 32;

using CopyBytes = std::function<bool(const char*, std::size_t, std::string&)>;

// Reads the sample from where `fd` stands through the analysis, the layouts
// walked on `jobs` threads, each piece also handed to `copy` when it is set.
// False on a read error, or when `copy` fails.
bool analyseSampleFile(int fd, SampleAnalysis& analysis, std::size_t pieceSize, unsigned jobs,
                       Progress& progress, const CopyBytes& copy = {}) {
  WalkPipeline walks(analysis, jobs);
  SamplePieces pieces;
  pieces.bytesRead = copy;
  pieces.tokensTo = [&walks]() -> TokenPiece& { return pieceToFill(walks); };
  pieces.pieceRead = [&](std::uint64_t done) {
    publishPiece(walks);
    showProgress(progress, done);
  };
  std::string unread;  // the report says "Cannot open sample file." whatever the reason
  const bool read = readSampleFile(fd, pieceSize, analysis, pieces, unread);
  if (read) {
    finishWalks(walks);
    endSampleReading(analysis);
  }
  clearProgress(progress);
  return read;
}

// Appends the bytes to the spool file.
bool spoolBytes(int fd, const char* bytes, std::size_t length, std::string& error) {
  while (length > 0) {
    const ssize_t written = ::write(fd, bytes, length);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      error = std::strerror(written < 0 ? errno : EIO);
      return false;
    }
    bytes += written;
    length -= static_cast<std::size_t>(written);
  }
  return true;
}

// Whether the sample is still the file the first pass read: a later pass
// over a file truncated, grown or replaced since would count another text.
bool sampleUnchanged(int fd, const RunOptions& options, const struct stat& first) {
  struct stat now {};
  if (::fstat(fd, &now) != 0 || !sameSampleFile(first, now)) return false;
  return options.samplePath == "-" ||
         (::stat(options.samplePath.c_str(), &now) == 0 && sameSampleFile(first, now));
}

// The sample's name in messages.
std::string sampleName(const RunOptions& options) {
  return options.samplePath == "-" ? "standard input" : options.samplePath;
}

// What standard error says about the sample's encoding after the first pass.
void reportSampleEncoding(const SampleAnalysis& analysis, const RunOptions& options,
                          std::FILE* err) {
  const unsigned long long invalid = analysis.utf8.invalidBytes;
  if (invalid > 0) {
    std::fprintf(err, "kbeval: %llu invalid UTF-8 byte%s skipped in %s\n", invalid,
                 invalid == 1 ? "" : "s", sampleName(options).c_str());
  }
  if (analysis.looksLikeUtf16) {
    std::fprintf(
        err,
        "kbeval: warning: %s looks like UTF-16 text, which kbeval cannot read; "
        "convert it first (iconv -f UTF-16 -t UTF-8) and read it with --sample-encoding=utf-8\n",
        sampleName(options).c_str());
  }
  if (analysis.looksLikeUtf8) {
    std::fprintf(err,
                 "kbeval: warning: %s looks like UTF-8 text, but is read as Johab; "
                 "read it with --sample-encoding=utf-8 (or --utf8)\n",
                 sampleName(options).c_str());
  }
}

// A layout directory named on the command line that is no directory gets a
// word on standard error besides the usual "No keyboard layout file.".
void reportMissingKeyboards(const RunOptions& options, std::FILE* err) {
  if (options.keyboardDirectory == RunOptions{}.keyboardDirectory) return;
  struct stat info {};
  if (::stat(options.keyboardDirectory.c_str(), &info) != 0) {
    std::fprintf(err, "kbeval: --keyboards: %s: %s\n", options.keyboardDirectory.c_str(),
                 std::strerror(errno));
  } else if (!S_ISDIR(info.st_mode)) {
    std::fprintf(err, "kbeval: --keyboards: %s: %s\n", options.keyboardDirectory.c_str(),
                 std::strerror(ENOTDIR));
  }
}

void printLayoutResults(const SampleAnalysis& analysis, std::FILE* out) {
  for (std::size_t i = 0; i < analysis.evaluations.size(); ++i) {
    const LayoutRecord& layout = *analysis.evaluations[i].layout;
    std::fprintf(out, "\n*** Result of %s (%d Sets, %s Fingering) ***\n\n",
                 printable(displayName(layout.fileName)).c_str(), layout.setType,
                 layout.fingering.c_str());
    printKeystrokeReport(layoutKeystrokeCounts(analysis, i), layoutUntreatedCount(analysis, i),
                         out);
  }
}

}  // namespace

int runKbeval(const RunOptions& options, std::FILE* out, std::FILE* err, std::size_t pieceSize) {
  // A bad board is a usage error: one line, exit status 2, nothing on standard output.
  Board board;
  const bool onBoard = !options.board.empty();
  if (onBoard) {
    std::string boardError;
    if (!loadBoard(options.board, board, boardError)) {
      std::fprintf(err, "kbeval: --board: %s\n", boardError.c_str());
      return 2;
    }
  }
  // With the JSON on standard output, the messages go to standard error and
  // the reports, whose numbers the JSON holds, are not printed.
  const bool reports = options.jsonPath != "-";
  std::FILE* messages = reports ? out : err;
  const bool standardInput = options.samplePath == "-";
  const OpenFile sample{standardInput ? -1
                                      : ::open(options.samplePath.c_str(), O_RDONLY | O_CLOEXEC)};
  const int fd = standardInput ? STDIN_FILENO : sample.fd;
  if (fd < 0) return cannotOpenSample(messages);
  struct stat info {};
  if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) return cannotOpenSample(messages);
  const CharsetTable* utf8ToJohab = nullptr;
  if (options.sampleEncoding == SampleEncoding::utf8) {
    utf8ToJohab = johabTable();
    if (utf8ToJohab == nullptr) {
      std::fputs("kbeval: cannot read a UTF-8 sample: iconv cannot convert UTF-8 to JOHAB here\n",
                 err);
      return 1;
    }
  }
  RunViews views;
  std::string viewError;
  if (!startRunViews(options, static_cast<long long>(info.st_size), out, views, viewError)) {
    std::fprintf(err, "kbeval: %s\n", viewError.c_str());
    return 1;
  }

  HeldOutput held;
  if (held.stream == nullptr) return cannotOpenSample(messages);
  reportMissingKeyboards(options, err);
  const std::vector<LayoutRecord> layouts = loadLayouts(options.keyboardDirectory, held.stream);

  // In the order of the results: every 2-set layout, then every 3-set one.
  std::vector<const LayoutRecord*> evaluated;
  for (int setType : {2, 3}) {
    for (const LayoutRecord& layout : layouts) {
      if (layout.setType == setType && isEvaluated(layout, options)) evaluated.push_back(&layout);
    }
  }
  if (onBoard) {
    for (const LayoutRecord* layout : evaluated) {
      if (const int missing = missingBoardKey(board, *layout); missing >= 0) {
        std::fprintf(err, "kbeval: --board: %s: no key '%s', which layout %s types\n",
                     printable(board.file).c_str(), boardKeyName(missing).c_str(),
                     printable(layout->fileName).c_str());
        return 2;
      }
    }
  }
  // Every evaluated layout is a row of the views, so a baseline no layout
  // answers to is known now: failing here leaves no report or JSON unfinished.
  if (!options.baseline.empty() &&
      std::none_of(evaluated.begin(), evaluated.end(), [&](const LayoutRecord* layout) {
        return displayName(layout->fileName) == options.baseline;
      })) {
    std::fprintf(err, "kbeval: --baseline=%s: no layout of this name was evaluated\n",
                 printable(options.baseline).c_str());
    return 1;
  }
  const BoardChoice boardChoice{onBoard ? &board : nullptr, onBoard};
  views.board = onBoard ? &board : nullptr;
  // A regular file shows its size on disk; anything else (a pipe, standard
  // input) the bytes read from it, which a pipe's size of 0 would not show.
  const bool regular = S_ISREG(info.st_mode);
  const std::size_t perPass = kLayoutsPerPass;
  // A sample that cannot be read again from its start (a pipe, a terminal,
  // a device) is copied to a spool file as the first pass reads it, when
  // further passes need it.
  const bool rereadable = regular && ::lseek(fd, 0, SEEK_CUR) == 0;
  const bool spooled = !rereadable && evaluated.size() > perPass;
  std::string spoolError;
  const OpenFile spool{spooled ? makeScratchFile(spoolError) : -1};
  if (spooled && spool.fd < 0) {
    std::fprintf(err, "kbeval: cannot copy the sample to a temporary file: %s\n",
                 spoolError.c_str());
    return 1;
  }
  CopyBytes copy;
  if (spooled) {
    copy = [&](const char* bytes, std::size_t length, std::string& error) {
      if (spoolBytes(spool.fd, bytes, length, error)) return true;
      spoolError = error;
      return false;
    };
  }

  const std::size_t passes = perPass == 0 ? 1 : (evaluated.size() + perPass - 1) / perPass;
  const bool showsProgress = !options.quiet && ::isatty(::fileno(err)) == 1;
  Progress progress = startProgress(showsProgress ? err : nullptr,
                                    regular ? static_cast<std::uint64_t>(info.st_size) : 0,
                                    static_cast<int>(std::max<std::size_t>(passes, 1)));

  const unsigned jobs = jobsOrDefault(options.jobs);
  std::size_t done = std::min(perPass, evaluated.size());
  SampleAnalysis analysis =
      startSampleAnalysis({evaluated.begin(), evaluated.begin() + done}, utf8ToJohab, boardChoice);
  if (!analyseSampleFile(fd, analysis, pieceSize, jobs, progress, copy)) {
    if (spoolError.empty()) return cannotOpenSample(messages);
    std::fprintf(err, "kbeval: cannot copy the sample to a temporary file: %s\n",
                 spoolError.c_str());
    return 1;
  }
  // Further passes read the file again, or its copy; the file must stay the
  // one the first pass read.
  const int again = spooled ? spool.fd : fd;
  const auto changed = [&]() {
    if (!rereadable || passes == 1 || sampleUnchanged(fd, options, info)) return false;
    std::fprintf(err,
                 "kbeval: %s changed while it was read (once per %zu layouts); "
                 "no output file written\n",
                 sampleName(options).c_str(), perPass);
    return true;
  };
  if (changed()) return 1;
  reportSampleEncoding(analysis, options, err);
  const long long sampleBytes =
      regular ? static_cast<long long>(info.st_size) : static_cast<long long>(analysis.textBytes);
  std::fprintf(messages, "Reading %lld bytes\n", sampleBytes);
  views.sample.bytes = sampleBytes;
  std::fflush(held.stream);
  std::fwrite(held.data, 1, held.size, messages);
  if (reports && options.jamoReport)
    printJamoReport(analysis.textCounts, out, options.outputEncoding);
  if (reports && options.combinationReport)
    printCombinationReport(*analysis.combinations, out, options.outputEncoding);
  if (reports && !options.compare) printLayoutResults(analysis, out);
  addPassToRunViews(views, analysis);

  while (done < evaluated.size()) {
    const std::size_t end = std::min(done + perPass, evaluated.size());
    analysis = SampleAnalysis{};  // the last pass's tables go before the next one's come
    analysis = startSampleAnalysis({evaluated.begin() + done, evaluated.begin() + end}, utf8ToJohab,
                                   boardChoice);
    std::fflush(out);  // the results so far, before the display comes back
    ++progress.pass;
    if (::lseek(again, 0, SEEK_SET) != 0 ||
        !analyseSampleFile(again, analysis, pieceSize, jobs, progress)) {
      std::fputs("kbeval: cannot read the sample file again.\n", err);
      return 1;
    }
    if (changed()) return 1;
    if (reports && !options.compare) printLayoutResults(analysis, out);
    addPassToRunViews(views, analysis);
    done = end;
  }
  if (!finishRunViews(views, out, viewError)) {
    std::fprintf(err, "kbeval: %s\n", viewError.c_str());
    return 1;
  }

  // A report that could not be written (a full disk, say) is no success.
  if (std::fflush(out) != 0 || std::ferror(out)) {
    std::fputs("kbeval: cannot write the output.\n", err);
    return 1;
  }
  return 0;
}

}  // namespace kbeval
