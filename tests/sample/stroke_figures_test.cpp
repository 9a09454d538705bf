// The pair and triple figures the token walk counts, against a plain, slow
// recount over the stroke sequence: random layouts and texts, every shipped
// board, the text fed in random pieces to several layouts at once.
#include "keystrokes/stroke_figures.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "analysis/hangul_text.h"
#include "analysis/scanner.h"
#include "keystrokes/board.h"
#include "layouts/character_tables.h"
#include "sample/sample_analysis.h"
#include "sample_on_one_thread.h"
#include "stroke_figures_match.h"
#include "text/text_mode.h"

namespace kbeval {
namespace {

std::string randomKeys(std::mt19937& random) {
  static const std::string common =
      "qwertyuiopasdfghjklzxcvbnmQWERTOPZ1234567890;',./[]-=!@#$%{}|\\`~";
  static const std::string rare = " \t\x18\x7f\x80\xfe\r'\"";
  std::string keys;
  const int length = 1 + static_cast<int>(random() % 4);
  for (int i = 0; i < length; ++i) {
    const std::string& pool = random() % 8 == 0 ? rare : common;
    keys += pool[random() % pool.size()];
  }
  return keys;
}

template <std::size_t N>
void fill(std::mt19937& random, std::array<std::string, N>& table, int percent) {
  for (std::string& keys : table) {
    if (static_cast<int>(random() % 100) < percent) keys = randomKeys(random);
  }
}

LayoutRecord randomLayout(std::mt19937& random) {
  LayoutRecord layout;
  layout.fileName = "random.txt";
  layout.setType = 2 + static_cast<int>(random() % 2);
  static const char* fingerings[] = {"Qwerty", "Pyojun", "Gong", "Gong3"};
  layout.fingering = fingerings[random() % 4];
  fill(random, layout.initialKeys, 90);
  fill(random, layout.medialKeys, 90);
  fill(random, layout.finalKeys, 70);
  fill(random, layout.signKeys, 60);
  fill(random, layout.symbolKeys, 40);
  return layout;
}

// Syllables, spaces and runs of them, line feeds, signs, symbols.
std::string randomText(std::mt19937& random, int characters) {
  std::string text;
  for (int i = 0; i < characters; ++i) {
    const int kind = static_cast<int>(random() % 20);
    if (kind < 12) {
      text +=
          testing::johab(2 + static_cast<int>(random() % 19), 3 + static_cast<int>(random() % 26),
                         1 + static_cast<int>(random() % 29));
    } else if (kind < 15) {
      text += random() % 3 ? " " : "   ";
    } else if (kind < 16) {
      text += random() % 2 ? "\n" : "\n\n";
    } else if (kind < 18) {
      text += SignChars[random() % SignChars.size()];
    } else {
      const std::uint16_t code = SymbolCodes[random() % kSymbolCount];
      text += static_cast<char>(code >> 8);
      text += static_cast<char>(code & 0xFF);
    }
  }
  return text;
}

std::string keyStreamOf(const LayoutRecord& layout, const std::string& text) {
  TextModeState mode;
  std::string translated;
  translateTextMode(mode, text.data(), text.size(), translated);
  finishTextMode(mode, translated);
  ScanState scan;
  auto tally = std::make_unique<ScanTally>();
  CharacterPiece characters;
  scanText(scan, reinterpret_cast<const unsigned char*>(translated.data()), translated.size(),
           *tally, characters);
  std::string stream;
  transcribe(layout, characters, stream);
  return stream;
}

// The stroke sequence, plainly: -1 for a break. The Shift presses are the
// keystroke counts' own (pairStrokes), the collapse the report's rule (the
// byte before is the same space or line feed).
std::vector<int> strokeSequence(const KeyTable& keys, const std::string& stream) {
  std::vector<int> strokes;
  int previous = kNoKey;
  for (std::size_t p = 0; p < stream.size(); ++p) {
    const auto byte = static_cast<unsigned char>(stream[p]);
    if (byte == kUntreatedMarker) {
      strokes.push_back(-1);
      previous = kNoKey;
      continue;
    }
    if ((byte == ' ' || byte == '\n') && p > 0 && stream[p - 1] == stream[p]) continue;
    if (pairStrokes(keys, previous, byte).shiftPressed) {
      strokes.push_back(keys[byte].finger < 0 ? kRightShiftKey : kLeftShiftKey);
    }
    const int key = physicalKeyOf(byte);
    strokes.push_back(key < 0 || keys[byte].finger == 0 ? kNoBoardKey : key);
    previous = byte;
  }
  return strokes;
}

StrokeFigures recount(const StrokeBoard& board, const std::vector<int>& s) {
  StrokeFigures f;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] < 0) continue;
    ++f.strokes;
    f.effort += board.keys[s[i]].effort;
    if (i >= 1 && s[i - 1] >= 0) {
      ++f.pairs;
      const unsigned bits = classifyPair(board, s[i - 1], s[i]);
      f.alternation += (bits & kAlternation) != 0;
      f.rollIn += (bits & kRollIn) != 0;
      f.rollOut += (bits & kRollOut) != 0;
      f.scissor += (bits & kScissor) != 0;
      f.lateral += (bits & kLateral) != 0;
      if (bits & kSameFinger) {
        ++f.sameFinger;
        f.sameFingerDistance += keyDistance(board, s[i - 1], s[i]);
      }
    }
    if (i >= 2 && s[i - 1] >= 0 && s[i - 2] >= 0) {
      ++f.triples;
      const unsigned bits = classifyTriple(board, s[i - 2], s[i - 1], s[i]);
      f.redirect += (bits & kRedirect) != 0;
      f.badRedirect += (bits & kBadRedirect) != 0;
      f.oneHandRoll += (bits & kOneHandRoll) != 0;
      f.skipgram += (bits & kSkipgram) != 0;
    }
  }
  return f;
}

