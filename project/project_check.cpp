#include "project/project_check.h"

#include "base/codepage.h"
#include "records/commit_marker.h"
#include "records/save_transaction.h"

#include <map>
#include <set>

namespace vel {

namespace {

std::string Quoted(const AnsiText& name)
{
    return "\"" + Cp1252ToUtf8(name) + "\"";
}

template <class Each>
void ForEachListItem(const RouteProfileStore& profiles, Each each)
{
    for (std::size_t slot = 0; slot < profiles.size(); ++slot) {
        const RouteProfile& p = profiles.at(slot);
        const AnsiText* lists[] = {&p.ReceiverList1(), &p.ReceiverList2()};
        for (int l = 0; l < 2; ++l) {
            const auto items = SplitReceiverList(*lists[l]);
            for (std::size_t i = 0; i < items.size(); ++i) each(slot, p, l + 1, static_cast<int>(i) + 1, items[i]);
        }
    }
}

// Values grouped by a key, the keys in the order they were first seen.
template <class Key, class Value>
class Groups {
public:
    void Add(const Key& key, Value value)
    {
        auto [it, fresh] = m_byKey.try_emplace(key);
        if (fresh) m_order.push_back(key);
        it->second.push_back(std::move(value));
    }
    bool Has(const Key& key) const { return m_byKey.count(key) != 0; }
    // Each key that more than one value bears, with those values.
    template <class Each>
    void ForEachShared(Each each) const
    {
        for (const Key& key : m_order) {
            const std::vector<Value>& values = m_byKey.at(key);
            if (values.size() > 1) each(key, values);
        }
    }

private:
    std::map<Key, std::vector<Value>> m_byKey;
    std::vector<Key> m_order;
};

void FindUnfinishedSaves(const Suite& suite, const LoadReport& report, std::vector<Finding>& out)
{
    const std::string work = WorkFolder(suite.Context.ProjectPath);
    for (const PassedOver& p : report.passedOver) {
        if (p.file == work)
            out.push_back({Finding::Kind::UnfinishedSave,
                           WorkFolderName,
                           "an interrupted save could not be finished: " + p.reason,
                           {},
                           {},
                           0,
                           0,
                           {}});
    }
    FileSystem& fs = *suite.Context.fs;
    auto project = OpenFolder(fs, suite.Context.ProjectPath);
    if (!project) return;
    auto info = fs.StatAt(project->handle(), WorkFolderName);
    if (!info || !info->isFolder()) return;
    auto folder = OpenFolderAt(fs, *project, WorkFolderName);
    if (!folder) return;
    auto entries = fs.List(folder->handle());
    if (!entries) {
        out.push_back(
            {Finding::Kind::UnfinishedSave,
             WorkFolderName,
             "the work folder cannot be listed, so an unfinished save cannot be ruled out: " + entries.error().message,
             {},
             {},
             0,
             0,
             {}});
        return;
    }
    std::set<std::string> markers;
    for (const DirEntry& e : *entries)
        if (IsMarkerName(e.name)) markers.insert(e.name);
    for (const std::string& name : markers) {
        // "Profiles+Receivers.commit": one save of both kinds.
        std::string kind;
        for (const std::string& one : KindsOfMarker(name)) {
            const KindDescription* desc = FindDescription(suite.Context.kinds, one);
            kind += (kind.empty() ? "" : " and ") + (desc != nullptr ? desc->what : one);
        }
        out.push_back({Finding::Kind::UnfinishedSave,
                       std::string(WorkFolderName) + "/" + name,
                       "a save of the " + kind +
                           " passed its commit point but is not finished (or is running right now in another copy "
                           "of the program); the next start finishes it",
                       {},
                       {},
                       0,
                       0,
                       {}});
    }
}

std::string JoinNames(const std::vector<AnsiText>& names)
{
    std::string text;
    for (const AnsiText& n : names) text += (text.empty() ? "" : ", ") + Quoted(n);
    return text;
}

std::string JoinNumbers(const std::vector<std::int16_t>& numbers)
{
    std::string text;
    for (const std::int16_t n : numbers) text += (text.empty() ? "" : ", ") + std::to_string(n);
    return text;
}

} // namespace

const char* FindingName(Finding::Kind kind)
{
    switch (kind) {
    case Finding::Kind::PassedOver:
        return "passed-over";
    case Finding::Kind::UnfinishedSave:
        return "unfinished-save";
    case Finding::Kind::NoReceiver:
        return "no-receiver";
    case Finding::Kind::ReceiversSameName:
        return "receivers-same-name";
    case Finding::Kind::ProfilesSameName:
        return "profiles-same-name";
    case Finding::Kind::ProfilesSameNumber:
        return "profiles-same-number";
    }
    return "?";
}

std::vector<Finding> CheckProject(const Suite& suite, const LoadReport& report)
{
    std::vector<Finding> out;
    const std::string work = WorkFolder(suite.Context.ProjectPath);
    for (const PassedOver& p : report.passedOver) {
        if (p.file != work) out.push_back({Finding::Kind::PassedOver, p.file, p.reason, {}, {}, 0, 0, {}});
    }
    FindUnfinishedSaves(suite, report, out);

    // Receiver names in upper case, each with the names bearing it.
    Groups<AnsiText, AnsiText> receiversByUpper;
    for (const ReceiverEntry& r : suite.ReceiverTable.Entries())
        receiversByUpper.Add(UpperCaseAnsi(r.record.Name()), r.record.Name());

    // An empty item names nothing (a rename keeps it as it is), so it is no finding.
    ForEachListItem(suite.ProfileTable, [&](std::size_t, const RouteProfile& p, int list, int position,
                                            std::string_view item) {
        if (item.empty() || receiversByUpper.Has(UpperCaseAnsi(item))) return;
        out.push_back(
            {Finding::Kind::NoReceiver, {}, {}, {p.ProfileNumber()}, {p.Name()}, list, position, AnsiText(item)});
    });

    receiversByUpper.ForEachShared([&](const AnsiText&, const std::vector<AnsiText>& names) {
        out.push_back({Finding::Kind::ReceiversSameName, {}, {}, {}, names, 0, 0, {}});
    });

    Groups<AnsiText, std::int16_t> profilesByName;
    Groups<std::int16_t, AnsiText> profilesByNumber;
    for (const RouteProfileEntry& e : suite.ProfileTable.Entries()) {
        const RouteProfile& p = e.record;
        profilesByName.Add(p.Name(), p.ProfileNumber());
        // 0 and below are no numbers: a save draws a fresh one.
        if (p.ProfileNumber() > 0) profilesByNumber.Add(p.ProfileNumber(), p.Name());
    }
    profilesByName.ForEachShared([&](const AnsiText& name, const std::vector<std::int16_t>& numbers) {
        out.push_back({Finding::Kind::ProfilesSameName, {}, {}, numbers, {name}, 0, 0, {}});
    });
    profilesByNumber.ForEachShared([&](std::int16_t number, const std::vector<AnsiText>& names) {
        out.push_back({Finding::Kind::ProfilesSameNumber, {}, {}, {number}, names, 0, 0, {}});
    });
    return out;
}

std::string DescribeFinding(const Finding& f)
{
    switch (f.kind) {
    case Finding::Kind::PassedOver:
        return f.file + " was passed over at load: " + f.reason + ".";
    case Finding::Kind::UnfinishedSave:
        return "Unfinished save (" + f.file + "): " + f.reason + ".";
    case Finding::Kind::NoReceiver:
        return "The route profile " + Quoted(f.names.at(0)) + " (number " + std::to_string(f.numbers.at(0)) +
               ") names " + Quoted(f.item) + " in its receiver list " + std::to_string(f.list) + " at position " +
               std::to_string(f.position) + ", but no receiver bears that name.";
    case Finding::Kind::ReceiversSameName:
        return "The receivers " + JoinNames(f.names) +
               " have the same name when case is ignored, so the profiles' receiver lists cannot tell them apart.";
    case Finding::Kind::ProfilesSameName:
        return "The route profiles numbered " + JoinNumbers(f.numbers) + " share the name " + Quoted(f.names.at(0)) +
               ".";
    case Finding::Kind::ProfilesSameNumber:
        return "The route profiles " + JoinNames(f.names) + " share the number " + std::to_string(f.numbers.at(0)) +
               ".";
    }
    return {};
}

std::string DescribeStartUp(const Suite& suite, const LoadReport& report)
{
    std::string text = DescribeIncompleteLoad(report);
    std::string more;
    for (const Finding& f : CheckProject(suite, report)) {
        if (f.kind != Finding::Kind::PassedOver) more += "\n" + DescribeFinding(f);
    }
    if (!more.empty()) text += (text.empty() ? "" : "\n\n") + std::string("The project has these problems:") + more;
    return text;
}

std::vector<Reference> FindReferences(const Suite& suite, const AnsiText& receiverName)
{
    std::vector<Reference> out;
    const AnsiText upper = UpperCaseAnsi(receiverName);
    if (upper.empty()) return out;
    ForEachListItem(suite.ProfileTable,
                    [&](std::size_t slot, const RouteProfile&, int list, int position, std::string_view item) {
                        if (UpperCaseAnsi(item) == upper) out.push_back({slot, list, position, AnsiText(item)});
                    });
    return out;
}

namespace {

// Renames entry `slot` of `table` with `rename`, keeping the name it had.
template <class Table>
Result<RenamePreview> RenameKeepingOldName(Suite& suite, const Table& table, const char* tableName, std::int16_t slot,
                                           const NewName& newName,
                                           Result<RenameOutcome> (*rename)(Suite&, std::int16_t, const NewName&))
{
    VEL_TRY_ASSIGN(const auto index, TableIndex(tableName, slot, table.size()));
    RenamePreview preview;
    preview.oldName = table.at(index).Name();
    VEL_TRY_ASSIGN(preview.outcome, rename(suite, slot, newName));
    return preview;
}

} // namespace

Result<RenamePreview> PreviewProfileRename(Suite& suite, std::int16_t slot, const NewName& newName)
{
    return RenameKeepingOldName(suite, suite.ProfileTable, "RouteProfiles", slot, newName, RenameProfile);
}

Result<RenamePreview> PreviewReceiverRename(Suite& suite, std::int16_t slot, const NewName& newName)
{
    const RouteProfileStore& profiles = suite.ProfileTable;
    std::vector<ListChange> before;
    for (std::size_t j = 0; j < profiles.size(); ++j) {
        const RouteProfile& p = profiles.at(j);
        before.push_back({j, 1, p.ReceiverList1(), {}});
        before.push_back({j, 2, p.ReceiverList2(), {}});
    }
    auto preview = RenameKeepingOldName(suite, suite.ReceiverTable, "Receivers", slot, newName, RenameReceiver);
    if (!preview || preview->outcome.result != RenameResult::Renamed) return preview;
    for (ListChange& c : before) {
        const RouteProfile& p = profiles.at(c.slot);
        const AnsiText& now = c.list == 1 ? p.ReceiverList1() : p.ReceiverList2();
        if (now == c.before) continue;
        c.after = now;
        preview->lists.push_back(std::move(c));
    }
    return preview;
}

} // namespace vel
