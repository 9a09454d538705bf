// The two reports about the text: jamo frequencies ("/j") and the seven
// combination tables ("/i").
#pragma once

#include <cstdio>

#include "analysis/text_counts.h"
#include "text/encodings.h"

namespace kbeval {

// Jamo and symbols are printed in `encoding`; everything else is ASCII.
void printJamoReport(const TextCounts& counts, std::FILE* out,
                     OutputEncoding encoding = OutputEncoding::cp949);
void printCombinationReport(const CombinationCounts& counts, std::FILE* out,
                            OutputEncoding encoding = OutputEncoding::cp949);

}  // namespace kbeval
