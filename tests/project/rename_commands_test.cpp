#include "project/rename_commands.h"

#include "tests/support/fault_injecting_file_system.h"
#include "tests/support/test_project.h"

#include "records/save_transaction.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace vel {
namespace {

using test::Nul;
using test::Snapshot;
using test::TestProject;

const RouteProfile& ProfileNamed(const Suite& s, const AnsiText& name)
{
    for (const RouteProfileEntry& e : s.ProfileTable.Entries())
        if (e.record.Name() == name) return e.record;
    throw std::runtime_error("no profile " + name);
}

std::int16_t SlotOf(const std::vector<std::int16_t>& found)
{
    if (found.size() != 1) throw std::runtime_error("expected one match");
    return found.front();
}

class ProfileRenameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        project.AddProfile(1, "Alpha");
        project.AddProfile(2, "Beta");
        suite = project.Open();
        ASSERT_EQ(suite->ProfileTable.size(), 2u);
        beta = SlotOf(FindProfilesByName(*suite, "Beta"));
    }
    std::string NameAt(std::int16_t slot) { return suite->ProfileTable.at(static_cast<std::size_t>(slot)).Name(); }

    TestProject project;
    std::unique_ptr<Suite> suite;
    std::int16_t beta = -1;
};

TEST_F(ProfileRenameTest, OwnNameIsAcceptedWithoutMessage)
{
    auto r = RenameProfile(*suite, beta, " Beta ");
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r->result, RenameResult::SameName);
    EXPECT_TRUE(r->refusal.ok());
    EXPECT_EQ(NameAt(beta), "Beta");
}

TEST_F(ProfileRenameTest, BlanksAroundTheAnswerAreRemoved)
{
    auto r = RenameProfile(*suite, beta, " Gamma ");
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r->result, RenameResult::Renamed);
    EXPECT_EQ(NameAt(beta), "Gamma");
    EXPECT_EQ(r->newName, "Gamma");
}

TEST_F(ProfileRenameTest, DuplicateTestIsCaseSensitive)
{
    auto dup = RenameProfile(*suite, beta, "Alpha");
    ASSERT_TRUE(dup.ok());
    EXPECT_EQ(dup->result, RenameResult::Duplicate);
    EXPECT_EQ(dup->refusal.error().message, "A Route Profile with this name already exists.");
    EXPECT_EQ(dup->refusal.error().code, ErrorCode::Exists);
    EXPECT_EQ(NameAt(beta), "Beta");
    ASSERT_TRUE(dup->holder.has_value());
    EXPECT_EQ(NameAt(static_cast<std::int16_t>(*dup->holder)), "Alpha");
    EXPECT_EQ(DescribeDuplicateHolder(*suite, *dup, false), "The route profile \"Alpha\" bears it.");

    auto upper = RenameProfile(*suite, beta, "ALPHA");
    ASSERT_TRUE(upper.ok());
    EXPECT_EQ(upper->result, RenameResult::Renamed);
    EXPECT_EQ(NameAt(beta), "ALPHA");
}

TEST_F(ProfileRenameTest, EmptyAnswerChangesNothing)
{
    for (const char* answer : {"", " ", "    "}) {
        auto r = RenameProfile(*suite, beta, answer);
        ASSERT_TRUE(r.ok());
        EXPECT_EQ(r->result, RenameResult::Unchanged) << '"' << answer << '"';
        EXPECT_TRUE(r->refusal.ok());
        EXPECT_EQ(NameAt(beta), "Beta");
    }
}

TEST_F(ProfileRenameTest, SlotOutsideTheTableIsRefused)
{
    for (std::int16_t slot : {std::int16_t(-1), std::int16_t(2), std::int16_t(299)}) {
        auto r = RenameProfile(*suite, slot, "X");
        ASSERT_FALSE(r.ok());
        EXPECT_EQ(r.error().code, ErrorCode::IndexOutOfRange);
    }
    EXPECT_EQ(NameAt(0), "Alpha");
    EXPECT_EQ(NameAt(1), "Beta");
}

