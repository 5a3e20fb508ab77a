// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's commands on files and the clipboard: tuples saved, copied and loaded from
// the tree pane and both menus, the text pane's commands reached through the window, and the
// conversion of a .PC file named on the command line when something goes wrong.
#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>
#include <unistd.h>

#include "app/application.h"
#include "app/tform1.h"
#include "model/caption.h"
#include "model/textfile.h"
#include "textpane/textpanecommands.h"
#include "textpane/ttextpane.h"
#include "view/trapidtree.h"
#include "windowtestsupport.h"

using namespace settree;
using namespace settree::testing;

namespace {

const std::string kTuples = "\"level1\".\"EUR\".\"EUR\" 1 @ \"Europe\"\r\n"
                            "\"level2\".\"DEU\".\"EUR\" 3\r\n";
const QString kSentinel = QStringLiteral("left alone");

// The window's file dialogs answer with a file name from the test and note who asked.
struct Dialogs {
    explicit Dialogs(TForm1& window) {
        window.RunFileDialog = [this](QFileDialog& dialog) {
            asked << dialog.objectName();
            return answer;
        };
    }
    QString answer;
    QStringList asked;
};

void click(TForm1& window, const char* button) {
    QTest::mouseClick(window.findChild<QPushButton*>(QString::fromLatin1(button)), Qt::LeftButton);
}

void trigger(TForm1& window, const char* item) {
    window.findChild<QAction*>(QString::fromLatin1(item))->trigger();
}

std::vector<std::string> rootTexts(const TFlyNodes& tree) {
    std::vector<std::string> texts;
    for (int i = 0; i < tree.Count(); ++i)
        texts.emplace_back(tree.Root(i)->Text());
    return texts;
}

// Another name for the same file, which a rewrite in place would change as well.
std::string hardLink(const std::string& file) {
    const std::string link = file + ".link";
    if (::link(file.c_str(), link.c_str()) != 0)
        return {};
    return link;
}

} // namespace

class WindowCommandsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(tempDir_.isValid()); }

    void tuplesToClipboard();
    void tuplesToFile();
    void tuplesFromFile();
    void tuplesInOneEncoding();
    void tupleLoadFailures();
    void textPaneFromWindow();
    void textPaneFileFailures();
    void conversionAfterFailedLoadWritesNothing();
    void conversionReplacesFilesWhole();
    void conversionStopsAtFailedWrite();

private:
    std::string folder(const char* name) {
        const std::string path = tempDir_.path().toStdString() + "/" + name + "/";
        QDir().mkpath(QString::fromStdString(path));
        return path;
    }
    QTemporaryDir tempDir_;
};

void WindowCommandsTest::tuplesToClipboard() {
    TForm1 window({}, folder("empty"));
    // An empty tree leaves the clipboard as it was, from either menu.
    for (const char* item : {"SavePCtoclipboard1", "SavePCtoclipboard2"}) {
        QGuiApplication::clipboard()->setText(kSentinel);
        trigger(window, item);
        QCOMPARE(QGuiApplication::clipboard()->text(), kSentinel);
    }
    const std::string pc = folder("clipboard") + "in.PC";
    writeFile(pc, kTuples);
    window.LoadPC(pc);
    // Both menus copy the captions without markup: name, " - " and description.
    for (const char* item : {"SavePCtoclipboard1", "SavePCtoclipboard2"}) {
        QGuiApplication::clipboard()->setText(kSentinel);
        trigger(window, item);
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 QStringLiteral("\"level1\".\"EUR - Europe\".\"EUR - Europe\"  1\r\n"
                                "\"level2\".\"DEU\".\"EUR - Europe\"  3\r\n"));
    }
}

void WindowCommandsTest::tuplesToFile() {
    const std::string dir = folder("save");
    TForm1 window({}, folder("empty"));
    Dialogs dialogs(window);

    // An empty tree gives an empty file.
    dialogs.answer = QString::fromStdString(dir + "empty.PC");
    click(window, "Button6");
    QCOMPARE(dialogs.asked, QStringList{QStringLiteral("SaveDialog2")});
    QCOMPARE(ReadFileBytes(dir + "empty.PC"), std::string());

    // An existing file gets the new content, without a question; plain names. Its other name
    // (a hard link) shares the new content.
    writeFile(dir + "in.PC", kTuples);
    window.LoadPC(dir + "in.PC");
    writeFile(dir + "out.PC", "old");
    const std::string link = hardLink(dir + "out.PC");
    QVERIFY(!link.empty());
    dialogs.answer = QString::fromStdString(dir + "out.PC");
    click(window, "Button6");
    const std::string saved = "\"level1\".\"EUR\".\"EUR\"  1\r\n\"level2\".\"DEU\".\"EUR\"  3\r\n";
    QCOMPARE(ReadFileBytes(dir + "out.PC"), saved);
    QCOMPARE(ReadFileBytes(link), saved);

    // Cancelled: nothing is written.
    dialogs.answer.clear();
    click(window, "Button6");
    QCOMPARE(dialogs.asked.size(), 3);
    QCOMPARE(QDir(QString::fromStdString(dir)).entryList(QDir::Files).size(), 4);
}

