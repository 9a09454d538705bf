// Text made safe for an HTML page: every string that comes from the input
// (file names, paths, jamo and signs, the sample path) passes through here on
// its way into the report, in element content and quoted attribute values
// alike.
//
// & < > " ' become character references, so no input can open a tag, close
// an attribute or start a reference of its own. Bytes that are no part of
// well-formed UTF-8, and control characters (which HTML does not allow in
// text), become U+FFFD, so the page stays valid UTF-8 whatever a file name
// holds. Everything else is copied as it is.
#pragma once

#include <string>
#include <string_view>

namespace kbeval {

void appendHtmlEscaped(std::string& out, std::string_view text);

inline std::string htmlEscaped(std::string_view text) {
  std::string out;
  appendHtmlEscaped(out, text);
  return out;
}

}  // namespace kbeval
