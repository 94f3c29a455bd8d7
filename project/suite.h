#pragma once

// Everything the program holds for one project: the text table, the receiver
// and route profile tables, and the services the stores use. One object per
// program run; a test makes a fresh one.

#include "project/route_profile_store.h"
#include "project/receiver_store.h"
#include "base/server_command.h"
#include "records/store_context.h"
#include "base/texts.h"

#include <memory>
#include <string>

namespace vel {

class Suite {
public:
    // projectPath: the project directory (holding Profiles/ and Receivers/).
    explicit Suite(std::string projectPath, FileSystem* fs = &RealFileSystem(),
                   ServerCommand* server = nullptr);

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
