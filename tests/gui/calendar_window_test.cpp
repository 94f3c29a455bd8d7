#include "calendar/calendar_dates.h"
#include "gui/calendar_window.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <array>
#include <string>

namespace vel {
namespace {

QRgb At(const QImage& image, int x, int y)
{
    return image.pixel(x, y) | 0xFF000000u;
}

QRgb C(Rgb c)
{
    return qRgb(c.r, c.g, c.b);
}

struct December2026Window {
    December2026Window()
    {
        window.Calendar().SetHeadingLocale("C");
        window.SetToday(static_cast<std::int32_t>(DayIndexOf(2026, 12, 15)));
        EXPECT_TRUE(window.ShowMonth(2026, 12).ok());
    }
    CalendarWindow window;
};

TEST(CalendarWindow, HostMembersThroughTheBridge)
{
    December2026Window w;
    HostContainer& host = w.window.Host();
    EXPECT_EQ(w.window.MonthHeading(), QStringLiteral("December 2026"));

    // Nothing selected: none.
    Result<HostValue> none = host.Call("Get_Combo_Calendar_DayType_SelectedItem");
    ASSERT_TRUE(none.ok());
    EXPECT_TRUE(std::holds_alternative<std::monostate>(*none));
    EXPECT_EQ(*HostValueToInt(*host.Call("Get_Combo_Calendar_DayType_SelectedItem_Index")), 0);

    w.window.DayTypeCombo().setCurrentIndex(2);
    EXPECT_EQ(*HostValueToText(*host.Call("Get_Combo_Calendar_DayType_SelectedItem")), "Tuesday");
    EXPECT_EQ(*HostValueToInt(*host.Call("Get_Combo_Calendar_DayType_SelectedItem_Index")), 3);

    // Item 1 "no entry", then the 23 day types.
    EXPECT_EQ(w.window.DayTypeCombo().count(), 24);
    std::array<HostValue, 1> first{HostValue{std::int16_t{1}}};
    EXPECT_EQ(*HostValueToText(*host.Call("Get_Combo_Calendar_DayType_ComboItems", first)), "no entry");
    std::array<HostValue, 1> last{HostValue{std::int16_t{24}}};
    EXPECT_EQ(*HostValueToText(*host.Call("Get_Combo_Calendar_DayType_ComboItems", last)), "Special day 16");
    std::array<HostValue, 1> outside{HostValue{std::int16_t{25}}};
    Result<HostValue> beyond = host.Call("Get_Combo_Calendar_DayType_ComboItems", outside);
    ASSERT_TRUE(beyond.ok());
    EXPECT_TRUE(std::holds_alternative<std::monostate>(*beyond));
}

TEST(CalendarWindow, PaintingWithTheMouseOnTheRealSurface)
{
    December2026Window w;
    QtDrawingSurface& s = w.window.Surface();
    const Rgb back = s.BackColor();
    // The 5th: Saturday, row 0, column 5.
    EXPECT_EQ(At(s.Picture(), 240, 35), C(back));

    w.window.DayTypeCombo().setCurrentIndex(9); // "Special day 2": stores 9, icon 2
    Q_EMIT s.MousePressed(1, 0, 250, 30);
    Q_EMIT s.MouseMoved(1, 0, 290, 30); // Sunday the 6th
    Q_EMIT s.MouseReleased(1, 0, 290, 30);
    Q_EMIT s.MouseMoved(0, 0, 90, 30); // the 1st, no button
    const std::int32_t fifth = static_cast<std::int32_t>(DayIndexOf(2026, 12, 5));
    EXPECT_EQ(*w.window.Calendar().GetDayType(fifth), 9);
    EXPECT_EQ(*w.window.Calendar().GetDayType(fifth + 1), 9);
    EXPECT_EQ(*w.window.Calendar().GetDayType(fifth - 4), 0);
    EXPECT_TRUE(w.window.LastError().isEmpty()) << w.window.LastError().toStdString();

    // Icon 2 of the image list at (60 + 40c, 22 + 25r).
    const QImage icon = CalendarWindow::DayTypeIcon(2);
    EXPECT_EQ(At(s.Picture(), 260 + 2, 22 + 2), At(icon, 2, 2));
    EXPECT_EQ(At(s.Picture(), 260, 22), At(icon, 0, 0));

    // The tooltip of the 6th names its day type (combo item 10).
    Q_EMIT s.MouseMoved(0, 0, 290, 30);
    EXPECT_EQ(s.ToolTipText(), "Special day 2");
}

TEST(CalendarWindow, StripsAndTimeBarsOnTheRealSurface)
{
    December2026Window w;
    const QImage& picture = w.window.Surface().Picture();
    // Today (Tuesday the 15th, row 2 column 1) and Sunday the 6th.
    EXPECT_EQ(At(picture, 72, 72), C(Rgb{0, 255, 255}));
    EXPECT_EQ(At(picture, 272, 22), C(Rgb{255, 192, 192}));
    EXPECT_EQ(At(picture, 272, 43), C(Rgb{255, 129, 129}));

    auto schedule = std::make_unique<cTimeSchedule>();
    schedule->SetDefaultPeriod(); // Monday to Friday 07:00-16:00
    w.window.SetSchedule(std::move(schedule));
    w.window.SetShowTimeAxis(true);
    EXPECT_TRUE(w.window.LastError().isEmpty());
    // Monday the 7th (row 1, column 0): 420 -> x 43 (edge), 960 -> x 57 (edge).
    EXPECT_EQ(At(picture, 44, 64), C(Rgb{0, 240, 0}));
    EXPECT_EQ(At(picture, 43, 64), C(Rgb{128, 128, 128}));
    EXPECT_EQ(At(picture, 60, 64), C(Grey(220)));
    EXPECT_EQ(At(picture, 272, 37), C(Rgb{255, 147, 147})); // 16-line strip
    EXPECT_EQ(At(picture, 272, 38), C(w.window.Surface().BackColor()));
}

TEST(CalendarWindow, NavigationStaysInsideTheCalendar)
{
    CalendarWindow window;
    ASSERT_TRUE(window.ShowMonth(2000, 1).ok());
    EXPECT_FALSE(window.ShowPreviousMonth().ok());
    ASSERT_TRUE(window.ShowNextMonth().ok());
    EXPECT_EQ(window.Calendar().m_SelectedMonth, 2);
    ASSERT_TRUE(window.ShowMonth(2039, 12).ok());
    EXPECT_FALSE(window.ShowNextMonth().ok());
    ASSERT_TRUE(window.ShowPreviousMonth().ok());
    EXPECT_EQ(window.Calendar().m_SelectedMonth, 11);
    ASSERT_TRUE(window.ShowMonth(2026, 12).ok());
    ASSERT_TRUE(window.ShowNextMonth().ok());
    EXPECT_EQ(window.Calendar().m_SelectedYear, 2027);
    EXPECT_EQ(window.Calendar().m_SelectedMonth, 1);
    EXPECT_FALSE(window.ShowMonth(2040, 1).ok());
    EXPECT_FALSE(window.ShowMonth(2026, 0).ok());
}

TEST(CalendarWindow, OpenAndSaveTheCalendarFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string path = dir.filePath(QStringLiteral("window.cal")).toStdString();
    {
        CalendarWindow window;
        EXPECT_FALSE(window.Save().ok());            // no file given
        ASSERT_TRUE(window.OpenCalendar(path).ok()); // a new calendar
        ASSERT_TRUE(window.Calendar().SetDayType(9831, 4).ok());
        ASSERT_TRUE(window.Save().ok());
    }
    EXPECT_EQ(QFile(QString::fromStdString(path)).size(), 29220);
    CalendarWindow again;
    ASSERT_TRUE(again.OpenCalendar(path).ok());
    EXPECT_EQ(*again.Calendar().GetDayType(9831), 4);
}

#ifdef VEL_CALENDAR_VIEW
TEST(VelCalendarViewProgram, ScreenshotOfDecember2026)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString calendarFile = dir.filePath(QStringLiteral("dec.cal"));
    {
        cCalendar cal;
        ASSERT_TRUE(cal.SetDayType(static_cast<std::int32_t>(DayIndexOf(2026, 12, 9)), 2).ok());
        ASSERT_TRUE(cal.SetDayType(static_cast<std::int32_t>(DayIndexOf(2026, 12, 10)), 9).ok());
        ASSERT_TRUE(cal.SaveToDisk(calendarFile.toStdString()).ok());
    }
    const QString out = dir.filePath(QStringLiteral("dec.png"));
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(VEL_CALENDAR_VIEW),
            {QStringLiteral("--calendar"), calendarFile, QStringLiteral("--year"), QStringLiteral("2026"),
             QStringLiteral("--month"), QStringLiteral("12"), QStringLiteral("--today"), QStringLiteral("2026-12-15"),
             QStringLiteral("--show-time-axis"), QStringLiteral("--screenshot"), out});
    ASSERT_TRUE(p.waitForFinished(30000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    QImage image(out);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.width(), 320);
    EXPECT_EQ(image.height(), 176);
    EXPECT_EQ(At(image, 72, 72), C(Rgb{0, 255, 255}));    // today
    EXPECT_EQ(At(image, 272, 37), C(Rgb{255, 147, 147})); // Sunday, 16 lines
    EXPECT_EQ(At(image, 30, 100), C(RgbBlack));
    EXPECT_EQ(At(image, 31, 100), C(RgbWhite));
    const QImage icon = CalendarWindow::DayTypeIcon(2); // the 10th: Thursday, row 1
    EXPECT_EQ(At(image, 180 + 2, 47 + 2), At(icon, 2, 2));
    // The calendar file is only read.
    cCalendar back;
    EXPECT_TRUE(*back.ReadFromDisk(calendarFile.toStdString()));
    EXPECT_EQ(*back.GetDayType(static_cast<std::int32_t>(DayIndexOf(2026, 12, 10))), 9);

    QProcess bad;
    bad.setProcessEnvironment(env);
    bad.start(QStringLiteral(VEL_CALENDAR_VIEW),
              {QStringLiteral("--year"), QStringLiteral("2040"), QStringLiteral("--month"), QStringLiteral("1")});
    ASSERT_TRUE(bad.waitForFinished(30000));
    EXPECT_EQ(bad.exitCode(), 2);
}

// --set and --save change the calendar file without a window and without a
// display.
TEST(VelCalendarViewProgram, SetDaysAndSaveWithoutADisplay)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("set.cal"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) env.remove(QString::fromLatin1(name));
    struct Run {
        int status;
        std::string errors;
    };
    auto run = [&](QStringList args) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(VEL_CALENDAR_VIEW), args);
        EXPECT_TRUE(p.waitForFinished(30000));
        return Run{p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardError().toStdString()};
    };
    const std::int32_t eve = static_cast<std::int32_t>(DayIndexOf(2026, 12, 24));

    // A new file, then a change of one day that keeps the others.
    Run made = run({QStringLiteral("--calendar"), file, QStringLiteral("--set"), QStringLiteral("2026-12-24=9"),
                    QStringLiteral("--set"), QStringLiteral("2026-12-31=23"), QStringLiteral("--save")});
    EXPECT_EQ(made.status, 0) << made.errors;
    Run changed = run({QStringLiteral("--save"), QStringLiteral("--calendar"), file, QStringLiteral("--set"),
                       QStringLiteral("2026-12-24=0")});
    EXPECT_EQ(changed.status, 0) << changed.errors;
    cCalendar back;
    ASSERT_TRUE(*back.ReadFromDisk(file.toStdString()));
    EXPECT_EQ(*back.GetDayType(eve), 0);
    EXPECT_EQ(*back.GetDayType(eve + 7), 23);
    EXPECT_EQ(QFile(file).size(), 29220);

    // A usage error changes nothing.
    const QByteArray before = [&] {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    Run wrong = run({QStringLiteral("--calendar"), file, QStringLiteral("--set"), QStringLiteral("2026-12-24=24"),
                     QStringLiteral("--save")});
    EXPECT_EQ(wrong.status, 2);
    EXPECT_NE(wrong.errors.find("Usage:"), std::string::npos);
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);

    // A save that cannot be done: status 1 and the reason.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.cal")));
    Run refused = run({QStringLiteral("--calendar"), dir.filePath(QStringLiteral("folder.cal")),
                       QStringLiteral("--set"), QStringLiteral("2026-12-24=5"), QStringLiteral("--save")});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.errors.find("VelCalendarView: cannot read the calendar"), std::string::npos) << refused.errors;
    EXPECT_NE(refused.errors.find("a folder"), std::string::npos) << refused.errors;
}
#endif

} // namespace
} // namespace vel
