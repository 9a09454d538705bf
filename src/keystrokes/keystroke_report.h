// The keystroke report of one evaluated layout.
#pragma once

#include <cstdio>

#include "keystrokes/keystroke_counts.h"

namespace kbeval {

void printKeystrokeReport(const KeystrokeCounts& counts, Count untreatedCount, std::FILE* out);

}  // namespace kbeval
