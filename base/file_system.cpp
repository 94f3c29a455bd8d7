#include "base/file_system.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vel {

namespace {

Error SysError(const std::string& what, const std::string& name, int err)
{
    const ErrorCode code = err == ENOENT ? ErrorCode::NotFound : err == EEXIST ? ErrorCode::Exists : ErrorCode::Io;
    return MakeError(code, what + " '" + name + "': " + std::strerror(err));
}

FileType TypeOf(mode_t mode)
{
    if (S_ISREG(mode)) return FileType::Regular;
    if (S_ISDIR(mode)) return FileType::Folder;
    if (S_ISLNK(mode)) return FileType::Link;
    return FileType::Other;
}

FileInfo ToInfo(const struct stat& st)
{
    FileInfo info;
    info.type = TypeOf(st.st_mode);
    info.size = static_cast<std::uint64_t>(st.st_size);
    info.mode = static_cast<std::uint32_t>(st.st_mode & 07777);
    info.owner = static_cast<std::uint32_t>(st.st_uid);
    info.group = static_cast<std::uint32_t>(st.st_gid);
    info.modified = static_cast<std::int64_t>(st.st_mtim.tv_sec);
    return info;
}

// What a name is, in words, for a refusal.
std::string KindOfEntry(mode_t mode)
{
    if (S_ISLNK(mode)) return "a symbolic link";
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a named pipe";
    if (S_ISSOCK(mode)) return "a socket";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    return "a regular file";
}

// A stat that asks the file system itself, not what its client remembers.
// A network client (sshfs, smbnetfs, NFS, cifs) keeps a file's attributes
// for a while; after another desk replaced the file, a plain stat gives the
// old size, and the kernel ends every read at that size: the load would see
// a cut-off file and pass it over. AT_STATX_FORCE_SYNC makes the client ask
// the server (a local disk answers as always). Where statx is missing the
// plain stat is all there is.
int FreshStat(int dir, const char* name, int flags, struct stat& st)
{
    struct statx sx {};
    if (::statx(dir, name, flags | AT_STATX_FORCE_SYNC,
                STATX_TYPE | STATX_MODE | STATX_UID | STATX_GID | STATX_SIZE | STATX_MTIME, &sx) != 0) {
        if (errno != ENOSYS && errno != EPERM) return -1; // EPERM: a sandbox that forbids statx
        return ::fstatat(dir, name, &st, flags);
    }
    st = {};
    st.st_mode = sx.stx_mode;
    st.st_uid = sx.stx_uid;
    st.st_gid = sx.stx_gid;
    st.st_size = static_cast<off_t>(sx.stx_size);
    st.st_mtim.tv_sec = static_cast<time_t>(sx.stx_mtime.tv_sec);
    st.st_mtim.tv_nsec = sx.stx_mtime.tv_nsec;
    return 0;
}

// Why an exclusive create (mkdir, O_CREAT|O_EXCL) failed. SFTP (version 3)
// has no status for a name that exists: the server answers a generic
// failure, which sshfs reports as EPERM; the kernel says EEXIST itself only
// when it already knew the name. Of two desks making one name at once, the
// one that lost must see EEXIST, or it fails where it should wait.
int ExclusiveCreateError(int dir, const char* name, int err)
{
    if (err == EEXIST || err == ENOENT || err == ENOTDIR) return err;
    struct stat st {};
    return ::fstatat(dir, name, &st, AT_SYMLINK_NOFOLLOW) == 0 ? EEXIST : err;
}

Error NotPlain(const std::string& name, const std::string& what)
{
    return MakeError(ErrorCode::NotPlainFile, "'" + name + "' is " + what);
}

class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0) ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }
    int release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    // Closes and reports what close says (a delayed write error).
    int close()
    {
        const int fd = release();
        return ::close(fd);
    }

private:
    int m_fd;
};

// Set when a file system refused modes, owners or groups because it keeps
// none (TakeAttributesNotKept).
std::atomic<bool> g_attributesNotKept{false};

