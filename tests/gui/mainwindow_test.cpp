// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: its controls, menus, layout on activation and resize, catalog detection,
// the command-line file, and the default error report.
#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <fstream>
#include <optional>
#include <stdexcept>

#include "app/application.h"
#include "app/commandline.h"
#include "app/tclientarea.h"
#include "app/tcollapsiblepanel.h"
#include "app/tform1.h"
#include "app/windowcloser.h"
#include "model/caption.h"
#include "model/textfile.h"
#include "textpane/textpanecommands.h"
#include "textpane/ttextpane.h"
#include "view/markupcombobox.h"
#include "view/trapidtree.h"
#include "windowtestsupport.h"

using namespace settree;
using namespace settree::testing;

namespace {

// One of the window's file dialogs by its name, made if it was not yet.
QFileDialog* dialogNamed(TForm1& window, const QString& name) {
    for (QFileDialog* dialog :
         {window.TextCommands()->OpenDialog1.get(), window.TextCommands()->SaveDialog1.get(),
          window.OpenDialog2.get(), window.SaveDialog2.get()})
        if (dialog->objectName() == name)
            return dialog;
    return nullptr;
}

std::string bytes(const QString& s) {
    return s.toStdString();
}

// An object whose event handler fails, as a command does when a file cannot be written.
class FailingObject : public QObject {
public:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::User)
            throw std::runtime_error("Cannot create file /nowhere/x.PC");
        return QObject::event(event);
    }
};

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(tempDir_.isValid()); }

    void controls_data();
    void controls();
    void overlaysAndSizes();
    void elementDialogLayout();
    void mainMenu();
    void popupMenu();
    void nodeClipboardKeysActOnlyInTree();
    void fileDialogs_data();
    void fileDialogs();
    void filterMatchesAnyLetterCase_data();
    void filterMatchesAnyLetterCase();
    void startState();
    void activationLayout();
    void resizeGivesLeftPaneHalfWidth();
    void quitSwitchClosesWindow();
    void closeRequestWaitsForWork();
    void closeRequestDuringMessageIsKept();
    void catalogDetection_data();
    void catalogDetection();
    void elementFileOnCommandLine_data();
    void elementFileOnCommandLine();
    void missingFileOnCommandLine();
    void tupleFileOnCommandLine();
    void startupMessagesAndFailures();
    void paneCommands();
    void collapseButtonTogglesOnce();
    void errorReportShowsMessageAndGoesOn();
    void failingCommandReachesErrorReport();
    void switchMatching_data();
    void switchMatching();
    void catalogOption_data();
    void catalogOption();
    void catalogInNamedFolder();

private:
    std::string folder(const char* name) {
        const std::string path = bytes(tempDir_.path()) + "/" + name + "/";
        QDir().mkpath(QString::fromStdString(path));
        return path;
    }
    QTemporaryDir tempDir_;
};

void MainWindowTest::controls_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("hint");
    const auto row = [](const char* name, const char* caption, const char* hint = "") {
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(caption)
                            << QString::fromLatin1(hint);
    };
    row("Label4", "Element (.TREE)");
    row("Button12", "Tessaroc", "Use PC relations from Tessaroc");
    row("Button1", "Load", "Load a .TREE file and build the Tree");
    row("Button2", "Refresh", "Read Memo and create Tree");
    row("Button3", "Save", "Save .TREE file");
    row("Button9", "Tessaroc", "Use PC relations from Tessaroc");
    row("Button8", "Load", "Load and parse .PC file to a tree");
    row("Button5", "Refresh", "Parse Tree and Create Memo");
    row("Button6", "Save", "Save Parent Child Tuple");
    row("GroupBox1", "GAMS element");
    row("Label1", "Element name:");
    row("Label2", "Element description:");
    row("Label3", "Weight:");
    row("Button4", "OK");
    row("Button7", "Abort");
    row("GroupBox2", " Select Tessaroc classification (.PC -> .TREE):  ");
    row("Button15", "Find");
    row("Button11", "Abort");
    row("Button10", "OK");
    row("GroupBox3", " Select Tessaroc classification (.TREE -> .PC):  ");
    row("Button16", "Find");
    row("Button14", "Abort");
    row("Button13", "OK");
    row("Label6", "Find:");
    row("Button19", "Find");
    row("Button18", "Close");
    row("Button17", "Select");
}

void MainWindowTest::controls() {
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QString, hint);
    TForm1 window({}, folder("empty"));
    QWidget* control = window.findChild<QWidget*>(name);
    QVERIFY2(control, qPrintable(name));
    QString text;
    if (auto* box = qobject_cast<QGroupBox*>(control))
        text = box->title();
    else
        text = control->property("text").toString();
    QCOMPARE(text, caption);
    QCOMPARE(control->toolTip(), hint);
}

