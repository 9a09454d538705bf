#include "keystrokes/keystroke_report.h"

namespace kbeval {

namespace {

constexpr int kLongestPrintedRun = 12;
constexpr int kMostPrintedRepeats = 6;
// Finger slots of the eight fingers, as the tables print them: L5..L2, R2..R5.
constexpr int kFingerSlotsPrinted[] = {0, 1, 2, 3, 6, 7, 8, 9};
constexpr int kRowsPrinted[] = {5, 4, 3, 2};

// The hand-split shares of the first lines are worked out in single precision.
float singleShare(Count part, Count whole) {
  if (whole == 0) return 0.0f;
  return static_cast<float>(part) * 100.0f / static_cast<float>(whole);
}

double share(double part, Count whole) {
  if (whole == 0) return 0.0;
  return part * 100.0 / static_cast<double>(whole);
}

int slotLabel(int slot) {
  return slot < 5 ? slot - 5 : slot - 4;
}

void printHandSplit(std::FILE* out, const char* format, Count total, Count left, Count right) {
  std::fprintf(out, format, total, left, right, singleShare(left, left + right),
               singleShare(right, left + right));
}

// Prints "1*a+2*b..." for buckets 1 to 6 and returns their weighted sum.
Count printDistributionTerms(std::FILE* out, const std::array<Count, kRunBuckets>& buckets) {
  Count weighted = 0;
  for (int i = 1; i <= kMostPrintedRepeats; ++i) {
    if (buckets[i] != 0) {
      std::fprintf(out, "%d*%lld", i, buckets[i]);
      weighted += i * buckets[i];
    }
    if (i < kMostPrintedRepeats && buckets[i + 1] != 0) std::fputs("+", out);
  }
  return weighted;
}

bool hasPrintedRuns(const std::array<Count, kRunBuckets>& buckets) {
  for (int i = 1; i <= kMostPrintedRepeats; ++i) {
    if (buckets[i] != 0) return true;
  }
  return false;
}

}  // namespace

void printKeystrokeReport(const KeystrokeCounts& c, Count untreatedCount, std::FILE* out) {
  const Count left = leftTotal(c);
  const Count right = rightTotal(c);
  printHandSplit(out, "General-key stokes(L/R): %lld (%lld/%lld) (%2.1f/%2.1f%%)\n", c.keyStrokes,
                 c.leftKeys, c.rightKeys);
  printHandSplit(out, "Shift-key strokes(L/R): %lld (%lld/%lld) (%2.1f/%2.1f%%)\n", c.shiftStrokes,
                 c.leftShifts, c.rightShifts);
  std::fprintf(out, "Counted enter strokes : %lld\n", c.enterStrokes);
  printHandSplit(out, "Total keystrokes except space (L/R): %lld (%lld/%lld) (%2.1f/%2.1f%%)\n",
                 left + right, left, right);

  Count fingerSum = 0;
  for (int slot : kFingerSlotsPrinted) fingerSum += c.fingerCount[slot];
  std::fputs(" L: ", out);
  for (int finger = 2; finger <= 5; ++finger) {
    const int slot = 5 - finger;
    std::fprintf(out, "%d:%lld:%2.1f%% ", finger, c.fingerCount[slot],
                 share(static_cast<double>(c.fingerCount[slot]), fingerSum));
  }
  std::fputs("\n R: ", out);
  for (int finger = 2; finger <= 5; ++finger) {
    const int slot = finger + 4;
    std::fprintf(out, "%d:%lld:%2.1f%% ", finger, c.fingerCount[slot],
                 share(static_cast<double>(c.fingerCount[slot]), fingerSum));
  }
  std::fputs("\n\n", out);
  std::fprintf(out, "Counted space strokes : %lld\n", c.spaceStrokes);
  std::fprintf(out, "Untreated characters: %lld\n", untreatedCount);
  std::fputs("\n", out);

  std::fputs("Continuous one-hand strokes frequency distribution", out);
  for (int hand = 0; hand < 2; ++hand) {
    std::fprintf(out, "\n %c:", hand == 0 ? 'L' : 'R');
    const Count total = hand == 0 ? left : right;
    for (int length = 1; length <= kLongestPrintedRun; ++length) {
      const Count runs = c.oneHandRuns[hand][length - 1];
      if (runs == 0) continue;
      std::fprintf(out, " %d:%lld(%2.1f%%)", length, length * runs,
                   total == 0
                       ? 0.0
                       : length * 100.0 * static_cast<double>(runs) / static_cast<double>(total));
    }
  }
  std::fputs("\n\n", out);

  std::fprintf(out, "Continuous same-key strokes (L/R) : %lld (%lld/%lld)\n", c.sameKeyStrokes,
               c.leftSameKey, c.rightSameKey);
  for (int slot = 0; slot < kFingerSlots; ++slot) {
    if (!hasPrintedRuns(c.sameKeyRuns[slot])) continue;
    std::fprintf(out, " %2d: ", slotLabel(slot));
    const Count weighted = printDistributionTerms(out, c.sameKeyRuns[slot]);
    std::fprintf(out, " = %lld\n", weighted);
  }
  std::fputs("\n", out);

  Count sameFingerSum = 0;
  for (Count n : c.sameFingerCount) sameFingerSum += n;
  std::fprintf(out, "Total Continuous one-finger strokes : %lld (L:%lld R:%lld)\n",
               c.leftSameFinger + c.rightSameFinger, c.leftSameFinger, c.rightSameFinger);
  for (int slot = 0; slot < kFingerSlots; ++slot) {
    if (!hasPrintedRuns(c.sameFingerRuns[slot])) continue;
    std::fprintf(out, " %2d: ", slotLabel(slot));
    const Count weighted = printDistributionTerms(out, c.sameFingerRuns[slot]);
    std::fprintf(out, " = %lld (%2.1f%%)\n", weighted,
                 share(static_cast<double>(c.sameFingerCount[slot]), sameFingerSum));
  }
  std::fprintf(out, "Continuous same-finger strokes involved in L/R shifts : %lld/%lld \n",
               c.leftShiftSameFinger, c.rightShiftSameFinger);
  std::fputs("\n", out);

  std::fputs("Finger/Line frequency (Total key) :\n", out);
  std::fputs("L5\tL4\tL3\tL2\tR2\tR3\tR4\tR5\n", out);
  for (int row : kRowsPrinted) {
    for (int slot : kFingerSlotsPrinted) std::fprintf(out, "%lld\t", c.totalKeyTable[slot][row]);
    std::fputs("\n", out);
  }
  std::fputs("\n", out);

  std::fputs("Finger/Line frequency (General key) :\n", out);
  std::fputs("L5\tL4\tL3\tL2\tL2-1\tR2-1\tR2\tR3\tR4\tR5\n", out);
  for (int row : kRowsPrinted) {
    for (int slot = 0; slot < kFingerSlots; ++slot) {
      std::fprintf(out, slot == 0 ? "%lld" : "\t%lld", c.generalKeyTable[slot][row]);
    }
    std::fputs("\n", out);
  }
}

}  // namespace kbeval
