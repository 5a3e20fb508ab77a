// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/pcwriter.h"

#include "formats/elementnotwritable.h"
#include "formats/nametable.h"
#include "model/caption.h"
#include "model/textfile.h"

#include <optional>
#include <vector>

namespace settree {

namespace {

std::string nameOf(const TFlyNode& node, PcNames names) {
    return names == PcNames::PlainNames ? PlainName(node.Text()) : StripTags(node.Text());
}

void appendLine(std::string& out, size_t depth, const std::string& child, const std::string& parent,
                std::string_view weight) {
    out.append("\"level").append(std::to_string(depth)).append("\".\"");
    out.append(child).append("\".\"").append(parent).append("\" ");
    out.append(weight).append("\r\n");
}

constexpr std::string_view kTuples = "parent-child tuples";

// Finds the elements that the tuples cannot carry back into the same tree: names that the tuple
// reader reads otherwise, and a name repeated on one level by an element with children, which
// the reader hangs under the first element of that name.
class TupleCheck {
public:
    explicit TupleCheck(char decimalSeparator) : decimalSeparator_(decimalSeparator) {}

    // Raises ElementNotWritable for the node at depth (1 for a root) with the name it is written
    // under.
    void check(const TFlyNode& node, std::string_view name, size_t depth) {
        if (const char* reason = TupleNameFault(name))
            throw ElementNotWritable(name, depth, kTuples, reason);
        if (const char* reason = TupleWeightFault(node.Cells(1), decimalSeparator_))
            throw ElementNotWritable(name, depth, kTuples, reason);
        if (name != SplitCaptionViews(node.Text()).name)
            throw ElementNotWritable(SplitCaptionViews(node.Text()).name, depth, kTuples,
                                     "its name holds markup, which the tuples leave out");
        if (levels_.size() < depth)
            levels_.resize(depth);
        bool added = false;
        levels_[depth - 1].insert(name, NameTable<NameFold>::hash(name), added,
                                  [this](std::string_view kept) { return names_.keep(kept); });
        if (!added && node.Count() > 0)
            throw ElementNotWritable(name, depth, kTuples,
                                     "an earlier element of its level has the same name, and the "
                                     "tuples would hang the children of both under that one");
    }

private:
    char decimalSeparator_;
    std::vector<NameTable<NameFold>> levels_; // the names of each level so far
    NameCopies names_;
};

} // namespace

std::string PcText(const TFlyNodes& tree, PcNames names, char decimalSeparator) {
    // A frame per open node on the path from the root: the node, its next child to visit and
    // its name, which every child line repeats as the parent name.
    struct Frame {
        const TFlyNode* node;
        int next;
        std::string name;
    };
    std::string out;
    std::vector<Frame> path;
    std::optional<TupleCheck> check;
    if (names == PcNames::PlainNames)
        check.emplace(decimalSeparator);
    for (int r = 0; r < tree.Count(); ++r) {
        const TFlyNode* root = tree.Root(r);
        std::string name = nameOf(*root, names);
        if (check)
            check->check(*root, name, 1);
        appendLine(out, 1, name, name, root->Cells(1));
        path.push_back({root, 0, std::move(name)});
        while (!path.empty()) {
            Frame& top = path.back();
            if (top.next >= top.node->Count()) {
                path.pop_back();
                continue;
            }
            const TFlyNode* child = top.node->Child(top.next++);
            std::string childName = nameOf(*child, names);
            if (check)
                check->check(*child, childName, path.size() + 1);
            appendLine(out, path.size() + 1, childName, top.name, child->Cells(1));
            path.push_back({child, 0, std::move(childName)});
        }
    }
    return out;
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
