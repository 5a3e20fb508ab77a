// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/elementtextstream.h"

#include <algorithm>
#include <system_error>

namespace settree {

namespace {

// The builder takes the nodes of a chunk in batches of this many (see ElementTextBuilder::add).
constexpr size_t kBatch = 64;

} // namespace

ElementTextStream::ElementTextStream(ElementTextBuilder& builder, size_t expectedNodes)
    : builder_(builder) {
    batch_.reserve(kBatch);
    if (expectedNodes <= kChunks * kChunkNodes)
        return; // handOver writes each chunk itself
    for (Chunk& chunk : chunks_)
        chunk.nodes.reserve(kChunkNodes);
    try {
        worker_ = std::thread([this] { work(); });
    } catch (const std::system_error&) {
        // No second thread: handOver writes each chunk itself.
    }
}

ElementTextStream::~ElementTextStream() {
    if (!worker_.joinable())
        return;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        ended_ = true;
        failed_ = true; // what is left is dropped
    }
    changed_.notify_all();
    worker_.join();
}

void ElementTextStream::add(std::string_view name, std::string_view description, size_t depth) {
    Chunk& chunk = chunks_[filling_];
    chunk.nodes.push_back({chunk.text.size(), name.size(), description.size(), depth});
    chunk.text.append(name).append(description);
    if (chunk.nodes.size() == kChunkNodes)
        handOver();
}

void ElementTextStream::finish() {
    if (!chunks_[filling_].nodes.empty())
        handOver();
    if (worker_.joinable()) {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            ended_ = true;
        }
        changed_.notify_all();
        worker_.join();
    }
    if (error_)
        std::rethrow_exception(error_);
}

// Gives the filled chunk to the thread that writes and waits until the next one is free.
void ElementTextStream::handOver() {
    Chunk& chunk = chunks_[filling_];
    if (!worker_.joinable()) {
        write(chunk);
        chunk.text.clear();
        chunk.nodes.clear();
        return;
    }
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        chunk.ready = true;
    }
    changed_.notify_all();
    filling_ = (filling_ + 1) % kChunks;
    const Chunk& next = chunks_[filling_];
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return !next.ready; });
    if (error_)
        std::rethrow_exception(error_); // no use producing more
}

void ElementTextStream::write(Chunk& chunk) {
    for (size_t first = 0; first < chunk.nodes.size(); first += kBatch) {
        batch_.clear();
        const size_t last = std::min(first + kBatch, chunk.nodes.size());
        for (size_t i = first; i < last; ++i) {
            const Chunk::Node& node = chunk.nodes[i];
            const std::string_view text(chunk.text.data() + node.at,
                                        node.nameSize + node.descriptionSize);
            batch_.push_back(
                {{text.substr(0, node.nameSize), text.substr(node.nameSize)}, node.depth});
        }
        builder_.add(batch_);
    }
}

// The second thread: writes the chunks in the order they are filled, until no more come.
void ElementTextStream::work() {
    for (size_t next = 0;; next = (next + 1) % kChunks) {
        Chunk& chunk = chunks_[next];
        bool drop = false;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [&] { return chunk.ready || ended_; });
            if (!chunk.ready)
                return;
            drop = failed_;
        }
        if (!drop) {
            try {
                write(chunk);
            } catch (...) {
                const std::lock_guard<std::mutex> lock(mutex_);
                failed_ = true;
                error_ = std::current_exception();
            }
        }
        chunk.text.clear();
        chunk.nodes.clear();
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            chunk.ready = false;
        }
        changed_.notify_all();
    }
}

} // namespace settree
