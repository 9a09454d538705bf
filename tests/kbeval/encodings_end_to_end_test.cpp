// kbeval's UTF-8 runs against their definitions (the Johab file being the
// shipped sample's, or generated):
//   kbeval --output-encoding=utf-8 S  =  kbeval S | iconv -f CP949 -t UTF-8
//   kbeval --utf8 T                   =  iconv -c -f UTF-8 -t JOHAB T > S;
//                                        kbeval S | iconv -f CP949 -t UTF-8
// (the second apart from the "Reading" line, which gives T's own size), for
// every switch combination, on the shipped sample and on generated texts.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "iconv_model.h"
#include "in_process.h"
#include "temp_directory.h"

namespace kbeval {
namespace {

using namespace std::string_literals;
using testing::Outcome;
using testing::readFile;
using testing::TempDirectory;

const std::vector<std::vector<std::string>> kSwitchSets = {
    {}, {"/j"}, {"/i"}, {"/3", "/2"}, {"/x"}};

Outcome kbeval(const TempDirectory& directory, std::vector<std::string> arguments) {
  return testing::runKbevalInProcess(directory, arguments);
}

std::vector<std::string> with(std::vector<std::string> arguments,
                              const std::vector<std::string>& more) {
  arguments.insert(arguments.end(), more.begin(), more.end());
  return arguments;
}

// A directory with the shipped layouts in keyboard/, and the same layouts
// converted to UTF-8 in utf8/.
void writeLayouts(const TempDirectory& directory) {
  for (const auto& entry : std::filesystem::directory_iterator(KBEVAL_SHIPPED_LAYOUTS)) {
    const std::string original = readFile(entry.path());
    const std::string name = entry.path().filename().string();
    directory.write("keyboard/" + name, original);
    directory.write("utf8/" + name, testing::iconvConvert("CP949", "UTF-8", original).value());
  }
}

// Korean text with everything a sample may hold: syllables, compatibility
// jamo, symbols, digits, signs, Hanja, fullwidth letters, emoji, byte-order
// marks, the won sign and backslash, DOS line ends, broken UTF-8, and at the
// end a 0x1A and a zero byte with text after them.
std::string generatedText(unsigned seed) {
  std::vector<std::string> tokens;  // written between bars
  std::istringstream list(
      "\xED\x95\x9C\xEA\xB8\x80|\xEB\x8B\xAD|\xEC\x9D\x98|\xEA\xB0\x80| | |\n|\r\n|\xE3\x84\xB1|"
      "\xE3\x85\x98|\xE2\x80\x98|\xE2\x80\x9D|\xC2\xB7|\xE2\x93\x92|2024|?!|\\|\xE2\x82\xA9|abc|\t|"
      "\xE4\xB8\x80|\xEF\xBC\xA1|\xF0\x9F\x98\x80|\xEF\xBB\xBF|\x80|\xE1\x80|\xC0\xAF|\xED\xA0\x80|"
      "\xF4\x90\x80\x80");
  for (std::string token; std::getline(list, token, '|');) tokens.push_back(token);
  std::mt19937 random(seed);
  std::string text;
  while (text.size() < 30000) text += tokens[random() % tokens.size()];
  return text + "\x1A\xEA\xB0\x80\0\xEA\xB0\x80"s;
}

// The CP949 output of a run in UTF-8, as iconv converts it.
std::string inUtf8(const std::string& cp949Output) {
  const auto utf8 = testing::iconvConvert("CP949", "UTF-8", cp949Output);
  EXPECT_TRUE(utf8) << "the report is not CP949";
  return utf8.value_or("");
}

TEST(Utf8Sample, IsTheJohabFileIconvMakes) {
  if (!testing::haveIconvProgram()) GTEST_SKIP() << "no iconv program";
  TempDirectory dir;
  writeLayouts(dir);
  const std::vector<std::string> texts = {
      readFile(std::string(KBEVAL_EXAMPLES) + "/sample.utf8.txt"), generatedText(2)};
  for (const std::string& text : texts) {
    dir.write("text.txt", text);
    dir.write("johab.txt", testing::iconvProgram({"-c", "-f", "UTF-8", "-t", "JOHAB"}, text));
    for (const auto& switches : kSwitchSets) {
      std::string expected = inUtf8(kbeval(dir, with({"johab.txt"}, switches)).output);
      EXPECT_TRUE(kbeval(dir, with({"--output-encoding=utf-8", "johab.txt"}, switches)).output ==
                  expected);
      expected.replace(0, expected.find('\n'), "Reading " + std::to_string(text.size()) + " bytes");
      // The layouts in UTF-8 too: they must read as the CP949 ones.
      const Outcome utf8 = kbeval(dir, with({"--utf8", "--keyboards=utf8", "text.txt"}, switches));
      EXPECT_EQ(utf8.exitStatus, 0);
      EXPECT_TRUE(utf8.output == expected) << switches.size();
    }
  }
}

// Standard input and pipes show the bytes read up to where the text ends;
// redirected from a file, standard input is that file.
TEST(StandardInput, PipesShowTheBytesRead) {
  TempDirectory dir;
  writeLayouts(dir);
  const std::string text = readFile(std::string(KBEVAL_EXAMPLES) + "/sample.utf8.txt");
  dir.write("text.txt", text);
  dir.write("ended.txt", "\xEA\xB0\x80\x00\xEA\xB0\x80"s);
  auto shell = [&](const std::string& command) {
    return testing::runProgram(dir, "/bin/sh", {"-c", command}).output;
  };
  const std::string binary = KBEVAL_BINARY;
  const std::string fromFile = kbeval(dir, {"--utf8", "text.txt"}).output;
  EXPECT_EQ(shell("cat text.txt | '" + binary + "' --utf8 -"), fromFile);
  EXPECT_EQ(shell("'" + binary + "' --utf8 - < text.txt"), fromFile);
  // A zero byte ends the text: four bytes were read, not the seven of the file.
  EXPECT_EQ(shell("cat ended.txt | '" + binary + "' --utf8 - /x"), "Reading 4 bytes\n");
  EXPECT_EQ(kbeval(dir, {"--utf8", "ended.txt", "/x"}).output, "Reading 7 bytes\n");
}

TEST(Messages, EncodingWarningsAndLayoutDirectories) {
  TempDirectory dir;
  dir.write("lay/a.txt", "set type:2\n1\t\xE3\x84\xB1\tr\n");
  dir.write("keyboard/a.txt", "set type:2\n");
  dir.makeDirectory("lay/x.txt");
  dir.write("korean.txt", "\xEA\xB0\x80\xEA\xB0\x81\n");
  dir.write("broken.txt", "\xEA\xB0\x80\xFF\xEA\xB0\n");
  dir.write("johab.txt", "\x88\x61\x88\x62\n");
  const std::string lookLikeUtf8 =
      "kbeval: warning: korean.txt looks like UTF-8 text, but is read as Johab; read it with "
      "--sample-encoding=utf-8 (or --utf8)\n";
  const struct {
    std::vector<std::string> arguments;
    std::string output, errors;
  } cases[] = {
      {{"korean.txt", "/x"}, "Reading 7 bytes\n", lookLikeUtf8},
      {{"--utf8", "korean.txt", "/x"}, "Reading 7 bytes\n", ""},
      {{"johab.txt", "/x"}, "Reading 5 bytes\n", ""},
      {{"--utf8", "broken.txt", "/x"},
       "Reading 7 bytes\n",
       "kbeval: 3 invalid UTF-8 bytes skipped in broken.txt\n"},
      {{"--utf8", "--keyboards=lay/", "korean.txt", "/x"},
       "Reading 7 bytes\nCannot open keyboard layout file: lay/x.txt\n",
       ""},
      {{"--keyboards=none", "johab.txt", "/x"},
       "Reading 5 bytes\nNo keyboard layout file.\n",
       "kbeval: --keyboards: none: No such file or directory\n"},
      {{"--keyboards", "johab.txt", "johab.txt", "/x"},
       "Reading 5 bytes\nNo keyboard layout file.\n",
       "kbeval: --keyboards: johab.txt: Not a directory\n"},
  };
  for (const auto& c : cases) {
    const Outcome outcome = kbeval(dir, c.arguments);
    EXPECT_EQ(outcome.exitStatus, 0) << c.arguments[0];
    EXPECT_EQ(outcome.output, c.output) << c.arguments[0];
    EXPECT_EQ(outcome.errors, c.errors) << c.arguments[0];
  }
  // The UTF-8 layout types 가 (an initial ㄱ) as one r.
  const Outcome typed = kbeval(dir, {"--utf8", "--keyboards=lay", "korean.txt", "/2"});
  EXPECT_NE(typed.output.find("General-key stokes(L/R): 3 (2/0)"), std::string::npos);
}

}  // namespace
}  // namespace kbeval
