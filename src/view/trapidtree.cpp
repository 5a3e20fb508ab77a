// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/trapidtree.h"

#include <QApplication>
#include <QCursor>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOption>
#include <QVector>
#include <algorithm>
#include <cstdlib>

#include "model/caption.h"
#include "view/markuprenderer.h"
#include "view/markuptooltip.h"

namespace settree {

namespace {

const QColor kOutlineColour(128, 128, 128); // clGray

// Only FONT tags change the height of a line; any other text is one line of the cell's font.
bool mayChangeHeight(std::string_view text) {
    const size_t lt = text.find('<');
    if (lt == std::string::npos)
        return false;
    for (size_t i = lt; i + 3 < text.size(); ++i) {
        if ((text[i] == 'f' || text[i] == 'F') && (text[i + 1] == 'o' || text[i + 1] == 'O') &&
            (text[i + 2] == 'n' || text[i + 2] == 'N') &&
            (text[i + 3] == 't' || text[i + 3] == 'T'))
            return true;
    }
    return false;
}

bool hasFollowingSibling(const TFlyNode* node) {
    const TTreeCollection& owner = node->Owner();
    return owner.Child(owner.Count() - 1) != node;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    return !prefix.empty() && text.size() >= prefix.size() &&
           CompareNoCase(std::string_view(text).substr(0, prefix.size()), prefix) == 0;
}

} // namespace

TCustomRapidTree::TCustomRapidTree(QWidget* parent)
    : QAbstractScrollArea(parent), items_(std::make_unique<TFlyNodes>()) {
    items_->AddObserver(this);
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    verticalScrollBar()->setSingleStep(1);
    verticalScrollBar()->setTracking(true); // the rows follow the thumb while it is dragged
    viewport()->setMouseTracking(true);
    viewport()->setBackgroundRole(QPalette::Base);
    SetFontPointSize(8);
}

TCustomRapidTree::~TCustomRapidTree() {
    items_->RemoveObserver(this);
}

// ---------------------------------------------------------------------------------------------
// Columns, font and row heights

int TCustomRapidTree::ColWidth(int col) const {
    if (col < 0 || col >= ColCount())
        throw ERapidTreeError("Grid index out of range");
    return colWidths_[col];
}

void TCustomRapidTree::SetColWidth(int col, int width) {
    if (col < 0 || col >= ColCount())
        throw ERapidTreeError("Grid index out of range");
    colWidths_[col] = width;
    hideToolTip();
    tipNode_ = nullptr;
    tipCol_ = -1;
    viewport()->update();
}

int TCustomRapidTree::ShownColWidth(int col) const {
    if (col < 0 || col >= ColCount())
        throw ERapidTreeError("Grid index out of range");
    const int client = viewport()->width();
    int x = 0;
    for (int c = 0; c < ColCount(); ++c) {
        int width = std::max(0, colWidths_[c]);
        if (c == ColCount() - 1 || x + width > client)
            width = std::max(0, client - x);
        if (c == col)
            return width;
        x += width;
    }
    return 0;
}

void TCustomRapidTree::SetFitToHeight(bool fit) {
    if (fit == fitToHeight_)
        return;
    fitToHeight_ = fit;
    dropRowHeights();
}

void TCustomRapidTree::SetFontPointSize(int points) {
    fontPointSize_ = points;
    const int dpi = logicalDpiY() > 0 ? logicalDpiY() : 96;
    // Points to pixels rounded as the platform does it: 8 points at 96 dpi give 11 pixels.
    const int pixels = points > 0 ? (points * dpi + 36) / 72 : 1;
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(std::max(1, pixels));
    setFont(font); // the font change event measures the rows again
}

int TCustomRapidTree::rowHeight(const TFlyNode* node) const {
    if (!fitToHeight_)
        return kDefaultRowHeight;
    int height = node->CachedRowHeight();
    if (height < 0) {
        height = measureRow(node);
        node->SetCachedRowHeight(height);
    }
    return height;
}

int TCustomRapidTree::measureRow(const TFlyNode* node) const {
    const std::string_view texts[] = {node->Text(), node->Cells(1)};
    int height = -1;
    for (const std::string_view text : texts) {
        if (text.empty())
            continue;
        const int lineHeight = mayChangeHeight(text)
                                   ? MarkupRenderer::Measure(text, font(), true).height()
                                   : fontMetrics().height();
        height = std::max(height, lineHeight + 2);
    }
    return height < 0 ? kDefaultRowHeight : height;
}

void TCustomRapidTree::dropRowHeights() {
    std::vector<const TFlyNode*> pending;
    for (int i = items_->Count() - 1; i >= 0; --i)
        pending.push_back(items_->Child(i));
    while (!pending.empty()) {
        const TFlyNode* node = pending.back();
        pending.pop_back();
        node->SetCachedRowHeight(-1);
        for (int i = node->Count() - 1; i >= 0; --i)
            pending.push_back(node->Child(i));
    }
    layoutDirty_ = true;
    scheduleLayout();
    viewport()->update();
}

int TCustomRapidTree::RowHeight(int row) const {
    const TFlyNode* node = items_->NodeAtRow(row);
    return node ? rowHeight(node) : 0;
}

// ---------------------------------------------------------------------------------------------
// Layout and scrolling

void TCustomRapidTree::scheduleLayout() {
    if (layoutScheduled_)
        return;
    layoutScheduled_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            layoutScheduled_ = false;
            ensureLayout();
        },
        Qt::QueuedConnection);
}

