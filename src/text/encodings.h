// The encodings kbeval reads and writes, and the text of the character
// tables in each of them.
//
// The tables hold jamo and symbols as KS X 1001 (CP949) two-byte strings; a
// report printed in UTF-8 shows each of them as the UTF-8 form of the same
// character, and everything else (ASCII, file names) byte for byte.
#pragma once

#include <optional>
#include <string_view>

namespace kbeval {

enum class SampleEncoding { johab, utf8 };
enum class OutputEncoding { cp949, utf8 };

// Command-line names, without regard to case: "johab", "utf-8" / "utf8";
// "cp949", "utf-8" / "utf8".
std::optional<SampleEncoding> sampleEncodingNamed(std::string_view name);
std::optional<OutputEncoding> outputEncodingNamed(std::string_view name);

// The UTF-8 form of a KS X 1001 string of the character tables (a jamo of
// row 4, one of the 50 symbols, or ASCII, which stays as it is); nullopt for
// a two-byte code outside those.
std::optional<std::string_view> ksx1001ToUtf8(std::string_view ksx1001);

// A character-table string as a report in `encoding` prints it.
std::string_view displayText(std::string_view ksx1001, OutputEncoding encoding);

}  // namespace kbeval
