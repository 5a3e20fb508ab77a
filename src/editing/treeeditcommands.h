// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <cstdint>
#include <memory>
#include <string>

#include "editing/edithistory.h"
#include "editing/elementdialog.h"
#include "editing/nodemarks.h"
#include "model/flynode.h"

class QAction;

namespace settree {

class TCustomRapidTree;
struct ShiftState;

// The commands of the tree pane: its context menu, the element dialog, the node clipboard, drag
// and drop, and undo and redo of every change to the tree. The main window's handlers forward
// here; the work itself is done by the core commands (structurecommands.h, nodemarks.h,
// elementedit.h, edithistory.h).
class TreeEditCommands : public QObject, private TreeObserver {
    Q_OBJECT
public:
    // The menu items whose enabled state follows the selection, the mark and the history.
    struct MenuItems {
        QAction* cut;
        QAction* copy;
        QAction* paste;
        QAction* pasteToRoot;
        QAction* undo;
        QAction* redo;
    };
    // The node fields and the edit mode are the window's own. tree must outlive the commands.
    struct WindowFields {
        TFlyNode*& clipNode;
        std::string& clipMode;
        TFlyNode*& dragNode;
        uint8_t& editMode;
    };
    TreeEditCommands(TCustomRapidTree& tree, const ElementDialog::Controls& dialog,
                     const MenuItems& items, const WindowFields& fields, QObject* parent = nullptr);
    ~TreeEditCommands() override;

    ElementDialog& Dialog() { return *dialog_; }
    EditHistory& History() { return *history_; }

    // Before the menu opens: "Cut node" and "Copy node" are enabled with a selection, "Paste
    // node" and "Paste to root" while a node is marked. The same rule is kept up to date as the
    // selection and the mark change, so that the keys follow it too.
    void MenuOpening();

    void Delete();
    void DeleteChildren();
    void MoveUp();
    void MoveDown();
    void MoveToRoot();
    void SortChildren();
    void SortEverything();
    void FullExpand();
    void FullCollapse();
    void ExpandFromNode();
    void CollapseFromNode();

    void Cut();
    void Copy();
    void Paste();
    void PasteToRoot();

    // Undo and redo of the tree's changes; their menu items name the step ("Undo Delete").
    void Undo();
    void Redo();

signals:
    // The history of the tree's changes changed: a step taken, undone or redone.
    void HistoryChanged();

public:
    // A mouse press in the tree, any button: the element dialog is placed at the pointer, the
    // node under the pointer is selected, and a drag is armed unless the right button is held.
    void MouseDown(Qt::MouseButton button, const ShiftState& shift, int x, int y);
    void StartDrag();
    void DragOver(int x, int y, bool& accept);
    void DragDrop(int x, int y);

private:
    void selectionChanged() override;
    void updateEnabling();
    // After a command that moved the selection: it is shown.
    void showSelection();

    TCustomRapidTree& tree_;
    MenuItems items_;
    std::unique_ptr<EditHistory> history_;
    std::unique_ptr<ElementDialog> dialog_;
    std::unique_ptr<NodeMarks> marks_;
};

} // namespace settree
