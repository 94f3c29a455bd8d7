#include "gui/used_by_dialog.h"

#include "gui/prompt.h"
#include "project/project_check.h"
#include "base/codepage.h"

#include <QBoxLayout>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

#include <algorithm>

namespace vel {

namespace {

QString Shown(const AnsiText& name)
{
    return QString::fromStdString(Cp1252ToUtf8(name));
}

} // namespace

std::vector<ProfileUsing> ProfilesUsing(const Suite& suite, const AnsiText& receiverName)
{
    std::vector<ProfileUsing> out;
    // The references come in table order, list 1 before list 2.
    for (const Reference& r : FindReferences(suite, receiverName)) {
        if (out.empty() || out.back().slot != r.slot) out.push_back({r.slot, {}});
        std::vector<int>& lists = out.back().lists;
        if (std::find(lists.begin(), lists.end(), r.list) == lists.end()) lists.push_back(r.list);
    }
    return out;
}

UsedByDialog::UsedByDialog(const Suite& suite, const AnsiText& receiverName, QWidget* parent)
    : QDialog(parent), m_heading(new QLabel(this)), m_rows(new QTreeWidget(this)),
      m_goTo(new QPushButton(QStringLiteral("&Go to"), this))
{
    setObjectName(QStringLiteral("UsedBy"));
    setWindowTitle(QStringLiteral("Used by - %1").arg(QString::fromLatin1(ApplicationTitle)));
    setAttribute(Qt::WA_DeleteOnClose);

    const std::vector<ProfileUsing> using_ = ProfilesUsing(suite, receiverName);
    const QString name = Shown(receiverName);
    m_heading->setTextFormat(Qt::PlainText);
    m_heading->setWordWrap(true);
    m_heading->setText(
        using_.empty() ? QStringLiteral("No route profile's receiver list names \"%1\".").arg(name)
        : using_.size() == 1
            ? QStringLiteral("1 route profile names \"%1\" in its receiver lists (upper and lower case alike):")
                  .arg(name)
            : QStringLiteral("%1 route profiles name \"%2\" in their receiver lists (upper and lower case alike):")
                  .arg(using_.size())
                  .arg(name));

    m_rows->setObjectName(QStringLiteral("UsedByRows"));
    m_rows->setAccessibleName(QStringLiteral("Route profiles using %1").arg(name));
    m_rows->setColumnCount(3);
    m_rows->setHeaderLabels({QStringLiteral("Route profile"), QStringLiteral("Number"), QStringLiteral("Lists")});
    m_rows->setRootIsDecorated(false);
    m_rows->setUniformRowHeights(true);
    m_rows->setSelectionMode(QAbstractItemView::SingleSelection);
    m_rows->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    for (const ProfileUsing& p : using_) {
        const RouteProfile& profile = suite.ProfileTable.at(p.slot);
        QStringList lists;
        for (int l : p.lists) lists << QString::number(l);
        auto* row = new QTreeWidgetItem(m_rows, {Shown(profile.Name()), QString::number(profile.ProfileNumber()),
                                                 lists.join(QStringLiteral(", "))});
        row->setData(0, Qt::UserRole, static_cast<qulonglong>(p.slot));
    }
    if (m_rows->topLevelItemCount() > 0) m_rows->setCurrentItem(m_rows->topLevelItem(0));
    m_goTo->setEnabled(!using_.empty());

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->addButton(m_goTo, QDialogButtonBox::ActionRole);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    connect(m_goTo, &QPushButton::clicked, this, &UsedByDialog::ChooseCurrent);
    connect(m_rows, &QTreeWidget::itemActivated, this, &UsedByDialog::ChooseCurrent);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_heading);
    layout->addWidget(m_rows);
    layout->addWidget(buttons);
    resize(420, 320);
}

void UsedByDialog::ChooseCurrent()
{
    const QTreeWidgetItem* row = m_rows->currentItem();
    if (row == nullptr) return;
    Q_EMIT ProfileChosen(static_cast<std::size_t>(row->data(0, Qt::UserRole).toULongLong()));
}

} // namespace vel
