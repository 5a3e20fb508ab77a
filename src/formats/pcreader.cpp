// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/pcreader.h"

#include "model/caption.h"
#include "model/textfile.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <deque>
#include <exception>
#include <stdexcept>
#include <utility>
#include <vector>

namespace settree {

namespace {

constexpr char kEndOfInput = 26; // Ctrl+Z

char upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
bool isQuote(char c) {
    return c == '"' || c == '\'';
}

// Hash of a name with a to z taken as A to Z; never 0, which marks a free slot.
uint64_t nameHash(std::string_view name) {
    uint64_t h = 14695981039346656037ull;
    for (char c : name) {
        h ^= static_cast<unsigned char>(upper(c));
        h *= 1099511628211ull;
    }
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdull;
    h ^= h >> 33;
    return h == 0 ? 1 : h;
}

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && CompareNoCase(a, b) == 0;
}

// Names compared without regard to case a to z, each with a value. Open addressing with the
// entries in the slots and the names copied into one block, so that a load needs no heap block
// per name and a lookup reads one slot and one name.
template <class Value> class NameTable {
public:
    // Empties the table and sizes it for about expected names.
    void reset(size_t expected) {
        size_t capacity = 16;
        while (capacity < expected * 2)
            capacity *= 2;
        slots_.assign(capacity, Slot{});
        count_ = 0;
        names_.clear();
    }

    bool empty() const { return count_ == 0; }

    const Value* find(std::string_view name, uint64_t hash) const {
        if (slots_.empty())
            return nullptr;
        const size_t mask = slots_.size() - 1;
        for (size_t i = hash & mask; slots_[i].hash != 0; i = (i + 1) & mask) {
            const Slot& slot = slots_[i];
            if (slot.hash == hash && sameName(nameOf(slot), name))
                return &slot.value;
        }
        return nullptr;
    }

    // The value under name: the one present, or a new one (added set to true).
    Value& insert(std::string_view name, uint64_t hash, bool& added) {
        if ((count_ + 1) * 2 > slots_.size())
            grow();
        const size_t mask = slots_.size() - 1;
        size_t i = hash & mask;
        for (; slots_[i].hash != 0; i = (i + 1) & mask) {
            Slot& slot = slots_[i];
            if (slot.hash == hash && sameName(nameOf(slot), name)) {
                added = false;
                return slot.value;
            }
        }
        if (names_.size() + name.size() > UINT32_MAX)
            throw std::length_error("names too long");
        ++count_;
        added = true;
        slots_[i] = Slot{hash, Value{}, static_cast<uint32_t>(names_.size()),
                         static_cast<uint32_t>(name.size())};
        names_.append(name);
        return slots_[i].value;
    }

private:
    struct Slot {
        uint64_t hash = 0; // 0 marks a free slot
        Value value{};
        uint32_t offset = 0; // of the name in names_
        uint32_t size = 0;
    };

    std::string_view nameOf(const Slot& slot) const {
        return std::string_view(names_).substr(slot.offset, slot.size);
    }

    void grow() {
        std::vector<Slot> old(slots_.empty() ? 16 : slots_.size() * 2);
        old.swap(slots_);
        const size_t mask = slots_.size() - 1;
        for (const Slot& slot : old) {
            if (slot.hash == 0)
                continue;
            size_t i = slot.hash & mask;
            while (slots_[i].hash != 0)
                i = (i + 1) & mask;
            slots_[i] = slot;
        }
    }

    std::vector<Slot> slots_;
    size_t count_ = 0;
    std::string names_;
};

// One element description of the running load.
struct telement {
    std::string_view Description;
};

// A tuple line as read: its level and its remainder (the text after the level token's ".").
struct Tuple {
    std::string_view remainder;
    int level;
};

// Reads a level number: an optional sign and decimal digits, nothing else. False when the text
// is no whole number or the number is below 1.
bool readLevel(std::string_view text, int& level) {
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    if (i == text.size())
        return false;
    int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        value = value * 10 + (text[i] - '0');
        if (value > INT_MAX)
            return false;
    }
    if (negative || value < 1)
        return false;
    level = static_cast<int>(value);
    return true;
}

// The text before the first double quote of s (empty when s holds none) and the text after it.
std::pair<std::string_view, std::string_view> splitAtQuote(std::string_view s) {
    const size_t q = s.find('"');
    if (q == std::string_view::npos)
        return {std::string_view(), s};
    return {s.substr(0, q), s.substr(q + 1)};
}

