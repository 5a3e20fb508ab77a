// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMessageBox>
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>

class QWidget;

namespace settree {

class EditHistory;
class TTextPane;

// What the window holds that is not in a file yet, shown in its title and asked about before it
// closes. The element text counts as changed since it was last loaded, saved or written from the
// tree; the tree since it was last loaded, saved as tuples or written to the text (undoing back
// to that state counts as no change).
class UnsavedChanges : public QObject {
    Q_OBJECT
public:
    // The window's title shows title, after the name of the open file and a "*" when anything is
    // unsaved. pane, history and window must outlive this object.
    UnsavedChanges(QWidget& window, QString title, TTextPane& pane, EditHistory& history);

    // What the user answers to the closing question: tests replace it.
    std::function<QMessageBox::StandardButton(QMessageBox&)> Ask;

    bool TextChanged() const;
    bool TreeChanged() const;

    // The text is as it stands in a file, or as written from the tree.
    void TextClean();
    // The tree is as it stands in a file, or as written to the text.
    void TreeClean();
    // The file the window shows, named in its title.
    void SetFileName(const QString& fileName);
    // Brings the title up to date; the tree's history calls it after each step.
    void Update();

    // Before the window closes: true when it may. With changes, asks whether to save the element
    // text (saveText does it; it returns true when the text was written), to close without
    // saving, or to stay. writeTreeToText rewrites the text from the tree, for when only the
    // tree has changes.
    bool MayClose(const std::function<bool()>& saveText,
                  const std::function<void()>& writeTreeToText);

private:
    QWidget& window_;
    QString title_;
    TTextPane& pane_;
    EditHistory& history_;
    QString fileName_;
    uint64_t cleanTree_;
};

} // namespace settree
