// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/gamscheck.h"

#include "formats/nametable.h"
#include "model/caption.h"
#include "model/parallel.h"
#include "model/textfile.h"
#include "model/utf8.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <optional>
#include <utility>
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
// often codes in capitals and digits, so the set is often small or empty. It is kept as one bit a
// cell by the hash of the folded name; a name whose cell is set (it, or another name that shares
// the cell) goes on to be counted. Where most names are spelled with a lower-case letter the
// set would hold nearly all of them, and every name goes on.
class SpellingFilter {
public:
    // For names names, of which spelledLower are spelled with a lower-case letter: each of those
    // is added, unless wanted() says the set takes every name.
    SpellingFilter(size_t spelledLower, size_t names) {
        if (spelledLower == 0)
            return;
        if (2 * spelledLower >= names) {
            every_ = true;
            return;
        }
        while (cells_ < 16 * spelledLower)
            cells_ *= 2;
        words_.assign(cells_ / 64, 0);
    }
    bool wanted() const { return !words_.empty(); }
    void add(uint64_t hash) { words_[cell(hash) / 64] |= uint64_t{1} << (cell(hash) % 64); }

    // Whether no name may be spelled otherwise.
    bool none() const { return !every_ && words_.empty(); }
    void prefetch(uint64_t hash) const {
        if (!words_.empty())
            Prefetch(&words_[cell(hash) / 64]);
    }
    bool mayDiffer(uint64_t hash) const {
        return every_ || (!words_.empty() && (words_[cell(hash) / 64] >> (cell(hash) % 64) & 1));
    }

private:
    size_t cell(uint64_t hash) const { return static_cast<size_t>(hash >> 20) & (cells_ - 1); }
    bool every_ = false;
    size_t cells_ = 64;
    std::vector<uint64_t> words_;
};

// Which names, compared without regard to letter case, occur more than once, told by the hash of
// their folded bytes: two bits a cell, for never, once and more than once. A name is counted in
// two cells of one word (one read a name); it occurs more than once only where both say "more".
// A name counted once is certainly met once, so it has one spelling; "more" in both cells may
// come of other names that share them.
class RepeatFilter {
public:
    explicit RepeatFilter(size_t names) {
        while (words_ * 32 < 16 * names)
            words_ *= 2;
        cells_.assign(words_, 0);
    }
    void prefetch(uint64_t hash) const { Prefetch(&cells_[word(hash)]); }
    void count(uint64_t hash) {
        uint64_t& cells = cells_[word(hash)];
        for (const unsigned shift : shifts(hash))
            if (((cells >> shift) & 3) < 2)
                cells += uint64_t{1} << shift;
    }
    bool mayRepeat(uint64_t hash) const {
        const uint64_t cells = cells_[word(hash)];
        const auto [a, b] = shifts(hash);
        return ((cells >> a) & (cells >> b) & 3) == 2;
    }

private:
    // The word from the high bits of the hash, the two cells in it (never one cell twice) from
    // bits below them, above the marks of a key.
    size_t word(uint64_t hash) const { return static_cast<size_t>(hash >> 20) & (words_ - 1); }
    static std::array<unsigned, 2> shifts(uint64_t hash) {
        const auto first = static_cast<unsigned>((hash >> 3) & 31);
        const auto second = (first + 1 + static_cast<unsigned>((hash >> 8) & 0xffff) % 31) & 31;
        return {2 * first, 2 * second};
    }
    size_t words_ = 32;
    std::vector<uint64_t> cells_;
};

// What the first pass keeps of a name: its hash with the low bits taken for marks (the filters
// and the table use the high ones). 0: no name to look at.
constexpr uint64_t kNamed = 1;        // a name worth counting: not empty
constexpr uint64_t kFlagged = 2;      // the line has a problem of its own
constexpr uint64_t kSpelledLower = 4; // the name is spelled with a lower-case letter
constexpr uint64_t kMarks = 7;
// Of the one byte of marks of a tuple line: kFlagged, and
constexpr uint8_t kWeightless = 4; // a tuple without a weight

// The mark of a name of this hash; of a mark, the key the table of first spellings is asked with
// (the same for every spelling of the name).
uint64_t named(uint64_t hash) {
    return (hash & ~kMarks) | kNamed;
}

// The key of a name for the table of first spellings, and whether the name is spelled with a
// lower-case letter.
uint64_t keyOf(std::string_view name, bool& lowerCase) {
    return named(NameHash<NameFold>(name, lowerCase));
}

