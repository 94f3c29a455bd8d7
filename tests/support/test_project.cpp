#include "tests/support/test_project.h"

#include "tests/support/fault_injecting_file_system.h"

#include "project/rename_commands.h"
#include "records/project.h"
#include "records/save_transaction.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

namespace vel::test {

Status Recover(const std::string& projectPath)
{
    return RecoverSaves(RealFileSystem(), projectPath, {ProfileKind(), ReceiverKind()}, {});
}

void KillAtEveryOperation(const std::string& projectPath, const std::string& folder,
                          const std::map<std::string, ByteBuffer>& before,
                          const std::map<std::string, ByteBuffer>& after, const std::function<bool(FileSystem&)>& save,
                          long minRuns, const std::function<void(long k, bool newSet)>& checked)
{
    bool sawNew = false;
    for (long k = 1;; ++k) {
        ASSERT_LT(k, 1000) << "the save never ran to its end";
        for (const auto& name : Names(folder)) std::filesystem::remove(std::filesystem::path(folder) / name);
        for (const auto& [name, data] : before) WriteBytes(folder + "/" + name, data);
        const pid_t pid = ::fork();
        ASSERT_NE(pid, -1);
        if (pid == 0) {
            FaultInjectingFileSystem faulty(RealFileSystem());
            faulty.OnOperation([k](long n, const std::string&) {
                if (n == k) ::_exit(9);
            });
            ::_exit(save(faulty) ? 0 : 4);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        const int code = WEXITSTATUS(status);
        ASSERT_TRUE(code == 0 || code == 9) << "the save failed without being killed, at operation " << k;
        ASSERT_TRUE(Recover(projectPath).ok());
        const auto now = Snapshot(folder);
        EXPECT_TRUE(now == before || now == after) << "killed at operation " << k;
        sawNew = sawNew || now == after;
        if (checked) checked(k, now == after);
        if (code == 0) {
            EXPECT_GE(k, minRuns);
            break;
        }
    }
    EXPECT_TRUE(sawNew);
}

TestProject::TestProject()
{
    MakeDirs(m_dir / "Profiles");
    MakeDirs(m_dir / "Receivers");
}

void TestProject::AddProfile(std::int16_t number, const AnsiText& name, std::int16_t enabled, const AnsiText& list1,
                             const AnsiText& list2)
{
    RouteProfile p;
    p.SetProfileNumber(number);
    p.SetEnabled(enabled);
    p.Name() = name;
    p.ReceiverList1() = list1;
    p.ReceiverList2() = list2;
    cTimeSchedule schedule;
    schedule.SetDefaultPeriod();
    const std::string file = NumberedFileName("Profile_", number);
    auto bytes = EncodeProfileFile(p, schedule, file);
    if (!bytes) throw std::runtime_error(bytes.error().message);
    WriteBytes(m_dir / ("Profiles/" + file), *bytes);
}

void TestProject::AddReceiver(std::int16_t number, const AnsiText& name, std::int16_t enabled)
{
    Receiver r;
    r.SetId(number);
    r.SetEnabled(enabled);
    r.Name() = name;
    const std::string file = NumberedFileName("Receiver_", number);
    auto bytes = EncodeReceiverFile(r, file);
    if (!bytes) throw std::runtime_error(bytes.error().message);
    WriteBytes(m_dir / ("Receivers/" + file), *bytes);
}

void TestProject::CopyFrom(const std::string& folder)
{
    std::filesystem::copy(folder, m_dir.path(),
                          std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
}

std::unique_ptr<Suite> TestProject::Open(bool load, FileSystem* fs)
{
    auto suite = std::make_unique<Suite>(m_dir.path(), fs, &server);
    suite->Context.log = log.sink();
    if (load) (void)suite->LoadAll();
    return suite;
}

namespace {

// The files of the share project, laid out once on a local disk.
std::map<std::string, ByteBuffer> ShareProjectFiles(bool windowsCase)
{
    TestProject p;
    p.AddReceiver(0, "alpha");
    p.AddReceiver(1, "beta");
    p.AddReceiver(2, "carol");
    p.AddProfile(1, "north", -1, std::string("alpha\0beta\0", 11));
    p.AddProfile(2, "south", -1, std::string("beta\0", 5));
    std::map<std::string, ByteBuffer> files;
    for (auto& [name, data] : Snapshot(p.path())) {
        std::string shown = name;
        if (windowsCase)
            for (char& c : shown) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        files[shown] = std::move(data);
    }
    return files;
}

} // namespace

void LayOutShareProject(ShareDisk& disk, bool windowsCase)
{
    static const std::map<std::string, ByteBuffer> plain = ShareProjectFiles(false);
    static const std::map<std::string, ByteBuffer> capitals = ShareProjectFiles(true);
    for (const auto& [name, data] : windowsCase ? capitals : plain)
        disk.Write(std::string(ShareProject) + "/" + name, data);
}

int SaveExitStatus(const SaveReport& report)
{
    if (report.ok()) return 0;
    if (report.written) return 4;
    return report.written.error().code == ErrorCode::Unfinished ? 5 : 3;
}

int RenameReceiverAndSave(Suite& suite, const std::string& from, const std::string& to, SaveReport* report)
{
    const auto slots = FindReceiversByName(suite, from);
    if (slots.size() != 1) return 1;
    auto renamed = RenameReceiver(suite, slots.front(), to);
    if (!renamed || renamed->result != RenameResult::Renamed) return 1;
    const SaveReport r = SaveReceiversAndProfiles(suite);
    if (report != nullptr) *report = r;
    return SaveExitStatus(r);
}

int RenameProfileAndSave(Suite& suite, const std::string& from, const std::string& to, SaveReport* report)
{
    const auto slots = FindProfilesByName(suite, from);
    if (slots.size() != 1) return 1;
    auto renamed = RenameProfile(suite, slots.front(), to);
    if (!renamed || renamed->result != RenameResult::Renamed) return 1;
    const SaveReport r = SaveProfiles(suite);
    if (report != nullptr) *report = r;
    return SaveExitStatus(r);
}

ShareDesk::ShareDesk(ShareDisk& disk, const std::string& user, const std::string& host, long process)
    : mount(disk), desks(user, host, process)
{
    desks.running.insert(process);
}

std::unique_ptr<Suite> ShareDesk::Open(FileSystem* fs, bool load)
{
    auto suite = std::make_unique<Suite>(ShareProject, fs != nullptr ? fs : &mount, &server);
    suite->Context.log = {};
    suite->Context.notice = told.sink();
    suite->Context.clock = &clock;
    suite->Context.desks = &desks;
    suite->Context.lockWaitMilliseconds = 0;
    if (load) (void)suite->LoadAll();
    return suite;
}

bool ShareDesk::Told(const std::string& part) const
{
    for (const auto& line : told.lines)
        if (line.find(part) != std::string::npos) return true;
    return false;
}

} // namespace vel::test
