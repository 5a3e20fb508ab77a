// SPDX-License-Identifier: GPL-3.0-or-later
#include "textpane/ttextpane.h"

#include <QColor>
#include <QDragEnterEvent>
#include <QFocusEvent>
#include <QFont>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <Qsci/qscicommandset.h>
#include <algorithm>
#include <cstdint>
#include <new>

#include "display/displaytext.h"
#include "formats/treefile.h"
#include "model/documenttext.h"
#include "model/parallel.h"
#include "model/textfile.h"
#include "model/utf8.h"

namespace settree {

namespace {

constexpr int kIndentWidth = 3;        // the element text's unit of one level
constexpr int kLongLineMarker = 22;    // on the placeholder of a long line (see TTextPane)
constexpr int kLongLineIndicator = 20; // over the placeholder: grey text
constexpr std::string_view kPlaceholderWords = "too long to show here; it is kept as it is";
constexpr int kFirstTabStop = 8; // tab stops at columns 9 and 17 (counted from 1), then every 8
constexpr int kTabStopStep = 8;

// A small picture for the pane's background: a pale tree on a soft gradient, light enough to
// read black text over it.
QImage MakeBackgroundPicture() {
    QImage image(100, 133, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 133);
    sky.setColorAt(0, QColor(0xEE, 0xF4, 0xFB));
    sky.setColorAt(1, QColor(0xF7, 0xF3, 0xE6));
    painter.fillRect(image.rect(), sky);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xD9, 0xC8, 0xB0));
    painter.drawRect(45, 78, 10, 40);
    painter.setBrush(QColor(0xC8, 0xE6, 0xC0));
    painter.drawEllipse(QPointF(50, 52), 32, 30);
    painter.drawEllipse(QPointF(30, 70), 20, 16);
    painter.drawEllipse(QPointF(70, 70), 20, 16);
    painter.setBrush(QColor(0xDD, 0xE8, 0xD0));
    painter.drawRect(10, 118, 80, 4);
    painter.setPen(QColor(0xC0, 0xCC, 0xD8));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(image.rect().adjusted(0, 0, -1, -1));
    return image;
}

} // namespace

TTextPane::TTextPane(QWidget* parent) : QsciScintilla(parent) {
    // A document without style bytes: the pane colours no syntax, and a byte of style for every
    // byte of text would double the memory a large text takes. It replaces the widget's first
    // document before any setting of the document is made.
    const long document =
        SendScintilla(SCI_CREATEDOCUMENT, 0UL, static_cast<long>(SC_DOCUMENTOPTION_STYLES_NONE));
    SendScintilla(SCI_SETDOCPOINTER, 0UL, reinterpret_cast<void*>(document));
    SendScintilla(SCI_RELEASEDOCUMENT, 0UL, reinterpret_cast<void*>(document));
    setUtf8(true);
    setEolMode(EolUnix);
    SendScintilla(SCI_SETPASTECONVERTENDINGS, 1);

    setColor(Qt::black);
    setPaper(Qt::white);

    // Line numbers in the first margin, right-aligned by the widget, in black; no other margin.
    setMarginType(0, NumberMargin);
    setMarginLineNumbers(0, true);
    setMarginsForegroundColor(Qt::black);
    setMarginWidth(1, 0);
    setMarginWidth(2, 0);
    SetFontPointSize(10);
    connect(this, &QsciScintilla::linesChanged, this, &TTextPane::updateMarginWidth);

    setAutoIndent(true);
    setBackspaceUnindents(true);
    setIndentationsUseTabs(false);
    setTabWidth(kIndentWidth);
    setIndentationWidth(kIndentWidth);
    setTabIndents(true);
    // The caret may stand beyond a line's end; typing there fills the gap with blanks.
    SendScintilla(SCI_SETVIRTUALSPACEOPTIONS, SCVS_USERACCESSIBLE | SCVS_RECTANGULARSELECTION);

    setSelectionForegroundColor(Qt::white);
    setSelectionBackgroundColor(QColor(0x00, 0x00, 0x80));
    SendScintilla(SCI_HIDESELECTION, 1); // shown only while the pane has the focus

    SendScintilla(SCI_SETSCROLLWIDTHTRACKING, 1);
    SendScintilla(SCI_SETSCROLLWIDTH, 1);
    SendScintilla(SCI_SETENDATLASTLINE, 1);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    setContextMenuPolicy(Qt::PreventContextMenu);
    setReadOnly(false);
    background_ = MakeBackgroundPicture();
}

