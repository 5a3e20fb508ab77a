// SPDX-License-Identifier: GPL-3.0-or-later
#include "textpane/filedialog.h"

namespace settree {

QFileDialog* MakeFileDialog(QWidget* parent, const QString& objectName,
                            QFileDialog::AcceptMode mode, const QString& typeName,
                            const QString& pattern, const QString& defaultSuffix) {
    auto* dialog = new QFileDialog(parent);
    dialog->setObjectName(objectName);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setOption(QFileDialog::HideNameFilterDetails);
    dialog->setAcceptMode(mode);
    dialog->setFileMode(QFileDialog::AnyFile);
    if (mode == QFileDialog::AcceptSave)
        dialog->setOption(QFileDialog::DontConfirmOverwrite);
    dialog->setFilter(dialog->filter() & ~QDir::CaseSensitive);
    dialog->setDefaultSuffix(defaultSuffix);
    dialog->setNameFilters({typeName + QStringLiteral(" (") + pattern + QStringLiteral(")"),
                            QStringLiteral("All files (*)")});
    return dialog;
}

QString ExecFileDialog(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : files.first();
}

} // namespace settree
