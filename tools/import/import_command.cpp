#include "import_command.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "layout_import.h"

namespace kbeval::import {

namespace {

constexpr const char* kUsage =
    "usage: kbeval-import [--fingering Pyojun|Gong|Gong3|none] [--encoding cp949|utf-8] "
    "[--lossy] [--output FILE] KEYBOARD.xml\n";

std::string lowerAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
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

}  // namespace

std::optional<std::string> fingeringOption(const std::string& name) {
  const std::string lower = lowerAscii(name);
  if (lower == "pyojun") return "Pyojun";
  if (lower == "gong") return "Gong";
  if (lower == "gong3") return "Gong3";
  if (lower == "none" || lower == "qwerty") return "";
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

int runImportCommand(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
  std::string fingering;
  std::string output;
  std::string input;
  OutputEncoding encoding = OutputEncoding::cp949;
  bool lossy = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    // "--name=value" is "--name value".
    std::optional<std::string> attached;
    if (arg.starts_with("--") && arg.find('=') != std::string::npos) {
      attached = arg.substr(arg.find('=') + 1);
      arg.erase(arg.find('='));
    }
    const bool hasValue = attached || i + 1 < args.size();
    auto value = [&]() -> std::string { return attached ? *attached : args[++i]; };
    if ((arg == "--fingering" || arg == "-f") && hasValue) {
      const std::string name = value();
      const auto option = fingeringOption(name);
      if (!option) {
        std::fprintf(err, "kbeval-import: unknown fingering \"%s\" (Pyojun, Gong, Gong3 or none)\n",
                     name.c_str());
        return kExitUsage;
      }
      fingering = *option;
    } else if (arg == "--encoding" && hasValue) {
      const std::string name = value();
      const auto option = outputEncodingNamed(name);
      if (!option) {
        std::fprintf(err, "kbeval-import: unknown encoding \"%s\" (cp949 or utf-8)\n",
                     name.c_str());
        return kExitUsage;
      }
      encoding = *option;
    } else if ((arg == "--output" || arg == "-o") && hasValue) {
      output = value();
    } else if (attached) {
      std::fputs(kUsage, err);
      return kExitUsage;
    } else if (arg == "--lossy") {
      lossy = true;
    } else if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, out);
      return kExitOk;
    } else if (input.empty() && !arg.empty() && arg[0] != '-') {
      input = arg;
    } else {
      std::fputs(kUsage, err);
      return kExitUsage;
    }
  }
  if (input.empty()) {
    std::fputs(kUsage, err);
    return kExitUsage;
  }

  const KeyboardReadResult read = readHangulKeyboard(input);
  if (read.failure == ReadFailure::Unreadable) {
    std::fprintf(err, "kbeval-import: %s: %s\n", input.c_str(), read.message.c_str());
    return kExitFailed;
  }
  if (read.failure == ReadFailure::NotKeyboard) {
    std::fprintf(err, "kbeval-import: %s: not a libhangul keyboard: %s\n", input.c_str(),
                 read.message.c_str());
    return kExitFailed;
  }
  const ImportResult imported = importKeyboard(*read.keyboard);
  if (!imported.refusal.empty()) {
    std::fprintf(err, "kbeval-import: %s: cannot be expressed: %s\n", input.c_str(),
                 imported.refusal.c_str());
    return kExitFailed;
  }
  const auto& problems = imported.layout.problems;
  if (!problems.empty()) {
    std::fprintf(err, "kbeval-import: %s: %s: %s (%zu %s%s)\n", input.c_str(),
                 lossy ? "written without" : "cannot be expressed", joinProblems(problems).c_str(),
                 problems.size(), problems.size() == 1 ? "problem" : "problems",
                 lossy ? "" : "; --lossy writes the layout without them");
    if (!lossy) return kExitFailed;
  }

  const std::string text = formatLayoutFile(
      imported.layout, {describeSource(input, *read.keyboard), fingering, encoding});
  if (output.empty()) {
    if (!writeAll(text, out)) {
      std::fprintf(err, "kbeval-import: cannot write the layout: %s\n", std::strerror(errno));
      return kExitFailed;
    }
    return kExitOk;
  }
  // Written beside the target and renamed over it, so that a failure never
  // leaves a half-written layout file.
  std::string temporary = output + ".XXXXXX";
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) {
    std::fprintf(err, "kbeval-import: %s: cannot write: %s\n", output.c_str(),
                 std::strerror(errno));
    return kExitFailed;
  }
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd, 0666 & ~mask);
  std::FILE* file = ::fdopen(fd, "wb");
  bool written = file != nullptr && writeAll(text, file);
  int failure = errno;
  if (file == nullptr) {
    ::close(fd);
  } else if (std::fclose(file) != 0 && written) {
    written = false;
    failure = errno;
  }
  if (written && ::rename(temporary.c_str(), output.c_str()) != 0) {
    written = false;
    failure = errno;
  }
  if (!written) {
    ::unlink(temporary.c_str());
    std::fprintf(err, "kbeval-import: %s: cannot write: %s\n", output.c_str(),
                 std::strerror(failure));
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace kbeval::import
