#include "app/main/prompt.h"

#include <QInputDialog>
#include <QMessageBox>

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

} // namespace vel
