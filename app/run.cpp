#include "app/command_line.h"

#include "app/output.h"
#include "app/run.h"
#include "base/codepage.h"
#include "base/line_escape.h"
#include "project/project_check.h"
#include "records/history.h"
#include "records/save_transaction.h"

#include <QJsonObject>

#include <algorithm>
#include <optional>
#include <ostream>

namespace vel {

using namespace Qt::StringLiterals;

namespace {

int PrintReferences(const Suite& suite, const std::string& nameUtf8, bool json, std::ostream& out, std::ostream& err)
{
    auto name = Utf8ToCp1252(nameUtf8);
    std::vector<Reference> refs;
    bool known = false;
    if (name) {
        refs = FindReferences(suite, *name);
        const AnsiText upper = UpperCaseAnsi(*name);
        const auto& receivers = suite.ReceiverTable.Entries();
        known = std::any_of(receivers.begin(), receivers.end(),
                            [&](const ReceiverEntry& r) { return UpperCaseAnsi(r.record.Name()) == upper; });
    }
    if (!known)
        Complain(err,
                 "no receiver is named \"" + nameUtf8 + "\"; the profiles' receiver lists were searched all the same");

    std::vector<Row> rows;
    for (const Reference& r : refs) {
        const RouteProfile& p = suite.ProfileTable.at(r.slot);
        rows.push_back({NumberField(u"profileNumber"_s, p.ProfileNumber()), NameField(u"profile"_s, p.Name()),
                        NumberField(u"list"_s, r.list), NumberField(u"position"_s, r.position),
                        NameField(u"item"_s, r.item)});
    }
    PrintRows(rows, json, out, u"references"_s, QJsonObject{{u"receiver"_s, Utf8(nameUtf8)}});
    return ExitDone;
}

int PrintBackups(const Suite& suite, bool json, std::ostream& out, std::ostream& err)
{
    auto backups = ListBackups(*suite.Context.fs, suite.Context.ProjectPath, suite.Context.kinds);
    if (!backups) {
        Complain(err, "the backups cannot be listed: " + backups.error().message);
        return ExitSaveFailed;
    }
    std::vector<Row> rows;
    for (const BackupInfo& b : *backups)
        rows.push_back({TextField(u"kind"_s, Lower(b.kind)), TextField(u"time"_s, b.time),
                        NumberField(u"files"_s, static_cast<long long>(b.files)), TextField(u"name"_s, b.name)});
    PrintRows(rows, json, out, u"backups"_s);
    return ExitDone;
}

// The history of renames, oldest first; a damaged line is passed over, and
// said on standard error.
int PrintHistory(const Suite& suite, bool json, std::ostream& out, std::ostream& err)
{
    auto history = ReadHistory(*suite.Context.fs, suite.Context.ProjectPath,
                               [&err](const std::string& sentence) { Complain(err, sentence); });
    if (!history) {
        Complain(err, "the history of renames cannot be read: " + history.error().message);
        return ExitSaveFailed;
    }
    std::vector<Row> rows;
    for (const HistoryEntry& h : *history)
        rows.push_back({TextField(u"time"_s, FormatHistoryTime(h.time)), TextField(u"user"_s, h.user),
                        TextField(u"host"_s, h.host), TextField(u"kind"_s, h.kind), TextField(u"old"_s, h.oldName),
                        TextField(u"new"_s, h.newName), NumberField(u"items"_s, h.items),
                        TextField(u"backup"_s, h.backup)});
    PrintRows(rows, json, out, u"history"_s);
    return ExitDone;
}

int RestoreBackup(Suite& suite, const std::string& kindWord, const std::string& backup, std::ostream& err)
{
    std::string kind;
    for (const KindDescription& desc : suite.Context.kinds)
        if (Lower(desc.kind) == Lower(kindWord)) kind = desc.kind;
    if (kind.empty()) {
        Complain(err, "restore needs the kind profiles or receivers, not \"" + kindWord + "\"");
        return ExitUsage;
    }
    const SaveReport restored = suite.Restore(kind, backup);
    if (!restored.written && (restored.written.error().code == ErrorCode::NotFound ||
                              restored.written.error().code == ErrorCode::BadFormat)) {
        Complain(err, restored.written.error().message + "; see " + ProgramName + " backups");
        return ExitRefused;
    }
    return SaveStatus(restored, kind == "Profiles" ? SavedKind::Profiles : SavedKind::Receivers, err);
}

// Removes a lock that a program which died left, after saying whose it was.
int Unlock(Suite& suite, const std::string& kindWord, std::ostream& out, std::ostream& err)
{
    std::string name;
    std::string what;
    for (const KindDescription& desc : suite.Context.kinds)
        if (Lower(desc.kind) == Lower(kindWord)) {
            name = desc.kind;
            what = desc.what;
        }
    if (Lower(kindWord) == "history") {
        name = "History";
        what = "history of renames";
    }
    if (name.empty()) {
        Complain(err, "unlock needs the kind profiles, receivers or history, not \"" + kindWord + "\"");
        return ExitUsage;
    }
    auto owner = BreakSaveLock(*suite.Context.fs, suite.Context.ProjectPath, name, what, *suite.Context.desks);
    if (!owner) {
        Complain(err, owner.error().message);
        return owner.error().code == ErrorCode::NotFound || owner.error().code == ErrorCode::Busy ? ExitRefused
                                                                                                  : ExitSaveFailed;
    }
    out << Lower(name) << '\t' << TextColumn(owner->desk.user) << '\t' << TextColumn(owner->desk.host) << '\t'
        << owner->desk.process << '\t' << ReadableLocalTime(owner->since) << '\n';
    Complain(err, "the lock of the " + what + " held by " + DescribeLockOwner(*owner) + " was removed");
    return ExitDone;
}

// The modes that need no project: their exit status; nothing for the others.
std::optional<int> RunWithoutProject(const Invocation& inv, std::ostream& out, std::ostream& err)
{
    switch (inv.mode) {
    case Invocation::Mode::Help:
        out << UsageText();
        return ExitDone;
    case Invocation::Mode::Version:
        out << VersionText();
        return ExitDone;
    case Invocation::Mode::Usage:
        Complain(err, inv.error);
        err << ShortUsageText() << "Try '" << ProgramName << " --help' for more information.\n";
        return ExitUsage;
    case Invocation::Mode::Window:
        Complain(err, "the window is not opened from here");
        return ExitUsage;
    default:
        return std::nullopt;
    }
}

// The settings of the configuration file, each problem with them told.
void ApplySettings(Suite& suite, std::ostream& err)
{
    std::string settingProblem;
    suite.Context.keepBackups = ConfiguredKeptBackups(&settingProblem);
    if (!settingProblem.empty()) Complain(err, settingProblem);
    settingProblem.clear();
    suite.Context.staleLockMinutes = ConfiguredStaleLockMinutes(&settingProblem);
    if (!settingProblem.empty()) Complain(err, settingProblem);
}

// Loads the project; every file the load passed over is told.
LoadReport Load(Suite& suite, bool verbose, std::ostream& err)
{
    suite.Context.log = nullptr;
    if (verbose)
        suite.Context.log = [&err](const std::string& line) {
            err << ProgramName << ": log: " << EscapeControls(line, false) << '\n';
        };
    LoadReport loaded = suite.LoadAll();
    const std::string work = WorkFolder(suite.Context.ProjectPath);
    for (const PassedOver& p : loaded.passedOver) {
        if (p.file == work)
            Complain(err, "an interrupted save could not be finished: " + p.reason);
        else
            Complain(err, p.file + " was passed over and is not loaded: " + p.reason);
    }
    return loaded;
}

// The modes that work on a loaded project.
int RunOnLoaded(Suite& suite, const LoadReport& loaded, const Invocation& inv, const CommandServices& services,
                std::ostream& out, std::ostream& err)
{
    const bool json = inv.format == Invocation::Format::Json;
    switch (inv.mode) {
    case Invocation::Mode::ListProfiles:
        PrintProfiles(suite, json, out);
        return ExitDone;
    case Invocation::Mode::ListReceivers:
        PrintReceivers(suite, json, out);
        return ExitDone;
    case Invocation::Mode::Check: {
        const std::vector<Finding> findings = CheckProject(suite, loaded);
        PrintFindings(findings, json, out);
        return findings.empty() ? ExitDone : ExitFound;
    }
    case Invocation::Mode::References:
        return PrintReferences(suite, inv.oldName, json, out, err);
    case Invocation::Mode::Backups:
        return PrintBackups(suite, json, out, err);
    case Invocation::Mode::Restore:
        return RestoreBackup(suite, inv.kind, inv.backup, err);
    case Invocation::Mode::History:
        return PrintHistory(suite, json, out, err);
    case Invocation::Mode::RenameMany:
        return RenameManyAndSave(suite, inv, services.in, out, err);
    default:
        return RenameAndSave(suite, inv, out, err);
    }
}

} // namespace

int SaveFailureStatus(ErrorCode code)
{
    return code == ErrorCode::Unfinished ? ExitUnfinished : ExitSaveFailed;
}

int SaveStatus(const SaveReport& report, SavedKind kind, std::ostream& err)
{
    if (report.ok()) return ExitDone;
    Complain(err, DescribeSave(report, kind));
    return report.written ? ExitNotNotified : SaveFailureStatus(report.written.error().code);
}

int RunCommand(const Invocation& inv, std::ostream& out, std::ostream& err, const CommandServices& services)
{
    if (const std::optional<int> status = RunWithoutProject(inv, out, err)) return *status;
    const ProjectChoice choice = ChooseProject(inv);
    if (!choice.problem) {
        Complain(err, choice.problem.error().message);
        return ExitUsage;
    }

    Suite suite(choice.path, services.fs, services.server);
    suite.Context.notice = [&err](const std::string& sentence) { Complain(err, sentence); };
    ApplySettings(suite, err);
    if (inv.mode == Invocation::Mode::Unlock) return Unlock(suite, inv.kind, out, err);
    const LoadReport loaded = Load(suite, inv.verbose, err);
    return RunOnLoaded(suite, loaded, inv, services, out, err);
}

} // namespace vel
