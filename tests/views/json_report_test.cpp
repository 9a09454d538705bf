#include "views/json_report.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace kbeval
