// SPDX-License-Identifier: GPL-3.0-or-later
#include "../../fuzz/editchecks.h"
#include "editing/edithistory.h"
#include "editing/elementedit.h"
#include "editing/nodemarks.h"
#include "editing/structurecommands.h"
#include "formats/elementtext.h"
#include "model/feedback.h"
#include "treeshape.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <random>
#include <string>

using namespace settree;
using settree::testing::BuildTree;
using settree::testing::FindNode;
using settree::testing::Shape;

namespace {

// A tree with its history and the window's node fields.
struct Edited {
    TFlyNodes tree;
    EditHistory history{tree};
    TFlyNode* clipNode = nullptr;
    std::string clipMode;
    TFlyNode* dragNode = nullptr;
    NodeMarks marks{tree, clipNode, clipMode, dragNode, &history};

    explicit Edited(const char* text) { BuildTree(tree, text); }
    TFlyNode* node(const char* caption) const { return FindNode(tree, caption); }
    void select(const char* caption) { tree.SetSelected(node(caption)); }
};

struct UndoCase {
    const char* name;
    const char* before;
    std::function<void(Edited&)> setup; // what the user does before the command: not a step
    std::function<void(Edited&)> command;
    const char* after;
    const char* undoName;
};

void PrintTo(const UndoCase& c, std::ostream* out) {
    *out << c.name;
}

const auto noSetup = [](Edited&) {};

const UndoCase kCases[] = {
    {"PasteACopy", "A=2\n  a1*\nB\n",
     [](Edited& e) {
         e.marks.Copy();
         e.select("B");
     },
     [](Edited& e) { e.marks.Paste(false); }, "A=2+\n  a1=\nB=*\n  a1=\n", "Paste node"},
    {"PasteACut", "A=2\n  a1=5*\n    x\nB\n",
     [](Edited& e) {
         e.marks.Cut();
         e.select("B");
     },
     [](Edited& e) { e.marks.Paste(false); }, "A=2\nB=*\n  a1=5\n    x=\n", "Paste node"},
    {"PasteToRoot", "A\n  a1*\nB\n", [](Edited& e) { e.marks.Copy(); },
     [](Edited& e) { e.marks.Paste(true); }, "A=+\n  a1=*\nB=\na1=\n", "Paste to root"},
    {"Drop", "P+\n  A=3+*\n    a1\n  B\nQ\n  q1+\n    q11\n  q2\n    q21\n",
     [](Edited& e) { e.marks.StartDrag(); }, [](Edited& e) { e.marks.Drop(e.node("Q")); },
     "P=+\n  B=\nQ=+*\n  q1=+\n    q11=\n  q2=+\n    q21=\n  A=3+\n    a1=\n", "Drag and drop"},
    {"AddRoot", "A*\n  a1\n", noSetup,
     [](Edited& e) {
         ApplyElementFields(e.tree, ElementEditMode::addRoot, "R", "root", "2", &e.history);
     },
     "A=*\n  a1=\nR - root=2\n", "Add root element"},
    {"AddChild", "A\n  a1*\n", noSetup,
     [](Edited& e) {
         ApplyElementFields(e.tree, ElementEditMode::addChild, "c", "", "1", &e.history);
     },
     "A=+\n  a1=*\n    c=1\n", "Add element to current node"},
    {"Rename", "A\n  a1=7*\n", noSetup,
     [](Edited& e) {
         ApplyElementFields(e.tree, ElementEditMode::rename, "b1", "bee", " 8", &e.history);
     },
     "A=+\n  b1 - bee= 8*\n", "Rename/edit"},
    // A rebuild from element text: the old tree comes back whole.
    {"Rebuild", "A=3+\n  a1\n    a11*\nB=4\n  b1\n", noSetup,
     [](Edited& e) {
         TextLines lines{"\"X\" \"ex\"", "   \"Y\""};
         CollectingFeedback feedback;
         ParseElementText(lines, e.tree, feedback);
     },
     "X - ex=1+*\n  Y=1\n", "Rebuild"},
};

class UndoStep : public ::testing::TestWithParam<UndoCase> {};

TEST_P(UndoStep, UndoGivesTheTreeBeforeAndRedoTheTreeAfter) {
    const UndoCase& c = GetParam();
    Edited e(c.before);
    c.setup(e);
    const std::string before = Shape(e.tree, true);
    c.command(e);
    EXPECT_EQ(Shape(e.tree, true), c.after);
    EXPECT_EQ(e.history.UndoName(), c.undoName);
    for (int round = 0; round < 2; ++round) {
        e.history.Undo();
        EXPECT_EQ(Shape(e.tree, true), before) << "undo, round " << round;
        EXPECT_EQ(e.history.RedoName(), c.undoName);
        e.history.Redo();
        EXPECT_EQ(Shape(e.tree, true), c.after) << "redo, round " << round;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, UndoStep, ::testing::ValuesIn(kCases),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(EditHistory, StepsGoBackInOrderAndANewStepDropsTheRedos) {
    Edited e("A\nB\nC*\n");
    const std::string s0 = Shape(e.tree, true);
    const uint64_t id0 = e.history.StateId();
    DeleteSelectedNode(e.tree, &e.history);
    const std::string s1 = Shape(e.tree);
    const uint64_t id1 = e.history.StateId();
    e.select("A");
    MoveSelectedNode(e.tree, MoveDirection::down, &e.history);
    SortEverything(e.tree, &e.history);
    EXPECT_EQ(e.history.UndoName(), "Sort everything alphabetically");
    e.history.Undo();
    EXPECT_EQ(e.history.UndoName(), "Move Down");
    e.history.Undo();
    EXPECT_EQ(Shape(e.tree), s1) << "the selection is the one before the move";
    EXPECT_EQ(e.history.StateId(), id1);
    e.history.Undo();
    EXPECT_EQ(Shape(e.tree, true), s0);
    EXPECT_EQ(e.history.StateId(), id0);
    EXPECT_FALSE(e.history.CanUndo());
    EXPECT_EQ(e.history.RedoName(), "Delete");

    e.history.Redo();
    EXPECT_EQ(e.history.StateId(), id1);
    DeleteSelectedNode(e.tree, &e.history); // a new step: the two redos left go
    EXPECT_FALSE(e.history.CanRedo());
    EXPECT_NE(e.history.StateId(), id1);
    EXPECT_NE(e.history.StateId(), id0);
}

// Undo brings a deleted node back, but a mark forgotten on the delete stays forgotten.
TEST(EditHistory, UndoOfADeleteKeepsAForgottenMarkForgotten) {
    Edited e("A\n  a1*\nB\n");
    e.marks.Copy();
    e.select("A");
    DeleteSelectedNode(e.tree, &e.history);
    EXPECT_FALSE(e.marks.Marked());
    e.history.Undo();
    EXPECT_EQ(Shape(e.tree, true), "A=+*\n  a1=\nB=\n");
    EXPECT_FALSE(e.marks.Marked());
    EXPECT_EQ(e.marks.Paste(true), nullptr);
}

// A change the history did not see (here a node added directly) leaves its steps unable to
// apply: they are dropped rather than applied to another tree.
TEST(EditHistory, AChangeItDidNotSeeClearsIt) {
    Edited e("A*\nB\n");
    DeleteSelectedNode(e.tree, &e.history);
    ASSERT_TRUE(e.history.CanUndo());
    e.tree.AddChild(nullptr, MakeCaption("C"));
    EXPECT_FALSE(e.history.CanUndo());
    e.history.Undo();
    EXPECT_EQ(Shape(e.tree), "B=\nC=\n");
    // A rebuild applies whatever happens after it while the new tree is being made.
    TextLines lines{"\"X\""};
    CollectingFeedback feedback;
    ParseElementText(lines, e.tree, feedback);
    EXPECT_TRUE(e.history.CanUndo());
    e.history.Undo();
    EXPECT_EQ(Shape(e.tree), "B=\nC=\n");
}

// The history stays within its memory bound: the oldest steps go first, and a step larger than
// the bound is not kept at all.
TEST(EditHistory, KeepsWithinItsMemoryBound) {
    TFlyNodes tree;
    BuildTree(tree, "R\n");
    constexpr size_t kLimit = 64 * 1024;
    EditHistory history(tree, kLimit);
    for (int i = 0; i < 200; ++i) {
        tree.SetSelected(tree.Root(0));
        ApplyElementFields(tree, ElementEditMode::addChild, "child" + std::to_string(i),
                           std::string(200, 'd'), "1", &history);
        EXPECT_LE(history.HeldBytes(), kLimit);
    }
    int undone = 0;
    while (history.CanUndo()) {
        history.Undo();
        ++undone;
    }
    EXPECT_GT(undone, 10);
    EXPECT_LT(undone, 200);
    EXPECT_EQ(tree.Root(0)->Count(), 200 - undone) << "the oldest additions stay";

    TFlyNode* big = tree.AddChild(nullptr, MakeCaption("big"));
    for (int i = 0; i < 2000; ++i)
        tree.AddChild(big, MakeCaption("n" + std::to_string(i)));
    history.Clear();
    tree.SetSelected(big);
    DeleteSelectedNode(tree, &history);
    EXPECT_FALSE(history.CanUndo()) << "a step beyond the bound is not kept";
    EXPECT_EQ(history.HeldBytes(), 0u);
}

// Undoing the delete of a large subtree brings back every caption, weight, order and expanded
// state; the step holds the subtree itself, not a copy.
TEST(EditHistory, LargeSubtreeDeleteAndUndo) {
    TFlyNodes tree;
    EditHistory history(tree);
    tree.BeginUpdate();
    TFlyNode* keep = tree.AddChild(nullptr, MakeCaption("keep"));
    TFlyNode* big = tree.AddChild(nullptr, MakeCaption("big"));
    for (int i = 0; i < 1000; ++i) {
        TFlyNode* group = tree.AddChild(big, MakeCaption("g" + std::to_string(i), "group"));
        group->SetCells(1, std::to_string(i));
        for (int k = 0; k < 100; ++k)
            tree.AddChild(group, MakeCaption("e" + std::to_string(k)));
        if (i % 3 == 0)
            group->Expand(false);
    }
    tree.EndUpdate();
    big->Expand(false);
    tree.AddChild(keep, MakeCaption("k"));
    tree.SetSelected(big->Child(500)->Child(7));
    const std::string selectedBefore = Shape(tree, true);
    DeleteSelectedNode(tree, &history); // a leaf
    tree.SetSelected(big);
    DeleteSelectedNode(tree, &history);
    EXPECT_EQ(Shape(tree), "keep=\n  k=\n");
    history.Undo();
    EXPECT_EQ(tree.Root(1), big) << "the same nodes come back";
    history.Undo();
    EXPECT_EQ(Shape(tree, true), selectedBefore);
    EXPECT_EQ(tree.RowCount(), 2 + 1000 + 335 * 100)
        << "a third of the groups and the selected one open";
}

// Many sequences of commands on small trees, chosen by a fixed seed: undo walks back through
// every state before them exactly, redo through every state after.
TEST(EditHistory, RandomCommandSequencesUndoAndRedoExactly) {
    std::mt19937 random(20261210);
    for (int sequence = 0; sequence < 400; ++sequence) {
        std::string bytes(40 + random() % 400, '\0');
        for (char& b : bytes)
            b = static_cast<char>(random());
        try {
            settree::fuzz::CheckEditSequence(bytes);
        } catch (const settree::fuzz::EditInvariantError& e) {
            FAIL() << "sequence " << sequence << ": " << e.what();
        }
    }
}

} // namespace
