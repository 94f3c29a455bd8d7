#pragma once

// The questions the main window asks the operator, behind a small seam so that
// tests can answer them. The default asks through the input box and the
// message box, both titled with the application's title.

#include "project/rename_commands.h"

#include <QString>

class QWidget;

namespace vel {

inline constexpr const char* ApplicationTitle = "VelNameChange";

enum class CloseAnswer { Save, Discard, Cancel };
enum class TiedSaveAnswer { Both, ThisAlone, Cancel };

class Prompt {
public:
    virtual ~Prompt() = default;
    // The operator's answer; empty when the box was cancelled.
    virtual QString AskText(const QString& prompt, const QString& proposed) = 0;
    // The same for an entry's new name, in a box that also shows `entry`, a
    // line naming the entry being renamed.
    virtual QString AskNewName(const QString& prompt, const QString& entry, const QString& proposed)
    {
        (void)entry;
        return AskText(prompt, proposed);
    }
    // A message with the information icon and an OK button.
    virtual void Tell(const QString& message) = 0;
    // The window is closed while the tables named by `unsaved` hold changes
    // that are not saved.
    virtual CloseAnswer AskUnsavedOnClose(SavedKind unsaved) = 0;
    // The save button of `pressed` (Profiles or Receivers) was pressed while
    // the other table holds unsaved changes of the same receiver rename:
    // save both together, this table alone, or nothing.
    virtual TiedSaveAnswer AskSaveTied(SavedKind pressed) = 0;
};

class DialogPrompt final : public Prompt {
public:
    explicit DialogPrompt(QWidget* parent = nullptr) : m_parent(parent) {}
    void SetParent(QWidget* parent) { m_parent = parent; }

    QString AskText(const QString& prompt, const QString& proposed) override;
    // The rename box (RenameBox).
    QString AskNewName(const QString& prompt, const QString& entry, const QString& proposed) override;
    void Tell(const QString& message) override;
    // Save, Discard and Cancel; Save is the default.
    CloseAnswer AskUnsavedOnClose(SavedKind unsaved) override;
    // "Save Both" (the default), "Save Receivers Only" or "Save Profiles
    // Only", and "Cancel".
    TiedSaveAnswer AskSaveTied(SavedKind pressed) override;

private:
    QWidget* m_parent;
};

} // namespace vel
