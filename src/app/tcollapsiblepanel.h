// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QToolButton;

namespace settree {

// A panel with a caption strip along one side that carries a minimise/maximise button.
// Collapsed, the panel shows only the strip; the owner's layout asks ShownWidth() for the width
// to give it. Clicks on the strip are reported; the panel's own button toggles the panel by
// itself, finishes, and then reports a strip click as well.
class TCollapsiblePanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int kStripWidth = 20;

    explicit TCollapsiblePanel(QWidget* parent = nullptr);

    // The area beside the strip that holds the panel's controls.
    QWidget* Content() const { return content_; }

    bool Collapsed() const { return collapsed_; }
    void Collapse() { SetCollapsed(true); }
    void Expand() { SetCollapsed(false); }
    // Changes the state and reports EndCollapsExpand; nothing happens when it is already so.
    void SetCollapsed(bool collapsed);

    // The side the strip runs along: Qt::LeftEdge or Qt::RightEdge.
    Qt::Edge StripEdge() const { return stripEdge_; }
    void SetStripEdge(Qt::Edge edge);

    // Width the panel takes in its owner's layout when its full width is width.
    int ShownWidth(int width) const { return collapsed_ ? kStripWidth : width; }

    QWidget* Strip() const { return strip_; }
    QToolButton* CollapseButton() const { return button_; }

signals:
    void CaptionClick();
    void EndCollapsExpand();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void updateButton();

    QWidget* strip_;
    QToolButton* button_;
    QWidget* content_;
    bool collapsed_ = false;
    Qt::Edge stripEdge_ = Qt::LeftEdge;
};

} // namespace settree
