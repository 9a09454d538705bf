// Runs kbeval in a fresh directory holding a sample and a keyboard/
// directory, and checks its standard output and exit status.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "in_process.h"
#include "small_case.h"
#include "temp_directory.h"

namespace kbeval {
namespace {

using namespace std::string_literals;
using testing::Outcome;
using testing::RunSettings;
using testing::TempDirectory;
using testing::writeSmallCase;

// Runs kbeval with `arguments` in `directory`.
std::string readTestData(const std::string& name) {
  std::ifstream in(std::string(KBEVAL_TEST_DATA) + "/" + name, std::ios::binary);
  EXPECT_TRUE(in.good()) << name;
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The headings of the layout results, in output order.
std::vector<std::string> headings(const std::string& output) {
  std::vector<std::string> found;
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("*** Result of ")) found.push_back(line);
  }
  return found;
}

bool startsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

const std::string kSmallHeadings[] = {"*** Result of b2 (2 Sets, Qwerty Fingering) ***",
                                      "*** Result of a3 (3 Sets, Gong3 Fingering) ***"};

TEST(EndToEnd, TwoSetThenThreeSetWholeOutput) {
  TempDirectory dir;
  writeSmallCase(dir);
  const Outcome outcome = testing::runKbeval(dir, {"sample.txt", "/2", "/3"});
  EXPECT_EQ(outcome.exitStatus, 0);
  EXPECT_EQ(outcome.output, readTestData("two_layouts.expected"));
}

TEST(EndToEnd, WithoutSwitchesTheLayoutResultsFollowTheTextReports) {
  TempDirectory dir;
  writeSmallCase(dir);
  const std::string expected = readTestData("two_layouts.expected");
  const std::string results = expected.substr(expected.find('\n') + 1);
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{}, std::vector<std::string>{"sample.txt"}}) {
    const Outcome outcome = testing::runKbeval(dir, arguments);
    EXPECT_EQ(outcome.exitStatus, 0);
    EXPECT_TRUE(startsWith(outcome.output, "Reading 9 bytes\n"));
    ASSERT_GE(outcome.output.size(), results.size());
    EXPECT_GT(outcome.output.size(), expected.size());  // the text reports are there
    EXPECT_EQ(outcome.output.substr(outcome.output.size() - results.size()), results);
  }
}

TEST(EndToEnd, SwitchesSelectTheLayoutGroups) {
  TempDirectory dir;
  writeSmallCase(dir);
  Outcome outcome = testing::runKbeval(dir, {"sample.txt", "/3"});
  EXPECT_EQ(headings(outcome.output), std::vector<std::string>{kSmallHeadings[1]});
  outcome = testing::runKbeval(dir, {"sample.txt", "/2x"});
  EXPECT_EQ(headings(outcome.output), std::vector<std::string>{kSmallHeadings[0]});
  outcome = testing::runKbeval(dir, {"sample.txt", "/j"});
  EXPECT_TRUE(headings(outcome.output).empty());
  EXPECT_TRUE(startsWith(outcome.output, "Reading 9 bytes\n"));
  for (const char* nothing : {"/x", "/J"}) {
    outcome = testing::runKbeval(dir, {"sample.txt", nothing});
    EXPECT_EQ(outcome.exitStatus, 0);
    EXPECT_EQ(outcome.output, "Reading 9 bytes\n") << nothing;
  }
}

// A file named just ".txt" is a layout file; its heading shows "txt", the
// run of its name without dots, and it is listed first (dots sort first).
TEST(EndToEnd, ALayoutFileNamedDotTxt) {
  TempDirectory dir;
  writeSmallCase(dir);
  dir.write("keyboard/.txt", "set type:2\n1\t\xA4\xA1\tr\n");
  const Outcome outcome = testing::runKbeval(dir, {"sample.txt", "/2"});
  EXPECT_EQ(headings(outcome.output),
            (std::vector<std::string>{"*** Result of txt (2 Sets, Qwerty Fingering) ***",
                                      kSmallHeadings[0]}));
  // 가각 typed as r r, then the space and the line feed; 7 and ? are untreated.
  EXPECT_TRUE(startsWith(outcome.output,
                         "Reading 9 bytes\n\n*** Result of txt (2 Sets, Qwerty Fingering) ***\n\n"
                         "General-key stokes(L/R): 4 (2/0)"));
}

