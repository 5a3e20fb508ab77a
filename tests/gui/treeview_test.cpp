// SPDX-License-Identifier: GPL-3.0-or-later
// The tree grid: layout, drawing (checked on grabbed pixels), mouse, keyboard, tool tips, drag.
#include <QApplication>
#include <QCursor>
#include <QImage>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStringList>
#include <QTest>
#include <cstdlib>
#include <memory>

#include "model/caption.h"
#include "view/markuprenderer.h"
#include "view/markuptooltip.h"
#include "view/trapidtree.h"

using namespace settree;

namespace {

const QColor kGreen(0, 128, 0);
const QColor kBlue(0, 0, 255);
const QColor kGray(128, 128, 128);

// Text edges are smoothed into the background: a pixel counts when it is close to the colour.
bool near(const QColor& a, const QColor& b) {
    return std::abs(a.red() - b.red()) < 40 && std::abs(a.green() - b.green()) < 40 &&
           std::abs(a.blue() - b.blue()) < 40;
}

int countColour(const QImage& image, const QRect& area, const QColor& colour) {
    int n = 0;
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (near(image.pixelColor(x, y), colour))
                ++n;
    return n;
}

// Pixels that are neither the background nor the outline's grey.
int countInk(const QImage& image, const QRect& area, const QColor& background) {
    int n = 0;
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c != background && c != kGray)
                ++n;
        }
    return n;
}

} // namespace

class TreeViewTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void columnWidths_data();
    void columnWidths();
    void gridIndexOutOfRange();
    void rowHeights();
    void fontSizeRemeasuresAllRows();
    void drawsCaptionsWeightsAndSelection();
    void outlineAndButtons();
    void getNodeAt();
    void noPaintingInsideUpdateBracket();
    void scrollsByRows();

    void clickOnButtonTogglesAndSelects();
    void shiftClickHighlightsRange();
    void rightPressAndPopup();
    void pressBelowLastRow();
    void doubleClickOnButton();
    void columnBorderDrag();

    void keyboardMoves();
    void keyboardExpandCollapse();
    void incrementalSearch_data();
    void incrementalSearch();

    void toolTipOnlyForClippedText();
    void dragEvents();
    void dragRefusedAndLeaving();

private:
    TFlyNode* add(TFlyNode* parent, const std::string& name, const std::string& weight = "1");
    // A: A1, A2 (A21); B; C -- all expanded.
    void buildSmallTree();
    QImage grab();
    int rowTop(int row) const;
    QPoint rowPoint(int row, int x) const;
    void mouse(QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons buttons,
               Qt::KeyboardModifiers keys = Qt::NoModifier);
    void click(QPoint p, Qt::KeyboardModifiers keys = Qt::NoModifier);
    void key(int key, Qt::KeyboardModifiers keys = Qt::NoModifier, const QString& text = {});
    void focus();

    std::unique_ptr<TRapidTree> tree_;
    QStringList log_;
};

void TreeViewTest::init() {
    tree_ = std::make_unique<TRapidTree>();
    tree_->resize(400, 300);
    tree_->show();
    QVERIFY(QTest::qWaitForWindowExposed(tree_.get()));
    log_.clear();
}

void TreeViewTest::cleanup() {
    tree_.reset();
}

TFlyNode* TreeViewTest::add(TFlyNode* parent, const std::string& name, const std::string& weight) {
    TFlyNode* node = tree_->Items().AddChild(parent, MakeCaption(name));
    if (!weight.empty())
        node->SetCells(1, weight);
    return node;
}

void TreeViewTest::buildSmallTree() {
    TFlyNodes& items = tree_->Items();
    items.BeginUpdate();
    TFlyNode* a = add(nullptr, "A");
    add(a, "A1");
    TFlyNode* a2 = add(a, "A2");
    add(a2, "A21");
    add(nullptr, "B");
    add(nullptr, "C");
    tree_->FullExpand();
    items.EndUpdate();
}

QImage TreeViewTest::grab() {
    QApplication::processEvents();
    return tree_->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

int TreeViewTest::rowTop(int row) const {
    int y = 0;
    for (int r = tree_->TopRow(); r < row; ++r)
        y += tree_->RowHeight(r);
    return y;
}

QPoint TreeViewTest::rowPoint(int row, int x) const {
    return {x, rowTop(row) + tree_->RowHeight(row) / 2};
}

void TreeViewTest::mouse(QEvent::Type type, QPoint p, Qt::MouseButton button,
                         Qt::MouseButtons buttons, Qt::KeyboardModifiers keys) {
    QWidget* viewport = tree_->viewport();
    QMouseEvent event(type, QPointF(p), QPointF(viewport->mapToGlobal(p)), button, buttons, keys);
    QApplication::sendEvent(viewport, &event);
}

void TreeViewTest::click(QPoint p, Qt::KeyboardModifiers keys) {
    mouse(QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton, keys);
    mouse(QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton, keys);
}

void TreeViewTest::key(int k, Qt::KeyboardModifiers keys, const QString& text) {
    QKeyEvent event(QEvent::KeyPress, k, keys, text);
    QApplication::sendEvent(tree_.get(), &event);
}

void TreeViewTest::focus() {
    tree_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(tree_.get()));
    tree_->setFocus();
    QTRY_VERIFY(tree_->hasFocus());
}

