// SPDX-License-Identifier: GPL-3.0-or-later
// The colour markup of cell texts: taking it apart into runs, colour values, and drawing it,
// alone and in the items of the chooser lists and the result grid.
#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QPainter>
#include <QTableWidget>
#include <QTest>
#include <cstdlib>
#include <string>

#include "display/displaytext.h"
#include "model/utf8.h"
#include "view/markup.h"
#include "view/markupcombobox.h"
#include "view/markupitemdelegate.h"
#include "view/markuprenderer.h"

using namespace settree;

namespace {

QString colourName(const MarkupColour& c) {
    switch (c.kind) {
    case MarkupColour::Kind::CellText:
        return QStringLiteral("text");
    case MarkupColour::Kind::CellBackground:
        return QStringLiteral("none");
    case MarkupColour::Kind::Rgb:
        return QStringLiteral("%1").arg(c.rgb, 6, 16, QLatin1Char('0')).toUpper();
    case MarkupColour::Kind::System:
        return QStringLiteral("sys%1").arg(static_cast<int>(c.system));
    }
    return {};
}

// One run as "text/colour", followed by what differs from the cell's font.
QString describe(const MarkupRun& run) {
    QString s = QString::fromLatin1(run.text.data(), static_cast<qsizetype>(run.text.size())) +
                QLatin1Char('/') + colourName(run.font.colour);
    if (run.font.bold)
        s += QStringLiteral(" b");
    if (run.font.italic)
        s += QStringLiteral(" i");
    if (run.font.underline)
        s += QStringLiteral(" u");
    if (run.font.strikeOut)
        s += QStringLiteral(" s");
    if (!run.font.face.empty())
        s +=
            QStringLiteral(" face=") +
            QString::fromLatin1(run.font.face.data(), static_cast<qsizetype>(run.font.face.size()));
    if (run.font.pixelSize)
        s += QStringLiteral(" px=%1").arg(run.font.pixelSize);
    if (run.background.kind != MarkupColour::Kind::CellBackground)
        s += QStringLiteral(" bg=") + colourName(run.background);
    if (run.line)
        s += QStringLiteral(" L%1").arg(run.line);
    return s;
}

QString describe(const MarkupText& text) {
    QStringList runs;
    for (const MarkupRun& run : text.runs)
        runs << describe(run);
    return runs.join(QStringLiteral(" | "));
}

// Pixels of clearly that hue; text edges are smoothed into the background.
int countPixels(const QImage& image, QColor colour) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - colour.red()) < 40 &&
                std::abs(c.green() - colour.green()) < 40 &&
                std::abs(c.blue() - colour.blue()) < 40)
                ++n;
        }
    return n;
}

} // namespace

class MarkupTest : public QObject {
    Q_OBJECT
private slots:
    void colourValues_data();
    void colourValues();
    void runs_data();
    void runs();
    void lines();
    void largeTagSoup();
    void utf8_data();
    void utf8();
    void drawsColours();
    void measures();
    void hugeTextsAreCut();
    void systemColours();
    void listItems();
};

void MarkupTest::colourValues_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("colour"); // "" when unreadable

    QTest::newRow("html green") << "#008000"
                                << "008000";
    QTest::newRow("html lower case") << "#ff00aa"
                                     << "FF00AA";
    QTest::newRow("number green") << "$0000FF00"
                                  << "00FF00";
    QTest::newRow("number blue in high byte") << "$00FF0000"
                                              << "0000FF";
    QTest::newRow("number red") << "$000000FF"
                                << "FF0000";
    QTest::newRow("number above 24 bits") << "$01000000"
                                          << "";
    QTest::newRow("dollar alone") << "$"
                                  << "";
    QTest::newRow("hash alone") << "#"
                                << "";
    QTest::newRow("not hexadecimal") << "#00GG00"
                                     << "";
    QTest::newRow("clgreen") << "clgreen"
                             << "008000";
    QTest::newRow("CLBLUE") << "CLBLUE"
                            << "0000FF";
    QTest::newRow("clMoneyGreen") << "clMoneyGreen"
                                  << "C0DCC0";
    QTest::newRow("clMedGray") << "clmedgray"
                               << "A0A0A4";
    QTest::newRow("system clWindow")
        << "clWindow" << QStringLiteral("sys%1").arg(int(SystemColour::Window));
    QTest::newRow("system clInfoBk")
        << "clInfoBk" << QStringLiteral("sys%1").arg(int(SystemColour::InfoBk));
    QTest::newRow("unknown identifier") << "clNothing"
                                        << "";
    QTest::newRow("stray c") << "c"
                             << "";
    QTest::newRow("plain word") << "red"
                                << "";
    QTest::newRow("empty") << ""
                           << "";
}

