#include "calendar/calendar_edit.h"

namespace vel {

namespace {

// What the name of a calendar file names, links followed.
Result<FileInfo> Examine(FileSystem& fs, const std::string& path)
{
    auto target = fs.ResolvePath(path);
    if (!target) {
        // A missing folder holds no calendar yet; saving will say why it cannot make one.
        if (target.error().code == ErrorCode::NotFound) return FileInfo{};
        return target.error();
    }
    const auto [dir, name] = SplitPath(*target);
    VEL_TRY_ASSIGN(const auto folder, OpenFolder(fs, dir));
    return fs.StatAt(folder.handle(), name);
}

} // namespace

Result<bool> ReadCalendarFile(cCalendar& calendar, FileSystem& fs, const std::string& path)
{
    auto failed = [&path](const Error& why) {
        return MakeError(why.code, "cannot read the calendar '" + path + "': " + why.message);
    };
    Result<FileInfo> info = Examine(fs, path);
    if (!info) return failed(info.error());
    if (!info->exists()) return false;
    if (!info->isRegular())
        return failed(MakeError(ErrorCode::NotPlainFile,
                                std::string("it is ") + (info->isFolder() ? "a folder" : "not a plain file")));
    Result<bool> read = calendar.ReadFromDisk(path);
    if (!read) return failed(read.error());
    if (!*read) return failed(MakeError(ErrorCode::NotFound, "it could not be examined again"));
    return true;
}

Result<bool> SaveCalendarSettings(const CalendarViewOptions& options, FileSystem& fs)
{
    cCalendar calendar(fs);
    VEL_TRY_ASSIGN(const bool existed, ReadCalendarFile(calendar, fs, options.calendarFile));
    for (const DaySetting& setting : options.settings) VEL_TRY(calendar.SetDayType(setting.dayIndex, setting.dayType));
    VEL_TRY(calendar.SaveToDisk(options.calendarFile));
    return existed;
}

} // namespace vel
