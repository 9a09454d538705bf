// The run as one self-contained HTML page (--html): the sample, the
// comparison table with ranks, differences from a baseline and the best value
// of each column marked, the difference keyboards, per layout a
// picture of its keyboard coloured by the keys' shares of keystrokes, its
// fingers' and rows' loads, its one-hand runs and its worst pairs, and the
// text's jamo frequencies and junction tables as heat tables. With --board
// the comparison gains a table of the figures of pairs and triples of
// strokes (best marked), each layout's section lists them, and the keyboards
// are drawn on the board's geometry.
//
// The page needs nothing but itself: inline CSS and SVG, no external resource
// of any kind, and a small script that only sorts the comparison table (the
// page reads completely without it). Every mark carries its exact number as text
// (beside it, or in a <title>), and every string from the input goes through
// appendHtmlEscaped.
//
// Like the JSON it is made in pieces, so that a run over thousands of layouts
// holds no more than one pass of them: one section per layout as its pass
// ends, and the text section from the first pass. The page is head, layout
// sections in result order, text section and tail, joined.
#pragma once

#include <array>
#include <span>
#include <string>

#include "analysis/text_counts.h"
#include "views/comparison_table.h"
#include "views/keyboard_svg.h"
#include "views/layout_findings.h"

namespace kbeval {

struct HtmlSample {
  std::string path;       // as given on the command line; "-" for standard input
  long long bytes = 0;    // as the "Reading" line says
  std::string encoding;   // "johab" or "utf-8"
  Count syllables = 0;    // Hangul syllables of the text
  std::string runDate;    // when the run was made, as the page shows it
  std::string version;    // kbeval's version
  std::string boardName;  // --board: the board's name and file; empty without
  std::string boardFile;
};

// The keys' colour scale runs from 0 to this share of keystrokes (a key at
// or above it takes the darkest colour), the same on every keyboard so that
// one colour means one share on all of them.
inline constexpr double kDarkestKeyShare = 10.0;

// The difference keyboards' diverging scale runs from minus to plus this
// many percentage points, the same on every one of them.
inline constexpr double kWidestKeyDifference = 3.0;

// The page up to the first layout section: its head and style, the sample,
// and the comparison table of `rows` (one per layout, in result order; the
// table links row i to the section made with `number` i). With no rows the
// page says that no layout was evaluated.
// Row `baseline` is the one the differences are taken from.
std::string htmlHead(const HtmlSample& sample, std::span<const ComparisonRow> rows,
                     std::size_t baseline);

// A layout's loads as shares, as its charts show them: fingers (L5..L2,
// thumb, R2..R5) of all their strokes, rows (number, top, home, bottom) of
// the four rows' key presses, and per hand its run strokes by run length
// (1, 2, 3, 4 or more) of all its run strokes.
struct LoadShares {
  std::array<double, 9> fingers{};
  std::array<double, 4> rows{};
  std::array<std::array<double, 4>, 2> runs{};
};

LoadShares loadShares(const KeystrokeCounts& counts);

// Every layout's loads in three tables on one scale each (the rows' loads
// in the order of `rows`). Empty with no layout.
std::string htmlLoadsSection(std::span<const ComparisonRow> rows,
                             std::span<const LoadShares> loads);

// What a layout's keyboard picture shows, from its findings.
KeyboardPicture keyboardPicture(const LayoutFindings& findings);

// The baseline's keyboard beside, for every other layout, a keyboard coloured
// by its keys' differences from the baseline's (one shown at a time on a wide
// window, chosen by link; all of them in print and on a narrow one). Empty
// with fewer than two layouts. `pictures` are the rows' keyboards.
std::string htmlDifferenceSection(std::span<const ComparisonRow> rows,
                                  std::span<const KeyboardPicture> pictures, std::size_t baseline);

// One layout's section; `number` is its place in result order, from 0.
std::string htmlLayoutSection(const LayoutFindings& findings, std::size_t number);

// The text's section: jamo frequencies and the two junction heat tables.
std::string htmlTextSection(const TextCounts& text, const CombinationCounts& combinations);

std::string htmlTail();

}  // namespace kbeval
