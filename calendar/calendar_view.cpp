// The month view of cCalendar: one month as a grid of day boxes with week
// numbers and weekday headings, Sunday, holiday and today marks, the day type
// of each day as a short label or an icon, optionally each day's time periods
// as a small bar, and painting of day types onto days with the mouse.
//
// Geometry in surface pixels: column c (0 = Monday) spans x = 30 + 40c to
// 70 + 40c, row r spans y = 20 + 25r to 45 + 25r; the grid is x 30 to 310,
// y 20 to 170; the week numbers stand in the margin x 0 to 29 and the weekday
// headings in the band above y = 20.

#include "calendar/calendar.h"

#include "calendar/month_heading.h"
#include "schedule/bar_runs.h"
#include "schedule/time_schedule.h"
#include "base/texts.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace vel {

namespace {

constexpr double GridLeft = 30;
constexpr double GridRight = 310;
constexpr double GridTop = 20;
constexpr double GridBottom = 170;
constexpr std::int32_t ColumnWidth = 40;
constexpr std::int32_t RowHeight = 25;
constexpr std::int32_t Columns = 7;
constexpr std::int32_t Rows = 6;

// 64 / 25 rounded: the colour step of the marker strips.
constexpr int StripStep = 3;

constexpr Rgb PeriodEdge{128, 128, 128};

Rgb PeriodColour(int line)
{
    return Rgb{0, static_cast<std::uint8_t>(240 - 19 * line), 0};
}

// Rounding to a whole number: nearest, halves to the even neighbour.
double RoundHalfEven(double v)
{
    return std::nearbyint(v);
}

std::int32_t SaturateToInt32(std::int64_t v)
{
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}

// Column of a minute in a time bar, counted from the bar's left edge.
std::int32_t BarColumn(std::int16_t minute)
{
    return static_cast<std::int32_t>(RoundHalfEven(minute * 37.0 / 1440.0));
}

// The schedule day type a day's time bar shows: the day's own day type when
// the schedule runs it, else the weekday of its column.
Result<std::int16_t> BarDayType(const cTimeSchedule& schedule, std::int16_t storedDayType, std::int32_t column)
{
    auto dayType = static_cast<std::int16_t>(column);
    if (storedDayType != 0) {
        const std::int32_t asked = storedDayType - 1;
        if (asked < 0 || asked >= static_cast<std::int32_t>(DayTypeCount))
            return IndexOutOfRange("schedule day types", asked, 0, static_cast<long long>(DayTypeCount) - 1);
        VEL_TRY_ASSIGN(const std::int16_t active, schedule.GetActive(static_cast<std::int16_t>(asked)));
        if (active != 0) dayType = static_cast<std::int16_t>(asked);
    }
    return dayType;
}

// The time bar's grey background, at its place in the box of `column`.
void PaintEmptyBar(DrawingSurface& s, double left, double barTop, std::int32_t column)
{
    for (int k = 0; k < 5; ++k) s.DrawLine(left, barTop + k, 69 + ColumnWidth * column, barTop + k, Grey(220 - 20 * k));
}

// The runs of a day type's periods as a time bar shows them, relative to
// the bar's left edge; none when it has no periods.
Status GatherBarRuns(const cTimeSchedule& schedule, std::int16_t dayType, std::vector<BarRun>& runs)
{
    std::vector<std::pair<std::int16_t, std::int16_t>> minutes;
    std::int16_t start = 0;
    std::int16_t stop = 0;
    const cTimeSchedulePeriod* period = nullptr;
    for (;;) {
        VEL_TRY_ASSIGN(period, schedule.GetNextTimePeriod(dayType, start, stop, period));
        if (period == nullptr) break;
        minutes.emplace_back(start, stop);
    }
    if (minutes.empty()) return Status::Ok();
    // The column of a minute grows with the minute: the outermost columns
    // are those of the outermost minutes.
    std::int16_t first = minutes[0].first;
    std::int16_t last = first;
    for (const auto& [s0, s1] : minutes) {
        first = std::min({first, s0, s1});
        last = std::max({last, s0, s1});
    }
    runs = VisibleBarRuns(minutes.size(), BarColumn(first), BarColumn(last), [&minutes](std::size_t i) {
        return BarEnds{BarColumn(minutes[i].first), BarColumn(minutes[i].second)};
    });
    return Status::Ok();
}

// One run of a time bar whose left edge is at `left`.
void PaintBarRun(DrawingSurface& s, const BarRun& run, double left, double barTop)
{
    if (run.whole) {
        const double x1 = left + run.ends.x1;
        const double x2 = left + run.ends.x2;
        for (int k = 0; k < 5; ++k) s.DrawLine(x1, barTop + k, x2, barTop + k, PeriodColour(k));
        s.DrawLine(x1, barTop, x1, barTop + 5, PeriodEdge);
        s.DrawLine(x2, barTop, x2, barTop + 5, PeriodEdge);
        return;
    }
    if (run.fillFirst <= run.fillLast) {
        for (int k = 0; k < 5; ++k)
            s.DrawLine(left + run.fillFirst, barTop + k, left + run.fillLast + 1, barTop + k, PeriodColour(k));
    }
    if (run.leftEdge) s.DrawLine(left + run.first, barTop, left + run.first, barTop + 5, PeriodEdge);
    if (run.rightEdge) s.DrawLine(left + run.last, barTop, left + run.last, barTop + 5, PeriodEdge);
}

struct Cell {
    std::int32_t row = 0;
    std::int32_t column = 0;
};

} // namespace

