#include "store/project.h"

#include "store/codepage.h"

#include <algorithm>

namespace vel {

namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

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

Result<std::optional<std::string>> FindKindFolder(FileSystem& fs, const std::string& projectPath,
                                                  const std::string& kind)
{
    auto info = fs.Stat(projectPath);
    if (!info) return info.error();
    if (!info->exists || !info->isDirectory) return std::optional<std::string>{};
    auto entries = fs.ListDirectory(projectPath);
    if (!entries) return entries.error();
    std::vector<std::string> matches;
    for (const DirEntry& e : *entries)
        if (e.isDirectory && EqualNoCase(e.name, kind)) matches.push_back(e.name);
    if (matches.empty()) return std::optional<std::string>{};
    // The exact spelling wins; otherwise the first in sorted order.
    std::sort(matches.begin(), matches.end());
    const auto exact = std::find(matches.begin(), matches.end(), kind);
    return std::optional<std::string>(JoinPath(projectPath, exact != matches.end() ? *exact : matches.front()));
}

Result<std::vector<KindFile>> ListKindFiles(FileSystem& fs, const std::string& folder, const std::string& prefix)
{
    auto entries = fs.ListDirectory(folder);
    if (!entries) return entries.error();
    std::vector<std::string> names;
    const std::size_t length = prefix.size() + 4 + 4;
    for (DirEntry& e : *entries) {
        if (!e.isRegularFile || e.name.empty() || e.name[0] == '.') continue;
        if (e.name.size() != length) continue;
        if (!EqualNoCase(std::string_view(e.name).substr(0, prefix.size()), prefix)) continue;
        if (!EqualNoCase(std::string_view(e.name).substr(length - 4), ".dat")) continue;
        names.push_back(std::move(e.name));
    }
    std::sort(names.begin(), names.end());
    std::vector<KindFile> files;
    files.reserve(names.size());
    for (std::string& name : names) {
        std::string path = JoinPath(folder, name);
        std::string number = name.substr(prefix.size(), 4);
        files.push_back({std::move(name), std::move(path), std::move(number)});
    }
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
    if (read) stamp.content = std::move(*read);
    files.push_back(std::move(stamp));
}

Result<KindSnapshot> TakeSnapshot(FileSystem& fs, const std::optional<std::string>& folder, const std::string& prefix)
{
    KindSnapshot snap;
    snap.taken = true;
    if (!folder) return snap;
    auto files = ListKindFiles(fs, *folder, prefix);
    if (!files) return files.error();
    for (KindFile& f : *files) snap.Add(std::move(f.name), fs.ReadFile(f.path));
    return snap;
}

std::string DescribeChanges(const KindSnapshot& before, const KindSnapshot& now)
{
    std::vector<std::string> changed;
    for (const auto& b : before.files) {
        const auto it = std::find_if(now.files.begin(), now.files.end(), [&](const auto& n) { return n.name == b.name; });
        if (it == now.files.end()) changed.push_back(b.name + " (removed)");
        else if (!(*it == b)) changed.push_back(b.name + " (changed)");
    }
    for (const auto& n : now.files) {
        const auto it = std::find_if(before.files.begin(), before.files.end(), [&](const auto& b) { return b.name == n.name; });
        if (it == before.files.end()) changed.push_back(n.name + " (added)");
    }
    std::string text;
    for (std::size_t i = 0; i < changed.size() && i < 10; ++i) text += (i ? ", " : "") + changed[i];
    if (changed.size() > 10) text += ", and " + std::to_string(changed.size() - 10) + " more";
    return text;
}

} // namespace vel
