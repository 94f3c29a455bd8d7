#include "project/receiver_store.h"

#include "records/save_transaction.h"
#include "tests/support/fault_injecting_file_system.h"
#include "tests/support/test_project.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace vel {
namespace {

using test::Bytes;
using test::Concat;
using test::I16;
using test::Text;

ByteBuffer Settings()
{
    return Concat({I16(2), Bytes({0x39, 0x30}), I16(8), Text("tel:0123"), I16(5), Bytes({1, 2, 3, 4, 5, 6, 7, 0x40}),
                   I16(17), Bytes({0xAB})});
}

ByteBuffer V4(const std::string& name, int status = 0, int enabled = -1, int id = 0x1234)
{
    return Concat({I16(4), I16(id), I16(enabled), I16(7), Text(name), Settings(), I16(status),
                   Bytes({0xE1, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8}), Text("one"), Text("two"), Text(""),
                   Text("four\xE9"), Text("five")});
}

ByteBuffer V3(const std::string& name)
{
    return Concat({I16(3), I16(0x4321), I16(9), Text(name), Settings()});
}

class ReceiverStoreTest : public ::testing::Test {
protected:
    ReceiverStoreTest()
    {
        ctx.ProjectPath = dir.path() + "/Project/";
        ctx.log = log.sink();
        ctx.server = &server;
        ctx.busy = [this](bool on) { busyCalls.push_back(on); };
        test::MakeDirs(folder());
    }
    std::string folder() const { return dir.path() + "/Project/Receivers"; }
    std::string file(const std::string& name) const { return folder() + "/" + name; }
    void put(const std::string& name, const ByteBuffer& data) { test::WriteBytes(file(name), data); }
    std::vector<std::string> names() const
    {
        std::vector<std::string> out;
        for (const ReceiverEntry& e : store.Entries()) out.push_back(e.record.Name());
        return out;
    }

    test::TempDir dir;
    test::LogRecorder log;
    test::RecordingServer server;
    std::vector<bool> busyCalls;
    StoreContext ctx;
    ReceiverStore store;
};

TEST_F(ReceiverStoreTest, MissingOrEmptyFolderLoadsNothing)
{
    EXPECT_EQ(store.ReadAllReceivers(ctx), 0);
    ctx.ProjectPath = dir.path() + "/Elsewhere/";
    LoadReport report;
    EXPECT_EQ(store.ReadAllReceivers(ctx, &report), 0);
    EXPECT_TRUE(report.complete());
    EXPECT_TRUE(log.lines.empty());
    EXPECT_EQ(busyCalls, (std::vector<bool>{true, false, true, false}));
}

TEST_F(ReceiverStoreTest, LoadSortsByNameAndSaveRenumbers)
{
    put("Receiver_0004.dat", V4("beta"));
    put("Receiver_0009.dat", V4("Alpha", 5));
    put("Receiver_0012.dat", V4("alpha2"));
    ASSERT_EQ(store.ReadAllReceivers(ctx), 3);
    EXPECT_EQ(names(), (std::vector<std::string>{"Alpha", "alpha2", "beta"}));
    EXPECT_EQ(store.at(0).Status(), 0);

    const SaveReport saved = store.SaveAllReceivers(ctx);
    ASSERT_TRUE(saved.ok()) << saved.written.error().message;
    EXPECT_EQ(test::Names(folder()),
              (std::vector<std::string>{"Receiver_0000.dat", "Receiver_0001.dat", "Receiver_0002.dat"}));
    // Status 5 goes back as 0; every other byte is unchanged.
    EXPECT_EQ(test::ReadBytes(file("Receiver_0000.dat")), V4("Alpha", 0));
    EXPECT_EQ(test::ReadBytes(file("Receiver_0001.dat")), V4("alpha2"));
    EXPECT_EQ(test::ReadBytes(file("Receiver_0002.dat")), V4("beta"));
    EXPECT_EQ(server.commands, (std::vector<std::string>{"RR\t0"}));

    // The previous set is kept, byte for byte.
    auto backup = test::Snapshot(saved.backupFolder);
    ASSERT_EQ(backup.size(), 3u);
    EXPECT_EQ(backup["Receiver_0009.dat"], V4("Alpha", 5));
}

// A load sets Status to 0; a save writes the table as it is. The check that
// every file reads back as its receiver compares what was written, not what
// a load would make of it.
TEST_F(ReceiverStoreTest, ASaveWritesTheStatusTheTableHolds)
{
    put("Receiver_0001.dat", V4("Alpha", 5));
    ASSERT_EQ(store.ReadAllReceivers(ctx), 1);
    ASSERT_EQ(store.at(0).Status(), 0);
    store.at(0).SetStatus(3);
    const SaveReport saved = store.SaveAllReceivers(ctx);
    ASSERT_TRUE(saved.ok()) << saved.written.error().message;
    EXPECT_EQ(test::ReadBytes(file("Receiver_0000.dat")), V4("Alpha", 3));
    ASSERT_EQ(store.ReadAllReceivers(ctx), 1);
    EXPECT_EQ(store.at(0).Status(), 0);
}

TEST_F(ReceiverStoreTest, EqualNamesKeepTheirOrderAndRenamesMoveAtSave)
{
    put("Receiver_0001.dat", V4("Alpha", 0, -1, 1));
    put("Receiver_0002.dat", V4("ALPHA", 0, -1, 2));
    put("Receiver_0003.dat", V4("\xE9t\xE9", 0, -1, 3));
    put("Receiver_0004.dat", V4("\xC9T\xC9", 0, -1, 4));
    put("Receiver_0005.dat", V4("Zed", 0, -1, 5));
    ASSERT_EQ(store.ReadAllReceivers(ctx), 5);
    EXPECT_EQ(names(), (std::vector<std::string>{"Alpha", "ALPHA", "Zed", "\xE9t\xE9", "\xC9T\xC9"}));
    store.at(2).Name() = "Aaa";
    ASSERT_TRUE(store.SaveAllReceivers(ctx).ok());
    EXPECT_EQ(store.at(0).Name(), "Aaa");
    EXPECT_EQ(test::ReadBytes(file("Receiver_0000.dat")), V4("Aaa", 0, -1, 5));
}

TEST_F(ReceiverStoreTest, Version3IsConvertedAndLogged)
{
    put("Receiver_0005.dat", V3("Old"));
    ASSERT_EQ(store.ReadAllReceivers(ctx), 1);
    const Receiver& r = store.at(0);
    EXPECT_EQ(r.Enabled(), -1);
    EXPECT_EQ(r.Id(), 0x4321);
    EXPECT_EQ(r.ReceiverType(), 9);
    EXPECT_EQ(r.Status(), 0);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"Invalid Text (888) 'Receiver_0005.dat' (3 -> 4)"}));
    ASSERT_TRUE(store.SaveAllReceivers(ctx).ok());
    EXPECT_EQ(test::ReadBytes(file("Receiver_0000.dat")),
              Concat({I16(4), I16(0x4321), I16(-1), I16(9), Text("Old"), Settings(), I16(0), ByteBuffer(8, 0), Text(""),
                      Text(""), Text(""), Text(""), Text("")}));
}

