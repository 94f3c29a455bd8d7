#include "store/store_context.h"

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
    hooks.post = [this](const KindSpec& kind) { return PostCommand(kind.reloadCommand); };
    hooks.tell = notice;
    hooks.keepBackups = keepBackups;
    return hooks;
}

Status StoreContext::PostCommand(const std::string& command) const
{
    if (server == nullptr) return MakeError(ErrorCode::NotAvailable, "no server library is configured");
    return server->SetCommandEntry(command, 0);
}

} // namespace vel
