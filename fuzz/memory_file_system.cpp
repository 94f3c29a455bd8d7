#include "memory_file_system.h"

namespace vel::fuzz {

namespace {
Error Missing(const std::string& path) { return MakeError(ErrorCode::Io, "no file '" + path + "'"); }
} // namespace

Result<std::vector<DirEntry>> MemoryFileSystem::ListDirectory(const std::string&)
{
    return std::vector<DirEntry>{};
}

Result<ByteBuffer> MemoryFileSystem::ReadFile(const std::string& path)
{
    const auto it = files.find(path);
    if (it == files.end()) return Missing(path);
    return it->second;
}

Status MemoryFileSystem::WriteFile(const std::string& path, std::span<const std::uint8_t> data, bool)
{
    files[path] = ByteBuffer(data.begin(), data.end());
    return Status::Ok();
}

Status MemoryFileSystem::Rename(const std::string& from, const std::string& to)
{
    const auto it = files.find(from);
    if (it == files.end()) return Missing(from);
    files[to] = std::move(it->second);
    files.erase(from);
    return Status::Ok();
}

Status MemoryFileSystem::Link(const std::string& existing, const std::string& newPath)
{
    const auto it = files.find(existing);
    if (it == files.end()) return Missing(existing);
    files[newPath] = it->second;
    return Status::Ok();
}

Status MemoryFileSystem::Remove(const std::string& path)
{
    return files.erase(path) != 0 ? Status::Ok() : Status(Missing(path));
}

Status MemoryFileSystem::MakeDirectory(const std::string&) { return Status::Ok(); }
Status MemoryFileSystem::RemoveDirectory(const std::string&) { return Status::Ok(); }
Status MemoryFileSystem::SyncDirectory(const std::string&) { return Status::Ok(); }

Result<FileInfo> MemoryFileSystem::Stat(const std::string& path)
{
    FileInfo info;
    const auto it = files.find(path);
    if (it == files.end()) return info;
    info.exists = true;
    info.size = it->second.size();
    return info;
}

Result<int> MemoryFileSystem::LockFile(const std::string&) { return 0; }

} // namespace vel::fuzz
