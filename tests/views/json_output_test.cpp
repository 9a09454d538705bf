// --json: the shipped example's JSON against its
// printed reports, the document on standard output, and every way the file
// can fail to be written.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "in_process.h"
#include "keystrokes/keystroke_report.h"
#include "small_case.h"
#include "temp_directory.h"
#include "views/json_read_back.h"

namespace kbeval {
namespace {

using testing::Json;
using testing::Outcome;
using testing::RunSettings;
using testing::TempDirectory;
using testing::writeSmallCase;

const std::string kExamples = std::string(KBEVAL_TEST_DATA) + "/../../examples";

// The heading and keystroke report that a layout's JSON counts print.
std::string reportOf(const Json& layout) {
  char* data = nullptr;
  std::size_t size = 0;
  std::FILE* out = open_memstream(&data, &size);
  std::fprintf(out, "\n*** Result of %s (%d Sets, %s Fingering) ***\n\n",
               layout.at("name").get<std::string>().c_str(), layout.at("setType").get<int>(),
               layout.at("fingering").get<std::string>().c_str());
  printKeystrokeReport(layout.at("counts").get<KeystrokeCounts>(),
                       layout.at("untreatedCount").get<Count>(), out);
  std::fclose(out);
  std::string text(data, size);
  std::free(data);
  return text;
}

// The shipped example: the reports printed from the JSON's counts are the
// reports kbeval prints, byte for byte, so every number the reports show
// is in the JSON; and every comparison figure is what the README defines it
// to be, worked out here from those counts.
TEST(JsonOutput, ShippedExampleAgreesWithThePrintedReports) {
  TempDirectory dir;
  const std::vector<std::string> common = {kExamples + "/sample.txt",
                                           "--keyboards=" + kExamples + "/keyboard", "/2", "/3"};
  const Outcome printed = testing::runKbeval(dir, common);
  ASSERT_EQ(printed.exitStatus, 0);
  std::vector<std::string> jsonArguments = common;
  jsonArguments.push_back("--json=-");
  const Outcome written = testing::runKbeval(dir, jsonArguments);
  ASSERT_EQ(written.exitStatus, 0);
  const Json json = Json::parse(written.output);
  const Json& layouts = json.at("layouts");
  ASSERT_EQ(layouts.size(), 5u);

  std::string reports = "Reading " + std::to_string(json.at("sample").at("bytes").get<Count>());
  reports += " bytes\n";
  for (const Json& layout : layouts) reports += reportOf(layout);
  EXPECT_EQ(printed.output, reports);

  const TextCounts text = json.at("text").get<TextCounts>();
  Count characters = text.natnaeCount + text.enterCount + text.spaceCount;
  for (Count n : text.signCount) characters += n;  // digits and signs
  for (Count n : text.symbolCount) characters += n;
  for (const Json& layout : layouts) {
    SCOPED_TRACE(layout.at("name").get<std::string>());
    const KeystrokeCounts c = layout.at("counts").get<KeystrokeCounts>();
    const ComparisonFigures f = testing::figuresFromJson(layout.at("figures"));
    const Count keystrokes = c.keyStrokes + c.shiftStrokes;
    const auto percent = [](Count part, Count whole) { return part * 100.0 / whole; };
    EXPECT_EQ(f.keystrokes, keystrokes);
    EXPECT_DOUBLE_EQ(f.keystrokesPerSyllable, static_cast<double>(keystrokes) / text.natnaeCount);
    EXPECT_DOUBLE_EQ(f.keystrokesPer100Characters, percent(keystrokes, characters));
    EXPECT_DOUBLE_EQ(f.shiftShare, percent(c.shiftStrokes, keystrokes));
    const Count left = c.leftShifts + c.leftKeys;
    const Count right = c.rightShifts + c.rightKeys + c.enterStrokes;
    EXPECT_DOUBLE_EQ(f.leftHandShare, percent(left, left + right));
    EXPECT_DOUBLE_EQ(f.rightHandShare, percent(right, left + right));
    Count rows[6] = {};
    for (const auto& column : c.generalKeyTable) {
      for (int row = 2; row <= 5; ++row) rows[row] += column[row];
    }
    EXPECT_DOUBLE_EQ(f.homeRowShare, percent(rows[3], rows[2] + rows[3] + rows[4] + rows[5]));
    EXPECT_DOUBLE_EQ(f.numberRowShare, percent(rows[5], rows[2] + rows[3] + rows[4] + rows[5]));
    EXPECT_DOUBLE_EQ(f.sameFingerShare,
                     percent(c.leftSameFinger + c.rightSameFinger - c.sameKeyStrokes, keystrokes));
    EXPECT_DOUBLE_EQ(f.sameKeyShare, percent(c.sameKeyStrokes, keystrokes));
    Count shortRuns = 0;
    for (const auto& runs : c.oneHandRuns) shortRuns += runs[0] + 2 * runs[1] + 3 * runs[2];
    EXPECT_DOUBLE_EQ(f.longOneHandRunShare, percent(keystrokes - shortRuns, keystrokes));
    Count eightFingers = 0, most = -1;
    int busiest = -1;
    for (int slot : {0, 1, 2, 3, 6, 7, 8, 9}) {
      eightFingers += c.fingerCount[slot];
      if (c.fingerCount[slot] > most) most = c.fingerCount[slot], busiest = slot;
    }
    EXPECT_EQ(f.busiestFinger, busiest);
    EXPECT_DOUBLE_EQ(f.busiestFingerLoad, percent(most, eightFingers));
    EXPECT_EQ(f.untreated, layout.at("untreatedCount").get<Count>());
  }
}

// Files in `dir` other than those named: a temporary file left behind shows here.
std::vector<std::string> strayFiles(const TempDirectory& dir, std::vector<std::string> expected) {
  std::vector<std::string> stray;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    const std::string name = entry.path().filename().string();
    if (std::find(expected.begin(), expected.end(), name) == expected.end()) stray.push_back(name);
  }
  return stray;
}

// With "-", standard output holds the document alone: the "Reading" line and
// the loader's messages go to standard error, and no report is printed.
TEST(JsonOutput, StandardOutputHoldsTheDocumentAlone) {
  TempDirectory dir;
  writeSmallCase(dir);
  dir.write("keyboard/x.txt/inner.txt", "");  // a layout "file" that cannot be opened
  for (const char* extra : {"--compare", "/j"}) {
    const Outcome outcome = testing::runKbeval(dir, {"sample.txt", "--json", "-", extra});
    EXPECT_EQ(outcome.exitStatus, 0);
    EXPECT_EQ(outcome.errors,
              "Reading 9 bytes\nCannot open keyboard layout file: keyboard/x.txt\n");
    const Json json = Json::parse(outcome.output);
    EXPECT_EQ(json.at("sample").at("bytes"), 9);
    EXPECT_EQ(json.at("text").at("natnaeCount"), 2);
    // "/j" alone evaluates no layout; --compare all of them.
    EXPECT_EQ(json.at("layouts").size(), extra == std::string("/j") ? 0u : 2u);
  }
  const Outcome missing = testing::runKbeval(dir, {"missing.txt", "--json=-"});
  EXPECT_EQ(missing.exitStatus, 1);
  EXPECT_EQ(missing.output, "");
  EXPECT_EQ(missing.errors, "Cannot open sample file.\n");
}

// A written file replaces the old one whole, with the old one's permissions,
// and leaves nothing else behind; through a link it replaces the link's
// target, and the link stays.
TEST(JsonOutput, FileIsReplacedWholeThroughLinksToo) {
  TempDirectory dir;
  writeSmallCase(dir);
  dir.write("out.json", "old");
  ASSERT_EQ(chmod((dir / "out.json").c_str(), 0640), 0);
  dir.write("real/target.json", "old");
  std::filesystem::create_symlink("real/target.json", dir / "link.json");
  Outcome outcome = testing::runKbeval(dir, {"sample.txt", "--json=out.json"});
  EXPECT_EQ(outcome.exitStatus, 0);
  EXPECT_NE(outcome.output.find("*** Result of b2"), std::string::npos);  // reports as usual
  std::ifstream in(dir / "out.json");
  EXPECT_EQ(Json::parse(in).at("layouts").size(), 2u);
  struct stat info {};
  ASSERT_EQ(stat((dir / "out.json").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);

  outcome = testing::runKbeval(dir, {"sample.txt", "--json=link.json", "/2"});
  EXPECT_EQ(outcome.exitStatus, 0);
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.json"));
  std::ifstream target(dir / "real/target.json");
  EXPECT_EQ(Json::parse(target).at("layouts").size(), 1u);
  EXPECT_EQ(strayFiles(dir, {"keyboard", "sample.txt", "out.json", "link.json", "real"}),
            std::vector<std::string>{});
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "real"), {}), 1);
}

