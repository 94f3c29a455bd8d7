#pragma once

// Every file operation of the program goes through this interface, so that
// tests can make the k-th operation fail (once or for ever) and a harness can
// stop the process at the k-th operation.
//
// A project folder is often shared by several people and tools, so the
// program works below it through opened folders: a folder is opened once and
// every name is taken relative to it. Below an opened folder nothing follows
// a symbolic link: a link where a folder or file is expected is refused, and
// removing or renaming a link touches the link, never what it points to. Only
// OpenFolder, for the folder the operator named, follows links.

#include "base/bytes.h"
#include "base/result.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace vel {

enum class FileType { Missing, Regular, Folder, Link, Other };

// What a name is, as the entry itself (a link is a Link, not its target).
struct FileInfo {
    FileType type = FileType::Missing;
    std::uint64_t size = 0;
    std::uint32_t mode = 0; // permission bits with the set-id and sticky bits (07777)
    std::uint32_t owner = 0;
    std::uint32_t group = 0;
    std::int64_t modified = 0; // seconds since 1970-01-01 UTC

    bool exists() const { return type != FileType::Missing; }
    bool isFolder() const { return type == FileType::Folder; }
    bool isRegular() const { return type == FileType::Regular; }
};

struct DirEntry {
    std::string name;
    FileType type = FileType::Other; // the entry itself, never a link's target
};

// Owner, group and permission bits for a file or folder the program makes.
// Owner and group are set as far as the running user may set them; what it
// may not set stays as the system chose.
struct FileAttributes {
    std::uint32_t mode = 0600;
    std::optional<std::uint32_t> owner;
    std::optional<std::uint32_t> group;
};

// Names an open folder. Handles come from OpenFolder and OpenFolderAt and are
// given back with CloseFolder (or held by a Folder, below).
using FolderHandle = int;

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // The folder at `path`, links in the path followed.
    virtual Result<FolderHandle> OpenFolder(const std::string& path) = 0;
    // The folder `name` in `dir`: a real folder, never a link to one. With
    // `create` a missing folder is made with `attributes`; an existing one of
    // the running user's own gains the permission bits of `attributes` it lacks.
    virtual Result<FolderHandle> OpenFolderAt(FolderHandle dir, const std::string& name, bool create,
                                              const FileAttributes& attributes) = 0;
    virtual void CloseFolder(FolderHandle dir) = 0;
    // Makes the new folder `name` in `dir` with `attributes`. A name that is
    // taken is an ErrorCode::Exists error and left alone. Of two callers that
    // make one name at once, on one machine or on two reaching one share
    // (SMB, SFTP, FAT through FUSE), exactly one succeeds: the file system
    // itself decides, which is what makes it a lock every client sees.
    virtual Status MakeFolderAt(FolderHandle dir, const std::string& name, const FileAttributes& attributes) = 0;

    // The entries of a folder (without "." and ".."), in no particular order.
    virtual Result<std::vector<DirEntry>> List(FolderHandle dir) = 0;
    // The entry `name` of `dir` itself; type Missing when there is none.
    virtual Result<FileInfo> StatAt(FolderHandle dir, const std::string& name) = 0;
    // The folder itself.
    virtual Result<FileInfo> StatFolder(FolderHandle dir) = 0;
    // Ok when the running user may write the existing file `name` in `dir`
    // (its permissions allow it and its file system is writable); else the
    // reason why not.
    virtual Status CheckWriteAccessAt(FolderHandle dir, const std::string& name) = 0;

    // The whole content of a plain file. The file is opened without following
    // a link and without waiting on a pipe; anything but a regular file, and a
    // file larger than maxBytes, is refused (ErrorCode::NotPlainFile) before
    // a byte is read.
    virtual Result<ByteBuffer> ReadAt(FolderHandle dir, const std::string& name, std::uint64_t maxBytes) = 0;
    // Makes a new file (an existing name is an ErrorCode::Exists error and
    // left alone), writes all of data, gives it the attributes and flushes it
    // to stable storage.
    virtual Status CreateAt(FolderHandle dir, const std::string& name, std::span<const std::uint8_t> data,
                            const FileAttributes& attributes) = 0;
    // A copy of a regular file, made piecewise (any size), flushed.
    virtual Status CopyAt(FolderHandle fromDir, const std::string& from, FolderHandle toDir, const std::string& to,
                          const FileAttributes& attributes) = 0;
    // Atomically gives the entry `from` the name `to`, replacing what `to`
    // named (same file system).
    virtual Status RenameAt(FolderHandle fromDir, const std::string& from, FolderHandle toDir,
                            const std::string& to) = 0;
    // A second name for an entry (a hard link; a link is linked as a link).
    virtual Status LinkAt(FolderHandle fromDir, const std::string& from, FolderHandle toDir, const std::string& to) = 0;
    // Removes a name that is not a folder (a link itself, never its target).
    virtual Status RemoveAt(FolderHandle dir, const std::string& name) = 0;
    // Removes an empty folder.
    virtual Status RemoveFolderAt(FolderHandle dir, const std::string& name) = 0;
    // Makes the folder's entries durable.
    virtual Status SyncFolder(FolderHandle dir) = 0;

    // An exclusive advisory lock on the file `name` in `dir`, made with the
    // attributes when missing, held until Unlock. Busy when another process
    // or handle holds it. Needs only read access to an existing lock file.
    virtual Result<int> LockAt(FolderHandle dir, const std::string& name, const FileAttributes& attributes) = 0;
    virtual void Unlock(int lock) = 0;

    // The path with every link in it resolved, as an absolute path.
    virtual Result<std::string> ResolvePath(const std::string& path) = 0;

    // Whether, since the last call, permission bits, an owner or a group
    // asked for could not be given because the file system keeps none (FAT,
    // a share without Unix extensions). Such a file or folder is made all the
    // same, with what the file system gives it. The call clears the answer.
    virtual bool TakeAttributesNotKept() = 0;
};

