#include "gui/main_window.h"

#include "gui/prompt.h"
#include "project/rename_commands.h"
#include "tests/gui/window_test_support.h"
#include "tests/support/fault_injecting_file_system.h"
#include "tests/support/test_project.h"

#include <QApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QWindow>
#include <gtest/gtest.h>

namespace vel {

using namespace Qt::StringLiterals;

namespace {

using test::ExpectTagsInStep;
using test::Nul;
using test::QueuePrompt;
using test::RowNamed;
using test::Rows;
using test::Tag;
using test::TestProject;

void DoubleClick(QTreeWidget* list, QTreeWidgetItem* row)
{
    const QRect rect = row != nullptr ? list->visualItemRect(row) : QRect(5, list->viewport()->height() - 5, 1, 1);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
}

// The name column is as wide as the list's viewport, so the list needs no
// horizontal scrolling and a selected row is marked across it.
void ExpectNameColumnFills(QTreeWidget* list)
{
    EXPECT_EQ(list->header()->sectionSize(0), list->viewport()->width()) << list->objectName().toStdString();
    EXPECT_EQ(list->horizontalScrollBar()->maximum(), 0) << list->objectName().toStdString();
}

class MainWindowTest : public ::testing::Test {
protected:
    void Open(FileSystem* fs = &RealFileSystem())
    {
        window.reset(); // before the suite it works on
        suite = project.Open(false, fs);
        window = std::make_unique<MainWindow>(*suite, prompt);
        report = window->StartUp();
    }
    QTreeWidget* profiles() { return window->ProfileList(); }
    QTreeWidget* receivers() { return window->ReceiverList(); }
    AnsiText ProfileName(int slot) { return suite->ProfileTable.at(static_cast<std::size_t>(slot)).Name(); }
    AnsiText ReceiverName(int slot) { return suite->ReceiverTable.at(static_cast<std::size_t>(slot)).Name(); }
    void Rename(QTreeWidget* list, const QString& from, const QString& to)
    {
        prompt.answers = {to};
        DoubleClick(list, RowNamed(list, from));
    }
    // The title as the window system shows it, the marker put in or left out.
    QString ShownTitle() { return window->windowHandle()->title(); }
    // Watches the file operations of the saves for the commit marker of both tables at once.
    void WatchForOneCommit(FaultInjectingFileSystem& fs)
    {
        fs.OnOperation([this](long, const std::string& what) {
            if (what.find("Profiles+Receivers.commit") != std::string::npos) oneCommit = true;
        });
    }
    bool oneCommit = false;