void MainWindowTest::overlaysAndSizes() {
    TForm1 window({}, folder("empty"));
    QCOMPARE(window.size(), QSize(1024, 656));
    QVERIFY(
        window.windowTitle().contains(QStringLiteral("GAMS element tree"), Qt::CaseInsensitive));
    QCOMPARE(window.font().family(), QStringLiteral("Calibri"));
    QCOMPARE(window.font().pixelSize(), 13);

    struct Overlay {
        const char* name;
        QSize size;
    };
    for (const Overlay& overlay :
         {Overlay{"GroupBox1", {385, 166}}, Overlay{"GroupBox2", {686, 92}},
          Overlay{"GroupBox3", {686, 92}}, Overlay{"Panel5", {785, 537}}}) {
        auto* widget = window.findChild<QWidget*>(QString::fromLatin1(overlay.name));
        QVERIFY2(widget, overlay.name);
        QVERIFY2(widget->isHidden(), overlay.name);
        QCOMPARE(widget->size(), overlay.size);
    }
    for (const char* bar : {"Panel2", "Panel4"}) {
        auto* widget = window.findChild<QWidget*>(QString::fromLatin1(bar));
        QVERIFY2(widget, bar);
        QCOMPARE(widget->height(), 41);
    }
    for (const char* heading : {"Label4", "Label5", "Label6"}) {
        const QFont font = window.findChild<QLabel*>(QString::fromLatin1(heading))->font();
        QCOMPARE(font.family(), QStringLiteral("Calibri"));
        QCOMPARE(font.pixelSize(), 27);
        QVERIFY(font.bold());
    }
    QVERIFY(window.findChild<QLabel*>(QStringLiteral("Label5"))
                ->text()
                .contains(QStringLiteral(".PC")));
    QCOMPARE(window.findChild<QWidget*>(QStringLiteral("Splitter1"))->width(), 3);
    QVERIFY(window.findChild<TCollapsiblePanel*>(QStringLiteral("Panel1")));
    QVERIFY(window.findChild<TTextPane*>(QStringLiteral("RxRichEdit1")));
    QVERIFY(window.findChild<QWidget*>(QStringLiteral("Panel3")));
    auto* tree = window.findChild<TRapidTree*>(QStringLiteral("RapidTree4"));
    QVERIFY(tree);
    QCOMPARE(tree->font().family(), QStringLiteral("Arial"));
    QCOMPARE(tree->font().pointSize(), 8);
    QCOMPARE(tree->PopupMenu(), window.findChild<QMenu*>(QStringLiteral("PopupMenu1")));
    QCOMPARE(window.ClientArea()->PanelWidth(), 487);

    for (const char* list : {"HTMLComboBox1", "HTMLComboBox2"}) {
        auto* box = window.findChild<MarkupComboBox*>(QString::fromLatin1(list));
        QVERIFY2(box, list);
        QCOMPARE(box->width(), 649);
        QCOMPARE(box->DropDownSize(), QSize(649, 200));
        QCOMPARE(box->count(), 0);
        QCOMPARE(box->currentIndex(), -1);
    }
    auto* grid = window.findChild<QTableWidget*>(QStringLiteral("AdvStringGrid1"));
    QVERIFY(grid);
    QCOMPARE(grid->columnCount(), 1);
    QCOMPARE(grid->rowCount(), 1); // under the header row
    QCOMPARE(grid->rowHeight(0), 21);
    QCOMPARE(grid->horizontalHeaderItem(0)->text(), QStringLiteral("Classification"));
    QVERIFY(window.findChild<QLineEdit*>(QStringLiteral("Edit3")));

    auto* status = window.findChild<QStatusBar*>(QStringLiteral("StatusBar1"));
    QVERIFY(status);
    QVERIFY(status->findChild<QLabel*>()->text().contains(QStringLiteral(SETTREE_VERSION)));
}

void MainWindowTest::elementDialogLayout() {
    TForm1 window({}, folder("empty"));
    auto* edit1 = window.findChild<QLineEdit*>(QStringLiteral("Edit1"));
    auto* edit2 = window.findChild<QLineEdit*>(QStringLiteral("Edit2"));
    auto* edit4 = window.findChild<QLineEdit*>(QStringLiteral("Edit4"));
    auto* ok = window.findChild<QPushButton*>(QStringLiteral("Button4"));
    auto* abort = window.findChild<QPushButton*>(QStringLiteral("Button7"));
    QVERIFY(edit1 && edit2 && edit4 && ok && abort);

    // "Abort" left of "OK" at the bottom right; the weight at the bottom left.
    QCOMPARE(abort->y(), ok->y());
    QVERIFY(abort->geometry().right() < ok->x());
    QVERIFY(ok->geometry().right() <= 385 && ok->geometry().right() > 385 - 20);
    QVERIFY(edit4->x() < abort->x());
    QVERIFY(edit4->y() > edit2->geometry().bottom());
    QVERIFY(ok->geometry().bottom() < 166);

    // Focus order: name, description, OK, Abort, weight.
    const std::vector<QWidget*> order = {edit1, edit2, ok, abort, edit4};
    for (size_t i = 0; i + 1 < order.size(); ++i) {
        QWidget* next = order[i]->nextInFocusChain();
        while (next->focusPolicy() == Qt::NoFocus)
            next = next->nextInFocusChain();
        QCOMPARE(next, order[i + 1]);
    }
}

void MainWindowTest::mainMenu() {
    TForm1 window({}, folder("empty"));
    auto* menu = window.findChild<QMenuBar*>(QStringLiteral("MainMenu1"));
    QVERIFY(menu);
    const QStringList names = {QStringLiteral("Swappanels1"), QStringLiteral("Who1"),
                               QStringLiteral("Increasefont1"), QStringLiteral("Decreasefont1"),
                               QStringLiteral("Exit1")};
    const QStringList captions = {QStringLiteral("Swap panels"), QStringLiteral("Who"),
                                  QStringLiteral("Increase font"), QStringLiteral("Decrease font"),
                                  QStringLiteral("Exit")};
    const QList<QAction*> actions = menu->actions();
    QCOMPARE(actions.size(), names.size());
    for (int i = 0; i < actions.size(); ++i) {
        QCOMPARE(actions[i]->objectName(), names[i]);
        QCOMPARE(actions[i]->text(), captions[i]);
        QVERIFY(!actions[i]->menu());
    }

    // "Exit" closes the window, and closing frees the catalog entries.
    auto entry = std::make_unique<tmb>();
    entry->Name = "NACE";
    window.FClassifications.Insert(std::move(entry));
    window.findChild<QComboBox*>(QStringLiteral("HTMLComboBox2"))->addItem(QStringLiteral("x"));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    actions.last()->trigger();
    QTRY_VERIFY(!window.isVisible());
    QVERIFY(window.FClassifications.Empty());
    QCOMPARE(window.findChild<QComboBox*>(QStringLiteral("HTMLComboBox2"))->count(), 0);
}