TEST_F(ProfileRenameTest, NamesThatCannotBeStoredAreRefused)
{
    const std::string tooLong(MaxTextBytes + 1, 'x');
    const std::string withNul("a\0b", 3);
    for (const std::string& answer :
         {std::string("Greek \xCE\xA9"), std::string("tab\there"), std::string("bell\x07"), withNul,
          std::string("del\x7F"), std::string("c1 \xC2\x81"), std::string("bad utf8 \xFF"), tooLong}) {
        auto r = RenameProfile(*suite, beta, answer);
        ASSERT_TRUE(r.ok());
        EXPECT_EQ(r->result, RenameResult::NotStorable) << answer.substr(0, 20);
        EXPECT_NE(r->refusal.error().message.find("cannot be stored"), std::string::npos) << r->refusal.error().message;
        EXPECT_EQ(NameAt(beta), "Beta");
    }
}

TEST_F(ProfileRenameTest, CodePageCharactersAndTheLongestNameAreStored)
{
    auto accented = RenameProfile(*suite, beta, "Caf\xC3\xA9 \xE2\x82\xAC");
    ASSERT_TRUE(accented.ok());
    EXPECT_EQ(accented->result, RenameResult::Renamed);
    EXPECT_EQ(NameAt(beta), "Caf\xE9 \x80");

    const std::string longest(MaxTextBytes, 'y');
    auto r = RenameProfile(*suite, beta, longest);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r->result, RenameResult::Renamed);
    EXPECT_EQ(NameAt(beta), longest);
    EXPECT_TRUE(SaveProfiles(*suite).ok());
}

TEST(RebuildReceiverList, ReplacesMatchesInUpperCaseAndClosesEveryItem)
{
    EXPECT_EQ(RebuildReceiverList(Nul({"Siren", "Pager"}), "Siren", "Horn"), Nul({"Horn", "Pager"}));
    EXPECT_EQ(RebuildReceiverList(Nul({"SIREN"}), "Siren", "Horn"), Nul({"Horn"}));
    EXPECT_EQ(RebuildReceiverList(Nul({"sir\xE8ne"}), "SIR\xC8NE", "Horn"), Nul({"Horn"}));
    EXPECT_EQ(RebuildReceiverList("Pager", "Siren", "Horn"), Nul({"Pager"}));
    EXPECT_EQ(RebuildReceiverList("", "Siren", "Horn"), "");
    EXPECT_EQ(RebuildReceiverList(Nul({"Sirens", "Sire"}), "Siren", "Horn"), Nul({"Sirens", "Sire"}));
}

TEST(RebuildReceiverList, AnEmptyItemLosesNothingAfterIt)
{
    EXPECT_EQ(RebuildReceiverList(Nul({"A", "", "Siren", "B"}), "Siren", "Horn"), Nul({"A", "", "Horn", "B"}));
    EXPECT_EQ(RebuildReceiverList(Nul({""}), "Siren", "Horn"), Nul({""}));
    EXPECT_EQ(RebuildReceiverList(std::string("\0\0Siren", 7), "Siren", "Horn"), Nul({"", "", "Horn"}));
    EXPECT_EQ(RebuildReceiverList(Nul({"x", ""}), "Siren", "Horn"), Nul({"x", ""}));
}

class ReceiverRenameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        project.AddReceiver(1, "Siren");
        project.AddReceiver(2, "Pager");
        project.AddProfile(1, "Day", -1, Nul({"Siren", "Pager"}), Nul({"SIREN"}));
        project.AddProfile(2, "Night", -1, "Pager", "");
        project.AddProfile(3, "Odd", 0, Nul({"A", "", "siren", "B"}), Nul({"Other"}));
        suite = project.Open();
        siren = SlotOf(FindReceiversByName(*suite, "Siren"));
    }

    TestProject project;
    std::unique_ptr<Suite> suite;
    std::int16_t siren = -1;
};

