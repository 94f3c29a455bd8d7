// The history of renames as saves write it: one line per rename once the
// save has committed, none for a save that failed or was thrown away, one
// (never two) for a save finished at the next start, and one for a restore.

#include "records/history.h"

#include "base/clock.h"
#include "project/rename_commands.h"
#include "project/suite.h"
#include "records/save_transaction.h"
#include "tests/support/fault_injecting_file_system.h"
#include "tests/support/test_project.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace vel {
namespace {

namespace fsys = std::filesystem;
using test::TestProject;

std::string Nul(std::initializer_list<std::string> items)
{
    std::string out;
    for (const auto& i : items) out += i + '\0';
    return out;
}

// Pager is named by three items of the profiles' lists, in three spellings.
void LayOut(TestProject& project)
{
    project.AddReceiver(0, "Pager");
    project.AddReceiver(1, "Siren");
    project.AddProfile(1, "Day", -1, Nul({"Pager", "pager", "Siren"}), Nul({"PAGER"}));
    project.AddProfile(2, "Night", -1, Nul({"Siren"}));
}

// Renames receiver Pager to Beeper and saves both kinds in one commit, or
// the receivers alone.
SaveReport RenamePager(Suite& suite, bool both = true)
{
    const auto slots = FindReceiversByName(suite, "Pager");
    if (slots.size() != 1) return {};
    auto renamed = RenameReceiver(suite, slots.front(), "Beeper");
    if (!renamed || renamed->result != RenameResult::Renamed) return {};
    return both ? SaveReceiversAndProfiles(suite) : SaveReceivers(suite);
}

class HistoryOfSaves : public ::testing::Test {
protected:
    HistoryOfSaves() { LayOut(project); }

    // A start of the program on the project: it finishes what an interrupted
    // save left, then loads.
    std::unique_ptr<Suite> Open()
    {
        auto suite = project.Open(false);
        suite->Context.clock = &clock;
        suite->Context.desks = &desks;
        suite->Context.notice = told.sink();
        (void)suite->LoadAll();
        return suite;
    }
    std::vector<HistoryEntry> History()
    {
        auto read = ReadHistory(RealFileSystem(), project.path(), damaged.sink());
        EXPECT_TRUE(read.ok()) << read.error().message;
        EXPECT_TRUE(damaged.lines.empty());
        return read ? *read : std::vector<HistoryEntry>{};
    }
    std::map<std::string, ByteBuffer> Kinds()
    {
        auto all = test::Snapshot(project / "Receivers");
        for (auto& [name, data] : test::Snapshot(project / "Profiles")) all["P/" + name] = data;
        return all;
    }
    // Puts the kind folders back as `files` and forgets every save.
    void Reset(const std::map<std::string, ByteBuffer>& files)
    {
        fsys::remove_all(project / ".velnamechange");
        for (const char* kind : {"Receivers", "Profiles"})
            for (const auto& name : test::Names(project / kind))
                fsys::remove(project / (std::string(kind) + "/" + name));
        for (const auto& [name, data] : files)
            test::WriteBytes(name.starts_with("P/") ? project / ("Profiles/" + name.substr(2))
                                                    : project / ("Receivers/" + name),
                             data);
    }

