// --html: what the page says about a case small
// enough to work out by hand, hostile names, no layouts, many layouts over
// several passes, and files that cannot be written. The browser test
// (html_browser_test.cpp) checks the rendered page against the counts.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "in_process.h"
#include "small_case.h"
#include "temp_directory.h"
#include "text/utf8.h"

namespace kbeval {
namespace {

using testing::countOf;
using testing::filesIn;
using testing::Outcome;
using testing::readFile;
using testing::TempDirectory;

const std::string kExamples = KBEVAL_EXAMPLES;

// The small case of small_case.h, worked out by hand. b2 (2-set, Qwerty)
// types r k r k r SPACE ? LF with the left Shift for "?": 8 key presses and
// 1 Shift press. a3 (3-set, Gong3) types k f k f x SPACE 6 Z LF with the
// right Shift for Z: 9 and 1. Each key's tooltip gives its strokes per
// level, its share of keystrokes and its finger under the layout's
// fingering: x is the left middle finger and 6 the left index under Gong3.
TEST(HtmlOutput, SmallCaseKeysByHand) {
  TempDirectory dir;
  testing::writeSmallCase(dir);
  const Outcome outcome = testing::runKbeval(dir, {"sample.txt", "--html=report.html"});
  ASSERT_EQ(outcome.exitStatus, 0) << outcome.errors;
  EXPECT_NE(outcome.output.find("*** Result of b2"), std::string::npos);  // reports as usual
  const std::string page = readFile(dir / "report.html");
  const std::size_t b2 = page.find("data-name=\"b2\"");
  const std::size_t a3 = page.find("data-name=\"a3\"");
  ASSERT_LT(b2, a3);  // result order: 2-set layouts first
  ASSERT_NE(a3, std::string::npos);
  const std::string b2Section = page.substr(b2, a3 - b2);
  const std::string a3Section = page.substr(a3);
  // Each key's tooltip, and the finger and share shown at its bottom.
  const auto key = [](const std::string& section, const std::string& title) {
    const std::size_t at = section.find("<title>" + title + "</title>");
    if (at == std::string::npos) return "no key " + title;
    const std::string marker = "class=\"f\">";
    const std::size_t bottom = section.find(marker, at) + marker.size();
    return section.substr(bottom, section.find('<', bottom) - bottom);
  };
  EXPECT_EQ(key(b2Section, "r \xE3\x84\xB1: 3; R: 0"), "L2 33.3%");  // 3 of 9 keystrokes
  EXPECT_EQ(key(b2Section, "k \xE3\x85\x8F: 2; K: 0"), "R3 22.2%");
  EXPECT_EQ(key(b2Section, "/: 0; ?: 1"), "R5 11.1%");
  EXPECT_EQ(key(b2Section, "Space: 1"), "thumb 11.1%");
  EXPECT_EQ(key(b2Section, "Enter: 1"), "R5 11.1%");
  EXPECT_EQ(key(b2Section, "Left Shift: 1, for shifted keys of the right hand"), "L5 11.1%");
  EXPECT_EQ(key(b2Section, "Right Shift: 0, for shifted keys of the left hand"), "R5 0.0%");
  // b2's fingers on one scale: L2 r r r, 3 of 9 strokes.
  EXPECT_NE(page.find("<tr><th class=\"t\" lang=\"ko\">b2</th><td><i style=\"width:13px\"></i>11.1"
                      "<td><i style=\"width:0px\"></i>0.0<td><i style=\"width:0px\"></i>0.0"
                      "<td><i style=\"width:40px\"></i>33.3"),
            std::string::npos);
  // a3 against the baseline b2, each key's share minus b2's: r 0 - 3/9,
  // k 2/10 - 2/9, f 2/10 - 0, Space 1/10 - 1/9, the right Shift 1/10 - 0,
  // the left 0 - 1/9, in percentage points.
  const std::size_t vs = page.find("id=\"vs-1\"");
  ASSERT_NE(vs, std::string::npos);
  const std::string difference = page.substr(vs, page.find("</figure>", vs) - vs);
  const auto differenceOf = [&](const std::string& key) {
    const std::size_t at = difference.find("data-k=\"" + key + "\">");
    if (at == std::string::npos) return "no key " + key;
    const std::string marker = "class=\"d\">";
    const std::size_t text = difference.find(marker, at) + marker.size();
    return difference.substr(text, difference.find('<', text) - text);
  };
  EXPECT_EQ(differenceOf("r"), "-33.33");
  EXPECT_EQ(differenceOf("k"), "-2.22");
  EXPECT_EQ(differenceOf("f"), "+20.00");
  EXPECT_EQ(differenceOf("Space"), "-1.11");
  EXPECT_EQ(differenceOf("Right Shift"), "+10.00");
  EXPECT_EQ(differenceOf("Left Shift"), "-11.11");
  EXPECT_EQ(differenceOf("q"), "0.00");
  EXPECT_EQ(page.find("id=\"vs-0\""), std::string::npos);  // not the baseline itself
  // Untreated: b2 has no keys for the "7" the text holds once.
  EXPECT_NE(b2Section.find("<b>7</b>&nbsp;1</span>"), std::string::npos);
  EXPECT_EQ(a3Section.find("class=\"meta untreated\""), std::string::npos);
  EXPECT_EQ(key(a3Section, "x \xE3\x84\xB1(final): 1; X: 0"), "L3 10.0%");  // Gong3
  EXPECT_EQ(key(a3Section, "6 7: 1; ^: 0"), "L2 10.0%");
  EXPECT_EQ(key(a3Section, "z: 0; Z ?: 1"), "L4 10.0%");
  EXPECT_EQ(key(a3Section, "Right Shift: 1, for shifted keys of the left hand"), "R5 10.0%");
  // A jamo typed only as a final is underlined on its cap.
  EXPECT_NE(a3Section.find("class=\"u fin\">\xE3\x84\xB1</text>"), std::string::npos);
  EXPECT_EQ(b2Section.find("class=\"u fin\""), std::string::npos);
  // The sample line and the text section.
  EXPECT_NE(page.find("<b>9</b> bytes \xC2\xB7 <b>2</b> Hangul syllables"), std::string::npos);
  EXPECT_NE(page.find("id=\"text\""), std::string::npos);
  EXPECT_TRUE(page.ends_with("</html>\n"));
  EXPECT_EQ(countOf(page, "http"), 0u);  // no resource from anywhere
}

// Names from the input are text on the page, never markup: the layouts'
// file names, the sample path, and bytes that are no UTF-8.
TEST(HtmlOutput, HostileNamesShowAsText) {
  TempDirectory dir;
  const std::string layout = readFile(kExamples + "/keyboard/2-standard.txt");
  dir.write("keyboard/<img src=x onerror=alert(1)>.txt", layout);
  dir.write("keyboard/q\"><b onmouseover='x'>&amp.txt", layout);
  dir.write("keyboard/\xB0\xA1.txt", layout);  // 가 in CP949
  dir.write("keyboard/\xFF\xFE.txt", layout);  // neither UTF-8 nor CP949
  dir.write("<svg onload=alert(2)>.txt", readFile(kExamples + "/sample.txt"));
  const Outcome outcome =
      testing::runKbeval(dir, {"<svg onload=alert(2)>.txt", "--html=r.html", "--compare"});
  ASSERT_EQ(outcome.exitStatus, 0) << outcome.errors;
  const std::string page = readFile(dir / "r.html");
  EXPECT_TRUE(isValidUtf8(page));
  EXPECT_EQ(countOf(page, "<section class=\"layout\""), 4u);
  EXPECT_EQ(countOf(page, "<img"), 0u);
  EXPECT_EQ(countOf(page, "<b onmouseover"), 0u);
  EXPECT_EQ(countOf(page, "<svg onload"), 0u);
  EXPECT_GT(countOf(page, "&lt;img src=x onerror=alert(1)&gt;"), 2u);  // nav, table, heading
  EXPECT_GT(countOf(page, "q&quot;&gt;&lt;b onmouseover=&#39;x&#39;&gt;&amp;amp"), 2u);
  EXPECT_GT(countOf(page, "&lt;svg onload=alert(2)&gt;.txt"), 1u);  // title and heading
  EXPECT_GT(countOf(page, "\xEF\xBF\xBD\xEF\xBF\xBD"), 2u);         // U+FFFD for each bad byte
  // A CP949 file name is shown decoded, as the layouts' contents are: in the
  // navigation, the table, the heading and the file name under it.
  EXPECT_GT(countOf(page, ">\xEA\xB0\x80<"), 2u);
  EXPECT_NE(page.find("file <span lang=\"ko\">\xEA\xB0\x80.txt</span>"), std::string::npos);
}

// No layout evaluated (none there, or none of the set type asked for): the
// page still holds the sample and the text, says so, and has no comparison.
TEST(HtmlOutput, NoLayoutsGiveTheTextSectionAlone) {
  TempDirectory dir;
  dir.write("sample.txt", readFile(kExamples + "/sample.txt"));
  dir.makeDirectory("empty");
  dir.write("two/2-standard.txt", readFile(kExamples + "/keyboard/2-standard.txt"));
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"sample.txt", "--keyboards=empty", "--html=r.html"},
        std::vector<std::string>{"sample.txt", "--keyboards=two", "/3", "--html=r.html"}}) {
    SCOPED_TRACE(arguments[1]);
    const Outcome outcome = testing::runKbeval(dir, arguments);
    ASSERT_EQ(outcome.exitStatus, 0) << outcome.errors;
    const std::string page = readFile(dir / "r.html");
    EXPECT_NE(page.find("id=\"no-layouts\""), std::string::npos);
    EXPECT_EQ(page.find("class=\"layout\""), std::string::npos);
    EXPECT_EQ(page.find("id=\"comparison\""), std::string::npos);
    EXPECT_NE(page.find("<b>9406</b> Hangul syllables"), std::string::npos);
    EXPECT_NE(page.find("id=\"initial-medial\""), std::string::npos);
    EXPECT_NE(page.find("id=\"final-initial\""), std::string::npos);
    EXPECT_TRUE(page.ends_with("</html>\n"));
  }
}

