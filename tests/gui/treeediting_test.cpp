// SPDX-License-Identifier: GPL-3.0-or-later
// Editing the tree in the window: the element dialog (modes, titles, fields, placement), the
// mouse press that selects and arms a drag, the menu's enabling rule with the node clipboard
// keys, and a drag made with the mouse.
#include <QAction>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "app/tform1.h"
#include "formats/elementtext.h"
#include "model/caption.h"
#include "textpane/ttextpane.h"
#include "view/trapidtree.h"

using namespace settree;

namespace {

// Element text of the tree as the pane's "Refresh" would write it, one line each.
TextLines treeText(TForm1& window) {
    TextLines lines;
    CollectingFeedback feedback;
    WriteElementText(window.RapidTree4->Items(), lines, feedback);
    return lines;
}

} // namespace

class TreeEditingTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void dialogModesAndFields();
    void dialogPlacementAtTheEdges();
    void pressesSelectWithAnyButton();
    void menuEnablingAndKeys();
    void dragWithTheMouse();

private:
    void load(const TextLines& lines);
    QPoint rowPoint(int row, int x = 60) const;
    void mouse(QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons buttons);
    void trigger(const char* item);
    QAction* action(const char* item) const;

    QTemporaryDir dir_;
    std::unique_ptr<TForm1> window_;
};

void TreeEditingTest::init() {
    window_ = std::make_unique<TForm1>(std::vector<std::string>{}, dir_.path().toStdString() + "/");
    window_->resize(1000, 600);
    window_->show();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    window_->RapidTree4->SetFitToHeight(false); // rows of 24 pixels
}

void TreeEditingTest::cleanup() {
    window_.reset();
}

void TreeEditingTest::load(const TextLines& lines) {
    window_->RxRichEdit1->SetLines(lines);
    QTest::mouseClick(window_->Button2, Qt::LeftButton); // "Refresh" of the text pane
}

QPoint TreeEditingTest::rowPoint(int row, int x) const {
    return {x, row * TCustomRapidTree::kDefaultRowHeight + TCustomRapidTree::kDefaultRowHeight / 2};
}

void TreeEditingTest::mouse(QEvent::Type type, QPoint p, Qt::MouseButton button,
                            Qt::MouseButtons buttons) {
    QWidget* viewport = window_->RapidTree4->viewport();
    QMouseEvent event(type, QPointF(p), QPointF(viewport->mapToGlobal(p)), button, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(viewport, &event);
}

QAction* TreeEditingTest::action(const char* item) const {
    return window_->findChild<QAction*>(QString::fromLatin1(item));
}

void TreeEditingTest::trigger(const char* item) {
    action(item)->trigger();
}

void TreeEditingTest::dialogModesAndFields() {
    TForm1& w = *window_;
    load({"\"EUR\" \"Europe\"", "   \"DEU\""});
    QGroupBox* dialog = w.GroupBox1;
    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->size(), QSize(385, 166));

    // Add root: empty fields, weight 1; "OK" builds the caption from the fields as typed.
    trigger("Addrootelement1");
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->title(), QStringLiteral("Input new root element:"));
    QCOMPARE(w.FEditMode, uint8_t{0});
    QCOMPARE(w.Edit1->text() + w.Edit2->text() + w.Edit4->text(), QStringLiteral("1"));
    QTest::keyClicks(w.Edit1, QStringLiteral(" 'ASI' "));
    QTest::keyClicks(w.Edit2, QStringLiteral("\"Asia\""));
    w.Edit4->setText(QStringLiteral(" 2,5"));
    QTest::mouseClick(w.Button4, Qt::LeftButton);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(std::string(w.RapidTree4->Items().Root(1)->Text()), MakeCaption("ASI", "Asia"));
    QCOMPARE(std::string(w.RapidTree4->Items().Root(1)->Cells(1)), std::string(" 2,5"));

    // Add child: titled with the selected node's caption without markup; Enter confirms.
    w.RapidTree4->SetSelected(w.RapidTree4->Items().Root(0));
    trigger("Addelementtocurrentnode1");
    QCOMPARE(dialog->title(), QStringLiteral("New element added to EUR - Europe:"));
    QCOMPARE(w.FEditMode, uint8_t{1});
    QTest::keyClicks(w.Edit1, QStringLiteral("FRA"));
    QTest::keyClick(w.Edit1, Qt::Key_Return);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(treeText(w),
             (TextLines{"\"EUR\" \"Europe\"", "   \"DEU\"", "   \"FRA\"", "\"ASI\" \"Asia\""}));

    // Rename: the fields hold the node's parts; "OK" unchanged keeps the caption's bytes, also
    // those of a legacy single-byte name.
    TFlyNode* deu = w.RapidTree4->Items().Root(0)->Child(0);
    deu->SetText(MakeCaption("D\xc9U", "Deutschland"));
    deu->SetCells(1, "7");
    w.RapidTree4->SetSelected(deu);
    trigger("Rename1");
    QCOMPARE(dialog->title(), QStringLiteral("Rename element:"));
    QCOMPARE(w.Edit1->text(), QStringLiteral("D\u00c9U"));
    QCOMPARE(w.Edit2->text(), QStringLiteral("Deutschland"));
    QCOMPARE(w.Edit4->text(), QStringLiteral("7"));
    QTest::mouseClick(w.Button4, Qt::LeftButton);
    QCOMPARE(std::string(deu->Text()), MakeCaption("D\xc9U", "Deutschland"));
    QCOMPARE(std::string(deu->Cells(1)), std::string("7"));

    // A typed change is stored as UTF-8; "OK" acts on the node selected at that moment.
    trigger("Rename1");
    w.Edit1->setText(QStringLiteral("D\u00c9U2"));
    w.RapidTree4->SetSelected(w.RapidTree4->Items().Root(1));
    QTest::mouseClick(w.Button4, Qt::LeftButton);
    QCOMPARE(std::string(w.RapidTree4->Items().Root(1)->Text()),
             MakeCaption("D\xc3\x89U2", "Deutschland"));

    // "Abort" changes nothing; without a selection two openers do nothing at all.
    trigger("Addrootelement1");
    QTest::keyClicks(w.Edit1, QStringLiteral("NEW"));
    QTest::mouseClick(w.Button7, Qt::LeftButton);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(w.RapidTree4->Items().Count(), 2);
    w.RapidTree4->SetSelected(nullptr);
    trigger("Rename1");
    trigger("Addelementtocurrentnode1");
    QVERIFY(!dialog->isVisible());
    QCOMPARE(w.FEditMode, uint8_t{0});

    // A double click opens "Rename/edit" for the node under it.
    mouse(QEvent::MouseButtonPress, rowPoint(2), Qt::LeftButton, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, rowPoint(2), Qt::LeftButton, Qt::NoButton);
    mouse(QEvent::MouseButtonDblClick, rowPoint(2), Qt::LeftButton, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, rowPoint(2), Qt::LeftButton, Qt::NoButton);
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->title(), QStringLiteral("Rename element:"));
    QCOMPARE(w.Edit1->text(), QStringLiteral("FRA"));
    // What is typed next goes into the name field, not into the tree that was clicked.
    QTRY_VERIFY(w.Edit1->hasFocus());
    QCOMPARE(w.Edit1->selectedText(), QStringLiteral("FRA"));
}

