#pragma once

// The work folder of a project (.velnamechange) and what every save and
// recovery does in it: open it with the attributes that its folders and files
// take from the project folder, hold the locks of the kinds, remove and move
// aside what is no longer needed. Below the project every entry is a real
// folder or file, never a link: a link there is refused and reported, never
// followed and never deleted through.

#include "base/file_system.h"
#include "base/result.h"
#include "records/desk_lock.h"
#include "records/project.h"
#include "records/save_transaction.h"

#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace vel {

inline constexpr const char* StagingSuffix = ".staging";
inline constexpr const char* LockSuffix = ".lock";
inline constexpr const char* BackupFolderName = "backup";
inline constexpr const char* PassedOverFolderName = "passed-over";
// The lock of the history, taken after the kinds' locks.
inline constexpr const char* HistoryLockName = "History";

// "name" below the work folder, for messages: ".velnamechange/name".
std::string InWork(const std::string& name);

// The opened project and work folder, with the attributes that work folders
// and work files take from the project folder: its group, and its group's
// permission bits (folders also its set-group-id bit).
struct WorkArea {
    FileSystem* fs = nullptr;
    std::string projectPath;
    Folder project;
    Folder work; // not open when there is no work folder and none was asked for
    FileAttributes folderAttributes;
    FileAttributes fileAttributes;
};

// With `create`, a missing work folder is made, and the project folder
// flushed so that its name survives a power cut with what is made in it.
Result<WorkArea> OpenWorkArea(FileSystem& fs, const std::string& projectPath, bool create);

// The locks a transaction or a recovery holds, by name (a kind, or the
// history): first the flock, which keeps saves of this machine apart at
// once, then the lock every desk of a share sees, which the file system
// itself decides. Both are held to the end; the desk lock goes first.
class Locks {
public:
    bool Holds(const std::string& name) const { return m_held.count(name) != 0; }
    // Busy when another save holds it past `waitMilliseconds`.
    Status Take(WorkArea& area, const std::string& name, const std::string& what, const SaveHooks& hooks,
                std::int64_t waitMilliseconds);
    // Whether every desk lock is still this program's, before a commit point.
    Status StillHeld() const;

private:
    // Members go in reverse order: the desk lock before the flock.
    struct Held {
        LockHold flock;
        DeskLock desk;
    };
    std::map<std::string, Held> m_held;
};

// What a work folder may hold when it is removed: a staging folder only the
// plain files the program wrote there; a backup also the links and pipes it
// kept (removing an entry never touches what a link points to).
enum class Holds { PlainFiles, AnyFiles };

// Removes a folder of the work area and the files in it. A link where the
// folder should be, a folder inside, or (for PlainFiles) anything but a plain
// file inside is refused: nothing is deleted through a link. `removedFiles`
// counts the files it held.
Status RemoveWorkFolder(FileSystem& fs, const Folder& parent, const std::string& name, const std::string& shown,
                        Holds holds, std::size_t* removedFiles = nullptr);
Status RemoveStaging(WorkArea& area, const std::string& kind, std::size_t* removedFiles = nullptr);

// A free name for something new beside `dir`'s other entries: base, or
// base-2, base-3 ... (with `alsoFree`, base-N + alsoFree must be free too).
Result<std::string> FreeName(FileSystem& fs, const Folder& dir, const std::string& base,
                             const std::string& alsoFree = {});

// Moves a marker or staging folder that cannot be used out of the way,
// inside the work folder, so that it blocks nothing and loses nothing.
Result<std::string> MoveAside(WorkArea& area, const std::string& name, Clock& clock);

void Tell(const SaveHooks& hooks, const std::string& sentence);
// The kind in a sentence: "receivers".
std::string What(const std::vector<KindDescription>& known, const std::string& kind);

} // namespace vel
