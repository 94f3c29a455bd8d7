#include "store/file_set.h"

#include <algorithm>
#include <ctime>
#include <set>
#include <sstream>

namespace vel {

namespace {

constexpr const char* MarkerHeader = "VelNameChange file set 1";

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
        if (s[i] == '%' && s.compare(i, 3, "%25") == 0) {
            out.push_back('%');
            i += 2;
        } else if (s[i] == '%' && s.compare(i, 3, "%0A") == 0) {
            out.push_back('\n');
            i += 2;
        } else {
            out.push_back(s[i]);
        }
    }
    return out;
}

struct Marker {
    std::string folder;
    std::string backup;
    std::vector<std::string> newNames;
    std::vector<std::string> oldNames;
};

ByteBuffer EncodeMarker(const Marker& m)
{
    std::string text = std::string(MarkerHeader) + "\n";
    text += "folder " + Escape(m.folder) + "\n";
    text += "backup " + Escape(m.backup) + "\n";
    for (const auto& n : m.newNames) text += "new " + Escape(n) + "\n";
    for (const auto& n : m.oldNames) text += "old " + Escape(n) + "\n";
    text += "end\n";
    return ByteBuffer(text.begin(), text.end());
}

Result<Marker> DecodeMarker(const ByteBuffer& data, const std::string& path)
{
    std::istringstream in(std::string(data.begin(), data.end()));
    std::string line;
    Marker m;
    if (!std::getline(in, line) || line != MarkerHeader)
        return MakeError(ErrorCode::BadFormat, path + ": not a commit marker");
    bool ended = false;
    while (std::getline(in, line)) {
        if (line == "end") {
            ended = true;
            break;
        }
        const auto sp = line.find(' ');
        if (sp == std::string::npos) return MakeError(ErrorCode::BadFormat, path + ": damaged line '" + line + "'");
        const std::string key = line.substr(0, sp);
        const std::string value = Unescape(line.substr(sp + 1));
        if (key == "folder") m.folder = value;
        else if (key == "backup") m.backup = value;
        else if (key == "new") m.newNames.push_back(value);
        else if (key == "old") m.oldNames.push_back(value);
        else return MakeError(ErrorCode::BadFormat, path + ": damaged line '" + line + "'");
    }
    if (!ended || m.folder.empty()) return MakeError(ErrorCode::BadFormat, path + ": marker is incomplete");
    return m;
}

Status EnsureFolder(FileSystem& fs, const std::string& path)
{
    auto info = fs.Stat(path);
    if (!info) return info.error();
    if (info->exists) {
        if (!info->isDirectory) return MakeError(ErrorCode::Io, "'" + path + "' is not a folder");
        return Status::Ok();
    }
    return fs.MakeDirectory(path);
}

// Removes a folder and the files directly in it.
Status RemoveFolder(FileSystem& fs, const std::string& path)
{
    auto info = fs.Stat(path);
    if (!info) return info.error();
    if (!info->exists) return Status::Ok();
    auto entries = fs.ListDirectory(path);
    if (!entries) return entries.error();
    for (const DirEntry& e : *entries) VEL_TRY(fs.Remove(JoinPath(path, e.name)));
    return fs.RemoveDirectory(path);
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

Status KeepCopy(FileSystem& fs, const std::string& from, const std::string& to)
{
    if (fs.Link(from, to).ok()) return Status::Ok();
    // Some file systems have no hard links: copy instead.
    auto data = fs.ReadFile(from);
    if (!data) return data.error();
    return fs.WriteFile(to, *data, true);
}

Status WriteMarker(FileSystem& fs, const std::string& work, const std::string& kind, const Marker& m)
{
    const std::string tmp = JoinPath(work, kind + ".commit.tmp");
    VEL_TRY(fs.WriteFile(tmp, EncodeMarker(m), true));
    VEL_TRY(fs.Rename(tmp, JoinPath(work, kind + ".commit")));
    return fs.SyncDirectory(work);
}

// Moves every staged file into place and removes the old names the new set
// does not use. Each step can be repeated: a file already moved is not staged
// any more, a name already removed is gone.
Status RollForward(FileSystem& fs, const std::string& staging, const Marker& m)
{
    // Every new file must be somewhere, staged or in place, before anything
    // is touched; otherwise the marker does not describe what is on disk.
    for (const auto& name : m.newNames) {
        auto staged = fs.Stat(JoinPath(staging, name));
        if (!staged) return staged.error();
        if (staged->exists) continue;
        auto placed = fs.Stat(JoinPath(m.folder, name));
        if (!placed) return placed.error();
        if (!placed->exists)
            return MakeError(ErrorCode::Conflict, "the new file '" + name + "' is neither staged nor in place");
    }
    for (const auto& name : m.newNames) {
        const std::string staged = JoinPath(staging, name);
        auto info = fs.Stat(staged);
        if (!info) return info.error();
        if (info->exists) VEL_TRY(fs.Rename(staged, JoinPath(m.folder, name)));
    }
    const std::set<std::string> keep(m.newNames.begin(), m.newNames.end());
    for (const auto& name : m.oldNames) {
        if (keep.count(name) != 0) continue;
        const std::string path = JoinPath(m.folder, name);
        auto info = fs.Stat(path);
        if (!info) return info.error();
        if (info->exists) VEL_TRY(fs.Remove(path));
    }
    return fs.SyncDirectory(m.folder);
}

// Undoes a partial roll-forward: new files go back to staging, old files come
// back from the backup.
Status RollBack(FileSystem& fs, const std::string& staging, const Marker& m)
{
    for (const auto& name : m.newNames) {
        const std::string staged = JoinPath(staging, name);
        auto info = fs.Stat(staged);
        if (!info) return info.error();
        if (!info->exists) VEL_TRY(fs.Rename(JoinPath(m.folder, name), staged));
    }
    for (const auto& name : m.oldNames) {
        const std::string path = JoinPath(m.folder, name);
        auto info = fs.Stat(path);
        if (!info) return info.error();
        if (info->exists) continue;
        const std::string tmp = JoinPath(m.folder, ".restore-" + name);
        VEL_TRY(KeepCopy(fs, JoinPath(m.backup, name), tmp));
        VEL_TRY(fs.Rename(tmp, path));
    }
    return fs.SyncDirectory(m.folder);
}

class LockGuard {
public:
    LockGuard(FileSystem& fs, int handle) : m_fs(fs), m_handle(handle) {}
    ~LockGuard() { m_fs.UnlockFile(m_handle); }
    LockGuard(const LockGuard&) = delete;
    LockGuard& operator=(const LockGuard&) = delete;

private:
    FileSystem& m_fs;
    int m_handle;
};

} // namespace

