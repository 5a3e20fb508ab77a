// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/elementtextstream.h"

#include <algorithm>
#include <system_error>

namespace settree {

namespace {

// The builder takes the nodes in batches of this many (see ElementTextBuilder::add).
constexpr size_t kBatch = 64;

} // namespace

ElementTextStream::ElementTextStream(ElementTextBuilder& builder, size_t expectedNodes)
    : builder_(builder) {
    batch_.reserve(kBatch);
    if (expectedNodes < kWorkerNodes)
        return; // add writes each node itself
    try {
        worker_.emplace([this](const std::vector<NodeRelay::Node>& nodes) { write(nodes); });
    } catch (const std::system_error&) {
        // No second thread: add writes each node itself.
    }
}

void ElementTextStream::add(std::string_view name, std::string_view description, size_t depth) {
    if (!worker_) {
        batch_.assign(1, {{name, description}, depth});
        builder_.add(batch_);
        return;
    }
    worker_->add(depth, name, &description);
}

void ElementTextStream::finish() {
    if (worker_)
        worker_->finish();
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
