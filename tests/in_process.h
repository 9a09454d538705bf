// kbeval run inside the test process, its streams caught: what the binary
// would print, without starting it. Only what the main function itself does
// (catching std::bad_alloc) and what needs a process of its own (a closed or
// full standard output, its memory, another user) still runs the binary.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "command_line.h"
#include "run.h"
#include "temp_directory.h"

namespace kbeval::testing {

namespace detail {

// The whole of a temporary stream, which is closed.
inline std::string drained(std::FILE* stream) {
  std::string text;
  std::rewind(stream);
  char buffer[1 << 14];
  for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, stream)) > 0;)
    text.append(buffer, got);
  std::fclose(stream);
  return text;
}

}  // namespace detail

// `run(out, err)` on two temporary files; its status and what it wrote.
template <typename Run>
Outcome caughtOutcome(Run&& run) {
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  if (out == nullptr || err == nullptr) std::abort();
  Outcome outcome;
  outcome.exitStatus = run(out, err);
  outcome.output = detail::drained(out);
  outcome.errors = detail::drained(err);
  return outcome;
}

// kbeval with `arguments`, run in `directory` as the binary would be.
inline Outcome runKbevalInProcess(const TempDirectory& directory,
                                  const std::vector<std::string>& arguments) {
  std::vector<const char*> argv = {"kbeval"};
  for (const std::string& argument : arguments) argv.push_back(argument.c_str());
  char* here = ::getcwd(nullptr, 0);
  if (here == nullptr || ::chdir(directory.path().c_str()) != 0) std::abort();
  Outcome outcome = caughtOutcome([&](std::FILE* out, std::FILE* err) {
    return kbevalMain(static_cast<int>(argv.size()), argv.data(), out, err);
  });
  if (::chdir(here) != 0) std::abort();
  std::free(here);
  return outcome;
}

// The run with `options`, its sample read in pieces of `pieceSize` bytes.
inline Outcome runKbevalOptions(const RunOptions& options, std::size_t pieceSize = 1 << 16) {
  return caughtOutcome(
      [&](std::FILE* out, std::FILE* err) { return runKbeval(options, out, err, pieceSize); });
}

// kbeval with `arguments` in `directory`: in this process, unless `settings`
// ask for a process of its own (another user, a given or a closed standard
// output).
inline Outcome runKbeval(const TempDirectory& directory, const std::vector<std::string>& arguments,
                         const RunSettings& settings = {}) {
  if (settings.outputFile != nullptr || settings.closeOutput || settings.unprivileged) {
    return runProgram(directory, KBEVAL_BINARY, arguments, settings);
  }
  return runKbevalInProcess(directory, arguments);
}

}  // namespace kbeval::testing
