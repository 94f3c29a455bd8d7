#include "project/suite.h"

#include "records/project.h"
#include "records/save_transaction.h"

#include <utility>

namespace vel {

Suite::Suite(const std::string& projectPath, FileSystem* fs, ServerCommand* server)
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
    const bool receivers = kind == ReceiverKind().kind;
    if (!receivers && kind != ProfileKind().kind) {
        SaveReport report;
        report.written = MakeError(ErrorCode::InvalidArgument, "there is no kind of record file named '" + kind + "'");
        return report;
    }
    // The history says which backup was put back; renames made in the table
    // are no part of it, since the files come from the backup.
    KindToSave restore = receivers ? ReceiverTable.ToSave() : ProfileTable.ToSave();
    restore.changes.clear();
    restore.restoredFrom = backup;
    return RunSave(
        Context, {std::move(restore)},
        [&](SaveTransaction& transaction) -> Result<std::vector<std::vector<NamedFile>>> {
            VEL_TRY_ASSIGN(auto files, transaction.BackupFiles(0, backup));
            return Sets(std::move(files));
        },
        [&] {
            // The table follows the files it put back.
            if (receivers)
                ReceiverTable.ReadAllReceivers(Context);
            else
                ProfileTable.ReadAllRouteProfiles(Context);
        });
}

SaveReport Suite::SaveBoth()
{
    ReceiverTable.PrepareSave();
    ProfileTable.PrepareSave();
    std::vector<std::int16_t> receiverNumbers;
    std::vector<std::int16_t> profileNumbers;
    return RunSave(
        Context, {ReceiverTable.ToSave(), ProfileTable.ToSave()},
        [&](SaveTransaction& transaction) -> Result<std::vector<std::vector<NamedFile>>> {
            VEL_TRY_ASSIGN(auto receivers, ReceiverTable.Encode(Context, transaction.ExistingNames(0)));
            VEL_TRY_ASSIGN(auto profiles, ProfileTable.Encode(Context, transaction.ExistingNames(1)));
            receiverNumbers = std::move(receivers.numbers);
            profileNumbers = std::move(profiles.numbers);
            return Sets(std::move(receivers.files), std::move(profiles.files));
        },
        [&] {
            ReceiverTable.Saved(receiverNumbers);
            ProfileTable.Saved(profileNumbers);
        });
}

} // namespace vel
