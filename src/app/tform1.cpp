// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/tform1.h"

#include <QAction>
#include <QBoxLayout>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <utility>

#include "app/application.h"
#include "app/headerbar.h"
#include "app/tclientarea.h"
#include "app/tcollapsiblepanel.h"
#include "app/unsavedchanges.h"
#include "app/viewcommands.h"
#include "app/windowcloser.h"
#include "catalog/catalogchoosers.h"
#include "display/controls.h"
#include "display/displaytext.h"
#include "editing/treeeditcommands.h"
#include "formats/pcreader.h"
#include "formats/pcwriter.h"
#include "model/textfile.h"
#include "textpane/filedialog.h"
#include "textpane/gamsmarks.h"
#include "textpane/textpanecommands.h"
#include "textpane/ttextpane.h"
#include "textpane/utf8question.h"
#include "view/trapidtree.h"
#include "view/treefindbar.h"

namespace settree {

namespace {

constexpr int kTreeWeightWidth = 75;

// The failures of start-up go to the default error report, as those of any handler do.
class ErrorReportFeedback : public Feedback {
public:
    void message(const std::string& text) override { ShowErrorReport(text); }
};

// A header strip: a heading on the left, buttons anchored to the top right.
QWidget* makeBar(const char* name, QLabel* heading, std::vector<QPushButton*> buttons,
                 QWidget* parent) {
    auto* bar = new HeaderBar(heading, std::move(buttons), parent);
    bar->setObjectName(QString::fromLatin1(name));
    return bar;
}

QAction* makeAction(const char* name, const QString& caption, QObject* parent) {
    auto* action = new QAction(caption, parent);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

} // namespace

void MessageBoxFeedback::message(const std::string& text) {
    ShowMessage(window_, QMessageBox::Information, window_->windowTitle(), BytesToDisplay(text));
}

void MessageBoxFeedback::busyBegin() {
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    if (closer)
        closer->WorkBegin();
}

void MessageBoxFeedback::busyEnd() {
    QGuiApplication::restoreOverrideCursor();
    if (closer)
        closer->WorkEnd();
}

TForm1::TForm1(std::vector<std::string> arguments, const std::string& exeFolder, QWidget* parent)
    : TForm1(std::move(arguments), CatalogLocation::BesideExecutable(exeFolder), parent) {}

TForm1::TForm1(std::vector<std::string> arguments, CatalogLocation catalog, QWidget* parent,
               StartupFilesAhead* filesAhead)
    : QMainWindow(parent), commandLine_(std::move(arguments)), catalogLocation_(std::move(catalog)),
      filesAhead_(filesAhead), feedback_(std::make_unique<MessageBoxFeedback>(this)) {
    setObjectName(QStringLiteral("Form1"));
    closer_ = new WindowCloser(*this);
    feedback_->closer = closer_;
    // The window's font first, so that controls with a font of their own keep it.
    QFont font(QStringLiteral("Calibri"));
    font.setPixelSize(13);
    setFont(font);
    setWindowTitle(tr("Make a GAMS element tree - settree"));
    resize(1024, 656);

    RunFileDialog = ExecFileDialog;

    clientArea_ = new TClientArea(this);
    clientArea_->setObjectName(QStringLiteral("clientArea"));
    setCentralWidget(clientArea_);

    createMenu();
    createTextPanel();
    Splitter1 = new QWidget(clientArea_);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setFixedWidth(3);
    createTreePanel();
    textCommands_ = new TextPaneCommands(*RxRichEdit1, *feedback_, RapidTree4->Items(), this);
    textCommands_->ChooseFile = [this](QFileDialog& dialog) { return RunFileDialog(dialog); };
    clientArea_->SetPanes(Panel1, Splitter1, Panel3);
    clientArea_->SetPanelWidth(487);
    view_ = std::make_unique<ViewCommands>(*this, *clientArea_, *Panel1, *RxRichEdit1, *RapidTree4,
                                           FCaptionClickArmed);
    createElementDialog();
    createChoosers();
    createTreeMenu();
    createFileDialogs();
    treeCommands_ = std::make_unique<TreeEditCommands>(
        *RapidTree4, ElementDialog::Controls{GroupBox1, Edit1, Edit2, Edit4, Button4, Button7},
        TreeEditCommands::MenuItems{cut1, copy1, patse1, pastetoroot1, UndoTreeEdit, RedoTreeEdit},
        TreeEditCommands::WindowFields{FClipNode, FClipMode, FDragNode, FEditMode});
    unsaved_ = new UnsavedChanges(*this, windowTitle(), *RxRichEdit1, treeCommands_->History());
    connect(treeCommands_.get(), &TreeEditCommands::HistoryChanged, unsaved_,
            &UnsavedChanges::Update);
    connect(textCommands_, &TextPaneCommands::FileLoaded, unsaved_, [this](const QString& name) {
        unsaved_->TextClean();
        unsaved_->SetFileName(name);
    });
    connect(textCommands_, &TextPaneCommands::FileSaved, unsaved_, [this](const QString& name) {
        unsaved_->TextClean();
        unsaved_->SetFileName(name);
    });
    connect(textCommands_, &TextPaneCommands::TreeRebuilt, unsaved_, &UnsavedChanges::TreeClean);
    // A request to close is carried out through the closer, which asks about unsaved work the
    // moment it carries it out; an unattended run never asks.
    closer_->MayClose = [this] {
        if (commandLine_.Has(kQuitSwitch))
            return true;
        bool mayClose = true;
        RunReportingErrors([&] {
            mayClose = false;
            mayClose = unsaved_->MayClose([this] { return textCommands_->Save(); },
                                          [this] { Button5Click(); });
        });
        return mayClose;
    };

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    auto* version = MakeLabel("StatusBar1Panel", QStringLiteral("settree version " SETTREE_VERSION),
                              StatusBar1);
    StatusBar1->addWidget(version, 1);
    GamsStatus = new QPushButton(StatusBar1);
    GamsStatus->setObjectName(QStringLiteral("GamsStatus"));
    GamsStatus->setFlat(true);
    GamsStatus->setCursor(Qt::PointingHandCursor);
    GamsStatus->setToolTip(tr("Go to the next element GAMS would reject or show otherwise"));
    GamsStatus->hide();
    StatusBar1->addPermanentWidget(GamsStatus);
    setStatusBar(StatusBar1);

    connectHandlers();
    FormCreate();
}

TForm1::~TForm1() = default;

std::string TForm1::ExecutableFolder() {
    return QStringToFileName(QCoreApplication::applicationDirPath() + QDir::separator());
}

void TForm1::createMenu() {
    MainMenu1 = menuBar();
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    Swappanels1 = makeAction("Swappanels1", tr("Swap panels"), this);
    Who1 = makeAction("Who1", tr("Who"), this);
    Increasefont1 = makeAction("Increasefont1", tr("Increase font"), this);
    Decreasefont1 = makeAction("Decreasefont1", tr("Decrease font"), this);
    Exit1 = makeAction("Exit1", tr("Exit"), this);
    for (QAction* action : {Swappanels1, Who1, Increasefont1, Decreasefont1, Exit1})
        MainMenu1->addAction(action);
}

void TForm1::createTextPanel() {
    Panel1 = new TCollapsiblePanel(clientArea_);
    Panel1->setObjectName(QStringLiteral("Panel1"));

    Label4 = MakeLabel("Label4", tr("Element (.TREE)"), nullptr);
    Label4->setFont(HeadingFont());
    Button12 =
        MakeButton("Button12", tr("Tessaroc"), nullptr, tr("Use PC relations from Tessaroc"));
    Button1 =
        MakeButton("Button1", tr("Load"), nullptr, tr("Load a .TREE file and build the Tree"));
    Button2 = MakeButton("Button2", tr("Refresh"), nullptr, tr("Read Memo and create Tree"));
    Button3 = MakeButton("Button3", tr("Save"), nullptr, tr("Save .TREE file"));
    Panel2 = makeBar("Panel2", Label4, {Button12, Button1, Button2, Button3}, Panel1->Content());

    RxRichEdit1 = new TTextPane(Panel1->Content());
    RxRichEdit1->setObjectName(QStringLiteral("RxRichEdit1"));

    auto* layout = new QVBoxLayout(Panel1->Content());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Panel2);
    layout->addWidget(RxRichEdit1, 1);
}

void TForm1::createTreePanel() {
    Panel3 = new QWidget(clientArea_);
    Panel3->setObjectName(QStringLiteral("Panel3"));

    Label5 = MakeLabel("Label5", tr("Tree (.PC)"), nullptr);
    Label5->setFont(HeadingFont());
    Button9 = MakeButton("Button9", tr("Tessaroc"), nullptr, tr("Use PC relations from Tessaroc"));
    Button8 = MakeButton("Button8", tr("Load"), nullptr, tr("Load and parse .PC file to a tree"));
    Button5 = MakeButton("Button5", tr("Refresh"), nullptr, tr("Parse Tree and Create Memo"));
    Button6 = MakeButton("Button6", tr("Save"), nullptr, tr("Save Parent Child Tuple"));
    Panel4 = makeBar("Panel4", Label5, {Button9, Button8, Button5, Button6}, Panel3);

    RapidTree4 = new TRapidTree(Panel3);
    RapidTree4->setObjectName(QStringLiteral("RapidTree4"));
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(8); // 11 pixels at 96 dots per inch; the font commands step in points
    RapidTree4->setFont(font);

    auto* layout = new QVBoxLayout(Panel3);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Panel4);
    layout->addWidget(RapidTree4, 1);
}

