#include "gui/qt_drawing_surface.h"
#include "gui/qt_host_bridge.h"
#include "schedule/time_schedule.h"
#include "tests/gui/test_hosts.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>

#include <memory>

namespace vel {

using namespace Qt::StringLiterals;

namespace {

using test::BridgeTestHost;

HostValue Text(const char* s)
{
    return HostValue{std::string(s)};
}

TEST(QtHostBridge, CallsMembersByNameWithConvertedValues)
{
    BridgeTestHost host;
    QtHostBridge bridge(&host);
    HostValue text = Text("07:00 \xE9"); // é in the suite's code page
    ASSERT_TRUE(bridge.Call("Set_Text_Schedule_Period_Start", std::span<HostValue>(&text, 1)).ok());
    ASSERT_EQ(host.log.size(), 1);
    EXPECT_EQ(host.log[0], QString::fromUtf8("start 07:00 \xC3\xA9"));

    host.startText = QString::fromUtf8("08:15 \xE2\x82\xAC"); // the euro sign is 0x80 in Windows-1252
    auto got = bridge.Call("Get_Text_Schedule_Period_Start");
    ASSERT_TRUE(got.ok());
    EXPECT_EQ(*got, Text("08:15 \x80"));

    EXPECT_EQ(*bridge.Call("Get_VScroll_Schedule_Width"), (HostValue{std::int32_t{17}}));
    EXPECT_EQ(*bridge.Call("Get_Picture_TimeSchedule_Frame_ScaleWidth"), (HostValue{400.5}));
    EXPECT_EQ(*bridge.Call("Get_Check_TimeSchedule_ViewDayType"), (HostValue{true}));
    EXPECT_EQ(*bridge.Call("Get_Combo_Calendar_DayType_SelectedItem_Index"), (HostValue{std::int32_t{3}}));

    HostValue on{true};
    auto none = bridge.Call("Set_Menu_TimeSchedulePopup_Paste_Enabled", std::span<HostValue>(&on, 1));
    ASSERT_TRUE(none.ok());
    EXPECT_TRUE(std::holds_alternative<std::monostate>(*none));
    EXPECT_EQ(host.log.back(), u"paste on"_s);
    // A whole number where the host takes a flag.
    HostValue zero{std::int32_t{0}};
    ASSERT_TRUE(bridge.Call("Set_Menu_TimeSchedulePopup_Paste_Enabled", std::span<HostValue>(&zero, 1)).ok());
    EXPECT_EQ(host.log.back(), u"paste off"_s);
}

TEST(QtHostBridge, ReferenceParametersComeBackInTheirOwnKind)
{
    BridgeTestHost host;
    QtHostBridge bridge(&host);
    HostValue flag{std::int16_t{-1}};
    ASSERT_TRUE(bridge.Call("Set_Menu_TimeSchedulePopup_Grouped_Checked", std::span<HostValue>(&flag, 1)).ok());
    EXPECT_EQ(host.log.back(), u"grouped -1"_s);
    EXPECT_EQ(flag, (HostValue{std::int16_t{1}}));

    HostValue four[4] = {HostValue{std::int32_t{2}}, HostValue{std::int32_t{9}}, HostValue{std::int32_t{10}},
                         HostValue{std::int32_t{53}}};
    ASSERT_TRUE(bridge.Call("Draw_ImageList_ListImages", four).ok());
    EXPECT_EQ(host.log.back(), u"icon4 2 9 10 53"_s);
    EXPECT_EQ(four[3], (HostValue{std::int32_t{54}}));
    EXPECT_EQ(four[2], (HostValue{std::int32_t{10}})); // by value: unchanged
}

TEST(QtHostBridge, OverloadsAreChosenByArgumentCount)
{
    BridgeTestHost host;
    QtHostBridge bridge(&host);
    HostValue five[5] = {HostValue{std::int16_t{2}}, HostValue{std::int32_t{9}}, HostValue{60.5},
                         HostValue{std::int32_t{22}}, HostValue{std::int32_t{1}}};
    ASSERT_TRUE(bridge.Call("Draw_ImageList_ListImages", five).ok());
    EXPECT_EQ(host.log.back(), u"icon5 2 9 60.5 22 1"_s);
}

TEST(QtHostBridge, AnInvalidVariantIsNone)
{
    BridgeTestHost host;
    QtHostBridge bridge(&host);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(*bridge.Call("Get_Combo_Calendar_DayType_SelectedItem")));
    host.comboHasItem = true;
    EXPECT_EQ(*bridge.Call("Get_Combo_Calendar_DayType_SelectedItem"), Text("Holiday"));
}

TEST(QtHostBridge, MissingMembersAndUnusableValuesAreErrors)
{
    auto host = std::make_unique<BridgeTestHost>();
    QtHostBridge bridge(host.get());
    EXPECT_EQ(bridge.Call("Get_Nothing").error().code, ErrorCode::MissingMember);
    // Signals are no members a view calls.
    HostValue t = Text("00:00");
    EXPECT_EQ(bridge.Call("Set_Text_Schedule_Time", std::span<HostValue>(&t, 1)).error().code,
              ErrorCode::MissingMember);
    // Wrong number of values.
    EXPECT_EQ(bridge.Call("Get_VScroll_Schedule_Width", std::span<HostValue>(&t, 1)).error().code,
              ErrorCode::MissingMember);
    // A text where the host takes numbers.
    HostValue four[4] = {Text("abc"), HostValue{std::int32_t{1}}, HostValue{std::int32_t{1}},
                         HostValue{std::int32_t{1}}};
    EXPECT_EQ(bridge.Call("Draw_ImageList_ListImages", four).error().code, ErrorCode::InvalidArgument);
    // A text the code page cannot hold.
    host->startText = QString::fromUtf8("\xCE\xA9");
    EXPECT_EQ(bridge.Call("Get_Text_Schedule_Period_Start").error().code, ErrorCode::InvalidArgument);
    host.reset();
    EXPECT_EQ(bridge.Call("Get_VScroll_Schedule_Width").error().code, ErrorCode::MissingMember);
}

class QtSurface : public ::testing::Test {
protected:
    void SetUp() override
    {
        surface.resize(340, 200);
        surface.SetBackColor(RgbWhite);
        surface.Clear();
    }
    QRgb At(int x, int y) const { return surface.Picture().pixel(x, y) & 0xFFFFFF; }
    static QRgb C(Rgb c) { return qRgb(c.r, c.g, c.b) & 0xFFFFFF; }
    QtDrawingSurface surface;
};

TEST_F(QtSurface, LinesLeaveTheirEndPointUnpainted)
{
    surface.DrawLine(30, 5, 318, 5, RgbBlack);
    EXPECT_EQ(At(29, 5), C(RgbWhite));
    EXPECT_EQ(At(30, 5), C(RgbBlack));
    EXPECT_EQ(At(317, 5), C(RgbBlack));
    EXPECT_EQ(At(318, 5), C(RgbWhite));
    EXPECT_EQ(surface.CurrentX(), 318);

    surface.DrawLineBy(50, 10, 0, 15, Grey(148));
    EXPECT_EQ(At(50, 10), C(Grey(148)));
    EXPECT_EQ(At(50, 24), C(Grey(148)));
    EXPECT_EQ(At(50, 25), C(RgbWhite));
    // Leftwards by 5: 5 pixels ending one right of the end point.
    surface.DrawLineBy(317, 40, -5, 0, RgbBlack);
    EXPECT_EQ(At(317, 40), C(RgbBlack));
    EXPECT_EQ(At(313, 40), C(RgbBlack));
    EXPECT_EQ(At(312, 40), C(RgbWhite));
    surface.DrawLineTo(317, 40, RgbBlack); // from the current point (312, 40)
    EXPECT_EQ(At(312, 40), C(RgbBlack));
    // A diagonal is one pixel wide.
    surface.DrawLine(100, 100, 110, 110, RgbBlack);
    EXPECT_EQ(At(105, 105), C(RgbBlack));
    EXPECT_EQ(At(106, 105), C(RgbWhite));
    EXPECT_EQ(At(110, 110), C(RgbWhite));
    // Coordinates round halves to even.
    surface.DrawLine(60.5, 50, 70, 50, RgbBlack);
    EXPECT_EQ(At(60, 50), C(RgbBlack));
    surface.DrawLine(61.5, 52, 70, 52, RgbBlack);
    EXPECT_EQ(At(61, 52), C(RgbWhite));
    EXPECT_EQ(At(62, 52), C(RgbBlack));
}

TEST_F(QtSurface, BoxesFillExactlyTheirSize)
{
    surface.FillBox(32, 22, 37, 22, Rgb{255, 192, 192});
    EXPECT_EQ(At(32, 22), C(Rgb{255, 192, 192}));
    EXPECT_EQ(At(68, 43), C(Rgb{255, 192, 192}));
    EXPECT_EQ(At(69, 43), C(RgbWhite));
    EXPECT_EQ(At(68, 44), C(RgbWhite));
    EXPECT_EQ(At(31, 22), C(RgbWhite));
    // Drawing outside the picture is clipped, not a crash.
    surface.FillBox(330, 190, 50, 50, RgbBlack);
    surface.DrawLine(-10, -10, 1000, 1000, RgbBlack);
    EXPECT_EQ(At(339, 199), C(RgbBlack));
}

TEST_F(QtSurface, PrintUsesTheForegroundColourWithoutAntialiasing)
{
    surface.SetForeColor(Rgb{200, 0, 0});
    surface.SetCurrentX(10);
    surface.SetCurrentY(20);
    const double w = surface.TextWidth("Mo 8");
    const double h = surface.TextHeight("8");
    ASSERT_GT(w, 0);
    ASSERT_GT(h, 0);
    surface.Print("Mo 8");
    EXPECT_DOUBLE_EQ(surface.CurrentX(), 10 + w);
    EXPECT_EQ(surface.CurrentY(), 20);
    int inked = 0;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 340; ++x) {
            const QRgb p = At(x, y);
            if (p == C(RgbWhite)) continue;
            EXPECT_EQ(p, C(Rgb{200, 0, 0})) << x << "," << y; // no blended pixels
            EXPECT_GE(x, 10);
            EXPECT_GE(y, 20);
            EXPECT_LT(y, 20 + h + 1);
            ++inked;
        }
    EXPECT_GT(inked, 10);
    surface.SetFontBold(true);
    EXPECT_TRUE(surface.FontBold());
    EXPECT_GE(surface.TextWidth("Mo 8"), w);
}

