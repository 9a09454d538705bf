// GNU-style long options as kbeval and its tools read them: "--name=value"
// or "--name value", an unambiguous prefix of a name stands for its option,
// "--" ends the options, and every other argument is an operand, handed out
// in order. Each program keeps its own table of options and what they do.
#pragma once

#include <charconv>
#include <span>
#include <string>
#include <string_view>

namespace kbeval {

template <typename Id>
struct LongOption {
  std::string_view name;  // without the leading "--"
  Id id;
  bool takesValue;
};

// Where the scan of a command line stands.
struct ArgumentScan {
  int argc = 0;
  const char* const* argv = nullptr;
  int next = 1;  // argv[0] is the program
  bool optionsEnded = false;
};

enum class ArgumentKind { option, operand, end, error };

template <typename Id>
struct ScannedArgument {
  ArgumentKind kind = ArgumentKind::end;
  const LongOption<Id>* option = nullptr;  // for an option
  std::string_view value;                  // the option's value, or the operand
  std::string error;                       // for an error: what is wrong, naming the option
};

// 'text' in single quotes, for messages.
inline std::string quoted(std::string_view text) {
  std::string result(1, '\'');
  result.append(text);
  result.push_back('\'');
  return result;
}

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

// The next argument: an option with its value, an operand, the end, or an
// error (unknown or ambiguous name, a value missing or given where none is
// taken).
template <typename Id>
ScannedArgument<Id> scanArgument(ArgumentScan& scan, std::span<const LongOption<Id>> options) {
  ScannedArgument<Id> result;
  for (;;) {
    if (scan.next >= scan.argc) return result;
    const std::string_view argument = scan.argv[scan.next++];
    if (scan.optionsEnded || !argument.starts_with("--")) {
      result.kind = ArgumentKind::operand;
      result.value = argument;
      return result;
    }
    if (argument != "--") break;
    scan.optionsEnded = true;
  }
  const std::string_view body = std::string_view(scan.argv[scan.next - 1]).substr(2);
  const std::size_t equals = body.find('=');
  const std::string_view name = body.substr(0, equals);
  const LongOption<Id>* prefixOf = nullptr;
  int prefixMatches = 0;
  for (const LongOption<Id>& option : options) {
    if (option.name == name) {
      prefixOf = &option;
      prefixMatches = 1;
      break;
    }
    if (!name.empty() && option.name.starts_with(name)) {
      prefixOf = &option;
      ++prefixMatches;
    }
  }
  result.kind = ArgumentKind::error;
  if (prefixMatches != 1) {
    result.error = (prefixMatches == 0 ? "unknown option '--" : "ambiguous option '--") +
                   std::string(name) + "'";
    return result;
  }
  const std::string optionName = "option '--" + std::string(prefixOf->name) + "'";
  if (equals != std::string_view::npos) {
    if (!prefixOf->takesValue) {
      result.error = optionName + " takes no value";
      return result;
    }
    result.value = body.substr(equals + 1);
  } else if (prefixOf->takesValue) {
    if (scan.next >= scan.argc) {
      result.error = optionName + " needs a value";
      return result;
    }
    result.value = scan.argv[scan.next++];
  }
  result.kind = ArgumentKind::option;
  result.option = prefixOf;
  return result;
}

}  // namespace kbeval
