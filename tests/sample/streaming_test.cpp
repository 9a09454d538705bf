#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "in_process.h"

namespace kbeval {
namespace {

namespace fs = std::filesystem;

struct Workspace {
  fs::path dir = fs::temp_directory_path() / ("kbeval-stream-" + std::to_string(getpid()));
  Workspace() { fs::create_directories(dir / "keyboard"); }
  ~Workspace() { fs::remove_all(dir); }
  void write(const fs::path& name, const std::string& bytes) const {
    std::ofstream(dir / name, std::ios::binary) << bytes;
  }
};

std::string runWithPieces(const Workspace& w, std::size_t pieceSize) {
  RunOptions options;
  options.samplePath = (w.dir / "sample.txt").string();
  options.twoSetResults = options.threeSetResults = true;
  options.combinationReport = options.jamoReport = true;
  options.keyboardDirectory = (w.dir / "keyboard").string();
  const testing::Outcome outcome = testing::runKbevalOptions(options, pieceSize);
  EXPECT_EQ(outcome.exitStatus, 0);
  return outcome.output;
}

// A Johab syllable from its three codes.
std::string syllable(int initial, int medial, int final) {
  return {static_cast<char>(0x80 | (initial << 2) | (medial >> 3)),
          static_cast<char>(((medial & 7) << 5) | final)};
}

// The whole printed output must not depend on how the sample is cut into
// pieces: CR LF pairs, lead and trail bytes, space and line-feed runs, Shift
// runs and same-key runs all cross piece boundaries here.
TEST(Streaming, OutputIsTheSameForEveryPieceSize) {
  Workspace w;
  // 2-set: ㄱ r, ㅏ k, ㄲ R, ㅒ O, final ㄱ r, ㅆ initial T; signs and quotes.
  w.write("keyboard/b.txt",
          "set type:2\nfingering:Pyojun\n"
          "1\t\xA4\xA1\tr\n1\t\xA4\xA2\tR\n1\t\xA4\xB6\tT\n2\t\xA4\xBF\tk\n2\t\xA4\xC2\tO\n"
          "3\t\xA4\xA1\tr\n4\t.\t.\n4\t!\t!\n4\t1\t1\n4\t\xA1\xB0\tx\n");
  // 3-set with Gong3: the same jamo on other keys, digits shifted.
  w.write("keyboard/a.txt",
          "set type:3\nfingering: gong 3\n"
          "1\t\xA4\xA1\tk\n1\t\xA4\xA2\tkk\n2\t\xA4\xBF\tf\n2\t\xA4\xC2\tG\n3\t\xA4\xA1\tx\n"
          "4\t1\tJ\n4\t.\tv\n");

  std::string sample;
  std::mt19937 random(5);
  const std::string pieces[] = {
      syllable(2, 3, 1),
      syllable(3, 6, 2),
      syllable(12, 3, 1),
      syllable(3, 6, 1),
      "\r\n",
      "\r",
      "  ",
      "\n\n",
      ".",
      "!!",
      "1",
      "\xD9\x40",
      "\xDC\xCF",
      "a",
      "\t",
  };
  for (int i = 0; i < 3000; ++i) sample += pieces[random() % std::size(pieces)];
  sample += "\x88";  // a lead byte, then the end-of-file byte and text never read
  sample += "\x1A\x88\x61 !";
  w.write("sample.txt", sample);

  const std::string whole = runWithPieces(w, 1 << 20);
  ASSERT_NE(whole.find("*** Result of b (2 Sets, Pyojun Fingering) ***"), std::string::npos);
  ASSERT_NE(whole.find("*** Result of a (3 Sets, Gong3 Fingering) ***"), std::string::npos);
  for (std::size_t pieceSize : {1u, 2u, 3u, 7u, 64u, 4096u}) {
    EXPECT_EQ(runWithPieces(w, pieceSize), whole) << "pieces of " << pieceSize;
  }
}

// A UTF-8 sample whose piece boundary falls inside a character, after each
// of its bytes: read as Johab it still gets the warning (which looks at the
// first piece), and read as UTF-8 the character still counts once (a
// character Johab lacks, once skipped). Both reads print what the sample
// read in one piece prints.
struct CutCharacter {
  std::string character;
  int syllables, signs;   // what the sample holds, read as UTF-8
  std::size_t before;     // bytes of it in the first piece
  std::size_t pieceSize;  // of every piece
};

class CutCharacterTest : public ::testing::TestWithParam<CutCharacter> {};

TEST_P(CutCharacterTest, KeepsTheWarningAndTheCounts) {
  const CutCharacter& cut = GetParam();
  Workspace w;
  w.write("keyboard/b.txt", "set type:2\n1\t\xA4\xA1\tr\n2\t\xA4\xBF\tk\n3\t\xA4\xA1\tr\n");
  // 가, spaces up to the cut character, then 각 가 and a line feed: three
  // syllables besides the cut character, all typed by b.
  const std::string head = "\xEA\xB0\x80";
  const std::string tail = "\xEA\xB0\x81 \xEA\xB0\x80\n";
  const std::string sample =
      head + std::string(cut.pieceSize - head.size() - cut.before, ' ') + cut.character + tail;
  w.write("sample.txt", sample);
  const std::string warning = "kbeval: warning: " + (w.dir / "sample.txt").string() +
                              " looks like UTF-8 text, but is read as Johab; read it with "
                              "--sample-encoding=utf-8 (or --utf8)\n";
  for (const SampleEncoding encoding : {SampleEncoding::johab, SampleEncoding::utf8}) {
    SCOPED_TRACE(encoding == SampleEncoding::utf8 ? "utf-8" : "johab");
    RunOptions options;
    options.samplePath = (w.dir / "sample.txt").string();
    options.keyboardDirectory = (w.dir / "keyboard").string();
    options.sampleEncoding = encoding;
    options.twoSetResults = options.jamoReport = true;
    const testing::Outcome whole = testing::runKbevalOptions(options, sample.size() + 1);
    const testing::Outcome pieces = testing::runKbevalOptions(options, cut.pieceSize);
    EXPECT_EQ(pieces.exitStatus, 0);
    EXPECT_EQ(pieces.output, whole.output);
    EXPECT_EQ(pieces.errors, whole.errors);
    EXPECT_TRUE(pieces.output.starts_with("Reading " + std::to_string(sample.size()) + " bytes\n"));
    if (encoding == SampleEncoding::johab) {
      EXPECT_EQ(pieces.errors, warning);
    } else {
      EXPECT_EQ(pieces.errors, "");
      // A sign the layout lacks is an untreated character.
      for (const std::string& line : {"Hangeul Natnae: " + std::to_string(cut.syllables),
                                      "Signs: " + std::to_string(cut.signs),
                                      "Untreated characters: " + std::to_string(cut.signs)}) {
        EXPECT_NE(pieces.output.find("\n" + line + "\n"), std::string::npos) << line;
      }
    }
  }
}

std::vector<CutCharacter> everyCut() {
  std::vector<CutCharacter> cuts;
  // A middle dot, 가, an ellipsis and an emoji: Johab has all but the last.
  const CutCharacter characters[] = {
      {"\xC2\xB7", 3, 1, 0, 0},
      {"\xEA\xB0\x80", 4, 0, 0, 0},
      {"\xE2\x80\xA6", 3, 1, 0, 0},
      {"\xF0\x9F\x98\x80", 3, 0, 0, 0},
  };
  for (const CutCharacter& c : characters) {
    for (std::size_t before = 1; before < c.character.size(); ++before) {
      for (std::size_t pieceSize : {std::size_t{16}, std::size_t{1} << 16}) {
        cuts.push_back({c.character, c.syllables, c.signs, before, pieceSize});
      }
    }
  }
  return cuts;
}

INSTANTIATE_TEST_SUITE_P(EveryByte, CutCharacterTest, ::testing::ValuesIn(everyCut()),
                         [](const ::testing::TestParamInfo<CutCharacter>& info) {
                           return std::to_string(info.param.character.size()) + "Bytes" +
                                  std::to_string(info.param.before) + "Before" +
                                  std::to_string(info.param.pieceSize) + "Piece" +
                                  std::to_string(info.index);
                         });

}  // namespace
}  // namespace kbeval
