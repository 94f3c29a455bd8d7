#pragma once

// A drawing surface for tests: it keeps every pixel (so a test can look at
// the colour of any pixel), every printed text with its position and colour,
// and measures texts with a fixed-width font (7 pixels a character, 8 in bold;
// 13 pixels high, 14 in bold).

#include "views/drawing_surface.h"
#include "views/host_container.h"

#include <cmath>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vel::testing {

struct PrintedText {
    double x = 0;
    double y = 0;
    AnsiText text;
    Rgb colour;
    bool bold = false;
};

class RecordingSurface : public DrawingSurface {
public:
    static constexpr int Width = 340;
    static constexpr int Height = 200;
    static constexpr Rgb Background{240, 240, 240};
    static constexpr Rgb Untouched{1, 99, 1};
    static constexpr Rgb GrayTextColour{109, 109, 109};
    static constexpr Rgb ButtonTextColour{10, 20, 30};

    RecordingSurface() : m_pixels(Width * Height, Untouched) {}

    // The colour of a pixel, or nullopt outside the surface.
    std::optional<Rgb> At(int x, int y) const
    {
        if (x < 0 || y < 0 || x >= Width || y >= Height) return std::nullopt;
        return m_pixels[static_cast<std::size_t>(y * Width + x)];
    }
    Rgb Pixel(int x, int y) const { return At(x, y).value_or(Untouched); }

    const std::vector<PrintedText>& printed() const { return m_printed; }
    void ForgetPrinted() { m_printed.clear(); }
    // The printed texts equal to `text`.
    std::vector<PrintedText> Find(const AnsiText& text) const
    {
        std::vector<PrintedText> out;
        for (const PrintedText& p : m_printed)
            if (p.text == text) out.push_back(p);
        return out;
    }
    int lineCount = 0;
    int fillCount = 0;

    void DrawLine(double x1, double y1, double x2, double y2, Rgb colour) override
    {
        ++lineCount;
        long ax = Round(x1), ay = Round(y1), bx = Round(x2), by = Round(y2);
        const long dx = bx > ax ? 1 : (bx < ax ? -1 : 0);
        const long dy = by > ay ? 1 : (by < ay ? -1 : 0);
        if (ax != bx && ay != by) {
            // Only straight lines are used by the views; a diagonal is drawn
            // pixel by pixel along the longer axis.
            const long steps = std::max(std::labs(bx - ax), std::labs(by - ay));
            for (long k = 0; k < steps; ++k) Set(ax + (bx - ax) * k / steps, ay + (by - ay) * k / steps, colour);
        } else {
            for (long x = ax, y = ay; x != bx || y != by; x += dx, y += dy) Set(x, y, colour);
        }
        m_x = x2;
        m_y = y2;
    }
    void FillBox(double x, double y, double width, double height, Rgb colour) override
    {
        ++fillCount;
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
    void Print(const AnsiText& text) override
    {
        m_printed.push_back(PrintedText{m_x, m_y, text, m_fore, m_bold});
        m_x += TextWidth(text);
    }
    double TextWidth(const AnsiText& text) const override
    {
        return static_cast<double>(text.size()) * (m_bold ? 8 : 7);
    }
    double TextHeight(const AnsiText&) const override { return m_bold ? 14 : 13; }
    bool FontBold() const override { return m_bold; }
    void SetFontBold(bool bold) override { m_bold = bold; }
    Rgb ForeColor() const override { return m_fore; }
    void SetForeColor(Rgb colour) override { m_fore = colour; }
    Rgb BackColor() const override { return m_back; }
    void SetBackColor(Rgb colour) override { m_back = colour; }
    Rgb SystemColour(SystemColor which) const override
    {
        switch (which) {
        case SystemColor::GrayText:
            return GrayTextColour;
        case SystemColor::ButtonText:
            return ButtonTextColour;
        case SystemColor::WindowText:
            return RgbBlack;
        case SystemColor::Window:
            return RgbWhite;
        }
        return RgbBlack;
    }
    std::int32_t DeviceContext() const override { return 4711; }
    AnsiText ToolTipText() const override { return m_tip; }
    void SetToolTipText(const AnsiText& text) override
    {
        m_tip = text;
        ++toolTipSets;
    }
    MousePointerShape MousePointer() const override { return m_pointer; }
    void SetMousePointer(MousePointerShape shape) override { m_pointer = shape; }
    double ScaleWidth() const override { return Width; }
    double ScaleHeight() const override { return Height; }

    int toolTipSets = 0;

private:
    static long Round(double v) { return static_cast<long>(std::nearbyint(v)); }
    void Set(long x, long y, Rgb colour)
    {
        if (x < 0 || y < 0 || x >= Width || y >= Height) return;
        m_pixels[static_cast<std::size_t>(y * Width + x)] = colour;
    }

    std::vector<Rgb> m_pixels;
    std::vector<PrintedText> m_printed;
    double m_x = 0;
    double m_y = 0;
    bool m_bold = false;
    Rgb m_fore{0, 0, 0};
    Rgb m_back = Background;
    AnsiText m_tip;
    MousePointerShape m_pointer = MousePointerShape::Default;
};

struct HostCall {
    std::string member;
    std::vector<HostValue> args;
};

// A host container whose members are functions set by the test; a member it
// lacks is a MissingMember error. Every call is recorded.
class RecordingHost : public HostContainer {
public:
    using Member = std::function<Result<HostValue>(std::span<HostValue>)>;

    void Set(const std::string& name, Member member) { m_members[name] = std::move(member); }
    void Remove(const std::string& name) { m_members.erase(name); }
    void SetValue(const std::string& name, HostValue value)
    {
        m_members[name] = [value](std::span<HostValue>) -> Result<HostValue> { return value; };
    }

    Result<HostValue> Call(std::string_view member, std::span<HostValue> args) override
    {
        calls.push_back(HostCall{std::string(member), std::vector<HostValue>(args.begin(), args.end())});
        auto it = m_members.find(std::string(member));
        if (it == m_members.end()) return MakeError(ErrorCode::MissingMember, "no member " + std::string(member));
        return it->second(args);
    }
    using HostContainer::Call;

    std::vector<HostCall> CallsOf(const std::string& member) const
    {
        std::vector<HostCall> out;
        for (const HostCall& c : calls)
            if (c.member == member) out.push_back(c);
        return out;
    }

    std::vector<HostCall> calls;

private:
    std::map<std::string, Member> m_members;
};

} // namespace vel::testing
