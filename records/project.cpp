#include "records/project.h"

#include "base/codepage.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <unistd.h>

namespace vel {

namespace {

char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

} // namespace

std::string MakeProjectPath(const std::string& applicationDirectory)
{
    return applicationDirectory + "/" + "Project/";
}

std::string NumberedFileName(const std::string& prefix, long long number)
{
    std::string digits = "0000" + std::to_string(number);
    return prefix + digits.substr(digits.size() - 4) + ".dat";
}

std::string NormalProjectPath(const std::string& path)
{
    std::string out = path;
    if (out.empty() || out.front() != '/') {
        while (out.starts_with("./")) out.erase(0, 2);
        if (out == ".") out.clear();
        std::string here(PATH_MAX, '\0');
        while (::getcwd(here.data(), here.size()) == nullptr && errno == ERANGE) here.resize(here.size() * 2);
        here.resize(std::strlen(here.c_str()));
        if (here.empty()) here = ".";
        out = out.empty() ? here : JoinPath(here, out);
    }
    if (out.back() != '/') out += '/';
    return out;
}

Result<KindFolderName> FindKindFolder(FileSystem& fs, const Folder& project, const std::string& kind)
{
    VEL_TRY_ASSIGN(const auto entries, fs.List(project.handle()));
    std::vector<std::string> matches;
    KindFolderName found;
    for (const DirEntry& e : entries) {
        if (!EqualNoCase(e.name, kind)) continue;
        if (e.type == FileType::Folder)
            matches.push_back(e.name);
        else if (found.refused.empty())
            found.refused = "'" + e.name + "' is " + (e.type == FileType::Link ? "a symbolic link" : "no folder") +
                            "; only a real folder inside the project is used";
    }
    if (matches.empty()) return found;
    found.refused.clear();
    std::sort(matches.begin(), matches.end());
    const auto exact = std::find(matches.begin(), matches.end(), kind);
    found.name = exact != matches.end() ? *exact : matches.front();
    return found;
}

bool IsKindFileName(std::string_view name, std::string_view prefix)
{
    const std::size_t length = prefix.size() + 4 + 4;
    return name.size() == length && EqualNoCase(name.substr(0, prefix.size()), prefix) &&
           EqualNoCase(name.substr(length - 4), ".dat");
}

Result<std::vector<KindFile>> ListKindFiles(FileSystem& fs, const Folder& folder, const std::string& prefix)
{
    VEL_TRY_ASSIGN(auto entries, fs.List(folder.handle()));
    std::vector<KindFile> files;
    for (DirEntry& e : entries) {
        if (e.type == FileType::Folder || !IsKindFileName(e.name, prefix)) continue;
        std::string number = e.name.substr(prefix.size(), 4);
        files.push_back({std::move(e.name), std::move(number), e.type});
    }
    std::sort(files.begin(), files.end(), [](const KindFile& a, const KindFile& b) { return a.name < b.name; });
    return files;
}

std::optional<std::int16_t> FileNumber(const std::string& numberPart)
{
    if (numberPart.size() != 4) return std::nullopt;
    int n = 0;
    for (const char c : numberPart) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + (c - '0');
    }
    return static_cast<std::int16_t>(n);
}

} // namespace vel

namespace vel {

void KindSnapshot::Add(std::string name, Result<ByteBuffer> read)
{
    taken = true;
    Stamp stamp;
    stamp.name = std::move(name);
    stamp.readable = read.ok();
    if (read)
        stamp.content = std::move(*read);
    else
        stamp.problem = read.error().message;
    files.push_back(std::move(stamp));
}

Result<KindSnapshot> TakeSnapshot(FileSystem& fs, const Folder* folder, const KindDescription& desc)
{
    KindSnapshot snap;
    snap.taken = true;
    if (folder == nullptr) return snap;
    VEL_TRY_ASSIGN(auto files, ListKindFiles(fs, *folder, desc.prefix));
    for (KindFile& f : files) {
        auto content = fs.ReadAt(folder->handle(), f.name, desc.maxFileBytes);
        snap.Add(std::move(f.name), std::move(content));
    }
    return snap;
}

Result<KindFolderContent> ReadKindFolder(FileSystem& fs, const std::string& projectPath, const KindDescription& desc)
{
    KindFolderContent content;
    auto project = OpenFolder(fs, projectPath);
    if (!project) {
        // A project that does not exist (yet) holds nothing.
        if (project.error().code == ErrorCode::NotFound) return content;
        return project.error();
    }
    VEL_TRY_ASSIGN(const auto name, FindKindFolder(fs, *project, desc.kind));
    content.refused = name.refused;
    if (!name.name) return content;
    content.found = true;
    content.folderName = *name.name;
    VEL_TRY_ASSIGN(const auto folder, OpenFolderAt(fs, *project, content.folderName));
    VEL_TRY_ASSIGN(auto files, ListKindFiles(fs, folder, desc.prefix));
    content.files.reserve(files.size());
    for (KindFile& f : files) {
        auto bytes = fs.ReadAt(folder.handle(), f.name, desc.maxFileBytes);
        content.files.push_back({std::move(f), std::move(bytes)});
    }
    return content;
}

std::string DescribeChanges(const KindSnapshot& before, const KindSnapshot& now)
{
    std::vector<std::string> changed;
    for (const auto& b : before.files) {
        const auto it = std::find_if(now.files.begin(), now.files.end(),
                                     [&](const auto& n) { return n.name == b.name; });
        if (it == now.files.end())
            changed.push_back(b.name + " (removed)");
        else if (!(*it == b))
            changed.push_back(b.name + " (changed)");
    }
    for (const auto& n : now.files) {
        const auto it = std::find_if(before.files.begin(), before.files.end(),
                                     [&](const auto& b) { return b.name == n.name; });
        if (it == before.files.end()) changed.push_back(n.name + " (added)");
    }
    std::string text;
    for (std::size_t i = 0; i < changed.size() && i < 10; ++i) text += (i ? ", " : "") + changed[i];
    if (changed.size() > 10) text += ", and " + std::to_string(changed.size() - 10) + " more";
    return text;
}

} // namespace vel
