// The main window's aids around the system's own dialogue: what a screen
// reader is given, the keys, the find fields, used by, the context menus, the
// status line and the rename box.

#include "gui/main_window.h"

#include "gui/list_filter.h"
#include "gui/prompt.h"
#include "gui/rename_box.h"
#include "gui/status_line.h"
#include "gui/used_by_dialog.h"
#include "project/project_check.h"
#include "project/rename_commands.h"
#include "tests/gui/window_test_support.h"
#include "tests/support/fault_injecting_file_system.h"
#include "tests/support/test_project.h"

#include <QAccessible>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace vel {

using namespace Qt::StringLiterals;

namespace {

using test::ExpectTagsInStep;
using test::Nul;
using test::QueuePrompt;
using test::RowNamed;
using test::Tag;
using test::TestProject;

QStringList ShownRows(QTreeWidget* list)
{
    QStringList out;
    for (int r = 0; r < list->topLevelItemCount(); ++r)
        if (!list->topLevelItem(r)->isHidden()) out << list->topLevelItem(r)->text(0);
    return out;
}

class WindowAidsTest : public ::testing::Test {
protected:
    void Open(FileSystem* fs = &RealFileSystem())
    {
        window.reset();
        suite = project.Open(false, fs);
        window = std::make_unique<MainWindow>(*suite, prompt);
        window->StartUp();
    }
    void ShowActive()
    {
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    QTreeWidget* profiles() { return window->ProfileList(); }
    QTreeWidget* receivers() { return window->ReceiverList(); }
    AnsiText ProfileName(int slot) { return suite->ProfileTable.at(static_cast<std::size_t>(slot)).Name(); }
    AnsiText ReceiverName(int slot) { return suite->ReceiverTable.at(static_cast<std::size_t>(slot)).Name(); }
    QGroupBox* Frame(int n) { return window->findChild<QGroupBox*>(n == 0 ? u"Frame_0"_s : u"Frame_1"_s); }
    // Renames the row through its list as an operator does: select, F2.
    void Rename(QTreeWidget* list, const QString& from, const QString& to)
    {
        list->setCurrentItem(RowNamed(list, from));
        prompt.answers = {to};
        if (list == profiles())
            window->RenameSelectedProfile();
        else
            window->RenameSelectedReceiver();
    }
    QString Status() { return window->Status()->isHidden() ? QString() : window->Status()->Text(); }
    void Key(QWidget* to, Qt::Key key, Qt::KeyboardModifiers modifiers = {}) { QTest::keyClick(to, key, modifiers); }

    TestProject project;
    QueuePrompt prompt;
    std::unique_ptr<Suite> suite;
    std::unique_ptr<MainWindow> window;
};

TEST_F(WindowAidsTest, ScreenReaderNamesListsRowsStatesAndTheWindow)
{
    project.AddProfile(1, "Day", -1);
    project.AddProfile(2, "Night", 0);
    project.AddReceiver(1, "Siren", 0);
    Open();
    ShowActive(); // the rows are laid out

    QAccessibleInterface* window_ = QAccessible::queryAccessibleInterface(window.get());
    ASSERT_NE(window_, nullptr);
    EXPECT_EQ(window_->role(), QAccessible::Window); // a frame on the accessibility bus
    EXPECT_EQ(window_->text(QAccessible::Name), u"Veltra Name change utility"_s);

    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(profiles());
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->text(QAccessible::Name), u"Route Profiles"_s);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(receivers())->text(QAccessible::Name), u"Receivers"_s);

