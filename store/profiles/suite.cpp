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

SaveReport Suite::Restore(const std::string& kind, const std::string& backup)
{
    BusyPointer busy(Context);
    SaveReport report;
    auto fail = [&](Error e) {
        report.error = std::move(e);
        return report;
    };
    const bool receivers = kind == ReceiverKind().kind;
    if (!receivers && kind != ProfileKind().kind)
        return fail(MakeError(ErrorCode::InvalidArgument, "there is no kind of record file named '" + kind + "'"));
    KindToSave save{receivers ? ReceiverKind() : ProfileKind(),
                    receivers ? &ReceiverTable.Loaded() : &ProfileTable.Loaded(),
                    receivers ? &ReceiverTable.Carried() : &ProfileTable.Carried()};
    auto transaction = SaveTransaction::Begin(*Context.fs, Context.ProjectPath, {save}, Context.kinds, Context.Hooks());
    if (!transaction) return fail(transaction.error());
    auto files = (*transaction)->BackupFiles(0, backup);
    if (!files) return fail(files.error());
    std::vector<std::vector<NamedFile>> sets;
    sets.push_back(std::move(*files));
    auto saved = (*transaction)->Commit(std::move(sets));
    if (!saved) return fail(saved.error());
    transaction->reset();
    report.written = true;
    report.backupFolder = saved->front().backupFolder;
    report.notify = saved->front().notify;
    // The table follows the files it put back.
    LoadReport reloaded;
    if (receivers)
        ReceiverTable.ReadAllReceivers(Context, &reloaded);
    else
        ProfileTable.ReadAllRouteProfiles(Context, &reloaded);
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
                                              {{ReceiverKind(), &ReceiverTable.Loaded(), &ReceiverTable.Carried()},
                                               {ProfileKind(), &ProfileTable.Loaded(), &ProfileTable.Carried()}},
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
    ReceiverTable.SavedAll();
    ProfileTable.SavedAll();
    report.written = true;
    for (const KindSaved& kind : *saved) {
        if (report.backupFolder.empty()) report.backupFolder = kind.backupFolder;
        if (report.notify && !kind.notify) report.notify = kind.notify;
    }
    return report;
}

} // namespace vel
