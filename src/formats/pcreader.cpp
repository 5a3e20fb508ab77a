// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/pcreader.h"

#include "formats/elementtextstream.h"
#include "formats/nametable.h"
#include "formats/noderelay.h"
#include "formats/pcwriter.h"
#include "model/caption.h"
#include "model/parallel.h"
#include "model/textfile.h"
#include "model/utf8.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <deque>
#include <exception>
#include <new>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

namespace settree {

namespace {

constexpr char kEndOfInput = 26; // Ctrl+Z

// The one message of a tuple that cannot be read or hung: the names of the tuple, each cut to
// what a message shows.
std::string tupleErrorMessage(std::string_view child, std::string_view parent) {
    return std::string(kPcErrorMessage) + ShortForMessage(child) + " : " + ShortForMessage(parent);
}

bool isQuote(char c) {
    return c == '"' || c == '\'';
}

// Names of a load are compared as Unquote gives them, upper-cased, and read where they stand in
// the input, without making the unquoted copy.
template <class Value> using Names = NameTable<UnquotedNameFold, Value>;

// Tuples are taken apart in batches of this many (see groupByParent), and asked for this many
// steps ahead of their use (see buildPreOrder).
constexpr size_t kBatch = 64;
constexpr size_t kAhead = 8;

// One element description of the running load. A line of a description file that gives no
// description records that the name has none, so that no other spelling of the name gets one
// from it.
struct telement {
    std::string_view Description;
    bool Described = true;
};

// The tuples of one level: a run of the remainders in level order.
struct LevelRun {
    int level;
    size_t begin;
    size_t end;
};

// The tuples of one level by name: each name gives the place, in the level's grouped order (see
// PcLoad::groupByParent), of the first tuple of that name in input order. The names are copied
// into one block: the next level looks each of its parents up here, and reading the names from
// all over the input would cost a wait on memory every time.
class LevelNames {
public:
    // Empties the table and sizes it for the given number of names of at most bytes in all.
    void reset(size_t names, size_t bytes) {
        table_.reset(names);
        text_.clear();
        text_.reserve(bytes);
        size_ = names;
    }
    // The number of tuples of the level.
    size_t size() const { return size_; }

    static uint64_t hash(std::string_view name) { return Names<uint32_t>::hash(name); }
    void prefetch(uint64_t hash) const { table_.prefetch(hash); }
    // The place of the tuple that name gives; none when no tuple has it.
    const uint32_t* find(std::string_view name, uint64_t hash) const {
        return table_.find(name, hash);
    }

    // Records the name of a tuple and its place. Tuples come in input order: the first of a
    // name keeps it.
    void add(std::string_view name, uint32_t place) { add(name, hash(name), place); }
    void add(std::string_view name, uint64_t hash, uint32_t place) {
        if (text_.size() + name.size() > text_.capacity())
            throw std::length_error("level names beyond their block");
        // Within the reserved block, so the names copied before stay in place.
        const size_t at = text_.size();
        text_.insert(text_.end(), name.begin(), name.end());
        bool added = false;
        uint32_t& first =
            table_.insert(std::string_view(text_.data() + at, name.size()), hash, added);
        if (added)
            first = place;
        else
            text_.resize(at);
    }

private:
    Names<uint32_t> table_;
    std::vector<char> text_;
    size_t size_ = 0;
};

// A level whose tuples are linked to their parents: its tuples in grouped order (see
// PcLoad::groupByParent), how many of them are built, and where the children of each tuple of the
// level above end among them.
struct LinkedLevel {
    size_t begin; // of the tuples in PcLoad::lines_.remainders
    size_t count;
    std::vector<uint32_t> ends;
};

// Walks the linked levels in pre-order, a tuple before its children, without recursion: the
// order in which the nodes are created, so that each subtree lies in one stretch of memory.
class PreOrder {
public:
    explicit PreOrder(const std::vector<LinkedLevel>& levels) : levels_(levels) {
        if (!levels_.empty() && levels_[0].count > 0)
            open_.push_back({0, static_cast<uint32_t>(levels_[0].count)});
    }

