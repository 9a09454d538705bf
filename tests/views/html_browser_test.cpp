// The HTML report as a real browser shows it: headless Chromium renders the
// shipped example's page, and what its DOM holds (every layout's keyboard
// with its key labels, fingers and counts, the charts and tables, the text's
// jamo and heat tables) is checked against the JSON of the same run, not
// against a stored page. A screenshot must show the painted keyboards.
// Without Chromium the tests report themselves skipped.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#ifdef KBEVAL_HAVE_PNG
#include <png.h>
#endif

#include "keystrokes/key_table.h"
#include "temp_directory.h"
#include "views/json_read_back.h"
#include "views/key_labels.h"

namespace kbeval {
namespace {

using testing::Json;
using testing::Outcome;
using testing::TempDirectory;

const std::string kExamples = KBEVAL_EXAMPLES;
// The browser found when the build was configured; KBEVAL_CHROMIUM in the
// environment names another (empty: none).
const std::string kChromium =
    std::getenv("KBEVAL_CHROMIUM") != nullptr ? std::getenv("KBEVAL_CHROMIUM") : KBEVAL_CHROMIUM;

// "5.4%": `part` of `whole` as a key's face shows it.
std::string shareText(Count part, Count whole) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f%%",
                100.0 * static_cast<double>(part) / static_cast<double>(whole));
  return text;
}

bool haveChromium() {
  return !kChromium.empty() && ::access(kChromium.c_str(), X_OK) == 0;
}

// The browser on `page`, with a fresh profile and no network of its own.
Outcome runChromium(const TempDirectory& dir, const std::string& page,
                    std::vector<std::string> arguments, const std::string& fragment = "") {
  const std::vector<std::string> common = {"--no-sandbox",
                                           "--disable-gpu",
                                           "--no-first-run",
                                           "--disable-background-networking",
                                           "--disable-component-update",
                                           "--disable-sync",
                                           "--user-data-dir=" + (dir / "profile")};
  arguments.insert(arguments.begin(), common.begin(), common.end());
  arguments.push_back("file://" + page + fragment);
  return testing::runProgram(dir, kChromium.c_str(), arguments);
}

// The text between `open` (after `from`) and the next `close`; `from` moves past it.
std::string between(const std::string& text, std::size_t& from, const std::string& open,
                    const std::string& close) {
  const std::size_t start = text.find(open, from);
  if (start == std::string::npos) {
    from = std::string::npos;
    return "";
  }
  const std::size_t end = text.find(close, start + open.size());
  from = end == std::string::npos ? end : end + close.size();
  return text.substr(start + open.size(), end - start - open.size());
}