void TCustomRapidTree::ensureLayout() const {
    if (!layoutDirty_ || items_->Updating())
        return;
    layoutDirty_ = false;
    // The scroll range ends where the last rows fill the view: only they are measured.
    const auto& rows = items_->Rows();
    const int count = static_cast<int>(rows.size());
    const int height = viewport()->height();
    int fitting = 0;
    int sum = 0;
    for (int row = count - 1; row >= 0; --row) {
        sum += rowHeight(rows[static_cast<size_t>(row)]);
        if (sum > height)
            break;
        ++fitting;
    }
    const int maxTop = fitting == count ? 0 : count - std::max(fitting, 1);
    QScrollBar* bar = verticalScrollBar();
    bar->setRange(0, maxTop);
    bar->setPageStep(std::max(1, fitting));
}

int TCustomRapidTree::TopRow() const {
    ensureLayout();
    return verticalScrollBar()->value();
}

void TCustomRapidTree::SetTopRow(int row) {
    ensureLayout();
    verticalScrollBar()->setValue(row);
}

int TCustomRapidTree::rowsOnPage() const {
    const int count = items_->RowCount();
    const int height = viewport()->height();
    int rows = 0;
    int y = 0;
    for (int r = TopRow(); r < count; ++r) {
        y += RowHeight(r);
        if (y > height)
            break;
        ++rows;
    }
    return std::max(1, rows);
}

void TCustomRapidTree::ensureRowVisible(int row) {
    ensureLayout();
    if (row < 0)
        return;
    const int first = TopRow();
    if (row < first) {
        SetTopRow(row);
        return;
    }
    const int height = viewport()->height();
    int sum = 0;
    for (int r = first; r <= row; ++r) {
        sum += RowHeight(r);
        if (sum > height)
            break;
    }
    if (sum <= height)
        return;
    // Scroll so that the row ends at the bottom edge.
    int top = row;
    sum = RowHeight(row);
    while (top > 0 && sum + RowHeight(top - 1) <= height) {
        --top;
        sum += RowHeight(top);
    }
    SetTopRow(top);
}

void TCustomRapidTree::scrollContentsBy(int, int) {
    hideToolTip();
    tipNode_ = nullptr;
    tipCol_ = -1;
    viewport()->update();
}

void TCustomRapidTree::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    layoutDirty_ = true;
    scheduleLayout();
}

TCustomRapidTree::Hit TCustomRapidTree::hitTest(QPoint p) const {
    Hit hit;
    if (p.x() < 0 || p.y() < 0 || p.x() >= viewport()->width())
        return hit;
    const auto& rows = items_->Rows();
    const int count = static_cast<int>(rows.size());
    int y = 0;
    for (int row = TopRow(); row < count && y <= p.y(); ++row) {
        const int height = rowHeight(rows[static_cast<size_t>(row)]);
        if (p.y() < y + height) {
            hit.row = row;
            hit.top = y;
            hit.height = height;
            hit.node = rows[static_cast<size_t>(row)];
            hit.col = p.x() < ShownColWidth(0) ? 0 : 1;
            break;
        }
        y += height;
    }
    return hit;
}

TFlyNode* TCustomRapidTree::GetNodeAt(int x, int y) const {
    return hitTest({x, y}).node;
}

int TCustomRapidTree::captionLeft(const TFlyNode* node) const {
    return (node->Level() + 1) * kIndent + 4;
}

