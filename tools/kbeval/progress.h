// A one-line progress display on standard error for runs long enough to
// wonder about: the bytes read of the sample, the pass over it when the
// layouts need several, and an estimate of the time left.
//
// Nothing is drawn in the first second, and the line is redrawn at most four
// times a second. The driver clears the line before it writes anything else
// and at the end, and only lets a terminal have one: never a pipe or a file.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>

namespace kbeval {

using ProgressClock = std::chrono::steady_clock;

struct Progress {
  std::FILE* stream = nullptr;  // nullptr: no display
  std::uint64_t passBytes = 0;  // bytes of one pass; 0 when not known (a pipe)
  int passes = 1;
  int pass = 1;                                              // the pass being read, from 1
  ProgressClock::time_point (*now)() = &ProgressClock::now;  // a test may stop time
  ProgressClock::time_point started{};
  ProgressClock::time_point drawn{};  // when the line was last drawn
  int shownLength = 0;                // characters on the line now; 0: none
};

// Starts the clock of a display on `stream` (nullptr for none).
Progress startProgress(std::FILE* stream, std::uint64_t passBytes, int passes,
                       ProgressClock::time_point (*now)() = &ProgressClock::now);

// Says that `done` bytes of the current pass have been read; draws the line
// when it is due.
void showProgress(Progress& progress, std::uint64_t done);

// Erases the line, if one is shown.
void clearProgress(Progress& progress);

// The text of the line (for tests): "kbeval: 450.0 of 1000.0 MB (45%), pass 2
// of 3, about 12 s left", or "kbeval: 450.0 MB read" when the size is unknown.
void formatProgress(const Progress& progress, std::uint64_t done, ProgressClock::duration elapsed,
                    char* line, std::size_t size);

}  // namespace kbeval