    TestProject project;
    QueuePrompt prompt;
    std::unique_ptr<Suite> suite;
    std::unique_ptr<MainWindow> window;
    LoadReport report;
};

TEST_F(MainWindowTest, ControlsSitAtTheirDesignPositions)
{
    Open();
    EXPECT_EQ(window->size(), QSize(510, 754));

    auto* frame0 = window->findChild<QGroupBox*>(u"Frame_0"_s);
    auto* frame1 = window->findChild<QGroupBox*>(u"Frame_1"_s);
    ASSERT_NE(frame0, nullptr);
    ASSERT_NE(frame1, nullptr);
    EXPECT_EQ(frame0->title(), u"&Route Profiles"_s);
    EXPECT_EQ(frame1->title(), u"R&eceivers"_s);
    EXPECT_EQ(frame0->geometry(), QRect(0, 0, 505, 379));
    EXPECT_EQ(frame1->geometry(), QRect(0, 380, 505, 339));
    EXPECT_EQ(profiles()->objectName(), u"ListView_Profiles"_s);
    EXPECT_EQ(profiles()->parentWidget(), frame0);
    EXPECT_EQ(profiles()->geometry(), QRect(8, 18, 485, 351));
    EXPECT_EQ(receivers()->objectName(), u"ListView_Receivers"_s);
    EXPECT_EQ(receivers()->parentWidget(), frame1);
    EXPECT_EQ(receivers()->geometry(), QRect(8, 22, 485, 305));
    EXPECT_EQ(window->SaveProfilesButton()->objectName(), u"Command_SaveProfiles"_s);
    EXPECT_EQ(window->SaveProfilesButton()->text(), u"Save Profiles"_s);
    EXPECT_EQ(window->SaveProfilesButton()->geometry(), QRect(20, 724, 105, 21));
    EXPECT_EQ(window->SaveReceiversButton()->objectName(), u"Command_SaveReceivers"_s);
    EXPECT_EQ(window->SaveReceiversButton()->text(), u"Save Receivers"_s);
    EXPECT_EQ(window->SaveReceiversButton()->geometry(), QRect(136, 724, 105, 21));

    for (QTreeWidget* list : {profiles(), receivers()}) {
        EXPECT_EQ(list->columnCount(), 1);
        EXPECT_EQ(list->headerItem()->text(0), u"Name"_s);
        EXPECT_FALSE(list->header()->isHidden());
        EXPECT_EQ(list->iconSize(), QSize(13, 13));
    }
    EXPECT_FALSE(window->SaveProfilesButton()->autoDefault());
    EXPECT_FALSE(window->SaveReceiversButton()->autoDefault());

    // Shown, the one column fills each list.
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    EXPECT_EQ(ShownTitle(), u"Veltra Name change utility"_s);
    EXPECT_EQ(window->size(), QSize(510, 754));
    EXPECT_EQ(receivers()->geometry(), QRect(8, 22, 485, 305));
    for (QTreeWidget* list : {profiles(), receivers()}) ExpectNameColumnFills(list);
}

TEST_F(MainWindowTest, ListsTakeTheRoomAndButtonsStayAtTheBottom)
{
    // Enough receivers for a vertical scroll bar, which the name column leaves room for.
    for (int i = 0; i < 60; ++i) project.AddReceiver(static_cast<std::int16_t>(i), "Receiver " + std::to_string(i));
    Open();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    auto* frame0 = window->findChild<QGroupBox*>(u"Frame_0"_s);
    auto* frame1 = window->findChild<QGroupBox*>(u"Frame_1"_s);

    // Larger: the lists take the width and share the added height; the
    // buttons keep their size and their place at the bottom left.
    window->resize(900, 1154);
    EXPECT_EQ(profiles()->width(), 900 - 25);
    EXPECT_EQ(receivers()->width(), 900 - 25);
    const int grown0 = profiles()->height() - 351;
    const int grown1 = receivers()->height() - 305;
    EXPECT_EQ(grown0 + grown1, 400);
    EXPECT_GT(grown0, 150);
    EXPECT_GT(grown1, 150);
    EXPECT_EQ(frame1->geometry().top(), frame0->geometry().bottom() + 2);
    EXPECT_EQ(window->SaveProfilesButton()->geometry(), QRect(20, 1124, 105, 21));
    EXPECT_EQ(window->SaveReceiversButton()->geometry(), QRect(136, 1124, 105, 21));
    for (QTreeWidget* list : {profiles(), receivers()}) ExpectNameColumnFills(list);

    // Back at the design size, everything is where the design puts it.
    window->resize(510, 754);
    EXPECT_EQ(frame0->geometry(), QRect(0, 0, 505, 379));
    EXPECT_EQ(frame1->geometry(), QRect(0, 380, 505, 339));
    EXPECT_EQ(receivers()->geometry(), QRect(8, 22, 485, 305));
    EXPECT_EQ(window->SaveProfilesButton()->geometry(), QRect(20, 724, 105, 21));

    // Smaller, down to the minimum that fits a 1366 x 768 screen: the
    // buttons stay whole inside the window, below the lists, and the lists
    // still show rows.
    EXPECT_EQ(window->minimumSize(), QSize(420, 520));
    for (const QSize size : {QSize(420, 520), QSize(200, 300)}) {
        window->resize(size);
        EXPECT_EQ(window->size(), QSize(420, 520));
        for (QPushButton* button : {window->SaveProfilesButton(), window->SaveReceiversButton()}) {
            EXPECT_TRUE(button->isVisible());
            EXPECT_EQ(button->size(), QSize(105, 21));
            EXPECT_TRUE(window->rect().contains(button->geometry())) << button->objectName().toStdString();
            EXPECT_GT(button->geometry().top(), frame1->geometry().bottom());
        }
        EXPECT_LT(frame0->geometry().bottom(), frame1->geometry().top());
        for (QTreeWidget* list : {profiles(), receivers()}) {
            EXPECT_GT(list->viewport()->height(), 100) << list->objectName().toStdString();
            EXPECT_EQ(list->width(), 420 - 25);
            ExpectNameColumnFills(list);
        }
    }
    ASSERT_TRUE(receivers()->verticalScrollBar()->isVisible());
    // A selected row is marked across the list.
    receivers()->setCurrentItem(receivers()->topLevelItem(3));
    EXPECT_EQ(receivers()->visualItemRect(receivers()->topLevelItem(3)).width(), receivers()->viewport()->width());
}

TEST_F(MainWindowTest, FitsIntoTheScreenItOpensOn)
{
    Open();
    // A 1366 x 768 screen with a 40-pixel panel: the window with its title bar fits.
    window->FitInto(QRect(0, 0, 1366, 728));
    EXPECT_EQ(window->width(), 510);
    EXPECT_LE(window->height(), 728 - 24);
    EXPECT_GE(window->height(), 520);
    // A screen with room to spare keeps the design size; a tiny one gets the minimum.
    Open();
    window->FitInto(QRect(0, 0, 1920, 1040));
    EXPECT_EQ(window->size(), QSize(510, 754));
    window->FitInto(QRect(0, 0, 400, 300));
    EXPECT_EQ(window->size(), QSize(420, 520));
}

TEST_F(MainWindowTest, TabOrderAndAccessKeys)
{
    Open();
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));

