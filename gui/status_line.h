#pragma once

// The main window's status line: one sentence about what the last action did
// ("Siren renamed to Horn; the receiver lists of 3 route profiles changed;
// not saved"). It is a status bar, which screen readers know and read on
// request, and each new sentence is announced to them as well. It stays
// hidden until the first sentence, so the window opens at its design layout.

#include "project/rename_commands.h"

#include <QStatusBar>

class QLabel;

namespace vel {

class StatusLine final : public QStatusBar {
    Q_OBJECT

public:
    explicit StatusLine(QWidget* parent);

    // Shows `text` in place of the sentence before and announces it.
    void Say(const QString& text);
    QString Text() const;
    QLabel* Label() const { return m_label; }

private:
    QLabel* m_label;
};

// The sentences. Names are shown as the lists show them. A rename that was
// cancelled (an empty answer) has none.
QString RenamedStatus(const QString& oldName, const RenameOutcome& outcome, bool receiver);
// A rename that was refused (a duplicate, a name that cannot be stored):
// the first line of the message the operator was shown.
QString RefusedStatus(const QString& oldName, const std::string& message);
QString SavedStatus(const SaveReport& report, SavedKind kind);
QString NothingToSaveStatus();

} // namespace vel