void MainWindowTest::popupMenu() {
    TForm1 window({}, folder("empty"));
    auto* menu = window.findChild<QMenu*>(QStringLiteral("PopupMenu1"));
    QVERIFY(menu);
    struct Item {
        const char* name; // nullptr: a separator
        const char* caption;
        const char* shortcut;
    };
    const std::vector<Item> expected = {
        {"Rename1", "Rename/edit", "F2"},
        {"Delete1", "Delete", "Del"},
        {"DeleteChildren1", "Delete Children", ""},
        {nullptr, "", ""},
        {"cut1", "Cut node", "Ctrl+X"},
        {"copy1", "Copy node", "Ctrl+C"},
        {"patse1", "Paste node", "Ctrl+V"},
        {"pastetoroot1", "Paste to root", ""},
        {nullptr, "", ""},
        {"Addrootelement1", "Add root element", ""},
        {"Addelementtocurrentnode1", "Add element to current node", "Ins"},
        {nullptr, "", ""},
        {"Moveup1", "Move Up", "Alt+Up"},
        {"MoveDown1", "Move Down", "Alt+Down"},
        {"Movetoroot1", "Move to root", ""},
        {nullptr, "", ""},
        {"SavePCtoclipboard1", "Save .PC to clipboard", ""},
        {"SaveTreetoclipboard1", "Save .Tree to clipboard", ""},
        {"SaveUniqueElementListUELtoclipboard2", "Save Unique Element List (UEL) to clipboard", ""},
        {"Sortchildrenacending1", "Sort children alphabetically ", ""},
        {"Sorteverythingalphabetically1", "Sort everything alphabetically ", ""},
        {nullptr, "", ""},
        {"Fullexpand1", "Full expand", ""},
        {"Fullcollapse1", "Full collapse", ""},
        {"Expandfromnode1", "Expand from node", ""},
        {"Collapsefromnode1", "Collapse from node", ""},
        // Beyond the menu's own items: undo and redo, named after the step they would take.
        {nullptr, "", ""},
        {"UndoTreeEdit", "Undo", "Ctrl+Z"},
        {"RedoTreeEdit", "Redo", "Ctrl+Shift+Z"},
        {nullptr, "", ""},
        {"FindInTree", "Find element...", "Ctrl+F"},
    };
    const QList<QAction*> actions = menu->actions();
    QCOMPARE(actions.size(), qsizetype(expected.size()));
    for (size_t i = 0; i < expected.size(); ++i) {
        QAction* action = actions[qsizetype(i)];
        const Item& item = expected[i];
        if (!item.name) {
            QVERIFY2(action->isSeparator(), qPrintable(QString::number(i)));
            continue;
        }
        QCOMPARE(action->objectName(), QString::fromLatin1(item.name));
        QCOMPARE(action->text(), QString::fromLatin1(item.caption));
        QCOMPARE(action->shortcut(), QKeySequence(QString::fromLatin1(item.shortcut)));
    }
}

void MainWindowTest::nodeClipboardKeysActOnlyInTree() {
    TForm1 window({}, folder("empty"));
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    auto* tree = window.findChild<TRapidTree*>(QStringLiteral("RapidTree4"));
    auto* pane = window.findChild<TTextPane*>(QStringLiteral("RxRichEdit1"));
    // A selected node for the marks, and after them a marked node for the paste.
    tree->Items().AddChild(nullptr, MakeCaption("A"));
    struct Key {
        const char* action;
        Qt::Key key;
    };
    for (const Key& key :
         {Key{"cut1", Qt::Key_X}, Key{"copy1", Qt::Key_C}, Key{"patse1", Qt::Key_V}}) {
        QSignalSpy triggered(window.findChild<QAction*>(QString::fromLatin1(key.action)),
                             &QAction::triggered);
        tree->setFocus();
        QTRY_VERIFY(tree->hasFocus());
        QTest::keyClick(tree, key.key, Qt::ControlModifier);
        QCOMPARE(triggered.count(), 1);
        pane->setFocus();
        QTRY_VERIFY(pane->hasFocus());
        QTest::keyClick(pane, key.key, Qt::ControlModifier);
        QCOMPARE(triggered.count(), 1);
    }
}

void MainWindowTest::fileDialogs_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("save");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("type");
    const auto row = [](const char* name, bool save, const char* suffix, const char* type) {
        QTest::newRow(name) << QString::fromLatin1(name) << save << QString::fromLatin1(suffix)
                            << QString::fromLatin1(type);
    };
    row("OpenDialog1", false, "tree", "GAMS *.tree (*.tree)");
    row("SaveDialog1", true, "tree", "GAMS *.tree (*.tree)");
    row("OpenDialog2", false, "pc", "GAMS *.PC (*.PC)");
    row("SaveDialog2", true, "PC", "GAMS *.PC (*.PC)");
}

