#include "schedule/time_schedule.h"

#include "tests/schedule/schedule_test_support.h"

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

namespace vel {
namespace {

using test::LineOp;
using test::RecordingHost;
using test::RecordingSurface;
using MinutePairs = std::vector<std::pair<int, int>>;

MinutePairs Minutes(const cTimeSchedule& s, int d)
{
    MinutePairs out;
    const auto periods = s.Periods(d);
    for (const auto& p : *periods) out.emplace_back(p->m_StartMinute, p->m_StopMinute);
    return out;
}

std::int32_t Int(const HostValue& v)
{
    return *HostValueToInt(v);
}

class ScheduleView : public ::testing::Test {
protected:
    void SetUp() override
    {
        host.AcceptEditorMembers();
        s.SetDefaultPeriod();
        Recalculate();
    }
    void Recalculate()
    {
        DrawingSurface* var = &surface;
        ASSERT_TRUE(s.RecalculateAndPrepareToPaint(host, var, &surface).ok());
    }
    void Press(float x, float y, std::int16_t button = 1)
    {
        ASSERT_TRUE(s.MouseDown(host, &surface, button, 0, x, y).ok());
    }
    void Move(float x, float y) { ASSERT_TRUE(s.MouseMove(host, &surface, 1, 0, x, y).ok()); }
    void Release(float x, float y) { ASSERT_TRUE(s.MouseUp(host, &surface, 1, 0, x, y).ok()); }
    std::string Text(const std::string& member) { return host.texts[member]; }

