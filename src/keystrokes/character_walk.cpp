#include "keystrokes/character_walk.h"

#include <algorithm>
#include <array>
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

// One run followed through a character's keystrokes after its first.
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
// ended inside the character goes to `ended(length, finger)`.
template <typename Ended>
void track(RunTrack& run, bool on, int finger, Ended&& ended) {
  if (!run.ends) {
    if (on) {
      if (run.grow++ == 0) run.growFinger = finger;
    } else {
      run.ends = true;
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
  const auto byte = [&keys](std::size_t p) { return static_cast<unsigned char>(keys[p]); };
  int previous = byte(0) == kUntreatedMarker ? kNoKey : byte(0);
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
    const int current = byte(p);
    const std::size_t pair = static_cast<std::size_t>(previous) * 256 + current;
    const KeyTransition& t = tables.transitions[pair];
    if (t.flags & kNoStroke) {
      if (current == kUntreatedMarker) previous = kNoKey;
      continue;
    }
    if (inside) inside->pairCounts[pair] += weight;
    previous = current;
    rest.strokes = true;
    rest.fingers = rest.fingers || (t.flags & (kLeftSameFinger | kRightSameFinger | kSameKey));
    track(rest.leftHand, t.flags & kLeftRunGoesOn, 0, handEnded(0));
    track(rest.rightHand, t.flags & kRightRunGoesOn, 0, handEnded(1));
    track(rest.leftFinger, t.flags & kLeftSameFinger, t.leftFinger, fingerEnded);
    track(rest.rightFinger, t.flags & kRightSameFinger, t.rightFinger, fingerEnded);
    track(rest.sameKey, t.flags & kSameKey, t.keyFinger, keyEnded);
  }
  rest.last = previous;
  return rest;
}

// Applies what a character's keystrokes after its first do to a same-finger
// or same-key run.
template <typename Histogram>
void applyInside(const RunInside& in, Count& run, int& finger, Histogram& histogram) {
  if (in.grow != 0) {
    if (run == 0) finger = in.growFinger;
    run += in.grow;
  }
  if (in.ends) {
    if (run != 0) ++histogram[finger][bucket(run)];
    run = in.trail;
    finger = in.trailFinger;
  }
}

}  // namespace

