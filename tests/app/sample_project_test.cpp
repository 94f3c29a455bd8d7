#include "examples/sample_generator/sample_project.h"

#include "project/rename_commands.h"
#include "tests/support/test_project.h"

#include "base/codepage.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace vel {
namespace {

using test::Snapshot;
using test::TestProject;

TEST(SampleProject, CommittedFilesAreWhatTheGeneratorWrites)
{
    auto files = SampleProjectFiles();
    ASSERT_TRUE(files.ok()) << files.error().message;
    std::map<std::string, ByteBuffer> expected(files->begin(), files->end());
    EXPECT_EQ(Snapshot(VEL_SAMPLE_PROJECT, true), expected)
        << "examples/Project differs from the generator: run vel_sample_generator examples/Project";

    TestProject fresh;
    ASSERT_TRUE(WriteSampleProject(RealFileSystem(), fresh.path()).ok());
    EXPECT_EQ(Snapshot(fresh.path()), expected);
}

TEST(SampleProject, LoadsEveryFileWithSchedules)
{
    TestProject project;
    project.CopyFrom(VEL_SAMPLE_PROJECT);
    auto suite = project.Open(false);
    const LoadReport report = suite->LoadAll();
    EXPECT_TRUE(report.complete());
    ASSERT_EQ(suite->ProfileTable.size(), 8u);
    ASSERT_EQ(suite->ReceiverTable.size(), 6u);
    ASSERT_EQ(project.log.lines.size(), 1U);
    EXPECT_NE(project.log.lines[0].find("'Receiver_0005.dat' (3 -> 4)"), std::string::npos);

    std::set<std::size_t> periodCounts;
    int disabled = 0;
    for (std::size_t i = 0; i < 8; ++i) {
        const cTimeSchedule& s = suite->ProfileTable.Schedule(i);
        EXPECT_GT(s.TotalPeriods(), 0U) << suite->ProfileTable.at(i).Name();
        periodCounts.insert(s.TotalPeriods());
        if (suite->ProfileTable.at(i).Enabled() == 0) ++disabled;
        // Every receiver a profile names exists.
        for (const AnsiText* list :
             {&suite->ProfileTable.at(i).ReceiverList1(), &suite->ProfileTable.at(i).ReceiverList2()}) {
            std::size_t start = 0;
            while (start < list->size()) {
                const std::size_t end = list->find('\0', start);
                ASSERT_NE(end, AnsiText::npos);
                const AnsiText name = list->substr(start, end - start);
                EXPECT_EQ(FindReceiversByName(*suite, Cp1252ToUtf8(name)).size(), 1U) << name;
                start = end + 1;
            }
        }
    }
    EXPECT_GE(periodCounts.size(), 5U); // the schedules differ
    EXPECT_EQ(disabled, 2);

    // A save without a rename writes every profile back byte for byte.
    const auto before = Snapshot(project / "Profiles");
    ASSERT_TRUE(SaveProfiles(*suite).ok());
    EXPECT_EQ(Snapshot(project / "Profiles"), before);
}

} // namespace
} // namespace vel
