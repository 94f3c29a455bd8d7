#include "records/save_transaction.h"

#include "records/backups.h"
#include "records/commit_marker.h"
#include "records/recovery.h"
#include "records/work_area.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <optional>
#include <set>
#include <tuple>

namespace vel {

namespace {

std::vector<KindDescription> WithKinds(std::vector<KindDescription> known, const std::vector<KindToSave>& kinds)
{
    for (const KindToSave& k : kinds)
        if (FindDescription(known, k.desc.kind) == nullptr) known.push_back(k.desc);
    return known;
}

// An id of its own for every save: the time, the desk and a count, so that
// two saves of one program within a second differ too.
std::string NewSaveId(std::int64_t now, const Desk& desk)
{
    static std::atomic<unsigned> count{0};
    return CompactLocalTime(now) + "-" + desk.host + "-" + std::to_string(desk.process) + "-" + std::to_string(++count);
}

// A lock that could not be taken (not one another desk holds: a read-only
// mount, say) where an interrupted save of these kinds waits: the failure
// says that the waiting save cannot be finished now either, as the save
// would once it held the lock.
Error WithWaitingSave(WorkArea& area, const std::map<std::string, std::string>& kinds, const Error& why)
{
    if (why.code == ErrorCode::Busy) return why;
    auto entries = area.fs->List(area.work.handle());
    if (!entries) return why;
    for (const DirEntry& e : *entries) {
        if (!IsMarkerName(e.name)) continue;
        for (const std::string& k : KindsOfMarker(e.name))
            if (kinds.count(k) != 0)
                return MakeError(why.code, "an interrupted earlier save (" + InWork(e.name) +
                                               ") cannot be finished now (" + why.message +
                                               "); this save was not made, and the earlier one is finished at "
                                               "the next start that can write the project");
    }
    return why;
}

} // namespace

std::string WorkFolder(const std::string& projectPath)
{
    return JoinPath(projectPath, WorkFolderName);
}

struct SaveTransaction::State {
    struct Kind {
        KindToSave save;
        std::optional<std::string> folderName;
        std::string refused; // why an entry named like the kind folder was not used
        Folder folder;
        std::vector<std::string> existing;
        std::map<std::string, FileInfo> existingInfo;