TEST_F(QtSurface, PictureSurvivesHidingAndGrowing)
{
    surface.DrawLine(30, 5, 318, 5, RgbBlack);
    surface.show();
    surface.hide();
    surface.show();
    const QImage shown = surface.grab().toImage();
    EXPECT_EQ(shown.pixel(100, 5) & 0xFFFFFF, C(RgbBlack));
    surface.resize(400, 260);
    EXPECT_EQ(surface.Picture().width(), 400);
    EXPECT_EQ(At(100, 5), C(RgbBlack));
    EXPECT_EQ(At(390, 250), C(RgbWhite));
    EXPECT_EQ(surface.ScaleWidth(), 400);
    EXPECT_EQ(surface.ScaleHeight(), 260);
    surface.Clear();
    EXPECT_EQ(At(100, 5), C(RgbWhite));
}

TEST_F(QtSurface, DeviceContextTooltipAndPointer)
{
    EXPECT_EQ(QtDrawingSurface::FromDeviceContext(surface.DeviceContext()), &surface);
    std::int32_t dc = 0;
    {
        QtDrawingSurface other;
        dc = other.DeviceContext();
        EXPECT_NE(dc, surface.DeviceContext());
        EXPECT_EQ(QtDrawingSurface::FromDeviceContext(dc), &other);
    }
    EXPECT_EQ(QtDrawingSurface::FromDeviceContext(dc), nullptr);

    surface.SetToolTipText(" (No\xEBl)");
    EXPECT_EQ(surface.ToolTipText(), " (No\xEBl)");
    EXPECT_EQ(surface.toolTip(), QString::fromUtf8(" (No\xC3\xABl)"));
    surface.SetMousePointer(MousePointerShape::SizeWestEast);
    EXPECT_EQ(surface.cursor().shape(), Qt::SizeHorCursor);
    surface.SetMousePointer(MousePointerShape::Default);
    EXPECT_EQ(surface.MousePointer(), MousePointerShape::Default);
}