void MarkupTest::colourValues() {
    QFETCH(QString, value);
    QFETCH(QString, colour);
    const std::string bytes = value.toStdString();
    MarkupColour parsed{MarkupColour::Kind::CellBackground};
    const bool ok = ParseMarkupColour(bytes, parsed);
    QCOMPARE(ok, !colour.isEmpty());
    if (ok)
        QCOMPARE(colourName(parsed), colour);
    else
        QCOMPARE(parsed.kind, MarkupColour::Kind::CellBackground); // untouched
}

void MarkupTest::runs_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("runs");

    QTest::newRow("element caption") << "<color=clgreen>abc</color> - <color=clblue>d e</color>"
                                     << "abc/008000 |  - /text | d e/0000FF";
    QTest::newRow("caption without description") << "<color=clgreen>abc</color>"
                                                 << "abc/008000";
    QTest::newRow("tag names in any case") << "<CoLoR=ClGreen>x</COLOR>y"
                                           << "x/008000 | y/text";
    QTest::newRow("unknown tag is text with its brackets") << "a<5 and b>3"
                                                           << "a/text | <5 and b>/text | 3/text";
    QTest::newRow("unclosed tag is text to the end") << "x<y z"
                                                     << "x/text | <y z/text";
    QTest::newRow("style tags must match exactly") << "<B >x"
                                                   << "<B >/text | x/text";
    QTest::newRow("bold italic underline strike")
        << "<b>B</b><i>I</i><u>U</u><s>S</s>N"
        << "B/text b | I/text i | U/text u | S/text s | N/text";
    QTest::newRow("font attributes") << "<font face=\"Courier New\" size=20 color=clred>F</font>N"
                                     << "F/FF0000 face=Courier New px=20 | N/text";
    QTest::newRow("font colour unreadable keeps the colour")
        << "<color=clblue><font color=bogus>x</font></color>"
        << "x/0000FF";
    QTest::newRow("colour unreadable gives the cell colour")
        << "<color=clblue><color=bogus>x</color>y</color>z"
        << "x/text | y/0000FF | z/text";
    QTest::newRow("colours nest") << "<color=clred><color=clblue>a</color>b</color>c"
                                  << "a/0000FF | b/FF0000 | c/text";
    QTest::newRow("closing without anything remembered") << "</color></font></bgcolor>x"
                                                         << "x/text";
    QTest::newRow("end of font keeps the styles") << "<font size=20><b>x</font>y"
                                                  << "x/text b px=20 | y/text b";
    QTest::newRow("background and its end") << "<bgcolor=clyellow>x</bgcolor>y"
                                            << "x/text bg=FFFF00 | y/text";
    QTest::newRow("background unreadable is the text colour") << "<bgcolor=nothing>x"
                                                              << "x/text bg=text";
    QTest::newRow("font tag wins over colour") << "<font color=clred>x</font>"
                                               << "x/FF0000";
    QTest::newRow("anything holding COLOR is a colour tag") << "<xcolor=clred>x"
                                                            << "x/FF0000";
    QTest::newRow("blanks around the value") << "<color =  clgreen >x"
                                             << "x/008000";
    QTest::newRow("system colour stays symbolic")
        << "<color=clHighlight>x" << QStringLiteral("x/sys%1").arg(int(SystemColour::Highlight));
}

void MarkupTest::runs() {
    QFETCH(QString, text);
    QFETCH(QString, runs);
    const std::string bytes = text.toStdString();
    QCOMPARE(describe(ParseMarkup(bytes)), runs);
}

void MarkupTest::lines() {
    const MarkupText parsed = ParseMarkup("a\r\nb\n<b>c\rd</b>\n");
    QCOMPARE(describe(parsed), QStringLiteral("a/text | b/text L1 | c/text b L2 | d/text b L2"));
    QCOMPARE(parsed.lineCount, 4);
}

void MarkupTest::largeTagSoup() {
    // A megabyte of tags whose fonts and backgrounds are remembered and never given back, then
    // a "<" without a ">": every piece must still come out right.
    const std::string piece = "<font size=12><b>x</b><color=#FF0000>y</color><bgcolor=$FF>z";
    std::string soup;
    size_t pieces = 0;
    for (; soup.size() < 1000000; ++pieces)
        soup += piece;
    soup += "<<q";
    const MarkupText parsed = ParseMarkup(soup);
    QCOMPARE(parsed.runs.size(), 3 * pieces + 1);
    QCOMPARE(describe(parsed.runs[1]), QStringLiteral("y/FF0000 px=12"));
    QCOMPARE(describe(parsed.runs[3 * pieces - 1]), QStringLiteral("z/text px=12 bg=FF0000"));
    QCOMPARE(describe(parsed.runs.back()), QStringLiteral("<<q/text px=12 bg=FF0000"));
    // Only "<" without any ">" after it: one run, the whole text.
    const std::string open(1000000, '<');
    QCOMPARE(ParseMarkup(open).runs.size(), size_t(1));
}

