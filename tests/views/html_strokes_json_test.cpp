// Every pair and triple figure the HTML report shows, in the comparison and
// in each layout's section, against the JSON of the same run on each shipped
// board: the counts exactly, the sums and the shares to the last digit shown.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "in_process.h"
#include "temp_directory.h"
#include "views/html_read_back.h"
#include "views/json_read_back.h"

namespace kbeval {
namespace {

using testing::Json;
using testing::Outcome;
using testing::readFile;
using testing::TempDirectory;

const std::string kExamples = KBEVAL_EXAMPLES;

// The figures as docs/json.md names them: the object, its amount field and
// its share field, and whether the share is a fraction the page shows in
// percent.
struct JsonFigure {
  const char* name;
  const char* amount;
  const char* share;
  bool percent;
};
constexpr JsonFigure kFigures[] = {
    {"alternation", "count", "share", true},
    {"rollIn", "count", "share", true},
    {"rollOut", "count", "share", true},
    {"sameFinger", "count", "share", true},
    {"sameFingerDistance", "sum", "perPair", false},
    {"scissor", "count", "share", true},
    {"lateralStretch", "count", "share", true},
    {"redirect", "count", "share", true},
    {"badRedirect", "count", "share", true},
    {"oneHandRoll", "count", "share", true},
    {"skipgram", "count", "share", true},
    {"effort", "sum", "perStroke", false},
};

// `shown` is `value` printed with as many decimals as it has: within half
// its last digit.
void expectShown(const std::string& shown, double value) {
  ASSERT_FALSE(shown.empty());
  const std::size_t point = shown.find('.');
  const int decimals = point == std::string::npos ? 0 : static_cast<int>(shown.size() - point - 1);
  EXPECT_NEAR(std::stod(shown), value, 0.5 * std::pow(10.0, -decimals) + 1e-9) << shown;
}

void expectAmount(const std::string& shown, const Json& amount) {
  if (amount.is_number_integer()) {
    EXPECT_EQ(shown, std::to_string(amount.get<long long>()));
  } else {
    expectShown(shown, amount.get<double>());
  }
}

TEST(HtmlStrokesAgainstJson, EveryFigureOnEveryBoard) {
  for (const char* board : {"ansi", "ortho", "split"}) {
    SCOPED_TRACE(board);
    TempDirectory dir;
    const Outcome outcome = testing::runKbeval(
        dir, {"--keyboards=" + kExamples + "/keyboard", kExamples + "/sample.txt",
              std::string("--board=") + board, "--html=report.html", "--json=report.json"});
    ASSERT_EQ(outcome.exitStatus, 0) << outcome.errors;
    const Json json = Json::parse(readFile(dir / "report.json"));
    const std::string page = readFile(dir / "report.html");
    const std::vector<testing::HtmlStrokeRow> table = testing::htmlStrokeTable(page);
    std::map<std::string, std::string> sections = testing::htmlLayoutSections(page);
    const Json& layouts = json.at("layouts");
    ASSERT_GE(layouts.size(), 2u);
    ASSERT_EQ(table.size(), layouts.size());
    for (std::size_t i = 0; i < layouts.size(); ++i) {
      const std::string name = layouts[i].at("name").get<std::string>();
      SCOPED_TRACE(name);
      const Json& strokes = layouts[i].at("strokeFigures");
      EXPECT_EQ(table[i].name, name);  // in result order
      const std::map<std::string, testing::HtmlSectionFigure> shown =
          testing::htmlSectionFigures(sections[name]);
      for (const char* total : {"strokes", "pairs", "triples"}) {
        ASSERT_EQ(shown.count(total), 1u) << total;
        EXPECT_EQ(shown.at(total).amount, std::to_string(strokes.at(total).get<long long>()));
      }
      EXPECT_EQ(table[i].cells.size(), std::size(kFigures));
      EXPECT_EQ(shown.size(), std::size(kFigures) + 3);
      for (const JsonFigure& figure : kFigures) {
        SCOPED_TRACE(figure.name);
        const Json& expected = strokes.at(figure.name);
        const double share = expected.at(figure.share).get<double>() * (figure.percent ? 100 : 1);
        const auto cell = table[i].cells.find(figure.name);
        ASSERT_NE(cell, table[i].cells.end());
        expectAmount(cell->second.amount, expected.at(figure.amount));
        expectShown(cell->second.share, share);
        const auto line = shown.find(figure.name);
        ASSERT_NE(line, shown.end());
        expectAmount(line->second.amount, expected.at(figure.amount));
        expectShown(line->second.share, share);
      }
    }
  }
}

}  // namespace
}  // namespace kbeval
