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
    const std::size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? std::string(".") : (slash == 0 ? "/" : path.substr(0, slash));
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);

    if (name.find_first_of("*?") == std::string::npos) {
        Result<FileInfo> info = fs.Stat(path);
        return info.ok() && info->exists && !info->isDirectory;
    }

    // Wildcards are matched in the last part of the path only.
    if (dir.find_first_of("*?") != std::string::npos) return false;
    Result<std::vector<DirEntry>> entries = fs.ListDirectory(dir);
    if (!entries.ok()) return false;
    const bool hiddenWanted = name.front() == '.';
    for (const DirEntry& entry : *entries) {
        if (!entry.isRegularFile) continue;
        if (!hiddenWanted && !entry.name.empty() && entry.name.front() == '.') continue;
        if (MatchesWildcard(name, entry.name)) return true;
    }
    return false;
}

} // namespace vel
