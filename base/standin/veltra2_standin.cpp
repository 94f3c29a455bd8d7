// Stand-in for the suite's run-time library. The real library queues the
// command for the alarm server; this one appends "command<TAB>arg" as one line
// to the file named by VELTRA2_COMMAND_LOG, so tests and trial runs can see
// what the program posted.

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" __attribute__((visibility("default"))) std::int32_t SetCommandEntry(const char* command, std::int32_t arg)
{
    const char* path = std::getenv("VELTRA2_COMMAND_LOG");
    if (path == nullptr || *path == '\0') path = "veltra2-commands.log";
    std::FILE* f = std::fopen(path, "ab");
    if (f == nullptr) return -1;
    std::fprintf(f, "%s\t%d\n", command != nullptr ? command : "", static_cast<int>(arg));
    const bool ok = std::fclose(f) == 0;
    return ok ? 0 : -1;
}
