#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "shell/interrupts.h"
#include "shell/output_file.h"
#include "small_case.h"
#include "temp_directory.h"

namespace kbeval {
namespace {

using testing::TempDirectory;

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};

// kbeval stopped mid-run by each signal: it exits with 128 + the signal and
// leaves no temporary file; the old output stays. The sample is a FIFO that
// the test holds open, so the run waits in its first pass, both outputs'
// temporary files made, until the signal comes.
TEST(Signals, EndTheRunAndRemoveTheTemporaryFiles) {
  for (int signal : kEndingSignals) {
    SCOPED_TRACE(signal);
    TempDirectory dir;
    testing::writeSmallCase(dir);
    dir.write("out.json", "old");
    ASSERT_EQ(mkfifo((dir / "sample.fifo").c_str(), 0600), 0);
    // A signal the test process ignores would stay ignored in the program.
    struct sigaction defaults {
    }, old{};
    defaults.sa_handler = SIG_DFL;
    ASSERT_EQ(sigaction(signal, &defaults, &old), 0);
    testing::RunningProgram running = testing::startProgram(
        dir, KBEVAL_BINARY, {"sample.fifo", "--json=out.json", "--html=out.html"});
    ASSERT_EQ(sigaction(signal, &old, nullptr), 0);
    const int writer = open((dir / "sample.fifo").c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(writer, 0);
    ASSERT_EQ(write(writer, "\x88\x61", 2), 2);
    const std::vector<std::string> before = {"keyboard", "out.json", "sample.fifo", "sample.txt"};
    for (int waited = 0; testing::filesIn(dir).size() < before.size() + 2 && waited < 10000;
         ++waited) {
      usleep(1000);
    }
    ASSERT_EQ(testing::filesIn(dir).size(), before.size() + 2)  // .out.json.*, .out.html.*
        << ::testing::PrintToString(testing::filesIn(dir));
    ASSERT_EQ(kill(running.pid, signal), 0);
    const testing::Outcome outcome = testing::finishProgram(running);
    close(writer);
    EXPECT_EQ(outcome.exitStatus, 128 + signal);
    EXPECT_EQ(testing::filesIn(dir), before);
    EXPECT_EQ(testing::readFile(dir / "out.json"), "old");
  }
}

// Caught, SIGINT only raises the flag; the second one ends the program and
// removes the temporary file as any other. In a child of the test process,
// whose handlers it changes.
TEST(Signals, CaughtInterruptIsAFlagUntilTheSecond) {
  TempDirectory dir;
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    installSignalCleanup();
    catchInterrupts(true);
    OutputFile file;
    std::string error;
    if (!openOutputFile(dir / "out.txt", file, error)) _exit(1);
    if (interruptCaught() || raise(SIGINT) != 0 || !interruptCaught()) _exit(2);
    struct stat info {};
    if (stat(file.temporaryPath.c_str(), &info) != 0) _exit(3);  // still there
    raise(SIGINT);
    _exit(4);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 128 + SIGINT);
  EXPECT_EQ(testing::filesIn(dir), std::vector<std::string>{});
}

}  // namespace
}  // namespace kbeval