TEST_F(ReceiverStoreTest, FilesPassedOverAreReportedAndKeptWhenASaveRemovesThem)
{
    put("Receiver_00a7.dat", V4("NotNumbered"));
    put("Receiver_0003.dat", Bytes({4}));
    put("Receiver_0001.dat", Concat({I16(7), Bytes({1, 2, 3})}));
    const ByteBuffer whole = V4("Cut");
    put("Receiver_0002.dat", ByteBuffer(whole.begin(), whole.begin() + 20));
    put("Receiver_0006.dat", Concat({I16(4), I16(1), I16(1), I16(1), Text("Bad"), I16(9)}));
    put("Receiver_0008.dat", V4("Good"));
    LoadReport report;
    ASSERT_EQ(store.ReadAllReceivers(ctx, &report), 1);
    EXPECT_EQ(store.at(0).Name(), "Good");
    ASSERT_EQ(report.passedOver.size(), 5u);
    ASSERT_EQ(log.lines.size(), 3u);
    EXPECT_EQ(log.lines[0], "Invalid Text (803) 'Receiver_0001.dat' (7) Invalid Text (804)");
    EXPECT_EQ(log.lines[1], "Receiver file 'Receivers/Receiver_0002.dat' passed over: "
                            "Receivers/Receiver_0002.dat: byte offset 19: file ends inside a text length");
    EXPECT_NE(log.lines[2].find("unknown value tag 9"), std::string::npos) << log.lines[2];

    const auto before = test::Snapshot(folder());
    const SaveReport saved = store.SaveAllReceivers(ctx);
    ASSERT_TRUE(saved.ok());
    EXPECT_EQ(test::Names(folder()), (std::vector<std::string>{"Receiver_0000.dat"}));
    EXPECT_EQ(test::Snapshot(saved.backupFolder), before);
}

