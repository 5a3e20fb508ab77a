// SPDX-License-Identifier: GPL-3.0-or-later
#include "textpane/textpanecommands.h"

#include <QAction>
#include <QClipboard>
#include <QCollator>
#include <QFileDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <algorithm>
#include <numeric>
#include <optional>
#include <vector>

#include "display/displaytext.h"
#include "formats/treefile.h"
#include "model/caption.h"
#include "model/parallel.h"
#include "model/utf8.h"
#include "textpane/filedialog.h"
#include "textpane/gamsmarks.h"
#include "textpane/ttextpane.h"
#include "textpane/utf8question.h"

namespace settree {

TextPaneCommands::TextPaneCommands(TTextPane& pane, Feedback& feedback, TFlyNodes& tree,
                                   QObject* parent)
    : QObject(parent), ChooseFile(ExecFileDialog),
      ConfirmUtf8([&pane](const QString& question) { return AskWriteAsUtf8(&pane, question); }),
      pane_(pane), feedback_(feedback), tree_(tree) {
    Marks = new GamsMarks(pane, this);
    OpenDialog1 = LazyFileDialog(&pane, QStringLiteral("OpenDialog1"), QFileDialog::AcceptOpen,
                                 QStringLiteral("GAMS *.tree"), QStringLiteral("*.tree"),
                                 QStringLiteral("tree"));
    SaveDialog1 = LazyFileDialog(&pane, QStringLiteral("SaveDialog1"), QFileDialog::AcceptSave,
                                 QStringLiteral("GAMS *.tree"), QStringLiteral("*.tree"),
                                 QStringLiteral("tree"));

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
    StartFileDialogIn(*OpenDialog1, currentFile_);
    const QString name = ChooseFile(*OpenDialog1);
    // Only a regular file: a FIFO or a device would hold the window until it ends, if ever.
    bool normal = false;
    if (!name.isEmpty()) {
        pane_.LoadFromFile(QStringToFileName(name), true, checkNormal(normal));
        currentFile_ = QStringToFileName(name);
    }
    buildTree(normal);
    Marks->Check();
    emit TreeRebuilt();
    if (!name.isEmpty())
        emit FileLoaded(name);
}

void TextPaneCommands::Open(const std::string& fileName, std::optional<std::string> bytes) {
    bool normal = false;
    pane_.LoadFromFile(fileName, false, checkNormal(normal), std::move(bytes));
    currentFile_ = fileName;
    buildTree(normal);
}

void TextPaneCommands::Refresh() {
    buildTree();
    Marks->Check();
    emit TreeRebuilt();
}

std::function<void(std::string_view)> TextPaneCommands::checkNormal(bool& normal) {
    // A saved file is normal element text: found out while the pane fills, the tree need not
    // wait for it.
    return [&normal](std::string_view bytes) { normal = IsNormalFileText(bytes); };
}

void TextPaneCommands::buildTree(bool knownNormal) {
    // Text that normalisation leaves as it is, as a saved file's, builds the tree where it stands
    // in the pane: a million lines are never copied out as lines. The GAMS check of that text
    // runs at the same time, for the marks that follow. A pane holding lines beside its document
    // (see TTextPane) gives them through its lines.
    if (!pane_.HoldsLongLines()) {
        const std::string_view document = pane_.Document();
        bool normal = false;
        bool clean = false;
        std::optional<GamsMarks::Findings> findings;
        if (document.size() < kParallelBytes) {
            normal = ParseNormalDocument(document, tree_, feedback_, clean, knownNormal);
        } else {
            RunInParallel(
                [&] {
                    normal = ParseNormalDocument(document, tree_, feedback_, clean, knownNormal);
                },
                [&] { findings = GamsMarks::Find(document); });
        }
        if (normal) {
            if (findings)
                Marks->Prepare(std::move(*findings));
            return;
        }
    }
    TextLines lines = pane_.Lines();
    ParseElementText(lines, tree_, feedback_);
    pane_.SetLines(lines);
}

void TextPaneCommands::ShowText(std::string_view text) {
    if (text.size() < kParallelBytes) {
        pane_.SetText(text);
        return;
    }
    // The check reads the lines where they stand, as it reads the document, which holds the
    // same lines unless a tab became blanks or a long line went beside it.
    std::optional<GamsMarks::Findings> findings;
    RunInParallel([&] { pane_.SetText(text); },
                  [&] {
                      if (text.find('\t') == std::string_view::npos)
                          findings = GamsMarks::Find(text);
                  });
    if (findings && !pane_.HoldsLongLines())
        Marks->Prepare(std::move(*findings));
}

void TextPaneCommands::ShowWrittenText(const WriteText& write) {
    std::string text;
    if (!pane_.TakesGrowingText()) {
        write(text, nullptr);
        ShowText(text);
        return;
    }
    // The pane takes in the lines while the rest is written; a text that is not the one the
    // pane took the beginning of (normalised at its end), or none, goes in anew.
    bool kept = false;
    std::optional<GamsMarks::Findings> findings;
    {
        TTextPane::GrowingText growing(pane_);
        WrittenText written(
            [&growing](std::string_view soFar, size_t expected) { growing.Take(soFar, expected); });
        write(text, &written);
        kept = written.Kept() && !text.empty();
        if (kept)
            growing.Finish(
                text,
                [&findings](std::string_view whole) {
                    // As ShowText checks a large text, where the pane holds the same lines.
                    if (whole.size() >= kParallelBytes &&
                        whole.find('\t') == std::string_view::npos)
                        findings = GamsMarks::Find(whole);
                },
                // The check takes longer than the rest of the text: the tree pane lays out its
                // rows meanwhile, which its first paint needs.
                [this] { tree_.Rows(); });
    }
    if (!kept) {
        ShowText(text);
        return;
    }
    if (findings && !pane_.HoldsLongLines())
        Marks->Prepare(std::move(*findings));
}

void TextPaneCommands::ShowTreeText() {
    ShowWrittenText([this](std::string& text, WrittenText* written) {
        WriteElementText(tree_, text, feedback_, nullptr, written);
    });
    Marks->Check();
    emit TreeRebuilt();
}

bool TextPaneCommands::Save() {
    StartFileDialogIn(*SaveDialog1, currentFile_);
    const QString name = ChooseFile(*SaveDialog1);
    if (name.isEmpty())
        return false;
    if (!SaveElementText(QStringToFileName(name)))
        return false;
    emit FileSaved(name);
    return true;
}

bool TextPaneCommands::SaveElementText(const std::string& fileName) {
    TextLines lines = pane_.Lines();
    // One encoding for the file, asked for when the text needs UTF-8; a cancel writes nothing
    // and leaves the pane as it is.
    if (pane_.WidenedFromLatin1()) {
        if (!LinesForLatin1File(lines, fileName, ConfirmUtf8))
            return false;
    } else {
        std::string bytes = TreeFileBytes(lines);
        if (HoldsBothEncodings(bytes)) {
            if (!OneEncodingForFile(bytes, fileName, ConfirmUtf8))
                return false;
            for (std::string& line : lines)
                line = ToUtf8(line);
        }
    }
    try {
        settree::SaveElementText(lines, fileName, feedback_);
    } catch (...) {
        pane_.SetLines(lines); // normalised before the write failed
        throw;
    }
    pane_.SetLines(lines);
    pane_.KeepUtf8(); // Latin-1 lines made the pane Latin-1 again; UTF-8 ones are its encoding now
    currentFile_ = fileName;
    return true;
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
