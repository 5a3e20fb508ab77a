// SPDX-License-Identifier: GPL-3.0-or-later
// What is not saved: the window's title marks it, and closing asks about it (never in an
// unattended run, and not when nothing is unsaved).
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "app/tform1.h"
#include "app/unsavedchanges.h"
#include "app/windowcloser.h"
#include "editing/treeeditcommands.h"
#include "model/textfile.h"
#include "textpane/ttextpane.h"
#include "view/trapidtree.h"
#include "windowtestsupport.h"

using namespace settree;
using namespace settree::testing;

class UnsavedChangesTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void titleMarksUnsavedWork();
    void closingAsks_data();
    void closingAsks();
    void closingWithoutChangesOrUnattended();
    void closingDuringWorkAsksWhenItEnds();

private:
    std::unique_ptr<TForm1> open(const std::vector<std::string>& arguments);
    QTemporaryDir dir_;
    std::string file_;
};

void UnsavedChangesTest::init() {
    file_ = dir_.path().toStdString() + "/regions.tree";
    writeFile(file_, "\"EUR\" \"Europe\"\r\n   \"DEU\"\r\n\"ASI\"");
}

std::unique_ptr<TForm1> UnsavedChangesTest::open(const std::vector<std::string>& arguments) {
    auto window = std::make_unique<TForm1>(arguments, dir_.path().toStdString() + "/");
    window->show();
    return window;
}

void UnsavedChangesTest::titleMarksUnsavedWork() {
    auto window = open({file_});
    TForm1& w = *window;
    const QString clean = QStringLiteral("regions.tree - Make a GAMS element tree - settree");
    QCOMPARE(w.windowTitle(), clean);

    // Typing marks the text; saving it clears the mark.
    w.RxRichEdit1->InsertAtCaret("\"NEW\"\r\n");
    QCOMPARE(w.windowTitle(), QLatin1Char('*') + clean);
    const std::string saved = dir_.path().toStdString() + "/saved.tree";
    w.RunFileDialog = [&](QFileDialog&) { return QString::fromStdString(saved); };
    QTest::mouseClick(w.Button3, Qt::LeftButton);
    QCOMPARE(w.windowTitle(), QStringLiteral("saved.tree - Make a GAMS element tree - settree"));

    // A change to the tree marks it; undoing it back to the saved state clears the mark.
    w.RapidTree4->SetSelected(w.RapidTree4->Items().Root(1));
    w.TreeCommands()->Delete();
    QVERIFY(w.windowTitle().startsWith(QLatin1Char('*')));
    w.TreeCommands()->Undo();
    QVERIFY(!w.windowTitle().startsWith(QLatin1Char('*')));
    w.TreeCommands()->Redo();
    QVERIFY(w.windowTitle().startsWith(QLatin1Char('*')));
    // Writing the tree into the text: the tree is in the text, the text as the tree wrote it.
    QTest::mouseClick(w.Button5, Qt::LeftButton);
    QVERIFY(!w.windowTitle().startsWith(QLatin1Char('*')));
}

void UnsavedChangesTest::closingAsks_data() {
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("treeOnly");
    QTest::addColumn<bool>("closed");
    QTest::addColumn<bool>("written");
    QTest::newRow("stay") << int(QMessageBox::Cancel) << false << false << false;
    QTest::newRow("close without saving") << int(QMessageBox::Discard) << false << true << false;
    QTest::newRow("save the text") << int(QMessageBox::Save) << false << true << true;
    QTest::newRow("save the tree's changes") << int(QMessageBox::Save) << true << true << true;
}

void UnsavedChangesTest::closingAsks() {
    QFETCH(int, answer);
    QFETCH(bool, treeOnly);
    QFETCH(bool, closed);
    QFETCH(bool, written);
    auto window = open({file_});
    TForm1& w = *window;
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    if (treeOnly) {
        w.RapidTree4->SetSelected(w.RapidTree4->Items().Root(1));
        w.TreeCommands()->Delete();
    } else {
        w.RxRichEdit1->InsertAtCaret("\"NEW\"\r\n");
    }
    QStringList asked;
    w.Unsaved()->Ask = [&](QMessageBox& box) {
        asked << box.text();
        return QMessageBox::StandardButton(answer);
    };
    const std::string saved = dir_.path().toStdString() + "/closing.tree";
    QFile::remove(QString::fromStdString(saved));
    w.RunFileDialog = [&](QFileDialog&) { return QString::fromStdString(saved); };
    w.close();
    QCOMPARE(asked.size(), 1);
    QCOMPARE(asked[0], treeOnly
                           ? QStringLiteral("The tree has changes that are neither saved "
                                            "as .PC nor in the element text.")
                           : QStringLiteral("The element text has changes that are not saved."));
    QCOMPARE(w.isVisible(), !closed);
    QCOMPARE(FileExists(saved), written);
    if (written && treeOnly)
        QCOMPARE(ReadFileBytes(saved), std::string("\"EUR\" \"Europe\"\r\n   \"DEU\""));
    if (written && !treeOnly)
        QVERIFY(ReadFileBytes(saved).find("\"NEW\"") != std::string::npos);
}

void UnsavedChangesTest::closingWithoutChangesOrUnattended() {
    int asked = 0;
    {
        auto window = open({file_});
        window->Unsaved()->Ask = [&](QMessageBox&) {
            ++asked;
            return QMessageBox::Cancel;
        };
        window->close();
        QVERIFY(!window->isVisible()); // nothing unsaved: closes at once

        // A save that is cancelled in its dialog keeps the window open.
        window->show();
        window->RxRichEdit1->InsertAtCaret("x");
        window->Unsaved()->Ask = [&](QMessageBox&) {
            ++asked;
            return QMessageBox::Save;
        };
        window->RunFileDialog = [](QFileDialog&) { return QString(); };
        window->close();
        QVERIFY(window->isVisible());
        QCOMPARE(asked, 1);
    }
    // An unattended run never asks, whatever is unsaved.
    TForm1 window({file_, "/quit"}, dir_.path().toStdString() + "/");
    window.RxRichEdit1->InsertAtCaret("x");
    QVERIFY(window.Unsaved()->TextChanged());
    window.Unsaved()->Ask = [&](QMessageBox&) {
        ++asked;
        return QMessageBox::Cancel;
    };
    QVERIFY(window.close());
    QCOMPARE(asked, 1);
}

void UnsavedChangesTest::closingDuringWorkAsksWhenItEnds() {
    // A request to close made during a long load or Refresh waits for its end, then asks about
    // the unsaved work as any other request does; the answer decides.
    auto window = open({file_});
    TForm1& w = *window;
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.RxRichEdit1->InsertAtCaret("\"NEW\"\r\n");
    QStringList asked;
    auto answer = QMessageBox::Cancel;
    w.Unsaved()->Ask = [&](QMessageBox& box) {
        asked << box.text();
        return answer;
    };
    for (const auto given : {QMessageBox::Cancel, QMessageBox::Discard}) {
        answer = given;
        const qsizetype before = asked.size();
        w.WindowFeedback().busyBegin();
        w.close();
        QVERIFY(w.Closer().Pending());
        QCOMPARE(asked.size(), before); // not while the work runs
        QVERIFY(w.isVisible());
        w.WindowFeedback().busyEnd();
        QTRY_COMPARE(asked.size(), before + 1);
        QCOMPARE(asked.last(), QStringLiteral("The element text has changes that are not saved."));
        QCOMPARE(w.isVisible(), given == QMessageBox::Cancel);
    }
}

QTEST_MAIN(UnsavedChangesTest)
#include "unsavedchanges_test.moc"
