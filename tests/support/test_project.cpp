#include "tests/support/test_project.h"

#include "records/project.h"
#include "records/save_transaction.h"

#include <gtest/gtest.h>

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
                          const std::map<std::string, ByteBuffer>& after,
                          const std::function<bool(FileSystem&)>& save, long minRuns,
                          const std::function<void(long k, bool newSet)>& checked)
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

} // namespace vel::test
