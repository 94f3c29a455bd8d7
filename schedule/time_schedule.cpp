#include "schedule/time_schedule.h"

#include "schedule/period_merge.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace vel {

namespace {

constexpr std::int32_t LastDayType = static_cast<std::int32_t>(DayTypeCount) - 1;

Status CheckDayType(std::int32_t dayType)
{
    if (dayType < 0 || dayType > LastDayType) return IndexOutOfRange("day types", dayType, 0, LastDayType);
    return Status::Ok();
}

std::size_t Index(std::int32_t dayType)
{
    return static_cast<std::size_t>(dayType);
}

// New periods with the values of `from`, in its order.
PeriodList CopiesOf(const PeriodList& from)
{
    PeriodList copies;
    copies.reserve(from.size());
    for (const auto& p : from) copies.push_back(std::make_unique<cTimeSchedulePeriod>(*p));
    return copies;
}

// New periods with these minutes.
PeriodList NewPeriods(const PeriodMinutes& minutes)
{
    PeriodList periods;
    periods.reserve(minutes.starts.size());
    for (std::size_t i = 0; i < minutes.starts.size(); ++i) {
        auto period = std::make_unique<cTimeSchedulePeriod>();
        period->m_StartMinute = minutes.starts[i];
        period->m_StopMinute = minutes.stops[i];
        periods.push_back(std::move(period));
    }
    return periods;
}

const std::shared_ptr<const DayTypeNameTable>& EmptyNames()
{
    static const std::shared_ptr<const DayTypeNameTable> empty = std::make_shared<const DayTypeNameTable>();
    return empty;
}

} // namespace

// A merge planned for a group copy, with the minutes it was planned from.
struct cTimeSchedule::PlannedMerge {
    PeriodMinutes minutes;
    MergePlan plan;
};

cTimeSchedule::cTimeSchedule(std::shared_ptr<const DayTypeNameTable> names)
{
    UseNames(std::move(names));
}

cTimeSchedule::~cTimeSchedule() = default;
cTimeSchedule::cTimeSchedule(cTimeSchedule&&) noexcept = default;
cTimeSchedule& cTimeSchedule::operator=(cTimeSchedule&&) noexcept = default;

void cTimeSchedule::UseNames(std::shared_ptr<const DayTypeNameTable> names)
{
    // Not `names ? std::move(names) : EmptyNames()`: with the one operand a
    // const reference the conditional copies, and the move is lost.
    if (names)
        m_Names = std::move(names);
    else
        m_Names = EmptyNames();
}

// --- period lists -------------------------------------------------------------

void cTimeSchedule::RemoveFirstPeriods(std::size_t DayType, std::size_t Count)
{
    PeriodList& list = m_Periods[DayType];
    const auto end = list.begin() + static_cast<std::ptrdiff_t>(std::min(Count, list.size()));
    for (auto it = list.begin(); it != end; ++it) {
        if (m_SelectedPeriod == it->get()) m_SelectedPeriod = nullptr;
        if (m_DraggedPeriod == it->get()) m_DraggedPeriod = nullptr;
    }
    list.erase(list.begin(), end);
    ListsChanged();
}

void cTimeSchedule::RemoveAllPeriods(std::size_t DayType)
{
    PeriodList& list = m_Periods[DayType];
    for (const auto& p : list) {
        if (m_SelectedPeriod == p.get()) m_SelectedPeriod = nullptr;
        if (m_DraggedPeriod == p.get()) m_DraggedPeriod = nullptr;
    }
    list.clear();
    ListsChanged();
}

void cTimeSchedule::ReplaceWithCopies(std::size_t to, std::size_t from)
{
    if (to == from) return;
    PeriodList copies = CopiesOf(m_Periods[from]);
    RemoveAllPeriods(to);
    m_Periods[to] = std::move(copies);
    ListsChanged();
}

bool cTimeSchedule::Holds(std::size_t DayType, const cTimeSchedulePeriod* Period) const
{
    if (Period == nullptr) return false;
    return std::any_of(m_Periods[DayType].begin(), m_Periods[DayType].end(),
                       [Period](const auto& p) { return p.get() == Period; });
}

