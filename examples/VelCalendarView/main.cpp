// VelCalendarView [--calendar FILE] [--profile FILE] [--show-time-axis]
//                 [--year Y --month M] [--today YYYY-MM-DD] [--screenshot OUT.png]
// VelCalendarView --calendar FILE [--set YYYY-MM-DD=DAYTYPE]... --save
//
// Shows a calendar of day types one month at a time and paints the day type
// selected in the combo box onto days with the mouse. --calendar names the
// calendar file (read when it exists, written by the Save button); --profile
// draws the time schedule of a route profile file (read only) as time bars;
// --today fixes today's date for a reproducible picture; --screenshot saves
// the drawing surface, in surface pixels, as a PNG and ends the program
// instead of showing the window. --save gives the days of --set their day
// types in the calendar file and saves it, without a window and without a
// display: status 0 saved, 1 not saved (the reason on standard error), 2 a
// wrong command line.

#include "base/file_system.h"
#include "calendar/calendar_edit.h"
#include "calendar/view_options.h"
#include "gui/calendar_window.h"
#include "project/route_profile_store.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

int Fail(const std::string& message)
{
    std::fprintf(stderr, "VelCalendarView: %s\n", message.c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    const vel::Result<vel::CalendarViewOptions> parsed = vel::ParseCalendarViewOptions(args);
    if (!parsed) {
        std::fprintf(stderr, "VelCalendarView: %s\n\n%s", parsed.error().message.c_str(),
                     vel::CalendarViewUsage().c_str());
        return 2;
    }
    const vel::CalendarViewOptions& options = *parsed;
    if (options.help) {
        std::fputs(vel::CalendarViewUsage().c_str(), stdout);
        return 0;
    }
    if (options.save) {
        const vel::Result<bool> saved = vel::SaveCalendarSettings(options, vel::RealFileSystem());
        return saved ? 0 : Fail(saved.error().message);
    }
    // A screenshot needs no display.
    if (!options.screenshotFile.empty() && std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VelCalendarView"));

    vel::CalendarWindow window;
    if (options.todayDayIndex) window.SetToday(options.todayDayIndex);
    if (!options.calendarFile.empty()) {
        if (auto st = window.OpenCalendar(options.calendarFile); !st) return Fail(st.error().message);
    }
    if (!options.profileFile.empty()) {
        auto bytes = vel::ReadNamedFile(vel::RealFileSystem(), options.profileFile, vel::ProfileKind().maxFileBytes);
        if (!bytes) return Fail(bytes.error().message);
        auto decoded = vel::DecodeProfileFile(*bytes, options.profileFile);
        if (!decoded) return Fail(decoded.error().message);
        window.SetSchedule(std::move(decoded->schedule));
    }
    window.SetShowTimeAxis(options.showTimeAxis);
    const vel::YearMonth first = vel::FirstMonthToShow(options, options.todayDayIndex ? *options.todayDayIndex
                                                                                      : vel::TodaysDayIndex());
    if (auto st = window.ShowMonth(first.year, first.month); !st) return Fail(st.error().message);

    if (!options.screenshotFile.empty()) {
        if (!window.Surface().Picture().save(QString::fromStdString(options.screenshotFile), "PNG"))
            return Fail("cannot write " + options.screenshotFile);
        return 0;
    }

    window.show();
    return QApplication::exec();
}