void MainWindowTest::fileDialogs() {
    QFETCH(QString, name);
    QFETCH(bool, save);
    QFETCH(QString, suffix);
    QFETCH(QString, type);
    TForm1 window({}, folder("empty"));
    // The dialogs are made when first used: a start that opens none makes none.
    QVERIFY(window.findChildren<QFileDialog*>().isEmpty());
    QFileDialog* dialog = dialogNamed(window, name);
    QVERIFY(dialog);
    QCOMPARE(window.findChild<QFileDialog*>(name), dialog);
    QCOMPARE(dialog->defaultSuffix(), suffix);
    QCOMPARE(dialog->acceptMode(), save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // A typed name need not exist; a save asks nothing when it does.
    QCOMPARE(dialog->fileMode(), QFileDialog::AnyFile);
    QCOMPARE(dialog->testOption(QFileDialog::DontConfirmOverwrite), save);
    QCOMPARE(dialog->nameFilters(), (QStringList{type, QStringLiteral("All files (*)")}));
    QVERIFY(dialog->testOption(QFileDialog::HideNameFilterDetails)); // reads "GAMS *.PC"
}

void MainWindowTest::filterMatchesAnyLetterCase_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("shown");
    const QStringList trees = {QStringLiteral("a.tree"), QStringLiteral("b.TREE"),
                               QStringLiteral("c.Tree")};
    const QStringList tuples = {QStringLiteral("d.pc"), QStringLiteral("e.PC"),
                                QStringLiteral("f.Pc")};
    for (const char* name : {"OpenDialog1", "SaveDialog1"})
        QTest::newRow(name) << QString::fromLatin1(name) << trees;
    for (const char* name : {"OpenDialog2", "SaveDialog2"})
        QTest::newRow(name) << QString::fromLatin1(name) << tuples;
}

void MainWindowTest::filterMatchesAnyLetterCase() {
    QFETCH(QString, name);
    QFETCH(QStringList, shown);
    const std::string dir = folder("dialog");
    for (const char* file :
         {"a.tree", "b.TREE", "c.Tree", "d.pc", "e.PC", "f.Pc", "g.txt", "h.pc.bak"})
        writeFile(dir + file, "");
    TForm1 window({}, folder("empty"));
    QFileDialog* dialog = dialogNamed(window, name);
    dialog->setDirectory(QString::fromStdString(dir));
    auto* model = dialog->findChild<QFileSystemModel*>();
    QVERIFY(model);
    const QModelIndex root = model->index(QString::fromStdString(dir));
    // Files the filter refuses are hidden or disabled, depending on the platform.
    const auto listed = [&] {
        QStringList names;
        for (int row = 0; row < model->rowCount(root); ++row) {
            const QModelIndex index = model->index(row, 0, root);
            if (model->flags(index) & Qt::ItemIsEnabled)
                names << model->fileName(index);
        }
        names.sort();
        return names;
    };
    QTRY_COMPARE(listed(), shown);
    dialog->selectNameFilter(QStringLiteral("All files (*)"));
    QTRY_COMPARE(listed().size(), 8);
}

void MainWindowTest::startState() {
    TForm1 window({}, folder("empty"));
    QCOMPARE(window.FDragNode, nullptr);
    QCOMPARE(window.FClipNode, nullptr);
    QCOMPARE(window.FEditMode, uint8_t{0});
    QVERIFY(window.FClassifications.Empty());
    QVERIFY(window.FFindMode.empty());
    QVERIFY(window.FClipMode.empty());
    QCOMPARE(window.FSelectedClassification, nullptr);
    QVERIFY(window.FLoadFromFile);
    QVERIFY(!window.FCaptionClickArmed);
    // No file: both panes empty, without a message.
    QCOMPARE(window.findChild<TTextPane*>(QStringLiteral("RxRichEdit1"))->Lines(), TextLines{});
    QCOMPARE(window.findChild<TRapidTree*>(QStringLiteral("RapidTree4"))->Items().Count(), 0);
}

void MainWindowTest::activationLayout() {
    TForm1 window({}, folder("empty"));
    auto* tree = window.findChild<TRapidTree*>(QStringLiteral("RapidTree4"));
    auto* dialog = window.findChild<QWidget*>(QStringLiteral("GroupBox1"));
    auto* find = window.findChild<QWidget*>(QStringLiteral("Panel5"));
    auto* panel = window.findChild<QWidget*>(QStringLiteral("Panel1"));
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QVERIFY(window.isMaximized());
    const QSize screen = window.screen()->availableGeometry().size();
    QTRY_COMPARE(window.frameGeometry().size(), screen);

    const auto checkLayout = [&] {
        QCOMPARE(panel->width(), window.width() / 2);
        QCOMPARE(dialog->y(), tree->y());
        QCOMPARE(find->y(), 0);
        QCOMPARE(find->height(), panel->height());
        QCOMPARE(find->x(), (window.frameGeometry().width() - find->width()) / 2);
        QCOMPARE(tree->ColWidth(0), tree->width() - 75);
        QCOMPARE(tree->ColWidth(1), 75);
    };
    checkLayout();
    QVERIFY(panel->width() > 0 && tree->width() > 75);

    // Every activation lays the window out again.
    window.ClientArea()->SetPanelWidth(100);
    tree->SetColWidth(0, 10);
    tree->SetColWidth(1, 10);
    dialog->move(dialog->x(), 300);
    find->move(0, 50);
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(&window, &activate);
    checkLayout();
}