void WindowCommandsTest::tuplesFromFile() {
    const std::string dir = folder("load");
    writeFile(dir + "in.pc", kTuples);
    writeFile(dir + "in.tree", "\"DEU\" \"Germany\"\r\n");
    TForm1 window({}, folder("empty"));
    Dialogs dialogs(window);
    window.RapidTree4->SetFitToHeight(false);

    dialogs.answer = QString::fromStdString(dir + "in.pc");
    click(window, "Button8");
    QCOMPARE(dialogs.asked, QStringList{QStringLiteral("OpenDialog2")});
    const TFlyNodes& tree = window.RapidTree4->Items();
    QCOMPARE(rootTexts(tree), std::vector<std::string>{MakeCaption("EUR", "Europe")});
    QCOMPARE(std::string(tree.Root(0)->Child(0)->Text()), MakeCaption("DEU", "Germany"));
    QCOMPARE(std::string(tree.Root(0)->Child(0)->Cells(1)), std::string(" 3"));
    QCOMPARE(window.RxRichEdit1->Lines(),
             (TextLines{"\"EUR\" \"Europe\"", "   \"DEU\" \"Germany\""}));
    QVERIFY(window.RapidTree4->FitToHeight());
    QVERIFY(window.FLoadFromFile);
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);

    // Cancelled: nothing changes.
    window.RxRichEdit1->SetLines({"\"ASI\""});
    dialogs.answer.clear();
    click(window, "Button8");
    QCOMPARE(dialogs.asked.size(), 2);
    QCOMPARE(tree.Count(), 1);
    QCOMPARE(window.RxRichEdit1->Lines(), TextLines{"\"ASI\""});

    // Catalog mode without a chosen classification: no dialog and no load, and the next
    // "Load" reads a file again.
    window.FLoadFromFile = false;
    click(window, "Button8");
    QCOMPARE(dialogs.asked.size(), 2);
    QCOMPARE(tree.Count(), 1);
    QVERIFY(window.FLoadFromFile);
}

void WindowCommandsTest::tuplesInOneEncoding() {
    // A name loaded as Latin-1 beside one typed as UTF-8: the file is written in one encoding,
    // asked for, and the clipboard shows both as they were meant.
    const std::string dir = folder("encodings");
    TForm1 window({}, folder("empty"));
    Dialogs dialogs(window);
    QStringList asked;
    bool answer = false;
    window.TextCommands()->ConfirmUtf8 = [&](const QString& question) {
        asked << question;
        return answer;
    };
    TFlyNodes& tree = window.RapidTree4->Items();
    tree.AddChild(nullptr, MakeCaption("caf\xE9"))->SetCells(1, "1");
    tree.AddChild(nullptr, MakeCaption("\xE2\x82\xAC"))->SetCells(1, "1");

    const std::string file = dir + "out.PC";
    writeFile(file, "old");
    dialogs.answer = QString::fromStdString(file);
    click(window, "Button6");
    QCOMPARE(asked.size(), 1);
    QCOMPARE(ReadFileBytes(file), std::string("old"));
    answer = true;
    click(window, "Button6");
    QCOMPARE(ReadFileBytes(file),
             std::string("\"level1\".\"caf\xC3\xA9\".\"caf\xC3\xA9\" 1\r\n"
                         "\"level1\".\"\xE2\x82\xAC\".\"\xE2\x82\xAC\" 1\r\n"));

    trigger(window, "SavePCtoclipboard1");
    QCOMPARE(QGuiApplication::clipboard()->text(),
             QStringLiteral(u"\"level1\".\"café\".\"café\" 1\r\n\"level1\".\"€\".\"€\" 1\r\n"));
}

