#include "command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kbeval {
namespace {

CommandLine parseLine(std::vector<const char*> arguments) {
  arguments.insert(arguments.begin(), "kbeval");
  return parseCommandLine(static_cast<int>(arguments.size()), arguments.data());
}

RunOptions parse(std::vector<const char*> arguments) {
  const CommandLine line = parseLine(std::move(arguments));
  EXPECT_EQ(line.action, CommandAction::run) << line.error;
  return line.options;
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

TEST(CommandLine, LongOptionsStandAnywhereAndTakeTheirValueEitherWay) {
  RunOptions options = parse({"--utf8", "s.txt", "--keyboards", "k", "/2", "--jobs=3"});
  EXPECT_EQ(options.samplePath, "s.txt");
  EXPECT_EQ(on(options), "2");
  EXPECT_EQ(options.sampleEncoding, SampleEncoding::utf8);
  EXPECT_EQ(options.outputEncoding, OutputEncoding::utf8);
  EXPECT_EQ(options.keyboardDirectory, "k");
  EXPECT_EQ(options.jobs, 3u);
  // A value is taken whole, even when it looks like an option or a switch.
  options = parse({"--json", "--compare", "--html=/2", "s.txt", "--sample-enc=UTF-8", "--comp"});
  EXPECT_EQ(options.jsonPath, "--compare");
  EXPECT_EQ(options.htmlPath, "/2");
  EXPECT_TRUE(options.compare);
  EXPECT_EQ(options.sampleEncoding, SampleEncoding::utf8);
  EXPECT_EQ(options.outputEncoding, OutputEncoding::cp949);
  // --compare without switches compares every layout and leaves the text reports out.
  EXPECT_EQ(on(options), "23");
  // "--" ends the options: what follows is the sample and the switches.
  options = parse({"--quiet", "--", "--help", "/j", "--version"});
  EXPECT_TRUE(options.quiet);
  EXPECT_EQ(options.samplePath, "--help");
  EXPECT_EQ(on(options), "j");
  // A lone "-" is the sample (standard input), and "-x" is no option.
  EXPECT_EQ(parse({"-", "/i"}).samplePath, "-");
  EXPECT_EQ(parse({"-x"}).samplePath, "-x");
}

TEST(CommandLine, HelpAndVersionWinOverTheRest) {
  EXPECT_EQ(parseLine({"s.txt", "--help", "/2"}).action, CommandAction::help);
  EXPECT_EQ(parseLine({"--version"}).action, CommandAction::version);
  EXPECT_EQ(parseLine({"--version", "--help"}).action, CommandAction::help);
  EXPECT_EQ(parseLine({"--he"}).action, CommandAction::help);
}

TEST(CommandLine, UsageErrorsNameTheOption) {
  const struct {
    std::vector<const char*> arguments;
    const char* error;
  } cases[] = {
      {{"--frobnicate"}, "unknown option '--frobnicate'"},
      {{"s.txt", "--"}, nullptr},
      {{"--j"}, "ambiguous option '--j'"},
      {{"--quiet=yes"}, "option '--quiet' takes no value"},
      {{"s.txt", "--keyboards"}, "option '--keyboards' needs a value"},
      {{"--keyboards="}, "--keyboards needs a directory"},
      {{"--json="}, "--json needs a file name"},
      {{"--sample-encoding=latin1"}, "unknown sample encoding 'latin1' for --sample-encoding"},
      {{"--output-encoding", ""}, "unknown output encoding '' for --output-encoding"},
      {{"--output-encoding=johab"}, "unknown output encoding 'johab' for --output-encoding"},
      {{"--jobs=0"}, "--jobs takes a number of threads from 1 to 1024, not '0'"},
      {{"--jobs=2x"}, "--jobs takes a number of threads from 1 to 1024, not '2x'"},
      {{"--jobs=-1"}, "--jobs takes a number of threads from 1 to 1024, not '-1'"},
      {{"--jobs=99999999999"}, "--jobs takes a number of threads from 1 to 1024"},
  };
  for (const auto& c : cases) {
    const CommandLine line = parseLine(c.arguments);
    if (c.error == nullptr) {
      EXPECT_EQ(line.action, CommandAction::run);
      continue;
    }
    EXPECT_EQ(line.action, CommandAction::usageError) << c.arguments[0];
    EXPECT_EQ(line.error.rfind(c.error, 0), 0u) << line.error;
  }
}

}  // namespace
}  // namespace kbeval
