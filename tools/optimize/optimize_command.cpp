#include "optimize_command.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string_view>
#include <vector>

#include "base/format.h"
#include "keystrokes/board.h"
#include "keystrokes/key_table.h"
#include "layouts/layout_loader.h"
#include "layouts/layout_writer.h"
#include "optimize/layout_search.h"
#include "optimize/permutation_score.h"
#include "optimize/sample_passes.h"
#include "sample/sample_file.h"
#include "shell/interrupts.h"
#include "shell/jobs.h"
#include "shell/long_options.h"
#include "shell/output_file.h"
#include "text/utf8_sample.h"
#include "views/comparison_figures.h"
#include "views/comparison_table.h"

namespace kbeval {

namespace {

constexpr int kMostRestarts = 1000000;
constexpr int kMostShown = 100;
// 128 + SIGINT, as a run ended by the signal exits.
constexpr int kInterruptedStatus = 130;

enum class OptionId {
  start,
  output,
  seed,
  iterations,
  time,
  restarts,
  jobs,
  weights,
  pin,
  allow,
  keepHands,
  noKeepHands,
  swapLevels,
  move,
  pinJamo,
  maxMoved,
  numberRow,
  validate,
  sample,
  show,
  quiet,
  sampleEncoding,
  board,
  help,
  version
};

using KnownOption = LongOption<OptionId>;

constexpr KnownOption kOptions[] = {
    {"start", OptionId::start, true},
    {"output", OptionId::output, true},
    {"seed", OptionId::seed, true},
    {"iterations", OptionId::iterations, true},
    {"time", OptionId::time, true},
    {"restarts", OptionId::restarts, true},
    {"jobs", OptionId::jobs, true},
    {"weights", OptionId::weights, true},
    {"pin", OptionId::pin, true},
    {"allow", OptionId::allow, true},
    {"keep-hands", OptionId::keepHands, false},
    {"no-keep-hands", OptionId::noKeepHands, false},
    {"swap-levels", OptionId::swapLevels, false},
    {"move", OptionId::move, true},
    {"pin-jamo", OptionId::pinJamo, true},
    {"max-moved", OptionId::maxMoved, true},
    {"number-row", OptionId::numberRow, true},
    {"validate", OptionId::validate, true},
    {"sample", OptionId::sample, true},
    {"show", OptionId::show, true},
    {"quiet", OptionId::quiet, false},
    {"sample-encoding", OptionId::sampleEncoding, true},
    {"board", OptionId::board, true},
    {"help", OptionId::help, false},
    {"version", OptionId::version, false},
};

// What --help prints.
constexpr char kUsage[] = R"(Usage: kbeval-optimize --start LAYOUT.txt [OPTION]... [SAMPLE]
Search for a better Korean keyboard layout: move the keys of the start layout
about and keep the arrangement that types the sample best on a weighted
objective. Every candidate is scored exactly from one pass over the sample; the
best layouts found are then evaluated in full, like kbeval does.

Input and output:
  --start=FILE        the start layout (required): a layout file as kbeval reads
  --output=FILE       write the best layout there (through a temporary file);
                      default: standard output, the report following as comments
  --sample=FILE[:WEIGHT]  one more text to tune on (repeatable; weight 1 by
                      default): the objective is the weighted mean of the
                      texts' scores, and the report shows each text
  --validate=FILE     also evaluate the layouts on this held-out sample
                      (repeatable: each text is reported)
  --sample-encoding=ENC  read the samples as johab (default) or utf-8
  --board=NAME|FILE   the board typed on: ansi (default), ortho, split or a
                      board file; it gives every key's finger, row, position and
                      effort (on ansi the layout's fingering: line still applies)
  --show=N            list the best layouts of the N best scores (default 3)
  --quiet             no progress display

The search:
  --seed=N            seed of the random choices (default 1)
  --iterations=N      annealing steps per restart (default 200000); the same
                      seed, options and sample then give the same result
                      whatever --jobs is
  --time=SECONDS      search for this long instead (results vary from run to run)
  --restarts=N        independent searches (default 20); the best one wins
  --jobs=N            threads for the restarts (default: every core)

What may move:
  --move=jamo|keys    jamo (default): each key level that types a jamo trades
                      places with another, across Shift levels too; digits,
                      signs and symbols keep their keys and levels. keys: keys
                      move whole with both levels, whatever they type
  --pin=KEYS          keys that never move (each character names its key)
  --pin-jamo=LIST     jamo that never move, such as ㅇ,ㅏ (UTF-8; a jamo typed
                      with two keys pins both)
  --allow=KEYS        only these keys may move (default: the keys that type a
                      jamo; an unused level named here may receive one)
  --max-moved=N       at most N keys differ from the start layout
  --number-row=keep|allow  keep (default): no jamo moves onto the number row or
                      off it; allow: they may
  --keep-hands        a key only swaps with a key of the same hand (default)
  --no-keep-hands     keys may swap across hands
  --swap-levels       with --move=keys: move single characters, so a character
                      may change between the Shift and the plain level
  Space, Enter and the plain quote keys typed for typographic quotes never move.

The objective (lower is better), --weights=NAME=VALUE,... changes any weight:
  keystrokes=0.1      key and Shift presses per Hangul syllable; most of its
                      change already shows under shift, so it weighs little
  shift=1             Shift presses, of keystrokes: each is one more stroke of a
                      little finger
  same-finger=6       one finger on two different keys in a row, of keystrokes:
                      the slowest common motion (the finger must travel between
                      two presses), so it weighs most
  same-key=0.5        a key pressed again: no travel, only a lift
  skipgram=2          one finger on two different keys with one stroke between
                      (an initial and a final around a vowel): a third of a
                      same-finger stroke, as the finger has one stroke's time
  finger-load=1       each finger's share of the eight fingers' strokes beyond
                      its comfort band (little 8%, ring 11%, middle 16%, index 20%);
                      a matter of comfort more than speed, so it weighs as one
                      keystroke
  hand-balance=0.5    |left - right| of the hands' strokes, of both
  rows=0.5            strokes off the home row, the number row counting twice, of
                      character keys
  The stroke figures on the board (a Shift press is a stroke of its Shift key),
  of all pairs of strokes unless said otherwise:
  alternation=0.5     pairs that do not alternate hands (1 - the alternating
                      share): a reward for alternation; while jamo keep their
                      hand it moves only with Shift presses
  roll-in=0           pairs on one hand rolling toward the index finger: a
                      comfortable motion, counted but not charged
  roll-out=0.25       pairs on one hand rolling away from the index finger:
                      less fluent than a roll in
  same-finger-distance=1  key widths a finger travels between two different
                      keys in a row, per pair: one key width costs a keystroke;
                      it tells the keys of one finger and row apart
  scissor=1           adjacent fingers two rows or more apart
  lateral=1           adjacent fingers two key widths or more apart
  effort=0.5          the board's effort per stroke (1 is the index finger's
                      home key): tells apart keys of different effort
  The triple figures on the board, of all triples of strokes:
  redirect=0          one-hand triples that change direction (in then out, or
                      out then in), no finger twice in a row: off by default,
                      as every candidate then sums the triples of the keys it
                      moves (about three times slower); turn it on to polish
  bad-redirect=0      redirects without an index-finger stroke: the awkward
                      ones; off by default for the same reason
  A weight of 0 leaves its figure out; unknown names, negative, infinite and NaN
  values are errors.

