// The JSON writer fed arbitrary layout names, sample paths and counts: the
// document (head, one layout, tail) must parse, every string in it must be
// valid UTF-8 (the parser refuses anything else), and everything must read
// back equal, names and paths exactly through their hexadecimal twins.
//
// Input: a byte n and n bytes of file name, the same for the fingering and
// the sample path, a byte k and k (table, index, key) triples that give
// one-key key strings, then 5-byte signed counts for the keystroke counts,
// the text counts, up to 12 worst pairs of each kind and 8 keys' use.
//
// The document is read back with the parser's event interface into the
// structs it was written from, by field path, rather than into a document
// tree: a tree of its 7,000-odd numbers, built and destroyed under the
// sanitizers, cost more than everything else the target does.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "views/comparison_figures.h"
#include "views/json_report.h"

namespace {

using namespace kbeval;
using Json = nlohmann::json;

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

// Where a value at a field path goes. A table of counts (nested arrays too)
// fills element by element; a list of pairs gains a pair per object and the
// pair's fields go to its last one.
enum class Kind {
  counts,
  real,
  text,
  flag,
  objects,
  pairs,
  pairBytes,
  pairTimes,
  pairStrokes,
  pairShift
};

struct Slot {
  std::string_view path;
  Kind kind;
  void* to;
  std::size_t expected;    // values (or objects) the document must hold here
  std::size_t inner = 0;   // arrays nested in it, for a table of rows
  bool table = false;      // an array, not a single value
  std::size_t filled = 0;  // values read
  std::size_t rows = 0;    // nested arrays read
  std::size_t arrays = 0;  // arrays it was written as (1 for a table, else 0)
};

template <typename T, std::size_t N>
Slot table(std::string_view path, std::array<T, N>& values) {
  constexpr std::size_t rows = std::is_same_v<T, Count> ? 0 : N;
  static_assert(sizeof values == N * sizeof(T) && sizeof(T) % sizeof(Count) == 0);
  return {path, Kind::counts, values.data(), sizeof values / sizeof(Count), rows, true};
}
Slot scalar(std::string_view path, Count& value) {
  return {path, Kind::counts, &value, 1};
}
Slot real(std::string_view path, double& value) {
  return {path, Kind::real, &value, 1};
}
Slot string(std::string_view path, std::string& value, std::size_t expected = 1) {
  return {path, Kind::text, &value, expected};
}

// Reads the parser's events into the slots. Any value of the wrong type for
// its slot, or more values than the slot holds, stops the parse.
struct ReadBack : nlohmann::json_sax<Json> {
  struct Frame {
    std::size_t pathLength;  // the path of this container
    bool array;
    Slot* slot;             // where its elements go (arrays)
    std::size_t index = 0;  // elements read (arrays)
  };
  std::vector<Slot>& slots;
  std::string path;
  std::vector<Frame> frames;
  Slot* current = nullptr;  // the slot of the last key read

  explicit ReadBack(std::vector<Slot>& s) : slots(s) { path.reserve(128); }

  Slot* find() {
    for (Slot& slot : slots) {
      if (slot.path == path) return &slot;
    }
    return nullptr;
  }
  // The slot the next value goes to, and counts it as an element of its array.
  Slot* target() {
    if (frames.empty()) return nullptr;
    Frame& top = frames.back();
    if (!top.array) return current;
    ++top.index;
    return top.slot;
  }
  std::vector<KeyPairCount>& pairList(Slot* slot) {
    return *static_cast<std::vector<KeyPairCount>*>(slot->to);
  }
  bool integer(Count n) {
    Slot* slot = target();
    if (slot == nullptr) return true;
    switch (slot->kind) {
      case Kind::counts:
        if (slot->filled >= slot->expected) return false;
        static_cast<Count*>(slot->to)[slot->filled++] = n;
        return true;
      case Kind::real:
        return real(slot, static_cast<double>(n));
      case Kind::pairBytes: {
        if (pairList(slot).empty() || n < 0 || n > 255 || frames.back().index > 2) return false;
        KeyPairCount& p = pairList(slot).back();
        (frames.back().index == 1 ? p.first : p.second) = static_cast<unsigned char>(n);
        return true;
      }
      case Kind::pairTimes:
      case Kind::pairStrokes:
        if (pairList(slot).empty()) return false;
        (slot->kind == Kind::pairTimes ? pairList(slot).back().times
                                       : pairList(slot).back().strokes) = n;
        ++slot->filled;
        return true;
      default:
        return false;
    }
  }

  bool real(Slot* slot, double d) {
    if (slot == nullptr) return true;
    if (slot->kind != Kind::real || slot->filled >= slot->expected) return false;
    *static_cast<double*>(slot->to) = d;
    ++slot->filled;
    return true;
  }
  // An element of an array starts at the array's own path.
  void element() {
    if (!frames.empty() && frames.back().array) path.resize(frames.back().pathLength);
  }