// More layouts than one pass takes: every section is there once, in result
// order, numbered as the comparison table links them, and nothing but the
// page is left beside it.
TEST(HtmlOutput, LayoutsOfEveryPassInOrder) {
  TempDirectory dir;
  dir.write("sample.txt", readFile(kExamples + "/sample.txt"));
  const std::string layout = readFile(kExamples + "/keyboard/3-390.txt");
  constexpr int kLayouts = 70;  // three passes
  for (int i = 0; i < kLayouts; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "keyboard/k%02d.txt", i);
    dir.write(name, layout);
  }
  const Outcome outcome = testing::runKbeval(dir, {"sample.txt", "--html=r.html", "--compare"});
  ASSERT_EQ(outcome.exitStatus, 0) << outcome.errors;
  const std::string page = readFile(dir / "r.html");
  std::size_t at = 0;
  for (int i = 0; i < kLayouts; ++i) {
    char section[96];
    std::snprintf(section, sizeof section,
                  "<section class=\"layout\" id=\"layout-%d\" data-name=\"k%02d\">", i, i);
    at = page.find(section, at);
    ASSERT_NE(at, std::string::npos) << section;
  }
  EXPECT_EQ(countOf(page, "<section class=\"layout\""), static_cast<std::size_t>(kLayouts));
  EXPECT_EQ(countOf(page, "\"><a href=\"#layout-"), static_cast<std::size_t>(kLayouts));
  EXPECT_LT(page.find("<a href=\"#layout-69\" lang=\"ko\">k69</a>"), page.find("layout-0\" data"));
  EXPECT_EQ(filesIn(dir), (std::vector<std::string>{"keyboard", "r.html", "sample.txt"}));
}

// A page that fails as it is written (a full disk) is reported once the run
// is done, and costs neither the reports nor the JSON beside it; "-" is no
// file name for a page. (Paths that cannot be written: json_output_test.cpp.)
TEST(HtmlOutput, FailingPageCostsNothingElse) {
  TempDirectory dir;
  testing::writeSmallCase(dir);
  if (std::filesystem::exists("/dev/full")) {
    const Outcome full =
        testing::runKbeval(dir, {"sample.txt", "--html=/dev/full", "--json=j.json"});
    EXPECT_EQ(full.exitStatus, 1);
    EXPECT_NE(full.output.find("*** Result of b2"), std::string::npos);
    EXPECT_EQ(full.errors,
              "kbeval: cannot write the HTML report '/dev/full': No space left on device\n");
    EXPECT_TRUE(readFile(dir / "j.json").ends_with("]}\n"));
  }

  const Outcome dash = testing::runKbeval(dir, {"sample.txt", "--html=-"});
  EXPECT_EQ(dash.exitStatus, 2);
  EXPECT_EQ(dash.errors,
            "kbeval: --html needs a file name, not standard output; see 'kbeval --help'\n");
}

}  // namespace
}  // namespace kbeval
