// check, references, --dry-run, --format json, plain messages, escaped names,
// the project's location and the exit status of an unfinished save, through
// the command line (in process with RunCommand, or the program itself).

#include "app/command_line.h"
#include "gui/main_window.h"
#include "project/project_check.h"
#include "gui/prompt.h"
#include "tests/app/command_test_support.h"
#include "tests/support/fault_injecting_file_system.h"
#include "tests/support/test_project.h"
#include "records/save_transaction.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <sys/wait.h>

namespace vel {

using namespace Qt::StringLiterals;

namespace {

using test::Lines;
using test::Nul;
using test::Outcome;
using test::TempDir;
using test::TestProject;
using test::Vel;

QJsonObject Json(const std::string& text)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString() << "\n" << text;
    EXPECT_TRUE(doc.isObject());
    return doc.object();
}

// A project with one of every problem check looks for.
class ProblemProject : public ::testing::Test {
protected:
    void SetUp() override
    {
        project.AddReceiver(1, "Siren");
        project.AddReceiver(2, "SIREN");
        project.AddReceiver(3, "Pager");
        // "pager" names Pager (case is ignored); "Pagr" names nobody; the
        // empty item names nothing.
        project.AddProfile(1, "Day", -1, Nul({"pager", "Pagr"}), Nul({"", "siren"}));
        project.AddProfile(2, "Day");
        project.AddProfile(3, "Late");
        std::filesystem::rename(project / "Profiles/Profile_0003.dat", project / "Profiles/Profile_0004.dat");
        project.AddProfile(3, "Night", 0, std::string("Gone"));
        test::WriteBytes(project / "Receivers/Receiver_0009.dat", test::Bytes({7, 0, 0, 0}));
    }
    TestProject project;
};

TEST_F(ProblemProject, CheckReportsEachFindingOnOneLine)
{
    // A save of the receivers that is committed and still running elsewhere:
    // its marker stays, since the load leaves a locked kind alone.
    test::MakeDirs(project / ".velnamechange");
    test::WriteBytes(project / ".velnamechange/Receivers.commit", test::Bytes({'x'}));
    auto work = OpenFolder(RealFileSystem(), project / ".velnamechange");
    ASSERT_TRUE(work.ok());
    auto lock = RealFileSystem().LockAt(work->handle(), "Receivers.lock", {});
    ASSERT_TRUE(lock.ok());
    const Outcome r = Vel(project, {"check"});
    RealFileSystem().Unlock(*lock);

    EXPECT_EQ(r.status, 1) << r.err;
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 7U) << r.out;
    EXPECT_EQ(lines[0], "passed-over\tReceiver_0009.dat\tfile version 7 is not known");
    EXPECT_EQ(lines[1].rfind("unfinished-save\t.velnamechange/Receivers.commit\t", 0), 0U) << lines[1];
    EXPECT_EQ(lines[2], "no-receiver\t1\tDay\t1\t2\tPagr");
    EXPECT_EQ(lines[3], "no-receiver\t3\tNight\t1\t1\tGone");
    EXPECT_EQ(lines[4], "receivers-same-name\tSiren\tSIREN");
    EXPECT_EQ(lines[5], "profiles-same-name\tDay\t1\t2");
    EXPECT_EQ(lines[6], "profiles-same-number\t3\tLate\tNight");
    // The passed-over file is also told on standard error, in a sentence.
    EXPECT_NE(r.err.find("Receiver_0009.dat was passed over and is not loaded: file version 7 is not known"),
              std::string::npos)
        << r.err;
}