TextLines TTextPane::Lines() const {
    TextLines lines = SplitLines(Document());
    const std::vector<const std::string*> longLines = longLinesByLine();
    for (size_t i = 0; i < lines.size() && i < longLines.size(); ++i)
        if (longLines[i])
            lines[i] = *longLines[i];
    return lines;
}

std::string_view TTextPane::Document() const {
    const long length = SendScintilla(SCI_GETLENGTH);
    if (length <= 0)
        return {};
    const auto* bytes = static_cast<const char*>(SendScintillaPtrResult(SCI_GETCHARACTERPOINTER));
    return {bytes, static_cast<size_t>(length)};
}

std::vector<const std::string*> TTextPane::longLinesByLine() const {
    std::vector<const std::string*> byLine;
    for (const LongLine& longLine : longLines_) {
        const long line = SendScintilla(SCI_MARKERLINEFROMHANDLE, longLine.handle);
        // A deleted placeholder's marker moves on to the next line: only a line that still shows
        // the placeholder stands for the long line (what was typed into it does not count);
        // else the placeholder was deleted, and the long line with it.
        if (line < 0 ||
            documentLine(static_cast<int>(line)).find(kPlaceholderWords) == std::string::npos)
            continue;
        if (byLine.size() <= static_cast<size_t>(line))
            byLine.resize(static_cast<size_t>(line) + 1, nullptr);
        byLine[static_cast<size_t>(line)] = &longLine.text;
    }
    return byLine;
}

void TTextPane::SetLines(const TextLines& lines) {
    size_t size = lines.size();
    for (const std::string& line : lines)
        size += line.size();
    setDocument(
        [&lines](const DocumentText::Sink& sink, const DocumentText::LongLines& longLines) {
            DocumentText::OfLines(lines, sink, longLines);
        },
        size);
}

void TTextPane::SetText(std::string_view text) {
    setDocument(
        [text](const DocumentText::Sink& sink, const DocumentText::LongLines& longLines) {
            DocumentText::OfText(text, false, sink, longLines);
        },
        text.size(), text);
}

void TTextPane::setDocument(const MakeDocument& make, size_t sizeHint, std::string_view source) {
    if (documentIs(make))
        return;
    const int line = CaretLine();
    const int column =
        static_cast<int>(SendScintilla(SCI_GETCOLUMN, SendScintilla(SCI_GETCURRENTPOS)));
    const int firstVisible = firstVisibleLine();
    // Replacing an empty pane without undo steps keeps none: there is nothing one could bring
    // back, and it would hold a copy of the whole new text.
    const bool undoable = SendScintilla(SCI_GETLENGTH) > 0 || SendScintilla(SCI_CANUNDO) != 0;
    if (undoable)
        beginUndoAction();
    replaceContent(make, sizeHint, undoable, source);
    if (undoable)
        endUndoAction();
    moveCaretWithinLine(std::min(line, static_cast<int>(SendScintilla(SCI_GETLINECOUNT)) - 1),
                        column);
    setFirstVisibleLine(firstVisible);
}

bool TTextPane::documentIs(const MakeDocument& make) const {
    // Compared piece by piece with the document where it stands, and each long line with the
    // one kept for the placeholder on its line, without a copy of either: the text can be
    // hundreds of megabytes.
    const std::string_view now = Document();
    const std::vector<const std::string*> held = longLinesByLine();
    size_t at = 0;
    bool same = true;
    DocumentText::LongLines longLines{kLongLine, [&](size_t index, std::string&& text) {
                                          same = same && index < held.size() && held[index] &&
                                                 *held[index] == text;
                                          return placeholderFor(text.size());
                                      }};
    make(
        [&](std::string_view piece) {
            same = same && now.size() - at >= piece.size() && now.substr(at, piece.size()) == piece;
            at += piece.size();
            return same;
        },
        longLines);
    return same && at == now.size();
}

