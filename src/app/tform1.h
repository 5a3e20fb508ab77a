// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMainWindow>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/commandline.h"
#include "catalog/cataloglocation.h"
#include "catalog/catalogreaders.h"
#include "model/feedback.h"
#include "model/flynode.h"
#include "textpane/filedialog.h"

class QAction;
class QComboBox;
class QFileDialog;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QMouseEvent;
class QPushButton;
class QStatusBar;
class QTableWidget;

namespace settree {

class CatalogChoosers;
class TClientArea;
class TCollapsiblePanel;
class TRapidTree;
class TTextPane;
class TextPaneCommands;
class WindowCloser;
class TreeEditCommands;
class TreeFindBar;
class UnsavedChanges;
class ViewCommands;
struct ShiftState;

// The editor's feedback: each message in a one-button box titled like the main window, and the
// busy cursor of the platform.
class MessageBoxFeedback : public Feedback {
public:
    explicit MessageBoxFeedback(QWidget* window) : window_(window) {}
    void message(const std::string& text) override;
    void busyBegin() override;
    void busyEnd() override;

    // Told of the work between the busy cursor's begin and end, so that a request to close the
    // window waits for its end.
    WindowCloser* closer = nullptr;

private:
    QWidget* window_;
};

// The main window: the text pane on one side, the tree pane on the other, the element dialog,
// the catalog choosers and the find panel as hidden overlays. The window composes and wires;
// each handler forwards to the subsystem that does the work.
class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    // arguments: the command line without the program name. catalog: where the catalog files
    // and the catalog program are looked for. filesAhead, when given, holds the file named on
    // the command line, read while the window is made (see StartReadingAhead).
    TForm1(std::vector<std::string> arguments, CatalogLocation catalog, QWidget* parent = nullptr,
           StartupFilesAhead* filesAhead = nullptr);
    // The catalog beside the executable in exeFolder (ending in a path separator).
    TForm1(std::vector<std::string> arguments, const std::string& exeFolder,
           QWidget* parent = nullptr);
    ~TForm1() override;

    // The folder of the running executable, ending in a path separator.
    static std::string ExecutableFolder();

    // Runs a file dialog and returns the chosen file name, empty when cancelled. Tests replace
    // it so that the dialog-driven commands run without a dialog.
    std::function<QString(QFileDialog&)> RunFileDialog;

    // Window state, in the order the handlers of the subsystems expect it.
    TFlyNode* FDragNode = nullptr;       // node under the mouse when a drag starts; not owned
    TFlyNode* FClipNode = nullptr;       // node marked by "Cut node" or "Copy node"; not owned
    uint8_t FEditMode = 0;               // element dialog: 0 add root, 1 add child, 2 rename
    ClassificationList FClassifications; // catalog classifications by upper-cased name; owned
    std::string FCatalogFile;            // path of the catalog index file
    std::string FFindMode;               // "PC" or "TREE": the list the find panel searches
    std::string FClipMode;               // "copy" or "cut"
    const tmb* FSelectedClassification = nullptr; // classification chosen for loading; not owned
    bool FLoadFromFile = true;       // LoadPC reads a file (true) or the catalog (false)
    bool FCaptionClickArmed = false; // a click on the text panel's strip may toggle it

    // Controls, named as the handlers know them.
    QMenuBar* MainMenu1;
    QAction* Swappanels1;
    QAction* Who1;
    QAction* Increasefont1;
    QAction* Decreasefont1;
    QAction* Exit1;

    TCollapsiblePanel* Panel1;
    QWidget* Panel2;
    QLabel* Label4; // "Element (.TREE)"
    QPushButton* Button12;
    QPushButton* Button1;
    QPushButton* Button2;
    QPushButton* Button3;
    TTextPane* RxRichEdit1;
    QWidget* Splitter1;
    QWidget* Panel3;
    QWidget* Panel4;
    QLabel* Label5; // heading of the tree pane
    QPushButton* Button9;
    QPushButton* Button8;
    QPushButton* Button5;
    QPushButton* Button6;
    TRapidTree* RapidTree4;

    QGroupBox* GroupBox1;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLineEdit* Edit1;
    QLineEdit* Edit2;
    QLineEdit* Edit4;
    QPushButton* Button4;
    QPushButton* Button7;

    QStatusBar* StatusBar1;
    // Beyond the layout: how many GAMS problems the text pane marks; a click goes to the next.
    QPushButton* GamsStatus;