// ---------------------------------------------------------------------------------------------

void TreeViewTest::columnWidths_data() {
    QTest::addColumn<int>("stored0");
    QTest::addColumn<int>("stored1");
    QTest::addColumn<int>("shown0");
    QTest::addColumn<int>("shown1");
    // The client is 300 pixels wide.
    QTest::newRow("fills exactly") << 225 << 75 << 225 << 75;
    QTest::newRow("last column widened") << 100 << 50 << 100 << 200;
    QTest::newRow("last column narrowed") << 250 << 100 << 250 << 50;
    QTest::newRow("first column wider than the client") << 350 << 75 << 300 << 0;
    QTest::newRow("negative width") << -5 << 10 << 0 << 300;
}

void TreeViewTest::columnWidths() {
    QFETCH(int, stored0);
    QFETCH(int, stored1);
    QFETCH(int, shown0);
    QFETCH(int, shown1);
    tree_->resize(300 + 2 * tree_->frameWidth(), 200);
    QCOMPARE(tree_->viewport()->width(), 300);
    tree_->SetColWidth(0, stored0);
    tree_->SetColWidth(1, stored1);
    QCOMPARE(tree_->ColWidth(0), stored0);
    QCOMPARE(tree_->ShownColWidth(0), shown0);
    QCOMPARE(tree_->ShownColWidth(1), shown1);
}

void TreeViewTest::gridIndexOutOfRange() {
    for (int col : {2, 5, -1}) {
        try {
            tree_->SetColWidth(col, 10);
            QFAIL("no error");
        } catch (const ERapidTreeError& e) {
            QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("Grid index out of range"));
        }
    }
    QVERIFY_THROWS_EXCEPTION(ERapidTreeError, tree_->ColWidth(2));
    tree_->SetColWidth(1, 60); // the last valid index works
    QCOMPARE(tree_->ColWidth(1), 60);
}

void TreeViewTest::rowHeights() {
    TFlyNodes& items = tree_->Items();
    const int line = QFontMetrics(tree_->font()).height();
    TFlyNode* caption = add(nullptr, "A", "");
    TFlyNode* weightOnly = items.AddChild(nullptr, "");
    weightOnly->SetCells(1, "7");
    TFlyNode* empty = items.AddChild(nullptr, "");
    TFlyNode* big = items.AddChild(nullptr, "<font size=30>Big</font>");
    TFlyNode* bold = add(nullptr, "x", "<b>1</b>");

    QCOMPARE(tree_->RowHeight(0), line + 2);
    QCOMPARE(tree_->RowHeight(1), line + 2);
    QCOMPARE(tree_->RowHeight(2), TCustomRapidTree::kDefaultRowHeight);
    QVERIFY(tree_->RowHeight(3) >= 30);
    QCOMPARE(tree_->RowHeight(4), line + 2);
    QCOMPARE(caption->CachedRowHeight(), line + 2); // cached on the node

    // Writing the text drops the cached height; the row is measured anew.
    empty->SetText("<font size=40>now tall</font>");
    QCOMPARE(empty->CachedRowHeight(), -1);
    QVERIFY(tree_->RowHeight(2) >= 40);

    tree_->SetFitToHeight(false);
    for (int row = 0; row < 5; ++row)
        QCOMPARE(tree_->RowHeight(row), TCustomRapidTree::kDefaultRowHeight);
    tree_->SetFitToHeight(true);
    QCOMPARE(tree_->RowHeight(0), line + 2);
    QVERIFY(tree_->RowHeight(3) >= 30);
    Q_UNUSED(big);
    Q_UNUSED(bold);
}

