#pragma once

// The history of renames in the window: a dialog listing every line of the
// project's history (records/history.h), newest first, with the lines that
// could not be read named below the list. The main window opens it with
// Ctrl+H, or from its context menu.

#include "base/file_system.h"

#include <QDialog>

#include <string>

class QAction;
class QLabel;
class QTreeWidget;
class QWidget;

namespace vel {

class Suite;

class HistoryDialog final : public QDialog {
    Q_OBJECT

public:
    // Reads the history of the project once, now.
    HistoryDialog(FileSystem& fs, const std::string& projectPath, QWidget* parent = nullptr);

    // One row per line of the history, newest first; the columns as
    // ColumnTitles names them.
    QTreeWidget* Lines() const { return m_lines; }
    // The damaged lines passed over, or why the history could not be read;
    // hidden when there is nothing to say.
    QLabel* Problems() const { return m_problems; }

    static QStringList ColumnTitles();

private:
    QTreeWidget* m_lines = nullptr;
    QLabel* m_problems = nullptr;
};

// Gives `window` the action that opens the history of the suite's project
// (Ctrl+H, and in the window's context menu); returns it.
QAction* AddHistoryAction(QWidget& window, Suite& suite);

} // namespace vel
