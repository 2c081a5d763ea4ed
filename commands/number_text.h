#pragma once

// Number-to-text and text-to-number rules of the core conversion commands.
//
// Everything here is independent of the process locale: a desktop toolkit may
// switch LC_NUMERIC to a locale with a decimal comma, and the program's texts
// must not change with it.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/value.h"

namespace kesu::commands {

// The real-number text forms are the runtime's canonical ones.
using kesu::DoubleToText;
using kesu::FormatGeneral;
using kesu::SingleToText;

// Rounds to `places` decimal places (negative places round to tens, hundreds
// ...), adding 1e-12 before halves round up, away from zero.
double RoundToPlaces(double value, int32_t places);

// Fixed decimals and optional thousands separators.
std::string FormatNumber(double value, std::optional<int32_t> places, bool separators);

// An amount of money in Chinese numerals (GBK), with the formal digit table or,
// when `simplified`, the everyday one.
std::string AmountText(double value, bool simplified);

// Reads the longest prefix that the C library's atof would read: white space,
// sign, digits, point, digits, exponent. No number at all gives 0.
double ParseDecimalPrefix(std::string_view text);
// The same for atoi: white space, sign, digits; saturates at the int32 range.
int32_t ParseIntegerPrefix(std::string_view text);

}  // namespace kesu::commands
