// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/caption.h"
#include "model/flynode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace settree;

namespace {

// Captions of the row list, joined by blanks: "A A1 B".
std::string rowNames(const TFlyNodes& tree) {
    std::string out;
    for (TFlyNode* node : tree.Rows()) {
        if (!out.empty())
            out += ' ';
        out += PlainName(node->Text());
    }
    return out;
}

std::string childNames(const TTreeCollection& parent) {
    std::string out;
    for (int i = 0; i < parent.Count(); ++i) {
        if (!out.empty())
            out += ' ';
        out += PlainName(parent.Child(i)->Text());
    }
    return out;
}

TFlyNode* add(TFlyNodes& tree, TFlyNode* parent, const char* name) {
    return tree.AddChild(parent, MakeCaption(name));
}

struct RecordingObserver : TreeObserver {
    int rows = 0;
    std::vector<TFlyNode*> deleting;
    void rowsChanged() override { ++rows; }
    void nodeDeleting(TFlyNode* node) override { deleting.push_back(node); }
};

TEST(TreeStore, EmptyTree) {
    TFlyNodes tree;
    EXPECT_EQ(tree.Count(), 0);
    EXPECT_EQ(tree.Root(0), nullptr);
    EXPECT_EQ(tree.Selected(), nullptr);
    tree.FullExpand();
    tree.FullCollapse();
    EXPECT_EQ(tree.RowCount(), 0);
    EXPECT_EQ(tree.Selected(), nullptr);
    EXPECT_EQ(tree.Cells(1, 0), "");
    EXPECT_THROW(tree.Root(-1), ERapidTreeError);
    try {
        tree.Root(-1);
    } catch (const ERapidTreeError& e) {
        EXPECT_STREQ(e.what(), "Invalid index");
    }
}

TEST(TreeStore, AddChildVisibilityAndFirstRowRule) {
    TFlyNodes tree;
    TFlyNode* a = add(tree, nullptr, "A");
    EXPECT_EQ(tree.Selected(), a) << "the first root of an empty tree becomes selected";
    EXPECT_EQ(a->Data(), 0);
    EXPECT_EQ(a->ImageIndex(), 0);
    EXPECT_FALSE(a->Expanded());
    TFlyNode* a1 = add(tree, a, "A1");
    EXPECT_FALSE(a->Expanded()) << "a child under a leaf does not expand it";
    EXPECT_EQ(rowNames(tree), "A");
    EXPECT_EQ(tree.RowOf(a1), -1);
    a->Expand(false);
    EXPECT_EQ(rowNames(tree), "A A1");
    add(tree, a, "A2");
    add(tree, nullptr, "B");
    EXPECT_EQ(rowNames(tree), "A A1 A2 B") << "a child of a visible expanded node shows at once";
    EXPECT_EQ(tree.Selected(), a);
    TFlyNode* obj = tree.AddChildObject(nullptr, MakeCaption("C"), 42);
    EXPECT_EQ(obj->Data(), 42);
}

TEST(TreeStore, ChildIndexingAndMoveChild) {
    TFlyNodes tree;
    TFlyNode* p = add(tree, nullptr, "P");
    for (const char* n : {"A", "B", "C"})
        add(tree, p, n);
    EXPECT_EQ(p->Child(3), nullptr);
    EXPECT_EQ(p->Child(-1), nullptr);
    EXPECT_EQ(p->IndexOfChild(p->Child(2)), 2);
    EXPECT_EQ(p->IndexOfChild(p), -1);

    struct Move {
        int from, to;
        const char* expected;
    };
    const Move moves[] = {
        {0, 2, "B C A"},  {2, 0, "A B C"}, {1, 1, "A B C"}, {0, 3, "A B C"},
        {-1, 0, "A B C"}, {0, 1, "B A C"}, {2, 1, "B C A"},
    };
    for (const Move& m : moves) {
        p->MoveChild(m.from, m.to);
        EXPECT_EQ(childNames(*p), m.expected) << m.from << " -> " << m.to;
    }
}

TEST(TreeStore, ExpandCollapseKeepsDescendantStates) {
    TFlyNodes tree;
    TFlyNode* a = add(tree, nullptr, "A");
    TFlyNode* b = add(tree, a, "B");
    add(tree, b, "C");
    tree.FullExpand();
    EXPECT_EQ(rowNames(tree), "A B C");
    a->Collapse(false);
    EXPECT_EQ(rowNames(tree), "A");
    EXPECT_TRUE(b->Expanded());
    a->Expand(false);
    EXPECT_EQ(rowNames(tree), "A B C") << "grandchildren come back as they were";
    a->Collapse(true);
    a->Expand(false);
    EXPECT_EQ(rowNames(tree), "A B") << "a recursive collapse hides the grandchildren for good";

    // Expanding a hidden node expands its ancestors first.
    a->Collapse(true);
    TFlyNode* c = b->Child(0);
    c->Expand(false);
    EXPECT_EQ(rowNames(tree), "A B C");
    EXPECT_FALSE(c->Expanded()) << "a node without children never becomes expanded";

    // Roots without children: FullExpand expands nothing.
    TFlyNodes flat;
    TFlyNode* r = add(flat, nullptr, "R");
    flat.FullExpand();
    EXPECT_FALSE(r->Expanded());
}

// A full expansion outside a bracket makes the row list in the same walk; inside one it only
// opens the nodes. Both end with the same rows, row numbers and states, the selection on the
// first row, and one notice to the view.
TEST(TreeStore, FullExpandInsideAndOutsideABracketAgree) {
    for (const bool bracket : {false, true}) {
        TFlyNodes tree;
        RecordingObserver observer;
        tree.AddObserver(&observer);
        tree.BeginUpdate();
        TFlyNode* a = add(tree, nullptr, "A");
        TFlyNode* a1 = add(tree, a, "A1");
        add(tree, a1, "A1x");
        TFlyNode* a2 = add(tree, a, "A2");
        TFlyNode* b = add(tree, nullptr, "B");
        tree.EndUpdate();
        tree.FullCollapse();
        tree.SetSelected(nullptr);
        observer.rows = 0;

        if (bracket)
            tree.BeginUpdate();
        tree.FullExpand();
        if (bracket)
            tree.EndUpdate();
        EXPECT_EQ(observer.rows, 1) << bracket;
        EXPECT_EQ(rowNames(tree), "A A1 A1x A2 B") << bracket;
        EXPECT_EQ(tree.RowOf(a2), 3) << bracket;
        EXPECT_EQ(tree.NodeAtRow(2), a1->Child(0)) << bracket;
        EXPECT_TRUE(a->Expanded() && a1->Expanded()) << bracket;
        EXPECT_FALSE(a2->Expanded() || b->Expanded()) << "leaves never expand; " << bracket;
        EXPECT_EQ(tree.Selected(), a) << bracket;
        tree.RemoveObserver(&observer);
    }
}

TEST(TreeStore, CollapseMovesSelectionUpAndSelectExpandsAncestors) {
    TFlyNodes tree;
    TFlyNode* a = add(tree, nullptr, "A");
    TFlyNode* b = add(tree, a, "B");
    TFlyNode* c = add(tree, b, "C");
    tree.SetSelected(c);
    EXPECT_TRUE(a->Expanded());
    EXPECT_TRUE(b->Expanded());
    EXPECT_EQ(rowNames(tree), "A B C");
    a->Collapse(false);
    EXPECT_EQ(tree.Selected(), a);

    tree.SetSelected(nullptr);
    tree.FullCollapse();
    EXPECT_EQ(tree.Selected(), a) << "first-row rule after a full collapse";
}

// Builds roots A (children A1 A2 A3) and B, fully expanded.
struct ThreeChildren : ::testing::Test {
    TFlyNodes tree;
    TFlyNode* a = nullptr;
    TFlyNode* b = nullptr;
    void SetUp() override {
        a = add(tree, nullptr, "A");
        for (const char* n : {"A1", "A2", "A3"})
            add(tree, a, n);
        add(tree, a->Child(0), "A1x");
        b = add(tree, nullptr, "B");
        tree.FullExpand();
    }
};

TEST_F(ThreeChildren, DeleteSelectsFollowingSiblingElseRowAbove) {
    tree.SetSelected(a->Child(1));
    a->Child(1)->Delete();
    EXPECT_EQ(PlainName(tree.Selected()->Text()), "A3");
    a->Child(1)->Delete();
    EXPECT_EQ(PlainName(tree.Selected()->Text()), "A1x") << "last visible descendant above";
    EXPECT_EQ(rowNames(tree), "A A1 A1x B");
}

TEST_F(ThreeChildren, DeleteOfCollapsedNeighbourSelectsIt) {
    a->Child(0)->Collapse(false);
    tree.SetSelected(a->Child(2));
    a->Child(2)->Delete();
    EXPECT_EQ(PlainName(tree.Selected()->Text()), "A2");
}

TEST_F(ThreeChildren, DeleteFirstChildWithoutSiblingSelectsParent) {
    TFlyNode* only = add(tree, b, "B1");
    b->Expand(false);
    tree.SetSelected(only);
    only->Delete();
    EXPECT_EQ(tree.Selected(), b);
    EXPECT_FALSE(b->Expanded()) << "the last child gone, the parent is no longer expanded";
    TFlyNode* again = add(tree, b, "B2");
    EXPECT_EQ(tree.RowOf(again), -1) << "a child added afterwards is hidden until expanded";
}

TEST_F(ThreeChildren, DeleteSelectedAncestorInsideBracketSelectsNothing) {
    tree.SetSelected(a->Child(0)->Child(0));
    tree.BeginUpdate();
    a->Delete();
    EXPECT_EQ(tree.Selected(), nullptr);
    tree.EndUpdate();
    EXPECT_EQ(PlainName(tree.Selected()->Text()), "B") << "first-row rule at the closing bracket";
}

TEST_F(ThreeChildren, DeleteOnlyRootLeavesNoSelection) {
    b->Delete();
    tree.SetSelected(a);
    a->Delete();
    EXPECT_EQ(tree.Count(), 0);
    EXPECT_EQ(tree.Selected(), nullptr);
}

TEST_F(ThreeChildren, DeleteNotifiesEveryNodeChildrenFirst) {
    std::vector<std::string> order;
    tree.OnDeletion = [&](TFlyNode* node) { order.push_back(PlainName(node->Text())); };
    RecordingObserver observer;
    tree.AddObserver(&observer);
    a->Delete();
    EXPECT_EQ(order, (std::vector<std::string>{"A1x", "A1", "A2", "A3", "A"}));
    EXPECT_EQ(observer.deleting.size(), 5u);
    order.clear();
    tree.Clear();
    EXPECT_EQ(order, (std::vector<std::string>{"B"}));
    EXPECT_EQ(tree.Selected(), nullptr);
    EXPECT_EQ(tree.RowCount(), 0);
    tree.RemoveObserver(&observer);
}

TEST_F(ThreeChildren, DeleteChildrenSelectsTheParent) {
    tree.SetSelected(a->Child(0)->Child(0));
    a->DeleteChildren();
    EXPECT_EQ(tree.Selected(), a);
    EXPECT_FALSE(a->Expanded());
    EXPECT_EQ(a->Count(), 0);
    a->DeleteChildren(); // nothing to delete: no change
    EXPECT_EQ(rowNames(tree), "A B");
}

TEST_F(ThreeChildren, DeleteFromDeletionHandlerOfSameNodeIsIgnored) {
    TFlyNode* victim = a->Child(1);
    int calls = 0;
    tree.OnDeletion = [&](TFlyNode* node) {
        ++calls;
        node->Delete(); // a node already being deleted: nothing happens
    };
    victim->Delete();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(childNames(*a), "A1 A3");
}

TEST(TreeStore, UpdateBracketsNestAndRefreshOnlyAtTheOutermost) {
    TFlyNodes tree;
    RecordingObserver observer;
    tree.AddObserver(&observer);
    tree.BeginUpdate();
    tree.BeginUpdate();
    tree.Clear();
    TFlyNode* a = add(tree, nullptr, "A");
    add(tree, nullptr, "B");
    add(tree, nullptr, "C");
    EXPECT_EQ(tree.Selected(), nullptr) << "no first-row rule inside a bracket";
    tree.EndUpdate();
    EXPECT_EQ(observer.rows, 0);
    EXPECT_EQ(tree.Selected(), nullptr);
    tree.EndUpdate();
    EXPECT_EQ(observer.rows, 1);
    EXPECT_EQ(tree.Selected(), a);
    tree.EndUpdate(); // without an open bracket: only refreshes
    EXPECT_EQ(tree.UpdateCount(), 0);
    EXPECT_EQ(observer.rows, 2);
    tree.RemoveObserver(&observer);
}

TEST(TreeStore, SelectionInsideBracketStands) {
    TFlyNodes tree;
    tree.BeginUpdate();
    TFlyNode* a = add(tree, nullptr, "A");
    TFlyNode* b = add(tree, a, "B");
    tree.SetSelected(b);
    EXPECT_EQ(tree.RowOf(b), 1) << "rows are current inside a bracket";
    tree.EndUpdate();
    EXPECT_EQ(tree.Selected(), b);
}

TEST(TreeStore, CellsAndCellsText) {
    TFlyNodes tree;
    TFlyNode* a = add(tree, nullptr, "A");
    EXPECT_EQ(a->Cells(1), "");
    EXPECT_EQ(a->Cells(7), "");
    a->SetCells(1, "1");
    EXPECT_EQ(a->CellsText(), "\r\n1\r\n");
    a->SetCells(0, MakeCaption("Z"));
    EXPECT_EQ(a->Text(), MakeCaption("Z")) << "cell 0 is the caption column";
    a->SetCellsText("x\r\ny\nz\r\n");
    EXPECT_EQ(a->CellCount(), 3);
    EXPECT_EQ(a->Cells(2), "z");
    a->SetCachedRowHeight(30);
    a->SetCells(1, "2");
    EXPECT_EQ(a->CachedRowHeight(), -1) << "writing cells drops the cached row height";

    tree.SetCells(1, 0, "9");
    EXPECT_EQ(tree.Cells(1, 0), "9");
    tree.SetCells(1, 5, "9"); // no node in row 5: no change
    EXPECT_EQ(tree.Cells(1, 5), "");
}

// The compact storage of captions, weights, other cells and pictures behaves like plain strings.
TEST(TreeStore, CompactStorageKeepsEveryValue) {
    TFlyNodes tree;
    TFlyNode* a = add(tree, nullptr, "A");
    const std::string longWeight(40, '7');
    for (const std::string& weight :
         {std::string("1"), longWeight, std::string(15, 'x'), std::string(), std::string("-2.5")}) {
        a->SetCells(1, weight);
        EXPECT_EQ(a->Cells(1), weight);
        EXPECT_EQ(a->CellCount(), 2);
    }
    a->SetCells(1, longWeight);
    a->SetCells(1, a->Cells(1).substr(3)); // a value taken from the node itself
    EXPECT_EQ(a->Cells(1), longWeight.substr(3));
    a->SetText(a->Text().substr(0, 18));
    EXPECT_EQ(a->Text(), "<color=clgreen>A</");

    a->SetCells(3, "three"); // beyond the weight: the general list keeps every entry
    EXPECT_EQ(a->CellCount(), 4);
    EXPECT_EQ(a->Cells(1), longWeight.substr(3));
    EXPECT_EQ(a->Cells(3), "three");
    EXPECT_EQ(a->CellsText(), "\r\n" + longWeight.substr(3) + "\r\n\r\nthree\r\n");

    TFlyNode* b = add(tree, nullptr, "B");
    EXPECT_EQ(b->ImageIndex(), 0);
    b->SetImageIndex(5);
    b->SetSelectedIndex(-3);
    EXPECT_EQ(b->ImageIndex(), 5);
    EXPECT_EQ(b->SelectedIndex(), -3);
    EXPECT_EQ(a->ImageIndex(), 0);
    b->Delete();
    a->Delete(); // nodes with side entries leave no trace behind
    EXPECT_EQ(tree.Count(), 0);

    // Captions of every length, replaced and deleted in turn, come back intact.
    std::vector<TFlyNode*> nodes;
    for (int i = 0; i < 600; ++i)
        nodes.push_back(tree.AddChild(nullptr, std::string(static_cast<size_t>(i), 'a' + i % 26)));
    for (int i = 0; i < 600; i += 2)
        nodes[static_cast<size_t>(i)]->SetText(std::string(static_cast<size_t>(599 - i), 'z'));
    for (int i = 1; i < 600; i += 2)
        nodes[static_cast<size_t>(i)]->Delete();
    for (int i = 0; i < 300; ++i)
        EXPECT_EQ(tree.Root(i)->Text(), std::string(static_cast<size_t>(599 - 2 * i), 'z'));
}

TEST(TreeStore, SortOrderFollowsBytesAndTheEndTag) {
    TFlyNodes tree;
    for (const char* n : {"b", "B", "AB1", "AB"})
        add(tree, nullptr, n);
    tree.AlphaSort();
    EXPECT_EQ(childNames(tree), "AB1 AB B b");

    TFlyNodes other;
    TFlyNode* p = add(other, nullptr, "P");
    for (const char* n : {"ab", "B", "a", "a1"})
        add(other, p, n);
    p->AlphaSort();
    EXPECT_EQ(childNames(*p), "B a1 a ab");
}

TEST(TreeStore, SortIsDeterministicForEqualTextsAndKeepsStates) {
    // Equal captions carry different weights so that their order after sorting is visible.
    TFlyNodes tree;
    const char* names[] = {"x", "a", "x", "b", "x", "a"};
    for (int i = 0; i < 6; ++i)
        add(tree, nullptr, names[i])->SetCells(1, std::to_string(i));
    TFlyNode* deep = add(tree, tree.Root(1), "z");
    add(tree, tree.Root(1), "y");
    tree.Root(1)->Expand(false);
    TFlyNode* selected = tree.Root(3);
    tree.SetSelected(selected);
    tree.AlphaSort();
    std::string weights;
    for (int i = 0; i < tree.Count(); ++i)
        weights += tree.Root(i)->Cells(1);
    // The partition sort with a middle pivot is not stable: this order is its own.
    EXPECT_EQ(weights, "153402");
    EXPECT_EQ(tree.Selected(), selected);
    EXPECT_TRUE(deep->Parent()->Expanded());
    EXPECT_EQ(childNames(*deep->Parent()), "y z");
}

TEST(TreeStore, SortTypeSortsOnChangeOnly) {
    TFlyNodes tree;
    add(tree, nullptr, "B");
    add(tree, nullptr, "A");
    tree.SetSortType(TSortType::stText);
    EXPECT_EQ(childNames(tree), "A B");
    add(tree, nullptr, "0");
    tree.SetSortType(TSortType::stText);
    EXPECT_EQ(childNames(tree), "A B 0") << "the same value again sorts nothing";
    tree.SetSortType(TSortType::stNone);
    EXPECT_EQ(childNames(tree), "A B 0");
    tree.SetSortType(TSortType::stText);
    EXPECT_EQ(childNames(tree), "0 A B");

    tree.SetSortType(TSortType::stNone);
    add(tree, nullptr, "-");
    tree.BeginUpdate();
    tree.AlphaSort(); // inside a bracket: nothing
    tree.EndUpdate();
    EXPECT_EQ(childNames(tree), "0 A B -");
}

TEST(TreeStore, DataSortUsesTheCompareHandler) {
    TFlyNodes tree;
    for (int i = 0; i < 4; ++i)
        tree.AddChildObject(nullptr, MakeCaption("n"), 10 - i);
    tree.SetSortType(TSortType::stData);
    EXPECT_EQ(tree.Root(0)->Data(), 10) << "no handler: the data mode does not sort";
    tree.SetSortType(TSortType::stNone);
    tree.OnCompare = [](TFlyNode* x, TFlyNode* y) { return x->Data() - y->Data(); };
    tree.SetSortType(TSortType::stData);
    EXPECT_EQ(tree.Root(0)->Data(), 7);
    EXPECT_EQ(tree.Root(3)->Data(), 10);
}

// Deep and wide trees go through every bulk operation without recursing per level.
TEST(TreeStore, DeepChainAndWideRoot) {
    constexpr int kDepth = 200000;
    TFlyNodes tree;
    tree.BeginUpdate();
    TFlyNode* node = nullptr;
    for (int i = 0; i < kDepth; ++i)
        node = add(tree, node, "n");
    tree.FullExpand();
    tree.EndUpdate();
    EXPECT_EQ(tree.RowCount(), kDepth);
    EXPECT_EQ(node->Level(), kDepth - 1);
    tree.SetSelected(node);
    tree.FullCollapse();
    tree.AlphaSort();
    EXPECT_EQ(tree.NodeCount(), kDepth);
    tree.Root(0)->Child(0)->Delete();
    EXPECT_EQ(tree.NodeCount(), 1);

    node = tree.Root(0);
    for (int i = 0; i < kDepth; ++i)
        node = add(tree, node, "m");
    tree.Clear();
    EXPECT_EQ(tree.Count(), 0);

    TFlyNode* root = add(tree, nullptr, "R");
    add(tree, root, "even");
    root->Expand(false);
    for (int i = 1; i < kDepth; ++i) // outside a bracket: rows are not recomputed per addition
        add(tree, root, i % 2 ? "odd" : "even");
    EXPECT_EQ(tree.RowCount(), kDepth + 1);
    root->AlphaSort();
    EXPECT_EQ(PlainName(root->Child(0)->Text()), "even");

    // A deep chain left to the destructor.
    TFlyNodes* doomed = new TFlyNodes;
    node = nullptr;
    for (int i = 0; i < kDepth; ++i)
        node = add(*doomed, node, "d");
    delete doomed;
}

} // namespace
