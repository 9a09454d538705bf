// Every number of a run as one JSON document (docs/json.md describes it
// field by field). The document is made in pieces as the run goes, so that a
// run over thousands of layouts never holds more than one pass of them: the
// head (format, sample, text counts, combination tables), one object per
// evaluated layout as its pass ends, and the tail. Head, layouts in result
// order and tail, joined, are the document.
//
// Strings are valid UTF-8 whatever the input: jamo and symbols in UTF-8, and
// a path or file name that is not valid UTF-8 shows with U+FFFD in place of
// its bad bytes, its exact bytes beside it in hexadecimal.
#pragma once

#include <span>
#include <string>

#include "analysis/text_counts.h"
#include "views/comparison_table.h"
#include "views/layout_findings.h"

namespace kbeval {

// The document's "format": raised whenever a field changes meaning or goes.
inline constexpr int kJsonFormat = 1;

struct JsonSample {
  std::string path;         // as given on the command line; "-" for standard input
  long long bytes = 0;      // size on disk, as the "Reading" line says
  std::string encoding;     // "johab" or "utf-8"
  std::string boardName{};  // --board: its name and file; empty without it
  std::string boardFile{};
};

// False when this kbeval was built without a JSON library: then the
// functions below return empty strings.
bool jsonAvailable();

std::string jsonHead(const JsonSample& sample, const TextCounts& text,
                     const CombinationCounts& combinations);

// One layout's object; every layout but the first is preceded by a comma.
std::string jsonLayout(const LayoutFindings& findings, bool first);

// The end of the document: the name of the baseline and, per layout in
// result order, its figures minus the baseline's (docs/json.md).
std::string jsonTail(std::span<const ComparisonRow> rows, std::size_t baseline);

}  // namespace kbeval