Result<std::span<const std::unique_ptr<cTimeSchedulePeriod>>> cTimeSchedule::Periods(std::int32_t DayType) const
{
    VEL_TRY(CheckDayType(DayType));
    const PeriodList& list = m_Periods[Index(DayType)];
    return std::span<const std::unique_ptr<cTimeSchedulePeriod>>(list.data(), list.size());
}

Result<cTimeSchedulePeriod*> cTimeSchedule::AppendPeriod(std::int32_t DayType, std::int16_t StartMinute,
                                                         std::int16_t StopMinute)
{
    VEL_TRY(CheckDayType(DayType));
    auto period = std::make_unique<cTimeSchedulePeriod>();
    period->m_StartMinute = StartMinute;
    period->m_StopMinute = StopMinute;
    cTimeSchedulePeriod* raw = period.get();
    m_Periods[Index(DayType)].push_back(std::move(period));
    ListsChanged();
    return raw;
}

Status cTimeSchedule::ClearPeriods(std::int32_t DayType)
{
    VEL_TRY(CheckDayType(DayType));
    RemoveAllPeriods(Index(DayType));
    return Status::Ok();
}

std::size_t cTimeSchedule::TotalPeriods() const
{
    std::size_t n = 0;
    for (const auto& list : m_Periods) n += list.size();
    return n;
}

Status cTimeSchedule::Select(std::int32_t DayType, const cTimeSchedulePeriod* Period)
{
    if (DayType != -1) VEL_TRY(CheckDayType(DayType));
    if (Period != nullptr && (DayType < 0 || !Holds(Index(DayType), Period)))
        return MakeError(ErrorCode::InvalidArgument,
                         "the period to select is not in the list of day type " + std::to_string(DayType));
    m_SelectedDayType = DayType;
    // The period is one of our own list entries; the list owns it mutably.
    m_SelectedPeriod = const_cast<cTimeSchedulePeriod*>(Period);
    return Status::Ok();
}

// --- queries ------------------------------------------------------------------

Result<const cTimeSchedulePeriod*> cTimeSchedule::GetNextTimePeriod(std::int16_t DayType, std::int16_t& StartTime,
                                                                    std::int16_t& StopTime,
                                                                    const cTimeSchedulePeriod* LastTimePeriod) const
{
    if (DayType < 0 || DayType > LastDayType) return CheckDayType(DayType).error();
    const std::size_t d = Index(DayType);
    const cTimeSchedulePeriod* none = nullptr;
    if (m_DayTypeActive[d] == 0) return none;

    const PeriodList& list = m_Periods[d];
    std::size_t position = 0;
    if (LastTimePeriod == nullptr) {
        if (list.empty()) return none;
    } else {
        // A walk asks for the period after the one it was given last.
        std::size_t last = m_LastWalkAnswer[d];
        if (last >= list.size() || list[last].get() != LastTimePeriod) {
            const std::optional<std::size_t> found = PositionByAddress(d, LastTimePeriod);
            if (!found) return none;
            last = *found;
        }
        if (last + 1 >= list.size()) return none;
        position = last + 1;
    }
    const cTimeSchedulePeriod* next = list[position].get();
    m_LastWalkAnswer[d] = position;
    StartTime = next->m_StartMinute;
    StopTime = next->m_StopMinute;
    return next;
}

std::optional<std::size_t> cTimeSchedule::PositionByAddress(std::size_t DayType,
                                                            const cTimeSchedulePeriod* Period) const
{
    const PeriodList& list = m_Periods[DayType];
    if (!m_AddressOrders) m_AddressOrders = std::make_unique<std::array<AddressOrder, DayTypeCount>>();
    AddressOrder& order = (*m_AddressOrders)[DayType];
    const std::less<const cTimeSchedulePeriod*> before;
    if (!order.built || order.builtAfterEdit != m_ListEdits) {
        order.byAddress.clear();
        order.byAddress.reserve(list.size());
        for (std::size_t i = 0; i < list.size(); ++i) order.byAddress.emplace_back(list[i].get(), i);
        std::sort(order.byAddress.begin(), order.byAddress.end(),
                  [before](const auto& a, const auto& b) { return before(a.first, b.first); });
        order.built = true;
        order.builtAfterEdit = m_ListEdits;
    }
    const auto it = std::lower_bound(order.byAddress.begin(), order.byAddress.end(), Period,
                                     [before](const auto& entry, const cTimeSchedulePeriod* p) {
                                         return before(entry.first, p);
                                     });
    if (it == order.byAddress.end() || it->first != Period) return std::nullopt;
    return it->second;
}

