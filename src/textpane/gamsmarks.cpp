// SPDX-License-Identifier: GPL-3.0-or-later
#include "textpane/gamsmarks.h"

#include <QColor>
#include <QElapsedTimer>
#include <QHelpEvent>
#include <QImage>
#include <QLocale>
#include <QPainter>
#include <QPolygonF>
#include <QToolTip>
#include <algorithm>

#include "textpane/ttextpane.h"

namespace settree {

namespace {

// A slice of marking gives the event loop back after this long.
constexpr qint64 kSliceMilliseconds = 15;
constexpr int kSymbolMarginWidth = 16;
constexpr int kSymbolSize = 14;

const QColor kWarningColour(0xD0, 0x20, 0x20);
const QColor kNoteColour(0x20, 0x60, 0xC8);

// The margin symbols: an amber triangle with "!" for a warning, a blue disc with "i" for a note.
QImage symbol(bool warning) {
    QImage image(kSymbolSize, kSymbolSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(10);
    font.setBold(true);
    painter.setFont(font);
    if (warning) {
        const QPolygonF triangle({QPointF(7, 0.5), QPointF(13.5, 13), QPointF(0.5, 13)});
        painter.setPen(QPen(QColor(0x8A, 0x5A, 0x00), 1));
        painter.setBrush(QColor(0xF5, 0xB8, 0x2E));
        painter.drawPolygon(triangle);
        painter.setPen(Qt::black);
        painter.drawText(QRectF(0, 2.5, kSymbolSize, 11), Qt::AlignCenter, QStringLiteral("!"));
    } else {
        painter.setPen(Qt::NoPen);
        painter.setBrush(kNoteColour);
        painter.drawEllipse(QRectF(0.5, 0.5, 13, 13));
        painter.setPen(Qt::white);
        painter.drawText(QRectF(0, 0, kSymbolSize, kSymbolSize), Qt::AlignCenter,
                         QStringLiteral("i"));
    }
    return image;
}

} // namespace

GamsMarks::GamsMarks(TTextPane& pane, QObject* parent) : QObject(parent), pane_(pane) {
    pane_.indicatorDefine(QsciScintilla::SquiggleIndicator, kWarningIndicator);
    pane_.setIndicatorForegroundColor(kWarningColour, kWarningIndicator);
    pane_.indicatorDefine(QsciScintilla::SquiggleIndicator, kNoteIndicator);
    pane_.setIndicatorForegroundColor(kNoteColour, kNoteIndicator);
    pane_.markerDefine(symbol(true), kWarningMarker);
    pane_.markerDefine(symbol(false), kNoteMarker);
    pane_.setMarginType(kSymbolMargin, QsciScintilla::SymbolMargin);
    pane_.setMarginMarkerMask(kSymbolMargin, (1 << kWarningMarker) | (1 << kNoteMarker));
    pane_.setMarginWidth(kSymbolMargin, 0); // shown while there are marks

    slices_.setInterval(0);
    connect(&slices_, &QTimer::timeout, this, &GamsMarks::applySlice);
    pane_.viewport()->installEventFilter(this);

    // The whole text replaced (a load, a rebuild, undoing one) takes its marks along: the
    // underlines go with their text, the symbols would gather on the first line.
    connect(&pane_, &QsciScintillaBase::SCN_MODIFIED, this,
            [this](int, int type, const char*, int, int, int, int, int, int, int) {
                if (type &
                    (QsciScintillaBase::SC_MOD_INSERTTEXT | QsciScintillaBase::SC_MOD_DELETETEXT))
                    prepared_.reset(); // of another text
                if ((type & QsciScintillaBase::SC_MOD_DELETETEXT) && !problems_.empty() &&
                    pane_.SendScintilla(QsciScintillaBase::SCI_GETLENGTH) == 0)
                    Clear();
            });
    connect(&pane_, &TTextPane::DocumentReplaced, this, &GamsMarks::Clear);
}

GamsMarks::Findings GamsMarks::Find(std::string_view text) {
    Findings found;
    CheckElementTextForGams(text, [&found](const GamsProblem& p) {
        Problem problem{p.line,     static_cast<uint32_t>(p.at),    static_cast<uint32_t>(p.size),
                        p.rule,     static_cast<uint32_t>(p.bytes), 0,
                        p.firstLine};
        if (p.rule == GamsRule::OtherSpelling) {
            problem.spelling = static_cast<uint32_t>(found.spellings.size());
            found.spellings.emplace_back(p.detail);
        }
        if (IsGamsWarning(p.rule))
            ++found.warnings;
        found.problems.push_back(problem);
    });
    return found;
}

void GamsMarks::Prepare(Findings findings) {
    prepared_ = std::move(findings);
}

void GamsMarks::Check() {
    // The document's own bytes: nothing changes them while the check runs.
    Findings found = prepared_ ? std::move(*prepared_) : Find(pane_.Document());
    removeMarks();
    problems_ = std::move(found.problems);
    spellings_ = std::move(found.spellings);
    warnings_ = found.warnings;
    pane_.setMarginWidth(kSymbolMargin, problems_.empty() ? 0 : kSymbolMarginWidth);
    if (!problems_.empty()) {
        applySlice();
        if (!MarkingDone())
            slices_.start();
    }
    emit SummaryChanged(Summary());
}

void GamsMarks::Clear() {
    removeMarks();
    emit SummaryChanged(Summary());
}

void GamsMarks::removeMarks() {
    prepared_.reset();
    slices_.stop();
    problems_.clear();
    spellings_.clear();
    warnings_ = 0;
    // Only marks applied since the last removal can be in the document. Removing a marker
    // visits every line, which for a million lines shows.
    const bool marked = applied_ > 0;
    applied_ = 0;
    pane_.setMarginWidth(kSymbolMargin, 0);
    if (!marked)
        return;
    const long length = pane_.SendScintilla(QsciScintillaBase::SCI_GETLENGTH);
    for (const int indicator : {kWarningIndicator, kNoteIndicator}) {
        pane_.SendScintilla(QsciScintillaBase::SCI_SETINDICATORCURRENT, indicator);
        pane_.SendScintilla(QsciScintillaBase::SCI_INDICATORCLEARRANGE, 0L, length);
    }
    for (const int marker : {kWarningMarker, kNoteMarker})
        pane_.SendScintilla(QsciScintillaBase::SCI_MARKERDELETEALL, marker);
}

void GamsMarks::FinishMarking() {
    slices_.stop();
    while (applied_ < problems_.size())
        apply(applied_++);
}

void GamsMarks::applySlice() {
    QElapsedTimer clock;
    clock.start();
    while (applied_ < problems_.size()) {
        apply(applied_++);
        if (applied_ % 256 == 0 && clock.elapsed() >= kSliceMilliseconds)
            break;
    }
    if (MarkingDone())
        slices_.stop();
}

void GamsMarks::apply(size_t index) {
    const Problem& p = problems_[index];
    const auto line = static_cast<long>(p.line);
    if (line >= pane_.SendScintilla(QsciScintillaBase::SCI_GETLINECOUNT))
        return; // the text is shorter than when it was checked
    const long start = pane_.SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, line);
    const long end = pane_.SendScintilla(QsciScintillaBase::SCI_GETLINEENDPOSITION, line);
    const long from = std::min(start + static_cast<long>(p.at), end);
    const long size = std::min(static_cast<long>(p.size), end - from);
    const bool warning = IsGamsWarning(p.rule);
    if (size > 0) {
        pane_.SendScintilla(QsciScintillaBase::SCI_SETINDICATORCURRENT,
                            warning ? kWarningIndicator : kNoteIndicator);
        pane_.SendScintilla(QsciScintillaBase::SCI_SETINDICATORVALUE, static_cast<long>(index) + 1);
        pane_.SendScintilla(QsciScintillaBase::SCI_INDICATORFILLRANGE, from, size);
    }
    const int marker = warning ? kWarningMarker : kNoteMarker;
    const long present = pane_.SendScintilla(QsciScintillaBase::SCI_MARKERGET, line);
    if (!(present & (1L << marker)))
        pane_.SendScintilla(QsciScintillaBase::SCI_MARKERADD, line, marker);
}

QString GamsMarks::Summary() const {
    if (problems_.empty())
        return {};
    const QLocale locale;
    QStringList parts;
    const int notes = Notes();
    if (warnings_ > 0)
        parts << locale.toString(warnings_) +
                     (warnings_ == 1 ? QStringLiteral(" warning") : QStringLiteral(" warnings"));
    if (notes > 0)
        parts << locale.toString(notes) +
                     (notes == 1 ? QStringLiteral(" note") : QStringLiteral(" notes"));
    return QStringLiteral("GAMS: ") + parts.join(QStringLiteral(", "));
}

namespace {

long valueAt(const TTextPane& pane, int indicator, long position) {
    return pane.SendScintilla(QsciScintillaBase::SCI_INDICATORVALUEAT, indicator, position);
}

// The start of the first run of an indicator after the run (or the gap) that holds position;
// -1 when there is none.
long nextRunStart(const TTextPane& pane, int indicator, long position) {
    const long length = pane.SendScintilla(QsciScintillaBase::SCI_GETLENGTH);
    long p = position;
    while (p < length) {
        const long next = pane.SendScintilla(QsciScintillaBase::SCI_INDICATOREND, indicator, p);
        if (next <= p)
            return -1;
        p = next;
        if (p < length && valueAt(pane, indicator, p) != 0)
            return p;
    }
    return -1;
}

} // namespace

bool GamsMarks::GoToNext() {
    const long caret = pane_.SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS);
    const auto firstFrom = [this](long position, bool includingIt) {
        long best = -1;
        for (const int indicator : {kWarningIndicator, kNoteIndicator}) {
            long start = includingIt && valueAt(pane_, indicator, position) != 0
                             ? position
                             : nextRunStart(pane_, indicator, position);
            if (start >= 0 && (best < 0 || start < best))
                best = start;
        }
        return best;
    };
    long target = firstFrom(caret, false);
    if (target < 0)
        target = firstFrom(0, true); // from the top again
    if (target < 0)
        return false;
    pane_.SendScintilla(QsciScintillaBase::SCI_GOTOPOS, target);
    pane_.SendScintilla(QsciScintillaBase::SCI_ENSUREVISIBLEENFORCEPOLICY,
                        pane_.SendScintilla(QsciScintillaBase::SCI_LINEFROMPOSITION, target));
    pane_.setFocus();
    return true;
}

