// SPDX-License-Identifier: GPL-3.0-or-later
#include "editing/edithistory.h"
#include "editing/structurecommands.h"
#include "treeshape.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>

using namespace settree;
using settree::testing::BuildTree;
using settree::testing::FindNode;
using settree::testing::Shape;

namespace {

struct CommandCase {
    const char* name;
    const char* before; // tree text, "*" on the selected node
    std::function<void(TFlyNodes&, EditHistory*)> command;
    const char* after;
    const char* undoName;
};

const auto moveUp = [](TFlyNodes& tree, EditHistory* history) {
    MoveSelectedNode(tree, MoveDirection::up, history);
};
const auto moveDown = [](TFlyNodes& tree, EditHistory* history) {
    MoveSelectedNode(tree, MoveDirection::down, history);
};

const CommandCase kCases[] = {
    // Among children the moved node rotates to the other end; it ends selected and expanded
    // one level, its descendants keeping their own states.
    {"UpFromFirstChildRotatesToTheEnd", "P+\n  A*\n    a1\n      a11\n  B\n  C\n", moveUp,
     "P=+\n  B=\n  C=\n  A=+*\n    a1=\n      a11=\n", "Move Up"},
    {"DownFromLastChildRotatesToTheFront", "P+\n  A\n  B\n  C*\n", moveDown,
     "P=+\n  C=*\n  A=\n  B=\n", "Move Down"},
    {"UpAmongChildrenTradesWithThePrevious", "P+\n  A\n  B=7*\n  C\n", moveUp,
     "P=+\n  B=7*\n  A=\n  C=\n", "Move Up"},
    {"DownLastChildNeverLeavesItsParent", "P+\n  A\n  B*\nQ\nR\n", moveDown,
     "P=+\n  B=*\n  A=\nQ=\nR=\n", "Move Down"},
    {"SingleChildKeepsItsPlace", "P+\n  A*\n", moveUp, "P=+\n  A=*\n", ""},
    // Among roots the first and the last trade places; both end fully expanded.
    {"UpFromFirstRootTradesWithTheLast", "A=1*\n  a1\n    a11\nB\n  b1\nC=3\n  c1\n    c11\n",
     moveUp, "C=3+\n  c1=+\n    c11=\nB=\n  b1=\nA=1+*\n  a1=+\n    a11=\n", "Move Up"},
    {"DownFromLastRootTradesWithTheFirst", "A\n  a1\nB\nC*\n", moveDown, "C=*\nB=\nA=+\n  a1=\n",
     "Move Down"},
    {"UpFromSecondRootTradesWithTheFirst", "A\n  a1\nB*\n  b1\n    b11\nC\n", moveUp,
     "B=+*\n  b1=+\n    b11=\nA=+\n  a1=\nC=\n", "Move Up"},
    {"OnlyRootStaysAndOpens", "A*\n  a1\n    a11\n", moveDown, "A=+*\n  a1=+\n    a11=\n",
     "Move Down"},
    // Move to root: a copy with its subtree and weights as the last root, fully expanded and
    // selected; the node leaves its old place.
    {"MoveToRootFromDeepInTheTree", "A+\n  B+\n    C=4*\n      D=5\n  E\nF\n", MoveSelectedToRoot,
     "A=+\n  B=\n  E=\nF=\nC=4+*\n  D=5\n", "Move to root"},
    {"MoveToRootOfARootMovesItToTheEnd", "A*\n  a1\nB\n", MoveSelectedToRoot, "B=\nA=+*\n  a1=\n",
     "Move to root"},
    // Sorting compares whole captions byte by byte: a name that another extends sorts after the
    // longer ones going on with a digit and before those going on with a letter.
    {"SortChildrenByCaptionBytes", "Z\nP+*\n  a\n  a1\n  ab\n  B\nA\n", SortSelectedChildren,
     "Z=\nP=+*\n  B=\n  a1=\n  a=\n  ab=\nA=\n", "Sort children alphabetically"},
    {"SortChildrenReachesEveryLevelBelow", "R*\n  y\n    q\n    p\n  x\nQ\n  n\n  m\n",
     SortSelectedChildren, "R=*\n  x=\n  y=\n    p=\n    q=\nQ=\n  n=\n  m=\n",
     "Sort children alphabetically"},
    {"SortEverythingSortsRootsAndChildren", "b\n  d\n  c\nB\na\n", SortEverything,
     "B=*\na=\nb=\n  c=\n  d=\n", "Sort everything alphabetically"},
    {"SortsKeepDescriptionsWithTheirNames", "R*\n  AB - x\n  AB1 - y\n  ABC\n",
     SortSelectedChildren, "R=*\n  AB1 - y=\n  AB - x=\n  ABC=\n", "Sort children alphabetically"},
    // Deleting: the selection goes to the next sibling, else the row above.
    {"DeleteSelectsTheNextSibling", "P+\n  A\n  B*\n    b1\n  C\n", DeleteSelectedNode,
     "P=+\n  A=\n  C=*\n", "Delete"},
    {"DeleteLastSelectsTheRowAbove", "P+\n  A+\n    a1\n  B*\n", DeleteSelectedNode,
     "P=+\n  A=+\n    a1=*\n", "Delete"},
    {"DeleteOnlyRootLeavesNothing", "A*\n  a1\n", DeleteSelectedNode, "", "Delete"},
    {"DeleteChildrenKeepsTheNode", "A+*\n  a1\n    a11\n  a2\nB\n", DeleteSelectedChildren,
     "A=*\nB=\n", "Delete Children"},
    {"DeleteChildrenOfALeafChangesNothing", "A*\nB\n", DeleteSelectedChildren, "A=*\nB=\n", ""},
    // Expanding and collapsing.
    {"FullCollapseSelectsTheFirstRoot", "A+\n  B+\n    C*\nD+\n  E\n", CollapseEverything,
     "A=*\n  B=\n    C=\nD=\n  E=\n", "Full collapse"},
    {"FullExpandOpensEveryNodeWithChildren", "A\n  B\n    C\nD\n", ExpandEverything,
     "A=+*\n  B=+\n    C=\nD=\n", "Full expand"},
    {"ExpandFromNodeOpensItsSubtreeOnly", "A*\n  B\n    C\nD\n  E\n", ExpandFromSelected,
     "A=+*\n  B=+\n    C=\nD=\n  E=\n", "Expand from node"},
    {"CollapseFromNodeClosesItsSubtree", "A+*\n  B+\n    C\nD+\n  E\n", CollapseFromSelected,
     "A=*\n  B=\n    C=\nD=+\n  E=\n", "Collapse from node"},
};

void PrintTo(const CommandCase& c, std::ostream* out) {
    *out << c.name;
}

class StructureCommand : public ::testing::TestWithParam<CommandCase> {};

// Each command gives the tree it describes, with and without a history; with one, undo gives
// the tree before back whole (captions, weights, order, expanded states, selection) and redo
// the tree after, as often as they alternate.
TEST_P(StructureCommand, GivesTheTreeItDescribesAndUndoesIt) {
    const CommandCase& c = GetParam();
    for (const bool withHistory : {false, true}) {
        TFlyNodes tree;
        BuildTree(tree, c.before);
        const std::string before = Shape(tree, true);
        auto history = withHistory ? std::make_unique<EditHistory>(tree) : nullptr;
        c.command(tree, history.get());
        EXPECT_EQ(Shape(tree, true), c.after) << withHistory;
        EXPECT_EQ(tree.UpdateCount(), 0) << "every bracket closed";
        EXPECT_EQ(tree.SortType(), TSortType::stNone);
        if (!history)
            continue;
        EXPECT_EQ(history->UndoName(), c.undoName);
        for (int round = 0; round < 2; ++round) {
            history->Undo();
            EXPECT_EQ(Shape(tree, true), before) << "undo, round " << round;
            EXPECT_FALSE(history->CanUndo());
            history->Redo();
            EXPECT_EQ(Shape(tree, true), c.after) << "redo, round " << round;
            EXPECT_FALSE(history->CanRedo());
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, StructureCommand, ::testing::ValuesIn(kCases),
                         [](const auto& test) { return std::string(test.param.name); });

// Commands that need a selection do nothing without one.
TEST(StructureCommands, WithoutASelectionChangeNothing) {
    const std::function<void(TFlyNodes&, EditHistory*)> commands[] = {
        DeleteSelectedNode, DeleteSelectedChildren, moveUp,
        moveDown,           MoveSelectedToRoot,     SortSelectedChildren,
        ExpandFromSelected, CollapseFromSelected};
    for (const auto& command : commands) {
        TFlyNodes tree;
        BuildTree(tree, "B+\n  y\n  x\nA\n");
        const std::string before = Shape(tree, true);
        command(tree, nullptr);
        EXPECT_EQ(Shape(tree, true), before);
    }
}

// A swap of two roots moves the node objects: references into either subtree stay valid, the
// rows follow, and a root swapped with itself only opens.
TEST(StructureCommands, SwapRootNodesKeepsTheNodes) {
    TFlyNodes tree;
    BuildTree(tree, "A=1\n  a1\nB=2\nC=3\n  c1\n    c11\n");
    TFlyNode* a1 = FindNode(tree, "a1");
    TFlyNode* c11 = FindNode(tree, "c11");
    SwapRootNodes(tree, 0, 2);
    EXPECT_EQ(Shape(tree), "C=3+\n  c1=+\n    c11=\nB=2\nA=1+\n  a1=\n");
    EXPECT_EQ(tree.Root(2)->Child(0), a1);
    EXPECT_EQ(tree.RowOf(c11), 2);
    SwapRootNodes(tree, 1, 1);
    EXPECT_EQ(Shape(tree), "C=3+\n  c1=+\n    c11=\nB=2\nA=1+\n  a1=\n");
}

// A wide sibling list and a deep one: the moves and sorts neither recurse nor lose a node.
TEST(StructureCommands, WideAndDeepTrees) {
    TFlyNodes tree;
    tree.BeginUpdate();
    TFlyNode* root = tree.AddChild(nullptr, MakeCaption("root"));
    constexpr int kWide = 100000;
    for (int i = kWide; i > 0; --i)
        tree.AddChild(root, MakeCaption("n" + std::to_string(i % 10) + std::to_string(i)));
    TFlyNode* chain = tree.AddChild(nullptr, MakeCaption("chain"));
    for (int d = 0; d < 200000; ++d)
        chain = tree.AddChild(chain, MakeCaption("c"));
    tree.EndUpdate();

    tree.SetSelected(root);
    SortSelectedChildren(tree);
    for (int i = 1; i < kWide; ++i)
        ASSERT_LE(root->Child(i - 1)->Text(), root->Child(i)->Text()) << i;
    tree.SetSelected(root->Child(0));
    MoveSelectedNode(tree, MoveDirection::up);
    EXPECT_EQ(root->Child(kWide - 1), tree.Selected());
    tree.SetSelected(tree.Root(1));
    MoveSelectedToRoot(tree);
    EXPECT_EQ(tree.Count(), 2);
    int depth = 0;
    for (const TFlyNode* node = tree.Root(1); node->Count() > 0; node = node->Child(0))
        ++depth;
    EXPECT_EQ(depth, 200000);
}

} // namespace
