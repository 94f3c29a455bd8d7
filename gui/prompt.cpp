#include "gui/prompt.h"

#include "gui/rename_box.h"

#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace vel {

QString DialogPrompt::AskText(const QString& prompt, const QString& proposed)
{
    QInputDialog box(m_parent);
    box.setWindowTitle(QString::fromLatin1(ApplicationTitle));
    box.setInputMode(QInputDialog::TextInput);
    box.setLabelText(prompt);
    box.setTextValue(proposed);
    if (box.exec() != QDialog::Accepted) return {};
    return box.textValue();
}

QString DialogPrompt::AskNewName(const QString& prompt, const QString& entry, const QString& proposed)
{
    RenameBox box(prompt, entry, proposed, m_parent);
    if (box.exec() != QDialog::Accepted) return {};
    return box.Field()->text();
}

void DialogPrompt::Tell(const QString& message)
{
    QMessageBox box(QMessageBox::Information, QString::fromLatin1(ApplicationTitle), message, QMessageBox::Ok,
                    m_parent);
    // Brought to the foreground, as the suite's message boxes are.
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    box.show();
    box.raise();
    box.activateWindow();
    box.exec();
}

CloseAnswer DialogPrompt::AskUnsavedOnClose(SavedKind unsaved)
{
    const QString what = unsaved == SavedKind::Profiles    ? QStringLiteral("route profiles")
                         : unsaved == SavedKind::Receivers ? QStringLiteral("receivers")
                                                           : QStringLiteral("receivers and route profiles");
    QMessageBox box(QMessageBox::Question, QString::fromLatin1(ApplicationTitle),
                    QStringLiteral("The %1 have unsaved changes.").arg(what),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, m_parent);
    box.setInformativeText(QStringLiteral("Save them before closing?"));
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Save:
        return CloseAnswer::Save;
    case QMessageBox::Discard:
        return CloseAnswer::Discard;
    default:
        return CloseAnswer::Cancel;
    }
}

TiedSaveAnswer DialogPrompt::AskSaveTied(SavedKind pressed)
{
    const bool receivers = pressed == SavedKind::Receivers;
    const QString text =
        receivers ? QStringLiteral("The route profiles hold changes from renaming receivers that are not saved yet. "
                                   "Saving the receivers alone would leave the saved route profiles naming "
                                   "receivers that no longer exist.")
                  : QStringLiteral("The route profiles hold changes from renaming receivers, and those receivers "
                                   "are not saved yet. Saving the route profiles alone would leave the saved route "
                                   "profiles naming receivers that do not exist yet.");
    QMessageBox box(QMessageBox::Warning, QString::fromLatin1(ApplicationTitle), text, QMessageBox::NoButton, m_parent);
    QPushButton* both = box.addButton(QStringLiteral("Save Both"), QMessageBox::AcceptRole);
    QPushButton* alone = box.addButton(receivers ? QStringLiteral("Save Receivers Only")
                                                 : QStringLiteral("Save Profiles Only"),
                                       QMessageBox::DestructiveRole);
    QPushButton* cancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(both);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == both) return TiedSaveAnswer::Both;
    if (box.clickedButton() == alone) return TiedSaveAnswer::ThisAlone;
    return TiedSaveAnswer::Cancel;
}

} // namespace vel