void MarkupTest::utf8_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("valid");
    QTest::newRow("empty") << QByteArray() << true;
    QTest::newRow("ascii") << QByteArray("abc") << true;
    QTest::newRow("e acute") << QByteArray("caf\xC3\xA9") << true;
    QTest::newRow("four bytes") << QByteArray("\xF0\x9F\x98\x80") << true;
    QTest::newRow("latin-1 e acute") << QByteArray("caf\xE9") << false;
    QTest::newRow("overlong slash") << QByteArray("\xC0\xAF") << false;
    QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80") << false;
    QTest::newRow("past U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << false;
    QTest::newRow("cut short") << QByteArray("\xE2\x82") << false;
}

void MarkupTest::utf8() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, valid);
    const std::string_view view(bytes.constData(), static_cast<size_t>(bytes.size()));
    QCOMPARE(IsValidUtf8(view), valid);
    const QString shown = BytesToDisplay(view);
    if (valid)
        QCOMPARE(shown, QString::fromUtf8(bytes));
    else
        QCOMPARE(shown, QString::fromLatin1(bytes));
}

void MarkupTest::drawsColours() {
    QImage image(200, 20, QImage::Format_RGB32);
    image.fill(Qt::white);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(14);
    const MarkupRenderer::Cell cell{font, QColor(Qt::black), QApplication::palette()};
    {
        QPainter painter(&image);
        MarkupRenderer::Draw(painter, image.rect(),
                             "<color=clgreen>AB</color> - <color=clblue>CD</color>"
                             "<bgcolor=clRed>   </bgcolor>",
                             cell, true);
    }
    QVERIFY(countPixels(image, QColor(0, 128, 0)) > 10);
    QVERIFY(countPixels(image, QColor(0, 0, 255)) > 10);
    QVERIFY(countPixels(image, QColor(0, 0, 0)) > 0); // the separator
    QVERIFY(countPixels(image, QColor(255, 0, 0)) > 20);

    // Clipped at the rectangle's right edge.
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        MarkupRenderer::Draw(painter, QRect(0, 0, 10, 20), "<color=clgreen>WWWWWWWW</color>", cell,
                             true);
    }
    QVERIFY(countPixels(image.copy(0, 0, 10, 20), QColor(0, 128, 0)) > 0);
    QCOMPARE(countPixels(image.copy(10, 0, 190, 20), QColor(Qt::white)), 190 * 20);
}

void MarkupTest::measures() {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(11);
    const QSize plain = MarkupRenderer::Measure("abc", font, true);
    QCOMPARE(plain.height(), QFontMetrics(font).height());
    QCOMPARE(MarkupRenderer::Measure("<color=clgreen>abc</color>", font, true), plain);
    QVERIFY(MarkupRenderer::Measure("<b>abcdefghij</b>", font, true).width() >
            MarkupRenderer::Measure("abcdefghij", font, true).width());
    QVERIFY(MarkupRenderer::Measure("<font size=30>abc</font>", font, true).height() >
            plain.height());
    // Two lines stack unless drawn on one line; an empty text is one line high.
    QCOMPARE(MarkupRenderer::Measure("abc\nabc", font, false).height(), 2 * plain.height());
    QCOMPARE(MarkupRenderer::Measure("abc\nabc", font, true).height(), plain.height());
    QCOMPARE(MarkupRenderer::Measure("abc\nabc", font, true).width(), 2 * plain.width());
}

