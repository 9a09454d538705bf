// A layout file from arbitrary bytes. The file read whole, read in pieces
// cut where its own bytes say, and applied as one translated text must give
// the same record; the record must be one a layout file can produce; and the
// key table must build from it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "text/text_mode.h"
#include "fuzz_check.h"
#include "keystrokes/key_table.h"
#include "text/ascii_case.h"
#include "layouts/layout_loader.h"

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
