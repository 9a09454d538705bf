#include "sample_passes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "driver/sample_analysis.h"
#include "keystrokes/key_table.h"
#include "keystrokes/skip_pairs.h"
#include "text/charset_tables.h"

namespace kbeval {

namespace {

constexpr std::size_t kPieceSize = std::size_t{1} << 20;

// Streams the sample through the analysis; an error message, or empty.
std::string analyseFile(const SampleSource& sample, SampleEncoding encoding,
                        SampleAnalysis& analysis) {
  if (encoding == SampleEncoding::utf8) {
    analysis.utf8.johab = johabTable();
    if (analysis.utf8.johab == nullptr) return "iconv cannot convert UTF-8 to JOHAB here";
  }
  if (sample.bytes != nullptr) {
    const std::size_t piece = samplePieceSize(analysis, kPieceSize);
    for (std::size_t at = 0; at < sample.bytes->size(); at += piece) {
      const std::size_t length = std::min(piece, sample.bytes->size() - at);
      if (!analyseSampleBytes(analysis, sample.bytes->data() + at, length)) break;
    }
    finishSampleAnalysis(analysis);
    return {};
  }
  const std::string& path = sample.path;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::strerror(errno);
  struct stat info {};
  if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    ::close(fd);
    return S_ISDIR(info.st_mode) ? "is a directory" : std::strerror(errno);
  }
  std::vector<char> buffer(samplePieceSize(analysis, kPieceSize));
  std::string error;
  for (;;) {
    const ssize_t got = ::read(fd, buffer.data(), buffer.size());
    if (got < 0) {
      if (errno == EINTR) continue;
      error = std::strerror(errno);
      break;
    }
    if (got == 0) break;
    if (!analyseSampleBytes(analysis, buffer.data(), static_cast<std::size_t>(got))) break;
  }
  ::close(fd);
  if (error.empty()) finishSampleAnalysis(analysis);
  return error;
}

}  // namespace

std::string countSymbols(const SampleSource& sample, SampleEncoding encoding,
                         const LayoutRecord& start, const std::optional<QuoteStandIns>& standIns,
                         SymbolCounts& counts) {
  SampleAnalysis analysis = startSampleAnalysis({&start});
  counts.fixedByte.fill(-1);
  if (standIns) {
    analysis.transcribers[0] = makeTranscriber(start, standIns->single, standIns->double_);
    counts.fixedByte[standIns->single] = '\'';
    counts.fixedByte[standIns->double_] = '"';
  }
  analysis.evaluations[0].skipPairs = std::make_unique<SkipPairState>();
  if (std::string error = analyseFile(sample, encoding, analysis); !error.empty()) return error;
  counts.pairs = layoutKeyPairCounts(analysis, 0);
  counts.skipPairs = std::move(analysis.evaluations[0].skipPairs->counts);
  counts.syllables = analysis.textCounts.natnaeCount;
  return {};
}

std::string evaluateExactly(const SampleSource& sample, SampleEncoding encoding,
                            const std::vector<const LayoutRecord*>& layouts,
                            ExactEvaluation& evaluation) {
  SampleAnalysis analysis = startSampleAnalysis(layouts);
  for (LayoutEvaluation& e : analysis.evaluations) e.skipPairs = std::make_unique<SkipPairState>();
  if (std::string error = analyseFile(sample, encoding, analysis); !error.empty()) return error;
  evaluation.text = analysis.textCounts;
  evaluation.layouts.clear();
  for (std::size_t i = 0; i < layouts.size(); ++i) {
    ExactResult& r = evaluation.layouts.emplace_back();
    r.keystrokes = layoutKeystrokeCounts(analysis, i);
    r.untreated = layoutUntreatedCount(analysis, i);
    r.skipgrams =
        sameFingerSkipgrams(layoutKeyTable(analysis, i), analysis.evaluations[i].skipPairs->counts);
  }
  return {};
}

}  // namespace kbeval
