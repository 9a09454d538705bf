// Threads never change a byte of the output: every --jobs value, every piece
// size and every number of layouts (more than one pass over the sample too,
// and a pipe read once) print what one thread prints reading the sample whole.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "in_process.h"
#include "temp_directory.h"

namespace kbeval {
namespace {

using testing::TempDirectory;

std::string run(const std::string& sample, const std::string& keyboard, unsigned jobs,
                std::size_t pieceSize = std::size_t{1} << 20) {
  RunOptions options;
  options.samplePath = sample;
  options.twoSetResults = options.threeSetResults = true;
  options.combinationReport = options.jamoReport = true;
  options.keyboardDirectory = keyboard;
  options.jobs = jobs;
  const testing::Outcome outcome = testing::runKbevalOptions(options, pieceSize);
  EXPECT_EQ(outcome.exitStatus, 0);
  return outcome.output;
}

std::string syllable(int initial, int medial, int final) {
  const int code = 0x8000 | (initial << 10) | (medial << 5) | final;
  return {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
}

// Korean-like text: words from a small vocabulary (so that words repeat and
// become tokens), words too long for one, double spaces, CR LF, signs,
// symbols and letters.
std::string sampleText() {
  std::mt19937 random(17);
  std::vector<std::string> vocabulary;
  for (int w = 0; w < 60; ++w) {
    std::string word;
    const int length = 1 + static_cast<int>(random() % (w % 10 == 0 ? 16 : 4));
    for (int s = 0; s < length; ++s) {
      word += syllable(static_cast<int>(2 + random() % 19), static_cast<int>(3 + random() % 27),
                       static_cast<int>(1 + random() % 29));
    }
    vocabulary.push_back(word);
  }
  const std::string separators[] = {" ",  " ",  " ",         "  ", "\r\n", "\n",
                                    ". ", "? ", "\xD9\x40 ", "1 ", "a "};
  std::string text;
  while (text.size() < 40000) {
    text += vocabulary[random() % vocabulary.size()];
    text += separators[random() % std::size(separators)];
  }
  return text;
}

// The shipped layouts, and copies of them under other names up to `count`.
void writeLayouts(const TempDirectory& dir, int count) {
  const std::filesystem::path shipped =
      std::filesystem::path(KBEVAL_TEST_DATA) / "../../examples/keyboard";
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(shipped))
    files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  ASSERT_FALSE(files.empty());
  for (int i = 0; i < count; ++i) {
    const std::string name =
        "k" + std::to_string(100 + i) + "-" + files[i % files.size()].filename().string();
    std::filesystem::create_directories(dir.path() / "keyboard");
    std::filesystem::copy_file(files[i % files.size()], dir.path() / "keyboard" / name);
  }
}

TEST(Jobs, OutputIsTheSameForEveryJobsAndPieceSize) {
  for (int layouts : {1, 5, 40}) {
    TempDirectory dir;
    dir.write("sample.txt", sampleText());
    writeLayouts(dir, layouts);
    const std::string expected = run(dir / "sample.txt", dir / "keyboard", 1);
    ASSERT_NE(expected.find("*** Result of k100-"), std::string::npos);
    for (unsigned jobs : {1u, 2u, 3u, 8u}) {
      for (std::size_t pieceSize : {std::size_t{1} << 20, std::size_t{4096}, std::size_t{7}}) {
        EXPECT_EQ(run(dir / "sample.txt", dir / "keyboard", jobs, pieceSize), expected)
            << layouts << " layouts, " << jobs << " jobs, pieces of " << pieceSize;
      }
    }
  }
}

// A pipe is read once, with every layout in one pass.
TEST(Jobs, APipeReadOnceGivesTheFilesResults) {
  TempDirectory dir;
  const std::string sample = sampleText();
  dir.write("sample.txt", sample);
  writeLayouts(dir, 40);
  const std::string fromFile = run(dir / "sample.txt", dir / "keyboard", 1);
  const std::string reading = "Reading " + std::to_string(sample.size()) + " bytes\n";
  ASSERT_EQ(fromFile.substr(0, reading.size()), reading);
  for (unsigned jobs : {1u, 3u}) {
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    const pid_t writer = fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
      close(ends[0]);
      const bool written =
          write(ends[1], sample.data(), sample.size()) == static_cast<ssize_t>(sample.size());
      _exit(written ? 0 : 1);
    }
    close(ends[1]);
    const std::string piped = run("/dev/fd/" + std::to_string(ends[0]), dir / "keyboard", jobs);
    close(ends[0]);
    int status = 0;
    waitpid(writer, &status, 0);
    // A pipe's Reading line shows the bytes read, so all of it is the file's.
    EXPECT_EQ(piped, fromFile) << jobs << " jobs";
  }
}

}  // namespace
}  // namespace kbeval
