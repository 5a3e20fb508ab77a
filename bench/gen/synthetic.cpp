// SPDX-License-Identifier: GPL-3.0-or-later
#include "gen/synthetic.h"

#include "formats/pcwriter.h"
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

// Words of the classification shape's descriptions, in several languages, most of them with
// letters beyond ASCII (two- and three-byte UTF-8 sequences).
constexpr std::string_view kWords[] = {
    "Élevage",          "de",          "bovins",      "Herstellung", "von",
    "Möbeln",           "Fabricación", "vehículos",   "Straßenbau",  "Produção",
    "açúcar",           "Økologisk",   "landbrug",    "Górnictwo",   "węgla",
    "Производство",     "изделий",     "Ξυλεία",      "and",         "other",
    "products",         "services",    "n.e.c.",      "équipements", "électriques",
    "Dienstleistungen", "für",         "Unternehmen", "pêche",       "forêts",
    "grossiste",        "détail",      "Łódź",        "Kraków",      "Ålesund",
    "Tromsø",           "rénovation",  "énergie",     "Čeština",     "Ürünler"};

// The classification shape's sections (the top level) share the elements about equally among
// this many; a size that needs more gets more.
constexpr int64_t kSections = 21;
// Levels below a section; the last of them is reached by about half the branches.
constexpr int kClassificationLevels = 7;

// The section codes: a letter and two digits ("A01", "A02", ..., "B01", ...).
std::string sectionCode(int64_t index) {
    std::string code(1, static_cast<char>('A' + (index / 99) % 26));
    const int64_t number = index % 99 + 1;
    code.push_back(static_cast<char>('0' + number / 10));
    code.push_back(static_cast<char>('0' + number % 10));
    return code;
}

// The section names of the lower-case shape: sectors as a modeller abbreviates them, most in
// lower case, some in mixed case.
constexpr std::string_view kSectors[] = {
    "agr",     "Mining", "food",  "Textiles", "wood",   "chem",  "Metals",
    "elec",    "Constr", "trade", "transp",   "Hotels", "info",  "finance",
    "realest", "Public", "educ",  "health",   "Arts",   "other", "hh"};

// A section's name in the lower-case shape: the sector, with a number after the first round.
std::string sectorCode(int64_t index) {
    const auto count = static_cast<int64_t>(std::size(kSectors));
    std::string code(kSectors[index % count]);
    if (index >= count)
        code.append(std::to_string(index / count));
    return code;
}

// The mean fan-out of the classification shape: the least m >= 2 whose levels reach the share
// of one section, counting the last level as half full.
int64_t classificationFanOut(int64_t elements) {
    const int64_t perSection = elements / kSections + 1;
    for (int64_t m = 2;; ++m) {
        int64_t total = 0;
        int64_t level = 1;
        for (int l = 1; l < kClassificationLevels; ++l) {
            total += level;
            level *= m;
        }
        total += level / 2;
        if (total >= perSection)
            return m;
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

    // Sections until the size is reached; below each, pre-order with an explicit stack. A node
    // has 1 to 2m - 1 children (m the mean fan-out), numbered with small gaps as real codes
    // are; a node on the last level but one has children only half the time.
    void classification(TFlyNode* top) {
        const int64_t fanOut = classificationFanOut(options_.elements);
        struct Frame {
            TFlyNode* node;
            std::string code;
            int level;
            int64_t remaining;
            int64_t number; // of the child added last
        };
        std::vector<Frame> stack;
        for (int64_t section = 0; count_ < options_.elements; ++section) {
            const std::string code =
                options_.shape == Shape::LowerCase ? sectorCode(section) : sectionCode(section);
            stack.push_back({addCoded(top, code), code, 1, childrenAt(1, fanOut), 0});
            while (!stack.empty() && count_ < options_.elements) {
                Frame& f = stack.back();
                if (f.remaining == 0) {
                    stack.pop_back();
                    continue;
                }
                --f.remaining;
                f.number += 1 + (random_.Next() % 5 == 0 ? 1 : 0);
                std::string child = f.code + "." + std::to_string(f.number);
                TFlyNode* node = addCoded(f.node, child);
                const int level = f.level + 1;
                const int64_t children = childrenAt(level, fanOut);
                if (children > 0)
                    stack.push_back({node, std::move(child), level, children, 0});
            }
            stack.clear();
        }
    }

private:
    int64_t childrenAt(int level, int64_t fanOut) {
        if (level >= kClassificationLevels)
            return 0;
        const uint64_t r = random_.Next();
        if (level == kClassificationLevels - 1 && r % 2 == 0)
            return 0;
        return 1 + static_cast<int64_t>((r >> 8) % static_cast<uint64_t>(2 * fanOut - 1));
    }

    // An element of the classification shape: its code, a description of two to five words,
    // a weight.
    TFlyNode* addCoded(TFlyNode* parent, std::string_view code) {
        const uint64_t r = random_.Next();
        std::string description;
        const int words = 2 + static_cast<int>(r % 4);
        for (int w = 0; w < words; ++w) {
            if (w > 0)
                description.push_back(' ');
            description.append(kWords[(r >> (8 + 6 * w)) % std::size(kWords)]);
        }
        TFlyNode* node = tree_.AddChild(parent, MakeCaption(code, description));
        node->SetCells(1, weightFor(r >> 40));
        ++count_;
        return node;
    }

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
    else if (options.shape == Shape::Deep)
        builder.deep(parent);
    else
        builder.classification(parent);
    tree.EndUpdate();
}

std::string ShapedPcText(const TFlyNodes& tree, const SyntheticOptions& options) {
    std::string pc = PcText(tree, PcNames::PlainNames);
    if (options.shape != Shape::Classification && options.shape != Shape::LowerCase)
        return pc;
    // The writer's lines follow the tree in pre-order, as this walk does.
    std::vector<const TFlyNode*> stack;
    for (int i = tree.Count() - 1; i >= 0; --i)
        stack.push_back(tree.Root(i));
    SplitMix random(options.seed ^ 0xA11A11A11ull);
    std::string out;
    out.reserve(pc.size() + pc.size() / 3);
    size_t start = 0;
    while (start < pc.size() && !stack.empty()) {
        const TFlyNode* node = stack.back();
        stack.pop_back();
        for (int i = node->Count() - 1; i >= 0; --i)
            stack.push_back(node->Child(i));
        const size_t end = pc.find("\r\n", start);
        const std::string_view line(pc.data() + start, end - start);
        out.append(line);
        if (random.Below(3) == 0)
            out.append(" @ \"").append(SplitCaption(node->Text()).description).append("\"");
        out.append("\r\n");
        start = end + 2;
    }
    return out;
}

const char* ShapeName(Shape shape) {
    switch (shape) {
    case Shape::Balanced:
        return "balanced";
    case Shape::Deep:
        return "deep";
    case Shape::Classification:
        return "classification";
    case Shape::LowerCase:
        break;
    }
    return "lowercase";
}

bool ShapeFromName(std::string_view name, Shape& shape) {
    for (const Shape s : {Shape::Balanced, Shape::Deep, Shape::Classification, Shape::LowerCase}) {
        if (name == ShapeName(s)) {
            shape = s;
            return true;
        }
    }
    return false;
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
