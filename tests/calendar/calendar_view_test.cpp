#include "calendar/calendar.h"
#include "calendar/calendar_dates.h"
#include "calendar/month_heading.h"
#include "schedule/time_schedule.h"
#include "base/texts.h"
#include "tests/calendar/recording_surface.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace vel {
namespace {

using testing::PrintedText;
using testing::RecordingHost;
using testing::RecordingSurface;

// Lines 0, 15 and 21 of the strip of a day box, which fades three levels a
// line: a holiday's from (255, 192, 192), today's from (0, 255, 255).
constexpr Rgb HolidayStrip0{255, 192, 192}, HolidayStrip15{255, 147, 147}, HolidayStrip21{255, 129, 129};
constexpr Rgb TodayStrip0{0, 255, 255}, TodayStrip15{0, 210, 255}, TodayStrip21{0, 192, 255};

constexpr Rgb Colour(int r, int g, int b)
{
    return Rgb{static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(b)};
}

std::string Describe(Rgb c)
{
    return "(" + std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + ")";
}

#define EXPECT_PIXEL(surface, x, y, colour)                                                                            \
    EXPECT_EQ(Describe((surface).Pixel((x), (y))), Describe(colour)) << "pixel (" << (x) << "," << (y) << ")"

// A host window as a suite host fills it: combo item 1 "no entry", then one
// item per day type; the selected item is set by the test (0 = none).
class CalendarHost : public RecordingHost {
public:
    CalendarHost()
    {
        Set("Set_Text_Calendar_Month", [this](std::span<HostValue> args) -> Result<HostValue> {
            heading = std::get<std::string>(args[0]);
            return HostValue{};
        });
        Set("Get_Combo_Calendar_DayType_SelectedItem", [this](std::span<HostValue>) -> Result<HostValue> {
            if (selectedItem == 0) return HostValue{};
            return HostValue{ItemText(selectedItem)};
        });
        Set("Get_Combo_Calendar_DayType_SelectedItem_Index",
            [this](std::span<HostValue>) -> Result<HostValue> { return HostValue{std::int16_t(selectedItem)}; });
        Set("Get_Combo_Calendar_DayType_ComboItems", [](std::span<HostValue> args) -> Result<HostValue> {
            auto n = HostValueToInt(args[0]);
            if (!n.ok() || *n < 1 || *n > 24) return MakeError(ErrorCode::IndexOutOfRange, "no such combo item");
            return HostValue{ItemText(*n)};
        });
        Set("Draw_ImageList_ListImages", [](std::span<HostValue>) -> Result<HostValue> { return HostValue{}; });
    }

    static std::string ItemText(int n) { return n == 1 ? "no entry" : "Type " + std::to_string(n - 1); }