    RecordingHost host;
    RecordingSurface surface;
    cTimeSchedule s;
};

// x of a minute at scale 1.0, as the tests expect it.
constexpr float X(int minute)
{
    return 30.0F + static_cast<float>(minute) / 5.0F;
}

TEST(ScheduleViewSizing, RecalculateSizesSurfaceAndScrollBar)
{
    RecordingHost host;
    host.AcceptEditorMembers();
    RecordingSurface surface;
    cTimeSchedule s;
    DrawingSurface* var = nullptr;
    ASSERT_TRUE(s.RecalculateAndPrepareToPaint(host, var, &surface).ok());
    EXPECT_EQ(var, &surface); // the host's empty surface variable is filled in
    EXPECT_EQ(s.m_NumberOfAxisToPaint, 7);
    EXPECT_EQ(s.Scale(), 1.0F);
    EXPECT_EQ(Int(host.CallsTo("Set_VScroll_Schedule_Max")[0].args[0]), 0);
    EXPECT_EQ(Int(host.CallsTo("Set_Picture_TimeSchedule_Height")[0].args[0]), 179);
    EXPECT_EQ(Int(host.CallsTo("Set_VScroll_Schedule_Left")[0].args[0]), 400 - 17);
    EXPECT_EQ(Int(host.CallsTo("Set_VScroll_Schedule_Height")[0].args[0]), 200);
    EXPECT_EQ(Int(host.CallsTo("Set_Picture_TimeSchedule_Width")[0].args[0]), 383);
    const std::vector<std::string> order = {"Set_VScroll_Schedule_Top",
                                            "Get_Picture_TimeSchedule_Frame_ScaleWidth",
                                            "Get_VScroll_Schedule_Width",
                                            "Set_VScroll_Schedule_Left",
                                            "Get_Picture_TimeSchedule_Frame_ScaleHeight",
                                            "Set_VScroll_Schedule_Height",
                                            "Set_VScroll_Schedule_Max",
                                            "Set_Picture_TimeSchedule_Left",
                                            "Set_Picture_TimeSchedule_Top",
                                            "Get_VScroll_Schedule_Left",
                                            "Set_Picture_TimeSchedule_Width",
                                            "Set_Picture_TimeSchedule_Height"};
    EXPECT_EQ(host.MemberOrder(), order);

    // A surface variable that is already set stays as it is.
    RecordingSurface other;
    ASSERT_TRUE(s.RecalculateAndPrepareToPaint(host, var, &other).ok());
    EXPECT_EQ(var, &surface);

    for (int d = 7; d <= 9; ++d) ASSERT_TRUE(s.SetActive(static_cast<std::int16_t>(d), -1).ok());
    host.calls.clear();
    ASSERT_TRUE(s.RecalculateAndPrepareToPaint(host, var, &surface).ok());
    EXPECT_EQ(s.m_NumberOfAxisToPaint, 7); // without the calendar: 7 whatever is active
    s.m_UseCalendar = -1;
    host.calls.clear();
    ASSERT_TRUE(s.RecalculateAndPrepareToPaint(host, var, &surface).ok());
    EXPECT_EQ(s.m_NumberOfAxisToPaint, 10);
    EXPECT_EQ(Int(host.CallsTo("Set_VScroll_Schedule_Max")[0].args[0]), 12);
    EXPECT_EQ(Int(host.CallsTo("Set_Picture_TimeSchedule_Height")[0].args[0]), 254);

    // Fewer than 7 axes: a negative maximum, passed on as it is.
    for (int d = 2; d <= 9; ++d) ASSERT_TRUE(s.SetActive(static_cast<std::int16_t>(d), 0).ok());
    host.calls.clear();
    ASSERT_TRUE(s.RecalculateAndPrepareToPaint(host, var, &surface).ok());
    EXPECT_EQ(Int(host.CallsTo("Set_VScroll_Schedule_Max")[0].args[0]), -20);
}

TEST(ScheduleViewSizing, AxisNumbersCountTheActiveDayTypesBelow)
{
    RecordingHost host;
    host.AcceptEditorMembers();
    cTimeSchedule s;
    for (int d = 0; d < 23; ++d)
        ASSERT_TRUE(s.SetActive(static_cast<std::int16_t>(d), d == 0 || d == 1 || d == 7).ok());
    DrawingSurface* var = nullptr;
    ASSERT_TRUE(s.RecalculateAndPrepareToPaint(host, var, nullptr).ok());
    EXPECT_EQ(s.m_DayTypeAxis[0], 0);
    EXPECT_EQ(s.m_DayTypeAxis[1], 1);
    EXPECT_EQ(s.m_DayTypeAxis[7], 2);
    EXPECT_EQ(s.m_DayTypeAxis[5], 2);
    EXPECT_EQ(s.m_DayTypeAxis[22], 3);
}

TEST(ScheduleViewSizing, MissingHostMemberReachesTheCaller)
{
    RecordingHost host;
    host.AcceptEditorMembers();
    host.Remove("Get_VScroll_Schedule_Width");
    cTimeSchedule s;
    DrawingSurface* var = nullptr;
    const Status st = s.RecalculateAndPrepareToPaint(host, var, nullptr);
    ASSERT_FALSE(st.ok());
    EXPECT_EQ(st.error().code, ErrorCode::MissingMember);
}

TEST(ScheduleViewHitTest, BeforeTheFirstRecalculateEveryPointIsOutside)
{
    RecordingHost host;
    host.AcceptEditorMembers();
    RecordingSurface surface;
    cTimeSchedule s;
    s.SetDefaultPeriod();
    std::int32_t axis = 77;
    EXPECT_EQ(*cTimeScheduleTestAccess::PointToMinute(s, host, 100, 10, axis), -3);
    EXPECT_EQ(axis, 77);
    ASSERT_TRUE(s.MouseDown(host, &surface, 1, 0, 100, 10).ok());
    ASSERT_TRUE(s.MouseMove(host, &surface, 1, 0, 150, 10).ok());
    EXPECT_TRUE(host.calls.empty());
    EXPECT_EQ(s.SelectedDayType(), -1);
}

TEST_F(ScheduleView, PointToMinuteLimitsAndAxes)
{
    std::int32_t axis = -9;
    EXPECT_EQ(*cTimeScheduleTestAccess::PointToMinute(s, host, 30, 10, axis), 0);
    EXPECT_EQ(Text("Set_Text_Schedule_Time"), "00:00");
    EXPECT_EQ(axis, 0);
    EXPECT_EQ(*cTimeScheduleTestAccess::PointToMinute(s, host, 318, 10, axis), 1440);
    EXPECT_EQ(Text("Set_Text_Schedule_Time"), "24:00");
    EXPECT_EQ(*cTimeScheduleTestAccess::PointToMinute(s, host, 115, 10, axis), 425);
    EXPECT_EQ(Text("Set_Text_Schedule_Time"), "07:05");
    // Outside: codes, and the last time text stays.
    EXPECT_EQ(*cTimeScheduleTestAccess::PointToMinute(s, host, 319, 10, axis), -1);
    EXPECT_EQ(*cTimeScheduleTestAccess::PointToMinute(s, host, 29, 10, axis), -2);
    EXPECT_EQ(*cTimeScheduleTestAccess::PointToMinute(s, host, 100, 4, axis), -3);
    EXPECT_EQ(*cTimeScheduleTestAccess::PointToMinute(s, host, 100, 175, axis), -3);
    EXPECT_EQ(Text("Set_Text_Schedule_Time"), "07:05");
    EXPECT_EQ(*cTimeScheduleTestAccess::PointToMinute(s, host, 100, 174.5F, axis), 350);
    // Axis numbers are rounded, halves to even.
    const std::vector<std::pair<float, int>> axes = {{16, 0}, {17, 1}, {41, 1}, {42, 2}, {16.5F, 0}, {66.5F, 2}};
    for (auto [y, want] : axes) {
        ASSERT_GE(*cTimeScheduleTestAccess::PointToMinute(s, host, 100, y, axis), 0);
        EXPECT_EQ(axis, want) << y;
    }
}

TEST_F(ScheduleView, PaintDrawsHourLinesSeparatorsAndTheAxes)
{
    ASSERT_TRUE(s.Paint(host, &surface).ok());
    // Hour lines: 25 grey lines down the whole height of the 7 axes.
    for (int h = 0; h <= 24; ++h) {
        auto v = surface.VerticalFrom(30 + 12 * h, 0);
        // At 24:00 Monday's axis redraws its own piece of the line.
        ASSERT_EQ(v.size(), h == 24 ? 2u : 1u) << h;
        EXPECT_EQ(v[0].y2, 175);
        EXPECT_EQ(v[0].colour, Grey(148));
    }
    for (int k = 0; k < 7; ++k) {
        auto black = surface.HorizontalAt(25 * k + 24);
        auto white = surface.HorizontalAt(25 * k + 25);
        ASSERT_EQ(black.size(), 1u);
        EXPECT_EQ(black[0].x1, 30);
        EXPECT_EQ(black[0].x2, 318);
        EXPECT_EQ(black[0].colour, RgbBlack);
        ASSERT_FALSE(white.empty());
        EXPECT_EQ(white.front().colour, RgbWhite);
    }
    // Monday's background and bar, line by line, each a shade darker.
    constexpr std::uint8_t Background[15] = {220, 213, 206, 199, 192, 185, 178, 171, 164, 157, 150, 143, 136, 129, 122};
    constexpr std::uint8_t Bar[15] = {240, 233, 226, 219, 212, 205, 198, 191, 184, 177, 170, 163, 156, 149, 142};
    for (int j = 0; j < 15; ++j) {
        auto row = surface.HorizontalAt(4 + j);
        std::erase_if(row, [](const LineOp& l) { return l.x1 == 317; }); // group marker
        ASSERT_EQ(row.size(), 2u) << j;
        EXPECT_EQ(row[0].x1, 30);
        EXPECT_EQ(row[0].x2, 318);
        EXPECT_EQ(row[0].colour, Grey(Background[j]));
        EXPECT_EQ(row[1].x1, 114);
        EXPECT_EQ(row[1].x2, 222);
        EXPECT_EQ(row[1].colour, (Rgb{0, Bar[j], 0}));
    }
    EXPECT_EQ(surface.HorizontalAt(18)[0].colour, Grey(122));
    EXPECT_EQ(surface.HorizontalAt(18)[1].colour, (Rgb{0, 142, 0}));
    EXPECT_TRUE(surface.HorizontalAt(19).empty()); // 15 lines only
    EXPECT_EQ(surface.VerticalFrom(114, 4).size(), 1u);
    EXPECT_EQ(surface.VerticalFrom(222, 4).size(), 1u);
    EXPECT_EQ(surface.VerticalFrom(222, 4)[0].y2, 19);
    // The 24:00 line over each axis.
    for (int k = 0; k < 7; ++k) {
        auto v = surface.VerticalFrom(318, 25 * k);
        ASSERT_FALSE(v.empty());
        EXPECT_EQ(v.back().y2, 25 * k + 25);
        EXPECT_EQ(v.back().colour, Grey(148));
    }
    // Monday is grouped: the marker in the top right corner.
    const Rgb marker[5] = {Grey(255), Grey(245), Grey(235), Grey(225), Grey(205)};
    int found = 0;
    for (const LineOp& l : surface.lines) {
        if (l.x1 != 317 || l.y1 != l.y2 || l.y1 < 4 || l.y1 > 8) continue;
        const int i = static_cast<int>(l.y1) - 4;
        EXPECT_EQ(l.x2, 317 - (5 - i));
        EXPECT_EQ(l.colour, marker[i]);
        ++found;
    }
    EXPECT_EQ(found, 5); // Saturday and Sunday are not grouped
}

TEST_F(ScheduleView, SelectedPeriodIsDrawnDarker)
{
    Press(X(600), 10);
    Release(X(600), 10);
    // The last bar drawn on Monday's axis, after the release's repaint.
    auto lastBar = [this](double y) {
        Rgb c{1, 2, 3};
        for (const LineOp& l : surface.HorizontalAt(y))
            if (l.x1 == 114 && l.x2 == 222) c = l.colour;
        return c;
    };
    EXPECT_EQ(lastBar(4), (Rgb{0, 176, 0}));
    EXPECT_EQ(lastBar(18), (Rgb{0, 78, 0}));
    // Tuesday's copy is not selected.
    Rgb tuesday{1, 2, 3};
    for (const LineOp& l : surface.HorizontalAt(29))
        if (l.x1 == 114) tuesday = l.colour;
    EXPECT_EQ(tuesday, (Rgb{0, 240, 0}));
}

TEST_F(ScheduleView, LabelsIconsAndNamesAreCentredOnTheBar)
{
    auto names = std::make_shared<DayTypeNameTable>();
    names->DayTypeShortNames[0] = "Mo";
    names->DayTypeNames[0] = "Monday";
    names->DayTypeNames[9] = "Holiday";
    cTimeSchedule named(names);
    ASSERT_TRUE(named.SetActive(9, 1).ok());
    named.m_UseCalendar = -1;
    DrawingSurface* var = &surface;
    ASSERT_TRUE(named.RecalculateAndPrepareToPaint(host, var, &surface).ok());
    host.Answer("Get_Check_TimeSchedule_ViewDayType", HostValue{true});
    host.Answer("Get_ImageList_ImageHeight", HostValue{std::int32_t{16}});
    host.calls.clear();
    ASSERT_TRUE(named.Paint(host, &surface).ok());

    // Text height 13: y = 25k + 4 + (15 - 13) / 2.
    ASSERT_EQ(surface.prints.size(), 7u + 7u + 1u); // labels, names, the name of day type 9
    EXPECT_EQ(surface.prints[0].text, "Mo");
    EXPECT_EQ(surface.prints[0].x, 30 - 12 - 2);
    EXPECT_EQ(surface.prints[0].y, 5);
    EXPECT_EQ(surface.prints[1].text, "Monday");
    EXPECT_EQ(surface.prints[1].x, 30 + (288 - 36) / 2.0);
    // Day type 9 on axis 7: icon 3, x = 30 - 16 - 4, y = 175 + 4 + (15 - 16) / 2 = 178.5 -> 178.
    auto icons = host.CallsTo("Draw_ImageList_ListImages");
    ASSERT_EQ(icons.size(), 1u);
    ASSERT_EQ(icons[0].args.size(), 4u);
    EXPECT_EQ(Int(icons[0].args[0]), 3);
    EXPECT_EQ(Int(icons[0].args[1]), 4711);
    EXPECT_EQ(Int(icons[0].args[2]), 10);
    EXPECT_EQ(Int(icons[0].args[3]), 178);
    // On axis 8 the half rounds up to the even 204.
    ASSERT_TRUE(named.SetActive(8, 1).ok());
    ASSERT_TRUE(named.RecalculateAndPrepareToPaint(host, var, &surface).ok());
    host.calls.clear();
    ASSERT_TRUE(cTimeScheduleTestAccess::PaintAxis(named, host, &surface, 9).ok());
    EXPECT_EQ(Int(host.CallsTo("Draw_ImageList_ListImages")[0].args[3]), 204);
}

TEST_F(ScheduleView, GroupedInactiveDayTypeIsNotDrawnOverAnotherAxis)
{
    // Day type 10 is grouped with Monday to Friday but not active: its axis
    // number is that of no axis of its own.
    s.m_DayTypeGrouped[10] = -1;
    surface.Reset();
    Press(X(600), 10);
    Move(X(700), 10);
    Release(X(700), 10);
    EXPECT_EQ(Minutes(s, 10), Minutes(s, 0)); // the group copy still reaches it
    ASSERT_TRUE(cTimeScheduleTestAccess::PaintAxis(s, host, &surface, 10).ok());
    surface.Reset();
    ASSERT_TRUE(cTimeScheduleTestAccess::PaintAxis(s, host, &surface, 10).ok());
    EXPECT_TRUE(surface.lines.empty());
    EXPECT_EQ(cTimeScheduleTestAccess::PaintAxis(s, host, &surface, 23).error().code, ErrorCode::IndexOutOfRange);
    EXPECT_EQ(cTimeScheduleTestAccess::PaintAxis(s, host, &surface, -1).error().code, ErrorCode::IndexOutOfRange);
}

TEST_F(ScheduleView, PressNearAStartEdgeGrabsIt)
{
    Press(115, 10); // 07:05
    EXPECT_EQ(s.SelectedDayType(), 0);
    EXPECT_EQ(s.SelectedPeriod(), (*s.Periods(0))[0].get());
    EXPECT_EQ(s.DragMode(), DragMode::StartEdge);
    EXPECT_EQ(s.DragAnchorMinute(), 420);
    EXPECT_EQ(s.DraggedPeriod(), (*s.Periods(0))[0].get());
    EXPECT_EQ(surface.MousePointer(), MousePointerShape::SizeWestEast);
    EXPECT_EQ(Text("Set_Text_Schedule_Period_Start"), "07:00");
    EXPECT_EQ(Text("Set_Text_Schedule_Period_Stop"), "16:00");
    Release(115, 10);
    EXPECT_EQ(s.DragMode(), DragMode::None);
    EXPECT_EQ(surface.MousePointer(), MousePointerShape::Default);
}

TEST_F(ScheduleView, PressInsideAPeriodAwayFromItsEdgesSelectsIt)
{
    Press(117, 35); // 07:15 on Tuesday
    EXPECT_EQ(s.SelectedDayType(), 1);
    EXPECT_EQ(s.SelectedPeriod(), (*s.Periods(1))[0].get());
    EXPECT_EQ(s.DragMode(), DragMode::NewPeriod);
    EXPECT_EQ(s.DraggedPeriod(), nullptr);
    EXPECT_EQ(s.DragAnchorMinute(), 435);
    EXPECT_EQ(Text("Set_Text_Schedule_Period_Start"), "07:00");
    EXPECT_EQ(Text("Set_Text_Schedule_Period_Stop"), "16:00");
    EXPECT_EQ(s.EditStartMinute(), 420);
    EXPECT_EQ(s.EditStopMinute(), 960);
}

TEST_F(ScheduleView, PressNearAStopEdgeGrabsTheStop)
{
    Press(X(955), 10);
    EXPECT_EQ(s.DragMode(), DragMode::StopEdge);
    EXPECT_EQ(s.DragAnchorMinute(), 960);
}

TEST_F(ScheduleView, DrawingANewPeriodInFreeTime)
{
    Press(X(1200), 160); // Sunday, free
    EXPECT_EQ(s.SelectedDayType(), 6);
    EXPECT_EQ(s.SelectedPeriod(), nullptr);
    EXPECT_EQ(Text("Set_Text_Schedule_Period_Start"), "");
    EXPECT_EQ(Text("Set_Text_Schedule_Period_Stop"), "");
    EXPECT_EQ(s.DragMode(), DragMode::NewPeriod);
    Move(X(1205), 160); // 5 minutes: not yet
    EXPECT_TRUE(Minutes(s, 6).empty());
    Move(X(1210), 160);
    ASSERT_EQ(Minutes(s, 6), (MinutePairs{{1200, 1210}}));
    EXPECT_EQ(s.SelectedPeriod(), (*s.Periods(6))[0].get());
    EXPECT_EQ(s.DraggedPeriod(), s.SelectedPeriod());
    EXPECT_EQ(surface.MousePointer(), MousePointerShape::SizeWestEast);
    EXPECT_EQ(Text("Set_Text_Schedule_Period_Stop"), "20:10");
    Move(X(1100), 160); // back across the press point
    EXPECT_EQ(Minutes(s, 6), (MinutePairs{{1100, 1200}}));
    EXPECT_EQ(s.DragMode(), DragMode::NewPeriod);
    EXPECT_EQ(Text("Set_Text_Schedule_Period_Start"), "18:20");
    EXPECT_EQ(Text("Set_Text_Schedule_Period_Stop"), "20:00");
    // Outside the axes the drag does not follow.
    Move(X(1300), 200);
    Move(340, 160);
    EXPECT_EQ(Minutes(s, 6), (MinutePairs{{1100, 1200}}));
    Release(X(1100), 160);
    EXPECT_EQ(s.DraggedPeriod(), nullptr);
    EXPECT_EQ(s.SelectedPeriod(), (*s.Periods(6))[0].get());
}

TEST_F(ScheduleView, DraggingAStartEdgePastTheStopTurnsIntoAStopDrag)
{
    Press(X(420), 10);
    ASSERT_EQ(s.DragMode(), DragMode::StartEdge);
    Move(X(1000), 10);
    EXPECT_EQ(Minutes(s, 0), (MinutePairs{{960, 1000}}));
    EXPECT_EQ(s.DragMode(), DragMode::StopEdge);
    Move(X(1100), 10); // the stop edge now follows
    EXPECT_EQ(Minutes(s, 0), (MinutePairs{{960, 1100}}));
    Move(X(900), 10); // and back across: a start drag again
    EXPECT_EQ(Minutes(s, 0), (MinutePairs{{900, 960}}));
    EXPECT_EQ(s.DragMode(), DragMode::StartEdge);
    Release(X(900), 10);
    // Monday is grouped: the group follows on release.
    for (int d = 1; d <= 4; ++d) EXPECT_EQ(Minutes(s, d), (MinutePairs{{900, 960}})) << d;
}

TEST_F(ScheduleView, ReleaseMergesADrawnPeriodWithAnOverlappingOne)
{
    Press(X(1000), 110); // Friday, free time after 16:00
    Move(X(1100), 110);
    Move(X(950), 110); // back into the existing period
    ASSERT_EQ(Minutes(s, 4), (MinutePairs{{420, 960}, {950, 1000}}));
    Release(X(950), 110);
    EXPECT_EQ(Minutes(s, 4), (MinutePairs{{420, 1000}}));
    EXPECT_EQ(s.SelectedPeriod(), (*s.Periods(4))[0].get()); // the merged-away selection moved over
    for (int d = 0; d <= 3; ++d) EXPECT_EQ(Minutes(s, d), (MinutePairs{{420, 1000}})) << d;
}

TEST_F(ScheduleView, ReleaseWithoutDragDoesNothing)
{
    host.calls.clear();
    Release(100, 10);
    EXPECT_TRUE(host.calls.empty());
    EXPECT_TRUE(surface.lines.empty());
}

TEST_F(ScheduleView, NewPressDoesNotCarryAPeriodOfAnEarlierPress)
{
    Press(X(420), 10); // grabs Monday's start
    // The release is lost; the next press lands in Sunday's free time.
    Press(X(100), 160);
    EXPECT_EQ(s.DraggedPeriod(), nullptr);
    Move(X(300), 10);
    EXPECT_EQ(Minutes(s, 0), (MinutePairs{{420, 960}}));
}

TEST_F(ScheduleView, RightPressPreparesThePopupMenu)
{
    Press(100, 60, 2); // Wednesday
    EXPECT_EQ(s.SelectedDayType(), 2);
    EXPECT_EQ(s.DragMode(), DragMode::None);
    EXPECT_EQ(Int(host.CallsTo("Set_Menu_TimeSchedulePopup_Grouped_MonFri_Checked")[0].args[0]), -1);
    EXPECT_EQ(Int(host.CallsTo("Set_Menu_TimeSchedulePopup_Grouped_Checked")[0].args[0]), -1);
    EXPECT_EQ(host.CallsTo("Set_Menu_TimeSchedulePopup_Paste_Enabled")[0].args[0], HostValue{false});
    EXPECT_EQ(host.CallsTo("Set_Menu_TimeSchedulePopup_Delete_Enabled")[0].args[0], HostValue{true});
    EXPECT_TRUE(host.CallsTo("Set_Text_Schedule_Period_Start").empty());

    s.Copy();
    s.m_DayTypeGrouped[5] = -1; // Monday to Saturday
    host.calls.clear();
    Press(100, 135, 2); // Saturday
    EXPECT_EQ(Int(host.CallsTo("Set_Menu_TimeSchedulePopup_Grouped_MonFri_Checked")[0].args[0]), 0);
    EXPECT_EQ(host.CallsTo("Set_Menu_TimeSchedulePopup_Paste_Enabled")[0].args[0], HostValue{true});

    s.m_DayTypeGrouped[5] = 0;
    s.m_DayTypeGrouped[0] = 1; // grouped, but not stored as -1
    host.calls.clear();
    Press(100, 10, 2);
    EXPECT_EQ(Int(host.CallsTo("Set_Menu_TimeSchedulePopup_Grouped_MonFri_Checked")[0].args[0]), 0);
    EXPECT_EQ(Int(host.CallsTo("Set_Menu_TimeSchedulePopup_Grouped_Checked")[0].args[0]), 1);
}

TEST_F(ScheduleView, TextRoundTripNormalisesAndAppliesToTheGroup)
{
    Press(X(600), 10);
    Release(X(600), 10);
    host.texts["Set_Text_Schedule_Period_Start"] = "18:00";
    host.texts["Set_Text_Schedule_Period_Stop"] = "8";
    host.calls.clear();
    ASSERT_TRUE(s.ExtractTimeFromTextboxes(host, &surface).ok());
    EXPECT_EQ(Minutes(s, 0), (MinutePairs{{480, 1080}}));
    EXPECT_EQ(Text("Set_Text_Schedule_Period_Start"), "08:00");
    EXPECT_EQ(Text("Set_Text_Schedule_Period_Stop"), "18:00");
    EXPECT_EQ(Minutes(s, 3), (MinutePairs{{480, 1080}}));
    const auto order = host.MemberOrder();
    ASSERT_GE(order.size(), 4u);
    EXPECT_EQ(order[0], "Get_Text_Schedule_Period_Start");
    EXPECT_EQ(order[1], "Get_Text_Schedule_Period_Stop");
}

TEST_F(ScheduleView, TextRoundTripNeedsASelectedPeriodOfTheSelectedDayType)
{
    Press(X(600), 10);
    Release(X(600), 10);
    ASSERT_TRUE(s.SetTimeFrom00to24(host, &surface).ok()); // selection gone
    host.texts["Set_Text_Schedule_Period_Start"] = "01:00";
    host.calls.clear();
    surface.Reset();
    ASSERT_TRUE(s.ExtractTimeFromTextboxes(host, &surface).ok());
    EXPECT_TRUE(host.calls.empty());
    EXPECT_TRUE(surface.lines.empty());
    EXPECT_EQ(Minutes(s, 0), (MinutePairs{{0, 1440}}));
}

TEST_F(ScheduleView, EmptySurfaceDrawsNothingButEditsStillWork)
{
    ASSERT_TRUE(s.Paint(host, nullptr).ok());
    ASSERT_TRUE(s.MouseDown(host, nullptr, 1, 0, X(1200), 160).ok());
    ASSERT_TRUE(s.MouseMove(host, nullptr, 1, 0, X(1300), 160).ok());
    ASSERT_TRUE(s.MouseUp(host, nullptr, 1, 0, X(1300), 160).ok());
    EXPECT_EQ(Minutes(s, 6), (MinutePairs{{1200, 1300}}));
}

} // namespace
} // namespace vel
