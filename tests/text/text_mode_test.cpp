#include "text/text_mode.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kbeval {
namespace {

using namespace std::string_literals;

// Translates the pieces one after the other, then finishes the file.
std::string translate(const std::vector<std::string>& pieces) {
  TextModeState state;
  std::string out;
  for (const std::string& piece : pieces) translateTextMode(state, piece.data(), piece.size(), out);
  finishTextMode(state, out);
  return out;
}

TEST(TextMode, LineEnds) {
  EXPECT_EQ(translate({"a\r\nb"}), "a\nb");
  EXPECT_EQ(translate({"a\rb"}), "a\rb");  // a lone CR stays
  EXPECT_EQ(translate({"\r\r\n"}), "\r\n");
  EXPECT_EQ(translate({"\r\n\r\n"}), "\n\n");
  EXPECT_EQ(translate({"\n\r"}), "\n\r");  // CR at the very end of the file
  EXPECT_EQ(translate({"\r"}), "\r");
  EXPECT_EQ(translate({"\n\r\r"}), "\n\r\r");
  EXPECT_EQ(translate({"a\0\r\nb\0"s}), "a\0\nb\0"s);  // zero bytes are stored as they are
  EXPECT_EQ(translate({"\x80\r\n\xFF"}), "\x80\n\xFF");
}

TEST(TextMode, CarriageReturnAtAPieceEnd) {
  EXPECT_EQ(translate({"a\r", "\nb"}), "a\nb");
  EXPECT_EQ(translate({"a\r", "b"}), "a\rb");
  EXPECT_EQ(translate({"a\r", "\r", "\n"}), "a\r\n");
  EXPECT_EQ(translate({"a\r", "", "\n"}), "a\n");  // an empty piece keeps the CR pending
  EXPECT_EQ(translate({"a\r"}), "a\r");
  EXPECT_EQ(translate({"a\r", ""}), "a\r");
}

TEST(TextMode, EndOfFileByte) {
  EXPECT_EQ(translate({"ab\x1A"
                       "cd"}),
            "ab");
  EXPECT_EQ(translate({"ab\x1A", "cd"}), "ab");
  EXPECT_EQ(translate({"ab",
                       "\x1A"
                       "cd\r\n"}),
            "ab");
  EXPECT_EQ(translate({"\x1A"
                       "ab"}),
            "");
  EXPECT_EQ(translate({"a\r\x1A\n"}), "a\r");  // the CR before it stays
  EXPECT_EQ(translate({"a\r", "\x1A\n"}), "a\r");
  EXPECT_EQ(translate({"a\r\n\x1A"}), "a\n");

  TextModeState state;
  std::string out = "kept ";
  translateTextMode(state, "x\x1Ay", 3, out);
  EXPECT_TRUE(state.ended);
  translateTextMode(state, "more\r", 5, out);
  finishTextMode(state, out);
  EXPECT_EQ(out, "kept x");  // appends; nothing after the end byte
}

TEST(TextMode, EverySplitGivesTheWholeResult) {
  const std::string text = "x\r\n\r\ry\r\r\n\n\rz\r\x1A\r\nq";
  const std::string expected = "x\n\r\ry\r\n\n\rz\r";
  ASSERT_EQ(translate({text}), expected);
  for (std::size_t first = 0; first <= text.size(); ++first) {
    for (std::size_t second = first; second <= text.size(); ++second) {
      EXPECT_EQ(translate({text.substr(0, first), text.substr(first, second - first),
                           text.substr(second)}),
                expected)
          << "split at " << first << " and " << second;
    }
  }
  std::vector<std::string> bytes;
  for (char c : text) bytes.emplace_back(1, c);
  EXPECT_EQ(translate(bytes), expected);
}

}  // namespace
}  // namespace kbeval
