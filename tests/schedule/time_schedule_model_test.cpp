#include "schedule/time_schedule.h"

#include "tests/schedule/schedule_test_support.h"

#include <gtest/gtest.h>

#include <random>
#include <utility>
#include <vector>

namespace vel {
namespace {

using test::RecordingHost;
using test::RecordingSurface;
using MinutePairs = std::vector<std::pair<int, int>>;

MinutePairs Minutes(const cTimeSchedule& s, int d)
{
    MinutePairs out;
    auto periods = s.Periods(d);
    EXPECT_TRUE(periods.ok());
    if (!periods) return out;
    for (const auto& p : *periods) out.emplace_back(p->m_StartMinute, p->m_StopMinute);
    return out;
}

void Fill(cTimeSchedule& s, int d, const MinutePairs& periods)
{
    ASSERT_TRUE(s.ClearPeriods(d).ok());
    for (auto [a, b] : periods)
        ASSERT_TRUE(s.AppendPeriod(d, static_cast<std::int16_t>(a), static_cast<std::int16_t>(b)).ok());
}

const cTimeSchedulePeriod* Nth(const cTimeSchedule& s, int d, std::size_t i)
{
    return (*s.Periods(d))[i].get();
}

class ScheduleEditing : public ::testing::Test {
protected:
    void SetUp() override { host.AcceptEditorMembers(); }
    RecordingHost host;
    RecordingSurface surface;
    cTimeSchedule s;
};

TEST(TimeScheduleModel, NewScheduleHasTheCreationDefaults)
{
    cTimeSchedule s;
    for (int d = 0; d < 23; ++d) {
        EXPECT_EQ(*s.GetActive(static_cast<std::int16_t>(d)), d <= 6 ? -1 : 0) << d;
        EXPECT_EQ(s.m_DayTypeGrouped[static_cast<std::size_t>(d)], 0);
        EXPECT_EQ(s.m_DayTypeAxis[static_cast<std::size_t>(d)], 0);
        EXPECT_TRUE(Minutes(s, d).empty());
    }
    EXPECT_EQ(s.m_UseCalendar, 0);
    EXPECT_EQ(s.m_NumberOfAxisToPaint, 0);
    EXPECT_EQ(s.SelectedDayType(), -1);
    EXPECT_EQ(s.SelectedPeriod(), nullptr);
    EXPECT_EQ(s.CopiedDayType(), -1);
    EXPECT_EQ(s.Scale(), 0.0F);
}

TEST(TimeScheduleModel, SetDefaultPeriodAppendsTheWorkingWeekEachTime)
{
    cTimeSchedule s;
    s.m_DayTypeActive[2] = 0;
    s.SetDefaultPeriod();
    for (int d = 0; d <= 4; ++d) {
        EXPECT_EQ(Minutes(s, d), (MinutePairs{{420, 960}})) << d;
        EXPECT_EQ(s.m_DayTypeActive[static_cast<std::size_t>(d)], -1);
        EXPECT_EQ(s.m_DayTypeGrouped[static_cast<std::size_t>(d)], -1);
    }
    for (int d = 5; d <= 6; ++d) {
        EXPECT_TRUE(Minutes(s, d).empty());
        EXPECT_EQ(s.m_DayTypeActive[static_cast<std::size_t>(d)], -1);
        EXPECT_EQ(s.m_DayTypeGrouped[static_cast<std::size_t>(d)], 0);
    }
    s.SetDefaultPeriod();
    EXPECT_EQ(Minutes(s, 3), (MinutePairs{{420, 960}, {420, 960}}));
}

TEST(TimeScheduleModel, GetNextTimePeriodWalksByIdentity)
{
    cTimeSchedule s;
    Fill(s, 1, {{60, 120}, {60, 120}, {300, 400}});
    Fill(s, 2, {{60, 120}});
    std::int16_t a = -7, b = -7;
    auto first = s.GetNextTimePeriod(1, a, b, nullptr);
    ASSERT_TRUE(first.ok());
    EXPECT_EQ(*first, Nth(s, 1, 0));
    EXPECT_EQ(a, 60);
    EXPECT_EQ(b, 120);
    // B has the same minutes as A: identity, not equality, decides.
    EXPECT_EQ(*s.GetNextTimePeriod(1, a, b, Nth(s, 1, 0)), Nth(s, 1, 1));
    EXPECT_EQ(*s.GetNextTimePeriod(1, a, b, Nth(s, 1, 1)), Nth(s, 1, 2));
    EXPECT_EQ(a, 300);
    EXPECT_EQ(b, 400);
    EXPECT_EQ(*s.GetNextTimePeriod(1, a, b, Nth(s, 1, 2)), nullptr);
    EXPECT_EQ(a, 300);
    // A period of another day type is not in the list: none.
    EXPECT_EQ(*s.GetNextTimePeriod(1, a, b, Nth(s, 2, 0)), nullptr);
    // Empty list.
    EXPECT_EQ(*s.GetNextTimePeriod(3, a, b, nullptr), nullptr);
}

TEST(TimeScheduleModel, InactiveDayTypeAnswersNoneAndLeavesTheTimes)
{
    cTimeSchedule s;
    Fill(s, 9, {{10, 20}});
    std::int16_t a = 111, b = 222;
    EXPECT_EQ(*s.GetNextTimePeriod(9, a, b, nullptr), nullptr);
    EXPECT_EQ(a, 111);
    EXPECT_EQ(b, 222);
    ASSERT_EQ(*s.SetActive(9, 1), 0);
    EXPECT_NE(*s.GetNextTimePeriod(9, a, b, nullptr), nullptr);
    EXPECT_EQ(a, 10);
}

TEST(TimeScheduleModel, DayTypesOutsideTheTableAreRefusedBeforeAnythingChanges)
{
    cTimeSchedule s;
    std::int16_t a = 0, b = 0;
    for (std::int16_t bad : {std::int16_t{-1}, std::int16_t{23}, std::int16_t{-32768}, std::int16_t{32767}}) {
        auto r = s.GetNextTimePeriod(bad, a, b, nullptr);
        ASSERT_FALSE(r.ok());
        EXPECT_EQ(r.error().code, ErrorCode::IndexOutOfRange);
        EXPECT_EQ(s.SetActive(bad, 1).error().code, ErrorCode::IndexOutOfRange);
        EXPECT_EQ(s.GetActive(bad).error().code, ErrorCode::IndexOutOfRange);
        EXPECT_EQ(s.AppendPeriod(bad, 1, 2).error().code, ErrorCode::IndexOutOfRange);
        EXPECT_EQ(cTimeScheduleTestAccess::Merge(s, bad == -1 ? -2 : bad).error().code, ErrorCode::IndexOutOfRange);
    }
    EXPECT_EQ(s.TotalPeriods(), 0u);
    EXPECT_TRUE(cTimeScheduleTestAccess::Merge(s, -1).ok()); // -1 means none
}

TEST(TimeScheduleModel, SetActiveNormalisesAndGetActiveReturnsTheStoredFlag)
{
    cTimeSchedule s;
    EXPECT_EQ(*s.SetActive(3, 5), 0);
    EXPECT_EQ(*s.GetActive(3), -1);
    EXPECT_EQ(*s.SetActive(3, 0), 0);
    EXPECT_EQ(*s.GetActive(3), 0);
    s.m_DayTypeActive[4] = 7; // as read from a file
    EXPECT_EQ(*s.GetActive(4), 7);
}

TEST(TimeScheduleModel, MergeFollowsTheListOrderRules)
{
    struct Case {
        MinutePairs in, out;
    };
    const std::vector<Case> cases = {
        {{{420, 720}, {720, 960}}, {{420, 960}}},                         // touching periods merge
        {{{600, 700}, {500, 650}}, {{500, 700}}},                         // later, earlier start
        {{{420, 960}, {500, 600}}, {{420, 960}}},                         // inside disappears
        {{{420, 500}, {600, 700}}, {{420, 500}, {600, 700}}},             // apart: nothing
        {{{600, 700}, {100, 200}, {150, 250}}, {{600, 700}, {100, 250}}}, // survivors keep order
        {{{600, 700}, {100, 200}, {150, 650}}, {{100, 700}}},             // a later pass merges the first away
        {{{100, 200}, {100, 300}}, {{100, 300}}},                         // same start: the earlier survives
        {{{300, 400}, {200, 310}, {100, 210}}, {{100, 400}}},             // needs several passes
    };
    for (const auto& c : cases) {
        cTimeSchedule s;
        Fill(s, 0, c.in);
        ASSERT_TRUE(cTimeScheduleTestAccess::Merge(s, 0).ok());
        EXPECT_EQ(Minutes(s, 0), c.out);
    }
}

bool SomePairMerges(const MinutePairs& v)
{
    for (std::size_t i = 0; i < v.size(); ++i)
        for (std::size_t j = 0; j < v.size(); ++j)
            if (i != j && v[i].first <= v[j].first && v[j].first <= v[i].second) return true;
    return false;
}

TEST(TimeScheduleModel, MergeOfRandomListsLeavesNothingToMerge)
{
    std::mt19937 rng(42);
    std::uniform_int_distribution<int> minute(0, 1440);
    std::uniform_int_distribution<int> count(0, 9);
    for (int round = 0; round < 3000; ++round) {
        MinutePairs in;
        const int n = count(rng);
        for (int k = 0; k < n; ++k) {
            const int a = minute(rng);
            // Mostly proper periods, some with the stop before the start.
            const int b = (k % 4 == 3) ? a - minute(rng) % 60 : a + minute(rng) % 240;
            in.emplace_back(a, b);
        }
        cTimeSchedule s;
        Fill(s, 2, in);
        ASSERT_TRUE(cTimeScheduleTestAccess::Merge(s, 2).ok());
        const MinutePairs out = Minutes(s, 2);
        EXPECT_FALSE(SomePairMerges(out)) << round;
        if (!SomePairMerges(in)) {
            EXPECT_EQ(out, in) << round;
        }
        EXPECT_LE(out.size(), in.size());
    }
}

TEST(TimeScheduleModel, MergeKeepsTheSameStartSurvivorAndMovesTheSelection)
{
    cTimeSchedule s;
    Fill(s, 0, {{100, 200}, {100, 300}, {500, 600}});
    const cTimeSchedulePeriod* first = Nth(s, 0, 0);
    ASSERT_TRUE(s.Select(0, Nth(s, 0, 1)).ok());
    ASSERT_TRUE(cTimeScheduleTestAccess::Merge(s, 0).ok());
    EXPECT_EQ(Nth(s, 0, 0), first);
    EXPECT_EQ(s.SelectedPeriod(), first); // the merged-away period handed its selection over
    EXPECT_EQ(Minutes(s, 0), (MinutePairs{{100, 300}, {500, 600}}));
}

TEST(TimeScheduleModel, SelectRefusesAPeriodOfAnotherDayType)
{
    cTimeSchedule s;
    Fill(s, 1, {{1, 2}});
    EXPECT_EQ(s.Select(0, Nth(s, 1, 0)).error().code, ErrorCode::InvalidArgument);
    EXPECT_EQ(s.SelectedDayType(), -1);
}

TEST_F(ScheduleEditing, GroupJoinsTheLowestGroupedDayTypeOrStartsAGroup)
{
    Fill(s, 0, {{60, 120}});
    ASSERT_TRUE(s.Select(0, nullptr).ok());
    ASSERT_TRUE(s.Group(host, &surface).ok());
    EXPECT_EQ(s.m_DayTypeGrouped[0], -1);
    EXPECT_EQ(Minutes(s, 0), (MinutePairs{{60, 120}})); // alone: keeps its periods
    ASSERT_TRUE(s.Group(host, &surface).ok());
    EXPECT_EQ(s.m_DayTypeGrouped[0], 0);
    EXPECT_EQ(Minutes(s, 0), (MinutePairs{{60, 120}}));

    Fill(s, 2, {{100, 300}, {200, 400}});
    Fill(s, 4, {{900, 1000}});
    s.m_DayTypeGrouped[2] = -1;
    s.m_DayTypeGrouped[4] = -1;
    ASSERT_TRUE(s.Group(host, &surface).ok());
    EXPECT_EQ(s.m_DayTypeGrouped[0], -1);
    EXPECT_EQ(Minutes(s, 0), (MinutePairs{{100, 400}}));             // Wednesday's periods, merged
    EXPECT_EQ(Minutes(s, 2), (MinutePairs{{100, 300}, {200, 400}})); // the others untouched
    EXPECT_NE(Nth(s, 0, 0), Nth(s, 2, 0));                           // copies, not shared
    EXPECT_EQ(s.SelectedDayType(), 0);
}

TEST_F(ScheduleEditing, GroupOnAStoredFlagOfOneStaysTrue)
{
    s.m_DayTypeGrouped[3] = 1;
    ASSERT_TRUE(s.Select(3, nullptr).ok());
    ASSERT_TRUE(s.Group(host, &surface).ok());
    EXPECT_EQ(s.m_DayTypeGrouped[3], -2);
}

TEST_F(ScheduleEditing, GroupWithoutSelectionIsRefusedUntouched)
{
    auto st = s.Group(host, &surface);
    EXPECT_EQ(st.error().code, ErrorCode::IndexOutOfRange);
    for (auto g : s.m_DayTypeGrouped) EXPECT_EQ(g, 0);
}

TEST_F(ScheduleEditing, GroupMonFriFollowsTheMenuCheckMark)
{
    Fill(s, 0, {{480, 1020}});
    Fill(s, 1, {{0, 1440}});
    Fill(s, 6, {{5, 6}});
    s.m_DayTypeGrouped[6] = -1;
    s.m_DayTypeGrouped[12] = 1;
    ASSERT_TRUE(s.GroupMonFri(host, &surface).ok());
    for (int d = 0; d < 23; ++d) EXPECT_EQ(s.m_DayTypeGrouped[static_cast<std::size_t>(d)], d <= 4 ? -1 : 0) << d;
    for (int d = 1; d <= 4; ++d) EXPECT_EQ(Minutes(s, d), (MinutePairs{{480, 1020}})) << d;
    EXPECT_EQ(Minutes(s, 6), (MinutePairs{{5, 6}}));
    EXPECT_EQ(host.CallsTo("Get_Menu_TimeSchedulePopup_Grouped_MonFri_Checked").size(), 23u);

    host.Answer("Get_Menu_TimeSchedulePopup_Grouped_MonFri_Checked", HostValue{std::int16_t{-1}});
    Fill(s, 2, {{1, 2}});
    ASSERT_TRUE(s.GroupMonFri(host, &surface).ok());
    for (auto g : s.m_DayTypeGrouped) EXPECT_EQ(g, 0);
    EXPECT_EQ(Minutes(s, 2), (MinutePairs{{1, 2}}));
    EXPECT_EQ(Minutes(s, 1), (MinutePairs{{480, 1020}}));
}

TEST_F(ScheduleEditing, GroupMonFriPassesAMissingMemberOn)
{
    host.Remove("Get_Menu_TimeSchedulePopup_Grouped_MonFri_Checked");
    EXPECT_EQ(s.GroupMonFri(host, &surface).error().code, ErrorCode::MissingMember);
}

TEST_F(ScheduleEditing, CopyAndPasteCopyThePeriodsAtPasteTime)
{
    Fill(s, 5, {{100, 200}});
    ASSERT_TRUE(s.Select(5, nullptr).ok());
    s.Copy();
    EXPECT_EQ(s.CopiedDayType(), 5);
    ASSERT_TRUE(s.AppendPeriod(5, 150, 300).ok()); // added after Copy: pasted too
    Fill(s, 0, {{700, 800}});
    s.m_DayTypeGrouped[0] = -1;
    ASSERT_TRUE(s.Select(0, Nth(s, 0, 0)).ok());
    ASSERT_TRUE(s.Paste(host, &surface).ok());
    EXPECT_EQ(Minutes(s, 0), (MinutePairs{{100, 300}})); // merged after the paste
    EXPECT_EQ(s.m_DayTypeGrouped[0], 0);                 // Saturday was not grouped
    EXPECT_EQ(Minutes(s, 5), (MinutePairs{{100, 200}, {150, 300}}));
    EXPECT_EQ(s.SelectedPeriod(), nullptr); // the selected period was replaced
    EXPECT_EQ(s.SelectedDayType(), 0);
    EXPECT_EQ(s.CopiedDayType(), 5);

    // Paste onto the copied day type itself does nothing.
    ASSERT_TRUE(s.Select(5, nullptr).ok());
    ASSERT_TRUE(s.Paste(host, &surface).ok());
    EXPECT_EQ(Minutes(s, 5), (MinutePairs{{100, 200}, {150, 300}}));
}

TEST_F(ScheduleEditing, PasteWithNothingCopiedLeavesTheDayTypeAsItWas)
{
    Fill(s, 2, {{10, 20}});
    s.m_DayTypeGrouped[2] = -1;
    ASSERT_TRUE(s.Select(2, nullptr).ok());
    ASSERT_TRUE(s.Paste(host, &surface).ok());
    EXPECT_EQ(Minutes(s, 2), (MinutePairs{{10, 20}}));
    EXPECT_EQ(s.m_DayTypeGrouped[2], -1);
    // Copy with nothing selected records -1: still nothing to paste.
    ASSERT_TRUE(s.Select(-1, nullptr).ok());
    s.Copy();
    ASSERT_TRUE(s.Select(2, nullptr).ok());
    ASSERT_TRUE(s.Paste(host, &surface).ok());
    EXPECT_EQ(Minutes(s, 2), (MinutePairs{{10, 20}}));
}

TEST_F(ScheduleEditing, PasteKeepsTheSourceGroupFlag)
{
    Fill(s, 1, {{1, 2}});
    s.m_DayTypeGrouped[1] = 1;
    ASSERT_TRUE(s.Select(1, nullptr).ok());
    s.Copy();
    ASSERT_TRUE(s.Select(3, nullptr).ok());
    ASSERT_TRUE(s.Paste(host, &surface).ok());
    EXPECT_EQ(s.m_DayTypeGrouped[3], 1);
}

TEST_F(ScheduleEditing, DeleteOfTheSelectedPeriodBlanksTheTextsAndDropsTheSelection)
{
    Fill(s, 1, {{10, 20}, {30, 40}});
    s.m_DayTypeGrouped[1] = -1;
    ASSERT_TRUE(s.Select(1, Nth(s, 1, 1)).ok());
    host.texts["Set_Text_Schedule_Period_Start"] = "00:30";
    ASSERT_TRUE(s.Delete(host, &surface).ok());
    EXPECT_TRUE(Minutes(s, 1).empty());
    EXPECT_EQ(s.m_DayTypeGrouped[1], 0);
    EXPECT_EQ(s.SelectedPeriod(), nullptr);
    EXPECT_EQ(s.SelectedDayType(), -1);
    EXPECT_EQ(host.texts["Set_Text_Schedule_Period_Start"], "");
    EXPECT_EQ(host.texts["Set_Text_Schedule_Period_Stop"], "");
    const auto order = host.MemberOrder();
    ASSERT_GE(order.size(), 2u);
    EXPECT_EQ(order[0], "Set_Text_Schedule_Period_Start");
    EXPECT_EQ(order[1], "Set_Text_Schedule_Period_Stop");
}

TEST_F(ScheduleEditing, DeleteWithoutSelectionChangesNothing)
{
    Fill(s, 1, {{10, 20}});
    s.m_DayTypeGrouped[1] = -1;
    ASSERT_TRUE(s.Delete(host, &surface).ok());
    EXPECT_EQ(Minutes(s, 1), (MinutePairs{{10, 20}}));
    EXPECT_EQ(s.m_DayTypeGrouped[1], -1);
    EXPECT_TRUE(host.calls.empty());
    ASSERT_TRUE(s.SetTimeFrom00to24(host, &surface).ok());
    EXPECT_EQ(Minutes(s, 1), (MinutePairs{{10, 20}}));
}

TEST_F(ScheduleEditing, SetTimeFrom00to24GivesOneWholeDayPeriodAndDropsTheSelection)
{
    Fill(s, 4, {{10, 20}, {30, 40}});
    s.m_DayTypeGrouped[4] = -1;
    ASSERT_TRUE(s.Select(4, Nth(s, 4, 0)).ok());
    ASSERT_TRUE(s.SetTimeFrom00to24(host, &surface).ok());
    EXPECT_EQ(Minutes(s, 4), (MinutePairs{{0, 1440}}));
    EXPECT_EQ(s.m_DayTypeGrouped[4], 0);
    EXPECT_EQ(s.SelectedDayType(), -1);
    EXPECT_EQ(s.SelectedPeriod(), nullptr);
}

TEST_F(ScheduleEditing, CopyPeriodsToGroupReplacesEveryOtherGroupedDayType)
{
    Fill(s, 0, {{100, 200}, {150, 250}});
    Fill(s, 3, {{1, 2}});
    Fill(s, 9, {{3, 4}});
    Fill(s, 5, {{5, 6}});
    s.m_DayTypeGrouped[0] = -1;
    s.m_DayTypeGrouped[3] = -1;
    s.m_DayTypeGrouped[9] = 7;
    ASSERT_TRUE(cTimeScheduleTestAccess::CopyToGroup(s, host, &surface, 0).ok());
    EXPECT_EQ(Minutes(s, 3), (MinutePairs{{100, 250}}));
    EXPECT_EQ(Minutes(s, 9), (MinutePairs{{100, 250}}));
    EXPECT_EQ(Minutes(s, 5), (MinutePairs{{5, 6}}));
    EXPECT_EQ(Minutes(s, 0), (MinutePairs{{100, 200}, {150, 250}})); // the source is not merged here
    // Not grouped: nothing happens.
    s.m_DayTypeGrouped[5] = 0;
    Fill(s, 3, {{1, 2}});
    ASSERT_TRUE(cTimeScheduleTestAccess::CopyToGroup(s, host, &surface, 5).ok());
    EXPECT_EQ(Minutes(s, 3), (MinutePairs{{1, 2}}));
    EXPECT_EQ(cTimeScheduleTestAccess::CopyToGroup(s, host, &surface, 23).error().code, ErrorCode::IndexOutOfRange);
}

TEST_F(ScheduleEditing, RemovedSelectionIsNeverReachable)
{
    Fill(s, 0, {{100, 200}});
    Fill(s, 1, {{300, 400}});
    s.m_DayTypeGrouped[0] = -1;
    s.m_DayTypeGrouped[1] = -1;
    ASSERT_TRUE(s.Select(1, Nth(s, 1, 0)).ok());
    // The group copy replaces Tuesday's periods, the selected one among them.
    ASSERT_TRUE(cTimeScheduleTestAccess::CopyToGroup(s, host, &surface, 0).ok());
    EXPECT_EQ(s.SelectedPeriod(), nullptr);
    // The text round trip then has nothing to act on.
    host.texts["Set_Text_Schedule_Period_Start"] = "01:00";
    host.calls.clear();
    ASSERT_TRUE(s.ExtractTimeFromTextboxes(host, &surface).ok());
    EXPECT_TRUE(host.calls.empty());
    EXPECT_EQ(Minutes(s, 1), (MinutePairs{{100, 200}}));
}

} // namespace
} // namespace vel
