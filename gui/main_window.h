#pragma once

// VelNameChange_Main: the utility's one window. Two framed lists, route
// profiles and receivers, each row showing an entry's name with a ticked or
// empty box for its Enabled flag and carrying the entry's table index as its
// tag (Qt::UserRole). A double-click, F2 or Enter renames the selected entry;
// the two buttons save the tables. The window opens at its design size with
// the controls at their design positions; resized, the lists take the room
// and the buttons stay at the bottom.
//
// For the keyboard: Ctrl+S saves whatever is unsaved (both tables in one
// commit), Ctrl+F opens the find field of the list in use, Ctrl+Q closes
// (asking, as closing does, about unsaved changes); a list that gets the
// focus selects its current row. Both lists have a context menu (Rename, and
// for receivers Used by). A status line tells what each rename and save did;
// a refused name is told with the entry that bears it and asked for again.
//
// The window knows which table holds changes that are not saved: its title
// then carries the modified marker, closing asks whether to save them, and a
// receiver rename whose list changes would reach the disk without the
// receivers (or the other way round) is saved half only when the operator
// chooses so.

#include "project/rename_commands.h"
#include "project/rename_journal.h"
#include "project/suite.h"

#include <QIcon>
#include <QPointer>
#include <QWidget>

#include <memory>
#include <string>

class QAction;
class QCloseEvent;
class QContextMenuEvent;
class QLabel;
class QTimer;
class QGroupBox;
class QMenu;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class QVBoxLayout;

