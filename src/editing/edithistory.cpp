// SPDX-License-Identifier: GPL-3.0-or-later
#include "editing/edithistory.h"

#include "model/memorybudget.h"

#include <algorithm>

namespace settree {

namespace {

// The memory a subtree holds: its nodes, their captions, long weights and child lists.
size_t subtreeBytes(const TFlyNode* top) {
    size_t bytes = 0;
    std::vector<const TFlyNode*> pending{top};
    while (!pending.empty()) {
        const TFlyNode* node = pending.back();
        pending.pop_back();
        bytes += sizeof(TFlyNode) + node->Text().size() + node->Count() * sizeof(void*);
        if (node->Cells(1).size() > 15)
            bytes += node->Cells(1).size();
        for (int i = 0; i < node->Count(); ++i)
            pending.push_back(node->Child(i));
    }
    return bytes;
}

size_t listBytes(const std::vector<std::unique_ptr<TFlyNode>>& nodes) {
    size_t bytes = nodes.capacity() * sizeof(void*);
    for (const auto& node : nodes)
        bytes += subtreeBytes(node.get());
    return bytes;
}

TTreeCollection& ownerOf(TFlyNodes& tree, TFlyNode* parent) {
    return parent ? static_cast<TTreeCollection&>(*parent) : tree;
}

void moveChild(TFlyNodes& tree, TFlyNode* parent, int from, int to) {
    if (parent)
        parent->MoveChild(from, to);
    else
        tree.MoveChild(from, to);
}

// A node with its subtree that the step took out of the tree (removed) or put into it (added).
// While the node is out it is kept here, so that it comes back with everything it holds.
class SubtreePart : public TreeStep::Part {
public:
    // removed: the node is out now (held); otherwise it was just added and is in the tree.
    SubtreePart(TFlyNode* node, TFlyNode* parent, int index, std::unique_ptr<TFlyNode> held,
                bool parentWasExpanded)
        : node_(node), parent_(parent), index_(index), held_(std::move(held)),
          removed_(held_ != nullptr), parentWasExpanded_(parentWasExpanded),
          bytes_(subtreeBytes(node)) {}
    void Undo(TFlyNodes& tree) override { removed_ ? putBack(tree) : takeOut(); }
    void Redo(TFlyNodes& tree) override { removed_ ? takeOut() : putBack(tree); }
    size_t Bytes() const override { return bytes_; }

private:
    void takeOut() { held_ = node_->Detach(); }
    void putBack(TFlyNodes& tree) {
        tree.Attach(std::move(held_), parent_, index_);
        if (removed_ && parent_)
            tree.SetExpandedStates({parent_}, {parentWasExpanded_});
    }
    TFlyNode* node_;
    TFlyNode* parent_;
    int index_;
    std::unique_ptr<TFlyNode> held_;
    bool removed_;
    bool parentWasExpanded_;
    size_t bytes_;
};

// All children of a node, or all roots, taken out together.
class RemovedChildrenPart : public TreeStep::Part {
public:
    RemovedChildrenPart(TFlyNode* parent, std::vector<std::unique_ptr<TFlyNode>> held,
                        bool parentWasExpanded)
        : parent_(parent), held_(std::move(held)), parentWasExpanded_(parentWasExpanded),
          bytes_(listBytes(held_)) {}
    void Undo(TFlyNodes& tree) override {
        tree.AttachChildren(parent_, std::move(held_));
        held_.clear();
        if (parent_)
            tree.SetExpandedStates({parent_}, {parentWasExpanded_});
    }
    void Redo(TFlyNodes& tree) override { held_ = tree.DetachChildren(parent_); }
    size_t Bytes() const override { return bytes_; }

private:
    TFlyNode* parent_;
    std::vector<std::unique_ptr<TFlyNode>> held_;
    bool parentWasExpanded_;
    size_t bytes_;
};

class MovedPart : public TreeStep::Part {
public:
    MovedPart(TFlyNode* parent, int from, int to) : parent_(parent), from_(from), to_(to) {}
    void Undo(TFlyNodes& tree) override { moveChild(tree, parent_, to_, from_); }
    void Redo(TFlyNodes& tree) override { moveChild(tree, parent_, from_, to_); }
    size_t Bytes() const override { return sizeof(*this); }

private:
    TFlyNode* parent_;
    int from_;
    int to_;
};

class SwappedRootsPart : public TreeStep::Part {
public:
    SwappedRootsPart(int a, int b) : a_(a), b_(b) {}
    void Undo(TFlyNodes& tree) override { tree.SwapRoots(a_, b_); }
    void Redo(TFlyNodes& tree) override { tree.SwapRoots(a_, b_); }
    size_t Bytes() const override { return sizeof(*this); }

private:
    int a_;
    int b_;
};

class CaptionPart : public TreeStep::Part {
public:
    CaptionPart(TFlyNode* node, std::string caption, std::string weight)
        : node_(node), other_{std::move(caption), std::move(weight)} {}
    void Undo(TFlyNodes&) override { exchange(); }
    void Redo(TFlyNodes&) override { exchange(); }
    size_t Bytes() const override {
        return sizeof(*this) + other_.caption.size() + other_.weight.size();
    }

private:
    // The caption and weight not shown now trade places with those shown.
    void exchange() {
        Texts shown{std::string(node_->Text()), std::string(node_->Cells(1))};
        node_->SetText(other_.caption);
        node_->SetCells(1, other_.weight);
        other_ = std::move(shown);
    }
    struct Texts {
        std::string caption;
        std::string weight;
    };
    TFlyNode* node_;
    Texts other_;
};

class SortedPart : public TreeStep::Part {
public:
    SortedPart(TFlyNode* node, std::vector<SortedSiblings> sorted)
        : node_(node), sorted_(std::move(sorted)) {}
    void Undo(TFlyNodes& tree) override {
        for (auto it = sorted_.rbegin(); it != sorted_.rend(); ++it)
            tree.RestoreOrder(*it);
    }
    void Redo(TFlyNodes& tree) override {
        // Sorting the same order again gives the same result.
        sorted_.clear();
        tree.AlphaSortNoting(node_, sorted_);
    }
    size_t Bytes() const override {
        size_t bytes = sizeof(*this) + sorted_.capacity() * sizeof(SortedSiblings);
        for (const SortedSiblings& list : sorted_)
            bytes += list.previous.capacity() * sizeof(uint32_t);
        return bytes;
    }

private:
    TFlyNode* node_;
    std::vector<SortedSiblings> sorted_;
};

// The whole tree replaced by another: the forest not shown is kept aside.
class ForestPart : public TreeStep::Part {
public:
    explicit ForestPart(std::vector<std::unique_ptr<TFlyNode>> held)
        : held_(std::move(held)), bytes_(listBytes(held_)) {}
    void Undo(TFlyNodes& tree) override { exchange(tree); }
    void Redo(TFlyNodes& tree) override { exchange(tree); }
    size_t Bytes() const override { return bytes_; }

private:
    void exchange(TFlyNodes& tree) {
        std::vector<std::unique_ptr<TFlyNode>> shown = tree.DetachChildren(nullptr);
        tree.AttachChildren(nullptr, std::move(held_));
        held_ = std::move(shown);
    }
    std::vector<std::unique_ptr<TFlyNode>> held_;
    size_t bytes_;
};

} // namespace

// ---------------------------------------------------------------------------------------------
// TreeStep

size_t TreeStep::Bytes() const {
    size_t bytes = sizeof(*this) + name_.size() + expandedNodes.capacity() * sizeof(void*) +
                   (expandedBefore.capacity() + expandedAfter.capacity()) / 8;
    for (const auto& part : parts_)
        bytes += part->Bytes();
    return bytes;
}

void TreeStep::Undo(TFlyNodes& tree) {
    // Redo comes back to the selection of this moment: it lies in the tree that redo makes.
    selectedAfter = tree.Selected();
    {
        const UpdateBracket bracket(tree);
        for (auto it = parts_.rbegin(); it != parts_.rend(); ++it)
            (*it)->Undo(tree);
        tree.SetExpandedStates(expandedNodes, expandedBefore);
    }
    // After the bracket, so that no selection stays no selection.
    tree.SetSelected(selectedBefore);
}

void TreeStep::Redo(TFlyNodes& tree) {
    {
        const UpdateBracket bracket(tree);
        for (auto& part : parts_)
            part->Redo(tree);
        tree.SetExpandedStates(expandedNodes, expandedAfter);
    }
    tree.SetSelected(selectedAfter);
}

// ---------------------------------------------------------------------------------------------
// EditHistory

EditHistory::EditHistory(TFlyNodes& tree, size_t limitBytes)
    : tree_(tree), limitBytes_(limitBytes) {
    if (limitBytes_ == 0)
        limitBytes_ = std::clamp(MemoryBudget() / 4, size_t{64} << 20, size_t{4} << 30);
    version_ = tree_.StructureVersion();
    tree_.AddObserver(this);
}

EditHistory::~EditHistory() {
    tree_.RemoveObserver(this);
}

void EditHistory::Push(std::unique_ptr<TreeStep> step) {
    if (!step || step->Empty()) {
        // A command that changed nothing it needs to undo, such as a sort of a sorted list: the
        // tree is as the steps expect it.
        version_ = tree_.StructureVersion();
        return;
    }
    redo_.clear();
    const size_t bytes = step->Bytes();
    undo_.push_back({std::move(step), nextId_++, bytes});
    heldBytes_ += bytes;
    while (heldBytes_ > limitBytes_ && !undo_.empty())
        dropOldest();
    version_ = tree_.StructureVersion();
    rebuildOnTop_ = false;
    changed();
}

void EditHistory::changed() {
    if (OnChanged)
        OnChanged();
}

void EditHistory::dropOldest() {
    baseId_ = undo_.front().id;
    heldBytes_ -= undo_.front().bytes;
    undo_.pop_front();
}

bool EditHistory::StillApplies() {
    if (undo_.empty() && redo_.empty())
        return true;
    // A rebuild is recorded while the new tree is still being made; it applies to whatever
    // tree there is, as it exchanges the whole of it.
    if (rebuildOnTop_ || tree_.StructureVersion() == version_)
        return true;
    Clear();
    return false;
}

bool EditHistory::CanUndo() const {
    return !undo_.empty() && (rebuildOnTop_ || tree_.StructureVersion() == version_);
}

bool EditHistory::CanRedo() const {
    return !redo_.empty() && tree_.StructureVersion() == version_;
}

std::string EditHistory::UndoName() const {
    return CanUndo() ? undo_.back().step->Name() : std::string();
}

std::string EditHistory::RedoName() const {
    return CanRedo() ? redo_.back().step->Name() : std::string();
}

void EditHistory::Undo() {
    if (!StillApplies() || undo_.empty())
        return;
    Entry entry = std::move(undo_.back());
    undo_.pop_back();
    heldBytes_ -= entry.bytes;
    entry.step->Undo(tree_);
    heldBytes_ += entry.bytes;
    redo_.push_back(std::move(entry));
    version_ = tree_.StructureVersion();
    rebuildOnTop_ = false;
    changed();
}

void EditHistory::Redo() {
    if (!StillApplies() || redo_.empty())
        return;
    Entry entry = std::move(redo_.back());
    redo_.pop_back();
    entry.step->Redo(tree_);
    undo_.push_back(std::move(entry));
    version_ = tree_.StructureVersion();
    rebuildOnTop_ = false;
    changed();
}

void EditHistory::Clear() {
    if (!undo_.empty())
        baseId_ = nextId_++; // a state none of the kept steps leads back to
    undo_.clear();
    redo_.clear();
    heldBytes_ = 0;
    version_ = tree_.StructureVersion();
    rebuildOnTop_ = false;
    changed();
}

uint64_t EditHistory::StateId() const {
    return undo_.empty() ? baseId_ : undo_.back().id;
}

bool EditHistory::keepClearedTree() {
    // Checked before the clear changes anything: the steps so far end at the tree as it is.
    StillApplies();
    return true;
}

void EditHistory::treeCleared(std::vector<std::unique_ptr<TFlyNode>> roots, TFlyNode* selected) {
    if (roots.empty() && undo_.empty() && redo_.empty())
        return; // nothing was there, and nothing to go back to
    auto step = std::make_unique<TreeStep>(std::string(kRebuildName));
    step->selectedBefore = selected;
    step->Add(std::make_unique<ForestPart>(std::move(roots)));
    Push(std::move(step));
    if (!undo_.empty() && undo_.back().step->Name() == kRebuildName) {
        rebuildOnTop_ = true;
        changed();
    }
}

// ---------------------------------------------------------------------------------------------
// StepRecorder

StepRecorder::StepRecorder(TFlyNodes& tree, EditHistory* history, std::string name)
    : tree_(tree), history_(history) {
    if (!history_)
        return;
    // Whatever the command does builds on the tree as the history knows it, or on none.
    history_->StillApplies();
    step_ = std::make_unique<TreeStep>(std::move(name));
    step_->selectedBefore = tree_.Selected();
}

StepRecorder::~StepRecorder() {
    try {
        Commit();
    } catch (...) {
        // The change stands without its undo; nothing better is possible here.
    }
}

void StepRecorder::Remove(TFlyNode* node) {
    if (!node)
        return;
    if (!step_) {
        node->Delete();
        return;
    }
    TFlyNode* parent = node->Parent();
    const int index = ownerOf(tree_, parent).IndexOfChild(node);
    const bool parentWasExpanded = parent && parent->Expanded();
    std::unique_ptr<TFlyNode> held = node->Detach();
    step_->Add(
        std::make_unique<SubtreePart>(node, parent, index, std::move(held), parentWasExpanded));
}

void StepRecorder::RemoveChildren(TFlyNode* node) {
    if (!step_) {
        if (node)
            node->DeleteChildren();
        return;
    }
    if (ownerOf(tree_, node).Count() == 0)
        return;
    const bool wasExpanded = node && node->Expanded();
    step_->Add(
        std::make_unique<RemovedChildrenPart>(node, tree_.DetachChildren(node), wasExpanded));
}

void StepRecorder::Added(TFlyNode* node) {
    if (!step_ || !node)
        return;
    TFlyNode* parent = node->Parent();
    const TTreeCollection& owner = ownerOf(tree_, parent);
    const int last = owner.Count() - 1;
    const int index = owner.Child(last) == node ? last : owner.IndexOfChild(node);
    step_->Add(std::make_unique<SubtreePart>(node, parent, index, nullptr, false));
}

void StepRecorder::MoveChild(TFlyNode* parent, int from, int to) {
    const uint64_t before = tree_.StructureVersion();
    moveChild(tree_, parent, from, to);
    if (step_ && tree_.StructureVersion() != before)
        step_->Add(std::make_unique<MovedPart>(parent, from, to));
}

void StepRecorder::SwapRoots(int a, int b) {
    const uint64_t before = tree_.StructureVersion();
    tree_.SwapRoots(a, b);
    if (step_ && tree_.StructureVersion() != before)
        step_->Add(std::make_unique<SwappedRootsPart>(a, b));
}

void StepRecorder::SetCaption(TFlyNode* node, std::string_view caption, std::string_view weight) {
    if (step_)
        step_->Add(std::make_unique<CaptionPart>(node, std::string(node->Text()),
                                                 std::string(node->Cells(1))));
    node->SetText(caption);
    node->SetCells(1, weight);
}

void StepRecorder::Sort(TFlyNode* node) {
    if (!step_) {
        if (node)
            node->AlphaSort();
        else
            tree_.AlphaSort();
        return;
    }
    std::vector<SortedSiblings> sorted;
    tree_.AlphaSortNoting(node, sorted);
    if (!sorted.empty())
        step_->Add(std::make_unique<SortedPart>(node, std::move(sorted)));
}

void StepRecorder::keep(TFlyNode* node) {
    if (kept_.insert(node).second) {
        step_->expandedNodes.push_back(node);
        step_->expandedBefore.push_back(node->Expanded());
    }
}

void StepRecorder::KeepExpansion(TFlyNode* node, bool withSubtree) {
    if (!step_ || !node)
        return;
    for (TFlyNode* ancestor = node->Parent(); ancestor; ancestor = ancestor->Parent())
        keep(ancestor);
    if (!withSubtree) {
        keep(node);
        return;
    }
    // The node itself even without children: it may gain some and open in the same command.
    keep(node);
    std::vector<TFlyNode*> pending{node};
    while (!pending.empty()) {
        TFlyNode* next = pending.back();
        pending.pop_back();
        if (next->Count() == 0)
            continue;
        keep(next);
        for (int i = next->Count() - 1; i >= 0; --i)
            pending.push_back(next->Child(i));
    }
}

void StepRecorder::KeepAllExpansion() {
    for (int i = 0; i < tree_.Count(); ++i)
        KeepExpansion(tree_.Root(i), true);
}

void StepRecorder::Commit() {
    if (!step_)
        return;
    std::unique_ptr<TreeStep> step = std::move(step_);
    step->selectedAfter = tree_.Selected();
    // Only the states that changed are kept.
    std::vector<TFlyNode*> nodes;
    std::vector<bool> before;
    for (size_t i = 0; i < step->expandedNodes.size(); ++i) {
        TFlyNode* node = step->expandedNodes[i];
        if (node->Expanded() != step->expandedBefore[i]) {
            nodes.push_back(node);
            before.push_back(step->expandedBefore[i]);
            step->expandedAfter.push_back(node->Expanded());
        }
    }
    nodes.shrink_to_fit();
    step->expandedNodes = std::move(nodes);
    step->expandedBefore = std::move(before);
    kept_.clear();
    history_->Push(std::move(step));
}

} // namespace settree
