// A sample file from arbitrary bytes, typed on the fixed layouts. The scan
// must count and transcribe exactly as the plain character-by-character rules
// do, each key stream and each layout's walk over the text's tokens must
// count as the keystroke-by-keystroke rules say, and every report must print.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "analysis/combinations.h"
#include "analysis/scanner.h"
#include "analysis/text_reports.h"
#include "analysis/tokens.h"
#include "fuzz_check.h"
#include "fuzz_support.h"
#include "keystrokes/key_table.h"
#include "keystrokes/keystroke_counts.h"
#include "keystrokes/keystroke_report.h"
#include "keystrokes/reference_evaluation.h"
#include "keystrokes/token_walk.h"
#include "text/text_mode.h"

namespace {

using namespace kbeval;

struct Typist {
  std::vector<const LayoutRecord*> layouts = fuzz::fixedLayoutPointers();
  std::vector<KeyTable> keys;
  std::vector<EvaluationTables> tables;
  std::vector<EvaluationState> states;       // the key stream's walk
  std::vector<EvaluationState> tokenStates;  // the tokens' walk
  ScanTally tally;
  // Kept between inputs: a fresh allocation each time costs fresh pages.
  std::unique_ptr<CombinationCounts> combinations = std::make_unique<CombinationCounts>();
  TokenDictionary tokens;
  // The token walks, restarted between inputs as kbeval restarts them
  // between samples: the hostile layout's walk learning its keys afresh was
  // a quarter of each input's time.
  std::vector<TokenWalk> walks;
  // Strings kept between inputs with their memory: the plain model's key
  // streams, the key stream and the tokens' keys.
  fuzz::PlainScan plain;
  std::string stream;
  std::vector<std::string> tokenKeys;
};

Typist& typist() {
  static Typist t = [] {
    Typist made;
    for (const LayoutRecord* layout : made.layouts) {
      KeyTable& table = made.keys.emplace_back();
      setupKeyTable(*layout, table);
      made.tables.push_back(makeEvaluationTables(table));
      made.states.emplace_back();
      made.tokenStates.emplace_back();
      made.walks.push_back(makeTokenWalk(made.tables.back()));
    }
    return made;
  }();
  return t;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Typist& t = typist();
  TextModeState mode;
  std::string text;
  translateTextMode(mode, reinterpret_cast<const char*>(data), size, text);
  finishTextMode(mode, text);

  ScanState scan;
  ScanTally& tally = t.tally;
  restartScanTally(tally);
  CharacterPiece characters;
  scanText(scan, reinterpret_cast<const unsigned char*>(text.data()), text.size(), tally,
           characters);
  const TextCounts counts = textCounts(tally);
  CombinationCounts& combinations = *t.combinations;
  combinations = CombinationCounts{};
  countTalliedCombinations(tally, combinations);
  TokenState tokenState;
  restartTokens(t.tokens, tokenState);
  TokenPiece tokens;
  cutTokens(t.tokens, tokenState, characters, true, size % 2 == 0, tokens);

  fuzz::PlainScan& plain = t.plain;
  fuzz::plainScan(text, t.layouts, plain);
  FUZZ_CHECK(counts == plain.counts);
  printJamoReport(counts, fuzz::nullSink());
  printCombinationReport(combinations, fuzz::nullSink());

  for (std::size_t i = 0; i < t.layouts.size(); ++i) {
    const LayoutRecord& layout = *t.layouts[i];
    std::string& stream = t.stream;
    stream.clear();
    transcribe(layout, characters, stream);
    FUZZ_CHECK(stream == plain.keyStreams[i]);
    const Count untreated = untreatedCount(layout, tally);
    FUZZ_CHECK(untreated == plain.untreated[i]);

    // The key stream walked keystroke by keystroke, and the text's tokens
    // walked one by one, both against the rules.
    const KeystrokeCounts expected = reference::referenceEvaluate(t.keys[i], stream);
    EvaluationState& streamState = t.states[i];
    restartEvaluation(streamState);
    evaluateKeys(t.tables[i], streamState, reinterpret_cast<const unsigned char*>(stream.data()),
                 stream.size());

    // One input in eight (by its length) walks with a walk that learns
    // every key afresh; the others with the kept one, restarted.
    TokenWalk& walk = t.walks[i];
    if (size % 8 == 0) {
      walk = makeTokenWalk(t.tables[i]);
    } else {
      restartTokenWalk(walk);
    }
    std::vector<std::string>& tokenKeys = t.tokenKeys;
    if (tokenKeys.size() < tokens.knownTokens) tokenKeys.resize(tokens.knownTokens);
    for (std::size_t token = 0; token < tokens.knownTokens; ++token) {
      tokenKeys[token].clear();
      for (std::uint16_t code : tokenCharacters(t.tokens, token)) {
        appendKeys(layout, code, tokenKeys[token]);
      }
      addToken(walk, t.tables[i], tokenKeys[token]);
    }
    EvaluationState& state = t.tokenStates[i];
    restartEvaluation(state);
    walkTokens(walk, t.tables[i], state, tokens.tokens.data(), tokens.count);
    for (std::size_t token = 0; token < tokens.knownTokens; ++token) {
      addKeystrokesInside(t.tables[i], tokenKeys[token], t.tokens.tokenCounts[token], state);
    }
    addFirstKeystrokes(walk, state);
    const KeystrokeCounts keystrokes = keystrokeCounts(t.tables[i], state);
    FUZZ_CHECK(keystrokes == expected);
    // The key stream's walk must count the same. When both walks counted
    // the same pairs (the usual case), the pairs' part of the counts is the
    // one just checked, and only the runs are the key stream walk's own.
    KeystrokeCounts streamCounts = keystrokes;
    if (samePairCounts(streamState, state)) {
      setRunCounts(streamState, streamCounts);
    } else {
      streamCounts = keystrokeCounts(t.tables[i], streamState);
    }
    FUZZ_CHECK(streamCounts == expected);
    fuzz::checkKeystrokeCounts(keystrokes);
    printKeystrokeReport(keystrokes, untreated, fuzz::nullSink());
  }
  return 0;
}
