// kbeval's command line: GNU-style long options wherever they stand, and
// around them the sample path and the "/" switches, read as they always were.
//
// "--name=value" and "--name value" both give an option its value, an
// unambiguous prefix names an option, and "--" ends the options. Of the other
// arguments the first is the sample (even when it begins with "/") and the
// rest are switches ("/2", "/3", "/i", "/j"; only the second character
// counts). Without any switch, every report is on.
#pragma once

#include <cstdio>
#include <string>

#include "shell/long_options.h"
#include "text/encodings.h"

namespace kbeval {

struct RunOptions {
  std::string samplePath = "sample.txt";  // "-" is standard input
  bool twoSetResults = false;
  bool threeSetResults = false;
  bool combinationReport = false;
  bool jamoReport = false;

  SampleEncoding sampleEncoding = SampleEncoding::johab;
  OutputEncoding outputEncoding = OutputEncoding::cp949;
  std::string keyboardDirectory = "keyboard";
  bool quiet = false;    // no progress display
  unsigned jobs = 0;     // threads for the layouts; 0: every core the process may use
  bool compare = false;  // one comparison table instead of the keystroke reports
  std::string jsonPath;  // empty: no JSON; "-": standard output
  std::string htmlPath;  // empty: no HTML report
  std::string board;     // --board: a shipped board's name or a board file; empty: none
  std::string baseline;  // the layout the others are set against; empty: the first evaluated
};

struct CommandLine {
  CommandAction action = CommandAction::run;
  RunOptions options;
  std::string error;  // for usageError: what was wrong, naming the option
};

CommandLine parseCommandLine(int argc, const char* const* argv);

// The text printed by --help.
const char* usageText();

// The whole program: parses the command line, then prints the help, the
// version or a usage error (exit status 2), or runs kbeval.
int kbevalMain(int argc, const char* const* argv, std::FILE* out, std::FILE* err);

}  // namespace kbeval
