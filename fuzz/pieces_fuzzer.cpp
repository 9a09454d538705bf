// A sample file analysed whole on one thread, and in pieces cut at points the
// input chooses with the layouts walked on worker threads: every count of the
// text and of every layout must be the same. The worker threads are kept
// between inputs, as kbeval's own passes could keep them: starting and joining
// them took half of a short input's time.
//
// Input: one byte n, then n cut points of two bytes each, then the sample.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz_check.h"
#include "fuzz_support.h"
#include "sample/sample_analysis.h"
#include "sample/walk_pipeline.h"
#include "sample_on_one_thread.h"

namespace {

using namespace kbeval;

SampleAnalysis& analysis(int which) {
  static SampleAnalysis analyses[2] = {startSampleAnalysis(fuzz::fixedLayoutPointers()),
                                       startSampleAnalysis(fuzz::fixedLayoutPointers())};
  return analyses[which];
}

// Two walker threads besides the caller, one per fixed layout.
WalkWorkers& keptWorkers() {
  static WalkWorkers workers(2);
  return workers;
}

void analysePieces(SampleAnalysis& a, const char* sample, const std::vector<std::size_t>& cuts,
                   WalkPipeline& walks) {
  std::size_t begin = 0;
  for (std::size_t cut : cuts) {
    const bool more = readSampleBytes(a, sample + begin, cut - begin, pieceToFill(walks));
    publishPiece(walks);
    if (!more) break;
    begin = cut;
  }
  readSampleEnd(a, pieceToFill(walks));
  publishPiece(walks);
  finishWalks(walks);
  endSampleReading(a);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const fuzz::CutSample input = fuzz::cutSample(data, size);
  const char* sample = input.sample;
  const std::size_t length = input.length;
  const std::vector<std::size_t>& cuts = input.cuts;

  SampleAnalysis& whole = analysis(0);
  SampleAnalysis& pieces = analysis(1);
  restartSampleAnalysis(whole);
  {
    WalkPipeline oneThread(whole, 1);
    analysePieces(whole, sample, {length}, oneThread);
  }
  restartSampleAnalysis(pieces);
  {
    WalkPipeline threads(pieces, keptWorkers());
    analysePieces(pieces, sample, cuts, threads);
  }

  FUZZ_CHECK(whole.textCounts == pieces.textCounts);
  FUZZ_CHECK(*whole.combinations == *pieces.combinations);
  for (std::size_t i = 0; i < whole.evaluations.size(); ++i) {
    FUZZ_CHECK(layoutUntreatedCount(whole, i) == layoutUntreatedCount(pieces, i));
    FUZZ_CHECK(*whole.evaluations[i].state == *pieces.evaluations[i].state);
  }
  return 0;
}
