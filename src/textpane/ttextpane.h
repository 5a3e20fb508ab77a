// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <Qsci/qsciscintilla.h>
#include <functional>
#include <string>

#include "formats/elementtext.h"

namespace settree {

// The text pane: a code editor holding the element text. Its lines are bytes; the pane shows
// them as UTF-8 when the document is valid UTF-8, else as Latin-1, and turns edited text back
// into bytes the same way.
class TTextPane : public QsciScintilla {
    Q_OBJECT
public:
    explicit TTextPane(QWidget* parent = nullptr);

    // The pane's lines as bytes, without line terminators.
    TextLines Lines() const;
    // Replaces the whole content by lines (tabs become three blanks); does nothing when the
    // lines are the same as now, so an unchanged pane keeps its undo history and caret.
    void SetLines(const TextLines& lines);
    // Line operations of the pane.
    int LineCount() const;
    std::string Line(int i) const;
    // Replaces the content by the lines of a file (CR LF, CR or LF end a line, a final line end
    // adds no line, a NUL byte ends the text, tabs become three blanks). Raises FileError with
    // "Cannot open file %s" when the file cannot be read; the pane then keeps its content.
    void LoadFromFile(const std::string& fileName);
    // Writes the lines joined by CR LF, no line break after the last one, through a temporary
    // file and a rename. Raises FileError with "Cannot create file %s".
    void SaveToFile(const std::string& fileName) const;
    bool IsUtf8() const { return utf8_; }

    // Raised when the right button goes down in the pane (opens Popedit), and on every key
    // release with the exact modifier state.
    std::function<void(QMouseEvent*)> OnMouseDown;
    std::function<void(QKeyEvent*)> OnKeyUp;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    bool utf8_ = true;
};

} // namespace settree
