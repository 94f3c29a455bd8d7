#include "schedule/period_merge.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <numeric>
#include <vector>

namespace vel {

namespace {

constexpr std::uint32_t NoPosition = UINT32_MAX;

// The smallest list position over ranges of the start order; a period that
// has left the list holds NoPosition.
class FirstInList {
public:
    explicit FirstInList(const std::vector<std::uint32_t>& positionsByStart)
        : m_leaves(std::bit_ceil(positionsByStart.size())), m_nodes(2 * m_leaves, NoPosition)
    {
        std::copy(positionsByStart.begin(), positionsByStart.end(),
                  m_nodes.begin() + static_cast<std::ptrdiff_t>(m_leaves));
        for (std::size_t i = m_leaves - 1; i >= 1; --i) m_nodes[i] = std::min(m_nodes[2 * i], m_nodes[2 * i + 1]);
    }

    void Remove(std::size_t rank)
    {
        std::size_t i = rank + m_leaves;
        m_nodes[i] = NoPosition;
        for (i /= 2; i >= 1; i /= 2) m_nodes[i] = std::min(m_nodes[2 * i], m_nodes[2 * i + 1]);
    }

    // Over the ranks [from, to).
    std::uint32_t Min(std::size_t from, std::size_t to) const
    {
        std::uint32_t best = NoPosition;
        for (std::size_t l = from + m_leaves, r = to + m_leaves; l < r; l /= 2, r /= 2) {
            if ((l & 1) != 0) best = std::min(best, m_nodes[l++]);
            if ((r & 1) != 0) best = std::min(best, m_nodes[--r]);
        }
        return best;
    }

private:
    std::size_t m_leaves;
    std::vector<std::uint32_t> m_nodes;
};

// Starts never change while merging: the periods are ordered by start once.
// rankOf[p] is the place of position p in that order (ties in list order);
// FirstRank(v) the first place whose start is v or more.
struct StartOrder {
    std::int32_t low = 0;
    std::int32_t high = 0;
    // Counting places of each start value: firstOfValue[v - low] is the first
    // place of value v, firstOfValue[high - low + 1] = n.
    std::vector<std::uint32_t> firstOfValue;
    std::vector<std::uint32_t> byStart;
    std::vector<std::uint32_t> rankOf;

