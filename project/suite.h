#pragma once

// Everything the program holds for one project: the text table, the receiver
// and route profile tables, and the services the stores use. One object per
// program run; a test makes a fresh one. The context's services point into
// the object (its text table, its own server library), so it is neither
// copied nor moved.

#include "base/server_command.h"
#include "base/texts.h"
#include "project/receiver_store.h"
#include "project/route_profile_store.h"
#include "records/store_context.h"

#include <memory>
#include <string>

namespace vel {

class Suite {
public:
    // projectPath: the project directory (holding Profiles/ and Receivers/),
    // made absolute (against the working folder now) and ending in "/" here,
    // once; everything else takes the context's ProjectPath as it is.
    explicit Suite(const std::string& projectPath, FileSystem* fs = &RealFileSystem(), ServerCommand* server = nullptr);
    Suite(const Suite&) = delete;
    Suite& operator=(const Suite&) = delete;
    Suite(Suite&&) = delete;
    Suite& operator=(Suite&&) = delete;

    // Finishes an interrupted save, then loads the receivers, then the profiles.
    LoadReport LoadAll();

    // Saves the receivers and the route profiles in one commit: both sets of
    // files are replaced, or neither; then posts "RR" and "RP:-1".
    SaveReport SaveBoth();

    // Puts the files kept in the backup folder `backup` of the kind
    // ("Profiles" or "Receivers") back as a save of that kind (a backup of the
    // set it replaces, the reload command), then loads the kind again.
    SaveReport Restore(const std::string& kind, const std::string& backup);

    SuiteTexts Texts;
    ReceiverStore ReceiverTable;
    RouteProfileStore ProfileTable;
    StoreContext Context;

private:
    std::unique_ptr<ServerCommand> m_ownServer;
};

} // namespace vel
