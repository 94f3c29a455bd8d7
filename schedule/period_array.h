#pragma once

// The two-character form of a 16-bit integer on which the period array (the
// text form of a schedule) rests: the high byte first, then the low byte, each
// as one character whose code is the byte value (0 included).

#include "base/bytes.h"
#include "base/result.h"

#include <cstdint>
#include <string_view>

namespace vel {

// -1 -> two characters of code 255; 420 -> codes 1 and 164.
AnsiText IntegerToChars(std::int16_t value);

// Codes a, b of the first two characters give a * 256 + b, less 65536 from
// 32768 on. Characters after the second are ignored; fewer than two is an
// InvalidArgument error.
Result<std::int16_t> CharsToInteger(std::string_view chars);

} // namespace vel
