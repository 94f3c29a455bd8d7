#pragma once

// Many renames at once, as one change of the tables: every rename is checked
// first, against the tables as they would be after all of them, and either
// all of them are made or none. The caller saves the kinds that changed in
// one commit.
//
// The rules are those of the single renames (rename_commands.h), taken over
// the whole set:
// - OLD names exactly one entry of its kind, as the tables stand before the
//   renames; no entry is named by two requests.
// - NEW is trimmed of blanks and must be storable; a NEW equal to the
//   entry's name changes nothing. No two entries of a kind may bear one name
//   after the renames: receivers compared without regard to case, route
//   profiles exactly.
// - The receiver lists of the route profiles follow the receiver renames,
//   each item mapped once from the name it bore before the renames (so a
//   swap A->B, B->A swaps the items, and a chain A->B, B->C never makes an A
//   item C). Where another receiver bears a renamed receiver's old name but
//   for case, only items spelt exactly like the old name change, as in a
//   single rename. No list may grow beyond what a record holds.

#include "project/project_check.h"
#include "project/rename_commands.h"
#include "project/suite.h"

#include <cstddef>
#include <string>
#include <vector>

namespace vel {

// One requested rename, as the caller read it.
struct RenameRequest {
    enum class Kind { Receiver, Profile };
    Kind kind = Kind::Receiver;
    int line = 0;        // where the request stands in its list, for messages
    std::string oldName; // UTF-8, matched exactly
    std::string newName; // UTF-8, trimmed of blanks as a single rename trims it
};

// A request refused, and why (UTF-8, one sentence or more).
struct RenameRefusal {
    int line = 0;
    std::string reason;
};

// A rename that changes a name.
struct PlannedRename {
    RenameRequest::Kind kind = RenameRequest::Kind::Receiver;
    int line = 0;
    std::size_t slot = 0; // the entry's table slot before the renames
    AnsiText oldName;
    AnsiText newName;
    int items = 0;          // receivers: list items that took the new name
    int itemsLeftAlone = 0; // receivers: items equal to the old name only but for case (see RenameOutcome)
};

struct RenameSet {
    std::vector<RenameRefusal> refused; // in the order of the lines; none when the renames were made
    std::vector<PlannedRename> renames; // the renames made, in the order requested
    std::vector<int> sameName;          // lines whose NEW is the entry's name already
    std::vector<ListChange> lists;      // the profile lists that changed
    bool receiversChanged = false;
    bool profilesChanged = false; // a profile renamed, or a list changed
};

// Checks every request, then, when none is refused, makes them all in the
// tables (each noted for the history, RecordRename). With any refusal the
// tables are left as they were.
RenameSet RenameMany(Suite& suite, const std::vector<RenameRequest>& requests);

} // namespace vel
