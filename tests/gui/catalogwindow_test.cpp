// SPDX-License-Identifier: GPL-3.0-or-later
// The catalog in the main window: the classification and set lists read into the choosers, a
// set's members into the text pane, a classification into the tree, the choosers and the find
// panel clicked through as a user does, and the catalog entries freed when the window closes.
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include "app/application.h"
#include "app/tcollapsiblepanel.h"
#include "app/tform1.h"
#include "catalog/catalogchoosers.h"
#include "formats/elementtext.h"
#include "model/caption.h"
#include "model/textfile.h"
#include "textpane/ttextpane.h"
#include "view/trapidtree.h"
#include "windowtestsupport.h"

using namespace settree;
using namespace settree::testing;

namespace {

std::vector<std::string> itemNames(const QComboBox& list) {
    std::vector<std::string> names;
    for (int i = 0; i < list.count(); ++i)
        names.push_back(TForm1::ItemEntry(list, i)->Name);
    return names;
}

void click(TForm1& window, const char* name) {
    QTest::mouseClick(window.findChild<QPushButton*>(QString::fromLatin1(name)), Qt::LeftButton);
}

// Which of the classification chooser, the set chooser and the find panel are shown.
QString shown(const TForm1& window) {
    QString s;
    s += window.GroupBox2->isVisible() ? QLatin1Char('C') : QLatin1Char('-');
    s += window.GroupBox3->isVisible() ? QLatin1Char('S') : QLatin1Char('-');
    s += window.Panel5->isVisible() ? QLatin1Char('F') : QLatin1Char('-');
    return s;
}

// The texts of the result rows, and of the entries they carry ("-" for none).
QStringList results(const TForm1& window) {
    QStringList rows;
    for (int row = 0; row < window.AdvStringGrid1->rowCount(); ++row) {
        const tmb* entry = window.Catalog()->ResultEntry(row);
        const QTableWidgetItem* cell = window.AdvStringGrid1->item(row, 0);
        // A row shows text exactly when it carries an entry.
        const bool text = cell && !cell->text().isEmpty();
        rows << (entry ? QString::fromStdString(entry->Name) : QStringLiteral("-")) +
                    (text == (entry != nullptr) ? QString() : QStringLiteral("(mismatch)"));
    }
    return rows;
}

QStringList strings(std::initializer_list<const char*> texts) {
    QStringList list;
    for (const char* text : texts)
        list << QString::fromUtf8(text);
    return list;
}

int itemIndex(const QComboBox& list, const std::string& name) {
    for (int i = 0; i < list.count(); ++i)
        if (TForm1::ItemEntry(list, i)->Name == name)
            return i;
    return -1;
}

// The element text and the tree that the catalog readers themselves give for a set.
TextLines setText(const std::string& folder, const std::string& name) {
    TextLines lines;
    CollectingFeedback feedback;
    LoadSetIntoText(tmb{0, 0, name, ""}, folder, lines, feedback);
    TFlyNodes tree;
    ParseElementText(lines, tree, feedback);
    return lines;
}

// Every node's caption and weight, a parent before its children, with its depth.
std::vector<std::string> captions(const TFlyNodes& tree) {
    std::vector<std::string> out;
    std::vector<std::pair<const TFlyNode*, int>> stack;
    for (int i = tree.Count() - 1; i >= 0; --i)
        stack.emplace_back(tree.Root(i), 0);
    while (!stack.empty()) {
        const auto [node, depth] = stack.back();
        stack.pop_back();
        out.push_back(std::string(size_t(depth), ' ') + std::string(node->Text()) + "=" +
                      std::string(node->Cells(1)));
        for (int i = node->Count() - 1; i >= 0; --i)
            stack.emplace_back(node->Child(i), depth + 1);
    }
    return out;
}

} // namespace

Q_DECLARE_METATYPE(TextLines)

class CatalogWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(tempDir_.isValid()); }

    void classificationList();
    void classificationIndexUnreadable();
    void setList();
    void setIntoText();
    void setFileFaults_data();
    void setFileFaults();
    void classificationIntoTree();
    void classificationChooserClicked();
    void setChooserClicked();
    void findPanel_data();
    void findPanel();
    void findPanelActsOnResults();
    void findPanelStopsAtFailure();
    void closeFreesEntries();

