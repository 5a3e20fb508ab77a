// SPDX-License-Identifier: GPL-3.0-or-later
// The tree's keys and the commands beyond its menu's own: the keyboard commands, undo and redo
// (with their captions), and the find bar.
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "app/tform1.h"
#include "editing/treeeditcommands.h"
#include "formats/elementtext.h"
#include "model/caption.h"
#include "textpane/ttextpane.h"
#include "view/trapidtree.h"
#include "view/treefindbar.h"

using namespace settree;

class TreeKeysTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void keyboardCommands();
    void undoAndRedo();
    void undoOfARebuildFromTheText();
    void findBar();
    void findBarOnALargeTree();

private:
    void load(const TextLines& lines);
    TextLines treeText() const;
    QAction* action(const char* name) const;
    void key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

    QTemporaryDir dir_;
    std::unique_ptr<TForm1> window_;
};

void TreeKeysTest::init() {
    window_ = std::make_unique<TForm1>(std::vector<std::string>{}, dir_.path().toStdString() + "/");
    window_->show();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
}

void TreeKeysTest::cleanup() {
    window_.reset();
}

void TreeKeysTest::load(const TextLines& lines) {
    window_->RxRichEdit1->SetLines(lines);
    QTest::mouseClick(window_->Button2, Qt::LeftButton); // "Refresh" of the text pane
    window_->RapidTree4->setFocus();
}

TextLines TreeKeysTest::treeText() const {
    TextLines lines;
    CollectingFeedback feedback;
    WriteElementText(window_->RapidTree4->Items(), lines, feedback);
    return lines;
}

QAction* TreeKeysTest::action(const char* name) const {
    return window_->findChild<QAction*>(QString::fromLatin1(name));
}

void TreeKeysTest::key(int k, Qt::KeyboardModifiers modifiers) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(k), modifiers);
}

void TreeKeysTest::keyboardCommands() {
    TForm1& w = *window_;
    load({"\"A\"", "   \"A1\"", "   \"A2\"", "\"B\""});
    TRapidTree* tree = w.RapidTree4;
    tree->SetSelected(tree->Items().Root(0)->Child(1));
    QTRY_VERIFY(tree->hasFocus());

    key(Qt::Key_Up, Qt::AltModifier); // Move Up: A2 before A1
    QCOMPARE(treeText(), (TextLines{"\"A\"", "   \"A2\"", "   \"A1\"", "\"B\""}));
    key(Qt::Key_Down, Qt::AltModifier);
    QCOMPARE(treeText(), (TextLines{"\"A\"", "   \"A1\"", "   \"A2\"", "\"B\""}));

    key(Qt::Key_F2); // Rename/edit of A2
    QVERIFY(w.GroupBox1->isVisible());
    QCOMPARE(w.GroupBox1->title(), QStringLiteral("Rename element:"));
    QCOMPARE(w.Edit1->text(), QStringLiteral("A2"));
    QTest::mouseClick(w.Button7, Qt::LeftButton);
    tree->setFocus();
    key(Qt::Key_Insert); // Add element to current node
    QCOMPARE(w.GroupBox1->title(), QStringLiteral("New element added to A2:"));
    QTest::mouseClick(w.Button7, Qt::LeftButton);

    tree->setFocus();
    key(Qt::Key_Delete);
    QCOMPARE(treeText(), (TextLines{"\"A\"", "   \"A1\"", "\"B\""}));

    // In the text pane the same keys keep their own meaning.
    w.RxRichEdit1->setFocus();
    QTRY_VERIFY(w.RxRichEdit1->hasFocus());
    key(Qt::Key_Delete);
    key(Qt::Key_F2);
    QVERIFY(!w.GroupBox1->isVisible());
    QCOMPARE(treeText(), (TextLines{"\"A\"", "   \"A1\"", "\"B\""}));
}

