#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "in_process.h"
#include "shell/long_options.h"
#include "temp_directory.h"
#include "text/utf8_sample.h"

namespace kbeval {
namespace {

using testing::TempDirectory;

const std::string kLayout = "set type:2\n1\t\xA4\xA1\tr\n2\t\xA4\xBF\tk\n";

// Layout names reach the terminal with their control bytes as '?', as in
// --compare, in the heading and in "Cannot open keyboard layout file";
// bytes 0x80 and above stay, so a name without control bytes prints as it is.
TEST(HostileNames, ControlBytesPrintAsQuestionMarks) {
  struct Case {
    std::string file;   // below keyboard/
    bool directory;     // a directory, which cannot be opened as a layout
    std::string shown;  // the line kbeval prints for it
  };
  const Case cases[] = {
      {"a\x1b[31mb\n.txt", false, "*** Result of a?[31mb? (2 Sets, Qwerty Fingering) ***"},
      {"bell\x07\x7f.txt", false, "*** Result of bell?? (2 Sets, Qwerty Fingering) ***"},
      {"\xea\xb0\x80\xff.txt", false,
       "*** Result of \xea\xb0\x80\xff (2 Sets, Qwerty Fingering) ***"},
      {"x\r\ny.txt", true, "Cannot open keyboard layout file: keyboard/x??y.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shown);
    TempDirectory dir;
    dir.write("sample.txt", "\x88\x61");
    if (c.directory) {
      dir.makeDirectory("keyboard/" + c.file);
    } else {
      dir.write("keyboard/" + c.file, kLayout);
    }
    const testing::Outcome outcome = testing::runKbeval(dir, {"sample.txt", "/2"});
    EXPECT_EQ(outcome.exitStatus, 0);
    EXPECT_NE(outcome.output.find("\n" + c.shown + "\n"), std::string::npos) << outcome.output;
    for (char control : {'\x1b', '\x07', '\x7f', '\r'}) {
      EXPECT_EQ(outcome.output.find(control), std::string::npos);
    }
  }
}

// UTF-16: a byte-order mark, or zero bytes making up a sixteenth of the
// first KiB (at least 8 of them).
TEST(HostileNames, Utf16IsToldByItsMarkOrItsZeroBytes) {
  const std::string ascii16 = std::string("a\0b\0c\0d\0e\0f\0g\0h\0", 16);
  const std::pair<std::string, bool> cases[] = {
      {"\xFF\xFEz", true},
      {"\xFE\xFF", true},
      {ascii16, true},
      {"\x88\x61\x88\x62 plain Johab\n", false},
      {std::string(7, '\0') + std::string(9, 'a'), false},       // 7 zeros: too few
      {std::string(8, '\0') + std::string(120, 'a'), true},      // 8 of 128: a sixteenth
      {std::string(8, '\0') + std::string(121, 'a'), false},     // 8 of 129: less
      {std::string(2000, 'a') + std::string(100, '\0'), false},  // beyond the first KiB
      {"", false},
  };
  for (const auto& [start, expected] : cases) {
    EXPECT_EQ(looksLikeUtf16(start), expected) << start.size();
  }
  TempDirectory dir;
  dir.write("sample.txt", "\xFF\xFE" + ascii16);
  dir.makeDirectory("keyboard");
  const testing::Outcome outcome = testing::runKbeval(dir, {"sample.txt", "/2"});
  EXPECT_EQ(outcome.exitStatus, 0);
  EXPECT_EQ(outcome.errors,
            "kbeval: warning: sample.txt looks like UTF-16 text, which kbeval cannot read; "
            "convert it first (iconv -f UTF-16 -t UTF-8) and read it with "
            "--sample-encoding=utf-8\n");
}

// A value echoed in a message is cut at 100 bytes.
TEST(HostileNames, EchoedValuesAreCutAt100Bytes) {
  const std::string hundred(100, 'v');
  EXPECT_EQ(kbeval::quoted(hundred), "'" + hundred + "'");
  EXPECT_EQ(kbeval::quoted(hundred + "w"), "'" + hundred + "...'");
  TempDirectory dir;
  const testing::Outcome outcome = testing::runKbeval(dir, {"--jobs=" + std::string(5000, '9')});
  EXPECT_EQ(outcome.exitStatus, 2);
  EXPECT_LT(outcome.errors.size(), 250u) << outcome.errors;
  EXPECT_NE(outcome.errors.find(std::string(100, '9') + "...'"), std::string::npos);
}

}  // namespace
}  // namespace kbeval
