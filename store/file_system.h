#pragma once

// Every file operation of the program goes through this interface, so that
// tests can make the k-th operation fail (once or for ever) and a harness can
// stop the process at the k-th operation. Paths are plain POSIX paths.

#include "store/bytes.h"
#include "store/result.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace vel {

struct DirEntry {
    std::string name;
    bool isRegularFile = false;
    bool isDirectory = false;
};

struct FileInfo {
    bool exists = false;
    bool isDirectory = false;
    std::uint64_t size = 0;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // Names in a directory (without "." and ".."), in no particular order.
    virtual Result<std::vector<DirEntry>> ListDirectory(const std::string& dir) = 0;
    // The whole file.
    virtual Result<ByteBuffer> ReadFile(const std::string& path) = 0;
    // Creates or truncates the file and writes all of data; with sync the data
    // is flushed to stable storage before success is reported.
    virtual Status WriteFile(const std::string& path, std::span<const std::uint8_t> data, bool sync) = 0;
    // Atomically replaces `to` by `from` (same file system).
    virtual Status Rename(const std::string& from, const std::string& to) = 0;
    // A second name for an existing file (hard link).
    virtual Status Link(const std::string& existing, const std::string& newPath) = 0;
    virtual Status Remove(const std::string& path) = 0;
    virtual Status MakeDirectory(const std::string& path) = 0;
    virtual Status RemoveDirectory(const std::string& path) = 0;
    // Makes the directory's entries durable.
    virtual Status SyncDirectory(const std::string& path) = 0;
    // Never fails for a missing path: exists is false then.
    virtual Result<FileInfo> Stat(const std::string& path) = 0;
    // An exclusive advisory lock held until the returned handle is released
    // (UnlockFile). Busy when another process or handle holds it.
    virtual Result<int> LockFile(const std::string& path) = 0;
    virtual void UnlockFile(int handle) = 0;
};

// The operating system's file system.
FileSystem& RealFileSystem();

// Wraps another file system and fails chosen operations: the k-th counted
// operation (1-based) fails once, or it and every later one fail. Reads,
// listings and Stat are counted only when countReads is set. A hook can stop
// the process at the k-th operation (for kill tests).
class FaultInjectingFileSystem : public FileSystem {
public:
    explicit FaultInjectingFileSystem(FileSystem& inner) : m_inner(inner) {}

    void FailAt(long k, bool andAfter) { m_failAt = k; m_forever = andAfter; }
    void CountReads(bool on) { m_countReads = on; }
    void OnOperation(std::function<void(long k, const std::string& what)> hook) { m_hook = std::move(hook); }
    long operations() const { return m_count; }
    void Reset() { m_count = 0; m_failAt = 0; m_forever = false; }

    Result<std::vector<DirEntry>> ListDirectory(const std::string& dir) override;
    Result<ByteBuffer> ReadFile(const std::string& path) override;
    Status WriteFile(const std::string& path, std::span<const std::uint8_t> data, bool sync) override;
    Status Rename(const std::string& from, const std::string& to) override;
    Status Link(const std::string& existing, const std::string& newPath) override;
    Status Remove(const std::string& path) override;
    Status MakeDirectory(const std::string& path) override;
    Status RemoveDirectory(const std::string& path) override;
    Status SyncDirectory(const std::string& path) override;
    Result<FileInfo> Stat(const std::string& path) override;
    Result<int> LockFile(const std::string& path) override;
    void UnlockFile(int handle) override { m_inner.UnlockFile(handle); }

private:
    // True when the operation must fail.
    bool Step(const std::string& what, bool isRead);
    Error Injected(const std::string& what) const;

    FileSystem& m_inner;
    long m_count = 0;
    long m_failAt = 0;
    bool m_forever = false;
    bool m_countReads = false;
    std::function<void(long, const std::string&)> m_hook;
};

// Path helpers.
std::string JoinPath(const std::string& dir, const std::string& name);
// The directory that holds the running program.
std::string ExecutableDirectory();

} // namespace vel
