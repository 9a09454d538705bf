#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "in_process.h"
#include "temp_directory.h"

namespace kbeval {
namespace {

using testing::TempDirectory;

// Two small layouts that type the same text differently.
const std::string kTwoSet =
    "set type:2\n1\t\xA4\xA1\tr\n2\t\xA4\xBF\tk\n3\t\xA4\xA1\tr\n4\t?\t?\n4\t1\t1\n";
const std::string kThreeSet =
    "set type:3\nfingering:Gong3\n1\t\xA4\xA1\tk\n2\t\xA4\xBF\tf\n3\t\xA4\xA1\tX\n4\t?\t9\n";
// 각각 ? 1, twice over.
const std::string kSample = "\x88\x62\x88\x62 ? 1\r\n\x88\x62\x88\x62 ? 1\n";

std::string run(const std::string& samplePath, const std::string& keyboard) {
  RunOptions options;
  options.samplePath = samplePath;
  options.twoSetResults = options.threeSetResults = true;
  options.keyboardDirectory = keyboard;
  const testing::Outcome outcome = testing::runKbevalOptions(options);
  EXPECT_EQ(outcome.exitStatus, 0);
  return outcome.output;
}

std::string layoutName(int i) {
  char name[16];
  std::snprintf(name, sizeof name, "L%03d.txt", i);
  return name;
}

// More layouts than one pass over the sample evaluates: every layout must
// still get the results it gets alone, 2-set layouts first, each group in
// name order, and the sample is read whole each time.
TEST(LayoutPasses, ManyLayoutsGetTheResultsEachGetsAlone) {
  TempDirectory all;
  all.write("sample.txt", kSample);
  TempDirectory twoSetAlone, threeSetAlone;
  twoSetAlone.write("sample.txt", kSample);
  twoSetAlone.write("keyboard/L.txt", kTwoSet);
  threeSetAlone.write("sample.txt", kSample);
  threeSetAlone.write("keyboard/L.txt", kThreeSet);
  const std::string twoSetResult = run(twoSetAlone / "sample.txt", twoSetAlone / "keyboard");
  const std::string threeSetResult = run(threeSetAlone / "sample.txt", threeSetAlone / "keyboard");
  const std::string heading = "\n*** Result of L (2 Sets, Qwerty Fingering) ***\n\n";
  const std::string threeHeading = "\n*** Result of L (3 Sets, Gong3 Fingering) ***\n\n";
  ASSERT_NE(twoSetResult.find(heading), std::string::npos);
  ASSERT_NE(threeSetResult.find(threeHeading), std::string::npos);
  const std::string twoSetReport = twoSetResult.substr(twoSetResult.find(heading) + heading.size());
  const std::string threeSetReport =
      threeSetResult.substr(threeSetResult.find(threeHeading) + threeHeading.size());
  ASSERT_NE(twoSetReport, threeSetReport);

  constexpr int kLayouts = 75;  // more than two passes' worth
  std::string twoSets, threeSets;
  for (int i = 0; i < kLayouts; ++i) {
    const std::string name = layoutName(i);
    const std::string shown = name.substr(0, 4);
    if (i % 3 == 0) {
      all.write("keyboard/" + name, kThreeSet);
      threeSets +=
          "\n*** Result of " + shown + " (3 Sets, Gong3 Fingering) ***\n\n" + threeSetReport;
    } else {
      all.write("keyboard/" + name, kTwoSet);
      twoSets += "\n*** Result of " + shown + " (2 Sets, Qwerty Fingering) ***\n\n" + twoSetReport;
    }
  }
  const std::string expected = "Reading " + std::to_string(kSample.size()) + " bytes\n";
  EXPECT_EQ(run(all / "sample.txt", all / "keyboard"), expected + twoSets + threeSets);

  // A sample that cannot be read twice (a pipe) is copied to a spool file as
  // the first pass reads it, and the further passes read the copy.
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  ASSERT_EQ(write(ends[1], kSample.data(), kSample.size()), static_cast<ssize_t>(kSample.size()));
  close(ends[1]);
  const std::string piped = run("/dev/fd/" + std::to_string(ends[0]), all / "keyboard");
  close(ends[0]);
  // It shows the bytes read from it, so it prints what the file does.
  EXPECT_EQ(piped, expected + twoSets + threeSets);
}

}  // namespace
}  // namespace kbeval
