// Bad inputs: samples that fail half-way or have no size, sizes past 32 bits,
// layout entries that are no regular files, key bytes without key data,
// thousands of layout files, output that cannot be written. The real binary
// runs where a test needs a process of its own (a sample fed by a terminal or
// a pipe, memory, a closed or full standard output). docs/bad-inputs.md lists
// what each input gets and where it is tested.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "in_process.h"
#include "temp_directory.h"

namespace kbeval {
namespace {

using testing::countOf;
using testing::Outcome;
using testing::RunSettings;
using testing::TempDirectory;

// 가가, a space and a line feed in Johab; on the layout below its keys are
// r k r k, space, line feed: 6 keystrokes, 2 on each hand's letter keys.
const std::string kSample = "\x88\x61\x88\x61 \n";
const std::string kLayout = "set type:2\n1\t\xA4\xA1\tr\n2\t\xA4\xBF\tk\n";
const std::string kResultOfB = "\n*** Result of b (2 Sets, Qwerty Fingering) ***\n\n";
const std::string kSampleStrokes = "General-key stokes(L/R): 6 (2/2) (50.0/50.0%)\n";

bool startsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// Polls `done` every millisecond for up to five seconds.
template <typename Condition>
bool waitFor(Condition done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// A pseudo-terminal used as the sample: kbeval reads its far end and the test
// writes at the near end. Closing the near end makes a read that is waiting
// at the far end fail with an I/O error.
struct Terminal {
  int near = -1;
  int far = -1;  // the test's own descriptor of kbeval's end, to see what is unread
  std::string farPath;

  bool open() {
    // Non-blocking, so that the test can look for the echo without waiting on it.
    near = ::open("/dev/ptmx", O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (near < 0 || ::grantpt(near) != 0 || ::unlockpt(near) != 0) return false;
    char name[128];
    if (::ptsname_r(near, name, sizeof name) != 0) return false;
    farPath = name;
    far = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (far < 0) return false;
    // Bytes pass unchanged, and each is echoed once the far end has it.
    termios mode{};
    if (::tcgetattr(far, &mode) != 0) return false;
    ::cfmakeraw(&mode);
    mode.c_lflag |= ECHO;
    mode.c_lflag &= ~static_cast<tcflag_t>(ECHOCTL);
    return ::tcsetattr(far, TCSANOW, &mode) == 0;
  }
  void closeBothEnds() {
    if (far >= 0) ::close(far);
    if (near >= 0) ::close(near);
    far = near = -1;
  }
  ~Terminal() { closeBothEnds(); }
};

// Writes `text` at the near end and waits until kbeval has read all of it:
// the echo says the text has arrived, an empty input queue then says it was read.
::testing::AssertionResult typeInto(const Terminal& terminal, const std::string& text) {
  if (::write(terminal.near, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
    return ::testing::AssertionFailure() << "write failed";
  std::string echo;
  const bool arrived = waitFor([&] {
    char buffer[4096];
    const ssize_t got = ::read(terminal.near, buffer, sizeof buffer);
    if (got > 0) echo.append(buffer, static_cast<std::size_t>(got));
    return echo.size() >= text.size();
  });
  if (!arrived) return ::testing::AssertionFailure() << "no echo";
  const bool read = waitFor([&] {
    int unread = -1;
    return ::ioctl(terminal.far, FIONREAD, &unread) == 0 && unread == 0;
  });
  if (!read) return ::testing::AssertionFailure() << "kbeval did not read the text";
  return ::testing::AssertionSuccess();
}

// Whether process `pid` is asleep in read(2).
bool sleepsInRead(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/syscall");
  long number = -1;
  return (in >> number) && number == SYS_read;
}

TEST(BadSample, ReadErrorHalfWayLeavesOnlyTheMessage) {
  TempDirectory dir;
  dir.write("keyboard/b.txt", kLayout);
  dir.makeDirectory("keyboard/x.txt");  // a message that is held back with the rest
  std::string text;
  for (int i = 0; i < 100; ++i) text += kSample;

  {  // The text ended by 0x1A: a whole run, from the same kind of file.
    Terminal terminal;
    if (!terminal.open()) GTEST_SKIP() << "no pseudo-terminal here";
    testing::RunningProgram kbeval =
        testing::startProgram(dir, KBEVAL_BINARY, {terminal.farPath, "/2"});
    ASSERT_TRUE(typeInto(terminal, text + "\x1A"));
    const Outcome outcome = testing::finishProgram(kbeval);
    EXPECT_EQ(outcome.exitStatus, 0);
    // A terminal has no size: the line shows the bytes read, through the 0x1A.
    EXPECT_TRUE(startsWith(
        outcome.output, "Reading 601 bytes\nCannot open keyboard layout file: keyboard/x.txt\n" +
                            kResultOfB + "General-key stokes(L/R): 600 (200/200) (50.0/50.0%)\n"))
        << outcome.output.substr(0, 200);
  }
  {  // The text, then a read that fails.
    Terminal terminal;
    ASSERT_TRUE(terminal.open());
    testing::RunningProgram kbeval =
        testing::startProgram(dir, KBEVAL_BINARY, {terminal.farPath, "/2"});
    ASSERT_TRUE(typeInto(terminal, text));
    // Only a read that is waiting when the near end closes fails; one that
    // starts after the hang-up reads an end of file.
    if (!std::ifstream("/proc/self/syscall").good()) GTEST_SKIP() << "no /proc/PID/syscall";
    ASSERT_TRUE(waitFor([&] { return sleepsInRead(kbeval.pid); }));
    terminal.closeBothEnds();
    const Outcome outcome = testing::finishProgram(kbeval);
    EXPECT_EQ(outcome.output, "Cannot open sample file.\n");
    EXPECT_EQ(outcome.exitStatus, 1);
  }
}

TEST(BadSample, NamedPipeIsReadToItsWritersEnd) {
  TempDirectory dir;
  dir.write("keyboard/b.txt", kLayout);
  ASSERT_EQ(::mkfifo((dir / "pipe.txt").c_str(), 0600), 0);
  testing::RunningProgram kbeval = testing::startProgram(dir, KBEVAL_BINARY, {"pipe.txt", "/2"});

  // Opening without blocking fails until kbeval has the pipe open for reading.
  int writer = -1;
  ASSERT_TRUE(waitFor([&] {
    writer = ::open((dir / "pipe.txt").c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    return writer >= 0;
  }));
  ASSERT_EQ(::fcntl(writer, F_SETFL, 0), 0);
  // 3,000 times 가가, space, CR LF: more than one pipe buffer's worth of text.
  std::string text;
  for (int i = 0; i < 3000; ++i) text += "\x88\x61\x88\x61 \r\n";
  ASSERT_EQ(::write(writer, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  ::close(writer);

  const Outcome outcome = testing::finishProgram(kbeval);
  EXPECT_EQ(outcome.exitStatus, 0);
  // A pipe has no size on disk: the line shows the bytes read from it.
  EXPECT_TRUE(startsWith(outcome.output, "Reading 21000 bytes\n" + kResultOfB +
                                             "General-key stokes(L/R): 18000 (6000/6000) "
                                             "(50.0/50.0%)\n"))
      << outcome.output.substr(0, 200);
  EXPECT_EQ(countOf(outcome.output, "Counted enter strokes : 3000\n"), 1u);
}

TEST(BadSample, SizesBeyondThirtyTwoBitsArePrintedWhole) {
  TempDirectory dir;
  dir.write("keyboard/b.txt", kLayout);
  // Sparse files: the text, then zero bytes, which end it. Cut to 32 bits
  // these sizes would print as -2147483648 and as 6.
  for (const long long size : {1LL << 31, (1LL << 32) + 6}) {
    dir.write("sample.txt", kSample);
    ASSERT_EQ(::truncate((dir / "sample.txt").c_str(), size), 0);
    const Outcome outcome = testing::runKbeval(dir, {"sample.txt", "/2"});
    EXPECT_EQ(outcome.exitStatus, 0);
    EXPECT_TRUE(startsWith(outcome.output, "Reading " + std::to_string(size) + " bytes\n" +
                                               kResultOfB + kSampleStrokes))
        << outcome.output.substr(0, 200);
  }
}

// Only regular files are layout files: nothing else named *.txt is waited on
// or read without end, and each is reported like a directory.
TEST(BadLayoutFile, LinksToNoFileAndSocketsAreReported) {
  TempDirectory dir;
  dir.write("sample.txt", kSample);
  dir.write("keyboard/b.txt", kLayout);
  const std::filesystem::path keyboard = dir.path() / "keyboard";
  std::filesystem::create_symlink("b.txt", keyboard / "link.txt");  // read like b.txt
  std::filesystem::create_symlink("missing", keyboard / "dangling.txt");
  std::filesystem::create_symlink("loop.txt", keyboard / "loop.txt");
  std::filesystem::create_symlink("/dev/zero", keyboard / "zero.txt");  // never ends
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(sock, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socketPath = (keyboard / "socket.txt").string();
  ASSERT_LT(socketPath.size(), sizeof address.sun_path);
  std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
  ASSERT_EQ(::bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  ::close(sock);

  const Outcome outcome = testing::runKbeval(dir, {"sample.txt", "/2"});
  EXPECT_EQ(outcome.exitStatus, 0);
  EXPECT_TRUE(startsWith(outcome.output,
                         "Reading 6 bytes\n"
                         "Cannot open keyboard layout file: keyboard/dangling.txt\n"
                         "Cannot open keyboard layout file: keyboard/loop.txt\n"
                         "Cannot open keyboard layout file: keyboard/socket.txt\n"
                         "Cannot open keyboard layout file: keyboard/zero.txt\n" +
                             kResultOfB + kSampleStrokes))
      << outcome.output.substr(0, 400);
  EXPECT_EQ(countOf(outcome.output,
                    "\n*** Result of link (2 Sets, Qwerty Fingering) ***\n\n" + kSampleStrokes),
            1u);
}

// Bytes that no key table entry describes (0x80-0xFF, control bytes) are
// typed as right-hand keystrokes of a key without finger, row or column; a
// 0x18 given as a key breaks the stroke sequence like a character the layout
// cannot type, without counting as one.
TEST(BadLayoutFile, KeyBytesWithoutKeyDataAreRightHandStrokes) {
  TempDirectory dir;
  dir.write("keyboard/b.txt", "set type:2\n1\t\xA4\xA1\t\x80\xFF\x01\n2\t\xA4\xBF\tk\x18\n");
  dir.write("sample.txt", "\x88\x61 \n");
  // Key stream 80 FF 01 k 18 SPACE LF: six keystrokes, four of them keys of
  // the right hand. 80 FF 01 are two same-finger strokes on the finger
  // labelled -1; after the marker the right-hand run goes on: one run of 6.
  // The printed finger and row tables hold only k (right middle finger, home
  // row) and the line feed (right little finger, home row).
  const std::string expected = "Reading 4 bytes\n" + kResultOfB +
                               "General-key stokes(L/R): 6 (0/4) (0.0/100.0%)\n"
                               "Shift-key strokes(L/R): 0 (0/0) (0.0/0.0%)\n"
                               "Counted enter strokes : 1\n"
                               "Total keystrokes except space (L/R): 5 (0/5) (0.0/100.0%)\n"
                               " L: 2:0:0.0% 3:0:0.0% 4:0:0.0% 5:0:0.0% \n"
                               " R: 2:0:0.0% 3:1:50.0% 4:0:0.0% 5:1:50.0% \n"
                               "\n"
                               "Counted space strokes : 1\n"
                               "Untreated characters: 0\n"
                               "\n"
                               "Continuous one-hand strokes frequency distribution\n"
                               " L:\n"
                               " R: 6:6(120.0%)\n"
                               "\n"
                               "Continuous same-key strokes (L/R) : 0 (0/0)\n"
                               "\n"
                               "Total Continuous one-finger strokes : 2 (L:0 R:2)\n"
                               " -1: +2*1 = 2 (100.0%)\n"
                               "Continuous same-finger strokes involved in L/R shifts : 0/0 \n"
                               "\n"
                               "Finger/Line frequency (Total key) :\n"
                               "L5\tL4\tL3\tL2\tR2\tR3\tR4\tR5\n"
                               "0\t0\t0\t0\t0\t0\t0\t0\t\n"
                               "0\t0\t0\t0\t0\t0\t0\t0\t\n"
                               "0\t0\t0\t0\t0\t1\t0\t1\t\n"
                               "0\t0\t0\t0\t0\t0\t0\t0\t\n"
                               "\n"
                               "Finger/Line frequency (General key) :\n"
                               "L5\tL4\tL3\tL2\tL2-1\tR2-1\tR2\tR3\tR4\tR5\n"
                               "0\t0\t0\t0\t0\t0\t0\t0\t0\t0\n"
                               "0\t0\t0\t0\t0\t0\t0\t0\t0\t0\n"
                               "0\t0\t0\t0\t0\t0\t0\t1\t0\t0\n"
                               "0\t0\t0\t0\t0\t0\t0\t0\t0\t0\n";
  const Outcome outcome = testing::runKbeval(dir, {"sample.txt", "/2"});
  EXPECT_EQ(outcome.exitStatus, 0);
  EXPECT_EQ(outcome.output, expected);
}

std::string layoutName(int i) {
  char name[32];
  std::snprintf(name, sizeof name, "k%04d.txt", i);
  return name;
}

// 2,000 entries, far past any fixed table: every one is listed and read, in
// byte-wise name order. Half are directories (one message each), four are
// evaluated layouts, the rest are read but have set type 4. The files are
// hard links to two files: quicker to make than 1,000 files.
TEST(BadLayoutFile, ThousandsOfLayoutFiles) {
  TempDirectory dir;
  dir.write("sample.txt", kSample);
  const std::string evaluatedLayout = dir.write("evaluated", kLayout);
  const std::string otherLayout = dir.write("other", "set type:4\n1\t\xA4\xA1\tr\n");
  dir.makeDirectory("keyboard");
  std::string messages;
  std::vector<std::string> evaluated;
  for (int i = 0; i < 2000; ++i) {
    const std::string name = layoutName(i);
    const std::string path = dir / ("keyboard/" + name);
    if (i % 2 == 1) {
      ASSERT_EQ(::mkdir(path.c_str(), 0700), 0);
      messages += "Cannot open keyboard layout file: keyboard/" + name + "\n";
    } else if (i % 666 == 0) {
      ASSERT_EQ(::link(evaluatedLayout.c_str(), path.c_str()), 0);
      evaluated.push_back(name.substr(0, 5));
    } else {
      ASSERT_EQ(::link(otherLayout.c_str(), path.c_str()), 0);
    }
  }
  ASSERT_EQ(evaluated.size(), 4u);  // k0000, k0666, k1332 and k1998

  const Outcome outcome = testing::runKbeval(dir, {"sample.txt", "/2", "/3"});
  EXPECT_EQ(outcome.exitStatus, 0);
  ASSERT_TRUE(startsWith(outcome.output, "Reading 6 bytes\n" + messages))
      << outcome.output.substr(0, 200);
  std::string results;
  for (const std::string& name : evaluated) {
    results += "\n*** Result of " + name + " (2 Sets, Qwerty Fingering) ***\n\n" + kSampleStrokes;
  }
  std::string headingsAndFirstLines;
  for (std::size_t at = outcome.output.find("\n*** Result of "); at != std::string::npos;
       at = outcome.output.find("\n*** Result of ", at + 1)) {
    const std::size_t firstLineEnd =
        outcome.output.find('\n', outcome.output.find("***\n", at) + 5);
    headingsAndFirstLines += outcome.output.substr(at, firstLineEnd + 1 - at);
  }
  EXPECT_EQ(headingsAndFirstLines, results);
}

// Each evaluated layout holds about 1.3 MB while the sample streams by; if all
// 2,000 were held at once they would take 2.6 GB, and enough layout files
// would exhaust memory and end the run without a report.
TEST(BadLayoutFile, ThousandsOfEvaluatedLayoutsFitInModestMemory) {
  TempDirectory dir;
  dir.write("sample.txt", kSample);
  for (int i = 0; i < 2000; ++i) dir.write("keyboard/" + layoutName(i), kLayout);
  const Outcome outcome = testing::runProgram(dir, KBEVAL_BINARY, {"sample.txt", "/2"});
  EXPECT_EQ(outcome.exitStatus, 0);
  EXPECT_EQ(countOf(outcome.output, " (2 Sets, Qwerty Fingering) ***\n\n" + kSampleStrokes), 2000u);
  if (testing::kMemoryIsMeasurable) {
    EXPECT_LT(outcome.peakMemoryKiB, 256 * 1024);
  }
}

TEST(BadOutput, UnwritableOutputIsAFailureWithAMessage) {
  TempDirectory dir;
  dir.write("sample.txt", kSample);
  dir.write("keyboard/b.txt", kLayout);
  const std::string message = "kbeval: cannot write the output.\n";

  RunSettings closed;
  closed.closeOutput = true;
  Outcome outcome = testing::runKbeval(dir, {"sample.txt"}, closed);
  EXPECT_EQ(outcome.exitStatus, 1);
  EXPECT_EQ(outcome.errors, message);

  if (std::filesystem::exists("/dev/full")) {
    RunSettings full;
    full.outputFile = "/dev/full";
    outcome = testing::runKbeval(dir, {"sample.txt"}, full);
    EXPECT_EQ(outcome.exitStatus, 1);
    EXPECT_EQ(outcome.errors, message);
  }

  // The same run with somewhere to write succeeds and says nothing on standard error.
  outcome = testing::runKbeval(dir, {"sample.txt"});
  EXPECT_EQ(outcome.exitStatus, 0);
  EXPECT_EQ(outcome.errors, "");
  EXPECT_NE(outcome.output.find(kResultOfB + kSampleStrokes), std::string::npos);
}

}  // namespace
}  // namespace kbeval
