// Every operation of the schedule editor on the largest schedule a profile
// file can hold (23 day types of 32767 overlapping periods, all active and
// grouped; see largest_schedule.h). Targets: a drag step within one frame
// (16 ms), every other operation within 50 ms.
//
// Operations that change the periods start each iteration from the largest
// schedule again (set up outside the measured time).

#include "bench/largest_schedule.h"
#include "bench/view_bench_support.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

using vel::bench::EditorHost;
using vel::bench::PixelSurface;

// y of a point on the axis of day type d (all day types are active).
constexpr float AxisY(int d)
{
    return 25.0F * static_cast<float>(d) + 10.0F;
}

// x of a minute.
constexpr float MinuteX(int minute)
{
    return 30.0F + static_cast<float>(minute) / 5.0F;
}

class Editor {
public:
    Editor() : m_schedule(std::make_unique<vel::cTimeSchedule>())
    {
        vel::bench::FillLargestSchedule(*m_schedule);
        vel::DrawingSurface* variable = &surface;
        (void)m_schedule->RecalculateAndPrepareToPaint(host, variable, &surface);
        surface.Clear();
        (void)m_schedule->Paint(host, &surface);
    }

    vel::cTimeSchedule& schedule() { return *m_schedule; }

    EditorHost host;
    PixelSurface surface{400, 600};

private:
    std::unique_ptr<vel::cTimeSchedule> m_schedule;
};

void Check(benchmark::State& state, const vel::Status& status)
{
    if (!status.ok()) state.SkipWithError(status.error().message.c_str());
}

// Times `act` on an editor with the largest schedule made afresh for each
// iteration and readied by `prepare`, both outside the measured time (the
// last iteration's schedule is freed there too).
template <class Prepare, class Act>
void OnFreshEditor(benchmark::State& state, Prepare prepare, Act act)
{
    std::unique_ptr<Editor> fresh;
    for (auto _ : state) {
        state.PauseTiming();
        fresh.reset();
        fresh = std::make_unique<Editor>();
        prepare(*fresh);
        state.ResumeTiming();
        Check(state, act(*fresh));
    }
}

// A left press on Tuesday's axis at 14:10: selects a period and grabs an
// edge; repaints the axis of the day type selected before.
void BM_EditorPress(benchmark::State& state)
{
    Editor e;
    for (auto _ : state) Check(state, e.schedule().MouseDown(e.host, &e.surface, 1, 0, MinuteX(850), AxisY(1)));
}
BENCHMARK(BM_EditorPress)->Unit(benchmark::kMillisecond);

// One step of a drag: the dragged edge follows the pointer and the day
// type's axis is repainted.
void BM_EditorDragStep(benchmark::State& state)
{
    Editor e;
    Check(state, e.schedule().MouseDown(e.host, &e.surface, 1, 0, MinuteX(850), AxisY(1)));
    bool right = false;
    for (auto _ : state) {
        right = !right;
        Check(state, e.schedule().MouseMove(e.host, &e.surface, 1, 0, MinuteX(right ? 900 : 800), AxisY(1)));
    }
}
BENCHMARK(BM_EditorDragStep)->Unit(benchmark::kMillisecond);

// The release after a drag: the day type's periods go to the 22 other
// grouped day types, each is merged, and the axes are repainted.
void BM_EditorRelease(benchmark::State& state)
{
    OnFreshEditor(
        state,
        [&state](Editor& e) {
            Check(state, e.schedule().MouseDown(e.host, &e.surface, 1, 0, MinuteX(850), AxisY(1)));
            Check(state, e.schedule().MouseMove(e.host, &e.surface, 1, 0, MinuteX(900), AxisY(1)));
        },
        [](Editor& e) { return e.schedule().MouseUp(e.host, &e.surface, 1, 0, MinuteX(900), AxisY(1)); });
}
BENCHMARK(BM_EditorRelease)->Unit(benchmark::kMillisecond);

// The whole view: 23 axes.
void BM_EditorPaint(benchmark::State& state)
{
    Editor e;
    for (auto _ : state) {
        e.surface.Clear();
        Check(state, e.schedule().Paint(e.host, &e.surface));
    }
}
BENCHMARK(BM_EditorPaint)->Unit(benchmark::kMillisecond);

