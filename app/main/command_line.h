#pragma once

// The command line of VelNameChange:
//
//   VelNameChange [--project DIR]                          open the window
//   VelNameChange [--project DIR] list-profiles            index TAB ProfileNumber TAB E TAB name
//   VelNameChange [--project DIR] list-receivers           index TAB E TAB name
//   VelNameChange [--project DIR] rename-profile OLD NEW
//   VelNameChange [--project DIR] rename-receiver OLD NEW
//   VelNameChange --help | --version
//
// Names are UTF-8 on the command line and in the output. Everything after the
// command word is taken literally, so a name may start with "-".
// None of this needs a display: only the window mode creates a QApplication.

#include <iosfwd>
#include <string>
#include <vector>

namespace vel {

enum ExitStatus : int {
    ExitDone = 0,
    ExitRefused = 1,      // no such name, ambiguous, duplicate, empty, not storable: nothing written
    ExitUsage = 2,        // the command line is wrong
    ExitSaveFailed = 3,   // a save failed: the previous files are intact
    ExitNotNotified = 4,  // saved, but the server could not be told to reload
    ExitUnfinished = 5,   // the save was committed but could not be finished: the next start
                          // finishes it and tells the server
};

struct Invocation {
    enum class Mode { Window, Help, Version, ListProfiles, ListReceivers, RenameProfile, RenameReceiver, Usage };
    Mode mode = Mode::Window;
    std::string project;       // as given with --project
    bool projectGiven = false;
    std::string oldName;       // UTF-8
    std::string newName;       // UTF-8
    std::string error;         // Usage: what is wrong
};

// args: the arguments without the program's name.
Invocation ParseCommandLine(const std::vector<std::string>& args);

std::string UsageText();
std::string VersionText();

// The project directory to open: the one given, else Project beside the
// program. Ends with "/".
std::string ResolveProjectPath(const Invocation& invocation);

// For an explicitly given project: an error text when it is no directory.
std::string CheckProjectDirectory(const Invocation& invocation);

// Runs every mode but the window; returns the exit status.
int RunCommand(const Invocation& invocation, std::ostream& out, std::ostream& err);

} // namespace vel