TEST_F(QtSurface, MouseEventsArriveInSurfacePixelsWithViewButtons)
{
    std::vector<std::tuple<int, int, int, float, float>> got; // kind, button, shift, x, y
    QObject::connect(&surface, &QtDrawingSurface::MousePressed,
                     [&](int b, int s, float x, float y) { got.emplace_back(0, b, s, x, y); });
    QObject::connect(&surface, &QtDrawingSurface::MouseMoved,
                     [&](int b, int s, float x, float y) { got.emplace_back(1, b, s, x, y); });
    QObject::connect(&surface, &QtDrawingSurface::MouseReleased,
                     [&](int b, int s, float x, float y) { got.emplace_back(2, b, s, x, y); });
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(115, 10), QPointF(115, 10), Qt::RightButton, Qt::RightButton,
                      Qt::ShiftModifier);
    QApplication::sendEvent(&surface, &press);
    QMouseEvent move(QEvent::MouseMove, QPointF(120, 11), QPointF(120, 11), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(&surface, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(121, 12), QPointF(121, 12), Qt::LeftButton, Qt::NoButton,
                        Qt::ControlModifier);
    QApplication::sendEvent(&surface, &release);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0], std::make_tuple(0, 2, 1, 115.0F, 10.0F));
    EXPECT_EQ(got[1], std::make_tuple(1, 1, 0, 120.0F, 11.0F));
    EXPECT_EQ(got[2], std::make_tuple(2, 1, 2, 121.0F, 12.0F));
}

