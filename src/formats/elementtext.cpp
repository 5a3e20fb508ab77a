// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/elementtext.h"

#include "model/caption.h"
#include "model/textfile.h"

#include <algorithm>
#include <exception>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>

namespace settree {

namespace {

constexpr std::string_view kMarker = "*!";
constexpr std::string_view kIndentUnit = "   ";
const char* const kCodeIncorrect = "The code you have in your memo is incorrect, please check it!";

bool isQuote(char c) {
    return c == '"' || c == '\'';
}
bool isMarked(std::string_view line) {
    return line.substr(0, 2) == kMarker;
}

size_t leadingBlanks(std::string_view line) {
    const size_t p = line.find_first_not_of(' ');
    return p == std::string_view::npos ? line.size() : p;
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
    const size_t first = line.find_first_not_of(' ');
    return first != std::string_view::npos && isQuote(line[first]);
}

// Puts double quotes around the bare name of a line that is not blank: before its first
// character and before the first blank after it (or at the end of the line).
std::string quoteBareName(std::string_view line) {
    const size_t first = line.find_first_not_of(' ');
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

// The element name of a normalised, unmarked line: the text from its opening quote to the next
// quote of the same kind, unquoted; empty when that closing quote is missing.
std::string quotedName(std::string_view line) {
    const std::string_view t = TrimView(line);
    if (t.empty())
        return {};
    const size_t close = t.find(t.front(), 1);
    if (close == std::string_view::npos)
        return {};
    return Unquote(t.substr(0, close + 1));
}

// Quoting of bare names and removal of blank lines. Every line is handled on its own, so the
// lines are compacted in one sweep instead of deleting them one by one.
void quoteNamesAndDropBlankLines(TextLines& lines) {
    size_t kept = 0;
    std::string storage;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string& original = lines[i];
        const std::string_view line = withoutMarker(original, storage);
        if (TrimView(line).empty())
            continue; // also a line that held only the marker
        if (!nameIsQuoted(line)) {
            std::string quoted = quoteBareName(line);
            original = isMarked(original) ? markedLine(quoted) : std::move(quoted);
        }
        if (kept != i)
            lines[kept] = std::move(original);
        ++kept;
    }
    lines.resize(kept);
}

// Marks every repetition of a name, compared without regard to letter case. Lines marked
// already stay as they are and do not add their name.
//
// A repeated name on a line indented by exactly one or two blanks is left unmarked: the marker
// takes the first two columns, so with two blanks the line would read back at the margin, and
// with one blank the name would lose its first character. Such a line still counts its name as
// seen. The writer indents in steps of three blanks, so this concerns typed text (and the line of
// a root without a name, which begins with the blank before its description).
void markRepeatedNames(TextLines& lines) {
    std::unordered_set<std::string> seen;
    seen.reserve(lines.size());
    for (std::string& line : lines) {
        if (isMarked(line))
            continue;
        std::string key = UpperCase(quotedName(line));
        const bool repeated = seen.count(key) > 0;
        const size_t indent = leadingBlanks(line);
        if (repeated && indent != 1 && indent != 2)
            line = markedLine(line);
        if (!repeated)
            seen.insert(std::move(key));
    }
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
    const size_t end = isQuote(s.front()) ? s.find_first_of("\"'", 1) : s.find(' ');
    return end == std::string_view::npos ? s.size() : end + 1;
}

std::string captionOfLine(std::string_view line) {
    const std::string_view s = TrimView(line);
    const size_t i = nameTokenLength(s);
    const std::string name = Trim(Unquote(s.substr(0, i)));
    const std::string_view rest = TrimView(s.substr(i));
    if (rest.empty())
        return MakeCaption(name);
    return MakeCaption(name, Unquote(rest));
}

// Turns the text written from the tree into the lines the text pane holds: the whole text is
// trimmed (which can reach over several lines at either end), line breaks inside a caption start
// new lines, and tabs become three blanks as in any text the pane takes in. `pieces` are the
// texts that each follow one CR LF in the written text.
TextLines linesOfWrittenText(std::vector<std::string>& pieces) {
    auto blank = [](const std::string& p) { return TrimView(p).empty(); };
    const auto first = std::find_if_not(pieces.begin(), pieces.end(), blank);
    if (first == pieces.end())
        return {};
    const auto last = std::find_if_not(pieces.rbegin(), pieces.rend(), blank).base() - 1;

    TextLines lines;
    const bool breaksInside = std::any_of(first, last + 1, [](const std::string& p) {
        return p.find_first_of("\r\n") != std::string::npos;
    });
    if (breaksInside) {
        // Rare: a caption holds a line break. Join and split the text as a whole.
        std::string text;
        for (auto it = first; it != last + 1; ++it)
            text.append(it == first ? "" : "\r\n").append(*it);
        lines = SplitLines(TrimView(text));
    } else {
        lines.reserve(static_cast<size_t>(last - first + 1));
        for (auto it = first; it != last + 1; ++it)
            lines.push_back(std::move(*it));
        const std::string_view head = TrimView(lines.front());
        lines.front().erase(0, static_cast<size_t>(head.data() - lines.front().data()));
        const std::string_view tail = TrimView(lines.back());
        lines.back().resize(static_cast<size_t>(tail.data() + tail.size() - lines.back().data()));
    }
    for (std::string& line : lines)
        ExpandTabs(line);
    return lines;
}

} // namespace

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
    tree.BeginUpdate();
    tree.Clear();
    bool reported = false;
    try {
        WidthLevels levels;
        std::vector<TFlyNode*> latest; // the node most recently created at each level
        std::string storage;
        for (size_t k = 0; k < lines.size(); ++k) {
            const std::string_view line = withoutMarker(lines[k], storage);
            if (TrimView(line).empty())
                continue;
            const long level = levels.levelOf(leadingBlanks(line));
            if (level < 0) {
                std::string text = "Error in line " + std::to_string(k) + "\r\n";
                text.append(line);
                feedback.message(text);
                // The tree keeps the elements built so far, neither expanded nor repainted.
                tree.EndUpdate();
                return false;
            }
            const auto l = static_cast<size_t>(level);
            if (l > latest.size())
                throw std::logic_error("no element on the level above");
            TFlyNode* parent = l == 0 ? nullptr : latest[l - 1];
            TFlyNode* node = tree.AddChild(parent, captionOfLine(line));
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

void WriteElementText(const TFlyNodes& tree, TextLines& lines, Feedback& feedback) {
    BusyCursor busy(feedback);
    lines.clear();
    std::unordered_set<std::string> seen;
    std::vector<std::string> pieces; // each follows one CR LF of the written text
    std::string indent;

    // Pre-order walk without recursion: a node's line, then its children, siblings in order.
    struct Pending {
        const TFlyNode* node;
        size_t depth;
    };
    std::vector<Pending> stack;
    for (int i = tree.Count() - 1; i >= 0; --i)
        stack.push_back({tree.Root(i), 0});
    while (!stack.empty()) {
        const Pending top = stack.back();
        stack.pop_back();
        const TFlyNode& node = *top.node;
        if (!TrimView(node.Text()).empty()) {
            const CaptionParts parts = SplitCaption(node.Text());
            std::string name = parts.name.empty() ? std::string() : '"' + parts.name + '"';
            std::string key = UpperCase(name);
            const bool repeated = !seen.insert(std::move(key)).second;
            indent.assign(top.depth * kIndentUnit.size(), ' ');
            std::string piece = repeated ? markedLine(indent) : indent;
            piece.append(name);
            if (!parts.description.empty())
                piece.append(" \"").append(parts.description).append("\"");
            pieces.push_back(std::move(piece));
        }
        for (int i = node.Count() - 1; i >= 0; --i)
            stack.push_back({node.Child(i), top.depth + 1});
    }
    lines = linesOfWrittenText(pieces);
    NormaliseElementText(lines, feedback);
}

} // namespace settree
