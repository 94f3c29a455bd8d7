#include "examples/VelCalendarView/view_options.h"

#include "calendar/calendar_dates.h"

#include <gtest/gtest.h>

namespace vel {
namespace {

TEST(CalendarViewOptions, AllOptions)
{
    CalendarViewOptions o = ParseCalendarViewOptions({"--calendar", "a.cal", "--profile", "p.dat", "--show-time-axis",
                                                      "--year", "2026", "--month", "12", "--today", "2026-12-13",
                                                      "--screenshot", "out.png"});
    ASSERT_EQ(o.error, "");
    EXPECT_EQ(o.calendarFile, "a.cal");
    EXPECT_EQ(o.profileFile, "p.dat");
    EXPECT_TRUE(o.showTimeAxis);
    EXPECT_EQ(*o.year, 2026);
    EXPECT_EQ(*o.month, 12);
    EXPECT_EQ(*o.todayDayIndex, DayIndexOf(2026, 12, 13));
    EXPECT_EQ(o.screenshotFile, "out.png");
    const YearMonth first = FirstMonthToShow(o, 0);
    EXPECT_EQ(first.year, 2026);
    EXPECT_EQ(first.month, 12);
}

TEST(CalendarViewOptions, DefaultsFollowToday)
{
    CalendarViewOptions o = ParseCalendarViewOptions({});
    ASSERT_EQ(o.error, "");
    EXPECT_FALSE(o.showTimeAxis);
    YearMonth m = FirstMonthToShow(o, DayIndexOf(2031, 7, 4));
    EXPECT_EQ(m.year, 2031);
    EXPECT_EQ(m.month, 7);
    m = FirstMonthToShow(o, DayIndexOf(2045, 1, 1)); // beyond the calendar: its last month
    EXPECT_EQ(m.year, 2039);
    EXPECT_EQ(m.month, 12);
    m = FirstMonthToShow(o, -10);
    EXPECT_EQ(m.year, 2000);
    EXPECT_EQ(m.month, 1);
}

TEST(CalendarViewOptions, WrongCommandLines)
{
    const std::vector<std::vector<std::string>> wrong = {
        {"--year", "2026"},                    // without --month
        {"--month", "3"},                      // without --year
        {"--year", "2040", "--month", "1"},    // past the calendar
        {"--year", "1999", "--month", "12"},
        {"--year", "2026", "--month", "13"},
        {"--year", "20x6", "--month", "1"},
        {"--today", "2026-02-29"},             // no such date
        {"--today", "2026-2-3"},
        {"--calendar"},                        // missing value
        {"--screenshot", ""},
        {"--bogus"},
        {"extra"},
    };
    for (const auto& args : wrong) {
        CalendarViewOptions o = ParseCalendarViewOptions(args);
        EXPECT_NE(o.error, "") << args[0];
    }
    EXPECT_TRUE(ParseCalendarViewOptions({"--help"}).help);
    EXPECT_EQ(ParseCalendarViewOptions({"--today", "2024-02-29"}).error, "");
}

} // namespace
} // namespace vel