void TreeViewTest::fontSizeRemeasuresAllRows() {
    buildSmallTree();
    QCOMPARE(tree_->FontPointSize(), 8);
    QCOMPARE(tree_->font().pixelSize(), 11); // Arial, 8 points at 96 dots per inch
    QCOMPARE(tree_->font().family(), QStringLiteral("Arial"));
    std::vector<int> before;
    for (int row = 0; row < tree_->Items().RowCount(); ++row)
        before.push_back(tree_->RowHeight(row));
    for (int i = 0; i < 3; ++i)
        tree_->SetFontPointSize(tree_->FontPointSize() + 1);
    for (int row = 0; row < tree_->Items().RowCount(); ++row)
        QVERIFY2(tree_->RowHeight(row) > before[static_cast<size_t>(row)],
                 qPrintable(QString::number(row)));
    for (int i = 0; i < 3; ++i)
        tree_->SetFontPointSize(tree_->FontPointSize() - 1);
    for (int row = 0; row < tree_->Items().RowCount(); ++row)
        QCOMPARE(tree_->RowHeight(row), before[static_cast<size_t>(row)]);
}

void TreeViewTest::drawsCaptionsWeightsAndSelection() {
    TFlyNodes& items = tree_->Items();
    items.BeginUpdate();
    TFlyNode* a = items.AddChild(nullptr, MakeCaption("Alpha", "described"));
    a->SetCells(1, "42");
    TFlyNode* b = add(nullptr, "Beta", "");
    items.EndUpdate();
    tree_->SetColWidth(0, 250);
    focus();
    QCOMPARE(tree_->Selected(), a); // the first root after the bulk load
    tree_->SetSelected(b);
    const QPalette pal = tree_->palette();
    const QColor highlight = pal.color(QPalette::Active, QPalette::Highlight);
    const QColor base = pal.color(QPalette::Base);

    QImage image = grab();
    const int w0 = tree_->ShownColWidth(0);
    const QRect row0(0, rowTop(0), w0, tree_->RowHeight(0));
    const QRect row1(0, rowTop(1), w0, tree_->RowHeight(1));
    const QRect weight0(w0, rowTop(0), tree_->ShownColWidth(1), tree_->RowHeight(0));
    QVERIFY(countColour(image, row0, kGreen) > 10);
    QVERIFY(countColour(image, row0, kBlue) > 10);
    QVERIFY(countInk(image, weight0, base) > 5); // "42"
    QCOMPARE(image.pixelColor(w0 - 2, row0.center().y()), base);
    // The selected row: highlighted across both columns, its name still green.
    QCOMPARE(image.pixelColor(w0 - 2, row1.center().y()), highlight);
    QCOMPARE(image.pixelColor(w0 + 40, row1.center().y()), highlight);
    QVERIFY(countColour(image, row1, kGreen) > 10);
    // The weight column draws its text one pixel in from the cell's left edge.
    QCOMPARE(countInk(image, QRect(w0, rowTop(0), 1, tree_->RowHeight(0)), base), 0);

    // Without the focus the highlight takes the inactive tone.
    tree_->clearFocus();
    QTRY_VERIFY(!tree_->hasFocus());
    image = grab();
    const QColor inactive = MarkupRenderer::SystemColourOf(SystemColour::InactiveCaption, pal);
    QCOMPARE(image.pixelColor(w0 - 2, row1.center().y()), inactive);
    QVERIFY(countColour(image, row1, kGreen) > 10);
}

