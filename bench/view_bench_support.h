#pragma once

// What the view benchmarks draw on and talk to: a surface that keeps its
// pixels as a window's picture does (lines and boxes are painted pixel by
// pixel, clipped to the surface), and hosts that answer every member the
// schedule editor and the calendar month view call, as a host window does.

#include "views/drawing_surface.h"
#include "views/host_container.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vel::bench {

class PixelSurface : public DrawingSurface {
public:
    PixelSurface(int width, int height) : m_width(width), m_height(height), m_pixels(Size(width, height)) {}

    void DrawLine(double x1, double y1, double x2, double y2, Rgb colour) override
    {
        long x = Round(x1), y = Round(y1);
        const long ex = Round(x2), ey = Round(y2);
        const long dx = ex > x ? 1 : (ex < x ? -1 : 0);
        const long dy = ey > y ? 1 : (ey < y ? -1 : 0);
        // The views draw only horizontal and vertical lines.
        for (; x != ex || y != ey; x += (x != ex ? dx : 0), y += (y != ey ? dy : 0)) Set(x, y, colour);
        m_x = x2;
        m_y = y2;
    }
    void FillBox(double x, double y, double width, double height, Rgb colour) override
    {
        for (long yy = Round(y); yy < Round(y) + Round(height); ++yy)
            for (long xx = Round(x); xx < Round(x) + Round(width); ++xx) Set(xx, yy, colour);
        m_x = x + width;
        m_y = y + height;
    }
    void Clear() override
    {
        std::fill(m_pixels.begin(), m_pixels.end(), m_back);
        m_x = m_y = 0;
    }
    double CurrentX() const override { return m_x; }
    double CurrentY() const override { return m_y; }
    void SetCurrentX(double x) override { m_x = x; }
    void SetCurrentY(double y) override { m_y = y; }
    void Print(const AnsiText& text) override { m_x += TextWidth(text); }
    double TextWidth(const AnsiText& text) const override { return 7.0 * static_cast<double>(text.size()); }
    double TextHeight(const AnsiText&) const override { return 13.0; }
    bool FontBold() const override { return m_bold; }
    void SetFontBold(bool bold) override { m_bold = bold; }
    Rgb ForeColor() const override { return m_fore; }
    void SetForeColor(Rgb colour) override { m_fore = colour; }
    Rgb BackColor() const override { return m_back; }
    void SetBackColor(Rgb colour) override { m_back = colour; }
    Rgb SystemColour(SystemColor) const override { return Grey(100); }
    std::int32_t DeviceContext() const override { return 1; }
    AnsiText ToolTipText() const override { return m_tip; }
    void SetToolTipText(const AnsiText& text) override { m_tip = text; }
    MousePointerShape MousePointer() const override { return m_pointer; }
    void SetMousePointer(MousePointerShape shape) override { m_pointer = shape; }
    double ScaleWidth() const override { return m_width; }
    double ScaleHeight() const override { return m_height; }

    Rgb Pixel(int x, int y) const { return m_pixels[static_cast<std::size_t>(y * m_width + x)]; }

private:
    static std::size_t Size(int w, int h) { return static_cast<std::size_t>(w) * static_cast<std::size_t>(h); }
    static long Round(double v) { return static_cast<long>(std::nearbyint(v)); }
    void Set(long x, long y, Rgb colour)
    {
        if (x < 0 || y < 0 || x >= m_width || y >= m_height) return;
        m_pixels[static_cast<std::size_t>(y * m_width + x)] = colour;
    }

    int m_width;
    int m_height;
    std::vector<Rgb> m_pixels;
    double m_x = 0;
    double m_y = 0;
    bool m_bold = false;
    Rgb m_fore{};
    Rgb m_back = Grey(240);
    AnsiText m_tip;
    MousePointerShape m_pointer = MousePointerShape::Default;
};

// The schedule editor's host: a frame of 360 x 180 pixels with a scroll bar
// 17 wide, icons of 16 x 16, day-type names hidden, the Mon-Fri menu item
// unchecked; period texts read back as last set.
class EditorHost : public HostContainer {
public:
    using HostContainer::Call;
    Result<HostValue> Call(std::string_view member, std::span<HostValue> args) override
    {
        if (member == "Set_Text_Schedule_Period_Start" && !args.empty()) return Keep(m_start, args[0]);
        if (member == "Set_Text_Schedule_Period_Stop" && !args.empty()) return Keep(m_stop, args[0]);
        if (member == "Get_Text_Schedule_Period_Start") return HostValue{m_start};
        if (member == "Get_Text_Schedule_Period_Stop") return HostValue{m_stop};
        if (member == "Get_Picture_TimeSchedule_Frame_ScaleWidth") return HostValue{std::int32_t{360}};
        if (member == "Get_Picture_TimeSchedule_Frame_ScaleHeight") return HostValue{std::int32_t{180}};
        if (member == "Get_VScroll_Schedule_Width") return HostValue{std::int32_t{17}};
        if (member == "Get_VScroll_Schedule_Left") return HostValue{std::int32_t{343}};
        if (member == "Get_ImageList_ImageHeight" || member == "Get_ImageList_ImageWidth")
            return HostValue{std::int32_t{16}};
        if (member == "Get_Check_TimeSchedule_ViewDayType" ||
            member == "Get_Menu_TimeSchedulePopup_Grouped_MonFri_Checked")
            return HostValue{false};
        return HostValue{};
    }

    // Texts the operator typed into the period texts.
    void Type(std::string start, std::string stop)
    {
        m_start = std::move(start);
        m_stop = std::move(stop);
    }

private:
    static Result<HostValue> Keep(std::string& to, const HostValue& v)
    {
        if (const auto* text = std::get_if<std::string>(&v)) to = *text;
        return HostValue{};
    }
    std::string m_start;
    std::string m_stop;
};

// The calendar month view's host: the combo box has item `selectedItem`
// selected (items are named by their number).
class CalendarHost : public HostContainer {
public:
    std::int32_t selectedItem = 3;

    using HostContainer::Call;
    Result<HostValue> Call(std::string_view member, std::span<HostValue> args) override
    {
        if (member == "Get_Combo_Calendar_DayType_SelectedItem") return HostValue{std::string("item")};
        if (member == "Get_Combo_Calendar_DayType_SelectedItem_Index") return HostValue{selectedItem};
        if (member == "Get_Combo_Calendar_DayType_ComboItems" && !args.empty()) {
            auto n = HostValueToInt(args[0]);
            return HostValue{"item " + std::to_string(n ? *n : 0)};
        }
        return HostValue{};
    }
};

} // namespace vel::bench
