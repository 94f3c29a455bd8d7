// The main window's undo and redo, and what it does when another program
// changes the project's folders while it is open.

#include "gui/folder_watch.h"
#include "gui/main_window.h"
#include "gui/prompt.h"
#include "gui/status_line.h"
#include "project/rename_commands.h"
#include "records/desk_lock.h"
#include "tests/gui/window_test_support.h"
#include "tests/support/test_project.h"

#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QWindow>
#include <gtest/gtest.h>

#include <filesystem>

namespace vel {

using namespace Qt::StringLiterals;

namespace {

using test::Nul;
using test::QueuePrompt;
using test::RowNamed;
using test::Rows;
using test::TestProject;

class FakeReapplyPrompt final : public ReapplyPrompt {
public:
    bool AskReapply(const QString& text, const QStringList& lines) override
    {
        asked.push_back({text, lines});
        return answer;
    }
    bool answer = true;
    std::vector<std::pair<QString, QStringList>> asked;
};

std::size_t Tag(const QTreeWidgetItem* row)
{
    return static_cast<std::size_t>(row->data(0, Qt::UserRole).toInt());
}

const RouteProfile* ProfileNamed(const Suite& s, const AnsiText& name)
{
    for (const RouteProfileEntry& e : s.ProfileTable.Entries())
        if (e.record.Name() == name) return &e.record;
    return nullptr;
}

bool HasReceiver(const Suite& s, const AnsiText& name)
{
    for (const ReceiverEntry& e : s.ReceiverTable.Entries())
        if (e.record.Name() == name) return true;
    return false;
}

class MainWindowFolderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        prompt.tiedAnswer = TiedSaveAnswer::Both; // a save of one table saves both
        project.AddReceiver(0, "Siren");
        project.AddReceiver(1, "Bell");
        project.AddProfile(1, "Alpha", -1, Nul({"Siren", "Bell"}));
        project.AddProfile(2, "Beta", -1, Nul({"siren"}));
        project.AddProfile(3, "Gamma");
        suite = project.Open(false);
        window = std::make_unique<MainWindow>(*suite, prompt);
        window->SetReapplyPrompt(&reapply);
        window->StartUp();
    }
    void TearDown() override { window.reset(); }
    QTreeWidget* profiles() { return window->ProfileList(); }
    QTreeWidget* receivers() { return window->ReceiverList(); }
    void Rename(QTreeWidget* list, const QString& from, const QString& to)
    {
        QTreeWidgetItem* row = RowNamed(list, from);
        ASSERT_NE(row, nullptr) << from.toStdString();
        list->setCurrentItem(row);
        prompt.answers = {to};
        if (list == profiles())
            window->RenameSelectedProfile();
        else
            window->RenameSelectedReceiver();
    }
    std::unique_ptr<Suite> OnDisk() { return project.Open(); }
    QString Selected(QTreeWidget* list)
    {
        const auto rows = list->selectedItems();
        return rows.isEmpty() ? QString() : rows.front()->text(0);
    }

    TestProject project;
    QueuePrompt prompt;
    FakeReapplyPrompt reapply;
    std::unique_ptr<Suite> suite;
    std::unique_ptr<MainWindow> window;
};

