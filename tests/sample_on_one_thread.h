// The sample's analysis on one thread, for the tests, the fuzz targets and
// the views' benchmark: both stages of sample/sample_analysis.h piece by
// piece on the calling thread, and an analysis emptied for the next sample.
// The programs read through sample/sample_file.h and the walk pipeline.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "analysis/combinations.h"
#include "analysis/tokens.h"
#include "keystrokes/keystroke_counts.h"
#include "keystrokes/token_walk.h"
#include "sample/sample_analysis.h"

namespace kbeval {

// Both stages on the calling thread: analyses the next `length` bytes of the
// sample file. Returns false once the text has ended.
inline bool analyseSampleBytes(SampleAnalysis& analysis, const char* bytes, std::size_t length) {
  const bool more = readSampleBytes(analysis, bytes, length, analysis.piece);
  for (std::size_t i = 0; i < analysis.evaluations.size(); ++i) {
    walkSampleTokens(analysis, i, analysis.piece);
  }
  return more;
}

// Both stages at the end of the file, and the ends of both.
inline void finishSampleAnalysis(SampleAnalysis& analysis) {
  readSampleEnd(analysis, analysis.piece);
  for (std::size_t i = 0; i < analysis.evaluations.size(); ++i) {
    walkSampleTokens(analysis, i, analysis.piece);
    endLayoutWalk(analysis, i);
  }
  endSampleReading(analysis);
}

}  // namespace kbeval
