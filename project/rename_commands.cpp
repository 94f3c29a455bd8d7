#include "project/rename_commands.h"

#include "base/codepage.h"

#include <cstdio>

namespace vel {

namespace {

std::string_view TrimBlanks(std::string_view text)
{
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

std::string CodePoint(char32_t cp)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "U+%04X", static_cast<unsigned>(cp));
    return buf;
}

bool IsControl(char32_t cp)
{
    return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F);
}

// Fills `outcome` for a new name that is empty or cannot be stored; false
// when the name can go on to the duplicate test.
bool RefuseNewName(const NewName& newName, RenameOutcome& outcome)
{
    if (!newName.prepared) {
        outcome.result = RenameResult::NotStorable;
        outcome.refusal = newName.prepared.error();
        return true;
    }
    if (newName.prepared->empty()) {
        outcome.result = RenameResult::Unchanged;
        return true;
    }
    outcome.newName = *newName.prepared;
    return false;
}

// The first entry of the table other than entry `except` that satisfies `pred`.
template <class Table, class Pred>
std::optional<std::size_t> OtherEntry(const Table& table, std::size_t except, Pred pred)
{
    for (std::size_t i = 0; i < table.size(); ++i)
        if (i != except && pred(table.at(i))) return i;
    return std::nullopt;
}

// The other receivers that bear a receiver's old or new name without regard
// to case, found in one pass that upper-cases each name once.
struct ReceiverTwins {
    bool oldHasTwin = false;              // another receiver bears the old name
    std::optional<std::size_t> newHolder; // the first other receiver bearing the new name
};

ReceiverTwins FindTwins(const ReceiverStore& table, std::size_t except, const AnsiText& oldUpper,
                        const AnsiText& newUpper)
{
    ReceiverTwins twins;
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (i == except) continue;
        const AnsiText upper = UpperCaseAnsi(table.at(i).Name());
        if (upper == oldUpper) twins.oldHasTwin = true;
        if (upper == newUpper && !twins.newHolder) twins.newHolder = i;
    }
    return twins;
}

// The slots of the entries named `nameUtf8` exactly.
template <class Table>
std::vector<std::int16_t> FindByName(const Table& table, std::string_view nameUtf8)
{
    std::vector<std::int16_t> found;
    auto name = Utf8ToCp1252(nameUtf8);
    if (!name) return found;
    for (std::size_t i = 0; i < table.size(); ++i)
        if (table.at(i).Name() == *name) found.push_back(static_cast<std::int16_t>(i));
    return found;
}

// A profile's two receiver lists as a receiver rename leaves them.
struct RebuiltLists {
    AnsiText list1;
    AnsiText list2;
};

// Every profile's lists rebuilt for the rename of receiver `oldName` to
// outcome.newName, counting the items in `outcome`. False, with `outcome`
// refused, when a rebuilt list would not fit in its record.
bool RebuildAllLists(const RouteProfileStore& profiles, const AnsiText& oldName, bool exactOnly, RenameOutcome& outcome,
                     std::vector<RebuiltLists>& rebuilt)
{
    rebuilt.reserve(profiles.size());
    for (const RouteProfileEntry& e : profiles.Entries()) {
        const RouteProfile& p = e.record;
        int items = 0;
        RebuiltLists r{RebuildReceiverList(p.ReceiverList1(), oldName, outcome.newName, exactOnly,
                                           &outcome.itemsLeftAlone, &items),
                       RebuildReceiverList(p.ReceiverList2(), oldName, outcome.newName, exactOnly,
                                           &outcome.itemsLeftAlone, &items)};
        if (r.list1.size() > MaxTextBytes || r.list2.size() > MaxTextBytes) {
            outcome.result = RenameResult::NotStorable;
            outcome.refusal = MakeError(ErrorCode::TooLong,
                                        "The name cannot be stored: a receiver list of the route profile \"" +
                                            Cp1252ToUtf8(p.Name()) + "\" would become longer than " +
                                            std::to_string(MaxTextBytes) + " bytes.");
            outcome.newName.clear();
            outcome.itemsLeftAlone = 0;
            return false;
        }
        outcome.itemsChanged += items;
        rebuilt.push_back(std::move(r));
    }
    return true;
}

} // namespace

Status CheckStorableName(const AnsiText& name)
{
    for (const char c : name) {
        const char32_t cp = Cp1252ToUnicode(static_cast<unsigned char>(c));
        if (IsControl(cp))
            return MakeError(ErrorCode::InvalidArgument,
                             "The name cannot be stored: it holds the control character " + CodePoint(cp) + ".");
    }
    if (name.size() > MaxTextBytes)
        return MakeError(ErrorCode::TooLong, "The name cannot be stored: it is " + std::to_string(name.size()) +
                                                 " bytes long, and at most " + std::to_string(MaxTextBytes) + " fit.");
    return Status::Ok();
}

