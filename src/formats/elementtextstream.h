// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "formats/elementtext.h"

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
    // Stops the second thread; nodes not yet written are dropped.
    ~ElementTextStream();

    // Appends a node given by the parts of its caption (see SplitCaptionViews); both are copied.
    void add(std::string_view name, std::string_view description, size_t depth);

    // Waits until the builder has every node added; rethrows what the builder threw. The stream
    // takes no more nodes afterwards.
    void finish();

private:
    // Nodes handed over together; their names and descriptions are kept in one buffer.
    struct Chunk {
        struct Node {
            size_t at; // of the name in text; the description follows it
            size_t nameSize;
            size_t descriptionSize;
            size_t depth;
        };
        std::string text;
        std::vector<Node> nodes;
        bool ready = false; // handed over and not yet written
    };
    static constexpr size_t kChunkNodes = 4096;
    static constexpr size_t kChunks = 4;

    void handOver();
    void write(Chunk& chunk);
    void work();

    ElementTextBuilder& builder_;
    std::array<Chunk, kChunks> chunks_;
    size_t filling_ = 0;                             // the chunk the caller fills
    std::vector<ElementTextBuilder::Element> batch_; // of the thread that writes
    std::mutex mutex_;
    std::condition_variable changed_;
    bool ended_ = false;  // no more chunks come
    bool failed_ = false; // the builder threw: chunks are dropped from then on
    std::exception_ptr error_;
    std::thread worker_;
};

} // namespace settree
