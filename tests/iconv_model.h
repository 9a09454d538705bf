// The yardsticks of the encoding tests: glibc's iconv, as the iconv program
// and as iconv(3). What kbeval reads and prints in UTF-8 is defined as what
// these make of its Johab and CP949 forms.
#pragma once

#include <iconv.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "temp_directory.h"

namespace kbeval::testing {

// `bytes` converted whole by iconv(3), or nothing when any of it does not convert.
inline std::optional<std::string> iconvConvert(const char* from, const char* to,
                                               std::string_view bytes) {
  const iconv_t converter = iconv_open(to, from);
  if (converter == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string in(bytes);
  std::string out(in.size() * 4 + 16, '\0');
  char* inPointer = in.data();
  std::size_t inLeft = in.size();
  char* outPointer = out.data();
  std::size_t outLeft = out.size();
  const std::size_t result = iconv(converter, &inPointer, &inLeft, &outPointer, &outLeft);
  iconv_close(converter);
  if (result == static_cast<std::size_t>(-1)) return std::nullopt;
  out.resize(out.size() - outLeft);
  return out;
}

// The iconv program's standard output for `arguments` and `input` (given as
// its last argument, a file in a fresh directory).
inline std::string iconvProgram(std::vector<std::string> arguments, std::string_view input) {
  TempDirectory directory;
  arguments.push_back(directory.write("input", input));
  return runProgram(directory, "/usr/bin/iconv", arguments).output;
}

inline bool haveIconvProgram() {
  return ::access("/usr/bin/iconv", X_OK) == 0;
}

}  // namespace kbeval::testing
