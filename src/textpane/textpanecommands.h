// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "formats/elementtext.h"
#include "formats/writtentext.h"
#include "model/feedback.h"
#include "model/flynode.h"
#include "textpane/filedialog.h"

class QAction;
class QFileDialog;
class QKeyEvent;
class QMenu;
class QMouseEvent;

namespace settree {

class GamsMarks;
class TTextPane;

// The commands of the text pane: load, refresh and save the element text, its clipboard
// exports, the pane's menu Popedit and the Alt+digit indentation. The main window's handlers
// forward here.
//
// Failures: Load and Save let FileError ("Cannot open file %s", "Cannot create file %s")
// propagate to the caller, which hands it to the application's error report. Everything that
// runs from the widget library's event dispatch (Popedit's items, the pane's events) raises
// nothing of its own.
class TextPaneCommands : public QObject {
    Q_OBJECT
public:
    // The pane, the feedback and the tree must outlive the commands. The dialogs and Popedit
    // are children of the pane.
    TextPaneCommands(TTextPane& pane, Feedback& feedback, TFlyNodes& tree,
                     QObject* parent = nullptr);

    // Runs a file dialog and returns the chosen file name, empty when cancelled. The default
    // shows the dialog; tests replace it.
    std::function<QString(QFileDialog&)> ChooseFile;
    // Asks whether a file is to be written as UTF-8 (see utf8question.h); the default asks with
    // a message box, tests replace it. The window's tuple save asks through it too.
    std::function<bool(const QString& question)> ConfirmUtf8;
    // "Save .PC to clipboard" of Popedit; the window supplies it.
    std::function<void()> CopyPCToClipboard;

    // Made when first used.
    LazyFileDialog OpenDialog1;
    LazyFileDialog SaveDialog1;
    QMenu* Popedit;
    QAction* SavePCtoclipboard2;
    QAction* SaveTreetoclipboard2;
    QAction* SaveUniqueElementListUELtoclipboard1;
    // What GAMS would reject in the pane's text, marked after each build of the tree: Refresh
    // (and so Load) marks; the window marks after its own builds.
    GamsMarks* Marks;

    // "Load": the open dialog, the chosen file into the pane (caret at the start), then in
    // every case, a cancelled dialog included, the tree rebuilt from the pane. A file that
    // cannot be read or is not a regular file raises FileError, one that holds no text
    // TextFormError, one too large NotEnoughMemory, before the pane or the tree change.
    void Load();
    // Opens an element file as "Load" does with the file chosen, without marking: for a file
    // named at start-up, whose caller marks once its work is done. bytes, when given, are the
    // file's, read already (see ReadAhead).
    void Open(const std::string& fileName, std::optional<std::string> bytes = std::nullopt);
    // "Refresh": the tree rebuilt from the pane; the pane shows its normalised text, marked.
    void Refresh();
    // Puts element text made whole into the pane (see TTextPane::SetText), without marking: a
    // large text is checked for GAMS while the pane takes it, for the Check that follows.
    void ShowText(std::string_view text);
    // Element text written by write(text, written), put into the pane as ShowText puts it. An
    // empty pane with nothing to undo takes the lines in while they are written: written is then
    // given (see WrittenText), else none.
    using WriteText = std::function<void(std::string& text, WrittenText* written)>;
    void ShowWrittenText(const WriteText& write);
    // The tree pane's "Refresh": the pane shows the element text of the tree (one undo step;
    // nothing changes when it shows that text already), marked. An element that element text
    // cannot hold is reported; the text is shown all the same.
    void ShowTreeText();
    // "Save": the save dialog, then SaveElementText with the chosen name; nothing on cancel. True
    // when the text was written. A text that needs UTF-8 where its document was Latin-1, or that
    // holds both encodings, is written as UTF-8 only when ConfirmUtf8 says so, else not at all.
    bool Save();
    // Normalises the pane and writes it as a .tree file; true when it was written, false when
    // the user would not have it written as UTF-8 (nothing changed then). On FileError the pane
    // is already normalised and no file was written.
    bool SaveElementText(const std::string& fileName);

    // The file the pane last loaded or saved, where its dialogs start; the window gives the file
    // it opened at start.
    const std::string& CurrentFile() const { return currentFile_; }
    void SetCurrentFile(const std::string& fileName) { currentFile_ = fileName; }

    // "Save .Tree to clipboard": selects the whole text and copies the lines joined by CR LF.
    void CopyTreeToClipboard();
    // "Save Unique Element List (UEL) to clipboard": the trimmed lines, sorted and without
    // repeats by the user's locale ignoring case (the first spelling kept), each followed by
    // CR LF.
    void CopyUELToClipboard();

    // The pane's mouse press: the right button opens Popedit at the pointer.
    void PaneMouseDown(QMouseEvent* event);
    // The pane's key release: Alt+1 to Alt+9 of the main keyboard, with nothing else held,
    // insert three blanks per step at the caret and put the caret after them.
    void PaneKeyUp(QKeyEvent* event);

signals:
    // The pane now holds the text of a file (Load), or was written to one (Save).
    void FileLoaded(const QString& fileName);
    void FileSaved(const QString& fileName);
    // The tree was rebuilt from the pane ("Refresh", and "Load" after its file).
    void TreeRebuilt();

private:
    // The tree rebuilt from the pane, the pane normalised; knownNormal: the pane's document is
    // known to be normal element text (see checkNormal).
    void buildTree(bool knownNormal = false);
    // For LoadFromFile: sets normal to whether the file's document is normal element text.
    static std::function<void(std::string_view)> checkNormal(bool& normal);

    std::string currentFile_;
    TTextPane& pane_;
    Feedback& feedback_;
    TFlyNodes& tree_;
};

// The element list of lines: the lines trimmed, sorted by the collation of the user's locale
// ignoring case, each kept once in the spelling of its first occurrence, each followed by
// CR LF. decode turns a line's bytes into the text that is compared and copied.
QString UniqueElementList(const TextLines& lines,
                          const std::function<QString(std::string_view)>& decode);

} // namespace settree
