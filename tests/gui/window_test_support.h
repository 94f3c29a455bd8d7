#pragma once

// What the main window's tests share: a prompt that answers from a queue and
// keeps what it was asked and told, and ways to find and read the rows of the
// window's lists.

#include "gui/prompt.h"
#include "base/codepage.h"

#include <QString>
#include <QStringList>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <ostream>
#include <utility>
#include <vector>

// Failures show the text, not its code units.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace vel::test {

// Answers the window's questions from a queue and keeps what it was told.
class QueuePrompt final : public Prompt {
public:
    QString AskText(const QString& prompt, const QString& proposed) override
    {
        asked.push_back({prompt, proposed});
        if (answers.empty()) return {};
        QString a = answers.front();
        answers.pop_front();
        return a;
    }
    QString AskNewName(const QString& prompt, const QString& entry, const QString& proposed) override
    {
        entries.push_back(entry);
        return AskText(prompt, proposed);
    }
    void Tell(const QString& message) override { told.push_back(message); }
    CloseAnswer AskUnsavedOnClose(SavedKind unsaved) override
    {
        closeAsked.push_back(unsaved);
        return closeAnswer;
    }
    TiedSaveAnswer AskSaveTied(SavedKind pressed) override
    {
        tiedAsked.push_back(pressed);
        return tiedAnswer;
    }

    CloseAnswer closeAnswer = CloseAnswer::Cancel;
    TiedSaveAnswer tiedAnswer = TiedSaveAnswer::Cancel;
    std::deque<QString> answers;
    std::vector<std::pair<QString, QString>> asked;
    std::vector<QString> entries; // the entry line of each new-name box
    std::vector<QString> told;
    std::vector<SavedKind> closeAsked;
    std::vector<SavedKind> tiedAsked;
};

inline QTreeWidgetItem* RowNamed(QTreeWidget* list, const QString& text)
{
    for (int r = 0; r < list->topLevelItemCount(); ++r)
        if (list->topLevelItem(r)->text(0) == text) return list->topLevelItem(r);
    return nullptr;
}

// The text of every row, hidden ones too.
inline QStringList Rows(QTreeWidget* list)
{
    QStringList out;
    for (int r = 0; r < list->topLevelItemCount(); ++r) out << list->topLevelItem(r)->text(0);
    return out;
}

// The table slot a row stands for.
inline int Tag(const QTreeWidgetItem* row)
{
    return row->data(0, Qt::UserRole).toInt();
}

// Every row's tag names the table entry that bears the row's text.
inline void ExpectTagsInStep(QTreeWidget* list, const std::function<AnsiText(int)>& nameAt)
{
    for (int r = 0; r < list->topLevelItemCount(); ++r) {
        const QTreeWidgetItem* row = list->topLevelItem(r);
        EXPECT_EQ(QString::fromStdString(Cp1252ToUtf8(nameAt(Tag(row)))), row->text(0)) << "row " << r;
    }
}

} // namespace vel::test