QRect TCustomRapidTree::buttonRect(const Hit& hit) const {
    const int left = hit.node->Level() * kIndent + (kIndent - kButtonSize + 1) / 2;
    const int top = hit.top + hit.height / 2 - kButtonSize / 2;
    return {left, top, kButtonSize, kButtonSize};
}

bool TCustomRapidTree::overColumnBorder(int x) const {
    const int border = ShownColWidth(0);
    return border < viewport()->width() && std::abs(x - border) <= 2;
}

std::pair<int, int> TCustomRapidTree::HighlightedRange() const {
    const int selected = items_->RowOf(items_->Selected());
    if (!rangeStart_ || selected < 0)
        return {selected, selected};
    const int start = items_->RowOf(rangeStart_);
    if (start < 0)
        return {selected, selected};
    return {std::min(start, selected), std::max(start, selected)};
}

bool TCustomRapidTree::highlighted(int row, const TFlyNode* node) const {
    if (node == items_->Selected() || node == dropTarget_)
        return true;
    const auto [from, to] = HighlightedRange();
    return from >= 0 && row >= from && row <= to;
}

// ---------------------------------------------------------------------------------------------
// Store notifications: never lay out here, so that many changes outside a bracket stay cheap.

void TCustomRapidTree::rowsChanged() {
    hideToolTip(); // the rows under it may have moved
    tipNode_ = nullptr;
    tipCol_ = -1;
    layoutDirty_ = true;
    scheduleLayout();
    viewport()->update();
}

void TCustomRapidTree::nodeChanged(TFlyNode* node) {
    if (items_->Updating())
        return;
    if (node == tipNode_) {
        hideToolTip();
        tipNode_ = nullptr;
        tipCol_ = -1;
    }
    layoutDirty_ = true; // its height may have changed, and with it the last page
    viewport()->update();
}

void TCustomRapidTree::nodeDeleting(TFlyNode* node) {
    if (node == rangeStart_)
        rangeStart_ = nullptr;
    if (node == dropTarget_)
        dropTarget_ = nullptr;
    if (node == tipNode_) {
        hideToolTip();
        tipNode_ = nullptr;
        tipCol_ = -1;
    }
}

void TCustomRapidTree::selectionChanged() {
    if (!ownSelection_)
        rangeStart_ = nullptr;
    viewport()->update();
}

// ---------------------------------------------------------------------------------------------
// Painting

void TCustomRapidTree::Repaint() {
    ensureLayout();
    viewport()->repaint();
}

void TCustomRapidTree::ScrollToSelected() {
    if (items_->Updating())
        return;
    ensureRowVisible(items_->RowOf(items_->Selected()));
}

void TCustomRapidTree::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    const QRect dirty = event->rect();
    painter.fillRect(dirty, palette().color(QPalette::Base));
    // Inside an update bracket the rows are not current; the closing EndUpdate repaints.
    if (items_->Updating())
        return;
    ensureLayout();
    const auto& rows = items_->Rows();
    const int count = static_cast<int>(rows.size());
    const int height = viewport()->height();
    int y = 0;
    for (int row = TopRow(); row < count && y < height && y <= dirty.bottom(); ++row) {
        const TFlyNode* node = rows[static_cast<size_t>(row)];
        const int rowHeightPx = rowHeight(node);
        if (y + rowHeightPx > dirty.top())
            paintRow(painter, node, row, y, rowHeightPx);
        y += rowHeightPx;
    }
}

void TCustomRapidTree::paintRow(QPainter& painter, const TFlyNode* node, int row, int top,
                                int height) {
    const int width0 = ShownColWidth(0);
    const int width1 = ShownColWidth(1);
    const QPalette& pal = palette();
    const bool lit = highlighted(row, node);
    const QColor background =
        !lit ? pal.color(QPalette::Base)
             : MarkupRenderer::SystemColourOf(
                   hasFocus() ? SystemColour::Highlight : SystemColour::InactiveCaption, pal);
    const MarkupRenderer::Cell cell{font(),
                                    lit ? pal.color(QPalette::Active, QPalette::HighlightedText)
                                        : pal.color(QPalette::Text),
                                    pal};
    painter.fillRect(0, top, width0 + width1, height, background);

    // Structure column: outline, button, caption.
    const QRect cell0(0, top, width0, height);
    painter.save();
    painter.setClipRect(cell0);
    const int depth = node->Level();
    paintOutline(painter, node, row, top, height);
    if (node->Count() > 0 && depth * kIndent < width0) {
        Hit hit;
        hit.node = const_cast<TFlyNode*>(node);
        hit.top = top;
        hit.height = height;
        const QRect box = buttonRect(hit);
        painter.fillRect(box, background); // the button hides the lines below it
        QStyleOption option;
        option.initFrom(this);
        option.rect = box;
        option.state = QStyle::State_Enabled | QStyle::State_Children;
        if (node->Expanded())
            option.state |= QStyle::State_Open;
        style()->drawPrimitive(QStyle::PE_IndicatorBranch, &option, &painter, this);
    }
    painter.restore();
    const int left = (depth + 1) * kIndent + 4;
    if (left < width0)
        MarkupRenderer::Draw(painter, QRect(left, top, width0 - left, height), node->Text(), cell,
                             true);

    // Weight column, inside a one-pixel inset.
    if (width1 > 2)
        MarkupRenderer::Draw(painter, QRect(width0, top, width1, height).adjusted(1, 1, -1, -1),
                             node->Cells(1), cell, true);
}

