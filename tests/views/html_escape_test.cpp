// The one escaping function every input-derived string of the HTML report
// passes through.
#include "views/html_escape.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "text/utf8.h"

namespace kbeval {
namespace {

// Expected outputs worked out by hand from the rules: the five markup
// characters become references, bytes that are no UTF-8 and control
// characters become U+FFFD (one per bad byte), the rest is copied.
TEST(HtmlEscape, MarkupCharactersBadBytesAndControlsByHand) {
  const std::string kFffd = "\xEF\xBF\xBD";
  struct Case {
    std::string input, expected;
  };
  const Case cases[] = {
      {"", ""},
      {"<img src=x onerror=alert(1)>.txt", "&lt;img src=x onerror=alert(1)&gt;.txt"},
      {"a&b\"c'd", "a&amp;b&quot;c&#39;d"},
      {"&amp;", "&amp;amp;"},  // a reference in the input stays text
      {"\" onmouseover=\"x", "&quot; onmouseover=&quot;x"},
      {"세벌식 ㄱ·390", "세벌식 ㄱ·390"},
      {"\xB0\xA1.txt", kFffd + kFffd + ".txt"},  // CP949 bytes, not UTF-8
      {"\xED\x95", kFffd + kFffd},               // a cut-off character
      {"\xED\xA0\x80", kFffd + kFffd + kFffd},   // a surrogate is no character
      {"a\tb\nc\x7F\xC2\x85", "a" + kFffd + "b" + kFffd + "c" + kFffd + kFffd},  // C0, DEL, C1
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    EXPECT_EQ(htmlEscaped(c.input), c.expected);
  }
  std::string appended = "<b>";
  appendHtmlEscaped(appended, "<i>");
  EXPECT_EQ(appended, "<b>&lt;i&gt;");
}

// Whatever the bytes, the result is valid UTF-8 in which no markup can
// start: no < > " ', and every & opens one of the references written.
TEST(HtmlEscape, RandomBytesNeverYieldMarkup) {
  std::mt19937 random(12);
  for (int round = 0; round < 2000; ++round) {
    std::string input(random() % 24, '\0');
    for (char& c : input) c = static_cast<char>(random() % 256);
    if (round % 2 == 0) input += "<>&\"'";
    const std::string out = htmlEscaped(input);
    ASSERT_TRUE(isValidUtf8(out)) << round;
    ASSERT_EQ(out.find_first_of("<>\"'"), std::string::npos) << round;
    for (std::size_t at = out.find('&'); at != std::string::npos; at = out.find('&', at + 1)) {
      const std::string rest = out.substr(at, 6);
      ASSERT_TRUE(rest.starts_with("&amp;") || rest.starts_with("&lt;") ||
                  rest.starts_with("&gt;") || rest.starts_with("&quot;") ||
                  rest.starts_with("&#39;"))
          << round;
    }
  }
}

}  // namespace
}  // namespace kbeval
