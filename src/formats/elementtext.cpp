// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/elementtext.h"

#include "formats/nametable.h"
#include "model/caption.h"
#include "model/memorybudget.h"
#include "model/textfile.h"
#include "model/utf8.h"

#include <algorithm>
#include <exception>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace settree {

namespace {

constexpr std::string_view kMarker = kDuplicateMarker;
constexpr size_t kMegabyte = size_t{1} << 20;
const char* const kCodeIncorrect = "The code you have in your memo is incorrect, please check it!";

bool isQuote(char c) {
    return c == '"' || c == '\'';
}
bool isMarked(std::string_view line) {
    return line.substr(0, 2) == kMarker;
}

size_t leadingBlanks(std::string_view line) {
    constexpr std::string_view kEight = "        "; // deep trees are indented far
    size_t i = 0;
    while (line.size() - i >= kEight.size() && line.substr(i, kEight.size()) == kEight)
        i += kEight.size();
    while (i < line.size() && line[i] == ' ')
        ++i;
    return i;
}

// Reads a marked line as an ordinary one: the marker goes, and when a blank follows it two blanks
// take its place, so the indentation is what it was before marking. Unmarked lines are returned
// as they are; `storage` holds the text when it had to change.
std::string_view withoutMarker(std::string_view line, std::string& storage) {
    if (!isMarked(line))
        return line;
    line.remove_prefix(kMarker.size());
    if (line.empty() || line.front() != ' ')
        return line;
    storage.assign("  ").append(line);
    return storage;
}

// The line with the duplicate marker in its first two columns.
std::string markedLine(std::string_view line) {
    std::string marked(kMarker);
    marked.append(ShiftForMarker(line));
    return marked;
}

// Whether the first character after the indentation is a quote: the name is quoted already.
bool nameIsQuoted(std::string_view line) {
    const size_t first = leadingBlanks(line);
    return first < line.size() && isQuote(line[first]);
}

// Puts double quotes around the bare name of a line that is not blank: before its first
// character and before the first blank after it (or at the end of the line).
std::string quoteBareName(std::string_view line) {
    const size_t first = leadingBlanks(line);
    size_t end = line.find(' ', first + 1);
    if (end == std::string_view::npos)
        end = line.size();
    std::string quoted;
    quoted.reserve(line.size() + 2);
    quoted.append(line.substr(0, first)).append(1, '"');
    quoted.append(line.substr(first, end - first)).append(1, '"');
    quoted.append(line.substr(end));
    return quoted;
}

// The element name of a line whose name is quoted (see nameIsQuoted) as it stands in the line:
// the text from its opening quote to the next quote of the same kind, without those quotes;
// empty when that closing quote is missing. Read through UnquotedNameFold it is the name that
// Unquote gives. (The line trimmed begins with that opening quote, and what trimming takes off
// its end holds no quote.)
std::string_view quotedName(std::string_view line) {
    const std::string_view t = line.substr(leadingBlanks(line));
    const size_t close = t.find(t.front(), 1);
    if (close == std::string_view::npos)
        return {};
    return StripOuterQuotes(t.substr(0, close + 1));
}

// The names seen by duplicate marking: those of the unmarked lines so far, compared as Unquote
// gives them, upper-cased. The names are views into the lines, which must stay in place.
class SeenNames {
public:
    explicit SeenNames(size_t lines) : names_(lines) {}

    // The name of a normalised, unmarked line with its hash. Taking it ahead of toMark lets the
    // table fetch the slot in the meantime.
    struct Name {
        std::string_view text;
        uint64_t hash;
    };
    Name nameOf(std::string_view line) const {
        const std::string_view name = quotedName(line);
        const uint64_t hash = names_.hash(name);
        names_.prefetch(hash);
        return {name, hash};
    }

