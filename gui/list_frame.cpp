#include "gui/list_frame.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QPainter>

namespace vel {

ListFrame::ListFrame(const QString& title, QWidget* parent) : QGroupBox(title, parent)
{
    // The ring follows the focus: repaint whenever it moves into or out of the frame.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget* from, QWidget* to) {
        if ((from != nullptr && isAncestorOf(from)) || (to != nullptr && isAncestorOf(to))) update();
    });
}

bool ListFrame::HoldsFocus() const
{
    // The window's focus widget, not the application's: the ring stays while
    // a question box of the window is open.
    const QWidget* focus = window()->focusWidget();
    return focus != nullptr && isAncestorOf(focus);
}

void ListFrame::paintEvent(QPaintEvent* event)
{
    QGroupBox::paintEvent(event);
    const auto* list = findChild<QAbstractItemView*>(QString(), Qt::FindDirectChildrenOnly);
    if (list == nullptr || !HoldsFocus()) return;
    // In the margin between the frame's edge and the list, which the design
    // leaves at 8 pixels and more on every side.
    QPainter painter(this);
    painter.setPen(QPen(palette().color(QPalette::Active, QPalette::Highlight), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(list->geometry()).adjusted(-2, -2, 2, 2));
}

} // namespace vel
