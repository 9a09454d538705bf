// The tables that are restarted, swept and compared by the rows (or codes)
// a walk marked, against whole-table sweeps: after random walks on state
// that is reused from round to round, every row that holds a count must be
// marked and no other, and a reused state must equal a fresh one cell for
// cell. A row counted in but left unmarked would survive a restart, or be
// missed by a sweep or a comparison.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "analysis/scanner.h"
#include "keystrokes/keystroke_counts.h"
#include "keystrokes/token_walk.h"

namespace kbeval {
namespace {

// The rows of a whole table that hold a count, by a plain sweep.
PairRows rowsHoldingCounts(const std::vector<Count>& pairs) {
  PairRows rows{};
  for (int row = 0; row <= kNoKey; ++row) {
    for (int current = 0; current < 256; ++current) {
      if (pairs[static_cast<std::size_t>(row) * 256 + current] != 0) {
        rows[row / 64] |= std::uint64_t{1} << (row % 64);
      }
    }
  }
  return rows;
}

// Keys that start rows all over the table: the marker, repeated spaces and
// line feeds (no stroke), and bytes low and high.
std::string randomKeys(std::mt19937& random, std::size_t length) {
  const std::string often = "aAqQ; \n\n  \x18\x18";
  std::string keys;
  for (std::size_t i = 0; i < length; ++i) {
    keys.push_back(random() % 2 ? often[random() % often.size()]
                                : static_cast<char>(1 + random() % 255));
  }
  return keys;
}

TEST(PairRows, MarkedRowsAreExactlyTheRowsCountedIn) {
  std::mt19937 random(21);
  KeyTable keys{};
  setupKeyTable(3, "Gong3", keys);
  const EvaluationTables tables = makeEvaluationTables(keys);
  EvaluationState byKeys, byTokens;  // reused from round to round
  TokenWalk walk = makeTokenWalk(tables);
  for (int round = 0; round < 200; ++round) {
    // A key stream walked in random pieces.
    const std::string stream = randomKeys(random, random() % 400);
    restartEvaluation(byKeys);
    for (std::size_t at = 0; at < stream.size();) {
      const std::size_t length = std::min<std::size_t>(stream.size() - at, 1 + random() % 60);
      evaluateKeys(tables, byKeys, reinterpret_cast<const unsigned char*>(stream.data()) + at,
                   length);
      at += length;
    }
    EvaluationState fresh;
    evaluateKeys(tables, fresh, reinterpret_cast<const unsigned char*>(stream.data()),
                 stream.size());
    ASSERT_EQ(byKeys.pairCounts, fresh.pairCounts) << "round " << round;
    ASSERT_EQ(byKeys.pairRows, rowsHoldingCounts(byKeys.pairCounts)) << "round " << round;
    ASSERT_TRUE(byKeys == fresh) << "round " << round;
    KeystrokeCounts swept = keyPairKeystrokeCounts(keys, byKeys.pairCounts);
    setRunCounts(byKeys, swept);
    ASSERT_EQ(keystrokeCounts(tables, byKeys), swept) << "round " << round;

    // Tokens of those keys walked by a restarted token walk: the pairs of
    // the key stream they type, marked alike.
    restartTokenWalk(walk);
    for (Count cell : walk.pairs) ASSERT_EQ(cell, 0) << "round " << round;
    std::vector<std::string> tokenKeys(1 + random() % 12);
    for (std::string& token : tokenKeys) token = randomKeys(random, random() % 8);
    std::vector<std::uint16_t> text(random() % 200);
    std::vector<Count> times(tokenKeys.size());
    std::string typed;
    for (std::uint16_t& token : text) {
      token = static_cast<std::uint16_t>(random() % tokenKeys.size());
      ++times[token];
      typed += tokenKeys[token];
    }
    for (const std::string& token : tokenKeys) addToken(walk, tables, token);
    restartEvaluation(byTokens);
    for (std::size_t at = 0; at < text.size();) {
      const std::size_t length = std::min<std::size_t>(text.size() - at, 1 + random() % 30);
      walkTokens(walk, tables, byTokens, text.data() + at, length);
      at += length;
    }
    for (std::size_t token = 0; token < tokenKeys.size(); ++token) {
      addKeystrokesInside(tables, tokenKeys[token], times[token], byTokens);
    }
    addFirstKeystrokes(walk, byTokens);
    EvaluationState typedState;
    evaluateKeys(tables, typedState, reinterpret_cast<const unsigned char*>(typed.data()),
                 typed.size());
    ASSERT_EQ(byTokens.pairCounts, typedState.pairCounts) << "round " << round;
    ASSERT_EQ(byTokens.pairRows, rowsHoldingCounts(byTokens.pairCounts)) << "round " << round;
    ASSERT_TRUE(samePairCounts(byTokens, typedState)) << "round " << round;
  }
}

TEST(PairRows, ComparisonSeesOneCellApart) {
  KeyTable keys{};
  setupKeyTable(2, "Qwerty", keys);
  const EvaluationTables tables = makeEvaluationTables(keys);
  const std::string stream =
      "abc abc\x18"
      "d";
  EvaluationState a, b;
  for (EvaluationState* s : {&a, &b}) {
    evaluateKeys(tables, *s, reinterpret_cast<const unsigned char*>(stream.data()), stream.size());
  }
  ASSERT_TRUE(a == b);
  // Rows 'a' (before 'b'), kNoKey (before the first 'a' and 'd') and ' '.
  const std::size_t cells[] = {'a' * 256 + 'b', kNoKey * 256 + 'd', ' ' * 256 + 'a'};
  for (const std::size_t cell : cells) {
    EvaluationState changed = b;
    ++changed.pairCounts[cell];
    EXPECT_FALSE(samePairCounts(a, changed)) << cell;
    EXPECT_FALSE(a == changed) << cell;
  }
}

TEST(ScanTally, RestartedTallyCountsLikeAFreshOne) {
  std::mt19937 random(8);
  ScanTally reused;
  for (int round = 0; round < 100; ++round) {
    std::string text;
    const std::size_t length = random() % 600;
    for (std::size_t i = 0; i < length; ++i) {
      // Syllables, symbols and other two-byte codes, signs and spaces.
      text.push_back(static_cast<char>(random() % 3 ? 0x80 + random() % 128 : 1 + random() % 127));
    }
    restartScanTally(reused);
    ScanTally fresh;
    for (ScanTally* tally : {&reused, &fresh}) {
      ScanState state;
      CharacterPiece characters;
      for (std::size_t at = 0; at < text.size();) {
        const std::size_t piece = std::min<std::size_t>(text.size() - at, 1 + random() % 50);
        scanText(state, reinterpret_cast<const unsigned char*>(text.data()) + at, piece, *tally,
                 characters);
        at += piece;
      }
    }
    ASSERT_EQ(reused.characterCounts, fresh.characterCounts) << "round " << round;
    ASSERT_EQ(reused.junctionCounts, fresh.junctionCounts) << "round " << round;
    // The rows marked are exactly those holding a count.
    for (std::size_t row = 0; row < 256; ++row) {
      bool counted = false;
      for (std::size_t code = row * 256; code < row * 256 + 256; ++code) {
        counted = counted || fresh.characterCounts[code] != 0;
      }
      ASSERT_EQ(fresh.rowsCounted[row] != 0, counted) << "round " << round << " row " << row;
    }
    ASSERT_EQ(textCounts(reused), textCounts(fresh)) << "round " << round;
  }
}

}  // namespace
}  // namespace kbeval
