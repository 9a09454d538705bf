// --json, run as the built binary: the shipped example's JSON against its
// printed reports, the document on standard output, and every way the file
// can fail to be written.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "temp_directory.h"
#include "views/json_read_back.h"

namespace kbeval {
namespace {

using testing::Json;
using testing::Outcome;
using testing::RunSettings;
using testing::TempDirectory;

const std::string kExamples = std::string(KBEVAL_TEST_DATA) + "/../../examples";

Outcome runKbevalBinary(const TempDirectory& dir, const std::vector<std::string>& arguments,
                        const RunSettings& settings = {}) {
  return testing::runProgram(dir, KBEVAL_BINARY, arguments, settings);
}

// One layout's keystroke report, read back from its printed lines.
struct PrintedReport {
  std::string heading;
  Count general = 0, leftKeys = 0, rightKeys = 0, shift = 0, leftShifts = 0, rightShifts = 0;
  Count enter = 0, total = 0, leftTotal = 0, rightTotal = 0, space = 0, untreated = 0;
  std::array<Count, kFingerSlots> fingers{};
  std::array<std::array<Count, 13>, 2> runStrokes{};  // hand, length 1..12
  Count sameKey = 0, leftSameKey = 0, rightSameKey = 0;
  Count oneFinger = 0, leftOneFinger = 0, rightOneFinger = 0;
  Count leftShiftSameFinger = 0, rightShiftSameFinger = 0;
  std::array<std::array<Count, 7>, kFingerSlots> sameKeyRuns{}, sameFingerRuns{};
  std::array<std::array<Count, kRows>, kFingerSlots> totalKeys{}, generalKeys{};
};

int slotOfLabel(int label) {
  return label < 0 ? label + 5 : label + 4;
}

// " -2: 1*420+2*3 = 426 ...": the buckets of one finger slot.
void readDistribution(const std::string& line, std::array<std::array<Count, 7>, 10>& runs) {
  int label = 0;
  ASSERT_EQ(std::sscanf(line.c_str(), " %d:", &label), 1) << line;
  std::string terms = line.substr(line.find(':') + 1, line.find('=') - line.find(':') - 1);
  for (char& c : terms) c = c == '+' || c == '*' ? ' ' : c;
  std::istringstream in(terms);
  for (int repeats = 0; in >> repeats;) in >> runs[slotOfLabel(label)][repeats];
}

std::vector<PrintedReport> readReports(const std::string& output) {
  std::vector<PrintedReport> reports;
  std::istringstream in(output);
  enum { none, oneHand, sameKeyLines, sameFingerLines, totalTable, generalTable } part = none;
  int tableRow = 0;
  constexpr int kPrintedRows[] = {5, 4, 3, 2};
  constexpr int kEightFingers[] = {0, 1, 2, 3, 6, 7, 8, 9};
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with("*** Result of ")) {
      reports.push_back({line});
      part = none;
      continue;
    }
    if (reports.empty()) continue;
    PrintedReport& r = reports.back();
    const char* s = line.c_str();
    long long a = 0, b = 0, c = 0;
    if (std::sscanf(s, "General-key stokes(L/R): %lld (%lld/%lld)", &a, &b, &c) == 3) {
      r.general = a, r.leftKeys = b, r.rightKeys = c;
    } else if (std::sscanf(s, "Shift-key strokes(L/R): %lld (%lld/%lld)", &a, &b, &c) == 3) {
      r.shift = a, r.leftShifts = b, r.rightShifts = c;
    } else if (std::sscanf(s, "Counted enter strokes : %lld", &a) == 1) {
      r.enter = a;
    } else if (std::sscanf(s, "Total keystrokes except space (L/R): %lld (%lld/%lld)", &a, &b,
                           &c) == 3) {
      r.total = a, r.leftTotal = b, r.rightTotal = c;
    } else if (part == none && (line.starts_with(" L: 2:") || line.starts_with(" R: 2:"))) {
      const bool left = line[1] == 'L';
      std::istringstream terms(line.substr(4));
      for (std::string term; terms >> term;) {
        int finger = 0;
        long long count = 0;
        EXPECT_EQ(std::sscanf(term.c_str(), "%d:%lld:", &finger, &count), 2) << line;
        r.fingers[left ? 5 - finger : finger + 4] = count;
      }
    } else if (std::sscanf(s, "Counted space strokes : %lld", &a) == 1) {
      r.space = a;
    } else if (std::sscanf(s, "Untreated characters: %lld", &a) == 1) {
      r.untreated = a;
    } else if (line == "Continuous one-hand strokes frequency distribution") {
      part = oneHand;
    } else if (part == oneHand && (line.starts_with(" L:") || line.starts_with(" R:"))) {
      std::istringstream terms(line.substr(3));
      for (std::string term; terms >> term;) {
        int length = 0;
        long long strokes = 0;
        EXPECT_EQ(std::sscanf(term.c_str(), "%d:%lld(", &length, &strokes), 2) << line;
        r.runStrokes[line[1] == 'L' ? 0 : 1][length] = strokes;
      }
    } else if (std::sscanf(s, "Continuous same-key strokes (L/R) : %lld (%lld/%lld)", &a, &b, &c) ==
               3) {
      r.sameKey = a, r.leftSameKey = b, r.rightSameKey = c;
      part = sameKeyLines;
    } else if (std::sscanf(s, "Total Continuous one-finger strokes : %lld (L:%lld R:%lld)", &a, &b,
                           &c) == 3) {
      r.oneFinger = a, r.leftOneFinger = b, r.rightOneFinger = c;
      part = sameFingerLines;
    } else if (std::sscanf(s, "Continuous same-finger strokes involved in L/R shifts : %lld/%lld",
                           &a, &b) == 2) {
      r.leftShiftSameFinger = a, r.rightShiftSameFinger = b;
      part = none;
    } else if ((part == sameKeyLines || part == sameFingerLines) && line.size() > 4 &&
               line[3] == ':') {
      readDistribution(line, part == sameKeyLines ? r.sameKeyRuns : r.sameFingerRuns);
    } else if (line == "Finger/Line frequency (Total key) :") {
      part = totalTable, tableRow = -1;
    } else if (line == "Finger/Line frequency (General key) :") {
      part = generalTable, tableRow = -1;
    } else if ((part == totalTable || part == generalTable) && !line.empty()) {
      if (tableRow++ < 0) continue;  // the column names
      std::istringstream cells(line);
      for (int k = 0; k < (part == totalTable ? 8 : 10); ++k) {
        long long n = 0;
        cells >> n;
        if (part == totalTable) {
          r.totalKeys[kEightFingers[k]][kPrintedRows[tableRow - 1]] = n;
        } else {
          r.generalKeys[k][kPrintedRows[tableRow - 1]] = n;
        }
      }
    }
  }
  return reports;
}

