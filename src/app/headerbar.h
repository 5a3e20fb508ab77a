// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <vector>

class QLabel;
class QPushButton;

namespace settree {

// The strip above a pane: a heading on the left and buttons anchored to the top right. However
// narrow the strip, the buttons keep their size and never cover each other: they are placed
// from the right edge leftwards, and the heading gets only the room left of them (none at all
// when there is none), so it gives way first. Hidden buttons take no room.
class HeaderBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMargin = 8;  // left and right, and above the buttons
    static constexpr int kSpacing = 4; // between the buttons, and before the first one

    // heading and buttons (left to right) become children of the bar.
    HeaderBar(QLabel* heading, std::vector<QPushButton*> buttons, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void place();

    QLabel* heading_;
    std::vector<QPushButton*> buttons_;
};

} // namespace settree
