#include "sample/sample_analysis.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sample/walk_pipeline.h"
#include "sample_on_one_thread.h"

namespace kbeval {
namespace {

// 2-set keys for ㄱ (initial and final), ㅏ and "?".
LayoutRecord smallLayout() {
  LayoutRecord layout;
  layout.fileName = "small.txt";
  layout.setType = 2;
  layout.initialKeys[2] = "r";
  layout.medialKeys[3] = "k";
  layout.finalKeys[2] = "r";
  layout.signKeys[41] = "?";
  return layout;
}

struct Results {
  TextCounts text;
  CombinationCounts combinations;
  KeystrokeCounts keystrokes;
  Count untreated = 0;
  bool operator==(const Results&) const = default;
};

Results analyse(SampleAnalysis& analysis, const std::string& sample) {
  analyseSampleBytes(analysis, sample.data(), sample.size());
  finishSampleAnalysis(analysis);
  return {analysis.textCounts, *analysis.combinations, layoutKeystrokeCounts(analysis, 0),
          layoutUntreatedCount(analysis, 0)};
}

// 각 = initial 2, medial 3, final 2: 0x88 0x62.
const std::string kSyllable = "\x88\x62";

// A restarted analysis must count the next sample exactly like a new one,
// whatever state the previous sample left behind: a pending CR, a lead byte
// waiting for its trail, the end of text at 0x1A or at a zero byte.
TEST(SampleAnalysis, RestartForgetsTheSampleBefore) {
  const LayoutRecord layout = smallLayout();
  const std::vector<const LayoutRecord*> layouts = {&layout};
  const std::string next = kSyllable + kSyllable + " ? 1\r\n" + kSyllable + "AA";
  SampleAnalysis fresh = startSampleAnalysis(layouts);
  const Results expected = analyse(fresh, next);
  EXPECT_EQ(expected.text.natnaeCount, 3);
  EXPECT_EQ(expected.text.enterCount, 1);
  EXPECT_EQ(expected.untreated, 1);  // the "1"

  const std::string before[] = {kSyllable + "\r", kSyllable + "\x88", "\x1A" + kSyllable,
                                std::string("?\0", 2) + kSyllable, "??aaaa" + kSyllable};
  for (const std::string& sample : before) {
    SampleAnalysis reused = startSampleAnalysis(layouts);
    analyseSampleBytes(reused, sample.data(), sample.size());
    restartSampleAnalysis(reused);
    EXPECT_TRUE(analyse(reused, next) == expected) << "after " << sample.size() << " bytes";
  }
}

// Kept walker threads walk pass after pass as a pipeline's own threads
// would: each sample, cut into pieces of a few bytes and walked with the kept
// threads (as many as there are layouts, fewer, more, none), counts what the
// analysis on one thread counts.
TEST(SampleAnalysis, KeptWalkersCountLikeOneThread) {
  LayoutRecord second = smallLayout();
  second.medialKeys[3] = "kk";
  second.signKeys[41] = "r?";
  const LayoutRecord first = smallLayout();
  const std::vector<const LayoutRecord*> layouts = {&first, &second, &first};
  const std::string samples[] = {kSyllable + " ?1? " + kSyllable, "", kSyllable + "\r\n??",
                                 kSyllable + kSyllable + "\x88",
                                 "aa" + kSyllable + "\x1A" + kSyllable};
  for (const unsigned threads : {0U, 1U, 2U, 5U}) {
    WalkWorkers workers(threads);
    SampleAnalysis analysis = startSampleAnalysis(layouts);
    for (int round = 0; round < 2; ++round) {
      if (round == 1) {  // a pass given up half way leaves the threads to the next
        restartSampleAnalysis(analysis);
        WalkPipeline abandoned(analysis, workers);
        readSampleBytes(analysis, samples[0].data(), samples[0].size(), pieceToFill(abandoned));
        publishPiece(abandoned);
      }
      for (const std::string& sample : samples) {
        SampleAnalysis alone = startSampleAnalysis(layouts);
        analyseSampleBytes(alone, sample.data(), sample.size());
        finishSampleAnalysis(alone);

        restartSampleAnalysis(analysis);
        {
          WalkPipeline walks(analysis, workers);
          for (std::size_t begin = 0; begin < sample.size(); begin += 3) {
            const std::size_t length = std::min<std::size_t>(3, sample.size() - begin);
            readSampleBytes(analysis, sample.data() + begin, length, pieceToFill(walks));
            publishPiece(walks);
          }
          readSampleEnd(analysis, pieceToFill(walks));
          publishPiece(walks);
          finishWalks(walks);
        }
        endSampleReading(analysis);
        EXPECT_TRUE(analysis.textCounts == alone.textCounts);
        for (std::size_t i = 0; i < layouts.size(); ++i) {
          EXPECT_TRUE(*analysis.evaluations[i].state == *alone.evaluations[i].state)
              << threads << " threads, layout " << i << ", sample of " << sample.size();
          EXPECT_EQ(layoutUntreatedCount(analysis, i), layoutUntreatedCount(alone, i));
        }
      }
    }
  }
}

// Text after 0x1A or a zero byte is no text: the analysis says so, and
// ignores whatever it is fed next.
TEST(SampleAnalysis, EndOfTextStopsTheAnalysis) {
  const LayoutRecord layout = smallLayout();
  for (const std::string& end : {std::string("\x1A"), std::string(1, '\0')}) {
    SampleAnalysis analysis = startSampleAnalysis({&layout});
    const std::string sample = kSyllable + end + kSyllable;
    EXPECT_FALSE(analyseSampleBytes(analysis, sample.data(), sample.size()));
    EXPECT_FALSE(analyseSampleBytes(analysis, kSyllable.data(), kSyllable.size()));
    finishSampleAnalysis(analysis);
    EXPECT_EQ(analysis.textCounts.natnaeCount, 1);
    EXPECT_EQ(layoutKeystrokeCounts(analysis, 0).keyStrokes, 3);  // r k r
  }
}

// The pair counts behind the report: 각 ?1? 각 types r k r SPACE ? (marker) ?
// SPACE r k r; the marker leaves no stroke and the "?" after it follows no key.
TEST(SampleAnalysis, KeyPairCountsFollowTheStrokes) {
  const LayoutRecord layout = smallLayout();
  SampleAnalysis analysis = startSampleAnalysis({&layout});
  const std::string sample = kSyllable + " ?1? " + kSyllable;
  analyse(analysis, sample);
  const std::vector<Count> pairs = layoutKeyPairCounts(analysis, 0);
  ASSERT_EQ(pairs.size(), kKeyPairs);
  auto pair = [&pairs](int previous, int current) {
    return pairs[static_cast<std::size_t>(previous) * 256 + current];
  };
  EXPECT_EQ(pair(kNoKey, 'r'), 1);
  EXPECT_EQ(pair('r', 'k'), 2);
  EXPECT_EQ(pair('k', 'r'), 2);
  EXPECT_EQ(pair('r', ' '), 1);
  EXPECT_EQ(pair(' ', '?'), 1);
  EXPECT_EQ(pair(kNoKey, '?'), 1);
  EXPECT_EQ(pair('?', ' '), 1);
  EXPECT_EQ(pair(' ', 'r'), 1);
  Count total = 0;
  for (Count n : pairs) total += n;
  EXPECT_EQ(total, layoutKeystrokeCounts(analysis, 0).keyStrokes);
  EXPECT_EQ(layoutKeyTable(analysis, 0)['r'].finger, -2);
}

}  // namespace
}  // namespace kbeval
