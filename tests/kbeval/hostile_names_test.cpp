#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#if __has_include(<nlohmann/json.hpp>)
#include "views/json_read_back.h"
#define KBEVAL_READS_JSON 1
#endif

#include "in_process.h"
#include "shell/long_options.h"
#include "temp_directory.h"
#include "text/utf8_sample.h"

namespace kbeval {
namespace {

using testing::TempDirectory;

const std::string kLayout = "set type:2\n1\t\xA4\xA1\tr\n2\t\xA4\xBF\tk\n";

// UTF-16: a byte-order mark, or zero bytes making up a sixteenth of the
// first KiB (at least 8 of them).
TEST(HostileNames, Utf16IsToldByItsMarkOrItsZeroBytes) {
  const std::string ascii16 = std::string("a\0b\0c\0d\0e\0f\0g\0h\0", 16);
  const std::pair<std::string, bool> cases[] = {
      {"\xFF\xFEz", true},
      {"\xFE\xFF", true},
      {ascii16, true},
      {"\x88\x61\x88\x62 plain Johab\n", false},
      {std::string(7, '\0') + std::string(9, 'a'), false},       // 7 zeros: too few
      {std::string(8, '\0') + std::string(120, 'a'), true},      // 8 of 128: a sixteenth
      {std::string(8, '\0') + std::string(121, 'a'), false},     // 8 of 129: less
      {std::string(2000, 'a') + std::string(100, '\0'), false},  // beyond the first KiB
      {"", false},
  };
  for (const auto& [start, expected] : cases) {
    EXPECT_EQ(looksLikeUtf16(start), expected) << start.size();
  }
  TempDirectory dir;
  dir.write("sample.txt", "\xFF\xFE" + ascii16);
  dir.makeDirectory("keyboard");
  const testing::Outcome outcome = testing::runKbeval(dir, {"sample.txt", "/2"});
  EXPECT_EQ(outcome.exitStatus, 0);
  EXPECT_EQ(outcome.errors,
            "kbeval: warning: sample.txt looks like UTF-16 text, which kbeval cannot read; "
            "convert it first (iconv -f UTF-16 -t UTF-8) and read it with "
            "--sample-encoding=utf-8\n");
}

// A value echoed in a message is cut at 100 bytes.
TEST(HostileNames, EchoedValuesAreCutAt100Bytes) {
  const std::string hundred(100, 'v');
  EXPECT_EQ(kbeval::quoted(hundred), "'" + hundred + "'");
  EXPECT_EQ(kbeval::quoted(hundred + "w"), "'" + hundred + "...'");
  TempDirectory dir;
  const testing::Outcome outcome = testing::runKbeval(dir, {"--jobs=" + std::string(5000, '9')});
  EXPECT_EQ(outcome.exitStatus, 2);
  EXPECT_LT(outcome.errors.size(), 250u) << outcome.errors;
  EXPECT_NE(outcome.errors.find(std::string(100, '9') + "...'"), std::string::npos);
}

// A name's bytes in hexadecimal, for the trace of a failure.
std::string hexName(const std::string& bytes) {
  std::string hex;
  for (const char c : bytes) {
    char pair[3];
    std::snprintf(pair, sizeof pair, "%02x", static_cast<unsigned char>(c));
    hex += pair;
  }
  return hex;
}

// One table of hostile names through every output that prints a name. A
// name's control bytes print as '?' in the text outputs (report heading,
// "Cannot open" line, --compare, kbeval-optimize's report and the comments
// of the layout it writes); --json reads back to the exact bytes; --html
// shows control bytes and bytes that are not UTF-8 as U+FFFD.
TEST(HostileNames, EveryNameThroughEveryOutput) {
  struct Name {
    std::string bytes;  // the layout's name, without ".txt"
    std::string text;   // as the text outputs print it
    std::string html;   // as the HTML report prints it
  };
  const std::string replacement = "\xEF\xBF\xBD";
  std::vector<Name> names;
  for (int b = 0x01; b <= 0x7F; b = b == 0x1F ? 0x7F : b + 1) {
    names.push_back(
        {std::string("n") + static_cast<char>(b) + "m", "n?m", "n" + replacement + "m"});
  }
  names.push_back(
      {"\xEA\xB0\x80\xED\x9E\xA3", "\xEA\xB0\x80\xED\x9E\xA3", "\xEA\xB0\x80\xED\x9E\xA3"});
  names.push_back({"u\xFF\xFEv", "u\xFF\xFEv", "u" + replacement + replacement + "v"});
  names.push_back({"c\xC3", "c\xC3", "c" + replacement});
  names.push_back({"e\xC3\xA9\x1B", "e\xC3\xA9?", "e\xC3\xA9" + replacement});

  TempDirectory dir;
  dir.write("sample.txt", "\x88\x61\x88\x62");
  for (std::size_t i = 0; i < names.size(); ++i) {
    dir.write("keyboard/" + names[i].bytes + ".txt", kLayout + "1\t\xA4\xA4\ts\n");
    dir.makeDirectory("gone/" + names[i].bytes + ".txt");
  }
  const testing::Outcome report =
      testing::runKbeval(dir, {"--json=run.json", "--html=run.html", "sample.txt", "/2"});
  ASSERT_EQ(report.exitStatus, 0) << report.errors;
  const testing::Outcome compare = testing::runKbeval(dir, {"--compare", "sample.txt", "/2"});
  ASSERT_EQ(compare.exitStatus, 0) << compare.errors;
  std::filesystem::rename(dir.path() / "keyboard", dir.path() / "kept");
  std::filesystem::rename(dir.path() / "gone", dir.path() / "keyboard");
  const testing::Outcome gone = testing::runKbeval(dir, {"sample.txt", "/2"});
  std::filesystem::rename(dir.path() / "keyboard", dir.path() / "gone");
  std::filesystem::rename(dir.path() / "kept", dir.path() / "keyboard");
  const std::string html = testing::readFile(dir.path() / "run.html");
#ifdef KBEVAL_READS_JSON
  const auto json = nlohmann::json::parse(testing::readFile(dir.path() / "run.json"));
  std::vector<std::string> jsonNames;
  for (const auto& layout : json.at("layouts")) {
    jsonNames.push_back(testing::exactString(layout, "fileName"));
  }
#endif
  // Names that differ only in a control byte print alike: each line shows
  // once per name that prints so. --compare shows each name in its table
  // and, all but the baseline, in the table of differences.
  for (const Name& name : names) {
    SCOPED_TRACE(hexName(name.bytes));
    const auto alike = static_cast<std::size_t>(std::count_if(
        names.begin(), names.end(), [&](const Name& other) { return other.text == name.text; }));
    EXPECT_EQ(testing::countOf(report.output, "\n*** Result of " + name.text +
                                                  " (2 Sets, Qwerty Fingering) ***\n"),
              alike);
    const std::size_t baseline =
        testing::countOf(compare.output, "\nDifference from the baseline " + name.text + " (");
    EXPECT_LE(baseline, 1u);
    EXPECT_EQ(testing::countOf(compare.output, "\n" + name.text + " "), 2 * alike - baseline);
    EXPECT_EQ(testing::countOf(gone.output, "Cannot open keyboard layout file: keyboard/" +
                                                name.text + ".txt\n"),
              alike);
    EXPECT_NE(html.find(">" + name.html + "</a>"), std::string::npos);
#ifdef KBEVAL_READS_JSON
    EXPECT_EQ(std::count(jsonNames.begin(), jsonNames.end(), name.bytes + ".txt"), 1);
#endif
    const testing::Outcome optimized =
        testing::runProgram(dir, KBEVAL_OPTIMIZE_BINARY,
                            {"--quiet", "--start=keyboard/" + name.bytes + ".txt",
                             "--iterations=10", "--restarts=1", "--output=best.txt", "sample.txt"});
    ASSERT_EQ(optimized.exitStatus, 0) << optimized.errors;
    EXPECT_EQ(optimized.output.rfind("Start layout: keyboard/" + name.text + ".txt (2 Sets", 0), 0u)
        << optimized.output;
    EXPECT_EQ(
        testing::readFile(dir.path() / "best.txt")
            .rfind("// Best layout found by kbeval-optimize from keyboard/" + name.text + ".txt\n",
                   0),
        0u);
  }
  // No control byte of a name reaches a text output raw.
  for (const std::string* text : {&report.output, &compare.output, &gone.output}) {
    EXPECT_EQ(std::count_if(text->begin(), text->end(),
                            [](char c) {
                              const auto byte = static_cast<unsigned char>(c);
                              return (byte < 0x20 && c != '\n' && c != '\t') || byte == 0x7F;
                            }),
              0);
  }
}

}  // namespace
}  // namespace kbeval
