// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <exception>
#include <functional>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <utility>
#include <vector>

#include "formats/elementtext.h"
#include "formats/writtentext.h"
#include "model/caption.h"
#include "model/feedback.h"
#include "model/flynode.h"
#include "model/textfile.h"
#include "textpane/gamsmarks.h"
#include "textpane/textpanecommands.h"
#include "textpane/ttextpane.h"

using namespace settree;

namespace {

QByteArray ReadBytes(const QString& path) {
    return QByteArray::fromStdString(ReadFileBytes(path.toStdString()));
}

void WriteBytes(const QString& path, const std::string& bytes) {
    WriteFileAtomically(path.toStdString(), bytes);
}

// Types text that the test library's key helpers cannot spell.
void TypeText(QWidget& widget, const QString& text) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
    QApplication::sendEvent(&widget, &press);
}

// A pane with its commands over a tree, the way the main window puts them together.
struct Fixture {
    TTextPane pane;
    CollectingFeedback feedback;
    TFlyNodes tree;
    TextPaneCommands commands{pane, feedback, tree};
    QStringList dialogsShown; // object names of the dialogs the commands asked for

    // Every dialog "returns" answer.
    explicit Fixture(QString answer = {}) {
        commands.ChooseFile = [this, answer](QFileDialog& dialog) {
            dialogsShown << dialog.objectName();
            return answer;
        };
        pane.OnMouseDown = [this](QMouseEvent* e) { commands.PaneMouseDown(e); };
        pane.OnKeyUp = [this](QKeyEvent* e) { commands.PaneKeyUp(e); };
        pane.resize(400, 300);
    }
};

std::vector<std::string> Roots(const TFlyNodes& tree) {
    std::vector<std::string> names;
    for (int i = 0; i < tree.Count(); ++i)
        names.emplace_back(tree.Root(i)->Text());
    return names;
}

} // namespace

Q_DECLARE_METATYPE(TextLines)

class TextPaneTest : public QObject {
    Q_OBJECT

private slots:
    void editorSettings();
    void tabsNeverStored();
    void noBuiltInContextMenu();
    void lineOperations();
    void unchangedLinesKeepUndoAndCaret();
    void wholeTextReplacement();
    void largeTextInPieces();
    void elementTextGrowsIntoAnEmptyPane();
    void writtenTextIntoAPaneWithText();
    void byteRoundTrip_data();
    void byteRoundTrip();
    void typedTextFollowsEncoding();
    void textPastLatin1IsNeverReplaced();
    void saveAsksBeforeUtf8();
    void longLinesAreKeptBesideTheEditor();
    void loadRules_data();
    void loadRules();
    void loadCommand();
    void loadFailureKeepsPaneAndTree();
    void saveCommand();
    void saveFailureLeavesPaneNormalised();
    void fileDialogs();
    void openDialogFilterIgnoresCase();
    void treeToClipboard();
    void uniqueElementList_data();
    void uniqueElementList();
    void popeditMenu();
    void altDigit_data();
    void altDigit();
    void altDigitNeedsNoMouseButton();
    void scrollBarsOnlyWhenNeeded();
    void backgroundPicture();
};

void TextPaneTest::editorSettings() {
    Fixture f;
    TTextPane& pane = f.pane;
    QCOMPARE(pane.font().family(), QStringLiteral("Courier New"));
    QCOMPARE(
        pane.SendScintilla(QsciScintillaBase::SCI_STYLEGETSIZE, QsciScintillaBase::STYLE_DEFAULT),
        10L);
    QVERIFY(pane.lexer() == nullptr);
    QVERIFY(!pane.isReadOnly());
    QVERIFY(pane.marginLineNumbers(0));

    // The number margin grows with the line count.
    const int narrow = pane.marginWidth(0);
    QVERIFY(narrow > 0);
    pane.SetLines(TextLines(12345, "x"));
    QVERIFY(pane.marginWidth(0) > narrow);
    pane.ClearLines();

    // Enter keeps the indentation; Backspace in leading blanks steps back one level.
    pane.show();
    pane.setFocus();
    QTest::keyClicks(&pane, QStringLiteral("      abc"));
    QTest::keyClick(&pane, Qt::Key_Return);
    QTest::keyClicks(&pane, QStringLiteral("x"));
    QCOMPARE(pane.Lines(), (TextLines{"      abc", "      x"}));
    QTest::keyClick(&pane, Qt::Key_Left);
    QTest::keyClick(&pane, Qt::Key_Backspace);
    QCOMPARE(pane.Lines(), (TextLines{"      abc", "   x"}));
}

