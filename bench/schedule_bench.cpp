// Reading and writing a time schedule must stay linear in its size: a
// schedule of 23 day types with 32767 periods each (the most a file can hold).

#include "schedule/time_schedule.h"

#include <benchmark/benchmark.h>

namespace {

vel::cTimeSchedule FullSchedule()
{
    vel::cTimeSchedule s;
    for (std::int32_t d = 0; d < 23; ++d)
        for (std::int32_t k = 0; k < 32767; ++k)
            (void)s.AppendPeriod(d, static_cast<std::int16_t>(k % 1440), static_cast<std::int16_t>(k % 1440 + 1));
    return s;
}

void BM_SaveToDisk(benchmark::State& state)
{
    const vel::cTimeSchedule s = FullSchedule();
    for (auto _ : state) {
        vel::ByteWriter w("bench.dat");
        if (!s.SaveToDisk(w).ok()) state.SkipWithError("save failed");
        benchmark::DoNotOptimize(w.buffer().data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * (186 + 4 * 23 * 32767));
}
BENCHMARK(BM_SaveToDisk)->Unit(benchmark::kMillisecond);

void BM_ReadFromDisk(benchmark::State& state)
{
    const vel::cTimeSchedule s = FullSchedule();
    vel::ByteWriter w("bench.dat");
    (void)s.SaveToDisk(w);
    const vel::ByteBuffer bytes = w.take();
    for (auto _ : state) {
        vel::cTimeSchedule back;
        vel::ByteReader r(bytes, "bench.dat");
        if (!back.ReadFromDisk(r).ok()) state.SkipWithError("read failed");
        benchmark::DoNotOptimize(back.TotalPeriods());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_ReadFromDisk)->Unit(benchmark::kMillisecond);

void BM_PeriodArrayRoundTrip(benchmark::State& state)
{
    const vel::cTimeSchedule s = FullSchedule();
    for (auto _ : state) {
        const vel::AnsiText text = s.ComposePeriodArray();
        vel::cTimeSchedule back;
        if (!back.ExtractPeriodArray(text).ok()) state.SkipWithError("extract failed");
        benchmark::DoNotOptimize(back.TotalPeriods());
    }
}
BENCHMARK(BM_PeriodArrayRoundTrip)->Unit(benchmark::kMillisecond);

// A host that answers the Mon-Fri menu item as unchecked and accepts the rest.
class QuietHost : public vel::HostContainer {
public:
    using vel::HostContainer::Call;
    vel::Result<vel::HostValue> Call(std::string_view, std::span<vel::HostValue>) override
    {
        return vel::HostValue{false};
    }
};

// Grouping Monday to Friday copies Monday's periods to four day types and
// merges each copy: long lists without overlaps must not be walked pair by
// pair.
void BM_GroupMonFriLongLists(benchmark::State& state)
{
    QuietHost host;
    for (auto _ : state) {
        state.PauseTiming();
        vel::cTimeSchedule s;
        for (std::int32_t k = 0; k < 32767; ++k)
            (void)s.AppendPeriod(0, static_cast<std::int16_t>(k), static_cast<std::int16_t>(k));
        state.ResumeTiming();
        if (!s.GroupMonFri(host, nullptr).ok()) state.SkipWithError("group failed");
        benchmark::DoNotOptimize(s.TotalPeriods());
    }
}
BENCHMARK(BM_GroupMonFriLongLists)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
