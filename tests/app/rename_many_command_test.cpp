// rename-many through the command line: the file's lines, one commit with
// one reload command per kind changed, refusals that leave every byte, the
// dry run, and the history it leaves.

#include "app/command_line.h"
#include "records/history.h"
#include "tests/app/command_test_support.h"
#include "tests/support/test_project.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

namespace vel {
namespace {

using test::Lines;
using test::Nul;
using test::Outcome;
using test::TestProject;

class RenameManyCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        project.AddReceiver(0, "Alpha");
        project.AddReceiver(1, "Bravo");
        project.AddReceiver(2, "Charlie");
        project.AddProfile(1, "Day", -1, Nul({"Alpha", "Bravo", "charlie"}), Nul({"bravo"}));
        project.AddProfile(2, "Night", -1, Nul({"Charlie", "Alpha"}));
    }
    // The program on the project with `input` as standard input.
    Outcome Vel(std::vector<std::string> args, const std::string& input = {})
    {
        std::istringstream in(input);
        return test::Vel(project, std::move(args), &RealFileSystem(), &in);
    }
    std::vector<std::string> Listed(const char* command) { return Lines(Vel({command}).out); }
    std::vector<AnsiText> Lists()
    {
        auto suite = project.Open();
        std::vector<AnsiText> lists;
        for (const RouteProfileEntry& e : suite->ProfileTable.Entries())
            lists.insert(lists.end(), {e.record.Name(), e.record.ReceiverList1(), e.record.ReceiverList2()});
        return lists;
    }
    std::vector<HistoryEntry> History()
    {
        auto h = ReadHistory(RealFileSystem(), project.path(), {});
        EXPECT_TRUE(h.ok());
        return h ? *h : std::vector<HistoryEntry>{};
    }

    TestProject project;
};

TEST_F(RenameManyCommand, ASwapAndAChainInOneCommitWithOneReloadPerKind)
{
    const Outcome r = Vel({"rename-many", "-"}, "# the site is renamed\n"
                                                "receiver\tAlpha\tBravo\n"
                                                "\n"
                                                "receiver\tBravo\tAlpha\n"
                                                "receiver\tCharlie\tDelta\n"
                                                "profile\tDay\tEarly\n");
    ASSERT_EQ(r.status, ExitDone) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(Listed("list-receivers"), (std::vector<std::string>{"0\t1\tAlpha", "1\t1\tBravo", "2\t1\tDelta"}));
    EXPECT_EQ(Lists(), (std::vector<AnsiText>{"Early", Nul({"Bravo", "Alpha", "Delta"}), Nul({"Alpha"}), "Night",
                                              Nul({"Delta", "Bravo"}), ""}));
    EXPECT_EQ(project.server.commands, (std::vector<std::string>{"RR\t0", "RP:-1\t0"}));

    // One commit: one backup of each kind, and one history line per rename
    // under one save id, in the order of the file.
    EXPECT_EQ(Lines(Vel({"backups"}).out).size(), 2U);
    const auto lines = History();
    ASSERT_EQ(lines.size(), 4U);
    std::set<std::string> saves;
    for (const HistoryEntry& h : lines) saves.insert(h.save);
    EXPECT_EQ(saves.size(), 1U);
    EXPECT_EQ(lines[0].oldName + ">" + lines[0].newName, "Alpha>Bravo");
    EXPECT_EQ(lines[0].items, 2);
    EXPECT_EQ(lines[1].oldName + ">" + lines[1].newName, "Bravo>Alpha");
    EXPECT_EQ(lines[1].items, 2);
    EXPECT_EQ(lines[2].oldName + ">" + lines[2].newName, "Charlie>Delta");
    EXPECT_EQ(lines[2].items, 2);
    EXPECT_EQ(lines[3].kind, "profiles");
    EXPECT_EQ(lines[3].oldName + ">" + lines[3].newName, "Day>Early");
}

