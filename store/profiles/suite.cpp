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

SaveReport Suite::SaveBoth()
{
    BusyPointer busy(Context);
    SaveReport report;
    auto fail = [&](Error e) {
        report.error = std::move(e);
        return report;
    };
    auto receivers = ReceiverTable.EncodeAll();
    if (!receivers) return fail(receivers.error());
    auto transaction = SaveTransaction::Begin(*Context.fs, Context.ProjectPath,
                                              {{ReceiverKind(), &ReceiverTable.Loaded()},
                                               {ProfileKind(), &ProfileTable.Loaded()}},
                                              Context.kinds, Context.Hooks());
    if (!transaction) return fail(transaction.error());
    auto profiles = ProfileTable.EncodeAll(Context, (*transaction)->ExistingNames(1));
    if (!profiles) return fail(profiles.error());
    std::vector<std::vector<NamedFile>> sets;
    sets.push_back(std::move(*receivers));
    sets.push_back(std::move(profiles->files));
    auto saved = (*transaction)->Commit(std::move(sets));
    if (!saved) return fail(saved.error());
    ProfileTable.TakeNumbers(profiles->numbers);
    report.written = true;
    for (const KindSaved& kind : *saved) {
        if (report.backupFolder.empty()) report.backupFolder = kind.backupFolder;
        if (report.notify && !kind.notify) report.notify = kind.notify;
    }
    return report;
}

} // namespace vel