    profiles()->setFocus();
    QWidget* expected[] = {receivers(), window->SaveProfilesButton(), window->SaveReceiversButton(), profiles()};
    for (QWidget* next : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), next) << next->objectName().toStdString();
    }

    window->SaveReceiversButton()->setFocus();
    QTest::keyClick(window.get(), Qt::Key_E, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), receivers());
    QTest::keyClick(window.get(), Qt::Key_R, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), profiles());
}

TEST_F(MainWindowTest, RowsAreSortedWithIconsAndTags)
{
    project.AddProfile(3, "beta", 0);
    project.AddProfile(1, "Alpha", -1);
    project.AddProfile(2, "alpha2", 5);
    project.AddReceiver(7, "Zed", 0);
    project.AddReceiver(4, "Siren", -1);
    Open();
    ASSERT_TRUE(report.complete());

    EXPECT_EQ(Rows(profiles()), (QStringList{u"Alpha"_s, u"alpha2"_s, u"beta"_s}));
    EXPECT_EQ(Rows(receivers()), (QStringList{u"Siren"_s, u"Zed"_s}));
    ExpectTagsInStep(profiles(), [&](int s) { return ProfileName(s); });
    ExpectTagsInStep(receivers(), [&](int s) { return ReceiverName(s); });

    const QImage ticked = window->Images().Image(1).pixmap(13, 13).toImage();
    const QImage empty = window->Images().Image(2).pixmap(13, 13).toImage();
    EXPECT_EQ(ticked.size(), QSize(13, 13));
    EXPECT_EQ(empty.size(), QSize(13, 13));
    EXPECT_LT(qGray(ticked.pixel(5, 8)), 100); // the tick
    EXPECT_GT(qGray(empty.pixel(5, 8)), 200);  // a white inside
    EXPECT_LT(qGray(empty.pixel(0, 6)), 200);  // the frame

    auto image = [](QTreeWidgetItem* row) { return row->data(0, ImageNumberRole).toInt(); };
    auto key = [](QTreeWidgetItem* row) { return row->icon(0).cacheKey(); };
    EXPECT_EQ(image(RowNamed(profiles(), u"Alpha"_s)), 1);
    EXPECT_EQ(image(RowNamed(profiles(), u"alpha2"_s)), 1); // any nonzero value
    EXPECT_EQ(image(RowNamed(profiles(), u"beta"_s)), 2);
    EXPECT_EQ(image(RowNamed(receivers(), u"Siren"_s)), 1);
    EXPECT_EQ(image(RowNamed(receivers(), u"Zed"_s)), 2);
    EXPECT_EQ(key(RowNamed(profiles(), u"Alpha"_s)), window->Images().Image(1).cacheKey());
    EXPECT_EQ(key(RowNamed(profiles(), u"beta"_s)), window->Images().Image(2).cacheKey());
    EXPECT_TRUE(profiles()->selectedItems().isEmpty());
}

// The rows stand in the tables' order, the order list-profiles prints: the
// tables compare the upper-cased names, so "ax" comes before "_x", which a
// comparison that folds to lower case would put first.
TEST_F(MainWindowTest, RowsStandInTheTablesOrder)
{
    const std::vector<AnsiText> names = {"_x", "Zed", "\xE9t\xE9", "ax", "ETE", "ete"};
    for (std::size_t i = 0; i < names.size(); ++i) {
        project.AddProfile(static_cast<std::int16_t>(i + 1), names[i]);
        project.AddReceiver(static_cast<std::int16_t>(i + 1), names[i]);
    }
    Open();
    const QStringList expected = {u"ax"_s, u"ETE"_s, u"ete"_s, u"Zed"_s, u"_x"_s, u"\u00E9t\u00E9"_s};
    for (QTreeWidget* list : {profiles(), receivers()}) {
        EXPECT_EQ(Rows(list), expected);
        for (int r = 0; r < list->topLevelItemCount(); ++r) EXPECT_EQ(Tag(list->topLevelItem(r)), r);
    }

    // A renamed row moves to the place the next sort of the table gives it.
    Rename(profiles(), u"Zed"_s, u"_a"_s);
    EXPECT_EQ(Rows(profiles()), (QStringList{u"ax"_s, u"ETE"_s, u"ete"_s, u"_a"_s, u"_x"_s, u"\u00E9t\u00E9"_s}));
}

