#include "project/rename_journal.h"

#include "base/codepage.h"
#include "records/desk_lock.h"

#include <algorithm>
#include <map>
#include <utility>

namespace vel {

namespace {

AnsiText& ListOf(RouteProfile& profile, int list)
{
    return list == 1 ? profile.ReceiverList1() : profile.ReceiverList2();
}

const AnsiText& ListOf(const RouteProfile& profile, int list)
{
    return list == 1 ? profile.ReceiverList1() : profile.ReceiverList2();
}

std::string Quoted(const AnsiText& name)
{
    return "\"" + Cp1252ToUtf8(name) + "\"";
}

template <class Table>
std::size_t CountNamed(const Table& table, const AnsiText& name, std::size_t end)
{
    std::size_t n = 0;
    for (std::size_t i = 0; i < end && i < table.size(); ++i)
        if (table.at(i).Name() == name) ++n;
    return n;
}

// The entry a step renames, found again by its old name in tables loaded
// anew; why not when it cannot be told.
template <class Table>
Result<std::size_t> FindAgain(const Table& table, const RenameStep& step, const char* noun)
{
    std::vector<std::size_t> named;
    for (std::size_t i = 0; i < table.size(); ++i)
        if (table.at(i).Name() == step.oldName) named.push_back(i);
    if (named.empty())
        return MakeError(ErrorCode::NotFound,
                         std::string("no ") + noun + " bears the name " + Quoted(step.oldName) + " now.");
    if (named.size() == 1) return named.front();
    // Entries of one name keep their order in the table, so the same count
    // names the same one.
    if (named.size() == step.sameNamed && step.place < named.size()) return named[step.place];
    return MakeError(ErrorCode::Conflict, std::to_string(named.size()) + " " + noun + "s bear the name " +
                                              Quoted(step.oldName) + " now; which one was meant is not known.");
}

// What a rename's outcome is for a replayed step.
void Judge(const RenameOutcome& outcome, ReplayLine& line)
{
    switch (outcome.result) {
    case RenameResult::Renamed:
        line.applied = true;
        if (outcome.listsChanged > 0)
            line.reason = outcome.listsChanged == 1 ? "1 receiver list of the route profiles changes with it."
                                                    : std::to_string(outcome.listsChanged) +
                                                          " receiver lists of the route profiles change with it.";
        break;
    case RenameResult::SameName:
        line.applied = true;
        line.reason = "The files bear that name already.";
        break;
    case RenameResult::Unchanged:
        line.reason = "The new name is empty.";
        break;
    case RenameResult::Duplicate:
    case RenameResult::NotStorable:
        line.reason = outcome.refusal.error().message;
        break;
    }
}

} // namespace

RenameStep RenameStep::Reversed() const
{
    RenameStep back = *this;
    std::swap(back.oldName, back.newName);
    for (ListEdit& c : back.lists) std::swap(c.before, c.after);
    // A new name is one no other entry bears (the rename checks it).
    back.sameNamed = 1;
    back.place = 0;
    return back;
}

std::string DescribeStep(const RenameStep& step)
{
    if (step.kind == RenamedKind::Profile)
        return "route profile " + Quoted(step.oldName) + " to " + Quoted(step.newName);
    if (step.listsOnly)
        return "receiver " + Quoted(step.oldName) + " to " + Quoted(step.newName) + " in the route profiles' lists";
    return "receiver " + Quoted(step.oldName) + " to " + Quoted(step.newName);
}

RenameJournal::Before RenameJournal::Take(const Suite& suite, RenamedKind kind, std::size_t index)
{
    Before before;
    before.kind = kind;
    before.index = index;
    if (kind == RenamedKind::Profile) {
        const RouteProfileStore& table = suite.ProfileTable;
        if (index >= table.size()) return before;
        before.name = table.at(index).Name();
        before.place = CountNamed(table, before.name, index);
        before.sameNamed = CountNamed(table, before.name, table.size());
        return before;
    }
    const ReceiverStore& table = suite.ReceiverTable;
    if (index >= table.size()) return before;
    before.name = table.at(index).Name();
    before.place = CountNamed(table, before.name, index);
    before.sameNamed = CountNamed(table, before.name, table.size());
    before.lists.reserve(2 * suite.ProfileTable.size());
    for (const RouteProfileEntry& e : suite.ProfileTable.Entries()) {
        before.lists.push_back(e.record.ReceiverList1());
        before.lists.push_back(e.record.ReceiverList2());
    }
    return before;
}

void RenameJournal::Record(Before before, const Suite& suite)
{
    RenameStep step;
    step.kind = before.kind;
    step.index = before.index;
    step.oldName = std::move(before.name);
    step.sameNamed = before.sameNamed;
    step.place = before.place;
    if (before.kind == RenamedKind::Profile) {
        step.newName = suite.ProfileTable.at(before.index).Name();
    } else {
        step.newName = suite.ReceiverTable.at(before.index).Name();
        const RouteProfileStore& profiles = suite.ProfileTable;
        for (std::size_t j = 0; j < profiles.size() && 2 * j + 1 < before.lists.size(); ++j) {
            for (int list : {1, 2}) {
                AnsiText& was = before.lists[2 * j + static_cast<std::size_t>(list - 1)];
                const AnsiText& now = ListOf(profiles.at(j), list);
                if (was != now) step.lists.push_back({j, list, std::move(was), now});
            }
        }
    }
    Push(std::move(step));
}

void RenameJournal::Push(RenameStep step)
{
    if (m_current < m_steps.size()) {
        // A saved point among the undone steps that none of them changes for
        // its table is the same state as the current one.
        for (Table t : {Profiles, Receivers}) {
            if (m_saved[t] <= m_current) continue;
            bool touched = false;
            for (std::size_t i = m_current + 1; i <= m_saved[t]; ++i) touched = touched || Touches(m_steps[i - 1], t);
            if (!touched) m_saved[t] = m_current;
        }
        const std::size_t keep = std::max(m_saved[Profiles], m_saved[Receivers]);
        if (keep > m_current) {
            // The files hold undone steps: they stay, followed by their reversal.
            m_steps.resize(keep);
            for (std::size_t i = keep; i > m_current; --i) {
                RenameStep back = m_steps[i - 1].Reversed();
                m_steps.push_back(std::move(back));
            }
        } else {
            m_steps.resize(m_current);
        }
        m_current = m_steps.size();
    }
    m_steps.push_back(std::move(step));
    m_current = m_steps.size();
}

namespace {

// Puts a step's names and lists in (forward) or back; nothing when the tables
// do not hold what the step expects.
// How many items of the step's lists differ between before and after: the
// list items the rename carried to the new name.
int ItemsChanged(const RenameStep& step)
{
    int items = 0;
    for (const ListEdit& c : step.lists) {
        const auto before = SplitReceiverList(std::string_view(c.before.data(), c.before.size()));
        const auto after = SplitReceiverList(std::string_view(c.after.data(), c.after.size()));
        for (std::size_t i = 0; i < std::min(before.size(), after.size()); ++i)
            if (before[i] != after[i]) ++items;
    }
    return items;
}

bool Put(Suite& suite, const RenameStep& step, bool forward)
{
    const AnsiText& expected = forward ? step.oldName : step.newName;
    const AnsiText& wanted = forward ? step.newName : step.oldName;
    AnsiText* name = nullptr;
    if (step.kind == RenamedKind::Profile) {
        if (step.index >= suite.ProfileTable.size()) return false;
        name = &suite.ProfileTable.at(step.index).Name();
    } else if (!step.listsOnly) {
        if (step.index >= suite.ReceiverTable.size()) return false;
        name = &suite.ReceiverTable.at(step.index).Name();
    }
    if (name != nullptr && *name != expected) return false;
    for (const ListEdit& c : step.lists) {
        if (c.profile >= suite.ProfileTable.size()) return false;
        if (ListOf(suite.ProfileTable.at(c.profile), c.list) != (forward ? c.before : c.after)) return false;
    }
    if (name != nullptr) *name = wanted;
    for (const ListEdit& c : step.lists)
        ListOf(suite.ProfileTable.at(c.profile), c.list) = forward ? c.after : c.before;
    // The table notes the rename for the history, as a rename made by hand
    // is noted; one that takes back the last noted rename cancels it.
    if (step.kind == RenamedKind::Profile)
        suite.ProfileTable.RecordRenameOfUndo(expected, wanted, 0);
    else if (!step.listsOnly)
        suite.ReceiverTable.RecordRenameOfUndo(expected, wanted, ItemsChanged(step));
    return true;
}

} // namespace

std::optional<RenameStep> RenameJournal::Undo(Suite& suite)
{
    if (!CanUndo() || !Put(suite, m_steps[m_current - 1], false)) return std::nullopt;
    return m_steps[--m_current];
}

std::optional<RenameStep> RenameJournal::Redo(Suite& suite)
{
    if (!CanRedo() || !Put(suite, m_steps[m_current], true)) return std::nullopt;
    return m_steps[m_current++];
}

void RenameJournal::Saved(SavedKind kind)
{
    if (kind != SavedKind::Receivers) m_saved[Profiles] = m_current;
    if (kind != SavedKind::Profiles) m_saved[Receivers] = m_current;
}

bool RenameJournal::InUnsavedRange(std::size_t i, Table table) const
{
    const std::size_t lo = std::min(m_saved[table], m_current);
    const std::size_t hi = std::max(m_saved[table], m_current);
    return lo < i && i <= hi;
}

bool RenameJournal::Unsaved(Table table) const
{
    // The steps between the saved point and the current one may cancel out
    // (a step and its reversal): what counts is whether any name or list
    // ends other than it began.
    const std::size_t lo = std::min(m_saved[table], m_current);
    const std::size_t hi = std::max(m_saved[table], m_current);
    std::map<std::size_t, std::pair<AnsiText, AnsiText>> names;
    std::map<std::pair<std::size_t, int>, std::pair<AnsiText, AnsiText>> lists;
    auto follow = [](auto& map, const auto& key, const AnsiText& from, const AnsiText& to) {
        auto [it, added] = map.try_emplace(key, from, to);
        if (!added) it->second.second = to;
    };
    for (std::size_t i = lo + 1; i <= hi; ++i) {
        const RenameStep& s = m_steps[i - 1];
        if (!Touches(s, table)) continue;
        if (table == Profiles) {
            if (s.kind == RenamedKind::Profile) follow(names, s.index, s.oldName, s.newName);
            for (const ListEdit& c : s.lists) follow(lists, std::pair(c.profile, c.list), c.before, c.after);
        } else {
            follow(names, s.index, s.oldName, s.newName);
        }
    }
    for (const auto& [key, change] : names)
        if (change.first != change.second) return true;
    for (const auto& [key, change] : lists)
        if (change.first != change.second) return true;
    return false;
}

bool RenameJournal::Tied() const
{
    if (!Unsaved(Profiles) || !Unsaved(Receivers)) return false;
    for (std::size_t i = 1; i <= m_steps.size(); ++i) {
        const RenameStep& s = m_steps[i - 1];
        if (s.TouchesReceivers() && !s.lists.empty() && InUnsavedRange(i, Profiles) && InUnsavedRange(i, Receivers))
            return true;
    }
    return false;
}

RenameJournal::Places RenameJournal::ReceiverPlaces(const Suite& suite) const
{
    Places places;
    const ReceiverStore& table = suite.ReceiverTable;
    for (const RenameStep& s : m_steps) {
        std::optional<Places::Place> place;
        if (s.TouchesReceivers() && s.index < table.size())
            place = Places::Place{table.at(s.index).Name(), CountNamed(table, table.at(s.index).Name(), s.index)};
        places.steps.push_back(std::move(place));
    }
    return places;
}

void RenameJournal::ReceiversSorted(const Suite& suite, const Places& places)
{
    const ReceiverStore& table = suite.ReceiverTable;
    for (std::size_t k = 0; k < m_steps.size() && k < places.steps.size(); ++k) {
        if (!places.steps[k]) continue;
        std::size_t seen = 0;
        for (std::size_t i = 0; i < table.size(); ++i) {
            if (table.at(i).Name() != places.steps[k]->name) continue;
            if (seen++ == places.steps[k]->before) {
                m_steps[k].index = i;
                break;
            }
        }
    }
}

void RenameJournal::Clear()
{
    m_steps.clear();
    m_current = 0;
    m_saved[Profiles] = m_saved[Receivers] = 0;
}

std::vector<RenameJournal::UnsavedStep> RenameJournal::UnsavedSteps() const
{
    // What the tables add to the files: the steps undone past a saved point,
    // taken back newest first, then the steps made since the saved points.
    std::vector<UnsavedStep> steps;
    auto add = [&](std::size_t i, RenameStep step) {
        const bool receivers = InUnsavedRange(i, Receivers) && step.TouchesReceivers();
        const bool profiles = InUnsavedRange(i, Profiles) && step.TouchesProfiles();
        const bool receiverPart = receivers || step.kind == RenamedKind::Profile;
        if (receivers || profiles) steps.push_back({std::move(step), receiverPart});
    };
    for (std::size_t i = std::max(m_saved[Profiles], m_saved[Receivers]); i > m_current; --i)
        add(i, m_steps[i - 1].Reversed());
    for (std::size_t i = std::min(m_saved[Profiles], m_saved[Receivers]) + 1; i <= m_current; ++i)
        add(i, m_steps[i - 1]);
    return steps;
}

void RenameJournal::ReplayRename(Suite& fresh, const RenameStep& step, ReplayLine& line)
{
    const bool profile = step.kind == RenamedKind::Profile;
    auto slot = profile ? FindAgain(fresh.ProfileTable, step, "route profile")
                        : FindAgain(fresh.ReceiverTable, step, "receiver");
    if (!slot) {
        line.reason = slot.error().message;
        return;
    }
    Before before = Take(fresh, step.kind, *slot);
    const auto slot16 = static_cast<std::int16_t>(*slot);
    const std::string name = Cp1252ToUtf8(step.newName);
    auto outcome = profile ? RenameProfile(fresh, slot16, name) : RenameReceiver(fresh, slot16, name);
    if (!outcome) {
        line.reason = outcome.error().message;
        return;
    }
    Judge(*outcome, line);
    if (outcome->result == RenameResult::Renamed) Record(std::move(before), fresh);
}

void RenameJournal::ReplayListsOnly(Suite& fresh, const RenameStep& step, ReplayLine& line)
{
    // The receiver bears its new name in the files already; only the
    // profile lists are to follow it, and only to a receiver there is.
    const ReceiverStore& receivers = fresh.ReceiverTable;
    const AnsiText oldUpper = UpperCaseAnsi(step.oldName);
    bool present = false;
    bool twin = false;
    for (std::size_t i = 0; i < receivers.size(); ++i) {
        present = present || receivers.at(i).Name() == step.newName;
        twin = twin || UpperCaseAnsi(receivers.at(i).Name()) == oldUpper;
    }
    if (!present) {
        line.reason = "no receiver bears the name " + Quoted(step.newName) + " now.";
        return;
    }
    RenameStep lists = step;
    lists.listsOnly = true;
    lists.lists.clear();
    RouteProfileStore& profiles = fresh.ProfileTable;
    for (std::size_t j = 0; j < profiles.size(); ++j) {
        for (int list : {1, 2}) {
            const AnsiText& was = ListOf(profiles.at(j), list);
            AnsiText now = RebuildReceiverList(was, step.oldName, step.newName, twin);
            if (now.size() > MaxTextBytes) {
                line.reason = "a receiver list of the route profile " + Quoted(profiles.at(j).Name()) +
                              " would become longer than " + std::to_string(MaxTextBytes) + " bytes.";
                return;
            }
            if (now != was) lists.lists.push_back({j, list, was, std::move(now)});
        }
    }
    for (const ListEdit& c : lists.lists) ListOf(profiles.at(c.profile), c.list) = c.after;
    line.applied = true;
    const std::size_t n = lists.lists.size();
    line.reason = n == 0   ? "No receiver list names it any more."
                  : n == 1 ? "1 receiver list of the route profiles changes."
                           : std::to_string(n) + " receiver lists of the route profiles change.";
    if (n > 0) Push(std::move(lists));
}

RenameJournal RenameJournal::Replay(Suite& fresh, std::vector<ReplayLine>& lines) const
{
    RenameJournal out;
    for (const UnsavedStep& unsaved : UnsavedSteps()) {
        ReplayLine line;
        line.step = unsaved.step;
        if (unsaved.step.kind == RenamedKind::Profile || unsaved.receiverPart)
            out.ReplayRename(fresh, unsaved.step, line);
        else
            out.ReplayListsOnly(fresh, unsaved.step, line);
        lines.push_back(std::move(line));
    }
    return out;
}

std::unique_ptr<Suite> LoadFresh(const Suite& suite, LoadReport* report)
{
    auto fresh = std::make_unique<Suite>(suite.Context.ProjectPath, suite.Context.fs, suite.Context.server);
    // The window's own load has logged what it passes over.
    fresh->Context.log = nullptr;
    fresh->Context.busy = suite.Context.busy;
    fresh->ReceiverTable.ReadAllReceivers(fresh->Context, report);
    fresh->ProfileTable.ReadAllRouteProfiles(fresh->Context, report);
    return fresh;
}

bool ChangedOnDisk(const Suite& suite, SavedKind kind, std::string* changed)
{
    bool any = false;
    auto compare = [&](const KindSnapshot& loaded, const KindDescription& desc) {
        if (!loaded.taken) return;
        auto content = ReadKindFolder(*suite.Context.fs, suite.Context.ProjectPath, desc);
        if (!content) return;
        // Built as a load builds its snapshot.
        KindSnapshot now;
        now.taken = true;
        for (KindFolderContent::File& f : content->files) now.Add(f.file.name, std::move(f.content));
        if (now == loaded) return;
        any = true;
        if (changed != nullptr)
            *changed += (changed->empty() ? "" : "; ") + desc.kind + ": " + DescribeChanges(loaded, now);
    };
    if (kind != SavedKind::Profiles) compare(suite.ReceiverTable.Loaded(), ReceiverKind());
    if (kind != SavedKind::Receivers) compare(suite.ProfileTable.Loaded(), ProfileKind());
    return any;
}

std::optional<std::string> SaveLockHolder(const Suite& suite, const std::string& kind)
{
    FileSystem& fs = *suite.Context.fs;
    auto project = OpenFolder(fs, suite.Context.ProjectPath);
    if (!project) return std::nullopt;
    auto work = OpenFolderAt(fs, *project, WorkFolderName);
    if (!work) return std::nullopt;
    auto owner = ReadDeskLock(fs, *work, kind);
    if (!owner || !*owner) return std::nullopt;
    const Desk self = suite.Context.desks->Self();
    if ((*owner)->desk.host == self.host && (*owner)->desk.process == self.process) return std::nullopt;
    return DescribeLockOwner(**owner);
}

} // namespace vel
