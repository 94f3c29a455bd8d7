#pragma once

// The frame around one of the main window's lists. Besides its caption it
// draws a ring in the highlight colour around its list while the list (or
// anything else inside the frame, such as its find field) holds the window's
// focus, so the operator sees which list the keys go to whatever the style
// draws for a focused list (several draw nothing at all).

#include <QGroupBox>

namespace vel {

class ListFrame final : public QGroupBox {
    Q_OBJECT

public:
    ListFrame(const QString& title, QWidget* parent);

    // Whether the window's focus lies inside the frame.
    bool HoldsFocus() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace vel
