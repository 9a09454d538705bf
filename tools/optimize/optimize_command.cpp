#include "optimize_command.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string_view>
#include <thread>
#include <vector>

#include "keystrokes/key_table.h"
#include "layouts/layout_loader.h"
#include "layouts/layout_writer.h"
#include "optimize/layout_search.h"
#include "optimize/permutation_score.h"
#include "optimize/sample_passes.h"
#include "shell/long_options.h"
#include "shell/output_file.h"
#include "views/comparison_figures.h"
#include "views/comparison_table.h"

#ifndef KBEVAL_VERSION
#define KBEVAL_VERSION "unknown"
#endif

namespace kbeval {

namespace {

constexpr const char* kProgram = "kbeval-optimize";
constexpr unsigned kMostJobs = 1024;
constexpr int kMostRestarts = 1000000;
constexpr int kMostShown = 100;

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
  validate,
  show,
  quiet,
  sampleEncoding,
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
    {"validate", OptionId::validate, true},
    {"show", OptionId::show, true},
    {"quiet", OptionId::quiet, false},
    {"sample-encoding", OptionId::sampleEncoding, true},
    {"help", OptionId::help, false},
    {"version", OptionId::version, false},
};

template <typename Number>
bool readWhole(std::string_view text, Number& number) {
  return parseNumberInRange(text, std::numeric_limits<Number>::min(),
                            std::numeric_limits<Number>::max(), number);
}

bool applyOption(const KnownOption& known, std::string_view value, OptimizeCommandLine& line,
                 bool& sawIterations, bool& sawTime) {
  OptimizeOptions& o = line.options;
  const std::string option = "--" + std::string(known.name);
  std::string& error = line.error;
  auto needsText = [&](std::string& to, const char* what) {
    if (value.empty()) {
      error = option + " needs " + what;
      return false;
    }
    to = value;
    return true;
  };
  switch (known.id) {
    case OptionId::start:
      return needsText(o.startPath, "a layout file");
    case OptionId::output:
      return needsText(o.outputPath, "a file name");
    case OptionId::validate:
      return needsText(o.validatePath, "a sample file");
    case OptionId::seed:
      if (readWhole(value, o.seed)) return true;
      error = option + " takes a whole number from 0 to 2^64-1, not " + quoted(value);
      return false;
    case OptionId::iterations:
      sawIterations = true;
      if (parseNumberInRange<long long>(value, 1, 1'000'000'000'000LL, o.iterations)) return true;
      error = option + " takes a number of steps from 1 to 10^12, not " + quoted(value);
      return false;
    case OptionId::time: {
      sawTime = true;
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
      if (parseNumberInRange(value, 1, kMostRestarts, o.restarts)) return true;
      error = option + " takes a number of restarts from 1 to " + std::to_string(kMostRestarts) +
              ", not " + quoted(value);
      return false;
    case OptionId::jobs:
      if (parseNumberInRange(value, 1u, kMostJobs, o.jobs)) return true;
      error = option + " takes a number of threads from 1 to " + std::to_string(kMostJobs) +
              ", not " + quoted(value);
      return false;
    case OptionId::show:
      if (parseNumberInRange(value, 1, kMostShown, o.shown)) return true;
      error = option + " takes a number of layouts from 1 to " + std::to_string(kMostShown) +
              ", not " + quoted(value);
      return false;
    case OptionId::weights:
      if (const auto problem = parseObjectiveWeights(value, o.weights)) {
        error = option + ": " + *problem;
        return false;
      }
      return true;
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
    case OptionId::quiet:
      o.quiet = true;
      return true;
    case OptionId::sampleEncoding:
      if (const auto encoding = sampleEncodingNamed(value)) {
        o.sampleEncoding = *encoding;
        return true;
      }
      error = "unknown sample encoding " + quoted(value) + " for " + option + " (johab or utf-8)";
      return false;
    case OptionId::help:
      line.action = OptimizeAction::help;
      return true;
    case OptionId::version:
      if (line.action != OptimizeAction::help) line.action = OptimizeAction::version;
      return true;
  }
  return false;
}

// ---- the run ----

struct RunFailure {
  int status;
  std::string message;
};

template <typename... Args>
void appendFormatted(std::string& text, const char* format, Args... args) {
  char line[1024];
  std::snprintf(line, sizeof line, format, args...);
  text += line;
}

std::string shownByte(unsigned char c) {
  if (c >= 0x21 && c < 0x7F) return std::string(1, static_cast<char>(c));
  char text[8];
  std::snprintf(text, sizeof text, "\\x%02X", c);
  return text;
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

std::string baseName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Writes `text` to `path` whole or not at all. An error message, or empty.
std::string writeAtomically(const std::string& path, const std::string& text) {
  OutputFile file;
  std::string why;
  if (!openOutputFile(path, file, why)) return why;
  std::fwrite(text.data(), 1, text.size(), file.stream);
  if (!commitOutputFile(file, why)) return why;
  return {};
}

// Why a layout file cannot be read, as the system says it.
std::string unreadableReason(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return std::strerror(errno);
  struct stat info {};
  const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  ::close(fd);
  return regular ? "cannot be read" : "not a regular file";
}

struct ShownLayout {
  std::string name;
  LayoutRecord layout;
  KeyPermutation permutation{};
  double searchScore = 0;
  ObjectiveCounts searchCounts;
  int reachedBy = 0;  // restarts that ended on a layout of the same score
};

std::string objectiveTable(const std::vector<ShownLayout>& shown,
                           const std::vector<ObjectiveCounts>& counts,
                           const ObjectiveWeights& weights) {
  std::string text;
  appendFormatted(text, "%-12s %9s", "layout", "score");
  for (std::string_view name : kObjectiveTermNames) {
    appendFormatted(text, " %*s", static_cast<int>(std::max<std::size_t>(name.size(), 7)),
                    std::string(name).c_str());
  }
  text += '\n';
  for (std::size_t i = 0; i < shown.size(); ++i) {
    const auto figures = objectiveFigures(counts[i]);
    appendFormatted(text, "%-12s %9.6f", shown[i].name.c_str(), objectiveScore(counts[i], weights));
    for (int t = 0; t < kObjectiveTerms; ++t) {
      const int width = static_cast<int>(std::max<std::size_t>(kObjectiveTermNames[t].size(), 7));
      // Shares as percentages; keystrokes per syllable as they are.
      appendFormatted(text, " %*.*f", width, t == kKeystrokesTerm ? 4 : 3,
                      t == kKeystrokesTerm ? figures[t] : 100 * figures[t]);
    }
    text += '\n';
  }
  text +=
      "score: the weighted sum (lower is better); keystrokes per syllable; the other figures\n"
      "in % of keystrokes (finger-load, hand-balance and rows as described in --help).\n";
  return text;
}

// kbeval's comparison table of the rows, as text.
std::string comparisonTableText(const std::vector<ComparisonRow>& rows) {
  char* data = nullptr;
  std::size_t size = 0;
  std::FILE* table = open_memstream(&data, &size);
  if (table == nullptr) throw RunFailure{1, "out of memory"};
  printComparisonTable(rows, table);
  std::fclose(table);
  std::string text(data, size);
  std::free(data);
  return text;
}

// Evaluates the shown layouts on one sample in full; the report's part for it.
std::string exactReport(const OptimizeOptions& o, const std::string& samplePath,
                        const std::vector<ShownLayout>& shown, bool checkAgainstSearch) {
  std::vector<const LayoutRecord*> records;
  for (const ShownLayout& s : shown) records.push_back(&s.layout);
  ExactEvaluation exact;
  if (std::string why = evaluateExactly({samplePath}, o.sampleEncoding, records, exact);
      !why.empty()) {
    throw RunFailure{1, "cannot read sample " + samplePath + ": " + why};
  }
  std::vector<ComparisonRow> rows;
  std::vector<ObjectiveCounts> counts;
  for (std::size_t i = 0; i < shown.size(); ++i) {
    const ExactResult& r = exact.layouts[i];
    rows.push_back({shown[i].name, shown[i].layout.setType, shown[i].layout.fingering,
                    comparisonFigures(r.keystrokes, r.untreated, exact.text)});
    counts.push_back(objectiveCounts(r.keystrokes, r.skipgrams, exact.text.natnaeCount));
    // The search's counts came from pair counts: the full walk must agree.
    if (checkAgainstSearch && !(counts.back() == shown[i].searchCounts)) {
      throw RunFailure{1, "internal error: the full evaluation of " + shown[i].name +
                              " differs from the search's count"};
    }
  }
  std::string text;
  appendFormatted(text, "On %s (%lld syllables), evaluated in full:\n", samplePath.c_str(),
                  static_cast<long long>(exact.text.natnaeCount));
  text += comparisonTableText(rows);
  text += '\n';
  text += objectiveTable(shown, counts, o.weights);
  return text;
}

int runOptimize(const OptimizeOptions& o, std::FILE* out, std::FILE* err) {
  const auto failed = [err](const RunFailure& f) {
    std::fprintf(err, "%s: %s\n", kProgram, f.message.c_str());
    return f.status;
  };
  try {
    LayoutRecord start;
    start.fileName = baseName(o.startPath);
    if (start.fileName.empty()) start.fileName = "start";
    if (!readLayoutFile(o.startPath, start)) {
      throw RunFailure{
          1, "cannot read start layout " + o.startPath + ": " + unreadableReason(o.startPath)};
    }
    if (start.setType != 2 && start.setType != 3) {
      throw RunFailure{1, "start layout " + o.startPath +
                              " has no set type 2 or 3 (a 'set type:2' or 'set type:3' line)"};
    }
    KeyTable keys{};
    setupKeyTable(start, keys);
    const KeyMoveSetResult moveSet =
        makeKeyMoveSet(start, keys, {o.pinned, o.allowed, o.keepHands, o.swapLevels});
    if (!moveSet.error.empty()) {
      throw RunFailure{2, moveSet.error + "; see '" + std::string(kProgram) + " --help'"};
    }
    const KeyMoveSet& moves = moveSet.moves;

    const std::optional<QuoteStandIns> standIns = quoteStandIns(start, keys);
    bool quoteKeyMoves = false;
    for (const auto& unit : moves.units) {
      for (unsigned char b : unit) quoteKeyMoves = quoteKeyMoves || b == '\'' || b == '"';
    }
    if (!standIns && quoteKeyMoves) {
      throw RunFailure{1, "start layout " + o.startPath +
                              " uses every byte in its keys: the typographic quotes cannot be told "
                              "from the quote keys; pin the ' key (--pin \"'\")"};
    }

    // A held-out sample that cannot be read is found out before the search, not after.
    if (!o.validatePath.empty()) {
      const int fd = ::open(o.validatePath.c_str(), O_RDONLY | O_CLOEXEC);
      if (fd < 0) {
        throw RunFailure{1, "cannot read sample " + o.validatePath + ": " + std::strerror(errno)};
      }
      ::close(fd);
    }
    SymbolCounts symbols;
    if (std::string why = countSymbols({o.samplePath}, o.sampleEncoding, start, standIns, symbols);
        !why.empty()) {
      throw RunFailure{1, "cannot read sample " + o.samplePath + ": " + why};
    }
    Count strokes = 0, movableStrokes = 0;
    std::array<bool, 256> movable{};
    for (const auto& unit : moves.units) {
      for (const unsigned char b : unit) movable[b] = b != 0;
    }
    for (std::size_t pair = 0; pair < symbols.pairs.size(); ++pair) {
      strokes += symbols.pairs[pair];
      if (movable[pair % 256]) movableStrokes += symbols.pairs[pair];
    }
    if (movableStrokes == 0) {
      throw RunFailure{1, "sample " + o.samplePath +
                              (strokes == 0 ? " gives no keystroke on the start layout"
                                            : " types none of the keys that may move") +
                              ": nothing to optimise"};
    }

    const PermutationScorer scorer = makePermutationScorer(keys, symbols, moves, o.weights);
    SearchSettings settings;
    settings.seed = o.seed;
    settings.iterations = o.seconds > 0 ? 0 : o.iterations;
    settings.seconds = o.seconds;
    settings.restarts = o.restarts;
    settings.jobs = o.jobs != 0 ? o.jobs : std::max(1u, std::thread::hardware_concurrency());

    const bool showProgress = !o.quiet && ::isatty(::fileno(err));
    double bestSoFar = INFINITY;
    const auto began = std::chrono::steady_clock::now();
    const std::vector<RestartResult> results =
        searchLayouts(scorer, settings, [&](const RestartResult& r, int done) {
          bestSoFar = std::min(bestSoFar, r.score);
          if (showProgress) {
            std::fprintf(err, "\rrestart %d of %d, best score %.6f ", done, o.restarts, bestSoFar);
            std::fflush(err);
          }
        });
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    if (showProgress) std::fputc('\n', err);
    long long candidates = 0;
    for (const RestartResult& r : results) candidates += r.candidates;

    // Best first; equal scores by restart number, so any thread count ranks alike.
    std::vector<const RestartResult*> ranked;
    for (const RestartResult& r : results) ranked.push_back(&r);
    std::stable_sort(
        ranked.begin(), ranked.end(),
        [](const RestartResult* a, const RestartResult* b) { return a->score < b->score; });
    std::vector<ShownLayout> shown(1);
    shown[0].name = "start";
    shown[0].layout = start;
    shown[0].permutation = identityPermutation();
    shown[0].searchCounts = scorer.startCounts;
    shown[0].searchScore = objectiveScore(scorer.startCounts, o.weights);
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
      s.layout = renamedKeys(start, r->permutation);
      s.layout.fileName = s.name;
      s.searchCounts = r->counts;
      s.searchScore = r->score;
      s.reachedBy = 1;
    }
    int reachedBestScore = 0;
    for (const RestartResult& r : results) reachedBestScore += r.score == ranked.front()->score;

    std::string report;
    appendFormatted(report, "Start layout: %s (%d Sets, %s Fingering)\n", o.startPath.c_str(),
                    start.setType, start.fingering.c_str());
    std::string run;
    if (o.seconds > 0) {
      appendFormatted(run, "seed %llu, %d restarts in %g s",
                      static_cast<unsigned long long>(o.seed), o.restarts, o.seconds);
    } else {
      appendFormatted(run, "seed %llu, %d restarts x %lld iterations",
                      static_cast<unsigned long long>(o.seed), o.restarts, o.iterations);
    }
    std::string moveText;
    appendFormatted(moveText, "%zu %s, %s, %zu swaps", moves.units.size(),
                    o.swapLevels ? "characters (levels may swap)" : "keys (with both levels)",
                    o.keepHands ? "each on its hand" : "across hands", moves.swaps.size());
    if (!o.pinned.empty()) moveText += ", pinned " + o.pinned;
    if (o.allowed) moveText += ", allowed " + *o.allowed;
    const std::string weights = formatObjectiveWeights(o.weights);
    appendFormatted(report, "Search: %s\nMoves: %s\nWeights: %s\n", run.c_str(), moveText.c_str(),
                    weights.c_str());
    appendFormatted(report, "Best score reached by %d of %d restarts\n\n", reachedBestScore,
                    o.restarts);
    report += exactReport(o, o.samplePath, shown, true);
    if (!o.validatePath.empty()) {
      report += '\n';
      report += exactReport(o, o.validatePath, shown, false);
    }
    report +=
        "\nKeys moved (X>Y: what key X typed, key Y types now), and the restarts that\n"
        "ended on that layout or one of the same score:\n";
    for (std::size_t i = 1; i < shown.size(); ++i) {
      appendFormatted(report, "%-12s %s (%d)\n", shown[i].name.c_str(),
                      movedKeys(shown[i].permutation, moves).c_str(), shown[i].reachedBy);
    }

    const ShownLayout& best = shown.size() > 1 ? shown[1] : shown[0];
    char scores[128];
    std::snprintf(scores, sizeof scores, "score %.6f (start %.6f) on ", best.searchScore,
                  shown[0].searchScore);
    const std::vector<std::string> comments = {
        "Best layout found by kbeval-optimize from " + o.startPath,
        std::string(scores) + o.samplePath,
        run,
        "weights " + weights,
        "moves: " + moveText,
        "keys moved: " + movedKeys(best.permutation, moves),
    };
    LayoutRecord written = best.layout;
    const std::string layoutText = layoutFileText(written, comments);
    if (o.outputPath.empty()) {
      // The report follows as comments, so standard output stays a layout file.
      std::string commented;
      std::size_t begin = 0;
      while (begin < report.size()) {
        const std::size_t end = report.find('\n', begin);
        const std::string line = report.substr(begin, end - begin);
        commented += line.empty() ? "//\n" : "// " + line + "\n";
        begin = end == std::string::npos ? report.size() : end + 1;
      }
      std::fputs(layoutText.c_str(), out);
      std::fputs(commented.c_str(), out);
    } else {
      if (std::string why = writeAtomically(o.outputPath, layoutText); !why.empty()) {
        throw RunFailure{1, "cannot write " + o.outputPath + ": " + why};
      }
      std::fputs(report.c_str(), out);
    }
    if (std::fflush(out) != 0 || std::ferror(out)) throw RunFailure{1, "cannot write the output"};
    std::fprintf(err, "%lld candidates in %.2f s (%.0f per second)\n", candidates, seconds,
                 seconds > 0 ? static_cast<double>(candidates) / seconds : 0.0);
    return 0;
  } catch (const RunFailure& f) {
    return failed(f);
  } catch (const std::bad_alloc&) {
    return failed({1, "out of memory"});
  } catch (const std::exception& e) {
    return failed({1, std::string("internal error: ") + e.what()});
  }
}

}  // namespace

OptimizeCommandLine parseOptimizeCommandLine(int argc, const char* const* argv) {
  OptimizeCommandLine line;
  std::vector<std::string_view> others;
  bool sawIterations = false, sawTime = false;
  auto fail = [&line](std::string error) {
    line.error = std::move(error);
    line.action = OptimizeAction::usageError;
    return line;
  };
  ArgumentScan scan{argc, argv};
  for (;;) {
    const ScannedArgument<OptionId> argument = scanArgument<OptionId>(scan, kOptions);
    if (argument.kind == ArgumentKind::end) break;
    if (argument.kind == ArgumentKind::error) return fail(argument.error);
    if (argument.kind == ArgumentKind::operand) {
      others.push_back(argument.value);
      continue;
    }
    if (!applyOption(*argument.option, argument.value, line, sawIterations, sawTime)) {
      line.action = OptimizeAction::usageError;
      return line;
    }
  }
  if (line.action != OptimizeAction::run) return line;
  if (sawIterations && sawTime) return fail("--iterations and --time exclude each other");
  if (others.size() > 1) return fail("one sample only, not " + quoted(others[1]) + " too");
  if (others.empty()) return fail("no sample given");
  line.options.samplePath = others.front();
  if (line.options.startPath.empty()) return fail("no start layout given (--start LAYOUT.txt)");
  return line;
}

const char* optimizeUsageText() {
  return R"(Usage: kbeval-optimize --start LAYOUT.txt [OPTION]... SAMPLE
Search for a better Korean keyboard layout: move the keys of the start layout
about and keep the arrangement that types the sample best on a weighted
objective. Every candidate is scored exactly from one pass over the sample; the
best layouts found are then evaluated in full, like kbeval does.

Input and output:
  --start=FILE        the start layout (required): a layout file as kbeval reads
  --output=FILE       write the best layout there (through a temporary file);
                      default: standard output, the report following as comments
  --validate=FILE     also evaluate the layouts on this held-out sample
  --sample-encoding=ENC  read the samples as johab (default) or utf-8
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
  --pin=KEYS          keys that never move (each character names its key)
  --allow=KEYS        only these keys may move (default: the keys that type a
                      jamo; an unused key named here may receive one)
  --keep-hands        a key only swaps with a key of the same hand (default)
  --no-keep-hands     keys may swap across hands
  --swap-levels       move single characters, so a jamo may change between the
                      Shift and the plain level (default: a key moves with both)
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
  A weight of 0 leaves its figure out; unknown names, negative, infinite and NaN
  values are errors.

  Tuning to one text fits that text: judge the result on another (--validate).

  --help              print this help and exit
  --version           print the version and exit

Exit status: 0 on success, 1 when the run fails (an unreadable file, a start
layout without set type, an empty sample), 2 for a usage error (a bad option,
bad weights, or keys that leave nothing to swap).
)";
}

int optimizeMain(int argc, const char* const* argv, std::FILE* out, std::FILE* err) {
  const OptimizeCommandLine line = parseOptimizeCommandLine(argc, argv);
  switch (line.action) {
    case OptimizeAction::help:
      std::fputs(optimizeUsageText(), out);
      return std::fflush(out) == 0 ? 0 : 1;
    case OptimizeAction::version:
      std::fprintf(out, "%s %s\n", kProgram, KBEVAL_VERSION);
      return std::fflush(out) == 0 ? 0 : 1;
    case OptimizeAction::usageError:
      std::fprintf(err, "%s: %s; see '%s --help'\n", kProgram, line.error.c_str(), kProgram);
      return 2;
    case OptimizeAction::run:
      break;
  }
  return runOptimize(line.options, out, err);
}

}  // namespace kbeval
