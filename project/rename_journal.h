#pragma once

// The operator's renames as a list of steps, for undo and redo and for
// applying them again onto files another program changed meanwhile.
//
// A step keeps what a rename changed: the entry (by its table index), its old
// and new name, and for a receiver every receiver list of a route profile it
// changed, before and after. Undo puts those back exactly, redo puts the new
// ones in again; neither runs the rename's checks, since the tables are as
// the step left them.
//
// Saving is tracked per table: the journal knows at which step each table was
// last saved, so a table holds unsaved changes exactly when a step between
// that point and the current one touches it. Undoing back to the saved point
// leaves nothing unsaved; undoing past it makes the table differ from the
// disk again. A rename made after undoing past a saved point keeps the undone
// steps and their reversal in the list (as undos of their own), so the saved
// state stays reachable and the steps between it and the tables stay known.
//
// Applying again: the steps between the saved points and the current one are
// what the operator's tables add to the files. Replay runs them, as renames
// with every check of a normal rename, onto tables loaded afresh.

#include "project/rename_commands.h"
#include "project/suite.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vel {

enum class RenamedKind { Profile, Receiver };

// A receiver list of a route profile as a rename found and left it.
struct ListEdit {
    std::size_t profile = 0; // the profile's table index
    int list = 1;            // ReceiverList1 or ReceiverList2
    AnsiText before;
    AnsiText after;
};

struct RenameStep {
    RenamedKind kind = RenamedKind::Profile;
    std::size_t index = 0; // the entry's table index
    AnsiText oldName;
    AnsiText newName;
    // Receivers: the profile lists the rename changed.
    std::vector<ListEdit> lists;
    // A receiver rename whose receiver part is on disk already, and which
    // changes the profile lists alone (made by Replay).
    bool listsOnly = false;
    // Among the entries of its kind named oldName exactly when the rename was
    // made: how many there were, and how many came before this one.
    std::size_t sameNamed = 1;
    std::size_t place = 0;

    bool TouchesProfiles() const { return kind == RenamedKind::Profile || !lists.empty(); }
    bool TouchesReceivers() const { return kind == RenamedKind::Receiver && !listsOnly; }
    // The step that takes this one back.
    RenameStep Reversed() const;
};

// "receiver "Siren" to "Horn"", UTF-8.
std::string DescribeStep(const RenameStep& step);

// One rename as Replay found it on the fresh tables.
struct ReplayLine {
    RenameStep step;      // as the operator made it
    bool applied = false; // made again (or already so on disk)
    std::string reason;   // why not, or what it changes (UTF-8)
};

class RenameJournal {
public:
    // What an entry and the profile lists are before a rename; taken before
    // the rename runs and handed to Record once it renamed.
    struct Before {
        RenamedKind kind = RenamedKind::Profile;
        std::size_t index = 0;
        AnsiText name;
        std::size_t sameNamed = 1;
        std::size_t place = 0;
        std::vector<AnsiText> lists; // receivers: every profile's two lists, in table order
    };
    static Before Take(const Suite& suite, RenamedKind kind, std::size_t index);
    // Records the rename that was made since `before` was taken. Steps undone
    // before it are dropped, or kept with their reversal where a table was
    // saved among them (see above).
    void Record(Before before, const Suite& suite);

    bool CanUndo() const { return m_current > 0; }
    bool CanRedo() const { return m_current < m_steps.size(); }
    // Takes back the last step made / makes the last step undone again; the
    // step, or nothing when there is none or the tables no longer hold what
    // it left (then nothing changes).
    std::optional<RenameStep> Undo(Suite& suite);
    std::optional<RenameStep> Redo(Suite& suite);

    // The tables of `kind` reached the disk as they are now.
    void Saved(SavedKind kind);
    bool ProfilesUnsaved() const { return Unsaved(Profiles); }
    bool ReceiversUnsaved() const { return Unsaved(Receivers); }
    // A receiver rename whose receiver part and profile part are both
    // unsaved: saving one table alone splits it.
    bool Tied() const;

    // Receiver indexes change when the table is sorted (before every save of
    // it). Places taken before the sort are turned back into indexes after it.
    struct Places;
    Places ReceiverPlaces(const Suite& suite) const;
    void ReceiversSorted(const Suite& suite, const Places& places);

    // Forgets every step; nothing is unsaved (the tables were loaded anew).
    void Clear();

    // Runs the steps the tables hold beyond the saved files onto `fresh`,
    // tables loaded anew from the files, each with the checks of a normal
    // rename: the entry must still bear its old name, the new name must be
    // free. Returns one line per step in the order run, and the journal of
    // `fresh`: the steps made, all unsaved.
    RenameJournal Replay(Suite& fresh, std::vector<ReplayLine>& lines) const;

    const std::vector<RenameStep>& Steps() const { return m_steps; }
    std::size_t Current() const { return m_current; }

private:
    enum Table { Profiles = 0, Receivers = 1 };
    static bool Touches(const RenameStep& step, Table table)
    {
        return table == Profiles ? step.TouchesProfiles() : step.TouchesReceivers();
    }
    // Whether step i (1-based) lies between the saved point of `table` and the current one.
    bool InUnsavedRange(std::size_t i, Table table) const;
    bool Unsaved(Table table) const;
    // Adds a step made on the tables as they are.
    void Push(RenameStep step);

    // What Replay runs: a step, and whether its receiver half is unsaved too.
    struct UnsavedStep {
        RenameStep step;
        bool receiverPart = false;
    };
    std::vector<UnsavedStep> UnsavedSteps() const;
    // Replay's two ways with a step: the rename itself, or (the receiver
    // being saved under its new name already) the profile lists alone.
    void ReplayRename(Suite& fresh, const RenameStep& step, ReplayLine& line);
    void ReplayListsOnly(Suite& fresh, const RenameStep& step, ReplayLine& line);

    std::vector<RenameStep> m_steps;
    std::size_t m_current = 0;   // steps 1..m_current are made
    std::size_t m_saved[2] = {}; // per table: the steps made when it was last saved
};

struct RenameJournal::Places {
    struct Place {
        AnsiText name;
        std::size_t before = 0;
    };
    std::vector<std::optional<Place>> steps; // per step, receiver steps only
};

// Tables loaded from the files as they are now, beside `suite`, on the same
// project, file layer and server, silent in the log. The load report in `report`.
std::unique_ptr<Suite> LoadFresh(const Suite& suite, LoadReport* report = nullptr);

// Whether another program changed the files of `kind` (Profiles, Receivers or
// Both) since the tables were loaded or last saved; the changed files in
// `changed` (for a message). A folder that cannot be read now is no change.
bool ChangedOnDisk(const Suite& suite, SavedKind kind, std::string* changed = nullptr);

// Who holds the save lock of the kind folder `kind` ("Receivers") when another
// program does, for the operator ("alice on desk-3 (process 4711) since ...").
std::optional<std::string> SaveLockHolder(const Suite& suite, const std::string& kind);

} // namespace vel
