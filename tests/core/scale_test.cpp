// SPDX-License-Identifier: GPL-3.0-or-later
// A chain of a million nested elements and a root with a million children go through the tree
// store, the readers and writers of both forms and the subtree copy. Everything runs on a
// thread with a small stack, so a traversal that recurses once per level fails here already at
// a moderate depth instead of only on a machine whose stack is smaller than ours.

#include "editing/copysubtree.h"
#include "formats/elementtext.h"
#include "formats/pcreader.h"
#include "formats/pcwriter.h"
#include "model/caption.h"
#include "model/feedback.h"
#include "model/flynode.h"
#include "model/textfile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <functional>
#include <pthread.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace settree {
namespace {

#if defined(__SANITIZE_ADDRESS__)
#define SCALE_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SCALE_UNDER_ASAN 1
#endif
#endif

#ifdef SCALE_UNDER_ASAN
constexpr int kBig = 200000;
constexpr int kTextChain = 1500;
#else
constexpr int kBig = 1000000;
// Every element of a chain written as element text carries its depth in blanks: 3,000 levels
// make 13.5 MB of text, and far more frames than a 256 KiB stack holds.
constexpr int kTextChain = 3000;
#endif

constexpr size_t kStackBytes = 256 * 1024;

// Runs work on a thread with a stack of kStackBytes and hands back what it threw.
void OnSmallStack(const std::function<void()>& work) {
    struct Job {
        const std::function<void()>* work;
        std::exception_ptr error;
    } job{&work, nullptr};
    pthread_attr_t attr;
    ASSERT_EQ(pthread_attr_init(&attr), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attr, kStackBytes), 0);
    pthread_t thread;
    const int started = pthread_create(
        &thread, &attr,
        [](void* p) -> void* {
            auto* j = static_cast<Job*>(p);
            try {
                (*j->work)();
            } catch (...) {
                j->error = std::current_exception();
            }
            return nullptr;
        },
        &job);
    pthread_attr_destroy(&attr);
    ASSERT_EQ(started, 0);
    pthread_join(thread, nullptr);
    if (job.error)
        std::rethrow_exception(job.error);
}

std::string chainName(int depth) {
    return "c" + std::to_string(depth);
}

// Weights as the tuple reader stores them (a blank before the number), so that writing and
// reading them again gives the same text.
std::string weightAt(int i) {
    return i % 2 ? " -1.5" : " " + std::to_string(i % 1000);
}

// Appends a chain of n nested elements as the last root; returns the deepest. caption(depth)
// gives each element's caption.
TFlyNode* addChain(TFlyNodes& tree, int n, const std::function<std::string(int)>& caption) {
    tree.BeginUpdate();
    TFlyNode* node = nullptr;
    for (int d = 0; d < n; ++d) {
        node = tree.AddChild(node, caption(d));
        node->SetCells(1, weightAt(d));
    }
    tree.EndUpdate();
    return node;
}

// Walks a chain from top: its length, failing when a node has more than one child.
int chainLength(const TFlyNode* top) {
    int length = 0;
    for (const TFlyNode* n = top; n; n = n->Count() > 0 ? n->Child(0) : nullptr) {
        ++length;
        if (n->Count() > 1)
            return -1;
    }
    return length;
}

std::vector<std::string> chainCaptions(const TFlyNode* top) {
    std::vector<std::string> captions;
    for (const TFlyNode* n = top; n; n = n->Count() > 0 ? n->Child(0) : nullptr)
        captions.emplace_back(n->Text());
    return captions;
}

std::string lastLine(const std::string& text) {
    const size_t end = text.size() - 2; // every tuple line ends in CR LF
    return text.substr(text.rfind('\n', end - 1) + 1, end - text.rfind('\n', end - 1) - 1);
}

// Named after the process, so that runs of other builds at the same time keep to their own.
std::string tempFile(const std::string& name) {
    return testing::TempDir() + "scale-" + std::to_string(::getpid()) + "-" + name;
}

