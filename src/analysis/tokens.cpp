#include "analysis/tokens.h"

#include <algorithm>
#include <cstring>

namespace kbeval {

namespace {

constexpr std::size_t kWordSlots = std::size_t{1} << 16;
constexpr std::size_t kSeenBits = std::size_t{1} << 20;
static_assert(kTokenIds <= kNoToken && kMostTypingCharacters < kTokenIds);

// Word tokens may take the numbers that no character can claim.
constexpr std::size_t kMostWords = kTokenIds - kMostTypingCharacters;
static_assert(kWordSlots >= 2 * kMostWords);

// A word of at most kLongestWord characters, zeros after its last, as three
// 64-bit words: compared and hashed without a loop.
struct Word {
  std::array<std::uint64_t, 3> part{};
};
static_assert(kLongestWord * sizeof(std::uint16_t) == sizeof(Word));
static_assert(kCharacterPadding * sizeof(std::uint16_t) >= sizeof(Word));

// The first `length` characters at `characters` (which may be read a whole
// Word's worth past them) into `word`.
void readWord(const std::uint16_t* characters, std::size_t length, Word& word) {
  std::memcpy(word.part.data(), characters, sizeof word.part);
  const std::size_t bits = length * 16;
  for (std::size_t k = 0; k < 3; ++k) {
    const std::size_t from = k * 64;
    if (bits <= from) {
      word.part[k] = 0;
    } else if (bits < from + 64) {
      word.part[k] &= (std::uint64_t{1} << (bits - from)) - 1;
    }
  }
}

std::uint64_t hashOf(const Word& word) {
  const std::uint64_t h = word.part[0] * 0x9E3779B97F4A7C15 ^ word.part[1] * 0xC2B2AE3D27D4EB4F ^
                          word.part[2] * 0x165667B19E3779F9;
  return h ^ (h >> 31);
}

std::uint16_t addToken(TokenDictionary& d, const Word& word, std::size_t length) {
  const std::size_t token = d.count++;
  std::memcpy(d.characters.get() + token * kLongestWord, word.part.data(), sizeof word.part);
  d.lengths[token] = static_cast<std::uint8_t>(length);
  return static_cast<std::uint16_t>(token);
}

// The token of a single character; kNoToken, and the character left out,
// when the numbers are spent. Words leave room for every character that types
// something (at most kMostTypingCharacters, all the scanner passes on), so
// the numbers run out only for a caller that passes codes typing nothing, and
// such a code adds no key to any layout's walk.
std::uint16_t characterToken(TokenDictionary& d, std::uint16_t character) {
  std::uint16_t& token = d.tokenOfCharacter[character];
  if (token == kNoToken) {
    if (d.count == kTokenIds) return kNoToken;
    Word word;
    word.part[0] = character;
    token = addToken(d, word, 1);
    ++d.characterTokens;
  }
  return token;
}

// The token of a word of two or more characters whose hash is `h`, numbering
// it if it came before and there is room; kNoToken if it is to be cut into
// characters.
std::uint16_t wordToken(TokenDictionary& d, const Word& word, std::size_t length, std::uint64_t h) {
  std::size_t slot = h & (kWordSlots - 1);
  for (;; slot = (slot + 1) & (kWordSlots - 1)) {
    const WordSlot& entry = d.wordSlots[slot];
    if (entry.token == kNoToken) break;
    // Three comparisons: std::array's == would call memcmp.
    if (((entry.word[0] ^ word.part[0]) | (entry.word[1] ^ word.part[1]) |
         (entry.word[2] ^ word.part[2])) == 0) {
      return entry.token;
    }
  }
  const std::size_t bit = (h >> 20) & (kSeenBits - 1);
  std::uint64_t& seen = d.seenOnce[bit / 64];
  const std::uint64_t mask = std::uint64_t{1} << (bit % 64);
  if ((seen & mask) == 0 || d.count - d.characterTokens >= kMostWords) {
    seen |= mask;
    return kNoToken;
  }
  WordSlot& entry = d.wordSlots[slot];
  entry.word = word.part;
  entry.token = addToken(d, word, length);
  return entry.token;
}

// A word about to be looked up, and its hash (for a word of one character,
// or of more than a token holds, there is nothing to look up).
struct WordAhead {
  Word word;
  std::uint64_t hash = 0;
  bool lookUp = false;
  const std::uint16_t* characters = nullptr;
  std::size_t length = 0;
};

struct Emitter {
  TokenDictionary& d;
  std::uint16_t* out;
  std::size_t n = 0;

  void token(std::uint16_t token) {
    out[n++] = token;
    ++d.tokenCounts[token];
  }
  void character(std::uint16_t code) {
    const std::uint16_t t = characterToken(d, code);
    if (t != kNoToken) token(t);
  }
  void characters(const std::uint16_t* characters, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) character(characters[i]);
  }
  // A whole word: one token if it has or gets a number, else its characters.
  void word(const WordAhead& w) {
    if (w.length == 1) return character(w.characters[0]);
    if (w.lookUp) {
      const std::uint16_t t = wordToken(d, w.word, w.length, w.hash);
      if (t != kNoToken) return token(t);
    }
    characters(w.characters, w.length);
  }
};

// Fills `w` in place: a copy made on the way would be written in pieces and
// read whole, which stalls.
void prepareWord(const std::uint16_t* characters, std::size_t length, WordAhead& w) {
  w.characters = characters;
  w.length = length;
  w.lookUp = length > 1 && length <= kLongestWord;
  if (w.lookUp) {
    readWord(characters, length, w.word);
    w.hash = hashOf(w.word);
  }
}

}  // namespace

