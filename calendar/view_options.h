#pragma once

// The command line of VelCalendarView (no Qt here, so that it can be tested
// on its own):
//
//   VelCalendarView [--calendar FILE] [--profile FILE] [--show-time-axis]
//                   [--year Y --month M] [--today YYYY-MM-DD]
//                   [--screenshot OUT.png]
//   VelCalendarView --calendar FILE [--set YYYY-MM-DD=DAYTYPE]... --save
//
// --calendar   the calendar file shown and edited (read when it exists;
//              the Save button writes it)
// --profile    a route profile file whose time schedule the month view draws
// --today      today's date instead of the system date
// --screenshot renders the drawing surface alone to a PNG and exits
// --set        gives a day the stored day type DAYTYPE, 0 to 23 (0 no entry,
//              1 to 7 Monday to Sunday, 8 to 23 the special day types 1 to
//              16); a date of 2000-01-01 to 2039-12-31, each date once
// --save       sets the days of --set in the calendar file (a missing file is
//              made), saves it and exits without a window; it goes with
//              --calendar and --set only, and --set only with it

#include "base/result.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vel {

// A day of --set: its day index and the stored day type.
struct DaySetting {
    std::int32_t dayIndex = 0;
    std::int16_t dayType = 0;
};

// The stored day types --set takes: 0 (no entry) to 23.
constexpr std::int32_t MaxStoredDayType = 23;

struct CalendarViewOptions {
    std::string calendarFile;
    std::string profileFile;
    bool showTimeAxis = false;
    std::optional<std::int32_t> year;
    std::optional<std::int32_t> month;
    std::optional<std::int32_t> todayDayIndex; // day index of --today
    std::string screenshotFile;
    std::vector<DaySetting> settings; // --set, in the order given
    bool save = false;                // --save
    bool help = false;
};

// args: the arguments without the program's name. An error (InvalidArgument)
// says what is wrong with them.
Result<CalendarViewOptions> ParseCalendarViewOptions(const std::vector<std::string>& args);

std::string CalendarViewUsage();

// The month to show first: the one given, else the month of today.
struct YearMonth {
    std::int32_t year = 2000;
    std::int32_t month = 1;
};
YearMonth FirstMonthToShow(const CalendarViewOptions& options, std::int64_t todayDayIndex);

// Months the view can show: those of 2000-01 to 2039-12.
bool MonthInCalendar(std::int64_t year, std::int64_t month);

} // namespace vel
