// SPDX-License-Identifier: GPL-3.0-or-later
// The view commands of the main window (the panels swapped, the background picture, the font
// sizes, the caption strip's guard) and a window that stays readable however it is sized or
// started: the tree's columns and the header strips.
#include <QAction>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include "app/application.h"
#include "app/tclientarea.h"
#include "app/tcollapsiblepanel.h"
#include "app/tform1.h"
#include "model/caption.h"
#include "textpane/ttextpane.h"
#include "view/trapidtree.h"
#include "windowtestsupport.h"

using namespace settree;
using namespace settree::testing;

namespace {

void trigger(TForm1& window, const char* item) {
    window.findChild<QAction*>(QString::fromLatin1(item))->trigger();
}

// Swallows the window's activations, as a display without a window manager gives none.
class NoActivation : public QObject {
protected:
    bool eventFilter(QObject*, QEvent* event) override {
        return event->type() == QEvent::WindowActivate;
    }
};

// The box around the pixels that differ between two pictures of the same size.
QRect differingBox(const QImage& a, const QImage& b) {
    QRect box;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y))
                box |= QRect(x, y, 1, 1);
    return box;
}

// The visible buttons of a header strip, left to right, and its heading.
struct Strip {
    QLabel* heading;
    std::vector<QPushButton*> buttons;
};

Strip strip(TForm1& window, const char* bar) {
    auto* widget = window.findChild<QWidget*>(QString::fromLatin1(bar));
    Strip s{widget->findChild<QLabel*>(), {}};
    for (QPushButton* button : widget->findChildren<QPushButton*>())
        if (button->isVisible())
            s.buttons.push_back(button);
    std::sort(s.buttons.begin(), s.buttons.end(),
              [](QPushButton* a, QPushButton* b) { return a->x() < b->x(); });
    return s;
}

} // namespace

class ViewCommandsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(tempDir_.isValid()); }

    void swapPanels();
    void fontSizes();
    void backgroundPicture();
    void captionStripGuard();
    void columnsFollowTheTreeWidth();
    void columnsFittedWithoutActivation();
    void headerStripsInNarrowWindow_data();
    void headerStripsInNarrowWindow();

private:
    std::string folder(const char* name) { return subfolder(tempDir_, name); }
    QTemporaryDir tempDir_;
};

void ViewCommandsTest::swapPanels() {
    TForm1 window({}, folder("swap"));
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    auto* panel = window.Panel1;
    auto* splitter = window.Splitter1;
    auto* tree = window.Panel3;
    const int half = window.width() / 2;
    window.ClientArea()->SetPanelWidth(200);

    // On the right at half the client width, the strip outside, the splitter between the panes.
    trigger(window, "Swappanels1");
    QCOMPARE(window.ClientArea()->PanelEdge(), Qt::RightEdge);
    QCOMPARE(panel->width(), half);
    QCOMPARE(panel->geometry().right(), window.ClientArea()->width() - 1);
    QCOMPARE(splitter->geometry().right() + 1, panel->x());
    QCOMPARE(tree->x(), 0);
    QCOMPARE(tree->geometry().right() + 1, splitter->x());
    QCOMPARE(panel->StripEdge(), Qt::RightEdge);
    QVERIFY(panel->Strip()->x() > panel->Content()->x());

    // The splitter still works: dragged left, it widens the panel on the right.
    QTest::mousePress(splitter, Qt::LeftButton, {}, QPoint(1, 10));
    QTest::mouseMove(splitter, QPoint(1 - 40, 10));
    QTest::mouseRelease(splitter, Qt::LeftButton, {}, QPoint(1 - 40, 10));
    QCOMPARE(panel->width(), half + 40);
    QCOMPARE(tree->geometry().right() + 1, splitter->x());

    // Swapped back: the starting arrangement at half the client width.
    trigger(window, "Swappanels1");
    QCOMPARE(window.ClientArea()->PanelEdge(), Qt::LeftEdge);
    QCOMPARE(panel->StripEdge(), Qt::LeftEdge);
    QCOMPARE(panel->x(), 0);
    QCOMPARE(panel->width(), half);
    QCOMPARE(splitter->x(), panel->geometry().right() + 1);
    QCOMPARE(tree->x(), splitter->geometry().right() + 1);
}

