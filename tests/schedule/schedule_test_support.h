#pragma once

// A recording host container and a recording drawing surface for the tests of
// the schedule and its editor view, and access to the schedule's private
// operations.

#include "views/drawing_surface.h"
#include "views/host_container.h"
#include "schedule/time_schedule.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace vel {

class cTimeScheduleTestAccess {
public:
    static Status Merge(cTimeSchedule& s, std::int32_t d) { return s.MergeOverlappingPeriods(d); }
    static Status CopyToGroup(cTimeSchedule& s, HostContainer& h, DrawingSurface* p, std::int32_t d)
    {
        return s.CopyPeriodsToGroup(h, p, d);
    }
    static Status PaintAxis(cTimeSchedule& s, HostContainer& h, DrawingSurface* p, std::int32_t d)
    {
        return s.PaintDayTypeAxis(h, p, d);
    }
    // Makes Period the dragged period, as a press on its edge would.
    static void SetDragged(cTimeSchedule& s, const cTimeSchedulePeriod* Period)
    {
        s.m_DraggedPeriod = const_cast<cTimeSchedulePeriod*>(Period);
    }
    static Result<std::int32_t> PointToMinute(cTimeSchedule& s, HostContainer& h, float x, float y, std::int32_t& axis)
    {
        return s.PointToMinute(h, x, y, axis);
    }
};

namespace test {

struct HostCall {
    std::string member;
    std::vector<HostValue> args;
};

// Answers the members it has been given; every call is recorded. A member it
// lacks is a MissingMember error, as with a real host.
class RecordingHost : public HostContainer {
public:
    using Handler = std::function<HostValue(std::span<HostValue>)>;

    // A member that accepts anything and answers nothing.
    void Accept(const std::string& member)
    {
        m_members[member] = [](std::span<HostValue>) { return HostValue{}; };
    }
    void Answer(const std::string& member, HostValue value)
    {
        m_members[member] = [value](std::span<HostValue>) { return value; };
    }
    void Handle(const std::string& member, Handler h) { m_members[member] = std::move(h); }
    void Remove(const std::string& member) { m_members.erase(member); }

    // Every member the schedule editor calls, with a host window's answers:
    // frame 400 x 200, scroll bar 17 wide, icons 16 x 16, names hidden, the
    // Mon-Fri menu item unchecked, period texts as last set.
    void AcceptEditorMembers();

    using HostContainer::Call;
    Result<HostValue> Call(std::string_view member, std::span<HostValue> args) override;

    std::vector<HostCall> calls;
    // Last text set by each Set_Text_* member.
    std::map<std::string, std::string> texts;

    std::vector<HostCall> CallsTo(const std::string& member) const;
    std::vector<std::string> MemberOrder() const;

private:
    std::map<std::string, Handler, std::less<>> m_members;
};

struct LineOp {
    double x1, y1, x2, y2;
    Rgb colour;
};
struct PrintOp {
    double x, y;
    std::string text;
};

// Records what is drawn; text is measured as 6 x 13 pixels per character.
class RecordingSurface : public DrawingSurface {
public:
    void DrawLine(double x1, double y1, double x2, double y2, Rgb colour) override;
    void FillBox(double x, double y, double width, double height, Rgb colour) override;
    void Clear() override;
    double CurrentX() const override { return m_x; }
    double CurrentY() const override { return m_y; }
    void SetCurrentX(double x) override { m_x = x; }
    void SetCurrentY(double y) override { m_y = y; }
    void Print(const AnsiText& text) override;
    double TextWidth(const AnsiText& text) const override { return 6.0 * static_cast<double>(text.size()); }
    double TextHeight(const AnsiText&) const override { return 13.0; }
    bool FontBold() const override { return m_bold; }
    void SetFontBold(bool bold) override { m_bold = bold; }
    Rgb ForeColor() const override { return m_fore; }
    void SetForeColor(Rgb c) override { m_fore = c; }
    Rgb BackColor() const override { return m_back; }
    void SetBackColor(Rgb c) override { m_back = c; }
    Rgb SystemColour(SystemColor) const override { return Grey(128); }
    std::int32_t DeviceContext() const override { return 4711; }
    AnsiText ToolTipText() const override { return m_tip; }
    void SetToolTipText(const AnsiText& t) override { m_tip = t; }
    MousePointerShape MousePointer() const override { return m_pointer; }
    void SetMousePointer(MousePointerShape s) override { m_pointer = s; }
    double ScaleWidth() const override { return 400; }
    double ScaleHeight() const override { return 200; }

    void Reset()
    {
        lines.clear();
        prints.clear();
    }
    // Lines drawn exactly from (x1, y) to (x2, y).
    std::vector<LineOp> HorizontalAt(double y) const;
    // Lines that start at (x, y) and run downwards.
    std::vector<LineOp> VerticalFrom(double x, double y) const;

    std::vector<LineOp> lines;
    std::vector<PrintOp> prints;

private:
    double m_x = 0, m_y = 0;
    bool m_bold = false;
    Rgb m_fore{}, m_back = RgbWhite;
    AnsiText m_tip;
    MousePointerShape m_pointer = MousePointerShape::Default;
};

} // namespace test
} // namespace vel
