// SPDX-License-Identifier: GPL-3.0-or-later
// The catalog in the main window: the classification and set lists read into the choosers, a
// set's members into the text pane, a classification into the tree, and the catalog entries
// freed when the window closes.
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "app/application.h"
#include "app/tcollapsiblepanel.h"
#include "app/tform1.h"
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