void WindowCommandsTest::tupleLoadFailures() {
    const std::string dir = folder("load-failures");
    writeFile(dir + "orphan.PC",
              "\"level1\".\"EUR\".\"EUR\" 1\r\n\"level2\".\"DEU\".\"XXX\" 1\r\n");
    writeFile(dir + "nul.PC", std::string("\"level1\".\"EUR\".\"EUR\" 1\r\n\"\0\"", 27));
    QVERIFY(::mkfifo((dir + "fifo.PC").c_str(), 0644) == 0);
    writeFile(dir + "markup.PC", "\"level1\".\"R\".\"R\" 1\r\n\"level2\".\"P<br>Q\".\"R\" 1\r\n");
    // The .tree file beside is read at the same time as the .PC file: its failure is reported
    // when the .PC file is sound, the .PC file's when neither is.
    const std::string nulByte("\"T\" \"a description\"\r\n\"\0\"", 24);
    writeFile(dir + "badtree.PC", "\"level1\".\"T\".\"T\" 1\r\n");
    writeFile(dir + "badtree.tree", nulByte);
    writeFile(dir + "badboth.PC", std::string("\"level1\".\"B\".\"B\" 1\r\n\"\0\"", 23));
    writeFile(dir + "badboth.tree", nulByte);
    TForm1 window({}, folder("empty"));
    window.RxRichEdit1->SetLines({"\"OLD\""});
    window.RapidTree4->Items().AddChild(nullptr, MakeCaption("OLD"));

    struct Case {
        std::string file;
        QString message;
        std::vector<std::string> roots; // the tree afterwards
        TextLines lines;                // the text pane afterwards
    };
    const Case cases[] = {
        // The tree stays; the pane is rebuilt from it.
        {dir + "missing.PC",
         QStringLiteral("There is an error in the Parent Child relationship:  : "),
         {MakeCaption("OLD")},
         {"\"OLD\""}},
        // The nodes built before the failing tuple stay.
        {dir + "orphan.PC",
         QStringLiteral("There is an error in the Parent Child relationship: DEU : XXX"),
         {MakeCaption("EUR")},
         {"\"EUR\""}},
        // A FIFO is refused at once, never waited for; a file with a NUL byte says where.
        {dir + "fifo.PC",
         QString::fromStdString("Cannot open file " + dir + "fifo.PC"),
         {MakeCaption("EUR")},
         {"\"EUR\""}},
        {dir + "nul.PC",
         QString::fromStdString("Cannot read file " + dir +
                                "nul.PC: line 2: a NUL byte, which no text file holds"),
         {MakeCaption("EUR")},
         {"\"EUR\""}},
        {dir + "badtree.PC",
         QString::fromStdString("Cannot read file " + dir +
                                "badtree.tree: line 2: a NUL byte, which no text file holds"),
         {MakeCaption("EUR")},
         {"\"EUR\""}},
        {dir + "badboth.PC",
         QString::fromStdString("Cannot read file " + dir +
                                "badboth.PC: line 2: a NUL byte, which no text file holds"),
         {MakeCaption("EUR")},
         {"\"EUR\""}},
        // A name that would show as markup: refused, and the message shows it as it is.
        {dir + "markup.PC",
         QStringLiteral("There is an error in the Parent Child relationship: P<br>Q : R\r\nThe "
                        "element name \"P<br>Q\" holds \"<\" or \">\", which the tree would show "
                        "as markup and save as another name"),
         {MakeCaption("R")},
         {"\"R\""}},
    };
    for (const Case& c : cases) {
        window.FLoadFromFile = true;
        MessageBoxCatcher catcher;
        window.LoadPC(c.file);
        QCOMPARE(catcher.texts, QStringList{c.message});
        QCOMPARE(catcher.plain, std::vector<bool>{true});
        QCOMPARE(rootTexts(window.RapidTree4->Items()), c.roots);
        QCOMPARE(window.RxRichEdit1->Lines(), c.lines);
        QVERIFY(window.FLoadFromFile);
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        window.RxRichEdit1->SetLines({"stale"});
    }
}

