#include "keystrokes/token_walk.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <limits>

namespace kbeval {

namespace {

int bucket(Count n) {
  return static_cast<int>(std::min<Count>(n, kRunBuckets - 1));
}

// Buckets stop at kRunBuckets - 1, so a saturated length counts the same.
std::uint16_t saturated(Count n) {
  return static_cast<std::uint16_t>(std::min<Count>(n, std::numeric_limits<std::uint16_t>::max()));
}

std::uint8_t saturatedByte(Count n) {
  return static_cast<std::uint8_t>(std::min<Count>(n, 255));
}

// One run followed through a token's keystrokes after its first.
struct RunTrack {
  bool ends = false;
  Count grow = 0, trail = 0;
  int growFinger = 0, trailFinger = 0;

  RunInside inside() const {
    RunInside in;
    in.grow = saturated(grow);
    in.trail = saturated(trail);
    in.growFinger = static_cast<std::int8_t>(growFinger);
    in.trailFinger = static_cast<std::int8_t>(trailFinger);
    in.ends = ends ? 1 : 0;
    return in;
  }
};

// A keystroke that carries the run on (`on`) or not; a run that began and
// ended inside the token goes to `ended(length, finger)`. With `fromNothing`,
// the run going in is taken to be none, so that the strokes that carry it on
// are a run begun inside too (the walk corrects that where a run was going).
template <typename Ended>
void track(RunTrack& run, bool on, int finger, bool fromNothing, Ended&& ended) {
  if (!run.ends) {
    if (on) {
      if (run.grow++ == 0) run.growFinger = finger;
    } else {
      run.ends = true;
      if (fromNothing && run.grow != 0) ended(run.grow, run.growFinger);
    }
  } else if (on) {
    if (run.trail++ == 0) run.trailFinger = finger;
  } else if (run.trail != 0) {
    ended(run.trail, run.trailFinger);
    run.trail = 0;
  }
}

struct Rest {
  RunTrack leftHand, rightHand, leftFinger, rightFinger, sameKey;
  int last = kNoKey;
  bool strokes = false;  // a keystroke after the first
  bool fingers = false;  // a same-finger or same-key one among them
};

// Walks the keystrokes of `keys` after the first, from the keystroke the
// first leaves behind (itself, or none after a marker). When `inside` is
// given, adds `weight` times their pairs and the runs wholly among them.
Rest walkRest(const EvaluationTables& tables, std::string_view keys, EvaluationState* inside,
              Count weight) {
  Rest rest;
  // Plain pointers: this runs once per key of every token learnt, and a
  // checked build would check each read.
  const auto* bytes = reinterpret_cast<const unsigned char*>(keys.data());
  const KeyTransition* transitions = tables.transitions.data();
  int previous = bytes[0] == kUntreatedMarker ? kNoKey : bytes[0];
  auto handEnded = [&](int hand) {
    return [inside, weight, hand](Count length, int) {
      if (inside) inside->endedOneHandRuns[hand][bucket(length - 1)] += weight;
    };
  };
  auto fingerEnded = [&](Count length, int finger) {
    if (inside) inside->endedSameFingerRuns[finger][bucket(length)] += weight;
  };
  auto keyEnded = [&](Count length, int finger) {
    if (inside) inside->endedSameKeyRuns[finger][bucket(length)] += weight;
  };
  for (std::size_t p = 1; p < keys.size(); ++p) {
    const int current = bytes[p];
    const std::size_t pair = static_cast<std::size_t>(previous) * 256 + current;
    const KeyTransition& t = transitions[pair];
    if (t.flags & kNoStroke) {
      if (current == kUntreatedMarker) previous = kNoKey;
      continue;
    }
    if (inside) {
      inside->pairCounts[pair] += weight;
      markPairRow(inside->pairRows, previous);
    }
    previous = current;
    rest.strokes = true;
    rest.fingers = rest.fingers || (t.flags & (kLeftSameFinger | kRightSameFinger | kSameKey));
    // A hand's run is always going into a token (it is its first stroke's
    // or the other hand's); a same-finger run seldom is.
    track(rest.leftHand, t.flags & kLeftRunGoesOn, 0, false, handEnded(0));
    track(rest.rightHand, t.flags & kRightRunGoesOn, 0, false, handEnded(1));
    track(rest.leftFinger, t.flags & kLeftSameFinger, t.leftFinger, true, fingerEnded);
    track(rest.rightFinger, t.flags & kRightSameFinger, t.rightFinger, true, fingerEnded);
    track(rest.sameKey, t.flags & kSameKey, t.keyFinger, true, keyEnded);
  }
  rest.last = previous;
  return rest;
}

// Applies what a token's keystrokes after its first do to a same-finger or
// same-key run. The runs begun inside the token are counted with its
// keystrokes inside; where a run was going into them, the strokes that carry
// it on belong to it instead.
template <typename Histogram>
void applyInside(const RunInside& in, Count& run, int& finger, Histogram& histogram) {
  if (run == 0) {
    if (in.ends) {
      run = in.trail;
      finger = in.trailFinger;
    } else if (in.grow != 0) {
      run = in.grow;
      finger = in.growFinger;
    }
  } else if (in.ends) {
    ++histogram[finger][bucket(run + in.grow)];
    if (in.grow != 0) --histogram[in.growFinger][bucket(in.grow)];
    run = in.trail;
    finger = in.trailFinger;
  } else {
    run += in.grow;
  }
}

// Whether a token leaves a same-finger or same-key run going when none went
// into it.
bool leavesRun(const RunTrack& run) {
  return (run.ends ? run.trail : run.grow) != 0;
}

std::uint8_t stepOf(const KeyTransition& t) {
  if (t.flags & kNoStroke) return 0;  // leaves everything as it is
  return static_cast<std::uint8_t>(
      kStepCounts | ((t.flags & kLeftRunGoesOn) ? 0 : kStepEndsLeftRun) |
      ((t.flags & kRightRunGoesOn) ? 0 : kStepEndsRightRun) |
      ((t.flags & (kLeftSameFinger | kRightSameFinger | kSameKey)) ? kStepFingers : 0));
}

// Works out the steps from the rows from `firstRow` on to the first keys
// from `firstKey` on.
void fillSteps(TokenWalk& walk, const EvaluationTables& tables, std::size_t firstRow,
               std::size_t firstKey) {
  for (std::size_t row = firstRow; row < walk.lastKeys.size(); ++row) {
    for (std::size_t first = firstKey; first < walk.firstKeys.size(); ++first) {
      const std::size_t pair = std::size_t{walk.lastKeys[row]} * 256 + walk.firstKeys[first];
      walk.steps[row * walk.width + first] = stepOf(tables.transitions[pair]);
    }
  }
}

// Lays the pair table out again, `width` entries a row. A key new to the
// walk only adds a row or fills a free column, unless the rows must widen:
// so a walk that learns n keys lays its table out about log n times.
void layOut(TokenWalk& walk, const EvaluationTables& tables, std::size_t width) {
  const std::size_t rows = walk.lastKeys.size();
  const std::size_t rowsBefore = walk.width == 0 ? 0 : walk.pairs.size() / walk.width;
  std::vector<Count> pairs(rows * width);
  const std::size_t firstsBefore = std::min(walk.firstKeys.size(), walk.width);
  for (std::size_t row = 0; row < rowsBefore; ++row) {
    for (std::size_t first = 0; first < firstsBefore; ++first) {
      pairs[row * width + first] = walk.pairs[row * walk.width + first];
    }
  }
  for (TokenStrokes& t : walk.tokens) {
    if (walk.width != 0) t.lastRow = static_cast<std::uint16_t>(t.lastRow / walk.width * width);
  }
  walk.pairs = std::move(pairs);
  walk.width = width;
  walk.steps.assign(rows * width, 0);
  fillSteps(walk, tables, 0, 0);
}

std::uint8_t firstNumberOf(TokenWalk& walk, const EvaluationTables& tables, unsigned key) {
  if (walk.firstNumber[key] < 0) {
    walk.firstNumber[key] = static_cast<std::int16_t>(walk.firstKeys.size());
    walk.firstKeys.push_back(static_cast<std::uint8_t>(key));
    const std::size_t width = std::bit_ceil(walk.firstKeys.size());
    if (width > walk.width) {
      layOut(walk, tables, width);
    } else {
      // The new key's column is free in every row: only its steps are new.
      fillSteps(walk, tables, 0, walk.firstKeys.size() - 1);
    }
  }
  return static_cast<std::uint8_t>(walk.firstNumber[key]);
}

std::uint16_t lastRowOf(TokenWalk& walk, const EvaluationTables& tables, unsigned key) {
  if (walk.lastNumber[key] < 0) {
    walk.lastNumber[key] = static_cast<std::int16_t>(walk.lastKeys.size());
    walk.lastKeys.push_back(static_cast<std::uint16_t>(key));
    // One more row, empty of pairs, at the end: the rows before stay.
    walk.pairs.resize(walk.lastKeys.size() * walk.width);
    walk.steps.resize(walk.lastKeys.size() * walk.width);
    fillSteps(walk, tables, walk.lastKeys.size() - 1, 0);
  }
  return static_cast<std::uint16_t>(walk.lastNumber[key] * walk.width);
}

}  // namespace

TokenWalk makeTokenWalk(const EvaluationTables& tables) {
  TokenWalk walk;
  FingerRunsInside endsAll;
  endsAll.left.ends = endsAll.right.ends = endsAll.sameKey.ends = 1;
  walk.fingerRunsInside.push_back(endsAll);
  walk.firstNumber.assign(256, -1);
  walk.lastNumber.assign(kNoKey + 1, -1);
  // The text begins with no keystroke before.
  lastRowOf(walk, tables, kNoKey);
  firstNumberOf(walk, tables, ' ');
  return walk;
}

void addToken(TokenWalk& walk, const EvaluationTables& tables, std::string_view keys) {
  TokenStrokes& t = walk.tokens.emplace_back();
  std::uint16_t& fingers = walk.fingerRunsIndex.emplace_back(0);
  if (keys.empty()) return;  // types nothing
  const Rest rest = walkRest(tables, keys, nullptr, 0);
  t.first = firstNumberOf(walk, tables, static_cast<unsigned char>(keys[0]));
  t.lastRow = lastRowOf(walk, tables, static_cast<unsigned>(rest.last));
  markPairRow(walk.rowsUsed, walk.lastNumber[static_cast<unsigned>(rest.last)]);
  t.flags = 0;
  // Lengths beyond kRunBuckets count alike, so the halves hold at most 255.
  t.runsGrow = saturatedByte(rest.leftHand.grow) | saturatedByte(rest.rightHand.grow) << 16;
  if (rest.leftHand.ends) {
    t.runsEndInside |= kLeftHalf;
    t.runsTrail |= saturatedByte(rest.leftHand.trail);
  }
  if (rest.rightHand.ends) {
    t.runsEndInside |= kRightHalf;
    t.runsTrail |= saturatedByte(rest.rightHand.trail) << 16;
  }
  if (t.runsEndInside != 0) t.flags |= kTokenEndsRun;
  if (rest.strokes) t.flags |= kTokenStrokesInside;
  if (leavesRun(rest.leftFinger) || leavesRun(rest.rightFinger) || leavesRun(rest.sameKey)) {
    t.flags |= kTokenLeavesFingerRun;
  }
  if (rest.fingers) {
    fingers = static_cast<std::uint16_t>(walk.fingerRunsInside.size());
    walk.fingerRunsInside.push_back(
        {rest.leftFinger.inside(), rest.rightFinger.inside(), rest.sameKey.inside()});
  }
}

namespace {

// What a keystroke does to a same-finger or same-key run: it carries it on
// (and begins it on `finger`), or ends it.
template <typename Histogram>
void step(bool on, int finger, Count& run, int& runFinger, Histogram& histogram) {
  if (on) {
    if (run++ == 0) runFinger = finger;
  } else if (run != 0) {
    ++histogram[runFinger][bucket(run)];
    run = 0;
  }
}

// The same-finger and same-key runs at a token: its first keystroke (entry
// `pair` of the pair table, if it counts), then the others. A function of
// its own, so that the walk's loop keeps its registers for the common case.
// Returns kStepFingers while a run is going.
[[gnu::noinline]] unsigned walkFingerRuns(const TokenWalk& walk, const EvaluationTables& tables,
                                          EvaluationState& state, std::size_t pair, unsigned stroke,
                                          std::size_t index) {
  const TokenStrokes& c = walk.tokens[index];
  if (stroke) {
    // The width is a power of two: a shift, where a division would cost
    // as much as the rest of this function.
    const int shift = std::countr_zero(walk.width);
    const std::size_t keys =
        std::size_t{walk.lastKeys[pair >> shift]} * 256 + walk.firstKeys[pair & (walk.width - 1)];
    const KeyTransition& t = tables.transitions[keys];
    step(t.flags & kLeftSameFinger, t.leftFinger, state.leftSameFingerRun, state.leftRunFinger,
         state.endedSameFingerRuns);
    step(t.flags & kRightSameFinger, t.rightFinger, state.rightSameFingerRun, state.rightRunFinger,
         state.endedSameFingerRuns);
    step(t.flags & kSameKey, t.keyFinger, state.sameKeyRepeat, state.sameKeyFinger,
         state.endedSameKeyRuns);
  }
  if (c.flags & kTokenStrokesInside) {
    const FingerRunsInside& in = walk.fingerRunsInside[walk.fingerRunsIndex[index]];
    applyInside(in.left, state.leftSameFingerRun, state.leftRunFinger, state.endedSameFingerRuns);
    applyInside(in.right, state.rightSameFingerRun, state.rightRunFinger,
                state.endedSameFingerRuns);
    applyInside(in.sameKey, state.sameKeyRepeat, state.sameKeyFinger, state.endedSameKeyRuns);
  }
  return (state.leftSameFingerRun | state.rightSameFingerRun | state.sameKeyRepeat) != 0
             ? kStepFingers
             : 0;
}

}  // namespace

namespace {

// What a first keystroke does to the word of one-hand runs, by its kStep...
// bits: the halves it keeps (the runs it carries on), what it adds to them,
// and whether it ends a run.
struct FirstStroke {
  std::uint32_t keep = 0, add = 0, ends = 0;
};

constexpr std::array<FirstStroke, 8> makeFirstStrokes() {
  std::array<FirstStroke, 8> table{};
  for (unsigned step = 0; step < 8; ++step) {
    FirstStroke& f = table[step];
    const unsigned stroke = step & kStepCounts;
    if (!(step & kStepEndsLeftRun)) f.keep |= kLeftHalf, f.add += stroke;
    if (!(step & kStepEndsRightRun)) f.keep |= kRightHalf, f.add += stroke << 16;
    f.ends = f.keep != (kLeftHalf | kRightHalf);
  }
  return table;
}
constexpr std::array<FirstStroke, 8> kFirstStrokes = makeFirstStrokes();

}  // namespace

void walkTokens(TokenWalk& walk, const EvaluationTables& tables, EvaluationState& state,
                const std::uint16_t* tokens, std::size_t count) {
  // (Numbering the key before may lay the tables out anew: first.)
  std::size_t previousRow = lastRowOf(walk, tables, static_cast<unsigned>(state.previous));
  markPairRow(walk.rowsUsed, walk.lastNumber[static_cast<unsigned>(state.previous)]);
  const TokenStrokes* summaries = walk.tokens.data();
  const std::uint8_t* steps = walk.steps.data();
  Count* pairs = walk.pairs.data();
  // The run state lives in locals: the pair counts must not be thought to alias it.
  std::uint32_t runs = static_cast<std::uint32_t>(std::min(state.leftRunLength, kHeldRunLength)) |
                       static_cast<std::uint32_t>(std::min(state.rightRunLength, kHeldRunLength))
                           << 16;
  unsigned fingerRunsGoing =
      (state.leftSameFingerRun | state.rightSameFingerRun | state.sameKeyRepeat) != 0 ? kStepFingers
                                                                                      : 0;

  // Hands alternate too irregularly for a branch to guess where a one-hand
  // run ends. So every time runs may end, the word of runs is written to a
  // log with the halves of the runs that go on cleared, and the log's end
  // moves on only if one ended; the log is sorted into the histograms after
  // each chunk. A token writes at most two entries: at its first
  // keystroke and among the others. In a chunk a half grows by at most 256
  // per token, so it cannot overflow before the lengths are held again.
  constexpr std::size_t kChunk = 128;
  static_assert(kHeldRunLength + kChunk * 256 < 0x10000);
  std::uint32_t runEnds[2 * kChunk];
  // Sorted in two lanes, so that runs of equal length (most are one or two
  // strokes long) do not wait on each other; bucket 0 of a lane holds the
  // halves that held no run.
  std::uint32_t lanes[2][2][kRunBuckets + 1] = {};
  auto sortRunEnds = [&lanes](const std::uint32_t* ends, std::size_t n) {
    auto add = [&lanes](int lane, std::uint32_t entry) {
      ++lanes[lane][0][std::min<std::uint32_t>(entry & kLeftHalf, kRunBuckets)];
      ++lanes[lane][1][std::min<std::uint32_t>(entry >> 16, kRunBuckets)];
    };
    std::size_t i = 0;
    for (; i + 2 <= n; i += 2) {
      add(0, ends[i]);
      add(1, ends[i + 1]);
    }
    if (i < n) add(0, ends[i]);
  };
  auto hold = [](std::uint32_t word) {
    return std::min<std::uint32_t>(word & kLeftHalf, kHeldRunLength) |
           std::min<std::uint32_t>(word >> 16, kHeldRunLength) << 16;
  };

  constexpr std::size_t kAhead = 12;
  const std::size_t last = count - 1;
  for (std::size_t chunk = 0; chunk < count; chunk += kChunk) {
    const std::size_t chunkEnd = std::min(count, chunk + kChunk);
    std::size_t ended = 0;
    for (std::size_t i = chunk; i < chunkEnd; ++i) {
      // A layout's summaries outgrow the caches; fetch those of the tokens
      // a few ahead while this one is walked.
      __builtin_prefetch(&summaries[tokens[std::min(i + kAhead, last)]]);
      const std::size_t index = tokens[i];
      const TokenStrokes& c = summaries[index];
      if (c.flags & kTokenTypesNothing) continue;
      const std::size_t pair = previousRow + c.first;
      const unsigned step = steps[pair];
      // The first keystroke (a marker or a repeated space or line feed
      // neither counts nor ends a run).
      pairs[pair] += step & kStepCounts;
      const FirstStroke& f = kFirstStrokes[step & 7];
      runEnds[ended] = runs & ~f.keep;
      ended += f.ends;
      runs = (runs & f.keep) + f.add;
      previousRow = c.lastRow;
      // The keystrokes after the first: each run grows, or ends and leaves
      // the run that was going at the token's end.
      runs += c.runsGrow;
      runEnds[ended] = runs & c.runsEndInside;
      ended += (c.flags / kTokenEndsRun) & 1;
      runs = (runs & ~c.runsEndInside) + c.runsTrail;

      // Same-finger and same-key strokes are few: skip their bookkeeping
      // unless this token's first stroke is one, a run of them is going, or
      // the token leaves one going (the runs inside it are counted at the
      // end).
      if (((step | c.flags | fingerRunsGoing) & kStepFingers) == 0) continue;
      fingerRunsGoing = walkFingerRuns(walk, tables, state, pair, step & kStepCounts, index);
    }
    sortRunEnds(runEnds, ended);
    runs = hold(runs);
  }
  for (int hand = 0; hand < 2; ++hand) {
    for (int b = 0; b < kRunBuckets; ++b) {
      state.endedOneHandRuns[hand][b] += lanes[0][hand][b + 1] + lanes[1][hand][b + 1];
    }
  }
  state.previous = walk.lastKeys[previousRow / walk.width];
  state.leftRunLength = runs & kLeftHalf;
  state.rightRunLength = runs >> 16;
}

void addKeystrokesInside(const EvaluationTables& tables, std::string_view keys, Count times,
                         EvaluationState& state) {
  if (times != 0 && keys.size() > 1) walkRest(tables, keys, &state, times);
}

void addFirstKeystrokes(TokenWalk& walk, EvaluationState& state) {
  // Plain pointers: the table has a cell for every key the walk learnt
  // before every other, most of them never taken. Only the rows used can
  // hold a count; they stay marked, since the known tokens may be walked again.
  Count* pairs = state.pairCounts.data();
  forEachPairRow(walk.rowsUsed, [&](int row) {
    Count* walked = walk.pairs.data() + static_cast<std::size_t>(row) * walk.width;
    const int key = walk.lastKeys[static_cast<std::size_t>(row)];
    Count* counted = pairs + static_cast<std::size_t>(key) * 256;
    for (std::size_t first = 0; first < walk.firstKeys.size(); ++first) {
      if (walked[first] == 0) continue;
      counted[walk.firstKeys[first]] += walked[first];
      walked[first] = 0;
      markPairRow(state.pairRows, key);
    }
  });
}

void restartTokenWalk(TokenWalk& walk) {
  walk.tokens.clear();
  walk.fingerRunsIndex.clear();
  walk.fingerRunsInside.resize(1);
  // The rows used, one memset each: a sanitizer build would otherwise check
  // every element's store.
  forEachPairRow(walk.rowsUsed, [&walk](int row) {
    std::memset(walk.pairs.data() + static_cast<std::size_t>(row) * walk.width, 0,
                walk.width * sizeof(Count));
  });
  walk.rowsUsed = {};
}

void releaseTokens(TokenWalk& walk) {
  restartTokenWalk(walk);
  // The summaries of a few hundred tokens keep their few kilobytes: giving
  // them back saves nothing and costs an allocation per doubling when the
  // next short sample comes (a walk per input, in the fuzz targets).
  constexpr std::size_t kKeptTokens = 256;
  if (walk.tokens.capacity() > kKeptTokens) walk.tokens.shrink_to_fit();
  if (walk.fingerRunsIndex.capacity() > kKeptTokens) walk.fingerRunsIndex.shrink_to_fit();
  if (walk.fingerRunsInside.capacity() > kKeptTokens) walk.fingerRunsInside.shrink_to_fit();
}

}  // namespace kbeval
