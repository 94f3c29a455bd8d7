#include "project/route_profile_store.h"

#include "records/save_transaction.h"
#include "tests/support/fault_injecting_file_system.h"
#include "tests/support/test_project.h"

#include <gtest/gtest.h>

#include <deque>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vel {
namespace {

using test::Bytes;
using test::Concat;
using test::I16;
using test::Text;

ByteBuffer Opaque(std::size_t n, int seed)
{
    ByteBuffer b(n);
    for (std::size_t i = 0; i < n; ++i)
        b[i] = static_cast<std::uint8_t>((seed * 31 + static_cast<int>(i) * 7 + 1) & 0xFF);
    return b;
}

// A schedule block with periods, odd flags, axis numbers and m_UseCalendar set.
ByteBuffer Schedule(int seed)
{
    ByteBuffer b;
    for (int d = 0; d < 23; ++d) {
        const int periods = (d + seed) % 4;
        const ByteBuffer active = I16(d == 3 ? 7 : (d < 7 ? -1 : (d % 5 == 0 ? 1 : 0)));
        b.insert(b.end(), active.begin(), active.end());
        const ByteBuffer grouped = I16(d < 5 ? -1 : 0);
        b.insert(b.end(), grouped.begin(), grouped.end());
        const ByteBuffer count = I16(periods);
        b.insert(b.end(), count.begin(), count.end());
        for (int p = 0; p < periods; ++p) {
            const ByteBuffer start = I16(60 * p + d + seed), stop = I16(60 * p + 30 + d);
            b.insert(b.end(), start.begin(), start.end());
            b.insert(b.end(), stop.begin(), stop.end());
        }
        const ByteBuffer axis = I16(d < 8 ? d : 0);
        b.insert(b.end(), axis.begin(), axis.end());
    }
    const ByteBuffer use = I16(-1);
    b.insert(b.end(), use.begin(), use.end());
    return b;
}

ByteBuffer Record(int number, const std::string& name, const std::string& list1 = std::string("Siren\0Pager\0", 12),
                  int enabled = -1, int seed = 1)
{
    return Concat({I16(number), I16(enabled), Text(name), Opaque(12, seed), Text(list1), Text(std::string("Horn\0", 5)),
                   Text("t0"), Text(""), Text("t\xE9"), Text("t3"), Text(""), Text("t5"), Opaque(6, seed + 1),
                   Text("x"), Opaque(4, seed + 2), Text(""), Text("yz"), Opaque(130, seed + 3)});
}

ByteBuffer ProfileFile(int number, const std::string& name, int seed = 1)
{
    return Concat({I16(4), Record(number, name, std::string("Siren\0Pager\0", 12), -1, seed), Schedule(seed)});
}

class RouteProfileStoreTest : public ::testing::Test {
protected:
    RouteProfileStoreTest()
    {
        ctx.ProjectPath = dir.path() + "/Project/";
        ctx.log = log.sink();
        ctx.server = &server;
        test::MakeDirs(folder());
    }
    std::string folder() const { return dir.path() + "/Project/Profiles"; }
    std::string file(const std::string& name) const { return folder() + "/" + name; }
    void put(const std::string& name, const ByteBuffer& data) { test::WriteBytes(file(name), data); }
    std::vector<std::string> names() const
    {
        std::vector<std::string> out;
        for (const RouteProfileEntry& e : store.Entries()) out.push_back(e.record.Name());
        return out;
    }
    // Random numbers that land on the given profile numbers.
    void drawNumbers(std::deque<int> numbers)
    {
        store.Random = [numbers]() mutable {
            const int n = numbers.front();
            if (numbers.size() > 1) numbers.pop_front();
            return (n - 1) / 9990.0;
        };
    }