std::string_view dropFirst(std::string_view s) {
    return s.empty() ? s : s.substr(1);
}

// The working structures of one load, released with it.
class PcLoad {
public:
    PcLoad(bool fileMode, char decimalSeparator)
        : fileMode_(fileMode), decimalSeparator_(decimalSeparator) {}

    // Keeps bytes for the length of the load; descriptions and tuples point into them.
    std::string_view hold(std::string bytes) {
        store_.push_back(std::move(bytes));
        return store_.back();
    }

    // Element text lines: a quoted name, optionally followed by a quoted description.
    void ReadTreeDescriptions(std::string_view bytes) {
        size_t pos = 0;
        std::string_view line;
        while (NextLine(bytes, pos, line)) {
            auto [name, rest] = splitAtQuote(dropFirst(TrimView(line)));
            rest = TrimView(rest);
            std::string_view description = rest;
            if (!rest.empty() && isQuote(rest.front()))
                description = splitAtQuote(rest.substr(1)).first;
            replaceDescription(name, description);
        }
    }

    // Set file lines: members stand between two lines beginning with "/", each a quoted name
    // followed by a quoted description.
    void ReadSetDescriptions(std::string_view bytes) {
        bool inside = false;
        size_t pos = 0;
        std::string_view line;
        while (NextLine(bytes, pos, line)) {
            if (!line.empty() && line.front() == '/') {
                inside = !inside;
                continue;
            }
            if (!inside || line.empty() || line.front() == '$')
                continue;
            auto [name, rest] = splitAtQuote(dropFirst(TrimView(line)));
            replaceDescription(name, splitAtQuote(dropFirst(TrimView(rest))).first);
        }
    }

    // The tuple lines of a .PC file; false at the first line that is no tuple line.
    bool readFile(std::string_view bytes) {
        bytes = bytes.substr(0, bytes.find(kEndOfInput));
        tuples_.reserve(static_cast<size_t>(std::count(bytes.begin(), bytes.end(), '\n')) + 1);
        size_t pos = 0;
        std::string_view line;
        while (NextLine(bytes, pos, line))
            if (!addLine(line))
                return false;
        return true;
    }

    // The lines firstLine to lastLine of the catalog index; false when the block reaches past
    // its end or a line is no tuple line.
    bool readCatalogBlock(std::string_view bytes, int firstLine, int lastLine) {
        if (lastLine < firstLine)
            return true;
        if (firstLine < 0)
            return false;
        size_t pos = 0;
        std::string_view line;
        for (int i = 0; i <= lastLine; ++i) {
            if (!NextLine(bytes, pos, line))
                return false;
            if (i >= firstLine && !addLine(line))
                return false;
        }
        return true;
    }

