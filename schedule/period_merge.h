#pragma once

// Merging of overlapping periods, the rule of cTimeSchedule's
// MergeOverlappingPeriods:
//
//   Repeat passes over the list until a pass merges nothing. In a pass, take
//   each period P in list order; P takes in the first period Q in list order
//   (Q is not P) with P.start <= Q.start <= P.stop: P.stop becomes the larger
//   of the two stops, a selection of Q passes to P, Q leaves the list, and the
//   pass goes on with the period after P. A P takes in at most one Q a pass.
//
// MergePeriods gives exactly the list that these passes give, in
// O(n log n): periods are ordered by start once; a tree over that order keeps
// the smallest list position of the periods still in the list, so "the first
// Q in list order with a start in [P.start, P.stop]" is one query. A period
// that finds no such Q can never find one later (the list only loses
// periods, and P.stop grows only by taking one in), so it is not visited
// again, and every visit either takes a period in or ends a period's visits.
// The list is rebuilt once at the end: the survivors keep their order and
// their identity.

#include "schedule/time_schedule.h"

namespace vel {

// Merges `list` in place. `selected` passes to the period that takes it in;
// `dragged` becomes nullptr when the period it refers to leaves the list.
// Either may refer to a period of another list (then it is left alone).
// Returns whether any period was merged.
bool MergePeriods(PeriodList& list, cTimeSchedulePeriod*& selected, cTimeSchedulePeriod*& dragged);

} // namespace vel
