// Layout files written back: awkward key strings, every kind of fingering
// name and hostile comments all read back as the layout that was written.
#include "layouts/layout_writer.h"

#include <gtest/gtest.h>

#include <string>

#include "layouts/character_tables.h"
#include "layouts/layout_loader.h"
#include "temp_directory.h"

namespace kbeval {
namespace {

TEST(LayoutWriter, AwkwardLayoutsReadBackAsWritten) {
  const testing::TempDirectory directory;
  for (const char* fingering : {"Qwerty", "Unknown", "Pyojun", "GONG", "Gong3"}) {
    LayoutRecord layout;
    layout.fileName = "x.txt";
    layout.setType = 3;
    layout.fingering = fingering;
    layout.initialKeys[2] = "\tr";  // a tab before the keys belongs to them
    layout.initialKeys[3] = "r ";   // so does a space after them
    layout.medialKeys[3] = "a\r";   // a carriage return cannot stand before a line feed
    layout.finalKeys[2] = "\r";
    layout.signKeys[41] = std::string(295, 'k');  // as long as a line piece allows
    layout.signKeys[0] = "\x18\x80\xff";
    layout.symbolKeys[0] = "M";
    layout.symbolKeys[48] = "";  // named "?": a sign's name
    // A comment cut into pieces must not leave a category line behind.
    std::string digits(1000, '1');
    digits.append("\t\xA4\xA1\tq");
    const std::string text = layoutFileText(layout, {"line\nset type:9", digits, "\x1A end?"});
    LayoutRecord read;
    read.fileName = "x.txt";
    std::string error;
    ASSERT_TRUE(readLayoutFile(directory.write("x.txt", text), read, error)) << error;
    EXPECT_EQ(read, layout) << fingering;
  }
}

// The symbol named "?" cannot be written: a line "4 ? keys" reads as the
// sign's. Its keys are left out rather than written over the sign's.
TEST(LayoutWriter, TheSymbolNamedLikeASignNeverOverwritesTheSign) {
  const testing::TempDirectory directory;
  LayoutRecord layout;
  layout.fileName = "x.txt";
  const int question = *findSign('?');
  layout.signKeys[question] = "s";
  layout.symbolKeys[48] = "t";
  LayoutRecord read;
  read.fileName = "x.txt";
  std::string error;
  ASSERT_TRUE(readLayoutFile(directory.write("x.txt", layoutFileText(layout, {})), read, error))
      << error;
  EXPECT_EQ(read.signKeys[question], "s");
  EXPECT_EQ(read.symbolKeys[48], "");
}

TEST(LayoutWriter, RenamingMapsEveryKeyByte) {
  LayoutRecord layout;
  layout.initialKeys[2] = "rR";
  layout.signKeys[5] = "5r\t";
  std::array<unsigned char, 256> rename{};
  for (int b = 0; b < 256; ++b) rename[b] = static_cast<unsigned char>(b);
  rename['r'] = 'f';
  rename['f'] = 'r';
  rename['R'] = 'F';
  rename['F'] = 'R';
  const LayoutRecord renamed = renamedKeys(layout, rename);
  EXPECT_EQ(renamed.initialKeys[2], "fF");
  EXPECT_EQ(renamed.signKeys[5], "5f\t");
}

}  // namespace
}  // namespace kbeval