void TextPaneTest::tabsNeverStored() {
    Fixture f;
    TTextPane& pane = f.pane;
    pane.show();
    pane.setFocus();

    // Tab key: blanks to the next word start of the line above, else to the next tab stop.
    pane.SetLines({"   a   bc", ""});
    pane.SetCaret(1, 0);
    QTest::keyClick(&pane, Qt::Key_Tab);
    QCOMPARE(pane.CaretColumn(), 3);
    QTest::keyClick(&pane, Qt::Key_Tab);
    QCOMPARE(pane.CaretColumn(), 7);
    QTest::keyClick(&pane, Qt::Key_Tab);
    QCOMPARE(pane.CaretColumn(), 8);
    QTest::keyClick(&pane, Qt::Key_Tab);
    QCOMPARE(pane.CaretColumn(), 16);
    QCOMPARE(pane.Line(1), std::string(16, ' '));

    // A block of lines moves one column per Tab and back with Shift+Tab.
    pane.SetLines({"a", "b", "c"});
    pane.setSelection(0, 0, 1, 1);
    QTest::keyClick(&pane, Qt::Key_Tab);
    QCOMPARE(pane.Lines(), (TextLines{" a", " b", "c"}));
    QTest::keyClick(&pane, Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(pane.Lines(), (TextLines{"a", "b", "c"}));

    // Tabs in text that enters the pane become three blanks.
    pane.SetLines({"\tA\tB"});
    QCOMPARE(pane.Lines(), (TextLines{"   A   B"}));
    pane.ClearLines();
    QGuiApplication::clipboard()->setText(QStringLiteral("x\ty"));
    pane.paste();
    QCOMPARE(pane.Lines(), (TextLines{"x   y"}));
    QVERIFY(!pane.text().contains(QLatin1Char('\t')));
}

void TextPaneTest::noBuiltInContextMenu() {
    Fixture f;
    f.pane.show();
    QWidget* popup = nullptr;
    // If a menu opened modally, this closes it so the test can fail instead of hanging.
    QTimer::singleShot(0, [&popup] {
        popup = QApplication::activePopupWidget();
        if (popup)
            popup->close();
    });
    QContextMenuEvent mouse(QContextMenuEvent::Mouse, QPoint(20, 20),
                            f.pane.viewport()->mapToGlobal(QPoint(20, 20)));
    QApplication::sendEvent(f.pane.viewport(), &mouse);
    QContextMenuEvent keyboard(QContextMenuEvent::Keyboard, QPoint(20, 20),
                               f.pane.mapToGlobal(QPoint(20, 20)));
    QApplication::sendEvent(&f.pane, &keyboard);
    QTest::qWait(10);
    QVERIFY(popup == nullptr);
    QVERIFY(QApplication::activePopupWidget() == nullptr);
}

void TextPaneTest::lineOperations() {
    TTextPane pane;
    QCOMPARE(pane.LineCount(), 0);
    pane.AddLine("");
    QCOMPARE(pane.LineCount(), 1); // one empty line is not an empty pane
    QCOMPARE(pane.Lines(), TextLines{""});
    pane.ReplaceLine(0, "a\tb");
    pane.AddLine("c");
    pane.AddLine("");
    QCOMPARE(pane.Lines(), (TextLines{"a   b", "c", ""}));
    QCOMPARE(pane.LineCount(), 3);
    QCOMPARE(pane.Line(1), std::string("c"));
    QCOMPARE(pane.Line(2), std::string());
    pane.DeleteLine(0);
    QCOMPARE(pane.Lines(), (TextLines{"c", ""}));
    pane.DeleteLine(1);
    QCOMPARE(pane.Lines(), TextLines{"c"});
    pane.SetWholeText("x\r\ny\rz\n");
    QCOMPARE(pane.Lines(), (TextLines{"x", "y", "z"}));
    pane.ClearLines();
    QCOMPARE(pane.LineCount(), 0);
    QVERIFY(pane.text().isEmpty());

    // A document that ends in a line break (Enter after the last line) has no extra line.
    pane.setText(QStringLiteral("a\n"));
    QCOMPARE(pane.LineCount(), 1);
    QCOMPARE(pane.Lines(), TextLines{"a"});
}

void TextPaneTest::unchangedLinesKeepUndoAndCaret() {
    Fixture f;
    TTextPane& pane = f.pane;
    pane.show();
    pane.setFocus();
    QTest::keyClicks(&pane, QStringLiteral("\"a\""));
    QTest::keyClick(&pane, Qt::Key_Left);
    QVERIFY(pane.isUndoAvailable());
    f.commands.Refresh(); // already normal: nothing to write back
    QVERIFY(pane.isUndoAvailable());
    QCOMPARE(pane.CaretColumn(), 2);
    QCOMPARE(Roots(f.tree).size(), size_t{1});

    // A change is written back as one step that undo takes back.
    pane.SetLines({"b", "\"a\""});
    pane.undo();
    QCOMPARE(pane.Lines(), TextLines{"\"a\""});
}

void TextPaneTest::wholeTextReplacement() {
    TTextPane pane;
    QSignalSpy replaced(&pane, &TTextPane::DocumentReplaced);
    // Into an empty pane with nothing to undo: no step, which could bring nothing back.
    pane.SetText("x\r\n\ty\r\n\r\n");
    QCOMPARE(pane.Lines(), (TextLines{"x", "   y", ""}));
    QCOMPARE(pane.Document(), std::string_view("x\n   y\n\n"));
    QVERIFY(!pane.isUndoAvailable());
    QCOMPARE(replaced.count(), 1);
    // The same lines again change nothing.
    pane.SetLines({"x", "   y", ""});
    QCOMPARE(replaced.count(), 1);
    // Other text is one step that undo takes back, and redo brings again.
    pane.SetText("\"a\"\r\n   \"b\"");
    QCOMPARE(pane.Lines(), (TextLines{"\"a\"", "   \"b\""}));
    QCOMPARE(replaced.count(), 2);
    pane.undo();
    QCOMPARE(pane.Lines(), (TextLines{"x", "   y", ""}));
    pane.redo();
    QCOMPARE(pane.Lines(), (TextLines{"\"a\"", "   \"b\""}));
    // An emptied pane whose history holds text keeps a step to bring it back.
    pane.ClearLines();
    pane.SetText("\"c\"");
    pane.undo();
    QCOMPARE(pane.Lines(), TextLines{});
    pane.undo();
    QCOMPARE(pane.Lines(), (TextLines{"\"a\"", "   \"b\""}));
}

// Texts of several pieces (see DocumentText) go into the pane whole, by every way in, and an
// element text that needs no normalisation builds the tree where it stands.
void TextPaneTest::largeTextInPieces() {
    std::string bytes;
    TextLines lines;
    for (int i = 0; bytes.size() < 3 * DocumentText::kPieceBytes; ++i) {
        lines.push_back(std::string(3 * (i % 4), ' ') + "\"E" + std::to_string(i) +
                        "\" \"Gr\xC3\xBC\xC3\x9F"
                        "e\"");
        bytes.append(lines.back()).append("\r\n");
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.tree"));
    WriteBytes(path, bytes);

    Fixture f;
    f.pane.LoadFromFile(path.toStdString());
    QVERIFY(f.pane.Lines() == lines);
    QVERIFY(f.pane.IsUtf8());
    f.commands.Refresh();
    QVERIFY(f.pane.Lines() == lines);
    QVERIFY(!f.pane.isUndoAvailable()); // normal already: the pane is left as it is
    QCOMPARE(Roots(f.tree).size(), (lines.size() + 3) / 4);

    TTextPane pane;
    pane.SetText(bytes);
    QVERIFY(pane.Lines() == lines);
    pane.SetLines({"a"});
    pane.SetLines(lines);
    QVERIFY(pane.Lines() == lines);
    pane.undo();
    QCOMPARE(pane.Lines(), TextLines{"a"});
}

namespace {

// Element text of a classification, enough lines for the text to be written beside its walk
// and taken in several goes, with a line changed to show what the pane does with it.
TextLines ClassificationLines(int count, int changedAt, const std::string& changed) {
    TextLines lines;
    for (int i = 0; i < count; ++i) {
        const int depth = i % 6;
        std::string line(3 * static_cast<size_t>(depth), ' ');
        line += "\"R" + std::to_string(i / 6);
        for (int level = 1; level <= depth; ++level)
            line += "." + std::to_string(level);
        line += "\" \"Regi\xC3\xB3n " + std::to_string(i) + " \xE2\x80\x93 \xC3\x96sterreich\"";
        lines.push_back(i == changedAt ? std::string(3 * static_cast<size_t>(depth), ' ') + changed
                                       : line);
    }
    lines.push_back("*! \"r0\""); // a repeat in other letter case, which the GAMS check marks
    return lines;
}

// What a pane shows and holds, for comparing two panes.
struct PaneState {
    std::string document;
    bool utf8;
    bool longLines;
    TextLines lines; // only where long lines are held beside the document
    long canUndo;
    long caret;
    long modEvents;
    QString marks;

    explicit PaneState(TTextPane& pane, GamsMarks& marks_)
        : document(pane.Document()), utf8(pane.IsUtf8()), longLines(pane.HoldsLongLines()),
          lines(longLines ? pane.Lines() : TextLines{}),
          canUndo(pane.SendScintilla(QsciScintillaBase::SCI_CANUNDO)),
          caret(pane.SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS)),
          modEvents(pane.SendScintilla(QsciScintillaBase::SCI_GETMODEVENTMASK)) {
        marks_.Check();
        marks_.FinishMarking();
        marks = marks_.Summary();
    }
    bool operator==(const PaneState& other) const {
        return document == other.document && utf8 == other.utf8 && longLines == other.longLines &&
               lines == other.lines && canUndo == other.canUndo && caret == other.caret &&
               modEvents == other.modEvents && marks == other.marks;
    }
};

} // namespace

void TextPaneTest::elementTextGrowsIntoAnEmptyPane() {
    // The pane takes the lines in while they are written, and ends as it ends after taking the
    // whole text: the same document, encoding, lines beside it, marks, caret and (no) undo step.
    // Where the writer normalises its text at the end, the pane takes the text anew.
    const std::string latin1 = "\"L\" \"Caf\xE9\""; // no UTF-8
    const std::string longLine = "\"LONG\" \"" + std::string(TTextPane::kLongLine, 'x') + "\"";
    const std::string tab = "\"T\" \"a\tb\"";       // normalised: blanks for the tab
    const std::string noName = "\"\" \"nameless\""; // normalised: not plain
    const std::vector<std::pair<int, std::string>> cases = {
        {40000, ""}, {300, ""}, {40000, latin1}, {40000, longLine}, {40000, tab}, {40000, noName}};
    for (const auto& [count, changed] : cases) {
        const TextLines lines =
            ClassificationLines(count, count / 2, changed.empty() ? "\"C\"" : changed);
        Fixture grown;
        CollectingFeedback feedback;
        TextLines parsed = lines;
        ParseElementText(parsed, grown.tree, feedback);
        QSignalSpy replaced(&grown.pane, &TTextPane::DocumentReplaced);
        QSignalSpy changedText(&grown.pane, &QsciScintilla::textChanged);
        grown.commands.ShowWrittenText([&](std::string& text, WrittenText* written) {
            QVERIFY(written != nullptr);
            WriteElementText(grown.tree, text, grown.feedback, nullptr, written);
        });
        QCOMPARE(replaced.count(), 1);
        QCOMPARE(changedText.count(), 1);

        Fixture shown;
        std::string text;
        WriteElementText(grown.tree, text, shown.feedback);
        shown.commands.ShowText(text);
        QVERIFY(!shown.pane.Document().empty());
        QVERIFY2(PaneState(grown.pane, *grown.commands.Marks) ==
                     PaneState(shown.pane, *shown.commands.Marks),
                 changed.substr(0, 20).c_str());
        QCOMPARE(grown.pane.IsUtf8(), changed != latin1);
        QCOMPARE(grown.pane.HoldsLongLines(), changed == longLine);
    }
}

void TextPaneTest::writtenTextIntoAPaneWithText() {
    // A pane holding text takes the whole text as one undo step, as ShowText puts it in.
    const TextLines lines = ClassificationLines(20000, -1, "");
    Fixture f;
    TextLines parsed = lines;
    ParseElementText(parsed, f.tree, f.feedback);
    f.pane.SetLines({"\"old\""});
    f.commands.ShowWrittenText([&](std::string& text, WrittenText* written) {
        QVERIFY(written == nullptr);
        WriteElementText(f.tree, text, f.feedback, nullptr, written);
    });
    QVERIFY(f.pane.Lines() == parsed);
    f.pane.undo();
    QCOMPARE(f.pane.Lines(), TextLines{"\"old\""});

    // A writer that fails half way leaves an empty pane empty, without undo steps, its
    // notifications on.
    Fixture failed;
    const long modEvents = failed.pane.SendScintilla(QsciScintillaBase::SCI_GETMODEVENTMASK);
    bool raised = false;
    try {
        failed.commands.ShowWrittenText([&](std::string& text, WrittenText* written) {
            WriteElementText(f.tree, text, f.feedback, nullptr, written);
            throw std::runtime_error("no more memory");
        });
    } catch (const std::runtime_error&) {
        raised = true;
    }
    QVERIFY(raised);
    QVERIFY(failed.pane.Document().empty());
    QVERIFY(!failed.pane.isUndoAvailable());
    QCOMPARE(failed.pane.SendScintilla(QsciScintillaBase::SCI_GETMODEVENTMASK), modEvents);
    QSignalSpy changedText(&failed.pane, &QsciScintilla::textChanged);
    failed.pane.InsertAtCaret("\"typed\"");
    QCOMPARE(changedText.count(), 1);
    QCOMPARE(failed.pane.Lines(), TextLines{"\"typed\""});
}

void TextPaneTest::byteRoundTrip_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("utf8");
    QTest::addColumn<QString>("shown");
    QTest::newRow("UTF-8") << QByteArray("\"Z\xC3\xBCrich\"\r\n   \"B\xC3\xA9l\"") << true
                           << QStringLiteral(u"\"Zürich\"\n   \"Bél\"");
    QTest::newRow("Latin-1") << QByteArray("\"Z\xFCrich\"\r\n   \"B\xE9l\"") << false
                             << QStringLiteral(u"\"Zürich\"\n   \"Bél\"");
    QTest::newRow("broken UTF-8 shown as Latin-1")
        << QByteArray("\"\xC3(\"") << false << QStringLiteral(u"\"Ã(\"");
}

