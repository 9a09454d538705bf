// The small case the command-line tests run on: two layouts that type the
// same short sample, a 3-set one listed before a 2-set one, and a layout file
// with no set type.
//   a3 (3-set, Gong3): ㄱ k, ㅏ f, final ㄱ x, "7" 6, "?" Z
//   b2 (2-set, Qwerty): ㄱ r, ㅏ k, final ㄱ r, "?" ?
//   c0: no set type, read but not evaluated
// The sample 가각 7? CR LF (9 bytes) gives the key streams
//   b2: r k r k r SPACE 0x18 ? LF    (no keys for "7": one untreated character)
//   a3: k f k f x SPACE 6 Z LF
#pragma once

#include "temp_directory.h"

namespace kbeval::testing {

inline void writeSmallCase(const TempDirectory& dir) {
  dir.write("keyboard/a3.txt",
            "set type:3\nfingering:gong 3\n1\t\xA4\xA1\tk\n2\t\xA4\xBF\tf\n3\t\xA4\xA1\tx\n"
            "4\t7\t6\n4\t?\tZ\n");
  dir.write("keyboard/b2.txt",
            "set type:2\n1\t\xA4\xA1\tr\n2\t\xA4\xBF\tk\n3\t\xA4\xA1\tr\n4\t?\t?\n");
  dir.write("keyboard/c0.txt", "1\t\xA4\xA1\tq\n");
  dir.write("sample.txt", "\x88\x61\x88\x62 7?\r\n");
}

}  // namespace kbeval::testing