void TForm1::createElementDialog() {
    GroupBox1 = new QGroupBox(tr("GAMS element"), Panel3);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setAutoFillBackground(true);
    GroupBox1->setGeometry(8, kBarHeight, 385, 166);
    Label1 = MakeLabel("Label1", tr("Element name:"), GroupBox1);
    Edit1 = MakeEdit("Edit1", GroupBox1);
    Label2 = MakeLabel("Label2", tr("Element description:"), GroupBox1);
    Edit2 = MakeEdit("Edit2", GroupBox1);
    Label3 = MakeLabel("Label3", tr("Weight:"), GroupBox1);
    Edit4 = MakeEdit("Edit4", GroupBox1);
    Button4 = MakeButton("Button4", tr("OK"), GroupBox1);
    Button7 = MakeButton("Button7", tr("Abort"), GroupBox1);
    Label1->setGeometry(8, 18, 369, 16);
    Edit1->setGeometry(8, 34, 369, 21);
    Label2->setGeometry(8, 61, 369, 16);
    Edit2->setGeometry(8, 77, 369, 21);
    Label3->setGeometry(8, 106, 100, 16);
    Edit4->setGeometry(8, 122, 100, 21);
    Button7->move(219, 128); // "Abort" left of "OK", both at the bottom right
    Button4->move(302, 128);
    Label1->setBuddy(Edit1);
    Label2->setBuddy(Edit2);
    Label3->setBuddy(Edit4);
    setTabOrder(Edit1, Edit2);
    setTabOrder(Edit2, Button4);
    setTabOrder(Button4, Button7);
    setTabOrder(Button7, Edit4);
    GroupBox1->hide();
}