void TextPaneTest::byteRoundTrip() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, utf8);
    QFETCH(QString, shown);
    QTemporaryDir dir;
    const QString in = dir.filePath(QStringLiteral("in.tree"));
    const QString out = dir.filePath(QStringLiteral("out.tree"));
    WriteBytes(in, bytes.toStdString());

    Fixture f(out);
    f.pane.LoadFromFile(in.toStdString());
    QCOMPARE(f.pane.IsUtf8(), utf8);
    QCOMPARE(f.pane.text(), shown);
    f.commands.Save();
    QCOMPARE(ReadBytes(out), bytes);
}

void TextPaneTest::typedTextFollowsEncoding() {
    Fixture f;
    TTextPane& pane = f.pane;
    pane.show();
    pane.setFocus();
    pane.SetLines({"a\xE9"}); // Latin-1
    QVERIFY(!pane.IsUtf8());
    pane.SetCaret(0, 2);
    TypeText(pane, QStringLiteral(u"ü"));
    QCOMPARE(pane.Lines(), TextLines{"a\xE9\xFC"});

    pane.SetLines({"a\xC3\xA9"}); // UTF-8
    QVERIFY(pane.IsUtf8());
    pane.SetCaret(0, 2);
    TypeText(pane, QStringLiteral(u"ü"));
    QCOMPARE(pane.Lines(), TextLines{"a\xC3\xA9\xC3\xBC"});
    QCOMPARE(pane.CaretColumn(), 3); // columns count characters, not bytes
}

