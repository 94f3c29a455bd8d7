// The configuration file: its format as documented, its mistakes, and that
// it is read through the file layer.

#include "app/settings.h"

#include "records/save_transaction.h"
#include "tests/support/fault_injecting_file_system.h"
#include "tests/support/test_util.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace vel {
namespace {

using test::TempDir;

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("XDG_CONFIG_HOME", config.path().c_str(), 1); }
    void TearDown() override { ::unsetenv("XDG_CONFIG_HOME"); }
    void Write(const std::string& text)
    {
        test::WriteBytes(config / "VelNameChange/VelNameChange.conf", ByteBuffer(text.begin(), text.end()));
    }

    TempDir config;
};

TEST_F(SettingsTest, ReadsTheDocumentedFormat)
{
    std::string problem;
    EXPECT_EQ(ConfiguredKeptBackups(&problem), DefaultKeptBackups) << "no file: the default";
    EXPECT_EQ(ConfiguredStaleLockMinutes(&problem), DefaultStaleLockMinutes);
    EXPECT_TRUE(problem.empty()) << problem;

    // Comments, another section, blanks, quotes, a carriage return; the first
    // key outside a section or in [General] counts.
    Write("# keep-backups=90\n; keep-backups=91\n[Other]\nkeep-backups=92\n[General]\n"
          "  keep-backups = \"25\" \r\nkeep-backups=30\nstale-lock-minutes=7");
    EXPECT_EQ(ConfiguredKeptBackups(&problem), 25U);
    EXPECT_EQ(ConfiguredStaleLockMinutes(&problem), 7);
    EXPECT_TRUE(problem.empty()) << problem;

    Write("keep-backups=5\nstale-lock-minutes=1\n");
    EXPECT_EQ(ConfiguredKeptBackups(&problem), DefaultKeptBackups) << "never fewer than the default";
    EXPECT_EQ(ConfiguredStaleLockMinutes(&problem), 1);
    EXPECT_TRUE(problem.empty()) << problem;
}

TEST_F(SettingsTest, AValueThatIsNoNumberKeepsTheDefaultAndSaysSo)
{
    const std::string file = config / "VelNameChange/VelNameChange.conf";
    Write("keep-backups=-3\nstale-lock-minutes=0\n");
    std::string problem;
    EXPECT_EQ(ConfiguredKeptBackups(&problem), DefaultKeptBackups);
    EXPECT_EQ(problem, file + ": keep-backups=-3 is no number; 20 backups of each kind are kept");
    problem.clear();
    EXPECT_EQ(ConfiguredStaleLockMinutes(&problem), DefaultStaleLockMinutes);
    EXPECT_EQ(problem, file + ": stale-lock-minutes=0 is no number of minutes; 30 minutes are used");
}

TEST_F(SettingsTest, IsReadThroughTheFileLayer)
{
    const std::string project = config / "Elsewhere";
    Write("project=" + project + "\nkeep-backups=40\n");
    test::MakeDirs(project);
    ::unsetenv("VELNAMECHANGE_PROJECT");
    const Invocation none;
    EXPECT_EQ(ChooseProject(none).path, project);

    // Every operation of the layer fails: the file cannot be read, which is
    // told as a problem of the project's choice, and the settings keep their
    // defaults.
    FaultInjectingFileSystem failing(RealFileSystem());
    failing.CountReads(true);
    failing.FailAt(1, true);
    const ProjectChoice choice = ChooseProject(none, failing);
    EXPECT_EQ(choice.from, config / "VelNameChange/VelNameChange.conf");
    EXPECT_NE(choice.problem.error().message.find("injected failure"), std::string::npos)
        << choice.problem.error().message;
    EXPECT_GT(failing.operations(), 0);
    EXPECT_EQ(ConfiguredKeptBackups(nullptr, failing), DefaultKeptBackups);
    EXPECT_EQ(ConfiguredKeptBackups(nullptr), 40U);
}

} // namespace
} // namespace vel
