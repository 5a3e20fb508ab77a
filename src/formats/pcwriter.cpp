// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/pcwriter.h"

#include "model/caption.h"
#include "model/textfile.h"

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

} // namespace

std::string PcText(const TFlyNodes& tree, PcNames names) {
    // A frame per open node on the path from the root: the node, its next child to visit and
    // its name, which every child line repeats as the parent name.
    struct Frame {
        const TFlyNode* node;
        int next;
        std::string name;
    };
    std::string out;
    std::vector<Frame> path;
    for (int r = 0; r < tree.Count(); ++r) {
        const TFlyNode* root = tree.Root(r);
        std::string name = nameOf(*root, names);
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
            appendLine(out, path.size() + 1, childName, top.name, child->Cells(1));
            path.push_back({child, 0, std::move(childName)});
        }
    }
    return out;
}

void SavePCFile(const TFlyNodes& tree, const std::string& fileName) {
    WriteFileAtomically(fileName, PcText(tree, PcNames::PlainNames));
}

} // namespace settree