        // Looks at the folder of kind `k` below `project`: its snapshot must
        // equal what was loaded; keeps the names and infos of its files.
        // Takes `k` over only when all is well.
        static Result<Kind> Look(FileSystem& fs, const Folder& project, KindToSave& k);
    };
    WorkArea area;
    Locks locks; // after the area: given back before its folders close
    std::vector<KindDescription> known;
    SaveHooks hooks;
    std::vector<Kind> kinds;
};

SaveTransaction::SaveTransaction(std::unique_ptr<State> state) : m_state(std::move(state)) {}
SaveTransaction::~SaveTransaction() = default;

Result<SaveTransaction::State::Kind> SaveTransaction::State::Kind::Look(FileSystem& fs, const Folder& project,
                                                                        KindToSave& k)
{
    Kind kind;
    VEL_TRY_ASSIGN(const auto name, FindKindFolder(fs, project, k.desc.kind));
    kind.folderName = name.name;
    kind.refused = name.refused;
    KindSnapshot now;
    now.taken = true;
    if (kind.folderName) {
        VEL_TRY_ASSIGN(kind.folder, OpenFolderAt(fs, project, *kind.folderName));
        VEL_TRY_ASSIGN(now, TakeSnapshot(fs, &kind.folder, k.desc));
    }
    if (k.loaded != nullptr && k.loaded->taken && !(now == *k.loaded))
        return MakeError(ErrorCode::Conflict,
                         "files of the " + k.desc.what +
                             " were changed on disk since they were loaded: " + DescribeChanges(*k.loaded, now));
    for (const auto& stamp : now.files) {
        VEL_TRY_ASSIGN(auto info, fs.StatAt(kind.folder.handle(), stamp.name));
        // The size the backup's list gives a file is that of the bytes
        // just read; a share client may still give the size of a file
        // another desk replaced seconds ago (sshfs keeps it 20 seconds).
        if (stamp.readable && info.isRegular()) info.size = stamp.content.size();
        kind.existing.push_back(stamp.name);
        kind.existingInfo[stamp.name] = info;
    }
    kind.save = std::move(k);
    return kind;
}

Result<std::unique_ptr<SaveTransaction>> SaveTransaction::Begin(FileSystem& fs, const std::string& projectPath,
                                                                std::vector<KindToSave> kinds,
                                                                const std::vector<KindDescription>& known,
                                                                const SaveHooks& hooks)
{
    auto state = std::make_unique<State>();
    state->known = WithKinds(known, kinds);
    state->hooks = hooks;

    VEL_TRY_ASSIGN(state->area, OpenWorkArea(fs, projectPath, true));
    (void)fs.TakeAttributesNotKept(); // what this save finds is told at its end

    // 1. Lock, in one order (by name) for every transaction.
    std::map<std::string, std::string> ours; // kind -> what
    for (const KindToSave& k : kinds) ours[k.desc.kind] = k.desc.what;
    std::set<std::string> ourKinds;
    for (const auto& [kind, what] : ours) {
        Status taken = state->locks.Take(state->area, kind, what, hooks, hooks.lockWaitMilliseconds);
        if (!taken) return WithWaitingSave(state->area, ours, taken.error());
        ourKinds.insert(kind);
    }
    // 2. What an interrupted save of these kinds left is finished first.
    VEL_TRY(RecoverOwnKinds(state->area, state->locks, ourKinds, state->known, hooks));

    // 3. Then look: the kind folders must hold what was loaded.
    for (KindToSave& k : kinds) {
        VEL_TRY_ASSIGN(auto kind, State::Kind::Look(fs, state->area.project, k));
        state->kinds.push_back(std::move(kind));
    }
    return std::unique_ptr<SaveTransaction>(new SaveTransaction(std::move(state)));
}

const std::vector<std::string>& SaveTransaction::ExistingNames(std::size_t i) const
{
    return m_state->kinds.at(i).existing;
}

namespace {

// What a new file of a kind is given: the permission bits, owner and group of
// the file it replaces; for a new name, what most of the folder's other files
// have; with none, the folder's group and its read and write bits.
FileAttributes NewFileAttributes(const std::map<std::string, FileInfo>& existing, const FileInfo& folder,
                                 const std::string& name)
{
    const auto same = existing.find(name);
    if (same != existing.end() && same->second.isRegular()) return AttributesOf(same->second);
    std::map<std::tuple<std::uint32_t, std::uint32_t, std::uint32_t>, int> seen;
    const FileInfo* most = nullptr;
    int mostCount = 0;
    for (const auto& [other, info] : existing) {
        if (!info.isRegular()) continue;
        const int count = ++seen[{info.mode, info.owner, info.group}];
        if (count > mostCount) {
            mostCount = count;
            most = &info;
        }
    }
    if (most != nullptr) return AttributesOf(*most);
    FileAttributes a;
    a.mode = folder.mode & 0666;
    a.group = folder.group;
    return a;
}

char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameButCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

// One commit of a transaction, step by step. It remembers what it made in
// the work folder (staging folders, a backup and a passed-over folder per
// kind), so that an undone commit clears it all away again.
class CommitRun {
public:
    CommitRun(SaveTransaction::State& state, std::vector<std::vector<NamedFile>>& newSets)
        : m_s(state), m_fs(*state.area.fs), m_sets(newSets), m_stagings(state.kinds.size()),
          m_backups(state.kinds.size()), m_kept(state.kinds.size())
    {
        std::vector<std::string> kinds;
        for (const auto& k : m_s.kinds) kinds.push_back(k.save.desc.kind);
        m_markerName = MarkerName(kinds);
    }