TEST_F(ReceiverRenameTest, RenameCascadesIntoEveryProfileList)
{
    auto r = RenameReceiver(*suite, siren, "Horn");
    ASSERT_TRUE(r.ok());
    ASSERT_EQ(r->result, RenameResult::Renamed);
    EXPECT_EQ(suite->ReceiverTable.at(static_cast<std::size_t>(siren)).Name(), "Horn");

    const RouteProfile& day = ProfileNamed(*suite, "Day");
    EXPECT_EQ(day.ReceiverList1(), Nul({"Horn", "Pager"}));
    EXPECT_EQ(day.ReceiverList2(), Nul({"Horn"}));
    const RouteProfile& night = ProfileNamed(*suite, "Night");
    EXPECT_EQ(night.ReceiverList1(), Nul({"Pager"}));
    EXPECT_EQ(night.ReceiverList2(), "");
    const RouteProfile& odd = ProfileNamed(*suite, "Odd");
    EXPECT_EQ(odd.ReceiverList1(), Nul({"A", "", "Horn", "B"}));
    EXPECT_EQ(odd.ReceiverList2(), Nul({"Other"}));
    // Day list 1 and 2, Night list 1 (closing NUL), Odd list 1.
    EXPECT_EQ(r->listsChanged, 4);
    EXPECT_EQ(r->profilesChanged, 3);
    EXPECT_FALSE(r->holder.has_value());
}

TEST_F(ReceiverRenameTest, DuplicateIsRefusedAndNoListChanges)
{
    const std::int16_t pager = SlotOf(FindReceiversByName(*suite, "Pager"));
    auto r = RenameReceiver(*suite, pager, " Siren ");
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r->result, RenameResult::Duplicate);
    EXPECT_EQ(r->refusal.error().message, "A Receiver with this name already exists.");
    EXPECT_EQ(suite->ReceiverTable.at(static_cast<std::size_t>(pager)).Name(), "Pager");
    EXPECT_EQ(ProfileNamed(*suite, "Night").ReceiverList1(), "Pager");

    // Profile lists match names without regard to case: "siren" would be
    // the same receiver to them.
    for (const char* twin : {"siren", "SIREN"}) {
        auto lower = RenameReceiver(*suite, pager, twin);
        ASSERT_TRUE(lower.ok());
        EXPECT_EQ(lower->result, RenameResult::Duplicate) << twin;
        EXPECT_EQ(lower->refusal.error().message, "A Receiver with this name already exists.");
        // The line below the message names the receiver that bears it, as it is spelt.
        ASSERT_TRUE(lower->holder.has_value());
        EXPECT_EQ(suite->ReceiverTable.at(*lower->holder).Name(), "Siren");
        EXPECT_EQ(DescribeDuplicateHolder(*suite, *lower, true),
                  "The receiver \"Siren\" bears it; receiver names are compared without regard to upper and lower "
                  "case.");
    }
    // Its own name in other case is a rename.
    auto own = RenameReceiver(*suite, pager, "PAGER");
    ASSERT_TRUE(own.ok());
    EXPECT_EQ(own->result, RenameResult::Renamed);
    EXPECT_EQ(ProfileNamed(*suite, "Night").ReceiverList1(), Nul({"PAGER"}));
}

