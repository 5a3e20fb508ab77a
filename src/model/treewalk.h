// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <functional>
#include <utility>
#include <vector>

#include "model/flynode.h"

namespace settree {

// Visits the nodes of a tree one by one in display order (pre-order, collapsed subtrees
// included), or in its reverse, starting next to a node and wrapping around at the ends until
// every node was visited once. It works a slice at a time, so that a search over a large tree
// can leave room for the window between slices. The tree must not change while a walk is used.
class TreeWalk {
public:
    // start: the walk begins at the node after it (before it, going backwards), and visits it
    // last; with includeStart, it begins at start itself. None: the walk begins at the first
    // node (the last, going backwards).
    TreeWalk(const TFlyNodes& tree, const TFlyNode* start, bool forward, bool includeStart);

    // Visits up to budget nodes and returns the first that matches; none when no node of the
    // slice matched. Done() tells whether every node has been visited.
    TFlyNode* Next(const std::function<bool(const TFlyNode&)>& match, size_t budget);
    bool Done() const { return done_; }

private:
    struct Place {
        const TTreeCollection* owner;
        int index;
    };
    TFlyNode* current() const;
    void stepForward();
    void stepBackward();
    void toFirst();
    void toLast();

    const TFlyNodes& tree_;
    bool forward_;
    std::vector<Place> path_; // from a root down to the current node
    const TFlyNode* stop_ = nullptr;
    bool done_ = false;
};

} // namespace settree