TEST(Scale, MillionChainThroughStoreTuplesAndCopy) {
    OnSmallStack([] {
        TFlyNodes tree;
        TFlyNode* deepest =
            addChain(tree, kBig, [](int d) { return MakeCaption(chainName(d), "depth"); });
        TFlyNode* top = tree.Root(0);
        EXPECT_EQ(tree.NodeCount(), kBig);
        EXPECT_EQ(deepest->Level(), kBig - 1);

        tree.FullExpand();
        EXPECT_EQ(tree.RowCount(), kBig);
        EXPECT_EQ(tree.NodeAtRow(kBig - 1), deepest);
        tree.FullCollapse();
        EXPECT_EQ(tree.RowCount(), 1);
        tree.SetSelected(deepest);
        EXPECT_EQ(tree.Selected(), deepest);
        EXPECT_EQ(tree.RowOf(deepest), kBig - 1);
        tree.AlphaSort();
        EXPECT_EQ(tree.Root(0), top);
        EXPECT_EQ(chainLength(top), kBig);

        const std::string tuples = PcText(tree, PcNames::PlainNames);
        EXPECT_EQ(std::count(tuples.begin(), tuples.end(), '\n'), kBig);
        EXPECT_EQ(lastLine(tuples), "\"level" + std::to_string(kBig) + "\".\"" +
                                        chainName(kBig - 1) + "\".\"" + chainName(kBig - 2) +
                                        "\" " + weightAt(kBig - 1));
        const std::string file = tempFile("chain.PC");
        SavePCFile(tree, file);
        EXPECT_EQ(ReadFileBytes(file), tuples);
        std::remove(file.c_str());

        // Copy and delete outside an update bracket, with the selection inside the copy.
        TFlyNode* copy = CopySubtree(top, nullptr, true);
        ASSERT_EQ(tree.Count(), 2);
        EXPECT_EQ(chainLength(copy), kBig);
        const TFlyNode* copyDeepest = copy;
        while (copyDeepest->Count() > 0)
            copyDeepest = copyDeepest->Child(0);
        EXPECT_EQ(copyDeepest->Text(), deepest->Text());
        EXPECT_EQ(copyDeepest->Cells(1), deepest->Cells(1));
        tree.SetSelected(const_cast<TFlyNode*>(copyDeepest));
        copy->Delete();
        EXPECT_EQ(tree.Count(), 1);
        EXPECT_EQ(tree.NodeCount(), kBig);
        if (tree.Selected()) {
            EXPECT_GE(tree.RowOf(tree.Selected()), 0);
        }

        top->Child(0)->Delete();
        EXPECT_EQ(tree.NodeCount(), 1);
        addChain(tree, kBig, [](int d) { return MakeCaption(chainName(d)); });
        tree.Clear();
        EXPECT_EQ(tree.Count(), 0);
        EXPECT_EQ(tree.NodeCount(), 0);
        EXPECT_EQ(tree.Selected(), nullptr);
        addChain(tree, kBig,
                 [](int d) { return MakeCaption(chainName(d)); }); // left to the destructor
    });
}

TEST(Scale, MillionChainThroughElementText) {
    // Only every 100,000th element is named: written in full, the text of a million levels would
    // hold 1.5 TB of indentation. The unnamed ones write no line but are still walked.
    constexpr int kStep = kBig / 10;
    OnSmallStack([] {
        TFlyNodes tree;
        addChain(tree, kBig,
                 [](int d) { return d % kStep ? std::string() : MakeCaption(chainName(d)); });
        CollectingFeedback feedback;
        TextLines lines;
        WriteElementText(tree, lines, feedback);
        ASSERT_EQ(lines.size(), 10u);
        EXPECT_EQ(lines[9],
                  std::string(size_t{9} * kStep * 3, ' ') + "\"" + chainName(9 * kStep) + "\"");

        ASSERT_TRUE(ParseElementText(lines, tree, feedback));
        EXPECT_EQ(tree.NodeCount(), 10);
        EXPECT_EQ(chainLength(tree.Root(0)), 10);
        EXPECT_TRUE(feedback.messages.empty());
    });
}

TEST(Scale, DeepChainThroughBothReaders) {
    OnSmallStack([] {
        TFlyNodes tree;
        addChain(tree, kTextChain,
                 [](int d) { return MakeCaption(chainName(d), "level " + std::to_string(d)); });
        CollectingFeedback feedback;
        TextLines written;
        WriteElementText(tree, written, feedback);
        ASSERT_EQ(written.size(), size_t{kTextChain});
        EXPECT_EQ(written.back(), std::string(size_t{kTextChain - 1} * 3, ' ') + "\"" +
                                      chainName(kTextChain - 1) + "\" \"level " +
                                      std::to_string(kTextChain - 1) + "\"");

        // The tuples carry no descriptions; the .tree beside them does.
        const std::string tuples = PcText(tree, PcNames::PlainNames);
        const std::string descriptions = JoinLines(written);
        TFlyNodes loaded;
        TextLines loadedLines;
        ASSERT_TRUE(LoadPCFromBytes(tuples, &descriptions, loaded, loadedLines, feedback));
        EXPECT_EQ(chainLength(loaded.Root(0)), kTextChain);
        EXPECT_EQ(PcText(loaded, PcNames::PlainNames), tuples);
        EXPECT_EQ(loadedLines, written);

        TFlyNodes parsed;
        TextLines text = written;
        ASSERT_TRUE(ParseElementText(text, parsed, feedback));
        EXPECT_EQ(chainLength(parsed.Root(0)), kTextChain);
        EXPECT_EQ(chainCaptions(parsed.Root(0)), chainCaptions(tree.Root(0)));
        EXPECT_TRUE(feedback.messages.empty());
    });
}

