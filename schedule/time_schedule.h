#pragma once

// The weekly time schedule of a route profile. For each of 23 day types
// (0..6 Monday to Sunday, 7..22 the special day types a calendar assigns to a
// date) it keeps an active flag, a group flag, an ordered list of periods and
// the day type's axis number in the editor view, plus m_UseCalendar.
//
// The same class is the schedule editor view: a host window passes its host
// container (named members called at run time) and its drawing surface on
// every call of the view operations (Paint, MouseDown, ...).
//
// Flags are 16-bit values: 0 false, -1 true, any non-zero value counts as true
// and is kept as it was given (only SetActive normalises).
//
// Ownership of periods. Each day type owns its periods through a list of
// std::unique_ptr, so a period keeps its address (its identity) for as long
// as it is in its list: GetNextTimePeriod walks by identity, and the
// selection (m_SelectedPeriod) and the drag (m_DraggedPeriod) refer to list
// entries by address. Every removal of a period, by any operation (editing,
// merging, group copies, reading a file or a period array), goes through a
// few private functions that drop m_SelectedPeriod and m_DraggedPeriod when
// they refer to the period being removed (merging hands the selection over
// to the period that takes the selected one in). So neither reference can
// ever reach a removed period; when an operation removes the selected period,
// the selection is dropped.
//
// Errors: day types outside 0..22 are refused with ErrorCode::IndexOutOfRange
// before anything changes; failures of the host container (a member it
// lacks) are passed on to the caller. Nothing throws.

#include "views/day_type_names.h"
#include "views/drawing_surface.h"
#include "views/host_container.h"
#include "base/bytes.h"
#include "base/result.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

namespace vel {

class cCalendar;
class cTimeScheduleTestAccess;

// Largest number of periods one day type can hold in a file (its count is a
// 16-bit signed field).
constexpr std::size_t MaxPeriodsPerDayType = 32767;

// A schedule with P periods in all takes 186 + 4 * P bytes in a file and as
// many characters as a period array.
constexpr std::size_t ScheduleFixedBytes = 186;

class cTimeSchedulePeriod {
public:
    std::int16_t m_StartMinute = 0;
    std::int16_t m_StopMinute = 0;
};

using PeriodList = std::vector<std::unique_ptr<cTimeSchedulePeriod>>;

// What a left press of the editor started (m_DragMode), by the values the
// suite stores.
enum class DragMode : std::int16_t {
    None = 0,      // no drag
    StartEdge = 1, // a period's start edge grabbed
    StopEdge = 2,  // a period's stop edge grabbed
    NewPeriod = 3, // drawing a new period from the anchor
};

class cTimeSchedule {
public:
    // The views read the day-type names from `names`; an empty pointer reads
    // as a table of empty names.
    explicit cTimeSchedule(std::shared_ptr<const DayTypeNameTable> names = nullptr);

    ~cTimeSchedule();
    cTimeSchedule(const cTimeSchedule&) = delete;
    cTimeSchedule& operator=(const cTimeSchedule&) = delete;
    cTimeSchedule(cTimeSchedule&&) noexcept;
    cTimeSchedule& operator=(cTimeSchedule&&) noexcept;

    // --- members -----------------------------------------------------------
    // Number of day-type axes the editor view paints (computed by
    // RecalculateAndPrepareToPaint; not stored in files).
    std::int16_t m_NumberOfAxisToPaint = 0;
    // Flag: the schedule works with the calendar day types 7..22.
    std::int16_t m_UseCalendar = 0;
    // Flags per day type; true for 0..6 and false for 7..22 in a new schedule.
    std::array<std::int16_t, DayTypeCount> m_DayTypeActive{-1, -1, -1, -1, -1, -1, -1};
    std::array<std::int16_t, DayTypeCount> m_DayTypeGrouped{};
    // Axis number of each day type in the editor view: the number of active
    // day types with a lower index (RecalculateAndPrepareToPaint). Stored.
    std::array<std::int16_t, DayTypeCount> m_DayTypeAxis{};

    // --- queries used by the calendar month view ----------------------------
    // Walks the periods of DayType: first call with no LastTimePeriod, then
    // with the period returned last, until none (nullptr) comes back. Periods
    // are matched by identity. An inactive day type gives none and leaves
    // StartTime and StopTime untouched. Each step of a walk takes constant
    // time (the position of the last answer is kept); a question about any
    // other period is answered from the list ordered by address, built once
    // after each change of the lists.
    Result<const cTimeSchedulePeriod*> GetNextTimePeriod(std::int16_t DayType, std::int16_t& StartTime,
                                                         std::int16_t& StopTime,
                                                         const cTimeSchedulePeriod* LastTimePeriod) const;
    // The stored active flag of DayType.
    Result<std::int16_t> GetActive(std::int16_t DayType) const;
    // Active flag of DayType becomes -1 when State is non-zero, else 0.
    // Always returns 0. Nothing is recounted or repainted.
    Result<std::int16_t> SetActive(std::int16_t DayType, std::int16_t State);

