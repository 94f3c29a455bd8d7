#include "gui/status_line.h"

#include "base/codepage.h"

#include <QAccessible>
#include <QLabel>

namespace vel {

StatusLine::StatusLine(QWidget* parent) : QStatusBar(parent), m_label(new QLabel(this))
{
    setObjectName(QStringLiteral("StatusLine"));
    setAccessibleName(QStringLiteral("Status"));
    setSizeGripEnabled(false);
    m_label->setObjectName(QStringLiteral("StatusText"));
    m_label->setTextFormat(Qt::PlainText);
    // A long sentence is cut at the window's edge; the whole of it is in the
    // tooltip and in what the screen reader is given.
    m_label->setMinimumWidth(1);
    addWidget(m_label, 1);
    hide();
}

void StatusLine::Say(const QString& text)
{
    // The label tells a screen reader of each change of its text (a name
    // change event); the same sentence again is a change too.
    if (m_label->text() == text) m_label->clear();
    m_label->setText(text);
    m_label->setToolTip(text);
    show();
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    QAccessibleAnnouncementEvent announcement(m_label, text);
    QAccessible::updateAccessibility(&announcement);
#endif
}

QString StatusLine::Text() const
{
    return m_label->text();
}

namespace {

QString Shown(const AnsiText& name)
{
    return QString::fromStdString(Cp1252ToUtf8(name));
}

QString WhatSaved(SavedKind kind)
{
    switch (kind) {
    case SavedKind::Profiles:
        return QStringLiteral("Route profiles");
    case SavedKind::Receivers:
        return QStringLiteral("Receivers");
    case SavedKind::Both:
        break;
    }
    return QStringLiteral("Receivers and route profiles");
}

} // namespace

QString RenamedStatus(const QString& oldName, const RenameOutcome& outcome, bool receiver)
{
    switch (outcome.result) {
    case RenameResult::Renamed:
        break;
    case RenameResult::SameName:
        return QStringLiteral("%1 keeps its name; nothing changed").arg(oldName);
    case RenameResult::Unchanged:
        return {};
    case RenameResult::Duplicate:
    case RenameResult::NotStorable:
        return RefusedStatus(oldName, outcome.refusal.error().message);
    }
    QString text = QStringLiteral("%1 renamed to %2").arg(oldName, Shown(outcome.newName));
    if (receiver && outcome.profilesChanged > 0) {
        text += outcome.profilesChanged == 1
                    ? QStringLiteral("; the receiver lists of 1 route profile changed")
                    : QStringLiteral("; the receiver lists of %1 route profiles changed").arg(outcome.profilesChanged);
    }
    return text + QStringLiteral("; not saved");
}

QString RefusedStatus(const QString& oldName, const std::string& message)
{
    const QString first = QString::fromStdString(message).section(QLatin1Char('\n'), 0, 0);
    return QStringLiteral("%1 not renamed: %2").arg(oldName, first);
}

QString SavedStatus(const SaveReport& report, SavedKind kind)
{
    const QString what = WhatSaved(kind);
    if (!report.written && report.written.error().code == ErrorCode::Unfinished)
        return what + QStringLiteral(" not saved yet: the save is finished when the program starts next");
    if (!report.written) return what + QStringLiteral(" not saved; nothing on disk has changed");
    if (!report.notify.ok()) return what + QStringLiteral(" saved; the server was not told to reload");
    return what + QStringLiteral(" saved; the server was told to reload");
}

QString NothingToSaveStatus()
{
    return QStringLiteral("Nothing to save: every change is saved");
}

} // namespace vel
