// SPDX-License-Identifier: GPL-3.0-or-later
// The element text stream hands nodes to a builder on a second thread: the text has to be the
// one the builder makes on its own, in the order the nodes came, and a builder's failure has to
// reach the caller without leaving the thread behind.
#include "formats/elementtext.h"
#include "formats/elementtextstream.h"
#include "model/feedback.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

using namespace settree;

namespace {

struct Node {
    std::string name;
    std::string description;
    size_t depth;
};

// Wide and deep at once, with names repeated in other letter cases far apart.
std::vector<Node> sampleNodes(int count) {
    std::vector<Node> nodes;
    for (int i = 0; i < count; ++i) {
        const size_t depth = static_cast<size_t>(i % 7 == 0 ? 0 : 1 + i % 5);
        std::string name = (i % 3 ? "E" : "e") + std::to_string(i % (count / 2));
        nodes.push_back({name, i % 4 ? "element " + std::to_string(i) : std::string(), depth});
    }
    return nodes;
}

std::string builtDirectly(const std::vector<Node>& nodes) {
    ElementTextBuilder builder(nodes.size(), 0);
    std::vector<ElementTextBuilder::Element> batch;
    for (const Node& node : nodes) {
        batch.push_back({{node.name, node.description}, node.depth});
        if (batch.size() == 64) {
            builder.add(batch);
            batch.clear();
        }
    }
    builder.add(batch);
    CollectingFeedback feedback;
    return builder.finish(feedback);
}

} // namespace

TEST(ElementTextStream, GivesTheTextTheBuilderMakesOnItsOwn) {
    const std::vector<Node> nodes = sampleNodes(50000);
    const std::string expected = builtDirectly(nodes);
    // Expected counts below and above what starts a second thread.
    for (const size_t expectedNodes : {size_t{10}, nodes.size()}) {
        ElementTextBuilder builder(nodes.size(), 0);
        {
            ElementTextStream stream(builder, expectedNodes);
            for (const Node& node : nodes)
                stream.add(node.name, node.description, node.depth);
            stream.finish();
        }
        CollectingFeedback feedback;
        EXPECT_TRUE(builder.finish(feedback) == expected) << expectedNodes; // no diff of 1 MB
    }
}

TEST(ElementTextStream, ABuilderFailureReachesTheCaller) {
    const std::vector<Node> nodes = sampleNodes(50000);
    for (const size_t expectedNodes : {size_t{10}, nodes.size()}) {
        ElementTextBuilder builder(nodes.size(), 0, 100000); // far less than the text needs
        bool raised = false;
        try {
            ElementTextStream stream(builder, expectedNodes);
            for (const Node& node : nodes)
                stream.add(node.name, node.description, node.depth);
            stream.finish();
        } catch (const ElementTextTooLarge&) {
            raised = true;
        }
        EXPECT_TRUE(raised) << expectedNodes;
    }

    // A caller that fails itself drops the stream half way; the second thread ends with it.
    ElementTextBuilder builder(nodes.size(), 0);
    EXPECT_THROW(
        {
            ElementTextStream stream(builder, nodes.size());
            for (size_t i = 0; i < nodes.size(); ++i) {
                if (i == nodes.size() / 2)
                    throw std::runtime_error("the caller's own failure");
                stream.add(nodes[i].name, nodes[i].description, nodes[i].depth);
            }
        },
        std::runtime_error);
}