void restartTokens(TokenDictionary& d, TokenState& state) {
  // Only what the text used is cleared, so that short texts restart fast.
  // Words leave the table latest first: the probe of each then still finds
  // every word that was there before it.
  for (std::size_t token = d.count; token-- > 0;) {
    const std::uint16_t* characters = d.characters.get() + token * kLongestWord;
    if (d.lengths[token] == 1) {
      d.tokenOfCharacter[characters[0]] = kNoToken;
      continue;
    }
    Word word;
    std::memcpy(word.part.data(), characters, sizeof word.part);
    for (std::size_t slot = hashOf(word) & (kWordSlots - 1);;
         slot = (slot + 1) & (kWordSlots - 1)) {
      if (d.wordSlots[slot].token == token) {
        d.wordSlots[slot] = WordSlot{};
        break;
      }
    }
  }
  // One memset: a sanitizer build would otherwise check every word's store.
  if (!d.seenOnce.empty()) {
    std::memset(d.seenOnce.data(), 0, d.seenOnce.size() * sizeof(std::uint64_t));
  }
  std::fill(d.tokenCounts.begin(), d.tokenCounts.begin() + d.count, 0);
  d.count = 0;
  d.characterTokens = 0;
  state = TokenState{};
}

void cutTokens(TokenDictionary& d, TokenState& state, const CharacterPiece& characters, bool end,
               bool words, TokenPiece& tokens) {
  if (words && d.wordSlots.empty()) {
    d.wordSlots.assign(kWordSlots, WordSlot{});
    d.seenOnce.assign(kSeenBits / 64, 0);
  }
  if (tokens.tokens.size() < characters.count + kLongestWord) {
    tokens.tokens.resize(characters.count + kLongestWord);
  }
  Emitter emit{d, tokens.tokens.data()};
  const std::uint16_t* codes = characters.codes.data();
  if (!words) {
    emit.characters(codes, characters.count);
    tokens.count = emit.n;
    tokens.knownTokens = d.count;
    return;
  }
  const std::uint32_t* separators = characters.separators.data();
  std::size_t start = 0;
  std::size_t s = 0;

  // The rest of a word begun in a piece before: kept whole while it fits.
  auto carry = [&state, &emit](const std::uint16_t* rest, std::size_t length) {
    if (!state.tooLong && state.length + length <= kLongestWord) {
      std::copy(rest, rest + length, state.word.data() + state.length);
      state.length += length;
      return;
    }
    if (!state.tooLong) emit.characters(state.word.data(), state.length);
    state.tooLong = true;
    state.length = 0;
    emit.characters(rest, length);
  };
  auto endCarried = [&state, &emit] {
    if (!state.tooLong && state.length > 0) {
      std::array<std::uint16_t, kLongestWord + kCharacterPadding> word{};
      std::copy(state.word.begin(), state.word.begin() + state.length, word.begin());
      WordAhead w;
      prepareWord(word.data(), state.length, w);
      emit.word(w);
    }
    state = TokenState{};
  };
  if (state.length > 0 || state.tooLong) {
    const std::size_t end = characters.separatorCount > 0 ? separators[0] + 1 : characters.count;
    carry(codes, end);
    if (characters.separatorCount > 0) {
      endCarried();
      start = end;
      s = 1;
    } else {
      start = end;
    }
  }
  // Each word with the separator after it. The word table outgrows the
  // caches, so each word is hashed, and its slot fetched, kAhead words
  // before it is looked up.
  constexpr std::size_t kAhead = 8;
  std::array<WordAhead, kAhead> ahead;
  const std::size_t wordCount = characters.separatorCount;
  auto hash = [&](std::size_t word) {
    const std::size_t from = word == 0 ? 0 : separators[word - 1] + 1;
    WordAhead& w = ahead[word % kAhead];
    prepareWord(codes + from, separators[word] + 1 - from, w);
    __builtin_prefetch(&d.wordSlots[w.hash & (kWordSlots - 1)]);
  };
  for (std::size_t word = s; word < wordCount && word < s + kAhead; ++word) hash(word);
  for (; s < wordCount; ++s) {
    emit.word(ahead[s % kAhead]);
    if (s + kAhead < wordCount) hash(s + kAhead);
    start = separators[s] + 1;
  }
  if (start < characters.count) carry(codes + start, characters.count - start);
  if (end) endCarried();
  tokens.count = emit.n;
  tokens.knownTokens = d.count;
}

std::span<const std::uint16_t> tokenCharacters(const TokenDictionary& d, std::size_t token) {
  return {d.characters.get() + token * kLongestWord, d.lengths[token]};
}

}  // namespace kbeval
