// The kbeval-import command line:
//   kbeval-import [--fingering NAME] [--encoding ENC] [--lossy] [--output FILE] KEYBOARD.xml
// Reads one Hangul keyboard XML and writes its kbeval layout file to FILE or
// standard output. Every failure is one line on `err` and a non-zero status;
// the options are read by the skeleton every program shares (long_options.h).
#pragma once

#include <cstdio>
#include <optional>
#include <string>

#include "hangul_keyboard.h"

namespace kbeval::import {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed =
    1;  // unreadable, not a keyboard, cannot be expressed, cannot write
inline constexpr int kExitUsage = 2;

// The whole program on argv[0..argc-1]: --help, --version, a usage error
// (exit status 2) or the import (0, or 1 when it fails).
int importMain(int argc, const char* const* argv, std::FILE* out, std::FILE* err);

// The fingering line's value for a --fingering option: "Pyojun", "Gong" or
// "Gong3" in any letter case; "none" or "Qwerty" give "" (no fingering line,
// which the loader reads as Qwerty). Nothing for any other name.
std::optional<std::string> fingeringOption(const std::string& name);

// The first comment line's source: the file's base name, the keyboard's
// name (printable ASCII only) and its type.
std::string describeSource(const std::string& path, const HangulKeyboard& keyboard);

}  // namespace kbeval::import
