#include "app_test_util.h"

#include "records/project.h"

#include <filesystem>

namespace vel::test {

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
