#include "app/command_line.h"

#include "project/rename_commands.h"
#include "tests/support/test_project.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <sys/wait.h>

namespace vel {
namespace {

using test::Lines;
using test::Snapshot;
using test::TempDir;
using test::TestProject;

std::string Quote(const std::string& s)
{
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string ReadText(const std::string& path)
{
    if (!test::Exists(path)) return {};
    const ByteBuffer b = test::ReadBytes(path);
    return std::string(b.begin(), b.end());
}

struct ProgramRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs the program without a display: were it to create a QApplication on the
// xcb platform, it would abort.
ProgramRun RunProgram(const std::vector<std::string>& args, std::map<std::string, std::string> env = {},
                      const std::string& program = VEL_PROGRAM)
{
    static TempDir outputs;
    static int n = 0;
    const std::string out = outputs / ("out" + std::to_string(n));
    const std::string err = outputs / ("err" + std::to_string(n++));
    env.try_emplace("VELTRA2_LIBRARY", VEL_STANDIN_LIBRARY);
    env.try_emplace("VELTRA2_COMMAND_LOG", outputs / "commands.log");
    // No core file from a run that Qt aborts.
    std::string cmd = "ulimit -c 0; env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb";
    for (const auto& [k, v] : env) cmd += " " + k + "=" + Quote(v);
    cmd += " " + Quote(program);
    for (const auto& a : args) cmd += " " + Quote(a);
    cmd += " >" + Quote(out) + " 2>" + Quote(err) + " </dev/null";
    const int raw = std::system(cmd.c_str());
    ProgramRun r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = ReadText(out);
    r.err = ReadText(err);
    return r;
}

class CommandLineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        project.CopyFrom(VEL_SAMPLE_PROJECT);
        commandLog = project / "commands.log";
    }
    ProgramRun Vel(std::vector<std::string> args, std::map<std::string, std::string> env = {})
    {
        args.insert(args.begin(), {"--project", project.path()});
        env.try_emplace("VELTRA2_COMMAND_LOG", commandLog);
        return RunProgram(args, env);
    }
    std::map<std::string, ByteBuffer> Files() { return Snapshot(project.path()); }

    TestProject project;
    std::string commandLog;
};

TEST_F(CommandLineTest, ListsBothTablesInTableOrder)
{
    const ProgramRun profiles = Vel({"list-profiles"});
    ASSERT_EQ(profiles.status, 0) << profiles.err;
    EXPECT_EQ(Lines(profiles.out),
              (std::vector<std::string>{"0\t101\t1\tCaf\xC3\xA9 Hours", "1\t1\t1\tDay Shift", "2\t23\t1\tFire Alarm",
                                        "3\t12\t1\tHolidays", "4\t40\t0\tLunch Break", "5\t17\t0\tMaintenance",
                                        "6\t2\t1\tNight Shift", "7\t5\t1\tWeekend"}));

    const ProgramRun receivers = Vel({"list-receivers"});
    ASSERT_EQ(receivers.status, 0) << receivers.err;
    EXPECT_EQ(Lines(receivers.out),
              (std::vector<std::string>{"0\t1\tControl Room", "1\t1\tEmail Relay", "2\t1\tPager", "3\t1\tSiren",
                                        "4\t1\tSir\xC3\xA8ne Hall", "5\t0\tSMS Gateway"}));
    EXPECT_FALSE(test::Exists(commandLog));
}

TEST_F(CommandLineTest, RenameProfileTrimsSavesAndNotifies)
{
    const ProgramRun r = Vel({"rename-profile", "Day Shift", "  Early Shift "});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadText(commandLog), "RP:-1\t0\n");
    const ProgramRun list = Vel({"list-profiles"});
    EXPECT_NE(list.out.find("\t1\t1\tEarly Shift\n"), std::string::npos) << list.out;
    EXPECT_EQ(list.out.find("Day Shift"), std::string::npos);
}

