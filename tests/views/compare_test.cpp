// --compare, run on a small case worked out by hand.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "in_process.h"
#include "small_case.h"
#include "temp_directory.h"

namespace kbeval {
namespace {

using testing::Outcome;
using testing::TempDirectory;
using testing::writeSmallCase;

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> all;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) all.push_back(line);
  return all;
}

// The small case (small_case.h): 2 syllables, 1 digit, 1 sign, 1 space, 1
// line feed, 6 characters, typed
//   b2: r k r k r SPACE (no 7) ? LF   8 keys + a left Shift for ?     = 9
//   a3: k f k f x SPACE 6 Z LF        9 keys + a right Shift for Z   = 10
// b2: hands (Shift and Enter counted) L r r r + Shift = 4, R k k ? LF = 4;
//   character-key rows: r r r top, k k home, ? bottom: home 2 of 6;
//   ? then LF on the right little finger: 1 same-finger stroke;
//   left runs 1 1 1 1, right runs 1 1 3: none of 4 or more;
//   fingers: L2 r r r = 3 of L5 1 (Shift), L2 3, R3 2, R5 2 (?, LF) = 8.
// a3 (Gong3: x on the middle finger, 6 on the left index): L f f x 6 Z = 5,
//   R k k + Shift + LF = 4; rows k k f f home, x Z bottom, 6 number: 4 and 1
//   of 7; LF after the right Shift held for Z on the right little finger: 1
//   same-finger stroke, with Shift; left runs 1 2 2, right 1 1 1 2; fingers:
//   L4 Z, L3 x, L2 f f 6 = 3, R3 k k, R5 Shift LF = 9 in all.

const std::vector<std::string> kTable = {
    "Layout  Set  Fingering  Keys/syl  Keys/100  Shift%  Left/Right  Home%  NumRow%  SameFgr%  "
    "SameKey%  Run4+%   Busiest  Untreated",
    "------  ---  ---------  --------  --------  ------  ----------  -----  -------  --------  "
    "--------  ------  --------  ---------",
    "b2        2  Qwerty         4.50     150.0   11.11   50.0/50.0   33.3      0.0     11.11  "
    "    0.00    0.00  L2 37.5%          1",
    "a3        3  Gong3          5.00     166.7   10.00   55.6/44.4   57.1     14.3     10.00  "
    "    0.00    0.00  L2 33.3%          0",
};
constexpr std::size_t kLegendLines = 14;

// a3 minus the baseline b2 (the first layout), from the counts above:
//   Keys/syl 10/2 - 9/2 = +0.50; Keys/100 1000/6 - 900/6 = +16.7;
//   Shift% 1/10 - 1/9 = -1.11; Left 5/9 - 4/8 = +5.6; Home% 4/7 - 2/6 = +23.8;
//   NumRow% 1/7 - 0 = +14.3; SameFgr% 1/10 - 1/9 = -1.11; SameKey% and
//   Run4+% 0.00; Busiest (L2 both) 3/9 - 3/8 = -4.2; Untreated 0 - 1 = -1.
const std::vector<std::string> kDifferences = {
    "",
    "Difference from the baseline b2 (the layout's figure minus the baseline's)",
    "Layout  Keys/syl  Keys/100  Shift%  Left/Right  Home%  NumRow%  SameFgr%  SameKey%  Run4+%  "
    "Busiest  Untreated",
    "------  --------  --------  ------  ----------  -----  -------  --------  --------  ------  "
    "-------  ---------",
    "a3         +0.50     +16.7   -1.11        +5.6  +23.8    +14.3     -1.11      0.00    0.00  "
    "   -4.2         -1",
    "Left/Right: the left hand's share; Busiest: its finger's share, whichever finger",
};
// b2 has no keys for "7", which the text holds once; a3 types everything.
const std::vector<std::string> kUntreated = {
    "",
    "Untreated characters: what each layout has no keys for (the first 20, with how often the "
    "text holds them)",
    "  b2: 7 1",
};

