#include <gtest/gtest.h>

#include <random>
#include <string>

#include "keystrokes/keystroke_counts.h"
#include "keystrokes/reference_evaluation.h"

namespace kbeval {
namespace {

using namespace std::string_literals;

constexpr int kLeftLittle = 0, kLeftIndex = 3, kThumb = 5, kRightIndex = 6, kRightLittle = 9;

KeystrokeCounts evaluate(const std::string& stream, int setType = 2,
                         const char* fingering = "Qwerty") {
  KeyTable table{};
  setupKeyTable(setType, fingering, table);
  return evaluateKeyStream(table, stream);
}

TEST(Evaluation, EmptyStreamCountsNothing) {
  EXPECT_EQ(evaluate(""), KeystrokeCounts{});
}

TEST(Evaluation, RunsOfSpacesAndLineFeedsCountOnce) {
  const KeystrokeCounts two = evaluate("  ");
  EXPECT_EQ(two.spaceStrokes, 1);
  EXPECT_EQ(two.keyStrokes, 1);
  EXPECT_EQ(two.fingerCount[kThumb], 1);
  EXPECT_EQ(two.generalKeyTable[4][1], 1);  // the space bar: column slot 4, row 1

  const KeystrokeCounts mixed = evaluate(" \n \n\n\n");
  EXPECT_EQ(mixed.keyStrokes, 4);
  EXPECT_EQ(mixed.spaceStrokes, 2);
  EXPECT_EQ(mixed.enterStrokes, 2);
  EXPECT_EQ(mixed.leftKeys + mixed.rightKeys, 0);
  EXPECT_EQ(mixed.totalKeyTable[kRightLittle][3], 2);  // Enter: right little finger, home row
  // Line feeds stay out of the column table.
  Count general = 0;
  for (const auto& column : mixed.generalKeyTable)
    for (Count n : column) general += n;
  EXPECT_EQ(general, 2);
}

TEST(Evaluation, ThreeRepeatsOfOneKey) {
  const KeystrokeCounts c = evaluate("aaa");
  EXPECT_EQ(c.keyStrokes, 3);
  EXPECT_EQ(c.leftKeys, 3);
  EXPECT_EQ(c.rightKeys, 0);
  EXPECT_EQ(c.sameKeyStrokes, 2);
  EXPECT_EQ(c.leftSameKey, 2);
  EXPECT_EQ(c.leftSameFinger, 2);
  EXPECT_EQ(c.sameFingerCount[kLeftLittle], 2);
  EXPECT_EQ(c.sameKeyRuns[kLeftLittle][1], 0);
  EXPECT_EQ(c.sameKeyRuns[kLeftLittle][2], 1);
  EXPECT_EQ(c.sameFingerRuns[kLeftLittle][1], 0);
  EXPECT_EQ(c.sameFingerRuns[kLeftLittle][2], 1);
  EXPECT_EQ(c.oneHandRuns[0][2], 1);
  EXPECT_EQ(c.oneHandRuns[0][0] + c.oneHandRuns[0][1], 0);
}

TEST(Evaluation, AHeldShiftIsPressedOnce) {
  const KeystrokeCounts c = evaluate("AB");
  EXPECT_EQ(c.shiftStrokes, 1);
  EXPECT_EQ(c.rightShifts, 1);
  EXPECT_EQ(c.leftShifts, 0);
  EXPECT_EQ(c.fingerCount[kRightLittle], 1);
  EXPECT_EQ(c.totalKeyTable[kRightLittle][2], 1);
  EXPECT_EQ(leftTotal(c), 2);
  EXPECT_EQ(rightTotal(c), 1);
  EXPECT_EQ(c.oneHandRuns[0][1], 1);
  EXPECT_EQ(c.oneHandRuns[1][0], 1);
  EXPECT_EQ(c.leftSameFinger + c.rightSameFinger, 0);  // A little, B index finger
}

TEST(Evaluation, SameFingerButNotSameKeyAcrossShiftStates) {
  const KeystrokeCounts c = evaluate("Aa");
  EXPECT_EQ(c.leftSameFinger, 1);
  EXPECT_EQ(c.sameFingerCount[kLeftLittle], 1);
  EXPECT_EQ(c.sameKeyStrokes, 0);
}

TEST(Evaluation, SameKeyRunCountsOnlyItsOwnRepeats) {
  const KeystrokeCounts c = evaluate("RFF");
  EXPECT_EQ(c.leftSameFinger, 2);
  EXPECT_EQ(c.sameFingerCount[kLeftIndex], 2);
  EXPECT_EQ(c.sameKeyStrokes, 1);
  EXPECT_EQ(c.sameKeyRuns[kLeftIndex][1], 1);
  for (Count bucket : c.sameKeyRuns[kLeftIndex]) EXPECT_GE(bucket, 0);
  EXPECT_EQ(c.sameFingerRuns[kLeftIndex][2], 1);
  EXPECT_EQ(c.sameFingerRuns[kLeftIndex][1], 0);
  EXPECT_EQ(c.shiftStrokes, 1);  // the right Shift stays held for all three
}

TEST(Evaluation, ShiftAndKeyOnOneLittleFinger) {
  // P takes the left Shift, Q is then pressed by that finger while its own
  // right Shift is pressed by the finger that just typed P.
  const KeystrokeCounts c = evaluate("PQ");
  EXPECT_EQ(c.shiftStrokes, 2);
  EXPECT_EQ(c.leftShifts, 1);
  EXPECT_EQ(c.rightShifts, 1);
  EXPECT_EQ(c.leftSameFinger, 1);
  EXPECT_EQ(c.rightSameFinger, 1);
  EXPECT_EQ(c.sameFingerCount[kLeftLittle], 1);
  EXPECT_EQ(c.sameFingerCount[kRightLittle], 1);
  EXPECT_EQ(c.leftShiftSameFinger, 1);
  EXPECT_EQ(c.rightShiftSameFinger, 1);
  EXPECT_EQ(c.sameFingerRuns[kLeftLittle][1], 1);
  EXPECT_EQ(c.sameFingerRuns[kRightLittle][1], 1);
}

TEST(Evaluation, ShiftAfterKeyOnTheSameLittleFinger) {
  // ';' is the right little finger; 'A' then needs the right Shift.
  const KeystrokeCounts c = evaluate(";A");
  EXPECT_EQ(c.rightShiftSameFinger, 1);
  EXPECT_EQ(c.rightSameFinger, 1);
  EXPECT_EQ(c.sameFingerCount[kRightLittle], 1);
  EXPECT_EQ(c.leftSameFinger, 0);
}

TEST(Evaluation, UntreatedMarkerBreaksFingerRunsButNotHandRuns) {
  const KeystrokeCounts c = evaluate(
      "a\x18"
      "a");
  EXPECT_EQ(c.keyStrokes, 2);
  EXPECT_EQ(c.leftSameFinger, 0);
  EXPECT_EQ(c.sameKeyStrokes, 0);
  EXPECT_EQ(c.oneHandRuns[0][1], 1);
  EXPECT_EQ(c.oneHandRuns[0][0], 0);

  // After the marker a new same-key run starts from its own first stroke.
  const KeystrokeCounts d = evaluate(
      "aa\x18"
      "aa");
  EXPECT_EQ(d.sameKeyStrokes, 2);
  EXPECT_EQ(d.sameKeyRuns[kLeftLittle][1], 2);
  EXPECT_EQ(d.sameKeyRuns[kLeftLittle][2], 0);
  EXPECT_EQ(d.oneHandRuns[0][3], 1);
}

TEST(Evaluation, GongPutsCAndVOnOneFinger) {
  EXPECT_EQ(evaluate("CV", 2, "Gong").leftSameFinger, 1);
  EXPECT_EQ(evaluate("CV", 2, "Qwerty").leftSameFinger, 0);
}

TEST(Evaluation, SpacesAndLineFeedsRunWithTheRightHand) {
  const KeystrokeCounts c = evaluate("Pq aaa\n");
  EXPECT_EQ(c.oneHandRuns[0][1], 1);
  EXPECT_EQ(c.oneHandRuns[0][2], 1);
  EXPECT_EQ(c.oneHandRuns[0][0], 0);
  EXPECT_EQ(c.oneHandRuns[1][0], 3);
  EXPECT_EQ(rightTotal(c), 2);
  EXPECT_EQ(leftTotal(c), 5);
}

TEST(Evaluation, InnerColumnsAndTheGong3Six) {
  const KeystrokeCounts left = evaluate("5TGB%tgb");
  EXPECT_EQ(left.generalKeyTable[4][5], 2);
  EXPECT_EQ(left.generalKeyTable[4][4], 2);
  EXPECT_EQ(left.generalKeyTable[4][3], 2);
  EXPECT_EQ(left.generalKeyTable[4][2], 2);
  const KeystrokeCounts right = evaluate("6YHN^yhn");
  EXPECT_EQ(right.generalKeyTable[5][5], 2);
  EXPECT_EQ(right.generalKeyTable[5][2], 2);

  const KeystrokeCounts gong3 = evaluate("6", 3, "Gong3");
  EXPECT_EQ(gong3.generalKeyTable[5][5], 1);
  EXPECT_EQ(gong3.totalKeyTable[kLeftIndex][5], 1);
  EXPECT_EQ(gong3.leftKeys, 1);
  EXPECT_EQ(evaluate("6", 2, "Gong3").totalKeyTable[kRightIndex][5], 1);
}

TEST(Evaluation, BytesWithoutKeyDataCountAsRightHandStrokes) {
  const KeystrokeCounts c = evaluate("\x01\x01\xC8\xC8\x7f");
  EXPECT_EQ(c.keyStrokes, 5);
  EXPECT_EQ(c.rightKeys, 5);
  EXPECT_EQ(c.fingerCount[4], 5);
  EXPECT_EQ(c.generalKeyTable[4][0], 5);
  EXPECT_EQ(c.sameKeyStrokes, 2);
  EXPECT_EQ(c.rightSameFinger, 4);
  EXPECT_EQ(c.oneHandRuns[1][4], 1);
}

TEST(Evaluation, VeryLongRunsStayInsideTheHistograms) {
  const KeystrokeCounts c = evaluate(std::string(1000, 'a') + "j" + std::string(150, 'q'));
  EXPECT_EQ(c.sameKeyStrokes, 999 + 149);
  EXPECT_EQ(c.sameKeyRuns[kLeftLittle][kRunBuckets - 1], 2);
  EXPECT_EQ(c.oneHandRuns[0][kRunBuckets - 1], 2);
  for (const auto& row : c.sameKeyRuns)
    for (Count n : row) EXPECT_GE(n, 0);
  // Exact up to six repeats: a run of six then a run of seven.
  const KeystrokeCounts d = evaluate("aaaaaaa;aaaaaaaa");
  EXPECT_EQ(d.sameKeyRuns[kLeftLittle][6], 1);
  EXPECT_EQ(d.sameKeyRuns[kLeftLittle][7], 1);
}

// Evaluating a stream in pieces, with the state carried between them, must
// count exactly what evaluating it whole counts.
void expectPiecesMatchWhole(const std::string& stream, int setType, const char* fingering) {
  KeyTable table{};
  setupKeyTable(setType, fingering, table);
  const EvaluationTables tables = makeEvaluationTables(table);
  const KeystrokeCounts whole = evaluateKeyStream(table, stream);
  const auto* bytes = reinterpret_cast<const unsigned char*>(stream.data());
  for (std::size_t split = 0; split <= stream.size(); ++split) {
    EvaluationState state;
    evaluateKeys(tables, state, bytes, split);
    evaluateKeys(tables, state, bytes + split, stream.size() - split);
    ASSERT_EQ(keystrokeCounts(tables, state), whole)
        << "split at " << split << " of \"" << stream << "\"";
  }
  for (std::size_t piece : {1u, 2u, 3u, 7u}) {
    EvaluationState state;
    for (std::size_t at = 0; at < stream.size(); at += piece) {
      evaluateKeys(tables, state, bytes + at, std::min(piece, stream.size() - at));
    }
    ASSERT_EQ(keystrokeCounts(tables, state), whole) << "pieces of " << piece;
  }
}

TEST(Evaluation, PiecesCountLikeTheWholeStream) {
  const std::string cases[] = {
      "aaa",
      "AB",
      "Aa",
      "RFF",
      "PQ",
      "a\x18"
      "a",
      "Pq aaa\n",
      "  \n\n  aa  AA\n",
      "kkk;;;AAA\x18\x18PPPQQQ",
      "QWERTY qwerty\n\n123!@#\x01\x01\xfe\xfe",
  };
  for (const std::string& stream : cases) {
    expectPiecesMatchWhole(stream, 2, "Pyojun");
    expectPiecesMatchWhole(stream, 3, "Gong3");
  }
  std::mt19937 random(7);
  const std::string alphabet =
      "aAqQpP;:fFjJ \n\x18"
      "cCvV6^";
  for (int round = 0; round < 40; ++round) {
    std::string stream;
    for (int i = 0; i < 40; ++i) stream.push_back(alphabet[random() % alphabet.size()]);
    expectPiecesMatchWhole(stream, round % 2 ? 3 : 2, round % 3 ? "Gong3" : "Qwerty");
  }
}

// A restarted state must be a fresh one: a field it forgets would carry a run
// or a count from one walk into the next.
TEST(Evaluation, RestartedStateIsFresh) {
  KeyTable keys{};
  setupKeyTable(2, "Qwerty", keys);
  const EvaluationTables tables = makeEvaluationTables(keys);
  EvaluationState state;
  const std::string stream = "aaa;;PQ  \n\nffff\x18jjj";
  evaluateKeys(tables, state, reinterpret_cast<const unsigned char*>(stream.data()), stream.size());
  ASSERT_NE(state, EvaluationState{});
  restartEvaluation(state);
  EXPECT_EQ(state, EvaluationState{});
}

TEST(Evaluation, HistogramsAccountForEveryStroke) {
  // Whatever the stream, buckets never go negative and their weighted sums
  // give the stroke totals.
  std::mt19937 random(11);
  for (int round = 0; round < 50; ++round) {
    std::string stream;
    for (int i = 0; i < 300; ++i) stream.push_back(static_cast<char>(1 + random() % 255));
    const KeystrokeCounts c = evaluate(stream, 2 + round % 2, "Gong3");
    Count sameKey = 0, sameFinger = 0, oneHand = 0;
    for (int slot = 0; slot < kFingerSlots; ++slot) {
      for (int r = 0; r < kRunBuckets; ++r) {
        ASSERT_GE(c.sameKeyRuns[slot][r], 0);
        ASSERT_GE(c.sameFingerRuns[slot][r], 0);
        sameKey += r * c.sameKeyRuns[slot][r];
        sameFinger += r * c.sameFingerRuns[slot][r];
      }
    }
    for (int hand = 0; hand < 2; ++hand)
      for (int l = 0; l < kRunBuckets; ++l) {
        ASSERT_GE(c.oneHandRuns[hand][l], 0);
        oneHand += (l + 1) * c.oneHandRuns[hand][l];
      }
    EXPECT_EQ(sameKey, c.sameKeyStrokes);
    EXPECT_EQ(sameFinger, c.leftSameFinger + c.rightSameFinger);
    // Every keystroke joins its hand's run, every new Shift press the other's.
    EXPECT_EQ(oneHand, c.keyStrokes + c.shiftStrokes);
  }
}

}  // namespace
}  // namespace kbeval

