// The calendar month view with the largest schedule a profile file can hold
// as its time bars (23 day types of 32767 periods, see largest_schedule.h):
// painting a month, and painting day types onto days with the mouse.
// Target: each within 50 ms.

#include "bench/largest_schedule.h"
#include "bench/view_bench_support.h"
#include "calendar/calendar.h"
#include "calendar/calendar_dates.h"

#include <benchmark/benchmark.h>

namespace {

using vel::bench::CalendarHost;
using vel::bench::PixelSurface;

class MonthView {
public:
    MonthView()
    {
        vel::bench::FillLargestSchedule(schedule);
        calendar.m_AssociatedTimeSchedule = &schedule;
        calendar.m_ShowTimeAxis = -1;
        calendar.SetTodayOverride(vel::DayIndexOf(2026, 12, 9));
        calendar.m_SelectedYear = 2026;
        calendar.m_SelectedMonth = 12;
        calendar.RecalculateAndPrepareToPaint(&host, &surface);
        // Some days with day types of their own, as a calendar has.
        for (int day : {1, 8, 24, 25, 26, 31})
            (void)calendar.SetDayType(calendar.m_ActualMonthOffset + day - 1, static_cast<std::int16_t>(8 + day % 16));
    }

    vel::cTimeSchedule schedule;
    vel::cCalendar calendar;
    CalendarHost host;
    PixelSurface surface{340, 200};
};

void Check(benchmark::State& state, const vel::Status& status)
{
    if (!status.ok()) state.SkipWithError(status.error().message.c_str());
}

// December 2026: 31 days, each with its time bar.
void BM_MonthPaintWithTimeBars(benchmark::State& state)
{
    MonthView v;
    for (auto _ : state) {
        v.surface.Clear();
        Check(state, v.calendar.Paint(v.host, v.surface));
    }
}
BENCHMARK(BM_MonthPaintWithTimeBars)->Unit(benchmark::kMillisecond);

// Centre of the box of day `day` of December 2026 (the 1st is a Tuesday).
float BoxX(int day)
{
    return 30.0F + 40.0F * static_cast<float>(day % 7) + 20.0F;
}
float BoxY(int day)
{
    return 20.0F + 25.0F * static_cast<float>(day / 7) + 12.0F;
}

// A press on the 1st and a drag over the other 30 days of the month: every
// day takes the selected day type and its box is repainted with its bar.
// The selected combo item alternates, so every iteration changes every day.
void BM_MonthPaintDaysWithMouse(benchmark::State& state)
{
    MonthView v;
    bool odd = false;
    for (auto _ : state) {
        odd = !odd;
        v.host.selectedItem = odd ? 3 : 4;
        Check(state, v.calendar.MouseDown(v.host, v.surface, 1, 0, BoxX(1), BoxY(1)));
        for (int day = 2; day <= 31; ++day) v.calendar.MouseMove(v.host, v.surface, 1, 0, BoxX(day), BoxY(day));
        v.calendar.MouseUp(1, 0, BoxX(31), BoxY(31));
    }
}
BENCHMARK(BM_MonthPaintDaysWithMouse)->Unit(benchmark::kMillisecond);

// A press on one day: the day takes the selected day type and its box is
// repainted with its bar.
void BM_MonthPaintOneDayWithMouse(benchmark::State& state)
{
    MonthView v;
    bool odd = false;
    for (auto _ : state) {
        odd = !odd;
        v.host.selectedItem = odd ? 3 : 4;
        Check(state, v.calendar.MouseDown(v.host, v.surface, 1, 0, BoxX(10), BoxY(10)));
        v.calendar.MouseUp(1, 0, BoxX(10), BoxY(10));
    }
}
BENCHMARK(BM_MonthPaintOneDayWithMouse)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
