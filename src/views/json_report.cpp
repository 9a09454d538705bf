#include "views/json_report.h"

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

using Json = nlohmann::ordered_json;

// Invalid UTF-8 never reaches the document as it is: the dump replaces it
// with U+FFFD, and the exact bytes go beside it (see withExactBytes).
std::string dumped(const Json& json) {
  return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

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

// Sets `json[field]` to `text`, and, when `text` is not valid UTF-8,
// `json[field + "Bytes"]` to its bytes in hexadecimal, so that it can be
// recovered exactly.
void withExactBytes(Json& json, const std::string& field, std::string_view text) {
  json[field] = std::string(text);
  if (!isValidUtf8(text)) json[field + "Bytes"] = hexBytes(text);
}

std::string utf8(std::string_view ksx1001) {
  return std::string(ksx1001ToUtf8(ksx1001).value_or(""));
}

template <std::size_t N>
Json utf8Names(const std::array<std::string_view, N>& names) {
  Json list = Json::array();
  for (std::string_view name : names) list.push_back(utf8(name));
  return list;
}

Json textJson(const TextCounts& t) {
  return Json{{"natnaeCount", t.natnaeCount}, {"initialCount", t.initialCount},
              {"medialCount", t.medialCount}, {"finalCount", t.finalCount},
              {"signCount", t.signCount},     {"symbolCount", t.symbolCount},
              {"digitCount", t.digitCount},   {"enterCount", t.enterCount},
              {"spaceCount", t.spaceCount}};
}

Json combinationsJson(const CombinationCounts& c) {
  return Json{{"cheotGaundeIeum", c.cheotGaundeIeum}, {"gaundeGgeutFreq", c.gaundeGgeutFreq},
              {"ggeutCheotIeum", c.ggeutCheotIeum},   {"dahKeyFreq", c.dahKeyFreq},
              {"dahHolKeyFreq", c.dahHolKeyFreq},     {"holDahKeyFreq", c.holDahKeyFreq}};
}

Json namesJson() {
  Json signs = Json::array();
  for (char c : SignChars) signs.push_back(std::string(1, c));
  return Json{{"initial", utf8Names(InitialNames)}, {"medial", utf8Names(MedialNames)},
              {"final", utf8Names(FinalNames)},     {"sign", signs},
              {"symbol", utf8Names(SymbolNames)},   {"dahsori", utf8Names(DahsoriNames)},
              {"holsori", utf8Names(HolsoriNames)}};
}

Json countsJson(const KeystrokeCounts& c) {
  return Json{{"keyStrokes", c.keyStrokes},
              {"leftKeys", c.leftKeys},
              {"rightKeys", c.rightKeys},
              {"shiftStrokes", c.shiftStrokes},
              {"leftShifts", c.leftShifts},
              {"rightShifts", c.rightShifts},
              {"enterStrokes", c.enterStrokes},
              {"spaceStrokes", c.spaceStrokes},
              {"leftTotal", leftTotal(c)},
              {"rightTotal", rightTotal(c)},
              {"fingerCount", c.fingerCount},
              {"totalKeyTable", c.totalKeyTable},
              {"generalKeyTable", c.generalKeyTable},
              {"sameFingerCount", c.sameFingerCount},
              {"leftSameFinger", c.leftSameFinger},
              {"rightSameFinger", c.rightSameFinger},
              {"leftShiftSameFinger", c.leftShiftSameFinger},
              {"rightShiftSameFinger", c.rightShiftSameFinger},
              {"sameKeyStrokes", c.sameKeyStrokes},
              {"leftSameKey", c.leftSameKey},
              {"rightSameKey", c.rightSameKey},
              {"oneHandRuns", c.oneHandRuns},
              {"sameFingerRuns", c.sameFingerRuns},
              {"sameKeyRuns", c.sameKeyRuns}};
}

Json figuresJson(const ComparisonFigures& f) {
  return Json{{"keystrokes", f.keystrokes},
              {"syllables", f.syllables},
              {"textCharacters", f.textCharacters},
              {"keystrokesPerSyllable", f.keystrokesPerSyllable},
              {"keystrokesPer100Characters", f.keystrokesPer100Characters},
              {"shiftShare", f.shiftShare},
              {"leftHandShare", f.leftHandShare},
              {"rightHandShare", f.rightHandShare},
              {"homeRowShare", f.homeRowShare},
              {"numberRowShare", f.numberRowShare},
              {"sameFingerShare", f.sameFingerShare},
              {"sameKeyShare", f.sameKeyShare},
              {"longOneHandRunShare", f.longOneHandRunShare},
              {"busiestFinger", std::string(fingerName(f.busiestFinger))},
              {"busiestFingerLoad", f.busiestFingerLoad},
              {"untreated", f.untreated}};
}

// Indexed by key byte: a fixed shape that a heatmap can read directly.
Json keysJson(const KeyOutputTable& outputs, const KeyUseTable& use) {
  Json presses = Json::array(), shiftPresses = Json::array(), labels = Json::array();
  for (int key = 0; key < 256; ++key) {
    presses.push_back(use[key].presses);
    shiftPresses.push_back(use[key].shiftPresses);
    labels.push_back(keyLabel(outputs[key], OutputEncoding::utf8));
  }
  Json keys = Json::object();
  keys["presses"] = std::move(presses);
  keys["shiftPresses"] = std::move(shiftPresses);
  keys["labels"] = std::move(labels);
  return keys;
}

Json pairsJson(const KeyOutputTable& outputs, const std::vector<KeyPairCount>& pairs,
               Count keystrokes) {
  Json list = Json::array();
  for (const KeyPairCount& p : pairs) {
    Json pair = Json::object();
    pair["keys"] = Json::array({keyName(p.first), keyName(p.second)});
    pair["bytes"] = Json::array({int{p.first}, int{p.second}});
    pair["labels"] = Json::array({keyLabel(outputs[p.first], OutputEncoding::utf8),
                                  keyLabel(outputs[p.second], OutputEncoding::utf8)});
    pair["times"] = p.times;
    pair["strokes"] = p.strokes;
    pair["share"] = pairShare(p, keystrokes);
    pair["viaShift"] = p.viaShift;
    list.push_back(std::move(pair));
  }
  return list;
}

// The pair and triple figures: each count with its share (of pairs, of
// triples; effort per stroke; distance per same-finger pair).
Json strokeFiguresJson(const StrokeFigures& f) {
  Json json = Json::object();
  json["strokes"] = f.strokes;
  json["pairs"] = f.pairs;
  json["triples"] = f.triples;
  auto pair = [&](const char* name, Count n) {
    json[name] = {{"count", n}, {"share", shareOf(static_cast<double>(n), f.pairs)}};
  };
  auto triple = [&](const char* name, Count n) {
    json[name] = {{"count", n}, {"share", shareOf(static_cast<double>(n), f.triples)}};
  };
  pair("alternation", f.alternation);
  pair("rollIn", f.rollIn);
  pair("rollOut", f.rollOut);
  pair("sameFinger", f.sameFinger);
  pair("scissor", f.scissor);
  pair("lateralStretch", f.lateral);
  json["sameFingerDistance"] = {{"sum", f.sameFingerDistance},
                                {"perPair", shareOf(f.sameFingerDistance, f.sameFinger)}};
  triple("redirect", f.redirect);
  triple("badRedirect", f.badRedirect);
  triple("oneHandRoll", f.oneHandRoll);
  triple("skipgram", f.skipgram);
  json["effort"] = {{"sum", f.effort}, {"perStroke", shareOf(f.effort, f.strokes)}};
  return json;
}

}  // namespace