void TCustomRapidTree::paintOutline(QPainter& painter, const TFlyNode* node, int row, int top,
                                    int height) {
    const int width0 = ShownColWidth(0);
    const int middle = top + height / 2;
    const int bottom = top + height;
    QVector<QPoint> dots;
    // Dotted: every other pixel, in a pattern fixed to the view so that lines join across rows.
    auto vertical = [&dots](int x, int y0, int y1) {
        for (int y = y0; y < y1; ++y)
            if (((x + y) & 1) == 0)
                dots.append(QPoint(x, y));
    };
    auto horizontal = [&dots](int x0, int x1, int y) {
        for (int x = x0; x < x1; ++x)
            if (((x + y) & 1) == 0)
                dots.append(QPoint(x, y));
    };
    int depth = node->Level();
    const int slot = depth * kIndent;
    if (slot < width0) {
        const int centre = slot + kIndent / 2;
        if (row != 0)
            vertical(centre, top, middle);
        if (hasFollowingSibling(node))
            vertical(centre, middle, bottom);
        horizontal(centre, slot + kIndent, middle);
    }
    for (const TFlyNode* ancestor = node->Parent(); ancestor; ancestor = ancestor->Parent()) {
        --depth;
        const int ancestorSlot = depth * kIndent;
        if (ancestorSlot < width0 && hasFollowingSibling(ancestor))
            vertical(ancestorSlot + kIndent / 2, top, bottom);
    }
    painter.setPen(kOutlineColour);
    painter.drawPoints(dots.constData(), static_cast<int>(dots.size()));
}

// ---------------------------------------------------------------------------------------------
// Mouse

