// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/flynode.h"

namespace settree {

class EditHistory;

// The commands of the tree's context menu that reshape the tree or its view. Each works on the
// selected node of the tree and does nothing without one, unless it says otherwise. None of them
// touches the element text. With a history, each command becomes one step that can be undone.

// The roots at positions a and b trade places, each with its caption, weight and subtree; both
// end expanded with all their descendants. The node objects move, so marks and references into
// either subtree stay valid. Positions outside the roots, or equal ones, change nothing but the
// expansion of the root named.
void SwapRootNodes(TFlyNodes& tree, int a, int b, EditHistory* history = nullptr);

// "Delete": the selected node with its whole subtree; the selection goes to the next sibling,
// else the row above, else none.
void DeleteSelectedNode(TFlyNodes& tree, EditHistory* history = nullptr);
// "Delete Children": every child of the selected node with its subtree; the node stays.
void DeleteSelectedChildren(TFlyNodes& tree, EditHistory* history = nullptr);

enum class MoveDirection { up, down };
// "Move Up" and "Move Down". Among the children of a node the selected node moves one place,
// and from the first (last) place it rotates to the other end of its siblings. Among the roots
// it trades places with the root above (below), and the first and the last root trade places
// with each other; both roots of such a swap end fully expanded. The moved node stays selected
// and ends expanded one level, its descendants keeping their own states.
void MoveSelectedNode(TFlyNodes& tree, MoveDirection direction, EditHistory* history = nullptr);

// "Move to root": a copy of the selected node with its subtree becomes the last root, the node
// itself is deleted, and the copy is selected and fully expanded.
void MoveSelectedToRoot(TFlyNodes& tree, EditHistory* history = nullptr);

// "Sort children alphabetically": the children of the selected node, and of every node below it,
// sorted by caption byte by byte. "Sort everything alphabetically": the roots and the children of
// every node, selection or not. Neither changes the tree's sort mode.
void SortSelectedChildren(TFlyNodes& tree, EditHistory* history = nullptr);
void SortEverything(TFlyNodes& tree, EditHistory* history = nullptr);

// "Full expand" and "Full collapse" (which first clears the selection, so that the first root is
// selected afterwards); "Expand from node" and "Collapse from node" (the selected node with all
// its descendants).
void ExpandEverything(TFlyNodes& tree, EditHistory* history = nullptr);
void CollapseEverything(TFlyNodes& tree, EditHistory* history = nullptr);
void ExpandFromSelected(TFlyNodes& tree, EditHistory* history = nullptr);
void CollapseFromSelected(TFlyNodes& tree, EditHistory* history = nullptr);

} // namespace settree
