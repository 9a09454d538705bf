// Two sets of stroke figures compared figure by figure, so that a failure
// names the figure: the counts exactly, the two sums of real numbers within
// the tolerances given.
#pragma once

#include <gtest/gtest.h>

#include "keystrokes/stroke_figures.h"

namespace kbeval::testing {

inline void expectSameFigures(const StrokeFigures& got, const StrokeFigures& want,
                              double distanceTolerance, double effortTolerance) {
  EXPECT_EQ(got.strokes, want.strokes);
  EXPECT_EQ(got.pairs, want.pairs);
  EXPECT_EQ(got.triples, want.triples);
  EXPECT_EQ(got.alternation, want.alternation);
  EXPECT_EQ(got.rollIn, want.rollIn);
  EXPECT_EQ(got.rollOut, want.rollOut);
  EXPECT_EQ(got.sameFinger, want.sameFinger);
  EXPECT_EQ(got.scissor, want.scissor);
  EXPECT_EQ(got.lateral, want.lateral);
  EXPECT_NEAR(got.sameFingerDistance, want.sameFingerDistance, distanceTolerance);
  EXPECT_EQ(got.redirect, want.redirect);
  EXPECT_EQ(got.badRedirect, want.badRedirect);
  EXPECT_EQ(got.oneHandRoll, want.oneHandRoll);
  EXPECT_EQ(got.skipgram, want.skipgram);
  EXPECT_NEAR(got.effort, want.effort, effortTolerance);
}

}  // namespace kbeval::testing