  Tuning to one text fits that text: judge the result on another (--validate).

  --help              print this help and exit
  --version           print the version and exit

Exit status: 0 on success, 1 when the run fails (an unreadable file, a start
layout without set type, an empty sample), 2 for a usage error (a bad option,
bad weights, or keys that leave nothing to swap), 130 when interrupted: a first
Ctrl-C (SIGINT) ends the search early and still writes the best layout found
so far; a second ends the run at once, writing nothing.
)";

constexpr ProgramInfo kProgram{"kbeval-optimize", kUsage};

// Which of the options that exclude each other the command line gave.
struct SeenOptions {
  bool iterations = false;
  bool time = false;
  bool moveJamo = false;  // --move=jamo given
};

// Applies one option with its value; false, with `error` set, for a bad value.
bool applyOption(const KnownOption& known, std::string_view value, OptimizeOptions& o,
                 SeenOptions& seen, std::string& error) {
  const std::string option = "--" + std::string(known.name);
  auto needsText = [&](std::string& to, const char* what) {
    return readNonEmptyOption(option, value, what, to, error);
  };
  auto number = [&](auto least, auto most, auto& to, const std::string& what) {
    if (parseNumberInRange(value, least, most, to)) return true;
    error = option + " takes " + what + ", not " + quoted(value);
    return false;
  };
  switch (known.id) {
    case OptionId::start:
      return needsText(o.startPath, "a layout file");
    case OptionId::output:
      return needsText(o.outputPath, "a file name");
    case OptionId::validate:
      return needsText(o.validatePaths.emplace_back(), "a sample file");
    case OptionId::sample: {
      // FILE or FILE:WEIGHT; a colon not followed by a weight is the name's.
      WeightedSample text{std::string(value), 1.0};
      const std::size_t colon = value.rfind(':');
      if (colon != std::string_view::npos) {
        const std::string weight(value.substr(colon + 1));
        char* end = nullptr;
        const double number = weight.empty() ? NAN : std::strtod(weight.c_str(), &end);
        if (!weight.empty() && end == weight.c_str() + weight.size()) {
          if (!std::isfinite(number) || number <= 0 || number > 1e6) {
            error = option + " takes FILE[:WEIGHT] with a weight above 0 up to 10^6, not " +
                    quoted(value);
            return false;
          }
          text = {std::string(value.substr(0, colon)), number};
        }
      }
      if (text.path.empty()) {
        error = option + " needs a sample file";
        return false;
      }
      o.samples.push_back(text);
      return true;
    }
    case OptionId::seed:
      return number(std::numeric_limits<std::uint64_t>::min(),
                    std::numeric_limits<std::uint64_t>::max(), o.seed,
                    "a whole number from 0 to 2^64-1");
    case OptionId::iterations:
      seen.iterations = true;
      return number(1LL, 1'000'000'000'000LL, o.iterations, "a number of steps from 1 to 10^12");
    case OptionId::time: {
      seen.time = true;
      const std::string text(value);
      char* end = nullptr;
      const double seconds = text.empty() ? NAN : std::strtod(text.c_str(), &end);
      if (text.empty() || end != text.c_str() + text.size() || !std::isfinite(seconds) ||
          seconds <= 0 || seconds > 1e7) {
        error = option + " takes a number of seconds above 0, not " + quoted(value);
        return false;
      }
      o.seconds = seconds;
      return true;
    }
    case OptionId::restarts:
      return number(1, kMostRestarts, o.restarts,
                    "a number of restarts from 1 to " + std::to_string(kMostRestarts));
    case OptionId::jobs:
      return readJobsOption(option, value, o.jobs, error);
    case OptionId::show:
      return number(1, kMostShown, o.shown,
                    "a number of layouts from 1 to " + std::to_string(kMostShown));
    case OptionId::weights:
      if (parseObjectiveWeights(value, o.weights, error)) return true;
      error = option + ": " + error;
      return false;
    case OptionId::pin:
      o.pinned += value;
      return true;
    case OptionId::allow:
      o.allowed = o.allowed.value_or("") + std::string(value);
      return true;
    case OptionId::keepHands:
      o.keepHands = true;
      return true;
    case OptionId::noKeepHands:
      o.keepHands = false;
      return true;
    case OptionId::swapLevels:
      o.swapLevels = true;
      return true;
    case OptionId::move:
      if (value == "jamo" || value == "keys") {
        o.moveKeys = value == "keys";
        seen.moveJamo = !o.moveKeys;
        return true;
      }
      error = option + " takes jamo or keys, not " + quoted(value);
      return false;
    case OptionId::pinJamo:
      if (value.empty()) {
        error = option + " needs jamo, such as ㅇ,ㅏ";
        return false;
      }
      if (!o.pinnedJamo.empty()) o.pinnedJamo += ',';
      o.pinnedJamo += value;
      return true;
    case OptionId::maxMoved:
      return number(1, kPhysicalKeys, o.maxMoved,
                    "a number of keys from 1 to " + std::to_string(kPhysicalKeys));
    case OptionId::numberRow:
      if (value == "keep" || value == "allow") {
        o.numberRow = value == "allow";
        return true;
      }
      error = option + " takes keep or allow, not " + quoted(value);
      return false;
    case OptionId::quiet:
      o.quiet = true;
      return true;
    case OptionId::sampleEncoding:
      return readSampleEncodingOption(option, value, o.sampleEncoding, error);
    case OptionId::board:
      if (value.empty()) {
        error = option + " needs a board: ansi, ortho, split or a board file";
        return false;
      }
      o.board = value;
      return true;
    case OptionId::help:
    case OptionId::version:
      break;  // the skeleton's
  }
  return false;
}

// ---- load: the start layout, the keys that may move, the sample's counts ----

struct StartPoint {
  Board board;  // the board typed on (ansi by default)
  LayoutRecord layout;
  KeyTable keys{};
  ObjectiveBoard strokeBoard;  // the board as the stroke figures read it
  KeyMoveSet moves;
  std::optional<QuoteStandIns> standIns;
  std::vector<SymbolCounts> symbols;  // by text
  std::vector<struct stat> files;     // by text: the file the start pass read
};

std::string baseName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool readStartLayout(const OptimizeOptions& o, StartPoint& start, std::string& error) {
  start.layout.fileName = baseName(o.startPath);
  if (start.layout.fileName.empty()) start.layout.fileName = "start";
  std::string why;
  if (!readLayoutFile(o.startPath, start.layout, why)) {
    error = "cannot read start layout " + o.startPath + ": " + why;
    return false;
  }
  if (start.layout.setType != 2 && start.layout.setType != 3) {
    error = "start layout " + o.startPath +
            " has no set type 2 or 3 (a 'set type:2' or 'set type:3' line)";
    return false;
  }
  setupBoardKeyTable(start.board, start.layout, start.keys);
  return true;
}

// The board: a shipped one by name or a board file. A bad board, or one that
// lacks a key the start layout types, is a usage error (exit 2), as kbeval
// has it.
bool readBoard(const OptimizeOptions& o, StartPoint& start, std::string& error) {
  std::string why;
  if (!loadBoard(o.board.empty() ? "ansi" : o.board, start.board, why)) {
    error = "--board: " + why;
    return false;
  }
  return true;
}

bool boardTypesStart(StartPoint& start, std::string& error) {
  if (const int missing = missingBoardKey(start.board, start.layout); missing >= 0) {
    error = "--board: " + printable(start.board.file) + ": no key '" + boardKeyName(missing) +
            "', which layout " + printable(start.layout.fileName) + " types";
    return false;
  }
  std::string why;
  if (!makeObjectiveBoard(start.board, start.keys, start.strokeBoard, why)) {
    error = "--board: " + printable(start.board.file) + ": " + why;
    return false;
  }
  return true;
}

// The keys that may move; a failure here is a usage error (the options leave
// nothing to swap).
bool chooseMoves(const OptimizeOptions& o, StartPoint& start, std::string& error) {
  KeyMoveOptions options;
  options.pinned = o.pinned;
  options.allowed = o.allowed;
  options.keepHands = o.keepHands;
  options.swapLevels = o.swapLevels;
  options.moveKeys = o.moveKeys;
  options.pinnedJamo = o.pinnedJamo;
  options.numberRow = o.numberRow;
  if (!makeKeyMoveSet(start.layout, start.keys, options, start.moves, error)) return false;
  keepMovesOnBoard(start.board, start.moves);
  if (start.moves.swaps.empty()) {
    error = "--board: " + printable(start.board.file) +
            " lacks the keys the moves need: nothing left to swap";
    return false;
  }
  return true;
}

bool canRead(const std::string& samplePath, std::string& error) {
  int fd = -1;
  struct stat info {};
  std::string why;
  if (!openSampleFile(samplePath, fd, info, why)) {
    error = "cannot read sample " + samplePath + ": " + why;
    return false;
  }
  ::close(fd);
  return true;
}

// Counts the start layout's strokes on the sample, once the quote keys are
// settled and the held-out sample is known to be readable (not found out
// after the search).
bool countStartSample(const OptimizeOptions& o, StartPoint& start, std::string& error) {
  start.standIns = quoteStandIns(start.layout, start.keys);
  bool quoteKeyMoves = false;
  for (const auto& unit : start.moves.units) {
    for (unsigned char b : unit) quoteKeyMoves = quoteKeyMoves || b == '\'' || b == '"';
  }
  if (!start.standIns && quoteKeyMoves) {
    error = "start layout " + o.startPath +
            " uses every byte in its keys: the typographic quotes cannot be told "
            "from the quote keys; pin the ' key (--pin \"'\")";
    return false;
  }
  for (const std::string& path : o.validatePaths) {
    if (!canRead(path, error)) return false;
  }
  for (const WeightedSample& text : o.samples) {
    if (!canRead(text.path, error)) return false;
  }
  std::array<bool, 256> movable{};
  for (const auto& unit : start.moves.units) {
    for (const unsigned char b : unit) movable[b] = b != 0;
  }
  for (const WeightedSample& text : o.samples) {
    SymbolCounts& symbols = start.symbols.emplace_back();
    struct stat& file = start.files.emplace_back();
    std::string why;
    if (!countSymbols(text.path, o.sampleEncoding, start.layout, start.standIns, symbols, why,
                      &file)) {
      error = "cannot read sample " + text.path + ": " + why;
      return false;
    }
    Count strokes = 0, movableStrokes = 0;
    forEachSymbolPair(symbols, [&](int, int current, Count n) {
      strokes += n;
      if (movable[current]) movableStrokes += n;
    });
    if (movableStrokes == 0) {
      error = "sample " + text.path +
              (strokes == 0 ? " gives no keystroke on the start layout"
                            : " types none of the keys that may move") +
              ": nothing to optimise";
      if (strokes == 0) {
        error += o.sampleEncoding == SampleEncoding::johab
                     ? " (read as Johab; --sample-encoding=utf-8 reads UTF-8)"
                     : " (read as UTF-8; --sample-encoding=johab reads Johab)";
      }
      return false;
    }
  }
  return true;
}

// ---- search: the restarts, and the layouts of the best scores ----

struct ShownLayout {
  std::string name;
  LayoutRecord layout;
  KeyPermutation permutation{};
  double searchScore = 0;
  std::vector<ObjectiveCounts> searchCounts;  // by text
  int reachedBy = 0;                          // restarts that ended on a layout of the same score
};

struct SearchOutcome {
  std::vector<ShownLayout> shown;  // the start layout, then the best ones found
  int reachedBestScore = 0;        // restarts that ended on the best score
  long long candidates = 0;        // swaps scored in all
  double seconds = 0;              // the search's time
  int restartsRan = 0;             // fewer than asked when the time ran out
  bool interrupted = false;        // a SIGINT stopped the search
};

bool searchFromStart(const OptimizeOptions& o, const StartPoint& start,
                     std::chrono::steady_clock::time_point runBegan, std::FILE* err,
                     SearchOutcome& outcome, std::string& error) {
  std::vector<PermutationScorer> scorers(o.samples.size());
  TextScorers texts;
  for (std::size_t i = 0; i < o.samples.size(); ++i) {
    if (!makePermutationScorer(start.keys, &start.strokeBoard, start.symbols[i], start.moves,
                               o.weights, scorers[i], error)) {
      error = "internal error: " + error;
      return false;
    }
    texts.weights.push_back(o.samples[i].weight);
  }
  for (const PermutationScorer& scorer : scorers) texts.scorers.push_back(&scorer);
  SearchSettings settings;
  settings.seed = o.seed;
  settings.iterations = o.seconds > 0 ? 0 : o.iterations;
  if (o.seconds > 0) {
    // --time is the whole run's: what loading took, and about as much again
    // per sample for the report's full evaluation, comes off the search's share.
    const auto now = std::chrono::steady_clock::now();
    const double loading = std::chrono::duration<double>(now - runBegan).count();
    const double reserve = std::min(
        loading * (2.0 + 1.5 * static_cast<double>(o.validatePaths.size())), 0.25 * o.seconds);
    const double searching = std::max(0.0, o.seconds - loading - reserve);
    settings.seconds = searching;
    settings.deadline = now + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                  std::chrono::duration<double>(searching));
  }
  settings.restarts = o.restarts;
  settings.jobs = jobsOrDefault(o.jobs);
  settings.maxMoved = o.maxMoved;
  // The caller catches SIGINT; a caught one ends the search as the deadline does.
  settings.stopRequested = interruptCaught;

