// Every number the views show, against the printed reports of the same
// sample and layouts: the reports' text is read back here, the figures are
// worked out from it as the README defines them, and each view must agree.
// Cases: the shipped example, texts and layouts made at random (layouts by
// shuffling the keys of the shipped ones), and small texts built to hit ties
// and edges: fingers with equal loads, a one-hand run of exactly 10, nothing
// typed. A view joins by adding a row to kViews.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "in_process.h"
#include "keyboard_rows.h"
#include "temp_directory.h"
#include "views/json_read_back.h"

namespace kbeval {
namespace {

using testing::Json;
using testing::Outcome;
using testing::TempDirectory;

const std::string kExamples = KBEVAL_EXAMPLES;
constexpr const char* kFingerNames[] = {"L5", "L4", "L3", "L2", "R2", "R3", "R4", "R5"};

// One layout's keystroke report, read back.
struct LayoutReport {
  std::string name, fingering;
  int setType = 0;
  Count general = 0, generalLeft = 0, generalRight = 0;
  Count shift = 0, shiftLeft = 0, shiftRight = 0, enter = 0;
  Count totalLeft = 0, totalRight = 0, space = 0, untreated = 0;
  Count fingers[8] = {};               // L5..L2, R2..R5
  std::map<int, Count> runStrokes[2];  // per hand: run length -> its strokes
  Count sameKey = 0, sameKeyLeft = 0, sameKeyRight = 0;
  Count oneFinger = 0, oneFingerLeft = 0, oneFingerRight = 0;
  Count totalKeys[4][8] = {};     // rows 5, 4, 3, 2 by finger
  Count generalKeys[4][10] = {};  // rows 5, 4, 3, 2 by column
};

// A combination table of the text report: its rows in order, each with
// whether it has a jamo label (code 18 of the finals prints without one).
struct CombinationRow {
  bool labelled = true;
  std::vector<Count> cells;
};

struct Reports {
  std::string bytesLine;
  Count syllables = -1, digits = -1, signs = -1, enter = -1, space = -1;
  std::vector<CombinationRow> initialMedial, finalInitial;
  std::vector<LayoutReport> layouts;
};

// Reads `text`, the output of kbeval with /i /j /2 /3.
Reports readReports(const std::string& text) {
  Reports r;
  std::istringstream in(text);
  std::string line;
  std::getline(in, r.bytesLine);
  LayoutReport* layout = nullptr;
  enum { none, fingers, runs, totalTable, generalTable } section = none;
  int sectionLine = 0;
  while (std::getline(in, line)) {
    long long a = 0, b = 0, c = 0;
    const char* s = line.c_str();
    if (line.starts_with("*** Result of ")) {
      r.layouts.emplace_back();
      layout = &r.layouts.back();
      const std::size_t open = line.rfind(" (");
      layout->name = line.substr(14, open - 14);
      char fingering[64] = {};
      std::sscanf(s + open, " (%d Sets, %63s Fingering)", &layout->setType, fingering);
      layout->fingering = fingering;
      section = none;
      continue;
    }
    if (line == "Cheotsori-Gaungetsori ieum" || line == "Ggeutsori-Cheotsori ieum") {
      auto& table = line[0] == 'C' ? r.initialMedial : r.finalInitial;
      std::getline(in, line);  // the column labels
      while (std::getline(in, line) && !line.empty()) {
        CombinationRow& row = table.emplace_back();
        row.labelled = line[0] != ' ';
        std::istringstream cells(line.substr(line.find(' ')));
        for (Count n; cells >> n;) row.cells.push_back(n);
      }
      continue;
    }
    if (layout == nullptr) {
      Count* field = line.starts_with("Hangeul Natnae: ") ? &r.syllables
                     : line.starts_with("Digits: ")       ? &r.digits
                     : line.starts_with("Signs: ")        ? &r.signs
                     : line.starts_with("Enter : ")       ? &r.enter
                     : line.starts_with("Space : ")       ? &r.space
                                                          : nullptr;
      if (field != nullptr && *field < 0) *field = std::stoll(line.substr(line.find(':') + 1));
      continue;
    }
    LayoutReport& l = *layout;
    if (section == fingers || section == runs) {
      const int hand = line.starts_with(" L:") ? 0 : 1;
      std::istringstream items(line.size() > 3 ? line.substr(3) : "");
      for (std::string item; items >> item;) {
        long long first = 0, second = 0;
        if (std::sscanf(item.c_str(), "%lld:%lld", &first, &second) != 2) continue;
        if (section == fingers) {
          l.fingers[hand == 0 ? 5 - first : first + 2] = second;
        } else {
          l.runStrokes[hand][static_cast<int>(first)] = second;
        }
      }
      if (++sectionLine == 2) section = none;
    } else if (section == totalTable || section == generalTable) {
      if (sectionLine > 0) {
        std::istringstream cells(line);
        for (int column = 0; column < (section == totalTable ? 8 : 10); ++column) {
          cells >> (section == totalTable ? l.totalKeys[sectionLine - 1][column]
                                          : l.generalKeys[sectionLine - 1][column]);
        }
      }
      if (++sectionLine == 5) section = none;
    } else if (std::sscanf(s, "General-key stokes(L/R): %lld (%lld/%lld)", &a, &b, &c) == 3) {
      l.general = a, l.generalLeft = b, l.generalRight = c;
    } else if (std::sscanf(s, "Shift-key strokes(L/R): %lld (%lld/%lld)", &a, &b, &c) == 3) {
      l.shift = a, l.shiftLeft = b, l.shiftRight = c;
    } else if (std::sscanf(s, "Counted enter strokes : %lld", &a) == 1) {
      l.enter = a;
    } else if (std::sscanf(s, "Total keystrokes except space (L/R): %lld (%lld/%lld)", &a, &b,
                           &c) == 3) {
      l.totalLeft = b, l.totalRight = c, section = fingers, sectionLine = 0;
    } else if (std::sscanf(s, "Counted space strokes : %lld", &a) == 1) {
      l.space = a;
    } else if (std::sscanf(s, "Untreated characters: %lld", &a) == 1) {
      l.untreated = a;
    } else if (line == "Continuous one-hand strokes frequency distribution") {
      section = runs, sectionLine = 0;
    } else if (std::sscanf(s, "Continuous same-key strokes (L/R) : %lld (%lld/%lld)", &a, &b, &c) ==
               3) {
      l.sameKey = a, l.sameKeyLeft = b, l.sameKeyRight = c;
    } else if (std::sscanf(s, "Total Continuous one-finger strokes : %lld (L:%lld R:%lld)", &a, &b,
                           &c) == 3) {
      l.oneFinger = a, l.oneFingerLeft = b, l.oneFingerRight = c;
    } else if (line == "Finger/Line frequency (Total key) :") {
      section = totalTable, sectionLine = 0;
    } else if (line == "Finger/Line frequency (General key) :") {
      section = generalTable, sectionLine = 0;
    }
  }
  return r;
}

// The comparison figures as the README defines them from the reports.
struct Figures {
  Count keystrokes = 0;
  double perSyllable = 0, per100 = 0, shift = 0, left = 0, right = 0, home = 0, numberRow = 0;
  double sameFinger = 0, sameKey = 0, run4 = 0, busiestLoad = 0;
  std::string busiest;  // "-" when no finger was used
};

double percent(Count part, Count whole) {
  return whole == 0 ? 0 : 100.0 * static_cast<double>(part) / static_cast<double>(whole);
}

Figures figuresOf(const Reports& r, const LayoutReport& l) {
  Figures f;
  f.keystrokes = l.general + l.shift;
  f.perSyllable = r.syllables == 0 ? 0 : static_cast<double>(f.keystrokes) / r.syllables;
  f.per100 = percent(f.keystrokes, r.syllables + r.digits + r.signs + r.enter + r.space);
  f.shift = percent(l.shift, f.keystrokes);
  f.left = percent(l.totalLeft, l.totalLeft + l.totalRight);
  f.right = percent(l.totalRight, l.totalLeft + l.totalRight);
  Count rows[4] = {};
  for (int row = 0; row < 4; ++row) {
    for (Count n : l.generalKeys[row]) rows[row] += n;
  }
  f.home = percent(rows[2], rows[0] + rows[1] + rows[2] + rows[3]);
  f.numberRow = percent(rows[0], rows[0] + rows[1] + rows[2] + rows[3]);
  f.sameFinger = percent(l.oneFinger - l.sameKey, f.keystrokes);
  f.sameKey = percent(l.sameKey, f.keystrokes);
  Count shortRuns = 0;
  for (const auto& hand : l.runStrokes) {
    for (const auto& [length, strokes] : hand) shortRuns += length < 4 ? strokes : 0;
  }
  f.run4 = percent(f.keystrokes - shortRuns, f.keystrokes);
  Count sum = 0, most = 0;
  f.busiest = "-";
  for (int i = 0; i < 8; ++i) {
    sum += l.fingers[i];
    if (l.fingers[i] > most) most = l.fingers[i], f.busiest = kFingerNames[i];
  }
  f.busiestLoad = percent(most, sum);
  return f;
}

// A printed figure agrees when the exact one rounds to it.
void expectPrinted(const std::string& cell, double exact, const char* what) {
  const std::size_t point = cell.find('.');
  const int decimals = point == std::string::npos ? 0 : static_cast<int>(cell.size() - point - 1);
  EXPECT_LE(std::abs(std::stod(cell) - exact), 0.5 * std::pow(10.0, -decimals) + 1e-9)
      << what << ": printed " << cell << ", worked out " << exact;
}

void expectClose(double shown, double exact, const char* what) {
  EXPECT_NEAR(shown, exact, 1e-9 * std::max(1.0, std::abs(exact))) << what;
}

// --json: the text counts, every layout's counts, figures and per-key counts.
void checkJson(const Reports& r, const Outcome&, const TempDirectory& dir) {
  std::ifstream in(dir / "view.json");
  const Json json = Json::parse(in);
  EXPECT_EQ(r.bytesLine,
            "Reading " + std::to_string(json.at("sample").at("bytes").get<Count>()) + " bytes");
  const Json& text = json.at("text");
  EXPECT_EQ(text.at("natnaeCount").get<Count>(), r.syllables);
  EXPECT_EQ(text.at("digitCount").get<Count>(), r.digits);
  Count signs = -r.digits;  // the sign counts hold the digits too
  for (Count n : text.at("signCount").get<std::vector<Count>>()) signs += n;
  for (Count n : text.at("symbolCount").get<std::vector<Count>>()) signs += n;
  EXPECT_EQ(signs, r.signs);
  EXPECT_EQ(text.at("enterCount").get<Count>(), r.enter);
  EXPECT_EQ(text.at("spaceCount").get<Count>(), r.space);

  const Json& layouts = json.at("layouts");
  ASSERT_EQ(layouts.size(), r.layouts.size());
  for (std::size_t i = 0; i < layouts.size(); ++i) {
    const LayoutReport& l = r.layouts[i];
    const Json& j = layouts[i];
    SCOPED_TRACE(l.name);
    EXPECT_EQ(j.at("name").get<std::string>(), l.name);
    EXPECT_EQ(j.at("setType").get<int>(), l.setType);
    EXPECT_EQ(j.at("untreatedCount").get<Count>(), l.untreated);
    const Json& c = j.at("counts");
    const std::pair<const char*, Count> counts[] = {{"keyStrokes", l.general},
                                                    {"leftKeys", l.generalLeft},
                                                    {"rightKeys", l.generalRight},
                                                    {"shiftStrokes", l.shift},
                                                    {"leftShifts", l.shiftLeft},
                                                    {"rightShifts", l.shiftRight},
                                                    {"enterStrokes", l.enter},
                                                    {"spaceStrokes", l.space},
                                                    {"leftTotal", l.totalLeft},
                                                    {"rightTotal", l.totalRight},
                                                    {"sameKeyStrokes", l.sameKey},
                                                    {"leftSameKey", l.sameKeyLeft},
                                                    {"rightSameKey", l.sameKeyRight},
                                                    {"leftSameFinger", l.oneFingerLeft},
                                                    {"rightSameFinger", l.oneFingerRight}};
    for (const auto& [field, value] : counts) EXPECT_EQ(c.at(field).get<Count>(), value) << field;
    const int slots[] = {0, 1, 2, 3, 6, 7, 8, 9};
    for (int f = 0; f < 8; ++f) {
      EXPECT_EQ(c.at("fingerCount")[slots[f]].get<Count>(), l.fingers[f]) << kFingerNames[f];
      for (int row = 0; row < 4; ++row) {
        EXPECT_EQ(c.at("totalKeyTable")[slots[f]][5 - row].get<Count>(), l.totalKeys[row][f]);
      }
    }
    for (int column = 0; column < 10; ++column) {
      for (int row = 0; row < 4; ++row) {
        EXPECT_EQ(c.at("generalKeyTable")[column][5 - row].get<Count>(),
                  l.generalKeys[row][column]);
      }
    }
    // Run buckets: the report prints lengths 1 to 12, as strokes.
    for (int hand = 0; hand < 2; ++hand) {
      const Json& runs = c.at("oneHandRuns")[hand];
      for (int length = 1; length <= 12; ++length) {
        const auto printed = l.runStrokes[hand].find(length);
        EXPECT_EQ(runs[length - 1].get<Count>() * length,
                  printed == l.runStrokes[hand].end() ? 0 : printed->second)
            << "hand " << hand << " runs of " << length;
      }
    }

    const Figures want = figuresOf(r, l);
    const Json& f = j.at("figures");
    EXPECT_EQ(f.at("keystrokes").get<Count>(), want.keystrokes);
    EXPECT_EQ(f.at("syllables").get<Count>(), r.syllables);
    EXPECT_EQ(f.at("untreated").get<Count>(), l.untreated);
    expectClose(f.at("keystrokesPerSyllable"), want.perSyllable, "keys/syllable");
    expectClose(f.at("keystrokesPer100Characters"), want.per100, "keys/100");
    expectClose(f.at("shiftShare"), want.shift, "shift");
    expectClose(f.at("leftHandShare"), want.left, "left");
    expectClose(f.at("rightHandShare"), want.right, "right");
    expectClose(f.at("homeRowShare"), want.home, "home");
    expectClose(f.at("numberRowShare"), want.numberRow, "number row");
    expectClose(f.at("sameFingerShare"), want.sameFinger, "same finger");
    expectClose(f.at("sameKeyShare"), want.sameKey, "same key");
    expectClose(f.at("longOneHandRunShare"), want.run4, "run 4+");
    expectClose(f.at("busiestFingerLoad"), want.busiestLoad, "busiest load");
    EXPECT_EQ(f.at("busiestFinger").get<std::string>(), want.busiest == "-" ? "L5" : want.busiest);

    // Per-key counts: all presses are the general strokes; by row of the
    // board they are the Total key table's rows (Shift presses are in its
    // bottom row); space and Enter are their strokes.
    const auto presses = j.at("keys").at("presses").get<std::vector<Count>>();
    const auto shiftPresses = j.at("keys").at("shiftPresses").get<std::vector<Count>>();
    Count all = 0, shifts = 0, byRow[6] = {};
    for (int byte = 0; byte < 256; ++byte) {
      all += presses[byte];
      shifts += shiftPresses[byte];
      const auto key = testing::boardKey(static_cast<char>(byte));
      if (key && key->row >= 2) byRow[key->row] += presses[byte];
    }
    EXPECT_EQ(all, l.general);
    EXPECT_EQ(shifts, l.shift);
    EXPECT_EQ(presses[' '], l.space);
    EXPECT_EQ(presses['\n'], l.enter);
    for (int row = 2; row <= 5; ++row) {
      Count total = 0;
      for (Count n : l.totalKeys[5 - row]) total += n;
      EXPECT_EQ(byRow[row] + (row == 2 ? l.shift : 0), total) << "row " << row;
    }
  }
}

// --compare: one table row per layout, every cell as the figures round.
void checkCompare(const Reports& r, const Outcome& outcome, const TempDirectory&) {
  std::istringstream in(outcome.output);
  std::string line;
  while (std::getline(in, line) && !line.starts_with("Layout ")) {
  }
  std::getline(in, line);  // the rule under the heading
  for (const LayoutReport& l : r.layouts) {
    SCOPED_TRACE(l.name);
    ASSERT_TRUE(std::getline(in, line));
    std::istringstream cells(line);
    std::vector<std::string> cell;
    for (std::string c; cells >> c;) cell.push_back(c);
    const Figures want = figuresOf(r, l);
    ASSERT_EQ(cell.size(), want.busiest == "-" ? 14u : 15u) << line;
    EXPECT_EQ(cell[0], l.name);
    EXPECT_EQ(cell[1], std::to_string(l.setType));
    EXPECT_EQ(cell[2], l.fingering);
    expectPrinted(cell[3], want.perSyllable, "Keys/syl");
    expectPrinted(cell[4], want.per100, "Keys/100");
    expectPrinted(cell[5], want.shift, "Shift%");
    const std::size_t slash = cell[6].find('/');
    expectPrinted(cell[6].substr(0, slash), want.left, "Left");
    expectPrinted(cell[6].substr(slash + 1), want.right, "Right");
    expectPrinted(cell[7], want.home, "Home%");
    expectPrinted(cell[8], want.numberRow, "NumRow%");
    expectPrinted(cell[9], want.sameFinger, "SameFgr%");
    expectPrinted(cell[10], want.sameKey, "SameKey%");
    expectPrinted(cell[11], want.run4, "Run4+%");
    EXPECT_EQ(cell[12], want.busiest);
    if (want.busiest != "-") {
      ASSERT_TRUE(cell[13].ends_with("%"));
      expectPrinted(cell[13].substr(0, cell[13].size() - 1), want.busiestLoad, "Busiest");
    }
    EXPECT_EQ(cell.back(), std::to_string(l.untreated));
  }
}

// The cells of the rows of the first table after `from` whose opening tag
// is `tableTag`, as (attributes, content) pairs; the header cells apart.
struct HtmlTable {
  std::vector<std::string> headers;  // th contents
  std::vector<std::vector<std::pair<std::string, std::string>>> rows;
};

HtmlTable readHtmlTable(const std::string& html, const std::string& tableTag, std::size_t from) {
  HtmlTable table;
  const std::size_t begin = html.find(tableTag, from);
  if (begin == std::string::npos) return table;
  const std::size_t body = html.find("<tbody>", begin);
  const std::string head = html.substr(begin, body - begin);
  // A cell ends where the next begins ("</td>" may be left out).
  const std::regex headerCell("<th[^>]*>(.*?)</th>");
  for (auto it = std::sregex_iterator(head.begin(), head.end(), headerCell);
       it != std::sregex_iterator(); ++it) {
    table.headers.push_back((*it)[1]);
  }
  const std::string rows = html.substr(body, html.find("</tbody>", body) - body);
  const std::regex cell("<t([dh])([^>]*)>(.*?)(?=<t[dh][ >]|</tr>)");
  std::size_t at = 0;
  while ((at = rows.find("<tr", at)) != std::string::npos) {
    const std::size_t end = rows.find("</tr>", at);
    const std::string row = rows.substr(at, end + 5 - at);
    auto& cells = table.rows.emplace_back();
    for (auto it = std::sregex_iterator(row.begin(), row.end(), cell); it != std::sregex_iterator();
         ++it) {
      std::string content = (*it)[3];
      if (content.ends_with("</td>") || content.ends_with("</th>"))
        content.resize(content.size() - 5);
      cells.emplace_back((*it)[2], content);
    }
    at = end;
  }
  return table;
}

// --html: the text's counts, every layout's line, the comparison table's
// figures, ranks and differences from the baseline, and the two jamo
// junction tables with their colour steps.
void checkHtml(const Reports& r, const Outcome&, const TempDirectory& dir) {
  const std::string html = testing::readFile(dir / "view.html");
  std::smatch m;
  const std::regex textLine(
      "<b>(\\d+)</b> Hangul syllables \xC2\xB7 (\\d+) digits \xC2\xB7 (\\d+) signs \xC2\xB7 "
      "(\\d+) line feeds \xC2\xB7 (\\d+) spaces");
  ASSERT_TRUE(std::regex_search(html, m, textLine));
  EXPECT_EQ(std::stoll(m[1]), r.syllables);
  EXPECT_EQ(std::stoll(m[2]), r.digits);
  EXPECT_EQ(std::stoll(m[3]), r.signs);
  EXPECT_EQ(std::stoll(m[4]), r.enter);
  EXPECT_EQ(std::stoll(m[5]), r.space);

  // Each layout's section: its keystrokes, presses, Shift presses, per
  // syllable and untreated characters.
  const std::regex layoutLine(
      "<b>(\\d+)</b> keystrokes \\((\\d+) key presses, (\\d+) Shift presses\\) \xC2\xB7 "
      "<b>([0-9.]+)</b> per syllable \xC2\xB7 (\\d+) untreated");
  std::size_t found = 0;
  for (auto it = std::sregex_iterator(html.begin(), html.end(), layoutLine);
       it != std::sregex_iterator() && found < r.layouts.size(); ++it, ++found) {
    const LayoutReport& l = r.layouts[found];
    SCOPED_TRACE(l.name);
    EXPECT_EQ(std::stoll((*it)[1]), l.general + l.shift);
    EXPECT_EQ(std::stoll((*it)[2]), l.general);
    EXPECT_EQ(std::stoll((*it)[3]), l.shift);
    expectPrinted((*it)[4], figuresOf(r, l).perSyllable, "per syllable");
    EXPECT_EQ(std::stoll((*it)[5]), l.untreated);
  }
  EXPECT_EQ(found, r.layouts.size());

  // The comparison table, its columns found by their headers. A figure's
  // rank is 1 + the layouts whose printed figure is strictly better; its
  // difference is from the baseline's exact figure (the first layout).
  const HtmlTable cmp = readHtmlTable(html, "<table class=\"cmp\">", 0);
  ASSERT_EQ(cmp.rows.size(), r.layouts.size());
  std::vector<Figures> want;
  for (const LayoutReport& l : r.layouts) want.push_back(figuresOf(r, l));
  const std::regex valueAndRank("([^<]*)(?:<sup title=\"rank\">(\\d+)</sup>)?");
  for (std::size_t column = 0; column < cmp.headers.size(); ++column) {
    const std::string header = cmp.headers[column].substr(0, cmp.headers[column].find('<'));
    const std::string& arrow = cmp.headers[column];
    const int better = arrow.find("\xE2\x86\x93") != std::string::npos   ? -1  // ↓
                       : arrow.find("\xE2\x86\x91") != std::string::npos ? 1   // ↑
                       : arrow.find("\xE2\x86\x94") != std::string::npos ? 0   // ↔ 50/50
                                                                         : 2;  // not ranked
    std::function<double(const Figures&, const LayoutReport&)> exact;
    if (header == "Keys/syl") exact = [](const Figures& f, auto&) { return f.perSyllable; };
    if (header == "Keys/100") exact = [](const Figures& f, auto&) { return f.per100; };
    if (header == "Shift%") exact = [](const Figures& f, auto&) { return f.shift; };
    if (header == "Left/Right") exact = [](const Figures& f, auto&) { return f.left; };
    if (header == "Home%") exact = [](const Figures& f, auto&) { return f.home; };
    if (header == "NumRow%") exact = [](const Figures& f, auto&) { return f.numberRow; };
    if (header == "SameFgr%") exact = [](const Figures& f, auto&) { return f.sameFinger; };
    if (header == "SameKey%") exact = [](const Figures& f, auto&) { return f.sameKey; };
    if (header == "Run4+%") exact = [](const Figures& f, auto&) { return f.run4; };
    if (header == "Busiest") exact = [](const Figures& f, auto&) { return f.busiestLoad; };
    if (header == "Untreated") {
      exact = [](const Figures&, const LayoutReport& l) {
        return static_cast<double>(l.untreated);
      };
    }
    if (!exact) continue;
    SCOPED_TRACE(header);
    std::vector<double> merit;
    std::vector<int> ranks;
    for (std::size_t row = 0; row < cmp.rows.size(); ++row) {
      const std::string& cell = cmp.rows[row][column].second;
      ASSERT_TRUE(std::regex_match(cell, m, valueAndRank)) << cell;
      std::string printed = m[1];
      ranks.push_back(m[2].matched ? std::stoi(m[2]) : 0);
      if (header == "Busiest") {
        if (want[row].busiest == "-") {
          merit.push_back(0);
          continue;
        }
        EXPECT_TRUE(printed.starts_with(want[row].busiest + " ")) << printed;
        printed = printed.substr(printed.find(' ') + 1);
        printed.pop_back();  // '%'
      }
      if (header == "Left/Right") {
        const std::string right = printed.substr(printed.find('/') + 1);
        printed.resize(printed.find('/'));
        expectPrinted(right, want[row].right, "right");
      }
      expectPrinted(printed, exact(want[row], r.layouts[row]), "value");
      const double value = std::stod(printed);
      merit.push_back(better == 0 ? -std::abs(value - 50) : better == -1 ? -value : value);
      // The difference from the baseline, in the column after the figure.
      const std::string difference = cmp.rows[row][column + 1].second;
      if (row == 0) {
        EXPECT_EQ(difference, "");
      } else if (!difference.empty()) {
        expectPrinted(difference, exact(want[row], r.layouts[row]) - exact(want[0], r.layouts[0]),
                      "difference");
      }
    }
    if (header == "Busiest" && want[0].busiest == "-") continue;
    for (std::size_t row = 0; row < merit.size(); ++row) {
      const int rank =
          1 + static_cast<int>(std::count_if(merit.begin(), merit.end(),
                                             [&](double x) { return x > merit[row]; }));
      EXPECT_EQ(ranks[row], rank) << "row " << row;
    }
  }

  // The junction tables: counts as the text report's, colour step
  // 16 * count / the table's largest, rounded down, the largest in step 15.
  const std::pair<const char*, const std::vector<CombinationRow>*> tables[] = {
      {"<figure id=\"initial-medial\">", &r.initialMedial},
      {"<figure id=\"final-initial\">", &r.finalInitial}};
  for (const auto& [figure, report] : tables) {
    SCOPED_TRACE(figure);
    const std::size_t at = html.find(figure);
    ASSERT_NE(at, std::string::npos);
    const HtmlTable heat = readHtmlTable(html, "<table class=\"heat\">", at);
    Count largest = 0;
    for (const CombinationRow& row : *report) {
      for (Count n : row.cells) largest = std::max(largest, n);
    }
    std::size_t next = 0;  // the report's next row
    for (const auto& cells : heat.rows) {
      ASSERT_FALSE(cells.empty());
      const bool labelled = !cells[0].second.starts_with("#");
      // An unlabelled code has a row only when the text uses it.
      while (next < report->size() && (*report)[next].labelled != labelled) {
        for (Count n : (*report)[next].cells) EXPECT_EQ(n, 0);
        ++next;
      }
      ASSERT_LT(next, report->size());
      const std::vector<Count>& want = (*report)[next++].cells;
      ASSERT_EQ(cells.size(), want.size() + 1);
      for (std::size_t k = 0; k < want.size(); ++k) {
        const auto& [attributes, content] = cells[k + 1];
        EXPECT_EQ(std::stoll(content), want[k]);
        const std::string step =
            want[k] == 0 ? ""
                         : " class=h" + std::to_string(std::min<Count>(15, 16 * want[k] / largest));
        EXPECT_EQ(attributes, step) << "count " << want[k] << " of at most " << largest;
      }
    }
  }
}

struct View {
  const char* name;
  std::vector<std::string> arguments;
  void (*check)(const Reports&, const Outcome&, const TempDirectory&);
};
const View kViews[] = {
    {"json", {"--json=view.json"}, checkJson},
    {"compare", {"--compare"}, checkCompare},
    {"html", {"--html=view.html"}, checkHtml},
};

// Runs the reports and every view on the sample and layouts in `dir`.
void checkViews(const TempDirectory& dir) {
  const std::vector<std::string> common = {"sample.txt", "--keyboards=keyboard", "/2", "/3"};
  std::vector<std::string> printed = common;
  printed.insert(printed.end(), {"/i", "/j"});
  const Outcome reportsRun = testing::runKbeval(dir, printed);
  ASSERT_EQ(reportsRun.exitStatus, 0) << reportsRun.errors;
  const Reports reports = readReports(reportsRun.output);
  ASSERT_GE(reports.syllables, 0);
  ASSERT_GE(reports.space, 0);
  for (const View& view : kViews) {
    SCOPED_TRACE(view.name);
    std::vector<std::string> arguments = common;
    arguments.insert(arguments.end(), view.arguments.begin(), view.arguments.end());
    const Outcome outcome = testing::runKbeval(dir, arguments);
    ASSERT_EQ(outcome.exitStatus, 0) << outcome.errors;
    view.check(reports, outcome, dir);
  }
}

void copyShippedLayouts(const TempDirectory& dir) {
  for (const auto& entry : std::filesystem::directory_iterator(kExamples + "/keyboard")) {
    dir.write("keyboard/" + entry.path().filename().string(), testing::readFile(entry.path()));
  }
}

TEST(ViewsAgainstReports, ShippedExample) {
  TempDirectory dir;
  copyShippedLayouts(dir);
  dir.write("sample.txt", testing::readFile(kExamples + "/sample.txt"));
  checkViews(dir);
}

// Random texts: lines of the shipped sample, runs of left-hand digits of
// every length up to 13 between right-hand ones, signs, spaces and line
// feeds; random layouts: a shipped layout with its jamo keys shuffled.
TEST(ViewsAgainstReports, RandomTextsAndLayouts) {
  std::vector<std::string> lines;
  std::istringstream sample(testing::readFile(kExamples + "/sample.txt"));
  for (std::string line; std::getline(sample, line);) lines.push_back(line + "\n");
  std::vector<std::string> shipped;
  for (const auto& entry : std::filesystem::directory_iterator(kExamples + "/keyboard")) {
    shipped.push_back(entry.path().string());
  }
  std::sort(shipped.begin(), shipped.end());
  std::mt19937 random(22);
  for (int round = 0; round < 6; ++round) {
    SCOPED_TRACE(round);
    TempDirectory dir;
    std::string text;
    for (int piece = 0; piece < 40; ++piece) {
      switch (random() % 4) {
        case 0:
          text += lines[random() % lines.size()];
          break;
        case 1:
          text += "7" + std::string("1234512345123").substr(0, 1 + random() % 13) + "7";
          break;
        case 2:
          text += std::string(1 + random() % 3, " \n.?!"[random() % 5]);
          break;
        default:
          text += "\r\n";
      }
    }
    dir.write("sample.txt", text);
    for (int n = 0; n < 3; ++n) {
      std::istringstream file(testing::readFile(shipped[random() % shipped.size()]));
      std::vector<std::string> fileLines, keys;
      for (std::string line; std::getline(file, line);) {
        fileLines.push_back(line);
        if (line.size() > 2 && line[0] >= '1' && line[0] <= '3' && line[1] == '\t') {
          keys.push_back(line.substr(line.rfind('\t') + 1));
        }
      }
      std::shuffle(keys.begin(), keys.end(), random);
      std::string layout;
      std::size_t next = 0;
      for (const std::string& line : fileLines) {
        if (line.size() > 2 && line[0] >= '1' && line[0] <= '3' && line[1] == '\t') {
          layout += line.substr(0, line.rfind('\t') + 1) + keys[next++] + "\n";
        } else {
          layout += line + "\n";
        }
      }
      dir.write("keyboard/r" + std::to_string(n) + ".txt", layout);
    }
    checkViews(dir);
  }
}

// Ties and edges: two fingers with equal loads in either order (the first of
// L5..R5 is the busiest), a left-hand run of exactly 10 and of 12 and 13,
// and a text that types nothing.
TEST(ViewsAgainstReports, TiesAndEdges) {
  for (const std::string text : {"12", "21", "47", "74\n", "7123451234570", "7123451234512340",
                                 "71234512345123\n", "", "\x88\x61"}) {
    SCOPED_TRACE(text);
    TempDirectory dir;
    copyShippedLayouts(dir);
    dir.write("sample.txt", text);
    checkViews(dir);
  }
}

}  // namespace
}  // namespace kbeval
