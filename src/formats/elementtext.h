// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "formats/elementnotwritable.h"
#include "formats/nametable.h"
#include "formats/writtentext.h"
#include "model/caption.h"
#include "model/feedback.h"
#include "model/flynode.h"
#include "model/textfile.h"

namespace settree {

// The lines of the text pane: bytes, without line terminators.
using TextLines = std::vector<std::string>;

// The duplicate marker: in the first two columns of a line, it says that the line repeats an
// earlier line's element name.
inline constexpr std::string_view kDuplicateMarker = "*!";
// One level of indentation, and what ends every line but the last in the bytes of element text.
inline constexpr std::string_view kIndentUnit = "   ";
inline constexpr std::string_view kLineBreak = "\r\n";

// Brings element text into its normal form in place: blank lines removed, bare names quoted,
// repeated names marked with "*!".
void NormaliseElementText(TextLines& lines, Feedback& feedback);

// Normalises the lines in place, then replaces the tree by one node per line. Problems go to
// feedback ("Error in line ..." or "The code you have in your memo is incorrect, please check
// it!"). A line whose indentation fits no level, or whose element name holds markup (see
// NameHoldsMarkup), ends the parse with "Error in line ", its number and the line (see
// LineForMessage), the second with the reason after it. Returns true when nothing was reported.
bool ParseElementText(TextLines& lines, TFlyNodes& tree, Feedback& feedback);

// The elements of the lines of a .tree file (see ReadTreeText) as ParseElementText reads them,
// normalisation included, without holding the lines or building a tree: element(depth, caption)
// for each, in order, depth 0 for a root, as long as the lines follow the pre-order of the tree
// the parser builds. A line more than one level below the line before it goes under the latest
// element of the level above, which comes before the lines between: inTreeOrder tells whether
// every line kept the order, and the elements from the first that did not on are read but not
// given. A line the parser refuses is reported through feedback as ParseElementText reports it
// and ends the reading; the result is then false.
bool ReadElementText(std::string_view bytes,
                     const std::function<void(size_t depth, std::string_view caption)>& element,
                     Feedback& feedback, bool& inTreeOrder);

// ParseElementText on the text pane's document (its lines joined by line feeds, see DocumentText)
// where normalisation would leave every line as it is: the tree is built from the lines where
// they stand, and the pane needs no change. Returns false, having changed nothing, when
// normalisation would change the text; else clean tells whether nothing was reported. With
// knownNormal the document is known to be normal already (see IsNormalFileText) and is not
// checked again.
bool ParseNormalDocument(std::string_view document, TFlyNodes& tree, Feedback& feedback,
                         bool& clean, bool knownNormal = false);

// Whether the text pane's document of a file of these bytes (see DocumentText::OfText) is one
// that normalisation leaves as it is: its lines, each ending in CR LF but the last (which may end
// in one too), and no other line end, are then the document's.
bool IsNormalFileText(std::string_view bytes);

// The size of the element text of a tree, counted node by node as the tree is built (add each
// node's caption with its depth, 0 for a root), so that writing the text needs no walk to find
// it first: the lines, a bound of the text's length and the indentation of all lines, which the
// text takes at least.
struct ElementTextSize {
    size_t lines = 0;
    size_t bound = 0;
    size_t indentation = 0;

    // A blank caption gets no line (its children get theirs). The name and the description are
    // parts of the caption, and the line adds at most the line break, the indentation, the
    // marker, four quotes and a blank.
    void add(std::string_view caption, size_t depth) {
        if (TrimView(caption).empty())
            return;
        ++lines;
        const size_t width = depth * kIndentUnit.size();
        bound += caption.size() + width + kLineBreak.size() + kDuplicateMarker.size() + 6;
        indentation += width;
    }
    // add for the caption MakeCaption makes of a name and a description (none: empty) where the
    // name holds no description opening: the line holds these parts as they are, so the bound
    // can leave the caption's markup out.
    void addParts(std::string_view name, std::string_view description, size_t depth) {
        ++lines;
        const size_t width = depth * kIndentUnit.size();
        bound += name.size() + description.size() + width + kLineBreak.size() +
                 kDuplicateMarker.size() + 5;
        indentation += width;
    }
};

// Replaces the lines by the element text of the tree (normalised); the tree is unchanged. The
// lines are those the text pane would hold after taking in the whole written text: trimmed as
// one text, with tabs turned into blanks. An element that element text cannot hold (see
// ElementTextFault) is reported through feedback, the first one only, and the result is false;
// the lines are written all the same.
// size, when given, is the tree's as counted while it was built (see ElementTextSize).
bool WriteElementText(const TFlyNodes& tree, TextLines& lines, Feedback& feedback,
                      const ElementTextSize* size = nullptr);
// WriteElementText with the lines joined by CR LF, no line end after the last (the bytes of a
// .tree file, which the text pane takes whole: see TTextPane::SetText). written, when given,
// gets the text while it is written, on the calling thread (see WrittenText).
bool WriteElementText(const TFlyNodes& tree, std::string& text, Feedback& feedback,
                      const ElementTextSize* size = nullptr, WrittenText* written = nullptr);

// The lines WriteElementText leaves, joined by CR LF with no line end after the last (the bytes
// of a .tree file), built without holding them as lines. Raises ElementNotWritable for the first
// element that element text cannot hold.
std::string ElementTextBytes(const TFlyNodes& tree, Feedback& feedback);

// The bytes ElementTextBytes gives for the tree that ParseElementText builds from the lines of a
// .tree file (see ReadTreeText), made without building it. A line the parser refuses is reported
// through feedback as ParseElementText reports it; the result is then false. Otherwise the
// result is true, and fault holds the first element element text cannot hold, where
// ElementTextBytes would raise ElementNotWritable. text is empty after either. With file, the
// text goes into it as it is made (see ElementTextBuilder::StreamInto), and text gets what is
// left of it to append; after a failure the file holds nothing to keep.
bool ElementTextOfText(std::string_view bytes, std::string& text,
                       std::optional<ElementNotWritable>& fault, Feedback& feedback,
                       FileWriter* file = nullptr);

// The element text of a tree would not fit in the memory the program may use (see MemoryBudget):
// a deep chain is indented by three blanks for every level above each element, so its text grows
// with the square of its length.
class ElementTextTooLarge : public std::length_error {
public:
    ElementTextTooLarge(size_t bytes, size_t limit);
};

// Builds element text from nodes given in pre-order (a node, then its children, siblings in
// order), each by the parts of its caption and its depth (0 for a root): the writer behind
// ElementTextBytes, for callers that have the nodes without holding a tree. A node whose caption
// is blank is not given: it gets no line, but its children get theirs.
class ElementTextBuilder {
public:
    // Room for about expectedLines lines of expectedBytes bytes in all; more may come. A text
    // longer than limit raises ElementTextTooLarge.
    ElementTextBuilder(size_t expectedLines, size_t expectedBytes, size_t limit = Limit());