    test::TempDir dir;
    test::LogRecorder log;
    test::RecordingServer server;
    StoreContext ctx;
    RouteProfileStore store;
};

TEST_F(RouteProfileStoreTest, MissingOrEmptyFolderLoadsNothing)
{
    EXPECT_EQ(store.ReadAllRouteProfiles(ctx), 0);
    ctx.ProjectPath = dir.path() + "/Elsewhere/";
    EXPECT_EQ(store.ReadAllRouteProfiles(ctx), 0);
    EXPECT_TRUE(log.lines.empty());
}

TEST_F(RouteProfileStoreTest, LoadSaveReproducesEveryFileByteForByte)
{
    put("Profile_0012.dat", ProfileFile(12, "beta", 1));
    put("Profile_0003.dat", ProfileFile(3, "Alpha", 2));
    put("Profile_0150.dat", ProfileFile(150, "alpha2", 3));
    const auto before = test::Snapshot(folder());
    ASSERT_EQ(store.ReadAllRouteProfiles(ctx), 3);
    EXPECT_EQ(names(), (std::vector<std::string>{"Alpha", "alpha2", "beta"}));
    EXPECT_EQ(store.Schedule(2).m_UseCalendar, -1);
    EXPECT_EQ(store.Schedule(2).m_DayTypeActive[3], 7);

    const SaveReport saved = store.SaveAllRouteProfiles(ctx);
    ASSERT_TRUE(saved.ok()) << saved.written.error().message;
    EXPECT_TRUE(test::Snapshot(folder()) == before);
    EXPECT_EQ(server.commands, (std::vector<std::string>{"RP:-1\t0"}));
    EXPECT_TRUE(test::Snapshot(saved.backupFolder) == before);
}

TEST_F(RouteProfileStoreTest, FilesThatAreNotProfilesArePassedOver)
{
    put("Profile_0012.dat", ProfileFile(12, "Good"));
    put("Profile_abcd.dat", ProfileFile(13, "NotNumbered"));
    put("Profile_0014.dat", Concat({I16(3), Record(14, "Old")}));
    put("Profile_0015.dat", Bytes({4}));
    LoadReport report;
    ASSERT_EQ(store.ReadAllRouteProfiles(ctx, &report), 1);
    EXPECT_EQ(store.at(0).Name(), "Good");
    EXPECT_EQ(report.passedOver.size(), 3u);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"Invalid Text (803) '" + file("Profile_0014.dat") +
                                                   "' (3) Invalid Text (805)"}));
    // They are kept when the save removes them.
    const SaveReport saved = store.SaveAllRouteProfiles(ctx);
    ASSERT_TRUE(saved.ok());
    EXPECT_EQ(test::Names(folder()), (std::vector<std::string>{"Profile_0012.dat"}));
    EXPECT_EQ(test::Snapshot(saved.backupFolder).size(), 4u);
}

// A file that cannot be read is no file of version 0: it gets the store's
// own line, of the same form as for a receiver, and not the suite's line of
// an unknown version.
TEST_F(RouteProfileStoreTest, UnreadableFilesAreLoggedAsPassedOverNotAsAVersion)
{
    put("Profile_0001.dat", ProfileFile(1, "One"));
    ASSERT_EQ(::symlink(file("Profile_0001.dat").c_str(), file("Profile_0002.dat").c_str()), 0);
    LoadReport report;
    ASSERT_EQ(store.ReadAllRouteProfiles(ctx, &report), 1);
    ASSERT_EQ(report.passedOver.size(), 1u);
    EXPECT_EQ(report.passedOver[0].file, "Profile_0002.dat");
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(log.lines[0],
              "Route profile file 'Profiles/Profile_0002.dat' passed over: " + report.passedOver[0].reason);
}

TEST_F(RouteProfileStoreTest, EqualNamesKeepListingOrder)
{
    put("Profile_0002.dat", ProfileFile(2, "abc", 1));
    put("Profile_0001.dat", ProfileFile(1, "ABC", 2));
    ASSERT_EQ(store.ReadAllRouteProfiles(ctx), 2);
    EXPECT_EQ(names(), (std::vector<std::string>{"ABC", "abc"}));
    // The schedule moves with its profile.
    ByteWriter w;
    ASSERT_TRUE(store.Schedule(1).SaveToDisk(w).ok());
    EXPECT_EQ(w.buffer(), Schedule(1));
}

