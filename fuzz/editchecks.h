// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Editing the tree with undo: a tree made from the input, then commands chosen by its bytes, each
// recorded in the history. Undoing them one by one must give back each state before them exactly
// (captions, weights, order, expanded states, selection); redoing them, each state after; and the
// marks never name a node that left the tree. Shared by the fuzz target and the tests.

#include "editing/edithistory.h"
#include "editing/elementedit.h"
#include "editing/nodemarks.h"
#include "editing/structurecommands.h"
#include "formats/elementtext.h"
#include "model/caption.h"
#include "model/feedback.h"
#include "model/flynode.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace settree::fuzz {

class EditInvariantError : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

// The whole state a step must bring back, one node a line in pre-order; the selected node is
// marked with withSelection.
inline std::string EditState(const TFlyNodes& tree, bool withSelection = true) {
    std::string out;
    struct Item {
        const TFlyNode* node;
        int depth;
    };
    std::vector<Item> pending;
    for (int i = tree.Count() - 1; i >= 0; --i)
        pending.push_back({tree.Child(i), 0});
    while (!pending.empty()) {
        const Item item = pending.back();
        pending.pop_back();
        out += std::to_string(item.depth) + "|" + std::string(item.node->Text()) + "|" +
               std::string(item.node->Cells(1)) + (item.node->Expanded() ? "|+" : "|") +
               (withSelection && item.node == tree.Selected() ? "*" : "") + "\n";
        for (int i = item.node->Count() - 1; i >= 0; --i)
            pending.push_back({item.node->Child(i), item.depth + 1});
    }
    return out;
}

// Reads the input a byte at a time; zeros once it is used up.
class ByteReader {
public:
    explicit ByteReader(std::string_view data) : data_(data) {}
    bool Done() const { return at_ >= data_.size(); }
    uint8_t Next() { return at_ < data_.size() ? static_cast<uint8_t>(data_[at_++]) : 0; }

private:
    std::string_view data_;
    size_t at_ = 0;
};

inline void CheckEditSequence(std::string_view data) {
    const auto require = [](bool condition, const std::string& what) {
        if (!condition)
            throw EditInvariantError(what);
    };
    ByteReader in(data);
    TFlyNodes tree;
    // The starting tree: up to 40 nodes, each under one of the nodes before it or a root.
    {
        const int nodes = in.Next() % 41;
        std::vector<TFlyNode*> made;
        for (int i = 0; i < nodes; ++i) {
            const uint8_t b = in.Next();
            TFlyNode* parent = made.empty() || b % 4 == 0 ? nullptr : made[b % made.size()];
            const std::string name(1, static_cast<char>('a' + in.Next() % 6));
            TFlyNode* node =
                tree.AddChild(parent, b % 3 == 0 ? MakeCaption(name, "d") : MakeCaption(name));
            if (b % 5 == 0)
                node->SetCells(1, std::to_string(b));
            made.push_back(node);
        }
        for (TFlyNode* node : made)
            if (in.Next() % 2 == 0)
                node->Expand(false);
    }
    EditHistory history(tree);
    TFlyNode* clipNode = nullptr;
    std::string clipMode;
    TFlyNode* dragNode = nullptr;
    NodeMarks marks(tree, clipNode, clipMode, dragNode, &history);

    const auto rowNode = [&](uint8_t b) {
        return tree.RowCount() == 0 ? nullptr : tree.NodeAtRow(b % tree.RowCount());
    };
    std::vector<std::string> before; // the state before each recorded step
    while (!in.Done() && before.size() < 200) {
        // A click on a visible row selects it without opening anything.
        tree.SetSelected(rowNode(in.Next()));
        const std::string start = EditState(tree);
        const std::string startPlain = EditState(tree, false);
        const uint64_t stepBefore = history.StateId();
        const uint8_t command = in.Next() % 20;
        const uint8_t argument = in.Next();
        switch (command) {
        case 0:
            DeleteSelectedNode(tree, &history);
            break;
        case 1:
            DeleteSelectedChildren(tree, &history);
            break;
        case 2:
            MoveSelectedNode(tree, MoveDirection::up, &history);
            break;
        case 3:
            MoveSelectedNode(tree, MoveDirection::down, &history);
            break;
        case 4:
            MoveSelectedToRoot(tree, &history);
            break;
        case 5:
            SortSelectedChildren(tree, &history);
            break;
        case 6:
            SortEverything(tree, &history);
            break;
        case 7:
            ExpandEverything(tree, &history);
            break;
        case 8:
            CollapseEverything(tree, &history);
            break;
        case 9:
            ExpandFromSelected(tree, &history);
            break;
        case 10:
            CollapseFromSelected(tree, &history);
            break;
        case 11:
        case 12:
        case 13:
            ApplyElementFields(tree, static_cast<ElementEditMode>(command - 11),
                               std::string(1, static_cast<char>('a' + argument % 6)),
                               argument % 2 ? "x" : "", std::to_string(argument), &history);
            break;
        case 14:
            argument % 2 ? marks.Copy() : marks.Cut();
            break;
        case 15:
        case 16:
            marks.Paste(command == 16);
            break;
        case 17:
            marks.StartDrag();
            if (marks.DropAcceptedOn(rowNode(argument)))
                marks.Drop(rowNode(argument));
            break;
        case 18: {
            // A rebuild from element text: the tree's own text, or a small one.
            TextLines lines;
            CollectingFeedback feedback;
            if (argument % 2)
                WriteElementText(tree, lines, feedback);
            else
                lines = {"\"r\"", "   \"s\" \"t\""};
            ParseElementText(lines, tree, feedback);
            break;
        }
        default:
            history.Undo();
            history.Redo();
            break;
        }
        require(tree.UpdateCount() == 0, "an update bracket left open");
        if (command == 19) {
            require(EditState(tree) == start, "undo and redo did not come back");
        } else if (history.StateId() != stepBefore) {
            before.push_back(start);
        } else if (!(command == 18 && startPlain.empty() && before.empty())) {
            // Nothing to undo: nothing changed but, at most, the selection. (A first load into
            // an empty tree with nothing done before leaves nothing to go back to.)
            require(EditState(tree, false) == startPlain,
                    "a command changed the tree without a step: " + std::to_string(command));
        }
        // The marks name nodes of the tree only: reachable from a root.
        for (TFlyNode* node : {clipNode, dragNode}) {
            if (!node)
                continue;
            const TFlyNode* top = node;
            while (top->Parent())
                top = top->Parent();
            require(tree.IndexOfChild(top) >= 0, "a mark names a node that left the tree");
        }
    }
    // Back through every step, then forward again.
    const std::string end = EditState(tree);
    for (size_t i = before.size(); i-- > 0;) {
        require(history.CanUndo(), "a step cannot be undone: " + std::to_string(i));
        history.Undo();
        require(EditState(tree) == before[i], "undo does not give back step " + std::to_string(i));
    }
    require(!history.CanUndo(), "more to undo than was done");
    for (size_t i = 0; i < before.size(); ++i) {
        require(history.CanRedo(), "a step cannot be redone: " + std::to_string(i));
        history.Redo();
        const std::string expected = i + 1 < before.size() ? before[i + 1] : end;
        require(EditState(tree) == expected, "redo does not give back step " + std::to_string(i));
    }
}

} // namespace settree::fuzz
