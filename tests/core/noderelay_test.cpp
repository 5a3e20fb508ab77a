// SPDX-License-Identifier: GPL-3.0-or-later
// The node relay carries a walk's nodes from the thread that walks to the one that makes them:
// every node has to arrive whole and in order across many chunks, and a failure on either side
// has to end both without leaving a thread waiting.
#include "formats/noderelay.h"

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace settree;

namespace {

struct Sent {
    size_t depth;
    std::string name;
    std::optional<std::string> description; // none, empty, or a text
    std::string weight;
    bool hasChildren;

    bool operator==(const Sent&) const = default;
};

// Many chunks' worth: descriptions absent, empty and long; names and weights of every length.
std::vector<Sent> sampleNodes(int count) {
    std::vector<Sent> nodes;
    for (int i = 0; i < count; ++i) {
        std::optional<std::string> description;
        if (i % 3 == 1)
            description = "";
        else if (i % 3 == 2)
            description = std::string(static_cast<size_t>(i % 50), 'd') + std::to_string(i);
        nodes.push_back({static_cast<size_t>(i % 9), "N" + std::to_string(i), description,
                         i % 5 == 0 ? "" : std::to_string(i % 17), i % 4 == 0});
    }
    return nodes;
}

void receive(const std::vector<NodeRelay::Node>& nodes, std::vector<Sent>& into) {
    for (const NodeRelay::Node& node : nodes)
        into.push_back({node.depth, std::string(node.name),
                        node.described ? std::optional<std::string>(std::string(node.description))
                                       : std::nullopt,
                        std::string(node.weight), node.hasChildren});
}

// To a relay or a worker.
template <class Taker> void send(Taker& relay, const Sent& node) {
    const std::string_view description =
        node.description ? std::string_view(*node.description) : std::string_view();
    relay.add(node.depth, node.name, node.description ? &description : nullptr, node.weight,
              node.hasChildren);
}

// The nodes that arrive when a walking thread sends these and ends, complete or failed.
std::vector<Sent> relayed(const std::vector<Sent>& nodes, bool complete) {
    NodeRelay relay;
    std::thread walker([&] {
        for (const Sent& node : nodes)
            send(relay, node);
        relay.end(complete);
    });
    std::vector<Sent> got;
    relay.take([&](const std::vector<NodeRelay::Node>& chunk) { receive(chunk, got); });
    walker.join();
    return got;
}

} // namespace

TEST(NodeRelay, EveryNodeArrivesWholeAndInOrder) {
    const std::vector<Sent> nodes = sampleNodes(50000);
    const std::vector<Sent> got = relayed(nodes, true);
    ASSERT_EQ(got.size(), nodes.size());
    EXPECT_TRUE(got == nodes); // no listing of 50,000 nodes
}

TEST(NodeRelay, AMakingFailureStopsTheWalkAndReachesTheCaller) {
    const std::vector<Sent> nodes = sampleNodes(50000);
    NodeRelay relay;
    bool walkerStopped = false;
    size_t sentBeforeStop = 0;
    std::thread walker([&] {
        try {
            for (const Sent& node : nodes) {
                send(relay, node);
                ++sentBeforeStop;
            }
            relay.end(true);
        } catch (const NodeRelay::Stopped&) {
            walkerStopped = true;
            relay.end(false);
        }
    });
    size_t made = 0;
    EXPECT_THROW(relay.take([&](const std::vector<NodeRelay::Node>& chunk) {
        made += chunk.size();
        if (made > 10000)
            throw std::runtime_error("no memory for the node");
    }),
                 std::runtime_error);
    walker.join();
    EXPECT_TRUE(walkerStopped);
    EXPECT_LT(sentBeforeStop, nodes.size()); // it did not walk on to the end
}

TEST(NodeRelay, AFailedWalkEndsTheMakingSide) {
    // The nodes handed over before the failure arrive; the ones of the unfinished chunk do not.
    const std::vector<Sent> nodes = sampleNodes(10000);
    const std::vector<Sent> got = relayed(nodes, false);
    ASSERT_LT(got.size(), nodes.size());
    EXPECT_TRUE(std::equal(got.begin(), got.end(), nodes.begin()));
}

// The worker makes the nodes on its own thread: all of them in order when the walk completes;
// when making fails, the walk learns of it at a later hand-over, with what making threw.
TEST(NodeWorker, MakesEveryNodeOrStopsTheWalkWithTheFailure) {
    const std::vector<Sent> nodes = sampleNodes(50000);
    std::vector<Sent> got;
    {
        NodeWorker worker([&](const std::vector<NodeRelay::Node>& chunk) { receive(chunk, got); });
        for (const Sent& node : nodes)
            send(worker, node);
        worker.finish();
    }
    EXPECT_TRUE(got == nodes);

    size_t made = 0;
    size_t sent = 0;
    NodeWorker failing([&](const std::vector<NodeRelay::Node>& chunk) {
        made += chunk.size();
        if (made > 10000)
            throw std::runtime_error("no memory for the node");
    });
    EXPECT_THROW(
        {
            for (const Sent& node : nodes) {
                send(failing, node);
                ++sent;
            }
        },
        std::runtime_error);
    EXPECT_LT(sent, nodes.size()); // the walk did not go on to the end
    EXPECT_THROW(failing.finish(), std::runtime_error);
}