int TTextPane::LineCount() const {
    const long length = SendScintilla(SCI_GETLENGTH);
    if (length <= 0)
        return 0;
    const long rows = SendScintilla(SCI_GETLINECOUNT);
    const char last = static_cast<char>(SendScintilla(SCI_GETCHARAT, length - 1));
    return static_cast<int>(last == '\n' || last == '\r' ? rows - 1 : rows);
}

std::string TTextPane::placeholderFor(size_t longLineBytes) {
    return "[a line of " + std::to_string(longLineBytes) + " bytes, " +
           std::string(kPlaceholderWords) + "]";
}

std::string TTextPane::Line(int i) const {
    if (SendScintilla(SCI_MARKERGET, i) & (1 << kLongLineMarker)) {
        const std::vector<const std::string*> longLines = longLinesByLine();
        if (static_cast<size_t>(i) < longLines.size() && longLines[static_cast<size_t>(i)])
            return *longLines[static_cast<size_t>(i)];
    }
    return documentLine(i);
}

std::string TTextPane::documentLine(int i) const {
    const long start = SendScintilla(SCI_POSITIONFROMLINE, i);
    const long end = SendScintilla(SCI_GETLINEENDPOSITION, i);
    std::string text(static_cast<size_t>(end - start) + 1, '\0');
    SendScintilla(SCI_GETTEXTRANGE, start, end, text.data());
    text.resize(static_cast<size_t>(end - start));
    return text;
}

// The edits of single lines go through the whole list, so that they follow the same line rules
// as SetLines; they are for occasional use, not for loops over the pane.
void TTextPane::ReplaceLine(int i, std::string_view line) {
    TextLines lines = Lines();
    lines.at(static_cast<size_t>(i)) = std::string(line);
    SetLines(lines);
}

void TTextPane::DeleteLine(int i) {
    TextLines lines = Lines();
    lines.erase(lines.begin() + i);
    SetLines(lines);
}

void TTextPane::AddLine(std::string_view line) {
    TextLines lines = Lines();
    lines.emplace_back(line);
    SetLines(lines);
}

void TTextPane::ClearLines() {
    SetLines({});
}

void TTextPane::SetWholeText(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    setDocument(
        [text](const DocumentText::Sink& sink, const DocumentText::LongLines& longLines) {
            DocumentText::OfText(text, true, sink, longLines);
        },
        text.size(), text);
}

void TTextPane::LoadFromFile(const std::string& fileName, bool regularOnly,
                             const std::function<void(std::string_view)>& alongside,
                             std::optional<std::string> read) {
    // The file's bytes go into the document piece by piece: the text is never held as lines, nor
    // twice whole, and no undo step keeps a copy of it.
    std::string bytes;
    try {
        bytes = read ? std::move(*read) : ReadTextFile(fileName, regularOnly);
        const std::string_view text = std::string_view(bytes).substr(0, bytes.find('\0'));
        replaceContent(
            [text](const DocumentText::Sink& sink, const DocumentText::LongLines& longLines) {
                DocumentText::OfText(text, true, sink, longLines);
            },
            text.size(), false, text, alongside);
    } catch (const std::bad_alloc&) {
        throw NotEnoughMemory(fileName);
    }
    widened_ = false; // the encoding is the new file's
    SendScintilla(SCI_EMPTYUNDOBUFFER);
    SendScintilla(SCI_GOTOPOS, 0L);
    setModified(false);
}

void TTextPane::SaveToFile(const std::string& fileName) const {
    WriteFileAtomically(fileName, TreeFileBytes(Lines()));
}

