#pragma once

// The command line of VelNameChange (UsageText has it in full):
//
//   VelNameChange [OPTION]... [COMMAND [NAME]...]
//
// Options come before the command word; everything after it is taken
// literally, so a name may start with "-". Without a command the window opens.
// Names are UTF-8 on the command line and in the output; control characters
// inside names are written escaped, so every line of a listing holds exactly
// its columns. None of this needs a display: only the window mode creates a
// QApplication.

#include "base/file_system.h"
#include "base/server_command.h"

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace vel {

enum ExitStatus : int {
    ExitDone = 0,
    ExitRefused = 1,      // no such name, ambiguous, duplicate, empty, not storable: nothing written
    ExitFound = 1,        // check: something was found
    ExitUsage = 2,        // the command line is wrong
    ExitSaveFailed = 3,   // a save failed: the previous files are in place
    ExitNotNotified = 4,  // saved, but the server could not be told to reload
    ExitUnfinished = 5,   // the save was committed but could not be finished: the next start
                          // finishes it and tells the server
};

struct Invocation {
    enum class Mode {
        Window, Help, Version, ListProfiles, ListReceivers, Check, References, RenameProfile, RenameReceiver,
        Backups, Restore, Unlock, History, RenameMany, Usage
    };
    enum class Format { Tsv, Json };
    Mode mode = Mode::Window;
    std::string project;       // as given with --project
    bool projectGiven = false;
    bool dryRun = false;
    bool verbose = false;
    Format format = Format::Tsv;
    std::string oldName;       // UTF-8; the NAME of references; the KIND of restore and unlock; the FILE
                               // of rename-many
    std::string newName;       // UTF-8; the backup of restore
    std::string error;         // Usage: what is wrong
};

// args: the arguments without the program's name.
Invocation ParseCommandLine(const std::vector<std::string>& args);

// Qt's own options (-style Fusion, -platform xcb, -reverse, ...; one dash or
// two, the value after "=" or as the next argument) among the options before
// the command word, apart from the program's own arguments: the window's Qt
// reads the first, ParseCommandLine the second. After "--" or the command
// word nothing is taken for Qt, so a name may be "-style".
struct SplitArguments {
    std::vector<std::string> qt;
    std::vector<std::string> own;
};
SplitArguments SplitQtOptions(const std::vector<std::string>& args);

std::string UsageText();   // the whole help (--help)
std::string VersionText();

// The project a run works on. Without --project: Project beside the program
// when that folder exists; else the folder named by VELNAMECHANGE_PROJECT;
// else project= in $XDG_CONFIG_HOME/VelNameChange/VelNameChange.conf
// (~/.config when XDG_CONFIG_HOME is unset); else Project beside the program,
// which does not exist and so is an empty project. A relative path is taken
// from the working folder (the suite makes it absolute, once).
struct ProjectChoice {
    std::string path;  // as named
    std::string from;  // where it was named, for messages
    std::string error; // a named folder that is missing or no folder: a usage error
};
ProjectChoice ChooseProject(const Invocation& invocation);

// The project path of ChooseProject (without its error).
std::string ResolveProjectPath(const Invocation& invocation);

// How many backups of each kind a save keeps: keep-backups= in the
// configuration file, never fewer than the default of 20. A value that is no
// number keeps the default, and `problem` says so.
std::size_t ConfiguredKeptBackups(std::string* problem = nullptr);

// After how many minutes a lock that another machine left is taken over:
// stale-lock-minutes= in the configuration file, at least 1, 30 by default.
// A value that is no number keeps the default, and `problem` says so.
std::int64_t ConfiguredStaleLockMinutes(std::string* problem = nullptr);

// The exit status of a save that did not write its files: 5 when it passed
// its commit point and is finished at the next start, else 3.
int SaveFailureStatus(ErrorCode code);

// What the command line works through; tests replace both.
struct CommandServices {
    FileSystem* fs = &RealFileSystem();
    ServerCommand* server = nullptr; // nullptr: the suite's run-time library
    std::istream* in = nullptr;      // what "-" reads; nullptr: standard input
};

// Runs every mode but the window; returns the exit status.
int RunCommand(const Invocation& invocation, std::ostream& out, std::ostream& err,
               const CommandServices& services = {});

} // namespace vel
