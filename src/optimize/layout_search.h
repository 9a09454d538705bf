// The search for better layouts: independent restarts of simulated annealing
// over key swaps, each finished by steepest descent, spread over threads.
//
// Each restart draws from its own seed, so with a fixed number of iterations
// a restart's result depends on the seed and its number alone, and the run's
// result is the same whatever the number of threads.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "optimize/permutation_score.h"

namespace kbeval {

struct SearchSettings {
  std::uint64_t seed = 1;
  long long iterations = 0;  // annealing steps per restart; 0: run on time instead
  double seconds = 0;        // with iterations 0: the whole search's time
  int restarts = 1;
  unsigned jobs = 1;
  int maxMoved = 0;  // > 0: at most this many keys differ from the start
  // Random swaps that start each restart; below 0, eight per slot. Short
  // searches (the fuzz target's) bound it to keep their work small.
  int shuffleSwaps = -1;
  // Swaps tried to gauge the first temperature (a typical swap's change).
  int heatSamples = 64;
  // When set, nothing runs past it: no restart starts after it, and a
  // running one ends its annealing and descent there, keeping its best.
  std::optional<std::chrono::steady_clock::time_point> deadline;
  // When set and true, the search stops as at the deadline (an interrupt).
  bool (*stopRequested)() = nullptr;
};

struct RestartResult {
  int restart = 0;
  KeyPermutation permutation{};
  ObjectiveCounts counts;                   // on the first text
  std::vector<ObjectiveCounts> textCounts;  // on each text
  double score = 0;
  long long candidates = 0;  // swaps scored
};

// Runs every restart that the deadline leaves time for; results by restart
// number (those that ran: all of them without a deadline). `progress`, when
// set, is called (from any thread, one call at a time) after each restart ends.
std::vector<RestartResult> searchLayouts(
    const PermutationScorer& scorer, const SearchSettings& settings,
    const std::function<void(const RestartResult&, int done)>& progress = {});

// Several texts, each with its scorer (over one move set) and weight: the
// score is the weighted mean of the texts' scores.
struct TextScorers {
  std::vector<const PermutationScorer*> scorers;
  std::vector<double> weights;
};
std::vector<RestartResult> searchLayouts(
    const TextScorers& texts, const SearchSettings& settings,
    const std::function<void(const RestartResult&, int done)>& progress = {});

// One restart (for tests): the same as searchLayouts gives for it.
RestartResult searchOnce(const PermutationScorer& scorer, const SearchSettings& settings,
                         int restart);
RestartResult searchOnce(const TextScorers& texts, const SearchSettings& settings, int restart);

}  // namespace kbeval
