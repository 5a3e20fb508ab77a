// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractScrollArea>
#include <QPoint>
#include <functional>

#include "model/flynode.h"

class QMenu;

namespace settree {

// Shift state of a mouse event: keys held, mouse buttons held, and whether the press is the
// second one of a double click.
struct ShiftState {
    Qt::KeyboardModifiers keys;
    Qt::MouseButtons buttons;
    bool doubleClick = false;
};

// Base of the tree grid: owns the tree store and turns it into rows on the screen.
class TCustomRapidTree : public QAbstractScrollArea, protected TreeObserver {
    Q_OBJECT
public:
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
    const std::string& Cells(int col, int row) const { return items_->Cells(col, row); }
    void SetCells(int col, int row, std::string text) { items_->SetCells(col, row, std::move(text)); }

    int ColCount() const { return 2; }
    // Stored width of a column; an index at or beyond ColCount raises "Grid index out of range".
    int ColWidth(int col) const;
    void SetColWidth(int col, int width);
    // Width a column is shown with, after fitting the columns to the client width.
    int ShownColWidth(int col) const;

    bool FitToHeight() const { return fitToHeight_; }
    void SetFitToHeight(bool fit);

    // The node of the row under a point of the viewport, none below the last row.
    TFlyNode* GetNodeAt(int x, int y) const;
    // Arms a drag: it starts once the pointer moves past the drag threshold with a button held.
    void BeginDrag();
    // Redraws at once.
    void Repaint();

    void SetPopupMenu(QMenu* menu) { popupMenu_ = menu; }
    QMenu* PopupMenu() const { return popupMenu_; }

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

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    int rowHeight(const TFlyNode* node) const;
    void updateScrollBars();

    std::unique_ptr<TFlyNodes> items_;
    QMenu* popupMenu_ = nullptr;
    int colWidths_[2] = {75, 75};
    bool fitToHeight_ = true;
};

// The tree grid of the main window.
class TRapidTree : public TCustomRapidTree {
    Q_OBJECT
public:
    using TCustomRapidTree::TCustomRapidTree;
};

} // namespace settree