    // Whether a normalised, unmarked line repeats a name seen before and is to be marked; a new
    // name is remembered.
    //
    // A repeated name on a line indented by exactly one or two blanks is left unmarked: the
    // marker takes the first two columns, so with two blanks the line would read back at the
    // margin, and with one blank the name would lose its first character. The writer indents in
    // steps of three blanks, so this concerns typed text (and the line of a root without a name,
    // which begins with the blank before its description).
    bool toMark(std::string_view line, const Name& name) {
        bool added = false;
        names_.insert(name.text, name.hash, added);
        if (added)
            return false;
        const size_t indent = leadingBlanks(line);
        return indent != 1 && indent != 2;
    }
    bool toMark(std::string_view line) { return toMark(line, nameOf(line)); }

private:
    NameTable<UnquotedNameFold> names_;
};

// Lines, nodes and names are handled in batches of this many: a batch first asks for all the
// memory it will read, then works through it, so that the waits for memory overlap.
constexpr size_t kBatch = 64;

// One line as quoting bare names leaves it: the line itself, or the changed line in quoted.
// False for a line that normalisation drops: a blank one, or one that holds only the marker.
bool quotedLine(std::string_view original, std::string& storage, std::string& quoted,
                std::string_view& line) {
    const std::string_view read = withoutMarker(original, storage);
    if (TrimView(read).empty())
        return false;
    if (nameIsQuoted(read)) {
        line = original;
        return true;
    }
    quoted = quoteBareName(read);
    if (isMarked(original))
        quoted = markedLine(quoted);
    line = quoted;
    return true;
}

// Quoting of bare names and removal of blank lines. Every line is handled on its own, so the
// lines are compacted in one sweep instead of deleting them one by one.
void quoteNamesAndDropBlankLines(TextLines& lines) {
    size_t kept = 0;
    std::string storage;
    std::string quoted;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string& original = lines[i];
        std::string_view line;
        if (!quotedLine(original, storage, quoted, line))
            continue;
        if (line.data() == quoted.data())
            original.swap(quoted);
        if (kept != i)
            lines[kept] = std::move(original);
        ++kept;
    }
    lines.resize(kept);
}

// Marks every repetition of a name, compared without regard to letter case. Lines marked
// already stay as they are and do not add their name; a repeated name that cannot carry the
// marker still counts as seen.
void markRepeatedNames(TextLines& lines) {
    SeenNames seen(lines.size());
    // In batches: the names' slots are asked for before the first of the batch is looked up.
    std::vector<std::pair<size_t, SeenNames::Name>> unmarked;
    unmarked.reserve(kBatch);
    for (size_t first = 0; first < lines.size(); first += kBatch) {
        unmarked.clear();
        const size_t last = std::min(first + kBatch, lines.size());
        for (size_t i = first; i < last; ++i)
            if (!isMarked(lines[i]))
                unmarked.push_back({i, seen.nameOf(lines[i])});
        for (const auto& [i, name] : unmarked)
            if (seen.toMark(lines[i], name))
                lines[i] = markedLine(lines[i]);
    }
}

// Whether normalisation would leave a text exactly as it is, read as the text pane reads it:
// every line ends in lineBreak (CR LF, or the pane document's LF), the last one at the end of the
// text, none holds a tab or another line end, none is blank, every name is quoted and no unmarked
// line repeats an earlier name where the marker could go. The pane's lines joined by lineBreak
// are then the text itself.
bool isNormalText(std::string_view text, std::string_view lineBreak, size_t expectedLines) {
    SeenNames seen(expectedLines);
    std::string storage;
    std::vector<std::pair<std::string_view, SeenNames::Name>> unmarked; // of one batch
    unmarked.reserve(kBatch);
    size_t pos = 0;
    while (pos < text.size()) {
        unmarked.clear();
        while (pos < text.size() && unmarked.size() < kBatch) {
            size_t end = text.find('\n', pos);
            if (end == std::string_view::npos) {
                end = text.size();
            } else {
                if (end + 1 == text.size())
                    return false; // a line end after the last line
                if (lineBreak.size() > 1 && (end == pos || text[--end] != '\r'))
                    return false; // a lone line feed
            }
            const std::string_view line = text.substr(pos, end - pos);
            if (line.find('\r') != std::string_view::npos ||
                line.find('\t') != std::string_view::npos)
                return false; // a lone carriage return, or a tab
            const std::string_view read = withoutMarker(line, storage);
            if (!nameIsQuoted(read))
                return false; // to be dropped or quoted
            if (!isMarked(line))
                unmarked.push_back({line, seen.nameOf(line)});
            pos = end + lineBreak.size();
        }
        for (const auto& [line, name] : unmarked)
            if (seen.toMark(line, name))
                return false;
    }
    return true;
}