void WindowCommandsTest::textPaneFromWindow() {
    TForm1 window({}, folder("empty"));
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    TTextPane& pane = *window.RxRichEdit1;
    pane.SetLines({"  b", "", "A", "a"});

    // The element text and the unique element list, from the tree's menu and from Popedit.
    struct Copy {
        const char* item;
        QString text;
    };
    const QString text = QStringLiteral("  b\r\n\r\nA\r\na");
    const QString list = QStringLiteral("\r\nA\r\nb\r\n");
    for (const Copy& copy : {Copy{"SaveTreetoclipboard1", text}, Copy{"SaveTreetoclipboard2", text},
                             Copy{"SaveUniqueElementListUELtoclipboard2", list},
                             Copy{"SaveUniqueElementListUELtoclipboard1", list}}) {
        QGuiApplication::clipboard()->setText(kSentinel);
        trigger(window, copy.item);
        QCOMPARE(QGuiApplication::clipboard()->text(), copy.text);
    }
    QCOMPARE(window.RapidTree4->Items().Count(), 0); // the tree is no source of either

    // A right press in the pane opens Popedit with its three items in order; a left one does
    // not.
    QMenu* menu = window.TextCommands()->Popedit;
    QTest::mouseClick(pane.viewport(), Qt::LeftButton, {}, QPoint(40, 20));
    QVERIFY(!menu->isVisible());
    QTest::mousePress(pane.viewport(), Qt::RightButton, {}, QPoint(40, 20));
    QTRY_VERIFY(menu->isVisible());
    QStringList items;
    for (QAction* action : menu->actions())
        items << action->objectName();
    QCOMPARE(items, (QStringList{QStringLiteral("SavePCtoclipboard2"),
                                 QStringLiteral("SaveTreetoclipboard2"),
                                 QStringLiteral("SaveUniqueElementListUELtoclipboard1")}));
    menu->close();
    QTest::mouseRelease(pane.viewport(), Qt::RightButton, {}, QPoint(40, 20));

    // Alt+2 indents at the caret.
    pane.SetLines({"abcdefgh"});
    pane.SetCaret(0, 5);
    QTest::keyRelease(&pane, Qt::Key_2, Qt::AltModifier);
    QCOMPARE(pane.Lines(), TextLines{"abcde      fgh"});
    QCOMPARE(pane.CaretColumn(), 6);

    // "Load", "Refresh" and "Save" above the pane.
    const std::string dir = folder("pane");
    writeFile(dir + "in.tree", "EUR\r\n\tDEU");
    Dialogs dialogs(window);
    dialogs.answer = QString::fromStdString(dir + "in.tree");
    click(window, "Button1");
    QCOMPARE(pane.Lines(), (TextLines{"\"EUR\"", "   \"DEU\""}));
    QCOMPARE(rootTexts(window.RapidTree4->Items()), std::vector<std::string>{MakeCaption("EUR")});
    pane.SetLines({"ASI"});
    click(window, "Button2");
    QCOMPARE(rootTexts(window.RapidTree4->Items()), std::vector<std::string>{MakeCaption("ASI")});
    dialogs.answer = QString::fromStdString(dir + "out.tree");
    click(window, "Button3");
    QCOMPARE(ReadFileBytes(dir + "out.tree"), std::string("\"ASI\""));
    QCOMPARE(dialogs.asked,
             (QStringList{QStringLiteral("OpenDialog1"), QStringLiteral("SaveDialog1")}));
}

void WindowCommandsTest::textPaneFileFailures() {
    const std::string dir = folder("pane-failures");
    TForm1 window({}, folder("empty"));
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    Dialogs dialogs(window);
    TTextPane& pane = *window.RxRichEdit1;
    pane.SetLines({"EUR"});
    click(window, "Button2");
    pane.SetLines({"ASI", "ASI"});

    // A file that cannot be read: the pane keeps its text and the tree is not rebuilt. The
    // message shows its name as it is, though the name looks like markup.
    const std::string missing = dir + "<i>missing.tree";
    dialogs.answer = QString::fromStdString(missing);
    {
        MessageBoxCatcher catcher;
        click(window, "Button1");
        QCOMPARE(catcher.texts, QStringList{QString::fromStdString("Cannot open file " + missing)});
        QCOMPARE(catcher.plain, std::vector<bool>{true});
    }
    QCOMPARE(pane.Lines(), (TextLines{"ASI", "ASI"}));
    QCOMPARE(rootTexts(window.RapidTree4->Items()), std::vector<std::string>{MakeCaption("EUR")});

    // A file that cannot be created: the pane is normalised, nothing is written.
    const std::string unwritable = dir + "no such folder/out.tree";
    dialogs.answer = QString::fromStdString(unwritable);
    {
        MessageBoxCatcher catcher;
        click(window, "Button3");
        QCOMPARE(catcher.texts,
                 QStringList{QString::fromStdString("Cannot create file " + unwritable)});
    }
    QCOMPARE(pane.Lines(), (TextLines{"\"ASI\"", "*!\"ASI\""}));
    QVERIFY(!FileExists(unwritable));

    // The editor goes on working.
    dialogs.answer = QString::fromStdString(dir + "out.tree");
    click(window, "Button3");
    QVERIFY(FileExists(dir + "out.tree"));
}

