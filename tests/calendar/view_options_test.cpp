#include "calendar/view_options.h"

#include "calendar/calendar.h"
#include "calendar/calendar_dates.h"
#include "calendar/calendar_edit.h"
#include "tests/support/fault_injecting_file_system.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace vel {
namespace {

// The options of a command line that must be right, and the complaint about
// one that must be wrong.
CalendarViewOptions Parsed(const std::vector<std::string>& args)
{
    auto o = ParseCalendarViewOptions(args);
    if (!o) {
        ADD_FAILURE() << o.error().message;
        return {};
    }
    return *o;
}

std::string ErrorOf(const std::vector<std::string>& args)
{
    auto o = ParseCalendarViewOptions(args);
    if (o) return {};
    EXPECT_EQ(o.error().code, ErrorCode::InvalidArgument);
    return o.error().message;
}

TEST(CalendarViewOptions, AllOptions)
{
    CalendarViewOptions o = Parsed({"--calendar", "a.cal", "--profile", "p.dat", "--show-time-axis", "--year", "2026",
                                    "--month", "12", "--today", "2026-12-13", "--screenshot", "out.png"});
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
    CalendarViewOptions o = Parsed({});
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
        {"--year", "2026"},                 // without --month
        {"--month", "3"},                   // without --year
        {"--year", "2040", "--month", "1"}, // past the calendar
        {"--year", "1999", "--month", "12"},
        {"--year", "2026", "--month", "13"},
        {"--year", "20x6", "--month", "1"},
        {"--today", "2026-02-29"}, // no such date
        {"--today", "2026-2-3"},
        {"--calendar"}, // missing value
        {"--screenshot", ""},
        {"--bogus"},
        {"extra"},
    };
    for (const auto& args : wrong) {
        EXPECT_NE(ErrorOf(args), "") << args[0];
    }
    EXPECT_TRUE(Parsed({"--help"}).help);
    EXPECT_EQ(ErrorOf({"--today", "2024-02-29"}), "");
}

TEST(CalendarViewOptions, SetAndSave)
{
    CalendarViewOptions o = Parsed(
        {"--calendar", "a.cal", "--set", "2026-12-24=8", "--save", "--set", "2000-01-01=0", "--set", "2039-12-31=23"});
    EXPECT_TRUE(o.save);
    ASSERT_EQ(o.settings.size(), 3u);
    EXPECT_EQ(o.settings[0].dayIndex, DayIndexOf(2026, 12, 24));
    EXPECT_EQ(o.settings[0].dayType, 8);
    EXPECT_EQ(o.settings[1].dayIndex, 0);
    EXPECT_EQ(o.settings[1].dayType, 0);
    EXPECT_EQ(o.settings[2].dayIndex, CalendarDays - 1);
    EXPECT_EQ(o.settings[2].dayType, 23);
    // --save alone writes the calendar as it is read.
    o = Parsed({"--save", "--calendar", "a.cal"});
    EXPECT_TRUE(o.settings.empty());

    const std::vector<std::pair<std::vector<std::string>, std::string>> wrong = {
        {{"--calendar", "a.cal", "--set", "2026-12-24=8"}, "--set goes with --save"},
        {{"--set", "2026-12-24=8", "--save"}, "--save needs --calendar FILE"},
        {{"--calendar", "a.cal", "--save", "--set", "2026-12-24"}, "YYYY-MM-DD=DAYTYPE"},
        {{"--calendar", "a.cal", "--save", "--set", "2026-12-24=24"}, "0 to 23"},
        {{"--calendar", "a.cal", "--save", "--set", "2026-12-24=-1"}, "0 to 23"},
        {{"--calendar", "a.cal", "--save", "--set", "2026-12-24="}, "0 to 23"},
        {{"--calendar", "a.cal", "--save", "--set", "2026-12-24=3x"}, "0 to 23"},
        {{"--calendar", "a.cal", "--save", "--set", "2026-02-29=1"}, "a date YYYY-MM-DD"},
        {{"--calendar", "a.cal", "--save", "--set", "=1"}, "a date YYYY-MM-DD"},
        {{"--calendar", "a.cal", "--save", "--set", "1999-12-31=1"}, "outside the calendar"},
        {{"--calendar", "a.cal", "--save", "--set", "2040-01-01=1"}, "outside the calendar"},
        {{"--calendar", "a.cal", "--save", "--set", "2026-12-24=1", "--set", "2026-12-24=1"}, "more than once"},
        {{"--calendar", "a.cal", "--save", "--set"}, "needs a value"},
        {{"--calendar", "a.cal", "--save", "--screenshot", "x.png"}, "--calendar and --set only"},
        {{"--calendar", "a.cal", "--save", "--year", "2026", "--month", "1"}, "--calendar and --set only"},
    };
    for (const auto& [args, why] : wrong) {
        const std::string error = ErrorOf(args);
        EXPECT_NE(error.find(why), std::string::npos) << args.back() << ": " << error;
    }
}