void TTextPane::SetFontPointSize(int points) {
    fontPointSize_ = points;
    QFont font(QStringLiteral("Courier New"));
    font.setPointSize(std::max(1, points));
    setFont(font);
    setMarginsFont(font);
    updateMarginWidth();
    // The long lines' placeholders are drawn in grey by an indicator: the document keeps no
    // styles.
    SendScintilla(SCI_INDICSETSTYLE, kLongLineIndicator, static_cast<long>(INDIC_TEXTFORE));
    SendScintilla(SCI_INDICSETFORE, kLongLineIndicator, QColor(Qt::darkGray));
    SendScintilla(SCI_MARKERDEFINE, kLongLineMarker, static_cast<long>(SC_MARK_EMPTY));
}

QString TTextPane::BytesToText(std::string_view bytes) const {
    if (HoldsBothEncodings(bytes))
        return QString::fromStdString(ToUtf8(bytes));
    return BytesToDisplay(bytes, utf8_);
}

int TTextPane::CaretLine() const {
    return static_cast<int>(SendScintilla(SCI_LINEFROMPOSITION, SendScintilla(SCI_GETCURRENTPOS)));
}

int TTextPane::CaretColumn() const {
    const long column = SendScintilla(SCI_GETCOLUMN, SendScintilla(SCI_GETCURRENTPOS));
    const long beyond =
        SendScintilla(SCI_GETSELECTIONNCARETVIRTUALSPACE, SendScintilla(SCI_GETMAINSELECTION));
    return static_cast<int>(column + beyond);
}

void TTextPane::SetCaret(int line, int column) {
    moveCaretWithinLine(line, column);
    const int reached = CaretColumn();
    if (column > reached) {
        const long main = SendScintilla(SCI_GETMAINSELECTION);
        SendScintilla(SCI_SETSELECTIONNCARETVIRTUALSPACE, main,
                      static_cast<long>(column - reached));
        SendScintilla(SCI_SETSELECTIONNANCHORVIRTUALSPACE, main,
                      static_cast<long>(column - reached));
    }
}

void TTextPane::SelectAll() {
    SendScintilla(SCI_SETSEL, 0UL, SendScintilla(SCI_GETLENGTH));
}

void TTextPane::InsertAtCaret(std::string_view text) {
    const long pos = SendScintilla(SCI_GETCURRENTPOS);
    const long beyond =
        SendScintilla(SCI_GETSELECTIONNCARETVIRTUALSPACE, SendScintilla(SCI_GETMAINSELECTION));
    std::string inserted(static_cast<size_t>(beyond), ' ');
    inserted.append(text);
    SendScintilla(SCI_SETTARGETRANGE, pos, pos + 0L);
    SendScintilla(SCI_REPLACETARGET, static_cast<uintptr_t>(inserted.size()), inserted.data());
    SendScintilla(SCI_GOTOPOS, pos + static_cast<long>(inserted.size()));
}

void TTextPane::SetBackgroundShown(bool shown) {
    if (shown == backgroundShown_)
        return;
    backgroundShown_ = shown;
    viewport()->update();
}

void TTextPane::mousePressEvent(QMouseEvent* event) {
    QsciScintilla::mousePressEvent(event);
    if (OnMouseDown)
        OnMouseDown(event);
}

void TTextPane::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    const bool blockSelected =
        hasSelectedText() &&
        SendScintilla(SCI_LINEFROMPOSITION, SendScintilla(SCI_GETSELECTIONSTART)) !=
            SendScintilla(SCI_LINEFROMPOSITION, SendScintilla(SCI_GETSELECTIONEND));
    if (event->key() == Qt::Key_Tab && modifiers == Qt::NoModifier) {
        if (blockSelected)
            shiftSelectedLines(true);
        else
            smartTab();
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Backtab && blockSelected) {
        shiftSelectedLines(false);
        event->accept();
        return;
    }
    // A chord with Ctrl, Alt or Meta types nothing (Alt with a digit is the indentation
    // shortcut, which acts on the release); the widget's own commands still run.
    const Qt::KeyboardModifiers chord =
        modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (chord != Qt::NoModifier && !event->text().isEmpty() && event->text().at(0).isPrint()) {
        const int combination =
            event->key() | (modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier |
                                         Qt::MetaModifier))
                               .toInt();
        if (!standardCommands()->boundTo(combination)) {
            event->ignore();
            return;
        }
    }
    widenFor(event->text());
    QsciScintilla::keyPressEvent(event);
}

