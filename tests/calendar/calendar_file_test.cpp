#include "calendar/calendar.h"
#include "calendar/calendar_dates.h"
#include "calendar/file_exists.h"
#include "calendar/holiday_tables.h"
#include "tests/support/fault_injecting_file_system.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <grp.h>
#include <iterator>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace vel {
namespace {

namespace fsys = std::filesystem;

class TempDir {
public:
    TempDir()
    {
        std::string pattern = (fsys::temp_directory_path() / "velcal-XXXXXX").string();
        char* made = ::mkdtemp(pattern.data());
        EXPECT_NE(made, nullptr);
        m_path = pattern;
    }
    ~TempDir()
    {
        std::error_code ec;
        fsys::remove_all(m_path, ec);
    }
    std::string operator/(const std::string& name) const { return (fsys::path(m_path) / name).string(); }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

std::vector<unsigned char> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// The names in a folder.
std::set<std::string> Entries(const std::string& folder)
{
    std::set<std::string> names;
    for (const auto& e : fsys::directory_iterator(folder)) names.insert(e.path().filename().string());
    return names;
}

// A temporary of a save of `name`.
bool IsTemporaryOf(const std::string& entry, const std::string& name)
{
    return entry.size() == name.size() + 18 && std::regex_match(entry, std::regex("\\..*\\.[0-9a-f]{12}\\.tmp")) &&
           entry.compare(1, name.size(), name) == 0;
}

struct stat StatOf(const std::string& path)
{
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st;
}

// A calendar file whose days hold `value`, with a tail of `extra` bytes.
std::vector<unsigned char> CalendarImage(std::int16_t value, std::size_t extra = 0)
{
    std::vector<unsigned char> bytes;
    for (std::int32_t day = 0; day < CalendarDays; ++day) {
        bytes.push_back(static_cast<unsigned char>(value & 0xFF));
        bytes.push_back(static_cast<unsigned char>((value >> 8) & 0xFF));
    }
    for (std::size_t i = 0; i < extra; ++i) bytes.push_back(static_cast<unsigned char>(i * 13 + 1));
    return bytes;
}

// A calendar that holds `value` on every day.
std::unique_ptr<cCalendar> Filled(std::int16_t value, FileSystem& fs = RealFileSystem())
{
    auto cal = std::make_unique<cCalendar>(fs);
    for (std::int32_t day = 0; day < CalendarDays; ++day) EXPECT_TRUE(cal->SetDayType(day, value).ok());
    return cal;
}

// Sets the umask for the life of the object.
class Umask {
public:
    explicit Umask(mode_t mask) : m_old(::umask(mask)) {}
    ~Umask() { ::umask(m_old); }

private:
    mode_t m_old;
};

// Runs `body` in a child process of the user nobody (group nogroup, umask
// 077); its exit status, or -1.
int AsNobody(const std::function<int()>& body)
{
    const pid_t pid = ::fork();
    if (pid == -1) return -1;
    if (pid == 0) {
        const gid_t groups[] = {65534};
        if (::setgroups(1, groups) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(120);
        ::umask(077);
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// ---------------------------------------------------------------- dates

TEST(CalendarDates, DayIndexesOfTheCalendarRange)
{
    EXPECT_EQ(DayIndexOf(2000, 1, 1), 0);
    EXPECT_EQ(DayIndexOf(2000, 12, 31), 365);
    EXPECT_EQ(DayIndexOf(2024, 2, 29), 8825);
    EXPECT_EQ(DayIndexOf(2039, 12, 31), 14609);
    EXPECT_EQ(DayIndexOf(2026, 12, 1), 9831);
    // Month normalisation: month 13 and month 0.
    EXPECT_EQ(DayIndexOf(2026, 13, 1), DayIndexOf(2027, 1, 1));
    EXPECT_EQ(DayIndexOf(2026, 0, 1), DayIndexOf(2025, 12, 1));
    EXPECT_EQ(DayIndexOf(2026, -11, 1), DayIndexOf(2025, 1, 1));
    EXPECT_EQ(DayIndexOf(1999, 12, 31), -1);
}

TEST(CalendarDates, WeekdaysMonthLengthsAndBackConversion)
{
    EXPECT_EQ(WeekdayOfDayIndex(0), 5);                       // 2000-01-01 Saturday
    EXPECT_EQ(WeekdayOfDayIndex(DayIndexOf(2026, 12, 1)), 1); // Tuesday
    EXPECT_EQ(WeekdayOfDayIndex(-1), 4);                      // 1999-12-31 Friday
    EXPECT_EQ(DaysInMonth(2024, 2), 29);
    EXPECT_EQ(DaysInMonth(2023, 2), 28);
    EXPECT_EQ(DaysInMonth(2100, 2), 28);
    EXPECT_EQ(DaysInMonth(2000, 2), 29);
    EXPECT_EQ(DaysInMonth(2026, 12), 31);
    for (std::int64_t day : {0LL, 59LL, 60LL, 8825LL, 9861LL, 14609LL, -400LL}) {
        const CivilDate d = DateOfDayIndex(day);
        EXPECT_EQ(DayIndexOf(d.year, d.month, d.day), day);
    }
    const CivilDate leap = DateOfDayIndex(8825);
    EXPECT_EQ(leap.year, 2024);
    EXPECT_EQ(leap.month, 2);
    EXPECT_EQ(leap.day, 29);
}

TEST(CalendarDates, IsoWeekNumbers)
{
    EXPECT_EQ(IsoWeekOfDayIndex(DayIndexOf(2026, 12, 1)), 49);
    EXPECT_EQ(IsoWeekOfDayIndex(DayIndexOf(2026, 12, 29)), 53); // 2026 has 53 weeks
    EXPECT_EQ(IsoWeekOfDayIndex(DayIndexOf(2027, 1, 3)), 53);   // Sunday of week 53 of 2026
    EXPECT_EQ(IsoWeekOfDayIndex(DayIndexOf(2027, 1, 4)), 1);
    EXPECT_EQ(IsoWeekOfDayIndex(DayIndexOf(2024, 12, 30)), 1); // belongs to 2025
    EXPECT_EQ(IsoWeekOfDayIndex(DayIndexOf(2021, 1, 1)), 53);
    EXPECT_EQ(IsoWeekOfDayIndex(DayIndexOf(2000, 1, 1)), 52);
}

// ---------------------------------------------------------------- tables

TEST(CalendarModel, NewCalendarHoldsNoEntries)
{
    cCalendar cal;
    for (std::int32_t day : {0, 1, 8825, 14609}) {
        Result<std::int16_t> v = cal.GetDayType(day);
        ASSERT_TRUE(v.ok());
        EXPECT_EQ(*v, 0);
    }
    EXPECT_EQ(cal.m_AssociatedTimeSchedule, nullptr);
    EXPECT_EQ(cal.m_ShowTimeAxis, 0);
}

TEST(CalendarModel, DayIndexOutsideTheTableIsRefusedAndNothingChanges)
{
    cCalendar cal;
    for (std::int32_t day : {-1, 14610, -32768, 2147483647}) {
        Result<std::int16_t> got = cal.GetDayType(day);
        ASSERT_FALSE(got.ok());
        EXPECT_EQ(got.error().code, ErrorCode::IndexOutOfRange);
        Status set = cal.SetDayType(day, 5);
        ASSERT_FALSE(set.ok());
        EXPECT_EQ(set.error().code, ErrorCode::IndexOutOfRange);
    }
    ASSERT_TRUE(cal.SetDayType(14609, 23).ok());
    EXPECT_EQ(*cal.GetDayType(14609), 23);
    ASSERT_TRUE(cal.SetDayType(0, -7).ok()); // the calendar keeps any value
    EXPECT_EQ(*cal.GetDayType(0), -7);
    cCalendar fresh;
    EXPECT_EQ(*fresh.GetDayType(14608), 0);
}

TEST(CalendarModel, IsDayTypeUsedRange)
{
    cCalendar cal;
    for (std::int16_t dt : {0, 7, 22}) {
        Result<bool> used = cal.IsDayTypeUsed(dt);
        ASSERT_TRUE(used.ok());
        EXPECT_FALSE(*used);
    }
    for (std::int16_t dt : {23, -1}) {
        Result<bool> used = cal.IsDayTypeUsed(dt);
        ASSERT_FALSE(used.ok());
        EXPECT_EQ(used.error().code, ErrorCode::IndexOutOfRange);
    }
}

TEST(CalendarModel, CompareToOtherCalendar)
{
    cCalendar a, b;
    EXPECT_TRUE(*a.CompareToOtherCalendar(&b));
    ASSERT_TRUE(b.SetDayType(14609, 1).ok());
    EXPECT_FALSE(*a.CompareToOtherCalendar(&b));
    EXPECT_FALSE(*b.CompareToOtherCalendar(&a));
    ASSERT_TRUE(a.SetDayType(14609, 1).ok());
    EXPECT_TRUE(*a.CompareToOtherCalendar(&b));
    ASSERT_TRUE(b.SetDayType(0, 3).ok());
    EXPECT_FALSE(*a.CompareToOtherCalendar(&b));
    EXPECT_EQ(*b.GetDayType(0), 3); // the other calendar is only read

    Result<bool> none = a.CompareToOtherCalendar(nullptr);
    ASSERT_FALSE(none.ok());
    EXPECT_EQ(none.error().code, ErrorCode::InvalidArgument);
}

TEST(HolidayTablesTest, AddKeepsFlagsAndLabelsConsistent)
{
    HolidayTables tables;
    EXPECT_TRUE(tables.HolidayLabels().empty());
    EXPECT_EQ(*tables.GetHolidayLabelFlag(9854), 0);
    EXPECT_FALSE(tables.AnyLabelViewedInCalendar());

    cHolidayLabel christmas;
    christmas.m_Day = static_cast<std::int16_t>(DayIndexOf(2026, 12, 25));
    christmas.m_Label = "Christmas";
    ASSERT_TRUE(tables.AddHolidayLabel(christmas).ok());
    EXPECT_NE(*tables.GetHolidayLabelFlag(christmas.m_Day), 0);
    EXPECT_FALSE(tables.AnyLabelViewedInCalendar());
    cHolidayLabel second = christmas;
    second.m_Label = "Second";
    second.m_ViewInCalendar = -1;
    ASSERT_TRUE(tables.AddHolidayLabel(second).ok());
    EXPECT_TRUE(tables.AnyLabelViewedInCalendar());
    ASSERT_NE(tables.FirstLabelOfDay(christmas.m_Day), nullptr);
    EXPECT_EQ(tables.FirstLabelOfDay(christmas.m_Day)->m_Label, "Christmas");
    EXPECT_EQ(tables.FirstLabelOfDay(0), nullptr);

    cHolidayLabel outside;
    outside.m_Day = -1;
    Status refused = tables.AddHolidayLabel(outside);
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().code, ErrorCode::IndexOutOfRange);
    EXPECT_EQ(tables.HolidayLabels().size(), 2u);
    EXPECT_EQ(tables.GetHolidayLabelFlag(14610).error().code, ErrorCode::IndexOutOfRange);
    EXPECT_EQ(tables.SetHolidayLabelFlag(-1, 1).error().code, ErrorCode::IndexOutOfRange);

    tables.Clear();
    EXPECT_TRUE(tables.HolidayLabels().empty());
    EXPECT_EQ(*tables.GetHolidayLabelFlag(christmas.m_Day), 0);
}

// ---------------------------------------------------------------- FileExists

TEST(FileExistsTest, NormalFilesOnly)
{
    TempDir dir;
    WriteBytes(dir / "cal.dat", {1, 2});
    WriteBytes(dir / ".hidden.dat", {1});
    fsys::create_directory(dir / "sub.dat");
    FileSystem& fs = RealFileSystem();

    EXPECT_TRUE(FileExists(fs, dir / "cal.dat"));
    EXPECT_FALSE(FileExists(fs, dir / "other.dat"));
    EXPECT_FALSE(FileExists(fs, dir / "sub.dat"));         // a directory
    EXPECT_FALSE(FileExists(fs, dir / "missing/cal.dat")); // directory does not exist
    EXPECT_FALSE(FileExists(fs, ""));
    EXPECT_FALSE(FileExists(fs, dir.path() + "/"));
    EXPECT_TRUE(FileExists(fs, dir / "*.dat"));
    EXPECT_TRUE(FileExists(fs, dir / "c?l.dat"));
    EXPECT_FALSE(FileExists(fs, dir / "sub.*"));        // only the directory matches
    EXPECT_FALSE(FileExists(fs, dir / "*.hidden.dat")); // hidden file
    EXPECT_TRUE(FileExists(fs, dir / ".hid*"));
    EXPECT_FALSE(FileExists(fs, dir / "*/cal.dat"));
}

TEST(FileExistsTest, WildcardMatching)
{
    EXPECT_TRUE(MatchesWildcard("*", ""));
    EXPECT_TRUE(MatchesWildcard("a*b*c", "axxbyyc"));
    EXPECT_FALSE(MatchesWildcard("a*b*c", "axxbyy"));
    EXPECT_TRUE(MatchesWildcard("Profile_????.dat", "Profile_0001.dat"));
    EXPECT_FALSE(MatchesWildcard("Profile_????.dat", "Profile_001.dat"));
    EXPECT_TRUE(MatchesWildcard("*.dat", "x.dat.dat"));
    EXPECT_FALSE(MatchesWildcard("", "a"));
}

// ---------------------------------------------------------------- the file

TEST(CalendarFile, SaveToNewFileWritesExactly29220LittleEndianBytes)
{
    TempDir dir;
    const std::string name = dir / "new.cal";
    cCalendar cal;
    ASSERT_TRUE(cal.SetDayType(8825, 0x1234).ok()); // 2024-02-29
    ASSERT_TRUE(cal.SetDayType(0, 9).ok());
    ASSERT_TRUE(cal.SetDayType(14609, -2).ok());
    Result<bool> saved = cal.SaveToDisk(name);
    ASSERT_TRUE(saved.ok()) << saved.error().message;
    EXPECT_TRUE(*saved);

    const std::vector<unsigned char> bytes = ReadBytes(name);
    ASSERT_EQ(bytes.size(), 29220u);
    EXPECT_EQ(bytes[0], 9);
    EXPECT_EQ(bytes[1], 0);
    EXPECT_EQ(bytes[17650], 0x34);
    EXPECT_EQ(bytes[17651], 0x12);
    EXPECT_EQ(bytes[29218], 0xFE);
    EXPECT_EQ(bytes[29219], 0xFF);
    std::size_t nonZero = 0;
    for (unsigned char b : bytes) nonZero += b != 0 ? 1 : 0;
    EXPECT_EQ(nonZero, 5u);
    EXPECT_EQ(Entries(dir.path()), std::set<std::string>{"new.cal"});
}

TEST(CalendarFile, RoundTripThroughTheFile)
{
    TempDir dir;
    const std::string name = dir / "round.cal";
    cCalendar written;
    for (std::int32_t day = 0; day < CalendarDays; ++day)
        ASSERT_TRUE(
            written.SetDayType(day, static_cast<std::int16_t>((day * 7919) % 24 - (day % 5 == 0 ? 300 : 0))).ok());
    ASSERT_TRUE(*written.SaveToDisk(name));

    cCalendar read;
    Result<bool> got = read.ReadFromDisk(name);
    ASSERT_TRUE(got.ok()) << got.error().message;
    EXPECT_TRUE(*got);
    EXPECT_TRUE(*read.CompareToOtherCalendar(&written));
    EXPECT_TRUE(*read.CompareToDisk(name));

    // Saving what was read gives the same bytes.
    const std::vector<unsigned char> before = ReadBytes(name);
    ASSERT_TRUE(*read.SaveToDisk(name));
    EXPECT_EQ(ReadBytes(name), before);
}

TEST(CalendarFile, MissingFileReadsFalseAndLeavesTheCalendarUnchanged)
{
    TempDir dir;
    cCalendar cal;
    ASSERT_TRUE(cal.SetDayType(100, 4).ok());
    for (const std::string& name : {dir / "none.cal", dir / "nodir/none.cal"}) {
        Result<bool> got = cal.ReadFromDisk(name);
        ASSERT_TRUE(got.ok());
        EXPECT_FALSE(*got);
        EXPECT_EQ(*cal.GetDayType(100), 4);
        Result<bool> same = cal.CompareToDisk(name);
        ASSERT_TRUE(same.ok());
        EXPECT_FALSE(*same);
    }
    // A directory of that name is no calendar file either.
    fsys::create_directory(dir / "folder.cal");
    EXPECT_FALSE(*cal.ReadFromDisk(dir / "folder.cal"));
}

TEST(CalendarFile, ShortFileReadsMissingDaysAsZero)
{
    TempDir dir;
    const std::string name = dir / "short.cal";
    // Days 0 and 1 set, then one odd byte that starts day 2.
    WriteBytes(name, {5, 0, 0x10, 0x01, 7});
    cCalendar cal;
    for (std::int32_t day = 0; day < CalendarDays; day += 97) ASSERT_TRUE(cal.SetDayType(day, 3).ok());
    ASSERT_TRUE(cal.SetDayType(14609, 3).ok());
    ASSERT_TRUE(*cal.ReadFromDisk(name));
    EXPECT_EQ(*cal.GetDayType(0), 5);
    EXPECT_EQ(*cal.GetDayType(1), 0x0110);
    EXPECT_EQ(*cal.GetDayType(2), 7);
    EXPECT_EQ(*cal.GetDayType(3), 0);
    EXPECT_EQ(*cal.GetDayType(97), 0);
    EXPECT_EQ(*cal.GetDayType(14609), 0);
    EXPECT_TRUE(*cal.CompareToDisk(name)); // the missing days compare as 0
    ASSERT_TRUE(cal.SetDayType(14609, 1).ok());
    EXPECT_FALSE(*cal.CompareToDisk(name));

    WriteBytes(name, {});
    ASSERT_TRUE(*cal.ReadFromDisk(name));
    EXPECT_EQ(*cal.GetDayType(0), 0);
    EXPECT_EQ(*cal.GetDayType(14609), 0);
}

TEST(CalendarFile, SaveOverALongerFileKeepsItsTail)
{
    TempDir dir;
    const std::string name = dir / "long.cal";
    std::vector<unsigned char> old(30000);
    for (std::size_t i = 0; i < old.size(); ++i) old[i] = static_cast<unsigned char>(i * 31 + 7);
    WriteBytes(name, old);

    cCalendar cal;
    ASSERT_TRUE(cal.SetDayType(3, 0x0102).ok());
    ASSERT_TRUE(*cal.SaveToDisk(name));
    const std::vector<unsigned char> now = ReadBytes(name);
    ASSERT_EQ(now.size(), 30000u);
    for (std::size_t i = 29220; i < 30000; ++i) ASSERT_EQ(now[i], old[i]) << "offset " << i;
    EXPECT_EQ(now[6], 0x02);
    EXPECT_EQ(now[7], 0x01);
    EXPECT_EQ(now[0], 0);
    EXPECT_EQ(now[29219], 0);
    EXPECT_TRUE(*cal.CompareToDisk(name)); // the tail is not compared

    // A shorter existing file is simply replaced by the full 29220 bytes.
    WriteBytes(name, std::vector<unsigned char>(100, 0xAA));
    ASSERT_TRUE(*cal.SaveToDisk(name));
    EXPECT_EQ(ReadBytes(name).size(), 29220u);
}

TEST(CalendarFile, CompareToDiskSeesOneChangedDay)
{
    TempDir dir;
    const std::string name = dir / "cmp.cal";
    cCalendar cal;
    ASSERT_TRUE(cal.SetDayType(5000, 12).ok());
    ASSERT_TRUE(*cal.SaveToDisk(name));
    EXPECT_TRUE(*cal.CompareToDisk(name));
    ASSERT_TRUE(cal.SetDayType(14609, 2).ok());
    EXPECT_FALSE(*cal.CompareToDisk(name));
    ASSERT_TRUE(cal.SetDayType(14609, 0).ok());
    EXPECT_TRUE(*cal.CompareToDisk(name));
    ASSERT_TRUE(cal.SetDayType(5000, 12 + 256).ok()); // differs only in the high byte
    EXPECT_FALSE(*cal.CompareToDisk(name));
}

TEST(CalendarFile, SaveToADirectoryOrMissingFolderFails)
{
    TempDir dir;
    cCalendar cal;
    fsys::create_directory(dir / "folder.cal");
    Result<bool> toDir = cal.SaveToDisk(dir / "folder.cal");
    ASSERT_FALSE(toDir.ok());
    EXPECT_EQ(toDir.error().code, ErrorCode::NotPlainFile);
    Result<bool> noFolder = cal.SaveToDisk(dir / "nodir/x.cal");
    ASSERT_FALSE(noFolder.ok());
    EXPECT_EQ(noFolder.error().code, ErrorCode::NotFound);
    // A name that ends in a separator names a folder, not a file to make.
    for (const std::string& name : {dir / "x.cal/", std::string()}) {
        Result<bool> refused = cal.SaveToDisk(name);
        ASSERT_FALSE(refused.ok()) << name;
        EXPECT_EQ(refused.error().code, ErrorCode::InvalidArgument);
    }
    EXPECT_EQ(Entries(dir.path()), std::set<std::string>{"folder.cal"});
}

// Every operation of a save through a link over a longer file (resolve, open
// the folder, stat, access check, read, create, rename, sync) fails in turn,
// once and for ever. Before the rename the file keeps its old bytes; a failed
// sync of the folder comes after it and is reported with the new content in
// place. A failed save leaves no temporary behind, except where removing it
// failed too.
TEST(CalendarFile, AFailureAtEveryOperationKeepsTheOldContentWhole)
{
    TempDir dir;
    fsys::create_directory(dir / "real");
    const std::string target = dir / "real/faulty.cal";
    fsys::create_symlink("real/faulty.cal", dir / "link.cal");
    const std::vector<unsigned char> before = CalendarImage(8, 100);
    std::vector<unsigned char> after = CalendarImage(9, 100);

    for (bool forever : {false, true}) {
        std::set<std::string> failedSteps;
        for (long k = 1;; ++k) {
            ASSERT_LT(k, 30);
            WriteBytes(target, before);
            FaultInjectingFileSystem faulty(RealFileSystem());
            faulty.CountReads(true);
            faulty.FailAt(k, forever);
            std::string failing;
            faulty.OnOperation([&](long n, const std::string& what) {
                if (n == k) failing = what.substr(0, what.find(' '));
            });
            Result<bool> saved = Filled(9, faulty)->SaveToDisk(dir / "link.cal");
            EXPECT_TRUE(fsys::is_symlink(dir / "link.cal"));
            if (saved.ok()) {
                EXPECT_TRUE(failing.empty()) << "operation " << k << " failed unnoticed";
                EXPECT_EQ(ReadBytes(target), after);
                EXPECT_EQ(Entries(dir / "real"), std::set<std::string>{"faulty.cal"});
                break;
            }
            failedSteps.insert(failing);
            EXPECT_NE(saved.error().message.find(dir / "link.cal"), std::string::npos) << saved.error().message;
            if (failing == "sync") {
                EXPECT_EQ(ReadBytes(target), after) << "k=" << k;
                EXPECT_NE(saved.error().message.find("holds the new content"), std::string::npos);
            } else {
                EXPECT_EQ(ReadBytes(target), before) << "k=" << k << " (" << failing << ")";
            }
            std::set<std::string> left = Entries(dir / "real");
            left.erase("faulty.cal");
            if (!forever || (failing != "create" && failing != "rename")) {
                EXPECT_TRUE(left.empty()) << "k=" << k << " (" << failing << ") left " << *left.begin();
            } else {
                ASSERT_EQ(left.size(), 1u) << "k=" << k;
                EXPECT_TRUE(IsTemporaryOf(*left.begin(), "faulty.cal")) << *left.begin();
                fsys::remove(dir / ("real/" + *left.begin()));
            }
        }
        EXPECT_EQ(failedSteps,
                  (std::set<std::string>{"resolve", "open", "stat", "access", "read", "create", "rename", "sync"}));
    }
}

// Through a relative link, an absolute one, a chain of two and a link from
// another folder the target is saved; every link stays as it was, and no
// other file appears beside any of them.
TEST(CalendarFile, ASaveThroughLinksUpdatesTheTargetAndKeepsTheLinks)
{
    TempDir dir;
    fsys::create_directory(dir / "real");
    fsys::create_directory(dir / "other");
    const std::string target = dir / "real/cal.dat";
    WriteBytes(target, CalendarImage(1, 7));
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    fsys::create_symlink("real/cal.dat", dir / "rel");
    fsys::create_symlink(target, dir / "abs");
    fsys::create_symlink("rel", dir / "chain");
    fsys::create_symlink("../real/cal.dat", dir / "other/up");
    const std::set<std::string> top = Entries(dir.path());

    std::int16_t value = 10;
    for (const char* link : {"rel", "abs", "chain", "other/up"}) {
        ++value;
        Result<bool> saved = Filled(value)->SaveToDisk(dir / link);
        ASSERT_TRUE(saved.ok()) << link << ": " << saved.error().message;
        EXPECT_EQ(ReadBytes(target), CalendarImage(value, 7)) << link;
        EXPECT_EQ(StatOf(target).st_mode & 07777, 0640u) << link;
        cCalendar back;
        ASSERT_TRUE(*back.ReadFromDisk(dir / link));
        EXPECT_EQ(*back.GetDayType(14609), value);
    }
    EXPECT_EQ(fsys::read_symlink(dir / "rel").string(), "real/cal.dat");
    EXPECT_EQ(fsys::read_symlink(dir / "abs").string(), target);
    EXPECT_EQ(fsys::read_symlink(dir / "chain").string(), "rel");
    EXPECT_EQ(fsys::read_symlink(dir / "other/up").string(), "../real/cal.dat");
    EXPECT_EQ(Entries(dir.path()), top);
    EXPECT_EQ(Entries(dir / "real"), std::set<std::string>{"cal.dat"});
    EXPECT_EQ(Entries(dir / "other"), std::set<std::string>{"up"});

    // A link whose target does not exist yet: the target is made (read and
    // write for all less the umask), the link stays.
    Umask mask(027);
    fsys::create_symlink("real/new.dat", dir / "dangling");
    ASSERT_TRUE(Filled(5)->SaveToDisk(dir / "dangling").ok());
    EXPECT_TRUE(fsys::is_symlink(dir / "dangling"));
    EXPECT_EQ(ReadBytes(dir / "real/new.dat"), CalendarImage(5));
    EXPECT_EQ(StatOf(dir / "real/new.dat").st_mode & 07777, 0640u);
    // One into a folder that does not exist is an error and makes nothing.
    fsys::create_symlink("nowhere/new.dat", dir / "lost");
    Result<bool> lost = Filled(5)->SaveToDisk(dir / "lost");
    ASSERT_FALSE(lost.ok());
    EXPECT_EQ(lost.error().code, ErrorCode::NotFound);
    EXPECT_EQ(Entries(dir / "real"), (std::set<std::string>{"cal.dat", "new.dat"}));
}

// Under a tight umask the file keeps its permission bits, owner and group,
// also a group the saving user is no member of (root may set any).
TEST(CalendarFile, ModeOwnerAndGroupAreKeptUnderATightUmask)
{
    if (::geteuid() != 0) GTEST_SKIP() << "giving a file a foreign group needs root";
    TempDir dir;
    const std::string name = dir / "modes.cal";
    WriteBytes(name, CalendarImage(1));
    ASSERT_EQ(::chown(name.c_str(), 4343, 4242), 0);
    ASSERT_EQ(::chmod(name.c_str(), 02640), 0);
    Umask mask(077);
    for (std::int16_t value : {2, 3}) {
        ASSERT_TRUE(Filled(value)->SaveToDisk(name).ok());
        const struct stat st = StatOf(name);
        EXPECT_EQ(st.st_mode & 07777, 02640u);
        EXPECT_EQ(st.st_uid, 4343u);
        EXPECT_EQ(st.st_gid, 4242u);
        EXPECT_EQ(ReadBytes(name), CalendarImage(value));
    }
    ASSERT_TRUE(Filled(1)->SaveToDisk(dir / "fresh.cal").ok());
    EXPECT_EQ(StatOf(dir / "fresh.cal").st_mode & 07777, 0600u);
}

// Another user: a file its group may write is saved, keeping bits and group
// (the owner becomes the saving user, who may not give files away); a file
// it may not write is refused, although the folder would let it replace it.
TEST(CalendarFile, AnotherUserSavesWhatItMayWriteAndNothingElse)
{
    if (::geteuid() != 0) GTEST_SKIP() << "dropping to another user needs root";
    TempDir dir;
    ASSERT_EQ(::chmod(dir.path().c_str(), 0777), 0);
    const std::string shared = dir / "shared.cal";
    const std::string locked = dir / "locked.cal";
    WriteBytes(shared, CalendarImage(1));
    WriteBytes(locked, CalendarImage(1));
    ASSERT_EQ(::chown(shared.c_str(), 0, 65534), 0);
    ASSERT_EQ(::chmod(shared.c_str(), 0660), 0);
    ASSERT_EQ(::chmod(locked.c_str(), 0644), 0);

    EXPECT_EQ(AsNobody([&] { return Filled(6)->SaveToDisk(shared).ok() ? 0 : 1; }), 0);
    EXPECT_EQ(ReadBytes(shared), CalendarImage(6));
    EXPECT_EQ(StatOf(shared).st_mode & 07777, 0660u);
    EXPECT_EQ(StatOf(shared).st_gid, 65534u);
    EXPECT_EQ(StatOf(shared).st_uid, 65534u);

    EXPECT_EQ(AsNobody([&] {
                  Result<bool> saved = Filled(6)->SaveToDisk(locked);
                  return saved.ok() ? 0 : saved.error().message.find("Permission denied") != std::string::npos ? 3 : 1;
              }),
              3);
    EXPECT_EQ(ReadBytes(locked), CalendarImage(1));
    EXPECT_EQ(StatOf(locked).st_uid, 0u);
    EXPECT_EQ(Entries(dir.path()), (std::set<std::string>{"locked.cal", "shared.cal"}));
}

// Files named like a temporary beside the calendar are never touched: fixed
// names, and a unique name that another program takes just before the save
// would make it. A name as long as the system allows still gets one.
TEST(CalendarFile, FilesNamedLikeTheTemporarySurvive)
{
    // Takes the first temporary name of the save as another program would.
    class Squatter : public FaultInjectingFileSystem {
    public:
        Squatter(FileSystem& inner, std::string folder) : FaultInjectingFileSystem(inner), m_folder(std::move(folder))
        {
        }
        Status CreateAt(FolderHandle dir, const std::string& name, std::span<const std::uint8_t> data,
                        const FileAttributes& attributes) override
        {
            if (taken.empty()) {
                taken = name;
                WriteBytes(m_folder + "/" + name, {'m', 'i', 'n', 'e'});
            }
            return FaultInjectingFileSystem::CreateAt(dir, name, data, attributes);
        }
        std::string taken;

    private:
        std::string m_folder;
    };

    TempDir dir;
    const std::string name = dir / "cal.dat";
    WriteBytes(name, CalendarImage(1));
    const std::vector<std::string> others = {"cal.dat.tmp", ".cal.dat.tmp", "cal.tmp", ".cal.dat.000000000000.tmp"};
    for (const std::string& other : others) WriteBytes(dir / other, {'x'});

    Squatter squatter(RealFileSystem(), dir.path());
    ASSERT_TRUE(Filled(2, squatter)->SaveToDisk(name).ok());
    EXPECT_EQ(ReadBytes(name), CalendarImage(2));
    ASSERT_TRUE(IsTemporaryOf(squatter.taken, "cal.dat")) << squatter.taken;
    EXPECT_EQ(ReadBytes(dir / squatter.taken), (std::vector<unsigned char>{'m', 'i', 'n', 'e'}));
    for (const std::string& other : others) EXPECT_EQ(ReadBytes(dir / other), std::vector<unsigned char>{'x'}) << other;
    std::set<std::string> expected(others.begin(), others.end());
    expected.insert({"cal.dat", squatter.taken});
    EXPECT_EQ(Entries(dir.path()), expected);

    const std::string longest(255, 'c');
    ASSERT_TRUE(Filled(3)->SaveToDisk(dir / longest).ok());
    ASSERT_TRUE(Filled(4)->SaveToDisk(dir / longest).ok());
    EXPECT_EQ(ReadBytes(dir / longest), CalendarImage(4));
    expected.insert(longest);
    EXPECT_EQ(Entries(dir.path()), expected);
}

// The save replaces the file, so another hard link to it keeps the old
// content (README says so).
TEST(CalendarFile, AHardLinkKeepsTheOldContentUnderItsOtherName)
{
    TempDir dir;
    WriteBytes(dir / "cal.dat", CalendarImage(1));
    fsys::create_hard_link(dir / "cal.dat", dir / "other.dat");
    ASSERT_TRUE(Filled(2)->SaveToDisk(dir / "cal.dat").ok());
    EXPECT_EQ(ReadBytes(dir / "cal.dat"), CalendarImage(2));
    EXPECT_EQ(ReadBytes(dir / "other.dat"), CalendarImage(1));
    EXPECT_EQ(StatOf(dir / "cal.dat").st_nlink, 1u);
}

TEST(CalendarFile, FailedReadLeavesTheCalendarUnchanged)
{
    TempDir dir;
    const std::string name = dir / "read.cal";
    cCalendar other;
    ASSERT_TRUE(other.SetDayType(1, 1).ok());
    ASSERT_TRUE(*other.SaveToDisk(name));

    FaultInjectingFileSystem faulty(RealFileSystem());
    faulty.CountReads(true);
    faulty.FailAt(1, true);
    cCalendar cal(faulty);
    ASSERT_TRUE(cal.SetDayType(1, 5).ok());
    Result<bool> got = cal.ReadFromDisk(name);
    // The existence test fails quietly (no file); the read itself, when it is
    // reached, reports its error. Either way the calendar is unchanged.
    if (got.ok()) {
        EXPECT_FALSE(*got);
    }
    EXPECT_EQ(*cal.GetDayType(1), 5);

    // Each operation of the read fails once in turn: a failure of the
    // existence test reads as no file, one of the read itself is an error.
    bool sawError = false;
    for (long k = 1;; ++k) {
        ASSERT_LT(k, 20);
        faulty.Reset();
        faulty.CountReads(true);
        faulty.FailAt(k, false);
        Result<bool> failed = cal.ReadFromDisk(name);
        if (k > faulty.operations()) {
            // Nothing failed: every operation was tried, and this read worked.
            ASSERT_TRUE(failed.ok());
            EXPECT_TRUE(*failed);
            EXPECT_EQ(*cal.GetDayType(1), 1);
            break;
        }
        EXPECT_TRUE(!failed.ok() || !*failed) << "operation " << k;
        sawError = sawError || !failed.ok();
        EXPECT_EQ(*cal.GetDayType(1), 5) << "operation " << k;
    }
    EXPECT_TRUE(sawError);
}

} // namespace
} // namespace vel