// Text content as the DOM serialises it, back to the characters.
std::string unescaped(std::string text) {
  const std::pair<std::string, std::string> references[] = {
      {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&#39;", "'"}, {"&amp;", "&"}};
  for (const auto& [reference, character] : references) {
    for (std::size_t at; (at = text.find(reference)) != std::string::npos;)
      text.replace(at, reference.size(), character);
  }
  return text;
}

std::string withoutFinal(std::string label) {
  for (std::size_t at; (at = label.find("(final)")) != std::string::npos;) label.erase(at, 7);
  return label;
}

// The texts of elements with class `cssClass`, in order.
std::vector<std::string> textsOfClass(const std::string& svg, const std::string& cssClass) {
  std::vector<std::string> texts;
  const std::string marker = "class=\"" + cssClass + "\"";
  for (std::size_t at = svg.find(marker); at != std::string::npos; at = svg.find(marker, at)) {
    at = svg.find('>', at) + 1;
    texts.push_back(unescaped(svg.substr(at, svg.find('<', at) - at)));
  }
  return texts;
}

// One level of a key's tooltip: "d ㅇ: 2593" (name, what it types, strokes).
struct Level {
  std::string name, types;
  Count presses = -1;
};

// Reads "NAME[ TYPES]: N" from `text` at `at`; names may be ":" or ";".
Level readLevel(const std::string& text, std::size_t& at) {
  std::size_t colon = at;
  while ((colon = text.find(": ", colon + 1)) != std::string::npos &&
         !std::isdigit(static_cast<unsigned char>(text[colon + 2]))) {
  }
  Level level;
  const std::string head = text.substr(at, colon - at);
  const std::size_t space = head.find(' ');
  level.name = head.substr(0, space);
  if (space != std::string::npos) level.types = head.substr(space + 1);
  char* end = nullptr;
  level.presses = std::strtoll(text.c_str() + colon + 2, &end, 10);
  at = static_cast<std::size_t>(end - text.c_str());
  return level;
}

std::vector<Count> countsAsNumbers(const std::vector<std::string>& texts) {
  std::vector<Count> numbers;
  for (const std::string& t : texts) numbers.push_back(std::strtoll(t.c_str(), nullptr, 10));
  return numbers;
}

void checkKeyboard(const std::string& section, const Json& layout) {
  const KeystrokeCounts counts = layout.at("counts").get<KeystrokeCounts>();
  const Json& presses = layout.at("keys").at("presses");
  const Json& labels = layout.at("keys").at("labels");
  const Count keystrokes = layout.at("figures").at("keystrokes").get<Count>();
  std::map<std::string, int> byName;
  for (int byte = 0; byte < 128; ++byte) byName[keyName(static_cast<unsigned char>(byte))] = byte;
  const auto expectedTypes = [&](int byte) {
    const std::string label = labels.at(byte).get<std::string>();
    return label == keyName(static_cast<unsigned char>(byte)) ? std::string() : label;
  };

  std::size_t from = 0;
  const std::string keyboard = between(section, from, "<svg class=\"kb\"", "</svg>");
  std::map<std::string, Count> byFinger;
  int keys = 0;
  for (std::size_t at = keyboard.find("<title>"); at != std::string::npos;
       at = keyboard.find("<title>", at)) {
    std::size_t next = at;
    const std::string title = unescaped(between(keyboard, next, "<title>", "</title>"));
    const std::string face = keyboard.substr(next, keyboard.find("</g>", next) - next);
    at = next;
    SCOPED_TRACE(title);
    // The finger and the share at the key's bottom: "L2 5.4%".
    const std::string bottom = textsOfClass(face, "f").at(0);
    const std::string finger = bottom.substr(0, bottom.find(' '));
    const std::string shownShare = bottom.substr(bottom.find(' ') + 1);
    if (title.find(" Shift: ") != std::string::npos) {
      const bool left = title.starts_with("Left");
      const Count n = std::strtoll(title.c_str() + title.find(": ") + 2, nullptr, 10);
      EXPECT_EQ(n, left ? counts.leftShifts : counts.rightShifts);
      EXPECT_EQ(shownShare, shareText(n, keystrokes));
      byFinger[finger] += n;
      continue;
    }
    ++keys;
    std::size_t cursor = 0;
    const Level plain = readLevel(title, cursor);
    ASSERT_TRUE(byName.count(plain.name));
    const int plainByte = byName[plain.name];
    EXPECT_EQ(plain.presses, presses.at(plainByte).get<Count>());
    // A key that types nothing by itself may show the jamo it starts.
    const bool plainAlone = !labels.at(plainByte).get<std::string>().empty();
    if (plainAlone) {
      EXPECT_EQ(plain.types, expectedTypes(plainByte));
    }
    Count both = plain.presses;
    const std::vector<std::string> capPlain = textsOfClass(face, "u");
    const std::vector<std::string> capFinal = textsOfClass(face, "u fin");
    const std::string shownPlain =
        capPlain.empty() ? (capFinal.empty() ? "" : capFinal[0]) : capPlain[0];
    if (plainAlone) {
      EXPECT_EQ(shownPlain, withoutFinal(labels.at(plainByte).get<std::string>()));
    }
    if (title.compare(cursor, 2, "; ") == 0) {
      cursor += 2;
      const Level shifted = readLevel(title, cursor);
      ASSERT_TRUE(byName.count(shifted.name));
      const int shiftedByte = byName[shifted.name];
      EXPECT_EQ(shifted.presses, presses.at(shiftedByte).get<Count>());
      both += shifted.presses;
      std::vector<std::string> capShifted = textsOfClass(face, "s");
      for (const std::string& t : textsOfClass(face, "s fin")) capShifted.push_back(t);
      if (!labels.at(shiftedByte).get<std::string>().empty()) {
        EXPECT_EQ(shifted.types, expectedTypes(shiftedByte));
        EXPECT_EQ(capShifted.empty() ? "" : capShifted[0],
                  withoutFinal(labels.at(shiftedByte).get<std::string>()));
      }
    }
    EXPECT_EQ(shownShare, shareText(both, keystrokes));
    byFinger[finger] += both;
  }
  EXPECT_EQ(keys, kPhysicalKeys);
  // The fingers drawn on the keys carry exactly the strokes the counts file
  // under each finger: the picture and the evaluation share one key table.
  const std::map<std::string, int> slots = {{"L5", 0}, {"L4", 1},    {"L3", 2},
                                            {"L2", 3}, {"thumb", 5}, {"R2", 6},
                                            {"R3", 7}, {"R4", 8},    {"R5", 9}};
  EXPECT_EQ(byFinger.size(), slots.size());
  for (const auto& [name, slot] : slots) {
    EXPECT_EQ(byFinger[name], counts.fingerCount[static_cast<std::size_t>(slot)]) << name;
  }
}

void checkCharts(const std::string& section, const Json& layout) {
  const KeystrokeCounts counts = layout.at("counts").get<KeystrokeCounts>();
  std::size_t from = 0;
  for (int hand = 0; hand < 2; ++hand) {
    from = 0;
    const std::string runs =
        between(section, from,
                std::string("aria-label=\"one-hand runs of the ") + (hand == 0 ? "left" : "right"),
                "</svg>");
    std::size_t at = 0;
    int lengths = 0;
    for (std::string title; !(title = between(runs, at, "<title>", "</title>")).empty();) {
      if (title.find('+') != std::string::npos) continue;
      const int length = std::atoi(title.c_str());
      const Count runCount = std::strtoll(title.c_str() + title.find(": ") + 2, nullptr, 10);
      EXPECT_EQ(
          runCount,
          counts.oneHandRuns[static_cast<std::size_t>(hand)][static_cast<std::size_t>(length - 1)])
          << title;
      ++lengths;
      if (at == std::string::npos) break;
    }
    EXPECT_GE(lengths, 4);
  }
  from = 0;
  const std::string pairs = between(section, from, "<table class=\"pairs\">", "</table>");
  const Json& worst = layout.at("worstPairs").at("sameFinger");
  std::size_t at = 0;
  std::size_t rowsSeen = 0;
  for (std::string row; !(row = between(pairs, at, "<tr><td class=\"t\">", "</tr>")).empty();) {
    const std::vector<std::string> cells = [&] {
      std::vector<std::string> all;
      std::size_t c = 0;
      for (std::string cell; !(cell = between(row, c, "<td>", "</td>")).empty();)
        all.push_back(cell);
      return all;
    }();
    ASSERT_LT(rowsSeen, worst.size());
    ASSERT_GE(cells.size(), 2u);
    EXPECT_EQ(std::stoll(cells[0]), worst[rowsSeen].at("times").get<Count>());
    EXPECT_EQ(std::stoll(cells[1]), worst[rowsSeen].at("strokes").get<Count>());
    ++rowsSeen;
    if (at == std::string::npos) break;
  }
  EXPECT_EQ(rowsSeen, worst.size());
}

// "33.3": `part` of `whole` as the loads tables show it.
std::string loadText(Count part, Count whole) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f",
                whole == 0 ? 0.0 : 100.0 * static_cast<double>(part) / static_cast<double>(whole));
  return text;
}