  const bool showProgress = !o.quiet && ::isatty(::fileno(err));
  double bestSoFar = INFINITY;
  const auto began = std::chrono::steady_clock::now();
  const std::vector<RestartResult> results =
      searchLayouts(texts, settings, [&](const RestartResult& r, int done) {
        bestSoFar = std::min(bestSoFar, r.score);
        if (showProgress) {
          std::fprintf(err, "\rrestart %d of %d, best score %.6f ", done, o.restarts, bestSoFar);
          std::fflush(err);
        }
      });
  outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  if (showProgress) std::fputc('\n', err);
  for (const RestartResult& r : results) outcome.candidates += r.candidates;
  outcome.restartsRan = static_cast<int>(results.size());
  outcome.interrupted = interruptCaught();

  // Best first; of equal scores the layout nearest the start (fewest keys
  // moved, then the permutation's order), so that any thread or restart
  // count that reaches a score writes the same layout for it.
  std::vector<const RestartResult*> ranked;
  for (const RestartResult& r : results) ranked.push_back(&r);
  std::stable_sort(ranked.begin(), ranked.end(),
                   [](const RestartResult* a, const RestartResult* b) {
                     if (a->score != b->score) return a->score < b->score;
                     const int movedA = keysMoved(a->permutation);
                     const int movedB = keysMoved(b->permutation);
                     if (movedA != movedB) return movedA < movedB;
                     return a->permutation < b->permutation;
                   });
  std::vector<ShownLayout>& shown = outcome.shown;
  shown.resize(1);
  shown[0].name = "start";
  shown[0].layout = start.layout;
  shown[0].permutation = identityPermutation();
  shown[0].searchScore = 0;
  double totalWeight = 0;
  for (std::size_t i = 0; i < scorers.size(); ++i) {
    shown[0].searchCounts.push_back(scorers[i].startCounts);
    shown[0].searchScore += texts.weights[i] * objectiveScore(scorers[i].startCounts, o.weights);
    totalWeight += texts.weights[i];
  }
  shown[0].searchScore /= totalWeight;
  // Layouts of the same score (keys of one finger and row traded, or twin
  // keys) are one result for the objective: the first is shown.
  for (const RestartResult* r : ranked) {
    auto same = std::find_if(shown.begin() + 1, shown.end(),
                             [r](const ShownLayout& s) { return s.searchScore == r->score; });
    if (same != shown.end()) {
      ++same->reachedBy;
      continue;
    }
    if (static_cast<int>(shown.size()) > o.shown) continue;
    ShownLayout& s = shown.emplace_back();
    s.name = "best-" + std::to_string(shown.size() - 1);
    s.permutation = r->permutation;
    s.layout = renamedKeys(start.layout, r->permutation);
    s.layout.fileName = s.name;
    s.searchCounts = r->textCounts;
    s.searchScore = r->score;
    s.reachedBy = 1;
  }
  for (const RestartResult& r : results) {
    outcome.reachedBestScore += r.score == ranked.front()->score;
  }
  return true;
}

