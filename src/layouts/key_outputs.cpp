#include "layouts/key_outputs.h"

#include <string>

namespace kbeval {

namespace {

// The key that stands in the key stream for symbol row `row` when the layout
// has keys for it: ' or " for the four quotes, else the key string itself.
std::string_view symbolKeys(const LayoutRecord& layout, int row) {
  const std::string& keys = layout.symbolKeys[row];
  if (keys.empty()) return keys;
  const std::string_view name = SymbolNames[row];
  if (name == "\xA1\xAE" || name == "\xA1\xAF") return "'";
  if (name == "\xA1\xB0" || name == "\xA1\xB1") return "\"";
  return keys;
}

// Calls `found(key, output)` for every entry typed by one key, in the order
// keyOutputs promises.
template <typename Found>
void forEachOneKeyEntry(const LayoutRecord& layout, Found found) {
  const auto jamo = [&](const auto& keyStrings, const auto& names, KeyOutputKind kind) {
    for (std::size_t i = 0; i < keyStrings.size(); ++i) {
      if (keyStrings[i].size() == 1 && !names[i].empty()) {
        found(static_cast<unsigned char>(keyStrings[i][0]),
              KeyOutput{kind, static_cast<int>(i), names[i]});
      }
    }
  };
  jamo(layout.initialKeys, InitialNames, KeyOutputKind::initial);
  jamo(layout.medialKeys, MedialNames, KeyOutputKind::medial);
  jamo(layout.finalKeys, FinalNames, KeyOutputKind::final);
  for (int s = 0; s < kSignCount; ++s) {
    if (layout.signKeys[s].size() == 1) {
      found(static_cast<unsigned char>(layout.signKeys[s][0]),
            KeyOutput{KeyOutputKind::sign, s, SignChars.substr(static_cast<std::size_t>(s), 1)});
    }
  }
  for (int row = 0; row < kSymbolCount; ++row) {
    const std::string_view keys = symbolKeys(layout, row);
    if (keys.size() == 1) {
      found(static_cast<unsigned char>(keys[0]),
            KeyOutput{KeyOutputKind::symbol, row, SymbolNames[row]});
    }
  }
}

}  // namespace

std::vector<KeyOutput> keyOutputs(const LayoutRecord& layout, unsigned char key) {
  std::vector<KeyOutput> outputs;
  forEachOneKeyEntry(layout, [&](unsigned char k, const KeyOutput& output) {
    if (k == key) outputs.push_back(output);
  });
  return outputs;
}

KeyOutputTable keyOutputTable(const LayoutRecord& layout) {
  KeyOutputTable table;
  forEachOneKeyEntry(layout,
                     [&](unsigned char k, const KeyOutput& output) { table[k].push_back(output); });
  return table;
}

}  // namespace kbeval