std::string WorkFolder(const std::string& projectPath) { return JoinPath(projectPath, ".velnamechange"); }

Result<KindSave> BeginKindSave(FileSystem& fs, const std::string& projectPath, const std::string& kind,
                               const std::string& prefix, bool haveEntries, const KindSnapshot& loaded)
{
    KindSave save;
    save.kind = kind;
    auto folder = FindKindFolder(fs, projectPath, kind);
    if (!folder) return folder.error();
    save.folder = *folder;
    if (!save.folder && haveEntries)
        return MakeError(ErrorCode::Io, "the folder '" + projectPath + kind + "' does not exist");

    // One listing serves both the comparison and the names to replace.
    auto now = TakeSnapshot(fs, save.folder, prefix);
    if (!now) return now.error();
    if (loaded.taken && !(*now == loaded))
        return MakeError(ErrorCode::Conflict, "files of the " + kind + " were changed on disk since they were loaded: " +
                                                  DescribeChanges(loaded, *now));
    for (const auto& stamp : now->files) save.existing.push_back(stamp.name);
    return save;
}

Result<FileSetOutcome> FinishKindSave(FileSystem& fs, const std::string& projectPath, const KindSave& save,
                                      std::vector<std::pair<std::string, ByteBuffer>> newFiles,
                                      KindSnapshot& loaded)
{
    if (!save.folder) return FileSetOutcome{};
    FileSetWrite set;
    set.kind = save.kind;
    set.folder = *save.folder;
    set.oldNames = save.existing;
    set.newFiles = std::move(newFiles);
    auto written = WriteFileSet(fs, projectPath, set);
    if (!written) return written.error();
    // The folder now holds exactly the new set: the snapshot is taken from the
    // bytes just written, in listing order, rather than read back.
    std::sort(set.newFiles.begin(), set.newFiles.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    loaded = KindSnapshot{};
    loaded.taken = true;
    for (auto& [name, data] : set.newFiles) loaded.Add(name, std::move(data));
    return written;
}

Result<FileSetOutcome> WriteFileSet(FileSystem& fs, const std::string& projectPath, const FileSetWrite& set)
{
    const std::string work = WorkFolder(projectPath);
    VEL_TRY(EnsureFolder(fs, work));
    auto lock = fs.LockFile(JoinPath(work, set.kind + ".lock"));
    if (!lock) {
        if (lock.error().code == ErrorCode::Busy)
            return MakeError(ErrorCode::Busy, "another save of the " + set.kind + " is running");
        return lock.error();
    }
    LockGuard guard(fs, *lock);

    const std::string staging = JoinPath(work, set.kind + ".staging");
    const std::string markerPath = JoinPath(work, set.kind + ".commit");
    {
        auto marker = fs.Stat(markerPath);
        if (!marker) return marker.error();
        if (marker->exists)
            return MakeError(ErrorCode::Conflict, "an earlier save of the " + set.kind +
                                                      " was interrupted and has not been finished; restart the program");
    }

    FileSetOutcome outcome;
    Marker m;
    m.folder = set.folder;
    m.oldNames = set.oldNames;
    for (const auto& f : set.newFiles) m.newNames.push_back(f.first);

    // 1. The new set, complete and flushed, in the staging folder.
    auto stage = [&]() -> Status {
        VEL_TRY(RemoveFolder(fs, staging));
        VEL_TRY(fs.MakeDirectory(staging));
        for (const auto& [name, data] : set.newFiles) VEL_TRY(fs.WriteFile(JoinPath(staging, name), data, true));
        VEL_TRY(fs.SyncDirectory(staging));
        return fs.SyncDirectory(work);
    };
    // 2. The old set, kept.
    auto keepOld = [&]() -> Status {
        if (set.oldNames.empty()) return Status::Ok();
        const std::string backups = JoinPath(work, "backup");
        VEL_TRY(EnsureFolder(fs, backups));
        std::string folder = JoinPath(backups, set.kind + "-" + Timestamp());
        for (int n = 2;; ++n) {
            auto info = fs.Stat(folder);
            if (!info) return info.error();
            if (!info->exists) break;
            folder = JoinPath(backups, set.kind + "-" + Timestamp() + "-" + std::to_string(n));
        }
        VEL_TRY(fs.MakeDirectory(folder));
        outcome.backupFolder = folder;
        m.backup = folder;
        for (const auto& name : set.oldNames)
            VEL_TRY(KeepCopy(fs, JoinPath(set.folder, name), JoinPath(folder, name)));
        VEL_TRY(fs.SyncDirectory(folder));
        return fs.SyncDirectory(backups);
    };

    Status before = stage();
    if (before) before = keepOld();
    // 3. The commit point.
    if (before) before = WriteMarker(fs, work, set.kind, m);
    if (!before) {
        // A marker that reached its place must go first: while it exists, the
        // next start would complete the save from the staged files.
        auto marker = fs.Stat(markerPath);
        const bool markerGone = marker.ok() && (!marker->exists || fs.Remove(markerPath).ok());
        if (!markerGone)
            return MakeError(ErrorCode::Unfinished,
                             before.error().message + "; the save will be completed when the program starts next");
        (void)fs.Remove(JoinPath(work, set.kind + ".commit.tmp"));
        (void)RemoveFolder(fs, staging);
        if (!outcome.backupFolder.empty()) (void)RemoveFolder(fs, outcome.backupFolder);
        return before.error();
    }

    // 4. Into place.
    Status applied = RollForward(fs, staging, m);
    if (!applied) {
        Status undone = RollBack(fs, staging, m);
        if (undone) undone = fs.Remove(markerPath);
        if (undone) {
            (void)RemoveFolder(fs, staging);
            if (!outcome.backupFolder.empty()) (void)RemoveFolder(fs, outcome.backupFolder);
            return applied.error();
        }
        return MakeError(ErrorCode::Unfinished,
                         applied.error().message + "; the save could not be undone either (" + undone.error().message +
                             "); it will be completed when the program starts next");
    }
    // The new set is in place. Clearing up can fail without undoing that: a
    // marker left behind is finished again, harmlessly, at the next start.
    if (fs.Remove(markerPath)) {
        (void)fs.SyncDirectory(work);
        (void)RemoveFolder(fs, staging);
    }
    return outcome;
}

Status RecoverFileSets(FileSystem& fs, const std::string& projectPath, const LogSink& log)
{
    const std::string work = WorkFolder(projectPath);
    auto info = fs.Stat(work);
    if (!info) return info.error();
    if (!info->exists || !info->isDirectory) return Status::Ok();
    auto entries = fs.ListDirectory(work);
    if (!entries) return entries.error();

    std::set<std::string> kinds;
    for (const DirEntry& e : *entries) {
        for (const std::string suffix : {".commit", ".staging"}) {
            if (e.name.size() > suffix.size() && e.name.compare(e.name.size() - suffix.size(), suffix.size(), suffix) == 0)
                kinds.insert(e.name.substr(0, e.name.size() - suffix.size()));
        }
    }
    for (const std::string& kind : kinds) {
        auto lock = fs.LockFile(JoinPath(work, kind + ".lock"));
        if (!lock) {
            if (lock.error().code == ErrorCode::Busy) continue;
            return lock.error();
        }
        LockGuard guard(fs, *lock);
        const std::string staging = JoinPath(work, kind + ".staging");
        const std::string markerPath = JoinPath(work, kind + ".commit");
        auto marker = fs.Stat(markerPath);
        if (!marker) return marker.error();
        if (marker->exists) {
            auto data = fs.ReadFile(markerPath);
            if (!data) return data.error();
            auto m = DecodeMarker(*data, markerPath);
            if (!m) return m.error();
            VEL_TRY(RollForward(fs, staging, *m));
            VEL_TRY(fs.Remove(markerPath));
            VEL_TRY(fs.SyncDirectory(work));
            if (log) log("completed an interrupted save of the " + kind + " (previous set kept in '" + m->backup + "')");
        } else if (log) {
            log("discarded an unfinished save of the " + kind + "; the files on disk are the previous set");
        }
        VEL_TRY(RemoveFolder(fs, staging));
        (void)fs.Remove(JoinPath(work, kind + ".commit.tmp"));
    }
    return Status::Ok();
}

} // namespace vel
