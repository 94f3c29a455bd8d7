#include "project/rename_many.h"

#include "base/codepage.h"

#include <map>
#include <optional>
#include <set>
#include <utility>

namespace vel {

namespace {

using Kind = RenameRequest::Kind;

std::string Quoted(const AnsiText& name)
{
    return "\"" + Cp1252ToUtf8(name) + "\"";
}

std::string Noun(Kind kind)
{
    return kind == Kind::Receiver ? "receiver" : "route profile";
}

std::string LineList(const std::vector<int>& lines)
{
    std::string text = lines.size() == 1 ? "line " : "lines ";
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i != 0) text += i + 1 == lines.size() ? " and " : ", ";
        text += std::to_string(lines[i]);
    }
    return text;
}

// A request as the checks see it.
struct Checked {
    const RenameRequest* request = nullptr;
    std::optional<std::size_t> slot; // the one entry OLD names
    AnsiText newName;                // stored form, once it can be stored
    bool sameName = false;
    std::vector<std::string> reasons; // why it is refused; empty when it is not
    // Receivers, for the lists.
    bool twin = false; // another receiver bears the old name but for case
    int items = 0;
    int itemsLeftAlone = 0;
    bool changes() const { return slot && reasons.empty() && !sameName; }
};

const AnsiText& NameAt(const Suite& suite, Kind kind, std::size_t slot)
{
    return kind == Kind::Receiver ? suite.ReceiverTable.at(slot).Name() : suite.ProfileTable.at(slot).Name();
}

std::size_t TableSize(const Suite& suite, Kind kind)
{
    return kind == Kind::Receiver ? suite.ReceiverTable.size() : suite.ProfileTable.size();
}

// Each request on its own: which entry OLD names, and whether NEW can be stored.
Checked CheckAlone(const Suite& suite, const RenameRequest& r)
{
    Checked c;
    c.request = &r;
    const std::string noun = Noun(r.kind);
    const auto found = r.kind == Kind::Receiver ? FindReceiversByName(suite, r.oldName)
                                                : FindProfilesByName(suite, r.oldName);
    if (found.empty())
        c.reasons.push_back("no " + noun + " is named \"" + r.oldName + "\"");
    else if (found.size() > 1)
        c.reasons.push_back("the name \"" + r.oldName + "\" is ambiguous: " + std::to_string(found.size()) + " " +
                            noun + "s bear it");
    else
        c.slot = static_cast<std::size_t>(found.front());
    auto name = PrepareNewName(r.newName);
    if (!name)
        c.reasons.push_back(name.error().message);
    else if (name->empty())
        c.reasons.push_back("the new name is empty");
    else
        c.newName = std::move(*name);
    c.sameName = c.slot && c.reasons.empty() && c.newName == NameAt(suite, r.kind, *c.slot);
    return c;
}

// No entry is named by two requests.
void CheckEachEntryOnce(const Suite& suite, std::vector<Checked>& checked)
{
    std::map<std::pair<Kind, std::size_t>, std::vector<std::size_t>> byEntry;
    for (std::size_t i = 0; i < checked.size(); ++i)
        if (checked[i].slot) byEntry[{checked[i].request->kind, *checked[i].slot}].push_back(i);
    for (const auto& [entry, requests] : byEntry) {
        if (requests.size() < 2) continue;
        for (const std::size_t i : requests) {
            std::vector<int> others;
            for (const std::size_t j : requests)
                if (j != i) others.push_back(checked[j].request->line);
            checked[i].reasons.push_back("the " + Noun(entry.first) + " " +
                                         Quoted(NameAt(suite, entry.first, entry.second)) + " is renamed on " +
                                         LineList(others) + " too");
        }
    }
}

// No two entries of a kind bear one name once every rename is made.
void CheckFinalNames(const Suite& suite, Kind kind, std::vector<Checked>& checked)
{
    const bool receivers = kind == Kind::Receiver;
    const std::size_t size = TableSize(suite, kind);
    std::vector<AnsiText> finals(size);
    std::vector<const Checked*> renamedBy(size, nullptr);
    for (std::size_t j = 0; j < size; ++j) finals[j] = NameAt(suite, kind, j);
    for (const Checked& c : checked) {
        if (c.request->kind != kind || !c.changes()) continue;
        finals[*c.slot] = c.newName;
        renamedBy[*c.slot] = &c;
    }
    auto key = [receivers](const AnsiText& name) { return receivers ? UpperCaseAnsi(name) : name; };
    std::vector<AnsiText> keys(size);
    for (std::size_t j = 0; j < size; ++j) keys[j] = key(finals[j]);

    for (Checked& c : checked) {
        if (c.request->kind != kind || !c.changes()) continue;
        const AnsiText wanted = key(c.newName);
        for (std::size_t j = 0; j < size; ++j) {
            if (j == *c.slot || keys[j] != wanted) continue;
            std::string reason = receivers ? DuplicateReceiverMessage : DuplicateProfileMessage;
            if (renamedBy[j] != nullptr)
                reason += " Line " + std::to_string(renamedBy[j]->request->line) + " gives it to the " + Noun(kind) +
                          " " + Quoted(NameAt(suite, kind, j)) + " as well.";
            else
                reason += " It is the name of the " + Noun(kind) + " " + Quoted(finals[j]) + ".";
            c.reasons.push_back(std::move(reason));
            break;
        }
    }
}

