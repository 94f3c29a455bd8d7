#pragma once

// A drawing surface for the views (schedule editor, calendar month view) as a
// Qt widget. It keeps its picture between paints, like a picture box that
// redraws itself: everything is drawn into a QImage that the widget keeps and
// shows on every paint event, so nothing is lost when the window is covered
// or hidden. The picture has the size of the widget (also while the widget is
// hidden: every drawing operation first fits the picture to the widget's
// size); when the widget grows, the new area is filled with the background
// colour, the rest is kept.
//
// Pixels follow the rules of vel::DrawingSurface exactly: lines are drawn
// pixel by pixel without the end point, boxes fill exactly width x height
// pixels, coordinates are rounded halves to even, nothing is antialiased
// (texts included).
//
// Mouse events are passed on as signals in surface pixels, with the view's
// button numbers (1 left, 2 right, 4 middle) and shift state (1 Shift,
// 2 Ctrl, 4 Alt); a host connects them to the view's MouseDown, MouseMove
// and MouseUp.
//
// The device context of a surface is a number that identifies it while it
// exists: a host that draws its own images onto the surface (the day-type
// icons of its image list) finds the surface with FromDeviceContext and
// calls DrawImage.

#include "views/drawing_surface.h"

#include <QFont>
#include <QImage>
#include <QWidget>

#include <cstdint>

namespace vel {

class QtDrawingSurface : public QWidget, public DrawingSurface {
    Q_OBJECT

public:
    explicit QtDrawingSurface(QWidget* parent = nullptr);
    ~QtDrawingSurface() override;

    // --- DrawingSurface ----------------------------------------------------
    void DrawLine(double x1, double y1, double x2, double y2, Rgb colour) override;
    void FillBox(double x, double y, double width, double height, Rgb colour) override;
    void Clear() override;
    double CurrentX() const override { return m_currentX; }
    double CurrentY() const override { return m_currentY; }
    void SetCurrentX(double x) override { m_currentX = x; }
    void SetCurrentY(double y) override { m_currentY = y; }
    void Print(const AnsiText& text) override;
    double TextWidth(const AnsiText& text) const override;
    double TextHeight(const AnsiText& text) const override;
    bool FontBold() const override;
    void SetFontBold(bool bold) override;
    Rgb ForeColor() const override { return m_foreColor; }
    void SetForeColor(Rgb colour) override { m_foreColor = colour; }
    Rgb BackColor() const override { return m_backColor; }
    void SetBackColor(Rgb colour) override;
    Rgb SystemColour(SystemColor which) const override;
    std::int32_t DeviceContext() const override { return m_deviceContext; }
    AnsiText ToolTipText() const override;
    void SetToolTipText(const AnsiText& text) override;
    MousePointerShape MousePointer() const override { return m_pointer; }
    void SetMousePointer(MousePointerShape shape) override;
    double ScaleWidth() const override { return width(); }
    double ScaleHeight() const override { return height(); }

    // --- for hosts -------------------------------------------------------
    // The picture as drawn so far, in surface pixels.
    const QImage& Picture() const { return m_picture; }
    // Draws an image with its top left corner at (x, y), keeping its alpha.
    void DrawImage(double x, double y, const QImage& image);
    // The font texts are printed in (its boldness follows SetFontBold).
    void SetTextFont(const QFont& font);
    // The live surface with that device context, or nullptr.
    static QtDrawingSurface* FromDeviceContext(std::int32_t deviceContext);

Q_SIGNALS:
    void MousePressed(int button, int shift, float x, float y);
    void MouseMoved(int button, int shift, float x, float y);
    void MouseReleased(int button, int shift, float x, float y);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void FitPicture();
    void SetPixel(int x, int y, QRgb colour);

    QImage m_picture;
    QFont m_font;
    double m_currentX = 0.0;
    double m_currentY = 0.0;
    Rgb m_foreColor{0, 0, 0};
    Rgb m_backColor{255, 255, 255};
    MousePointerShape m_pointer = MousePointerShape::Default;
    AnsiText m_toolTip;
    std::int32_t m_deviceContext = 0;
};

} // namespace vel