TEST_F(ReceiverStoreTest, OnlyThreeHundredLoad)
{
    for (int i = 0; i < 302; ++i) put(NumberedFileName("Receiver_", i), V4("R" + std::to_string(1000 + i)));
    LoadReport report;
    ASSERT_EQ(store.ReadAllReceivers(ctx, &report), 300);
    EXPECT_EQ(store.at(299).Name(), "R1299");
    ASSERT_EQ(report.passedOver.size(), 2u);
    EXPECT_EQ(report.passedOver[0].file, "Receiver_0300.dat");
    EXPECT_EQ(log.lines.size(), 2u);
}

TEST_F(ReceiverStoreTest, CaseOfFoldersAndNamesDoesNotMatter)
{
    test::TempDir other;
    test::WriteBytes(other / "Project/RECEIVERS/receiver_0001.DAT", V4("Upper"));
    ctx.ProjectPath = other.path() + "/Project/";
    ASSERT_EQ(store.ReadAllReceivers(ctx), 1);
    ASSERT_TRUE(store.SaveAllReceivers(ctx).ok());
    EXPECT_EQ(test::Names(other / "Project/RECEIVERS"), (std::vector<std::string>{"Receiver_0000.dat"}));
}

TEST_F(ReceiverStoreTest, SaveWithoutFolderOrWithEmptyTable)
{
    put("Receiver_0001.dat", V4("One"));
    ASSERT_EQ(store.ReadAllReceivers(ctx), 1);
    ctx.ProjectPath = dir.path() + "/Missing/";
    SaveReport missing = store.SaveAllReceivers(ctx);
    EXPECT_FALSE(missing.written);
    EXPECT_TRUE(server.commands.empty());

    ctx.ProjectPath = dir.path() + "/Project/";
    store.Entries().clear();
    SaveReport empty = store.SaveAllReceivers(ctx);
    ASSERT_TRUE(empty.ok()) << empty.written.error().message;
    EXPECT_TRUE(test::Names(folder()).empty());
    EXPECT_EQ(server.commands, (std::vector<std::string>{"RR\t0"}));
}

TEST_F(ReceiverStoreTest, UnencodableNameChangesNothing)
{
    put("Receiver_0001.dat", V4("One"));
    ASSERT_EQ(store.ReadAllReceivers(ctx), 1);
    store.at(0).Name() = std::string(40000, 'x');
    const auto before = test::Snapshot(dir.path(), true);
    SaveReport r = store.SaveAllReceivers(ctx);
    EXPECT_FALSE(r.written);
    EXPECT_EQ(r.written.error().code, ErrorCode::TooLong);
    EXPECT_TRUE(server.commands.empty());
    EXPECT_EQ(test::Snapshot(folder()), (std::map<std::string, ByteBuffer>{{"Receiver_0001.dat", V4("One")}}));
}

TEST_F(ReceiverStoreTest, NotificationFailureIsReported)
{
    put("Receiver_0001.dat", V4("One"));
    ASSERT_EQ(store.ReadAllReceivers(ctx), 1);
    server.fail = true;
    SaveReport r = store.SaveAllReceivers(ctx);
    EXPECT_TRUE(r.written);
    EXPECT_FALSE(r.notify.ok());
    EXPECT_FALSE(r.ok());
}

TEST_F(ReceiverStoreTest, ChangesByAnotherToolAreNotOverwritten)
{
    put("Receiver_0001.dat", V4("One"));
    ASSERT_EQ(store.ReadAllReceivers(ctx), 1);
    put("Receiver_0002.dat", V4("Added"));
    SaveReport r = store.SaveAllReceivers(ctx);
    EXPECT_FALSE(r.written);
    EXPECT_EQ(r.written.error().code, ErrorCode::Conflict);
    EXPECT_NE(r.written.error().message.find("Receiver_0002.dat (added)"), std::string::npos)
        << r.written.error().message;
    EXPECT_TRUE(test::Exists(file("Receiver_0002.dat")));
    EXPECT_TRUE(server.commands.empty());
}

TEST_F(ReceiverStoreTest, SecondSaveAtOnceIsRefused)
{
    put("Receiver_0001.dat", V4("One"));
    ASSERT_EQ(store.ReadAllReceivers(ctx), 1);
    test::MakeDirs(dir.path() + "/Project/.velnamechange");
    auto work = OpenFolder(RealFileSystem(), dir.path() + "/Project/.velnamechange");
    ASSERT_TRUE(work.ok());
    auto held = RealFileSystem().LockAt(work->handle(), "Receivers.lock", {});
    ASSERT_TRUE(held.ok());
    SaveReport r = store.SaveAllReceivers(ctx);
    EXPECT_FALSE(r.written);
    EXPECT_EQ(r.written.error().code, ErrorCode::Busy);
    RealFileSystem().Unlock(*held);
    EXPECT_TRUE(store.SaveAllReceivers(ctx).ok());
}

