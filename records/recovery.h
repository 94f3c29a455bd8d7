#pragma once

// What happens past a save's commit point, for the save itself and for the
// start that finishes a save that was interrupted, and how interrupted saves
// are dealt with: a marker means the new set is to be put in place (rolled
// forward); a staging folder without one is thrown away; a backup that was
// never finished is removed.

#include "base/result.h"
#include "records/commit_marker.h"
#include "records/save_transaction.h"
#include "records/work_area.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace vel {

// The new set of every kind of a marker put in place, in the marker's order,
// up to the first failure. `spellings[i]` learns, for kind i, the new files
// that kept another spelling on a folder that ignores case.
Status PutMarkerInPlace(WorkArea& area, const Marker& marker,
                        std::vector<std::map<std::string, std::string>>* spellings = nullptr);
// Every kind of a marker taken back, in reverse order.
Status TakeMarkerBack(WorkArea& area, const Marker& marker);

// The end of a committed save once its new sets are in place: its lines
// added to the history (under the history's lock, taken into `locks`), the
// reload command of every kind of `post` posted (before the marker goes: at
// least once, never at most once), the marker removed and its folder
// flushed, the staging folders cleared.
struct Closed {
    std::vector<Status> posted; // per kind of `post`
    Status markerRemoved;
};
Closed CloseCommitted(WorkArea& area, Locks& locks, const std::string& markerName, const Marker& marker,
                      const std::vector<std::string>& post, const std::vector<KindDescription>& known,
                      const SaveHooks& hooks);

// In a save whose kinds' locks `locks` holds: finishes what interrupted saves
// of those kinds left, before the save looks at the kind folders. An
// interrupted save that cannot be finished now (a folder mounted read-only, a
// kind this program does not know, another copy finishing it) is an error:
// the save is not made.
Status RecoverOwnKinds(WorkArea& area, Locks& locks, const std::set<std::string>& kinds,
                       const std::vector<KindDescription>& known, const SaveHooks& hooks);

} // namespace vel
