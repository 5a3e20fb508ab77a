// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QWidget;

namespace settree {

class TClientArea;
class TCollapsiblePanel;
class TRapidTree;
class TTextPane;

// The commands that change how the panes look without touching the data: the text panel to the
// other side, the text pane's background picture, both panes' font sizes, and the collapsing of
// the text panel by a click on its caption strip. The main window's handlers forward here.
class ViewCommands {
public:
    // Everything given outlives the commands. captionClickArmed is the window's guard of the
    // caption strip.
    ViewCommands(QWidget& window, TClientArea& clientArea, TCollapsiblePanel& textPanel,
                 TTextPane& pane, TRapidTree& tree, bool& captionClickArmed);

    // The text panel to the other edge at half the window's client width, its caption strip on
    // its outer side, the splitter between it and the tree pane.
    void SwapPanels();
    // Shows the text pane's background picture centred, or hides it when it is shown.
    void ToggleBackground();
    // Adds step points to the text pane's font, then to the tree's, whose rows take the new
    // font's height. No limit: sizes below one point draw as small as the fonts go.
    void ChangeFontSize(int step);
    // A click on the caption strip toggles the panel when the guard is set, then sets it.
    void CaptionClick();
    // The panel finished collapsing or expanding: clears the guard.
    void EndCollapseExpand();

private:
    QWidget& window_;
    TClientArea& clientArea_;
    TCollapsiblePanel& textPanel_;
    TTextPane& pane_;
    TRapidTree& tree_;
    bool& captionClickArmed_;
};

} // namespace settree