namespace vel {

class ListFilter;
class Prompt;
class StatusLine;
class UsedByDialog;
class FolderWatch;
class ReapplyPrompt;

// Role of a row's image number (1 ticked box, 2 empty box) beside its icon.
inline constexpr int ImageNumberRole = Qt::UserRole + 1;

// The two 13 x 13 images of the lists: 1 a ticked check box, 2 an empty one.
class SmallImageList {
public:
    SmallImageList();
    // image 1 or 2
    const QIcon& Image(int number) const { return number == 1 ? m_ticked : m_empty; }
    static QPixmap Draw(bool ticked);

private:
    QIcon m_ticked;
    QIcon m_empty;
};

class MainWindow final : public QWidget {
    Q_OBJECT

public:
    MainWindow(Suite& suite, Prompt& prompt, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Loads receivers and profiles and fills both lists. Runs once, before
    // the window is first shown.
    LoadReport StartUp();
    // Tells the operator which files the load passed over and what else is
    // wrong with the project (see CheckProject); nothing when all is well.
    void ReportIncompleteLoad(const LoadReport& report);
    // Shrinks the window, not below its minimum size, so that it fits with
    // its title bar into `available` (a screen's room beside its panels).
    void FitInto(const QRect& available);

    QTreeWidget* ProfileList() const { return m_listProfiles; }
    QTreeWidget* ReceiverList() const { return m_listReceivers; }
    QPushButton* SaveProfilesButton() const { return m_saveProfiles; }
    QPushButton* SaveReceiversButton() const { return m_saveReceivers; }
    const SmallImageList& Images() const { return m_images; }
    ListFilter* ProfileFilter() const { return m_filterProfiles; }
    ListFilter* ReceiverFilter() const { return m_filterReceivers; }
    StatusLine* Status() const { return m_status; }
    // The open used-by window, if any.
    UsedByDialog* UsedBy() const;
    // The context menu of `list` for its current row; the caller owns it.
    QMenu* MakeListMenu(QTreeWidget* list);

    // Undo and redo of renames (Ctrl+Z, Ctrl+Shift+Z), and the journal they
    // work on.
    QAction* UndoAction() const { return m_undoAction; }
    QAction* RedoAction() const { return m_redoAction; }
    const RenameJournal& Journal() const { return m_journal; }
    // The line above the lists that tells what another program did to the
    // project's folders (hidden while there is nothing to tell).
    QLabel* FolderNotice() const { return m_folderNotice; }
    // The watcher of the project's folders (made by StartUp).
    FolderWatch* Watch() const { return m_watch; }
    // Who asks before renames are applied again onto changed files; by
    // default a message box.
    void SetReapplyPrompt(ReapplyPrompt* prompt);

public Q_SLOTS:
    // The double-click, F2 and Enter handlers: rename the selected row's entry.
    void RenameSelectedProfile();
    void RenameSelectedReceiver();
    // The button handlers. While the other table holds unsaved changes of
    // the same receiver rename, they ask whether to save both together.
    void SaveAllProfiles();
    void SaveAllReceivers();
    // Ctrl+S: saves every table with unsaved changes, both in one commit.
    void SaveEverything();
    // Ctrl+F: opens the find field of the list in use (the profiles' when
    // neither list has been used yet).
    void Find();
    // Opens the used-by window for the selected receiver.
    void ShowUsedBy();
    // Takes back the last rename / makes the last one taken back again.
    void Undo();
    void Redo();
    // Looks whether another program changed the kind folders (the watcher
    // runs this): with nothing unsaved the tables are loaded again, keeping
    // the selection; with unsaved renames the operator is told at once.
    void CheckFolder();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Asks to save, discard or keep unsaved changes; closes only when none
    // are left unsaved or the operator lets them go.
    void closeEvent(QCloseEvent* event) override;

private:
    // The constructor's parts, in the order it runs them: the frames, lists
    // and buttons in their design places (returns the window's layout); the
    // find fields; the key actions and handlers; the folder notice; undo and
    // redo.
    QVBoxLayout* PlaceControls();
    void AddFindFields();
    void AddKeys();
    void AddFolderNotice(QVBoxLayout& layout);
    void AddUndoRedo();
    // A list that gets the focus selects its current row (the first row
    // shown when it has none yet).
    void SelectOnFocus(QTreeWidget* focused);
    // The context menu of `list`, asked for on the list itself (toList: the
    // keyboard's) or on its viewport (the pointer's).
    void ShowListMenu(QTreeWidget* list, bool toList, const QContextMenuEvent& menuEvent);
    // The row F2, Enter and the menu act on: the selected row, else the
    // current one (which the focus may have left unselected); never a row
    // the find field hides.
    static QTreeWidgetItem* RowToActOn(QTreeWidget* list);
    // Selects the row `slot` of the profile list (from the used-by window).
    void GoToProfile(std::size_t slot);
    // Asks for the selected row's new name and renames its entry.
    void RenameSelected(QTreeWidget* list, const char* prompt,
                        Result<RenameOutcome> (*rename)(Suite&, std::int16_t, std::string_view));
    void FillProfiles();
    void FillReceivers();
    // A save button's handler for the table `pressed`.
    void SaveFromButton(SavedKind pressed);
    // Saves `kind` (Both in one commit), fills the receiver list anew when
    // the receivers were saved, clears the marks of what reached the disk and
    // tells the operator what went wrong. True when the files were written.
    bool Save(SavedKind kind);
    // Whether any table holds unsaved changes, and which ones (when any does).
    bool AnyUnsaved() const { return m_profilesUnsaved || m_receiversUnsaved; }
    SavedKind Unsaved() const;
    // The unsaved marks, the marker and the undo actions as the journal has them.
    void FollowJournal();
    // Shows a step's entry under the name the table gives it now, as the current row.
    void ShowStep(const RenameStep& step);
    // Loads both tables again and fills the lists, the selected rows kept.
    void ReloadKeepingSelection(LoadReport* report);
    // The check before a save: when another program changed the files, the
    // renames are applied again onto them once the operator has seen what
    // that does. True when the save may go on.
    bool ReadyToSave();
    // The renames applied again onto the files as they are now (`fresh`, as
    // the operator saw them); true when the save may go on.
    bool ApplyAgain(const Suite& fresh);
    void ShowFolderNotice(const QString& text);

    Suite& m_suite;
    Prompt& m_prompt;
    SmallImageList m_images;
    QGroupBox* m_frameProfiles = nullptr;
    QGroupBox* m_frameReceivers = nullptr;
    QTreeWidget* m_listProfiles = nullptr;
    QTreeWidget* m_listReceivers = nullptr;
    QPushButton* m_saveProfiles = nullptr;
    QPushButton* m_saveReceivers = nullptr;
    bool m_profilesUnsaved = false;
    bool m_receiversUnsaved = false;
    // The unsaved profile changes include receiver lists changed by a
    // receiver rename that is not saved either: the two tables belong together.
    bool m_tied = false;
    ListFilter* m_filterProfiles = nullptr;
    ListFilter* m_filterReceivers = nullptr;
    StatusLine* m_status = nullptr;
    QPointer<UsedByDialog> m_usedBy;
    // The list the operator used last, for Ctrl+F.
    QTreeWidget* m_lastList = nullptr;

    RenameJournal m_journal;
    QAction* m_undoAction = nullptr;
    QAction* m_redoAction = nullptr;
    QAction* m_historyAction = nullptr;
    QLabel* m_folderNotice = nullptr;
    FolderWatch* m_watch = nullptr;
    // Looks again later: while another desk holds a save lock, or a question
    // is open in front of the window.
    QTimer* m_lockRetry = nullptr;
    std::unique_ptr<ReapplyPrompt> m_ownReapplyPrompt;
    ReapplyPrompt* m_reapplyPrompt = nullptr;
};

// The window mode of the program: creates the application, opens the window
// on the project and runs until it is closed.
// How the window mode runs: each save keeps the newest keepBackups backups of
// its kind; a lock another machine left is taken over after staleLockMinutes;
// the suite's own log lines go to standard error only when verbose.
struct WindowSettings {
    std::size_t keepBackups = DefaultKeptBackups;
    std::int64_t staleLockMinutes = DefaultStaleLockMinutes;
    bool verbose = false;
};
int RunWindow(int& argc, char** argv, const std::string& projectPath, const WindowSettings& settings);

} // namespace vel
