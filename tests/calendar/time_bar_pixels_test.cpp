// The month view's time bars compared pixel by pixel with the plain drawing
// kept here: every period of the day type, in the order of the walk, as its
// bar and its two edges.

#include "calendar/calendar.h"
#include "calendar/calendar_dates.h"
#include "schedule/time_schedule.h"
#include "tests/calendar/recording_surface.h"
#include "tests/schedule/pixel_surface.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace vel {
namespace {

using test::PixelSurface;
using MinutePairs = std::vector<std::pair<int, int>>;

// Wide enough for bars of any 16-bit minute (x 32 + 40c + m * 37 / 1440), or
// for the minutes -2000 to 3000.
PixelSurface MonthSurface(bool wide = true)
{
    return wide ? PixelSurface(-900, 0, 2100, 175) : PixelSurface(-100, 0, 500, 175);
}

// December 2026 with its time bars; the 1st is a Tuesday.
struct Month {
    Month()
    {
        host.Set("Set_Text_Calendar_Month", [](std::span<HostValue>) -> Result<HostValue> { return HostValue{}; });
        host.Set("Draw_ImageList_ListImages", [](std::span<HostValue>) -> Result<HostValue> { return HostValue{}; });
        cal.SetTodayOverride(DayIndexOf(2026, 12, 9));
        cal.m_SelectedYear = 2026;
        cal.m_SelectedMonth = 12;
        cal.m_ShowTimeAxis = -1;
        cal.m_AssociatedTimeSchedule = &schedule;
        cal.RecalculateAndPrepareToPaint(&host, nullptr);
    }
    void Store(int dayOfMonth, std::int16_t v)
    {
        ASSERT_TRUE(cal.SetDayType(cal.m_ActualMonthOffset + dayOfMonth - 1, v).ok());
    }
    void Fill(int dayType, const MinutePairs& periods)
    {
        ASSERT_TRUE(schedule.ClearPeriods(dayType).ok());
        for (auto [a, b] : periods)
            ASSERT_TRUE(
                schedule.AppendPeriod(dayType, static_cast<std::int16_t>(a), static_cast<std::int16_t>(b)).ok());
    }