void TreeKeysTest::undoAndRedo() {
    TForm1& w = *window_;
    load({"\"A\"", "   \"A1\"", "\"C\"", "\"B\""});
    TRapidTree* tree = w.RapidTree4;
    QAction* undo = action("UndoTreeEdit");
    QAction* redo = action("RedoTreeEdit");
    QVERIFY(!undo->isEnabled()); // loading into an empty tree left nothing to go back to
    QCOMPARE(undo->text(), QStringLiteral("Undo"));
    QVERIFY(!redo->isEnabled());
    QCOMPARE(redo->text(), QStringLiteral("Redo"));

    tree->SetSelected(tree->Items().Root(0));
    QTRY_VERIFY(tree->hasFocus());
    key(Qt::Key_Delete);
    QCOMPARE(undo->text(), QStringLiteral("Undo Delete"));
    w.TreeCommands()->SortEverything();
    QCOMPARE(treeText(), (TextLines{"\"B\"", "\"C\""}));
    QCOMPARE(undo->text(), QStringLiteral("Undo Sort everything alphabetically"));

    key(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(treeText(), (TextLines{"\"C\"", "\"B\""}));
    key(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(treeText(), (TextLines{"\"A\"", "   \"A1\"", "\"C\"", "\"B\""}));
    QVERIFY(!undo->isEnabled());
    QVERIFY(redo->isEnabled());
    QCOMPARE(redo->text(), QStringLiteral("Redo Delete"));
    key(Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(treeText(), (TextLines{"\"C\"", "\"B\""}));
    key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(treeText(), (TextLines{"\"B\"", "\"C\""}));
    QVERIFY(!redo->isEnabled());
    QCOMPARE(undo->text(), QStringLiteral("Undo Sort everything alphabetically"));

    // The menu shows the same when it opens.
    emit w.PopupMenu1->aboutToShow();
    QVERIFY(undo->isEnabled() && !redo->isEnabled());
}

// "Refresh" of the text pane throws the tree's edits away only until they are undone.
void TreeKeysTest::undoOfARebuildFromTheText() {
    TForm1& w = *window_;
    load({"\"A\"", "\"B\""});
    TRapidTree* tree = w.RapidTree4;
    tree->SetSelected(tree->Items().Root(1));
    w.TreeCommands()->MoveUp();
    tree->Items().Root(0)->SetCells(1, "1"); // nothing but what the load gave
    QCOMPARE(treeText(), (TextLines{"\"B\"", "\"A\""}));
    QTest::mouseClick(w.Button2, Qt::LeftButton); // rebuilt from the pane's old text
    QCOMPARE(treeText(), (TextLines{"\"A\"", "\"B\""}));
    tree->setFocus();
    QTRY_VERIFY(tree->hasFocus());
    key(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(treeText(), (TextLines{"\"B\"", "\"A\""}));
    QCOMPARE(tree->Selected(), tree->Items().Root(0));
}

void TreeKeysTest::findBar() {
    TForm1& w = *window_;
    load({"\"EUR\" \"Europe\"", "   \"DEU\" \"Germany\"", "   \"FRA\" \"France\"",
          "\"ASI\" \"Asia\"", "   \"JPN\" \"Japan\"", "   \"MAR\" \"\xc3\x89tats arabes\""});
    TRapidTree* tree = w.RapidTree4;
    tree->FullCollapse();
    tree->SetSelected(tree->Items().Root(0));
    QTRY_VERIFY(tree->hasFocus());
    TreeFindBar* bar = w.TreeFind;
    QVERIFY(!bar->isVisible());
    key(Qt::Key_F, Qt::ControlModifier);
    QVERIFY(bar->isVisible());
    QTRY_VERIFY(bar->Field()->hasFocus());

    // Typing finds the next match in name or description, letter case aside, and opens the way.
    QTest::keyClicks(bar->Field(), QStringLiteral("an"));
    TFlyNode* deu = tree->Items().Root(0)->Child(0);
    QCOMPARE(tree->Selected(), deu); // "Germany"
    QVERIFY(tree->Items().Root(0)->Expanded());
    key(Qt::Key_F3);
    QCOMPARE(tree->Selected(), tree->Items().Root(0)->Child(1)); // "France"
    key(Qt::Key_F3);
    QCOMPARE(tree->Selected(), tree->Items().Root(1)->Child(0)); // "Japan"
    key(Qt::Key_F3);
    QCOMPARE(tree->Selected(), deu); // around the end
    key(Qt::Key_F3, Qt::ShiftModifier);
    QCOMPARE(tree->Selected(), tree->Items().Root(1)->Child(0));

    // Letters beyond ASCII, in either case.
    bar->Field()->clear();
    for (const QChar typed : QStringLiteral("\u00e9tats")) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(typed));
        QApplication::sendEvent(bar->Field(), &press);
    }
    QCOMPARE(tree->Selected(), tree->Items().Root(1)->Child(1));
    QCOMPARE(bar->Status(), QString());

    bar->Field()->clear();
    QTest::keyClicks(bar->Field(), QStringLiteral("xyz"));
    QCOMPARE(bar->Status(), QStringLiteral("Not found"));
    QCOMPARE(tree->Selected(), tree->Items().Root(1)->Child(1));

    key(Qt::Key_Escape);
    QVERIFY(!bar->isVisible());
    QTRY_VERIFY(tree->hasFocus());
}

// On a large tree the search runs between the window's events, and still finds what it looks
// for: the last element, behind every other.
void TreeKeysTest::findBarOnALargeTree() {
    TForm1& w = *window_;
    TFlyNodes& items = w.RapidTree4->Items();
    items.BeginUpdate();
    for (int r = 0; r < 200; ++r) {
        TFlyNode* root = items.AddChild(nullptr, MakeCaption("R" + std::to_string(r)));
        for (int c = 0; c < 1000; ++c)
            items.AddChild(
                root, MakeCaption("R" + std::to_string(r) + "." + std::to_string(c), "element"));
    }
    TFlyNode* last = items.AddChild(items.Root(199), MakeCaption("NEEDLE"));
    items.EndUpdate();
    w.RapidTree4->SetSelected(items.Root(0));
    w.TreeFind->Open();
    QTest::keyClicks(w.TreeFind->Field(), QStringLiteral("needle"));
    QTRY_COMPARE(w.RapidTree4->Selected(), last);
    QCOMPARE(w.TreeFind->Status(), QString());
    QVERIFY(!w.TreeFind->Searching());
}

QTEST_MAIN(TreeKeysTest)
#include "treekeys_test.moc"
