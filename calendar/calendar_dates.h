#pragma once

// Dates of the calendar: a date is addressed by its day index, the number of
// days since 2000-01-01. The calendar's table covers day indexes 0 to 14609
// (2000-01-01 to 2039-12-31).

#include <cstdint>

namespace vel {

constexpr std::int32_t CalendarDays = 14610;
constexpr std::int32_t CalendarFirstYear = 2000;
constexpr std::int32_t CalendarLastYear = 2039;

// Day index of (year, month, day) with calendar normalisation: month 13 is
// January of the next year, month 0 December of the year before, day 0 the
// last day of the month before. Dates before 2000-01-01 give negative values.
std::int64_t DayIndexOf(std::int64_t year, std::int64_t month, std::int64_t day);

// Weekday of a day index, 0 = Monday to 6 = Sunday (2000-01-01 was a Saturday).
std::int32_t WeekdayOfDayIndex(std::int64_t dayIndex);

// Number of days of (year, month), with the same normalisation of the month.
std::int32_t DaysInMonth(std::int64_t year, std::int64_t month);

struct CivilDate {
    std::int64_t year = 2000;
    std::int32_t month = 1;
    std::int32_t day = 1;
};

CivilDate DateOfDayIndex(std::int64_t dayIndex);

// Week of the year after ISO 8601: weeks start on Monday, week 1 is the week
// that holds the year's first Thursday. 1 to 53.
std::int32_t IsoWeekOfDayIndex(std::int64_t dayIndex);

// Day index of the current date of the system's local time.
std::int64_t TodaysDayIndex();

} // namespace vel