namespace kbeval {
namespace {

// The fast walk (pair counts and run ends) against the rules walked keystroke
// by keystroke, on streams full of Shift changes, repeats, markers and spaces.
TEST(Evaluation, AgreesWithTheKeystrokeByKeystrokeRules) {
  std::mt19937 random(2026);
  const std::string dense = "aAqQpP;:zZ/?fFjJcCvV6^ \n\n  \x18\x01\x80";
  for (int round = 0; round < 400; ++round) {
    std::string stream;
    const int length = 1 + static_cast<int>(random() % 200);
    for (int i = 0; i < length; ++i) {
      if (round % 4 == 3) {
        stream.push_back(static_cast<char>(1 + random() % 255));
      } else {
        const char c = dense[random() % dense.size()];
        stream.append(1 + random() % 3, c);  // repeats make long same-key and finger runs
      }
    }
    const char* fingering = (round % 3 == 0) ? "Gong3" : (round % 3 == 1) ? "Pyojun" : "Gong";
    for (int setType : {2, 3}) {
      KeyTable table{};
      setupKeyTable(setType, fingering, table);
      ASSERT_EQ(evaluateKeyStream(table, stream), reference::referenceEvaluate(table, stream))
          << "stream of round " << round;
    }
  }
}

// The same on random key tables: many keys share a finger and Shift, some
// bytes have no data, and the streams repeat keys of every kind, so that the
// transition rows shared between keys that leave the same finger and Shift
// are checked where they differ (the key itself again, a repeated space or
// line feed, the marker).
TEST(Evaluation, RandomKeyTablesAgreeWithTheKeystrokeByKeystrokeRules) {
  std::mt19937 random(20261210);
  const std::int8_t fingers[] = {-5, -4, -3, -2, 1, 2, 3, 4, 5, 0};
  for (int round = 0; round < 200; ++round) {
    KeyTable table{};
    for (int byte = 0; byte < 256; ++byte) {
      if (random() % 4 == 0) continue;  // no key data
      KeyInfo& key = table[static_cast<std::size_t>(byte)];
      key.finger = fingers[random() % std::size(fingers)];
      key.shift = static_cast<std::int8_t>(random() % 2);
      key.row = static_cast<std::int8_t>(random() % 6);
      key.column = static_cast<std::int8_t>(static_cast<int>(random() % 13) - 6);
    }
    // A few bytes, typed often and in runs, among any others.
    std::string pool = " \n\x18";
    for (int i = 0; i < 6; ++i) pool.push_back(static_cast<char>(random() % 256));
    std::string stream;
    const int length = 1 + static_cast<int>(random() % 300);
    for (int i = 0; i < length; ++i) {
      const char c =
          random() % 3 == 0 ? static_cast<char>(random() % 256) : pool[random() % pool.size()];
      stream.append(1 + random() % 3, c);
    }
    ASSERT_EQ(evaluateKeyStream(table, stream), reference::referenceEvaluate(table, stream))
        << "round " << round;
  }
}

}  // namespace
}  // namespace kbeval