// Whether a failed chmod or chown says that the file system keeps no such
// thing, rather than that the running user may not change it: FAT answers
// EPERM (ENOSYS through FUSE), a share without Unix extensions EOPNOTSUPP.
// Only called for files and folders the running user owns, where EPERM
// cannot mean a lack of rights.
bool KeepsNoAttributes(int err)
{
    return err == ENOSYS || err == EOPNOTSUPP || err == ENOTSUP || err == EPERM;
}

// Gives a file another owner or group where the running user may; false
// where it may not (which is no error: the file keeps what it has).
bool TryChown(int fd, uid_t owner, gid_t group)
{
    if (::fchown(fd, owner, group) == 0) return true;
    if (errno == ENOSYS || errno == EOPNOTSUPP || errno == ENOTSUP) g_attributesNotKept = true;
    return false;
}

// The permission bits of a file or folder of the running user's own; a file
// system that keeps none is no error.
Status TryChmod(int fd, const std::string& name, mode_t mode)
{
    if (::fchmod(fd, mode) == 0) return Status::Ok();
    const int err = errno;
    if (KeepsNoAttributes(err)) {
        g_attributesNotKept = true;
        return Status::Ok();
    }
    return SysError("cannot set the mode of", name, err);
}

// Owner and group first (a change of owner may clear set-id bits), then the
// bits. What the running user may not set is left as it is.
Status ApplyAttributes(int fd, const std::string& name, const FileAttributes& a)
{
    const uid_t owner = a.owner ? static_cast<uid_t>(*a.owner) : static_cast<uid_t>(-1);
    const gid_t group = a.group ? static_cast<gid_t>(*a.group) : static_cast<gid_t>(-1);
    if ((a.owner || a.group) && !TryChown(fd, owner, group) && a.owner && a.group)
        TryChown(fd, static_cast<uid_t>(-1), group);
    return TryChmod(fd, name, static_cast<mode_t>(a.mode & 07777));
}

Status WriteAll(int fd, const std::string& name, std::span<const std::uint8_t> data)
{
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return SysError("cannot write", name, errno);
        }
        done += static_cast<std::size_t>(n);
    }
    return Status::Ok();
}

Status FlushAndClose(Descriptor& fd, const std::string& name)
{
    if (::fsync(fd.get()) != 0) return SysError("cannot flush", name, errno);
    if (fd.close() != 0) return SysError("cannot close", name, errno);
    return Status::Ok();
}

// Opens a plain file for reading: no link followed, no wait on a pipe, a
// regular file of at most maxBytes.
Result<int> OpenPlainForReading(int dir, const std::string& name, std::uint64_t maxBytes, struct stat& st)
{
    const int fd = ::openat(dir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        if (err == ELOOP) return NotPlain(name, "a symbolic link, not a plain file");
        return SysError("cannot open", name, err);
    }
    Descriptor guard(fd);
    if (FreshStat(fd, "", AT_EMPTY_PATH, st) != 0) return SysError("cannot examine", name, errno);
    if (!S_ISREG(st.st_mode)) return NotPlain(name, KindOfEntry(st.st_mode) + ", not a plain file");
    if (static_cast<std::uint64_t>(st.st_size) > maxBytes)
        return NotPlain(name, std::to_string(st.st_size) + " bytes long, more than the " + std::to_string(maxBytes) +
                                  " bytes such a file can hold");
    return guard.release();
}

class PosixFileSystem final : public FileSystem {
public:
    Result<FolderHandle> OpenFolder(const std::string& path) override
    {
        const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return SysError("cannot open folder", path, errno);
        return fd;
    }

