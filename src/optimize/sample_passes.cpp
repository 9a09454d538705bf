#include "optimize/sample_passes.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "keystrokes/key_table.h"
#include "keystrokes/stroke_walk.h"
#include "optimize/skip_pairs.h"
#include "sample/sample_analysis.h"
#include "sample/sample_file.h"
#include "text/charset_tables.h"

namespace kbeval {

namespace {

constexpr std::size_t kPieceSize = std::size_t{1} << 20;

// Readies `walk` to type `layout` afresh, on `board` when given, keeping the
// memory of its tables: a used table is cleared (the pair table in the rows
// it counted in) rather than allocated anew.
void startWalk(KeyStreamWalk& walk, const LayoutRecord& layout, const Board* board) {
  walk.layout = &layout;
  KeyTable keys{};
  if (board != nullptr) {
    setupBoardKeyTable(*board, layout, keys);
  } else {
    setupKeyTable(layout, keys);
  }
  // The tables of the same keys are kept: a caller that passes over small
  // samples often types the same layout again.
  if (walk.tables.transitions.size() != kKeyPairs || !(walk.tables.keys == keys)) {
    makeEvaluationTables(keys, walk.tables);
  }
  restartEvaluation(walk.state);
  restartSkipPairs(walk.skipPairs);
  walk.triples.reset();
  if (board != nullptr) {
    walk.strokeTables = makeStrokeTables(*board, keys);
  } else {
    walk.strokeTables.reset();
  }
  walk.strokeState = StrokeState{};
  // Cleared in place, and only for a pass that counts them: fresh tables
  // are what the workspace saves.
  if (board != nullptr) {
    for (std::vector<Count>* table :
         {&walk.strokeCounts.pairs, &walk.strokeCounts.skips, &walk.strokeCounts.fingerTriples}) {
      std::fill(table->begin(), table->end(), 0);
    }
  }
  walk.singleQuote = '\'';
  walk.doubleQuote = '"';
}

// Readies the workspace for a pass of `layouts`.
void startPass(SamplePassWorkspace& workspace, const std::vector<const LayoutRecord*>& layouts,
               const Board* board) {
  restartSampleAnalysis(workspace.analysis);
  workspace.analysis.utf8.johab = nullptr;  // set again by a UTF-8 pass
  workspace.walks.resize(layouts.size());
  for (std::size_t i = 0; i < layouts.size(); ++i) {
    startWalk(workspace.walks[i], *layouts[i], board);
  }
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
    if (walk.triples) countKeyTriples(*walk.triples, keys, stream.size());
    if (walk.strokeTables) {
      walkStrokeTriples(*walk.strokeTables, walk.strokeState, walk.strokeCounts, stream);
    }
  }
}

// Streams the sample file through the analysis's reading stage (UTF-8 to
// Johab, text mode, the scan) and types every piece on the walks. False,
// with `error` set, when the sample cannot be read, or when it changed:
// while it was read, or since the pass that filled `expected`. `read`, when
// given, describes the file read.
bool analyseFile(const std::string& path, SampleEncoding encoding, SampleAnalysis& analysis,
                 std::vector<KeyStreamWalk>& walks, const struct stat* expected, struct stat* read,
                 std::string& error) {
  if (encoding == SampleEncoding::utf8) {
    analysis.utf8.johab = johabTable();
    if (analysis.utf8.johab == nullptr) {
      error = "iconv cannot convert UTF-8 to JOHAB here";
      return false;
    }
  }
  int fd = -1;
  struct stat info {};
  if (!openSampleFile(path, fd, info, error)) return false;
  std::string stream;
  SamplePieces pieces;
  pieces.pieceRead = [&](std::uint64_t) { typePiece(analysis.characters, walks, stream); };
  if (expected != nullptr && !sameSampleFile(*expected, info)) {
    ::close(fd);
    error = kSampleChanged;
    return false;
  }
  // A small file is read in one piece of its own size (and a read that finds
  // its end): a megabyte's buffer for a few kilobytes of text cost more than
  // the reading. A file that grows meanwhile is still read whole, in pieces.
  const std::size_t pieceSize = S_ISREG(info.st_mode) && info.st_size >= 0 &&
                                        static_cast<std::uint64_t>(info.st_size) < kPieceSize
                                    ? static_cast<std::size_t>(info.st_size) + 1
                                    : kPieceSize;
  bool ok = readSampleFile(fd, pieceSize, analysis, pieces, error);
  struct stat after {};
  if (ok && (::fstat(fd, &after) != 0 || !sameSampleFile(info, after))) {
    error = kSampleChanged;
    ok = false;
  }
  ::close(fd);
  if (!ok) return false;
  endSampleReading(analysis);
  if (read != nullptr) *read = info;
  return true;
}

// Copies a table of pair counts into `to`, of the same size, and its marked
// rows: only the rows marked on either side are touched, so a kept table
// costs what the text typed, not its half a megabyte.
void copyMarkedRows(const std::vector<Count>& from, const PairRows& fromRows,
                    std::vector<Count>& to, PairRows& toRows) {
  if (to.size() != from.size()) {
    to.assign(from.size(), 0);
  } else {
    clearMarkedRows(to, toRows);
  }
  forEachPairRow(fromRows, [&](int row) {
    std::memcpy(to.data() + static_cast<std::size_t>(row) * 256,
                from.data() + static_cast<std::size_t>(row) * 256, 256 * sizeof(Count));
  });
  toRows = fromRows;
}

}  // namespace

