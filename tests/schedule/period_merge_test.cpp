// Merging, group copies and the period walk compared with plain versions of
// their rules kept here: merging pass by pass exactly as the rule reads, and
// "the period after" by walking the list.

#include "schedule/time_schedule.h"

#include "tests/schedule/schedule_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace vel {
namespace {

using test::RecordingHost;
using test::RecordingSurface;
using MinutePairs = std::vector<std::pair<int, int>>;

struct RefPeriod {
    int id = 0;
    int start = 0;
    int stop = 0;
};

struct RefMerge {
    std::vector<RefPeriod> list;
    int selected = -1; // id, -1 none
    int dragged = -1;
};

// The merge rule, pass by pass: each period P in list order takes in the
// first period Q in list order with P.start <= Q.start <= P.stop (Q not P),
// at most one a pass; passes repeat until one merges nothing.
RefMerge MergeByPasses(RefMerge m)
{
    for (bool merged = true; merged;) {
        merged = false;
        for (std::size_t pi = 0; pi < m.list.size(); ++pi) {
            for (std::size_t qi = 0; qi < m.list.size(); ++qi) {
                if (qi == pi) continue;
                RefPeriod& P = m.list[pi];
                const RefPeriod Q = m.list[qi];
                if (!(P.start <= Q.start && Q.start <= P.stop)) continue;
                if (Q.stop > P.stop) P.stop = Q.stop;
                if (m.selected == Q.id) m.selected = P.id;
                if (m.dragged == Q.id) m.dragged = -1;
                m.list.erase(m.list.begin() + static_cast<std::ptrdiff_t>(qi));
                if (qi < pi) --pi;
                merged = true;
                break;
            }
        }
    }
    return m;
}

std::span<const std::unique_ptr<cTimeSchedulePeriod>> List(const cTimeSchedule& s, int d)
{
    auto periods = s.Periods(d);
    EXPECT_TRUE(periods.ok());
    if (!periods) return {};
    return *periods;
}

std::vector<const cTimeSchedulePeriod*> Fill(cTimeSchedule& s, int d, const MinutePairs& periods)
{
    std::vector<const cTimeSchedulePeriod*> out;
    EXPECT_TRUE(s.ClearPeriods(d).ok());
    for (auto [a, b] : periods)
        out.push_back(*s.AppendPeriod(d, static_cast<std::int16_t>(a), static_cast<std::int16_t>(b)));
    return out;
}

MinutePairs Minutes(const cTimeSchedule& s, int d)
{
    MinutePairs out;
    for (const auto& p : List(s, d)) out.emplace_back(p->m_StartMinute, p->m_StopMinute);
    return out;
}

const cTimeSchedulePeriod* Nth(const cTimeSchedule& s, int d, std::size_t i = 0)
{
    return (List(s, d))[i].get();
}

// Merges `in` (with the periods at `selected` and `dragged` selected and
// dragged, -1 for none) in a schedule and by passes, and compares which
// periods survive, in which order, with which minutes, and where the
// selection and the drag end up.
void ExpectMergeAsByPasses(const MinutePairs& in, int selected, int dragged, const std::string& label)
{
    SCOPED_TRACE(label);
    cTimeSchedule s;
    const auto made = Fill(s, 4, in);
    ASSERT_TRUE(s.Select(4, selected >= 0 ? made[static_cast<std::size_t>(selected)] : nullptr).ok());
    cTimeScheduleTestAccess::SetDragged(s, dragged >= 0 ? made[static_cast<std::size_t>(dragged)] : nullptr);

    RefMerge ref;
    for (std::size_t i = 0; i < in.size(); ++i) ref.list.push_back({static_cast<int>(i), in[i].first, in[i].second});
    ref.selected = selected;
    ref.dragged = dragged;
    ref = MergeByPasses(ref);

    ASSERT_TRUE(cTimeScheduleTestAccess::Merge(s, 4).ok());
    const auto after = List(s, 4);
    ASSERT_EQ(after.size(), ref.list.size());
    for (std::size_t i = 0; i < after.size(); ++i) {
        const RefPeriod& r = ref.list[i];
        EXPECT_EQ(after[i].get(), made[static_cast<std::size_t>(r.id)]) << "survivor " << i << " is another period";
        EXPECT_EQ(after[i]->m_StartMinute, r.start) << i;
        EXPECT_EQ(after[i]->m_StopMinute, r.stop) << i;
    }
    EXPECT_EQ(s.SelectedPeriod(), ref.selected >= 0 ? made[static_cast<std::size_t>(ref.selected)] : nullptr);
    EXPECT_EQ(s.DraggedPeriod(), ref.dragged >= 0 ? made[static_cast<std::size_t>(ref.dragged)] : nullptr);
}

std::string Describe(const MinutePairs& v)
{
    std::string out;
    for (auto [a, b] : v) out += "(" + std::to_string(a) + "," + std::to_string(b) + ")";
    return out;
}

TEST(PeriodMerge, TrickyListsMergeAsPassByPass)
{
    struct Case {
        MinutePairs in;
        int selected;
        int dragged;
    };
    const std::vector<Case> cases = {
        // Same start: the earlier one takes in the later one...
        {{{0, 10}, {0, 20}}, 1, -1},
        // ...unless it takes in another period first; then the later one
        // takes in the earlier one in the same pass.
        {{{0, 10}, {3, 4}, {0, 20}}, 0, 2},
        {{{0, 10}, {3, 4}, {9, 9}, {0, 20}, {0, 5}}, 4, 0},
        // Touching periods, both ways round; one inside another; apart.
        {{{720, 960}, {420, 720}}, 0, 1},
        {{{420, 960}, {500, 600}, {960, 961}}, 1, 2},
        {{{420, 500}, {501, 700}}, 1, 0},
        // A chain that needs several passes; the selection moves along it.
        {{{300, 400}, {200, 310}, {100, 210}, {0, 110}}, 0, 3},
        // Stop before start: never takes anything in, is taken in when its
        // start lies inside another period, stays when it lies outside.
        {{{100, 50}, {60, 70}}, 0, 1},
        {{{50, 40}, {0, 100}, {500, 400}}, 0, 2},
        {{{10, 10}, {10, 5}, {10, 10}}, 1, 2},
        // Equal periods.
        {{{5, 5}, {5, 5}, {5, 5}}, 2, 1},
        // Minutes at the ends of the 16-bit range.
        {{{-32768, 32767}, {32767, -32768}, {0, 0}, {-32768, -32768}}, 3, 1},
    };
    for (std::size_t i = 0; i < cases.size(); ++i)
        ExpectMergeAsByPasses(cases[i].in, cases[i].selected, cases[i].dragged, "case " + std::to_string(i));
}

TEST(PeriodMerge, RandomListsMergeAsPassByPass)
{
    std::mt19937 rng(20240611);
    auto any = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    struct Shape {
        int rounds, maxCount, minuteLow, minuteHigh, lengthLow, lengthHigh;
    };
    const Shape shapes[] = {
        {4000, 24, 0, 20, -4, 12},               // crowded: equal starts, touching, inside, reversed
        {600, 12, -32768, 32767, -40000, 40000}, // anywhere in the 16-bit range
        {60, 300, 0, 1440, -20, 150},            // many periods over a day
    };
    for (const Shape& shape : shapes) {
        for (int round = 0; round < shape.rounds; ++round) {
            MinutePairs in;
            const int n = any(0, shape.maxCount);
            for (int k = 0; k < n; ++k) {
                const int start = any(shape.minuteLow, shape.minuteHigh);
                const int stop = std::clamp(start + any(shape.lengthLow, shape.lengthHigh), -32768, 32767);
                in.emplace_back(start, stop);
            }
            const int selected = n > 0 && any(0, 3) > 0 ? any(0, n - 1) : -1;
            const int dragged = n > 0 && any(0, 3) > 0 ? any(0, n - 1) : -1;
            ExpectMergeAsByPasses(in, selected, dragged, Describe(in));
            if (::testing::Test::HasFailure()) return;
        }
    }
}

TEST(PeriodMerge, ALargeListMergesAsPassByPass)
{
    // 3000 overlapping periods with many equal starts, as a long list read
    // from a file that was never merged holds.
    MinutePairs in;
    for (int k = 0; k < 3000; ++k) in.emplace_back((k * 97) % 1380, (k * 97) % 1380 + 10 + k % 50);
    ExpectMergeAsByPasses(in, 2999, 1500, "3000 periods");
}

class GroupCopy : public ::testing::Test {
protected:
    void SetUp() override { host.AcceptEditorMembers(); }
    RecordingHost host;
    RecordingSurface surface;
};

TEST_F(GroupCopy, EveryGroupedDayTypeGetsItsOwnMergedCopies)
{
    std::mt19937 rng(7);
    auto any = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int round = 0; round < 200; ++round) {
        cTimeSchedule s;
        MinutePairs in;
        const int n = any(0, 30);
        for (int k = 0; k < n; ++k) {
            const int start = any(0, 60);
            in.emplace_back(start, start + any(-5, 20));
        }
        const int source = any(0, 22);
        const auto made = Fill(s, source, in);
        for (std::size_t d = 0; d < DayTypeCount; ++d) {
            s.m_DayTypeGrouped[d] = static_cast<std::int16_t>(any(0, 2) == 0 ? 0 : -1);
            const int c = static_cast<int>(d);
            if (c != source) Fill(s, c, {{c, c + 1}, {c + 2, c + 3}});
        }
        s.m_DayTypeGrouped[static_cast<std::size_t>(source)] = -1;
        // A selected period in a day type that the copy replaces is dropped;
        // one of the source stays selected.
        const int other = (source + 1) % 23;
        const bool selectSource = n > 0 && any(0, 1) == 0;
        ASSERT_TRUE(s.Select(selectSource ? source : other,
                             selectSource ? made[static_cast<std::size_t>(any(0, n - 1))] : Nth(s, other))
                        .ok());
        const cTimeSchedulePeriod* selectedBefore = s.SelectedPeriod();

        RefMerge ref;
        for (std::size_t i = 0; i < in.size(); ++i)
            ref.list.push_back({static_cast<int>(i), in[i].first, in[i].second});
        MinutePairs merged;
        for (const RefPeriod& r : MergeByPasses(ref).list) merged.emplace_back(r.start, r.stop);

        ASSERT_TRUE(cTimeScheduleTestAccess::CopyToGroup(s, host, &surface, source).ok());
        std::vector<const cTimeSchedulePeriod*> seen(made.begin(), made.end());
        for (int d = 0; d < 23; ++d) {
            if (d == source) {
                EXPECT_EQ(Minutes(s, d), in) << "the source is neither merged nor copied over";
                continue;
            }
            if (s.m_DayTypeGrouped[static_cast<std::size_t>(d)] == 0) {
                EXPECT_EQ(Minutes(s, d), (MinutePairs{{d, d + 1}, {d + 2, d + 3}})) << d;
                continue;
            }
            EXPECT_EQ(Minutes(s, d), merged) << "day type " << d << " from " << Describe(in);
            for (const auto& p : List(s, d)) {
                EXPECT_EQ(std::find(seen.begin(), seen.end(), p.get()), seen.end()) << "shared period object";
                seen.push_back(p.get());
            }
        }
        const bool otherReplaced = s.m_DayTypeGrouped[static_cast<std::size_t>(other)] != 0;
        EXPECT_EQ(s.SelectedPeriod(), selectSource || !otherReplaced ? selectedBefore : nullptr);
        if (::testing::Test::HasFailure()) return;
    }
}

