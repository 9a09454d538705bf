// The token walk against the keystroke-by-keystroke rules: random tokens
// (empty ones, markers, repeated spaces and line feeds, Shift changes, keys
// without data, key strings far longer than a run bucket) typed in random
// orders and walked in random pieces must count exactly what the rules count
// on the key stream the tokens make.
#include "keystrokes/token_walk.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "keystrokes/reference_evaluation.h"

namespace kbeval {
namespace {

struct Keyboard {
  KeyTable keys{};
  EvaluationTables tables;
};

Keyboard keyboard(int setType, const char* fingering) {
  Keyboard k;
  setupKeyTable(setType, fingering, k.keys);
  k.tables = makeEvaluationTables(k.keys);
  return k;
}

// Walks `text` (token numbers) whose tokens type `keys`, in pieces whose
// lengths `random` picks; the tokens are learned just before the piece that
// first has them, as the analysis learns them.
KeystrokeCounts walk(const Keyboard& k, const std::vector<std::string>& keys,
                     const std::vector<std::uint16_t>& text, std::mt19937& random,
                     std::vector<Count>* pairs = nullptr) {
  TokenWalk w = makeTokenWalk(k.tables);
  EvaluationState state;
  std::vector<Count> times(keys.size());
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = std::min<std::size_t>(text.size() - at, 1 + random() % 40);
    for (std::size_t i = at; i < at + length; ++i) {
      while (w.tokens.size() <= text[i]) addToken(w, k.tables, keys[w.tokens.size()]);
      ++times[text[i]];
    }
    walkTokens(w, k.tables, state, text.data() + at, length);
    at += length;
  }
  for (std::size_t token = 0; token < w.tokens.size(); ++token) {
    addKeystrokesInside(k.tables, keys[token], times[token], state);
  }
  addFirstKeystrokes(w, state);
  if (pairs) *pairs = state.pairCounts;
  return keystrokeCounts(k.tables, state);
}

std::string typed(const std::vector<std::string>& keys, const std::vector<std::uint16_t>& text) {
  std::string stream;
  for (std::uint16_t token : text) stream += keys[token];
  return stream;
}

TEST(TokenWalk, CountsWhatTheRulesCountOnTheKeyStream) {
  std::mt19937 random(13);
  // Shift pairs on one little finger (P Q), same keys, Gong's C V, spaces and
  // line feeds to collapse, the marker, keys without data.
  const std::string alphabet = "aAqQpP;:zZ/?fFjJcCvV6^rR \n\n  \x18\x18\x01\x80\xfe";
  const std::vector<Keyboard> keyboards = {keyboard(2, "Qwerty"), keyboard(2, "Gong"),
                                           keyboard(3, "Gong3"), keyboard(3, "Pyojun")};
  for (int round = 0; round < 300; ++round) {
    const Keyboard& k = keyboards[round % keyboards.size()];
    std::vector<std::string> keys(1 + random() % 30);
    for (std::string& token : keys) {
      const int length = static_cast<int>(random() % 9);  // a few stay empty
      for (int i = 0; i < length; ++i) {
        token.append(1 + random() % 3, alphabet[random() % alphabet.size()]);
      }
    }
    std::vector<std::uint16_t> text(random() % 300);
    for (std::uint16_t& token : text) token = static_cast<std::uint16_t>(random() % keys.size());

    std::vector<Count> pairs;
    const KeystrokeCounts counts = walk(k, keys, text, random, &pairs);
    const std::string stream = typed(keys, text);
    ASSERT_EQ(counts, reference::referenceEvaluate(k.keys, stream)) << "round " << round;
    // The pairs behind the counts are those of the keystroke walk too.
    EvaluationState byKeys;
    evaluateKeys(k.tables, byKeys, reinterpret_cast<const unsigned char*>(stream.data()),
                 stream.size());
    ASSERT_EQ(pairs, byKeys.pairCounts) << "round " << round;
  }
}

// Runs far beyond the last histogram bucket: inside one token (hundreds of
// one key), across thousands of tokens of one hand, and same-finger runs
// carried through tokens that repeat one key.
TEST(TokenWalk, VeryLongRunsCountLikeTheRules) {
  std::mt19937 random(5);
  const Keyboard k = keyboard(2, "Qwerty");
  const std::vector<std::string> keys = {std::string(300, 'a'),   "qwert", "asdf", "g",
                                         std::string(70000, 'f'), "jj",    " ",    "\x18"};
  const std::vector<std::vector<std::uint16_t>> texts = {
      {0, 0, 1, 0},
      std::vector<std::uint16_t>(3000, 1),
      {2, 2, 3, 3, 3, 6, 5, 5, 7, 5, 4, 4, 3},
      {4, 6, 4, 0, 7, 0},
  };
  for (const auto& text : texts) {
    EXPECT_EQ(walk(k, keys, text, random), reference::referenceEvaluate(k.keys, typed(keys, text)));
  }
}

}  // namespace
}  // namespace kbeval