AnsiText cCalendar::SuiteText(std::int32_t number) const
{
    if (m_Tables.texts) return m_Tables.texts->GetText(number);
    return SuiteTexts{}.GetText(number);
}

void cCalendar::RecalculateAndPrepareToPaint(HostContainer* /*m_ParentObject*/, DrawingSurface* /*CalendarPaintObject*/)
{
    const std::int64_t first = DayIndexOf(m_SelectedYear, m_SelectedMonth, 1);
    m_ActualMonthOffset = SaturateToInt32(first);
    m_FirstWeekDayInActualMonth = WeekdayOfDayIndex(first);
    m_DaysInActualMonth = DaysInMonth(m_SelectedYear, m_SelectedMonth);
    m_TodaysDayOffset = m_TodayOverride ? *m_TodayOverride : SaturateToInt32(TodaysDayIndex());
    m_PaintDayType = -1;
}

std::int16_t cCalendar::DateFromPoint(float X, float Y) const
{
    if (X <= GridLeft || X >= GridRight || Y <= GridTop || Y >= GridBottom) return -1;
    // A point just left of the grid's right or bottom edge can round onto the
    // edge itself; it still belongs to the last column or row.
    const auto row = std::min(static_cast<std::int32_t>(RoundHalfEven(Y - GridTop)) / RowHeight, Rows - 1);
    const auto column = std::min(static_cast<std::int32_t>(RoundHalfEven(X - GridLeft)) / ColumnWidth, Columns - 1);
    const std::int32_t i = Columns * row - m_FirstWeekDayInActualMonth + column;
    if (i < 0 || i >= m_DaysInActualMonth) return -1;
    return static_cast<std::int16_t>(i);
}