bool countSymbols(const std::string& path, SampleEncoding encoding, const LayoutRecord& start,
                  const std::optional<QuoteStandIns>& standIns, SymbolCounts& counts,
                  std::string& error, struct stat* read) {
  SamplePassWorkspace workspace;
  return countSymbols(workspace, path, encoding, start, standIns, counts, error, read);
}

bool countSymbols(SamplePassWorkspace& workspace, const std::string& path, SampleEncoding encoding,
                  const LayoutRecord& start, const std::optional<QuoteStandIns>& standIns,
                  SymbolCounts& counts, std::string& error, struct stat* read) {
  startPass(workspace, {&start}, nullptr);
  std::vector<KeyStreamWalk>& walks = workspace.walks;
  walks[0].triples.emplace();
  counts.fixedByte.fill(-1);
  if (standIns) {
    walks[0].singleQuote = static_cast<char>(standIns->single);
    walks[0].doubleQuote = static_cast<char>(standIns->double_);
    counts.fixedByte[standIns->single] = '\'';
    counts.fixedByte[standIns->double_] = '"';
  }
  if (!analyseFile(path, encoding, workspace.analysis, walks, nullptr, read, error)) return false;
  // Copied, not moved: the workspace keeps its tables for the next pass (a
  // caller that keeps `counts` too keeps their memory).
  copyMarkedRows(walks[0].state.pairCounts, walks[0].state.pairRows, counts.pairs, counts.pairRows);
  copyMarkedRows(walks[0].skipPairs.counts, walks[0].skipPairs.rows, counts.skipPairs,
                 counts.skipRows);
  counts.triples = keyTriples(*walks[0].triples);
  counts.syllables = workspace.analysis.textCounts.natnaeCount;
  return true;
}

bool evaluateExactly(const std::string& path, SampleEncoding encoding,
                     const std::vector<const LayoutRecord*>& layouts, ExactEvaluation& evaluation,
                     std::string& error, const Board* board, const struct stat* expected) {
  SamplePassWorkspace workspace;
  return evaluateExactly(workspace, path, encoding, layouts, evaluation, error, board, expected);
}

bool evaluateExactly(SamplePassWorkspace& workspace, const std::string& path,
                     SampleEncoding encoding, const std::vector<const LayoutRecord*>& layouts,
                     ExactEvaluation& evaluation, std::string& error, const Board* board,
                     const struct stat* expected) {
  startPass(workspace, layouts, board);
  SampleAnalysis& analysis = workspace.analysis;
  std::vector<KeyStreamWalk>& walks = workspace.walks;
  if (!analyseFile(path, encoding, analysis, walks, expected, nullptr, error)) return false;
  evaluation.text = analysis.textCounts;
  evaluation.layouts.clear();
  for (const KeyStreamWalk& walk : walks) {
    ExactResult& r = evaluation.layouts.emplace_back();
    r.keystrokes = keystrokeCounts(walk.tables, walk.state);
    r.untreated = untreatedCount(*walk.layout, *analysis.tally);
    r.skipgrams = sameFingerSkipgrams(walk.tables.keys, walk.skipPairs);
    if (board != nullptr) {
      ObjectiveBoard strokeBoard;
      if (!makeObjectiveBoard(*board, walk.tables.keys, strokeBoard, error)) return false;
      addKeyPairStrokeCounts(strokeBoard, walk.tables.keys, walk.state.pairCounts,
                             walk.state.pairRows, r.strokes);
      const StrokeFigures figures = strokeFigures(walk.strokeTables->board, walk.strokeCounts);
      r.strokes.strokeTriples = figures.triples;
      r.strokes.redirect = figures.redirect;
      r.strokes.badRedirect = figures.badRedirect;
    }
  }
  return true;
}

ObjectiveCounts exactObjectiveCounts(const ExactResult& r, const TextCounts& text) {
  ObjectiveCounts o = objectiveCounts(r.keystrokes, r.skipgrams, text.natnaeCount);
  o.strokes = r.strokes.strokes;
  o.strokePairs = r.strokes.strokePairs;
  o.alternation = r.strokes.alternation;
  o.rollIn = r.strokes.rollIn;
  o.rollOut = r.strokes.rollOut;
  o.scissor = r.strokes.scissor;
  o.lateral = r.strokes.lateral;
  o.distanceUnits = r.strokes.distanceUnits;
  o.effortUnits = r.strokes.effortUnits;
  o.strokeTriples = r.strokes.strokeTriples;
  o.redirect = r.strokes.redirect;
  o.badRedirect = r.strokes.badRedirect;
  return o;
}

}  // namespace kbeval