TEST_F(ProblemProject, CheckAsJsonAndReferences)
{
    const Outcome check = Vel(project, {"--format", "json", "check"});
    EXPECT_EQ(check.status, 1);
    const QJsonArray findings = Json(check.out)[u"findings"_s].toArray();
    ASSERT_EQ(findings.size(), 6);
    const QJsonObject dangling = findings[1].toObject();
    EXPECT_EQ(dangling[u"finding"_s].toString(), u"no-receiver"_s);
    EXPECT_EQ(dangling[u"profile"_s].toString(), u"Day"_s);
    EXPECT_EQ(dangling[u"list"_s].toInt(), 1);
    EXPECT_EQ(dangling[u"position"_s].toInt(), 2);
    EXPECT_EQ(dangling[u"item"_s].toString(), u"Pagr"_s);
    EXPECT_EQ(findings[3].toObject()[u"names"_s].toArray(), (QJsonArray{u"Siren"_s, u"SIREN"_s}));

    const Outcome refs = Vel(project, {"references", "siren"});
    EXPECT_EQ(refs.status, 0) << refs.err;
    EXPECT_EQ(Lines(refs.out), (std::vector<std::string>{"1\tDay\t2\t2\tsiren"}));

    const Outcome json = Vel(project, {"--format", "json", "references", "PAGER"});
    const QJsonObject o = Json(json.out);
    EXPECT_EQ(o[u"receiver"_s].toString(), u"PAGER"_s);
    ASSERT_EQ(o[u"references"_s].toArray().size(), 1);
    EXPECT_EQ(o[u"references"_s].toArray()[0].toObject()[u"item"_s].toString(), u"pager"_s);
    EXPECT_EQ(o[u"references"_s].toArray()[0].toObject()[u"profileNumber"_s].toInt(), 1);

    // A name no receiver bears: said, and the lists are searched all the same.
    const Outcome gone = Vel(project, {"references", "gone"});
    EXPECT_EQ(gone.status, 0);
    EXPECT_EQ(Lines(gone.out), (std::vector<std::string>{"3\tNight\t1\t1\tGone"}));
    EXPECT_NE(gone.err.find("no receiver is named \"gone\""), std::string::npos) << gone.err;
}

TEST(Check, CleanProjectAndFailedRecovery)
{
    TestProject project;
    project.AddReceiver(1, "Siren");
    project.AddProfile(1, "Day", -1, Nul({"SIREN"}));
    const Outcome r = Vel(project, {"check"});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(r.out.empty());

    // The load reports a recovery it could not finish against the work folder.
    auto suite = project.Open();
    LoadReport report;
    report.passedOver.push_back({WorkFolder(suite->Context.ProjectPath), "cannot read the marker"});
    const auto findings = CheckProject(*suite, report);
    ASSERT_EQ(findings.size(), 1U);
    EXPECT_EQ(findings[0].kind, Finding::Kind::UnfinishedSave);
    EXPECT_NE(findings[0].reason.find("cannot read the marker"), std::string::npos);
}

class FakePrompt final : public Prompt {
public:
    QString AskText(const QString&, const QString&) override { return {}; }
    void Tell(const QString& message) override { told.push_back(message.toStdString()); }
    CloseAnswer AskUnsavedOnClose(SavedKind) override { return CloseAnswer::Cancel; }
    TiedSaveAnswer AskSaveTied(SavedKind) override { return TiedSaveAnswer::Cancel; }
    std::vector<std::string> told;
};

TEST_F(ProblemProject, WindowTellsTheFindingsOnceAtStartUp)
{
    auto suite = project.Open(false);
    FakePrompt prompt;
    MainWindow window(*suite, prompt);
    window.ReportIncompleteLoad(window.StartUp());
    ASSERT_EQ(prompt.told.size(), 1U);
    const std::string& text = prompt.told[0];
    EXPECT_NE(text.find("Receiver_0009.dat"), std::string::npos) << text;
    EXPECT_NE(text.find("names \"Pagr\" in its receiver list 1 at position 2"), std::string::npos) << text;
    EXPECT_NE(text.find("share the number 3"), std::string::npos) << text;
}

