#include "schedule/time_text.h"

#include <gtest/gtest.h>

#include <string>

namespace vel {
namespace {

TEST(ScheduleTimeText, MinutesAsTwoDigitHoursAndMinutes)
{
    EXPECT_EQ(MinutesToTimeText(0), "00:00");
    EXPECT_EQ(MinutesToTimeText(425), "07:05");
    EXPECT_EQ(MinutesToTimeText(1440), "24:00");
    EXPECT_EQ(MinutesToTimeText(1439), "23:59");
}

TEST(TimeTextToMinutes, ListedExamples)
{
    const std::pair<const char*, int> cases[] = {
        {"8:30", 510}, {"08.30", 510}, {"8,5", 485},    {"8 30", 510},  {":30", 30},     {"8:", 480},
        {"-30", 30},   {"+15", 15},    {"9", 540},      {"12", 720},    {"07", 7},       {"0", 0},
        {"930", 570},  {"0930", 570},  {"12345", 1425}, {"2400", 1440}, {"25:00", 1440}, {"0:-5", 0},
        {"", 0},       {"abc", 0},     {"1:31.5", 92},  {"1:30.5", 90},
    };
    for (const auto& [text, minutes] : cases) EXPECT_EQ(TimeTextToMinutes(text), minutes) << '"' << text << '"';
}

TEST(TimeTextToMinutes, SeparatorKindsAreTriedInOrder)
{
    // ":" wins over "." although "." comes first in the text.
    EXPECT_EQ(TimeTextToMinutes("12.30:15"), 753); // 12.3 hours and 15 minutes
    EXPECT_EQ(TimeTextToMinutes("1-2+3"), 62);
}

TEST(TimeTextToMinutes, AbsurdInputIsBounded)
{
    EXPECT_EQ(TimeTextToMinutes(std::string(400, '9') + ":00"), 1440);
    EXPECT_EQ(TimeTextToMinutes("1e999:0"), 1440);
    EXPECT_EQ(TimeTextToMinutes("-1e999:0"), 0);
    EXPECT_EQ(TimeTextToMinutes(std::string("\0\xff:\x80", 4)), 0);
}

} // namespace
} // namespace vel
