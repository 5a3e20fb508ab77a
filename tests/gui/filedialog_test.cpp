// SPDX-License-Identifier: GPL-3.0-or-later
// The file dialogs keep no state between runs and never read a file to show its type. The
// widget library's settings of this user already name /proc as the last folder, as a dialog
// left them once: the editor's dialogs still start in the working directory (or the current
// file's folder), and the settings file stays as it was.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <vector>

#include "app/tform1.h"
#include "textpane/filedialog.h"
#include "textpane/textpanecommands.h"

namespace settree {
namespace {

QTemporaryDir* configFolder = nullptr; // the user's settings, made before the application
const QByteArray kPoisoned = "[FileDialog]\nlastVisited=file:///proc\nhistory=file:///proc\n";

QString settingsFile() {
    return configFolder->filePath(QStringLiteral("QtProject.conf"));
}

} // namespace

class FileDialogTest : public QObject {
    Q_OBJECT
private slots:
    void startsOutsideTheRememberedFolder();
    void typesByNameOnly();
    void windowStartsAwayFromTheRememberedFolder();
};

void FileDialogTest::startsOutsideTheRememberedFolder() {
    QFileDialog* dialog = MakeFileDialog(nullptr, QStringLiteral("OpenDialog1"),
                                         QFileDialog::AcceptOpen, QStringLiteral("GAMS *.tree"),
                                         QStringLiteral("*.tree"), QStringLiteral("tree"));
    QCOMPARE(dialog->directory().absolutePath(), QDir::currentPath());

    // A current file: its folder; none: the working directory.
    QTemporaryDir work;
    StartFileDialogIn(*dialog, work.filePath(QStringLiteral("regions.tree")).toStdString());
    QCOMPARE(dialog->directory().absolutePath(), QDir(work.path()).absolutePath());
    StartFileDialogIn(*dialog, "");
    QCOMPARE(dialog->directory().absolutePath(), QDir::currentPath());

    // Shown, moved to another folder and accepted: nothing of it reaches the user's settings.
    dialog->setDirectory(work.path());
    QTimer::singleShot(0, dialog, [dialog] {
        dialog->selectFile(QStringLiteral("x.tree"));
        QMetaObject::invokeMethod(dialog, "accept");
    });
    QVERIFY(!ExecFileDialog(*dialog).isEmpty());
    delete dialog;
    QFile file(settingsFile());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), kPoisoned);
}

void FileDialogTest::typesByNameOnly() {
    QFileDialog* dialog =
        MakeFileDialog(nullptr, QStringLiteral("SaveDialog2"), QFileDialog::AcceptSave,
                       QStringLiteral("GAMS *.PC"), QStringLiteral("*.PC"), QStringLiteral("PC"));
    // A file without an extension whose first bytes are those of a picture: asked by content,
    // its type would be the picture's.
    QTemporaryDir work;
    const QString path = work.filePath(QStringLiteral("noext"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    file.close();
    const QString type = dialog->iconProvider()->type(QFileInfo(path));
    QVERIFY2(!type.contains(QStringLiteral("PNG")), qPrintable(type));
    QCOMPARE(dialog->iconProvider()->type(QFileInfo(work.filePath(QStringLiteral("a.png")))),
             dialog->iconProvider()->type(QFileInfo(work.filePath(QStringLiteral("b.png")))));
    // Reading /proc/kmsg waits for the kernel's next message (where this user may read it):
    // naming its type must not read it.
    if (QFileInfo::exists(QStringLiteral("/proc/kmsg")))
        QVERIFY(!dialog->iconProvider()->type(QFileInfo(QStringLiteral("/proc/kmsg"))).isEmpty());
    delete dialog;
}

void FileDialogTest::windowStartsAwayFromTheRememberedFolder() {
    // The window makes its file dialogs when they are first used, none as it starts: none of
    // them is in /proc, and the window comes up and closes.
    QTemporaryDir exeFolder;
    {
        TForm1 window({}, exeFolder.path().toStdString() + "/");
        QVERIFY(window.findChildren<QFileDialog*>().isEmpty());
        const std::vector<QFileDialog*> dialogs = {
            window.TextCommands()->OpenDialog1.get(), window.TextCommands()->SaveDialog1.get(),
            window.OpenDialog2.get(), window.SaveDialog2.get()};
        QCOMPARE(window.findChildren<QFileDialog*>().size(), 4);
        for (const QFileDialog* dialog : dialogs)
            QVERIFY2(dialog->directory().absolutePath() == QDir::currentPath(),
                     qPrintable(dialog->objectName() + QStringLiteral(" in ") +
                                dialog->directory().absolutePath()));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(window.close());
    }
    QFile file(settingsFile());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), kPoisoned);
}

} // namespace settree

int main(int argc, char** argv) {
    // The user's settings exist before the widget library first looks at them.
    QTemporaryDir config;
    settree::configFolder = &config;
    QFile file(settree::settingsFile());
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(settree::kPoisoned) != settree::kPoisoned.size())
        return 1;
    file.close();
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication app(argc, argv);
    settree::FileDialogTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "filedialog_test.moc"