bool TCustomRapidTree::viewportEvent(QEvent* event) {
    // The client width changed (the view resized, a scroll bar came or went): column 1 keeps
    // its width and column 0 takes the rest.
    if (event->type() == QEvent::Resize) {
        const auto* resize = static_cast<QResizeEvent*>(event);
        if (resize->oldSize().width() >= 0)
            colWidths_[0] += resize->size().width() - resize->oldSize().width();
    }
    // Moving onto the tool tip, which lies over the view, is no leaving.
    if (event->type() == QEvent::Leave &&
        !(toolTip_ && toolTip_->isVisible() && toolTip_->geometry().contains(QCursor::pos()))) {
        hideToolTip();
        tipNode_ = nullptr;
        tipCol_ = -1;
        if (!resizing_ && !dragging_)
            viewport()->unsetCursor();
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void TCustomRapidTree::mousePressEvent(QMouseEvent* event) {
    press(event, false);
}

void TCustomRapidTree::mouseDoubleClickEvent(QMouseEvent* event) {
    press(event, true);
}

void TCustomRapidTree::press(QMouseEvent* event, bool doubleClick) {
    hideToolTip();
    if (dragging_ || resizing_)
        return; // another button during a drag or a column resize
    const QPoint p = event->position().toPoint();
    const Qt::MouseButton button = event->button();
    const Qt::KeyboardModifiers keys = event->modifiers();
    if (toolTip_ && toolTip_->Forwarding() && !doubleClick) {
        tipPressButton_ = button;
        tipPressPos_ = p;
        tipPressTime_.start();
    } else {
        if (!doubleClick && button == tipPressButton_ &&
            tipPressTime_.elapsed() < QApplication::doubleClickInterval() &&
            (p - tipPressPos_).manhattanLength() <= QApplication::startDragDistance())
            doubleClick = true;
        tipPressButton_ = Qt::NoButton;
    }
    const bool extend = (keys & (Qt::ShiftModifier | Qt::ControlModifier)) != 0;
    pressPos_ = p;
    dragArmed_ = false;

    if (button == Qt::LeftButton && overColumnBorder(p.x())) {
        resizing_ = true;
        resizeOffset_ = p.x() - ShownColWidth(0);
        return;
    }
    if (button == Qt::LeftButton) {
        Hit hit = hitTest(p);
        if (hit.node && hit.col == 0 && !extend && hit.node->Count() > 0 &&
            buttonRect(hit).adjusted(-1, -1, 1, 1).contains(p))
            toggle(hit.node);
        if (doubleClick && OnDblClick) {
            OnDblClick();
            hit = hitTest(p); // the handler may have changed the tree
        }
        setFocus(Qt::MouseFocusReason);
        if (hit.node) {
            ownSelection_ = true;
            if (!extend)
                rangeStart_ = nullptr;
            else if (!rangeStart_)
                rangeStart_ = items_->Selected();
            items_->SetSelected(hit.node);
            ownSelection_ = false;
            viewport()->update();
        }
    }
    if (OnMouseDown)
        OnMouseDown(button, ShiftState{keys, event->buttons(), doubleClick}, p.x(), p.y());
}

void TCustomRapidTree::toggle(TFlyNode* node) {
    if (!node || node->Count() == 0)
        return;
    if (node->Expanded())
        node->Collapse(false);
    else
        node->Expand(false);
}

void TCustomRapidTree::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (resizing_) {
        colWidths_[0] = std::max(0, p.x() - resizeOffset_);
        viewport()->update();
        return;
    }
    if (dragArmed_ && event->buttons() != Qt::NoButton &&
        (p - pressPos_).manhattanLength() > QApplication::startDragDistance())
        startDrag();
    if (dragging_) {
        dragOver(p);
        return;
    }
    if (event->buttons() == Qt::NoButton) {
        if (overColumnBorder(p.x()))
            viewport()->setCursor(Qt::SplitHCursor);
        else
            viewport()->unsetCursor();
        updateToolTip(p);
    }
}

void TCustomRapidTree::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (event->buttons() == Qt::NoButton && QWidget::mouseGrabber() == viewport())
        viewport()->releaseMouse(); // taken over from the tool tip that lay under the press
    dragArmed_ = false;
    if (resizing_) {
        resizing_ = false;
        return;
    }
    if (dragging_) {
        finishDrag(p);
        return;
    }
    if (event->button() == Qt::RightButton && popupMenu_)
        popupMenu_->popup(event->globalPosition().toPoint());
}

void TCustomRapidTree::contextMenuEvent(QContextMenuEvent* event) {
    // The popup menu opens on the right button's release; nothing else may show one.
    event->accept();
}

void TCustomRapidTree::BeginDrag() {
    dragArmed_ = true;
}

void TCustomRapidTree::startDrag() {
    dragArmed_ = false;
    dragging_ = true;
    dragAccept_ = false;
    lastDragPos_ = QPoint(-1, -1);
    hideToolTip();
    if (OnStartDrag)
        OnStartDrag();
}

void TCustomRapidTree::dragOver(QPoint p) {
    lastDragPos_ = p;
    TFlyNode* target = viewport()->rect().contains(p) ? GetNodeAt(p.x(), p.y()) : nullptr;
    if (target != dropTarget_) {
        dropTarget_ = target;
        viewport()->update();
    }
    if (!viewport()->rect().contains(p)) {
        dragAccept_ = false;
        viewport()->setCursor(Qt::ForbiddenCursor);
        return;
    }
    bool accept = true;
    if (OnDragOver)
        OnDragOver(p.x(), p.y(), accept);
    dragAccept_ = accept;
    viewport()->setCursor(accept ? Qt::DragMoveCursor : Qt::ForbiddenCursor);
}

void TCustomRapidTree::finishDrag(QPoint p) {
    if (p != lastDragPos_)
        dragOver(p);
    const bool drop = dragAccept_ && viewport()->rect().contains(p);
    cancelDrag();
    if (drop && OnDragDrop)
        OnDragDrop(p.x(), p.y());
}

void TCustomRapidTree::cancelDrag() {
    dragging_ = false;
    dragArmed_ = false;
    dropTarget_ = nullptr;
    viewport()->unsetCursor();
    viewport()->update();
}

// ---------------------------------------------------------------------------------------------
// Tool tips

