// --html with --board: the best of each pair and triple figure marked on a
// case worked out by hand, and the keyboard drawn where the board file puts
// each key (the file read here on its own, not through kbeval's parser).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "in_process.h"
#include "temp_directory.h"
#include "views/html_read_back.h"

namespace kbeval {
namespace {

using testing::Outcome;
using testing::readFile;
using testing::TempDirectory;

// Three 2-set layouts type 가가 and a line feed on the grid board (ortho:
// d L3, f L2, j R2, k R3, all home row, effort 1; Enter a thumb key, 1.5).
//   a: ㄱ f, ㅏ j  -> f j f j Enter
//   b: ㄱ f, ㅏ d  -> f d f d Enter
//   c: ㄱ f, ㅏ k  -> f k f k Enter
// Five strokes, four pairs, three triples each; the pairs and triples with
// Enter count only in the totals.
//   a, c: fj jf fj alternate: 3 of 4 pairs (75.00); no one-hand triple.
//   b: fd rolls out (index to middle), df in, fd out: roll in 1 (25.00), roll
//      out 2 (50.00); fdf and dfd change direction with the index: 2
//      redirects of 3 triples (66.67), no bad one.
// Nothing else occurs (f_f and d_d are one key, no skipgram), and the effort
// is 5.5 over 5 strokes everywhere. Every layout types the whole text.
void writeThreeLayouts(const TempDirectory& dir) {
  dir.write("keyboard/a.txt", "set type:2\n1\t\xA4\xA1\tf\n2\t\xA4\xBF\tj\n3\t\xA4\xA1\tf\n");
  dir.write("keyboard/b.txt", "set type:2\n1\t\xA4\xA1\tf\n2\t\xA4\xBF\td\n3\t\xA4\xA1\tf\n");
  dir.write("keyboard/c.txt", "set type:2\n1\t\xA4\xA1\tf\n2\t\xA4\xBF\tk\n3\t\xA4\xA1\tf\n");
  dir.write("sample.txt", "\x88\x61\x88\x61\r\n");
}

TEST(HtmlBoard, BestOfEachStrokeFigureByHand) {
  TempDirectory dir;
  writeThreeLayouts(dir);
  const Outcome outcome =
      testing::runKbeval(dir, {"sample.txt", "--board=ortho", "--html=report.html"});
  ASSERT_EQ(outcome.exitStatus, 0) << outcome.errors;
  const std::string page = readFile(dir / "report.html");
  std::map<std::string, testing::HtmlStrokeRow> rows;
  for (const testing::HtmlStrokeRow& row : testing::htmlStrokeTable(page)) rows[row.name] = row;
  ASSERT_EQ(rows.size(), 3u);
  struct Expected {
    const char* figure;
    const char* shares[3];  // a, b, c
    const char* amounts[3];
    std::set<std::string> best;
    int ranks[3];
  };
  const Expected table[] = {
      // A reward: the highest is best, and a tie shares the best mark and the rank.
      {"alternation", {"75.00", "0.00", "75.00"}, {"3", "0", "3"}, {"a", "c"}, {1, 3, 1}},
      // Costs: the lowest is best.
      {"rollIn", {"0.00", "25.00", "0.00"}, {"0", "1", "0"}, {"a", "c"}, {1, 3, 1}},
      {"rollOut", {"0.00", "50.00", "0.00"}, {"0", "2", "0"}, {"a", "c"}, {1, 3, 1}},
      {"redirect", {"0.00", "66.67", "0.00"}, {"0", "2", "0"}, {"a", "c"}, {1, 3, 1}},
      // Every layout alike: none marked.
      {"badRedirect", {"0.00", "0.00", "0.00"}, {"0", "0", "0"}, {}, {1, 1, 1}},
      {"sameFinger", {"0.00", "0.00", "0.00"}, {"0", "0", "0"}, {}, {1, 1, 1}},
      {"skipgram", {"0.00", "0.00", "0.00"}, {"0", "0", "0"}, {}, {1, 1, 1}},
      {"effort", {"1.100", "1.100", "1.100"}, {"5.500", "5.500", "5.500"}, {}, {1, 1, 1}},
  };
  const char* names[] = {"a", "b", "c"};
  for (const Expected& e : table) {
    for (int i = 0; i < 3; ++i) {
      SCOPED_TRACE(std::string(e.figure) + " of " + names[i]);
      const auto cell = rows[names[i]].cells.find(e.figure);
      ASSERT_NE(cell, rows[names[i]].cells.end());
      EXPECT_EQ(cell->second.share, e.shares[i]);
      EXPECT_EQ(cell->second.amount, e.amounts[i]);
      EXPECT_EQ(cell->second.best, e.best.count(names[i]) == 1);
      EXPECT_EQ(cell->second.rank, e.ranks[i]);
    }
  }
}

// Layouts that leave different characters untreated type different texts:
// no stroke figure is marked best, as in the main table.
TEST(HtmlBoard, NoBestAcrossDifferentCoverage) {
  TempDirectory dir;
  writeThreeLayouts(dir);
  dir.write("sample.txt", "\x88\x61\x88\x61?\r\n");  // b and c have no key for "?"
  dir.write("keyboard/a.txt",
            "set type:2\n1\t\xA4\xA1\tf\n2\t\xA4\xBF\tj\n3\t\xA4\xA1\tf\n4\t?\t?\n");
  const Outcome outcome =
      testing::runKbeval(dir, {"sample.txt", "--board=ortho", "--html=report.html"});
  ASSERT_EQ(outcome.exitStatus, 0) << outcome.errors;
  const std::vector<testing::HtmlStrokeRow> rows =
      testing::htmlStrokeTable(readFile(dir / "report.html"));
  ASSERT_FALSE(rows.empty());
  for (const testing::HtmlStrokeRow& row : rows) {
    ASSERT_FALSE(row.cells.empty()) << row.name;
    for (const auto& [figure, cell] : row.cells) EXPECT_FALSE(cell.best) << row.name << figure;
  }
}

// A board file's keys by name: their centres, in key widths.
std::map<std::string, std::pair<double, double>> boardFileKeys(const std::string& file) {
  std::map<std::string, std::pair<double, double>> keys;
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);) {
    line = line.substr(0, std::min(line.find('#'), line.find("//")));  // comments
    std::istringstream words(line);
    std::string key;
    double x = 0, y = 0;
    if (words >> key >> x >> y) keys[key] = {x, y};
  }
  return keys;
}