void TextPaneTest::textPastLatin1IsNeverReplaced() {
    // Typed, pasted or dropped into a Latin-1 document, characters past Latin-1 make it UTF-8
    // instead of becoming "?"; the caret stays where the text went in.
    struct Entry {
        const char* how;
        std::function<void(TTextPane&)> enter;
    };
    const QString euro = QStringLiteral(u"Euro€ 日本 Ωmega");
    const Entry entries[] = {
        {"typed", [&](TTextPane& pane) { TypeText(pane, euro); }},
        {"pasted",
         [&](TTextPane& pane) {
             QGuiApplication::clipboard()->setText(euro);
             pane.paste();
         }},
    };
    for (const Entry& entry : entries) {
        Fixture f;
        TTextPane& pane = f.pane;
        pane.show();
        pane.setFocus();
        pane.SetLines({"\"caf\xE9\" x"}); // Latin-1
        QVERIFY(!pane.IsUtf8());
        pane.SetCaret(0, 8);
        entry.enter(pane);
        QVERIFY2(pane.IsUtf8() && pane.WidenedFromLatin1(), entry.how);
        QCOMPARE(pane.Lines(), TextLines{"\"caf\xC3\xA9\" x" + euro.toStdString()});
        QCOMPARE(pane.CaretColumn(), 8 + int(euro.size()));
        QVERIFY(!pane.text().contains(QLatin1Char('?')));
    }
}

void TextPaneTest::saveAsksBeforeUtf8() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.tree"));
    const std::string old = "\"old\"";

    // Past Latin-1: asked; a cancel writes nothing and leaves the pane as it was.
    Fixture f(path);
    QStringList asked;
    bool answer = false;
    f.commands.ConfirmUtf8 = [&](const QString& question) {
        asked << question;
        return answer;
    };
    f.pane.SetLines({"\"caf\xE9\"", "b"}); // Latin-1
    f.pane.SetCaret(1, 1);
    QGuiApplication::clipboard()->setText(QStringLiteral(u"€"));
    f.pane.paste();
    WriteBytes(path, old);
    f.commands.Save();
    QCOMPARE(asked.size(), 1);
    QVERIFY2(asked[0].contains(QStringLiteral("Latin-1")), qPrintable(asked[0]));
    QCOMPARE(ReadBytes(path), QByteArray::fromStdString(old));
    QCOMPARE(f.pane.Lines(), (TextLines{"\"caf\xC3\xA9\"", "b\xE2\x82\xAC"}));

    // Yes: the file is UTF-8, every character as typed; the pane's encoding is UTF-8 from now.
    answer = true;
    f.commands.Save();
    QCOMPARE(asked.size(), 2);
    QCOMPARE(ReadBytes(path), QByteArray("\"caf\xC3\xA9\"\r\n\"b\xE2\x82\xAC\""));
    QVERIFY(!f.pane.WidenedFromLatin1());

    // When every character fits in Latin-1 again, the file stays Latin-1 and nobody is asked.
    Fixture latin(path);
    latin.commands.ConfirmUtf8 = f.commands.ConfirmUtf8;
    latin.pane.SetLines({"\"caf\xE9\""});
    latin.pane.SetCaret(0, 6);
    TypeText(latin.pane, QStringLiteral(u"€"));
    QVERIFY(latin.pane.WidenedFromLatin1());
    latin.pane.undo();
    latin.commands.Save();
    QCOMPARE(asked.size(), 2);
    QCOMPARE(ReadBytes(path), QByteArray("\"caf\xE9\""));
    QVERIFY(!latin.pane.IsUtf8());

    // Lines in two encodings (a Latin-1 name beside a UTF-8 one): asked; yes makes all UTF-8.
    Fixture mixed(path);
    mixed.commands.ConfirmUtf8 = f.commands.ConfirmUtf8;
    mixed.pane.SetLines({"\"caf\xE9\"", "\"\xE2\x82\xAC\""});
    mixed.commands.Save();
    QCOMPARE(asked.size(), 3);
    QVERIFY2(asked[2].contains(QStringLiteral("two encodings")), qPrintable(asked[2]));
    QCOMPARE(ReadBytes(path), QByteArray("\"caf\xC3\xA9\"\r\n\"\xE2\x82\xAC\""));
}

