#include "gui/schedule_editor_window.h"
#include "project/route_profile_store.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QScrollBar>
#include <QTemporaryDir>

namespace vel {

using namespace Qt::StringLiterals;

namespace {

QRgb At(const QImage& image, int x, int y)
{
    return image.pixel(x, y) & 0xFFFFFF;
}

QRgb C(Rgb c)
{
    return qRgb(c.r, c.g, c.b) & 0xFFFFFF;
}

std::unique_ptr<cTimeSchedule> DefaultWeek(ScheduleEditorWindow& w)
{
    auto s = std::make_unique<cTimeSchedule>(std::make_shared<DayTypeNameTable>(w.Schedule().Names()));
    s->SetDefaultPeriod();
    return s;
}

TEST(ScheduleEditorWindow, SizesItsControlsThroughTheHostMembers)
{
    ScheduleEditorWindow w;
    ASSERT_TRUE(w.SetSchedule(DefaultWeek(w)).ok());
    EXPECT_EQ(w.SurfaceVariable(), &w.Surface());
    EXPECT_EQ(w.Surface().height(), 179);
    auto* scroll = w.findChild<QScrollBar*>(QStringLiteral("VScroll_Schedule"));
    ASSERT_NE(scroll, nullptr);
    EXPECT_EQ(w.Surface().width(), scroll->x());
    EXPECT_EQ(scroll->maximum(), 0);
    const QImage& picture = w.Surface().Picture();
    ASSERT_EQ(picture.height(), 179);
    EXPECT_EQ(At(picture, 114, 10), C(RgbBlack));
    EXPECT_EQ(At(picture, 150, 4), C(Rgb{0, 240, 0}));
    EXPECT_EQ(At(picture, 222, 110), C(RgbBlack));       // Friday's stop edge
    EXPECT_NE(At(picture, 150, 129), C(Rgb{0, 240, 0})); // Saturday is free
    EXPECT_TRUE(w.LastError().isEmpty());
}

TEST(ScheduleEditorWindow, PressShowsThePeriodTextsAndTypedTextsApply)
{
    ScheduleEditorWindow w;
    ASSERT_TRUE(w.SetSchedule(DefaultWeek(w)).ok());
    ASSERT_TRUE(w.Press(115, 10).ok());
    auto edits = w.findChildren<QLineEdit*>();
    ASSERT_EQ(edits.size(), 3);
    EXPECT_EQ(edits[0]->text(), u"07:00"_s);
    EXPECT_EQ(edits[1]->text(), u"16:00"_s);
    EXPECT_EQ(edits[2]->text(), u"07:05"_s);
    EXPECT_EQ(At(w.Surface().Picture(), 150, 4), C(Rgb{0, 176, 0})); // selected

    edits[0]->setText(QStringLiteral("18:00"));
    edits[1]->setText(QStringLiteral("8"));
    Q_EMIT edits[1]->editingFinished();
    EXPECT_EQ(edits[0]->text(), u"08:00"_s);
    EXPECT_EQ(edits[1]->text(), u"18:00"_s);
    auto monday = w.Schedule().Periods(0);
    ASSERT_EQ(monday->size(), 1u);
    EXPECT_EQ((*monday)[0]->m_StartMinute, 480);
    EXPECT_EQ((*monday)[0]->m_StopMinute, 1080);
    auto thursday = w.Schedule().Periods(3);
    EXPECT_EQ((*thursday)[0]->m_StopMinute, 1080); // grouped
}

TEST(ScheduleEditorWindow, RightPressPreparesTheMenuAndItsCommandsEdit)
{
    ScheduleEditorWindow w;
    ASSERT_TRUE(w.SetSchedule(DefaultWeek(w)).ok());
    ASSERT_TRUE(w.Schedule().MouseDown(w.Host(), w.SurfaceVariable(), 2, 0, 150, 135).ok()); // Saturday
    auto* menu = w.findChild<QMenu*>();
    ASSERT_NE(menu, nullptr);
    QAction* paste = nullptr;
    QAction* monFri = nullptr;
    QAction* allDay = nullptr;
    for (QAction* a : menu->actions()) {
        if (a->text() == u"Paste"_s) paste = a;
        if (a->text() == u"Group Mon-Fri"_s) monFri = a;
        if (a->text() == u"00-24"_s) allDay = a;
    }
    ASSERT_TRUE(paste && monFri && allDay);
    EXPECT_FALSE(paste->isEnabled());
    EXPECT_TRUE(monFri->isChecked());
    allDay->trigger();
    auto saturday = w.Schedule().Periods(5);
    ASSERT_EQ(saturday->size(), 1u);
    EXPECT_EQ((*saturday)[0]->m_StopMinute, 1440);
    EXPECT_EQ(At(w.Surface().Picture(), 40, 129), C(Rgb{0, 240, 0}));
    // Group Mon-Fri with its check mark set dissolves the group.
    monFri->trigger();
    for (auto g : w.Schedule().m_DayTypeGrouped) EXPECT_EQ(g, 0);
    EXPECT_TRUE(w.LastError().isEmpty());
}

TEST(ScheduleEditorWindow, DayTypeNamesFollowTheCheckBox)
{
    ScheduleEditorWindow w;
    ASSERT_TRUE(w.SetSchedule(DefaultWeek(w)).ok());
    const QImage before = w.Surface().Picture();
    w.findChild<QCheckBox*>()->setChecked(true);
    EXPECT_NE(w.Surface().Picture(), before);
    w.findChild<QCheckBox*>()->setChecked(false);
    EXPECT_EQ(w.Surface().Picture(), before);
}

TEST(ScheduleEditorWindow, SpecialDayTypesShowTheirIcons)
{
    ScheduleEditorWindow w;
    auto s = DefaultWeek(w);
    s->m_UseCalendar = -1;
    ASSERT_TRUE(s->SetActive(9, 1).ok());
    ASSERT_TRUE(w.SetSchedule(std::move(s)).ok());
    EXPECT_EQ(w.Surface().height(), 204);
    // Icon 3 at x = 30 - 16 - 4 = 10, y = 175 + 4 + (15 - 16) / 2 -> 178.
    const QImage icon = ScheduleEditorWindow::DayTypeIcon(3);
    const QImage& picture = w.Surface().Picture();
    EXPECT_EQ(At(picture, 10 + 8, 178 + 4), icon.pixel(8, 4) & 0xFFFFFF);
    EXPECT_EQ(At(picture, 10 + 1, 178 + 1), C(RgbBlack)); // the icon's frame
}

TEST(VelScheduleEditorProgram, ScreenshotOfTheDefaultWeekAfterAPress)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString out = dir.filePath(QStringLiteral("week.png"));
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(VEL_SCHEDULE_EDITOR), {QStringLiteral("--default-week"), QStringLiteral("--press"),
                                                  QStringLiteral("150,60"), QStringLiteral("--screenshot"), out});
    ASSERT_TRUE(p.waitForFinished(30000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    QImage image(out);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.height(), 179);
    EXPECT_EQ(At(image, 150, 54), C(Rgb{0, 176, 0})); // Wednesday selected
    EXPECT_EQ(At(image, 150, 4), C(Rgb{0, 240, 0}));
    EXPECT_EQ(At(image, 114, 54), C(RgbBlack));

    QProcess bad;
    bad.setProcessEnvironment(env);
    bad.start(QStringLiteral(VEL_SCHEDULE_EDITOR),
              {QStringLiteral("--profile"), dir.filePath(QStringLiteral("missing.dat")), QStringLiteral("--screenshot"),
               out});
    ASSERT_TRUE(bad.waitForFinished(30000));
    EXPECT_NE(bad.exitCode(), 0);
}

TEST(VelScheduleEditorProgram, ShowsTheScheduleOfAProfileFileWithoutWritingIt)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    RouteProfile profile;
    profile.Name() = "Night shift";
    cTimeSchedule schedule;
    ASSERT_TRUE(schedule.AppendPeriod(5, 0, 1440).ok());
    ASSERT_TRUE(schedule.AppendPeriod(0, 1200, 1440).ok());
    auto bytes = EncodeProfileFile(profile, schedule, "Profile_0001.dat");
    ASSERT_TRUE(bytes.ok()) << bytes.error().message;
    const QString path = dir.filePath(QStringLiteral("Profile_0001.dat"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(reinterpret_cast<const char*>(bytes->data()), static_cast<qint64>(bytes->size()));
    }
    const QString out = dir.filePath(QStringLiteral("profile.png"));
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(VEL_SCHEDULE_EDITOR),
            {QStringLiteral("--profile"), path, QStringLiteral("--screenshot"), out});
    ASSERT_TRUE(p.waitForFinished(30000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    QImage image(out);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(At(image, 100, 129), C(Rgb{0, 240, 0})); // Saturday all day
    EXPECT_EQ(At(image, 270, 4), C(RgbBlack));         // Monday from 20:00
    EXPECT_EQ(At(image, 280, 4), C(Rgb{0, 240, 0}));
    EXPECT_NE(At(image, 100, 4), C(Rgb{0, 240, 0}));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray after = f.readAll();
    EXPECT_EQ(after, QByteArray(reinterpret_cast<const char*>(bytes->data()), static_cast<qsizetype>(bytes->size())));
}

} // namespace
} // namespace vel
