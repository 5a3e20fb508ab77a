// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace settree {

// Where the lines of a DocumentText longer than limit go (see DocumentText).
struct DocumentLongLines {
    size_t limit = SIZE_MAX;
    std::function<std::string(size_t index, std::string&& line)> put;
};

// The text pane's document: its lines joined by line feeds, with a line feed after the last
// line when that one is empty (a line end at the very end of a document adds no line), and three
// blanks for every tab. A large text is made in pieces of about a megabyte and handed to a sink
// one piece at a time, so that it never needs a second whole copy on its way into the pane. A
// sink that returns false takes no more pieces: the rest is not made.
//
// Lines longer than a limit (counted with their tabs as three blanks each) can be kept out of
// the document: each such line, its tabs already made blanks, goes to a handler with its index
// (from 0), and the text the handler gives stands in the document in its place.
class DocumentText {
public:
    using Sink = std::function<bool(std::string_view piece)>;
    using LongLines = DocumentLongLines;
    static constexpr size_t kPieceBytes = size_t{1} << 20;

    explicit DocumentText(Sink sink, LongLines longLines = {});
    DocumentText(const DocumentText&) = delete;
    DocumentText& operator=(const DocumentText&) = delete;

    // The next line, without its line end.
    void AddLine(std::string_view line);
    // Hands over what is left; the document is complete.
    void Finish();
    // Whether the sink took no more pieces.
    bool Stopped() const { return stopped_; }

    // The document of lines.
    static void OfLines(const std::vector<std::string>& lines, const Sink& sink,
                        const LongLines& longLines = {});
    // The document of the lines of a text: a line ends at CR LF, at CR or at LF, and a line end
    // at the very end adds no line (as SplitLines reads it). With cutAtNul a NUL byte ends the
    // text, as a .tree file is read (see ReadTreeText).
    static void OfText(std::string_view text, bool cutAtNul, const Sink& sink,
                       const LongLines& longLines = {});

private:
    void append(std::string_view bytes);
    void flush();

    Sink sink_;
    LongLines longLines_;
    size_t lines_ = 0; // added so far
    std::string piece_;
    bool any_ = false;       // a line was added
    bool lastEmpty_ = false; // the line added last is empty
    bool stopped_ = false;
};

} // namespace settree