QString GamsMarks::reasonsOf(size_t index) const {
    // The problems of a line are next to each other: the tool tip gives them all.
    size_t first = index;
    while (first > 0 && problems_[first - 1].line == problems_[index].line)
        --first;
    QStringList reasons;
    for (size_t i = first; i < problems_.size() && problems_[i].line == problems_[index].line;
         ++i) {
        const Problem& p = problems_[i];
        GamsProblem problem;
        problem.rule = p.rule;
        problem.bytes = p.bytes;
        problem.firstLine = p.firstLine;
        if (p.rule == GamsRule::OtherSpelling)
            problem.detail = spellings_[p.spelling];
        const QString kind = IsGamsWarning(p.rule) ? QStringLiteral("GAMS warning: ")
                                                   : QStringLiteral("GAMS note: ");
        reasons << kind + pane_.BytesToText(GamsReason(problem));
    }
    return reasons.join(QLatin1Char('\n'));
}

QString GamsMarks::ReasonsAt(long position) const {
    for (const int indicator : {kWarningIndicator, kNoteIndicator}) {
        const long index = problemOf(valueAt(pane_, indicator, position));
        if (index >= 0 && static_cast<size_t>(index) < problems_.size())
            return reasonsOf(static_cast<size_t>(index));
    }
    return {};
}

