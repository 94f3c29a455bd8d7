#pragma once

// A calendar of day types: for every day from 2000-01-01 to 2039-12-31 the
// day type of a weekly time schedule that governs it, kept in a file of its
// own. The month view that shows and edits a calendar is part of the same
// class (calendar_view.cpp).
//
// Stored day types: 0 no entry (the day's own weekday decides), 1 to 7 the
// schedule day types 0 to 6 (Monday to Sunday), 8 to 23 the special schedule
// day types 7 to 22. The calendar itself stores any value.
//
// The calendar file: 14610 little-endian 16-bit signed day types, day index 0
// first, 29220 bytes, no header.

#include "calendar/calendar_dates.h"
#include "calendar/holiday_tables.h"
#include "schedule/bar_runs.h"
#include "views/day_type_names.h"
#include "views/drawing_surface.h"
#include "views/host_container.h"
#include "base/bytes.h"
#include "base/file_system.h"
#include "base/result.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vel {

class cTimeSchedule;
class SuiteTexts;

constexpr std::size_t CalendarFileBytes = 2 * static_cast<std::size_t>(CalendarDays);
constexpr std::int32_t ScheduleDayTypes = 23;

// The program-wide tables the month view reads, shared by every calendar of a
// program. Each may be empty, which reads as an empty table: no holidays, the
// fallback texts of GetText, empty day-type names.
struct CalendarViewTables {
    std::shared_ptr<const HolidayTables> holidays;
    std::shared_ptr<const SuiteTexts> texts;
    std::shared_ptr<const DayTypeNameTable> dayTypeNames; // DayTypeShortNames
};

class cCalendar {
public:
    // The calendar reads and writes its file through fs, which must outlive it.
    explicit cCalendar(FileSystem& fs = RealFileSystem());

    // --- public members of the month view -------------------------------
    std::int32_t m_SelectedMonth = 0;
    std::int32_t m_SelectedYear = 0;
    std::int32_t m_ActualMonthOffset = 0;         // computed by RecalculateAndPrepareToPaint
    std::int32_t m_FirstWeekDayInActualMonth = 0; // 0 = Monday .. 6 = Sunday
    std::int32_t m_DaysInActualMonth = 0;
    std::int32_t m_TodaysDayOffset = 0;
    std::int16_t m_ShowTimeAxis = 0; // Boolean, 0 / -1
    // Schedule whose periods the month view draws; not owned, may be empty.
    // Its owner keeps it alive while it is associated.
    cTimeSchedule* m_AssociatedTimeSchedule = nullptr;

    // --- day types and the file -------------------------------------------
    void notused_CalcIfDayTypeIsUsed() {}
    // m_DayTypeUsed of schedule day type 0..22 (nothing sets the flags).
    Result<bool> IsDayTypeUsed(std::int16_t DayType) const;
    // False when no file of that name exists (calendar unchanged). A file
    // shorter than 29220 bytes reads its missing days as 0. On any error the
    // calendar is unchanged.
    Result<bool> ReadFromDisk(const std::string& CalendarName);
    // Writes the 14610 day types from offset 0. Bytes of an existing longer
    // file past offset 29220 are kept. The file is saved where it lives: a
    // link is followed to its target, which keeps its permission bits, owner
    // and group (as far as the saving user may set them); a missing file is
    // made with read and write for all less the umask. The new content goes
    // to a uniquely named temporary beside the target and is renamed over
    // it, so a failed save leaves the old file whole; another hard link to
    // the file keeps the old content. An existing file the user may not
    // write is refused.
    Result<bool> SaveToDisk(const std::string& CalendarName) const;
    // True when the file holds exactly the calendar's day types (missing days
    // of a short file count as 0); false for a missing file.
    Result<bool> CompareToDisk(const std::string& CalendarName) const;
    // True when the other calendar holds the same day type on every day; an
    // empty reference is an InvalidArgument error.
    Result<bool> CompareToOtherCalendar(const cCalendar* OtherCalendar) const;
    Status SetDayType(std::int32_t TheDay, std::int16_t DayType);
    Result<std::int16_t> GetDayType(std::int32_t TheDay) const;

