// The save transaction against the world around it: other tools, links in
// the work folder, damaged markers, other working folders, other users.

#include "records/save_transaction.h"

#include "project/rename_commands.h"
#include "project/suite.h"
#include "tests/support/fault_injecting_file_system.h"
#include "tests/support/test_util.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace vel {
namespace {

namespace fsys = std::filesystem;
using test::ReceiverFile;

constexpr unsigned Group = 4242; // the project's group; no name needed

class SaveTransactionTest : public ::testing::Test {
protected:
    SaveTransactionTest()
    {
        test::MakeDirs(folder());
        put("Receiver_0003.dat", ReceiverFile("beta"));
        put("Receiver_0007.dat", ReceiverFile("alpha"));
    }
    std::string project() const { return dir.path() + "/Project/"; }
    std::string folder() const { return project() + "Receivers"; }
    std::string work(const std::string& rel = "") const
    {
        return project() + ".velnamechange" + (rel.empty() ? "" : "/" + rel);
    }
    void put(const std::string& name, const ByteBuffer& data) { test::WriteBytes(folder() + "/" + name, data); }

    std::unique_ptr<Suite> Open(FileSystem* fs = &RealFileSystem())
    {
        auto suite = std::make_unique<Suite>(project(), fs, &server);
        suite->Context.log = {};
        suite->Context.notice = told.sink();
        report = suite->LoadAll();
        return suite;
    }
    // Renames receiver "alpha" to "gamma" and saves the receivers.
    SaveReport RenameAndSave(Suite& suite)
    {
        for (ReceiverEntry& e : suite.ReceiverTable.Entries())
            if (e.record.Name() == "alpha") e.record.Name() = "gamma";
        return suite.ReceiverTable.SaveAllReceivers(suite.Context);
    }
    bool ToldSomething(const std::string& part) const
    {
        for (const auto& line : told.lines)
            if (line.find(part) != std::string::npos) return true;
        return false;
    }