TEST(NamesInOutput, ControlCharactersAreEscaped)
{
    TestProject project;
    const AnsiText odd = "Tab\tLine\nBack\\slash\x81\x7F";
    project.AddReceiver(1, odd);
    project.AddProfile(1, "P\r", -1, odd + '\0' + "Nobody\x01" + '\0');
    const Outcome list = Vel(project, {"list-receivers"});
    EXPECT_EQ(list.out, "0\t1\tTab\\tLine\\nBack\\\\slash\\x81\\x7F\n");
    const Outcome profiles = Vel(project, {"list-profiles"});
    EXPECT_EQ(profiles.out, "0\t1\t1\tP\\x0D\n");
    const Outcome check = Vel(project, {"check"});
    EXPECT_EQ(check.out, "no-receiver\t1\tP\\x0D\t1\t2\tNobody\\x01\n");
    // JSON carries the names as they are.
    const Outcome json = Vel(project, {"--format", "json", "list-receivers"});
    EXPECT_EQ(Json(json.out)[u"receivers"_s].toArray()[0].toObject()[u"name"_s].toString(),
              QString::fromUtf8("Tab\tLine\nBack\\slash\xC2\x81\x7F"));
}

class SampleCopy : public ::testing::Test {
protected:
    void SetUp() override { project.CopyFrom(VEL_SAMPLE_PROJECT); }
    TestProject project;
};

TEST_F(SampleCopy, ProfilesAsJson)
{
    const Outcome profiles = Vel(project, {"--format", "json", "list-profiles"});
    ASSERT_EQ(profiles.status, 0);
    const QJsonArray rows = Json(profiles.out)[u"profiles"_s].toArray();
    ASSERT_EQ(rows.size(), 8);
    EXPECT_EQ(rows[0].toObject()[u"name"_s].toString(), QString::fromUtf8("Caf\xC3\xA9 Hours"));
    EXPECT_EQ(rows[0].toObject()[u"profileNumber"_s].toInt(), 101);
    EXPECT_EQ(rows[4].toObject()[u"enabled"_s].toBool(), false);
}

TEST_F(SampleCopy, PlainMessagesAndTheSuiteLogOnlyWhenVerbose)
{
    const Outcome plain = Vel(project, {"list-receivers"});
    EXPECT_EQ(plain.err, "VelNameChange: The receiver file Receiver_0005.dat is in file version 3 and is converted "
                         "to version 4 at the next save of the receivers.\n");
    const Outcome verbose = Vel(project, {"--verbose", "list-receivers"});
    EXPECT_NE(verbose.err.find("log: Invalid Text (888) 'Receiver_0005.dat' (3 -> 4)"), std::string::npos)
        << verbose.err;
    EXPECT_NE(verbose.err.find("is converted to version 4"), std::string::npos);

    // What the start does with an interrupted save is told without --verbose too.
    test::WriteBytes(project / ".velnamechange/Profiles.staging/Profile_0001.dat", test::Bytes({4, 0}));
    const Outcome recovered = Vel(project, {"list-receivers"});
    EXPECT_NE(recovered.err.find("An unfinished save of the route profiles had not reached its commit point and was "
                                 "thrown away"),
              std::string::npos)
        << recovered.err;
}

TEST_F(SampleCopy, DryRunsShowTheChangeAndWriteAndPostNothing)
{
    const auto before = test::Snapshot(project.path(), true);
    const Outcome receiver = Vel(project, {"--dry-run", "rename-receiver", "Sir\xC3\xA8ne Hall", "Sir\xC3\xA8ne Nord"});
    EXPECT_EQ(receiver.status, 0) << receiver.err;
    EXPECT_EQ(Lines(receiver.out),
              (std::vector<std::string>{
                  "receiver\tSir\xC3\xA8ne Hall\tSir\xC3\xA8ne Nord",
                  "list\t101\tCaf\xC3\xA9 Hours\t1\tSir\xC3\xA8ne Hall\\x00\tSir\xC3\xA8ne Nord\\x00",
                  "list\t23\tFire Alarm\t1\tSiren\\x00Sir\xC3\xA8ne Hall\\x00Pager\\x00\tSiren\\x00Sir\xC3\xA8ne "
                  "Nord\\x00Pager\\x00",
                  "list\t12\tHolidays\t1\tSiren\\x00Sir\xC3\xA8ne Hall\\x00\tSiren\\x00Sir\xC3\xA8ne Nord\\x00"}));
    EXPECT_NE(receiver.err.find("nothing was written and no reload command was posted"), std::string::npos);

    const Outcome profile = Vel(project, {"--dry-run", "rename-profile", "Weekend", " Sunday "});
    EXPECT_EQ(profile.status, 0) << profile.err;
    EXPECT_EQ(profile.out, "profile\t5\tWeekend\tSunday\n");

    // The same refusals as a real rename.
    const Outcome duplicate = Vel(project, {"--dry-run", "rename-receiver", "Pager", "Siren"});
    EXPECT_EQ(duplicate.status, 1);
    EXPECT_NE(duplicate.err.find("A Receiver with this name already exists."), std::string::npos);
    EXPECT_TRUE(duplicate.out.empty());

    EXPECT_EQ(test::Snapshot(project.path(), true), before);
    EXPECT_TRUE(project.server.commands.empty());
}

