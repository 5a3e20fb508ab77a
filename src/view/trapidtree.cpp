// SPDX-License-Identifier: GPL-3.0-or-later
// Provisional drawing: plain rows of fixed height. The full tree grid replaces it.
#include "view/trapidtree.h"

#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include "model/caption.h"

namespace settree {

TCustomRapidTree::TCustomRapidTree(QWidget* parent)
    : QAbstractScrollArea(parent), items_(std::make_unique<TFlyNodes>()) {
    items_->SetObserver(this);
    setFocusPolicy(Qt::StrongFocus);
}

TCustomRapidTree::~TCustomRapidTree() { items_->SetObserver(nullptr); }

int TCustomRapidTree::ColWidth(int col) const {
    if (col < 0 || col >= ColCount())
        throw ERapidTreeError("Grid index out of range");
    return colWidths_[col];
}

void TCustomRapidTree::SetColWidth(int col, int width) {
    if (col < 0 || col >= ColCount())
        throw ERapidTreeError("Grid index out of range");
    colWidths_[col] = width;
    viewport()->update();
}

int TCustomRapidTree::ShownColWidth(int col) const {
    const int client = viewport()->width();
    const int first = std::max(0, std::min(colWidths_[0], client));
    return col == 0 ? first : std::max(0, client - first);
}

void TCustomRapidTree::SetFitToHeight(bool fit) { fitToHeight_ = fit; }

int TCustomRapidTree::rowHeight(const TFlyNode*) const { return fontMetrics().height() + 2; }

TFlyNode* TCustomRapidTree::GetNodeAt(int, int y) const {
    const int row = (y / rowHeight(nullptr)) + verticalScrollBar()->value();
    return items_->NodeAtRow(row);
}

void TCustomRapidTree::BeginDrag() {}
void TCustomRapidTree::Repaint() { viewport()->repaint(); }

void TCustomRapidTree::rowsChanged() {
    updateScrollBars();
    viewport()->update();
}
void TCustomRapidTree::nodeChanged(TFlyNode*) {
    if (!items_->Updating())
        viewport()->update();
}
void TCustomRapidTree::nodeDeleting(TFlyNode*) {}
void TCustomRapidTree::selectionChanged() { viewport()->update(); }

void TCustomRapidTree::updateScrollBars() {
    const int perPage = std::max(1, viewport()->height() / rowHeight(nullptr));
    verticalScrollBar()->setRange(0, std::max(0, items_->RowCount() - perPage));
    verticalScrollBar()->setPageStep(perPage);
}

void TCustomRapidTree::paintEvent(QPaintEvent*) {
    if (items_->Updating())
        return;
    QPainter painter(viewport());
    const int h = rowHeight(nullptr);
    const int first = verticalScrollBar()->value();
    for (int y = 0, row = first; y < viewport()->height(); y += h, ++row) {
        TFlyNode* node = items_->NodeAtRow(row);
        if (!node)
            break;
        const bool selected = node == items_->Selected();
        if (selected)
            painter.fillRect(0, y, viewport()->width(), h, palette().highlight());
        painter.setPen(selected ? palette().highlightedText().color() : palette().text().color());
        painter.drawText(node->Level() * 20 + 24, y, ShownColWidth(0), h, Qt::AlignVCenter,
                         QString::fromStdString(StripTags(node->Text())));
        painter.drawText(ShownColWidth(0) + 1, y, ShownColWidth(1), h, Qt::AlignVCenter,
                         QString::fromStdString(node->Cells(1)));
    }
}

void TCustomRapidTree::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void TCustomRapidTree::mousePressEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        setFocus();
        if (TFlyNode* node = GetNodeAt(p.x(), p.y()))
            items_->SetSelected(node);
    }
    if (OnMouseDown)
        OnMouseDown(event->button(), {event->modifiers(), event->buttons(), false}, p.x(), p.y());
}

void TCustomRapidTree::mouseDoubleClickEvent(QMouseEvent* event) {
    if (OnDblClick)
        OnDblClick();
    mousePressEvent(event);
}

void TCustomRapidTree::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton && popupMenu_)
        popupMenu_->popup(event->globalPosition().toPoint());
}

void TCustomRapidTree::mouseMoveEvent(QMouseEvent*) {}
void TCustomRapidTree::keyPressEvent(QKeyEvent* event) { QAbstractScrollArea::keyPressEvent(event); }
void TCustomRapidTree::changeEvent(QEvent* event) { QAbstractScrollArea::changeEvent(event); }

} // namespace settree
