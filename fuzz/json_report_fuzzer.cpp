// The JSON writer fed arbitrary layout names, sample paths and counts: the
// document (head, one layout, tail) must parse, every string in it must be
// valid UTF-8 (the parser refuses anything else), and everything must read
// back equal, names and paths exactly through their hexadecimal twins.
//
// Input: a byte n and n bytes of file name, the same for the fingering and
// the sample path, a byte k and k (table, index, key) triples that give
// one-key key strings, then 5-byte signed counts for the keystroke counts,
// the text counts, up to 12 worst pairs of each kind and 8 keys' use.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "views/json_read_back.h"
#include "views/json_report.h"

namespace {

using namespace kbeval;

struct Reader {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t at = 0;

  std::uint8_t byte() { return at < size ? data[at++] : 0; }
  std::string bytes() {
    std::string text;
    for (std::uint8_t n = byte(); n > 0 && at < size; --n)
      text.push_back(static_cast<char>(byte()));
    return text;
  }
  // Up to 2^39 either way: as large as any real count, and sums stay far from overflow.
  Count count() {
    std::uint64_t v = 0;
    for (int i = 0; i < 5; ++i) v = v << 8 | byte();
    return static_cast<Count>(v & 0x7FFFFFFFFF) - (Count{1} << 38);
  }
  template <typename Array>
  void fill(Array& values) {
    for (auto& v : values) {
      if constexpr (std::is_same_v<std::decay_t<decltype(v)>, Count>) {
        v = count();
      } else {
        fill(v);
      }
    }
  }
};

std::vector<KeyPairCount> pairs(Reader& in) {
  std::vector<KeyPairCount> list(in.byte() % 13);
  for (KeyPairCount& p : list) {
    p.first = in.byte();
    p.second = in.byte();
    p.times = in.count();
    p.strokes = in.count();
    p.viaShift = in.byte() & 1;
  }
  return list;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Reader in{data, size};
  LayoutRecord layout;
  layout.fileName = in.bytes();
  layout.fingering = in.bytes();
  layout.setType = 2 + (in.byte() & 1);
  const JsonSample sample{in.bytes(), in.count(), "johab"};
  for (std::uint8_t k = in.byte() % 16; k > 0; --k) {
    const int table = in.byte() % 5, index = in.byte();
    const std::string key(1, static_cast<char>(in.byte()));
    if (table == 0) layout.initialKeys[index % kInitialCodes] = key;
    if (table == 1) layout.medialKeys[index % kMedialCodes] = key;
    if (table == 2) layout.finalKeys[index % kFinalCodes] = key;
    if (table == 3) layout.signKeys[index % kSignCount] = key;
    if (table == 4) layout.symbolKeys[index % kSymbolCount] = key;
  }

  LayoutFindings f;
  f.layout = &layout;
  KeystrokeCounts& c = f.counts;
  for (Count* n : {&c.keyStrokes, &c.leftKeys, &c.rightKeys, &c.shiftStrokes, &c.leftShifts,
                   &c.rightShifts, &c.enterStrokes, &c.spaceStrokes, &c.leftSameFinger,
                   &c.rightSameFinger, &c.leftShiftSameFinger, &c.rightShiftSameFinger,
                   &c.sameKeyStrokes, &c.leftSameKey, &c.rightSameKey}) {
    *n = in.count();
  }
  in.fill(c.fingerCount);
  in.fill(c.sameFingerCount);
  in.fill(c.totalKeyTable);
  in.fill(c.generalKeyTable);
  for (auto* histogram :
       {&c.oneHandRuns[0], &c.oneHandRuns[1], &c.sameFingerRuns[3], &c.sameKeyRuns[9]}) {
    for (int bucket : {0, 1, 2, 3, 6, kRunBuckets - 1}) (*histogram)[bucket] = in.count();
  }
  f.untreated = in.count();
  TextCounts text;
  text.natnaeCount = in.count();
  text.digitCount = in.count();
  text.enterCount = in.count();
  text.spaceCount = in.count();
  in.fill(text.signCount);
  in.fill(text.symbolCount);
  f.figures = comparisonFigures(c, f.untreated, text);
  f.worstPairs.sameFinger = pairs(in);
  f.worstPairs.sameKey = pairs(in);
  for (int k = 0; k < 8; ++k) {
    KeyUse& use = f.keyUse[in.byte()];
    use.presses = in.count();
    use.shiftPresses = in.count();
  }

  // One layout: what joins layouts is fixed text, checked by the unit test.
  const std::string document =
      jsonHead(sample, text, CombinationCounts{}) + jsonLayout(f, true) + jsonTail({}, 0);
  const testing::Json json = testing::Json::parse(document, nullptr, false);
  FUZZ_CHECK(!json.is_discarded());
  FUZZ_CHECK(testing::exactString(json.at("sample"), "path") == sample.path);
  FUZZ_CHECK(json.at("sample").at("bytes").get<Count>() == sample.bytes);
  FUZZ_CHECK(json.at("text").get<TextCounts>() == text);
  FUZZ_CHECK(json.at("layouts").size() == 1);
  for (const testing::Json& l : json.at("layouts")) {
    FUZZ_CHECK(testing::exactString(l, "fileName") == layout.fileName);
    FUZZ_CHECK(l.at("counts").get<KeystrokeCounts>() == c);
    FUZZ_CHECK(testing::figuresFromJson(l.at("figures")) == f.figures);
    FUZZ_CHECK(testing::keyUseFromJson(l.at("keys")) == f.keyUse);
    FUZZ_CHECK(testing::pairsFromJson(l.at("worstPairs").at("sameFinger")) ==
               f.worstPairs.sameFinger);
    FUZZ_CHECK(testing::pairsFromJson(l.at("worstPairs").at("sameKey")) == f.worstPairs.sameKey);
  }
  return 0;
}