TEST_F(RouteProfileStoreTest, FilesAreNamedByTheirProfileNumber)
{
    put("Profile_0005.dat", ProfileFile(17, "Moved"));
    put("Profile_0000.dat", ProfileFile(0, "Zero"));
    put("Profile_0009.dat", ProfileFile(0, "AlsoZero"));
    ASSERT_EQ(store.ReadAllRouteProfiles(ctx), 3);
    // Draws: 5 (a file exists), 17 (held by the table), then 40 and 41.
    drawNumbers({5, 17, 40, 41});
    ASSERT_TRUE(store.SaveAllRouteProfiles(ctx).ok());
    EXPECT_EQ(test::Names(folder()),
              (std::vector<std::string>{"Profile_0017.dat", "Profile_0040.dat", "Profile_0041.dat"}));
    EXPECT_EQ(store.at(0).Name(), "AlsoZero");
    EXPECT_EQ(store.at(0).ProfileNumber(), 40);
    EXPECT_EQ(store.at(2).ProfileNumber(), 41);
    EXPECT_EQ(test::ReadBytes(file("Profile_0041.dat")), ProfileFile(41, "Zero"));
    EXPECT_EQ(test::ReadBytes(file("Profile_0017.dat")), ProfileFile(17, "Moved"));
}

TEST_F(RouteProfileStoreTest, DuplicateNumbersNeverShareAFile)
{
    put("Profile_0007.dat", ProfileFile(7, "First", 1));
    put("Profile_0008.dat", ProfileFile(7, "Second", 2));
    put("Profile_0009.dat", ProfileFile(-3, "Third", 3));
    ASSERT_EQ(store.ReadAllRouteProfiles(ctx), 3);
    drawNumbers({8, 9, 100, 101});
    ASSERT_TRUE(store.SaveAllRouteProfiles(ctx).ok());
    EXPECT_EQ(test::Names(folder()),
              (std::vector<std::string>{"Profile_0007.dat", "Profile_0100.dat", "Profile_0101.dat"}));
    EXPECT_EQ(test::ReadBytes(file("Profile_0007.dat")), ProfileFile(7, "First", 1));
    EXPECT_EQ(test::ReadBytes(file("Profile_0100.dat")), ProfileFile(100, "Second", 2));
    ASSERT_EQ(log.lines.size(), 2u);
    EXPECT_NE(log.lines[0].find("'Second' has the number 7"), std::string::npos) << log.lines[0];
    EXPECT_NE(log.lines[1].find("'Third' has the invalid number -3"), std::string::npos) << log.lines[1];
}

