// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

namespace settree {

class TCollapsiblePanel;

// The main window's client area: an edge panel aligned to the left or the right edge, a
// splitter bar against its inner side, and a client pane taking the width that remains. Other
// children (the hidden overlays) are left where their owner puts them. Dragging the splitter
// changes the edge panel's width.
class TClientArea : public QWidget {
    Q_OBJECT
public:
    explicit TClientArea(QWidget* parent = nullptr);

    // The three aligned children; all must be children of this widget.
    void SetPanes(TCollapsiblePanel* edgePanel, QWidget* splitter, QWidget* client);

    Qt::Edge PanelEdge() const { return edge_; }
    void SetPanelEdge(Qt::Edge edge);
    // Full width of the edge panel (a collapsed panel shows only its caption strip).
    int PanelWidth() const { return panelWidth_; }
    void SetPanelWidth(int width);

    // Least width a splitter drag leaves to either pane.
    static constexpr int kMinPaneWidth = 30;

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void relayout();

    TCollapsiblePanel* panel_ = nullptr;
    QWidget* splitter_ = nullptr;
    QWidget* client_ = nullptr;
    Qt::Edge edge_ = Qt::LeftEdge;
    int panelWidth_ = 0;
    int dragStartX_ = 0;
    int dragStartWidth_ = 0;
    bool dragging_ = false;
};

} // namespace settree
