#include "store/file_system.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vel {

namespace {

Error SysError(const std::string& what, const std::string& path, int err)
{
    return MakeError(ErrorCode::Io, what + " '" + path + "': " + std::strerror(err));
}

FileInfo ToInfo(const struct stat& st)
{
    FileInfo info;
    info.exists = true;
    info.isDirectory = S_ISDIR(st.st_mode);
    info.size = static_cast<std::uint64_t>(st.st_size);
    return info;
}

constexpr std::size_t ReadChunk = 64 * 1024;

class PosixFileSystem final : public FileSystem {
public:
    Result<std::vector<DirEntry>> ListDirectory(const std::string& dir) override
    {
        DIR* d = ::opendir(dir.c_str());
        if (d == nullptr) return SysError("cannot list", dir, errno);
        std::vector<DirEntry> out;
        errno = 0;
        while (dirent* e = ::readdir(d)) {
            const char* name = e->d_name;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
            DirEntry entry;
            entry.name = name;
            if (e->d_type == DT_REG || e->d_type == DT_DIR) {
                entry.isRegularFile = e->d_type == DT_REG;
                entry.isDirectory = e->d_type == DT_DIR;
            } else {
                // Links and file systems that do not tell the type.
                struct stat st {};
                if (::stat(JoinPath(dir, entry.name).c_str(), &st) == 0) {
                    entry.isRegularFile = S_ISREG(st.st_mode);
                    entry.isDirectory = S_ISDIR(st.st_mode);
                }
            }
            out.push_back(std::move(entry));
            errno = 0;
        }
        const int err = errno;
        ::closedir(d);
        if (err != 0) return SysError("cannot list", dir, err);
        return out;
    }

    Result<ByteBuffer> ReadFile(const std::string& path) override
    {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return SysError("cannot open", path, errno);
        // The files of a project are small and many: each is read into one
        // reused buffer and then copied out at its exact size, which costs less
        // than asking the file system for the size first.
        thread_local std::vector<std::uint8_t> scratch;
        if (scratch.empty()) scratch.resize(ReadChunk);
        std::size_t done = 0;
        for (;;) {
            if (done == scratch.size()) scratch.resize(scratch.size() * 2);
            const ssize_t n = ::read(fd, scratch.data() + done, scratch.size() - done);
            if (n < 0) {
                if (errno == EINTR) continue;
                const int err = errno;
                ::close(fd);
                return SysError("cannot read", path, err);
            }
            if (n == 0) break;
            done += static_cast<std::size_t>(n);
        }
        ::close(fd);
        ByteBuffer data(scratch.begin(), scratch.begin() + static_cast<std::ptrdiff_t>(done));
        if (scratch.size() > 16 * ReadChunk) {
            // Do not hold on to the room a very large file needed.
            scratch.resize(ReadChunk);
            scratch.shrink_to_fit();
        }
        return data;
    }

    Status WriteFile(const std::string& path, std::span<const std::uint8_t> data, bool sync) override
    {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0) return SysError("cannot create", path, errno);
        std::size_t done = 0;
        while (done < data.size()) {
            const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
            if (n < 0) {
                if (errno == EINTR) continue;
                const int err = errno;
                ::close(fd);
                return SysError("cannot write", path, err);
            }
            done += static_cast<std::size_t>(n);
        }
        if (sync && ::fsync(fd) != 0) {
            const int err = errno;
            ::close(fd);
            return SysError("cannot flush", path, err);
        }
        if (::close(fd) != 0) return SysError("cannot close", path, errno);
        return Status::Ok();
    }

    Status Rename(const std::string& from, const std::string& to) override
    {
        if (::rename(from.c_str(), to.c_str()) != 0) return SysError("cannot rename", from + "' to '" + to, errno);
        return Status::Ok();
    }

    Status Link(const std::string& existing, const std::string& newPath) override
    {
        if (::link(existing.c_str(), newPath.c_str()) != 0)
            return SysError("cannot link", existing + "' as '" + newPath, errno);
        return Status::Ok();
    }

    Status Remove(const std::string& path) override
    {
        if (::unlink(path.c_str()) != 0) return SysError("cannot remove", path, errno);
        return Status::Ok();
    }

    Status MakeDirectory(const std::string& path) override
    {
        if (::mkdir(path.c_str(), 0755) != 0) return SysError("cannot create folder", path, errno);
        return Status::Ok();
    }

    Status RemoveDirectory(const std::string& path) override
    {
        if (::rmdir(path.c_str()) != 0) return SysError("cannot remove folder", path, errno);
        return Status::Ok();
    }