TEST_F(SampleCopy, SaveCommittedButNotFinishedExitsWithFive)
{
    // Every operation after the commit marker is in place and its folder
    // flushed (the commit point) fails: the save can be neither finished nor
    // undone now.
    FaultInjectingFileSystem faulty(RealFileSystem());
    faulty.OnOperation([&faulty](long k, const std::string& what) {
        if (what.starts_with("rename .Profiles.commit.")) faulty.FailAt(k + 2, true);
    });
    const Outcome r = Vel(project, {"rename-profile", "Weekend", "Sunday"}, &faulty);
    EXPECT_EQ(r.status, ExitUnfinished) << r.err;
    EXPECT_TRUE(project.server.commands.empty());

    // The next start finishes the save.
    const Outcome list = Vel(project, {"list-profiles"});
    EXPECT_NE(list.out.find("\tSunday\n"), std::string::npos) << list.out << list.err;
    EXPECT_EQ(SaveFailureStatus(ErrorCode::Conflict), ExitSaveFailed);
}

// --- The program itself, installed into folders of its own ----------------

struct ProgramRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string Quote(const std::string& s)
{
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string ReadText(const std::string& path)
{
    const ByteBuffer b = test::ReadBytes(path);
    return std::string(b.begin(), b.end());
}

ProgramRun RunIn(const std::string& folder, const std::string& program, const std::vector<std::string>& args,
                 const std::map<std::string, std::string>& env)
{
    static TempDir outputs;
    static int n = 0;
    const std::string out = outputs / ("out" + std::to_string(n));
    const std::string err = outputs / ("err" + std::to_string(n++));
    std::string cmd = "cd " + Quote(folder) +
                      " && env -u VELNAMECHANGE_PROJECT -u XDG_CONFIG_HOME -u DISPLAY -u WAYLAND_DISPLAY";
    for (const auto& [k, v] : env) cmd += " " + k + "=" + Quote(v);
    cmd += " " + Quote(program);
    for (const auto& a : args) cmd += " " + Quote(a);
    cmd += " >" + Quote(out) + " 2>" + Quote(err) + " </dev/null";
    const int raw = std::system(cmd.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadText(out), ReadText(err)};
}

TEST(ProjectLocation, BesideTheProgramThenEnvironmentThenConfigurationThenEmpty)
{
    TempDir root;
    test::MakeDirs(root / "install");
    test::MakeDirs(root / "home");
    test::MakeDirs(root / "work");
    const std::string program = root / "install/VelNameChange";
    std::filesystem::copy_file(VEL_PROGRAM, program);
    auto makeProject = [&](const std::string& dir, const AnsiText& receiver) {
        test::MakeDirs(dir + "/Receivers");
        TestProject p;
        p.AddReceiver(1, receiver);
        std::filesystem::copy_file(p / "Receivers/Receiver_0001.dat", dir + "/Receivers/Receiver_0001.dat");
    };
    makeProject(root / "install/Project", "Beside");
    makeProject(root / "work/FromEnv", "Env");
    makeProject(root / "work/FromConf", "Conf");
    makeProject(root / "home/.config/VelNameChange/P", "Home");
    test::MakeDirs(root / "xdg/VelNameChange");
    {
        std::ofstream conf(root / "xdg/VelNameChange/VelNameChange.conf");
        conf << "# the project\n[General]\n project = FromConf \n";
    }
    {
        std::ofstream conf(root / "home/.config/VelNameChange/VelNameChange.conf");
        conf << "project=" << root / "home/.config/VelNameChange/P"
             << "\n";
    }
    const std::map<std::string, std::string> env{{"VELNAMECHANGE_PROJECT", "FromEnv"},
                                                 {"XDG_CONFIG_HOME", root / "xdg"},
                                                 {"HOME", root / "home"}};
    auto receiver = [&](const std::map<std::string, std::string>& e) {
        const ProgramRun r = RunIn(root / "work", program, {"list-receivers"}, e);
        EXPECT_EQ(r.status, 0) << r.err;
        return r.out;
    };
    EXPECT_EQ(receiver(env), "0\t1\tBeside\n");
    std::filesystem::remove_all(root / "install/Project");
    EXPECT_EQ(receiver(env), "0\t1\tEnv\n");
    EXPECT_EQ(receiver({{"XDG_CONFIG_HOME", root / "xdg"}, {"HOME", root / "home"}}), "0\t1\tConf\n");
    EXPECT_EQ(receiver({{"HOME", root / "home"}}), "0\t1\tHome\n");
    EXPECT_EQ(receiver({{"HOME", root / "nowhere"}}), "");

    // A relative --project is taken from the working folder.
    const ProgramRun given = RunIn(root / "work", program, {"--project", "./FromEnv", "list-receivers"}, env);
    EXPECT_EQ(given.out, "0\t1\tEnv\n");
    // A named folder that is missing is a usage error that says who named it.
    const ProgramRun missing = RunIn(root / "work", program, {"list-receivers"}, {{"VELNAMECHANGE_PROJECT", "Nope"}});
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("VELNAMECHANGE_PROJECT"), std::string::npos) << missing.err;
}

