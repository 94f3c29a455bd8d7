#include "gui/folder_watch.h"

#include "gui/prompt.h"
#include "records/save_transaction.h"

#include <QDir>
#include <QMessageBox>
#include <QPushButton>

namespace vel {

namespace {

// A save of another program renames a whole set of files into place; the
// window looks once it is done rather than at every file.
constexpr int SettleMilliseconds = 300;

} // namespace

FolderWatch::FolderWatch(const std::string& projectPath, QObject* parent)
    : QObject(parent), m_project(QString::fromStdString(projectPath))
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(SettleMilliseconds);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, &m_settle, qOverload<>(&QTimer::start));
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, &m_settle, qOverload<>(&QTimer::start));
    connect(&m_settle, &QTimer::timeout, this, [this] {
        WatchAgain();
        Q_EMIT Changed();
    });
    WatchAgain();
}

QStringList FolderWatch::Watched() const
{
    return m_watcher.directories() + m_watcher.files();
}

void FolderWatch::WatchAgain()
{
    QStringList paths{m_project};
    const QDir project(m_project);
    const QStringList folders = project.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QString& name : folders) {
        const bool kind = name.compare(QLatin1String("Profiles"), Qt::CaseInsensitive) == 0 ||
                          name.compare(QLatin1String("Receivers"), Qt::CaseInsensitive) == 0;
        if (!kind && name != QLatin1String(WorkFolderName)) continue;
        const QString folder = project.filePath(name);
        paths << folder;
        if (kind) {
            const QDir files(folder);
            for (const QString& file : files.entryList(QDir::Files | QDir::Hidden)) paths << files.filePath(file);
        }
    }
    const QStringList old = Watched();
    QStringList gone;
    for (const QString& p : old)
        if (!paths.contains(p)) gone << p;
    if (!gone.isEmpty()) m_watcher.removePaths(gone);
    QStringList added;
    for (const QString& p : paths)
        if (!old.contains(p)) added << p;
    if (!added.isEmpty()) m_watcher.addPaths(added);
}

bool DialogReapplyPrompt::AskReapply(const QString& text, const QStringList& lines)
{
    QMessageBox box(QMessageBox::Warning, QString::fromLatin1(ApplicationTitle), text, QMessageBox::NoButton, m_parent);
    box.setInformativeText(lines.join(QLatin1Char('\n')));
    QPushButton* apply = box.addButton(QStringLiteral("Load and Apply Again"), QMessageBox::AcceptRole);
    QPushButton* cancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    box.exec();
    return box.clickedButton() == apply;
}

} // namespace vel