void TreeEditingTest::dialogPlacementAtTheEdges() {
    TForm1& w = *window_;
    load({"\"A\""});
    TRapidTree* tree = w.RapidTree4;
    QGroupBox* dialog = w.GroupBox1;
    const QPoint offset = tree->viewport()->mapTo(tree, QPoint(0, 0));
    // In the open: the dialog's corner at the pointer.
    const QPoint open(5, 20);
    QVERIFY(offset.x() + open.x() + dialog->width() <= tree->width());
    QVERIFY(offset.y() + open.y() + dialog->height() <= tree->height());
    mouse(QEvent::MouseButtonPress, open, Qt::RightButton, Qt::RightButton);
    QCOMPARE(dialog->pos(), tree->pos() + offset + open);
    // Near the right and the bottom edge: it ends on the tree's edges.
    const QPoint corner(tree->viewport()->width() - 5, tree->viewport()->height() - 5);
    mouse(QEvent::MouseButtonPress, corner, Qt::RightButton, Qt::RightButton);
    QCOMPARE(dialog->geometry().right(), tree->geometry().right());
    QCOMPARE(dialog->geometry().bottom(), tree->geometry().bottom());
    mouse(QEvent::MouseButtonRelease, corner, Qt::RightButton, Qt::NoButton);
    w.PopupMenu1->close();
}

void TreeEditingTest::pressesSelectWithAnyButton() {
    TForm1& w = *window_;
    load({"\"A\"", "\"B\"", "\"C\""});
    TRapidTree* tree = w.RapidTree4;
    for (const Qt::MouseButton button : {Qt::RightButton, Qt::MiddleButton, Qt::LeftButton}) {
        tree->SetSelected(tree->Items().Root(0));
        mouse(QEvent::MouseButtonPress, rowPoint(2), button, button);
        QCOMPARE(tree->Selected(), tree->Items().Root(2));
        // Over empty space the selection stays.
        mouse(QEvent::MouseButtonRelease, rowPoint(2), button, Qt::NoButton);
        w.PopupMenu1->close();
        mouse(QEvent::MouseButtonPress, rowPoint(10), button, button);
        QCOMPARE(tree->Selected(), tree->Items().Root(2));
        // A drag is armed unless the right button is held (here it ends over the dragged node
        // itself, which refuses the drop).
        mouse(QEvent::MouseMove, rowPoint(2), Qt::NoButton, button);
        QCOMPARE(tree->Dragging(), button != Qt::RightButton);
        mouse(QEvent::MouseButtonRelease, rowPoint(2), button, Qt::NoButton);
        QCOMPARE(tree->Items().Count(), 3);
        w.PopupMenu1->close();
    }
}

