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

std::string DirectoryOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
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

// The first 29220 bytes of the file, a short file padded with zero bytes.
Result<ByteBuffer> cCalendar::ReadPadded(const std::string& CalendarName) const
{
    Result<ByteBuffer> content = m_FileSystem->ReadFile(CalendarName);
    if (!content.ok()) return content.error();
    ByteBuffer padded(CalendarFileBytes, 0);
    std::copy_n(content->begin(), std::min(content->size(), CalendarFileBytes), padded.begin());
    return padded;
}

Result<bool> cCalendar::ReadFromDisk(const std::string& CalendarName)
{
    if (!FileExists(*m_FileSystem, CalendarName)) return false;
    Result<ByteBuffer> buffer = ReadPadded(CalendarName);
    if (!buffer.ok()) return buffer.error();
    for (std::size_t day = 0; day < m_DayTypes.size(); ++day) m_DayTypes[day] = DayTypeAt(*buffer, day);
    return true;
}

Result<bool> cCalendar::SaveToDisk(const std::string& CalendarName) const
{
    Result<FileInfo> info = m_FileSystem->Stat(CalendarName);
    if (!info.ok()) return info.error();
    if (info->exists && info->isDirectory)
        return MakeError(ErrorCode::Io, "cannot write calendar '" + CalendarName + "': it is a directory");

    // An existing longer file keeps its bytes past the day types.
    ByteBuffer image;
    if (info->exists && info->size > CalendarFileBytes) {
        Result<ByteBuffer> old = m_FileSystem->ReadFile(CalendarName);
        if (!old.ok()) return old.error();
        image = std::move(*old);
    }
    if (image.size() < CalendarFileBytes) image.resize(CalendarFileBytes, 0);
    for (std::size_t day = 0; day < m_DayTypes.size(); ++day) {
        const auto v = static_cast<std::uint16_t>(m_DayTypes[day]);
        image[2 * day] = static_cast<std::uint8_t>(v & 0xFF);
        image[2 * day + 1] = static_cast<std::uint8_t>(v >> 8);
    }

    // The new content goes to a temporary file beside the calendar and then
    // replaces it in one step, so that a failed write never leaves a
    // half-written calendar behind.
    const std::string temporary = CalendarName + ".tmp";
    Status written = m_FileSystem->WriteFile(temporary, image, true);
    if (!written.ok()) {
        (void)m_FileSystem->Remove(temporary);
        return written.error();
    }
    Status renamed = m_FileSystem->Rename(temporary, CalendarName);
    if (!renamed.ok()) {
        (void)m_FileSystem->Remove(temporary);
        return renamed.error();
    }
    VEL_TRY(m_FileSystem->SyncDirectory(DirectoryOf(CalendarName)));
    return true;
}

Result<bool> cCalendar::CompareToDisk(const std::string& CalendarName) const
{
    if (!FileExists(*m_FileSystem, CalendarName)) return false;
    Result<ByteBuffer> buffer = ReadPadded(CalendarName);
    if (!buffer.ok()) return buffer.error();
    for (std::size_t day = 0; day < m_DayTypes.size(); ++day) {
        if (DayTypeAt(*buffer, day) != m_DayTypes[day]) return false;
    }
    return true;
}

Result<bool> cCalendar::CompareToOtherCalendar(const cCalendar* OtherCalendar) const
{
    if (OtherCalendar == nullptr)
        return MakeError(ErrorCode::InvalidArgument, "CompareToOtherCalendar: no calendar to compare with");
    for (std::int32_t day = 0; day < CalendarDays; ++day) {
        Result<std::int16_t> other = OtherCalendar->GetDayType(day);
        if (!other.ok()) return other.error();
        if (*other != m_DayTypes[static_cast<std::size_t>(day)]) return false;
    }
    return true;
}

} // namespace vel
