#include "project/rename_journal.h"

#include "tests/support/test_project.h"

#include "records/desk_lock.h"
#include "records/history.h"
#include "records/save_transaction.h"

#include <gtest/gtest.h>

namespace vel {
namespace {

using test::Nul;
using test::TestProject;

std::size_t ReceiverSlot(const Suite& s, const AnsiText& name)
{
    for (std::size_t i = 0; i < s.ReceiverTable.size(); ++i)
        if (s.ReceiverTable.at(i).Name() == name) return i;
    throw std::runtime_error("no receiver " + name);
}

std::size_t ProfileSlot(const Suite& s, const AnsiText& name)
{
    for (std::size_t i = 0; i < s.ProfileTable.size(); ++i)
        if (s.ProfileTable.at(i).Name() == name) return i;
    throw std::runtime_error("no profile " + name);
}

const RouteProfile& Profile(const Suite& s, const AnsiText& name)
{
    return s.ProfileTable.at(ProfileSlot(s, name));
}

std::vector<AnsiText> AllLists(const Suite& s)
{
    std::vector<AnsiText> out;
    for (const RouteProfileEntry& e : s.ProfileTable.Entries()) {
        out.push_back(e.record.ReceiverList1());
        out.push_back(e.record.ReceiverList2());
    }
    return out;
}

class RenameJournalTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        project.AddReceiver(0, "Siren");
        project.AddReceiver(1, "Bell");
        project.AddReceiver(2, "Lamp");
        project.AddReceiver(4, "Spare");
        // "siren" names Siren without regard to case; "Horn" names no receiver.
        project.AddProfile(1, "Alpha", -1, Nul({"Siren", "Bell"}), Nul({"siren"}));
        project.AddProfile(2, "Beta", -1, Nul({"Horn", "Lamp"}));
        project.AddProfile(3, "Gamma", -1, Nul({"Bell"}));
        suite = project.Open();
    }
    // A rename through the journal, as the window makes it.
    void RenameReceiver(const AnsiText& from, const std::string& to)
    {
        const std::size_t slot = ReceiverSlot(*suite, from);
        auto before = RenameJournal::Take(*suite, RenamedKind::Receiver, slot);
        auto outcome = vel::RenameReceiver(*suite, static_cast<std::int16_t>(slot), to);
        ASSERT_TRUE(outcome.ok());
        ASSERT_EQ(outcome->result, RenameResult::Renamed) << outcome->refusal.error().message;
        journal.Record(std::move(before), *suite);
    }
    void RenameProfile(const AnsiText& from, const std::string& to)
    {
        const std::size_t slot = ProfileSlot(*suite, from);
        auto before = RenameJournal::Take(*suite, RenamedKind::Profile, slot);
        auto outcome = vel::RenameProfile(*suite, static_cast<std::int16_t>(slot), to);
        ASSERT_TRUE(outcome.ok());
        ASSERT_EQ(outcome->result, RenameResult::Renamed) << outcome->refusal.error().message;
        journal.Record(std::move(before), *suite);
    }
    void Save(SavedKind kind)
    {
        const auto places = journal.ReceiverPlaces(*suite);
        const SaveReport report = kind == SavedKind::Profiles    ? SaveProfiles(*suite)
                                  : kind == SavedKind::Receivers ? SaveReceivers(*suite)
                                                                 : SaveReceiversAndProfiles(*suite);
        journal.ReceiversSorted(*suite, places);
        ASSERT_TRUE(report.written) << report.written.error().message;
        journal.Saved(kind);
    }

    TestProject project;
    std::unique_ptr<Suite> suite;
    RenameJournal journal;
};

