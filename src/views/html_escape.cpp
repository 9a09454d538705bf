#include "views/html_escape.h"

#include "text/utf8.h"

namespace kbeval {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// C0 and C1 controls and DEL; tab and line feed are whitespace in HTML, but
// in a file name they are as suspect as the rest.
constexpr bool isControl(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

}  // namespace

void appendHtmlEscaped(std::string& out, std::string_view text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t at = 0;
  while (at < text.size()) {
    const Utf8Char c = decodeUtf8Char(bytes + at, text.size() - at);
    if (c.status != Utf8Status::ok) {
      out += kReplacement;
      ++at;
      continue;
    }
    switch (c.codePoint) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        if (isControl(c.codePoint)) {
          out += kReplacement;
        } else {
          out.append(text.substr(at, static_cast<std::size_t>(c.length)));
        }
    }
    at += static_cast<std::size_t>(c.length);
  }
}

}  // namespace kbeval
