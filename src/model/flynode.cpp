// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/flynode.h"

#include "model/prefetch.h"
#include "model/textfile.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace settree {

namespace {

// Destroys a list of subtrees without recursing once per tree level: every node is detached
// from its children before it is destroyed, so no destructor walks down the tree.
// Walks over many nodes ask for the node this many steps ahead (see Prefetch).
constexpr size_t kWalkAhead = 16;

void destroyFlat(std::vector<std::unique_ptr<TFlyNode>>& list, size_t first,
                 std::vector<std::unique_ptr<TFlyNode>> TTreeCollection::*children) {
    std::vector<std::unique_ptr<TFlyNode>> pending;
    pending.reserve(list.size() - first);
    for (size_t i = first; i < list.size(); ++i)
        pending.push_back(std::move(list[i]));
    list.erase(list.begin() + static_cast<std::ptrdiff_t>(first), list.end());
    while (!pending.empty()) {
        std::unique_ptr<TFlyNode> node = std::move(pending.back());
        pending.pop_back();
        if (pending.size() > kWalkAhead)
            Prefetch(pending[pending.size() - kWalkAhead].get());
        auto& grand = (*node).*children;
        for (auto& child : grand)
            pending.push_back(std::move(child));
        grand.clear();
    }
}

// Equal-sized blocks for the nodes of every tree, carved from large slabs and reused through a
// free list. Nodes are only ever made and destroyed on the thread that owns the trees; a
// sanitizer build uses the ordinary heap so that every misuse of a node is still caught.
class NodePool {
public:
    void* allocate(size_t size) {
        if (size != kBlock)
            return ::operator new(size);
        if (!free_) {
            constexpr size_t kPerSlab = 2048;
            slabs_.push_back(std::make_unique<Block[]>(kPerSlab));
            Block* slab = slabs_.back().get();
            for (size_t i = kPerSlab; i-- > 0;) {
                slab[i].next = free_;
                free_ = &slab[i];
            }
        }
        Block* block = free_;
        free_ = block->next;
        return block;
    }
    void release(void* pointer, size_t size) noexcept {
        if (size != kBlock) {
            ::operator delete(pointer);
            return;
        }
        auto* block = static_cast<Block*>(pointer);
        block->next = free_;
        free_ = block;
    }

private:
    static constexpr size_t kBlock = sizeof(TFlyNode);
    union Block {
        Block* next;
        alignas(TFlyNode) unsigned char bytes[kBlock];
    };
    Block* free_ = nullptr;
    std::vector<std::unique_ptr<Block[]>> slabs_;
};

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kPooledNodes = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kPooledNodes = false;
#else
constexpr bool kPooledNodes = true;
#endif
#else
constexpr bool kPooledNodes = true;
#endif

NodePool& nodePool() {
    static NodePool* pool = new NodePool; // lives to the end of the program, as nodes may
    return *pool;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// ShortText

namespace {
struct HeapText {
    char* data;
    uint32_t size;
};
HeapText heapText(const char* bytes) {
    HeapText h{};
    std::memcpy(&h.data, bytes, sizeof h.data);
    std::memcpy(&h.size, bytes + sizeof h.data, sizeof h.size);
    return h;
}
} // namespace

std::string_view ShortText::view() const {
    if (size_ == kOnHeap) {
        const HeapText h = heapText(bytes_);
        return {h.data, h.size};
    }
    return {bytes_, size_};
}

void ShortText::release() {
    if (size_ == kOnHeap)
        delete[] heapText(bytes_).data;
    size_ = 0;
}

void ShortText::assign(std::string_view text) {
    if (text.size() > UINT32_MAX)
        throw std::length_error("text too long");
    if (text.size() <= sizeof bytes_) {
        char local[sizeof bytes_];
        if (!text.empty())
            std::memcpy(local, text.data(), text.size()); // text may lie in this object
        release();
        if (!text.empty())
            std::memcpy(bytes_, local, text.size());
        size_ = static_cast<unsigned char>(text.size());
        return;
    }
    char* data = new char[text.size()];
    std::memcpy(data, text.data(), text.size());
    release();
    const auto size = static_cast<uint32_t>(text.size());
    std::memcpy(bytes_, &data, sizeof data);
    std::memcpy(bytes_ + sizeof data, &size, sizeof size);
    size_ = kOnHeap;
}

// ---------------------------------------------------------------------------------------------
// TTreeCollection

TTreeCollection::~TTreeCollection() {
    destroyFlat(children_, 0, &TTreeCollection::children_);
    delete[] text_; // a node has given its block back to its tree already
}

TFlyNode* TTreeCollection::Child(int i) const {
    if (i < 0 || i >= Count())
        return nullptr;
    return children_[static_cast<size_t>(i)].get();
}

int TTreeCollection::IndexOfChild(const TFlyNode* node) const {
    for (size_t i = 0; i < children_.size(); ++i)
        if (children_[i].get() == node)
            return static_cast<int>(i);
    return -1;
}

bool TTreeCollection::moveChild(int from, int to) {
    const int n = Count();
    if (from == to || from < 0 || from >= n || to < 0 || to >= n)
        return false;
    auto first = children_.begin();
    if (from < to)
        std::rotate(first + from, first + from + 1, first + to + 1);
    else
        std::rotate(first + to, first + from, first + from + 1);
    return true;
}

void TTreeCollection::assignText(std::string_view text, TextArena* arena) {
    if (text.size() > UINT32_MAX)
        throw std::length_error("text too long");
    char* data = nullptr;
    if (!text.empty()) {
        data = arena ? arena->allocate(text.size()) : new char[text.size()];
        std::memcpy(data, text.data(), text.size()); // text may be this very caption
    }
    if (arena)
        arena->release(text_, textSize_);
    else
        delete[] text_;
    text_ = data;
    textSize_ = static_cast<uint32_t>(text.size());
}

// ---------------------------------------------------------------------------------------------
// TFlyNode

TFlyNode::TFlyNode(TFlyNodes* tree, TFlyNode* parent, std::string_view text, int32_t data)
    : tree_(tree), parent_(parent) {
    assignText(text, &tree_->texts_);
    data_ = data;
}

void TFlyNode::MoveChild(int from, int to) {
    if (moveChild(from, to))
        tree_->structureChanged();
}

void TFlyNodes::MoveChild(int from, int to) {
    if (moveChild(from, to))
        structureChanged();
}

TFlyNode::~TFlyNode() {
    if (hasPictures_)
        tree_->pictures_.erase(this);
    if (generalCells_)
        tree_->cells_.erase(this);
    tree_->texts_.release(text_, textSize_);
    text_ = nullptr;
}

void* TFlyNode::operator new(size_t size) {
    return kPooledNodes ? nodePool().allocate(size) : ::operator new(size);
}

void TFlyNode::operator delete(void* block, size_t size) noexcept {
    if (kPooledNodes)
        nodePool().release(block, size);
    else
        ::operator delete(block);
}

TTreeCollection& TFlyNode::Owner() const {
    if (parent_)
        return *parent_;
    return *tree_;
}

int TFlyNode::Level() const {
    int level = 0;
    for (const TFlyNode* p = parent_; p; p = p->parent_)
        ++level;
    return level;
}

bool TFlyNode::HasAsParent(const TFlyNode* ancestor) const {
    for (const TFlyNode* p = this; p; p = p->parent_)
        if (p == ancestor)
            return true;
    return false;
}

void TFlyNode::changed() {
    cachedRowHeight_ = -1;
    tree_->notify([this](TreeObserver& o) { o.nodeChanged(this); });
}

void TFlyNode::SetText(std::string_view text) {
    assignText(text, &tree_->texts_);
    changed();
}

std::string_view TFlyNode::Cells(int col) const {
    if (col < 0)
        return {};
    if (generalCells_) {
        const std::vector<std::string>& cells = tree_->cells_.at(this);
        return static_cast<size_t>(col) < cells.size() ? cells[static_cast<size_t>(col)]
                                                       : std::string_view();
    }
    return col == 1 && cellCount_ >= 2 ? weight_.view() : std::string_view();
}

int TFlyNode::CellCount() const {
    return generalCells_ ? static_cast<int>(tree_->cells_.at(this).size()) : cellCount_;
}

std::vector<std::string>& TFlyNode::generalCells() {
    if (!generalCells_) {
        std::vector<std::string> cells(cellCount_);
        if (cellCount_ >= 2)
            cells[1] = std::string(weight_.view());
        tree_->cells_[this] = std::move(cells);
        weight_.assign({});
        cellCount_ = 0;
        generalCells_ = true;
    }
    return tree_->cells_.at(this);
}

void TFlyNode::SetCells(int col, std::string_view text) {
    if (col < 0)
        return;
    const auto index = static_cast<size_t>(col);
    if (index == 1 && !generalCells_) {
        weight_.assign(text);
        cellCount_ = 2;
    } else {
        std::vector<std::string>& cells = generalCells();
        if (cells.size() <= index)
            cells.resize(index + 1);
        cells[index] = std::string(text);
        if (index == 0)
            assignText(cells[0], &tree_->texts_);
    }
    changed();
}

std::string TFlyNode::CellsText() const {
    std::string text;
    for (int col = 0; col < CellCount(); ++col)
        text.append(Cells(col)).append("\r\n");
    return text;
}

void TFlyNode::SetCellsText(std::string_view text) {
    std::vector<std::string> lines = SplitLines(text);
    generalCells() = std::move(lines);
    changed();
}

int32_t TFlyNode::ImageIndex() const {
    if (!hasPictures_)
        return 0;
    return tree_->pictures_.at(this).first;
}

int32_t TFlyNode::SelectedIndex() const {
    if (!hasPictures_)
        return 0;
    return tree_->pictures_.at(this).second;
}

void TFlyNode::SetImageIndex(int32_t index) {
    if (index != 0 || hasPictures_) {
        tree_->pictures_[this].first = index;
        hasPictures_ = true;
    }
    changed();
}

void TFlyNode::SetSelectedIndex(int32_t index) {
    if (index != 0 || hasPictures_) {
        tree_->pictures_[this].second = index;
        hasPictures_ = true;
    }
    changed();
}

void TFlyNode::Expand(bool recursive) {
    bool changedRows = expandAncestors();
    if (!children_.empty() && !expanded_) {
        expanded_ = true;
        changedRows = true;
    }
    if (recursive && setDescendantsExpanded(true))
        changedRows = true;
    if (changedRows)
        tree_->rowsChanged();
}

void TFlyNode::Collapse(bool recursive) {
    if (children_.empty())
        return;
    bool changedRows = expanded_;
    expanded_ = false;
    TFlyNode* selected = tree_->selected_;
    if (selected && selected != this && selected->HasAsParent(this))
        tree_->setSelectedQuietly(this);
    if (recursive && setDescendantsExpanded(false))
        changedRows = true;
    if (changedRows)
        tree_->rowsChanged();
}

bool TFlyNode::expandAncestors() {
    // Outermost first, so that each expanded ancestor is visible when it opens.
    std::vector<TFlyNode*> ancestors;
    for (TFlyNode* p = parent_; p; p = p->parent_)
        ancestors.push_back(p);
    bool changed = false;
    for (auto it = ancestors.rbegin(); it != ancestors.rend(); ++it) {
        if (!(*it)->expanded_) {
            (*it)->expanded_ = true;
            changed = true;
        }
    }
    return changed;
}

bool TFlyNode::setDescendantsExpanded(bool expanded) {
    // Only a node with children is ever expanded.
    bool changed = false;
    std::vector<TFlyNode*> pending;
    for (auto& child : children_)
        pending.push_back(child.get());
    while (!pending.empty()) {
        TFlyNode* node = pending.back();
        pending.pop_back();
        if (pending.size() > kWalkAhead)
            Prefetch(pending[pending.size() - kWalkAhead]);
        if (node->children_.empty())
            continue;
        if (node->expanded_ != expanded) {
            node->expanded_ = expanded;
            changed = true;
        }
        for (auto& child : node->children_)
            pending.push_back(child.get());
    }
    return changed;
}

void TFlyNodes::moveSelectionOutOf(TFlyNode* node) {
    // The selection leaves the subtree: next sibling, else the row above, else none.
    if (!selected_ || !selected_->HasAsParent(node))
        return;
    TFlyNode* next = nullptr;
    if (!Updating()) {
        TTreeCollection& owner = node->Owner();
        const int index = owner.IndexOfChild(node);
        if (index + 1 < owner.Count()) {
            next = owner.Child(index + 1);
        } else if (index > 0) {
            next = owner.Child(index - 1);
            while (next->expanded_ && !next->children_.empty())
                next = next->children_.back().get();
        } else {
            next = node->parent_;
        }
    }
    setSelectedQuietly(next);
}

std::unique_ptr<TFlyNode> TFlyNode::takeOut() {
    TTreeCollection& owner = Owner();
    const int index = owner.IndexOfChild(this);
    std::unique_ptr<TFlyNode> self = std::move(owner.children_[static_cast<size_t>(index)]);
    owner.children_.erase(owner.children_.begin() + index);
    if (parent_ && parent_->children_.empty())
        parent_->expanded_ = false;
    parent_ = nullptr;
    return self;
}

void TFlyNode::Delete() {
    if (deleting_)
        return;
    TFlyNodes& tree = *tree_;
    tree.moveSelectionOutOf(this);
    deleting_ = true;
    tree.destroySubtrees(*this, 0);
    tree.notifyDeleting(this);
    takeOut().reset(); // this node is gone from here on
    tree.structureChanged();
}

std::unique_ptr<TFlyNode> TFlyNode::Detach() {
    TFlyNodes& tree = *tree_;
    tree.moveSelectionOutOf(this);
    tree.notifySubtreeDeleting(this, false);
    std::unique_ptr<TFlyNode> self = takeOut();
    tree.structureChanged();
    return self;
}

void TFlyNode::DeleteChildren() {
    if (children_.empty())
        return;
    TFlyNodes& tree = *tree_;
    TFlyNode* selected = tree.selected_;
    const bool selectionInside = selected && selected != this && selected->HasAsParent(this);
    if (selectionInside)
        tree.setSelectedQuietly(tree.Updating() ? nullptr : this);
    tree.destroySubtrees(*this, 0);
    expanded_ = false;
    tree.structureChanged();
}

void TFlyNode::AlphaSort() {
    tree_->sortSubtree(*this);
    tree_->rowsChanged();
}

void TFlyNode::BeginUpdate() {
    tree_->BeginUpdate();
}
void TFlyNode::EndUpdate() {
    tree_->EndUpdate();
}

// ---------------------------------------------------------------------------------------------
// TFlyNodes

TFlyNodes::~TFlyNodes() {
    // The tree is going away with its view: nodes are destroyed without deletion events, here
    // while the picture table still exists.
    destroying_ = true;
    selected_ = nullptr;
    observers_.clear();
    destroyFlat(children_, 0, &TTreeCollection::children_);
}

TFlyNode* TFlyNodes::Root(int i) const {
    if (i < 0)
        throw ERapidTreeError("Invalid index");
    return Child(i);
}

TFlyNode* TFlyNodes::AddChild(TFlyNode* parent, std::string_view text) {
    return AddChildObject(parent, text, 0);
}

TFlyNode* TFlyNodes::AddChildObject(TFlyNode* parent, std::string_view text, int32_t data) {
    std::unique_ptr<TFlyNode> node(new TFlyNode(this, parent, text, data));
    TFlyNode* added = node.get();
    (parent ? parent->children_ : children_).push_back(std::move(node));
    ++structureVersion_;
    // The row list changes only when the new node is visible: a root, or a child of a visible,
    // expanded node. Rows already out of date are not recomputed here, so that many additions
    // outside a bracket stay linear.
    if (rowsValid_ && (!parent || (parent->expanded_ && RowOf(parent) >= 0)))
        rowsValid_ = false;
    if (!Updating()) {
        applyFirstRowRule();
        notify([](TreeObserver& o) { o.rowsChanged(); });
    }
    return added;
}

void TFlyNodes::BeginUpdate() {
    ++updateCount_;
}

void TFlyNodes::EndUpdate() {
    if (updateCount_ > 0)
        --updateCount_;
    if (updateCount_ == 0) {
        rowsValid_ = false;
        applyFirstRowRule();
        notify([](TreeObserver& o) { o.rowsChanged(); });
    }
}

void TFlyNodes::Clear() {
    for (TreeObserver* observer : observers_) {
        if (!observer->keepClearedTree())
            continue;
        TFlyNode* selected = selected_;
        setSelectedQuietly(nullptr);
        std::vector<std::unique_ptr<TFlyNode>> roots = DetachChildren(nullptr);
        observer->treeCleared(std::move(roots), selected);
        return;
    }
    setSelectedQuietly(nullptr);
    destroySubtrees(*this, 0);
    structureChanged();
}

std::vector<std::unique_ptr<TFlyNode>> TFlyNodes::DetachChildren(TFlyNode* parent) {
    TTreeCollection& owner = parent ? static_cast<TTreeCollection&>(*parent) : *this;
    std::vector<std::unique_ptr<TFlyNode>> children;
    if (owner.children_.empty())
        return children;
    if (selected_ && selected_ != parent && (!parent || selected_->HasAsParent(parent)))
        setSelectedQuietly(Updating() ? nullptr : parent);
    for (auto& child : owner.children_)
        notifySubtreeDeleting(child.get(), false);
    children.swap(owner.children_);
    for (auto& child : children)
        child->parent_ = nullptr;
    if (parent)
        parent->expanded_ = false;
    structureChanged();
    return children;
}

void TFlyNodes::AttachChildren(TFlyNode* parent, std::vector<std::unique_ptr<TFlyNode>> children) {
    if (children.empty())
        return;
    auto& list = parent ? parent->children_ : children_;
    list.reserve(list.size() + children.size());
    for (auto& child : children) {
        child->parent_ = parent;
        list.push_back(std::move(child));
    }
    structureChanged();
}

void TFlyNodes::SetExpandedStates(const std::vector<TFlyNode*>& nodes,
                                  const std::vector<bool>& states) {
    bool changed = false;
    for (size_t i = 0; i < nodes.size() && i < states.size(); ++i) {
        TFlyNode* node = nodes[i];
        const bool state = states[i] && !node->children_.empty();
        if (node->expanded_ != state) {
            node->expanded_ = state;
            changed = true;
        }
    }
    if (changed)
        rowsChanged();
}

void TFlyNodes::AlphaSortNoting(TFlyNode* node, std::vector<SortedSiblings>& sorted) {
    if (node) {
        sortSubtree(*node, &sorted);
        rowsChanged();
        return;
    }
    BeginUpdate();
    sortSubtree(*this, &sorted);
    EndUpdate();
}

void TFlyNodes::RestoreOrder(const SortedSiblings& sorted) {
    auto& list = sorted.owner->children_;
    if (sorted.previous.size() != list.size())
        return;
    std::vector<std::unique_ptr<TFlyNode>> restored(list.size());
    for (size_t i = 0; i < list.size(); ++i)
        restored[sorted.previous[i]] = std::move(list[i]);
    list.swap(restored);
    ++structureVersion_;
    rowsChanged();
}

void TFlyNodes::AlphaSort() {
    if (Updating())
        return;
    BeginUpdate();
    sortSubtree(*this);
    EndUpdate();
}

void TFlyNodes::SetSelected(TFlyNode* node) {
    if (node && node->expandAncestors())
        rowsChanged();
    setSelectedQuietly(node);
}

void TFlyNodes::setSelectedQuietly(TFlyNode* node) {
    if (selected_ == node)
        return;
    selected_ = node;
    notify([](TreeObserver& o) { o.selectionChanged(); });
}

void TFlyNodes::SetSortType(TSortType type) {
    if (type == sortType_)
        return;
    sortType_ = type;
    if (type == TSortType::stText || type == TSortType::stBoth ||
        (type == TSortType::stData && OnCompare))
        AlphaSort();
}

void TFlyNodes::FullExpand() {
    if (Updating()) {
        for (auto& root : children_)
            root->Expand(true);
        return;
    }
    // Every node opens, so the walk that opens them meets the nodes in row order: it makes the
    // row list on the way instead of a second walk over a large tree doing it afterwards.
    buildRows(true);
    applyFirstRowRule();
    notify([](TreeObserver& o) { o.rowsChanged(); });
}

void TFlyNodes::FullCollapse() {
    BeginUpdate();
    for (auto& root : children_)
        root->Collapse(true);
    EndUpdate();
}

const std::vector<TFlyNode*>& TFlyNodes::Rows() const {
    if (!rowsValid_)
        buildRows(false);
    return rows_;
}

void TFlyNodes::buildRows(bool openAll) const {
    rows_.clear();
    std::vector<TFlyNode*> pending;
    for (auto it = children_.rbegin(); it != children_.rend(); ++it)
        pending.push_back(it->get());
    while (!pending.empty()) {
        TFlyNode* node = pending.back();
        pending.pop_back();
        // The nodes a few places down the stack come next, unless this one opens children.
        if (pending.size() > kWalkAhead)
            Prefetch(pending[pending.size() - kWalkAhead]);
        if (openAll && !node->children_.empty())
            node->expanded_ = true; // only a node with children is ever expanded
        node->row_ = static_cast<int32_t>(rows_.size());
        rows_.push_back(node);
        if (node->expanded_) {
            for (auto it = node->children_.rbegin(); it != node->children_.rend(); ++it)
                pending.push_back(it->get());
            if (!node->children_.empty())
                Prefetch(node->children_.front().get());
        }
    }
    rowsValid_ = true;
}

TFlyNode* TFlyNodes::NodeAtRow(int row) const {
    const auto& rows = Rows();
    if (row < 0 || static_cast<size_t>(row) >= rows.size())
        return nullptr;
    return rows[static_cast<size_t>(row)];
}

int TFlyNodes::RowOf(const TFlyNode* node) const {
    if (!node)
        return -1;
    const auto& rows = Rows();
    const int32_t row = node->row_;
    if (row >= 0 && static_cast<size_t>(row) < rows.size() &&
        rows[static_cast<size_t>(row)] == node)
        return row;
    return -1;
}

std::string_view TFlyNodes::Cells(int col, int row) const {
    const TFlyNode* node = NodeAtRow(row);
    return node ? node->Cells(col) : std::string_view();
}

void TFlyNodes::SetCells(int col, int row, std::string_view text) {
    if (TFlyNode* node = NodeAtRow(row))
        node->SetCells(col, text);
}

int64_t TFlyNodes::NodeCount() const {
    int64_t count = 0;
    std::vector<const TFlyNode*> pending;
    for (auto& root : children_)
        pending.push_back(root.get());
    while (!pending.empty()) {
        const TFlyNode* node = pending.back();
        pending.pop_back();
        ++count;
        for (auto& child : node->children_)
            pending.push_back(child.get());
    }
    return count;
}

int TFlyNodes::compareNodes(TFlyNode* a, TFlyNode* b) const {
    if (sortType_ == TSortType::stData || sortType_ == TSortType::stBoth) {
        if (OnCompare)
            return OnCompare(a, b);
        return std::strcoll(std::string(a->Text()).c_str(), std::string(b->Text()).c_str());
    }
    // Unsigned bytes, shorter prefix first.
    return a->Text().compare(b->Text());
}

void TFlyNodes::sortSiblings(std::vector<std::unique_ptr<TFlyNode>>& list) const {
    if (list.size() < 2)
        return;
    // The partition sort of the tree: pivot in the middle, not stable. The left part is
    // sorted before the right one; both are independent, so pending ranges wait on a stack
    // instead of the machine stack.
    std::vector<std::pair<int, int>> ranges{{0, static_cast<int>(list.size()) - 1}};
    auto at = [&list](int i) { return list[static_cast<size_t>(i)].get(); };
    while (!ranges.empty()) {
        auto [left, right] = ranges.back();
        ranges.pop_back();
        int i = 0;
        do {
            i = left;
            int j = right;
            TFlyNode* pivot = at((left + right) / 2);
            do {
                while (compareNodes(at(i), pivot) < 0 && i < right)
                    ++i;
                while (compareNodes(at(j), pivot) > 0 && j > left)
                    --j;
                if (i <= j) {
                    std::swap(list[static_cast<size_t>(i)], list[static_cast<size_t>(j)]);
                    ++i;
                    --j;
                }
            } while (i <= j);
            if (left < j)
                ranges.emplace_back(left, j);
            left = i;
        } while (i < right);
    }
}

void TFlyNodes::sortSubtree(TTreeCollection& top, std::vector<SortedSiblings>* noted) {
    ++structureVersion_;
    std::vector<TTreeCollection*> pending{&top};
    while (!pending.empty()) {
        TTreeCollection* collection = pending.back();
        pending.pop_back();
        auto& list = collection->children_;
        if (noted && list.size() > 1) {
            // Each node's place before the sort, kept in its row field for the moment; the
            // rows are made again after a sort in any case.
            for (size_t i = 0; i < list.size(); ++i)
                list[i]->row_ = static_cast<int32_t>(i);
            sortSiblings(list);
            bool moved = false;
            for (size_t i = 0; i < list.size() && !moved; ++i)
                moved = list[i]->row_ != static_cast<int32_t>(i);
            if (moved) {
                SortedSiblings order{collection, std::vector<uint32_t>(list.size())};
                for (size_t i = 0; i < list.size(); ++i)
                    order.previous[i] = static_cast<uint32_t>(list[i]->row_);
                noted->push_back(std::move(order));
            }
            rowsValid_ = false;
        } else {
            sortSiblings(list);
        }
        for (auto it = collection->children_.rbegin(); it != collection->children_.rend(); ++it)
            if (!(*it)->children_.empty())
                pending.push_back(it->get());
    }
}

void TFlyNodes::notifyDeleting(TFlyNode* node) {
    if (OnDeletion)
        OnDeletion(node);
    notify([node](TreeObserver& o) { o.nodeDeleting(node); });
}

void TFlyNodes::notifySubtreeDeleting(TFlyNode* top, bool deleting) {
    // Nobody to tell: a large subtree goes without a walk over it.
    if (observers_.empty() && !(deleting && OnDeletion))
        return;
    struct Frame {
        TFlyNode* node;
        size_t next;
    };
    std::vector<Frame> frames{{top, 0}};
    if (deleting)
        top->deleting_ = true;
    while (!frames.empty()) {
        Frame& frame = frames.back();
        if (frame.next < frame.node->children_.size()) {
            TFlyNode* child = frame.node->children_[frame.next++].get();
            if (deleting)
                child->deleting_ = true;
            frames.push_back({child, 0});
        } else {
            TFlyNode* done = frame.node;
            frames.pop_back();
            if (deleting)
                notifyDeleting(done);
            else
                notify([done](TreeObserver& o) { o.nodeDeleting(done); });
        }
    }
}

void TFlyNodes::destroySubtrees(TTreeCollection& owner, size_t first) {
    // Deletion events for each node, children first to last before their parent.
    for (size_t i = first; i < owner.children_.size(); ++i)
        notifySubtreeDeleting(owner.children_[i].get(), true);
    destroyFlat(owner.children_, first, &TTreeCollection::children_);
}

void TFlyNodes::AddObserver(TreeObserver* observer) {
    if (observer && std::find(observers_.begin(), observers_.end(), observer) == observers_.end())
        observers_.push_back(observer);
}

void TFlyNodes::RemoveObserver(TreeObserver* observer) {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

void TFlyNodes::Attach(std::unique_ptr<TFlyNode> node, TFlyNode* parent, int index) {
    if (!node)
        return;
    node->parent_ = parent;
    auto& list = parent ? parent->children_ : children_;
    const size_t at = index < 0 ? 0 : std::min(static_cast<size_t>(index), list.size());
    list.insert(list.begin() + static_cast<std::ptrdiff_t>(at), std::move(node));
    structureChanged();
}

void TFlyNodes::SwapRoots(int a, int b) {
    if (a == b || a < 0 || b < 0 || a >= Count() || b >= Count())
        return;
    std::swap(children_[static_cast<size_t>(a)], children_[static_cast<size_t>(b)]);
    structureChanged();
}

void TFlyNodes::structureChanged() {
    ++structureVersion_;
    rowsValid_ = false;
    if (Updating())
        return;
    applyFirstRowRule();
    notify([](TreeObserver& o) { o.rowsChanged(); });
}

void TFlyNodes::rowsChanged() {
    rowsValid_ = false;
    if (!Updating())
        notify([](TreeObserver& o) { o.rowsChanged(); });
}

void TFlyNodes::applyFirstRowRule() {
    if (!selected_ && !children_.empty())
        setSelectedQuietly(children_.front().get());
}

} // namespace settree
