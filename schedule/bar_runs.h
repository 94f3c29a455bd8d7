#pragma once

// Period bars drawn one over another, gathered into what is seen.
//
// The schedule editor and the calendar's time bars draw each period as the
// same few lines: a bar of horizontal lines from the column of its start x1
// to the column of its stop x2 (the end column itself left out, as every
// line of a surface), then an edge line down at x1 and one at x2. So a bar
// paints exactly the columns from min(x1, x2) to max(x1, x2), each over all
// of the bar's lines: its two end columns in the edge colour, the columns
// between them in the bar's colour. Drawn in list order, the last bar that
// paints a column decides the column.
//
// VisibleBarRuns finds, column by column, that last bar and returns the runs
// of neighbouring columns that one bar decides, left to right. Drawing those
// runs gives the same pixels as drawing every bar, at a cost bounded by the
// width in pixels instead of the number of periods:
// - a run that is a whole bar (`whole`) is drawn with that bar's own lines,
//   exactly as the bar alone would be drawn;
// - any other run is drawn as bar-coloured lines over its columns between
//   `fillFirst` and `fillLast` (when fillFirst <= fillLast), and an edge line
//   at `first` when `leftEdge` and at `last` when `rightEdge`.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace vel {

struct BarEnds {
    std::int32_t x1 = 0; // column of the start edge
    std::int32_t x2 = 0; // column of the stop edge
};

struct BarRun {
    std::int32_t first = 0; // columns first..last
    std::int32_t last = 0;
    std::size_t bar = 0; // index of the bar that decides them
    BarEnds ends;        // that bar's ends
    bool whole = false;  // the run is all of that bar
    bool leftEdge = false;
    bool rightEdge = false;
    std::int32_t fillFirst = 0;
    std::int32_t fillLast = -1;
};

// The runs, left to right, of `count` bars whose ends all lie in the columns
// low..high; endsOf(i) gives the ends of bar i. Bars are asked for from the
// last to the first, and no further back than until every column is decided.
// When the columns are more than the table keeps (far more than any
// surface), every bar is returned whole, in list order: the plain drawing.
std::vector<BarRun> VisibleBarRuns(std::size_t count, std::int32_t low, std::int32_t high,
                                   const std::function<BarEnds(std::size_t)>& endsOf);
// The same for bars given as a list.
std::vector<BarRun> VisibleBarRuns(std::span<const BarEnds> bars);

} // namespace vel
