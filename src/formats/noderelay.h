// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace settree {

// Hands the nodes of a walk, each a depth, a name, an optional description, a weight and whether
// it has children, from the thread that walks to the thread that makes them, in chunks and in
// order: the walk waits mostly for memory, and making the nodes overlaps it. The texts are
// copied, so they need to stay in place only during the call to add.
class NodeRelay {
public:
    struct Node {
        size_t depth;
        std::string_view name;
        std::string_view description;
        bool described; // whether the node has a description, empty or not
        std::string_view weight;
        bool hasChildren;
    };

    // Raised to the walking side when the making side has given up: no use walking on.
    struct Stopped {};

    // The walking side: appends a node; description none when it has none. Raises Stopped when
    // the making side has given up.
    void add(size_t depth, std::string_view name, const std::string_view* description,
             std::string_view weight = {}, bool hasChildren = false);
    // The walking side: no more nodes come, because the walk is complete or because it failed
    // (the nodes not yet handed over are then dropped).
    void end(bool complete);

    // The making side: hands the nodes to make(nodes) in order, a chunk's worth at a time, until
    // the walking side ends; their texts stay in place during the call. When make throws, the
    // walking side is stopped and the exception goes on to the caller.
    template <class Make> void take(Make&& make) {
        std::vector<Node> nodes;
        nodes.reserve(kChunkNodes);
        try {
            for (size_t next = 0;; next = (next + 1) % kChunks) {
                Chunk& chunk = chunks_[next];
                {
                    std::unique_lock<std::mutex> lock(mutex_);
                    changed_.wait(lock, [&] { return chunk.ready || ended_; });
                    if (!chunk.ready)
                        return;
                }
                nodes.clear();
                for (const Entry& entry : chunk.entries)
                    nodes.push_back(nodeOf(chunk, entry));
                make(static_cast<const std::vector<Node>&>(nodes));
                release(chunk);
            }
        } catch (...) {
            stop();
            throw;
        }
    }

private:
    struct Entry {
        size_t depth;
        size_t at; // of the name in the chunk's text; the description and the weight follow it
        size_t nameSize;
        size_t descriptionSize;
        size_t weightSize;
        bool described;
        bool hasChildren;
    };
    struct Chunk {
        std::string text;
        std::vector<Entry> entries;
        bool ready = false; // handed over and not yet taken
    };
    static constexpr size_t kChunkNodes = 4096;
    static constexpr size_t kChunks = 4;

    static Node nodeOf(const Chunk& chunk, const Entry& entry) {
        const std::string_view text(chunk.text.data() + entry.at,
                                    entry.nameSize + entry.descriptionSize + entry.weightSize);
        return {entry.depth,
                text.substr(0, entry.nameSize),
                text.substr(entry.nameSize, entry.descriptionSize),
                entry.described,
                text.substr(entry.nameSize + entry.descriptionSize),
                entry.hasChildren};
    }
    void handOver();
    void release(Chunk& chunk);
    void stop();

    std::array<Chunk, kChunks> chunks_;
    size_t filling_ = 0; // the chunk the walking side fills
    std::mutex mutex_;
    std::condition_variable changed_;
    bool ended_ = false;   // no more chunks come
    bool stopped_ = false; // the making side has given up
};

// Below this many nodes a second thread is not worth its start.
inline constexpr size_t kWorkerNodes = 16384;

// Makes the nodes of a walk on a second thread while the walk goes on, through a NodeRelay: for
// work on the nodes whose results are needed only once the walk is done. The constructor starts
// the thread, or raises std::system_error when none can be started (the caller then does the
// work itself).
class NodeWorker {
public:
    using Make = std::function<void(const std::vector<NodeRelay::Node>&)>;

    // make(nodes) takes the nodes in order, a chunk at a time, on the second thread.
    explicit NodeWorker(Make make);
    NodeWorker(const NodeWorker&) = delete;
    NodeWorker& operator=(const NodeWorker&) = delete;
    // Stops the second thread once it has made the chunks handed over; the nodes of the chunk
    // being filled are dropped.
    ~NodeWorker();

    // Hands a node over (see NodeRelay::add). Once make has failed, rethrows what it threw.
    void add(size_t depth, std::string_view name, const std::string_view* description,
             std::string_view weight = {}, bool hasChildren = false);
    // Waits until make has taken every node; rethrows what it threw. The worker takes no more
    // nodes afterwards.
    void finish();

private:
    // Ends the second thread and rethrows what make threw there.
    void join();

    Make make_;
    NodeRelay relay_;
    std::exception_ptr error_; // what make threw on the second thread
    std::thread thread_;
};

} // namespace settree
