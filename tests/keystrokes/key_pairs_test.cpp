#include "keystrokes/key_pairs.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "keystrokes/reference_evaluation.h"

namespace kbeval {
namespace {

struct Walked {
  KeyTable keys{};
  KeystrokeCounts counts;
  std::vector<Count> pairCounts;
};

Walked walk(const std::string& stream, int setType = 2, const char* fingering = "Qwerty") {
  Walked w;
  setupKeyTable(setType, fingering, w.keys);
  const EvaluationTables tables = makeEvaluationTables(w.keys);
  EvaluationState state;
  evaluateKeys(tables, state, reinterpret_cast<const unsigned char*>(stream.data()), stream.size());
  w.counts = keystrokeCounts(tables, state);
  w.pairCounts = state.pairCounts;
  return w;
}

KeyPairCount pair(char first, char second, Count times, Count strokes, bool viaShift = false) {
  return {static_cast<unsigned char>(first), static_cast<unsigned char>(second), times, strokes,
          viaShift};
}

// Worked out by hand on the plain QWERTY fingering:
//   frfrfr   f and r are both the left index finger: f>r three times, r>f twice
//   PQ PQ    P (right little, left Shift) then Q (left little, right Shift): the
//            left little finger leaves Shift for Q and the right one leaves P for
//            Shift, two strokes each time, both with a Shift
//   aP       the left little finger leaves a for the left Shift: one stroke
//   kk jj jj one repeat of k, two of j
//   cd       c and d are both the left middle finger: one stroke
// Spaces lie between the groups; the thumb repeats no finger.
TEST(KeyPairs, WorstPairsWorkedByHand) {
  const Walked w = walk("frfrfr PQ PQ aP kk jj jj cd");
  const WorstPairs all = worstPairs(w.keys, w.pairCounts, 100);
  const std::vector<KeyPairCount> sameFinger = {pair('P', 'Q', 2, 4, true), pair('f', 'r', 3, 3),
                                                pair('r', 'f', 2, 2), pair('a', 'P', 1, 1, true),
                                                pair('c', 'd', 1, 1)};
  EXPECT_EQ(all.sameFinger, sameFinger);
  EXPECT_EQ(all.sameKey, (std::vector<KeyPairCount>{pair('j', 'j', 2, 2), pair('k', 'k', 1, 1)}));

  const WorstPairs top = worstPairs(w.keys, w.pairCounts, 2);
  EXPECT_EQ(top.sameFinger, std::vector<KeyPairCount>(sameFinger.begin(), sameFinger.begin() + 2));
  EXPECT_EQ(top.sameKey.size(), 2u);

  const KeyUseTable use = keyUse(w.keys, w.pairCounts);
  EXPECT_EQ(use['P'].presses, 3);
  EXPECT_EQ(use['P'].shiftPresses, 3);
  EXPECT_EQ(use['Q'].presses, 2);
  EXPECT_EQ(use['Q'].shiftPresses, 2);
  EXPECT_EQ(use['f'].presses, 3);
  EXPECT_EQ(use['f'].shiftPresses, 0);
  EXPECT_EQ(use['j'].presses, 4);
  EXPECT_EQ(use[' '].presses, 7);
}

// Keystroke by keystroke, independently of the pair counts: a key is pressed
// wherever it stands in the stream except in a run of spaces or line feeds
// and as the marker; it needs a Shift press when it is shifted and the
// keystroke before was not shifted by the same Shift key.
KeyUseTable keyUseByHand(const KeyTable& keys, const std::string& stream) {
  KeyUseTable use{};
  int previousShiftHand = 0;
  for (std::size_t p = 0; p < stream.size(); ++p) {
    const auto key = static_cast<unsigned char>(stream[p]);
    if ((key == ' ' || key == '\n') && p > 0 && stream[p - 1] == stream[p]) continue;
    if (key == kUntreatedMarker) {
      previousShiftHand = 0;
      continue;
    }
    ++use[key].presses;
    const int hand = keys[key].finger < 0 ? -1 : 1;
    const int shiftHand = keys[key].shift != 0 ? -hand : 0;
    if (shiftHand != 0 && shiftHand != previousShiftHand) ++use[key].shiftPresses;
    previousShiftHand = shiftHand;
  }
  return use;
}

// On random streams full of Shift changes, repeats and markers: the per-key
// counts equal the keystroke-by-keystroke count, and keys and pairs account
// for exactly the report's totals (which the reference walk counts).
TEST(KeyPairs, AgreeWithTheReportsTotalsOnRandomStreams) {
  std::mt19937 random(404);
  const std::string dense = "aAqQpP;:zZ/?fFjJcCvV6^rRtT \n\n  \x18\x01\x80";
  for (int round = 0; round < 120; ++round) {
    std::string stream;
    const int length = 1 + static_cast<int>(random() % 150);
    for (int i = 0; i < length; ++i) {
      if (round % 5 == 4) {
        stream.push_back(static_cast<char>(1 + random() % 255));
      } else {
        stream.append(1 + random() % 3, dense[random() % dense.size()]);
      }
    }
    const char* fingering = round % 3 == 0 ? "Gong3" : round % 3 == 1 ? "Pyojun" : "Qwerty";
    const Walked w = walk(stream, 2 + round % 2, fingering);
    const KeystrokeCounts reference = reference::referenceEvaluate(w.keys, stream);
    ASSERT_EQ(w.counts, reference);

    const KeyUseTable use = keyUse(w.keys, w.pairCounts);
    const KeyUseTable byHand = keyUseByHand(w.keys, stream);
    Count presses = 0, shiftPresses = 0;
    for (int key = 0; key < 256; ++key) {
      ASSERT_EQ(use[key].presses, byHand[key].presses) << "key " << key << " round " << round;
      ASSERT_EQ(use[key].shiftPresses, byHand[key].shiftPresses) << "key " << key;
      presses += use[key].presses;
      shiftPresses += use[key].shiftPresses;
    }
    EXPECT_EQ(presses, reference.keyStrokes);
    EXPECT_EQ(shiftPresses, reference.shiftStrokes);

    const WorstPairs all = worstPairs(w.keys, w.pairCounts, kKeyPairs);
    Count sameKey = 0, sameFinger = 0;
    for (const KeyPairCount& p : all.sameKey) {
      EXPECT_EQ(p.first, p.second);
      sameKey += p.strokes;
    }
    for (const KeyPairCount& p : all.sameFinger) {
      EXPECT_NE(p.first, p.second);
      sameFinger += p.strokes;
    }
    EXPECT_EQ(sameKey, reference.sameKeyStrokes);
    EXPECT_EQ(sameFinger,
              reference.leftSameFinger + reference.rightSameFinger - reference.sameKeyStrokes);
  }
}

}  // namespace
}  // namespace kbeval
