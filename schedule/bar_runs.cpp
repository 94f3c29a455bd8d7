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

} // namespace

std::vector<BarRun> VisibleBarRuns(std::size_t count, std::int32_t low, std::int32_t high,
                                   const std::function<BarEnds(std::size_t)>& endsOf)
{
    std::vector<BarRun> runs;
    if (count == 0) return runs;
    const std::int64_t width = std::int64_t{high} - low + 1;
    if (width <= 0 || width > MaxColumns) {
        runs.reserve(count);
        for (std::size_t i = 0; i < count; ++i) runs.push_back(Whole(i, endsOf(i)));
        return runs;
    }
    const auto columns = static_cast<std::size_t>(width);

    // From the last bar to the first, each bar takes the columns of its span
    // that no later bar has taken; `free` skips over taken columns.
    struct Taker {
        std::size_t bar;
        BarEnds ends;
    };
    std::vector<Taker> takers;
    std::vector<std::uint32_t> takenBy(columns, NoBar); // index into takers
    std::vector<std::uint32_t> free(columns + 1);
    std::iota(free.begin(), free.end(), std::uint32_t{0});
    auto nextFree = [&free](std::uint32_t c) {
        while (free[c] != c) {
            free[c] = free[free[c]];
            c = free[c];
        }
        return c;
    };
    std::size_t untaken = columns;
    for (std::size_t i = count; i-- > 0 && untaken > 0;) {
        const BarEnds ends = endsOf(i);
        const std::int64_t from = std::int64_t{std::min(ends.x1, ends.x2)} - low;
        const std::int64_t to = std::int64_t{std::max(ends.x1, ends.x2)} - low;
        if (from < 0 || to >= width) {
            // Ends outside the columns promised: draw plainly.
            runs.reserve(count);
            for (std::size_t b = 0; b < count; ++b) runs.push_back(Whole(b, endsOf(b)));
            return runs;
        }
        bool took = false;
        for (auto c = nextFree(static_cast<std::uint32_t>(from)); c <= to; c = nextFree(c + 1)) {
            takenBy[c] = static_cast<std::uint32_t>(takers.size());
            free[c] = c + 1;
            --untaken;
            took = true;
        }
        if (took) takers.push_back(Taker{i, ends});
    }

    for (std::size_t c = 0; c < columns;) {
        const std::uint32_t taker = takenBy[c];
        std::size_t end = c;
        while (end + 1 < columns && takenBy[end + 1] == taker) ++end;
        if (taker != NoBar) {
            BarRun run = Whole(takers[taker].bar, takers[taker].ends);
            const std::int32_t first = low + static_cast<std::int32_t>(c);
            const std::int32_t last = low + static_cast<std::int32_t>(end);
            if (first != run.first || last != run.last) {
                run.whole = false;
                run.leftEdge = first == run.first;
                run.rightEdge = last == run.last;
                run.fillFirst = run.leftEdge ? first + 1 : first;
                run.fillLast = run.rightEdge ? last - 1 : last;
                run.first = first;
                run.last = last;
            }
            runs.push_back(run);
        }
        c = end + 1;
    }
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