// --- Help and man page in step ---------------------------------------------

std::set<std::string> Matches(const std::string& text, const std::string& pattern)
{
    std::set<std::string> out;
    const std::regex re(pattern);
    for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator(); ++it)
        out.insert((*it)[1].str());
    return out;
}

TEST(HelpAndManPage, NameTheSameCommandsOptionsAndExitStatuses)
{
    const std::string help = UsageText();
    std::string man = ReadText(VEL_MAN_PAGE);
    man = std::regex_replace(man, std::regex(R"(\\-)"), "-");

    const auto helpOptions = Matches(help, R"((?:^|[ ,])(--?[a-z][a-z-]*))");
    // The man page's options: every option on the .B lines of its OPTIONS section.
    const std::string manOptionLines = man.substr(man.find(".SH OPTIONS"),
                                                  man.find(".SH EXIT STATUS") - man.find(".SH OPTIONS"));
    std::set<std::string> manOptions;
    for (const std::string& line : Matches(manOptionLines, R"(\n(\.B[IR]? [^\n]*))"))
        manOptions.merge(Matches(line, R"([ "](--?[a-z][a-z-]*))"));
    EXPECT_EQ(helpOptions,
              (std::set<std::string>{"--project", "--dry-run", "--format", "--verbose", "-h", "--help", "--version"}));
    EXPECT_EQ(manOptions, helpOptions);

    const auto helpCommands = Matches(help.substr(help.find("Commands:"),
                                                  help.find("Options") - help.find("Commands:")),
                                      R"(\n  ([a-z]+-?[a-z]*))");
    const std::string manCommands = man.substr(man.find(".SH COMMANDS"),
                                               man.find(".SH OPTIONS") - man.find(".SH COMMANDS"));
    EXPECT_EQ(helpCommands, Matches(manCommands, R"(\n\.BI? ([a-z]+-?[a-z]*))"));
    EXPECT_EQ(helpCommands.size(), 11U);

    const auto helpStatuses = Matches(help.substr(help.find("Exit status:")), R"(\n  ([0-9]) )");
    EXPECT_EQ(helpStatuses, Matches(man.substr(man.find(".SH EXIT STATUS")), R"(\n\.B ([0-9])\n)"));
    EXPECT_EQ(helpStatuses.size(), 6U);
}

} // namespace
} // namespace vel

