// SPDX-License-Identifier: GPL-3.0-or-later
#include "editing/copysubtree.h"

#include "model/prefetch.h"

#include <string>
#include <vector>

namespace settree {

TFlyNode* CopySubtree(TFlyNode* source, TFlyNode* target, bool includeSource) {
    if (!source || (!target && !includeSource))
        return nullptr;
    TFlyNodes& tree = target ? target->Tree() : source->Tree();

    // The subtree is listed before anything is added, parents before their children and each
    // node's children together and in order. Every node's children are counted once, and
    // copies that land inside the subtree are not copied again.
    struct Item {
        TFlyNode* node;
        size_t parent; // index of the parent's item
    };
    constexpr size_t kAhead = 8; // nodes asked for ahead of their use (see Prefetch)
    std::vector<Item> items{{source, 0}};
    for (size_t i = 0; i < items.size(); ++i) {
        if (i + kAhead < items.size())
            Prefetch(items[i + kAhead].node);
        TFlyNode* node = items[i].node;
        const int count = node->Count();
        for (int c = 0; c < count; ++c)
            items.push_back({node->Child(c), i});
    }

    std::vector<TFlyNode*> copies(items.size());
    copies[0] = includeSource ? tree.AddChild(target, source->Text()) : target;
    copies[0]->SetCells(1, source->Cells(1));
    for (size_t i = 1; i < items.size(); ++i) {
        if (i + kAhead < items.size())
            Prefetch(items[i + kAhead].node->Text().data());
        TFlyNode* copy = tree.AddChild(copies[items[i].parent], items[i].node->Text());
        copy->SetCells(1, items[i].node->Cells(1));
        copies[i] = copy;
    }
    return copies[0];
}

} // namespace settree
