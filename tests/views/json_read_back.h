// Reads the JSON document of a run back into the structs it was written
// from, field by field as docs/json.md names them, so that a test can demand
// that what was written reads back equal.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "analysis/text_counts.h"
#include "keystrokes/key_pairs.h"
#include "views/comparison_figures.h"

namespace kbeval::testing {

using Json = nlohmann::json;

// A string field, exactly: from its "<field>Bytes" hexadecimal twin when the
// document has one (the string was not valid UTF-8), else the string itself.
inline std::string exactString(const Json& object, const std::string& field) {
  const auto bytes = object.find(field + "Bytes");
  if (bytes == object.end()) return object.at(field).get<std::string>();
  const std::string hex = bytes->get<std::string>();
  std::string text;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    text.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return text;
}

inline TextCounts textFromJson(const Json& j) {
  TextCounts t;
  j.at("natnaeCount").get_to(t.natnaeCount);
  j.at("initialCount").get_to(t.initialCount);
  j.at("medialCount").get_to(t.medialCount);
  j.at("finalCount").get_to(t.finalCount);
  j.at("signCount").get_to(t.signCount);
  j.at("symbolCount").get_to(t.symbolCount);
  j.at("digitCount").get_to(t.digitCount);
  j.at("enterCount").get_to(t.enterCount);
  j.at("spaceCount").get_to(t.spaceCount);
  return t;
}

inline CombinationCounts combinationsFromJson(const Json& j) {
  CombinationCounts c;
  j.at("cheotGaundeIeum").get_to(c.cheotGaundeIeum);
  j.at("gaundeGgeutFreq").get_to(c.gaundeGgeutFreq);
  j.at("ggeutCheotIeum").get_to(c.ggeutCheotIeum);
  j.at("dahKeyFreq").get_to(c.dahKeyFreq);
  j.at("dahHolKeyFreq").get_to(c.dahHolKeyFreq);
  j.at("holDahKeyFreq").get_to(c.holDahKeyFreq);
  return c;
}

inline KeystrokeCounts countsFromJson(const Json& j) {
  KeystrokeCounts c;
  j.at("keyStrokes").get_to(c.keyStrokes);
  j.at("leftKeys").get_to(c.leftKeys);
  j.at("rightKeys").get_to(c.rightKeys);
  j.at("shiftStrokes").get_to(c.shiftStrokes);
  j.at("leftShifts").get_to(c.leftShifts);
  j.at("rightShifts").get_to(c.rightShifts);
  j.at("enterStrokes").get_to(c.enterStrokes);
  j.at("spaceStrokes").get_to(c.spaceStrokes);
  j.at("fingerCount").get_to(c.fingerCount);
  j.at("totalKeyTable").get_to(c.totalKeyTable);
  j.at("generalKeyTable").get_to(c.generalKeyTable);
  j.at("sameFingerCount").get_to(c.sameFingerCount);
  j.at("leftSameFinger").get_to(c.leftSameFinger);
  j.at("rightSameFinger").get_to(c.rightSameFinger);
  j.at("leftShiftSameFinger").get_to(c.leftShiftSameFinger);
  j.at("rightShiftSameFinger").get_to(c.rightShiftSameFinger);
  j.at("sameKeyStrokes").get_to(c.sameKeyStrokes);
  j.at("leftSameKey").get_to(c.leftSameKey);
  j.at("rightSameKey").get_to(c.rightSameKey);
  j.at("oneHandRuns").get_to(c.oneHandRuns);
  j.at("sameFingerRuns").get_to(c.sameFingerRuns);
  j.at("sameKeyRuns").get_to(c.sameKeyRuns);
  return c;
}

inline ComparisonFigures figuresFromJson(const Json& j) {
  ComparisonFigures f;
  j.at("keystrokes").get_to(f.keystrokes);
  j.at("syllables").get_to(f.syllables);
  j.at("textCharacters").get_to(f.textCharacters);
  j.at("keystrokesPerSyllable").get_to(f.keystrokesPerSyllable);
  j.at("keystrokesPer100Characters").get_to(f.keystrokesPer100Characters);
  j.at("shiftShare").get_to(f.shiftShare);
  j.at("leftHandShare").get_to(f.leftHandShare);
  j.at("rightHandShare").get_to(f.rightHandShare);
  j.at("homeRowShare").get_to(f.homeRowShare);
  j.at("numberRowShare").get_to(f.numberRowShare);
  j.at("sameFingerShare").get_to(f.sameFingerShare);
  j.at("sameKeyShare").get_to(f.sameKeyShare);
  j.at("longOneHandRunShare").get_to(f.longOneHandRunShare);
  const std::string busiest = j.at("busiestFinger").get<std::string>();
  for (int slot = 0; slot < kFingerSlots; ++slot) {
    if (slot != 4 && slot != 5 && fingerName(slot) == busiest) f.busiestFinger = slot;
  }
  j.at("busiestFingerLoad").get_to(f.busiestFingerLoad);
  j.at("untreated").get_to(f.untreated);
  return f;
}

inline KeyUseTable keyUseFromJson(const Json& keys) {
  KeyUseTable use{};
  const Json& presses = keys.at("presses");
  const Json& shiftPresses = keys.at("shiftPresses");
  if (presses.size() != use.size() || shiftPresses.size() != use.size()) return {};
  for (std::size_t key = 0; key < use.size(); ++key) {
    presses[key].get_to(use[key].presses);
    shiftPresses[key].get_to(use[key].shiftPresses);
  }
  return use;
}

inline std::vector<KeyPairCount> pairsFromJson(const Json& pairs) {
  std::vector<KeyPairCount> list;
  for (const Json& p : pairs) {
    KeyPairCount pair;
    pair.first = p.at("bytes").at(0).get<unsigned char>();
    pair.second = p.at("bytes").at(1).get<unsigned char>();
    p.at("times").get_to(pair.times);
    p.at("strokes").get_to(pair.strokes);
    p.at("viaShift").get_to(pair.viaShift);
    list.push_back(pair);
  }
  return list;
}

}  // namespace kbeval::testing