Status cCalendar::Paint(HostContainer& m_ParentContainer, DrawingSurface& m_CalendarPaintObject)
{
    DrawingSurface& s = m_CalendarPaintObject;
    s.SetFontBold(true);
    const double t = RoundHalfEven(s.TextHeight("8"));

    // Grid: the white lines first, then the black ones over them.
    for (int c = 0; c <= Columns; ++c) s.DrawLine(31 + 40 * c, 16 - t, 31 + 40 * c, GridBottom, RgbWhite);
    s.DrawLine(GridLeft, 16 - t, GridRight, 16 - t, RgbWhite);
    for (int r = 0; r <= Rows; ++r) s.DrawLine(GridLeft, 21 + 25 * r, GridRight, 21 + 25 * r, RgbWhite);
    for (int c = 0; c <= Columns; ++c) s.DrawLine(30 + 40 * c, 16 - t, 30 + 40 * c, GridBottom, RgbBlack);
    s.DrawLine(GridLeft, 15 - t, GridRight, 15 - t, RgbBlack);
    for (int r = 0; r <= Rows; ++r) s.DrawLine(GridLeft, 20 + 25 * r, GridRight, 20 + 25 * r, RgbBlack);

    // Weekday headings, Monday to Sunday: texts 611 to 617.
    for (int j = 0; j < Columns; ++j) {
        const AnsiText heading = SuiteText(611 + j).substr(0, 3);
        s.SetCurrentX(30 + 40 * j + (40 - s.TextWidth(heading)) / 2);
        s.SetCurrentY(18 - t);
        s.Print(heading);
    }

    std::array<HostValue, 1> title{HostValue{MonthHeadingText(m_SelectedYear, m_SelectedMonth, m_HeadingLocale)}};
    VEL_TRY(m_ParentContainer.Call("Set_Text_Calendar_Month", title));

    s.SetFontBold(false);
    s.SetForeColor(s.SystemColour(SystemColor::GrayText));

    // Week numbers of the six rows: day 7r + 1 always lies in row r.
    const double weekX = 30 - s.TextWidth("88") - 6;
    const double textHeight = s.TextHeight("A");
    for (int r = 0; r < Rows; ++r) {
        const std::int64_t day = DayIndexOf(m_SelectedYear, m_SelectedMonth, 7 * r + 1);
        s.SetCurrentX(weekX);
        s.SetCurrentY(20 + 25 * r + (25 - textHeight) / 2);
        s.Print(std::to_string(IsoWeekOfDayIndex(day)));
    }

    s.SetForeColor(s.SystemColour(SystemColor::ButtonText));

    // Every box is drawn even when one fails (a day outside the calendar, a
    // stored day type the schedule refuses); the first failure is reported.
    Status first;
    TimeBarCache bars;
    for (std::int32_t i = 0; i < m_DaysInActualMonth; ++i) {
        Status painted = PaintDateBox(m_ParentContainer, s, i, &bars);
        if (!painted.ok() && first.ok()) first = painted;
    }
    return first;
}

Status cCalendar::PaintDateBox(HostContainer& m_ParentContainer, DrawingSurface& m_CalendarPaintObject,
                               std::int32_t DateToPaintInActualMonth)
{
    return PaintDateBox(m_ParentContainer, m_CalendarPaintObject, DateToPaintInActualMonth, nullptr);
}