std::string wideName(int i) {
    char name[16];
    std::snprintf(name, sizeof name, "C%07d", i);
    return name;
}

TEST(Scale, MillionChildrenThroughEveryPath) {
    OnSmallStack([] {
        TFlyNodes tree;
        TFlyNode* root = tree.AddChild(nullptr, MakeCaption("ROOT"));
        root->SetCells(1, " 1");
        tree.BeginUpdate();
        // 7919 is prime to the size, so the children hold every number once, in scrambled order.
        for (int i = 0; i < kBig; ++i)
            tree.AddChild(root, MakeCaption(wideName(static_cast<int>(int64_t{i} * 7919 % kBig))))
                ->SetCells(1, weightAt(i));
        tree.EndUpdate();
        ASSERT_EQ(root->Count(), kBig);

        tree.FullExpand();
        EXPECT_EQ(tree.RowCount(), kBig + 1);
        tree.FullCollapse();
        EXPECT_EQ(tree.RowCount(), 1);
        TFlyNode* last = root->Child(kBig - 1);
        tree.SetSelected(last);
        EXPECT_EQ(tree.RowOf(last), kBig);

        tree.AlphaSort();
        bool sorted = true;
        for (int i = 0; i < kBig && sorted; ++i)
            sorted = PlainName(root->Child(i)->Text()) == wideName(i);
        EXPECT_TRUE(sorted) << "children are not in byte order after AlphaSort";

        CollectingFeedback feedback;
        TextLines lines;
        WriteElementText(tree, lines, feedback);
        ASSERT_EQ(lines.size(), size_t{kBig} + 1);
        EXPECT_EQ(lines[1], "   \"C0000000\"");
        {
            TFlyNodes parsed;
            TextLines text = lines;
            ASSERT_TRUE(ParseElementText(text, parsed, feedback));
            ASSERT_EQ(parsed.Count(), 1);
            ASSERT_EQ(parsed.Root(0)->Count(), kBig);
            EXPECT_EQ(PlainName(parsed.Root(0)->Child(kBig - 1)->Text()), wideName(kBig - 1));
        }

        const std::string file = tempFile("wide.PC");
        SavePCFile(tree, file);
        {
            TFlyNodes loaded;
            TextLines loadedLines;
            ASSERT_TRUE(LoadPC(file, loaded, loadedLines, feedback));
            EXPECT_EQ(PcText(loaded, PcNames::PlainNames), ReadFileBytes(file));
            EXPECT_EQ(loadedLines, lines);
        }
        std::remove(file.c_str());

        TFlyNode* copy = CopySubtree(root, nullptr, true);
        ASSERT_EQ(copy->Count(), kBig);
        EXPECT_EQ(tree.NodeCount(), 2 * (int64_t{kBig} + 1));
        EXPECT_EQ(copy->Child(kBig / 2)->Text(), root->Child(kBig / 2)->Text());
        EXPECT_EQ(copy->Child(kBig / 2)->Cells(1), root->Child(kBig / 2)->Cells(1));
        copy->Expand(true);
        tree.SetSelected(copy->Child(kBig / 2));
        copy->Delete();
        EXPECT_EQ(tree.Count(), 1);
        EXPECT_EQ(tree.NodeCount(), int64_t{kBig} + 1);
        if (tree.Selected()) {
            EXPECT_GE(tree.RowOf(tree.Selected()), 0);
        }

        root->Child(kBig / 2)->Delete();
        EXPECT_EQ(root->Count(), kBig - 1);
        EXPECT_EQ(PlainName(root->Child(kBig / 2)->Text()), wideName(kBig / 2 + 1));
        root->DeleteChildren();
        EXPECT_EQ(root->Count(), 0);
        tree.Clear();
        EXPECT_EQ(tree.Count(), 0);
        EXPECT_EQ(tree.NodeCount(), 0);
    });
}

} // namespace
} // namespace settree
