// vel_bench_profiles DIR
//
// Writes the two route profile files that the host programs are measured
// with (scripts/bench-hosts): DIR/small.dat, a schedule of three periods a
// day, and DIR/largest.dat, the largest schedule a profile file can hold
// (23 day types of 32767 periods, about 3 MB). See largest_schedule.h.

#include "bench/largest_schedule.h"
#include "base/file_system.h"
#include "project/route_profile_store.h"

#include <cstdio>
#include <string>

namespace {

bool Write(const std::string& path, const std::string& name, const vel::cTimeSchedule& schedule)
{
    vel::RouteProfile profile;
    profile.SetProfileNumber(1);
    profile.SetEnabled(-1);
    profile.Name() = name;
    auto bytes = vel::EncodeProfileFile(profile, schedule, path);
    if (!bytes) {
        std::fprintf(stderr, "vel_bench_profiles: %s\n", bytes.error().message.c_str());
        return false;
    }
    const auto [dir, file] = vel::SplitPath(path);
    auto folder = vel::OpenFolder(vel::RealFileSystem(), dir);
    vel::Status written = folder ? vel::ReplaceFileAt(vel::RealFileSystem(), folder->handle(), file, *bytes,
                                                      vel::DefaultAttributes())
                                 : vel::Status(folder.error());
    if (!written) {
        std::fprintf(stderr, "vel_bench_profiles: %s\n", written.error().message.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: vel_bench_profiles DIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    vel::cTimeSchedule small;
    vel::bench::FillSmallSchedule(small);
    vel::cTimeSchedule largest;
    vel::bench::FillLargestSchedule(largest);
    if (!Write(dir + "/small.dat", "Small schedule", small)) return 1;
    if (!Write(dir + "/largest.dat", "Largest schedule", largest)) return 1;
    return 0;
}
