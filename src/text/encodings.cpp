#include "text/encodings.h"

#include <array>
#include <cstdint>

#include "text/ascii_case.h"

namespace kbeval {

namespace {

struct Utf8Bytes {
  char bytes[4] = {};
  std::uint8_t length = 0;

  constexpr std::string_view view() const { return {bytes, length}; }
};

constexpr Utf8Bytes encodeUtf8(char32_t c) {
  Utf8Bytes u;
  if (c < 0x80) {
    u.bytes[0] = static_cast<char>(c);
    u.length = 1;
  } else if (c < 0x800) {
    u.bytes[0] = static_cast<char>(0xC0 | (c >> 6));
    u.bytes[1] = static_cast<char>(0x80 | (c & 0x3F));
    u.length = 2;
  } else {
    u.bytes[0] = static_cast<char>(0xE0 | (c >> 12));
    u.bytes[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    u.bytes[2] = static_cast<char>(0x80 | (c & 0x3F));
    u.length = 3;
  }
  return u;
}

// KS X 1001 row 4 holds the compatibility jamo in Unicode's order:
// 0xA4A1..0xA4FE are U+3131..U+318E.
constexpr int kJamoRowLength = 94;
constexpr std::array<Utf8Bytes, kJamoRowLength> makeJamoRow() {
  std::array<Utf8Bytes, kJamoRowLength> row{};
  for (int i = 0; i < kJamoRowLength; ++i) row[i] = encodeUtf8(0x3131 + i);
  return row;
}
constexpr std::array<Utf8Bytes, kJamoRowLength> kJamoRow = makeJamoRow();

// The two-byte symbols of the symbol table, by their KS X 1001 code.
struct SymbolChar {
  std::uint16_t ksx1001;
  char32_t unicode;
};
constexpr SymbolChar kSymbolChars[] = {
    {0xA1A4, 0x00B7}, {0xA1A6, 0x2026}, {0xA1A8, 0x3003}, {0xA1AA, 0x2015}, {0xA1AE, 0x2018},
    {0xA1AF, 0x2019}, {0xA1B0, 0x201C}, {0xA1B1, 0x201D}, {0xA1D8, 0x203B}, {0xA1B4, 0x3008},
    {0xA1B5, 0x3009}, {0xA1B6, 0x300A}, {0xA1B7, 0x300B}, {0xA1B8, 0x300C}, {0xA1B9, 0x300D},
    {0xA1BA, 0x300E}, {0xA1BB, 0x300F}, {0xA1BC, 0x3010}, {0xA1BD, 0x3011}, {0xA1BE, 0x00B1},
    {0xA1BF, 0x00D7}, {0xA1C0, 0x00F7}, {0xA1C1, 0x2260}, {0xA1C6, 0x00B0}, {0xA1C7, 0x2032},
    {0xA1C8, 0x2033}, {0xA1C9, 0x2103}, {0xA2B5, 0x2109}, {0xA2E2, 0x2122}, {0xA1DB, 0x25CB},
    {0xA1E0, 0x25A1}, {0xA1E2, 0x25B3}, {0xA1E4, 0x25BD}, {0xA2B7, 0x25C1}, {0xA2B9, 0x25B7},
    {0xA1E6, 0x2192}, {0xA1E7, 0x2190}, {0xA1E8, 0x2191}, {0xA1E9, 0x2193}, {0xA1EA, 0x2194},
    {0xA1D9, 0x2606}, {0xA2BD, 0x2661}, {0xA2CF, 0x260E}, {0xA2D0, 0x261C}, {0xA2D1, 0x261E},
    {0xA1CD, 0xFFE5}, {0xA2E6, 0x20AC}, {0xA2E7, 0x00AE}, {0xA8CF, 0x24D2},
};
constexpr int kSymbolCharCount = sizeof kSymbolChars / sizeof kSymbolChars[0];

constexpr std::array<Utf8Bytes, kSymbolCharCount> makeSymbolUtf8() {
  std::array<Utf8Bytes, kSymbolCharCount> utf8{};
  for (int i = 0; i < kSymbolCharCount; ++i) utf8[i] = encodeUtf8(kSymbolChars[i].unicode);
  return utf8;
}
constexpr std::array<Utf8Bytes, kSymbolCharCount> kSymbolUtf8 = makeSymbolUtf8();

bool isAscii(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

}  // namespace

std::optional<SampleEncoding> sampleEncodingNamed(std::string_view name) {
  if (equalsIgnoringCase(name, "johab")) return SampleEncoding::johab;
  if (equalsIgnoringCase(name, "utf-8") || equalsIgnoringCase(name, "utf8"))
    return SampleEncoding::utf8;
  return std::nullopt;
}

std::optional<OutputEncoding> outputEncodingNamed(std::string_view name) {
  if (equalsIgnoringCase(name, "cp949")) return OutputEncoding::cp949;
  if (equalsIgnoringCase(name, "utf-8") || equalsIgnoringCase(name, "utf8"))
    return OutputEncoding::utf8;
  return std::nullopt;
}

std::optional<std::string_view> ksx1001ToUtf8(std::string_view ksx1001) {
  if (isAscii(ksx1001)) return ksx1001;
  if (ksx1001.size() != 2) return std::nullopt;
  const auto b1 = static_cast<unsigned char>(ksx1001[0]);
  const auto b2 = static_cast<unsigned char>(ksx1001[1]);
  if (b1 == 0xA4 && b2 >= 0xA1 && b2 <= 0xFE) return kJamoRow[b2 - 0xA1].view();
  const auto code = static_cast<std::uint16_t>(b1 << 8 | b2);
  for (int i = 0; i < kSymbolCharCount; ++i) {
    if (kSymbolChars[i].ksx1001 == code) return kSymbolUtf8[i].view();
  }
  return std::nullopt;
}

std::string_view displayText(std::string_view ksx1001, OutputEncoding encoding) {
  if (encoding == OutputEncoding::cp949) return ksx1001;
  return ksx1001ToUtf8(ksx1001).value_or(ksx1001);
}

}  // namespace kbeval