void TTextPane::keyReleaseEvent(QKeyEvent* event) {
    QsciScintilla::keyReleaseEvent(event);
    if (!event->isAutoRepeat() && OnKeyUp)
        OnKeyUp(event);
}

void TTextPane::contextMenuEvent(QContextMenuEvent* event) {
    // The pane's menu is Popedit, opened on the right button's press.
    event->accept();
}

void TTextPane::focusInEvent(QFocusEvent* event) {
    QsciScintilla::focusInEvent(event);
    SendScintilla(SCI_HIDESELECTION, 0L);
}

void TTextPane::focusOutEvent(QFocusEvent* event) {
    QsciScintilla::focusOutEvent(event);
    SendScintilla(SCI_HIDESELECTION, 1);
}

void TTextPane::paintEvent(QPaintEvent* event) {
    QsciScintilla::paintEvent(event);
    if (!backgroundShown_)
        return;
    // Multiplying keeps black text black and lets the picture show through the white paper,
    // as if it lay behind the text.
    QPainter painter(viewport());
    painter.setCompositionMode(QPainter::CompositionMode_Multiply);
    QRect place(QPoint(0, 0), background_.size());
    place.moveCenter(viewport()->rect().center());
    painter.drawImage(place.topLeft(), background_);
}

QByteArray TTextPane::fromMimeData(const QMimeData* source, bool& rectangular) const {
    // Called as a paste or a drop begins, before the text goes in at the caret.
    if (source && source->hasText())
        const_cast<TTextPane*>(this)->widenFor(source->text());
    QByteArray bytes = QsciScintilla::fromMimeData(source, rectangular);
    bytes.replace('\t', "   "); // tab characters are never stored
    return bytes;
}

void TTextPane::dragEnterEvent(QDragEnterEvent* event) {
    // Before the drop position is taken, so that it counts in the document's final bytes.
    if (event->mimeData() && event->mimeData()->hasText())
        widenFor(event->mimeData()->text());
    QsciScintilla::dragEnterEvent(event);
}

void TTextPane::inputMethodEvent(QInputMethodEvent* event) {
    widenFor(event->commitString() + event->preeditString());
    QsciScintilla::inputMethodEvent(event);
}

void TTextPane::widenFor(const QString& incoming) {
    if (utf8_ ||
        std::all_of(incoming.begin(), incoming.end(), [](QChar c) { return c.unicode() <= 0xFF; }))
        return;
    // Positions count bytes: in UTF-8 every byte from 0x80 on becomes two.
    const auto characters = [this](long position) {
        return SendScintilla(SCI_COUNTCHARACTERS, 0L, position);
    };
    const long caret = characters(SendScintilla(SCI_GETCURRENTPOS));
    const long anchor = characters(SendScintilla(SCI_GETANCHOR));
    const long firstVisible = firstVisibleLine();
    const long length = SendScintilla(SCI_GETLENGTH);
    const auto* bytes = static_cast<const char*>(SendScintillaPtrResult(SCI_GETCHARACTERPOINTER));
    std::vector<long> placeholders; // the line of each long line's placeholder
    for (const LongLine& longLine : longLines_)
        placeholders.push_back(SendScintilla(SCI_MARKERLINEFROMHANDLE, longLine.handle));
    const std::string widened = ToUtf8(std::string_view(bytes, static_cast<size_t>(length)));
    putDocument([&widened](const DocumentText::Sink& sink) { sink(widened); }, widened.size(),
                true);
    useEncoding(true);
    // The placeholders are ASCII and keep their places; the lines beside them become UTF-8 with
    // the document.
    SendScintilla(SCI_MARKERDELETEALL, kLongLineMarker);
    for (size_t k = 0; k < longLines_.size(); ++k) {
        longLines_[k].text = ToUtf8(longLines_[k].text);
        if (placeholders[k] >= 0)
            markPlaceholder(longLines_[k], static_cast<size_t>(placeholders[k]));
    }
    widened_ = true;
    emit textChanged();
    emit linesChanged();
    const auto position = [this](long character) {
        return SendScintilla(SCI_POSITIONRELATIVE, 0L, character);
    };
    SendScintilla(SCI_SETSEL, position(anchor), position(caret));
    setFirstVisibleLine(static_cast<int>(firstVisible));
}

