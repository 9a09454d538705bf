// How keys are named when they are shown: the key itself, and what it types
// on a layout.
#pragma once

#include <span>
#include <string>

#include "layouts/key_outputs.h"
#include "text/encodings.h"

namespace kbeval {

// A printable ASCII key as itself, "Space", "Enter", any other byte as "0xNN".
std::string keyName(unsigned char key);

// What a key types by itself, in `encoding`: its jamo, digits, signs and
// symbols separated by spaces. A jamo stands alone when the key types it as
// an initial (on a 2-set layout the same key types the final too) and gets
// "(final)" when the key types it only as a final: "ㄱ", "ㄱ(final)". Empty
// when the key types nothing by itself.
std::string keyLabel(std::span<const KeyOutput> outputs, OutputEncoding encoding);

// A key with what it types, as lists of key pairs show it: "d ㅇ"; a key that
// types only its own sign, or nothing by itself, by its name alone: "0", "/".
std::string keyWithLabel(unsigned char key, std::span<const KeyOutput> outputs,
                         OutputEncoding encoding);

}  // namespace kbeval
