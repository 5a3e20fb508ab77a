// SPDX-License-Identifier: GPL-3.0-or-later
#include "gen/synthetic.h"

#include "model/caption.h"

#include <vector>

namespace settree::bench {

namespace {

// Leaves named from this short list repeat across branches, as "Other" groups do.
constexpr std::string_view kRepeatedNames[] = {"OTHER", "REST", "MISC", "TOTAL", "UNALLOC"};

std::string base36(uint64_t v) {
    std::string s;
    do {
        s.insert(s.begin(), "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ"[v % 36]);
        v /= 36;
    } while (v != 0);
    return s;
}

// Signed weights with and without decimals: "12", "-3.5", "0.25", "-140".
std::string weightFor(uint64_t r) {
    const int64_t whole = static_cast<int64_t>(r % 2001) - 1000;
    switch ((r >> 16) % 4) {
    case 0:
        return std::to_string(whole);
    case 1:
        return std::to_string(whole / 10) + ".5";
    case 2:
        return (whole < 0 ? "-0." : "0.") + std::to_string(r % 100 + 100).substr(1);
    default:
        return "1";
    }
}

class Builder {
public:
    Builder(TFlyNodes& tree, const SyntheticOptions& options)
        : tree_(tree), options_(options), random_(options.seed) {}

    // One element: a unique name, or for some leaves a repeated one; a description for four
    // in five; a weight.
    TFlyNode* add(TFlyNode* parent, bool leaf) {
        const uint64_t r = random_.Next();
        std::string name;
        if (leaf && r % 16 == 0)
            name = kRepeatedNames[(r >> 8) % std::size(kRepeatedNames)];
        else // a scrambled prefix before the unique number: names in no sorted order
            name.append("E").append(base36(46656 + r % 46656).substr(1)).append(base36(count_));
        std::string caption = r % 5 == 0
                                  ? MakeCaption(name)
                                  : MakeCaption(name, "Element " + std::to_string(count_) +
                                                          " of group " + std::to_string(r % 97));
        TFlyNode* node = tree_.AddChild(parent, std::move(caption));
        node->SetCells(1, weightFor(r >> 20));
        ++count_;
        return node;
    }

    void balanced(TFlyNode* top) {
        const int fanOut = BalancedFanOut(options_.elements);
        constexpr int kLevels = 4;
        // Pre-order with an explicit stack of (parent, level, children still to add).
        struct Frame {
            TFlyNode* node;
            int level;
            int remaining;
        };
        std::vector<Frame> stack{{top, 0, fanOut}};
        while (!stack.empty() && count_ < options_.elements) {
            Frame& f = stack.back();
            if (f.remaining == 0) {
                stack.pop_back();
                continue;
            }
            --f.remaining;
            const int level = f.level + 1;
            TFlyNode* node = add(f.node, level == kLevels);
            if (level < kLevels)
                stack.push_back({node, level, fanOut});
        }
    }

    void deep(TFlyNode* top) {
        const int64_t depth = options_.depth < 1 ? 1 : options_.depth;
        while (count_ < options_.elements) {
            TFlyNode* node = top;
            for (int64_t d = 0; d < depth && count_ < options_.elements; ++d)
                node = add(node, d + 1 == depth || count_ + 1 == options_.elements);
        }
    }

private:
    TFlyNodes& tree_;
    const SyntheticOptions& options_;
    SplitMix random_;
    int64_t count_ = 0;
};

} // namespace

int BalancedFanOut(int64_t elements) {
    for (int64_t f = 1;; ++f)
        if (f + f * f + f * f * f + f * f * f * f >= elements)
            return static_cast<int>(f);
}

void AddSynthetic(TFlyNodes& tree, TFlyNode* parent, const SyntheticOptions& options) {
    Builder builder(tree, options);
    tree.BeginUpdate();
    if (options.shape == Shape::Balanced)
        builder.balanced(parent);
    else
        builder.deep(parent);
    tree.EndUpdate();
}

std::string ShuffleLines(std::string_view text, uint64_t seed) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        end = end == std::string_view::npos ? text.size() : end + 2;
        lines.push_back(text.substr(start, end - start));
        start = end;
    }
    SplitMix random(seed);
    for (size_t i = lines.size(); i > 1; --i)
        std::swap(lines[i - 1], lines[random.Below(i)]);
    std::string out;
    out.reserve(text.size() + 2);
    for (std::string_view line : lines) {
        out.append(line);
        if (line.size() < 2 || line.substr(line.size() - 2) != "\r\n")
            out.append("\r\n");
    }
    return out;
}

} // namespace settree::bench
