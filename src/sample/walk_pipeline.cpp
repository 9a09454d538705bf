#include "sample/walk_pipeline.h"

#include <algorithm>
#include <limits>
#include <system_error>

namespace kbeval {

namespace {

constexpr std::size_t kNoLayout = std::numeric_limits<std::size_t>::max();

// Slots per thread: enough that the reader runs ahead of the walks while a
// worker finishes a piece; and a bound, so that memory stays small on
// machines with many CPUs.
constexpr std::size_t kSlotsPerThread = 4;
constexpr std::size_t kMostSlots = 16;

// A layout no thread walks now that has a published piece left to walk (of
// those the one furthest behind, so that its oldest slot is freed soonest),
// or, after the last piece, one whose walk is to be ended.
std::size_t readyLayout(const WalkPipeline& p) {
  std::size_t best = kNoLayout;
  for (std::size_t i = 0; i < p.walked.size(); ++i) {
    if (p.walking[i] || p.done[i]) continue;
    if (p.walked[i] == p.published && !p.ended) continue;
    if (best == kNoLayout || p.walked[i] < p.walked[best]) best = i;
  }
  return best;
}

// Walks layout `index` through its next piece, or ends its walk, with the
// lock released.
void walkOne(WalkPipeline& p, std::size_t index, std::unique_lock<std::mutex>& lock) {
  p.walking[index] = 1;
  const bool last = p.walked[index] == p.published;
  const TokenPiece& piece = p.slots[p.walked[index] % p.slots.size()];
  lock.unlock();
  if (last) {
    endLayoutWalk(p.analysis, index);
  } else {
    walkSampleTokens(p.analysis, index, piece);
  }
  lock.lock();
  p.walking[index] = 0;
  if (last) {
    p.done[index] = 1;
    ++p.layoutsDone;
  } else {
    ++p.walked[index];
    p.freed = *std::min_element(p.walked.begin(), p.walked.end());
  }
  p.changed.notify_all();
}

bool allDone(const WalkPipeline& p) {
  return p.ended && p.layoutsDone == p.done.size();
}

void work(WalkPipeline& p) {
  std::unique_lock lock(p.mutex);
  while (!p.stopped) {
    if (const std::size_t index = readyLayout(p); index != kNoLayout) {
      walkOne(p, index, lock);
    } else if (allDone(p)) {
      return;
    } else {
      p.changed.wait(lock);
    }
  }
}

// A kept thread: walks every pass it is handed, until the workers end.
void keptWork(WalkWorkers& w) {
  std::unique_lock lock(w.mutex);
  std::size_t seen = 0;
  for (;;) {
    w.changed.wait(lock, [&] { return w.ended || w.pass != seen; });
    if (w.ended) return;
    seen = w.pass;
    WalkPipeline& p = *w.pipeline;
    lock.unlock();
    work(p);
    lock.lock();
    ++w.left;
    w.changed.notify_all();
  }
}

// Waits until every kept thread has left the pass (one that had not yet
// joined it finds it done): the pipeline may go then.
void releaseKeptWorkers(WalkPipeline& p) {
  if (p.keptWorkers == nullptr) return;
  WalkWorkers& w = *p.keptWorkers;
  std::unique_lock lock(w.mutex);
  w.changed.wait(lock, [&w] { return w.left == w.threads.size(); });
  w.pipeline = nullptr;
  p.keptWorkers = nullptr;
}

void stopAndJoin(WalkPipeline& p) {
  {
    const std::lock_guard lock(p.mutex);
    p.stopped = true;
  }
  p.changed.notify_all();
  for (std::thread& worker : p.workers) {
    if (worker.joinable()) worker.join();
  }
  releaseKeptWorkers(p);
}

}  // namespace

WalkPipeline::WalkPipeline(SampleAnalysis& sample, unsigned jobs) : analysis(sample) {
  const std::size_t layouts = analysis.evaluations.size();
  walked.assign(layouts, 0);
  walking.assign(layouts, 0);
  done.assign(layouts, 0);
  // The caller is one of the threads; more workers than layouts would idle.
  const std::size_t workerCount = std::min<std::size_t>(jobs > 1 ? jobs - 1 : 0, layouts);
  slots.resize(workerCount == 0 ? 1 : std::min(kSlotsPerThread * (workerCount + 1), kMostSlots));
  // std::thread reports a thread the system will not start (a process limit)
  // only by throwing: the workers already started, and the caller, then walk
  // its share, and the output is the same.
  try {
    for (std::size_t i = 0; i < workerCount; ++i) workers.emplace_back([this] { work(*this); });
  } catch (const std::system_error&) {
  }
}

WalkWorkers::WalkWorkers(unsigned count) {
  // As for a pipeline's own workers: threads the system will not start are
  // done without.
  try {
    for (unsigned i = 0; i < count; ++i) threads.emplace_back([this] { keptWork(*this); });
  } catch (const std::system_error&) {
  }
  left = threads.size();
}

WalkWorkers::~WalkWorkers() {
  {
    const std::lock_guard lock(mutex);
    ended = true;
  }
  changed.notify_all();
  for (std::thread& thread : threads) thread.join();
}

WalkPipeline::WalkPipeline(SampleAnalysis& sample, WalkWorkers& kept) : analysis(sample) {
  const std::size_t layouts = analysis.evaluations.size();
  walked.assign(layouts, 0);
  walking.assign(layouts, 0);
  done.assign(layouts, 0);
  const std::size_t threads = kept.threads.size();
  slots.resize(threads == 0 ? 1 : std::min(kSlotsPerThread * (threads + 1), kMostSlots));
  if (threads == 0) return;
  {
    const std::lock_guard lock(kept.mutex);
    kept.pipeline = this;
    kept.left = 0;
    ++kept.pass;
  }
  keptWorkers = &kept;
  kept.changed.notify_all();
}

WalkPipeline::~WalkPipeline() {
  stopAndJoin(*this);
}

TokenPiece& pieceToFill(WalkPipeline& p) {
  std::unique_lock lock(p.mutex);
  while (p.published - p.freed == p.slots.size()) {
    if (const std::size_t index = readyLayout(p); index != kNoLayout) {
      walkOne(p, index, lock);
    } else {
      p.changed.wait(lock);
    }
  }
  return p.slots[p.published % p.slots.size()];
}

void publishPiece(WalkPipeline& p) {
  {
    const std::lock_guard lock(p.mutex);
    ++p.published;
    if (p.walked.empty()) p.freed = p.published;
  }
  p.changed.notify_all();
}

void finishWalks(WalkPipeline& p) {
  {
    std::unique_lock lock(p.mutex);
    p.ended = true;
    p.changed.notify_all();
    while (!allDone(p)) {
      if (const std::size_t index = readyLayout(p); index != kNoLayout) {
        walkOne(p, index, lock);
      } else {
        p.changed.wait(lock);
      }
    }
  }
  for (std::thread& worker : p.workers) worker.join();
  releaseKeptWorkers(p);
}

}  // namespace kbeval