void TForm1::createChoosers() {
    catalog_ = std::make_unique<CatalogChoosers>(
        *clientArea_, *Panel1, *RxRichEdit1, *textCommands_, *feedback_,
        CatalogChoosers::WindowState{FClassifications, FCatalogFile, FFindMode,
                                     FSelectedClassification, FLoadFromFile});
    catalog_->LoadSelectedClassification = [this] { Button8Click(); };
    GroupBox2 = catalog_->GroupBox2;
    HTMLComboBox1 = catalog_->HTMLComboBox1;
    Button15 = catalog_->Button15;
    Button11 = catalog_->Button11;
    Button10 = catalog_->Button10;
    GroupBox3 = catalog_->GroupBox3;
    HTMLComboBox2 = catalog_->HTMLComboBox2;
    Button16 = catalog_->Button16;
    Button14 = catalog_->Button14;
    Button13 = catalog_->Button13;
    Panel5 = catalog_->Panel5;
    Label6 = catalog_->Label6;
    Edit3 = catalog_->Edit3;
    Button19 = catalog_->Button19;
    Button18 = catalog_->Button18;
    Button17 = catalog_->Button17;
    AdvStringGrid1 = catalog_->AdvStringGrid1;
}

void TForm1::createTreeMenu() {
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    Rename1 = makeAction("Rename1", tr("Rename/edit"), this);
    Delete1 = makeAction("Delete1", tr("Delete"), this);
    DeleteChildren1 = makeAction("DeleteChildren1", tr("Delete Children"), this);
    cut1 = makeAction("cut1", tr("Cut node"), this);
    copy1 = makeAction("copy1", tr("Copy node"), this);
    patse1 = makeAction("patse1", tr("Paste node"), this);
    pastetoroot1 = makeAction("pastetoroot1", tr("Paste to root"), this);
    Addrootelement1 = makeAction("Addrootelement1", tr("Add root element"), this);
    Addelementtocurrentnode1 =
        makeAction("Addelementtocurrentnode1", tr("Add element to current node"), this);
    Moveup1 = makeAction("Moveup1", tr("Move Up"), this);
    MoveDown1 = makeAction("MoveDown1", tr("Move Down"), this);
    Movetoroot1 = makeAction("Movetoroot1", tr("Move to root"), this);
    SavePCtoclipboard1 = makeAction("SavePCtoclipboard1", tr("Save .PC to clipboard"), this);
    SaveTreetoclipboard1 = makeAction("SaveTreetoclipboard1", tr("Save .Tree to clipboard"), this);
    SaveUniqueElementListUELtoclipboard2 =
        makeAction("SaveUniqueElementListUELtoclipboard2",
                   tr("Save Unique Element List (UEL) to clipboard"), this);
    Sortchildrenacending1 =
        makeAction("Sortchildrenacending1", tr("Sort children alphabetically "), this);
    Sorteverythingalphabetically1 =
        makeAction("Sorteverythingalphabetically1", tr("Sort everything alphabetically "), this);
    Fullexpand1 = makeAction("Fullexpand1", tr("Full expand"), this);
    Fullcollapse1 = makeAction("Fullcollapse1", tr("Full collapse"), this);
    Expandfromnode1 = makeAction("Expandfromnode1", tr("Expand from node"), this);
    Collapsefromnode1 = makeAction("Collapsefromnode1", tr("Collapse from node"), this);

    const std::vector<QAction*> items = {Rename1,
                                         Delete1,
                                         DeleteChildren1,
                                         nullptr,
                                         cut1,
                                         copy1,
                                         patse1,
                                         pastetoroot1,
                                         nullptr,
                                         Addrootelement1,
                                         Addelementtocurrentnode1,
                                         nullptr,
                                         Moveup1,
                                         MoveDown1,
                                         Movetoroot1,
                                         nullptr,
                                         SavePCtoclipboard1,
                                         SaveTreetoclipboard1,
                                         SaveUniqueElementListUELtoclipboard2,
                                         Sortchildrenacending1,
                                         Sorteverythingalphabetically1,
                                         nullptr,
                                         Fullexpand1,
                                         Fullcollapse1,
                                         Expandfromnode1,
                                         Collapsefromnode1};
    for (QAction* item : items) {
        if (item)
            PopupMenu1->addAction(item);
        else
            PopupMenu1->addSeparator();
    }
    UndoTreeEdit = makeAction("UndoTreeEdit", tr("Undo"), this);
    RedoTreeEdit = makeAction("RedoTreeEdit", tr("Redo"), this);
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(UndoTreeEdit);
    PopupMenu1->addAction(RedoTreeEdit);
    FindInTree = makeAction("FindInTree", tr("Find element..."), this);
    FindNextInTree = makeAction("FindNextInTree", tr("Find next element"), this);
    FindPreviousInTree = makeAction("FindPreviousInTree", tr("Find previous element"), this);
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(FindInTree);

    // The node clipboard keys act while the tree has the focus; elsewhere (the text pane) the
    // same keys keep their usual meaning.
    cut1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));
    copy1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    patse1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
    // Keys of the tree beyond the clipboard, shown beside their items.
    Rename1->setShortcut(QKeySequence(Qt::Key_F2));
    Addelementtocurrentnode1->setShortcut(QKeySequence(Qt::Key_Insert));
    Delete1->setShortcut(QKeySequence(Qt::Key_Delete));
    Moveup1->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Up));
    MoveDown1->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Down));
    UndoTreeEdit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    RedoTreeEdit->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    FindInTree->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    FindNextInTree->setShortcut(QKeySequence(Qt::Key_F3));
    FindPreviousInTree->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3));
    TreeFind = new TreeFindBar(*RapidTree4, Panel3);
    for (QAction* action : {FindNextInTree, FindPreviousInTree}) {
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        TreeFind->addAction(action);
    }
    for (QAction* action :
         {cut1, copy1, patse1, Rename1, Addelementtocurrentnode1, Delete1, Moveup1, MoveDown1,
          UndoTreeEdit, RedoTreeEdit, FindInTree, FindNextInTree, FindPreviousInTree}) {
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        RapidTree4->addAction(action);
    }
    RapidTree4->SetPopupMenu(PopupMenu1);
}