void MainWindowTest::resizeGivesLeftPaneHalfWidth() {
    TForm1 window({}, folder("empty"));
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    auto* panel = window.findChild<QWidget*>(QStringLiteral("Panel1"));
    auto* splitter = window.findChild<QWidget*>(QStringLiteral("Splitter1"));
    QTRY_COMPARE(panel->width(), window.width() / 2);

    // Dragging the divider moves it, and the splitter stays between the panes.
    const int before = panel->width();
    QTest::mousePress(splitter, Qt::LeftButton, {}, QPoint(1, 10));
    QTest::mouseMove(splitter, QPoint(1 - 60, 10));
    QTest::mouseRelease(splitter, Qt::LeftButton, {}, QPoint(1 - 60, 10));
    QCOMPARE(panel->width(), before - 60);
    QCOMPARE(splitter->x(), panel->geometry().right() + 1);
    QCOMPARE(window.findChild<QWidget*>(QStringLiteral("Panel3"))->x(),
             splitter->geometry().right() + 1);

    // The next change of size gives the left pane half the client width again.
    window.setWindowState(Qt::WindowNoState);
    window.resize(701, 500);
    QTRY_COMPARE(window.width(), 701);
    QCOMPARE(panel->width(), 350);
}

void MainWindowTest::quitSwitchClosesWindow() {
    TForm1 window({"/quit"}, folder("empty"));
    window.show();
    QTRY_VERIFY(!window.isVisible());
}

void MainWindowTest::catalogDetection_data() {
    QTest::addColumn<bool>("catalog");
    QTest::addColumn<QString>("program");
    QTest::addColumn<bool>("treeButton");
    QTest::addColumn<bool>("textButton");
    QTest::newRow("nothing") << false << QString() << false << false;
    QTest::newRow("catalog only") << true << QString() << true << false;
    QTest::newRow("tessaroc.exe only") << false << QStringLiteral("tessaroc.exe") << false << true;
    QTest::newRow("tessaroc only") << false << QStringLiteral("tessaroc") << false << true;
    QTest::newRow("both") << true << QStringLiteral("tessaroc.exe") << true << true;
    QTest::newRow("other program name") << false << QStringLiteral("tessaroc.sh") << false << false;
}

void MainWindowTest::catalogDetection() {
    QFETCH(bool, catalog);
    QFETCH(QString, program);
    QFETCH(bool, treeButton);
    QFETCH(bool, textButton);
    const std::string exe = folder(QTest::currentDataTag());
    if (catalog) {
        QDir().mkpath(QString::fromStdString(exe + "tessarocgams"));
        writeFile(exe + "tessarocgams/pcclassifications.gms", "SET x\r\n/\r\n/\r\n");
    }
    if (!program.isEmpty())
        writeFile(exe + bytes(program), "");
    // A catalog folder without its index file does not count.
    QDir().mkpath(QString::fromStdString(exe + "tessarocgams"));

    TForm1 window({}, exe);
    QCOMPARE(window.FCatalogFile, exe + "tessarocgams/pcclassifications.gms");
    QCOMPARE(!window.findChild<QPushButton*>(QStringLiteral("Button9"))->isHidden(), treeButton);
    QCOMPARE(!window.findChild<QPushButton*>(QStringLiteral("Button12"))->isHidden(), textButton);
}

void MainWindowTest::elementFileOnCommandLine_data() {
    QTest::addColumn<QString>("fileName");
    QTest::newRow(".tree") << QStringLiteral("regions.tree");
    QTest::newRow("no extension") << QStringLiteral("regions");
    QTest::newRow(".txt") << QStringLiteral("regions.txt");
}

void MainWindowTest::elementFileOnCommandLine() {
    QFETCH(QString, fileName);
    const std::string file = folder("element") + bytes(fileName);
    // Unquoted names, a blank line, a tab and a repeated name: the pane shows the normalised
    // text, the tree the elements.
    writeFile(file, "EUR \"Europe\"\r\n   DEU\r\n\r\nASI\n\tDEU\r\n");
    TForm1 window({file, "/SAVE"}, folder("empty"));
    const TextLines expected = {"\"EUR\" \"Europe\"", "   \"DEU\"", "\"ASI\"", "*! \"DEU\""};
    QCOMPARE(window.findChild<TTextPane*>(QStringLiteral("RxRichEdit1"))->Lines(), expected);

    const TFlyNodes& tree = window.findChild<TRapidTree*>(QStringLiteral("RapidTree4"))->Items();
    QCOMPARE(tree.Count(), 2);
    QCOMPARE(tree.Root(0)->Text(), MakeCaption("EUR", "Europe"));
    QCOMPARE(tree.Root(1)->Text(), MakeCaption("ASI"));
    for (int r = 0; r < 2; ++r) {
        QCOMPARE(tree.Root(r)->Count(), 1);
        QVERIFY(tree.Root(r)->Expanded());
        QCOMPARE(tree.Root(r)->Cells(1), std::string("1"));
        QCOMPARE(PlainName(tree.Root(r)->Child(0)->Text()), std::string("DEU"));
        QCOMPARE(tree.Root(r)->Child(0)->Cells(1), std::string("1"));
    }
    // "/SAVE" only acts on a .PC file: the element file is left as it was.
    QCOMPARE(ReadFileBytes(file), std::string("EUR \"Europe\"\r\n   DEU\r\n\r\nASI\n\tDEU\r\n"));
}

void MainWindowTest::missingFileOnCommandLine() {
    MessageBoxCatcher catcher;
    TForm1 window({folder("missing") + "nothing.tree"}, folder("empty"));
    QCOMPARE(window.findChild<TTextPane*>(QStringLiteral("RxRichEdit1"))->Lines(), TextLines{});
    QCOMPARE(window.findChild<TRapidTree*>(QStringLiteral("RapidTree4"))->Items().Count(), 0);
    QTest::qWait(50);
    QVERIFY(catcher.texts.isEmpty());
}

