// The whole run: command line, sample, layouts, scan, reports.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace kbeval {

struct RunOptions {
  std::string samplePath = "sample.txt";
  bool twoSetResults = false;
  bool threeSetResults = false;
  bool combinationReport = false;
  bool jamoReport = false;
};

// Argument 1, when present, is the sample path and never a switch; switches
// are arguments 2 to n ("/2", "/3", "/i", "/j"; only the second character
// counts). Without any switch, everything is on.
RunOptions parseCommandLine(int argc, const char* const* argv);

// Runs kbeval with the layouts in `keyboardDirectory`, reading the sample in
// pieces of `pieceSize` bytes. Returns the exit status.
int runKbeval(const RunOptions& options, const std::string& keyboardDirectory, std::FILE* out,
              std::size_t pieceSize = 1 << 16);

}  // namespace kbeval
