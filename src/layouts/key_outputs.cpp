#include "layouts/key_outputs.h"

#include <array>
#include <string>

namespace kbeval {

namespace {

template <std::size_t N>
void addTyped(const std::array<std::string, N>& keyStrings,
              const std::array<std::string_view, N>& names, KeyOutputKind kind, unsigned char key,
              std::vector<KeyOutput>& outputs) {
  for (std::size_t i = 0; i < N; ++i) {
    const std::string& keys = keyStrings[i];
    if (keys.size() == 1 && static_cast<unsigned char>(keys[0]) == key && !names[i].empty()) {
      outputs.push_back({kind, static_cast<int>(i), names[i]});
    }
  }
}

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

}  // namespace

std::vector<KeyOutput> keyOutputs(const LayoutRecord& layout, unsigned char key) {
  std::vector<KeyOutput> outputs;
  addTyped(layout.initialKeys, InitialNames, KeyOutputKind::initial, key, outputs);
  addTyped(layout.medialKeys, MedialNames, KeyOutputKind::medial, key, outputs);
  addTyped(layout.finalKeys, FinalNames, KeyOutputKind::final, key, outputs);
  for (int s = 0; s < kSignCount; ++s) {
    const std::string& keys = layout.signKeys[s];
    if (keys.size() == 1 && static_cast<unsigned char>(keys[0]) == key) {
      outputs.push_back({KeyOutputKind::sign, s, SignChars.substr(static_cast<std::size_t>(s), 1)});
    }
  }
  for (int row = 0; row < kSymbolCount; ++row) {
    const std::string_view keys = symbolKeys(layout, row);
    if (keys.size() == 1 && static_cast<unsigned char>(keys[0]) == key) {
      outputs.push_back({KeyOutputKind::symbol, row, SymbolNames[row]});
    }
  }
  return outputs;
}

}  // namespace kbeval