void MainWindowTest::tupleFileOnCommandLine() {
    const std::string dir = folder("tuples");
    const std::string pc = dir + "regions.Pc";
    const std::string input = "\"level2\".\"DEU\".\"EUR\" 2\r\n\"level1\".\"EUR\".\"EUR\" 1\r\n";
    writeFile(pc, input);
    writeFile(dir + "regions.tree", "\"EUR\" \"Europe\"\r\n");
    // The program reads the files ahead while the window is made: the window opens the same.
    for (const bool readAhead : {false, true}) {
        StartupFilesAhead filesAhead;
        if (readAhead)
            StartReadingAhead(CommandLine({pc}), filesAhead);
        QCOMPARE(filesAhead.pc.has_value(), readAhead);
        TForm1 window({pc}, CatalogLocation::BesideExecutable(folder("empty")), nullptr,
                      &filesAhead);
        if (readAhead)
            QVERIFY(!filesAhead.pc->Take(pc)); // the window took them
        const TFlyNodes& tree =
            window.findChild<TRapidTree*>(QStringLiteral("RapidTree4"))->Items();
        QCOMPARE(tree.Count(), 1);
        QCOMPARE(tree.Root(0)->Text(), MakeCaption("EUR", "Europe"));
        QCOMPARE(tree.Root(0)->Child(0)->Cells(1), std::string(" 2"));
        const TextLines expected = {"\"EUR\" \"Europe\"", "   \"DEU\""};
        QCOMPARE(window.findChild<TTextPane*>(QStringLiteral("RxRichEdit1"))->Lines(), expected);
        // Without "/SAVE" nothing is written.
        QCOMPARE(ReadFileBytes(pc), input);
        QCOMPARE(ReadFileBytes(dir + "regions.tree"), std::string("\"EUR\" \"Europe\"\r\n"));
    }
    // An element file is read ahead as the text pane reads it, and opens the same.
    const std::string element = dir + "regions.tree";
    TextLines shown;
    for (const bool readAhead : {false, true}) {
        StartupFilesAhead filesAhead;
        if (readAhead)
            StartReadingAhead(CommandLine({element}), filesAhead);
        QCOMPARE(filesAhead.text.has_value(), readAhead);
        TForm1 window({element}, CatalogLocation::BesideExecutable(folder("empty")), nullptr,
                      &filesAhead);
        if (readAhead)
            QVERIFY(!filesAhead.text->Take(element));
        const TextLines lines =
            window.findChild<TTextPane*>(QStringLiteral("RxRichEdit1"))->Lines();
        if (readAhead)
            QCOMPARE(lines, shown);
        shown = lines;
        QCOMPARE(window.findChild<TRapidTree*>(QStringLiteral("RapidTree4"))->Items().Count(), 1);
    }
    // Switches that change what is read of a .PC file, or a run without a window, read nothing
    // ahead.
    for (const std::vector<std::string>& arguments :
         std::vector<std::vector<std::string>>{{pc, "/save"},
                                               {pc, "/DELETE"},
                                               {pc, "/QUIT"},
                                               {element, "/quit"},
                                               {"/SAVE", pc},
                                               {}}) {
        StartupFilesAhead filesAhead;
        StartReadingAhead(CommandLine(arguments), filesAhead);
        QVERIFY(!filesAhead.pc && !filesAhead.text);
    }
}

void MainWindowTest::startupMessagesAndFailures() {
    // A parser message: one-button box titled like the window; start-up goes on.
    {
        const std::string file = folder("startup") + "broken.tree";
        writeFile(file, "EUR\r\n   DEU\r\nASI\r\n  JPN\r\n");
        MessageBoxCatcher catcher;
        TForm1 window({file}, folder("empty"));
        QCOMPARE(catcher.texts, QStringList{QStringLiteral("Error in line 3\r\n  \"JPN\"")});
        QCOMPARE(catcher.titles, QStringList{window.windowTitle()});
        QCOMPARE(catcher.buttons, std::vector<int>{1});
        QCOMPARE(window.findChild<TRapidTree*>(QStringLiteral("RapidTree4"))->Items().Count(), 2);
    }
    // A .tree file that cannot be written: the default error report shows it, the rest of the
    // start-up (the catalog detection) still runs.
    {
        const std::string dir = folder("startup-unwritable");
        writeFile(dir + "regions.PC", "\"level1\".\"EUR\".\"EUR\" 1\r\n");
        QDir().mkpath(QString::fromStdString(dir + "regions.tree"));
        const std::string exe = folder("startup-exe");
        writeFile(exe + "tessaroc", "");
        MessageBoxCatcher catcher;
        TForm1 window({dir + "regions.PC", "/SAVE"}, exe);
        QCOMPARE(catcher.texts,
                 QStringList{QString::fromStdString("Cannot create file " + dir + "regions.tree")});
        QVERIFY(!window.findChild<QPushButton*>(QStringLiteral("Button12"))->isHidden());
        QCOMPARE(window.findChild<TRapidTree*>(QStringLiteral("RapidTree4"))->Items().Count(), 1);
    }
}

