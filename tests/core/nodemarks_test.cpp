// SPDX-License-Identifier: GPL-3.0-or-later
#include "editing/nodemarks.h"
#include "editing/structurecommands.h"
#include "treeshape.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

using namespace settree;
using settree::testing::BuildTree;
using settree::testing::FindNode;
using settree::testing::Shape;

namespace {

// A tree with the window's three node fields and the marks that keep them.
struct Marked {
    TFlyNodes tree;
    TFlyNode* clipNode = nullptr;
    std::string clipMode;
    TFlyNode* dragNode = nullptr;
    int markChanges = 0;
    NodeMarks marks{tree, clipNode, clipMode, dragNode};

    explicit Marked(const char* text) {
        BuildTree(tree, text);
        marks.OnMarkChanged = [this] { ++markChanges; };
    }
    TFlyNode* node(const char* caption) const { return FindNode(tree, caption); }
    void select(const char* caption) { tree.SetSelected(node(caption)); }
};

TEST(NodeMarks, CopyPastesTheMarkedNodeAsItIsAtEachPaste) {
    Marked m("A=2\n  a1\nB\n");
    m.select("A");
    m.marks.Copy();
    EXPECT_EQ(m.clipNode, m.node("A"));
    EXPECT_EQ(m.clipMode, "copy");
    m.select("B");
    m.marks.Paste(false);
    m.node("A")->SetText(MakeCaption("A2", "renamed"));
    m.marks.Paste(false);
    EXPECT_EQ(Shape(m.tree),
              "A2 - renamed=2\n  a1=\nB=\n  A=2\n    a1=\n  A2 - renamed=2\n    a1=\n");
    EXPECT_TRUE(m.marks.Marked()) << "a copy mark stays for further pastes";
    EXPECT_EQ(m.tree.Selected(), m.node("B")) << "a paste neither selects nor opens";
    EXPECT_FALSE(m.node("B")->Expanded());
}

TEST(NodeMarks, CutMovesTheNodeAndForgetsTheMark) {
    Marked m("A\n  a1\nB\n");
    m.select("A");
    m.marks.Cut();
    EXPECT_EQ(m.clipMode, "cut");
    m.select("B");
    TFlyNode* pasted = m.marks.Paste(false);
    EXPECT_EQ(Shape(m.tree), "B=\n  A=\n    a1=\n");
    EXPECT_EQ(pasted, m.tree.Root(0)->Child(0));
    EXPECT_FALSE(m.marks.Marked());
    EXPECT_EQ(m.clipNode, nullptr);
    EXPECT_EQ(m.marks.Paste(false), nullptr) << "nothing left to paste";
    EXPECT_EQ(Shape(m.tree), "B=\n  A=\n    a1=\n");
}

TEST(NodeMarks, PasteTargets) {
    // Without a selection "Paste node" makes a last root; "Paste to root" always does.
    Marked m("A\n  a1\nB\n");
    m.select("a1");
    m.marks.Copy();
    m.tree.SetSelected(nullptr);
    m.marks.Paste(false);
    m.select("B");
    m.marks.Paste(true);
    EXPECT_EQ(Shape(m.tree), "A=+\n  a1=\nB=\na1=\na1=\n");
}

// A paste into the marked node or its subtree is refused in both modes, and changes nothing.
TEST(NodeMarks, PasteIntoTheMarkedSubtreeIsRefused) {
    for (const bool cut : {false, true}) {
        for (const char* target : {"A", "a1", "a11"}) {
            Marked m("A\n  a1\n    a11\nB\n");
            m.select("A");
            cut ? m.marks.Cut() : m.marks.Copy();
            m.select(target);
            const std::string before = Shape(m.tree, true);
            EXPECT_EQ(m.marks.Paste(false), nullptr) << target;
            EXPECT_EQ(Shape(m.tree, true), before) << target;
            EXPECT_TRUE(m.marks.Marked());
        }
    }
}

TEST(NodeMarks, CopyOrCutWithoutASelectionKeepsTheEarlierMark) {
    Marked m("A\nB\n");
    m.select("A");
    m.marks.Copy();
    m.tree.SetSelected(nullptr);
    m.marks.Cut();
    EXPECT_EQ(m.clipNode, m.node("A"));
    EXPECT_EQ(m.clipMode, "copy");
}

// The mark goes as soon as its node leaves the tree, by itself or with an ancestor, whatever
// command takes it; the marks' listener hears of it.
TEST(NodeMarks, AMarkIsForgottenWhenItsNodeLeavesTheTree) {
    const std::pair<const char*, std::function<void(Marked&)>> ways[] = {
        {"Delete",
         [](Marked& m) {
             m.select("a11");
             DeleteSelectedNode(m.tree);
         }},
        {"DeleteOfAnAncestor",
         [](Marked& m) {
             m.select("A");
             DeleteSelectedNode(m.tree);
         }},
        {"DeleteChildren",
         [](Marked& m) {
             m.select("A");
             DeleteSelectedChildren(m.tree);
         }},
        {"MoveToRootOfAnAncestor",
         [](Marked& m) {
             m.select("a1");
             MoveSelectedToRoot(m.tree);
         }},
        {"Rebuild", [](Marked& m) { m.tree.Clear(); }},
        {"DragOfAnAncestor",
         [](Marked& m) {
             m.select("A");
             m.marks.StartDrag();
             m.marks.Drop(m.node("B"));
         }},
    };
    for (const auto& [name, way] : ways) {
        Marked m("A\n  a1\n    a11\nB\n");
        m.select("a11");
        m.marks.Copy();
        m.markChanges = 0;
        way(m);
        EXPECT_FALSE(m.marks.Marked()) << name;
        EXPECT_EQ(m.markChanges, 1) << name;
        EXPECT_EQ(m.marks.Paste(true), nullptr) << name;
    }
}

// Moving roots moves the node objects, so a mark inside them stays and pastes what it marks.
TEST(NodeMarks, AMarkSurvivesAMoveOfItsRoot) {
    Marked m("A\n  a1\nB\n");
    m.select("a1");
    m.marks.Copy();
    m.select("A");
    MoveSelectedNode(m.tree, MoveDirection::down);
    EXPECT_EQ(m.clipNode, m.node("a1"));
    m.marks.Paste(true);
    EXPECT_EQ(Shape(m.tree), "B=\nA=+\n  a1=\na1=\n");
}

TEST(DropAccepted, RefusesTheParentTheNodeAndItsSubtree) {
    Marked m("P\n  A\n    a1\n      a11\n  S\nQ\n");
    const TFlyNode* a = m.node("A");
    const std::pair<const char*, bool> targets[] = {{"P", false},   {"A", false}, {"a1", false},
                                                    {"a11", false}, {"S", true},  {"Q", true}};
    for (const auto& [target, accepted] : targets)
        EXPECT_EQ(DropAccepted(a, m.node(target)), accepted) << target;
    EXPECT_TRUE(DropAccepted(a, nullptr)) << "empty space: a drop there does nothing";
    EXPECT_FALSE(DropAccepted(nullptr, m.node("Q"))) << "nothing dragged";
    EXPECT_TRUE(DropAccepted(m.node("Q"), m.node("A"))) << "a root has no parent to refuse";
}

TEST(MoveSubtree, CopiesUnderTheTargetOpensAndSelectsItThenDeletesTheSource) {
    Marked m("P+\n  A=3+\n    a1\n  B\nQ\n  q1\n    q11\n");
    bool sawCopyBeforeDelete = false;
    TFlyNode* copy = MoveSubtree(m.node("A"), m.node("Q"), [&] {
        sawCopyBeforeDelete = m.node("Q")->Count() == 2 && m.node("P")->Count() == 2;
    });
    EXPECT_TRUE(sawCopyBeforeDelete);
    EXPECT_EQ(copy, m.node("Q")->Child(1));
    EXPECT_EQ(Shape(m.tree, true), "P=+\n  B=\nQ=+*\n  q1=+\n    q11=\n  A=3+\n    a1=\n");
}

TEST(MoveSubtree, DoesNothingWithoutATargetOrIntoItsOwnSubtree) {
    Marked m("A\n  a1\nB\n");
    const std::string before = Shape(m.tree, true);
    EXPECT_EQ(MoveSubtree(m.node("A"), nullptr), nullptr);
    EXPECT_EQ(MoveSubtree(m.node("A"), m.node("a1")), nullptr);
    EXPECT_EQ(MoveSubtree(m.node("A"), m.node("A")), nullptr);
    EXPECT_EQ(Shape(m.tree, true), before);
}

// What runs while the window catches up may remove the source; it is then not deleted again.
TEST(MoveSubtree, ASourceGoneMeanwhileIsNotDeletedAgain) {
    Marked m("P\n  A\n    a1\nQ\n");
    MoveSubtree(m.node("A"), m.node("Q"), [&] { m.node("P")->DeleteChildren(); });
    EXPECT_EQ(Shape(m.tree), "P=\nQ=+\n  A=+\n    a1=\n");
}

TEST(NodeMarks, DragAndDrop) {
    Marked m("A\n  a1\nB\n");
    m.select("a1");
    m.marks.StartDrag();
    EXPECT_EQ(m.dragNode, m.node("a1"));
    EXPECT_FALSE(m.marks.DropAcceptedOn(m.node("A")));
    EXPECT_TRUE(m.marks.DropAcceptedOn(m.node("B")));
    m.marks.Drop(m.node("B"));
    EXPECT_EQ(Shape(m.tree, true), "A=\nB=+*\n  a1=\n");
    EXPECT_EQ(m.dragNode, nullptr) << "the dragged node left the tree";
    m.tree.SetSelected(nullptr);
    m.marks.StartDrag();
    m.marks.Drop(m.node("A")); // nothing dragged
    EXPECT_EQ(Shape(m.tree), "A=\nB=+\n  a1=\n");
}

} // namespace
