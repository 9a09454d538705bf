// The kbeval-import command line:
//   kbeval-import [--fingering NAME] [--lossy] [--output FILE] KEYBOARD.xml
// Reads one Hangul keyboard XML and writes its kbeval layout file to FILE or
// standard output. Every failure is one line on `err` and a non-zero status.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "hangul_keyboard.h"

namespace kbeval::import {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed =
    1;  // unreadable, not a keyboard, cannot be expressed, cannot write
inline constexpr int kExitUsage = 2;

// Runs the command with `args` (without the program name).
int runImportCommand(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);

// The fingering line's value for a --fingering option: "Pyojun", "Gong" or
// "Gong3" in any letter case; "none" or "Qwerty" give "" (no fingering line,
// which the loader reads as Qwerty). Nothing for any other name.
std::optional<std::string> fingeringOption(const std::string& name);

// The first comment line's source: the file's base name, the keyboard's
// name (printable ASCII only) and its type.
std::string describeSource(const std::string& path, const HangulKeyboard& keyboard);

}  // namespace kbeval::import
