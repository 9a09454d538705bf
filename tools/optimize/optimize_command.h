// kbeval-optimize: the command line and the whole run.
//
// Reads the start layout and the sample, searches for the layout that the
// keys' permutations make best on the weighted objective, writes it as a
// layout file and prints the comparison of the start layout and the best
// layouts found, each evaluated in full on the sample (and on a held-out
// sample with --validate).
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "optimize/layout_objective.h"
#include "shell/long_options.h"
#include "text/encodings.h"

namespace kbeval {

inline constexpr long long kDefaultIterations = 200000;
inline constexpr int kDefaultRestarts = 20;
inline constexpr int kDefaultShown = 3;

struct WeightedSample {
  std::string path;
  double weight = 1;
};

struct OptimizeOptions {
  std::string samplePath;               // the first text
  std::vector<WeightedSample> samples;  // every text tuned on, the first first
  std::string startPath;
  std::string outputPath;                  // empty: standard output
  std::vector<std::string> validatePaths;  // held-out texts
  std::uint64_t seed = 1;
  long long iterations = kDefaultIterations;
  double seconds = 0;  // > 0: run on time instead of iterations
  int restarts = kDefaultRestarts;
  unsigned jobs = 0;  // 0: every core the process may use
  ObjectiveWeights weights = kDefaultWeights;
  std::string pinned;
  std::optional<std::string> allowed;
  bool keepHands = true;
  bool swapLevels = false;
  bool moveKeys = false;   // --move=keys: keys move whole
  std::string pinnedJamo;  // --pin-jamo, items joined by commas
  int maxMoved = 0;        // --max-moved; 0: no bound
  bool numberRow = false;  // --number-row=allow
  int shown = kDefaultShown;
  bool quiet = false;
  SampleEncoding sampleEncoding = SampleEncoding::johab;
  std::string board;  // --board: a shipped board's name or a board file; empty: ansi
};

// Reads the command line into `options`: what to do, and for a usage error
// what was wrong.
ParsedCommand parseOptimizeCommandLine(int argc, const char* const* argv, OptimizeOptions& options);

// The whole program: the help, the version or a usage error (exit status
// 2), or the run (exit status 0, or 1 when it fails). The run is in four
// steps: load (the start layout, the keys that may move, the sample's
// counts), search, report (the best layouts evaluated in full) and write.
int optimizeMain(int argc, const char* const* argv, std::FILE* out, std::FILE* err);

}  // namespace kbeval
