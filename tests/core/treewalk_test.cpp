// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/treewalk.h"
#include "treeshape.h"

#include <gtest/gtest.h>

#include <string>

using namespace settree;
using settree::testing::BuildTree;
using settree::testing::FindNode;

namespace {

// The captions a walk visits, in order, one slice of the given size at a time.
std::string visits(const TFlyNodes& tree, const char* start, bool forward, bool includeStart,
                   size_t slice = 1000) {
    TreeWalk walk(tree, start ? FindNode(tree, start) : nullptr, forward, includeStart);
    std::string order;
    while (!walk.Done()) {
        walk.Next(
            [&](const TFlyNode& node) {
                order += StripTags(node.Text()) + " ";
                return false;
            },
            slice);
    }
    return order;
}

TEST(TreeWalk, VisitsEveryNodeOnceInDisplayOrderAroundTheEnds) {
    TFlyNodes tree;
    BuildTree(tree, "A\n  a1\n    a11\n  a2\nB\nC\n  c1\n"); // collapsed: walked all the same
    struct Case {
        const char* start;
        bool forward;
        bool includeStart;
        size_t slice;
        const char* order;
    };
    const Case cases[] = {
        {nullptr, true, false, 1000, "A a1 a11 a2 B C c1 "},
        {nullptr, false, false, 1000, "c1 C B a2 a11 a1 A "},
        {"a11", true, false, 1000, "a2 B C c1 A a1 a11 "},
        {"a11", true, true, 1000, "a11 a2 B C c1 A a1 "},
        {"a2", false, false, 1000, "a11 a1 A c1 C B a2 "},
        {"A", false, false, 1, "c1 C B a2 a11 a1 A "},
        {"c1", true, false, 3, "A a1 a11 a2 B C c1 "},
    };
    for (const Case& c : cases)
        EXPECT_EQ(visits(tree, c.start, c.forward, c.includeStart, c.slice), c.order)
            << (c.start ? c.start : "none") << " " << c.forward << c.includeStart << c.slice;
}

TEST(TreeWalk, StopsAtAMatchAndGoesOnFromThere) {
    TFlyNodes tree;
    BuildTree(tree, "x1\n  y\n  x2\nx3\n");
    TreeWalk walk(tree, FindNode(tree, "x2"), true, false);
    const auto isX = [](const TFlyNode& node) { return StripTags(node.Text())[0] == 'x'; };
    EXPECT_EQ(walk.Next(isX, 100), FindNode(tree, "x3"));
    EXPECT_EQ(walk.Next(isX, 100), FindNode(tree, "x1"));
    EXPECT_EQ(walk.Next(isX, 100), FindNode(tree, "x2"));
    EXPECT_TRUE(walk.Done());
    EXPECT_EQ(walk.Next(isX, 100), nullptr);
}

TEST(TreeWalk, EmptyOneNodeDeepAndWideTrees) {
    TFlyNodes empty;
    EXPECT_EQ(visits(empty, nullptr, true, false), "");
    TFlyNodes one;
    BuildTree(one, "A\n");
    EXPECT_EQ(visits(one, "A", true, false), "A ");
    EXPECT_EQ(visits(one, "A", false, true), "A ");

    // A chain of 200,000 and 200,000 siblings: every node once, without recursion.
    TFlyNodes big;
    big.BeginUpdate();
    TFlyNode* node = big.AddChild(nullptr, MakeCaption("chain"));
    for (int i = 0; i < 200000; ++i)
        node = big.AddChild(node, MakeCaption("c"));
    TFlyNode* wide = big.AddChild(nullptr, MakeCaption("wide"));
    for (int i = 0; i < 200000; ++i)
        big.AddChild(wide, MakeCaption("w"));
    big.EndUpdate();
    for (const bool forward : {true, false}) {
        TreeWalk walk(big, node, forward, false);
        size_t count = 0;
        while (!walk.Done())
            walk.Next(
                [&](const TFlyNode&) {
                    ++count;
                    return false;
                },
                4096);
        EXPECT_EQ(count, 400002u) << forward;
    }
}

} // namespace
