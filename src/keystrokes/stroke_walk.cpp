#include "keystrokes/stroke_walk.h"

#include <algorithm>

namespace kbeval {

StrokeTables makeStrokeTables(const Board& board, const KeyTable& table) {
  StrokeTables t;
  t.board = makeStrokeBoard(board, table);
  for (int byte = 0; byte < 256; ++byte) {
    const KeyInfo& info = table[static_cast<std::size_t>(byte)];
    ByteStrokes& b = t.bytes[static_cast<std::size_t>(byte)];
    const int key = physicalKeyOf(static_cast<unsigned char>(byte));
    b.id = static_cast<std::uint8_t>(key < 0 || info.finger == 0 ? kNoBoardKey : key);
    // As the keystroke counts have it: the Shift of the other hand, a key
    // without a hand (thumb, no data) counting as a right-hand key.
    b.shiftHand = static_cast<std::int8_t>(info.shift == 0 ? 0 : (info.finger < 0 ? 1 : -1));
  }
  for (int id = 0; id < kStrokeIds; ++id) {
    t.fingerCodes[static_cast<std::size_t>(id)] =
        static_cast<std::uint8_t>(fingerCode(t.board.keys[static_cast<std::size_t>(id)].finger));
  }
  t.fingerCodes[kBreakId] = kBreakFingerCode;
  return t;
}

namespace {

// Counts a stroke: its pair with the stroke before (unless the pairs come
// from the key pairs the keystroke walk counts), and its triple.
template <bool pairs>
inline void emit(const StrokeTables& t, StrokeState& s, StrokeCounts& c, int stroke, Count weight) {
  if (pairs) c.pairs[static_cast<std::size_t>(s.last * kStrokeStates + stroke)] += weight;
  c.skips[static_cast<std::size_t>(s.beforeLast * kStrokeStates + stroke)] += weight;
  c.fingerTriples[static_cast<std::size_t>(
      (t.fingerCodes[static_cast<std::size_t>(s.beforeLast)] * kFingerCodes +
       t.fingerCodes[static_cast<std::size_t>(s.last)]) *
          kFingerCodes +
      t.fingerCodes[static_cast<std::size_t>(stroke)])] += weight;
  s.beforeLast = s.last;
  s.last = stroke;
}

// One byte of key stream; with `count` false the state moves and nothing is counted.
template <bool count, bool pairs = true>
inline void strokeByte(const StrokeTables& t, StrokeState& s, StrokeCounts& c, unsigned byte,
                       Count weight) {
  if (byte == kUntreatedMarker) {
    s = StrokeState{};
    return;
  }
  if ((byte == ' ' || byte == '\n') && static_cast<int>(byte) == s.previous) return;
  const ByteStrokes& b = t.bytes[byte];
  if (b.shiftHand != 0 && b.shiftHand != s.previousShiftHand) {
    const int shift = b.shiftHand < 0 ? kLeftShiftKey : kRightShiftKey;
    if (count) {
      emit<pairs>(t, s, c, shift, weight);
    } else {
      s.beforeLast = s.last;
      s.last = shift;
    }
  }
  if (count) {
    emit<pairs>(t, s, c, b.id, weight);
  } else {
    s.beforeLast = s.last;
    s.last = b.id;
  }
  s.previous = static_cast<int>(byte);
  s.previousShiftHand = b.shiftHand;
}

// How many of `keys`' bytes are walked with the real context: up to where the
// state no longer depends on it (two keys have stroked, or a marker broke
// the sequence and a key stroked after it, or the marker is the last byte).
std::size_t headLength(std::string_view keys) {
  bool beforeLastKnown = false, lastKnown = false;
  int previous = -1;  // the last key byte in the token, or kNoKey after a marker
  for (std::size_t i = 0; i < keys.size(); ++i) {
    const unsigned byte = static_cast<unsigned char>(keys[i]);
    if (byte == kUntreatedMarker) {
      beforeLastKnown = lastKnown = true;
      previous = kNoKey;
    } else if (byte == ' ' || byte == '\n') {
      if (previous < 0) return keys.size();  // collapses or not, by what came before
      if (static_cast<int>(byte) != previous) {
        beforeLastKnown = lastKnown;
        lastKnown = true;
        previous = static_cast<int>(byte);
      }
    } else {
      beforeLastKnown = lastKnown;
      lastKnown = true;
      previous = static_cast<int>(byte);
    }
    if (beforeLastKnown && lastKnown) return i + 1;
  }
  return keys.size();
}

}  // namespace

void walkStrokeBytes(const StrokeTables& tables, StrokeState& state, StrokeCounts& counts,
                     std::string_view keys, Count weight) {
  for (const char c : keys) {
    strokeByte<true>(tables, state, counts, static_cast<unsigned char>(c), weight);
  }
}

void walkStrokeTriples(const StrokeTables& tables, StrokeState& state, StrokeCounts& counts,
                       std::string_view keys) {
  for (const char c : keys) {
    strokeByte<true, false>(tables, state, counts, static_cast<unsigned char>(c), 1);
  }
}

void addStrokeToken(StrokeWalk& walk, const StrokeTables& tables, std::string_view keys) {
  StrokeTokenHead& h = walk.heads.emplace_back();
  // A head longer than a byte holds is walked as a whole token.
  const std::size_t head = keys.size() > 255 ? keys.size() : headLength(keys);
  h.length = static_cast<std::uint8_t>(std::min<std::size_t>(head, 255));
  if (head <= kInlineHead) {
    std::copy(keys.begin(), keys.begin() + static_cast<std::ptrdiff_t>(head), h.bytes);
  } else {
    h.offset = static_cast<std::uint32_t>(walk.headBytes.size());
    walk.headBytes.insert(walk.headBytes.end(), keys.begin(),
                          keys.begin() + static_cast<std::ptrdiff_t>(h.length));
  }
  h.hasRest = head < keys.size();
  if (h.hasRest) {
    // Moving the state only: the counts are not touched.
    StrokeState s;
    for (const char c : keys) {
      strokeByte<false>(tables, s, walk.counts, static_cast<unsigned char>(c), 0);
    }
    h.afterBeforeLast = static_cast<std::uint8_t>(s.beforeLast);
    h.afterLast = static_cast<std::uint8_t>(s.last);
    h.afterPrevious = static_cast<std::uint16_t>(s.previous);
    h.afterShiftHand = static_cast<std::int8_t>(s.previousShiftHand);
  }
}

void walkStrokeTokens(StrokeWalk& walk, const StrokeTables& tables, const std::uint16_t* tokens,
                      std::size_t count) {
  if (count == 0) return;
  StrokeState state = walk.state;
  StrokeCounts& counts = walk.counts;
  const StrokeTokenHead* heads = walk.heads.data();
  const std::uint8_t* longHeads = walk.headBytes.data();
  // The heads of a layout's tokens outgrow the caches: fetch those of the
  // tokens a few ahead while this one is walked.
  constexpr std::size_t kAhead = 12;
  const std::size_t last = count - 1;
  for (std::size_t i = 0; i < count; ++i) {
    __builtin_prefetch(&heads[tokens[std::min(i + kAhead, last)]]);
    const StrokeTokenHead& h = heads[tokens[i]];
    const std::uint8_t* bytes = h.length <= kInlineHead ? h.bytes : longHeads + h.offset;
    for (std::size_t b = 0; b < h.length; ++b) {
      strokeByte<true, false>(tables, state, counts, bytes[b], 1);
    }
    if (h.hasRest) {
      state.beforeLast = h.afterBeforeLast;
      state.last = h.afterLast;
      state.previous = h.afterPrevious;
      state.previousShiftHand = h.afterShiftHand;
    }
  }
  walk.state = state;
}

void addStrokeRest(StrokeWalk& walk, const StrokeTables& tables, std::size_t token,
                   std::string_view keys, Count times) {
  if (times == 0 || token >= walk.heads.size() || !walk.heads[token].hasRest) return;
  const std::size_t head = walk.heads[token].length;
  StrokeState s;
  for (std::size_t i = 0; i < head; ++i) {
    strokeByte<false>(tables, s, walk.counts, static_cast<unsigned char>(keys[i]), 0);
  }
  for (std::size_t i = head; i < keys.size(); ++i) {
    strokeByte<true, false>(tables, s, walk.counts, static_cast<unsigned char>(keys[i]), times);
  }
}

void addKeyPairStrokes(const StrokeTables& tables, const KeyTable& keys,
                       std::span<const Count> pairCounts, StrokeCounts& counts) {
  forEachTypedPair(pairCounts, [&](int previous, int current, Count n) {
    addKeyPairStroke(tables, keys, previous, current, n, counts);
  });
}

void addKeyPairStrokes(const StrokeTables& tables, const KeyTable& keys,
                       std::span<const Count> pairCounts, const PairRows& rows,
                       StrokeCounts& counts) {
  forEachTypedPair(pairCounts, rows, [&](int previous, int current, Count n) {
    addKeyPairStroke(tables, keys, previous, current, n, counts);
  });
}

void addKeyPairStroke(const StrokeTables& tables, const KeyTable& keys, int previous, int current,
                      Count n, StrokeCounts& counts) {
  const KeyPairStrokeIds ids = keyPairStrokeIds(tables, keys, previous, current);
  int last = ids.before;
  if (ids.shift >= 0) {
    counts.pairs[static_cast<std::size_t>(last * kStrokeStates + ids.shift)] += n;
    last = ids.shift;
  }
  counts.pairs[static_cast<std::size_t>(last * kStrokeStates + ids.key)] += n;
}

KeyPairStrokeIds keyPairStrokeIds(const StrokeTables& tables, const KeyTable& keys, int previous,
                                  int current) {
  return keyPairStrokeIds(tables, pairStrokes(keys, previous, current), previous, current);
}

KeyPairStrokeIds keyPairStrokeIds(const StrokeTables& tables, const PairStrokes& pair, int previous,
                                  int current) {
  KeyPairStrokeIds ids;
  ids.before = previous == kNoKey ? kBreakId : tables.bytes[static_cast<std::size_t>(previous)].id;
  const ByteStrokes& b = tables.bytes[static_cast<std::size_t>(current)];
  if (pair.shiftPressed) {
    ids.shift = b.shiftHand < 0 ? kLeftShiftKey : kRightShiftKey;
  }
  ids.key = b.id;
  return ids;
}

namespace {

// Walks the strokes of key byte `byte` (kNoKey: a break) from `walk`, calling
// stroke(id) for each: a Shift press unless the byte before held the same
// Shift, then its key.
template <typename Stroke>
void walkByteStrokes(const StrokeTables& tables, TripleStart& walk, int byte, Stroke stroke) {
  if (byte == kNoKey) {
    walk = TripleStart{};
    return;
  }
  const ByteStrokes& k = tables.bytes[static_cast<std::size_t>(byte)];
  const auto next = [&](int id) {
    stroke(id);
    walk.beforeLast = walk.last;
    walk.last = id;
  };
  if (k.shiftHand != 0 && k.shiftHand != walk.heldShift) {
    next(k.shiftHand < 0 ? kLeftShiftKey : kRightShiftKey);
  }
  next(k.id);
  walk.heldShift = k.shiftHand;
}

}  // namespace

TripleStart tripleStart(const StrokeTables& tables, int a, int b) {
  TripleStart walk;
  walkByteStrokes(tables, walk, a, [](int) {});
  walkByteStrokes(tables, walk, b, [](int) {});
  return walk;
}

KeyTripleStrokes keyTripleStrokes(const StrokeTables& tables, const TripleStart& start, int c) {
  KeyTripleStrokes out;
  TripleStart walk = start;
  walkByteStrokes(tables, walk, c, [&](int id) {
    if (walk.beforeLast == kBreakId || walk.last == kBreakId) return;
    ++out.triples;
    const auto finger = [&tables](int s) {
      return tables.board.keys[static_cast<std::size_t>(s)].finger;
    };
    const unsigned bits =
        classifyFingerTriple(finger(walk.beforeLast), finger(walk.last), finger(id));
    out.redirect += (bits & kRedirect) != 0;
    out.badRedirect += (bits & kBadRedirect) != 0;
  });
  return out;
}

KeyTripleStrokes keyTripleStrokes(const StrokeTables& tables, int a, int b, int c) {
  return keyTripleStrokes(tables, tripleStart(tables, a, b), c);
}

void releaseStrokeTokens(StrokeWalk& walk) {
  walk.heads.clear();
  walk.heads.shrink_to_fit();
  walk.headBytes.clear();
  walk.headBytes.shrink_to_fit();
}

}  // namespace kbeval