// The cells' texts of a loads table's row for layout `name`.
std::vector<std::string> loadRow(const std::string& dom, const std::string& title,
                                 const std::string& name) {
  std::size_t at = dom.find("<h3>" + title + "</h3>");
  if (at == std::string::npos) return {};
  const std::string table = between(dom, at, "<tbody>", "</tbody>");
  std::size_t row = table.find(">" + name + "</th>");
  if (row == std::string::npos) return {};
  const std::string cells = table.substr(row, table.find("</tr>", row) - row);
  std::vector<std::string> texts;
  for (std::size_t c = cells.find("</i>"); c != std::string::npos; c = cells.find("</i>", c + 1)) {
    texts.push_back(cells.substr(c + 4, cells.find('<', c + 4) - c - 4));
  }
  return texts;
}

// The loads on one scale against the counts: fingers of all strokes, rows
// of the four rows, run strokes by length of all the hand's run strokes.
void checkLoads(const std::string& dom, const std::string& name, const Json& layout) {
  const KeystrokeCounts c = layout.at("counts").get<KeystrokeCounts>();
  const int slots[] = {0, 1, 2, 3, 5, 6, 7, 8, 9};
  Count all = 0;
  for (int slot : slots) all += c.fingerCount[static_cast<std::size_t>(slot)];
  std::vector<std::string> fingers;
  for (int slot : slots)
    fingers.push_back(loadText(c.fingerCount[static_cast<std::size_t>(slot)], all));
  EXPECT_EQ(loadRow(dom, "Fingers, % of all strokes", name), fingers);
  std::vector<Count> perRow;
  for (int row = 5; row >= 2; --row) {
    Count n = 0;
    for (const auto& columns : c.generalKeyTable) n += columns[static_cast<std::size_t>(row)];
    perRow.push_back(n);
  }
  const Count fourRows = perRow[0] + perRow[1] + perRow[2] + perRow[3];
  std::vector<std::string> rows;
  for (Count n : perRow) rows.push_back(loadText(n, fourRows));
  EXPECT_EQ(loadRow(dom, "Rows, % of key presses", name), rows);
  for (int hand = 0; hand < 2; ++hand) {
    Count byLength[4] = {}, total = 0;
    for (int length = 1; length <= kRunBuckets; ++length) {
      const Count n =
          length *
          c.oneHandRuns[static_cast<std::size_t>(hand)][static_cast<std::size_t>(length - 1)];
      byLength[std::min(length, 4) - 1] += n;
      total += n;
    }
    std::vector<std::string> runs;
    for (Count n : byLength) runs.push_back(loadText(n, total));
    EXPECT_EQ(loadRow(dom,
                      std::string("One-hand runs, ") + (hand == 0 ? "left" : "right") +
                          " hand, % of its run strokes",
                      name),
              runs);
  }
}

