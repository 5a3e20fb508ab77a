// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

#include "formats/elementtext.h"
#include "formats/noderelay.h"

namespace settree {

// Feeds an ElementTextBuilder from a second thread: the caller produces the nodes in pre-order
// while the builder writes the lines of the nodes before. Each side spends most of its time
// waiting for memory (the caller for its input, the builder for its set of names), and the two
// waits overlap. Where no thread can be started, the builder runs on the caller's thread.
class ElementTextStream {
public:
    // expectedNodes: about how many nodes come; for a few chunks a second thread is not worth
    // its start.
    ElementTextStream(ElementTextBuilder& builder, size_t expectedNodes);
    ElementTextStream(const ElementTextStream&) = delete;
    ElementTextStream& operator=(const ElementTextStream&) = delete;

    // Appends a node given by the parts of its caption (see SplitCaptionViews), which need to
    // stay in place only during the call.
    void add(std::string_view name, std::string_view description, size_t depth);

    // Waits until the builder has every node added; rethrows what the builder threw. The stream
    // takes no more nodes afterwards.
    void finish();

private:
    // Writes nodes handed over, in batches that let the builder's set of names fetch its memory
    // ahead.
    void write(const std::vector<NodeRelay::Node>& nodes);

    ElementTextBuilder& builder_;
    std::vector<ElementTextBuilder::Element> batch_;
    // The second thread, when there is one; declared last, so that it stops before the batch
    // it writes from goes.
    std::optional<NodeWorker> worker_;
};

} // namespace settree