void ViewCommandsTest::fontSizes() {
    TForm1 window({}, folder("fonts"));
    TTextPane& pane = *window.RxRichEdit1;
    TRapidTree& tree = *window.RapidTree4;
    tree.Items().AddChild(nullptr, MakeCaption("EUR", "Europe"));
    const int rowHeight = tree.RowHeight(0);
    const QFont menuFont = window.MainMenu1->font();
    const QFont headingFont = window.Label4->font();
    QCOMPARE(pane.FontPointSize(), 10);
    QCOMPARE(tree.FontPointSize(), 8);

    for (int i = 0; i < 3; ++i)
        trigger(window, "Increasefont1");
    QCOMPARE(pane.FontPointSize(), 13);
    QCOMPARE(pane.font().pointSize(), 13);
    QCOMPARE(tree.FontPointSize(), 11);
    // The rows take the height of the new font.
    QVERIFY(tree.RowHeight(0) > rowHeight);
    QCOMPARE(tree.RowHeight(0), QFontMetrics(tree.font()).height() + rowHeight -
                                    QFontMetrics(QFont(QStringLiteral("Arial"), 8)).height());
    QCOMPARE(window.MainMenu1->font(), menuFont);
    QCOMPARE(window.Label4->font(), headingFont);

    for (int i = 0; i < 3; ++i)
        trigger(window, "Decreasefont1");
    QCOMPARE(pane.FontPointSize(), 10);
    QCOMPARE(tree.FontPointSize(), 8);
    QCOMPARE(tree.RowHeight(0), rowHeight);

    // No lower limit; the fonts stay usable and come back.
    for (int i = 0; i < 12; ++i)
        trigger(window, "Decreasefont1");
    QCOMPARE(pane.FontPointSize(), -2);
    QVERIFY(pane.font().pointSize() >= 1);
    QVERIFY(tree.RowHeight(0) > 0);
    for (int i = 0; i < 12; ++i)
        trigger(window, "Increasefont1");
    QCOMPARE(pane.FontPointSize(), 10);
    QCOMPARE(tree.RowHeight(0), rowHeight);
}

void ViewCommandsTest::backgroundPicture() {
    TForm1 window({}, folder("who"));
    window.resize(1024, 656);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    TTextPane& pane = *window.RxRichEdit1;
    QVERIFY(!pane.BackgroundShown());
    const QImage hidden = pane.viewport()->grab().toImage();

    // Shown centred behind the text, at its own size: about 100 by 133 pixels.
    trigger(window, "Who1");
    QVERIFY(pane.BackgroundShown());
    const QImage shown = pane.viewport()->grab().toImage();
    const QRect box = differingBox(hidden, shown);
    QVERIFY2(qAbs(box.width() - 100) <= 2 && qAbs(box.height() - 133) <= 2,
             qPrintable(QStringLiteral("%1 x %2").arg(box.width()).arg(box.height())));
    QVERIFY(qAbs(box.center().x() - hidden.width() / 2) <= 2);
    QVERIFY(qAbs(box.center().y() - hidden.height() / 2) <= 2);

    trigger(window, "Who1");
    QVERIFY(!pane.BackgroundShown());
    QCOMPARE(pane.viewport()->grab().toImage(), hidden);
}

void ViewCommandsTest::captionStripGuard() {
    TForm1 window({}, folder("strip"));
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    TCollapsiblePanel& panel = *window.Panel1;
    const auto plainClick = [&] {
        QTest::mouseClick(panel.Strip(), Qt::LeftButton, {}, QPoint(10, panel.height() / 2));
    };
    struct Step {
        const char* what;
        bool button; // the strip's button, else a plain click on the strip
        bool collapsed;
    };
    // The guard starts cleared: the first plain click only sets it.
    const Step steps[] = {
        {"first plain click", false, false}, {"second plain click", false, true},
        {"third plain click", false, false}, {"button", true, true},
        {"button again", true, false},       {"plain click after the button", false, true},
        {"plain click", false, false},
    };
    for (const Step& step : steps) {
        if (step.button)
            QTest::mouseClick(panel.CollapseButton(), Qt::LeftButton);
        else
            plainClick();
        QVERIFY2(panel.Collapsed() == step.collapsed, step.what);
        QVERIFY2(window.FCaptionClickArmed, step.what);
        QCOMPARE(panel.width(),
                 step.collapsed ? TCollapsiblePanel::kStripWidth : window.width() / 2);
    }
    // The end of any collapse or expansion clears the guard.
    panel.Collapse();
    QVERIFY(!window.FCaptionClickArmed);
}