void TextPaneTest::longLinesAreKeptBesideTheEditor() {
    // A line the editor would take minutes to lay out is shown as a placeholder that cannot be
    // edited; the pane's lines and the saved file hold it whole, wherever lines come or go.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("long.tree"));
    const std::string longLine = "   \"" + std::string(TTextPane::kLongLine, 'x') + "\"";
    WriteBytes(path, "\"A\"\r\n" + longLine + "\r\n\"B\"");
    Fixture f(path);
    TTextPane& pane = f.pane;
    pane.show();
    pane.setFocus();
    pane.LoadFromFile(path.toStdString());
    QCOMPARE(pane.Lines(), (TextLines{"\"A\"", longLine, "\"B\""}));
    QCOMPARE(pane.Line(1), longLine);
    QVERIFY(pane.text().size() < 200);
    QVERIFY(pane.text().contains(QStringLiteral("too long to show here")));

    // Typing in the placeholder changes nothing; lines typed above move it with them.
    pane.SetCaret(1, 5);
    TypeText(pane, QStringLiteral("y"));
    QCOMPARE(pane.Lines(), (TextLines{"\"A\"", longLine, "\"B\""}));
    pane.SetCaret(0, 3);
    QTest::keyClick(&pane, Qt::Key_Return);
    TypeText(pane, QStringLiteral("   \"C\""));
    QCOMPARE(pane.Lines(), (TextLines{"\"A\"", "   \"C\"", longLine, "\"B\""}));

    // Refresh builds its element; Save writes it whole; the same lines change nothing.
    f.commands.Refresh();
    QCOMPARE(f.tree.Root(0)->Child(1)->Text(), MakeCaption(std::string(TTextPane::kLongLine, 'x')));
    const QString out = dir.filePath(QStringLiteral("out.tree"));
    f.commands.SaveElementText(out.toStdString());
    QCOMPARE(ReadBytes(out),
             QByteArray::fromStdString("\"A\"\r\n   \"C\"\r\n" + longLine + "\r\n\"B\""));
    const TextLines before = pane.Lines();
    pane.SetLines(before);
    QCOMPARE(pane.Lines(), before);

    // A long line of the same length with other bytes shows the same placeholder, yet it is
    // another line; a whole text with long lines, put in by pieces, gives them back whole.
    TextLines changed = before;
    changed[2][10] = 'z';
    pane.SetLines(changed);
    QCOMPARE(pane.Lines(), changed);
    const std::string longer(3 * DocumentText::kPieceBytes + 7, 'w');
    pane.SetText("\"A\"\r\n   \"" + longer + "\"\r\n" + longLine);
    QCOMPARE(pane.Lines(), (TextLines{"\"A\"", "   \"" + longer + "\"", longLine}));
    QVERIFY(pane.text().size() < 300);
    pane.SetText("\"A\"\r\n" + longLine);
    QCOMPARE(pane.Lines(), (TextLines{"\"A\"", longLine}));
    pane.SetLines(before);
    QCOMPARE(pane.Lines(), before);

    // Deleting the placeholder's line deletes the line, and nothing else.
    pane.SetCaret(2, 0);
    pane.SendScintilla(QsciScintillaBase::SCI_LINEDELETE);
    QCOMPARE(pane.Lines(), (TextLines{"\"A\"", "   \"C\"", "\"B\""}));
}

void TextPaneTest::loadRules_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<TextLines>("lines");
    QTest::newRow("CR LF, CR and LF")
        << QByteArray("a\r\nb\rc\nd") << TextLines{"a", "b", "c", "d"};
    QTest::newRow("final line end adds no line") << QByteArray("a\r\nb\r\n") << TextLines{"a", "b"};
    QTest::newRow("blank line kept") << QByteArray("a\r\n\r\nb") << TextLines{"a", "", "b"};
    QTest::newRow("last line empty") << QByteArray("a\r\n\r\n") << TextLines{"a", ""};
    QTest::newRow("byte order mark left out")
        << QByteArray("\xEF\xBB\xBF\"a\"\r\nb") << TextLines{"\"a\"", "b"};
    QTest::newRow("tabs become three blanks")
        << QByteArray("\tx\t\"y\"") << TextLines{"   x   \"y\""};
    QTest::newRow("empty file") << QByteArray() << TextLines{};
}