TEST_F(CommandLineTest, RenameReceiverCascadesAndSavesBothKinds)
{
    const ProgramRun r = Vel({"rename-receiver", "Sir\xC3\xA8ne Hall", "Sir\xC3\xA8ne Nord"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadText(commandLog), "RR\t0\nRP:-1\t0\n");

    auto suite = project.Open();
    EXPECT_EQ(FindReceiversByName(*suite, "Sir\xC3\xA8ne Nord").size(), 1U);
    const auto fire = FindProfilesByName(*suite, "Fire Alarm");
    ASSERT_EQ(fire.size(), 1U);
    EXPECT_EQ(suite->ProfileTable.at(static_cast<std::size_t>(fire[0])).ReceiverList1(),
              std::string("Siren\0Sir\xE8ne Nord\0Pager\0", 24));
    // The version-3 receiver was upgraded by the save.
    const ByteBuffer first = test::ReadBytes(project / "Receivers/Receiver_0001.dat");
    EXPECT_EQ(first[0], 4);
}

TEST_F(CommandLineTest, RefusalsWriteNothing)
{
    const auto before = Files();
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const Case cases[] = {
        {{"rename-profile", "Weekend", "Holidays"}, "A Route Profile with this name already exists."},
        {{"rename-receiver", "Pager", "Siren"}, "A Receiver with this name already exists."},
        {{"rename-profile", "No Such", "X"}, "no route profile is named \"No Such\""},
        {{"rename-receiver", "siren", "X"}, "no receiver is named \"siren\""},
        {{"rename-profile", "Weekend", "   "}, "the new name is empty"},
        {{"rename-receiver", "Pager", "Pager \xCE\xA9"}, "cannot be stored"},
        {{"rename-receiver", "Pager", "Pa\tger"}, "control character U+0009"},
    };
    for (const Case& c : cases) {
        const ProgramRun r = Vel(c.args);
        EXPECT_EQ(r.status, 1) << c.args[1] << ": " << r.err;
        // The refusal is the last line of standard error (after the loaders' log lines).
        const auto lines = Lines(r.err);
        ASSERT_FALSE(lines.empty());
        EXPECT_NE(lines.back().find(c.message), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty());
    }
    EXPECT_EQ(Files(), before);
    EXPECT_FALSE(test::Exists(commandLog));
}

TEST_F(CommandLineTest, AmbiguousOldNameIsRefused)
{
    std::filesystem::copy_file(project / "Profiles/Profile_0005.dat", project / "Profiles/Profile_0099.dat");
    const auto before = Files();
    const ProgramRun r = Vel({"rename-profile", "Weekend", "Sunday"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("ambiguous"), std::string::npos) << r.err;
    EXPECT_EQ(Files(), before);
}

TEST_F(CommandLineTest, FailedSaveExitsWithThreeAndKeepsTheFiles)
{
    // The program's work folder is taken by a plain file, so no save can start.
    test::WriteBytes(project / ".velnamechange", test::Bytes({1}));
    const auto before = Files();
    const ProgramRun r = Vel({"rename-profile", "Weekend", "Sunday"});
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_NE(r.err.find("The route profiles were not saved; nothing on disk has changed."), std::string::npos)
        << r.err;
    EXPECT_EQ(Files(), before);

    const ProgramRun rr = Vel({"rename-receiver", "Pager", "Beeper"});
    EXPECT_EQ(rr.status, 3) << rr.err;
    EXPECT_NE(rr.err.find("The receivers and route profiles were not saved; nothing on disk has changed."),
              std::string::npos)
        << rr.err;
    EXPECT_EQ(Files(), before);
    EXPECT_FALSE(test::Exists(commandLog));
}

TEST_F(CommandLineTest, MissingServerLibraryExitsWithFourAfterSaving)
{
    const ProgramRun r = Vel({"rename-receiver", "Pager", "Beeper"},
                             {{"VELTRA2_LIBRARY", project / "missing/libVeltra2.so"}});
    EXPECT_EQ(r.status, 4) << r.err;
    EXPECT_NE(r.err.find("The receivers and route profiles are saved, but the alarm server was not told to reload "
                         "them"),
              std::string::npos)
        << r.err;
    auto suite = project.Open();
    EXPECT_EQ(FindReceiversByName(*suite, "Beeper").size(), 1U);
    EXPECT_EQ(
        suite->ProfileTable.at(static_cast<std::size_t>(FindProfilesByName(*suite, "Day Shift")[0])).ReceiverList1(),
        std::string("Siren\0Beeper\0", 13));
}

TEST_F(CommandLineTest, UsageErrorsExitWithTwo)
{
    const std::vector<std::vector<std::string>> bad = {
        {"rename-profile", "OnlyOld"},
        {"rename-receiver"},
        {"list-profiles", "extra"},
        {"frobnicate"},
        {"--format", "xml", "list-profiles"},
        {"--project"},
        {"--dry-run", "list-profiles"},
        {"--format", "json", "rename-profile", "a", "b"},
        {"-x", "check"},
        {"references"},
    };
    for (const auto& args : bad) {
        const ProgramRun r = RunProgram(args);
        EXPECT_EQ(r.status, 2) << args[0];
        EXPECT_NE(r.err.find("Usage:"), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty());
    }
    const ProgramRun missing = RunProgram({"--project", project / "nowhere", "list-profiles"});
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("does not exist"), std::string::npos);
}

TEST_F(CommandLineTest, HelpAndVersion)
{
    const ProgramRun help = RunProgram({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("rename-receiver OLD NEW"), std::string::npos);
    const ProgramRun version = RunProgram({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "VelNameChange 1.0.0\n");
    // As elsewhere on Linux, --help wins over everything else.
    const ProgramRun both = RunProgram({"--help", "list-profiles"});
    EXPECT_EQ(both.status, 0);
    EXPECT_EQ(both.out, help.out);
}

// Qt's own options reach Qt; the program's options around them still count.
TEST_F(CommandLineTest, QtOptionsAreNoUsageErrors)
{
    const ProgramRun version = RunProgram({"-style", "Fusion", "-reverse", "--platform=offscreen", "--version"});
    EXPECT_EQ(version.status, 0) << version.err;
    EXPECT_EQ(version.out, "VelNameChange 1.0.0\n");
    const ProgramRun list = Vel({"-style=Fusion", "-qwindowtitle", "Day desk", "list-receivers"});
    EXPECT_EQ(list.status, 0) << list.err;
    EXPECT_EQ(Lines(list.out).size(), 6U);
    // The window's Qt reads them: a platform that does not exist is Qt's complaint, not a usage error.
    const ProgramRun window = Vel({"-platform", "no-such-platform", "-style", "Fusion"});
    EXPECT_NE(window.status, 0);
    EXPECT_EQ(window.err.find("Unknown option"), std::string::npos) << window.err;
    EXPECT_NE(window.err.find("\"no-such-platform\""), std::string::npos) << window.err;
    // After the command word, "-style" is a name.
    const ProgramRun name = Vel({"references", "-style"});
    EXPECT_EQ(name.status, 0) << name.err;
    EXPECT_NE(name.err.find("no receiver is named \"-style\""), std::string::npos) << name.err;
}

TEST(SplitQtOptions, QtsOptionsApartFromTheProgramsOwn)
{
    using V = std::vector<std::string>;
    SplitArguments s = SplitQtOptions({"-style", "Fusion", "--project", "-reverse", "-platform=xcb", "--widgetcount",
                                       "--format=json", "-reverse", "check", "-style", "x"});
    EXPECT_EQ(s.qt, (V{"-style", "Fusion", "-platform=xcb", "--widgetcount", "-reverse"}));
    // --project takes the next argument as its value, even one that looks like Qt's.
    EXPECT_EQ(s.own, (V{"--project", "-reverse", "--format=json", "check", "-style", "x"}));

    s = SplitQtOptions({"--verbose", "--", "-reverse", "--style", "F"});
    EXPECT_TRUE(s.qt.empty());
    EXPECT_EQ(s.own, (V{"--verbose", "--", "-reverse", "--style", "F"}));
    s = SplitQtOptions({"--stylesheet", "a.qss", "-session", "s1", "-display", ":1", "-h"});
    EXPECT_EQ(s.qt, (V{"--stylesheet", "a.qss", "-session", "s1", "-display", ":1"}));
    EXPECT_EQ(s.own, V{"-h"});
    // A flag with a value, an unknown option and a value option at the end stay as they are.
    s = SplitQtOptions({"-reverse=1", "-x", "-style"});
    EXPECT_EQ(s.qt, V{"-style"});
    EXPECT_EQ(s.own, (V{"-reverse=1", "-x"}));
    EXPECT_EQ(ParseCommandLine(SplitQtOptions({"-style", "Fusion"}).own).mode, Invocation::Mode::Window);
}

TEST(CommandLineDefault, ProjectBesideTheProgram)
{
    TempDir install;
    std::filesystem::copy_file(VEL_PROGRAM, install / "VelNameChange");
    std::filesystem::copy(VEL_SAMPLE_PROJECT, install / "Project", std::filesystem::copy_options::recursive);
    const ProgramRun r = RunProgram({"list-receivers"}, {}, install / "VelNameChange");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Lines(r.out).size(), 6U);

    TempDir bare;
    std::filesystem::copy_file(VEL_PROGRAM, bare / "VelNameChange");
    const ProgramRun none = RunProgram({"list-profiles"}, {}, bare / "VelNameChange");
    EXPECT_EQ(none.status, 0) << none.err;
    EXPECT_TRUE(none.out.empty());
}

TEST(ParseCommandLine, ModesAndNames)
{
    auto p = ParseCommandLine({});
    EXPECT_EQ(p.mode, Invocation::Mode::Window);
    EXPECT_FALSE(p.projectGiven);

    p = ParseCommandLine({"--project", "/x/P"});
    EXPECT_EQ(p.mode, Invocation::Mode::Window);
    EXPECT_EQ(ResolveProjectPath(p), "/x/P");

    p = ParseCommandLine({"--project", "/x/P/", "rename-receiver", "--help", "-new"});
    EXPECT_EQ(p.mode, Invocation::Mode::RenameReceiver);
    EXPECT_EQ(p.oldName, "--help");
    EXPECT_EQ(p.newName, "-new");
    EXPECT_EQ(ResolveProjectPath(p), "/x/P/");

    EXPECT_EQ(ParseCommandLine({"--project", "a", "--project", "b"}).mode, Invocation::Mode::Usage);
    EXPECT_EQ(ParseCommandLine({"--project", ""}).mode, Invocation::Mode::Usage);
    EXPECT_EQ(ParseCommandLine({"list-receivers"}).mode, Invocation::Mode::ListReceivers);
    EXPECT_EQ(ParseCommandLine({"--version"}).mode, Invocation::Mode::Version);

    // Options only before the command word; after it, everything is a name.
    p = ParseCommandLine({"--dry-run", "--format=tsv", "rename-profile", "--dry-run", "--"});
    EXPECT_EQ(p.mode, Invocation::Mode::RenameProfile);
    EXPECT_TRUE(p.dryRun);
    EXPECT_EQ(p.oldName, "--dry-run");
    EXPECT_EQ(p.newName, "--");
    p = ParseCommandLine({"--format", "json", "--verbose", "--", "references", "-h"});
    EXPECT_EQ(p.mode, Invocation::Mode::References);
    EXPECT_EQ(p.format, Invocation::Format::Json);
    EXPECT_TRUE(p.verbose);
    EXPECT_EQ(p.oldName, "-h");
    EXPECT_EQ(ParseCommandLine({"check", "--help"}).mode, Invocation::Mode::Usage);
}

} // namespace
} // namespace vel