// Levels by indentation width: widths get levels in the order in which ever wider widths first
// appear, so the widths that have a level form an increasing list whose index is the level.
// A width narrower than the widest so far that never got a level has none.
class WidthLevels {
public:
    // The level of width w, giving it the next level when it is wider than every width so far;
    // -1 when it has none.
    long levelOf(size_t w) {
        if (widths_.empty() || w > widths_.back()) {
            widths_.push_back(w);
            return static_cast<long>(widths_.size() - 1);
        }
        const auto it = std::lower_bound(widths_.begin(), widths_.end(), w);
        if (it == widths_.end() || *it != w)
            return -1;
        return static_cast<long>(it - widths_.begin());
    }

private:
    std::vector<size_t> widths_;
};

// The length of the name token at the start of a trimmed line: up to and including the closing
// quote (either kind closes) for a quoted name, up to and including the first blank for a bare
// one; the whole line when that end is missing.
size_t nameTokenLength(std::string_view s) {
    if (!isQuote(s.front())) {
        const size_t end = s.find(' ');
        return end == std::string_view::npos ? s.size() : end + 1;
    }
    // A plain loop: find_first_of would search the set of two quotes once for every byte.
    for (size_t i = 1; i < s.size(); ++i)
        if (isQuote(s[i]))
            return i + 1;
    return s.size();
}

// Buffers that the parser reuses from line to line.
struct CaptionScratch {
    std::string caption;
    std::string name;
    std::string description;
};

// The parts of a trimmed line that is not blank, before Unquote makes inner double quotes single:
// the name token without its quotes, trimmed, and the rest of the line, trimmed, without the
// quotes around it (no description when the rest is empty). (Trimming commutes with making
// double quotes single, which touches no byte that trimming removes.)
struct LineParts {
    std::string_view name;
    std::string_view description;
    bool hasDescription;
};
LineParts partsOfLine(std::string_view s) {
    const size_t i = nameTokenLength(s);
    const std::string_view rest = TrimView(s.substr(i));
    return {TrimView(StripOuterQuotes(s.substr(0, i))), StripOuterQuotes(rest), !rest.empty()};
}

// The caption of a line that is not blank, given the parts of the line trimmed: the name is
// Unquote of the name token, trimmed, the description Unquote of the rest of the line when there
// is one.
std::string_view captionOfParts(const LineParts& parts, CaptionScratch& scratch) {
    const std::string_view name = DoubleToSingleQuotesView(parts.name, scratch.name);
    if (!parts.hasDescription)
        AssignCaption(scratch.caption, name);
    else
        AssignCaption(scratch.caption, name,
                      DoubleToSingleQuotesView(parts.description, scratch.description));
    return scratch.caption;
}

// The text pane's lines of a text it takes in: split at line ends, tabs made three blanks.
TextLines paneLines(std::string_view text) {
    TextLines lines = SplitLines(text);
    for (std::string& line : lines)
        ExpandTabs(line);
    return lines;
}

// Whether normalisation leaves the line the writer makes of these parts as it is, whatever the
// lines around it, and the line reads back as written: the name is not empty and holds no quote,
// the description no double quote, and no part holds a line end, a tab or a NUL byte.
bool isPlainLine(const CaptionViews& parts) {
    return !parts.name.empty() && !HoldsAnyByte<'\r', '\n', '\t', '\0', '"', '\''>(parts.name) &&
           !HoldsAnyByte<'\r', '\n', '\t', '\0', '"'>(parts.description);
}

} // namespace

std::string LineForMessage(std::string_view line) {
    size_t characters = 0;
    const std::string_view shown = ShownPart(line, characters);
    if (shown.size() == line.size())
        return std::string(line);
    return std::string(shown) + "... (the line has " + std::to_string(characters) + " characters)";
}

ElementTextTooLarge::ElementTextTooLarge(size_t bytes, size_t limit)
    : std::length_error("The element text would take more than " +
                        std::to_string(bytes / kMegabyte) + " MB, and at most " +
                        std::to_string(limit / kMegabyte) + " MB of memory can be given to it") {}

ElementTextBuilder::ElementTextBuilder(size_t expectedLines, size_t expectedBytes, size_t limit)
    : seen_(expectedLines), limit_(limit) {
    // Reserving costs address space only: the pages past the text's end are never touched.
    text_.reserve(std::min(expectedBytes, limit_));
    pending_.reserve(kBatch);
}

ElementTextBuilder::~ElementTextBuilder() {
    if (written_)
        written_->Stop(); // the text goes
}

void ElementTextBuilder::ShareAsWritten(WrittenText& written) {
    written_ = &written;
    written.Begin(text_.data(), text_.capacity());
}

