// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QString>
#include <Qsci/qsciscintilla.h>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "formats/elementtext.h"
#include "model/documenttext.h"

class QKeyEvent;
class QMouseEvent;

namespace settree {

// The text pane: a code editor holding the element text. Its lines are bytes; the document
// keeps those bytes as they are and shows them as UTF-8 when they are valid UTF-8, else as
// Latin-1, and text typed or pasted goes into the document the same way.
//
// Lines: a line end at the very end of the document adds no line, so an empty document has no
// lines and a document ending in a line break has an empty editor row that is not a line.
//
// A line longer than kLongLine bytes is shown as a placeholder that names its length; the line
// itself is kept as it is, and Lines, Line and saving give it whole. What is typed into the
// placeholder changes nothing of the line; deleting the placeholder deletes the line. Putting
// such lines into the pane starts a fresh undo history.
class TTextPane : public QsciScintilla {
    Q_OBJECT
public:
    explicit TTextPane(QWidget* parent = nullptr);

    // The longest line the editor shows itself.
    static constexpr size_t kLongLine = 100'000;

    // The pane's lines as bytes, without line terminators.
    TextLines Lines() const;
    // The document as it stands: the lines joined by line feeds, with a line feed after the last
    // line when that one is empty, and a placeholder line in the place of each long line (see
    // HoldsLongLines). Valid until the document changes.
    std::string_view Document() const;
    // Whether some line is kept beside the document: the document is then not the lines joined.
    bool HoldsLongLines() const { return !longLines_.empty(); }
    // Replaces the whole content by lines (tabs become three blanks) as one undo step (none when
    // the pane is empty and has nothing to undo: that step could bring nothing back); does
    // nothing when the lines are the same as now, so an unchanged pane keeps its undo history
    // and caret. The caret keeps its line and column where they still exist.
    void SetLines(const TextLines& lines);

    // Line operations of the pane; i counts from 0 and must be below LineCount().
    int LineCount() const;
    std::string Line(int i) const;
    void ReplaceLine(int i, std::string_view line);
    void DeleteLine(int i);
    void AddLine(std::string_view line);
    void ClearLines();
    // Replaces the content by a whole text: lines end at CR LF, CR or LF, a NUL ends the text.
    void SetWholeText(std::string_view text);
    // SetLines with the lines of a text as SplitLines gives them (a line ends at CR LF, CR or LF,
    // a line end at the very end adds no line): for element text made whole, such as the bytes
    // WriteElementText gives, which then never needs to be held as lines.
    void SetText(std::string_view text);

    // Element text that goes into an empty pane while it is written (see WrittenText): the pane
    // takes the lines written so far as they come, and Finish puts in the rest once the text is
    // whole. The pane then holds what SetText would have put into it. Made only while the pane
    // TakesGrowingText; until Finish nothing else may change the pane, and without Finish the
    // pane is left empty again.
    class GrowingText;
    // Whether the pane is empty and has nothing to undo: element text may grow into it.
    bool TakesGrowingText() const;

    // Replaces the content by the lines of a file (CR LF, CR or LF end a line, a final line end
    // adds no line, tabs become three blanks, a leading byte order mark is left out), caret at
    // the start, a fresh undo history. Raises FileError "Cannot open file %s" when the file
    // cannot be read (with regularOnly also when it is not a regular file, without waiting for
    // a FIFO), TextFormError when it holds a NUL byte or UTF-16 text, NotEnoughMemory when it
    // does not fit in memory; the pane then keeps its content. alongside, when given, gets the
    // file's bytes on a second thread while they go into the document. read, when given, holds
    // the file's bytes as ReadTextFile gave them already.
    void LoadFromFile(const std::string& fileName, bool regularOnly = false,
                      const std::function<void(std::string_view)>& alongside = {},
                      std::optional<std::string> read = std::nullopt);
    // Writes the lines joined by CR LF, no line break after the last one, through a temporary
    // file and a rename. Raises FileError "Cannot create file %s".
    void SaveToFile(const std::string& fileName) const;

    // Whether the document is shown as UTF-8 (else Latin-1).
    bool IsUtf8() const { return utf8_; }
    // Whether the document was Latin-1 text and became UTF-8 because text arrived (typed,
    // pasted, dropped) that Latin-1 cannot store: its file was Latin-1, its lines are UTF-8 now.
    // A Latin-1 document never stores a replacement character for such text. Loading a file or
    // lines that are Latin-1 again ends it, and so does KeepUtf8.
    bool WidenedFromLatin1() const { return widened_; }
    // The document's UTF-8 is its encoding from now on (its file was written as UTF-8).
    void KeepUtf8() { widened_ = false; }
    // Bytes as the pane shows them; bytes in both encodings (see HoldsBothEncodings) each run as
    // it was meant.
    QString BytesToText(std::string_view bytes) const;

    // The caret: line from 0, column in characters from 0, counting blanks past the line's end
    // when the caret stands there.
    int CaretLine() const;
    int CaretColumn() const;
    void SetCaret(int line, int column);
    // Selects the whole text, the caret at the end of the last line.
    void SelectAll();
    // Inserts text into the caret's line at the caret's column, first filling the line with
    // blanks up to the caret when the caret stands beyond its end; one undo step.
    void InsertAtCaret(std::string_view text);

    // The font of the text and of the line numbers is Courier New; its size in points. Sizes
    // below one point draw at one point.
    int FontPointSize() const { return fontPointSize_; }
    void SetFontPointSize(int points);

    // The background picture: hidden at start, drawn centred under the text when shown.
    bool BackgroundShown() const { return backgroundShown_; }
    void SetBackgroundShown(bool shown);
    void ToggleBackground() { SetBackgroundShown(!backgroundShown_); }
    const QImage& BackgroundPicture() const { return background_; }

