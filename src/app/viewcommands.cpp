// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/viewcommands.h"

#include <QWidget>

#include "app/tclientarea.h"
#include "app/tcollapsiblepanel.h"
#include "textpane/ttextpane.h"
#include "view/trapidtree.h"

namespace settree {

ViewCommands::ViewCommands(QWidget& window, TClientArea& clientArea, TCollapsiblePanel& textPanel,
                           TTextPane& pane, TRapidTree& tree, bool& captionClickArmed)
    : window_(window), clientArea_(clientArea), textPanel_(textPanel), pane_(pane), tree_(tree),
      captionClickArmed_(captionClickArmed) {}

void ViewCommands::SwapPanels() {
    const Qt::Edge edge = clientArea_.PanelEdge() == Qt::LeftEdge ? Qt::RightEdge : Qt::LeftEdge;
    textPanel_.SetStripEdge(edge);
    clientArea_.SetPanelEdge(edge);
    clientArea_.SetPanelWidth(window_.width() / 2);
    window_.update();
}

void ViewCommands::ToggleBackground() {
    pane_.ToggleBackground();
}

void ViewCommands::ChangeFontSize(int step) {
    pane_.SetFontPointSize(pane_.FontPointSize() + step);
    tree_.SetFontPointSize(tree_.FontPointSize() + step);
}

void ViewCommands::CaptionClick() {
    if (captionClickArmed_)
        textPanel_.SetCollapsed(!textPanel_.Collapsed());
    captionClickArmed_ = true;
}

void ViewCommands::EndCollapseExpand() {
    captionClickArmed_ = false;
}

} // namespace settree
