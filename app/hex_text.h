// Hexadecimal text: the radix conversion routine and the parser that turns the send box, the
// trigger condition and the reply into bytes.
#pragma once

#include <cstdint>

#include "app/owned_value.h"

namespace kesu::app {

// The two error texts of ConvertRadix.
extern const char* const kRadixBaseError;  // "参数错误-进制只能在2-36之间"

// Rewrites the number `text`, written in base `fromBase`, in base `toBase` (both 2 to 36), with
// no limit on its length. After the base check `text` is replaced by its normalised form
// (half-width, upper case), which the caller sees. The result is the converted number without
// leading zeros, the normalised text itself when the bases are equal, or an error text.
OwnedText ConvertRadix(OwnedText& text, int32_t fromBase, int32_t toBase);

// Splits the text at every blank and turns each token, read as hexadecimal, into one byte: the
// token's value modulo 256, or 0 for an empty token or one that is no hexadecimal number. An
// empty text gives the empty byte set.
OwnedBytes ParseHexText(const char* text);

}  // namespace kesu::app
