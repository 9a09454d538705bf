// The optimiser reads each text twice: once for the search's counts, once to
// evaluate the layouts found in full. The second pass must refuse a file that
// is no longer the one the first read, however it changed.
#include "optimize/sample_passes.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

#include "layouts/layout_loader.h"
#include "temp_directory.h"
#include "text/charset_tables.h"

namespace kbeval {
namespace {

using testing::TempDirectory;

const std::string kSample = "\x88\x62\x88\x62 \x88\x62\r\n";  // 가가 가
const std::string kLayout = "set type:2\n1\t\xA4\xA1\tr\n2\t\xA4\xBF\tk\n";

// Writes the sample (s.txt) and the layout (l.txt) into `dir` and reads the layout.
void writeSampleAndLayout(const TempDirectory& dir, LayoutRecord& layout) {
  dir.write("s.txt", kSample);
  dir.write("l.txt", kLayout);
  layout.fileName = "l.txt";
  std::string error;
  ASSERT_TRUE(readLayoutFile(dir / "l.txt", layout, error)) << error;
}

TEST(SamplePasses, SecondPassRefusesAChangedSample) {
  struct Change {
    const char* what;
    std::function<void(const TempDirectory&)> apply;
    bool refused;
  };
  const Change changes[] = {
      {"none", [](const TempDirectory&) {}, false},
      {"rewritten alike, time kept",
       [](const TempDirectory& d) {
         struct stat before {};
         ASSERT_EQ(::stat((d / "s.txt").c_str(), &before), 0);
         d.write("s.txt", kSample);
         const timespec times[2] = {before.st_atim, before.st_mtim};
         ASSERT_EQ(utimensat(AT_FDCWD, (d / "s.txt").c_str(), times, 0), 0);
       },
       false},
      {"truncated",
       [](const TempDirectory& d) { ASSERT_EQ(::truncate((d / "s.txt").c_str(), 2), 0); }, true},
      {"grown", [](const TempDirectory& d) { d.write("s.txt", kSample + kSample); }, true},
      {"replaced by a copy",
       [](const TempDirectory& d) {
         d.write("copy.txt", kSample);
         std::filesystem::rename(d / "copy.txt", d / "s.txt");
       },
       true},
      {"touched",
       [](const TempDirectory& d) {
         const timespec times[2] = {{1, 0}, {1, 0}};
         ASSERT_EQ(utimensat(AT_FDCWD, (d / "s.txt").c_str(), times, 0), 0);
       },
       true},
  };
  for (const Change& change : changes) {
    SCOPED_TRACE(change.what);
    const TempDirectory dir;
    LayoutRecord layout;
    ASSERT_NO_FATAL_FAILURE(writeSampleAndLayout(dir, layout));
    std::string error;
    SymbolCounts symbols;
    struct stat first {};
    ASSERT_TRUE(countSymbols(dir / "s.txt", SampleEncoding::johab, layout, std::nullopt, symbols,
                             error, &first))
        << error;
    EXPECT_EQ(first.st_size, static_cast<off_t>(kSample.size()));
    change.apply(dir);
    ExactEvaluation exact;
    const bool evaluated = evaluateExactly(dir / "s.txt", SampleEncoding::johab, {&layout}, exact,
                                           error, nullptr, &first);
    EXPECT_EQ(evaluated, !change.refused);
    if (change.refused) {
      EXPECT_STREQ(error.c_str(), kSampleChanged);
    } else {
      ASSERT_EQ(exact.layouts.size(), 1u);
      EXPECT_EQ(exact.text.natnaeCount, 3);  // three 가
    }
    // Without a file to check against, the changed file is simply read.
    EXPECT_TRUE(evaluateExactly(dir / "s.txt", SampleEncoding::johab, {&layout}, exact, error))
        << error;
  }
}

// A kept workspace forgets how the pass before read: the Johab text "가가 가"
// read as Johab has three syllables, and read as UTF-8 (which it is not)
// fewer, with kept memory as with fresh.
TEST(SamplePasses, KeptWorkspaceReadsEachPassInItsOwnEncoding) {
  if (johabTable() == nullptr) GTEST_SKIP() << "no UTF-8 to JOHAB conversion here";
  const TempDirectory dir;
  LayoutRecord layout;
  ASSERT_NO_FATAL_FAILURE(writeSampleAndLayout(dir, layout));
  std::string error;
  SamplePassWorkspace workspace;
  for (const SampleEncoding encoding :
       {SampleEncoding::utf8, SampleEncoding::johab, SampleEncoding::utf8, SampleEncoding::johab}) {
    const bool johab = encoding == SampleEncoding::johab;
    SymbolCounts kept, fresh;
    ASSERT_TRUE(countSymbols(workspace, dir / "s.txt", encoding, layout, std::nullopt, kept, error))
        << error;
    ASSERT_TRUE(countSymbols(dir / "s.txt", encoding, layout, std::nullopt, fresh, error)) << error;
    EXPECT_EQ(kept.syllables, fresh.syllables);
    EXPECT_EQ(fresh.syllables == 3, johab);
    EXPECT_TRUE(kept.pairs == fresh.pairs);
    EXPECT_TRUE(kept.skipPairs == fresh.skipPairs);
    ExactEvaluation keptExact, freshExact;
    ASSERT_TRUE(evaluateExactly(workspace, dir / "s.txt", encoding, {&layout}, keptExact, error))
        << error;
    ASSERT_TRUE(evaluateExactly(dir / "s.txt", encoding, {&layout}, freshExact, error)) << error;
    EXPECT_EQ(keptExact.text.natnaeCount == 3, johab);
    EXPECT_EQ(keptExact.text, freshExact.text);
    EXPECT_EQ(keptExact.layouts[0].keystrokes, freshExact.layouts[0].keystrokes);
  }
}

}  // namespace
}  // namespace kbeval