TEST(EndToEndFailures, SampleThatCannotBeOpened) {
  TempDirectory dir;
  writeSmallCase(dir);
  dir.makeDirectory("keyboard/x.txt");  // its message must not appear either
  dir.makeDirectory("folder");
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"missing.txt", "/2", "/3"},
        {"missing.txt"},
        {"folder"},
        {"folder", "/j"},
        {"/j"},
        {"keyboard"}}) {
    const Outcome outcome = testing::runKbeval(dir, arguments);
    EXPECT_EQ(outcome.output, "Cannot open sample file.\n") << arguments[0];
    EXPECT_EQ(outcome.exitStatus, 1) << arguments[0];
  }
  // No argument: the default sample.txt is missing, or is a directory.
  TempDirectory empty;
  Outcome outcome = testing::runKbeval(empty, {});
  EXPECT_EQ(outcome.output, "Cannot open sample file.\n");
  EXPECT_EQ(outcome.exitStatus, 1);
  empty.makeDirectory("sample.txt");
  outcome = testing::runKbeval(empty, {});
  EXPECT_EQ(outcome.output, "Cannot open sample file.\n");
  EXPECT_EQ(outcome.exitStatus, 1);
}

TEST(EndToEndFailures, NoKeyboardLayoutFile) {
  TempDirectory missing, empty, file, noMatch;
  empty.makeDirectory("keyboard");
  file.write("keyboard", "set type:2\n");
  noMatch.write("keyboard/a.TXT", "set type:2\n");
  noMatch.write("keyboard/a.txt.orig", "set type:2\n");
  for (const TempDirectory* dir : {&missing, &empty, &file, &noMatch}) {
    dir->write("sample.txt", "\x88\x61\x88\x62 7?\r\n");
    Outcome outcome = testing::runKbeval(*dir, {"sample.txt", "/2", "/3"});
    EXPECT_EQ(outcome.output, "Reading 9 bytes\nNo keyboard layout file.\n");
    EXPECT_EQ(outcome.exitStatus, 0);
    // The text reports are still printed.
    outcome = testing::runKbeval(*dir, {"sample.txt", "/j"});
    EXPECT_TRUE(startsWith(outcome.output, "Reading 9 bytes\nNo keyboard layout file.\n"));
    EXPECT_GT(outcome.output.size(),
              std::string("Reading 9 bytes\nNo keyboard layout file.\n").size());
    EXPECT_EQ(outcome.exitStatus, 0);
  }
}

// Permissions do not stop root: as root, these run kbeval as an unprivileged user.
RunSettings unprivileged() {
  RunSettings settings;
  settings.unprivileged = true;
  return settings;
}

TEST(EndToEndFailures, UnreadableKeyboardDirectory) {
  TempDirectory dir;
  writeSmallCase(dir);
  if (!testing::canRunUnprivileged(dir, KBEVAL_BINARY))
    GTEST_SKIP() << "cannot run kbeval as an unprivileged user here";
  ASSERT_EQ(chmod((dir / "keyboard").c_str(), 0), 0);
  const Outcome outcome = testing::runKbeval(dir, {"sample.txt", "/2", "/3"}, unprivileged());
  EXPECT_EQ(outcome.output, "Reading 9 bytes\nUnknown error.\n");
  EXPECT_EQ(outcome.exitStatus, 0);
}

TEST(EndToEndFailures, UnreadableSampleAndLayoutFile) {
  TempDirectory dir;
  writeSmallCase(dir);
  if (!testing::canRunUnprivileged(dir, KBEVAL_BINARY))
    GTEST_SKIP() << "cannot run kbeval as an unprivileged user here";
  ASSERT_EQ(chmod((dir / "keyboard/a3.txt").c_str(), 0), 0);
  Outcome outcome = testing::runKbeval(dir, {"sample.txt", "/2", "/3"}, unprivileged());
  EXPECT_EQ(outcome.exitStatus, 0);
  EXPECT_TRUE(startsWith(outcome.output,
                         "Reading 9 bytes\nCannot open keyboard layout file: keyboard/a3.txt\n"));
  EXPECT_EQ(headings(outcome.output), std::vector<std::string>{kSmallHeadings[0]});
  ASSERT_EQ(chmod((dir / "sample.txt").c_str(), 0), 0);
  outcome = testing::runKbeval(dir, {"sample.txt", "/2", "/3"}, unprivileged());
  EXPECT_EQ(outcome.output, "Cannot open sample file.\n");
  EXPECT_EQ(outcome.exitStatus, 1);
}

TEST(EndToEndFailures, LayoutFileThatIsADirectory) {
  TempDirectory dir;
  writeSmallCase(dir);
  dir.makeDirectory("keyboard/x.txt");
  dir.write("keyboard/x.txt/inner.txt", "set type:2\n");
  const Outcome outcome = testing::runKbeval(dir, {"sample.txt", "/2", "/3"});
  EXPECT_EQ(outcome.exitStatus, 0);
  const std::string expected = readTestData("two_layouts.expected");
  const std::size_t firstLine = expected.find('\n') + 1;
  EXPECT_EQ(outcome.output, expected.substr(0, firstLine) +
                                "Cannot open keyboard layout file: keyboard/x.txt\n" +
                                expected.substr(firstLine));
}

