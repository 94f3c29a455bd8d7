#pragma once

// The names of the 23 day types that the schedule editor and the calendar
// month view draw. One table is shared by all views of a program: the program
// creates it, fills it from the suite's texts when it has them, and hands it
// to every schedule (and calendar) it creates. The rename utility leaves all
// texts empty.

#include "base/bytes.h"

#include <array>
#include <cstddef>

namespace vel {

constexpr std::size_t DayTypeCount = 23;

struct DayTypeNameTable {
    // Short label of a day type, drawn in the margin of its axis and in the
    // calendar's day boxes.
    std::array<AnsiText, DayTypeCount> DayTypeShortNames;
    // Full name, drawn centred on an axis when the host asks for it.
    std::array<AnsiText, DayTypeCount> DayTypeNames;
};

} // namespace vel