void MainWindowTest::paneCommands() {
    const std::string dir = folder("commands");
    writeFile(dir + "in.PC", "\"level1\".\"EUR\".\"EUR\" 1 @ \"Europe\"\r\n"
                             "\"level2\".\"DEU\".\"EUR\" 3\r\n");
    writeFile(dir + "in.tree", "ASI\r\n   JPN \"Japan\"");
    TForm1 window({}, folder("empty"));
    auto* pane = window.findChild<TTextPane*>(QStringLiteral("RxRichEdit1"));
    TFlyNodes& tree = window.findChild<TRapidTree*>(QStringLiteral("RapidTree4"))->Items();
    QString chosen;
    window.RunFileDialog = [&](QFileDialog& dialog) {
        const QString name = chosen;
        chosen = dialog.objectName(); // which dialog asked
        return name;
    };
    const auto click = [&](const char* button, const std::string& file) {
        chosen = QString::fromStdString(file);
        QTest::mouseClick(window.findChild<QPushButton*>(QString::fromLatin1(button)),
                          Qt::LeftButton);
        return chosen;
    };

    // The tree pane's "Load": tuples into the tree, element text into the pane.
    QCOMPARE(click("Button8", dir + "in.PC"), QStringLiteral("OpenDialog2"));
    QCOMPARE(tree.Count(), 1);
    QCOMPARE(tree.Root(0)->Child(0)->Cells(1), std::string(" 3"));
    QCOMPARE(pane->Lines(), (TextLines{"\"EUR\" \"Europe\"", "   \"DEU\""}));
    QVERIFY(window.FLoadFromFile);
    // Cancelled: nothing changes.
    QCOMPARE(click("Button8", ""), QStringLiteral("OpenDialog2"));
    QCOMPARE(tree.Count(), 1);

    // "Save .PC to clipboard": captions without markup.
    window.findChild<QAction*>(QStringLiteral("SavePCtoclipboard1"))->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(),
             QStringLiteral("\"level1\".\"EUR - Europe\".\"EUR - Europe\"  1\r\n"
                            "\"level2\".\"DEU\".\"EUR - Europe\"  3\r\n"));

    // The tree pane's "Save": plain names, through SaveDialog2.
    QCOMPARE(click("Button6", dir + "out.PC"), QStringLiteral("SaveDialog2"));
    QCOMPARE(ReadFileBytes(dir + "out.PC"),
             std::string("\"level1\".\"EUR\".\"EUR\"  1\r\n\"level2\".\"DEU\".\"EUR\"  3\r\n"));

    // The text pane's "Load" replaces pane and tree; the tree pane's "Refresh" writes the tree
    // back into the pane.
    QCOMPARE(click("Button1", dir + "in.tree"), QStringLiteral("OpenDialog1"));
    QCOMPARE(pane->Lines(), (TextLines{"\"ASI\"", "   \"JPN\" \"Japan\""}));
    QCOMPARE(tree.Root(0)->Text(), MakeCaption("ASI"));
    tree.AddChild(nullptr, MakeCaption("AFR", "Africa"));
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("Button5")), Qt::LeftButton);
    QCOMPARE(pane->Lines(), (TextLines{"\"ASI\"", "   \"JPN\" \"Japan\"", "\"AFR\" \"Africa\""}));
}

void MainWindowTest::collapseButtonTogglesOnce() {
    TForm1 window({}, folder("empty"));
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    auto* panel = window.findChild<TCollapsiblePanel*>(QStringLiteral("Panel1"));
    auto* rest = window.findChild<QWidget*>(QStringLiteral("Panel3"));
    QTRY_COMPARE(panel->width(), window.width() / 2);
    QSignalSpy ends(panel, &TCollapsiblePanel::EndCollapsExpand);

    QTest::mouseClick(panel->CollapseButton(), Qt::LeftButton);
    QVERIFY(panel->Collapsed());
    QCOMPARE(panel->width(), TCollapsiblePanel::kStripWidth);
    QCOMPARE(rest->geometry().right(), window.width() - 1);
    QCOMPARE(rest->x(), TCollapsiblePanel::kStripWidth + 3);

    QTest::mouseClick(panel->CollapseButton(), Qt::LeftButton);
    QVERIFY(!panel->Collapsed());
    QCOMPARE(panel->width(), window.width() / 2);
    QCOMPARE(ends.count(), 2);
}

void MainWindowTest::errorReportShowsMessageAndGoesOn() {
    TForm1 window({}, folder("empty"));
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    FailingObject failing;
    {
        MessageBoxCatcher catcher;
        QEvent event(QEvent::User);
        QCoreApplication::sendEvent(&failing, &event);
        QCOMPARE(catcher.texts, QStringList{QStringLiteral("Cannot create file /nowhere/x.PC")});
        QCOMPARE(catcher.buttons, std::vector<int>{1});
    }
    // The program goes on: the window still works.
    QVERIFY(window.isVisible());
    window.findChild<QAction*>(QStringLiteral("Exit1"))->trigger();
    QTRY_VERIFY(!window.isVisible());
}

void MainWindowTest::failingCommandReachesErrorReport() {
    TForm1 window({}, folder("empty"));
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    const std::string target = folder("unwritable") + "no such folder/x.PC";
    window.RunFileDialog = [&](QFileDialog&) { return QString::fromStdString(target); };
    MessageBoxCatcher catcher;
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("Button6")), Qt::LeftButton);
    QCOMPARE(catcher.texts, QStringList{QString::fromStdString("Cannot create file " + target)});
    QCOMPARE(catcher.titles, QStringList{window.windowTitle()});
    // The next command runs as usual.
    window.RunFileDialog = [&](QFileDialog&) {
        return QString::fromStdString(folder("unwritable") + "x.PC");
    };
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("Button6")), Qt::LeftButton);
    QCOMPARE(catcher.texts.size(), 1);
    QVERIFY(FileExists(folder("unwritable") + "x.PC"));
}

void MainWindowTest::switchMatching_data() {
    QTest::addColumn<QString>("argument");
    QTest::addColumn<bool>("matches");
    QTest::newRow("upper") << QStringLiteral("/QUIT") << true;
    QTest::newRow("lower") << QStringLiteral("/quit") << true;
    QTest::newRow("mixed") << QStringLiteral("/qUiT") << true;
    QTest::newRow("longer word") << QStringLiteral("/QUITS") << false;
    QTest::newRow("hyphen") << QStringLiteral("-QUIT") << false;
    QTest::newRow("trailing blank") << QStringLiteral("/QUIT ") << false;
    QTest::newRow("no slash") << QStringLiteral("QUIT") << false;
    QTest::newRow("dotless i") << QStringLiteral("/QU\u0131T") << false;
}

