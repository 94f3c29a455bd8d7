#pragma once

// File systems held in memory that behave as the places operators keep a
// project: a Windows share mounted by several desks, a FAT stick, and any
// disk under a power cut.
//
// One ShareDisk is the disk itself; each ShareClient is one desk's mount of
// it. What the disk decides (exclusive creation, a rename) every client
// sees at once; a flock is kept by each client to itself, as smbnetfs and
// sshfs keep it, so two clients never see each other's.
//
// The disk also keeps what was made durable: file data is durable as soon
// as the file is made (CreateAt and CopyAt flush it, and nothing writes a
// file in place), but a name (made, renamed, removed) only once its folder
// was flushed (SyncFolder). PowerCut throws away every name not made
// durable, leaving the disk as it is when the power comes back.

#include "base/file_system.h"

#include <cerrno>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>

namespace vel::test {

// How the disk behaves; the defaults are a local Linux disk.
struct ShareTraits {
    // A name in another case is that entry (SMB, FAT).
    bool ignoresCase = false;
    // With ignoresCase: a rename onto an entry of another spelling keeps the
    // spelling stored (some shares) rather than taking the new one (Windows).
    bool renameKeepsSpelling = false;
    // Hard links; without them LinkAt fails with linkErrno.
    bool links = true;
    int linkErrno = EPERM;
    // Permission bits and owners; without them every file and folder has
    // the disk's fixed bits, and asking for others is passed over and told
    // (TakeAttributesNotKept), as the real layer does on ENOSYS/EPERM.
    bool modes = true;
    // Whether a rename may replace an existing file (fusefat refuses with EEXIST).
    bool renameReplaces = true;
    // A file another desk holds open: renaming it, renaming over it and
    // (with heldRefusesRemove) removing it fail with heldErrno.
    int heldErrno = EBUSY;
    bool heldRefusesRemove = true;
};

class ShareDisk {
public:
    explicit ShareDisk(ShareTraits traits = {});
    ~ShareDisk();
    ShareDisk(const ShareDisk&) = delete;
    ShareDisk& operator=(const ShareDisk&) = delete;

    ShareTraits traits;

    // Copies a folder of the real file system (files and folders) to `path`
    // on this disk, made durable.
    void Import(const std::string& realFolder, const std::string& path);
    // Every file below `path` (relative path, as the disk spells it ->
    // content), hidden ones too when asked; empty when there is no such folder.
    std::map<std::string, ByteBuffer> Snapshot(const std::string& path, bool withHidden = false) const;
    // The names in the folder at `path`, as stored.
    std::set<std::string> Names(const std::string& path) const;
    bool Exists(const std::string& path) const;
    void Write(const std::string& path, const ByteBuffer& data); // durable, folders made as needed

    // Another desk opens the file at `path` and keeps it open (until the
    // entry is gone or Release).
    void HoldOpen(const std::string& path);
    void ReleaseAll();

    // Makes every name durable now.
    void SyncAll();
    // The power goes and comes back: every name not made durable is gone.
    void PowerCut();

    struct Node;
    std::shared_ptr<Node> Find(const std::string& path) const;

private:
    std::shared_ptr<Node> m_root;
};

// One desk's mount of a ShareDisk.
class ShareClient final : public FileSystem {
public:
    explicit ShareClient(ShareDisk& disk) : m_disk(disk) {}

    Result<FolderHandle> OpenFolder(const std::string& path) override;
    Result<FolderHandle> OpenFolderAt(FolderHandle dir, const std::string& name, bool create,
                                      const FileAttributes& attributes) override;
    void CloseFolder(FolderHandle dir) override { m_open.erase(dir); }
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
    void Unlock(int lock) override { m_locks.erase(lock); }
    Result<std::string> ResolvePath(const std::string& path) override { return path; }
    bool TakeAttributesNotKept() override { return std::exchange(m_notKept, false); }

private:
    // An open folder; with toMakeIn, one that was not removed meanwhile.
    Result<std::shared_ptr<ShareDisk::Node>> Dir(FolderHandle dir, bool toMakeIn = false) const;
    std::shared_ptr<ShareDisk::Node> New(bool folder, const FileAttributes& attributes);

    ShareDisk& m_disk;
    std::map<int, std::shared_ptr<ShareDisk::Node>> m_open;
    std::map<int, std::shared_ptr<ShareDisk::Node>> m_locks; // this mount's flocks
    int m_next = 3;
    bool m_notKept = false;
};

} // namespace vel::test