void TreeViewTest::outlineAndButtons() {
    TFlyNodes& items = tree_->Items();
    TFlyNode* a = add(nullptr, "A");
    add(nullptr, "B");
    TFlyNode* c = add(nullptr, "C");
    items.SetSelected(nullptr);
    const QColor base = tree_->palette().color(QPalette::Base);
    const int h = tree_->RowHeight(0);
    auto buttonBox = [&](int row) {
        const int mid = rowTop(row) + h / 2;
        return QRect(5, mid - 5, 11, 11);
    };
    // Dots of the outline in a column or a row of pixels of one row.
    auto grayIn = [&](const QImage& image, const QRect& r) { return countColour(image, r, kGray); };

    QImage image = grab();
    const int mid0 = rowTop(0) + h / 2;
    const int mid1 = rowTop(1) + h / 2;
    const int mid2 = rowTop(2) + h / 2;
    // Row 0: no line up; line down (a sibling follows); the connector to the right.
    QCOMPARE(grayIn(image, QRect(10, rowTop(0), 1, mid0 - rowTop(0))), 0);
    QVERIFY(grayIn(image, QRect(10, mid0 + 1, 1, rowTop(1) - mid0 - 1)) > 0);
    QVERIFY(grayIn(image, QRect(11, mid0, 9, 1)) > 2);
    // Middle row: up and down. Last row: up only.
    QVERIFY(grayIn(image, QRect(10, rowTop(1), 1, mid1 - rowTop(1))) > 0);
    QVERIFY(grayIn(image, QRect(10, mid1 + 1, 1, rowTop(2) - mid1 - 1)) > 0);
    QVERIFY(grayIn(image, QRect(10, rowTop(2), 1, mid2 - rowTop(2))) > 0);
    QCOMPARE(grayIn(image, QRect(10, mid2 + 1, 1, rowTop(2) + h - mid2 - 1)), 0);
    // Roots without children have no button.
    for (int row = 0; row < 3; ++row)
        QCOMPARE(countInk(image, buttonBox(row), base), 0);

    // A child: the collapsed glyph until expanded, then the expanded one.
    TFlyNode* child = add(c, "C1");
    image = grab();
    QVERIFY(countInk(image, buttonBox(2), base) > 3);
    const QImage collapsed = image.copy(buttonBox(2));
    c->Expand(false);
    image = grab();
    QVERIFY(countInk(image, buttonBox(2), base) > 3);
    QVERIFY(image.copy(buttonBox(2)) != collapsed);
    // The child's slot: a connector, no line down (no sibling follows), and no line in the
    // slot of its parent, which is the last root.
    const int mid3 = rowTop(3) + h / 2;
    QVERIFY(grayIn(image, QRect(31, mid3, 9, 1)) > 2);
    QCOMPARE(grayIn(image, QRect(10, rowTop(3), 1, h)), 0);
    // Under A, which has siblings after it, its slot carries a line through the child's row.
    TFlyNode* a1 = add(a, "A1");
    a->Expand(false);
    QCOMPARE(tree_->Items().RowOf(a1), 1);
    image = grab();
    QVERIFY(grayIn(image, QRect(10, rowTop(1), 1, h)) >= h / 2 - 1);
    // The caption starts four pixels right of its slot.
    const QRect rowA1(0, rowTop(1), tree_->ShownColWidth(0), h);
    int firstGreen = -1;
    for (int x = 0; x < rowA1.right() && firstGreen < 0; ++x)
        if (countColour(image, QRect(x, rowA1.top(), 1, h), kGreen) > 0)
            firstGreen = x;
    QVERIFY2(firstGreen >= 44 && firstGreen <= 46, qPrintable(QString::number(firstGreen)));
    Q_UNUSED(child);
}

void TreeViewTest::getNodeAt() {
    buildSmallTree();
    const TFlyNodes& items = tree_->Items();
    const int w0 = tree_->ShownColWidth(0);
    QCOMPARE(tree_->GetNodeAt(1, rowPoint(0, 0).y()), items.NodeAtRow(0));
    QCOMPARE(tree_->GetNodeAt(w0 + 5, rowPoint(3, 0).y()), items.NodeAtRow(3));
    const int last = items.RowCount() - 1;
    QCOMPARE(tree_->GetNodeAt(10, rowTop(last) + tree_->RowHeight(last) - 1),
             items.NodeAtRow(last));
    QCOMPARE(tree_->GetNodeAt(10, rowTop(last) + tree_->RowHeight(last)), nullptr);
    QCOMPARE(tree_->GetNodeAt(tree_->viewport()->width(), 2), nullptr);
    QCOMPARE(tree_->GetNodeAt(-1, 2), nullptr);
    QCOMPARE(tree_->GetNodeAt(5, -1), nullptr);
}

void TreeViewTest::noPaintingInsideUpdateBracket() {
    TFlyNodes& items = tree_->Items();
    items.BeginUpdate();
    add(nullptr, "Hidden");
    QCOMPARE(countColour(grab(), tree_->viewport()->rect(), kGreen), 0);
    items.EndUpdate();
    QVERIFY(countColour(grab(), tree_->viewport()->rect(), kGreen) > 10);
}

void TreeViewTest::scrollsByRows() {
    TFlyNodes& items = tree_->Items();
    items.BeginUpdate();
    for (int i = 0; i < 200; ++i)
        add(nullptr, "N" + std::to_string(i));
    items.EndUpdate();
    QApplication::processEvents();
    QScrollBar* bar = tree_->verticalScrollBar();
    QTRY_VERIFY(bar->isVisible());
    QVERIFY(bar->maximum() > 0);
    bar->setValue(bar->maximum());
    // The last row ends inside the view; one row more would not fit.
    const int last = items.RowCount() - 1;
    QCOMPARE(tree_->TopRow(), bar->maximum());
    QVERIFY(rowTop(last) + tree_->RowHeight(last) <= tree_->viewport()->height());
    QVERIFY(rowTop(last) + tree_->RowHeight(last) + tree_->RowHeight(tree_->TopRow() - 1) >
            tree_->viewport()->height());
    QCOMPARE(tree_->GetNodeAt(5, 1), items.NodeAtRow(bar->maximum()));
    // Few rows: no scroll bar.
    items.Clear();
    add(nullptr, "only");
    QApplication::processEvents();
    QTRY_VERIFY(!bar->isVisible());
    QCOMPARE(tree_->TopRow(), 0);
}