TEST_F(GroupCopy, AReleaseCopiesToTheGroupThenMergesAsPassByPass)
{
    // A press and release without a move: the pressed day type goes to the
    // group, then is merged itself.
    std::mt19937 rng(12);
    auto any = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int round = 0; round < 300; ++round) {
        cTimeSchedule s;
        DrawingSurface* variable = &surface;
        ASSERT_TRUE(s.RecalculateAndPrepareToPaint(host, variable, &surface).ok());
        MinutePairs in;
        for (int k = any(0, 30); k > 0; --k) {
            const int start = any(500, 600);
            in.emplace_back(start, start + any(-5, 30));
        }
        const int day = any(0, 6);
        const auto made = Fill(s, day, in);
        for (int d = 0; d < 7; ++d)
            s.m_DayTypeGrouped[static_cast<std::size_t>(d)] = static_cast<std::int16_t>(any(0, 1) ? -1 : 0);
        const float x = 30.0F + static_cast<float>(any(500, 640)) / 5.0F;
        const float y = 25.0F * static_cast<float>(day) + 10.0F;
        ASSERT_TRUE(s.MouseDown(host, &surface, 1, 0, x, y).ok());
        const auto chosen = std::find(made.begin(), made.end(), s.SelectedPeriod());
        const int selected = chosen == made.end() ? -1 : static_cast<int>(chosen - made.begin());

        RefMerge ref;
        for (std::size_t i = 0; i < in.size(); ++i)
            ref.list.push_back({static_cast<int>(i), in[i].first, in[i].second});
        ref.selected = selected;
        ref = MergeByPasses(ref);
        MinutePairs merged;
        for (const RefPeriod& r : ref.list) merged.emplace_back(r.start, r.stop);

        ASSERT_TRUE(s.MouseUp(host, &surface, 1, 0, x, y).ok());
        const auto after = List(s, day);
        ASSERT_EQ(after.size(), ref.list.size()) << Describe(in);
        for (std::size_t i = 0; i < after.size(); ++i) {
            EXPECT_EQ(after[i].get(), made[static_cast<std::size_t>(ref.list[i].id)]);
            EXPECT_EQ(after[i]->m_StopMinute, ref.list[i].stop);
        }
        EXPECT_EQ(s.SelectedPeriod(), ref.selected >= 0 ? made[static_cast<std::size_t>(ref.selected)] : nullptr);
        EXPECT_EQ(s.DraggedPeriod(), nullptr);
        for (int d = 0; d < 7; ++d) {
            if (d != day && s.m_DayTypeGrouped[static_cast<std::size_t>(day)] != 0 &&
                s.m_DayTypeGrouped[static_cast<std::size_t>(d)] != 0) {
                EXPECT_EQ(Minutes(s, d), merged) << "day type " << d;
            }
        }
        if (::testing::Test::HasFailure()) return;
    }
}

