#pragma once

// What an operator asks of a loaded project besides renaming: the problems
// that make alarms go astray (check), which route profiles name a receiver
// (references), and what a rename would change before it is saved (preview).
// No widget and no Qt: the command line and the window both use these.

#include "project/rename_commands.h"
#include "project/suite.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vel {

struct Finding {
    enum class Kind {
        PassedOver,         // file, reason: a file (or folder) the load passed over
        UnfinishedSave,     // file, reason: a save that was committed but not finished
        NoReceiver,         // profile list item naming no receiver
        ReceiversSameName,  // receivers whose names are equal without regard to case
        ProfilesSameName,   // route profiles bearing exactly the same name
        ProfilesSameNumber, // route profiles bearing the same ProfileNumber (above 0)
    };
    Kind kind = Kind::PassedOver;
    std::string file;   // PassedOver, UnfinishedSave: as the load named it, or relative to the project
    std::string reason; // PassedOver, UnfinishedSave: UTF-8
    // NoReceiver: the profile's number and name, the list (1 or 2), the item's
    // position in it (from 1) and the item.
    // ReceiversSameName: names. ProfilesSameName: names[0] and numbers.
    // ProfilesSameNumber: numbers[0] and names. Always in table order.
    std::vector<std::int16_t> numbers;
    std::vector<AnsiText> names;
    int list = 0;
    int position = 0;
    AnsiText item;
};

// The short name of a kind, as the command line prints it ("no-receiver").
const char* FindingName(Finding::Kind kind);

// The problems of a loaded project, in this order: files passed over, an
// unfinished save, list items naming no receiver, receivers alike in name,
// profiles sharing a name, profiles sharing a number. Receiver names are
// compared as a receiver rename compares them (upper case of the code page).
// An unfinished save is a commit marker ("<Kind>.commit") left in the
// project's work folder after the load, or a failed recovery that the load
// reported against the work folder.
std::vector<Finding> CheckProject(const Suite& suite, const LoadReport& report);

// One sentence for the operator, UTF-8.
std::string DescribeFinding(const Finding& finding);

// What the window tells once at start-up: the files the load passed over and
// the other findings of CheckProject; empty when there is nothing to tell.
std::string DescribeStartUp(const Suite& suite, const LoadReport& report);

// A profile list item that names a receiver.
struct Reference {
    std::size_t slot = 0; // the profile's table slot
    int list = 0;         // 1 or 2
    int position = 0;     // from 1
    AnsiText item;        // as written in the list
};

// Every item of every profile list that equals `receiverName` without regard
// to case, in table order, list 1 before list 2.
std::vector<Reference> FindReferences(const Suite& suite, const AnsiText& receiverName);

// A profile list a receiver rename changes.
struct ListChange {
    std::size_t slot = 0;
    int list = 0;
    AnsiText before;
    AnsiText after;
};

struct RenamePreview {
    RenameOutcome outcome;
    AnsiText oldName;
    std::vector<ListChange> lists; // receiver renames only
};

// Renames the entry in table slot `slot` in memory, with the same checks and
// messages as RenameProfile and RenameReceiver, and says what changed. Nothing
// reaches the disk: the caller discards the suite instead of saving it.
// Only a dry run needs it: it copies every profile's receiver lists.
Result<RenamePreview> PreviewProfileRename(Suite& suite, std::int16_t slot, const NewName& newName);
Result<RenamePreview> PreviewReceiverRename(Suite& suite, std::int16_t slot, const NewName& newName);

} // namespace vel
