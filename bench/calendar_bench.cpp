// Reading, writing and comparing calendar files (29220 bytes each).

#include "calendar/calendar.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

std::string BenchFile(const char* name)
{
    return (std::filesystem::temp_directory_path() / (std::string("velcal-bench-") + name)).string();
}

vel::cCalendar FilledCalendar()
{
    vel::cCalendar cal;
    for (std::int32_t day = 0; day < vel::CalendarDays; ++day)
        (void)cal.SetDayType(day, static_cast<std::int16_t>(day % 24));
    return cal;
}

void BM_CalendarSaveToDisk(benchmark::State& state)
{
    const std::string name = BenchFile("save.cal");
    const vel::cCalendar cal = FilledCalendar();
    for (auto _ : state) {
        vel::Result<bool> saved = cal.SaveToDisk(name);
        if (!saved.ok()) state.SkipWithError(saved.error().message.c_str());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(vel::CalendarFileBytes));
    std::filesystem::remove(name);
}
BENCHMARK(BM_CalendarSaveToDisk)->Unit(benchmark::kMicrosecond);

void BM_CalendarReadFromDisk(benchmark::State& state)
{
    const std::string name = BenchFile("read.cal");
    if (!FilledCalendar().SaveToDisk(name).ok()) state.SkipWithError("cannot write the calendar file");
    vel::cCalendar cal;
    for (auto _ : state) {
        vel::Result<bool> read = cal.ReadFromDisk(name);
        if (!read.ok() || !*read) state.SkipWithError("cannot read the calendar file");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(vel::CalendarFileBytes));
    std::filesystem::remove(name);
}
BENCHMARK(BM_CalendarReadFromDisk)->Unit(benchmark::kMicrosecond);

void BM_CalendarCompareToDisk(benchmark::State& state)
{
    const std::string name = BenchFile("compare.cal");
    const vel::cCalendar cal = FilledCalendar();
    if (!cal.SaveToDisk(name).ok()) state.SkipWithError("cannot write the calendar file");
    for (auto _ : state) {
        vel::Result<bool> same = cal.CompareToDisk(name);
        if (!same.ok() || !*same) state.SkipWithError("calendar differs from its file");
    }
    std::filesystem::remove(name);
}
BENCHMARK(BM_CalendarCompareToDisk)->Unit(benchmark::kMicrosecond);

void BM_CalendarCompareToOtherCalendar(benchmark::State& state)
{
    const vel::cCalendar a = FilledCalendar();
    const vel::cCalendar b = FilledCalendar();
    for (auto _ : state) {
        vel::Result<bool> same = a.CompareToOtherCalendar(&b);
        benchmark::DoNotOptimize(same.ok());
    }
}
BENCHMARK(BM_CalendarCompareToOtherCalendar)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