Result<AnsiText> PrepareNewName(std::string_view utf8)
{
    auto encoded = Utf8ToCp1252(TrimBlanks(utf8));
    if (!encoded) return MakeError(encoded.error().code, "The name cannot be stored: " + encoded.error().message + ".");
    VEL_TRY(CheckStorableName(*encoded));
    return std::move(*encoded);
}

std::vector<std::string_view> SplitReceiverList(std::string_view list)
{
    std::vector<std::string_view> items;
    std::size_t start = 0;
    while (start < list.size()) {
        std::size_t end = list.find('\0', start);
        if (end == std::string_view::npos) end = list.size();
        items.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    return items;
}

AnsiText RebuildReceiverList(const AnsiText& list, const AnsiText& oldName, const AnsiText& newName, bool exactOnly,
                             int* leftAlone, int* replaced)
{
    const AnsiText oldUpper = UpperCaseAnsi(oldName);
    AnsiText result;
    result.reserve(list.size() + 1);
    for (const std::string_view item : SplitReceiverList(list)) {
        // An empty item is kept as it is; it never matches a receiver's name,
        // since a receiver's name is never empty.
        const bool matches = !item.empty() && UpperCaseAnsi(item) == oldUpper;
        if (matches && (!exactOnly || item == oldName)) {
            result += newName;
            if (replaced != nullptr) ++*replaced;
        } else {
            if (matches && leftAlone != nullptr) ++*leftAlone;
            result += item;
        }
        result += '\0';
    }
    return result;
}

Result<std::size_t> TableIndex(const char* table, std::int16_t slot, std::size_t size)
{
    if (slot < 0 || static_cast<std::size_t>(slot) >= size)
        return IndexOutOfRange(table, slot, 0, static_cast<long long>(size) - 1);
    return static_cast<std::size_t>(slot);
}

Result<RenameOutcome> RenameProfile(Suite& suite, std::int16_t slot, std::string_view newNameUtf8)
{
    return RenameProfile(suite, slot, NewName(newNameUtf8));
}

Result<RenameOutcome> RenameProfile(Suite& suite, std::int16_t slot, const NewName& newName)
{
    RouteProfileStore& table = suite.ProfileTable;
    VEL_TRY_ASSIGN(const std::size_t index, TableIndex("RouteProfiles", slot, table.size()));
    RouteProfile& profile = table.at(index);

    RenameOutcome outcome;
    if (RefuseNewName(newName, outcome)) return outcome;
    if (outcome.newName == profile.Name()) {
        outcome.result = RenameResult::SameName;
        return outcome;
    }
    if (const auto holder = OtherEntry(table, index,
                                       [&](const RouteProfile& p) { return p.Name() == outcome.newName; })) {
        outcome.result = RenameResult::Duplicate;
        outcome.refusal = MakeError(ErrorCode::Exists, DuplicateProfileMessage);
        outcome.holder = holder;
        outcome.newName.clear();
        return outcome;
    }
    table.RecordRename(profile.Name(), outcome.newName, 0);
    profile.Name() = outcome.newName;
    outcome.result = RenameResult::Renamed;
    return outcome;
}

Result<RenameOutcome> RenameReceiver(Suite& suite, std::int16_t slot, std::string_view newNameUtf8)
{
    return RenameReceiver(suite, slot, NewName(newNameUtf8));
}

Result<RenameOutcome> RenameReceiver(Suite& suite, std::int16_t slot, const NewName& newName)
{
    ReceiverStore& table = suite.ReceiverTable;
    VEL_TRY_ASSIGN(const std::size_t index, TableIndex("Receivers", slot, table.size()));

    RenameOutcome outcome;
    if (RefuseNewName(newName, outcome)) return outcome;
    const AnsiText oldName = table.at(index).Name();
    if (outcome.newName == oldName) {
        outcome.result = RenameResult::SameName;
        return outcome;
    }
    // Profiles name their receivers without regard to case, so a name that
    // differs from another receiver's only in case would be one name to them.
    const ReceiverTwins twins = FindTwins(table, index, UpperCaseAnsi(oldName), UpperCaseAnsi(outcome.newName));
    const bool oldHasTwin = twins.oldHasTwin;
    if (const auto holder = twins.newHolder) {
        outcome.result = RenameResult::Duplicate;
        outcome.refusal = MakeError(ErrorCode::Exists, DuplicateReceiverMessage);
        outcome.holder = holder;
        outcome.newName.clear();
        return outcome;
    }

    // Rebuild every list first; change nothing unless all of them fit.
    RouteProfileStore& profiles = suite.ProfileTable;
    std::vector<RebuiltLists> rebuilt;
    if (!RebuildAllLists(profiles, oldName, oldHasTwin, outcome, rebuilt)) return outcome;

    table.at(index).Name() = outcome.newName;
    table.RecordRename(oldName, outcome.newName, outcome.itemsChanged);
    for (std::size_t j = 0; j < profiles.size(); ++j) {
        RouteProfile& p = profiles.at(j);
        RebuiltLists& r = rebuilt[j];
        const int changed = (p.ReceiverList1() != r.list1 ? 1 : 0) + (p.ReceiverList2() != r.list2 ? 1 : 0);
        outcome.listsChanged += changed;
        if (changed > 0) ++outcome.profilesChanged;
        p.ReceiverList1() = std::move(r.list1);
        p.ReceiverList2() = std::move(r.list2);
    }
    outcome.result = RenameResult::Renamed;
    return outcome;
}

std::vector<std::int16_t> FindProfilesByName(const Suite& suite, std::string_view nameUtf8)
{
    return FindByName(suite.ProfileTable, nameUtf8);
}

std::vector<std::int16_t> FindReceiversByName(const Suite& suite, std::string_view nameUtf8)
{
    return FindByName(suite.ReceiverTable, nameUtf8);
}

SaveReport SaveProfiles(Suite& suite)
{
    return suite.ProfileTable.SaveAllRouteProfiles(suite.Context);
}

SaveReport SaveReceivers(Suite& suite)
{
    return suite.ReceiverTable.SaveAllReceivers(suite.Context);
}

SaveReport SaveReceiversAndProfiles(Suite& suite)
{
    return suite.SaveBoth();
}

SaveReport SaveTables(Suite& suite, SavedKind kind)
{
    switch (kind) {
    case SavedKind::Profiles:
        return SaveProfiles(suite);
    case SavedKind::Receivers:
        return SaveReceivers(suite);
    case SavedKind::Both:
        break;
    }
    return SaveReceiversAndProfiles(suite);
}

SavedKind ChangedTables(bool receiver, const RenameOutcome& outcome)
{
    if (!receiver) return SavedKind::Profiles;
    return outcome.listsChanged > 0 ? SavedKind::Both : SavedKind::Receivers;
}

SavedKind SavedAfterRename(bool receiver)
{
    return receiver ? SavedKind::Both : SavedKind::Profiles;
}

std::string DescribeSave(const SaveReport& report, SavedKind kind)
{
    const std::string what = kind == SavedKind::Profiles    ? "route profiles"
                             : kind == SavedKind::Receivers ? "receivers"
                                                            : "receivers and route profiles";
    if (!report.written && report.written.error().code == ErrorCode::Unfinished)
        return "The save of the " + what +
               " reached its commit point but could not be finished: " + report.written.error().message +
               ". It is finished, and the server told, when the program starts next. The "
               "previous files are kept in the backup folder below the project's .velnamechange folder.";
    if (!report.written)
        return "The " + what +
               " were not saved; nothing on disk has changed. Reason: " + report.written.error().message;
    if (!report.notify.ok())
        return "The " + what +
               " are saved, but the alarm server was not told to reload them: " + report.notify.error().message;
    return {};
}

std::string DescribeDuplicateHolder(const Suite& suite, const RenameOutcome& outcome, bool receivers)
{
    if (outcome.result != RenameResult::Duplicate || !outcome.holder) return {};
    const std::size_t slot = *outcome.holder;
    if (receivers) {
        if (slot >= suite.ReceiverTable.size()) return {};
        return "The receiver \"" + Cp1252ToUtf8(suite.ReceiverTable.at(slot).Name()) +
               "\" bears it; receiver names are compared without regard to upper and lower case.";
    }
    if (slot >= suite.ProfileTable.size()) return {};
    return "The route profile \"" + Cp1252ToUtf8(suite.ProfileTable.at(slot).Name()) + "\" bears it.";
}

std::string DescribeItemsLeftAlone(const RenameOutcome& outcome, const std::string& oldNameUtf8)
{
    if (outcome.itemsLeftAlone == 0) return {};
    const std::string items = outcome.itemsLeftAlone == 1 ? "1 item"
                                                          : std::to_string(outcome.itemsLeftAlone) + " items";
    return "Another receiver bears the name \"" + oldNameUtf8 + "\" but for upper and lower case. " + items +
           " of the route profiles' receiver lists match that name only without regard to case and may mean the "
           "other receiver, so they were left as they were; only items spelt exactly \"" +
           oldNameUtf8 + "\" were changed.";
}

std::string DescribeIncompleteLoad(const LoadReport& report)
{
    std::string text;
    for (const std::string& sentence : report.recovery) text += (text.empty() ? "" : "\n") + sentence;
    if (report.complete()) return text;
    if (!text.empty()) text += "\n\n";
    text += "Not every file of the project could be loaded. These files were passed over and are not listed:";
    for (const PassedOver& p : report.passedOver) text += "\n" + p.file + ": " + p.reason;
    return text;
}

} // namespace vel
