#pragma once

// Reload commands for the running alarm server. The program does not talk to
// the server itself: it hands the command to the suite's run-time library,
// whose export SetCommandEntry queues it.

#include "base/result.h"

#include <cstdint>
#include <string>

namespace vel {

class ServerCommand {
public:
    virtual ~ServerCommand() = default;
    // Hands the command over; an error when it could not be handed over.
    virtual Status SetCommandEntry(const std::string& command, std::int32_t arg) = 0;
};

// The suite's run-time library, looked up on first use: the file named by the
// environment variable VELTRA2_LIBRARY; else libVeltra2.so beside the program;
// else the system's library search for libVeltra2.so. A missing library or
// export is an error (NotAvailable), reported on every call.
class Veltra2Library final : public ServerCommand {
public:
    Veltra2Library() = default;
    // Looks only at the given file (tests).
    explicit Veltra2Library(std::string path) : m_path(std::move(path)), m_fixedPath(true) {}
    ~Veltra2Library() override;
    Veltra2Library(const Veltra2Library&) = delete;
    Veltra2Library& operator=(const Veltra2Library&) = delete;

    Status SetCommandEntry(const std::string& command, std::int32_t arg) override;

private:
    Status Load();

    using EntryFn = std::int32_t (*)(const char*, std::int32_t);
    std::string m_path;
    bool m_fixedPath = false;
    void* m_handle = nullptr;
    EntryFn m_entry = nullptr;
};

} // namespace vel
