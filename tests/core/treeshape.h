// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Trees of the tests written as text, one node a line: two blanks per level, the caption
// without markup ("NAME" or "NAME - DESCRIPTION"), "=" and the weight when one is written, "+"
// for an expanded node and "*" for the selected one.

#include "model/caption.h"
#include "model/flynode.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace settree::testing {

// The subtree below a collection in pre-order, in the form above; the selected node is marked
// only when withSelection is set.
inline std::string Shape(const TTreeCollection& top, bool withSelection = false) {
    const TFlyNode* selected = nullptr;
    if (withSelection && top.Count() > 0)
        selected = top.Child(0)->Tree().Selected();
    std::string out;
    std::vector<std::pair<const TFlyNode*, size_t>> pending;
    for (int i = top.Count() - 1; i >= 0; --i)
        pending.push_back({top.Child(i), 0});
    while (!pending.empty()) {
        auto [node, depth] = pending.back();
        pending.pop_back();
        out += std::string(2 * depth, ' ') + StripTags(node->Text()) + "=" +
               std::string(node->Cells(1)) + (node->Expanded() ? "+" : "") +
               (node == selected ? "*" : "") + "\n";
        for (int i = node->Count() - 1; i >= 0; --i)
            pending.push_back({node->Child(i), depth + 1});
    }
    return out;
}

// Builds the tree of the text form above into an empty tree (the weight may be left out: then
// none is written). Nodes marked "+" are expanded, the node marked "*" selected.
inline void BuildTree(TFlyNodes& tree, std::string_view text) {
    std::vector<TFlyNode*> path; // the last node of each level so far
    std::vector<TFlyNode*> expanded;
    TFlyNode* selected = nullptr;
    tree.BeginUpdate();
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (line.find_first_not_of(' ') == std::string_view::npos)
            continue;
        const size_t depth = line.find_first_not_of(' ') / 2;
        line.remove_prefix(depth * 2);
        bool select = false;
        bool expand = false;
        if (!line.empty() && line.back() == '*') {
            select = true;
            line.remove_suffix(1);
        }
        if (!line.empty() && line.back() == '+') {
            expand = true;
            line.remove_suffix(1);
        }
        const size_t equals = line.rfind('=');
        const std::string_view caption = line.substr(0, equals);
        const size_t dash = caption.find(" - ");
        TFlyNode* parent = depth == 0 ? nullptr : path.at(depth - 1);
        TFlyNode* node = tree.AddChild(
            parent, dash == std::string_view::npos
                        ? MakeCaption(caption)
                        : MakeCaption(caption.substr(0, dash), caption.substr(dash + 3)));
        if (equals != std::string_view::npos)
            node->SetCells(1, line.substr(equals + 1));
        path.resize(depth);
        path.push_back(node);
        if (expand)
            expanded.push_back(node);
        if (select)
            selected = node;
    }
    for (TFlyNode* node : expanded)
        node->Expand(false);
    tree.SetSelected(selected);
    tree.EndUpdate();
    if (!selected)
        tree.SetSelected(nullptr); // the closing bracket selects the first root otherwise
}

// The node with the given caption without markup, first in pre-order; none when absent.
inline TFlyNode* FindNode(const TFlyNodes& tree, std::string_view caption) {
    std::vector<TFlyNode*> pending;
    for (int i = tree.Count() - 1; i >= 0; --i)
        pending.push_back(tree.Child(i));
    while (!pending.empty()) {
        TFlyNode* node = pending.back();
        pending.pop_back();
        if (StripTags(node->Text()) == caption)
            return node;
        for (int i = node->Count() - 1; i >= 0; --i)
            pending.push_back(node->Child(i));
    }
    return nullptr;
}

} // namespace settree::testing
