// Number readings and number text shared by the command line and the settings file:
// strict and leading-numeric parsing, round-half-even, and " 1" / "-1" text.
#pragma once

#include "startup/rounding.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// The whole text as one number: blanks around it, a sign, digits with an optional
// fraction and exponent. Anything else (including empty text) is not a number.
std::optional<double> parseNumber(std::string_view text);

// The leading numeric part of the text; blanks anywhere are skipped, the first other
// character ends the number, and text without a leading number gives 0.
double leadingNumber(std::string_view text);

// The integer part towards minus infinity; nullopt when it does not fit, as an overflow would.
// The rounding conversions (roundToInt16, roundToInt32) are in startup/rounding.h.
std::optional<std::int16_t> integerPartToInt16(double value);

// Decimal digits with a leading blank for zero and positive values, "-" for negative.
std::string numberText(std::int32_t value);

} // namespace velmora