// A save sorts the receivers again; the selected row stays on its receiver
// also among receivers of the same name.
TEST_F(MainWindowTest, TheSelectedReceiverStaysSelectedAmongTwins)
{
    project.AddReceiver(1, "Zed");
    project.AddReceiver(2, "Zed");
    project.AddReceiver(3, "Mike");
    Open();
    Rename(receivers(), u"Mike"_s, u"Zulu"_s);
    QTreeWidgetItem* second = receivers()->topLevelItem(1);
    ASSERT_EQ(second->text(0), u"Zed"_s);
    const std::int16_t id = suite->ReceiverTable.at(static_cast<std::size_t>(Tag(second))).Id();
    receivers()->setCurrentItem(second);
    window->SaveReceiversButton()->click();
    ASSERT_EQ(receivers()->selectedItems().size(), 1);
    const QTreeWidgetItem* selected = receivers()->selectedItems().front();
    EXPECT_EQ(suite->ReceiverTable.at(static_cast<std::size_t>(Tag(selected))).Id(), id);
    EXPECT_EQ(receivers()->indexOfTopLevelItem(const_cast<QTreeWidgetItem*>(selected)), 1);
}

TEST_F(MainWindowTest, DoubleClickRenamesThroughThePrompt)
{
    project.AddProfile(1, "Alpha");
    project.AddProfile(2, "Beta");
    project.AddReceiver(1, "Siren");
    project.AddReceiver(2, "Pager");
    project.AddProfile(3, "Gamma", -1, Nul({"Siren", "Pager"}), "SIREN");
    Open();
    window->show();

    prompt.answers = {u" Delta "_s};
    DoubleClick(profiles(), RowNamed(profiles(), u"Beta"_s));
    ASSERT_EQ(prompt.asked.size(), 1U);
    EXPECT_EQ(prompt.asked[0].first, u"New Profile Name:"_s);
    EXPECT_EQ(prompt.asked[0].second, u"Beta"_s);
    EXPECT_EQ(Rows(profiles()), (QStringList{u"Alpha"_s, u"Delta"_s, u"Gamma"_s}));
    ExpectTagsInStep(profiles(), [&](int s) { return ProfileName(s); });
    EXPECT_TRUE(prompt.told.empty());

    prompt.answers = {u"Alpha"_s};
    DoubleClick(profiles(), RowNamed(profiles(), u"Delta"_s));
    ASSERT_EQ(prompt.told.size(), 1U);
    EXPECT_EQ(prompt.told[0],
              u"A Route Profile with this name already exists.\nThe route profile \"Alpha\" bears it."_s);
    EXPECT_NE(RowNamed(profiles(), u"Delta"_s), nullptr);
    // The box opened again with the refused name, and was cancelled.
    EXPECT_EQ(prompt.asked.back(), std::make_pair(QString(u"New Profile Name:"_s), QString(u"Alpha"_s)));

    prompt.answers = {u"Horn"_s};
    DoubleClick(receivers(), RowNamed(receivers(), u"Siren"_s));
    EXPECT_EQ(prompt.asked.back().first, u"New Receiver Name:"_s);
    EXPECT_EQ(prompt.asked.back().second, u"Siren"_s);
    EXPECT_EQ(Rows(receivers()), (QStringList{u"Horn"_s, u"Pager"_s}));
    const RouteProfile& gamma = suite->ProfileTable.at(static_cast<std::size_t>(Tag(RowNamed(profiles(), u"Gamma"_s))));
    EXPECT_EQ(gamma.ReceiverList1(), Nul({"Horn", "Pager"}));
    EXPECT_EQ(gamma.ReceiverList2(), Nul({"Horn"}));

    // Cancel (empty answer) and an unstorable name change nothing; the latter says why.
    prompt.answers = {u""_s};
    DoubleClick(receivers(), RowNamed(receivers(), u"Pager"_s));
    prompt.answers = {QString::fromUtf8("Pager \xCE\xA9")};
    DoubleClick(receivers(), RowNamed(receivers(), u"Pager"_s));
    EXPECT_EQ(Rows(receivers()), (QStringList{u"Horn"_s, u"Pager"_s}));
    ASSERT_EQ(prompt.told.size(), 2U);
    EXPECT_TRUE(prompt.told[1].contains(u"cannot be stored"_s)) << prompt.told[1].toStdString();
}

TEST_F(MainWindowTest, DoubleClickWithoutSelectionOrRowsDoesNothing)
{
    Open();
    DoubleClick(profiles(), nullptr);
    DoubleClick(receivers(), nullptr);
    EXPECT_TRUE(prompt.asked.empty());

    project.AddProfile(1, "Alpha");
    Open();
    window->show();
    ASSERT_EQ(profiles()->topLevelItemCount(), 1);
    window->RenameSelectedProfile(); // nothing selected
    EXPECT_TRUE(prompt.asked.empty());
    // A double-click below the last row renames the selected row.
    profiles()->setCurrentItem(profiles()->topLevelItem(0));
    prompt.answers = {u"Beta"_s};
    QTest::mouseDClick(profiles()->viewport(), Qt::LeftButton, {}, QPoint(20, profiles()->viewport()->height() - 4));
    EXPECT_EQ(Rows(profiles()), (QStringList{u"Beta"_s}));
}

