// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "model/flynode.h"

namespace settree {

class EditHistory;

inline constexpr std::string_view kClipCopy = "copy";
inline constexpr std::string_view kClipCut = "cut";

// Moves source with its whole subtree to the end of target's children: a copy of it (captions
// and weights) is appended under target, target is expanded with all its descendants and
// selected, letPendingEventsRun is called so that the window can show the copy, and then source
// is deleted. Nothing happens when source or target is none, or when target lies in source's
// subtree (the copy would be deleted with its source). If source leaves the tree while the
// pending events run, it is not deleted a second time. Returns the copy, none when nothing moved.
// With a history the move is one step that can be undone.
TFlyNode* MoveSubtree(TFlyNode* source, TFlyNode* target,
                      const std::function<void()>& letPendingEventsRun = {},
                      EditHistory* history = nullptr);

// Whether a dragged node may be dropped on target (none: the empty space below the rows, where a
// drop does nothing and is accepted). A drop on the dragged node's parent, on the dragged node or
// anywhere in its subtree is refused, and so is a drop on a node while nothing is dragged.
bool DropAccepted(const TFlyNode* dragged, const TFlyNode* target);

// The node clipboard and the dragged node of one tree: references to nodes that the tree owns.
// The fields themselves belong to the caller (the main window keeps them); this object keeps
// them true. A node that leaves the tree, by itself or with an ancestor, is forgotten at once,
// so no command ever reads a node that is gone.
class NodeMarks : private TreeObserver {
public:
    // tree must outlive the marks; clipNode, clipMode and dragNode are the caller's fields.
    // With a history, pastes and drops are steps that can be undone.
    NodeMarks(TFlyNodes& tree, TFlyNode*& clipNode, std::string& clipMode, TFlyNode*& dragNode,
              EditHistory* history = nullptr);
    ~NodeMarks() override;
    NodeMarks(const NodeMarks&) = delete;
    NodeMarks& operator=(const NodeMarks&) = delete;

    // Called whenever the mark is set or forgotten.
    std::function<void()> OnMarkChanged;

    // "Cut node" and "Copy node": mark the selected node; without a selection nothing changes.
    void Cut();
    void Copy();
    bool Marked() const { return clipNode_ != nullptr; }

    // "Paste node" (toRoot false): a copy of the marked node, as it is now, with its subtree,
    // as the last child of the selected node, or the last root when nothing is selected.
    // "Paste to root" (toRoot true): always as the last root. A cut node is deleted after its
    // paste, and so forgotten. A paste into the marked node itself or into its subtree is
    // refused. Returns the copy; none when nothing is marked or the paste is refused.
    TFlyNode* Paste(bool toRoot);

    // A drag starts: the selected node is the dragged one (none without a selection).
    void StartDrag();
    bool DropAcceptedOn(const TFlyNode* target) const { return DropAccepted(dragNode_, target); }
    // The drop on target: MoveSubtree of the dragged node.
    void Drop(TFlyNode* target, const std::function<void()>& letPendingEventsRun = {});

private:
    void nodeDeleting(TFlyNode* node) override;
    void mark(std::string_view mode);

    TFlyNodes& tree_;
    TFlyNode*& clipNode_;
    std::string& clipMode_;
    TFlyNode*& dragNode_;
    EditHistory* history_;
};

} // namespace settree