// In a project that already holds two receivers whose names differ only in
// case, a rename of one changes only list items spelt exactly like it, and
// says how many items it left alone.
TEST(ReceiverTwins, ARenameNeverTakesTheOtherTwinsItems)
{
    TestProject project;
    project.AddReceiver(1, "Bell");
    project.AddReceiver(2, "BELL");
    project.AddProfile(1, "Day", -1, Nul({"Bell", "BELL", "bell"}), Nul({"Bell"}));
    auto suite = project.Open();
    const std::int16_t bell = SlotOf(FindReceiversByName(*suite, "Bell"));
    auto r = RenameReceiver(*suite, bell, "Chime");
    ASSERT_TRUE(r.ok());
    ASSERT_EQ(r->result, RenameResult::Renamed);
    const RouteProfile& day = ProfileNamed(*suite, "Day");
    EXPECT_EQ(day.ReceiverList1(), Nul({"Chime", "BELL", "bell"}));
    EXPECT_EQ(day.ReceiverList2(), Nul({"Chime"}));
    EXPECT_EQ(r->itemsLeftAlone, 2);
    const std::string note = DescribeItemsLeftAlone(*r, "Bell");
    EXPECT_NE(note.find("2 items"), std::string::npos) << note;
    // Without a twin any more, the next rename matches without regard to case.
    const std::int16_t upper = SlotOf(FindReceiversByName(*suite, "BELL"));
    auto next = RenameReceiver(*suite, upper, "Gong");
    ASSERT_TRUE(next.ok());
    EXPECT_EQ(next->itemsLeftAlone, 0);
    EXPECT_EQ(ProfileNamed(*suite, "Day").ReceiverList1(), Nul({"Chime", "Gong", "Gong"}));
}

// A receiver rename is saved in one commit. Every file operation of that
// save fails once in turn: the project then holds both old tables or both new
// ones, never one of each, and the server hears of it only with both new.
TEST(SaveBoth, BothTablesOrNeither)
{
    TestProject project;
    project.AddReceiver(1, "Pager");
    project.AddReceiver(2, "Siren");
    project.AddProfile(1, "Day", -1, Nul({"Pager", "Siren"}));
    const auto before = Snapshot(project.path());
    auto state = [&] {
        auto s = project.Open();
        const bool receiverNew = !FindReceiversByName(*s, "Beeper").empty();
        const bool profileNew = s->ProfileTable.at(0).ReceiverList1() == Nul({"Beeper", "Siren"});
        return receiverNew == profileNew ? (receiverNew ? 2 : 1) : 0; // 0: one of each
    };
    auto restore = [&] {
        std::filesystem::remove_all(project / ".velnamechange");
        for (const char* kind : {"Profiles", "Receivers"}) {
            std::filesystem::remove_all(project / kind);
            test::MakeDirs(project / kind);
        }
        for (const auto& [name, data] : before) test::WriteBytes(project / name, data);
    };

    FaultInjectingFileSystem faulty(RealFileSystem());
    bool sawRefusal = false;
    for (long k = 1;; ++k) {
        ASSERT_LT(k, 300);
        faulty.Reset();
        auto suite = project.Open(true, &faulty);
        ASSERT_EQ(RenameReceiver(*suite, SlotOf(FindReceiversByName(*suite, "Pager")), "Beeper")->result,
                  RenameResult::Renamed);
        project.server.commands.clear();
        faulty.Reset();
        faulty.FailAt(k, false);
        const SaveReport r = SaveReceiversAndProfiles(*suite);
        const bool injected = k <= faulty.operations();
        faulty.Reset();
        if (r.written.error().code == ErrorCode::Unfinished) {
            ASSERT_TRUE(test::Recover(suite->Context.ProjectPath).ok());
        }
        const int now = state();
        EXPECT_NE(now, 0) << "one table saved without the other, failure at operation " << k;
        if (r.written) {
            EXPECT_EQ(now, 2) << "operation " << k;
            // Both reloads, once; again at the next start where the save could
            // not clear its marker away (a repeated reload is harmless).
            const auto& c = project.server.commands;
            ASSERT_GE(c.size(), 2u);
            EXPECT_EQ(std::vector<std::string>(c.begin(), c.begin() + 2),
                      (std::vector<std::string>{"RR\t0", "RP:-1\t0"}))
                << "operation " << k;
        } else {
            sawRefusal = true;
            EXPECT_TRUE(project.server.commands.empty()) << "operation " << k;
            if (r.written.error().code != ErrorCode::Unfinished) {
                EXPECT_EQ(Snapshot(project.path()), before) << "operation " << k;
            }
            EXPECT_NE(DescribeSave(r, SavedKind::Both).find("receivers and route profiles"), std::string::npos);
        }
        restore();
        if (!injected) break;
    }
    EXPECT_TRUE(sawRefusal);
}
TEST_F(ReceiverRenameTest, EmptyOrUnstorableNameChangesNoList)
{
    for (const char* answer : {"  ", "Ho\x01rn"}) {
        auto r = RenameReceiver(*suite, siren, answer);
        ASSERT_TRUE(r.ok());
        EXPECT_NE(r->result, RenameResult::Renamed);
        EXPECT_EQ(suite->ReceiverTable.at(static_cast<std::size_t>(siren)).Name(), "Siren");
        EXPECT_EQ(ProfileNamed(*suite, "Night").ReceiverList1(), "Pager");
        EXPECT_EQ(ProfileNamed(*suite, "Day").ReceiverList2(), Nul({"SIREN"}));
    }
}

