// A keyboard description for kbeval-import from arbitrary bytes (every
// <include> reads the same bytes again). Whatever the importer converts, the
// layout file it writes must read back, through kbeval's own loader, into
// exactly the key strings it converted.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "hangul_keyboard.h"
#include "import_command.h"
#include "layout_import.h"
#include "layouts/layout_loader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kbeval;
  const std::string xml(reinterpret_cast<const char*>(data), size);
  import::HangulKeyboard keyboard;
  std::string error;
  const bool read = import::parseHangulKeyboard(
      xml,
      [&xml](const std::string&, std::string& text, std::string&) {
        text = xml;
        return true;
      },
      keyboard, error);
  if (!read) {
    FUZZ_CHECK(keyboard.type.empty() && !error.empty());
    return 0;
  }
  FUZZ_CHECK(!keyboard.type.empty() && error.empty());
  import::ImportedLayout layout;
  if (!import::importKeyboard(keyboard, layout, error)) return 0;

  const std::string text = import::formatLayoutFile(
      layout, {import::describeSource("fuzz/" + keyboard.id + ".xml", keyboard), "Gong3"});
  LayoutRecord loaded;
  applyLayoutText(text, loaded);
  FUZZ_CHECK(loaded.setType == layout.setType);
  FUZZ_CHECK(loaded.fingering == "Gong3");
  FUZZ_CHECK(loaded.initialKeys == layout.initialKeys);
  FUZZ_CHECK(loaded.medialKeys == layout.medialKeys);
  FUZZ_CHECK(loaded.finalKeys == layout.finalKeys);
  FUZZ_CHECK(loaded.signKeys == layout.signKeys);
  FUZZ_CHECK(loaded.symbolKeys == layout.symbolKeys);
  return 0;
}