// The schedule editor drawn on the Qt surface: the pixels of the default
// working week.
class RecordingHostForPaint : public HostContainer {
public:
    using HostContainer::Call;
    Result<HostValue> Call(std::string_view member, std::span<HostValue>) override
    {
        if (member == "Get_Check_TimeSchedule_ViewDayType") return HostValue{false};
        if (member.starts_with("Get_")) return HostValue{std::int32_t{400}};
        return HostValue{};
    }
};

TEST_F(QtSurface, DefaultWorkingWeekPixels)
{
    RecordingHostForPaint host;
    cTimeSchedule s;
    s.SetDefaultPeriod();
    DrawingSurface* var = nullptr;
    ASSERT_TRUE(s.RecalculateAndPrepareToPaint(host, var, &surface).ok());
    ASSERT_TRUE(s.Paint(host, var).ok());
    EXPECT_EQ(At(113, 10), C(Grey(178)));      // background left of the bar
    EXPECT_EQ(At(114, 10), C(RgbBlack));       // start edge (07:00)
    EXPECT_EQ(At(150, 4), C(Rgb{0, 240, 0}));  // top bar line
    EXPECT_EQ(At(150, 18), C(Rgb{0, 142, 0})); // bottom bar line
    EXPECT_EQ(At(222, 10), C(RgbBlack));       // stop edge (16:00)
    EXPECT_EQ(At(223, 10), C(Grey(178)));
    EXPECT_EQ(At(318, 10), C(Grey(148))); // 24:00 line
    EXPECT_EQ(At(317, 4), C(Grey(255)));  // group marker
    EXPECT_EQ(At(313, 4), C(Grey(255)));
    EXPECT_EQ(At(317, 8), C(Grey(205)));
    EXPECT_EQ(At(316, 8), C(Grey(192)));
    EXPECT_EQ(At(100, 24), C(RgbBlack)); // separator
    EXPECT_EQ(At(100, 25), C(RgbWhite));
    EXPECT_EQ(At(42, 2), C(Grey(148)));    // 01:00 hour line
    EXPECT_EQ(At(150, 135), C(Grey(178))); // Saturday: background only
    EXPECT_EQ(At(317, 129), C(Grey(220))); // Saturday is not grouped
}

} // namespace
} // namespace vel
