// A receiver rename carried into the receiver lists of 300 route profiles.

#include "bench/bench_project.h"

#include "project/rename_commands.h"

#include <benchmark/benchmark.h>

namespace {

void BM_ReceiverRenameCascade(benchmark::State& state)
{
    const std::string project = vel::bench::MakeProject(std::filesystem::temp_directory_path() / "velnc-bench-rename");
    vel::bench::NoServer server;
    vel::Suite suite(project, &vel::RealFileSystem(), &server);
    suite.Context.log = {};
    (void)suite.LoadAll();
    const auto slot = vel::FindReceiversByName(suite, vel::bench::ReceiverName(7)).at(0);
    bool flip = false;
    for (auto _ : state) {
        // Back and forth, so every round renames a receiver that the lists name.
        const std::string name = flip ? vel::bench::ReceiverName(7) : "Renamed receiver";
        auto outcome = vel::RenameReceiver(suite, slot, name);
        if (!outcome || outcome->result != vel::RenameResult::Renamed) state.SkipWithError("rename failed");
        flip = !flip;
    }
    std::filesystem::remove_all(project);
}
BENCHMARK(BM_ReceiverRenameCascade)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
