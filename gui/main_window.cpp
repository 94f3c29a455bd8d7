#include "gui/main_window.h"

#include "gui/history_dialog.h"
#include "project/project_check.h"
#include "gui/prompt.h"
#include "project/rename_commands.h"
#include "base/codepage.h"

#include <QApplication>
#include <QBoxLayout>
#include <QCloseEvent>
#include <QEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QTreeWidget>

#include <optional>
#include <utility>

namespace vel {

namespace {

// Design positions are in twips; 15 twips make one pixel at 96 dots per inch.
constexpr int Px(int twips) { return twips / 15; }

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
    return QMargins(inner.left(), inner.top(), outer.width() - inner.right() - 1,
                    outer.height() - inner.bottom() - 1);
}

QString Shown(const AnsiText& name) { return QString::fromStdString(Cp1252ToUtf8(name)); }

// The table index a row carries.
std::size_t TagOf(const QTreeWidgetItem& row) { return static_cast<std::size_t>(row.data(0, Qt::UserRole).toInt()); }

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

SameNamePlace PlaceOf(const ReceiverStore& table, std::size_t index)
{
    SameNamePlace place{table.at(index).Name(), 0};
    for (std::size_t i = 0; i < index; ++i)
        if (table.at(i).Name() == place.name) ++place.before;
    return place;
}

std::optional<std::size_t> IndexOf(const ReceiverStore& table, const SameNamePlace& place)
{
    std::size_t seen = 0;
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (table.at(i).Name() != place.name) continue;
        if (seen++ == place.before) return i;
    }
    return std::nullopt;
}

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

    m_frameProfiles = new QGroupBox(QStringLiteral("&Route Profiles"), this);
    m_frameProfiles->setObjectName(QStringLiteral("Frame_0"));
    m_listProfiles = MakeList(m_frameProfiles, "ListView_Profiles", ProfileFrame, ProfileListInFrame);

    m_frameReceivers = new QGroupBox(QStringLiteral("R&eceivers"), this);
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

    setMinimumSize(SmallestSize);
    resize(DesignSize);
    // Place the controls now, not only when the window is first shown.
    layout->activate();
    m_frameProfiles->layout()->activate();
    m_frameReceivers->layout()->activate();

    setTabOrder(m_listProfiles, m_listReceivers);
    setTabOrder(m_listReceivers, m_saveProfiles);
    setTabOrder(m_saveProfiles, m_saveReceivers);

    for (QTreeWidget* list : {m_listProfiles, m_listReceivers}) {
        list->installEventFilter(this);
        list->viewport()->installEventFilter(this);
    }
    connect(m_saveProfiles, &QPushButton::clicked, this, &MainWindow::SaveAllProfiles);
    connect(m_saveReceivers, &QPushButton::clicked, this, &MainWindow::SaveAllReceivers);

    // The history of renames: Ctrl+H and the context menu (history_dialog.h).
    AddHistoryAction(*this, m_suite);

    m_suite.Context.busy = [](bool on) {
        if (on)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    };
}

MainWindow::~MainWindow() { m_suite.Context.busy = nullptr; }

LoadReport MainWindow::StartUp()
{
    LoadReport report = m_suite.LoadAll();
    FillProfiles();
    FillReceivers();
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

void MainWindow::FillProfiles() { Fill(m_listProfiles, m_images, m_suite.ProfileTable.Entries()); }

void MainWindow::FillReceivers() { Fill(m_listReceivers, m_images, m_suite.ReceiverTable.Entries()); }

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    // A double-click anywhere in a list (on a row or below the last one)
    // renames the selected row, and so do F2 and Enter in a list. The keys
    // stop at the list: Enter never reaches a button.
    QTreeWidget* list = nullptr;
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

void MainWindow::RenameSelectedProfile() { RenameSelected(m_listProfiles, NewProfilePrompt, RenameProfile); }

void MainWindow::RenameSelectedReceiver() { RenameSelected(m_listReceivers, NewReceiverPrompt, RenameReceiver); }

void MainWindow::RenameSelected(QTreeWidget* list, const char* prompt,
                                Result<RenameOutcome> (*rename)(Suite&, std::int16_t, std::string_view))
{
    QTreeWidgetItem* row = SelectedRow(list);
    if (row == nullptr) return;
    const QString oldText = row->text(0);
    const QString answer = m_prompt.AskText(QString::fromLatin1(prompt), oldText);
    const auto tag = static_cast<std::int16_t>(row->data(0, Qt::UserRole).toInt());
    auto outcome = rename(m_suite, tag, answer.toStdString());
    if (!outcome) {
        m_prompt.Tell(QString::fromStdString(outcome.error().message));
        return;
    }
    if (outcome->result == RenameResult::Renamed) {
        static_cast<NameItem*>(row)->SetName(outcome->newName);
        if (list == m_listProfiles) {
            m_profilesUnsaved = true;
        } else {
            m_receiversUnsaved = true;
            if (outcome->listsChanged > 0) m_profilesUnsaved = m_tied = true;
        }
        setWindowModified(true);
        if (outcome->itemsLeftAlone > 0)
            m_prompt.Tell(QString::fromStdString(DescribeItemsLeftAlone(*outcome, oldText.toStdString())));
    } else if (!outcome->message.empty()) {
        m_prompt.Tell(QString::fromStdString(outcome->message));
    }
}

void MainWindow::SaveAllProfiles() { SaveFromButton(SavedKind::Profiles); }

void MainWindow::SaveAllReceivers() { SaveFromButton(SavedKind::Receivers); }

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
    const bool profiles = kind != SavedKind::Receivers;
    const bool receivers = kind != SavedKind::Profiles;
    // A receivers save sorts the table again, so the rows are filled anew and
    // every tag names its own entry; the selected receiver stays selected.
    std::optional<SameNamePlace> selected;
    if (const QTreeWidgetItem* row = receivers ? SelectedRow(m_listReceivers) : nullptr)
        selected = PlaceOf(m_suite.ReceiverTable, TagOf(*row));

    const SaveReport report = kind == SavedKind::Profiles    ? SaveProfiles(m_suite)
                              : kind == SavedKind::Receivers ? SaveReceivers(m_suite)
                                                             : SaveReceiversAndProfiles(m_suite);
    if (receivers) FillReceivers();
    if (const auto index = selected ? IndexOf(m_suite.ReceiverTable, *selected) : std::nullopt) {
        for (int r = 0; r < m_listReceivers->topLevelItemCount(); ++r) {
            QTreeWidgetItem* row = m_listReceivers->topLevelItem(r);
            if (TagOf(*row) == *index) {
                m_listReceivers->setCurrentItem(row);
                break;
            }
        }
    }
    if (report.written) {
        // Whatever stays unsaved no longer waits for the other table: the
        // part of a receiver rename that was saved is on disk now.
        if (profiles) m_profilesUnsaved = false;
        if (receivers) m_receiversUnsaved = false;
        m_tied = false;
        setWindowModified(AnyUnsaved());
    }
    const std::string text = DescribeSave(report, kind);
    if (!text.empty()) m_prompt.Tell(QString::fromStdString(text));
    return report.written;
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
    return app.exec();
}

} // namespace vel