    QGroupBox* GroupBox2;
    QComboBox* HTMLComboBox1;
    QPushButton* Button15;
    QPushButton* Button11;
    QPushButton* Button10;
    QGroupBox* GroupBox3;
    QComboBox* HTMLComboBox2;
    QPushButton* Button16;
    QPushButton* Button14;
    QPushButton* Button13;

    QWidget* Panel5;
    QLabel* Label6; // "Find:"
    QLineEdit* Edit3;
    QPushButton* Button19;
    QPushButton* Button18;
    QPushButton* Button17;
    QTableWidget* AdvStringGrid1;

    QMenu* PopupMenu1;
    QAction* Rename1;
    QAction* Delete1;
    QAction* DeleteChildren1;
    QAction* cut1;
    QAction* copy1;
    QAction* patse1;
    QAction* pastetoroot1;
    QAction* Addrootelement1;
    QAction* Addelementtocurrentnode1;
    QAction* Moveup1;
    QAction* MoveDown1;
    QAction* Movetoroot1;
    QAction* SavePCtoclipboard1;
    QAction* SaveTreetoclipboard1;
    QAction* SaveUniqueElementListUELtoclipboard2;
    QAction* Sortchildrenacending1;
    QAction* Sorteverythingalphabetically1;
    QAction* Fullexpand1;
    QAction* Fullcollapse1;
    QAction* Expandfromnode1;
    QAction* Collapsefromnode1;
    // After the menu's own items, behind a separator: undo and redo of the tree's changes.
    QAction* UndoTreeEdit;
    QAction* RedoTreeEdit;
    // Find in the tree: the item opens the find bar; the next and previous keys go on with it.
    QAction* FindInTree;
    QAction* FindNextInTree;
    QAction* FindPreviousInTree;
    TreeFindBar* TreeFind;

    // Made when first used.
    LazyFileDialog OpenDialog2;
    LazyFileDialog SaveDialog2;

    // Tuples. SavePCFile writes the tree's tuples, plain names, to a file (FileError on
    // failure, the old file then stays as it was; names in both encodings are written as UTF-8
    // only when the text pane's ConfirmUtf8 says so, else nothing is); CopyPCToClipboard puts them,
    // named by their captions without markup, on the clipboard, and leaves the clipboard alone when
    // the tree is empty. LoadPC replaces the tree by the tuples of a .PC file (FLoadFromFile true)
    // or of the selected catalog classification (false), then the text pane by the tree's element
    // text; it reports its errors itself and ends with FLoadFromFile true on every path.
    void SavePCFile(const std::string& fileName);
    void CopyPCToClipboard();
    void LoadPC(const std::string& fileName);

    // Catalog (see CatalogChoosers). LoadClassificationIndex reads FCatalogFile into
    // FClassifications and lists the classifications with a name in HTMLComboBox1; LoadSetList
    // reads the set list beside it into HTMLComboBox2, which owns the set entries;
    // LoadSetIntoText replaces the text pane with the members of a set and normalises it. A file
    // that cannot be read raises FileError before anything changes; a set file without a closed
    // member block raises CatalogError, the text pane then holding the members taken so far.
    void LoadClassificationIndex();
    void LoadSetList();
    void LoadSetIntoText(const tmb& entry);
    // The catalog entry an item of HTMLComboBox1 or HTMLComboBox2 carries.
    static const tmb* ItemEntry(const QComboBox& list, int index);
    // The folder of the catalog files, ending in a separator.
    std::string CatalogFolder() const;
    // The choosers and the find panel, and the view commands, that the handlers forward to.
    CatalogChoosers* Catalog() const { return catalog_.get(); }
    ViewCommands* View() const { return view_.get(); }

    // The client area that aligns Panel1, Splitter1 and Panel3.
    TClientArea* ClientArea() const { return clientArea_; }
    // The feedback the window's commands report through.
    Feedback& WindowFeedback() { return *feedback_; }
    // Where the window takes a request to close (see windowcloser.h).
    WindowCloser& Closer() { return *closer_; }
    const CommandLine& Arguments() const { return commandLine_; }
    // The text pane's commands (its file dialogs OpenDialog1 and SaveDialog1, its menu Popedit).
    TextPaneCommands* TextCommands() const { return textCommands_; }
    // The tree pane's editing commands (element dialog, context menu, node clipboard, drag).
    TreeEditCommands* TreeCommands() const { return treeCommands_.get(); }
    // What is not saved yet: shown in the title, asked about before closing.
    UnsavedChanges* Unsaved() const { return unsaved_; }

public slots:
    // Window events.
    void FormCreate();
    void FormActivate();
    void FormResize();
    void FormClose();
    void Exit1Click();

