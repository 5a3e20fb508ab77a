// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/headerbar.h"

#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <algorithm>

#include "display/controls.h"

namespace settree {

HeaderBar::HeaderBar(QLabel* heading, std::vector<QPushButton*> buttons, QWidget* parent)
    : QWidget(parent), heading_(heading), buttons_(std::move(buttons)) {
    setFixedHeight(kBarHeight);
    setAutoFillBackground(true);
    heading_->setParent(this);
    for (QPushButton* button : buttons_) {
        button->setParent(this);
        button->installEventFilter(this); // a button shown or hidden moves the others
    }
    place();
}

QSize HeaderBar::sizeHint() const {
    int width = 2 * kMargin + heading_->sizeHint().width();
    for (const QPushButton* button : buttons_)
        if (!button->isHidden())
            width += kSpacing + button->width();
    return {width, kBarHeight};
}

QSize HeaderBar::minimumSizeHint() const {
    return {0, kBarHeight};
}

void HeaderBar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    place();
}

bool HeaderBar::eventFilter(QObject* watched, QEvent* event) {
    if ((event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent) &&
        watched != heading_)
        place();
    return QWidget::eventFilter(watched, event);
}

void HeaderBar::place() {
    int x = width() - kMargin;
    for (auto it = buttons_.rbegin(); it != buttons_.rend(); ++it) {
        QPushButton* button = *it;
        if (button->isHidden())
            continue;
        x -= button->width();
        button->move(x, kMargin);
        x -= kSpacing;
    }
    const int headingHeight = std::min(heading_->sizeHint().height(), kBarHeight);
    heading_->setGeometry(kMargin, (kBarHeight - headingHeight) / 2, std::max(0, x - kMargin),
                          headingHeight);
}

} // namespace settree
