#pragma once

// The history of renames: one line per change of a name that a save made,
// appended in the work folder (.velnamechange/history.tsv) once the save has
// committed, and never pruned. Other tools may read it; its format:
//
//   VelNameChange history 1                        the first line
//   time TAB user TAB host TAB kind TAB old TAB new TAB items TAB backup TAB save
//
//   time    when the save committed, UTC: YYYY-MM-DDTHH:MM:SSZ
//   user    the login name of who saved, host the machine's name
//   kind    profiles, receivers, or restore-profiles, restore-receivers for a
//           restore (old empty, new the name of the backup put back)
//   old new the names, UTF-8
//   items   receiver-list items of route profiles that changed with it
//   backup  the backup folder (below .velnamechange/backup) that holds the
//           set before the save; empty when none was kept
//   save    one id for every line of one commit
//
// Every field is escaped as the listings are (\t, \n, \xHH for C0, DEL and C1
// controls, \\ for a backslash), so a line holds exactly nine fields.

#include "base/bytes.h"
#include "base/file_system.h"
#include "base/result.h"
#include "base/texts.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vel {

inline constexpr const char* HistoryFileName = "history.tsv";
inline constexpr const char* HistoryHeader = "VelNameChange history 1";

// A change of a name that a save makes, as the program holds it.
struct NameChange {
    std::string kind; // the kind folder's name: "Profiles", "Receivers"
    AnsiText oldName; // as stored (Windows-1252)
    AnsiText newName;
    int items = 0; // receiver-list items that changed with it
};

// One line of the history.
struct HistoryEntry {
    std::int64_t time = 0; // seconds since 1970-01-01 UTC
    std::string user;
    std::string host;
    std::string kind;    // "profiles", "receivers", "restore-profiles", "restore-receivers"
    std::string oldName; // UTF-8
    std::string newName; // UTF-8
    int items = 0;
    std::string backup;
    std::string save;
    bool operator==(const HistoryEntry&) const = default;
};

// A time as the history writes it: YYYY-MM-DDTHH:MM:SSZ, in UTC.
std::string FormatHistoryTime(std::int64_t seconds);

// One line of the file, without its line end.
std::string FormatHistoryLine(const HistoryEntry& entry);
// A line of the file; BadFormat when it is damaged (a field too many or too
// few, a bad escape, a time or count that is none).
Result<HistoryEntry> ParseHistoryLine(std::string_view line);

// The history of a project, oldest first. A damaged line is passed over and
// told (with its line number); the lines after it are read all the same. A
// project without a history has an empty one.
Result<std::vector<HistoryEntry>> ReadHistory(FileSystem& fs, const std::string& projectPath, const LogSink& tell);

// Adds the lines of one save to the history in the open work folder, as one
// atomic replacement of the file, flushed; the lines already there, damaged
// ones too, are kept as they are. Lines of a save whose id the history holds
// already are not added again, so a save finished at the next start adds its
// lines once. The caller holds the history's lock.
Status AppendHistory(FileSystem& fs, const Folder& work, const std::vector<HistoryEntry>& entries,
                     const FileAttributes& attributes);

} // namespace vel
