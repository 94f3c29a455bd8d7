#include "tests/support/fault_injecting_file_system.h"

#include <string>

namespace vel {

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

#define VEL_FAULT(what, isRead)                                                                                        \
    do {                                                                                                               \
        if (Step(what, isRead)) return Injected(what);                                                                 \
    } while (false)

Result<FolderHandle> FaultInjectingFileSystem::OpenFolder(const std::string& path)
{
    VEL_FAULT("open folder " + path, true);
    return m_inner.OpenFolder(path);
}

Result<FolderHandle> FaultInjectingFileSystem::OpenFolderAt(FolderHandle dir, const std::string& name, bool create,
                                                            const FileAttributes& attributes)
{
    VEL_FAULT((create ? "make folder " : "open folder ") + name, !create);
    return m_inner.OpenFolderAt(dir, name, create, attributes);
}

Result<std::vector<DirEntry>> FaultInjectingFileSystem::List(FolderHandle dir)
{
    VEL_FAULT("list", true);
    return m_inner.List(dir);
}

Result<FileInfo> FaultInjectingFileSystem::StatAt(FolderHandle dir, const std::string& name)
{
    VEL_FAULT("stat " + name, true);
    return m_inner.StatAt(dir, name);
}

Result<FileInfo> FaultInjectingFileSystem::StatFolder(FolderHandle dir)
{
    VEL_FAULT("stat folder", true);
    return m_inner.StatFolder(dir);
}

Status FaultInjectingFileSystem::CheckWriteAccessAt(FolderHandle dir, const std::string& name)
{
    VEL_FAULT("access " + name, true);
    return m_inner.CheckWriteAccessAt(dir, name);
}

Result<ByteBuffer> FaultInjectingFileSystem::ReadAt(FolderHandle dir, const std::string& name, std::uint64_t maxBytes)
{
    VEL_FAULT("read " + name, true);
    return m_inner.ReadAt(dir, name, maxBytes);
}

Status FaultInjectingFileSystem::CreateAt(FolderHandle dir, const std::string& name, std::span<const std::uint8_t> data,
                                          const FileAttributes& attributes)
{
    if (Step("create " + name, false)) {
        // A write that fails part-way leaves a partial file behind, as a full
        // disk would.
        (void)m_inner.CreateAt(dir, name, data.first(data.size() / 2), attributes);
        return Injected("create " + name);
    }
    return m_inner.CreateAt(dir, name, data, attributes);
}

Status FaultInjectingFileSystem::CopyAt(FolderHandle fromDir, const std::string& from, FolderHandle toDir,
                                        const std::string& to, const FileAttributes& attributes)
{
    VEL_FAULT("copy " + from, false);
    return m_inner.CopyAt(fromDir, from, toDir, to, attributes);
}

Status FaultInjectingFileSystem::RenameAt(FolderHandle fromDir, const std::string& from, FolderHandle toDir,
                                          const std::string& to)
{
    VEL_FAULT("rename " + from, false);
    return m_inner.RenameAt(fromDir, from, toDir, to);
}

Status FaultInjectingFileSystem::LinkAt(FolderHandle fromDir, const std::string& from, FolderHandle toDir,
                                        const std::string& to)
{
    VEL_FAULT("link " + from, false);
    return m_inner.LinkAt(fromDir, from, toDir, to);
}

Status FaultInjectingFileSystem::RemoveAt(FolderHandle dir, const std::string& name)
{
    VEL_FAULT("remove " + name, false);
    return m_inner.RemoveAt(dir, name);
}

Status FaultInjectingFileSystem::MakeFolderAt(FolderHandle dir, const std::string& name,
                                              const FileAttributes& attributes)
{
    VEL_FAULT("make folder " + name, false);
    return m_inner.MakeFolderAt(dir, name, attributes);
}

Status FaultInjectingFileSystem::RemoveFolderAt(FolderHandle dir, const std::string& name)
{
    VEL_FAULT("remove folder " + name, false);
    return m_inner.RemoveFolderAt(dir, name);
}

Status FaultInjectingFileSystem::SyncFolder(FolderHandle dir)
{
    VEL_FAULT("sync", false);
    return m_inner.SyncFolder(dir);
}

Result<int> FaultInjectingFileSystem::LockAt(FolderHandle dir, const std::string& name,
                                             const FileAttributes& attributes)
{
    VEL_FAULT("lock " + name, false);
    return m_inner.LockAt(dir, name, attributes);
}

Result<std::string> FaultInjectingFileSystem::ResolvePath(const std::string& path)
{
    VEL_FAULT("resolve " + path, true);
    return m_inner.ResolvePath(path);
}

#undef VEL_FAULT

} // namespace vel
