#pragma once

// Times of the day as the schedule editor shows them and as the operator
// types them into its period texts.

#include "base/bytes.h"

#include <cstdint>

namespace vel {

// A minute count as the view shows it: two-digit hour, ":", two-digit minute
// (0 -> "00:00", 425 -> "07:05", 1440 -> "24:00").
AnsiText MinutesToTimeText(std::int32_t minutes);

// A time as the operator types it ("8:30", "0830", "9", "8,5") in minutes of
// the day, bounded to 0..1440. Anything unreadable counts as 0.
std::int16_t TimeTextToMinutes(const AnsiText& text);

} // namespace vel
