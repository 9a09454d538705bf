// Boards: the shipped ansi board against the key table it stands for, bad
// board files end to end, and the pair and triple figures of short key
// streams worked out by hand from their definitions.
#include "keystrokes/board.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "in_process.h"
#include "keystrokes/stroke_figures.h"
#include "keystrokes/stroke_walk.h"
#include "stroke_figures_match.h"
#include "temp_directory.h"

namespace kbeval {
namespace {

using testing::TempDirectory;

// The general-key table's column of a key: the outer columns of the little
// fingers share their home column's.
int columnSlot(const KeyInfo& key) {
  return std::clamp(key.column < 0 ? key.column + 5 : key.column + 4, 0, 9);
}

// The ansi file, read as any board file, gives every key the Shift state,
// finger, row and report column of the base fingering: the data and the
// coded model agree.
TEST(Board, AnsiFileIsTheBaseFingering) {
  Board file;
  std::string error;
  ASSERT_TRUE(parseBoard(shippedBoardText("ansi"), "ansi.board", file, error)) << error;
  ASSERT_FALSE(fingeringApplies(file));  // read as a file: its own fingers count
  LayoutRecord layout;
  layout.setType = 2;
  KeyTable fromFile{}, base{};
  setupBoardKeyTable(file, layout, fromFile);
  setupKeyTable(2, "Qwerty", base);
  for (int c = 0; c < 256; ++c) {
    EXPECT_EQ(fromFile[c].shift, base[c].shift) << "character " << c;
    EXPECT_EQ(fromFile[c].finger, base[c].finger) << "character " << c;
    EXPECT_EQ(fromFile[c].row, base[c].row) << "character " << c;
    EXPECT_EQ(columnSlot(fromFile[c]), columnSlot(base[c])) << "character " << c;
  }
  for (const char* name : {"ansi", "ortho", "split"}) {
    Board shipped;
    EXPECT_TRUE(loadBoard(name, shipped, error)) << error;
    EXPECT_EQ(shipped.name, name);
    for (int key = 0; key < kBoardKeys; ++key) {
      EXPECT_TRUE(shipped.keys[key].present) << name << " " << boardKeyName(key);
    }
  }
}

// Every malformation of a board file is one line on standard error naming
// the file and line, exit status 2, nothing on standard output.
TEST(BadBoardFile, EveryMalformationIsOneLineNamingFileAndLine) {
  const std::string good = std::string(shippedBoardText("ortho"));
  struct Case {
    const char* what;
    std::string text;
    std::string message;  // after "kbeval: --board: DIR/b.board:"
  };
  const std::string longLine(10 << 20, 'x');
  std::string noQ = good;
  noQ.erase(noQ.find("\nr "), noQ.find('\n', noQ.find("\nr ") + 1) - noQ.find("\nr "));
  const std::vector<Case> cases = {
      {"unknown key", "Q 0 0 top L5 - 1\n", "1: unknown key 'Q'"},
      {"shifted name", "space 0 4 thumb thumb - 1\n! 0 0 top L5 - 1\n", "2: unknown key '!'"},
      {"duplicate", "space 0 4 thumb thumb - 1\nq 0 0 top L5 - 1\nq 1 0 top L5 - 1\n",
       "3: key 'q' given twice"},
      {"finger", "q 0 0 top L1 - 1\n", "1: finger 'L1' is not"},
      {"row", "q 0 0 middle L5 - 1\n", "1: row 'middle' is not"},
      {"inner not index", "q 0 0 top L5 inner 1\n", "1: only an index finger"},
      {"inner flag", "q 0 0 top L5 yes 1\n", "1: inner flag 'yes'"},
      {"nan", "q nan 0 top L5 - 1\n", "1: position 'nan' '0' is not two finite numbers"},
      {"inf effort", "q 0 0 top L5 - inf\n", "1: effort 'inf' is not a finite number"},
      {"huge number", "q 1e999 0 top L5 - 1\n", "1: position '1e999'"},
      {"negative effort", "q 0 0 top L5 - -1\n", "1: effort '-1'"},
      {"fields", "# c\nq 0 0 top L5 -\n", "2: a key line has 7 fields"},
      {"same position", "q 0 0 top L5 - 1\nw 0 0 top L4 - 1\n",
       "2: key 'w' is at the position of key 'q'"},
      {"empty file", "", "1: no keys"},
      {"comments only", "# a board\n// nothing\n", "2: no keys"},
      {"no space", "q 0 0 top L5 - 1\nenter 1 1 home R5 - 1\n", "2: no key 'space'"},
      {"10 MB line", "# " + longLine + "\n", "1: line longer than 4096 bytes"},
      {"NUL", good + "q 0 0\0 top L5 - 1\n", ": NUL byte"},
      {"invalid UTF-8", "# caf\xE9\nq 0 0 top L5 - 1\n", "1: not UTF-8"},
  };
  const TempDirectory dir;
  dir.write("s.txt", "\x88\x61 \n");
  dir.write("keyboard/a.txt", "set type:2\n1\t\xA4\xA1\tr\n2\t\xA4\xBF\tk\n");
  for (const Case& c : cases) {
    std::string text = c.text;
    if (std::string(c.what) == "NUL") text = good + std::string("q 0 0\0 top L5 - 1\n", 18);
    dir.write("b.board", text);
    const auto outcome = testing::runKbeval(dir, {"--board=b.board", "s.txt"});
    EXPECT_EQ(outcome.exitStatus, 2) << c.what;
    EXPECT_EQ(outcome.output, "") << c.what;
    const std::string prefix = "kbeval: --board: b.board:";
    EXPECT_EQ(outcome.errors.compare(0, prefix.size(), prefix), 0)
        << c.what << ": " << outcome.errors;
    EXPECT_NE(outcome.errors.find(c.message), std::string::npos)
        << c.what << ": " << outcome.errors;
    EXPECT_EQ(outcome.errors.find('\n'), outcome.errors.size() - 1) << c.what;
  }
  // A key the layout types is missing: the board file and the layout named.
  dir.write("b.board", noQ);
  auto outcome = testing::runKbeval(dir, {"--board=b.board", "s.txt"});
  EXPECT_EQ(outcome.exitStatus, 2);
  EXPECT_EQ(outcome.output, "");
  EXPECT_EQ(outcome.errors, "kbeval: --board: b.board: no key 'r', which layout a.txt types\n");
  // No such file, a directory.
  outcome = testing::runKbeval(dir, {"--board=nothing.board", "s.txt"});
  EXPECT_EQ(outcome.exitStatus, 2);
  EXPECT_EQ(outcome.output, "");
  EXPECT_EQ(outcome.errors, "kbeval: --board: nothing.board: No such file or directory\n");
  outcome = testing::runKbeval(dir, {"--board=keyboard", "s.txt"});
  EXPECT_EQ(outcome.exitStatus, 2);
  EXPECT_EQ(outcome.output, "");
  EXPECT_EQ(outcome.errors, "kbeval: --board: keyboard: Is a directory\n");
}

// One case: a key stream on a shipped board, and the figures worked out by
// hand. Positions and efforts are those of the board files (ortho: column c
// at x c + 0.5, row r at y r; effort finger weight x row factor).
struct FigureCase {
  const char* board;
  std::string keys;
  StrokeFigures expected;
};

StrokeFigures figuresOf(const char* boardName, const std::string& keys) {
  Board board;
  std::string error;
  EXPECT_TRUE(loadBoard(boardName, board, error)) << error;
  LayoutRecord layout;
  layout.setType = 2;
  KeyTable table{};
  setupBoardKeyTable(board, layout, table);
  const StrokeTables tables = makeStrokeTables(board, table);
  StrokeState state;
  StrokeCounts counts;
  walkStrokeBytes(tables, state, counts, keys);
  return strokeFigures(tables.board, counts);
}

TEST(StrokeFigures, HandWorkedCases) {
  // Field order: strokes, pairs, triples, alternation, rollIn, rollOut,
  // sameFinger, scissor, lateral, sameFingerDistance, redirect,
  // badRedirect, oneHandRoll, skipgram, effort.
  const std::vector<FigureCase> cases = {
      // a s d f: L5 L4 L3 L2 on the home row, rolling in all the way.
      {"ortho", "asdf", {4, 3, 2, 0, 3, 0, 0, 0, 0, 0, 0, 0, 2, 0, 1.6 + 1.3 + 1 + 1}},
      // e (L3 top) then x (L4 bottom): out, and rows 4 and 2 are two apart.
      {"ortho", "ex", {2, 1, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 1.2 + 1.3 * 1.3}},
      // ansi: t (L2 inner, x 6) then e (L3, x 4): out, 2 key widths apart.
      {"ansi", "te", {2, 1, 0, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 1.6 + 1.2}},
      // f then r: one finger, two keys one row apart.
      {"ortho", "fr", {2, 1, 0, 0, 0, 0, 1, 0, 0, 1.0, 0, 0, 0, 0, 1 + 1.2}},
      // One key twice is no same-finger pair.
      {"ortho", "ff", {2, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2}},
      // A: the right Shift (R5, bottom row, outer column: 1.6 x 1.3 + 0.5),
      // then a: alternation.
      {"ortho", "A", {2, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2.58 + 1.6}},
      // A B: the right Shift is held for B: rshift a b; a then b rolls in.
      {"ortho", "AB", {3, 2, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2.58 + 1.6 + 1.3 + 0.4}},
      // P A: lshift p rshift a; p (10.5, 1) and rshift (11.5, 3) are one
      // finger, sqrt(5) apart.
      {"ortho",
       "PA",
       {4, 3, 2, 2, 0, 0, 1, 0, 0, std::sqrt(5.0), 0, 0, 0, 0, 2.58 + 1.6 * 1.2 + 2.58 + 1.6}},
      // s f d: in, then out: a redirect with the index finger.
      {"ortho", "sfd", {3, 2, 1, 0, 1, 1, 0, 0, 0, 0, 1, 0, 0, 0, 1.3 + 1 + 1}},
      // s d a: in, then out, no index finger: a bad redirect.
      {"ortho", "sda", {3, 2, 1, 0, 1, 1, 0, 0, 0, 0, 1, 1, 0, 0, 1.3 + 1 + 1.6}},
      // f s r: f and r one apart on the index finger: a skipgram, and a redirect.
      {"ortho", "fsr", {3, 2, 1, 0, 1, 1, 0, 0, 0, 0, 1, 0, 0, 1, 1 + 1.3 + 1.2}},
      // f space r: a skipgram over the space bar; the pairs and the triple
      // hold a thumb stroke and count only in the totals.
      {"ortho", "f r", {3, 2, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1 + 1 + 1.2}},
      // The marker breaks the sequence: no pair.
      {"ortho", "a\x18s", {2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1.6 + 1.3}},
      // Collapsed spaces are one stroke: a space s.
      {"ortho", "a   s", {3, 2, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1.6 + 1 + 1.3}},
      // split: q (L5 top) then c (L3 bottom) are not adjacent fingers: no scissor.
      {"split", "qc", {2, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1.6 * 1.2 + 1.3}},
  };
  for (const FigureCase& c : cases) {
    const StrokeFigures got = figuresOf(c.board, c.keys);
    SCOPED_TRACE(std::string(c.board) + " '" + c.keys + "'");
    // The board files round efforts to two decimals.
    testing::expectSameFigures(got, c.expected, 1e-9, 0.011);
  }
}

}  // namespace
}  // namespace kbeval
