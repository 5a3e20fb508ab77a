// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFileDialog>
#include <QString>

namespace settree {

// One of the editor's file dialogs: the widget library's own dialog, never the platform's, so
// that its file types match names without regard to letter case ("GAMS *.PC" also lists
// regions.pc). Two file types, in this order: typeName showing pattern, and "All files". The
// file types read as their names alone. defaultSuffix (without the dot) is appended to a typed
// name without extension. The open dialog takes the name of a file that does not exist; the
// save dialog asks nothing when the chosen file exists.
QFileDialog* MakeFileDialog(QWidget* parent, const QString& objectName,
                            QFileDialog::AcceptMode mode, const QString& typeName,
                            const QString& pattern, const QString& defaultSuffix);

// Shows the dialog and returns the chosen file name, empty when the user cancels.
QString ExecFileDialog(QFileDialog& dialog);

} // namespace settree
