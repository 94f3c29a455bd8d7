// The history command: the lines saves and restores wrote, oldest first, as
// tab-separated lines or JSON, and what it does with a damaged line.

#include "app/command_line.h"
#include "records/history.h"
#include "records/save_transaction.h"
#include "tests/app/command_test_support.h"
#include "tests/support/test_project.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

#include <regex>
#include <sstream>

namespace vel {

using namespace Qt::StringLiterals;

namespace {

using test::Lines;
using test::Outcome;
using test::TestProject;
using test::Vel;

std::string HistoryFile(const TestProject& project)
{
    return project / (std::string(WorkFolderName) + "/" + HistoryFileName);
}

class HistoryCommand : public ::testing::Test {
protected:
    HistoryCommand()
    {
        project.AddReceiver(0, "Pager");
        project.AddReceiver(1, "Siren");
        project.AddProfile(1, "Day", -1, std::string("Pager\0Siren\0pager\0", 19));
    }
    TestProject project;
};

TEST_F(HistoryCommand, PrintsRenamesAndRestoresOldestFirst)
{
    const Outcome empty = Vel(project, {"history"});
    EXPECT_EQ(empty.status, ExitDone) << empty.err;
    EXPECT_EQ(empty.out, "");

    ASSERT_EQ(Vel(project, {"rename-receiver", "Pager", "Beeper"}).status, ExitDone);
    ASSERT_EQ(Vel(project, {"rename-profile", "Day", "Day\tand night"}).status, ExitRefused) << "a refused rename";
    ASSERT_EQ(Vel(project, {"rename-profile", "Day", "Early \\ late"}).status, ExitDone);
    ASSERT_EQ(Vel(project, {"--dry-run", "rename-profile", "Early \\ late", "Late"}).status, ExitDone);

    const Outcome listed = Vel(project, {"history"});
    ASSERT_EQ(listed.status, ExitDone) << listed.err;
    EXPECT_EQ(listed.err, "");
    auto lines = Lines(listed.out);
    ASSERT_EQ(lines.size(), 2U) << listed.out;
    const std::string when = R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ)";
    const std::string who = "[^\t]+\t[^\t]+";
    EXPECT_TRUE(std::regex_match(
        lines[0], std::regex(when + "\t" + who + R"(\treceivers\tPager\tBeeper\t2\tReceivers-\d{8}-\d{6}(-\d+)?)")))
        << lines[0];
    EXPECT_TRUE(
        std::regex_match(lines[1], std::regex(when + "\t" + who +
                                              R"(\tprofiles\tDay\tEarly \\\\ late\t0\tProfiles-\d{8}-\d{6}(-\d+)?)")))
        << lines[1] << " (a backslash is written as two)";

    const std::string backup = lines[0].substr(lines[0].rfind('\t') + 1);
    ASSERT_EQ(Vel(project, {"restore", "receivers", backup}).status, ExitDone);
    lines = Lines(Vel(project, {"history"}).out);
    ASSERT_EQ(lines.size(), 3U);
    EXPECT_TRUE(std::regex_match(lines[2], std::regex(when + "\t" + who + "\trestore-receivers\t\t" + backup +
                                                      R"(\t0\tReceivers-\d{8}-\d{6}(-\d+)?)")))
        << lines[2];

    const Outcome json = Vel(project, {"--format", "json", "history"});
    ASSERT_EQ(json.status, ExitDone) << json.err;
    const QJsonArray rows =
        QJsonDocument::fromJson(QByteArray::fromStdString(json.out)).object()[u"history"_s].toArray();
    ASSERT_EQ(rows.size(), 3);
    const QJsonObject first = rows[0].toObject();
    EXPECT_EQ(first.keys(),
              (QStringList{u"backup"_s, u"host"_s, u"items"_s, u"kind"_s, u"new"_s, u"old"_s, u"time"_s, u"user"_s}));
    EXPECT_EQ(first[u"old"_s].toString(), u"Pager"_s);
    EXPECT_EQ(first[u"new"_s].toString(), u"Beeper"_s);
    EXPECT_EQ(first[u"items"_s].toInt(), 2);
    EXPECT_EQ(first[u"backup"_s].toString().toStdString(), backup);
    EXPECT_EQ(rows[1].toObject()[u"new"_s].toString(), u"Early \\ late"_s) << "JSON holds the name itself";
    EXPECT_EQ(rows[2].toObject()[u"kind"_s].toString(), u"restore-receivers"_s);
    // The lines of tab-separated output and JSON tell the same time.
    EXPECT_EQ(first[u"time"_s].toString().toStdString(), Lines(listed.out)[0].substr(0, 20));
}

// A damaged line is named with its line number on standard error; the lines
// before and after it are printed, and the next save keeps it as it is.
TEST_F(HistoryCommand, ADamagedLineIsPassedOverWithAMessage)
{
    ASSERT_EQ(Vel(project, {"rename-receiver", "Pager", "Beeper"}).status, ExitDone);
    ByteBuffer file = test::ReadBytes(HistoryFile(project));
    const std::string damaged = "2026-13-01T00:00:00Z\tsomeone\tsomewhere\treceivers\tA\tB\t1\t\tx\n"
                                "half a line without its tabs\n";
    file.insert(file.end(), damaged.begin(), damaged.end());
    test::WriteBytes(HistoryFile(project), file);
    ASSERT_EQ(Vel(project, {"rename-receiver", "Beeper", "Buzzer"}).status, ExitDone);

    const Outcome listed = Vel(project, {"history"});
    EXPECT_EQ(listed.status, ExitDone);
    const auto lines = Lines(listed.out);
    ASSERT_EQ(lines.size(), 2U) << listed.out;
    EXPECT_NE(lines[0].find("\tPager\tBeeper\t"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("\tBeeper\tBuzzer\t"), std::string::npos) << lines[1];
    const auto messages = Lines(listed.err);
    ASSERT_EQ(messages.size(), 2U) << listed.err;
    EXPECT_NE(messages[0].find(".velnamechange/history.tsv line 3 is damaged and passed over"), std::string::npos)
        << messages[0];
    EXPECT_NE(messages[1].find("line 4 is damaged"), std::string::npos) << messages[1];

    const ByteBuffer now = test::ReadBytes(HistoryFile(project));
    const std::string text(now.begin(), now.end());
    EXPECT_NE(text.find(damaged), std::string::npos) << "the damaged lines are kept byte for byte";
}

TEST_F(HistoryCommand, UsageAndAnUnreadableHistory)
{
    EXPECT_EQ(Vel(project, {"history", "extra"}).status, ExitUsage);
    EXPECT_EQ(Vel(project, {"--dry-run", "history"}).status, ExitUsage);
    test::MakeDirs(HistoryFile(project));
    const Outcome r = Vel(project, {"history"});
    EXPECT_EQ(r.status, ExitSaveFailed);
    EXPECT_NE(r.err.find("the history of renames cannot be read"), std::string::npos) << r.err;
}

} // namespace
} // namespace vel