private:
    // An executable folder with the catalog fixture beside it and the catalog program.
    std::string installCatalog(const char* name) {
        const std::string exe = tempDir_.path().toStdString() + "/" + name + "/";
        const QString catalog = QString::fromStdString(exe + "tessarocgams/");
        QDir().mkpath(catalog);
        for (const char* file : {"pcclassifications.gms", "ListofSets.gms", "Regions.gms"})
            QFile::copy(QStringLiteral(SETTREE_FIXTURES "/catalog/") + QString::fromLatin1(file),
                        catalog + QString::fromLatin1(file));
        writeFile(exe + "tessaroc.exe", "");
        return exe;
    }
    QTemporaryDir tempDir_;
};

void CatalogWindowTest::classificationList() {
    TForm1 window({}, installCatalog("classifications"));
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    auto* button = window.findChild<QPushButton*>(QStringLiteral("Button9"));
    QVERIFY(!button->isHidden());
    QTest::mouseClick(button, Qt::LeftButton);

    // Five entries, one of them without a name; the chooser lists the four with a name, in the
    // order of their texts, each carrying the entry FClassifications owns.
    QCOMPARE(window.FClassifications.Count(), 5);
    const QComboBox& list = *window.HTMLComboBox1;
    QCOMPARE(list.count(), 4);
    const std::vector<std::string> keys = {"EMPTY", "PRODUCTS", "REGIONS", "TOTAL"};
    for (int i = 0; i < list.count(); ++i)
        QCOMPARE(TForm1::ItemEntry(list, i), window.FClassifications.Find(keys[size_t(i)]));
    QCOMPARE(list.itemText(2), QStringLiteral("<font color=\"clgreen\">REGIONS</font> - "
                                              "<font color=\"clblue\">Regions of the world"));
    QCOMPARE(list.itemText(3), QStringLiteral("<font color=\"clgreen\">TOTAL</font>"));
    // Two headers of one name: the later one replaced the earlier.
    QCOMPARE(TForm1::ItemEntry(list, 1)->Description, std::string("Products, later"));
    QCOMPARE(list.currentIndex(), -1);

    // The chooser opens at the window's top right, over everything else.
    auto* chooser = window.findChild<QGroupBox*>(QStringLiteral("GroupBox2"));
    QVERIFY(chooser->isVisible());
    QCOMPARE(chooser->pos(), QPoint(window.width() - chooser->width(), 0));
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("Button11")), Qt::LeftButton);
    QVERIFY(chooser->isHidden());

    // The list is read once: a changed file is not read again while the list has entries.
    writeFile(window.FCatalogFile, "SET abcOther(a)\r\n/\r\n\"level1\".\"X\".\"X\"\r\n/\r\n");
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(window.FClassifications.Count(), 5);
    QCOMPARE(list.count(), 4);
    QVERIFY(chooser->isVisible());
}

void CatalogWindowTest::classificationIndexUnreadable() {
    TForm1 window({}, installCatalog("unreadable-index"));
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    const QString index = QString::fromStdString(window.FCatalogFile);
    QVERIFY(QFile::rename(index, index + QStringLiteral(".away")));
    auto* button = window.findChild<QPushButton*>(QStringLiteral("Button9"));
    {
        MessageBoxCatcher catcher;
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(catcher.texts, QStringList{QStringLiteral("Cannot open file ") + index});
    }
    QVERIFY(window.FClassifications.Empty());
    QCOMPARE(window.HTMLComboBox1->count(), 0);
    QVERIFY(window.findChild<QGroupBox*>(QStringLiteral("GroupBox2"))->isHidden());

    // Once the file is back, the next press reads it.
    QVERIFY(QFile::rename(index + QStringLiteral(".away"), index));
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(window.HTMLComboBox1->count(), 4);
}

