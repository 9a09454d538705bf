#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

// A report that cannot be written must not end with exit status 0.
TEST(OutputFailure, AFullDiskIsReportedAsFailure) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("kbeval-full-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir / "keyboard");
  std::ofstream(dir / "sample.txt") << "\x88\x61 \x88\x61\n";  // two syllables of Johab
  std::ofstream(dir / "keyboard" / "a.txt") << "set type:2\n";

  const std::string command =
      "cd '" + dir.string() + "' && '" KBEVAL_BINARY "' sample.txt >/dev/full 2>/dev/null";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);

  const std::string ok =
      "cd '" + dir.string() + "' && '" KBEVAL_BINARY "' sample.txt >/dev/null 2>&1";
  const int okStatus = std::system(ok.c_str());
  ASSERT_TRUE(WIFEXITED(okStatus));
  EXPECT_EQ(WEXITSTATUS(okStatus), 0);
  std::filesystem::remove_all(dir);
}

}  // namespace
