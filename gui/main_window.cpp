#include "gui/main_window.h"

#include "gui/history_dialog.h"
#include "project/project_check.h"
#include "gui/folder_watch.h"
#include "gui/prompt.h"
#include "gui/list_filter.h"
#include "gui/list_frame.h"
#include "gui/rename_box.h"
#include "gui/status_line.h"
#include "gui/used_by_dialog.h"
#include "project/rename_commands.h"
#include "base/codepage.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QAction>
#include <QApplication>
#include <QBoxLayout>
#include <QCloseEvent>
#include <QEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QTreeWidget>

#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace vel {

namespace {

// Design positions are in twips; 15 twips make one pixel at 96 dots per inch.
constexpr int Px(int twips)
{
    return twips / 15;
}

// The design: the window's client area, the two frames (stacked, one pixel
// apart) and their lists, the buttons on one row below them. At the design
// size the layout puts every control at its design position; beyond it the
// frames take the width and share the height in the design's proportion.
constexpr QSize DesignSize(Px(7650), Px(11310));
constexpr QRect ProfileFrame(Px(0), Px(0), Px(7575), Px(5685));
constexpr QRect ProfileListInFrame(Px(120), Px(270), Px(7275), Px(5265));
constexpr QRect ReceiverFrame(Px(0), Px(5700), Px(7575), Px(5085));
constexpr QRect ReceiverListInFrame(Px(120), Px(330), Px(7275), Px(4575));
constexpr QRect SaveProfilesButtonAt(Px(300), Px(10860), Px(1575), Px(315));
constexpr QRect SaveReceiversButtonAt(Px(2040), Px(10860), Px(1575), Px(315));

// Small enough for a 1366 x 768 screen with its panels and the title bar.
constexpr QSize SmallestSize(420, 520);
// Room taken around the client area by a usual title bar and border, while
// the real frame is not known yet (before the window is first shown).
constexpr QSize FrameAllowance(16, 40);

// The margins that put a control at `inner` within a container of `outer`'s size.
QMargins MarginsAround(const QRect& inner, const QSize& outer)
{
    return QMargins(inner.left(), inner.top(), outer.width() - inner.right() - 1, outer.height() - inner.bottom() - 1);
}

QString Shown(const AnsiText& name)
{
    return QString::fromStdString(Cp1252ToUtf8(name));
}

// The table index a row carries.
std::size_t TagOf(const QTreeWidgetItem& row)
{
    return static_cast<std::size_t>(row.data(0, Qt::UserRole).toInt());
}

// A list row: an entry's name, its Enabled image and its table index as
// its tag. Rows sort as the tables sort (CompareUpper), equal names by tag,
// so the list shows the table's order and a renamed row moves to the place
// the next sort of the table gives it.
class NameItem final : public QTreeWidgetItem {
public:
    NameItem(const AnsiText& name, const QIcon& icon, int imageNumber, int tag)
    {
        SetName(name);
        setIcon(0, icon);
        setData(0, ImageNumberRole, imageNumber);
        setData(0, Qt::UserRole, tag);
        setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        // What the image says, in words: for the pointer resting on the row
        // and for a screen reader, which reads the row's description.
        const bool enabled = imageNumber == 1;
        setData(0, Qt::ToolTipRole, enabled ? QStringLiteral("Enabled") : QStringLiteral("Disabled"));
        setData(0, Qt::AccessibleDescriptionRole, enabled ? QStringLiteral("enabled") : QStringLiteral("disabled"));
    }

    void SetName(const AnsiText& name)
    {
        m_name = name;
        setText(0, Shown(name));
    }

    bool operator<(const QTreeWidgetItem& other) const override
    {
        const auto& row = static_cast<const NameItem&>(other);
        const int c = CompareUpper(m_name, row.m_name);
        if (c != 0) return c < 0;
        return TagOf(*this) < TagOf(row);
    }

private:
    AnsiText m_name;
};

QTreeWidget* MakeList(QGroupBox* frame, const char* name, const QRect& frameGeometry, const QRect& geometry)
{
    auto* list = new QTreeWidget(frame);
    list->setObjectName(QString::fromLatin1(name));
    // A screen reader names the list by its frame's caption.
    list->setAccessibleName(QString(frame->title()).remove(QLatin1Char('&')));
    // The list keeps its design distances to the frame's edges, measured
    // from the frame's outer rectangle (not the room the style leaves
    // inside it), as the design measures them.
    frame->setAttribute(Qt::WA_LayoutOnEntireRect);
    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(MarginsAround(geometry, frameGeometry.size()));
    layout->addWidget(list);
    list->setColumnCount(1);
    list->setHeaderLabels({QStringLiteral("Name")});
    // The one column fills the list at any width, so that a selected row is
    // marked across the whole list.
    list->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setIconSize(QSize(13, 13));
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setFocusPolicy(Qt::StrongFocus);
    return list;
}

template <class Entries>
void Fill(QTreeWidget* list, const SmallImageList& images, const Entries& entries)
{
    list->setSortingEnabled(false);
    list->clear();
    QList<QTreeWidgetItem*> rows;
    rows.reserve(static_cast<qsizetype>(entries.size()));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const auto& record = entries[i].record;
        const int image = record.Enabled() != 0 ? 1 : 2;
        rows.append(new NameItem(record.Name(), images.Image(image), image, static_cast<int>(i)));
    }
    list->addTopLevelItems(rows);
    list->setSortingEnabled(true);
    list->sortItems(0, Qt::AscendingOrder);
}

