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
//
// The outcome depends only on the minutes of the list, in their order, so
// it is planned from them (PlanMerge) and carried out on any list that holds
// those minutes (ApplyMerge).

#include "schedule/time_schedule.h"

#include <cstdint>
#include <span>
#include <vector>

namespace vel {

// The minutes of a list, in list order.
struct PeriodMinutes {
    std::vector<std::int16_t> starts;
    std::vector<std::int16_t> stops;

    static PeriodMinutes Of(const PeriodList& list);
    friend bool operator==(const PeriodMinutes&, const PeriodMinutes&) = default;
};

// The outcome of merging a list, by list positions.
struct MergePlan {
    bool merged = false;
    // Position of the period that holds each position's period in the end:
    // the position itself when its period stays.
    std::vector<std::uint32_t> holder;
    // Stop minute of each staying period.
    std::vector<std::int16_t> stops;
};

MergePlan PlanMerge(const PeriodMinutes& minutes);

// Carries out a plan made from the minutes `list` holds. `selected` passes
// to the period that holds it in the end; `dragged` becomes nullptr when
// the period it refers to leaves the list. Either may refer to a period of
// another list (then it is left alone). Returns whether any period left.
bool ApplyMerge(const MergePlan& plan, PeriodList& list, cTimeSchedulePeriod*& selected, cTimeSchedulePeriod*& dragged);

// PlanMerge and ApplyMerge in one.
bool MergePeriods(PeriodList& list, cTimeSchedulePeriod*& selected, cTimeSchedulePeriod*& dragged);

// The minutes of the merged list: of the staying periods, in order.
PeriodMinutes MergedMinutes(const PeriodMinutes& minutes, const MergePlan& plan);

} // namespace vel