void TextPaneTest::loadRules() {
    QFETCH(QByteArray, bytes);
    QFETCH(TextLines, lines);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("x.tree"));
    WriteBytes(path, bytes.toStdString());
    TTextPane pane;
    pane.SetLines({"old", "content"});
    pane.SetCaret(1, 3);
    pane.LoadFromFile(path.toStdString());
    QCOMPARE(pane.Lines(), lines);
    QCOMPARE(pane.LineCount(), int(lines.size()));
    QCOMPARE(pane.CaretLine(), 0);
    QCOMPARE(pane.CaretColumn(), 0);
    QVERIFY(!pane.isUndoAvailable()); // a loaded file starts a fresh history
}

void TextPaneTest::loadCommand() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("regions.tree"));
    WriteBytes(path, "world\r\n   Europe\r\n\r\n      Paris capital\r\n");

    Fixture f(path);
    f.pane.SetLines({"old"});
    f.commands.Load();
    QCOMPARE(f.dialogsShown, QStringList{QStringLiteral("OpenDialog1")});
    QCOMPARE(f.pane.Lines(), (TextLines{"\"world\"", "   \"Europe\"", "      \"Paris\" capital"}));
    QCOMPARE(f.pane.CaretLine(), 0);
    QCOMPARE(f.pane.CaretColumn(), 0);
    QCOMPARE(Roots(f.tree).size(), size_t{1});
    QCOMPARE(f.tree.NodeCount(), int64_t{3});
    QVERIFY(f.feedback.messages.empty());

    // Cancelling the dialog still rebuilds the tree from the pane, like Refresh.
    Fixture cancel;
    cancel.pane.SetLines({"a", "b"});
    cancel.commands.Load();
    QCOMPARE(cancel.pane.Lines(), (TextLines{"\"a\"", "\"b\""}));
    QCOMPARE(cancel.tree.NodeCount(), int64_t{2});
}

void TextPaneTest::loadFailureKeepsPaneAndTree() {
    // A missing file, a FIFO (refused at once: no writer ever comes), a file holding a NUL byte
    // and a UTF-16 file: the message names the file, and nothing changes.
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("missing.tree"));
    const QString fifo = dir.filePath(QStringLiteral("fifo.tree"));
    QVERIFY(::mkfifo(fifo.toLocal8Bit().constData(), 0644) == 0);
    const QString nul = dir.filePath(QStringLiteral("nul.tree"));
    WriteBytes(nul, std::string("\"a\"\r\n\"b\0\"", 9));
    const QString utf16 = dir.filePath(QStringLiteral("utf16.tree"));
    WriteBytes(utf16, std::string("\xFF\xFE\"\0a\0\"\0", 8));
    const std::pair<QString, QString> cases[] = {
        {missing, QStringLiteral("Cannot open file ") + missing},
        {fifo, QStringLiteral("Cannot open file ") + fifo},
        {nul, QStringLiteral("Cannot read file ") + nul +
                  QStringLiteral(": line 2: a NUL byte, which no text file holds")},
        {utf16, QStringLiteral("Cannot read file ") + utf16 +
                    QStringLiteral(": line 1: UTF-16 text; save the file as UTF-8")},
    };
    for (const auto& [file, message] : cases) {
        Fixture f(file);
        f.pane.SetLines({"b", "a"}); // not normalised: a parse would quote them
        f.tree.AddChild(nullptr, "kept");
        try {
            f.commands.Load();
            QFAIL("no error raised");
        } catch (const std::exception& error) {
            QCOMPARE(QString::fromUtf8(error.what()), message);
        }
        QCOMPARE(f.pane.Lines(), (TextLines{"b", "a"}));
        QCOMPARE(Roots(f.tree), std::vector<std::string>{"kept"});
    }
}

void TextPaneTest::saveCommand() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.tree"));
    WriteBytes(path, "old file content that is longer than the new one");
    Fixture f(path);
    f.pane.SetLines({"a", "", "   b desc", "A"});
    f.commands.Save();
    QCOMPARE(f.dialogsShown, QStringList{QStringLiteral("SaveDialog1")});
    const TextLines normalised{"\"a\"", "   \"b\" desc", "*!\"A\""};
    QCOMPARE(f.pane.Lines(), normalised);
    QCOMPARE(ReadBytes(path), QByteArray("\"a\"\r\n   \"b\" desc\r\n*!\"A\""));

    // Cancelling the dialog neither writes nor normalises.
    Fixture cancel;
    cancel.pane.SetLines({"x", ""});
    cancel.commands.Save();
    QCOMPARE(cancel.pane.Lines(), (TextLines{"x", ""}));
}

void TextPaneTest::saveFailureLeavesPaneNormalised() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("no/such/folder/out.tree"));
    Fixture f(path);
    f.pane.SetLines({"a", "", "a"});
    try {
        f.commands.Save();
        QFAIL("no error raised");
    } catch (const FileError& error) {
        QCOMPARE(QString::fromUtf8(error.what()), QStringLiteral("Cannot create file ") + path);
    }
    QCOMPARE(f.pane.Lines(), (TextLines{"\"a\"", "*!\"a\""}));
    QVERIFY(!QFile::exists(path));
}

void TextPaneTest::fileDialogs() {
    Fixture f;
    for (QFileDialog* dialog : {f.commands.OpenDialog1, f.commands.SaveDialog1}) {
        QVERIFY(dialog->testOption(QFileDialog::DontUseNativeDialog));
        QCOMPARE(dialog->defaultSuffix(), QStringLiteral("tree"));
        QCOMPARE(dialog->nameFilters(), (QStringList{QStringLiteral("GAMS *.tree (*.tree)"),
                                                     QStringLiteral("All files (*)")}));
        QVERIFY(dialog->testOption(QFileDialog::HideNameFilterDetails)); // shows "GAMS *.tree"
        QCOMPARE(dialog->fileMode(), QFileDialog::AnyFile);
    }
    QCOMPARE(f.commands.OpenDialog1->objectName(), QStringLiteral("OpenDialog1"));
    QCOMPARE(f.commands.OpenDialog1->acceptMode(), QFileDialog::AcceptOpen);
    QCOMPARE(f.commands.SaveDialog1->objectName(), QStringLiteral("SaveDialog1"));
    QCOMPARE(f.commands.SaveDialog1->acceptMode(), QFileDialog::AcceptSave);
    QVERIFY(f.commands.SaveDialog1->testOption(QFileDialog::DontConfirmOverwrite));
    QVERIFY(!f.commands.OpenDialog1->testOption(QFileDialog::DontConfirmOverwrite));
}