// ---- report: the layouts evaluated in full, and what the run was ----

std::string shownByte(unsigned char c) {
  if (c >= 0x21 && c < 0x7F) return std::string(1, static_cast<char>(c));
  return formatText("\\x%02X", c);
}

// "r>f>r e>t>e": what key r typed, key f types now, and so on round each cycle.
std::string movedKeys(const KeyPermutation& sigma, const KeyMoveSet& moves) {
  std::string text;
  std::array<bool, 256> seen{};
  for (const auto& unit : moves.units) {
    const unsigned char first = unit[0];
    if (seen[first] || sigma[first] == first) continue;
    if (!text.empty()) text += ' ';
    unsigned char b = first;
    text += shownByte(b);
    do {
      seen[b] = true;
      b = sigma[b];
      text += '>';
      text += shownByte(b);
    } while (b != first);
  }
  return text.empty() ? "none" : text;
}

// "seed 1, 20 restarts x 200000 iterations"
std::string searchText(const OptimizeOptions& o) {
  if (o.seconds > 0) {
    return formatText("seed %llu, %d restarts in %g s (the whole run)",
                      static_cast<unsigned long long>(o.seed), o.restarts, o.seconds);
  }
  return formatText("seed %llu, %d restarts x %lld iterations",
                    static_cast<unsigned long long>(o.seed), o.restarts, o.iterations);
}

