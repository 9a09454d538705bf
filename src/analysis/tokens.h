// The text's characters cut into tokens for the layouts to walk. A word
// together with the space or line feed that ends it becomes one token, so
// that a layout walks a word in one step instead of one per character; a
// character on its own (a second space, a word too long, a word that came
// when the numbers ran short) is a token too. Tokens are numbered in the
// order they first appear, so the numbers in use stay few and dense.
//
// A word is numbered only when it comes a second time (one seen once is
// likely never to come again), and every character keeps a number in
// reserve, so that the numbers never run out. Any cut of the characters into
// pieces gives the same tokens.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "analysis/scanner.h"

namespace kbeval {

inline constexpr std::size_t kTokenIds = 40960;  // token numbers fit in 16 bits
inline constexpr std::size_t kLongestWord = 12;  // characters, the separator included
inline constexpr std::uint16_t kNoToken = 0xFFFF;

// A word of the word table: up to kLongestWord characters, zeros after the
// last (no character is 0), and its token; kept together so that a lookup
// reads one cache line.
struct WordSlot {
  std::array<std::uint64_t, 3> word{};
  std::uint16_t token = kNoToken;
};

// Written by the reading stage only. The characters of tokens below the
// number published with a piece never change, so walks may read them while
// the next piece is cut.
struct TokenDictionary {
  // By token number, kLongestWord characters each, zeros after the last.
  // Sized once, never moved.
  std::unique_ptr<std::uint16_t[]> characters{new std::uint16_t[kTokenIds * kLongestWord]};
  std::unique_ptr<std::uint8_t[]> lengths{new std::uint8_t[kTokenIds]};
  std::size_t count = 0;
  std::size_t characterTokens = 0;  // of them, single characters
  std::vector<std::uint16_t> tokenOfCharacter =
      std::vector<std::uint16_t>(kCharacterCodes, kNoToken);
  std::vector<WordSlot> wordSlots;      // hash table of the word tokens
  std::vector<std::uint64_t> seenOnce;  // bits: hashes of words seen once
  std::vector<Count> tokenCounts = std::vector<Count>(kTokenIds);  // how often each came
};

// A word whose end is in a later piece.
struct TokenState {
  std::array<std::uint16_t, kLongestWord> word{};
  std::size_t length = 0;
  bool tooLong = false;  // it has more characters than a token holds
};

// The tokens of one piece, and how many tokens are numbered so far.
struct TokenPiece {
  std::vector<std::uint16_t> tokens;  // buffer; only the first `count` are the piece's
  std::size_t count = 0;
  std::size_t knownTokens = 0;
};

// Empties the dictionary for another text, keeping its memory.
void restartTokens(TokenDictionary& dictionary, TokenState& state);

// Cuts a piece of characters into tokens, which replace those in `tokens`.
// With `end`, the text ends after them. Without `words`, every character is
// a token of its own (worth it when a single layout walks them: looking the
// words up costs more than they save it); a text is cut one way throughout.
void cutTokens(TokenDictionary& dictionary, TokenState& state, const CharacterPiece& characters,
               bool end, bool words, TokenPiece& tokens);

// The characters of token `token`.
std::span<const std::uint16_t> tokenCharacters(const TokenDictionary& dictionary,
                                               std::size_t token);

}  // namespace kbeval
