#include "calendar/holiday_tables.h"

#include <utility>

namespace vel {

HolidayTables::HolidayTables()
{
    m_HolidayLabelFlags.fill(0);
}

Result<std::int16_t> HolidayTables::GetHolidayLabelFlag(std::int32_t dayIndex) const
{
    if (dayIndex < 0 || dayIndex >= CalendarDays)
        return IndexOutOfRange("HolidayLabelFlags", dayIndex, 0, CalendarDays - 1);
    return m_HolidayLabelFlags[static_cast<std::size_t>(dayIndex)];
}

Status HolidayTables::SetHolidayLabelFlag(std::int32_t dayIndex, std::int16_t flag)
{
    if (dayIndex < 0 || dayIndex >= CalendarDays)
        return IndexOutOfRange("HolidayLabelFlags", dayIndex, 0, CalendarDays - 1);
    m_HolidayLabelFlags[static_cast<std::size_t>(dayIndex)] = flag;
    return Status::Ok();
}

Status HolidayTables::AddHolidayLabel(cHolidayLabel label)
{
    if (label.m_Day < 0 || label.m_Day >= CalendarDays)
        return IndexOutOfRange("HolidayLabelFlags", label.m_Day, 0, CalendarDays - 1);
    m_HolidayLabelFlags[static_cast<std::size_t>(label.m_Day)] = -1;
    m_HolidayLabels.push_back(std::move(label));
    return Status::Ok();
}

bool HolidayTables::AnyLabelViewedInCalendar() const
{
    for (const cHolidayLabel& label : m_HolidayLabels) {
        if (label.m_ViewInCalendar != 0) return true;
    }
    return false;
}

const cHolidayLabel* HolidayTables::FirstLabelOfDay(std::int32_t dayIndex) const
{
    for (const cHolidayLabel& label : m_HolidayLabels) {
        if (label.m_Day == dayIndex) return &label;
    }
    return nullptr;
}

void HolidayTables::Clear()
{
    m_HolidayLabelFlags.fill(0);
    m_HolidayLabels.clear();
}

} // namespace vel