TEST(EndToEndSurvival, EmptySampleAndZeroBytes) {
  TempDirectory dir;
  writeSmallCase(dir);
  const std::string expected = readTestData("empty_sample.expected");
  dir.write("sample.txt", "");
  Outcome outcome = testing::runKbeval(dir, {"sample.txt", "/2"});
  EXPECT_EQ(outcome.exitStatus, 0);
  EXPECT_EQ(outcome.output, expected);

  // The text ends at its first zero byte: as empty as an empty file.
  dir.write("sample.txt", std::string(100, '\0') + "\x88\x61 7");
  outcome = testing::runKbeval(dir, {"sample.txt", "/2"});
  EXPECT_EQ(outcome.exitStatus, 0);
  EXPECT_EQ(outcome.output, "Reading 104 bytes\n" + expected.substr(expected.find('\n') + 1));

  // Everything else of the run works on all-zero counts.
  for (const char* name : {"empty.txt", "zeros.txt"}) {
    dir.write(name, name == "empty.txt"s ? ""s : std::string(100, '\0'));
    outcome = testing::runKbeval(dir, {name});
    EXPECT_EQ(outcome.exitStatus, 0) << name;
    EXPECT_EQ(headings(outcome.output).size(), 2u) << name;
  }
}

TEST(EndToEndSurvival, RandomBytesAsSampleAndAsLayout) {
  TempDirectory dir;
  writeSmallCase(dir);
  std::mt19937 random(7);
  std::string bytes(1 << 16, '\0');
  for (char& c : bytes) {
    c = static_cast<char>(random() % 255 + 1);
    if (c == '\x1A') c = '\x1B';  // keep the garbage up to near the end
  }
  bytes[60000] = '\x1A';
  dir.write("sample.txt", bytes);
  std::string garbage(1 << 14, '\0');
  for (char& c : garbage) c = static_cast<char>(random() & 0xFF);
  dir.write("keyboard/g.txt", garbage);
  // Garbage that is read as a 2-set layout with very strange keys.
  std::string keys;
  for (int i = 0; i < 200; ++i) keys += static_cast<char>(random() % 255 + 1);
  for (char& c : keys) {
    if (c == '\n' || c == '\x1A') c = 'y';
  }
  dir.write("keyboard/h.txt", "set type:2\n1\t\xA4\xA1\t" + keys + "\n2\t\xA4\xBF\t" + keys +
                                  "\n4\t7\t" + keys + "\n");
  const Outcome outcome = testing::runKbeval(dir, {"sample.txt"});
  EXPECT_EQ(outcome.exitStatus, 0);
  EXPECT_TRUE(startsWith(outcome.output, "Reading 65536 bytes\n"));
  const std::vector<std::string> found = headings(outcome.output);
  EXPECT_NE(std::find(found.begin(), found.end(), kSmallHeadings[0]), found.end());
  EXPECT_NE(std::find(found.begin(), found.end(), "*** Result of h (2 Sets, Qwerty Fingering) ***"),
            found.end());
}

TEST(EndToEndSurvival, LongLines) {
  TempDirectory dir;
  writeSmallCase(dir);
  std::string sample;
  for (int i = 0; i < 5000; ++i) sample += "\x88\x61";  // 가
  sample += "\r\n" + std::string(10000, 'x');
  dir.write("sample.txt", sample);
  dir.write("keyboard/long.txt", "set type:2\n" + std::string(10000, '\t') + "\n1\t\xA4\xA1\tr" +
                                     std::string(10000, ' ') + "\n");
  const Outcome outcome = testing::runKbeval(dir, {"sample.txt", "/2"});
  EXPECT_EQ(outcome.exitStatus, 0);
  EXPECT_TRUE(startsWith(outcome.output, "Reading 20002 bytes\n"));
  // b2 types 가 as "rk": 10,000 keys, 5,000 on each hand, and one line feed.
  // long types it as "r" and the first 293 of the spaces: one space stroke each.
  EXPECT_NE(outcome.output.find("*** Result of b2 (2 Sets, Qwerty Fingering) ***\n\n"
                                "General-key stokes(L/R): 10001 (5000/5000)"),
            std::string::npos);
  EXPECT_NE(outcome.output.find("*** Result of long (2 Sets, Qwerty Fingering) ***\n\n"
                                "General-key stokes(L/R): 10001 (5000/0)"),
            std::string::npos);
}

