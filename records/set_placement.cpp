#include "records/set_placement.h"

#include <algorithm>
#include <optional>
#include <set>

namespace vel {

namespace {

Result<FileInfo> StatIn(FileSystem& fs, const Folder& dir, const std::string& name)
{
    if (!dir.isOpen()) return FileInfo{};
    return fs.StatAt(dir.handle(), name);
}

char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameButCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && a != b &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

// One staged file into place. A share may refuse to replace a file (FAT
// through FUSE; a file another desk holds open on SMB): past the commit point
// the backup holds the old file, so it may go first.
Status Place(FileSystem& fs, const KindFolders& f, const std::string& folderName, const std::string& name)
{
    Status moved = fs.RenameAt(f.staging.handle(), name, f.folder.handle(), name);
    if (moved) return moved;
    // A share may report a rename as failed that it made all the same (its
    // answer lost on the way). Then the staged file is gone and the name in
    // the kind folder is the new file: removing it would lose the only copy.
    auto staged = fs.StatAt(f.staging.handle(), name);
    if (!staged) return moved;
    auto there = fs.StatAt(f.folder.handle(), name);
    if (!there || !there->isRegular()) return moved;
    if (!staged->exists()) return Status::Ok();
    if (!fs.RemoveAt(f.folder.handle(), name))
        return MakeError(moved.error().code, "'" + folderName + "/" + name + "' could not be replaced (" +
                                                 moved.error().message +
                                                 "); a program, perhaps on another desk, may hold it open");
    return fs.RenameAt(f.staging.handle(), name, f.folder.handle(), name);
}

Result<std::set<std::string>> ListNames(FileSystem& fs, const Folder& folder)
{
    VEL_TRY_ASSIGN(auto entries, fs.List(folder.handle()));
    std::set<std::string> names;
    for (DirEntry& e : entries) names.insert(std::move(e.name));
    return names;
}

} // namespace

Result<KindFolders> OpenKindFolders(WorkArea& area, const KindMarker& m)
{
    FileSystem& fs = *area.fs;
    KindFolders f;
    VEL_TRY_ASSIGN(f.folder, OpenFolderAt(fs, area.project, m.folder));
    const std::string stagingName = m.kind + StagingSuffix;
    VEL_TRY_ASSIGN(const auto staged, fs.StatAt(area.work.handle(), stagingName));
    if (staged.exists()) {
        VEL_TRY_ASSIGN(f.staging, OpenFolderAt(fs, area.work, stagingName));
    }
    if (!m.backup.empty()) {
        VEL_TRY_ASSIGN(const auto root, OpenFolderAt(fs, area.work, BackupFolderName));
        VEL_TRY_ASSIGN(f.backup, OpenFolderAt(fs, root, m.backup));
    }
    return f;
}

namespace {

// Every new file must be somewhere, staged or in place, before anything is
// touched; otherwise the marker does not describe what is on disk.
Status CheckNewFilesPresent(FileSystem& fs, const KindFolders& f, const KindMarker& m)
{
    for (const auto& name : m.newNames) {
        VEL_TRY_ASSIGN(const auto staged, StatIn(fs, f.staging, name));
        if (staged.isRegular()) continue;
        VEL_TRY_ASSIGN(const auto placed, fs.StatAt(f.folder.handle(), name));
        if (!placed.isRegular())
            return MakeError(ErrorCode::Conflict, "the new file '" + name + "' is neither staged nor in place");
    }
    return Status::Ok();
}

// The old files that could not be linked into the backup are moved there.
Status MoveUnlinkedIntoBackup(FileSystem& fs, const KindFolders& f, const KindMarker& m)
{
    for (const auto& name : m.moved) {
        VEL_TRY_ASSIGN(const auto here, fs.StatAt(f.folder.handle(), name));
        VEL_TRY_ASSIGN(const auto kept, StatIn(fs, f.backup, name));
        if (here.exists() && !kept.exists()) VEL_TRY(fs.RenameAt(f.folder.handle(), name, f.backup.handle(), name));
    }
    return Status::Ok();
}

Status PlaceStagedFiles(FileSystem& fs, const KindFolders& f, const KindMarker& m)
{
    for (const auto& name : m.newNames) {
        VEL_TRY_ASSIGN(const auto staged, StatIn(fs, f.staging, name));
        if (staged.isRegular()) VEL_TRY(Place(fs, f, m.folder, name));
    }
    return Status::Ok();
}

// The old names the new set does not have are removed. Whether an old name
// that differs from a new one only in case is a file of its own is a
// question for the folder: the listing shows the names as they are, so both
// spellings listed are two files.
Status RemoveOldNames(FileSystem& fs, const KindFolders& f, const KindMarker& m)
{
    const std::set<std::string> keep(m.newNames.begin(), m.newNames.end());
    std::optional<std::set<std::string>> listed;
    for (const auto& name : m.oldNames) {
        if (keep.count(name) != 0) continue;
        const auto twin = std::find_if(m.newNames.begin(), m.newNames.end(),
                                       [&](const std::string& n) { return SameButCase(n, name); });
        if (twin != m.newNames.end()) {
            if (!listed) {
                VEL_TRY_ASSIGN(listed, ListNames(fs, f.folder));
            }
            if (listed->count(name) == 0) continue;
            if (listed->count(*twin) == 0) continue; // that file, under its old spelling: given the new one below
        }
        VEL_TRY_ASSIGN(const auto info, fs.StatAt(f.folder.handle(), name));
        if (info.exists()) VEL_TRY(fs.RemoveAt(f.folder.handle(), name));
    }
    return Status::Ok();
}

// Every new file under the program's own name, where the folder can change
// a name's case (not every share can). A folder that ignores case may keep
// the spelling of the file a new one replaced: an old name in Windows case,
// or, on a samba share, a spelling the server remembers from before although
// the file was renamed since.
Status RespellNewFiles(FileSystem& fs, const KindFolders& f, const KindMarker& m,
                       std::map<std::string, std::string>* spellings)
{
    VEL_TRY_ASSIGN(const auto names, ListNames(fs, f.folder));
    std::vector<std::pair<std::string, std::string>> respelt; // the folder's spelling -> ours
    for (const auto& name : m.newNames) {
        if (names.count(name) != 0) continue;
        const auto other = std::find_if(names.begin(), names.end(),
                                        [&](const std::string& n) { return SameButCase(n, name); });
        if (other != names.end()) respelt.emplace_back(*other, name);
    }
    if (respelt.empty()) return Status::Ok();
    for (const auto& [from, to] : respelt) (void)fs.RenameAt(f.folder.handle(), from, f.folder.handle(), to);
    VEL_TRY_ASSIGN(const auto now, ListNames(fs, f.folder));
    for (const auto& [from, to] : respelt)
        if (now.count(to) == 0 && now.count(from) != 0 && spellings != nullptr) (*spellings)[to] = from;
    return Status::Ok();
}

} // namespace

Status PutInPlace(FileSystem& fs, const KindFolders& f, const KindMarker& m,
                  std::map<std::string, std::string>* spellings)
{
    VEL_TRY(CheckNewFilesPresent(fs, f, m));
    VEL_TRY(MoveUnlinkedIntoBackup(fs, f, m));
    VEL_TRY(PlaceStagedFiles(fs, f, m));
    VEL_TRY(RemoveOldNames(fs, f, m));
    VEL_TRY(RespellNewFiles(fs, f, m, spellings));
    if (!m.moved.empty()) VEL_TRY(fs.SyncFolder(f.backup.handle()));
    return fs.SyncFolder(f.folder.handle());
}

Status TakeBack(FileSystem& fs, const KindFolders& f, const KindMarker& m)
{
    FirstFailure failure;
    for (const auto& name : m.newNames) {
        VEL_TRY_ASSIGN(const auto staged, StatIn(fs, f.staging, name));
        if (staged.exists()) continue;
        if (!f.staging.isOpen()) return MakeError(ErrorCode::Io, "the staging folder of the " + m.kind + " is gone");
        failure.Note(fs.RenameAt(f.folder.handle(), name, f.staging.handle(), name));
    }
    const std::set<std::string> moved(m.moved.begin(), m.moved.end());
    for (const auto& name : m.oldNames) {
        VEL_TRY_ASSIGN(const auto here, fs.StatAt(f.folder.handle(), name));
        if (here.exists()) continue;
        if (moved.count(name) != 0) {
            failure.Note(fs.RenameAt(f.backup.handle(), name, f.folder.handle(), name));
            continue;
        }
        if (fs.LinkAt(f.backup.handle(), name, f.folder.handle(), name)) continue;
        VEL_TRY_ASSIGN(const auto kept, fs.StatAt(f.backup.handle(), name));
        failure.Note(fs.CopyAt(f.backup.handle(), name, f.folder.handle(), name, AttributesOf(kept)));
    }
    failure.Note(fs.SyncFolder(f.folder.handle()));
    return failure.status();
}

} // namespace vel