    TestProject project;
    test::TestClock clock{1796650000};
    test::TestDesks desks{"operator", "desk-7", 4711};
    test::LogRecorder told;
    test::LogRecorder damaged;
};

TEST_F(HistoryOfSaves, OneLinePerRenameOnceCommitted)
{
    auto suite = Open();
    ASSERT_TRUE(RenameProfile(*suite, FindProfilesByName(*suite, "Day").at(0), "Early").ok());
    ASSERT_TRUE(RenamePager(*suite).written);

    const auto lines = History();
    ASSERT_EQ(lines.size(), 2U);
    const HistoryEntry& receiver = lines[0];
    EXPECT_EQ(receiver.kind, "receivers");
    EXPECT_EQ(receiver.oldName, "Pager");
    EXPECT_EQ(receiver.newName, "Beeper");
    EXPECT_EQ(receiver.items, 3) << "Pager, pager and PAGER all named the receiver";
    EXPECT_EQ(receiver.time, clock.now);
    EXPECT_EQ(receiver.user, "operator");
    EXPECT_EQ(receiver.host, "desk-7");
    EXPECT_TRUE(receiver.backup.starts_with("Receivers-")) << receiver.backup;
    EXPECT_TRUE(test::Exists(project / (".velnamechange/backup/" + receiver.backup + "/Receiver_0000.dat")));
    const HistoryEntry& profile = lines[1];
    EXPECT_EQ(profile.kind, "profiles");
    EXPECT_EQ(profile.oldName, "Day");
    EXPECT_EQ(profile.newName, "Early");
    EXPECT_EQ(profile.items, 0);
    EXPECT_TRUE(profile.backup.starts_with("Profiles-")) << profile.backup;
    EXPECT_FALSE(receiver.save.empty());
    EXPECT_EQ(profile.save, receiver.save) << "one commit, one save id";

    // A save without renames adds nothing; the next rename is added alone,
    // under a save id of its own.
    clock.now += 60;
    ASSERT_TRUE(SaveReceivers(*suite).written);
    EXPECT_EQ(History().size(), 2U);
    ASSERT_TRUE(RenameProfile(*suite, FindProfilesByName(*suite, "Night").at(0), "Late").ok());
    ASSERT_TRUE(SaveProfiles(*suite).written);
    const auto after = History();
    ASSERT_EQ(after.size(), 3U);
    EXPECT_EQ(after[2].oldName, "Night");
    EXPECT_EQ(after[2].newName, "Late");
    EXPECT_EQ(after[2].time, clock.now);
    EXPECT_NE(after[2].save, receiver.save);

    // A rename made and then thrown away by loading again leaves no line.
    ASSERT_TRUE(RenameProfile(*suite, FindProfilesByName(*suite, "Late").at(0), "Gone").ok());
    (void)suite->LoadAll();
    ASSERT_TRUE(SaveProfiles(*suite).written);
    EXPECT_EQ(History().size(), 3U);
}

// Backups are pruned; the history never is.
TEST_F(HistoryOfSaves, IsNeverPrunedWithTheBackups)
{
    auto suite = Open();
    suite->Context.keepBackups = 1; // fewer than the default are never kept; 20 then
    std::string name = "Day";
    for (int i = 0; i < 23; ++i) {
        clock.now += 1;
        const std::string next = "Day " + std::to_string(i);
        ASSERT_TRUE(RenameProfile(*suite, FindProfilesByName(*suite, name).at(0), next).ok());
        ASSERT_TRUE(SaveProfiles(*suite).written);
        name = next;
    }
    EXPECT_EQ(test::Names(project / ".velnamechange/backup").size(), DefaultKeptBackups);
    const auto lines = History();
    ASSERT_EQ(lines.size(), 23U);
    EXPECT_EQ(lines.front().oldName, "Day");
    EXPECT_EQ(lines.back().newName, "Day 22");
}

// A backup is named after the clock the save is given, so names and pruning
// are seen without waiting: saves within one second count up ("-2", "-3",
// ... "-21"), and pruning keeps the newest by that count, not by the order
// of the names' letters ("-10" before "-2").
TEST_F(HistoryOfSaves, BackupsAreNamedAfterTheClockAndPrunedOldestFirst)
{
    auto suite = Open();
    const std::string first = "Profiles-" + CompactLocalTime(clock.now);
    std::vector<std::string> made;
    for (std::size_t i = 0; i < DefaultKeptBackups + 1; ++i) {
        const SaveReport saved = SaveProfiles(*suite);
        ASSERT_TRUE(saved.written) << saved.written.error().message;
        made.push_back(fsys::path(saved.backupFolder).filename().string());
    }
    EXPECT_EQ(made.front(), first);
    EXPECT_EQ(made[1], first + "-2");
    EXPECT_EQ(made.back(), first + "-" + std::to_string(DefaultKeptBackups + 1));

    clock.now += 1;
    const SaveReport later = SaveProfiles(*suite);
    ASSERT_TRUE(later.written) << later.written.error().message;
    EXPECT_EQ(fsys::path(later.backupFolder).filename().string(), "Profiles-" + CompactLocalTime(clock.now));

    std::set<std::string> kept;
    for (const auto& name : test::Names(project / ".velnamechange/backup"))
        if (name.starts_with("Profiles-")) kept.insert(name);
    std::set<std::string> newest(made.end() - static_cast<long>(DefaultKeptBackups - 1), made.end());
    newest.insert("Profiles-" + CompactLocalTime(clock.now));
    EXPECT_EQ(kept, newest);
}

// The backup a save has just made holds the only copy of the files it
// replaced: pruning never takes it, even where its name sorts oldest, as
// when the clock went back an hour at the end of summer time, or when a
// name pruned within the same second was free again.
TEST_F(HistoryOfSaves, TheBackupJustMadeIsNeverPruned)
{
    auto suite = Open();
    auto backups = [this] {
        std::set<std::string> kept;
        for (const auto& name : test::Names(project / ".velnamechange/backup"))
            if (name.starts_with("Profiles-")) kept.insert(name);
        return kept;
    };
    std::vector<std::string> made;
    for (std::size_t i = 0; i < DefaultKeptBackups + 2; ++i) {
        const SaveReport saved = SaveProfiles(*suite);
        ASSERT_TRUE(saved.written) << saved.written.error().message;
        made.push_back(fsys::path(saved.backupFolder).filename().string());
        EXPECT_EQ(backups().count(made.back()), 1U) << "save " << i + 1 << " lost its own backup";
    }
    EXPECT_EQ(backups().size(), DefaultKeptBackups);

    // A full set of backups a second apart, then a save an hour back in time.
    made.clear();
    for (std::size_t i = 0; i < DefaultKeptBackups; ++i) {
        clock.now += 1;
        const SaveReport saved = SaveProfiles(*suite);
        ASSERT_TRUE(saved.written) << saved.written.error().message;
        made.push_back(fsys::path(saved.backupFolder).filename().string());
    }
    ASSERT_EQ(backups(), std::set<std::string>(made.begin(), made.end()));
    clock.now -= 3600;
    const SaveReport back = SaveProfiles(*suite);
    ASSERT_TRUE(back.written) << back.written.error().message;
    const std::string early = fsys::path(back.backupFolder).filename().string();
    std::set<std::string> expected(made.begin() + 1, made.end());
    expected.insert(early);
    EXPECT_EQ(backups(), expected) << "the backup made an hour back in time stays, the oldest before it goes";
}

TEST_F(HistoryOfSaves, ARestoreAddsALineNamingTheBackupPutBack)
{
    auto suite = Open();
    ASSERT_TRUE(RenamePager(*suite).written);
    const std::string kept = History().at(0).backup;

    clock.now += 3600;
    const SaveReport restored = suite->Restore("Receivers", kept);
    ASSERT_TRUE(restored.written) << restored.written.error().message;
    const auto lines = History();
    ASSERT_EQ(lines.size(), 2U);
    EXPECT_EQ(lines[1].kind, "restore-receivers");
    EXPECT_EQ(lines[1].oldName, "");
    EXPECT_EQ(lines[1].newName, kept);
    EXPECT_EQ(lines[1].items, 0);
    EXPECT_EQ(lines[1].time, clock.now);
    EXPECT_TRUE(lines[1].backup.starts_with("Receivers-")) << lines[1].backup;
    EXPECT_NE(lines[1].backup, kept) << "the set the restore replaced is kept in a backup of its own";

    // A restore that is refused writes nothing.
    EXPECT_FALSE(suite->Restore("Receivers", "Receivers-20000101-000000").written);
    EXPECT_EQ(History().size(), 2U);
}

// Every file operation of a save fails in turn, and every one after it: a
// save that fails before its commit point leaves the old files and no line;
// one past it has its line once the next start has finished it, and never
// two.
TEST_F(HistoryOfSaves, AFailedSaveLeavesNoLineAndAFinishedOneExactlyOne)
{
    const auto before = Kinds();
    {
        auto suite = Open();
        ASSERT_TRUE(RenamePager(*suite).written);
    }
    const auto after = Kinds();
    ASSERT_NE(after, before);

    long failedBefore = 0, finishedLater = 0;
    for (long k = 1;; ++k) {
        ASSERT_LT(k, 2000) << "the save never ran to its end";
        Reset(before);
        FaultInjectingFileSystem faulty(RealFileSystem());
        SaveReport report;
        {
            auto suite = Open();
            suite->Context.fs = &faulty;
            faulty.FailAt(k, true);
            report = RenamePager(*suite);
        }
        const bool faultHit = faulty.operations() >= k;
        if (!report.written && report.written.error().code != ErrorCode::Unfinished) {
            EXPECT_EQ(Kinds(), before) << "failed at operation " << k;
            EXPECT_TRUE(History().empty()) << "failed at operation " << k;
            ++failedBefore;
        }
        (void)Open(); // the next start
        const auto now = Kinds();
        const std::size_t lines = History().size();
        if (now == before) {
            EXPECT_EQ(lines, 0U) << "failed at operation " << k;
        } else {
            EXPECT_EQ(now, after) << "failed at operation " << k;
            EXPECT_EQ(lines, 1U) << "failed at operation " << k;
            if (faultHit) ++finishedLater;
        }
        if (!faultHit) {
            EXPECT_TRUE(report.written);
            break;
        }
    }
    EXPECT_GT(failedBefore, 10);
    EXPECT_GT(finishedLater, 0);
}

// The process dies at every file operation of a save of a receiver rename;
// after the next start the history holds one more line exactly when the new
// set is in place.
TEST_F(HistoryOfSaves, AKilledSaveHasItsLineOnceAfterTheNextStart)
{
    const auto before = test::Snapshot(project / "Receivers");
    TestProject copy;
    LayOut(copy);
    {
        auto suite = copy.Open();
        ASSERT_TRUE(RenamePager(*suite, false).written);
    }
    const auto after = test::Snapshot(copy / "Receivers");

    std::size_t seen = 0;
    long finished = 0;
    test::KillAtEveryOperation(
        project.path(), project / "Receivers", before, after,
        [&](FileSystem& counting) {
            auto suite = project.Open();
            suite->Context.notice = {};
            suite->Context.fs = &counting;
            return RenamePager(*suite, false).written.ok();
        },
        15,
        [&](long k, bool newSet) {
            const auto lines = ReadHistory(RealFileSystem(), project.path(), {});
            ASSERT_TRUE(lines.ok());
            EXPECT_EQ(lines->size(), seen + (newSet ? 1 : 0)) << "killed at operation " << k;
            if (newSet && !lines->empty()) {
                EXPECT_EQ(lines->back().oldName, "Pager");
                EXPECT_EQ(lines->back().newName, "Beeper");
                ++finished;
            }
            seen = lines->size();
        });
    EXPECT_GT(finished, 1) << "saves killed past their commit point were finished";
}

} // namespace
} // namespace vel
