#pragma once

#include "base/file_system.h"

#include <string>

namespace vel {

// True when a normal file of that name exists; directories are not matched.
// A name that holds the wildcards * or ? is true when any normal file of its
// directory matches it; names starting with a dot count as hidden and match
// only a pattern that starts with a dot itself. Any error during the search
// (invalid path, unreadable directory) gives false.
bool FileExists(FileSystem& fs, const std::string& path);

// Wildcard match of one file name: * any run of characters, ? one character.
bool MatchesWildcard(const std::string& pattern, const std::string& name);

} // namespace vel
