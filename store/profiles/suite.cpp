#include "store/profiles/suite.h"

#include "store/file_set.h"

namespace vel {

Suite::Suite(std::string projectPath, FileSystem* fs, ServerCommand* server)
{
    if (server == nullptr) {
        m_ownServer = std::make_unique<Veltra2Library>();
        server = m_ownServer.get();
    }
    Context.fs = fs;
    Context.ProjectPath = std::move(projectPath);
    if (!Context.ProjectPath.empty() && Context.ProjectPath.back() != '/') Context.ProjectPath += '/';
    Context.texts = &Texts;
    Context.server = server;
}

LoadReport Suite::LoadAll()
{
    LoadReport report;
    // What recovery did is logged and told alike: its lines are sentences.
    const LogSink both = [this](const std::string& line) {
        Context.WriteLog(line);
        Context.Tell(line);
    };
    Status recovered = RecoverFileSets(*Context.fs, Context.ProjectPath, both);
    if (!recovered) {
        Context.WriteLog("an interrupted save could not be finished: " + recovered.error().message);
        report.passedOver.push_back({WorkFolder(Context.ProjectPath), recovered.error().message});
    }
    ReceiverTable.ReadAllReceivers(Context, &report);
    ProfileTable.ReadAllRouteProfiles(Context, &report);
    return report;
}

} // namespace vel