void ViewCommandsTest::columnsFollowTheTreeWidth() {
    TForm1 window({}, folder("columns"));
    TRapidTree& tree = *window.RapidTree4;
    for (int i = 0; i < 200; ++i) // enough rows for a vertical scroll bar in a low window
        tree.Items().AddChild(nullptr, MakeCaption("E" + std::to_string(i)));
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    const int weights = tree.ShownColWidth(1);
    QVERIFY(weights > 40 && weights <= 75);
    const auto check = [&](const char* after) {
        QVERIFY2(tree.ShownColWidth(1) == weights, after);
        QVERIFY2(tree.ShownColWidth(0) + weights == tree.viewport()->width(), after);
    };

    window.setWindowState(Qt::WindowNoState);
    window.resize(900, 500);
    QTRY_COMPARE(window.width(), 900);
    check("a narrower window");
    window.resize(140, 500); // narrower than the weights and the tree pane's share together
    QTRY_COMPARE(window.width(), 140);
    QCOMPARE(tree.ShownColWidth(0), 0);
    window.resize(1000, 500);
    QTRY_COMPARE(window.width(), 1000);
    check("a wider window after a very narrow one");

    QTest::mousePress(window.Splitter1, Qt::LeftButton, {}, QPoint(1, 10));
    QTest::mouseMove(window.Splitter1, QPoint(1 + 120, 10));
    QTest::mouseRelease(window.Splitter1, Qt::LeftButton, {}, QPoint(1 + 120, 10));
    check("a splitter drag");
    trigger(window, "Swappanels1");
    check("swapped panels");
    QTest::mouseClick(window.Panel1->CollapseButton(), Qt::LeftButton);
    check("a collapsed text panel");
}

void ViewCommandsTest::columnsFittedWithoutActivation() {
    TForm1 window({}, folder("no-activation"));
    NoActivation filter;
    window.installEventFilter(&filter);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(!window.isMaximized()); // no activation ran
    TRapidTree& tree = *window.RapidTree4;
    QCOMPARE(tree.ColWidth(1), 75);
    QCOMPARE(tree.ColWidth(0), tree.width() - 75);
    QCOMPARE(window.Panel1->width(), window.width() / 2);
}

void ViewCommandsTest::headerStripsInNarrowWindow_data() {
    QTest::addColumn<int>("width");
    QTest::newRow("roomy") << 1200;
    QTest::newRow("heading squeezed") << 760;
    QTest::newRow("no room for the heading") << 560;
    QTest::newRow("no room for the buttons") << 300;
}

void ViewCommandsTest::headerStripsInNarrowWindow() {
    QFETCH(int, width);
    const std::string exe = folder("narrow");
    QDir().mkpath(QString::fromStdString(exe + "tessarocgams"));
    writeFile(exe + "tessarocgams/pcclassifications.gms", "");
    writeFile(exe + "tessaroc", "");
    TForm1 window({}, exe);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    window.setWindowState(Qt::WindowNoState);
    window.resize(width, 500);
    QTRY_COMPARE(window.width(), width);

    for (const char* bar : {"Panel2", "Panel4"}) {
        const Strip s = strip(window, bar);
        QCOMPARE(s.buttons.size(), size_t(4));
        const QWidget* parent = s.buttons.front()->parentWidget();
        // Anchored to the top right, in their order, each at its size, none over another.
        QCOMPARE(s.buttons.back()->geometry().right(), parent->width() - 1 - 8);
        for (size_t i = 0; i < s.buttons.size(); ++i) {
            QCOMPARE(s.buttons[i]->size(), QSize(75, 25));
            QCOMPARE(s.buttons[i]->y(), 8);
            if (i > 0)
                QVERIFY2(s.buttons[i - 1]->geometry().right() < s.buttons[i]->x(), bar);
        }
        // The heading takes only the room left of the buttons, none when there is none.
        QVERIFY2(s.heading->width() == 0 || s.heading->geometry().right() < s.buttons.front()->x(),
                 bar);
        if (width >= 1200)
            QVERIFY(s.heading->width() >= s.heading->sizeHint().width());
        if (width <= 560)
            QCOMPARE(s.heading->width(), 0);
    }
}

int main(int argc, char** argv) {
    Application app(argc, argv);
    ViewCommandsTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "viewcommands_test.moc"
