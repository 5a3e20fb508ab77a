// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractScrollArea>
#include <QElapsedTimer>
#include <QPoint>
#include <functional>

#include "model/flynode.h"

class QMenu;

namespace settree {

class MarkupToolTip;

// Shift state of a mouse event: keys held, mouse buttons held, and whether the press is the
// second one of a double click.
struct ShiftState {
    Qt::KeyboardModifiers keys;
    Qt::MouseButtons buttons;
    bool doubleClick = false;
};

// Base of the tree grid: owns the tree store and turns it into rows on the screen.
//
// Rows are laid out lazily: the store's row list is scrolled by whole rows, and only the rows
// on the screen are measured and drawn, so a tree of a million expanded nodes stays fluid.
class TCustomRapidTree : public QAbstractScrollArea, protected TreeObserver {
    Q_OBJECT
public:
    static constexpr int kIndent = 20;           // pixels per tree level
    static constexpr int kButtonSize = 11;       // expand/collapse button
    static constexpr int kDefaultRowHeight = 24; // rows whose texts are all empty
    static constexpr int kDefaultColWidth = 75;
    static constexpr int kToolTipPause = 1000; // milliseconds

    explicit TCustomRapidTree(QWidget* parent = nullptr);
    ~TCustomRapidTree() override;

    // The store; owned by the view, alive as long as the view.
    TFlyNodes& Items() { return *items_; }
    const TFlyNodes& Items() const { return *items_; }

    TFlyNode* Selected() const { return items_->Selected(); }
    void SetSelected(TFlyNode* node) { items_->SetSelected(node); }
    TSortType SortType() const { return items_->SortType(); }
    void SetSortType(TSortType type) { items_->SetSortType(type); }
    void FullExpand() { items_->FullExpand(); }
    void FullCollapse() { items_->FullCollapse(); }
    std::string_view Cells(int col, int row) const { return items_->Cells(col, row); }
    void SetCells(int col, int row, std::string_view text) { items_->SetCells(col, row, text); }

    int ColCount() const { return 2; }
    // Stored width of a column; an index at or beyond ColCount raises "Grid index out of range".
    // When the client width changes, column 0 grows or shrinks by as much and column 1 keeps its
    // width; so column 0 can be stored below zero while the view is narrower than column 1,
    // and comes back as the view widens.
    int ColWidth(int col) const;
    void SetColWidth(int col, int width);
    // Width a column is shown with, after fitting the columns to the client width: the stored
    // widths from left to right, each narrowed by what passes the client edge, the last one
    // widened to end at the client edge.
    int ShownColWidth(int col) const;

    bool FitToHeight() const { return fitToHeight_; }
    // When the value changes, every row is measured again.
    void SetFitToHeight(bool fit);

    // The font of both columns and of the tool tips is Arial; its size in points. Every row is
    // measured again when it changes. Sizes below one point draw one pixel high.
    int FontPointSize() const { return fontPointSize_; }
    void SetFontPointSize(int points);

    // The node of the row under a point of the viewport, none below the last row.
    TFlyNode* GetNodeAt(int x, int y) const;
    // Arms a drag: it starts once the pointer moves past the drag threshold with a button held.
    void BeginDrag();
    // Redraws at once.
    void Repaint();
    // Scrolls the selected node's row into view, when there is one.
    void ScrollToSelected();

    void SetPopupMenu(QMenu* menu) { popupMenu_ = menu; }
    QMenu* PopupMenu() const { return popupMenu_; }

    // First row shown at the top of the view, and height of a row (measured when first asked).
    int TopRow() const;
    void SetTopRow(int row);
    int RowHeight(int row) const;
    // Rows highlighted by Shift or Ctrl clicks (from, to; equal when there is no range).
    std::pair<int, int> HighlightedRange() const;
    // The window showing a truncated cell text in full, none before the first one.
    MarkupToolTip* ToolTipWindow() const { return toolTip_; }
    bool Dragging() const { return dragging_; }

    // Events for the main window.
    std::function<void(Qt::MouseButton, ShiftState, int x, int y)> OnMouseDown;
    std::function<void()> OnDblClick;
    std::function<void()> OnStartDrag;
    std::function<void(int x, int y, bool& accept)> OnDragOver;
    std::function<void(int x, int y)> OnDragDrop;

protected:
    // TreeObserver
    void rowsChanged() override;
    void nodeChanged(TFlyNode* node) override;
    void nodeDeleting(TFlyNode* node) override;
    void selectionChanged() override;

    bool viewportEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // Where a point lies: row (-1 below the last row), column, and the row's top.
    struct Hit {
        int row = -1;
        int col = -1;
        int top = 0;
        int height = 0;
        TFlyNode* node = nullptr;
    };

    int rowHeight(const TFlyNode* node) const;
    int measureRow(const TFlyNode* node) const;
    void dropRowHeights();
    // Brings the scroll range up to date after the rows changed; touches only the last page.
    void ensureLayout() const;
    void scheduleLayout();
    Hit hitTest(QPoint p) const;
    int rowsOnPage() const;
    void ensureRowVisible(int row);
    QRect buttonRect(const Hit& hit) const;
    bool overColumnBorder(int x) const;
    int captionLeft(const TFlyNode* node) const;
    bool highlighted(int row, const TFlyNode* node) const;

    void paintRow(QPainter& painter, const TFlyNode* node, int row, int top, int height);
    void paintOutline(QPainter& painter, const TFlyNode* node, int row, int top, int height);

    void press(QMouseEvent* event, bool doubleClick);
    void toggle(TFlyNode* node);
    void selectRow(int row);
    void incrementalSearch(const QString& typed);
    void updateToolTip(QPoint p);
    void hideToolTip();
    void startDrag();
    void dragOver(QPoint p);
    void finishDrag(QPoint p);
    void cancelDrag();

    std::unique_ptr<TFlyNodes> items_;
    QMenu* popupMenu_ = nullptr;
    MarkupToolTip* toolTip_ = nullptr;
    int colWidths_[2] = {kDefaultColWidth, kDefaultColWidth};
    bool fitToHeight_ = true;
    int fontPointSize_ = 8;

    mutable bool layoutDirty_ = true;
    bool layoutScheduled_ = false;

    // Shift/Ctrl range: the node it started from; none when only the selection is highlighted.
    TFlyNode* rangeStart_ = nullptr;
    bool ownSelection_ = false;

    // Column resizing.
    bool resizing_ = false;
    int resizeOffset_ = 0;

    // Drag state.
    bool dragArmed_ = false;
    bool dragging_ = false;
    bool dragAccept_ = false;
    QPoint pressPos_;
    QPoint lastDragPos_;
    TFlyNode* dropTarget_ = nullptr;

    // A press that reached the view through its tool tip: the platform cannot pair it with the
    // next press into a double click, so the view does.
    Qt::MouseButton tipPressButton_ = Qt::NoButton;
    QPoint tipPressPos_;
    QElapsedTimer tipPressTime_;

    // The cell of the last tool tip (node and column).
    const TFlyNode* tipNode_ = nullptr;
    int tipCol_ = -1;
};

// The tree grid of the main window.
class TRapidTree : public TCustomRapidTree {
    Q_OBJECT
public:
    using TCustomRapidTree::TCustomRapidTree;
};

} // namespace settree