Result<std::int16_t> cTimeSchedule::GetActive(std::int16_t DayType) const
{
    VEL_TRY(CheckDayType(DayType));
    return m_DayTypeActive[Index(DayType)];
}

Result<std::int16_t> cTimeSchedule::SetActive(std::int16_t DayType, std::int16_t State)
{
    VEL_TRY(CheckDayType(DayType));
    m_DayTypeActive[Index(DayType)] = State != 0 ? std::int16_t{-1} : std::int16_t{0};
    return std::int16_t{0};
}

// --- editing operations -----------------------------------------------------------

void cTimeSchedule::Copy()
{
    m_CopiedDayType = m_SelectedDayType;
}

void cTimeSchedule::SetDefaultPeriod()
{
    for (std::size_t d = 0; d <= 4; ++d) {
        m_DayTypeActive[d] = -1;
        m_DayTypeGrouped[d] = -1;
        auto period = std::make_unique<cTimeSchedulePeriod>();
        period->m_StartMinute = 420;
        period->m_StopMinute = 960;
        m_Periods[d].push_back(std::move(period));
    }
    ListsChanged();
}

Status cTimeSchedule::Delete(HostContainer& m_ParentContainer, DrawingSurface* m_SchedulePaintObject)
{
    if (m_SelectedDayType < 0) return Status::Ok();
    VEL_TRY(CheckDayType(m_SelectedDayType));
    const std::size_t d = Index(m_SelectedDayType);
    // The periods leave from the front; when the selected one is reached, the
    // selection is dropped and the host's texts are blanked before it goes.
    const PeriodList& list = m_Periods[d];
    const auto selected = std::find_if(list.begin(), list.end(),
                                       [this](const auto& p) { return p.get() == m_SelectedPeriod; });
    if (selected != list.end()) {
        RemoveFirstPeriods(d, static_cast<std::size_t>(selected - list.begin()));
        m_SelectedPeriod = nullptr;
        HostValue empty1{std::string()};
        VEL_TRY(m_ParentContainer.Call("Set_Text_Schedule_Period_Start", std::span<HostValue>(&empty1, 1)));
        HostValue empty2{std::string()};
        VEL_TRY(m_ParentContainer.Call("Set_Text_Schedule_Period_Stop", std::span<HostValue>(&empty2, 1)));
    }
    RemoveAllPeriods(d);
    m_DayTypeGrouped[d] = 0;
    VEL_TRY(MergeOverlappingPeriods(m_SelectedDayType));
    const std::int32_t painted = m_SelectedDayType;
    m_SelectedDayType = -1;
    return PaintDayTypeAxis(m_ParentContainer, m_SchedulePaintObject, painted);
}

Status cTimeSchedule::SetTimeFrom00to24(HostContainer& m_ParentContainer, DrawingSurface* m_SchedulePaintObject)
{
    if (m_SelectedDayType < 0) return Status::Ok();
    VEL_TRY(CheckDayType(m_SelectedDayType));
    const std::size_t d = Index(m_SelectedDayType);
    RemoveAllPeriods(d);
    m_DayTypeGrouped[d] = 0;
    VEL_TRY(MergeOverlappingPeriods(m_SelectedDayType));
    VEL_TRY(AppendPeriod(m_SelectedDayType, 0, 1440));
    const std::int32_t painted = m_SelectedDayType;
    m_SelectedDayType = -1;
    return PaintDayTypeAxis(m_ParentContainer, m_SchedulePaintObject, painted);
}