void MarkupTest::systemColours() {
    QPalette palette;
    palette.setColor(QPalette::Base, QColor(250, 250, 250));
    palette.setColor(QPalette::Highlight, QColor(10, 20, 200));
    palette.setColor(QPalette::ToolTipBase, QColor(255, 255, 225));
    QCOMPARE(MarkupRenderer::SystemColourOf(SystemColour::Highlight, palette), QColor(10, 20, 200));
    QCOMPARE(MarkupRenderer::SystemColourOf(SystemColour::Window, palette), QColor(250, 250, 250));
    QCOMPARE(MarkupRenderer::SystemColourOf(SystemColour::InfoBk, palette), QColor(255, 255, 225));
    // No inactive tone of its own: a muted one between highlight and window.
    const QColor muted = MarkupRenderer::SystemColourOf(SystemColour::InactiveCaption, palette);
    QVERIFY(muted != QColor(10, 20, 200));
    QVERIFY(muted != QColor(250, 250, 250));
    palette.setColor(QPalette::Inactive, QPalette::Highlight, QColor(100, 100, 100));
    QCOMPARE(MarkupRenderer::SystemColourOf(SystemColour::InactiveCaption, palette),
             QColor(100, 100, 100));
    const MarkupRenderer::Cell cell{QFont(), QColor(1, 2, 3), palette};
    QCOMPARE(MarkupRenderer::Resolve(MarkupColour{MarkupColour::Kind::CellText}, cell),
             QColor(1, 2, 3));
    QVERIFY(
        !MarkupRenderer::Resolve(MarkupColour{MarkupColour::Kind::CellBackground}, cell).isValid());
}

// A chooser item as the lists and the result grid show it: its markup rendered, in the list, in
// the closed box and in a grid cell, and measured without its tags.
void MarkupTest::listItems() {
    const QString item = QStringLiteral(
        "<font color=\"clgreen\">REGIONS</font> - <font color=\"clblue\">World regions");
    const QColor green(0, 128, 0);
    const QColor blue(0, 0, 255);

    QTableWidget grid(1, 1);
    grid.setItemDelegate(new MarkupItemDelegate(&grid));
    grid.horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    grid.setItem(0, 0, new QTableWidgetItem(item));
    grid.resize(500, 120);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    const QImage cells = grid.viewport()->grab().toImage();
    QVERIFY(countPixels(cells, green) > 10);
    QVERIFY(countPixels(cells, blue) > 10);

    QStyleOptionViewItem option;
    option.initFrom(&grid);
    const int width = grid.itemDelegate()->sizeHint(option, grid.model()->index(0, 0)).width();
    const int plain =
        QFontMetrics(grid.font()).horizontalAdvance(QStringLiteral("REGIONS - World regions"));
    QVERIFY2(qAbs(width - plain) <= 10, qPrintable(QStringLiteral("%1 %2").arg(width).arg(plain)));

    MarkupComboBox list;
    list.addItem(item);
    list.addItem(QStringLiteral("<font color=\"clgreen\">TOTAL</font>"));
    list.setCurrentIndex(0);
    list.resize(649, 22);
    list.SetDropDownSize(QSize(649, 200));
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    const QImage box = list.grab().toImage();
    QVERIFY(countPixels(box, green) > 10);
    QVERIFY(countPixels(box, blue) > 10);

    list.showPopup();
    QWidget* popup = list.view()->window();
    QTRY_VERIFY(popup->isVisible());
    QCOMPARE(popup->size(), QSize(649, 200));
    const QImage opened = list.view()->viewport()->grab().toImage();
    QVERIFY(countPixels(opened, green) > 20);
    QVERIFY(countPixels(opened, blue) > 10);
    list.hidePopup();
}

QTEST_MAIN(MarkupTest)
void MarkupTest::hugeTextsAreCut() {
    // A caption of megabytes is drawn and measured by its first 4096 bytes and "...": the text
    // engine never shapes the rest, glyph by glyph. Texts that share those bytes look the same.
    const QFont font(QStringLiteral("Arial"));
    const std::string prefix = "<color=clgreen>" + std::string(4090, 'x');
    const std::string huge = prefix + std::string(10'000'000, 'x') + "</color>";
    const std::string other = prefix + std::string(1'000'000, 'W') + "</color>";
    const QSize size = MarkupRenderer::Measure(huge, font, true);
    QCOMPARE(size, MarkupRenderer::Measure(other, font, true));
    QVERIFY(size.width() < MarkupRenderer::Measure(std::string(5000, 'x'), font, true).width());
    // A UTF-8 character that the cut would split is left out whole: the text stays UTF-8.
    const std::string accents = std::string(4095, 'a') + "\xC3\xA9" + std::string(5000, 'b');
    QCOMPARE(MarkupRenderer::Measure(accents, font, true),
             MarkupRenderer::Measure(std::string(4095, 'a') + "\xC3\xA9" + std::string(50, 'c'),
                                     font, true));

    QImage image(400, 30, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    MarkupRenderer::Draw(painter, image.rect(), huge, {font, Qt::black, QPalette()}, true);
    painter.end();
    bool green = false;
    for (int x = 0; x < image.width() && !green; ++x)
        for (int y = 0; y < image.height() && !green; ++y)
            green = image.pixelColor(x, y).green() > 100 && image.pixelColor(x, y).red() < 80;
    QVERIFY(green); // the row is drawn, not blank
}

#include "markup_test.moc"
