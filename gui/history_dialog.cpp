#include "gui/history_dialog.h"

#include "base/line_escape.h"
#include "project/suite.h"
#include "records/history.h"

#include <QAction>
#include <QBoxLayout>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QTreeWidget>

namespace vel {

namespace {

// A field of the history as a person reads it: control characters shown
// escaped, so that a name never breaks a row.
QString Shown(const std::string& utf8)
{
    return QString::fromStdString(EscapeControls(utf8, false));
}

QString KindShown(const std::string& kind)
{
    if (kind == "receivers") return HistoryDialog::tr("Receiver");
    if (kind == "profiles") return HistoryDialog::tr("Route profile");
    if (kind == "restore-receivers") return HistoryDialog::tr("Receivers restored");
    if (kind == "restore-profiles") return HistoryDialog::tr("Route profiles restored");
    return Shown(kind);
}

} // namespace

QStringList HistoryDialog::ColumnTitles()
{
    return {tr("Time"), tr("User"), tr("Host"), tr("Kind"), tr("Old name"), tr("New name"), tr("Items"), tr("Backup")};
}

HistoryDialog::HistoryDialog(FileSystem& fs, const std::string& projectPath, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("VelNameChange_History"));
    setWindowTitle(tr("History of Renames"));

    m_lines = new QTreeWidget(this);
    m_lines->setObjectName(QStringLiteral("ListView_History"));
    m_lines->setAccessibleName(tr("Renames, newest first"));
    m_lines->setHeaderLabels(ColumnTitles());
    m_lines->setRootIsDecorated(false);
    m_lines->setUniformRowHeights(true);
    m_lines->setSelectionMode(QAbstractItemView::SingleSelection);
    m_lines->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_lines->header()->setSectionResizeMode(QHeaderView::ResizeToContents);

    m_problems = new QLabel(this);
    m_problems->setObjectName(QStringLiteral("Label_HistoryProblems"));
    m_problems->setWordWrap(true);
    m_problems->setTextFormat(Qt::PlainText);
    m_problems->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_lines, 1);
    layout->addWidget(m_problems);
    layout->addWidget(buttons);

    QStringList problems;
    auto history = ReadHistory(fs, projectPath,
                               [&problems](const std::string& sentence) { problems << Shown(sentence); });
    if (!history) problems << tr("The history of renames cannot be read: %1").arg(Shown(history.error().message));
    if (history) {
        // The file holds the lines in the order the saves committed; the
        // newest come first here.
        QList<QTreeWidgetItem*> rows;
        for (auto h = history->rbegin(); h != history->rend(); ++h) {
            const QString when = QDateTime::fromSecsSinceEpoch(h->time).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            auto* row = new QTreeWidgetItem(QStringList{when, Shown(h->user), Shown(h->host), KindShown(h->kind),
                                                        Shown(h->oldName), Shown(h->newName), QString::number(h->items),
                                                        Shown(h->backup)});
            row->setTextAlignment(6, Qt::AlignRight | Qt::AlignVCenter);
            rows << row;
        }
        m_lines->addTopLevelItems(rows);
        if (rows.isEmpty()) m_lines->setAccessibleDescription(tr("No renames have been saved yet."));
    }
    m_problems->setText(problems.join(QLatin1Char('\n')));
    m_problems->setVisible(!problems.isEmpty());
    resize(760, 420);
}

QAction* AddHistoryAction(QWidget& window, Suite& suite)
{
    auto* action = new QAction(HistoryDialog::tr("&History of Renames..."), &window);
    action->setObjectName(QStringLiteral("Action_History"));
    action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    action->setShortcutContext(Qt::WindowShortcut);
    action->setToolTip(HistoryDialog::tr("Who renamed what, and when (Ctrl+H)"));
    action->setStatusTip(action->toolTip());
    window.addAction(action);
    QObject::connect(action, &QAction::triggered, &window, [&window, &suite] {
        auto* dialog = new HistoryDialog(*suite.Context.fs, suite.Context.ProjectPath, &window);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->open();
    });
    return action;
}

} // namespace vel