// The first spelling of each name that may be spelled otherwise, compared without regard to
// letter case, with its line.
class FirstSpellings {
public:
    // Room for about names names; more may come.
    explicit FirstSpellings(size_t names) : table_(names) {}

    // Remembers a spelling met on a line, the first of its name; a later one in other letter
    // case gives the note, which goes to note. mark: the name's, marks and all.
    template <class Note>
    void meet(std::string_view name, uint64_t mark, size_t line, size_t at, Note&& note) {
        bool added = false;
        std::string_view first;
        uint32_t& firstLine = table_.insert(name, named(mark), added, first);
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
    // The text cut in two after a line feed near its middle, each part whole lines (a line end
    // at the very end of the first adds no line); none when there is no such line feed.
    std::optional<std::pair<WholeText, WholeText>> halves() const {
        const size_t feed = text_.find('\n', text_.size() / 2);
        if (feed == std::string_view::npos || feed + 1 == text_.size())
            return std::nullopt;
        return std::make_pair(WholeText(text_.substr(0, feed + 1)),
                              WholeText(text_.substr(feed + 1)));
    }
    size_t size() const { return text_.size(); }

private:
    std::string_view text_;
    size_t pos_ = 0;
};

// Builds the set of names that may be spelled otherwise from the keys of every name, which have
// kSpelledLower where the name is spelled with a lower-case letter.
template <class Keys>
SpellingFilter spelledOtherwise(size_t spelledLower, size_t names, Keys&& forEachKey) {
    SpellingFilter filter(spelledLower, names);
    if (filter.wanted())
        forEachKey([&](uint64_t key) {
            if (key & kSpelledLower)
                filter.add(key);
        });
    return filter;
}

// The first pass over lines: a mark for each line, and the counts of the marks.
struct LineMarks {
    std::vector<uint64_t> marks;
    size_t names = 0;
    size_t spelledLower = 0;
    size_t flagged = 0;

