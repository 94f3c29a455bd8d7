#pragma once

// Holiday labels and the holiday tables that the month view reads. One set of
// tables serves a whole program; it is an object of its own so that every user
// (and every test) can be handed a fresh one instead of sharing a global.

#include "calendar/calendar_dates.h"
#include "base/bytes.h"
#include "base/result.h"

#include <array>
#include <cstdint>
#include <vector>

namespace vel {

// A label of one day (data only).
class cHolidayLabel {
public:
    std::int16_t m_Day = 0;            // day index of the labelled day
    std::int16_t m_DayType = 0;        // stored only; nothing here reads it
    std::int16_t m_ViewInCalendar = 0; // Boolean (0 / -1): marks its day in the month view
    AnsiText m_Label;                  // shown in the month view's tooltip
};

// HolidayLabelFlags: one flag per day index, nonzero when HolidayLabels holds
// a label of that day. HolidayLabels: the labels in insertion order. The
// rename utility never fills them.
class HolidayTables {
public:
    HolidayTables();

    Result<std::int16_t> GetHolidayLabelFlag(std::int32_t dayIndex) const;
    Status SetHolidayLabelFlag(std::int32_t dayIndex, std::int16_t flag);

    const std::vector<cHolidayLabel>& HolidayLabels() const { return m_HolidayLabels; }

    // Appends a label and sets the flag of its day, keeping both tables
    // consistent. A label whose m_Day lies outside the calendar is refused
    // before anything changes.
    Status AddHolidayLabel(cHolidayLabel label);

    // True when any label has m_ViewInCalendar set.
    bool AnyLabelViewedInCalendar() const;

    // The first label (in insertion order) of a day, or nullptr.
    const cHolidayLabel* FirstLabelOfDay(std::int32_t dayIndex) const;

    // Empties both tables.
    void Clear();

private:
    std::array<std::int16_t, CalendarDays> m_HolidayLabelFlags;
    std::vector<cHolidayLabel> m_HolidayLabels;
};

} // namespace vel