    // Builds the tree level by level. On a tuple whose parent is not found, or whose quoted
    // child name is not closed, gives its names and returns false; the nodes built before stay.
    bool build(TFlyNodes& tree, std::string& failedChild, std::string& failedParent) {
        const std::vector<size_t> order = levelOrder();
        NameTable<TFlyNode*> above; // nodes of the level above, first node per name
        NameTable<TFlyNode*> here;
        int aboveLevel = 0;
        std::string childScratch;
        std::string parentScratch;
        size_t i = 0;
        while (i < order.size()) {
            const int level = tuples_[order[i]].level;
            size_t end = i;
            while (end < order.size() && tuples_[order[end]].level == level)
                ++end;
            const bool aboveIsParentLevel = aboveLevel == level - 1;
            // Only a level that the next one looks into needs its names.
            const bool namesNeeded = end < order.size() && tuples_[order[end]].level == level + 1;
            here.reset(namesNeeded ? end - i : 0);

            for (; i < end; ++i) {
                const std::string_view remainder = tuples_[order[i]].remainder;
                const TupleParts parts = takeApart(remainder, childScratch, parentScratch);
                if (!parts.closed) {
                    failedChild = Unquote(remainder);
                    failedParent.clear();
                    return false;
                }

                TFlyNode* parent = nullptr;
                if (level > 1) {
                    TFlyNode* const* found =
                        aboveIsParentLevel
                            ? above.find(parts.parentName, nameHash(parts.parentName))
                            : nullptr;
                    if (!found) {
                        failedChild = parts.child;
                        failedParent = parts.parentName;
                        return false;
                    }
                    parent = *found;
                }

                const std::string_view child = parts.child;
                const uint64_t childHash =
                    namesNeeded || !descriptions_.empty() ? nameHash(child) : 0;
                const telement* known =
                    descriptions_.empty() ? nullptr : descriptions_.find(child, childHash);
                std::string caption = known && known->Description != child
                                          ? MakeCaption(child, known->Description)
                                          : MakeCaption(child);
                TFlyNode* node = tree.AddChild(parent, std::move(caption));
                node->SetCells(1, std::string(parts.weight));

                if (namesNeeded) {
                    bool added = false;
                    TFlyNode*& first = here.insert(child, childHash, added);
                    if (added)
                        first = node;
                }
            }
            std::swap(above, here);
            aboveLevel = level;
        }
        return true;
    }

private:
    // Level token, remainder and (file mode) description annotation of one line.
    bool addLine(std::string_view line) {
        const size_t dot = line.find('.');
        if (dot == std::string_view::npos)
            return false;
        const std::string_view token = TrimView(StripOuterQuotes(line.substr(0, dot)));
        int level = 0;
        if (token.size() <= 5 || !readLevel(token.substr(5), level))
            return false;
        std::string_view remainder = TrimView(line.substr(dot + 1));
        if (fileMode_) {
            const size_t at = remainder.find('@');
            if (at != std::string_view::npos) {
                const std::string_view description = keep(remainder.substr(at + 1));
                remainder = TrimView(remainder.substr(0, at));
                const size_t nameEnd = remainder.find('.');
                const std::string_view name =
                    keep(nameEnd == std::string_view::npos ? std::string_view()
                                                           : remainder.substr(0, nameEnd));
                bool added = false;
                telement& entry = descriptions_.insert(name, nameHash(name), added);
                if (added)
                    entry.Description = description;
            }
        }
        tuples_.push_back({remainder, level});
        maxLevel_ = std::max(maxLevel_, level);
        return true;
    }

    // The names and the weight of a remainder; closed is false when a quoted child name lacks
    // its closing quote or the "." after it. Names that need their inner double quotes made
    // single are made in the scratch strings.
    struct TupleParts {
        std::string_view child;
        std::string_view parentName;
        std::string_view weight = "1";
        bool closed = true;
    };
    TupleParts takeApart(std::string_view remainder, std::string& childScratch,
                         std::string& parentScratch) const {
        TupleParts parts;
        // The child part runs to the first "." after the closing quote of a quoted name;
        // without an opening quote it is empty and the "." is the first byte.
        size_t dot = 0;
        if (!remainder.empty() && isQuote(remainder.front())) {
            const size_t close = remainder.find(remainder.front(), 1);
            dot = close == std::string_view::npos ? close : remainder.find('.', close);
            if (dot == std::string_view::npos) {
                parts.closed = false;
                return parts;
            }
        }
        parts.child = unquote(remainder.substr(0, dot), childScratch);
        std::string_view parentPart =
            TrimView(remainder.empty() ? remainder : remainder.substr(dot + 1));
        if (fileMode_)
            splitWeight(parentPart, parts.weight);
        parts.parentName = unquote(parentPart, parentScratch);
        return parts;
    }

    void replaceDescription(std::string_view name, std::string_view description) {
        bool added = false;
        descriptions_.insert(name, nameHash(name), added).Description =
            description.empty() ? name : description;
    }

    // The weight is the run of weight bytes at the end of the parent part, with the byte
    // before it (normally the blank after the closing quote).
    void splitWeight(std::string_view& part, std::string_view& weight) const {
        const size_t n = part.size();
        size_t k = n; // 1-based position of the last byte, from the end, that is no weight byte
        while (k > 1 && isWeightByte(part[k - 1]))
            --k;
        if (k != n && k > 1) {
            weight = part.substr(k - 1);
            part = TrimView(part.substr(0, k));
        }
    }

    bool isWeightByte(char c) const {
        return c == '-' || (c >= '0' && c <= '9') || c == decimalSeparator_;
    }

    // Unquote as a view into s when no inner double quote needs changing, else into scratch.
    static std::string_view unquote(std::string_view s, std::string& scratch) {
        const std::string_view r = StripOuterQuotes(s);
        if (r.find('"') == std::string_view::npos)
            return r;
        scratch = DoubleToSingleQuotes(r);
        return scratch;
    }