    // The most bytes of text a builder makes: half the memory the program may use.
    static size_t Limit();
    // Raises ElementTextTooLarge when the text is known to take at least bytes and that is more
    // than the limit: callers that can tell ahead refuse at once instead of half way.
    static void Expect(size_t bytes);

    // A node given by the parts of its caption (see SplitCaptionViews), which need to stay in
    // place only during the call to add.
    struct Element {
        CaptionViews parts;
        size_t depth;
    };

    // Appends the lines of a batch of nodes. Batches of a few dozen let the set of names fetch
    // its memory ahead of use.
    void add(const std::vector<Element>& batch);

    // Hands the text to file in pieces as it is made, as long as it is normal by construction
    // (see finish), so that a large text is never held whole; finish then gives the rest of it.
    // Called before the first add.
    void StreamInto(FileWriter& file) { file_ = &file; }

    // Shares the text with a reader while it is written (see WrittenText), as long as it is
    // normal by construction and stays where it is. Called before the first add, and not
    // together with StreamInto.
    void ShareAsWritten(WrittenText& written);

    // The bytes ElementTextBytes gives for those nodes, less those handed to the file of
    // StreamInto: the text that needs normalising is taken back from it and given here whole.
    // The builder is spent afterwards.
    std::string finish(Feedback& feedback);

    ~ElementTextBuilder();
    ElementTextBuilder(const ElementTextBuilder&) = delete;
    ElementTextBuilder& operator=(const ElementTextBuilder&) = delete;

    // The first element given that element text cannot hold (see ElementTextFault); none when
    // every one can. Its line is written all the same.
    const std::optional<ElementNotWritable>& Fault() const { return fault_; }

private:
    struct Pending {
        CaptionViews parts;
        uint64_t hash;
        size_t depth;
    };
    void queue(const CaptionViews& parts, size_t depth);
    void writePending();
    NameTable<NameFold> seen_; // the names written so far, compared as the writer quotes them
    NameCopies names_;
    std::string text_;
    FileWriter* file_ = nullptr;     // see StreamInto
    WrittenText* written_ = nullptr; // see ShareAsWritten; none once the sharing ended
    size_t handedOver_ = 0;          // bytes of the text in file_
    std::string blanks_;             // the widest indentation so far
    std::vector<Pending> pending_;
    size_t limit_;
    size_t lines_ = 0;
    // Whether every line so far is one that normalisation leaves as it is by construction.
    bool plain_ = true;
    std::optional<ElementNotWritable> fault_;
};

// The element one line of element text stands for, as normalisation and the parser read it.
// name and description are the bytes the element's caption gets, before inner double quotes
// become single ones (which keeps their length); nameAt and descriptionAt are where they begin in
// the line. A bare name is read as the quotes normalisation puts around it make it read.
struct ElementLine {
    std::string_view name;        // a view into the line
    std::string_view description; // into the line, or into scratch when the line has a bare name
    size_t nameAt = 0;
    size_t descriptionAt = 0;
    bool hasDescription = false;
    bool marked = false;  // the line begins with the duplicate marker
    size_t contentAt = 0; // the line's text after marker and indentation, up to its end
    size_t contentSize = 0;
};

// Reads one line; false for a blank line, which stands for no element. scratch holds the text
// of a line with a bare name while the result is used.
bool ReadElementLine(std::string_view line, ElementLine& element, std::string& scratch);

// A line as a message shows it: its ShownPart, with the count of all its characters when there
// are more (a message box holding a line of megabytes takes long to lay out and
// shows nothing of use).
std::string LineForMessage(std::string_view line);

// Replaces every tab by three blanks, as the text pane does with all text it takes in.
void ExpandTabs(std::string& line);

} // namespace settree