// The period after `last` in the list of d by walking it; nullptr when last
// is the last one or not in the list. For nullptr, the first period.
const cTimeSchedulePeriod* AfterByWalking(const cTimeSchedule& s, int d, const cTimeSchedulePeriod* last)
{
    const auto list = List(s, d);
    if (last == nullptr) return list.empty() ? nullptr : list[0].get();
    for (std::size_t i = 0; i < list.size(); ++i)
        if (list[i].get() == last) return i + 1 < list.size() ? list[i + 1].get() : nullptr;
    return nullptr;
}

TEST(PeriodWalk, AnswersAsWalkingTheListThroughEdits)
{
    std::mt19937 rng(99);
    auto any = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    cTimeSchedule s;
    for (std::int16_t d = 0; d < 23; ++d) ASSERT_TRUE(s.SetActive(d, 1).ok());
    RecordingHost host;
    host.AcceptEditorMembers();
    // Periods handed out before, some of them no longer in any list.
    std::vector<const cTimeSchedulePeriod*> known;
    for (int step = 0; step < 3000; ++step) {
        const int d = any(0, 3);
        switch (any(0, 9)) {
        case 0:
            for (int k = any(1, 20); k > 0; --k) {
                const int start = any(0, 100);
                known.push_back(*s.AppendPeriod(d, static_cast<std::int16_t>(start),
                                                static_cast<std::int16_t>(start + any(-3, 30))));
            }
            break;
        case 1:
            ASSERT_TRUE(s.ClearPeriods(d).ok());
            break;
        case 2:
            ASSERT_TRUE(cTimeScheduleTestAccess::Merge(s, d).ok());
            break;
        case 3: {
            ASSERT_TRUE(s.Select(d, nullptr).ok());
            s.Copy();
            ASSERT_TRUE(s.Select((d + 1) % 4, nullptr).ok());
            ASSERT_TRUE(s.Paste(host, nullptr).ok());
            break;
        }
        case 4: {
            // A whole walk, as the month view does it.
            std::int16_t a = 0, b = 0;
            const cTimeSchedulePeriod* p = nullptr;
            std::size_t count = 0;
            do {
                const cTimeSchedulePeriod* expected = AfterByWalking(s, d, p);
                auto next = s.GetNextTimePeriod(static_cast<std::int16_t>(d), a, b, p);
                ASSERT_TRUE(next.ok());
                ASSERT_EQ(*next, expected) << "walk step " << count;
                if (expected != nullptr) {
                    EXPECT_EQ(a, expected->m_StartMinute);
                    EXPECT_EQ(b, expected->m_StopMinute);
                }
                p = expected;
                ++count;
            } while (p != nullptr);
            EXPECT_EQ(count, List(s, d).size() + 1);
            break;
        }
        default: {
            // A question about some period: of this list, of another one,
            // or one that has left its list (its address may be in use by a
            // newer period, which then is the one asked about).
            const auto list = List(s, d);
            const cTimeSchedulePeriod* asked = nullptr;
            const int kind = any(0, 2);
            if (kind == 0 && !list.empty())
                asked = list[static_cast<std::size_t>(any(0, static_cast<int>(list.size()) - 1))].get();
            if (kind == 1) asked = AfterByWalking(s, (d + 1) % 4, nullptr);
            if (kind == 2 && !known.empty())
                asked = known[static_cast<std::size_t>(any(0, static_cast<int>(known.size()) - 1))];
            std::int16_t a = -5, b = -5;
            auto next = s.GetNextTimePeriod(static_cast<std::int16_t>(d), a, b, asked);
            ASSERT_TRUE(next.ok());
            const cTimeSchedulePeriod* expected = AfterByWalking(s, d, asked);
            ASSERT_EQ(*next, expected);
            if (expected == nullptr) {
                EXPECT_EQ(a, -5);
                EXPECT_EQ(b, -5);
            }
            break;
        }
        }
    }
}

