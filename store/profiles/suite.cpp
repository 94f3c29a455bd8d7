#include "store/profiles/suite.h"

#include "store/project.h"
#include "store/save_transaction.h"

namespace vel {

Suite::Suite(std::string projectPath, FileSystem* fs, ServerCommand* server)
{
    if (server == nullptr) {
        m_ownServer = std::make_unique<Veltra2Library>();
        server = m_ownServer.get();
    }
    Context.fs = fs;
    Context.ProjectPath = NormalProjectPath(projectPath);
    Context.kinds = {ProfileKind(), ReceiverKind()};
    Context.texts = &Texts;
    Context.server = server;
}

LoadReport Suite::LoadAll()
{
    LoadReport report;
    SaveHooks hooks = Context.Hooks();
    hooks.tell = [&](const std::string& sentence) {
        report.recovery.push_back(sentence);
        Context.Tell(sentence);
    };
    Status recovered = RecoverSaves(*Context.fs, Context.ProjectPath, Context.kinds, hooks);
    if (!recovered) {
        Context.Tell("An interrupted save could not be finished: " + recovered.error().message);
        report.passedOver.push_back({WorkFolder(Context.ProjectPath), recovered.error().message});
    }
    ReceiverTable.ReadAllReceivers(Context, &report);
    ProfileTable.ReadAllRouteProfiles(Context, &report);
    return report;
}

} // namespace vel
