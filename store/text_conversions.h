#pragma once

// Turning typed and stored texts into values.

#include "store/bytes.h"

#include <cstdint>

namespace vel {

// A time as the operator types it ("8:30", "0830", "9", "8,5") in minutes of
// the day, bounded to 0..1440. Anything unreadable counts as 0.
std::int16_t TimeTextToMinutes(const AnsiText& text);

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