// "21 keys (with both levels), each on its hand, 100 swaps, pinned q"
std::string movesText(const OptimizeOptions& o, const KeyMoveSet& moves) {
  const char* what = !o.moveKeys    ? "jamo key levels (digits, signs and symbols stay)"
                     : o.swapLevels ? "characters (levels may swap)"
                                    : "keys (with both levels)";
  std::string text =
      formatText("%zu %s, %s, %zu swaps", moves.units.size(), what,
                 o.keepHands ? "each on its hand" : "across hands", moves.swaps.size());
  if (!o.moveKeys) text += o.numberRow ? ", number row allowed" : ", number row kept";
  if (o.maxMoved > 0) text += formatText(", at most %d keys moved", o.maxMoved);
  if (!o.pinned.empty()) text += ", pinned " + o.pinned;
  if (!o.pinnedJamo.empty()) text += ", pinned jamo " + o.pinnedJamo;
  if (o.allowed) text += ", allowed " + *o.allowed;
  return text;
}

// The terms [first, end) as a table: a header of their names, one row per
// layout, and with `weights` a score column after the name. Keystrokes per
// syllable, distances and efforts print as they are; the shares in %.
void appendTermTable(const std::vector<ShownLayout>& shown,
                     const std::vector<ObjectiveCounts>& counts, int first, int end,
                     const ObjectiveWeights* weights, std::string& text) {
  const auto width = [](int t) {
    return static_cast<int>(std::max<std::size_t>(kObjectiveTermNames[t].size(), 7));
  };
  appendFormat(text, "%-12s", "layout");
  if (weights != nullptr) appendFormat(text, " %9s", "score");
  for (int t = first; t < end; ++t)
    appendFormat(text, " %*s", width(t), std::string(kObjectiveTermNames[t]).c_str());
  text += '\n';
  for (std::size_t i = 0; i < shown.size(); ++i) {
    const auto figures = objectiveFigures(counts[i]);
    appendFormat(text, "%-12s", shown[i].name.c_str());
    if (weights != nullptr) appendFormat(text, " %9.6f", objectiveScore(counts[i], *weights));
    for (int t = first; t < end; ++t) {
      const bool share = t != kKeystrokesTerm && t != kSameFingerDistanceTerm && t != kEffortTerm;
      appendFormat(text, " %*.*f", width(t), share ? 3 : 4, share ? 100 * figures[t] : figures[t]);
    }
    text += '\n';
  }
}

std::string objectiveTable(const std::vector<ShownLayout>& shown,
                           const std::vector<ObjectiveCounts>& counts,
                           const ObjectiveWeights& weights) {
  std::string text;
  appendTermTable(shown, counts, 0, kFirstStrokeTerm, &weights, text);
  text +=
      "score: the weighted sum (lower is better); keystrokes per syllable; the other figures\n"
      "in % of keystrokes (finger-load, hand-balance and rows as described in --help).\n";
  // The stroke figures' terms, in a table of their own.
  text += '\n';
  appendTermTable(shown, counts, kFirstStrokeTerm, kObjectiveTerms, nullptr, text);
  text +=
      "stroke figures on the board: in % of stroke pairs (alternation: the pairs that do not\n"
      "alternate); same-finger-distance in key widths per stroke pair; effort per stroke;\n"
      "redirect and bad-redirect in % of stroke triples.\n";
  return text;
}

