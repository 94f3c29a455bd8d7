#pragma once

// What the stores need from the program around them: the file layer, the
// project directory, the text table, the log sink, the server's library and
// the busy pointer. One instance per program run (or per test).

#include "base/file_system.h"
#include "records/project.h"
#include "records/save_transaction.h"
#include "base/server_command.h"
#include "base/texts.h"

#include <functional>
#include <string>

namespace vel {

struct StoreContext {
    FileSystem* fs = &RealFileSystem();
    std::string ProjectPath;
    const SuiteTexts* texts = nullptr;
    // The suite's own log lines (WriteLog).
    LogSink log = StandardErrorLog();
    ServerCommand* server = nullptr;
    // Every kind of record file of the project, for finishing interrupted
    // saves of any of them.
    std::vector<KindDescription> kinds;
    // Backups of a kind kept after a save (never fewer than the default).
    std::size_t keepBackups = DefaultKeptBackups;
    // The time, who saves where, and how the locks of other desks are met
    // (see SaveHooks).
    Clock* clock = &SystemClock();
    Desks* desks = &ThisMachine();
    std::int64_t lockWaitMilliseconds = DefaultLockWaitMilliseconds;
    std::int64_t staleLockMinutes = DefaultStaleLockMinutes;
    // Shows (true) and clears (false) the application's busy pointer.
    std::function<void(bool)> busy;
    // Plain sentences for an operator about the same events the log records
    // (a file converted at the next save, a profile saved under a new number,
    // an interrupted save finished). Empty by default: the window shows its
    // own messages.
    LogSink notice;

    AnsiText GetText(std::int32_t number) const;
    void WriteLog(const std::string& line) const;
    void Tell(const std::string& sentence) const;
    // The server and the operator, as a save transaction reaches them.
    SaveHooks Hooks() const;
    Status PostCommand(const std::string& command) const;
};

// Shows the busy pointer for the lifetime of the object.
class BusyPointer {
public:
    explicit BusyPointer(const StoreContext& ctx) : m_busy(ctx.busy)
    {
        if (m_busy) m_busy(true);
    }
    ~BusyPointer()
    {
        if (m_busy) m_busy(false);
    }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;

private:
    std::function<void(bool)> m_busy;
};

// A file that a load passed over, and why.
struct PassedOver {
    std::string file;
    std::string reason;
};

struct LoadReport {
    std::vector<PassedOver> passedOver;
    // What was done at start-up about saves that an earlier run left
    // unfinished, in sentences for the operator.
    std::vector<std::string> recovery;
    bool complete() const { return passedOver.empty(); }
};

// What became of a save: two results, one for the files and one for the
// server's reload, which is asked for only once the files are in place.
// Both start out ok: every way a save can fail sets `written`.
struct SaveReport {
    Status written;           // the new files are in place, or why nothing was written
    Status notify;            // the reload commands reached the server
    std::string backupFolder; // where the previous files were kept
    bool ok() const { return written.ok() && notify.ok(); }
};

// One save transaction over `kinds`, as every save runs it: the busy pointer,
// the locks, then the new sets from `sets` (called with the locks held, so
// that they may depend on the files on disk then; nothing is written before
// they are all made), the commit, then `saved` once the files are in place.
using MakeSets = std::function<Result<std::vector<std::vector<NamedFile>>>(SaveTransaction&)>;

// The sets of a transaction's kinds, in its order, moved (an initialiser
// list would copy every file).
template <class... Set>
std::vector<std::vector<NamedFile>> Sets(Set&&... set)
{
    std::vector<std::vector<NamedFile>> out;
    out.reserve(sizeof...(set));
    (out.push_back(std::forward<Set>(set)), ...);
    return out;
}
SaveReport RunSave(const StoreContext& ctx, std::vector<KindToSave> kinds, const MakeSets& sets,
                   const std::function<void()>& saved = {});

} // namespace vel
