// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/gamscheck.h"

namespace settree {

class TTextPane;

// Marks in the text pane what GAMS would reject (see CheckElementTextForGams): an underline on
// the name or the description of the element, a symbol in the margin beside its line, and the
// reasons in a tool tip over either. Warnings and notes look different.
//
// The marks show the check of the pane's text when Check ran; they move with the text as it is
// edited, go when the whole text goes, and the next Check replaces them. A large text is marked a
// slice at a time from the event loop, so marking a million lines never holds the window up.
class GamsMarks : public QObject {
    Q_OBJECT
public:
    // The pane must outlive the marks.
    explicit GamsMarks(TTextPane& pane, QObject* parent = nullptr);

    // Checks the pane's text and marks its problems in place of the marks before.
    void Check();

    // The check of a text, made without the pane: it may run on another thread, for instance
    // while the tree is built from the same text.
    class Findings;
    static Findings Find(std::string_view text);
    // Keeps the check of the pane's text as it stands now for the next Check, which then marks
    // it without checking again; any change of the text drops it.
    void Prepare(Findings findings);
    // Removes every mark.
    void Clear();
    // Applies the marks still waiting for their slice at once (for callers that need them all,
    // such as tests).
    void FinishMarking();
    bool MarkingDone() const { return applied_ == problems_.size(); }

    int Warnings() const { return warnings_; }
    int Notes() const { return static_cast<int>(problems_.size()) - warnings_; }
    // "GAMS: 2 warnings, 1 note"; empty when there is no problem.
    QString Summary() const;

    // Moves the caret to the start of the next mark after the caret, from the top of the text
    // after the last one, and shows it; false when there is none.
    bool GoToNext();

    // The reasons of the marks at a position of the document, one a line; empty when no mark
    // lies there.
    QString ReasonsAt(long position) const;
    // The reasons of the marks on a line of the document; empty when it has none.
    QString ReasonsOnLine(long line) const;

    // Indicators and markers the marks use in the pane.
    static constexpr int kWarningIndicator = 8; // the first indicator Scintilla leaves to us
    static constexpr int kNoteIndicator = 9;
    static constexpr int kWarningMarker = 20;
    static constexpr int kNoteMarker = 21;
    static constexpr int kSymbolMargin = 1;

signals:
    // The summary changed: after a check and when the marks were removed.
    void SummaryChanged(const QString& summary);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

public:
    // What a mark needs of its problem: the line and bytes as checked, and enough to say why.
    struct Problem {
        size_t line;
        uint32_t at;
        uint32_t size;
        GamsRule rule;
        uint32_t bytes;
        uint32_t spelling; // OtherSpelling: index into Findings::spellings
        size_t firstLine;
    };
    class Findings {
        friend class GamsMarks;
        std::vector<Problem> problems;
        std::vector<std::string> spellings;
        int warnings = 0;
    };

private:
    void removeMarks();
    void applySlice();
    void apply(size_t index);
    // The problem an indicator value stands for (index + 1); -1 for none.
    static long problemOf(long value) { return value - 1; }
    QString reasonsOf(size_t index) const;

    TTextPane& pane_;
    std::vector<Problem> problems_;
    std::vector<std::string> spellings_;
    size_t applied_ = 0;
    int warnings_ = 0;
    std::optional<Findings> prepared_; // of the pane's text as it stands (see Prepare)
    QTimer slices_;
};

} // namespace settree