// kbeval's comparison table of the rows, appended to `text`; false, with
// `error` set, when no memory stream can be had for it.
bool appendComparisonTable(const std::vector<ComparisonRow>& rows, std::string& text,
                           std::string& error) {
  char* data = nullptr;
  std::size_t size = 0;
  std::FILE* table = open_memstream(&data, &size);
  if (table == nullptr) {
    error = std::string("cannot format the comparison table: ") + std::strerror(errno);
    return false;
  }
  printComparisonTable(rows, table);
  std::fclose(table);
  text.append(data, size);
  std::free(data);
  return true;
}

// Evaluates the shown layouts on one sample in full and appends the report's
// part for it. For a searched text (`searchedFile` the file its search read)
// the counts must be the search's.
bool appendExactReport(const OptimizeOptions& o, const Board& board, const std::string& samplePath,
                       const std::vector<ShownLayout>& shown, int searchedText,
                       const struct stat* searchedFile, std::string& report, std::string& error) {
  const bool checkAgainstSearch = searchedText >= 0;
  std::vector<const LayoutRecord*> records;
  for (const ShownLayout& s : shown) records.push_back(&s.layout);
  ExactEvaluation exact;
  std::string why;
  if (!evaluateExactly(samplePath, o.sampleEncoding, records, exact, why, &board, searchedFile)) {
    error = why == kSampleChanged && searchedFile != nullptr
                ? "sample " + samplePath + " changed since the search read it; nothing written"
                : "cannot read sample " + samplePath + ": " + why;
    return false;
  }
  std::vector<ComparisonRow> rows;
  std::vector<ObjectiveCounts> counts;
  for (std::size_t i = 0; i < shown.size(); ++i) {
    const ExactResult& r = exact.layouts[i];
    rows.push_back({shown[i].name,
                    shown[i].layout.setType,
                    shown[i].layout.fingering,
                    comparisonFigures(r.keystrokes, r.untreated, exact.text),
                    false,
                    {},
                    {}});
    counts.push_back(exactObjectiveCounts(r, exact.text));
    // The search's counts came from pair counts: the full walk must agree.
    if (checkAgainstSearch && !(counts.back() == shown[i].searchCounts[searchedText])) {
      error = "internal error: the full evaluation of " + shown[i].name +
              " differs from the search's count";
      return false;
    }
  }
  if (checkAgainstSearch && o.samples.size() > 1) {
    appendFormat(report, "On %s (weight %g, %lld syllables), evaluated in full:\n",
                 samplePath.c_str(), o.samples[searchedText].weight,
                 static_cast<long long>(exact.text.natnaeCount));
  } else {
    appendFormat(report, "On %s (%lld syllables)%s, evaluated in full:\n", samplePath.c_str(),
                 static_cast<long long>(exact.text.natnaeCount),
                 checkAgainstSearch ? "" : ", held out");
  }
  if (!appendComparisonTable(rows, report, error)) return false;
  report += '\n';
  report += objectiveTable(shown, counts, o.weights);
  return true;
}

// The report: the run, the layouts evaluated in full on the sample (and the
// held-out one), and the keys each best layout moved.
bool makeReport(const OptimizeOptions& o, const StartPoint& start, const SearchOutcome& found,
                std::string& report, std::string& error) {
  // Off ansi the board's fingers are typed with, not the layout's fingering line.
  appendFormat(report, "Start layout: %s (%d Sets, %s Fingering)\n", printable(o.startPath).c_str(),
               start.layout.setType,
               fingeringApplies(start.board) ? start.layout.fingering.c_str() : "board");
  if (!o.board.empty()) {
    appendFormat(report, "Board: %s (%s)\n", printable(start.board.name).c_str(),
                 printable(start.board.file).c_str());
  }
  appendFormat(report, "Search: %s\nMoves: %s\nWeights: %s\n", searchText(o).c_str(),
               movesText(o, start.moves).c_str(), formatObjectiveWeights(o.weights).c_str());
  if (found.interrupted) {
    appendFormat(report, "Interrupted after %d of %d restarts\n", found.restartsRan, o.restarts);
  } else if (found.restartsRan < o.restarts) {
    appendFormat(report, "Time was up after %d of %d restarts\n", found.restartsRan, o.restarts);
  }
  appendFormat(report, "Best score reached by %d of %d restarts\n\n", found.reachedBestScore,
               found.restartsRan);
  if (o.samples.size() > 1) {
    report += "Score: the weighted mean of the texts' scores:";
    for (const ShownLayout& s : found.shown) {
      appendFormat(report, " %s %.6f", s.name.c_str(), s.searchScore);
    }
    report += "\n\n";
  }
  for (std::size_t i = 0; i < o.samples.size(); ++i) {
    if (i > 0) report += '\n';
    if (!appendExactReport(o, start.board, o.samples[i].path, found.shown, static_cast<int>(i),
                           &start.files[i], report, error)) {
      return false;
    }
  }
  for (const std::string& path : o.validatePaths) {
    report += '\n';
    if (!appendExactReport(o, start.board, path, found.shown, -1, nullptr, report, error)) {
      return false;
    }
  }
  report +=
      "\nKeys moved (X>Y: what key X typed, key Y types now), and the restarts that\n"
      "ended on that layout or one of the same score:\n";
  for (std::size_t i = 1; i < found.shown.size(); ++i) {
    appendFormat(report, "%-12s %s (%d)\n", found.shown[i].name.c_str(),
                 movedKeys(found.shown[i].permutation, start.moves).c_str(),
                 found.shown[i].reachedBy);
  }
  return true;
}

// ---- write: the best layout as a layout file, and the report ----

// "a.txt" or "a.txt, b.txt:2": the texts tuned on.
std::string samplesText(const OptimizeOptions& o) {
  std::string text;
  for (const WeightedSample& sample : o.samples) {
    if (!text.empty()) text += ", ";
    text += sample.path;
    if (o.samples.size() > 1) text += formatText(":%g", sample.weight);
  }
  return text;
}

