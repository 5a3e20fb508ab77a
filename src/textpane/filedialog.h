// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFileDialog>
#include <QString>
#include <string>

namespace settree {

// One of the editor's file dialogs: the widget library's own dialog, never the platform's, so
// that its file types match names without regard to letter case ("GAMS *.PC" also lists
// regions.pc). Two file types, in this order: typeName showing pattern, and "All files". The
// file types read as their names alone. defaultSuffix (without the dot) is appended to a typed
// name without extension. The open dialog takes the name of a file that does not exist; the
// save dialog asks nothing when the chosen file exists.
//
// The dialogs keep no state from one run of the editor to the next (last folder, history), and
// they tell a file's type by its name alone: a file's content is never read to show its type, so
// a folder such as /proc, where reading a file can wait forever, never stops the window.
QFileDialog* MakeFileDialog(QWidget* parent, const QString& objectName,
                            QFileDialog::AcceptMode mode, const QString& typeName,
                            const QString& pattern, const QString& defaultSuffix);

// A dialog of MakeFileDialog made when first used: making one takes the window's start a few
// milliseconds (the icons of its buttons are decoded, its folder is listed), and many runs never
// open one. Once made it belongs to its parent, which has to be alive then.
class LazyFileDialog {
public:
    LazyFileDialog() = default;
    LazyFileDialog(QWidget* parent, QString objectName, QFileDialog::AcceptMode mode,
                   QString typeName, QString pattern, QString defaultSuffix);

    QFileDialog* get() const;
    QFileDialog& operator*() const { return *get(); }
    QFileDialog* operator->() const { return get(); }
    operator QFileDialog*() const { return get(); }

private:
    QWidget* parent_ = nullptr;
    QString objectName_;
    QFileDialog::AcceptMode mode_ = QFileDialog::AcceptOpen;
    QString typeName_;
    QString pattern_;
    QString defaultSuffix_;
    mutable QFileDialog* dialog_ = nullptr;
};

// Lets the dialog start in the folder of currentFile (the file its pane last loaded or saved),
// or in the working directory when there is none.
void StartFileDialogIn(QFileDialog& dialog, const std::string& currentFile);

// Shows the dialog and returns the chosen file name, empty when the user cancels.
QString ExecFileDialog(QFileDialog& dialog);

} // namespace settree