TEST_F(RenameJournalTest, UndoAndRedoOfReceiverRenamePutListsBackExactly)
{
    const std::vector<AnsiText> listsBefore = AllLists(*suite);
    RenameReceiver("Siren", "Horn2");
    const std::vector<AnsiText> listsAfter = AllLists(*suite);
    EXPECT_EQ(Profile(*suite, "Alpha").ReceiverList2(), Nul({"Horn2"}));
    ASSERT_EQ(journal.Steps().size(), 1u);
    EXPECT_EQ(journal.Steps()[0].lists.size(), 2u) << "both of Alpha's lists changed";

    auto undone = journal.Undo(*suite);
    ASSERT_TRUE(undone);
    EXPECT_EQ(DescribeStep(*undone), "receiver \"Siren\" to \"Horn2\"");
    EXPECT_EQ(suite->ReceiverTable.at(ReceiverSlot(*suite, "Siren")).Name(), "Siren");
    // The lower-case item comes back as it was spelt, not as the receiver's name.
    EXPECT_EQ(AllLists(*suite), listsBefore);
    EXPECT_FALSE(journal.CanUndo());

    ASSERT_TRUE(journal.Redo(*suite));
    EXPECT_EQ(AllLists(*suite), listsAfter);
    EXPECT_NO_THROW(ReceiverSlot(*suite, "Horn2"));
    EXPECT_FALSE(journal.Redo(*suite));
}

TEST_F(RenameJournalTest, UndoLeavesAnItemThatBoreTheNewNameBeforeTheRename)
{
    // Beta names "Horn", which no receiver bore: renaming Siren to Horn is
    // allowed, and taking it back must not turn Beta's old item into "Siren".
    RenameReceiver("Siren", "Horn");
    EXPECT_EQ(Profile(*suite, "Beta").ReceiverList1(), Nul({"Horn", "Lamp"}));
    ASSERT_TRUE(journal.Undo(*suite));
    EXPECT_EQ(Profile(*suite, "Beta").ReceiverList1(), Nul({"Horn", "Lamp"}));
    EXPECT_EQ(Profile(*suite, "Alpha").ReceiverList1(), Nul({"Siren", "Bell"}));
}

TEST_F(RenameJournalTest, UnsavedFollowsTheHistoryAcrossSaves)
{
    RenameProfile("Alpha", "Alef");
    EXPECT_TRUE(journal.ProfilesUnsaved());
    EXPECT_FALSE(journal.ReceiversUnsaved());
    journal.Undo(*suite);
    EXPECT_FALSE(journal.ProfilesUnsaved()) << "back at the loaded state";
    journal.Redo(*suite);
    EXPECT_TRUE(journal.ProfilesUnsaved());

    Save(SavedKind::Profiles);
    EXPECT_FALSE(journal.ProfilesUnsaved());
    ASSERT_TRUE(journal.Undo(*suite));
    EXPECT_EQ(Profile(*suite, "Alpha").Name(), "Alpha");
    EXPECT_TRUE(journal.ProfilesUnsaved()) << "undone after the save: the table differs from the files";
    ASSERT_TRUE(journal.Redo(*suite));
    EXPECT_FALSE(journal.ProfilesUnsaved());
}

// The history gets what reached the disk: a rename taken back before the
// save leaves no line, one taken back after it a line of its own.
TEST_F(RenameJournalTest, TheHistoryHoldsWhatUndoAndRedoLeftOnDisk)
{
    auto history = [&] {
        std::vector<std::string> lines;
        auto read = ReadHistory(RealFileSystem(), project.path(), {});
        EXPECT_TRUE(read.ok());
        if (read)
            for (const HistoryEntry& e : *read)
                lines.push_back(e.kind + " " + e.oldName + ">" + e.newName + " " + std::to_string(e.items));
        return lines;
    };
    RenameReceiver("Siren", "Horn2");
    RenameProfile("Gamma", "Gimel");
    journal.Undo(*suite);
    journal.Undo(*suite);
    journal.Redo(*suite); // Siren to Horn2 again
    Save(SavedKind::Both);
    EXPECT_EQ(history(), (std::vector<std::string>{"receivers Siren>Horn2 2"}));

    ASSERT_TRUE(journal.Undo(*suite));
    Save(SavedKind::Both);
    EXPECT_EQ(history(), (std::vector<std::string>{"receivers Siren>Horn2 2", "receivers Horn2>Siren 2"}));
}