    int selectedItem = 0;
    std::string heading;
};

struct MonthView {
    MonthView(int year, int month)
    {
        auto texts = std::make_shared<SuiteTexts>();
        const char* days[] = {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"};
        for (int j = 0; j < 7; ++j) texts->Add(611 + j, days[j]);
        auto names = std::make_shared<DayTypeNameTable>();
        const char* shortNames[] = {"Mo", "Tu", "We", "Th", "Fr", "Sa", "Su"};
        for (int j = 0; j < 7; ++j) names->DayTypeShortNames[static_cast<std::size_t>(j)] = shortNames[j];
        holidays = std::make_shared<HolidayTables>();
        cal.UseViewTables(CalendarViewTables{holidays, texts, names});
        cal.SetHeadingLocale("C");
        cal.SetTodayOverride(DayIndexOf(2020, 1, 1));
        Show(year, month);
    }

    void Show(int year, int month)
    {
        cal.m_SelectedYear = year;
        cal.m_SelectedMonth = month;
        cal.RecalculateAndPrepareToPaint(&host, &surface);
        surface.Clear();
    }

    Status Paint() { return cal.Paint(host, surface); }

    std::int16_t DayType(int dayOfMonth) const
    {
        return *cal.GetDayType(
            static_cast<std::int32_t>(DayIndexOf(cal.m_SelectedYear, cal.m_SelectedMonth, dayOfMonth)));
    }
    void SetDayType(int dayOfMonth, std::int16_t v)
    {
        ASSERT_TRUE(
            cal.SetDayType(static_cast<std::int32_t>(DayIndexOf(cal.m_SelectedYear, cal.m_SelectedMonth, dayOfMonth)),
                           v)
                .ok());
    }

    std::shared_ptr<HolidayTables> holidays;
    cCalendar cal;
    CalendarHost host;
    RecordingSurface surface;
};

// Centre of the box of a date of December 2026 (the 1st is a Tuesday).
struct Point {
    float x;
    float y;
};
Point December2026(int dayOfMonth)
{
    const int d = 1 + dayOfMonth - 1;
    return Point{static_cast<float>(50 + 40 * (d % 7)), static_cast<float>(32 + 25 * (d / 7))};
}

// ---------------------------------------------------------------- recalculation

TEST(CalendarView, RecalculateDecember2026AndFebruary)
{
    MonthView v(2026, 12);
    EXPECT_EQ(v.cal.m_ActualMonthOffset, 9831);
    EXPECT_EQ(v.cal.m_FirstWeekDayInActualMonth, 1);
    EXPECT_EQ(v.cal.m_DaysInActualMonth, 31);
    EXPECT_EQ(v.cal.m_TodaysDayOffset, DayIndexOf(2020, 1, 1));
    EXPECT_EQ(v.cal.PaintDayType(), -1);

    v.Show(2024, 2);
    EXPECT_EQ(v.cal.m_DaysInActualMonth, 29);
    EXPECT_EQ(v.cal.m_ActualMonthOffset, 8797);
    EXPECT_EQ(v.cal.m_FirstWeekDayInActualMonth, 3); // Thursday

    v.Show(2026, 13); // January 2027
    EXPECT_EQ(v.cal.m_ActualMonthOffset, DayIndexOf(2027, 1, 1));
    EXPECT_EQ(v.cal.m_DaysInActualMonth, 31);
    v.Show(2027, 0); // December 2026
    EXPECT_EQ(v.cal.m_ActualMonthOffset, 9831);

    // Without an override today comes from the system date.
    v.cal.SetTodayOverride(std::nullopt);
    v.Show(2026, 12);
    EXPECT_EQ(v.cal.m_TodaysDayOffset, TodaysDayIndex());
}

TEST(CalendarView, DateFromPointDecember2026)
{
    MonthView v(2026, 12);
    EXPECT_EQ(v.cal.DateFromPoint(31, 21), -1); // the Monday before the first
    EXPECT_EQ(v.cal.DateFromPoint(71, 21), 0);
    EXPECT_EQ(v.cal.DateFromPoint(30, 21), -1);
    EXPECT_EQ(v.cal.DateFromPoint(310, 21), -1);
    EXPECT_EQ(v.cal.DateFromPoint(71, 20), -1);
    EXPECT_EQ(v.cal.DateFromPoint(71, 170), -1);
    EXPECT_EQ(v.cal.DateFromPoint(71, 121), 28);  // the 29th, row 4, Tuesday
    EXPECT_EQ(v.cal.DateFromPoint(71, 146), -1);  // row 5 holds no December dates
    EXPECT_EQ(v.cal.DateFromPoint(151, 121), 30); // the 31st
    EXPECT_EQ(v.cal.DateFromPoint(191, 121), -1);
    EXPECT_EQ(v.cal.DateFromPoint(309, 21), 5); // Sunday the 6th
    // Just left of the right edge the rounded offset reaches the edge; the
    // point still lies on the Sunday, not on the next row's Monday.
    EXPECT_EQ(v.cal.DateFromPoint(309.6F, 21), 5);
    EXPECT_EQ(v.cal.DateFromPoint(71, 44.6F), 7); // rounding moves 24.6 to row 1
}

// ---------------------------------------------------------------- painting

TEST(CalendarView, PaintDecember2026GridHeadingsAndCells)
{
    MonthView v(2026, 12);
    ASSERT_TRUE(v.Paint().ok());
    RecordingSurface& s = v.surface;
    EXPECT_EQ(v.host.heading, "December 2026");

    // t = 14 in the bold font: heading band from y = 1, headings at y = 4.
    EXPECT_PIXEL(s, 100, 1, RgbBlack);
    EXPECT_PIXEL(s, 100, 2, RgbWhite);
    EXPECT_PIXEL(s, 30, 2, RgbBlack);
    EXPECT_PIXEL(s, 31, 3, RgbWhite);
    EXPECT_PIXEL(s, 310, 100, RgbBlack);
    EXPECT_PIXEL(s, 311, 100, RgbWhite);
    EXPECT_PIXEL(s, 70, 50, RgbBlack);
    EXPECT_PIXEL(s, 71, 50, RgbWhite);
    EXPECT_PIXEL(s, 100, 20, RgbBlack);
    EXPECT_PIXEL(s, 100, 21, RgbWhite);
    EXPECT_PIXEL(s, 100, 170, RgbBlack);
    EXPECT_PIXEL(s, 71, 20, RgbBlack); // black over white where lines cross
    EXPECT_PIXEL(s, 30, 170, RgbBlack);
    EXPECT_PIXEL(s, 30, 171, RgbWhite);
    EXPECT_PIXEL(s, 30, 0, RecordingSurface::Background); // nothing above the band

    const char* heads[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    for (int j = 0; j < 7; ++j) {
        auto found = s.Find(heads[j]);
        ASSERT_EQ(found.size(), 1u) << heads[j];
        EXPECT_DOUBLE_EQ(found[0].x, 38 + 40 * j); // (40 - 24) / 2 = 8
        EXPECT_DOUBLE_EQ(found[0].y, 4);
        EXPECT_TRUE(found[0].bold);
    }

    // Week numbers after ISO 8601: 49 to 53, then week 1 of 2027 for row 5.
    const char* weeks[] = {"49", "50", "51", "52", "53", "1"};
    for (int r = 0; r < 6; ++r) {
        auto found = s.Find(weeks[r]);
        ASSERT_FALSE(found.empty()) << weeks[r];
        const PrintedText& w = found[0];
        EXPECT_DOUBLE_EQ(w.x, 10); // 30 - 14 - 6
        EXPECT_DOUBLE_EQ(w.y, 26 + 25 * r);
        EXPECT_FALSE(w.bold);
        EXPECT_EQ(Describe(w.colour), Describe(RecordingSurface::GrayTextColour));
    }

    // The 1st in row 0 column 1, the 31st in row 4 column 3.
    auto first = s.Find("1");
    ASSERT_FALSE(first.empty());
    bool dayOneAtCell = false;
    for (const auto& p : first) dayOneAtCell |= (p.x == 72 && p.y == 22);
    EXPECT_TRUE(dayOneAtCell);
    auto last = s.Find("31");
    ASSERT_EQ(last.size(), 1u);
    EXPECT_DOUBLE_EQ(last[0].x, 152);
    EXPECT_DOUBLE_EQ(last[0].y, 122);
    EXPECT_EQ(Describe(last[0].colour), Describe(RecordingSurface::GrayTextColour));
    EXPECT_EQ(Describe(s.ForeColor()), Describe(RecordingSurface::ButtonTextColour));

    // Boxes are filled; unused boxes are not touched.
    EXPECT_EQ(s.fillCount, 31);
    s.SetBackColor(RecordingSurface::Untouched);
    v.host.calls.clear();
    RecordingSurface fresh;
    v.cal.m_ShowTimeAxis = 0;
    ASSERT_TRUE(v.cal.Paint(v.host, fresh).ok());
    EXPECT_PIXEL(fresh, 50, 30, RecordingSurface::Untouched);       // Monday before the 1st
    EXPECT_PIXEL(fresh, 90, 40, RecordingSurface::Background);      // inside the 1st
    EXPECT_PIXEL(fresh, 50, 155, RecordingSurface::Untouched);      // row 5
    EXPECT_PIXEL(fresh, 200, 130, RecordingSurface::Untouched);     // after the 31st
    EXPECT_PIXEL(fresh, 68, 43 + 25, RecordingSurface::Background); // last interior pixel of the 7th
}

TEST(CalendarView, SundayAndTodayStrips)
{
    MonthView v(2026, 12);
    v.cal.SetTodayOverride(DayIndexOf(2026, 12, 13)); // a Sunday
    v.Show(2026, 12);
    ASSERT_TRUE(v.Paint().ok());
    RecordingSurface& s = v.surface;
    // Sunday the 6th: row 0, column 6, strip from (272, 22), 14 wide, 22 lines.
    EXPECT_PIXEL(s, 272, 22, HolidayStrip0);
    EXPECT_PIXEL(s, 285, 22, HolidayStrip0);
    EXPECT_PIXEL(s, 286, 22, RecordingSurface::Background);
    EXPECT_PIXEL(s, 272, 43, HolidayStrip21);
    // Today (Sunday the 13th): the blue strip over the red one.
    EXPECT_PIXEL(s, 272, 47, TodayStrip0);
    EXPECT_PIXEL(s, 280, 68, TodayStrip21);
    // A weekday has no strip.
    EXPECT_PIXEL(s, 72 + 5, 30, RecordingSurface::Background);

    // With the time axis shown the strips are 16 lines high.
    v.cal.m_ShowTimeAxis = -1;
    v.Show(2026, 12);
    ASSERT_TRUE(v.Paint().ok());
    EXPECT_PIXEL(s, 272, 37, HolidayStrip15);
    EXPECT_PIXEL(s, 272, 38, RecordingSurface::Background);
    EXPECT_PIXEL(s, 272, 62, TodayStrip15);
    EXPECT_PIXEL(s, 272, 63, RecordingSurface::Background);
}

TEST(CalendarView, HolidayStripNeedsALabelViewedInTheCalendar)
{
    MonthView v(2026, 12);
    const auto christmas = static_cast<std::int16_t>(DayIndexOf(2026, 12, 25)); // Friday, row 3 column 4
    cHolidayLabel label;
    label.m_Day = christmas;
    label.m_Label = "Christmas";
    ASSERT_TRUE(v.holidays->AddHolidayLabel(label).ok());
    ASSERT_TRUE(v.Paint().ok());
    EXPECT_PIXEL(v.surface, 192, 97, RecordingSurface::Background); // no label is viewed in the calendar

    // A label of another day that is viewed in the calendar turns the strip on
    // for every flagged day.
    cHolidayLabel other;
    other.m_Day = static_cast<std::int16_t>(DayIndexOf(2030, 1, 1));
    other.m_ViewInCalendar = -1;
    ASSERT_TRUE(v.holidays->AddHolidayLabel(other).ok());
    v.Show(2026, 12);
    ASSERT_TRUE(v.Paint().ok());
    EXPECT_PIXEL(v.surface, 192, 97, HolidayStrip0);
    EXPECT_PIXEL(v.surface, 192, 118, HolidayStrip21);
    EXPECT_PIXEL(v.surface, 152, 97, RecordingSurface::Background); // the 24th is no holiday
}

TEST(CalendarView, ShortLabelsAndIcons)
{
    MonthView v(2026, 12);
    v.SetDayType(2, 2);  // Wednesday the 2nd runs as Tuesday
    v.SetDayType(3, 9);  // special day type 8: icon 2
    v.SetDayType(4, 23); // icon 16
    v.SetDayType(7, 24); // above 23: no label
    v.SetDayType(8, -3); // negative: no label
    ASSERT_TRUE(v.Paint().ok());

    auto tu = v.surface.Find("Tu");
    ASSERT_EQ(tu.size(), 1u);
    EXPECT_DOUBLE_EQ(tu[0].x, 70 + 80 - 14 - 2); // right-aligned, 2 pixels left of the box end
    EXPECT_DOUBLE_EQ(tu[0].y, 22);
    EXPECT_EQ(Describe(tu[0].colour), Describe(RecordingSurface::ButtonTextColour));

    auto icons = v.host.CallsOf("Draw_ImageList_ListImages");
    ASSERT_EQ(icons.size(), 2u);
    ASSERT_EQ(icons[0].args.size(), 5u);
    EXPECT_EQ(std::get<std::int16_t>(icons[0].args[0]), 2);
    EXPECT_EQ(std::get<std::int32_t>(icons[0].args[1]), 4711);
    EXPECT_FLOAT_EQ(std::get<float>(icons[0].args[2]), 60 + 40 * 3);
    EXPECT_EQ(std::get<std::int32_t>(icons[0].args[3]), 22);
    EXPECT_EQ(*HostValueToInt(icons[0].args[4]), 1);
    EXPECT_EQ(std::get<std::int16_t>(icons[1].args[0]), 16);
    EXPECT_FLOAT_EQ(std::get<float>(icons[1].args[2]), 60 + 40 * 4);

    // Only the day numbers and the one short label besides headings and weeks.
    EXPECT_EQ(v.surface.printed().size(), 7u + 6u + 31u + 1u);
}

TEST(CalendarView, TimeBarsFollowTheSchedule)
{
    MonthView v(2026, 12);
    cTimeSchedule schedule;
    ASSERT_TRUE(schedule.AppendPeriod(0, 420, 960).ok()); // Monday 07:00-16:00
    ASSERT_TRUE(schedule.AppendPeriod(1, 0, 1440).ok());  // Tuesday whole day
    ASSERT_TRUE(schedule.AppendPeriod(8, 600, 720).ok()); // special day type 8, inactive
    v.cal.m_AssociatedTimeSchedule = &schedule;
    v.cal.m_ShowTimeAxis = -1;
    v.SetDayType(14, 9); // Monday the 14th stored 9: day type 8 inactive -> Monday's periods
    v.SetDayType(21, 9); // the same, shown again after activating day type 8
    v.SetDayType(16, 2); // Wednesday the 16th runs as Tuesday (active)
    v.Show(2026, 12);
    ASSERT_TRUE(v.Paint().ok());
    RecordingSurface& s = v.surface;

    // Monday the 7th: row 1, column 0; bar y = 64..68, x = 32..68.
    const int y = 64;
    EXPECT_PIXEL(s, 32, y, Grey(220));
    EXPECT_PIXEL(s, 42, y + 4, Grey(140));
    EXPECT_PIXEL(s, 68, y, Grey(220));
    // 420 * 37 / 1440 = 10.79 -> 11, 960 * 37 / 1440 = 24.67 -> 25.
    EXPECT_PIXEL(s, 43, y, Colour(128, 128, 128));
    EXPECT_PIXEL(s, 43, y + 4, Colour(128, 128, 128));
    EXPECT_PIXEL(s, 44, y, Colour(0, 240, 0));
    EXPECT_PIXEL(s, 56, y + 1, Colour(0, 221, 0));
    EXPECT_PIXEL(s, 56, y + 4, Colour(0, 164, 0));
    EXPECT_PIXEL(s, 57, y, Colour(128, 128, 128));
    EXPECT_PIXEL(s, 58, y, Grey(220));
    EXPECT_PIXEL(s, 43, y + 5, RecordingSurface::Background);

    // Monday the 14th (stored 9, day type 8 inactive) shows Monday's periods.
    EXPECT_PIXEL(s, 44, y + 25, Colour(0, 240, 0));
    // Wednesday the 16th runs as Tuesday: the whole day.
    EXPECT_PIXEL(s, 112 + 1, y + 25, Colour(0, 240, 0));
    EXPECT_PIXEL(s, 112 + 36, y + 25, Colour(0, 240, 0));
    // Wednesday the 9th: no periods.
    EXPECT_PIXEL(s, 112 + 20, y, Grey(220));

    // Day type 8 active: stored 9 shows its own period 10:00-12:00 (15 to 18).
    ASSERT_TRUE(schedule.SetActive(8, -1).ok());
    v.Show(2026, 12);
    ASSERT_TRUE(v.Paint().ok());
    EXPECT_PIXEL(s, 32 + 11 + 1, y + 50, Grey(220));
    EXPECT_PIXEL(s, 32 + 16, y + 50, Colour(0, 240, 0));
    EXPECT_PIXEL(s, 32 + 15, y + 50, Colour(128, 128, 128));

    // No bars without the time axis, nor without a schedule.
    v.cal.m_ShowTimeAxis = 0;
    v.Show(2026, 12);
    ASSERT_TRUE(v.Paint().ok());
    EXPECT_PIXEL(s, 44, y, RecordingSurface::Background);
    v.cal.m_ShowTimeAxis = -1;
    v.cal.m_AssociatedTimeSchedule = nullptr;
    v.Show(2026, 12);
    ASSERT_TRUE(v.Paint().ok());
    EXPECT_PIXEL(s, 44, y, RecordingSurface::Background);
}

TEST(CalendarView, DayTypeTheScheduleRefusesIsReportedButTheMonthIsDrawn)
{
    MonthView v(2026, 12);
    cTimeSchedule schedule;
    v.cal.m_AssociatedTimeSchedule = &schedule;
    v.cal.m_ShowTimeAxis = -1;
    v.SetDayType(2, 25); // asks the schedule for day type 24
    Status painted = v.Paint();
    ASSERT_FALSE(painted.ok());
    EXPECT_EQ(painted.error().code, ErrorCode::IndexOutOfRange);
    // Every box was still drawn.
    EXPECT_EQ(v.surface.Find("31").size(), 1u);
    EXPECT_EQ(v.surface.fillCount, 31);
    // Without the time axis nothing asks the schedule.
    v.cal.m_ShowTimeAxis = 0;
    v.Show(2026, 12);
    EXPECT_TRUE(v.Paint().ok());
}

TEST(CalendarView, MonthsOutsideTheCalendarAreReported)
{
    MonthView v(2040, 1);
    Status painted = v.Paint();
    ASSERT_FALSE(painted.ok());
    EXPECT_EQ(painted.error().code, ErrorCode::IndexOutOfRange);
    v.Show(1999, 12);
    EXPECT_FALSE(v.Paint().ok());
    v.Show(2100, 2);
    EXPECT_EQ(v.cal.m_DaysInActualMonth, 28);
    EXPECT_FALSE(v.Paint().ok());
    v.Show(2039, 12);
    EXPECT_TRUE(v.Paint().ok());
    v.Show(2000, 1);
    EXPECT_TRUE(v.Paint().ok());

    // A position outside the six rows of the grid is refused before drawing.
    v.Show(2026, 12);
    const int fills = v.surface.fillCount;
    EXPECT_EQ(v.cal.PaintDateBox(v.host, v.surface, 41).error().code, ErrorCode::IndexOutOfRange);
    EXPECT_EQ(v.cal.PaintDateBox(v.host, v.surface, -2).error().code, ErrorCode::IndexOutOfRange);
    EXPECT_EQ(v.surface.fillCount, fills);
    EXPECT_TRUE(v.cal.PaintDateBox(v.host, v.surface, 40).ok()); // the last cell, row 5 column 6
}

TEST(CalendarView, PaintReportsAHostWithoutTheHeadingMember)
{
    MonthView v(2026, 12);
    v.host.Remove("Set_Text_Calendar_Month");
    Status painted = v.Paint();
    ASSERT_FALSE(painted.ok());
    EXPECT_EQ(painted.error().code, ErrorCode::MissingMember);
}

// ---------------------------------------------------------------- mouse painting

TEST(CalendarView, PressAndDragPaintTheSelectedDayType)
{
    MonthView v(2026, 12);
    ASSERT_TRUE(v.Paint().ok());
    v.host.selectedItem = 3; // Tuesday's day type: stores 2
    v.surface.ForgetPrinted();
    const Point fifth = December2026(5);
    ASSERT_TRUE(v.cal.MouseDown(v.host, v.surface, 1, 0, fifth.x, fifth.y).ok());
    EXPECT_EQ(v.DayType(5), 2);
    EXPECT_EQ(v.cal.PaintDayType(), 2);
    EXPECT_EQ(v.cal.MouseButton(), 1);
    // The box was redrawn with the short label of day type 1.
    auto tu = v.surface.Find("Tu");
    ASSERT_EQ(tu.size(), 1u);
    EXPECT_DOUBLE_EQ(tu[0].x, 70 + 40 * 5 - 14 - 2);
    EXPECT_EQ(v.surface.Find("5").size(), 1u);

    for (int day : {6, 7}) {
        const Point p = December2026(day);
        v.cal.MouseMove(v.host, v.surface, 1, 0, p.x, p.y);
    }
    EXPECT_EQ(v.DayType(6), 2);
    EXPECT_EQ(v.DayType(7), 2);
    v.cal.MouseUp(1, 0, 0, 0);
    EXPECT_EQ(v.cal.MouseButton(), 0);
    EXPECT_EQ(v.cal.PaintDayType(), -1);
    const Point eighth = December2026(8);
    v.cal.MouseMove(v.host, v.surface, 0, 0, eighth.x, eighth.y);
    EXPECT_EQ(v.DayType(8), 0);

    // Item 1 clears a day.
    v.host.selectedItem = 1;
    ASSERT_TRUE(v.cal.MouseDown(v.host, v.surface, 1, 0, fifth.x, fifth.y).ok());
    EXPECT_EQ(v.DayType(5), 0);
    EXPECT_EQ(v.cal.PaintDayType(), 0);
    v.cal.MouseUp(1, 0, 0, 0);

    // An item writes its day type as item number - 1.
    v.host.selectedItem = 24;
    ASSERT_TRUE(v.cal.MouseDown(v.host, v.surface, 2, 0, fifth.x, fifth.y).ok()); // any button
    EXPECT_EQ(v.DayType(5), 23);
    v.cal.MouseUp(2, 0, 0, 0);
}

TEST(CalendarView, PressWithoutASelectedItemPaintsNothing)
{
    MonthView v(2026, 12);
    v.SetDayType(10, 4);
    v.host.selectedItem = 0;
    const Point p = December2026(10);
    ASSERT_TRUE(v.cal.MouseDown(v.host, v.surface, 1, 0, p.x, p.y).ok());
    EXPECT_EQ(v.cal.PaintDayType(), -1);
    EXPECT_EQ(v.DayType(10), 4);
    EXPECT_TRUE(v.host.CallsOf("Get_Combo_Calendar_DayType_SelectedItem_Index").empty());
    for (int day : {11, 12, 10}) {
        const Point q = December2026(day);
        v.cal.MouseMove(v.host, v.surface, 1, 0, q.x, q.y);
    }
    EXPECT_EQ(v.DayType(10), 4);
    EXPECT_EQ(v.DayType(11), 0);
    EXPECT_EQ(v.DayType(12), 0);
    EXPECT_EQ(v.surface.fillCount, 0);

    // A press outside the month stores nothing either.
    v.host.selectedItem = 5;
    ASSERT_TRUE(v.cal.MouseDown(v.host, v.surface, 1, 0, 50, 32).ok()); // Monday before the 1st
    EXPECT_EQ(v.cal.PaintDayType(), 4);
    EXPECT_EQ(v.surface.fillCount, 0);

    // The same day type again: nothing is redrawn.
    ASSERT_TRUE(v.cal.MouseDown(v.host, v.surface, 1, 0, p.x, p.y).ok());
    EXPECT_EQ(v.surface.fillCount, 0);
}

TEST(CalendarView, MouseDownReportsHostFailures)
{
    MonthView v(2026, 12);
    v.host.selectedItem = 10; // stores 9: an icon
    v.host.Remove("Draw_ImageList_ListImages");
    const Point p = December2026(3);
    Status pressed = v.cal.MouseDown(v.host, v.surface, 1, 0, p.x, p.y);
    ASSERT_FALSE(pressed.ok());
    EXPECT_EQ(pressed.error().code, ErrorCode::MissingMember);
    EXPECT_EQ(v.DayType(3), 9); // stored before the box was drawn

    v.host.Remove("Get_Combo_Calendar_DayType_SelectedItem");
    EXPECT_EQ(v.cal.MouseDown(v.host, v.surface, 1, 0, p.x, p.y).error().code, ErrorCode::MissingMember);

    // An item number below 1 selects nothing rather than a negative day type.
    MonthView w(2026, 12);
    w.host.SetValue("Get_Combo_Calendar_DayType_SelectedItem_Index", HostValue{std::int16_t{-1}});
    w.host.selectedItem = 2;
    ASSERT_TRUE(w.cal.MouseDown(w.host, w.surface, 1, 0, p.x, p.y).ok());
    EXPECT_EQ(w.cal.PaintDayType(), -1);
    EXPECT_EQ(w.DayType(3), 0);
}

TEST(CalendarView, MouseMoveSkipsFailingStepsAndGoesOn)
{
    MonthView v(2026, 12);
    cHolidayLabel label;
    label.m_Day = static_cast<std::int16_t>(DayIndexOf(2026, 12, 3));
    label.m_Label = "Feast";
    ASSERT_TRUE(v.holidays->AddHolidayLabel(label).ok());
    v.host.Remove("Draw_ImageList_ListImages");
    v.host.Remove("Get_Combo_Calendar_DayType_ComboItems");
    v.host.selectedItem = 10; // icon day type, its box cannot be drawn
    const Point second = December2026(2);
    EXPECT_FALSE(v.cal.MouseDown(v.host, v.surface, 1, 0, second.x, second.y).ok());
    const Point third = December2026(3);
    v.cal.MouseMove(v.host, v.surface, 1, 0, third.x, third.y);
    EXPECT_EQ(v.DayType(3), 9);                     // stored although its box failed
    EXPECT_EQ(v.surface.ToolTipText(), " (Feast)"); // the combo text failed, the label follows
    EXPECT_EQ(v.cal.LastHoveredDate(), 2);
}

// ---------------------------------------------------------------- tooltips

TEST(CalendarView, TooltipRules)
{
    MonthView v(2026, 12);
    const Point first = December2026(1);
    // Right after creation LastHoveredDate is 0: the first move onto the 1st
    // sets no tooltip.
    EXPECT_EQ(v.cal.LastHoveredDate(), 0);
    v.cal.MouseMove(v.host, v.surface, 0, 0, first.x, first.y);
    EXPECT_EQ(v.surface.toolTipSets, 0);

    v.SetDayType(2, 3);
    const Point second = December2026(2);
    v.cal.MouseMove(v.host, v.surface, 0, 0, second.x, second.y);
    EXPECT_EQ(v.surface.ToolTipText(), "Type 3"); // combo item v + 1
    EXPECT_EQ(v.cal.LastHoveredDate(), 1);
    auto asked = v.host.CallsOf("Get_Combo_Calendar_DayType_ComboItems");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(*HostValueToInt(asked[0].args[0]), 4);

    // Moving within the same date changes nothing.
    const int sets = v.surface.toolTipSets;
    v.cal.MouseMove(v.host, v.surface, 0, 0, second.x + 5, second.y + 5);
    EXPECT_EQ(v.surface.toolTipSets, sets);

    // A day with no entry and a holiday label: the label in parentheses after
    // a space.
    const auto day4 = static_cast<std::int16_t>(DayIndexOf(2026, 12, 4));
    cHolidayLabel a;
    a.m_Day = day4;
    a.m_Label = "First";
    cHolidayLabel b = a;
    b.m_Label = "Second";
    ASSERT_TRUE(v.holidays->AddHolidayLabel(a).ok());
    ASSERT_TRUE(v.holidays->AddHolidayLabel(b).ok());
    const Point fourth = December2026(4);
    v.cal.MouseMove(v.host, v.surface, 0, 0, fourth.x, fourth.y);
    EXPECT_EQ(v.surface.ToolTipText(), " (First)");

    // A day type and a label.
    v.SetDayType(4, 1);
    v.cal.MouseMove(v.host, v.surface, 0, 0, first.x, first.y);
    EXPECT_EQ(v.surface.ToolTipText(), "");
    v.cal.MouseMove(v.host, v.surface, 0, 0, fourth.x, fourth.y);
    EXPECT_EQ(v.surface.ToolTipText(), "Type 1 (First)");

    // Leaving the grid empties the tooltip and forgets the date.
    v.cal.MouseMove(v.host, v.surface, 0, 0, 5, 5);
    EXPECT_EQ(v.surface.ToolTipText(), "");
    EXPECT_EQ(v.cal.LastHoveredDate(), -1);
    // Now the 1st gets its (empty) tooltip on entry.
    const int before = v.surface.toolTipSets;
    v.cal.MouseMove(v.host, v.surface, 0, 0, first.x, first.y);
    EXPECT_GT(v.surface.toolTipSets, before);
    EXPECT_EQ(v.cal.LastHoveredDate(), 0);

    // A flag without any label of its day adds nothing.
    ASSERT_TRUE(v.holidays->SetHolidayLabelFlag(static_cast<std::int32_t>(DayIndexOf(2026, 12, 9)), 1).ok());
    const Point ninth = December2026(9);
    v.cal.MouseMove(v.host, v.surface, 0, 0, ninth.x, ninth.y);
    EXPECT_EQ(v.surface.ToolTipText(), "");
}

// ---------------------------------------------------------------- heading

TEST(MonthHeading, ClassicLocaleAndFallbacks)
{
    EXPECT_EQ(MonthHeadingText(2026, 12, "C"), "December 2026");
    EXPECT_EQ(MonthHeadingText(2000, 1, "C"), "January 2000");
    EXPECT_EQ(MonthHeadingText(2024, 2, "C.UTF-8"), "February 2024");
    EXPECT_EQ(MonthHeadingText(2039, 5, "no_SUCH.locale"), "May 2039");
    EXPECT_EQ(MonthHeadingText(999, 7, "C"), "July 0999");
    EXPECT_EQ(MonthHeadingText(2026, 13, "C"), "January 2027");
    EXPECT_EQ(MonthHeadingText(2026, 0, "C"), "December 2025");
    EXPECT_EQ(MonthHeadingText(2026, -30, "C"), "June 2023");
}

} // namespace
} // namespace vel
