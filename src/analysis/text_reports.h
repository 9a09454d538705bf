// The two reports about the text: jamo frequencies ("/j") and the seven
// combination tables ("/i").
#pragma once

#include <cstdio>

#include "analysis/text_counts.h"

namespace kbeval {

void printJamoReport(const TextCounts& counts, std::FILE* out);
void printCombinationReport(const CombinationCounts& counts, std::FILE* out);

}  // namespace kbeval