    cTimeSchedule schedule;
    cCalendar cal;
    testing::RecordingHost host;
};

// The plain drawing of a bar at box column c, row r: x of minute m is
// 32 + 40c + m * 37 / 1440 rounded to the nearest pixel; each period paints
// five lines (greens 240 to 164) from its start's x to its stop's x, then
// grey edges at both.
void DrawBarPlainly(PixelSurface& surface, int column, int row, const MinutePairs& periods)
{
    const double left = 32 + 40 * column;
    const double top = 39 + 25 * row;
    for (auto [start, stop] : periods) {
        const double x1 = left + std::nearbyint(start * 37.0 / 1440.0);
        const double x2 = left + std::nearbyint(stop * 37.0 / 1440.0);
        constexpr std::uint8_t Greens[5] = {240, 221, 202, 183, 164};
        for (int k = 0; k < 5; ++k) surface.DrawLine(x1, top + k, x2, top + k, Rgb{0, Greens[k], 0});
        surface.DrawLine(x1, top, x1, top + 5, Rgb{128, 128, 128});
        surface.DrawLine(x2, top, x2, top + 5, Rgb{128, 128, 128});
    }
}

// Paints the box of `dayOfMonth` whose bar shows `periods` of day type
// `dayType`, and the same box with no periods followed by the plain bar.
void ExpectBoxAsDrawnPlainly(int dayOfMonth, std::int16_t stored, int dayType, const MinutePairs& periods,
                             const std::string& label, bool wide = true)
{
    SCOPED_TRACE(label);
    Month with;
    ASSERT_TRUE(with.schedule.SetActive(static_cast<std::int16_t>(dayType), 1).ok());
    with.Fill(dayType, periods);
    with.Store(dayOfMonth, stored);
    PixelSurface drawn = MonthSurface(wide);
    ASSERT_TRUE(with.cal.PaintDateBox(with.host, drawn, dayOfMonth - 1).ok());

    Month without;
    without.Store(dayOfMonth, stored);
    ASSERT_TRUE(without.schedule.SetActive(static_cast<std::int16_t>(dayType), 1).ok());
    PixelSurface plain = MonthSurface(wide);
    ASSERT_TRUE(without.cal.PaintDateBox(without.host, plain, dayOfMonth - 1).ok());
    const int cell = 1 + dayOfMonth - 1;
    DrawBarPlainly(plain, cell % 7, cell / 7, periods);

    EXPECT_EQ(drawn.FirstDifference(plain), "");
    EXPECT_EQ(drawn.diagonals, 0);
}

std::string Describe(const MinutePairs& v)
{
    std::string out;
    for (auto [a, b] : v) out += "(" + std::to_string(a) + "," + std::to_string(b) + ")";
    return out.size() > 400 ? out.substr(0, 400) + "..." : out;
}

TEST(TimeBarPixels, TrickyListsLookAsDrawnPlainly)
{
    const std::vector<MinutePairs> cases = {
        {{420, 960}},
        {{420, 960}, {500, 600}},
        {{500, 600}, {420, 960}},
        {{420, 720}, {720, 960}},
        {{960, 420}, {0, 0}, {1440, 1440}},
        {{10, 20}, {15, 25}, {20, 30}, {30, 10}}, // several periods within one pixel
        {{-2000, -100}, {1500, 3000}, {-32768, 32767}, {32767, -32768}},
    };
    // Monday the 7th (row 1, column 0) and Sunday the 13th (row 1, column 6).
    for (std::size_t i = 0; i < cases.size(); ++i) {
        ExpectBoxAsDrawnPlainly(7, 0, 0, cases[i], "Monday, case " + std::to_string(i));
        ExpectBoxAsDrawnPlainly(13, 0, 6, cases[i], "Sunday, case " + std::to_string(i));
    }
}

TEST(TimeBarPixels, RandomListsLookAsDrawnPlainly)
{
    std::mt19937 rng(1212);
    auto any = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    struct Shape {
        int rounds, maxCount, minuteLow, minuteHigh, lengthLow, lengthHigh;
        bool wide;
    };
    const Shape shapes[] = {
        {300, 30, 0, 200, -40, 120, false},           // crowded into a few pixels
        {100, 400, 0, 1440, -60, 300, false},         // a day full of overlapping periods
        {30, 12, -32768, 32767, -40000, 40000, true}, // anywhere in the 16-bit range
    };
    for (const Shape& shape : shapes) {
        for (int round = 0; round < shape.rounds; ++round) {
            MinutePairs periods;
            const int n = any(0, shape.maxCount);
            for (int k = 0; k < n; ++k) {
                const int start = any(shape.minuteLow, shape.minuteHigh);
                periods.emplace_back(start, std::clamp(start + any(shape.lengthLow, shape.lengthHigh), -32768, 32767));
            }
            const int day = any(1, 31);
            const int weekday = (1 + day - 1) % 7;
            // Now and then the day stores a special day type the schedule runs.
            if (any(0, 3) == 0)
                ExpectBoxAsDrawnPlainly(day, 9, 8, periods, Describe(periods), shape.wide);
            else
                ExpectBoxAsDrawnPlainly(day, 0, weekday, periods, Describe(periods), shape.wide);
            if (::testing::Test::HasFailure()) return;
        }
    }
}

TEST(TimeBarPixels, TheLargestDayTypeLooksAsDrawnPlainly)
{
    MinutePairs periods;
    for (int k = 0; k < 32767; ++k) {
        const int start = (k * 97) % 1380;
        periods.emplace_back(start, start + 10 + k % 50);
    }
    ExpectBoxAsDrawnPlainly(16, 0, 2, periods, "32767 periods");
}

TEST(TimeBarPixels, APaintedMonthLooksAsItsBoxesPaintedOneByOne)
{
    // The month paints each day type's bar once and reuses it; painting the
    // boxes one by one afterwards, each from the schedule, changes nothing.
    std::mt19937 rng(31);
    auto any = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int round = 0; round < 20; ++round) {
        Month m;
        for (int d = 0; d < 23; ++d) {
            MinutePairs periods;
            for (int k = any(0, 40); k > 0; --k) {
                const int start = any(-200, 1500);
                periods.emplace_back(start, start + any(-100, 400));
            }
            m.Fill(d, periods);
            if (d >= 7) {
                ASSERT_TRUE(m.schedule.SetActive(static_cast<std::int16_t>(d), any(0, 1) ? 1 : 0).ok());
            }
        }
        for (int day = 1; day <= 31; ++day)
            if (any(0, 2) == 0) m.Store(day, static_cast<std::int16_t>(any(1, 23)));
        PixelSurface painted = MonthSurface();
        ASSERT_TRUE(m.cal.Paint(m.host, painted).ok());
        PixelSurface repainted = MonthSurface();
        ASSERT_TRUE(m.cal.Paint(m.host, repainted).ok());
        for (int i = 0; i < 31; ++i) ASSERT_TRUE(m.cal.PaintDateBox(m.host, repainted, i).ok());
        EXPECT_EQ(painted.FirstDifference(repainted), "") << "round " << round;
    }
}

} // namespace
} // namespace vel