namespace fsys = std::filesystem;

std::vector<unsigned char> FileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// --save reads the file (a missing one is a new calendar), sets the days and
// saves; a failure at any file operation leaves the file as it was.
TEST(CalendarViewOptions, SaveCalendarSettingsEditsTheFile)
{
    std::string pattern = (fsys::temp_directory_path() / "velcalopt-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const std::string name = pattern + "/set.cal";
    CalendarViewOptions o = Parsed({"--calendar", name, "--set", "2026-12-24=9", "--save"});
    Result<bool> made = SaveCalendarSettings(o, RealFileSystem());
    ASSERT_TRUE(made.ok()) << made.error().message;
    EXPECT_FALSE(*made);
    const std::int32_t eve = static_cast<std::int32_t>(DayIndexOf(2026, 12, 24));

    // The days not named keep what the file holds.
    o = Parsed({"--calendar", name, "--set", "2026-12-31=23", "--set", "2000-01-01=1", "--save"});
    Result<bool> again = SaveCalendarSettings(o, RealFileSystem());
    ASSERT_TRUE(again.ok()) << again.error().message;
    EXPECT_TRUE(*again);
    cCalendar back;
    ASSERT_TRUE(*back.ReadFromDisk(name));
    EXPECT_EQ(*back.GetDayType(eve), 9);
    EXPECT_EQ(*back.GetDayType(eve + 7), 23);
    EXPECT_EQ(*back.GetDayType(0), 1);
    EXPECT_EQ(*back.GetDayType(eve + 1), 0);

    const std::vector<unsigned char> before = FileBytes(name);
    o = Parsed({"--calendar", name, "--set", "2026-12-24=0", "--save"});
    for (long k = 1;; ++k) {
        ASSERT_LT(k, 30);
        FaultInjectingFileSystem faulty(RealFileSystem());
        faulty.CountReads(true);
        faulty.FailAt(k, false);
        Result<bool> saved = SaveCalendarSettings(o, faulty);
        if (k > faulty.operations()) {
            ASSERT_TRUE(saved.ok()) << saved.error().message;
            break;
        }
        ASSERT_FALSE(saved.ok()) << "operation " << k << " failed unnoticed";
        if (FileBytes(name) != before) {
            // Only a failure to flush the folder comes after the new content is in place.
            EXPECT_NE(saved.error().message.find("holds the new content"), std::string::npos);
            std::ofstream(name, std::ios::binary | std::ios::trunc)
                .write(reinterpret_cast<const char*>(before.data()), static_cast<std::streamsize>(before.size()));
        } else {
            EXPECT_NE(saved.error().message.find(name), std::string::npos) << saved.error().message;
        }
    }
    ASSERT_TRUE(*back.ReadFromDisk(name));
    EXPECT_EQ(*back.GetDayType(eve), 0);
    fsys::remove_all(pattern);
}

} // namespace
} // namespace vel