// The difference keyboard of layout `number` against the baseline: every
// key's difference as shown, against the shares worked out from both
// layouts' key counts in the JSON (plain and shifted character of the key,
// over keystrokes), and the Shift keys from the counts.
void checkDifferences(const std::string& dom, std::size_t number, const Json& layout,
                      const Json& baseline) {
  std::size_t from = dom.find("id=\"vs-" + std::to_string(number) + "\"");
  ASSERT_NE(from, std::string::npos);
  const std::string figure = dom.substr(from, dom.find("</figure>", from) - from);
  const auto share = [](const Json& l, int plain, int shifted) {
    const Json& presses = l.at("keys").at("presses");
    Count n =
        presses.at(plain).get<Count>() + (shifted != 0 ? presses.at(shifted).get<Count>() : 0);
    return 100.0 * static_cast<double>(n) /
           static_cast<double>(l.at("figures").at("keystrokes").get<Count>());
  };
  const auto shiftShare = [](const Json& l, bool left) {
    const KeystrokeCounts c = l.at("counts").get<KeystrokeCounts>();
    return 100.0 * static_cast<double>(left ? c.leftShifts : c.rightShifts) /
           static_cast<double>(l.at("figures").at("keystrokes").get<Count>());
  };
  const auto shown = [&](const std::string& key) {
    const std::size_t at = figure.find("data-k=\"" + key + "\"");
    if (at == std::string::npos) return "no key " + key;
    const std::size_t text = figure.find("class=\"d\">", at) + 10;
    return figure.substr(text, figure.find('<', text) - text);
  };
  const auto expected = [](double difference) {
    char text[32];
    std::snprintf(text, sizeof text, "%+.2f", difference);
    return std::string(text) == "+0.00" || std::string(text) == "-0.00" ? std::string("0.00")
                                                                        : std::string(text);
  };
  int keys = 0;
  for (int k = 0; k < kPhysicalKeys; ++k) {
    const KeyCharacters characters = physicalKeyCharacters(k);
    const std::string name = unescaped(keyName(characters.unshifted));
    std::string attribute = keyName(characters.unshifted);
    if (attribute == "\"") attribute = "&quot;";
    if (attribute == "&") attribute = "&amp;";
    EXPECT_EQ(shown(attribute), expected(share(layout, characters.unshifted, characters.shifted) -
                                         share(baseline, characters.unshifted, characters.shifted)))
        << name;
    ++keys;
  }
  EXPECT_EQ(shown("Left Shift"), expected(shiftShare(layout, true) - shiftShare(baseline, true)));
  EXPECT_EQ(shown("Right Shift"),
            expected(shiftShare(layout, false) - shiftShare(baseline, false)));
  EXPECT_EQ(keys, kPhysicalKeys);
}