void CatalogWindowTest::setList() {
    TForm1 window({}, installCatalog("sets"));
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    auto* button = window.findChild<QPushButton*>(QStringLiteral("Button12"));
    QVERIFY(!button->isHidden());
    auto* chooser = window.findChild<QGroupBox*>(QStringLiteral("GroupBox3"));

    // A set list that cannot be read: reported, nothing added, the chooser stays hidden.
    const QString file = QString::fromStdString(window.CatalogFolder() + "ListofSets.gms");
    QVERIFY(QFile::rename(file, file + QStringLiteral(".away")));
    {
        MessageBoxCatcher catcher;
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(catcher.texts, QStringList{QStringLiteral("Cannot open file ") + file});
    }
    QCOMPARE(window.HTMLComboBox2->count(), 0);
    QVERIFY(chooser->isHidden());
    QVERIFY(QFile::rename(file + QStringLiteral(".away"), file));
    QTest::mouseClick(button, Qt::LeftButton);

    // Seven sets, sorted by item text; the list owns their entries.
    const std::vector<std::string> names = {"",           "",     "goods_alias", "products",
                                            "Regions(*)", "Same", "Total"};
    QCOMPARE(itemNames(*window.HTMLComboBox2), names);
    QCOMPARE(window.HTMLComboBox2->itemText(4),
             QStringLiteral("<font color=\"clgreen\">REGIONS(*)</font> - "
                            "<font color=\"clblue\">All regions"));
    QCOMPARE(window.HTMLComboBox2->currentIndex(), -1);

    // The set chooser opens at the top right of the text panel.
    QVERIFY(chooser->isVisible());
    QCOMPARE(chooser->y(), 0);
    QCOMPARE(chooser->geometry().right(), window.Panel1->geometry().right());
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("Button14")), Qt::LeftButton);
    QVERIFY(chooser->isHidden());

    // Read once, like the classifications.
    QFile::remove(file);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(window.HTMLComboBox2->count(), 7);
}

void CatalogWindowTest::setIntoText() {
    TForm1 window({}, installCatalog("members"));
    window.LoadSetList();
    const tmb* regions = TForm1::ItemEntry(*window.HTMLComboBox2, 4);
    QCOMPARE(regions->Name, std::string("Regions(*)"));
    window.RxRichEdit1->SetLines({"\"OLD\""});
    window.LoadSetIntoText(*regions);
    // The member right after the opening "/" line is not taken; the rest is normalised.
    const TextLines expected = {"\"EUR\" \"Europe\"",          "\"AME\" \"America\"",
                                "\"NLD\" Netherlands",         "\"fra\" \"France\"",
                                "*!\"FRA\" \"France, later\"", "\"GER\""};
    QCOMPARE(window.RxRichEdit1->Lines(), expected);
    QCOMPARE(window.RapidTree4->Items().Count(), 0); // the caller builds the tree
}

void CatalogWindowTest::setFileFaults_data() {
    QTest::addColumn<QString>("content"); // none: no set file at all
    QTest::addColumn<QString>("message");
    QTest::addColumn<TextLines>("pane");
    const TextLines old = {"\"OLD\""};
    QTest::newRow("no file") << QString() << "Cannot open file %1" << old;
    QTest::newRow("slash on the first line only")
        << "/\r\n\"A\"\r\n\"B\"\r\n"
        << "Set file %1 has no member block" << TextLines{};
    QTest::newRow("block not closed")
        << "Set Faulty(*)\r\n/\r\n\"A\"\r\nB\r\n  C  \r\n"
        << "The member block of set file %1 is not closed" << TextLines{"B", "C"};
}

void CatalogWindowTest::setFileFaults() {
    QFETCH(QString, content);
    QFETCH(QString, message);
    QFETCH(TextLines, pane);
    TForm1 window({}, installCatalog("faults"));
    const std::string file = window.CatalogFolder() + "Faulty.gms";
    QFile::remove(QString::fromStdString(file));
    if (!content.isNull())
        writeFile(file, content.toStdString());
    tmb entry;
    entry.Name = "Faulty(*)";
    window.RxRichEdit1->SetLines({"\"OLD\""});

    // The command ends at the failure, through the default error report: nothing after it runs.
    bool ranOn = false;
    MessageBoxCatcher catcher;
    RunReportingErrors([&] {
        window.LoadSetIntoText(entry);
        ranOn = true;
    });
    QVERIFY(!ranOn);
    QCOMPARE(catcher.texts, QStringList{message.arg(QString::fromStdString(file))});
    // An unreadable file leaves the pane; otherwise it holds the members taken, not normalised.
    QCOMPARE(window.RxRichEdit1->Lines(), pane);
}