// A file that ends inside its record or its schedule, or holds bytes after
// them, is passed over, never loaded half (a save would write what is
// missing back as zeros), and the next save keeps it where pruning never
// reaches.
TEST_F(RouteProfileStoreTest, DamagedFilesArePassedOverAndKept)
{
    const ByteBuffer whole = ProfileFile(21, "Cut", 5);
    put("Profile_0021.dat", ByteBuffer(whole.begin(), whole.end() - 7));    // inside the schedule
    put("Profile_0022.dat", ByteBuffer(whole.begin(), whole.begin() + 30)); // inside the record
    put("Profile_0023.dat", Concat({ProfileFile(23, "Long", 6), Bytes({1, 2, 3})}));
    put("Profile_0024.dat", ProfileFile(24, "Good", 7));
    LoadReport report;
    ASSERT_EQ(store.ReadAllRouteProfiles(ctx, &report), 1);
    EXPECT_EQ(store.at(0).Name(), "Good");

    ASSERT_EQ(report.passedOver.size(), 3u);
    EXPECT_EQ(report.passedOver[0].file, "Profile_0021.dat");
    EXPECT_EQ(report.passedOver[0].reason,
              "Profiles/Profile_0021.dat: byte offset 535: the file ends inside the time schedule (day type 22)");
    EXPECT_EQ(report.passedOver[1].reason,
              "Profiles/Profile_0022.dat: byte offset 23: text length 12 runs past the end of the file (5 bytes left)");
    EXPECT_NE(report.passedOver[2].reason.find("3 bytes follow the schedule"), std::string::npos)
        << report.passedOver[2].reason;
    ASSERT_EQ(log.lines.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(log.lines[i], "Route profile file 'Profiles/" + report.passedOver[i].file +
                                    "' passed over: " + report.passedOver[i].reason);

    const auto before = test::Snapshot(folder());
    const SaveReport saved = store.SaveAllRouteProfiles(ctx);
    ASSERT_TRUE(saved.ok()) << saved.written.error().message;
    EXPECT_EQ(test::Names(folder()), (std::vector<std::string>{"Profile_0024.dat"}));
    EXPECT_EQ(test::ReadBytes(file("Profile_0024.dat")), ProfileFile(24, "Good", 7));
    EXPECT_TRUE(test::Snapshot(saved.backupFolder) == before);
    const std::string passedOver = dir.path() + "/Project/.velnamechange/passed-over";
    const auto kept = test::Names(passedOver);
    ASSERT_EQ(kept.size(), 1u);
    auto damaged = before;
    damaged.erase("Profile_0024.dat");
    EXPECT_TRUE(test::Snapshot(passedOver + "/" + kept[0]) == damaged);
}

TEST_F(RouteProfileStoreTest, OnlyThreeHundredLoad)
{
    for (int i = 1; i <= 302; ++i) put(NumberedFileName("Profile_", i), ProfileFile(i, "P" + std::to_string(1000 + i)));
    LoadReport report;
    ASSERT_EQ(store.ReadAllRouteProfiles(ctx, &report), 300);
    ASSERT_EQ(report.passedOver.size(), 2u);
    EXPECT_EQ(report.passedOver[1].file, "Profile_0302.dat");
    EXPECT_EQ(log.lines.size(), 2u);
}

TEST_F(RouteProfileStoreTest, EmptyTableSaveWritesNothingAndNotifies)
{
    SaveReport r = store.SaveAllRouteProfiles(ctx);
    ASSERT_TRUE(r.ok());
    EXPECT_TRUE(test::Names(folder()).empty());
    EXPECT_EQ(server.commands, (std::vector<std::string>{"RP:-1\t0"}));
}

TEST_F(RouteProfileStoreTest, AProfileThatCannotBeWrittenChangesNothing)
{
    put("Profile_0001.dat", ProfileFile(1, "One"));
    put("Profile_0002.dat", ProfileFile(2, "Two"));
    const auto before = test::Snapshot(folder());
    ASSERT_EQ(store.ReadAllRouteProfiles(ctx), 2);
    for (int i = 0; i < 32768; ++i) ASSERT_TRUE(store.Schedule(1).AppendPeriod(4, 1, 2).ok());
    SaveReport r = store.SaveAllRouteProfiles(ctx);
    EXPECT_FALSE(r.written);
    EXPECT_NE(r.written.error().message.find("'Two' (Profile_0002.dat)"), std::string::npos)
        << r.written.error().message;
    EXPECT_TRUE(server.commands.empty());
    EXPECT_TRUE(test::Snapshot(folder()) == before);
}

// Another tool's change is told by the bytes, not by the file's time: an
// edit that keeps size and time is still refused, a rewrite with the same
// bytes is not a change, and a removal is refused until the next load.
TEST_F(RouteProfileStoreTest, ChangesByAnotherToolAreToldByTheirBytes)
{
    put("Profile_0001.dat", ProfileFile(1, "One"));
    put("Profile_0002.dat", ProfileFile(2, "Two"));
    ASSERT_EQ(store.ReadAllRouteProfiles(ctx), 2);

    // Same bytes written again: nothing changed.
    put("Profile_0002.dat", ProfileFile(2, "Two"));
    ASSERT_TRUE(store.SaveAllRouteProfiles(ctx).ok());

    // One byte of a name changed, size and modification time kept.
    struct stat st {};
    ASSERT_EQ(::stat(file("Profile_0001.dat").c_str(), &st), 0);
    const ByteBuffer edited = ProfileFile(1, "Ona");
    put("Profile_0001.dat", edited);
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, file("Profile_0001.dat").c_str(), times, 0), 0);
    SaveReport r = store.SaveAllRouteProfiles(ctx);
    EXPECT_FALSE(r.written);
    EXPECT_EQ(r.written.error().code, ErrorCode::Conflict);
    EXPECT_NE(r.written.error().message.find("Profile_0001.dat (changed)"), std::string::npos)
        << r.written.error().message;
    EXPECT_EQ(test::ReadBytes(file("Profile_0001.dat")), edited);

    ASSERT_EQ(store.ReadAllRouteProfiles(ctx), 2);
    ASSERT_EQ(::unlink(file("Profile_0002.dat").c_str()), 0);
    r = store.SaveAllRouteProfiles(ctx);
    EXPECT_EQ(r.written.error().code, ErrorCode::Conflict);
    EXPECT_NE(r.written.error().message.find("Profile_0002.dat (removed)"), std::string::npos)
        << r.written.error().message;
    EXPECT_FALSE(test::Exists(file("Profile_0002.dat")));
    EXPECT_EQ(server.commands, (std::vector<std::string>{"RP:-1\t0"}));

    ASSERT_EQ(store.ReadAllRouteProfiles(ctx), 1);
    EXPECT_TRUE(store.SaveAllRouteProfiles(ctx).ok());
    EXPECT_EQ(test::ReadBytes(file("Profile_0001.dat")), edited);
}

