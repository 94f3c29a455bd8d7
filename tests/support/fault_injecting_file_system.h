#pragma once

#include "base/file_system.h"

#include <functional>
#include <string>

namespace vel {

// Wraps another file system and fails chosen operations: the k-th counted
// operation (1-based) fails once, or it and every later one fail. Reads
// (listings, Stat, access checks, ReadAt, opening folders, resolving paths)
// are counted only when countReads is set. A hook can stop the process at the k-th operation (kill tests).
class FaultInjectingFileSystem : public FileSystem {
public:
    explicit FaultInjectingFileSystem(FileSystem& inner) : m_inner(inner) {}

    void FailAt(long k, bool andAfter)
    {
        m_failAt = k;
        m_forever = andAfter;
    }
    void CountReads(bool on) { m_countReads = on; }
    void OnOperation(std::function<void(long k, const std::string& what)> hook) { m_hook = std::move(hook); }
    // Closing a folder and releasing a lock never fail and are not counted;
    // this hook sees them, in their place among the counted operations.
    void OnRelease(std::function<void(const std::string& what)> hook) { m_releaseHook = std::move(hook); }
    long operations() const { return m_count; }
    void Reset()
    {
        m_count = 0;
        m_failAt = 0;
        m_forever = false;
    }

    Result<FolderHandle> OpenFolder(const std::string& path) override;
    Result<FolderHandle> OpenFolderAt(FolderHandle dir, const std::string& name, bool create,
                                      const FileAttributes& attributes) override;
    void CloseFolder(FolderHandle dir) override
    {
        if (m_releaseHook) m_releaseHook("close folder");
        m_inner.CloseFolder(dir);
    }
    Status MakeFolderAt(FolderHandle dir, const std::string& name, const FileAttributes& attributes) override;
    Result<std::vector<DirEntry>> List(FolderHandle dir) override;
    Result<FileInfo> StatAt(FolderHandle dir, const std::string& name) override;
    Result<FileInfo> StatFolder(FolderHandle dir) override;
    Status CheckWriteAccessAt(FolderHandle dir, const std::string& name) override;
    Result<ByteBuffer> ReadAt(FolderHandle dir, const std::string& name, std::uint64_t maxBytes) override;
    Status CreateAt(FolderHandle dir, const std::string& name, std::span<const std::uint8_t> data,
                    const FileAttributes& attributes) override;
    Status CopyAt(FolderHandle fromDir, const std::string& from, FolderHandle toDir, const std::string& to,
                  const FileAttributes& attributes) override;
    Status RenameAt(FolderHandle fromDir, const std::string& from, FolderHandle toDir, const std::string& to) override;
    Status LinkAt(FolderHandle fromDir, const std::string& from, FolderHandle toDir, const std::string& to) override;
    Status RemoveAt(FolderHandle dir, const std::string& name) override;
    Status RemoveFolderAt(FolderHandle dir, const std::string& name) override;
    Status SyncFolder(FolderHandle dir) override;
    Result<int> LockAt(FolderHandle dir, const std::string& name, const FileAttributes& attributes) override;
    void Unlock(int lock) override
    {
        if (m_releaseHook) m_releaseHook("unlock");
        m_inner.Unlock(lock);
    }
    Result<std::string> ResolvePath(const std::string& path) override;
    bool TakeAttributesNotKept() override { return m_inner.TakeAttributesNotKept(); }

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
    std::function<void(const std::string&)> m_releaseHook;
};

} // namespace vel
