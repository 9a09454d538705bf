// Test helpers: write expected jamo readably in UTF-8 and build Johab syllables.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace kbeval::testing {

// UTF-8 text whose Hangul compatibility jamo (U+3131..U+3163) become their
// KS X 1001 bytes: that block maps one for one onto 0xA4A1..0xA4D3.
// ASCII passes through; anything else is a mistake in the test itself.
inline std::string ks(std::string_view utf8) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto b0 = static_cast<unsigned char>(utf8[i]);
    if (b0 < 0x80) {
      out += static_cast<char>(b0);
      ++i;
      continue;
    }
    if ((b0 & 0xF0) != 0xE0 || i + 2 >= utf8.size()) {
      std::fprintf(stderr, "ks(): unsupported text\n");
      std::abort();
    }
    const int cp = ((b0 & 0x0F) << 12) | ((static_cast<unsigned char>(utf8[i + 1]) & 0x3F) << 6) |
                   (static_cast<unsigned char>(utf8[i + 2]) & 0x3F);
    if (cp < 0x3131 || cp > 0x3163) {
      std::fprintf(stderr, "ks(): not a compatibility jamo\n");
      std::abort();
    }
    out += static_cast<char>(0xA4);
    out += static_cast<char>(0xA1 + (cp - 0x3131));
    i += 3;
  }
  return out;
}

// Space-separated UTF-8 labels, each turned into KS X 1001.
inline std::vector<std::string> ksWords(std::string_view utf8) {
  std::vector<std::string> words;
  std::size_t start = 0;
  while (start <= utf8.size()) {
    std::size_t end = utf8.find(' ', start);
    if (end == std::string_view::npos) end = utf8.size();
    if (end > start) words.push_back(ks(utf8.substr(start, end - start)));
    start = end + 1;
  }
  return words;
}

// The two Johab bytes of a syllable from its initial, medial and final codes.
inline std::string johab(int initial, int medial, int final) {
  std::string bytes;
  bytes += static_cast<char>(0x80 | (initial << 2) | (medial >> 3));
  bytes += static_cast<char>(((medial & 7) << 5) | final);
  return bytes;
}

// Everything a print function writes to its FILE*.
template <typename Print>
std::string capture(Print print) {
  char* buffer = nullptr;
  std::size_t size = 0;
  std::FILE* out = open_memstream(&buffer, &size);
  if (out == nullptr) std::abort();
  print(out);
  std::fclose(out);
  std::string text(buffer, size);
  std::free(buffer);
  return text;
}

}  // namespace kbeval::testing