Status cTimeSchedule::Group(HostContainer& m_ParentContainer, DrawingSurface* m_SchedulePaintObject)
{
    VEL_TRY(CheckDayType(m_SelectedDayType));
    const std::size_t d = Index(m_SelectedDayType);
    m_DayTypeGrouped[d] = static_cast<std::int16_t>(~m_DayTypeGrouped[d]);
    if (m_DayTypeGrouped[d] != 0) {
        for (std::size_t other = 0; other < DayTypeCount; ++other) {
            if (other == d || m_DayTypeGrouped[other] == 0) continue;
            ReplaceWithCopies(d, other);
            VEL_TRY(MergeOverlappingPeriods(m_SelectedDayType));
            break;
        }
    }
    return PaintDayTypeAxis(m_ParentContainer, m_SchedulePaintObject, m_SelectedDayType);
}

Status cTimeSchedule::GroupMonFri(HostContainer& m_ParentContainer, DrawingSurface* m_SchedulePaintObject)
{
    for (std::int32_t d = 0; d <= LastDayType; ++d) {
        auto checked = m_ParentContainer.Call("Get_Menu_TimeSchedulePopup_Grouped_MonFri_Checked");
        VEL_TRY(checked);
        auto flag = HostValueToInt(*checked);
        VEL_TRY(flag);
        m_DayTypeGrouped[Index(d)] = (*flag == 0 && d <= 4) ? std::int16_t{-1} : std::int16_t{0};
        if (d <= 4) VEL_TRY(PaintDayTypeAxis(m_ParentContainer, m_SchedulePaintObject, d));
    }
    VEL_TRY(CopyPeriodsToGroup(m_ParentContainer, m_SchedulePaintObject, 0));
    return Paint(m_ParentContainer, m_SchedulePaintObject);
}

Status cTimeSchedule::Paste(HostContainer& m_ParentContainer, DrawingSurface* m_SchedulePaintObject)
{
    if (m_SelectedDayType < 0 || m_SelectedDayType == m_CopiedDayType) return Status::Ok();
    // Nothing copied: the selected day type stays as it was.
    if (m_CopiedDayType < 0) return Status::Ok();
    VEL_TRY(CheckDayType(m_SelectedDayType));
    VEL_TRY(CheckDayType(m_CopiedDayType));
    const std::size_t to = Index(m_SelectedDayType);
    const std::size_t from = Index(m_CopiedDayType);
    ReplaceWithCopies(to, from);
    m_DayTypeGrouped[to] = m_DayTypeGrouped[from];
    VEL_TRY(MergeOverlappingPeriods(m_SelectedDayType));
    return PaintDayTypeAxis(m_ParentContainer, m_SchedulePaintObject, m_SelectedDayType);
}

Status cTimeSchedule::MergeOverlappingPeriods(std::int32_t DayType)
{
    if (DayType == -1) return Status::Ok();
    VEL_TRY(CheckDayType(DayType));
    PeriodList& list = m_Periods[Index(DayType)];
    // A group copy that planned the merge of these very minutes (a release
    // and the period texts copy to the group, then merge) leaves its plan.
    std::unique_ptr<PlannedMerge> planned = std::move(m_PlannedMerge);
    if (list.size() < 2) return Status::Ok();
    PeriodMinutes minutes = PeriodMinutes::Of(list);
    const MergePlan plan = planned && planned->minutes == minutes ? std::move(planned->plan) : PlanMerge(minutes);
    if (ApplyMerge(plan, list, m_SelectedPeriod, m_DraggedPeriod)) ListsChanged();
    return Status::Ok();
}

Status cTimeSchedule::CopyPeriodsToGroup(HostContainer& m_ParentContainer, DrawingSurface* m_SchedulePaintObject,
                                         std::int32_t DayType)
{
    VEL_TRY(CheckDayType(DayType));
    const std::size_t d = Index(DayType);
    if (m_DayTypeGrouped[d] == 0) return Status::Ok();
    // Every other grouped day type receives copies of the same list and
    // merges them the same way (none of them can hold the selected or the
    // dragged period): plan that merge once from the minutes and give each
    // new periods with the merged minutes.
    PeriodMinutes merged;
    bool mergedReady = false;
    for (std::int32_t c = 0; c <= LastDayType; ++c) {
        if (Index(c) == d || m_DayTypeGrouped[Index(c)] == 0) continue;
        if (!mergedReady) {
            auto planned = std::make_unique<PlannedMerge>();
            planned->minutes = PeriodMinutes::Of(m_Periods[d]);
            planned->plan = PlanMerge(planned->minutes);
            merged = MergedMinutes(planned->minutes, planned->plan);
            m_PlannedMerge = std::move(planned);
            mergedReady = true;
        }
        RemoveAllPeriods(Index(c));
        m_Periods[Index(c)] = NewPeriods(merged);
        ListsChanged();
        VEL_TRY(PaintDayTypeAxis(m_ParentContainer, m_SchedulePaintObject, c));
    }
    return Status::Ok();
}

