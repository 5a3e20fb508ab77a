// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "model/textarena.h"

namespace settree {

class TFlyNode;
class TTreeCollection;
class TFlyNodes;

// Raised by the tree store for a call it cannot serve ("Invalid index").
class ERapidTreeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class TSortType { stNone = 0, stData = 1, stText = 2, stBoth = 3 };

// What the tree view, and any other listener, hears from the store. With no observer attached
// the store runs headless.
class TreeObserver {
public:
    virtual ~TreeObserver() = default;
    // The row list changed (or may have): lay out again and repaint. Never sent while an update
    // bracket is open; the outermost EndUpdate sends it once.
    virtual void rowsChanged() {}
    // A node's text, cells or pictures changed; its cached row height has been dropped.
    virtual void nodeChanged(TFlyNode* /*node*/) {}
    // A node is about to leave the tree: destroyed, or taken out with its subtree and kept aside
    // (sent for every node of the subtree, children before their parent).
    virtual void nodeDeleting(TFlyNode* /*node*/) {}
    // The selected node changed.
    virtual void selectionChanged() {}
    // The whole tree is about to be cleared (a rebuild from text or a file), nothing changed yet.
    // A listener that wants the old roots answers true; the first that does gets them in
    // treeCleared, detached with their subtrees, with the node that was selected, instead of
    // their being destroyed.
    virtual bool keepClearedTree() { return false; }
    virtual void treeCleared(std::vector<std::unique_ptr<TFlyNode>> /*roots*/,
                             TFlyNode* /*selected*/) {}
};

// The new order of one sorted sibling list, as the positions its nodes had before the sort: the
// node now at index i was at previous[i].
struct SortedSiblings {
    TTreeCollection* owner;
    std::vector<uint32_t> previous;
};

// A short byte string kept inside the object (up to 15 bytes, as weights are), longer ones on
// the heap; 16 bytes in all.
class ShortText {
public:
    ShortText() = default;
    ~ShortText() { release(); }
    ShortText(const ShortText&) = delete;
    ShortText& operator=(const ShortText&) = delete;
    std::string_view view() const;
    void assign(std::string_view text);

private:
    void release();
    static constexpr unsigned char kOnHeap = 0xff;
    // Local text, or (size_ kOnHeap) the heap block's address and length.
    char bytes_[15] = {};
    unsigned char size_ = 0;
};

// Common base of a node and of the root collection: an ordered list of owned child nodes, a
// caption and a tag.
class TTreeCollection {
public:
    TTreeCollection(const TTreeCollection&) = delete;
    TTreeCollection& operator=(const TTreeCollection&) = delete;

    int Count() const { return static_cast<int>(children_.size()); }
    // The child at i, or none outside 0 to Count - 1.
    TFlyNode* Child(int i) const;
    // Position of node among the children, -1 when it is not one of them. Walks the list.
    int IndexOfChild(const TFlyNode* node) const;

    std::string_view Text() const { return {text_, textSize_}; }
    int32_t Data() const { return data_; }
    void SetData(int32_t data) { data_ = data; }

protected:
    // Only as a node or the root collection; never deleted through this base, which has no
    // virtual functions so that a node stays small.
    TTreeCollection() = default;
    ~TTreeCollection();
    // Replaces the text; its blocks come from arena, or from the heap when arena is none.
    void assignText(std::string_view text, TextArena* arena);
    // Moves the child at from so that it ends at index to; false when nothing moved.
    bool moveChild(int from, int to);

    friend class TFlyNodes;
    friend class TFlyNode;
    std::vector<std::unique_ptr<TFlyNode>> children_;
    // The caption in a block of its own size: no spare capacity, no small-buffer space. A node's
    // block comes from its tree's text arena and is given back by the node.
    char* text_ = nullptr;
    uint32_t textSize_ = 0;
    int32_t data_ = 0;
};

// One element: caption (Text), cells (index 1 is the weight), pictures, expanded state.
class TFlyNode final : public TTreeCollection {
public:
    ~TFlyNode();

    TFlyNodes& Tree() const { return *tree_; }
    // The parent node, none for a root.
    TFlyNode* Parent() const { return parent_; }
    // The collection this node is listed in: its parent, or the root collection for a root.
    TTreeCollection& Owner() const;
    // Depth counted from 0 for a root. Walks the ancestors.
    int Level() const;
    bool HasAsParent(const TFlyNode* ancestor) const; // ancestor is this node or above it

    void SetText(std::string_view text);
    // Moves the child at from so that it ends at index to. Nothing happens when the two are
    // equal or either lies outside 0 to Count - 1.
    void MoveChild(int from, int to);

    // The cell at col, "" beyond the stored entries.
    std::string_view Cells(int col) const;
    // Appends empty entries until col exists, stores text there; col 0 also sets Text.
    void SetCells(int col, std::string_view text);
    int CellCount() const;
    // All cells joined, each followed by CR LF; assigning replaces the cells by the lines.
    std::string CellsText() const;
    void SetCellsText(std::string_view text);

