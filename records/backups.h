#pragma once

// The backups a save keeps of the set it replaces, below
// .velnamechange/backup/<Kind>-YYYYMMDD-HHMMSS[-N]/, and the folders of files
// the load passed over, below .velnamechange/passed-over/. A backup is a set
// too, and is never offered until it is whole: it holds the file
// ".unfinished" from the moment it is made until its files and the list of
// them (".contents": names and sizes) are in and flushed. A save killed while
// it makes its backup leaves a folder with ".unfinished" (or an empty one),
// which is never listed nor restored, and which the next save or start of
// that kind removes: it holds only second names or copies of files that are
// still in place. (The folder is not made under another name and renamed
// when whole: FAT through FUSE loses the files of a folder it renames.)

#include "base/file_system.h"
#include "base/result.h"
#include "records/save_transaction.h"
#include "records/work_area.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vel {

inline constexpr const char* BackupUnfinishedFile = ".unfinished";
inline constexpr const char* BackupContentsFile = ".contents";

// The order of a backup folder of a kind, "<Kind>-YYYYMMDD-HHMMSS" or
// "<Kind>-YYYYMMDD-HHMMSS-N": its time, then N; nothing for other names.
std::optional<std::pair<std::string, int>> BackupKey(const std::string& name, const std::string& kind);

// The backup folders of a kind in the open backup folder, oldest first.
Result<std::vector<std::string>> BackupsOf(FileSystem& fs, const Folder& backupRoot, const std::string& kind);

// Removes the oldest backups of a kind but the newest `keep` (never fewer
// than the default). `justMade`, the backup of the save that prunes, always
// stays: its name sorts oldest when the clock went back (the end of summer
// time, a clock set right) or when a pruned name of the same second was
// free again, and it is the one backup that holds the files just replaced.
Status PruneBackups(WorkArea& area, const std::string& kind, std::size_t keep, const std::string& justMade = {});

// A folder of the work area that a commit makes on first use: backup/ or
// passed-over/.
struct WorkRoot {
    const char* name;
    Folder folder;
};
Result<const Folder*> OpenWorkRoot(WorkArea& area, WorkRoot& root);

// A new folder below a work root, named after the kind and the time, marked
// unfinished; Finish flushes it and takes the mark away (and flushes that).
struct NewFolder {
    std::string name;
    Folder folder;
};
Result<NewFolder> StartTimedFolder(WorkArea& area, WorkRoot& root, const std::string& kind, Clock& clock);
Status FinishTimedFolder(FileSystem& fs, const Folder& root, NewFolder& folder);

// The list of a backup's files, written last before it takes its name.
ByteBuffer EncodeBackupContents(const std::vector<std::pair<std::string, std::uint64_t>>& files);

// Whether the newest folder of a kind in backup/ or passed-over/ is one that a
// killed save left unfinished (a save leaves at most one, its newest).
Result<bool> HasUnfinishedFolder(WorkArea& area, const std::string& kind);
// Removes it; called with the kind's lock held.
Status ClearUnfinishedFolders(WorkArea& area, const std::string& kind, const SaveHooks& hooks,
                              const std::vector<KindDescription>& known);

// The plain files of a kind kept in the backup `name`, read: the set a
// restore puts back. NotFound when there is no such backup of the kind;
// BadFormat, saying why, when it is not a whole set (a file of its list
// missing or of another size, a file of the kind that its list does not
// name). A backup made before backups kept a list is taken as it is.
Result<std::vector<NamedFile>> ReadBackupSet(WorkArea& area, const KindDescription& desc, const std::string& name,
                                             const SaveHooks& hooks);

} // namespace vel
