#include "optimize/layout_objective.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "base/format.h"

namespace kbeval {

namespace {

constexpr int kEightFingers[] = {0, 1, 2, 3, 6, 7, 8, 9};

double ratio(double part, double whole) {
  return whole == 0 ? 0.0 : part / whole;
}

}  // namespace

ObjectiveCounts objectiveCounts(const KeystrokeCounts& c, Count skipgrams, Count syllables) {
  ObjectiveCounts o;
  o.keyStrokes = c.keyStrokes;
  o.shiftStrokes = c.shiftStrokes;
  o.sameFinger = c.leftSameFinger + c.rightSameFinger - c.sameKeyStrokes;
  o.sameKey = c.sameKeyStrokes;
  o.skipgrams = skipgrams;
  o.leftTotal = leftTotal(c);
  o.rightTotal = rightTotal(c);
  o.fingers = c.fingerCount;
  for (const auto& rows : c.generalKeyTable) {
    for (int row = 0; row < kRows; ++row) o.rowKeys[row] += rows[row];
  }
  o.syllables = syllables;
  return o;
}

namespace {

Count units(double value) {
  return static_cast<Count>(std::llround(value * kStrokeUnitsPerOne));
}

// Stroke counts with the pair table alone: the key pairs give no skips or triples.
StrokeCounts strokePairCounts() {
  return {
      .pairs = std::vector<Count>(kStrokeStates * kStrokeStates), .skips = {}, .fingerTriples = {}};
}

}  // namespace

bool makeObjectiveBoard(const Board& board, const KeyTable& keys, ObjectiveBoard& objective,
                        std::string& error) {
  objective.tables = makeStrokeTables(board, keys);
  objective.effortUnits.fill(0);
  for (int key = 0; key < kBoardKeys; ++key) {
    const BoardKey& k = board.keys[static_cast<std::size_t>(key)];
    if (!k.present) continue;
    if (!(k.effort <= kMostObjectiveEffort) || !(std::fabs(k.x) <= kMostObjectivePosition) ||
        !(std::fabs(k.y) <= kMostObjectivePosition)) {
      error = formatText(
          "key '%s' of board %s: the objective takes efforts up to %g and positions within %g "
          "key widths of 0",
          boardKeyName(key).c_str(), board.name.c_str(), kMostObjectiveEffort,
          kMostObjectivePosition);
      return false;
    }
    objective.effortUnits[static_cast<std::size_t>(key)] = units(k.effort);
  }
  return true;
}

Count distanceUnits(const ObjectiveBoard& board, int a, int b) {
  return units(keyDistance(board.tables.board, a, b));
}

void addStrokePair(const ObjectiveBoard& board, int a, int b, Count n, ObjectiveCounts& o) {
  o.strokes += n;
  o.effortUnits += n * board.effortUnits[static_cast<std::size_t>(b)];
  if (a == kBreakId) return;
  o.strokePairs += n;
  const unsigned bits = classifyPair(board.tables.board, a, b);
  if (bits & kAlternation) o.alternation += n;
  if (bits & kRollIn) o.rollIn += n;
  if (bits & kRollOut) o.rollOut += n;
  if (bits & kScissor) o.scissor += n;
  if (bits & kLateral) o.lateral += n;
  if (bits & kSameFinger) o.distanceUnits += n * distanceUnits(board, a, b);
}

void addKeyPairStrokeCounts(const ObjectiveBoard& board, const KeyTable& keys,
                            std::span<const Count> pairCounts, ObjectiveCounts& o) {
  StrokeCounts strokes = strokePairCounts();
  addKeyPairStrokes(board.tables, keys, pairCounts, strokes);
  addStrokePairCounts(board, strokes, o);
}

void addKeyPairStrokeCounts(const ObjectiveBoard& board, const KeyTable& keys,
                            std::span<const Count> pairCounts, const PairRows& rows,
                            ObjectiveCounts& o) {
  forEachTypedPair(pairCounts, rows, [&](int previous, int current, Count n) {
    addKeyPairStrokeFigures(board, keys, previous, current, n, o);
  });
}

void addKeyPairStrokeFigures(const ObjectiveBoard& board, const KeyTable& keys, int previous,
                             int current, Count n, ObjectiveCounts& o) {
  addKeyPairStrokeFigures(board, keyPairStrokeIds(board.tables, keys, previous, current), n, o);
}

void addKeyPairStrokeFigures(const ObjectiveBoard& board, const KeyPairStrokeIds& ids, Count n,
                             ObjectiveCounts& o) {
  int last = ids.before;
  if (ids.shift >= 0) {
    addStrokePair(board, last, ids.shift, n, o);
    last = ids.shift;
  }
  addStrokePair(board, last, ids.key, n, o);
}

void addStrokePairCounts(const ObjectiveBoard& board, const StrokeCounts& strokes,
                         ObjectiveCounts& o) {
  for (int a = 0; a < kStrokeStates; ++a) {
    for (int b = 0; b < kStrokeIds; ++b) {
      const Count n = strokes.pairs[static_cast<std::size_t>(a * kStrokeStates + b)];
      if (n != 0) addStrokePair(board, a, b, n, o);
    }
  }
}

std::array<double, kObjectiveTerms> objectiveFigures(const ObjectiveCounts& o) {
  std::array<double, kObjectiveTerms> f{};
  const double keystrokes = static_cast<double>(o.keyStrokes + o.shiftStrokes);
  f[kKeystrokesTerm] = ratio(keystrokes, static_cast<double>(o.syllables));
  f[kShiftTerm] = ratio(static_cast<double>(o.shiftStrokes), keystrokes);
  f[kSameFingerTerm] = ratio(static_cast<double>(o.sameFinger), keystrokes);
  f[kSameKeyTerm] = ratio(static_cast<double>(o.sameKey), keystrokes);
  f[kSkipgramTerm] = ratio(static_cast<double>(o.skipgrams), keystrokes);

  Count fingerStrokes = 0;
  for (int slot : kEightFingers) fingerStrokes += o.fingers[slot];
  double beyond = 0;
  for (int slot : kEightFingers) {
    const double share =
        ratio(static_cast<double>(o.fingers[slot]), static_cast<double>(fingerStrokes));
    if (share > kFingerComfortBands[slot]) beyond += share - kFingerComfortBands[slot];
  }
  f[kFingerLoadTerm] = beyond;

  const Count hands = o.leftTotal + o.rightTotal;
  f[kHandBalanceTerm] = ratio(static_cast<double>(std::llabs(o.leftTotal - o.rightTotal)),
                              static_cast<double>(hands));

  const Count characterKeys =
      o.rowKeys[kBottomRow] + o.rowKeys[kHomeRow] + o.rowKeys[kTopRow] + o.rowKeys[kNumberRow];
  const Count away = o.rowKeys[kBottomRow] + o.rowKeys[kTopRow] + 2 * o.rowKeys[kNumberRow];
  f[kRowsTerm] = ratio(static_cast<double>(away), static_cast<double>(characterKeys));

  const double pairs = static_cast<double>(o.strokePairs);
  f[kAlternationTerm] = ratio(static_cast<double>(o.strokePairs - o.alternation), pairs);
  f[kRollInTerm] = ratio(static_cast<double>(o.rollIn), pairs);
  f[kRollOutTerm] = ratio(static_cast<double>(o.rollOut), pairs);
  f[kSameFingerDistanceTerm] =
      ratio(static_cast<double>(o.distanceUnits) / kStrokeUnitsPerOne, pairs);
  f[kScissorTerm] = ratio(static_cast<double>(o.scissor), pairs);
  f[kLateralTerm] = ratio(static_cast<double>(o.lateral), pairs);
  f[kEffortTerm] = ratio(static_cast<double>(o.effortUnits) / kStrokeUnitsPerOne,
                         static_cast<double>(o.strokes));
  const double triples = static_cast<double>(o.strokeTriples);
  f[kRedirectTerm] = ratio(static_cast<double>(o.redirect), triples);
  f[kBadRedirectTerm] = ratio(static_cast<double>(o.badRedirect), triples);
  return f;
}

double objectiveScore(const ObjectiveCounts& counts, const ObjectiveWeights& weights) {
  const std::array<double, kObjectiveTerms> figures = objectiveFigures(counts);
  double score = 0;
  for (int t = 0; t < kObjectiveTerms; ++t) score += weights[t] * figures[t];
  return score;
}

bool parseObjectiveWeights(std::string_view text, ObjectiveWeights& weights, std::string& error) {
  const auto fail = [&error](std::string why) {
    error = std::move(why);
    return false;
  };
  if (text.empty()) return fail("no weight given");
  while (!text.empty()) {
    const std::size_t comma = text.find(',');
    const std::string_view item = text.substr(0, comma);
    text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    const std::size_t equals = item.find('=');
    if (equals == std::string_view::npos) {
      return fail("'" + std::string(item) + "' is not name=value");
    }
    const std::string_view name = item.substr(0, equals);
    const std::string value(item.substr(equals + 1));
    int term = 0;
    while (term < kObjectiveTerms && kObjectiveTermNames[term] != name) ++term;
    if (term == kObjectiveTerms) return fail("unknown weight '" + std::string(name) + "'");
    char* end = nullptr;
    const double number = value.empty() ? NAN : std::strtod(value.c_str(), &end);
    if (value.empty() || end != value.c_str() + value.size() || !std::isfinite(number)) {
      return fail("weight " + std::string(name) + " is not a number: '" + value + "'");
    }
    if (number < 0) return fail("weight " + std::string(name) + " is negative: '" + value + "'");
    weights[term] = number;
  }
  return true;
}

std::string formatObjectiveWeights(const ObjectiveWeights& weights) {
  std::string text;
  for (int t = 0; t < kObjectiveTerms; ++t) {
    // The shortest form that reads back as the same number.
    char number[40];
    for (int digits = 6; digits <= 17; ++digits) {
      std::snprintf(number, sizeof number, "%.*g", digits, weights[t]);
      if (std::strtod(number, nullptr) == weights[t]) break;
    }
    if (t > 0) text += ',';
    text += kObjectiveTermNames[t];
    text += '=';
    text += number;
  }
  return text;
}

}  // namespace kbeval
