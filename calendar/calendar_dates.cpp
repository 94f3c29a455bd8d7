#include "calendar/calendar_dates.h"

#include <ctime>

namespace vel {

namespace {

std::int64_t FloorDiv(std::int64_t a, std::int64_t b)
{
    std::int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

// Days since 1970-01-01 of a proleptic Gregorian date (month 1..12).
std::int64_t DaysFromCivil(std::int64_t y, std::int64_t m, std::int64_t d)
{
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = FloorDiv(y, 400);
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

CivilDate CivilFromDays(std::int64_t z)
{
    z += 719468;
    const std::int64_t era = FloorDiv(z, 146097);
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const std::int64_t d = doy - (153 * mp + 2) / 5 + 1;
    const std::int64_t m = mp < 10 ? mp + 3 : mp - 9;
    CivilDate date;
    date.year = yoe + era * 400 + (m <= 2 ? 1 : 0);
    date.month = static_cast<std::int32_t>(m);
    date.day = static_cast<std::int32_t>(d);
    return date;
}

const std::int64_t EpochOfCalendar = DaysFromCivil(2000, 1, 1);

} // namespace

std::int64_t DayIndexOf(std::int64_t year, std::int64_t month, std::int64_t day)
{
    const std::int64_t m0 = month - 1;
    const std::int64_t y = year + FloorDiv(m0, 12);
    const std::int64_t m = m0 - FloorDiv(m0, 12) * 12 + 1;
    // Day overflow is plain addition to the first of the month.
    return DaysFromCivil(y, m, 1) + (day - 1) - EpochOfCalendar;
}

std::int32_t WeekdayOfDayIndex(std::int64_t dayIndex)
{
    // Day index 0 is a Saturday (5).
    return static_cast<std::int32_t>(((dayIndex + 5) % 7 + 7) % 7);
}

std::int32_t DaysInMonth(std::int64_t year, std::int64_t month)
{
    return static_cast<std::int32_t>(DayIndexOf(year, month + 1, 1) - DayIndexOf(year, month, 1));
}

CivilDate DateOfDayIndex(std::int64_t dayIndex)
{
    return CivilFromDays(dayIndex + EpochOfCalendar);
}

std::int32_t IsoWeekOfDayIndex(std::int64_t dayIndex)
{
    // The Thursday of the date's week decides the week's year.
    const std::int64_t thursday = dayIndex - WeekdayOfDayIndex(dayIndex) + 3;
    const CivilDate t = DateOfDayIndex(thursday);
    const std::int64_t firstOfYear = DayIndexOf(t.year, 1, 1);
    return static_cast<std::int32_t>((thursday - firstOfYear) / 7 + 1);
}

std::int64_t TodaysDayIndex()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_r(&now, &local) == nullptr) {
        // No local time available: take the date of universal time.
        return FloorDiv(static_cast<std::int64_t>(now), 86400) - EpochOfCalendar;
    }
    return DayIndexOf(local.tm_year + 1900LL, local.tm_mon + 1LL, local.tm_mday);
}

} // namespace vel
