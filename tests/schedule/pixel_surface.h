#pragma once

// A drawing surface for tests that compare pictures: it keeps the pixels of a
// rectangle that may reach far left of and above (0, 0), so that bars of
// minutes outside the day are compared too, and counts the lines drawn.
// Pixels outside the rectangle are dropped, as a surface clips them. Lines
// follow the surface's pixel rules (the end point itself is not painted);
// only horizontal and vertical lines are expected. Texts paint no pixels.

#include "views/drawing_surface.h"

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vel::test {

class PixelSurface : public DrawingSurface {
public:
    static constexpr Rgb Unpainted{1, 99, 1};

    PixelSurface(int left, int top, int width, int height)
        : m_left(left), m_top(top), m_width(width), m_height(height),
          m_pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), Unpainted)
    {
    }

    Rgb Pixel(int x, int y) const
    {
        if (!Inside(x, y)) return Unpainted;
        return m_pixels[Offset(x, y)];
    }

    // The first pixel (in rows from the top) whose colour differs, as a text
    // for a failure message; empty when the pictures are equal.
    std::string FirstDifference(const PixelSurface& other) const
    {
        for (int y = m_top; y < m_top + m_height; ++y)
            for (int x = m_left; x < m_left + m_width; ++x) {
                const Rgb a = Pixel(x, y);
                const Rgb b = other.Pixel(x, y);
                if (!(a == b))
                    return "pixel (" + std::to_string(x) + "," + std::to_string(y) + "): " + Describe(a) + " vs " +
                           Describe(b);
            }
        return {};
    }

    int lineCount = 0;

    void DrawLine(double x1, double y1, double x2, double y2, Rgb colour) override
    {
        ++lineCount;
        long x = Round(x1), y = Round(y1);
        const long ex = Round(x2), ey = Round(y2);
        if (x != ex && y != ey) {
            ++diagonals;
            return;
        }
        const long dx = ex > x ? 1 : (ex < x ? -1 : 0);
        const long dy = ey > y ? 1 : (ey < y ? -1 : 0);
        for (; x != ex || y != ey; x += dx, y += dy) Set(x, y, colour);
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
    std::int32_t DeviceContext() const override { return 4711; }
    AnsiText ToolTipText() const override { return m_tip; }
    void SetToolTipText(const AnsiText& text) override { m_tip = text; }
    MousePointerShape MousePointer() const override { return m_pointer; }
    void SetMousePointer(MousePointerShape shape) override { m_pointer = shape; }
    double ScaleWidth() const override { return m_width; }
    double ScaleHeight() const override { return m_height; }

    // Diagonal lines drawn (none are expected; they paint nothing here).
    int diagonals = 0;

private:
    static long Round(double v) { return static_cast<long>(std::nearbyint(v)); }
    static std::string Describe(Rgb c)
    {
        return "(" + std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + ")";
    }
    bool Inside(long x, long y) const
    {
        return x >= m_left && y >= m_top && x < m_left + m_width && y < m_top + m_height;
    }
    std::size_t Offset(long x, long y) const
    {
        return static_cast<std::size_t>(y - m_top) * static_cast<std::size_t>(m_width) +
               static_cast<std::size_t>(x - m_left);
    }
    void Set(long x, long y, Rgb colour)
    {
        if (Inside(x, y)) m_pixels[Offset(x, y)] = colour;
    }

    int m_left;
    int m_top;
    int m_width;
    int m_height;
    std::vector<Rgb> m_pixels;
    double m_x = 0;
    double m_y = 0;
    bool m_bold = false;
    Rgb m_fore{};
    Rgb m_back{240, 240, 240};
    AnsiText m_tip;
    MousePointerShape m_pointer = MousePointerShape::Default;
};

} // namespace vel::test
