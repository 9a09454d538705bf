// The objective's figures worked out by hand, its counts taken from a walked
// stream, the skipgram rule, key triples against the stroke walk, and the
// reading of --weights.
#include "optimize/layout_objective.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "keystrokes/board.h"
#include "keystrokes/key_table.h"
#include "keystrokes/stroke_walk.h"
#include "layouts/layout_loader.h"
#include "optimize/skip_pairs.h"

namespace kbeval {
namespace {

TEST(LayoutObjective, FiguresAndScoreOfHandWorkedCounts) {
  ObjectiveCounts c;
  c.keyStrokes = 90;
  c.shiftStrokes = 10;  // 100 keystrokes in all
  c.sameFinger = 5;
  c.sameKey = 2;
  c.skipgrams = 4;
  c.leftTotal = 60;
  c.rightTotal = 40;
  // Of 100 finger strokes the left little finger has 20, 12 beyond its 8 %
  // band; every other finger stays inside its band.
  c.fingers = {20, 10, 10, 20, 0, 0, 20, 10, 5, 5};
  c.rowKeys = {0, 0, 10, 50, 30, 10};  // away: 10 + 30 + 2 * 10 of 100
  c.syllables = 40;
  const auto f = objectiveFigures(c);
  const double expected[kObjectiveTerms] = {2.5, 0.1, 0.05, 0.02, 0.04, 0.12, 0.2, 0.6};
  for (int t = 0; t < kObjectiveTerms; ++t) EXPECT_NEAR(f[t], expected[t], 1e-12) << t;
  // 0.1 * 2.5 + 1 * 0.1 + 6 * 0.05 + 0.5 * 0.02 + 2 * 0.04 + 1 * 0.12 + 0.5 * 0.2 + 0.5 * 0.6
  EXPECT_NEAR(objectiveScore(c, kDefaultWeights), 1.26, 1e-12);
  ObjectiveWeights onlyRows{};
  onlyRows[kRowsTerm] = 2;
  EXPECT_NEAR(objectiveScore(c, onlyRows), 1.2, 1e-12);
  // Nothing typed: every figure 0, no division by zero.
  for (double figure : objectiveFigures(ObjectiveCounts{})) EXPECT_EQ(figure, 0);
}

// r, f, v all on the left index finger: two same-finger strokes and one
// skipgram (r .. v); the untreated marker breaks the skip pair.
TEST(LayoutObjective, CountsOfAWalkedStream) {
  KeyTable keys{};
  setupKeyTable(2, "Qwerty", keys);
  const std::string stream = "rfv";
  SkipPairState skips;
  countSkipPairs(skips, reinterpret_cast<const unsigned char*>(stream.data()), stream.size());
  const ObjectiveCounts c =
      objectiveCounts(evaluateKeyStream(keys, stream), sameFingerSkipgrams(keys, skips.counts), 1);
  EXPECT_EQ(c.keyStrokes, 3);
  EXPECT_EQ(c.sameFinger, 2);
  EXPECT_EQ(c.sameKey, 0);
  EXPECT_EQ(c.skipgrams, 1);
  EXPECT_EQ(c.leftTotal, 3);
  EXPECT_EQ(c.fingers[3], 3);
  EXPECT_EQ(c.rowKeys[2] + c.rowKeys[3] + c.rowKeys[4], 3);

  SkipPairState broken;
  const std::string marked =
      "r\x18"
      "fv  \n\nr";
  countSkipPairs(broken, reinterpret_cast<const unsigned char*>(marked.data()), marked.size());
  Count pairs = 0;
  for (Count n : broken.counts) pairs += n;
  // f v ' ' '\n' r: the repeated space and line feed are no strokes.
  EXPECT_EQ(pairs, 3);
  EXPECT_EQ(broken.counts['f' * 256 + ' '], 1);
  EXPECT_EQ(broken.counts['v' * 256 + '\n'], 1);
  EXPECT_EQ(broken.counts[' ' * 256 + 'r'], 1);
}

// A stream's triple figures summed over its key triples, each scored alone,
// are those of the stroke walk over the whole stream, on every shipped board:
// breaks, collapsed spaces and line feeds, held Shifts, bytes without a key
// and cuts between pieces included (long streams make the table grow).
TEST(LayoutObjective, KeyTriplesGiveTheStrokeWalksTriples) {
  LayoutRecord layout;
  std::string error;
  ASSERT_TRUE(readLayoutFile(KBEVAL_SOURCE_DIR "/examples/keyboard/2-standard.txt", layout, error))
      << error;
  const std::string pool =
      "qwertyuiopasdfghjklzxcvbnmQWERTYUIOPASDFGHJKLZXCVBNM;',./1!   \n\n\x18\x80";
  std::mt19937 random(11);
  Count redirects = 0, badRedirects = 0;
  for (const char* name : {"ansi", "ortho", "split"}) {
    SCOPED_TRACE(name);
    Board board;
    ASSERT_TRUE(loadBoard(name, board, error)) << error;
    KeyTable keys{};
    setupBoardKeyTable(board, layout, keys);
    const StrokeTables tables = makeStrokeTables(board, keys);
    for (int trial = 0; trial < 40; ++trial) {
      std::string stream(random() % (trial % 4 == 0 ? 6000 : 40), ' ');
      for (char& c : stream) c = pool[random() % pool.size()];
      KeyTripleState triples;
      StrokeState state;
      StrokeCounts walked;
      for (std::size_t at = 0; at < stream.size();) {
        const std::size_t n = std::min<std::size_t>(1 + random() % 7, stream.size() - at);
        countKeyTriples(triples, reinterpret_cast<const unsigned char*>(stream.data()) + at, n);
        walkStrokeBytes(tables, state, walked, std::string_view(stream).substr(at, n));
        at += n;
      }
      Count triplesSummed = 0, redirect = 0, badRedirect = 0;
      for (const KeyTriple& t : keyTriples(triples)) {
        const KeyTripleStrokes k = keyTripleStrokes(tables, t.first, t.second, t.third);
        triplesSummed += t.count * k.triples;
        redirect += t.count * k.redirect;
        badRedirect += t.count * k.badRedirect;
      }
      const StrokeFigures f = strokeFigures(tables.board, walked);
      EXPECT_EQ(triplesSummed, f.triples) << stream;
      EXPECT_EQ(redirect, f.redirect) << stream;
      EXPECT_EQ(badRedirect, f.badRedirect) << stream;
      redirects += redirect;
      badRedirects += badRedirect;
    }
  }
  EXPECT_GT(redirects, 100);
  EXPECT_GT(badRedirects, 20);
}

TEST(LayoutObjective, SameFingerSkipgramRule) {
  struct Case {
    const char* fingering;
    char first, third;
    bool skipgram;
  };
  const Case cases[] = {
      {"Qwerty", 'r', 'v', true},        {"Qwerty", 'r', 'r', false},  // same key
      {"Qwerty", 'r', 'R', false},                                     // same key, other level
      {"Qwerty", ' ', ' ', false},                                     // the thumb
      {"Qwerty", 'c', 'v', false},       {"Gong", 'c', 'v', true},     // one column, two keys
      {"Qwerty", 'p', '\n', true},       {"Qwerty", 'a', ';', false},  // two hands
      {"Qwerty", '\x80', '\x80', false},                               // no key data
  };
  for (const Case& c : cases) {
    KeyTable keys{};
    setupKeyTable(2, c.fingering, keys);
    EXPECT_EQ(isSameFingerSkipgram(keys, static_cast<unsigned char>(c.first),
                                   static_cast<unsigned char>(c.third)),
              c.skipgram)
        << c.fingering << " " << c.first << " " << c.third;
  }
}

TEST(LayoutObjective, ReadingWeights) {
  struct Case {
    const char* text;
    const char* error;  // nullptr: accepted
  };
  const Case cases[] = {
      {"shift=2", nullptr},
      {"same-finger=0,rows=0.25,", nullptr},
      {"", "no weight given"},
      {"speed=1", "unknown weight 'speed'"},
      {" shift=1", "unknown weight ' shift'"},
      {"shift=-1", "negative"},
      {"shift=nan", "not a number"},
      {"shift=inf", "not a number"},
      {"shift=1e400", "not a number"},
      {"shift=1x", "not a number"},
      {"shift=", "not a number"},
      {"shift", "not name=value"},
      {"shift=1,,rows=1", "not name=value"},
      {"effort=0.5,same-finger-distance=2,roll-in=0", nullptr},
      {"redirect=1,bad-redirect=0.5", nullptr},
  };
  for (const Case& c : cases) {
    ObjectiveWeights weights = kDefaultWeights;
    std::string error;
    const bool read = parseObjectiveWeights(c.text, weights, error);
    if (c.error == nullptr) {
      EXPECT_TRUE(read) << c.text << ": " << error;
    } else {
      ASSERT_FALSE(read) << c.text;
      EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
  }
  ObjectiveWeights weights = kDefaultWeights;
  std::string error;
  ASSERT_TRUE(
      parseObjectiveWeights("shift=2,rows=0.1234567891,lateral=3,effort=0.125", weights, error));
  EXPECT_EQ(weights[kShiftTerm], 2);
  EXPECT_EQ(weights[kLateralTerm], 3);
  EXPECT_EQ(weights[kEffortTerm], 0.125);
  EXPECT_EQ(weights[kSameFingerTerm], kDefaultWeights[kSameFingerTerm]);
  // What the layout file records reads back as the same weights.
  ObjectiveWeights again{};
  ASSERT_TRUE(parseObjectiveWeights(formatObjectiveWeights(weights), again, error));
  EXPECT_EQ(again, weights);
}

// The stroke figures from counts: shares of the stroke pairs (alternation as
// the pairs that do not alternate), distance per pair, effort per stroke.
TEST(LayoutObjective, StrokeFiguresOfHandWorkedCounts) {
  ObjectiveCounts c;
  c.strokes = 10;
  c.strokePairs = 8;
  c.alternation = 2;
  c.rollIn = 1;
  c.rollOut = 3;
  c.scissor = 1;
  c.lateral = 2;
  c.distanceUnits = 3'500'000;  // 3.5 key widths
  c.effortUnits = 14'000'000;   // 14
  const auto f = objectiveFigures(c);
  EXPECT_NEAR(f[kAlternationTerm], 0.75, 1e-12);
  EXPECT_NEAR(f[kRollInTerm], 0.125, 1e-12);
  EXPECT_NEAR(f[kRollOutTerm], 0.375, 1e-12);
  EXPECT_NEAR(f[kSameFingerDistanceTerm], 0.4375, 1e-12);
  EXPECT_NEAR(f[kScissorTerm], 0.125, 1e-12);
  EXPECT_NEAR(f[kLateralTerm], 0.25, 1e-12);
  EXPECT_NEAR(f[kEffortTerm], 1.4, 1e-12);
  // 0.5 * 0.75 + 0 * 0.125 + 0.25 * 0.375 + 1 * 0.4375 + 1 * 0.125 + 1 * 0.25 + 0.5 * 1.4
  EXPECT_NEAR(objectiveScore(c, kDefaultWeights), 1.98125, 1e-12);
}

// The stroke counts of a few key pairs on ansi (Qwerty): d, f, r, then R,
// which needs the right Shift. Strokes d f r rshift r; pairs d-f (roll in:
// middle to index), f-r (one finger: f at 5.25,2 and r at 5,1, 1.0307764...
// key widths apart), r-rshift and rshift-r (two hands). Efforts of the board
// file: d 1, f 1, r 1.2, rshift 3.08.
TEST(LayoutObjective, StrokeCountsOfKeyPairsOnTheBoard) {
  KeyTable keys{};
  setupKeyTable(2, "Qwerty", keys);
  ObjectiveBoard board;
  std::string error;
  ASSERT_TRUE(makeObjectiveBoard(ansiBoard(), keys, board, error)) << error;
  std::vector<Count> pairs(kKeyPairs);
  pairs[static_cast<std::size_t>(kNoKey) * 256 + 'd'] = 1;
  pairs['d' * 256 + 'f'] = 1;
  pairs['f' * 256 + 'r'] = 1;
  pairs['r' * 256 + 'R'] = 1;
  ObjectiveCounts c;
  addKeyPairStrokeCounts(board, keys, pairs, c);
  EXPECT_EQ(c.strokes, 5);
  EXPECT_EQ(c.strokePairs, 4);
  EXPECT_EQ(c.alternation, 2);
  EXPECT_EQ(c.rollIn, 1);
  EXPECT_EQ(c.rollOut, 0);
  EXPECT_EQ(c.scissor, 0);
  EXPECT_EQ(c.lateral, 0);
  EXPECT_EQ(c.distanceUnits, 1'030'776);  // sqrt(1.0625), to the millionth
  EXPECT_EQ(c.effortUnits, 7'480'000);
  // Doubled counts double every count.
  for (Count& n : pairs) n *= 2;
  ObjectiveCounts twice;
  addKeyPairStrokeCounts(board, keys, pairs, twice);
  EXPECT_EQ(twice.distanceUnits, 2 * c.distanceUnits);
  EXPECT_EQ(twice.alternation, 4);
}

}  // namespace
}  // namespace kbeval
