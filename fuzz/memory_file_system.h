#pragma once

// A file system held in memory, for fuzz targets that read and write files.
// It has no links; folders exist as soon as they are named.

#include "base/file_system.h"

#include <map>

namespace vel::fuzz {

class MemoryFileSystem final : public FileSystem {
public:
    // Files by path ("dir/name"; a bare name lies in ".").
    std::map<std::string, ByteBuffer> files;

    Result<FolderHandle> OpenFolder(const std::string& path) override;
    Result<FolderHandle> OpenFolderAt(FolderHandle dir, const std::string& name, bool create,
                                      const FileAttributes& attributes) override;
    void CloseFolder(FolderHandle) override {}
    Status MakeFolderAt(FolderHandle, const std::string&, const FileAttributes&) override { return Status::Ok(); }
    Result<std::vector<DirEntry>> List(FolderHandle dir) override;
    Result<FileInfo> StatAt(FolderHandle dir, const std::string& name) override;
    Result<FileInfo> StatFolder(FolderHandle dir) override;
    Status CheckWriteAccessAt(FolderHandle, const std::string&) override { return Status::Ok(); }
    Result<ByteBuffer> ReadAt(FolderHandle dir, const std::string& name, std::uint64_t maxBytes) override;
    Status CreateAt(FolderHandle dir, const std::string& name, std::span<const std::uint8_t> data,
                    const FileAttributes& attributes) override;
    Status CopyAt(FolderHandle fromDir, const std::string& from, FolderHandle toDir, const std::string& to,
                  const FileAttributes& attributes) override;
    Status RenameAt(FolderHandle fromDir, const std::string& from, FolderHandle toDir, const std::string& to) override;
    Status LinkAt(FolderHandle fromDir, const std::string& from, FolderHandle toDir, const std::string& to) override;
    Status RemoveAt(FolderHandle dir, const std::string& name) override;
    Status RemoveFolderAt(FolderHandle dir, const std::string& name) override;
    Status SyncFolder(FolderHandle) override { return Status::Ok(); }
    Result<int> LockAt(FolderHandle, const std::string&, const FileAttributes&) override { return 0; }
    void Unlock(int) override {}
    Result<std::string> ResolvePath(const std::string& path) override { return path; }
    bool TakeAttributesNotKept() override { return false; }

private:
    std::string PathOf(FolderHandle dir, const std::string& name) const;
    std::vector<std::string> m_folders;
};

} // namespace vel::fuzz
