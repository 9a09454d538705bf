// The layouts' walks on worker threads while the calling thread reads the
// sample. The reading stage fills one of a few slots with a piece's tokens
// and publishes it; every layout walks the published pieces in order, one
// thread at a time per layout, then ends its walk, so each layout's counts
// are those of a walk on one thread and no thread touches another layout's
// counts. A slot is filled again once every layout has walked it, which
// bounds the memory. When the reader finds every slot taken it walks a layout
// itself, so `jobs` threads in all stay busy; with one job nothing runs
// beside the caller. WalkWorkers keeps walker threads between passes, for a
// caller that analyses many short samples one after another: starting and
// joining threads for each pass would cost more than the walks.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>
#include <vector>

#include "sample/sample_analysis.h"

namespace kbeval {

struct WalkPipeline;

// Walker threads that wait between passes for the next pipeline.
struct WalkWorkers {
  explicit WalkWorkers(unsigned threads);
  // Stops and joins the threads; no pipeline may be using them.
  ~WalkWorkers();
  WalkWorkers(const WalkWorkers&) = delete;
  WalkWorkers& operator=(const WalkWorkers&) = delete;

  std::mutex mutex;
  std::condition_variable changed;   // a pass began or a thread left one, or the end came
  WalkPipeline* pipeline = nullptr;  // the pass the threads walk now
  std::size_t pass = 0;              // passes begun
  std::size_t left = 0;              // threads that have left the pass begun last
  bool ended = false;
  std::vector<std::thread> threads;
};

struct WalkPipeline {
  // Starts the workers for `jobs` threads in all, the caller included.
  WalkPipeline(SampleAnalysis& analysis, unsigned jobs);
  // Walks with the kept threads of `workers` besides the caller; only one
  // pipeline at a time may use them.
  WalkPipeline(SampleAnalysis& analysis, WalkWorkers& workers);
  // Stops and joins the workers, whatever is left unwalked.
  ~WalkPipeline();
  WalkPipeline(const WalkPipeline&) = delete;
  WalkPipeline& operator=(const WalkPipeline&) = delete;

  SampleAnalysis& analysis;
  std::mutex mutex;
  std::condition_variable changed;  // a piece was published or walked, or the end came
  std::vector<TokenPiece> slots;
  std::size_t published = 0;        // pieces handed to the walks
  std::size_t freed = 0;            // pieces every layout has walked
  std::vector<std::size_t> walked;  // by layout: pieces it has walked
  std::vector<char> walking;        // by layout: a thread walks it now
  std::vector<char> done;           // by layout: its walk has ended
  std::size_t layoutsDone = 0;
  bool ended = false;    // no piece will come any more
  bool stopped = false;  // give up what is left
  std::vector<std::thread> workers;
  WalkWorkers* keptWorkers = nullptr;  // the kept threads walking this pass, if any
};

// The slot for the next piece, once one is free (walking layouts meanwhile).
TokenPiece& pieceToFill(WalkPipeline& pipeline);

// Hands the piece filled in pieceToFill's slot to the walks.
void publishPiece(WalkPipeline& pipeline);

// Walks what is left and ends every layout's walk, with the workers, and
// joins them.
void finishWalks(WalkPipeline& pipeline);

}  // namespace kbeval
