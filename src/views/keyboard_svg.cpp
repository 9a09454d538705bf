#include "views/keyboard_svg.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "views/colour_scale.h"
#include "views/comparison_figures.h"
#include "views/comparison_table.h"
#include "views/html_escape.h"
#include "views/key_labels.h"
#include "views/svg.h"
#include "views/utf8_text.h"

namespace kbeval {

namespace {

constexpr int kUnit = 60;  // one key's pitch, in pixels
constexpr int kGap = 4;    // between two keys
constexpr int kMargin = 6;
constexpr int kLabelInset = 5;  // from a key's left edge to its labels
constexpr int kLeftShiftSlot = 0, kRightShiftSlot = 9;

// Where each row's counted keys start, in key widths from the board's left
// edge (after Tab, Caps Lock and the left Shift), by the key table's row
// number (1 the space bar .. 5 the number row).
constexpr double kRowStart[6] = {0, 3.75, 2.25, 1.75, 1.5, 0};

// How keys are filled: by share on the heat scale, or, with a baseline, by
// the difference of shares on the diverging scale.
struct Colouring {
  double darkestShare = 0;
  const KeyboardPicture* baseline = nullptr;
  double widestDifference = 0;
  bool onBoard = false;  // drawn on a board's geometry: every key names itself
};

struct Box {
  double x, y, width, height;
};

double widthOf(unsigned char key) {
  switch (key) {
    case '\\':
      return 1.5;
    case '\n':
      return 2.25;
    case ' ':
      return 6.25;
    default:
      return 1;
  }
}

Box boxAt(double units, int row, double widthInUnits) {
  return {kMargin + units * kUnit, kMargin + (5.0 - row) * kUnit, widthInUnits * kUnit - kGap,
          static_cast<double>(kUnit - kGap)};
}

double shareOf(Count presses, Count keystrokes) {
  return keystrokes == 0 ? 0.0
                         : 100.0 * static_cast<double>(presses) / static_cast<double>(keystrokes);
}

// A label squeezed into `room` pixels when it would not fit at its size (a
// Hangul jamo is about one em wide, a Latin letter about 0.55 em).
void appendFittedText(std::string& out, double x, double y, std::string_view cssClass,
                      std::string_view text, double fontSize, double room) {
  const double estimate = 0.55 * fontSize * static_cast<double>(displayWidth(text));
  if (estimate <= room) {
    appendSvgText(out, x, y, cssClass, text);
    return;
  }
  appendFormat(out, "<text x=\"%.0f\" y=\"%.0f\" class=\"", x, y);  // x: 0 or more
  appendHtmlEscaped(out, cssClass);
  appendFormat(out, "\" textLength=\"%.0f\" lengthAdjust=\"spacingAndGlyphs\">", room);
  appendHtmlEscaped(out, text);
  out += "</text>";
}

// A key's group: its place, its tooltip, its face filled by `share` (or by
// its difference from `baseShare`), the name in the top right corner and the
// finger and share in the bottom left ("L2 5.4%"), or the difference.
void openKey(std::string& out, const Box& box, double share, double baseShare,
             const Colouring& colouring, std::string_view title, std::string_view name,
             int fingerSlot, std::string_view keyId, bool offScale = false) {
  std::string fullTitle(title);
  std::string bottom;
  Rgb fill;
  if (colouring.baseline != nullptr) {
    // The labels say what the key types: the tooltip gives the two shares.
    const double difference = share - baseShare;
    fill = divergingColour(colouring.widestDifference > 0 ? difference / colouring.widestDifference
                                                          : 0);
    fullTitle.clear();
    appendFormat(fullTitle, "%.2f%% of keystrokes, %.2f%% on the baseline", share, baseShare);
    bottom = differenceText(difference, 2);
    name = {};
  } else {
    fill = offScale ? Rgb{0xf4, 0xf4, 0xf4}
                    : heatColour(colouring.darkestShare > 0 ? share / colouring.darkestShare : 0);
    appendFormat(bottom, "%s %.1f%%", std::string(fingerName(fingerSlot)).c_str(), share);
  }
  // The group's origin is where the labels start, kLabelInset into the key,
  // so that they need no x of their own: a page of keyboards is smaller so.
  appendFormat(out, "<g transform=\"translate(%.0f,%.0f)\"%s", box.x + kLabelInset, box.y,
               offScale               ? " class=\"off\""
               : wantsLightText(fill) ? " class=\"dk\""
                                      : "");
  // A difference keyboard's keys, and a board's, say which key they are, for
  // readers of the page's source.
  if (colouring.baseline != nullptr || colouring.onBoard) {
    out += " data-k=\"";
    appendHtmlEscaped(out, keyId);
    out += '"';
  }
  out += '>';
  // A difference keyboard's keys carry their difference as text and no
  // tooltip: the layout's own keyboard gives the counts.
  if (colouring.baseline == nullptr) appendSvgTitle(out, fullTitle);
  // Most keys are one unit wide: they use the page's one key shape.
  if (box.width == kUnit - kGap && box.height == kUnit - kGap) {
    appendFormat(out, "<use href=\"#key\" fill=\"%s\"/>", cssColour(fill).c_str());
  } else {
    appendFormat(out, "<rect x=\"%d\" width=\"%.0f\" height=\"%.0f\" rx=\"5\" fill=\"%s\"/>",
                 -kLabelInset, box.width, box.height, cssColour(fill).c_str());
  }
  // The name stands at the right edge: the style anchors it there.
  if (!name.empty()) appendSvgText(out, box.width - 4 - kLabelInset, 12, "n", name);
  if (colouring.onBoard && colouring.baseline == nullptr) {
    // A board's thumb keys are one unit wide: "thumb 11.9%" is squeezed in.
    appendFittedText(out, 0, box.height - 5, "f", bottom, 9.5, box.width - 10);
  } else {
    appendSvgText(out, 0, box.height - 5, colouring.baseline != nullptr ? "d" : "f", bottom);
  }
}

// "d ㅇ: 2593": a level's character, what it types (when that is not the
// character itself), and its strokes.
void appendLevel(std::string& title, unsigned char character, std::string_view types,
                 Count presses) {
  const std::string name = keyName(character);
  title += name;
  if (!types.empty() && types != name) title.append(" ").append(types);
  appendFormat(title, ": %lld", presses);
}

void appendKey(std::string& out, const KeyCap& key, const Box& box, double share, double baseShare,
               const Colouring& colouring) {
  const unsigned char plain = key.characters.unshifted;
  const unsigned char shifted = key.characters.shifted;
  const int finger = fingerSlotOf(key.info);
  std::string title;
  appendLevel(title, plain, key.types, key.presses);
  if (shifted != 0) {
    title += "; ";
    appendLevel(title, shifted, key.shiftedTypes, key.shiftedPresses);
  }
  std::string name = keyName(plain);
  if (plain >= 'a' && plain <= 'z') name = std::string(1, static_cast<char>(plain - 'a' + 'A'));
  // A key that types its own sign shows it once.
  if (name == key.label) name.clear();
  openKey(out, box, share, baseShare, colouring, title, name, finger, keyName(plain),
          plain == ' ' && colouring.baseline == nullptr);
  const double room = box.width - 10;
  if (!key.shiftedLabel.empty()) {
    appendFittedText(out, 0, 20, key.shiftedLabelIsFinal ? "s fin" : "s", key.shiftedLabel, 13,
                     room - 14);
  }
  if (!key.label.empty()) {
    appendFittedText(out, 0, 40, key.labelIsFinal ? "u fin" : "u", key.label, 18, room);
  }
  out += "</g>";
}

void appendShiftKey(std::string& out, const Box& box, Count presses, double share, double baseShare,
                    const Colouring& colouring, bool left) {
  std::string title;
  appendFormat(title, "%s Shift: %lld, for shifted keys of the %s hand", left ? "Left" : "Right",
               presses, left ? "right" : "left");
  openKey(out, box, share, baseShare, colouring, title, "Shift",
          left ? kLeftShiftSlot : kRightShiftSlot, left ? "Left Shift" : "Right Shift");
  out += "</g>";
}

void appendInertKey(std::string& out, const Box& box, const char* name) {
  appendFormat(out,
               "<g class=\"in\" transform=\"translate(%.0f,%.0f)\"><rect width=\"%.0f\" "
               "height=\"%.0f\" rx=\"5\"/>",
               box.x, box.y, box.width, box.height);
  appendSvgText(out, 5, 14, "i", name);
  out += "</g>";
}

// Where each key of the picture goes, and the drawing's size.
struct Drawing {
  std::array<Box, kBoardKeys> boxes{};
  std::array<bool, kBoardKeys> drawn{};
  int width = kKeyboardWidth, height = kKeyboardHeight;
  bool inertKeys = true;  // Backspace, Tab and Caps Lock, on the US board only
};

// The US board: the keys come row by row in their order on the board; a
// row's next key goes right after the one before it.
Drawing usDrawing(const KeyboardPicture& picture) {
  Drawing d;
  d.boxes[kLeftShiftKey] = boxAt(0, 2, 2.25);
  d.drawn[kLeftShiftKey] = true;
  double next[6];
  for (int row = 0; row < 6; ++row) next[row] = kRowStart[row];
  for (std::size_t slot = 0; slot < picture.keys.size(); ++slot) {
    const KeyCap& key = picture.keys[slot];
    const int row = key.info.row;
    if (row < 1 || row > 5) continue;
    const double width = widthOf(key.characters.unshifted);
    d.boxes[slot] = boxAt(next[row], row, width);
    d.drawn[slot] = true;
    next[row] += width;
  }
  d.boxes[kRightShiftKey] = boxAt(next[2], 2, 15 - next[2]);
  d.drawn[kRightShiftKey] = true;
  return d;
}

// A board: each key at the board's place for it.
Drawing boardDrawing(const Board& board) {
  Drawing d;
  const std::array<KeyPlace, kBoardKeys> places = keyPlaces(board);
  double right = 0, bottom = 0;
  for (std::size_t k = 0; k < places.size(); ++k) {
    const KeyPlace& place = places[k];
    if (!place.drawn) continue;
    d.boxes[k] = {kMargin + place.left * kUnit, kMargin + place.top * kUnit,
                  place.width * kUnit - kGap, static_cast<double>(kUnit - kGap)};
    d.drawn[k] = true;
    right = std::max(right, place.left + place.width);
    bottom = std::max(bottom, place.top + 1);
  }
  d.width = static_cast<int>(std::ceil(2 * kMargin + right * kUnit));
  d.height = static_cast<int>(std::ceil(2 * kMargin + bottom * kUnit - kGap));
  // The keys kbeval does not count fit around the shipped US board's only.
  d.inertKeys = fingeringApplies(board);
  return d;
}

void appendBoard(std::string& out, const KeyboardPicture& picture, Colouring colouring,
                 std::string_view caption) {
  const Drawing d = picture.board != nullptr ? boardDrawing(*picture.board) : usDrawing(picture);
  colouring.onBoard = picture.board != nullptr;
  appendFormat(out,
               "<svg class=\"kb\" width=\"%d\" height=\"%d\" viewBox=\"0 0 %d %d\" role=\"img\" "
               "aria-label=\"",
               d.width, d.height, d.width, d.height);
  appendHtmlEscaped(out, caption);
  out += "\">";
  const auto baseShare = [&](std::size_t slot) {
    return colouring.baseline != nullptr ? keyShare(*colouring.baseline, slot) : 0.0;
  };
  // Keys whose strokes kbeval does not count, so that the board looks like
  // one (a difference keyboard does without them).
  if (colouring.baseline == nullptr && d.inertKeys) {
    appendInertKey(out, boxAt(13, 5, 2), "Backspace");
    appendInertKey(out, boxAt(0, 4, 1.5), "Tab");
    appendInertKey(out, boxAt(0, 3, 1.75), "Caps Lock");
  }
  if (d.drawn[kLeftShiftKey]) {
    appendShiftKey(out, d.boxes[kLeftShiftKey], picture.leftShiftPresses,
                   keyShare(picture, kPhysicalKeys), baseShare(kPhysicalKeys), colouring, true);
  }
  for (std::size_t slot = 0; slot < picture.keys.size(); ++slot) {
    if (!d.drawn[slot]) continue;
    appendKey(out, picture.keys[slot], d.boxes[slot], keyShare(picture, slot), baseShare(slot),
              colouring);
  }
  if (d.drawn[kRightShiftKey]) {
    appendShiftKey(out, d.boxes[kRightShiftKey], picture.rightShiftPresses,
                   keyShare(picture, kPhysicalKeys + 1), baseShare(kPhysicalKeys + 1), colouring,
                   false);
  }
  out += "</svg>";
}

}  // namespace

std::array<KeyPlace, kBoardKeys> keyPlaces(const Board& board) {
  // The keys wider than one unit on the US board, the row they lie on there
  // and their width in key widths.
  struct WideKey {
    int key;
    std::int8_t row;
    double width;
  };
  const WideKey wide[] = {{physicalKeyOf('\\'), kTopRow, 1.5},
                          {physicalKeyOf('\n'), kHomeRow, 2.25},
                          {physicalKeyOf(' '), kThumbRow, 6.25},
                          {kLeftShiftKey, kBottomRow, 2.25},
                          {kRightShiftKey, kBottomRow, 2.75}};
  std::array<KeyPlace, kBoardKeys> places{};
  double left = HUGE_VAL, top = HUGE_VAL;
  for (int k = 0; k < kBoardKeys; ++k) {
    const BoardKey& key = board.keys[static_cast<std::size_t>(k)];
    if (!key.present) continue;
    double width = 1;
    for (const WideKey& w : wide) {
      if (w.key != k || w.row != key.row) continue;
      // As wide as on the US board, but clear of the keys beside it in its
      // row (one unit wide each): a key half a unit from it or closer.
      width = w.width;
      for (const BoardKey& other : board.keys) {
        if (!other.present || &other == &key || std::abs(other.y - key.y) >= 1) continue;
        width = std::min(width, 2 * (std::abs(other.x - key.x) - 0.5));
      }
      width = std::max(width, 1.0);
    }
    KeyPlace& place = places[static_cast<std::size_t>(k)];
    place = {true, key.x - width / 2, key.y - 0.5, width};
    left = std::min(left, place.left);
    top = std::min(top, place.top);
  }
  for (KeyPlace& place : places) {
    if (!place.drawn) continue;
    place.left -= left;
    place.top -= top;
  }
  return places;
}

void appendKeyShape(std::string& out) {
  appendFormat(out, "<rect id=\"key\" x=\"%d\" width=\"%d\" height=\"%d\" rx=\"5\"/>", -kLabelInset,
               kUnit - kGap, kUnit - kGap);
}

double keyShare(const KeyboardPicture& picture, std::size_t slot) {
  if (slot < picture.keys.size()) {
    const KeyCap& key = picture.keys[slot];
    return shareOf(key.presses + key.shiftedPresses, picture.keystrokes);
  }
  return shareOf(slot == kPhysicalKeys ? picture.leftShiftPresses : picture.rightShiftPresses,
                 picture.keystrokes);
}

void appendKeyboard(std::string& out, const KeyboardPicture& picture, double darkestShare,
                    std::string_view caption) {
  appendBoard(out, picture, Colouring{darkestShare, nullptr, 0, false}, caption);
}

void appendDifferenceKeyboard(std::string& out, const KeyboardPicture& picture,
                              const KeyboardPicture& baseline, double widestDifference,
                              std::string_view caption) {
  appendBoard(out, picture, Colouring{0, &baseline, widestDifference, false}, caption);
}

}  // namespace kbeval