TEST_F(RouteProfileStoreTest, InjectedFailureAtEveryOperationChangesNothing)
{
    put("Profile_0001.dat", ProfileFile(1, "One", 1));
    put("Profile_0005.dat", ProfileFile(17, "Moved", 2));
    const auto before = test::Snapshot(folder());
    FaultInjectingFileSystem faulty(RealFileSystem());
    ctx.fs = &faulty;
    long total = 0;
    {
        RouteProfileStore probe;
        ASSERT_EQ(probe.ReadAllRouteProfiles(ctx), 2);
        faulty.Reset();
        ASSERT_TRUE(probe.SaveAllRouteProfiles(ctx).ok());
        total = faulty.operations();
        for (const auto& name : test::Names(folder())) ::unlink(file(name).c_str());
        for (const auto& [name, data] : before) test::WriteBytes(file(name), data);
    }
    for (long k = 1; k <= total; ++k) {
        RouteProfileStore s;
        ASSERT_EQ(s.ReadAllRouteProfiles(ctx), 2);
        server.commands.clear();
        faulty.Reset();
        faulty.FailAt(k, false);
        SaveReport r = s.SaveAllRouteProfiles(ctx);
        faulty.Reset();
        if (r.written) {
            EXPECT_EQ(test::Names(folder()), (std::vector<std::string>{"Profile_0001.dat", "Profile_0017.dat"})) << k;
            for (const auto& name : test::Names(folder())) ::unlink(file(name).c_str());
            for (const auto& [name, data] : before) test::WriteBytes(file(name), data);
            continue;
        }
        EXPECT_FALSE(r.written.error().message.empty());
        EXPECT_TRUE(server.commands.empty()) << k;
        EXPECT_TRUE(test::Snapshot(folder()) == before) << "operation " << k << ": " << r.written.error().message;
        EXPECT_EQ(s.at(0).Name(), "Moved");
        EXPECT_EQ(s.at(0).ProfileNumber(), 17) << k;
    }
}

// The process dies at every file operation of a profile save: after recovery
// the folder holds the complete old set or the complete new set.
TEST_F(RouteProfileStoreTest, KilledAtEveryOperationLeavesOldOrNewSet)
{
    put("Profile_0001.dat", ProfileFile(1, "One", 1));
    put("Profile_0005.dat", ProfileFile(17, "Moved", 2));
    const auto before = test::Snapshot(folder());
    const std::map<std::string, ByteBuffer> after = {{"Profile_0001.dat", ProfileFile(1, "One", 1)},
                                                     {"Profile_0017.dat", ProfileFile(17, "Moved", 2)}};
    test::KillAtEveryOperation(
        ctx.ProjectPath, folder(), before, after,
        [&](FileSystem& counting) {
            StoreContext c = ctx;
            c.log = {};
            RouteProfileStore s;
            if (s.ReadAllRouteProfiles(c) != 2) return false;
            c.fs = &counting;
            return s.SaveAllRouteProfiles(c).written.ok();
        },
        15);
}

} // namespace
} // namespace vel