TEST_F(MainWindowTest, F2AndEnterRenameTheSelectedRow)
{
    project.AddProfile(1, "Alpha");
    project.AddProfile(2, "Beta");
    project.AddReceiver(1, "Siren");
    project.AddReceiver(2, "Pager");
    Open();
    int clicks = 0;
    for (QPushButton* button : {window->SaveProfilesButton(), window->SaveReceiversButton()})
        QObject::connect(button, &QPushButton::clicked, [&clicks] { ++clicks; });
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));

    // The keys as an operator presses them: to the list that has the focus.
    auto press = [](QTreeWidget* list, Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        list->setFocus();
        ASSERT_EQ(QApplication::focusWidget(), list);
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    };

    // The list that gets the focus selects its current row (the first at
    // start), so the first key acts on it; cancelled, nothing changes.
    press(profiles(), Qt::Key_Return);
    ASSERT_EQ(prompt.asked.size(), 1U);
    EXPECT_EQ(prompt.asked[0].second, u"Alpha"_s);
    EXPECT_EQ(Rows(profiles()), (QStringList{u"Alpha"_s, u"Beta"_s}));
    prompt.asked.clear();

    profiles()->setCurrentItem(RowNamed(profiles(), u"Beta"_s));
    prompt.answers = {u"Delta"_s};
    press(profiles(), Qt::Key_F2);
    ASSERT_EQ(prompt.asked.size(), 1U);
    EXPECT_EQ(prompt.asked[0], std::make_pair(QString(u"New Profile Name:"_s), QString(u"Beta"_s)));
    EXPECT_EQ(Rows(profiles()), (QStringList{u"Alpha"_s, u"Delta"_s}));

    prompt.answers = {u"Epsilon"_s};
    press(profiles(), Qt::Key_Return);
    ASSERT_EQ(prompt.asked.size(), 2U);
    EXPECT_EQ(prompt.asked[1].second, u"Delta"_s);
    EXPECT_EQ(Rows(profiles()), (QStringList{u"Alpha"_s, u"Epsilon"_s}));
    ExpectTagsInStep(profiles(), [&](int s) { return ProfileName(s); });

    // The keypad's Enter on the receiver list, with the same rules: a duplicate is refused.
    receivers()->setCurrentItem(RowNamed(receivers(), u"Siren"_s));
    prompt.answers = {u"Horn"_s, u"Pager"_s};
    press(receivers(), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(prompt.asked.back(), std::make_pair(QString(u"New Receiver Name:"_s), QString(u"Siren"_s)));
    EXPECT_EQ(Rows(receivers()), (QStringList{u"Horn"_s, u"Pager"_s}));
    press(receivers(), Qt::Key_Enter, Qt::KeypadModifier);
    ASSERT_EQ(prompt.told.size(), 1U);
    EXPECT_EQ(prompt.told[0].section(u'\n', 0, 0), u"A Receiver with this name already exists."_s);
    // Asked again with "Pager", and cancelled.
    EXPECT_EQ(prompt.asked.size(), 5U);
    EXPECT_EQ(Rows(receivers()), (QStringList{u"Horn"_s, u"Pager"_s}));

    // Enter with Ctrl or Alt, and other keys, start no rename.
    press(receivers(), Qt::Key_Return, Qt::ControlModifier);
    press(receivers(), Qt::Key_Return, Qt::AltModifier);
    press(receivers(), Qt::Key_Space);
    EXPECT_EQ(prompt.asked.size(), 5U);
    EXPECT_EQ(clicks, 0);
    EXPECT_TRUE(project.server.commands.empty());
}

TEST_F(MainWindowTest, SaveReceiversKeepsEveryTagOnItsOwnEntry)
{
    project.AddReceiver(1, "Bravo");
    project.AddReceiver(2, "Charlie");
    project.AddReceiver(3, "Zed");
    Open();
    window->show();

    prompt.answers = {u"Alpha"_s};
    DoubleClick(receivers(), RowNamed(receivers(), u"Zed"_s));
    EXPECT_EQ(ReceiverName(2), "Alpha"); // still in its old slot
    window->SaveReceiversButton()->click();
    EXPECT_TRUE(prompt.told.empty()) << prompt.told.front().toStdString();
    EXPECT_EQ(ReceiverName(0), "Alpha"); // sorted again by the save
    EXPECT_EQ(Rows(receivers()), (QStringList{u"Alpha"_s, u"Bravo"_s, u"Charlie"_s}));
    ExpectTagsInStep(receivers(), [&](int s) { return ReceiverName(s); });
    ASSERT_FALSE(receivers()->selectedItems().isEmpty());
    EXPECT_EQ(receivers()->selectedItems().front()->text(0), u"Alpha"_s);

    // The next rename changes the entry of the row, not the one that used to sit in its slot.
    prompt.answers = {u"Delta"_s};
    DoubleClick(receivers(), RowNamed(receivers(), u"Bravo"_s));
    EXPECT_EQ(Rows(receivers()), (QStringList{u"Alpha"_s, u"Charlie"_s, u"Delta"_s}));
    ExpectTagsInStep(receivers(), [&](int s) { return ReceiverName(s); });
    EXPECT_EQ(ReceiverName(0), "Alpha");
    EXPECT_EQ(ReceiverName(1), "Delta");
}

