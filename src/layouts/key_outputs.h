// What one key types by itself on a layout: every jamo, digit, sign or symbol
// whose key string is exactly that one key byte. (The quotes ‘ ’ and “ ” are
// always typed as the ' and " keys, whatever their key string says, so they
// belong to those keys when the layout types them at all.)
#pragma once

#include <array>
#include <string_view>
#include <vector>

#include "layouts/layout_record.h"

namespace kbeval {

enum class KeyOutputKind { initial, medial, final, sign, symbol };

struct KeyOutput {
  KeyOutputKind kind = KeyOutputKind::initial;
  int index = 0;          // Johab code, SignChars position or symbol row
  std::string_view text;  // KS X 1001 jamo or symbol, or the ASCII sign, from the tables
};

// In this order: initials, medials, finals, signs, symbols, each by index.
std::vector<KeyOutput> keyOutputs(const LayoutRecord& layout, unsigned char key);

// keyOutputs of every key byte at once, in one pass over the layout.
using KeyOutputTable = std::array<std::vector<KeyOutput>, 256>;
KeyOutputTable keyOutputTable(const LayoutRecord& layout);

}  // namespace kbeval
