#include "views/json_report.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "views/json_read_back.h"

namespace kbeval {
namespace {

using testing::Json;

// Text counts whose every cell differs from its neighbours, so that a table
// written transposed or shifted by one cannot read back equal.
TextCounts distinctTextCounts() {
  TextCounts t;
  Count next = 1;
  t.natnaeCount = next++;
  for (Count& n : t.initialCount) n = next++;
  for (Count& n : t.medialCount) n = next++;
  for (Count& n : t.finalCount) n = next++;
  for (Count& n : t.signCount) n = next++;
  for (Count& n : t.symbolCount) n = next++;
  t.digitCount = next++;
  t.enterCount = next++;
  t.spaceCount = (Count{1} << 40) + next;  // beyond 32 bits
  return t;
}

CombinationCounts distinctCombinations() {
  CombinationCounts c;
  Count next = 1000;
  for (auto& row : c.cheotGaundeIeum)
    for (Count& n : row) n = next++;
  for (auto& row : c.gaundeGgeutFreq)
    for (Count& n : row) n = next++;
  for (auto& row : c.ggeutCheotIeum)
    for (Count& n : row) n = next++;
  for (auto* table : {&c.dahKeyFreq, &c.dahHolKeyFreq, &c.holDahKeyFreq}) {
    for (auto& row : *table)
      for (Count& n : row) n = next++;
  }
  return c;
}

LayoutFindings findingsOf(const LayoutRecord& layout, const std::string& stream,
                          const TextCounts& text) {
  KeyTable keys{};
  setupKeyTable(layout, keys);
  const EvaluationTables tables = makeEvaluationTables(keys);
  EvaluationState state;
  evaluateKeys(tables, state, reinterpret_cast<const unsigned char*>(stream.data()), stream.size());
  LayoutFindings f;
  f.layout = &layout;
  f.counts = keystrokeCounts(tables, state);
  f.untreated = 7;
  f.figures = comparisonFigures(f.counts, f.untreated, text);
  f.keyUse = keyUse(keys, state.pairCounts);
  f.worstPairs = worstPairs(keys, state.pairCounts, kWorstPairsKept);
  return f;
}

// The whole document, head, two layouts and tail, parses and reads back
// equal to everything it was written from: names with quotes, backslashes,
// control bytes and invalid UTF-8 included.
TEST(JsonReport, WholeDocumentReadsBackEqual) {
  ASSERT_TRUE(jsonAvailable());
  const TextCounts text = distinctTextCounts();
  const CombinationCounts combinations = distinctCombinations();
  LayoutRecord plain;
  plain.fileName = "2-standard.txt";
  plain.setType = 2;
  plain.fingering = "Pyojun";
  plain.initialKeys[2] = plain.finalKeys[2] = "r";  // ㄱ
  LayoutRecord odd;
  odd.fileName = "q\"u\\o\x01t\xFF\xC0\x80\xED\xA0\x80.txt";
  odd.setType = 3;
  odd.fingering = "Gong3";
  odd.finalKeys[2] = "x";
  const std::vector<LayoutFindings> layouts = {
      findingsOf(plain, "rkrrkr sdfR frfrfr PQ\x18PQ aaa\n\nAB", text),
      findingsOf(odd, std::string(300, 'x') + "dxdx\x80\x80 ;;", text)};
  const JsonSample sample{"sa\xFFmple.txt", 5'000'000'000LL, "johab"};

  std::string document = jsonHead(sample, text, combinations);
  for (std::size_t i = 0; i < layouts.size(); ++i) document += jsonLayout(layouts[i], i == 0);
  std::vector<ComparisonRow> rows;
  for (const LayoutFindings& f : layouts) {
    rows.push_back({displayName(f.layout->fileName),
                    f.layout->setType,
                    f.layout->fingering,
                    f.figures,
                    false,
                    {},
                    {}});
  }
  document += jsonTail(rows, 1);

  const Json json = Json::parse(document);  // throws on anything that is not JSON
  EXPECT_EQ(json.at("format"), kJsonFormat);
  EXPECT_EQ(testing::exactString(json.at("sample"), "path"), sample.path);
  EXPECT_EQ(json.at("sample").at("path"), "sa\xEF\xBF\xBDmple.txt");  // U+FFFD for the bad byte
  EXPECT_EQ(json.at("sample").at("bytes"), sample.bytes);
  EXPECT_EQ(json.at("sample").at("encoding"), "johab");
  EXPECT_EQ(json.at("text").get<TextCounts>(), text);
  EXPECT_EQ(json.at("combinations").get<CombinationCounts>(), combinations);
  EXPECT_EQ(json.at("names").at("initial").at(2), "ㄱ");
  EXPECT_EQ(json.at("names").at("symbol").at(7), "”");

  const Json& written = json.at("layouts");
  ASSERT_EQ(written.size(), layouts.size());
  for (std::size_t i = 0; i < layouts.size(); ++i) {
    const LayoutFindings& f = layouts[i];
    const Json& l = written[i];
    EXPECT_EQ(testing::exactString(l, "fileName"), f.layout->fileName);
    EXPECT_EQ(l.contains("fileNameBytes"), i == 1);
    EXPECT_EQ(l.at("setType"), f.layout->setType);
    EXPECT_EQ(l.at("fingering"), f.layout->fingering);
    EXPECT_EQ(l.at("untreatedCount"), f.untreated);
    EXPECT_EQ(l.at("counts").get<KeystrokeCounts>(), f.counts);
    EXPECT_EQ(l.at("counts").at("leftTotal"), leftTotal(f.counts));
    EXPECT_EQ(l.at("counts").at("rightTotal"), rightTotal(f.counts));
    // Shares too read back to the very bit.
    EXPECT_EQ(testing::figuresFromJson(l.at("figures")), f.figures);
    EXPECT_EQ(testing::keyUseFromJson(l.at("keys")), f.keyUse);
    EXPECT_EQ(testing::pairsFromJson(l.at("worstPairs").at("sameFinger")), f.worstPairs.sameFinger);
    EXPECT_EQ(testing::pairsFromJson(l.at("worstPairs").at("sameKey")), f.worstPairs.sameKey);
  }
  // The baseline by name (its exact bytes beside it), and per layout its
  // figures minus the baseline's: the baseline's own are all 0.
  EXPECT_EQ(testing::exactString(json, "baseline"), rows[1].name);
  const Json& differences = json.at("differences");
  ASSERT_EQ(differences.size(), layouts.size());
  for (const ComparisonColumn& column : comparisonColumns()) {
    if (column.value == nullptr) continue;
    EXPECT_EQ(differences[1].at(column.jsonName), 0.0) << column.header;
    const double expected = column.value(layouts[0].figures) - column.value(layouts[1].figures);
    EXPECT_EQ(differences[0].at(column.jsonName), expected) << column.header;
  }
  // What the keys type, in UTF-8, by key byte.
  const Json& labels = written[0].at("keys").at("labels");
  ASSERT_EQ(labels.size(), 256u);
  EXPECT_EQ(labels.at('r'), "ㄱ");
  EXPECT_EQ(written[1].at("keys").at("labels").at('x'), "ㄱ(final)");
  EXPECT_EQ(labels.at('x'), "");
}

// The document is written as text directly; nlohmann's compact dump is the
// independent model of that text. Every edge of string escaping (quotes,
// backslashes, each control character, 0x7F, multi-byte UTF-8, every kind of
// invalid sequence) and of number writing (whole doubles, exponents both
// ways, the extremes, -0, not a number) must come out as the library writes
// the same value, and the whole document must be its own compact dump.
TEST(JsonReport, TextIsTheLibrarysCompactDump) {
  using Ordered = nlohmann::ordered_json;
  const auto dump = [](const Ordered& value) {
    return value.dump(-1, ' ', false, Ordered::error_handler_t::replace);
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const double tiny = std::numeric_limits<double>::denorm_min();
  const double huge = std::numeric_limits<double>::max();
  const long long lowest = std::numeric_limits<long long>::min();
  const long long highest = std::numeric_limits<long long>::max();
  const struct {
    std::string name;
    double real;
    Count count;
  } cases[] = {
      {"", 0.0, 0},
      {"plain-3.txt", -0.0, -1},
      {"q\"u\\o/te", 0.1, lowest},
      {std::string("\x00\x01\x08\t\n\x0b\x0c\r\x1b\x1f\x7f", 11), 1.0 / 3, highest},
      {"한글 ㄱ(final).txt", 1e21, Count{1} << 40},
      {"\xF0\x9D\x84\x9E clef", 1e22, 7},
      {"\x80 lone continuation", 1e-5, -(Count{1} << 38)},
      {"cut \xE2\x82", 1e-7, 10},
      {"overlong \xC0\xAF and \xE0\x80\xAF", tiny, 100},
      {"surrogate \xED\xA0\x80", huge, 999999999999},
      {"beyond \xF4\x90\x80\x80", 123456789012345678.0, 1},
      {"a\xFF"
       "b\xFE",
       -2.5, 2},
      {"\xE2\x82\xAC\xE2\x82\xE2\x82\xAC", nan, 3},
      {"\xF0\x9F\x98", inf, 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    LayoutRecord layout;
    layout.fileName = c.name;
    layout.fingering = c.name;
    layout.setType = 2;
    LayoutFindings f;
    f.layout = &layout;
    f.counts.keyStrokes = c.count;
    f.counts.sameKeyRuns[9][99] = c.count;
    f.figures.shiftShare = c.real;
    f.hasStrokes = true;
    f.strokes.effort = c.real;
    f.worstPairs.sameKey = {{'"', '\\', c.count, c.count, true}};
    const JsonSample sample{c.name, c.count, "utf-8", c.name, c.name};
    std::vector<ComparisonRow> rows(1);
    rows[0].name = c.name;
    const std::string document = jsonHead(sample, TextCounts{}, CombinationCounts{}) +
                                 jsonLayout(f, true) + jsonLayout(f, false) + jsonTail(rows, 0);

    // Each value as the library writes it.
    EXPECT_NE(document.find("{\"fileName\":" + dump(c.name) + ","), std::string::npos);
    EXPECT_NE(document.find(",\"fingering\":" + dump(c.name) + ","), std::string::npos);
    EXPECT_NE(document.find("\"keyStrokes\":" + dump(c.count) + ","), std::string::npos);
    EXPECT_NE(document.find("\"shiftShare\":" + dump(c.real) + ","), std::string::npos);
    EXPECT_NE(document.find("\"effort\":{\"sum\":" + dump(c.real) + ","), std::string::npos);
    EXPECT_NE(document.find("\"baseline\":" + dump(c.name) + ","), std::string::npos);
    // The whole: the pieces join with line feeds (the only ones outside
    // strings), and without them the document is its own compact dump.
    std::string joined = document;
    std::erase(joined, '\n');
    EXPECT_EQ(dump(Ordered::parse(joined)), joined);
  }
  // Every byte alone in a name.
  for (int byte = 0; byte < 256; ++byte) {
    LayoutRecord layout;
    layout.fileName = std::string("<") + static_cast<char>(byte) + ">";
    LayoutFindings f;
    f.layout = &layout;
    EXPECT_NE(jsonLayout(f, true).find("{\"fileName\":" + dump(layout.fileName) + ","),
              std::string::npos)
        << byte;
  }
}

}  // namespace
}  // namespace kbeval
