// SPDX-License-Identifier: GPL-3.0-or-later
#include "editing/structurecommands.h"

#include "editing/copysubtree.h"

namespace settree {

namespace {

// Closes an update bracket on every way out.
class UpdateBracket {
public:
    explicit UpdateBracket(TFlyNodes& tree) : tree_(tree) { tree_.BeginUpdate(); }
    ~UpdateBracket() { tree_.EndUpdate(); }
    UpdateBracket(const UpdateBracket&) = delete;
    UpdateBracket& operator=(const UpdateBracket&) = delete;

private:
    TFlyNodes& tree_;
};

int rootIndex(const TFlyNodes& tree, const TFlyNode* node) {
    return tree.IndexOfChild(node);
}

} // namespace

void SwapRootNodes(TFlyNodes& tree, int a, int b) {
    tree.SwapRoots(a, b);
    if (TFlyNode* root = tree.Root(b))
        root->Expand(true);
    if (TFlyNode* root = tree.Root(a))
        root->Expand(true);
}

void DeleteSelectedNode(TFlyNodes& tree) {
    if (TFlyNode* node = tree.Selected())
        node->Delete();
}

void DeleteSelectedChildren(TFlyNodes& tree) {
    if (TFlyNode* node = tree.Selected())
        node->DeleteChildren();
}

void MoveSelectedNode(TFlyNodes& tree, MoveDirection direction) {
    TFlyNode* node = tree.Selected();
    if (!node)
        return;
    const UpdateBracket bracket(tree);
    TFlyNode* moved = node;
    if (TFlyNode* parent = node->Parent()) {
        const int n = parent->Count();
        const int i = parent->IndexOfChild(node);
        if (direction == MoveDirection::up)
            parent->MoveChild(i, i > 0 ? i - 1 : n - 1);
        else
            parent->MoveChild(i, i < n - 1 ? i + 1 : 0);
    } else {
        const int r = tree.Count();
        const int i = rootIndex(tree, node);
        const int other =
            direction == MoveDirection::up ? (i > 0 ? i - 1 : r - 1) : (i < r - 1 ? i + 1 : 0);
        SwapRootNodes(tree, i, other);
        moved = tree.Root(other);
    }
    tree.SetSelected(moved);
    moved->Collapse(false);
    moved->Expand(false);
}

void MoveSelectedToRoot(TFlyNodes& tree) {
    TFlyNode* node = tree.Selected();
    if (!node)
        return;
    const UpdateBracket bracket(tree);
    TFlyNode* copy = CopySubtree(node, nullptr, true);
    node->Delete();
    tree.SetSelected(copy);
    copy->Expand(true);
}

void SortSelectedChildren(TFlyNodes& tree) {
    if (TFlyNode* node = tree.Selected())
        node->AlphaSort();
}

void SortEverything(TFlyNodes& tree) {
    tree.AlphaSort();
}

void ExpandEverything(TFlyNodes& tree) {
    tree.FullExpand();
}

void CollapseEverything(TFlyNodes& tree) {
    tree.SetSelected(nullptr);
    tree.FullCollapse();
}

void ExpandFromSelected(TFlyNodes& tree) {
    if (TFlyNode* node = tree.Selected())
        node->Expand(true);
}

void CollapseFromSelected(TFlyNodes& tree) {
    if (TFlyNode* node = tree.Selected())
        node->Collapse(true);
}

} // namespace settree
