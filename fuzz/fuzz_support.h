// What the fuzz targets share: the fixed layouts a fuzzed sample is typed on,
// a sink for reports, and the checks every set of keystroke counts must pass.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/text_counts.h"
#include "keystrokes/keystroke_counts.h"
#include "layouts/layout_record.h"

namespace kbeval::fuzz {

// The shipped 2-set layout, and a hostile 3-set layout whose key strings hold
// every byte a layout file can put there, 295-byte strings, untreated markers
// and gaps. Built once; never changed. (Each layout costs the fuzzer a walk
// and a half-megabyte table reset per input, so there are only two.)
const std::vector<LayoutRecord>& fixedLayouts();
std::vector<const LayoutRecord*> fixedLayoutPointers();

// A stream that swallows the reports, so that their printing runs in full.
std::FILE* nullSink();

// Consistency every KeystrokeCounts must show, whatever the key stream.
void checkKeystrokeCounts(const KeystrokeCounts& counts);

// The scan written plainly from the rules, character by character: the text
// counts, and each layout's key stream and untreated count.
struct PlainScan {
  TextCounts counts;
  std::vector<std::string> keyStreams;
  std::vector<Count> untreated;
};
// Fills `scan` afresh, keeping the memory of its strings: the hostile
// layout's streams run to hundreds of kilobytes.
void plainScan(std::string_view text, const std::vector<const LayoutRecord*>& layouts,
               PlainScan& scan);

// An input of the differential targets: one byte n, then n cut points of two
// bytes each, then the sample. `cuts` are the piece ends in order, the last
// being the sample's length.
struct CutSample {
  const char* sample = nullptr;
  std::size_t length = 0;
  std::vector<std::size_t> cuts;
};
CutSample cutSample(const std::uint8_t* data, std::size_t size);  // size > 0

// Bytes held in an in-memory file, for the code that reads samples by path:
// `path` names it while the MemoryFile lives. A target may keep one and
// replace its bytes for each input: making and closing a file per input cost
// a tenth of a short target's time.
struct MemoryFile {
  explicit MemoryFile(std::string_view bytes);
  void replace(std::string_view bytes);
  ~MemoryFile();
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;
  int fd = -1;
  std::string path;
};

}  // namespace kbeval::fuzz