    // Refusals, before anything changes: a kind without a folder cannot take
    // files, and a new name must not be taken by a folder or an entry that
    // is no plain file. On a folder that ignores case, a new name that
    // answers for an old file in another spelling is that file.
    Status CheckNewNames() const
    {
        for (std::size_t i = 0; i < m_s.kinds.size(); ++i) {
            const auto& k = m_s.kinds[i];
            if (!k.folderName && !m_sets[i].empty())
                return MakeError(ErrorCode::Io,
                                 k.refused.empty() ? "the folder '" + JoinPath(m_s.area.projectPath, k.save.desc.kind) +
                                                         "' does not exist"
                                                   : "the " + k.save.desc.what + " cannot be saved: " + k.refused);
            if (!k.folderName) continue;
            const std::set<std::string> existing(k.existing.begin(), k.existing.end());
            for (const auto& file : m_sets[i]) {
                const std::string& name = file.first;
                if (existing.count(name) != 0) continue;
                VEL_TRY_ASSIGN(const auto info, m_fs.StatAt(k.folder.handle(), name));
                if (!info.exists()) continue;
                const bool otherSpelling = info.isRegular() &&
                                           std::any_of(k.existing.begin(), k.existing.end(), [&](const std::string& e) {
                                               return SameButCase(e, name) && k.existingInfo.at(e).isRegular();
                                           });
                if (otherSpelling) continue;
                return MakeError(ErrorCode::NotPlainFile, "'" + k.save.desc.kind + "/" + name + "' is " +
                                                              (info.isFolder() ? "a folder" : "not a plain file") +
                                                              "; move it out of the way and save again");
            }
        }
        return Status::Ok();
    }

    // Everything before the commit point, for every kind that has a folder:
    // the new set staged, the old set kept, the files the new set does not
    // carry on kept where pruning never reaches; the work folder flushed, so
    // that the staging and backup folders made in it are its names for good.
    Status Prepare()
    {
        const std::int64_t now = m_s.hooks.clock->Now();
        m_marker.desk = m_s.hooks.desks->Self();
        m_marker.time = now;
        m_marker.save = NewSaveId(now, m_marker.desk);
        for (std::size_t i = 0; i < m_s.kinds.size(); ++i) {
            auto& k = m_s.kinds[i];
            if (!k.folderName) continue;
            KindMarker m;
            m.kind = k.save.desc.kind;
            m.folder = *k.folderName;
            m.changes = k.save.changes;
            m.restoredFrom = k.save.restoredFrom;
            VEL_TRY(Stage(i, m));
            if (!k.existing.empty()) {
                VEL_TRY(KeepOldSet(i, m));
                VEL_TRY(KeepPassedOver(i));
            }
            m_marker.kinds.push_back(std::move(m));
        }
        return m_fs.SyncFolder(m_s.area.work.handle());
    }

    // The commit point: the marker, written whole and flushed under a
    // temporary name, takes its name, and the work folder is flushed. Only
    // then is the save committed: until the flush has returned, a power cut
    // may take the name with it. Nothing to commit where no kind has files.
    Status WriteMarker()
    {
        if (m_marker.kinds.empty()) return Status::Ok();
        // Another desk may have taken over a lock judged stale meanwhile.
        VEL_TRY(m_s.locks.StillHeld());
        const std::string temporary = "." + m_markerName + ".new";
        FolderHandle work = m_s.area.work.handle();
        VEL_TRY_ASSIGN(const auto info, m_fs.StatAt(work, temporary));
        if (info.exists()) VEL_TRY(m_fs.RemoveAt(work, temporary));
        VEL_TRY(m_fs.CreateAt(work, temporary, EncodeMarker(m_marker), m_s.area.fileAttributes));
        m_markerTemporary = temporary;
        VEL_TRY(m_fs.RenameAt(work, temporary, work, m_markerName));
        m_markerTemporary.clear();
        m_markerNamed = true;
        return m_fs.SyncFolder(work);
    }