  bool null() override { return target() == nullptr; }
  bool boolean(bool b) override {
    Slot* slot = target();
    if (slot == nullptr) return true;
    if (slot->kind != Kind::pairShift || pairList(slot).empty()) return false;
    pairList(slot).back().viaShift = b;
    ++slot->filled;
    return true;
  }
  bool number_integer(number_integer_t n) override { return integer(n); }
  bool number_unsigned(number_unsigned_t n) override {
    if (n > static_cast<number_unsigned_t>(INT64_MAX)) return target() == nullptr;
    return integer(static_cast<Count>(n));
  }
  bool number_float(number_float_t d, const string_t&) override { return real(target(), d); }
  bool string(string_t& s) override {
    Slot* slot = target();
    if (slot == nullptr) return true;
    // A hexadecimal twin (expected 0) may be there once.
    if (slot->kind != Kind::text || slot->filled >= std::max<std::size_t>(slot->expected, 1))
      return false;
    *static_cast<std::string*>(slot->to) = s;
    ++slot->filled;
    return true;
  }
  bool binary(binary_t&) override { return false; }
  bool start_object(std::size_t) override {
    element();
    const bool inArray = !frames.empty() && frames.back().array;
    Slot* slot = target();
    if (slot != nullptr) {
      // Pairs and layouts are objects in a list, never a lone object.
      if (!inArray) return false;
      if (slot->kind == Kind::pairs) {
        pairList(slot).emplace_back();
        ++slot->filled;
      } else if (slot->kind == Kind::objects) {
        ++slot->filled;
      } else {
        return false;
      }
    }
    frames.push_back({path.size(), false, nullptr});
    current = nullptr;
    return true;
  }
  bool key(string_t& name) override {
    path.resize(frames.back().pathLength);
    path += '/';
    path += name;
    current = find();
    return true;
  }
  bool end_object() override {
    frames.pop_back();
    return true;
  }
  bool start_array(std::size_t) override {
    element();
    const bool nested = !frames.empty() && frames.back().array;
    Slot* slot = target();
    if (slot != nullptr && nested) {
      if (slot->kind != Kind::counts || ++slot->rows > slot->inner) return false;
    }
    if (slot != nullptr && slot->kind == Kind::pairBytes) ++slot->filled;
    if (slot != nullptr && slot->kind == Kind::counts && !nested) ++slot->arrays;
    frames.push_back({path.size(), true, slot});
    return true;
  }
  bool end_array() override {
    const Frame frame = frames.back();
    frames.pop_back();
    return frame.slot == nullptr || frame.slot->kind != Kind::pairBytes || frame.index == 2;
  }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
    return false;
  }
};

