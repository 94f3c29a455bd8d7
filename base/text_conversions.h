#pragma once

// Turning typed and stored texts into values.

#include "base/bytes.h"

#include <cstdint>

namespace vel {

// Field `index` (from 0) of a text whose fields are split by `separator`. An
// empty separator on entry is replaced by Tab or ";" when the text holds one,
// and handed back. A field that does not exist, a negative index and any field
// under an empty separator give the empty text.
AnsiText ExtractField(const AnsiText& text, std::int16_t index, AnsiText& separator);

// The number at the start of a text, as the suite reads typed numbers: blanks
// are skipped, "." is the decimal point, reading stops at the first character
// that cannot continue the number; no number gives 0.
double LeadingNumber(std::string_view text);

// Rounds to the nearest whole number, halves to the even neighbour.
double RoundHalfEven(double value);

} // namespace vel
