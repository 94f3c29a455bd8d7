// The editor's axes compared pixel by pixel with the plain drawing kept here:
// every period of the list, in list order, as its bar and its two edges.

#include "schedule/time_schedule.h"

#include "tests/schedule/pixel_surface.h"
#include "tests/schedule/schedule_test_support.h"

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
using test::RecordingHost;
using MinutePairs = std::vector<std::pair<int, int>>;

// Wide enough for bars of any 16-bit minute (x 30 + m / 5), or for the
// minutes -100 to 1900.
PixelSurface AxisSurface(bool wide)
{
    return wide ? PixelSurface(-6600, 0, 13300, 30) : PixelSurface(0, 0, 420, 30);
}

// A schedule showing Monday alone on axis 0, not grouped (the group marker
// is drawn after the bars), holding `periods`; `selected` is the index of
// the selected period or -1.
struct Axis {
    Axis(const MinutePairs& periods, int selected)
    {
        host.AcceptEditorMembers();
        DrawingSurface* variable = nullptr;
        PixelSurface unused = AxisSurface(false);
        EXPECT_TRUE(s.RecalculateAndPrepareToPaint(host, variable, &unused).ok());
        const cTimeSchedulePeriod* chosen = nullptr;
        for (std::size_t i = 0; i < periods.size(); ++i) {
            auto p = s.AppendPeriod(0, static_cast<std::int16_t>(periods[i].first),
                                    static_cast<std::int16_t>(periods[i].second));
            if (static_cast<int>(i) == selected) chosen = *p;
        }
        EXPECT_TRUE(s.Select(0, chosen).ok());
    }
    RecordingHost host;
    cTimeSchedule s;
};

// The plain drawing: x of minute m is 30 + m / 5 rounded to the nearest
// pixel; each period in list order paints 15 bar lines (greens 240 to 142, 64
// darker for the selected period) from its start's x to the x of stop + 1,
// then a black edge down at both.
void DrawPlainly(PixelSurface& surface, const MinutePairs& periods, int selected)
{
    auto x = [](int minute) { return 30.0 + std::nearbyint(minute / 5.0); };
    for (std::size_t i = 0; i < periods.size(); ++i) {
        const double x1 = x(periods[i].first);
        const double x2 = x(periods[i].second + 1);
        const int shade = static_cast<int>(i) == selected ? 64 : 0;
        constexpr int Greens[15] = {240, 233, 226, 219, 212, 205, 198, 191, 184, 177, 170, 163, 156, 149, 142};
        for (int j = 0; j < 15; ++j)
            surface.DrawLine(x1, 4 + j, x2, 4 + j, Rgb{0, static_cast<std::uint8_t>(Greens[j] - shade), 0});
        surface.DrawLine(x1, 4, x1, 19, RgbBlack);
        surface.DrawLine(x2, 4, x2, 19, RgbBlack);
    }
}

// Paints Monday's axis through the editor, and the same axis without periods
// followed by the plain drawing, and compares the two pictures.
void ExpectAxisAsDrawnPlainly(const MinutePairs& periods, int selected, const std::string& label, bool wide = true)
{
    SCOPED_TRACE(label);
    Axis withPeriods(periods, selected);
    PixelSurface drawn = AxisSurface(wide);
    ASSERT_TRUE(cTimeScheduleTestAccess::PaintAxis(withPeriods.s, withPeriods.host, &drawn, 0).ok());

    Axis empty({}, -1);
    PixelSurface plain = AxisSurface(wide);
    ASSERT_TRUE(cTimeScheduleTestAccess::PaintAxis(empty.s, empty.host, &plain, 0).ok());
    DrawPlainly(plain, periods, selected);

    EXPECT_EQ(drawn.FirstDifference(plain), "");
    EXPECT_EQ(drawn.diagonals, 0);
}

std::string Describe(const MinutePairs& v)
{
    std::string out;
    for (auto [a, b] : v) out += "(" + std::to_string(a) + "," + std::to_string(b) + ")";
    return out.size() > 400 ? out.substr(0, 400) + "..." : out;
}

TEST(AxisPixels, TrickyListsLookAsDrawnPlainly)
{
    struct Case {
        MinutePairs periods;
        int selected;
    };
    const std::vector<Case> cases = {
        {{{420, 960}}, 0},
        {{{420, 960}, {500, 600}}, 0},                   // the inner bar drawn over the outer one
        {{{500, 600}, {420, 960}}, 0},                   // ... and hidden by it
        {{{420, 720}, {720, 960}}, 1},                   // touching: the later edge wins
        {{{0, 1440}, {0, 1440}, {700, 700}}, 1},         // equal periods, a one-minute bar
        {{{960, 420}, {100, 100}}, 0},                   // stop before start
        {{{1, 3}, {2, 2}, {3, 4}}, 2},                   // several periods on one pixel
        {{{-600, -10}, {1500, 2000}, {1440, 1440}}, -1}, // outside the day
        {{{-32768, 32767}, {32767, -32768}, {0, 0}}, 2},
    };
    for (std::size_t i = 0; i < cases.size(); ++i)
        ExpectAxisAsDrawnPlainly(cases[i].periods, cases[i].selected, "case " + std::to_string(i));
}

TEST(AxisPixels, RandomListsLookAsDrawnPlainly)
{
    std::mt19937 rng(515);
    auto any = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    struct Shape {
        int rounds, maxCount, minuteLow, minuteHigh, lengthLow, lengthHigh;
        bool wide;
    };
    const Shape shapes[] = {
        {300, 30, 0, 60, -10, 25, false},             // crowded into a few pixels
        {100, 600, 0, 1440, -30, 200, false},         // a day full of overlapping periods
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
            ExpectAxisAsDrawnPlainly(periods, n > 0 ? any(-1, n - 1) : -1, Describe(periods), shape.wide);
            if (::testing::Test::HasFailure()) return;
        }
    }
}

TEST(AxisPixels, TheLargestDayTypeLooksAsDrawnPlainlyWithLinesBoundedByItsWidth)
{
    MinutePairs periods;
    for (int k = 0; k < 32767; ++k) {
        const int start = (k * 97) % 1380;
        periods.emplace_back(start, start + 10 + k % 50);
    }
    ExpectAxisAsDrawnPlainly(periods, 20000, "32767 periods");

    // At most one run of bar lines and two edges for each of the 289 pixel
    // columns of the day, beside the axis itself.
    Axis axis(periods, 20000);
    PixelSurface drawn = AxisSurface(false);
    ASSERT_TRUE(cTimeScheduleTestAccess::PaintAxis(axis.s, axis.host, &drawn, 0).ok());
    EXPECT_LE(drawn.lineCount, 1 + 15 + 289 * 17);
}

} // namespace
} // namespace vel