    Result<FolderHandle> OpenFolderAt(FolderHandle dir, const std::string& name, bool create,
                                      const FileAttributes& attributes) override
    {
        constexpr int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
        int fd = ::openat(dir, name.c_str(), flags);
        if (fd < 0 && errno == ENOENT && create) {
            if (::mkdirat(dir, name.c_str(), 0700) != 0) {
                const int err = ExclusiveCreateError(dir, name.c_str(), errno);
                if (err != EEXIST) return SysError("cannot make folder", name, err);
            }
            fd = ::openat(dir, name.c_str(), flags);
            if (fd >= 0) {
                Descriptor guard(fd);
                VEL_TRY(ApplyAttributes(fd, name, attributes));
                return guard.release();
            }
        }
        if (fd < 0) {
            const int err = errno;
            struct stat st {};
            if ((err == ELOOP || err == ENOTDIR) && ::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
                return NotPlain(name, KindOfEntry(st.st_mode) + ", not a folder");
            return SysError("cannot open folder", name, err);
        }
        Descriptor guard(fd);
        if (create) VEL_TRY(Widen(fd, name, attributes));
        return guard.release();
    }

    void CloseFolder(FolderHandle dir) override
    {
        if (dir >= 0) ::close(dir);
    }

    Status MakeFolderAt(FolderHandle dir, const std::string& name, const FileAttributes& attributes) override
    {
        // mkdir is decided by the server on every share: of two clients
        // making one name, one gets EEXIST.
        if (::mkdirat(dir, name.c_str(), 0700) != 0)
            return SysError("cannot make folder", name, ExclusiveCreateError(dir, name.c_str(), errno));
        Descriptor fd(::openat(dir, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (fd.get() < 0) return SysError("cannot open folder", name, errno);
        return ApplyAttributes(fd.get(), name, attributes);
    }

    Result<std::vector<DirEntry>> List(FolderHandle dir) override
    {
        // A description of its own, so that listings never share a position.
        const int fd = ::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return SysError("cannot list", ".", errno);
        DIR* d = ::fdopendir(fd);
        if (d == nullptr) {
            const int err = errno;
            ::close(fd);
            return SysError("cannot list", ".", err);
        }
        std::vector<DirEntry> out;
        errno = 0;
        while (dirent* e = ::readdir(d)) {
            const char* name = e->d_name;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
            DirEntry entry;
            entry.name = name;
            switch (e->d_type) {
            case DT_REG:
                entry.type = FileType::Regular;
                break;
            case DT_DIR:
                entry.type = FileType::Folder;
                break;
            case DT_LNK:
                entry.type = FileType::Link;
                break;
            case DT_UNKNOWN: {
                struct stat st {};
                entry.type = ::fstatat(::dirfd(d), name, &st, AT_SYMLINK_NOFOLLOW) == 0 ? TypeOf(st.st_mode)
                                                                                        : FileType::Other;
                break;
            }
            default:
                entry.type = FileType::Other;
                break;
            }
            out.push_back(std::move(entry));
            errno = 0;
        }
        const int err = errno;
        ::closedir(d);
        if (err != 0) return SysError("cannot list", ".", err);
        return out;
    }

    Result<FileInfo> StatAt(FolderHandle dir, const std::string& name) override
    {
        struct stat st {};
        if (FreshStat(dir, name.c_str(), AT_SYMLINK_NOFOLLOW, st) != 0) {
            if (errno == ENOENT) return FileInfo{};
            return SysError("cannot examine", name, errno);
        }
        return ToInfo(st);
    }

    Result<FileInfo> StatFolder(FolderHandle dir) override
    {
        struct stat st {};
        if (::fstat(dir, &st) != 0) return SysError("cannot examine", "folder", errno);
        return ToInfo(st);
    }

    Status CheckWriteAccessAt(FolderHandle dir, const std::string& name) override
    {
        // The effective user's rights, as an open for writing would check them.
        if (::faccessat(dir, name.c_str(), W_OK, AT_EACCESS) != 0) return SysError("cannot write", name, errno);
        return Status::Ok();
    }

    Result<ByteBuffer> ReadAt(FolderHandle dir, const std::string& name, std::uint64_t maxBytes) override
    {
        struct stat st {};
        VEL_TRY_ASSIGN(const auto opened, OpenPlainForReading(dir, name, maxBytes, st));
        Descriptor fd(opened);
        // Sized from the file, then read until the end: a file that grows
        // meanwhile is read whole, up to the bound.
        ByteBuffer data(static_cast<std::size_t>(st.st_size) + 1);
        std::size_t done = 0;
        for (;;) {
            if (done == data.size()) {
                if (done > maxBytes) return NotPlain(name, "more than " + std::to_string(maxBytes) + " bytes long");
                data.resize(data.size() * 2);
            }
            const ssize_t n = ::read(fd.get(), data.data() + done, data.size() - done);
            if (n < 0) {
                if (errno == EINTR) continue;
                return SysError("cannot read", name, errno);
            }
            if (n == 0) break;
            done += static_cast<std::size_t>(n);
        }
        if (done > maxBytes) return NotPlain(name, "more than " + std::to_string(maxBytes) + " bytes long");
        data.resize(done);
        return data;
    }

    Status CreateAt(FolderHandle dir, const std::string& name, std::span<const std::uint8_t> data,
                    const FileAttributes& attributes) override
    {
        Descriptor fd(::openat(dir, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (fd.get() < 0) return SysError("cannot create", name, ExclusiveCreateError(dir, name.c_str(), errno));
        VEL_TRY(WriteAll(fd.get(), name, data));
        VEL_TRY(ApplyAttributes(fd.get(), name, attributes));
        return FlushAndClose(fd, name);
    }

    Status CopyAt(FolderHandle fromDir, const std::string& from, FolderHandle toDir, const std::string& to,
                  const FileAttributes& attributes) override
    {
        struct stat st {};
        VEL_TRY_ASSIGN(const auto opened, OpenPlainForReading(fromDir, from, UINT64_MAX, st));
        Descriptor in(opened);
        Descriptor out(::openat(toDir, to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (out.get() < 0) return SysError("cannot create", to, ExclusiveCreateError(toDir, to.c_str(), errno));
        std::vector<std::uint8_t> chunk(256 * 1024);
        for (;;) {
            const ssize_t n = ::read(in.get(), chunk.data(), chunk.size());
            if (n < 0) {
                if (errno == EINTR) continue;
                return SysError("cannot read", from, errno);
            }
            if (n == 0) break;
            VEL_TRY(WriteAll(out.get(), to, std::span<const std::uint8_t>(chunk.data(), static_cast<std::size_t>(n))));
        }
        VEL_TRY(ApplyAttributes(out.get(), to, attributes));
        return FlushAndClose(out, to);
    }

    Status RenameAt(FolderHandle fromDir, const std::string& from, FolderHandle toDir, const std::string& to) override
    {
        if (::renameat(fromDir, from.c_str(), toDir, to.c_str()) != 0)
            return SysError("cannot rename", from + "' to '" + to, errno);
        return Status::Ok();
    }

    Status LinkAt(FolderHandle fromDir, const std::string& from, FolderHandle toDir, const std::string& to) override
    {
        if (::linkat(fromDir, from.c_str(), toDir, to.c_str(), 0) != 0)
            return SysError("cannot link", from + "' as '" + to, errno);
        return Status::Ok();
    }

    Status RemoveAt(FolderHandle dir, const std::string& name) override
    {
        if (::unlinkat(dir, name.c_str(), 0) != 0) return SysError("cannot remove", name, errno);
        return Status::Ok();
    }

    Status RemoveFolderAt(FolderHandle dir, const std::string& name) override
    {
        if (::unlinkat(dir, name.c_str(), AT_REMOVEDIR) != 0) return SysError("cannot remove folder", name, errno);
        return Status::Ok();
    }

    Status SyncFolder(FolderHandle dir) override
    {
        if (::fsync(dir) != 0) return SysError("cannot flush", "folder", errno);
        return Status::Ok();
    }

    Result<int> LockAt(FolderHandle dir, const std::string& name, const FileAttributes& attributes) override
    {
        // Read access is enough for flock, so a lock file made by another
        // member of the project's group serves everyone who can read it.
        int raw = ::openat(dir, name.c_str(), O_RDONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        const bool made = raw >= 0;
        if (!made) {
            const int err = ExclusiveCreateError(dir, name.c_str(), errno);
            if (err != EEXIST) return SysError("cannot open lock file", name, err);
            struct stat st {};
            VEL_TRY_ASSIGN(const auto opened, OpenPlainForReading(dir, name, UINT64_MAX, st));
            raw = opened;
        }
        Descriptor fd(raw);
        VEL_TRY(made ? ApplyAttributes(fd.get(), name, attributes) : Widen(fd.get(), name, attributes));
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
            if (errno == EWOULDBLOCK) return MakeError(ErrorCode::Busy, "the lock '" + name + "' is held");
            return SysError("cannot lock", name, errno);
        }
        return fd.release();
    }

    void Unlock(int lock) override
    {
        if (lock >= 0) ::close(lock);
    }

    bool TakeAttributesNotKept() override { return g_attributesNotKept.exchange(false); }

    Result<std::string> ResolvePath(const std::string& path) override
    {
        // Links are followed one by one, so that a link whose target does not
        // exist yet resolves to that target; the folder part is resolved last.
        std::string current = path;
        for (int hops = 0;; ++hops) {
            struct stat st {};
            if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
            if (hops == 40) return SysError("cannot resolve", path, ELOOP);
            std::vector<char> target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : PATH_MAX) + 1);
            const ssize_t n = ::readlink(current.c_str(), target.data(), target.size());
            if (n < 0) return SysError("cannot resolve", current, errno);
            std::string next(target.data(), static_cast<std::size_t>(n));
            current = (!next.empty() && next.front() == '/') ? next : JoinPath(SplitPath(current).first, next);
        }
        const auto [folder, last] = SplitPath(current);
        char buf[PATH_MAX];
        if (::realpath(folder.c_str(), buf) == nullptr) return SysError("cannot resolve", folder, errno);
        if (last == "." || last == "..") {
            if (::realpath(current.c_str(), buf) == nullptr) return SysError("cannot resolve", current, errno);
            return std::string(buf);
        }
        return JoinPath(buf, last);
    }

private:
    // An existing folder or file of the running user's own gains the bits
    // and the group asked for; one of somebody else's is left as it is.
    static Status Widen(int fd, const std::string& name, const FileAttributes& a)
    {
        struct stat st {};
        if (::fstat(fd, &st) != 0) return SysError("cannot examine", name, errno);
        if (st.st_uid != ::geteuid()) return Status::Ok();
        if (a.group && st.st_gid != static_cast<gid_t>(*a.group))
            TryChown(fd, static_cast<uid_t>(-1), static_cast<gid_t>(*a.group));
        const mode_t wanted = (st.st_mode & 07777) | static_cast<mode_t>(a.mode & 07777);
        if (wanted != (st.st_mode & 07777)) return TryChmod(fd, name, wanted);
        return Status::Ok();
    }
};

} // namespace

FileSystem& RealFileSystem()
{
    static PosixFileSystem fs;
    return fs;
}

Result<Folder> OpenFolder(FileSystem& fs, const std::string& path)
{
    VEL_TRY_ASSIGN(const auto handle, fs.OpenFolder(path));
    return Folder(fs, handle);
}

Result<Folder> OpenFolderAt(FileSystem& fs, const Folder& dir, const std::string& name, bool create,
                            const FileAttributes& attributes)
{
    VEL_TRY_ASSIGN(const auto handle, fs.OpenFolderAt(dir.handle(), name, create, attributes));
    return Folder(fs, handle);
}

namespace {

// The longest name of a folder entry the usual file systems take.
constexpr std::size_t MaxNameBytes = 255;

// 48 bits drawn afresh for every name, so that processes forked from one
// another, and two programs saving at once, draw different names.
std::string UniqueSuffix()
{
    std::uint64_t bits = 0;
    if (::getrandom(&bits, sizeof bits, 0) != static_cast<ssize_t>(sizeof bits)) {
        // No random source: the process and a counter still tell saves apart;
        // a name that is taken all the same is passed over by the caller.
        static std::atomic<unsigned> counter{0};
        bits = (static_cast<std::uint64_t>(::getpid()) << 16) ^ ++counter;
    }
    char buf[16];
    std::snprintf(buf, sizeof buf, "%012llx", static_cast<unsigned long long>(bits & 0xFFFFFFFFFFFFull));
    return buf;
}

// ".NAME.<hex>.tmp", NAME shortened where the whole would be too long a name.
std::string TemporaryName(const std::string& name)
{
    const std::string suffix = "." + UniqueSuffix() + ".tmp";
    return "." + name.substr(0, MaxNameBytes - 1 - suffix.size()) + suffix;
}

// Some file systems never rename over an existing file (FAT through FUSE:
// EEXIST).
// There the old file steps aside under a temporary name of its own first,
// the new one takes the name, and only then does the old one go; should the
// new one not take the name, the old one takes it back. A cut between the
// steps leaves both contents in the folder under temporary names, never
// neither.
Status ReplaceWithoutRenameOver(FileSystem& fs, FolderHandle dir, const std::string& temporary, const std::string& name,
                                const Error& refused)
{
    if (refused.code != ErrorCode::Exists) return refused;
    auto there = fs.StatAt(dir, name);
    auto staged = fs.StatAt(dir, temporary);
    if (!there || !there->isRegular() || !staged || !staged->isRegular()) return refused;
    const std::string aside = TemporaryName(name);
    if (!fs.RenameAt(dir, name, dir, aside)) return refused;
    Status moved = fs.RenameAt(dir, temporary, dir, name);
    if (!moved) {
        (void)fs.RenameAt(dir, aside, dir, name);
        return refused;
    }
    (void)fs.RemoveAt(dir, aside);
    return Status::Ok();
}

} // namespace

Status ReplaceFileAt(FileSystem& fs, FolderHandle dir, const std::string& name, std::span<const std::uint8_t> data,
                     const FileAttributes& attributes)
{
    // A name that is taken belongs to somebody else (another program's file,
    // the temporary of another save): it is never touched, another is drawn.
    std::string temporary;
    Status written;
    for (int attempt = 0; attempt < 16; ++attempt) {
        temporary = TemporaryName(name);
        written = fs.CreateAt(dir, temporary, data, attributes);
        if (written || written.error().code != ErrorCode::Exists) break;
    }
    if (!written && written.error().code == ErrorCode::Exists) return written;
    if (written) {
        written = fs.RenameAt(dir, temporary, dir, name);
        if (!written) written = ReplaceWithoutRenameOver(fs, dir, temporary, name, written.error());
    }
    if (!written) {
        (void)fs.RemoveAt(dir, temporary);
        return written;
    }
    Status synced = fs.SyncFolder(dir);
    if (!synced)
        return MakeError(synced.error().code, "'" + name + "' holds the new content, but its folder was not flushed: " +
                                                  synced.error().message);
    return Status::Ok();
}

Result<ByteBuffer> ReadNamedFile(FileSystem& fs, const std::string& path, std::uint64_t maxBytes)
{
    VEL_TRY_ASSIGN(const auto target, fs.ResolvePath(path));
    const auto [dir, name] = SplitPath(target);
    VEL_TRY_ASSIGN(const auto folder, OpenFolder(fs, dir));
    return fs.ReadAt(folder.handle(), name, maxBytes);
}

FileAttributes AttributesOf(const FileInfo& info)
{
    FileAttributes a;
    a.mode = info.mode;
    a.owner = info.owner;
    a.group = info.group;
    return a;
}

FileAttributes DefaultAttributes()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    FileAttributes a;
    a.mode = 0666 & ~static_cast<std::uint32_t>(mask);
    return a;
}

bool IsPlainName(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

std::string JoinPath(const std::string& dir, const std::string& name)
{
    if (dir.empty()) return name;
    if (dir.back() == '/') return dir + name;
    return dir + "/" + name;
}

std::pair<std::string, std::string> SplitPath(const std::string& path)
{
    std::string p = path;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    const auto slash = p.rfind('/');
    if (slash == std::string::npos) return {".", p};
    if (slash == 0) return {"/", p.substr(1)};
    return {p.substr(0, slash), p.substr(slash + 1)};
}

std::string ExecutableDirectory()
{
    char buf[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return ".";
    std::string path(buf, static_cast<std::size_t>(n));
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

} // namespace vel
