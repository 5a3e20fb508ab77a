// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/tcollapsiblepanel.h"

#include <QBoxLayout>
#include <QMouseEvent>
#include <QToolButton>

namespace settree {

TCollapsiblePanel::TCollapsiblePanel(QWidget* parent)
    : QWidget(parent), strip_(new QWidget(this)), button_(new QToolButton(strip_)),
      content_(new QWidget(this)) {
    strip_->setObjectName(QStringLiteral("captionStrip"));
    strip_->setFixedWidth(kStripWidth);
    strip_->setAutoFillBackground(true);
    strip_->setBackgroundRole(QPalette::Button); // the menu colour of the platform style
    strip_->installEventFilter(this);

    button_->setObjectName(QStringLiteral("collapseButton"));
    button_->setAutoRaise(true);
    button_->setFixedSize(kStripWidth - 2, kStripWidth - 2);
    button_->setFocusPolicy(Qt::NoFocus);
    auto* stripLayout = new QVBoxLayout(strip_);
    stripLayout->setContentsMargins(1, 2, 1, 2);
    stripLayout->addWidget(button_);
    stripLayout->addStretch();

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(strip_);
    layout->addWidget(content_, 1);

    connect(button_, &QToolButton::clicked, this, [this] {
        SetCollapsed(!collapsed_);
        emit CaptionClick();
    });
    updateButton();
}

void TCollapsiblePanel::SetCollapsed(bool collapsed) {
    if (collapsed == collapsed_)
        return;
    collapsed_ = collapsed;
    content_->setVisible(!collapsed_);
    updateButton();
    updateGeometry();
    emit EndCollapsExpand();
}

void TCollapsiblePanel::SetStripEdge(Qt::Edge edge) {
    if (edge == stripEdge_ || (edge != Qt::LeftEdge && edge != Qt::RightEdge))
        return;
    stripEdge_ = edge;
    auto* layout = static_cast<QHBoxLayout*>(this->layout());
    layout->removeWidget(strip_);
    layout->insertWidget(edge == Qt::LeftEdge ? 0 : 1, strip_);
    updateButton();
}

bool TCollapsiblePanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == strip_ && event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        emit CaptionClick();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TCollapsiblePanel::updateButton() {
    // The arrow points the way the panel would move: towards its strip to collapse.
    const bool left = stripEdge_ == Qt::LeftEdge;
    button_->setArrowType(collapsed_ == left ? Qt::RightArrow : Qt::LeftArrow);
    button_->setToolTip(collapsed_ ? tr("Expand") : tr("Collapse"));
}

} // namespace settree