    QAccessibleTableInterface* table = list->tableInterface();
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(table->rowCount(), 2);
    const std::pair<QString, QString> expected[] = {{u"Day"_s, u"enabled"_s}, {u"Night"_s, u"disabled"_s}};
    for (int r = 0; r < 2; ++r) {
        QAccessibleInterface* cell = table->cellAt(r, 0);
        ASSERT_NE(cell, nullptr);
        EXPECT_EQ(cell->text(QAccessible::Name), expected[r].first);
        EXPECT_EQ(cell->text(QAccessible::Description), expected[r].second);
    }
    QAccessibleInterface* siren = QAccessible::queryAccessibleInterface(receivers())->tableInterface()->cellAt(0, 0);
    EXPECT_EQ(siren->text(QAccessible::Description), u"disabled"_s);

    // The images' tooltips.
    EXPECT_EQ(RowNamed(profiles(), u"Day"_s)->toolTip(0), u"Enabled"_s);
    EXPECT_EQ(RowNamed(profiles(), u"Night"_s)->toolTip(0), u"Disabled"_s);
}

// The outcome of a rename and of a save reaches the status bar, which a
// screen reader reads; a save keeps the rows a screen reader holds alive.
TEST_F(WindowAidsTest, OutcomesReachTheStatusBarAndSavesKeepTheRowsAlive)
{
    project.AddReceiver(1, "Zed");
    project.AddReceiver(2, "Bravo");
    project.AddReceiver(3, "Mike");
    project.AddProfile(1, "Day", -1, Nul({"Zed"}));
    Open();
    ShowActive();

    Rename(receivers(), u"Zed"_s, u"Alpha"_s);
    const QString said = u"Zed renamed to Alpha; the receiver lists of 1 route profile changed; not saved"_s;
    EXPECT_EQ(Status(), said);
    QAccessibleInterface* status = QAccessible::queryAccessibleInterface(window->Status());
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->role(), QAccessible::StatusBar);
    QStringList heard;
    for (int c = 0; c < status->childCount(); ++c) heard << status->child(c)->text(QAccessible::Name);
    EXPECT_TRUE(heard.contains(said)) << heard.join(u'|').toStdString();

    // The screen reader holds the selected row; the save sorts the receivers
    // (Alpha moves from the last slot to the first) and the row stays the
    // same object, valid and naming its receiver.
    receivers()->setFocus();
    receivers()->setCurrentItem(RowNamed(receivers(), u"Mike"_s));
    QAccessibleTableInterface* table = QAccessible::queryAccessibleInterface(receivers())->tableInterface();
    const int mikeRow = receivers()->indexOfTopLevelItem(RowNamed(receivers(), u"Mike"_s));
    QAccessibleInterface* cell = table->cellAt(mikeRow, 0);
    ASSERT_NE(cell, nullptr);
    ASSERT_EQ(cell->text(QAccessible::Name), u"Mike"_s);
    const QAccessible::Id held = QAccessible::uniqueId(cell);

    Key(window.get(), Qt::Key_S, Qt::ControlModifier);
    QApplication::processEvents();
    EXPECT_EQ(Status(), u"Receivers and route profiles saved; the server was told to reload"_s);
    EXPECT_EQ(ReceiverName(0), "Alpha");
    ExpectTagsInStep(receivers(), [&](int s) { return ReceiverName(s); });
    QAccessibleInterface* after = QAccessible::accessibleInterface(held);
    ASSERT_NE(after, nullptr);
    EXPECT_TRUE(after->isValid());
    EXPECT_EQ(after->text(QAccessible::Name), u"Mike"_s);
    ASSERT_EQ(receivers()->selectedItems().size(), 1);
    EXPECT_EQ(receivers()->selectedItems().front()->text(0), u"Mike"_s);
}

