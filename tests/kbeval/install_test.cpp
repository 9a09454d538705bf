// The build as a user meets it: `make install` into a prefix, the installed
// kbeval run on the installed layouts, and a configure step without the
// optional pugixml.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "temp_directory.h"

namespace kbeval {
namespace {

using testing::Outcome;
using testing::readFile;
using testing::TempDirectory;

TEST(Install, TheInstalledKbevalRunsOnTheInstalledLayouts) {
  TempDirectory prefix;
  const Outcome install = testing::runProgram(
      prefix, KBEVAL_CMAKE, {"--install", KBEVAL_BUILD_DIR, "--prefix", prefix.path().string()});
  ASSERT_EQ(install.exitStatus, 0) << install.errors;
  const std::filesystem::path root = prefix.path();
  EXPECT_TRUE(std::filesystem::exists(root / "share/man/man1/kbeval.1"));
  EXPECT_TRUE(std::filesystem::exists(root / "bin/kbeval-optimize"));
  if (std::filesystem::exists(std::string(KBEVAL_BUILD_DIR) + "/kbeval-import")) {
    EXPECT_TRUE(std::filesystem::exists(root / "bin/kbeval-import"));
    EXPECT_TRUE(std::filesystem::exists(root / "share/man/man1/kbeval-import.1"));
  }
  const std::filesystem::path layouts = root / "share/kbeval/keyboard";
  int copied = 0;
  for (const auto& entry : std::filesystem::directory_iterator(KBEVAL_SHIPPED_LAYOUTS)) {
    EXPECT_EQ(readFile(layouts / entry.path().filename()), readFile(entry.path()));
    ++copied;
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(layouts), {}), copied);

  const std::string sample = std::string(KBEVAL_EXAMPLES) + "/sample.utf8.txt";
  TempDirectory elsewhere;
  const Outcome installed =
      testing::runProgram(elsewhere, (root / "bin/kbeval").c_str(),
                          {"--keyboards=" + layouts.string(), "--utf8", sample});
  const Outcome built = testing::runProgram(
      elsewhere, KBEVAL_BINARY, {"--keyboards=" KBEVAL_SHIPPED_LAYOUTS, "--utf8", sample});
  EXPECT_EQ(installed.exitStatus, 0);
  EXPECT_NE(installed.output.find("*** Result of 3-390 (3 Sets, Gong3 Fingering) ***"),
            std::string::npos);
  EXPECT_EQ(installed.output, built.output);
}

TEST(Install, ConfiguringWithoutPugixmlSkipsTheImporter) {
  TempDirectory build;
  const Outcome configure = testing::runProgram(
      build, KBEVAL_CMAKE,
      {"-S", KBEVAL_SOURCE_DIR, "-B", build.path().string(), "-DCMAKE_BUILD_TYPE=Debug",
       "-DKBEVAL_BUILD_TESTS=OFF", "-DCMAKE_DISABLE_FIND_PACKAGE_pugixml=ON"});
  EXPECT_EQ(configure.exitStatus, 0) << configure.errors;
  EXPECT_NE(configure.output.find("pugixml not found"), std::string::npos) << configure.output;
  EXPECT_TRUE(std::filesystem::exists(build.path() / "CMakeCache.txt"));
}

}  // namespace
}  // namespace kbeval
