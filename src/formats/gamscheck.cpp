// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/gamscheck.h"

#include "formats/nametable.h"
#include "model/caption.h"
#include "model/parallel.h"
#include "model/textfile.h"
#include "model/utf8.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

namespace settree {

namespace {

constexpr char kEndOfInput = 26; // Ctrl+Z ends the tuples, as the tuple reader reads them

// The passes over the names ask for the filters' cells this many names ahead.
constexpr size_t kAhead = 16;

bool isQuote(char c) {
    return c == '"' || c == '\'';
}

bool isControl(unsigned char c) {
    return c < 32 || c == 127;
}

// Bytes a name or description is scanned for, eight at a time: control characters (below 32,
// and 127) and, for names, the two quotes. The word test may flag a word that holds none of them
// (a borrow runs on only above a byte that is one), never the other way round.
template <bool withQuotes> bool mayHoldSpecial(std::string_view s) {
    constexpr uint64_t kOnes = 0x0101010101010101ull;
    constexpr uint64_t kHigh = 0x8080808080808080ull;
    const auto hasZero = [](uint64_t x) { return (x - kOnes) & ~x & kHigh; };
    size_t i = 0;
    for (; i + 8 <= s.size(); i += 8) {
        uint64_t x = 0;
        std::memcpy(&x, s.data() + i, 8);
        uint64_t hit = ((x - kOnes * 0x20) & ~x & kHigh) | hasZero(x ^ (kOnes * 0x7f));
        if constexpr (withQuotes)
            hit |= hasZero(x ^ (kOnes * '"')) | hasZero(x ^ (kOnes * '\''));
        if (hit)
            return true;
    }
    for (; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (isControl(c) || (withQuotes && isQuote(static_cast<char>(c))))
            return true;
    }
    return false;
}

bool holdsControl(std::string_view s) {
    return std::any_of(s.begin(), s.end(),
                       [](char c) { return isControl(static_cast<unsigned char>(c)); });
}

// One element as its line gives it, with where its parts stand in the line.
struct ElementParts {
    size_t line;
    std::string_view name;
    size_t nameAt;
    size_t contentAt; // the element's text in the line: marked for an element without a name
    size_t contentSize;
    std::string_view description;
    size_t descriptionAt;
};

// The problems of an element of its own, in the order of its parts; they go to out.
void checkElement(const ElementParts& e, std::vector<GamsProblem>& out) {
    GamsProblem p;
    p.line = e.line;
    p.name = e.name;
    p.at = e.nameAt;
    p.size = e.name.size();
    const auto add = [&](GamsRule rule) {
        p.rule = rule;
        out.push_back(p);
    };
    if (e.name.empty()) {
        p.at = e.contentAt;
        p.size = e.contentSize;
        add(GamsRule::EmptyName);
    }
    if (e.name.size() > kGamsMaxLabelBytes) {
        p.bytes = e.name.size();
        add(GamsRule::LongName);
        p.bytes = 0;
    }
    if (mayHoldSpecial<true>(e.name)) {
        if (holdsControl(e.name))
            add(GamsRule::NameControl);
        if (e.name.find('"') != std::string_view::npos &&
            e.name.find('\'') != std::string_view::npos)
            add(GamsRule::NameQuotes);
    }
    p.at = e.descriptionAt;
    p.size = e.description.size();
    if (e.description.size() > kGamsMaxTextBytes) {
        p.bytes = e.description.size();
        add(GamsRule::LongText);
        p.bytes = 0;
    }
    if (mayHoldSpecial<false>(e.description) && holdsControl(e.description))
        add(GamsRule::TextControl);
}

// Whether a name holds a lower-case letter (a to z), eight bytes at a time.
bool hasLowerCase(std::string_view name) {
    size_t i = 0;
    for (; i + 8 <= name.size(); i += 8) {
        uint64_t x = 0;
        std::memcpy(&x, name.data() + i, 8);
        if (NameFold::applyWord(x) != x)
            return true;
    }
    for (; i < name.size(); ++i)
        if (name[i] >= 'a' && name[i] <= 'z')
            return true;
    return false;
}

// The names, compared without regard to letter case, that are spelled with a lower-case letter
// somewhere. Two spellings of one name differ in letter case, so one of them has a lower-case
// letter: only a name found here can be spelled otherwise than where it was met before. Names are
// mostly codes in capitals and digits, so the set is mostly small, often empty. It is kept as one
// bit a cell by the hash of the folded name; a name whose cell is set (it, or another name that
// shares the cell) goes on to the table of first spellings.
class SpellingFilter {
public:
    explicit SpellingFilter(const std::vector<uint64_t>& hashes) {
        if (hashes.empty())
            return;
        while (cells_ < 16 * hashes.size())
            cells_ *= 2;
        words_.assign(cells_ / 64, 0);
        for (const uint64_t hash : hashes)
            words_[cell(hash) / 64] |= uint64_t{1} << (cell(hash) % 64);
    }
    bool empty() const { return words_.empty(); }
    void prefetch(uint64_t hash) const {
        if (!words_.empty())
            Prefetch(&words_[cell(hash) / 64]);
    }
    bool mayDiffer(uint64_t hash) const {
        return !words_.empty() && (words_[cell(hash) / 64] >> (cell(hash) % 64) & 1);
    }

private:
    size_t cell(uint64_t hash) const { return static_cast<size_t>(hash >> 20) & (cells_ - 1); }
    size_t cells_ = 64;
    std::vector<uint64_t> words_;
};

// Which names, compared without regard to letter case, occur more than once, told by the hash of
// their folded bytes: two bits a cell, for never, once and more than once. A name counted once is
// certainly met once, so it has one spelling; "more" may be another name in the same cell.
class RepeatFilter {
public:
    explicit RepeatFilter(size_t names) {
        while (cells_ < 16 * names)
            cells_ *= 2;
        words_.assign(cells_ / 32, 0);
    }
    void prefetch(uint64_t hash) const { Prefetch(&words_[cell(hash) / 32]); }
    void count(uint64_t hash) {
        const size_t c = cell(hash);
        uint64_t& word = words_[c / 32];
        const unsigned shift = 2 * (c % 32);
        if (((word >> shift) & 3) < 2)
            word += uint64_t{1} << shift;
    }
    bool mayRepeat(uint64_t hash) const {
        const size_t c = cell(hash);
        return ((words_[c / 32] >> (2 * (c % 32))) & 3) == 2;
    }

private:
    size_t cell(uint64_t hash) const { return static_cast<size_t>(hash >> 20) & (cells_ - 1); }
    size_t cells_ = 1024;
    std::vector<uint64_t> words_;
};

// The first spelling of each name that may be spelled otherwise, compared without regard to
// letter case, with its line.
class FirstSpellings {
public:
    // Room for about names names; more may come.
    explicit FirstSpellings(size_t names) : table_(names) {}

