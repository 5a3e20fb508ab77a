// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "model/flynode.h"

namespace settree {

// One change of the tree that can be undone and redone: what a command changed, described by
// the parts it is made of (subtrees taken out and kept, subtrees added, moves as positions,
// sorts as the orders they replaced, expanded states, captions), never by a copy of the tree.
class TreeStep {
public:
    // A part of a step. Undo runs the parts from last to first, redo from first to last; each
    // part finds the tree exactly as its own change left it (or before it, for redo).
    class Part {
    public:
        virtual ~Part() = default;
        virtual void Undo(TFlyNodes& tree) = 0;
        virtual void Redo(TFlyNodes& tree) = 0;
        // The memory the part holds, nodes kept aside included.
        virtual size_t Bytes() const = 0;
    };

    explicit TreeStep(std::string name) : name_(std::move(name)) {}
    const std::string& Name() const { return name_; }
    bool Empty() const { return parts_.empty() && expandedNodes.empty(); }
    size_t Bytes() const;
    void Add(std::unique_ptr<Part> part) { parts_.push_back(std::move(part)); }

    // The node selected before the change, and after it (as the change left it, or as the user
    // left it when the change was last undone).
    TFlyNode* selectedBefore = nullptr;
    TFlyNode* selectedAfter = nullptr;
    // Expanded states of existing nodes that the change altered, before and after.
    std::vector<TFlyNode*> expandedNodes;
    std::vector<bool> expandedBefore;
    std::vector<bool> expandedAfter;

    void Undo(TFlyNodes& tree);
    void Redo(TFlyNodes& tree);

private:
    std::string name_;
    std::vector<std::unique_ptr<Part>> parts_;
};

// The undo and redo lists of one tree. Steps are kept within a memory bound: when a new step
// passes it, the oldest steps go first. A rebuild of the whole tree (text, file or catalog)
// becomes a step of its own: the old tree is moved aside whole, not destroyed.
//
// The history must be destroyed before its tree: its steps hold nodes of that tree.
class EditHistory : private TreeObserver {
public:
    static constexpr std::string_view kRebuildName = "Rebuild";

    // limitBytes: the memory the steps may hold; 0 takes a share of the machine's memory.
    explicit EditHistory(TFlyNodes& tree, size_t limitBytes = 0);
    ~EditHistory() override;
    EditHistory(const EditHistory&) = delete;
    EditHistory& operator=(const EditHistory&) = delete;

    TFlyNodes& Tree() { return tree_; }

    // Called whenever the lists change: a step taken, undone or redone, the history cleared.
    std::function<void()> OnChanged;

    // Takes a step made by a command; the redo list is cleared. An empty step changes nothing in
    // the lists, but tells that the command left the tree as the steps expect it.
    void Push(std::unique_ptr<TreeStep> step);

    // True when the tree is as the last step left it; otherwise the steps cannot apply and the
    // history is cleared. A command checks it before it changes the tree.
    bool StillApplies();

    bool CanUndo() const;
    bool CanRedo() const;
    // The names of the steps that Undo and Redo would take back or make again ("" when none).
    std::string UndoName() const;
    std::string RedoName() const;
    void Undo();
    void Redo();
    void Clear();

    // Identifies the tree's state among those the history can reach: equal after Undo and Redo
    // bring the tree back to a state, different after any other step.
    uint64_t StateId() const;
    size_t HeldBytes() const { return heldBytes_; }
    size_t LimitBytes() const { return limitBytes_; }

private:
    struct Entry {
        std::unique_ptr<TreeStep> step;
        uint64_t id;
        size_t bytes;
    };

    bool keepClearedTree() override;
    void treeCleared(std::vector<std::unique_ptr<TFlyNode>> roots, TFlyNode* selected) override;
    void dropOldest();
    void changed();

    TFlyNodes& tree_;
    size_t limitBytes_;
    std::deque<Entry> undo_;
    std::vector<Entry> redo_;
    size_t heldBytes_ = 0;
    uint64_t nextId_ = 1;
    uint64_t baseId_ = 0; // the state below the oldest step kept
    uint64_t version_ = 0;
    bool rebuildOnTop_ = false;
};

// Records one command's change while the command makes it, and hands the step to the history at
// the end (or when it goes out of scope, so that a command that fails half way leaves what it
// did undoable). Without a history nothing is recorded: nodes are deleted as usual.
class StepRecorder {
public:
    StepRecorder(TFlyNodes& tree, EditHistory* history, std::string name);
    ~StepRecorder();
    StepRecorder(const StepRecorder&) = delete;
    StepRecorder& operator=(const StepRecorder&) = delete;

    bool Recording() const { return step_ != nullptr; }

    // Delete: node with its subtree, kept aside while recording.
    void Remove(TFlyNode* node);
    // Delete Children: every child of node (of the roots when node is none).
    void RemoveChildren(TFlyNode* node);
    // A subtree that the command has just added (AddChild, CopySubtree).
    void Added(TFlyNode* node);
    // MoveChild of the children of parent (of the roots when parent is none).
    void MoveChild(TFlyNode* parent, int from, int to);
    void SwapRoots(int a, int b);
    // A new caption and weight for node.
    void SetCaption(TFlyNode* node, std::string_view caption, std::string_view weight);
    // AlphaSort of node (of the whole tree when node is none).
    void Sort(TFlyNode* node);
    // Before the command changes them: the expanded states of node and its ancestors, and of
    // its whole subtree with withSubtree. A node named twice keeps its first state.
    void KeepExpansion(TFlyNode* node, bool withSubtree);
    // The same for every node of the tree.
    void KeepAllExpansion();

    // Hands the step to the history; nothing more is recorded after it.
    void Commit();

private:
    void keep(TFlyNode* node);

    TFlyNodes& tree_;
    EditHistory* history_;
    std::unique_ptr<TreeStep> step_;
    std::unordered_set<const TFlyNode*> kept_;
};

} // namespace settree