bool jsonAvailable() {
  return true;
}

std::string jsonHead(const JsonSample& sample, const TextCounts& text,
                     const CombinationCounts& combinations) {
  Json sampleJson = Json::object();
  withExactBytes(sampleJson, "path", sample.path);
  sampleJson["bytes"] = sample.bytes;
  sampleJson["encoding"] = sample.encoding;
  Json head{{"format", kJsonFormat},
            {"sample", sampleJson},
            {"text", textJson(text)},
            {"combinations", combinationsJson(combinations)},
            {"names", namesJson()}};
  if (!sample.boardName.empty()) {
    Json board = Json::object();
    withExactBytes(board, "name", sample.boardName);
    withExactBytes(board, "file", sample.boardFile);
    head["board"] = std::move(board);
  }
  // The layouts follow as they are evaluated: the head is the document up to
  // the opening of their array.
  std::string piece = dumped(head);
  piece.pop_back();
  return piece + ",\"layouts\":[";
}

std::string jsonLayout(const LayoutFindings& findings, bool first) {
  const LayoutRecord& layout = *findings.layout;
  Json json = Json::object();
  withExactBytes(json, "fileName", layout.fileName);
  json["name"] = displayName(layout.fileName);
  json["setType"] = layout.setType;
  json["fingering"] = layout.fingering;
  json["untreatedCount"] = findings.untreated;
  json["counts"] = countsJson(findings.counts);
  json["figures"] = figuresJson(findings.figures);
  const KeyOutputTable outputs = keyOutputTable(layout);
  json["keys"] = keysJson(outputs, findings.keyUse);
  Json pairs = Json::object();
  pairs["sameFinger"] =
      pairsJson(outputs, findings.worstPairs.sameFinger, findings.figures.keystrokes);
  pairs["sameKey"] = pairsJson(outputs, findings.worstPairs.sameKey, findings.figures.keystrokes);
  json["worstPairs"] = std::move(pairs);
  if (findings.hasStrokes) json["strokeFigures"] = strokeFiguresJson(findings.strokes);
  Json untreated = Json::array();
  for (const UntreatedCharacter& c : findings.untreatedCharacters) {
    untreated.push_back(Json{{"character", utf8(c.text)}, {"count", c.count}});
  }
  json["untreatedCharacters"] = std::move(untreated);
  std::string piece = first ? "\n" : ",\n";
  piece += dumped(json);
  return piece;
}

std::string jsonTail(std::span<const ComparisonRow> rows, std::size_t baseline) {
  if (baseline >= rows.size()) return "\n]}\n";
  Json tail = Json::object();
  withExactBytes(tail, "baseline", rows[baseline].name);
  Json differences = Json::array();
  for (const ComparisonRow& row : rows) {
    Json difference = Json::object();
    for (const ComparisonColumn& column : comparisonColumns()) {
      if (column.value == nullptr) continue;
      const double d = figureDifference(column, row, rows[baseline]);
      if (std::isnan(d)) {
        difference[column.jsonName] = nullptr;
      } else {
        difference[column.jsonName] = d;
      }
    }
    differences.push_back(std::move(difference));
  }
  tail["differences"] = std::move(differences);
  // The tail continues the document's top object after the layouts' array.
  std::string piece = dumped(tail);
  piece.front() = ',';
  return "\n]" + piece + "\n";
}

}  // namespace kbeval
