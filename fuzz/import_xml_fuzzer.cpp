// A keyboard description for kbeval-import from arbitrary bytes (every
// <include> reads the same bytes again). Whatever the importer converts, the
// layout file it writes must read back, through kbeval's own loader, into
// exactly the key strings it converted.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "fuzz_check.h"
#include "hangul_keyboard.h"
#include "import_command.h"
#include "layout_import.h"
#include "layouts/layout_loader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kbeval;
  const std::string xml(reinterpret_cast<const char*>(data), size);
  const auto read =
      import::parseHangulKeyboard(xml, [&xml](const std::string&, std::string& text, std::string&) {
        text = xml;
        return true;
      });
  if (read.failure != import::ReadFailure::None) {
    FUZZ_CHECK(!read.keyboard && !read.message.empty());
    return 0;
  }
  FUZZ_CHECK(read.keyboard.has_value());
  const import::ImportResult imported = import::importKeyboard(*read.keyboard);
  if (!imported.refusal.empty()) return 0;

  const import::ImportedLayout& layout = imported.layout;
  const std::string text = import::formatLayoutFile(
      layout,
      {import::describeSource("fuzz/" + read.keyboard->id + ".xml", *read.keyboard), "Gong3"});
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