// The best layout's file, its comments saying how it was found.
std::string bestLayoutText(const OptimizeOptions& o, const StartPoint& start,
                           const SearchOutcome& found) {
  const ShownLayout& best = found.shown.size() > 1 ? found.shown[1] : found.shown[0];
  std::vector<std::string> comments = {
      "Best layout found by kbeval-optimize from " + o.startPath,
      formatText("score %.6f (start %.6f) on ", best.searchScore, found.shown[0].searchScore) +
          samplesText(o),
      searchText(o),
  };
  // A layout file cuts long comments: the weights take as many lines as they
  // need, each whole items that --weights reads.
  const std::string weights = formatObjectiveWeights(o.weights);
  constexpr std::size_t kWeightsLine = 120;
  for (std::size_t begin = 0; begin < weights.size();) {
    std::size_t end = weights.size();
    if (end - begin > kWeightsLine) {
      end = weights.rfind(',', begin + kWeightsLine);
      if (end == std::string::npos || end <= begin) end = weights.find(',', begin);
      if (end == std::string::npos) end = weights.size();
    }
    comments.push_back("weights " + weights.substr(begin, end - begin));
    begin = end + 1;
  }
  comments.push_back("moves: " + movesText(o, start.moves));
  comments.push_back("keys moved: " + movedKeys(best.permutation, start.moves));
  return layoutFileText(best.layout, comments);
}

// Every line of `report` as a layout file comment.
std::string asComments(const std::string& report) {
  std::string commented;
  std::size_t begin = 0;
  while (begin < report.size()) {
    const std::size_t end = report.find('\n', begin);
    const std::string line = report.substr(begin, end - begin);
    commented += line.empty() ? "//\n" : "// " + line + "\n";
    begin = end == std::string::npos ? report.size() : end + 1;
  }
  return commented;
}

// Writes `text` to `path` whole or not at all.
bool writeWholeFile(const std::string& path, const std::string& text, std::string& error) {
  OutputFile file;
  if (!openOutputFile(path, file, error)) return false;
  std::fwrite(text.data(), 1, text.size(), file.stream);
  return commitOutputFile(file, error);
}

// With --output, the layout goes to its file and the report to `out`;
// without, `out` takes the layout, the report following as comments so that
// it stays a layout file.
bool writeResult(const OptimizeOptions& o, const std::string& layoutText, const std::string& report,
                 std::FILE* out, std::string& error) {
  if (o.outputPath.empty()) {
    std::fputs(layoutText.c_str(), out);
    std::fputs(asComments(report).c_str(), out);
  } else {
    std::string why;
    if (!writeWholeFile(o.outputPath, layoutText, why)) {
      error = "cannot write " + o.outputPath + ": " + why;
      return false;
    }
    std::fputs(report.c_str(), out);
  }
  if (std::fflush(out) != 0 || std::ferror(out)) {
    error = "cannot write the output";
    return false;
  }
  return true;
}

// A sample that looks like UTF-16 gets a warning: neither Johab nor UTF-8
// reading makes sense of it.
void warnOfUtf16(const std::string& samplePath, std::FILE* err) {
  const int fd = ::open(samplePath.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  struct stat info {};
  char head[1024];
  const ssize_t got =
      ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) ? ::read(fd, head, sizeof head) : -1;
  ::close(fd);
  if (got > 0 && looksLikeUtf16({head, static_cast<std::size_t>(got)})) {
    std::fprintf(
        err,
        "%s: warning: %s looks like UTF-16 text, which kbeval cannot read; "
        "convert it first (iconv -f UTF-16 -t UTF-8) and read it with --sample-encoding=utf-8\n",
        kProgram.name, samplePath.c_str());
  }
}

int runFailed(const std::string& error, std::FILE* err) {
  std::fprintf(err, "%s: %s\n", kProgram.name, error.c_str());
  return 1;
}

// Whether `path` can be written: its directory exists and may be written,
// and it is no directory itself. Checked before the search, not after it.
bool outputCreatable(const std::string& path, std::string& error) {
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
    error = "cannot write " + path + ": it is a directory";
    return false;
  }
  const std::size_t slash = path.rfind('/');
  const std::string directory =
      slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  if (::stat(directory.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    error = "cannot write " + path + ": no directory " + directory;
    return false;
  }
  if (::access(directory.c_str(), W_OK | X_OK) != 0) {
    error = "cannot write " + path + ": directory " + directory + " is not writable";
    return false;
  }
  return true;
}

// The weighted figures of the start layout must be finite: a weight so large
// that its product or the sum overflows would make every score infinite.
bool weightsFinite(const OptimizeOptions& o, const StartPoint& start, std::string& error) {
  double mean = 0;
  for (std::size_t i = 0; i < start.symbols.size(); ++i) {
    const ObjectiveCounts counts = permutedObjectiveCounts(
        start.keys, start.symbols[i], identityPermutation(), &start.strokeBoard);
    const std::array<double, kObjectiveTerms> figures = objectiveFigures(counts);
    double sum = 0;
    for (int t = 0; t < kObjectiveTerms; ++t) {
      const double product = o.weights[t] * figures[t];
      sum += product;
      if (!std::isfinite(product) || !std::isfinite(sum)) {
        error = formatText("--weights: %s=%g overflows on the start layout (its figure is %g)",
                           std::string(kObjectiveTermNames[t]).c_str(), o.weights[t], figures[t]);
        return false;
      }
    }
    mean += o.samples[i].weight * sum;
    if (!std::isfinite(mean)) {
      error = "--weights: the weighted mean of the texts' scores overflows on the start layout";
      return false;
    }
  }
  return true;
}

