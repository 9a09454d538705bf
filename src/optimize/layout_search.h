// The search for better layouts: independent restarts of simulated annealing
// over key swaps, each finished by steepest descent, spread over threads.
//
// Each restart draws from its own seed, so with a fixed number of iterations
// a restart's result depends on the seed and its number alone, and the run's
// result is the same whatever the number of threads.
#pragma once

#include <cstdint>
#include <functional>
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
};

struct RestartResult {
  int restart = 0;
  KeyPermutation permutation{};
  ObjectiveCounts counts;
  double score = 0;
  long long candidates = 0;  // swaps scored
};

// Runs every restart; results by restart number. `progress`, when set, is
// called (from any thread, one call at a time) after each restart ends.
std::vector<RestartResult> searchLayouts(
    const PermutationScorer& scorer, const SearchSettings& settings,
    const std::function<void(const RestartResult&, int done)>& progress = {});

// One restart (for tests): the same as searchLayouts gives for it.
RestartResult searchOnce(const PermutationScorer& scorer, const SearchSettings& settings,
                         int restart);

}  // namespace kbeval
