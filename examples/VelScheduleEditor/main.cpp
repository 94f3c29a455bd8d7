// VelScheduleEditor [--profile FILE] [--default-week] [--press X,Y] [--screenshot OUT.png]
//
// Shows a weekly time schedule in the schedule editor: the schedule of a
// route profile file (read only; the file is never written), a new schedule
// with the default working week, or an empty one. --press performs a left
// press and release at a point of the drawing surface through the view's
// mouse operations; --screenshot saves the drawing surface, in surface
// pixels, as a PNG and ends the program instead of showing the window.

#include "gui/schedule_editor_window.h"
#include "base/file_system.h"
#include "project/route_profile_store.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>

namespace {

int Fail(const QString& message)
{
    std::fprintf(stderr, "VelScheduleEditor: %s\n", message.toLocal8Bit().constData());
    return 1;
}

bool ParsePoint(const QString& text, float& x, float& y)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 2) return false;
    bool okX = false, okY = false;
    x = parts[0].trimmed().toFloat(&okX);
    y = parts[1].trimmed().toFloat(&okY);
    return okX && okY;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VelScheduleEditor"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Shows and edits a weekly time schedule."));
    parser.addHelpOption();
    const QCommandLineOption profileOption(QStringLiteral("profile"),
                                           QStringLiteral("Show the schedule of a route profile file (read only)."),
                                           QStringLiteral("FILE"));
    const QCommandLineOption defaultWeekOption(QStringLiteral("default-week"),
                                               QStringLiteral("Show a new schedule with the default working week."));
    const QCommandLineOption pressOption(QStringLiteral("press"),
                                         QStringLiteral("Press and release the left button at a surface point."),
                                         QStringLiteral("X,Y"));
    const QCommandLineOption screenshotOption(QStringLiteral("screenshot"),
                                              QStringLiteral("Save the drawing surface as a PNG and exit."),
                                              QStringLiteral("OUT.png"));
    parser.addOptions({profileOption, defaultWeekOption, pressOption, screenshotOption});
    parser.process(app);
    if (!parser.positionalArguments().isEmpty())
        return Fail(QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().first()));
    if (parser.isSet(profileOption) && parser.isSet(defaultWeekOption))
        return Fail(QStringLiteral("--profile and --default-week exclude each other"));

    vel::ScheduleEditorWindow window;
    if (parser.isSet(profileOption)) {
        const QString path = parser.value(profileOption);
        auto bytes = vel::ReadNamedFile(vel::RealFileSystem(), path.toStdString(), vel::ProfileKind().maxFileBytes);
        if (!bytes) return Fail(QString::fromStdString(bytes.error().message));
        auto decoded = vel::DecodeProfileFile(*bytes, path.toStdString());
        if (!decoded) return Fail(QString::fromStdString(decoded.error().message));
        // The editor draws with the window's names.
        std::unique_ptr<vel::cTimeSchedule> schedule = std::move(decoded->schedule);
        schedule->UseNames(std::make_shared<vel::DayTypeNameTable>(window.Schedule().Names()));
        if (auto st = window.SetSchedule(std::move(schedule)); !st)
            return Fail(QString::fromStdString(st.error().message));
    } else if (parser.isSet(defaultWeekOption)) {
        auto schedule = std::make_unique<vel::cTimeSchedule>(
            std::make_shared<vel::DayTypeNameTable>(window.Schedule().Names()));
        schedule->SetDefaultPeriod();
        if (auto st = window.SetSchedule(std::move(schedule)); !st)
            return Fail(QString::fromStdString(st.error().message));
    }

    if (parser.isSet(pressOption)) {
        float x = 0, y = 0;
        if (!ParsePoint(parser.value(pressOption), x, y))
            return Fail(QStringLiteral("--press wants X,Y, not %1").arg(parser.value(pressOption)));
        if (auto st = window.Press(x, y); !st) return Fail(QString::fromStdString(st.error().message));
    }

    if (parser.isSet(screenshotOption)) {
        const QString out = parser.value(screenshotOption);
        if (!window.Surface().Picture().save(out, "PNG")) return Fail(QStringLiteral("cannot write %1").arg(out));
        return 0;
    }

    window.show();
    return QApplication::exec();
}
