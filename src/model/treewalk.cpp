// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/treewalk.h"

#include <algorithm>

namespace settree {

TreeWalk::TreeWalk(const TFlyNodes& tree, const TFlyNode* start, bool forward, bool includeStart)
    : tree_(tree), forward_(forward) {
    if (tree_.Count() == 0) {
        done_ = true;
        return;
    }
    if (!start) {
        forward_ ? toFirst() : toLast();
        stop_ = current();
        return;
    }
    for (const TFlyNode* node = start; node; node = node->Parent()) {
        const TTreeCollection& owner = node->Owner();
        path_.push_back({&owner, owner.IndexOfChild(node)});
    }
    std::reverse(path_.begin(), path_.end());
    if (!includeStart)
        forward_ ? stepForward() : stepBackward();
    // The walk ends when it comes back to the node it began with.
    stop_ = current();
}

TFlyNode* TreeWalk::current() const {
    const Place& place = path_.back();
    return place.owner->Child(place.index);
}

void TreeWalk::toFirst() {
    path_.assign(1, {&tree_, 0});
}

void TreeWalk::toLast() {
    path_.assign(1, {&tree_, tree_.Count() - 1});
    for (const TFlyNode* node = current(); node->Count() > 0; node = current())
        path_.push_back({node, node->Count() - 1});
}

void TreeWalk::stepForward() {
    const TFlyNode* node = current();
    if (node->Count() > 0) {
        path_.push_back({node, 0});
        return;
    }
    while (!path_.empty()) {
        Place& place = path_.back();
        if (++place.index < place.owner->Count())
            return;
        path_.pop_back();
    }
    toFirst(); // past the last node: around to the first
}

void TreeWalk::stepBackward() {
    Place& place = path_.back();
    if (place.index > 0) {
        --place.index;
        for (const TFlyNode* node = current(); node->Count() > 0; node = current())
            path_.push_back({node, node->Count() - 1});
        return;
    }
    path_.pop_back();
    if (path_.empty())
        toLast(); // before the first node: around to the last
}

TFlyNode* TreeWalk::Next(const std::function<bool(const TFlyNode&)>& match, size_t budget) {
    for (size_t visited = 0; visited < budget && !done_; ++visited) {
        TFlyNode* node = current();
        forward_ ? stepForward() : stepBackward();
        if (current() == stop_)
            done_ = true;
        if (match(*node))
            return node;
    }
    return nullptr;
}

} // namespace settree
