// Reads the JSON document of a run back into the structs it was written
// from, by the field names docs/json.md gives, so that a test can demand that
// what was written reads back equal. A field the writer left out makes the
// reading throw.
#pragma once

#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>

#include "analysis/text_counts.h"
#include "keystrokes/key_pairs.h"
#include "views/comparison_figures.h"

namespace kbeval {

NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(TextCounts, natnaeCount, initialCount, medialCount, finalCount,
                                   signCount, symbolCount, digitCount, enterCount, spaceCount)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(CombinationCounts, cheotGaundeIeum, gaundeGgeutFreq,
                                   ggeutCheotIeum, dahKeyFreq, dahHolKeyFreq, holDahKeyFreq)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(KeystrokeCounts, keyStrokes, leftKeys, rightKeys, shiftStrokes,
                                   leftShifts, rightShifts, enterStrokes, spaceStrokes, fingerCount,
                                   totalKeyTable, generalKeyTable, sameFingerCount, leftSameFinger,
                                   rightSameFinger, leftShiftSameFinger, rightShiftSameFinger,
                                   sameKeyStrokes, leftSameKey, rightSameKey, oneHandRuns,
                                   sameFingerRuns, sameKeyRuns)

namespace testing {

using Json = nlohmann::json;

// A string field, exactly: from its "<field>Bytes" hexadecimal twin when the
// document has one (the string was not valid UTF-8), else the string itself.
inline std::string exactString(const Json& object, const std::string& field) {
  const auto bytes = object.find(field + "Bytes");
  if (bytes == object.end()) return object.at(field).get<std::string>();
  const std::string hex = bytes->get<std::string>();
  // Strictly two lowercase hexadecimal digits per byte: no padding, no sign,
  // no odd digit left over.
  auto digit = [&](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    throw std::runtime_error(field + "Bytes is not lowercase hexadecimal: '" + hex + "'");
  };
  if (hex.size() % 2 != 0) {
    throw std::runtime_error(field + "Bytes has an odd number of digits: '" + hex + "'");
  }
  std::string text;
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    text.push_back(static_cast<char>(digit(hex[i]) * 16 + digit(hex[i + 1])));
  }
  return text;
}

// The busiest finger is written by name.
inline ComparisonFigures figuresFromJson(const Json& j) {
  ComparisonFigures f;
  for (auto [field, value] : {std::pair{"keystrokes", &f.keystrokes},
                              {"syllables", &f.syllables},
                              {"textCharacters", &f.textCharacters},
                              {"untreated", &f.untreated}}) {
    j.at(field).get_to(*value);
  }
  for (auto [field, value] : {std::pair{"keystrokesPerSyllable", &f.keystrokesPerSyllable},
                              {"keystrokesPer100Characters", &f.keystrokesPer100Characters},
                              {"shiftShare", &f.shiftShare},
                              {"leftHandShare", &f.leftHandShare},
                              {"rightHandShare", &f.rightHandShare},
                              {"homeRowShare", &f.homeRowShare},
                              {"numberRowShare", &f.numberRowShare},
                              {"sameFingerShare", &f.sameFingerShare},
                              {"sameKeyShare", &f.sameKeyShare},
                              {"longOneHandRunShare", &f.longOneHandRunShare},
                              {"busiestFingerLoad", &f.busiestFingerLoad}}) {
    j.at(field).get_to(*value);
  }
  for (int slot = 0; slot < kFingerSlots; ++slot) {
    if (slot != 4 && slot != 5 && fingerName(slot) == j.at("busiestFinger")) f.busiestFinger = slot;
  }
  return f;
}

inline KeyUseTable keyUseFromJson(const Json& keys) {
  KeyUseTable use{};
  const auto presses = keys.at("presses").get<std::array<Count, 256>>();
  const auto shiftPresses = keys.at("shiftPresses").get<std::array<Count, 256>>();
  for (std::size_t key = 0; key < use.size(); ++key) use[key] = {presses[key], shiftPresses[key]};
  return use;
}

inline std::vector<KeyPairCount> pairsFromJson(const Json& pairs) {
  std::vector<KeyPairCount> list;
  for (const Json& p : pairs) {
    list.push_back({p.at("bytes").at(0).get<unsigned char>(),
                    p.at("bytes").at(1).get<unsigned char>(), p.at("times").get<Count>(),
                    p.at("strokes").get<Count>(), p.at("viaShift").get<bool>()});
  }
  return list;
}

}  // namespace testing
}  // namespace kbeval
