#include "comparison_table.h"

#include <cstdio>

namespace kbeval {

namespace {

template <typename... Args>
void appendFormatted(std::string& text, const char* format, Args... args) {
  char line[512];
  std::snprintf(line, sizeof line, format, args...);
  text += line;
}

}  // namespace

std::string comparisonTable(const std::vector<ComparisonRow>& rows) {
  std::string text;
  appendFormatted(text, "%-12s %8s %9s %6s %11s %6s %6s %6s %6s %6s %-11s %9s\n", "layout",
                  "keys/syl", "keys/100c", "shift%", "left/right%", "home%", "num%", "sfing%",
                  "skey%", "run4+%", "busiest", "untreated");
  for (const auto& [name, f] : rows) {
    char hands[32];
    std::snprintf(hands, sizeof hands, "%.1f/%.1f", f.leftHandShare, f.rightHandShare);
    char busiest[32];
    std::snprintf(busiest, sizeof busiest, "%s %.1f%%",
                  std::string(fingerName(f.busiestFinger)).c_str(), f.busiestFingerLoad);
    appendFormatted(text,
                    "%-12s %8.3f %9.1f %6.2f %11s %6.1f %6.1f %6.2f %6.2f %6.1f %-11s %9lld\n",
                    name.c_str(), f.keystrokesPerSyllable, f.keystrokesPer100Characters,
                    f.shiftShare, hands, f.homeRowShare, f.numberRowShare, f.sameFingerShare,
                    f.sameKeyShare, f.longOneHandRunShare, busiest, f.untreated);
  }
  text +=
      "keys/syl: keystrokes (Shift presses included) per Hangul syllable; keys/100c: per 100\n"
      "characters; shift%: Shift presses of keystrokes; left/right%: strokes by hand; home%,\n"
      "num%: character keys on the home and number rows; sfing%: one finger on two different\n"
      "keys in a row; skey%: a key pressed again; run4+%: strokes in one-hand runs of 4 or\n"
      "more; busiest: the finger with most strokes, its share of the eight fingers' strokes.\n";
  return text;
}

}  // namespace kbeval
