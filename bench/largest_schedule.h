#pragma once

// The schedules the editor and month-view benchmarks and the host-program
// measurements work on. Both have all 23 day types active and grouped and
// use the calendar, so the editor paints 23 axes and a release copies the
// edited day type to 22 others:
// - the largest a profile file can hold: 32767 periods in every day type,
//   all inside 00:00 to 24:00 with start <= stop, overlapping one another as
//   a schedule that was never merged does (a file can hold that);
// - a small one with the same flags and three periods a day.

#include "schedule/time_schedule.h"

#include <cstddef>
#include <cstdint>

namespace vel::bench {

constexpr std::size_t LargestPeriodsPerDayType = MaxPeriodsPerDayType;

// Period k of day type d in the largest schedule.
inline cTimeSchedulePeriod LargestPeriod(std::size_t d, std::size_t k)
{
    cTimeSchedulePeriod p;
    const auto start = static_cast<std::int32_t>((k * 97 + d * 13) % 1380);
    p.m_StartMinute = static_cast<std::int16_t>(start);
    p.m_StopMinute = static_cast<std::int16_t>(start + 10 + static_cast<std::int32_t>(k % 50));
    return p;
}

inline void SetAllActiveAndGrouped(cTimeSchedule& s)
{
    s.m_UseCalendar = -1;
    for (std::size_t d = 0; d < DayTypeCount; ++d) {
        s.m_DayTypeActive[d] = -1;
        s.m_DayTypeGrouped[d] = -1;
    }
}

// Fills an empty schedule as the largest one; `periods` lowers the count of
// every day type (for quicker set-ups of the same shape).
inline void FillLargestSchedule(cTimeSchedule& s, std::size_t periods = LargestPeriodsPerDayType)
{
    SetAllActiveAndGrouped(s);
    for (std::size_t d = 0; d < DayTypeCount; ++d) {
        for (std::size_t k = 0; k < periods; ++k) {
            const cTimeSchedulePeriod p = LargestPeriod(d, k);
            (void)s.AppendPeriod(static_cast<std::int32_t>(d), p.m_StartMinute, p.m_StopMinute);
        }
    }
}

// Fills an empty schedule as the small one: 06:00-08:00, 12:00-13:00 and
// 17:30-22:00 on every day type.
inline void FillSmallSchedule(cTimeSchedule& s)
{
    SetAllActiveAndGrouped(s);
    for (std::int32_t d = 0; d < static_cast<std::int32_t>(DayTypeCount); ++d) {
        (void)s.AppendPeriod(d, 360, 480);
        (void)s.AppendPeriod(d, 720, 780);
        (void)s.AppendPeriod(d, 1050, 1320);
    }
}

} // namespace vel::bench