size_t ElementTextBuilder::Limit() {
    return MemoryBudget() / 2;
}

void ElementTextBuilder::Expect(size_t bytes) {
    if (bytes > Limit())
        throw ElementTextTooLarge(bytes, Limit());
}

// Names are compared as the writer quotes them, upper-cased: two quoted names are equal exactly
// when the names are, so the names themselves serve as keys.
void ElementTextBuilder::add(const std::vector<Element>& batch) {
    pending_.clear();
    for (const Element& element : batch)
        queue(element.parts, element.depth);
    writePending();
}

void ElementTextBuilder::queue(const CaptionViews& parts, size_t depth) {
    const uint64_t hash = seen_.hash(parts.name);
    seen_.prefetch(hash);
    pending_.push_back({parts, hash, depth});
}

void ElementTextBuilder::writePending() {
    for (const Pending& line : pending_) {
        const size_t width = line.depth * kIndentUnit.size();
        const size_t lineBytes =
            kLineBreak.size() + width + line.parts.name.size() + line.parts.description.size() + 5;
        const size_t made = handedOver_ + text_.size();
        if (lineBytes > limit_ - std::min(limit_, made))
            throw ElementTextTooLarge(made + lineBytes, limit_);
        bool added = false;
        seen_.insert(line.parts.name, line.hash, added,
                     [this](std::string_view name) { return names_.keep(name); });
        const bool plainLine = isPlainLine(line.parts);
        // The first line has to begin the text: what trimming would take off is not there.
        plain_ = plain_ && plainLine && (lines_ > 0 || line.depth == 0);
        // A text that will be normalised, or whose memory moves, is no longer shared. A marker
        // on a root adds two bytes to the line.
        if (written_ &&
            (!plain_ || text_.capacity() - text_.size() < lineBytes + kDuplicateMarker.size())) {
            written_->Stop();
            written_ = nullptr;
        }
        if (!fault_ && (!plainLine || TrimView(line.parts.name).size() != line.parts.name.size()))
            if (const char* reason = ElementTextFault(line.parts.name, line.parts.description))
                fault_.emplace(line.parts.name, line.depth + 1, "element text", reason);
        if (blanks_.size() < width)
            blanks_.resize(width, ' ');
        const std::string_view indent(blanks_.data(), width);
        if (lines_++ > 0)
            text_.append(kLineBreak);
        if (added)
            text_.append(indent);
        else // the marker takes the place of two blanks of the indentation
            text_.append(kMarker).append(indent.substr(std::min<size_t>(indent.size(), 2)));
        // An empty name is written as two quotes, so that a description after it is not read
        // as the name and the line is not dropped as blank.
        text_.append(1, '"').append(line.parts.name).append(1, '"');
        if (!line.parts.description.empty())
            text_.append(" \"").append(line.parts.description).append(1, '"');
    }
    if (written_)
        written_->Publish(text_.size());
    // The same block of memory takes the next piece: its pages are at hand already.
    if (file_ && plain_ && text_.size() >= kMegabyte) {
        file_->append(text_);
        handedOver_ += text_.size();
        text_.clear();
    }
}

std::string ElementTextBuilder::finish(Feedback& feedback) {
    if (written_) {
        written_->Done(); // plain: the text is the one shared
        written_ = nullptr;
    }
    std::string text = std::move(text_);
    if (plain_)
        return text; // the usual case, and normal by construction
    if (handedOver_ > 0) {
        text.insert(0, file_->takeBack());
        handedOver_ = 0;
    }
    // The pane takes in the whole text trimmed: anything blank at either end goes.
    const std::string_view trimmed = TrimView(text);
    if (isNormalText(trimmed, kLineBreak, lines_)) {
        // Normalisation would change nothing, so the text is the result.
        const auto begin = static_cast<size_t>(trimmed.data() - text.data());
        text.resize(begin + trimmed.size());
        text.erase(0, begin);
        return text;
    }
    TextLines lines = paneLines(trimmed);
    std::string().swap(text); // released: the lines hold the text now
    NormaliseElementText(lines, feedback);
    return JoinLines(lines);
}

namespace {

// The parser's reading of normalised element text, one line after the other: the level and the
// caption of the element each line stands for.
class NormalLineReader {
public:
    enum class Read { blank, element, refused };

