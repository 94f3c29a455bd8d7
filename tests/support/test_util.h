#pragma once

// Temporary folders, file and byte helpers, a recording log and server, and
// child processes that die or run as another user, for the tests.

#include "base/bytes.h"
#include "base/clock.h"
#include "base/file_system.h"
#include "base/server_command.h"
#include "base/texts.h"

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace vel::test {

// A fresh folder below the system's temporary folder, removed with its
// content when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return m_path; }
    std::string operator/(const std::string& rel) const { return m_path + "/" + rel; }

private:
    std::string m_path;
};

void WriteBytes(const std::string& path, const ByteBuffer& data);
ByteBuffer ReadBytes(const std::string& path);
bool Exists(const std::string& path);
void MakeDirs(const std::string& path);
// Every regular file below a folder (relative path -> content), hidden
// folders excluded unless asked for.
std::map<std::string, ByteBuffer> Snapshot(const std::string& folder, bool withHidden = false);
std::vector<std::string> Names(const std::string& folder);

// A log sink that keeps the lines.
struct LogRecorder {
    std::vector<std::string> lines;
    LogSink sink()
    {
        return [this](const std::string& line) { lines.push_back(line); };
    }
};

// Runs `body` in a child process that has dropped to the user nobody,
// member of the given groups, with the given umask; returns the child's exit
// status, or -1 when it did not exit normally.
int RunAsNobody(const std::vector<unsigned>& groups, unsigned umask, const std::function<int()>& body);

// Runs `save` in a child process (handed a counting file system) that dies
// at the first file operation after the one whose description starts with
// `after`; returns the child's exit status (9 when it was stopped there).
int KillAfterOperation(const std::string& after, const std::function<bool(FileSystem&)>& save);

// A version-4 receiver file of that name, every other field fixed.
ByteBuffer ReceiverFile(const std::string& name, int id = 0x0101);

// Records every command ("command<TAB>arg") instead of calling a library;
// fails, recording nothing, when asked to.
class RecordingServer : public ServerCommand {
public:
    Status SetCommandEntry(const std::string& command, std::int32_t arg) override;
    std::vector<std::string> commands;
    bool fail = false;
};

// A clock that stands where a test puts it.
class TestClock : public Clock {
public:
    explicit TestClock(std::int64_t now = 1796650000) : now(now) {}
    std::int64_t Now() override { return now; }
    std::int64_t now;
};

// A desk a test plays: who it is, and which of this machine's processes run.
class TestDesks : public Desks {
public:
    TestDesks(std::string user, std::string host, long process) : self{std::move(user), std::move(host), process} {}
    Desk Self() override { return self; }
    bool Running(long process) override { return running.count(process) != 0; }
    Desk self;
    std::set<long> running;
};

ByteBuffer Bytes(std::initializer_list<int> values);
ByteBuffer Concat(std::initializer_list<ByteBuffer> parts);
ByteBuffer I16(int v);
ByteBuffer Text(const std::string& s);

// The items each ended by a NUL, as a profile's receiver lists hold them.
std::string Nul(std::initializer_list<std::string> items);
// The lines of `text`, without their line ends.
std::vector<std::string> Lines(const std::string& text);

} // namespace vel::test
