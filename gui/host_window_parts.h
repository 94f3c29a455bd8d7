#pragma once

// What the host windows of the two views share: the English names of the
// weekdays they fill in for the suite's texts, and the icons of the special
// day types 1..16 in their image lists (a box in the day type's colour, the
// same in every list, framed in black, with a mark each list draws its own
// way).

#include <QImage>
#include <QRect>
#include <QSize>

#include <functional>

class QPainter;

namespace vel {

inline constexpr const char* WeekdayNames[7] = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                                "Friday", "Saturday", "Sunday"};
inline constexpr const char* WeekdayShortNames[7] = {"Mo", "Tu", "We", "Th", "Fr", "Sa", "Su"};

// An icon of `size`, transparent around `box`; `mark` draws on the framed box.
QImage DrawDayTypeIcon(const QSize& size, const QRect& box, int number, const std::function<void(QPainter&)>& mark);

} // namespace vel