void TForm1::createFileDialogs() {
    const QString type = QStringLiteral("GAMS *.PC");
    const QString pattern = QStringLiteral("*.PC");
    OpenDialog2 = LazyFileDialog(this, QStringLiteral("OpenDialog2"), QFileDialog::AcceptOpen, type,
                                 pattern, QStringLiteral("pc"));
    SaveDialog2 = LazyFileDialog(this, QStringLiteral("SaveDialog2"), QFileDialog::AcceptSave, type,
                                 pattern, QStringLiteral("PC"));
}

void TForm1::connectHandlers() {
    // Every handler runs under the default error report.
    const auto handler = [this](void (TForm1::*method)()) {
        return [this, method] { RunReportingErrors([this, method] { (this->*method)(); }); };
    };
    const std::pair<QAction*, void (TForm1::*)()> actions[] = {
        {Swappanels1, &TForm1::Swappanels1Click},
        {Who1, &TForm1::Who1Click},
        {Increasefont1, &TForm1::Increasefont1Click},
        {Decreasefont1, &TForm1::Decreasefont1Click},
        {Exit1, &TForm1::Exit1Click},
        {Rename1, &TForm1::Rename1Click},
        {Delete1, &TForm1::Delete1Click},
        {DeleteChildren1, &TForm1::DeleteChildren1Click},
        {cut1, &TForm1::cut1Click},
        {copy1, &TForm1::copy1Click},
        {patse1, &TForm1::patse1Click},
        {pastetoroot1, &TForm1::pastetoroot1Click},
        {Addrootelement1, &TForm1::Addrootelement1Click},
        {Addelementtocurrentnode1, &TForm1::Addelementtocurrentnode1Click},
        {Moveup1, &TForm1::Moveup1Click},
        {MoveDown1, &TForm1::MoveDown1Click},
        {Movetoroot1, &TForm1::Movetoroot1Click},
        {SavePCtoclipboard1, &TForm1::SavePCtoclipboard1Click},
        {SaveTreetoclipboard1, &TForm1::SaveTreetoclipboard1Click},
        {SaveUniqueElementListUELtoclipboard2, &TForm1::SaveUniqueElementListUELtoclipboard2Click},
        {Sortchildrenacending1, &TForm1::Sortchildrenacending1Click},
        {Sorteverythingalphabetically1, &TForm1::Sorteverythingalphabetically1Click},
        {Fullexpand1, &TForm1::Fullexpand1Click},
        {Fullcollapse1, &TForm1::Fullcollapse1Click},
        {Expandfromnode1, &TForm1::Expandfromnode1Click},
        {Collapsefromnode1, &TForm1::Collapsefromnode1Click},
        {UndoTreeEdit, &TForm1::UndoTreeEditClick},
        {RedoTreeEdit, &TForm1::RedoTreeEditClick},
        {FindInTree, &TForm1::FindInTreeClick},
        {FindNextInTree, &TForm1::FindNextInTreeClick},
        {FindPreviousInTree, &TForm1::FindPreviousInTreeClick},
    };
    for (const auto& [action, method] : actions)
        connect(action, &QAction::triggered, this, handler(method));

    // Popedit's items run the window's handlers, like every other menu item.
    const std::pair<QAction*, void (TForm1::*)()> paneItems[] = {
        {textCommands_->SavePCtoclipboard2, &TForm1::SavePCtoclipboard2Click},
        {textCommands_->SaveTreetoclipboard2, &TForm1::SaveTreetoclipboard2Click},
        {textCommands_->SaveUniqueElementListUELtoclipboard1,
         &TForm1::SaveUniqueElementListUELtoclipboard1Click},
    };
    for (const auto& [action, method] : paneItems) {
        disconnect(action, &QAction::triggered, textCommands_, nullptr);
        connect(action, &QAction::triggered, this, handler(method));
    }

    const std::pair<QPushButton*, void (TForm1::*)()> buttons[] = {
        {Button1, &TForm1::Button1Click},   {Button2, &TForm1::Button2Click},
        {Button3, &TForm1::Button3Click},   {Button4, &TForm1::Button4Click},
        {Button5, &TForm1::Button5Click},   {Button6, &TForm1::Button6Click},
        {Button7, &TForm1::Button7Click},   {Button8, &TForm1::Button8Click},
        {Button9, &TForm1::Button9Click},   {Button10, &TForm1::Button10Click},
        {Button11, &TForm1::Button11Click}, {Button12, &TForm1::Button12Click},
        {Button13, &TForm1::Button13Click}, {Button14, &TForm1::Button14Click},
        {Button15, &TForm1::Button15Click}, {Button16, &TForm1::Button16Click},
        {Button17, &TForm1::Button17Click}, {Button18, &TForm1::Button18Click},
        {Button19, &TForm1::Button19Click},
    };
    for (const auto& [button, method] : buttons)
        connect(button, &QPushButton::clicked, this, handler(method));

    connect(PopupMenu1, &QMenu::aboutToShow, this, handler(&TForm1::PopupMenu1Popup));
    connect(Panel1, &TCollapsiblePanel::CaptionClick, this, handler(&TForm1::Panel1CaptionClick));
    connect(Panel1, &TCollapsiblePanel::EndCollapsExpand, this,
            handler(&TForm1::Panel1EndCollapsExpand));
    connect(GamsStatus, &QPushButton::clicked, this, handler(&TForm1::GamsStatusClick));
    connect(textCommands_->Marks, &GamsMarks::SummaryChanged, GamsStatus,
            [this](const QString& summary) {
                GamsStatus->setText(summary);
                GamsStatus->setVisible(!summary.isEmpty());
            });
    connect(AdvStringGrid1, &QTableWidget::cellDoubleClicked, this,
            handler(&TForm1::AdvStringGrid1DblClick));
    Edit3->installEventFilter(this);

    RxRichEdit1->OnMouseDown = [this](QMouseEvent* event) {
        RunReportingErrors([&] { RxRichEdit1MouseDown(event); });
    };
    RxRichEdit1->OnKeyUp = [this](QKeyEvent* event) {
        RunReportingErrors([&] { RxRichEdit1KeyUp(event); });
    };
    RapidTree4->OnMouseDown = [this](Qt::MouseButton button, ShiftState shift, int x, int y) {
        RunReportingErrors([&] { RapidTree4MouseDown(button, shift, x, y); });
    };
    RapidTree4->OnDblClick = handler(&TForm1::RapidTree4DblClick);
    RapidTree4->OnStartDrag = handler(&TForm1::RapidTree4StartDrag);
    RapidTree4->OnDragOver = [this](int x, int y, bool& accept) {
        RunReportingErrors([&] { RapidTree4DragOver(x, y, accept); });
    };
    RapidTree4->OnDragDrop = [this](int x, int y) {
        RunReportingErrors([&] { RapidTree4DragDrop(x, y); });
    };
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Edit3 && event->type() == QEvent::KeyRelease)
        RunReportingErrors([&] { Edit3KeyUp(static_cast<QKeyEvent*>(event)); });
    return QMainWindow::eventFilter(watched, event);
}