    // Raised when a mouse button goes down in the pane (the right one opens Popedit), and on
    // every key release that is not an auto-repeat, with the exact modifier state. They run
    // inside the widget library's event dispatch: an exception must not escape them.
    std::function<void(QMouseEvent*)> OnMouseDown;
    std::function<void(QKeyEvent*)> OnKeyUp;

signals:
    // The whole content was replaced (by SetLines, SetText, SetWholeText, LoadFromFile or a line
    // operation), without the editor's notification of each change.
    void DocumentReplaced();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    QByteArray fromMimeData(const QMimeData* source, bool& rectangular) const override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;

private:
    // A line kept beside the document (see longLines_).
    struct LongLine {
        int handle; // of the marker on the placeholder line
        std::string text;
    };
    // Makes the document for a sink, piece by piece (see DocumentText), lines longer than
    // kLongLine put beside it by the given handler.
    using MakeDocument =
        std::function<void(const DocumentText::Sink&, const DocumentText::LongLines&)>;
    // Replaces the content as SetLines does, when the document make gives (of about sizeHint
    // bytes) differs from it.
    void setDocument(const MakeDocument& make, size_t sizeHint, std::string_view source = {});
    // Whether the content is the one make gives, compared where it stands.
    bool documentIs(const MakeDocument& make) const;
    // Replaces the content by the one make gives: each line longer than kLongLine goes beside
    // the document (see longLines_), a short placeholder line in its place; the display encoding
    // follows the new text. As one undo step of the caller's, or dropping the undo history.
    //
    // source, when not empty, holds the bytes make turns into the document, changing ASCII bytes
    // only (line ends, tabs, long lines put beside): whether the document is UTF-8 is then
    // whether they are, which a second thread finds out while the document is filled, and runs
    // alongside(source) after.
    void replaceContent(const MakeDocument& make, size_t sizeHint, bool undoable,
                        std::string_view source = {},
                        const std::function<void(std::string_view)>& alongside = {});
    // Puts the pieces make gives into the document as they are, in place of all it held,
    // without the editor's notification of each change.
    void putDocument(const std::function<void(const DocumentText::Sink&)>& make, size_t sizeHint,
                     bool undoable);
    // The handler of DocumentText that puts each long line beside the document: into lines,
    // the line of its placeholder into placeholders; utf8 turns false when one is not UTF-8.
    DocumentText::LongLines putBeside(std::vector<LongLine>& lines,
                                      std::vector<size_t>& placeholders, bool& utf8) const;
    // What follows a replacement of the whole content: the display encoding, the long lines
    // beside the document and their placeholders, the signals.
    void contentReplaced(bool utf8, std::vector<LongLine>&& longLines,
                         const std::vector<size_t>& placeholders);
    // Shows the document as UTF-8 or as Latin-1; a switch drops the undo history, whose steps
    // would come back shown wrongly.
    void useEncoding(bool utf8);
    // The long lines by the document line that holds each one's placeholder.
    std::vector<const std::string*> longLinesByLine() const;
    void updateMarginWidth();
    // Tab without a block selection: blanks up to the next word start of the nearest line
    // above, else to the next tab stop.
    void smartTab();
    // Tab and Shift+Tab on a selection of several lines: every line one column in or out.
    void shiftSelectedLines(bool in);
    // Moves the caret to a column of a line, at most to the line's end.
    void moveCaretWithinLine(int line, int column);

    // Makes the document UTF-8 before text enters that a Latin-1 document cannot store, so that
    // no character is ever replaced; the caret and the selection keep their places.
    void widenFor(const QString& incoming);

    bool utf8_ = true;
    bool widened_ = false;
    // Lines too long for the editor to lay out (it measures every character of a shown line,
    // which for a line of megabytes takes minutes and many times the line in memory), kept
    // beside the document. The document holds a short placeholder line, in a grey style of its
    // own, in the place of each, with a marker that follows the line as text is added or removed
    // above it. Lines, Line and saving give the long lines as they are.
    std::vector<LongLine> longLines_;
    // The text in the document's line i; a long line's placeholder stays as it is.
    std::string documentLine(int i) const;
    // What the document shows in the place of a long line.
    static std::string placeholderFor(size_t longLineBytes);
    // Marks a long line's placeholder on its document line and gives it its style.
    void markPlaceholder(LongLine& longLine, size_t line);
    int fontPointSize_ = 10;
    bool backgroundShown_ = false;
    QImage background_;
};

class TTextPane::GrowingText {
public:
    explicit GrowingText(TTextPane& pane);
    GrowingText(const GrowingText&) = delete;
    GrowingText& operator=(const GrowingText&) = delete;
    ~GrowingText();

    // Takes the lines of the text so far (whole lines, the last without its line break)
    // that are not in yet; expected is about how long the whole text will be.
    void Take(std::string_view soFar, size_t expected);
    // Puts in the rest of the whole text, which begins with every byte taken, and runs
    // alongside(text) on a second thread meanwhile; then meanwhile(), when given, on this thread
    // while alongside goes on.
    void Finish(std::string_view text, const std::function<void(std::string_view)>& alongside,
                const std::function<void()>& meanwhile = {});

private:
    // Adds the lines of the text that are not in yet.
    void addLines(std::string_view text);
    // Gives the editor its notifications and undo steps back.
    void restore();

    TTextPane& pane_;
    std::vector<LongLine> longLines_;
    std::vector<size_t> placeholders_; // the lines that hold one
    std::optional<DocumentText> document_;
    bool longUtf8_ = true; // unused: the whole text decides the encoding
    size_t taken_ = 0;     // bytes of the text in the document
    long mask_;            // the editor's notifications, off until the end
    bool allocated_ = false;
    bool finished_ = false;
};

} // namespace settree