void TextPaneTest::openDialogFilterIgnoresCase() {
    QTemporaryDir dir;
    for (const char* name : {"a.tree", "B.TREE", "c.Tree", "d.txt", "e.tree.bak"})
        WriteBytes(dir.filePath(QString::fromLatin1(name)), "x");
    Fixture f;
    QFileDialog& dialog = *f.commands.OpenDialog1;
    dialog.setDirectory(dir.path());
    auto* model = dialog.findChild<QFileSystemModel*>();
    QVERIFY(model);
    const auto shown = [&] {
        QStringList names;
        const QModelIndex root = model->index(dir.path());
        for (int row = 0; row < model->rowCount(root); ++row) {
            const QModelIndex index = model->index(row, 0, root);
            if (model->flags(index) & Qt::ItemIsEnabled)
                names << index.data().toString();
        }
        names.sort();
        return names;
    };
    const QStringList trees{QStringLiteral("B.TREE"), QStringLiteral("a.tree"),
                            QStringLiteral("c.Tree")};
    QTRY_COMPARE(shown(), trees);
    dialog.selectNameFilter(QStringLiteral("All files (*)"));
    QTRY_COMPARE(shown().size(), 5);
}

void TextPaneTest::treeToClipboard() {
    Fixture f;
    f.pane.SetLines({"\"a\"", "   \"b\""});
    f.commands.SaveTreetoclipboard2->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("\"a\"\r\n   \"b\""));
    // The whole text stays selected, the caret at the end of the last line.
    QCOMPARE(f.pane.selectedText(), f.pane.text());
    QCOMPARE(f.pane.CaretLine(), 1);
    QCOMPARE(f.pane.CaretColumn(), 6);
    QCOMPARE(f.pane.Lines(), (TextLines{"\"a\"", "   \"b\""})); // nothing rebuilt

    f.pane.SetLines({"\"Z\xFC\""}); // Latin-1 bytes reach the clipboard as the pane shows them
    f.commands.CopyTreeToClipboard();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral(u"\"Zü\""));

    f.pane.ClearLines();
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    f.commands.CopyTreeToClipboard();
    QCOMPARE(QGuiApplication::clipboard()->text(), QString());
}

void TextPaneTest::uniqueElementList_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<TextLines>("lines");
    QTest::addColumn<QString>("expected");
    for (const char* locale : {"C", "en_US", "de_DE"}) {
        const auto row = [&](const char* name) {
            return &(QTest::addRow("%s %s", locale, name) << QString::fromLatin1(locale));
        };
        *row("example") << TextLines{"  b", "A", "a", ""} << QStringLiteral("\r\nA\r\nb\r\n");
        *row("indentation only") << TextLines{"   \"x\" d", "\"x\" d  "}
                                 << QStringLiteral("\"x\" d\r\n");
        *row("first spelling kept")
            << TextLines{"Abc", "ABC", "abc", "aBc"} << QStringLiteral("Abc\r\n");
        *row("marked line is its own entry")
            << TextLines{"\"a\"", "*!\"A\"", "   \"a\""} << QStringLiteral("\"a\"\r\n*!\"A\"\r\n");
        *row("empty pane") << TextLines{} << QString();
    }
    // The user's locale decides the order of accented letters.
    QTest::addRow("en_US accents")
        << QStringLiteral("en_US") << TextLines{"f", "\xC3\xA9", "e", "E"}
        << QStringLiteral(u"e\r\né\r\nf\r\n");
}

void TextPaneTest::uniqueElementList() {
    QFETCH(QString, locale);
    QFETCH(TextLines, lines);
    QFETCH(QString, expected);
    const QLocale before;
    QLocale::setDefault(QLocale(locale));
    Fixture f;
    f.pane.SetLines(lines);
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    f.commands.SaveUniqueElementListUELtoclipboard1->trigger();
    QLocale::setDefault(before);
    QCOMPARE(QGuiApplication::clipboard()->text(), expected);
    QCOMPARE(f.pane.Lines(), lines); // the pane is left as it was
}

void TextPaneTest::popeditMenu() {
    Fixture f;
    QMenu* menu = f.commands.Popedit;
    QCOMPARE(menu->objectName(), QStringLiteral("Popedit"));
    const QList<QAction*> items = menu->actions();
    QCOMPARE(items.size(), 3);
    const QStringList names{QStringLiteral("SavePCtoclipboard2"),
                            QStringLiteral("SaveTreetoclipboard2"),
                            QStringLiteral("SaveUniqueElementListUELtoclipboard1")};
    const QStringList texts{QStringLiteral("Save .PC to clipboard"),
                            QStringLiteral("Save .Tree to clipboard"),
                            QStringLiteral("Save Unique Element List (UEL) to clipboard")};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(items[i]->objectName(), names[i]);
        QCOMPARE(items[i]->text(), texts[i]);
    }

    int pcCopies = 0;
    items[0]->trigger(); // no hook supplied: nothing happens
    f.commands.CopyPCToClipboard = [&pcCopies] { ++pcCopies; };
    items[0]->trigger();
    QCOMPARE(pcCopies, 1);

    f.pane.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.pane));
    QTest::mousePress(f.pane.viewport(), Qt::LeftButton, {}, QPoint(60, 40));
    QTest::mouseRelease(f.pane.viewport(), Qt::LeftButton, {}, QPoint(60, 40));
    QVERIFY(!menu->isVisible());
    QTest::mousePress(f.pane.viewport(), Qt::RightButton, {}, QPoint(60, 40));
    QTRY_VERIFY(menu->isVisible());
    QCOMPARE(menu->pos(), f.pane.viewport()->mapToGlobal(QPoint(60, 40)));
    menu->close();
    QTest::mouseRelease(f.pane.viewport(), Qt::RightButton, {}, QPoint(60, 40));
}