TEST_F(ReceiverRenameTest, ListThatWouldGrowTooLongRefusesTheWholeRename)
{
    // Siren listed so often that a longer name overflows the list's 16-bit length.
    RouteProfile& day = suite->ProfileTable.at(0);
    day.ReceiverList1().clear();
    while (day.ReceiverList1().size() + 6 <= MaxTextBytes) day.ReceiverList1() += Nul({"Siren"});
    const AnsiText before = day.ReceiverList1();

    auto r = RenameReceiver(*suite, siren, "Siren Hall");
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r->result, RenameResult::NotStorable);
    EXPECT_NE(r->refusal.error().message.find("longer than 32767"), std::string::npos) << r->refusal.error().message;
    EXPECT_EQ(r->refusal.error().code, ErrorCode::TooLong);
    EXPECT_EQ(suite->ReceiverTable.at(static_cast<std::size_t>(siren)).Name(), "Siren");
    EXPECT_EQ(day.ReceiverList1(), before);
    EXPECT_EQ(ProfileNamed(*suite, "Night").ReceiverList1(), "Pager");
}

TEST_F(ReceiverRenameTest, NothingReachesTheDiskBeforeTheSaves)
{
    const auto before = Snapshot(project.path(), true);
    auto r = RenameReceiver(*suite, siren, "Horn");
    ASSERT_TRUE(r.ok());
    ASSERT_EQ(r->result, RenameResult::Renamed);
    EXPECT_EQ(Snapshot(project.path(), true), before);
    EXPECT_TRUE(project.server.commands.empty());

    ASSERT_TRUE(SaveReceivers(*suite).ok());
    ASSERT_TRUE(SaveProfiles(*suite).ok());
    EXPECT_EQ(project.server.commands, (std::vector<std::string>{"RR\t0", "RP:-1\t0"}));

    auto reloaded = project.Open();
    EXPECT_EQ(FindReceiversByName(*reloaded, "Horn").size(), 1U);
    EXPECT_TRUE(FindReceiversByName(*reloaded, "Siren").empty());
    EXPECT_EQ(ProfileNamed(*reloaded, "Day").ReceiverList1(), Nul({"Horn", "Pager"}));
    EXPECT_EQ(ProfileNamed(*reloaded, "Odd").ReceiverList1(), Nul({"A", "", "Horn", "B"}));
}

TEST(FindByName, MatchesExactlyAndFindsEveryBearer)
{
    TestProject project;
    project.AddProfile(1, "Caf\xE9");
    project.AddProfile(2, "Same");
    project.AddProfile(3, "Same");
    auto suite = project.Open();
    EXPECT_EQ(FindProfilesByName(*suite, "Caf\xC3\xA9").size(), 1U);
    EXPECT_TRUE(FindProfilesByName(*suite, "caf\xC3\xA9").empty());
    EXPECT_TRUE(FindProfilesByName(*suite, "Caf\xE9").empty()); // not UTF-8
    EXPECT_EQ(FindProfilesByName(*suite, "Same").size(), 2U);
    EXPECT_TRUE(FindReceiversByName(*suite, "Same").empty());
}

