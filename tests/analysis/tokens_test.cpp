// Cutting characters into tokens: the tokens spell the characters in order,
// whatever the cut into pieces, the same words get the same tokens, and the
// numbering follows the rules (a word gets one the second time it comes, a
// word longer than a token holds is cut into characters, numbers never run
// out).
#include "analysis/tokens.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace kbeval {
namespace {

struct Cut {
  std::vector<std::uint16_t> tokens;
  std::vector<std::uint16_t> spelled;  // the tokens' characters, one after the other
};

// Cuts `characters` fed in pieces of the given lengths (the rest last).
Cut cut(TokenDictionary& d, const std::vector<std::uint16_t>& characters,
        const std::vector<std::size_t>& pieces = {}, bool words = true) {
  TokenState state;
  restartTokens(d, state);
  Cut result;
  std::size_t at = 0;
  auto feed = [&](std::size_t length, bool end) {
    CharacterPiece piece;
    piece.codes.assign(characters.begin() + at, characters.begin() + at + length);
    piece.codes.resize(length + kCharacterPadding);
    piece.count = length;
    for (std::size_t i = 0; i < length; ++i) {
      if (piece.codes[i] == ' ' || piece.codes[i] == '\n') {
        piece.separators.push_back(static_cast<std::uint32_t>(i));
      }
    }
    piece.separatorCount = piece.separators.size();
    TokenPiece tokens;
    cutTokens(d, state, piece, end, words, tokens);
    EXPECT_EQ(tokens.knownTokens, d.count);
    for (std::size_t i = 0; i < tokens.count; ++i) {
      result.tokens.push_back(tokens.tokens[i]);
      for (std::uint16_t c : tokenCharacters(d, tokens.tokens[i])) result.spelled.push_back(c);
    }
    at += length;
  };
  for (std::size_t length : pieces) feed(length, false);
  feed(characters.size() - at, true);
  return result;
}

std::vector<std::uint16_t> characters(const std::string& text) {
  return {text.begin(), text.end()};
}

TEST(Tokens, WordsGetATokenTheSecondTimeTheyCome) {
  auto d = std::make_unique<TokenDictionary>();
  const std::string text = "ab cd ab ab\ncd  x";
  const Cut c = cut(*d, characters(text));
  // "ab " and "cd " come first as characters, then "ab " as a word; "ab\n"
  // is another word, seen once; then "cd " as a word, " " and "x" alone.
  EXPECT_EQ(c.spelled, characters(text));
  ASSERT_EQ(c.tokens.size(), 13u);
  auto spelled = [&](std::size_t i) {
    const auto span = tokenCharacters(*d, c.tokens[i]);
    return std::string(span.begin(), span.end());
  };
  EXPECT_EQ(spelled(6), "ab ");
  EXPECT_EQ(spelled(10), "cd ");
  EXPECT_EQ(d->count - d->characterTokens, 2u);
  EXPECT_EQ(c.tokens[7], c.tokens[0]);  // 'a' again
  EXPECT_EQ(c.tokens[11], c.tokens[2]);
  EXPECT_EQ(c.tokens[5], c.tokens[2]);
  // Every token counted as often as it came.
  EXPECT_EQ(d->tokenCounts[c.tokens[2]], 3);
  EXPECT_EQ(d->tokenCounts[c.tokens[6]], 1);
}

TEST(Tokens, LongWordsAreCutIntoCharacters) {
  auto d = std::make_unique<TokenDictionary>();
  const std::string longWord = std::string(kLongestWord, 'a') + " ";  // one too many
  const std::string fits = std::string(kLongestWord - 1, 'b') + " ";
  const std::string text = longWord + longWord + fits + fits;
  const Cut c = cut(*d, characters(text));
  EXPECT_EQ(c.spelled, characters(text));
  EXPECT_EQ(c.tokens.size(), 2 * longWord.size() + fits.size() + 1);
}

// The same tokens whatever the cut: words, and words too long, across piece
// ends, and texts that end without a separator; and a dictionary restarted
// after one text cuts the next as a new one does.
TEST(Tokens, PiecesGiveTheTokensOfTheWhole) {
  std::mt19937 random(3);
  auto reused = std::make_unique<TokenDictionary>();
  const std::string alphabet = "abcdef  \n";
  for (int round = 0; round < 200; ++round) {
    std::string text;
    const int words = static_cast<int>(random() % 40);
    for (int w = 0; w < words; ++w) {
      text.append(random() % 16, alphabet[random() % 6]);  // often repeated letters
      text += alphabet[6 + random() % 3];
    }
    text.append(random() % 20, 'a');
    auto whole = std::make_unique<TokenDictionary>();
    const Cut expected = cut(*whole, characters(text));
    ASSERT_EQ(expected.spelled, characters(text));
    std::vector<std::size_t> pieces;
    for (std::size_t at = 0; at < text.size();) {
      const std::size_t length = std::min<std::size_t>(text.size() - at, random() % 7);
      pieces.push_back(length);
      at += length;
    }
    ASSERT_EQ(cut(*reused, characters(text), pieces).tokens, expected.tokens) << "round " << round;
  }
}

// More distinct words than there are token numbers for words: the later ones
// stay characters, and every character still gets a number.
TEST(Tokens, NumbersNeverRunOut) {
  auto d = std::make_unique<TokenDictionary>();
  std::vector<std::uint16_t> text;
  for (int twice = 0; twice < 2; ++twice) {
    for (std::uint16_t w = 0; w < kTokenIds; ++w) {
      text.push_back(static_cast<std::uint16_t>(0x8000 + w % 1000));
      text.push_back(static_cast<std::uint16_t>(0x9000 + w / 1000));
      text.push_back(' ');
    }
  }
  // Then as many characters as can type something (the space is one).
  for (std::uint32_t code = 0x8000; code < 0x8000 + kMostTypingCharacters - 1; ++code) {
    text.push_back(static_cast<std::uint16_t>(code));
  }
  const Cut c = cut(*d, text);
  EXPECT_EQ(c.spelled, text);
  EXPECT_EQ(d->count, kTokenIds);
  EXPECT_EQ(d->characterTokens, kMostTypingCharacters);
  // A code beyond them (the scanner passes none: it types nothing) is left
  // out, not written past the end.
  text.push_back(0xFFFF);
  const Cut more = cut(*d, text);
  EXPECT_EQ(more.spelled, c.spelled);
  EXPECT_EQ(d->count, kTokenIds);
}

}  // namespace
}  // namespace kbeval
