// SPDX-License-Identifier: GPL-3.0-or-later
#include "editing/copysubtree.h"
#include "model/caption.h"
#include "model/flynode.h"
#include "treeshape.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace settree;

namespace {

using settree::testing::Shape;

TFlyNode* add(TFlyNodes& tree, TFlyNode* parent, const std::string& name,
              const std::string& weight) {
    TFlyNode* node = tree.AddChild(parent, MakeCaption(name));
    node->SetCells(1, weight);
    return node;
}

// S (expanded) with children P and Q, P with child R; a root T with child t.
struct Sample {
    TFlyNodes tree;
    TFlyNode* s;
    TFlyNode* p;
    TFlyNode* t;
    Sample() {
        s = add(tree, nullptr, "S", "1");
        p = add(tree, s, "P", " 2");
        add(tree, p, "R", "");
        tree.AddChild(s, MakeCaption("Q", "queue"));
        t = add(tree, nullptr, "T", "9");
        add(tree, t, "t", "8");
        s->Expand(true);
    }
};

TEST(CopySubtree, WithSourceAppendsACopyAsLastChild) {
    Sample x;
    TFlyNode* copy = CopySubtree(x.s, x.t, true);
    ASSERT_EQ(copy, x.t->Child(1));
    EXPECT_EQ(Shape(x.tree), "S=1+\n"
                             "  P= 2+\n"
                             "    R=\n"
                             "  Q - queue=\n"
                             "T=9\n"
                             "  t=8\n"
                             "  S=1\n"
                             "    P= 2\n"
                             "      R=\n"
                             "    Q - queue=\n");
    EXPECT_EQ(copy->Child(1)->Text(), MakeCaption("Q", "queue"));
}

TEST(CopySubtree, WithoutSourceCopiesWeightAndChildrenIntoTarget) {
    Sample x;
    EXPECT_EQ(CopySubtree(x.s, x.t, false), x.t);
    EXPECT_EQ(Shape(*x.t), "t=8\n"
                           "P= 2\n"
                           "  R=\n"
                           "Q - queue=\n");
    EXPECT_EQ(x.t->Text(), MakeCaption("T"));
    EXPECT_EQ(x.t->Cells(1), "1");
}

TEST(CopySubtree, NoTargetMeansANewLastRoot) {
    Sample x;
    TFlyNode* copy = CopySubtree(x.p, nullptr, true);
    ASSERT_EQ(x.tree.Count(), 3);
    EXPECT_EQ(copy, x.tree.Root(2));
    EXPECT_EQ(Shape(*copy), "R=\n");
    EXPECT_EQ(copy->Cells(1), " 2");

    const std::string before = Shape(x.tree);
    EXPECT_EQ(CopySubtree(x.p, nullptr, false), nullptr);
    EXPECT_EQ(CopySubtree(nullptr, x.t, true), nullptr);
    EXPECT_EQ(Shape(x.tree), before);
}

TEST(CopySubtree, TargetInsideTheSourceCopiesTheSubtreeAsItWas) {
    Sample x;
    CopySubtree(x.s, x.p, true);
    EXPECT_EQ(Shape(*x.s), "P= 2+\n"
                           "  R=\n"
                           "  S=1\n"
                           "    P= 2\n"
                           "      R=\n"
                           "    Q - queue=\n"
                           "Q - queue=\n");
    Sample y;
    CopySubtree(y.s, y.s, false);
    EXPECT_EQ(Shape(*y.s), "P= 2+\n"
                           "  R=\n"
                           "Q - queue=\n"
                           "P= 2\n"
                           "  R=\n"
                           "Q - queue=\n");
}

TEST(CopySubtree, MillionDeepChain) {
    constexpr int kDepth = 1000000;
    TFlyNodes tree;
    TFlyNode* root = tree.AddChild(nullptr, MakeCaption("c0"));
    TFlyNode* node = root;
    for (int d = 1; d < kDepth; ++d)
        node = tree.AddChild(node, MakeCaption("c" + std::to_string(d)));
    node->SetCells(1, "leaf");

    TFlyNode* copy = CopySubtree(root, nullptr, true);
    ASSERT_EQ(tree.Count(), 2);
    int depth = 1;
    for (node = copy; node->Count() == 1; node = node->Child(0))
        ++depth;
    EXPECT_EQ(depth, kDepth);
    EXPECT_EQ(node->Count(), 0);
    EXPECT_EQ(node->Text(), MakeCaption("c" + std::to_string(kDepth - 1)));
    EXPECT_EQ(node->Cells(1), "leaf");
}

} // namespace