CharacterWalk makeCharacterWalk(const EvaluationTables& tables,
                                const std::vector<std::string_view>& keysByCode) {
  CharacterWalk walk;
  walk.characters.assign(kWalkCodes, CharacterStrokes{});
  walk.fingerRunsIndex.assign(kWalkCodes, 0);
  FingerRunsInside endsAll;
  endsAll.left.ends = endsAll.right.ends = endsAll.sameKey.ends = 1;
  walk.fingerRunsInside.push_back(endsAll);
  const std::size_t codes = std::min(keysByCode.size(), std::size_t{1} << 16);
  for (std::size_t code = 0; code < codes; ++code) {
    if (code >= 0x80 && code < 0x8000) continue;  // no character has such a code
    const std::string_view keys = keysByCode[code];
    if (keys.empty()) continue;
    const Rest rest = walkRest(tables, keys, nullptr, 0);
    const std::size_t index = walkIndex(static_cast<std::uint16_t>(code));
    CharacterStrokes& c = walk.characters[index];
    c.first = static_cast<std::uint8_t>(keys[0]);
    c.last = static_cast<std::uint16_t>(rest.last);
    c.flags = 0;
    // Lengths beyond kRunBuckets count alike, so the halves hold at most 255.
    c.runsGrow = saturatedByte(rest.leftHand.grow) | saturatedByte(rest.rightHand.grow) << 16;
    if (rest.leftHand.ends) {
      c.runsEndInside |= kLeftHalf;
      c.runsTrail |= saturatedByte(rest.leftHand.trail);
    }
    if (rest.rightHand.ends) {
      c.runsEndInside |= kRightHalf;
      c.runsTrail |= saturatedByte(rest.rightHand.trail) << 16;
    }
    if (c.runsEndInside != 0) c.flags |= kCharacterEndsRun;
    if (rest.strokes) c.flags |= kCharacterStrokesInside;
    if (rest.fingers) {
      c.flags |= kCharacterFingersInside;
      walk.fingerRunsIndex[index] = static_cast<std::uint16_t>(walk.fingerRunsInside.size());
      walk.fingerRunsInside.push_back(
          {rest.leftFinger.inside(), rest.rightFinger.inside(), rest.sameKey.inside()});
    }
  }
  walk.steps.resize(tables.transitions.size());
  for (std::size_t pair = 0; pair < walk.steps.size(); ++pair) {
    const std::uint8_t flags = tables.transitions[pair].flags;
    if (flags & kNoStroke) continue;  // leaves everything as it is
    walk.steps[pair] = static_cast<std::uint8_t>(
        kStepCounts | ((flags & kLeftRunGoesOn) ? 0 : kStepEndsLeftRun) |
        ((flags & kRightRunGoesOn) ? 0 : kStepEndsRightRun) |
        ((flags & (kLeftSameFinger | kRightSameFinger | kSameKey)) ? kStepFingers : 0));
  }
  return walk;
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

// The same-finger and same-key runs at a character that has such strokes or
// ends such a run: its first keystroke (pair `pair`, if it counts), then the
// others. Kept out of the walk's loop, which has registers to spare for it
// only this way. Returns kStepFingers while a run is going.
[[gnu::noinline]] unsigned walkFingerRuns(const CharacterWalk& walk, const EvaluationTables& tables,
                                          EvaluationState& state, std::size_t pair, unsigned stroke,
                                          std::size_t index) {
  const CharacterStrokes& c = walk.characters[index];
  if (stroke) {
    const KeyTransition& t = tables.transitions[pair];
    step(t.flags & kLeftSameFinger, t.leftFinger, state.leftSameFingerRun, state.leftRunFinger,
         state.endedSameFingerRuns);
    step(t.flags & kRightSameFinger, t.rightFinger, state.rightSameFingerRun, state.rightRunFinger,
         state.endedSameFingerRuns);
    step(t.flags & kSameKey, t.keyFinger, state.sameKeyRepeat, state.sameKeyFinger,
         state.endedSameKeyRuns);
  }
  if (c.flags & kCharacterStrokesInside) {
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

void walkCharacters(const CharacterWalk& walk, const EvaluationTables& tables,
                    EvaluationState& state, const std::uint16_t* codes, std::size_t count) {
  const CharacterStrokes* characters = walk.characters.data();
  const std::uint8_t* steps = walk.steps.data();
  Count* pairs = state.pairCounts.data();
  // The run state lives in locals: the pair counts must not be thought to alias it.
  std::size_t previousRow = static_cast<std::size_t>(state.previous) << 8;
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
  // each chunk. A character writes at most two entries: at its first
  // keystroke and among the others. In a chunk a half grows by at most 256
  // per character, so it cannot overflow before the lengths are held again.
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

  for (std::size_t chunk = 0; chunk < count; chunk += kChunk) {
    const std::size_t chunkEnd = std::min(count, chunk + kChunk);
    std::size_t ended = 0;
    for (std::size_t i = chunk; i < chunkEnd; ++i) {
      const std::size_t index = walkIndex(codes[i]);
      const CharacterStrokes& c = characters[index];
      if (c.flags & kCharacterTypesNothing) continue;
      const std::size_t pair = previousRow | c.first;
      const unsigned step = steps[pair];
      // The first keystroke (a marker or a repeated space or line feed
      // neither counts nor ends a run).
      pairs[pair] += step & kStepCounts;
      const FirstStroke& f = kFirstStrokes[step & 7];
      runEnds[ended] = runs & ~f.keep;
      ended += f.ends;
      runs = (runs & f.keep) + f.add;
      previousRow = static_cast<std::size_t>(c.last) << 8;
      // The keystrokes after the first: each run grows, or ends and leaves
      // the run that was going at the character's end.
      runs += c.runsGrow;
      runEnds[ended] = runs & c.runsEndInside;
      ended += (c.flags / kCharacterEndsRun) & 1;
      runs = (runs & ~c.runsEndInside) + c.runsTrail;

      // Same-finger and same-key strokes are few: skip their bookkeeping
      // unless this character has one or ends a run of them.
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
  state.previous = static_cast<int>(previousRow >> 8);
  state.leftRunLength = runs & kLeftHalf;
  state.rightRunLength = runs >> 16;
}

void addKeystrokesInside(const EvaluationTables& tables,
                         const std::vector<std::string_view>& keysByCode,
                         const std::vector<Count>& characterCounts, EvaluationState& state) {
  const std::size_t codes = std::min(keysByCode.size(), characterCounts.size());
  for (std::size_t code = 0; code < codes; ++code) {
    if (characterCounts[code] != 0 && keysByCode[code].size() > 1) {
      walkRest(tables, keysByCode[code], &state, characterCounts[code]);
    }
  }
}

}  // namespace kbeval