// The operating system's file system.
FileSystem& RealFileSystem();

// A handle of the file layer (an open folder, a held lock), given back
// through `GiveBack` when the object goes. Moved, never copied.
template <void (FileSystem::*GiveBack)(int)>
class FileHandle {
public:
    FileHandle() = default;
    FileHandle(FileSystem& fs, int handle) : m_fs(&fs), m_handle(handle) {}
    ~FileHandle() { Reset(); }
    FileHandle(FileHandle&& other) noexcept : m_fs(other.m_fs), m_handle(std::exchange(other.m_handle, -1)) {}
    FileHandle& operator=(FileHandle&& other) noexcept
    {
        if (this != &other) {
            Reset();
            m_fs = other.m_fs;
            m_handle = std::exchange(other.m_handle, -1);
        }
        return *this;
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    bool held() const { return m_handle >= 0; }
    int get() const { return m_handle; }
    // Gives the handle back now.
    void Reset()
    {
        if (m_handle >= 0 && m_fs != nullptr) (m_fs->*GiveBack)(m_handle);
        m_handle = -1;
    }

private:
    FileSystem* m_fs = nullptr;
    int m_handle = -1;
};

// An open folder, closed when the object goes.
class Folder : public FileHandle<&FileSystem::CloseFolder> {
public:
    using FileHandle::FileHandle;
    bool isOpen() const { return held(); }
    FolderHandle handle() const { return get(); }
    void Close() { Reset(); }
};

Result<Folder> OpenFolder(FileSystem& fs, const std::string& path);
Result<Folder> OpenFolderAt(FileSystem& fs, const Folder& dir, const std::string& name, bool create = false,
                            const FileAttributes& attributes = {});

// A held lock, released when the object goes.
class LockHold : public FileHandle<&FileSystem::Unlock> {
public:
    using FileHandle::FileHandle;
    void Release() { Reset(); }
};

// Replaces the content of the file `name` in `dir` as one step: the data goes
// to a new file of a unique name in the same folder (".NAME.<hex>.tmp", never
// a name that is taken), is flushed and takes the attributes, then takes the
// place of `name`; the folder is flushed last. A failure before the new file
// takes the place of `name` leaves `name` as it was and removes the new file
// (unless removing fails too); a failure to flush the folder afterwards is
// reported although `name` already holds the new content. Where the file
// system never renames over a file (FAT), the old file steps aside first.
Status ReplaceFileAt(FileSystem& fs, FolderHandle dir, const std::string& name, std::span<const std::uint8_t> data,
                     const FileAttributes& attributes);

// The whole content of the plain file a path names, links in the path
// (also a link at its end) followed; as ReadAt otherwise. For files the
// operator names himself.
Result<ByteBuffer> ReadNamedFile(FileSystem& fs, const std::string& path, std::uint64_t maxBytes);

// The attributes that keep what an existing file has.
FileAttributes AttributesOf(const FileInfo& info);
// The attributes a new file gets by default: read and write for all, less
// the process's umask.
FileAttributes DefaultAttributes();

// A plain name of an entry: not empty, no separator, not "." or "..", no NUL.
bool IsPlainName(const std::string& name);

// Path helpers.
std::string JoinPath(const std::string& dir, const std::string& name);
// The folder part and the last part of a path ("a/b" -> "a", "b"; "b" -> ".", "b").
std::pair<std::string, std::string> SplitPath(const std::string& path);
// The directory that holds the running program.
std::string ExecutableDirectory();

} // namespace vel
