// The order of a save's file operations is what keeps a set whole through a
// kill or a power cut (HACKING.md, "How a save works"). This test holds the
// operations of a start, a receiver rename, a profile rename, a restore, a
// second start, a rename whose disk fails past its commit point and the
// start that finishes it, as they run on a share disk in memory, against
// the list kept in save_operations.txt (folders closed and locks released
// among them): a change of code that moves, adds or drops a file operation
// fails here, however well the other tests still pass.
//
// When the order is meant to change, record the new list and read its diff
// before committing it:
//     VEL_RECORD_OPERATIONS=1 build/release/bin/vel_project_tests --gtest_filter='SaveOperationOrder.*'

#include "project/rename_commands.h"
#include "project/suite.h"
#include "tests/support/fault_injecting_file_system.h"
#include "tests/support/test_project.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <regex>

namespace vel {
namespace {

// The parts of an operation that differ from run to run or from machine to
// machine, whatever the order: the random name a history line is written
// under, the local time in backup names, the names a released or stale
// lock folder is put aside under (they count the locks of the process).
std::string Steady(const std::string& what)
{
    static const std::regex randomName(R"(\.history\.tsv\.[^ ]*\.tmp)");
    static const std::regex released(R"(\.held\.(released|stale)-[^ ]*)");
    static const std::regex localTime(R"([0-9]{8}-?[0-9]{6})");
    std::string steady = std::regex_replace(what, randomName, ".history.tsv.<random>.tmp");
    steady = std::regex_replace(steady, released, ".held.$1-<desk>");
    return std::regex_replace(steady, localTime, "<time>");
}

// What the commands of one session do on the disk.
void RunTheCommands(FaultInjectingFileSystem& watched, test::ShareDesk& desk, std::string& failFrom,
                    const std::function<void(const std::string&)>& step)
{
    step("start");
    auto suite = desk.Open(&watched);
    step("rename-receiver beta bravo");
    EXPECT_EQ(test::RenameReceiverAndSave(*suite, "beta", "bravo"), 0);
    desk.clock.now += 61;
    step("rename-profile north nord");
    EXPECT_EQ(test::RenameProfileAndSave(*suite, "north", "nord"), 0);
    desk.clock.now += 61;
    step("backups");
    auto backups = ListBackups(watched, test::ShareProject, {ProfileKind(), ReceiverKind()});
    EXPECT_TRUE(backups.ok());
    std::string oldest;
    if (backups)
        for (const BackupInfo& b : *backups)
            if (b.kind == ReceiverKind().kind && oldest.empty()) oldest = b.name;
    step("restore receivers " + oldest);
    EXPECT_TRUE(suite->Restore(ReceiverKind().kind, oldest).ok());
    step("start again");
    auto again = desk.Open(&watched);
    // Past the commit point the disk stops answering: the save can neither
    // finish nor undo, and the next start finishes it.
    step("rename-receiver carol charlie, the disk failing from its second file on");
    failFrom = "rename Receiver_0001.dat";
    EXPECT_EQ(test::RenameReceiverAndSave(*again, "carol", "charlie"), 5);
    watched.FailAt(0, false);
    step("start after the failure");
    auto after = desk.Open(&watched);
    step("the program ends");
}

// The operations of RunTheCommands, with what tells one run from another
// made steady.
std::vector<std::string> RecordTheCommands()
{
    std::vector<std::string> done;
    test::ShareDisk disk;
    test::LayOutShareProject(disk);
    test::ShareDesk desk(disk);
    FaultInjectingFileSystem watched(desk.mount);
    watched.CountReads(true);
    std::string failFrom; // the operation from which on the disk fails, once met
    watched.OnOperation([&](long k, const std::string& what) {
        done.push_back(Steady(what));
        if (!failFrom.empty() && what == failFrom) {
            watched.FailAt(k, true);
            failFrom.clear();
        }
    });
    watched.OnRelease([&done](const std::string& what) { done.push_back(what); });
    RunTheCommands(watched, desk, failFrom,
                   [&done](const std::string& name) { done.push_back("--- " + Steady(name)); });
    watched.OnOperation({});
    watched.OnRelease({});
    return done;
}

TEST(SaveOperationOrder, IsTheRecordedOne)
{
    const std::vector<std::string> done = RecordTheCommands();
    ASSERT_GT(done.size(), 100U);
    const std::string listFile = VEL_SAVE_OPERATIONS;
    if (std::getenv("VEL_RECORD_OPERATIONS") != nullptr) {
        std::ofstream out(listFile);
        for (const std::string& line : done) out << line << '\n';
        ASSERT_TRUE(out.good()) << listFile;
        return;
    }
    std::ifstream in(listFile);
    ASSERT_TRUE(in.good()) << listFile << " is missing";
    std::vector<std::string> recorded;
    for (std::string line; std::getline(in, line);) recorded.push_back(line);

    // The first difference, with the step it falls in.
    std::string stepName;
    for (std::size_t i = 0; i < std::max(done.size(), recorded.size()); ++i) {
        const std::string now = i < done.size() ? done[i] : "(nothing)";
        const std::string was = i < recorded.size() ? recorded[i] : "(nothing)";
        if (now.rfind("--- ", 0) == 0) stepName = now;
        ASSERT_EQ(now, was) << "operation " << i + 1 << " of " << stepName
                            << " differs from save_operations.txt; see the comment at the top of this test";
    }
}

} // namespace
} // namespace vel