DocumentText::LongLines TTextPane::putBeside(std::vector<LongLine>& lines,
                                             std::vector<size_t>& placeholders, bool& utf8) const {
    return {kLongLine, [&lines, &placeholders, &utf8](size_t index, std::string&& text) {
                utf8 = utf8 && IsValidUtf8(text);
                std::string placeholder = placeholderFor(text.size());
                lines.push_back({0, std::move(text)});
                placeholders.push_back(index);
                return placeholder;
            }};
}

void TTextPane::replaceContent(const MakeDocument& make, size_t sizeHint, bool undoable,
                               std::string_view source,
                               const std::function<void(std::string_view)>& alongside) {
    std::vector<LongLine> longLines;
    std::vector<size_t> placeholders; // the lines that hold one
    bool longUtf8 = true;
    const DocumentText::LongLines beside = putBeside(longLines, placeholders, longUtf8);
    SendScintilla(SCI_MARKERDELETEALL, kLongLineMarker);
    longLines_.clear();
    const auto fill = [&] {
        putDocument([&](const DocumentText::Sink& sink) { make(sink, beside); }, sizeHint,
                    undoable);
    };
    // Splitting bytes at ASCII bytes, or changing those, keeps every sequence of the others:
    // the source is UTF-8 exactly when the document and the long lines are.
    bool utf8 = false;
    const auto checkSource = [&] {
        utf8 = IsValidUtf8(source);
        if (alongside)
            alongside(source);
    };
    if (source.empty() && !alongside) {
        fill();
        utf8 = longUtf8 && IsValidUtf8(Document());
    } else if (source.size() < kParallelBytes) {
        fill();
        checkSource();
    } else {
        RunInParallel(fill, checkSource);
    }
    contentReplaced(utf8, std::move(longLines), placeholders);
}

void TTextPane::contentReplaced(bool utf8, std::vector<LongLine>&& longLines,
                                const std::vector<size_t>& placeholders) {
    useEncoding(utf8);
    if (!longLines.empty()) {
        for (size_t k = 0; k < longLines.size(); ++k)
            markPlaceholder(longLines[k], placeholders[k]);
        longLines_ = std::move(longLines);
        // Steps back would bring placeholders without their lines.
        SendScintilla(SCI_EMPTYUNDOBUFFER);
    }
    emit textChanged();
    emit linesChanged();
    emit DocumentReplaced();
}

bool TTextPane::TakesGrowingText() const {
    return SendScintilla(SCI_GETLENGTH) == 0 && SendScintilla(SCI_CANUNDO) == 0;
}

// The document fills as putDocument fills it for SetText on an empty pane: unannounced, without
// undo steps, through DocumentText; only it takes the lines in several goes.
TTextPane::GrowingText::GrowingText(TTextPane& pane)
    : pane_(pane), mask_(pane.SendScintilla(SCI_GETMODEVENTMASK)) {
    pane_.SendScintilla(SCI_SETMODEVENTMASK, 0UL);
    pane_.SendScintilla(SCI_SETUNDOCOLLECTION, 0UL);
    pane_.SendScintilla(SCI_MARKERDELETEALL, kLongLineMarker);
    pane_.longLines_.clear();
    pane_.SendScintilla(SCI_CLEARALL);
    document_.emplace(
        [this](std::string_view piece) {
            pane_.SendScintilla(SCI_APPENDTEXT, static_cast<unsigned long>(piece.size()),
                                piece.data());
            return true;
        },
        pane_.putBeside(longLines_, placeholders_, longUtf8_));
}

