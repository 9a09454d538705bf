#include "optimize/sample_passes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "keystrokes/key_table.h"
#include "optimize/skip_pairs.h"
#include "sample/sample_analysis.h"
#include "text/charset_tables.h"

namespace kbeval {

namespace {

constexpr std::size_t kPieceSize = std::size_t{1} << 20;

// One layout typed as a key stream and walked keystroke by keystroke, its
// skip pairs counted on the way: the pairs two strokes apart are beyond what
// kbeval's own walk keeps.
struct KeyStreamWalk {
  const LayoutRecord* layout = nullptr;
  EvaluationTables tables;
  EvaluationState state;
  SkipPairState skipPairs;
  char singleQuote = '\'';  // what the typographic quotes are typed as
  char doubleQuote = '"';
};

KeyStreamWalk startWalk(const LayoutRecord& layout) {
  KeyStreamWalk walk;
  walk.layout = &layout;
  KeyTable keys{};
  setupKeyTable(layout, keys);
  walk.tables = makeEvaluationTables(keys);
  return walk;
}

// Types the characters of the piece just read on every walk.
void typePiece(const CharacterPiece& characters, std::vector<KeyStreamWalk>& walks,
               std::string& stream) {
  for (KeyStreamWalk& walk : walks) {
    stream.clear();
    for (std::size_t i = 0; i < characters.count; ++i) {
      appendKeys(*walk.layout, characters.codes[i], stream, walk.singleQuote, walk.doubleQuote);
    }
    const auto* keys = reinterpret_cast<const unsigned char*>(stream.data());
    evaluateKeys(walk.tables, walk.state, keys, stream.size());
    countSkipPairs(walk.skipPairs, keys, stream.size());
  }
}

// Streams the sample through the analysis's reading stage (UTF-8 to Johab,
// text mode, the scan) and types every piece on the walks. An error
// message, or empty.
std::string analyseFile(const SampleSource& sample, SampleEncoding encoding,
                        SampleAnalysis& analysis, std::vector<KeyStreamWalk>& walks) {
  if (encoding == SampleEncoding::utf8) {
    analysis.utf8.johab = johabTable();
    if (analysis.utf8.johab == nullptr) return "iconv cannot convert UTF-8 to JOHAB here";
  }
  std::string stream;
  auto read = [&](const char* bytes, std::size_t length) {
    const bool more = readSampleBytes(analysis, bytes, length, analysis.piece);
    typePiece(analysis.characters, walks, stream);
    return more;
  };
  auto finish = [&] {
    readSampleEnd(analysis, analysis.piece);
    typePiece(analysis.characters, walks, stream);
    endSampleReading(analysis);
  };
  if (sample.bytes != nullptr) {
    for (std::size_t at = 0; at < sample.bytes->size(); at += kPieceSize) {
      const std::size_t length = std::min(kPieceSize, sample.bytes->size() - at);
      if (!read(sample.bytes->data() + at, length)) break;
    }
    finish();
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
  std::vector<char> buffer(kPieceSize);
  std::string error;
  for (;;) {
    const ssize_t got = ::read(fd, buffer.data(), buffer.size());
    if (got < 0) {
      if (errno == EINTR) continue;
      error = std::strerror(errno);
      break;
    }
    if (got == 0 || !read(buffer.data(), static_cast<std::size_t>(got))) break;
  }
  ::close(fd);
  if (error.empty()) finish();
  return error;
}

}  // namespace

std::string countSymbols(const SampleSource& sample, SampleEncoding encoding,
                         const LayoutRecord& start, const std::optional<QuoteStandIns>& standIns,
                         SymbolCounts& counts) {
  SampleAnalysis analysis = startSampleAnalysis({});
  std::vector<KeyStreamWalk> walks;
  walks.push_back(startWalk(start));
  counts.fixedByte.fill(-1);
  if (standIns) {
    walks[0].singleQuote = static_cast<char>(standIns->single);
    walks[0].doubleQuote = static_cast<char>(standIns->double_);
    counts.fixedByte[standIns->single] = '\'';
    counts.fixedByte[standIns->double_] = '"';
  }
  if (std::string error = analyseFile(sample, encoding, analysis, walks); !error.empty())
    return error;
  counts.pairs = std::move(walks[0].state.pairCounts);
  counts.skipPairs = std::move(walks[0].skipPairs.counts);
  counts.syllables = analysis.textCounts.natnaeCount;
  return {};
}

std::string evaluateExactly(const SampleSource& sample, SampleEncoding encoding,
                            const std::vector<const LayoutRecord*>& layouts,
                            ExactEvaluation& evaluation) {
  SampleAnalysis analysis = startSampleAnalysis({});
  std::vector<KeyStreamWalk> walks;
  walks.reserve(layouts.size());
  for (const LayoutRecord* layout : layouts) walks.push_back(startWalk(*layout));
  if (std::string error = analyseFile(sample, encoding, analysis, walks); !error.empty())
    return error;
  evaluation.text = analysis.textCounts;
  evaluation.layouts.clear();
  for (const KeyStreamWalk& walk : walks) {
    ExactResult& r = evaluation.layouts.emplace_back();
    r.keystrokes = keystrokeCounts(walk.tables, walk.state);
    r.untreated = untreatedCount(*walk.layout, *analysis.tally);
    r.skipgrams = sameFingerSkipgrams(walk.tables.keys, walk.skipPairs.counts);
  }
  return {};
}

}  // namespace kbeval
