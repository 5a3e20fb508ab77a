// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/gamscheck.h"

#include "formats/nametable.h"
#include "model/caption.h"
#include "model/textfile.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

namespace settree {

namespace {

constexpr char kEndOfInput = 26; // Ctrl+Z ends the tuples, as the tuple reader reads them

// The passes over the names ask for the repeat filter's cells this many names ahead.
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

// The problems of one element, in the order of its parts; they go to out.
struct ElementParts {
    size_t line;
    std::string_view name;
    size_t nameAt;
    size_t contentAt; // the element's text in the line: marked for an element without a name
    size_t contentSize;
    std::string_view description;
    size_t descriptionAt;
};

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

// Which names may occur more than once, told by the hash of their folded bytes: two bits a cell,
// for never, once and more than once. A name met once is certainly met once; one met "more" may
// share its cell with another name. With far more cells than names the table stays small enough
// for the caches, so counting every name costs little, and only the names met more go on to the
// table of first spellings.
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
        const uint64_t state = (word >> shift) & 3;
        if (state < 2)
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

// The first spelling of each name that may repeat, compared without regard to letter case, with
// its line.
class FirstSpellings {
public:
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

// Text shown in a message: bytes that would break the line or the terminal are escaped.
std::string shown(std::string_view s) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(s.size());
    for (const char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (isControl(u)) {
            out.append("\\x").append(1, kHex[u >> 4]).append(1, kHex[u & 15]);
        } else {
            out.push_back(c);
        }
    }
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

// Two passes: the first reads every line, notes which break a rule of their own and counts the
// names in the repeat filter; the second reads again only those lines, and those whose names may
// repeat, and reports in the order of the lines.
template <class Lines> void checkElementText(Lines& lines, const GamsReport& report) {
    std::vector<uint64_t> marks;
    marks.reserve(lines.expected());
    size_t names = 0;
    ElementLine element;
    std::string scratch;
    std::string_view line;
    while (lines.next(line)) {
        uint64_t mark = 0;
        if (ReadElementLine(line, element, scratch)) {
            if (!element.name.empty()) {
                mark = named(FirstSpellings::hash(element.name));
                ++names;
            }
            if (breaksRule(element.name, element.description))
                mark |= kFlagged;
        }
        marks.push_back(mark);
    }
    RepeatFilter repeats(names);
    for (size_t i = 0; i < marks.size(); ++i) {
        if (i + kAhead < marks.size() && (marks[i + kAhead] & kNamed))
            repeats.prefetch(marks[i + kAhead]);
        if (marks[i] & kNamed)
            repeats.count(marks[i]);
    }

    FirstSpellings spellings;
    std::vector<GamsProblem> found;
    lines.restart();
    for (size_t i = 0; lines.next(line); ++i) {
        if (i + kAhead < marks.size() && (marks[i + kAhead] & kNamed))
            repeats.prefetch(marks[i + kAhead]);
        const uint64_t mark = marks[i];
        const bool mayRepeat = (mark & kNamed) && repeats.mayRepeat(mark);
        if (!(mark & kFlagged) && !mayRepeat)
            continue;
        ReadElementLine(line, element, scratch);
        found.clear();
        if (mark & kFlagged)
            checkElement({i, element.name, element.nameAt, element.contentAt, element.contentSize,
                          element.description, element.descriptionAt},
                         found);
        for (const GamsProblem& p : found)
            report(p);
        if (mayRepeat)
            spellings.meet(element.name, FirstSpellings::hash(element.name), i, element.nameAt,
                           report);
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

// Two passes, as for element text. A parent is a name met again: every parent is the child of
// another line. Most parents are the child of the line before (a first child follows its parent)
// or the parent of the line before (siblings follow each other); such a parent is not counted
// again, and gives what that occurrence gave.
void CheckTuplesForGams(std::string_view bytes, const GamsReport& report) {
    bytes = bytes.substr(0, bytes.find(kEndOfInput));
    enum ParentIs : uint64_t { Own = 0, ChildBefore = 8, ParentBefore = 16 }; // else counted
    struct Marks {
        size_t at;       // of the line in bytes
        uint64_t child;  // as for element text, with kWeightless
        uint64_t parent; // ParentIs, or named(hash)
    };
    std::vector<Marks> marks;
    marks.reserve(bytes.size() / 24 + 1); // a short tuple line takes about so many bytes
    size_t names = 0;
    bool weighted = false;

    std::string_view childBefore;
    std::string_view parentBefore;
    size_t pos = 0;
    std::string_view line;
    for (size_t at = 0; NextLine(bytes, pos, line); at = pos) {
        Tuple t;
        Marks m{at, 0, Own};
        if (!readTuple(line, t)) {
            childBefore = parentBefore = {};
            marks.push_back(m);
            continue;
        }
        if (!t.child.empty()) {
            m.child = named(FirstSpellings::hash(t.child));
            ++names;
        }
        if (breaksRule(t.child, t.annotation) || (!t.weight.empty() && !isReadableWeight(t.weight)))
            m.child |= kFlagged;
        if (t.weight.empty())
            m.child |= kWeightless;
        else
            weighted = true;
        if (t.parent.empty() || t.parent == t.child) {
            m.parent = Own; // a root names itself as its parent: once is enough
        } else if (t.parent == childBefore) {
            m.parent = ChildBefore;
        } else if (t.parent == parentBefore) {
            m.parent = ParentBefore;
        } else {
            m.parent = named(FirstSpellings::hash(t.parent));
            ++names;
        }
        childBefore = t.child;
        parentBefore = t.parent;
        marks.push_back(m);
    }

    RepeatFilter repeats(names);
    const auto ask = [&](size_t i) {
        if (i < marks.size()) {
            if (marks[i].child & kNamed)
                repeats.prefetch(marks[i].child);
            if (marks[i].parent & kNamed)
                repeats.prefetch(marks[i].parent);
        }
    };
    for (size_t i = 0; i < marks.size(); ++i) {
        ask(i + kAhead);
        if (marks[i].child & kNamed)
            repeats.count(marks[i].child);
        if (marks[i].parent & kNamed)
            repeats.count(marks[i].parent);
    }

    // The note the last line's child and parent gave, for a parent that is the same bytes.
    struct Noted {
        bool noted = false;
        std::string_view first;
        size_t firstLine = 0;
    };
    Noted childNoted;
    Noted parentNoted;
    FirstSpellings spellings;
    std::vector<GamsProblem> found;
    for (size_t i = 0; i < marks.size(); ++i) {
        ask(i + kAhead);
        const Marks& m = marks[i];
        const bool childMayRepeat = (m.child & kNamed) && repeats.mayRepeat(m.child);
        const bool parentMayRepeat = (m.parent & kNamed) && repeats.mayRepeat(m.parent);
        const bool asBefore = (m.parent == ChildBefore && childNoted.noted) ||
                              (m.parent == ParentBefore && parentNoted.noted);
        if (!(m.child & kFlagged) && !((m.child & kWeightless) && weighted) && !childMayRepeat &&
            !parentMayRepeat && !asBefore) {
            childNoted = parentNoted = Noted();
            continue;
        }
        size_t next = m.at;
        NextLine(bytes, next, line);
        Tuple t;
        readTuple(line, t);
        found.clear();
        if (m.child & kFlagged)
            checkElement(
                {i, t.child, t.childAt, t.contentAt, t.contentSize, t.annotation, t.annotationAt},
                found);
        GamsProblem w;
        w.line = i;
        w.name = t.child;
        w.at = t.weightAt;
        w.size = t.weight.size();
        if (t.weight.empty() && weighted) {
            w.rule = GamsRule::MissingWeight;
            found.push_back(w);
        } else if ((m.child & kFlagged) && !t.weight.empty() && !isReadableWeight(t.weight)) {
            w.rule = GamsRule::UnreadableWeight;
            w.detail = t.weight;
            found.push_back(w);
        }
        for (const GamsProblem& p : found)
            report(p);

        const auto noteTo = [&](Noted& noted) {
            return [&](const GamsProblem& p) {
                noted = {true, p.detail, p.firstLine};
                report(p);
            };
        };
        Noted child;
        if (childMayRepeat)
            spellings.meet(t.child, FirstSpellings::hash(t.child), i, t.childAt, noteTo(child));
        Noted parent;
        if (m.parent == Own) {
            parent = child;
        } else if (m.parent == ChildBefore || m.parent == ParentBefore) {
            parent = m.parent == ChildBefore ? childNoted : parentNoted;
            if (parent.noted) {
                GamsProblem p;
                p.rule = GamsRule::OtherSpelling;
                p.line = i;
                p.at = t.parentAt;
                p.size = t.parent.size();
                p.name = t.parent;
                p.detail = parent.first;
                p.firstLine = parent.firstLine;
                report(p);
            }
        } else if (parentMayRepeat) {
            spellings.meet(t.parent, FirstSpellings::hash(t.parent), i, t.parentAt, noteTo(parent));
        }
        childNoted = child;
        parentNoted = parent;
    }
}

} // namespace settree
