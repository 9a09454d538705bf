#include "views/key_labels.h"

#include <algorithm>
#include <cstdio>

namespace kbeval {

std::string keyName(unsigned char key) {
  if (key == ' ') return "Space";
  if (key == '\n') return "Enter";
  if (key > ' ' && key < 0x7F) return std::string(1, static_cast<char>(key));
  char hex[8];
  std::snprintf(hex, sizeof hex, "0x%02X", key);
  return hex;
}

std::string keyLabel(std::span<const KeyOutput> outputs, OutputEncoding encoding) {
  const auto typedAsInitial = [&outputs](std::string_view jamo) {
    return std::any_of(outputs.begin(), outputs.end(), [jamo](const KeyOutput& o) {
      return o.kind == KeyOutputKind::initial && o.text == jamo;
    });
  };
  std::string label;
  for (const KeyOutput& output : outputs) {
    const bool final = output.kind == KeyOutputKind::final;
    if (final && typedAsInitial(output.text)) continue;
    if (!label.empty()) label += ' ';
    label += displayText(output.text, encoding);
    if (final) label += "(final)";
  }
  return label;
}

std::string keyWithLabel(unsigned char key, std::span<const KeyOutput> outputs,
                         OutputEncoding encoding) {
  const std::string name = keyName(key);
  const std::string label = keyLabel(outputs, encoding);
  return label.empty() || label == name ? name : name + " " + label;
}

}  // namespace kbeval
