// The schedule editor view: drawing, hit tests, mouse editing and the period
// texts of the host window. Operations of cTimeSchedule.

#include "schedule/time_schedule.h"

#include "schedule/bar_runs.h"
#include "schedule/time_text.h"
#include "base/text_conversions.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace vel {

namespace {

constexpr std::int32_t LastDayType = static_cast<std::int32_t>(DayTypeCount) - 1;

// Geometry of the view, in surface pixels.
constexpr int AxisLeft = 30;      // x of 00:00
constexpr int AxisWidth = 288;    // 00:00 to 24:00
constexpr int AxisRight = 318;    // x of 24:00
constexpr int AxisPitch = 25;     // pixels per axis
constexpr int BarTop = 4;         // first bar line below the axis band's top
constexpr int BarLines = 15;      // lines of a bar
constexpr int PixelsPerHour = 12; // 288 / 24

constexpr Rgb HourLineColour = Grey(148);
constexpr Rgb GroupMarkerColours[5] = {Grey(255), Grey(245), Grey(235), Grey(225), Grey(205)};

Status CheckDayType(std::int32_t dayType)
{
    if (dayType < 0 || dayType > LastDayType) return IndexOutOfRange("day types", dayType, 0, LastDayType);
    return Status::Ok();
}

std::size_t Index(std::int32_t dayType)
{
    return static_cast<std::size_t>(dayType);
}

// Calls a host member with one value passed in.
Status Set(HostContainer& host, std::string_view member, HostValue value)
{
    auto r = host.Call(member, std::span<HostValue>(&value, 1));
    VEL_TRY(r);
    return Status::Ok();
}

Status SetText(HostContainer& host, std::string_view member, AnsiText text)
{
    return Set(host, member, HostValue{std::move(text)});
}

Result<std::int32_t> GetInt(HostContainer& host, std::string_view member)
{
    auto r = host.Call(member);
    VEL_TRY(r);
    return HostValueToInt(*r);
}

Result<double> GetNumber(HostContainer& host, std::string_view member)
{
    auto r = host.Call(member);
    VEL_TRY(r);
    return HostValueToNumber(*r);
}

bool IsFloating(const HostValue& v)
{
    return std::holds_alternative<float>(v) || std::holds_alternative<double>(v);
}

// a - b for two numbers read from the host, kept as whole numbers when both
// are whole.
Result<HostValue> Subtract(const HostValue& a, const HostValue& b)
{
    if (IsFloating(a) || IsFloating(b)) {
        auto x = HostValueToNumber(a);
        VEL_TRY(x);
        auto y = HostValueToNumber(b);
        VEL_TRY(y);
        return HostValue{*x - *y};
    }
    auto x = HostValueToInt(a);
    VEL_TRY(x);
    auto y = HostValueToInt(b);
    VEL_TRY(y);
    return HostValue{static_cast<std::int32_t>(static_cast<std::int64_t>(*x) - *y)};
}

// x of a minute on the axis at the given scale.
double MinuteX(std::int32_t minute, float scale)
{
    return AxisLeft + RoundHalfEven(static_cast<double>(static_cast<float>(minute) * scale / 5.0F));
}

std::uint8_t Level(int v)
{
    return static_cast<std::uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// The axis band of a day type below `top`: its line at 24:00 and the empty
// bar's grey lines.
void PaintAxisBand(DrawingSurface& surface, int top)
{
    surface.DrawLineBy(AxisRight, top, 0, AxisPitch, HourLineColour);
    for (int j = 0; j < BarLines; ++j)
        surface.DrawLine(AxisLeft, top + BarTop + j, AxisRight, top + BarTop + j, Grey(220 - 7 * j));
}

// The runs of the periods' bars that are seen, at the given scale.
std::vector<BarRun> VisibleRuns(const PeriodList& list, float scale)
{
    if (list.empty()) return {};
    auto endsOf = [scale, &list](std::size_t i) {
        return BarEnds{static_cast<std::int32_t>(MinuteX(list[i]->m_StartMinute, scale)),
                       static_cast<std::int32_t>(MinuteX(list[i]->m_StopMinute + 1, scale))};
    };
    // x follows the minute in one direction, so the outermost columns
    // belong to the outermost minutes.
    std::int32_t minMinute = list[0]->m_StartMinute;
    std::int32_t maxMinute = minMinute;
    for (const auto& p : list) {
        minMinute = std::min({minMinute, std::int32_t{p->m_StartMinute}, p->m_StopMinute + 1});
        maxMinute = std::max({maxMinute, std::int32_t{p->m_StartMinute}, p->m_StopMinute + 1});
    }
    const auto xMin = static_cast<std::int32_t>(MinuteX(minMinute, scale));
    const auto xMax = static_cast<std::int32_t>(MinuteX(maxMinute, scale));
    return VisibleBarRuns(list.size(), std::min(xMin, xMax), std::max(xMin, xMax), endsOf);
}

// One run of a bar, its green `shade` darker for the selected period.
void PaintRun(DrawingSurface& surface, const BarRun& run, double barTop, int shade)
{
    auto colour = [shade](int j) { return Rgb{0, Level(240 - 7 * j - shade), 0}; };
    if (run.whole) {
        for (int j = 0; j < BarLines; ++j)
            surface.DrawLine(run.ends.x1, barTop + j, run.ends.x2, barTop + j, colour(j));
        surface.DrawLineBy(run.ends.x1, barTop, 0, BarLines, RgbBlack);
        surface.DrawLineBy(run.ends.x2, barTop, 0, BarLines, RgbBlack);
        return;
    }
    if (run.fillFirst <= run.fillLast) {
        for (int j = 0; j < BarLines; ++j)
            surface.DrawLine(run.fillFirst, barTop + j, run.fillLast + 1, barTop + j, colour(j));
    }
    if (run.leftEdge) surface.DrawLineBy(run.first, barTop, 0, BarLines, RgbBlack);
    if (run.rightEdge) surface.DrawLineBy(run.last, barTop, 0, BarLines, RgbBlack);
}

// The short name of a weekday, right-aligned left of 00:00.
void PaintShortName(DrawingSurface& surface, const AnsiText& label, double textY)
{
    surface.SetCurrentX(AxisLeft - surface.TextWidth(label) - 2);
    surface.SetCurrentY(textY);
    surface.Print(label);
}

// The icon of a day type after the weekdays, from the host's image list,
// left of 00:00 and centred on the bar.
Status PaintDayTypeIcon(HostContainer& host, DrawingSurface& surface, std::int32_t dayType, int top)
{
    auto iconWidth = GetInt(host, "Get_ImageList_ImageWidth");
    VEL_TRY(iconWidth);
    auto iconHeight = GetNumber(host, "Get_ImageList_ImageHeight");
    VEL_TRY(iconHeight);
    HostValue args[4] = {
        HostValue{static_cast<std::int32_t>(dayType - 6)},
        HostValue{surface.DeviceContext()},
        HostValue{static_cast<std::int32_t>(AxisLeft - *iconWidth - 4)},
        HostValue{static_cast<std::int32_t>(RoundHalfEven(top + BarTop + (BarLines - *iconHeight) / 2.0))},
    };
    VEL_TRY(host.Call("Draw_ImageList_ListImages", args));
    return Status::Ok();
}

// The full name, centred on the axis, when the host's check box asks for it.
Status PaintDayTypeName(HostContainer& host, DrawingSurface& surface, const AnsiText& name, double textY)
{
    auto viewNames = GetInt(host, "Get_Check_TimeSchedule_ViewDayType");
    VEL_TRY(viewNames);
    if (*viewNames != 0) {
        surface.SetCurrentX(AxisLeft + (AxisWidth - surface.TextWidth(name)) / 2.0);
        surface.SetCurrentY(textY);
        surface.Print(name);
    }
    return Status::Ok();
}

// The marker of a grouped day type: a small wedge left of 24:00.
void PaintGroupMarker(DrawingSurface& surface, int top)
{
    for (int i = 0; i < 5; ++i) surface.DrawLineBy(AxisRight - 1, top + BarTop + i, -(5 - i), 0, GroupMarkerColours[i]);
}

} // namespace

Status cTimeSchedule::RecalculateAndPrepareToPaint(HostContainer& m_ParentContainer,
                                                   DrawingSurface*& m_SchedulePaintObject,
                                                   DrawingSurface* SchedulePaintObject)
{
    if (m_SchedulePaintObject == nullptr) m_SchedulePaintObject = SchedulePaintObject;
    HostContainer& host = m_ParentContainer;

    m_NumberOfAxisToPaint = 0;
    VEL_TRY(Set(host, "Set_VScroll_Schedule_Top", HostValue{std::int16_t{0}}));
    auto frameWidth = host.Call("Get_Picture_TimeSchedule_Frame_ScaleWidth");
    VEL_TRY(frameWidth);
    auto scrollWidth = host.Call("Get_VScroll_Schedule_Width");
    VEL_TRY(scrollWidth);
    auto scrollLeft = Subtract(*frameWidth, *scrollWidth);
    VEL_TRY(scrollLeft);
    VEL_TRY(Set(host, "Set_VScroll_Schedule_Left", *scrollLeft));
    auto frameHeight = host.Call("Get_Picture_TimeSchedule_Frame_ScaleHeight");
    VEL_TRY(frameHeight);
    VEL_TRY(Set(host, "Set_VScroll_Schedule_Height", *frameHeight));

    std::int16_t count = 0;
    for (const std::int16_t active : m_DayTypeActive)
        if (active != 0) ++count;
    m_NumberOfAxisToPaint = m_UseCalendar != 0 ? count : std::int16_t{7};

    VEL_TRY(
        Set(host, "Set_VScroll_Schedule_Max", HostValue{static_cast<std::int16_t>((m_NumberOfAxisToPaint - 7) * 4)}));
    m_Scale = (1440.0F / 24.0F) / 60.0F;

    VEL_TRY(Set(host, "Set_Picture_TimeSchedule_Left", HostValue{std::int16_t{0}}));
    VEL_TRY(Set(host, "Set_Picture_TimeSchedule_Top", HostValue{std::int16_t{0}}));
    auto left = host.Call("Get_VScroll_Schedule_Left");
    VEL_TRY(left);
    VEL_TRY(Set(host, "Set_Picture_TimeSchedule_Width", *left));
    VEL_TRY(Set(host, "Set_Picture_TimeSchedule_Height",
                HostValue{static_cast<std::int32_t>(AxisPitch * m_NumberOfAxisToPaint + 4)}));

    std::int16_t below = 0;
    for (std::size_t d = 0; d < DayTypeCount; ++d) {
        m_DayTypeAxis[d] = below;
        if (m_DayTypeActive[d] != 0) ++below;
    }
    return Status::Ok();
}

Status cTimeSchedule::Paint(HostContainer& m_ParentContainer, DrawingSurface* m_SchedulePaintObject)
{
    DrawingSurface* surface = m_SchedulePaintObject;
    if (surface == nullptr) return Status::Ok();
    const int height = AxisPitch * m_NumberOfAxisToPaint;
    for (int h = 0; h <= 24; ++h) surface->DrawLineBy(AxisLeft + PixelsPerHour * h, 0, 0, height, HourLineColour);
    for (int k = 0; k < m_NumberOfAxisToPaint; ++k) {
        surface->DrawLineBy(AxisLeft, AxisPitch * k + 24, AxisWidth, 0, RgbBlack);
        surface->DrawLineBy(AxisLeft, AxisPitch * k + 25, AxisWidth, 0, RgbWhite);
    }
    for (std::int32_t d = 0; d <= LastDayType; ++d)
        if (m_DayTypeActive[Index(d)] != 0) VEL_TRY(PaintDayTypeAxis(m_ParentContainer, surface, d));
    return Status::Ok();
}

Status cTimeSchedule::PaintDayTypeAxis(HostContainer& m_ParentContainer, DrawingSurface* m_SchedulePaintObject,
                                       std::int32_t DayType)
{
    VEL_TRY(CheckDayType(DayType));
    DrawingSurface* surface = m_SchedulePaintObject;
    const std::size_t d = Index(DayType);
    // An inactive day type has no axis of its own: its axis number is that of
    // the next active day type, which must not be drawn over.
    if (surface == nullptr || m_DayTypeActive[d] == 0) return Status::Ok();
    HostContainer& host = m_ParentContainer;

    const int top = AxisPitch * m_DayTypeAxis[d];
    const double t = RoundHalfEven(surface->TextHeight("8"));
    PaintAxisBand(*surface, top);

    // The bars, gathered into the runs of columns that each period is seen
    // in: the same pixels as drawing every period in list order.
    const PeriodList& list = m_Periods[d];
    const double barTop = top + BarTop;
    for (const BarRun& run : VisibleRuns(list, m_Scale))
        PaintRun(*surface, run, barTop, list[run.bar].get() == m_SelectedPeriod ? 64 : 0);

    const double textY = top + BarTop + (BarLines - t) / 2.0;
    if (DayType <= 6) {
        PaintShortName(*surface, m_Names->DayTypeShortNames[d], textY);
    } else {
        VEL_TRY(PaintDayTypeIcon(host, *surface, DayType, top));
    }
    VEL_TRY(PaintDayTypeName(host, *surface, m_Names->DayTypeNames[d], textY));
    if (m_DayTypeGrouped[d] != 0) PaintGroupMarker(*surface, top);
    return Status::Ok();
}

Result<std::int32_t> cTimeSchedule::PointToMinute(HostContainer& m_ParentContainer, float X, float Y,
                                                  std::int32_t& Axis) const
{
    // Before the first RecalculateAndPrepareToPaint there is no scale and no
    // axis: every point lies outside.
    if (!(m_Scale > 0.0F)) return std::int32_t{-3};
    if (Y >= static_cast<float>(AxisPitch * m_NumberOfAxisToPaint) || Y <= static_cast<float>(BarTop))
        return std::int32_t{-3};
    if (X < static_cast<float>(AxisLeft)) return std::int32_t{-2};
    if (X >= static_cast<float>(AxisLeft) + static_cast<float>(AxisWidth) / m_Scale + m_Scale) return std::int32_t{-1};
    const auto minute = static_cast<std::int32_t>(RoundHalfEven(static_cast<double>((X - AxisLeft) * 5.0F / m_Scale)));
    VEL_TRY(SetText(m_ParentContainer, "Set_Text_Schedule_Time", MinutesToTimeText(minute)));
    Axis = static_cast<std::int32_t>(RoundHalfEven(static_cast<double>((Y - BarTop) / AxisPitch)));
    return minute;
}

void cTimeSchedule::ClearDragState()
{
    m_DragMode = DragMode::None;
    m_DraggedPeriod = nullptr;
}

std::int32_t cTimeSchedule::DayTypeOnAxis(std::int32_t Axis) const
{
    std::int32_t activeBelow = 0;
    for (std::int32_t d = 0; d <= LastDayType; ++d) {
        if (m_DayTypeActive[Index(d)] == 0) continue;
        if (activeBelow == Axis) return d;
        ++activeBelow;
    }
    return -1;
}

void cTimeSchedule::SelectPeriodAt(std::int32_t DayType, std::int32_t Minute)
{
    for (const auto& p : m_Periods[Index(DayType)]) {
        if (p->m_StartMinute <= Minute && Minute <= p->m_StopMinute) {
            m_SelectedPeriod = p.get();
            m_EditStartMinute = p->m_StartMinute;
            m_EditStopMinute = p->m_StopMinute;
            return;
        }
    }
}

void cTimeSchedule::StartDrag(DrawingSurface* m_SchedulePaintObject, std::int32_t DayType, std::int32_t Minute)
{
    // An edge within 15 minutes is grabbed: the first period's start wins
    // over its own stop, an earlier period over a later one.
    m_DragAnchorMinute = Minute;
    cTimeSchedulePeriod* grabbed = nullptr;
    for (const auto& p : m_Periods[Index(DayType)]) {
        if (std::abs(p->m_StartMinute - Minute) < 15) {
            m_DragAnchorMinute = p->m_StartMinute;
            m_DragMode = DragMode::StartEdge;
            grabbed = p.get();
            break;
        }
        if (std::abs(p->m_StopMinute - Minute) < 15) {
            m_DragAnchorMinute = p->m_StopMinute;
            m_DragMode = DragMode::StopEdge;
            grabbed = p.get();
            break;
        }
    }
    if (m_DragMode == DragMode::None) m_DragMode = DragMode::NewPeriod;
    if (grabbed != nullptr && m_SchedulePaintObject != nullptr)
        m_SchedulePaintObject->SetMousePointer(MousePointerShape::SizeWestEast);
    // A drag belongs to the day type of the press that started it: a period
    // of an earlier press is no longer carried.
    m_DraggedPeriod = grabbed;
    m_DraggedDayType = DayType;
}

Status cTimeSchedule::ShowSelectedPeriodTexts(HostContainer& m_ParentContainer)
{
    const bool selected = m_SelectedPeriod != nullptr;
    VEL_TRY(SetText(m_ParentContainer, "Set_Text_Schedule_Period_Start",
                    selected ? MinutesToTimeText(m_EditStartMinute) : AnsiText()));
    return SetText(m_ParentContainer, "Set_Text_Schedule_Period_Stop",
                   selected ? MinutesToTimeText(m_EditStopMinute) : AnsiText());
}

Status cTimeSchedule::PreparePopupMenu(HostContainer& m_ParentContainer, std::int32_t DayType)
{
    HostContainer& host = m_ParentContainer;
    // "Group Mon-Fri" is checked when Monday to Friday, and only they, are grouped.
    std::int32_t monFri = -1;
    for (std::size_t c = 0; c < DayTypeCount; ++c) {
        const std::int16_t wanted = c <= 4 ? -1 : 0;
        if (m_DayTypeGrouped[c] != wanted) {
            monFri = 0;
            break;
        }
    }
    HostValue monFriArg{monFri};
    VEL_TRY(host.Call("Set_Menu_TimeSchedulePopup_Grouped_MonFri_Checked", std::span<HostValue>(&monFriArg, 1)));
    HostValue groupedArg{m_DayTypeGrouped[Index(DayType)]};
    VEL_TRY(host.Call("Set_Menu_TimeSchedulePopup_Grouped_Checked", std::span<HostValue>(&groupedArg, 1)));
    VEL_TRY(Set(host, "Set_Menu_TimeSchedulePopup_Paste_Enabled", HostValue{m_CopiedDayType >= 0}));
    return Set(host, "Set_Menu_TimeSchedulePopup_Delete_Enabled", HostValue{m_SelectedDayType >= 0});
}

Status cTimeSchedule::MouseDown(HostContainer& m_ParentContainer, DrawingSurface* m_SchedulePaintObject,
                                std::int16_t Button, std::int16_t /*Shift*/, float X, float Y)
{
    m_MouseButton = Button;
    m_MouseX = X;
    m_MouseY = Y;

    std::int32_t axis = 0;
    auto minute = PointToMinute(m_ParentContainer, m_MouseX, m_MouseY, axis);
    VEL_TRY(minute);
    if (*minute < 0) return Status::Ok();
    const std::int32_t d = DayTypeOnAxis(axis);
    if (d < 0) return Status::Ok();

    const std::int32_t previous = m_SelectedDayType;
    m_SelectedDayType = d;
    if (Button == LeftButton) {
        // The press drops the selected period; the axis of the day type
        // selected before is drawn without it.
        m_EditStartMinute = 0;
        m_EditStopMinute = 1440;
        m_SelectedPeriod = nullptr;
        if (previous >= 0) VEL_TRY(PaintDayTypeAxis(m_ParentContainer, m_SchedulePaintObject, previous));
        SelectPeriodAt(d, *minute);
        StartDrag(m_SchedulePaintObject, d, *minute);
        return ShowSelectedPeriodTexts(m_ParentContainer);
    }
    if (Button == RightButton) return PreparePopupMenu(m_ParentContainer, d);
    return Status::Ok();
}

Status cTimeSchedule::MouseMove(HostContainer& m_ParentContainer, DrawingSurface* m_SchedulePaintObject,
                                std::int16_t /*Button*/, std::int16_t /*Shift*/, float X, float Y)
{
    HostContainer& host = m_ParentContainer;
    DrawingSurface* surface = m_SchedulePaintObject;
    std::int32_t axis = 0;
    auto minuteResult = PointToMinute(host, X, Y, axis);
    VEL_TRY(minuteResult);
    const std::int32_t minute = *minuteResult;
    if (minute < 0) return Status::Ok();

    if (m_DragMode == DragMode::NewPeriod && m_DraggedPeriod == nullptr && std::abs(minute - m_DragAnchorMinute) > 5) {
        VEL_TRY(CheckDayType(m_DraggedDayType));
        if (surface != nullptr) surface->SetMousePointer(MousePointerShape::SizeWestEast);
        auto created = AppendPeriod(m_DraggedDayType, 0, 0);
        VEL_TRY(created);
        m_DraggedPeriod = *created;
        m_SelectedPeriod = *created;
    }
    if (m_DraggedPeriod == nullptr) return Status::Ok();

    cTimeSchedulePeriod& p = *m_DraggedPeriod;
    if (m_DragMode == DragMode::StartEdge) {
        p.m_StartMinute = static_cast<std::int16_t>(minute);
    } else if (m_DragMode == DragMode::StopEdge) {
        p.m_StopMinute = static_cast<std::int16_t>(minute);
    } else if (m_DragMode == DragMode::NewPeriod) {
        p.m_StartMinute = static_cast<std::int16_t>(m_DragAnchorMinute);
        p.m_StopMinute = static_cast<std::int16_t>(minute);
    }
    if (p.m_StopMinute < p.m_StartMinute) {
        std::swap(p.m_StartMinute, p.m_StopMinute);
        // The grabbed edge passed the other one: it is now the other edge.
        if (m_DragMode == DragMode::StartEdge)
            m_DragMode = DragMode::StopEdge;
        else if (m_DragMode == DragMode::StopEdge)
            m_DragMode = DragMode::StartEdge;
    }
    VEL_TRY(PaintDayTypeAxis(host, surface, m_DraggedDayType));
    VEL_TRY(SetText(host, "Set_Text_Schedule_Period_Start", MinutesToTimeText(p.m_StartMinute)));
    VEL_TRY(SetText(host, "Set_Text_Schedule_Period_Stop", MinutesToTimeText(p.m_StopMinute)));
    return Status::Ok();
}

Status cTimeSchedule::MouseUp(HostContainer& m_ParentContainer, DrawingSurface* m_SchedulePaintObject,
                              std::int16_t /*Button*/, std::int16_t /*Shift*/, float /*X*/, float /*Y*/)
{
    if (m_DragMode == DragMode::None) return Status::Ok();
    if (m_SchedulePaintObject != nullptr) m_SchedulePaintObject->SetMousePointer(MousePointerShape::Default);
    ClearDragState();
    if (m_SelectedDayType >= 0)
        VEL_TRY(CopyPeriodsToGroup(m_ParentContainer, m_SchedulePaintObject, m_SelectedDayType));
    VEL_TRY(MergeOverlappingPeriods(m_DraggedDayType));
    return PaintDayTypeAxis(m_ParentContainer, m_SchedulePaintObject, m_DraggedDayType);
}

Status cTimeSchedule::ExtractTimeFromTextboxes(HostContainer& m_ParentContainer, DrawingSurface* m_SchedulePaintObject)
{
    if (m_SelectedPeriod == nullptr) return Status::Ok();
    // Only a period of the selected day type is edited; with no day type
    // selected there is nothing to apply the texts to.
    if (m_SelectedDayType < 0 || m_SelectedDayType > LastDayType || !Holds(Index(m_SelectedDayType), m_SelectedPeriod))
        return Status::Ok();
    HostContainer& host = m_ParentContainer;

    auto startValue = host.Call("Get_Text_Schedule_Period_Start");
    VEL_TRY(startValue);
    auto startText = HostValueToText(*startValue);
    VEL_TRY(startText);
    auto stopValue = host.Call("Get_Text_Schedule_Period_Stop");
    VEL_TRY(stopValue);
    auto stopText = HostValueToText(*stopValue);
    VEL_TRY(stopText);
    m_EditStartMinute = TimeTextToMinutes(*startText);
    m_EditStopMinute = TimeTextToMinutes(*stopText);
    if (m_EditStopMinute < m_EditStartMinute) std::swap(m_EditStartMinute, m_EditStopMinute);

    m_SelectedPeriod->m_StartMinute = static_cast<std::int16_t>(m_EditStartMinute);
    m_SelectedPeriod->m_StopMinute = static_cast<std::int16_t>(m_EditStopMinute);
    VEL_TRY(SetText(host, "Set_Text_Schedule_Period_Start", MinutesToTimeText(m_EditStartMinute)));
    VEL_TRY(SetText(host, "Set_Text_Schedule_Period_Stop", MinutesToTimeText(m_EditStopMinute)));

    VEL_TRY(MergeOverlappingPeriods(m_SelectedDayType));
    VEL_TRY(PaintDayTypeAxis(host, m_SchedulePaintObject, m_SelectedDayType));
    return CopyPeriodsToGroup(host, m_SchedulePaintObject, m_SelectedDayType);
}

} // namespace vel
