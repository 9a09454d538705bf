#include "progress.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "temp_directory.h"

namespace kbeval {
namespace {

using namespace std::chrono_literals;

ProgressClock::time_point stoppedClock;
ProgressClock::time_point stoppedNow() {
  return stoppedClock;
}

struct Captured {
  char* data = nullptr;
  std::size_t size = 0;
  std::FILE* stream = open_memstream(&data, &size);
  std::string text() {
    std::fflush(stream);
    return {data, size};
  }
  ~Captured() {
    std::fclose(stream);
    std::free(data);
  }
};

TEST(Progress, QuietForASecondThenAtMostFourTimesASecond) {
  Captured err;
  stoppedClock = ProgressClock::time_point{};
  Progress progress = startProgress(err.stream, 1'000'000'000, 2, &stoppedNow);
  stoppedClock += 900ms;
  showProgress(progress, 100'000'000);
  EXPECT_EQ(err.text(), "");
  // A quarter of the bytes of the first of two passes in 1 s: 7 s to go.
  stoppedClock += 100ms;
  showProgress(progress, 250'000'000);
  const std::string first = "\rkbeval: 250.0 of 1000.0 MB (25%), pass 1 of 2, about 7 s left";
  EXPECT_EQ(err.text(), first);
  stoppedClock += 200ms;
  showProgress(progress, 300'000'000);
  EXPECT_EQ(err.text(), first);
  // The second pass begins at 1.5 s: half done, 1.5 s to go. The shorter
  // line wipes the end of the longer one.
  stoppedClock += 300ms;
  progress.pass = 2;
  showProgress(progress, 0);
  const std::string shorter = "kbeval: 0.0 of 1000.0 MB (0%), pass 2 of 2, about 2 s left";
  const std::string second = "\r" + shorter + std::string(first.size() - 1 - shorter.size(), ' ');
  EXPECT_EQ(err.text(), first + second);
  clearProgress(progress);
  const std::string cleared = first + second + "\r" + std::string(first.size() - 1, ' ') + "\r";
  EXPECT_EQ(err.text(), cleared);
  clearProgress(progress);  // nothing left to clear
  EXPECT_EQ(err.text(), cleared);

  // A pipe has no size; a long run counts minutes.
  char line[160];
  formatProgress(Progress{}, 12'345'678, 3s, line, sizeof line);
  EXPECT_STREQ(line, "kbeval: 12.3 MB read");
  progress.passes = progress.pass = 1;
  progress.passBytes = 4'000'000;
  formatProgress(progress, 1'000'000, 100s, line, sizeof line);
  EXPECT_STREQ(line, "kbeval: 1.0 of 4.0 MB (25%), about 5 min left");
}

// kbeval with standard error on a pseudo-terminal, reading a FIFO that the
// test fills over a second and a half.
std::string progressOnATerminal(bool quiet) {
  testing::TempDirectory dir;
  dir.makeDirectory("keyboard");
  const std::string fifo = dir / "sample.txt";
  if (::mkfifo(fifo.c_str(), 0600) != 0) return "no fifo";
  const int terminal = ::posix_openpt(O_RDWR | O_NOCTTY);
  if (terminal < 0 || ::grantpt(terminal) != 0 || ::unlockpt(terminal) != 0) return "no terminal";
  const std::string terminalPath = ::ptsname(terminal);
  const pid_t child = ::fork();
  if (child == 0) {
    const int errors = ::open(terminalPath.c_str(), O_RDWR | O_NOCTTY);
    const int nothing = ::open("/dev/null", O_WRONLY);
    if (errors < 0 || nothing < 0 || ::dup2(errors, 2) < 0 || ::dup2(nothing, 1) < 0 ||
        ::chdir(dir.path().c_str()) != 0)
      _exit(127);
    ::execl(KBEVAL_BINARY, KBEVAL_BINARY, quiet ? "--quiet" : "--", "sample.txt", "/j",
            static_cast<char*>(nullptr));
    _exit(127);
  }
  const int writer = ::open(fifo.c_str(), O_WRONLY);
  const std::string piece(100'000, ' ');
  for (int i = 0; i < 6; ++i) {
    if (::write(writer, piece.data(), piece.size()) < 0) break;
    std::this_thread::sleep_for(300ms);
  }
  ::close(writer);
  int status = 0;
  ::waitpid(child, &status, 0);
  std::string shown;
  ::fcntl(terminal, F_SETFL, O_NONBLOCK);
  char buffer[4096];
  for (ssize_t got; (got = ::read(terminal, buffer, sizeof buffer)) > 0;) shown.append(buffer, got);
  ::close(terminal);
  return shown;
}

TEST(Progress, ShownOnATerminalAndErasedOrNotAtAllWhenQuiet) {
  const std::string shown = progressOnATerminal(false);
  EXPECT_EQ(shown.rfind("\rkbeval: ", 0), 0u) << shown;
  EXPECT_NE(shown.find(" MB read"), std::string::npos) << shown;
  // The end: the line overwritten with spaces, the cursor back at its start.
  ASSERT_GE(shown.size(), 2u);
  EXPECT_EQ(shown.back(), '\r');
  const std::size_t erased = shown.rfind('\r', shown.size() - 2);
  EXPECT_EQ(shown.find_first_not_of(' ', erased + 1), shown.size() - 1) << shown;
  EXPECT_EQ(progressOnATerminal(true), "");
}

}  // namespace
}  // namespace kbeval
