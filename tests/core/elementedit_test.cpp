// SPDX-License-Identifier: GPL-3.0-or-later
#include "editing/elementedit.h"
#include "treeshape.h"

#include <gtest/gtest.h>

#include <string>

using namespace settree;
using settree::testing::BuildTree;
using settree::testing::FindNode;
using settree::testing::Shape;

namespace {

TEST(CaptionFromFields, UnquotesAndTrimsAsTyped) {
    struct Case {
        const char* name;
        const char* description;
        std::string caption;
    };
    const Case cases[] = {
        {"  'North' ", "", MakeCaption("North")},
        {"N", "\"Northern part\"", MakeCaption("N", "Northern part")},
        {"a\"b", "\"x\"y", MakeCaption("a'b", "x'y")},
        {"\" a \"", "", MakeCaption("a")},
        {"N", "   ", MakeCaption("N", "")},
        {"", "", MakeCaption("")},
        {"'", "\"", MakeCaption("", "")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CaptionFromFields(c.name, c.description), c.caption)
            << "[" << c.name << "] [" << c.description << "]";
}

TEST(ApplyElementFields, EachModeActsOnTheTreeAsItIsNow) {
    TFlyNodes tree;
    BuildTree(tree, "A\n  a1\nB*\n");
    ApplyElementFields(tree, ElementEditMode::addRoot, "R", "", "1");
    ApplyElementFields(tree, ElementEditMode::addChild, "b1", "child", " 2.5 ");
    tree.SetSelected(FindNode(tree, "A"));
    ApplyElementFields(tree, ElementEditMode::addChild, "a2", "", "");
    tree.SetSelected(FindNode(tree, "a1"));
    ApplyElementFields(tree, ElementEditMode::rename, "z1", "zed", "7");
    EXPECT_EQ(Shape(tree, true), "A=+\n  z1 - zed=7*\n  a2=\nB=\n  b1 - child= 2.5 \nR=1\n");
    EXPECT_FALSE(FindNode(tree, "B")->Expanded()) << "the new child is not revealed";

    tree.SetSelected(nullptr);
    ApplyElementFields(tree, ElementEditMode::addChild, "S", "", "1");
    EXPECT_EQ(tree.Root(tree.Count() - 1)->Text(), MakeCaption("S"));
    tree.SetSelected(nullptr); // the addition selected the first root again
    const std::string before = Shape(tree, true);
    EXPECT_EQ(ApplyElementFields(tree, ElementEditMode::rename, "x", "", "1"), nullptr);
    EXPECT_EQ(Shape(tree, true), before) << "a rename without a selection changes nothing";
}

TEST(ElementDialogTitle, NamesTheModeAndTheParent) {
    TFlyNodes tree;
    BuildTree(tree, "abc - Some text*\nd\n");
    EXPECT_EQ(ElementDialogTitle(ElementEditMode::addRoot, nullptr), "Input new root element:");
    EXPECT_EQ(ElementDialogTitle(ElementEditMode::addChild, tree.Root(0)),
              "New element added to abc - Some text:");
    EXPECT_EQ(ElementDialogTitle(ElementEditMode::addChild, tree.Root(1)),
              "New element added to d:");
    EXPECT_EQ(ElementDialogTitle(ElementEditMode::rename, tree.Root(0)), "Rename element:");
}

} // namespace
