// Layout files in UTF-8: converted files read as their CP949 originals, and
// UTF-8 and CP949 lines mix.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "iconv_model.h"
#include "layouts/layout_loader.h"
#include "temp_directory.h"

namespace kbeval {
namespace {

using namespace std::string_literals;

LayoutRecord readInPieces(const std::string& bytes, std::size_t pieceSize) {
  LayoutRecord layout;
  LayoutFileReader reader;
  for (std::size_t at = 0; at < bytes.size(); at += pieceSize) {
    if (!readLayoutBytes(reader, bytes.data() + at, std::min(pieceSize, bytes.size() - at), layout))
      break;
  }
  finishLayoutBytes(reader, layout);
  return layout;
}

// Every shipped layout, converted by iconv and given a byte-order mark and
// DOS line ends, reads into the record of the original.
TEST(Utf8LayoutFile, ConvertedShippedLayoutsReadAsTheOriginals) {
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(KBEVAL_SHIPPED_LAYOUTS)) {
    std::ifstream in(entry.path(), std::ios::binary);
    const std::string original{std::istreambuf_iterator<char>(in), {}};
    const auto converted = testing::iconvConvert("CP949", "UTF-8", original);
    ASSERT_TRUE(converted) << entry.path();
    ASSERT_NE(*converted, original);
    std::string dos = "\xEF\xBB\xBF";
    for (char c : *converted) dos += c == '\n' ? "\r\n"s : std::string(1, c);
    const LayoutRecord expected = readInPieces(original, 1 << 14);
    EXPECT_EQ(readInPieces(*converted, 1 << 14), expected) << entry.path();
    EXPECT_EQ(readInPieces(dos, 1), expected) << entry.path();
    ++files;
  }
  EXPECT_GE(files, 5);
}

TEST(Utf8LayoutFile, LinesOfBothEncodingsMix) {
  const std::string ga148 = [] {
    std::string text;
    for (int i = 0; i < 148; ++i) text += "\xEA\xB0\x80";  // 가 in UTF-8, two bytes in CP949
    return text;
  }();
  const std::string file =
      "\xEF\xBB\xBF"
      "set type:3\n"
      "1\t\xE3\x84\xB1\tk\n"                  // ㄱ in UTF-8
      "2\t\xA4\xBF\tf\n"                      // ㅏ in CP949
      "4\t\xC2\xB7\tM\n"                      // · in UTF-8, no sign (in CP949 a syllable)
      "3\t\xE3\x84\n"                         // a cut UTF-8 ㄱ names nothing
      "3\t\xE3\x84\tx\n"                      // nor with keys
      "1\t\xE3\x84\xB4\tr\xF0\x9F\x98\x80\n"  // ㄴ; the emoji has no CP949 form and stays
      "//" +
      ga148 +
      "a1\t\xE3\x84\xB7\tz\n"  // cut after 299 CP949 bytes: ㄷ gets z
      "\xEF\xBB\xBF"
      "1\t\xA4\xBE\th\n";  // a byte-order mark later on is no mark
  LayoutRecord expected;
  expected.setType = 3;
  expected.initialKeys[2] = "k";
  expected.medialKeys[3] = "f";
  expected.symbolKeys[0] = "M";
  expected.initialKeys[4] = "r\xF0\x9F\x98\x80";
  expected.initialKeys[5] = "z";
  for (std::size_t piece : {1, 2, 7, 4096}) EXPECT_EQ(readInPieces(file, piece), expected) << piece;
}

// What the loader turns a UTF-8 line into is what iconv turned it from, for
// every two-byte code of CP949.
TEST(Utf8LayoutFile, EveryCp949CharacterComesBack) {
  int codes = 0;
  std::string scratch;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x41; trail <= 0xFE; ++trail) {
      const std::string cp949 = {static_cast<char>(lead), static_cast<char>(trail)};
      const auto utf8 = testing::iconvConvert("CP949", "UTF-8", cp949);
      if (!utf8) continue;
      ++codes;
      ASSERT_EQ(lineAsCp949("4\t" + *utf8 + "\tk\n", scratch), "4\t" + cp949 + "\tk\n")
          << lead << trail;
    }
  }
  EXPECT_GT(codes, 17000);
}

}  // namespace
}  // namespace kbeval
