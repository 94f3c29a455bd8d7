#include "gui/rename_box.h"

#include "gui/prompt.h"

#include <QBoxLayout>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>

namespace vel {

namespace {

// How many average characters of a name the field shows at once.
constexpr int FieldCharacters = 60;

} // namespace

RenameBox::RenameBox(const QString& prompt, const QString& entry, const QString& proposed, QWidget* parent)
    : QDialog(parent), m_prompt(new QLabel(prompt, this)), m_entry(new QLabel(entry, this)),
      m_field(new QLineEdit(proposed, this))
{
    setObjectName(QStringLiteral("RenameBox"));
    setWindowTitle(QString::fromLatin1(ApplicationTitle));
    // Names may hold "<" and "&": shown as they are, never as markup.
    m_prompt->setTextFormat(Qt::PlainText);
    m_entry->setTextFormat(Qt::PlainText);
    m_entry->setObjectName(QStringLiteral("RenamedEntry"));
    m_entry->setWordWrap(true);
    m_prompt->setBuddy(m_field);
    m_field->setAccessibleName(prompt);
    m_field->setAccessibleDescription(entry);
    m_field->setMinimumWidth(m_field->fontMetrics().averageCharWidth() * FieldCharacters);
    m_field->selectAll();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_prompt);
    layout->addWidget(m_entry);
    layout->addWidget(m_field);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetMinimumSize);
}

QString RenamedEntryLine(bool receiver, const QString& name)
{
    return receiver ? QStringLiteral("Renaming the receiver \"%1\"").arg(name)
                    : QStringLiteral("Renaming the route profile \"%1\"").arg(name);
}

} // namespace vel