// --- persistence ------------------------------------------------------------------

Status cTimeSchedule::SaveToDisk(ByteWriter& file) const
{
    for (std::size_t d = 0; d < DayTypeCount; ++d) {
        if (m_Periods[d].size() > MaxPeriodsPerDayType)
            return MakeError(ErrorCode::TooLong,
                             (file.target().empty() ? std::string("time schedule") : file.target()) + ": day type " +
                                 std::to_string(d) + " holds " + std::to_string(m_Periods[d].size()) +
                                 " periods, more than the 32767 a day type can hold in a file; nothing was written");
    }
    for (std::size_t d = 0; d < DayTypeCount; ++d) {
        file.WriteI16(m_DayTypeActive[d]);
        file.WriteI16(m_DayTypeGrouped[d]);
        file.WriteI16(static_cast<std::int16_t>(m_Periods[d].size()));
        for (const auto& p : m_Periods[d]) {
            file.WriteI16(p->m_StartMinute);
            file.WriteI16(p->m_StopMinute);
        }
        file.WriteI16(m_DayTypeAxis[d]);
    }
    file.WriteI16(m_UseCalendar);
    return Status::Ok();
}

Status cTimeSchedule::ReadFromDisk(ByteReader& file)
{
    ListsChanged();
    Status failure;
    // Reads one value of day type d (DayTypeCount: m_UseCalendar); once the
    // data has ended every value reads as 0.
    auto next = [&](std::size_t d) -> std::int16_t {
        if (!failure.ok()) return 0;
        auto v = file.ReadI16();
        if (v) return *v;
        const std::string where = d < DayTypeCount ? "day type " + std::to_string(d) : std::string("its calendar flag");
        failure = file.ErrorHere(ErrorCode::Truncated, "the file ends inside the time schedule (" + where + ")");
        return 0;
    };

    for (std::size_t d = 0; d < DayTypeCount; ++d) {
        m_DayTypeActive[d] = next(d);
        m_DayTypeGrouped[d] = next(d);
        RemoveAllPeriods(d);
        const std::int16_t n = next(d);
        if (n > 0 && failure.ok() && file.remaining() >= 4 * static_cast<std::size_t>(n) + 2) {
            // The whole day type is there: no value can run short.
            PeriodList& list = m_Periods[d];
            list.reserve(static_cast<std::size_t>(n));
            for (std::int16_t i = 0; i < n; ++i) {
                auto period = std::make_unique<cTimeSchedulePeriod>();
                period->m_StartMinute = *file.ReadI16();
                period->m_StopMinute = *file.ReadI16();
                list.push_back(std::move(period));
            }
            m_DayTypeAxis[d] = *file.ReadI16();
            continue;
        }
        if (n > 0) {
            PeriodList& list = m_Periods[d];
            list.reserve(std::min<std::size_t>(static_cast<std::size_t>(n), file.remaining() / 4));
            for (std::int16_t i = 0; i < n && failure.ok(); ++i) {
                if (file.remaining() < 4) {
                    // The period is not wholly there: leave it out, and
                    // consume what is left of it so the error names the end.
                    (void)next(d);
                    (void)next(d);
                    break;
                }
                auto period = std::make_unique<cTimeSchedulePeriod>();
                period->m_StartMinute = next(d);
                period->m_StopMinute = next(d);
                list.push_back(std::move(period));
            }
        }
        m_DayTypeAxis[d] = next(d);
    }
    m_UseCalendar = next(DayTypeCount);
    return failure;
}

} // namespace vel