// A string exactly: from its hexadecimal twin when there is one (strictly
// two lowercase digits a byte), else the string itself. False for bad digits.
bool exact(const std::string& text, const std::string& hex, std::string& bytes) {
  if (hex.empty()) {
    bytes = text;
    return true;
  }
  if (hex.size() % 2 != 0) return false;
  bytes.clear();
  auto digit = [](char c) {
    return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
  };
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const int high = digit(hex[i]), low = digit(hex[i + 1]);
    if (high < 0 || low < 0) return false;
    bytes.push_back(static_cast<char>(high * 16 + low));
  }
  return true;
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

  // What reads back, by the field names of the document.
  std::string path, pathBytes, fileName, fileNameBytes, finger;
  Count bytes = 0;
  TextCounts t;
  KeystrokeCounts k;
  ComparisonFigures g;
  std::array<Count, 256> presses{}, shiftPresses{};
  std::vector<KeyPairCount> sameFinger, sameKey;
  std::vector<Slot> slots = {
      string("/sample/path", path),
      string("/sample/pathBytes", pathBytes, 0),
      scalar("/sample/bytes", bytes),
      scalar("/text/natnaeCount", t.natnaeCount),
      table("/text/initialCount", t.initialCount),
      table("/text/medialCount", t.medialCount),
      table("/text/finalCount", t.finalCount),
      table("/text/signCount", t.signCount),
      table("/text/symbolCount", t.symbolCount),
      scalar("/text/digitCount", t.digitCount),
      scalar("/text/enterCount", t.enterCount),
      scalar("/text/spaceCount", t.spaceCount),
      {"/layouts", Kind::objects, nullptr, 1},
      string("/layouts/fileName", fileName),
      string("/layouts/fileNameBytes", fileNameBytes, 0),
      scalar("/layouts/counts/keyStrokes", k.keyStrokes),
      scalar("/layouts/counts/leftKeys", k.leftKeys),
      scalar("/layouts/counts/rightKeys", k.rightKeys),
      scalar("/layouts/counts/shiftStrokes", k.shiftStrokes),
      scalar("/layouts/counts/leftShifts", k.leftShifts),
      scalar("/layouts/counts/rightShifts", k.rightShifts),
      scalar("/layouts/counts/enterStrokes", k.enterStrokes),
      scalar("/layouts/counts/spaceStrokes", k.spaceStrokes),
      table("/layouts/counts/fingerCount", k.fingerCount),
      table("/layouts/counts/totalKeyTable", k.totalKeyTable),
      table("/layouts/counts/generalKeyTable", k.generalKeyTable),
      table("/layouts/counts/sameFingerCount", k.sameFingerCount),
      scalar("/layouts/counts/leftSameFinger", k.leftSameFinger),
      scalar("/layouts/counts/rightSameFinger", k.rightSameFinger),
      scalar("/layouts/counts/leftShiftSameFinger", k.leftShiftSameFinger),
      scalar("/layouts/counts/rightShiftSameFinger", k.rightShiftSameFinger),
      scalar("/layouts/counts/sameKeyStrokes", k.sameKeyStrokes),
      scalar("/layouts/counts/leftSameKey", k.leftSameKey),
      scalar("/layouts/counts/rightSameKey", k.rightSameKey),
      table("/layouts/counts/oneHandRuns", k.oneHandRuns),
      table("/layouts/counts/sameFingerRuns", k.sameFingerRuns),
      table("/layouts/counts/sameKeyRuns", k.sameKeyRuns),
      scalar("/layouts/figures/keystrokes", g.keystrokes),
      scalar("/layouts/figures/syllables", g.syllables),
      scalar("/layouts/figures/textCharacters", g.textCharacters),
      real("/layouts/figures/keystrokesPerSyllable", g.keystrokesPerSyllable),
      real("/layouts/figures/keystrokesPer100Characters", g.keystrokesPer100Characters),
      real("/layouts/figures/shiftShare", g.shiftShare),
      real("/layouts/figures/leftHandShare", g.leftHandShare),
      real("/layouts/figures/rightHandShare", g.rightHandShare),
      real("/layouts/figures/homeRowShare", g.homeRowShare),
      real("/layouts/figures/numberRowShare", g.numberRowShare),
      real("/layouts/figures/sameFingerShare", g.sameFingerShare),
      real("/layouts/figures/sameKeyShare", g.sameKeyShare),
      real("/layouts/figures/longOneHandRunShare", g.longOneHandRunShare),
      string("/layouts/figures/busiestFinger", finger),
      real("/layouts/figures/busiestFingerLoad", g.busiestFingerLoad),
      scalar("/layouts/figures/untreated", g.untreated),
      table("/layouts/keys/presses", presses),
      table("/layouts/keys/shiftPresses", shiftPresses),
  };
  for (auto [name, list] : {std::pair{std::string_view("sameFinger"), &sameFinger},
                            std::pair{std::string_view("sameKey"), &sameKey}}) {
    const std::size_t n =
        name == "sameFinger" ? f.worstPairs.sameFinger.size() : f.worstPairs.sameKey.size();
    const bool first = name == "sameFinger";
    slots.push_back({first ? "/layouts/worstPairs/sameFinger" : "/layouts/worstPairs/sameKey",
                     Kind::pairs, list, n});
    slots.push_back(
        {first ? "/layouts/worstPairs/sameFinger/bytes" : "/layouts/worstPairs/sameKey/bytes",
         Kind::pairBytes, list, n});
    slots.push_back(
        {first ? "/layouts/worstPairs/sameFinger/times" : "/layouts/worstPairs/sameKey/times",
         Kind::pairTimes, list, n});
    slots.push_back(
        {first ? "/layouts/worstPairs/sameFinger/strokes" : "/layouts/worstPairs/sameKey/strokes",
         Kind::pairStrokes, list, n});
    slots.push_back(
        {first ? "/layouts/worstPairs/sameFinger/viaShift" : "/layouts/worstPairs/sameKey/viaShift",
         Kind::pairShift, list, n});
  }
  ReadBack readBack(slots);
  FUZZ_CHECK(Json::sax_parse(document, &readBack));
  for (const Slot& slot : slots) {
    // The hexadecimal twins are there only for bytes that are not UTF-8.
    if (slot.expected == 0 && slot.kind == Kind::text) {
      FUZZ_CHECK(slot.filled <= 1);
    } else {
      FUZZ_CHECK(slot.filled == slot.expected && slot.rows == slot.inner);
      FUZZ_CHECK(slot.kind != Kind::counts || slot.arrays == (slot.table ? 1u : 0u));
    }
  }
  std::string exactBytes;
  FUZZ_CHECK(exact(path, pathBytes, exactBytes) && exactBytes == sample.path);
  FUZZ_CHECK(bytes == sample.bytes);
  FUZZ_CHECK(t == text);
  FUZZ_CHECK(exact(fileName, fileNameBytes, exactBytes) && exactBytes == layout.fileName);
  FUZZ_CHECK(k == c);
  for (int slot = 0; slot < kFingerSlots; ++slot) {
    if (slot != 4 && slot != 5 && fingerName(slot) == finger) g.busiestFinger = slot;
  }
  FUZZ_CHECK(g == f.figures);
  for (int key = 0; key < 256; ++key) {
    FUZZ_CHECK(presses[key] == f.keyUse[key].presses);
    FUZZ_CHECK(shiftPresses[key] == f.keyUse[key].shiftPresses);
  }
  FUZZ_CHECK(sameFinger == f.worstPairs.sameFinger);
  FUZZ_CHECK(sameKey == f.worstPairs.sameKey);
  return 0;
}