TEST(EndToEndSurvival, KeysWithHighAndControlBytes) {
  TempDirectory dir;
  writeSmallCase(dir);
  dir.write("keyboard/odd.txt",
            "set type:2\n1\t\xA4\xA1\t\x80\xFF\x01\x18\x1B\x7F\x0B\n2\t\xA4\xBF\t\xA4\xA1\x18k\n"
            "4\t?\t\x18\n");
  dir.write("sample.txt", "\x88\x61\x88\x61 ?\n");
  const Outcome outcome = testing::runKbeval(dir, {"sample.txt", "/2"});
  EXPECT_EQ(outcome.exitStatus, 0);
  const std::size_t heading =
      outcome.output.find("*** Result of odd (2 Sets, Qwerty Fingering) ***");
  ASSERT_NE(heading, std::string::npos);
  // A 0x18 that a layout file gives as a key is not an untreated character.
  EXPECT_NE(outcome.output.find("Untreated characters: 0\n", heading), std::string::npos);
}

TEST(EndToEndSurvival, ManyLayoutFilesInNameOrderTwoSetFirst) {
  TempDirectory dir;
  dir.write("sample.txt", "\x88\x61 \r\n");
  auto name = [](int i) {
    char text[16];
    std::snprintf(text, sizeof text, "k%03d", i);
    return std::string(text);
  };
  auto setType = [](int i) { return i % 3 == 0 ? 3 : 2; };
  for (int i = 119; i >= 0; --i) {  // created in reverse order
    dir.write("keyboard/" + name(i) + ".txt",
              "set type:" + std::to_string(setType(i)) + "\n1\t\xA4\xA1\tr\n");
  }
  std::vector<std::string> expected;
  for (int group : {2, 3}) {
    for (int i = 0; i < 120; ++i) {
      if (setType(i) != group) continue;
      expected.push_back("*** Result of " + name(i) + " (" + std::to_string(group) +
                         " Sets, Qwerty Fingering) ***");
    }
  }
  const Outcome outcome = testing::runKbeval(dir, {"sample.txt", "/2", "/3"});
  EXPECT_EQ(outcome.exitStatus, 0);
  EXPECT_TRUE(startsWith(outcome.output, "Reading 5 bytes\n\n*** Result of k001 "));
  EXPECT_EQ(headings(outcome.output), expected);
}

TEST(EndToEndSurvival, ReadingShowsTheSizeOnDisk) {
  TempDirectory dir;
  writeSmallCase(dir);
  // Ten bytes on disk; the text is 가 LF, three keys on b2: 0x1A ends it.
  dir.write("sample.txt", "\x88\x61\r\n\x1A\x88\x61\x88\x61 ");
  const Outcome outcome = testing::runKbeval(dir, {"sample.txt", "/2"});
  EXPECT_TRUE(startsWith(outcome.output,
                         "Reading 10 bytes\n\n*** Result of b2 (2 Sets, Qwerty "
                         "Fingering) ***\n\nGeneral-key stokes(L/R): 3 (1/1)"));
}

TEST(EndToEndSurvival, SizeBeyondTwoGigabytes) {
  TempDirectory dir;
  writeSmallCase(dir);
  // A sparse file of 3 GiB of zero bytes: the text ends at once, the size is printed whole.
  dir.write("sample.txt", "");
  ASSERT_EQ(truncate((dir / "sample.txt").c_str(), 3LL << 30), 0);
  const Outcome outcome = testing::runKbeval(dir, {"sample.txt", "/2"});
  EXPECT_EQ(outcome.exitStatus, 0);
  const std::string expected = readTestData("empty_sample.expected");
  EXPECT_EQ(outcome.output,
            "Reading 3221225472 bytes\n" + expected.substr(expected.find('\n') + 1));
}

// A FIFO named *.txt has no writer: it must be reported, not waited on.
TEST(EndToEndFailures, LayoutFileThatIsAFifo) {
  TempDirectory dir;
  writeSmallCase(dir);
  ASSERT_EQ(mkfifo((dir / "keyboard/f.txt").c_str(), 0600), 0);
  const Outcome outcome = testing::runKbeval(dir, {"sample.txt", "/2", "/3"});
  EXPECT_EQ(outcome.exitStatus, 0);
  const std::string expected = readTestData("two_layouts.expected");
  const std::size_t firstLine = expected.find('\n') + 1;
  EXPECT_EQ(outcome.output, expected.substr(0, firstLine) +
                                "Cannot open keyboard layout file: keyboard/f.txt\n" +
                                expected.substr(firstLine));
}

}  // namespace
}  // namespace kbeval