    int32_t ImageIndex() const;
    void SetImageIndex(int32_t index);
    int32_t SelectedIndex() const;
    void SetSelectedIndex(int32_t index);
    int32_t StateIndex() const { return 0; }
    bool Hidden() const { return false; }
    int32_t UniqueTag() const { return -1; }

    bool Expanded() const { return expanded_; }
    void Expand(bool recursive);
    void Collapse(bool recursive);
    // Deletes this node with its whole subtree. The node is gone afterwards.
    void Delete();
    // Takes this node with its whole subtree out of the tree, as Delete does (the selection
    // rules, the parent's expanded state, the notices), but hands it to the caller instead of
    // destroying it: the nodes keep their captions, cells and expanded states and can be put
    // back with TFlyNodes::Attach. They still belong to this tree and must not outlive it.
    std::unique_ptr<TFlyNode> Detach();
    void DeleteChildren();
    // Sorts the children, and those of every descendant, by the tree's comparison.
    void AlphaSort();

    void BeginUpdate();
    void EndUpdate();
    void Clear() { DeleteChildren(); }

    // Row height cached by the tree view; -1 when unknown. Dropped whenever the text or the
    // cells are written.
    int32_t CachedRowHeight() const { return cachedRowHeight_; }
    void SetCachedRowHeight(int32_t height) const { cachedRowHeight_ = height; }

    // Nodes come from a pool of equal-sized blocks: a large tree is mostly nodes.
    static void* operator new(size_t size);
    static void operator delete(void* block, size_t size) noexcept;

private:
    friend class TFlyNodes;
    TFlyNode(TFlyNodes* tree, TFlyNode* parent, std::string_view text, int32_t data);
    void changed();
    // Removes this node from its owner's children and returns it; the parent stops being
    // expanded when this was its last child.
    std::unique_ptr<TFlyNode> takeOut();
    // Expands every collapsed ancestor; true when any changed.
    bool expandAncestors();
    // Sets Expanded on every descendant that has children; true when any changed.
    bool setDescendantsExpanded(bool expanded);
    // Moves the cells into the general list, which every write beyond the weight needs.
    std::vector<std::string>& generalCells();

    TFlyNodes* tree_;
    TFlyNode* parent_;
    // The cells are nearly always an empty caption cell and the weight: kept as a count (0, 1
    // or 2) and the weight, and only otherwise as a general list held by the tree.
    ShortText weight_;
    mutable int32_t cachedRowHeight_ = -1;
    mutable int32_t row_ = -1; // position in the row list when that list is current
    uint8_t cellCount_ = 0;
    bool expanded_ = false;
    bool deleting_ = false;
    bool hasPictures_ = false;  // ImageIndex or SelectedIndex set to other than 0
    bool generalCells_ = false; // the cells are in the tree's general list
};

// The root collection of one tree, with the tree-level state: the selected node, the sort
// mode, the update brackets and the row list (the visible nodes in display order).
class TFlyNodes final : public TTreeCollection {
public:
    using DeletionHandler = std::function<void(TFlyNode*)>;
    // Negative, zero or positive as a sorts before, with or after b.
    using CompareHandler = std::function<int(TFlyNode*, TFlyNode*)>;

    TFlyNodes() = default;
    ~TFlyNodes();

    void SetText(std::string_view text) { assignText(text, nullptr); }
    // Moves the root at from so that it ends at index to (see TFlyNode::MoveChild).
    void MoveChild(int from, int to);

    // The root at i; none when i is at least Count. A negative i raises "Invalid index".
    TFlyNode* Root(int i) const;
    // Appends a node as the last child of parent, or as the last root when parent is none.
    TFlyNode* AddChild(TFlyNode* parent, std::string_view text);
    TFlyNode* AddChildObject(TFlyNode* parent, std::string_view text, int32_t data);

    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return updateCount_; }
    bool Updating() const { return updateCount_ > 0; }
    void Clear();
    // Sorts the roots and every node's children; does nothing inside an update bracket.
    void AlphaSort();

    TFlyNode* Selected() const { return selected_; }
    // Expands every collapsed ancestor of node (each without recursion), then selects it.
    void SetSelected(TFlyNode* node);

    TSortType SortType() const { return sortType_; }
    void SetSortType(TSortType type);

    void FullExpand();
    void FullCollapse();

    // The row list: visible nodes in display order. Computed when first asked after a change.
    const std::vector<TFlyNode*>& Rows() const;
    int RowCount() const { return static_cast<int>(Rows().size()); }
    // The node in row, none for a row without a node.
    TFlyNode* NodeAtRow(int row) const;
    // The row of node, -1 when it is not visible.
    int RowOf(const TFlyNode* node) const;
    // Cells[col] of the node in row; "" for a row without a node.
    std::string_view Cells(int col, int row) const;
    // Writes Cells[col] of the node in row; no change for a row without a node.
    void SetCells(int col, int row, std::string_view text);