bool TForm1::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate)
        RunReportingErrors([this] { FormActivate(); });
    return QMainWindow::event(event);
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shownOnce_)
        return;
    shownOnce_ = true;
    // Without an activation (no window manager, focus-stealing prevention) the panes and the
    // tree's columns are laid out all the same.
    RunReportingErrors([this] { applyActivationLayout(); });
}

void TForm1::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    RunReportingErrors([this] {
        FormResize();
        if (layoutAfterMaximise_) {
            layoutAfterMaximise_ = false;
            applyActivationLayout();
        }
    });
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (!closer_->TakeCloseRequest()) {
        event->ignore(); // carried out later, or declined
        return;
    }
    RunReportingErrors([this] { FormClose(); });
    event->accept();
}

// ---- Window events ----

StartupTarget TForm1::startupTarget(TextLines& lines, Feedback& errorReport) {
    StartupTarget target{RapidTree4->Items(), lines, *feedback_, errorReport};
    target.decimalSeparator = decimalSeparator_;
    StartupFilesAhead* ahead = std::exchange(filesAhead_, nullptr);
    target.filesAhead = ahead;
    target.openElementFile = [this, ahead](const std::string& fileName) {
        textCommands_->Open(fileName,
                            ahead && ahead->text ? ahead->text->Take(fileName) : std::nullopt);
    };
    target.showElementText = [this](const StartupTarget::WriteText& write) {
        textCommands_->ShowWrittenText(write);
    };
    return target;
}

