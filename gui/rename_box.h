#pragma once

// The box that asks for an entry's new name: the system's prompt ("New
// Receiver Name:"), below it a line naming the entry being renamed, and an
// edit field wide enough for long names (some 60 characters show at once).

#include <QDialog>

class QLabel;
class QLineEdit;

namespace vel {

class RenameBox final : public QDialog {
    Q_OBJECT

public:
    RenameBox(const QString& prompt, const QString& entry, const QString& proposed, QWidget* parent);

    QLabel* PromptLabel() const { return m_prompt; }
    QLabel* EntryLabel() const { return m_entry; }
    QLineEdit* Field() const { return m_field; }

private:
    QLabel* m_prompt;
    QLabel* m_entry;
    QLineEdit* m_field;
};

// The line that names the entry a rename box renames.
QString RenamedEntryLine(bool receiver, const QString& name);

} // namespace vel
