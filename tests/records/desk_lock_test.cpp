// The lock every desk of a share sees: who may take it, when a lock that a
// program left behind is taken over, and that a lock taken over is noticed.

#include "records/desk_lock.h"

#include "tests/support/fault_injecting_file_system.h"
#include "tests/support/share_file_system.h"
#include "tests/support/test_util.h"

#include <gtest/gtest.h>

#include <limits>

#include <filesystem>

namespace vel {
namespace {

namespace fsys = std::filesystem;

class DeskLockTest : public ::testing::Test {
protected:
    DeskLockTest() : work(std::move(*OpenFolder(RealFileSystem(), dir.path()))) {}

    Result<DeskLock> Take(test::TestDesks& desk, std::int64_t waitMilliseconds = 0, std::int64_t staleMinutes = 30)
    {
        LockPolicy policy;
        policy.clock = &clock;
        policy.desks = &desk;
        policy.waitMilliseconds = waitMilliseconds;
        policy.staleMinutes = staleMinutes;
        policy.tell = told.sink();
        return DeskLock::Take(RealFileSystem(), work, "Receivers", "receivers", policy, {}, {});
    }
    // A lock as another program left it.
    void Leave(const LockOwner& owner)
    {
        test::MakeDirs(dir / "Receivers.held");
        test::WriteBytes(dir / "Receivers.held/owner", EncodeLockOwner(owner));
    }
    std::vector<std::string> Entries() const { return test::Names(dir.path()); }

