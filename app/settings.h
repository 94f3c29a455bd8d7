#pragma once

// The project a run works on and the settings of the configuration file
// $XDG_CONFIG_HOME/VelNameChange/VelNameChange.conf (~/.config when
// XDG_CONFIG_HOME is unset): lines of key=value, outside any section or in
// [General]; blanks around key and value and a pair of quotes around the
// value are passed over, and so are lines starting with # or ;.
//
// The file is read through the file layer (ReadNamedFile), like every other
// file of the program; Qt's QSettings would read more than this format
// (escapes, lists at commas, keys percent-encoded) and go round that layer.

#include "app/parse.h"
#include "base/file_system.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace vel {

// The project a run works on. Without --project: Project beside the program
// when that folder exists; else the folder named by VELNAMECHANGE_PROJECT;
// else project= in the configuration file; else Project beside the program,
// which does not exist and so is an empty project. A relative path is taken
// from the working folder (the suite makes it absolute, once).
struct ProjectChoice {
    std::string path; // as named
    std::string from; // where it was named, for messages
    Status problem;   // a named folder that is missing or no folder: a usage error
};
ProjectChoice ChooseProject(const Invocation& invocation, FileSystem& fs = RealFileSystem());

// The project path of ChooseProject (without its error).
std::string ResolveProjectPath(const Invocation& invocation);

// How many backups of each kind a save keeps: keep-backups= in the
// configuration file, never fewer than the default of 20. A value that is no
// number keeps the default, and `problem` says so.
std::size_t ConfiguredKeptBackups(std::string* problem = nullptr, FileSystem& fs = RealFileSystem());

// After how many minutes a lock that another machine left is taken over:
// stale-lock-minutes= in the configuration file, at least 1, 30 by default.
// A value that is no number keeps the default, and `problem` says so.
std::int64_t ConfiguredStaleLockMinutes(std::string* problem = nullptr, FileSystem& fs = RealFileSystem());

} // namespace vel