void TForm1::FormCreate() {
    FClipNode = nullptr;
    FLoadFromFile = true;
    FDragNode = nullptr;
    decimalSeparator_ = UserDecimalSeparator(); // as read at program start

    // The title names the file from the start, so that its messages carry the name too.
    if (FileExists(commandLine_.FirstArgument()))
        unsaved_->SetFileName(FileNameToQString(commandLine_.FirstArgument()));
    ErrorReportFeedback errorReport;
    // The text pane takes an element file, and the text of a .PC file, itself; the element text
    // of a .PC file that "/SAVE" writes comes as lines.
    TextLines lines;
    StartupTarget target = startupTarget(lines, errorReport);
    OpenCommandLineFile(commandLine_, target);
    if (!lines.empty())
        RxRichEdit1->SetLines(lines);
    textCommands_->Marks->Check();
    // What the command line opened is what the files hold.
    unsaved_->TextClean();
    unsaved_->TreeClean();

    FClassifications.Clear();
    FCatalogFile = catalogLocation_.IndexFile();
    Button9->setVisible(FileExists(FCatalogFile));
    Button12->setVisible(catalogLocation_.ProgramPresent());
}

void TForm1::FormActivate() {
    if (commandLine_.Has(kQuitSwitch)) {
        close();
        return;
    }
    if (!isMaximized()) {
        const QSize before = size();
        setWindowState(windowState() | Qt::WindowMaximized);
        // Most window systems apply the new size later; the resize then lays out again.
        layoutAfterMaximise_ = size() == before;
    }
    applyActivationLayout();
}

void TForm1::applyActivationLayout() {
    clientArea_->SetPanelWidth(width() / 2);
    Panel3->layout()->activate();
    GroupBox1->move(GroupBox1->x(), RapidTree4->y());
    Panel5->setGeometry((frameGeometry().width() - Panel5->width()) / 2, 0, Panel5->width(),
                        Panel1->height());
    RapidTree4->SetColWidth(0, RapidTree4->width() - kTreeWeightWidth);
    RapidTree4->SetColWidth(1, kTreeWeightWidth);
}

void TForm1::FormResize() {
    clientArea_->SetPanelWidth(width() / 2);
}

void TForm1::FormClose() {
    catalog_->FreeEntries();
}

void TForm1::Exit1Click() {
    close();
}

// ---- Text pane ----