void BM_EditorRecalculate(benchmark::State& state)
{
    Editor e;
    vel::DrawingSurface* variable = &e.surface;
    for (auto _ : state) Check(state, e.schedule().RecalculateAndPrepareToPaint(e.host, variable, &e.surface));
}
BENCHMARK(BM_EditorRecalculate)->Unit(benchmark::kMillisecond);

// Copy to the group by the menu's "Group Mon-Fri": Tuesday to Friday receive
// Monday's periods and merge them, then the whole view is repainted.
void BM_EditorCopyToGroupMonFri(benchmark::State& state)
{
    OnFreshEditor(
        state, [](Editor&) {}, [](Editor& e) { return e.schedule().GroupMonFri(e.host, &e.surface); });
}
BENCHMARK(BM_EditorCopyToGroupMonFri)->Unit(benchmark::kMillisecond);

// A day type joins the group and takes over the periods of the group.
void BM_EditorJoinGroup(benchmark::State& state)
{
    OnFreshEditor(
        state,
        [&state](Editor& e) {
            e.schedule().m_DayTypeGrouped[5] = 0;
            Check(state, e.schedule().Select(5, nullptr));
        },
        [](Editor& e) { return e.schedule().Group(e.host, &e.surface); });
}
BENCHMARK(BM_EditorJoinGroup)->Unit(benchmark::kMillisecond);

// Times typed into the period texts: applied to the selected period, merged,
// repainted and copied to the 22 other grouped day types.
void BM_EditorPeriodTexts(benchmark::State& state)
{
    OnFreshEditor(
        state,
        [&state](Editor& e) {
            Check(state, e.schedule().MouseDown(e.host, &e.surface, 1, 0, MinuteX(850), AxisY(1)));
            Check(state, e.schedule().MouseUp(e.host, &e.surface, 1, 0, MinuteX(850), AxisY(1)));
            // The release merged Tuesday; give it the largest list again.
            Check(state, e.schedule().ClearPeriods(1));
            for (std::size_t k = 0; k < vel::bench::LargestPeriodsPerDayType; ++k) {
                const vel::cTimeSchedulePeriod p = vel::bench::LargestPeriod(1, k);
                (void)e.schedule().AppendPeriod(1, p.m_StartMinute, p.m_StopMinute);
            }
            Check(state, e.schedule().MouseDown(e.host, &e.surface, 1, 0, MinuteX(850), AxisY(1)));
            e.host.Type("08:00", "18:00");
        },
        [](Editor& e) { return e.schedule().ExtractTimeFromTextboxes(e.host, &e.surface); });
}
BENCHMARK(BM_EditorPeriodTexts)->Unit(benchmark::kMillisecond);

// Monday copied, pasted onto Tuesday: 32767 new periods, merged, repainted.
void BM_EditorPaste(benchmark::State& state)
{
    Editor e;
    Check(state, e.schedule().Select(0, nullptr));
    e.schedule().Copy();
    Check(state, e.schedule().Select(1, nullptr));
    for (auto _ : state) Check(state, e.schedule().Paste(e.host, &e.surface));
}
BENCHMARK(BM_EditorPaste)->Unit(benchmark::kMillisecond);

void BM_EditorDelete(benchmark::State& state)
{
    OnFreshEditor(
        state,
        [&state](Editor& e) { Check(state, e.schedule().MouseDown(e.host, &e.surface, 1, 0, MinuteX(850), AxisY(3))); },
        [](Editor& e) { return e.schedule().Delete(e.host, &e.surface); });
}
BENCHMARK(BM_EditorDelete)->Unit(benchmark::kMillisecond);

void BM_EditorWholeDay(benchmark::State& state)
{
    OnFreshEditor(
        state, [&state](Editor& e) { Check(state, e.schedule().Select(3, nullptr)); },
        [](Editor& e) { return e.schedule().SetTimeFrom00to24(e.host, &e.surface); });
}
BENCHMARK(BM_EditorWholeDay)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
