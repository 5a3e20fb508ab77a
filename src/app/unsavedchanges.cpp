// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/unsavedchanges.h"

#include <QFileInfo>
#include <QPushButton>
#include <QWidget>

#include "editing/edithistory.h"
#include "textpane/ttextpane.h"

namespace settree {

UnsavedChanges::UnsavedChanges(QWidget& window, QString title, TTextPane& pane,
                               EditHistory& history)
    : QObject(&window), window_(window), title_(std::move(title)), pane_(pane), history_(history),
      cleanTree_(history.StateId()) {
    Ask = [](QMessageBox& box) { return static_cast<QMessageBox::StandardButton>(box.exec()); };
    connect(&pane_, &QsciScintilla::modificationChanged, this, &UnsavedChanges::Update);
    Update();
}

bool UnsavedChanges::TextChanged() const {
    return pane_.isModified();
}

bool UnsavedChanges::TreeChanged() const {
    return history_.StateId() != cleanTree_;
}

void UnsavedChanges::TextClean() {
    pane_.setModified(false);
    Update();
}

void UnsavedChanges::TreeClean() {
    cleanTree_ = history_.StateId();
    Update();
}

void UnsavedChanges::SetFileName(const QString& fileName) {
    fileName_ = QFileInfo(fileName).fileName();
    Update();
}

void UnsavedChanges::Update() {
    QString title = fileName_.isEmpty() ? title_ : fileName_ + QStringLiteral(" - ") + title_;
    if (TextChanged() || TreeChanged())
        title.prepend(QLatin1Char('*'));
    if (window_.windowTitle() != title)
        window_.setWindowTitle(title);
}

bool UnsavedChanges::MayClose(const std::function<bool()>& saveText,
                              const std::function<void()>& writeTreeToText) {
    const bool text = TextChanged();
    const bool tree = TreeChanged();
    if (!text && !tree)
        return true;
    QMessageBox box(QMessageBox::Warning, window_.windowTitle(), QString(), QMessageBox::NoButton,
                    &window_);
    if (text && tree) {
        box.setText(tr("The element text and the tree have changes that are not saved."));
        box.setInformativeText(tr("Saving writes the element text as it stands; the tree's own "
                                  "changes are lost unless you stay and save them as .PC."));
    } else if (text) {
        box.setText(tr("The element text has changes that are not saved."));
    } else {
        box.setText(tr("The tree has changes that are neither saved as .PC nor in the element "
                       "text."));
        box.setInformativeText(tr("Saving writes the tree into the element text and saves it."));
    }
    box.setStandardButtons(QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
    box.button(QMessageBox::Save)->setText(tr("Save element text..."));
    box.button(QMessageBox::Discard)->setText(tr("Close without saving"));
    box.button(QMessageBox::Cancel)->setText(tr("Stay"));
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (Ask(box)) {
    case QMessageBox::Discard:
        return true;
    case QMessageBox::Save:
        if (!text)
            writeTreeToText();
        return saveText();
    default:
        return false;
    }
}

} // namespace settree
