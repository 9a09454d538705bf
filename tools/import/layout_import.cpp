#include "layout_import.h"

#include <cstdio>
#include <map>
#include <optional>
#include <tuple>

#include "jamo_unicode.h"
#include "keystrokes/key_table.h"
#include "layouts/layout_writer.h"

namespace kbeval::import {

namespace {

constexpr std::size_t kMaxKeyString = 4;  // the layout file keeps at most 4 bytes a key string

struct UsableKey {
  char ch;
  char32_t value;
};

// The slot of any conjoining jamo, old ones included, so that combination
// chains may pass through an old jamo on their way to a modern one.
std::optional<Slot> jamoSlot(char32_t c) {
  if ((c >= 0x1100 && c <= 0x115F) || (c >= 0xA960 && c <= 0xA97F)) return Slot::Initial;
  if ((c >= 0x1160 && c <= 0x11A7) || (c >= 0xD7B0 && c <= 0xD7C6)) return Slot::Medial;
  if ((c >= 0x11A8 && c <= 0x11FF) || (c >= 0xD7CB && c <= 0xD7FB)) return Slot::Final;
  return std::nullopt;
}

// What `value` stands for in `slot`. A 2-set keyboard types consonants as
// choseong and the input method turns one into a final after a vowel, so
// there a choseong also fills the final slot.
std::optional<char32_t> inSlot(char32_t value, Slot slot, bool twoSet) {
  const auto own = jamoSlot(value);
  if (own == slot) return value;
  if (twoSet && slot == Slot::Final && own == Slot::Initial) return choseongAsJongseong(value);
  return std::nullopt;
}

std::string hex(char32_t c) {
  char text[16];
  std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(c));
  return text;
}

std::string keyName(char32_t key) {
  if (key >= 0x21 && key <= 0x7E) return std::string("'") + static_cast<char>(key) + "'";
  char text[16];
  std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(key));
  return text;
}

// The QWERTY board's facts of the printable ASCII keys: Shift, hand and row.
const KeyTable& qwertyKeys() {
  static const KeyTable table = [] {
    KeyTable keys{};
    setupKeyTable(2, "Qwerty", keys);
    return keys;
  }();
  return table;
}

bool isShifted(char key) {
  return qwertyKeys()[static_cast<unsigned char>(key)].shift != 0;
}

bool isLeftHand(char key) {
  return qwertyKeys()[static_cast<unsigned char>(key)].finger < 0;
}

// 0 for a letter key, 1 for another key of the letter rows, 2 for the number row.
int keyReach(char key) {
  if ((key >= 'a' && key <= 'z') || (key >= 'A' && key <= 'Z')) return 0;
  return qwertyKeys()[static_cast<unsigned char>(key)].row == 5 ? 2 : 1;
}

// Orders candidate key strings: fewer keys, then fewer Shift strokes, then
// fewer same-hand neighbours (3-set layouts double a vowel on the other hand
// for compound vowels), then letter keys before sign and number-row keys (so
// that plain vowels stay on the main key), then byte order for a stable choice.
auto sequenceCost(const std::string& keys) {
  int shifts = 0;
  int sameHand = 0;
  int reach = 0;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    shifts += isShifted(keys[i]) ? 1 : 0;
    reach += keyReach(keys[i]);
    if (i > 0 && isLeftHand(keys[i]) == isLeftHand(keys[i - 1])) ++sameHand;
  }
  return std::make_tuple(keys.size(), shifts, sameHand, reach, keys);
}

void keepBetter(std::string& best, const std::string& candidate) {
  if (best.empty() || sequenceCost(candidate) < sequenceCost(best)) best = candidate;
}

// Every key sequence the keyboard's combination rules allow in `slot`, with
// the jamo it ends in; the best sequence per jamo is kept in `best`.
void searchSlot(const std::vector<UsableKey>& keys, const std::vector<CombinationRule>& rules,
                Slot slot, bool twoSet, std::map<char32_t, std::string>& best) {
  std::vector<CombinationRule> slotRules;
  for (const CombinationRule& rule : rules) {
    const auto first = inSlot(rule.first, slot, twoSet);
    const auto second = inSlot(rule.second, slot, twoSet);
    const auto result = inSlot(rule.result, slot, twoSet);
    if (first && second && result) slotRules.push_back({*first, *second, *result});
  }
  struct Chain {
    std::string keys;
    char32_t jamo;
  };
  std::vector<Chain> frontier;
  for (const UsableKey& key : keys) {
    if (const auto jamo = inSlot(key.value, slot, twoSet)) frontier.push_back({{key.ch}, *jamo});
  }
  while (!frontier.empty()) {
    std::vector<Chain> next;
    for (const Chain& chain : frontier) {
      keepBetter(best[chain.jamo], chain.keys);
      if (chain.keys.size() == kMaxKeyString) continue;
      for (const UsableKey& key : keys) {
        const auto jamo = inSlot(key.value, slot, twoSet);
        if (!jamo) continue;
        for (const CombinationRule& rule : slotRules) {
          if (rule.first == chain.jamo && rule.second == *jamo) {
            next.push_back({chain.keys + key.ch, rule.result});
            break;  // the first matching rule is the one that applies
          }
        }
      }
    }
    frontier = std::move(next);
  }
}

// The conjoining jamo of a Johab code, for messages.
char32_t conjoiningJamo(Slot slot, int code) {
  for (char32_t c = 0x1100; c <= 0x11C2; ++c) {
    const auto jamo = johabJamo(c);
    if (jamo && jamo->slot == slot && jamo->code == code) return c;
  }
  return 0;
}

