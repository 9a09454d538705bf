#include "fuzz_support.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <numeric>

#include "fuzz_check.h"
#include "layouts/character_tables.h"
#include "layouts/layout_loader.h"

namespace kbeval::fuzz {

namespace {

LayoutRecord shippedLayout(const char* name) {
  LayoutRecord layout;
  layout.fileName = name;
  const std::string path = std::string(KBEVAL_SOURCE_DIR) + "/examples/keyboard/" + name;
  std::string error;
  if (!readLayoutFile(path, layout, error) || layout.initialKeys[2].empty()) {
    std::fprintf(stderr, "fuzz: cannot read the layout %s\n", path.c_str());
    std::abort();
  }
  return layout;
}

// `length` bytes from the cycle of every byte a key string can hold: all but
// the zero byte, the line feed and 0x1A, which end a line or a file.
std::string keyBytes(std::size_t start, std::size_t length) {
  std::string cycle;
  for (int b = 1; b < 256; ++b) {
    if (b != '\n' && b != 0x1A) cycle.push_back(static_cast<char>(b));
  }
  std::string keys;
  for (std::size_t i = 0; i < length; ++i) keys.push_back(cycle[(start + i) % cycle.size()]);
  return keys;
}

LayoutRecord hostileLayout() {
  LayoutRecord layout;
  layout.fileName = "hostile.txt";
  layout.setType = 3;
  layout.fingering = "Gong3";
  for (int i = 0; i < kInitialCodes; ++i) {
    layout.initialKeys[i] = keyBytes(7 * i, i % 4 == 3 ? 0 : 1 + i % 5);
  }
  for (int m = 0; m < kMedialCodes; ++m) {
    layout.medialKeys[m] = keyBytes(50 + 3 * m, m % 3 == 0 ? 0 : 2);
  }
  for (int f = 0; f < kFinalCodes; ++f) layout.finalKeys[f] = keyBytes(100 + 11 * f, f % 4);
  layout.finalKeys[5] = keyBytes(0, 295);  // the longest key string a line can hold
  for (int s = 0; s < kSignCount; ++s) {
    layout.signKeys[s] = keyBytes(13 * s, s % 5 == 0 ? 0 : 1 + s % 4);
  }
  layout.signKeys[41] = "\x18\x18";  // markers typed as keys
  layout.signKeys[2] = "   ";        // spaces typed as keys
  for (int k = 0; k < kSymbolCount; ++k) {
    layout.symbolKeys[k] = keyBytes(17 * k, k % 3 == 0 ? 0 : 1 + k % 4);
  }
  return layout;
}

Count sum(const auto& values) {
  return std::accumulate(values.begin(), values.end(), Count{0});
}

// Strokes held in a run histogram row (bucket number times runs), and
// whether every run was short enough to be counted exactly.
struct RunTotal {
  Count strokes = 0;
  bool exact = true;
};
RunTotal runTotal(const std::array<Count, kRunBuckets>& row, int firstBucketLength) {
  RunTotal total;
  for (int b = 0; b < kRunBuckets; ++b) {
    FUZZ_CHECK(row[b] >= 0);
    total.strokes += (b + firstBucketLength) * row[b];
  }
  total.exact = row[kRunBuckets - 1] == 0;
  return total;
}

}  // namespace

const std::vector<LayoutRecord>& fixedLayouts() {
  static const std::vector<LayoutRecord> layouts = {shippedLayout("2-standard.txt"),
                                                    hostileLayout()};
  return layouts;
}

std::vector<const LayoutRecord*> fixedLayoutPointers() {
  std::vector<const LayoutRecord*> pointers;
  for (const LayoutRecord& layout : fixedLayouts()) pointers.push_back(&layout);
  return pointers;
}

std::FILE* nullSink() {
  static std::FILE* const sink = std::fopen("/dev/null", "w");
  FUZZ_CHECK(sink != nullptr);
  return sink;
}

void checkKeystrokeCounts(const KeystrokeCounts& c) {
  for (Count n :
       {c.keyStrokes, c.leftKeys, c.rightKeys, c.shiftStrokes, c.leftShifts, c.rightShifts,
        c.enterStrokes, c.spaceStrokes, c.leftSameFinger, c.rightSameFinger, c.leftShiftSameFinger,
        c.rightShiftSameFinger, c.sameKeyStrokes, c.leftSameKey, c.rightSameKey}) {
    FUZZ_CHECK(n >= 0);
  }
  FUZZ_CHECK(c.leftKeys + c.rightKeys + c.spaceStrokes + c.enterStrokes == c.keyStrokes);
  FUZZ_CHECK(c.leftShifts + c.rightShifts == c.shiftStrokes);
  FUZZ_CHECK(sum(c.fingerCount) == c.keyStrokes + c.shiftStrokes);
  Count total = 0, general = 0;
  for (int slot = 0; slot < kFingerSlots; ++slot) {
    FUZZ_CHECK(c.fingerCount[slot] >= 0 && c.sameFingerCount[slot] >= 0);
    FUZZ_CHECK(sum(c.totalKeyTable[slot]) == c.fingerCount[slot]);
    total += sum(c.totalKeyTable[slot]);
    general += sum(c.generalKeyTable[slot]);
  }
  FUZZ_CHECK(total == c.keyStrokes + c.shiftStrokes);
  FUZZ_CHECK(general == c.keyStrokes - c.enterStrokes);
  FUZZ_CHECK(sum(c.sameFingerCount) == c.leftSameFinger + c.rightSameFinger);
  FUZZ_CHECK(c.leftShiftSameFinger <= c.leftSameFinger);
  FUZZ_CHECK(c.rightShiftSameFinger <= c.rightSameFinger);
  FUZZ_CHECK(c.leftSameKey + c.rightSameKey == c.sameKeyStrokes);
  FUZZ_CHECK(c.leftSameKey <= c.leftSameFinger && c.rightSameKey <= c.rightSameFinger);

  // Every stroke of a hand lies in exactly one of its one-hand runs.
  const RunTotal left = runTotal(c.oneHandRuns[0], 1);
  const RunTotal right = runTotal(c.oneHandRuns[1], 1);
  if (left.exact) FUZZ_CHECK(left.strokes == c.leftKeys + c.leftShifts);
  if (right.exact) {
    FUZZ_CHECK(right.strokes == c.rightKeys + c.rightShifts + c.spaceStrokes + c.enterStrokes);
  }
  // Every same-finger and same-key stroke is a repeat of exactly one run.
  Count sameKey = 0;
  bool sameKeyExact = true;
  for (int slot = 0; slot < kFingerSlots; ++slot) {
    FUZZ_CHECK(c.sameFingerRuns[slot][0] == 0 && c.sameKeyRuns[slot][0] == 0);
    const RunTotal finger = runTotal(c.sameFingerRuns[slot], 0);
    if (finger.exact) FUZZ_CHECK(finger.strokes == c.sameFingerCount[slot]);
    const RunTotal key = runTotal(c.sameKeyRuns[slot], 0);
    sameKey += key.strokes;
    sameKeyExact = sameKeyExact && key.exact;
  }
  if (sameKeyExact) FUZZ_CHECK(sameKey == c.sameKeyStrokes);
}

void plainScan(std::string_view text, const std::vector<const LayoutRecord*>& layouts,
               PlainScan& scan) {
  scan.counts = TextCounts{};
  scan.keyStreams.resize(layouts.size());
  for (std::string& stream : scan.keyStreams) stream.clear();
  scan.untreated.assign(layouts.size(), 0);
  TextCounts& counts = scan.counts;
  const std::size_t length = std::min(text.find('\0'), text.size());

  // A digit, sign or symbol: its keys, or the marker where a layout has none.
  auto typeKeys = [&](std::size_t j, const std::string& keys, std::string_view typed) {
    if (keys.empty()) {
      scan.keyStreams[j] += '\x18';
      ++scan.untreated[j];
    } else {
      scan.keyStreams[j] += typed;
    }
  };

  std::size_t i = 0;
  while (i < length) {
    const unsigned b1 = static_cast<unsigned char>(text[i]);
    if (b1 < 0x80) {
      ++i;
      if (b1 == ' ' || b1 == '\n') {
        ++(b1 == ' ' ? counts.spaceCount : counts.enterCount);
        for (std::string& stream : scan.keyStreams) stream += static_cast<char>(b1);
        continue;
      }
      const std::size_t s = SignChars.find(static_cast<char>(b1));
      if (s == std::string_view::npos) continue;
      ++counts.signCount[s];
      if (s < 10) ++counts.digitCount;
      for (std::size_t j = 0; j < layouts.size(); ++j) {
        typeKeys(j, layouts[j]->signKeys[s], layouts[j]->signKeys[s]);
      }
      continue;
    }
    if (i + 1 == length) break;  // a lead byte without its trail
    const unsigned b2 = static_cast<unsigned char>(text[i + 1]);
    i += 2;
    int symbol = -1;
    for (int k = 0; k < kSymbolCount && symbol < 0; ++k) {
      if (SymbolCodes[k] == (b1 << 8 | b2)) symbol = k;
    }
    if (symbol >= 0) {
      ++counts.symbolCount[symbol];
      const std::string_view name = SymbolNames[symbol];
      for (std::size_t j = 0; j < layouts.size(); ++j) {
        const std::string& keys = layouts[j]->symbolKeys[symbol];
        if (name == "\xA1\xAE" || name == "\xA1\xAF") {
          typeKeys(j, keys, "'");
        } else if (name == "\xA1\xB0" || name == "\xA1\xB1") {
          typeKeys(j, keys, "\"");
        } else {
          typeKeys(j, keys, keys);
        }
      }
      continue;
    }
    const unsigned initial = (b1 >> 2) & 31, medial = ((b1 & 3) << 3) | (b2 >> 5), final = b2 & 31;
    if (initial >= kInitialCodes || medial >= kMedialCodes || final >= kFinalCodes) continue;
    ++counts.natnaeCount;
    ++counts.initialCount[initial];
    ++counts.medialCount[medial];
    ++counts.finalCount[final];
    for (std::size_t j = 0; j < layouts.size(); ++j) {
      const LayoutRecord& layout = *layouts[j];
      if (layout.fileName.empty()) continue;
      scan.keyStreams[j]
          .append(layout.initialKeys[initial])
          .append(layout.medialKeys[medial])
          .append(layout.finalKeys[final]);
    }
  }
}

CutSample cutSample(const std::uint8_t* data, std::size_t size) {
  const std::size_t cutCount = std::min<std::size_t>(data[0] % 16, (size - 1) / 2);
  const std::size_t header = 1 + 2 * cutCount;
  CutSample cut;
  cut.sample = reinterpret_cast<const char*>(data) + header;
  cut.length = size - header;
  for (std::size_t i = 0; i < cutCount; ++i) {
    const std::size_t point = static_cast<std::size_t>(data[1 + 2 * i]) << 8 | data[2 + 2 * i];
    cut.cuts.push_back(point % (cut.length + 1));
  }
  std::sort(cut.cuts.begin(), cut.cuts.end());
  cut.cuts.push_back(cut.length);
  return cut;
}

MemoryFile::MemoryFile(std::string_view bytes) {
  fd = ::memfd_create("fuzz-sample", MFD_CLOEXEC);
  FUZZ_CHECK(fd >= 0);
  path = "/proc/self/fd/" + std::to_string(fd);
  replace(bytes);
}

void MemoryFile::replace(std::string_view bytes) {
  FUZZ_CHECK(::ftruncate(fd, 0) == 0);
  for (std::size_t at = 0; at < bytes.size();) {
    const ssize_t put = ::pwrite(fd, bytes.data() + at, bytes.size() - at, static_cast<off_t>(at));
    FUZZ_CHECK(put > 0);
    at += static_cast<std::size_t>(put);
  }
}

MemoryFile::~MemoryFile() {
  ::close(fd);
}

}  // namespace kbeval::fuzz