    template <class Lines> void read(Lines& lines) {
        marks.reserve(lines.expected());
        ElementLine element;
        std::string scratch;
        std::string_view line;
        while (lines.next(line)) {
            uint64_t mark = 0;
            if (ReadElementLine(line, element, scratch)) {
                if (!element.name.empty()) {
                    bool lower = false;
                    mark = keyOf(element.name, lower);
                    ++names;
                    if (lower) {
                        mark |= kSpelledLower;
                        ++spelledLower;
                    }
                }
                if (breaksRule(element.name, element.description)) {
                    mark |= kFlagged;
                    ++flagged;
                }
            }
            marks.push_back(mark);
        }
    }
    void append(const LineMarks& after) {
        marks.insert(marks.end(), after.marks.begin(), after.marks.end());
        names += after.names;
        spelledLower += after.spelledLower;
        flagged += after.flagged;
    }
};

// Each line's mark depends on that line alone: a large text is read in two halves at once.
LineMarks readMarks(PaneLines& lines) {
    LineMarks marks;
    marks.read(lines);
    return marks;
}

LineMarks readMarks(WholeText& text) {
    LineMarks marks;
    auto halves = text.size() < kParallelBytes ? std::nullopt : text.halves();
    if (!halves) {
        marks.read(text);
        return marks;
    }
    LineMarks second;
    RunInParallel([&] { marks.read(halves->first); }, [&] { second.read(halves->second); });
    marks.append(second);
    return marks;
}

// Two passes: the first reads every line, notes which break a rule of their own and which names
// are spelled with a lower-case letter; the second reads again only the lines with a problem of
// their own and those whose name may be spelled otherwise than before, and reports in the order
// of the lines. Without either, the second pass is left out.
template <class Lines> void checkElementText(Lines& lines, const GamsReport& report) {
    const LineMarks read = readMarks(lines);
    const std::vector<uint64_t>& marks = read.marks;
    const size_t names = read.names;
    const size_t spelledLower = read.spelledLower;
    const size_t flagged = read.flagged;
    ElementLine element;
    std::string scratch;
    std::string_view line;
    const SpellingFilter filter = spelledOtherwise(spelledLower, names, [&](auto&& take) {
        for (const uint64_t mark : marks)
            take(mark);
    });
    if (flagged == 0 && filter.none())
        return;

    // Of the names that may be spelled otherwise, only those that occur more than once are
    // looked up: a name occurs more than once exactly when its fold does.
    const auto mayDifferAt = [&](size_t i) {
        return (marks[i] & kNamed) && filter.mayDiffer(marks[i]);
    };
    RepeatFilter repeats(filter.none() ? 0 : spelledLower);
    // Asks ahead for the filter's and the count's slots of the name of line i + kAhead.
    const auto prefetchAhead = [&](size_t i) {
        if (i + kAhead < marks.size() && (marks[i + kAhead] & kNamed)) {
            filter.prefetch(marks[i + kAhead]);
            repeats.prefetch(marks[i + kAhead]);
        }
    };
    if (!filter.none())
        for (size_t i = 0; i < marks.size(); ++i) {
            prefetchAhead(i);
            if (mayDifferAt(i))
                repeats.count(marks[i]);
        }

    FirstSpellings spellings(spelledLower / 16);
    std::vector<GamsProblem> found;
    lines.restart();
    for (size_t i = 0; lines.next(line); ++i) {
        prefetchAhead(i);
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
            spellings.meet(element.name, mark, i, element.nameAt, report);
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

// Where the parent of a tuple line stands for the spellings: nowhere (no parent, or a root that
// names itself), its key, or an earlier occurrence of the same bytes, the child or the parent of
// a line so many lines before. A parent is mostly the child of an earlier line, one of its
// ancestors while the lines follow the tree in pre-order: it gets the note that occurrence got,
// and is neither counted nor looked up again.
constexpr uint64_t kNoParent = 0;
constexpr uint64_t kEarlier = 2; // low bits of an earlier occurrence; a key has kNamed

uint64_t earlier(size_t linesBack, bool parent) {
    return (static_cast<uint64_t>(linesBack) << 3) | (parent ? 4 : 0) | kEarlier;
}

bool isEarlier(uint64_t parent) {
    return (parent & 3) == kEarlier;
}

// An occurrence of a name: the child (0) or the parent (1) of a line, as 2 * line + that.
uint64_t occurrence(size_t line, bool parent) {
    return 2 * static_cast<uint64_t>(line) + (parent ? 1 : 0);
}

uint64_t earlierOccurrence(uint64_t parent, size_t line) {
    return occurrence(line - static_cast<size_t>(parent >> 3), (parent & 4) != 0);
}

// What the first pass keeps of the tuple lines of a stretch of the input: one byte of marks a
// line, and the keys of the names of each line from the first name spelled with a lower-case
// letter on (only then can a name be spelled otherwise: before it, none is hashed).
struct TupleLines {
    struct Keys {
        uint64_t child;  // 0: no name
        uint64_t parent; // kNoParent, a key, or earlier()
        size_t at;       // where the line begins in the stretch
    };
    std::vector<uint8_t> marks;
    std::vector<Keys> keys; // of the lines from keyedFrom on
    size_t keyedFrom = 0;
    size_t keyedFromByte = 0; // where line keyedFrom begins in the stretch
    size_t names = 0;         // keys of names, and of those spelled with a lower-case letter
    size_t spelledLower = 0;
    size_t flagged = 0; // lines with a problem of their own, or without a weight
    bool weighted = false;

    // The lines of a stretch of the input that begins a line and ends one; with keyAll the keys
    // of every line.
    void read(std::string_view stretch, bool keyAll) {
        const size_t expected = stretch.size() / 24 + 1; // a short tuple line takes about so many
        marks.reserve(expected);
        struct Met {
            std::string_view name;
            size_t line;
            bool parent;
        };
        // The names that may be the parent of a later line: the ancestors of the line read last.
        std::vector<Met> path;
        bool keyed = keyAll;
        if (keyed)
            keys.reserve(expected);
        keyedFrom = 0;
        keyedFromByte = 0;
        Tuple t;
        size_t pos = 0;
        std::string_view line;
        for (size_t i = 0;; ++i) {
            const size_t lineAt = pos;
            if (!NextLine(stretch, pos, line))
                break;
            uint8_t mark = 0;
            Keys k{0, kNoParent, lineAt};
            if (readTuple(line, t)) {
                if (breaksRule(t.child, t.annotation) ||
                    (!t.weight.empty() && !isReadableWeight(t.weight)))
                    mark |= kFlagged;
                if (t.weight.empty())
                    mark |= kWeightless;
                else
                    weighted = true;
                if (mark != 0)
                    ++flagged;
                if (!keyed && (hasLowerCase(t.child) || hasLowerCase(t.parent))) {
                    keyed = true;
                    keyedFrom = i;
                    keyedFromByte = lineAt;
                    keys.reserve(expected > i ? expected - i : 1);
                }
                if (keyed)
                    keysOf(t, i, path, k);
            }
            marks.push_back(mark);
            if (keyed)
                keys.push_back(k);
        }
        if (!keyed) {
            keyedFrom = marks.size();
            keyedFromByte = stretch.size();
        }
    }

private:
    uint64_t key(std::string_view name) {
        bool lower = false;
        const uint64_t k = keyOf(name, lower);
        ++names;
        if (!lower)
            return k;
        ++spelledLower;
        return k | kSpelledLower;
    }

    template <class Path> void keysOf(const Tuple& t, size_t line, Path& path, Keys& k) {
        if (!t.child.empty())
            k.child = key(t.child);
        if (t.parent.empty() || t.parent == t.child) {
            path.clear(); // a root: no name before it is its ancestor
        } else {
            while (!path.empty() && path.back().name != t.parent)
                path.pop_back();
            if (!path.empty()) {
                k.parent = earlier(line - path.back().line, path.back().parent);
            } else {
                k.parent = key(t.parent);
                path.push_back({t.parent, line, true});
            }
        }
        if (!t.child.empty())
            path.push_back({t.child, line, false});
    }
};

// The notes of the tuples' names in the order of their lines.
class TupleSpellings {
public:
    explicit TupleSpellings(size_t names) : table_(names) {}

    // Whether the parent of a line is an earlier occurrence that got a note.
    bool inherits(uint64_t parent, size_t line) const {
        return isEarlier(parent) && !given_.empty() && noteOf(earlierOccurrence(parent, line));
    }

    // The notes of a tuple; looks up the names for which lookUp holds.
    template <class LookUp>
    void meet(const Tuple& t, const TupleLines::Keys& keys, size_t line, LookUp&& lookUp,
              const GamsReport& report) {
        if (lookUp(keys.child))
            meet(t.child, keys.child, t.childAt, line, false, report);
        if (isEarlier(keys.parent)) {
            if (const Note* note =
                    given_.empty() ? nullptr : noteOf(earlierOccurrence(keys.parent, line))) {
                GamsProblem p;
                p.rule = GamsRule::OtherSpelling;
                p.line = line;
                p.at = t.parentAt;
                p.size = t.parent.size();
                p.name = t.parent;
                p.detail = note->first;
                p.firstLine = note->firstLine;
                report(p);
            }
        } else if (lookUp(keys.parent)) {
            meet(t.parent, keys.parent, t.parentAt, line, true, report);
        }
    }

private:
    // A note given to an occurrence, which a later occurrence of the same bytes gets again.
    struct Note {
        uint64_t occurrence;
        std::string_view first; // the first spelling
        size_t firstLine;
    };

    // Notes are given in the order of their occurrences.
    const Note* noteOf(uint64_t occurrence) const {
        const auto at =
            std::lower_bound(given_.begin(), given_.end(), occurrence,
                             [](const Note& n, uint64_t o) { return n.occurrence < o; });
        return at != given_.end() && at->occurrence == occurrence ? &*at : nullptr;
    }

    void meet(std::string_view name, uint64_t key, size_t at, size_t line, bool parent,
              const GamsReport& report) {
        table_.meet(name, key, line, at, [&](const GamsProblem& p) {
            given_.push_back({occurrence(line, parent), p.detail, p.firstLine});
            report(p);
        });
    }

    FirstSpellings table_;
    std::vector<Note> given_;
};

} // namespace

// Two passes, and a third for the spellings when they are needed. The first reads every line, in
// two halves at once when the input is large, and notes which lines have a problem of their own
// and the keys of their names once one is spelled with a lower-case letter. When some are, the
// names of every line are counted, and only a name that may be spelled otherwise and occurs
// more than once (not counting a parent met as an earlier line's name) is looked up. The last
// pass goes through the lines in order, reads those with something to report, and reports.
void CheckTuplesForGams(std::string_view bytes, const GamsReport& report) {
    bytes = bytes.substr(0, bytes.find(kEndOfInput));
    // The second half begins after a line feed.
    const size_t middle =
        bytes.size() < kParallelBytes ? std::string_view::npos : bytes.find('\n', bytes.size() / 2);
    const std::string_view halves[] = {
        bytes.substr(0, middle == std::string_view::npos ? bytes.size() : middle + 1),
        middle == std::string_view::npos ? std::string_view() : bytes.substr(middle + 1)};
    TupleLines read[2];
    if (middle == std::string_view::npos) {
        read[0].read(halves[0], false);
    } else {
        RunInParallel([&] { read[0].read(halves[0], false); },
                      [&] { read[1].read(halves[1], false); });
    }
    const bool weighted = read[0].weighted || read[1].weighted;
    const size_t spelledLower = read[0].spelledLower + read[1].spelledLower;
    if (spelledLower > 0) {
        // The lines before the first name spelled with a lower-case letter are read again for
        // the keys of their names.
        const auto keyBefore = [&](int half) {
            TupleLines& part = read[half];
            if (part.keyedFrom == 0)
                return;
            TupleLines before;
            before.read(halves[half].substr(0, part.keyedFromByte), true);
            part.keys.insert(part.keys.begin(), before.keys.begin(), before.keys.end());
            part.names += before.names;
        };
        if (read[1].keyedFrom == 0)
            keyBefore(0);
        else
            RunInParallel([&] { keyBefore(0); }, [&] { keyBefore(1); });
    }
    // The keys of line i, once the lines before the first lower-case letter have theirs.
    const size_t firstLines = read[0].marks.size();
    const size_t lines = firstLines + read[1].marks.size();
    const auto keysAt = [&](size_t i) -> const TupleLines::Keys& {
        return i < firstLines ? read[0].keys[i] : read[1].keys[i - firstLines];
    };
    const SpellingFilter filter =
        spelledOtherwise(spelledLower, read[0].names + read[1].names, [&](auto&& take) {
            for (const TupleLines& part : read)
                for (const TupleLines::Keys& k : part.keys) {
                    take(k.child);
                    take(k.parent & kNamed ? k.parent : 0);
                }
        });
    if (read[0].flagged + read[1].flagged == 0 && filter.none())
        return;

    RepeatFilter repeats(filter.none() ? 0 : spelledLower);
    // Asks ahead for the filter's and the count's slots of the names of line i + kAhead.
    const auto prefetchAhead = [&](size_t i) {
        if (i + kAhead >= lines)
            return;
        for (const uint64_t key : {keysAt(i + kAhead).child, keysAt(i + kAhead).parent})
            if (key & kNamed) {
                filter.prefetch(key);
                repeats.prefetch(key);
            }
    };
    if (!filter.none()) {
        // Only names that may be spelled otherwise are counted: a name occurs more than once
        // exactly when its fold does, and the others are never looked up.
        const auto count = [&](uint64_t key) {
            if ((key & kNamed) && filter.mayDiffer(key))
                repeats.count(key);
        };
        for (size_t i = 0; i < lines; ++i) {
            prefetchAhead(i);
            count(keysAt(i).child);
            count(keysAt(i).parent);
        }
    }
    const auto lookUp = [&](uint64_t key) {
        return (key & kNamed) && filter.mayDiffer(key) && repeats.mayRepeat(key);
    };

    TupleSpellings spellings(spelledLower / 16);
    std::vector<GamsProblem> found;
    Tuple t;
    // Reports the problems of line i, which has a problem of its own (flagged) or names that may
    // be spelled otherwise (spelling).
    const auto reportLine = [&](size_t i, std::string_view line, uint8_t mark, bool spelling) {
        const bool tuple = readTuple(line, t);
        if (mark != 0) {
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
                if (weighted) { // a set without values has none anywhere
                    w.rule = GamsRule::MissingWeight;
                    found.push_back(w);
                }
            } else if (!isReadableWeight(t.weight)) {
                w.rule = GamsRule::UnreadableWeight;
                w.detail = t.weight;
                found.push_back(w);
            }
            for (const GamsProblem& p : found)
                report(p);
        }
        if (spelling && tuple)
            spellings.meet(t, keysAt(i), i, lookUp, report);
    };
    // The marks of line i that give a problem of its own.
    const auto flaggedAt = [&](size_t i) -> uint8_t {
        const uint8_t mark = i < firstLines ? read[0].marks[i] : read[1].marks[i - firstLines];
        return mark & (weighted ? kFlagged | kWeightless : kFlagged);
    };
    std::string_view line;
    if (filter.none()) {
        // Only lines with a problem of their own, found in order.
        size_t pos = 0;
        for (size_t i = 0; i < lines && NextLine(bytes, pos, line); ++i)
            if (const uint8_t mark = flaggedAt(i))
                reportLine(i, line, mark, false);
        return;
    }
    // Every line has its keys, which tell where it begins: only lines with something to report
    // are read.
    const size_t secondAt = halves[0].size();
    for (size_t i = 0; i < lines; ++i) {
        prefetchAhead(i);
        const TupleLines::Keys& k = keysAt(i);
        const uint8_t mark = flaggedAt(i);
        const bool spelling =
            lookUp(k.child) || lookUp(k.parent) || spellings.inherits(k.parent, i);
        if (mark == 0 && !spelling)
            continue;
        size_t pos = k.at + (i < firstLines ? 0 : secondAt);
        NextLine(bytes, pos, line);
        reportLine(i, line, mark, spelling);
    }
}

} // namespace settree
