#pragma once

// Putting a committed set in place, and taking it back. Both steps are
// driven by the commit marker alone, so that the next start can repeat them:
// each step can be done again, in part or whole, without harm.

#include "base/file_system.h"
#include "base/result.h"
#include "records/commit_marker.h"
#include "records/work_area.h"

#include <map>
#include <string>
#include <vector>

namespace vel {

// The folders one kind of a marker works in.
struct KindFolders {
    Folder folder;
    Folder staging; // not open when there is no staging folder
    Folder backup;  // not open when the marker keeps no backup
};
Result<KindFolders> OpenKindFolders(WorkArea& area, const KindMarker& m);

// Moves every staged file into place and removes the old names the new set
// does not use, then flushes the kind folder. On a folder that ignores case,
// an old file whose name differs from a new one only in case is that file:
// it is replaced, never removed, and given the new spelling where the
// folder allows it; `spellings` learns where a new file kept another one.
Status PutInPlace(FileSystem& fs, const KindFolders& f, const KindMarker& m,
                  std::map<std::string, std::string>* spellings = nullptr);

// Undoes a partial PutInPlace: new files go back to staging, old files come
// back from the backup (second names, or copies where the file system has
// none), which keeps them. Goes on past a file that fails, so that as much
// of the old set as can be is back; the first failure is returned.
Status TakeBack(FileSystem& fs, const KindFolders& f, const KindMarker& m);

} // namespace vel
