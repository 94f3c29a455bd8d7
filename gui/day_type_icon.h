#pragma once

// The icons of the special day types 1..16 in the host windows' image lists:
// a box in the day type's colour, the same in every list, framed in black,
// with a mark that each list draws its own way.

#include <QImage>
#include <QRect>
#include <QSize>

#include <functional>

class QPainter;

namespace vel {

// An icon of `size`, transparent around `box`; `mark` draws on the framed box.
QImage DrawDayTypeIcon(const QSize& size, const QRect& box, int number, const std::function<void(QPainter&)>& mark);

} // namespace vel
