// The whole run: sample, layouts, scan, reports.
#pragma once

#include <cstddef>
#include <cstdio>

#include "command_line.h"

namespace kbeval {

// Runs kbeval as `options` say, reading the sample in pieces of `pieceSize`
// bytes: the reports on `out`, messages and the progress display on `err`
// (the display only when `err` is a terminal). Returns the exit status.
int runKbeval(const RunOptions& options, std::FILE* out, std::FILE* err,
              std::size_t pieceSize = 1 << 16);

}  // namespace kbeval
