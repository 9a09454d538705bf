#include "command_line.h"

#include <sys/stat.h>

#include <string_view>
#include <vector>

#include "run.h"
#include "shell/long_options.h"
#include "shell/output_file.h"
#include "views/json_report.h"

#ifndef KBEVAL_LAYOUT_DIR
#define KBEVAL_LAYOUT_DIR "/usr/local/share/kbeval/keyboard"
#endif

namespace kbeval {

namespace {

enum class OptionId {
  sampleEncoding,
  outputEncoding,
  utf8,
  keyboards,
  quiet,
  jobs,
  compare,
  json,
  html,
  board,
  baseline,
  help,
  version
};

using KnownOption = LongOption<OptionId>;

constexpr KnownOption kOptions[] = {
    {"sample-encoding", OptionId::sampleEncoding, true},
    {"output-encoding", OptionId::outputEncoding, true},
    {"utf8", OptionId::utf8, false},
    {"keyboards", OptionId::keyboards, true},
    {"quiet", OptionId::quiet, false},
    {"jobs", OptionId::jobs, true},
    {"compare", OptionId::compare, false},
    {"json", OptionId::json, true},
    {"html", OptionId::html, true},
    {"board", OptionId::board, true},
    {"baseline", OptionId::baseline, true},
    {"help", OptionId::help, false},
    {"version", OptionId::version, false},
};

// Applies one option with its value; false (and `error` set) for a bad value.
bool applyOption(const KnownOption& known, std::string_view value, RunOptions& options,
                 std::string& error) {
  const std::string option = "--" + std::string(known.name);
  switch (known.id) {
    case OptionId::sampleEncoding:
      return readSampleEncodingOption(option, value, options.sampleEncoding, error);
    case OptionId::outputEncoding:
      return readOutputEncodingOption(option, value, options.outputEncoding, error);
    case OptionId::utf8:
      options.sampleEncoding = SampleEncoding::utf8;
      options.outputEncoding = OutputEncoding::utf8;
      return true;
    case OptionId::keyboards:
      return readNonEmptyOption(option, value, "a directory", options.keyboardDirectory, error);
    case OptionId::quiet:
      options.quiet = true;
      return true;
    case OptionId::jobs:
      return readJobsOption(option, value, options.jobs, error);
    case OptionId::compare:
      options.compare = true;
      return true;
    case OptionId::json:
    case OptionId::html:
      if (known.id == OptionId::json && !jsonAvailable()) {
        error = option + " is not available: this kbeval was built without nlohmann-json";
        return false;
      }
      if (value.empty()) {
        error = option + " needs a file name";
        return false;
      }
      // The page would be lost among the reports on standard output.
      if (known.id == OptionId::html && value == "-") {
        error = option + " needs a file name, not standard output";
        return false;
      }
      (known.id == OptionId::json ? options.jsonPath : options.htmlPath) = value;
      return true;
    case OptionId::board:
      if (value.empty()) {
        error = option + " needs a board: ansi, ortho, split or a board file";
        return false;
      }
      options.board = value;
      return true;
    case OptionId::baseline:
      if (value.empty()) {
        error = option + " needs a layout name";
        return false;
      }
      options.baseline = value;
      return true;
    case OptionId::help:
    case OptionId::version:
      break;  // the skeleton's
  }
  return false;
}

// The "/" switches: only the second character counts; without any switch
// everything is on. --compare compares layouts: all of them unless "/2" or
// "/3" chooses, and the text reports only when "/i" or "/j" asks for them.
void applySwitches(const std::vector<std::string_view>& switches, RunOptions& options) {
  bool sawSwitch = false;
  for (std::string_view argument : switches) {
    if (!argument.starts_with('/')) continue;
    sawSwitch = true;
    switch (argument.size() > 1 ? argument[1] : '\0') {
      case '2':
        options.twoSetResults = true;
        break;
      case '3':
        options.threeSetResults = true;
        break;
      case 'i':
        options.combinationReport = true;
        break;
      case 'j':
        options.jamoReport = true;
        break;
      default:
        break;
    }
  }
  if (options.compare) {
    if (!options.twoSetResults && !options.threeSetResults) {
      options.twoSetResults = options.threeSetResults = true;
    }
  } else if (!sawSwitch) {
    options.twoSetResults = options.threeSetResults = true;
    options.combinationReport = options.jamoReport = true;
  }
}

}  // namespace

CommandLine parseCommandLine(int argc, const char* const* argv) {
  CommandLine result;
  ParsedCommand command = parseArguments<OptionId>(
      argc, argv, kOptions,
      [&](const KnownOption& option, std::string_view value, std::string& error) {
        return applyOption(option, value, result.options, error);
      });
  result.action = command.action;
  result.error = std::move(command.error);
  std::vector<std::string_view>& others = command.operands;
  if (!others.empty()) {
    result.options.samplePath = others.front();
    others.erase(others.begin());
  }
  applySwitches(others, result.options);
  return result;
}

const char* usageText() {
  return R"(Usage: kbeval [OPTION]... [SAMPLE] [/2] [/3] [/i] [/j]
Evaluate Korean keyboard layouts: type the sample text on every layout, key by
key, and report jamo frequencies, jamo junctions, and per layout the load of
each hand and finger, Shift use, one-hand runs, same-key and same-finger runs,
and row and column use.

SAMPLE is the text to type: sample.txt when not given, standard input for -.
The first argument that is not an option is always the sample, even when it
begins with "/"; a sample whose name begins with "--" is given as ./--NAME or
after "--". It is read as Johab unless --sample-encoding=utf-8 (or --utf8)
says UTF-8; a line feed ends a line (CR LF too), and a 0x1A or zero byte ends
the text.

Switches choose the reports; without any switch all are printed, in this order:
  /j    jamo frequencies of the text
  /i    the combination ("ieum") tables of the text
  /2    the keystroke report of every 2-set layout
  /3    the keystroke report of every 3-set layout
Only the second character of a switch counts; an unknown switch turns nothing
on.

Options (anywhere on the line; --NAME=VALUE or --NAME VALUE; "--" ends them):
      --sample-encoding=ENC  read the sample as johab (default) or utf-8; in
                             UTF-8, characters Johab lacks are skipped, and so
                             are bytes that are no character (their number is
                             given on standard error)
      --output-encoding=ENC  print jamo and symbols in cp949 (default) or utf-8
      --utf8                 both of the above in utf-8
      --keyboards=DIR        take the layouts from DIR instead of ./keyboard
      --compare              print one table comparing the layouts, and their
                             worst key pairs, instead of the keystroke reports:
                             all layouts unless /2 or /3 chooses, and the text
                             reports before it only when /i or /j asks
      --json=FILE            write every number of the run as JSON to FILE
                             (- for standard output, which then holds the JSON
                             alone: messages go to standard error, and no
                             report is printed)
      --html=FILE            write a self-contained HTML report with keyboard
                             pictures and charts to FILE
      --board=NAME|FILE      type on another board: a shipped one (ansi, the
                             default; ortho, a 4x12 grid; split, two
                             column-staggered halves) or a board file (see
                             docs/boards.md); on ansi a layout's fingering
                             line applies, on the others the board's fingers.
                             --compare and --json then also show the pair
                             and triple figures (alternation, rolls, same
                             finger, scissors, redirects, skipgrams, effort)
      --baseline=NAME        set the other layouts against the layout NAME (as
                             the comparison table names it; default: the first
                             evaluated): differences in --compare, --json and
                             the --html report's difference keyboards
      --jobs=N               evaluate the layouts on N threads (default: every
                             core this process may run on)
      --quiet                no progress display on standard error (it is
                             shown only on a terminal, for runs of more than
                             a second)
      --help                 print this help and exit
      --version              print the version and exit

Layouts are the files DIR/*.txt (DIR is ./keyboard unless --keyboards names
another), taken in byte-wise name order; those of set type 2 and 3 are
evaluated, every 2-set layout before every 3-set one. Layout files may give
jamo and symbols in CP949 or in UTF-8. The shipped layouts are installed in
)" KBEVAL_LAYOUT_DIR R"(.

Exit status: 0 after a complete run; 1 when the sample cannot be opened or
read, or an output cannot be written; 2 for a command-line error.
)";
}

namespace {

// Whether `path` names the file that `out` writes to.
bool isOutputStream(const std::string& path, std::FILE* out) {
  struct stat named {
  }, stream{};
  return ::stat(path.c_str(), &named) == 0 && ::fstat(::fileno(out), &stream) == 0 &&
         named.st_dev == stream.st_dev && named.st_ino == stream.st_ino;
}

// False, with `error` naming both, when an output file would destroy the
// sample, the other output or the reports on standard output.
bool filesStandApart(const RunOptions& options, std::FILE* out, std::string& error) {
  // The page would be lost among the reports, whatever the name of standard output.
  if (!options.htmlPath.empty() && isOutputStream(options.htmlPath, out)) {
    error = "--html needs a file name, not standard output";
    return false;
  }
  std::vector<RunFile> outputs;
  if (!options.htmlPath.empty())
    outputs.push_back({"--html " + quoted(options.htmlPath), options.htmlPath});
  if (!options.jsonPath.empty() && options.jsonPath != "-") {
    outputs.push_back({"--json " + quoted(options.jsonPath), options.jsonPath});
    struct stat info {};
    // Replacing the file that standard output writes would take the reports with it.
    if (::stat(options.jsonPath.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
        isOutputStream(options.jsonPath, out)) {
      error = outputs.back().role + " is the same file as standard output";
      return false;
    }
  }
  const bool standardInput = options.samplePath == "-";
  const RunFile sample{
      standardInput ? "the sample (standard input)" : "the sample " + quoted(options.samplePath),
      standardInput ? "/dev/stdin" : options.samplePath};
  return outputsStandApart(outputs, {sample}, error);
}

}  // namespace

int kbevalMain(int argc, const char* const* argv, std::FILE* out, std::FILE* err) {
  const ProgramInfo program{"kbeval", usageText()};
  const CommandLine commandLine = parseCommandLine(argc, argv);
  if (commandLine.action != CommandAction::run) {
    return finishCommand(program, commandLine.action, commandLine.error, out, err);
  }
  std::string clash;
  if (!filesStandApart(commandLine.options, out, clash)) {
    return finishCommand(program, CommandAction::usageError, clash, out, err);
  }
  return runKbeval(commandLine.options, out, err);
}

}  // namespace kbeval