void CatalogWindowTest::classificationIntoTree() {
    TForm1 window({}, installCatalog("load"));
    int dialogs = 0;
    window.RunFileDialog = [&](QFileDialog&) {
        ++dialogs;
        return QString();
    };
    window.LoadClassificationIndex();
    window.FSelectedClassification = window.FClassifications.Find("REGIONS");
    QVERIFY(window.FSelectedClassification);
    window.FLoadFromFile = false;
    window.RapidTree4->SetFitToHeight(false);
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("Button8")), Qt::LeftButton);

    // No dialog; the block of the index, with descriptions from the set file and weights "1".
    QCOMPARE(dialogs, 0);
    QVERIFY(window.FLoadFromFile);
    QVERIFY(window.RapidTree4->FitToHeight());
    const TFlyNodes& tree = window.RapidTree4->Items();
    QCOMPARE(tree.Count(), 1);
    QCOMPARE(std::string(tree.Root(0)->Text()), MakeCaption("WLD", "World"));
    QCOMPARE(tree.Root(0)->Count(), 2);
    QCOMPARE(std::string(tree.Root(0)->Child(0)->Child(0)->Text()),
             MakeCaption("FRA", "France, later"));
    QCOMPARE(std::string(tree.Root(0)->Child(0)->Cells(1)), std::string("1"));
    QCOMPARE(window.RxRichEdit1->Lines().front(), std::string("\"WLD\" \"World\""));

    // The next "Load" asks for a file again.
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("Button8")), Qt::LeftButton);
    QCOMPARE(dialogs, 1);
    QCOMPARE(tree.Count(), 1);
}

void CatalogWindowTest::classificationChooserClicked() {
    const std::string exe = installCatalog("classification-chooser");
    TForm1 window({}, exe);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    int dialogs = 0;
    window.RunFileDialog = [&](QFileDialog&) {
        ++dialogs;
        return QString();
    };
    window.RapidTree4->Items().AddChild(nullptr, MakeCaption("OLD"));
    click(window, "Button9");
    QCOMPARE(shown(window), QStringLiteral("C--"));

    // "OK" without a selected item: nothing happens, the chooser stays open.
    click(window, "Button10");
    QCOMPARE(shown(window), QStringLiteral("C--"));
    QCOMPARE(window.RapidTree4->Items().Count(), 1);
    QCOMPARE(window.FSelectedClassification, nullptr);

    // A chosen classification loads as the catalog load itself gives it, without a dialog.
    window.HTMLComboBox1->setCurrentIndex(itemIndex(*window.HTMLComboBox1, "Regions"));
    click(window, "Button10");
    QCOMPARE(shown(window), QStringLiteral("---"));
    QCOMPARE(dialogs, 0);
    QCOMPARE(window.FSelectedClassification, window.FClassifications.Find("REGIONS"));
    QVERIFY(window.FLoadFromFile);
    TFlyNodes expected;
    TextLines expectedLines;
    CollectingFeedback feedback;
    QVERIFY(LoadPCFromCatalog(window.FCatalogFile, *window.FSelectedClassification, expected,
                              expectedLines, feedback));
    QCOMPARE(captions(window.RapidTree4->Items()), captions(expected));
    QCOMPARE(window.RxRichEdit1->Lines(), expectedLines);

    // "Abort" hides the chooser and changes nothing else.
    click(window, "Button9");
    window.HTMLComboBox1->setCurrentIndex(itemIndex(*window.HTMLComboBox1, "Total"));
    click(window, "Button11");
    QCOMPARE(shown(window), QStringLiteral("---"));
    QCOMPARE(captions(window.RapidTree4->Items()), captions(expected));
}