TEST_F(MainWindowTest, FailedReceiverSaveStillKeepsTagsInStep)
{
    project.AddReceiver(1, "Bravo");
    project.AddReceiver(2, "Zed");
    FaultInjectingFileSystem faulty(RealFileSystem());
    suite = project.Open(false, &faulty);
    window = std::make_unique<MainWindow>(*suite, prompt);
    report = window->StartUp();
    window->show();

    prompt.answers = {u"Alpha"_s};
    DoubleClick(receivers(), RowNamed(receivers(), u"Zed"_s));
    faulty.Reset();
    faulty.FailAt(1, true);
    window->SaveReceiversButton()->click(); // sorts the table, then fails
    ASSERT_EQ(prompt.told.size(), 1U);
    EXPECT_EQ(ReceiverName(0), "Alpha");
    ExpectTagsInStep(receivers(), [&](int s) { return ReceiverName(s); });
}

TEST_F(MainWindowTest, SaveProblemsAreTold)
{
    project.AddProfile(1, "Alpha");
    project.AddReceiver(1, "Siren");
    FaultInjectingFileSystem faulty(RealFileSystem());
    suite = project.Open(false, &faulty);
    window = std::make_unique<MainWindow>(*suite, prompt);
    report = window->StartUp();
    const auto before = test::Snapshot(project.path());

    faulty.Reset();
    faulty.FailAt(1, true);
    window->SaveProfilesButton()->click();
    ASSERT_EQ(prompt.told.size(), 1U);
    EXPECT_TRUE(
        prompt.told[0].startsWith(u"The route profiles were not saved; nothing on disk has changed. Reason: "_s))
        << prompt.told[0].toStdString();
    window->SaveReceiversButton()->click();
    ASSERT_EQ(prompt.told.size(), 2U);
    EXPECT_TRUE(prompt.told[1].startsWith(u"The receivers were not saved; nothing on disk has changed."_s));
    EXPECT_EQ(test::Snapshot(project.path()), before);

    faulty.Reset();
    project.server.fail = true;
    window->SaveProfilesButton()->click();
    ASSERT_EQ(prompt.told.size(), 3U);
    EXPECT_TRUE(
        prompt.told[2].startsWith(u"The route profiles are saved, but the alarm server was not told to reload"_s))
        << prompt.told[2].toStdString();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(MainWindowTest, BusyPointerDuringLoadAndSave)
{
    project.AddProfile(1, "Alpha");
    project.AddReceiver(1, "Siren");
    FaultInjectingFileSystem watched(RealFileSystem());
    watched.CountReads(true);
    int busy = 0;
    int operations = 0;
    watched.OnOperation([&](long, const std::string&) {
        ++operations;
        if (QApplication::overrideCursor() != nullptr && QApplication::overrideCursor()->shape() == Qt::WaitCursor)
            ++busy;
    });
    suite = project.Open(false, &watched);
    window = std::make_unique<MainWindow>(*suite, prompt);
    report = window->StartUp();
    window->SaveProfilesButton()->click();
    window->SaveReceiversButton()->click();
    EXPECT_GT(operations, 10);
    // Every file operation of the stores' loads and saves ran under the busy pointer,
    // except the recovery check before the loads.
    EXPECT_GE(busy, operations - 5);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(MainWindowTest, IncompleteLoadIsToldOnceNamingTheFiles)
{
    project.AddReceiver(1, "Siren");
    test::WriteBytes(project / "Receivers/Receiver_0003.dat", test::Bytes({7, 0, 0, 0}));
    Open();
    EXPECT_FALSE(report.complete());
    EXPECT_EQ(Rows(receivers()), (QStringList{u"Siren"_s}));
    window->ReportIncompleteLoad(report);
    ASSERT_EQ(prompt.told.size(), 1U);
    EXPECT_TRUE(prompt.told[0].contains(u"Receiver_0003.dat"_s)) << prompt.told[0].toStdString();

    TestProject clean;
    clean.AddReceiver(1, "Siren");
    auto cleanSuite = clean.Open(false);
    QueuePrompt quiet;
    MainWindow other(*cleanSuite, quiet);
    other.ReportIncompleteLoad(other.StartUp());
    EXPECT_TRUE(quiet.told.empty());
}

TEST_F(MainWindowTest, MissingProjectGivesEmptyListsAndFullTablesGiveFullLists)
{
    TestProject none;
    auto emptySuite = std::make_unique<Suite>(none / "no-such-project", &RealFileSystem(), &none.server);
    emptySuite->Context.log = none.log.sink();
    MainWindow empty(*emptySuite, prompt);
    EXPECT_TRUE(empty.StartUp().complete());
    EXPECT_EQ(empty.ProfileList()->topLevelItemCount(), 0);
    EXPECT_EQ(empty.ReceiverList()->topLevelItemCount(), 0);

    for (int i = 0; i < 300; ++i) {
        project.AddProfile(static_cast<std::int16_t>(i + 1), "P" + std::to_string(1000 + i));
        project.AddReceiver(static_cast<std::int16_t>(i), "R" + std::to_string(1000 + i));
    }
    Open();
    EXPECT_EQ(profiles()->topLevelItemCount(), 300);
    EXPECT_EQ(receivers()->topLevelItemCount(), 300);
    ExpectTagsInStep(receivers(), [&](int s) { return ReceiverName(s); });
}

TEST_F(MainWindowTest, TitleMarksUnsavedChangesPerTable)
{
    project.AddProfile(1, "Alpha");
    project.AddReceiver(1, "Siren");
    Open();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));

    // Renames that change nothing mark nothing.
    Rename(profiles(), u"Alpha"_s, u" Alpha "_s);
    Rename(receivers(), u"Siren"_s, u"Siren"_s);
    EXPECT_EQ(ShownTitle(), u"Veltra Name change utility"_s);

    // The marker stays until every marked table is saved; a profile rename
    // beside a receiver rename that changed no list asks nothing.
    Rename(receivers(), u"Siren"_s, u"Horn"_s);
    Rename(profiles(), u"Alpha"_s, u"Beta"_s);
    EXPECT_EQ(ShownTitle(), u"Veltra Name change utility*"_s);
    window->SaveProfilesButton()->click();
    EXPECT_TRUE(window->isWindowModified());
    // Saved, though the server could not be told: the marker goes.
    project.server.fail = true;
    window->SaveReceiversButton()->click();
    EXPECT_EQ(prompt.told.size(), 1U);
    EXPECT_EQ(ShownTitle(), u"Veltra Name change utility"_s);
    EXPECT_TRUE(prompt.tiedAsked.empty());
}

