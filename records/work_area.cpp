#include "records/work_area.h"

#include "records/commit_marker.h"

namespace vel {

std::string InWork(const std::string& name)
{
    return std::string(WorkFolderName) + "/" + name;
}

Result<WorkArea> OpenWorkArea(FileSystem& fs, const std::string& projectPath, bool create)
{
    WorkArea area;
    area.fs = &fs;
    area.projectPath = projectPath;
    VEL_TRY_ASSIGN(area.project, OpenFolder(fs, projectPath));
    VEL_TRY_ASSIGN(const auto info, fs.StatFolder(area.project.handle()));
    area.folderAttributes.mode = 0700 | (info.mode & 02070);
    area.folderAttributes.group = info.group;
    area.fileAttributes.mode = 0600 | (info.mode & 0060);
    area.fileAttributes.group = info.group;
    VEL_TRY_ASSIGN(const auto work, fs.StatAt(area.project.handle(), WorkFolderName));
    if (!work.exists() && !create) return area;
    VEL_TRY_ASSIGN(area.work, OpenFolderAt(fs, area.project, WorkFolderName, create, area.folderAttributes));
    // A folder just made is no name of its parent's until the parent is
    // flushed: without this a power cut could take the work folder with the
    // marker and the backups in it.
    if (!work.exists()) VEL_TRY(fs.SyncFolder(area.project.handle()));
    return area;
}

Status Locks::Take(WorkArea& area, const std::string& name, const std::string& what, const SaveHooks& hooks,
                   std::int64_t waitMilliseconds)
{
    if (Holds(name)) return Status::Ok();
    auto flock = area.fs->LockAt(area.work.handle(), name + LockSuffix, area.fileAttributes);
    if (!flock) {
        if (flock.error().code == ErrorCode::Busy)
            return MakeError(ErrorCode::Busy, "another save of the " + what + " is running on this machine");
        return flock.error();
    }
    LockHold local(*area.fs, *flock);
    LockPolicy policy;
    policy.clock = hooks.clock;
    policy.desks = hooks.desks;
    policy.waitMilliseconds = waitMilliseconds;
    policy.staleMinutes = hooks.staleLockMinutes;
    policy.tell = hooks.tell;
    VEL_TRY_ASSIGN(auto desk,
                   DeskLock::Take(*area.fs, area.work, name, what, policy, area.folderAttributes, area.fileAttributes));
    m_held.emplace(name, Held{std::move(local), std::move(desk)});
    return Status::Ok();
}

Status Locks::StillHeld() const
{
    for (const auto& [name, held] : m_held) VEL_TRY(held.desk.StillHeld());
    return Status::Ok();
}

Status RemoveWorkFolder(FileSystem& fs, const Folder& parent, const std::string& name, const std::string& shown,
                        Holds holds, std::size_t* removedFiles)
{
    VEL_TRY_ASSIGN(const auto info, fs.StatAt(parent.handle(), name));
    if (!info.exists()) return Status::Ok();
    {
        auto folder = OpenFolderAt(fs, parent, name);
        if (!folder) return MakeError(folder.error().code, "'" + shown + "' was left alone: " + folder.error().message);
        VEL_TRY_ASSIGN(const auto entries, fs.List(folder->handle()));
        for (const DirEntry& e : entries) {
            if (e.type == FileType::Folder || (holds == Holds::PlainFiles && e.type != FileType::Regular))
                return MakeError(ErrorCode::NotPlainFile,
                                 "'" + shown + "' was left alone: '" + e.name + "' in it is not a plain file");
        }
        for (const DirEntry& e : entries) VEL_TRY(fs.RemoveAt(folder->handle(), e.name));
        if (removedFiles != nullptr) *removedFiles = entries.size();
    }
    return fs.RemoveFolderAt(parent.handle(), name);
}

Status RemoveStaging(WorkArea& area, const std::string& kind, std::size_t* removedFiles)
{
    return RemoveWorkFolder(*area.fs, area.work, kind + StagingSuffix, InWork(kind + StagingSuffix), Holds::PlainFiles,
                            removedFiles);
}

Result<std::string> FreeName(FileSystem& fs, const Folder& dir, const std::string& base, const std::string& alsoFree)
{
    std::string name = base;
    for (int n = 2;; ++n) {
        VEL_TRY_ASSIGN(const auto info, fs.StatAt(dir.handle(), name));
        bool free = !info.exists();
        if (free && !alsoFree.empty()) {
            VEL_TRY_ASSIGN(const auto other, fs.StatAt(dir.handle(), name + alsoFree));
            free = !other.exists();
        }
        if (free) return name;
        name = base + "-" + std::to_string(n);
    }
}

Result<std::string> MoveAside(WorkArea& area, const std::string& name, Clock& clock)
{
    VEL_TRY_ASSIGN(auto target, FreeName(*area.fs, area.work, name + ".damaged-" + CompactLocalTime(clock.Now())));
    VEL_TRY(area.fs->RenameAt(area.work.handle(), name, area.work.handle(), target));
    VEL_TRY(area.fs->SyncFolder(area.work.handle()));
    return target;
}

Result<LockOwner> BreakSaveLock(FileSystem& fs, const std::string& projectPath, const std::string& name,
                                const std::string& what, Desks& desks)
{
    VEL_TRY_ASSIGN(const auto area, OpenWorkArea(fs, projectPath, false));
    if (!area.work.isOpen()) return MakeError(ErrorCode::NotFound, "nobody holds the lock of the " + what);
    return BreakDeskLock(fs, area.work, name, what, desks);
}

void Tell(const SaveHooks& hooks, const std::string& sentence)
{
    if (hooks.tell) hooks.tell(sentence);
}

std::string What(const std::vector<KindDescription>& known, const std::string& kind)
{
    const KindDescription* desc = FindDescription(known, kind);
    return desc != nullptr && !desc->what.empty() ? desc->what : kind;
}

} // namespace vel