void CatalogWindowTest::setChooserClicked() {
    TForm1 window({}, installCatalog("set-chooser"));
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    window.RxRichEdit1->SetLines({"\"OLD\""});
    click(window, "Button12");
    QCOMPARE(shown(window), QStringLiteral("-S-"));
    click(window, "Button13");
    QCOMPARE(shown(window), QStringLiteral("-S-"));
    QCOMPARE(window.RxRichEdit1->Lines(), TextLines{"\"OLD\""});

    // The members into the text pane, normalised, and the tree built from them.
    window.HTMLComboBox2->setCurrentIndex(itemIndex(*window.HTMLComboBox2, "Regions(*)"));
    click(window, "Button13");
    QCOMPARE(shown(window), QStringLiteral("---"));
    const TextLines expected = setText(window.CatalogFolder(), "Regions(*)");
    QCOMPARE(window.RxRichEdit1->Lines(), expected);
    QCOMPARE(window.RapidTree4->Items().Count(), int(expected.size()));
    QCOMPARE(std::string(window.RapidTree4->Items().Root(0)->Text()), MakeCaption("EUR", "Europe"));
}

void CatalogWindowTest::findPanel_data() {
    QTest::addColumn<QString>("chooserButton");
    QTest::addColumn<QString>("search");
    QTest::addColumn<QStringList>("rows");
    const QStringList classifications = strings({"Empty", "PRODUCTS", "Regions", "Total"});
    QTest::newRow("classification by name")
        << QStringLiteral("Button15") << QStringLiteral("regions") << strings({"Regions"});
    QTest::newRow("classification by description")
        << QStringLiteral("Button15") << QStringLiteral("WORLD") << strings({"Regions"});
    QTest::newRow("markup matches every item")
        << QStringLiteral("Button15") << QStringLiteral("font") << classifications;
    QTest::newRow("no match leaves one empty row")
        << QStringLiteral("Button15") << QStringLiteral("xyz") << strings({"-"});
    QTest::newRow("empty search matches nothing")
        << QStringLiteral("Button15") << QStringLiteral("") << strings({"-"});
    QTest::newRow("sets in list order") << QStringLiteral("Button16") << QStringLiteral("al")
                                        << strings({"goods_alias", "Regions(*)", "Total"});
    QTest::newRow("sets: markup matches every item")
        << QStringLiteral("Button16") << QStringLiteral("COLOR")
        << strings({"", "", "goods_alias", "products", "Regions(*)", "Same", "Total"});
}

void CatalogWindowTest::findPanel() {
    QFETCH(QString, chooserButton);
    QFETCH(QString, search);
    QFETCH(QStringList, rows);
    TForm1 window({}, installCatalog("find"));
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    const bool sets = chooserButton == QStringLiteral("Button16");
    click(window, sets ? "Button12" : "Button9");
    window.Edit3->setText(QStringLiteral("kept from before"));
    click(window, qPrintable(chooserButton));

    // The chooser gives way to the find panel, which keeps the search text and takes the focus.
    QCOMPARE(shown(window), QStringLiteral("--F"));
    QCOMPARE(window.FFindMode, std::string(sets ? "TREE" : "PC"));
    QCOMPARE(window.Edit3->text(), QStringLiteral("kept from before"));
    QTRY_VERIFY(window.Edit3->hasFocus());
    QCOMPARE(results(window), QStringList{QStringLiteral("-")});

    // Enter in the search box searches, as "Find" does.
    window.Edit3->clear();
    QTest::keyClicks(window.Edit3, search);
    QTest::keyClick(window.Edit3, Qt::Key_Return);
    QCOMPARE(results(window), rows);
    QCOMPARE(window.AdvStringGrid1->horizontalHeaderItem(0)->text(),
             QStringLiteral("Classification"));
    QCOMPARE(window.AdvStringGrid1->rowHeight(0), 21);
    click(window, "Button19");
    QCOMPARE(results(window), rows);

    // Opening again empties the results; "Close" hides the panel and brings no chooser back.
    click(window, sets ? "Button12" : "Button9");
    click(window, qPrintable(chooserButton));
    QCOMPARE(results(window), QStringList{QStringLiteral("-")});
    QCOMPARE(window.Edit3->text(), search);
    click(window, "Button18");
    QCOMPARE(shown(window), QStringLiteral("---"));
}

