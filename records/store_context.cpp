#include "records/store_context.h"

namespace vel {

AnsiText StoreContext::GetText(std::int32_t number) const
{
    if (texts != nullptr) return texts->GetText(number);
    return SuiteTexts().GetText(number);
}

void StoreContext::WriteLog(const std::string& line) const
{
    if (log) log(line);
}

void StoreContext::Tell(const std::string& sentence) const
{
    if (notice) notice(sentence);
}

SaveHooks StoreContext::Hooks() const
{
    SaveHooks hooks;
    hooks.post = [this](const KindDescription& kind) { return PostCommand(kind.reloadCommand); };
    hooks.tell = notice;
    hooks.keepBackups = keepBackups;
    hooks.clock = clock;
    hooks.desks = desks;
    hooks.lockWaitMilliseconds = lockWaitMilliseconds;
    hooks.staleLockMinutes = staleLockMinutes;
    return hooks;
}

Status StoreContext::PostCommand(const std::string& command) const
{
    if (server == nullptr) return MakeError(ErrorCode::NotAvailable, "no server library is configured");
    return server->SetCommandEntry(command, 0);
}

SaveReport RunSave(const StoreContext& ctx, std::vector<KindToSave> kinds, const MakeSets& sets,
                   const std::function<void()>& saved)
{
    BusyPointer busy(ctx);
    SaveReport report;
    auto transaction = SaveTransaction::Begin(*ctx.fs, ctx.ProjectPath, std::move(kinds), ctx.kinds, ctx.Hooks());
    if (!transaction) {
        report.written = transaction.error();
        return report;
    }
    auto made = sets(**transaction);
    if (!made) {
        report.written = made.error();
        return report;
    }
    auto committed = (*transaction)->Commit(std::move(*made));
    if (!committed) {
        report.written = committed.error();
        return report;
    }
    for (const KindSaved& kind : *committed) {
        if (report.backupFolder.empty()) report.backupFolder = kind.backupFolder;
        if (report.notify && !kind.notify) report.notify = kind.notify;
    }
    transaction->reset(); // the locks go before the caller looks at the files again
    if (saved) saved();
    return report;
}

} // namespace vel