TEST_F(RenameJournalTest, ReceiverRenameTiesBothTablesUntilOneIsSaved)
{
    RenameReceiver("Bell", "Gong");
    EXPECT_TRUE(journal.ReceiversUnsaved());
    EXPECT_TRUE(journal.ProfilesUnsaved());
    EXPECT_TRUE(journal.Tied());
    Save(SavedKind::Receivers);
    EXPECT_FALSE(journal.ReceiversUnsaved());
    EXPECT_TRUE(journal.ProfilesUnsaved());
    EXPECT_FALSE(journal.Tied());
    journal.Undo(*suite);
    // Both differ from the files again: the receivers hold Gong, the profiles Bell.
    EXPECT_TRUE(journal.ReceiversUnsaved());
    EXPECT_FALSE(journal.ProfilesUnsaved());

    // A receiver rename that changes no list leaves the profiles alone.
    RenameReceiver("Spare", "Torch");
    EXPECT_FALSE(journal.Steps().back().TouchesProfiles());
    // Gong's list changes and their reversal, kept for the saved receivers,
    // cancel out: the profiles are as on disk.
    EXPECT_FALSE(journal.ProfilesUnsaved());
    EXPECT_TRUE(journal.ReceiversUnsaved());
    EXPECT_FALSE(journal.Tied());
}

// The window marks its tables unsaved and tied by ChangedTables; the journal
// must come to the same tables and the same tie, and saving those tables
// (SaveTables) must leave nothing unsaved.
TEST_F(RenameJournalTest, ChangedTablesAgreeWithTheJournal)
{
    struct Case {
        bool receiver;
        AnsiText from;
        std::string to;
        SavedKind changed;
    };
    const Case cases[] = {{false, "Alpha", "Omega", SavedKind::Profiles},
                          {true, "Bell", "Gong", SavedKind::Both},
                          {true, "Spare", "Torch", SavedKind::Receivers}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.from);
        RenameJournal fresh;
        const std::size_t slot = c.receiver ? ReceiverSlot(*suite, c.from) : ProfileSlot(*suite, c.from);
        auto before = RenameJournal::Take(*suite, c.receiver ? RenamedKind::Receiver : RenamedKind::Profile, slot);
        const auto slot16 = static_cast<std::int16_t>(slot);
        auto outcome = c.receiver ? vel::RenameReceiver(*suite, slot16, c.to)
                                  : vel::RenameProfile(*suite, slot16, c.to);
        ASSERT_TRUE(outcome.ok());
        ASSERT_EQ(outcome->result, RenameResult::Renamed) << outcome->refusal.error().message;
        fresh.Record(std::move(before), *suite);

        const SavedKind changed = ChangedTables(c.receiver, *outcome);
        EXPECT_EQ(changed, c.changed);
        EXPECT_EQ(fresh.ProfilesUnsaved(), changed != SavedKind::Receivers);
        EXPECT_EQ(fresh.ReceiversUnsaved(), changed != SavedKind::Profiles);
        EXPECT_EQ(fresh.Tied(), changed == SavedKind::Both);

        const auto places = fresh.ReceiverPlaces(*suite);
        const SaveReport report = SaveTables(*suite, changed);
        ASSERT_TRUE(report.written) << report.written.error().message;
        fresh.ReceiversSorted(*suite, places);
        fresh.Saved(changed);
        EXPECT_FALSE(fresh.ProfilesUnsaved());
        EXPECT_FALSE(fresh.ReceiversUnsaved());
        // The command line saves a receiver rename with the profiles whatever it changed.
        EXPECT_EQ(SavedAfterRename(c.receiver), c.receiver ? SavedKind::Both : SavedKind::Profiles);
    }
}

TEST_F(RenameJournalTest, RenameAfterUndoingPastASaveKeepsTheSavedStateReachable)
{
    RenameProfile("Alpha", "Alef");
    Save(SavedKind::Profiles);
    journal.Undo(*suite);
    RenameProfile("Beta", "Bet");
    EXPECT_FALSE(journal.CanRedo());
    EXPECT_TRUE(journal.ProfilesUnsaved());

    ASSERT_TRUE(journal.Undo(*suite)); // Bet back to Beta
    EXPECT_TRUE(journal.ProfilesUnsaved()) << "Alpha differs from the saved Alef";
    ASSERT_TRUE(journal.Undo(*suite)); // the undo of Alef, taken back
    EXPECT_EQ(Profile(*suite, "Alef").Name(), "Alef");
    EXPECT_FALSE(journal.ProfilesUnsaved()) << "this is what the files hold";
}

