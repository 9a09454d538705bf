#include "keystrokes/keystroke_report.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace kbeval {
namespace {

std::string report(const std::string& stream, Count untreated = 0, int setType = 2,
                   const char* fingering = "Qwerty") {
  KeyTable table{};
  setupKeyTable(setType, fingering, table);
  const KeystrokeCounts counts = evaluateKeyStream(table, stream);
  char* data = nullptr;
  std::size_t size = 0;
  std::FILE* out = open_memstream(&data, &size);
  printKeystrokeReport(counts, untreated, out);
  std::fclose(out);
  std::string text(data, size);
  std::free(data);
  return text;
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(KeystrokeReport, ThreeRepeatsOfOneKeyWholeReport) {
  const std::string expected =
      "General-key stokes(L/R): 3 (3/0) (100.0/0.0%)\n"
      "Shift-key strokes(L/R): 0 (0/0) (0.0/0.0%)\n"
      "Counted enter strokes : 0\n"
      "Total keystrokes except space (L/R): 3 (3/0) (100.0/0.0%)\n"
      " L: 2:0:0.0% 3:0:0.0% 4:0:0.0% 5:3:100.0% \n"
      " R: 2:0:0.0% 3:0:0.0% 4:0:0.0% 5:0:0.0% \n"
      "\n"
      "Counted space strokes : 0\n"
      "Untreated characters: 4\n"
      "\n"
      "Continuous one-hand strokes frequency distribution\n"
      " L: 3:3(100.0%)\n"
      " R:\n"
      "\n"
      "Continuous same-key strokes (L/R) : 2 (2/0)\n"
      " -5: +2*1 = 2\n"
      "\n"
      "Total Continuous one-finger strokes : 2 (L:2 R:0)\n"
      " -5: +2*1 = 2 (100.0%)\n"
      "Continuous same-finger strokes involved in L/R shifts : 0/0 \n"
      "\n"
      "Finger/Line frequency (Total key) :\n"
      "L5\tL4\tL3\tL2\tR2\tR3\tR4\tR5\n"
      "0\t0\t0\t0\t0\t0\t0\t0\t\n"
      "0\t0\t0\t0\t0\t0\t0\t0\t\n"
      "3\t0\t0\t0\t0\t0\t0\t0\t\n"
      "0\t0\t0\t0\t0\t0\t0\t0\t\n"
      "\n"
      "Finger/Line frequency (General key) :\n"
      "L5\tL4\tL3\tL2\tL2-1\tR2-1\tR2\tR3\tR4\tR5\n"
      "0\t0\t0\t0\t0\t0\t0\t0\t0\t0\n"
      "0\t0\t0\t0\t0\t0\t0\t0\t0\t0\n"
      "3\t0\t0\t0\t0\t0\t0\t0\t0\t0\n"
      "0\t0\t0\t0\t0\t0\t0\t0\t0\t0\n";
  EXPECT_EQ(report("aaa", 4), expected);
}

TEST(KeystrokeReport, EmptyStreamPrintsZerosWithoutRunLines) {
  const std::string text = report("");
  EXPECT_TRUE(contains(text, "General-key stokes(L/R): 0 (0/0) (0.0/0.0%)\n"));
  EXPECT_TRUE(contains(text, "Total keystrokes except space (L/R): 0 (0/0) (0.0/0.0%)\n"));
  EXPECT_TRUE(contains(text, " L: 2:0:0.0% 3:0:0.0% 4:0:0.0% 5:0:0.0% \n"));
  EXPECT_TRUE(contains(text,
                       "distribution\n L:\n R:\n\nContinuous same-key strokes (L/R) : "
                       "0 (0/0)\n\nTotal Continuous one-finger strokes : 0 (L:0 R:0)\n"
                       "Continuous same-finger"));
  EXPECT_FALSE(contains(text, "nan"));
}

TEST(KeystrokeReport, ShiftedLettersOnBothHands) {
  const std::string ab = report("AB");
  EXPECT_TRUE(contains(ab, "Shift-key strokes(L/R): 1 (0/1) (0.0/100.0%)\n"));
  EXPECT_TRUE(contains(ab, "Total keystrokes except space (L/R): 3 (2/1) (66.7/33.3%)\n"));
  EXPECT_TRUE(contains(ab, "\n L: 2:2(100.0%)\n R: 1:1(100.0%)\n"));

  const std::string pq = report("PQ");
  EXPECT_TRUE(contains(pq, "Shift-key strokes(L/R): 2 (1/1) (50.0/50.0%)\n"));
  EXPECT_TRUE(contains(pq,
                       "Total Continuous one-finger strokes : 2 (L:1 R:1)\n"
                       " -5: 1*1 = 1 (50.0%)\n"
                       "  5: 1*1 = 1 (50.0%)\n"
                       "Continuous same-finger strokes involved in L/R shifts : 1/1 \n"));
}

TEST(KeystrokeReport, RightHandRunSharesCanPassAHundred) {
  const std::string text = report("Pq aaa\n");
  EXPECT_TRUE(contains(text, "\n L: 2:2(40.0%) 3:3(60.0%)\n R: 1:3(150.0%)\n"));
  EXPECT_TRUE(contains(text, "Counted enter strokes : 1\n"));
  EXPECT_TRUE(contains(text, "Counted space strokes : 1\n"));
}

TEST(KeystrokeReport, OnlyRunsUpToTwelveStrokesAndSixRepeatsArePrinted) {
  const std::string text = report(std::string(13, 'a') + "j" + std::string(8, 's') + "j" + "ff");
  // The 13-stroke run is in no term; the two-stroke "ff" run is.
  EXPECT_FALSE(contains(text, "13:13("));
  EXPECT_TRUE(contains(text, "\n L: 2:2(8.7%) 8:8(34.8%)\n"));
  // 's' repeats 7 times and gets no line; "ff" repeats once.
  EXPECT_TRUE(contains(text, " -2: 1*1 = 1\n"));
  EXPECT_FALSE(contains(text, " -4: "));
}

// Runs of more than six repeats count in the totals and the shares but in no
// term, and the sum after "=" leaves them out: on the left little finger a
// run of 7 repeats (a x 8) and one of 1 (aa); on the right little finger,
// ; and p in turn, runs of 6 and 7 repeats on different keys.
TEST(KeystrokeReport, RunsOfMoreThanSixRepeatsInTheDistributionLines) {
  const std::string text = report("aaaaaaaajaaj;p;p;p;gp;p;p;p;g");
  EXPECT_TRUE(contains(text,
                       "\nContinuous same-key strokes (L/R) : 8 (8/0)\n"
                       " -5: 1*1 = 1\n"
                       "\n"
                       "Total Continuous one-finger strokes : 21 (L:8 R:13)\n"
                       " -5: 1*1 = 1 (38.1%)\n"
                       "  5: +6*1 = 6 (61.9%)\n"
                       "Continuous same-finger strokes involved in L/R shifts : 0/0 \n"))
      << text;
}

TEST(KeystrokeReport, DistributionTermsJoinedByPlus) {
  // Runs of 1, 2 and 3 repeats on the left little finger: "aa;aaa;aaaa".
  const std::string text = report("aa;aaa;aaaa");
  EXPECT_TRUE(contains(text, " -5: 1*1+2*1+3*1 = 6\n"));
  // A first bucket of zero still starts the line with "+", and gaps print "+" too.
  const std::string gap = report("aaa;aaaaa");
  EXPECT_TRUE(contains(gap, " -5: +2*1+4*1 = 6\n"));
}

}  // namespace
}  // namespace kbeval
