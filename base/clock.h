#pragma once

// The time of day and the running program's place among the desks that
// share a project, as the program reads them: behind one interface, so that
// tests set the time (backup names, pruning, lock ages, the history) instead
// of waiting, and play another desk or a program that died.

#include <cstdint>
#include <string>

namespace vel {

class Clock {
public:
    virtual ~Clock() = default;
    // Seconds since 1970-01-01 UTC.
    virtual std::int64_t Now() = 0;
};

// The system's clock.
Clock& SystemClock();

// A time in the local time zone: "YYYYMMDD-HHMMSS" (in names of folders) and
// "YYYY-MM-DD HH:MM:SS" (for people).
std::string CompactLocalTime(std::int64_t seconds);
std::string ReadableLocalTime(std::int64_t seconds);

// Who is running the program, where: the user's login name (or number), the
// machine's host name and the process.
struct Desk {
    std::string user;
    std::string host;
    long process = 0;
};

class Desks {
public:
    virtual ~Desks() = default;
    virtual Desk Self() = 0;
    // Whether a process of this machine still runs.
    virtual bool Running(long process) = 0;
};

// The real machine.
Desks& ThisMachine();

} // namespace vel
