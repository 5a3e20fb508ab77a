// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/markuptooltip.h"

#include <QApplication>
#include <QCursor>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "view/markuprenderer.h"

namespace settree {

MarkupToolTip::MarkupToolTip(QWidget* owner, QWidget* eventTarget)
    : QWidget(owner, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowTransparentForInput),
      target_(eventTarget) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setObjectName(QStringLiteral("MarkupToolTip"));
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &QWidget::hide);
}

void MarkupToolTip::ShowText(std::string text, const QFont& font, const QRect& textRect,
                             int pauseMs) {
    text_ = std::move(text);
    setFont(font);
    const QSize size = MarkupRenderer::Measure(text_, font, false);
    // A single line is centred in the row's height as in the cell.
    const int height = std::max(textRect.height(), size.height());
    setGeometry(textRect.left() - kInset, textRect.top() - kInset, size.width() + 2 * kInset,
                height + 2 * kInset);
    show();
    raise();
    update();
    timer_.start(pauseMs);
}

bool MarkupToolTip::event(QEvent* event) {
    // Not every platform lets input pass through a window: the tip lies over the pointer, so
    // what it receives belongs to the widget below.
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseMove: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (event->type() != QEvent::MouseMove)
            hide();
        // The rest of a press (moves of a drag, the release) must reach the target too, though
        // the press began on the tip; the target lets go on the release.
        if (target_ && (event->type() == QEvent::MouseButtonPress ||
                        event->type() == QEvent::MouseButtonDblClick))
            target_->grabMouse();
        if (target_) {
            const QPointF global = mouse->globalPosition();
            QMouseEvent copy(mouse->type(), target_->mapFromGlobal(global), global, mouse->button(),
                             mouse->buttons(), mouse->modifiers());
            forwarding_ = true;
            QApplication::sendEvent(target_, &copy);
            forwarding_ = false;
        }
        return true;
    }
    case QEvent::Wheel:
        hide();
        return true;
    case QEvent::Leave:
        if (target_ &&
            !QRect(target_->mapToGlobal(QPoint(0, 0)), target_->size()).contains(QCursor::pos()) &&
            OnPointerGone)
            OnPointerGone();
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

void MarkupToolTip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette& pal = palette();
    painter.fillRect(rect(), MarkupRenderer::SystemColourOf(SystemColour::InfoBk, pal));
    painter.setPen(MarkupRenderer::SystemColourOf(SystemColour::InfoText, pal));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    const QRect inner = rect().adjusted(kInset, kInset, -kInset, -kInset);
    const MarkupRenderer::Cell cell{font(), pal.color(QPalette::ToolTipText), pal};
    MarkupRenderer::Draw(painter, inner, text_, cell, false);
}

} // namespace settree
