#include "views/comparison_figures.h"

#include <gtest/gtest.h>

#include <string>

namespace kbeval {
namespace {

// The text 각각 # on a 2-set layout with ㄱ on r, ㅏ on k and "#" typed as
// s d f R, on the plain QWERTY fingering. Worked out by hand:
//   strokes  r k r r k r SPACE s d f R, and one right Shift for R: 12 keystrokes
//   hands    left r r r r s d f R = 8, right k k + the Shift = 3 (space apart)
//   rows     of the 10 character keys, k k s d f on the home row, none on the number row
//   fingers  left index r r r r f R = 6 of the eight fingers' 11 strokes
//   repeats  r r: same key; f R: same finger, different keys
//   runs     left 1, 2, 1, 4; right 1, 1, 1 (space), 1 (Shift): 4 of 12 strokes in a run of 4
TEST(ComparisonFigures, HandWorkedSmallText) {
  KeyTable table{};
  setupKeyTable(2, "Qwerty", table);
  const KeystrokeCounts counts = evaluateKeyStream(table, "rkrrkr sdfR");
  TextCounts text;
  text.natnaeCount = 2;
  text.spaceCount = 1;
  text.signCount[*findSign('#')] = 1;

  const ComparisonFigures f = comparisonFigures(counts, 3, text);
  EXPECT_EQ(f.keystrokes, 12);
  EXPECT_EQ(f.syllables, 2);
  EXPECT_EQ(f.textCharacters, 4);
  EXPECT_DOUBLE_EQ(f.keystrokesPerSyllable, 6.0);
  EXPECT_DOUBLE_EQ(f.keystrokesPer100Characters, 300.0);
  EXPECT_DOUBLE_EQ(f.shiftShare, 100.0 / 12);
  EXPECT_DOUBLE_EQ(f.leftHandShare, 800.0 / 11);
  EXPECT_DOUBLE_EQ(f.rightHandShare, 300.0 / 11);
  EXPECT_DOUBLE_EQ(f.homeRowShare, 50.0);
  EXPECT_DOUBLE_EQ(f.numberRowShare, 0.0);
  EXPECT_DOUBLE_EQ(f.sameFingerShare, 100.0 / 12);
  EXPECT_DOUBLE_EQ(f.sameKeyShare, 100.0 / 12);
  EXPECT_DOUBLE_EQ(f.longOneHandRunShare, 400.0 / 12);
  EXPECT_EQ(fingerName(f.busiestFinger), "L2");
  EXPECT_DOUBLE_EQ(f.busiestFingerLoad, 600.0 / 11);
  EXPECT_EQ(f.untreated, 3);
}

// 250 strokes of q in one left-hand run, then j: the run is longer than the
// histogram holds, and still all of its 250 strokes are in a run of 4 or more.
TEST(ComparisonFigures, RunsLongerThanTheHistogramCountWhole) {
  KeyTable table{};
  setupKeyTable(2, "Qwerty", table);
  const KeystrokeCounts counts = evaluateKeyStream(table, std::string(250, 'q') + "j");
  const ComparisonFigures f = comparisonFigures(counts, 0, TextCounts{});
  EXPECT_EQ(f.keystrokes, 251);
  EXPECT_DOUBLE_EQ(f.longOneHandRunShare, 25000.0 / 251);
}

TEST(ComparisonFigures, NothingTypedGivesZerosNotNaN) {
  const ComparisonFigures f = comparisonFigures(KeystrokeCounts{}, 0, TextCounts{});
  for (double share :
       {f.keystrokesPerSyllable, f.keystrokesPer100Characters, f.shiftShare, f.leftHandShare,
        f.rightHandShare, f.homeRowShare, f.numberRowShare, f.sameFingerShare, f.sameKeyShare,
        f.longOneHandRunShare, f.busiestFingerLoad}) {
    EXPECT_EQ(share, 0.0);
  }
}

}  // namespace
}  // namespace kbeval
