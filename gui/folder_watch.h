#pragma once

// What the main window needs to notice another program changing the project
// while it is open: a watcher on the kind folders, their files and the work
// folder (where the save locks of other desks come and go), which tells once
// a burst of changes has settled; and the question asked before the
// operator's renames are applied again onto files changed meanwhile.

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <string>

class QWidget;

namespace vel {

class FolderWatch final : public QObject {
    Q_OBJECT

public:
    // Watches the project at `projectPath` (absolute, ending in "/").
    explicit FolderWatch(const std::string& projectPath, QObject* parent = nullptr);

    // The paths watched now: the project folder, its kind folders and work
    // folder (whatever their case), and every file in the kind folders.
    QStringList Watched() const;

Q_SIGNALS:
    // Something below the project changed; sent once the changes have paused.
    void Changed();

private:
    // Watches what is there now (folders and files come and go).
    void WatchAgain();

    QString m_project;
    QFileSystemWatcher m_watcher;
    QTimer m_settle;
};

// The question before renames are applied again, behind a seam for tests.
class ReapplyPrompt {
public:
    virtual ~ReapplyPrompt() = default;
    // `text` says what happened, `lines` name each rename and what applying
    // it again does. True: load the files and apply them.
    virtual bool AskReapply(const QString& text, const QStringList& lines) = 0;
};

// Asks with a message box: "Load and Apply Again" or "Cancel" (the default).
class DialogReapplyPrompt final : public ReapplyPrompt {
public:
    explicit DialogReapplyPrompt(QWidget* parent) : m_parent(parent) {}
    bool AskReapply(const QString& text, const QStringList& lines) override;

private:
    QWidget* m_parent;
};

} // namespace vel
