#include "tests/support/share_file_system.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace vel::test {

struct ShareDisk::Node {
    bool folder = false;
    ByteBuffer data;
    std::uint32_t mode = 0;
    std::uint32_t owner = 0;
    std::uint32_t group = 0;
    bool held = false; // another desk holds the file open
    bool gone = false; // a removed folder, still open somewhere: nothing can be made in it
    using Entries = std::map<std::string, std::shared_ptr<Node>>;
    Entries entries; // as every client sees them now
    Entries durable; // as they were when the folder was last flushed
};

namespace {

using Node = ShareDisk::Node;
using NodePtr = std::shared_ptr<Node>;

constexpr std::int64_t DiskTime = 1796650000;
// What a disk without modes gives every file and folder (fusefat, smbnetfs).
constexpr std::uint32_t FixedMode = 0755;

Error Sys(const std::string& what, const std::string& name, int err)
{
    const ErrorCode code = err == ENOENT ? ErrorCode::NotFound : err == EEXIST ? ErrorCode::Exists : ErrorCode::Io;
    return MakeError(code, what + " '" + name + "': " + std::strerror(err));
}

char Lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(const std::string& a, const std::string& b, bool ignoresCase)
{
    if (!ignoresCase) return a == b;
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

// The entry that answers for `name` (the exact spelling first).
Node::Entries::iterator Lookup(Node& dir, const std::string& name, bool ignoresCase)
{
    auto exact = dir.entries.find(name);
    if (exact != dir.entries.end() || !ignoresCase) return exact;
    return std::find_if(dir.entries.begin(), dir.entries.end(),
                        [&](const auto& e) { return SameName(e.first, name, true); });
}

std::vector<std::string> Parts(const std::string& path)
{
    std::vector<std::string> parts;
    std::string part;
    for (char c : path + "/") {
        if (c != '/') {
            part += c;
            continue;
        }
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        part.clear();
    }
    return parts;
}

FileInfo InfoOf(const Node& n)
{
    FileInfo info;
    info.type = n.folder ? FileType::Folder : FileType::Regular;
    info.size = n.folder ? 0 : n.data.size();
    info.mode = n.mode;
    info.owner = n.owner;
    info.group = n.group;
    info.modified = DiskTime;
    return info;
}

void CollectFiles(const Node& dir, const std::string& prefix, bool withHidden, std::map<std::string, ByteBuffer>& out)
{
    for (const auto& [name, node] : dir.entries) {
        if (!withHidden && name.front() == '.') continue;
        if (node->folder)
            CollectFiles(*node, prefix + name + "/", withHidden, out);
        else
            out[prefix + name] = node->data;
    }
}

} // namespace

ShareDisk::ShareDisk(ShareTraits t) : traits(t), m_root(std::make_shared<Node>())
{
    m_root->folder = true;
    m_root->mode = 0755;
}

ShareDisk::~ShareDisk() = default;

NodePtr ShareDisk::Find(const std::string& path) const
{
    NodePtr at = m_root;
    for (const std::string& part : Parts(path)) {
        if (!at->folder) return nullptr;
        auto it = Lookup(*at, part, traits.ignoresCase);
        if (it == at->entries.end()) return nullptr;
        at = it->second;
    }
    return at;
}

void ShareDisk::Write(const std::string& path, const ByteBuffer& data)
{
    NodePtr at = m_root;
    const auto parts = Parts(path);
    for (std::size_t i = 0; i < parts.size(); ++i) {
        auto it = Lookup(*at, parts[i], traits.ignoresCase);
        if (it == at->entries.end()) {
            auto node = std::make_shared<Node>();
            node->folder = i + 1 < parts.size();
            node->mode = node->folder ? 0755 : 0644;
            it = at->entries.emplace(parts[i], node).first;
        }
        if (i + 1 == parts.size()) it->second->data = data;
        at->durable = at->entries;
        at = it->second;
    }
}

void ShareDisk::Import(const std::string& realFolder, const std::string& path)
{
    namespace fsys = std::filesystem;
    for (const auto& e : fsys::recursive_directory_iterator(realFolder)) {
        if (!e.is_regular_file()) continue;
        std::ifstream in(e.path(), std::ios::binary);
        ByteBuffer data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        Write(path + "/" + fsys::relative(e.path(), realFolder).string(), data);
    }
}

std::map<std::string, ByteBuffer> ShareDisk::Snapshot(const std::string& path, bool withHidden) const
{
    std::map<std::string, ByteBuffer> out;
    if (NodePtr dir = Find(path); dir && dir->folder) CollectFiles(*dir, "", withHidden, out);
    return out;
}

std::set<std::string> ShareDisk::Names(const std::string& path) const
{
    std::set<std::string> out;
    if (NodePtr dir = Find(path); dir && dir->folder)
        for (const auto& e : dir->entries) out.insert(e.first);
    return out;
}

bool ShareDisk::Exists(const std::string& path) const
{
    return Find(path) != nullptr;
}

void ShareDisk::HoldOpen(const std::string& path)
{
    if (NodePtr n = Find(path)) n->held = true;
}

void ShareDisk::ReleaseAll()
{
    std::vector<NodePtr> todo{m_root};
    while (!todo.empty()) {
        NodePtr n = todo.back();
        todo.pop_back();
        n->held = false;
        for (const auto& e : n->entries) todo.push_back(e.second);
    }
}

void ShareDisk::SyncAll()
{
    std::vector<NodePtr> todo{m_root};
    while (!todo.empty()) {
        NodePtr n = todo.back();
        todo.pop_back();
        n->durable = n->entries;
        for (const auto& e : n->entries)
            if (e.second->folder) todo.push_back(e.second);
    }
}

void ShareDisk::PowerCut()
{
    std::set<Node*> seen;
    std::vector<NodePtr> todo{m_root};
    while (!todo.empty()) {
        NodePtr n = todo.back();
        todo.pop_back();
        if (!seen.insert(n.get()).second) continue;
        n->entries = n->durable;
        n->gone = false;
        for (const auto& e : n->entries)
            if (e.second->folder) todo.push_back(e.second);
    }
}

Result<NodePtr> ShareClient::Dir(FolderHandle dir, bool toMakeIn) const
{
    auto it = m_open.find(dir);
    if (it == m_open.end()) return Sys("cannot use folder", std::to_string(dir), EBADF);
    if (toMakeIn && it->second->gone) return Sys("cannot make an entry in folder", std::to_string(dir), ENOENT);
    return it->second;
}

NodePtr ShareClient::New(bool folder, const FileAttributes& a)
{
    auto n = std::make_shared<Node>();
    n->folder = folder;
    if (m_disk.traits.modes) {
        n->mode = a.mode & 07777;
        n->owner = a.owner.value_or(0);
        n->group = a.group.value_or(0);
    } else {
        n->mode = FixedMode;
        m_notKept = true;
    }
    return n;
}

Result<FolderHandle> ShareClient::OpenFolder(const std::string& path)
{
    NodePtr n = m_disk.Find(path);
    if (!n) return Sys("cannot open folder", path, ENOENT);
    if (!n->folder) return Sys("cannot open folder", path, ENOTDIR);
    m_open[m_next] = n;
    return m_next++;
}

Result<FolderHandle> ShareClient::OpenFolderAt(FolderHandle dir, const std::string& name, bool create,
                                               const FileAttributes& attributes)
{
    auto d = Dir(dir, create);
    if (!d) return d.error();
    auto it = Lookup(**d, name, m_disk.traits.ignoresCase);
    if (it == (*d)->entries.end()) {
        if (!create) return Sys("cannot open folder", name, ENOENT);
        it = (*d)->entries.emplace(name, New(true, attributes)).first;
    } else if (!it->second->folder) {
        return Sys("cannot open folder", name, ENOTDIR);
    } else if (m_disk.traits.modes) {
        it->second->mode |= attributes.mode & 07777;
    }
    m_open[m_next] = it->second;
    return m_next++;
}

Status ShareClient::MakeFolderAt(FolderHandle dir, const std::string& name, const FileAttributes& attributes)
{
    auto d = Dir(dir, true);
    if (!d) return d.error();
    if (Lookup(**d, name, m_disk.traits.ignoresCase) != (*d)->entries.end())
        return Sys("cannot make folder", name, EEXIST);
    (*d)->entries.emplace(name, New(true, attributes));
    return Status::Ok();
}

Result<std::vector<DirEntry>> ShareClient::List(FolderHandle dir)
{
    auto d = Dir(dir);
    if (!d) return d.error();
    std::vector<DirEntry> out;
    for (const auto& [name, node] : (*d)->entries)
        out.push_back({name, node->folder ? FileType::Folder : FileType::Regular});
    return out;
}

Result<FileInfo> ShareClient::StatAt(FolderHandle dir, const std::string& name)
{
    auto d = Dir(dir);
    if (!d) return d.error();
    auto it = Lookup(**d, name, m_disk.traits.ignoresCase);
    if (it == (*d)->entries.end()) return FileInfo{};
    return InfoOf(*it->second);
}

Result<FileInfo> ShareClient::StatFolder(FolderHandle dir)
{
    auto d = Dir(dir);
    if (!d) return d.error();
    return InfoOf(**d);
}

Status ShareClient::CheckWriteAccessAt(FolderHandle dir, const std::string& name)
{
    auto d = Dir(dir);
    if (!d) return d.error();
    if (Lookup(**d, name, m_disk.traits.ignoresCase) == (*d)->entries.end()) return Sys("cannot write", name, ENOENT);
    return Status::Ok();
}

Result<ByteBuffer> ShareClient::ReadAt(FolderHandle dir, const std::string& name, std::uint64_t maxBytes)
{
    auto d = Dir(dir);
    if (!d) return d.error();
    auto it = Lookup(**d, name, m_disk.traits.ignoresCase);
    if (it == (*d)->entries.end()) return Sys("cannot open", name, ENOENT);
    if (it->second->folder) return MakeError(ErrorCode::NotPlainFile, "'" + name + "' is a folder");
    if (it->second->data.size() > maxBytes)
        return MakeError(ErrorCode::NotPlainFile,
                         "'" + name + "' is larger than " + std::to_string(maxBytes) + " bytes");
    return it->second->data;
}

Status ShareClient::CreateAt(FolderHandle dir, const std::string& name, std::span<const std::uint8_t> data,
                             const FileAttributes& attributes)
{
    auto d = Dir(dir, true);
    if (!d) return d.error();
    if (Lookup(**d, name, m_disk.traits.ignoresCase) != (*d)->entries.end()) return Sys("cannot create", name, EEXIST);
    NodePtr n = New(false, attributes);
    n->data.assign(data.begin(), data.end());
    (*d)->entries.emplace(name, n);
    return Status::Ok();
}

Status ShareClient::CopyAt(FolderHandle fromDir, const std::string& from, FolderHandle toDir, const std::string& to,
                           const FileAttributes& attributes)
{
    auto source = ReadAt(fromDir, from, UINT64_MAX);
    if (!source) return source.error();
    return CreateAt(toDir, to, *source, attributes);
}

Status ShareClient::RenameAt(FolderHandle fromDir, const std::string& from, FolderHandle toDir, const std::string& to)
{
    const ShareTraits& t = m_disk.traits;
    auto fd = Dir(fromDir);
    if (!fd) return fd.error();
    auto td = Dir(toDir, true);
    if (!td) return td.error();
    const std::string shown = from + "' as '" + to;
    auto src = Lookup(**fd, from, t.ignoresCase);
    if (src == (*fd)->entries.end()) return Sys("cannot rename", shown, ENOENT);
    NodePtr moving = src->second;
    if (moving->held) return Sys("cannot rename", shown, t.heldErrno);
    auto dst = Lookup(**td, to, t.ignoresCase);
    std::string stored = to;
    if (dst != (*td)->entries.end()) {
        if (dst->second == moving) {
            // One entry under another spelling, or two names of one file
            // (which POSIX leaves as they are).
            if (*fd == *td && src == dst && !t.renameKeepsSpelling && src->first != to) {
                (*fd)->entries.erase(src);
                (*td)->entries.emplace(to, moving);
            }
            return Status::Ok();
        }
        if (dst->second->held) return Sys("cannot rename", shown, t.heldErrno);
        if (!t.renameReplaces) return Sys("cannot rename", shown, EEXIST);
        if (dst->second->folder && !moving->folder) return Sys("cannot rename", shown, EISDIR);
        if (!dst->second->folder && moving->folder) return Sys("cannot rename", shown, ENOTDIR);
        if (dst->second->folder && !dst->second->entries.empty()) return Sys("cannot rename", shown, ENOTEMPTY);
        if (t.renameKeepsSpelling) stored = dst->first;
        (*td)->entries.erase(dst);
    }
    (*fd)->entries.erase(Lookup(**fd, from, t.ignoresCase));
    (*td)->entries.emplace(stored, moving);
    return Status::Ok();
}

Status ShareClient::LinkAt(FolderHandle fromDir, const std::string& from, FolderHandle toDir, const std::string& to)
{
    const std::string shown = from + "' as '" + to;
    if (!m_disk.traits.links) return Sys("cannot link", shown, m_disk.traits.linkErrno);
    auto fd = Dir(fromDir);
    if (!fd) return fd.error();
    auto td = Dir(toDir, true);
    if (!td) return td.error();
    auto src = Lookup(**fd, from, m_disk.traits.ignoresCase);
    if (src == (*fd)->entries.end()) return Sys("cannot link", shown, ENOENT);
    if (src->second->folder) return Sys("cannot link", shown, EPERM);
    if (Lookup(**td, to, m_disk.traits.ignoresCase) != (*td)->entries.end()) return Sys("cannot link", shown, EEXIST);
    (*td)->entries.emplace(to, src->second);
    return Status::Ok();
}

Status ShareClient::RemoveAt(FolderHandle dir, const std::string& name)
{
    auto d = Dir(dir);
    if (!d) return d.error();
    auto it = Lookup(**d, name, m_disk.traits.ignoresCase);
    if (it == (*d)->entries.end()) return Sys("cannot remove", name, ENOENT);
    if (it->second->folder) return Sys("cannot remove", name, EISDIR);
    if (it->second->held && m_disk.traits.heldRefusesRemove) return Sys("cannot remove", name, m_disk.traits.heldErrno);
    (*d)->entries.erase(it);
    return Status::Ok();
}

Status ShareClient::RemoveFolderAt(FolderHandle dir, const std::string& name)
{
    auto d = Dir(dir);
    if (!d) return d.error();
    auto it = Lookup(**d, name, m_disk.traits.ignoresCase);
    if (it == (*d)->entries.end()) return Sys("cannot remove folder", name, ENOENT);
    if (!it->second->folder) return Sys("cannot remove folder", name, ENOTDIR);
    if (!it->second->entries.empty()) return Sys("cannot remove folder", name, ENOTEMPTY);
    it->second->gone = true;
    (*d)->entries.erase(it);
    return Status::Ok();
}

Status ShareClient::SyncFolder(FolderHandle dir)
{
    auto d = Dir(dir);
    if (!d) return d.error();
    (*d)->durable = (*d)->entries;
    return Status::Ok();
}

Result<int> ShareClient::LockAt(FolderHandle dir, const std::string& name, const FileAttributes& attributes)
{
    auto d = Dir(dir, true);
    if (!d) return d.error();
    auto it = Lookup(**d, name, m_disk.traits.ignoresCase);
    if (it == (*d)->entries.end()) it = (*d)->entries.emplace(name, New(false, attributes)).first;
    if (it->second->folder) return Sys("cannot open lock file", name, EISDIR);
    for (const auto& held : m_locks)
        if (held.second == it->second) return MakeError(ErrorCode::Busy, "the lock '" + name + "' is held");
    m_locks[m_next] = it->second;
    return m_next++;
}

} // namespace vel::test
