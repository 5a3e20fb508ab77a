// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/tclientarea.h"

#include <QMouseEvent>
#include <algorithm>

#include "app/tcollapsiblepanel.h"

namespace settree {

TClientArea::TClientArea(QWidget* parent) : QWidget(parent) {}

void TClientArea::SetPanes(TCollapsiblePanel* edgePanel, QWidget* splitter, QWidget* client) {
    panel_ = edgePanel;
    splitter_ = splitter;
    client_ = client;
    splitter_->setCursor(Qt::SplitHCursor);
    splitter_->installEventFilter(this);
    connect(panel_, &TCollapsiblePanel::EndCollapsExpand, this, &TClientArea::relayout);
    relayout();
}

void TClientArea::SetPanelEdge(Qt::Edge edge) {
    if (edge != Qt::LeftEdge && edge != Qt::RightEdge)
        return;
    edge_ = edge;
    relayout();
}

void TClientArea::SetPanelWidth(int width) {
    panelWidth_ = std::max(0, width);
    relayout();
}

void TClientArea::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    relayout();
}

void TClientArea::relayout() {
    if (!panel_)
        return;
    const int h = height();
    const int sw = splitter_->width();
    const int pw = panel_->ShownWidth(panelWidth_);
    if (edge_ == Qt::LeftEdge) {
        panel_->setGeometry(0, 0, pw, h);
        splitter_->setGeometry(pw, 0, sw, h);
        client_->setGeometry(pw + sw, 0, std::max(0, width() - pw - sw), h);
    } else {
        const int left = width() - pw;
        panel_->setGeometry(left, 0, pw, h);
        splitter_->setGeometry(left - sw, 0, sw, h);
        client_->setGeometry(0, 0, std::max(0, left - sw), h);
    }
}

bool TClientArea::eventFilter(QObject* watched, QEvent* event) {
    if (watched != splitter_)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton || panel_->Collapsed())
            break;
        dragging_ = true;
        dragStartX_ = qRound(mouse->globalPosition().x());
        dragStartWidth_ = panelWidth_;
        return true;
    }
    case QEvent::MouseMove: {
        if (!dragging_)
            break;
        auto* mouse = static_cast<QMouseEvent*>(event);
        const int delta = qRound(mouse->globalPosition().x()) - dragStartX_;
        const int wanted =
            edge_ == Qt::LeftEdge ? dragStartWidth_ + delta : dragStartWidth_ - delta;
        const int most = width() - splitter_->width() - kMinPaneWidth;
        panelWidth_ = std::max(std::min(wanted, most), kMinPaneWidth);
        relayout();
        return true;
    }
    case QEvent::MouseButtonRelease:
        if (!dragging_)
            break;
        dragging_ = false;
        return true;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace settree