// The views keep a small row per layout and write the JSON pass by pass:
// 400 layouts (13 passes) cost little more than 40 (2 passes): about 2.4 MB,
// mostly the layouts themselves. Keeping each layout's full findings until
// the end would cost about 11 MB more. Both runs share one child process,
// whose peak after the small run is the baseline, on one thread, so the load
// of other processes cannot move the measure.
TEST(JsonOutput, ManyLayoutsKeepMemoryFlat) {
  const std::string layout =
      "set type:2\n1\t\xA4\xA1\tr\n2\t\xA4\xBF\tk\n3\t\xA4\xA1\tr\n4\t?\t?\n";
  TempDirectory few, many;
  for (const TempDirectory* dir : {&few, &many}) {
    writeSmallCase(*dir);
    const int layouts = dir == &few ? 40 : 400;
    for (int i = 0; i < layouts; ++i) {
      dir->write("keyboard/m" + std::to_string(1000 + i) + ".txt", layout);
    }
  }
  const auto views = [](const TempDirectory& dir) {
    const Outcome outcome = testing::runKbevalInProcess(
        dir, {"sample.txt", "--jobs=1", "--compare", "--json=out.json"});
    return outcome.exitStatus == 0;
  };
  const long growth =
      testing::peakGrowthKiB([&] { return views(few); }, [&] { return views(many); });
  ASSERT_GE(growth, 0);
  std::ifstream in(many / "out.json");
  EXPECT_EQ(Json::parse(in).at("layouts").size(), 402u);
  if (testing::kMemoryIsMeasurable) {
    EXPECT_LT(growth, 6 * 1024);
  }
}

