// A UTF-8 sample from arbitrary bytes. Its Johab form must be what a plain
// model makes of it: the well-formed characters of Unicode's table of UTF-8
// byte sequences, each converted alone by iconv(3), every other byte skipped
// and counted, up to and including the first 0x1A or zero byte. And the
// sample analysed whole and cut where the input says must give the same
// counts, walks and invalid bytes.
//
// Input: one byte n, then n cut points of two bytes each, then the sample.
#include <iconv.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "fuzz_support.h"
#include "sample/sample_analysis.h"
#include "sample_on_one_thread.h"
#include "text/text_mode.h"
#include "text/utf8_sample.h"

namespace {

using namespace kbeval;

// Unicode's well-formed UTF-8 byte sequences: a lead byte range, then the
// ranges of the bytes that must follow it.
struct WellFormed {
  unsigned char low[4];
  unsigned char high[4];
  int length;
};
constexpr WellFormed kWellFormed[] = {
    {{0x00}, {0x7F}, 1},
    {{0xC2, 0x80}, {0xDF, 0xBF}, 2},
    {{0xE0, 0xA0, 0x80}, {0xE0, 0xBF, 0xBF}, 3},
    {{0xE1, 0x80, 0x80}, {0xEC, 0xBF, 0xBF}, 3},
    {{0xED, 0x80, 0x80}, {0xED, 0x9F, 0xBF}, 3},
    {{0xEE, 0x80, 0x80}, {0xEF, 0xBF, 0xBF}, 3},
    {{0xF0, 0x90, 0x80, 0x80}, {0xF0, 0xBF, 0xBF, 0xBF}, 4},
    {{0xF1, 0x80, 0x80, 0x80}, {0xF3, 0xBF, 0xBF, 0xBF}, 4},
    {{0xF4, 0x80, 0x80, 0x80}, {0xF4, 0x8F, 0xBF, 0xBF}, 4},
};

int wellFormedLength(const unsigned char* bytes, std::size_t available) {
  for (const WellFormed& form : kWellFormed) {
    if (static_cast<std::size_t>(form.length) > available) continue;
    bool matches = true;
    for (int i = 0; i < form.length && matches; ++i) {
      matches = bytes[i] >= form.low[i] && bytes[i] <= form.high[i];
    }
    if (matches) return form.length;
  }
  return 0;
}

struct Model {
  std::string johab;
  std::uint64_t invalidBytes = 0;
};

Model model(const unsigned char* sample, std::size_t length) {
  static const iconv_t converter = iconv_open("JOHAB", "UTF-8");
  FUZZ_CHECK(converter != reinterpret_cast<iconv_t>(-1));
  Model result;
  for (std::size_t at = 0; at < length;) {
    const int take = wellFormedLength(sample + at, length - at);
    if (take == 0) {
      ++result.invalidBytes;
      ++at;
      continue;
    }
    std::string in(reinterpret_cast<const char*>(sample + at), static_cast<std::size_t>(take));
    char out[8];
    char* inPointer = in.data();
    char* outPointer = out;
    std::size_t inLeft = in.size(), outLeft = sizeof out;
    if (iconv(converter, &inPointer, &inLeft, &outPointer, &outLeft) ==
        static_cast<std::size_t>(-1)) {
      iconv(converter, nullptr, nullptr, nullptr, nullptr);
    } else {
      result.johab.append(out, sizeof out - outLeft);
    }
    const unsigned char c = sample[at];
    at += static_cast<std::size_t>(take);
    if (c == 0 || c == 0x1A) break;  // the text ends here
  }
  return result;
}

SampleAnalysis& analysis(int which) {
  static SampleAnalysis analyses[2] = {
      startSampleAnalysis(fuzz::fixedLayoutPointers(), johabTable()),
      startSampleAnalysis(fuzz::fixedLayoutPointers(), johabTable())};
  return analyses[which];
}

void analysePieces(SampleAnalysis& a, const char* sample, const std::vector<std::size_t>& cuts) {
  restartSampleAnalysis(a);
  std::size_t begin = 0;
  for (std::size_t cut : cuts) {
    if (!analyseSampleBytes(a, sample + begin, cut - begin)) break;
    begin = cut;
  }
  finishSampleAnalysis(a);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const fuzz::CutSample input = fuzz::cutSample(data, size);
  const char* sample = input.sample;
  const std::size_t length = input.length;
  const std::vector<std::size_t>& cuts = input.cuts;

  // The conversion in the pieces the input chose, up to where the text ends.
  const std::size_t text = lengthThroughTextEnd(sample, length);
  Utf8SampleState state;
  state.johab = johabTable();
  std::string johab;
  std::size_t begin = 0;
  for (std::size_t cut : cuts) {
    const std::size_t end = std::min(cut, text);
    if (end > begin) convertUtf8Sample(state, sample + begin, end - begin, johab);
    begin = std::max(begin, end);
  }
  finishUtf8Sample(state);
  const Model expected = model(reinterpret_cast<const unsigned char*>(sample), length);
  FUZZ_CHECK(johab == expected.johab);
  FUZZ_CHECK(state.invalidBytes == expected.invalidBytes);

  SampleAnalysis& whole = analysis(0);
  SampleAnalysis& pieces = analysis(1);
  analysePieces(whole, sample, {length});
  analysePieces(pieces, sample, cuts);
  FUZZ_CHECK(whole.utf8.invalidBytes == expected.invalidBytes);
  FUZZ_CHECK(pieces.utf8.invalidBytes == expected.invalidBytes);
  FUZZ_CHECK(whole.textBytes == text && pieces.textBytes == text);
  FUZZ_CHECK(whole.textCounts == pieces.textCounts);
  FUZZ_CHECK(*whole.combinations == *pieces.combinations);
  for (std::size_t i = 0; i < whole.evaluations.size(); ++i) {
    FUZZ_CHECK(layoutUntreatedCount(whole, i) == layoutUntreatedCount(pieces, i));
    FUZZ_CHECK(*whole.evaluations[i].state == *pieces.evaluations[i].state);
  }
  return 0;
}
