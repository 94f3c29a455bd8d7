#pragma once

// The commands that rename, for RunCommand (run.cpp); rename_command.cpp
// holds them.

#include "app/parse.h"
#include "project/rename_commands.h"
#include "project/suite.h"

#include <iosfwd>

namespace vel {

// The exit status of a save, told on standard error unless it went well.
int SaveStatus(const SaveReport& report, SavedKind kind, std::ostream& err);

// rename-profile and rename-receiver.
int RenameAndSave(Suite& suite, const Invocation& inv, std::ostream& out, std::ostream& err);

// rename-many: the file of renames is read from `in` when it is "-"
// (nullptr: standard input).
int RenameManyAndSave(Suite& suite, const Invocation& inv, std::istream* in, std::ostream& out, std::ostream& err);

} // namespace vel