void WindowCommandsTest::conversionAfterFailedLoadWritesNothing() {
    const std::string dir = folder("convert-failed-load");
    const std::string pc = "\"level1\".\"EUR\".\"EUR\" 1\r\n\"level2\".\"DEU\".\"XXX\" 1\r\n";
    const std::string treeText = "\"EUR\" \"Europe\"\r\n";
    writeFile(dir + "in.PC", pc);
    writeFile(dir + "in.tree", treeText);
    MessageBoxCatcher catcher;
    TForm1 window({dir + "in.PC", "/SAVE"}, folder("empty"));
    QCOMPARE(catcher.texts, QStringList{QStringLiteral(
                                "There is an error in the Parent Child relationship: DEU : XXX")});
    QCOMPARE(ReadFileBytes(dir + "in.PC"), pc);
    QCOMPARE(ReadFileBytes(dir + "in.tree"), treeText);
    // The window shows what the load built.
    QCOMPARE(window.RxRichEdit1->Lines(), TextLines{"\"EUR\" \"Europe\""});
}

void WindowCommandsTest::conversionReplacesFilesWhole() {
    // A dot in the folder's name: the .tree file takes the place of the file's extension only.
    const std::string dir = folder("convert.v1");
    const std::string pc = dir + "regions.Pc";
    writeFile(pc, kTuples);
    writeFile(dir + "regions.tree", "\"DEU\" \"Germany\"\r\n");
    const std::string pcLink = hardLink(pc);
    const std::string treeLink = hardLink(dir + "regions.tree");
    QVERIFY(!pcLink.empty() && !treeLink.empty());

    MessageBoxCatcher catcher;
    TForm1 window({pc, "/save"}, folder("empty"));
    QVERIFY(catcher.texts.isEmpty());
    QCOMPARE(ReadFileBytes(pc),
             std::string("\"level1\".\"EUR\".\"EUR\"  1\r\n\"level2\".\"DEU\".\"EUR\"  3\r\n"));
    QCOMPARE(ReadFileBytes(dir + "regions.tree"),
             std::string("\"EUR\" \"Europe\"\r\n   \"DEU\" \"Germany\""));
    // The files' other names (hard links) share the new contents, and no temporary file is
    // left behind.
    QCOMPARE(ReadFileBytes(pcLink), ReadFileBytes(pc));
    QCOMPARE(ReadFileBytes(treeLink), ReadFileBytes(dir + "regions.tree"));
    QCOMPARE(QDir(QString::fromStdString(dir)).entryList(QDir::Files | QDir::Hidden).size(), 4);
    QVERIFY(!FileExists(ChangeFileExt(dir.substr(0, dir.size() - 1), ".tree")));
}

void WindowCommandsTest::conversionStopsAtFailedWrite() {
    // A folder whose path leaves room for the .PC and .tree names but not for the name of the
    // temporary file a save writes first: every save into it fails.
    std::string dir = folder("convert-unwritable");
    constexpr size_t kLength = 4086; // with "a.PC" and "a.tree" still below the path limit
    while (dir.size() + 1 + 200 + 10 < kLength)
        dir += std::string(200, 'd') + "/";
    dir += std::string(kLength - 1 - dir.size(), 'e') + "/";
    QVERIFY(QDir().mkpath(QString::fromStdString(dir)));
    const std::string pc = dir + "a.PC";
    writeFile(pc, kTuples);
    QCOMPARE(ReadFileBytes(pc), kTuples);
    const std::string exe = folder("convert-exe");
    writeFile(exe + "tessaroc", "");

    MessageBoxCatcher catcher;
    TForm1 window({pc, "/SAVE"}, exe);
    // One report: the .tree file is not attempted after the .PC file failed.
    QCOMPARE(catcher.texts, QStringList{QString::fromStdString("Cannot create file " + pc)});
    QCOMPARE(ReadFileBytes(pc), kTuples);
    QVERIFY(!FileExists(dir + "a.tree"));

    // Start-up went on, and the editor works: it shows the tree and saves elsewhere.
    QVERIFY(!window.findChild<QPushButton*>(QStringLiteral("Button12"))->isHidden());
    QCOMPARE(window.RapidTree4->Items().Count(), 1);
    Dialogs dialogs(window);
    dialogs.answer = QString::fromStdString(exe + "a.PC");
    click(window, "Button6");
    QCOMPARE(catcher.texts.size(), 1);
    QVERIFY(FileExists(exe + "a.PC"));
}

int main(int argc, char** argv) {
    Application app(argc, argv);
    WindowCommandsTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "windowcommands_test.moc"