    void notused_ActivateUsedPeriods(const cCalendar* /*ActualCalender*/) {}

    // --- editing operations (on the day type selected in the editor) ----------
    // Records the selected day type (also -1) for Paste.
    void Copy();
    // Monday to Friday become active and grouped and each get a period
    // 07:00-16:00 appended.
    void SetDefaultPeriod();
    Status Delete(HostContainer& m_ParentContainer, DrawingSurface* m_SchedulePaintObject);
    Status SetTimeFrom00to24(HostContainer& m_ParentContainer, DrawingSurface* m_SchedulePaintObject);
    Status Group(HostContainer& m_ParentContainer, DrawingSurface* m_SchedulePaintObject);
    Status GroupMonFri(HostContainer& m_ParentContainer, DrawingSurface* m_SchedulePaintObject);
    // Does nothing when nothing has been copied, or when the copied day type
    // is the selected one.
    Status Paste(HostContainer& m_ParentContainer, DrawingSurface* m_SchedulePaintObject);

    // --- persistence ---------------------------------------------------------
    // Appends the schedule to `file` (little-endian 16-bit values). Refuses,
    // writing nothing, a day type with more than 32767 periods (TooLong).
    Status SaveToDisk(ByteWriter& file) const;
    // Reads a schedule from the reader's current position into this schedule,
    // replacing flags, periods, axis numbers and m_UseCalendar. When the data
    // ends inside the schedule, every missing value reads as 0 (a period that
    // is not wholly there is left out), the schedule stays consistent, and the
    // result is a Truncated error naming the source and byte offset.
    Status ReadFromDisk(ByteReader& file);
    // The schedule as text, two characters per value, high byte first. A day
    // type with more than 32767 periods (which SaveToDisk refuses) has its
    // count wrapped to 16 bits here, as the text form always did; such a text
    // does not read back: check with MaxPeriodsPerDayType first.
    AnsiText ComposePeriodArray() const;
    // Sets the schedule from a period array. A text that ends too early is an
    // InvalidArgument error; the day types before the failing value keep what
    // was extracted, the one being extracted is left emptied or partly filled.
    Status ExtractPeriodArray(std::string_view PeriodArray);

    // --- the editor view -----------------------------------------------------
    // Sizes the host's surface and scroll bar and numbers the axes. When the
    // host's surface variable m_SchedulePaintObject is empty, it is set to
    // SchedulePaintObject.
    Status RecalculateAndPrepareToPaint(HostContainer& m_ParentContainer, DrawingSurface*& m_SchedulePaintObject,
                                        DrawingSurface* SchedulePaintObject);
    // Draws the whole view (does not clear the surface first). An empty
    // surface draws nothing.
    Status Paint(HostContainer& m_ParentContainer, DrawingSurface* m_SchedulePaintObject);
    // LeftButton selects, grabs an edge or starts a new period; RightButton
    // prepares the host's popup menu.
    Status MouseDown(HostContainer& m_ParentContainer, DrawingSurface* m_SchedulePaintObject, std::int16_t Button,
                     std::int16_t Shift, float X, float Y);
    Status MouseMove(HostContainer& m_ParentContainer, DrawingSurface* m_SchedulePaintObject, std::int16_t Button,
                     std::int16_t Shift, float X, float Y);
    Status MouseUp(HostContainer& m_ParentContainer, DrawingSurface* m_SchedulePaintObject, std::int16_t Button,
                   std::int16_t Shift, float X, float Y);
    // Applies the host's two period texts to the selected period. Does
    // nothing unless a period of the selected day type is selected.
    Status ExtractTimeFromTextboxes(HostContainer& m_ParentContainer, DrawingSurface* m_SchedulePaintObject);

    // --- period lists ------------------------------------------------------
    Result<std::span<const std::unique_ptr<cTimeSchedulePeriod>>> Periods(std::int32_t DayType) const;
    // Appends a new period to the list of DayType and returns it.
    Result<cTimeSchedulePeriod*> AppendPeriod(std::int32_t DayType, std::int16_t StartMinute, std::int16_t StopMinute);
    // Removes every period of DayType.
    Status ClearPeriods(std::int32_t DayType);
    std::size_t TotalPeriods() const;