Status cCalendar::PaintDateBox(HostContainer& m_ParentContainer, DrawingSurface& m_CalendarPaintObject,
                               std::int32_t DateToPaintInActualMonth, TimeBarCache* bars)
{
    DrawingSurface& s = m_CalendarPaintObject;
    const std::int32_t i = DateToPaintInActualMonth;
    const std::int64_t n64 = static_cast<std::int64_t>(m_ActualMonthOffset) + i;
    if (n64 < 0 || n64 >= CalendarDays) return IndexOutOfRange("calendar days", n64, 0, CalendarDays - 1);
    const auto n = static_cast<std::int32_t>(n64);
    const std::int16_t v = m_DayTypes[static_cast<std::size_t>(n)];

    const std::int64_t d = static_cast<std::int64_t>(m_FirstWeekDayInActualMonth) + i;
    if (d < 0 || d >= Columns * Rows)
        return IndexOutOfRange("month view positions", i, 0, Columns * Rows - 1 - m_FirstWeekDayInActualMonth);
    const Cell cell{static_cast<std::int32_t>(d / Columns), static_cast<std::int32_t>(d % Columns)};
    const double left = 32 + ColumnWidth * cell.column;
    const double top = 22 + RowHeight * cell.row;

    s.FillBox(left, top, 37, 22, s.BackColor());

    const int stripHeight = m_ShowTimeAxis != 0 ? 16 : 22;
    bool holiday = false;
    if (m_Tables.holidays) {
        Result<std::int16_t> flag = m_Tables.holidays->GetHolidayLabelFlag(n);
        // Any label viewed in the calendar makes every flagged day a holiday.
        holiday = flag.ok() && *flag != 0 && m_Tables.holidays->AnyLabelViewedInCalendar();
    }
    if (cell.column == 6 || holiday) {
        for (int k = 0; k < stripHeight; ++k) {
            const auto level = static_cast<std::uint8_t>(192 - StripStep * k);
            s.DrawLineBy(left, top + k, 14, 0, Rgb{255, level, level});
        }
    }
    if (n == m_TodaysDayOffset) {
        for (int k = 0; k < stripHeight; ++k)
            s.DrawLineBy(left, top + k, 14, 0, Rgb{0, static_cast<std::uint8_t>(255 - StripStep * k), 255});
    }

    s.SetCurrentX(left);
    s.SetCurrentY(top);
    s.SetForeColor(s.SystemColour(SystemColor::GrayText));
    s.Print(std::to_string(i + 1));
    s.SetForeColor(s.SystemColour(SystemColor::ButtonText));

    if (v >= 1 && v <= 7) {
        const AnsiText label = m_Tables.dayTypeNames
                                   ? m_Tables.dayTypeNames->DayTypeShortNames[static_cast<std::size_t>(v - 1)]
                                   : AnsiText();
        s.SetCurrentX(70 + ColumnWidth * cell.column - s.TextWidth(label) - 2);
        s.Print(label);
    } else if (v >= 8 && v <= 23) {
        std::array<HostValue, 5> args{HostValue{static_cast<std::int16_t>(v - 7)}, HostValue{s.DeviceContext()},
                                      HostValue{static_cast<float>(60 + ColumnWidth * cell.column)},
                                      HostValue{static_cast<std::int32_t>(top)}, HostValue{std::int16_t{1}}};
        VEL_TRY(m_ParentContainer.Call("Draw_ImageList_ListImages", args));
    }

    if (m_ShowTimeAxis != 0 && m_AssociatedTimeSchedule != nullptr) {
        VEL_TRY(PaintTimeBar(s, v, cell.row, cell.column, bars));
    }
    return Status::Ok();
}

const cCalendar::DayTypeBar* cCalendar::TimeBarCache::Find(std::int16_t dayType) const
{
    const auto& bar = m_bars[static_cast<std::size_t>(dayType)];
    return bar ? &*bar : nullptr;
}

const cCalendar::DayTypeBar& cCalendar::TimeBarCache::Keep(std::int16_t dayType, DayTypeBar bar)
{
    return m_bars[static_cast<std::size_t>(dayType)].emplace(std::move(bar));
}

Status cCalendar::PaintTimeBar(DrawingSurface& s, std::int16_t storedDayType, std::int32_t row, std::int32_t column,
                               TimeBarCache* cache) const
{
    const cTimeSchedule& schedule = *m_AssociatedTimeSchedule;
    VEL_TRY_ASSIGN(const std::int16_t dayType, BarDayType(schedule, storedDayType, column));

    const double left = 32 + ColumnWidth * column;
    const double barTop = 39 + RowHeight * row;
    PaintEmptyBar(s, left, barTop, column);

    // The day type's periods as seen in a bar, gathered once per paint.
    const DayTypeBar* bar = cache != nullptr ? cache->Find(dayType) : nullptr;
    DayTypeBar own;
    if (bar == nullptr) {
        VEL_TRY(GatherBarRuns(schedule, dayType, own.runs));
        bar = cache != nullptr ? &cache->Keep(dayType, std::move(own)) : &own;
    }

    // Columns of the runs are counted from the box's left edge.
    for (const BarRun& run : bar->runs) PaintBarRun(s, run, left, barTop);
    return Status::Ok();
}

