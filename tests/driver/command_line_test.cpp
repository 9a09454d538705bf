#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/run.h"

namespace kbeval {
namespace {

RunOptions parse(std::vector<const char*> arguments) {
  arguments.insert(arguments.begin(), "kbeval");
  return parseCommandLine(static_cast<int>(arguments.size()), arguments.data());
}

// The switches as a string: "2", "3", "i", "j" for every one that is on.
std::string on(const RunOptions& options) {
  std::string result;
  if (options.twoSetResults) result += '2';
  if (options.threeSetResults) result += '3';
  if (options.combinationReport) result += 'i';
  if (options.jamoReport) result += 'j';
  return result;
}

TEST(CommandLine, NoArgumentsReadsSampleTxtWithEverythingOn) {
  const RunOptions options = parse({});
  EXPECT_EQ(options.samplePath, "sample.txt");
  EXPECT_EQ(on(options), "23ij");
}

TEST(CommandLine, SwitchesChooseTheReports) {
  EXPECT_EQ(on(parse({"s.txt"})), "23ij");
  EXPECT_EQ(on(parse({"s.txt", "/j"})), "j");
  EXPECT_EQ(on(parse({"s.txt", "/i"})), "i");
  EXPECT_EQ(on(parse({"s.txt", "/2", "/3"})), "23");
  EXPECT_EQ(on(parse({"s.txt", "/3"})), "3");
  EXPECT_EQ(on(parse({"s.txt", "/2abc"})), on(parse({"s.txt", "/2"})));
  EXPECT_EQ(on(parse({"s.txt", "/j", "/j"})), "j");
  EXPECT_EQ(on(parse({"s.txt", "/j", "other", "/2"})), "2j");  // non-switches are skipped
  EXPECT_EQ(on(parse({"s.txt", "other"})), "23ij");
  EXPECT_EQ(parse({"s.txt", "/2"}).samplePath, "s.txt");
}

TEST(CommandLine, AnUnknownSwitchTurnsEverythingOff) {
  for (const char* unknown : {"/x", "/J", "/I", "/", "//", "/ 2"}) {
    EXPECT_EQ(on(parse({"s.txt", unknown})), "") << unknown;
    EXPECT_EQ(on(parse({"s.txt", unknown, "/3"})), "3") << unknown;
  }
  EXPECT_EQ(on(parse({"s.txt", ""})), "23ij");  // an empty argument is no switch
}

TEST(CommandLine, TheFirstArgumentIsAlwaysTheSamplePath) {
  RunOptions options = parse({"/j"});
  EXPECT_EQ(options.samplePath, "/j");
  EXPECT_EQ(on(options), "23ij");
  options = parse({"/tmp/x"});
  EXPECT_EQ(options.samplePath, "/tmp/x");
  EXPECT_EQ(on(options), "23ij");
  options = parse({"/tmp/x", "/2"});
  EXPECT_EQ(options.samplePath, "/tmp/x");
  EXPECT_EQ(on(options), "2");
}

}  // namespace
}  // namespace kbeval
