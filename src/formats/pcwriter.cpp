// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/pcwriter.h"

#include "formats/elementnotwritable.h"
#include "formats/elementtext.h"
#include "formats/nametable.h"
#include "formats/noderelay.h"
#include "formats/treefile.h"
#include "model/caption.h"
#include "model/textfile.h"

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <system_error>
#include <vector>

namespace settree {

namespace {

std::string nameOf(std::string_view caption, PcNames names) {
    return names == PcNames::PlainNames ? PlainName(caption) : StripTags(caption);
}

void appendLine(std::string& out, size_t depth, std::string_view child, std::string_view parent,
                std::string_view weight) {
    out.append("\"level").append(std::to_string(depth)).append("\".\"");
    out.append(child).append("\".\"").append(parent).append("\" ");
    out.append(weight).append("\r\n");
}

constexpr std::string_view kTuples = "parent-child tuples";
// The lines a builder streaming into a file holds at most, about.
constexpr size_t kPiece = size_t{1} << 20;

// Finds the elements that the tuples cannot carry back into the same tree: names that the tuple
// reader reads otherwise, and a name repeated on one level by an element with children, which
// the reader hangs under the first element of that name. The names of every level go into one
// table, which is read all over: each name is looked up kAhead nodes after it came, its slot
// fetched in the meantime, and a fault of a node shows only once the nodes before it are
// looked up (see check and finish).
class TupleRules {
public:
    TupleRules(char decimalSeparator, size_t expectedNodes)
        : decimalSeparator_(decimalSeparator), names_(expectedNodes) {}

    // Raises ElementNotWritable for the first node the tuples cannot carry back among those
    // given so far, up to the node at depth (1 for a root) with the name it is written under
    // and the name part of its caption; that node's name is looked up later.
    void check(std::string_view name, std::string_view captionName, std::string_view weight,
               bool hasChildren, size_t depth) {
        const char* reason = TupleNameFault(name);
        if (!reason)
            reason = TupleWeightFault(weight, decimalSeparator_);
        if (reason) {
            finish(); // a repeated name before it comes first
            throw ElementNotWritable(name, depth, kTuples, reason);
        }
        if (name != captionName) {
            finish();
            throw ElementNotWritable(captionName, depth, kTuples,
                                     "its name holds markup, which the tuples leave out");
        }
        if (waiting_ == kAhead)
            lookUp(coming_[first_]);
        Coming& next = coming_[(first_ + waiting_) % kAhead];
        if (waiting_ < kAhead)
            ++waiting_;
        else
            first_ = (first_ + 1) % kAhead;
        setKey(next.key, depth, name);
        next.nameAt = kDepthBytes;
        next.depth = depth;
        next.hasChildren = hasChildren;
        next.hash = NameTable<NameFold>::hash(next.key);
        names_.prefetch(next.hash);
    }

    // Looks up the names still waiting; raises ElementNotWritable for the first repeated one.
    void finish() {
        while (waiting_ > 0) {
            Coming& now = coming_[first_];
            first_ = (first_ + 1) % kAhead;
            --waiting_;
            lookUp(now);
        }
    }

private:
    static constexpr size_t kAhead = 16;
    static constexpr size_t kDepthBytes = 8; // no tree is 2^32 levels deep

    // A name waiting to be looked up: behind its depth (see setKey).
    struct Coming {
        std::string key;
        size_t nameAt = 0;
        size_t depth = 0;
        bool hasChildren = false;
        uint64_t hash = 0;
    };

    // The name behind its depth, written in eight bytes from 0 to 15, which the letter case
    // fold leaves as they are: two keys are the same exactly when depth and name are.
    static void setKey(std::string& key, size_t depth, std::string_view name) {
        key.resize(kDepthBytes);
        for (size_t k = 0; k < kDepthBytes; ++k)
            key[k] = static_cast<char>((depth >> (4 * k)) & 0xF);
        key.append(name);
    }

    void lookUp(const Coming& node) {
        bool added = false;
        names_.insert(node.key, node.hash, added,
                      [this](std::string_view kept) { return copies_.keep(kept); });
        if (!added && node.hasChildren) {
            const std::string name = node.key.substr(node.nameAt);
            waiting_ = 0; // the check is over
            throw ElementNotWritable(name, node.depth, kTuples,
                                     "an earlier element of its level has the same name, and the "
                                     "tuples would hang the children of both under that one");
        }
    }

    char decimalSeparator_;
    NameTable<NameFold> names_; // the names of every level so far, each behind its depth
    NameCopies copies_;
    std::array<Coming, kAhead> coming_; // in order from coming_[first_]
    size_t first_ = 0;
    size_t waiting_ = 0;
};

} // namespace

// The rules of TupleRules for the nodes of a builder; many nodes are checked on a second thread
// while the builder writes their lines, and a fault then shows with a later node or in finish.
class PcTextBuilder::TupleCheck {
public:
    TupleCheck(char decimalSeparator, size_t expectedNodes)
        : rules_(decimalSeparator, expectedNodes) {
        if (expectedNodes < kWorkerNodes)
            return;
        try {
            worker_.emplace([this](const std::vector<NodeRelay::Node>& nodes) {
                for (const NodeRelay::Node& node : nodes)
                    rules_.check(node.name, node.described ? node.description : node.name,
                                 node.weight, node.hasChildren, node.depth);
            });
        } catch (const std::system_error&) {
            // No second thread: check takes each node itself.
        }
    }