void checkText(const std::string& dom, const Json& json) {
  std::size_t from = dom.find("<section id=\"text\"");
  ASSERT_NE(from, std::string::npos);
  const std::string text = dom.substr(from);
  const Json& names = json.at("names");
  const struct {
    const char* chart;
    const char* counts;
    const char* names;
    int first;
  } charts[] = {{"Initial jamo", "initialCount", "initial", 2},
                {"Medial jamo", "medialCount", "medial", 3},
                {"Final jamo", "finalCount", "final", 2}};
  for (const auto& chart : charts) {
    SCOPED_TRACE(chart.chart);
    std::size_t at = 0;
    const std::string svg =
        between(text, at, std::string("aria-label=\"") + chart.chart + ": ", "</svg>");
    std::vector<std::string> expectedLabels;
    std::vector<Count> expectedCounts;
    const Json& counts = json.at("text").at(chart.counts);
    for (std::size_t code = static_cast<std::size_t>(chart.first); code < counts.size(); ++code) {
      const std::string name = names.at(chart.names).at(code).get<std::string>();
      if (name.empty() && counts.at(code).get<Count>() == 0) continue;
      expectedLabels.push_back(name.empty() ? "#" + std::to_string(code) : name);
      expectedCounts.push_back(counts.at(code).get<Count>());
    }
    EXPECT_EQ(textsOfClass(svg, "l"), expectedLabels);
    EXPECT_EQ(countsAsNumbers(textsOfClass(svg, "v")), expectedCounts);
  }
  const struct {
    const char* id;
    const char* table;
    const char* rows;
    const char* columns;
    int firstRow;
  } heats[] = {{"initial-medial", "cheotGaundeIeum", "initial", "medial", 2},
               {"final-initial", "ggeutCheotIeum", "final", "initial", 2}};
  for (const auto& heat : heats) {
    SCOPED_TRACE(heat.id);
    std::size_t at = 0;
    const std::string table =
        between(text, at, std::string("<figure id=\"") + heat.id + "\">", "</table>");
    std::vector<Count> shown;
    for (std::size_t c = table.find("<td"); c != std::string::npos; c = table.find("<td", c + 1))
      shown.push_back(std::strtoll(table.c_str() + table.find('>', c) + 1, nullptr, 10));
    std::vector<Count> expected;
    const Json& cells = json.at("combinations").at(heat.table);
    const Json& columnNames = names.at(heat.columns);
    const Json& rowNames = names.at(heat.rows);
    const Json& rowCounts = json.at("text").at(std::string(heat.rows) + "Count");
    for (std::size_t r = static_cast<std::size_t>(heat.firstRow); r < cells.size(); ++r) {
      // A code without a name that the text never uses has no row.
      if (rowNames.at(r).get<std::string>().empty() && rowCounts.at(r).get<Count>() == 0) continue;
      for (std::size_t k = 0; k < cells[r].size(); ++k) {
        // Medial columns are the named ones; initial columns start at code 2.
        const bool shownColumn = std::string(heat.columns) == "medial"
                                     ? !columnNames.at(k).get<std::string>().empty()
                                     : k >= 2;
        if (shownColumn) expected.push_back(cells[r][k].get<Count>());
      }
    }
    EXPECT_EQ(shown, expected);
  }
}