    static uint64_t hash(std::string_view name) { return Table::hash(name); }

    // Remembers a spelling met on a line, the first of its name; a later one in other letter
    // case gives the note, which goes to note.
    template <class Note>
    void meet(std::string_view name, uint64_t hash, size_t line, size_t at, Note&& note) {
        bool added = false;
        std::string_view first;
        uint32_t& firstLine = table_.insert(name, hash, added, first);
        if (added) {
            firstLine = static_cast<uint32_t>(std::min<size_t>(line, UINT32_MAX));
            return;
        }
        if (first == name)
            return; // a repeat spelled the same is intended
        GamsProblem p;
        p.rule = GamsRule::OtherSpelling;
        p.line = line;
        p.at = at;
        p.size = name.size();
        p.name = name;
        p.detail = first;
        p.firstLine = firstLine;
        note(p);
    }

private:
    using Table = NameTable<NameFold, uint32_t>;
    Table table_;
};

// What the first pass keeps of a name: its hash with the low bits taken for marks (the filter
// and the table use the high ones). 0: no name to look at.
constexpr uint64_t kNamed = 1;      // a name worth counting: not empty
constexpr uint64_t kFlagged = 2;    // the line has a problem of its own
constexpr uint64_t kWeightless = 4; // a tuple without a weight
constexpr uint64_t kMarks = 7;

// The mark of a name of this hash; of a mark, the key the table of first spellings is asked with.
uint64_t named(uint64_t hash) {
    return (hash & ~kMarks) | kNamed;
}

// Whether an element breaks a rule of its own; checkElement tells which.
bool breaksRule(std::string_view name, std::string_view description) {
    return name.empty() || name.size() > kGamsMaxLabelBytes || mayHoldSpecial<true>(name) ||
           description.size() > kGamsMaxTextBytes || mayHoldSpecial<false>(description);
}

// ---- Tuples, as GAMS reads a line of them: labels joined by dots, then a value.

struct Tuple {
    std::string_view child;
    size_t childAt = 0;
    std::string_view parent;
    size_t parentAt = 0;
    std::string_view weight; // empty: none
    size_t weightAt = 0;
    std::string_view annotation; // the description after "@"
    size_t annotationAt = 0;
    bool annotated = false;
    size_t contentAt = 0;
    size_t contentSize = 0;
};

// A label at the start of s: quoted up to the same quote, else up to the first blank. Gives the
// label and what follows it.
std::string_view takeLabel(std::string_view s, std::string_view& after) {
    if (!s.empty() && isQuote(s.front())) {
        const size_t close = s.find(s.front(), 1);
        if (close == std::string_view::npos) {
            after = {};
            return s.substr(1);
        }
        after = s.substr(close + 1);
        return s.substr(1, close - 1);
    }
    const size_t blank = s.find(' ');
    after = blank == std::string_view::npos ? std::string_view() : s.substr(blank);
    return blank == std::string_view::npos ? s : s.substr(0, blank);
}

size_t offsetIn(std::string_view line, std::string_view part) {
    return static_cast<size_t>(part.data() - line.data());
}

// Takes a tuple line apart: the level token up to the first ".", the description annotation after
// the first "@" and the child name as the tuple reader reads them (no name when the rest is not
// quoted: the reader reads an empty name then); the parent label and the value after it as GAMS
// reads them. False for a line the reader refuses or cannot take apart, which the reader
// reports.
bool readTuple(std::string_view line, Tuple& t) {
    const size_t dot = line.find('.');
    if (dot == std::string_view::npos)
        return false;
    std::string_view rest = TrimView(line.substr(dot + 1));
    t.contentAt = offsetIn(line, rest);
    t.contentSize = rest.size();
    t.annotated = false;
    t.annotation = {};
    t.annotationAt = 0;
    const size_t at = rest.find('@');
    if (at != std::string_view::npos) {
        t.annotated = true;
        t.annotation = StripOuterQuotes(rest.substr(at + 1));
        t.annotationAt = offsetIn(line, t.annotation);
        rest = TrimView(rest.substr(0, at));
    }
    std::string_view parentPart;
    if (!rest.empty() && isQuote(rest.front())) {
        const size_t close = rest.find(rest.front(), 1);
        const size_t childEnd = close == std::string_view::npos ? close : rest.find('.', close);
        if (childEnd == std::string_view::npos)
            return false;
        // The name is all the reader takes, up to the "." (a quote after the closing one is
        // part of it: a name GAMS reads otherwise).
        t.child = StripOuterQuotes(rest.substr(0, childEnd));
        parentPart = TrimView(rest.substr(childEnd + 1));
    } else {
        t.child = rest.substr(0, 0);
        parentPart = TrimView(rest.substr(rest.empty() ? 0 : 1));
    }
    t.childAt = offsetIn(line, t.child);
    std::string_view after;
    t.parent = takeLabel(parentPart, after);
    t.parentAt = offsetIn(line, t.parent);
    t.weight = TrimView(after);
    t.weightAt = t.weight.empty() ? t.parentAt + t.parent.size() : offsetIn(line, t.weight);
    return true;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// A number as GAMS reads a value: an optional sign, digits with an optional decimal point (or a
// point and digits), an optional exponent; or one of the special values.
bool isGamsNumber(std::string_view s) {
    std::string upper = UpperCase(s);
    std::string_view u = upper;
    if (u == "EPS" || u == "NA" || u == "UNDF")
        return true;
    if (!u.empty() && (u.front() == '+' || u.front() == '-'))
        u.remove_prefix(1);
    if (u == "INF")
        return true;
    size_t i = 0;
    size_t digits = 0;
    while (i < u.size() && isDigit(u[i]))
        ++i, ++digits;
    if (i < u.size() && u[i] == '.') {
        ++i;
        while (i < u.size() && isDigit(u[i]))
            ++i, ++digits;
    }
    if (digits == 0)
        return false;
    if (i < u.size() && u[i] == 'E') {
        ++i;
        if (i < u.size() && (u[i] == '+' || u[i] == '-'))
            ++i;
        const size_t exponentStart = i;
        while (i < u.size() && isDigit(u[i]))
            ++i;
        if (i == exponentStart)
            return false;
    }
    return i == u.size();
}

// Whether a weight is one GAMS can read; the common ones (digits, a point, a sign) are told
// without a copy.
bool isReadableWeight(std::string_view w) {
    size_t i = !w.empty() && (w.front() == '-' || w.front() == '+') ? 1 : 0;
    size_t digits = 0;
    size_t points = 0;
    for (; i < w.size(); ++i) {
        if (isDigit(w[i]))
            ++digits;
        else if (w[i] == '.' && points == 0)
            ++points;
        else
            return isGamsNumber(w);
    }
    return digits > 0;
}

// Text shown in a message: bytes that would break the line or the terminal are escaped, and a
// text of more than 200 characters ends after them in "...".
std::string shown(std::string_view whole) {
    static constexpr char kHex[] = "0123456789abcdef";
    size_t characters = 0;
    const std::string_view s = ShownPart(whole, characters);
    std::string out;
    out.reserve(s.size() + 3);
    for (const char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (isControl(u)) {
            out.append("\\x").append(1, kHex[u >> 4]).append(1, kHex[u & 15]);
        } else {
            out.push_back(c);
        }
    }
    if (s.size() < whole.size())
        out.append("...");
    return out;
}

} // namespace

bool IsGamsWarning(GamsRule rule) {
    return rule != GamsRule::OtherSpelling;
}

std::string GamsReason(const GamsProblem& p) {
    switch (p.rule) {
    case GamsRule::EmptyName:
        return "it has no name; GAMS takes no empty label";
    case GamsRule::LongName:
        return "its name is " + std::to_string(p.bytes) + " bytes long; a GAMS label has at most " +
               std::to_string(kGamsMaxLabelBytes);
    case GamsRule::NameControl:
        return "its name holds a control character, which no GAMS label may hold";
    case GamsRule::NameQuotes:
        return "its name holds both a single and a double quote, so GAMS can quote it with "
               "neither";
    case GamsRule::LongText:
        return "its description is " + std::to_string(p.bytes) +
               " bytes long; a GAMS explanatory text has at most " +
               std::to_string(kGamsMaxTextBytes);
    case GamsRule::TextControl:
        return "its description holds a control character, which no GAMS explanatory text may "
               "hold";
    case GamsRule::UnreadableWeight:
        return "its weight '" + shown(p.detail) + "' is no number GAMS can read";
    case GamsRule::MissingWeight:
        return "it has no weight, while other tuples have one";
    case GamsRule::OtherSpelling:
        return "GAMS shows it as '" + shown(p.detail) + "', its first spelling (line " +
               std::to_string(p.firstLine + 1) + ")";
    }
    return {};
}

std::string GamsMessage(std::string_view fileName, const GamsProblem& p) {
    std::string text(fileName);
    text.append(":").append(std::to_string(p.line + 1)).append(": ");
    text.append(IsGamsWarning(p.rule) ? "warning: " : "note: ");
    if (p.name.empty())
        text.append("element without a name: ");
    else
        text.append("element '").append(shown(p.name)).append("': ");
    text.append(GamsReason(p));
    return text;
}

namespace {

// The lines of element text one after the other, from the start again when asked: of the text
// pane's lines, or of a whole text whose lines end at CR LF, CR or LF.
class PaneLines {
public:
    explicit PaneLines(const TextLines& lines) : lines_(lines) {}
    size_t expected() const { return lines_.size(); }
    void restart() { next_ = 0; }
    bool next(std::string_view& line) {
        if (next_ == lines_.size())
            return false;
        line = lines_[next_++];
        return true;
    }

private:
    const TextLines& lines_;
    size_t next_ = 0;
};

class WholeText {
public:
    explicit WholeText(std::string_view text) : text_(text) {}
    size_t expected() const { return text_.size() / 32 + 1; }
    void restart() { pos_ = 0; }
    bool next(std::string_view& line) { return NextLine(text_, pos_, line); }

private:
    std::string_view text_;
    size_t pos_ = 0;
};

// Two passes: the first reads every line, notes which break a rule of their own and which names
// are spelled with a lower-case letter; the second reads again only the lines with a problem of
// their own and those whose name may be spelled otherwise than before, and reports in the order
// of the lines. Without either, the second pass is left out.
template <class Lines> void checkElementText(Lines& lines, const GamsReport& report) {
    std::vector<uint64_t> marks;
    marks.reserve(lines.expected());
    std::vector<uint64_t> lowerCase;
    size_t flagged = 0;
    ElementLine element;
    std::string scratch;
    std::string_view line;
    while (lines.next(line)) {
        uint64_t mark = 0;
        if (ReadElementLine(line, element, scratch)) {
            if (!element.name.empty()) {
                mark = named(FirstSpellings::hash(element.name));
                if (hasLowerCase(element.name))
                    lowerCase.push_back(mark);
            }
            if (breaksRule(element.name, element.description)) {
                mark |= kFlagged;
                ++flagged;
            }
        }
        marks.push_back(mark);
    }
    const SpellingFilter spelledOtherwise(lowerCase);
    if (flagged == 0 && spelledOtherwise.empty())
        return;

    // Of the names that may be spelled otherwise, only those that occur more than once are
    // looked up: a name occurs more than once exactly when its fold does.
    const auto mayDifferAt = [&](size_t i) {
        return (marks[i] & kNamed) && spelledOtherwise.mayDiffer(marks[i]);
    };
    RepeatFilter repeats(lowerCase.size());
    if (!spelledOtherwise.empty())
        for (size_t i = 0; i < marks.size(); ++i) {
            if (i + kAhead < marks.size() && (marks[i + kAhead] & kNamed))
                spelledOtherwise.prefetch(marks[i + kAhead]);
            if (mayDifferAt(i))
                repeats.count(marks[i]);
        }

    FirstSpellings spellings(lowerCase.size() / 16);
    std::vector<GamsProblem> found;
    lines.restart();
    for (size_t i = 0; lines.next(line); ++i) {
        if (i + kAhead < marks.size() && (marks[i + kAhead] & kNamed))
            spelledOtherwise.prefetch(marks[i + kAhead]);
        const uint64_t mark = marks[i];
        const bool mayDiffer = mayDifferAt(i) && repeats.mayRepeat(mark);
        if (!(mark & kFlagged) && !mayDiffer)
            continue;
        ReadElementLine(line, element, scratch);
        found.clear();
        if (mark & kFlagged)
            checkElement({i, element.name, element.nameAt, element.contentAt, element.contentSize,
                          element.description, element.descriptionAt},
                         found);
        for (const GamsProblem& p : found)
            report(p);
        if (mayDiffer)
            spellings.meet(element.name, named(mark), i, element.nameAt, report);
    }
}

} // namespace

void CheckElementTextForGams(const TextLines& lines, const GamsReport& report) {
    PaneLines source(lines);
    checkElementText(source, report);
}

void CheckElementTextForGams(std::string_view text, const GamsReport& report) {
    WholeText source(text);
    checkElementText(source, report);
}

namespace {

// Inputs at least this large are read in two halves at once.
constexpr size_t kParallelBytes = size_t{1} << 20;

// What the first pass keeps of the tuple lines of a stretch of the input: one byte of marks a
// line, and the hashes of the names spelled with a lower-case letter.
struct TupleMarks {
    std::vector<uint8_t> lines;
    std::vector<uint64_t> lowerCase;
    size_t flagged = 0; // lines with a problem of their own, or without a weight
    bool weighted = false;

