#pragma once

// A realistic project for the benchmarks: 300 route profiles whose schedules
// hold a working week and some special days, each naming 20 receivers, and
// 300 receivers.

#include "project/route_profile_store.h"
#include "project/receiver_store.h"
#include "base/server_command.h"

#include <filesystem>
#include <fstream>
#include <string>

namespace vel::bench {

// The server library of a benchmark: takes every command, does nothing.
class NoServer : public ServerCommand {
public:
    Status SetCommandEntry(const std::string&, std::int32_t) override { return Status::Ok(); }
};

inline std::string ReceiverName(int i)
{
    return "Receiver " + std::to_string(1000 + i) + " pager";
}

inline void WriteFile(const std::filesystem::path& path, const ByteBuffer& data)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

// Writes the project below `dir` and returns its project path.
inline std::string MakeProject(const std::filesystem::path& dir)
{
    namespace fs = std::filesystem;
    fs::remove_all(dir);
    fs::create_directories(dir / "Profiles");
    fs::create_directories(dir / "Receivers");
    for (int i = 0; i < 300; ++i) {
        Receiver r;
        r.SetId(static_cast<std::int16_t>(i));
        r.SetEnabled(-1);
        r.Name() = ReceiverName(i);
        r.Settings(0) = TaggedValue{TaggedValue::String, ByteBuffer(12, '5')};
        r.Settings(1) = TaggedValue{TaggedValue::Integer, ByteBuffer{3, 0}};
        r.TextN(2) = "escalation text";
        WriteFile(dir / "Receivers" / NumberedFileName("Receiver_", i), *EncodeReceiverFile(r, "bench"));
    }
    for (int i = 1; i <= 300; ++i) {
        RouteProfile p;
        p.SetProfileNumber(static_cast<std::int16_t>(i));
        p.SetEnabled(-1);
        p.Name() = "Route profile " + std::to_string(i);
        for (int k = 0; k < 20; ++k) {
            p.ReceiverList1() += ReceiverName((i * 7 + k) % 300) + std::string(1, '\0');
            if (k < 5) p.ReceiverList2() += ReceiverName((i * 3 + k) % 300) + std::string(1, '\0');
        }
        cTimeSchedule s;
        s.SetDefaultPeriod();
        for (std::int16_t d = 5; d < 12; ++d) {
            (void)s.AppendPeriod(d, 480, 720);
            (void)s.AppendPeriod(d, 780, 1020);
        }
        WriteFile(dir / "Profiles" / NumberedFileName("Profile_", i), *EncodeProfileFile(p, s, "bench"));
    }
    return dir.string() + "/";
}

} // namespace vel::bench
