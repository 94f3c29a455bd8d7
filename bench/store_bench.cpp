// Loading and saving a project of 300 route profiles and 300 receivers, each
// beside its floor: the same bytes read, or written with the same durability
// (every file flushed, the folder flushed), by a minimal loop.

#include "bench/bench_project.h"

#include "records/save_transaction.h"
#include "project/suite.h"

#include <benchmark/benchmark.h>

#include <fstream>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <vector>

namespace {

namespace fs = std::filesystem;

const std::string& Project()
{
    static const std::string path = vel::bench::MakeProject(fs::temp_directory_path() / "velnc-bench-project");
    return path;
}

std::vector<std::string> KindFiles(const std::string& folder)
{
    std::vector<std::string> files;
    for (const auto& e : fs::directory_iterator(folder)) files.push_back(e.path().string());
    return files;
}

// The program's start-up load: fresh tables filled from disk. Creating the
// empty tables and releasing the full ones afterwards are not counted.
void BM_Load(benchmark::State& state)
{
    vel::bench::NoServer server;
    for (auto _ : state) {
        state.PauseTiming();
        auto suite = std::make_unique<vel::Suite>(Project(), &vel::RealFileSystem(), &server);
        suite->Context.log = {};
        state.ResumeTiming();
        const vel::LoadReport report = suite->LoadAll();
        state.PauseTiming();
        if (!report.complete() || suite->ProfileTable.size() != 300) state.SkipWithError("bad load");
        suite.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond);

// The floor of the load: list both folders and read every file whole,
// keeping its bytes (the load keeps them, to tell later changes by other
// tools), with the fewest system calls: open, read, read to the end, close.
void BM_LoadFloor(benchmark::State& state)
{
    std::vector<char> scratch(1 << 16);
    std::vector<std::vector<char>> kept;
    kept.reserve(600);
    for (auto _ : state) {
        for (const char* kind : {"Profiles", "Receivers"}) {
            DIR* d = ::opendir((Project() + kind).c_str());
            while (dirent* e = ::readdir(d)) {
                if (e->d_name[0] == '.') continue;
                const int fd = ::openat(::dirfd(d), e->d_name, O_RDONLY);
                std::size_t done = 0;
                ssize_t n = 0;
                while ((n = ::read(fd, scratch.data() + done, scratch.size() - done)) > 0)
                    done += static_cast<std::size_t>(n);
                ::close(fd);
                kept.emplace_back(scratch.begin(), scratch.begin() + static_cast<std::ptrdiff_t>(done));
            }
            ::closedir(d);
        }
        state.PauseTiming();
        if (kept.size() != 600) state.SkipWithError("bad floor");
        kept.clear();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LoadFloor)->Unit(benchmark::kMillisecond);

// Parts of the load, to show where its time beyond the floor goes: listing
// the two folders, and decoding every file from memory into fresh tables.
void BM_LoadPartListing(benchmark::State& state)
{
    for (auto _ : state) {
        std::size_t n = 0;
        for (const auto& [kind, prefix] : {std::pair{"Profiles", "Profile_"}, std::pair{"Receivers", "Receiver_"}}) {
            auto project = vel::OpenFolder(vel::RealFileSystem(), Project());
            auto found = vel::FindKindFolder(vel::RealFileSystem(), *project, kind);
            auto folder = vel::OpenFolderAt(vel::RealFileSystem(), *project, *found->name);
            auto files = vel::ListKindFiles(vel::RealFileSystem(), *folder, prefix);
            n += files->size();
        }
        if (n != 600) state.SkipWithError("bad listing");
    }
}
BENCHMARK(BM_LoadPartListing)->Unit(benchmark::kMillisecond);

void BM_LoadPartDecoding(benchmark::State& state)
{
    std::vector<vel::ByteBuffer> profiles, receivers;
    auto content = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return vel::ByteBuffer(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    for (const auto& f : KindFiles(Project() + "Profiles")) profiles.push_back(content(f));
    for (const auto& f : KindFiles(Project() + "Receivers")) receivers.push_back(content(f));
    const std::string source = "bench";
    vel::bench::NoServer server;
    for (auto _ : state) {
        state.PauseTiming();
        auto suite = std::make_unique<vel::Suite>(Project(), &vel::RealFileSystem(), &server);
        state.ResumeTiming();
        for (const vel::ByteBuffer& file : receivers) {
            auto entry = vel::ReceiverFiles::Decode(file, source);
            if (!entry) {
                state.SkipWithError("decode");
                return;
            }
            suite->ReceiverTable.Entries().push_back(std::move(*entry));
        }
        for (const vel::ByteBuffer& file : profiles) {
            auto entry = vel::RouteProfileFiles::Decode(file, source);
            if (!entry) {
                state.SkipWithError("decode");
                return;
            }
            suite->ProfileTable.Entries().push_back(std::move(*entry));
        }
        state.PauseTiming();
        suite.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LoadPartDecoding)->Unit(benchmark::kMillisecond);

void Save(benchmark::State& state, bool profiles)
{
    vel::bench::NoServer server;
    vel::Suite suite(Project(), &vel::RealFileSystem(), &server);
    suite.Context.log = {};
    (void)suite.LoadAll();
    for (auto _ : state) {
        const vel::SaveReport r = profiles ? suite.ProfileTable.SaveAllRouteProfiles(suite.Context)
                                           : suite.ReceiverTable.SaveAllReceivers(suite.Context);
        if (!r.ok()) state.SkipWithError((r.written ? r.notify : r.written).error().message.c_str());
        state.PauseTiming();
        fs::remove_all(vel::WorkFolder(Project()) + "/backup");
        state.ResumeTiming();
    }
}

void BM_SaveProfiles(benchmark::State& state)
{
    Save(state, true);
}
void BM_SaveReceivers(benchmark::State& state)
{
    Save(state, false);
}
BENCHMARK(BM_SaveProfiles)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveReceivers)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same files written in place: create, write, fsync, close; then the folder fsynced.
void SaveFloor(benchmark::State& state, const std::string& kind)
{
    const std::string folder = Project() + kind;
    std::vector<std::pair<std::string, std::vector<char>>> files;
    for (const auto& f : KindFiles(folder)) {
        std::ifstream in(f, std::ios::binary);
        files.emplace_back(f + ".floor", std::vector<char>(std::istreambuf_iterator<char>(in), {}));
    }
    for (auto _ : state) {
        for (const auto& [path, data] : files) {
            const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (::write(fd, data.data(), data.size()) != static_cast<ssize_t>(data.size()))
                state.SkipWithError("write");
            ::fsync(fd);
            ::close(fd);
        }
        const int dfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
        ::fsync(dfd);
        ::close(dfd);
    }
    for (const auto& [path, data] : files) ::unlink(path.c_str());
}

void BM_SaveProfilesFloor(benchmark::State& state)
{
    SaveFloor(state, "Profiles");
}
void BM_SaveReceiversFloor(benchmark::State& state)
{
    SaveFloor(state, "Receivers");
}
BENCHMARK(BM_SaveProfilesFloor)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveReceiversFloor)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