    // The lines of bytes from begin to end, which begin a line and end one.
    void read(std::string_view bytes, size_t begin, size_t end) {
        lines.reserve((end - begin) / 24 + 1); // a short tuple line takes about so many bytes
        const std::string_view stretch = bytes.substr(begin, end - begin);
        Tuple t;
        std::string_view childBefore;
        std::string_view parentBefore;
        size_t pos = 0;
        std::string_view line;
        while (NextLine(stretch, pos, line)) {
            uint8_t mark = 0;
            if (!readTuple(line, t)) {
                childBefore = parentBefore = {};
            } else {
                if (breaksRule(t.child, t.annotation) ||
                    (!t.weight.empty() && !isReadableWeight(t.weight)))
                    mark |= kFlagged;
                if (t.weight.empty())
                    mark |= kWeightless;
                else
                    weighted = true;
                if (mark != 0)
                    ++flagged;
                if (hasLowerCase(t.child))
                    lowerCase.push_back(named(FirstSpellings::hash(t.child)));
                // A parent met on the line before is in the set already when it belongs there.
                if (t.parent != t.child && t.parent != childBefore && t.parent != parentBefore &&
                    hasLowerCase(t.parent))
                    lowerCase.push_back(named(FirstSpellings::hash(t.parent)));
                childBefore = t.child;
                parentBefore = t.parent;
            }
            lines.push_back(mark);
        }
    }
};

enum ParentIs : uint64_t { Own = 0, ChildBefore = 8, ParentBefore = 16 }; // else its key

// The names of each tuple line, for the spellings, as the keys of the table of first spellings
// (0: no name). Most parents are the child of the line before (a first child follows its
// parent) or the parent of the line before (siblings follow each other); such a parent is marked
// so instead of counted again, and gives the note that occurrence gave.
struct TupleKeys {
    struct Line {
        uint64_t child;
        uint64_t parent; // ParentIs, or a key
    };
    std::vector<Line> lines;