    // Unquote for text kept for the whole load.
    std::string_view keep(std::string_view s) {
        const std::string_view r = StripOuterQuotes(s);
        if (r.find('"') == std::string_view::npos)
            return r;
        return hold(DoubleToSingleQuotes(r));
    }

    // Tuple indexes by level, in input order within a level.
    std::vector<size_t> levelOrder() const {
        std::vector<size_t> order(tuples_.size());
        const auto maxLevel = static_cast<size_t>(maxLevel_);
        if (maxLevel <= tuples_.size() + 1) {
            std::vector<size_t> start(maxLevel + 2, 0);
            for (const Tuple& t : tuples_)
                ++start[static_cast<size_t>(t.level) + 1];
            for (size_t l = 1; l < start.size(); ++l)
                start[l] += start[l - 1];
            for (size_t i = 0; i < tuples_.size(); ++i)
                order[start[static_cast<size_t>(tuples_[i].level)]++] = i;
        } else {
            // Levels far above the line count: no counting array of that size.
            for (size_t i = 0; i < order.size(); ++i)
                order[i] = i;
            std::stable_sort(order.begin(), order.end(), [this](size_t a, size_t b) {
                return tuples_[a].level < tuples_[b].level;
            });
        }
        return order;
    }

    bool fileMode_;
    char decimalSeparator_;
    int maxLevel_ = 0;
    std::deque<std::string> store_;
    NameTable<telement> descriptions_;
    std::vector<Tuple> tuples_;
};

// The frame every load shares: read everything, then replace the tree inside one update
// bracket, report, expand, close the bracket and rebuild the text pane lines.
template <class ReadPhase>
bool runLoad(TFlyNodes& tree, TextLines& lines, Feedback& feedback, bool fileMode,
             char decimalSeparator, ReadPhase&& readPhase) {
    BusyCursor busy(feedback);
    std::string child;
    std::string parent;
    bool ok = false;
    bool bracketOpen = false;
    {
        PcLoad load(fileMode, decimalSeparator);
        try {
            if (readPhase(load)) {
                tree.BeginUpdate();
                bracketOpen = true;
                tree.Clear();
                ok = load.build(tree, child, parent);
            }
        } catch (const std::exception&) {
            ok = false;
        }
        if (!ok)
            feedback.message(std::string(kPcErrorMessage) + child + " : " + parent);
    }
    tree.FullExpand();
    if (bracketOpen)
        tree.EndUpdate();
    WriteElementText(tree, lines, feedback);
    return ok;
}

} // namespace

bool LoadPC(const std::string& fileName, TFlyNodes& tree, TextLines& lines, Feedback& feedback,
            char decimalSeparator) {
    return runLoad(tree, lines, feedback, true, decimalSeparator, [&](PcLoad& load) {
        const std::string_view pc = load.hold(ReadFileBytes(fileName));
        const std::string treeFile = ChangeFileExt(fileName, ".tree");
        if (FileExists(treeFile))
            load.ReadTreeDescriptions(load.hold(ReadFileBytes(treeFile)));
        return load.readFile(pc);
    });
}

bool LoadPCFromBytes(std::string_view pcBytes, const std::string* treeDescriptionBytes,
                     TFlyNodes& tree, TextLines& lines, Feedback& feedback, char decimalSeparator) {
    return runLoad(tree, lines, feedback, true, decimalSeparator, [&](PcLoad& load) {
        if (treeDescriptionBytes)
            load.ReadTreeDescriptions(*treeDescriptionBytes);
        return load.readFile(pcBytes);
    });
}

bool LoadPCFromCatalog(const std::string& catalogFile, const tmb& entry, TFlyNodes& tree,
                       TextLines& lines, Feedback& feedback) {
    return runLoad(tree, lines, feedback, false, '.', [&](PcLoad& load) {
        const std::string setFile = ExtractFilePath(catalogFile) + entry.Name + ".gms";
        if (FileExists(setFile))
            load.ReadSetDescriptions(load.hold(ReadFileBytes(setFile)));
        const std::string_view catalog = load.hold(ReadFileBytes(catalogFile));
        return load.readCatalogBlock(catalog, entry.FirstLine, entry.LastLine);
    });
}

} // namespace settree
