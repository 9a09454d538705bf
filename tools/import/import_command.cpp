#include "import_command.h"

#include <cerrno>
#include <cstring>
#include <string_view>

#include "layout_import.h"
#include "shell/long_options.h"
#include "shell/output_file.h"
#include "text/ascii_case.h"

namespace kbeval::import {

namespace {

enum class OptionId { fingering, encoding, lossy, output, help, version };

using KnownOption = LongOption<OptionId>;

constexpr KnownOption kOptions[] = {
    {"fingering", OptionId::fingering, true, 'f'},
    {"encoding", OptionId::encoding, true},
    {"lossy", OptionId::lossy, false},
    {"output", OptionId::output, true, 'o'},
    {"help", OptionId::help, false, 'h'},
    {"version", OptionId::version, false},
};

constexpr char kUsage[] =
    "usage: kbeval-import [--fingering Pyojun|Gong|Gong3|none] [--encoding cp949|utf-8] "
    "[--lossy] [--output FILE] KEYBOARD.xml\n"
    "       kbeval-import --help | --version\n";

constexpr ProgramInfo kProgram{"kbeval-import", kUsage};

struct ImportOptions {
  std::string fingering;
  std::string output;  // empty: standard output
  std::string input;
  OutputEncoding encoding = OutputEncoding::cp949;
  bool lossy = false;
};

bool applyOption(const KnownOption& known, std::string_view value, ImportOptions& options,
                 std::string& error) {
  const std::string option = "--" + std::string(known.name);
  switch (known.id) {
    case OptionId::fingering:
      if (const auto fingering = fingeringOption(std::string(value))) {
        options.fingering = *fingering;
        return true;
      }
      error = "unknown fingering " + quoted(value) + " for " + option +
              " (Pyojun, Gong, Gong3 or none)";
      return false;
    case OptionId::encoding:
      return readOutputEncodingOption(option, value, options.encoding, error);
    case OptionId::lossy:
      options.lossy = true;
      return true;
    case OptionId::output:
      return readNonEmptyOption(option, value, "a file name", options.output, error);
    case OptionId::help:
    case OptionId::version:
      break;  // the skeleton's
  }
  return false;
}

std::string joinProblems(const std::vector<std::string>& problems) {
  std::string joined;
  for (const std::string& problem : problems) {
    if (!joined.empty()) joined += "; ";
    joined += problem;
  }
  return joined;
}

bool writeAll(const std::string& text, std::FILE* file) {
  return std::fwrite(text.data(), 1, text.size(), file) == text.size() && std::fflush(file) == 0;
}

// Writes `text` to the output file whole (a device or pipe directly), or
// leaves the file as it was.
bool writeOutput(const std::string& path, const std::string& text, std::string& error) {
  OutputFile file;
  if (!openOutputFile(path, file, error)) return false;
  std::fwrite(text.data(), 1, text.size(), file.stream);
  return commitOutputFile(file, error);
}

// The layout file text of the keyboard at `input`, or false with a message
// for `err` (without the program's name).
bool convert(const ImportOptions& options, std::string& text, std::FILE* err) {
  const std::string& input = options.input;
  const KeyboardReadResult read = readHangulKeyboard(input);
  if (read.failure == ReadFailure::Unreadable) {
    std::fprintf(err, "kbeval-import: %s: %s\n", input.c_str(), read.message.c_str());
    return false;
  }
  if (read.failure == ReadFailure::NotKeyboard) {
    std::fprintf(err, "kbeval-import: %s: not a libhangul keyboard: %s\n", input.c_str(),
                 read.message.c_str());
    return false;
  }
  const ImportResult imported = importKeyboard(*read.keyboard);
  if (!imported.refusal.empty()) {
    std::fprintf(err, "kbeval-import: %s: cannot be expressed: %s\n", input.c_str(),
                 imported.refusal.c_str());
    return false;
  }
  const auto& problems = imported.layout.problems;
  if (!problems.empty()) {
    std::fprintf(err, "kbeval-import: %s: %s: %s (%zu %s%s)\n", input.c_str(),
                 options.lossy ? "written without" : "cannot be expressed",
                 joinProblems(problems).c_str(), problems.size(),
                 problems.size() == 1 ? "problem" : "problems",
                 options.lossy ? "" : "; --lossy writes the layout without them");
    if (!options.lossy) return false;
  }
  text = formatLayoutFile(imported.layout, {describeSource(input, *read.keyboard),
                                            options.fingering, options.encoding});
  return true;
}

}  // namespace

std::optional<std::string> fingeringOption(const std::string& name) {
  if (equalsIgnoringCase(name, "pyojun")) return "Pyojun";
  if (equalsIgnoringCase(name, "gong")) return "Gong";
  if (equalsIgnoringCase(name, "gong3")) return "Gong3";
  if (equalsIgnoringCase(name, "none") || equalsIgnoringCase(name, "qwerty")) return "";
  return std::nullopt;
}

std::string describeSource(const std::string& path, const HangulKeyboard& keyboard) {
  const auto slash = path.rfind('/');
  std::string source = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string name;
  for (char c : keyboard.name) {
    if (c >= 0x20 && c <= 0x7E) name += c;
  }
  source += " (";
  if (!name.empty()) source += name + ", ";
  return source + "type " + keyboard.type + ")";
}

int importMain(int argc, const char* const* argv, std::FILE* out, std::FILE* err) {
  ImportOptions options;
  ParsedCommand command = parseArguments<OptionId>(
      argc, argv, kOptions,
      [&](const KnownOption& option, std::string_view value, std::string& error) {
        return applyOption(option, value, options, error);
      });
  if (command.action == CommandAction::run) {
    if (command.operands.empty()) {
      failUsage(command, "no keyboard file given");
    } else if (command.operands.size() > 1) {
      failUsage(command, "one keyboard file only, not also " + quoted(command.operands[1]));
    } else {
      options.input = command.operands.front();
    }
  }
  if (command.action != CommandAction::run) {
    return finishCommand(kProgram, command.action, command.error, out, err);
  }

  std::string text;
  if (!convert(options, text, err)) return kExitFailed;
  if (options.output.empty()) {
    if (!writeAll(text, out)) {
      std::fprintf(err, "kbeval-import: cannot write the layout: %s\n", std::strerror(errno));
      return kExitFailed;
    }
    return kExitOk;
  }
  std::string error;
  if (!writeOutput(options.output, text, error)) {
    std::fprintf(err, "kbeval-import: %s: cannot write: %s\n", options.output.c_str(),
                 error.c_str());
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace kbeval::import
