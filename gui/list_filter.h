#pragma once

// The find field of one of the main window's lists: a line above the list,
// hidden until asked for (Ctrl+F), that shows only the rows whose name holds
// the typed text, without regard to case. Rows are hidden, never removed, so
// every row keeps its tag; a selected row that the filter hides gives its
// selection to the first row still shown. Escape empties and closes the
// field; Enter and the arrow keys go on to the list.

#include <QObject>

class QBoxLayout;
class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;

namespace vel {

class ListFilter final : public QObject {
    Q_OBJECT

public:
    // Puts the field at `index` of `layout` (the list's own layout), named
    // for the operator as finding `what` ("route profiles").
    ListFilter(QTreeWidget* list, QBoxLayout* layout, int index, const QString& what);

    QLineEdit* Field() const { return m_field; }
    bool Matches(const QTreeWidgetItem& row) const;

    // Shows the field and gives it the focus, its text selected.
    void Open();
    // Empties and hides the field, shows every row and gives the list the focus.
    void Close();
    // Hides the rows that do not match, shows the others; called again when
    // the list has been filled anew.
    void Apply();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QTreeWidget* m_list;
    QLineEdit* m_field;
};

} // namespace vel