template <std::size_t N>
void fillSlot(const std::map<char32_t, std::string>& best, Slot slot,
              const std::array<std::string_view, N>& names, std::array<std::string, N>& keys,
              std::vector<std::string>& problems) {
  for (const auto& [jamo, sequence] : best) {
    const auto johab = johabJamo(jamo);
    if (johab && johab->slot == slot) keys[johab->code] = sequence;
  }
  static constexpr const char* SlotNames[] = {"initial", "medial", "final"};
  for (std::size_t code = 0; code < N; ++code) {
    if (!names[code].empty() && keys[code].empty()) {
      const char32_t jamo = conjoiningJamo(slot, static_cast<int>(code));
      problems.push_back(std::string("no sequence of up to 4 keys types the ") +
                         SlotNames[static_cast<int>(slot)] + " " + hex(jamo));
    }
  }
}

// What the key `ch` types: its mapped value, or its own character when the
// keyboard leaves it unmapped.
char32_t typedBy(char ch, const HangulKeyboard& keyboard) {
  for (const KeyMapping& mapping : keyboard.keys) {
    if (mapping.key == static_cast<unsigned char>(ch)) return mapping.value;
  }
  return static_cast<unsigned char>(ch);
}

// The key that types `c`: fewer Shift strokes first, then the key's own
// character, then byte order. Empty when no key types it.
std::string keyTyping(char32_t c, const HangulKeyboard& keyboard) {
  std::string best;
  auto cost = [c](char ch) { return std::make_tuple(isShifted(ch), char32_t(ch) != c, ch); };
  for (int ch = 0x21; ch <= 0x7E; ++ch) {
    if (typedBy(static_cast<char>(ch), keyboard) != c) continue;
    if (best.empty() || cost(static_cast<char>(ch)) < cost(best[0]))
      best = std::string(1, char(ch));
  }
  return best;
}

}  // namespace

ImportResult importKeyboard(const HangulKeyboard& keyboard) {
  ImportResult result;
  ImportedLayout& layout = result.layout;
  if (keyboard.type == "jamo" || keyboard.type == "jamo-yet") {
    layout.setType = 2;
  } else if (keyboard.type == "jaso" || keyboard.type == "jaso-yet") {
    layout.setType = 3;
  } else if (keyboard.type == "romaja") {
    result.refusal =
        "romaja keyboards spell jamo from Latin letters by context, not by a fixed key map";
    return result;
  } else {
    result.refusal = "unknown keyboard type \"" + keyboard.type + "\"";
    return result;
  }
  const bool twoSet = layout.setType == 2;

  std::vector<UsableKey> keys;
  for (const KeyMapping& mapping : keyboard.keys) {
    const std::string what = keyName(mapping.key) + " -> " + hex(mapping.value);
    if (mapping.key < 0x21 || mapping.key > 0x7E) {
      layout.problems.push_back("key " + what + ": not a printable ASCII key");
    } else if (johabJamo(mapping.value)) {
      keys.push_back({static_cast<char>(mapping.key), mapping.value});
    } else if (isConjoiningJamo(mapping.value)) {
      layout.problems.push_back("key " + what + ": old Hangul jamo, not in KS X 1001");
    } else if (!findSign(mapping.value < 0x80 ? static_cast<unsigned char>(mapping.value) : 0) &&
               !symbolRow(mapping.value)) {
      layout.problems.push_back("key " + what + ": no digit, sign or symbol of the layout file");
    }
  }
  for (const KeyMapping& mapping : keyboard.otherMapKeys) {
    layout.problems.push_back("key " + keyName(mapping.key) + " -> " + hex(mapping.value) +
                              ": only map 0 is read");
  }

  for (Slot slot : {Slot::Initial, Slot::Medial, Slot::Final}) {
    std::map<char32_t, std::string> best;
    searchSlot(keys, keyboard.rules, slot, twoSet, best);
    switch (slot) {
      case Slot::Initial:
        fillSlot(best, slot, InitialNames, layout.initialKeys, layout.problems);
        break;
      case Slot::Medial:
        fillSlot(best, slot, MedialNames, layout.medialKeys, layout.problems);
        break;
      case Slot::Final:
        fillSlot(best, slot, FinalNames, layout.finalKeys, layout.problems);
        break;
    }
  }

  for (int sign = 0; sign < kSignCount; ++sign) {
    layout.signKeys[sign] = keyTyping(static_cast<unsigned char>(SignChars[sign]), keyboard);
    if (layout.signKeys[sign].empty()) layout.untypedSigns += SignChars[sign];
  }
  for (int row = 0; row < kSymbolCount; ++row) {
    if (SymbolUnicode[row] != 0) layout.symbolKeys[row] = keyTyping(SymbolUnicode[row], keyboard);
  }
  // The typographic quotes are typed as the ASCII quote where no key has them.
  constexpr int kApostrophe = 34, kDoubleQuote = 35;
  for (int row : {4, 5}) {
    if (layout.symbolKeys[row].empty()) layout.symbolKeys[row] = layout.signKeys[kApostrophe];
  }
  for (int row : {6, 7}) {
    if (layout.symbolKeys[row].empty()) layout.symbolKeys[row] = layout.signKeys[kDoubleQuote];
  }
  return result;
}

std::string formatLayoutFile(const ImportedLayout& layout, const LayoutFileOptions& options) {
  std::vector<std::string> comments = {"Generated by kbeval-import from " + options.source};
  if (!layout.untypedSigns.empty()) comments.push_back("No key types: " + layout.untypedSigns);
  LayoutRecord record = layout;
  if (!options.fingering.empty()) record.fingering = options.fingering;
  return layoutFileText(record, comments, {options.encoding, true});
}

}  // namespace kbeval::import