    std::size_t FirstRank(std::int32_t v) const
    {
        if (v <= low) return 0;
        if (v > high) return byStart.size();
        return firstOfValue[static_cast<std::size_t>(v - low)];
    }
};

// A counting sort: the range of start minutes is small, so this is linear.
StartOrder OrderByStart(const std::vector<std::int16_t>& startOf)
{
    const std::size_t n = startOf.size();
    StartOrder order;
    const auto [lowest, highest] = std::minmax_element(startOf.begin(), startOf.end());
    order.low = *lowest;
    order.high = *highest;
    const std::int32_t low = order.low;
    std::vector<std::uint32_t>& firstOfValue = order.firstOfValue;
    firstOfValue.assign(static_cast<std::size_t>(order.high - low) + 2, 0);
    for (const std::int16_t v : startOf) ++firstOfValue[static_cast<std::size_t>(v - low) + 1];
    for (std::size_t i = 1; i < firstOfValue.size(); ++i) firstOfValue[i] += firstOfValue[i - 1];
    order.byStart.resize(n);
    order.rankOf.resize(n);
    std::vector<std::uint32_t> next(firstOfValue.begin(), firstOfValue.end() - 1);
    for (std::uint32_t p = 0; p < n; ++p) {
        const std::uint32_t r = next[static_cast<std::size_t>(startOf[p] - low)]++;
        order.byStart[r] = p;
        order.rankOf[p] = r;
    }
    return order;
}

// The first period in list order, other than p, with a start in
// [p.start, p.stop].
std::uint32_t FirstToTakeIn(std::uint32_t p, std::int16_t start, std::int16_t stop, const StartOrder& order,
                            const FirstInList& inList)
{
    if (stop < start) return NoPosition;
    const std::size_t from = order.FirstRank(start);
    const std::size_t to = order.FirstRank(std::int32_t{stop} + 1);
    const std::size_t self = order.rankOf[p];
    return std::min(inList.Min(from, self), inList.Min(self + 1, to));
}

// The passes over the list until one merges nothing. plan.holder[q] becomes
// the period that took q in (q itself while q stays).
void RunPasses(const std::vector<std::int16_t>& startOf, const StartOrder& order, FirstInList& inList, MergePlan& plan)
{
    std::vector<std::int16_t>& stopOf = plan.stops;
    std::vector<std::uint32_t>& takenBy = plan.holder;
    // The periods a pass visits, in list order: those that may still take
    // one in.
    std::vector<std::uint32_t> visit(startOf.size());
    std::iota(visit.begin(), visit.end(), std::uint32_t{0});
    std::vector<std::uint32_t> again;
    while (!visit.empty()) {
        again.clear();
        for (const std::uint32_t p : visit) {
            if (takenBy[p] != p) continue;
            const std::uint32_t q = FirstToTakeIn(p, startOf[p], stopOf[p], order, inList);
            if (q == NoPosition) continue;
            if (stopOf[q] > stopOf[p]) stopOf[p] = stopOf[q];
            takenBy[q] = p;
            inList.Remove(order.rankOf[q]);
            plan.merged = true;
            again.push_back(p);
        }
        visit.swap(again);
    }
}

// Who holds each period in the end: follow the takers to one that stays.
// A taker is always taken in later than what it took, so each chain ends;
// shortening the chains on the way keeps this linear.
void PointToLastHolders(std::vector<std::uint32_t>& takenBy)
{
    const std::size_t n = takenBy.size();
    for (std::uint32_t p = 0; p < n; ++p) {
        std::uint32_t h = p;
        while (takenBy[h] != h) h = takenBy[h];
        for (std::uint32_t q = p; takenBy[q] != q;) {
            const std::uint32_t up = takenBy[q];
            takenBy[q] = h;
            q = up;
        }
    }
}

} // namespace

PeriodMinutes PeriodMinutes::Of(const PeriodList& list)
{
    PeriodMinutes m;
    m.starts.reserve(list.size());
    m.stops.reserve(list.size());
    for (const auto& p : list) {
        m.starts.push_back(p->m_StartMinute);
        m.stops.push_back(p->m_StopMinute);
    }
    return m;
}

MergePlan PlanMerge(const PeriodMinutes& minutes)
{
    const std::vector<std::int16_t>& startOf = minutes.starts;
    const std::size_t n = startOf.size();
    MergePlan plan;
    plan.stops = minutes.stops;
    plan.holder.resize(n);
    std::iota(plan.holder.begin(), plan.holder.end(), std::uint32_t{0});
    if (n < 2) return plan;

    const StartOrder order = OrderByStart(startOf);
    FirstInList inList(order.byStart);
    RunPasses(startOf, order, inList, plan);
    PointToLastHolders(plan.holder);
    return plan;
}

bool ApplyMerge(const MergePlan& plan, PeriodList& list, cTimeSchedulePeriod*& selected, cTimeSchedulePeriod*& dragged)
{
    if (!plan.merged) return false;
    const std::size_t n = list.size();
    // The selection passes to the period that took the selected one in, and
    // on to the one that took that one in.
    for (std::size_t p = 0; p < n; ++p) {
        if (plan.holder[p] == p) continue;
        if (list[p].get() == selected) selected = list[plan.holder[p]].get();
        if (list[p].get() == dragged) dragged = nullptr;
    }
    // Rebuild the list once: the survivors move up in their order, the
    // merged-away periods are freed.
    std::size_t kept = 0;
    for (std::size_t p = 0; p < n; ++p) {
        if (plan.holder[p] != p) continue;
        list[p]->m_StopMinute = plan.stops[p];
        if (kept != p) list[kept] = std::move(list[p]);
        ++kept;
    }
    list.erase(list.begin() + static_cast<std::ptrdiff_t>(kept), list.end());
    return true;
}

bool MergePeriods(PeriodList& list, cTimeSchedulePeriod*& selected, cTimeSchedulePeriod*& dragged)
{
    if (list.size() < 2) return false;
    return ApplyMerge(PlanMerge(PeriodMinutes::Of(list)), list, selected, dragged);
}

PeriodMinutes MergedMinutes(const PeriodMinutes& minutes, const MergePlan& plan)
{
    PeriodMinutes out;
    for (std::size_t p = 0; p < minutes.starts.size(); ++p) {
        if (plan.holder[p] != p) continue;
        out.starts.push_back(minutes.starts[p]);
        out.stops.push_back(plan.stops[p]);
    }
    return out;
}

} // namespace vel