void TreeEditingTest::menuEnablingAndKeys() {
    TForm1& w = *window_;
    load({"\"A\"", "   \"A1\"", "\"B\""});
    TRapidTree* tree = w.RapidTree4;
    // Nothing marked: the pastes are disabled however the menu opens.
    emit w.PopupMenu1->aboutToShow();
    QVERIFY(action("cut1")->isEnabled() && action("copy1")->isEnabled());
    QVERIFY(!action("patse1")->isEnabled() && !action("pastetoroot1")->isEnabled());
    tree->SetSelected(nullptr);
    emit w.PopupMenu1->aboutToShow();
    QVERIFY(!action("cut1")->isEnabled() && !action("copy1")->isEnabled());

    // Ctrl+C and Ctrl+V while the tree has the focus mark and paste.
    tree->SetSelected(tree->Items().Root(0)->Child(0));
    tree->setFocus();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    QTest::keyClick(tree, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(w.FClipNode, tree->Items().Root(0)->Child(0));
    QCOMPARE(w.FClipMode, std::string("copy"));
    QVERIFY(action("patse1")->isEnabled());
    tree->SetSelected(tree->Items().Root(1));
    QTest::keyClick(tree, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(treeText(w), (TextLines{"\"A\"", "   \"A1\"", "\"B\"", "*! \"A1\""}));

    // In the text pane the same keys are the editor's own.
    w.RxRichEdit1->setFocus();
    QTest::keyClick(w.RxRichEdit1, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(tree->Items().Root(1)->Count(), 1);

    // Cut, paste: the cut node is gone and forgotten, so the pastes are disabled again.
    tree->setFocus();
    tree->SetSelected(tree->Items().Root(0));
    QTest::keyClick(tree, Qt::Key_X, Qt::ControlModifier);
    tree->SetSelected(tree->Items().Root(1));
    QTest::keyClick(tree, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(treeText(w), (TextLines{"\"B\"", "   \"A1\"", "   \"A\"", "*!    \"A1\""}));
    QCOMPARE(w.FClipNode, nullptr);
    QVERIFY(!action("patse1")->isEnabled() && !action("pastetoroot1")->isEnabled());

    // A mark deleted with its parent is forgotten as well.
    tree->SetSelected(tree->Items().Root(0)->Child(1)->Child(0));
    trigger("copy1");
    tree->SetSelected(tree->Items().Root(0)->Child(1));
    trigger("Delete1");
    QCOMPARE(w.FClipNode, nullptr);
    emit w.PopupMenu1->aboutToShow();
    QVERIFY(!action("patse1")->isEnabled());
}

void TreeEditingTest::dragWithTheMouse() {
    TForm1& w = *window_;
    load({"\"A\"", "   \"A1\"", "      \"A11\"", "\"B\"", "   \"B1\""});
    TRapidTree* tree = w.RapidTree4;
    tree->Items().Root(1)->Collapse(false);
    // Rows: A, A1, A11, B. A1 dragged onto its own parent is refused; onto B it moves.
    const int threshold = QApplication::startDragDistance();
    mouse(QEvent::MouseButtonPress, rowPoint(1), Qt::LeftButton, Qt::LeftButton);
    mouse(QEvent::MouseMove, rowPoint(1) + QPoint(threshold + 1, 0), Qt::NoButton, Qt::LeftButton);
    QVERIFY(tree->Dragging());
    QCOMPARE(w.FDragNode, tree->Items().Root(0)->Child(0));
    mouse(QEvent::MouseMove, rowPoint(0), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(tree->viewport()->cursor().shape(), Qt::ForbiddenCursor);
    mouse(QEvent::MouseMove, rowPoint(2), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(tree->viewport()->cursor().shape(), Qt::ForbiddenCursor);
    mouse(QEvent::MouseMove, rowPoint(3), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(tree->viewport()->cursor().shape(), Qt::DragMoveCursor);
    mouse(QEvent::MouseButtonRelease, rowPoint(3), Qt::LeftButton, Qt::NoButton);
    QVERIFY(!tree->Dragging());
    QCOMPARE(treeText(w), (TextLines{"\"A\"", "\"B\"", "   \"B1\"", "   \"A1\"", "      \"A11\""}));
    TFlyNode* b = tree->Items().Root(1);
    QCOMPARE(tree->Selected(), b);
    QVERIFY(b->Expanded() && b->Child(1)->Expanded());
    QCOMPARE(w.FDragNode, nullptr);
}

QTEST_MAIN(TreeEditingTest)
#include "treeediting_test.moc"