    // Reads line number k. A line the parser refuses gets its message ("Error in line ..."); a
    // line more than one level below the deepest so far raises std::logic_error.
    Read read(std::string_view original, size_t k, size_t& level, std::string_view& caption,
              std::string& message) {
        const std::string_view line = withoutMarker(original, storage_);
        const std::string_view trimmed = TrimView(line);
        if (trimmed.empty())
            return Read::blank;
        const long width = levels_.levelOf(leadingBlanks(line));
        const LineParts parts = partsOfLine(trimmed);
        const std::string_view name = parts.name;
        if (width < 0 || NameHoldsMarkup(name)) {
            message = "Error in line " + std::to_string(k) + "\r\n";
            message.append(LineForMessage(line));
            if (width >= 0)
                message.append("\r\n").append(MarkupNameReason(name));
            return Read::refused;
        }
        level = static_cast<size_t>(width);
        if (level > levelsOpen_)
            throw std::logic_error("no element on the level above");
        if (level == levelsOpen_)
            ++levelsOpen_;
        caption = captionOfParts(parts, scratch_);
        return Read::element;
    }

private:
    WidthLevels levels_;
    size_t levelsOpen_ = 0; // the levels that have had an element
    std::string storage_;
    CaptionScratch scratch_;
};

// Replaces the tree by one node per line of normalised element text; next(line) gives the lines
// in order, false after the last. Problems go to feedback; returns true when nothing was
// reported.
template <class NextLine> bool buildTree(NextLine&& next, TFlyNodes& tree, Feedback& feedback) {
    tree.BeginUpdate();
    tree.Clear();
    bool reported = false;
    try {
        NormalLineReader reader;
        std::vector<TFlyNode*> latest; // the node most recently created at each level
        std::string message;
        std::string_view original;
        for (size_t k = 0; next(original); ++k) {
            size_t l = 0;
            std::string_view caption;
            const NormalLineReader::Read read = reader.read(original, k, l, caption, message);
            if (read == NormalLineReader::Read::blank)
                continue;
            if (read == NormalLineReader::Read::refused) {
                feedback.message(message);
                // The tree keeps the elements built so far, neither expanded nor repainted.
                tree.EndUpdate();
                return false;
            }
            TFlyNode* parent = l == 0 ? nullptr : latest[l - 1];
            TFlyNode* node = tree.AddChild(parent, caption);
            node->SetCells(1, "1");
            if (l == latest.size())
                latest.push_back(node);
            else
                latest[l] = node;
        }
    } catch (const std::exception&) {
        feedback.message(kCodeIncorrect);
        reported = true;
    }
    tree.FullExpand();
    tree.EndUpdate();
    return !reported;
}

} // namespace

bool ReadElementLine(std::string_view line, ElementLine& element, std::string& scratch) {
    element = ElementLine();
    element.marked = isMarked(line);
    // The blanks a marker stands for change no position that trimming leaves.
    const size_t markerSize = element.marked ? kMarker.size() : 0;
    const std::string_view read = line.substr(markerSize);
    // The indentation is scanned once: deep lines begin with long runs of blanks.
    const size_t first = leadingBlanks(read);
    // The text trimmed: from the first byte above 32 (here the first after the indentation, or
    // a later one when that is a control character) to the last.
    const std::string_view content = TrimView(read.substr(first));
    if (content.empty())
        return false;
    element.contentAt = markerSize + static_cast<size_t>(content.data() - read.data());
    element.contentSize = content.size();
    std::string_view quoted = content; // the text trimmed, with a bare name in quotes
    size_t bareAt = 0;                 // in quoted: a bare name's opening quote
    size_t bareEnd = 0;                // in quoted: where its closing quote stands
    const bool bare = !isQuote(read[first]);
    if (bare) {
        // Normalisation quotes the name from the first byte after the indentation to the first
        // blank after it; what trimming takes off the front goes with it.
        size_t end = read.find(' ', first + 1);
        if (end == std::string_view::npos)
            end = read.size();
        scratch.assign(1, '"').append(read.substr(first, end - first)).append(1, '"');
        scratch.append(read.substr(end));
        const std::string_view trimmed = TrimView(scratch);
        bareAt = static_cast<size_t>(trimmed.data() - scratch.data());
        bareEnd = end - first + 1 - bareAt;
        quoted = trimmed;
    }
    // Where a byte of quoted stands in the line: a bare name's two quotes are not in it.
    const auto inLine = [&](const char* at) {
        size_t p = static_cast<size_t>(at - quoted.data());
        if (!bare)
            return element.contentAt + p;
        p += bareAt; // from the opening quote
        if (p > 0)
            p -= p > bareEnd ? 2 : 1;
        return markerSize + first + p;
    };
    const LineParts parts = partsOfLine(quoted);
    element.nameAt = inLine(parts.name.data());
    // The name never holds a quote, so it is the same bytes in the line.
    element.name = line.substr(element.nameAt, parts.name.size());
    element.description = parts.description;
    element.descriptionAt = inLine(parts.description.data());
    element.hasDescription = parts.hasDescription;
    return true;
}

