// Reads back from an HTML report what the tests compare with other sources:
// the table of pair and triple figures of the comparison, the same figures in
// each layout's section, and where the keyboards put their keys. Plain
// pattern matching over the page as kbeval writes it; a piece that is not
// found reads back empty, so that a test fails on it.
#pragma once

#include <map>
#include <regex>
#include <string>
#include <vector>

namespace kbeval::testing {

// One cell of the comparison's stroke-figure table.
struct HtmlStrokeCell {
  int rank = 0;
  bool best = false;
  std::string share;   // as printed: "12.34"
  std::string amount;  // the count, or the sum, printed under it
};

struct HtmlStrokeRow {
  std::string name;                             // the layout's name as the row links it
  std::map<std::string, HtmlStrokeCell> cells;  // by the figure's JSON name (data-f)
};

// The rows of the comparison's stroke-figure table, in page order.
inline std::vector<HtmlStrokeRow> htmlStrokeTable(const std::string& page) {
  std::vector<HtmlStrokeRow> rows;
  const std::size_t start = page.find("id=\"stroke-table\"");
  if (start == std::string::npos) return rows;
  const std::size_t body = page.find("<tbody>", start);
  const std::size_t end = page.find("</tbody>", start);
  if (body == std::string::npos || end == std::string::npos) return rows;
  const std::string table = page.substr(body, end - body);
  static const std::regex kName(R"re(<a href="#layout-\d+" lang="ko">([^<]*)</a>)re");
  static const std::regex kCell(
      R"re(<td data-f="(\w+)" data-k="(\d+)"( class="best" title="best of the column")?>)re"
      R"re(([-0-9.]+)<sup title="rank">(\d+)</sup><br><small[^>]*>([-0-9.]+)</small></td>)re");
  for (std::size_t at = table.find("<tr"); at != std::string::npos;) {
    const std::size_t next = table.find("<tr", at + 3);
    const std::string row = table.substr(at, next == std::string::npos ? next : next - at);
    HtmlStrokeRow parsed;
    std::smatch name;
    if (std::regex_search(row, name, kName)) parsed.name = name[1];
    for (std::sregex_iterator cell(row.begin(), row.end(), kCell), none; cell != none; ++cell) {
      const std::smatch& m = *cell;
      if (m[2] != m[5]) continue;  // the sort key and the rank shown disagree: not read
      parsed.cells[m[1]] = {std::stoi(m[2]), m[3].matched, m[4], m[6]};
    }
    rows.push_back(parsed);
    at = next;
  }
  return rows;
}

// One line of a layout section's stroke figures.
struct HtmlSectionFigure {
  std::string amount;  // the count or the sum
  std::string share;   // the number the share cell starts with; empty for the totals
};

// A section's stroke figures by JSON name ("strokes", "pairs", "triples"
// and every figure).
inline std::map<std::string, HtmlSectionFigure> htmlSectionFigures(const std::string& section) {
  std::map<std::string, HtmlSectionFigure> figures;
  static const std::regex kLine(
      R"re(<tr data-f="(\w+)"><th[^>]*>[^<]*</th><td>([-0-9.]+)</td><td>([-0-9.]*)[^<]*</td></tr>)re");
  for (std::sregex_iterator line(section.begin(), section.end(), kLine), none; line != none;
       ++line) {
    figures[(*line)[1]] = {(*line)[2], (*line)[3]};
  }
  return figures;
}

// The layout sections of a page, by name (data-name), each up to the next.
inline std::map<std::string, std::string> htmlLayoutSections(const std::string& page) {
  std::map<std::string, std::string> sections;
  const std::string marker = "<section class=\"layout\"";
  for (std::size_t at = page.find(marker); at != std::string::npos;) {
    const std::size_t next = page.find(marker, at + marker.size());
    const std::size_t end = next == std::string::npos ? page.find("<section id=\"text\"") : next;
    const std::string section = page.substr(at, end - at);
    const std::size_t name = section.find("data-name=\"") + 11;
    sections[section.substr(name, section.find('"', name) - name)] = section;
    at = next;
  }
  return sections;
}

// A key of a keyboard drawing: the centre of its face, in pixels.
struct HtmlKeyCentre {
  double x = 0, y = 0;
};

// The keys of the first keyboard drawing in `html` that name themselves
// (data-k, as a board's drawing does), by that name with the page's
// character references undone. A key's face is the page's one key shape
// (`shape` its x, width and height) or a rect of its own.
inline std::map<std::string, HtmlKeyCentre> htmlKeyCentres(const std::string& html,
                                                           const std::string& page) {
  std::map<std::string, HtmlKeyCentre> keys;
  static const std::regex kShape(R"re(<rect id="key" x="(-?\d+)" width="(\d+)" height="(\d+)")re");
  std::smatch shape;
  if (!std::regex_search(page, shape, kShape)) return keys;
  const double shapeX = std::stod(shape[1]), shapeWidth = std::stod(shape[2]),
               shapeHeight = std::stod(shape[3]);
  const std::size_t start = html.find("<svg class=\"kb\"");
  if (start == std::string::npos) return keys;
  const std::string svg = html.substr(start, html.find("</svg>", start) - start);
  static const std::regex kKey(
      R"re(<g transform="translate\((-?\d+),(-?\d+)\)"[^>]* data-k="([^"]*)">(?:<title>[^<]*</title>)?)re"
      R"re((?:<use href="#key"|<rect x="(-?\d+)" width="(\d+)" height="(\d+)"))re");
  for (std::sregex_iterator key(svg.begin(), svg.end(), kKey), none; key != none; ++key) {
    const std::smatch& m = *key;
    const bool own = m[4].matched;
    const double x = own ? std::stod(m[4]) : shapeX;
    const double width = own ? std::stod(m[5]) : shapeWidth;
    const double height = own ? std::stod(m[6]) : shapeHeight;
    std::string name = m[3];
    for (const auto& [reference, character] : {std::pair<std::string, std::string>{"&#39;", "'"},
                                               {"&quot;", "\""},
                                               {"&lt;", "<"},
                                               {"&gt;", ">"},
                                               {"&amp;", "&"}}) {
      for (std::size_t at; (at = name.find(reference)) != std::string::npos;)
        name.replace(at, reference.size(), character);
    }
    keys[name] = {std::stod(m[1]) + x + width / 2, std::stod(m[2]) + height / 2};
  }
  return keys;
}

}  // namespace kbeval::testing