TEST_F(WindowAidsTest, StatusLinesTellEachOutcome)
{
    project.AddReceiver(1, "Siren");
    project.AddReceiver(2, "Pager");
    project.AddProfile(1, "Day", -1, Nul({"Siren", "Pager"}), Nul({"siren"}));
    project.AddProfile(2, "Night", -1, Nul({"SIREN"}));
    project.AddProfile(3, "Weekend", -1, {}, Nul({"Siren"}));
    project.AddProfile(4, "Spare", -1, Nul({"Pager"}));
    FaultInjectingFileSystem faulty(RealFileSystem());
    Open(&faulty);
    EXPECT_FALSE(window->Status()->isVisible()); // nothing said yet: the design layout

    Rename(receivers(), u"Siren"_s, u"Horn"_s);
    EXPECT_EQ(Status(), u"Siren renamed to Horn; the receiver lists of 3 route profiles changed; not saved"_s);
    Rename(receivers(), u"Pager"_s, u"HORN"_s);
    EXPECT_EQ(Status(), u"Pager not renamed: A Receiver with this name already exists."_s);
    Rename(profiles(), u"Spare"_s, u"Spare"_s);
    EXPECT_EQ(Status(), u"Spare keeps its name; nothing changed"_s);
    Rename(profiles(), u"Spare"_s, u"Reserve"_s);
    EXPECT_EQ(Status(), u"Spare renamed to Reserve; not saved"_s);

    faulty.Reset();
    faulty.FailAt(1, true);
    window->SaveEverything();
    EXPECT_EQ(Status(), u"Receivers and route profiles not saved; nothing on disk has changed"_s);
    faulty.Reset();
    project.server.fail = true;
    window->SaveEverything();
    EXPECT_EQ(Status(), u"Receivers and route profiles saved; the server was not told to reload"_s);
    window->SaveEverything();
    EXPECT_EQ(Status(), u"Nothing to save: every change is saved"_s);
    project.server.fail = false;
    Rename(profiles(), u"Reserve"_s, u"Spare"_s);
    window->SaveProfilesButton()->click();
    EXPECT_EQ(Status(), u"Route profiles saved; the server was told to reload"_s);
}

// A refused name opens the box again with the text as typed; the message adds
// which entry bears the name.
TEST_F(WindowAidsTest, RefusedNameIsAskedForAgain)
{
    project.AddReceiver(1, "Siren");
    project.AddReceiver(2, "Pager");
    project.AddProfile(1, "Day");
    project.AddProfile(2, "Night");
    Open();

    receivers()->setCurrentItem(RowNamed(receivers(), u"Pager"_s));
    prompt.answers = {u"SIREN "_s, u"Siren Two"_s};
    window->RenameSelectedReceiver();
    ASSERT_EQ(prompt.told.size(), 1U);
    EXPECT_EQ(prompt.told[0], u"A Receiver with this name already exists.\nThe receiver \"Siren\" bears it; receiver "
                              "names are compared without regard to upper and lower case."_s);
    ASSERT_EQ(prompt.asked.size(), 2U);
    EXPECT_EQ(prompt.asked[0], std::make_pair(QString(u"New Receiver Name:"_s), QString(u"Pager"_s)));
    EXPECT_EQ(prompt.asked[1], std::make_pair(QString(u"New Receiver Name:"_s), QString(u"SIREN "_s)));
    // Both boxes name the entry being renamed.
    EXPECT_EQ(prompt.entries,
              (std::vector<QString>{u"Renaming the receiver \"Pager\""_s, u"Renaming the receiver \"Pager\""_s}));
    EXPECT_EQ(ReceiverName(Tag(RowNamed(receivers(), u"Siren Two"_s))), "Siren Two");
    EXPECT_NE(RowNamed(receivers(), u"Siren"_s), nullptr);

    // A name that cannot be stored is asked for again too; cancelling ends it.
    profiles()->setCurrentItem(RowNamed(profiles(), u"Night"_s));
    prompt.answers = {QString::fromUtf8("Night \xCE\xA9")};
    window->RenameSelectedProfile();
    ASSERT_EQ(prompt.told.size(), 2U);
    EXPECT_TRUE(prompt.told[1].contains(u"cannot be stored"_s)) << prompt.told[1].toStdString();
    EXPECT_EQ(prompt.asked.back().second, QString::fromUtf8("Night \xCE\xA9"));
    EXPECT_EQ(prompt.entries.back(), u"Renaming the route profile \"Night\""_s);
    EXPECT_EQ(ProfileName(Tag(RowNamed(profiles(), u"Night"_s))), "Night");
}

