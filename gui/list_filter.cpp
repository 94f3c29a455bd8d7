#include "gui/list_filter.h"

#include <QBoxLayout>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTreeWidget>

namespace vel {

ListFilter::ListFilter(QTreeWidget* list, QBoxLayout* layout, int index, const QString& what)
    : QObject(list), m_list(list), m_field(new QLineEdit(list->parentWidget()))
{
    m_field->setObjectName(list->objectName() + QStringLiteral("_Find"));
    const QString name = QStringLiteral("Find %1").arg(what);
    m_field->setPlaceholderText(name);
    m_field->setAccessibleName(name);
    m_field->setClearButtonEnabled(true);
    // Hidden, it takes no room: the list keeps its design place.
    m_field->hide();
    layout->insertWidget(index, m_field);
    m_field->installEventFilter(this);
    connect(m_field, &QLineEdit::textChanged, this, &ListFilter::Apply);
}

bool ListFilter::Matches(const QTreeWidgetItem& row) const
{
    const QString text = m_field->text();
    return text.isEmpty() || row.text(0).contains(text, Qt::CaseInsensitive);
}

void ListFilter::Open()
{
    m_field->show();
    m_field->setFocus(Qt::ShortcutFocusReason);
    m_field->selectAll();
}

void ListFilter::Close()
{
    m_field->clear();
    m_field->hide();
    m_list->setFocus(Qt::OtherFocusReason);
}

void ListFilter::Apply()
{
    QTreeWidgetItem* firstShown = nullptr;
    for (int r = 0; r < m_list->topLevelItemCount(); ++r) {
        QTreeWidgetItem* row = m_list->topLevelItem(r);
        const bool shown = Matches(*row);
        row->setHidden(!shown);
        if (shown && firstShown == nullptr) firstShown = row;
    }
    // A hidden row is no row to act on: the selection and the current row
    // move to the first row shown, or nowhere when none is.
    QTreeWidgetItem* current = m_list->currentItem();
    if (current != nullptr && current->isHidden()) {
        if (firstShown != nullptr) {
            m_list->setCurrentItem(firstShown);
        } else {
            m_list->clearSelection();
            m_list->setCurrentItem(nullptr);
        }
    }
    for (QTreeWidgetItem* row : m_list->selectedItems())
        if (row->isHidden()) row->setSelected(false);
}

bool ListFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_field && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        switch (key->key()) {
        case Qt::Key_Escape:
            Close();
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Down:
        case Qt::Key_Up:
        case Qt::Key_PageDown:
        case Qt::Key_PageUp:
            m_list->setFocus(Qt::TabFocusReason);
            return true;
        default:
            break;
        }
    }
    // An empty field that loses the focus closes, and the list has its room back.
    if (watched == m_field && event->type() == QEvent::FocusOut && m_field->text().isEmpty()) m_field->hide();
    return QObject::eventFilter(watched, event);
}

} // namespace vel
