#pragma once

// Replacing whole sets of record files (all receivers, all route profiles, or
// both at once) without ever losing one, on a project folder that other
// people and tools share.
//
// One transaction, in this order: take the lock of every kind (in name
// order; a lock every desk of a shared folder sees, see desk_lock.h), finish
// what an interrupted save of those kinds left behind, compare each kind
// folder with the files as loaded (a change refuses the save), write and
// flush the new sets into staging folders, keep the old sets in a backup
// folder (hard links, or copies where the system refuses a link) that is
// marked unfinished until it is whole, check that the locks are still this save's,
// write the commit marker and flush its folder (the commit point), put the
// staged files in place, add the history's lines, tell the server, remove
// the marker. The locks are held to the end.
//
// A failure before the commit point leaves every kind folder untouched and
// fails the save; one after it is undone from the backup where that is
// possible, and otherwise reported as Unfinished: the next start of the
// program finishes the save and tells the server. The reload command is
// posted before the marker goes, so a crash between the two posts it again
// (a repeated reload is harmless, a missed one is not).
//
// Below the project (every entry a real folder or file, never a link; a link
// there is refused and reported, never followed and never deleted through):
//   .velnamechange/<Kind>.lock               flock, held while a save of the kind runs
//   .velnamechange/<Kind>.held/owner         the lock every desk sees, while a save runs
//   .velnamechange/<Kind>.staging/           the new set while it is written
//   .velnamechange/<Kinds>.commit            the marker: "Receivers", or
//                                            "Profiles+Receivers" for both at once
//   .velnamechange/backup/<Kind>-YYYYMMDD-HHMMSS/   the previous set, with the
//                                            list of its files (.contents),
//                                            and .unfinished while it is made;
//                                            after each save only the newest
//                                            of a kind are kept (20, or more if set)
//   .velnamechange/passed-over/<Kind>-YYYYMMDD-HHMMSS/   old files whose
//                                            content the new set does not
//                                            carry (files the load passed
//                                            over); never pruned
//   .velnamechange/history.tsv               the history of renames (history.h),
//                                            under History.lock and History.held
//   .velnamechange/<name>.damaged-YYYYMMDD-HHMMSS   a marker or staging folder
//                                            that could not be used, kept aside
// The marker names folders and files relative to the project, so a save is
// finished in the project it belongs to whatever the working folder. The
// work folder and its files take the project folder's group and group
// permissions, so that every member of the group can save after another.

#include "base/clock.h"
#include "base/file_system.h"
#include "base/result.h"
#include "base/texts.h"
#include "records/desk_lock.h"
#include "records/history.h"
#include "records/project.h"

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace vel {

inline constexpr const char* WorkFolderName = ".velnamechange";
inline constexpr std::size_t DefaultKeptBackups = 20;
// How long a save waits for the lock of a kind that another save holds.
inline constexpr std::int64_t DefaultLockWaitMilliseconds = 5000;
// A lock of another machine is taken over once it is this old (its program
// is taken to have died); a lock of this machine as soon as its process is gone.
inline constexpr std::int64_t DefaultStaleLockMinutes = 30;

// The work folder below a project path.
std::string WorkFolder(const std::string& projectPath);

using NamedFile = std::pair<std::string, ByteBuffer>;

// One kind of a transaction: what it is and what the program loaded of it.
struct KindToSave {
    KindDescription desc;
    KindSnapshot* loaded = nullptr; // compared under the lock, renewed after the save; may be null
    // The names of the files on disk whose content the new set carries on
    // (the files the program loaded into its table). Every other old file is
    // also kept where pruning never reaches it. Null: all of them.
    const std::set<std::string>* carried = nullptr;
    // The changes of names the new set makes, for the history.
    std::vector<NameChange> changes;
    // For a restore: the backup put back (the history says so).
    std::string restoredFrom;
};

// What became of one kind.
struct KindSaved {
    std::string kind;
    std::string backupFolder; // where the previous set is kept; empty when there was none
    Status notify;            // whether the server was told to reload
};

// What a transaction and the recovery need from the program around them:
// the server's reload command of a kind, and plain sentences for the operator.
struct SaveHooks {
    std::function<Status(const KindDescription&)> post;
    LogSink tell;
    // Backups of a kind kept after a save, newest first; fewer are never kept.
    std::size_t keepBackups = DefaultKeptBackups;
    // The time (backup names, locks, the history) and who saves where.
    Clock* clock = &SystemClock();
    Desks* desks = &ThisMachine();
    std::int64_t lockWaitMilliseconds = DefaultLockWaitMilliseconds;
    std::int64_t staleLockMinutes = DefaultStaleLockMinutes;
};

class SaveTransaction {
public:
    // Locks, finishes interrupted saves of the kinds, compares. Errors: Busy
    // (another save of a kind runs), Conflict (another tool changed files of
    // a kind since they were loaded), NotPlainFile (a link in the work
    // folder), Io. Nothing has changed on disk after an error.
    static Result<std::unique_ptr<SaveTransaction>> Begin(FileSystem& fs, const std::string& projectPath,
                                                          std::vector<KindToSave> kinds,
                                                          const std::vector<KindDescription>& known,
                                                          const SaveHooks& hooks);
    ~SaveTransaction();

    // The files of kind i on disk now (plain files and other entries named
    // like one), in name order: the names a new set may not reuse blindly.
    const std::vector<std::string>& ExistingNames(std::size_t i) const;

    // The plain files of kind i kept in the backup folder `name` (below
    // .velnamechange/backup), read under the lock: the set a restore puts
    // back. Entries that are no plain file of the kind are passed over and
    // told. NotFound when there is no such backup of the kind.
    Result<std::vector<NamedFile>> BackupFiles(std::size_t i, const std::string& name);

    // Puts the new set of every kind in place (newSets[i] for kind i, bare
    // name and content), then posts each kind's reload command. A kind whose
    // folder does not exist takes only an empty set (nothing is written; its
    // command is still posted). Errors: as Begin before the commit point (nothing
    // changed), Unfinished after it.
    Result<std::vector<KindSaved>> Commit(std::vector<std::vector<NamedFile>> newSets);

    struct State;

private:
    explicit SaveTransaction(std::unique_ptr<State> state);
    std::unique_ptr<State> m_state;
};

// A backup of the previous set of a kind, as saves leave them.
struct BackupInfo {
    std::string kind;
    std::string name;      // the folder below .velnamechange/backup
    std::string time;      // "YYYY-MM-DD HH:MM:SS", when the save was made
    std::size_t files = 0; // entries it holds
};
// Every backup of the known kinds, by kind, oldest first.
Result<std::vector<BackupInfo>> ListBackups(FileSystem& fs, const std::string& projectPath,
                                            const std::vector<KindDescription>& known);

// Removes, for the operator, the lock of `name` (a kind, or "History") that
// a program which died left on the share, and says whose it was. Refused
// (Busy) while a running process of this machine holds it; NotFound when
// nobody holds it.
Result<LockOwner> BreakSaveLock(FileSystem& fs, const std::string& projectPath, const std::string& name,
                                const std::string& what, Desks& desks);

// Finishes or throws away what interrupted saves left behind. Call at
// start-up, before loading. Kinds whose save is running in another copy of
// the program (lock held) are left alone; so are markers of kinds not known.
// Tells the operator what was done; the error names what could not be done.
Status RecoverSaves(FileSystem& fs, const std::string& projectPath, const std::vector<KindDescription>& known,
                    const SaveHooks& hooks);

} // namespace vel