    // Text pane.
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void RxRichEdit1MouseDown(QMouseEvent* event);
    void RxRichEdit1KeyUp(QKeyEvent* event);
    void SaveTreetoclipboard1Click();
    void SaveTreetoclipboard2Click();
    void SaveUniqueElementListUELtoclipboard1Click();
    void SaveUniqueElementListUELtoclipboard2Click();

    // Tree pane: rebuild the text, save and load tuples.
    void Button5Click();
    void Button6Click();
    void Button8Click();
    void SavePCtoclipboard1Click();
    void SavePCtoclipboard2Click();

    // Element dialog and mouse in the tree.
    void Addrootelement1Click();
    void Addelementtocurrentnode1Click();
    void Rename1Click();
    void Button4Click();
    void Button7Click();
    void RapidTree4DblClick();
    void RapidTree4MouseDown(Qt::MouseButton button, const ShiftState& shift, int x, int y);

    // Structure commands.
    void PopupMenu1Popup();
    void Delete1Click();
    void DeleteChildren1Click();
    void Moveup1Click();
    void MoveDown1Click();
    void Movetoroot1Click();
    void Sortchildrenacending1Click();
    void Sorteverythingalphabetically1Click();
    void Fullexpand1Click();
    void Fullcollapse1Click();
    void Expandfromnode1Click();
    void Collapsefromnode1Click();

    // Node clipboard and drag-and-drop.
    void cut1Click();
    void copy1Click();
    void patse1Click();
    void pastetoroot1Click();
    void RapidTree4StartDrag();
    void RapidTree4DragOver(int x, int y, bool& accept);
    void RapidTree4DragDrop(int x, int y);
    void UndoTreeEditClick();
    void RedoTreeEditClick();
    void FindInTreeClick();
    void FindNextInTreeClick();
    void FindPreviousInTreeClick();

    // Catalog choosers and find panel.
    void Button9Click();
    void Button10Click();
    void Button11Click();
    void Button12Click();
    void Button13Click();
    void Button14Click();
    void Button15Click();
    void Button16Click();
    void Button17Click();
    void Button18Click();
    void Button19Click();
    void Edit3KeyUp(QKeyEvent* event);
    void AdvStringGrid1DblClick();

    // View commands.
    void Swappanels1Click();
    void Who1Click();
    void Increasefont1Click();
    void Decreasefont1Click();
    void Panel1CaptionClick();
    void Panel1EndCollapsExpand();

    // GAMS marks of the text pane.
    void GamsStatusClick();

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createMenu();
    void createTextPanel();
    void createTreePanel();
    void createElementDialog();
    void createChoosers();
    void createTreeMenu();
    void createFileDialogs();
    void connectHandlers();
    // Steps 3 to 6 of an activation: pane widths, overlay places, tree columns.
    void applyActivationLayout();
    StartupTarget startupTarget(TextLines& lines, Feedback& errorReport);

    CommandLine commandLine_;
    CatalogLocation catalogLocation_;
    StartupFilesAhead* filesAhead_ = nullptr; // until the command line's file is open
    // The user's decimal separator, read once at program start.
    char decimalSeparator_ = '.';
    // The file name the tuple open dialog last confirmed.
    std::string pcFileName_;
    std::unique_ptr<MessageBoxFeedback> feedback_;
    WindowCloser* closer_ = nullptr;
    TClientArea* clientArea_ = nullptr;
    TextPaneCommands* textCommands_ = nullptr;
    // Held here rather than as a child object: it listens to the tree, so it must go before the
    // widgets (the tree among them) that the window's base destroys.
    std::unique_ptr<TreeEditCommands> treeCommands_;
    UnsavedChanges* unsaved_ = nullptr;
    std::unique_ptr<CatalogChoosers> catalog_;
    std::unique_ptr<ViewCommands> view_;
    // Set once the window has been shown: the first showing lays the panes out even when no
    // activation follows (no window manager, focus-stealing prevention).
    bool shownOnce_ = false;
    // Set when an activation asked for the maximised state; the resize that follows lays out
    // the panes again at the new size.
    bool layoutAfterMaximise_ = false;
};

} // namespace settree