// ---------------------------------------------------------------------------------------------
// Mouse

void TreeViewTest::clickOnButtonTogglesAndSelects() {
    buildSmallTree();
    focus();
    TFlyNode* a = tree_->Items().Root(0);
    TFlyNode* b = tree_->Items().Root(1);
    tree_->SetSelected(b);
    click(rowPoint(0, 10));
    QVERIFY(!a->Expanded());
    QCOMPARE(tree_->Selected(), a);
    click(rowPoint(0, 10));
    QVERIFY(a->Expanded());
    // A press on the caption selects without toggling.
    click(rowPoint(1, 60));
    QVERIFY(a->Expanded());
    QCOMPARE(tree_->Selected(), tree_->Items().NodeAtRow(1));
    // With Shift held, the button does not toggle.
    click(rowPoint(0, 10), Qt::ShiftModifier);
    QVERIFY(a->Expanded());
}

void TreeViewTest::shiftClickHighlightsRange() {
    buildSmallTree();
    focus();
    tree_->SetColWidth(0, 300);
    click(rowPoint(1, 100));
    click(rowPoint(4, 100), Qt::ShiftModifier);
    QCOMPARE(tree_->Selected(), tree_->Items().NodeAtRow(4));
    QCOMPARE(tree_->HighlightedRange(), std::make_pair(1, 4));
    click(rowPoint(0, 100), Qt::ControlModifier); // extends from the same start
    QCOMPARE(tree_->HighlightedRange(), std::make_pair(0, 1));
    click(rowPoint(2, 100), Qt::ShiftModifier);
    const QColor highlight = tree_->palette().color(QPalette::Active, QPalette::Highlight);
    const QImage image = grab();
    for (int row : {1, 2})
        QCOMPARE(image.pixelColor(250, rowPoint(row, 0).y()), highlight);
    QVERIFY(image.pixelColor(250, rowPoint(3, 0).y()) != highlight);
    // A plain click ends the range.
    click(rowPoint(3, 100));
    QCOMPARE(tree_->HighlightedRange(), std::make_pair(3, 3));
}

void TreeViewTest::rightPressAndPopup() {
    buildSmallTree();
    QMenu menu;
    menu.addAction(QStringLiteral("item"));
    tree_->SetPopupMenu(&menu);
    tree_->OnMouseDown = [this](Qt::MouseButton button, ShiftState, int, int) {
        log_ << QStringLiteral("down %1 selected row %2")
                    .arg(button == Qt::RightButton ? QStringLiteral("right")
                                                   : QStringLiteral("left"))
                    .arg(tree_->Items().RowOf(tree_->Selected()));
    };
    const QPoint p = rowPoint(3, 60);
    mouse(QEvent::MouseButtonPress, p, Qt::RightButton, Qt::RightButton);
    QCOMPARE(tree_->Items().RowOf(tree_->Selected()), 0);
    QVERIFY(!menu.isVisible());
    mouse(QEvent::MouseButtonRelease, p, Qt::RightButton, Qt::NoButton);
    QTRY_VERIFY(menu.isVisible());
    menu.hide();
    // A left press: the view selects first, then tells the window.
    click(p);
    QCOMPARE(log_, QStringList({QStringLiteral("down right selected row 0"),
                                QStringLiteral("down left selected row 3")}));
}

void TreeViewTest::pressBelowLastRow() {
    buildSmallTree();
    tree_->SetSelected(tree_->Items().Root(1));
    int downs = 0;
    tree_->OnMouseDown = [&downs](Qt::MouseButton, ShiftState, int, int) { ++downs; };
    const int last = tree_->Items().RowCount() - 1;
    click(QPoint(60, rowTop(last) + tree_->RowHeight(last) + 3));
    QCOMPARE(tree_->Selected(), tree_->Items().Root(1));
    QCOMPARE(downs, 1);
}

void TreeViewTest::doubleClickOnButton() {
    buildSmallTree();
    TFlyNode* b = tree_->Items().Root(1);
    add(b, "B1");
    tree_->OnDblClick = [this, b] {
        log_ << QStringLiteral("dblclick expanded=%1").arg(b->Expanded());
    };
    tree_->OnMouseDown = [this](Qt::MouseButton, ShiftState shift, int, int) {
        log_ << QStringLiteral("down double=%1").arg(shift.doubleClick);
    };
    const int row = tree_->Items().RowOf(b);
    const QPoint button = rowPoint(row, 10);
    click(button); // first press expands
    QVERIFY(b->Expanded());
    mouse(QEvent::MouseButtonDblClick, button, Qt::LeftButton, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, button, Qt::LeftButton, Qt::NoButton);
    QVERIFY(!b->Expanded());
    QCOMPARE(log_,
             QStringList({QStringLiteral("down double=0"), QStringLiteral("dblclick expanded=0"),
                          QStringLiteral("down double=1")}));
    QCOMPARE(tree_->Selected(), b);
}