TEST(HtmlBrowser, ShippedExampleRendersWithTheRunsCounts) {
  if (!haveChromium()) GTEST_SKIP() << "no chromium-headless-shell or chromium";
  TempDirectory dir;
  const Outcome run =
      testing::runProgram(dir, KBEVAL_BINARY,
                          {kExamples + "/sample.txt", "--keyboards=" + kExamples + "/keyboard",
                           "--json=run.json", "--html=run.html", "--quiet"});
  ASSERT_EQ(run.exitStatus, 0) << run.errors;
  std::ifstream jsonFile(dir / "run.json");
  const Json json = Json::parse(jsonFile);
  const Outcome shown = runChromium(dir, dir / "run.html", {"--dump-dom"});
  ASSERT_EQ(shown.exitStatus, 0) << shown.errors;
  const std::string& dom = shown.output;
  ASSERT_NE(dom.find("<html lang=\"en\">"), std::string::npos);

  const Json& layouts = json.at("layouts");
  ASSERT_EQ(layouts.size(), 5u);
  std::size_t from = 0;
  const std::string comparison = between(dom, from, "<table class=\"cmp\">", "</table>");
  for (std::size_t i = 0; i < layouts.size(); ++i) {
    const std::string name = layouts[i].at("name").get<std::string>();
    SCOPED_TRACE(name);
    const std::string anchor = "id=\"layout-" + std::to_string(i) + "\" data-name=\"" + name + "\"";
    const std::size_t start = dom.find(anchor);
    ASSERT_NE(start, std::string::npos);
    const std::string section = dom.substr(start, dom.find("</section>", start) - start);
    EXPECT_NE(comparison.find("<a href=\"#layout-" + std::to_string(i) + "\" lang=\"ko\">" + name +
                              "</a>"),
              std::string::npos);
    checkKeyboard(section, layouts[i]);
    checkCharts(section, layouts[i]);
    checkLoads(dom, name, layouts[i]);
    if (i > 0) checkDifferences(dom, i, layouts[i], layouts[0]);
  }
  EXPECT_EQ(json.at("baseline"), layouts[0].at("name"));
  EXPECT_EQ(dom.find("id=\"vs-0\""), std::string::npos);
  checkText(dom, json);
}

// A layout file named as markup is shown as its name: the browser builds no
// element of it, so nothing in it can run.
TEST(HtmlBrowser, HostileLayoutNameBuildsNoElement) {
  if (!haveChromium()) GTEST_SKIP() << "no chromium-headless-shell or chromium";
  TempDirectory dir;
  std::ifstream layout(kExamples + "/keyboard/3-390.txt", std::ios::binary);
  dir.write("keyboard/<img src=x onerror=alert(1)>.txt",
            std::string(std::istreambuf_iterator<char>(layout), {}));
  dir.write("sample.txt", "\x88\x61\x88\x62 7?\r\n");
  ASSERT_EQ(testing::runProgram(dir, KBEVAL_BINARY, {"sample.txt", "--html=r.html"}).exitStatus, 0);
  const Outcome shown = runChromium(dir, dir / "r.html", {"--dump-dom"});
  ASSERT_EQ(shown.exitStatus, 0) << shown.errors;
  EXPECT_EQ(shown.output.find("<img"), std::string::npos);
  EXPECT_NE(
      shown.output.find("<h2><span lang=\"ko\">&lt;img src=x onerror=alert(1)&gt;</span><small>"),
      std::string::npos);
}

// On a phone-sized window (400 pixels) nothing pans sideways: the page is no
// wider than the window. A copy of the page measures itself with a script
// appended for the test, which writes the widths into the DOM.
TEST(HtmlBrowser, NarrowWindowDoesNotPan) {
  if (!haveChromium()) GTEST_SKIP() << "no chromium-headless-shell or chromium";
  TempDirectory dir;
  const Outcome run = testing::runProgram(
      dir, KBEVAL_BINARY,
      {kExamples + "/sample.txt", "--keyboards=" + kExamples + "/keyboard", "--html=run.html"});
  ASSERT_EQ(run.exitStatus, 0) << run.errors;
  std::ifstream in(dir / "run.html", std::ios::binary);
  std::string page(std::istreambuf_iterator<char>(in), {});
  const std::size_t end = page.rfind("</body>");
  ASSERT_NE(end, std::string::npos);
  page.insert(end,
              "<script>var p=document.createElement('pre');p.id='measured';p.textContent="
              "'width '+document.documentElement.scrollWidth+' window '+window.innerWidth;"
              "document.body.appendChild(p)</script>");
  dir.write("measured.html", page);
  const Outcome shown = runChromium(dir, dir / "measured.html",
                                    {"--window-size=400,900", "--hide-scrollbars", "--dump-dom"});
  ASSERT_EQ(shown.exitStatus, 0) << shown.errors;
  std::size_t at = 0;
  const std::string measured = between(shown.output, at, "<pre id=\"measured\">", "</pre>");
  int width = 0, window = 0;
  ASSERT_EQ(std::sscanf(measured.c_str(), "width %d window %d", &width, &window), 2) << measured;
  EXPECT_EQ(window, 400);
  EXPECT_LE(width, window);
}