void TextPaneTest::altDigit_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<int>("caret");
    const int alt = Qt::AltModifier;
    const int key1 = Qt::Key_1;
    QTest::newRow("Alt+1 on an empty line")
        << QByteArray() << 0 << key1 << alt << QByteArray("   ") << 3;
    QTest::newRow("Alt+2 inside a line") << QByteArray("abcdefgh") << 5 << int(Qt::Key_2) << alt
                                         << QByteArray("abcde      fgh") << 6;
    QTest::newRow("Alt+9") << QByteArray("x") << 0 << int(Qt::Key_9) << alt
                           << QByteArray(27, ' ') + "x" << 27;
    QTest::newRow("caret beyond the end")
        << QByteArray("ab") << 5 << key1 << alt << QByteArray("ab      ") << 3;
    const auto unchanged = [&](const char* name, int key, int modifiers) {
        QTest::newRow(name) << QByteArray("ab") << 1 << key << modifiers << QByteArray("ab") << 1;
    };
    unchanged("Ctrl+1", key1, Qt::ControlModifier);
    unchanged("Alt+Shift+1", key1, Qt::AltModifier | Qt::ShiftModifier);
    unchanged("Alt+Shift+1 as !", Qt::Key_Exclam, Qt::AltModifier | Qt::ShiftModifier);
    unchanged("Alt+Ctrl+1", key1, Qt::AltModifier | Qt::ControlModifier);
    unchanged("Alt+Meta+1", key1, Qt::AltModifier | Qt::MetaModifier);
    unchanged("Alt+0", Qt::Key_0, alt);
    unchanged("Alt and keypad 1", key1, Qt::AltModifier | Qt::KeypadModifier);
}

void TextPaneTest::altDigit() {
    QFETCH(QByteArray, line);
    QFETCH(int, column);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QByteArray, expected);
    QFETCH(int, caret);
    Fixture f;
    f.pane.show();
    f.pane.setFocus();
    f.pane.SetLines({"first", line.toStdString(), "last"});
    f.pane.SetCaret(1, column);
    QCOMPARE(f.pane.CaretColumn(), column);
    // Only the release acts; the press types nothing.
    QTest::keyPress(&f.pane, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(QByteArray::fromStdString(f.pane.Line(1)), line);
    QTest::keyRelease(&f.pane, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(f.pane.Lines(), (TextLines{"first", expected.toStdString(), "last"}));
    QCOMPARE(f.pane.CaretLine(), 1);
    QCOMPARE(f.pane.CaretColumn(), caret);
    if (expected != line) { // one undo step takes the whole insertion back
        f.pane.undo();
        QCOMPARE(QByteArray::fromStdString(f.pane.Line(1)), line);
    }
}

void TextPaneTest::altDigitNeedsNoMouseButton() {
    Fixture f;
    f.pane.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.pane));
    f.pane.SetLines({"ab"});
    f.pane.SetCaret(0, 0);
    QTest::mousePress(f.pane.viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    QTest::keyRelease(&f.pane, Qt::Key_1, Qt::AltModifier);
    QTest::mouseRelease(f.pane.viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(f.pane.Lines(), TextLines{"ab"});
    f.pane.SetCaret(0, 0); // the click moved it
    QTest::keyRelease(&f.pane, Qt::Key_1, Qt::AltModifier);
    QCOMPARE(f.pane.Lines(), TextLines{"   ab"});
}

void TextPaneTest::scrollBarsOnlyWhenNeeded() {
    Fixture f;
    f.pane.resize(300, 200);
    f.pane.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.pane));
    f.pane.SetLines({"short"});
    QTest::qWait(50);
    QVERIFY(!f.pane.verticalScrollBar()->isVisible());
    QVERIFY(!f.pane.horizontalScrollBar()->isVisible());
    f.pane.SetLines(TextLines(200, "x"));
    QTRY_VERIFY(f.pane.verticalScrollBar()->isVisible());
    QVERIFY(!f.pane.horizontalScrollBar()->isVisible());
    f.pane.SetLines({std::string(300, 'w')});
    QTRY_VERIFY(f.pane.horizontalScrollBar()->isVisible());
    QTRY_VERIFY(!f.pane.verticalScrollBar()->isVisible());
}

void TextPaneTest::backgroundPicture() {
    Fixture f;
    f.pane.resize(300, 300);
    f.pane.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.pane));
    QCOMPARE(f.pane.BackgroundPicture().size(), QSize(100, 133));
    QVERIFY(!f.pane.BackgroundShown());
    const QPoint centre = f.pane.viewport()->rect().center();
    const QPoint inViewport = f.pane.viewport()->mapTo(&f.pane, centre);
    QCOMPARE(f.pane.grab().toImage().pixelColor(inViewport), QColor(Qt::white));

    f.pane.ToggleBackground();
    QVERIFY(f.pane.BackgroundShown());
    const QColor shown = f.pane.grab().toImage().pixelColor(inViewport);
    QRect place(QPoint(0, 0), f.pane.BackgroundPicture().size());
    place.moveCenter(centre);
    QCOMPARE(shown, f.pane.BackgroundPicture().pixelColor(centre - place.topLeft()));
    QVERIFY(shown != QColor(Qt::white));
    // Outside the picture the paper stays white.
    QCOMPARE(f.pane.grab().toImage().pixelColor(f.pane.viewport()->mapTo(&f.pane, QPoint(5, 5)) +
                                                QPoint(f.pane.marginWidth(0), 0)),
             QColor(Qt::white));

    f.pane.ToggleBackground();
    QCOMPARE(f.pane.grab().toImage().pixelColor(inViewport), QColor(Qt::white));
}

QTEST_MAIN(TextPaneTest)
#include "textpane_test.moc"
