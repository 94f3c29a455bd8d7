#pragma once

// "Used by": the route profiles whose receiver lists name a receiver, found
// as the references command finds them (FindReferences: every list item equal
// to the name without regard to case). A small window beside the main one,
// one row per profile with its number and the lists that name the receiver;
// "Go to" (or a double-click, or Enter) selects the profile in the main
// window's list.

#include "project/suite.h"

#include <QDialog>

#include <cstddef>
#include <vector>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace vel {

// One profile that names the receiver: its table slot and the lists (1, 2)
// whose items name it, each list once.
struct ProfileUsing {
    std::size_t slot = 0;
    std::vector<int> lists;
};

// The profiles naming `receiverName`, in table order.
std::vector<ProfileUsing> ProfilesUsing(const Suite& suite, const AnsiText& receiverName);

class UsedByDialog final : public QDialog {
    Q_OBJECT

public:
    UsedByDialog(const Suite& suite, const AnsiText& receiverName, QWidget* parent);

    QTreeWidget* Rows() const { return m_rows; }
    QLabel* Heading() const { return m_heading; }
    QPushButton* GoToButton() const { return m_goTo; }

Q_SIGNALS:
    // The operator asked to see profile `slot` in the main window.
    void ProfileChosen(std::size_t slot);

private:
    void ChooseCurrent();

    QLabel* m_heading;
    QTreeWidget* m_rows;
    QPushButton* m_goTo;
};

} // namespace vel