TEST(StrokeFigures, WalkCountsWhatAPlainRecountCounts) {
  std::mt19937 random(20261209);
  for (const char* boardName : {"ansi", "ortho", "split"}) {
    Board board;
    std::string error;
    ASSERT_TRUE(loadBoard(boardName, board, error)) << error;
    for (int round = 0; round < 12; ++round) {
      std::vector<LayoutRecord> layouts;
      const int count = 1 + static_cast<int>(random() % 3);
      for (int i = 0; i < count; ++i) layouts.push_back(randomLayout(random));
      std::vector<const LayoutRecord*> pointers;
      for (const LayoutRecord& layout : layouts) pointers.push_back(&layout);
      // Words come again so that the walk numbers them as tokens.
      std::string text = randomText(random, 300);
      text += text.substr(0, text.size() / 2) + randomText(random, 200) + text;
      SampleAnalysis analysis = startSampleAnalysis(pointers, nullptr, {&board, true});
      for (std::size_t p = 0; p < text.size();) {
        const std::size_t piece = std::min<std::size_t>(text.size() - p, 1 + random() % 97);
        analyseSampleBytes(analysis, text.data() + p, piece);
        p += piece;
      }
      finishSampleAnalysis(analysis);
      for (std::size_t i = 0; i < layouts.size(); ++i) {
        SCOPED_TRACE(std::string(boardName) + " round " + std::to_string(round) + " layout " +
                     std::to_string(i));
        const KeyTable& keys = layoutKeyTable(analysis, i);
        const StrokeBoard strokeBoard = makeStrokeBoard(board, keys);
        const StrokeFigures expected =
            recount(strokeBoard, strokeSequence(keys, keyStreamOf(layouts[i], text)));
        const StrokeFigures got = layoutStrokeFigures(analysis, i);
        EXPECT_GT(expected.triples, 0);
        testing::expectSameFigures(got, expected, 1e-6, 1e-6);
        // The keystroke report counts the same strokes.
        const KeystrokeCounts report = layoutKeystrokeCounts(analysis, i);
        EXPECT_EQ(got.strokes, report.keyStrokes + report.shiftStrokes);
      }
    }
  }
}

}  // namespace
}  // namespace kbeval
