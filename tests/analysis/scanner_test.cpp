#include "analysis/scanner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <numeric>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/combinations.h"

namespace kbeval {
namespace {

using namespace std::string_literals;

// The Johab code of a syllable: 1, five bits each of initial, medial and final.
std::string syllable(int initial, int medial, int final) {
  const int code = 0x8000 | (initial << 10) | (medial << 5) | final;
  return {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
}
std::string code(unsigned high, unsigned low) {
  return {static_cast<char>(high), static_cast<char>(low)};
}

const std::string kGa = syllable(2, 3, 1);             // 가: ㄱ ㅏ, no final
const std::string kGak = syllable(2, 3, 2);            // 각: ㄱ ㅏ ㄱ
const std::string kDak = syllable(5, 3, 10);           // 닭: ㄷ ㅏ ㄺ
const std::string kHa = syllable(20, 3, 1);            // 하: ㅎ has no keys below
const std::string kLeftSingle = code(0xD9, 0x3E);      // ‘ row 4
const std::string kRightSingle = code(0xD9, 0x3F);     // ’ row 5
const std::string kLeftDouble = code(0xD9, 0x40);      // “ row 6
const std::string kRightDouble = code(0xD9, 0x41);     // ” row 7
const std::string kMiddleDot = code(0xD9, 0x34);       // · row 0
const std::string kQuestionSymbol = code(0xDC, 0xCF);  // rows 48 and 49

// A small layout: some jamo, signs and symbols have keys, most do not.
LayoutRecord testLayout() {
  LayoutRecord layout;
  layout.fileName = "t.txt";
  layout.setType = 2;
  layout.initialKeys[2] = "r";  // ㄱ
  layout.initialKeys[5] = "e";  // ㄷ
  layout.medialKeys[3] = "k";   // ㅏ
  layout.finalKeys[2] = "x";    // ㄱ
  layout.finalKeys[10] = "fr";  // ㄺ
  layout.signKeys[7] = "y";     // "7"
  layout.signKeys[40] = "/";    // "/"
  layout.symbolKeys[4] = "zz";  // ‘: only whether it is empty counts
  layout.symbolKeys[6] = "Q";   // “
  layout.symbolKeys[0] = "abcdef";
  layout.symbolKeys[49] = "C";  // ⓒ: never reached from the text
  return layout;
}

// One scan of `text`, fed in pieces of `pieceSize` bytes, over `layouts`: the
// counts worked out from the tally, and each layout's key stream (the keys of
// every piece's characters, collected) and untreated count.
struct Scan {
  std::unique_ptr<ScanTally> tally = std::make_unique<ScanTally>();
  TextCounts counts;
  std::unique_ptr<CombinationCounts> combinations = std::make_unique<CombinationCounts>();
  ScanState state;
  std::vector<std::string> streams;
  std::vector<Count> untreated;
};

Scan scan(std::string_view text, const std::vector<LayoutRecord>& layouts,
          std::size_t pieceSize = std::string_view::npos) {
  Scan s;
  s.streams.resize(layouts.size());
  CharacterPiece piece;
  std::size_t at = 0;
  do {
    const std::size_t length = std::min(pieceSize, text.size() - at);
    scanText(s.state, reinterpret_cast<const unsigned char*>(text.data() + at), length, *s.tally,
             piece);
    for (std::size_t i = 0; i < layouts.size(); ++i) transcribe(layouts[i], piece, s.streams[i]);
    // The scan marks where the spaces and line feeds among the characters are.
    std::vector<std::uint32_t> separators;
    for (std::size_t i = 0; i < piece.count; ++i) {
      if (piece.codes[i] == ' ' || piece.codes[i] == '\n') {
        separators.push_back(static_cast<std::uint32_t>(i));
      }
    }
    EXPECT_EQ(std::vector<std::uint32_t>(piece.separators.begin(),
                                         piece.separators.begin() + piece.separatorCount),
              separators);
    at += length;
  } while (at < text.size());
  s.counts = textCounts(*s.tally);
  countTalliedCombinations(*s.tally, *s.combinations);
  for (const LayoutRecord& layout : layouts)
    s.untreated.push_back(untreatedCount(layout, *s.tally));
  return s;
}

Scan scan(std::string_view text) {
  return scan(text, {testLayout()});
}

bool allZero(const TextCounts& counts) {
  return counts == TextCounts{};
}

TEST(ScannerRows, SpaceAndLineFeedAreCopiedOneForOne) {
  const Scan s = scan("  \n\n \n");
  EXPECT_EQ(s.counts.spaceCount, 3);
  EXPECT_EQ(s.counts.enterCount, 3);
  EXPECT_EQ(s.streams[0], "  \n\n \n");
  EXPECT_EQ(s.untreated[0], 0);
}

TEST(ScannerRows, DigitsAndSigns) {
  const Scan s = scan("7!/7");
  EXPECT_EQ(s.counts.signCount[7], 2);
  EXPECT_EQ(s.counts.signCount[12], 1);  // "!"
  EXPECT_EQ(s.counts.signCount[40], 1);  // "/"
  EXPECT_EQ(s.counts.digitCount, 2);     // "!" and "/" are no digits
  EXPECT_EQ(s.streams[0], "y\x18/y");
  EXPECT_EQ(s.untreated[0], 1);
}

TEST(ScannerRows, EveryOtherAsciiByteIsIgnored) {
  const Scan s = scan(
      "aZ\t\r\x01\x1A\x1B\x7F"
      "b c");
  TextCounts expected;
  expected.spaceCount = 1;
  EXPECT_EQ(s.counts, expected);
  EXPECT_EQ(s.streams[0], " ");
  EXPECT_EQ(s.untreated[0], 0);
}

TEST(ScannerRows, QuotationSymbolsBecomePlainQuotes) {
  const Scan s = scan(kLeftSingle + kRightSingle + kLeftDouble + kRightDouble);
  for (int row = 4; row <= 7; ++row) EXPECT_EQ(s.counts.symbolCount[row], 1) << row;
  // ‘ and “ have key strings (whatever they hold); ’ and ” have none.
  EXPECT_EQ(s.streams[0], "'\x18\"\x18");
  EXPECT_EQ(s.untreated[0], 2);

  LayoutRecord all = testLayout();
  all.symbolKeys[5] = "x";
  all.symbolKeys[7] = "\x80\x81\x82\x83\x84";
  EXPECT_EQ(scan(kLeftSingle + kRightSingle + kLeftDouble + kRightDouble, {all}).streams[0],
            "''\"\"");
}

TEST(ScannerRows, OtherSymbols) {
  const Scan s = scan(kMiddleDot + code(0xD9, 0x36) + kQuestionSymbol + kQuestionSymbol);
  EXPECT_EQ(s.counts.symbolCount[0], 1);
  EXPECT_EQ(s.counts.symbolCount[1], 1);   // …, no keys
  EXPECT_EQ(s.counts.symbolCount[48], 2);  // the first of the two equal codes
  EXPECT_EQ(s.counts.symbolCount[49], 0);
  EXPECT_EQ(s.counts.natnaeCount, 0);
  EXPECT_EQ(s.streams[0], "abcdef\x18\x18\x18");
  EXPECT_EQ(s.untreated[0], 3);
}

// Every character that can be untreated writes one marker into the key
// stream, and the untreated count, worked out from the tally alone, must
// count exactly those markers: over every ASCII byte and every two-byte code,
// on a layout with some keys and on one with none at all.
TEST(ScannerRows, UntreatedCountIsTheMarkersOfEveryCode) {
  std::string text;
  for (int b = 1; b < 128; ++b) text += static_cast<char>(b);
  for (int b1 = 0x80; b1 < 256; ++b1) {
    for (int b2 = 1; b2 < 256; ++b2) text += code(b1, b2);
  }
  LayoutRecord keyless;
  keyless.fileName = "keyless.txt";
  const Scan s = scan(text, {testLayout(), keyless});
  for (std::size_t i = 0; i < 2; ++i) {
    const auto markers = std::count(s.streams[i].begin(), s.streams[i].end(), '\x18');
    EXPECT_GT(markers, 0);
    EXPECT_EQ(s.untreated[i], markers) << "layout " << i;
  }
  // The keyless layout leaves every digit, sign and symbol untreated.
  EXPECT_EQ(s.untreated[1], kSignCount + std::accumulate(s.counts.symbolCount.begin(),
                                                         s.counts.symbolCount.end(), Count{0}));
}

TEST(ScannerRows, Syllables) {
  const Scan s = scan(kGa + kGak + kDak + kHa);
  EXPECT_EQ(s.counts.natnaeCount, 4);
  EXPECT_EQ(s.counts.initialCount[2], 2);
  EXPECT_EQ(s.counts.initialCount[5], 1);
  EXPECT_EQ(s.counts.initialCount[20], 1);
  EXPECT_EQ(s.counts.medialCount[3], 4);
  EXPECT_EQ(s.counts.finalCount[1], 2);
  EXPECT_EQ(s.counts.finalCount[2], 1);
  EXPECT_EQ(s.counts.finalCount[10], 1);
  // 하: ㅎ has no keys and leaves nothing, not even a marker.
  EXPECT_EQ(s.streams[0],
            "rk"
            "rkx"
            "ekfr"
            "k");
  EXPECT_EQ(s.untreated[0], 0);
}

TEST(ScannerRows, FillCodesAreCountedLikeJamo) {
  const Scan s = scan(code(0x88, 0x41));  // ㄱ, medial fill, final fill
  TextCounts expected;
  expected.natnaeCount = 1;
  expected.initialCount[2] = 1;
  expected.medialCount[2] = 1;
  expected.finalCount[1] = 1;
  EXPECT_EQ(s.counts, expected);
  EXPECT_EQ(s.streams[0], "r");
}

TEST(ScannerRows, StrayLeadByteTakesAnyTrailByte) {
  // A lead byte before a line feed: initial 2, medial 0, final 10, a syllable.
  Scan s = scan(code(0x88, 0x0A));
  TextCounts expected;
  expected.natnaeCount = 1;
  expected.initialCount[2] = 1;
  expected.medialCount[0] = 1;
  expected.finalCount[10] = 1;
  EXPECT_EQ(s.counts, expected);
  EXPECT_EQ(s.streams[0], "rfr");
  EXPECT_EQ(s.state.previousFinalCode, 10);

  // Before a space: initial 0, medial 1, final 0; no space is counted.
  s = scan(code(0x80, 0x20) + "7");
  EXPECT_EQ(s.counts.natnaeCount, 1);
  EXPECT_EQ(s.counts.initialCount[0], 1);
  EXPECT_EQ(s.counts.medialCount[1], 1);
  EXPECT_EQ(s.counts.finalCount[0], 1);
  EXPECT_EQ(s.counts.spaceCount, 0);
  EXPECT_EQ(s.streams[0], "y");

  // A lead byte that cannot start a symbol eats the sign after it.
  s = scan(code(0xD9, '7') + "7");
  EXPECT_EQ(s.counts.signCount[7], 1);
  EXPECT_EQ(s.streams[0], "y");
}

TEST(ScannerRows, UndecodableCodesAreSkippedInTwoBytes) {
  for (const std::string& undecodable : {code(0xD4, 0x41), code(0xE0, 0x41), code(0xF9, 0xFE),
                                         code(0xFF, 0xFF), code(0x8B, 0xC1),  // medial 30
                                         code(0x8B, 0xE1),                    // medial 31
                                         code(0x88, 0x7E),                    // final 30
                                         code(0x88, 0x7F),                    // final 31
                                         code(0xD9, 0x35),  // symbol lead byte, but no symbol
                                         code(0xDC, 0xCE)}) {
    const Scan s = scan(kDak + undecodable + "7" + kGa);
    EXPECT_EQ(s.counts.natnaeCount, 2);
    EXPECT_EQ(s.counts.signCount[7], 1);
    EXPECT_EQ(std::accumulate(s.counts.symbolCount.begin(), s.counts.symbolCount.end(), 0LL), 0);
    EXPECT_EQ(s.streams[0],
              "ekfr"
              "y"
              "rk");
    // The skipped code ends the junction: ㄺ never meets ㄱ.
    EXPECT_EQ(s.combinations->ggeutCheotIeum[10][2], 0);
  }
}

TEST(ScannerRows, PreviousFinalCodeCrossesOnlyDirectNeighbours) {
  EXPECT_EQ(scan(kDak + kGa).combinations->ggeutCheotIeum[10][2], 1);
  for (const std::string& between : {" "s, "\n"s, "7"s, "a"s, kMiddleDot, code(0xFF, 0xFF)}) {
    EXPECT_EQ(scan(kDak + between + kGa).combinations->ggeutCheotIeum[10][2], 0) << between;
  }
  EXPECT_EQ(scan(kDak).state.previousFinalCode, 10);
  EXPECT_EQ(scan(kDak + "a").state.previousFinalCode, 0);
}

TEST(ScannerRows, LeadByteAtTheEndIsDropped) {
  Scan s = scan("\x88");
  EXPECT_TRUE(allZero(s.counts));
  EXPECT_EQ(s.streams[0], "");
  s = scan(kGa + "\x88");
  EXPECT_EQ(s.counts.natnaeCount, 1);
  EXPECT_EQ(s.streams[0], "rk");
}

TEST(ScannerRows, ZeroByteEndsTheScan) {
  Scan s = scan(kGa + "\0 7"s + kGa);
  EXPECT_EQ(s.counts.natnaeCount, 1);
  EXPECT_EQ(s.counts.spaceCount, 0);
  EXPECT_EQ(s.streams[0], "rk");
  // A zero byte as a trail byte: the lead byte is the text's last byte.
  s = scan("7\x88\0 "s);
  EXPECT_EQ(s.counts.natnaeCount, 0);
  EXPECT_EQ(s.counts.spaceCount, 0);
  EXPECT_EQ(s.streams[0], "y");
  // Also when the zero byte comes in a later piece.
  s = scan(kGa + "\0 "s + kGa, {testLayout()}, 1);
  EXPECT_EQ(s.counts.natnaeCount, 1);
  EXPECT_EQ(s.streams[0], "rk");
  EXPECT_TRUE(allZero(scan("\0 7"s).counts));
  EXPECT_TRUE(allZero(scan("").counts));
}

TEST(ScannerRows, LayoutWithoutFileGetsNoSyllableKeys) {
  LayoutRecord failed = testLayout();
  failed.fileName.clear();
  const Scan s = scan(kGa + " 7!" + kLeftSingle + "\n" + kDak, {testLayout(), failed});
  EXPECT_EQ(s.streams[0], "rk y\x18'\nekfr");
  EXPECT_EQ(s.streams[1], " y\x18'\n");
  EXPECT_EQ(s.untreated[1], 1);
  EXPECT_EQ(s.counts.natnaeCount, 2);  // the text counts do not depend on layouts
}

TEST(ScannerRows, LongKeyStringsAreAppendedWhole) {
  LayoutRecord layout = testLayout();
  const std::string forty(40, 'q');
  layout.initialKeys[2] = "abcd";
  layout.medialKeys[3] = forty;
  layout.finalKeys[2] = "\x01\x02\x03\x04\x05";
  layout.signKeys[7] = "0123456789abcdefghij";  // longer than one block copy
  const Scan s = scan(kGak + "7" + kGa, {layout});
  EXPECT_EQ(s.streams[0],
            "abcd" + forty + "\x01\x02\x03\x04\x05" + "0123456789abcdefghij" + "abcd" + forty);

  // Many of them in one piece: the stream must grow far beyond twice the text.
  std::string text;
  std::string expected;
  for (int i = 0; i < 5000; ++i) {
    text += kGak + "7";
    expected += "abcd" + forty + "\x01\x02\x03\x04\x05" + "0123456789abcdefghij";
  }
  EXPECT_EQ(scan(text, {layout}).streams[0], expected);
}

// A text that touches every row of the table, with lead and trail bytes of
// two-byte codes at every offset from a piece boundary.
std::string mixedText() {
  std::string text;
  for (int round = 0; round < 40; ++round) {
    text += kGak + kDak + " " + kGa + "\n" + kLeftSingle + "7" + kRightDouble + "!?" +
            code(0x88, 0x41) + kQuestionSymbol + "\r" + code(0x88, 0x0A) + "a" + kMiddleDot +
            code(0xE0, 0x41) + code(0x88, 0x7E) + kHa + "  \n\n";
    text.append(static_cast<std::size_t>(round % 3), ' ');  // shift the alignment
  }
  return text + "\x88";
}

std::string randomText(unsigned seed, std::size_t size) {
  std::mt19937 random(seed);
  std::string text(size, ' ');
  for (char& c : text) {
    c = static_cast<char>(random() % 255 + 1);  // no zero byte
  }
  return text;
}

void expectSameAsWhole(const std::string& text) {
  LayoutRecord failed = testLayout();
  failed.fileName.clear();
  LayoutRecord other = testLayout();
  other.signKeys[41] = "?";
  other.symbolKeys[7] = "w";
  other.medialKeys[2] = "";
  const std::vector<LayoutRecord> layouts = {testLayout(), failed, other};
  const Scan whole = scan(text, layouts);
  for (std::size_t piece : {1, 2, 3, 7, 64, 4096}) {
    const Scan split = scan(text, layouts, piece);
    EXPECT_EQ(split.counts, whole.counts) << "piece " << piece;
    EXPECT_EQ(split.counts.natnaeCount, whole.counts.natnaeCount) << "piece " << piece;
    EXPECT_EQ(split.counts.symbolCount, whole.counts.symbolCount) << "piece " << piece;
    EXPECT_EQ(split.counts.signCount, whole.counts.signCount) << "piece " << piece;
    EXPECT_TRUE(*split.combinations == *whole.combinations) << "piece " << piece;
    EXPECT_EQ(split.state.previousFinalCode, whole.state.previousFinalCode);
    for (std::size_t i = 0; i < layouts.size(); ++i) {
      EXPECT_EQ(split.streams[i], whole.streams[i]) << "piece " << piece << " layout " << i;
      EXPECT_EQ(split.untreated[i], whole.untreated[i]);
    }
  }
}

TEST(ScannerPieces, MixedTextGivesTheSameAsWhole) {
  const std::string text = mixedText();
  expectSameAsWhole(text);
  // And the whole scan itself is what the rows above say, per round.
  const Scan whole = scan(text);
  EXPECT_EQ(whole.counts.natnaeCount, 40 * 6);
  EXPECT_EQ(whole.counts.spaceCount, 40 * 3 + 39);
  EXPECT_EQ(whole.counts.enterCount, 40 * 3);
  EXPECT_EQ(whole.counts.symbolCount[48], 40);
}

TEST(ScannerPieces, RandomBytesGiveTheSameAsWhole) {
  for (unsigned seed : {1u, 2u, 3u}) expectSameAsWhole(randomText(seed, 3000));
}

}  // namespace
}  // namespace kbeval