    // A failure before the commit point: nothing on disk has changed, and
    // the save fails (exit 3). A marker that took its name but was not
    // flushed goes first; where it cannot be removed, the staged set stays
    // whole beside it, so that a start that finds it can still finish it.
    Error Undo(const Error& why)
    {
        FolderHandle work = m_s.area.work.handle();
        if (!m_markerTemporary.empty()) {
            // A share may have made the rename to the marker's name and lost
            // its answer: a marker there is this save's (the locks are held,
            // and earlier markers were finished), and it must go with the
            // staged set it describes.
            auto named = m_fs.StatAt(work, m_markerName);
            if (named && named->exists()) m_markerNamed = true;
            (void)m_fs.RemoveAt(work, m_markerTemporary);
        }
        if (m_markerNamed) {
            Status removed = m_fs.RemoveAt(work, m_markerName);
            if (removed) removed = m_fs.SyncFolder(work);
            if (!removed)
                return MakeError(why.code, why.message + "; its commit marker " + InWork(m_markerName) +
                                               " could not be removed either (" + removed.error().message +
                                               "), so a later start may still finish this save");
        }
        ClearAway();
        return why;
    }

    Status PutAllInPlace() { return PutMarkerInPlace(m_s.area, m_marker, &m_spellings); }

    // A failure past the commit point: every kind taken back, in reverse
    // order, and the marker removed and flushed; where the set cannot be
    // taken back or the marker stays, the save is Unfinished, and the next
    // start completes it. Once the old sets are back and the marker is gone
    // the save has failed, even if the marker's going cannot be flushed:
    // the next start finds nothing to finish. Only a power cut before the
    // work folder is flushed could bring the marker back, so its staged and
    // kept sets stay for that start, and the operator is told.
    Error TakeAllBack(const Error& why)
    {
        Status undone = TakeMarkerBack(m_s.area, m_marker);
        if (undone) undone = m_fs.RemoveAt(m_s.area.work.handle(), m_markerName);
        if (!undone)
            return MakeError(ErrorCode::Unfinished,
                             why.message + "; the save could not be undone either (" + undone.error().message + ")");
        Status flushed = m_fs.SyncFolder(m_s.area.work.handle());
        if (!flushed)
            return MakeError(why.code, why.message +
                                           "; the previous files are back, but the removal of its commit marker " +
                                           InWork(m_markerName) + " could not be flushed (" + flushed.error().message +
                                           "), so a start after a power cut may still finish this save");
        ClearAway();
        return why;
    }

    // The new sets are in place: the history, the server, the marker. Clearing
    // up can fail without undoing that: a marker left behind is finished
    // again, harmlessly, at the next start.
    std::vector<Status> Close()
    {
        for (Folder& f : m_stagings) f.Close();
        std::vector<std::string> kinds;
        for (const auto& k : m_s.kinds) kinds.push_back(k.save.desc.kind);
        return CloseCommitted(m_s.area, m_s.locks, m_markerName, m_marker, kinds, m_s.known, m_s.hooks).posted;
    }

    // Old backups go, the newest of each kind kept.
    void Prune()
    {
        for (std::size_t i = 0; i < m_s.kinds.size(); ++i) {
            const auto& k = m_s.kinds[i];
            const std::string justMade = m_backups[i] ? m_backups[i]->name : std::string();
            Status pruned = PruneBackups(m_s.area, k.save.desc.kind, m_s.hooks.keepBackups, justMade);
            if (!pruned)
                Tell(m_s.hooks, "Old backups of the " + k.save.desc.what +
                                    " could not all be removed: " + pruned.error().message + ".");
        }
        if (m_fs.TakeAttributesNotKept())
            Tell(m_s.hooks, "The project's folder keeps no permission bits or owners (a FAT file system, or a share "
                            "without Unix extensions): the saved files have the modes the file system gives them.");
    }

