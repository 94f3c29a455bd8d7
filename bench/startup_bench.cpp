// Start-up to a shown window holding 300 route profiles and 300 receivers, on
// the offscreen platform: create the window, load both tables, fill the lists,
// show it and let it paint. Target: under 300 ms.

#include "bench/bench_project.h"

#include "gui/main_window.h"
#include "gui/prompt.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTreeWidget>

#include <cstdlib>

namespace {

class SilentPrompt : public vel::Prompt {
public:
    QString AskText(const QString&, const QString&) override { return {}; }
    void Tell(const QString&) override {}
    vel::CloseAnswer AskUnsavedOnClose(vel::SavedKind) override { return vel::CloseAnswer::Cancel; }
    vel::TiedSaveAnswer AskSaveTied(vel::SavedKind) override { return vel::TiedSaveAnswer::Cancel; }
};

void BM_StartUpToShownWindow(benchmark::State& state)
{
    const std::string project = vel::bench::MakeProject(std::filesystem::temp_directory_path() / "velnc-bench-startup");
    vel::bench::NoServer server;
    SilentPrompt prompt;
    for (auto _ : state) {
        vel::Suite suite(project, &vel::RealFileSystem(), &server);
        suite.Context.log = {};
        vel::MainWindow window(suite, prompt);
        const vel::LoadReport report = window.StartUp();
        window.show();
        QApplication::processEvents();
        if (!report.complete() || window.ProfileList()->topLevelItemCount() != 300 ||
            window.ReceiverList()->topLevelItemCount() != 300)
            state.SkipWithError("the window does not hold 300 + 300 rows");
    }
    std::filesystem::remove_all(project);
}
BENCHMARK(BM_StartUpToShownWindow)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
