#pragma once

// Replacing a whole set of record files (all receivers, or all profiles)
// without ever losing one. The new set is written and flushed into a staging
// folder, the old set is kept in a backup folder (hard links), and one small
// marker file, written atomically, is the commit point. Then the staged files
// are moved into place and the old names that are no longer used are removed.
// A failure before the commit point leaves the old set untouched; a failure
// after it is rolled back from the backup; a process that dies after it is
// rolled forward by RecoverFileSets at the next start.
//
// Below the project directory:
//   .velnamechange/<Kind>.lock          held while a save of that kind runs
//   .velnamechange/<Kind>.staging/      the new set while it is written
//   .velnamechange/<Kind>.commit        the commit marker
//   .velnamechange/backup/<Kind>-YYYYMMDD-HHMMSS/   the previous set, kept

#include "store/file_system.h"
#include "store/project.h"
#include "store/result.h"
#include "store/texts.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vel {

struct FileSetWrite {
    std::string kind;                  // "Receivers" or "Profiles"
    std::string folder;                // the kind folder as it is on disk
    std::vector<std::string> oldNames; // files of the kind on disk that the save replaces or removes
    std::vector<std::pair<std::string, ByteBuffer>> newFiles; // bare name -> content
};

struct FileSetOutcome {
    std::string backupFolder; // empty when there was nothing to keep
};

std::string WorkFolder(const std::string& projectPath);

// What every save of a kind starts from: the kind folder as it is on disk
// (none when it does not exist) and the files of the kind in it.
struct KindSave {
    std::string kind;
    std::optional<std::string> folder;
    std::vector<std::string> existing;
};

// Refuses a save when the kind folder is missing although there is something
// to write, or when another tool added, removed or changed files of the kind
// since `loaded` was taken (a snapshot not taken is not compared).
Result<KindSave> BeginKindSave(FileSystem& fs, const std::string& projectPath, const std::string& kind,
                               const std::string& prefix, bool haveEntries, const KindSnapshot& loaded);

// Replaces the files of the kind with `newFiles` and renews `loaded`. Nothing
// is written when there is no kind folder (and so nothing to write).
Result<FileSetOutcome> FinishKindSave(FileSystem& fs, const std::string& projectPath, const KindSave& save,
                                      std::vector<std::pair<std::string, ByteBuffer>> newFiles,
                                      KindSnapshot& loaded);

Result<FileSetOutcome> WriteFileSet(FileSystem& fs, const std::string& projectPath, const FileSetWrite& set);

// Finishes or throws away what an interrupted save left behind. Call before
// loading. Kinds whose save is still running in another copy of the program
// (lock held) are left alone.
Status RecoverFileSets(FileSystem& fs, const std::string& projectPath, const LogSink& log);

} // namespace vel