// A receiver's place among the receivers of exactly its name, which keep
// their order when the table is sorted: it names the receiver across a sort.
struct SameNamePlace {
    AnsiText name;
    std::size_t before = 0; // receivers of that name ahead of it
};

// F2, Return and the keypad's Enter, without Ctrl, Alt, Shift or Meta.
bool IsRenameKey(const QKeyEvent& key)
{
    if ((key.modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) return false;
    return key.key() == Qt::Key_F2 || key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter;
}

QTreeWidgetItem* SelectedRow(QTreeWidget* list)
{
    const QList<QTreeWidgetItem*> rows = list->selectedItems();
    return rows.isEmpty() ? nullptr : rows.front();
}

// The main window is a frame to a screen reader, as a main window is, not
// the filler a plain widget would be.
QAccessibleInterface* MainWindowAccessible(const QString& className, QObject* object)
{
    if (className == QLatin1String(MainWindow::staticMetaObject.className()) && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
    return nullptr;
}

// Gives every row of the receiver list the slot its receiver has after a
// save sorted the table (receivers of one name keep their order), in place:
// the rows stay the same objects, so the selection, the current row and
// whatever a screen reader holds of them stay valid.
class ReceiverRetagger {
public:
    explicit ReceiverRetagger(const ReceiverStore& table)
    {
        std::map<AnsiText, std::size_t> seen;
        m_places.reserve(table.size());
        for (std::size_t i = 0; i < table.size(); ++i) {
            const AnsiText& name = table.at(i).Name();
            m_places.push_back({name, seen[name]++});
        }
    }

    void Retag(QTreeWidget* list, const ReceiverStore& sorted) const
    {
        std::map<AnsiText, std::vector<std::size_t>> slots;
        for (std::size_t i = 0; i < sorted.size(); ++i) slots[sorted.at(i).Name()].push_back(i);
        list->setSortingEnabled(false);
        for (int r = 0; r < list->topLevelItemCount(); ++r) {
            QTreeWidgetItem* row = list->topLevelItem(r);
            const std::size_t tag = TagOf(*row);
            if (tag >= m_places.size()) continue;
            const SameNamePlace& place = m_places[tag];
            const auto found = slots.find(place.name);
            if (found == slots.end() || place.before >= found->second.size()) continue;
            row->setData(0, Qt::UserRole, static_cast<int>(found->second[place.before]));
        }
        list->setSortingEnabled(true);
        list->sortItems(0, Qt::AscendingOrder);
    }

private:
    std::vector<SameNamePlace> m_places;
};

} // namespace

SmallImageList::SmallImageList() : m_ticked(Draw(true)), m_empty(Draw(false)) {}

QPixmap SmallImageList::Draw(bool ticked)
{
    QImage image(13, 13, QImage::Format_RGB888);
    image.fill(QColor(255, 255, 255));
    QPainter p(&image);
    p.setPen(QPen(QColor(128, 128, 128), 1));
    p.drawRect(0, 0, 12, 12);
    if (ticked) {
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(QPen(QColor(0, 0, 0), 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        const QPoint tick[] = {QPoint(3, 6), QPoint(5, 9), QPoint(9, 3)};
        p.drawPolyline(tick, 3);
    }
    p.end();
    return QPixmap::fromImage(image);
}

MainWindow::MainWindow(Suite& suite, Prompt& prompt, QWidget* parent)
    : QWidget(parent), m_suite(suite), m_prompt(prompt)
{
    setObjectName(QStringLiteral("VelNameChange_Main"));
    // The marker shows while a table holds unsaved changes.
    setWindowTitle(QStringLiteral("Veltra Name change utility[*]"));

    static const bool accessibleInstalled = [] {
        QAccessible::installFactory(MainWindowAccessible);
        return true;
    }();
    (void)accessibleInstalled;

    QVBoxLayout* layout = PlaceControls();
    AddFindFields();
    AddKeys();
    m_suite.Context.busy = [](bool on) {
        if (on)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    };

    AddFolderNotice(*layout);
    AddUndoRedo();
    m_lockRetry = new QTimer(this);
    m_lockRetry->setSingleShot(true);
    m_lockRetry->setInterval(2000);
    connect(m_lockRetry, &QTimer::timeout, this, &MainWindow::CheckFolder);
    m_ownReapplyPrompt = std::make_unique<DialogReapplyPrompt>(this);
    m_reapplyPrompt = m_ownReapplyPrompt.get();
}

QVBoxLayout* MainWindow::PlaceControls()
{
    m_frameProfiles = new ListFrame(QStringLiteral("&Route Profiles"), this);
    m_frameProfiles->setObjectName(QStringLiteral("Frame_0"));
    m_listProfiles = MakeList(m_frameProfiles, "ListView_Profiles", ProfileFrame, ProfileListInFrame);

    m_frameReceivers = new ListFrame(QStringLiteral("R&eceivers"), this);
    m_frameReceivers->setObjectName(QStringLiteral("Frame_1"));
    m_listReceivers = MakeList(m_frameReceivers, "ListView_Receivers", ReceiverFrame, ReceiverListInFrame);

    m_saveProfiles = new QPushButton(QStringLiteral("Save Profiles"), this);
    m_saveProfiles->setObjectName(QStringLiteral("Command_SaveProfiles"));
    m_saveProfiles->setFixedSize(SaveProfilesButtonAt.size());
    m_saveProfiles->setAutoDefault(false);

    m_saveReceivers = new QPushButton(QStringLiteral("Save Receivers"), this);
    m_saveReceivers->setObjectName(QStringLiteral("Command_SaveReceivers"));
    m_saveReceivers->setFixedSize(SaveReceiversButtonAt.size());
    m_saveReceivers->setAutoDefault(false);

    // The frames share whatever height the buttons leave, in the design's
    // proportion; the buttons keep their size and their place at the bottom.
    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(SaveProfilesButtonAt.left(), 0, 0, 0);
    buttons->setSpacing(0);
    buttons->addWidget(m_saveProfiles);
    buttons->addSpacing(SaveReceiversButtonAt.left() - SaveProfilesButtonAt.right() - 1);
    buttons->addWidget(m_saveReceivers);
    buttons->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    const QRect controls = ProfileFrame.united(ReceiverFrame).united(SaveProfilesButtonAt);
    layout->setContentsMargins(MarginsAround(controls, DesignSize));
    layout->setSpacing(0);
    layout->addWidget(m_frameProfiles, ProfileFrame.height());
    layout->addSpacing(ReceiverFrame.top() - ProfileFrame.bottom() - 1);
    layout->addWidget(m_frameReceivers, ReceiverFrame.height());
    layout->addSpacing(SaveProfilesButtonAt.top() - ReceiverFrame.bottom() - 1);
    layout->addLayout(buttons);
    // Below the buttons, shown from the first sentence on.
    m_status = new StatusLine(this);
    layout->addWidget(m_status);

    setMinimumSize(SmallestSize);
    resize(DesignSize);
    // Place the controls now, not only when the window is first shown.
    layout->activate();
    m_frameProfiles->layout()->activate();
    m_frameReceivers->layout()->activate();

    return layout;
}

void MainWindow::AddFindFields()
{
    // The find fields sit above their lists, hidden until Ctrl+F; hidden,
    // the list keeps its design place.
    m_filterProfiles = new ListFilter(m_listProfiles, static_cast<QBoxLayout*>(m_frameProfiles->layout()), 0,
                                      QStringLiteral("route profiles"));
    m_filterReceivers = new ListFilter(m_listReceivers, static_cast<QBoxLayout*>(m_frameReceivers->layout()), 0,
                                       QStringLiteral("receivers"));

    setTabOrder(m_filterProfiles->Field(), m_listProfiles);
    setTabOrder(m_listProfiles, m_filterReceivers->Field());
    setTabOrder(m_filterReceivers->Field(), m_listReceivers);
    setTabOrder(m_listReceivers, m_saveProfiles);
    setTabOrder(m_saveProfiles, m_saveReceivers);
}

void MainWindow::AddKeys()
{
    auto addKey = [this](const QKeySequence& keys, auto slot) {
        auto* action = new QAction(this);
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
        connect(action, &QAction::triggered, this, slot);
    };
    addKey(QKeySequence(Qt::CTRL | Qt::Key_S), &MainWindow::SaveEverything);
    addKey(QKeySequence(Qt::CTRL | Qt::Key_F), &MainWindow::Find);
    addKey(QKeySequence(Qt::CTRL | Qt::Key_Q), [this] { close(); });

    for (QTreeWidget* list : {m_listProfiles, m_listReceivers}) {
        list->installEventFilter(this);
        list->viewport()->installEventFilter(this);
    }
    connect(m_saveProfiles, &QPushButton::clicked, this, &MainWindow::SaveAllProfiles);
    connect(m_saveReceivers, &QPushButton::clicked, this, &MainWindow::SaveAllReceivers);

    // The history of renames: Ctrl+H and the context menu (history_dialog.h).
    m_historyAction = AddHistoryAction(*this, m_suite);
}

void MainWindow::AddFolderNotice(QVBoxLayout& layout)
{
    // Above the lists, hidden until another program changes the project's
    // folders: it tells without stopping the operator.
    m_folderNotice = new QLabel(this);
    m_folderNotice->setObjectName(QStringLiteral("Label_FolderNotice"));
    m_folderNotice->setWordWrap(true);
    m_folderNotice->setFrameShape(QFrame::StyledPanel);
    m_folderNotice->setMargin(4);
    m_folderNotice->setAccessibleName(QStringLiteral("Folder notice"));
    m_folderNotice->hide();
    layout.insertWidget(0, m_folderNotice);
}

void MainWindow::AddUndoRedo()
{
    m_undoAction = new QAction(QStringLiteral("Undo Rename"), this);
    m_undoAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    m_redoAction = new QAction(QStringLiteral("Redo Rename"), this);
    m_redoAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    for (QAction* action : {m_undoAction, m_redoAction}) {
        action->setShortcutContext(Qt::WindowShortcut);
        action->setEnabled(false);
        addAction(action);
    }
    connect(m_undoAction, &QAction::triggered, this, &MainWindow::Undo);
    connect(m_redoAction, &QAction::triggered, this, &MainWindow::Redo);
}

MainWindow::~MainWindow()
{
    m_suite.Context.busy = nullptr;
}

LoadReport MainWindow::StartUp()
{
    LoadReport report = m_suite.LoadAll();
    FillProfiles();
    FillReceivers();
    m_journal.Clear();
    FollowJournal();
    if (m_watch == nullptr) {
        m_watch = new FolderWatch(m_suite.Context.ProjectPath, this);
        connect(m_watch, &FolderWatch::Changed, this, &MainWindow::CheckFolder);
    }
    return report;
}

void MainWindow::ReportIncompleteLoad(const LoadReport& report)
{
    const std::string text = DescribeStartUp(m_suite, report);
    if (!text.empty()) m_prompt.Tell(QString::fromStdString(text));
}

void MainWindow::FitInto(const QRect& available)
{
    resize(size().boundedTo((available.size() - FrameAllowance).expandedTo(minimumSize())));
}

void MainWindow::FillProfiles()
{
    Fill(m_listProfiles, m_images, m_suite.ProfileTable.Entries());
    m_filterProfiles->Apply();
}

void MainWindow::FillReceivers()
{
    Fill(m_listReceivers, m_images, m_suite.ReceiverTable.Entries());
    m_filterReceivers->Apply();
}

void MainWindow::SelectOnFocus(QTreeWidget* focused)
{
    m_lastList = focused;
    QTreeWidgetItem* row = RowToActOn(focused);
    for (int r = 0; row == nullptr && r < focused->topLevelItemCount(); ++r)
        if (!focused->topLevelItem(r)->isHidden()) row = focused->topLevelItem(r);
    if (row != nullptr && SelectedRow(focused) != row) focused->setCurrentItem(row);
}

void MainWindow::ShowListMenu(QTreeWidget* list, bool toList, const QContextMenuEvent& menuEvent)
{
    // The pointer's row becomes the current one; from the keyboard, the
    // current row stays.
    QPoint at = toList ? list->viewport()->mapFrom(list, menuEvent.pos()) : menuEvent.pos();
    if (menuEvent.reason() == QContextMenuEvent::Mouse) {
        if (QTreeWidgetItem* row = list->itemAt(at)) list->setCurrentItem(row);
    } else if (QTreeWidgetItem* row = RowToActOn(list)) {
        at = list->visualItemRect(row).center();
    }
    const std::unique_ptr<QMenu> menu(MakeListMenu(list));
    menu->exec(list->viewport()->mapToGlobal(at));
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    // A double-click anywhere in a list (on a row or below the last one)
    // renames the selected row, and so do F2 and Enter in a list. The keys
    // stop at the list: Enter never reaches a button.
    QTreeWidget* list = nullptr;
    if (event->type() == QEvent::FocusIn && (watched == m_listProfiles || watched == m_listReceivers)) {
        // A list that gets the focus selects its current row (the first row
        // shown when it has none yet), so that the first F2 or Enter acts on
        // the row the focus rectangle marks.
        SelectOnFocus(static_cast<QTreeWidget*>(watched));
        return QWidget::eventFilter(watched, event);
    }
    if (event->type() == QEvent::KeyPress && (watched == m_listProfiles || watched == m_listReceivers)) {
        // Shift+F10 opens the context menu, as the menu key does.
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier) {
            auto* menuList = static_cast<QWidget*>(watched);
            const QPoint at = menuList->rect().center();
            QContextMenuEvent menuEvent(QContextMenuEvent::Keyboard, at, menuList->mapToGlobal(at));
            QApplication::sendEvent(menuList, &menuEvent);
            return true;
        }
    }
    if (event->type() == QEvent::ContextMenu) {
        // The pointer's menu comes to the viewport, the keyboard's (the menu
        // key, Shift+F10) to the list itself.
        if (watched == m_listProfiles || watched == m_listProfiles->viewport()) list = m_listProfiles;
        if (watched == m_listReceivers || watched == m_listReceivers->viewport()) list = m_listReceivers;
    }
    if (event->type() == QEvent::ContextMenu && list != nullptr) {
        ShowListMenu(list, watched == list, *static_cast<QContextMenuEvent*>(event));
        return true;
    }
    if (event->type() == QEvent::MouseButtonDblClick) {
        if (watched == m_listProfiles->viewport()) list = m_listProfiles;
        if (watched == m_listReceivers->viewport()) list = m_listReceivers;
    } else if (event->type() == QEvent::KeyPress && IsRenameKey(*static_cast<QKeyEvent*>(event))) {
        if (watched == m_listProfiles) list = m_listProfiles;
        if (watched == m_listReceivers) list = m_listReceivers;
    }
    if (list == nullptr) return QWidget::eventFilter(watched, event);
    if (list == m_listProfiles)
        RenameSelectedProfile();
    else
        RenameSelectedReceiver();
    return true;
}

void MainWindow::RenameSelectedProfile()
{
    RenameSelected(m_listProfiles, NewProfilePrompt, RenameProfile);
}

void MainWindow::RenameSelectedReceiver()
{
    RenameSelected(m_listReceivers, NewReceiverPrompt, RenameReceiver);
}

QTreeWidgetItem* MainWindow::RowToActOn(QTreeWidget* list)
{
    QTreeWidgetItem* row = SelectedRow(list);
    if (row == nullptr) row = list->currentItem();
    return row != nullptr && !row->isHidden() ? row : nullptr;
}

void MainWindow::RenameSelected(QTreeWidget* list, const char* prompt,
                                Result<RenameOutcome> (*rename)(Suite&, std::int16_t, std::string_view))
{
    QTreeWidgetItem* row = RowToActOn(list);
    if (row == nullptr) return;
    list->setCurrentItem(row);
    const bool receiver = list == m_listReceivers;
    const QString oldText = row->text(0);
    const QString entry = RenamedEntryLine(receiver, oldText);
    const auto tag = static_cast<std::int16_t>(row->data(0, Qt::UserRole).toInt());
    RenameJournal::Before before = RenameJournal::Take(m_suite, receiver ? RenamedKind::Receiver : RenamedKind::Profile,
                                                       TagOf(*row));
    // A refused name is told, then asked for again with the text as typed.
    QString proposed = oldText;
    Result<RenameOutcome> outcome = RenameOutcome{};
    for (;;) {
        const QString answer = m_prompt.AskNewName(QString::fromLatin1(prompt), entry, proposed);
        outcome = rename(m_suite, tag, answer.toStdString());
        if (!outcome) {
            m_status->Say(RefusedStatus(oldText, outcome.error().message));
            m_prompt.Tell(QString::fromStdString(outcome.error().message));
            return;
        }
        if (outcome->result != RenameResult::Duplicate && outcome->result != RenameResult::NotStorable) break;
        const std::string& why = outcome->refusal.error().message;
        QString message = QString::fromStdString(why);
        const std::string holder = DescribeDuplicateHolder(m_suite, *outcome, receiver);
        if (!holder.empty()) message += QLatin1Char('\n') + QString::fromStdString(holder);
        m_status->Say(RefusedStatus(oldText, why));
        m_prompt.Tell(message);
        proposed = answer;
    }
    if (const QString said = RenamedStatus(oldText, *outcome, receiver); !said.isEmpty()) m_status->Say(said);
    if (outcome->result == RenameResult::Renamed) {
        static_cast<NameItem*>(row)->SetName(outcome->newName);
        const SavedKind changed = ChangedTables(receiver, *outcome);
        if (changed != SavedKind::Receivers) m_profilesUnsaved = true;
        if (changed != SavedKind::Profiles) m_receiversUnsaved = true;
        if (changed == SavedKind::Both) m_tied = true;
        setWindowModified(true);
        m_journal.Record(std::move(before), m_suite);
        FollowJournal();
        if (outcome->itemsLeftAlone > 0)
            m_prompt.Tell(QString::fromStdString(DescribeItemsLeftAlone(*outcome, oldText.toStdString())));
    }
}

void MainWindow::SaveEverything()
{
    if (!AnyUnsaved()) {
        m_status->Say(NothingToSaveStatus());
        return;
    }
    Save(Unsaved());
}

void MainWindow::Find()
{
    QWidget* focus = focusWidget();
    QTreeWidget* list = m_lastList != nullptr ? m_lastList : m_listProfiles;
    if (focus != nullptr && m_frameReceivers->isAncestorOf(focus)) list = m_listReceivers;
    if (focus != nullptr && m_frameProfiles->isAncestorOf(focus)) list = m_listProfiles;
    (list == m_listProfiles ? m_filterProfiles : m_filterReceivers)->Open();
}

QMenu* MainWindow::MakeListMenu(QTreeWidget* list)
{
    auto* menu = new QMenu(this);
    const bool receivers = list == m_listReceivers;
    const bool onRow = RowToActOn(list) != nullptr;
    QAction* rename = menu->addAction(QStringLiteral("&Rename..."));
    rename->setShortcut(QKeySequence(Qt::Key_F2)); // shown only: F2 works in the list
    rename->setEnabled(onRow);
    connect(rename, &QAction::triggered, this,
            receivers ? &MainWindow::RenameSelectedReceiver : &MainWindow::RenameSelectedProfile);
    if (receivers) {
        QAction* usedBy = menu->addAction(QStringLiteral("&Used by..."));
        usedBy->setEnabled(onRow);
        connect(usedBy, &QAction::triggered, this, &MainWindow::ShowUsedBy);
    }
    menu->addSeparator();
    QAction* find = menu->addAction(QStringLiteral("&Find..."));
    find->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    connect(find, &QAction::triggered, this,
            [this, list] { (list == m_listProfiles ? m_filterProfiles : m_filterReceivers)->Open(); });
    // The window's own actions, so that the mouse and the menu key reach
    // them as well as their keys.
    menu->addSeparator();
    menu->addAction(m_undoAction);
    menu->addAction(m_redoAction);
    if (m_historyAction != nullptr) menu->addAction(m_historyAction);
    return menu;
}

UsedByDialog* MainWindow::UsedBy() const
{
    return m_usedBy;
}

void MainWindow::ShowUsedBy()
{
    const QTreeWidgetItem* row = RowToActOn(m_listReceivers);
    if (row == nullptr) return;
    const std::size_t slot = TagOf(*row);
    if (slot >= m_suite.ReceiverTable.size()) return;
    // One used-by window at a time: the newest question replaces the last.
    if (m_usedBy != nullptr) m_usedBy->close();
    m_usedBy = new UsedByDialog(m_suite, m_suite.ReceiverTable.at(slot).Name(), this);
    connect(m_usedBy, &UsedByDialog::ProfileChosen, this, &MainWindow::GoToProfile);
    m_usedBy->show();
}

void MainWindow::GoToProfile(std::size_t slot)
{
    for (int r = 0; r < m_listProfiles->topLevelItemCount(); ++r) {
        QTreeWidgetItem* row = m_listProfiles->topLevelItem(r);
        if (TagOf(*row) != slot) continue;
        // A profile the find field hides is shown again: the field is emptied.
        if (row->isHidden()) m_filterProfiles->Close();
        m_listProfiles->setCurrentItem(row);
        m_listProfiles->scrollToItem(row);
        activateWindow();
        m_listProfiles->setFocus(Qt::OtherFocusReason);
        return;
    }
}

void MainWindow::SaveAllProfiles()
{
    SaveFromButton(SavedKind::Profiles);
}

void MainWindow::SaveAllReceivers()
{
    SaveFromButton(SavedKind::Receivers);
}

void MainWindow::SaveFromButton(SavedKind pressed)
{
    SavedKind kind = pressed;
    if (m_profilesUnsaved && m_receiversUnsaved && m_tied) {
        switch (m_prompt.AskSaveTied(pressed)) {
        case TiedSaveAnswer::Both:
            kind = SavedKind::Both;
            break;
        case TiedSaveAnswer::ThisAlone:
            break;
        case TiedSaveAnswer::Cancel:
            return;
        }
    }
    Save(kind);
}

bool MainWindow::Save(SavedKind kind)
{
    if (!ReadyToSave()) return false;
    const bool profiles = kind != SavedKind::Receivers;
    const bool receivers = kind != SavedKind::Profiles;
    // A receivers save sorts the table again, so every row is given the slot
    // its receiver moved to; the rows themselves stay, and with them the
    // selection.
    std::optional<ReceiverRetagger> retagger;
    if (receivers) retagger.emplace(m_suite.ReceiverTable);

    // The save sorts the receivers; the journal's steps follow them.
    const RenameJournal::Places places = m_journal.ReceiverPlaces(m_suite);
    const SaveReport report = SaveTables(m_suite, kind);
    if (receivers) m_journal.ReceiversSorted(m_suite, places);
    if (retagger) retagger->Retag(m_listReceivers, m_suite.ReceiverTable);
    m_status->Say(SavedStatus(report, kind));
    if (report.written) {
        // Whatever stays unsaved no longer waits for the other table: the
        // part of a receiver rename that was saved is on disk now.
        if (profiles) m_profilesUnsaved = false;
        if (receivers) m_receiversUnsaved = false;
        m_tied = false;
        setWindowModified(AnyUnsaved());
        m_journal.Saved(kind);
        FollowJournal();
    }
    const std::string text = DescribeSave(report, kind);
    if (!text.empty()) m_prompt.Tell(QString::fromStdString(text));
    return report.written.ok();
}

SavedKind MainWindow::Unsaved() const
{
    if (m_profilesUnsaved && m_receiversUnsaved) return SavedKind::Both;
    return m_profilesUnsaved ? SavedKind::Profiles : SavedKind::Receivers;
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    bool close = true;
    if (AnyUnsaved()) {
        switch (m_prompt.AskUnsavedOnClose(Unsaved())) {
        case CloseAnswer::Save:
            // A save that fails keeps the window open, with the changes.
            close = Save(Unsaved());
            break;
        case CloseAnswer::Discard:
            break;
        case CloseAnswer::Cancel:
            close = false;
            break;
        }
    }
    if (close)
        event->accept();
    else
        event->ignore();
}

namespace {

// An entry's place among the entries of exactly its name, which keep their
// order through a sort and a load: the selected row's entry found again in
// the tables loaded anew.
template <class Table>
std::optional<SameNamePlace> SelectedPlace(QTreeWidget* list, const Table& table)
{
    const QTreeWidgetItem* row = SelectedRow(list);
    if (row == nullptr || TagOf(*row) >= table.size()) return std::nullopt;
    SameNamePlace place{table.at(TagOf(*row)).Name(), 0};
    for (std::size_t i = 0; i < TagOf(*row); ++i)
        if (table.at(i).Name() == place.name) ++place.before;
    return place;
}

template <class Table>
void SelectPlace(QTreeWidget* list, const Table& table, const std::optional<SameNamePlace>& place)
{
    if (!place) return;
    std::size_t seen = 0;
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (table.at(i).Name() != place->name || seen++ != place->before) continue;
        for (int r = 0; r < list->topLevelItemCount(); ++r) {
            if (TagOf(*list->topLevelItem(r)) == i) {
                list->setCurrentItem(list->topLevelItem(r));
                return;
            }
        }
    }
}

QString ReplayLineText(const ReplayLine& line)
{
    std::string text = DescribeStep(line.step);
    if (!text.empty()) text[0] = static_cast<char>(text[0] - 'a' + 'A');
    text += line.applied ? ": applied again." : ": refused:";
    if (!line.reason.empty()) text += " " + line.reason;
    return QString::fromStdString(text);
}

} // namespace

void MainWindow::SetReapplyPrompt(ReapplyPrompt* prompt)
{
    m_reapplyPrompt = prompt != nullptr ? prompt : m_ownReapplyPrompt.get();
}

void MainWindow::FollowJournal()
{
    m_profilesUnsaved = m_journal.ProfilesUnsaved();
    m_receiversUnsaved = m_journal.ReceiversUnsaved();
    m_tied = m_journal.Tied();
    setWindowModified(AnyUnsaved());
    m_undoAction->setEnabled(m_journal.CanUndo());
    m_redoAction->setEnabled(m_journal.CanRedo());
}

void MainWindow::ShowStep(const RenameStep& step)
{
    if (step.listsOnly) return;
    const bool profile = step.kind == RenamedKind::Profile;
    QTreeWidget* list = profile ? m_listProfiles : m_listReceivers;
    if (step.index >= (profile ? m_suite.ProfileTable.size() : m_suite.ReceiverTable.size())) return;
    const AnsiText& name = profile ? m_suite.ProfileTable.at(step.index).Name()
                                   : m_suite.ReceiverTable.at(step.index).Name();
    for (int r = 0; r < list->topLevelItemCount(); ++r) {
        QTreeWidgetItem* row = list->topLevelItem(r);
        if (TagOf(*row) != step.index) continue;
        static_cast<NameItem*>(row)->SetName(name);
        list->setCurrentItem(row);
        list->scrollToItem(row);
        return;
    }
}

void MainWindow::Undo()
{
    const auto step = m_journal.Undo(m_suite);
    FollowJournal();
    if (!step) return;
    ShowStep(*step);
    m_status->Say(QStringLiteral("Rename of %1 taken back").arg(QString::fromStdString(DescribeStep(*step))) +
                  (AnyUnsaved() ? QStringLiteral("; not saved") : QString()));
}

void MainWindow::Redo()
{
    const auto step = m_journal.Redo(m_suite);
    FollowJournal();
    if (!step) return;
    ShowStep(*step);
    m_status->Say(QStringLiteral("Rename of %1 made again").arg(QString::fromStdString(DescribeStep(*step))) +
                  (AnyUnsaved() ? QStringLiteral("; not saved") : QString()));
}

void MainWindow::ShowFolderNotice(const QString& text)
{
    m_folderNotice->setText(text);
    m_folderNotice->setVisible(!text.isEmpty());
}

void MainWindow::ReloadKeepingSelection(LoadReport* report)
{
    const auto profile = SelectedPlace(m_listProfiles, m_suite.ProfileTable);
    const auto receiver = SelectedPlace(m_listReceivers, m_suite.ReceiverTable);
    m_suite.ReceiverTable.ReadAllReceivers(m_suite.Context, report);
    m_suite.ProfileTable.ReadAllRouteProfiles(m_suite.Context, report);
    // The steps taken so far were made on the tables as they were.
    m_journal.Clear();
    FillProfiles();
    FillReceivers();
    SelectPlace(m_listProfiles, m_suite.ProfileTable, profile);
    SelectPlace(m_listReceivers, m_suite.ReceiverTable, receiver);
    FollowJournal();
}

void MainWindow::CheckFolder()
{
    // A question open in front of the window may hold on to rows of the
    // lists (the rename box does): look once it is answered.
    if (QApplication::activeModalWidget() != nullptr) {
        m_lockRetry->start();
        return;
    }
    // While another desk saves, its files are half in place: look again
    // once it is done, and say who it is.
    for (const KindDescription* desc : {&ReceiverKind(), &ProfileKind()}) {
        if (const auto holder = SaveLockHolder(m_suite, desc->kind)) {
            ShowFolderNotice(QStringLiteral("The %1 are being saved by %2.")
                                 .arg(QString::fromStdString(desc->what), QString::fromStdString(*holder)));
            m_lockRetry->start();
            return;
        }
    }
    std::string changed;
    bool outside = false;
    {
        BusyPointer busy(m_suite.Context);
        outside = ChangedOnDisk(m_suite, SavedKind::Both, &changed);
    }
    if (!outside) {
        ShowFolderNotice({});
        return;
    }
    if (!AnyUnsaved()) {
        LoadReport report;
        ReloadKeepingSelection(&report);
        QString text = QStringLiteral("Another program changed the files of the project; the lists show them as "
                                      "they are now.");
        if (!report.complete())
            text += QStringLiteral(" %1 file(s) could not be loaded and are not listed.").arg(report.passedOver.size());
        ShowFolderNotice(text);
        return;
    }
    ShowFolderNotice(QStringLiteral("Another program changed the files of the project (%1). Your renames are not "
                                    "saved. When you save, they can be applied again onto the files as they are "
                                    "now; you see what that does before anything is written.")
                         .arg(QString::fromStdString(changed)));
}

bool MainWindow::ReadyToSave()
{
    std::string changed;
    bool outside = false;
    {
        BusyPointer busy(m_suite.Context);
        outside = ChangedOnDisk(m_suite, SavedKind::Both, &changed);
    }
    if (!outside) return true;
    const QString what = QString::fromStdString(changed);
    if (!AnyUnsaved()) {
        ReloadKeepingSelection(nullptr);
        ShowFolderNotice({});
        m_prompt.Tell(QStringLiteral("Another program changed the files of the project (%1). Nothing of yours was "
                                     "unsaved, so nothing was saved; the lists show the files as they are now.")
                          .arg(what));
        return false;
    }

    // What applying the renames again would do, worked out on tables of
    // their own: the window's tables stay as they are until the operator agrees.
    const std::unique_ptr<Suite> fresh = LoadFresh(m_suite);
    std::vector<ReplayLine> lines;
    (void)m_journal.Replay(*fresh, lines);
    QStringList shown;
    for (const ReplayLine& line : lines) shown << ReplayLineText(line);
    const QString question =
        QStringLiteral("Another program changed the files of the project since they were loaded (%1). Saving the "
                       "lists as they are would overwrite its change.\n\nLoad the files as they are now and apply "
                       "your renames again onto them?")
            .arg(what);
    if (!m_reapplyPrompt->AskReapply(question, shown)) {
        // The renames wait; the line above the lists says why.
        CheckFolder();
        return false;
    }

    return ApplyAgain(*fresh);
}

bool MainWindow::ApplyAgain(const Suite& fresh)
{
    // The same renames onto the files, now in the window's own tables.
    const auto profile = SelectedPlace(m_listProfiles, m_suite.ProfileTable);
    const auto receiver = SelectedPlace(m_listReceivers, m_suite.ReceiverTable);
    m_suite.ReceiverTable.ReadAllReceivers(m_suite.Context);
    m_suite.ProfileTable.ReadAllRouteProfiles(m_suite.Context);
    std::vector<ReplayLine> made;
    m_journal = m_journal.Replay(m_suite, made);
    FillProfiles();
    FillReceivers();
    SelectPlace(m_listProfiles, m_suite.ProfileTable, profile);
    SelectPlace(m_listReceivers, m_suite.ReceiverTable, receiver);
    ShowFolderNotice({});
    FollowJournal();

    if (!(m_suite.ReceiverTable.Loaded() == fresh.ReceiverTable.Loaded()) ||
        !(m_suite.ProfileTable.Loaded() == fresh.ProfileTable.Loaded())) {
        // Changed again while the operator chose: nothing is written that was not shown.
        QStringList now;
        for (const ReplayLine& line : made) now << ReplayLineText(line);
        m_prompt.Tell(QStringLiteral("The files changed again while you chose. Your renames were applied onto the "
                                     "newest files; nothing was saved. Look at the lists and save again.\n\n") +
                      now.join(QLatin1Char('\n')));
        return false;
    }
    if (!AnyUnsaved()) {
        m_prompt.Tell(QStringLiteral("None of your renames could be applied again; nothing was saved. The lists "
                                     "show the files as they are now."));
        return false;
    }
    return true;
}

int RunWindow(int& argc, char** argv, const std::string& projectPath, const WindowSettings& settings)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(ApplicationTitle));

    Suite suite(projectPath);
    suite.Context.keepBackups = settings.keepBackups;
    suite.Context.staleLockMinutes = settings.staleLockMinutes;
    if (!settings.verbose) suite.Context.log = nullptr;
    DialogPrompt prompt;
    MainWindow window(suite, prompt);
    prompt.SetParent(&window);
    if (const QScreen* screen = window.screen()) window.FitInto(screen->availableGeometry());
    const LoadReport report = window.StartUp();
    window.show();
    QTimer::singleShot(0, &window, [&window, report] { window.ReportIncompleteLoad(report); });
    return QApplication::exec();
}

} // namespace vel
