// The figures by which layouts are compared, worked out once from the counts
// that the keystroke report prints, so that the comparison table, the JSON
// and the HTML report always agree. Shares are percentages (0 to 100), and 0
// where their denominator is 0.
#pragma once

#include <string_view>
#include <vector>

#include "analysis/text_counts.h"
#include "keystrokes/key_pairs.h"
#include "keystrokes/keystroke_counts.h"
#include "layouts/layout_record.h"

namespace kbeval {

struct ComparisonFigures {
  Count keystrokes = 0;      // key presses plus Shift presses (spaces, line feeds as counted)
  Count syllables = 0;       // Hangul syllables of the text
  Count textCharacters = 0;  // syllables, digits, signs, symbols, spaces and line feeds
  double keystrokesPerSyllable = 0;
  double keystrokesPer100Characters = 0;
  double shiftShare = 0;     // Shift presses, of keystrokes
  double leftHandShare = 0;  // of the keystrokes except space, by hand
  double rightHandShare = 0;
  double homeRowShare = 0;  // of character keys (General key table, rows 2-5)
  double numberRowShare = 0;
  double sameFingerShare = 0;      // same-finger strokes on different keys, of keystrokes
  double sameKeyShare = 0;         // same-key repeats, of keystrokes
  double longOneHandRunShare = 0;  // keystrokes made in one-hand runs of 4 or more
  int busiestFinger = 0;           // finger slot (0-3 left, 6-9 right)
  double busiestFingerLoad = 0;    // of the eight fingers' strokes
  Count untreated = 0;

  bool operator==(const ComparisonFigures&) const = default;
};

ComparisonFigures comparisonFigures(const KeystrokeCounts& counts, Count untreated,
                                    const TextCounts& text);

// A character of the text that a layout has no keys for, and how often the
// text holds it.
struct UntreatedCharacter {
  std::string_view text;  // the ASCII sign or the KS X 1001 symbol, from the tables
  Count count = 0;

  bool operator==(const UntreatedCharacter&) const = default;
};

// Untreated characters the views keep per layout.
inline constexpr std::size_t kUntreatedKept = 20;

// Every digit, sign and symbol of `text` that `layout` has no keys for, the
// most frequent first (ties in table order: signs, then symbols). Their
// counts add up to the layout's untreated count.
std::vector<UntreatedCharacter> untreatedCharacters(const LayoutRecord& layout,
                                                    const TextCounts& text);

// A worst pair's strokes as a share of the layout's `keystrokes` (the
// figures' keystrokes).
double pairShare(const KeyPairCount& pair, Count keystrokes);

// "L5".."L2", "R2".."R5" for the finger slots of the eight fingers; "thumb"
// for slots 4 and 5.
std::string_view fingerName(int slot);

}  // namespace kbeval
