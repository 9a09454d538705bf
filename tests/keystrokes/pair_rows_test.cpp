// Tables restarted, swept and compared by the rows a walk marked, against the
// whole tables: after random walks on state reused from round to round, the
// marked rows must be exactly those holding a count (one left unmarked would
// survive a restart, or be missed by a sweep or a comparison), and reused
// state must equal fresh state cell for cell. The same for skip pairs.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "keystrokes/token_walk.h"
#include "optimize/skip_pairs.h"

namespace kbeval {
namespace {

void expectRowsMarkedExactly(const std::vector<Count>& table, const PairRows& rows, int round) {
  for (std::size_t row = 0; row < table.size() / 256; ++row) {
    bool counted = false;
    for (std::size_t key = 0; key < 256; ++key) counted = counted || table[row * 256 + key] != 0;
    ASSERT_EQ((rows[row / 64] >> (row % 64)) & 1, counted ? 1u : 0u) << round << " " << row;
  }
}

const unsigned char* bytes(const std::string& s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

TEST(PairRows, MarkedRowsAreExactlyTheRowsCountedIn) {
  std::mt19937 random(21);
  KeyTable keys{};
  setupKeyTable(3, "Gong3", keys);
  const EvaluationTables tables = makeEvaluationTables(keys);
  EvaluationState byKeys, byTokens;  // reused from round to round
  SkipPairState skips;
  TokenWalk walk = makeTokenWalk(tables);
  for (int round = 0; round < 200; ++round) {
    std::vector<std::string> tokens(1 + random() % 12);
    for (std::string& token : tokens) {  // keys all over, markers and collapsed spaces too
      for (std::size_t i = random() % 8; i > 0; --i) {
        token += random() % 2 ? "aQ; \n \x18"[random() % 7] : static_cast<char>(random());
      }
    }
    std::vector<std::uint16_t> text(random() % 200);
    std::string typed;
    for (std::uint16_t& token : text) {
      token = static_cast<std::uint16_t>(random() % tokens.size());
      typed += tokens[token];
    }
    EvaluationState fresh;
    evaluateKeys(tables, fresh, bytes(typed), typed.size());

    restartEvaluation(byKeys);  // the key stream in two pieces
    const std::size_t cut = typed.empty() ? 0 : random() % typed.size();
    evaluateKeys(tables, byKeys, bytes(typed), cut);
    evaluateKeys(tables, byKeys, bytes(typed) + cut, typed.size() - cut);
    restartEvaluation(byTokens);  // the tokens, by a restarted token walk
    restartTokenWalk(walk);
    for (Count cell : walk.pairs) ASSERT_EQ(cell, 0) << round;
    for (const std::string& token : tokens) addToken(walk, tables, token);
    walkTokens(walk, tables, byTokens, text.data(), text.size() / 2);
    walkTokens(walk, tables, byTokens, text.data() + text.size() / 2,
               text.size() - text.size() / 2);
    for (std::size_t token = 0; token < tokens.size(); ++token) {
      addKeystrokesInside(tables, tokens[token], std::count(text.begin(), text.end(), token),
                          byTokens);
    }
    addFirstKeystrokes(walk, byTokens);

    for (const EvaluationState* s : {&byKeys, &byTokens}) {
      ASSERT_EQ(s->pairCounts, fresh.pairCounts) << round;
      expectRowsMarkedExactly(s->pairCounts, s->pairRows, round);
      ASSERT_TRUE(samePairCounts(*s, fresh)) << round;
    }
    ASSERT_TRUE(byKeys == fresh) << round;
    SkipPairState freshSkips;
    countSkipPairs(freshSkips, bytes(typed), typed.size());
    restartSkipPairs(skips);
    countSkipPairs(skips, bytes(typed), cut);
    countSkipPairs(skips, bytes(typed) + cut, typed.size() - cut);
    ASSERT_EQ(skips.counts, freshSkips.counts) << round;
    expectRowsMarkedExactly(skips.counts, skips.rows, round);
    ASSERT_EQ(sameFingerSkipgrams(keys, skips), sameFingerSkipgrams(keys, freshSkips.counts))
        << round;
    KeystrokeCounts swept = keyPairKeystrokeCounts(keys, fresh.pairCounts);
    setRunCounts(fresh, swept);
    ASSERT_EQ(keystrokeCounts(tables, byKeys), swept) << round;
    if (fresh.pairRows[kNoKey / 64] & 1) {  // one cell apart, in a marked row
      EvaluationState changed = byKeys;
      ++changed.pairCounts[kNoKey * 256 + 7];
      ASSERT_FALSE(changed == fresh) << round;
    }
  }
}

}  // namespace
}  // namespace kbeval