Count readCount(const std::string& output, const char* format) {
  const std::size_t at = output.find(std::string(format).substr(0, std::string(format).find('%')));
  long long n = -1;
  if (at != std::string::npos) std::sscanf(output.c_str() + at, format, &n);
  return n;
}

// The shipped example: every number of every keystroke report equals the
// JSON's count of it, and every comparison figure is what the README
// defines it to be, worked out here from the printed numbers alone.
TEST(JsonOutput, ShippedExampleAgreesWithThePrintedReports) {
  TempDirectory dir;
  const std::vector<std::string> common = {kExamples + "/sample.txt",
                                           "--keyboards=" + kExamples + "/keyboard"};
  std::vector<std::string> printedArguments = common;
  const Outcome printed = runKbevalBinary(dir, printedArguments);
  ASSERT_EQ(printed.exitStatus, 0);
  std::vector<std::string> jsonArguments = common;
  jsonArguments.push_back("--json=-");
  const Outcome written = runKbevalBinary(dir, jsonArguments);
  ASSERT_EQ(written.exitStatus, 0);
  const Json json = Json::parse(written.output);

  const std::vector<PrintedReport> reports = readReports(printed.output);
  const Json& layouts = json.at("layouts");
  ASSERT_EQ(reports.size(), 5u);
  ASSERT_EQ(layouts.size(), reports.size());

  const Count syllables = readCount(printed.output, "Hangeul Natnae: %lld");
  const Count characters = syllables + readCount(printed.output, "Digits: %lld") +
                           readCount(printed.output, "Signs: %lld") +
                           readCount(printed.output, "Enter : %lld") +
                           readCount(printed.output, "Space : %lld");
  EXPECT_EQ(json.at("text").at("natnaeCount"), syllables);

  for (std::size_t i = 0; i < reports.size(); ++i) {
    const PrintedReport& r = reports[i];
    const Json& l = layouts[i];
    SCOPED_TRACE(r.heading);
    char heading[256];
    std::snprintf(heading, sizeof heading, "*** Result of %s (%d Sets, %s Fingering) ***",
                  l.at("name").get<std::string>().c_str(), l.at("setType").get<int>(),
                  l.at("fingering").get<std::string>().c_str());
    EXPECT_EQ(r.heading, heading);
    const KeystrokeCounts c = testing::countsFromJson(l.at("counts"));
    EXPECT_EQ(c.keyStrokes, r.general);
    EXPECT_EQ(c.leftKeys, r.leftKeys);
    EXPECT_EQ(c.rightKeys, r.rightKeys);
    EXPECT_EQ(c.shiftStrokes, r.shift);
    EXPECT_EQ(c.leftShifts, r.leftShifts);
    EXPECT_EQ(c.rightShifts, r.rightShifts);
    EXPECT_EQ(c.enterStrokes, r.enter);
    EXPECT_EQ(l.at("counts").at("leftTotal"), r.leftTotal);
    EXPECT_EQ(l.at("counts").at("rightTotal"), r.rightTotal);
    EXPECT_EQ(c.spaceStrokes, r.space);
    EXPECT_EQ(l.at("untreatedCount"), r.untreated);
    for (int slot : {0, 1, 2, 3, 6, 7, 8, 9}) EXPECT_EQ(c.fingerCount[slot], r.fingers[slot]);
    for (int hand = 0; hand < 2; ++hand) {
      for (int length = 1; length <= 12; ++length) {
        EXPECT_EQ(length * c.oneHandRuns[hand][length - 1], r.runStrokes[hand][length]);
      }
    }
    EXPECT_EQ(c.sameKeyStrokes, r.sameKey);
    EXPECT_EQ(c.leftSameKey, r.leftSameKey);
    EXPECT_EQ(c.rightSameKey, r.rightSameKey);
    EXPECT_EQ(c.leftSameFinger, r.leftOneFinger);
    EXPECT_EQ(c.rightSameFinger, r.rightOneFinger);
    EXPECT_EQ(c.leftShiftSameFinger, r.leftShiftSameFinger);
    EXPECT_EQ(c.rightShiftSameFinger, r.rightShiftSameFinger);
    for (int slot = 0; slot < kFingerSlots; ++slot) {
      for (int repeats = 1; repeats <= 6; ++repeats) {
        EXPECT_EQ(c.sameKeyRuns[slot][repeats], r.sameKeyRuns[slot][repeats]);
        EXPECT_EQ(c.sameFingerRuns[slot][repeats], r.sameFingerRuns[slot][repeats]);
      }
      for (int row = 2; row <= 5; ++row) {
        if (slot != 4 && slot != 5) {
          EXPECT_EQ(c.totalKeyTable[slot][row], r.totalKeys[slot][row]);
        }
        EXPECT_EQ(c.generalKeyTable[slot][row], r.generalKeys[slot][row]);
      }
    }

    // The figures, as the README defines them from the report's numbers.
    const ComparisonFigures f = testing::figuresFromJson(l.at("figures"));
    const Count keystrokes = r.general + r.shift;
    const auto percent = [](Count part, Count whole) { return part * 100.0 / whole; };
    EXPECT_EQ(f.keystrokes, keystrokes);
    EXPECT_DOUBLE_EQ(f.keystrokesPerSyllable, static_cast<double>(keystrokes) / syllables);
    EXPECT_DOUBLE_EQ(f.keystrokesPer100Characters, percent(keystrokes, characters));
    EXPECT_DOUBLE_EQ(f.shiftShare, percent(r.shift, keystrokes));
    EXPECT_DOUBLE_EQ(f.leftHandShare, percent(r.leftTotal, r.total));
    EXPECT_DOUBLE_EQ(f.rightHandShare, percent(r.rightTotal, r.total));
    Count rows[6] = {};
    for (int slot = 0; slot < kFingerSlots; ++slot) {
      for (int row = 2; row <= 5; ++row) rows[row] += r.generalKeys[slot][row];
    }
    const Count characterKeys = rows[2] + rows[3] + rows[4] + rows[5];
    EXPECT_DOUBLE_EQ(f.homeRowShare, percent(rows[3], characterKeys));
    EXPECT_DOUBLE_EQ(f.numberRowShare, percent(rows[5], characterKeys));
    EXPECT_DOUBLE_EQ(f.sameFingerShare, percent(r.oneFinger - r.sameKey, keystrokes));
    EXPECT_DOUBLE_EQ(f.sameKeyShare, percent(r.sameKey, keystrokes));
    Count shortRuns = 0;
    for (int hand = 0; hand < 2; ++hand) {
      for (int length = 1; length <= 3; ++length) shortRuns += r.runStrokes[hand][length];
    }
    EXPECT_DOUBLE_EQ(f.longOneHandRunShare, percent(keystrokes - shortRuns, keystrokes));
    Count eightFingers = 0, most = -1;
    int busiest = -1;
    for (int slot : {0, 1, 2, 3, 6, 7, 8, 9}) {
      eightFingers += r.fingers[slot];
      if (r.fingers[slot] > most) most = r.fingers[slot], busiest = slot;
    }
    EXPECT_EQ(f.busiestFinger, busiest);
    EXPECT_DOUBLE_EQ(f.busiestFingerLoad, percent(most, eightFingers));
    EXPECT_EQ(f.untreated, r.untreated);
  }
}