TEST_F(MainWindowTest, ClosingAsksToSaveDiscardOrCancel)
{
    project.AddReceiver(1, "Pager");
    project.AddProfile(1, "Day", -1, Nul({"Pager"}));
    FaultInjectingFileSystem faulty(RealFileSystem());
    WatchForOneCommit(faulty);
    Open(&faulty);
    window->show();
    EXPECT_TRUE(window->close()); // nothing unsaved, nothing asked
    EXPECT_TRUE(prompt.closeAsked.empty());

    const auto before = test::Snapshot(project.path());
    window->show();
    Rename(receivers(), u"Pager"_s, u"Beeper"_s); // and the profile's list
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(prompt.closeAsked, std::vector<SavedKind>{SavedKind::Both});
    prompt.closeAnswer = CloseAnswer::Discard;
    EXPECT_TRUE(window->close());
    EXPECT_EQ(test::Snapshot(project.path()), before);

    // A save that fails is told and keeps the window open.
    window->show();
    prompt.closeAnswer = CloseAnswer::Save;
    faulty.Reset();
    faulty.FailAt(1, true);
    EXPECT_FALSE(window->close());
    ASSERT_EQ(prompt.told.size(), 1U);
    EXPECT_TRUE(prompt.told[0].startsWith(u"The receivers and route profiles were not saved"_s))
        << prompt.told[0].toStdString();
    EXPECT_TRUE(window->isWindowModified());
    EXPECT_EQ(test::Snapshot(project.path()), before);

    faulty.Reset();
    EXPECT_TRUE(window->close());
    EXPECT_TRUE(oneCommit);
    EXPECT_EQ(project.server.commands, (std::vector<std::string>{"RR\t0", "RP:-1\t0"}));
    auto saved = project.Open();
    EXPECT_EQ(saved->ReceiverTable.at(0).Name(), "Beeper");
    EXPECT_EQ(saved->ProfileTable.at(0).ReceiverList1(), Nul({"Beeper"}));
}

