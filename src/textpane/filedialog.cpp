// SPDX-License-Identifier: GPL-3.0-or-later
#include "textpane/filedialog.h"

#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QSettings>
#include <QTemporaryDir>
#include <utility>

#include "display/displaytext.h"

namespace settree {

namespace {

// File types and icons by name: the widget library's own provider asks the MIME database, which
// reads a file's first bytes when its name does not tell the type. Such a read can wait forever
// (/proc/kmsg), on the window's thread or in the thread that fills the file list, which the
// window then waits for.
class NameOnlyIconProvider : public QFileIconProvider {
public:
    QIcon icon(const QFileInfo& info) const override {
        if (info.isRoot())
            return QFileIconProvider::icon(Drive);
        if (info.isDir())
            return QFileIconProvider::icon(Folder);
        return QFileIconProvider::icon(File);
    }
    QString type(const QFileInfo& info) const override {
        // Anything but a file (a folder, a drive, a FIFO, a device) is named without a read.
        if (!info.isFile() || info.isRoot())
            return QFileIconProvider::type(info);
        const QMimeType mime = QMimeDatabase().mimeTypeForFile(info, QMimeDatabase::MatchExtension);
        return mime.comment().isEmpty() ? mime.name() : mime.comment();
    }
};

const QFileIconProvider& iconProvider() {
    static const NameOnlyIconProvider provider;
    return provider;
}

// The dialogs keep their last folder, history and view in the widget library's settings of the
// user, which would carry them into every later run of the editor (a last folder of /proc made
// every start hang). They get a settings folder of this run instead, removed at its end.
void keepDialogStateToThisRun() {
    static QTemporaryDir folder;
    static bool done = false;
    if (done)
        return;
    done = true;
    for (const QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
        QSettings::setPath(format, QSettings::UserScope,
                           folder.isValid() ? folder.path() : QStringLiteral("/nonexistent"));
}

} // namespace

QFileDialog* MakeFileDialog(QWidget* parent, const QString& objectName,
                            QFileDialog::AcceptMode mode, const QString& typeName,
                            const QString& pattern, const QString& defaultSuffix) {
    keepDialogStateToThisRun();
    auto* dialog = new QFileDialog(parent, QString(), QDir::currentPath());
    dialog->setObjectName(objectName);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setOption(QFileDialog::HideNameFilterDetails);
    dialog->setIconProvider(const_cast<QFileIconProvider*>(&iconProvider()));
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

LazyFileDialog::LazyFileDialog(QWidget* parent, QString objectName, QFileDialog::AcceptMode mode,
                               QString typeName, QString pattern, QString defaultSuffix)
    : parent_(parent), objectName_(std::move(objectName)), mode_(mode),
      typeName_(std::move(typeName)), pattern_(std::move(pattern)),
      defaultSuffix_(std::move(defaultSuffix)) {}

QFileDialog* LazyFileDialog::get() const {
    if (!dialog_)
        dialog_ = MakeFileDialog(parent_, objectName_, mode_, typeName_, pattern_, defaultSuffix_);
    return dialog_;
}

void StartFileDialogIn(QFileDialog& dialog, const std::string& currentFile) {
    const QFileInfo file(FileNameToQString(currentFile));
    const QString folder = !currentFile.empty() && file.absoluteDir().exists()
                               ? file.absolutePath()
                               : QDir::currentPath();
    dialog.setDirectory(folder);
}

QString ExecFileDialog(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : files.first();
}

} // namespace settree