void TreeViewTest::columnBorderDrag() {
    buildSmallTree();
    tree_->SetColWidth(0, 200);
    int downs = 0;
    tree_->OnMouseDown = [&downs](Qt::MouseButton, ShiftState, int, int) { ++downs; };
    TFlyNode* selected = tree_->Selected();
    const int y = rowPoint(2, 0).y();
    mouse(QEvent::MouseButtonPress, QPoint(201, y), Qt::LeftButton, Qt::LeftButton);
    mouse(QEvent::MouseMove, QPoint(151, y), Qt::NoButton, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, QPoint(151, y), Qt::LeftButton, Qt::NoButton);
    QCOMPARE(tree_->ColWidth(0), 150);
    QCOMPARE(tree_->ShownColWidth(1), tree_->viewport()->width() - 150);
    QCOMPARE(downs, 0);
    QCOMPARE(tree_->Selected(), selected);
    // The last column's right edge is no border.
    const int right = tree_->viewport()->width() - 1;
    mouse(QEvent::MouseButtonPress, QPoint(right, y), Qt::LeftButton, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, QPoint(right, y), Qt::LeftButton, Qt::NoButton);
    QCOMPARE(downs, 1);
    QCOMPARE(tree_->ColWidth(0), 150);
}

// ---------------------------------------------------------------------------------------------
// Keyboard

void TreeViewTest::keyboardMoves() {
    TFlyNodes& items = tree_->Items();
    items.BeginUpdate();
    for (int i = 0; i < 100; ++i)
        add(nullptr, "N" + std::to_string(i));
    items.EndUpdate();
    focus();
    auto row = [&] { return items.RowOf(tree_->Selected()); };
    QCOMPARE(row(), 0);
    key(Qt::Key_Down);
    key(Qt::Key_Down);
    QCOMPARE(row(), 2);
    key(Qt::Key_Up);
    QCOMPARE(row(), 1);
    key(Qt::Key_Up);
    key(Qt::Key_Up);
    QCOMPARE(row(), 0);
    const int page = tree_->verticalScrollBar()->pageStep();
    QVERIFY(page > 5);
    key(Qt::Key_PageDown);
    QCOMPARE(row(), page);
    QVERIFY(tree_->TopRow() > 0); // scrolled so that the row shows
    key(Qt::Key_End);
    QCOMPARE(row(), 99);
    QCOMPARE(tree_->TopRow(), tree_->verticalScrollBar()->maximum());
    key(Qt::Key_PageUp);
    QCOMPARE(row(), 99 - page);
    key(Qt::Key_Home);
    QCOMPARE(row(), 0);
    QCOMPARE(tree_->TopRow(), 0);
    key(Qt::Key_Right);
    key(Qt::Key_Left);
    QCOMPARE(row(), 0);
}

void TreeViewTest::keyboardExpandCollapse() {
    buildSmallTree();
    focus();
    TFlyNode* a = tree_->Items().Root(0);
    TFlyNode* a2 = a->Child(1);
    tree_->FullCollapse();
    tree_->SetSelected(a);
    key(Qt::Key_Return);
    QVERIFY(a->Expanded());
    key(Qt::Key_Enter, Qt::KeypadModifier);
    QVERIFY(!a->Expanded());
    key(Qt::Key_Plus, Qt::KeypadModifier, QStringLiteral("+"));
    QVERIFY(a->Expanded());
    QVERIFY(!a2->Expanded()); // without recursion
    key(Qt::Key_Minus, Qt::KeypadModifier, QStringLiteral("-"));
    QVERIFY(!a->Expanded());
    // Left and Right, and "+" off the keypad, do nothing.
    key(Qt::Key_Right);
    key(Qt::Key_Plus, Qt::NoModifier, QStringLiteral("+"));
    QVERIFY(!a->Expanded());
    QCOMPARE(tree_->Selected(), a);
}

void TreeViewTest::incrementalSearch_data() {
    QTest::addColumn<int>("startRow");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("expectedRow");
    // Rows: apple, (empty), Banana, avocado, <color=clgreen>cherry</color>, b2
    QTest::newRow("next match after the selected row") << 0 << "a" << 3;
    QTest::newRow("case-insensitive") << 0 << "B" << 2;
    QTest::newRow("wraps to the first row") << 3 << "A" << 0;
    QTest::newRow("continues after the selected match") << 2 << "b" << 5;
    QTest::newRow("no match stays") << 2 << "z" << 2;
    QTest::newRow("captions begin with <") << 0 << "<" << 4;
    QTest::newRow("a letter never finds a caption") << 0 << "c" << 0;
}

