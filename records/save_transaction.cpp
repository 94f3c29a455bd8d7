#include "records/save_transaction.h"

#include <algorithm>
#include <ctime>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <tuple>

namespace vel {

namespace {

constexpr const char* MarkerHeader = "VelNameChange commit 2";
constexpr const char* MarkerSuffix = ".commit";
constexpr const char* StagingSuffix = ".staging";
constexpr const char* LockSuffix = ".lock";
constexpr const char* BackupFolderName = "backup";
constexpr const char* PassedOverFolderName = "passed-over";
constexpr std::uint64_t MaxMarkerBytes = 16u * 1024 * 1024;

bool EndsWith(const std::string& s, const std::string& suffix)
{
    return s.size() > suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string Timestamp()
{
    const std::time_t now = std::time(nullptr);
    std::tm tm {};
    ::localtime_r(&now, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y%m%d-%H%M%S", &tm);
    return buf;
}

std::string Escape(const std::string& s)
{
    std::string out;
    for (const char c : s) {
        if (c == '%') out += "%25";
        else if (c == '\n') out += "%0A";
        else out.push_back(c);
    }
    return out;
}

std::string Unescape(const std::string& s)
{
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s.compare(i, 3, "%25") == 0) {
            out.push_back('%');
            i += 2;
        } else if (s.compare(i, 3, "%0A") == 0) {
            out.push_back('\n');
            i += 2;
        } else {
            out.push_back(s[i]);
        }
    }
    return out;
}

// What the commit marker says of one kind. Every name is relative: the kind
// folder to the project, the backup folder to the work folder's backups, the
// files to both.
struct KindMarker {
    std::string kind;
    std::string folder;
    std::string backup;                // empty when nothing was kept
    std::vector<std::string> newNames; // staged, then put in place
    std::vector<std::string> oldNames; // the previous set, kept in the backup
    std::vector<std::string> moved;    // old entries that could not be linked: moved into the backup
};

using Marker = std::vector<KindMarker>;

ByteBuffer EncodeMarker(const Marker& marker)
{
    std::string text = std::string(MarkerHeader) + "\n";
    for (const KindMarker& k : marker) {
        text += "kind " + Escape(k.kind) + "\n";
        text += "folder " + Escape(k.folder) + "\n";
        if (!k.backup.empty()) text += "backup " + Escape(k.backup) + "\n";
        for (const auto& n : k.newNames) text += "new " + Escape(n) + "\n";
        for (const auto& n : k.oldNames) text += "old " + Escape(n) + "\n";
        for (const auto& n : k.moved) text += "move " + Escape(n) + "\n";
    }
    text += "end\n";
    return ByteBuffer(text.begin(), text.end());
}

Result<Marker> DecodeMarker(const ByteBuffer& data)
{
    std::istringstream in(std::string(data.begin(), data.end()));
    std::string line;
    if (!std::getline(in, line) || line != MarkerHeader) return MakeError(ErrorCode::BadFormat, "not a commit marker");
    Marker marker;
    bool ended = false;
    while (std::getline(in, line)) {
        if (line == "end") {
            ended = true;
            break;
        }
        const auto sp = line.find(' ');
        if (sp == std::string::npos) return MakeError(ErrorCode::BadFormat, "damaged line '" + line + "'");
        const std::string key = line.substr(0, sp);
        std::string value = Unescape(line.substr(sp + 1));
        if (key == "kind") {
            marker.push_back(KindMarker{});
            marker.back().kind = std::move(value);
            continue;
        }
        if (marker.empty()) return MakeError(ErrorCode::BadFormat, "a line before the first kind");
        KindMarker& k = marker.back();
        if (key == "folder") k.folder = std::move(value);
        else if (key == "backup") k.backup = std::move(value);
        else if (key == "new") k.newNames.push_back(std::move(value));
        else if (key == "old") k.oldNames.push_back(std::move(value));
        else if (key == "move") k.moved.push_back(std::move(value));
        else return MakeError(ErrorCode::BadFormat, "damaged line '" + line + "'");
    }
    if (!ended || marker.empty()) return MakeError(ErrorCode::BadFormat, "the marker is incomplete");
    return marker;
}

// The kinds a marker's name stands for: "Profiles+Receivers.commit".
std::vector<std::string> KindsOfMarker(const std::string& name)
{
    std::vector<std::string> kinds;
    const std::string stem = name.substr(0, name.size() - std::string(MarkerSuffix).size());
    std::size_t start = 0;
    for (;;) {
        const auto plus = stem.find('+', start);
        kinds.push_back(stem.substr(start, plus == std::string::npos ? std::string::npos : plus - start));
        if (plus == std::string::npos) break;
        start = plus + 1;
    }
    return kinds;
}

const KindDescription* FindDescription(const std::vector<KindDescription>& known, const std::string& kind)
{
    for (const KindDescription& desc : known)
        if (desc.kind == kind) return &desc;
    return nullptr;
}

// A marker names only what this program may touch: known kinds, the folder of
// the kind below the project, a backup folder, and files named like the
// kind's files. Anything else makes it unusable.
Status CheckMarker(const Marker& marker, const std::vector<std::string>& kindsOfName,
                   const std::vector<KindDescription>& known)
{
    if (marker.size() != kindsOfName.size()) return MakeError(ErrorCode::BadFormat, "its kinds do not match its name");
    for (const KindMarker& k : marker) {
        const KindDescription* desc = FindDescription(known, k.kind);
        if (desc == nullptr || std::find(kindsOfName.begin(), kindsOfName.end(), k.kind) == kindsOfName.end())
            return MakeError(ErrorCode::BadFormat, "it names the unexpected kind '" + k.kind + "'");
        if (!IsPlainName(k.folder) || k.folder.size() != k.kind.size() || !IsKindFileName(k.folder + "0000.dat", k.kind))
            return MakeError(ErrorCode::BadFormat, "it names the unexpected folder '" + k.folder + "'");
        if (!k.backup.empty() && (!IsPlainName(k.backup) || k.backup.rfind(k.kind + "-", 0) != 0))
            return MakeError(ErrorCode::BadFormat, "it names the unexpected backup '" + k.backup + "'");
        for (const auto* names : {&k.newNames, &k.oldNames, &k.moved}) {
            for (const std::string& n : *names)
                if (!IsPlainName(n) || !IsKindFileName(n, desc->prefix))
                    return MakeError(ErrorCode::BadFormat, "it names the unexpected file '" + n + "'");
        }
        if ((!k.oldNames.empty() || !k.moved.empty()) && k.backup.empty())
            return MakeError(ErrorCode::BadFormat, "it keeps old files in no backup");
    }
    return Status::Ok();
}

std::string MarkerName(std::vector<std::string> kinds)
{
    std::sort(kinds.begin(), kinds.end());
    std::string name;
    for (const auto& k : kinds) name += (name.empty() ? "" : "+") + k;
    return name + MarkerSuffix;
}

std::string InWork(const std::string& name) { return std::string(WorkFolderName) + "/" + name; }

// The opened project and work folder, with the attributes that work folders
// and work files take from the project folder: its group, and its group's
// permission bits (folders also its set-group-id bit).
struct WorkArea {
    FileSystem* fs = nullptr;
    std::string projectPath;
    Folder project;
    Folder work; // not open when there is no work folder and none was asked for
    FileAttributes folderAttributes;
    FileAttributes fileAttributes;
};

Result<WorkArea> OpenWorkArea(FileSystem& fs, const std::string& projectPath, bool create)
{
    WorkArea area;
    area.fs = &fs;
    area.projectPath = projectPath;
    auto project = OpenFolder(fs, projectPath);
    if (!project) return project.error();
    area.project = std::move(*project);
    auto info = fs.StatFolder(area.project.handle());
    if (!info) return info.error();
    area.folderAttributes.mode = 0700 | (info->mode & 02070);
    area.folderAttributes.group = info->group;
    area.fileAttributes.mode = 0600 | (info->mode & 0060);
    area.fileAttributes.group = info->group;
    if (!create) {
        auto work = fs.StatAt(area.project.handle(), WorkFolderName);
        if (!work) return work.error();
        if (!work->exists()) return area;
    }
    auto work = OpenFolderAt(fs, area.project, WorkFolderName, create, area.folderAttributes);
    if (!work) return work.error();
    area.work = std::move(*work);
    return area;
}

// The kind locks a transaction or a recovery holds.
class Locks {
public:
    bool Holds(const std::string& kind) const { return m_held.count(kind) != 0; }
    Status Take(WorkArea& area, const std::string& kind)
    {
        if (Holds(kind)) return Status::Ok();
        auto lock = area.fs->LockAt(area.work.handle(), kind + LockSuffix, area.fileAttributes);
        if (!lock) return lock.error();
        m_held.emplace(kind, LockHold(*area.fs, *lock));
        return Status::Ok();
    }

private:
    std::map<std::string, LockHold> m_held;
};

// What a work folder may hold when it is removed: a staging folder only the
// plain files the program wrote there; a backup also the links and pipes it
// kept (removing an entry never touches what a link points to).
enum class Holds { PlainFiles, AnyFiles };

// Removes a folder of the work area and the files in it. A link where the
// folder should be, a folder inside, or (for PlainFiles) anything but a plain
// file inside is refused: nothing is deleted through a link. `removedFiles`
// counts the files it held.
Status RemoveWorkFolder(FileSystem& fs, const Folder& parent, const std::string& name, const std::string& shown,
                        Holds holds, std::size_t* removedFiles = nullptr)
{
    auto info = fs.StatAt(parent.handle(), name);
    if (!info) return info.error();
    if (!info->exists()) return Status::Ok();
    {
        auto folder = OpenFolderAt(fs, parent, name);
        if (!folder) return MakeError(folder.error().code, "'" + shown + "' was left alone: " + folder.error().message);
        auto entries = fs.List(folder->handle());
        if (!entries) return entries.error();
        for (const DirEntry& e : *entries) {
            if (e.type == FileType::Folder || (holds == Holds::PlainFiles && e.type != FileType::Regular))
                return MakeError(ErrorCode::NotPlainFile, "'" + shown + "' was left alone: '" + e.name +
                                                              "' in it is not a plain file");
        }
        for (const DirEntry& e : *entries) VEL_TRY(fs.RemoveAt(folder->handle(), e.name));
        if (removedFiles != nullptr) *removedFiles = entries->size();
    }
    return fs.RemoveFolderAt(parent.handle(), name);
}

Status RemoveStaging(WorkArea& area, const std::string& kind, std::size_t* removedFiles = nullptr)
{
    return RemoveWorkFolder(*area.fs, area.work, kind + StagingSuffix, InWork(kind + StagingSuffix), Holds::PlainFiles,
                            removedFiles);
}

// A free name for something new beside `dir`'s other entries: base, or
// base-2, base-3 ...
Result<std::string> FreeName(FileSystem& fs, const Folder& dir, const std::string& base)
{
    std::string name = base;
    for (int n = 2;; ++n) {
        auto info = fs.StatAt(dir.handle(), name);
        if (!info) return info.error();
        if (!info->exists()) return name;
        name = base + "-" + std::to_string(n);
    }
}

// The order of a backup folder of a kind, "<Kind>-YYYYMMDD-HHMMSS" or
// "<Kind>-YYYYMMDD-HHMMSS-N": its time, then N; nothing for other names.
std::optional<std::pair<std::string, int>> BackupKey(const std::string& name, const std::string& kind)
{
    const std::string head = kind + "-";
    if (name.rfind(head, 0) != 0) return std::nullopt;
    const std::string rest = name.substr(head.size());
    if (rest.size() < 15 || rest[8] != '-') return std::nullopt;
    for (std::size_t i = 0; i < 15; ++i)
        if (i != 8 && (rest[i] < '0' || rest[i] > '9')) return std::nullopt;
    int n = 1;
    if (rest.size() > 15) {
        if (rest[15] != '-' || rest.size() > 15 + 1 + 6) return std::nullopt;
        n = 0;
        for (std::size_t i = 16; i < rest.size(); ++i) {
            if (rest[i] < '0' || rest[i] > '9') return std::nullopt;
            n = n * 10 + (rest[i] - '0');
        }
    }
    return std::make_pair(rest.substr(0, 15), n);
}

// The backup folders of a kind in the open backup folder, oldest first.
Result<std::vector<std::string>> BackupsOf(FileSystem& fs, const Folder& backupRoot, const std::string& kind)
{
    auto entries = fs.List(backupRoot.handle());
    if (!entries) return entries.error();
    std::vector<std::pair<std::pair<std::string, int>, std::string>> found;
    for (const DirEntry& e : *entries) {
        if (e.type != FileType::Folder) continue;
        if (auto key = BackupKey(e.name, kind)) found.emplace_back(*key, e.name);
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> names;
    for (auto& f : found) names.push_back(std::move(f.second));
    return names;
}

// Moves a marker or staging folder that cannot be used out of the way,
// inside the work folder, so that it blocks nothing and loses nothing.
Result<std::string> MoveAside(WorkArea& area, const std::string& name)
{
    auto target = FreeName(*area.fs, area.work, name + ".damaged-" + Timestamp());
    if (!target) return target.error();
    VEL_TRY(area.fs->RenameAt(area.work.handle(), name, area.work.handle(), *target));
    VEL_TRY(area.fs->SyncFolder(area.work.handle()));
    return *target;
}

struct KindFolders {
    Folder folder;
    Folder staging;      // not open when there is no staging folder
    Folder backup;       // not open when the marker keeps no backup
};

Result<KindFolders> OpenKindFolders(WorkArea& area, const KindMarker& m)
{
    FileSystem& fs = *area.fs;
    KindFolders f;
    auto folder = OpenFolderAt(fs, area.project, m.folder);
    if (!folder) return folder.error();
    f.folder = std::move(*folder);
    const std::string stagingName = m.kind + StagingSuffix;
    auto staged = fs.StatAt(area.work.handle(), stagingName);
    if (!staged) return staged.error();
    if (staged->exists()) {
        auto staging = OpenFolderAt(fs, area.work, stagingName);
        if (!staging) return staging.error();
        f.staging = std::move(*staging);
    }
    if (!m.backup.empty()) {
        auto root = OpenFolderAt(fs, area.work, BackupFolderName);
        if (!root) return root.error();
        auto backup = OpenFolderAt(fs, *root, m.backup);
        if (!backup) return backup.error();
        f.backup = std::move(*backup);
    }
    return f;
}

Result<FileInfo> StatIn(FileSystem& fs, const Folder& dir, const std::string& name)
{
    if (!dir.isOpen()) return FileInfo{};
    return fs.StatAt(dir.handle(), name);
}

// Moves every staged file into place and removes the old names the new set
// does not use. Each step can be repeated: a file already moved is not staged
// any more, a name already removed is gone.
Status PutInPlace(FileSystem& fs, const KindFolders& f, const KindMarker& m)
{
    // Every new file must be somewhere, staged or in place, before anything
    // is touched; otherwise the marker does not describe what is on disk.
    for (const auto& name : m.newNames) {
        auto staged = StatIn(fs, f.staging, name);
        if (!staged) return staged.error();
        if (staged->isRegular()) continue;
        auto placed = fs.StatAt(f.folder.handle(), name);
        if (!placed) return placed.error();
        if (!placed->isRegular())
            return MakeError(ErrorCode::Conflict, "the new file '" + name + "' is neither staged nor in place");
    }
    for (const auto& name : m.moved) {
        auto here = fs.StatAt(f.folder.handle(), name);
        if (!here) return here.error();
        auto kept = StatIn(fs, f.backup, name);
        if (!kept) return kept.error();
        if (here->exists() && !kept->exists())
            VEL_TRY(fs.RenameAt(f.folder.handle(), name, f.backup.handle(), name));
    }
    for (const auto& name : m.newNames) {
        auto staged = StatIn(fs, f.staging, name);
        if (!staged) return staged.error();
        if (staged->isRegular()) VEL_TRY(fs.RenameAt(f.staging.handle(), name, f.folder.handle(), name));
    }
    const std::set<std::string> keep(m.newNames.begin(), m.newNames.end());
    for (const auto& name : m.oldNames) {
        if (keep.count(name) != 0) continue;
        auto info = fs.StatAt(f.folder.handle(), name);
        if (!info) return info.error();
        if (info->exists()) VEL_TRY(fs.RemoveAt(f.folder.handle(), name));
    }
    if (!m.moved.empty()) VEL_TRY(fs.SyncFolder(f.backup.handle()));
    return fs.SyncFolder(f.folder.handle());
}

// Undoes a partial PutInPlace: new files go back to staging, old files come
// back from the backup, which keeps them (they may yet be needed).
Status TakeBack(FileSystem& fs, const KindFolders& f, const KindMarker& m)
{
    for (const auto& name : m.newNames) {
        auto staged = StatIn(fs, f.staging, name);
        if (!staged) return staged.error();
        if (staged->exists()) continue;
        if (!f.staging.isOpen()) return MakeError(ErrorCode::Io, "the staging folder of the " + m.kind + " is gone");
        VEL_TRY(fs.RenameAt(f.folder.handle(), name, f.staging.handle(), name));
    }
    const std::set<std::string> moved(m.moved.begin(), m.moved.end());
    for (const auto& name : m.oldNames) {
        auto here = fs.StatAt(f.folder.handle(), name);
        if (!here) return here.error();
        if (here->exists()) continue;
        if (moved.count(name) != 0)
            VEL_TRY(fs.RenameAt(f.backup.handle(), name, f.folder.handle(), name));
        else
            VEL_TRY(fs.LinkAt(f.backup.handle(), name, f.folder.handle(), name));
    }
    return fs.SyncFolder(f.folder.handle());
}

// Runs `step` (PutInPlace or TakeBack) on the folders of each kind of
// `kinds`, in their order, up to the first failure.
template <class Kinds>
Status OnKindFolders(WorkArea& area, const Kinds& kinds,
                     Status (*step)(FileSystem&, const KindFolders&, const KindMarker&))
{
    for (const KindMarker& m : kinds) {
        auto folders = OpenKindFolders(area, m);
        if (!folders) return folders.error();
        VEL_TRY(step(*area.fs, *folders, m));
    }
    return Status::Ok();
}

// Removes the oldest backups of a kind but the newest `keep` (never fewer
// than the default). Backups are named by the time of their save.
Status PruneBackups(WorkArea& area, const std::string& kind, std::size_t keep)
{
    FileSystem& fs = *area.fs;
    keep = std::max(keep, DefaultKeptBackups);
    auto info = fs.StatAt(area.work.handle(), BackupFolderName);
    if (!info) return info.error();
    if (!info->isFolder()) return Status::Ok();
    auto root = OpenFolderAt(fs, area.work, BackupFolderName);
    if (!root) return root.error();
    auto names = BackupsOf(fs, *root, kind);
    if (!names) return names.error();
    Status first;
    for (std::size_t i = 0; i + keep < names->size(); ++i) {
        Status removed = RemoveWorkFolder(fs, *root, (*names)[i],
                                          InWork(std::string(BackupFolderName) + "/" + (*names)[i]), Holds::AnyFiles);
        if (!removed && first) first = removed;
    }
    if (!first) return first;
    return fs.SyncFolder(root->handle());
}

// Posts the reload command of every kind of a marker; what each said.
std::vector<Status> PostAll(const Marker& marker, const std::vector<KindDescription>& known, const SaveHooks& hooks)
{
    std::vector<Status> out;
    for (const KindMarker& k : marker) {
        const KindDescription* desc = FindDescription(known, k.kind);
        if (!hooks.post || desc == nullptr)
            out.push_back(MakeError(ErrorCode::NotAvailable, "no server library is configured"));
        else
            out.push_back(hooks.post(*desc));
    }
    return out;
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

// Finishes the save a marker describes; the locks of all its kinds are held.
Status FinishMarker(WorkArea& area, const std::string& name, const std::vector<KindDescription>& known,
                    const SaveHooks& hooks)
{
    FileSystem& fs = *area.fs;
    const std::vector<std::string> kinds = KindsOfMarker(name);
    Result<Marker> marker = MakeError(ErrorCode::BadFormat, "unread");
    {
        auto data = fs.ReadAt(area.work.handle(), name, MaxMarkerBytes);
        if (data) {
            marker = DecodeMarker(*data);
            if (marker) {
                Status checked = CheckMarker(*marker, kinds, known);
                if (!checked) marker = checked.error();
            }
        } else if (data.error().code == ErrorCode::NotPlainFile) {
            marker = data.error();
        } else {
            return data.error(); // could not be read now; perhaps later
        }
    }
    if (!marker) {
        // Neither finished nor thrown away: the marker and the staged files
        // are kept aside, where the operator can look at them.
        std::string kept;
        auto aside = MoveAside(area, name);
        if (!aside) return aside.error();
        kept = InWork(*aside);
        for (const std::string& kind : kinds) {
            if (FindDescription(known, kind) == nullptr) continue;
            auto staged = fs.StatAt(area.work.handle(), kind + StagingSuffix);
            if (!staged) return staged.error();
            if (!staged->exists()) continue;
            auto stagingAside = MoveAside(area, kind + StagingSuffix);
            if (!stagingAside) return stagingAside.error();
            kept += ", " + InWork(*stagingAside);
        }
        Tell(hooks, "The record of an interrupted save (" + InWork(name) + ") cannot be used (" +
                        marker.error().message + "); it was moved aside with what it staged (" + kept +
                        "). The files of the project were not changed by it; check them before saving.");
        return Status::Ok();
    }

    VEL_TRY(OnKindFolders(area, *marker, PutInPlace));
    const std::vector<Status> posted = PostAll(*marker, known, hooks);
    VEL_TRY(fs.RemoveAt(area.work.handle(), name));
    VEL_TRY(fs.SyncFolder(area.work.handle()));
    for (std::size_t i = 0; i < marker->size(); ++i) {
        const KindMarker& k = (*marker)[i];
        (void)RemoveStaging(area, k.kind);
        std::string sentence = "An interrupted save of the " + What(known, k.kind) +
                               " was finished: the new set of files is now on disk";
        if (!k.backup.empty())
            sentence += ", and the previous set is kept in " + InWork(std::string(BackupFolderName) + "/" + k.backup);
        sentence += posted[i] ? "; the server was told to reload them."
                              : "; the server could not be told to reload them: " + posted[i].error().message + ".";
        Tell(hooks, sentence);
    }
    return Status::Ok();
}

// Finishes every marker and throws away every staging folder without one.
// With `only`, just those of the given kinds, whose locks `locks` holds; an
// interrupted save that cannot be dealt with then is an error.
Status RecoverKinds(WorkArea& area, Locks& locks, const std::vector<KindDescription>& known, const SaveHooks& hooks,
                    const std::set<std::string>* only)
{
    FileSystem& fs = *area.fs;
    auto entries = fs.List(area.work.handle());
    if (!entries) return entries.error();
    auto concerns = [&](const std::vector<std::string>& kinds) {
        if (only == nullptr) return true;
        return std::any_of(kinds.begin(), kinds.end(), [&](const std::string& k) { return only->count(k) != 0; });
    };
    Status firstProblem;
    auto problem = [&](Error e) {
        if (firstProblem) firstProblem = std::move(e);
    };

    std::vector<DirEntry> sorted = std::move(*entries);
    std::sort(sorted.begin(), sorted.end(), [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
    std::set<std::string> markedKinds;
    for (const DirEntry& e : sorted) {
        if (!EndsWith(e.name, MarkerSuffix)) continue;
        const std::vector<std::string> kinds = KindsOfMarker(e.name);
        if (!concerns(kinds)) continue;
        markedKinds.insert(kinds.begin(), kinds.end());
        if (std::any_of(kinds.begin(), kinds.end(), [&](const std::string& k) { return FindDescription(known, k) == nullptr; })) {
            if (only != nullptr)
                problem(MakeError(ErrorCode::Unfinished, "an interrupted save (" + InWork(e.name) +
                                                             ") concerns a kind this program does not know"));
            continue;
        }
        Locks extra;
        bool busy = false;
        for (const std::string& k : kinds) {
            if (locks.Holds(k)) continue;
            Status taken = extra.Take(area, k);
            if (!taken) {
                if (taken.error().code != ErrorCode::Busy) return taken;
                busy = true;
            }
        }
        if (busy) {
            if (only != nullptr)
                problem(MakeError(ErrorCode::Busy, "an interrupted save (" + InWork(e.name) +
                                                       ") is being finished by another copy of the program"));
            continue;
        }
        // Another copy may have finished it while the locks were free.
        auto still = fs.StatAt(area.work.handle(), e.name);
        if (!still) return still.error();
        if (!still->exists()) continue;
        Status finished = FinishMarker(area, e.name, known, hooks);
        if (!finished) {
            if (only != nullptr) return MakeError(ErrorCode::Unfinished,
                                                  "an interrupted save could not be finished: " + finished.error().message);
            problem(finished.error());
        }
    }

    for (const DirEntry& e : sorted) {
        if (!EndsWith(e.name, StagingSuffix)) continue;
        const std::string kind = e.name.substr(0, e.name.size() - std::string(StagingSuffix).size());
        if (FindDescription(known, kind) == nullptr || !concerns({kind}) || markedKinds.count(kind) != 0) continue;
        Locks extra;
        if (!locks.Holds(kind)) {
            Status taken = extra.Take(area, kind);
            if (!taken) {
                if (taken.error().code != ErrorCode::Busy) return taken;
                continue;
            }
        }
        // A marker written meanwhile makes the staged files the new set.
        auto again = fs.List(area.work.handle());
        if (!again) return again.error();
        const bool committed = std::any_of(again->begin(), again->end(), [&](const DirEntry& x) {
            if (!EndsWith(x.name, MarkerSuffix)) return false;
            const auto ks = KindsOfMarker(x.name);
            return std::find(ks.begin(), ks.end(), kind) != ks.end();
        });
        if (committed) continue;
        std::size_t staged = 0;
        Status removed = RemoveStaging(area, kind, &staged);
        if (!removed) {
            Tell(hooks, "An unfinished save of the " + What(known, kind) + " could not be cleared away: " +
                            removed.error().message + ".");
            problem(removed.error());
            continue;
        }
        // An empty one is what a finished save could not clear away.
        if (staged == 0) continue;
        Tell(hooks, "An unfinished save of the " + What(known, kind) +
                        " had not reached its commit point and was thrown away; the files on disk are the previous set.");
    }
    return firstProblem;
}

std::vector<KindDescription> WithKinds(std::vector<KindDescription> known, const std::vector<KindToSave>& kinds)
{
    for (const KindToSave& k : kinds)
        if (FindDescription(known, k.desc.kind) == nullptr) known.push_back(k.desc);
    return known;
}

} // namespace

std::string WorkFolder(const std::string& projectPath) { return JoinPath(projectPath, WorkFolderName); }

struct SaveTransaction::State {
    struct Kind {
        KindToSave save;
        std::optional<std::string> folderName;
        std::string refused; // why an entry named like the kind folder was not used
        Folder folder;
        std::vector<std::string> existing;
        std::map<std::string, FileInfo> existingInfo;
    };
    WorkArea area;
    Locks locks;
    std::vector<KindDescription> known;
    SaveHooks hooks;
    std::vector<Kind> kinds;
};

SaveTransaction::SaveTransaction(std::unique_ptr<State> state) : m_state(std::move(state)) {}
SaveTransaction::~SaveTransaction() = default;

Result<std::unique_ptr<SaveTransaction>> SaveTransaction::Begin(FileSystem& fs, const std::string& projectPath,
                                                                std::vector<KindToSave> kinds,
                                                                const std::vector<KindDescription>& known,
                                                                const SaveHooks& hooks)
{
    auto state = std::make_unique<State>();
    state->known = WithKinds(known, kinds);
    state->hooks = hooks;

    auto area = OpenWorkArea(fs, projectPath, true);
    if (!area) return area.error();
    state->area = std::move(*area);

    // 1. Lock, in one order (by name) for every transaction.
    std::map<std::string, std::string> ours; // kind -> what
    for (const KindToSave& k : kinds) ours[k.desc.kind] = k.desc.what;
    std::set<std::string> ourKinds;
    for (const auto& [kind, what] : ours) {
        Status taken = state->locks.Take(state->area, kind);
        if (!taken) {
            if (taken.error().code == ErrorCode::Busy)
                return MakeError(ErrorCode::Busy, "another save of the " + what + " is running");
            return taken.error();
        }
        ourKinds.insert(kind);
    }
    // 2. What an interrupted save of these kinds left is finished first.
    VEL_TRY(RecoverKinds(state->area, state->locks, state->known, hooks, &ourKinds));

    // 3. Then look: the kind folders must hold what was loaded.
    for (KindToSave& k : kinds) {
        State::Kind kind;
        kind.save = k;
        auto name = FindKindFolder(fs, state->area.project, k.desc.kind);
        if (!name) return name.error();
        kind.folderName = name->name;
        kind.refused = name->refused;
        KindSnapshot now;
        now.taken = true;
        if (kind.folderName) {
            auto folder = OpenFolderAt(fs, state->area.project, *kind.folderName);
            if (!folder) return folder.error();
            kind.folder = std::move(*folder);
            auto snapshot = TakeSnapshot(fs, &kind.folder, k.desc);
            if (!snapshot) return snapshot.error();
            now = std::move(*snapshot);
        }
        if (k.loaded != nullptr && k.loaded->taken && !(now == *k.loaded))
            return MakeError(ErrorCode::Conflict, "files of the " + k.desc.what +
                                                      " were changed on disk since they were loaded: " +
                                                      DescribeChanges(*k.loaded, now));
        for (const auto& stamp : now.files) {
            auto info = fs.StatAt(kind.folder.handle(), stamp.name);
            if (!info) return info.error();
            kind.existing.push_back(stamp.name);
            kind.existingInfo[stamp.name] = *info;
        }
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

// A folder of the work area that a commit makes on first use: backup/ or
// passed-over/.
struct WorkRoot {
    const char* name;
    Folder folder;
};

Result<const Folder*> OpenWorkRoot(WorkArea& area, WorkRoot& root)
{
    if (!root.folder.isOpen()) {
        auto opened = OpenFolderAt(*area.fs, area.work, root.name, true, area.folderAttributes);
        if (!opened) return opened.error();
        root.folder = std::move(*opened);
    }
    return &root.folder;
}

// A new folder below a work root, named after the kind and the time:
// "<Kind>-YYYYMMDD-HHMMSS", or with "-2", "-3" ... when that is taken.
struct NewFolder {
    std::string name;
    Folder folder;
};

Result<NewFolder> MakeTimedFolder(WorkArea& area, WorkRoot& root, const std::string& kind)
{
    auto parent = OpenWorkRoot(area, root);
    if (!parent) return parent.error();
    auto name = FreeName(*area.fs, **parent, kind + "-" + Timestamp());
    if (!name) return name.error();
    auto folder = OpenFolderAt(*area.fs, **parent, *name, true, area.folderAttributes);
    if (!folder) return folder.error();
    return NewFolder{std::move(*name), std::move(*folder)};
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
    // is no plain file.
    Status CheckNewNames() const
    {
        for (std::size_t i = 0; i < m_s.kinds.size(); ++i) {
            const auto& k = m_s.kinds[i];
            if (!k.folderName && !m_sets[i].empty())
                return MakeError(ErrorCode::Io, k.refused.empty()
                                                    ? "the folder '" + JoinPath(m_s.area.projectPath, k.save.desc.kind) +
                                                          "' does not exist"
                                                    : "the " + k.save.desc.what + " cannot be saved: " + k.refused);
            if (!k.folderName) continue;
            const std::set<std::string> existing(k.existing.begin(), k.existing.end());
            for (const auto& [name, data] : m_sets[i]) {
                if (existing.count(name) != 0) continue;
                auto info = m_fs.StatAt(k.folder.handle(), name);
                if (!info) return info.error();
                if (info->exists())
                    return MakeError(ErrorCode::NotPlainFile, "'" + k.save.desc.kind + "/" + name + "' is " +
                                                                  (info->isFolder() ? "a folder" : "not a plain file") +
                                                                  "; move it out of the way and save again");
            }
        }
        return Status::Ok();
    }

    // Everything before the commit point, for every kind that has a folder:
    // the new set staged, the old set kept, the files the new set does not
    // carry on kept where pruning never reaches; the work folder flushed.
    Status Prepare()
    {
        for (std::size_t i = 0; i < m_s.kinds.size(); ++i) {
            auto& k = m_s.kinds[i];
            if (!k.folderName) continue;
            KindMarker m;
            m.kind = k.save.desc.kind;
            m.folder = *k.folderName;
            VEL_TRY(Stage(i, m));
            if (!k.existing.empty()) {
                auto backup = KeepOldSet(i, m);
                if (!backup) return backup.error();
                VEL_TRY(KeepPassedOver(i, *backup));
            }
            m_marker.push_back(std::move(m));
        }
        return m_fs.SyncFolder(m_s.area.work.handle());
    }

    // The commit point: from here on the next start finishes the save.
    Status WriteMarker()
    {
        return ReplaceFileAt(m_fs, m_s.area.work.handle(), m_markerName, EncodeMarker(m_marker),
                             m_s.area.fileAttributes);
    }

    // A failure before the commit point (or while writing the marker): the
    // marker goes first, since while it exists the next start would complete
    // the save; then what the commit made.
    Error Undo(const Error& why)
    {
        auto info = m_fs.StatAt(m_s.area.work.handle(), m_markerName);
        const bool markerGone =
            info.ok() && (!info->exists() || m_fs.RemoveAt(m_s.area.work.handle(), m_markerName).ok());
        if (!markerGone) return MakeError(ErrorCode::Unfinished, why.message + "; its commit marker could not be removed");
        ClearAway();
        return why;
    }

    Status PutAllInPlace() { return OnKindFolders(m_s.area, m_marker, PutInPlace); }

    // A failure past the commit point: every kind taken back, in reverse
    // order, and the marker removed; where that fails too the save is
    // Unfinished, and the next start completes it.
    Error TakeAllBack(const Error& why)
    {
        const Marker reversed(m_marker.rbegin(), m_marker.rend());
        Status undone = OnKindFolders(m_s.area, reversed, TakeBack);
        if (undone) undone = m_fs.RemoveAt(m_s.area.work.handle(), m_markerName);
        if (!undone)
            return MakeError(ErrorCode::Unfinished,
                             why.message + "; the save could not be undone either (" + undone.error().message + ")");
        (void)m_fs.SyncFolder(m_s.area.work.handle());
        ClearAway();
        return why;
    }

    // The new sets are in place. Clearing up can fail without undoing that: a
    // marker left behind is finished again, harmlessly, at the next start.
    void ClearUp()
    {
        for (Folder& f : m_stagings) f.Close();
        if (!m_fs.RemoveAt(m_s.area.work.handle(), m_markerName)) return;
        (void)m_fs.SyncFolder(m_s.area.work.handle());
        for (const auto& k : m_s.kinds) (void)RemoveStaging(m_s.area, k.save.desc.kind);
    }

    // Old backups go, the newest of each kind kept.
    void Prune()
    {
        for (const auto& k : m_s.kinds) {
            Status pruned = PruneBackups(m_s.area, k.save.desc.kind, m_s.hooks.keepBackups);
            if (!pruned)
                Tell(m_s.hooks, "Old backups of the " + k.save.desc.what + " could not all be removed: " +
                                    pruned.error().message + ".");
        }
    }

    // What became of each kind; the snapshots of the kinds that keep one are
    // renewed from the bytes just written, in listing order, rather than
    // read back: the folder holds exactly the new set now.
    std::vector<KindSaved> Saved(const std::vector<Status>& posted)
    {
        std::vector<KindSaved> out;
        for (std::size_t i = 0; i < m_s.kinds.size(); ++i) {
            auto& k = m_s.kinds[i];
            KindSaved saved;
            saved.kind = k.save.desc.kind;
            if (!m_backups[i].empty())
                saved.backupFolder = JoinPath(WorkFolder(m_s.area.projectPath), InBackups(m_backups[i]));
            saved.notify = posted[i];
            out.push_back(std::move(saved));
            if (k.save.loaded == nullptr) continue;
            std::vector<NamedFile>& set = m_sets[i];
            std::sort(set.begin(), set.end(), [](const NamedFile& a, const NamedFile& b) { return a.first < b.first; });
            KindSnapshot renewed;
            renewed.taken = true;
            for (auto& [name, data] : set) renewed.Add(name, std::move(data));
            *k.save.loaded = std::move(renewed);
        }
        return out;
    }

private:
    static std::string InBackups(const std::string& name) { return std::string(BackupFolderName) + "/" + name; }

    // The new set of kind i, complete and flushed, in its staging folder.
    Status Stage(std::size_t i, KindMarker& m)
    {
        auto& k = m_s.kinds[i];
        auto folderInfo = m_fs.StatFolder(k.folder.handle());
        if (!folderInfo) return folderInfo.error();
        VEL_TRY(RemoveStaging(m_s.area, m.kind));
        auto staging = OpenFolderAt(m_fs, m_s.area.work, m.kind + StagingSuffix, true, m_s.area.folderAttributes);
        if (!staging) return staging.error();
        m_stagings[i] = std::move(*staging);
        for (const auto& [name, data] : m_sets[i]) {
            VEL_TRY(m_fs.CreateAt(m_stagings[i].handle(), name, data,
                                  NewFileAttributes(k.existingInfo, *folderInfo, name)));
            m.newNames.push_back(name);
        }
        return m_fs.SyncFolder(m_stagings[i].handle());
    }

    // The old set of kind i, kept in a new backup folder: hard links, or
    // copies where the system refuses a link (another user's file, a file
    // system without them); anything but a plain file that cannot be linked
    // is moved into the backup when the new set goes in.
    Result<Folder> KeepOldSet(std::size_t i, KindMarker& m)
    {
        auto& k = m_s.kinds[i];
        auto backup = MakeTimedFolder(m_s.area, m_backupRoot, m.kind);
        if (!backup) return backup.error();
        m_backups[i] = backup->name;
        m.backup = backup->name;
        for (const std::string& old : k.existing) {
            m.oldNames.push_back(old);
            if (m_fs.LinkAt(k.folder.handle(), old, backup->folder.handle(), old)) continue;
            const FileInfo& info = k.existingInfo[old];
            if (info.isRegular())
                VEL_TRY(m_fs.CopyAt(k.folder.handle(), old, backup->folder.handle(), old, AttributesOf(info)));
            else
                m.moved.push_back(old);
        }
        VEL_TRY(m_fs.SyncFolder(backup->folder.handle()));
        VEL_TRY(m_fs.SyncFolder(m_backupRoot.folder.handle()));
        return std::move(backup->folder);
    }

    // Old plain files of kind i whose content the new set does not carry on
    // (the files the load passed over) are kept once more, from the backup,
    // where pruning never reaches them: their only copy is there.
    Status KeepPassedOver(std::size_t i, const Folder& backup)
    {
        auto& k = m_s.kinds[i];
        std::vector<std::string> passed;
        for (const std::string& old : k.existing)
            if (k.save.carried != nullptr && k.save.carried->count(old) == 0 && k.existingInfo[old].isRegular())
                passed.push_back(old);
        if (passed.empty()) return Status::Ok();
        auto kept = MakeTimedFolder(m_s.area, m_keptRoot, k.save.desc.kind);
        if (!kept) return kept.error();
        m_kept[i] = kept->name;
        for (const std::string& old : passed) {
            if (m_fs.LinkAt(backup.handle(), old, kept->folder.handle(), old)) continue;
            VEL_TRY(m_fs.CopyAt(backup.handle(), old, kept->folder.handle(), old, AttributesOf(k.existingInfo[old])));
        }
        VEL_TRY(m_fs.SyncFolder(kept->folder.handle()));
        return m_fs.SyncFolder(m_keptRoot.folder.handle());
    }

    // Removes what the commit made in the work folder, when it is undone.
    void ClearAway()
    {
        for (std::size_t i = 0; i < m_s.kinds.size(); ++i) {
            m_stagings[i].Close();
            (void)RemoveStaging(m_s.area, m_s.kinds[i].save.desc.kind);
            if (!m_backups[i].empty() && m_backupRoot.folder.isOpen())
                (void)RemoveWorkFolder(m_fs, m_backupRoot.folder, m_backups[i], InWork(InBackups(m_backups[i])),
                                       Holds::AnyFiles);
            if (!m_kept[i].empty() && m_keptRoot.folder.isOpen())
                (void)RemoveWorkFolder(m_fs, m_keptRoot.folder, m_kept[i],
                                       InWork(std::string(PassedOverFolderName) + "/" + m_kept[i]), Holds::AnyFiles);
        }
    }

    SaveTransaction::State& m_s;
    FileSystem& m_fs;
    std::vector<std::vector<NamedFile>>& m_sets;
    std::string m_markerName;
    Marker m_marker;
    std::vector<Folder> m_stagings;
    std::vector<std::string> m_backups; // below backup/, per kind
    std::vector<std::string> m_kept;    // below passed-over/, per kind
    WorkRoot m_backupRoot{BackupFolderName, {}};
    WorkRoot m_keptRoot{PassedOverFolderName, {}};
};

} // namespace

Result<std::vector<KindSaved>> SaveTransaction::Commit(std::vector<std::vector<NamedFile>> newSets)
{
    State& s = *m_state;
    if (newSets.size() != s.kinds.size())
        return MakeError(ErrorCode::InvalidArgument, "a save got " + std::to_string(newSets.size()) +
                                                         " sets for " + std::to_string(s.kinds.size()) + " kinds");
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

    // The server hears of it before the marker goes.
    Marker everyKind;
    for (const State::Kind& k : s.kinds) everyKind.push_back(KindMarker{k.save.desc.kind, {}, {}, {}, {}, {}});
    const std::vector<Status> posted = PostAll(everyKind, s.known, s.hooks);

    run.ClearUp();
    run.Prune();
    return run.Saved(posted);
}

Result<std::vector<NamedFile>> SaveTransaction::BackupFiles(std::size_t i, const std::string& name)
{
    State& s = *m_state;
    FileSystem& fs = *s.area.fs;
    const KindDescription& desc = s.kinds.at(i).save.desc;
    const Error none = MakeError(ErrorCode::NotFound, "the " + desc.what + " have no backup '" + name + "'");
    if (!IsPlainName(name) || !BackupKey(name, desc.kind)) return none;
    auto rootInfo = fs.StatAt(s.area.work.handle(), BackupFolderName);
    if (!rootInfo) return rootInfo.error();
    if (!rootInfo->exists()) return none;
    auto root = OpenFolderAt(fs, s.area.work, BackupFolderName);
    if (!root) return root.error();
    auto info = fs.StatAt(root->handle(), name);
    if (!info) return info.error();
    if (!info->exists()) return none;
    auto folder = OpenFolderAt(fs, *root, name);
    if (!folder) return folder.error();
    auto entries = fs.List(folder->handle());
    if (!entries) return entries.error();
    std::vector<NamedFile> files;
    for (const DirEntry& e : *entries) {
        if (e.type != FileType::Regular || !IsKindFileName(e.name, desc.prefix)) {
            Tell(s.hooks, "'" + e.name + "' in the backup " + name + " is no file of the " + desc.what +
                              " and is not put back.");
            continue;
        }
        auto data = fs.ReadAt(folder->handle(), e.name, desc.maxFileBytes);
        if (!data) return data.error();
        files.emplace_back(e.name, std::move(*data));
    }
    std::sort(files.begin(), files.end(), [](const NamedFile& a, const NamedFile& b) { return a.first < b.first; });
    return files;
}

Result<std::vector<BackupInfo>> ListBackups(FileSystem& fs, const std::string& projectPath,
                                            const std::vector<KindDescription>& known)
{
    std::vector<BackupInfo> out;
    auto area = OpenWorkArea(fs, projectPath, false);
    if (!area) {
        if (area.error().code == ErrorCode::NotFound) return out;
        return area.error();
    }
    if (!area->work.isOpen()) return out;
    auto info = fs.StatAt(area->work.handle(), BackupFolderName);
    if (!info) return info.error();
    if (!info->exists()) return out;
    auto root = OpenFolderAt(fs, area->work, BackupFolderName);
    if (!root) return root.error();
    for (const KindDescription& desc : known) {
        auto names = BackupsOf(fs, *root, desc.kind);
        if (!names) return names.error();
        for (const std::string& name : *names) {
            BackupInfo b;
            b.kind = desc.kind;
            b.name = name;
            const std::string t = BackupKey(name, desc.kind)->first; // YYYYMMDD-HHMMSS
            b.time = t.substr(0, 4) + "-" + t.substr(4, 2) + "-" + t.substr(6, 2) + " " + t.substr(9, 2) + ":" +
                     t.substr(11, 2) + ":" + t.substr(13, 2);
            auto folder = OpenFolderAt(fs, *root, name);
            if (!folder) return folder.error();
            auto entries = fs.List(folder->handle());
            if (!entries) return entries.error();
            b.files = entries->size();
            out.push_back(std::move(b));
        }
    }
    return out;
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
    Locks none;
    return RecoverKinds(*area, none, known, hooks, nullptr);
}

} // namespace vel
