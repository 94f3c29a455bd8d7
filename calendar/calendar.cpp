#include "calendar/calendar.h"

#include "calendar/file_exists.h"

#include <algorithm>
#include <cstring>

namespace vel {

namespace {

Error DayOutOfRange(std::int32_t day)
{
    return IndexOutOfRange("calendar days", day, 0, CalendarDays - 1);
}

std::int16_t DayTypeAt(const ByteBuffer& buffer, std::size_t day)
{
    const auto lo = static_cast<std::uint16_t>(buffer[2 * day]);
    const auto hi = static_cast<std::uint16_t>(buffer[2 * day + 1]);
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(lo | (hi << 8)));
}

} // namespace

cCalendar::cCalendar(FileSystem& fs) : m_FileSystem(&fs)
{
    m_DayTypes.fill(0);
    m_DayTypeUsed.fill(0);
}

Result<bool> cCalendar::IsDayTypeUsed(std::int16_t DayType) const
{
    if (DayType < 0 || DayType >= ScheduleDayTypes)
        return IndexOutOfRange("schedule day types", DayType, 0, ScheduleDayTypes - 1);
    return m_DayTypeUsed[static_cast<std::size_t>(DayType)] != 0;
}

Status cCalendar::SetDayType(std::int32_t TheDay, std::int16_t DayType)
{
    if (TheDay < 0 || TheDay >= CalendarDays) return DayOutOfRange(TheDay);
    m_DayTypes[static_cast<std::size_t>(TheDay)] = DayType;
    return Status::Ok();
}

Result<std::int16_t> cCalendar::GetDayType(std::int32_t TheDay) const
{
    if (TheDay < 0 || TheDay >= CalendarDays) return DayOutOfRange(TheDay);
    return m_DayTypes[static_cast<std::size_t>(TheDay)];
}

namespace {

// A calendar file is 29220 bytes; a longer one keeps what follows the day
// types, up to this bound. A larger file is no calendar and is not read.
constexpr std::uint64_t MaxCalendarFileBytes = 64u * 1024 * 1024;

// Where the calendar named `name` really lives: the folder and the file name
// with every link followed.
struct CalendarPlace {
    Folder folder;
    std::string file;
};

Result<CalendarPlace> Locate(FileSystem& fs, const std::string& name)
{
    VEL_TRY_ASSIGN(const auto target, fs.ResolvePath(name));
    auto [dir, file] = SplitPath(target);
    VEL_TRY_ASSIGN(auto folder, OpenFolder(fs, dir));
    return CalendarPlace{std::move(folder), file};
}

} // namespace

// The first 29220 bytes of the file, a short file padded with zero bytes.
Result<ByteBuffer> cCalendar::ReadPadded(const std::string& CalendarName) const
{
    VEL_TRY_ASSIGN(const auto place, Locate(*m_FileSystem, CalendarName));
    VEL_TRY_ASSIGN(const ByteBuffer content,
                   m_FileSystem->ReadAt(place.folder.handle(), place.file, MaxCalendarFileBytes));
    ByteBuffer padded(CalendarFileBytes, 0);
    std::copy_n(content.begin(), std::min(content.size(), CalendarFileBytes), padded.begin());
    return padded;
}

Result<bool> cCalendar::ReadFromDisk(const std::string& CalendarName)
{
    if (!FileExists(*m_FileSystem, CalendarName)) return false;
    VEL_TRY_ASSIGN(const ByteBuffer buffer, ReadPadded(CalendarName));
    for (std::size_t day = 0; day < m_DayTypes.size(); ++day) m_DayTypes[day] = DayTypeAt(buffer, day);
    return true;
}

Result<bool> cCalendar::SaveToDisk(const std::string& CalendarName) const
{
    auto refused = [&CalendarName](const Error& why) {
        return MakeError(why.code, "cannot save the calendar '" + CalendarName + "': " + why.message);
    };
    if (CalendarName.empty() || CalendarName.back() == '/')
        return refused(MakeError(ErrorCode::InvalidArgument, "that is no file name"));

    // The file is saved where it lives: through a link to its target, which
    // keeps its permission bits, owner and group.
    auto place = Locate(*m_FileSystem, CalendarName);
    if (!place) return refused(place.error());
    const FolderHandle folder = place->folder.handle();
    Result<FileInfo> info = m_FileSystem->StatAt(folder, place->file);
    if (!info.ok()) return refused(info.error());
    if (info->exists() && !info->isRegular())
        return refused(MakeError(ErrorCode::NotPlainFile,
                                 std::string("it is ") + (info->isFolder() ? "a folder" : "not a plain file")));
    // The new content takes the file's place by a rename, which the file's
    // own permissions would not stop: a file the user may not write is not
    // replaced either.
    if (info->exists()) {
        if (Status writable = m_FileSystem->CheckWriteAccessAt(folder, place->file); !writable)
            return refused(writable.error());
    }

    // An existing longer file keeps its bytes past the day types.
    ByteBuffer image;
    if (info->exists() && info->size > CalendarFileBytes) {
        Result<ByteBuffer> old = m_FileSystem->ReadAt(folder, place->file, MaxCalendarFileBytes);
        if (!old.ok()) return refused(old.error());
        image = std::move(*old);
    }
    if (image.size() < CalendarFileBytes) image.resize(CalendarFileBytes, 0);
    for (std::size_t day = 0; day < m_DayTypes.size(); ++day) {
        const auto v = static_cast<std::uint16_t>(m_DayTypes[day]);
        image[2 * day] = static_cast<std::uint8_t>(v & 0xFF);
        image[2 * day + 1] = static_cast<std::uint8_t>(v >> 8);
    }

    // The new content replaces the old in one step, so that a failed save
    // never leaves a half-written calendar behind.
    const FileAttributes attributes = info->exists() ? AttributesOf(*info) : DefaultAttributes();
    if (Status replaced = ReplaceFileAt(*m_FileSystem, folder, place->file, image, attributes); !replaced)
        return refused(replaced.error());
    return true;
}

Result<bool> cCalendar::CompareToDisk(const std::string& CalendarName) const
{
    if (!FileExists(*m_FileSystem, CalendarName)) return false;
    VEL_TRY_ASSIGN(const ByteBuffer buffer, ReadPadded(CalendarName));
    for (std::size_t day = 0; day < m_DayTypes.size(); ++day) {
        if (DayTypeAt(buffer, day) != m_DayTypes[day]) return false;
    }
    return true;
}

Result<bool> cCalendar::CompareToOtherCalendar(const cCalendar* OtherCalendar) const
{
    if (OtherCalendar == nullptr)
        return MakeError(ErrorCode::InvalidArgument, "CompareToOtherCalendar: no calendar to compare with");
    for (std::int32_t day = 0; day < CalendarDays; ++day) {
        VEL_TRY_ASSIGN(const std::int16_t other, OtherCalendar->GetDayType(day));
        if (other != m_DayTypes[static_cast<std::size_t>(day)]) return false;
    }
    return true;
}

} // namespace vel
