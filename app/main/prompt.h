#pragma once

// The questions the main window asks the operator, behind a small seam so that
// tests can answer them. The default asks through the input box and the
// message box, both titled with the application's title.

#include <QString>

class QWidget;

namespace vel {

inline constexpr const char* ApplicationTitle = "VelNameChange";

class Prompt {
public:
    virtual ~Prompt() = default;
    // The operator's answer; empty when the box was cancelled.
    virtual QString AskText(const QString& prompt, const QString& proposed) = 0;
    // A message with the information icon and an OK button.
    virtual void Tell(const QString& message) = 0;
};

class DialogPrompt final : public Prompt {
public:
    explicit DialogPrompt(QWidget* parent = nullptr) : m_parent(parent) {}
    void SetParent(QWidget* parent) { m_parent = parent; }

    QString AskText(const QString& prompt, const QString& proposed) override;
    void Tell(const QString& message) override;

private:
    QWidget* m_parent;
};

} // namespace vel