void CatalogWindowTest::findPanelActsOnResults() {
    TForm1 window({}, installCatalog("find-select"));
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    window.RunFileDialog = [](QFileDialog&) { return QString(); };

    // A search without a match: "Select" on its empty row does nothing.
    click(window, "Button9");
    click(window, "Button15");
    window.Edit3->setText(QStringLiteral("nothing like it"));
    click(window, "Button19");
    click(window, "Button17");
    QCOMPARE(shown(window), QStringLiteral("--F"));
    QCOMPARE(window.RapidTree4->Items().Count(), 0);

    // "Select" on a classification loads it; the panel goes.
    window.Edit3->setText(QStringLiteral("ORLD"));
    click(window, "Button19");
    QCOMPARE(window.AdvStringGrid1->currentRow(), 0);
    click(window, "Button17");
    QCOMPARE(shown(window), QStringLiteral("---"));
    QCOMPARE(window.FSelectedClassification, window.FClassifications.Find("REGIONS"));
    QVERIFY(window.FLoadFromFile);
    QCOMPARE(std::string(window.RapidTree4->Items().Root(0)->Text()), MakeCaption("WLD", "World"));

    // A double click on a set's row loads the set into the text pane and builds the tree.
    click(window, "Button12");
    click(window, "Button16");
    window.Edit3->setText(QStringLiteral("all regions"));
    click(window, "Button19");
    QCOMPARE(results(window), QStringList{QStringLiteral("Regions(*)")});
    QTableWidget& grid = *window.AdvStringGrid1;
    const QRect cell = grid.visualItemRect(grid.item(0, 0));
    // A double click's first press, then the second one, which the widget reports as such.
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(shown(window), QStringLiteral("---"));
    QCOMPARE(window.RxRichEdit1->Lines(), setText(window.CatalogFolder(), "Regions(*)"));
    QCOMPARE(std::string(window.RapidTree4->Items().Root(0)->Text()), MakeCaption("EUR", "Europe"));
}

void CatalogWindowTest::findPanelStopsAtFailure() {
    TForm1 window({}, installCatalog("find-failure"));
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    window.RxRichEdit1->SetLines({"\"OLD\""});
    window.RapidTree4->Items().AddChild(nullptr, MakeCaption("OLD"));
    click(window, "Button12");
    click(window, "Button16");
    window.Edit3->setText(QStringLiteral("\"clgreen\">PRODUCTS<"));
    click(window, "Button19");
    QCOMPARE(results(window), QStringList{QStringLiteral("products")});

    // The set has no file: the error is reported and nothing after it runs.
    {
        MessageBoxCatcher catcher;
        click(window, "Button17");
        QCOMPARE(catcher.texts.size(), 1);
        QVERIFY(catcher.texts.front().startsWith(QStringLiteral("Cannot open file ")));
    }
    QCOMPARE(shown(window), QStringLiteral("--F"));
    QCOMPARE(window.RxRichEdit1->Lines(), TextLines{"\"OLD\""});
    QCOMPARE(std::string(window.RapidTree4->Items().Root(0)->Text()), MakeCaption("OLD"));
}

void CatalogWindowTest::closeFreesEntries() {
    TForm1 window({}, installCatalog("close"));
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("Button9")), Qt::LeftButton);
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("Button12")), Qt::LeftButton);
    QVERIFY(window.HTMLComboBox1->count() > 0 && window.HTMLComboBox2->count() > 0);
    window.close();
    QVERIFY(window.FClassifications.Empty());
    QCOMPARE(window.HTMLComboBox1->count(), 0);
    QCOMPARE(window.HTMLComboBox2->count(), 0);
}

int main(int argc, char** argv) {
    Application app(argc, argv);
    CatalogWindowTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "catalogwindow_test.moc"
