#pragma once

// A file system of one file held in memory, for fuzz targets that read files.

#include "store/file_system.h"

#include <map>

namespace vel::fuzz {

class MemoryFileSystem final : public FileSystem {
public:
    std::map<std::string, ByteBuffer> files;

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
    void UnlockFile(int) override {}
};

} // namespace vel::fuzz
