#pragma once

// The backups a save keeps of the set it replaces, below
// .velnamechange/backup/<Kind>-YYYYMMDD-HHMMSS[-N]/, and the folders of files
// the load passed over, below .velnamechange/passed-over/. A backup is a set
// too: it is made under a temporary name (the final name + ".partial"), holds
// a list of its files (".contents": names and sizes), and takes its final
// name only when it is complete and flushed; so a save killed while it makes
// its backup leaves a ".partial" folder, which is never listed nor restored,
// and which the next save or start of that kind removes (it holds only
// second names or copies of files still in place).

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

inline constexpr const char* PartialSuffix = ".partial";
inline constexpr const char* BackupContentsFile = ".contents";

// The order of a backup folder of a kind, "<Kind>-YYYYMMDD-HHMMSS" or
// "<Kind>-YYYYMMDD-HHMMSS-N": its time, then N; nothing for other names.
std::optional<std::pair<std::string, int>> BackupKey(const std::string& name, const std::string& kind);

// The backup folders of a kind in the open backup folder, oldest first.
Result<std::vector<std::string>> BackupsOf(FileSystem& fs, const Folder& backupRoot, const std::string& kind);

// Removes the oldest backups of a kind but the newest `keep` (never fewer
// than the default).
Status PruneBackups(WorkArea& area, const std::string& kind, std::size_t keep);

// A folder of the work area that a commit makes on first use: backup/ or
// passed-over/.
struct WorkRoot {
    const char* name;
    Folder folder;
};
Result<const Folder*> OpenWorkRoot(WorkArea& area, WorkRoot& root);

// A new folder below a work root, named after the kind and the time, made
// under its temporary name; Finish gives it its final name.
struct NewFolder {
    std::string name; // the final name
    Folder folder;
    bool finished = false;
    std::string current() const { return finished ? name : name + PartialSuffix; }
};
Result<NewFolder> StartTimedFolder(WorkArea& area, WorkRoot& root, const std::string& kind, Clock& clock);
// Flushes the folder, gives it its final name and flushes its parent.
Status FinishTimedFolder(FileSystem& fs, const Folder& root, NewFolder& folder);

// The list of a backup's files, written last before it takes its name.
ByteBuffer EncodeBackupContents(const std::vector<std::pair<std::string, std::uint64_t>>& files);

// Removes what killed saves of a kind left in backup/ and passed-over/.
// Called with the kind's lock held.
Status ClearPartialFolders(WorkArea& area, const std::string& kind, const SaveHooks& hooks,
                           const std::vector<KindDescription>& known);

// The plain files of a kind kept in the backup `name`, read: the set a
// restore puts back. NotFound when there is no such backup of the kind;
// BadFormat, saying why, when it is not a whole set (a file of its list
// missing or of another size, a file of the kind that its list does not
// name). A backup made before backups kept a list is taken as it is.
Result<std::vector<NamedFile>> ReadBackupSet(WorkArea& area, const KindDescription& desc, const std::string& name,
                                             const SaveHooks& hooks);

} // namespace vel
