// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>
#include <QHelpEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolTip>
#include <QtTest>
#include <string>
#include <vector>

#include "app/tform1.h"
#include "model/feedback.h"
#include "model/flynode.h"
#include "textpane/gamsmarks.h"
#include "textpane/textpanecommands.h"
#include "textpane/ttextpane.h"
#include "windowtestsupport.h"

using namespace settree;

namespace {

const std::string k64(64, 'B');

// Normalised element text with a problem on lines 0, 1 and 3 (a name of 64 bytes, a control
// character in a description, a repeat in other letter case) and none on line 2.
const TextLines kLines = {
    "\"" + k64 + "\" \"too long\"",
    "   \"DEU\" \"Ger\x01many\"",
    "\"ASI\"",
    "*! \"deu\"",
};

struct Fixture {
    TTextPane pane;
    CollectingFeedback feedback;
    TFlyNodes tree;
    TextPaneCommands commands{pane, feedback, tree};
    GamsMarks& marks = *commands.Marks;

    explicit Fixture(const TextLines& lines = kLines) {
        pane.resize(600, 400);
        pane.SetLines(lines);
        commands.Refresh();
        marks.FinishMarking();
    }
    long position(int line, int column) const {
        return pane.SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, line) + column;
    }
    long indicator(int which, long position) const {
        return pane.SendScintilla(QsciScintillaBase::SCI_INDICATORVALUEAT, which, position);
    }
    long markers(int line) const {
        return pane.SendScintilla(QsciScintillaBase::SCI_MARKERGET, line);
    }
    long caret() const { return pane.SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS); }
};

constexpr long kWarningBit = 1L << GamsMarks::kWarningMarker;
constexpr long kNoteBit = 1L << GamsMarks::kNoteMarker;

} // namespace

class GamsMarksTest : public QObject {
    Q_OBJECT

private slots:
    void refreshMarksNameDescriptionAndMargin();
    void reasonsInToolTips();
    void nextMarkFromTheCaretAndAround();
    void marksMoveWithEditsAndTheNextCheckReplacesThem();
    void largeTextIsMarkedFromTheEventLoop();
    void checkMadeWithTheTreeHoldsOnlyForItsText();
    void textShownWholeIsMarkedAsItsDocument();
    void windowStatusBarCountsAndGoesToNext();
};

void GamsMarksTest::refreshMarksNameDescriptionAndMargin() {
    Fixture f;
    QCOMPARE(f.pane.Lines(), kLines); // the text was normal already: marking changes no byte
    QCOMPARE(f.marks.Warnings(), 2);
    QCOMPARE(f.marks.Notes(), 1);
    QCOMPARE(f.marks.Summary(), QStringLiteral("GAMS: 2 warnings, 1 note"));

    // The underline covers the name or the description it is about, and nothing else.
    const int warning = GamsMarks::kWarningIndicator;
    const int note = GamsMarks::kNoteIndicator;
    QCOMPARE(f.indicator(warning, f.position(0, 0)), 0L); // the opening quote
    QVERIFY(f.indicator(warning, f.position(0, 1)) != 0);
    QVERIFY(f.indicator(warning, f.position(0, 64)) != 0);
    QCOMPARE(f.indicator(warning, f.position(0, 65)), 0L);
    QCOMPARE(f.indicator(warning, f.position(1, 4)), 0L);  // DEU is fine
    QVERIFY(f.indicator(warning, f.position(1, 10)) != 0); // Ger\x01many
    QVERIFY(f.indicator(note, f.position(3, 4)) != 0);
    QCOMPARE(f.indicator(warning, f.position(3, 4)), 0L);
    for (int column = 0; column < 5; ++column) {
        QCOMPARE(f.indicator(warning, f.position(2, column)), 0L);
        QCOMPARE(f.indicator(note, f.position(2, column)), 0L);
    }
    QCOMPARE(f.markers(0), kWarningBit);
    QCOMPARE(f.markers(1), kWarningBit);
    QCOMPARE(f.markers(2), 0L);
    QCOMPARE(f.markers(3), kNoteBit);
    QVERIFY(f.pane.marginWidth(GamsMarks::kSymbolMargin) > 0);
}

