// SPDX-License-Identifier: GPL-3.0-or-later
#include "textpane/textpanecommands.h"

#include <QAction>
#include <QClipboard>
#include <QCollator>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <algorithm>
#include <numeric>
#include <vector>

#include "formats/treefile.h"
#include "model/caption.h"
#include "textpane/ttextpane.h"

namespace settree {

namespace {

// OpenDialog1 and SaveDialog1: the widget library's own dialog, whose name filters match
// without regard to letter case, so "GAMS *.tree" also lists names ending in .TREE.
QFileDialog* MakeTreeFileDialog(QWidget* parent, const QString& name,
                                QFileDialog::AcceptMode mode) {
    auto* dialog = new QFileDialog(parent);
    dialog->setObjectName(name);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setOption(QFileDialog::HideNameFilterDetails);
    dialog->setAcceptMode(mode);
    // The open dialog takes a typed name of a file that does not exist; the save dialog asks
    // nothing when the file exists.
    dialog->setFileMode(QFileDialog::AnyFile);
    if (mode == QFileDialog::AcceptSave)
        dialog->setOption(QFileDialog::DontConfirmOverwrite);
    dialog->setFilter(dialog->filter() & ~QDir::CaseSensitive);
    dialog->setDefaultSuffix(QStringLiteral("tree"));
    dialog->setNameFilters(
        {QStringLiteral("GAMS *.tree (*.tree)"), QStringLiteral("All files (*)")});
    return dialog;
}

QString RunDialog(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : files.first();
}

std::string ToFileName(const QString& name) {
    return QFile::encodeName(name).toStdString();
}

} // namespace

TextPaneCommands::TextPaneCommands(TTextPane& pane, Feedback& feedback, TFlyNodes& tree,
                                   QObject* parent)
    : QObject(parent), ChooseFile(RunDialog), pane_(pane), feedback_(feedback), tree_(tree) {
    OpenDialog1 = MakeTreeFileDialog(&pane, QStringLiteral("OpenDialog1"), QFileDialog::AcceptOpen);
    SaveDialog1 = MakeTreeFileDialog(&pane, QStringLiteral("SaveDialog1"), QFileDialog::AcceptSave);

    Popedit = new QMenu(&pane);
    Popedit->setObjectName(QStringLiteral("Popedit"));
    SavePCtoclipboard2 = Popedit->addAction(QStringLiteral("Save .PC to clipboard"));
    SavePCtoclipboard2->setObjectName(QStringLiteral("SavePCtoclipboard2"));
    SaveTreetoclipboard2 = Popedit->addAction(QStringLiteral("Save .Tree to clipboard"));
    SaveTreetoclipboard2->setObjectName(QStringLiteral("SaveTreetoclipboard2"));
    SaveUniqueElementListUELtoclipboard1 =
        Popedit->addAction(QStringLiteral("Save Unique Element List (UEL) to clipboard"));
    SaveUniqueElementListUELtoclipboard1->setObjectName(
        QStringLiteral("SaveUniqueElementListUELtoclipboard1"));

    connect(SavePCtoclipboard2, &QAction::triggered, this, [this] {
        if (CopyPCToClipboard)
            CopyPCToClipboard();
    });
    connect(SaveTreetoclipboard2, &QAction::triggered, this,
            &TextPaneCommands::CopyTreeToClipboard);
    connect(SaveUniqueElementListUELtoclipboard1, &QAction::triggered, this,
            &TextPaneCommands::CopyUELToClipboard);
}

void TextPaneCommands::Load() {
    const QString name = ChooseFile(*OpenDialog1);
    if (!name.isEmpty())
        pane_.LoadFromFile(ToFileName(name));
    Refresh();
}

void TextPaneCommands::Refresh() {
    TextLines lines = pane_.Lines();
    ParseElementText(lines, tree_, feedback_);
    pane_.SetLines(lines);
}

void TextPaneCommands::Save() {
    const QString name = ChooseFile(*SaveDialog1);
    if (!name.isEmpty())
        SaveElementText(ToFileName(name));
}

void TextPaneCommands::SaveElementText(const std::string& fileName) {
    TextLines lines = pane_.Lines();
    try {
        settree::SaveElementText(lines, fileName, feedback_);
    } catch (...) {
        pane_.SetLines(lines); // normalised before the write failed
        throw;
    }
    pane_.SetLines(lines);
}

void TextPaneCommands::CopyTreeToClipboard() {
    pane_.SelectAll();
    QGuiApplication::clipboard()->setText(pane_.BytesToText(TreeFileBytes(pane_.Lines())));
}

void TextPaneCommands::CopyUELToClipboard() {
    QGuiApplication::clipboard()->setText(UniqueElementList(
        pane_.Lines(), [this](std::string_view bytes) { return pane_.BytesToText(bytes); }));
}

void TextPaneCommands::PaneMouseDown(QMouseEvent* event) {
    if (event->button() == Qt::RightButton)
        Popedit->popup(event->globalPosition().toPoint());
}

void TextPaneCommands::PaneKeyUp(QKeyEvent* event) {
    // Exactly Alt: a keypad digit carries the keypad modifier as well.
    if (event->modifiers() != Qt::AltModifier || QGuiApplication::mouseButtons() != Qt::NoButton)
        return;
    if (event->key() < Qt::Key_1 || event->key() > Qt::Key_9)
        return;
    const int width = 3 * (event->key() - Qt::Key_0);
    const int line = pane_.CaretLine();
    pane_.beginUndoAction();
    pane_.InsertAtCaret(std::string(static_cast<size_t>(width), ' '));
    pane_.SetCaret(line, width);
    pane_.endUndoAction();
}

QString UniqueElementList(const TextLines& lines,
                          const std::function<QString(std::string_view)>& decode) {
    QCollator collator{QLocale()};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::vector<QString> entries;
    entries.reserve(lines.size());
    for (const std::string& line : lines)
        entries.push_back(decode(TrimView(line)));
    // A stable sort keeps equal entries in line order, so the first of each run is the first
    // spelling.
    std::vector<size_t> order(entries.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return collator.compare(entries[a], entries[b]) < 0;
    });
    QString text;
    const QString* previous = nullptr;
    for (size_t index : order) {
        const QString& entry = entries[index];
        if (previous && collator.compare(*previous, entry) == 0)
            continue;
        text += entry + QStringLiteral("\r\n");
        previous = &entry;
    }
    return text;
}

} // namespace settree
