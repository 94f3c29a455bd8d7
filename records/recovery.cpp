#include "records/recovery.h"

#include "base/codepage.h"
#include "records/backups.h"
#include "records/history.h"
#include "records/set_placement.h"

#include <algorithm>

namespace vel {

namespace {

constexpr std::uint64_t MaxMarkerBytes = 16u * 1024 * 1024;

std::string Lower(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::vector<DirEntry> SortedByName(std::vector<DirEntry> entries)
{
    std::sort(entries.begin(), entries.end(), [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
    return entries;
}

std::string StagingKind(const std::string& name)
{
    const std::string suffix = StagingSuffix;
    if (name.size() <= suffix.size() || name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
        return {};
    return name.substr(0, name.size() - suffix.size());
}

// The lines a committed save adds to the history.
std::vector<HistoryEntry> HistoryOf(const Marker& marker)
{
    std::vector<HistoryEntry> lines;
    for (const KindMarker& k : marker.kinds) {
        HistoryEntry line;
        line.time = marker.time;
        line.user = marker.desk.user;
        line.host = marker.desk.host;
        line.backup = k.backup;
        line.save = marker.save;
        for (const NameChange& c : k.changes) {
            line.kind = Lower(k.kind);
            line.oldName = Cp1252ToUtf8(c.oldName);
            line.newName = Cp1252ToUtf8(c.newName);
            line.items = c.items;
            lines.push_back(line);
        }
        if (!k.restoredFrom.empty()) {
            line.kind = "restore-" + Lower(k.kind);
            line.oldName.clear();
            line.newName = k.restoredFrom;
            line.items = 0;
            lines.push_back(line);
        }
    }
    return lines;
}

std::vector<Status> PostAll(const std::vector<std::string>& kinds, const std::vector<KindDescription>& known,
                            const SaveHooks& hooks)
{
    std::vector<Status> out;
    for (const std::string& kind : kinds) {
        const KindDescription* desc = FindDescription(known, kind);
        if (!hooks.post || desc == nullptr)
            out.push_back(MakeError(ErrorCode::NotAvailable, "no server library is configured"));
        else
            out.push_back(hooks.post(*desc));
    }
    return out;
}

// A marker that cannot be used is neither finished nor thrown away: it and
// the staged files are kept aside, where the operator can look at them.
Status SetAside(WorkArea& area, const std::string& name, const std::string& why,
                const std::vector<KindDescription>& known, const SaveHooks& hooks)
{
    FileSystem& fs = *area.fs;
    VEL_TRY_ASSIGN(const auto aside, MoveAside(area, name, *hooks.clock));
    std::string kept = InWork(aside);
    for (const std::string& kind : KindsOfMarker(name)) {
        if (FindDescription(known, kind) == nullptr) continue;
        VEL_TRY_ASSIGN(const auto staged, fs.StatAt(area.work.handle(), kind + StagingSuffix));
        if (!staged.exists()) continue;
        VEL_TRY_ASSIGN(const auto stagingAside, MoveAside(area, kind + StagingSuffix, *hooks.clock));
        kept += ", " + InWork(stagingAside);
    }
    Tell(hooks, "The record of an interrupted save (" + InWork(name) + ") cannot be used (" + why +
                    "); it was moved aside with what it staged (" + kept +
                    "). The files of the project were not changed by it; check them before saving.");
    return Status::Ok();
}

// Finishes the save a marker describes; the locks of all its kinds are held.
Status FinishMarker(WorkArea& area, Locks& locks, const std::string& name, const std::vector<KindDescription>& known,
                    const SaveHooks& hooks)
{
    FileSystem& fs = *area.fs;
    auto data = fs.ReadAt(area.work.handle(), name, MaxMarkerBytes);
    if (!data) {
        if (data.error().code != ErrorCode::NotPlainFile) return data.error(); // perhaps later
        return SetAside(area, name, data.error().message, known, hooks);
    }
    auto marker = DecodeMarker(*data);
    if (!marker) return SetAside(area, name, marker.error().message, known, hooks);
    Status checked = CheckMarker(*marker, KindsOfMarker(name), known);
    if (!checked) return SetAside(area, name, checked.error().message, known, hooks);

    VEL_TRY(PutMarkerInPlace(area, *marker));
    std::vector<std::string> kinds;
    for (const KindMarker& k : marker->kinds) kinds.push_back(k.kind);
    const Closed closed = CloseCommitted(area, locks, name, *marker, kinds, known, hooks);
    VEL_TRY(closed.markerRemoved);
    for (std::size_t i = 0; i < marker->kinds.size(); ++i) {
        const KindMarker& k = marker->kinds[i];
        std::string sentence = "An interrupted save of the " + What(known, k.kind) +
                               " was finished: the new set of files is now on disk";
        if (!k.backup.empty())
            sentence += ", and the previous set is kept in " + InWork(std::string(BackupFolderName) + "/" + k.backup);
        sentence += closed.posted[i]
                        ? "; the server was told to reload them."
                        : "; the server could not be told to reload them: " + closed.posted[i].error().message + ".";
        Tell(hooks, sentence);
    }
    return Status::Ok();
}

// Throws away the staging folder of a kind that has no marker (a save that
// had not reached its commit point); the kind's lock is held.
Status ThrowAwayStaging(WorkArea& area, const std::string& kind, const std::vector<KindDescription>& known,
                        const SaveHooks& hooks)
{
    // A marker written meanwhile makes the staged files the new set.
    VEL_TRY_ASSIGN(const auto again, area.fs->List(area.work.handle()));
    const bool committed = std::any_of(again.begin(), again.end(), [&](const DirEntry& x) {
        if (!IsMarkerName(x.name)) return false;
        const auto ks = KindsOfMarker(x.name);
        return std::find(ks.begin(), ks.end(), kind) != ks.end();
    });
    if (committed) return Status::Ok();
    std::size_t staged = 0;
    Status removed = RemoveStaging(area, kind, &staged);
    if (!removed) {
        Tell(hooks, "An unfinished save of the " + What(known, kind) +
                        " could not be cleared away: " + removed.error().message + ".");
        return removed;
    }
    // An empty one is what a finished save could not clear away.
    if (staged != 0)
        Tell(hooks, "An unfinished save of the " + What(known, kind) +
                        " had not reached its commit point and was thrown away; the files on disk are the previous "
                        "set.");
    return Status::Ok();
}

// At start-up: every interrupted save that is not running right now in
// another copy of the program (its lock held) is finished or thrown away.
Status RecoverAtStart(WorkArea& area, const std::vector<KindDescription>& known, const SaveHooks& hooks)
{
    FileSystem& fs = *area.fs;
    VEL_TRY_ASSIGN(auto entries, fs.List(area.work.handle()));
    const std::vector<DirEntry> sorted = SortedByName(std::move(entries));
    FirstFailure failure;
    // Locks of the kinds, without waiting: a lock held is a save running.
    auto lock = [&](Locks& locks, const std::string& kind) -> Result<bool> {
        Status taken = locks.Take(area, kind, What(known, kind), hooks, 0);
        if (taken) return true;
        if (taken.error().code == ErrorCode::Busy) return false;
        return taken.error();
    };

    std::set<std::string> marked;
    for (const DirEntry& e : sorted) {
        if (!IsMarkerName(e.name)) continue;
        const std::vector<std::string> kinds = KindsOfMarker(e.name);
        marked.insert(kinds.begin(), kinds.end());
        if (std::any_of(kinds.begin(), kinds.end(),
                        [&](const std::string& k) { return FindDescription(known, k) == nullptr; }))
            continue;
        Locks locks;
        bool free = true;
        for (const std::string& k : kinds) {
            VEL_TRY_ASSIGN(const auto taken, lock(locks, k));
            free = free && taken;
        }
        if (!free) continue;
        // Another copy may have finished it while the locks were free.
        VEL_TRY_ASSIGN(const auto still, fs.StatAt(area.work.handle(), e.name));
        if (still.exists()) failure.Note(FinishMarker(area, locks, e.name, known, hooks));
    }
    for (const DirEntry& e : sorted) {
        const std::string kind = StagingKind(e.name);
        if (kind.empty() || FindDescription(known, kind) == nullptr || marked.count(kind) != 0) continue;
        Locks locks;
        VEL_TRY_ASSIGN(const auto taken, lock(locks, kind));
        if (taken) failure.Note(ThrowAwayStaging(area, kind, known, hooks));
    }
    for (const KindDescription& desc : known) {
        VEL_TRY_ASSIGN(const auto unfinished, HasUnfinishedFolder(area, desc.kind));
        if (!unfinished) continue;
        Locks locks;
        VEL_TRY_ASSIGN(const auto taken, lock(locks, desc.kind));
        if (taken) failure.Note(ClearUnfinishedFolders(area, desc.kind, hooks, known));
    }
    return failure.status();
}

} // namespace

Status PutMarkerInPlace(WorkArea& area, const Marker& marker,
                        std::vector<std::map<std::string, std::string>>* spellings)
{
    if (spellings != nullptr) spellings->assign(marker.kinds.size(), {});
    for (std::size_t i = 0; i < marker.kinds.size(); ++i) {
        VEL_TRY_ASSIGN(const auto folders, OpenKindFolders(area, marker.kinds[i]));
        VEL_TRY(PutInPlace(*area.fs, folders, marker.kinds[i], spellings ? &(*spellings)[i] : nullptr));
    }
    return Status::Ok();
}

Status TakeMarkerBack(WorkArea& area, const Marker& marker)
{
    for (auto k = marker.kinds.rbegin(); k != marker.kinds.rend(); ++k) {
        VEL_TRY_ASSIGN(const auto folders, OpenKindFolders(area, *k));
        VEL_TRY(TakeBack(*area.fs, folders, *k));
    }
    return Status::Ok();
}

Closed CloseCommitted(WorkArea& area, Locks& locks, const std::string& markerName, const Marker& marker,
                      const std::vector<std::string>& post, const std::vector<KindDescription>& known,
                      const SaveHooks& hooks)
{
    FileSystem& fs = *area.fs;
    const std::vector<HistoryEntry> lines = marker.save.empty() ? std::vector<HistoryEntry>() : HistoryOf(marker);
    if (!lines.empty()) {
        Status written = locks.Take(area, HistoryLockName, "history of renames", hooks, hooks.lockWaitMilliseconds);
        if (written) written = AppendHistory(fs, area.work, lines, area.fileAttributes);
        if (!written)
            Tell(hooks, "The history of renames could not be written (" + written.error().message +
                            "); the files were saved all the same.");
    }
    Closed closed;
    closed.posted = PostAll(post, known, hooks);
    if (marker.kinds.empty()) return closed; // nothing was written, so no marker either
    closed.markerRemoved = fs.RemoveAt(area.work.handle(), markerName);
    if (closed.markerRemoved) closed.markerRemoved = fs.SyncFolder(area.work.handle());
    if (closed.markerRemoved)
        for (const KindMarker& k : marker.kinds) (void)RemoveStaging(area, k.kind);
    return closed;
}

Status RecoverOwnKinds(WorkArea& area, Locks& locks, const std::set<std::string>& kinds,
                       const std::vector<KindDescription>& known, const SaveHooks& hooks)
{
    FileSystem& fs = *area.fs;
    VEL_TRY_ASSIGN(auto entries, fs.List(area.work.handle()));
    const std::vector<DirEntry> sorted = SortedByName(std::move(entries));
    auto ours = [&](const std::string& kind) { return kinds.count(kind) != 0; };
    auto blocked = [](const std::string& marker, const std::string& why) {
        return MakeError(ErrorCode::Io, "an interrupted earlier save (" + InWork(marker) +
                                            ") cannot be finished now (" + why +
                                            "); this save was not made, and the earlier one is finished at the "
                                            "next start that can write the project");
    };

    for (const DirEntry& e : sorted) {
        if (!IsMarkerName(e.name)) continue;
        const std::vector<std::string> markerKinds = KindsOfMarker(e.name);
        if (std::none_of(markerKinds.begin(), markerKinds.end(), ours)) continue;
        Locks extra;
        for (const std::string& k : markerKinds) {
            if (FindDescription(known, k) == nullptr)
                return blocked(e.name, "it concerns a kind this program does not know");
            if (locks.Holds(k)) continue;
            Status taken = extra.Take(area, k, What(known, k), hooks, hooks.lockWaitMilliseconds);
            if (!taken) {
                if (taken.error().code == ErrorCode::Busy)
                    return MakeError(ErrorCode::Busy, "an interrupted save (" + InWork(e.name) +
                                                          ") is being finished by another copy of the program: " +
                                                          taken.error().message);
                return taken.error();
            }
        }
        VEL_TRY_ASSIGN(const auto still, fs.StatAt(area.work.handle(), e.name));
        if (!still.exists()) continue;
        Status finished = FinishMarker(area, extra, e.name, known, hooks);
        if (!finished) return blocked(e.name, finished.error().message);
    }
    for (const DirEntry& e : sorted) {
        const std::string kind = StagingKind(e.name);
        if (kind.empty() || !ours(kind)) continue;
        const bool marked = std::any_of(sorted.begin(), sorted.end(), [&](const DirEntry& m) {
            if (!IsMarkerName(m.name)) return false;
            const auto ks = KindsOfMarker(m.name);
            return std::find(ks.begin(), ks.end(), kind) != ks.end();
        });
        if (!marked) VEL_TRY(ThrowAwayStaging(area, kind, known, hooks));
    }
    for (const std::string& kind : kinds) VEL_TRY(ClearUnfinishedFolders(area, kind, hooks, known));
    return Status::Ok();
}

Status RecoverSaves(FileSystem& fs, const std::string& projectPath, const std::vector<KindDescription>& known,
                    const SaveHooks& hooks)
{
    auto area = OpenWorkArea(fs, projectPath, false);
    if (!area) {
        if (area.error().code == ErrorCode::NotFound) return Status::Ok();
        return area.error();
    }
    if (!area->work.isOpen()) return Status::Ok();
    return RecoverAtStart(*area, known, hooks);
}

} // namespace vel