    // The lines of a stretch of the input that begins a line and ends one.
    void read(std::string_view bytes, size_t expected) {
        lines.reserve(expected);
        Tuple t;
        std::string_view childBefore;
        std::string_view parentBefore;
        size_t pos = 0;
        std::string_view line;
        while (NextLine(bytes, pos, line)) {
            Line keys{0, Own};
            if (!readTuple(line, t)) {
                childBefore = parentBefore = {};
                lines.push_back(keys);
                continue;
            }
            if (!t.child.empty())
                keys.child = named(FirstSpellings::hash(t.child));
            if (t.parent.empty() || t.parent == t.child)
                keys.parent = Own; // a root names itself as its parent: once is enough
            else if (t.parent == childBefore)
                keys.parent = ChildBefore;
            else if (t.parent == parentBefore)
                keys.parent = ParentBefore;
            else
                keys.parent = named(FirstSpellings::hash(t.parent));
            childBefore = t.child;
            parentBefore = t.parent;
            lines.push_back(keys);
        }
    }
};

// The notes of the tuples' names in the order of their lines.
class TupleSpellings {
public:
    explicit TupleSpellings(size_t names) : table_(names) {}

    // A line whose names cannot be spelled otherwise (or no tuple): it gives no note.
    void skip() { childNote_ = parentNote_ = Note(); }

