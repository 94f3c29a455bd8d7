// The history of renames in the window: the dialog lists the lines newest
// first and names the damaged ones; the main window opens it with Ctrl+H.

#include "gui/history_dialog.h"

#include "gui/main_window.h"
#include "gui/prompt.h"
#include "project/rename_commands.h"
#include "records/history.h"
#include "records/save_transaction.h"
#include "tests/support/test_project.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QMenu>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <memory>

namespace vel {

using namespace Qt::StringLiterals;

namespace {

using test::TestProject;

// The window asks nothing in these tests.
class SilentPrompt final : public Prompt {
public:
    QString AskText(const QString&, const QString&) override { return {}; }
    void Tell(const QString& message) override { told.push_back(message); }
    CloseAnswer AskUnsavedOnClose(SavedKind) override { return CloseAnswer::Discard; }
    TiedSaveAnswer AskSaveTied(SavedKind) override { return TiedSaveAnswer::Cancel; }
    std::vector<QString> told;
};

// Kind, old and new name of every row, top to bottom.
QStringList Rows(const HistoryDialog& dialog)
{
    QStringList rows;
    for (int r = 0; r < dialog.Lines()->topLevelItemCount(); ++r) {
        const QTreeWidgetItem* row = dialog.Lines()->topLevelItem(r);
        rows << row->text(3) + u": "_s + row->text(4) + u" > "_s + row->text(5) + u" ("_s + row->text(6) + u")"_s;
    }
    return rows;
}

class HistoryInTheWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        project.AddReceiver(0, "Pager");
        project.AddProfile(1, "Day", -1, std::string("Pager\0", 6));
        suite = project.Open();
    }
    // Three saves: a profile renamed, a receiver renamed, the receivers restored.
    void ThreeSaves()
    {
        ASSERT_TRUE(RenameProfile(*suite, 0, "Early").ok());
        ASSERT_TRUE(SaveProfiles(*suite).written);
        ASSERT_EQ(RenameReceiver(*suite, 0, "Beeper")->result, RenameResult::Renamed);
        ASSERT_TRUE(SaveReceiversAndProfiles(*suite).written);
        auto history = ReadHistory(RealFileSystem(), project.path(), {});
        ASSERT_TRUE(history.ok());
        ASSERT_EQ(history->size(), 2U);
        ASSERT_TRUE(suite->Restore("Receivers", history->back().backup).written);
    }
    std::string HistoryFile() const { return project / (std::string(WorkFolderName) + "/" + HistoryFileName); }

    TestProject project;
    std::unique_ptr<Suite> suite;
};

TEST_F(HistoryInTheWindow, TheDialogListsTheNewestFirstAndNamesDamagedLines)
{
    {
        const HistoryDialog empty(RealFileSystem(), project.path());
        EXPECT_EQ(empty.Lines()->topLevelItemCount(), 0);
        EXPECT_TRUE(empty.Problems()->isHidden());
        EXPECT_EQ(empty.Lines()->headerItem()->text(4), u"Old name"_s);
    }
    ThreeSaves();
    const HistoryDialog dialog(RealFileSystem(), project.path());
    EXPECT_EQ(Rows(dialog),
              (QStringList{u"Receivers restored:  > "_s + dialog.Lines()->topLevelItem(0)->text(5) + u" (0)"_s,
                           u"Receiver: Pager > Beeper (1)"_s, u"Route profile: Day > Early (0)"_s}));
    EXPECT_TRUE(dialog.Lines()->topLevelItem(0)->text(5).startsWith(u"Receivers-"_s));
    EXPECT_EQ(dialog.Lines()->columnCount(), 8);
    EXPECT_TRUE(dialog.Problems()->isHidden());

    // A damaged line is named below the list; the lines after it are shown.
    ByteBuffer file = test::ReadBytes(HistoryFile());
    const std::string damaged = "not a line of the history\n";
    file.insert(file.begin() + static_cast<std::ptrdiff_t>(std::string(HistoryHeader).size() + 1), damaged.begin(),
                damaged.end());
    test::WriteBytes(HistoryFile(), file);
    const HistoryDialog again(RealFileSystem(), project.path());
    EXPECT_EQ(again.Lines()->topLevelItemCount(), 3);
    EXPECT_FALSE(again.Problems()->isHidden());
    EXPECT_TRUE(again.Problems()->text().contains(u"history.tsv line 2 is damaged and passed over"_s))
        << again.Problems()->text().toStdString();
}

TEST_F(HistoryInTheWindow, TheMainWindowOpensItWithCtrlH)
{
    ThreeSaves();
    SilentPrompt prompt;
    MainWindow window(*suite, prompt);
    (void)window.StartUp();

    QAction* action = window.findChild<QAction*>(u"Action_History"_s);
    ASSERT_NE(action, nullptr);
    EXPECT_TRUE(window.actions().contains(action));
    EXPECT_EQ(action->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_H));
    EXPECT_FALSE(action->text().isEmpty());
    for (QTreeWidget* list : {window.ProfileList(), window.ReceiverList()}) {
        const std::unique_ptr<QMenu> menu(window.MakeListMenu(list));
        EXPECT_TRUE(menu->actions().contains(action)) << "the lists' context menus offer it too";
    }

    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    EXPECT_EQ(window.findChild<HistoryDialog*>(), nullptr);
    QTest::keyClick(window.ProfileList(), Qt::Key_H, Qt::ControlModifier);
    auto* dialog = window.findChild<HistoryDialog*>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->Lines()->topLevelItemCount(), 3);
    EXPECT_EQ(dialog->Lines()->topLevelItem(2)->text(5), u"Early"_s) << "the oldest last";
    dialog->close();
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(window.findChild<HistoryDialog*>(), nullptr) << "a closed dialog goes";
    EXPECT_TRUE(prompt.told.empty());
}

} // namespace
} // namespace vel
