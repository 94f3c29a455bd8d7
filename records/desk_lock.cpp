#include "records/desk_lock.h"

#include "base/line_escape.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <sstream>
#include <thread>
#include <utility>

namespace vel {

namespace {

constexpr const char* OwnerHeader = "VelNameChange lock 1";
constexpr std::uint64_t MaxOwnerBytes = 64 * 1024;
// How often a waiting save looks again.
constexpr std::int64_t PollMilliseconds = 200;
// A desk writes the owner file right after it made the lock's folder; a
// folder seen without one for this long belongs to a program that died in
// between. (Should a share stall a live desk that long, the check before its
// commit point finds the lock taken over and its save fails, unharmed.)
constexpr std::int64_t OwnerlessMilliseconds = 2000;

// A field of the owner file holds no line end.
std::string OneLine(std::string s)
{
    for (char& c : s)
        if (c == '\n' || c == '\r') c = ' ';
    return s;
}

// What the folder of a lock holds; an owner with only the folder's time when
// the owner file is missing (a desk taking it this moment, or one that died
// before it wrote the file) or cannot be read.
Result<std::optional<LockOwner>> ReadOwner(FileSystem& fs, FolderHandle work, const std::string& folderName)
{
    VEL_TRY_ASSIGN(const auto info, fs.StatAt(work, folderName));
    if (!info.exists()) return std::optional<LockOwner>();
    if (!info.isFolder())
        return MakeError(ErrorCode::NotPlainFile, "'" + folderName + "' is not a folder; move it out of the way");
    LockOwner unknown;
    unknown.since = info.modified;
    auto handle = fs.OpenFolderAt(work, folderName, false, {});
    if (!handle) {
        if (handle.error().code == ErrorCode::NotFound) return std::optional<LockOwner>();
        return handle.error();
    }
    Folder folder(fs, *handle);
    auto data = fs.ReadAt(folder.handle(), DeskLockOwnerFile, MaxOwnerBytes);
    if (!data) {
        if (data.error().code == ErrorCode::NotFound || data.error().code == ErrorCode::NotPlainFile)
            return std::optional<LockOwner>(unknown);
        return data.error();
    }
    auto owner = DecodeLockOwner(*data);
    return std::optional<LockOwner>(owner ? *owner : unknown);
}

Status RemoveLockFolder(FileSystem& fs, FolderHandle work, const std::string& folderName)
{
    // A share client may answer from its cache for a moment after the owner
    // file went (smbnetfs), so that the folder still seems to hold it: a few
    // tries, a little apart.
    Status removed;
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (attempt > 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
        {
            auto handle = fs.OpenFolderAt(work, folderName, false, {});
            if (!handle) return handle.error().code == ErrorCode::NotFound ? Status::Ok() : Status(handle.error());
            Folder folder(fs, *handle);
            VEL_TRY_ASSIGN(const auto info, fs.StatAt(folder.handle(), DeskLockOwnerFile));
            if (info.isRegular()) VEL_TRY(fs.RemoveAt(folder.handle(), DeskLockOwnerFile));
        }
        removed = fs.RemoveFolderAt(work, folderName);
        if (removed) return removed;
    }
    return removed;
}

// Lock folders released by their holders but not removed (a failure half
// way, a share that answered late) are no locks: whoever takes the lock next
// clears them away.
void ClearReleasedLocks(FileSystem& fs, FolderHandle work, const std::string& folderName)
{
    auto entries = fs.List(work);
    if (!entries) return;
    const std::string prefix = folderName + ".released-";
    for (const DirEntry& e : *entries)
        if (e.type == FileType::Folder && e.name.rfind(prefix, 0) == 0) (void)RemoveLockFolder(fs, work, e.name);
}

// A name of its own for a lock folder renamed away to be removed:
// "<name>.stale-<host>-<process>-<time>-<n>".
std::string AsideName(const std::string& folderName, const char* why, const Desk& self, const LockPolicy& policy)
{
    static std::atomic<unsigned> count{0};
    return folderName + "." + why + "-" + self.host + "-" + std::to_string(self.process) + "-" +
           std::to_string(policy.clock->Now()) + "-" + std::to_string(++count);
}

// The stale limit in seconds. Any number of minutes may be configured; past
// a century it means "never", and the product must not overflow.
std::int64_t StaleSeconds(const LockPolicy& policy)
{
    constexpr std::int64_t century = 100LL * 366 * 24 * 60;
    return std::clamp<std::int64_t>(policy.staleMinutes, 0, century) * 60;
}

// Whether a lock found is left by a program that died.
bool IsStale(const LockOwner& owner, const LockPolicy& policy, const Desk& self)
{
    if (owner.desk.host == self.host) {
        if (owner.desk.process == self.process) return true; // this program's own, left by an earlier save
        if (!policy.desks->Running(owner.desk.process)) return true;
    }
    return policy.clock->Now() - owner.since > StaleSeconds(policy);
}

// The word the command line's unlock takes for a lock: "receivers".
std::string UnlockWord(const std::string& name)
{
    std::string word = name;
    for (char& c : word)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return word;
}

std::string Busy(const std::string& name, const std::string& what, const std::optional<LockOwner>& owner)
{
    std::string text = "the " + what + " are being saved";
    if (owner && !owner->desk.host.empty())
        text += " by " + DescribeLockOwner(*owner);
    else if (owner)
        text += " by another desk since " + ReadableLocalTime(owner->since);
    return text + "; try again when that save has ended (if that program no longer runs, " + "'VelNameChange unlock " +
           UnlockWord(name) + "' removes its lock)";
}

// Who left a lock, as a sentence names them.
std::string LeftBy(const LockOwner& owner)
{
    return owner.desk.host.empty() ? std::string("another desk") : DescribeLockOwner(owner);
}

// Writes the owner file into the lock folder this desk just made, flushed
// with its folder, so that a lock whose name outlives a power cut still says
// whose it is. On failure the folder goes again.
Status WriteOwner(FileSystem& fs, FolderHandle work, const std::string& folderName, const LockOwner& owner,
                  const FileAttributes& fileAttributes)
{
    auto handle = fs.OpenFolderAt(work, folderName, false, {});
    Status written = handle ? Status::Ok() : Status(handle.error());
    if (handle) {
        Folder folder(fs, *handle);
        written = fs.CreateAt(folder.handle(), DeskLockOwnerFile, EncodeLockOwner(owner), fileAttributes);
        if (written) written = fs.SyncFolder(folder.handle());
    }
    if (!written) (void)RemoveLockFolder(fs, work, folderName);
    return written;
}

// Why a lock held by `owner` was not had in time. A stale lock that could
// not be taken over is told as what it is (a read-only mount, say), not as a
// save of a program that no longer runs.
Error NotHad(const std::string& name, const std::string& what, const LockOwner& owner,
             const std::optional<Error>& notTakenOver)
{
    if (notTakenOver)
        return MakeError(notTakenOver->code, "the lock of the " + what + " left by " + LeftBy(owner) +
                                                 " could not be taken over (" + notTakenOver->message + ")");
    return MakeError(ErrorCode::Busy, Busy(name, what, owner));
}

// Takes a lock judged stale away. It is renamed away first: only one desk
// can rename it, and what it renamed must be the lock it judged, not a fresh
// one (which is put back). True when it was renamed (taken over or put
// back); false when it could not be, with the reason in `notTakenOver`
// unless it was gone meanwhile (another desk took it over first).
Result<bool> TakeOverStale(FileSystem& fs, FolderHandle work, const std::string& folderName, const LockOwner& owner,
                           const std::string& what, const Desk& self, const LockPolicy& policy,
                           std::optional<Error>& notTakenOver)
{
    const std::string staleName = AsideName(folderName, "stale", self, policy);
    Status moved = fs.RenameAt(work, folderName, work, staleName);
    if (!moved) {
        if (moved.error().code != ErrorCode::NotFound) notTakenOver = moved.error();
        return false;
    }
    auto renamed = ReadOwner(fs, work, staleName);
    if (renamed && *renamed && **renamed == owner) {
        VEL_TRY(RemoveLockFolder(fs, work, staleName));
        if (policy.tell)
            policy.tell("A lock of the " + what + " left by " + LeftBy(owner) +
                        " was taken over: that program no longer runs.");
    } else {
        (void)fs.RenameAt(work, staleName, work, folderName);
    }
    return true;
}

} // namespace

std::string DescribeLockOwner(const LockOwner& owner)
{
    return owner.desk.user + " on " + owner.desk.host + " (process " + std::to_string(owner.desk.process) + ") since " +
           ReadableLocalTime(owner.since);
}

ByteBuffer EncodeLockOwner(const LockOwner& owner)
{
    const std::string text = std::string(OwnerHeader) + "\nuser " + OneLine(owner.desk.user) + "\nhost " +
                             OneLine(owner.desk.host) + "\nprocess " + std::to_string(owner.desk.process) + "\nsince " +
                             std::to_string(owner.since) + "\n";
    return ByteBuffer(text.begin(), text.end());
}

Result<LockOwner> DecodeLockOwner(const ByteBuffer& data)
{
    std::istringstream in(std::string(data.begin(), data.end()));
    std::string line;
    if (!std::getline(in, line) || line != OwnerHeader) return MakeError(ErrorCode::BadFormat, "not a lock");
    LockOwner owner;
    bool process = false;
    bool since = false;
    while (std::getline(in, line)) {
        const auto sp = line.find(' ');
        const std::string key = line.substr(0, sp);
        const std::string value = sp == std::string::npos ? std::string() : line.substr(sp + 1);
        if (key == "user") {
            owner.desk.user = value;
        } else if (key == "host") {
            owner.desk.host = value;
        } else if (key == "process" && DecimalColumn(value)) {
            owner.desk.process = static_cast<long>(*DecimalColumn(value));
            process = true;
        } else if (key == "since" && DecimalColumn(value)) {
            owner.since = *DecimalColumn(value);
            since = true;
        }
    }
    if (owner.desk.host.empty() || !process || !since) return MakeError(ErrorCode::BadFormat, "an incomplete lock");
    return owner;
}

DeskLock::~DeskLock()
{
    (void)Release();
}

DeskLock::DeskLock(DeskLock&& other) noexcept
    : m_fs(std::exchange(other.m_fs, nullptr)), m_work(other.m_work), m_name(std::move(other.m_name)),
      m_owner(std::move(other.m_owner))
{
}

DeskLock& DeskLock::operator=(DeskLock&& other) noexcept
{
    if (this != &other) {
        (void)Release();
        m_fs = std::exchange(other.m_fs, nullptr);
        m_work = other.m_work;
        m_name = std::move(other.m_name);
        m_owner = std::move(other.m_owner);
    }
    return *this;
}

Result<DeskLock> DeskLock::Take(FileSystem& fs, const Folder& work, const std::string& name, const std::string& what,
                                const LockPolicy& policy, const FileAttributes& folderAttributes,
                                const FileAttributes& fileAttributes)
{
    const std::string folderName = name + DeskLockSuffix;
    const Desk self = policy.desks->Self();
    using Steady = std::chrono::steady_clock;
    const auto deadline = Steady::now() + std::chrono::milliseconds(policy.waitMilliseconds);
    Steady::time_point ownerlessSince{};
    bool wasOwnerless = false;
    bool vanished = false;
    std::optional<Error> notTakenOver; // why a lock judged stale could not be taken over
    for (;;) {
        Status made = fs.MakeFolderAt(work.handle(), folderName, folderAttributes);
        if (made) {
            DeskLock lock;
            lock.m_owner.desk = self;
            lock.m_owner.since = policy.clock->Now();
            VEL_TRY(WriteOwner(fs, work.handle(), folderName, lock.m_owner, fileAttributes));
            lock.m_fs = &fs;
            lock.m_work = work.handle();
            lock.m_name = folderName;
            ClearReleasedLocks(fs, work.handle(), folderName);
            return lock;
        }
        if (made.error().code != ErrorCode::Exists) return made.error();

        VEL_TRY_ASSIGN(const auto owner, ReadOwner(fs, work.handle(), folderName));
        if (!owner) {
            // Released meanwhile: made again at once. A share client may go
            // on reporting a folder that another desk removed (sshfs keeps
            // names for up to 20 seconds), so that the make fails and the
            // folder is gone again, time after time: from the second time on
            // this waits like a held lock, and within the same limit.
            if (!vanished) {
                vanished = true;
                continue;
            }
            if (Steady::now() >= deadline) return MakeError(ErrorCode::Busy, Busy(name, what, std::nullopt));
            std::this_thread::sleep_for(std::chrono::milliseconds(PollMilliseconds));
            continue;
        }
        const bool ownerless = owner->desk.host.empty();
        if (ownerless && !wasOwnerless) ownerlessSince = Steady::now();
        wasOwnerless = ownerless;
        const bool stale = ownerless
                               ? Steady::now() - ownerlessSince >= std::chrono::milliseconds(OwnerlessMilliseconds) ||
                                     policy.clock->Now() - owner->since > StaleSeconds(policy)
                               : IsStale(*owner, policy, self);
        if (stale) {
            VEL_TRY_ASSIGN(const auto renamed,
                           TakeOverStale(fs, work.handle(), folderName, *owner, what, self, policy, notTakenOver));
            if (renamed) continue;
        }
        // A lock without its owner file is watched for its grace time even
        // by a start that does not wait, so that one left by a program that
        // died while taking it never blocks for good.
        const bool watching = ownerless &&
                              Steady::now() - ownerlessSince < std::chrono::milliseconds(OwnerlessMilliseconds);
        if (Steady::now() >= deadline && !watching)
            return NotHad(name, what, *owner, stale ? notTakenOver : std::nullopt);
        std::this_thread::sleep_for(std::chrono::milliseconds(PollMilliseconds));
    }
}

Status DeskLock::StillHeld() const
{
    if (m_fs == nullptr) return MakeError(ErrorCode::Busy, "the lock is not held");
    VEL_TRY_ASSIGN(const auto owner, ReadOwner(*m_fs, m_work, m_name));
    if (!owner || !(*owner == m_owner))
        return MakeError(ErrorCode::Busy, "another desk took over the lock of this save (" +
                                              (owner ? DescribeLockOwner(*owner) : std::string("now free")) + ")");
    return Status::Ok();
}

Status DeskLock::Release()
{
    if (m_fs == nullptr) return Status::Ok();
    FileSystem& fs = *std::exchange(m_fs, nullptr);
    VEL_TRY_ASSIGN(const auto owner, ReadOwner(fs, m_work, m_name));
    if (!owner || !(*owner == m_owner)) return Status::Ok(); // taken over: not ours to remove
    // Renamed away before it is emptied, so that a failure half way leaves a
    // lock with its owner (taken over as soon as this process is gone) or a
    // folder that is no lock, never a lock without an owner.
    const std::string aside = AsideName(m_name, "released", m_owner.desk, {});
    VEL_TRY(fs.RenameAt(m_work, m_name, m_work, aside));
    return RemoveLockFolder(fs, m_work, aside);
}

Result<std::optional<LockOwner>> ReadDeskLock(FileSystem& fs, const Folder& work, const std::string& name)
{
    return ReadOwner(fs, work.handle(), name + DeskLockSuffix);
}

Result<LockOwner> BreakDeskLock(FileSystem& fs, const Folder& work, const std::string& name, const std::string& what,
                                Desks& desks)
{
    const std::string folderName = name + DeskLockSuffix;
    VEL_TRY_ASSIGN(const auto owner, ReadOwner(fs, work.handle(), folderName));
    if (!owner) return MakeError(ErrorCode::NotFound, "nobody holds the lock of the " + what);
    const Desk self = desks.Self();
    const LockOwner& o = *owner;
    if (o.desk.host == self.host && o.desk.process != self.process && desks.Running(o.desk.process))
        return MakeError(ErrorCode::Busy, "the lock of the " + what + " is held by " + DescribeLockOwner(o) +
                                              ", which still runs on this machine");
    VEL_TRY(RemoveLockFolder(fs, work.handle(), folderName));
    return o;
}

} // namespace vel