// The name a drawing gives a board key.
std::string drawnName(const std::string& boardName) {
  static const std::map<std::string, std::string> kNames = {
      {"space", "Space"}, {"enter", "Enter"}, {"lshift", "Left Shift"}, {"rshift", "Right Shift"}};
  const auto named = kNames.find(boardName);
  return named == kNames.end() ? boardName : named->second;
}

// Every key of the board file is drawn, and the drawing's key centres stand
// to each other as the file's do (one key width the distance from Q to W;
// a pixel of rounding either way).
TEST(HtmlBoard, KeysLieWhereTheBoardFileSays) {
  for (const char* board : {"ortho", "split", "ansi"}) {
    SCOPED_TRACE(board);
    TempDirectory dir;
    writeThreeLayouts(dir);
    const Outcome outcome = testing::runKbeval(
        dir, {"sample.txt", std::string("--board=") + board, "--html=report.html"});
    ASSERT_EQ(outcome.exitStatus, 0) << outcome.errors;
    const std::string page = readFile(dir / "report.html");
    const std::string section = testing::htmlLayoutSections(page)["b"];
    const std::map<std::string, testing::HtmlKeyCentre> drawn =
        testing::htmlKeyCentres(section, page);
    const auto file = boardFileKeys(std::string(KBEVAL_SOURCE_DIR) + "/boards/" + board + ".board");
    ASSERT_EQ(drawn.size(), file.size());
    ASSERT_TRUE(drawn.count("q") == 1 && drawn.count("w") == 1);
    const testing::HtmlKeyCentre q = drawn.at("q");
    const double unit = (drawn.at("w").x - q.x) / (file.at("w").first - file.at("q").first);
    EXPECT_GT(unit, 20);
    for (const auto& [name, centre] : file) {
      SCOPED_TRACE(name);
      const auto key = drawn.find(drawnName(name));
      ASSERT_NE(key, drawn.end());
      EXPECT_NEAR(key->second.x - q.x, unit * (centre.first - file.at("q").first), 1.01);
      EXPECT_NEAR(key->second.y - q.y, unit * (centre.second - file.at("q").second), 1.01);
    }
  }
}

// Without --board the page stays as it was: no stroke figures, and the
// keyboard's keys do not name themselves.
TEST(HtmlBoard, NothingNewWithoutABoard) {
  TempDirectory dir;
  writeThreeLayouts(dir);
  const Outcome outcome = testing::runKbeval(dir, {"sample.txt", "--html=report.html"});
  ASSERT_EQ(outcome.exitStatus, 0) << outcome.errors;
  const std::string page = readFile(dir / "report.html");
  EXPECT_EQ(page.find("stroke-table"), std::string::npos);
  EXPECT_EQ(page.find("typed on the board"), std::string::npos);
  const std::string section = testing::htmlLayoutSections(page)["b"];
  EXPECT_TRUE(testing::htmlKeyCentres(section, page).empty());
  EXPECT_NE(section.find("<svg class=\"kb\" width=\"912\" height=\"308\""), std::string::npos);
}

}  // namespace
}  // namespace kbeval
