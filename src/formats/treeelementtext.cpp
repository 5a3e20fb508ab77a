// SPDX-License-Identifier: GPL-3.0-or-later
// The element text of a tree: its nodes in pre-order through an element text builder, which a
// large tree has write its lines on a second thread while the walk goes on.
#include "formats/elementtext.h"

#include "formats/elementtextstream.h"
#include "formats/treefile.h"
#include "model/caption.h"
#include "model/parallel.h"
#include "model/prefetch.h"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace settree {

namespace {

// Nodes are handed over in batches of this many.
constexpr size_t kBatch = 64;

struct Visit {
    const TFlyNode* node;
    size_t depth; // 0 for a root
};

// Walks the tree in pre-order (a node, then its children, siblings in order) without recursion
// and hands the nodes over in batches. Gathering a batch asks for the children's nodes and the
// batch's captions ahead of their use.
template <class VisitBatch> void visitPreOrder(const TFlyNodes& tree, VisitBatch&& visitBatch) {
    std::vector<Visit> stack;
    for (int i = tree.Count() - 1; i >= 0; --i)
        stack.push_back({tree.Root(i), 0});
    std::vector<Visit> batch;
    batch.reserve(kBatch);
    while (!stack.empty()) {
        batch.clear();
        while (!stack.empty() && batch.size() < kBatch) {
            const Visit top = stack.back();
            stack.pop_back();
            batch.push_back(top);
            Prefetch(top.node->Text().data());
            for (int i = top.node->Count() - 1; i >= 0; --i) {
                const TFlyNode* child = top.node->Child(i);
                Prefetch(child);
                stack.push_back({child, top.depth + 1});
            }
        }
        visitBatch(batch);
    }
}

// The size of the element text of the tree, found by a walk over it.
ElementTextSize sizeOf(const TFlyNodes& tree) {
    ElementTextSize size;
    visitPreOrder(tree, [&](const std::vector<Visit>& batch) {
        for (const Visit& visit : batch)
            size.add(visit.node->Text(), visit.depth);
    });
    return size;
}

// The bytes of the element text of the tree. Its size, known or found by a first walk, sizes the
// set of names once and the text. fault receives the first element element text cannot hold.
// written, when given, gets the text so far between batches of the walk.
std::string treeElementText(const TFlyNodes& tree, Feedback& feedback,
                            std::optional<ElementNotWritable>& fault,
                            const ElementTextSize* known = nullptr,
                            WrittenText* written = nullptr) {
    const ElementTextSize size = known ? *known : sizeOf(tree);
    ElementTextBuilder::Expect(size.indentation);
    ElementTextBuilder builder(size.lines, size.bound);
    if (written)
        builder.ShareAsWritten(*written);
    {
        // A large tree's lines are written on a second thread while the walk goes on.
        ElementTextStream stream(builder, size.lines);
        const auto walk = [&](bool poll) {
            visitPreOrder(tree, [&](const std::vector<Visit>& batch) {
                for (const Visit& visit : batch) {
                    const std::string_view caption = visit.node->Text();
                    if (TrimView(caption).empty())
                        continue; // no line, but the children get theirs
                    const CaptionViews parts = SplitCaptionViews(caption);
                    stream.add(parts.name, parts.description, visit.depth);
                }
                if (poll)
                    written->Poll();
            });
            stream.finish();
        };
        // The reader of a large text takes it on the calling thread while a third one walks:
        // its work then never holds up the walk that feeds the writer.
        const auto walkBeside = [&] {
            const struct EndOfText {
                WrittenText& written;
                ~EndOfText() { written.End(); }
            } end{*written};
            walk(false);
        };
        if (!written)
            walk(false);
        else if (size.lines < kWorkerNodes ||
                 !TryInParallel([&] { written->Follow(); }, walkBeside))
            walk(true);
    }
    fault = builder.Fault();
    return builder.finish(feedback);
}

} // namespace

bool ElementTextOfText(std::string_view bytes, std::string& text,
                       std::optional<ElementNotWritable>& fault, Feedback& feedback,
                       FileWriter* file) {
    text.clear();
    fault.reset();
    bytes = bytes.substr(0, bytes.find('\0'));
    const auto lines = static_cast<size_t>(std::count(bytes.begin(), bytes.end(), '\n')) + 1;
    // Each line written takes at most three times its line read (the indentation: a level's
    // width is at least the level) and eight bytes more: a text below the builder's limit by
    // that much is written whole, as the tree's would be, and never refused half way.
    const size_t limit = ElementTextBuilder::Limit();
    const bool fits = 8 * lines < limit && bytes.size() <= (limit - 8 * lines) / 3;
    std::optional<ElementTextBuilder> builder;
    if (fits) {
        builder.emplace(lines, bytes.size() + 8 * lines);
        if (file)
            builder->StreamInto(*file);
    }
    // The captions of a batch, which the builder takes together (see ElementTextBuilder::add).
    std::vector<std::string> captions(kBatch);
    std::vector<ElementTextBuilder::Element> batch;
    batch.reserve(kBatch);
    const auto flush = [&] {
        builder->add(batch);
        batch.clear();
    };
    bool inTreeOrder = true;
    const bool clean = ReadElementText(
        bytes,
        [&](size_t depth, std::string_view caption) {
            if (!fits || TrimView(caption).empty())
                return; // no line, but the children get theirs
            std::string& kept = captions[batch.size()];
            kept.assign(caption);
            batch.push_back({SplitCaptionViews(kept), depth});
            if (batch.size() == kBatch)
                flush();
        },
        feedback, inTreeOrder);
    if (!clean) {
        if (file)
            file->takeBack();
        return false;
    }
    if (fits && inTreeOrder) {
        if (!batch.empty())
            flush();
        fault = builder->Fault();
        text = builder->finish(feedback);
        if (fault)
            text.clear();
        return true;
    }
    // The element text of the tree itself; the text holds nothing the parser reports.
    builder.reset();
    if (file)
        file->takeBack(); // the lines in the order of the text
    TFlyNodes tree;
    ParseTreeFile(bytes, tree, feedback);
    text = treeElementText(tree, feedback, fault);
    if (fault)
        text.clear();
    return true;
}

bool WriteElementText(const TFlyNodes& tree, std::string& text, Feedback& feedback,
                      const ElementTextSize* size, WrittenText* written) {
    std::optional<ElementNotWritable> fault;
    {
        BusyCursor busy(feedback);
        text = treeElementText(tree, feedback, fault, size, written);
    }
    if (fault)
        feedback.message(fault->what());
    return !fault;
}

bool WriteElementText(const TFlyNodes& tree, TextLines& lines, Feedback& feedback,
                      const ElementTextSize* size) {
    std::string text;
    const bool written = WriteElementText(tree, text, feedback, size);
    lines = SplitLines(text);
    return written;
}

std::string ElementTextBytes(const TFlyNodes& tree, Feedback& feedback) {
    BusyCursor busy(feedback);
    std::optional<ElementNotWritable> fault;
    std::string text = treeElementText(tree, feedback, fault);
    if (fault)
        throw *fault;
    return text;
}

} // namespace settree