// The small case of the comparison test: two layouts, 9 bytes of sample.
void writeSmallCase(const TempDirectory& dir) {
  dir.write("keyboard/a3.txt",
            "set type:3\nfingering:gong 3\n1\t\xA4\xA1\tk\n2\t\xA4\xBF\tf\n3\t\xA4\xA1\tx\n"
            "4\t7\t6\n4\t?\tZ\n");
  dir.write("keyboard/b2.txt",
            "set type:2\n1\t\xA4\xA1\tr\n2\t\xA4\xBF\tk\n3\t\xA4\xA1\tr\n4\t?\t?\n");
  dir.write("sample.txt", "\x88\x61\x88\x62 7?\r\n");
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
    const Outcome outcome = runKbevalBinary(dir, {"sample.txt", "--json", "-", extra});
    EXPECT_EQ(outcome.exitStatus, 0);
    EXPECT_EQ(outcome.errors,
              "Reading 9 bytes\nCannot open keyboard layout file: keyboard/x.txt\n");
    const Json json = Json::parse(outcome.output);
    EXPECT_EQ(json.at("sample").at("bytes"), 9);
    EXPECT_EQ(json.at("text").at("natnaeCount"), 2);
    // "/j" alone evaluates no layout; --compare all of them.
    EXPECT_EQ(json.at("layouts").size(), extra == std::string("/j") ? 0u : 2u);
  }
  const Outcome missing = runKbevalBinary(dir, {"missing.txt", "--json=-"});
  EXPECT_EQ(missing.exitStatus, 1);
  EXPECT_EQ(missing.output, "");
  EXPECT_EQ(missing.errors, "Cannot open sample file.\n");
}

