// A layout file from arbitrary bytes. The file read whole, read in pieces
// cut where its own bytes say, and applied as one translated text must give
// the same record; the record must be one a layout file can produce; and the
// key table must build from it. When iconv can convert the file from CP949
// to UTF-8, the UTF-8 file must read into the same record.
#include <iconv.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "fuzz_check.h"
#include "keystrokes/key_table.h"
#include "layouts/layout_loader.h"
#include "text/ascii_case.h"
#include "text/text_mode.h"
#include "text/utf8.h"

namespace {

using namespace kbeval;

LayoutRecord readInPieces(const char* bytes, std::size_t size, bool cut) {
  LayoutRecord layout;
  LayoutFileReader reader;
  std::size_t at = 0;
  while (at < size) {
    // Piece lengths of 1 to 32 taken from the bytes themselves.
    const std::size_t piece = cut ? 1 + static_cast<unsigned char>(bytes[at]) % 32 : size;
    const std::size_t length = std::min(piece, size - at);
    if (!readLayoutBytes(reader, bytes + at, length, layout)) break;
    at += length;
  }
  finishLayoutBytes(reader, layout);
  return layout;
}

void checkKeyString(const std::string& keys) {
  // A key string lies inside one line piece of at most 299 bytes, after at
  // least "N<TAB>J<TAB>".
  FUZZ_CHECK(keys.size() <= 295);
  FUZZ_CHECK(keys.find('\n') == std::string::npos);
  FUZZ_CHECK(keys.find('\0') == std::string::npos);
  FUZZ_CHECK(keys.find('\x1A') == std::string::npos);
}

// Codes without a name (fill codes, unassigned codes) cannot be given keys.
template <std::size_t N>
void checkTable(const std::array<std::string, N>& keys,
                const std::array<std::string_view, N>& names) {
  for (std::size_t i = 0; i < N; ++i) {
    checkKeyString(keys[i]);
    if (names[i].empty()) FUZZ_CHECK(keys[i].empty());
  }
}

// The file as `iconv -f CP949 -t UTF-8` converts it, if it can.
std::optional<std::string> inUtf8(const char* bytes, std::size_t size) {
  static const iconv_t converter = iconv_open("UTF-8", "CP949");
  FUZZ_CHECK(converter != reinterpret_cast<iconv_t>(-1));
  iconv(converter, nullptr, nullptr, nullptr, nullptr);
  std::string in(bytes, size), out(size * 3 + 8, '\0');
  char* inPointer = in.data();
  char* outPointer = out.data();
  std::size_t inLeft = in.size(), outLeft = out.size();
  if (iconv(converter, &inPointer, &inLeft, &outPointer, &outLeft) == static_cast<std::size_t>(-1))
    return std::nullopt;
  out.resize(out.size() - outLeft);
  return out;
}

// Whether the file, read as CP949, holds a line that is read as UTF-8 (well
// formed, with more than ASCII), or begins with a byte-order mark: those
// are read as UTF-8 before any conversion.
bool readsAsUtf8Anywhere(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) return true;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size() - 1) + 1;
    const std::string_view line = text.substr(0, end);
    const bool ascii = std::all_of(line.begin(), line.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (!ascii && isValidUtf8(line)) return true;
    text.remove_prefix(end);
  }
  return false;
}

bool isAcceptedFingering(const std::string& name) {
  if (name == "Qwerty" || name == "Unknown") return true;
  const bool known = equalsIgnoringCase(name, "Pyojun") || equalsIgnoringCase(name, "Gong") ||
                     equalsIgnoringCase(name, "Gong3");
  return known && !(name[0] >= 'a' && name[0] <= 'z');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const char* bytes = reinterpret_cast<const char*>(data);
  const LayoutRecord whole = readInPieces(bytes, size, false);
  FUZZ_CHECK(readInPieces(bytes, size, true) == whole);

  TextModeState mode;
  std::string text;
  translateTextMode(mode, bytes, size, text);
  finishTextMode(mode, text);
  LayoutRecord applied;
  applyLayoutText(text, applied);
  FUZZ_CHECK(applied == whole);

  if (const auto utf8 = inUtf8(bytes, size); utf8 && !readsAsUtf8Anywhere(text)) {
    FUZZ_CHECK(readInPieces(utf8->data(), utf8->size(), true) == whole);
  }

  FUZZ_CHECK(whole.fileName.empty());
  FUZZ_CHECK(isAcceptedFingering(whole.fingering));
  checkTable(whole.initialKeys, InitialNames);
  checkTable(whole.medialKeys, MedialNames);
  checkTable(whole.finalKeys, FinalNames);
  for (const std::string& keys : whole.signKeys) checkKeyString(keys);
  for (const std::string& keys : whole.symbolKeys) checkKeyString(keys);
  // Row 48 is named "?", which a file always gives as a sign.
  FUZZ_CHECK(whole.symbolKeys[48].empty());

  KeyTable keys{};
  setupKeyTable(whole, keys);
  for (int byte = 128; byte < 256; ++byte) {
    FUZZ_CHECK(keys[byte].finger == 0 && keys[byte].shift == 0);
  }
  return 0;
}
