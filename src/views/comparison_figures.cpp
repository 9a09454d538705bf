#include "views/comparison_figures.h"

#include <algorithm>

namespace kbeval {

namespace {

constexpr int kEightFingers[] = {0, 1, 2, 3, 6, 7, 8, 9};
constexpr int kHomeRow = 3;
constexpr int kNumberRow = 5;
constexpr int kShortestLongRun = 4;

double percentOf(Count part, Count whole) {
  return whole == 0 ? 0.0 : static_cast<double>(part) * 100.0 / static_cast<double>(whole);
}

double ratio(Count part, Count whole) {
  return whole == 0 ? 0.0 : static_cast<double>(part) / static_cast<double>(whole);
}

}  // namespace

ComparisonFigures comparisonFigures(const KeystrokeCounts& c, Count untreated,
                                    const TextCounts& text) {
  ComparisonFigures f;
  f.keystrokes = c.keyStrokes + c.shiftStrokes;
  f.syllables = text.natnaeCount;
  f.textCharacters = text.natnaeCount + text.spaceCount + text.enterCount;
  for (Count n : text.signCount) f.textCharacters += n;
  for (Count n : text.symbolCount) f.textCharacters += n;
  f.keystrokesPerSyllable = ratio(f.keystrokes, f.syllables);
  f.keystrokesPer100Characters = 100.0 * ratio(f.keystrokes, f.textCharacters);
  f.shiftShare = percentOf(c.shiftStrokes, f.keystrokes);

  const Count left = leftTotal(c);
  const Count right = rightTotal(c);
  f.leftHandShare = percentOf(left, left + right);
  f.rightHandShare = percentOf(right, left + right);

  Count characterKeys = 0, homeRow = 0, numberRow = 0;
  for (const auto& rows : c.generalKeyTable) {
    for (int row = 2; row <= kNumberRow; ++row) characterKeys += rows[row];
    homeRow += rows[kHomeRow];
    numberRow += rows[kNumberRow];
  }
  f.homeRowShare = percentOf(homeRow, characterKeys);
  f.numberRowShare = percentOf(numberRow, characterKeys);

  // A same-key stroke is also a same-finger stroke; the figure counts the rest.
  f.sameFingerShare =
      percentOf(c.leftSameFinger + c.rightSameFinger - c.sameKeyStrokes, f.keystrokes);
  f.sameKeyShare = percentOf(c.sameKeyStrokes, f.keystrokes);

  // Every keystroke joins its hand's run and every Shift press the other
  // hand's, so the runs hold exactly the keystrokes. The long runs are what
  // the short ones leave: runs longer than the histogram share its last
  // bucket, so counting the long ones from it would come out short.
  Count shortRunStrokes = 0;
  for (const auto& runs : c.oneHandRuns) {
    for (int length = 1; length < kShortestLongRun; ++length) {
      shortRunStrokes += length * runs[length - 1];
    }
  }
  f.longOneHandRunShare = percentOf(f.keystrokes - shortRunStrokes, f.keystrokes);

  Count fingerStrokes = 0;
  f.busiestFinger = kEightFingers[0];
  for (int slot : kEightFingers) {
    fingerStrokes += c.fingerCount[slot];
    if (c.fingerCount[slot] > c.fingerCount[f.busiestFinger]) f.busiestFinger = slot;
  }
  f.busiestFingerLoad = percentOf(c.fingerCount[f.busiestFinger], fingerStrokes);
  f.untreated = untreated;
  return f;
}

std::vector<UntreatedCharacter> untreatedCharacters(const LayoutRecord& layout,
                                                    const TextCounts& text) {
  std::vector<UntreatedCharacter> found;
  for (int s = 0; s < kSignCount; ++s) {
    if (text.signCount[s] > 0 && layout.signKeys[s].empty()) {
      found.push_back({SignChars.substr(static_cast<std::size_t>(s), 1), text.signCount[s]});
    }
  }
  for (int row = 0; row < kSymbolCount; ++row) {
    if (text.symbolCount[row] > 0 && layout.symbolKeys[row].empty()) {
      found.push_back({SymbolNames[row], text.symbolCount[row]});
    }
  }
  std::stable_sort(found.begin(), found.end(),
                   [](const auto& a, const auto& b) { return a.count > b.count; });
  return found;
}

double pairShare(const KeyPairCount& pair, Count keystrokes) {
  return percentOf(pair.strokes, keystrokes);
}

std::string_view fingerName(int slot) {
  constexpr std::string_view kNames[kFingerSlots] = {"L5",    "L4", "L3", "L2", "thumb",
                                                     "thumb", "R2", "R3", "R4", "R5"};
  return slot >= 0 && slot < kFingerSlots ? kNames[slot] : "";
}

}  // namespace kbeval