void TreeViewTest::incrementalSearch() {
    QFETCH(int, startRow);
    QFETCH(QString, typed);
    QFETCH(int, expectedRow);
    TFlyNodes& items = tree_->Items();
    for (const char* text : {"apple", "", "Banana", "avocado"})
        items.AddChild(nullptr, text);
    add(nullptr, "cherry");
    items.AddChild(nullptr, "b2");
    focus();
    tree_->SetSelected(items.NodeAtRow(startRow));
    key(0, Qt::NoModifier, typed);
    QCOMPARE(items.RowOf(tree_->Selected()), expectedRow);
}

// ---------------------------------------------------------------------------------------------
// Tool tips and dragging

void TreeViewTest::toolTipOnlyForClippedText() {
    TFlyNodes& items = tree_->Items();
    const std::string longCaption =
        MakeCaption("Longname", "with a description far too long for the column");
    items.AddChild(nullptr, longCaption);
    add(nullptr, "Short");
    tree_->SetColWidth(0, 150);

    mouse(QEvent::MouseMove, rowPoint(1, 60), Qt::NoButton, Qt::NoButton);
    QVERIFY(!tree_->ToolTipWindow() || !tree_->ToolTipWindow()->isVisible());

    mouse(QEvent::MouseMove, rowPoint(0, 60), Qt::NoButton, Qt::NoButton);
    MarkupToolTip* tip = tree_->ToolTipWindow();
    QVERIFY(tip);
    QVERIFY(tip->isVisible());
    QCOMPARE(tip->Text(), longCaption);
    // Exactly over the caption: its text starts where the cell's does.
    const QPoint captionOrigin = tree_->viewport()->mapToGlobal(QPoint(24, rowTop(0)));
    QCOMPARE(tip->geometry().topLeft() + QPoint(MarkupToolTip::kInset, MarkupToolTip::kInset),
             captionOrigin);
    QVERIFY(tip->width() > 150);

    // A press hides it; moving inside the same cell does not bring it back.
    click(rowPoint(0, 60));
    QVERIFY(!tip->isVisible());
    mouse(QEvent::MouseMove, rowPoint(0, 70), Qt::NoButton, Qt::NoButton);
    QVERIFY(!tip->isVisible());
    // Leaving the view hides it; coming back shows it, and the pause ends it.
    mouse(QEvent::MouseMove, rowPoint(1, 70), Qt::NoButton, Qt::NoButton);
    mouse(QEvent::MouseMove, rowPoint(0, 70), Qt::NoButton, Qt::NoButton);
    QVERIFY(tip->isVisible());
    QCursor::setPos(tree_->mapToGlobal(QPoint(-100, -100)));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(tree_->viewport(), &leave);
    QVERIFY(!tip->isVisible());
    mouse(QEvent::MouseMove, rowPoint(0, 70), Qt::NoButton, Qt::NoButton);
    QVERIFY(tip->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!tip->isVisible(), 5000);

    // The tip lies over the pointer: a press on it acts on the row below, and the next press
    // there makes a double click of the two.
    int doubleClicks = 0;
    tree_->OnDblClick = [&doubleClicks] { ++doubleClicks; };
    tree_->SetSelected(items.Root(1));
    mouse(QEvent::MouseMove, rowPoint(1, 70), Qt::NoButton, Qt::NoButton);
    mouse(QEvent::MouseMove, rowPoint(0, 70), Qt::NoButton, Qt::NoButton);
    QVERIFY(tip->isVisible());
    const QPoint onTip = tip->mapFromGlobal(tree_->viewport()->mapToGlobal(rowPoint(0, 70)));
    QTest::mousePress(tip, Qt::LeftButton, Qt::NoModifier, onTip);
    QVERIFY(!tip->isVisible());
    QCOMPARE(tree_->Selected(), items.Root(0));
    mouse(QEvent::MouseButtonRelease, rowPoint(0, 70), Qt::LeftButton, Qt::NoButton);
    QCOMPARE(doubleClicks, 0);
    click(rowPoint(0, 70));
    QCOMPARE(doubleClicks, 1);
    click(rowPoint(0, 70));
    QCOMPARE(doubleClicks, 1);

    // A weight that does not fit its cell.
    tree_->SetColWidth(0, tree_->viewport()->width() - 20);
    items.Root(1)->SetCells(1, "123456789012345");
    mouse(QEvent::MouseMove, rowPoint(1, tree_->viewport()->width() - 10), Qt::NoButton,
          Qt::NoButton);
    QVERIFY(tip->isVisible());
    QCOMPARE(tip->Text(), std::string("123456789012345"));
}

