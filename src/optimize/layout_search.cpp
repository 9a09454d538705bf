#include "optimize/layout_search.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <chrono>
#include <cmath>
#include <mutex>
#include <thread>

namespace kbeval {

namespace {

// splitmix64 seeds xoshiro256**: small, fast, and the same on every platform.
std::uint64_t splitMix(std::uint64_t& x) {
  std::uint64_t z = (x += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

struct Random {
  std::uint64_t s[4];
  explicit Random(std::uint64_t seed) {
    for (auto& word : s) word = splitMix(seed);
  }
  std::uint64_t next() {
    const std::uint64_t result = std::rotl(s[1] * 5, 7) * 9;
    const std::uint64_t t = s[1] << 17;
    s[2] ^= s[0];
    s[3] ^= s[1];
    s[1] ^= s[2];
    s[0] ^= s[3];
    s[2] ^= t;
    s[3] = std::rotl(s[3], 45);
    return result;
  }
  int below(int n) {
    // The top 32 bits scaled to [0, n): no division, no bias worth a thought.
    return static_cast<int>(((next() >> 32) * static_cast<std::uint64_t>(n)) >> 32);
  }
  double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
};

using Clock = std::chrono::steady_clock;

// Enough random swaps to forget the start layout.
constexpr int kShuffleSwapsPerKey = 8;
// The annealing's first temperature is this share of a typical swap's cost
// change; it ends this many times lower.
constexpr double kStartHeat = 0.5;
constexpr double kCooling = 1e-4;
constexpr int kMostDescentRounds = 100000;
// The most swaps a restart keeps to return to the best layout it saw (4 MB).
constexpr std::size_t kMostSwapsToUndo = std::size_t{1} << 20;

// Whether the deadline has passed or a stop was asked for.
bool mustStop(const SearchSettings& settings) {
  if (settings.stopRequested != nullptr && settings.stopRequested()) return true;
  return settings.deadline && Clock::now() >= *settings.deadline;
}

// The search's current layout over every text: one scorer state per text,
// the score their weighted mean.
struct Candidate {
  const TextScorers& texts;
  double totalWeight = 0;
  std::vector<ScorerState> states;
  std::vector<ObjectiveCounts> tried;  // per text: the counts of the swap last tried
  double score = 0;
  long long candidates = 0;

  explicit Candidate(const TextScorers& t) : texts(t) {
    for (std::size_t i = 0; i < t.scorers.size(); ++i) {
      states.push_back(startScorerState(*t.scorers[i]));
      totalWeight += t.weights[i];
      score += t.weights[i] * states.back().score;
    }
    score /= totalWeight;
    tried.resize(states.size());
  }
  const PermutationScorer& first() const { return *texts.scorers[0]; }
  const std::vector<int>& occupant() const { return states[0].occupant; }
  int movedKeys() const { return states[0].movedKeys; }

  double tryScore(int swap) {
    ++candidates;
    double sum = 0;
    for (std::size_t i = 0; i < states.size(); ++i) {
      sum += texts.weights[i] * swapScore(*texts.scorers[i], states[i], swap, tried[i]);
    }
    return sum / totalWeight;
  }
  // Makes the swap tried last, whose score tryScore gave.
  void apply(int swap, double newScore) {
    for (std::size_t i = 0; i < states.size(); ++i) {
      applySwap(*texts.scorers[i], states[i], swap, tried[i]);
    }
    score = newScore;
  }
};

// Among the layouts of the score reached, moves toward the start layout: a
// swap that keeps the score and moves fewer keys, or as many to a permutation
// earlier in a fixed order, is made until none is. So layouts that tie end on
// the one nearest the start, whichever restart found them.
template <typename Allowed>
void settleTies(Candidate& now, const Allowed& allowed, const SearchSettings& settings) {
  const PermutationScorer& scorer = now.first();
  const int swaps = static_cast<int>(scorer.swapSlots.size());
  for (int round = 0; round < kMostDescentRounds && !mustStop(settings); ++round) {
    bool moved = false;
    for (int swap = 0; swap < swaps; ++swap) {
      if (!allowed(swap)) continue;
      const int keysAfter = movedKeysAfterSwap(scorer, now.states[0], swap);
      if (keysAfter > now.movedKeys()) continue;
      const double score = now.tryScore(swap);
      if (score != now.score) continue;
      if (keysAfter == now.movedKeys()) {
        std::vector<int> occupant = now.occupant();
        const auto& slots = scorer.swapSlots[swap];
        for (int i = 0; i < scorer.swapSlotCount[swap]; i += 2) {
          std::swap(occupant[slots[i]], occupant[slots[i + 1]]);
        }
        if (!(scorerPermutation(scorer, occupant) < scorerPermutation(scorer, now.occupant()))) {
          continue;
        }
      }
      now.apply(swap, score);
      moved = true;
    }
    if (!moved) break;
  }
}

}  // namespace

RestartResult searchOnce(const TextScorers& texts, const SearchSettings& settings, int restart) {
  std::uint64_t seedWord = settings.seed;
  splitMix(seedWord);
  Random random(seedWord ^ (0xD1B54A32D192ED03ull * static_cast<std::uint64_t>(restart + 1)));
  const PermutationScorer& scorer = *texts.scorers[0];
  const int swaps = static_cast<int>(scorer.swapSlots.size());
  RestartResult result;
  result.restart = restart;

  Candidate now(texts);
  // A swap that would move more keys than allowed is no candidate.
  auto allowed = [&](int swap) {
    return settings.maxMoved <= 0 ||
           movedKeysAfterSwap(scorer, now.states[0], swap) <= settings.maxMoved;
  };

  // The start layout is the first candidate: no restart ends worse than it.
  std::vector<int> bestOccupant = now.occupant();
  std::vector<ObjectiveCounts> bestCounts;
  std::vector<std::vector<int>> bestOccupants;  // per text: its slots number apart
  for (const ScorerState& state : now.states) {
    bestCounts.push_back(state.counts);
    bestOccupants.push_back(state.occupant);
  }
  double bestScore = now.score;
  // The swaps made since the best layout seen: a swap undoes itself, so
  // making them again in reverse order returns to that layout. Bounded, so a
  // long run on time cannot grow it without end; past the bound the descent
  // starts from where the annealing ended.
  std::vector<int> sinceBest;
  bool sinceBestWhole = true;
  auto keepIfBest = [&](bool evenIfEqual) {
    if (now.score < bestScore || (evenIfEqual && now.score == bestScore)) {
      bestScore = now.score;
      for (std::size_t i = 0; i < now.states.size(); ++i) {
        bestCounts[i] = now.states[i].counts;
        bestOccupants[i] = now.states[i].occupant;
      }
      bestOccupant = now.occupant();
      sinceBest.clear();
      sinceBestWhole = true;
    }
  };
  auto make = [&](int swap, double score) {
    now.apply(swap, score);
    if (sinceBest.size() < kMostSwapsToUndo) {
      sinceBest.push_back(swap);
    } else {
      sinceBestWhole = false;
    }
  };

  // A random start, so that restarts explore apart.
  const int shuffleSwaps =
      settings.shuffleSwaps >= 0 ? settings.shuffleSwaps : kShuffleSwapsPerKey * scorer.slots;
  for (int i = 0; i < shuffleSwaps; ++i) {
    const int swap = random.below(swaps);
    if (!allowed(swap)) continue;
    make(swap, now.tryScore(swap));
  }
  double typicalChange = 0;
  const int heatSamples = std::max(1, settings.heatSamples);
  for (int i = 0; i < heatSamples; ++i) {
    typicalChange += std::fabs(now.tryScore(random.below(swaps)) - now.score);
  }
  typicalChange /= heatSamples;
  const double startHeat = std::max(kStartHeat * typicalChange, 1e-12);
  keepIfBest(false);

  const Clock::time_point started = Clock::now();
  // On time, each restart has its share of the time on the threads that run.
  const int threads =
      static_cast<int>(std::max(1u, std::min<unsigned>(settings.jobs, settings.restarts)));
  const double slot =
      settings.iterations > 0 ? 0 : settings.seconds * threads / std::max(1, settings.restarts);
  double progress = 0;
  for (long long i = 0;; ++i) {
    if ((i & 255) == 0 && mustStop(settings)) break;
    if (settings.iterations > 0) {
      if (i >= settings.iterations) break;
      progress = static_cast<double>(i) / static_cast<double>(settings.iterations);
    } else if ((i & 255) == 0) {
      progress = std::chrono::duration<double>(Clock::now() - started).count() / slot;
      if (progress >= 1) break;
    }
    const double heat = startHeat * std::pow(kCooling, progress);
    const int swap = random.below(swaps);
    if (!allowed(swap)) continue;
    const double score = now.tryScore(swap);
    const double change = score - now.score;
    if (change <= 0 || random.unit() < std::exp(-change / heat)) {
      make(swap, score);
      keepIfBest(false);
    }
  }
  // The descent and the settling of ties start from the best layout seen, so
  // the layout a restart returns is always one no single swap improves.
  if (bestScore < now.score && sinceBestWhole) {
    // Stopped halfway, the restart returns the best layout by its record.
    for (std::size_t i = sinceBest.size(); i-- > 0;) {
      if ((i & 255) == 0 && mustStop(settings)) break;
      now.apply(sinceBest[i], now.tryScore(sinceBest[i]));
    }
  }

  // Steepest descent: the best swap while one helps. Every step lowers the
  // score, so it ends; the bound only guards against a fault.
  for (int round = 0; round < kMostDescentRounds && !mustStop(settings); ++round) {
    int bestSwap = -1;
    double bestSwapScore = now.score;
    for (int swap = 0; swap < swaps; ++swap) {
      if (!allowed(swap)) continue;
      const double score = now.tryScore(swap);
      if (score < bestSwapScore) {
        bestSwapScore = score;
        bestSwap = swap;
      }
    }
    if (bestSwap < 0) break;
    now.apply(bestSwap, now.tryScore(bestSwap));
  }
  settleTies(now, allowed, settings);
  keepIfBest(true);
  result.permutation = scorerPermutation(scorer, bestOccupant);
  for (std::size_t i = 0; i < texts.scorers.size(); ++i) {
    if (!texts.scorers[i]->triples.scored) {
      countTriples(*texts.scorers[i], bestOccupants[i], bestCounts[i]);
    }
  }
  result.counts = bestCounts[0];
  result.textCounts = bestCounts;
  result.score = bestScore;
  result.candidates = now.candidates;
  return result;
}

RestartResult searchOnce(const PermutationScorer& scorer, const SearchSettings& settings,
                         int restart) {
  return searchOnce(TextScorers{{&scorer}, {1.0}}, settings, restart);
}

std::vector<RestartResult> searchLayouts(
    const PermutationScorer& scorer, const SearchSettings& settings,
    const std::function<void(const RestartResult&, int done)>& progress) {
  return searchLayouts(TextScorers{{&scorer}, {1.0}}, settings, progress);
}

std::vector<RestartResult> searchLayouts(
    const TextScorers& texts, const SearchSettings& settings,
    const std::function<void(const RestartResult&, int done)>& progress) {
  // Results are kept as restarts end, not in slots for every restart asked
  // for: a million restarts under --time would otherwise hold hundreds of
  // megabytes before the first one ran.
  std::vector<RestartResult> finished;
  std::atomic<int> next{0};
  std::mutex reporting;
  auto work = [&] {
    for (int r = next++; r < settings.restarts; r = next++) {
      // The first restart always runs, so that there is a result.
      if (r > 0 && mustStop(settings)) break;
      RestartResult result = searchOnce(texts, settings, r);
      const std::lock_guard<std::mutex> lock(reporting);
      finished.push_back(std::move(result));
      if (progress) progress(finished.back(), static_cast<int>(finished.size()));
    }
  };
  const unsigned threads = std::max(1u, std::min<unsigned>(settings.jobs, settings.restarts));
  std::vector<std::thread> pool;
  for (unsigned t = 1; t < threads; ++t) pool.emplace_back(work);
  work();
  for (std::thread& t : pool) t.join();
  std::sort(finished.begin(), finished.end(),
            [](const RestartResult& a, const RestartResult& b) { return a.restart < b.restart; });
  return finished;
}

}  // namespace kbeval