TEST(Compare, TableAndPairsWorkedByHand) {
  TempDirectory dir;
  writeSmallCase(dir);
  const Outcome outcome = testing::runKbeval(dir, {"sample.txt", "--compare"});
  EXPECT_EQ(outcome.exitStatus, 0);
  EXPECT_EQ(outcome.errors, "");
  const std::vector<std::string> out = lines(outcome.output);
  ASSERT_EQ(out.size(),
            2 + kTable.size() + 1 + kLegendLines + kDifferences.size() + kUntreated.size() + 11)
      << outcome.output;
  EXPECT_EQ(out[0], "Reading 9 bytes");
  EXPECT_EQ(out[1], "");
  for (std::size_t i = 0; i < kTable.size(); ++i) EXPECT_EQ(out[2 + i], kTable[i]);
  EXPECT_EQ(out[2 + kTable.size()], "");
  const std::size_t differencesAt = 2 + kTable.size() + 1 + kLegendLines;
  const std::vector<std::string> differences(
      out.begin() + static_cast<std::ptrdiff_t>(differencesAt),
      out.begin() + static_cast<std::ptrdiff_t>(differencesAt + kDifferences.size()));
  EXPECT_EQ(differences, kDifferences);
  const std::vector<std::string> untreated(
      out.begin() + static_cast<std::ptrdiff_t>(differencesAt + kDifferences.size()),
      out.end() - 11);
  EXPECT_EQ(untreated, kUntreated);
  const std::vector<std::string> pairs(out.end() - 11, out.end());
  const std::vector<std::string> expected = {
      "",
      "Most frequent same-finger pairs of different keys and same-key repeats (top 3):",
      "strokes, % of keystrokes, the keys in typing order and what each types",
      "",
      "b2",
      "  same finger         1  11.11%  ? \xA1\xE6 Enter",  // the arrow in CP949
      "  same key      none",
      "",
      "a3",
      "  same finger         1  10.00%  Z ? \xA1\xE6 Enter  (with Shift)",
      "  same key      none",
  };
  EXPECT_EQ(pairs, expected);
}

// --baseline names the layout the others are set against; one that names no
// evaluated layout fails the run without writing anything, on any output.
TEST(Compare, BaselineByName) {
  TempDirectory dir;
  writeSmallCase(dir);
  Outcome outcome = testing::runKbeval(dir, {"sample.txt", "--compare", "--baseline=a3"});
  EXPECT_EQ(outcome.exitStatus, 0);
  EXPECT_NE(outcome.output.find("\nDifference from the baseline a3 "), std::string::npos);
  EXPECT_NE(outcome.output.find("\nb2         -0.50     -16.7   +1.11        -5.6  -23.8    -14.3"),
            std::string::npos)
      << outcome.output;
  outcome = testing::runKbeval(dir, {"sample.txt", "--compare", "--baseline=zz", "--html=p.html"});
  EXPECT_EQ(outcome.exitStatus, 1);
  EXPECT_EQ(outcome.errors, "kbeval: --baseline=zz: no layout of this name was evaluated\n");
  EXPECT_FALSE(std::filesystem::exists(dir / "p.html"));
  // The name is checked before the sample is read: no report, and no JSON
  // left unfinished on standard output.
  outcome = testing::runKbeval(dir, {"sample.txt", "--json=-", "--baseline=zz"});
  EXPECT_EQ(outcome.exitStatus, 1);
  EXPECT_EQ(outcome.output, "");
}

// --compare compares every layout unless /2 or /3 chooses, and prints the
// text reports only when /i or /j asks; never a keystroke report.
TEST(Compare, SwitchesChooseLayoutsAndTextReports) {
  TempDirectory dir;
  writeSmallCase(dir);
  struct Case {
    std::vector<std::string> arguments;
    bool jamoReport;
    bool twoSetRow;
    bool threeSetRow;
  };
  const Case cases[] = {
      {{"sample.txt", "--compare"}, false, true, true},
      {{"--compare", "sample.txt", "/j"}, true, true, true},
      {{"sample.txt", "/3", "--compare"}, false, false, true},
      {{"sample.txt", "/2", "/j", "--compare"}, true, true, false},
      {{"sample.txt", "/x", "--compare"}, false, true, true},
  };
  for (const Case& c : cases) {
    const Outcome outcome = testing::runKbeval(dir, c.arguments);
    const std::string& text = outcome.output;
    const std::string which = c.arguments.back();
    EXPECT_EQ(outcome.exitStatus, 0) << which;
    EXPECT_EQ(text.find("*** Result of"), std::string::npos) << which;
    EXPECT_EQ(text.find("Hangeul Natnae:") != std::string::npos, c.jamoReport) << which;
    EXPECT_EQ(text.find("\n" + kTable[2] + "\n") != std::string::npos, c.twoSetRow) << which;
    EXPECT_EQ(text.find("\n" + kTable[3] + "\n") != std::string::npos, c.threeSetRow) << which;
    if (c.jamoReport) {
      EXPECT_LT(text.find("Hangeul Natnae:"), text.find(kTable[0])) << which;
    }
  }
}

}  // namespace
}  // namespace kbeval
