#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "in_process.h"
#include "optimize_command.h"
#include "small_case.h"
#include "temp_directory.h"

namespace kbeval {
namespace {

using testing::Outcome;
using testing::readFile;
using testing::TempDirectory;

// The files every case meets; each case starts from them afresh.
void writeOutputTargets(const TempDirectory& dir) {
  testing::writeSmallCase(dir);
  dir.write("old.json", "old");
  dir.write("ro.json", "old");
  ASSERT_EQ(chmod((dir / "ro.json").c_str(), 0444), 0);
  dir.write("real/target.json", "old");
  std::filesystem::create_symlink("real/target.json", dir / "link.json");
  std::filesystem::create_symlink("sample.txt", dir / "sample-link.txt");
  std::filesystem::create_symlink("nowhere/none.json", dir / "dangling.json");
  std::filesystem::create_symlink("loop2", dir / "loop1");
  std::filesystem::create_symlink("loop1", dir / "loop2");
}

const std::string kLongName = std::string(250, 'n') + ".json";  // a 255-byte name

// Every output path kbeval meets: where the bytes go, what is refused (one
// line, the file untouched), and that nothing else is ever left behind.
TEST(OutputPaths, WhereEachPathSendsTheBytes) {
  struct Case {
    std::vector<std::string> arguments;
    int exitStatus;
    std::string errors;   // the whole of standard error
    std::string written;  // the file that must now hold the JSON, or ""
    std::string keptOld;  // a file that must still hold "old", or ""
    bool binary = false;  // run the binary, its standard output a pipe
  };
  const std::string sameFile = "; see 'kbeval --help'\n";
  const Case cases[] = {
      {{"--json=new.json"}, 0, "", "new.json", ""},
      {{"--json=old.json"}, 0, "", "old.json", ""},
      {{"--json=" + kLongName}, 0, "", kLongName, ""},
      // A link leads to its target, which is replaced; the link stays.
      {{"--json=link.json"}, 0, "", "real/target.json", ""},
      {{"--json=dangling.json"},
       1,
       "kbeval: cannot write the JSON file 'dangling.json': symbolic link to nothing\n",
       "",
       ""},
      {{"--html=loop1"},
       1,
       "kbeval: cannot write the HTML report 'loop1': symbolic link loop\n",
       "",
       ""},
      {{"--json=ro.json"},
       1,
       "kbeval: cannot write the JSON file 'ro.json': read-only file, left as it is\n",
       "",
       "ro.json"},
      // Outputs that would destroy the sample or each other: usage errors.
      {{"--json=sample.txt"},
       2,
       "kbeval: --json 'sample.txt' is the same file as the sample 'sample.txt'" + sameFile,
       "",
       ""},
      {{"--html=sample-link.txt"},
       2,
       "kbeval: --html 'sample-link.txt' is the same file as the sample 'sample.txt'" + sameFile,
       "",
       ""},
      {{"--html=old.json", "--json=./old.json"},
       2,
       "kbeval: --json './old.json' is the same file as --html 'old.json'" + sameFile,
       "",
       "old.json"},
      {{"--html=new.json", "--json=real/../new.json"},
       2,
       "kbeval: --json 'real/../new.json' is the same file as --html 'new.json'" + sameFile,
       "",
       ""},
      {{"--json=real/target.json", "--html=link.json"},
       2,
       "kbeval: --json 'real/target.json' is the same file as --html 'link.json'" + sameFile,
       "",
       "real/target.json"},
      // Standard output under any name is no place for the page.
      {{"--html=/dev/fd/1"},
       2,
       "kbeval: --html needs a file name, not standard output" + sameFile,
       "",
       "",
       true},
      {{"--html=/proc/self/fd/1"},
       2,
       "kbeval: --html needs a file name, not standard output" + sameFile,
       "",
       "",
       true},
      // A character device is written through and stays a device.
      {{"--json=/dev/null", "--html=/dev/null"}, 0, "", "", ""},
  };
  for (const Case& c : cases) {
    TempDirectory dir;
    writeOutputTargets(dir);
    std::vector<std::string> arguments = {"sample.txt", "/2"};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    SCOPED_TRACE(c.arguments.back());
    const Outcome outcome = c.binary ? testing::runProgram(dir, KBEVAL_BINARY, arguments)
                                     : testing::runKbeval(dir, arguments);
    EXPECT_EQ(outcome.exitStatus, c.exitStatus);
    EXPECT_EQ(outcome.errors, c.errors);
    if (c.exitStatus == 2) {
      EXPECT_EQ(outcome.output, "");
    }
    if (!c.written.empty()) {
      EXPECT_TRUE(readFile(dir / c.written).starts_with("{")) << c.written;
    }
    if (!c.keptOld.empty()) {
      EXPECT_EQ(readFile(dir / c.keptOld), "old");
    }
    EXPECT_EQ(readFile(dir / "sample.txt"), "\x88\x61\x88\x62 7?\r\n");
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.json"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "dangling.json"));
    struct stat info {};
    ASSERT_EQ(stat("/dev/null", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));
    // Nothing but what the case wrote: no temporary file.
    std::vector<std::string> expected = {"dangling.json",   "keyboard",  "link.json", "loop1",
                                         "loop2",           "old.json",  "real",      "ro.json",
                                         "sample-link.txt", "sample.txt"};
    if (c.written == "new.json" || c.written == kLongName) expected.push_back(c.written);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(testing::filesIn(dir), expected);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "real"), {}), 1);
  }
}