    Status SyncDirectory(const std::string& path) override
    {
        const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return SysError("cannot open folder", path, errno);
        if (::fsync(fd) != 0) {
            const int err = errno;
            ::close(fd);
            return SysError("cannot flush folder", path, err);
        }
        ::close(fd);
        return Status::Ok();
    }

    Result<FileInfo> Stat(const std::string& path) override
    {
        struct stat st {};
        FileInfo info;
        if (::stat(path.c_str(), &st) != 0) {
            if (errno == ENOENT || errno == ENOTDIR) return info;
            return SysError("cannot examine", path, errno);
        }
        return ToInfo(st);
    }

    Result<int> LockFile(const std::string& path) override
    {
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) return SysError("cannot open lock file", path, errno);
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int err = errno;
            ::close(fd);
            if (err == EWOULDBLOCK)
                return MakeError(ErrorCode::Busy, "another save is running (lock '" + path + "' is held)");
            return SysError("cannot lock", path, err);
        }
        return fd;
    }

    void UnlockFile(int handle) override
    {
        if (handle >= 0) ::close(handle);
    }
};

} // namespace

FileSystem& RealFileSystem()
{
    static PosixFileSystem fs;
    return fs;
}

bool FaultInjectingFileSystem::Step(const std::string& what, bool isRead)
{
    if (isRead && !m_countReads) return false;
    ++m_count;
    if (m_hook) m_hook(m_count, what);
    if (m_failAt <= 0) return false;
    return m_forever ? m_count >= m_failAt : m_count == m_failAt;
}

Error FaultInjectingFileSystem::Injected(const std::string& what) const
{
    return MakeError(ErrorCode::Io, "injected failure of operation " + std::to_string(m_count) + " (" + what + ")");
}

#define VEL_FAULT(what, isRead)                                                                    \
    do {                                                                                           \
        if (Step(what, isRead)) return Injected(what);                                             \
    } while (false)

Result<std::vector<DirEntry>> FaultInjectingFileSystem::ListDirectory(const std::string& dir)
{
    VEL_FAULT("list " + dir, true);
    return m_inner.ListDirectory(dir);
}

Result<ByteBuffer> FaultInjectingFileSystem::ReadFile(const std::string& path)
{
    VEL_FAULT("read " + path, true);
    return m_inner.ReadFile(path);
}

Status FaultInjectingFileSystem::WriteFile(const std::string& path, std::span<const std::uint8_t> data, bool sync)
{
    if (Step("write " + path, false)) {
        // A write that fails part-way leaves a partial file behind, as a full
        // disk would.
        (void)m_inner.WriteFile(path, data.first(data.size() / 2), false);
        return Injected("write " + path);
    }
    return m_inner.WriteFile(path, data, sync);
}

Status FaultInjectingFileSystem::Rename(const std::string& from, const std::string& to)
{
    VEL_FAULT("rename " + from, false);
    return m_inner.Rename(from, to);
}

Status FaultInjectingFileSystem::Link(const std::string& existing, const std::string& newPath)
{
    VEL_FAULT("link " + existing, false);
    return m_inner.Link(existing, newPath);
}

Status FaultInjectingFileSystem::Remove(const std::string& path)
{
    VEL_FAULT("remove " + path, false);
    return m_inner.Remove(path);
}

Status FaultInjectingFileSystem::MakeDirectory(const std::string& path)
{
    VEL_FAULT("mkdir " + path, false);
    return m_inner.MakeDirectory(path);
}

Status FaultInjectingFileSystem::RemoveDirectory(const std::string& path)
{
    VEL_FAULT("rmdir " + path, false);
    return m_inner.RemoveDirectory(path);
}

Status FaultInjectingFileSystem::SyncDirectory(const std::string& path)
{
    VEL_FAULT("sync " + path, false);
    return m_inner.SyncDirectory(path);
}

Result<FileInfo> FaultInjectingFileSystem::Stat(const std::string& path)
{
    VEL_FAULT("stat " + path, true);
    return m_inner.Stat(path);
}

Result<int> FaultInjectingFileSystem::LockFile(const std::string& path)
{
    VEL_FAULT("lock " + path, false);
    return m_inner.LockFile(path);
}

#undef VEL_FAULT

std::string JoinPath(const std::string& dir, const std::string& name)
{
    if (dir.empty()) return name;
    if (dir.back() == '/') return dir + name;
    return dir + "/" + name;
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
