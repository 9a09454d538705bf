#include "layouts/layout_loader.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>

#include "temp_directory.h"

namespace kbeval {
namespace {

// KS X 1001 codes of the jamo and symbols used below.
constexpr std::string_view kGiyeok = "\xA4\xA1";     // ㄱ: initial 2, final 2
constexpr std::string_view kDigeut = "\xA4\xA7";     // ㄷ: initial 5, final 8
constexpr std::string_view kRieul = "\xA4\xA9";      // ㄹ: initial 7, final 9
constexpr std::string_view kHieut = "\xA4\xBE";      // ㅎ: initial 20, final 29
constexpr std::string_view kSsangD = "\xA4\xA8";     // ㄸ: initial 6, no final
constexpr std::string_view kRieulG = "\xA4\xAA";     // ㄺ: final 10 only
constexpr std::string_view kA = "\xA4\xBF";          // ㅏ: medial 3
constexpr std::string_view kI = "\xA4\xD3";          // ㅣ: medial 29
constexpr std::string_view kLeftQuote = "\xA1\xAE";  // ‘: symbol row 4
constexpr std::string_view kCopyright = "\xA8\xCF";  // ⓒ: symbol row 49

std::string line(std::string_view number, std::string_view jamo, std::string_view keys) {
  return std::string(number) + "\t" + std::string(jamo) + "\t" + std::string(keys) + "\n";
}

LayoutRecord load(std::string_view text) {
  LayoutRecord layout;
  applyLayoutText(text, layout);
  return layout;
}

// True when no key string, set type or fingering differs from a fresh record.
::testing::AssertionResult isUntouched(const LayoutRecord& layout) {
  const LayoutRecord fresh;
  if (layout.setType != fresh.setType) return ::testing::AssertionFailure() << "setType changed";
  if (layout.fingering != fresh.fingering) return ::testing::AssertionFailure() << "fingering";
  if (layout.initialKeys != fresh.initialKeys) return ::testing::AssertionFailure() << "initial";
  if (layout.medialKeys != fresh.medialKeys) return ::testing::AssertionFailure() << "medial";
  if (layout.finalKeys != fresh.finalKeys) return ::testing::AssertionFailure() << "final";
  if (layout.signKeys != fresh.signKeys) return ::testing::AssertionFailure() << "sign";
  if (layout.symbolKeys != fresh.symbolKeys) return ::testing::AssertionFailure() << "symbol";
  return ::testing::AssertionSuccess();
}

TEST(SetTypeLine, KeywordFoldsCaseButNotSpacing) {
  EXPECT_EQ(load("Set Type:3\n").setType, 3);
  EXPECT_EQ(load("SET TYPE:3\n").setType, 3);
  EXPECT_EQ(load("set type:2").setType, 2);      // last line without a line feed
  EXPECT_EQ(load("::set type:3\n").setType, 3);  // colons at the start are skipped
  EXPECT_EQ(load(" set type:3\n").setType, 0);
  EXPECT_EQ(load("set type :3\n").setType, 0);
  EXPECT_EQ(load("set  type:3\n").setType, 0);
  EXPECT_EQ(load("settype:3\n").setType, 0);
  EXPECT_EQ(load("set type 3\n").setType, 0);
  EXPECT_EQ(load("set type\t:3\n").setType, 0);
}

TEST(SetTypeLine, ValueIsReadAsLeadingNumber) {
  EXPECT_EQ(load("set type: 2\n").setType, 2);
  EXPECT_EQ(load("set type:\t 3\n").setType, 3);
  EXPECT_EQ(load("set type:+2\n").setType, 2);
  EXPECT_EQ(load("set type:two\n").setType, 0);
  EXPECT_EQ(load("set type:3 sets\n").setType, 3);
  EXPECT_EQ(load("set type:\n").setType, 0);
  EXPECT_EQ(load("set type:2:3\n").setType, 2);  // VALUE starts after the first colon
  // A later line wins, also when its value reads as 0.
  EXPECT_EQ(load("set type:2\nset type:3\n").setType, 3);
  EXPECT_EQ(load("set type:3\nset type:x\n").setType, 0);
}

TEST(SetTypeLine, HugeNumbersNeverWrapToTwoOrThree) {
  // 2^32 + 2, 2^32 + 3, 2^64 + 2 and their negatives wrap to 2 or 3 when cut to 32 bits.
  for (const char* value : {"99999999999", "4294967298", "4294967299", "18446744073709551618",
                            "-4294967294", "-4294967293", "99999999999999999999999999999"}) {
    const int setType = load(std::string("set type:") + value + "\n").setType;
    EXPECT_NE(setType, 2) << value;
    EXPECT_NE(setType, 3) << value;
  }
}

TEST(FingeringLine, NormalisesTheValue) {
  EXPECT_EQ(normaliseFingering("Gong 3"), "Gong3");
  EXPECT_EQ(normaliseFingering(" g o n g "), "Gong");
  EXPECT_EQ(normaliseFingering("pyojun"), "Pyojun");
  EXPECT_EQ(normaliseFingering("gong3"), "Gong3");
  EXPECT_EQ(normaliseFingering("gONG"), "GONG");
  EXPECT_EQ(normaliseFingering("GONG"), "GONG");
  EXPECT_EQ(normaliseFingering("   "), "Qwerty");
  EXPECT_EQ(normaliseFingering(""), "Qwerty");
  EXPECT_EQ(normaliseFingering("Dvorak"), "Unknown");
  EXPECT_EQ(normaliseFingering("Qwerty"), "Unknown");
  EXPECT_EQ(normaliseFingering("\tGong"), "Unknown");  // only spaces are removed
  EXPECT_EQ(normaliseFingering("Gong\r"), "Unknown");
}

TEST(FingeringLine, InALayoutFile) {
  EXPECT_EQ(load("set type:2\n").fingering, "Qwerty");
  EXPECT_EQ(load("fingering:Gong 3\n").fingering, "Gong3");
  EXPECT_EQ(load("FINGERING:pyojun\n").fingering, "Pyojun");
  EXPECT_EQ(load("fingering:   \n").fingering, "Qwerty");
  EXPECT_EQ(load("fingering:\n").fingering, "Qwerty");
  EXPECT_EQ(load("fingering :Gong\n").fingering, "Qwerty");  // not a keyword line
  EXPECT_EQ(load("fingering:Gong\nfingering:pyojun\n").fingering, "Pyojun");
  EXPECT_EQ(load("fingering:Gong\nfingering:Dvorak\n").fingering, "Unknown");
}

TEST(CategoryLine, EachCategoryFillsItsOwnTable) {
  const LayoutRecord layout =
      load(line("1", kGiyeok, "r") + line("1", kHieut, "g") + line("2", kA, "k") +
           line("2", kI, "l") + line("3", kGiyeok, "x") + line("3", kRieulG, "fr") +
           line("3", kHieut, "G") + line("4", "7", "7") + line("4", "?", "/") +
           line("4", kLeftQuote, "q") + line("4", kCopyright, "C"));
  EXPECT_EQ(layout.initialKeys[2], "r");
  EXPECT_EQ(layout.initialKeys[20], "g");
  EXPECT_EQ(layout.medialKeys[3], "k");
  EXPECT_EQ(layout.medialKeys[29], "l");
  EXPECT_EQ(layout.finalKeys[2], "x");  // initial and final ㄱ are independent
  EXPECT_EQ(layout.finalKeys[10], "fr");
  EXPECT_EQ(layout.finalKeys[29], "G");
  EXPECT_EQ(layout.signKeys[7], "7");
  EXPECT_EQ(layout.signKeys[41], "/");   // "?" is a one-byte name: a sign
  EXPECT_EQ(layout.symbolKeys[48], "");  // never the symbol row named "?"
  EXPECT_EQ(layout.symbolKeys[4], "q");
  EXPECT_EQ(layout.symbolKeys[49], "C");
  EXPECT_EQ(layout.setType, 0);
}

TEST(CategoryLine, TabRules) {
  EXPECT_EQ(load("1\t\t" + std::string(kGiyeok) + "\tr\n").initialKeys[2], "r");
  EXPECT_EQ(load("\t\t1\t" + std::string(kGiyeok) + "\tr\n").initialKeys[2], "r");
  EXPECT_EQ(load(line("1", kGiyeok, "\tr")).initialKeys[2], "\tr");  // two tabs before KEYS
  EXPECT_EQ(load(line("1", kGiyeok, "r ")).initialKeys[2], "r ");    // trailing space kept
  EXPECT_EQ(load(line("1", kGiyeok, "r\tq z")).initialKeys[2], "r\tq z");
  EXPECT_EQ(load(line("1", kGiyeok, "\t")).initialKeys[2], "\t");
}

TEST(CategoryLine, MissingKeysLeaveTheEarlierKeyString) {
  const std::string g(kGiyeok);
  const LayoutRecord layout = load(line("1", kGiyeok, "r") + "1\t" + g + "\n" + "1\t" + g + "\t\n" +
                                   "1\t" + g + "\n" + "1\t\t\n" + "1\n" + "1\t" + g);
  EXPECT_EQ(layout.initialKeys[2], "r");
  EXPECT_EQ(load("1\t" + g + "\t").initialKeys[2], "");  // tab, then the end of the text
}

TEST(CategoryLine, NumberField) {
  EXPECT_EQ(load(line("1abc", kGiyeok, "r")).initialKeys[2], "r");
  EXPECT_EQ(load(line("1//", kGiyeok, "r")).initialKeys[2], "r");  // a category line, no comment
  EXPECT_EQ(load(line("+2", kA, "k")).medialKeys[3], "k");
  EXPECT_EQ(load(line(" 3", kGiyeok, "x")).finalKeys[2], "x");
  for (const char* number : {"0", "-1", "5", "42", "a1", "4294967297", "4294967298", "4294967299",
                             "4294967300", "-4294967295"}) {
    const LayoutRecord layout = load(line(number, kGiyeok, "r") + line(number, kA, "k") +
                                     line(number, "?", "/") + line(number, kCopyright, "C"));
    EXPECT_TRUE(isUntouched(layout)) << number;
  }
}

TEST(CategoryLine, UnknownNamesAreIgnored) {
  const std::string unknown[] = {
      line("1", kA, "r"),       // a vowel as an initial
      line("1", kRieulG, "r"),  // a compound final as an initial
      line("2", kGiyeok, "k"),  // a consonant as a vowel
      line("3", kSsangD, "x"),  // ㄸ is no final
      line("4", "a", "a"),      // a letter is no sign
      line("4", " ", "a"),
      line("4", "ab", "a"),     // two bytes that are no symbol
      line("4", kGiyeok, "a"),  // a jamo is no symbol
      line("1", std::string(kGiyeok) + std::string(kGiyeok), "r"),
      line("1", std::string(kGiyeok) + " ", "r"),
      line("1", "\xA4", "r"),  // half a jamo
      line("4", std::string(kLeftQuote) + "x", "q"),
  };
  for (const std::string& text : unknown) EXPECT_TRUE(isUntouched(load(text))) << text;
}

TEST(CategoryLine, ALaterLineOverrides) {
  const LayoutRecord layout =
      load(line("1", kGiyeok, "r") + line("3", kGiyeok, "x") + line("1", kGiyeok, "R") +
           line("4", "?", "/") + line("4", "?", "?"));
  EXPECT_EQ(layout.initialKeys[2], "R");
  EXPECT_EQ(layout.finalKeys[2], "x");
  EXPECT_EQ(layout.signKeys[41], "?");
}

TEST(CategoryLine, KeyStringsOfAnyLengthAndByteAreKeptWhole) {
  EXPECT_EQ(load(line("1", kGiyeok, "abcdefghij")).initialKeys[2], "abcdefghij");
  const std::string bytes = "\x80\xFF\x01\x18\x1B\x7F\xA4\xA1\x0B\x0C";
  EXPECT_EQ(load(line("4", "!", bytes)).signKeys[12], bytes);
  // A lone carriage return stays part of the keys; only the line feed ends them.
  EXPECT_EQ(load(line("2", kA, "k\r")).medialKeys[3], "k\r");
}

TEST(LayoutText, CommentsAndIgnoredLines) {
  const LayoutRecord layout = load(
      "//set type:3\n//fingering:Gong\n//\t1\t" + std::string(kGiyeok) + "\tr\n//1\t" +
      std::string(kA) + "\tk\n\n \n0\t" + std::string(kGiyeok) + "\tr\nhello\nsize:3\n:\n::\n");
  EXPECT_TRUE(isUntouched(layout));
}

TEST(LayoutText, ZeroByteEndsTheLineContent) {
  using namespace std::string_literals;
  const std::string g(kGiyeok);
  const LayoutRecord layout = load("1\t"s + g + "\tr\0zz\n"s +            // keys "r"
                                   "2\t"s + std::string(kA) + "\tk\n"s +  // read as usual
                                   "set type\0:3\n"s +                    // no colon left
                                   "\0003\t"s + g + "\tx\n"s +            // an empty line
                                   "4\t!\t\0\n"s +                        // empty keys
                                   "fingering:Gong\0 3\n"s);
  EXPECT_EQ(layout.initialKeys[2], "r");
  EXPECT_EQ(layout.medialKeys[3], "k");
  EXPECT_EQ(layout.setType, 0);
  EXPECT_EQ(layout.finalKeys[2], "");
  EXPECT_EQ(layout.signKeys[12], "");
  EXPECT_EQ(layout.fingering, "Gong");
}

TEST(LayoutText, LongLinesAreReadInPiecesOf299) {
  const std::string g(kGiyeok);
  // "1<TAB>ㄱ<TAB>" is 5 bytes, so the first piece holds 294 key bytes; the other
  // 106 bytes and the line feed are a line of their own (no number, no colon).
  LayoutRecord layout = load("1\t" + g + "\t" + std::string(400, 'r') + "\n");
  EXPECT_EQ(layout.initialKeys[2], std::string(294, 'r'));

  // Exactly 299 characters with the line feed: one piece, keys without the line feed.
  layout = load("1\t" + g + "\t" + std::string(293, 'r') + "\n");
  EXPECT_EQ(layout.initialKeys[2], std::string(293, 'r'));

  // 299 characters before the line feed: the line feed alone is the next piece.
  layout = load("1\t" + g + "\t" + std::string(294, 'r') + "\n" + line("2", kA, "k"));
  EXPECT_EQ(layout.initialKeys[2], std::string(294, 'r'));
  EXPECT_EQ(layout.medialKeys[3], "k");

  // What follows the 299th character is read as a line: a category line ...
  layout = load("1\t" + g + "\t" + std::string(294, 'r') + line("2", kA, "k"));
  EXPECT_EQ(layout.initialKeys[2], std::string(294, 'r'));
  EXPECT_EQ(layout.medialKeys[3], "k");

  // ... or a keyword line hidden in a comment.
  layout = load("//" + std::string(297, ' ') + "set type:3\n");
  EXPECT_EQ(layout.setType, 3);
  layout = load("//" + std::string(296, ' ') + "set type:3\n");
  EXPECT_EQ(layout.setType, 0);

  // A jamo cut in two by the piece boundary matches nothing.
  layout = load(std::string("1").append(296, 'x') + "\t" + g + "\tr\n");
  EXPECT_TRUE(isUntouched(layout));

  // A line of 10,000 characters costs nothing to its neighbours.
  layout = load(line("2", kA, "k") + std::string(10000, 'x') + "\n" + line("1", kDigeut, "e"));
  EXPECT_EQ(layout.medialKeys[3], "k");
  EXPECT_EQ(layout.initialKeys[5], "e");

  // 10,000 key bytes: the first piece's keys. The pieces after it are runs of
  // digits without a tab, read as category lines of a huge number: ignored.
  layout = load("1\t" + g + "\t" + std::string(10000, '1') + "\n" + line("1", kRieul, "f"));
  EXPECT_EQ(layout.initialKeys[2], std::string(294, '1'));
  EXPECT_EQ(layout.initialKeys[7], "f");
}

TEST(ReadLayoutFile, TextModeCrLfAndEndOfFileByte) {
  testing::TempDirectory dir;
  const std::string g(kGiyeok);
  const std::string path =
      dir.write("a.txt", "set type:3\r\nfingering:Gong\r\n1\t" + g + "\tr\r\n2\t" +
                             std::string(kA) + "\tk\r\r\n3\t" + g + "\tx\r\n\x1A" + "4\t!\t1\r\n");
  LayoutRecord layout;
  std::string error;
  ASSERT_TRUE(readLayoutFile(path, layout, error));
  EXPECT_EQ(layout.setType, 3);
  EXPECT_EQ(layout.fingering, "Gong");
  EXPECT_EQ(layout.initialKeys[2], "r");
  EXPECT_EQ(layout.medialKeys[3], "k\r");  // CR CR LF: the first CR is no line end
  EXPECT_EQ(layout.finalKeys[2], "x");
  EXPECT_EQ(layout.signKeys[12], "");  // after 0x1A
}

TEST(ReadLayoutFile, LastLineWithoutLineFeedAndCrBeforeEndOfFile) {
  testing::TempDirectory dir;
  LayoutRecord layout;
  std::string error;
  ASSERT_TRUE(readLayoutFile(
      dir.write("a.txt", line("2", kA, "k") + "1\t" + std::string(kGiyeok) + "\tr\r\x1A"), layout,
      error));
  EXPECT_EQ(layout.initialKeys[2], "r\r");
  EXPECT_EQ(layout.medialKeys[3], "k");
}

TEST(ReadLayoutFile, FailsOnDirectoryAndMissingFileSayingWhy) {
  testing::TempDirectory dir;
  LayoutRecord layout;
  std::string error;
  EXPECT_FALSE(readLayoutFile(dir.makeDirectory("d.txt"), layout, error));
  EXPECT_EQ(error, "not a regular file");
  EXPECT_FALSE(readLayoutFile(dir / "missing.txt", layout, error));
  EXPECT_EQ(error, "No such file or directory");
  EXPECT_TRUE(isUntouched(layout));
}

TEST(ReadLayoutFile, BinaryGarbageNeverStoresAZeroByte) {
  testing::TempDirectory dir;
  std::mt19937 random(20240607);
  std::string bytes(1 << 16, '\0');
  for (char& c : bytes) {
    c = static_cast<char>(random() & 0xFF);
    if (c == '\x1A') c = '\x1B';  // keep reading to the end
  }
  // Sprinkle category-line starts so that garbage reaches the key tables.
  for (std::size_t i = 0; i + 8 < bytes.size(); i += 97) {
    bytes.replace(i, 5, "\n4\t!\t");
  }
  LayoutRecord layout;
  std::string error;
  ASSERT_TRUE(readLayoutFile(dir.write("g.txt", bytes), layout, error));
  auto noZero = [](const auto& table) {
    for (const std::string& keys : table) {
      if (keys.find('\0') != std::string::npos) return false;
    }
    return true;
  };
  EXPECT_TRUE(noZero(layout.initialKeys));
  EXPECT_TRUE(noZero(layout.medialKeys));
  EXPECT_TRUE(noZero(layout.finalKeys));
  EXPECT_TRUE(noZero(layout.signKeys));
  EXPECT_TRUE(noZero(layout.symbolKeys));
  EXPECT_FALSE(layout.signKeys[12].empty());
  EXPECT_LE(layout.signKeys[12].size(), 295u);  // 299 minus "4<TAB>!<TAB>"
}

// A file is read in buffers while lines are applied as they complete: lines
// and CR LF pairs that straddle two buffers must read as in the whole text.
// Every line fills an entry of its own with long keys, so a line cut at a
// buffer boundary would show.
TEST(ReadLayoutFile, LinesAcrossReadBuffersReadAsInTheWholeText) {
  std::string text = "set type:3\r\nfingering: gong 3\r\n";
  int line = 0;
  auto add = [&](char category, std::string_view name) {
    std::string keys;
    for (int i = 0; i < 120 + (line * 37) % 170; ++i) keys.push_back("qwert;ABC"[(i + line) % 9]);
    text += std::string(1, category) + "\t" + std::string(name) + "\t" + keys + "\r\n";
    ++line;
  };
  for (std::string_view name : InitialNames)
    if (!name.empty()) add('1', name);
  for (std::string_view name : MedialNames)
    if (!name.empty()) add('2', name);
  for (std::string_view name : FinalNames)
    if (!name.empty()) add('3', name);
  for (char sign : SignChars) add('4', std::string_view(&sign, 1));
  for (std::string_view name : SymbolNames) add('4', name);
  ASSERT_GT(text.size(), std::size_t{2} << 14);  // three read buffers

  testing::TempDirectory dir;
  LayoutRecord fromFile;
  std::string error;
  ASSERT_TRUE(readLayoutFile(dir.write("big.txt", text), fromFile, error));
  std::string translated;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r') translated.push_back(text[i]);
  }
  LayoutRecord whole;
  applyLayoutText(translated, whole);
  EXPECT_EQ(fromFile, whole);
  EXPECT_EQ(whole.setType, 3);
  // "?" is written twice, as sign 41 (line 108) and as symbol row 48 (line
  // 157), whose one-byte name is a sign too: the later line wins.
  EXPECT_EQ(whole.signKeys[41].size(), std::size_t{120 + (157 * 37) % 170});
}

}  // namespace
}  // namespace kbeval