    test::TempDir dir;
    test::RecordingServer server;
    test::LogRecorder told;
    LoadReport report;
};

// Another tool changes a file after the program loaded it, just before the
// save takes its lock: the save looks only after locking, so it sees the
// change, refuses, and the other tool's edit stays.
TEST_F(SaveTransactionTest, ChangeMadeBetweenLoadAndLockIsRefused)
{
    FaultInjectingFileSystem watched(RealFileSystem());
    auto suite = Open(&watched);
    const ByteBuffer edit = ReceiverFile("beta, edited by another tool");
    watched.OnOperation([&](long, const std::string& what) {
        if (what.rfind("lock Receivers", 0) == 0) put("Receiver_0003.dat", edit);
    });
    const SaveReport r = RenameAndSave(*suite);
    EXPECT_FALSE(r.written);
    EXPECT_EQ(r.written.error().code, ErrorCode::Conflict) << r.written.error().message;
    EXPECT_NE(r.written.error().message.find("Receiver_0003.dat (changed)"), std::string::npos)
        << r.written.error().message;
    EXPECT_EQ(test::ReadBytes(folder() + "/Receiver_0003.dat"), edit);
    EXPECT_TRUE(server.commands.empty());

    // Two copies of the program: the second one's save is refused, not lost.
    auto first = Open();
    auto second = Open();
    ASSERT_TRUE(RenameAndSave(*first).ok());
    const SaveReport late = RenameAndSave(*second);
    EXPECT_EQ(late.written.error().code, ErrorCode::Conflict);
}

// A link anywhere in the work folder is never followed and never deleted
// through: loading leaves what it points to alone, and a save that would
// need it is refused.
TEST_F(SaveTransactionTest, LinksInTheWorkFolderAreNeverFollowed)
{
    const std::string outside = dir.path() + "/outside";
    struct Case {
        std::string path; // below the work folder ("" is the work folder itself)
        bool toFolder;
        bool saveRefused;
    };
    const Case cases[] = {
        {"", true, true},
        {"Receivers.staging", true, true},
        {"backup", true, true},
        {"Receivers.lock", false, true},
        {"Receivers.commit", false, false}, // moved aside as unusable; the save goes on
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("a link at '" + c.path + "'");
        fsys::remove_all(work());
        fsys::remove_all(outside);
        test::WriteBytes(outside + "/Receiver_0001.dat", ReceiverFile("precious"));
        test::WriteBytes(outside + "/precious.txt", test::Bytes({'k', 'e', 'e', 'p'}));
        const auto outsideBefore = test::Snapshot(outside, true);
        test::MakeDirs(work());
        const std::string at = c.path.empty() ? work() : work(c.path);
        if (c.path.empty()) fsys::remove(at);
        fsys::create_symlink(c.toFolder ? outside : outside + "/precious.txt", at);
        const auto kindBefore = test::Snapshot(folder());

        auto suite = Open();
        EXPECT_EQ(suite->ReceiverTable.size(), 2u);
        EXPECT_EQ(test::Snapshot(outside, true), outsideBefore) << "loading followed the link";
        const SaveReport r = RenameAndSave(*suite);
        EXPECT_EQ(test::Snapshot(outside, true), outsideBefore) << "saving followed the link";
        if (c.saveRefused) {
            EXPECT_FALSE(r.written);
            EXPECT_EQ(test::Snapshot(folder()), kindBefore);
            EXPECT_TRUE(server.commands.empty());
        } else {
            EXPECT_TRUE(r.ok()) << r.written.error().message;
        }
        EXPECT_TRUE(fsys::is_symlink(at) || !c.saveRefused) << "the link itself was removed";
        put("Receiver_0003.dat", ReceiverFile("beta"));
        put("Receiver_0007.dat", ReceiverFile("alpha"));
        for (const auto& name : test::Names(folder()))
            if (name != "Receiver_0003.dat" && name != "Receiver_0007.dat") fsys::remove(folder() + "/" + name);
        server.commands.clear();
    }
}

// A marker that cannot be used, or that names anything but the kind's own
// files in the project's own folders, is moved aside and reported; it
// touches nothing and blocks no later save.
TEST_F(SaveTransactionTest, UnusableMarkersAreMovedAsideAndReported)
{
    const std::string outside = dir.path() + "/outside";
    const std::string bodies[] = {
        "garbage",
        "VelNameChange commit 2\nkind Receivers\nfolder Receivers\nbackup Receivers-1\nold ../../outside/victim\nend\n",
        "VelNameChange commit 2\nkind Receivers\nfolder ../outside\nnew Receiver_0000.dat\nend\n",
        "VelNameChange commit 2\nkind Receivers\nfolder Receivers\nnew /etc/passwd\nend\n",
        "VelNameChange commit 2\nkind Profiles\nfolder Profiles\nend\n", // not the kind its name says
        "VelNameChange commit 2\nkind Receivers\nfolder Receivers\nnew Receiver_0000.dat\n", // no end
    };
    for (const std::string& body : bodies) {
        SCOPED_TRACE(body);
        fsys::remove_all(work());
        test::WriteBytes(outside + "/victim", test::Bytes({'v'}));
        test::WriteBytes(work("Receivers.commit"), ByteBuffer(body.begin(), body.end()));
        test::WriteBytes(work("Receivers.staging/Receiver_0000.dat"), ReceiverFile("staged"));
        const auto kindBefore = test::Snapshot(folder());
        told.lines.clear();

        auto suite = Open();
        EXPECT_EQ(test::Snapshot(folder()), kindBefore);
        EXPECT_TRUE(test::Exists(outside + "/victim"));
        EXPECT_TRUE(ToldSomething("cannot be used")) << (told.lines.empty() ? "" : told.lines.front());
        EXPECT_FALSE(test::Exists(work("Receivers.commit")));
        int aside = 0;
        for (const auto& name : test::Names(work())) aside += name.find(".damaged-") != std::string::npos;
        EXPECT_EQ(aside, 2) << "the marker and its staging folder are kept aside";
        EXPECT_TRUE(RenameAndSave(*suite).ok());
        put("Receiver_0003.dat", ReceiverFile("beta"));
        put("Receiver_0007.dat", ReceiverFile("alpha"));
        for (const auto& name : test::Names(folder()))
            if (name != "Receiver_0003.dat" && name != "Receiver_0007.dat") fsys::remove(folder() + "/" + name);
    }
}

// A save made with a relative project path and stopped after its commit
// point is finished in its own project, whatever the working folder of the
// next start; a project of the same relative name elsewhere is not touched.
TEST_F(SaveTransactionTest, RelativeProjectIsFinishedWhereItBelongs)
{
    test::TempDir other;
    test::WriteBytes(other / "Project/Receivers/Receiver_0001.dat", ReceiverFile("elsewhere"));
    const auto otherBefore = test::Snapshot(other.path(), true);
    const std::string here = fsys::current_path().string();

    fsys::current_path(dir.path());
    const int code = test::KillAfterOperation("rename .Receivers.commit", [&](FileSystem& fs) {
        Suite suite("Project", &fs, &server);
        suite.Context.log = {};
        suite.Context.notice = {};
        (void)suite.LoadAll();
        return RenameAndSave(suite).written.ok();
    });
    ASSERT_EQ(code, 9);
    EXPECT_TRUE(test::Exists(work("Receivers.commit")));

    // The next start, from the other project's folder: its own project is
    // left alone, and the interrupted save is finished in the project it
    // belongs to.
    fsys::current_path(other.path());
    Suite elsewhere("Project", &RealFileSystem(), &server);
    elsewhere.Context.notice = {};
    (void)elsewhere.LoadAll();
    auto suite = Open();
    fsys::current_path(here);
    EXPECT_EQ(test::Snapshot(other.path(), true), otherBefore);
    EXPECT_FALSE(test::Exists(work("Receivers.commit")));
    EXPECT_EQ(test::Names(folder()), (std::vector<std::string>{"Receiver_0000.dat", "Receiver_0001.dat"}));
    EXPECT_EQ(suite->ReceiverTable.at(1).Name(), "gamma");
}

// A save stopped at any operation after its commit point is finished at the
// next start, which tells the server; the command is posted before the marker
// goes, so a run that put the new set in place told the server at least once.
TEST_F(SaveTransactionTest, FinishedSavesAlwaysReachTheServer)
{
    const std::string log = dir.path() + "/commands.log";
    ::setenv("VELTRA2_COMMAND_LOG", log.c_str(), 1);
    const auto before = test::Snapshot(folder());
    bool sawFinish = false;
    for (long k = 1;; ++k) {
        ASSERT_LT(k, 200);
        fsys::remove_all(work());
        fsys::remove(log);
        for (const auto& name : test::Names(folder())) fsys::remove(folder() + "/" + name);
        for (const auto& [name, data] : before) put(name, data);

        const pid_t pid = ::fork();
        ASSERT_NE(pid, -1);
        if (pid == 0) {
            FaultInjectingFileSystem counting(RealFileSystem());
            counting.OnOperation([k](long n, const std::string&) {
                if (n == k) ::_exit(9);
            });
            Veltra2Library library(VEL_STANDIN_LIBRARY);
            Suite suite(project(), &RealFileSystem(), &library);
            suite.Context.log = {};
            suite.Context.notice = {};
            (void)suite.LoadAll();
            suite.Context.fs = &counting;
            ::_exit(RenameAndSave(suite).ok() ? 0 : 4);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        const int code = WEXITSTATUS(status);
        ASSERT_TRUE(code == 0 || code == 9) << "operation " << k;

        Veltra2Library library(VEL_STANDIN_LIBRARY);
        Suite next(project(), &RealFileSystem(), &library);
        next.Context.log = {};
        next.Context.notice = told.sink();
        told.lines.clear();
        (void)next.LoadAll();
        const bool newSet = test::Names(folder()) == std::vector<std::string>{"Receiver_0000.dat", "Receiver_0001.dat"};
        EXPECT_TRUE(newSet || test::Snapshot(folder()) == before) << "operation " << k;
        std::string posted;
        if (test::Exists(log)) {
            const ByteBuffer b = test::ReadBytes(log);
            posted.assign(b.begin(), b.end());
        }
        if (newSet) {
            EXPECT_NE(posted.find("RR\t0\n"), std::string::npos) << "operation " << k;
        } else {
            EXPECT_EQ(posted, "") << "operation " << k;
        }
        if (ToldSomething("was finished")) {
            sawFinish = true;
            EXPECT_TRUE(newSet);
            EXPECT_TRUE(ToldSomething("the new set of files is now on disk"));
            EXPECT_TRUE(ToldSomething("the server was told to reload them"));
        }
        if (code == 0) break;
    }
    ::unsetenv("VELTRA2_COMMAND_LOG");
    EXPECT_TRUE(sawFinish);
}

// Under a tight umask a replaced file keeps the bits and group of the file it
// replaces and a new file those of the folder's other files; the work folder
// takes the project's group and group bits.
// A share client that gives the size a file had before another desk
// replaced it (sshfs keeps a name's attributes for 20 seconds): the backup
// still lists every file at the size it holds, so that it can be restored.
TEST_F(SaveTransactionTest, ABackupListsTheSizesOfTheFilesItKeptNotThoseAShareClientRemembers)
{
    class RememberingClient : public FaultInjectingFileSystem {
    public:
        using FaultInjectingFileSystem::FaultInjectingFileSystem;
        Result<FileInfo> StatAt(FolderHandle dir, const std::string& name) override
        {
            auto info = FaultInjectingFileSystem::StatAt(dir, name);
            if (info && info->isRegular() && name == "Receiver_0003.dat") info->size += 7;
            return info;
        }
    };
    RememberingClient client(RealFileSystem());
    auto suite = Open(&client);
    const SaveReport saved = RenameAndSave(*suite);
    ASSERT_TRUE(saved.written) << saved.written.error().message;

    const SaveReport restored = suite->Restore("Receivers", fsys::path(saved.backupFolder).filename().string());
    EXPECT_TRUE(restored.written) << restored.written.error().message;
    EXPECT_EQ(test::ReadBytes(folder() + "/Receiver_0007.dat"), ReceiverFile("alpha"));
}

TEST_F(SaveTransactionTest, ModesAndGroupsAreKept)
{
    ASSERT_EQ(::chown(project().c_str(), 0, Group), 0);
    ::chmod(project().c_str(), 02770);
    ::chmod(folder().c_str(), 0770);
    put("Receiver_0000.dat", ReceiverFile("aaa"));
    for (const auto& name : test::Names(folder())) {
        const std::string path = folder() + "/" + name;
        ASSERT_EQ(::chown(path.c_str(), 0, Group), 0);
        ::chmod(path.c_str(), name == "Receiver_0000.dat" ? 0644 : 0640);
    }
    const mode_t old = ::umask(077);
    auto suite = Open();
    const SaveReport r = RenameAndSave(*suite);
    ::umask(old);
    ASSERT_TRUE(r.ok()) << r.written.error().message;

    auto mode = [](const std::string& path) {
        struct stat st {};
        EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
        return std::pair<unsigned, unsigned>(st.st_mode & 07777, st.st_gid);
    };
    EXPECT_EQ(mode(folder() + "/Receiver_0000.dat"), std::make_pair(0644u, Group));
    EXPECT_EQ(mode(folder() + "/Receiver_0001.dat"), std::make_pair(0640u, Group));
    EXPECT_EQ(mode(folder() + "/Receiver_0002.dat"), std::make_pair(0640u, Group));
    EXPECT_EQ(mode(work()), std::make_pair(02770u, Group));
    EXPECT_EQ(mode(work("Receivers.lock")), std::make_pair(0660u, Group));
    EXPECT_EQ(mode(work("backup")), std::make_pair(02770u, Group));
}

// One member of the project's group saves, then another (here the user
// nobody) can save too, under a tight umask; its backup of files it may not
// link is made by copying.
TEST_F(SaveTransactionTest, EveryMemberOfTheGroupCanSaveAfterAnother)
{
    ::chmod(dir.path().c_str(), 0711);
    ASSERT_EQ(::chown(project().c_str(), 0, Group), 0);
    ::chmod(project().c_str(), 02770);
    ASSERT_EQ(::chown(folder().c_str(), 0, Group), 0);
    ::chmod(folder().c_str(), 02770);
    for (const auto& name : test::Names(folder())) {
        const std::string path = folder() + "/" + name;
        ASSERT_EQ(::chown(path.c_str(), 0, Group), 0);
        ::chmod(path.c_str(), 0640);
    }
    const mode_t old = ::umask(077);
    {
        auto suite = Open();
        ASSERT_TRUE(RenameAndSave(*suite).ok());
    }
    ::umask(old);

    const int code = test::RunAsNobody({Group}, 077, [&] {
        Suite suite(project(), &RealFileSystem(), &server);
        suite.Context.log = {};
        suite.Context.notice = {};
        (void)suite.LoadAll();
        if (suite.ReceiverTable.size() != 2) return 2;
        suite.ReceiverTable.at(0).Name() = "delta";
        const SaveReport r = suite.ReceiverTable.SaveAllReceivers(suite.Context);
        if (!r.ok()) {
            std::fprintf(stderr, "%s\n", r.written.error().message.c_str());
            return 3;
        }
        return 0;
    });
    ASSERT_EQ(code, 0);
    auto suite = Open();
    EXPECT_EQ(suite->ReceiverTable.at(0).Name(), "delta");
    struct stat st {};
    ASSERT_EQ(::stat((folder() + "/Receiver_0000.dat").c_str(), &st), 0);
    EXPECT_EQ(st.st_gid, Group);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

// A FIFO and a file far larger than any receiver, named like receivers, are
// passed over at once with a reason, and a save keeps them in the backup.
TEST_F(SaveTransactionTest, PipesAndOversizedFilesArePassedOver)
{
    ASSERT_EQ(::mkfifo((folder() + "/Receiver_0008.dat").c_str(), 0644), 0);
    {
        std::FILE* f = std::fopen((folder() + "/Receiver_0009.dat").c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fclose(f);
        fsys::resize_file(folder() + "/Receiver_0009.dat", 2ull * 1024 * 1024 * 1024);
    }
    auto suite = Open();
    EXPECT_EQ(suite->ReceiverTable.size(), 2u);
    ASSERT_EQ(report.passedOver.size(), 2u);
    EXPECT_EQ(report.passedOver[0].file, "Receiver_0008.dat");
    EXPECT_NE(report.passedOver[0].reason.find("named pipe"), std::string::npos) << report.passedOver[0].reason;
    EXPECT_EQ(report.passedOver[1].file, "Receiver_0009.dat");
    EXPECT_NE(report.passedOver[1].reason.find("2147483648 bytes"), std::string::npos) << report.passedOver[1].reason;

    const SaveReport r = RenameAndSave(*suite);
    ASSERT_TRUE(r.ok()) << r.written.error().message;
    EXPECT_EQ(test::Names(folder()), (std::vector<std::string>{"Receiver_0000.dat", "Receiver_0001.dat"}));
    EXPECT_TRUE(fsys::is_fifo(r.backupFolder + "/Receiver_0008.dat"));
    EXPECT_EQ(fsys::file_size(r.backupFolder + "/Receiver_0009.dat"), 2ull * 1024 * 1024 * 1024);

    // Twenty saves later that backup is pruned, pipe and all; the file's
    // bytes are kept where pruning never reaches (the pipe holds none).
    for (int i = 0; i < 20; ++i) {
        suite->ReceiverTable.at(1).Name() = i % 2 == 0 ? "delta" : "gamma";
        ASSERT_TRUE(suite->ReceiverTable.SaveAllReceivers(suite->Context).ok());
    }
    EXPECT_FALSE(fsys::exists(r.backupFolder));
    const auto kept = test::Names(work("passed-over"));
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(test::Names(work("passed-over/" + kept[0])), (std::vector<std::string>{"Receiver_0009.dat"}));
}

// The bounds are worked out from the layouts: the largest legal receiver
// loads; one byte-string beyond the bound is passed over.
TEST_F(SaveTransactionTest, TheLargestLegalReceiverLoads)
{
    const std::string longest(MaxTextBytes, 'x');
    ByteBuffer settings;
    for (int i = 0; i < 4; ++i) settings = test::Concat({settings, test::I16(8), test::Text(longest)});
    const ByteBuffer largest = test::Concat({test::I16(4), test::I16(1), test::I16(-1), test::I16(7),
                                             test::Text(longest), settings, test::I16(0), ByteBuffer(8, 0),
                                             test::Text(longest), test::Text(longest), test::Text(longest),
                                             test::Text(longest), test::Text(longest)});
    put("Receiver_0001.dat", largest);
    ByteBuffer tooLarge(ReceiverKind().maxFileBytes + 1, 0);
    tooLarge[0] = 4;
    put("Receiver_0002.dat", tooLarge);
    auto suite = Open();
    EXPECT_EQ(suite->ReceiverTable.size(), 3u);
    ASSERT_EQ(report.passedOver.size(), 1u);
    EXPECT_EQ(report.passedOver[0].file, "Receiver_0002.dat");
    EXPECT_LT(largest.size(), ReceiverKind().maxFileBytes);
}

// Another desk of a share saves the receivers (its lock, which flock on its
// own mount would never show here): the save waits, then refuses naming who
// and since when, and changes nothing. Once that lock is older than the
// limit, the program that left it is taken to have died: the save goes on.
TEST_F(SaveTransactionTest, AnotherDesksLockIsWaitedForThenTakenOverOnlyWhenStale)
{
    test::TestClock clock;
    auto suite = Open();
    suite->Context.clock = &clock;
    suite->Context.lockWaitMilliseconds = 300;
    const LockOwner other{{"carol", "desk-9", 4711}, clock.now - 60};
    test::WriteBytes(work("Receivers.held/owner"), EncodeLockOwner(other));
    const auto before = test::Snapshot(folder());

    const SaveReport refused = RenameAndSave(*suite);
    EXPECT_FALSE(refused.written);
    EXPECT_EQ(refused.written.error().code, ErrorCode::Busy);
    EXPECT_NE(refused.written.error().message.find(DescribeLockOwner(other)), std::string::npos)
        << refused.written.error().message;
    EXPECT_NE(DescribeSave(refused, SavedKind::Receivers).find("not saved"), std::string::npos);
    EXPECT_EQ(test::Snapshot(folder()), before);
    EXPECT_EQ(test::ReadBytes(work("Receivers.held/owner")), EncodeLockOwner(other));
    EXPECT_TRUE(server.commands.empty());

    clock.now += DefaultStaleLockMinutes * 60;
    const SaveReport saved = RenameAndSave(*suite);
    ASSERT_TRUE(saved.ok()) << saved.written.error().message;
    EXPECT_TRUE(ToldSomething("left by carol on desk-9"));
    EXPECT_FALSE(test::Exists(work("Receivers.held"))) << "the lock goes with the save";
}

// An interrupted save that cannot be finished now (its kind folder refuses
// to rename its files, as a read-only mount would; with the killed save's
// lock, which cannot be renamed away either) stops the next save: it fails,
// says why, and promises nothing; a later start that can write finishes the
// older save, and the refused rename is not on disk.
TEST_F(SaveTransactionTest, AnInterruptedSaveThatCannotBeFinishedNowFailsTheSave)
{
    for (const bool lockToo : {false, true}) {
        SCOPED_TRACE(lockToo ? "nothing can be renamed" : "the record files cannot be renamed");
        fsys::remove_all(project());
        test::MakeDirs(folder());
        put("Receiver_0003.dat", ReceiverFile("beta"));
        put("Receiver_0007.dat", ReceiverFile("alpha"));
        ASSERT_EQ(test::KillAfterOperation("rename .Receivers.commit",
                                           [&](FileSystem& fs) {
                                               auto s = Open(&fs);
                                               return RenameAndSave(*s).written.ok();
                                           }),
                  9);
        ASSERT_TRUE(test::Exists(work("Receivers.commit")));

        class NoRenames : public FaultInjectingFileSystem {
        public:
            NoRenames(FileSystem& inner, bool all) : FaultInjectingFileSystem(inner), m_all(all) {}
            Status RenameAt(FolderHandle fromDir, const std::string& from, FolderHandle toDir,
                            const std::string& to) override
            {
                if (m_all || from.rfind("Receiver_", 0) == 0)
                    return MakeError(ErrorCode::Io, "cannot rename '" + from + "': Read-only file system");
                return FaultInjectingFileSystem::RenameAt(fromDir, from, toDir, to);
            }

        private:
            bool m_all;
        } readOnly(RealFileSystem(), lockToo);
        auto suite = Open(&readOnly);
        suite->Context.lockWaitMilliseconds = 0;
        ASSERT_FALSE(report.passedOver.empty()) << "the start says it could not finish it";
        for (ReceiverEntry& e : suite->ReceiverTable.Entries())
            if (e.record.Name() == "beta") e.record.Name() = "delta";
        const SaveReport r = suite->ReceiverTable.SaveAllReceivers(suite->Context);
        EXPECT_FALSE(r.written);
        EXPECT_NE(r.written.error().code, ErrorCode::Unfinished) << r.written.error().message;
        EXPECT_NE(r.written.error().message.find("cannot be finished now"), std::string::npos)
            << r.written.error().message;
        EXPECT_NE(r.written.error().message.find("Read-only file system"), std::string::npos)
            << r.written.error().message;

        auto later = Open();
        std::vector<std::string> names;
        for (const ReceiverEntry& e : later->ReceiverTable.Entries()) names.push_back(e.record.Name());
        EXPECT_EQ(names, (std::vector<std::string>{"beta", "gamma"}));
    }
}

// A save interrupted by the version before this one left its marker in the
// earlier form: it is finished all the same.
TEST_F(SaveTransactionTest, AMarkerOfTheEarlierFormIsFinished)
{
    const ByteBuffer staged = ReceiverFile("staged");
    test::WriteBytes(work("Receivers.staging/Receiver_0000.dat"), staged);
    test::WriteBytes(work("backup/Receivers-20260101-000000/Receiver_0003.dat"), ReceiverFile("beta"));
    test::WriteBytes(work("backup/Receivers-20260101-000000/Receiver_0007.dat"), ReceiverFile("alpha"));
    const std::string marker = "VelNameChange commit 2\nkind Receivers\nfolder Receivers\n"
                               "backup Receivers-20260101-000000\nnew Receiver_0000.dat\n"
                               "old Receiver_0003.dat\nold Receiver_0007.dat\nend\n";
    test::WriteBytes(work("Receivers.commit"), ByteBuffer(marker.begin(), marker.end()));
    auto suite = Open();
    EXPECT_TRUE(ToldSomething("was finished")) << (told.lines.empty() ? "" : told.lines.front());
    EXPECT_EQ(test::Snapshot(folder()), (std::map<std::string, ByteBuffer>{{"Receiver_0000.dat", staged}}));
    EXPECT_EQ(server.commands, (std::vector<std::string>{"RR\t0"}));
}

} // namespace
} // namespace vel