// A written file replaces the old one whole, with the old one's permissions,
// and leaves nothing else behind.
TEST(JsonOutput, FileIsReplacedWhole) {
  TempDirectory dir;
  writeSmallCase(dir);
  dir.write("out.json", "old");
  ASSERT_EQ(chmod((dir / "out.json").c_str(), 0640), 0);
  const Outcome outcome = runKbevalBinary(dir, {"sample.txt", "--json=out.json"});
  EXPECT_EQ(outcome.exitStatus, 0);
  EXPECT_NE(outcome.output.find("*** Result of b2"), std::string::npos);  // reports as usual
  std::ifstream in(dir / "out.json");
  const Json json = Json::parse(in);
  EXPECT_EQ(json.at("layouts").size(), 2u);
  struct stat info {};
  ASSERT_EQ(stat((dir / "out.json").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  EXPECT_EQ(strayFiles(dir, {"keyboard", "sample.txt", "out.json"}), std::vector<std::string>{});
}

// Through a link the JSON goes to the link's target; the link stays.
TEST(JsonOutput, LinkIsFollowedToItsTarget) {
  TempDirectory dir;
  writeSmallCase(dir);
  dir.makeDirectory("real");
  dir.write("real/target.json", "old");
  std::filesystem::create_symlink("real/target.json", dir / "out.json");
  const Outcome outcome = runKbevalBinary(dir, {"sample.txt", "--json=out.json", "/2"});
  EXPECT_EQ(outcome.exitStatus, 0);
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "out.json"));
  std::ifstream in(dir / "real/target.json");
  EXPECT_EQ(Json::parse(in).at("layouts").size(), 1u);
  EXPECT_EQ(strayFiles(dir, {"keyboard", "sample.txt", "out.json", "real"}),
            std::vector<std::string>{});
}

