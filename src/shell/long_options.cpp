#include "shell/long_options.h"

#include <algorithm>

#ifndef KBEVAL_VERSION
#error "KBEVAL_VERSION is set by the top CMakeLists.txt, from the project's version"
#endif

namespace kbeval {

namespace {

constexpr unsigned kMostJobs = 1024;

bool hasShortNames(std::span<const detail::OptionName> names) {
  return std::any_of(names.begin(), names.end(),
                     [](const detail::OptionName& n) { return n.shortName != 0; });
}

detail::ScannedArgument scanShort(detail::ArgumentScan& scan, std::string_view argument,
                                  std::span<const detail::OptionName> names) {
  detail::ScannedArgument result;
  const std::string name(argument.substr(0, 2));
  const auto option = std::find_if(names.begin(), names.end(), [&](const detail::OptionName& n) {
    return n.shortName == argument[1];
  });
  if (option == names.end()) {
    result.error = "unknown option " + quoted(argument);
    return result;
  }
  result.row = static_cast<int>(option - names.begin());
  if (!option->takesValue) {
    if (argument.size() > 2) result.error = "option " + quoted(name) + " takes no value";
    return result;
  }
  if (argument.size() > 2) {
    result.value = argument.substr(2);
  } else if (scan.next < scan.argc) {
    result.value = scan.argv[scan.next++];
  } else {
    result.error = "option " + quoted(name) + " needs a value";
  }
  return result;
}

}  // namespace

const char* kbevalVersion() {
  return KBEVAL_VERSION;
}

std::string quoted(std::string_view text) {
  std::string result(1, '\'');
  result.append(text);
  result.push_back('\'');
  return result;
}

bool readJobsOption(std::string_view option, std::string_view value, unsigned& jobs,
                    std::string& error) {
  if (parseNumberInRange(value, 1u, kMostJobs, jobs)) return true;
  error = std::string(option) + " takes a number of threads from 1 to " +
          std::to_string(kMostJobs) + ", not " + quoted(value);
  return false;
}

bool readNonEmptyOption(std::string_view option, std::string_view value, const char* what,
                        std::string& to, std::string& error) {
  if (value.empty()) {
    error = std::string(option) + " needs " + what;
    return false;
  }
  to = value;
  return true;
}

bool readSampleEncodingOption(std::string_view option, std::string_view value,
                              SampleEncoding& encoding, std::string& error) {
  if (const auto named = sampleEncodingNamed(value)) {
    encoding = *named;
    return true;
  }
  error = "unknown sample encoding " + quoted(value) + " for " + std::string(option) +
          " (johab or utf-8)";
  return false;
}

bool readOutputEncodingOption(std::string_view option, std::string_view value,
                              OutputEncoding& encoding, std::string& error) {
  if (const auto named = outputEncodingNamed(value)) {
    encoding = *named;
    return true;
  }
  error = "unknown output encoding " + quoted(value) + " for " + std::string(option) +
          " (cp949 or utf-8)";
  return false;
}

namespace detail {

ScannedArgument scanArgument(ArgumentScan& scan, std::span<const OptionName> names) {
  ScannedArgument result;
  std::string_view argument;
  for (;;) {
    if (scan.next >= scan.argc) {
      result.end = true;
      return result;
    }
    argument = scan.argv[scan.next++];
    if (scan.optionsEnded || !argument.starts_with('-') || argument == "-") {
      result.value = argument;
      return result;
    }
    if (!argument.starts_with("--")) {
      if (hasShortNames(names)) return scanShort(scan, argument, names);
      result.value = argument;
      return result;
    }
    if (argument != "--") break;
    scan.optionsEnded = true;
  }
  const std::string_view body = argument.substr(2);
  const std::size_t equals = body.find('=');
  const std::string_view name = body.substr(0, equals);
  int row = -1;
  int prefixMatches = 0;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i].name == name) {
      row = static_cast<int>(i);
      prefixMatches = 1;
      break;
    }
    if (!name.empty() && names[i].name.starts_with(name)) {
      row = static_cast<int>(i);
      ++prefixMatches;
    }
  }
  if (prefixMatches != 1) {
    result.error = (prefixMatches == 0 ? "unknown option " : "ambiguous option ") +
                   quoted("--" + std::string(name));
    return result;
  }
  const OptionName& option = names[static_cast<std::size_t>(row)];
  const std::string optionName = "option " + quoted("--" + std::string(option.name));
  result.row = row;
  if (equals != std::string_view::npos) {
    if (!option.takesValue) {
      result.error = optionName + " takes no value";
      return result;
    }
    result.value = body.substr(equals + 1);
  } else if (option.takesValue) {
    if (scan.next >= scan.argc) {
      result.error = optionName + " needs a value";
      return result;
    }
    result.value = scan.argv[scan.next++];
  }
  return result;
}

}  // namespace detail

void failUsage(ParsedCommand& command, std::string error) {
  command.action = CommandAction::usageError;
  command.error = std::move(error);
}

int finishCommand(const ProgramInfo& program, CommandAction action, const std::string& error,
                  std::FILE* out, std::FILE* err) {
  switch (action) {
    case CommandAction::help:
      std::fputs(program.usage, out);
      break;
    case CommandAction::version:
      std::fprintf(out, "%s %s\n", program.name, kbevalVersion());
      break;
    case CommandAction::usageError:
      return reportUsageError(program, error, err);
    case CommandAction::run:
      return 0;
  }
  return std::fflush(out) == 0 && !std::ferror(out) ? 0 : 1;
}

int reportUsageError(const ProgramInfo& program, const std::string& error, std::FILE* err) {
  std::fprintf(err, "%s: %s; see '%s --help'\n", program.name, error.c_str(), program.name);
  return 2;
}

int reportOutOfMemory(const char* program, std::FILE* err) {
  std::fprintf(err, "%s: out of memory\n", program);
  return 1;
}

}  // namespace kbeval
