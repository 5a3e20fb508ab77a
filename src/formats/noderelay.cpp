// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/noderelay.h"

#include <utility>

namespace settree {

void NodeRelay::add(size_t depth, std::string_view name, const std::string_view* description,
                    std::string_view weight, bool hasChildren) {
    Chunk& chunk = chunks_[filling_];
    if (chunk.entries.capacity() == 0)
        chunk.entries.reserve(kChunkNodes);
    const size_t descriptionSize = description ? description->size() : 0;
    chunk.entries.push_back({depth, chunk.text.size(), name.size(), descriptionSize, weight.size(),
                             description != nullptr, hasChildren});
    chunk.text.append(name);
    if (description)
        chunk.text.append(*description);
    chunk.text.append(weight);
    if (chunk.entries.size() == kChunkNodes)
        handOver();
}

void NodeRelay::end(bool complete) {
    try {
        if (complete && !chunks_[filling_].entries.empty())
            handOver();
    } catch (const Stopped&) {
        // The making side takes nothing more.
    }
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        ended_ = true;
    }
    changed_.notify_all();
}

// Gives the filled chunk to the making side and waits until the next one is free.
void NodeRelay::handOver() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        chunks_[filling_].ready = true;
    }
    changed_.notify_all();
    filling_ = (filling_ + 1) % kChunks;
    const Chunk& next = chunks_[filling_];
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return !next.ready || stopped_; });
    if (stopped_)
        throw Stopped{};
}

void NodeRelay::release(Chunk& chunk) {
    chunk.text.clear();
    chunk.entries.clear();
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        chunk.ready = false;
    }
    changed_.notify_all();
}

void NodeRelay::stop() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopped_ = true;
    }
    changed_.notify_all();
}

NodeWorker::NodeWorker(Make make) : make_(std::move(make)) {
    thread_ = std::thread([this] {
        try {
            relay_.take(make_);
        } catch (...) {
            error_ = std::current_exception();
        }
    });
}

NodeWorker::~NodeWorker() {
    if (!thread_.joinable())
        return;
    relay_.end(false); // what is left is dropped
    thread_.join();
}

void NodeWorker::add(size_t depth, std::string_view name, const std::string_view* description,
                     std::string_view weight, bool hasChildren) {
    try {
        relay_.add(depth, name, description, weight, hasChildren);
    } catch (const NodeRelay::Stopped&) {
        join(); // make failed: no use walking on
    }
}

void NodeWorker::finish() {
    if (thread_.joinable())
        relay_.end(true);
    join();
}

void NodeWorker::join() {
    if (thread_.joinable())
        thread_.join();
    if (error_)
        std::rethrow_exception(error_);
}

} // namespace settree