void TreeViewTest::dragEvents() {
    buildSmallTree();
    tree_->SetColWidth(0, 300);
    tree_->OnMouseDown = [this](Qt::MouseButton button, ShiftState, int, int) {
        log_ << QStringLiteral("down");
        if (button != Qt::RightButton)
            tree_->BeginDrag();
    };
    tree_->OnStartDrag = [this] {
        log_ << QStringLiteral("start %1").arg(tree_->Items().RowOf(tree_->Selected()));
    };
    tree_->OnDragOver = [this](int x, int y, bool& accept) {
        log_ << QStringLiteral("over %1 accept=%2")
                    .arg(tree_->Items().RowOf(tree_->GetNodeAt(x, y)))
                    .arg(accept);
    };
    tree_->OnDragDrop = [this](int x, int y) {
        log_ << QStringLiteral("drop %1").arg(tree_->Items().RowOf(tree_->GetNodeAt(x, y)));
    };
    const QPoint from = rowPoint(4, 100);
    const int threshold = QApplication::startDragDistance();
    mouse(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    mouse(QEvent::MouseMove, from + QPoint(threshold, 0), Qt::NoButton, Qt::LeftButton);
    QVERIFY(!tree_->Dragging());
    const QPoint to = rowPoint(1, 100);
    mouse(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    QVERIFY(tree_->Dragging());
    // The drop target is highlighted besides the selected row.
    const QColor highlight = tree_->palette().color(QPalette::Active, QPalette::Highlight);
    const QColor inactive =
        MarkupRenderer::SystemColourOf(SystemColour::InactiveCaption, tree_->palette());
    QImage image = grab();
    const QColor targetBackground = image.pixelColor(280, to.y());
    QVERIFY(targetBackground == highlight || targetBackground == inactive);
    QCOMPARE(image.pixelColor(280, from.y()), targetBackground);
    QVERIFY(image.pixelColor(280, rowPoint(2, 0).y()) != targetBackground);
    mouse(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
    QVERIFY(!tree_->Dragging());
    QCOMPARE(log_, QStringList({QStringLiteral("down"), QStringLiteral("start 4"),
                                QStringLiteral("over 1 accept=1"), QStringLiteral("drop 1")}));
    image = grab();
    QVERIFY(image.pixelColor(280, to.y()) != targetBackground);

    // Without BeginDrag nothing starts; with the right button the window never arms one.
    log_.clear();
    mouse(QEvent::MouseButtonPress, from, Qt::RightButton, Qt::RightButton);
    mouse(QEvent::MouseMove, to, Qt::NoButton, Qt::RightButton);
    mouse(QEvent::MouseButtonRelease, to, Qt::RightButton, Qt::NoButton);
    QCOMPARE(log_, QStringList({QStringLiteral("down")}));
}

void TreeViewTest::dragRefusedAndLeaving() {
    buildSmallTree();
    bool accepting = false;
    tree_->OnMouseDown = [this](Qt::MouseButton, ShiftState, int, int) { tree_->BeginDrag(); };
    tree_->OnDragOver = [&accepting](int, int, bool& accept) { accept = accepting; };
    int drops = 0;
    tree_->OnDragDrop = [&drops](int, int) { ++drops; };
    const QPoint from = rowPoint(0, 100);
    const QPoint to = rowPoint(3, 100);
    mouse(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    mouse(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    QCOMPARE(tree_->viewport()->cursor().shape(), Qt::ForbiddenCursor);
    mouse(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
    QCOMPARE(drops, 0);

    // Accepted, but released outside the view: no drop, and the target is no longer lit.
    accepting = true;
    mouse(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    mouse(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    QCOMPARE(tree_->viewport()->cursor().shape(), Qt::DragMoveCursor);
    const QColor base = tree_->palette().color(QPalette::Base);
    QVERIFY(grab().pixelColor(380, to.y()) != base);
    const QPoint outside(to.x(), tree_->viewport()->height() + 20);
    mouse(QEvent::MouseMove, outside, Qt::NoButton, Qt::LeftButton);
    QCOMPARE(grab().pixelColor(380, to.y()), base);
    mouse(QEvent::MouseButtonRelease, outside, Qt::LeftButton, Qt::NoButton);
    QCOMPARE(drops, 0);
    QVERIFY(!tree_->Dragging());
}

QTEST_MAIN(TreeViewTest)
#include "treeview_test.moc"
