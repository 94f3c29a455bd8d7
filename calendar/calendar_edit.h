#pragma once

// The calendar file read for editing, and changed from the command line
// without a window: VelCalendarView --calendar FILE --set YYYY-MM-DD=DAYTYPE...
// --save.

#include "calendar/calendar.h"
#include "calendar/view_options.h"
#include "base/file_system.h"
#include "base/result.h"

#include <string>

namespace vel {

// Reads the calendar file `path` into `calendar`: true when it was read,
// false when no file of that name exists (the calendar unchanged). Unlike
// ReadFromDisk alone, a name that cannot be examined, or names something
// other than a plain file, is an error rather than a new calendar, so that
// a save never puts an empty calendar in place of one it could not read.
Result<bool> ReadCalendarFile(cCalendar& calendar, FileSystem& fs, const std::string& path);

// Reads options.calendarFile (a missing file is an empty calendar), gives the
// days of options.settings their day types and saves the file. True when
// the file existed before. An error leaves the file as it was.
Result<bool> SaveCalendarSettings(const CalendarViewOptions& options, FileSystem& fs);

} // namespace vel
