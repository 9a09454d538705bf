#include "views/json_report.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string_view>

#include "layouts/key_outputs.h"
#include "text/encodings.h"
#include "text/utf8.h"
#include "views/key_labels.h"

namespace kbeval {

namespace {

// The document is written as text, field by field, straight into one string:
// a document tree of its 7,000-odd numbers cost more than the evaluation of a
// small sample. The text is what nlohmann's compact dump of the same tree
// gives (no spaces, "\u00XX" for control characters, numbers as below), so a
// document stays byte for byte what earlier versions wrote.
struct JsonText {
  std::string& out;
  bool comma = false;  // a value precedes at this level: the next one needs ','

  void separate() {
    if (comma) out += ',';
  }
  // A field's name: the writer's own names are plain ASCII and need no escaping.
  JsonText& key(std::string_view name) {
    separate();
    out += '"';
    out += name;
    out += "\":";
    comma = false;
    return *this;
  }
  void open(char bracket) {
    separate();
    out += bracket;
    comma = false;
  }
  void close(char bracket) {
    out += bracket;
    comma = true;
  }
  void value(Count n) {
    separate();
    char digits[24];
    out.append(digits, std::to_chars(digits, digits + sizeof digits, n).ptr);
    comma = true;
  }
  void value(int n) { value(Count{n}); }
  void value(bool b) {
    separate();
    out += b ? "true" : "false";
    comma = true;
  }
  // Not a number (a difference with no baseline figure) and infinities are
  // null; finite numbers in the shortest digits that read back exactly,
  // with ".0" on whole numbers, by the same conversion nlohmann's dump uses.
  void value(double d) {
    separate();
    if (std::isfinite(d)) {
      char digits[64];
      out.append(digits, nlohmann::detail::to_chars(digits, digits + sizeof digits, d));
    } else {
      out += "null";
    }
    comma = true;
  }
  void null() {
    separate();
    out += "null";
    comma = true;
  }
  // A string of valid UTF-8 with nothing to escape is copied as it is. One
  // with a '"', '\\' or control character, or one that is not valid UTF-8
  // (U+FFFD for its bad bytes; withExactBytes adds them exactly), goes
  // through the library's dump: both are rare, and the documents keep the
  // escapes and replacement rules they have always had.
  void value(std::string_view text) {
    separate();
    comma = true;
    bool plain = true;
    for (char c : text) {
      const auto byte = static_cast<unsigned char>(c);
      if (byte < 0x20 || c == '"' || c == '\\') plain = false;
    }
    if (plain && isValidUtf8(text)) {
      out += '"';
      out += text;
      out += '"';
      return;
    }
    out += nlohmann::ordered_json(std::string(text))
               .dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
  }
  void value(const char* text) { value(std::string_view(text)); }
  void value(const std::string& text) { value(std::string_view(text)); }
  template <typename T, std::size_t N>
  void value(const std::array<T, N>& values) {
    open('[');
    for (const T& v : values) value(v);
    close(']');
  }
  // A row of counts, the bulk of every document, goes in with one append.
  template <std::size_t N>
  void value(const std::array<Count, N>& values) {
    separate();
    char text[N * 21 + 2];  // 20 characters at most per count, and its comma
    char* at = text;
    *at++ = '[';
    for (std::size_t i = 0; i < N; ++i) {
      if (i > 0) *at++ = ',';
      at = std::to_chars(at, text + sizeof text, values[i]).ptr;
    }
    *at++ = ']';
    out.append(text, at);
    comma = true;
  }
  template <typename T>
  void field(std::string_view name, const T& v) {
    key(name).value(v);
  }
};

std::string hexBytes(std::string_view bytes) {
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (char c : bytes) {
    char pair[3];
    std::snprintf(pair, sizeof pair, "%02x", static_cast<unsigned char>(c));
    hex += pair;
  }
  return hex;
}

// Writes the field `name` as `text`, and, when `text` is not valid UTF-8,
// `name` + "Bytes" as its bytes in hexadecimal, so that it can be recovered
// exactly.
void withExactBytes(JsonText& json, std::string_view name, std::string_view text) {
  json.field(name, text);
  if (!isValidUtf8(text)) json.field(std::string(name) + "Bytes", hexBytes(text));
}

std::string utf8(std::string_view ksx1001) {
  return std::string(ksx1001ToUtf8(ksx1001).value_or(""));
}

template <std::size_t N>
void utf8Names(JsonText& json, std::string_view name,
               const std::array<std::string_view, N>& names) {
  json.key(name).open('[');
  for (std::string_view n : names) json.value(utf8(n));
  json.close(']');
}

void textJson(JsonText& json, const TextCounts& t) {
  json.key("text").open('{');
  json.field("natnaeCount", t.natnaeCount);
  json.field("initialCount", t.initialCount);
  json.field("medialCount", t.medialCount);
  json.field("finalCount", t.finalCount);
  json.field("signCount", t.signCount);
  json.field("symbolCount", t.symbolCount);
  json.field("digitCount", t.digitCount);
  json.field("enterCount", t.enterCount);
  json.field("spaceCount", t.spaceCount);
  json.close('}');
}

void combinationsJson(JsonText& json, const CombinationCounts& c) {
  json.key("combinations").open('{');
  json.field("cheotGaundeIeum", c.cheotGaundeIeum);
  json.field("gaundeGgeutFreq", c.gaundeGgeutFreq);
  json.field("ggeutCheotIeum", c.ggeutCheotIeum);
  json.field("dahKeyFreq", c.dahKeyFreq);
  json.field("dahHolKeyFreq", c.dahHolKeyFreq);
  json.field("holDahKeyFreq", c.holDahKeyFreq);
  json.close('}');
}

// The jamo and symbol names are the same in every document: written once.
const std::string& namesJson() {
  static const std::string names = [] {
    std::string text;
    JsonText json{text};
    json.key("names").open('{');
    utf8Names(json, "initial", InitialNames);
    utf8Names(json, "medial", MedialNames);
    utf8Names(json, "final", FinalNames);
    json.key("sign").open('[');
    for (char c : SignChars) json.value(std::string_view(&c, 1));
    json.close(']');
    utf8Names(json, "symbol", SymbolNames);
    utf8Names(json, "dahsori", DahsoriNames);
    utf8Names(json, "holsori", HolsoriNames);
    json.close('}');
    return text;
  }();
  return names;
}

void countsJson(JsonText& json, const KeystrokeCounts& c) {
  json.key("counts").open('{');
  json.field("keyStrokes", c.keyStrokes);
  json.field("leftKeys", c.leftKeys);
  json.field("rightKeys", c.rightKeys);
  json.field("shiftStrokes", c.shiftStrokes);
  json.field("leftShifts", c.leftShifts);
  json.field("rightShifts", c.rightShifts);
  json.field("enterStrokes", c.enterStrokes);
  json.field("spaceStrokes", c.spaceStrokes);
  json.field("leftTotal", leftTotal(c));
  json.field("rightTotal", rightTotal(c));
  json.field("fingerCount", c.fingerCount);
  json.field("totalKeyTable", c.totalKeyTable);
  json.field("generalKeyTable", c.generalKeyTable);
  json.field("sameFingerCount", c.sameFingerCount);
  json.field("leftSameFinger", c.leftSameFinger);
  json.field("rightSameFinger", c.rightSameFinger);
  json.field("leftShiftSameFinger", c.leftShiftSameFinger);
  json.field("rightShiftSameFinger", c.rightShiftSameFinger);
  json.field("sameKeyStrokes", c.sameKeyStrokes);
  json.field("leftSameKey", c.leftSameKey);
  json.field("rightSameKey", c.rightSameKey);
  json.field("oneHandRuns", c.oneHandRuns);
  json.field("sameFingerRuns", c.sameFingerRuns);
  json.field("sameKeyRuns", c.sameKeyRuns);
  json.close('}');
}

void figuresJson(JsonText& json, const ComparisonFigures& f) {
  json.key("figures").open('{');
  json.field("keystrokes", f.keystrokes);
  json.field("syllables", f.syllables);
  json.field("textCharacters", f.textCharacters);
  json.field("keystrokesPerSyllable", f.keystrokesPerSyllable);
  json.field("keystrokesPer100Characters", f.keystrokesPer100Characters);
  json.field("shiftShare", f.shiftShare);
  json.field("leftHandShare", f.leftHandShare);
  json.field("rightHandShare", f.rightHandShare);
  json.field("homeRowShare", f.homeRowShare);
  json.field("numberRowShare", f.numberRowShare);
  json.field("sameFingerShare", f.sameFingerShare);
  json.field("sameKeyShare", f.sameKeyShare);
  json.field("longOneHandRunShare", f.longOneHandRunShare);
  json.field("busiestFinger", fingerName(f.busiestFinger));
  json.field("busiestFingerLoad", f.busiestFingerLoad);
  json.field("untreated", f.untreated);
  json.close('}');
}

// Indexed by key byte: a fixed shape that a heatmap can read directly.
void keysJson(JsonText& json, const KeyOutputTable& outputs, const KeyUseTable& use) {
  std::array<Count, 256> presses, shiftPresses;
  for (int key = 0; key < 256; ++key) {
    presses[key] = use[key].presses;
    shiftPresses[key] = use[key].shiftPresses;
  }
  json.key("keys").open('{');
  json.field("presses", presses);
  json.field("shiftPresses", shiftPresses);
  json.key("labels").open('[');
  for (int key = 0; key < 256; ++key) json.value(keyLabel(outputs[key], OutputEncoding::utf8));
  json.close(']');
  json.close('}');
}

void pairsJson(JsonText& json, std::string_view name, const KeyOutputTable& outputs,
               const std::vector<KeyPairCount>& pairs, Count keystrokes) {
  json.key(name).open('[');
  for (const KeyPairCount& p : pairs) {
    json.open('{');
    json.key("keys").open('[');
    json.value(keyName(p.first));
    json.value(keyName(p.second));
    json.close(']');
    json.key("bytes").open('[');
    json.value(int{p.first});
    json.value(int{p.second});
    json.close(']');
    json.key("labels").open('[');
    json.value(keyLabel(outputs[p.first], OutputEncoding::utf8));
    json.value(keyLabel(outputs[p.second], OutputEncoding::utf8));
    json.close(']');
    json.field("times", p.times);
    json.field("strokes", p.strokes);
    json.field("share", pairShare(p, keystrokes));
    json.field("viaShift", p.viaShift);
    json.close('}');
  }
  json.close(']');
}

// The pair and triple figures: each count with its share (of pairs, of
// triples; effort per stroke; distance per same-finger pair).
void strokeFiguresJson(JsonText& json, const StrokeFigures& f) {
  json.key("strokeFigures").open('{');
  json.field("strokes", f.strokes);
  json.field("pairs", f.pairs);
  json.field("triples", f.triples);
  auto counted = [&](const char* name, Count n, Count total) {
    json.key(name).open('{');
    json.field("count", n);
    json.field("share", shareOf(static_cast<double>(n), total));
    json.close('}');
  };
  counted("alternation", f.alternation, f.pairs);
  counted("rollIn", f.rollIn, f.pairs);
  counted("rollOut", f.rollOut, f.pairs);
  counted("sameFinger", f.sameFinger, f.pairs);
  counted("scissor", f.scissor, f.pairs);
  counted("lateralStretch", f.lateral, f.pairs);
  json.key("sameFingerDistance").open('{');
  json.field("sum", f.sameFingerDistance);
  json.field("perPair", shareOf(f.sameFingerDistance, f.sameFinger));
  json.close('}');
  counted("redirect", f.redirect, f.triples);
  counted("badRedirect", f.badRedirect, f.triples);
  counted("oneHandRoll", f.oneHandRoll, f.triples);
  counted("skipgram", f.skipgram, f.triples);
  json.key("effort").open('{');
  json.field("sum", f.effort);
  json.field("perStroke", shareOf(f.effort, f.strokes));
  json.close('}');
  json.close('}');
}

}  // namespace

bool jsonAvailable() {
  return true;
}

std::string jsonHead(const JsonSample& sample, const TextCounts& text,
                     const CombinationCounts& combinations) {
  std::string piece;
  piece.reserve(32768);
  JsonText json{piece};
  json.open('{');
  json.field("format", kJsonFormat);
  json.key("sample").open('{');
  withExactBytes(json, "path", sample.path);
  json.field("bytes", Count{sample.bytes});
  json.field("encoding", sample.encoding);
  json.close('}');
  textJson(json, text);
  combinationsJson(json, combinations);
  json.separate();
  piece += namesJson();
  if (!sample.boardName.empty()) {
    json.key("board").open('{');
    withExactBytes(json, "name", sample.boardName);
    withExactBytes(json, "file", sample.boardFile);
    json.close('}');
  }
  // The layouts follow as they are evaluated: the head is the document up to
  // the opening of their array.
  piece += ",\"layouts\":[";
  return piece;
}

std::string jsonLayout(const LayoutFindings& findings, bool first) {
  const LayoutRecord& layout = *findings.layout;
  std::string piece = first ? "\n" : ",\n";
  piece.reserve(32768);
  JsonText json{piece};
  json.open('{');
  withExactBytes(json, "fileName", layout.fileName);
  json.field("name", displayName(layout.fileName));
  json.field("setType", layout.setType);
  json.field("fingering", layout.fingering);
  json.field("untreatedCount", findings.untreated);
  countsJson(json, findings.counts);
  figuresJson(json, findings.figures);
  const KeyOutputTable outputs = keyOutputTable(layout);
  keysJson(json, outputs, findings.keyUse);
  json.key("worstPairs").open('{');
  pairsJson(json, "sameFinger", outputs, findings.worstPairs.sameFinger,
            findings.figures.keystrokes);
  pairsJson(json, "sameKey", outputs, findings.worstPairs.sameKey, findings.figures.keystrokes);
  json.close('}');
  if (findings.hasStrokes) strokeFiguresJson(json, findings.strokes);
  json.key("untreatedCharacters").open('[');
  for (const UntreatedCharacter& c : findings.untreatedCharacters) {
    json.open('{');
    json.field("character", utf8(c.text));
    json.field("count", c.count);
    json.close('}');
  }
  json.close(']');
  json.close('}');
  return piece;
}

std::string jsonTail(std::span<const ComparisonRow> rows, std::size_t baseline) {
  if (baseline >= rows.size()) return "\n]}\n";
  // The tail continues the document's top object after the layouts' array.
  std::string piece = "\n]";
  JsonText json{piece, true};
  withExactBytes(json, "baseline", rows[baseline].name);
  json.key("differences").open('[');
  for (const ComparisonRow& row : rows) {
    json.open('{');
    for (const ComparisonColumn& column : comparisonColumns()) {
      if (column.value == nullptr) continue;
      json.field(column.jsonName, figureDifference(column, row, rows[baseline]));
    }
    json.close('}');
  }
  json.close(']');
  piece += "}\n";
  return piece;
}

}  // namespace kbeval