void TForm1::Button1Click() {
    textCommands_->Load();
}
void TForm1::Button2Click() {
    textCommands_->Refresh();
}
void TForm1::Button3Click() {
    textCommands_->Save();
}
void TForm1::RxRichEdit1MouseDown(QMouseEvent* event) {
    textCommands_->PaneMouseDown(event);
}
void TForm1::RxRichEdit1KeyUp(QKeyEvent* event) {
    textCommands_->PaneKeyUp(event);
}
void TForm1::SaveTreetoclipboard1Click() {
    textCommands_->CopyTreeToClipboard();
}
void TForm1::SaveTreetoclipboard2Click() {
    textCommands_->CopyTreeToClipboard();
}
void TForm1::SaveUniqueElementListUELtoclipboard1Click() {
    textCommands_->CopyUELToClipboard();
}
void TForm1::SaveUniqueElementListUELtoclipboard2Click() {
    textCommands_->CopyUELToClipboard();
}

// ---- Tree pane ----

void TForm1::Button5Click() {
    textCommands_->ShowTreeText();
    unsaved_->TextClean();
    unsaved_->TreeClean();
}

void TForm1::Button6Click() {
    StartFileDialogIn(*SaveDialog2, pcFileName_);
    const QString fileName = RunFileDialog(*SaveDialog2);
    if (fileName.isEmpty())
        return;
    SaveDialog2->selectFile(fileName);
    SavePCFile(QStringToFileName(fileName));
    unsaved_->TreeClean();
    unsaved_->SetFileName(fileName);
}

void TForm1::Button8Click() {
    if (FLoadFromFile) {
        StartFileDialogIn(*OpenDialog2, pcFileName_);
        const QString fileName = RunFileDialog(*OpenDialog2);
        if (fileName.isEmpty())
            return;
        OpenDialog2->selectFile(fileName);
        pcFileName_ = QStringToFileName(fileName);
    }
    LoadPC(pcFileName_);
}

void TForm1::SavePCtoclipboard1Click() {
    CopyPCToClipboard();
}

void TForm1::SavePCtoclipboard2Click() {
    CopyPCToClipboard();
}

void TForm1::SavePCFile(const std::string& fileName) {
    std::string bytes = PcFileBytes(RapidTree4->Items(), fileName, decimalSeparator_);
    if (OneEncodingForFile(bytes, fileName, textCommands_->ConfirmUtf8))
        WriteFileAtomically(fileName, bytes);
}

void TForm1::CopyPCToClipboard() {
    const std::string text = PcText(RapidTree4->Items(), PcNames::Captions);
    if (!text.empty())
        QGuiApplication::clipboard()->setText(BytesToDisplay(text));
}

void TForm1::LoadPC(const std::string& fileName) {
    // The next load reads a file again, however this one ends.
    struct LoadFromFileAgain {
        bool& flag;
        ~LoadFromFileAgain() { flag = true; }
    } again{FLoadFromFile};
    BusyCursor busy(*feedback_);
    TFlyNodes& tree = RapidTree4->Items();
    // A file's element text goes into the text pane whole (an empty pane takes it in while it is
    // written); a catalog block's comes as lines.
    TextLines lines;
    const bool fromFile = FLoadFromFile;
    const bool fromCatalog = !fromFile && FSelectedClassification;
    bool loaded = false;
    if (fromFile)
        textCommands_->ShowWrittenText([&](std::string& text, WrittenText* written) {
            loaded = settree::LoadPC(fileName, tree, text, *feedback_, decimalSeparator_, written);
        });
    else if (fromCatalog)
        loaded = LoadPCFromCatalog(FCatalogFile, *FSelectedClassification, tree, lines, *feedback_);
    RapidTree4->SetFitToHeight(true);
    RapidTree4->Repaint();
    if (fromCatalog)
        RxRichEdit1->SetLines(lines);
    textCommands_->Marks->Check();
    if (loaded) {
        // Both panes now show what the tuples hold.
        unsaved_->TextClean();
        unsaved_->TreeClean();
        if (FLoadFromFile)
            unsaved_->SetFileName(FileNameToQString(fileName));
    }
}

// ---- Catalog ----

