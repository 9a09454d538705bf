// kbeval run inside the test process, its streams caught: what the binary
// would print, without starting it. Only what the main function itself does
// (catching std::bad_alloc) and what needs a process of its own (a closed or
// full standard output, its memory, another user) still runs the binary.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
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

namespace detail {

// This process's largest resident set so far (VmHWM), in KiB; -1 if unknown.
inline long peakResidentKiB() {
  std::FILE* status = std::fopen("/proc/self/status", "r");
  if (status == nullptr) return -1;
  long kib = -1;
  char line[256];
  while (std::fgets(line, sizeof line, status) != nullptr) {
    if (std::sscanf(line, "VmHWM: %ld kB", &kib) == 1) break;
  }
  std::fclose(status);
  return kib;
}

}  // namespace detail

// How far `second` raises the peak resident set above the one `first` left,
// in KiB, both run one after the other in a child process of this one: the
// child is its own baseline, so what other processes do to the machine does
// not enter. -1 if the child could not measure or either run failed.
template <typename First, typename Second>
long peakGrowthKiB(First&& first, Second&& second) {
  int channel[2];
  if (::pipe(channel) != 0) return -1;
  const pid_t child = ::fork();
  if (child < 0) return -1;
  if (child == 0) {
    ::close(channel[0]);
    long growth = -1;
    if (first()) {
      const long baseline = detail::peakResidentKiB();
      if (second() && baseline >= 0) growth = detail::peakResidentKiB() - baseline;
    }
    const bool written = ::write(channel[1], &growth, sizeof growth) == sizeof growth;
    ::_exit(written ? 0 : 1);
  }
  ::close(channel[1]);
  long growth = -1;
  if (::read(channel[0], &growth, sizeof growth) != sizeof growth) growth = -1;
  ::close(channel[0]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? growth : -1;
}

}  // namespace kbeval::testing