TEST_F(MainWindowFolderTest, CtrlZAndCtrlShiftZTakeAReceiverRenameBackWithItsLists)
{
    window->show();
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    EXPECT_FALSE(window->UndoAction()->isEnabled());

    Rename(receivers(), u"Siren"_s, u"Horn"_s);
    ASSERT_TRUE(window->isWindowModified());
    EXPECT_EQ(ProfileNamed(*suite, "Alpha")->ReceiverList1(), Nul({"Horn", "Bell"}));
    EXPECT_EQ(ProfileNamed(*suite, "Beta")->ReceiverList1(), Nul({"Horn"}));

    receivers()->setFocus();
    QTest::keyClick(receivers(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Rows(receivers()), (QStringList{u"Bell"_s, u"Siren"_s}));
    EXPECT_EQ(ProfileNamed(*suite, "Alpha")->ReceiverList1(), Nul({"Siren", "Bell"}));
    EXPECT_EQ(ProfileNamed(*suite, "Beta")->ReceiverList1(), Nul({"siren"})) << "spelt as it was";
    EXPECT_FALSE(window->isWindowModified()) << "back at the loaded state";
    EXPECT_FALSE(window->UndoAction()->isEnabled());
    EXPECT_TRUE(window->RedoAction()->isEnabled());
    EXPECT_EQ(Selected(receivers()), u"Siren"_s);
    EXPECT_EQ(window->Status()->Text(), u"Rename of receiver \"Siren\" to \"Horn\" taken back"_s);

    QTest::keyClick(receivers(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Rows(receivers()), (QStringList{u"Bell"_s, u"Horn"_s}));
    EXPECT_EQ(ProfileNamed(*suite, "Beta")->ReceiverList1(), Nul({"Horn"}));
    EXPECT_TRUE(window->isWindowModified());
    EXPECT_EQ(window->Status()->Text(), u"Rename of receiver \"Siren\" to \"Horn\" made again; not saved"_s);
    // Every row still carries the index of the entry it shows.
    for (int r = 0; r < receivers()->topLevelItemCount(); ++r) {
        const QTreeWidgetItem* row = receivers()->topLevelItem(r);
        EXPECT_EQ(QString::fromStdString(suite->ReceiverTable.at(Tag(row)).Name()), row->text(0));
    }
}

TEST_F(MainWindowFolderTest, UndoAfterASaveMarksTheTablesAgainAndTheNextSaveWritesIt)
{
    Rename(receivers(), u"Siren"_s, u"Horn"_s);
    window->SaveReceiversButton()->click(); // both, as the prompt answers
    ASSERT_FALSE(window->isWindowModified());
    ASSERT_TRUE(HasReceiver(*OnDisk(), "Horn"));

    window->Undo();
    EXPECT_TRUE(window->isWindowModified());
    EXPECT_EQ(Rows(receivers()), (QStringList{u"Bell"_s, u"Siren"_s}));
    window->Redo();
    EXPECT_FALSE(window->isWindowModified()) << "the saved state again";
    window->Undo();

    window->SaveReceiversButton()->click();
    EXPECT_FALSE(window->isWindowModified());
    const auto disk = OnDisk();
    EXPECT_TRUE(HasReceiver(*disk, "Siren"));
    EXPECT_FALSE(HasReceiver(*disk, "Horn"));
    EXPECT_EQ(ProfileNamed(*disk, "Alpha")->ReceiverList1(), Nul({"Siren", "Bell"}));
    EXPECT_EQ(ProfileNamed(*disk, "Beta")->ReceiverList1(), Nul({"siren"}));
}

TEST_F(MainWindowFolderTest, OutsideChangeWithNothingUnsavedReloadsKeepingTheSelection)
{
    profiles()->setCurrentItem(RowNamed(profiles(), u"Gamma"_s));
    receivers()->setCurrentItem(RowNamed(receivers(), u"Siren"_s));
    // Another program adds a receiver that sorts first and renames Alpha.
    project.AddReceiver(7, "Aardvark");
    project.AddProfile(1, "Aleph", -1, Nul({"Siren"}));

    window->CheckFolder();
    EXPECT_EQ(Rows(receivers()), (QStringList{u"Aardvark"_s, u"Bell"_s, u"Siren"_s}));
    EXPECT_TRUE(RowNamed(profiles(), u"Aleph"_s));
    EXPECT_EQ(Selected(receivers()), u"Siren"_s);
    EXPECT_EQ(Selected(profiles()), u"Gamma"_s);
    const QTreeWidgetItem* siren = RowNamed(receivers(), u"Siren"_s);
    EXPECT_EQ(suite->ReceiverTable.at(Tag(siren)).Name(), "Siren");
    EXPECT_FALSE(window->isWindowModified());
    EXPECT_TRUE(window->FolderNotice()->isVisibleTo(window.get()));
    EXPECT_TRUE(prompt.told.empty()) << "told in the line, not in a box";

    // The next save writes the other program's change with the operator's.
    Rename(profiles(), u"Gamma"_s, u"Gimel"_s);
    window->SaveProfilesButton()->click();
    EXPECT_TRUE(reapply.asked.empty());
    const auto disk = OnDisk();
    EXPECT_TRUE(ProfileNamed(*disk, "Aleph"));
    EXPECT_TRUE(ProfileNamed(*disk, "Gimel"));
}

TEST_F(MainWindowFolderTest, OutsideChangeWithUnsavedRenamesIsToldAndTheRenamesAppliedAgainAtSave)
{
    Rename(receivers(), u"Siren"_s, u"Horn"_s);
    project.AddProfile(9, "Delta", -1, Nul({"SIREN"}));

    window->CheckFolder();
    EXPECT_TRUE(window->FolderNotice()->isVisibleTo(window.get()));
    EXPECT_TRUE(window->FolderNotice()->text().contains(u"Your renames are not saved"_s))
        << window->FolderNotice()->text().toStdString();
    EXPECT_TRUE(window->FolderNotice()->text().contains(u"Profile_0009.dat"_s));
    EXPECT_FALSE(RowNamed(profiles(), u"Delta"_s)) << "the operator's tables stay until the save";
    EXPECT_TRUE(window->isWindowModified());

    window->SaveReceiversButton()->click();
    ASSERT_EQ(reapply.asked.size(), 1u);
    EXPECT_EQ(reapply.asked[0].second,
              QStringList{u"Receiver \"Siren\" to \"Horn\": applied again. 3 receiver lists of the route profiles "
                          "change with it."_s});
    EXPECT_FALSE(window->isWindowModified());
    EXPECT_FALSE(window->FolderNotice()->isVisibleTo(window.get()));
    EXPECT_TRUE(RowNamed(profiles(), u"Delta"_s));
    const auto disk = OnDisk();
    EXPECT_TRUE(HasReceiver(*disk, "Horn"));
    EXPECT_EQ(ProfileNamed(*disk, "Delta")->ReceiverList1(), Nul({"Horn"}));
    EXPECT_EQ(ProfileNamed(*disk, "Alpha")->ReceiverList1(), Nul({"Horn", "Bell"}));

    // Undo works on what was applied again.
    window->Undo();
    EXPECT_EQ(ProfileNamed(*suite, "Delta")->ReceiverList1(), Nul({"SIREN"}));
    EXPECT_TRUE(window->isWindowModified());
}

TEST_F(MainWindowFolderTest, DecliningToApplyAgainWritesNothing)
{
    Rename(profiles(), u"Gamma"_s, u"Gimel"_s);
    project.AddReceiver(5, "Buzzer");
    const auto before = test::Snapshot(project.path());
    reapply.answer = false;
    window->SaveProfilesButton()->click();
    ASSERT_EQ(reapply.asked.size(), 1u);
    EXPECT_EQ(test::Snapshot(project.path()), before);
    EXPECT_TRUE(window->isWindowModified());
    EXPECT_TRUE(RowNamed(profiles(), u"Gimel"_s));
    EXPECT_TRUE(project.server.commands.empty());
    EXPECT_TRUE(window->FolderNotice()->isVisibleTo(window.get()));
    EXPECT_TRUE(window->FolderNotice()->text().contains(u"Receiver_0005.dat"_s))
        << window->FolderNotice()->text().toStdString();
}

TEST_F(MainWindowFolderTest, RenamesWhoseEntryVanishedOrWhoseNameIsTakenAreRefused)
{
    Rename(receivers(), u"Siren"_s, u"Horn"_s);
    Rename(profiles(), u"Beta"_s, u"Bet"_s);
    Rename(profiles(), u"Gamma"_s, u"Gimel"_s);
    // Another program takes the name Horn (but for case) and renames Beta away.
    project.AddReceiver(4, "HORN");
    project.AddProfile(2, "Bravo", -1, Nul({"siren"}));

    window->SaveProfilesButton()->click();
    ASSERT_EQ(reapply.asked.size(), 1u);
    EXPECT_EQ(
        reapply.asked[0].second,
        (QStringList{u"Receiver \"Siren\" to \"Horn\": refused: A Receiver with this name already exists."_s,
                     u"Route profile \"Beta\" to \"Bet\": refused: no route profile bears the name \"Beta\" now."_s,
                     u"Route profile \"Gamma\" to \"Gimel\": applied again."_s}));
    const auto disk = OnDisk();
    // The other program's change is kept; of the operator's, only what passed.
    EXPECT_TRUE(HasReceiver(*disk, "HORN"));
    EXPECT_TRUE(HasReceiver(*disk, "Siren"));
    EXPECT_FALSE(HasReceiver(*disk, "Horn"));
    ASSERT_TRUE(ProfileNamed(*disk, "Bravo"));
    EXPECT_EQ(ProfileNamed(*disk, "Bravo")->ReceiverList1(), Nul({"siren"}));
    EXPECT_FALSE(ProfileNamed(*disk, "Bet"));
    EXPECT_TRUE(ProfileNamed(*disk, "Gimel"));
    EXPECT_EQ(ProfileNamed(*disk, "Alpha")->ReceiverList1(), Nul({"Siren", "Bell"}));
    EXPECT_FALSE(window->isWindowModified());
}

TEST_F(MainWindowFolderTest, NothingLeftToApplyIsToldAndNothingWritten)
{
    Rename(profiles(), u"Beta"_s, u"Bet"_s);
    project.AddProfile(2, "Bravo");
    const auto before = test::Snapshot(project.path());
    window->SaveProfilesButton()->click();
    ASSERT_EQ(reapply.asked.size(), 1u);
    EXPECT_EQ(test::Snapshot(project.path()), before);
    ASSERT_EQ(prompt.told.size(), 1u);
    EXPECT_TRUE(prompt.told[0].startsWith(u"None of your renames could be applied again"_s));
    EXPECT_TRUE(RowNamed(profiles(), u"Bravo"_s));
    EXPECT_FALSE(window->isWindowModified());
}

TEST_F(MainWindowFolderTest, ASaveLockOfAnotherDeskIsNamed)
{
    LockOwner owner;
    owner.desk = {"alice", "desk-3", 4711};
    owner.since = 1'796'638'500;
    test::MakeDirs(project / ".velnamechange/Profiles.held");
    test::WriteBytes(project / ".velnamechange/Profiles.held/owner", EncodeLockOwner(owner));
    project.AddReceiver(5, "Buzzer"); // half a save of theirs: not loaded yet

    window->CheckFolder();
    const QString text = window->FolderNotice()->text();
    EXPECT_TRUE(window->FolderNotice()->isVisibleTo(window.get()));
    EXPECT_TRUE(text.contains(QString::fromStdString(DescribeLockOwner(owner)))) << text.toStdString();
    EXPECT_TRUE(text.startsWith(u"The route profiles are being saved by alice on desk-3"_s)) << text.toStdString();
    EXPECT_FALSE(RowNamed(receivers(), u"Buzzer"_s));

    std::filesystem::remove_all(project / ".velnamechange/Profiles.held");
    window->CheckFolder();
    EXPECT_TRUE(RowNamed(receivers(), u"Buzzer"_s));
}

TEST_F(MainWindowFolderTest, NoReloadWhileAQuestionIsOpen)
{
    // The rename box holds a row of the list while it is open: the look at
    // the folder waits until it is answered.
    project.AddReceiver(5, "Buzzer");
    QDialog question(window.get());
    bool reloadedMeanwhile = true;
    QTimer::singleShot(0, &question, [&] {
        window->CheckFolder();
        reloadedMeanwhile = RowNamed(receivers(), u"Buzzer"_s) != nullptr;
        question.reject();
    });
    question.exec();
    EXPECT_FALSE(reloadedMeanwhile);
    window->CheckFolder();
    EXPECT_TRUE(RowNamed(receivers(), u"Buzzer"_s));
}

TEST_F(MainWindowFolderTest, TheWatcherNoticesAnotherProgram)
{
    ASSERT_TRUE(window->Watch());
    EXPECT_TRUE(window->Watch()->Watched().contains(QString::fromStdString(project / "Receivers")));
    QSignalSpy changed(window->Watch(), &FolderWatch::Changed);
    project.AddReceiver(6, "Chime");
    ASSERT_TRUE(changed.wait(10000));
    EXPECT_TRUE(RowNamed(receivers(), u"Chime"_s));
    // The new file is watched too, so a change to it in place is noticed.
    EXPECT_TRUE(window->Watch()->Watched().contains(QString::fromStdString(project / "Receivers/Receiver_0006.dat")));
}

} // namespace
} // namespace vel