// Printing makes pages: one for the comparison at least, and one per layout,
// each keyboard kept on one page.
TEST(HtmlBrowser, PrintsToPages) {
  if (!haveChromium()) GTEST_SKIP() << "no chromium-headless-shell or chromium";
  TempDirectory dir;
  const Outcome run = testing::runProgram(
      dir, KBEVAL_BINARY,
      {kExamples + "/sample.txt", "--keyboards=" + kExamples + "/keyboard", "--html=run.html"});
  ASSERT_EQ(run.exitStatus, 0) << run.errors;
  const Outcome printed = runChromium(
      dir, dir / "run.html", {"--no-pdf-header-footer", "--print-to-pdf=" + (dir / "run.pdf")});
  ASSERT_EQ(printed.exitStatus, 0) << printed.errors;
  std::ifstream in(dir / "run.pdf", std::ios::binary);
  const std::string pdf(std::istreambuf_iterator<char>(in), {});
  ASSERT_TRUE(pdf.starts_with("%PDF-"));
  std::size_t pages = 0;
  for (std::size_t at = pdf.find("/Type /Page"); at != std::string::npos;
       at = pdf.find("/Type /Page", at + 1)) {
    if (pdf.compare(at, 12, "/Type /Pages") != 0) ++pages;
  }
  EXPECT_GT(pages, 5u);  // five layouts, each from a new page, after the comparison
}

#ifdef KBEVAL_HAVE_PNG
// The screenshot is no blank page: many colours, much ink, and keys painted
// on both scales: the heat scale's red middle and the difference scale's
// purple and orange ends.
TEST(HtmlBrowser, ScreenshotShowsThePaintedKeyboards) {
  if (!haveChromium()) GTEST_SKIP() << "no chromium-headless-shell or chromium";
  TempDirectory dir;
  const Outcome run = testing::runProgram(
      dir, KBEVAL_BINARY,
      {kExamples + "/sample.txt", "--keyboards=" + kExamples + "/keyboard", "--html=run.html"});
  ASSERT_EQ(run.exitStatus, 0) << run.errors;
  const Outcome shot = runChromium(
      dir, dir / "run.html",
      {"--hide-scrollbars", "--window-size=1400,1600", "--screenshot=" + (dir / "shot.png")});
  ASSERT_EQ(shot.exitStatus, 0) << shot.errors;
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_file(&image, (dir / "shot.png").c_str()));
  image.format = PNG_FORMAT_RGB;
  std::vector<unsigned char> pixels(PNG_IMAGE_SIZE(image));
  ASSERT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr));
  std::set<unsigned> colours;
  std::size_t ink = 0, heatRed = 0, lessPurple = 0, moreOrange = 0;
  for (std::size_t at = 0; at + 2 < pixels.size(); at += 3) {
    const unsigned r = pixels[at], g = pixels[at + 1], b = pixels[at + 2];
    colours.insert(r << 16 | g << 8 | b);
    if (r + g + b < 720) ++ink;
    if (r > 200 && g < 130 && b > 70 && b < 140) ++heatRed;       // about #de4968..#f7705c
    if (b > 130 && r < 190 && g + 20 < b && r > g) ++lessPurple;  // about #542788..#998ec3
    if (r > 170 && g > 80 && g < 175 && b < 80) ++moreOrange;     // about #f1a340..#b35806
  }
  const std::size_t all = pixels.size() / 3;
  EXPECT_EQ(all, 1400u * 1600u);
  EXPECT_GT(colours.size(), 200u);
  EXPECT_GT(ink, all / 15);
  // A key is about 56 by 56 pixels: each colour fills several keys.
  EXPECT_GT(heatRed, 5000u);
  EXPECT_GT(lessPurple, 5000u);
  EXPECT_GT(moreOrange, 5000u);
}
#else
TEST(HtmlBrowser, ScreenshotShowsThePaintedKeyboards) {
  GTEST_SKIP() << "built without libpng: the screenshot cannot be read";
}
#endif

}  // namespace
}  // namespace kbeval