    // --- selection and view state (read only) ---------------------------------
    const cTimeSchedulePeriod* SelectedPeriod() const { return m_SelectedPeriod; }
    std::int32_t SelectedDayType() const { return m_SelectedDayType; }
    // Selects a day type (-1 for none) and a period of it (nullptr for none),
    // as a press of the editor would. A period that is not in the list of
    // DayType is refused (InvalidArgument).
    Status Select(std::int32_t DayType, const cTimeSchedulePeriod* Period);
    std::int32_t CopiedDayType() const { return m_CopiedDayType; }
    const cTimeSchedulePeriod* DraggedPeriod() const { return m_DraggedPeriod; }
    std::int32_t DraggedDayType() const { return m_DraggedDayType; }
    std::int32_t DragAnchorMinute() const { return m_DragAnchorMinute; }
    vel::DragMode DragMode() const { return m_DragMode; }
    float Scale() const { return m_Scale; }
    std::int32_t EditStartMinute() const { return m_EditStartMinute; }
    std::int32_t EditStopMinute() const { return m_EditStopMinute; }
    std::int16_t MouseButton() const { return m_MouseButton; }
    float MouseX() const { return m_MouseX; }
    float MouseY() const { return m_MouseY; }
    const DayTypeNameTable& Names() const { return *m_Names; }
    // The views read the day-type names from `names` from now on; an empty
    // pointer reads as a table of empty names.
    void UseNames(std::shared_ptr<const DayTypeNameTable> names);

private:
    friend class cTimeScheduleTestAccess;

    // Where periods leave a list (besides merging, which hands a selection
    // over to the period that takes the selected one in).
    void RemoveAllPeriods(std::size_t DayType);
    // Removes the first Count periods of the list at once.
    void RemoveFirstPeriods(std::size_t DayType, std::size_t Count);
    // Every change to which periods a list holds, or to their order, calls
    // this: the address orders of GetNextTimePeriod are then built anew.
    void ListsChanged() { ++m_ListEdits; }
    // The list position of Period in the list of DayType, if it is there,
    // from the list ordered by address.
    std::optional<std::size_t> PositionByAddress(std::size_t DayType, const cTimeSchedulePeriod* Period) const;
    // Replaces the periods of `to` by new copies of those of `from`.
    void ReplaceWithCopies(std::size_t to, std::size_t from);
    bool Holds(std::size_t DayType, const cTimeSchedulePeriod* Period) const;

    Status MergeOverlappingPeriods(std::int32_t DayType);
    Status CopyPeriodsToGroup(HostContainer& m_ParentContainer, DrawingSurface* m_SchedulePaintObject,
                              std::int32_t DayType);
    Status PaintDayTypeAxis(HostContainer& m_ParentContainer, DrawingSurface* m_SchedulePaintObject,
                            std::int32_t DayType);
    // Minute under the point (>= 0) and its axis number, or -3 outside the
    // axes vertically, -2 left of 00:00, -1 right of 24:00.
    Result<std::int32_t> PointToMinute(HostContainer& m_ParentContainer, float X, float Y, std::int32_t& Axis) const;
    // The active day type drawn on axis number Axis, or -1.
    std::int32_t DayTypeOnAxis(std::int32_t Axis) const;
    // The parts of a left press on day type DayType at Minute: the period
    // under it selected (with its minutes for the period texts), a drag
    // started, the period texts shown.
    void SelectPeriodAt(std::int32_t DayType, std::int32_t Minute);
    void StartDrag(DrawingSurface* m_SchedulePaintObject, std::int32_t DayType, std::int32_t Minute);
    Status ShowSelectedPeriodTexts(HostContainer& m_ParentContainer);
    // A right press on day type DayType: the popup menu's checks and enabled items.
    Status PreparePopupMenu(HostContainer& m_ParentContainer, std::int32_t DayType);
    void ClearDragState();

    std::shared_ptr<const DayTypeNameTable> m_Names;
    std::array<PeriodList, DayTypeCount> m_Periods;

    // What GetNextTimePeriod answers from, per day type: the position of the
    // period it returned last (a walk asks for the period after it next), and
    // the list's periods ordered by address with their positions, built on
    // the first other question after a change of the lists.
    struct AddressOrder {
        bool built = false;
        std::uint64_t builtAfterEdit = 0;
        std::vector<std::pair<const cTimeSchedulePeriod*, std::size_t>> byAddress;
    };
    mutable std::array<std::size_t, DayTypeCount> m_LastWalkAnswer{};
    mutable std::unique_ptr<std::array<AddressOrder, DayTypeCount>> m_AddressOrders;
    std::uint64_t m_ListEdits = 0;
    // The merge a group copy planned for the list it copied, kept for the
    // merge of that list that follows (used when the minutes still match).
    struct PlannedMerge;
    std::unique_ptr<PlannedMerge> m_PlannedMerge;

    // editor view state
    float m_Scale = 0.0F;
    std::int32_t m_EditStopMinute = 0;
    std::int32_t m_EditStartMinute = 0;
    std::int16_t m_MouseButton = 0;
    float m_MouseX = 0.0F;
    float m_MouseY = 0.0F;
    cTimeSchedulePeriod* m_SelectedPeriod = nullptr;
    std::int32_t m_SelectedDayType = -1;
    cTimeSchedulePeriod* m_DraggedPeriod = nullptr;
    std::int32_t m_DraggedDayType = 0;
    std::int32_t m_CopiedDayType = -1;
    std::int32_t m_DragAnchorMinute = 0;
    vel::DragMode m_DragMode = vel::DragMode::None;
};

} // namespace vel
