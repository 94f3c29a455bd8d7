#pragma once

// The commit marker: the small file in the work folder whose arrival is a
// save's commit point. It says what the new set is and where the previous
// one is kept, so that the next start can finish a save that was
// interrupted past that point: ".velnamechange/Receivers.commit", or
// "Profiles+Receivers.commit" for both kinds in one commit. Every name in it
// is relative (the kind folder to the project, the backup to the work
// folder's backups, the files to both), so a save is finished in the project
// it belongs to whatever the working folder of the next start.

#include "base/bytes.h"
#include "base/clock.h"
#include "base/result.h"
#include "records/history.h"
#include "records/project.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vel {

inline constexpr const char* MarkerSuffix = ".commit";

// What the marker says of one kind.
struct KindMarker {
    std::string kind;
    std::string folder;
    std::string backup;                // empty when nothing was kept
    std::vector<std::string> newNames; // staged, then put in place
    std::vector<std::string> oldNames; // the previous set, kept in the backup
    std::vector<std::string> moved;    // old entries that could not be linked: moved into the backup
    std::vector<NameChange> changes;   // the renames of the save, for the history
    std::string restoredFrom;          // a restore: the backup put back
};

struct Marker {
    std::string save;      // an id of its own for the save
    std::int64_t time = 0; // when it committed
    Desk desk;             // who saved where (the process is not kept)
    std::vector<KindMarker> kinds;
};

ByteBuffer EncodeMarker(const Marker& marker);
Result<Marker> DecodeMarker(const ByteBuffer& data);

// Whether a work folder entry is a commit marker, and the kinds its name
// stands for ("Profiles+Receivers.commit": Profiles, Receivers).
bool IsMarkerName(const std::string& name);
std::vector<std::string> KindsOfMarker(const std::string& name);
// The marker's name for a save of these kinds.
std::string MarkerName(std::vector<std::string> kinds);

const KindDescription* FindDescription(const std::vector<KindDescription>& known, const std::string& kind);

// A marker names only what this program may touch: known kinds, the kind's
// folder below the project, a backup folder of the kind, and files named like
// the kind's files. Anything else makes it unusable.
Status CheckMarker(const Marker& marker, const std::vector<std::string>& kindsOfName,
                   const std::vector<KindDescription>& known);

} // namespace vel