// A FIFO as output is written to, not replaced by a regular file.
TEST(OutputPaths, FifoReceivesTheDocument) {
  TempDirectory dir;
  testing::writeSmallCase(dir);
  ASSERT_EQ(mkfifo((dir / "out.fifo").c_str(), 0600), 0);
  std::string received;
  std::thread reader([&] { received = readFile(dir / "out.fifo"); });
  const Outcome outcome = testing::runKbeval(dir, {"sample.txt", "/2", "--json=out.fifo"});
  reader.join();
  EXPECT_EQ(outcome.exitStatus, 0);
  EXPECT_TRUE(received.starts_with("{")) << received.substr(0, 40);
  EXPECT_TRUE(std::filesystem::is_fifo(dir / "out.fifo"));
}

// kbeval-optimize's --output may be none of the files it reads.
TEST(OutputPaths, OptimiserOutputIsNoInput) {
  TempDirectory dir;
  dir.write("sample.txt", "x");
  dir.write("start.txt", "set type:2\n");
  dir.write("held.txt", "y");
  std::filesystem::create_symlink("start.txt", dir / "start-link.txt");
  const std::string see = "; see 'kbeval-optimize --help'\n";
  const std::pair<std::string, std::string> cases[] = {
      {"sample.txt", "--output 'sample.txt' is the same file as the sample 'sample.txt'"},
      {"start-link.txt", "--output 'start-link.txt' is the same file as --start 'start.txt'"},
      {"./held.txt", "--output './held.txt' is the same file as --validate 'held.txt'"},
  };
  for (const auto& [output, message] : cases) {
    SCOPED_TRACE(output);
    const std::vector<std::string> arguments = {"kbeval-optimize", "--start=start.txt",
                                                "--validate=held.txt", "--output=" + output,
                                                "sample.txt"};
    std::vector<const char*> argv;
    for (const std::string& a : arguments) argv.push_back(a.c_str());
    char* here = getcwd(nullptr, 0);
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    const Outcome outcome = testing::caughtOutcome([&](std::FILE* out, std::FILE* err) {
      return optimizeMain(static_cast<int>(argv.size()), argv.data(), out, err);
    });
    ASSERT_EQ(chdir(here), 0);
    std::free(here);
    EXPECT_EQ(outcome.exitStatus, 2);
    EXPECT_EQ(outcome.errors, "kbeval-optimize: " + message + see);
    EXPECT_EQ(readFile(dir / "sample.txt"), "x");
    EXPECT_EQ(readFile(dir / "start.txt"), "set type:2\n");
    EXPECT_EQ(readFile(dir / "held.txt"), "y");
  }
}

// Scratch files (the HTML report's sections, the copy of a piped sample that
// several passes read) go to TMPDIR: one that can hold them is left empty,
// one that cannot fails the run with one line, and no output is written.
TEST(OutputPaths, ScratchFilesGoToTmpdir) {
  TempDirectory dir;
  testing::writeSmallCase(dir);
  const std::string layout = readFile(dir / "keyboard/b2.txt");
  for (int i = 0; i < 40; ++i) dir.write("keyboard/m" + std::to_string(i) + ".txt", layout);
  std::filesystem::create_directory(dir / "tmp");
  struct Case {
    const char* tmpdir;
    const char* command;  // the sample piped in
    int exitStatus;
    const char* error;  // what standard error starts with
  };
  const Case cases[] = {
      {"tmp", "kbeval sample.txt /2 --html=out.html", 0, ""},
      {"tmp", "kbeval - /2 --quiet --json=out.json", 0, ""},
      {"missing", "kbeval sample.txt /2 --html=out.html", 1,
       "kbeval: cannot write the HTML report 'out.html': no temporary file: missing: No such file"},
      {"missing", "kbeval - /2 --quiet --json=out.json", 1,
       "kbeval: cannot copy the sample to a temporary file: missing: No such file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    std::filesystem::remove(dir / "out.html");
    std::filesystem::remove(dir / "out.json");
    const std::string command = std::string("cat sample.txt | TMPDIR=") + c.tmpdir +
                                " '" KBEVAL_BINARY "'" + (c.command + std::strlen("kbeval"));
    const Outcome outcome = testing::runProgram(dir, "/bin/sh", {"-c", command});
    EXPECT_EQ(outcome.exitStatus, c.exitStatus);
    EXPECT_TRUE(outcome.errors.starts_with(c.error)) << outcome.errors;
    if (c.exitStatus != 0) {
      EXPECT_EQ(std::count(outcome.errors.begin(), outcome.errors.end(), '\n'), 1);
    }
    const bool written =
        std::filesystem::exists(dir / "out.html") || std::filesystem::exists(dir / "out.json");
    EXPECT_EQ(written, c.exitStatus == 0);
    EXPECT_TRUE(std::filesystem::is_empty(dir / "tmp"));
  }
}

}  // namespace
}  // namespace kbeval
