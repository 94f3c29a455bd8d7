#pragma once

// The rename and save commands of the utility, without any widget: the main
// window and the command line both call them, and the tests drive them
// directly. Renames change only the tables in memory; nothing reaches the disk
// until a save.
//
// Names come in as UTF-8 (typed into the input box or given on the command
// line) and are stored in the suite's code page. A name that cannot be stored
// is refused before anything changes: a character outside the code page, a
// NUL or any other control character, more than 32767 bytes.

#include "project/suite.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vel {

// The system's own messages for a duplicate name.
inline constexpr const char* DuplicateProfileMessage = "A Route Profile with this name already exists.";
inline constexpr const char* DuplicateReceiverMessage = "A Receiver with this name already exists.";
inline constexpr const char* NewProfilePrompt = "New Profile Name:";
inline constexpr const char* NewReceiverPrompt = "New Receiver Name:";

enum class RenameResult {
    Renamed,     // the entry bears the new name
    SameName,    // the entry bears that name already: nothing changed, nothing to save
    Unchanged,   // the answer was empty after trimming blanks: nothing changed
    Duplicate,   // another entry bears the name: nothing changed
    NotStorable, // the name cannot be stored: nothing changed
};

struct RenameOutcome {
    RenameResult result = RenameResult::Unchanged;
    // Duplicate and NotStorable: why the name was refused, as the operator is
    // told it (UTF-8). A duplicate is an Exists error with the system's text.
    Status refusal;
    AnsiText newName;        // the stored name (Renamed only)
    int listsChanged = 0;    // receiver renames: profile lists whose content changed
    int profilesChanged = 0; // receiver renames: profiles with a list among them
    // Duplicate: the table slot of the entry that bears the name already
    // (for receivers, the name without regard to case).
    std::optional<std::size_t> holder;
    int itemsChanged = 0; // receiver renames: list items that took the new name
    // Receiver renames in a project whose receivers include another one of
    // the same name but for case: list items that equal the old name only
    // without regard to case, which may name that other receiver, and so
    // were left as they were.
    int itemsLeftAlone = 0;
};

// The answer of an input box made ready for a table: blanks (character 32)
// removed at both ends, then encoded to the code page. An empty result is no
// error (the caller treats it as "nothing to do"). Refuses, with a message
// that names the problem, what cannot be stored.
Result<AnsiText> PrepareNewName(std::string_view utf8);

// A new name made ready once, where it comes in (PrepareNewName): the rename
// functions take it as it is, so a name is trimmed and encoded once on its
// way however many of them look at it.
struct NewName {
    explicit NewName(std::string_view utf8) : prepared(PrepareNewName(utf8)) {}
    Result<AnsiText> prepared; // empty: nothing to do; an error: it cannot be stored
};

// Why an already encoded name cannot be stored, or nothing when it can.
Status CheckStorableName(const AnsiText& name);

// The index of table slot `slot`: an IndexOutOfRange error (naming `table`)
// for a slot outside 0..size-1.
Result<std::size_t> TableIndex(const char* table, std::int16_t slot, std::size_t size);

// Renames the route profile in table slot `slot`. A slot outside
// 0..NumberOfRouteProfiles-1 is an IndexOutOfRange error. Both renames note
// themselves in their table (RecordRename), for the history the next save
// of the kind writes.
Result<RenameOutcome> RenameProfile(Suite& suite, std::int16_t slot, std::string_view newNameUtf8);
Result<RenameOutcome> RenameProfile(Suite& suite, std::int16_t slot, const NewName& newName);

// Renames the receiver in table slot `slot` and the receiver inside the
// receiver lists of every route profile (see RebuildReceiverList). All or
// nothing: when a rebuilt list would be too long to store, nothing changes.
// Profile lists name receivers without regard to case, so a new name equal
// to another receiver's but for case is a duplicate. Where another receiver
// already bears the old name but for case, only list items equal to the old
// name exactly are changed.
Result<RenameOutcome> RenameReceiver(Suite& suite, std::int16_t slot, std::string_view newNameUtf8);
Result<RenameOutcome> RenameReceiver(Suite& suite, std::int16_t slot, const NewName& newName);

// The items of a profile's receiver list, split at every NUL up to the end of
// the text: "A\0\0B" holds "A", "" and "B"; the NUL that closes the last
// item opens no further one.
std::vector<std::string_view> SplitReceiverList(std::string_view list);

// A profile's receiver list rebuilt for a rename: every item that equals
// oldName in upper case (with exactOnly: exactly) becomes newName, every other
// item stays, and every item is followed by one NUL. The list is split at
// every NUL up to the end of the text, so an empty item (two NULs in a row) is
// kept as it was and no item after it is lost; a last item without its
// closing NUL gains one. With exactOnly, leftAlone counts the items that
// equal oldName in upper case only; `replaced` counts the items renamed.
AnsiText RebuildReceiverList(const AnsiText& list, const AnsiText& oldName, const AnsiText& newName,
                             bool exactOnly = false, int* leftAlone = nullptr, int* replaced = nullptr);

// Slots whose name equals `nameUtf8` exactly (after encoding; none when it
// cannot be encoded).
std::vector<std::int16_t> FindProfilesByName(const Suite& suite, std::string_view nameUtf8);
std::vector<std::int16_t> FindReceiversByName(const Suite& suite, std::string_view nameUtf8);

// The saves. SaveReceivers sorts the receiver table again (also when the save
// fails), so slot numbers held by a caller are stale afterwards.
SaveReport SaveProfiles(Suite& suite);
SaveReport SaveReceivers(Suite& suite);
// Both tables in one commit: both sets of files are replaced, or neither.
SaveReport SaveReceiversAndProfiles(Suite& suite);

enum class SavedKind { Profiles, Receivers, Both };

// Saves the tables of `kind`; Both in one commit.
SaveReport SaveTables(Suite& suite, SavedKind kind);

// The tables a single rename that renamed changed, and so leaves unsaved: a
// route profile rename the profiles; a receiver rename the receivers, and the
// profiles as well when it changed a receiver list. Both are then tied: the
// receivers saved alone would leave the saved route profiles naming a
// receiver that no longer exists, the profiles alone one that does not exist
// yet.
SavedKind ChangedTables(bool receiver, const RenameOutcome& outcome);

// The tables the command line saves after a single rename: a receiver rename
// is saved with the route profiles in one commit even when it changed no
// list, so that rename-receiver always replaces both sets of files and posts
// both reload commands, as it is documented to.
SavedKind SavedAfterRename(bool receiver);

// What the operator is told about a save, UTF-8; empty when it went well.
std::string DescribeSave(const SaveReport& report, SavedKind kind);

// The line added below a duplicate message: which entry bears the name
// already (slot outcome.holder of the profiles or, with receivers, of the
// receivers), and for receivers that upper and lower case are not told apart.
// UTF-8; empty when the outcome is no duplicate.
std::string DescribeDuplicateHolder(const Suite& suite, const RenameOutcome& outcome, bool receivers);

// What the operator is told about receiver list items a rename left alone
// (RenameOutcome::itemsLeftAlone); empty when there were none.
std::string DescribeItemsLeftAlone(const RenameOutcome& outcome, const std::string& oldNameUtf8);

// What the operator is told when the load passed over files; empty when the
// load was complete.
std::string DescribeIncompleteLoad(const LoadReport& report);

} // namespace vel
