#pragma once

// A lock that every desk of a shared project sees. flock is kept by each
// client of a share (smbnetfs, sshfs) to its own mount, so two machines
// saving through two mounts never see each other's flock. What every client
// sees is an entry the file system itself makes exclusively: the folder
// "<name>.held" in the work folder, made with mkdir (atomic on SMB, SFTP and
// FAT alike), holding a file "owner" that says who holds it (user, host,
// process) and since when.
//
// Such a lock outlives a program that dies. One of this machine whose
// process is gone is taken over at once; one of another machine only when
// it is older than the stale limit, or when the operator removes it
// (BreakDeskLock) after being shown whose it was. A lock being taken over is
// first renamed away and checked to be the one judged stale, so that two
// desks taking over at once never remove a fresh lock of a third.

#include "base/clock.h"
#include "base/file_system.h"
#include "base/result.h"
#include "base/texts.h"

#include <cstdint>
#include <optional>
#include <string>

namespace vel {

inline constexpr const char* DeskLockSuffix = ".held";
inline constexpr const char* DeskLockOwnerFile = "owner";

struct LockOwner {
    Desk desk;
    std::int64_t since = 0; // seconds since 1970-01-01 UTC
    bool operator==(const LockOwner& o) const
    {
        return desk.user == o.desk.user && desk.host == o.desk.host && desk.process == o.desk.process &&
               since == o.since;
    }
};

// "alice on desk-3 (process 4711) since 2026-12-07 10:15:00"
std::string DescribeLockOwner(const LockOwner& owner);

ByteBuffer EncodeLockOwner(const LockOwner& owner);
Result<LockOwner> DecodeLockOwner(const ByteBuffer& data);

// How a lock of another desk is met.
struct LockPolicy {
    Clock* clock = &SystemClock();
    Desks* desks = &ThisMachine();
    std::int64_t waitMilliseconds = 0; // how long to wait for another desk's save to end
    std::int64_t staleMinutes = 30;    // a lock of another machine older than this is taken over
    LogSink tell;                      // a lock taken over is told
};

// A held desk lock; given back with Release (or when the object goes).
class DeskLock {
public:
    DeskLock() = default;
    ~DeskLock();
    DeskLock(DeskLock&& other) noexcept;
    DeskLock& operator=(DeskLock&& other) noexcept;
    DeskLock(const DeskLock&) = delete;
    DeskLock& operator=(const DeskLock&) = delete;

    // Takes the lock `name` (a kind, "History") in the open work folder,
    // waiting as the policy says. `what` names what the lock guards in a
    // sentence ("receivers"). Busy, naming who holds it and since when, when
    // another desk holds it past the wait.
    static Result<DeskLock> Take(FileSystem& fs, const Folder& work, const std::string& name, const std::string& what,
                                 const LockPolicy& policy, const FileAttributes& folderAttributes,
                                 const FileAttributes& fileAttributes);

    bool held() const { return m_fs != nullptr; }
    // Whether the lock is still this one's (another desk may have taken it
    // over as stale): checked before a save's commit point.
    Status StillHeld() const;
    // Removes the lock, unless another desk has taken it over meanwhile.
    Status Release();

private:
    FileSystem* m_fs = nullptr;
    FolderHandle m_work = -1; // the work folder, held open by whoever took the lock
    std::string m_name;
    LockOwner m_owner;
};

// Who holds the desk lock `name`, if anybody; an owner file that cannot be
// read is an owner with nothing known but the folder's time.
Result<std::optional<LockOwner>> ReadDeskLock(FileSystem& fs, const Folder& work, const std::string& name);

// Removes the desk lock `name` for the operator, whoever holds it, and says
// whose it was. Refused (Busy) when a running process of this machine holds
// it; NotFound when nobody does.
Result<LockOwner> BreakDeskLock(FileSystem& fs, const Folder& work, const std::string& name, const std::string& what,
                                Desks& desks);

} // namespace vel
