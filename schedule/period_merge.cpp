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
    std::vector<std::int16_t>& stopOf = plan.stops;

    // Starts never change while merging: order the periods by start once.
    // rankOf[p] is the place of position p in that order (ties in list
    // order); firstRank(v) the first place whose start is v or more.
    const auto [lowest, highest] = std::minmax_element(startOf.begin(), startOf.end());
    const std::int32_t low = *lowest;
    const std::int32_t high = *highest;
    // Counting places of each start value: firstOfValue[v - low] is the first
    // place of value v, firstOfValue[high - low + 1] = n.
    std::vector<std::uint32_t> firstOfValue(static_cast<std::size_t>(high - low) + 2, 0);
    for (const std::int16_t v : startOf) ++firstOfValue[static_cast<std::size_t>(v - low) + 1];
    for (std::size_t i = 1; i < firstOfValue.size(); ++i) firstOfValue[i] += firstOfValue[i - 1];
    std::vector<std::uint32_t> byStart(n);
    std::vector<std::uint32_t> rankOf(n);
    {
        std::vector<std::uint32_t> next(firstOfValue.begin(), firstOfValue.end() - 1);
        for (std::uint32_t p = 0; p < n; ++p) {
            const std::uint32_t r = next[static_cast<std::size_t>(startOf[p] - low)]++;
            byStart[r] = p;
            rankOf[p] = r;
        }
    }
    auto firstRank = [&](std::int32_t v) -> std::size_t {
        if (v <= low) return 0;
        if (v > high) return n;
        return firstOfValue[static_cast<std::size_t>(v - low)];
    };
    FirstInList inList(byStart);

    // The first period in list order, other than P, with a start in
    // [P.start, P.stop].
    auto firstToTakeIn = [&](std::uint32_t p) -> std::uint32_t {
        if (stopOf[p] < startOf[p]) return NoPosition;
        const std::size_t from = firstRank(startOf[p]);
        const std::size_t to = firstRank(std::int32_t{stopOf[p]} + 1);
        const std::size_t self = rankOf[p];
        return std::min(inList.Min(from, self), inList.Min(self + 1, to));
    };

    // takenBy[q]: the period that took q in (q itself while q stays).
    std::vector<std::uint32_t>& takenBy = plan.holder;
    // The periods a pass visits, in list order: those that may still take
    // one in.
    std::vector<std::uint32_t> visit(n);
    std::iota(visit.begin(), visit.end(), std::uint32_t{0});
    std::vector<std::uint32_t> again;
    while (!visit.empty()) {
        again.clear();
        for (const std::uint32_t p : visit) {
            if (takenBy[p] != p) continue;
            const std::uint32_t q = firstToTakeIn(p);
            if (q == NoPosition) continue;
            if (stopOf[q] > stopOf[p]) stopOf[p] = stopOf[q];
            takenBy[q] = p;
            inList.Remove(rankOf[q]);
            plan.merged = true;
            again.push_back(p);
        }
        visit.swap(again);
    }
    // Who holds each period in the end: follow the takers to one that stays.
    // A taker is always taken in later than what it took, so each chain
    // ends; shortening the chains on the way keeps this linear.
    for (std::uint32_t p = 0; p < n; ++p) {
        std::uint32_t h = p;
        while (takenBy[h] != h) h = takenBy[h];
        for (std::uint32_t q = p; takenBy[q] != q;) {
            const std::uint32_t up = takenBy[q];
            takenBy[q] = h;
            q = up;
        }
    }
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
