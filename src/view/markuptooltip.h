// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFont>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <string>

namespace settree {

// A small frameless window in the tool-tip colour that shows one text with its colour markup,
// placed so that its text lies exactly over the text of a cell, and gone after a pause.
class MarkupToolTip : public QWidget {
    Q_OBJECT
public:
    // Pixels between the window's edge and its text (frame included).
    static constexpr int kInset = 2;

    // Mouse events that reach the tip are passed on to eventTarget (the widget it covers): a
    // press there hides the tip and acts on what lies under it.
    MarkupToolTip(QWidget* owner, QWidget* eventTarget);

    // Shows text drawn in font with its first line's box at textRect (global coordinates; the
    // height of the cell row, so that the text stays centred as in the cell). Hides again
    // after pauseMs.
    void ShowText(std::string text, const QFont& font, const QRect& textRect, int pauseMs);
    const std::string& Text() const { return text_; }

    // Whether the event the target is handling now came through the tip.
    bool Forwarding() const { return forwarding_; }

    // The pointer left the tip for a place outside the covered widget.
    std::function<void()> OnPointerGone;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QWidget* target_;
    bool forwarding_ = false;
    QTimer timer_;
    std::string text_;
};

} // namespace settree
