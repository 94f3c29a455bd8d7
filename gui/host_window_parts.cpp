#include "gui/host_window_parts.h"

#include <QColor>
#include <QPainter>

namespace vel {

QImage DrawDayTypeIcon(const QSize& size, const QRect& box, int number, const std::function<void(QPainter&)>& mark)
{
    QImage icon(size, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, false);
    p.fillRect(box, QColor::fromHsv((number - 1) * 360 / 16, 160, 220));
    p.setPen(Qt::black);
    p.drawRect(box.adjusted(0, 0, -1, -1));
    mark(p);
    return icon;
}

} // namespace vel
