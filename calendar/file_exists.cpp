#include "calendar/file_exists.h"

#include <cstddef>

namespace vel {

bool MatchesWildcard(const std::string& pattern, const std::string& name)
{
    // Iterative matching with one back-tracking point for the last *.
    std::size_t p = 0, n = 0;
    std::size_t starP = std::string::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

bool FileExists(FileSystem& fs, const std::string& path)
{
    if (path.empty() || path.back() == '/') return false;
    const auto [dir, name] = SplitPath(path);

    if (name.find_first_of("*?") == std::string::npos) {
        // A link to a normal file counts as the file.
        Result<std::string> target = fs.ResolvePath(path);
        if (!target.ok()) return false;
        const auto [targetDir, targetName] = SplitPath(*target);
        Result<Folder> folder = OpenFolder(fs, targetDir);
        if (!folder.ok()) return false;
        Result<FileInfo> info = fs.StatAt(folder->handle(), targetName);
        return info.ok() && info->isRegular();
    }

    // Wildcards are matched in the last part of the path only.
    if (dir.find_first_of("*?") != std::string::npos) return false;
    Result<Folder> folder = OpenFolder(fs, dir);
    if (!folder.ok()) return false;
    Result<std::vector<DirEntry>> entries = fs.List(folder->handle());
    if (!entries.ok()) return false;
    const bool hiddenWanted = name.front() == '.';
    for (const DirEntry& entry : *entries) {
        if (entry.type != FileType::Regular) continue;
        if (!hiddenWanted && !entry.name.empty() && entry.name.front() == '.') continue;
        if (MatchesWildcard(name, entry.name)) return true;
    }
    return false;
}

} // namespace vel
