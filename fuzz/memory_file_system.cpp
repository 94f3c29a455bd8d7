#include "fuzz/memory_file_system.h"

namespace vel::fuzz {

namespace {
Error Missing(const std::string& path)
{
    return MakeError(ErrorCode::NotFound, "no file '" + path + "'");
}
} // namespace

std::string MemoryFileSystem::PathOf(FolderHandle dir, const std::string& name) const
{
    const std::string& folder = m_folders.at(static_cast<std::size_t>(dir));
    return folder == "." ? name : folder + "/" + name;
}

Result<FolderHandle> MemoryFileSystem::OpenFolder(const std::string& path)
{
    m_folders.push_back(path);
    return static_cast<FolderHandle>(m_folders.size() - 1);
}

Result<FolderHandle> MemoryFileSystem::OpenFolderAt(FolderHandle dir, const std::string& name, bool,
                                                    const FileAttributes&)
{
    return OpenFolder(PathOf(dir, name));
}

Result<std::vector<DirEntry>> MemoryFileSystem::List(FolderHandle dir)
{
    std::vector<DirEntry> out;
    const std::string prefix = PathOf(dir, "");
    for (const auto& [path, data] : files) {
        if (path.rfind(prefix, 0) == 0 && path.find('/', prefix.size()) == std::string::npos)
            out.push_back({path.substr(prefix.size()), FileType::Regular});
    }
    return out;
}

Result<FileInfo> MemoryFileSystem::StatAt(FolderHandle dir, const std::string& name)
{
    FileInfo info;
    const auto it = files.find(PathOf(dir, name));
    if (it == files.end()) return info;
    info.type = FileType::Regular;
    info.size = it->second.size();
    info.mode = 0644;
    return info;
}

Result<FileInfo> MemoryFileSystem::StatFolder(FolderHandle)
{
    FileInfo info;
    info.type = FileType::Folder;
    info.mode = 0755;
    return info;
}

Result<ByteBuffer> MemoryFileSystem::ReadAt(FolderHandle dir, const std::string& name, std::uint64_t maxBytes)
{
    const auto it = files.find(PathOf(dir, name));
    if (it == files.end()) return Missing(name);
    if (it->second.size() > maxBytes) return MakeError(ErrorCode::NotPlainFile, "'" + name + "' is too large");
    return it->second;
}

Status MemoryFileSystem::CreateAt(FolderHandle dir, const std::string& name, std::span<const std::uint8_t> data,
                                  const FileAttributes&)
{
    const std::string path = PathOf(dir, name);
    if (files.count(path) != 0) return MakeError(ErrorCode::Exists, "'" + name + "' exists");
    files[path] = ByteBuffer(data.begin(), data.end());
    return Status::Ok();
}

Status MemoryFileSystem::CopyAt(FolderHandle fromDir, const std::string& from, FolderHandle toDir,
                                const std::string& to, const FileAttributes& attributes)
{
    const auto it = files.find(PathOf(fromDir, from));
    if (it == files.end()) return Missing(from);
    const ByteBuffer copy = it->second;
    return CreateAt(toDir, to, copy, attributes);
}

Status MemoryFileSystem::RenameAt(FolderHandle fromDir, const std::string& from, FolderHandle toDir,
                                  const std::string& to)
{
    const auto it = files.find(PathOf(fromDir, from));
    if (it == files.end()) return Missing(from);
    ByteBuffer data = std::move(it->second);
    files.erase(it);
    files[PathOf(toDir, to)] = std::move(data);
    return Status::Ok();
}

Status MemoryFileSystem::LinkAt(FolderHandle fromDir, const std::string& from, FolderHandle toDir,
                                const std::string& to)
{
    return CopyAt(fromDir, from, toDir, to, {});
}

Status MemoryFileSystem::RemoveAt(FolderHandle dir, const std::string& name)
{
    return files.erase(PathOf(dir, name)) != 0 ? Status::Ok() : Status(Missing(name));
}

Status MemoryFileSystem::RemoveFolderAt(FolderHandle, const std::string&)
{
    return Status::Ok();
}

} // namespace vel::fuzz