    // The next tuple: its depth (the index of its level) and place. False at the end.
    bool next(size_t& depth, uint32_t& place) {
        while (!open_.empty() && open_.back().next == open_.back().end)
            open_.pop_back();
        if (open_.empty())
            return false;
        depth = open_.size() - 1;
        place = open_.back().next++;
        if (depth + 1 < levels_.size()) {
            const std::vector<uint32_t>& ends = levels_[depth + 1].ends;
            const uint32_t first = place == 0 ? 0 : ends[place - 1];
            if (first < ends[place])
                open_.push_back({first, ends[place]});
        }
        return true;
    }

private:
    struct Range {
        uint32_t next;
        uint32_t end;
    };
    const std::vector<LinkedLevel>& levels_;
    std::vector<Range> open_; // the siblings still to come at each depth of the current path
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

// The number of line feeds: about the number of lines, to size what holds them.
size_t lineEnds(std::string_view bytes) {
    return static_cast<size_t>(std::count(bytes.begin(), bytes.end(), '\n'));
}

std::string_view dropFirst(std::string_view s) {
    return s.empty() ? s : s.substr(1);
}

// Where the description annotation of a remainder begins: its first "@" outside quotes (a
// quote opens a quoted text that the same quote closes), so that a name or weight holding an
// "@" is never taken for one.
size_t annotationAt(std::string_view remainder) {
    // Most tuples have none: a search for the sign alone tells them at once.
    if (remainder.find('@') == std::string_view::npos)
        return std::string_view::npos;
    char quote = 0;
    for (size_t i = 0; i < remainder.size(); ++i) {
        const char c = remainder[i];
        if (quote != 0) {
            if (c == quote)
                quote = 0;
        } else if (isQuote(c)) {
            quote = c;
        } else if (c == '@') {
            return i;
        }
    }
    return std::string_view::npos;
}

// The element name an annotation describes: the child name of a quoted child part (as
// takeApart finds it), else the text before the first ".".
std::string_view annotatedName(std::string_view remainder) {
    size_t end = remainder.find('.');
    if (!remainder.empty() && isQuote(remainder.front())) {
        const size_t close = remainder.find(remainder.front(), 1);
        end = close == std::string_view::npos ? close : remainder.find('.', close);
    }
    return StripOuterQuotes(end == std::string_view::npos ? std::string_view()
                                                          : remainder.substr(0, end));
}

// One line of element text read for its description: a quoted name, optionally followed by a
// quoted description. A line marked as a repeated name is read as the line without its marker,
// as every reader of element text reads it.
struct DescriptionLine {
    std::string_view name;
    std::string_view description;
};
DescriptionLine readDescriptionLine(std::string_view line) {
    if (line.substr(0, kDuplicateMarker.size()) == kDuplicateMarker)
        line.remove_prefix(kDuplicateMarker.size());
    auto [name, rest] = splitAtQuote(dropFirst(TrimView(line)));
    rest = TrimView(rest);
    std::string_view description = rest;
    if (!rest.empty() && isQuote(rest.front()))
        description = splitAtQuote(rest.substr(1)).first;
    return {name, description};
}

// The line of a .tree file that begins at start (see readDescriptionLine).
DescriptionLine treeLineAt(std::string_view text, size_t start) {
    std::string_view line;
    NextLine(text, start, line);
    return readDescriptionLine(line);
}

// The annotation of the tuple line whose remainder (the line after its level token, as
// PcLoad::addLine takes it) begins at start: the name it describes and the text after its "@",
// as they stand. The line has one.
DescriptionLine annotationAtLine(std::string_view text, size_t start) {
    std::string_view rest;
    NextLine(text, start, rest);
    const std::string_view remainder = TrimView(rest);
    const size_t at = annotationAt(remainder);
    return {annotatedName(TrimView(remainder.substr(0, at))), remainder.substr(at + 1)};
}

// Lines of a text by the name each gives, which readLine finds again from where the line
// begins; names are compared as the load compares them. A slot is one word: part of the name's
// hash and where the line begins, which is read again when the name is looked up. The
// description is needed only then, and its line is then read anyway: a table of a million names
// takes 12 MB instead of the 60 MB of one that holds each name and description, and its lookups,
// all over memory, wait less.
template <DescriptionLine (*readLine)(std::string_view text, size_t start)> class NamedLines {
public:
    // Empties the table and sizes it for about names names from lines of text, which must stay
    // in place for as long as the table is used.
    void reset(std::string_view text, size_t names) {
        text_ = text;
        if (text.size() >= (uint64_t{1} << (64 - kTagBits)) - 1)
            throw std::length_error("text too large for its table of names");
        slots_.assign(names + names / 2 + 8, 0);
        count_ = 0;
    }
    bool empty() const { return count_ == 0; }

    static uint64_t hash(std::string_view name) { return NameHash<UnquotedNameFold>(name); }
    // Asks for the slot where the search for a name of this hash starts.
    void prefetch(uint64_t hash) const {
        if (!slots_.empty())
            Prefetch(&slots_[home(hash)]);
    }
    // Asks for the line in that slot, once the slot itself is at hand.
    void prefetchLine(uint64_t hash) const {
        if (slots_.empty())
            return;
        const uint64_t slot = slots_[home(hash)];
        if (slot != 0)
            Prefetch(text_.data() + lineStart(slot));
    }

    // Records that the line beginning at start gives name, whose hash is hash: in place of an
    // earlier line of the name where last wins, else only where no line gives the name yet.
    enum class Wins { First, Last };
    void add(std::string_view name, uint64_t hash, size_t start, Wins wins) {
        const uint64_t tag = tagOf(hash);
        size_t i = home(hash);
        for (; slots_[i] != 0; i = next(i)) {
            if ((slots_[i] & kTagMask) == tag &&
                SameName<UnquotedNameFold>(lineAt(slots_[i]).name, name)) {
                if (wins == Wins::Last)
                    slots_[i] = slotOf(tag, start);
                return;
            }
        }
        if ((count_ + 1) * 4 > slots_.size() * 3) {
            // More names than lines counted (their ends may be carriage returns alone).
            grow();
            add(name, hash, start, wins);
            return;
        }
        slots_[i] = slotOf(tag, start);
        ++count_;
    }

    // The line kept for name (see add); false when none gives it.
    bool find(std::string_view name, uint64_t hash, DescriptionLine& line) const {
        if (slots_.empty())
            return false;
        const uint64_t tag = tagOf(hash);
        for (size_t i = home(hash);; i = next(i)) {
            const uint64_t slot = slots_[i];
            if (slot == 0)
                return false;
            if ((slot & kTagMask) != tag)
                continue;
            line = lineAt(slot);
            if (SameName<UnquotedNameFold>(line.name, name))
                return true;
        }
    }

private:
    // A tag this short lets a name's slot share its tag with another name now and then, which
    // costs a reading of that line; the rest of the word can tell lines apart up to 256 TB.
    static constexpr unsigned kTagBits = 16;
    static constexpr uint64_t kTagMask = (uint64_t{1} << kTagBits) - 1;
    // 0 marks a free slot: the line's start is kept one above itself.
    static uint64_t slotOf(uint64_t tag, size_t start) {
        return (uint64_t{start} + 1) << kTagBits | tag;
    }
    static size_t lineStart(uint64_t slot) { return static_cast<size_t>((slot >> kTagBits) - 1); }
    static uint64_t tagOf(uint64_t hash) { return hash >> (64 - kTagBits); }
    DescriptionLine lineAt(uint64_t slot) const { return readLine(text_, lineStart(slot)); }
    size_t home(uint64_t hash) const {
        return static_cast<size_t>(((hash & 0xffffffffull) * slots_.size()) >> 32);
    }
    size_t next(size_t i) const { return i + 1 == slots_.size() ? 0 : i + 1; }
    // Twice the room, each slot placed again by the hash of the name its line gives.
    void grow() {
        std::vector<uint64_t> old(slots_.size() * 2, 0);
        old.swap(slots_);
        for (const uint64_t slot : old) {
            if (slot == 0)
                continue;
            size_t i = home(hash(lineAt(slot).name));
            while (slots_[i] != 0)
                i = next(i);
            slots_[i] = slot;
        }
    }

    std::string_view text_;
    std::vector<uint64_t> slots_;
    size_t count_ = 0;
};
using TreeLines = NamedLines<treeLineAt>;
using AnnotationLines = NamedLines<annotationAtLine>;

// An annotation's description as the node gets it: Unquote of its text, made in scratch where
// it holds a double quote.
std::string_view annotationText(std::string_view text, std::string& scratch) {
    const std::string_view stripped = StripOuterQuotes(text);
    if (stripped.find('"') == std::string_view::npos)
        return stripped;
    scratch = DoubleToSingleQuotes(stripped);
    return scratch;
}

// The parents of levels of at least this many tuples are looked up in two halves at once (files
// of at least kParallelBytes are read so).
constexpr size_t kParallelTuples = size_t{1} << 15;

// The tuple lines read from (a stretch of) the input, in input order.
struct TupleLines {
    // A description annotation: the child name, as it stands, and where the remainder of its
    // line begins (see annotationAtLine).
    struct Annotation {
        std::string_view name;
        const char* remainder;
    };
    std::vector<std::string_view> remainders; // each line after its level token
    std::vector<int> levels;
    int maxLevel = 0;
    std::vector<Annotation> annotations;