std::string TForm1::CatalogFolder() const {
    return catalog_->CatalogFolder();
}
const tmb* TForm1::ItemEntry(const QComboBox& list, int index) {
    return CatalogChoosers::ItemEntry(list, index);
}
void TForm1::LoadClassificationIndex() {
    catalog_->LoadClassificationIndex();
}
void TForm1::LoadSetList() {
    catalog_->LoadSetList();
}
void TForm1::LoadSetIntoText(const tmb& entry) {
    catalog_->LoadSetIntoText(entry);
}
void TForm1::Button9Click() {
    catalog_->OpenClassificationChooser();
}
void TForm1::Button10Click() {
    catalog_->ConfirmClassification();
}
void TForm1::Button11Click() {
    catalog_->CloseClassificationChooser();
}
void TForm1::Button12Click() {
    catalog_->OpenSetChooser();
}
void TForm1::Button13Click() {
    catalog_->ConfirmSet();
}
void TForm1::Button14Click() {
    catalog_->CloseSetChooser();
}
void TForm1::Button15Click() {
    catalog_->OpenFindPanel("PC");
}
void TForm1::Button16Click() {
    catalog_->OpenFindPanel("TREE");
}
void TForm1::Button17Click() {
    catalog_->SelectResult();
}
void TForm1::Button18Click() {
    catalog_->CloseFindPanel();
}
void TForm1::Button19Click() {
    catalog_->Search();
}
void TForm1::Edit3KeyUp(QKeyEvent* event) {
    catalog_->SearchBoxKeyUp(event);
}
void TForm1::AdvStringGrid1DblClick() {
    catalog_->SelectResult();
}

// ---- View commands ----

void TForm1::Swappanels1Click() {
    view_->SwapPanels();
}
void TForm1::Who1Click() {
    view_->ToggleBackground();
}
void TForm1::Increasefont1Click() {
    view_->ChangeFontSize(+1);
}
void TForm1::Decreasefont1Click() {
    view_->ChangeFontSize(-1);
}
void TForm1::Panel1CaptionClick() {
    view_->CaptionClick();
}
void TForm1::Panel1EndCollapsExpand() {
    view_->EndCollapseExpand();
}

// ---- GAMS marks ----

void TForm1::GamsStatusClick() {
    textCommands_->Marks->GoToNext();
}

// ---- Element dialog, structure commands, node clipboard and drag and drop ----

void TForm1::Addrootelement1Click() {
    treeCommands_->Dialog().OpenAddRoot();
}
void TForm1::Addelementtocurrentnode1Click() {
    treeCommands_->Dialog().OpenAddChild();
}
void TForm1::Rename1Click() {
    treeCommands_->Dialog().OpenRename();
}
void TForm1::Button4Click() {
    treeCommands_->Dialog().Ok();
}
void TForm1::Button7Click() {
    treeCommands_->Dialog().Abort();
}
void TForm1::RapidTree4DblClick() {
    treeCommands_->Dialog().OpenRename();
}
void TForm1::RapidTree4MouseDown(Qt::MouseButton button, const ShiftState& shift, int x, int y) {
    treeCommands_->MouseDown(button, shift, x, y);
}
void TForm1::PopupMenu1Popup() {
    treeCommands_->MenuOpening();
}
void TForm1::Delete1Click() {
    treeCommands_->Delete();
}
void TForm1::DeleteChildren1Click() {
    treeCommands_->DeleteChildren();
}
void TForm1::Moveup1Click() {
    treeCommands_->MoveUp();
}
void TForm1::MoveDown1Click() {
    treeCommands_->MoveDown();
}
void TForm1::Movetoroot1Click() {
    treeCommands_->MoveToRoot();
}
void TForm1::Sortchildrenacending1Click() {
    treeCommands_->SortChildren();
}
void TForm1::Sorteverythingalphabetically1Click() {
    treeCommands_->SortEverything();
}
void TForm1::Fullexpand1Click() {
    treeCommands_->FullExpand();
}
void TForm1::Fullcollapse1Click() {
    treeCommands_->FullCollapse();
}
void TForm1::Expandfromnode1Click() {
    treeCommands_->ExpandFromNode();
}
void TForm1::Collapsefromnode1Click() {
    treeCommands_->CollapseFromNode();
}
void TForm1::cut1Click() {
    treeCommands_->Cut();
}
void TForm1::copy1Click() {
    treeCommands_->Copy();
}
void TForm1::patse1Click() {
    treeCommands_->Paste();
}
void TForm1::pastetoroot1Click() {
    treeCommands_->PasteToRoot();
}
void TForm1::RapidTree4StartDrag() {
    treeCommands_->StartDrag();
}
void TForm1::RapidTree4DragOver(int x, int y, bool& accept) {
    treeCommands_->DragOver(x, y, accept);
}
void TForm1::RapidTree4DragDrop(int x, int y) {
    treeCommands_->DragDrop(x, y);
}
void TForm1::UndoTreeEditClick() {
    treeCommands_->Undo();
}
void TForm1::RedoTreeEditClick() {
    treeCommands_->Redo();
}
void TForm1::FindInTreeClick() {
    TreeFind->Open();
}
void TForm1::FindNextInTreeClick() {
    TreeFind->FindNext();
}
void TForm1::FindPreviousInTreeClick() {
    TreeFind->FindPrevious();
}

} // namespace settree