    // Raises ElementNotWritable for the first node the tuples cannot carry back among those
    // checked so far (see TupleRules::check).
    void check(std::string_view name, std::string_view captionName, std::string_view weight,
               bool hasChildren, size_t depth) {
        if (!worker_) {
            rules_.check(name, captionName, weight, hasChildren, depth);
            return;
        }
        // The caption's name goes along only where it differs, which is a fault.
        worker_->add(depth, name, captionName == name ? nullptr : &captionName, weight,
                     hasChildren);
    }

    // Checks the nodes still waiting; raises ElementNotWritable for the first fault.
    void finish() {
        if (worker_)
            worker_->finish();
        rules_.finish();
    }

private:
    TupleRules rules_;
    // The second thread, when there is one; declared last, so that it stops before the rules
    // it checks with go.
    std::optional<NodeWorker> worker_;
};

PcTextBuilder::PcTextBuilder(PcNames names, char decimalSeparator, size_t expectedNodes)
    : names_(names) {
    if (names == PcNames::PlainNames)
        check_ = std::make_unique<TupleCheck>(decimalSeparator, expectedNodes);
}

PcTextBuilder::~PcTextBuilder() = default;

void PcTextBuilder::add(size_t depth, std::string_view caption, std::string_view weight,
                        bool hasChildren) {
    // The name and the caption's name part: one view into the caption for most captions.
    std::string_view name;
    std::string_view captionName;
    if (names_ == PcNames::PlainNames && UntaggedName(caption, name)) {
        captionName = name;
    } else {
        name_ = nameOf(caption, names_);
        name = name_;
        captionName = SplitCaptionViews(caption).name;
    }
    if (check_)
        check_->check(name, captionName, weight, hasChildren, depth);
    // A root names itself as its parent.
    const std::string_view parent = depth == 1 ? name : std::string_view(path_[depth - 2]);
    appendLine(text_, depth, name, parent, weight);
    if (file_ && text_.size() >= kPiece) {
        file_->append(text_);
        text_.clear();
    }
    if (path_.size() < depth)
        path_.resize(depth);
    path_[depth - 1].assign(name);
}

std::string PcTextBuilder::Take() {
    if (check_)
        check_->finish();
    return std::move(text_);
}

std::string PcText(const TFlyNodes& tree, PcNames names, char decimalSeparator) {
    // A frame per open node on the path from the root: the node and its next child to visit.
    struct Frame {
        const TFlyNode* node;
        int next;
    };
    PcTextBuilder builder(names, decimalSeparator, static_cast<size_t>(tree.NodeCount()));
    std::vector<Frame> path;
    const auto add = [&](const TFlyNode& node) {
        builder.add(path.size() + 1, node.Text(), node.Cells(1), node.Count() > 0);
        path.push_back({&node, 0});
    };
    for (int r = 0; r < tree.Count(); ++r) {
        add(*tree.Root(r));
        while (!path.empty()) {
            Frame& top = path.back();
            if (top.next >= top.node->Count()) {
                path.pop_back();
                continue;
            }
            add(*top.node->Child(top.next++));
        }
    }
    return builder.Take();
}

bool ElementTextToPcText(std::string_view bytes, std::string& text,
                         std::optional<ElementNotWritable>& fault, Feedback& feedback,
                         char decimalSeparator, FileWriter* file) {
    text.clear();
    fault.reset();
    bytes = bytes.substr(0, bytes.find('\0'));
    PcTextBuilder builder(PcNames::PlainNames, decimalSeparator,
                          static_cast<size_t>(std::count(bytes.begin(), bytes.end(), '\n')) + 1);
    if (file)
        builder.StreamInto(*file);
    // Whether an element has children shows with the element after it: each is written once
    // the next one is read, the last one at the end.
    bool pending = false;
    size_t pendingDepth = 0;
    std::string pendingCaption;
    const auto write = [&](bool hasChildren) {
        // After a fault the text is read on: an error in a later line comes first.
        WroteAll(fault, [&] { builder.add(pendingDepth + 1, pendingCaption, "1", hasChildren); });
    };
    bool inTreeOrder = true;
    const bool clean = ReadElementText(
        bytes,
        [&](size_t depth, std::string_view caption) {
            if (pending && !fault)
                write(depth > pendingDepth);
            pending = true;
            pendingDepth = depth;
            pendingCaption.assign(caption);
        },
        feedback, inTreeOrder);
    if (!clean) {
        fault.reset(); // the parser's error is the one reported
        return false;
    }
    if (!inTreeOrder) {
        // The tuples of the tree itself; the text holds nothing the parser reports.
        fault.reset();
        if (file)
            file->takeBack(); // the lines in the order of the text
        TFlyNodes tree;
        ParseTreeFile(bytes, tree, feedback);
        WroteAll(fault, [&] { text = PcText(tree, PcNames::PlainNames, decimalSeparator); });
        return true;
    }
    if (pending && !fault)
        write(false);
    if (!fault)
        WroteAll(fault, [&] { text = builder.Take(); });
    return true;
}

std::string PcFileBytes(const TFlyNodes& tree, const std::string& fileName, char decimalSeparator) {
    try {
        return PcText(tree, PcNames::PlainNames, decimalSeparator);
    } catch (const ElementNotWritable& fault) {
        throw fault.InFile(fileName);
    }
}

void SavePCFile(const TFlyNodes& tree, const std::string& fileName, char decimalSeparator) {
    WriteFileAtomically(fileName, PcFileBytes(tree, fileName, decimalSeparator));
}

} // namespace settree