TEST(SaveMessages, FailedSaveSaysNothingChangedAndWhy)
{
    TestProject project;
    project.AddProfile(1, "Alpha");
    FaultInjectingFileSystem faulty(RealFileSystem());
    auto suite = project.Open(true, &faulty);
    const auto before = Snapshot(project.path());
    faulty.Reset();
    faulty.FailAt(1, true);
    const SaveReport report = SaveProfiles(*suite);
    ASSERT_FALSE(report.written);
    const std::string text = DescribeSave(report, SavedKind::Profiles);
    EXPECT_NE(text.find("not saved; nothing on disk has changed"), std::string::npos) << text;
    EXPECT_NE(text.find(report.written.error().message), std::string::npos);
    EXPECT_FALSE(report.written.error().message.empty());
    EXPECT_EQ(Snapshot(project.path()), before);
}

TEST(SaveMessages, UnfinishedSaveDoesNotClaimNothingChanged)
{
    TestProject project;
    project.AddProfile(1, "Alpha");
    project.AddProfile(2, "Beta");
    FaultInjectingFileSystem faulty(RealFileSystem());
    auto suite = project.Open(true, &faulty);
    // Fail every operation from some point on; somewhere past the commit point
    // the save can neither finish nor be undone.
    bool seen = false;
    for (long k = 1; k < 200 && !seen; ++k) {
        faulty.Reset();
        faulty.FailAt(k, true);
        const SaveReport report = SaveProfiles(*suite);
        faulty.Reset();
        if (report.written || report.written.error().code != ErrorCode::Unfinished) {
            ASSERT_TRUE(test::Recover(suite->Context.ProjectPath).ok());
            continue;
        }
        seen = true;
        const std::string text = DescribeSave(report, SavedKind::Profiles);
        EXPECT_EQ(text.find("nothing on disk has changed"), std::string::npos) << text;
        EXPECT_NE(text.find("backup"), std::string::npos) << text;
    }
    EXPECT_TRUE(seen);
}

TEST(SaveMessages, FailedNotificationSaysTheFilesAreSaved)
{
    TestProject project;
    project.AddReceiver(1, "Siren");
    auto suite = project.Open();
    project.server.fail = true;
    const SaveReport report = SaveReceivers(*suite);
    ASSERT_TRUE(report.written);
    const std::string text = DescribeSave(report, SavedKind::Receivers);
    EXPECT_NE(text.find("receivers are saved, but the alarm server was not told to reload"), std::string::npos) << text;
    EXPECT_NE(text.find("the test's server is down"), std::string::npos);

    project.server.fail = false;
    EXPECT_EQ(DescribeSave(SaveReceivers(*suite), SavedKind::Receivers), "");
}

TEST(LoadMessage, NamesEveryFilePassedOver)
{
    TestProject project;
    project.AddReceiver(1, "Siren");
    test::WriteBytes(project / "Receivers/Receiver_0002.dat", test::Bytes({7, 0, 1, 2}));
    test::WriteBytes(project / "Profiles/Profile_0003.dat", test::Bytes({9, 0}));
    auto suite = project.Open(false);
    const LoadReport report = suite->LoadAll();
    const std::string text = DescribeIncompleteLoad(report);
    EXPECT_NE(text.find("Receiver_0002.dat"), std::string::npos) << text;
    EXPECT_NE(text.find("Profile_0003.dat"), std::string::npos) << text;
    EXPECT_EQ(DescribeIncompleteLoad(LoadReport{}), "");
}

} // namespace
} // namespace vel
