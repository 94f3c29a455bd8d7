// Power cuts at every file operation of the commands that save: from the
// cut on every operation fails (reads too), then the disk keeps only what
// was made durable, and the program starts again. Each kind must hold its
// whole old or whole new set, byte for byte, and the status the cut program
// gave must have told the truth: 0 and 5 mean the new set, 3 the old one.

#include "project/rename_commands.h"
#include "project/suite.h"
#include "records/commit_marker.h"
#include "records/save_transaction.h"
#include "tests/support/fault_injecting_file_system.h"
#include "tests/support/test_project.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>

namespace vel {
namespace {

using test::ShareDesk;
using test::ShareDisk;
using test::ShareProject;
using Files = std::map<std::string, ByteBuffer>;

const std::string Project = ShareProject;
const std::string Work = Project + "/.velnamechange";

struct Scenario {
    // Lays out the disk the command starts from (earlier commands may run).
    std::function<void(ShareDisk&)> prepare;
    // The command on the loaded suite (not loaded with startOnly), through
    // the mount that fails; its exit status, and what it said of a failure.
    std::function<int(Suite&, std::string& said)> command;
    bool startOnly = false;
    test::ShareTraits traits = {};
    bool windowsCase = false; // the project's names in capitals
};

// How the disk fails from operation k on.
enum class Failure {
    PowerCut,  // nothing answers; then the power goes and comes back
    Stops,     // nothing answers (a share that drops), and what it was told stays
    Once,      // operation k fails, the ones after it work
    LostReply, // rename k is made, but its answer is lost: it reports a failure
};

// A disk whose k-th rename is made but answered with a failure, as a share
// whose reply is lost on the way does.
class LostReplyFileSystem : public FaultInjectingFileSystem {
public:
    LostReplyFileSystem(FileSystem& inner, long k) : FaultInjectingFileSystem(inner), m_k(k) {}
    Status RenameAt(FolderHandle fromDir, const std::string& from, FolderHandle toDir, const std::string& to) override
    {
        Status made = FaultInjectingFileSystem::RenameAt(fromDir, from, toDir, to);
        if (made && ++m_renames == m_k) return MakeError(ErrorCode::Io, "the share's answer was lost");
        return made;
    }
    bool Reached() const { return m_renames >= m_k; }

private:
    long m_k;
    long m_renames = 0;
};

// The files of the kind folders; on a disk that ignores case, by their
// names in small letters (either spelling is that file).
Files Seen(const ShareDisk& disk)
{
    Files files = disk.Snapshot(Project);
    if (!disk.traits.ignoresCase) return files;
    Files lowered;
    for (auto& [name, data] : files) {
        std::string low = name;
        for (char& c : low) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        lowered[low] = std::move(data);
    }
    return lowered;
}

bool MarkerOnDisk(const ShareDisk& disk)
{
    for (const auto& name : disk.Names(Work))
        if (IsMarkerName(name)) return true;
    return false;
}

// The project's kind folders once the scenario's command ran uncut.
Files Uncut(const Scenario& s)
{
    ShareDisk disk(s.traits);
    s.prepare(disk);
    ShareDesk desk(disk);
    auto suite = desk.Open(nullptr, !s.startOnly);
    std::string said;
    const int status = s.command(*suite, said);
    EXPECT_TRUE(status == 0 || (s.startOnly && status == 5)) << status;
    return Seen(disk);
}

// Every backup offered holds a whole set the kind had: its files as they
// were in one of `sets`, byte for byte.
void ExpectWholeBackups(ShareDisk& disk, const std::vector<Files>& sets)
{
    test::ShareClient mount(disk);
    auto backups = ListBackups(mount, Project, {ProfileKind(), ReceiverKind()});
    ASSERT_TRUE(backups.ok()) << backups.error().message;
    for (const BackupInfo& b : *backups) {
        Files kept;
        for (auto& [name, data] : disk.Snapshot(Work + "/backup/" + b.name)) kept[b.kind + "/" + name] = data;
        if (disk.traits.ignoresCase) {
            Files lowered;
            for (auto& [name, data] : kept) {
                std::string low = name;
                for (char& c : low) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                lowered[low] = data;
            }
            kept = lowered;
        }
        std::string prefix = b.kind + "/";
        if (disk.traits.ignoresCase)
            for (char& c : prefix) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const bool whole = std::any_of(sets.begin(), sets.end(), [&](const Files& set) {
            Files ofKind;
            for (const auto& [name, data] : set)
                if (name.rfind(prefix, 0) == 0) ofKind[name] = data;
            return ofKind == kept;
        });
        EXPECT_TRUE(whole) << "the backup " << b.name << " is not a whole set";
    }
}

// Fails the disk at operation k = 1, 2, ... of the command until it runs to
// its end, then starts the program again. Returns the number of runs.
long FailAtEveryOperation(const Scenario& s, const Files& before, const Files& after, Failure failure)
{
    const bool cut = failure == Failure::PowerCut;
    bool sawOld = false, sawNew = false;
    for (long k = 1;; ++k) {
        if (k > 3000) {
            ADD_FAILURE() << "the command never ran to its end";
            return k;
        }
        SCOPED_TRACE("the disk failed from operation " + std::to_string(k));
        ShareDisk disk(s.traits);
        s.prepare(disk);
        ShareDisk original(s.traits);
        test::LayOutShareProject(original, s.windowsCase);
        int status = 0;
        bool reached = false;
        std::string said;
        {
            ShareDesk desk(disk);
            LostReplyFileSystem failing(desk.mount, failure == Failure::LostReply ? k : 0);
            failing.CountReads(true);
            auto suite = desk.Open(&failing, !s.startOnly);
            failing.Reset();
            if (failure != Failure::LostReply) failing.FailAt(k, failure != Failure::Once);
            status = s.command(*suite, said);
            reached = failure == Failure::LostReply ? failing.Reached() : failing.operations() >= k;
        }
        if (status == 3 && !s.startOnly) {
            EXPECT_EQ(Seen(disk), before) << "3, and the old set is not whole: " << said;
        }
        if (cut) disk.PowerCut();
        const bool marker = MarkerOnDisk(disk);
        if (status == 5 && !s.startOnly) {
            EXPECT_TRUE(marker) << "5 without a commit marker on disk";
        }
        if (marker && reached && cut) {
            EXPECT_NE(status, 3) << "3 with a durable commit marker";
        }

        ShareDesk next(disk, "alice", "desk-1", 200);
        auto again = next.Open();
        const Files now = Seen(disk);
        EXPECT_TRUE(now == before || now == after) << "a mixed set, status " << status;
        if (status == 3 && now == after && failure == Failure::Stops) {
            // The marker took its name, and then the disk stopped answering:
            // neither flushed nor removed, it may or may not outlive a power
            // cut. The save fails, and says that a later start may finish it.
            EXPECT_NE(said.find("a later start may still finish this save"), std::string::npos) << said;
        } else if (status == 3) {
            EXPECT_EQ(now, before) << "3, but the new set is there";
        } else {
            EXPECT_TRUE(status == 0 || status == 4 || status == 5) << status;
            EXPECT_EQ(now, after) << status << ", but the old set is there";
        }
        EXPECT_FALSE(MarkerOnDisk(disk)) << "the next start left the marker";
        ExpectWholeBackups(disk, {before, Seen(original)});
        sawOld = sawOld || now == before;
        sawNew = sawNew || now == after;
        if (!reached) {
            EXPECT_TRUE(status == 0 || s.startOnly);
            EXPECT_TRUE(sawOld || s.startOnly);
            EXPECT_TRUE(sawNew);
            return k;
        }
    }
}

void RenameAlpha(ShareDisk& disk)
{
    test::LayOutShareProject(disk);
    ShareDesk desk(disk);
    auto suite = desk.Open();
    ASSERT_EQ(test::RenameReceiverAndSave(*suite, "alpha", "gamma"), 0);
}

// A rename of a receiver that fails on every operation after its commit
// marker was flushed: it says 5, and the next start is to finish it.
void InterruptAfterCommit(ShareDisk& disk)
{
    test::LayOutShareProject(disk);
    ShareDesk desk(disk);
    FaultInjectingFileSystem failing(desk.mount);
    auto suite = desk.Open(&failing);
    failing.Reset();
    failing.OnOperation([&failing](long n, const std::string& what) {
        if (what.rfind("rename .", 0) == 0 && what.find(".commit.new") != std::string::npos)
            failing.FailAt(n + 2, true);
    });
    ASSERT_EQ(test::RenameReceiverAndSave(*suite, "alpha", "gamma"), 5);
}

std::string FirstBackup(ShareDisk& disk, const std::string& kind)
{
    ShareDesk desk(disk);
    auto backups = ListBackups(desk.mount, Project, {ProfileKind(), ReceiverKind()});
    if (backups)
        for (const BackupInfo& b : *backups)
            if (b.kind == kind) return b.name;
    ADD_FAILURE() << "no backup of the " << kind;
    return {};
}

Scenario Rename(bool receiver)
{
    return {[](ShareDisk& disk) { test::LayOutShareProject(disk); },
            [receiver](Suite& suite, std::string& said) {
                SaveReport report;
                const int status = receiver ? test::RenameReceiverAndSave(suite, "alpha", "gamma", &report)
                                            : test::RenameProfileAndSave(suite, "north", "east", &report);
                said = report.written.error().message;
                return status;
            }};
}

const test::ShareTraits LocalDisk{};
// No links, no modes, no rename over a file.
const test::ShareTraits FatStick{.links = false, .modes = false, .renameReplaces = false};

Files Before(const Scenario& s)
{
    ShareDisk disk(s.traits);
    s.prepare(disk);
    return Seen(disk);
}

// rename-receiver changes both kinds in one transaction: the receivers and
// the profiles' lists. Power cuts, and single operations that fail.
TEST(PowerCutTest, RenameReceiverAndRenameProfile)
{
    for (const bool receiver : {true, false}) {
        SCOPED_TRACE(receiver ? "rename-receiver" : "rename-profile");
        const Scenario s = Rename(receiver);
        const Files before = Before(s);
        const Files after = Uncut(s);
        ASSERT_NE(before, after);
        EXPECT_GT(FailAtEveryOperation(s, before, after, Failure::PowerCut), 40);
        EXPECT_GT(FailAtEveryOperation(s, before, after, Failure::Once), 40);
    }
}

// A share may make a rename and lose its answer: the program takes it for a
// failure. Neither the staged file it moved nor the commit marker it named
// may be lost or left without what it describes.
TEST(PowerCutTest, RenamesWhoseAnswerIsLost)
{
    for (const bool receiver : {true, false}) {
        for (const test::ShareTraits& traits : {LocalDisk, FatStick}) {
            SCOPED_TRACE(std::string(receiver ? "rename-receiver" : "rename-profile") +
                         (traits.links ? " on a local disk" : " on a FAT stick"));
            Scenario s = Rename(receiver);
            s.traits = traits;
            const Files before = Before(s);
            const Files after = Uncut(s);
            EXPECT_GT(FailAtEveryOperation(s, before, after, Failure::LostReply), 5);
        }
    }
}

// The receivers' backup of an earlier rename put back: the receivers return
// to their first set, the profiles keep the lists the rename gave them.
TEST(PowerCutTest, Restore)
{
    for (const test::ShareTraits& traits : {LocalDisk, FatStick}) {
        SCOPED_TRACE(traits.links ? "a local disk" : "a FAT stick");
        ShareDisk first(traits);
        RenameAlpha(first);
        const std::string backup = FirstBackup(first, "Receivers");
        Scenario restore{RenameAlpha, [backup](Suite& suite, std::string& said) {
                             const SaveReport report = suite.Restore("Receivers", backup);
                             said = report.written.error().message;
                             return test::SaveExitStatus(report);
                         }};
        restore.traits = traits;
        const Files before = Before(restore);
        Files after = before;
        ShareDisk original;
        test::LayOutShareProject(original);
        for (const auto& [name, data] : original.Snapshot(Project))
            if (name.rfind("Receivers/", 0) == 0) after[name] = data;
        ASSERT_NE(before, after);
        EXPECT_EQ(Uncut(restore), after);
        EXPECT_GT(FailAtEveryOperation(restore, before, after, Failure::PowerCut), 20);
        EXPECT_GT(FailAtEveryOperation(restore, before, after, Failure::Once), 20);
    }
}

// The start that finishes a save interrupted past its commit point (which
// said 5): cut anywhere, the start after it still finishes the save.
TEST(PowerCutTest, TheStartThatFinishesAnInterruptedSave)
{
    for (const test::ShareTraits& traits : {LocalDisk, FatStick}) {
        SCOPED_TRACE(traits.links ? "a local disk" : "a FAT stick");
        const Scenario start{InterruptAfterCommit,
                             [](Suite& suite, std::string&) {
                                 (void)suite.LoadAll();
                                 return 5; // what the interrupted save said stands
                             },
                             true, traits};
        Files before;
        {
            ShareDisk disk;
            test::LayOutShareProject(disk);
            before = disk.Snapshot(Project);
        }
        const Files after = Uncut(Rename(true));
        EXPECT_EQ(Uncut(start), after);
        EXPECT_GT(FailAtEveryOperation(start, before, after, Failure::PowerCut), 10);
        EXPECT_GT(FailAtEveryOperation(start, before, after, Failure::Once), 10);
    }
}

// A share that drops: from some operation on it answers nothing (reads and
// stats included) but keeps what it was told. A failure before the commit
// point is 3, after it 5, and the next start makes that true.
TEST(PowerCutTest, ADiskThatStopsAnswering)
{
    const Scenario s = Rename(true);
    EXPECT_GT(FailAtEveryOperation(s, Before(s), Uncut(s), Failure::Stops), 40);
}

// A FAT stick or a share without Unix extensions, its files named in
// Windows case: no links (backups and undo copy), no modes, no rename over a
// file (a file is removed before its new content takes its name), names
// that ignore case (a rename onto a name in another case giving the new
// spelling, or keeping the stored one). Power cuts, a share that stops
// answering, and a single operation that fails, after which an undone save
// must have left the old set whole at once.
TEST(PowerCutTest, RenameReceiverOnAShareWithoutLinksInWindowsCase)
{
    Scenario s = Rename(true);
    s.traits = {.ignoresCase = true, .links = false, .modes = false, .renameReplaces = false};
    s.prepare = [](ShareDisk& disk) { test::LayOutShareProject(disk, true); };
    s.windowsCase = true;
    const Files before = Before(s);
    const Files after = Uncut(s);
    ASSERT_NE(before, after);
    EXPECT_GT(FailAtEveryOperation(s, before, after, Failure::PowerCut), 40);
    EXPECT_GT(FailAtEveryOperation(s, before, after, Failure::Once), 40);
    EXPECT_GT(FailAtEveryOperation(s, before, after, Failure::Stops), 40);
    s.traits.renameKeepsSpelling = true;
    EXPECT_GT(FailAtEveryOperation(s, before, after, Failure::PowerCut), 40);
}

} // namespace
} // namespace vel
