#include "records/backups.h"

#include "records/commit_marker.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <sstream>

namespace vel {

namespace {

constexpr const char* ContentsHeader = "VelNameChange backup 1";
constexpr std::uint64_t MaxContentsBytes = 4u * 1024 * 1024;

std::string InBackups(const std::string& name)
{
    return InWork(std::string(BackupFolderName) + "/" + name);
}

// Names in the list of a backup's files: "%" and line ends escaped.
std::string EscapeName(const std::string& s)
{
    std::string out;
    for (const char c : s) {
        if (c == '%')
            out += "%25";
        else if (c == '\n')
            out += "%0A";
        else
            out.push_back(c);
    }
    return out;
}

std::string UnescapeName(const std::string& s)
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

// The list of a backup's files ("file SIZE NAME" lines): name -> size.
Result<std::map<std::string, std::uint64_t>> DecodeContents(const ByteBuffer& data)
{
    std::istringstream in(std::string(data.begin(), data.end()));
    std::string line;
    const Error damaged = MakeError(ErrorCode::BadFormat, "its list of files is damaged");
    if (!std::getline(in, line) || line != ContentsHeader) return damaged;
    std::map<std::string, std::uint64_t> files;
    while (std::getline(in, line)) {
        if (line == "end") return files;
        if (line.rfind("file ", 0) != 0) return damaged;
        const auto sp = line.find(' ', 5);
        if (sp == std::string::npos || sp == 5 || sp + 1 >= line.size()) return damaged;
        std::uint64_t size = 0;
        for (std::size_t i = 5; i < sp; ++i) {
            if (line[i] < '0' || line[i] > '9' || size > (UINT64_MAX - 9) / 10) return damaged;
            size = size * 10 + static_cast<std::uint64_t>(line[i] - '0');
        }
        files[UnescapeName(line.substr(sp + 1))] = size;
    }
    return MakeError(ErrorCode::BadFormat, "its list of files is incomplete");
}

// The list of the backup in `folder`, if it has one.
Result<std::optional<std::map<std::string, std::uint64_t>>> ReadContents(FileSystem& fs, const Folder& folder)
{
    VEL_TRY_ASSIGN(const auto info, fs.StatAt(folder.handle(), BackupContentsFile));
    if (!info.exists()) return std::optional<std::map<std::string, std::uint64_t>>();
    VEL_TRY_ASSIGN(const auto data, fs.ReadAt(folder.handle(), BackupContentsFile, MaxContentsBytes));
    VEL_TRY_ASSIGN(auto contents, DecodeContents(data));
    return std::optional<std::map<std::string, std::uint64_t>>(std::move(contents));
}

Result<std::optional<Folder>> OpenIfThere(FileSystem& fs, const Folder& parent, const std::string& name)
{
    VEL_TRY_ASSIGN(const auto info, fs.StatAt(parent.handle(), name));
    if (!info.exists()) return std::optional<Folder>();
    VEL_TRY_ASSIGN(auto folder, OpenFolderAt(fs, parent, name));
    return std::optional<Folder>(std::move(folder));
}

// What a backup folder is: whole (or made before backups kept a list, which
// nothing tells from whole), unfinished (a save was killed while it made it),
// or damaged since (a file of its list gone).
struct Inspected {
    enum class State { Whole, Unfinished, Damaged } state = State::Whole;
    std::string why;
    std::optional<std::map<std::string, std::uint64_t>> contents;
    std::vector<DirEntry> entries; // without the list and the mark
};

Result<Inspected> Inspect(FileSystem& fs, const Folder& folder)
{
    VEL_TRY_ASSIGN(auto entries, fs.List(folder.handle()));
    Inspected out;
    bool unfinished = false;
    bool listed = false;
    for (DirEntry& e : entries) {
        if (e.name == BackupUnfinishedFile)
            unfinished = true;
        else if (e.name == BackupContentsFile)
            listed = true;
        else
            out.entries.push_back(std::move(e));
    }
    if (unfinished || out.entries.empty()) {
        out.state = Inspected::State::Unfinished;
        out.why = "an interrupted save never finished it";
        return out;
    }
    if (!listed) return out;
    auto contents = ReadContents(fs, folder);
    if (!contents) {
        out.state = Inspected::State::Damaged;
        out.why = contents.error().message;
        return out;
    }
    out.contents = std::move(*contents);
    if (!out.contents) return out;
    for (const auto& listed : *out.contents) {
        const std::string& name = listed.first;
        const bool there = std::any_of(out.entries.begin(), out.entries.end(), [&](const DirEntry& e) {
            return e.name == name && e.type == FileType::Regular;
        });
        if (!there) {
            out.state = Inspected::State::Damaged;
            out.why = "'" + name + "' of its list is missing";
            return out;
        }
    }
    return out;
}

} // namespace

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

Result<std::vector<std::string>> BackupsOf(FileSystem& fs, const Folder& backupRoot, const std::string& kind)
{
    VEL_TRY_ASSIGN(const auto entries, fs.List(backupRoot.handle()));
    std::vector<std::pair<std::pair<std::string, int>, std::string>> found;
    for (const DirEntry& e : entries) {
        if (e.type != FileType::Folder) continue;
        if (auto key = BackupKey(e.name, kind)) found.emplace_back(*key, e.name);
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> names;
    for (auto& f : found) names.push_back(std::move(f.second));
    return names;
}

Status PruneBackups(WorkArea& area, const std::string& kind, std::size_t keep, const std::string& justMade)
{
    FileSystem& fs = *area.fs;
    keep = std::max(keep, DefaultKeptBackups);
    VEL_TRY_ASSIGN(const auto info, fs.StatAt(area.work.handle(), BackupFolderName));
    if (!info.isFolder()) return Status::Ok();
    VEL_TRY_ASSIGN(const auto root, OpenFolderAt(fs, area.work, BackupFolderName));
    VEL_TRY_ASSIGN(const auto names, BackupsOf(fs, root, kind));
    FirstFailure failure;
    std::size_t left = names.size();
    for (const std::string& name : names) {
        if (left <= keep) break;
        if (name == justMade) continue;
        failure.Note(RemoveWorkFolder(fs, root, name, InBackups(name), Holds::AnyFiles));
        --left;
    }
    VEL_TRY(failure.status());
    return fs.SyncFolder(root.handle());
}

Result<const Folder*> OpenWorkRoot(WorkArea& area, WorkRoot& root)
{
    if (!root.folder.isOpen()) {
        VEL_TRY_ASSIGN(root.folder, OpenFolderAt(*area.fs, area.work, root.name, true, area.folderAttributes));
    }
    return &root.folder;
}

Result<NewFolder> StartTimedFolder(WorkArea& area, WorkRoot& root, const std::string& kind, Clock& clock)
{
    VEL_TRY_ASSIGN(const auto parent, OpenWorkRoot(area, root));
    VEL_TRY_ASSIGN(auto name, FreeName(*area.fs, *parent, kind + "-" + CompactLocalTime(clock.Now())));
    VEL_TRY_ASSIGN(auto folder, OpenFolderAt(*area.fs, *parent, name, true, area.folderAttributes));
    VEL_TRY(area.fs->CreateAt(folder.handle(), BackupUnfinishedFile, {}, area.fileAttributes));
    return NewFolder{std::move(name), std::move(folder)};
}

Status FinishTimedFolder(FileSystem& fs, const Folder& root, NewFolder& folder)
{
    // Its files first, durably; only then may the mark go, and its going
    // must be durable before a commit marker names the folder: a mark that
    // came back after a power cut would have the folder removed as unfinished.
    VEL_TRY(fs.SyncFolder(folder.folder.handle()));
    VEL_TRY(fs.RemoveAt(folder.folder.handle(), BackupUnfinishedFile));
    VEL_TRY(fs.SyncFolder(folder.folder.handle()));
    return fs.SyncFolder(root.handle());
}

ByteBuffer EncodeBackupContents(const std::vector<std::pair<std::string, std::uint64_t>>& files)
{
    std::string text = std::string(ContentsHeader) + "\n";
    for (const auto& [name, size] : files) text += "file " + std::to_string(size) + " " + EscapeName(name) + "\n";
    text += "end\n";
    return ByteBuffer(text.begin(), text.end());
}

namespace {

// The newest folder of a kind below a work root, if it is unfinished.
Result<std::optional<std::string>> NewestUnfinished(FileSystem& fs, const Folder& root, const std::string& kind)
{
    VEL_TRY_ASSIGN(const auto names, BackupsOf(fs, root, kind));
    if (names.empty()) return std::optional<std::string>();
    VEL_TRY_ASSIGN(const auto folder, OpenFolderAt(fs, root, names.back()));
    VEL_TRY_ASSIGN(const auto inspected, Inspect(fs, folder));
    if (inspected.state != Inspected::State::Unfinished) return std::optional<std::string>();
    return std::optional<std::string>(names.back());
}

} // namespace

Result<bool> HasUnfinishedFolder(WorkArea& area, const std::string& kind)
{
    for (const char* rootName : {BackupFolderName, PassedOverFolderName}) {
        VEL_TRY_ASSIGN(const auto root, OpenIfThere(*area.fs, area.work, rootName));
        if (!root) continue;
        VEL_TRY_ASSIGN(const auto unfinished, NewestUnfinished(*area.fs, *root, kind));
        if (unfinished) return true;
    }
    return false;
}

Status ClearUnfinishedFolders(WorkArea& area, const std::string& kind, const SaveHooks& hooks,
                              const std::vector<KindDescription>& known)
{
    FileSystem& fs = *area.fs;
    for (const char* rootName : {BackupFolderName, PassedOverFolderName}) {
        VEL_TRY_ASSIGN(const auto root, OpenIfThere(fs, area.work, rootName));
        if (!root) continue;
        VEL_TRY_ASSIGN(const auto unfinished, NewestUnfinished(fs, *root, kind));
        if (!unfinished) continue;
        VEL_TRY(RemoveWorkFolder(fs, *root, *unfinished, InWork(std::string(rootName) + "/" + *unfinished),
                                 Holds::AnyFiles));
        VEL_TRY(fs.SyncFolder(root->handle()));
        if (std::string(rootName) == BackupFolderName)
            Tell(hooks, "A backup of the " + What(known, kind) + " that an interrupted save had begun (" +
                            InWork(std::string(rootName) + "/" + *unfinished) +
                            ") was not complete and was removed; the files of the project are as they were.");
    }
    return Status::Ok();
}

Result<std::vector<NamedFile>> ReadBackupSet(WorkArea& area, const KindDescription& desc, const std::string& name,
                                             const SaveHooks& hooks)
{
    FileSystem& fs = *area.fs;
    const Error none = MakeError(ErrorCode::NotFound, "the " + desc.what + " have no backup '" + name + "'");
    if (!IsPlainName(name) || !BackupKey(name, desc.kind)) return none;
    VEL_TRY_ASSIGN(const auto root, OpenIfThere(fs, area.work, BackupFolderName));
    if (!root) return none;
    VEL_TRY_ASSIGN(const auto folder, OpenIfThere(fs, *root, name));
    if (!folder) return none;
    VEL_TRY_ASSIGN(const auto inspected, Inspect(fs, *folder));
    if (inspected.state != Inspected::State::Whole)
        return MakeError(ErrorCode::BadFormat,
                         "the backup " + name + " of the " + desc.what + " is not a whole set: " + inspected.why);
    const auto& contents = inspected.contents;
    std::vector<NamedFile> files;
    for (const DirEntry& e : inspected.entries) {
        if (e.type != FileType::Regular || !IsKindFileName(e.name, desc.prefix)) {
            Tell(hooks, "'" + e.name + "' in the backup " + name + " is no file of the " + desc.what +
                            " and is not put back.");
            continue;
        }
        if (contents && contents->count(e.name) == 0)
            return MakeError(ErrorCode::BadFormat, "the backup " + name + " is not a whole set: it holds '" + e.name +
                                                       "', which its list of files does not name");
        VEL_TRY_ASSIGN(auto data, fs.ReadAt(folder->handle(), e.name, desc.maxFileBytes));
        if (contents && contents->at(e.name) != data.size())
            return MakeError(ErrorCode::BadFormat, "the backup " + name + " is not a whole set: '" + e.name +
                                                       "' is not the size its list of files says");
        files.emplace_back(e.name, std::move(data));
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
    VEL_TRY_ASSIGN(const auto root, OpenIfThere(fs, area->work, BackupFolderName));
    if (!root) return out;
    for (const KindDescription& desc : known) {
        VEL_TRY_ASSIGN(const auto names, BackupsOf(fs, *root, desc.kind));
        for (const std::string& name : names) {
            VEL_TRY_ASSIGN(const auto folder, OpenFolderAt(fs, *root, name));
            VEL_TRY_ASSIGN(const auto inspected, Inspect(fs, folder));
            if (inspected.state != Inspected::State::Whole) continue;
            BackupInfo b;
            b.kind = desc.kind;
            b.name = name;
            const std::string t = BackupKey(name, desc.kind)->first; // YYYYMMDD-HHMMSS
            b.time = t.substr(0, 4) + "-" + t.substr(4, 2) + "-" + t.substr(6, 2) + " " + t.substr(9, 2) + ":" +
                     t.substr(11, 2) + ":" + t.substr(13, 2);
            b.files = inspected.entries.size();
            out.push_back(std::move(b));
        }
    }
    return out;
}

} // namespace vel