Status cCalendar::MouseDown(HostContainer& m_ParentContainer, DrawingSurface& m_CalendarPaintObject,
                            std::int16_t Button, std::int16_t /*Shift*/, float X, float Y)
{
    m_MouseButton = Button;
    VEL_TRY_ASSIGN(const HostValue selected, m_ParentContainer.Call("Get_Combo_Calendar_DayType_SelectedItem"));
    if (std::holds_alternative<std::monostate>(selected)) {
        m_PaintDayType = -1;
        return Status::Ok();
    }
    VEL_TRY_ASSIGN(const HostValue index, m_ParentContainer.Call("Get_Combo_Calendar_DayType_SelectedItem_Index"));
    VEL_TRY_ASSIGN(const std::int32_t item, HostValueToInt(index));
    // Item 1 is "no entry" (stored 0); item n stores n - 1. An item number the
    // stored values cannot hold selects nothing: the view never writes a
    // negative day type.
    const std::int32_t dayType = item > 0 ? item - 1 : item;
    m_PaintDayType = dayType >= 0 && dayType <= std::numeric_limits<std::int16_t>::max()
                         ? static_cast<std::int16_t>(dayType)
                         : std::int16_t{-1};
    if (m_PaintDayType < 0) return Status::Ok();

    const std::int16_t i = DateFromPoint(X, Y);
    if (i < 0) return Status::Ok();
    const std::int32_t day = m_ActualMonthOffset + i;
    VEL_TRY_ASSIGN(const std::int16_t stored, GetDayType(day));
    if (stored != m_PaintDayType) {
        VEL_TRY(SetDayType(day, m_PaintDayType));
        VEL_TRY(PaintDateBox(m_ParentContainer, m_CalendarPaintObject, i));
    }
    return Status::Ok();
}

void cCalendar::MouseMove(HostContainer& m_ParentContainer, DrawingSurface& m_CalendarPaintObject,
                          std::int16_t /*Button*/, std::int16_t /*Shift*/, float X, float Y)
{
    DrawingSurface& s = m_CalendarPaintObject;
    const std::int16_t i = DateFromPoint(X, Y);
    if (i < 0) {
        s.SetToolTipText("");
        m_LastHoveredDate = i;
        return;
    }
    if (i == m_LastHoveredDate) return;

    const std::int32_t day = m_ActualMonthOffset + i;
    // Each step that fails is skipped; the next one still runs.
    if (m_MouseButton != 0 && m_PaintDayType != -1) {
        Result<std::int16_t> stored = GetDayType(day);
        if (stored.ok() && *stored != m_PaintDayType) {
            if (SetDayType(day, m_PaintDayType).ok()) (void)PaintDateBox(m_ParentContainer, s, i);
        }
    }

    s.SetToolTipText("");
    Result<std::int16_t> stored = GetDayType(day);
    if (stored.ok() && *stored != 0) {
        std::array<HostValue, 1> args{HostValue{static_cast<std::int16_t>(*stored + 1)}};
        Result<HostValue> item = m_ParentContainer.Call("Get_Combo_Calendar_DayType_ComboItems", args);
        if (item.ok()) {
            Result<std::string> text = HostValueToText(*item);
            if (text.ok()) s.SetToolTipText(*text);
        }
    }
    if (m_Tables.holidays) {
        Result<std::int16_t> flag = m_Tables.holidays->GetHolidayLabelFlag(day);
        if (flag.ok() && *flag != 0) {
            if (const cHolidayLabel* label = m_Tables.holidays->FirstLabelOfDay(day))
                s.SetToolTipText(s.ToolTipText() + " (" + label->m_Label + ")");
        }
    }
    m_LastHoveredDate = i;
}

void cCalendar::MouseUp(std::int16_t /*Button*/, std::int16_t /*Shift*/, float /*X*/, float /*Y*/)
{
    m_MouseButton = 0;
    m_PaintDayType = -1;
}

} // namespace vel