void GamsMarksTest::reasonsInToolTips() {
    Fixture f;
    f.pane.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.pane));
    QCOMPARE(
        f.marks.ReasonsAt(f.position(0, 10)),
        QStringLiteral("GAMS warning: its name is 64 bytes long; a GAMS label has at most 63"));
    QCOMPARE(f.marks.ReasonsOnLine(3),
             QStringLiteral("GAMS note: GAMS shows it as 'DEU', its first spelling (line 2)"));
    QCOMPARE(f.marks.ReasonsOnLine(2), QString());

    // The pane shows them over the underline and over the margin symbol.
    const auto tipAt = [&](QPoint point) {
        QHelpEvent help(QEvent::ToolTip, point, f.pane.viewport()->mapToGlobal(point));
        QApplication::sendEvent(f.pane.viewport(), &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    const long namePosition = f.position(1, 10);
    const QPoint overName(static_cast<int>(f.pane.SendScintilla(
                              QsciScintillaBase::SCI_POINTXFROMPOSITION, 0UL, namePosition)) +
                              2,
                          static_cast<int>(f.pane.SendScintilla(
                              QsciScintillaBase::SCI_POINTYFROMPOSITION, 0UL, namePosition)) +
                              4);
    QVERIFY(tipAt(overName).contains(QStringLiteral("its description holds a control character")));
    const QPoint overMargin(f.pane.marginWidth(0) + 4,
                            static_cast<int>(f.pane.SendScintilla(
                                QsciScintillaBase::SCI_POINTYFROMPOSITION, 0UL, f.position(3, 0))) +
                                4);
    QVERIFY(tipAt(overMargin).startsWith(QStringLiteral("GAMS note:")));
    const QPoint overCleanLine(
        overName.x(), static_cast<int>(f.pane.SendScintilla(
                          QsciScintillaBase::SCI_POINTYFROMPOSITION, 0UL, f.position(2, 0))) +
                          4);
    tipAt(overCleanLine);
    QTRY_VERIFY(!QToolTip::isVisible()); // a tip goes after a moment
}

void GamsMarksTest::nextMarkFromTheCaretAndAround() {
    Fixture f;
    f.pane.SendScintilla(QsciScintillaBase::SCI_GOTOPOS, 0L);
    const std::vector<long> expected = {f.position(0, 1), f.position(1, 10), f.position(3, 4),
                                        f.position(0, 1)};
    for (const long position : expected) {
        QVERIFY(f.marks.GoToNext());
        QCOMPARE(f.caret(), position);
    }
    // From inside a mark the next one is the one after it.
    f.pane.SendScintilla(QsciScintillaBase::SCI_GOTOPOS, f.position(1, 12));
    QVERIFY(f.marks.GoToNext());
    QCOMPARE(f.caret(), f.position(3, 4));

    Fixture clean({"\"A\"", "   \"B\""});
    QCOMPARE(clean.marks.Summary(), QString());
    QVERIFY(!clean.marks.GoToNext());
    QCOMPARE(clean.pane.marginWidth(GamsMarks::kSymbolMargin), 0);
}

void GamsMarksTest::marksMoveWithEditsAndTheNextCheckReplacesThem() {
    Fixture f;
    QSignalSpy summaries(&f.marks, &GamsMarks::SummaryChanged);
    f.pane.SendScintilla(QsciScintillaBase::SCI_GOTOPOS, 0L);
    f.pane.InsertAtCaret("\"NEW\"\n");
    QCOMPARE(f.markers(0), 0L);
    QCOMPARE(f.markers(1), kWarningBit);
    QVERIFY(f.indicator(GamsMarks::kWarningIndicator, f.position(1, 1)) != 0);
    QVERIFY(f.marks.ReasonsAt(f.position(2, 10)).contains(QStringLiteral("control character")));

    // The user shortens the long name and refreshes: its marks go, the others stay.
    TextLines lines = f.pane.Lines();
    lines[1] = "\"SHORT\" \"fixed\"";
    f.pane.SetLines(lines);
    f.commands.Refresh();
    f.marks.FinishMarking();
    QCOMPARE(f.marks.Summary(), QStringLiteral("GAMS: 1 warning, 1 note"));
    QCOMPARE(f.markers(1), 0L);
    QCOMPARE(f.indicator(GamsMarks::kWarningIndicator, f.position(1, 1)), 0L);
    QCOMPARE(f.markers(2), kWarningBit);
    QCOMPARE(summaries.last().at(0).toString(), QStringLiteral("GAMS: 1 warning, 1 note"));

    // Text that replaces the whole text takes the marks along, until the next check.
    f.pane.SetLines({"\"ONLY\""});
    QCOMPARE(f.marks.Summary(), QString());
    QCOMPARE(f.markers(0), 0L);
    QCOMPARE(summaries.last().at(0).toString(), QString());
    f.pane.SetLines(lines);
    f.commands.Refresh();
    QCOMPARE(f.marks.Summary(), QStringLiteral("GAMS: 1 warning, 1 note"));

    f.marks.Clear();
    QCOMPARE(f.markers(2), 0L);
    QCOMPARE(f.marks.ReasonsOnLine(2), QString());
    QCOMPARE(summaries.last().at(0).toString(), QString());
}

void GamsMarksTest::largeTextIsMarkedFromTheEventLoop() {
    constexpr int kLines = 100000;
    TextLines lines;
    lines.reserve(kLines);
    for (int i = 0; i < kLines; ++i)
        lines.push_back("\"" + std::to_string(i) + k64 + "\"");
    TTextPane pane;
    pane.SetLines(lines);
    GamsMarks marks(pane);
    marks.Check();
    // The count is there at once; the marks come slice by slice while events are handled.
    QCOMPARE(marks.Warnings(), kLines);
    QCOMPARE(marks.Summary(), QStringLiteral("GAMS: %1 warnings").arg(QLocale().toString(kLines)));
    QTRY_VERIFY_WITH_TIMEOUT(marks.MarkingDone(), 300000);
    for (const long line : {0L, static_cast<long>(kLines / 2), static_cast<long>(kLines - 1)})
        QCOMPARE(pane.SendScintilla(QsciScintillaBase::SCI_MARKERGET, line), kWarningBit);
}

void GamsMarksTest::checkMadeWithTheTreeHoldsOnlyForItsText() {
    // A large normal text is checked while its tree is built: the marks are those of a check
    // made afterwards.
    TextLines lines;
    for (int i = 0; i < 30000; ++i)
        lines.push_back(i % 2 ? "   \"" + std::to_string(i) + k64 + "\""
                              : "\"E" + std::to_string(i) + "\"");
    Fixture f(lines);
    QVERIFY(f.pane.Document().size() > (size_t{1} << 20));
    QCOMPARE(f.marks.Warnings(), 15000);
    QCOMPARE(f.markers(1), kWarningBit);
    QCOMPARE(f.markers(2), 0L);
    f.marks.Check();
    QCOMPARE(f.marks.Warnings(), 15000);

    // A check kept for the next Check is dropped by any change of the text: typed, deleted or
    // the whole text replaced.
    f.marks.Prepare(GamsMarks::Find(f.pane.Document()));
    f.pane.SendScintilla(QsciScintillaBase::SCI_GOTOLINE, 1L);
    f.pane.SendScintilla(QsciScintillaBase::SCI_LINEDELETE);
    f.marks.Check();
    QCOMPARE(f.marks.Warnings(), 14999);
    f.marks.Prepare(GamsMarks::Find(f.pane.Document()));
    f.pane.SetLines(kLines);
    f.marks.Check();
    QCOMPARE(f.marks.Warnings(), 2);
}

void GamsMarksTest::textShownWholeIsMarkedAsItsDocument() {
    // A large text given whole is checked while the pane takes it; the marks are those of a
    // check of the pane's document, also where the document is not the text's lines as they
    // stand: a tab became blanks, or a long line went beside the document.
    std::string plain;
    for (int i = 0; i < 30000; ++i)
        plain += i % 3 ? "   \"" + std::to_string(i) + k64 + "\" \"d\"\r\n"
                       : "\"E" + std::to_string(i) + "\" \"x\x01y\"\r\n";
    QVERIFY(plain.size() > (size_t{1} << 20));
    const std::string tabbed = "\"T\"\t\"x\x01y\"\r\n" + plain;
    const std::string longLine =
        "\"" + std::string(TTextPane::kLongLine + 10, 'L') + "\"\r\n" + plain;
    for (const std::string* text : std::vector<const std::string*>{&plain, &tabbed, &longLine}) {
        Fixture shown;
        shown.commands.ShowText(*text);
        shown.marks.Check();
        shown.marks.FinishMarking();
        Fixture checked;
        checked.pane.SetText(*text);
        checked.marks.Check();
        checked.marks.FinishMarking();
        QCOMPARE(shown.marks.Summary(), checked.marks.Summary());
        QVERIFY(shown.marks.Warnings() > 0);
        const long lines = checked.pane.SendScintilla(QsciScintillaBase::SCI_GETLINECOUNT);
        for (long line = 0; line < lines; line += 997) {
            QCOMPARE(shown.markers(static_cast<int>(line)),
                     checked.markers(static_cast<int>(line)));
            QCOMPARE(shown.marks.ReasonsOnLine(line), checked.marks.ReasonsOnLine(line));
            for (const int column : {4, 8, 80})
                QCOMPARE(shown.indicator(GamsMarks::kWarningIndicator,
                                         shown.position(static_cast<int>(line), column)),
                         checked.indicator(GamsMarks::kWarningIndicator,
                                           checked.position(static_cast<int>(line), column)));
        }
    }
}

void GamsMarksTest::windowStatusBarCountsAndGoesToNext() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const std::string file = dir.path().toStdString() + "/gams.tree";
    testing::writeFile(file,
                       "\"EUR\"\r\n   \"DEU\"\r\n\"ASI\"\r\n   \"deu\"\r\n   \"" + k64 + "\"");
    TForm1 window({file}, testing::subfolder(dir, "exe"));
    window.TextCommands()->Marks->FinishMarking();
    QPushButton* status = window.findChild<QPushButton*>(QStringLiteral("GamsStatus"));
    QVERIFY(status);
    QVERIFY(!status->isHidden());
    QCOMPARE(status->text(), QStringLiteral("GAMS: 1 warning, 1 note"));

    window.RxRichEdit1->SendScintilla(QsciScintillaBase::SCI_GOTOPOS, 0L);
    status->click();
    const long caret = window.RxRichEdit1->SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS);
    QCOMPARE(window.RxRichEdit1->SendScintilla(QsciScintillaBase::SCI_LINEFROMPOSITION, caret), 3L);

    // A tree rebuilt from a clean text leaves nothing to show.
    window.RxRichEdit1->SetLines({"\"EUR\"", "   \"DEU\""});
    window.Button2Click();
    QVERIFY(status->isHidden());
}

QTEST_MAIN(GamsMarksTest)
#include "gamsmarks_test.moc"