TEST_F(RenameManyCommand, RefusedLinesAreAllNamedAndLeaveEveryByte)
{
    // A history and a backup already there must stay as they are too.
    ASSERT_EQ(Vel({"rename-profile", "Night", "Late"}).status, ExitDone);
    project.server.commands.clear();
    const auto before = test::Snapshot(project.path(), true);

    const Outcome r = Vel({"rename-many", "-"}, "receiver\tAlpha\tZulu\n"       // 1 fine
                                                "receiver\tEcho\tFoxtrot\n"     // 2 no such receiver
                                                "profile\tDay\n"                // 3 two fields
                                                "station\tDay\tNight\n"         // 4 no such kind
                                                "profile\tDay\tLATE\n"          // 5 fine: profiles compare exactly
                                                "receiver\tBravo\tcharlie\n"    // 6 Charlie stays
                                                "receiver\tCharlie\tCaf\xE9\n"  // 7 not UTF-8
                                                "receiver\tAlpha\tYankee\r\n"); // 8 Alpha twice
    EXPECT_EQ(r.status, ExitRefused);
    const auto messages = Lines(r.err);
    ASSERT_EQ(messages.size(), 8U) << r.err;
    EXPECT_EQ(messages[0], "VelNameChange: standard input line 1: the receiver \"Alpha\" is renamed on line 8 too");
    EXPECT_EQ(messages[1], "VelNameChange: standard input line 2: no receiver is named \"Echo\"");
    EXPECT_NE(messages[2].find("line 3: the line holds 2 fields"), std::string::npos) << messages[2];
    EXPECT_NE(messages[3].find("line 4: the line starts with \"station\""), std::string::npos) << messages[3];
    EXPECT_EQ(messages[4], "VelNameChange: standard input line 6: A Receiver with this name already exists. It is "
                           "the name of the receiver \"Charlie\".");
    EXPECT_EQ(messages[5], "VelNameChange: standard input line 7: the line is not UTF-8");
    EXPECT_EQ(messages[6], "VelNameChange: standard input line 8: the receiver \"Alpha\" is renamed on line 1 too");
    EXPECT_EQ(messages[7], "VelNameChange: 7 of 8 lines were refused; nothing was renamed or written");
    const Outcome again = Vel({"rename-many", "-"}, "receiver\tEcho\tFoxtrot\n");
    EXPECT_EQ(Lines(again.err).back(), "VelNameChange: 1 of 1 line was refused; nothing was renamed or written");

    EXPECT_EQ(test::Snapshot(project.path(), true), before);
    EXPECT_TRUE(project.server.commands.empty());
}

TEST_F(RenameManyCommand, ADryRunPrintsTheChangesAndWritesNothing)
{
    const auto before = test::Snapshot(project.path(), true);
    const Outcome r = Vel({"--dry-run", "rename-many", "-"}, "receiver\tAlpha\tBravo\n"
                                                             "receiver\tBravo\tAlpha\n"
                                                             "profile\tNight\tLate\n");
    ASSERT_EQ(r.status, ExitDone) << r.err;
    EXPECT_EQ(Lines(r.out), (std::vector<std::string>{
                                "receiver\tAlpha\tBravo", "receiver\tBravo\tAlpha", "profile\t2\tNight\tLate",
                                "list\t1\tDay\t1\tAlpha\\x00Bravo\\x00charlie\\x00\tBravo\\x00Alpha\\x00charlie\\x00",
                                "list\t1\tDay\t2\tbravo\\x00\tAlpha\\x00",
                                "list\t2\tLate\t1\tCharlie\\x00Alpha\\x00\tCharlie\\x00Bravo\\x00"}));
    EXPECT_NE(r.err.find("dry run: 2 receivers and 1 route profile would be renamed and 3 profile receiver lists "
                         "changed, in one commit; nothing was written"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(test::Snapshot(project.path(), true), before);
    EXPECT_TRUE(project.server.commands.empty());
}

// A file of profile renames only: the profiles alone are saved, and only
// their reload command is posted. Windows line ends and a byte order mark
// are read as an editor there writes them.
TEST_F(RenameManyCommand, ProfilesAloneFromAFile)
{
    const std::string file = project / "renames.txt";
    const std::string text = "\xEF\xBB\xBFprofile\tDay\tCaf\xC3\xA9\r\n# done\r\n   \r\nprofile\tNight\tNight\r\n";
    test::WriteBytes(file, ByteBuffer(text.begin(), text.end()));
    const Outcome r = Vel({"rename-many", file});
    ASSERT_EQ(r.status, ExitDone) << r.err;
    EXPECT_EQ(r.err, "VelNameChange: note: " + file + " line 4: the entry already bears that name\n");
    EXPECT_EQ(Listed("list-profiles"), (std::vector<std::string>{"0\t1\t1\tCaf\xC3\xA9", "1\t2\t1\tNight"}));
    EXPECT_EQ(project.server.commands, (std::vector<std::string>{"RP:-1\t0"}));
    EXPECT_EQ(History().size(), 1U);

    const Outcome nothing = Vel({"rename-many", "-"}, "# nothing to do\n\n");
    EXPECT_EQ(nothing.status, ExitDone);
    EXPECT_NE(nothing.err.find("nothing was saved"), std::string::npos) << nothing.err;
}

TEST_F(RenameManyCommand, UsageErrors)
{
    EXPECT_EQ(Vel({"rename-many"}).status, ExitUsage);
    EXPECT_EQ(Vel({"rename-many", "a", "b"}).status, ExitUsage);
    EXPECT_EQ(Vel({"--format", "json", "rename-many", "-"}).status, ExitUsage);
    const Outcome missing = Vel({"rename-many", project / "no such file"});
    EXPECT_EQ(missing.status, ExitUsage);
    EXPECT_NE(missing.err.find("cannot be read"), std::string::npos) << missing.err;
    EXPECT_EQ(ParseCommandLine({"--dry-run", "rename-many", "-"}).mode, Invocation::Mode::RenameMany);
}

} // namespace
} // namespace vel
