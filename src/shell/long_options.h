// The command-line skeleton of kbeval and its tools: GNU-style long options
// read from one table per program, and what every program does alike with
// --help, --version and a usage error.
//
// "--name=value" or "--name value" gives an option its value, an unambiguous
// prefix of a name stands for its option, "--" ends the options, and every
// other argument is an operand, handed back in order. A program whose table
// gives short names also reads "-x VALUE" and "-xVALUE"; in the others an
// argument with one dash ("-", "-x") is an operand like any other.
//
// Each program's table lists --help and --version too (so that prefixes are
// judged against every name); the skeleton acts on those two itself and
// hands every other option to the program. A usage error is one line on
// standard error, "PROGRAM: WHAT; see 'PROGRAM --help'", exit status 2, and
// nothing on standard output.
#pragma once

#include <charconv>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "text/encodings.h"

namespace kbeval {

// One row of a program's option table. The program's Id enumeration has
// members `help` and `version`, which the skeleton handles.
template <typename Id>
struct LongOption {
  std::string_view name;  // without the leading "--"
  Id id;
  bool takesValue;
  char shortName = 0;  // 'o' for "-o"; 0 for none
};

// What a program is called and what its --help prints.
struct ProgramInfo {
  const char* name;   // "kbeval-optimize": the first word of --version and of every message
  const char* usage;  // the whole --help text
};

enum class CommandAction { run, help, version, usageError };

// A command line as read: what to do, the operands in order, and for a
// usage error what was wrong, naming the option.
struct ParsedCommand {
  CommandAction action = CommandAction::run;
  std::vector<std::string_view> operands;
  std::string error;
};

// The version every program reports, and the HTML report shows.
const char* kbevalVersion();

// 'text' in single quotes, for messages.
std::string quoted(std::string_view text);

// A whole number, all of `text`, from `least` to `most`.
template <typename Number>
bool parseNumberInRange(std::string_view text, Number least, Number most, Number& number) {
  Number parsed{};
  const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), parsed);
  if (status != std::errc{} || end != text.data() + text.size()) return false;
  if (parsed < least || parsed > most) return false;
  number = parsed;
  return true;
}

// Option values that mean the same in every program; false with `error`
// set ("--jobs takes a number of threads from 1 to 1024, not 'x'").
bool readJobsOption(std::string_view option, std::string_view value, unsigned& jobs,
                    std::string& error);
// A value that may not be empty, such as a file name: false, with `error`
// set ("--output needs a file name"), for an empty one.
bool readNonEmptyOption(std::string_view option, std::string_view value, const char* what,
                        std::string& to, std::string& error);
bool readSampleEncodingOption(std::string_view option, std::string_view value,
                              SampleEncoding& encoding, std::string& error);
bool readOutputEncodingOption(std::string_view option, std::string_view value,
                              OutputEncoding& encoding, std::string& error);

namespace detail {

// Where the scan of a command line stands.
struct ArgumentScan {
  int argc = 0;
  const char* const* argv = nullptr;
  int next = 1;  // argv[0] is the program
  bool optionsEnded = false;
};

// An option found in the command line: the row of the table, its value, or
// an error naming it. `row` is -1 for an operand (in `value`) and at the end.
struct ScannedArgument {
  int row = -1;
  bool end = false;
  std::string_view value;
  std::string error;
};

// The table's names and short names, as the scan needs them.
struct OptionName {
  std::string_view name;
  bool takesValue;
  char shortName;
};

ScannedArgument scanArgument(ArgumentScan& scan, std::span<const OptionName> names);

}  // namespace detail

// Reads argv[1..] against `options`. Every option but --help and --version
// goes to apply(option, value, error), which returns false, with `error` set,
// for a value it refuses. The first error ends the reading as a usage error.
// --help wins over --version wherever they stand; a usage error wins over both.
template <typename Id, typename Apply>
ParsedCommand parseArguments(int argc, const char* const* argv,
                             std::span<const LongOption<Id>> options, Apply&& apply) {
  std::vector<detail::OptionName> names;
  names.reserve(options.size());
  for (const LongOption<Id>& option : options) {
    names.push_back({option.name, option.takesValue, option.shortName});
  }
  ParsedCommand command;
  detail::ArgumentScan scan{argc, argv};
  for (;;) {
    detail::ScannedArgument argument = detail::scanArgument(scan, names);
    if (argument.end) break;
    if (!argument.error.empty()) {
      command.action = CommandAction::usageError;
      command.error = std::move(argument.error);
      return command;
    }
    if (argument.row < 0) {
      command.operands.push_back(argument.value);
      continue;
    }
    const LongOption<Id>& option = options[static_cast<std::size_t>(argument.row)];
    if (option.id == Id::help) {
      command.action = CommandAction::help;
    } else if (option.id == Id::version) {
      if (command.action != CommandAction::help) command.action = CommandAction::version;
    } else if (!apply(option, argument.value, command.error)) {
      command.action = CommandAction::usageError;
      return command;
    }
  }
  return command;
}

// Turns `command` into a usage error saying `error`; for checks of the
// operands and of options together, once the arguments are read.
void failUsage(ParsedCommand& command, std::string error);

// Prints the help, the version or the usage error (`error`) that `action`
// asks for and returns the exit status: 0 (1 when standard output cannot take
// the text) or 2.
int finishCommand(const ProgramInfo& program, CommandAction action, const std::string& error,
                  std::FILE* out, std::FILE* err);

// A usage error found once the run has begun (the start layout leaves no key
// to move, say): the same line as any other, and exit status 2.
int reportUsageError(const ProgramInfo& program, const std::string& error, std::FILE* err);

// The one line a program prints when memory runs out; exit status 1. Each
// main catches std::bad_alloc and calls this.
int reportOutOfMemory(const char* program, std::FILE* err);

}  // namespace kbeval