void TCustomRapidTree::updateToolTip(QPoint p) {
    const Hit hit = hitTest(p);
    if (hit.node == tipNode_ && hit.col == tipCol_)
        return;
    hideToolTip();
    tipNode_ = hit.node;
    tipCol_ = hit.col;
    if (!hit.node)
        return;
    const std::string_view text = hit.col == 0 ? hit.node->Text() : hit.node->Cells(1);
    if (text.empty())
        return;
    const int width0 = ShownColWidth(0);
    // Where the cell draws its text, and the room it has there.
    QRect room = hit.col == 0 ? QRect(captionLeft(hit.node), hit.top, 0, hit.height)
                              : QRect(width0 + 1, hit.top + 1, 0, hit.height - 2);
    room.setRight(hit.col == 0 ? width0 - 1 : width0 + ShownColWidth(1) - 2);
    const QSize size = MarkupRenderer::Measure(text, font(), true);
    if (size.width() <= room.width())
        return;
    if (!toolTip_) {
        toolTip_ = new MarkupToolTip(this, viewport());
        toolTip_->OnPointerGone = [this] {
            hideToolTip();
            tipNode_ = nullptr;
            tipCol_ = -1;
        };
    }
    const QRect global(viewport()->mapToGlobal(room.topLeft()), QSize(size.width(), room.height()));
    toolTip_->ShowText(std::string(text), font(), global, kToolTipPause);
}

void TCustomRapidTree::hideToolTip() {
    if (toolTip_)
        toolTip_->hide();
}

// ---------------------------------------------------------------------------------------------
// Keyboard and focus

void TCustomRapidTree::selectRow(int row) {
    TFlyNode* node = items_->NodeAtRow(row);
    if (!node)
        return;
    items_->SetSelected(node);
    ensureRowVisible(row);
    viewport()->update();
}

void TCustomRapidTree::incrementalSearch(const QString& typed) {
    const std::string utf8 = typed.toStdString();
    std::string latin1;
    if (typed.size() == 1 && typed[0].unicode() < 256)
        latin1 = std::string(1, static_cast<char>(typed[0].unicode()));
    const auto& rows = items_->Rows();
    const int count = static_cast<int>(rows.size());
    const int start = items_->RowOf(items_->Selected()) + 1;
    for (int i = 0; i < count; ++i) {
        const int row = (start + i) % count;
        const std::string_view text = rows[static_cast<size_t>(row)]->Text();
        if (text.empty())
            continue;
        if (startsWithNoCase(text, utf8) || startsWithNoCase(text, latin1)) {
            selectRow(row);
            return;
        }
    }
}

void TCustomRapidTree::keyPressEvent(QKeyEvent* event) {
    if (dragging_) {
        if (event->key() == Qt::Key_Escape)
            cancelDrag();
        return;
    }
    ensureLayout();
    const int count = items_->RowCount();
    const int current = items_->RowOf(items_->Selected());
    const bool keypad = (event->modifiers() & Qt::KeypadModifier) != 0;
    switch (event->key()) {
    case Qt::Key_Up:
        selectRow(current < 0 ? 0 : std::max(0, current - 1));
        return;
    case Qt::Key_Down:
        selectRow(current < 0 ? 0 : std::min(count - 1, current + 1));
        return;
    case Qt::Key_PageUp:
        selectRow(std::max(0, current - rowsOnPage()));
        return;
    case Qt::Key_PageDown:
        selectRow(std::min(count - 1, std::max(0, current + rowsOnPage())));
        return;
    case Qt::Key_Home:
        selectRow(0);
        return;
    case Qt::Key_End:
        selectRow(count - 1);
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        toggle(items_->Selected());
        return;
    case Qt::Key_Left:
    case Qt::Key_Right:
        return;
    case Qt::Key_Plus:
    case Qt::Key_Minus:
        if (keypad && items_->Selected()) {
            if (event->key() == Qt::Key_Plus)
                items_->Selected()->Expand(false);
            else
                items_->Selected()->Collapse(false);
        }
        return;
    default:
        break;
    }
    const QString text = event->text();
    const bool command =
        (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) != 0;
    if (!command && !text.isEmpty() && text[0].isPrint()) {
        incrementalSearch(text);
        return;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

void TCustomRapidTree::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void TCustomRapidTree::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

void TCustomRapidTree::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        if (font().pointSize() > 0) // a font set by point size from outside
            fontPointSize_ = font().pointSize();
        hideToolTip();
        tipNode_ = nullptr;
        tipCol_ = -1;
        dropRowHeights();
    } else if (event->type() == QEvent::PaletteChange ||
               event->type() == QEvent::ActivationChange) {
        viewport()->update();
    }
}

} // namespace settree