// The receiver lists after the receiver renames, each item mapped once from
// the name it bore before them. Refuses the renames that would make a list
// too long to store.
struct RebuiltList {
    std::size_t slot = 0;
    int list = 0;
    AnsiText after;
};

std::vector<RebuiltList> RebuildLists(const Suite& suite, std::vector<Checked>& checked)
{
    // The receiver renames by the upper case of their old names.
    std::map<AnsiText, std::vector<Checked*>> byOldName;
    for (Checked& c : checked) {
        if (c.request->kind != Kind::Receiver || !c.changes()) continue;
        const AnsiText& old = suite.ReceiverTable.at(*c.slot).Name();
        const AnsiText upper = UpperCaseAnsi(old);
        for (std::size_t j = 0; j < suite.ReceiverTable.size(); ++j)
            if (j != *c.slot && UpperCaseAnsi(suite.ReceiverTable.at(j).Name()) == upper) c.twin = true;
        byOldName[upper].push_back(&c);
    }
    std::vector<RebuiltList> rebuilt;
    if (byOldName.empty()) return rebuilt;

    const RouteProfileStore& profiles = suite.ProfileTable;
    for (std::size_t p = 0; p < profiles.size(); ++p) {
        const RouteProfile& profile = profiles.at(p);
        for (int list = 1; list <= 2; ++list) {
            const AnsiText& before = list == 1 ? profile.ReceiverList1() : profile.ReceiverList2();
            AnsiText after;
            after.reserve(before.size() + 1);
            std::set<Checked*> changedBy;
            for (const std::string_view item : SplitReceiverList(before)) {
                const Checked* to = nullptr;
                // An empty item never names a receiver.
                const auto found = item.empty() ? byOldName.end() : byOldName.find(UpperCaseAnsi(item));
                if (found != byOldName.end()) {
                    for (Checked* c : found->second) {
                        if (c->twin && item != suite.ReceiverTable.at(*c->slot).Name()) continue;
                        ++c->items;
                        changedBy.insert(c);
                        to = c;
                        break;
                    }
                    if (to == nullptr)
                        for (Checked* c : found->second) ++c->itemsLeftAlone;
                }
                after += to != nullptr ? std::string_view(to->newName) : item;
                after += '\0';
            }
            if (changedBy.empty()) continue;
            if (after.size() > MaxTextBytes) {
                // The renames to a longer name grow the list; a list that was
                // full already is grown by any of them.
                std::set<Checked*> grow;
                for (Checked* c : changedBy)
                    if (c->newName.size() > suite.ReceiverTable.at(*c->slot).Name().size()) grow.insert(c);
                for (Checked* c : grow.empty() ? changedBy : grow)
                    c->reasons.push_back("a receiver list of the route profile " + Quoted(profile.Name()) +
                                         " would become longer than " + std::to_string(MaxTextBytes) + " bytes");
                continue;
            }
            rebuilt.push_back({p, list, std::move(after)});
        }
    }
    return rebuilt;
}

std::string Joined(const std::vector<std::string>& reasons)
{
    std::string text;
    for (const std::string& r : reasons) {
        if (!text.empty()) text += "; ";
        text += r;
    }
    return text;
}

} // namespace

RenameSet RenameMany(Suite& suite, const std::vector<RenameRequest>& requests)
{
    std::vector<Checked> checked;
    checked.reserve(requests.size());
    for (const RenameRequest& r : requests) checked.push_back(CheckAlone(suite, r));
    CheckEachEntryOnce(suite, checked);
    CheckFinalNames(suite, Kind::Receiver, checked);
    CheckFinalNames(suite, Kind::Profile, checked);
    std::vector<RebuiltList> lists = RebuildLists(suite, checked);

    RenameSet set;
    for (const Checked& c : checked)
        if (!c.reasons.empty()) set.refused.push_back({c.request->line, Joined(c.reasons)});
    if (!set.refused.empty()) return set;

    // Every check passed: all of them are made.
    for (const Checked& c : checked) {
        if (c.sameName) {
            set.sameName.push_back(c.request->line);
            continue;
        }
        const Kind kind = c.request->kind;
        PlannedRename made{kind,      c.request->line, *c.slot,         NameAt(suite, kind, *c.slot),
                           c.newName, c.items,         c.itemsLeftAlone};
        if (kind == Kind::Receiver) {
            suite.ReceiverTable.at(made.slot).Name() = made.newName;
            suite.ReceiverTable.RecordRename(made.oldName, made.newName, made.items);
            set.receiversChanged = true;
        } else {
            suite.ProfileTable.at(made.slot).Name() = made.newName;
            suite.ProfileTable.RecordRename(made.oldName, made.newName, 0);
            set.profilesChanged = true;
        }
        set.renames.push_back(std::move(made));
    }
    for (RebuiltList& l : lists) {
        RouteProfile& profile = suite.ProfileTable.at(l.slot);
        AnsiText& list = l.list == 1 ? profile.ReceiverList1() : profile.ReceiverList2();
        if (list == l.after) continue;
        set.lists.push_back({l.slot, l.list, list, l.after});
        list = std::move(l.after);
        set.profilesChanged = true;
    }
    return set;
}

} // namespace vel