// A JSON file or HTML page that cannot be written: one line on standard
// error, exit status 1, and no file, half-written or temporary, left behind;
// an old file in a directory that cannot be written stays as it was. A path
// that cannot be created fails before the sample is read, so nothing is
// printed.
TEST(OutputFiles, UnwritablePathsFailWithOneLine) {
  TempDirectory dir;
  writeSmallCase(dir);
  dir.makeDirectory("folder");
  dir.write("locked/old", "old");
  ASSERT_EQ(chmod((dir / "locked").c_str(), 0555), 0);
  const bool unprivileged = testing::canRunUnprivileged(dir, KBEVAL_BINARY);
  struct Case {
    std::string path, why;
    bool unprivileged = false;
  };
  const Case cases[] = {
      {"folder", "Is a directory"},
      {"missing/out", "No such file or directory"},
      {"sample.txt/out", "Not a directory"},
      {"locked/old", "Permission denied", true},
  };
  for (const auto& [option, what] :
       {std::pair{"--json=", "the JSON file"}, std::pair{"--html=", "the HTML report"}}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(option + c.path);
      if (c.unprivileged && !unprivileged) continue;
      const Outcome outcome = testing::runKbeval(dir, {"sample.txt", option + c.path},
                                                 {.unprivileged = c.unprivileged});
      EXPECT_EQ(outcome.exitStatus, 1);
      EXPECT_EQ(outcome.output, "");
      EXPECT_EQ(outcome.errors,
                std::string("kbeval: cannot write ") + what + " '" + c.path + "': " + c.why + "\n");
    }
  }
  EXPECT_EQ(strayFiles(dir, {"keyboard", "sample.txt", "folder", "locked"}),
            std::vector<std::string>{});
  EXPECT_TRUE(std::filesystem::is_empty(dir / "folder"));
  EXPECT_EQ(testing::readFile(dir / "locked/old"), "old");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "locked"), {}), 1);

  if (std::filesystem::exists("/dev/full")) {
    const Outcome full = testing::runKbeval(dir, {"sample.txt", "/2", "--json=/dev/full"});
    EXPECT_EQ(full.exitStatus, 1);
    EXPECT_EQ(full.errors,
              "kbeval: cannot write the JSON file '/dev/full': No space left on device\n");
    EXPECT_NE(full.output.find("*** Result of b2"), std::string::npos);
  }
}

// A disk that fills up while the document is written: the old file stays as
// it was and no temporary file is left. (A file size limit stands in for the
// full disk: writes beyond it fail.)
TEST(JsonOutput, FullDiskLeavesTheOldFile) {
  TempDirectory dir;
  writeSmallCase(dir);
  dir.write("out.json", "old");
  const Outcome outcome = testing::runProgram(
      dir, "/bin/sh",
      {"-c", "ulimit -f 4 && trap '' XFSZ && exec '" KBEVAL_BINARY "' sample.txt --json=out.json"});
  EXPECT_EQ(outcome.exitStatus, 1);
  EXPECT_TRUE(outcome.errors.starts_with("kbeval: cannot write the JSON file 'out.json': "))
      << outcome.errors;
  EXPECT_EQ(std::count(outcome.errors.begin(), outcome.errors.end(), '\n'), 1);
  std::ifstream in(dir / "out.json");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "old");
  EXPECT_EQ(strayFiles(dir, {"keyboard", "sample.txt", "out.json"}), std::vector<std::string>{});
}

}  // namespace
}  // namespace kbeval
