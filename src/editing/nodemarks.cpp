// SPDX-License-Identifier: GPL-3.0-or-later
#include "editing/nodemarks.h"

#include "editing/copysubtree.h"
#include "editing/edithistory.h"

namespace settree {

namespace {

// Tells whether a node has left its tree, by itself or with an ancestor, while it lives.
class LeavingWatch : private TreeObserver {
public:
    LeavingWatch(TFlyNodes& tree, const TFlyNode* node) : tree_(tree), node_(node) {
        tree_.AddObserver(this);
    }
    ~LeavingWatch() override { tree_.RemoveObserver(this); }
    LeavingWatch(const LeavingWatch&) = delete;
    LeavingWatch& operator=(const LeavingWatch&) = delete;
    bool Gone() const { return gone_; }

private:
    void nodeDeleting(TFlyNode* node) override {
        if (node == node_)
            gone_ = true;
    }
    TFlyNodes& tree_;
    const TFlyNode* node_;
    bool gone_ = false;
};

} // namespace

TFlyNode* MoveSubtree(TFlyNode* source, TFlyNode* target,
                      const std::function<void()>& letPendingEventsRun, EditHistory* history) {
    if (!source || !target || target->HasAsParent(source))
        return nullptr;
    TFlyNodes& tree = target->Tree();
    StepRecorder step(tree, history, "Drag and drop");
    step.KeepExpansion(target, true);
    TFlyNode* copy = CopySubtree(source, target, true);
    step.Added(copy);
    target->Expand(true);
    tree.SetSelected(target);
    const LeavingWatch watch(tree, source);
    if (letPendingEventsRun)
        letPendingEventsRun();
    if (!watch.Gone())
        step.Remove(source);
    return copy;
}

bool DropAccepted(const TFlyNode* dragged, const TFlyNode* target) {
    if (!target)
        return true;
    if (!dragged)
        return false;
    return target != dragged->Parent() && !target->HasAsParent(dragged);
}

NodeMarks::NodeMarks(TFlyNodes& tree, TFlyNode*& clipNode, std::string& clipMode,
                     TFlyNode*& dragNode, EditHistory* history)
    : tree_(tree), clipNode_(clipNode), clipMode_(clipMode), dragNode_(dragNode),
      history_(history) {
    tree_.AddObserver(this);
}

NodeMarks::~NodeMarks() {
    tree_.RemoveObserver(this);
}

void NodeMarks::mark(std::string_view mode) {
    TFlyNode* node = tree_.Selected();
    if (!node)
        return;
    clipMode_ = std::string(mode);
    clipNode_ = node;
    if (OnMarkChanged)
        OnMarkChanged();
}

void NodeMarks::Cut() {
    mark(kClipCut);
}

void NodeMarks::Copy() {
    mark(kClipCopy);
}

TFlyNode* NodeMarks::Paste(bool toRoot) {
    TFlyNode* marked = clipNode_;
    if (!marked)
        return nullptr;
    TFlyNode* target = toRoot ? nullptr : tree_.Selected();
    if (target && target->HasAsParent(marked))
        return nullptr;
    StepRecorder step(tree_, history_, toRoot ? "Paste to root" : "Paste node");
    TFlyNode* copy = CopySubtree(marked, target, true);
    step.Added(copy);
    if (clipMode_ == kClipCut)
        step.Remove(marked);
    return copy;
}

void NodeMarks::StartDrag() {
    dragNode_ = tree_.Selected();
}

void NodeMarks::Drop(TFlyNode* target, const std::function<void()>& letPendingEventsRun) {
    if (dragNode_)
        MoveSubtree(dragNode_, target, letPendingEventsRun, history_);
}

void NodeMarks::nodeDeleting(TFlyNode* node) {
    if (node == dragNode_)
        dragNode_ = nullptr;
    if (node == clipNode_) {
        clipNode_ = nullptr;
        if (OnMarkChanged)
            OnMarkChanged();
    }
}

} // namespace settree