TEST(PeriodWalk, AWalkOfTheLargestDayTypeNeedsNoSearch)
{
    // 32767 periods: walked to the end and asked about every period once in
    // a shuffled order; every answer is the next list entry.
    cTimeSchedule s;
    std::vector<const cTimeSchedulePeriod*> made;
    for (int k = 0; k < 32767; ++k)
        made.push_back(*s.AppendPeriod(2, static_cast<std::int16_t>(k % 1440), static_cast<std::int16_t>(k % 1440)));
    std::int16_t a = 0, b = 0;
    const cTimeSchedulePeriod* p = nullptr;
    for (std::size_t i = 0; i < made.size(); ++i) {
        p = *s.GetNextTimePeriod(2, a, b, p);
        ASSERT_EQ(p, made[i]);
    }
    EXPECT_EQ(*s.GetNextTimePeriod(2, a, b, p), nullptr);
    std::vector<std::size_t> order(made.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::shuffle(order.begin(), order.end(), std::mt19937(3));
    for (std::size_t i : order)
        ASSERT_EQ(*s.GetNextTimePeriod(2, a, b, made[i]), i + 1 < made.size() ? made[i + 1] : nullptr);
}

TEST(PeriodDelete, AHostFailureAtTheSelectedPeriodLeavesItAndTheRest)
{
    RecordingHost host;
    host.AcceptEditorMembers();
    cTimeSchedule s;
    const auto made = Fill(s, 1, {{1, 2}, {3, 4}, {5, 6}, {7, 8}});
    ASSERT_TRUE(s.Select(1, made[2]).ok());
    cTimeScheduleTestAccess::SetDragged(s, made[0]);
    host.Remove("Set_Text_Schedule_Period_Start");
    EXPECT_EQ(s.Delete(host, nullptr).error().code, ErrorCode::MissingMember);
    // The periods before the selected one are gone; the selection is dropped.
    EXPECT_EQ(Minutes(s, 1), (MinutePairs{{5, 6}, {7, 8}}));
    EXPECT_EQ(Nth(s, 1, 0), made[2]);
    EXPECT_EQ(s.SelectedPeriod(), nullptr);
    EXPECT_EQ(s.DraggedPeriod(), nullptr);
    EXPECT_EQ(s.SelectedDayType(), 1);

    host.AcceptEditorMembers();
    ASSERT_TRUE(s.Select(1, made[3]).ok());
    ASSERT_TRUE(s.Delete(host, nullptr).ok());
    EXPECT_TRUE(Minutes(s, 1).empty());
    EXPECT_EQ(host.CallsTo("Set_Text_Schedule_Period_Stop").size(), 1u);
}

} // namespace
} // namespace vel
