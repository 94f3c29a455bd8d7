#pragma once

// The command line of VelNameChange (UsageText has it in full; parse.h reads
// it, settings.h chooses the project, output.h writes listings, run.cpp and
// rename_command.cpp carry the commands out).
//
// Names are UTF-8 on the command line and in the output; control characters
// inside names are written escaped, so every line of a listing holds exactly
// its columns. None of this needs a display: only the window mode creates a
// QApplication.

#include "app/parse.h"
#include "app/settings.h"
#include "base/file_system.h"
#include "base/server_command.h"

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace vel {

enum ExitStatus : int {
    ExitDone = 0,
    ExitRefused = 1,     // no such name, ambiguous, duplicate, empty, not storable: nothing written
    ExitFound = 1,       // check: something was found
    ExitUsage = 2,       // the command line is wrong
    ExitSaveFailed = 3,  // a save failed: the previous files are in place
    ExitNotNotified = 4, // saved, but the server could not be told to reload
    ExitUnfinished = 5,  // the save was committed but could not be finished: the next start
                         // finishes it and tells the server
};

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