TEST_F(RenameJournalTest, UndoFindsAReceiverTheSaveSortedElsewhere)
{
    RenameReceiver("Siren", "Aardvark"); // sorts first at the save
    ASSERT_EQ(ReceiverSlot(*suite, "Aardvark"), 2u);
    Save(SavedKind::Both);
    ASSERT_EQ(ReceiverSlot(*suite, "Aardvark"), 0u);
    ASSERT_TRUE(journal.Undo(*suite));
    EXPECT_EQ(suite->ReceiverTable.at(0).Name(), "Siren");
    EXPECT_EQ(suite->ReceiverTable.at(1).Name(), "Bell");
    EXPECT_EQ(suite->ReceiverTable.at(2).Name(), "Lamp");
    EXPECT_EQ(Profile(*suite, "Alpha").ReceiverList1(), Nul({"Siren", "Bell"}));
}

TEST_F(RenameJournalTest, UndoRefusesTablesThatNoLongerHoldTheStep)
{
    RenameProfile("Alpha", "Alef");
    suite->ProfileTable.at(ProfileSlot(*suite, "Alef")).Name() = "Other";
    EXPECT_FALSE(journal.Undo(*suite));
    EXPECT_EQ(Profile(*suite, "Other").Name(), "Other");
    EXPECT_TRUE(journal.CanUndo());
}

TEST_F(RenameJournalTest, ReplayAppliesTheUnsavedRenamesOntoChangedFiles)
{
    RenameProfile("Gamma", "Gimel"); // saved below: not applied again
    Save(SavedKind::Profiles);
    RenameReceiver("Siren", "Horn2");
    RenameProfile("Beta", "Bet");
    // Another program adds a profile that names Siren.
    project.AddProfile(9, "Delta", -1, Nul({"SIREN"}));

    auto fresh = LoadFresh(*suite);
    std::vector<ReplayLine> lines;
    RenameJournal replayed = journal.Replay(*fresh, lines);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[0].applied) << lines[0].reason;
    EXPECT_EQ(DescribeStep(lines[0].step), "receiver \"Siren\" to \"Horn2\"");
    EXPECT_EQ(lines[0].reason, "3 receiver lists of the route profiles change with it.");
    EXPECT_TRUE(lines[1].applied);
    EXPECT_EQ(Profile(*fresh, "Delta").ReceiverList1(), Nul({"Horn2"}));
    EXPECT_NO_THROW(Profile(*fresh, "Bet"));
    EXPECT_NO_THROW(Profile(*fresh, "Gimel"));
    EXPECT_TRUE(replayed.ProfilesUnsaved());
    EXPECT_TRUE(replayed.ReceiversUnsaved());
    // The replayed journal undoes on the fresh tables.
    ASSERT_TRUE(replayed.Undo(*fresh));
    ASSERT_TRUE(replayed.Undo(*fresh));
    EXPECT_EQ(Profile(*fresh, "Delta").ReceiverList1(), Nul({"SIREN"}));
    EXPECT_FALSE(replayed.ProfilesUnsaved());
}

TEST_F(RenameJournalTest, ReplayRefusesVanishedEntriesAndClashingNames)
{
    RenameReceiver("Siren", "Horn2");
    RenameProfile("Beta", "Bet");
    RenameProfile("Gamma", "Gimel");
    // Another program renames Beta away, adds a receiver that clashes with
    // Horn2 but for case, and a profile that takes the name Gimel.
    project.AddProfile(2, "Bravo", -1, Nul({"Horn", "Lamp"}));
    project.AddReceiver(3, "HORN2");
    project.AddProfile(7, "Gimel");

    auto fresh = LoadFresh(*suite);
    const std::vector<AnsiText> listsBefore = AllLists(*fresh);
    std::vector<ReplayLine> lines;
    RenameJournal replayed = journal.Replay(*fresh, lines);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_FALSE(lines[0].applied);
    EXPECT_EQ(lines[0].reason, DuplicateReceiverMessage);
    EXPECT_FALSE(lines[1].applied);
    EXPECT_EQ(lines[1].reason, "no route profile bears the name \"Beta\" now.");
    EXPECT_FALSE(lines[2].applied);
    EXPECT_EQ(lines[2].reason, DuplicateProfileMessage);
    EXPECT_EQ(AllLists(*fresh), listsBefore) << "a refused receiver rename changes no list";
    EXPECT_FALSE(replayed.CanUndo());
    EXPECT_FALSE(replayed.ProfilesUnsaved());
}