QString GamsMarks::ReasonsOnLine(long line) const {
    const long start = pane_.SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, line);
    const long end = pane_.SendScintilla(QsciScintillaBase::SCI_GETLINEENDPOSITION, line);
    if (start < 0)
        return {};
    for (const int indicator : {kWarningIndicator, kNoteIndicator}) {
        for (long p = start; p < end;) {
            const QString reasons = ReasonsAt(p);
            if (!reasons.isEmpty())
                return reasons;
            const long next =
                pane_.SendScintilla(QsciScintillaBase::SCI_INDICATOREND, indicator, p);
            if (next <= p)
                break;
            p = next;
        }
    }
    return {};
}

bool GamsMarks::eventFilter(QObject* watched, QEvent* event) {
    if (watched != pane_.viewport() || event->type() != QEvent::ToolTip)
        return QObject::eventFilter(watched, event);
    const auto* help = static_cast<QHelpEvent*>(event);
    long margins = 0;
    const long count = pane_.SendScintilla(QsciScintillaBase::SCI_GETMARGINS);
    for (long m = 0; m < count; ++m)
        margins += pane_.SendScintilla(QsciScintillaBase::SCI_GETMARGINWIDTHN, m);
    QString text;
    if (help->pos().x() < margins) {
        const long position = pane_.SendScintilla(QsciScintillaBase::SCI_POSITIONFROMPOINT,
                                                  static_cast<unsigned long>(margins),
                                                  static_cast<long>(help->pos().y()));
        text =
            ReasonsOnLine(pane_.SendScintilla(QsciScintillaBase::SCI_LINEFROMPOSITION, position));
    } else {
        const long position = pane_.SendScintilla(QsciScintillaBase::SCI_CHARPOSITIONFROMPOINTCLOSE,
                                                  static_cast<unsigned long>(help->pos().x()),
                                                  static_cast<long>(help->pos().y()));
        if (position >= 0)
            text = ReasonsAt(position);
    }
    if (text.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(help->globalPos(), text, pane_.viewport());
    return true;
}

} // namespace settree
