// SPDX-License-Identifier: GPL-3.0-or-later
#include "editing/structurecommands.h"

#include "editing/copysubtree.h"
#include "editing/edithistory.h"

namespace settree {

namespace {

void swapRootNodes(TFlyNodes& tree, int a, int b, StepRecorder& step) {
    for (int root : {a, b})
        step.KeepExpansion(tree.Root(root), true);
    step.SwapRoots(a, b);
    if (TFlyNode* root = tree.Root(b))
        root->Expand(true);
    if (TFlyNode* root = tree.Root(a))
        root->Expand(true);
}

} // namespace

void SwapRootNodes(TFlyNodes& tree, int a, int b, EditHistory* history) {
    StepRecorder step(tree, history, "Swap roots");
    swapRootNodes(tree, a, b, step);
}

void DeleteSelectedNode(TFlyNodes& tree, EditHistory* history) {
    if (TFlyNode* node = tree.Selected()) {
        StepRecorder step(tree, history, "Delete");
        step.Remove(node);
    }
}

void DeleteSelectedChildren(TFlyNodes& tree, EditHistory* history) {
    if (TFlyNode* node = tree.Selected()) {
        StepRecorder step(tree, history, "Delete Children");
        step.RemoveChildren(node);
    }
}

void MoveSelectedNode(TFlyNodes& tree, MoveDirection direction, EditHistory* history) {
    TFlyNode* node = tree.Selected();
    if (!node)
        return;
    StepRecorder step(tree, history, direction == MoveDirection::up ? "Move Up" : "Move Down");
    const UpdateBracket bracket(tree);
    step.KeepExpansion(node, false);
    TFlyNode* moved = node;
    if (TFlyNode* parent = node->Parent()) {
        const int n = parent->Count();
        const int i = parent->IndexOfChild(node);
        if (direction == MoveDirection::up)
            step.MoveChild(parent, i, i > 0 ? i - 1 : n - 1);
        else
            step.MoveChild(parent, i, i < n - 1 ? i + 1 : 0);
    } else {
        const int r = tree.Count();
        const int i = tree.IndexOfChild(node);
        const int other =
            direction == MoveDirection::up ? (i > 0 ? i - 1 : r - 1) : (i < r - 1 ? i + 1 : 0);
        swapRootNodes(tree, i, other, step);
        moved = tree.Root(other);
    }
    tree.SetSelected(moved);
    moved->Collapse(false);
    moved->Expand(false);
}

void MoveSelectedToRoot(TFlyNodes& tree, EditHistory* history) {
    TFlyNode* node = tree.Selected();
    if (!node)
        return;
    StepRecorder step(tree, history, "Move to root");
    const UpdateBracket bracket(tree);
    TFlyNode* copy = CopySubtree(node, nullptr, true);
    step.Added(copy);
    step.Remove(node);
    tree.SetSelected(copy);
    copy->Expand(true);
}

void SortSelectedChildren(TFlyNodes& tree, EditHistory* history) {
    if (TFlyNode* node = tree.Selected()) {
        StepRecorder step(tree, history, "Sort children alphabetically");
        step.Sort(node);
    }
}

void SortEverything(TFlyNodes& tree, EditHistory* history) {
    StepRecorder step(tree, history, "Sort everything alphabetically");
    step.Sort(nullptr);
}

void ExpandEverything(TFlyNodes& tree, EditHistory* history) {
    StepRecorder step(tree, history, "Full expand");
    step.KeepAllExpansion();
    tree.FullExpand();
}

void CollapseEverything(TFlyNodes& tree, EditHistory* history) {
    StepRecorder step(tree, history, "Full collapse");
    step.KeepAllExpansion();
    tree.SetSelected(nullptr);
    tree.FullCollapse();
}

void ExpandFromSelected(TFlyNodes& tree, EditHistory* history) {
    if (TFlyNode* node = tree.Selected()) {
        StepRecorder step(tree, history, "Expand from node");
        step.KeepExpansion(node, true);
        node->Expand(true);
    }
}

void CollapseFromSelected(TFlyNodes& tree, EditHistory* history) {
    if (TFlyNode* node = tree.Selected()) {
        StepRecorder step(tree, history, "Collapse from node");
        step.KeepExpansion(node, true);
        node->Collapse(true);
    }
}

} // namespace settree