TEST_F(MainWindowTest, SavingHalfAReceiverRenameIsOffered)
{
    project.AddReceiver(1, "Pager");
    project.AddReceiver(2, "Zed");
    project.AddProfile(1, "Day", -1, Nul({"Pager"}));
    FaultInjectingFileSystem watched(RealFileSystem());
    WatchForOneCommit(watched);
    Open(&watched);
    const auto before = test::Snapshot(project.path());

    Rename(receivers(), u"Zed"_s, u"Beeper"_s);
    Rename(receivers(), u"Pager"_s, u"Bell"_s);
    window->SaveReceiversButton()->click();
    window->SaveProfilesButton()->click();
    EXPECT_EQ(prompt.tiedAsked, (std::vector<SavedKind>{SavedKind::Receivers, SavedKind::Profiles}));
    EXPECT_EQ(test::Snapshot(project.path()), before);
    EXPECT_TRUE(project.server.commands.empty());

    prompt.tiedAnswer = TiedSaveAnswer::Both;
    window->SaveProfilesButton()->click();
    EXPECT_TRUE(oneCommit);
    EXPECT_EQ(project.server.commands, (std::vector<std::string>{"RR\t0", "RP:-1\t0"}));
    EXPECT_FALSE(window->isWindowModified());
    EXPECT_EQ(Rows(receivers()), (QStringList{u"Beeper"_s, u"Bell"_s}));
    ExpectTagsInStep(receivers(), [&](int s) { return ReceiverName(s); });

    // This table alone: the profiles stay as they are, and marked.
    Rename(receivers(), u"Bell"_s, u"Gong"_s);
    prompt.tiedAnswer = TiedSaveAnswer::ThisAlone;
    project.server.commands.clear();
    const auto profilesBefore = test::Snapshot(project / "Profiles");
    window->SaveReceiversButton()->click();
    EXPECT_EQ(project.server.commands, (std::vector<std::string>{"RR\t0"}));
    EXPECT_EQ(test::Snapshot(project / "Profiles"), profilesBefore);
    EXPECT_TRUE(window->isWindowModified());
    EXPECT_EQ(prompt.tiedAsked.size(), 4U);
}

// The real input box and message box, driven as an operator would.
TEST(DialogPromptTest, RealInputBoxAndMessageBox)
{
    DialogPrompt prompt;
    bool sawInput = false;
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QInputDialog*>(w);
            if (box == nullptr || !box->isVisible()) continue;
            sawInput = true;
            EXPECT_EQ(box->windowTitle(), u"VelNameChange"_s);
            EXPECT_EQ(box->labelText(), u"New Profile Name:"_s);
            EXPECT_EQ(box->textValue(), u"Beta"_s);
            auto* edit = box->findChild<QLineEdit*>();
            ASSERT_NE(edit, nullptr);
            edit->selectAll();
            QTest::keyClicks(edit, u" Omega "_s);
            QTest::keyClick(edit, Qt::Key_Return);
        }
    });
    EXPECT_EQ(prompt.AskText(u"New Profile Name:"_s, u"Beta"_s), u" Omega "_s);
    EXPECT_TRUE(sawInput);

    QTimer::singleShot(0, [] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QInputDialog*>(w);
            if (box != nullptr && box->isVisible()) box->reject();
        }
    });
    EXPECT_EQ(prompt.AskText(u"New Receiver Name:"_s, u"Siren"_s), u""_s);

    bool sawMessage = false;
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (box == nullptr || !box->isVisible()) continue;
            sawMessage = true;
            EXPECT_EQ(box->windowTitle(), u"VelNameChange"_s);
            EXPECT_EQ(box->text(), u"A Receiver with this name already exists."_s);
            EXPECT_EQ(box->icon(), QMessageBox::Information);
            EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
            box->button(QMessageBox::Ok)->click();
        }
    });
    prompt.Tell(u"A Receiver with this name already exists."_s);
    EXPECT_TRUE(sawMessage);
}

// The real questions: their texts, buttons and defaults.
TEST(DialogPromptTest, RealQuestionsOnClosingAndOnSavingHalfARename)
{
    DialogPrompt prompt;
    auto answer = [](const std::function<void(QMessageBox&)>& act) {
        QTimer::singleShot(0, [act] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* box = qobject_cast<QMessageBox*>(w);
                if (box == nullptr || !box->isVisible()) continue;
                act(*box);
                if (box->isVisible()) box->done(-1); // a button not found: answer nothing, never hang
            }
        });
    };
    answer([](QMessageBox& box) {
        EXPECT_EQ(box.windowTitle(), u"VelNameChange"_s);
        EXPECT_EQ(box.text() + u" "_s + box.informativeText(),
                  u"The receivers and route profiles have unsaved changes. Save them before closing?"_s);
        EXPECT_EQ(box.standardButtons(), QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
        QTest::keyClick(&box, Qt::Key_Return); // the default
    });
    EXPECT_EQ(prompt.AskUnsavedOnClose(SavedKind::Both), CloseAnswer::Save);

    answer([](QMessageBox& box) {
        EXPECT_TRUE(box.text().startsWith(u"The route profiles hold changes from renaming receivers that are not"_s));
        EXPECT_EQ(box.buttons().size(), 3);
        EXPECT_EQ(box.defaultButton() != nullptr ? box.defaultButton()->text() : u""_s, u"Save Both"_s);
        for (QAbstractButton* b : box.buttons())
            if (b->text() == u"Save Receivers Only"_s) b->click();
    });
    EXPECT_EQ(prompt.AskSaveTied(SavedKind::Receivers), TiedSaveAnswer::ThisAlone);
    answer([](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); });
    EXPECT_EQ(prompt.AskSaveTied(SavedKind::Profiles), TiedSaveAnswer::Cancel);
}

} // namespace
} // namespace vel