    // Whether a line with these keys gives a note because its parent is a name of the line
    // before that gave one.
    bool inherits(const TupleKeys::Line& keys) const {
        return (keys.parent == ChildBefore && childNote_.given()) ||
               (keys.parent == ParentBefore && parentNote_.given());
    }

    // The notes of a tuple; looks up the names for which lookUp holds.
    template <class LookUp>
    void meet(const Tuple& t, const TupleKeys::Line& keys, size_t line, LookUp&& lookUp,
              const GamsReport& report) {
        Note child;
        if (lookUp(keys.child))
            child = meet(t.child, keys.child, t.childAt, line, report);
        Note parent;
        if (keys.parent == Own) {
            parent = child;
        } else if (keys.parent == ChildBefore || keys.parent == ParentBefore) {
            parent = keys.parent == ChildBefore ? childNote_ : parentNote_;
            if (parent.given()) {
                GamsProblem p;
                p.rule = GamsRule::OtherSpelling;
                p.line = line;
                p.at = t.parentAt;
                p.size = t.parent.size();
                p.name = t.parent;
                p.detail = parent.first;
                p.firstLine = parent.firstLine;
                report(p);
            }
        } else if (lookUp(keys.parent)) {
            parent = meet(t.parent, keys.parent, t.parentAt, line, report);
        }
        childNote_ = child;
        parentNote_ = parent;
    }

private:
    struct Note {
        std::string_view first; // the first spelling; none: no note
        size_t firstLine = 0;
        bool given() const { return first.data() != nullptr; }
    };