TEST_F(WindowAidsTest, KeysSaveFindAndClose)
{
    project.AddReceiver(1, "Pager");
    project.AddReceiver(2, "Zed");
    project.AddProfile(1, "Day", -1, Nul({"Pager"}));
    project.AddProfile(2, "Night");
    FaultInjectingFileSystem watched(RealFileSystem());
    bool oneCommit = false;
    watched.OnOperation([&](long, const std::string& what) {
        if (what.find("Profiles+Receivers.commit") != std::string::npos) oneCommit = true;
    });
    Open(&watched);
    ShowActive();

    // Alt+E: the receivers list takes the focus and selects its current row,
    // so the first F2 renames it.
    Key(window.get(), Qt::Key_E, Qt::AltModifier);
    ASSERT_EQ(QApplication::focusWidget(), receivers());
    ASSERT_EQ(receivers()->selectedItems().size(), 1);
    EXPECT_EQ(receivers()->selectedItems().front()->text(0), u"Pager"_s);
    prompt.answers = {u"Beeper"_s};
    Key(receivers(), Qt::Key_F2);
    EXPECT_EQ(ShownRows(receivers()), (QStringList{u"Beeper"_s, u"Zed"_s}));
    Key(window.get(), Qt::Key_R, Qt::AltModifier);
    prompt.answers = {u"Dawn"_s};
    Key(profiles(), Qt::Key_Return);
    EXPECT_EQ(ShownRows(profiles()), (QStringList{u"Dawn"_s, u"Night"_s}));
    ASSERT_TRUE(window->isWindowModified());

    // Ctrl+Q asks about the unsaved changes; cancelled, the window stays.
    Key(window.get(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(prompt.closeAsked, std::vector<SavedKind>{SavedKind::Both});
    EXPECT_TRUE(window->isVisible());

    // Ctrl+S: both tables in one commit, no question about the tied tables.
    Key(window.get(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_TRUE(oneCommit);
    EXPECT_TRUE(prompt.tiedAsked.empty());
    EXPECT_FALSE(window->isWindowModified());
    EXPECT_EQ(project.server.commands, (std::vector<std::string>{"RR\t0", "RP:-1\t0"}));
    auto saved = project.Open();
    EXPECT_EQ(saved->ProfileTable.at(0).Name(), "Dawn");
    EXPECT_EQ(saved->ProfileTable.at(0).ReceiverList1(), Nul({"Beeper"}));

    // Ctrl+F opens the find field of the list in use.
    receivers()->setFocus();
    Key(window.get(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(QApplication::focusWidget(), window->ReceiverFilter()->Field());
    EXPECT_FALSE(window->ProfileFilter()->Field()->isVisible());

    // Nothing unsaved: Ctrl+Q closes without a question.
    Key(window.get(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(prompt.closeAsked.size(), 1U);
}

TEST_F(WindowAidsTest, FindKeepsTagsAndSelection)
{
    const char* names[] = {"Fire Alarm", "Siren", "Pager", "Fire Door", "Sprinkler", "fire exit"};
    for (int i = 0; i < 6; ++i) project.AddReceiver(static_cast<std::int16_t>(i + 1), names[i]);
    Open();
    ShowActive();
    const QRect designPlace = receivers()->geometry();

    receivers()->setFocus();
    receivers()->setCurrentItem(RowNamed(receivers(), u"Pager"_s));
    Key(window.get(), Qt::Key_F, Qt::ControlModifier);
    QLineEdit* field = window->ReceiverFilter()->Field();
    ASSERT_TRUE(field->isVisible());
    EXPECT_EQ(field->accessibleName(), u"Find receivers"_s);
    QTest::keyClicks(field, u"FIRE"_s); // any case
    EXPECT_EQ(ShownRows(receivers()), (QStringList{u"Fire Alarm"_s, u"Fire Door"_s, u"fire exit"_s}));
    ExpectTagsInStep(receivers(), [&](int s) { return ReceiverName(s); });
    // The selected row was hidden: the selection went to the first row shown.
    ASSERT_EQ(receivers()->selectedItems().size(), 1);
    EXPECT_EQ(receivers()->selectedItems().front()->text(0), u"Fire Alarm"_s);

    // Down goes on to the list; a rename there renames that row's receiver.
    Key(field, Qt::Key_Down);
    ASSERT_EQ(QApplication::focusWidget(), receivers());
    Key(receivers(), Qt::Key_Down);
    EXPECT_EQ(receivers()->currentItem()->text(0), u"Fire Door"_s);
    prompt.answers = {u"Fire Gate"_s};
    Key(receivers(), Qt::Key_F2);
    EXPECT_EQ(prompt.asked.back().second, u"Fire Door"_s);
    EXPECT_EQ(ReceiverName(Tag(RowNamed(receivers(), u"Fire Gate"_s))), "Fire Gate");
    ExpectTagsInStep(receivers(), [&](int s) { return ReceiverName(s); });

    // A text no row holds leaves nothing to act on.
    field->setText(u"zzz"_s);
    EXPECT_TRUE(ShownRows(receivers()).isEmpty());
    EXPECT_TRUE(receivers()->selectedItems().isEmpty());
    const std::size_t asked = prompt.asked.size();
    window->RenameSelectedReceiver();
    EXPECT_EQ(prompt.asked.size(), asked);

    // Escape empties and closes the field: every row again, the list in its place.
    field->setFocus();
    Key(field, Qt::Key_Escape);
    QApplication::processEvents(); // the layout gives the list its room back
    EXPECT_FALSE(field->isVisible());
    EXPECT_EQ(ShownRows(receivers()).size(), 6);
    EXPECT_EQ(QApplication::focusWidget(), receivers());
    // The list is back at the top of its frame (lower only by the status
    // line that came with the rename).
    EXPECT_EQ(receivers()->geometry().topLeft(), designPlace.topLeft());
}

// Used by finds what the references command finds, and names each profile once.
TEST_F(WindowAidsTest, UsedByMatchesReferences)
{
    project.AddReceiver(1, "Siren");
    project.AddReceiver(2, "Pager");
    project.AddReceiver(3, "Bell");
    project.AddProfile(1, "Day", -1, Nul({"Pager", "siren"}), Nul({"SIREN", "Siren"}));
    project.AddProfile(2, "Night", -1, Nul({"Pager"}));
    project.AddProfile(3, "Weekend", -1, {}, Nul({"Siren "})); // not the same name
    project.AddProfile(4, "Alarm", -1, Nul({"Siren"}));
    Open();
    ShowActive();

    receivers()->setCurrentItem(RowNamed(receivers(), u"Siren"_s));
    const std::unique_ptr<QMenu> menu(window->MakeListMenu(receivers()));
    QStringList texts;
    for (QAction* a : menu->actions())
        if (!a->isSeparator()) texts << a->text();
    EXPECT_EQ(texts, (QStringList{u"&Rename..."_s, u"&Used by..."_s, u"&Find..."_s, u"Undo Rename"_s, u"Redo Rename"_s,
                                  u"&History of Renames..."_s}));
    EXPECT_EQ(window->contextMenuPolicy(), Qt::DefaultContextMenu)
        << "no menu of the window's keys without names beside the lists";
    menu->actions().at(1)->trigger();
    UsedByDialog* usedBy = window->UsedBy();
    ASSERT_NE(usedBy, nullptr);
    ASSERT_TRUE(usedBy->isVisible());

    // The rows against FindReferences: the same profiles, in table order.
    std::vector<std::size_t> referenced;
    for (const Reference& r : FindReferences(*suite, "Siren"))
        if (referenced.empty() || referenced.back() != r.slot) referenced.push_back(r.slot);
    QTreeWidget* rows = usedBy->Rows();
    ASSERT_EQ(rows->topLevelItemCount(), static_cast<int>(referenced.size()));
    ASSERT_EQ(referenced.size(), 2U);
    for (int r = 0; r < rows->topLevelItemCount(); ++r) {
        EXPECT_EQ(rows->topLevelItem(r)->text(0),
                  QString::fromStdString(ProfileName(static_cast<int>(referenced[static_cast<std::size_t>(r)]))));
    }
    const QTreeWidgetItem* day = rows->findItems(u"Day"_s, Qt::MatchExactly).value(0);
    ASSERT_NE(day, nullptr);
    EXPECT_EQ(day->text(2), u"1, 2"_s);
    EXPECT_TRUE(usedBy->Heading()->text().startsWith(u"2 route profiles name \"Siren\""_s));

    // Go to: the profile is selected in the main window, even one the find field hid.
    window->ProfileFilter()->Open();
    window->ProfileFilter()->Field()->setText(u"Night"_s);
    rows->setCurrentItem(rows->findItems(u"Alarm"_s, Qt::MatchExactly).value(0));
    usedBy->GoToButton()->click();
    ASSERT_NE(profiles()->currentItem(), nullptr);
    EXPECT_EQ(profiles()->currentItem()->text(0), u"Alarm"_s);
    EXPECT_FALSE(profiles()->currentItem()->isHidden());

    // Another receiver replaces the window; one that no list names gets none, and no Go to.
    const QPointer<UsedByDialog> first = window->UsedBy();
    receivers()->setCurrentItem(RowNamed(receivers(), u"Bell"_s));
    window->ShowUsedBy();
    ASSERT_NE(window->UsedBy(), nullptr);
    EXPECT_TRUE(first.isNull() || !first->isVisible());
    EXPECT_EQ(window->UsedBy()->Rows()->topLevelItemCount(), 0);
    EXPECT_EQ(window->UsedBy()->Heading()->text(), u"No route profile's receiver list names \"Bell\"."_s);
    EXPECT_FALSE(window->UsedBy()->GoToButton()->isEnabled());

    // The profiles' menu has no Used by.
    const std::unique_ptr<QMenu> profileMenu(window->MakeListMenu(profiles()));
    for (QAction* a : profileMenu->actions()) EXPECT_NE(a->text(), u"&Used by..."_s);
}

// The menu opens on the row under the pointer and renames that row.
TEST_F(WindowAidsTest, ContextMenuActsOnTheRowUnderThePointer)
{
    project.AddProfile(1, "Alpha");
    project.AddProfile(2, "Beta");
    Open();
    ShowActive();
    // Opens the menu with `open` and chooses Rename, answering `answer`;
    // whether the menu opened.
    auto renameThroughMenu = [&](const QString& answer, const std::function<void()>& open) {
        bool sawMenu = false;
        QTimer::singleShot(0, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (menu == nullptr) return;
            sawMenu = true;
            prompt.answers = {answer};
            menu->actions().at(0)->trigger();
            menu->close();
        });
        open();
        return sawMenu;
    };

    profiles()->setCurrentItem(RowNamed(profiles(), u"Alpha"_s));
    const QPoint at = profiles()->visualItemRect(RowNamed(profiles(), u"Beta"_s)).center();
    EXPECT_TRUE(renameThroughMenu(u"Gamma"_s, [&] {
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, profiles()->viewport()->mapToGlobal(at));
        QApplication::sendEvent(profiles()->viewport(), &event);
    }));
    ASSERT_FALSE(prompt.asked.empty());
    EXPECT_EQ(prompt.asked.back().second, u"Beta"_s);
    EXPECT_EQ(ShownRows(profiles()), (QStringList{u"Alpha"_s, u"Gamma"_s}));

    // From the keyboard (Shift+F10, or the menu key, for which the window
    // system sends the list a keyboard menu event): the menu acts on the current row.
    profiles()->setFocus();
    profiles()->setCurrentItem(RowNamed(profiles(), u"Alpha"_s));
    EXPECT_TRUE(renameThroughMenu(u"Delta"_s, [&] { QTest::keyClick(profiles(), Qt::Key_F10, Qt::ShiftModifier); }));
    EXPECT_EQ(prompt.asked.back().second, u"Alpha"_s);
    EXPECT_EQ(ShownRows(profiles()), (QStringList{u"Delta"_s, u"Gamma"_s}));
    EXPECT_TRUE(renameThroughMenu(u"Epsilon"_s, [&] {
        const QPoint middle = profiles()->rect().center();
        QContextMenuEvent key(QContextMenuEvent::Keyboard, middle, profiles()->mapToGlobal(middle));
        QApplication::sendEvent(profiles(), &key);
    }));
    EXPECT_EQ(prompt.asked.back().second, u"Delta"_s);
    EXPECT_EQ(ShownRows(profiles()), (QStringList{u"Epsilon"_s, u"Gamma"_s}));
}

// The list that holds the focus has a ring in the highlight colour around it.
TEST_F(WindowAidsTest, TheFocusedListIsMarked)
{
    project.AddProfile(1, "Alpha");
    project.AddReceiver(1, "Siren");
    Open();
    ShowActive();
    const QColor highlight = window->palette().color(QPalette::Active, QPalette::Highlight);
    auto marked = [&](int n, QTreeWidget* list) {
        const QImage image = Frame(n)->grab().toImage();
        const QPoint left(list->geometry().left() - 2, list->geometry().center().y());
        return image.pixelColor(left) == highlight;
    };
    profiles()->setFocus();
    QApplication::processEvents();
    EXPECT_TRUE(marked(0, profiles()));
    EXPECT_FALSE(marked(1, receivers()));
    receivers()->setFocus();
    QApplication::processEvents();
    EXPECT_FALSE(marked(0, profiles()));
    EXPECT_TRUE(marked(1, receivers()));
}

// The real rename box: the prompt as it is, the entry named, room for long names.
TEST(RenameBoxTest, NamesTheEntryAndIsWide)
{
    DialogPrompt prompt;
    bool saw = false;
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<RenameBox*>(w);
            if (box == nullptr || !box->isVisible()) continue;
            saw = true;
            EXPECT_EQ(box->windowTitle(), u"VelNameChange"_s);
            EXPECT_EQ(box->PromptLabel()->text(), u"New Receiver Name:"_s);
            EXPECT_EQ(box->EntryLabel()->text(), u"Renaming the receiver \"<Siren & Co>\""_s);
            EXPECT_EQ(box->EntryLabel()->textFormat(), Qt::PlainText);
            EXPECT_EQ(box->Field()->text(), u"<Siren & Co>"_s);
            // A long name shows whole (the box of old showed some 30 characters).
            const QString longName = u"Fire Alarm Panel 3 - North Wing, Ground Floor East"_s;
            EXPECT_LT(box->Field()->fontMetrics().horizontalAdvance(longName), box->Field()->width() - 10);
            box->Field()->selectAll();
            QTest::keyClicks(box->Field(), u"Horn"_s);
            QTest::keyClick(box->Field(), Qt::Key_Return);
        }
    });
    EXPECT_EQ(prompt.AskNewName(u"New Receiver Name:"_s, RenamedEntryLine(true, u"<Siren & Co>"_s), u"<Siren & Co>"_s),
              u"Horn"_s);
    EXPECT_TRUE(saw);
}

} // namespace
} // namespace vel