    // --- month view ----------------------------------------------------------
    Status MouseDown(HostContainer& m_ParentContainer, DrawingSurface& m_CalendarPaintObject, std::int16_t Button,
                     std::int16_t Shift, float X, float Y);
    void MouseUp(std::int16_t Button, std::int16_t Shift, float X, float Y);
    // Both arguments are accepted and not used.
    void RecalculateAndPrepareToPaint(HostContainer* m_ParentObject, DrawingSurface* CalendarPaintObject);
    // Errors of single steps are ignored; the operation goes on with the next.
    void MouseMove(HostContainer& m_ParentContainer, DrawingSurface& m_CalendarPaintObject, std::int16_t Button,
                   std::int16_t Shift, float X, float Y);
    Status PaintDateBox(HostContainer& m_ParentContainer, DrawingSurface& m_CalendarPaintObject,
                        std::int32_t DateToPaintInActualMonth);
    Status Paint(HostContainer& m_ParentContainer, DrawingSurface& m_CalendarPaintObject);

    // --- wiring (not part of the suite's interface) ----------------------------
    void UseViewTables(const CalendarViewTables& tables) { m_Tables = tables; }
    const CalendarViewTables& ViewTables() const { return m_Tables; }
    // Fixes today's date (a day index) instead of the system date; empty
    // returns to the system date.
    void SetTodayOverride(std::optional<std::int32_t> dayIndex) { m_TodayOverride = dayIndex; }
    // Locale of the month heading: "" is the user's locale.
    void SetHeadingLocale(std::string localeName) { m_HeadingLocale = std::move(localeName); }
    const std::string& HeadingLocale() const { return m_HeadingLocale; }

    // Mouse state, readable for hosts and tests.
    std::int16_t MouseButton() const { return m_MouseButton; }
    std::int16_t PaintDayType() const { return m_PaintDayType; }
    std::int32_t LastHoveredDate() const { return m_LastHoveredDate; }

    // Position i of the shown month under (X, Y), or -1 for no date.
    std::int16_t DateFromPoint(float X, float Y) const;

private:
    // A day type's periods as a time bar shows them, relative to the bar's
    // left edge.
    struct DayTypeBar {
        std::vector<BarRun> runs;
    };
    // The bars of one paint of the month, built once for each day type shown
    // (the schedule does not change while the month is painted).
    class TimeBarCache {
    public:
        const DayTypeBar* Find(std::int16_t dayType) const;
        const DayTypeBar& Keep(std::int16_t dayType, DayTypeBar bar);

    private:
        std::array<std::optional<DayTypeBar>, ScheduleDayTypes> m_bars;
    };

    Result<ByteBuffer> ReadPadded(const std::string& CalendarName) const;
    AnsiText SuiteText(std::int32_t number) const;
    Status PaintDateBox(HostContainer& m_ParentContainer, DrawingSurface& m_CalendarPaintObject,
                        std::int32_t DateToPaintInActualMonth, TimeBarCache* bars);
    // `cache` may be empty: the bar is then gathered for this box alone.
    Status PaintTimeBar(DrawingSurface& s, std::int16_t storedDayType, std::int32_t row, std::int32_t column,
                        TimeBarCache* cache) const;

    FileSystem* m_FileSystem;
    std::array<std::int16_t, CalendarDays> m_DayTypes;
    std::array<std::int16_t, ScheduleDayTypes> m_DayTypeUsed;
    std::int16_t m_MouseButton = 0;
    std::int16_t m_PaintDayType = -1;
    std::int32_t m_LastHoveredDate = 0;

    CalendarViewTables m_Tables;
    std::optional<std::int32_t> m_TodayOverride;
    std::string m_HeadingLocale;
};

} // namespace vel
