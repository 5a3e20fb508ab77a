// SPDX-License-Identifier: GPL-3.0-or-later
#include "editing/treeeditcommands.h"

#include <QAction>
#include <QCoreApplication>

#include "editing/structurecommands.h"
#include "view/trapidtree.h"

namespace settree {

TreeEditCommands::TreeEditCommands(TCustomRapidTree& tree, const ElementDialog::Controls& dialog,
                                   const MenuItems& items, const WindowFields& fields,
                                   QObject* parent)
    : QObject(parent), tree_(tree), items_(items),
      history_(std::make_unique<EditHistory>(tree.Items())),
      dialog_(std::make_unique<ElementDialog>(dialog, tree, fields.editMode, history_.get())),
      marks_(std::make_unique<NodeMarks>(tree.Items(), fields.clipNode, fields.clipMode,
                                         fields.dragNode, history_.get())) {
    marks_->OnMarkChanged = [this] { updateEnabling(); };
    history_->OnChanged = [this] {
        updateEnabling();
        emit HistoryChanged();
    };
    tree_.Items().AddObserver(this);
    updateEnabling();
}

TreeEditCommands::~TreeEditCommands() {
    tree_.Items().RemoveObserver(this);
}

void TreeEditCommands::updateEnabling() {
    const bool selected = tree_.Selected() != nullptr;
    items_.cut->setEnabled(selected);
    items_.copy->setEnabled(selected);
    items_.paste->setEnabled(marks_->Marked());
    items_.pasteToRoot->setEnabled(marks_->Marked());
    const std::string undo = history_->UndoName();
    const std::string redo = history_->RedoName();
    items_.undo->setEnabled(!undo.empty());
    items_.undo->setText(undo.empty() ? tr("Undo")
                                      : tr("Undo %1").arg(QString::fromStdString(undo)));
    items_.redo->setEnabled(!redo.empty());
    items_.redo->setText(redo.empty() ? tr("Redo")
                                      : tr("Redo %1").arg(QString::fromStdString(redo)));
}

void TreeEditCommands::selectionChanged() {
    updateEnabling();
}

void TreeEditCommands::MenuOpening() {
    updateEnabling();
}

void TreeEditCommands::showSelection() {
    tree_.ScrollToSelected();
}

void TreeEditCommands::Delete() {
    DeleteSelectedNode(tree_.Items(), history_.get());
}

void TreeEditCommands::DeleteChildren() {
    DeleteSelectedChildren(tree_.Items(), history_.get());
}

void TreeEditCommands::MoveUp() {
    MoveSelectedNode(tree_.Items(), MoveDirection::up, history_.get());
    showSelection();
}

void TreeEditCommands::MoveDown() {
    MoveSelectedNode(tree_.Items(), MoveDirection::down, history_.get());
    showSelection();
}

void TreeEditCommands::MoveToRoot() {
    MoveSelectedToRoot(tree_.Items(), history_.get());
    showSelection();
}

void TreeEditCommands::SortChildren() {
    SortSelectedChildren(tree_.Items(), history_.get());
}

void TreeEditCommands::SortEverything() {
    settree::SortEverything(tree_.Items(), history_.get());
}

void TreeEditCommands::FullExpand() {
    ExpandEverything(tree_.Items(), history_.get());
}

void TreeEditCommands::FullCollapse() {
    CollapseEverything(tree_.Items(), history_.get());
    showSelection();
}

void TreeEditCommands::ExpandFromNode() {
    ExpandFromSelected(tree_.Items(), history_.get());
}

void TreeEditCommands::CollapseFromNode() {
    CollapseFromSelected(tree_.Items(), history_.get());
}

void TreeEditCommands::Cut() {
    marks_->Cut();
}

void TreeEditCommands::Copy() {
    marks_->Copy();
}

void TreeEditCommands::Paste() {
    marks_->Paste(false);
}

void TreeEditCommands::PasteToRoot() {
    marks_->Paste(true);
}

void TreeEditCommands::Undo() {
    history_->Undo();
    showSelection();
}

void TreeEditCommands::Redo() {
    history_->Redo();
    showSelection();
}

void TreeEditCommands::MouseDown(Qt::MouseButton, const ShiftState& shift, int x, int y) {
    dialog_->PlaceAt(x, y);
    if (TFlyNode* node = tree_.GetNodeAt(x, y))
        tree_.SetSelected(node);
    if (!(shift.buttons & Qt::RightButton))
        tree_.BeginDrag();
}

void TreeEditCommands::StartDrag() {
    marks_->StartDrag();
}

void TreeEditCommands::DragOver(int x, int y, bool& accept) {
    accept = marks_->DropAcceptedOn(tree_.GetNodeAt(x, y));
}

void TreeEditCommands::DragDrop(int x, int y) {
    marks_->Drop(tree_.GetNodeAt(x, y), [this] {
        // The window shows the moved copy before its source goes; what the user does meanwhile
        // waits, so nothing can reach the source before it is deleted.
        tree_.Repaint();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    });
}

} // namespace settree
