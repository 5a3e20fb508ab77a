// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/markuptooltip.h"

#include <QPainter>
#include <algorithm>

#include "view/markuprenderer.h"

namespace settree {

MarkupToolTip::MarkupToolTip(QWidget* owner)
    : QWidget(owner, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowTransparentForInput) {
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