    // What became of each kind; the snapshots of the kinds that keep one are
    // renewed from the bytes just written, in listing order, rather than
    // read back: the folder holds exactly the new set now (under the
    // spelling the folder kept, where it ignores case).
    std::vector<KindSaved> Saved(const std::vector<Status>& posted)
    {
        std::vector<KindSaved> out;
        std::size_t placed = 0; // the kinds with a folder, in the marker's order
        for (std::size_t i = 0; i < m_s.kinds.size(); ++i) {
            auto& k = m_s.kinds[i];
            KindSaved saved;
            saved.kind = k.save.desc.kind;
            if (m_backups[i])
                saved.backupFolder = JoinPath(WorkFolder(m_s.area.projectPath),
                                              std::string(BackupFolderName) + "/" + m_backups[i]->name);
            saved.notify = posted[i];
            out.push_back(std::move(saved));
            const std::map<std::string, std::string>* spelt = k.folderName && placed < m_spellings.size()
                                                                  ? &m_spellings[placed]
                                                                  : nullptr;
            if (k.folderName) ++placed;
            if (k.save.loaded == nullptr) continue;
            std::vector<NamedFile>& set = m_sets[i];
            if (spelt != nullptr)
                for (auto& [name, data] : set)
                    if (auto it = spelt->find(name); it != spelt->end()) name = it->second;
            std::sort(set.begin(), set.end(), [](const NamedFile& a, const NamedFile& b) { return a.first < b.first; });
            KindSnapshot renewed;
            renewed.taken = true;
            for (auto& [name, data] : set) renewed.Add(name, std::move(data));
            *k.save.loaded = std::move(renewed);
        }
        return out;
    }

private:
    // The new set of kind i, complete and flushed, in its staging folder.
    Status Stage(std::size_t i, KindMarker& m)
    {
        auto& k = m_s.kinds[i];
        VEL_TRY_ASSIGN(const auto folderInfo, m_fs.StatFolder(k.folder.handle()));
        VEL_TRY(RemoveStaging(m_s.area, m.kind));
        VEL_TRY_ASSIGN(m_stagings[i],
                       OpenFolderAt(m_fs, m_s.area.work, m.kind + StagingSuffix, true, m_s.area.folderAttributes));
        for (const auto& [name, data] : m_sets[i]) {
            VEL_TRY(
                m_fs.CreateAt(m_stagings[i].handle(), name, data, NewFileAttributes(k.existingInfo, folderInfo, name)));
            m.newNames.push_back(name);
        }
        return m_fs.SyncFolder(m_stagings[i].handle());
    }

    // The old set of kind i, kept in a new backup folder: hard links, or
    // copies where the system refuses a link (another user's file, a file
    // system without them); anything but a plain file that cannot be linked
    // is moved into the backup when the new set goes in. The backup is
    // marked unfinished until it is whole and flushed, with the list of its
    // files.
    Status KeepOldSet(std::size_t i, KindMarker& m)
    {
        auto& k = m_s.kinds[i];
        VEL_TRY_ASSIGN(m_backups[i], StartTimedFolder(m_s.area, m_backupRoot, m.kind, *m_s.hooks.clock));
        NewFolder& b = *m_backups[i];
        m.backup = b.name;
        std::vector<std::pair<std::string, std::uint64_t>> contents;
        for (const std::string& old : k.existing) {
            m.oldNames.push_back(old);
            const FileInfo& info = k.existingInfo[old];
            if (!m_fs.LinkAt(k.folder.handle(), old, b.folder.handle(), old)) {
                if (!info.isRegular()) {
                    m.moved.push_back(old);
                    continue;
                }
                VEL_TRY(m_fs.CopyAt(k.folder.handle(), old, b.folder.handle(), old, AttributesOf(info)));
            }
            if (info.isRegular()) contents.emplace_back(old, info.size);
        }
        VEL_TRY(m_fs.CreateAt(b.folder.handle(), BackupContentsFile, EncodeBackupContents(contents),
                              m_s.area.fileAttributes));
        return FinishTimedFolder(m_fs, m_backupRoot.folder, b);
    }

