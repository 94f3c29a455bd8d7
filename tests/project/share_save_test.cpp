// Saves on the folders operators share, played by a disk in memory with the
// shares' habits: names that ignore case, no modes and no links (FAT, SMB
// without Unix extensions), a file another desk holds open, and two desks
// whose flocks never meet.

#include "project/rename_commands.h"
#include "project/suite.h"
#include "records/history.h"
#include "records/save_transaction.h"
#include "tests/support/fault_injecting_file_system.h"
#include "tests/support/test_project.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace vel {
namespace {

using test::ShareDesk;
using test::ShareDisk;
using test::ShareProject;
using test::ShareTraits;
using Files = std::map<std::string, ByteBuffer>;

const std::string Project = ShareProject;

std::string Lowered(std::string s)
{
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

Files LoweredNames(const Files& files)
{
    Files out;
    for (const auto& [name, data] : files) out[Lowered(name)] = data;
    return out;
}

// The kind folders after the renames, each run alone on a fresh local disk.
Files SetAfter(const std::vector<std::pair<std::string, std::string>>& receiverRenames)
{
    ShareDisk disk;
    test::LayOutShareProject(disk);
    ShareDesk desk(disk);
    for (const auto& [from, to] : receiverRenames) {
        auto suite = desk.Open();
        EXPECT_EQ(test::RenameReceiverAndSave(*suite, from, to), 0);
    }
    return disk.Snapshot(Project);
}

int CountTold(const ShareDesk& desk, const std::string& part)
{
    return static_cast<int>(std::count_if(desk.told.lines.begin(), desk.told.lines.end(),
                                          [&](const std::string& l) { return l.find(part) != std::string::npos; }));
}

// Windows tools leave the names in capitals. On a folder that ignores case
// those are the program's files: loaded, replaced by a save (never refused for
// case, never left in two spellings), the saved set named as the program
// names it where the folder can change a spelling, and saved again at once.
TEST(ShareSaveTest, NamesInWindowsCaseAreThoseFiles)
{
    for (const bool keepsSpelling : {false, true}) {
        SCOPED_TRACE(keepsSpelling ? "the share keeps the stored spelling" : "a rename gives the new spelling");
        ShareDisk disk(ShareTraits{.ignoresCase = true, .renameKeepsSpelling = keepsSpelling});
        test::LayOutShareProject(disk, true);
        ShareDesk desk(disk);
        auto suite = desk.Open();
        ASSERT_EQ(suite->ReceiverTable.size(), 3u);
        ASSERT_EQ(suite->ProfileTable.size(), 2u);

        SaveReport report;
        ASSERT_EQ(test::RenameReceiverAndSave(*suite, "alpha", "gamma", &report), 0) << report.written.error().message;
        for (const std::string folder : {"/PROFILES", "/RECEIVERS"}) {
            const auto names = disk.Names(Project + folder);
            std::set<std::string> lowered;
            for (const auto& n : names) lowered.insert(Lowered(n));
            EXPECT_EQ(lowered.size(), names.size()) << "two spellings of one name in " << folder;
            for (const auto& n : names) {
                const bool capitals = n == Lowered(n) ? false : std::none_of(n.begin(), n.end(), ::islower);
                EXPECT_EQ(capitals, keepsSpelling) << n;
            }
        }
        EXPECT_EQ(disk.Names(Project + "/RECEIVERS").size(), 3u);

        // The suite's view of the folder is the folder's: the next save is
        // not taken for a change made by another tool.
        ASSERT_EQ(test::RenameProfileAndSave(*suite, "north", "east", &report), 0) << report.written.error().message;

        ShareDesk next(disk, "bob", "desk-2");
        auto later = next.Open();
        EXPECT_EQ(FindReceiversByName(*later, "gamma").size(), 1u);
        EXPECT_TRUE(FindReceiversByName(*later, "alpha").empty());
        const auto east = FindProfilesByName(*later, "east");
        ASSERT_EQ(east.size(), 1u);
        EXPECT_EQ(later->ProfileTable.at(static_cast<std::size_t>(east.front())).ReceiverList1(),
                  std::string("gamma\0beta\0", 11));
    }
}

// A FAT stick: no modes, no owners, no links, and a rename that will not
// replace a file. Saves work, say once each that modes cannot be kept, and
// keep whole backups (copied, not linked) that restore byte for byte.
TEST(ShareSaveTest, ADiskWithoutModesOrLinksSaves)
{
    ShareDisk disk(ShareTraits{.links = false, .linkErrno = EOPNOTSUPP, .modes = false, .renameReplaces = false});
    test::LayOutShareProject(disk);
    const Files receiversBefore = disk.Snapshot(Project + "/Receivers");
    ShareDesk desk(disk);
    auto suite = desk.Open();
    desk.told.lines.clear();

    SaveReport report;
    ASSERT_EQ(test::RenameReceiverAndSave(*suite, "alpha", "gamma", &report), 0) << report.written.error().message;
    EXPECT_EQ(CountTold(desk, "keeps no permission bits"), 1);
    desk.clock.now += 5;
    ASSERT_EQ(test::RenameReceiverAndSave(*suite, "beta", "delta", &report), 0) << report.written.error().message;
    EXPECT_EQ(CountTold(desk, "keeps no permission bits"), 2) << "once for each save";
    EXPECT_EQ(disk.Snapshot(Project), SetAfter({{"alpha", "gamma"}, {"beta", "delta"}}));

    auto backups = ListBackups(desk.mount, Project, suite->Context.kinds);
    ASSERT_TRUE(backups) << backups.error().message;
    ASSERT_EQ(backups->size(), 4u);
    const auto first = std::find_if(backups->begin(), backups->end(),
                                    [](const BackupInfo& b) { return b.kind == "Receivers"; });
    ASSERT_NE(first, backups->end());
    const SaveReport restored = suite->Restore("Receivers", first->name);
    ASSERT_TRUE(restored.ok()) << restored.written.error().message;
    EXPECT_EQ(disk.Snapshot(Project + "/Receivers"), receiversBefore);

    // The history is replaced whole at every save, also where no file may be
    // renamed over another: every line is there, once.
    auto history = ReadHistory(desk.mount, Project, {});
    ASSERT_TRUE(history) << history.error().message;
    std::vector<std::string> lines;
    for (const HistoryEntry& e : *history) lines.push_back(e.kind + " " + e.oldName + ">" + e.newName);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "receivers alpha>gamma");
    EXPECT_EQ(lines[1], "receivers beta>delta");
    EXPECT_EQ(lines[2], "restore-receivers >" + first->name);
    EXPECT_EQ(CountTold(desk, "history"), 0);
}

// Another desk holds a profile open while a receiver is renamed, and the
// share refuses to rename over it. Where it also refuses to remove it, the
// save is undone there and then (by copies, the share has no links): both
// kinds whole and old, exit 3, nothing left for a later start. Where the
// file may be removed, the save completes. Also with names in Windows case.
TEST(ShareSaveTest, AFileHeldOpenByAnotherDesk)
{
    const Files renamed = LoweredNames(SetAfter({{"alpha", "gamma"}}));
    for (const bool windowsCase : {false, true}) {
        for (const int err : {EBUSY, EACCES, EEXIST}) {
            for (const bool refusesRemove : {true, false}) {
                SCOPED_TRACE(std::string(std::strerror(err)) + (refusesRemove ? ", no removal" : ", removal allowed") +
                             (windowsCase ? ", Windows case" : ""));
                ShareDisk disk(ShareTraits{.ignoresCase = windowsCase,
                                           .links = false,
                                           .heldErrno = err,
                                           .heldRefusesRemove = refusesRemove});
                test::LayOutShareProject(disk, windowsCase);
                const Files before = disk.Snapshot(Project);
                disk.HoldOpen(Project + (windowsCase ? "/PROFILES/PROFILE_0001.DAT" : "/Profiles/Profile_0001.dat"));
                ShareDesk desk(disk);
                auto suite = desk.Open();

                SaveReport report;
                const int status = test::RenameReceiverAndSave(*suite, "alpha", "gamma", &report);
                if (refusesRemove) {
                    EXPECT_EQ(status, 3) << report.written.error().message;
                    EXPECT_EQ(disk.Snapshot(Project), before);
                    EXPECT_NE(Lowered(report.written.error().message).find("profile_0001.dat"), std::string::npos)
                        << report.written.error().message;
                    EXPECT_TRUE(desk.server.commands.empty());
                    for (const auto& name : disk.Names(Project + "/.velnamechange"))
                        EXPECT_EQ(name.find(".commit"), std::string::npos) << name;
                } else {
                    EXPECT_EQ(status, 0) << report.written.error().message;
                    EXPECT_EQ(LoweredNames(disk.Snapshot(Project)), renamed);
                }
                disk.ReleaseAll();
                const Files after = disk.Snapshot(Project);
                ShareDesk next(disk, "bob", "desk-2");
                (void)next.Open();
                EXPECT_EQ(disk.Snapshot(Project), after) << "changed by the next start";
            }
        }
    }
}

// The same, while one more operation fails (the share drops a request):
// the undo goes on past it. Where the old set could be put back whole the
// save fails (3) with that set in place at once; where it could not, it says
// 5, and the next start, once the file is let go, puts the new set in place.
TEST(ShareSaveTest, AFileHeldOpenAndAnotherOperationFailing)
{
    const Files renamed = SetAfter({{"alpha", "gamma"}});
    int failed = 0, unfinished = 0;
    for (long k = 1;; ++k) {
        ASSERT_LT(k, 1000);
        SCOPED_TRACE("operation " + std::to_string(k) + " fails");
        ShareDisk disk(ShareTraits{.links = false, .heldErrno = EACCES});
        test::LayOutShareProject(disk);
        const Files before = disk.Snapshot(Project);
        disk.HoldOpen(Project + "/Profiles/Profile_0002.dat");
        ShareDesk desk(disk);
        FaultInjectingFileSystem failing(desk.mount);
        auto suite = desk.Open(&failing);
        failing.Reset();
        failing.FailAt(k, false);
        SaveReport report;
        const int status = test::RenameReceiverAndSave(*suite, "alpha", "gamma", &report);
        if (status == 3) {
            EXPECT_EQ(disk.Snapshot(Project), before) << report.written.error().message;
            ++failed;
        } else {
            ASSERT_EQ(status, 5) << report.written.error().message;
            ++unfinished;
        }
        disk.ReleaseAll();
        ShareDesk next(disk, "alice", "desk-1", 200);
        (void)next.Open();
        EXPECT_EQ(disk.Snapshot(Project), status == 3 ? before : renamed);
        if (failing.operations() < k) break;
    }
    EXPECT_GT(failed, 40);
    EXPECT_GT(unfinished, 0);
}

// Two desks rename receivers through their own mounts at once: desk B's
// whole run (start, rename, save) falls between any two file operations of
// desk A's save. Their flocks never meet; the lock the share decides keeps
// them apart. The folders only ever hold A's set, B's or B's on top of A's,
// never a mix; a save that says it succeeded has its rename on disk; one
// that waits for the other is refused naming who holds the lock.
TEST(ShareSaveTest, TwoDesksSavingAtOnceNeverMix)
{
    const Files a = SetAfter({{"alpha", "gamma"}});
    const Files b = SetAfter({{"beta", "delta"}});
    const Files ab = SetAfter({{"alpha", "gamma"}, {"beta", "delta"}});
    int refusedB = 0, bothSaved = 0, refusedA = 0;
    long k = 1;
    for (;; ++k) {
        ASSERT_LT(k, 2000);
        ShareDisk disk(ShareTraits{.ignoresCase = true, .links = false});
        test::LayOutShareProject(disk);
        ShareDesk deskA(disk, "alice", "desk-1");
        ShareDesk deskB(disk, "bob", "desk-2");
        FaultInjectingFileSystem counted(deskA.mount);
        auto suiteA = deskA.Open(&counted);
        counted.Reset();
        int statusB = -1;
        counted.OnOperation([&](long n, const std::string&) {
            if (n != k) return;
            auto suiteB = deskB.Open();
            SaveReport report;
            statusB = test::RenameReceiverAndSave(*suiteB, "beta", "delta", &report);
            const Files now = disk.Snapshot(Project);
            if (statusB == 0) {
                EXPECT_TRUE(now == b || now == ab) << "desk B said saved, at A's operation " << k;
            } else if (statusB != 1) { // 1: B started amid A's placing and saw no single "beta"
                EXPECT_EQ(statusB, 3) << report.written.error().message;
                if (report.written.error().code == ErrorCode::Busy) {
                    const std::string holder = DescribeLockOwner({deskA.desks.self, deskA.clock.now});
                    EXPECT_NE(report.written.error().message.find(holder), std::string::npos)
                        << report.written.error().message;
                }
            }
        });
        SaveReport reportA;
        const int statusA = test::RenameReceiverAndSave(*suiteA, "alpha", "gamma", &reportA);
        const Files final = disk.Snapshot(Project);
        SCOPED_TRACE("desk B ran at desk A's operation " + std::to_string(k));
        EXPECT_TRUE(final == a || final == b || final == ab) << "the sets were mixed";
        if (statusA == 0) {
            EXPECT_TRUE(final == a || final == ab);
        } else {
            EXPECT_EQ(statusA, 3) << reportA.written.error().message;
            EXPECT_EQ(final, b);
            ++refusedA;
        }
        if (statusB == 0 && statusA == 0) {
            EXPECT_EQ(final, ab);
            ++bothSaved;
        }
        if (statusB != 0) {
            EXPECT_EQ(final, a) << "desk B failed, yet its rename is on disk";
        }
        refusedB += statusB == 3;
        if (statusB == -1) break; // desk A's save ended before operation k
    }
    EXPECT_GT(k, 30);
    EXPECT_GT(refusedB, 0);
    EXPECT_GT(refusedA, 0);
    EXPECT_GT(bothSaved, 0) << "desk B never saved after desk A's lock went";
}

// Desk A's program dies at any operation of its save (its share stops
// answering it), leaving its lock. Desk B is refused, naming A, until that
// lock is older than the limit; then B takes it over, finishes or throws
// away A's save as A's status said, and saves its own rename on top.
TEST(ShareSaveTest, ADeskThatDiesLeavesItsLockUntilItIsStale)
{
    const Files a = SetAfter({{"alpha", "gamma"}});
    const Files b = SetAfter({{"beta", "delta"}});
    const Files ab = SetAfter({{"alpha", "gamma"}, {"beta", "delta"}});
    int refused = 0;
    for (long k = 1;; ++k) {
        ASSERT_LT(k, 1000);
        SCOPED_TRACE("desk A died at operation " + std::to_string(k));
        ShareDisk disk(ShareTraits{.ignoresCase = true, .links = false});
        test::LayOutShareProject(disk);
        ShareDesk deskA(disk, "alice", "desk-1");
        FaultInjectingFileSystem dying(deskA.mount);
        auto suiteA = deskA.Open(&dying);
        dying.Reset();
        dying.FailAt(k, true);
        SaveReport reportA;
        const int statusA = test::RenameReceiverAndSave(*suiteA, "alpha", "gamma", &reportA);
        const bool died = dying.operations() >= k;
        suiteA.reset();
        ASSERT_TRUE(statusA == 0 || statusA == 3 || statusA == 5) << statusA;

        ShareDesk deskB(disk, "bob", "desk-2");
        SaveReport report;
        bool heldByA = false;
        {
            auto suiteB = deskB.Open();
            const int statusB = test::RenameReceiverAndSave(*suiteB, "beta", "delta", &report);
            // Refused, or (1) the rename found no single "beta" in a set A
            // left half in place, which nobody may touch while A's lock holds.
            heldByA = statusB == 1 || (statusB == 3 && report.written.error().code == ErrorCode::Busy);
            if (statusB == 3) {
                EXPECT_NE(report.written.error().message.find(DescribeLockOwner({deskA.desks.self, deskA.clock.now})),
                          std::string::npos)
                    << report.written.error().message;
                ++refused;
            } else if (!heldByA) {
                EXPECT_EQ(statusB, 0) << report.written.error().message;
            }
        }
        if (heldByA) {
            deskB.clock.now += (DefaultStaleLockMinutes + 1) * 60;
            auto suiteB = deskB.Open();
            ASSERT_EQ(test::RenameReceiverAndSave(*suiteB, "beta", "delta", &report), 0)
                << report.written.error().message;
        }
        if (statusA == 3 && reportA.written.error().message.find("may still finish") != std::string::npos) {
            // A's marker took its name before its share stopped answering.
            EXPECT_TRUE(disk.Snapshot(Project) == b || disk.Snapshot(Project) == ab);
        } else {
            EXPECT_EQ(disk.Snapshot(Project), statusA == 3 ? b : ab) << "desk A said " << statusA;
        }
        EXPECT_TRUE(disk.Snapshot(Project) != a);
        if (!died) break;
    }
    EXPECT_GT(refused, 20);
}

} // namespace
} // namespace vel