    test::TempDir dir;
    Folder work;
    test::TestClock clock;
    test::LogRecorder told;
    test::TestDesks alice{"alice", "desk-1", 100};
    test::TestDesks bob{"bob", "desk-2", 200};
};

TEST_F(DeskLockTest, OneDeskAtATimeAndTheRefusalNamesWhoSinceWhen)
{
    auto first = Take(alice);
    ASSERT_TRUE(first.ok()) << first.error().message;
    EXPECT_EQ(Entries(), std::vector<std::string>{"Receivers.held"});

    auto second = Take(bob);
    ASSERT_FALSE(second.ok());
    EXPECT_EQ(second.error().code, ErrorCode::Busy);
    const std::string& why = second.error().message;
    EXPECT_NE(why.find("alice on desk-1 (process 100) since " + ReadableLocalTime(clock.now)), std::string::npos)
        << why;
    EXPECT_NE(why.find("unlock receivers"), std::string::npos) << why;
    EXPECT_TRUE(first->StillHeld().ok());

    ASSERT_TRUE(first->Release().ok());
    EXPECT_TRUE(Entries().empty()) << "released without a trace";
    EXPECT_TRUE(Take(bob).ok());
}

TEST_F(DeskLockTest, ALockLeftBehindIsTakenOverOnlyByTheStatedRules)
{
    struct Case {
        const char* what;
        std::string host;
        long process;
        bool running;
        std::int64_t age; // seconds
        bool takenOver;
    };
    const Case cases[] = {
        {"this machine, its process gone", "desk-2", 4711, false, 5, true},
        {"this machine, its process still running", "desk-2", 4711, true, 5, false},
        {"this machine, running, older than the limit", "desk-2", 4711, true, 31 * 60, true},
        {"another machine, younger than the limit", "desk-9", 4711, false, 29 * 60, false},
        {"another machine, older than the limit", "desk-9", 4711, false, 31 * 60, true},
        {"this very process, left by an earlier save", "desk-2", 200, true, 5, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fsys::remove_all(dir / "Receivers.held");
        told.lines.clear();
        Leave({{"carol", c.host, c.process}, clock.now - c.age});
        bob.running.clear();
        if (c.running) bob.running.insert(c.process);
        auto lock = Take(bob);
        EXPECT_EQ(lock.ok(), c.takenOver) << (lock ? "" : lock.error().message);
        if (!lock.ok()) {
            EXPECT_EQ(lock.error().code, ErrorCode::Busy);
            EXPECT_TRUE(told.lines.empty());
            continue;
        }
        ASSERT_EQ(told.lines.size(), 1u);
        EXPECT_NE(told.lines[0].find("carol on " + c.host), std::string::npos) << told.lines[0];
        EXPECT_EQ(Entries(), std::vector<std::string>{"Receivers.held"}) << "the stale lock is gone, not kept aside";
        auto owner = ReadDeskLock(RealFileSystem(), work, "Receivers");
        ASSERT_TRUE(owner.ok() && owner->has_value());
        EXPECT_EQ((*owner)->desk.user, "bob");
        ASSERT_TRUE(lock->Release().ok());
    }
}

// A lock released but not removed (the share answered late) is no lock:
// the next desk to take the lock clears it away.
TEST_F(DeskLockTest, ALockReleasedButNotRemovedIsClearedByTheNextTake)
{
    test::MakeDirs(dir / "Receivers.held.released-desk-1-100-5-1");
    test::WriteBytes(dir / "Receivers.held.released-desk-1-100-5-1/owner",
                     EncodeLockOwner({{"alice", "desk-1", 100}, clock.now}));
    test::MakeDirs(dir / "Profiles.held.released-desk-1-100-5-2");
    auto lock = Take(bob);
    ASSERT_TRUE(lock.ok()) << lock.error().message;
    EXPECT_EQ(Entries(), (std::vector<std::string>{"Profiles.held.released-desk-1-100-5-2", "Receivers.held"}))
        << "only the kind's own are cleared, by whoever holds its lock";
    ASSERT_TRUE(lock->Release().ok());
    EXPECT_EQ(Entries(), (std::vector<std::string>{"Profiles.held.released-desk-1-100-5-2"}));
}

// The stale limit comes from the configuration: any number of minutes,
// however large, means at most "never", and overflows nothing.
TEST_F(DeskLockTest, AHugeStaleLimitNeverTakesOverAnotherMachinesLock)
{
    Leave({{"carol", "desk-9", 4711}, clock.now - 10LL * 365 * 24 * 3600});
    for (const std::int64_t minutes : {std::int64_t{60} * 24 * 365 * 20, std::numeric_limits<std::int64_t>::max()}) {
        auto lock = Take(bob, 0, minutes);
        ASSERT_FALSE(lock.ok()) << minutes;
        EXPECT_EQ(lock.error().code, ErrorCode::Busy);
    }
    auto lock = Take(bob, 0, 60LL * 24 * 365 * 9);
    EXPECT_TRUE(lock.ok()) << "older than nine years";
}

// A lock a program of this machine left, met where it cannot be taken over
// (a read-only mount): the refusal says why, rather than naming a save that
// no longer runs.
TEST_F(DeskLockTest, ALeftLockThatCannotBeTakenOverSaysWhy)
{
    class ReadOnly : public FaultInjectingFileSystem {
    public:
        using FaultInjectingFileSystem::FaultInjectingFileSystem;
        Status RenameAt(FolderHandle, const std::string& from, FolderHandle, const std::string&) override
        {
            return MakeError(ErrorCode::Io, "cannot rename '" + from + "': Read-only file system");
        }
    };
    Leave({{"carol", "desk-2", 4711}, clock.now - 5}); // this machine, its process gone
    ReadOnly share(RealFileSystem());
    LockPolicy policy;
    policy.clock = &clock;
    policy.desks = &bob;
    auto lock = DeskLock::Take(share, work, "Receivers", "receivers", policy, {}, {});
    ASSERT_FALSE(lock.ok());
    EXPECT_EQ(lock.error().code, ErrorCode::Io);
    EXPECT_NE(lock.error().message.find("carol on desk-2 (process 4711)"), std::string::npos) << lock.error().message;
    EXPECT_NE(lock.error().message.find(
                  "could not be taken over (cannot rename 'Receivers.held': Read-only file system)"),
              std::string::npos)
        << lock.error().message;
    EXPECT_EQ(Entries(), std::vector<std::string>{"Receivers.held"});
}

// A desk that died between making the lock's folder and writing its owner
// file leaves a folder without one; it blocks for a short grace time only,
// also a start that does not wait, and a damaged owner file counts the same.
TEST_F(DeskLockTest, ALockWithoutItsOwnerIsTakenOverAfterItsGraceTime)
{
    for (const bool damaged : {false, true}) {
        SCOPED_TRACE(damaged ? "a damaged owner file" : "no owner file");
        fsys::remove_all(dir / "Receivers.held");
        test::MakeDirs(dir / "Receivers.held");
        if (damaged) test::WriteBytes(dir / "Receivers.held/owner", test::Bytes({'x', '\n'}));
        auto lock = Take(alice, 0);
        ASSERT_TRUE(lock.ok()) << lock.error().message;
        auto owner = ReadDeskLock(RealFileSystem(), work, "Receivers");
        ASSERT_TRUE(owner.ok() && owner->has_value());
        EXPECT_EQ((*owner)->desk.host, "desk-1");
    }
}

// Two desks judged one lock stale at once, or a stalled desk came back: the
// one whose lock was taken over finds out before its commit point, and its
// release leaves the other desk's lock alone.
TEST_F(DeskLockTest, ALockTakenOverIsNoticedAndNotRemovedByItsFormerHolder)
{
    auto stalled = Take(alice);
    ASSERT_TRUE(stalled.ok());
    clock.now += 31 * 60;
    auto fresh = Take(bob);
    ASSERT_TRUE(fresh.ok()) << fresh.error().message;

    const Status still = stalled->StillHeld();
    ASSERT_FALSE(still.ok());
    EXPECT_EQ(still.error().code, ErrorCode::Busy);
    EXPECT_NE(still.error().message.find("bob on desk-2"), std::string::npos) << still.error().message;
    EXPECT_TRUE(stalled->Release().ok());
    EXPECT_TRUE(fresh->StillHeld().ok()) << "the former holder removed the new lock";
}

TEST_F(DeskLockTest, TheOperatorRemovesALockAfterSeeingWhoseItWas)
{
    EXPECT_EQ(BreakDeskLock(RealFileSystem(), work, "Receivers", "receivers", bob).error().code, ErrorCode::NotFound);

    Leave({{"carol", "desk-2", 4711}, clock.now});
    bob.running.insert(4711);
    auto refused = BreakDeskLock(RealFileSystem(), work, "Receivers", "receivers", bob);
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().code, ErrorCode::Busy);
    EXPECT_TRUE(test::Exists(dir / "Receivers.held/owner"));

    // Another machine's lock: the operator knows better than any rule.
    fsys::remove_all(dir / "Receivers.held");
    Leave({{"carol", "desk-9", 4711}, clock.now});
    auto removed = BreakDeskLock(RealFileSystem(), work, "Receivers", "receivers", bob);
    ASSERT_TRUE(removed.ok()) << removed.error().message;
    EXPECT_EQ(removed->desk.user, "carol");
    EXPECT_EQ(removed->desk.host, "desk-9");
    EXPECT_EQ(removed->since, clock.now);
    EXPECT_TRUE(Entries().empty());
}

// A share client that goes on reporting a lock folder another desk has
// removed: the make says it exists, a look at the name finds a folder, and
// opening it finds nothing.
class StaleShareClient : public FaultInjectingFileSystem {
public:
    using FaultInjectingFileSystem::FaultInjectingFileSystem;
    Status MakeFolderAt(FolderHandle, const std::string& name, const FileAttributes&) override
    {
        if (++makes > 1000) return MakeError(ErrorCode::Io, "the lock was made again and again without a pause");
        return MakeError(ErrorCode::Exists, "cannot make folder '" + name + "': File exists");
    }
    Result<FileInfo> StatAt(FolderHandle, const std::string&) override
    {
        FileInfo info;
        info.type = FileType::Folder;
        info.modified = 1796650000;
        return info;
    }
    Result<FolderHandle> OpenFolderAt(FolderHandle, const std::string& name, bool, const FileAttributes&) override
    {
        return MakeError(ErrorCode::NotFound, "cannot open folder '" + name + "': No such file or directory");
    }
    int makes = 0;
};

TEST_F(DeskLockTest, ALockFolderThatAShareClientStillShowsIsWaitedForNotSpunOn)
{
    StaleShareClient share(RealFileSystem());
    LockPolicy policy;
    policy.clock = &clock;
    policy.desks = &alice;
    auto lock = DeskLock::Take(share, work, "Receivers", "receivers", policy, {}, {});
    ASSERT_FALSE(lock.ok());
    EXPECT_EQ(lock.error().code, ErrorCode::Busy) << lock.error().message;
    EXPECT_NE(lock.error().message.find("unlock receivers"), std::string::npos) << lock.error().message;
}

TEST(LockOwnerFile, RoundTripsAndRefusesWhatIsNoOwner)
{
    const LockOwner owner{{"o'neil\nx", "desk 3", 99}, 1796650000};
    auto back = DecodeLockOwner(EncodeLockOwner(owner));
    ASSERT_TRUE(back.ok()) << back.error().message;
    EXPECT_EQ(back->desk.user, "o'neil x") << "a line end would end the field";
    EXPECT_EQ(back->desk.host, "desk 3");
    EXPECT_EQ(back->desk.process, 99);
    EXPECT_EQ(back->since, owner.since);
    const std::string noProcess = "VelNameChange lock 1\nuser a\nhost b\nsince 5\n";
    EXPECT_FALSE(DecodeLockOwner(ByteBuffer(noProcess.begin(), noProcess.end())).ok());
    EXPECT_FALSE(DecodeLockOwner(test::Bytes({})).ok());
}

// A lock whose name outlived a power cut (the save flushed the work folder
// before its commit point) still says whose it is, so that the next start
// takes over one of a program gone at once instead of guessing about a lock
// without an owner.
TEST_F(DeskLockTest, ALockThatOutlivesAPowerCutSaysWhoseItIs)
{
    test::ShareDisk disk;
    disk.Write("/project/.velnamechange/history.tsv", {});
    LockOwner owner;
    {
        test::ShareClient mount(disk);
        auto shared = OpenFolder(mount, "/project/.velnamechange");
        ASSERT_TRUE(shared.ok());
        LockPolicy policy;
        policy.clock = &clock;
        policy.desks = &alice;
        auto lock = DeskLock::Take(mount, *shared, "Receivers", "receivers", policy, {}, {});
        ASSERT_TRUE(lock.ok()) << lock.error().message;
        ASSERT_TRUE(mount.SyncFolder(shared->handle()).ok());
        owner = {alice.self, clock.now};
    }
    disk.PowerCut();
    test::ShareClient mount(disk);
    auto shared = OpenFolder(mount, "/project/.velnamechange");
    ASSERT_TRUE(shared.ok());
    auto found = ReadDeskLock(mount, *shared, "Receivers");
    ASSERT_TRUE(found.ok()) << found.error().message;
    ASSERT_TRUE(found->has_value());
    EXPECT_EQ(**found, owner) << DescribeLockOwner(**found);
}

} // namespace
} // namespace vel