    Note meet(std::string_view name, uint64_t key, size_t at, size_t line,
              const GamsReport& report) {
        Note note;
        table_.meet(name, key, line, at, [&](const GamsProblem& p) {
            note = {p.detail, p.firstLine};
            report(p);
        });
        return note;
    }

    FirstSpellings table_;
    Note childNote_;
    Note parentNote_;
};

} // namespace

// Two passes, and a third for the spellings when they are needed. The first reads every line, in
// two halves at once when the input is large, and notes which lines have a problem of their own
// and which names are spelled with a lower-case letter. When some are, the names of every line
// are counted, and only a name that may be spelled otherwise and occurs more than once (not
// counting a parent met on the line before) is looked up. The last pass goes through the lines in
// order, reads those with something to report, and reports.
void CheckTuplesForGams(std::string_view bytes, const GamsReport& report) {
    bytes = bytes.substr(0, bytes.find(kEndOfInput));
    // The second half begins after a line feed.
    const size_t middle =
        bytes.size() < kParallelBytes ? std::string_view::npos : bytes.find('\n', bytes.size() / 2);
    TupleMarks first;
    TupleMarks second;
    if (middle == std::string_view::npos) {
        first.read(bytes, 0, bytes.size());
    } else {
        RunInParallel([&] { first.read(bytes, 0, middle + 1); },
                      [&] { second.read(bytes, middle + 1, bytes.size()); });
    }
    const bool weighted = first.weighted || second.weighted;
    first.lowerCase.insert(first.lowerCase.end(), second.lowerCase.begin(), second.lowerCase.end());
    const SpellingFilter spelledOtherwise(first.lowerCase);
    if (first.flagged + second.flagged == 0 && spelledOtherwise.empty())
        return;

    const size_t lines = first.lines.size() + second.lines.size();
    TupleKeys keys;
    RepeatFilter repeats(spelledOtherwise.empty() ? 0 : first.lowerCase.size());
    if (!spelledOtherwise.empty()) {
        if (middle == std::string_view::npos) {
            keys.read(bytes, lines);
        } else {
            TupleKeys secondKeys;
            RunInParallel([&] { keys.read(bytes.substr(0, middle + 1), first.lines.size()); },
                          [&] { secondKeys.read(bytes.substr(middle + 1), second.lines.size()); });
            keys.lines.insert(keys.lines.end(), secondKeys.lines.begin(), secondKeys.lines.end());
        }
        // Only names that may be spelled otherwise are counted: a name occurs more than once
        // exactly when its fold does, and the others are never looked up.
        const auto counted = [&](uint64_t key) {
            return (key & kNamed) && spelledOtherwise.mayDiffer(key);
        };
        for (size_t i = 0; i < keys.lines.size(); ++i) {
            if (i + kAhead < keys.lines.size()) {
                spelledOtherwise.prefetch(keys.lines[i + kAhead].child);
                spelledOtherwise.prefetch(keys.lines[i + kAhead].parent);
            }
            for (const uint64_t key : {keys.lines[i].child, keys.lines[i].parent})
                if (counted(key))
                    repeats.count(key);
        }
    }
    const auto lookUp = [&](uint64_t key) {
        return (key & kNamed) && spelledOtherwise.mayDiffer(key) && repeats.mayRepeat(key);
    };

    TupleSpellings spellings(first.lowerCase.size() / 16);
    std::vector<GamsProblem> found;
    Tuple t;
    size_t pos = 0;
    std::string_view line;
    for (size_t i = 0; i < lines && NextLine(bytes, pos, line); ++i) {
        if (i + kAhead < keys.lines.size())
            for (const uint64_t key : {keys.lines[i + kAhead].child, keys.lines[i + kAhead].parent})
                if (key & kNamed) {
                    spelledOtherwise.prefetch(key);
                    repeats.prefetch(key);
                }
        const uint8_t mark =
            i < first.lines.size() ? first.lines[i] : second.lines[i - first.lines.size()];
        const bool flagged = (mark & kFlagged) || ((mark & kWeightless) && weighted);
        const bool spelling =
            i < keys.lines.size() && (lookUp(keys.lines[i].child) || lookUp(keys.lines[i].parent) ||
                                      spellings.inherits(keys.lines[i]));
        if (!flagged && !spelling) {
            spellings.skip();
            continue;
        }
        const bool tuple = readTuple(line, t);
        if (flagged) {
            found.clear();
            if (mark & kFlagged)
                checkElement({i, t.child, t.childAt, t.contentAt, t.contentSize, t.annotation,
                              t.annotationAt},
                             found);
            GamsProblem w;
            w.line = i;
            w.name = t.child;
            w.at = t.weightAt;
            w.size = t.weight.size();
            if (t.weight.empty()) {
                w.rule = GamsRule::MissingWeight;
                found.push_back(w);
            } else if (!isReadableWeight(t.weight)) {
                w.rule = GamsRule::UnreadableWeight;
                w.detail = t.weight;
                found.push_back(w);
            }
            for (const GamsProblem& p : found)
                report(p);
        }
        if (spelling && tuple)
            spellings.meet(t, keys.lines[i], i, lookUp, report);
        else
            spellings.skip();
    }
}

} // namespace settree