void MainWindowTest::switchMatching() {
    QFETCH(QString, argument);
    QFETCH(bool, matches);
    const CommandLine line({"file.PC", argument.toStdString(), "/other"});
    QCOMPARE(line.Has(kQuitSwitch), matches);
    QCOMPARE(line.Has(kSaveSwitch), false);
}

void MainWindowTest::catalogOption_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QStringList>("rest");
    const auto list = [](std::initializer_list<const char*> texts) {
        QStringList l;
        for (const char* t : texts)
            l << QString::fromUtf8(t);
        return l;
    };
    QTest::newRow("none") << list({"a.tree", "/QUIT"}) << true << QString()
                          << list({"a.tree", "/QUIT"});
    QTest::newRow("before the file") << list({"--catalog", "/data/cat", "a.tree"}) << true
                                     << QStringLiteral("/data/cat") << list({"a.tree"});
    QTest::newRow("with =") << list({"a.tree", "--catalog=cat dir"}) << true
                            << QStringLiteral("cat dir") << list({"a.tree"});
    QTest::newRow("the last counts") << list({"--catalog", "one", "--catalog=two", "a.tree"})
                                     << true << QStringLiteral("two") << list({"a.tree"});
    QTest::newRow("missing folder")
        << list({"a.tree", "--catalog"}) << false << QString() << list({"a.tree"});
    QTest::newRow("empty folder") << list({"--catalog=", "a.tree"}) << false << QString()
                                  << list({"a.tree"});
    QTest::newRow("other spelling is no option")
        << list({"--Catalog", "x", "--catalogue=y"}) << true << QString()
        << list({"--Catalog", "x", "--catalogue=y"});
}

void MainWindowTest::catalogOption() {
    QFETCH(QStringList, arguments);
    QFETCH(bool, ok);
    QFETCH(QString, folder);
    QFETCH(QStringList, rest);
    std::vector<std::string> args;
    for (const QString& a : arguments)
        args.push_back(a.toStdString());
    std::string taken;
    QCOMPARE(TakeCatalogOption(args, taken), ok);
    QCOMPARE(QString::fromStdString(taken), folder);
    QStringList left;
    for (const std::string& a : args)
        left << QString::fromStdString(a);
    QCOMPARE(left, rest);
}

void MainWindowTest::catalogInNamedFolder() {
    // A folder named instead of the one beside the executable: the catalog program is looked for
    // in its parent folder.
    const std::string base = folder("named-catalog");
    QDir().mkpath(QString::fromStdString(base + "cat"));
    writeFile(base + "cat/pcclassifications.gms", "SET x\r\n/\r\n/\r\n");
    TForm1 without({}, CatalogLocation::InFolder(base + "cat"));
    QCOMPARE(without.FCatalogFile, base + "cat/pcclassifications.gms");
    QVERIFY(!without.findChild<QPushButton*>(QStringLiteral("Button9"))->isHidden());
    QVERIFY(without.findChild<QPushButton*>(QStringLiteral("Button12"))->isHidden());

    writeFile(base + "tessaroc", "");
    TForm1 with({}, CatalogLocation::InFolder(base + "cat/"));
    QVERIFY(!with.findChild<QPushButton*>(QStringLiteral("Button12"))->isHidden());
    QCOMPARE(with.CatalogFolder(), base + "cat/");
}

int main(int argc, char** argv) {
    Application app(argc, argv);
    MainWindowTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

void MainWindowTest::closeRequestWaitsForWork() {
    TForm1 window({}, folder("close-work"));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    int asked = 0;
    bool mayClose = false;
    window.Closer().MayClose = [&] {
        ++asked;
        return mayClose;
    };

    // Asked during work (the busy cursor shows): kept, carried out when the work ends.
    window.WindowFeedback().busyBegin();
    window.close();
    QVERIFY(window.isVisible());
    QVERIFY(window.Closer().Pending());
    QCOMPARE(asked, 0);
    window.WindowFeedback().busyEnd();
    QTRY_COMPARE(asked, 1);
    // The question (for unsaved work, say) may decline; a later request is asked again.
    QVERIFY(window.isVisible());
    QVERIFY(!window.Closer().Pending());
    mayClose = true;
    window.close();
    QCOMPARE(asked, 2);
    QVERIFY(!window.isVisible());
}

void MainWindowTest::closeRequestDuringMessageIsKept() {
    // A Refresh whose text has an error ends with a message box. A request to close made while
    // it shows (the window system's, which the widget library drops for a blocked window, and
    // "Exit") is carried out once the box is closed.
    TForm1 window({}, folder("close-message"));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    int asked = 0;
    window.Closer().MayClose = [&] { return ++asked > 0; }; // the question about unsaved work
    window.RxRichEdit1->SetLines({"a", "   b", "  c"});
    QStringList shown;
    QTimer timer;
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        shown << box->text();
        window.Closer().NoteBlockedCloseRequest();
        window.close();
        QVERIFY(window.isVisible());
        box->done(QMessageBox::Ok);
    });
    timer.start();
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("Button2")), Qt::LeftButton);
    QCOMPARE(shown, QStringList{QStringLiteral("Error in line 2\r\n  \"c\"")});
    QTRY_VERIFY(!window.isVisible());
    QCOMPARE(asked, 1);
}

#include "mainwindow_test.moc"
