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
                    std::vector<std::string> arguments) {
  const std::vector<std::string> common = {"--no-sandbox",
                                           "--disable-gpu",
                                           "--no-first-run",
                                           "--disable-background-networking",
                                           "--disable-component-update",
                                           "--disable-sync",
                                           "--user-data-dir=" + (dir / "profile")};
  arguments.insert(arguments.begin(), common.begin(), common.end());
  arguments.push_back("file://" + page);
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
    EXPECT_EQ(plain.types, expectedTypes(plainByte));
    Count both = plain.presses;
    const std::vector<std::string> capPlain = textsOfClass(face, "u");
    const std::vector<std::string> capFinal = textsOfClass(face, "u fin");
    const std::string shownPlain =
        capPlain.empty() ? (capFinal.empty() ? "" : capFinal[0]) : capPlain[0];
    EXPECT_EQ(shownPlain, withoutFinal(labels.at(plainByte).get<std::string>()));
    if (title.compare(cursor, 2, "; ") == 0) {
      cursor += 2;
      const Level shifted = readLevel(title, cursor);
      ASSERT_TRUE(byName.count(shifted.name));
      const int shiftedByte = byName[shifted.name];
      EXPECT_EQ(shifted.presses, presses.at(shiftedByte).get<Count>());
      EXPECT_EQ(shifted.types, expectedTypes(shiftedByte));
      both += shifted.presses;
      std::vector<std::string> capShifted = textsOfClass(face, "s");
      for (const std::string& t : textsOfClass(face, "s fin")) capShifted.push_back(t);
      EXPECT_EQ(capShifted.empty() ? "" : capShifted[0],
                withoutFinal(labels.at(shiftedByte).get<std::string>()));
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
  const std::string rows = between(section, from, "aria-label=\"key presses per row\"", "</svg>");
  std::vector<Count> expectedRows;
  for (int row = 5; row >= 2; --row) {
    Count n = 0;
    for (const auto& columns : counts.generalKeyTable) n += columns[static_cast<std::size_t>(row)];
    expectedRows.push_back(n);
  }
  EXPECT_EQ(countsAsNumbers(textsOfClass(rows, "v")), expectedRows);
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
        between(text, at, std::string("aria-label=\"") + chart.chart + "\"", "</svg>");
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
    for (std::size_t r = static_cast<std::size_t>(heat.firstRow); r < cells.size(); ++r) {
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
  ASSERT_NE(dom.find("<html lang=\"ko\">"), std::string::npos);

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
    EXPECT_NE(comparison.find("<a href=\"#layout-" + std::to_string(i) + "\">" + name + "</a>"),
              std::string::npos);
    checkKeyboard(section, layouts[i]);
    checkCharts(section, layouts[i]);
  }
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
  EXPECT_NE(shown.output.find("<h2>&lt;img src=x onerror=alert(1)&gt;<small>"), std::string::npos);
}

#ifdef KBEVAL_HAVE_PNG
// The screenshot is no blank page: many colours, much ink, and the heat
// scale's dark end painted where the space bar (every layout's busiest key)
// is drawn.
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
  std::size_t ink = 0, darkPurple = 0;
  for (std::size_t at = 0; at + 2 < pixels.size(); at += 3) {
    const unsigned r = pixels[at], g = pixels[at + 1], b = pixels[at + 2];
    colours.insert(r << 16 | g << 8 | b);
    if (r + g + b < 720) ++ink;
    if (r < 60 && g < 40 && b > 40 && b < 90) ++darkPurple;
  }
  const std::size_t all = pixels.size() / 3;
  EXPECT_EQ(all, 1400u * 1600u);
  EXPECT_GT(colours.size(), 200u);
  EXPECT_GT(ink, all / 10);
  EXPECT_GT(darkPurple, 10000u);  // the space bar alone is about 370 by 56 pixels
}
#else
TEST(HtmlBrowser, ScreenshotShowsThePaintedKeyboards) {
  GTEST_SKIP() << "built without libpng: the screenshot cannot be read";
}
#endif

}  // namespace
}  // namespace kbeval