// Warns when a sample read as Johab is plainly UTF-8, as kbeval does.
void warnIfUtf8(const OptimizeOptions& o, const std::string& path, std::FILE* err) {
  if (o.sampleEncoding != SampleEncoding::johab) return;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return;
  std::string start(1 << 16, '\0');
  start.resize(std::fread(start.data(), 1, start.size(), file));
  std::fclose(file);
  if (isPlainlyKoreanUtf8(start)) {
    std::fprintf(err,
                 "%s: warning: %s looks like UTF-8 text, but is read as Johab; "
                 "read it with --sample-encoding=utf-8\n",
                 kProgram.name, path.c_str());
  }
}

// Every text is read more than once (the warnings, the search's counts, the
// full evaluation), so a pipe or a device would give each pass another text.
bool textsAreFiles(const OptimizeOptions& o, std::string& error) {
  std::vector<std::string> paths = o.validatePaths;
  for (const WeightedSample& text : o.samples) paths.push_back(text.path);
  for (const std::string& path : paths) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode)) {
      error = "cannot read " + path +
              ": not a regular file (it is read more than once; save it to a file first)";
      return false;
    }
  }
  return true;
}

int runOptimize(const OptimizeOptions& o, std::FILE* out, std::FILE* err) {
  const auto began = std::chrono::steady_clock::now();
  std::string error;
  StartPoint start;
  if (!readBoard(o, start, error)) {
    std::fprintf(err, "%s: %s\n", kProgram.name, error.c_str());
    return 2;
  }
  if (!o.outputPath.empty() && !outputCreatable(o.outputPath, error)) return runFailed(error, err);
  if (!readStartLayout(o, start, error)) return runFailed(error, err);
  if (!boardTypesStart(start, error)) {
    std::fprintf(err, "%s: %s\n", kProgram.name, error.c_str());
    return 2;
  }
  if (!chooseMoves(o, start, error)) return reportUsageError(kProgram, error, err);
  if (!textsAreFiles(o, error)) return runFailed(error, err);
  for (const WeightedSample& text : o.samples) {
    warnOfUtf16(text.path, err);
    warnIfUtf8(o, text.path, err);
  }
  for (const std::string& path : o.validatePaths) {
    warnOfUtf16(path, err);
    warnIfUtf8(o, path, err);
  }
  if (!countStartSample(o, start, error)) return runFailed(error, err);
  if (!weightsFinite(o, start, error)) return reportUsageError(kProgram, error, err);
  // From here a first SIGINT ends the search early and the best layout so
  // far is still written; a second one ends the run at once, as before.
  catchInterrupts(true);
  SearchOutcome found;
  std::string report;
  const bool written = searchFromStart(o, start, began, err, found, error) &&
                       makeReport(o, start, found, report, error) &&
                       writeResult(o, bestLayoutText(o, start, found), report, out, error);
  catchInterrupts(false);
  if (!written) return runFailed(error, err);
  std::fprintf(err, "%lld candidates in %.2f s (%.0f per second)\n", found.candidates,
               found.seconds,
               found.seconds > 0 ? static_cast<double>(found.candidates) / found.seconds : 0.0);
  if (interruptCaught()) {
    const std::string where = o.outputPath.empty() ? "" : " to " + o.outputPath;
    std::fprintf(err, "%s: interrupted: wrote the best layout found so far%s\n", kProgram.name,
                 where.c_str());
    return kInterruptedStatus;
  }
  return 0;
}

// False, with `error` naming both, when --output would replace the sample,
// the start layout or the held-out sample.
bool outputFileStandsApart(const OptimizeOptions& o, std::string& error) {
  if (o.outputPath.empty()) return true;
  std::vector<RunFile> inputs = {{"--start " + quoted(o.startPath), o.startPath}};
  for (const WeightedSample& text : o.samples)
    inputs.push_back({"the sample " + quoted(text.path), text.path});
  for (const std::string& path : o.validatePaths)
    inputs.push_back({"--validate " + quoted(path), path});
  return outputsStandApart({{"--output " + quoted(o.outputPath), o.outputPath}}, inputs, error);
}

}  // namespace

ParsedCommand parseOptimizeCommandLine(int argc, const char* const* argv,
                                       OptimizeOptions& options) {
  SeenOptions seen;
  ParsedCommand command = parseArguments<OptionId>(
      argc, argv, kOptions,
      [&](const KnownOption& option, std::string_view value, std::string& error) {
        return applyOption(option, value, options, seen, error);
      });
  if (command.action != CommandAction::run) return command;
  if (options.swapLevels && seen.moveJamo) {
    failUsage(command, "--swap-levels moves keys' characters: it goes with --move=keys");
  } else if (seen.iterations && seen.time) {
    failUsage(command, "--iterations and --time exclude each other");
  } else if (command.operands.size() > 1) {
    failUsage(command, "one sample only, not " + quoted(command.operands[1]) +
                           " too (--sample FILE[:WEIGHT] adds texts)");
  } else if (command.operands.empty() && options.samples.empty()) {
    failUsage(command, "no sample given");
  } else if (options.startPath.empty()) {
    failUsage(command, "no start layout given (--start LAYOUT.txt)");
  } else {
    if (!command.operands.empty()) {
      options.samples.insert(options.samples.begin(),
                             WeightedSample{std::string(command.operands.front()), 1.0});
    }
    options.samplePath = options.samples.front().path;
    if (options.swapLevels) options.moveKeys = true;
  }
  return command;
}

int optimizeMain(int argc, const char* const* argv, std::FILE* out, std::FILE* err) {
  OptimizeOptions options;
  const ParsedCommand command = parseOptimizeCommandLine(argc, argv, options);
  if (command.action != CommandAction::run) {
    return finishCommand(kProgram, command.action, command.error, out, err);
  }
  std::string clash;
  if (!outputFileStandsApart(options, clash)) {
    return finishCommand(kProgram, CommandAction::usageError, clash, out, err);
  }
  return runOptimize(options, out, err);
}

}  // namespace kbeval