    // Old plain files of kind i whose content the new set does not carry on
    // (the files the load passed over) are kept once more, from the backup,
    // where pruning never reaches them: their only copy is there.
    Status KeepPassedOver(std::size_t i)
    {
        auto& k = m_s.kinds[i];
        std::vector<std::string> passed;
        for (const std::string& old : k.existing)
            if (k.save.carried != nullptr && k.save.carried->count(old) == 0 && k.existingInfo[old].isRegular())
                passed.push_back(old);
        if (passed.empty()) return Status::Ok();
        const Folder& backup = m_backups[i]->folder;
        VEL_TRY_ASSIGN(m_kept[i], StartTimedFolder(m_s.area, m_keptRoot, k.save.desc.kind, *m_s.hooks.clock));
        NewFolder& f = *m_kept[i];
        for (const std::string& old : passed) {
            if (m_fs.LinkAt(backup.handle(), old, f.folder.handle(), old)) continue;
            VEL_TRY(m_fs.CopyAt(backup.handle(), old, f.folder.handle(), old, AttributesOf(k.existingInfo[old])));
        }
        return FinishTimedFolder(m_fs, m_keptRoot.folder, f);
    }

    // Removes what the commit made in the work folder, when it is undone.
    void ClearAway()
    {
        for (std::size_t i = 0; i < m_s.kinds.size(); ++i) {
            m_stagings[i].Close();
            (void)RemoveStaging(m_s.area, m_s.kinds[i].save.desc.kind);
            if (m_backups[i] && m_backupRoot.folder.isOpen()) {
                const std::string name = m_backups[i]->name;
                m_backups[i]->folder.Close();
                (void)RemoveWorkFolder(m_fs, m_backupRoot.folder, name,
                                       InWork(std::string(BackupFolderName) + "/" + name), Holds::AnyFiles);
            }
            if (m_kept[i] && m_keptRoot.folder.isOpen()) {
                const std::string name = m_kept[i]->name;
                m_kept[i]->folder.Close();
                (void)RemoveWorkFolder(m_fs, m_keptRoot.folder, name,
                                       InWork(std::string(PassedOverFolderName) + "/" + name), Holds::AnyFiles);
            }
        }
    }

    SaveTransaction::State& m_s;
    FileSystem& m_fs;
    std::vector<std::vector<NamedFile>>& m_sets;
    std::string m_markerName;
    std::string m_markerTemporary; // while the marker is written under it
    bool m_markerNamed = false;    // the marker took its name (committed once its folder is flushed)
    Marker m_marker;
    std::vector<Folder> m_stagings;
    std::vector<std::optional<NewFolder>> m_backups; // below backup/, per kind
    std::vector<std::optional<NewFolder>> m_kept;    // below passed-over/, per kind
    std::vector<std::map<std::string, std::string>> m_spellings;
    WorkRoot m_backupRoot{BackupFolderName, {}};
    WorkRoot m_keptRoot{PassedOverFolderName, {}};
};

} // namespace

Result<std::vector<KindSaved>> SaveTransaction::Commit(std::vector<std::vector<NamedFile>> newSets)
{
    State& s = *m_state;
    if (newSets.size() != s.kinds.size())
        return MakeError(ErrorCode::InvalidArgument, "a save got " + std::to_string(newSets.size()) + " sets for " +
                                                         std::to_string(s.kinds.size()) + " kinds");
    CommitRun run(s, newSets);
    // Nothing has changed yet: every problem so far is a plain refusal.
    VEL_TRY(run.CheckNewNames());

    // The new sets staged and the old ones kept, then the commit point.
    Status prepared = run.Prepare();
    if (prepared) prepared = run.WriteMarker();
    if (!prepared) return run.Undo(prepared.error());

    // Past it: into place, or back where that fails.
    Status placed = run.PutAllInPlace();
    if (!placed) return run.TakeAllBack(placed.error());

    const std::vector<Status> posted = run.Close();
    run.Prune();
    return run.Saved(posted);
}

Result<std::vector<NamedFile>> SaveTransaction::BackupFiles(std::size_t i, const std::string& name)
{
    State& s = *m_state;
    return ReadBackupSet(s.area, s.kinds.at(i).save.desc, name, s.hooks);
}

} // namespace vel