TTextPane::GrowingText::~GrowingText() {
    if (finished_)
        return;
    pane_.SendScintilla(SCI_CLEARALL); // the pane is empty, as it was
    restore();
}

void TTextPane::GrowingText::restore() {
    pane_.SendScintilla(SCI_EMPTYUNDOBUFFER);
    pane_.SendScintilla(SCI_SETUNDOCOLLECTION, 1UL);
    pane_.SendScintilla(SCI_SETMODEVENTMASK, static_cast<unsigned long>(mask_));
}

void TTextPane::GrowingText::Take(std::string_view soFar, size_t expected) {
    if (!allocated_) {
        pane_.SendScintilla(SCI_ALLOCATE, static_cast<unsigned long>(expected) + 1);
        allocated_ = true;
    }
    addLines(soFar);
}

// The text so far ends with a whole line: the next bytes after it are its line break.
void TTextPane::GrowingText::addLines(std::string_view text) {
    size_t pos = taken_ == 0 ? 0 : taken_ + kLineBreak.size();
    std::string_view line;
    while (NextLine(text, pos, line))
        document_->AddLine(line);
    taken_ = std::max(taken_, text.size());
}

void TTextPane::GrowingText::Finish(std::string_view text,
                                    const std::function<void(std::string_view)>& alongside,
                                    const std::function<void()>& meanwhile) {
    if (!allocated_) {
        pane_.SendScintilla(SCI_ALLOCATE, static_cast<unsigned long>(text.size()) + 1);
        allocated_ = true;
    }
    const auto rest = [&] {
        addLines(text);
        document_->Finish();
        if (meanwhile)
            meanwhile();
    };
    // As for SetText, the source decides the encoding (see replaceContent).
    bool utf8 = false;
    const auto check = [&] {
        utf8 = IsValidUtf8(text);
        if (alongside)
            alongside(text);
    };
    if (text.size() < kParallelBytes) {
        rest();
        check();
    } else {
        RunInParallel(rest, check);
    }
    finished_ = true;
    restore();
    pane_.contentReplaced(utf8, std::move(longLines_), placeholders_);
    pane_.moveCaretWithinLine(0, 0);
    pane_.setFirstVisibleLine(0);
}

void TTextPane::markPlaceholder(LongLine& longLine, size_t line) {
    longLine.handle = static_cast<int>(SendScintilla(
        SCI_MARKERADD, static_cast<unsigned long>(line), static_cast<long>(kLongLineMarker)));
    const long start = SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(line));
    const long end = SendScintilla(SCI_GETLINEENDPOSITION, static_cast<unsigned long>(line));
    SendScintilla(SCI_SETINDICATORCURRENT, static_cast<unsigned long>(kLongLineIndicator));
    SendScintilla(SCI_INDICATORFILLRANGE, static_cast<unsigned long>(start), end - start);
}

void TTextPane::putDocument(const std::function<void(const DocumentText::Sink&)>& make,
                            size_t sizeHint, bool undoable) {
    // The editor hands the text of every change it announces to the widget library's
    // accessibility layer, which makes a UTF-16 copy of it and counts the characters before it:
    // for a large text a copy twice its size, and time growing with the square of the number of
    // pieces. The replacement goes unannounced (a change is announced when any bit of its kind
    // is in the mask, so the mask is emptied); replaceContent gives the signals listeners need.
    // The mask and the undo collection are restored however the replacement ends.
    struct Quiet {
        TTextPane& pane;
        long mask;
        bool undoable;
        ~Quiet() {
            if (!undoable) {
                pane.SendScintilla(SCI_EMPTYUNDOBUFFER);
                pane.SendScintilla(SCI_SETUNDOCOLLECTION, 1UL);
            }
            pane.SendScintilla(SCI_SETMODEVENTMASK, static_cast<unsigned long>(mask));
        }
    };
    const Quiet quiet{*this, SendScintilla(SCI_GETMODEVENTMASK), undoable};
    SendScintilla(SCI_SETMODEVENTMASK, 0UL);
    if (!undoable)
        SendScintilla(SCI_SETUNDOCOLLECTION, 0UL);
    SendScintilla(SCI_CLEARALL);
    SendScintilla(SCI_ALLOCATE, static_cast<unsigned long>(sizeHint) + 1);
    make([this](std::string_view piece) {
        SendScintilla(SCI_APPENDTEXT, static_cast<unsigned long>(piece.size()), piece.data());
        return true;
    });
}