namespace vel {
namespace {

// --- Backups ------------------------------------------------------------------

// A rename keeps the previous sets; backups lists them and restore puts one
// back as a save of its kind, which keeps the set it replaces in turn.
TEST(Backups, AreListedAndOneIsPutBack)
{
    TestProject project;
    project.AddReceiver(1, "Pager");
    project.AddReceiver(2, "Siren");
    project.AddProfile(1, "Day", -1, Nul({"Pager"}));
    const auto receiversBefore = test::Snapshot(project / "Receivers");
    ASSERT_EQ(Vel(project, {"rename-receiver", "Pager", "Beeper"}).status, 0);

    const Outcome listed = Vel(project, {"backups"});
    ASSERT_EQ(listed.status, 0) << listed.err;
    const auto lines = Lines(listed.out);
    ASSERT_EQ(lines.size(), 2U) << listed.out;
    const std::regex row(
        R"((profiles|receivers)\t\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\t(\d+)\t((Profiles|Receivers)-\d{8}-\d{6}))");
    std::smatch m;
    ASSERT_TRUE(std::regex_match(lines[1], m, row)) << lines[1];
    EXPECT_EQ(m[1], "receivers");
    EXPECT_EQ(m[2], "2");
    const std::string backup = m[3];
    const QJsonArray rows = Json(Vel(project, {"--format", "json", "backups"}).out)[u"backups"_s].toArray();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[1].toObject()[u"name"_s].toString().toStdString(), backup);
    EXPECT_EQ(rows[1].toObject()[u"files"_s].toInt(), 2);

    project.server.commands.clear();
    const Outcome restored = Vel(project, {"restore", "receivers", backup});
    ASSERT_EQ(restored.status, 0) << restored.err;
    EXPECT_EQ(test::Snapshot(project / "Receivers"), receiversBefore);
    EXPECT_EQ(project.server.commands, (std::vector<std::string>{"RR\t0"}));
    EXPECT_EQ(Lines(Vel(project, {"backups"}).out).size(), 3U) << "the replaced set is kept too";

    const auto now = test::Snapshot(project.path(), true);
    EXPECT_EQ(Vel(project, {"restore", "receivers", "Receivers-20000101-000000"}).status, ExitRefused);
    EXPECT_EQ(Vel(project, {"restore", "profiles", backup}).status, ExitRefused);
    EXPECT_EQ(Vel(project, {"restore", "calendars", backup}).status, ExitUsage);
    EXPECT_EQ(Vel(project, {"restore", "receivers", "../Receivers"}).status, ExitRefused);
    EXPECT_EQ(test::Snapshot(project.path(), true), now);
}

// After each save only the newest backups of its kind stay (20, or what the
// configuration asks for above that); a file the load passed over survives
// the pruning of the backup that held it.
TEST(Backups, PruningKeepsTheNewestAndWhatWasPassedOver)
{
    TestProject project;
    project.AddReceiver(1, "Pager");
    const ByteBuffer damaged = test::Bytes({7, 0, 'o', 'l', 'd'});
    test::WriteBytes(project / "Receivers/Receiver_0009.dat", damaged);
    TempDir config;
    test::WriteBytes(config / "VelNameChange/VelNameChange.conf", test::Bytes({}));
    ::setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);