TEST_F(RenameJournalTest, ReplayOfAHalfSavedReceiverRenameChangesTheListsAlone)
{
    RenameReceiver("Siren", "Horn2");
    Save(SavedKind::Receivers); // the profiles still name Siren on disk
    project.AddProfile(9, "Delta", -1, Nul({"Siren"}));

    auto fresh = LoadFresh(*suite);
    std::vector<ReplayLine> lines;
    RenameJournal replayed = journal.Replay(*fresh, lines);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0].applied) << lines[0].reason;
    EXPECT_EQ(Profile(*fresh, "Delta").ReceiverList1(), Nul({"Horn2"}));
    EXPECT_EQ(Profile(*fresh, "Alpha").ReceiverList2(), Nul({"Horn2"}));
    EXPECT_TRUE(replayed.ProfilesUnsaved());
    EXPECT_FALSE(replayed.ReceiversUnsaved());

    // Once the other program has renamed the receiver away, the lists are not
    // pointed at a receiver that is gone.
    project.AddReceiver(1, "Klaxon"); // Receiver_0001 held Horn2 after the sort
    auto fresher = LoadFresh(*suite);
    ASSERT_THROW(ReceiverSlot(*fresher, "Horn2"), std::runtime_error);
    lines.clear();
    journal.Replay(*fresher, lines);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_FALSE(lines[0].applied);
    EXPECT_EQ(lines[0].reason, "no receiver bears the name \"Horn2\" now.");
    EXPECT_EQ(Profile(*fresher, "Delta").ReceiverList1(), Nul({"Siren"}));
}

TEST_F(RenameJournalTest, ReplayTakesBackWhatWasUndoneAfterTheSave)
{
    RenameProfile("Alpha", "Alef");
    Save(SavedKind::Profiles);
    journal.Undo(*suite);
    project.AddProfile(9, "Delta");

    auto fresh = LoadFresh(*suite);
    std::vector<ReplayLine> lines;
    journal.Replay(*fresh, lines);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(DescribeStep(lines[0].step), "route profile \"Alef\" to \"Alpha\"");
    EXPECT_TRUE(lines[0].applied);
    EXPECT_NO_THROW(Profile(*fresh, "Alpha"));
    EXPECT_NO_THROW(Profile(*fresh, "Delta"));
}

TEST_F(RenameJournalTest, ChangedOnDiskSeesOtherProgramsNotOwnSaves)
{
    EXPECT_FALSE(ChangedOnDisk(*suite, SavedKind::Both));
    RenameProfile("Alpha", "Alef");
    Save(SavedKind::Profiles);
    EXPECT_FALSE(ChangedOnDisk(*suite, SavedKind::Both)) << "a save renews what the tables know of the files";

    project.AddReceiver(5, "Buzzer");
    std::string changed;
    EXPECT_FALSE(ChangedOnDisk(*suite, SavedKind::Profiles));
    EXPECT_TRUE(ChangedOnDisk(*suite, SavedKind::Receivers, &changed));
    EXPECT_NE(changed.find("Receiver_0005.dat"), std::string::npos) << changed;
}

TEST_F(RenameJournalTest, SaveLockHolderNamesAnotherDesk)
{
    EXPECT_FALSE(SaveLockHolder(*suite, "Receivers"));
    LockOwner owner;
    owner.desk = {"alice", "desk-3", 4711};
    owner.since = 1'796'638'500;
    test::MakeDirs(project / ".velnamechange/Receivers.held");
    test::WriteBytes(project / ".velnamechange/Receivers.held/owner", EncodeLockOwner(owner));
    const auto holder = SaveLockHolder(*suite, "Receivers");
    ASSERT_TRUE(holder);
    EXPECT_EQ(*holder, DescribeLockOwner(owner));
    EXPECT_NE(holder->find("alice on desk-3"), std::string::npos) << *holder;
    EXPECT_FALSE(SaveLockHolder(*suite, "Profiles"));
}

} // namespace
} // namespace vel
