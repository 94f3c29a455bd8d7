#pragma once

// The surface a view draws on: the schedule editor (cTimeSchedule) and the
// calendar month view (cCalendar) draw only through this interface. A host
// window owns the real surface (gui/ has the Qt one); tests use a
// recording surface.
//
// Coordinates are surface pixels, x to the right and y downwards, (0, 0) at
// the top left. They are given as floating-point numbers because the views
// compute some positions with halves (text placement); a surface rounds a
// coordinate to the nearest whole pixel, halves to the even neighbour.
//
// Pixel rules (the views' geometry rests on them):
// - DrawLine paints the pixels from the start point towards the end point
//   and leaves the end point itself unpainted, like a pen of the platform's
//   drawing library: a line from (30, y) to (318, y) paints x = 30 .. 317;
//   DrawLineBy(x, y, 288, 0, c) is the same line. A line whose start and end
//   point are equal paints nothing. Afterwards the current position is the
//   end point.
// - FillBox paints exactly width x height pixels whose top left pixel is
//   (x, y): FillBox(32, 22, 37, 22, c) paints x = 32 .. 68, y = 22 .. 43.
//   Afterwards the current position is (x + width, y + height).
// - Print draws a text with its top left corner at the current position, in
//   the foreground colour and the current font, on a transparent background,
//   and moves the current position right by the text's width (it stays on
//   that line).
// - Nothing is antialiased.
//
// Texts are in the suite's code page (Windows-1252), like every text of the
// core; a surface converts them for display.

#include "base/bytes.h"

#include <cstdint>

namespace vel {

// A colour as red, green and blue levels 0..255.
struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;

    friend bool operator==(const Rgb&, const Rgb&) = default;
};

constexpr Rgb RgbBlack{0, 0, 0};
constexpr Rgb RgbWhite{255, 255, 255};

// A grey level as a colour.
constexpr Rgb Grey(int level)
{
    return Rgb{static_cast<std::uint8_t>(level), static_cast<std::uint8_t>(level), static_cast<std::uint8_t>(level)};
}

// Colours the platform defines for its own controls.
enum class SystemColor {
    GrayText,   // text of a disabled control
    ButtonText, // text on a push button
    WindowText,
    Window,
};

// Shapes of the mouse pointer over the surface; the numbers are the
// platform's pointer codes.
enum class MousePointerShape : std::int16_t {
    Default = 0,
    SizeWestEast = 9, // west-east sizing arrow
};

// The buttons a host passes to the views' mouse operations, as the
// platform numbers them (several held at once add up).
inline constexpr std::int16_t LeftButton = 1;
inline constexpr std::int16_t RightButton = 2;
inline constexpr std::int16_t MiddleButton = 4;

class DrawingSurface {
public:
    virtual ~DrawingSurface() = default;

    // --- lines and boxes -------------------------------------------------
    virtual void DrawLine(double x1, double y1, double x2, double y2, Rgb colour) = 0;
    // A line from (x, y) by the offset (dx, dy).
    void DrawLineBy(double x, double y, double dx, double dy, Rgb colour) { DrawLine(x, y, x + dx, y + dy, colour); }
    // A line from the current position to (x, y).
    void DrawLineTo(double x, double y, Rgb colour) { DrawLine(CurrentX(), CurrentY(), x, y, colour); }
    // A filled box of width x height pixels from (x, y).
    virtual void FillBox(double x, double y, double width, double height, Rgb colour) = 0;
    // Fills the whole surface with the background colour; the current
    // position becomes (0, 0).
    virtual void Clear() = 0;

    // --- text ------------------------------------------------------------
    virtual double CurrentX() const = 0;
    virtual double CurrentY() const = 0;
    virtual void SetCurrentX(double x) = 0;
    virtual void SetCurrentY(double y) = 0;
    virtual void Print(const AnsiText& text) = 0;
    // Size of a text in the current font, in pixels.
    virtual double TextWidth(const AnsiText& text) const = 0;
    virtual double TextHeight(const AnsiText& text) const = 0;
    virtual bool FontBold() const = 0;
    virtual void SetFontBold(bool bold) = 0;

    // --- colours ---------------------------------------------------------
    virtual Rgb ForeColor() const = 0;
    virtual void SetForeColor(Rgb colour) = 0;
    virtual Rgb BackColor() const = 0;
    virtual void SetBackColor(Rgb colour) = 0;
    virtual Rgb SystemColour(SystemColor which) const = 0;

    // --- the surface and its window --------------------------------------
    // A handle that identifies this surface to the host, which draws its own
    // images (the day-type icons) onto the surface through it.
    virtual std::int32_t DeviceContext() const = 0;
    virtual AnsiText ToolTipText() const = 0;
    virtual void SetToolTipText(const AnsiText& text) = 0;
    virtual MousePointerShape MousePointer() const = 0;
    virtual void SetMousePointer(MousePointerShape shape) = 0;
    // Inner size of the surface in pixels (the host sizes the surface).
    virtual double ScaleWidth() const = 0;
    virtual double ScaleHeight() const = 0;
};

} // namespace vel
