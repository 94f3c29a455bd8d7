#include "gui/qt_drawing_surface.h"

#include "base/codepage.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>

#include <cmath>
#include <cstdlib>
#include <map>

namespace vel {

namespace {

int Pixel(double v)
{
    return static_cast<int>(std::nearbyint(v)); // halves to even in the default rounding mode
}

QRgb ToQRgb(Rgb c)
{
    return qRgb(c.r, c.g, c.b);
}

Rgb FromQColor(const QColor& c)
{
    return Rgb{static_cast<std::uint8_t>(c.red()), static_cast<std::uint8_t>(c.green()),
               static_cast<std::uint8_t>(c.blue())};
}

QString ToQString(const AnsiText& text)
{
    return QString::fromStdString(Cp1252ToUtf8(text));
}

// The live surfaces by device context; surfaces live on the GUI thread only.
std::map<std::int32_t, QtDrawingSurface*>& Registry()
{
    static std::map<std::int32_t, QtDrawingSurface*> surfaces;
    return surfaces;
}

std::int32_t NextDeviceContext()
{
    static std::int32_t next = 0;
    return ++next;
}

int ButtonNumber(Qt::MouseButtons buttons)
{
    int n = 0;
    if (buttons & Qt::LeftButton) n |= vel::LeftButton;
    if (buttons & Qt::RightButton) n |= vel::RightButton;
    if (buttons & Qt::MiddleButton) n |= vel::MiddleButton;
    return n;
}

int ShiftState(Qt::KeyboardModifiers m)
{
    int n = 0;
    if (m & Qt::ShiftModifier) n |= 1;
    if (m & Qt::ControlModifier) n |= 2;
    if (m & Qt::AltModifier) n |= 4;
    return n;
}

} // namespace

QtDrawingSurface::QtDrawingSurface(QWidget* parent) : QWidget(parent), m_deviceContext(NextDeviceContext())
{
    Registry()[m_deviceContext] = this;
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    m_font = font();
    m_font.setStyleStrategy(QFont::NoAntialias);
    FitPicture();
}

QtDrawingSurface::~QtDrawingSurface()
{
    Registry().erase(m_deviceContext);
}

QtDrawingSurface* QtDrawingSurface::FromDeviceContext(std::int32_t deviceContext)
{
    auto it = Registry().find(deviceContext);
    return it == Registry().end() ? nullptr : it->second;
}

void QtDrawingSurface::FitPicture()
{
    const QSize wanted(std::max(1, width()), std::max(1, height()));
    if (m_picture.size() == wanted) return;
    QImage picture(wanted, QImage::Format_RGB32);
    picture.fill(ToQRgb(m_backColor));
    if (!m_picture.isNull()) {
        QPainter p(&picture);
        p.drawImage(0, 0, m_picture);
    }
    m_picture = std::move(picture);
}

void QtDrawingSurface::SetPixel(int x, int y, QRgb colour)
{
    if (x < 0 || y < 0 || x >= m_picture.width() || y >= m_picture.height()) return;
    reinterpret_cast<QRgb*>(m_picture.scanLine(y))[x] = colour;
}

void QtDrawingSurface::DrawLine(double x1, double y1, double x2, double y2, Rgb colour)
{
    FitPicture();
    m_currentX = x2;
    m_currentY = y2;
    int x = Pixel(x1), y = Pixel(y1);
    const int ex = Pixel(x2), ey = Pixel(y2);
    const QRgb c = ToQRgb(colour);
    const int dx = std::abs(ex - x), sx = x < ex ? 1 : -1;
    const int dy = -std::abs(ey - y), sy = y < ey ? 1 : -1;
    int err = dx + dy;
    // The end point itself is not painted.
    while (x != ex || y != ey) {
        SetPixel(x, y, c);
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
    update();
}

void QtDrawingSurface::FillBox(double x, double y, double width, double height, Rgb colour)
{
    FitPicture();
    const int left = Pixel(x), top = Pixel(y), w = Pixel(width), h = Pixel(height);
    const QRgb c = ToQRgb(colour);
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) SetPixel(left + i, top + j, c);
    m_currentX = x + width;
    m_currentY = y + height;
    update();
}

void QtDrawingSurface::Clear()
{
    FitPicture();
    m_picture.fill(ToQRgb(m_backColor));
    m_currentX = 0;
    m_currentY = 0;
    update();
}

void QtDrawingSurface::Print(const AnsiText& text)
{
    FitPicture();
    const QString s = ToQString(text);
    const QFontMetricsF metrics(m_font);
    {
        QPainter p(&m_picture);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setRenderHint(QPainter::TextAntialiasing, false);
        p.setFont(m_font);
        p.setPen(QColor(ToQRgb(m_foreColor)));
        p.drawText(QPointF(Pixel(m_currentX), Pixel(m_currentY) + metrics.ascent()), s);
    }
    m_currentX += metrics.horizontalAdvance(s);
    update();
}

double QtDrawingSurface::TextWidth(const AnsiText& text) const
{
    return QFontMetricsF(m_font).horizontalAdvance(ToQString(text));
}

double QtDrawingSurface::TextHeight(const AnsiText& /*text*/) const
{
    return QFontMetricsF(m_font).height();
}

bool QtDrawingSurface::FontBold() const
{
    return m_font.bold();
}

void QtDrawingSurface::SetFontBold(bool bold)
{
    m_font.setBold(bold);
}

void QtDrawingSurface::SetTextFont(const QFont& font)
{
    const bool bold = m_font.bold();
    m_font = font;
    m_font.setBold(bold);
    m_font.setStyleStrategy(QFont::NoAntialias);
}

void QtDrawingSurface::SetBackColor(Rgb colour)
{
    m_backColor = colour;
}

Rgb QtDrawingSurface::SystemColour(SystemColor which) const
{
    const QPalette& pal = palette();
    switch (which) {
    case SystemColor::GrayText:
        return FromQColor(pal.color(QPalette::Disabled, QPalette::WindowText));
    case SystemColor::ButtonText:
        return FromQColor(pal.color(QPalette::Active, QPalette::ButtonText));
    case SystemColor::WindowText:
        return FromQColor(pal.color(QPalette::Active, QPalette::WindowText));
    case SystemColor::Window:
        return FromQColor(pal.color(QPalette::Active, QPalette::Window));
    }
    return Rgb{};
}

AnsiText QtDrawingSurface::ToolTipText() const
{
    return m_toolTip;
}

void QtDrawingSurface::SetToolTipText(const AnsiText& text)
{
    m_toolTip = text;
    setToolTip(ToQString(text));
}

void QtDrawingSurface::SetMousePointer(MousePointerShape shape)
{
    m_pointer = shape;
    if (shape == MousePointerShape::SizeWestEast)
        setCursor(Qt::SizeHorCursor);
    else
        unsetCursor();
}

void QtDrawingSurface::DrawImage(double x, double y, const QImage& image)
{
    FitPicture();
    {
        QPainter p(&m_picture);
        p.drawImage(Pixel(x), Pixel(y), image);
    }
    update();
}

void QtDrawingSurface::paintEvent(QPaintEvent* /*event*/)
{
    QPainter p(this);
    p.fillRect(rect(), QColor(ToQRgb(m_backColor)));
    p.drawImage(0, 0, m_picture);
}

void QtDrawingSurface::resizeEvent(QResizeEvent* event)
{
    FitPicture();
    QWidget::resizeEvent(event);
}

void QtDrawingSurface::mousePressEvent(QMouseEvent* event)
{
    const QPointF at = event->position();
    Q_EMIT MousePressed(ButtonNumber(event->button()), ShiftState(event->modifiers()), static_cast<float>(at.x()),
                        static_cast<float>(at.y()));
}

void QtDrawingSurface::mouseMoveEvent(QMouseEvent* event)
{
    const QPointF at = event->position();
    Q_EMIT MouseMoved(ButtonNumber(event->buttons()), ShiftState(event->modifiers()), static_cast<float>(at.x()),
                      static_cast<float>(at.y()));
}

void QtDrawingSurface::mouseReleaseEvent(QMouseEvent* event)
{
    const QPointF at = event->position();
    Q_EMIT MouseReleased(ButtonNumber(event->button()), ShiftState(event->modifiers()), static_cast<float>(at.x()),
                         static_cast<float>(at.y()));
}

} // namespace vel