    // Total number of nodes; walks the tree.
    int64_t NodeCount() const;

    DeletionHandler OnDeletion;
    CompareHandler OnCompare;

    // Listeners, told of every change in the order they were added. An observer must not be
    // added or removed while it is being told something.
    void AddObserver(TreeObserver* observer);
    void RemoveObserver(TreeObserver* observer);

    // Counts the changes to the tree's shape (nodes added, removed, moved or sorted): two equal
    // readings mean that every node is where it was.
    uint64_t StructureVersion() const { return structureVersion_; }

    // Takes all children of parent (the roots when parent is none) out of the tree, as
    // DeleteChildren does (the selection goes to parent, or to none for the roots; the parent
    // stops being expanded), and hands them over with their subtrees.
    std::vector<std::unique_ptr<TFlyNode>> DetachChildren(TFlyNode* parent);
    // Appends subtrees taken out by Detach or DetachChildren as children of parent (as roots
    // when parent is none), in their order.
    void AttachChildren(TFlyNode* parent, std::vector<std::unique_ptr<TFlyNode>> children);
    // Sets the expanded state of each node to the state at the same index (a node without
    // children stays collapsed), without touching its ancestors or descendants.
    void SetExpandedStates(const std::vector<TFlyNode*>& nodes, const std::vector<bool>& states);
    // AlphaSort of node (of the whole tree when node is none, inside an update bracket too),
    // noting in sorted the previous order of every sibling list whose order changed.
    void AlphaSortNoting(TFlyNode* node, std::vector<SortedSiblings>& sorted);
    // Puts a sibling list back into the order it had before a sort (see SortedSiblings).
    void RestoreOrder(const SortedSiblings& sorted);

    // Puts a subtree taken out by Detach back as the child at index of parent (a root when
    // parent is none); an index beyond the end appends. The subtree keeps its expanded states;
    // its nodes become visible as those states and the parent's allow.
    void Attach(std::unique_ptr<TFlyNode> node, TFlyNode* parent, int index);
    // Exchanges the places of the roots at a and b, each with its subtree. Nothing happens when
    // they are equal or either lies outside 0 to Count - 1.
    void SwapRoots(int a, int b);

private:
    friend class TFlyNode;
    friend class TTreeCollection;
    int compareNodes(TFlyNode* a, TFlyNode* b) const;
    void sortSiblings(std::vector<std::unique_ptr<TFlyNode>>& list) const;
    // Sorts the children of top and of every node below it; with noted, records the lists whose
    // order changed.
    void sortSubtree(TTreeCollection& top, std::vector<SortedSiblings>* noted = nullptr);
    // Deletes the children of owner from index first on, each with its subtree, first to last.
    void destroySubtrees(TTreeCollection& owner, size_t first);
    void notifyDeleting(TFlyNode* node);
    // Moves the selection out of node's subtree when it lies there (see TFlyNode::Delete).
    void moveSelectionOutOf(TFlyNode* node);
    // Sends the leaving notice for every node of a subtree, children before their parent.
    void notifySubtreeDeleting(TFlyNode* top, bool deleting);
    template <class Notice> void notify(Notice notice) const {
        for (TreeObserver* observer : observers_)
            notice(*observer);
    }
    // After an addition, deletion, move or clear: rows out of date, first-row rule, notify.
    void structureChanged();
    void rowsChanged();
    void applyFirstRowRule();
    void setSelectedQuietly(TFlyNode* node);
    // Makes the row list from the expanded state; with openAll, first expands every node that
    // has children on the way.
    void buildRows(bool openAll) const;

    TextArena texts_; // the captions of the nodes; destroyed after them
    // ImageIndex and SelectedIndex of the few nodes where they are not 0.
    std::unordered_map<const TFlyNode*, std::pair<int32_t, int32_t>> pictures_;
    // The cells of the few nodes whose cells are more than the weight.
    std::unordered_map<const TFlyNode*, std::vector<std::string>> cells_;
    TFlyNode* selected_ = nullptr;
    std::vector<TreeObserver*> observers_;
    TSortType sortType_ = TSortType::stNone;
    int updateCount_ = 0;
    uint64_t structureVersion_ = 0;
    bool destroying_ = false;
    mutable bool rowsValid_ = true;
    mutable std::vector<TFlyNode*> rows_;
};

// Holds an update bracket of a tree open for its lifetime, and closes it on every way out.
class UpdateBracket {
public:
    explicit UpdateBracket(TFlyNodes& tree) : tree_(tree) { tree_.BeginUpdate(); }
    ~UpdateBracket() { tree_.EndUpdate(); }
    UpdateBracket(const UpdateBracket&) = delete;
    UpdateBracket& operator=(const UpdateBracket&) = delete;

private:
    TFlyNodes& tree_;
};

} // namespace settree
