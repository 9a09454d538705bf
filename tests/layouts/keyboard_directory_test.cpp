#include "layouts/keyboard_directory.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "layouts/layout_loader.h"
#include "temp_directory.h"

namespace kbeval {
namespace {

using testing::TempDirectory;

// Runs loadLayouts and returns what it printed.
struct Loaded {
  std::vector<LayoutRecord> layouts;
  std::string messages;
};

Loaded loadFrom(const std::string& directory) {
  char* data = nullptr;
  std::size_t size = 0;
  std::FILE* stream = open_memstream(&data, &size);
  if (stream == nullptr) std::abort();
  Loaded loaded;
  loaded.layouts = loadLayouts(directory, stream);
  std::fclose(stream);
  loaded.messages.assign(data, size);
  std::free(data);
  return loaded;
}

// Changes the working directory for the test's duration, so that the loader
// sees the relative path "keyboard" as the program does.
class WorkingDirectory {
 public:
  explicit WorkingDirectory(const std::string& path) : previous_(getcwd(nullptr, 0)) {
    if (chdir(path.c_str()) != 0) std::abort();
  }
  WorkingDirectory(const WorkingDirectory&) = delete;
  WorkingDirectory& operator=(const WorkingDirectory&) = delete;
  ~WorkingDirectory() {
    if (chdir(previous_) != 0) std::abort();
    std::free(previous_);
  }

 private:
  char* previous_;
};

TEST(LayoutListing, OnlyTxtNamesInByteOrder) {
  TempDirectory dir;
  for (const char* name : {"b.txt", "a.txt", "B.txt", "_.txt", "\xB0.txt", ".x.txt", "a.txt.bak",
                           "c.TXT", "d.Txt", "txt", "etxt", "f.txt~"}) {
    dir.write(std::string("keyboard/") + name, "set type:2\n");
  }
  dir.makeDirectory("keyboard/dir.txt");
  dir.makeDirectory("keyboard/sub");
  const Listing listing = listLayoutFiles(dir / "keyboard");
  EXPECT_EQ(listing.status, ListingStatus::ok);
  const std::vector<std::string> expected = {".x.txt", "B.txt",   "_.txt",   "a.txt",
                                             "b.txt",  "dir.txt", "\xB0.txt"};
  EXPECT_EQ(listing.names, expected);
}

TEST(LayoutListing, NoMatch) {
  TempDirectory dir;
  EXPECT_EQ(listLayoutFiles(dir / "missing").status, ListingStatus::noMatch);
  dir.makeDirectory("empty");
  EXPECT_EQ(listLayoutFiles(dir / "empty").status, ListingStatus::noMatch);
  dir.write("upper/A.TXT", "set type:2\n");
  EXPECT_EQ(listLayoutFiles(dir / "upper").status, ListingStatus::noMatch);
  dir.write("file", "set type:2\n");
  EXPECT_EQ(listLayoutFiles(dir / "file").status, ListingStatus::noMatch);
  for (const char* name : {"missing", "empty", "upper", "file"}) {
    const Loaded loaded = loadFrom(dir / name);
    EXPECT_EQ(loaded.messages, "No keyboard layout file.\n") << name;
    EXPECT_TRUE(loaded.layouts.empty()) << name;
  }
}

TEST(LayoutListing, UnreadableDirectoryIsAnUnknownError) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not block root";
  TempDirectory dir;
  dir.write("keyboard/a.txt", "set type:2\n");
  ASSERT_EQ(chmod((dir / "keyboard").c_str(), 0), 0);
  EXPECT_EQ(listLayoutFiles(dir / "keyboard").status, ListingStatus::otherError);
  const Loaded loaded = loadFrom(dir / "keyboard");
  EXPECT_EQ(loaded.messages, "Unknown error.\n");
  EXPECT_TRUE(loaded.layouts.empty());
}

TEST(LoadLayouts, UnopenableFileIsReportedAndTheOthersAreRead) {
  TempDirectory dir;
  dir.write("keyboard/a.txt", "set type:3\nfingering:gong\n1\t\xA4\xA1\tr\n");
  dir.makeDirectory("keyboard/x.txt");
  dir.write("keyboard/z.txt", "set type:2\n");
  Loaded loaded;
  {
    WorkingDirectory cwd(dir.path().string());
    loaded = loadFrom("keyboard");
  }
  EXPECT_EQ(loaded.messages, "Cannot open keyboard layout file: keyboard/x.txt\n");
  ASSERT_EQ(loaded.layouts.size(), 3u);
  EXPECT_EQ(loaded.layouts[0].fileName, "a.txt");
  EXPECT_EQ(loaded.layouts[0].setType, 3);
  EXPECT_EQ(loaded.layouts[0].fingering, "Gong");
  EXPECT_EQ(loaded.layouts[0].initialKeys[2], "r");
  EXPECT_EQ(loaded.layouts[1].fileName, "");  // marks the record as unusable
  EXPECT_EQ(loaded.layouts[1].setType, 0);
  EXPECT_EQ(loaded.layouts[2].fileName, "z.txt");
  EXPECT_EQ(loaded.layouts[2].setType, 2);
  EXPECT_EQ(loaded.layouts[2].fingering, "Qwerty");
}

TEST(LoadLayouts, ManyFilesAreAllRead) {
  TempDirectory dir;
  for (int i = 0; i < 150; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "keyboard/l%03d.txt", i);
    dir.write(name, "set type:2\n4\t!\t" + std::to_string(i) + "\n");
  }
  const Loaded loaded = loadFrom(dir / "keyboard");
  EXPECT_EQ(loaded.messages, "");
  ASSERT_EQ(loaded.layouts.size(), 150u);
  for (int i = 0; i < 150; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "l%03d.txt", i);
    EXPECT_EQ(loaded.layouts[i].fileName, name);
    EXPECT_EQ(loaded.layouts[i].signKeys[12], std::to_string(i));
  }
}

TEST(DisplayName, FirstRunWithoutDots) {
  EXPECT_EQ(displayName("abc.txt"), "abc");
  EXPECT_EQ(displayName("a.b.txt"), "a");
  EXPECT_EQ(displayName(".x.txt"), "x");
  EXPECT_EQ(displayName("..x.y.txt"), "x");
  EXPECT_EQ(displayName("3-390.txt"), "3-390");
  EXPECT_EQ(displayName(".txt"), "txt");  // a file named just ".txt"
  EXPECT_EQ(displayName("..."), "");
}

}  // namespace
}  // namespace kbeval