    auto receiverBackups = [&] {
        std::vector<std::string> names;
        for (const std::string& line : Lines(Vel(project, {"backups"}).out))
            if (line.rfind("receivers\t", 0) == 0) names.push_back(line.substr(line.rfind('\t') + 1));
        return names;
    };
    // Each save renames the receiver back and forth.
    std::string name = "Pager";
    auto save = [&] {
        const std::string other = name == "Pager" ? "Beeper" : "Pager";
        ASSERT_EQ(Vel(project, {"rename-receiver", name, other}).status, 0);
        name = other;
    };
    save();
    const std::vector<std::string> first = receiverBackups();
    for (int i = 1; i < 23; ++i) save();
    ASSERT_EQ(first.size(), 1U);
    const auto kept = receiverBackups();
    EXPECT_EQ(kept.size(), 20U);
    EXPECT_EQ(std::count(kept.begin(), kept.end(), first.front()), 0) << "the oldest backup is pruned";
    EXPECT_FALSE(test::Exists(project / "Receivers/Receiver_0009.dat"));
    const auto passedOver = test::Snapshot(project / ".velnamechange/passed-over", true);
    ASSERT_EQ(passedOver.size(), 1U);
    EXPECT_EQ(passedOver.begin()->first.substr(passedOver.begin()->first.find('/') + 1), "Receiver_0009.dat");
    EXPECT_EQ(passedOver.begin()->second, damaged);

    const std::string more = "keep-backups=22\n";
    test::WriteBytes(config / "VelNameChange/VelNameChange.conf", ByteBuffer(more.begin(), more.end()));
    for (int i = 0; i < 3; ++i) save();
    EXPECT_EQ(receiverBackups().size(), 22U);
    const std::string fewer = "keep-backups=5\n";
    test::WriteBytes(config / "VelNameChange/VelNameChange.conf", ByteBuffer(fewer.begin(), fewer.end()));
    save();
    EXPECT_EQ(receiverBackups().size(), 20U) << "never fewer than 20";
    ::unsetenv("XDG_CONFIG_HOME");
}

} // namespace
} // namespace vel

