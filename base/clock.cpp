#include "base/clock.h"

#include <cerrno>
#include <csignal>
#include <ctime>
#include <pwd.h>
#include <unistd.h>

namespace vel {

namespace {

class SystemClockImpl final : public Clock {
public:
    std::int64_t Now() override { return static_cast<std::int64_t>(std::time(nullptr)); }
};

std::string LocalTime(std::int64_t seconds, const char* format)
{
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    ::localtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, format, &tm);
    return buf;
}

class MachineDesks final : public Desks {
public:
    Desk Self() override
    {
        Desk d;
        const uid_t uid = ::geteuid();
        passwd entry{};
        passwd* found = nullptr;
        char buf[4096];
        if (::getpwuid_r(uid, &entry, buf, sizeof buf, &found) == 0 && found != nullptr && found->pw_name != nullptr)
            d.user = found->pw_name;
        else
            d.user = std::to_string(uid);
        char host[256] = {};
        if (::gethostname(host, sizeof host - 1) == 0) d.host = host;
        if (d.host.empty()) d.host = "localhost";
        d.process = static_cast<long>(::getpid());
        return d;
    }

    bool Running(long process) override
    {
        if (process <= 0) return false;
        // EPERM: it runs, as another user.
        return ::kill(static_cast<pid_t>(process), 0) == 0 || errno == EPERM;
    }
};

} // namespace

Clock& SystemClock()
{
    static SystemClockImpl clock;
    return clock;
}

std::string CompactLocalTime(std::int64_t seconds)
{
    return LocalTime(seconds, "%Y%m%d-%H%M%S");
}
std::string ReadableLocalTime(std::int64_t seconds)
{
    return LocalTime(seconds, "%Y-%m-%d %H:%M:%S");
}

Desks& ThisMachine()
{
    static MachineDesks desks;
    return desks;
}

} // namespace vel