// The views keep a small row per layout and write the JSON pass by pass:
// 400 layouts (13 passes) cost next to nothing beyond the reports. Keeping
// each layout's full counts until the end would cost about 8 MB here.
TEST(JsonOutput, ManyLayoutsKeepMemoryFlat) {
  TempDirectory dir;
  writeSmallCase(dir);
  const std::string layout =
      "set type:2\n1\t\xA4\xA1\tr\n2\t\xA4\xBF\tk\n3\t\xA4\xA1\tr\n4\t?\t?\n";
  for (int i = 0; i < 400; ++i) dir.write("keyboard/m" + std::to_string(1000 + i) + ".txt", layout);
  const Outcome reports = runKbevalBinary(dir, {"sample.txt", "/2", "/3"});
  const Outcome views = runKbevalBinary(dir, {"sample.txt", "--compare", "--json=out.json"});
  ASSERT_EQ(reports.exitStatus, 0);
  ASSERT_EQ(views.exitStatus, 0);
  std::ifstream in(dir / "out.json");
  EXPECT_EQ(Json::parse(in).at("layouts").size(), 402u);
#ifndef __SANITIZE_ADDRESS__  // the sanitizer's own memory would swamp the measure
  EXPECT_LT(views.peakMemoryKiB, reports.peakMemoryKiB + 3 * 1024)
      << reports.peakMemoryKiB << " KiB for the reports";
#endif
}

// A JSON file that cannot be written: one line on standard error, exit
// status 1, and no file, half-written or temporary, left behind. A path that
// cannot be created fails before the sample is read, so nothing is printed.
TEST(JsonOutput, UnwritablePathsFailWithOneLine) {
  TempDirectory dir;
  writeSmallCase(dir);
  dir.makeDirectory("folder");
  struct Case {
    std::string path;
    std::string why;
  };
  const Case cases[] = {
      {"folder", "Is a directory"},
      {"missing/out.json", "No such file or directory"},
      {"sample.txt/out.json", "Not a directory"},
  };
  for (const Case& c : cases) {
    const Outcome outcome = runKbevalBinary(dir, {"sample.txt", "--json=" + c.path});
    EXPECT_EQ(outcome.exitStatus, 1) << c.path;
    EXPECT_EQ(outcome.output, "") << c.path;
    EXPECT_EQ(outcome.errors,
              "kbeval: cannot write the JSON file '" + c.path + "': " + c.why + "\n");
  }
  EXPECT_EQ(strayFiles(dir, {"keyboard", "sample.txt", "folder"}), std::vector<std::string>{});
  EXPECT_TRUE(std::filesystem::is_empty(dir / "folder"));

  if (std::filesystem::exists("/dev/full")) {
    const Outcome full = runKbevalBinary(dir, {"sample.txt", "/2", "--json=/dev/full"});
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

TEST(JsonOutput, DirectoryWithoutWritePermission) {
  TempDirectory dir;
  writeSmallCase(dir);
  dir.makeDirectory("locked");
  if (!testing::canRunUnprivileged(dir, KBEVAL_BINARY))
    GTEST_SKIP() << "cannot run kbeval as an unprivileged user here";
  ASSERT_EQ(chmod((dir / "locked").c_str(), 0555), 0);
  RunSettings settings;
  settings.unprivileged = true;
  const Outcome outcome = runKbevalBinary(dir, {"sample.txt", "--json=locked/out.json"}, settings);
  EXPECT_EQ(outcome.exitStatus, 1);
  EXPECT_EQ(outcome.errors,
            "kbeval: cannot write the JSON file 'locked/out.json': Permission denied\n");
  EXPECT_TRUE(std::filesystem::is_empty(dir / "locked"));
}

}  // namespace
}  // namespace kbeval