// Every file operation of a save fails in turn, once and for ever: the save
// reports failure, posts nothing, and leaves every previous file as it was.
// Only where even the undoing fails for ever does the save say that it will be
// completed at the next start, and then the next start brings the whole new set.
TEST_F(ReceiverStoreTest, InjectedFailureAtEveryOperationChangesNothing)
{
    put("Receiver_0003.dat", V4("beta"));
    put("Receiver_0007.dat", V4("alpha", 5));
    put("Receiver_00x1.dat", V4("kept"));
    const auto before = test::Snapshot(folder());
    const std::vector<std::string> newNames = {"Receiver_0000.dat", "Receiver_0001.dat"};
    auto restore = [&] {
        for (const auto& name : test::Names(folder())) ::unlink(file(name).c_str());
        for (const auto& [name, data] : before) test::WriteBytes(file(name), data);
    };

    FaultInjectingFileSystem faulty(RealFileSystem());
    ctx.fs = &faulty;
    long total = 0;
    {
        ReceiverStore probe;
        ASSERT_EQ(probe.ReadAllReceivers(ctx), 2);
        faulty.Reset();
        ASSERT_TRUE(probe.SaveAllReceivers(ctx).ok());
        total = faulty.operations();
        restore();
    }
    ASSERT_GT(total, 10);
    for (const bool forever : {false, true}) {
        for (long k = 1; k <= total; ++k) {
            const std::string at = "operation " + std::to_string(k) + (forever ? " for ever" : " once");
            ReceiverStore s;
            ASSERT_EQ(s.ReadAllReceivers(ctx), 2);
            server.commands.clear();
            faulty.Reset();
            faulty.FailAt(k, forever);
            SaveReport r = s.SaveAllReceivers(ctx);
            faulty.Reset();
            if (r.written) {
                // Only clearing up failed: the new set is complete.
                EXPECT_EQ(test::Names(folder()), newNames) << at;
                EXPECT_EQ(server.commands, (std::vector<std::string>{"RR\t0"})) << at;
                ASSERT_TRUE(test::Recover(ctx.ProjectPath).ok());
                EXPECT_EQ(test::Names(folder()), newNames) << at;
                restore();
                continue;
            }
            EXPECT_TRUE(server.commands.empty()) << at;
            const bool completesLater = r.written.error().code == ErrorCode::Unfinished;
            // The marker took its name, but neither its folder's flush nor
            // its removal worked: the save failed with the previous files in
            // place, and says that a later start may still finish it.
            const bool mayCompleteLater = r.written.error().message.find("may still finish this save") !=
                                          std::string::npos;
            if (!completesLater) {
                EXPECT_TRUE(test::Snapshot(folder()) == before) << at << ": " << r.written.error().message;
            }
            ASSERT_TRUE(test::Recover(ctx.ProjectPath).ok());
            if (completesLater) {
                EXPECT_TRUE(forever) << at;
                EXPECT_EQ(test::Names(folder()), newNames) << at;
                restore();
            } else if (mayCompleteLater) {
                EXPECT_TRUE(forever) << at;
                EXPECT_TRUE(test::Names(folder()) == newNames || test::Snapshot(folder()) == before) << at;
                restore();
            } else {
                EXPECT_TRUE(test::Snapshot(folder()) == before) << "after recovery, " << at;
            }
        }
    }
}

// The process dies at every file operation of a save: after recovery the
// folder holds the complete old set or the complete new set.
TEST_F(ReceiverStoreTest, KilledAtEveryOperationLeavesOldOrNewSet)
{
    put("Receiver_0003.dat", V4("beta"));
    put("Receiver_0007.dat", V4("alpha", 5));
    const auto before = test::Snapshot(folder());
    const std::map<std::string, ByteBuffer> after = {{"Receiver_0000.dat", V4("alpha")},
                                                     {"Receiver_0001.dat", V4("beta")}};
    test::KillAtEveryOperation(
        ctx.ProjectPath, folder(), before, after,
        [&](FileSystem& counting) {
            StoreContext c = ctx;
            c.log = {};
            ReceiverStore s;
            if (s.ReadAllReceivers(c) != 2) return false;
            c.fs = &counting;
            return s.SaveAllReceivers(c).written.ok();
        },
        15);
}

} // namespace
} // namespace vel
