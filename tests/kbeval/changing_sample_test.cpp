#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "in_process.h"
#include "run.h"
#include "temp_directory.h"

namespace kbeval {
namespace {

using testing::TempDirectory;

const std::string kLayout =
    "set type:2\n1\t\xA4\xA1\tr\n2\t\xA4\xBF\tk\n3\t\xA4\xA1\tr\n4\t?\t?\n4\t1\t1\n";
const std::string kSample = "\x88\x62\x88\x62 ? 1\r\n";
constexpr int kLayouts = 40;  // two passes

// A sample changed after the first pass began, each way a file can change.
// The run reports to a pipe of one page that the test reads: the first
// layout's heading shows that the first pass is done, while the run still
// waits to write the rest of that pass's reports; then the test changes the
// sample. The second pass must notice, print one line, exit 1, and leave
// the old output file as it was.
TEST(ChangingSample, APassThatFindsAnotherFileEndsTheRun) {
  struct Change {
    const char* what;
    std::function<void(const TempDirectory&)> apply;
    int exitStatus;
  };
  const Change changes[] = {
      {"none", [](const TempDirectory&) {}, 0},
      {"truncated",
       [](const TempDirectory& d) { ASSERT_EQ(truncate((d / "s.txt").c_str(), 3), 0); }, 1},
      {"grown", [](const TempDirectory& d) { d.write("s.txt", kSample + kSample); }, 1},
      {"replaced",
       [](const TempDirectory& d) {
         d.write("other.txt", kSample);
         std::filesystem::rename(d / "other.txt", d / "s.txt");
       },
       1},
      {"touched",
       [](const TempDirectory& d) {
         const timespec times[2] = {{1, 0}, {1, 0}};
         ASSERT_EQ(utimensat(AT_FDCWD, (d / "s.txt").c_str(), times, 0), 0);
       },
       1},
  };
  for (const Change& change : changes) {
    SCOPED_TRACE(change.what);
    TempDirectory dir;
    dir.write("s.txt", kSample);
    dir.write("out.json", "old");
    for (int i = 0; i < kLayouts; ++i)
      dir.write("keyboard/L" + std::to_string(100 + i) + ".txt", kLayout);
    RunOptions options;
    options.samplePath = dir / "s.txt";
    options.keyboardDirectory = dir / "keyboard";
    options.twoSetResults = true;
    options.jsonPath = dir / "out.json";
    int ends[2];
    ASSERT_EQ(pipe2(ends, O_CLOEXEC), 0);
    ASSERT_GT(fcntl(ends[1], F_SETPIPE_SZ, 4096), 0);
    std::FILE* out = fdopen(ends[1], "w");
    std::FILE* err = std::tmpfile();
    ASSERT_NE(out, nullptr);
    int status = -1;
    std::thread run([&] {
      status = runKbeval(options, out, err, 4);
      std::fclose(out);
    });
    std::string output;
    bool changed = false;
    char buffer[512];
    for (ssize_t got; (got = read(ends[0], buffer, sizeof buffer)) > 0;) {
      output.append(buffer, static_cast<std::size_t>(got));
      if (!changed && output.find("*** Result of") != std::string::npos) {
        change.apply(dir);
        changed = true;
      }
    }
    run.join();
    close(ends[0]);
    EXPECT_TRUE(changed);
    std::rewind(err);
    std::string errors(1024, '\0');
    errors.resize(std::fread(errors.data(), 1, errors.size(), err));
    std::fclose(err);
    EXPECT_EQ(status, change.exitStatus);
    if (change.exitStatus == 0) {
      EXPECT_EQ(errors, "");
      EXPECT_TRUE(testing::readFile(dir / "out.json").starts_with("{"));
    } else {
      EXPECT_EQ(errors, "kbeval: " + options.samplePath +
                            " changed while it was read (once per 32 layouts); "
                            "no output file written\n");
      EXPECT_EQ(testing::readFile(dir / "out.json"), "old");
    }
    EXPECT_EQ(testing::filesIn(dir), (std::vector<std::string>{"keyboard", "out.json", "s.txt"}));
  }
}

// A piped sample is copied once to a spool file: with many layouts its
// memory is that of the same run on the file, not 0.6 MB more per layout.
TEST(ChangingSample, PipedSampleWithManyLayoutsStaysSmall) {
  TempDirectory dir;
  dir.write("s.txt", kSample);
  for (int i = 0; i < 300; ++i) dir.write("keyboard/L" + std::to_string(100 + i) + ".txt", kLayout);
  const testing::Outcome file = testing::runProgram(dir, KBEVAL_BINARY, {"s.txt", "/2", "--quiet"});
  const testing::Outcome piped =
      testing::runProgram(dir, "/bin/sh", {"-c", "cat s.txt | '" KBEVAL_BINARY "' - /2 --quiet"});
  ASSERT_EQ(file.exitStatus, 0);
  ASSERT_EQ(piped.exitStatus, 0);
  EXPECT_EQ(piped.output, file.output);
  if (testing::kMemoryIsMeasurable) {
    EXPECT_LT(piped.peakMemoryKiB, file.peakMemoryKiB + 16 * 1024)
        << file.peakMemoryKiB << " KiB on the file";
  }
}

}  // namespace
}  // namespace kbeval
