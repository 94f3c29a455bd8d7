#include "schedule/bar_runs.h"

#include <algorithm>
#include <numeric>

namespace vel {

namespace {

constexpr std::uint32_t NoBar = UINT32_MAX;
// Columns the table keeps at most. Minutes are 16-bit, so the schedule's bars
// span at most about 13,000 columns and the calendar's about 1,700.
constexpr std::int64_t MaxColumns = std::int64_t{1} << 20;

BarRun Whole(std::size_t bar, BarEnds ends)
{
    BarRun run;
    run.first = std::min(ends.x1, ends.x2);
    run.last = std::max(ends.x1, ends.x2);
    run.bar = bar;
    run.ends = ends;
    run.whole = true;
    run.leftEdge = true;
    run.rightEdge = true;
    run.fillFirst = run.first + 1;
    run.fillLast = run.last - 1;
    return run;
}

// The plain drawing: every bar whole, in list order.
void AddAllWhole(std::vector<BarRun>& runs, std::size_t count, const std::function<BarEnds(std::size_t)>& endsOf)
{
    runs.reserve(count);
    for (std::size_t i = 0; i < count; ++i) runs.push_back(Whole(i, endsOf(i)));
}

struct Taker {
    std::size_t bar;
    BarEnds ends;
};

// Which bar decides each column: takenBy[c] indexes takers. `free` skips
// over taken columns: free[c] is c while c is untaken, else it leads on
// towards the next untaken column.
struct ColumnTable {
    std::vector<Taker> takers;
    std::vector<std::uint32_t> takenBy;
    std::vector<std::uint32_t> free;
    std::size_t untaken;

    explicit ColumnTable(std::size_t columns) : takenBy(columns, NoBar), free(columns + 1), untaken(columns)
    {
        std::iota(free.begin(), free.end(), std::uint32_t{0});
    }

    std::uint32_t NextFree(std::uint32_t c)
    {
        while (free[c] != c) {
            free[c] = free[free[c]];
            c = free[c];
        }
        return c;
    }

    // Bar `bar` takes the columns from..to that no later bar has taken.
    void Take(std::size_t bar, BarEnds ends, std::int64_t from, std::int64_t to)
    {
        bool took = false;
        for (auto c = NextFree(static_cast<std::uint32_t>(from)); c <= to; c = NextFree(c + 1)) {
            takenBy[c] = static_cast<std::uint32_t>(takers.size());
            free[c] = c + 1;
            --untaken;
            took = true;
        }
        if (took) takers.push_back(Taker{bar, ends});
    }
};

// From the last bar to the first, each bar takes the columns of its span
// that no later bar has taken, until every column is taken. False, at once,
// on a bar with ends outside the `width` columns from `low`.
bool TakeColumns(ColumnTable& table, std::size_t count, std::int32_t low, std::int64_t width,
                 const std::function<BarEnds(std::size_t)>& endsOf)
{
    for (std::size_t i = count; i-- > 0 && table.untaken > 0;) {
        const BarEnds ends = endsOf(i);
        const std::int64_t from = std::int64_t{std::min(ends.x1, ends.x2)} - low;
        const std::int64_t to = std::int64_t{std::max(ends.x1, ends.x2)} - low;
        if (from < 0 || to >= width) return false;
        table.Take(i, ends, from, to);
    }
    return true;
}

// The run of columns first..last that `taker` decides.
BarRun RunOf(const Taker& taker, std::int32_t first, std::int32_t last)
{
    BarRun run = Whole(taker.bar, taker.ends);
    if (first != run.first || last != run.last) {
        run.whole = false;
        run.leftEdge = first == run.first;
        run.rightEdge = last == run.last;
        run.fillFirst = run.leftEdge ? first + 1 : first;
        run.fillLast = run.rightEdge ? last - 1 : last;
        run.first = first;
        run.last = last;
    }
    return run;
}

// The runs of neighbouring columns that one bar decides, left to right;
// untaken columns are no run.
void AddTakenRuns(std::vector<BarRun>& runs, const ColumnTable& table, std::int32_t low)
{
    const std::vector<std::uint32_t>& takenBy = table.takenBy;
    const std::size_t columns = takenBy.size();
    for (std::size_t c = 0; c < columns;) {
        const std::uint32_t taker = takenBy[c];
        std::size_t end = c;
        while (end + 1 < columns && takenBy[end + 1] == taker) ++end;
        if (taker != NoBar) {
            runs.push_back(
                RunOf(table.takers[taker], low + static_cast<std::int32_t>(c), low + static_cast<std::int32_t>(end)));
        }
        c = end + 1;
    }
}

} // namespace

std::vector<BarRun> VisibleBarRuns(std::size_t count, std::int32_t low, std::int32_t high,
                                   const std::function<BarEnds(std::size_t)>& endsOf)
{
    std::vector<BarRun> runs;
    if (count == 0) return runs;
    const std::int64_t width = std::int64_t{high} - low + 1;
    if (width <= 0 || width > MaxColumns) {
        AddAllWhole(runs, count, endsOf);
        return runs;
    }
    ColumnTable table(static_cast<std::size_t>(width));
    if (!TakeColumns(table, count, low, width, endsOf)) {
        // Ends outside the columns promised: draw plainly.
        AddAllWhole(runs, count, endsOf);
        return runs;
    }
    AddTakenRuns(runs, table, low);
    return runs;
}

std::vector<BarRun> VisibleBarRuns(std::span<const BarEnds> bars)
{
    if (bars.empty()) return {};
    std::int32_t low = bars[0].x1;
    std::int32_t high = bars[0].x1;
    for (const BarEnds& b : bars) {
        low = std::min({low, b.x1, b.x2});
        high = std::max({high, b.x1, b.x2});
    }
    return VisibleBarRuns(bars.size(), low, high, [bars](std::size_t i) { return bars[i]; });
}

} // namespace vel