namespace vel {
namespace {

// A listing finishes what interrupted saves left, but never through a link:
// a staging folder that is a link to a folder outside the project leaves that
// folder whole, and the listing says what it left alone.
TEST(WorkFolderLinks, AListingNeverDeletesOutsideTheProject)
{
    TestProject project;
    project.AddReceiver(1, "Pager");
    TempDir outside;
    test::WriteBytes(outside / "Receiver_0001.dat", test::Bytes({4, 0}));
    test::WriteBytes(outside / "notes.txt", test::Bytes({'k'}));
    const auto before = test::Snapshot(outside.path(), true);
    test::MakeDirs(project / ".velnamechange");
    std::filesystem::create_symlink(outside.path(), project / ".velnamechange/Receivers.staging");

    const Outcome listed = Vel(project, {"list-receivers"});
    EXPECT_EQ(listed.status, 0);
    EXPECT_EQ(listed.out, "0\t1\tPager\n");
    EXPECT_EQ(test::Snapshot(outside.path(), true), before);
    EXPECT_NE(listed.err.find("symbolic link"), std::string::npos) << listed.err;
    EXPECT_TRUE(std::filesystem::is_symlink(project / ".velnamechange/Receivers.staging"));

    // A save that would need that folder is refused and changes nothing.
    const auto projectBefore = test::Snapshot(project.path());
    const Outcome renamed = Vel(project, {"rename-receiver", "Pager", "Beeper"});
    EXPECT_EQ(renamed.status, ExitSaveFailed) << renamed.err;
    EXPECT_EQ(test::Snapshot(project.path()), projectBefore);
    EXPECT_EQ(test::Snapshot(outside.path(), true), before);
    EXPECT_TRUE(project.server.commands.empty());
}

// --- Locks that a program on another desk left ---------------------------------

// A save refused by another desk's lock names it; unlock shows whose it was
// and removes it, and the rename then goes through.
TEST(Unlock, ShowsWhoseTheLockWasAndRemovesIt)
{
    TestProject project;
    project.AddReceiver(1, "Pager");
    const LockOwner other{{"carol", "desk-9", 4711}, SystemClock().Now()}; // fresh: not stale
    test::WriteBytes(project / ".velnamechange/Receivers.held/owner", EncodeLockOwner(other));
    const auto before = test::Snapshot(project / "Receivers");

    const Outcome refused = Vel(project, {"rename-receiver", "Pager", "Beeper"});
    EXPECT_EQ(refused.status, ExitSaveFailed) << refused.err;
    EXPECT_NE(refused.err.find("carol on desk-9 (process 4711)"), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("unlock receivers"), std::string::npos) << refused.err;
    EXPECT_EQ(test::Snapshot(project / "Receivers"), before);

    const Outcome unlocked = Vel(project, {"unlock", "receivers"});
    EXPECT_EQ(unlocked.status, ExitDone) << unlocked.err;
    EXPECT_EQ(unlocked.out, "receivers\tcarol\tdesk-9\t4711\t" + ReadableLocalTime(other.since) + "\n");
    EXPECT_FALSE(test::Exists(project / ".velnamechange/Receivers.held"));
    EXPECT_EQ(Vel(project, {"rename-receiver", "Pager", "Beeper"}).status, ExitDone);

    EXPECT_EQ(Vel(project, {"unlock", "receivers"}).status, ExitRefused) << "nobody holds it now";
    EXPECT_EQ(Vel(project, {"unlock", "calendars"}).status, ExitUsage);
    EXPECT_EQ(Vel(project, {"unlock"}).status, ExitUsage);
}

// A backup that its save never finished is never offered, nor put back; the
// next start clears away what a killed save left.
TEST(Backups, AHalfMadeBackupIsNeitherListedNorRestored)
{
    TestProject project;
    project.AddReceiver(1, "Pager");
    project.AddReceiver(2, "Siren");
    ASSERT_EQ(Vel(project, {"rename-receiver", "Pager", "Beeper"}).status, 0);
    const std::string last = Lines(Vel(project, {"backups"}).out).back();
    const std::string whole = last.substr(last.rfind('\t') + 1);
    const std::string backups = project / ".velnamechange/backup/";
    // A save killed while it made its backup leaves its newest backup
    // marked; an older marked one (a killed save of a desk whose clock is
    // behind) stays, but is never offered either.
    const std::string killed = "Receivers-29991207-101500";
    const std::string older = "Receivers-20000101-000000";
    for (const std::string& half : {killed, older}) {
        test::WriteBytes(backups + half + "/Receiver_0001.dat", test::Bytes({4, 0}));
        test::WriteBytes(backups + half + "/.unfinished", {});
    }
    // And a backup whose list names a file that is gone is no whole set either.
    const std::string damaged = "Receivers-20261207-101600";
    std::filesystem::copy(backups + whole, backups + damaged, std::filesystem::copy_options::recursive);
    std::filesystem::remove(backups + damaged + "/Receiver_0002.dat");

    const Outcome listed = Vel(project, {"backups"});
    EXPECT_EQ(listed.out.find(older), std::string::npos) << listed.out;
    EXPECT_EQ(listed.out.find(damaged), std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find(whole), std::string::npos) << listed.out;
    EXPECT_FALSE(test::Exists(backups + killed)) << "the start clears what a killed save left";
    EXPECT_NE(listed.err.find("was not complete and was removed"), std::string::npos) << listed.err;

    const auto now = test::Snapshot(project / "Receivers");
    const Outcome unfinished = Vel(project, {"restore", "receivers", older});
    EXPECT_EQ(unfinished.status, ExitRefused) << unfinished.err;
    EXPECT_NE(unfinished.err.find("never finished"), std::string::npos) << unfinished.err;
    const Outcome missing = Vel(project, {"restore", "receivers", damaged});
    EXPECT_EQ(missing.status, ExitRefused) << missing.err;
    EXPECT_NE(missing.err.find("'Receiver_0002.dat' of its list is missing"), std::string::npos) << missing.err;
    EXPECT_EQ(test::Snapshot(project / "Receivers"), now);
}

} // namespace
} // namespace vel