void TTextPane::useEncoding(bool utf8) {
    if (!utf8)
        widened_ = false; // Latin-1 again
    if (utf8 == utf8_)
        return;
    setUtf8(utf8);
    utf8_ = utf8;
    // Steps recorded under the other encoding would come back shown wrongly.
    SendScintilla(SCI_EMPTYUNDOBUFFER);
}

void TTextPane::updateMarginWidth() {
    const int rows = std::max(1, lines());
    const int digits = static_cast<int>(std::to_string(rows).size());
    setMarginWidth(0, QString(digits + 1, QLatin1Char('9')));
}

void TTextPane::smartTab() {
    if (hasSelectedText())
        removeSelectedText();
    const int line = CaretLine();
    const int column = CaretColumn();
    int target = -1;
    for (int above = line - 1; above >= 0 && target < 0; --above) {
        const long start = SendScintilla(SCI_POSITIONFROMLINE, above);
        const long end = SendScintilla(SCI_GETLINEENDPOSITION, above);
        bool hasText = false;
        for (long p = start; p < end; p = SendScintilla(SCI_POSITIONAFTER, p)) {
            const char c = static_cast<char>(SendScintilla(SCI_GETCHARAT, p));
            if (c == ' ')
                continue;
            hasText = true;
            const bool wordStart =
                p == start || static_cast<char>(SendScintilla(SCI_GETCHARAT, p - 1)) == ' ';
            if (wordStart && SendScintilla(SCI_GETCOLUMN, p) > column) {
                target = static_cast<int>(SendScintilla(SCI_GETCOLUMN, p));
                break;
            }
        }
        if (hasText)
            break; // only the nearest line with text counts
    }
    if (target < 0)
        target =
            column < kFirstTabStop ? kFirstTabStop : (column / kTabStopStep + 1) * kTabStopStep;
    InsertAtCaret(std::string(static_cast<size_t>(target - column), ' '));
}

void TTextPane::shiftSelectedLines(bool in) {
    const long selStart = SendScintilla(SCI_GETSELECTIONSTART);
    const long selEnd = SendScintilla(SCI_GETSELECTIONEND);
    const long first = SendScintilla(SCI_LINEFROMPOSITION, selStart);
    long last = SendScintilla(SCI_LINEFROMPOSITION, selEnd);
    if (last > first && SendScintilla(SCI_POSITIONFROMLINE, last) == selEnd)
        --last; // a selection ending at a line's start leaves that line alone
    beginUndoAction();
    for (long l = first; l <= last; ++l) {
        const long start = SendScintilla(SCI_POSITIONFROMLINE, l);
        if (in) {
            SendScintilla(SCI_INSERTTEXT, static_cast<uintptr_t>(start), " ");
        } else if (SendScintilla(SCI_GETCHARAT, start) == ' ') {
            SendScintilla(SCI_DELETERANGE, start, 1L);
        }
    }
    endUndoAction();
    SendScintilla(SCI_SETSEL, SendScintilla(SCI_POSITIONFROMLINE, first),
                  SendScintilla(SCI_GETLINEENDPOSITION, last));
}

void TTextPane::moveCaretWithinLine(int line, int column) {
    SendScintilla(SCI_GOTOPOS, SendScintilla(SCI_FINDCOLUMN, line, static_cast<long>(column)));
}

} // namespace settree
