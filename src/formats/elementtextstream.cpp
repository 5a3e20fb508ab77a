// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/elementtextstream.h"

#include <algorithm>
#include <system_error>

namespace settree {

namespace {

// The builder takes the nodes in batches of this many (see ElementTextBuilder::add).
constexpr size_t kBatch = 64;
// Below this many nodes a second thread is not worth its start.
constexpr size_t kThreadedNodes = 16384;

} // namespace

ElementTextStream::ElementTextStream(ElementTextBuilder& builder, size_t expectedNodes)
    : builder_(builder) {
    batch_.reserve(kBatch);
    if (expectedNodes <= kThreadedNodes)
        return; // add writes each node itself
    relay_.emplace();
    try {
        worker_ = std::thread([this] {
            try {
                relay_->take([this](const std::vector<NodeRelay::Node>& nodes) { write(nodes); });
            } catch (...) {
                error_ = std::current_exception();
            }
        });
    } catch (const std::system_error&) {
        relay_.reset(); // no second thread: add writes each node itself
    }
}

ElementTextStream::~ElementTextStream() {
    if (!worker_.joinable())
        return;
    relay_->end(false); // what is left is dropped
    worker_.join();
}

void ElementTextStream::add(std::string_view name, std::string_view description, size_t depth) {
    if (!relay_) {
        batch_.assign(1, {{name, description}, depth});
        builder_.add(batch_);
        return;
    }
    try {
        relay_->add(depth, name, &description);
    } catch (const NodeRelay::Stopped&) {
        join(); // the builder failed: no use producing more
    }
}

void ElementTextStream::finish() {
    if (!relay_)
        return;
    relay_->end(true);
    join();
}

void ElementTextStream::join() {
    if (worker_.joinable())
        worker_.join();
    if (error_)
        std::rethrow_exception(error_);
}

void ElementTextStream::write(const std::vector<NodeRelay::Node>& nodes) {
    for (size_t first = 0; first < nodes.size(); first += kBatch) {
        batch_.clear();
        const size_t last = std::min(first + kBatch, nodes.size());
        for (size_t i = first; i < last; ++i)
            batch_.push_back({{nodes[i].name, nodes[i].description}, nodes[i].depth});
        builder_.add(batch_);
    }
}

} // namespace settree