    // Appends the lines of the stretch that follows.
    void append(TupleLines&& next) {
        remainders.insert(remainders.end(), next.remainders.begin(), next.remainders.end());
        levels.insert(levels.end(), next.levels.begin(), next.levels.end());
        maxLevel = std::max(maxLevel, next.maxLevel);
        annotations.insert(annotations.end(), next.annotations.begin(), next.annotations.end());
        next = TupleLines();
    }
};

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

    // The lines of a .tree file, each giving the description of its name (see
    // readDescriptionLine); the last line of a name wins, and a line that gives no description
    // records that the name has none, so that no other spelling of the name gets one from it.
    void ReadTreeDescriptions(std::string_view bytes) {
        descriptionLines_.reset(bytes, lineEnds(bytes) + 1);
        struct Entry {
            std::string_view name;
            size_t start;
            uint64_t hash;
        };
        std::vector<Entry> batch;
        batch.reserve(kBatch);
        size_t pos = 0;
        std::string_view line;
        bool more = true;
        while (more) {
            // The slots of a batch are asked for before its names go in, in order.
            batch.clear();
            while (batch.size() < kBatch && (more = NextLine(bytes, pos, line))) {
                const std::string_view name = readDescriptionLine(line).name;
                const uint64_t hash = TreeLines::hash(name);
                descriptionLines_.prefetch(hash);
                batch.push_back({name, static_cast<size_t>(line.data() - bytes.data()), hash});
            }
            for (const Entry& entry : batch)
                descriptionLines_.add(entry.name, entry.hash, entry.start, TreeLines::Wins::Last);
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

    // The tuple lines of a .PC file, and the element text lines of its .tree file when given
    // (see ReadTreeDescriptions); false at the first line that is no tuple line. The
    // descriptions are needed only once the levels are linked, and neither the tuples nor the
    // links touch them: the .tree file of a large load is read on a second thread while the
    // tuples are read and linked (see descriptionsRead). The annotations are looked at only for
    // names the .tree file does not give: a .tree file beside usually gives every name.
    bool readFile(std::string_view bytes, const std::string_view* treeBytes = nullptr) {
        if (!treeBytes) {
            // The annotations go into the table of descriptions when the levels are linked (see
            // linkLevels).
            annotationsUnapplied_ = true;
            return readTuples(bytes);
        }
        if (bytes.size() + treeBytes->size() < kParallelBytes)
            ReadTreeDescriptions(*treeBytes);
        else
            treeDescriptions_.emplace(
                [this, treeText = *treeBytes] { ReadTreeDescriptions(treeText); });
        return readTuples(bytes);
    }

    // The tuple lines of a .PC file, their annotations put aside; false at the first line that
    // is no tuple line. A large file is read in two halves at once.
    bool readTuples(std::string_view bytes) {
        bytes = bytes.substr(0, bytes.find(kEndOfInput));
        tupleText_ = bytes;
        // A line begins after every line feed (alone or after a carriage return).
        const size_t middle = bytes.size() < kParallelBytes ? std::string_view::npos
                                                            : bytes.find('\n', bytes.size() / 2);
        bool ok = false;
        if (middle == std::string_view::npos) {
            ok = readStretch(bytes, lines_);
        } else {
            TupleLines second;
            bool secondOk = false;
            RunInParallel([&] { ok = readStretch(bytes.substr(0, middle + 1), lines_); },
                          [&] { secondOk = readStretch(bytes.substr(middle + 1), second); });
            ok = ok && secondOk;
            if (ok)
                lines_.append(std::move(second));
        }
        return ok;
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
            if (i >= firstLine && !addLine(line, lines_))
                return false;
        }
        return true;
    }

    // Builds the tree. The levels are linked first, each tuple to the first tuple of the level
    // above that carries its parent's name; the nodes are then created in pre-order. On a tuple
    // whose parent is not found, or whose quoted child name is not closed, gives its names and
    // returns false; the tree then holds the nodes of the tuples before it, as if they had been
    // built one by one.
    // A large tree is built while the walk goes on, on a second thread (see walkAlongside).
    // size counts the element text of each node made.
    bool build(TFlyNodes& tree, ElementTextSize& size, std::string& failedChild,
               std::string& failedParent) {
        std::vector<LinkedLevel> levels;
        const bool complete = linkLevels(levels, failedChild, failedParent);
        descriptionsRead();
        std::vector<TFlyNode*> path; // the latest node at each depth
        std::string caption;
        const auto make = [&](size_t depth, std::string_view name,
                              const std::string_view* description, std::string_view weight) {
            if (description)
                AssignCaption(caption, name, *description);
            else
                AssignCaption(caption, name);
            TFlyNode* node = tree.AddChild(depth == 0 ? nullptr : path[depth - 1], caption);
            node->SetCells(1, weight);
            // The text pane sets aside room by this size, which the caption's markup would swell.
            if (name.find(kDescriptionOpen) == std::string_view::npos)
                size.addParts(name, description ? *description : std::string_view(), depth);
            else
                size.add(caption, depth);
            path.resize(depth + 1);
            path[depth] = node;
        };
        if (lines_.remainders.size() < kParallelTuples || !walkAlongside(levels, make))
            walkPreOrder(levels, make);
        return complete;
    }

    // Writes the element text of the tree that build would make, without making it; false, with
    // the names of the failing tuple, where build would fail.
    bool write(ElementTextBuilder& text, std::string& failedChild, std::string& failedParent) {
        std::vector<LinkedLevel> levels;
        if (!linkLevels(levels, failedChild, failedParent))
            return false;
        descriptionsRead();
        // The indentation alone tells whether the text can be made: three blanks per level.
        size_t indentation = 0;
        for (size_t depth = 0; depth < levels.size(); ++depth)
            indentation += levels[depth].count * depth * 3;
        ElementTextBuilder::Expect(indentation);
        // A name that holds the caption's description opening is split there, as the caption of
        // the node would be.
        ElementTextStream stream(text, lines_.remainders.size());
        std::string caption;
        walkPreOrder(levels, [&](size_t depth, std::string_view name,
                                 const std::string_view* description, std::string_view) {
            if (name.size() < kDescriptionOpen.size() ||
                name.find(kDescriptionOpen) == std::string_view::npos) {
                stream.add(name, description ? *description : std::string_view(), depth);
                return;
            }
            if (description)
                AssignCaption(caption, name, *description);
            else
                AssignCaption(caption, name);
            const CaptionViews parts = SplitCaptionViews(caption);
            stream.add(parts.name, parts.description, depth);
        });
        stream.finish();
        return true;
    }

    // Writes the tuples PcText writes for the tree that build would make, without making it;
    // false, with the names of the failing tuple, where build would fail. fault gets the first
    // node the tuples cannot carry back, and ends the writing.
    bool writeTuples(PcTextBuilder& tuples, std::optional<ElementNotWritable>& fault,
                     std::string& failedChild, std::string& failedParent) {
        std::vector<LinkedLevel> levels;
        if (!linkLevels(levels, failedChild, failedParent))
            return false;
        descriptionsRead();
        // Whether a node has children shows with the node after it: each is written once the
        // next one comes, the last one at the end.
        struct Faulted {};
        bool pending = false;
        size_t pendingDepth = 0;
        std::string caption;
        std::string weight;
        const auto write = [&](bool hasChildren) {
            if (!WroteAll(fault,
                          [&] { tuples.add(pendingDepth + 1, caption, weight, hasChildren); }))
                throw Faulted();
        };
        const auto make = [&](size_t depth, std::string_view name,
                              const std::string_view* description, std::string_view w) {
            if (pending)
                write(depth > pendingDepth);
            if (description)
                AssignCaption(caption, name, *description);
            else
                AssignCaption(caption, name);
            weight.assign(w);
            pendingDepth = depth;
            pending = true;
        };
        try {
            // As in build, a large load is walked on a second thread.
            if (lines_.remainders.size() < kParallelTuples || !walkAlongside(levels, make))
                walkPreOrder(levels, make);
            if (pending)
                write(false);
        } catch (const Faulted&) {
        }
        return true;
    }

    // Whether build would succeed; false, with the names of the failing tuple, where it would
    // fail.
    bool check(std::string& failedChild, std::string& failedParent) {
        std::vector<LinkedLevel> levels;
        const bool complete = linkLevels(levels, failedChild, failedParent);
        descriptionsRead();
        return complete;
    }

    // Walks the linked levels on a second thread and hands each node to make on this one, the
    // thread that owns the tree and whatever watches it. False, having handed over nothing, when
    // no second thread can be started. What either side throws goes on to the caller, the making
    // side's first.
    template <class Make> bool walkAlongside(const std::vector<LinkedLevel>& levels, Make& make) {
        NodeRelay relay;
        return TryInParallel(
            [&] {
                relay.take([&](const std::vector<NodeRelay::Node>& nodes) {
                    for (const NodeRelay::Node& node : nodes)
                        make(node.depth, node.name, node.described ? &node.description : nullptr,
                             node.weight);
                });
            },
            [&] {
                try {
                    walkPreOrder(levels,
                                 [&](size_t depth, std::string_view name,
                                     const std::string_view* description, std::string_view weight) {
                                     relay.add(depth, name, description, weight);
                                 });
                    relay.end(true);
                } catch (const NodeRelay::Stopped&) {
                    relay.end(false); // the making side has failed and says why
                } catch (...) {
                    relay.end(false);
                    throw;
                }
            });
    }

    // The number of tuple lines read.
    size_t tuples() const { return lines_.remainders.size(); }

    // The message of a failed build or write: the one tuple message with the failing tuple's
    // names, and why where the names alone do not tell.
    std::string failureMessage(const std::string& child, const std::string& parent) const {
        std::string message = tupleErrorMessage(child, parent);
        if (!failureReason_.empty())
            message.append("\r\n").append(failureReason_);
        return message;
    }

private:
    // The tuple lines of a stretch of a .PC file, which begins a line and ends one; false at the
    // first line that is no tuple line.
    bool readStretch(std::string_view bytes, TupleLines& into) const {
        const size_t lines = lineEnds(bytes) + 1;
        into.remainders.reserve(lines);
        into.levels.reserve(lines);
        size_t pos = 0;
        std::string_view line;
        while (NextLine(bytes, pos, line))
            if (!addLine(line, into))
                return false;
        return true;
    }

    // Level token, remainder and (file mode) description annotation of one line.
    bool addLine(std::string_view line, TupleLines& into) const {
        const size_t dot = line.find('.');
        if (dot == std::string_view::npos)
            return false;
        const std::string_view token = TrimView(StripOuterQuotes(line.substr(0, dot)));
        int level = 0;
        if (token.size() <= 5 || !readLevel(token.substr(5), level))
            return false;
        std::string_view remainder = TrimView(line.substr(dot + 1));
        if (fileMode_) {
            const size_t at = annotationAt(remainder);
            if (at != std::string_view::npos) {
                const char* const start = remainder.data();
                remainder = TrimView(remainder.substr(0, at));
                into.annotations.push_back({annotatedName(remainder), start});
            }
        }
        into.remainders.push_back(remainder);
        into.levels.push_back(level);
        into.maxLevel = std::max(into.maxLevel, level);
        return true;
    }

    // Enters the "@" descriptions read into their table, in input order: the first one of a
    // name wins. The names lie all over the input and their slots all over the table, so the
    // loop asks for the slot of an annotation kAhead steps before entering it.
    void applyAnnotations() {
        const std::vector<TupleLines::Annotation>& annotations = lines_.annotations;
        const size_t count = annotations.size();
        annotationLines_.reset(tupleText_, count);
        std::array<uint64_t, kAhead> hashes{}; // of annotation k in hashes[k % kAhead]
        const auto ask = [&](size_t k) {
            hashes[k % kAhead] = AnnotationLines::hash(annotations[k].name);
            annotationLines_.prefetch(hashes[k % kAhead]);
        };
        for (size_t k = 0; k < std::min(kAhead, count); ++k)
            ask(k);
        for (size_t k = 0; k < count; ++k) {
            const uint64_t hash = hashes[k % kAhead];
            if (k + kAhead < count)
                ask(k + kAhead);
            annotationLines_.add(annotations[k].name, hash,
                                 static_cast<size_t>(annotations[k].remainder - tupleText_.data()),
                                 AnnotationLines::Wins::First);
        }
        lines_.annotations = {};
    }

    // The description entry of a child name: the .tree file's (or the set file's), else that of
    // the first annotation of the name (see readFile); none when neither gives one. The annotations
    // beside a .tree file go into their table when a name first needs them.
    // scratch may hold the description given.
    std::optional<telement> descriptionOf(std::string_view name, uint64_t hash,
                                          std::string& scratch) {
        DescriptionLine line;
        if (descriptionLines_.find(name, hash, line))
            return telement{line.description, !line.description.empty()};
        if (const telement* known =
                descriptions_.empty() ? nullptr : descriptions_.find(name, hash))
            return *known;
        if (!lines_.annotations.empty())
            applyAnnotations();
        if (annotationLines_.find(name, hash, line))
            return telement{annotationText(line.description, scratch)};
        return std::nullopt;
    }
    // Waits until the .tree file's descriptions are in (see readFile); rethrows what reading
    // them threw.
    void descriptionsRead() {
        if (!treeDescriptions_)
            return;
        treeDescriptions_->Wait();
        treeDescriptions_.reset();
    }

    // Asks for the slot of a name's description in the table that gives it, and then for its
    // line or name (see walkPreOrder).
    void prefetchDescription(uint64_t hash) const {
        if (!descriptionLines_.empty())
            descriptionLines_.prefetch(hash);
        else if (!annotationLines_.empty())
            annotationLines_.prefetch(hash);
        else
            descriptions_.prefetch(hash);
    }
    void prefetchDescriptionLine(uint64_t hash) const {
        if (!descriptionLines_.empty())
            descriptionLines_.prefetchLine(hash);
        else if (!annotationLines_.empty())
            annotationLines_.prefetchLine(hash);
        else
            descriptions_.prefetchName(hash);
    }

    // Whether any name may have a description entry.
    bool describes() const {
        return !descriptionLines_.empty() || !descriptions_.empty() ||
               !lines_.annotations.empty() || !annotationLines_.empty();
    }

    // The names and the weight of a remainder, the names as they stand (Unquote without the
    // change of inner double quotes); closed is false when a quoted child name lacks its closing
    // quote or the "." after it.
    struct TupleParts {
        std::string_view child;
        std::string_view parent;
        std::string_view weight = "1";
        bool closed = true;
    };
    TupleParts takeApart(std::string_view remainder) const {
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
        parts.child = StripOuterQuotes(remainder.substr(0, dot));
        std::string_view parentPart =
            TrimView(remainder.empty() ? remainder : remainder.substr(dot + 1));
        if (fileMode_)
            splitWeight(parentPart, parts.weight);
        parts.parent = StripOuterQuotes(parentPart);
        return parts;
    }

    void replaceDescription(std::string_view name, std::string_view description) {
        replaceDescription(name, description, descriptions_.hash(name));
    }
    void replaceDescription(std::string_view name, std::string_view description, uint64_t hash) {
        bool added = false;
        telement& entry = descriptions_.insert(name, hash, added);
        entry.Description = description;
        entry.Described = !description.empty();
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

    // Links the levels from the first on, stopping at the first tuple that fails. Only the
    // levels that build something are kept. Many annotations read without a .tree file go into
    // the table of descriptions at the same time, on a second thread: neither touches what the
    // other does.
    bool linkLevels(std::vector<LinkedLevel>& levels, std::string& failedChild,
                    std::string& failedParent) {
        if (!std::exchange(annotationsUnapplied_, false))
            return linkEachLevel(levels, failedChild, failedParent);
        if (lines_.annotations.size() < kParallelTuples) {
            applyAnnotations();
            return linkEachLevel(levels, failedChild, failedParent);
        }
        bool linked = false;
        RunInParallel([&] { linked = linkEachLevel(levels, failedChild, failedParent); },
                      [&] { applyAnnotations(); });
        return linked;
    }

    bool linkEachLevel(std::vector<LinkedLevel>& levels, std::string& failedChild,
                       std::string& failedParent) {
        const std::vector<LevelRun> runs = sortByLevel();
        LevelNames above;
        LevelNames here;
        const LevelNames none; // the parents of a level that follows a gap
        for (size_t r = 0; r < runs.size(); ++r) {
            const LevelRun& run = runs[r];
            if (run.end - run.begin > UINT32_MAX)
                throw std::length_error("too many tuples on one level");
            const LevelNames* parents = nullptr; // roots have none
            if (run.level > 1)
                parents = r > 0 && runs[r - 1].level == run.level - 1 ? &above : &none;
            // Only a level that the next one looks into needs its names.
            const bool named = r + 1 < runs.size() && runs[r + 1].level == run.level + 1;
            if (named)
                here.reset(run.end - run.begin, remainderBytes(run));
            LinkedLevel level{run.begin, 0, {}};
            const bool complete =
                groupByParent(lines_.remainders.data() + run.begin, run.end - run.begin, parents,
                              named ? &here : nullptr, level, failedChild, failedParent);
            if (level.count > 0)
                levels.push_back(std::move(level));
            if (!complete)
                return false;
            if (named)
                std::swap(above, here);
        }
        return true;
    }

    // Takes the tuples begin to end of a level apart and puts the place of each one's parent
    // among the tuples of the level above (roots: none, place 0) into parentOf. Returns where the
    // first tuple stands whose quoted child name is not closed or whose parent is not found; end
    // when there is none.
    size_t findParents(const std::string_view* tuples, size_t begin, size_t end,
                       const LevelNames* parents, uint32_t* parentOf) const {
        struct Taken {
            TupleParts parts;
            uint64_t parentHash;
        };
        std::vector<Taken> batch;
        batch.reserve(kBatch);
        for (size_t first = begin; first < end; first += kBatch) {
            // The parents' slots are asked for while the rest of the batch is taken apart.
            batch.clear();
            const size_t last = std::min(first + kBatch, end);
            for (size_t i = first; i < last; ++i) {
                // A level's tuples may lie far apart in the input (every hundredth line, say).
                if (i + kAhead < end)
                    Prefetch(tuples[i + kAhead].data());
                const TupleParts parts = takeApart(tuples[i]);
                const uint64_t hash = parents ? LevelNames::hash(parts.parent) : 0;
                if (parents)
                    parents->prefetch(hash);
                batch.push_back({parts, hash});
            }
            for (size_t i = first; i < last; ++i) {
                const Taken& taken = batch[i - first];
                if (!taken.parts.closed || NameHoldsMarkup(taken.parts.child))
                    return i;
                const uint32_t* place =
                    parents ? parents->find(taken.parts.parent, taken.parentHash) : nullptr;
                if (parents && !place)
                    return i;
                parentOf[i] = place ? *place : 0;
            }
        }
        return end;
    }

    // Takes the tuples of a level apart in input order and finds the place of each one's parent
    // among the tuples of the level above (roots: no parents, one group), then puts them in the
    // order of their parents, each parent's in input order, notes where each parent's group
    // ends and, when names is given, records each tuple's name with its new place there. Stops at
    // the first tuple that fails and gives its names; only the tuples before it are put in order.
    // The reordering needs its own copy only while the tree lacks the nodes of this level.
    bool groupByParent(std::string_view* tuples, size_t count, const LevelNames* parents,
                       LevelNames* names, LinkedLevel& level, std::string& failedChild,
                       std::string& failedParent) const {
        // The parents of a large level are found in two halves at once.
        std::vector<uint32_t> parentOf(count); // the place of each tuple's parent
        size_t found = 0;                      // tuples before the first that fails
        if (count < kParallelTuples) {
            found = findParents(tuples, 0, count, parents, parentOf.data());
        } else {
            const size_t half = count / 2;
            size_t secondFound = half;
            RunInParallel(
                [&] { found = findParents(tuples, 0, half, parents, parentOf.data()); },
                [&] { secondFound = findParents(tuples, half, count, parents, parentOf.data()); });
            if (found == half)
                found = secondFound;
        }
        if (found < count) {
            const TupleParts parts = takeApart(tuples[found]);
            if (!parts.closed) {
                failedChild = Unquote(tuples[found]);
                failedParent.clear();
            } else {
                failedChild = DoubleToSingleQuotes(parts.child);
                failedParent = DoubleToSingleQuotes(parts.parent);
                if (NameHoldsMarkup(parts.child))
                    failureReason_ = MarkupNameReason(failedChild);
            }
        }
        parentOf.resize(found);

        // A stable counting sort by parent: ends[p] is where the next tuple of parent p goes,
        // and at the end where its group ends.
        std::vector<uint32_t>& ends = level.ends;
        ends.assign(parents ? parents->size() : 1, 0);
        for (const uint32_t place : parentOf)
            ++ends[place];
        uint32_t start = 0;
        for (uint32_t& end : ends) {
            const uint32_t size = end;
            end = start;
            start += size;
        }
        std::vector<std::string_view> grouped(parentOf.size());
        std::vector<uint32_t>& placeOf = parentOf; // each tuple's place in grouped order
        for (size_t i = 0; i < parentOf.size(); ++i) {
            placeOf[i] = ends[parentOf[i]]++;
            grouped[placeOf[i]] = tuples[i];
        }
        if (names)
            addNames(tuples, placeOf, *names);
        std::copy(grouped.begin(), grouped.end(), tuples);
        level.count = parentOf.size();
        return parentOf.size() == count;
    }

    // Records the child name of each tuple of a level, in input order, with its place in
    // grouped order. The slots lie all over the table: each is asked for kAhead tuples before
    // its name goes in.
    void addNames(const std::string_view* tuples, const std::vector<uint32_t>& placeOf,
                  LevelNames& names) const {
        struct Child {
            std::string_view name;
            uint64_t hash;
        };
        std::array<Child, kAhead> coming{}; // of tuple k in coming[k % kAhead]
        const auto ask = [&](size_t k) {
            const std::string_view name = takeApart(tuples[k]).child;
            coming[k % kAhead] = {name, LevelNames::hash(name)};
            names.prefetch(coming[k % kAhead].hash);
        };
        const size_t count = placeOf.size();
        for (size_t k = 0; k < std::min(kAhead, count); ++k)
            ask(k);
        for (size_t k = 0; k < count; ++k) {
            const Child now = coming[k % kAhead];
            if (k + kAhead < count)
                ask(k + kAhead);
            names.add(now.name, now.hash, placeOf[k]);
        }
    }

    // Hands the nodes of the linked levels to node(depth, caption, weight) in pre-order. The
    // tuples' text, and their descriptions, lie all over memory in this order, so the loop works
    // ahead: it asks for a tuple's text 2 * kAhead steps before its node is handed over, takes
    // the tuple apart and asks for its description's slot kAhead steps before, and for the name
    // in that slot half way.
    template <class Node> void walkPreOrder(const std::vector<LinkedLevel>& levels, Node&& node) {
        struct Coming {
            size_t depth = 0;
            std::string_view tuple;
            TupleParts parts;
            uint64_t childHash = 0;
        };
        constexpr size_t kRing = 2 * kAhead;
        std::array<Coming, kRing> coming; // tuple k of the pre-order in coming[k % kRing]
        PreOrder order(levels);
        size_t produced = 0;
        const auto produce = [&] {
            size_t depth = 0;
            uint32_t place = 0;
            if (!order.next(depth, place))
                return false;
            Coming& next = coming[produced++ % kRing];
            next.depth = depth;
            next.tuple = lines_.remainders[levels[depth].begin + place];
            Prefetch(next.tuple.data());
            return true;
        };
        const auto takeAhead = [&](Coming& tuple) {
            tuple.parts = takeApart(tuple.tuple);
            tuple.childHash = describes() ? Names<telement>::hash(tuple.parts.child) : 0;
            prefetchDescription(tuple.childHash);
        };
        while (produced < kRing && produce()) {
        }
        for (size_t k = 0; k < std::min(kAhead, produced); ++k)
            takeAhead(coming[k]);

        std::string childScratch;
        std::string descriptionScratch;
        for (size_t k = 0; k < produced; ++k) {
            if (k + kAhead / 2 < produced)
                prefetchDescriptionLine(coming[(k + kAhead / 2) % kRing].childHash);
            if (k + kAhead < produced)
                takeAhead(coming[(k + kAhead) % kRing]);
            const Coming now = coming[k % kRing];
            produce(); // into the place of tuple k, which is copied out

            const TupleParts& parts = now.parts;
            const std::optional<telement> known =
                describes() ? descriptionOf(parts.child, now.childHash, descriptionScratch)
                            : std::nullopt;
            const std::string_view child = DoubleToSingleQuotesView(parts.child, childScratch);
            const bool described = known && known->Described && known->Description != child;
            node(now.depth, child, described ? &known->Description : nullptr, parts.weight);
        }
    }

    // The bytes of the remainders of a level: room enough for the names of its nodes.
    size_t remainderBytes(const LevelRun& run) const {
        size_t bytes = 0;
        for (size_t i = run.begin; i < run.end; ++i)
            bytes += lines_.remainders[i].size();
        return bytes;
    }

    // Puts the remainders in level order, input order within a level, and returns the runs of
    // the levels; the lines in input order are released.
    std::vector<LevelRun> sortByLevel() {
        std::vector<std::string_view> sorted(lines_.remainders.size());
        std::vector<LevelRun> runs;
        const auto maxLevel = static_cast<size_t>(lines_.maxLevel);
        if (maxLevel <= lines_.levels.size() + 1) {
            // Counting sort: next[l] is where the next remainder of level l goes.
            std::vector<size_t> next(maxLevel + 1, 0);
            for (const int level : lines_.levels)
                ++next[static_cast<size_t>(level)];
            size_t at = 0;
            for (size_t l = 1; l <= maxLevel; ++l) {
                const size_t count = next[l];
                if (count > 0)
                    runs.push_back({static_cast<int>(l), at, at + count});
                next[l] = at;
                at += count;
            }
            for (size_t i = 0; i < lines_.remainders.size(); ++i)
                sorted[next[static_cast<size_t>(lines_.levels[i])]++] = lines_.remainders[i];
        } else {
            // Levels far above the line count: no counting array of that size.
            std::vector<size_t> order(lines_.remainders.size());
            for (size_t i = 0; i < order.size(); ++i)
                order[i] = i;
            std::stable_sort(order.begin(), order.end(), [this](size_t a, size_t b) {
                return lines_.levels[a] < lines_.levels[b];
            });
            for (size_t i = 0; i < order.size(); ++i) {
                sorted[i] = lines_.remainders[order[i]];
                const int level = lines_.levels[order[i]];
                if (runs.empty() || runs.back().level != level)
                    runs.push_back({level, i, i});
                ++runs.back().end;
            }
        }
        lines_.remainders = std::move(sorted);
        lines_.levels = std::vector<int>();
        return runs;
    }

    bool fileMode_;
    char decimalSeparator_;
    std::deque<std::string> store_;
    TreeLines descriptionLines_;        // of the .tree file
    Names<telement> descriptions_;      // of the set file
    AnnotationLines annotationLines_;   // once applied; beside a .tree file, once needed
    std::string_view tupleText_;        // the tuple lines read, which the annotations are in
    bool annotationsUnapplied_ = false; // read without a .tree file
    TupleLines lines_; // the levels only while in input order; the annotations until applied
    mutable std::string failureReason_; // see failureMessage
    // The reading of the .tree file's descriptions beside the tuples (see readFile); last, so
    // that it ends before what it reads and fills goes.
    std::optional<WorkBeside> treeDescriptions_;
};

// Where a load puts the element text of the tree it built: the text pane's lines, the same joined
// by CR LF, or nowhere.
struct TextOut {
    TextLines* lines = nullptr;
    std::string* text = nullptr;
    WrittenText* written = nullptr; // gets text while it is written

    bool any() const { return lines || text; }
    void clear() const {
        if (lines)
            lines->clear();
        if (text)
            text->clear();
    }
    // False when an element could not be written (reported through feedback). size, when given,
    // is the tree's (see ElementTextSize).
    bool write(const TFlyNodes& tree, Feedback& feedback, const ElementTextSize* size) const {
        if (lines)
            return WriteElementText(tree, *lines, feedback, size);
        if (text)
            return WriteElementText(tree, *text, feedback, size, written);
        return true;
    }
};

// The frame every load shares: read everything, then replace the tree inside one update
// bracket, report, expand, close the bracket and rebuild the text pane lines (when given).
// A file that is no text or no regular file, or too large to read, is reported with its own
// message. Running out of memory empties the tree and the lines, closes the bracket and goes on
// to the caller as std::bad_alloc.
template <class ReadPhase>
bool runLoad(TFlyNodes& tree, const TextOut& out, Feedback& feedback, bool fileMode,
             char decimalSeparator, ReadPhase&& readPhase) {
    BusyCursor busy(feedback);
    std::string child;
    std::string parent;
    bool ok = false;
    bool bracketOpen = false;
    bool outOfMemory = false;
    ElementTextSize size; // of the tree built, once the bracket is open
    std::optional<PcLoad> load;
    load.emplace(fileMode, decimalSeparator);
    {
        std::string failure; // a message of its own
        try {
            if (readPhase(*load)) {
                tree.BeginUpdate();
                bracketOpen = true;
                tree.Clear();
                ok = load->build(tree, size, child, parent);
            }
        } catch (const std::bad_alloc&) {
            outOfMemory = true;
        } catch (const TextFormError& error) {
            failure = error.what();
        } catch (const NotARegularFile& error) {
            failure = error.what();
        } catch (const NotEnoughMemory& error) {
            failure = error.what();
        } catch (const std::exception&) {
            ok = false;
        }
        if (!ok && !outOfMemory)
            feedback.message(failure.empty() ? load->failureMessage(child, parent) : failure);
    }
    if (outOfMemory) {
        load.reset();
        tree.Clear();
        if (bracketOpen)
            tree.EndUpdate();
        out.clear();
        throw std::bad_alloc();
    }
    if (bracketOpen) {
        // Inside the bracket opening every node tells no one: the load's memory goes back
        // meanwhile, on a second thread, which touches nothing of the tree.
        RunInParallel([&] { tree.FullExpand(); }, [&] { load.reset(); });
    } else {
        load.reset();
        tree.FullExpand();
    }
    if (bracketOpen)
        tree.EndUpdate();
    if (out.any()) {
        try {
            // The tree of a load that failed before its build is the one shown before.
            if (!out.write(tree, feedback, bracketOpen ? &size : nullptr))
                ok = false;
        } catch (const ElementTextTooLarge& tooLarge) {
            // The tree stands; the text pane cannot show it, and its lines are not the text of
            // the tree: nothing is to be saved from them.
            out.clear();
            feedback.message(tooLarge.what());
            ok = false;
        }
    }
    return ok;
}

// The read phase of a load from bytes in file mode.
auto readBytes(std::string_view pcBytes, const std::string* treeDescriptionBytes) {
    return [pcBytes, treeDescriptionBytes](PcLoad& load) {
        if (!treeDescriptionBytes)
            return load.readFile(pcBytes);
        const std::string_view tree = *treeDescriptionBytes;
        return load.readFile(pcBytes, &tree);
    };
}

} // namespace

namespace {

bool loadPCFile(const std::string& fileName, TFlyNodes& tree, const TextOut& out,
                Feedback& feedback, char decimalSeparator) {
    try {
        return runLoad(tree, out, feedback, true, decimalSeparator, [&](PcLoad& load) {
            PcAndTreeBytes bytes = ReadPcAndTreeBeside(fileName, true);
            const std::string_view pc = load.hold(std::move(bytes.pc));
            if (!bytes.tree)
                return load.readFile(pc);
            const std::string_view treeText = load.hold(std::move(*bytes.tree));
            return load.readFile(pc, &treeText);
        });
    } catch (const std::bad_alloc&) {
        feedback.message(NotEnoughMemory(fileName).what());
        return false;
    }
}

} // namespace

PcAndTreeBytes ReadPcAndTreeBeside(const std::string& pcFile, bool regularOnly, bool withTree) {
    PcAndTreeBytes bytes;
    const std::string treeFile = ChangeFileExt(pcFile, ".tree");
    RunInParallel([&] { bytes.pc = ReadTextFile(pcFile, regularOnly); },
                  [&] {
                      // Only a regular file: a FIFO of that name would wait for a writer.
                      if (withTree && IsRegularFile(treeFile))
                          bytes.tree = ReadTextFile(treeFile, true);
                  });
    return bytes;
}

bool LoadPC(const std::string& fileName, TFlyNodes& tree, TextLines& lines, Feedback& feedback,
            char decimalSeparator) {
    return loadPCFile(fileName, tree, {&lines, nullptr}, feedback, decimalSeparator);
}

bool LoadPC(const std::string& fileName, TFlyNodes& tree, std::string& text, Feedback& feedback,
            char decimalSeparator, WrittenText* written) {
    return loadPCFile(fileName, tree, {nullptr, &text, written}, feedback, decimalSeparator);
}

bool LoadPCFromBytes(std::string_view pcBytes, const std::string* treeDescriptionBytes,
                     TFlyNodes& tree, TextLines& lines, Feedback& feedback, char decimalSeparator) {
    return runLoad(tree, {&lines, nullptr}, feedback, true, decimalSeparator,
                   readBytes(pcBytes, treeDescriptionBytes));
}

bool LoadPCFromBytes(std::string pcBytes, std::optional<std::string> treeDescriptionBytes,
                     TFlyNodes& tree, std::string& text, Feedback& feedback, char decimalSeparator,
                     WrittenText* written) {
    return runLoad(
        tree, {nullptr, &text, written}, feedback, true, decimalSeparator, [&](PcLoad& load) {
            const std::string_view pc = load.hold(std::move(pcBytes));
            if (!treeDescriptionBytes)
                return load.readFile(pc);
            const std::string_view treeText = load.hold(std::move(*treeDescriptionBytes));
            return load.readFile(pc, &treeText);
        });
}

bool LoadPCTreeFromBytes(std::string_view pcBytes, const std::string* treeDescriptionBytes,
                         TFlyNodes& tree, Feedback& feedback, char decimalSeparator) {
    return runLoad(tree, {}, feedback, true, decimalSeparator,
                   readBytes(pcBytes, treeDescriptionBytes));
}

namespace {

// A tuple load in file mode from bytes whose result is not a tree: done(load, failedChild,
// failedParent) reads the tuples' result from the load once they are read, and is false, with
// the names of the failing tuple, where the load would fail. Failures are reported as LoadPC
// reports them.
template <class Done>
bool loadWithoutTree(std::string_view pcBytes, const std::string* treeDescriptionBytes,
                     Feedback& feedback, char decimalSeparator, Done&& done) {
    BusyCursor busy(feedback);
    std::string child;
    std::string parent;
    std::string message; // of a failure
    bool ok = false;
    try {
        PcLoad load(true, decimalSeparator);
        if (readBytes(pcBytes, treeDescriptionBytes)(load)) {
            ok = done(load, child, parent);
            if (!ok)
                message = load.failureMessage(child, parent);
        }
    } catch (const ElementTextTooLarge&) {
        throw; // the tuples are sound: the text cannot be held
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception&) {
        ok = false;
    }
    if (!ok)
        feedback.message(message.empty() ? tupleErrorMessage(child, parent) : message);
    return ok;
}

} // namespace

bool PCElementTextFromBytes(std::string_view pcBytes, const std::string* treeDescriptionBytes,
                            std::string& text, Feedback& feedback, char decimalSeparator,
                            FileWriter* file) {
    text.clear();
    std::optional<ElementNotWritable> fault;
    const auto write = [&](PcLoad& load, std::string& child, std::string& parent) {
        // The text is mostly the tuples' names (and descriptions) again.
        size_t expected = pcBytes.size();
        if (treeDescriptionBytes)
            expected += treeDescriptionBytes->size();
        ElementTextBuilder builder(load.tuples(), expected);
        if (file)
            builder.StreamInto(*file);
        if (!load.write(builder, child, parent))
            return false;
        fault = builder.Fault();
        if (!fault)
            text = builder.finish(feedback);
        return true;
    };
    const bool ok =
        loadWithoutTree(pcBytes, treeDescriptionBytes, feedback, decimalSeparator, write);
    if (!ok) {
        text.clear();
        return false;
    }
    if (fault) {
        // The tuples are sound: their element text would read back as another tree.
        feedback.message(fault->what());
        return false;
    }
    return true;
}

bool PCTuplesFromBytes(std::string_view pcBytes, const std::string* treeDescriptionBytes,
                       std::string& text, std::optional<ElementNotWritable>& fault,
                       Feedback& feedback, char decimalSeparator, FileWriter* file) {
    text.clear();
    fault.reset();
    const auto write = [&](PcLoad& load, std::string& child, std::string& parent) {
        PcTextBuilder tuples(PcNames::PlainNames, decimalSeparator, load.tuples());
        if (file)
            tuples.StreamInto(*file);
        if (!load.writeTuples(tuples, fault, child, parent))
            return false;
        if (!fault)
            WroteAll(fault, [&] { text = tuples.Take(); });
        return true;
    };
    const bool ok =
        loadWithoutTree(pcBytes, treeDescriptionBytes, feedback, decimalSeparator, write);
    if (!ok || fault)
        text.clear();
    return ok;
}

bool CheckPCFromBytes(std::string_view pcBytes, const std::string* treeDescriptionBytes,
                      Feedback& feedback, char decimalSeparator) {
    return loadWithoutTree(pcBytes, treeDescriptionBytes, feedback, decimalSeparator,
                           [](PcLoad& load, std::string& child, std::string& parent) {
                               return load.check(child, parent);
                           });
}

bool LoadPCBlock(const std::function<void(PcBlockInput&)>& read, TFlyNodes& tree, TextLines& lines,
                 Feedback& feedback) {
    return runLoad(tree, {&lines, nullptr}, feedback, false, '.', [&](PcLoad& load) {
        PcBlockInput input;
        read(input);
        if (input.memberFile)
            load.ReadSetDescriptions(load.hold(std::move(*input.memberFile)));
        const std::string_view index = load.hold(std::move(input.index));
        return load.readCatalogBlock(index, input.firstLine, input.lastLine);
    });
}

} // namespace settree