void ExpandTabs(std::string& line) {
    if (line.find('\t') == std::string::npos)
        return;
    std::string expanded;
    expanded.reserve(line.size() + 8);
    for (char c : line) {
        if (c == '\t')
            expanded.append(kIndentUnit);
        else
            expanded.push_back(c);
    }
    line = std::move(expanded);
}

void NormaliseElementText(TextLines& lines, Feedback& feedback) {
    BusyCursor busy(feedback);
    quoteNamesAndDropBlankLines(lines);
    markRepeatedNames(lines);
}

bool ParseElementText(TextLines& lines, TFlyNodes& tree, Feedback& feedback) {
    NormaliseElementText(lines, feedback);
    BusyCursor busy(feedback);
    size_t k = 0;
    return buildTree(
        [&](std::string_view& line) {
            if (k == lines.size())
                return false;
            line = lines[k++];
            return true;
        },
        tree, feedback);
}

bool IsNormalFileText(std::string_view bytes) {
    // A line end after the last line adds no line to the document; a text of one blank line is
    // that blank line.
    if (bytes.size() >= kLineBreak.size() &&
        bytes.substr(bytes.size() - kLineBreak.size()) == kLineBreak)
        bytes.remove_suffix(kLineBreak.size());
    if (bytes.empty())
        return false;
    const auto lines = static_cast<size_t>(std::count(bytes.begin(), bytes.end(), '\n')) + 1;
    return isNormalText(bytes, kLineBreak, lines);
}

bool ParseNormalDocument(std::string_view document, TFlyNodes& tree, Feedback& feedback,
                         bool& clean, bool knownNormal) {
    BusyCursor busy(feedback);
    if (!knownNormal) {
        const auto lines =
            static_cast<size_t>(std::count(document.begin(), document.end(), '\n')) + 1;
        if (!isNormalText(document, "\n", lines))
            return false;
    }
    size_t pos = 0;
    clean = buildTree(
        [&](std::string_view& line) {
            if (pos >= document.size())
                return false;
            size_t end = document.find('\n', pos);
            if (end == std::string_view::npos)
                end = document.size();
            line = document.substr(pos, end - pos);
            pos = end + 1;
            return true;
        },
        tree, feedback);
    return true;
}

bool ReadElementText(std::string_view bytes,
                     const std::function<void(size_t depth, std::string_view caption)>& element,
                     Feedback& feedback, bool& inTreeOrder) {
    inTreeOrder = true;
    bytes = bytes.substr(0, bytes.find('\0'));
    try {
        NormalLineReader reader;
        std::string message;
        std::string storage;
        std::string quoted;
        std::string expanded;
        bool any = false;     // an element has been read
        size_t lastLevel = 0; // of the latest element
        size_t pos = 0;
        std::string_view original;
        // Normalisation drops blank lines: k counts the lines it keeps.
        for (size_t k = 0; NextLine(bytes, pos, original);) {
            if (original.find('\t') != std::string_view::npos) {
                expanded.assign(original);
                ExpandTabs(expanded);
                original = expanded;
            }
            std::string_view line;
            if (!quotedLine(original, storage, quoted, line))
                continue;
            size_t level = 0;
            std::string_view caption;
            const NormalLineReader::Read read = reader.read(line, k++, level, caption, message);
            if (read == NormalLineReader::Read::refused) {
                feedback.message(message);
                return false;
            }
            if (read != NormalLineReader::Read::element)
                continue;
            if (level > (any ? lastLevel + 1 : 0))
                inTreeOrder = false;
            any = true;
            lastLevel = level;
            if (inTreeOrder)
                element(level, caption);
        }
    } catch (const std::logic_error&) {
        feedback.message(kCodeIncorrect);
        return false;
    }
    return true;
}

} // namespace settree
